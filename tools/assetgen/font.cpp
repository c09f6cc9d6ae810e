#include "tools/assetgen/font.h"

#include <stb/stb_truetype.h>

#include <fstream>
#include <iterator>

namespace assetgen {

namespace {

// Line pieces per curve: enough that the flattening error stays below a tenth
// of a pixel for glyphs up to 100 pixels tall.
constexpr int kQuadSteps = 10;
constexpr int kCubicSteps = 14;

}  // namespace

struct Font::Impl {
  std::vector<unsigned char> data;
  stbtt_fontinfo info{};
  float unitsPerEm = 2048;
};

Font::Font(const std::string& path) : impl_(new Impl) {
  std::ifstream in(path, std::ios::binary);
  impl_->data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (impl_->data.empty()) return;
  int offset = stbtt_GetFontOffsetForIndex(impl_->data.data(), 0);
  if (offset < 0 || !stbtt_InitFont(&impl_->info, impl_->data.data(), offset)) return;
  impl_->unitsPerEm = 1.0f / stbtt_ScaleForMappingEmToPixels(&impl_->info, 1.0f);
  int x0, y0, x1, y1;
  if (stbtt_GetCodepointBox(&impl_->info, 'H', &x0, &y0, &x1, &y1)) capHeight_ = y1 / impl_->unitsPerEm;
  ok_ = true;
}

Font::~Font() { delete impl_; }

Outline Font::glyph(int codepoint, float emSize, Vec2 origin) const {
  Outline out;
  if (!ok_) return out;
  stbtt_vertex* v = nullptr;
  int n = stbtt_GetCodepointShape(&impl_->info, codepoint, &v);
  float k = emSize / impl_->unitsPerEm;
  auto at = [&](float x, float y) { return Vec2{origin.x + x * k, origin.y - y * k}; };
  std::vector<Vec2> contour;
  Vec2 pen;
  for (int i = 0; i < n; ++i) {
    const stbtt_vertex& s = v[i];
    Vec2 to = at(s.x, s.y);
    if (s.type == STBTT_vmove) {
      if (contour.size() > 2) out.add(contour);
      contour.clear();
      contour.push_back(to);
    } else if (s.type == STBTT_vline) {
      contour.push_back(to);
    } else if (s.type == STBTT_vcurve) {
      Vec2 c = at(s.cx, s.cy);
      for (int j = 1; j <= kQuadSteps; ++j) {
        float t = float(j) / kQuadSteps, u = 1 - t;
        contour.push_back(pen * (u * u) + c * (2 * u * t) + to * (t * t));
      }
    } else if (s.type == STBTT_vcubic) {
      Vec2 c1 = at(s.cx, s.cy), c2 = at(s.cx1, s.cy1);
      for (int j = 1; j <= kCubicSteps; ++j) {
        float t = float(j) / kCubicSteps, u = 1 - t;
        contour.push_back(pen * (u * u * u) + c1 * (3 * u * u * t) + c2 * (3 * u * t * t) + to * (t * t * t));
      }
    }
    pen = to;
  }
  if (contour.size() > 2) out.add(contour);
  stbtt_FreeShape(&impl_->info, v);
  return out;
}

float Font::advance(int codepoint, float emSize) const {
  if (!ok_) return 0;
  int adv = 0, lsb = 0;
  stbtt_GetCodepointHMetrics(&impl_->info, codepoint, &adv, &lsb);
  return adv * emSize / impl_->unitsPerEm;
}

ShapeSet Font::text(const std::string& s, float emSize, Vec2 origin, float tracking) const {
  ShapeSet set;
  Vec2 pen = origin;
  for (size_t i = 0; i < s.size(); ++i) {
    int cp = (unsigned char)s[i];
    set.add(glyph(cp, emSize, pen));
    pen.x += advance(cp, emSize) + tracking;
    if (i + 1 < s.size())
      pen.x += stbtt_GetCodepointKernAdvance(&impl_->info, cp, (unsigned char)s[i + 1]) * emSize / impl_->unitsPerEm;
  }
  return set;
}

float Font::textWidth(const std::string& s, float emSize, float tracking) const {
  float w = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    int cp = (unsigned char)s[i];
    w += advance(cp, emSize) + (i + 1 < s.size() ? tracking : 0);
    if (i + 1 < s.size())
      w += stbtt_GetCodepointKernAdvance(&impl_->info, cp, (unsigned char)s[i + 1]) * emSize / impl_->unitsPerEm;
  }
  return w;
}

ShapeSet Font::centredText(const std::string& s, float emSize, Vec2 centre, float tracking) const {
  float w = textWidth(s, emSize, tracking);
  return text(s, emSize, {centre.x - w / 2, centre.y + capHeight_ * emSize / 2}, tracking);
}

}  // namespace assetgen
