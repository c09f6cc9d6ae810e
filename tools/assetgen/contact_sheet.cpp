#include "tools/assetgen/contact_sheet.h"

#include <cmath>
#include <map>
#include <string>

namespace assetgen {

namespace {

constexpr int kLevel = 2;       // sheets shown at the middle resolution
constexpr float kMargin = 24;   // design units round every item
constexpr float kLabelEm = 16;  // label text size
constexpr float kScreenW = 640, kScreenH = 480;

// A rendered sheet and where its frames lie.
struct RenderedSheet {
  const ImageSheet* layout;
  Canvas pixels;
  int frameW() const { return layout->frameWidth * kLevel; }
  int frameH() const { return layout->frameHeight * kLevel; }
  int columns() const { return sheetColumns(*layout); }
};

void checkerboard(Canvas& c, Box b) {
  fillShape(
      c, b,
      [&](Vec2 p) {
    return sdRoundBox(p, {(b.x0 + b.x1) / 2, (b.y0 + b.y1) / 2}, {(b.x1 - b.x0) / 2, (b.y1 - b.y0) / 2}, 0);
      },
      [](Vec2 p, float) {
    bool odd = (int(std::floor(p.x / 8)) + int(std::floor(p.y / 8))) & 1;
    return odd ? rgb(92, 92, 100) : rgb(70, 70, 78);
  });
}

void label(Canvas& c, const Fonts& fonts, const std::string& text, Vec2 at) {
  ShapeSet s = fonts.sansBold.text(text, kLabelEm, at);
  fillSolid(
      c, s.bounds(), [&](Vec2 p) { return s.sd(p); }, rgb(235, 235, 240));
}

// Draws one frame centred on `centre` (virtual pixels of a screen preview),
// scaled, turned and tinted the way the game's renderer does it.
void drawFrame(Canvas& dst, const RenderedSheet& sheet, int frame, Vec2 centre, float scale, Colour tintColour,
               float degrees = 0) {
  int fw = sheet.frameW(), fh = sheet.frameH();
  int rx = (frame % sheet.columns()) * fw, ry = (frame / sheet.columns()) * fh;
  // Preview pixels per source pixel: the level-2 frame shows at `scale` times
  // its level-1 size on a preview of `dst.level()` pixels per virtual pixel.
  float k = scale * dst.level() / kLevel;
  float half = 0.5f * std::sqrt(float(fw * fw + fh * fh)) * k / dst.level();
  int x0, y0, x1, y1;
  dst.pixelRange(boxAround(centre, half + 1), x0, y0, x1, y1);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      Vec2 p = dst.designPoint(x, y) - centre;
      Vec2 q = rotated(p, -degrees) * (float(dst.level()) / k);
      float s[4];
      sampleBilinear(sheet.pixels, rx + fw / 2.0f + q.x, ry + fh / 2.0f + q.y, {rx, ry, fw, fh}, s);
      if (s[3] <= 0) continue;
      Colour straight{s[0] / s[3] * tintColour.r, s[1] / s[3] * tintColour.g, s[2] / s[3] * tintColour.b, 1};
      dst.blend(x, y, straight, s[3] * tintColour.a);
    }
}

void rect(Canvas& c, Box b, Colour colour) {
  fillSolid(
      c, b,
      [&](Vec2 p) {
    return std::max({b.x0 - p.x, p.x - b.x1, b.y0 - p.y, p.y - b.y1});
      },
      colour);
}

void oval(Canvas& c, Vec2 centre, float rx, float ry, Colour colour) {
  fillSolid(
      c, boxAround(centre, std::max(rx, ry) + 1),
      [&](Vec2 p) {
    return sdEllipse(p, centre, {rx, ry});
      },
      colour);
}

// The game's text writer: frame (code - 32) of the font per character,
// advancing 7 virtual pixels, centred on the pen; alignment as in the game.
void text(Canvas& c, const RenderedSheet& font, const std::string& s, Vec2 at, float size, float alignX, float alignY,
          Colour colour) {
  const float advance = 7, lineHeight = 10;
  float total = advance * size * (float(s.size()) - 1);
  Vec2 start{at.x - total * alignX / 2, at.y + lineHeight * size * (1 - alignY) / 2};
  Vec2 pen = start;
  int line = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 'n') {
      pen = start + Vec2{0, lineHeight * size * ++line};
      ++i;
      continue;
    }
    int code = (unsigned char)s[i];
    if (code > 32) drawFrame(c, font, code - 32, pen, size, colour);
    pen.x += advance * size;
  }
}

Canvas titlePreview(const std::map<std::string, RenderedSheet>& sheets) {
  Canvas c(kScreenW, kScreenH, kLevel);
  const float W = kScreenW, H = kScreenH;
  rect(c, {0, 0, W, H}, rgb(100, 160, 240));
  Colour white = rgb(255, 255, 255);
  const RenderedSheet& menu = sheets.at("menu");
  drawFrame(c, menu, 0, {W / 2, H / 2}, 3, withAlpha(white, 0.75f));
  drawFrame(c, menu, 2, {0.4f * W, H / 2}, 2, white);
  drawFrame(c, menu, 1, {W / 2, H / 2}, 3, white);
  drawFrame(c, sheets.at("logo"), 0, {0.4f * W, 0.2f * H}, 1.5f, white);
  rect(c, {W - 140, 0, W, H}, rgb(0, 0, 0, 0.4f));
  drawFrame(c, sheets.at("common/icons"), 4, {32, H / 2}, 2, rgb(50, 250, 50));
  const RenderedSheet& font = sheets.at("fonts/editundo");
  std::string best = "Top 10", last = "Last 10";
  for (int i = 0; i < 10; ++i) {
    best += "\\n" + std::string(11 - std::to_string(1200 - i * 97).size(), ' ') + std::to_string(1200 - i * 97);
    last += "\\n" + std::string(10, ' ') + std::to_string(i * 3 % 10);
  }
  text(c, font, best, {W - 120, 60}, 1.5f, 0, 0, rgb(255, 200, 100));
  text(c, font, last, {W - 120, H / 2 + 20}, 1.5f, 0, 0, rgb(200, 255, 100));
  const RenderedSheet& buttons = sheets.at("common/Buttons");
  for (int n = 0; n < 3; ++n) drawFrame(c, buttons, n, {0.2f * W * (n + 1), 0.7f * H}, 1.5f, white);
  drawFrame(c, buttons, 15, {0.4f * W, 0.7f * H}, 1.5f, withAlpha(white, 0.75f));
  drawFrame(c, sheets.at("common/ZEVOLogo"), 0, {W - 70, H - 40}, 0.5f, white);
  return c;
}

Canvas loadingPreview(const std::map<std::string, RenderedSheet>& sheets) {
  Canvas c(kScreenW, kScreenH, kLevel);
  const float W = kScreenW, H = kScreenH, m = H;
  rect(c, {0, 0, W, H}, rgb(40, 40, 80));
  for (int k = 0; k <= 10; ++k) {
    float a = toRadians(160 + 16 * k + 180);
    oval(c, {W / 2 + std::sin(a) * m / 4, H / 2 - std::cos(a) * m / 4}, 8, 8, rgb(250, 250, 250, k / 10.0f));
  }
  oval(c, {W / 2, H / 2}, 0.3f * m, 0.3f * m, rgb(255, 255, 0, 0.8f));
  rect(c, {0, 0.4f * H, W, 0.6f * H}, rgb(250, 160, 60, 0.7f));
  drawFrame(c, sheets.at("common/ZEVOLogo"), 0, {W / 2, 0.48f * H}, 1, rgb(255, 255, 255));
  for (int k = 0; k <= 10; ++k) {
    float a = toRadians(160 + 16 * k);
    oval(c, {W / 2 + std::sin(a) * m / 4, H / 2 - std::cos(a) * m / 4}, 8, 8, rgb(50, 50, 50, k / 10.0f));
  }
  return c;
}

Canvas playPreview(const std::map<std::string, RenderedSheet>& sheets, bool paused) {
  Canvas c(kScreenW, kScreenH, kLevel);
  const float W = kScreenW, H = kScreenH;
  rect(c, {0, 0, W, H}, paused ? rgb(240, 240, 100) : rgb(100, 240, 160));
  float E = std::min(W / 10, H / 8) / 32, S = 32 * E;
  float bx = W / 2 - 16 * 9 * E, by = H / 2 - 16 * 4 * E;
  const RenderedSheet& gems = sheets.at("gems");
  const Colour white = rgb(255, 255, 255);
  for (int col = 0; col < 10; ++col)
    for (int row = 0; row < 6; ++row) {
      int kind = (col * 7 + row * 3 + col * row) % 5;
      bool inPath = paused ? false : (row == 2 && col >= 3 && col <= 5);
      bool marked = !paused && row == 4 && col <= 2;
      Vec2 at{bx + S * col, by + S * row};
      if (inPath) kind = 1;
      if (marked) kind = 3;
      drawFrame(c, gems, kind, at, E, withAlpha(white, inPath ? 1.0f : 0.9f), marked ? 180.0f : inPath ? 60.0f : 0.0f);
      if (marked) {
        oval(c, at, 20 * E, 20 * E, rgb(0, 105, 0, 0.25f));
        fillSolid(
            c, boxAround(at, 20 * E), [&](Vec2 p) { return sdRing(p, at, 18 * E, 0.5f); }, rgb(100, 255, 100, 0.5f));
      }
    }
  for (int i = 0; i < 8; ++i)
    drawFrame(c, gems, i % 5, {420.0f + 30 * std::cos(i * 0.8f), 60.0f + 20 * std::sin(i * 1.3f)}, E * 0.5f,
              withAlpha(white, 0.8f), 45.0f * i);
  rect(c, {32, 4, 32 + (W - 64) * 0.6f, 28}, rgb(63, 63, 31, 0.85f));
  rect(c, {32, 28, 32 + (W - 64) * 0.4f, 52}, rgb(0, 80, 0, 0.85f));
  const RenderedSheet& font = sheets.at("fonts/editundo");
  text(c, font, "00012 : 00020", {W / 2, 24}, 2, 1, 1.4f, white);
  text(c, font, " 2 x 6", {W / 2, 48}, 2, 0.8f, 1.4f, white);
  text(c, font, "00000001234", {W, H - 4}, 2, 2, 1.8f, white);
  const RenderedSheet& icons = sheets.at("common/icons");
  drawFrame(c, icons, 0, {16, 16}, 1, white);
  if (paused) {
    float y = H / 2;
    rect(c, {0, 0, W, H}, rgb(0, 0, 0, y / (0.8f * H)));
    rect(c, {W / 2 - 128, y - 64, W / 2 + 128, y - 56}, rgb(255, 255, 10, 0.6f));
    rect(c, {W / 2 - 140, y - 52, W / 2 + 140, y + 52}, rgb(255, 150, 10, 0.7f));
    rect(c, {W / 2 - 128, y + 56, W / 2 + 128, y + 64}, rgb(10, 150, 255, 0.6f));
    drawFrame(c, icons, 3, {W / 2, y}, 2, rgb(50, 50, 250));
    drawFrame(c, icons, 6, {W / 2, y}, 2.5f, rgb(255, 255, 100));
    drawFrame(c, icons, 1, {W / 2 - 140, y - 64}, 2, rgb(255, 50, 50));
    drawFrame(c, icons, 4, {W / 2 + 140, y - 64}, 2, rgb(50, 250, 50));
    drawFrame(c, icons, 8, {W / 2 + 160, y - 64}, 1.5f, rgb(180, 255, 255));
    text(c, font, "GAME", {0.35f * W, 0.3f * H}, 4, 1, 1, rgb(255, 180, 180));
    text(c, font, "OVER", {0.65f * W, 0.7f * H}, 4, 1, 1, rgb(255, 180, 180));
    text(c, font, "New Highscore\\n           1st!", {W / 2, H - 60}, 2, 0.5f, 2, rgb(100, 255, 100));
  }
  return c;
}

}  // namespace

Canvas contactSheet(const Fonts& fonts) {
  std::map<std::string, RenderedSheet> sheets;
  float width = 0, height = kMargin;
  for (const ImageSheet& layout : imageSheets()) {
    RenderedSheet s{&layout, renderSheet(layout, kLevel, fonts)};
    width = std::max(width, float(s.pixels.width()));
    height += kLabelEm * 1.5f + float(s.pixels.height()) + kMargin;
    sheets.emplace(layout.name, std::move(s));
  }
  Canvas kiri = renderDefaultFont(fonts);
  height += kLabelEm * 1.5f + kiri.height() * 2.0f + kMargin;
  float previewW = kScreenW * 2 + kMargin;
  width = std::max(width, previewW) + 2 * kMargin;
  height += (kLabelEm * 1.5f + kScreenH + kMargin) * 2;

  Canvas sheet(width, height, 1);
  rect(sheet, {0, 0, width, height}, rgb(36, 36, 42));
  float y = kMargin;
  auto place = [&](const std::string& title, const Canvas& pic, float picScale) {
    label(sheet, fonts, title, {kMargin, y + kLabelEm});
    y += kLabelEm * 1.5f;
    float w = pic.width() * picScale, h = pic.height() * picScale;
    checkerboard(sheet, {kMargin, y, kMargin + w, y + h});
    sheet.compositeOver(enlargedNearest(pic, picScale), int(kMargin), int(y), 1);
    y += h + kMargin;
  };
  for (const ImageSheet& layout : imageSheets())
    place(sheetFileName(layout, kLevel) + "  (" + std::to_string(layout.frames) + " frames of " +
              std::to_string(layout.frameWidth * kLevel) + " x " + std::to_string(layout.frameHeight * kLevel) + ")",
          sheets.at(layout.name).pixels, 1);
  place("kiri_font.png (shown twice its size)", kiri, 2);

  Canvas previews[4] = {titlePreview(sheets), loadingPreview(sheets), playPreview(sheets, false),
                        playPreview(sheets, true)};
  const char* titles[4] = {"title menu preview (640 x 480)", "loading screen preview", "play field preview",
                           "pause panel and game over preview"};
  for (int i = 0; i < 4; ++i) {
    float x = kMargin + (i % 2) * (kScreenW + kMargin);
    float top = y + (i / 2) * (kLabelEm * 1.5f + kScreenH + kMargin);
    label(sheet, fonts, titles[i], {x, top + kLabelEm});
    // Previews are drawn at two pixels per virtual pixel; show them halved.
    sheet.compositeOver(halved(previews[i]), int(x), int(top + kLabelEm * 1.5f), 1);
  }
  return sheet;
}

}  // namespace assetgen
