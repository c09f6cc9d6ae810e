// Drawing, text and button helpers of the game object: the display list and
// its draw state, the bitmap-font writer, pointer hit tests, random integers,
// the sound-effect rotor, the game-action key table and the arcade-controller
// switch. Nothing here touches the graphics device: drawing appends records
// that the render pass replays.
#include <cmath>
#include <cstdint>

#include "framework/audio.h"
#include "framework/input.h"
#include "framework/random.h"
#include "game/my_app.h"

using namespace korvane;

namespace {

constexpr int kSoundSetting = 5;
constexpr int kSfxRotorSize = 24;  // effect channels in rotation
constexpr int kPadCount = 20;
constexpr int kTouchPoints = 10;
constexpr float kDegToRad = 0.0174532924f;
constexpr float kJoyThreshold = 0.4f;  // axis deflection that counts as a press
constexpr int kFontFirstCode = 33;     // codes below only move the pen
constexpr int kFontLastCode = 159;
constexpr int kFontCodeOffset = 32;    // frame n shows code n + 32
constexpr int kBackslashFrame = '\\' - kFontCodeOffset;

// Generator step shared with the framework's random module.
constexpr uint32_t kRandMultiplier = 1664525u;
constexpr uint32_t kRandIncrement = 1013904223u;
constexpr float kRandFraction = 1.0f / 16777216.0f;  // top 24 bits as [0, 1)

struct Colour {
  float r, g, b;
};
constexpr Colour kBackgrounds[] = {
    {180, 180, 180},                                   // any other kind
    {100, 160, 240}, {100, 240, 160}, {240, 160, 100}, {240, 100, 160},
    {240, 240, 100}, {100, 240, 240}, {240, 100, 100}, {240, 100, 240},
};

// Inputs of one game action: keys, a joystick axis direction and pads.
struct ActionInputs {
  int keys[5];          // 0 ends the list
  int arcadeKeys[5];    // the same without letters, for arcade-controller mode
  int axis;             // 0 none, 'x' or 'y'
  int axisSign;         // -1 below -threshold, +1 above +threshold
  int pads[2];          // -1 ends the list
};

struct ActionEntry {
  int action;
  ActionInputs in;
};

constexpr ActionEntry kActions[] = {
    {0, {{38, 87, 265, 0, 0}, {38, 265, 0, 0, 0}, 'y', -1, {0, -1}}},
    {3, {{37, 65, 264, 0, 0}, {37, 264, 0, 0, 0}, 'x', -1, {3, -1}}},
    {5, {{39, 68, 266, 0, 0}, {39, 266, 0, 0, 0}, 'x', 1, {5, -1}}},
    {8, {{40, 83, 267, 0, 0}, {40, 267, 0, 0, 0}, 'y', 1, {8, -1}}},
    {10, {{90, 74, 32, 13, 256}, {32, 13, 256, 0, 0}, 0, 0, {10, -1}}},
    {11, {{88, 75, 17, 257, 0}, {17, 257, 0, 0, 0}, 0, 0, {11, -1}}},
    {12, {{67, 76, 16, 258, 0}, {16, 258, 0, 0, 0}, 0, 0, {12, -1}}},
    {13, {{86, 73, 259, 0, 0}, {259, 0, 0, 0, 0}, 0, 0, {13, -1}}},
    {99, {{27, 46, 8, 263, 0}, {27, 46, 8, 263, 0}, 0, 0, {16, 17}}},
};

bool anyKeyDown(const int* keys) {
  for (int i = 0; i < 5 && keys[i] != 0; ++i) {
    if (vl_input_KeyDown(keys[i]) != 0) return true;
  }
  return false;
}

bool axisActive(int axis, int sign) {
  if (axis == 0) return false;
  const float value = axis == 'x' ? vl_input_JoyX(0, 0) : vl_input_JoyY(0, 0);
  return sign < 0 ? value < -kJoyThreshold : value > kJoyThreshold;
}

}  // namespace

// --------------------------------------------------------------------------
// Draw state

int vl_Korvane_MyApp::m_ResetDraw() {
  drawSizeX = 1;
  drawSizeY = 1;
  drawRot = 0;
  drawRed = 255;
  drawGreen = 255;
  drawBlue = 255;
  drawAlpha = 1;
  return 0;
}

int vl_Korvane_MyApp::m_CLS2D(float r, float g, float b, float a) {
  if (r > kUnset) {
    clearRed = r;
    clearGreen = g;
    clearBlue = b;
    clearAlpha = a;
  }
  m_ResetDraw();
  drawLen = 0;
  return 0;
}

int vl_Korvane_MyApp::m_CLSMe(int kind) {
  const Colour& c = (kind >= 1 && kind <= 8) ? kBackgrounds[kind] : kBackgrounds[0];
  return m_CLS2D(c.r, c.g, c.b, 1);
}

int vl_Korvane_MyApp::m_SetSize(float sx, float sy) {
  drawSizeX = sx;
  drawSizeY = sy > kUnset ? sy : sx;
  return 0;
}

int vl_Korvane_MyApp::m_Alpha(float a) {
  drawAlpha = a;
  return 0;
}

int vl_Korvane_MyApp::m_SetCol(float r, float g, float b, float a) {
  drawRed = r;
  drawGreen = g;
  drawBlue = b;
  if (a > kUnset) drawAlpha = a;
  return 0;
}

int vl_Korvane_MyApp::m_SetRot(float degrees) {
  drawRot = -degrees;
  return 0;
}

// --------------------------------------------------------------------------
// Display-list records

namespace {

void appendRecord(vl_Korvane_MyApp& g, float kind, float x, float y, float sizeX, float sizeY, float frame) {
  if (g.drawLen > kLastRecordStart) return;  // full: the rest of the frame is dropped
  float* r = &g.drawList[g.drawLen];
  r[0] = kind;
  r[1] = x;
  r[2] = y;
  r[3] = g.drawRot;
  r[4] = sizeX;
  r[5] = sizeY;
  r[6] = frame;
  r[7] = g.drawAlpha;
  r[10] = g.drawRed;
  r[11] = g.drawGreen;
  r[12] = g.drawBlue;
  g.drawLen += kRecordFloats;
}

}  // namespace

int vl_Korvane_MyApp::m_DrawImg(int slot, float x, float y, float frame) {
  appendRecord(*this, static_cast<float>(slot), x, y, drawSizeX, drawSizeY, frame);
  return 0;
}

int vl_Korvane_MyApp::m_Rect(float x, float y, float w, float h) {
  appendRecord(*this, kKindRect, x, y, w, h, 0);
  return 0;
}

int vl_Korvane_MyApp::m_Oval(float x, float y, float rx, float ry) {
  appendRecord(*this, kKindOval, x, y, rx, ry, 0);
  return 0;
}

// --------------------------------------------------------------------------
// Bitmap text

int vl_Korvane_MyApp::m_Text(float x, float y, String text, float alignX, float alignY) {
  const int info = 3 * fontSlot;
  if (info < 0 || info + 1 >= imageInfo.Length()) return 0;
  const float advance = static_cast<float>(imageInfo[info]) * drawSizeX;
  const float lineHeight = static_cast<float>(imageInfo[info + 1]) * drawSizeY;
  const int n = text.Length();
  const float theta = -drawRot * kDegToRad;
  const float ux = std::cos(theta), uy = std::sin(theta);  // advance direction
  const float dx = -uy, dy = ux;                            // down direction
  const float total = advance * static_cast<float>(n - 1);
  const float startX = x - ux * total * alignX / 2 + dx * lineHeight * (1 - alignY) / 2;
  const float startY = y - uy * total * alignX / 2 + dy * lineHeight * (1 - alignY) / 2;
  float penX = startX, penY = startY;
  int lines = 0;
  // The loop counts in the shared counter lp, which holds the text's length
  // afterwards.
  for (lp = 0; lp < n; ++lp) {
    const int c = text[lp];
    if (c == '\\' && lp + 1 < n && text[lp + 1] == 'n') {
      // Every line starts at the same aligned start point as the first.
      ++lines;
      penX = startX + dx * lineHeight * static_cast<float>(lines);
      penY = startY + dy * lineHeight * static_cast<float>(lines);
      ++lp;
      continue;
    }
    if (c == 0) continue;
    if (c >= kFontFirstCode && c <= kFontLastCode) {
      const int frame = c == '\\' ? kBackslashFrame : c - kFontCodeOffset;
      m_DrawImg(fontSlot, penX, penY, static_cast<float>(frame));
    }
    penX += ux * advance;
    penY += uy * advance;
  }
  return 0;
}

// --------------------------------------------------------------------------
// Hit tests

namespace {

// Half the image's size in virtual pixels at the current scale; 0 for a slot
// outside the table.
void imageHalfSize(const vl_Korvane_MyApp& g, int slot, float& hw, float& hh) {
  hw = 0;
  hh = 0;
  if (slot < 0 || 3 * slot + 1 >= g.imageInfo.Length()) return;
  hw = 0.5f * g.drawSizeX * g.hdDrawScale * static_cast<float>(g.imageInfo[3 * slot]);
  hh = 0.5f * g.drawSizeY * g.hdDrawScale * static_cast<float>(g.imageInfo[3 * slot + 1]);
}

bool touchInBox(const vl_Korvane_MyApp& g, int i, float x, float y, float hw, float hh) {
  const float tx = static_cast<float>(g.touchX[i]);
  const float ty = static_cast<float>(g.touchY[i]);
  return x - hw < tx && tx < x + hw && y - hh < ty && ty < y + hh;
}

}  // namespace

int vl_Korvane_MyApp::m_Button(int slot, float x, float y, int frame) {
  m_DrawImg(slot, x, y, static_cast<float>(frame));
  buttonHit = 0;
  float hw, hh;
  imageHalfSize(*this, slot, hw, hh);
  for (lp = 0; lp < kTouchPoints; ++lp) {
    if (touchInBox(*this, lp, x, y, hw, hh) && mouseDown > 0) buttonHit = 1;
  }
  return buttonHit;
}

int vl_Korvane_MyApp::m_Button0(int slot, float x, float y, int frame) {
  m_DrawImg(slot, x, y, static_cast<float>(frame));
  buttonHit = 0;  // cleared as by m_Button, though this result is not stored
  float hw, hh;
  imageHalfSize(*this, slot, hw, hh);
  return (touchInBox(*this, 0, x, y, hw, hh) && mouseDown > 0) ? 1 : 0;
}

int vl_Korvane_MyApp::m_MouseIn_Radius(float x, float y, float size, float /*ignored*/) {
  const float half = size / 2;
  for (lp = 0; lp < kTouchPoints; ++lp) {
    if (touchDown[lp] == 0) continue;
    const float tx = static_cast<float>(touchX[lp]);
    const float ty = static_cast<float>(touchY[lp]);
    const float ox = tx - x, oy = ty - y;
    if (x - half < tx && tx < x + half && y - half < ty && ty < y + half && ox * ox + oy * oy < size * size) {
      return 1;
    }
  }
  return 0;
}

// --------------------------------------------------------------------------
// Random integers, sound effects, keys

int vl_Korvane_MyApp::m_Rand(int low, int high) {
  const uint32_t seed = static_cast<uint32_t>(vl_random_Seed) * kRandMultiplier + kRandIncrement;
  vl_random_Seed = static_cast<int>(seed);
  const float r = static_cast<float>(seed >> 8) * kRandFraction;
  const float lowF = static_cast<float>(low);
  const float value = lowF + (static_cast<float>(high) + 0.99f - lowF) * r;
  return static_cast<int>(std::floor(value));
}

int vl_Korvane_MyApp::m_PlaySFX(int slot, float rate, float volume, float pan) {
  const int sound = settings[kSoundSetting];
  if (sound != 1 && sound != 2) return 0;  // effects are off
  sfxNext = (sfxNext + 1) % kSfxRotorSize;
  const int channel = sfxChannels[sfxNext];
  vl_audio_StopChannel(channel);
  if (slot >= 0 && slot < sounds.Length() && sounds[slot] != nullptr) {
    vl_audio_PlaySound(sounds[slot], channel, 0);
  }
  vl_audio_SetChannelRate(channel, rate);
  vl_audio_SetChannelVolume(channel, volume);
  vl_audio_SetChannelPan(channel, pan);
  return 0;
}

int vl_Korvane_MyApp::m_PlayKey(int action) {
  const int arcade = vl_Korvane_iCadeControls;
  if (arcade != 0 && arcade != 1) return 0;
  for (const ActionEntry& entry : kActions) {
    if (entry.action != action) continue;
    const ActionInputs& in = entry.in;
    if (anyKeyDown(arcade == 1 ? in.arcadeKeys : in.keys)) return 1;
    if (axisActive(in.axis, in.axisSign)) return 1;
    for (int pad : in.pads) {
      if (pad >= 0 && pads[pad] != 0) return 1;
    }
    return 0;
  }
  return 0;
}

int vl_Korvane_MyApp::m_iCade(int mode) {
  if (mode == 1) {
    vl_input_EnableKeyboard();
    vl_Korvane_iCadeControls = 1;
    while (vl_input_GetChar() != 0) {
    }
  } else if (mode == 0) {
    vl_input_DisableKeyboard();
    vl_Korvane_iCadeControls = 0;
    for (lp = 0; lp < kPadCount; ++lp) pads[lp] = 0;
  }
  return 0;
}

// Leaderboard and achievement service hooks: there is no such service here.
int vl_Korvane_MyApp::m_GC_PostScore(int /*board*/, int /*score*/) { return 0; }

int vl_Korvane_MyApp::m_GC_Badges() { return 0; }
