#include "tests/game/play_support.h"
#include "game/sound_setting.h"

#include <algorithm>
#include <cmath>

#include "framework/audio.h"
#include "game/modes.h"
#include "game/my_app.h"

namespace playtest {
namespace {

using gametest::Game;
using gametest::Step;
using korvane::kModeMenu;
using korvane::kModeNewGame;
using korvane::kSoundMusicAndEffects;
using korvane::kSoundSetting;

constexpr int kCellStride = 10;
constexpr int kStoreColumns = 50;
constexpr int kParticleFloats = 1010;
constexpr int kSfxRotor = 24;
constexpr int kMaxLoadUpdates = 100;

float* CellAt(int c, int r) { return &Game()->cells[kCellStride * (c + kStoreColumns * r)]; }

// Cell pitch of the board, as the play field computes it.
float Pitch() {
  vl_Korvane_MyApp* g = Game();
  const float across = static_cast<float>(g->landscape == 1 ? g->gridCols : g->gridRows);
  const float down = static_cast<float>(g->landscape == 1 ? g->gridRows : g->gridCols);
  return std::fmin(vl_Korvane_jscrw / across, vl_Korvane_jscrh / (down + 2));
}

}  // namespace

void FinishLoading() {
  for (int i = 0; i < kMaxLoadUpdates && Game()->loadStage > 0; ++i) Step();
}

bool ReadyInMenu(int windowWidth, int windowHeight) {
  vl_Korvane_MyApp* g = Game();
  if (!gametest::LinkData(true)) return false;
  gametest::ReleaseLeft();
  for (int code : {27, 37, 38, 39, 40, 90, 32, 13}) gametest::ReleaseKey(code);
  gametest::Resize(windowWidth, windowHeight);
  Step();
  if (g->images[1] == nullptr) g->loadStage = 1;  // data linked after start-up
  FinishLoading();
  g->mode = kModeMenu;
  g->creditsOpen = 0;
  g->badgesOpen = 0;
  g->pauseActive = 0;
  g->pauseState = -1;
  g->pauseSlide = -64;
  g->gameOverFlag = 0;
  g->gameOverTimer = 0;
  g->settings[kSoundSetting] = kSoundMusicAndEffects;
  g->menuSlide = 0;
  Step();
  Step();
  return g->loadStage == 0 && g->images[1] != nullptr;
}

void StartGame(int difficulty) {
  vl_Korvane_MyApp* g = Game();
  g->difficulty = difficulty;
  g->mode = kModeNewGame;
  Step();
}

void SetBoard(const std::vector<std::string>& rows) {
  vl_Korvane_MyApp* g = Game();
  for (int r = 0; r < g->gridRows; ++r) {
    for (int c = 0; c < g->gridCols; ++c) {
      float* cell = CellAt(c, r);
      std::fill(cell, cell + kCellStride, 0.0f);
      cell[0] = static_cast<float>(rows.at(r).at(c) - '0');
    }
  }
  for (int i = 0; i < kParticleFloats; ++i) g->particles[i] = 0;
  g->combo = 0;
  g->comboTimer = 0;
  g->lastCol = g->lastRow = g->pathKind = -1;
  g->pathLength = 0;
  g->moving = 0;
  g->wasMoving = 0;
}

int KindAt(int c, int r) { return static_cast<int>(CellAt(c, r)[0]); }
bool InPath(int c, int r) { return CellAt(c, r)[6] == 1; }
bool Marked(int c, int r) { return CellAt(c, r)[7] == 1; }
float CellOffset(int c, int r) { return CellAt(c, r)[2]; }

std::pair<int, int> WindowPixel(float x, float y) {
  const float scale = Game()->scaleX;
  return {static_cast<int>(std::lround(x * scale)), static_cast<int>(std::lround(y * scale))};
}

std::pair<int, int> CellPixel(int c, int r) {
  vl_Korvane_MyApp* g = Game();
  const float s = Pitch();
  const float along = static_cast<float>(g->landscape == 1 ? c : r);
  const float down = static_cast<float>(g->landscape == 1 ? r : c);
  return WindowPixel(g->boardX + s * along, g->boardY + s * down);
}

std::vector<int> DragPath(const std::vector<Cell>& cells) {
  const int mark = SoundMark();
  bool pressed = false;
  for (const Cell& cell : cells) {
    const auto p = CellPixel(cell.first, cell.second);
    gametest::MovePointer(p.first, p.second);
    if (!pressed) gametest::PressLeft();
    pressed = true;
    Step();
  }
  gametest::ReleaseLeft();
  Step();
  return SoundsSince(mark);
}

void ClickVirtual(float x, float y) {
  const auto p = WindowPixel(x, y);
  gametest::MovePointer(p.first, p.second);
  gametest::PressLeft();
  Step();
  gametest::ReleaseLeft();
  Step();
}

void TapKey(int code) {
  gametest::PressKey(code);
  Step();
  gametest::ReleaseKey(code);
  Step();
}

int SoundMark() { return Game()->sfxNext; }

std::vector<int> SoundsSince(int mark) {
  vl_Korvane_MyApp* g = Game();
  std::vector<int> slots;
  for (int pos = mark; pos != g->sfxNext;) {
    pos = (pos + 1) % kSfxRotor;
    const gxtkSample* played = vl_audio_device->channels[g->sfxChannels[pos]].sample;
    int found = -1;
    for (int slot = 0; slot < g->sounds.Length(); ++slot) {
      if (g->sounds[slot] != nullptr && g->sounds[slot]->sample == played) found = slot;
    }
    slots.push_back(found);
  }
  return slots;
}

std::vector<std::string> TextLines() {
  vl_Korvane_MyApp* g = Game();
  const float advance = static_cast<float>(g->imageInfo[3 * g->fontSlot]);
  std::vector<std::string> lines;
  bool open = false;
  float lastX = 0, lastY = 0, lastStep = 0;
  for (int at = 0; at + korvane::kRecordFloats <= g->drawLen; at += korvane::kRecordFloats) {
    const float* rec = &g->drawList[at];
    if (static_cast<int>(rec[0]) != g->fontSlot || rec[0] < 0) {
      open = false;
      continue;
    }
    const float x = rec[1], y = rec[2];
    const char ch = static_cast<char>(static_cast<int>(rec[6]) + 32);
    const float step = advance * rec[4];
    if (open && std::fabs(y - lastY) < 0.01f && x > lastX) {
      const int gap = static_cast<int>(std::lround((x - lastX) / lastStep)) - 1;
      lines.back().append(static_cast<size_t>(std::max(gap, 0)), ' ');
      lines.back() += ch;
    } else {
      lines.emplace_back(1, ch);
    }
    open = true;
    lastX = x;
    lastY = y;
    lastStep = step;
  }
  return lines;
}

bool HasText(const std::string& line) {
  const std::vector<std::string> lines = TextLines();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool HasTextContaining(const std::string& part) {
  for (const std::string& line : TextLines()) {
    if (line.find(part) != std::string::npos) return true;
  }
  return false;
}

const float* FindRect(float x, float y) {
  vl_Korvane_MyApp* g = Game();
  for (int at = 0; at + korvane::kRecordFloats <= g->drawLen; at += korvane::kRecordFloats) {
    const float* rec = &g->drawList[at];
    if (rec[0] == korvane::kKindRect && rec[1] == x && rec[2] == y) return rec;
  }
  return nullptr;
}

int CountImages(int slot, int frame) {
  vl_Korvane_MyApp* g = Game();
  int count = 0;
  for (int at = 0; at + korvane::kRecordFloats <= g->drawLen; at += korvane::kRecordFloats) {
    const float* rec = &g->drawList[at];
    if (rec[0] == static_cast<float>(slot) && rec[6] == static_cast<float>(frame)) ++count;
  }
  return count;
}

bool FindImage(int slot, int frame, float* x, float* y) {
  vl_Korvane_MyApp* g = Game();
  for (int at = 0; at + korvane::kRecordFloats <= g->drawLen; at += korvane::kRecordFloats) {
    const float* rec = &g->drawList[at];
    if (rec[0] == static_cast<float>(slot) && rec[6] == static_cast<float>(frame)) {
      *x = rec[1];
      *y = rec[2];
      return true;
    }
  }
  return false;
}

}  // namespace playtest

namespace playtest {

bool HasImageAt(int slot, int frame, float x, float y) {
  vl_Korvane_MyApp* g = Game();
  for (int at = 0; at + korvane::kRecordFloats <= g->drawLen; at += korvane::kRecordFloats) {
    const float* rec = &g->drawList[at];
    if (rec[0] == static_cast<float>(slot) && rec[6] == static_cast<float>(frame) && rec[1] == x && rec[2] == y) {
      return true;
    }
  }
  return false;
}

}  // namespace playtest
