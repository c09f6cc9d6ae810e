// The game: one application object, vl_Korvane_MyApp, that owns every piece of
// game state in plain fields and preallocated arrays.
//
// Each update takes an input snapshot in virtual pixels, runs the asset loader
// or the current mode's screen, and records what it wants drawn in a display
// list of 15-float records; each render replays that list scaled uniformly to
// the window. Screens are immediate mode: they empty the list (m_CLS2D) and
// redraw everything, hit-testing buttons as they draw them.
//
// Depends on the framework modules (app, graphics, audio, input, random) and the
// runtime (collected objects, strings, logging) only, plus the music player.
//
// Invariants callers keep: everything runs on the host's main thread; drawing
// methods only append records (nothing touches the graphics device during an
// update); `drawLen` is always a multiple of 15 and at most 37485; collected
// objects are held in fields, never across calls in locals.
#pragma once

#include <array>
#include <vector>

#include "framework/app.h"
#include "framework/audio.h"
#include "framework/graphics.h"
#include "runtime/gc.h"
#include "runtime/string.h"

class vl_KXTrackr_KXPlayer;

namespace korvane {
// Marker of an argument that was not given, of a touch point that is up, and the
// kind code of a rectangle record: one value for all three.
constexpr int kUnset = -3717;
// Display-list record kinds besides image slots (0 and up).
constexpr int kKindRect = -3717;
constexpr int kKindOval = -3716;
constexpr int kKindLine = -3715;
constexpr int kRecordFloats = 15;
// A record is appended only while drawLen is at most this: 2499 records a frame.
constexpr int kLastRecordStart = 37484;
}  // namespace korvane

// Build-wide switches and the virtual screen, set by vlInit (game/program.cpp,
// which also lists the dormant features these switches keep off).
extern float vl_Korvane_rawscrw;
extern float vl_Korvane_rawscrh;
extern float vl_Korvane_jscrw;
extern float vl_Korvane_jscrh;
extern int vl_Korvane_HasMusic;
extern int vl_Korvane_DebugMode;
extern int vl_Korvane_OnScreenControls;
extern int vl_Korvane_AccelerometerControls;
extern int vl_Korvane_iCadeControls;

class vl_Korvane_MyApp : public vl_app_App {
 public:
  // --- object, dispatch and shared state ---
  int mode = 0;
  int deviceWidth = 0;
  int deviceHeight = 0;
  vl_KXTrackr_KXPlayer* musicPlayer = nullptr;
  float accelZeroX = 0;
  float accelZeroY = 0;
  float clearRed = 0;
  float clearGreen = 0;
  float clearBlue = 0;
  float clearAlpha = 0;
  int hdLevel = 0;
  float hdDrawScale = 0;
  Array<vl_graphics_Image*> images;  // 100 slots
  Array<int> imageInfo;              // 300: frame width, height, count per slot
  int fontSlot = 0;
  int loadStage = 0;
  int difficulty = 0;
  int menuSlide = 0;
  int pauseActive = 0;
  int pauseState = 0;
  int pauseSlide = 0;
  int lp = 0;
  Array<int> badgePopId;     // 15
  Array<int> badgePopTimer;  // 15
  Array<bool> badgeFlags;    // 256
  Array<int> pads;           // 20
  Array<int> settings;       // 25
  Array<int> highScores;     // 150
  // Saving: the games this copy finished since it last read or saved the
  // state (each saved by entering it into the tables on disk), the settings
  // as last read or saved, and whether the last save failed (the menu then
  // says that scores are not being saved).
  struct FinishedGame {
    int table, score;
  };
  std::vector<FinishedGame> unsavedScores;
  std::array<int, 25> savedSettings{};
  int saveFailed = 0;
  bool SettingsChanged() const;  // since they were last read or saved
  Array<int> sfxChannels;        // 33
  int renderLastMs = 0;          // when the latest drawn frame was seen
  int renderFramesSeen = 0;      // the device's drawn-frame count at that time
  int renderFps = 0;
  int renderFpsAvg = 0;
  float scaleX = 0;
  float scaleY = 0;
  int landscape = 0;
  int drawLen = 0;
  Array<float> drawList;  // 37500
  int lastChar = 0;
  int mouseX = 0;
  int mouseY = 0;
  int prevMouseX = 0;
  int prevMouseY = 0;
  int mouseWasDown = 0;
  int mouseDown = 0;
  int mouseHit = 0;
  Array<int> touchDown;  // 10
  Array<int> touchX;     // 10
  Array<int> touchY;     // 10
  int clickLatch = 0;
  int keyLatch = 0;
  int creditsOpen = 0;
  int badgesOpen = 0;
  float drawSizeX = 0;
  float drawSizeY = 0;
  float drawRot = 0;
  float drawRed = 0;
  float drawGreen = 0;
  float drawBlue = 0;
  float drawAlpha = 0;
  Array<vl_audio_Sound*> sounds;  // 100 slots
  int gameOverFlag = 0;
  int pauseChoice = 0;
  int gameOverTimer = 0;

  // --- play field and rules ---
  int level = 0;
  int score = 0;
  int gridCols = 0;
  int gridRows = 0;
  float boardX = 0;
  float boardY = 0;
  int moving = 0;
  int wasMoving = 0;
  int canSelect = 0;
  int markedCount = 0;
  int boardVisible = 0;
  int roundState = 0;
  int combo = 0;
  float comboTimer = 0;
  Array<float> cells;  // 25000: 10 floats per cell, 50 x 50 cells
  int gemKinds = 0;
  int lastCol = 0;
  int lastRow = 0;
  int pathKind = 0;
  int pathLength = 0;
  int comboTime = 0;
  int timeLeft = 0;
  int timeMax = 0;
  Array<float> particles;  // 1024: 101 fragment slots of 10 floats
  int roundScore = 0;
  int roundTarget = 0;
  int targetJingle = 0;
  int shownScore = 0;
  int settling = 0;

  // --- board cursor (keys and game pad) ---
  int cursorShown = 0;  // 1 once a controller key was used, until the pointer moves
  int cursorCol = 0;    // the cell it stands on, in grid terms
  int cursorRow = 0;
  int cursorHeld = 0;    // 1 while the first button holds the cell under it
  int cursorKeys = 0;    // the controls down in the last update, one bit each
  int cursorRepeat = 0;  // updates until a held direction moves it again

  // --- title menu ---
  int insertPos = 0;

  // --- drawing helpers ---
  int buttonHit = 0;
  int sfxNext = 0;

  // --- asset loading and pixel decoders ---
  Array<int> colourGrid;  // 16384: 64 x 64 cells of 4 ints
  Array<int> wordList;    // room for 2048 words per decoded frame
  int wordCount = 0;
  int wordSheet = 0;
  // A pixel grab waits for the render pass (the only time the device may be
  // read); slot 0 means no grab is pending. Nothing in the game requests one.
  int grabSlot = 0;
  int grabFrame = 0;

  // --- badges ---
  float badgeScroll = 0;
  float badgeScrollShown = 0;

  // --- start, pause and game-over screens ---
  int spinAngle = 0;

  // --- tilt input (dormant): readings minus the calibrated zero ---
  float tiltX = 0;
  float tiltY = 0;

  vl_Korvane_MyApp();
  vl_Korvane_MyApp* g_new();
  void mark() override;

  int m_OnCreate() override;
  int m_OnUpdate() override;
  int m_OnSuspend() override;
  int m_OnResume() override;
  int m_OnRender() override;
  int m_OnClose() override;

  virtual int m_LoadImg(int slot, String name, int w, int h, int frames, int flags);
  virtual int m_LoadFont(int slot, String name, int advance, int lineHeight);
  virtual int m_Reload();
  virtual int m_Load();
  virtual int m_Loader_WordList();
  virtual int m_GrabImageData(int slot, int frame);
  virtual int m_iCade(int mode);
  virtual int m_Save();
  virtual int m_PlayKey(int action);
  virtual int m_ResetDraw();
  virtual int m_CLS2D(float r, float g, float b, float a);
  virtual int m_CLSMe(int kind);
  virtual int m_SetSize(float sx, float sy);
  virtual int m_Alpha(float a);
  virtual int m_DrawImg(int slot, float x, float y, float frame);
  virtual int m_SetCol(float r, float g, float b, float a);
  virtual int m_Rect(float x, float y, float w, float h);
  virtual int m_Button(int slot, float x, float y, int frame);
  virtual int m_PlaySFX(int slot, float rate, float volume, float pan);
  virtual String m_rstr(int value, int width, String pad);
  virtual int m_Text(float x, float y, String text, float alignX, float alignY);
  virtual int m_Menu();
  virtual int m_GC_PostScore(int board, int score);
  virtual int m_GC_Badges();
  virtual int m_LoadMenu();
  virtual int m_Oval(float x, float y, float rx, float ry);
  virtual int m_WaitStart(int kind);
  virtual int m_Rand(int low, int high);
  virtual int m_SetRot(float degrees);
  virtual int m_MouseIn_Radius(float x, float y, float size, float ignored);
  virtual int m_Burst(float x, float y, int kind);
  virtual int m_NewRound();
  virtual int m_Game();
  virtual int m_PauseMenu();
  virtual int m_InGame();
  virtual int m_LoadGame();
  virtual String m_MyNth();
  virtual int m_GameOver();
  virtual int m_CreditBox();
  virtual String m_BadgeID(int badge);
  virtual String m_BadgeName(int badge);
  virtual String m_BadgeDetail(int badge);
  virtual int m_BadgesBox();
  virtual int m_LoadImgRaw(int slot, String name, int w, int h, int frames, int flags);
  virtual int m_LoadSFX(int number);
  virtual int m_Loader();
  virtual int m_Button0(int slot, float x, float y, int frame);
  virtual int m_ShowBadges();
};
