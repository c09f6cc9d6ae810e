#include "tools/assetgen/canvas.h"

#include <cmath>

namespace assetgen {

Canvas::Canvas(float designWidth, float designHeight, int level)
    : width_(int(std::lround(designWidth * level))),
      height_(int(std::lround(designHeight * level))),
      level_(level),
      data_(size_t(width_) * height_ * 4, 0.0f) {}

void Canvas::blend(int x, int y, Colour c, float coverage) {
  float a = clamp01(c.a * coverage);
  if (a <= 0) return;
  float* p = &data_[(size_t(y) * width_ + x) * 4];
  float keep = 1.0f - a;
  p[0] = clamp01(c.r) * a + p[0] * keep;
  p[1] = clamp01(c.g) * a + p[1] * keep;
  p[2] = clamp01(c.b) * a + p[2] * keep;
  p[3] = a + p[3] * keep;
}

void Canvas::erase(int x, int y, float amount) {
  float* p = &data_[(size_t(y) * width_ + x) * 4];
  float keep = 1.0f - clamp01(amount);
  for (int i = 0; i < 4; ++i) p[i] *= keep;
}

template <class Op>
void Canvas::forEachOverlap(const Canvas& src, int dx, int dy, Op op) {
  for (int y = 0; y < src.height_; ++y) {
    int ty = y + dy;
    if (ty < 0 || ty >= height_) continue;
    for (int x = 0; x < src.width_; ++x) {
      int tx = x + dx;
      if (tx < 0 || tx >= width_) continue;
      op(src.pixel(x, y), &data_[(size_t(ty) * width_ + tx) * 4]);
    }
  }
}

void Canvas::paste(const Canvas& src, int dx, int dy) {
  forEachOverlap(src, dx, dy, [](const float* s, float* d) {
    for (int i = 0; i < 4; ++i) d[i] = s[i];
  });
}

void Canvas::compositeOver(const Canvas& src, int dx, int dy, float alpha) {
  forEachOverlap(src, dx, dy, [alpha](const float* s, float* d) {
    float keep = 1.0f - s[3] * alpha;
    for (int i = 0; i < 4; ++i) d[i] = s[i] * alpha + d[i] * keep;
  });
}

std::vector<uint8_t> Canvas::toRgba8() const {
  std::vector<uint8_t> out(size_t(width_) * height_ * 4, 0);
  for (size_t i = 0; i < size_t(width_) * height_; ++i) {
    const float* p = &data_[i * 4];
    float a = clamp01(p[3]);
    uint8_t a8 = uint8_t(std::lround(a * 255.0f));
    // Fully transparent pixels keep colour 0: they compress well and the
    // loader premultiplies them away anyway.
    if (a8 == 0) continue;
    for (int k = 0; k < 3; ++k) out[i * 4 + k] = uint8_t(std::lround(clamp01(p[k] / a) * 255.0f));
    out[i * 4 + 3] = a8;
  }
  return out;
}

void Canvas::pixelRange(Box b, int& x0, int& y0, int& x1, int& y1) const {
  x0 = std::max(0, int(std::floor(b.x0 * level_)));
  y0 = std::max(0, int(std::floor(b.y0 * level_)));
  x1 = std::min(width_, int(std::ceil(b.x1 * level_)));
  y1 = std::min(height_, int(std::ceil(b.y1 * level_)));
}

void sampleBilinear(const Canvas& src, float x, float y, PixelRect region, float out[4]) {
  x -= 0.5f;
  y -= 0.5f;
  int ix = int(std::floor(x)), iy = int(std::floor(y));
  float fx = x - ix, fy = y - iy;
  for (int k = 0; k < 4; ++k) out[k] = 0;
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 2; ++i) {
      int px = ix + i, py = iy + j;
      if (px < region.x || py < region.y || px >= region.x + region.w || py >= region.y + region.h) continue;
      float w = (i ? fx : 1 - fx) * (j ? fy : 1 - fy);
      const float* s = src.pixel(px, py);
      for (int k = 0; k < 4; ++k) out[k] += s[k] * w;
    }
}

Canvas enlargedNearest(const Canvas& src, float scale) {
  float w = src.width() * scale, h = src.height() * scale;
  Canvas out(w, h, 1);
  if (scale == 1) {
    out.paste(src, 0, 0);
    return out;
  }
  for (int y = 0; y < int(h); ++y)
    for (int x = 0; x < int(w); ++x) {
      const float* s = src.pixel(int(x / scale), int(y / scale));
      if (s[3] > 0) out.blend(x, y, {s[0] / s[3], s[1] / s[3], s[2] / s[3], 1}, s[3]);
    }
  return out;
}

Canvas halved(const Canvas& src) {
  const int w = src.width() / 2, h = src.height() / 2;
  Canvas out(float(w), float(h), 1);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      float mean[4] = {0, 0, 0, 0};
      for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 2; ++i) {
          const float* s = src.pixel(x * 2 + i, y * 2 + j);
          for (int k = 0; k < 4; ++k) mean[k] += s[k] * 0.25f;
        }
      if (mean[3] > 0) out.blend(x, y, {mean[0] / mean[3], mean[1] / mean[3], mean[2] / mean[3], 1}, mean[3]);
    }
  return out;
}

float DistanceGrid::operator()(Vec2 p) const {
  float gx = p.x * level_ - 0.5f - x0_, gy = p.y * level_ - 0.5f - y0_;
  float cx = std::min(std::max(gx, 0.0f), float(w_ - 1)), cy = std::min(std::max(gy, 0.0f), float(h_ - 1));
  float outside = std::sqrt((gx - cx) * (gx - cx) + (gy - cy) * (gy - cy)) / level_;
  int ix = std::min(int(cx), w_ - 2), iy = std::min(int(cy), h_ - 2);
  float fx = cx - ix, fy = cy - iy;
  const float* row0 = &values_[size_t(iy) * w_ + ix];
  const float* row1 = row0 + w_;
  float top = row0[0] + (row0[1] - row0[0]) * fx;
  float bottom = row1[0] + (row1[1] - row1[0]) * fx;
  return top + (bottom - top) * fy + outside;
}

}  // namespace assetgen
