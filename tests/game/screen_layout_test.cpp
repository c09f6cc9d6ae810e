// Every text and the title word inside the window, with a margin, on each
// screen a player sees at the window shapes players use (landscape, portrait,
// square, very tall, phones), and the high-score notice inside its box; at the
// phone shapes also nothing written over a control, the title word or a gem,
// and the pause panel's buttons whole. Read from the display list of a real
// game in a real window: each text record is one character cell (advance by
// line height at its size), an image record one frame of its image.
#include <gtest/gtest.h>
#include <stb/stb_image.h>

#include <algorithm>
#include <string>
#include <vector>

#include "game/modes.h"
#include "game/my_app.h"
#include "game/slots.h"
#include "host/replay_tap.h"
#include "tests/game/play_support.h"

namespace {

using gametest::Game;
using gametest::Step;
using korvane::kImageTitleLogo;
using korvane::kModeMenu;
using korvane::kModePlaying;

constexpr float kMinMargin = 2;     // virtual pixels between a cell and the edge
constexpr int kSettleUpdates = 40;  // the menu and the overlay have slid in by then
constexpr int kVisibleAlpha = 8;    // of 255: fainter pixels of the title art do not count

struct Shape {
  int width, height;
};
// Windows, then phones held upright and on their side.
const Shape kShapes[] = {{640, 480},  {480, 640}, {800, 600}, {1280, 720}, {1280, 960}, {630, 630},
                         {640, 1300}, {390, 844}, {360, 800}, {844, 390},  {800, 360}};

struct Cell {
  float left, top, right, bottom;
  float red = 0, green = 0, blue = 0;  // the record's colour
};

// The part of the title word's frame that holds visible pixels, as fractions
// of the frame (from the level-1 picture); the whole frame when unreadable.
Cell VisibleLogoPart() {
  Cell part{0, 0, 1, 1};
  int w = 0, h = 0, channels = 0;
  unsigned char* pixels = stbi_load(KORVANE_BUILD_DATA_DIR "/logo.png", &w, &h, &channels, 4);
  if (pixels == nullptr) return part;
  int left = w, top = h, right = -1, bottom = -1;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (pixels[(y * w + x) * 4 + 3] < kVisibleAlpha) continue;
      left = std::min(left, x);
      right = std::max(right, x + 1);
      top = std::min(top, y);
      bottom = std::max(bottom, y + 1);
    }
  }
  stbi_image_free(pixels);
  if (right < 0) return part;
  return {static_cast<float>(left) / w, static_cast<float>(top) / h, static_cast<float>(right) / w,
          static_cast<float>(bottom) / h};
}

// The box of each record of an image slot in the display list.
std::vector<Cell> Boxes(int slot, bool font) {
  const vl_Korvane_MyApp* g = Game();
  std::vector<Cell> boxes;
  for (int at = 0; at < g->drawLen; at += korvane::kRecordFloats) {
    const float* r = &g->drawList[at];
    if (r[0] != slot) continue;
    // A font record's size is the text size; its cell is the advance by the
    // line height. An image's frame is its stored size times the level scale.
    const float w = font ? g->imageInfo[3 * slot] * r[4] : g->imageInfo[3 * slot] * r[4] * g->hdDrawScale;
    const float h = font ? g->imageInfo[3 * slot + 1] * r[5] : g->imageInfo[3 * slot + 1] * r[5] * g->hdDrawScale;
    boxes.push_back({r[1] - w / 2, r[2] - h / 2, r[1] + w / 2, r[2] + h / 2, r[10], r[11], r[12]});
  }
  return boxes;
}

void ExpectInsideScreen(const char* screen) {
  const float w = vl_Korvane_jscrw, h = vl_Korvane_jscrh;
  for (bool font : {true, false}) {
    const int slot = font ? Game()->fontSlot : kImageTitleLogo;
    static const Cell logoPart = VisibleLogoPart();
    for (Cell c : Boxes(slot, font)) {
      if (!font) {  // the word within its frame, which is clear above and below it
        const float fw = c.right - c.left, fh = c.bottom - c.top;
        c = {c.left + fw * logoPart.left, c.top + fh * logoPart.top, c.left + fw * logoPart.right,
             c.top + fh * logoPart.bottom};
      }
      EXPECT_TRUE(c.left >= kMinMargin && c.top >= kMinMargin && c.right <= w - kMinMargin &&
                  c.bottom <= h - kMinMargin)
          << screen << (font ? ": a character" : ": the title word") << " at (" << c.left << ", " << c.top << ")-("
          << c.right << ", " << c.bottom << ") on a " << w << "x" << h << " screen";
    }
  }
}

// The high-score notice's box: the rectangle drawn in its colour.
bool NoticeBox(Cell* box) {
  const vl_Korvane_MyApp* g = Game();
  for (int at = 0; at < g->drawLen; at += korvane::kRecordFloats) {
    const float* r = &g->drawList[at];
    if (r[0] == korvane::kKindRect && r[10] == 0 && r[11] == 125 && r[12] == 255) {
      *box = {r[1], r[2], r[1] + r[4], r[2] + r[5]};
      return true;
    }
  }
  return false;
}

TEST(ScreenLayout, TextsAndTitleStayInsideTheWindowAtEveryShape) {
  for (const Shape& shape : kShapes) {
    SCOPED_TRACE(std::to_string(shape.width) + "x" + std::to_string(shape.height));
    if (!playtest::ReadyInMenu(shape.width, shape.height)) GTEST_SKIP() << "the build has no generated data folder";
    vl_Korvane_MyApp* g = Game();
    for (int i = 0; i < kSettleUpdates; ++i) Step();
    ASSERT_EQ(g->menuSlide, 0);
    ASSERT_EQ(Boxes(kImageTitleLogo, false).size(), 1u);
    ExpectInsideScreen("menu");

    g->creditsOpen = 1;
    Step();
    ExpectInsideScreen("credits box");
    g->creditsOpen = 0;

    playtest::StartGame(2);
    g->score = 2147483647;  // the widest total
    g->shownScore = g->score;
    g->roundScore = 99999;
    Step();
    ExpectInsideScreen("play");

    // Lost with a score that places first: the overlay with its notice.
    for (int i = 0; i < 10; ++i) g->highScores[10 + i] = 0;
    g->gameOverFlag = 1;
    for (int i = 0; i < kSettleUpdates; ++i) Step();
    ASSERT_EQ(g->mode, kModePlaying);
    ExpectInsideScreen("game over");
    Cell box{};
    ASSERT_TRUE(NoticeBox(&box));
    for (const Cell& c : Boxes(g->fontSlot, true)) {
      if (c.red != 100 || c.green != 255) continue;  // only the notice is written in this green
      EXPECT_TRUE(c.left >= box.left && c.right <= box.right && c.top >= box.top && c.bottom <= box.bottom)
          << "a character of the notice at (" << c.left << ", " << c.top << ") outside its box (" << box.left << ", "
          << box.top << ")-(" << box.right << ", " << box.bottom << ")";
    }
    for (int i = 0; i < 100 && g->mode != kModeMenu; ++i) Step();
  }
  ASSERT_TRUE(playtest::ReadyInMenu(640, 480));
}

}  // namespace

namespace {

bool Overlap(const Cell& a, const Cell& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// Text cells that overlap a record of the image slot, as "text vs image" lines.
int TextOverImage(int slot) {
  int n = 0;
  for (const Cell& text : Boxes(Game()->fontSlot, true)) {
    for (const Cell& image : Boxes(slot, false)) {
      if (!Overlap(text, image)) continue;
      ++n;
      ADD_FAILURE() << "a text cell (" << text.left << ", " << text.top << ")-(" << text.right << ", " << text.bottom
                    << ") over image " << slot << " (" << image.left << ", " << image.top << ")-(" << image.right
                    << ", " << image.bottom << ")";
    }
  }
  return n;
}

// The title word's visible part within a record's frame box.
Cell VisibleTitle(const Cell& frame) {
  static const Cell part = VisibleLogoPart();
  const float fw = frame.right - frame.left, fh = frame.bottom - frame.top;
  return {frame.left + fw * part.left, frame.top + fh * part.top, frame.left + fw * part.right,
          frame.top + fh * part.bottom};
}

// The world rank line (the menu's only white text), once an answer is in,
// written over no other text, button or icon, nor the title word.
void ExpectRankLineClear() {
  replay::SetRankSource([] { return std::string("World rank 12 of 3,400 (Normal)"); });
  for (int i = 0; i < 2; ++i) Step();
  std::vector<Cell> rank, others;
  for (const Cell& c : Boxes(Game()->fontSlot, true)) {
    (c.red == 255 && c.green == 255 && c.blue == 255 ? rank : others).push_back(c);
  }
  EXPECT_FALSE(rank.empty()) << "no world rank line";
  for (const int slot : {korvane::kImageButtons, korvane::kImageIcons, korvane::kImageTeamLogo}) {
    for (const Cell& image : Boxes(slot, false)) others.push_back(image);
  }
  for (const Cell& title : Boxes(korvane::kImageTitleLogo, false)) others.push_back(VisibleTitle(title));
  for (const Cell& r : rank) {
    for (const Cell& o : others) {
      EXPECT_FALSE(Overlap(r, o)) << "the rank line's cell (" << r.left << ", " << r.top << ") over (" << o.left << ", "
                                  << o.top << ")-(" << o.right << ", " << o.bottom << ")";
    }
  }
  replay::SetRankSource([] { return std::string(); });  // the line goes again
  Step();
  replay::SetRankSource(nullptr);
}

// At the phone shapes every control is whole and nothing is written over
// another: the menu's score lists beside the buttons and below the title
// word, the round line clear of the pause button, the total clear of the
// board, and the pause panel's buttons inside the screen.
TEST(ScreenLayout, PhoneShapesKeepControlsWholeAndApart) {
  const Shape phones[] = {{390, 844}, {360, 800}, {844, 390}, {800, 360}};
  for (const Shape& shape : phones) {
    SCOPED_TRACE(std::to_string(shape.width) + "x" + std::to_string(shape.height));
    if (!playtest::ReadyInMenu(shape.width, shape.height)) GTEST_SKIP() << "the build has no generated data folder";
    vl_Korvane_MyApp* g = Game();
    for (int i = 0; i < kSettleUpdates; ++i) Step();
    EXPECT_EQ(TextOverImage(korvane::kImageButtons), 0) << "a score over a difficulty button";
    EXPECT_EQ(TextOverImage(korvane::kImageTitleLogo), 0) << "a score over the title word";
    ExpectRankLineClear();

    playtest::StartGame(2);
    g->score = 2147483647;
    g->shownScore = g->score;
    g->roundScore = 99999;
    for (int i = 0; i < 400 && (g->moving == 1 || g->wasMoving == 1); ++i) Step();  // the board falls in
    Step();
    EXPECT_EQ(TextOverImage(korvane::kImageIcons), 0) << "the round line over the pause button";
    EXPECT_EQ(TextOverImage(1), 0) << "a text over a gem";

    g->pauseActive = 1;
    g->pauseState = 1;
    for (int i = 0; i < kSettleUpdates; ++i) Step();
    const float w = vl_Korvane_jscrw, h = vl_Korvane_jscrh;
    for (const Cell& c : Boxes(korvane::kImageIcons, false)) {
      EXPECT_TRUE(c.left >= 0 && c.top >= 0 && c.right <= w && c.bottom <= h)
          << "a pause panel button at (" << c.left << ", " << c.top << ")-(" << c.right << ", " << c.bottom << ") on a "
          << w << "x" << h << " screen";
    }
    g->pauseActive = 0;
    g->pauseState = -1;
    g->pauseSlide = -64;
    g->gameOverFlag = 1;
    for (int i = 0; i < 200 && g->mode != 1; ++i) Step();
  }
  ASSERT_TRUE(playtest::ReadyInMenu(640, 480));
}

}  // namespace
