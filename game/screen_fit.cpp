// Boxes of texts and images on the virtual screen, and the moves that keep
// them inside it.
#include "game/screen_fit.h"

#include <algorithm>

namespace korvane {

namespace {

// The text writer's line break: a backslash followed by the letter n.
bool lineBreakAt(const String& text, int i) { return text[i] == '\\' && i + 1 < text.Length() && text[i + 1] == 'n'; }

// Characters in the longest line and the number of lines, counted as m_Text
// counts them.
void measureLines(const String& text, int& longest, int& lines) {
  longest = 0;
  lines = 1;
  int current = 0;
  for (int i = 0; i < text.Length(); ++i) {
    if (lineBreakAt(text, i)) {
      longest = std::max(longest, current);
      current = 0;
      ++lines;
      ++i;
      continue;
    }
    ++current;
  }
  longest = std::max(longest, current);
}

float shiftInto(float low, float high, float room) {
  if (low < kScreenMargin) return kScreenMargin - low;
  if (high > room - kScreenMargin) return std::max(room - kScreenMargin - high, kScreenMargin - low);
  return 0;
}

}  // namespace

Box TextBox(const vl_Korvane_MyApp& g, float x, float y, const String& text, float alignX, float alignY) {
  const int info = 3 * g.fontSlot;
  const float advance = static_cast<float>(g.imageInfo[info]) * g.drawSizeX;
  const float lineHeight = static_cast<float>(g.imageInfo[info + 1]) * g.drawSizeY;
  int longest = 0, lines = 1;
  measureLines(text, longest, lines);
  // The first character's centre, as m_Text places it (total advance over
  // every character of the text, line breaks included).
  const float total = advance * static_cast<float>(text.Length() - 1);
  const float firstX = x - total * alignX / 2;
  const float firstY = y + lineHeight * (1 - alignY) / 2;
  return {firstX - advance / 2, firstY - lineHeight / 2, firstX + advance * (static_cast<float>(longest) - 0.5f),
          firstY + lineHeight * (static_cast<float>(lines) - 0.5f)};
}

void ShiftInside(const Box& box, float& dx, float& dy) {
  dx = shiftInto(box.left, box.right, vl_Korvane_jscrw);
  dy = shiftInto(box.top, box.bottom, vl_Korvane_jscrh);
}

Box WriteTextInside(vl_Korvane_MyApp& g, float x, float y, const String& text, float alignX, float alignY) {
  Box box = TextBox(g, x, y, text, alignX, alignY);
  float dx = 0, dy = 0;
  ShiftInside(box, dx, dy);
  g.m_Text(x + dx, y + dy, text, alignX, alignY);
  return {box.left + dx, box.top + dy, box.right + dx, box.bottom + dy};
}

float HalfImageWidth(const vl_Korvane_MyApp& g, int slot, float size) {
  return 0.5f * size * g.hdDrawScale * static_cast<float>(g.imageInfo[3 * slot]);
}

void FitImageAcross(const vl_Korvane_MyApp& g, int slot, float& x, float& size) {
  const float frameWidth = g.hdDrawScale * static_cast<float>(g.imageInfo[3 * slot]);
  if (frameWidth <= 0) return;
  const float room = vl_Korvane_jscrw - 2 * kScreenMargin;
  size = std::min(size, room / frameWidth);
  const float half = frameWidth * size / 2;
  x = std::min(std::max(x, kScreenMargin + half), vl_Korvane_jscrw - kScreenMargin - half);
}

}  // namespace korvane
