// The two bitmap fonts: the game's own text font "fonts/editundo" (one
// 16 x 16 cell per character, written with an advance of 7 and a line height
// of 10) and the host's default font "kiri_font.png".
#include "tools/assetgen/catalogue.h"

namespace assetgen {

namespace {

constexpr int kFirstChar = 32;
constexpr int kLastPrintable = 126;
// The game font: bold monospaced outlines sized so that a glyph with its dark
// edge fits the 7-unit advance, centred on the cell like the game expects.
constexpr float kGameCell = 16;
// Glyph size, extra weight and the dark edge that keeps white text readable on
// light backgrounds. At level 1 a glyph is only a few pixels across, so there
// the letters are larger and the edge thinner, leaning on a drop shadow.
struct GameFontStyle {
  float em, embolden, edge, shadowX, shadowY;
};
GameFontStyle gameFontStyle(int level) {
  if (level == 1) return {11.2f, 0.22f, 0.55f, 0.8f, 0.9f};
  return {10.6f, 0.18f, 0.95f, 0.35f, 0.7f};
}

// The default font: plain white monospaced letters in 8-unit cells, 13 units
// tall; a monospaced face keeps wide letters such as W inside the cell.
constexpr float kDefaultEm = 11.5f;
constexpr float kDefaultBaseline = 10.2f;
constexpr int kDefaultPitch = kDefaultFontGlyphWidth + 2;  // one-pixel gutter on each side

}  // namespace

void drawGameFontFrame(Canvas& c, int frame, const Fonts& fonts) {
  int code = frame + kFirstChar;
  if (code <= kFirstChar || code > kLastPrintable) return;  // space and control codes stay blank
  const Font& f = fonts.monoBold;
  GameFontStyle st = gameFontStyle(c.level());
  float advance = f.advance(code, st.em);
  Vec2 origin{kGameCell / 2 - advance / 2, kGameCell / 2 + f.capHeight() * st.em / 2};
  Outline g = f.glyph(code, st.em, origin);
  if (g.empty()) return;
  Box area = g.bounds().grown(st.edge + 2);
  DistanceGrid field(c, area, [&](Vec2 p) { return g.sd(p) - st.embolden; });
  // Shadow below, dark edge, then the white face with a faint fall-off toward
  // the bottom so that large text looks moulded rather than flat.
  fillSoft(
      c, area,
      [&](Vec2 p) {
    return field(p - Vec2{st.shadowX, st.shadowY}) - st.edge;
      },
      rgb(0, 0, 0, 0.55f), 0, 0.6f);
  fillSolid(
      c, area, [&](Vec2 p) { return field(p) - st.edge; }, rgb(16, 16, 28, 0.92f));
  float top = origin.y - f.capHeight() * st.em;
  fillShape(c, area, field, [&](Vec2 p, float) {
    return mix(rgb(255, 255, 255), rgb(214, 220, 232), clamp01((p.y - top) / (st.em * 0.95f)));
  });
}

Canvas renderDefaultFont(const Fonts& fonts) {
  Canvas strip(float(kDefaultFontFrames * kDefaultPitch), float(kDefaultFontHeight), 1);
  const Font& f = fonts.monoBold;
  for (int i = 0; i < kDefaultFontFrames; ++i) {
    int code = kFirstChar + i;
    if (code <= kFirstChar || code > kLastPrintable) continue;
    Canvas cell(float(kDefaultFontGlyphWidth), float(kDefaultFontHeight), 1);
    float advance = f.advance(code, kDefaultEm);
    Outline g = f.glyph(code, kDefaultEm, {kDefaultFontGlyphWidth / 2.0f - advance / 2, kDefaultBaseline});
    fillSolid(
        cell, g.bounds(), [&](Vec2 p) { return g.sd(p); }, rgb(255, 255, 255));
    strip.paste(cell, i * kDefaultPitch + 1, 0);
  }
  return strip;
}

}  // namespace assetgen
