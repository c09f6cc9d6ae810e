// The screens around a game: the pause button and the pause panel (resume,
// quit, sound) with its key navigation, and the game-over overlay with the
// new-high-score notice and the place the score reached. The play field keeps
// running under the pause panel; the overlay builds up over the board for 90
// updates, then fades out over the menu.
#include <cmath>

#include "framework/replay.h"
#include "game/input_actions.h"
#include "game/modes.h"
#include "game/my_app.h"
#include "game/screen_fit.h"
#include "game/slots.h"
#include "game/sound_setting.h"
#include "game/texts.h"
#include "music/music_player.h"

using namespace korvane;

namespace {

constexpr int kRowLength = 10;

constexpr float kClickVolume = 0.5f;

// Pause panel choices for the keys.
constexpr int kChoiceQuit = -1;
constexpr int kChoiceResume = 0;
constexpr int kChoiceSound = 1;

constexpr int kPanelHidden = -64;  // pauseSlide of a hidden panel
constexpr int kPanelClosedBelow = -32;
constexpr int kPanelStep = 24;      // pixels per update while sliding
constexpr float kShadeFull = 0.8f;  // the shade is opaque when the panel is this far down (x H)

// Game-over overlay, in updates.
constexpr int kGameOverLength = 90;
constexpr int kFadeStart = 75;  // timer value the fade over the menu starts from
constexpr int kFadeStep = 2;
constexpr float kNoticeSize = 2;     // text size of the high-score notice
constexpr float kNoticePadding = 4;  // virtual pixels of box around its text

const char* const kPlaceTexts[] = {"",
                                   texts::kPlace1,
                                   texts::kPlace2,
                                   texts::kPlace3,
                                   texts::kPlace4,
                                   texts::kPlace5,
                                   texts::kPlace6,
                                   texts::kPlace7,
                                   texts::kPlace8,
                                   texts::kPlace9,
                                   texts::kPlace10};

// The portrait panel where the screen has room for it.
constexpr float kPortraitBodyWidth = 256;
constexpr float kPortraitStripWidth = 192;
constexpr float kStripInset = 16;           // the strips' ends stand in from the body's
constexpr float kPortraitButtonReach = 96;  // centre to the quit and sound buttons
// The sound mode icon beside the sound button (with music).

struct Point {
  float x, y;
};

struct PanelLayout {
  float stripLeft, stripWidth, topStripY, bottomStripY;
  float bodyLeft, bodyTop, bodyWidth, bodyHeight;
  Point quit, sound;
};

// The panel around its centre (W/2, y); portrait screens get a narrower,
// taller panel. On a screen too narrow for it (a phone held upright) the
// panel takes the screen's width and the quit and sound buttons move in, so
// that they and the sound mode beside the sound button stay whole.
PanelLayout panelLayout(const vl_Korvane_MyApp& g, float y) {
  const float w = vl_Korvane_jscrw;
  const float cx = w / 2;
  auto whole = [](float v) { return static_cast<float>(static_cast<int>(v)); };
  if (g.landscape == 1) {
    return {cx - 128,
            256,
            y - 64,
            y + 56,
            cx - 140,
            y - 52,
            280,
            104,
            {whole(cx - 140), whole(y - 64)},
            {whole(cx + 140), whole(y - 64)}};
  }
  const float bodyWidth = std::fmin(kPortraitBodyWidth, w);
  const float stripWidth = std::fmin(kPortraitStripWidth, bodyWidth - 2 * kStripInset);
  const float modeReach = kSoundMarkOffset + HalfImageWidth(g, kImageIcons, kSoundMarkSize);
  const float reach = std::fmin(kPortraitButtonReach, cx - kScreenMargin - modeReach);
  return {cx - stripWidth / 2,
          stripWidth,
          y - 92,
          y + 84,
          cx - bodyWidth / 2,
          y - 80,
          bodyWidth,
          160,
          {whole(cx - reach), whole(y - 96)},
          {whole(cx + reach), whole(y - 96)}};
}

void playClick(vl_Korvane_MyApp& g, float rate) { g.m_PlaySFX(kSfxClick, rate, kClickVolume, 0); }

void drawHighlight(vl_Korvane_MyApp& g, Point p) {
  g.m_SetSize(2.5f, kUnset);
  g.m_SetCol(255, 255, 100, 1);
  g.m_DrawImg(kImageIcons, p.x, p.y, kIconHighlight);
}

void openPause(vl_Korvane_MyApp& g) {
  g.pauseActive = 1;
  g.pauseState = 1;
  g.pauseChoice = kChoiceResume;
  playClick(g, 1);
}

void resume(vl_Korvane_MyApp& g) {
  g.pauseActive = 1;  // stays open while it slides out
  g.pauseState = -1;
  playClick(g, 1);
}

void quitGame(vl_Korvane_MyApp& g) {
  g.pauseActive = 0;
  g.pauseState = -1;
  g.pauseSlide = kPanelHidden;
  g.gameOverFlag = 1;
  vl_replay_GameQuit();
  playClick(g, 0.5f);
}

// The action key steps through all four sound modes, with or without music.
void stepSoundSetting(vl_Korvane_MyApp& g) {
  g.settings[kSoundSetting] = NextSoundMode(g.settings[kSoundSetting], true);
}

void slidePanel(vl_Korvane_MyApp& g) {
  if (g.pauseState == 1 && static_cast<float>(g.pauseSlide) < 0.5f * vl_Korvane_jscrh) g.pauseSlide += kPanelStep;
  if (g.pauseState == -1) {
    if (g.pauseSlide <= kPanelHidden) {
      g.pauseActive = 0;
    } else {
      g.pauseSlide -= kPanelStep;
      if (g.pauseSlide < kPanelClosedBelow) g.pauseActive = 0;
    }
  }
}

void drawPanel(vl_Korvane_MyApp& g, const PanelLayout& p) {
  g.m_ResetDraw();
  g.m_SetCol(255, 255, 10, 0.6f);
  g.m_Rect(p.stripLeft, p.topStripY, p.stripWidth, 8);
  g.m_SetCol(255, 150, 10, 0.7f);
  g.m_Rect(p.bodyLeft, p.bodyTop, p.bodyWidth, p.bodyHeight);
  g.m_SetCol(10, 150, 255, 0.6f);
  g.m_Rect(p.stripLeft, p.bottomStripY, p.stripWidth, 8);
}

void runResumeButton(vl_Korvane_MyApp& g, Point at) {
  g.m_SetSize(2, kUnset);
  g.m_SetCol(50, 50, 250, 1);
  if (g.m_Button(kImageIcons, at.x, at.y, kIconResume) != 0 && g.clickLatch == 0) {
    resume(g);
    g.clickLatch = 1;
  }
  if (g.pauseChoice != kChoiceResume) return;
  drawHighlight(g, at);
  if (g.keyLatch != 0) return;
  if (g.m_PlayKey(kActionFirstButton) != 0) {
    resume(g);
    g.keyLatch = 1;
  } else if (g.m_PlayKey(kActionLeft) != 0 || g.m_PlayKey(kActionUp) != 0) {
    g.pauseChoice = kChoiceQuit;
    playClick(g, 0.8f);
    g.keyLatch = 1;
  } else if (g.m_PlayKey(kActionRight) != 0) {
    g.pauseChoice = kChoiceSound;
    playClick(g, 1.2f);
    g.keyLatch = 1;
  }
}

void runQuitButton(vl_Korvane_MyApp& g, Point at) {
  g.m_SetSize(2, kUnset);
  g.m_SetCol(255, 50, 50, 1);
  if (g.m_Button(kImageIcons, at.x, at.y, kIconQuit) != 0 && g.clickLatch == 0) {
    quitGame(g);
    g.clickLatch = 1;
  }
  if (g.pauseChoice != kChoiceQuit) return;
  drawHighlight(g, at);
  if (g.keyLatch != 0) return;
  if (g.m_PlayKey(kActionFirstButton) != 0) {
    // Both latches: a pointer held now must not go on taking gems during the
    // overlay.
    quitGame(g);
    g.keyLatch = 1;
    g.clickLatch = 1;
  } else if (g.m_PlayKey(kActionRight) != 0 || g.m_PlayKey(kActionDown) != 0) {
    g.pauseChoice = kChoiceResume;
    playClick(g, 0.8f);
    g.keyLatch = 1;
  }
}

void runSoundButton(vl_Korvane_MyApp& g, Point at) {
  RunSoundSwitch(g, at.x, at.y);
  if (g.pauseChoice != kChoiceSound) return;
  drawHighlight(g, at);
  if (g.keyLatch != 0) return;
  if (g.m_PlayKey(kActionFirstButton) != 0) {
    stepSoundSetting(g);
    playClick(g, 1);
    g.keyLatch = 1;
  } else if (g.m_PlayKey(kActionLeft) != 0 || g.m_PlayKey(kActionDown) != 0) {
    g.pauseChoice = kChoiceResume;
    playClick(g, 0.8f);
    g.keyLatch = 1;
  }
}

// "New Highscore" and the place text on a box sized to them. The notice
// rises from the bottom with the overlay; across, it stays inside the screen,
// written smaller where the screen is narrower than the notice (a phone held
// upright).
void drawHighscoreNotice(vl_Korvane_MyApp& g, float y) {
  const String notice = String(texts::kNewHighscore) + g.m_MyNth();
  g.m_SetSize(kNoticeSize, kUnset);
  Box box = TextBox(g, vl_Korvane_jscrw / 2, y, notice, 0.5f, 2);
  const float room = vl_Korvane_jscrw - 2 * kScreenMargin;
  float size = kNoticeSize;
  if (box.right - box.left > room) {
    size = kNoticeSize * room / (box.right - box.left);
    g.m_SetSize(size, kUnset);
    box = TextBox(g, vl_Korvane_jscrw / 2, y, notice, 0.5f, 2);
  }
  float dx = 0, dy = 0;
  ShiftInside(box, dx, dy);
  const float x = vl_Korvane_jscrw / 2 + dx;
  box.left += dx;
  box.right += dx;
  g.m_SetSize(1, kUnset);
  g.m_SetCol(0, 125, 255, 0.5f);
  g.m_Rect(box.left - kNoticePadding, box.top - kNoticePadding, box.right - box.left + 2 * kNoticePadding,
           box.bottom - box.top + 2 * kNoticePadding);
  g.m_SetSize(size, kUnset);
  g.m_SetCol(100, 255, 100, 1);
  g.m_Text(x, y, notice, 0.5f, 2);
}

void drawGameOver(vl_Korvane_MyApp& g, int t) {
  const float w = vl_Korvane_jscrw;
  const float h = vl_Korvane_jscrh;
  g.m_SetCol(0, 0, 0, std::fmin(static_cast<float>(t) / 40, 0.7f));
  g.m_Rect(-1, -1, w + 2, h + 2);
  // The bars and words move in by 12 pixels per update until 0.45 H.
  int slide = 12 * t;
  const int slideMax = static_cast<int>(0.45f * h);
  if (slide > slideMax) slide = slideMax;
  const float s = static_cast<float>(slide);
  g.m_ResetDraw();
  g.m_SetCol(255, 255, 0, 0.5f);
  g.m_Rect(-1, 0.45f * h - 8, 2 * s, 16);
  g.m_SetCol(255, 128, 0, 0.5f);
  g.m_Rect(w - 2 * s, 0.55f * h - 8, 2 * s + 1, 16);
  g.m_ResetDraw();
  g.m_SetSize(4, kUnset);
  g.m_SetCol(255, 180, 180, 1);
  g.m_Text(0.35f * w, s, String(texts::kGame), 1, 1);
  g.m_Text(0.65f * w, h - s, String(texts::kOver), 1, 1);
  g.m_MyNth();
  if (g.lp == 0) return;
  drawHighscoreNotice(g, h - s / 1.5f);
}

}  // namespace

int vl_Korvane_MyApp::m_InGame() {
  m_ResetDraw();
  menuSlide = -32;  // the menu slides in afresh after every game
  // Once the game has ended (or was quit) the panel stays shut: it would
  // otherwise outlive the overlay and open over the next game.
  const bool canOpen = pauseActive == 0 && gameOverFlag == 0;
  if (m_PlayKey(kActionBack) != 0 && canOpen && keyLatch == 0) {
    keyLatch = 1;
    openPause(*this);
  }
  if (m_Button(kImageIcons, kPauseButtonCentre, kPauseButtonCentre, kIconPause) != 0 && clickLatch == 0 && canOpen) {
    clickLatch = 1;
    openPause(*this);
  }
  if (pauseActive == 1) m_PauseMenu();
  return 0;
}

int vl_Korvane_MyApp::m_PauseMenu() {
  const float w = vl_Korvane_jscrw;
  const float h = vl_Korvane_jscrh;
  m_ResetDraw();
  m_SetCol(0, 0, 0, std::fabs(static_cast<float>(pauseSlide)) / (kShadeFull * h));
  m_Rect(0, 0, w, h);
  slidePanel(*this);

  const float y = static_cast<float>(pauseSlide);
  const PanelLayout layout = panelLayout(*this, y);
  drawPanel(*this, layout);
  runResumeButton(*this, {w / 2, y});
  runQuitButton(*this, layout.quit);
  runSoundButton(*this, layout.sound);
  if (keyLatch == 0 && m_PlayKey(kActionBack) != 0) {
    keyLatch = 1;
    resume(*this);
  }
  return 0;
}

int vl_Korvane_MyApp::m_GameOver() {
  if (gameOverTimer > 0) drawGameOver(*this, gameOverTimer);
  if (mode == kModePlaying) {
    gameOverTimer += 1;
    if (gameOverTimer >= kGameOverLength) {
      mode = kModeBackToMenu;
      gameOverTimer = kFadeStart;
      // Every build stops the player here, the silent one included (it has a
      // player that never starts); one stop is enough with music too.
      musicPlayer->m_KX_Stop(1);
    }
  } else if (mode < kModePlaying) {
    gameOverTimer -= kFadeStep;
    if (gameOverTimer < 0) gameOverTimer = 0;
  }
  return 0;
}

String vl_Korvane_MyApp::m_MyNth() {
  int place = 0;
  const int base = kRowLength * (difficulty - 1);
  for (int k = 0; k < kRowLength; ++k) {
    // An equal score counts as reaching the place it equals.
    if (place == 0 && score >= highScores[base + k]) place = k + 1;
  }
  lp = place;
  return String(kPlaceTexts[place]);
}
