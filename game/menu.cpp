// The title menu (mode 1): title art sliding in, the score panel with the best
// and the last scores of the selected difficulty, the sound switch, the three
// difficulty buttons that also start a game, and the credits button; the
// credits box drawn over it; and the recording of a finished game's score in
// the two score rows (mode 2), which then saves the state; and the world
// score server's latest answer as one line.
#include <algorithm>
#include <cmath>

#include "framework/app.h"
#include "framework/replay.h"
#include "game/input_actions.h"
#include "game/modes.h"
#include "game/my_app.h"
#include "game/score_tables.h"
#include "game/screen_fit.h"
#include "game/slots.h"
#include "game/sound_setting.h"
#include "game/texts.h"

using namespace korvane;

namespace {

constexpr int kButtonSelected = 15;  // frame of the buttons sheet around the chosen difficulty

// Score panel: 140 wide on the right edge; its texts sit 20 in from its left.
constexpr float kPanelWidth = 140;
constexpr float kPanelTextInset = 20;
constexpr float kBestTop = 60;
constexpr float kPanelSlide = 4;  // the panel moves 4 pixels per step of the slide
constexpr float kScoreTextSize = 1.5f;
constexpr int kScoreWidth = 11;         // characters of a right-aligned score
constexpr float kLastBelowMiddle = 20;  // the last-score list starts this far below the middle
constexpr float kColumnGap = 4;         // between the lists and the buttons or the title word
constexpr float kButtonSize = 1.5f;     // the difficulty buttons
constexpr float kCreditsSize = 0.5f;    // the credits button
constexpr float kCreditsAbove = 40;     // its centre above the bottom edge, once slid in
// The notice that scores are not being saved: small, on a dark band.
constexpr float kNoticeTextSize = 1;
constexpr float kNoticePadding = 3;
constexpr float kNoticeWrapBelow = 0.75f;  // shrunk further than this, the notice takes two lines

// The world rank line: its largest text size, and in a portrait window the
// band it is kept in, between the title word's bottom and the first
// button's top (fractions of the height).
constexpr float kSoundSwitchEdge = 32;  // its centre's distance from the screen's edge, once slid in
constexpr float kRankTextSize = 1.5f;
constexpr float kRankSmallest = 0.5f;  // of kRankTextSize: smaller than this, the line moves

// Credits box lines: offset below the first line, and text.
struct CreditLine {
  float offset;
  const char* text;
};
constexpr CreditLine kCreditLines[] = {
    {0, texts::kCreditsBy},     {20, texts::kCreditsAuthor},    {40, texts::kCreditsAuthorSite},
    {80, texts::kCreditsUsing}, {100, texts::kCreditsLanguage}, {120, texts::kCreditsLanguageSite},
};

constexpr float kCreditsInner = 0.76f;  // the box's inner part, of the screen's width
constexpr float kCreditsTextSize = 1.5f;

// The credits' size, smaller where their longest line would not fit the box.
float creditsTextSize(const vl_Korvane_MyApp& g, float room) {
  int longest = 0;
  for (const CreditLine& line : kCreditLines) longest = std::max(longest, String(line.text).Length());
  const float width = static_cast<float>(g.imageInfo[3 * g.fontSlot] * longest) * kCreditsTextSize;
  return width > room ? kCreditsTextSize * room / width : kCreditsTextSize;
}

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

// Where the score lists stand: the panel's left edge, the texts' left edge,
// their size, the top of the best-score list and the rows of each list.
struct ScoreColumn {
  float panelLeft, panelWidth, x, size, bestTop;
  int bestRows, lastRows;
};

// The title word's place and size: at its place where the screen is wide
// enough, shrunk and moved in where it is not (a portrait window).
void logoPlace(const vl_Korvane_MyApp& g, float s, float& x, float& y, float& size) {
  x = 0.4f * vl_Korvane_jscrw;
  y = 0.2f * vl_Korvane_jscrh + 12 * s;
  size = 1.5f;
  FitImageAcross(g, kImageTitleLogo, x, size);
}

int rowsFitting(float top, float bottom, float lineHeight) {
  int rows = lineHeight > 0 ? static_cast<int>((bottom - top) / lineHeight) - 1 : kRowLength;
  return rows < 1 ? 1 : (rows > kRowLength ? kRowLength : rows);
}

// The panel on the right edge; on a screen too narrow for it beside the
// difficulty buttons (a phone held upright) the lists move right of the
// buttons and below the title word, at a size that fits the room, with as
// many rows as fit above the next list and the credits button.
ScoreColumn scoreColumn(vl_Korvane_MyApp& g, float s) {
  const float w = vl_Korvane_jscrw;
  const float h = vl_Korvane_jscrh;
  const float panelLeft = w - kPanelWidth - kPanelSlide * s;
  const float buttonsRight = 0.3f * w + 8 * s + HalfImageWidth(g, kImageButtons, kButtonSize);
  g.m_SetSize(kScoreTextSize, kUnset);
  const int rows = visibleRows(g);
  if (g.landscape == 1 || panelLeft + kPanelTextInset >= buttonsRight + kColumnGap) {
    return {panelLeft, kPanelWidth, panelLeft + kPanelTextInset, kScoreTextSize, kBestTop, rows, rows};
  }
  // The texts' cells start at the column's left edge (m_Text centres the
  // first character on its x).
  const float left = buttonsRight + kColumnGap;
  const float advance = static_cast<float>(g.imageInfo[3 * g.fontSlot]);
  const float size = std::fmin(kScoreTextSize, (w - kScreenMargin - left) / (advance * kScoreWidth));
  const float x = left + advance * size / 2;
  const float lineHeight = static_cast<float>(g.imageInfo[3 * g.fontSlot + 1]) * size;
  float logoX, logoY, logoSize;
  logoPlace(g, s, logoX, logoY, logoSize);
  const float logoHalf = 0.5f * logoSize * g.hdDrawScale * static_cast<float>(g.imageInfo[3 * kImageTitleLogo + 1]);
  const float bestTop = logoY + logoHalf + kColumnGap;
  const float creditsHalf =
      0.5f * kCreditsSize * g.hdDrawScale * static_cast<float>(g.imageInfo[3 * kImageTeamLogo + 1]);
  const float creditsTop = h - kCreditsAbove - 4 * s - creditsHalf;
  const float lastTop = h / 2 + kLastBelowMiddle;
  const float panelLeftHere = left - kColumnGap;
  return {panelLeftHere,
          w - kPanelSlide * s - panelLeftHere,
          x,
          size,
          bestTop,
          rowsFitting(bestTop, lastTop - kColumnGap, lineHeight),
          rowsFitting(lastTop, creditsTop - kColumnGap, lineHeight)};
}

void drawTitleArt(vl_Korvane_MyApp& g, float s, const ScoreColumn& column) {
  const float w = vl_Korvane_jscrw;
  const float h = vl_Korvane_jscrh;
  g.m_ResetDraw();
  g.m_SetSize(3, kUnset);
  g.m_Alpha(0.75f);
  g.m_DrawImg(kImageMenuArt, w / 2, h / 2 + 16 * s, 0);
  g.m_SetSize(2, kUnset);
  g.m_Alpha(1);
  g.m_DrawImg(kImageMenuArt, 0.4f * w + 20 * s, h / 2, 2);
  g.m_SetSize(3, kUnset);
  g.m_DrawImg(kImageMenuArt, w / 2, h / 2 - 24 * s, 1);
  float logoX, logoY, logoSize;
  logoPlace(g, s, logoX, logoY, logoSize);
  g.m_SetSize(logoSize, kUnset);
  g.m_DrawImg(kImageTitleLogo, logoX, logoY, 0);
  g.m_SetCol(0, 0, 0, 0.4f);
  g.m_Rect(column.panelLeft, 0, column.panelWidth, h);
}

// The switch works even under an open credits box.
void runSoundSwitch(vl_Korvane_MyApp& g, float s) {
  const float w = vl_Korvane_jscrw;
  const float h = vl_Korvane_jscrh;
  g.m_ResetDraw();
  float x, y;
  if (g.landscape == 1) {
    x = kSoundSwitchEdge + 4 * s;
    y = static_cast<float>(static_cast<int>(h / 2));
  } else {
    x = static_cast<float>(static_cast<int>(w / 2));
    y = kSoundSwitchEdge + 4 * s;
  }
  RunSoundSwitch(g, x, y);
}

void drawScorePanel(vl_Korvane_MyApp& g, const ScoreColumn& column) {
  const float h = vl_Korvane_jscrh;
  const int base = kRowLength * (g.difficulty - 1);

  g.m_SetCol(255, 200, 100, 1);
  g.m_SetSize(column.size, kUnset);
  String best = scoreList(g, texts::kTopScores, texts::kTopScoresOne, base, column.bestRows);
  if (!boxOpen(g)) g.m_Text(column.x, column.bestTop, best, 0, 0);

  g.m_SetCol(200, 255, 100, 1);
  g.m_SetSize(column.size, kUnset);
  String last = scoreList(g, texts::kLastScores, texts::kLastScoresOne, kLastRowsBase + base, column.lastRows);
  if (!boxOpen(g)) g.m_Text(column.x, h / 2 + kLastBelowMiddle, last, 0, 0);
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
  g.m_SetSize(kButtonSize, kUnset);
  g.m_Alpha(1);
  for (int n = 1; n <= 3; ++n) {
    const Point p = difficultyButtonPlace(g, n, s);
    if (g.m_Button(kImageButtons, p.x, p.y, n - 1) != 0 && g.clickLatch == 0 && !boxOpen(g)) {
      g.mode = kModeNewGame;
      g.clickLatch = 1;
      g.keyLatch = 1;
      g.difficulty = n;
      g.m_PlaySFX(kSfxClick, 1, 0.5f, 0);
    }
    if (g.difficulty == n) {
      g.m_Alpha(0.75f);
      g.m_DrawImg(kImageButtons, p.x, p.y, kButtonSelected);
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

// The credits button sits in the bottom right corner at half size.
Point creditsButtonPlace(float s) { return {vl_Korvane_jscrw - 70, vl_Korvane_jscrh - kCreditsAbove - 4 * s}; }

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
// A room the rank line may take: its left and right edges and the top and
// bottom of its band.
struct RankRoom {
  float left, right, top, bottom;
};

// Landscape: the top of the room left of the score panel. Portrait: between
// the title word and the first difficulty button, left of the score lists.
RankRoom rankRoom(vl_Korvane_MyApp& g, float s) {
  const float w = vl_Korvane_jscrw;
  if (g.landscape == 1) return {0, w - kPanelWidth - kPanelSlide * s, kScreenMargin, vl_Korvane_jscrh};
  float logoX, logoY, logoSize;
  logoPlace(g, s, logoX, logoY, logoSize);
  const float logoBottom =
      logoY + 0.5f * logoSize * g.hdDrawScale * static_cast<float>(g.imageInfo[3 * kImageTitleLogo + 1]);
  const float buttonTop = difficultyButtonPlace(g, 1, s).y -
                          0.5f * kButtonSize * g.hdDrawScale * static_cast<float>(g.imageInfo[3 * kImageButtons + 1]);
  const float listsLeft = scoreColumn(g, s).x - kColumnGap;
  return {0, std::min(w - kPanelWidth + kPanelTextInset, listsLeft), logoBottom + kColumnGap, buttonTop - kColumnGap};
}

// A phone held upright leaves no room between the title and the buttons:
// there the line takes the top left corner, beside the sound switch.
RankRoom besideSoundSwitch(const vl_Korvane_MyApp& g, float s) {
  const float switchHalf = HalfImageWidth(g, kImageIcons, kSoundSwitchSize);
  const float switchBottom = kSoundSwitchEdge + 4 * s + switchHalf;
  return {0, vl_Korvane_jscrw / 2 - switchHalf - kColumnGap, kScreenMargin, switchBottom};
}

// The text (broken onto more lines where the room is narrow) and the size
// at which it fits `room`; a size of 0 where it does not fit at all.
String fitRankLine(vl_Korvane_MyApp& g, const String& line, const RankRoom& room, float& size) {
  const float width = room.right - room.left - 2 * kScreenMargin;
  g.m_SetSize(kRankTextSize, kUnset);
  String text = line;
  for (const char* word : {" of ", " ("}) {
    const Box box = TextBox(g, 0, 0, text, 0, 0);
    if (box.right - box.left <= width) break;
    text = breakBefore(text, word);
  }
  const Box box = TextBox(g, 0, 0, text, 0, 0);
  const float fit = std::min({1.0f, width / (box.right - box.left), (room.bottom - room.top) / (box.bottom - box.top)});
  size = fit > 0 ? kRankTextSize * fit : 0;
  return text;
}

void drawWorldRank(vl_Korvane_MyApp& g, float s) {
  const String line = vl_app_WorldRankLine();
  if (line.Length() == 0 || boxOpen(g)) return;
  g.m_ResetDraw();
  RankRoom room = rankRoom(g, s);
  float size = 0;
  String text = fitRankLine(g, line, room, size);
  if (g.landscape != 1 && size < kRankSmallest * kRankTextSize) {
    room = besideSoundSwitch(g, s);
    text = fitRankLine(g, line, room, size);
  }
  if (size <= 0) return;  // no room at all
  g.m_SetSize(size, kUnset);
  g.m_SetCol(255, 255, 255, 1);
  WriteTextInside(g, (room.left + room.right) / 2, room.top, text, 0.5f, 0);
  g.m_ResetDraw();
}

void runCreditsButton(vl_Korvane_MyApp& g, float s) {
  g.m_ResetDraw();
  g.m_SetSize(kCreditsSize, kUnset);
  const Point at = creditsButtonPlace(s);
  if (g.m_Button(kImageTeamLogo, at.x, at.y, 0) != 0 && g.clickLatch == 0 && !boxOpen(g)) {
    g.clickLatch = 1;
    g.m_PlaySFX(kSfxCredits, 1, 1, 0);
    g.creditsOpen = 1;
  }
}

// The notice's text at the largest size, up to kNoticeTextSize, at which it
// fits between the left edge and the credits button: one line, or two where
// one would have to shrink too far (a portrait window).
String fitSaveNotice(vl_Korvane_MyApp& g, float room, float x, float y) {
  const String start(texts::kScoresNotSavedStart), end(texts::kScoresNotSavedEnd);
  const String oneLine = start + String(" ") + end;
  const String twoLines = start + String(texts::kLineBreak) + end;
  g.m_SetSize(kNoticeTextSize, kUnset);
  const Box box = TextBox(g, x, y, oneLine, 0, 1);
  const float fit = room / (box.right - box.left);
  if (fit >= 1 || room <= 0) return oneLine;
  if (fit >= kNoticeWrapBelow) {
    g.m_SetSize(kNoticeTextSize * fit, kUnset);
    return oneLine;
  }
  const Box wrapped = TextBox(g, x, y, twoLines, 0, 1);
  g.m_SetSize(kNoticeTextSize * std::min(1.0f, room / (wrapped.right - wrapped.left)), kUnset);
  return twoLines;
}

// While the last save failed, the bottom left corner says so (the host
// printed the file and the reason); the notice goes once a save succeeds. It
// shares the bottom edge with the credits button.
void drawSaveNotice(vl_Korvane_MyApp& g, float s) {
  if (g.saveFailed == 0 || boxOpen(g)) return;
  g.m_ResetDraw();
  const float x = kScreenMargin + kNoticePadding;
  const float y = vl_Korvane_jscrh - kScreenMargin - kNoticePadding;
  const float creditsLeft =
      creditsButtonPlace(s).x - kCreditsSize * g.hdDrawScale * static_cast<float>(g.imageInfo[3 * kImageTeamLogo]) / 2;
  const String notice = fitSaveNotice(g, creditsLeft - kScreenMargin - x, x, y);
  const Box box = TextBox(g, x, y, notice, 0, 1);
  const float size = g.drawSizeX;
  g.m_SetSize(1, kUnset);
  g.m_SetCol(0, 0, 0, 0.6f);
  g.m_Rect(box.left - kNoticePadding, box.top - kNoticePadding, box.right - box.left + 2 * kNoticePadding,
           box.bottom - box.top + 2 * kNoticePadding);
  g.m_SetSize(size, kUnset);
  g.m_SetCol(255, 120, 100, 1);
  WriteTextInside(g, x, y, notice, 0, 1);
  g.m_ResetDraw();
}

}  // namespace

int vl_Korvane_MyApp::m_Menu() {
  m_CLSMe(level);
  // Everything on the menu, the title art's circling gems and sparkles among
  // it, slides in; a player who asked the system for less motion gets the
  // menu at rest at once.
  if (menuSlide < 0) {
    menuSlide = vl_app_ReducedMotion() != 0 ? 0 : static_cast<int>(static_cast<float>(menuSlide) + 0.25f);
  }
  const float s = static_cast<float>(menuSlide);
  const ScoreColumn column = scoreColumn(*this, s);
  drawTitleArt(*this, s, column);
  runSoundSwitch(*this, s);
  drawScorePanel(*this, column);
  runDifficultyButtons(*this, s);
  runMenuKeys(*this);
  runCreditsButton(*this, s);
  drawSaveNotice(*this, s);
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
  m_Rect(0.12f * w, 0.22f * h, kCreditsInner * w, 0.56f * h);
  m_SetCol(255, 255, 255, 1);
  m_SetSize(creditsTextSize(*this, kCreditsInner * w), kUnset);
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
  const int table = difficulty - 1;
  insertPos = EnterScore(highScores, table, score);
  m_GC_PostScore(difficulty, highScores[kRowLength * table]);
  m_GC_Badges();
  unsavedScores.push_back({table, score});  // entered again by the save into what is on disk
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
