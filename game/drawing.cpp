// Drawing, text and button helpers of the game object: the display list and
// its draw state, the background colours, the bitmap-font writer, and the
// pointer hit tests of buttons and gems. Nothing here touches the graphics
// device: drawing appends records that the render pass replays.
#include <cmath>

#include "game/my_app.h"

using namespace korvane;

namespace {

constexpr int kTouchPoints = 10;
constexpr float kDegToRad = 0.0174532924f;
constexpr int kFontFirstCode = 33;  // codes below only move the pen
constexpr int kFontLastCode = 159;
constexpr int kFontCodeOffset = 32;  // frame n shows code n + 32
constexpr int kBackslashFrame = '\\' - kFontCodeOffset;

struct Colour {
  float r, g, b;
};
constexpr Colour kBackgrounds[] = {
    {180, 180, 180},  // any other kind
    {100, 160, 240}, {100, 240, 160}, {240, 160, 100}, {240, 100, 160},
    {240, 240, 100}, {100, 240, 240}, {240, 100, 100}, {240, 100, 240},
};

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
  const float dx = -uy, dy = ux;                           // down direction
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
