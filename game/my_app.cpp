// The game object's life: construction, start-up, the per-update input snapshot
// and mode dispatch, the display-list replay at one uniform scale, and the
// suspend/resume rules.
#include "game/my_app.h"

#include "framework/app.h"
#include "framework/audio.h"
#include "framework/graphics.h"
#include "framework/input.h"
#include "framework/key_codes.h"
#include "game/arcade_controller.h"
#include "game/input_actions.h"
#include "game/modes.h"
#include "game/slots.h"
#include "game/sound_setting.h"
#include "music/music_player.h"
#include "runtime/errors.h"

using namespace korvane;

namespace {

// Array lengths of the game object.
constexpr int kImageInfoInts = 300;
constexpr int kBadgePopSlots = 15;
constexpr int kBadgeFlagCount = 256;
constexpr int kSettingCount = 25;
constexpr int kHighScoreInts = 150;
constexpr int kSfxChannelCount = 33;
constexpr int kDrawListFloats = 37500;
constexpr int kTouchPoints = 10;
constexpr int kCellFloats = 25000;
constexpr int kParticleFloats = 1024;
constexpr int kColourGridInts = 16384;
constexpr int kWordsPerSheet = 2048;

// Start-up values.
constexpr int kUpdateRateRunning = 60;   // updates per second while running
constexpr int kUpdateRateSuspended = 5;  // while minimised
constexpr int kStartDifficulty = 2;
constexpr int kMenuSlideStart = -32;
constexpr int kPauseSlideHidden = -64;
constexpr int kClearedBadgeFlags = 128;
constexpr int kClearedHighScores = 31;

// Music player set-up: channel base and four arrangement parameters.
constexpr int kMusicChannelBase = 32;
// The song and its instruments (inst/d0-1.wav ... inst/bass0.wav): sample set 0
// for both drum kits, the lead, the accompaniment and the bass.
const char* const kSongFile = "inst/song.png";
constexpr int kMusicSampleSet = 0;

// Every controller action whose key holds the key latch: the directions,
// the buttons 10-17 and back.
constexpr int kLatchActions[] = {kActionUp, kActionLeft, kActionRight, kActionDown, 10, 11,         12,
                                 13,        14,          15,           16,          17, kActionBack};
constexpr int kPadPressedOnce = 1;

// On-screen pad: position and size settings and their limits.
constexpr int kPadSettingX = 10;
constexpr int kPadSettingY = 11;
constexpr int kPadSettingSize = 12;
constexpr int kPadMargin = 32;  // virtual pixels kept free around the pad
constexpr int kPadSizeMin = 8;
constexpr int kPadSizeMax = 25;
// Frames of the pad picture: arrows up, right, down, left (0-3), the cross
// that is the pad's base (4), action buttons A and B (5, 6); frames 8 on are
// the same parts pressed.
constexpr int kDpadBase = 4;
constexpr int kDpadPressed = 8;
constexpr int kDpadUpPressed = 0 + kDpadPressed;
constexpr int kDpadRightPressed = 1 + kDpadPressed;
constexpr int kDpadDownPressed = 2 + kDpadPressed;
constexpr int kDpadLeftPressed = 3 + kDpadPressed;
constexpr int kDpadButtonA = 5;
constexpr int kDpadButtonB = 6;
constexpr float kCalibrateInset = 24;  // from the left and the bottom edge

template <typename T>
T clampTo(T v, T low, T high) {
  return v < low ? low : (v > high ? high : v);
}

// Device pixels to virtual pixels, truncated toward zero. Before the first
// render has computed a scale the pointer is taken as it is.
int toVirtual(float devicePixels, float scale) {
  if (scale <= 0) return static_cast<int>(devicePixels);
  return static_cast<int>(devicePixels / scale);
}

int musicWanted(const vl_Korvane_MyApp& g) { return SoundPlaysMusic(g.settings[kSoundSetting]) ? 1 : 0; }

// The player is started when the title menu or a game is on screen and it is
// stopped (at first, and after the game-over overlay has stopped it), never
// while the game's own assets are loading. The seed comes from the clock, so
// every start arranges the song anew; its 70 loading steps then run in the
// render passes.
void startMusicWhenStopped(vl_Korvane_MyApp& g) {
  if (g.loadStage != 0 || g.musicPlayer->playState != vl_KXTrackr_KXPlayer::kStopped) return;
  if (g.mode != kModeMenu && g.mode < kModePlaying) return;
  g.musicPlayer->m_KX_Start(String(kSongFile), kMusicSampleSet, kMusicSampleSet, kMusicSampleSet, kMusicSampleSet,
                            kMusicSampleSet, vl_app_Millisecs());
}

// While the window is minimised no update runs but the clock does: the player
// is held as under the pause panel, so that it neither leaves a note ringing
// nor races through the rows it missed when the window comes back.
void holdMusic(vl_Korvane_MyApp& g) {
  if (vl_Korvane_HasMusic == 1) g.musicPlayer->m_KX_Alive_U(1, musicWanted(g));
}

}  // namespace

// --------------------------------------------------------------------------
// Construction

vl_Korvane_MyApp::vl_Korvane_MyApp() {
  gc_assign(images, Array<vl_graphics_Image*>(kImageSlots));
  gc_assign(imageInfo, Array<int>(kImageInfoInts));
  gc_assign(badgePopId, Array<int>(kBadgePopSlots));
  gc_assign(badgePopTimer, Array<int>(kBadgePopSlots));
  gc_assign(badgeFlags, Array<bool>(kBadgeFlagCount));
  gc_assign(pads, Array<int>(kPadCount));
  gc_assign(settings, Array<int>(kSettingCount));
  gc_assign(highScores, Array<int>(kHighScoreInts));
  gc_assign(sfxChannels, Array<int>(kSfxChannelCount));
  gc_assign(drawList, Array<float>(kDrawListFloats));
  gc_assign(touchDown, Array<int>(kTouchPoints));
  gc_assign(touchX, Array<int>(kTouchPoints));
  gc_assign(touchY, Array<int>(kTouchPoints));
  gc_assign(sounds, Array<vl_audio_Sound*>(kSoundSlots));
  gc_assign(cells, Array<float>(kCellFloats));
  gc_assign(particles, Array<float>(kParticleFloats));
  gc_assign(colourGrid, Array<int>(kColourGridInts));
  gc_assign(wordList, Array<int>(kWordsPerSheet));
  gc_assign(musicPlayer, (new vl_KXTrackr_KXPlayer())->g_new());
}

vl_Korvane_MyApp* vl_Korvane_MyApp::g_new() {
  vl_app_App::g_new();
  return this;
}

void vl_Korvane_MyApp::mark() {
  vl_app_App::mark();
  gc_enqueue(musicPlayer);
  gc_enqueue(images);
  gc_enqueue(imageInfo);
  gc_enqueue(badgePopId);
  gc_enqueue(badgePopTimer);
  gc_enqueue(badgeFlags);
  gc_enqueue(pads);
  gc_enqueue(settings);
  gc_enqueue(highScores);
  gc_enqueue(sfxChannels);
  gc_enqueue(drawList);
  gc_enqueue(touchDown);
  gc_enqueue(touchX);
  gc_enqueue(touchY);
  gc_enqueue(sounds);
  gc_enqueue(cells);
  gc_enqueue(particles);
  gc_enqueue(colourGrid);
  gc_enqueue(wordList);
}

// --------------------------------------------------------------------------
// Start-up

int vl_Korvane_MyApp::m_OnCreate() {
  mode = kModeMenu;
  vl_app_SetUpdateRate(kUpdateRateRunning);
  deviceWidth = vl_graphics_DeviceWidth();
  deviceHeight = vl_graphics_DeviceHeight();
  if (vl_Korvane_HasMusic == 1) musicPlayer->m_KX_Init(kMusicChannelBase, 4, 3, 3, 4);
  accelZeroX = 0;
  accelZeroY = 0;
  m_Reload();
  difficulty = kStartDifficulty;
  menuSlide = kMenuSlideStart;
  pauseActive = 0;
  pauseState = -1;
  pauseSlide = kPauseSlideHidden;
  for (lp = 0; lp < kBadgePopSlots; ++lp) {
    badgePopId[lp] = 0;
    badgePopTimer[lp] = 0;
  }
  for (lp = 0; lp < kClearedBadgeFlags; ++lp) badgeFlags[lp] = false;
  for (lp = 0; lp < kPadCount; ++lp) pads[lp] = 0;
  for (lp = 0; lp < kSettingCount; ++lp) settings[lp] = 0;
  settings[kSoundSetting] = kSoundMusicAndEffects;
  for (lp = 0; lp < kClearedHighScores; ++lp) highScores[lp] = 0;
  m_Load();
  for (lp = 0; lp < kSfxChannelCount; ++lp) sfxChannels[lp] = lp;
  return 0;
}

// --------------------------------------------------------------------------
// One update

namespace {

// Pointer, buttons and touches in virtual pixels.
void takeInputSnapshot(vl_Korvane_MyApp& g) {
  const int leftDown = vl_input_KeyDown(keycode::kMouseLeft);
  g.prevMouseX = g.mouseX;
  g.prevMouseY = g.mouseY;
  g.mouseX = toVirtual(vl_input_MouseX(), g.scaleX);
  g.mouseY = toVirtual(vl_input_MouseY(), g.scaleY);
  if (g.mouseWasDown == 0 && leftDown != 0) {
    // A fresh press has no drag distance.
    g.prevMouseX = g.mouseX;
    g.prevMouseY = g.mouseY;
  }
  g.mouseDown = leftDown;
  g.mouseHit = vl_input_MouseHit(0);
  for (int n = 0; n < kTouchPoints; ++n) {
    g.touchDown[n] = 0;
    g.touchX[n] = kUnset;
    g.touchY[n] = kUnset;
    if (vl_input_KeyDown(keycode::Touch(n)) != 0) {
      g.touchDown[n] = 1;
      g.touchX[n] = toVirtual(vl_input_TouchX(n), g.scaleX);
      g.touchY[n] = toVirtual(vl_input_TouchY(n), g.scaleY);
      g.mouseDown = 1;
    }
  }
  g.mouseWasDown = leftDown;
  if (g.mouseDown == 0) g.clickLatch = 0;
}

// The key latch holds until every controller key is up; the back key closes an
// open box over the menu and is then used up.
void updateKeyLatch(vl_Korvane_MyApp& g) {
  bool anyDown = false;
  for (int action : kLatchActions) {
    if (g.m_PlayKey(action) != 0) {
      anyDown = true;
      break;
    }
  }
  if (!anyDown) g.keyLatch = 0;
  if (g.keyLatch == 0 && g.clickLatch == 0 && g.m_PlayKey(kActionBack) != 0 && g.mode == kModeMenu &&
      (g.creditsOpen == 1 || g.badgesOpen == 1)) {
    g.creditsOpen = 0;
    g.badgesOpen = 0;
    g.keyLatch = 1;
    g.clickLatch = 1;
  }
}

void dispatchMode(vl_Korvane_MyApp& g) {
  bool ranLoadMenu = false;
  switch (g.mode) {
    case kModeMenu: g.m_Menu(); break;
    case kModeBackToMenu:
      g.m_LoadMenu();
      g.mode = kModeMenu;
      // A press or key held across the end of the game must not work the
      // menu: its buttons need a press that began in the menu.
      g.clickLatch = 1;
      g.keyLatch = 1;
      ranLoadMenu = true;
      break;
    case kModeWaitStart: g.m_WaitStart(0); break;
    case kModePlaying:
      g.m_Game();
      g.m_InGame();
      break;
    case kModeNewGame: g.m_LoadGame(); break;
    default: break;
  }
  if (!ranLoadMenu && g.mode == kModePlaying && g.gameOverFlag > 0) g.m_GameOver();
  // The game-over overlay fades out over the menu.
  if (g.mode == kModeMenu || g.mode == kModeBackToMenu) g.m_GameOver();
  if (g.mode == kModeMenu) {
    if (g.creditsOpen == 1) g.m_CreditBox();
    if (g.mode == kModeMenu && g.badgesOpen == 1) g.m_BadgesBox();
  }
}

// The on-screen game pad: a direction pad at the lower left and two action
// buttons mirrored at the lower right; a touch on one of its controls presses
// that control's pad for this update only.
void runOnScreenPad(vl_Korvane_MyApp& g) {
  const float w = vl_Korvane_jscrw;
  const float h = vl_Korvane_jscrh;
  const float x = clampTo<float>(g.settings[kPadSettingX], kPadMargin, w - kPadMargin);
  const float y = h - clampTo<float>(g.settings[kPadSettingY], kPadMargin, h - kPadMargin);
  const float size = clampTo(g.settings[kPadSettingSize], kPadSizeMin, kPadSizeMax) / 10.0f;
  const float reach = 20 * size;  // centre of the pad to the centre of a direction
  const float touch = 24 * size;  // diameter of the touch area of one control
  // One control of the pad: the virtual pad it presses (numbered like its
  // action), its offset from the centre of its group and its picture frame.
  struct PadControl {
    int pad;
    float dx, dy;
    int frame;
  };
  const PadControl dpad[] = {{kActionUp, 0, -reach, kDpadUpPressed},
                             {kActionLeft, -reach, 0, kDpadLeftPressed},
                             {kActionRight, reach, 0, kDpadRightPressed},
                             {kActionDown, 0, reach, kDpadDownPressed}};
  g.m_ResetDraw();
  g.m_SetSize(size, kUnset);
  g.m_Alpha(0.5f);
  g.m_DrawImg(kImageDpad, x, y, kDpadBase);
  for (const PadControl& p : dpad) {
    if (g.m_MouseIn_Radius(x + p.dx, y + p.dy, touch, touch) != 0) {
      g.pads[p.pad] = kPadPressedOnce;
      g.m_DrawImg(kImageDpad, x + p.dx, y + p.dy, p.frame);
    }
  }
  const PadControl buttons[] = {{kActionFirstButton, -reach, reach / 2, kDpadButtonA},
                                {kActionFirstButton + 1, reach, -reach / 2, kDpadButtonB}};
  const float bx = w - x;
  for (const PadControl& p : buttons) {
    g.m_DrawImg(kImageDpad, bx + p.dx, y + p.dy, p.frame);
    if (g.m_MouseIn_Radius(bx + p.dx, y + p.dy, touch * 1.5f, touch * 1.5f) != 0) {
      g.pads[p.pad] = kPadPressedOnce;
    }
  }
  g.m_ResetDraw();
}

void runTiltInput(vl_Korvane_MyApp& g) {
  if (vl_Korvane_iCadeControls != 0) {
    g.tiltX = 0;
    g.tiltY = 0;
    return;
  }
  g.tiltX = vl_input_AccelX() - g.accelZeroX;
  g.tiltY = vl_input_AccelY() - g.accelZeroY;
  g.m_ResetDraw();
  if (g.m_Button(kImageIcons, kCalibrateInset, vl_Korvane_jscrh - kCalibrateInset, kIconCalibrate) != 0 &&
      g.clickLatch == 0) {
    g.clickLatch = 1;
    g.accelZeroX = vl_input_AccelX();
    g.accelZeroY = vl_input_AccelY();
  }
}

void drawDebugLine(vl_Korvane_MyApp& g) {
  g.m_ResetDraw();
  g.m_Text(16, vl_Korvane_jscrh - 16,
           String(g.scaleX) + String(" ") + String(g.scaleY) + String(" ") + String(g.renderFpsAvg), 0, 1);
}

}  // namespace

int vl_Korvane_MyApp::m_OnUpdate() {
  if (vl_Korvane_HasMusic == 1) {
    startMusicWhenStopped(*this);
    musicPlayer->m_KX_Alive_U(pauseActive, musicWanted(*this));
  }
  takeInputSnapshot(*this);
  updateKeyLatch(*this);
  if (loadStage == 0) dispatchMode(*this);
  if (loadStage > 0) m_Loader();
  if (vl_Korvane_iCadeControls == 1) DecodeArcadeLetters(*this);
  for (lp = 0; lp < kPadCount; ++lp) {
    if (pads[lp] == kPadPressedOnce) pads[lp] = 0;
  }
  if (vl_Korvane_OnScreenControls == 1 && mode > kModeWaitStart && vl_Korvane_iCadeControls == 0) runOnScreenPad(*this);
  if (vl_Korvane_AccelerometerControls == 1) runTiltInput(*this);
  if (vl_Korvane_DebugMode == 1 && mode != kModeWaitStart) drawDebugLine(*this);
  m_ShowBadges();
  return 0;
}

// --------------------------------------------------------------------------
// One render

namespace {

constexpr int kFloatIndexX = 1;
constexpr int kFloatIndexY = 2;
constexpr int kFloatIndexRot = 3;
constexpr int kFloatIndexSizeX = 4;
constexpr int kFloatIndexSizeY = 5;
constexpr int kFloatIndexFrame = 6;
constexpr int kFloatIndexAlpha = 7;
constexpr int kFloatIndexRed = 10;
constexpr int kFloatIndexGreen = 11;
constexpr int kFloatIndexBlue = 12;
constexpr int kMillisecondsPerSecond = 1000;

// The render-rate meter counts frames drawn, not renders: a still screen is
// not drawn again. Whether a render was drawn is known only after it ended,
// so each render looks back at the one before.
void measureRenderRate(vl_Korvane_MyApp& g) {
  const int now = vl_app_Millisecs();
  const int drawn = vl_graphics_FramesDrawn();
  if (drawn != g.renderFramesSeen) {
    if (now - g.renderLastMs > 0) g.renderFps = 1000 / (now - g.renderLastMs);
    g.renderFramesSeen = drawn;
    g.renderLastMs = now;
  } else if (now - g.renderLastMs >= kMillisecondsPerSecond) {
    g.renderFps = 0;  // nothing drawn for a second
  }
  g.renderFpsAvg = (g.renderFps + 9 * g.renderFpsAvg) / 10;
}

// One uniform scale: the virtual screen is 640 wide or 480 high, whichever fits
// tighter, and always covers the window exactly.
void computeScale(vl_Korvane_MyApp& g, float deviceW, float deviceH) {
  const float sx = deviceW / vl_Korvane_rawscrw;
  const float sy = deviceH / vl_Korvane_rawscrh;
  const float scale = sx > sy ? sx : sy;
  if (scale <= 0) return;  // a window without area keeps the last scale
  g.scaleX = scale;
  g.scaleY = scale;
  vl_Korvane_jscrw = deviceW / scale;
  vl_Korvane_jscrh = deviceH / scale;
  g.landscape = vl_Korvane_jscrw >= vl_Korvane_jscrh ? 1 : 0;
}

void replayImage(vl_Korvane_MyApp& g, const float* r) {
  const int slot = static_cast<int>(r[0]);
  if (slot >= g.images.Length()) return;
  vl_graphics_Image* image = g.images[slot];
  if (image == nullptr) return;
  const int frame = static_cast<int>(r[kFloatIndexFrame]);
  if (frame < 0 || frame >= image->frames.Length()) return;  // not a frame of this image
  vl_graphics_DrawImage2(image, r[kFloatIndexX] * g.scaleX, r[kFloatIndexY] * g.scaleY, r[kFloatIndexRot],
                         r[kFloatIndexSizeX] * g.scaleX * g.hdDrawScale, r[kFloatIndexSizeY] * g.scaleY * g.hdDrawScale,
                         frame);
}

void replayDisplayList(vl_Korvane_MyApp& g) {
  for (int start = 0; start <= g.drawLen - kRecordFloats; start += kRecordFloats) {
    const float* r = &g.drawList[start];
    vl_graphics_SetAlpha(r[kFloatIndexAlpha]);
    vl_graphics_SetColor(r[kFloatIndexRed], r[kFloatIndexGreen], r[kFloatIndexBlue]);
    const float kind = r[0];
    const float x = r[kFloatIndexX] * g.scaleX;
    const float y = r[kFloatIndexY] * g.scaleY;
    const float w = r[kFloatIndexSizeX] * g.scaleX;
    const float h = r[kFloatIndexSizeY] * g.scaleY;
    if (kind == kKindRect) {
      vl_graphics_DrawRect(x, y, w, h);
    } else if (kind == kKindOval) {
      vl_graphics_DrawEllipse(x, y, w, h);
    } else if (kind == kKindLine) {
      vl_graphics_DrawLine(x, y, w, h);
    } else if (kind > -1) {
      replayImage(g, r);
    }
  }
}

}  // namespace

int vl_Korvane_MyApp::m_OnRender() {
  if (vl_Korvane_HasMusic == 1) musicPlayer->m_KX_Alive_R();
  if (grabSlot > 0) {
    m_GrabImageData(grabSlot, grabFrame);
    grabSlot = 0;
  }
  measureRenderRate(*this);
  const int deviceW = vl_graphics_DeviceWidth();
  const int deviceH = vl_graphics_DeviceHeight();
  vl_graphics_SetColor(clearRed, clearGreen, clearBlue);
  vl_graphics_SetAlpha(clearAlpha);
  vl_graphics_DrawRect(-1, -1, static_cast<float>(deviceW + 2), static_cast<float>(deviceH + 2));
  vl_graphics_SetColor(255, 255, 255);
  vl_graphics_SetAlpha(1);
  if (deviceW != deviceWidth || deviceH != deviceHeight) {
    loadStage = 1;  // reload every asset at the resolution the new size calls for
    deviceWidth = deviceW;
    deviceHeight = deviceH;
  }
  computeScale(*this, static_cast<float>(deviceW), static_cast<float>(deviceH));
  replayDisplayList(*this);
  vl_graphics_SetAlpha(0.5f);
  vl_graphics_SetColor(255, 255, 255);
  return 0;
}

// --------------------------------------------------------------------------
// Suspend and resume

namespace {

// A game in progress comes back with its pause panel already open; a game
// that has ended does not (its overlay runs on to the menu).
void applySuspendPauseRule(vl_Korvane_MyApp& g) {
  if (g.mode >= kModePlaying && g.gameOverFlag == 0) {
    g.pauseActive = 1;
    g.pauseState = 1;
    g.pauseSlide = static_cast<int>(0.5f * vl_Korvane_jscrh);
  } else {
    g.pauseActive = 0;
    g.pauseState = 0;
    g.pauseSlide = 0;
  }
}

}  // namespace

int vl_Korvane_MyApp::m_OnSuspend() {
  m_iCade(0);
  applySuspendPauseRule(*this);
  vl_app_SetUpdateRate(kUpdateRateSuspended);
  m_Save();
  holdMusic(*this);
  return 0;
}

// The window is closing or the program was asked to end. A game whose
// game-over overlay is showing has ended: its score is recorded (and saved)
// as the overlay's end would record it. Otherwise a setting changed since the
// last save is saved. A game still in play has not ended and scores nothing.
int vl_Korvane_MyApp::m_OnClose() {
  const bool scoreShown =
      (mode == kModePlaying && gameOverFlag > 0) || mode == kModeBackToMenu;  // recorded by the next update
  if (scoreShown) {
    m_LoadMenu();
  } else if (!unsavedScores.empty() || SettingsChanged()) {
    m_Save();
  }
  return 0;
}

int vl_Korvane_MyApp::m_OnResume() {
  applySuspendPauseRule(*this);
  vl_app_SetUpdateRate(kUpdateRateRunning);
  m_iCade(0);
  holdMusic(*this);
  return 0;
}
