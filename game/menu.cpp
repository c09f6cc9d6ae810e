// The title menu (mode 1): title art sliding in, the score panel with the best
// and the last scores of the selected difficulty, the sound switch, the three
// difficulty buttons that also start a game, and the credits button; the
// credits box drawn over it; and the recording of a finished game's score in
// the two score rows (mode 2), which then saves the state; and the world
// score server's latest answer as one line.
#include <algorithm>

#include "framework/app.h"
#include "framework/replay.h"
#include "game/input_actions.h"
#include "game/my_app.h"
#include "game/screen_fit.h"
#include "game/texts.h"

using namespace korvane;

namespace {

constexpr int kSoundSetting = 5;  // settings index: 0 off, 1 music and effects, 2 effects, 3 music
constexpr int kSoundModes = 4;
constexpr int kRowLength = 10;    // entries in a score row
constexpr int kLastRowsBase = 30;  // the last-score rows follow the three best-score rows

// Image slots and frames.
constexpr int kMenuArt = 99;
constexpr int kLogo = 98;
constexpr int kIcons = 97;
constexpr int kIconSoundOn = 4;
constexpr int kIconSoundOff = 5;
constexpr int kIconMusicModeBase = 7;  // frames 8-10 for sound modes 1-3
constexpr int kButtons = 95;
constexpr int kButtonSelected = 15;
constexpr int kCreditsLogo = 93;

// Sounds.
constexpr int kSfxClick = 98;
constexpr int kSfxCredits = 99;

constexpr int kModeNewGame = 11;

// Score panel: 140 wide on the right edge; its texts sit 20 in from its left.
constexpr float kPanelWidth = 140;
constexpr float kPanelTextInset = 20;
constexpr float kBestTop = 60;
constexpr float kPanelSlide = 4;  // the panel moves 4 pixels per step of the slide
constexpr float kScoreTextSize = 1.5f;
constexpr int kScoreWidth = 11;  // characters of a right-aligned score

// The world rank line: its largest text size, and in a portrait window the
// band it is kept in, between the title word's bottom and the first
// button's top (fractions of the height).
constexpr float kRankTextSize = 1.5f;
constexpr float kRankPortraitTop = 0.25f;
constexpr float kRankPortraitBottom = 0.32f;

// Credits box lines: offset below the first line, and text.
struct CreditLine {
  float offset;
  const char* text;
};
constexpr CreditLine kCreditLines[] = {
    {0, texts::kCreditsBy},      {20, texts::kCreditsAuthor},   {40, texts::kCreditsAuthorSite},
    {80, texts::kCreditsUsing},  {100, texts::kCreditsLanguage}, {120, texts::kCreditsLanguageSite},
};

bool boxOpen(const vl_Korvane_MyApp& g) { return g.creditsOpen != 0 || g.badgesOpen != 0; }

// Rows of each score list that fit into the half-screen panel at the current
// text size: 1 to 10.
int visibleRows(const vl_Korvane_MyApp& g) {
  const int lineHeight = static_cast<int>(static_cast<float>(g.imageInfo[3 * g.fontSlot + 1]) * g.drawSizeY);
  const float h = vl_Korvane_jscrh;
  const int room = static_cast<int>(h - 90 - h / 2);
  int rows = lineHeight > 0 ? room / lineHeight : kRowLength;
  if (rows < 1) rows = 1;
  if (rows > kRowLength) rows = kRowLength;
  return rows;
}

// A score list: its header, then one right-aligned score per line.
String scoreList(vl_Korvane_MyApp& g, const char* header, const char* singleHeader, int first, int rows) {
  String text = rows == 1 ? String(singleHeader) : String(header) + String(rows);
  for (int i = 0; i < rows; ++i) {
    text = text + String(texts::kLineBreak) + g.m_rstr(g.highScores[first + i], kScoreWidth, String(" "));
  }
  return text;
}

void drawTitleArt(vl_Korvane_MyApp& g, float s) {
  const float w = vl_Korvane_jscrw;
  const float h = vl_Korvane_jscrh;
  g.m_ResetDraw();
  g.m_SetSize(3, kUnset);
  g.m_Alpha(0.75f);
  g.m_DrawImg(kMenuArt, w / 2, h / 2 + 16 * s, 0);
  g.m_SetSize(2, kUnset);
  g.m_Alpha(1);
  g.m_DrawImg(kMenuArt, 0.4f * w + 20 * s, h / 2, 2);
  g.m_SetSize(3, kUnset);
  g.m_DrawImg(kMenuArt, w / 2, h / 2 - 24 * s, 1);
  // The title word keeps its size and place where the screen is wide enough
  // and shrinks and moves in where it is not (a portrait window).
  float logoX = 0.4f * w;
  float logoSize = 1.5f;
  FitImageAcross(g, kLogo, logoX, logoSize);
  g.m_SetSize(logoSize, kUnset);
  g.m_DrawImg(kLogo, logoX, 0.2f * h + 12 * s, 0);
  g.m_SetCol(0, 0, 0, 0.4f);
  g.m_Rect(w - kPanelWidth - kPanelSlide * s, 0, kPanelWidth, h);
}

// The switch works even under an open credits box.
void runSoundSwitch(vl_Korvane_MyApp& g, float s) {
  const float w = vl_Korvane_jscrw;
  const float h = vl_Korvane_jscrh;
  g.m_ResetDraw();
  g.m_SetSize(2, kUnset);
  g.m_SetCol(50, 250, 50, 1);
  const int frame = g.settings[kSoundSetting] != 0 ? kIconSoundOn : kIconSoundOff;
  float x, y;
  if (g.landscape == 1) {
    x = 32 + 4 * s;
    y = static_cast<float>(static_cast<int>(h / 2));
  } else {
    x = static_cast<float>(static_cast<int>(w / 2));
    y = 32 + 4 * s;
  }
  if (g.m_Button(kIcons, x, y, frame) != 0 && g.clickLatch == 0) {
    int& sound = g.settings[kSoundSetting];
    if (vl_Korvane_HasMusic == 0) {
      sound = sound == 0 ? 1 : 0;
    } else {
      sound = (sound + 1) % kSoundModes;
    }
    g.clickLatch = 1;
    g.m_PlaySFX(kSfxClick, 1, 0.5f, 0);
  }
  const int sound = g.settings[kSoundSetting];
  if (vl_Korvane_HasMusic == 1 && sound >= 1 && sound <= 3) {
    g.m_SetSize(1.5f, kUnset);
    g.m_SetCol(180, 255, 255, 1);
    g.m_DrawImg(kIcons, x + 20, y, static_cast<float>(sound + kIconMusicModeBase));
  }
}

void drawScorePanel(vl_Korvane_MyApp& g, float s) {
  const float w = vl_Korvane_jscrw;
  const float h = vl_Korvane_jscrh;
  const float x = w - kPanelWidth - kPanelSlide * s + kPanelTextInset;
  const int base = kRowLength * (g.difficulty - 1);

  g.m_SetCol(255, 200, 100, 1);
  g.m_SetSize(kScoreTextSize, kUnset);
  int rows = visibleRows(g);
  String best = scoreList(g, texts::kTopScores, texts::kTopScoresOne, base, rows);
  if (!boxOpen(g)) g.m_Text(x, kBestTop, best, 0, 0);

  g.m_SetCol(200, 255, 100, 1);
  g.m_SetSize(kScoreTextSize, kUnset);
  String last = scoreList(g, texts::kLastScores, texts::kLastScoresOne, kLastRowsBase + base, rows);
  if (!boxOpen(g)) g.m_Text(x, h / 2 + 20, last, 0, 0);
}

struct Point {
  float x, y;
};

Point difficultyButtonPlace(const vl_Korvane_MyApp& g, int n, float s) {
  const float w = vl_Korvane_jscrw;
  const float h = vl_Korvane_jscrh;
  if (g.landscape == 1) {
    switch (n) {
      case 1: return {0.2f * w, 0.7f * h - 8 * s};
      case 2: return {0.4f * w, 0.7f * h - 12 * s};
      default: return {0.6f * w, 0.7f * h - 10 * s};
    }
  }
  switch (n) {
    case 1: return {0.3f * w - 8 * s, 0.45f * h};
    case 2: return {0.3f * w, 0.65f * h - 12 * s};
    default: return {0.3f * w + 8 * s, 0.85f * h};
  }
}

// Each button starts a game at its difficulty; the selected one wears a mark.
void runDifficultyButtons(vl_Korvane_MyApp& g, float s) {
  g.m_ResetDraw();
  g.m_SetSize(1.5f, kUnset);
  g.m_Alpha(1);
  for (int n = 1; n <= 3; ++n) {
    const Point p = difficultyButtonPlace(g, n, s);
    if (g.m_Button(kButtons, p.x, p.y, n - 1) != 0 && g.clickLatch == 0 && !boxOpen(g)) {
      g.mode = kModeNewGame;
      g.clickLatch = 1;
      g.keyLatch = 1;
      g.difficulty = n;
      g.m_PlaySFX(kSfxClick, 1, 0.5f, 0);
    }
    if (g.difficulty == n) {
      g.m_Alpha(0.75f);
      g.m_DrawImg(kButtons, p.x, p.y, kButtonSelected);
      g.m_Alpha(1);
    }
  }
  g.m_ResetDraw();
}

bool anyButtonAction(vl_Korvane_MyApp& g) {
  for (int action = kActionFirstButton; action <= kActionLastButton; ++action) {
    if (g.m_PlayKey(action) != 0) return true;
  }
  return false;
}

// Up/left and down/right choose the difficulty; any action button starts.
void runMenuKeys(vl_Korvane_MyApp& g) {
  auto free = [&g] { return g.keyLatch == 0 && !boxOpen(g); };
  if (free() && (g.m_PlayKey(kActionUp) != 0 || g.m_PlayKey(kActionLeft) != 0) && g.difficulty > 1) {
    g.keyLatch = 1;
    g.difficulty -= 1;
    g.m_PlaySFX(kSfxClick, 0.8f, 0.5f, 0);
  }
  if (free() && (g.m_PlayKey(kActionDown) != 0 || g.m_PlayKey(kActionRight) != 0) && g.difficulty < 3) {
    g.keyLatch = 1;
    g.difficulty += 1;
    g.m_PlaySFX(kSfxClick, 1.2f, 0.5f, 0);
  }
  if (free() && anyButtonAction(g)) {
    g.mode = kModeNewGame;
    g.clickLatch = 1;
    g.keyLatch = 1;
    g.m_PlaySFX(kSfxClick, 1, 0.5f, 0);
  }
}

// `line` with a line break before its last `word` (when it holds one).
String breakBefore(const String& line, const char* word) {
  const int at = line.FindLast(String(word));
  if (at <= 0) return line;
  return line.Slice(0, at) + String(texts::kLineBreak) + line.Slice(at + 1, line.Length());
}

// The world score server's latest answer: at the top of the room left of
// the score panel in a landscape window; in a portrait one, where the sound
// switch takes the top, between the title word and the first button. Where
// the room is narrow it goes on two or three lines ("World rank 12", "of
// 3,400", "(Normal)"), and shrinks only when even those do not fit.
void drawWorldRank(vl_Korvane_MyApp& g, float s) {
  const String line = vl_app_WorldRankLine();
  if (line.Length() == 0 || boxOpen(g)) return;
  const float w = vl_Korvane_jscrw;
  const float h = vl_Korvane_jscrh;
  const bool landscape = g.landscape == 1;
  const float right = landscape ? w - kPanelWidth - kPanelSlide * s : w - kPanelWidth + kPanelTextInset;
  const float room = right - 2 * kScreenMargin;
  g.m_ResetDraw();
  g.m_SetSize(kRankTextSize, kUnset);
  String text = line;
  for (const char* word : {" of ", " ("}) {
    const Box box = TextBox(g, 0, 0, text, 0, 0);
    if (box.right - box.left <= room) break;
    text = breakBefore(text, word);
  }
  const Box box = TextBox(g, 0, 0, text, 0, 0);
  const float band = (kRankPortraitBottom - kRankPortraitTop) * h;
  float fit = room / (box.right - box.left);
  if (!landscape) fit = std::min(fit, band / (box.bottom - box.top));
  if (fit < 1 && fit > 0) g.m_SetSize(kRankTextSize * fit, kUnset);
  g.m_SetCol(255, 255, 255, 1);
  WriteTextInside(g, right / 2, landscape ? kScreenMargin : kRankPortraitBottom * h, text, 0.5f, landscape ? 0 : 1);
  g.m_ResetDraw();
}

void runCreditsButton(vl_Korvane_MyApp& g, float s) {
  g.m_ResetDraw();
  g.m_SetSize(0.5f, kUnset);
  if (g.m_Button(kCreditsLogo, vl_Korvane_jscrw - 70, vl_Korvane_jscrh - 40 - 4 * s, 0) != 0 &&
      g.clickLatch == 0 && !boxOpen(g)) {
    g.clickLatch = 1;
    g.m_PlaySFX(kSfxCredits, 1, 1, 0);
    g.creditsOpen = 1;
  }
}

}  // namespace

int vl_Korvane_MyApp::m_Menu() {
  m_CLSMe(level);
  if (menuSlide < 0) menuSlide = static_cast<int>(static_cast<float>(menuSlide) + 0.25f);
  const float s = static_cast<float>(menuSlide);
  drawTitleArt(*this, s);
  runSoundSwitch(*this, s);
  drawScorePanel(*this, s);
  runDifficultyButtons(*this, s);
  runMenuKeys(*this);
  runCreditsButton(*this, s);
  drawWorldRank(*this, s);
  return 0;
}

int vl_Korvane_MyApp::m_CreditBox() {
  const float w = vl_Korvane_jscrw;
  const float h = vl_Korvane_jscrh;
  m_ResetDraw();
  m_SetCol(255, 125, 0, 0.8f);
  m_Rect(0.1f * w, 0.2f * h, 0.8f * w, 0.6f * h);
  m_SetCol(100, 0, 0, 0.8f);
  m_Rect(0.12f * w, 0.22f * h, 0.76f * w, 0.56f * h);
  m_SetCol(255, 255, 255, 1);
  m_SetSize(1.5f, kUnset);
  for (const CreditLine& line : kCreditLines) m_Text(w / 2, 0.24f * h + line.offset, String(line.text), 1, 0);
  // Any click closes the box and is used up by it.
  if (mouseDown > 0 && clickLatch == 0) {
    clickLatch = 1;
    creditsOpen = 0;
    m_PlaySFX(kSfxCredits, 1, 1, 0);
  }
  return 0;
}

int vl_Korvane_MyApp::m_LoadMenu() {
  const int base = kRowLength * (difficulty - 1);
  insertPos = -1;
  for (int i = 0; i < kRowLength; ++i) {
    // An equal score does not enter ahead of the entry it equals.
    if (score > highScores[base + i]) {
      insertPos = i;
      break;
    }
  }
  if (insertPos >= 0) {
    for (int i = kRowLength - 1; i > insertPos; --i) highScores[base + i] = highScores[base + i - 1];
    highScores[base + insertPos] = score;
  }
  m_GC_PostScore(difficulty, highScores[base]);
  m_GC_Badges();
  const int last = kLastRowsBase + base;
  for (int i = kRowLength - 1; i >= 1; --i) highScores[last + i] = highScores[last + i - 1];
  highScores[last] = score;
  m_Save();
  vl_replay_GameEnds(difficulty, score, level);  // after the save: a lost replay never costs the score
  return 0;
}

// The world score server takes the game itself (its replay), which it plays
// again to find the board and score: the arguments are not sent.
int vl_Korvane_MyApp::m_GC_PostScore(int /*board*/, int /*score*/) {
  vl_replay_PostGame();
  return 0;
}

// Achievements: there is no such service here.

int vl_Korvane_MyApp::m_GC_Badges() { return 0; }
