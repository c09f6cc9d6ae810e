// A floating-point RGBA canvas for drawing the game's images natively at each
// resolution. Drawing code works in design units (pixels at resolution level
// 1); a canvas of level L has L x L pixels per design unit, so the same drawing
// call yields a sharp picture at every level instead of an enlarged one.
// Pixels are stored premultiplied; shapes are filled from signed distance
// functions (anti-aliased over exactly one pixel) with a shader that chooses the
// colour at each point. Depends on geometry.h only.
// Invariant: every stored channel stays within 0..1 and colour <= alpha.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/assetgen/geometry.h"

namespace assetgen {

// Straight (not premultiplied) colour, channels 0..1.
struct Colour {
  float r = 0, g = 0, b = 0, a = 0;
};

inline Colour rgb(int r, int g, int b, float a = 1.0f) { return {r / 255.0f, g / 255.0f, b / 255.0f, a}; }
inline Colour withAlpha(Colour c, float a) { return {c.r, c.g, c.b, a}; }
inline Colour mix(Colour a, Colour b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}
// Multiplies the colour channels (not alpha) by k, clamped to 0..1.
inline Colour shade(Colour c, float k) { return {clamp01(c.r * k), clamp01(c.g * k), clamp01(c.b * k), c.a}; }
// Moves the colour toward white by t.
inline Colour tint(Colour c, float t) { return mix(c, {1, 1, 1, c.a}, t); }

class Canvas {
 public:
  Canvas(float designWidth, float designHeight, int level);

  int width() const { return width_; }
  int height() const { return height_; }
  int level() const { return level_; }
  float designWidth() const { return float(width_) / level_; }
  float designHeight() const { return float(height_) / level_; }

  // Source-over of a straight colour with an extra coverage factor.
  void blend(int x, int y, Colour c, float coverage);
  // Removes coverage x strength of what is there (destination-out).
  void erase(int x, int y, float amount);
  // Copies `src` pixel for pixel with its top-left at (dx, dy) pixels.
  void paste(const Canvas& src, int dx, int dy);
  // Composites `src` over this canvas at (dx, dy) pixels.
  void compositeOver(const Canvas& src, int dx, int dy, float alpha);
  // Premultiplied pixel (r, g, b, a) at (x, y).
  const float* pixel(int x, int y) const { return &data_[(size_t(y) * width_ + x) * 4]; }
  // 8-bit straight RGBA, rows top to bottom, as written to image files.
  std::vector<uint8_t> toRgba8() const;

  // Centre of pixel (x, y) in design units.
  Vec2 designPoint(int x, int y) const { return {(x + 0.5f) / level_, (y + 0.5f) / level_}; }
  // The pixel range covering a design box, clipped to the canvas.
  void pixelRange(Box b, int& x0, int& y0, int& x1, int& y1) const;

 private:
  // Calls op(source pixel, this canvas's pixel) for each pixel of `src` that
  // lands inside this canvas when its top-left is at (dx, dy).
  template <class Op>
  void forEachOverlap(const Canvas& src, int dx, int dy, Op op);

  int width_, height_, level_;
  std::vector<float> data_;
};

// A rectangle of pixels: left, top, width, height.
struct PixelRect {
  int x, y, w, h;
};

// Bilinear sample of `src`'s premultiplied pixels at pixel coordinates (x, y),
// reading only pixels inside `region`: what lies outside is transparent, so a
// frame of a sheet never bleeds in its neighbours.
void sampleBilinear(const Canvas& src, float x, float y, PixelRect region, float out[4]);
// `src` enlarged `scale` times, each pixel repeated (nearest neighbour), so
// small pixel art stays sharp; scale 1 gives an exact copy.
Canvas enlargedNearest(const Canvas& src, float scale);
// `src` at half its width and height, each pixel the mean of a 2 x 2 block.
Canvas halved(const Canvas& src);

// Fills the shape `sdf` (design units) within `area`: each pixel is covered by
// the part of its width inside the edge; `shader(p, d)` gives the straight
// colour at design point p where the shape's distance is d.
template <class Sdf, class Shader>
void fillShape(Canvas& c, Box area, const Sdf& sdf, const Shader& shader) {
  int x0, y0, x1, y1;
  c.pixelRange(area.grown(1.0f), x0, y0, x1, y1);
  float level = float(c.level());
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      Vec2 p = c.designPoint(x, y);
      float d = sdf(p);
      float cover = clamp01(0.5f - d * level);
      if (cover <= 0) continue;
      c.blend(x, y, shader(p, d), cover);
    }
}

// Like fillShape with one colour.
template <class Sdf>
void fillSolid(Canvas& c, Box area, const Sdf& sdf, Colour colour) {
  fillShape(c, area, sdf, [colour](Vec2, float) { return colour; });
}

// A soft-edged fill: full strength `inside` units inside the edge, fading to
// nothing `outside` units beyond it. For shadows and glows.
template <class Sdf>
void fillSoft(Canvas& c, Box area, const Sdf& sdf, Colour colour, float inside, float outside) {
  int x0, y0, x1, y1;
  c.pixelRange(area.grown(outside + 1.0f), x0, y0, x1, y1);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      float d = sdf(c.designPoint(x, y));
      float k = smoothstep(outside, -inside, d);
      if (k > 0) c.blend(x, y, colour, k);
    }
}

// Cuts the shape out of what is already drawn, anti-aliased.
template <class Sdf>
void eraseShape(Canvas& c, Box area, const Sdf& sdf) {
  int x0, y0, x1, y1;
  c.pixelRange(area.grown(1.0f), x0, y0, x1, y1);
  float level = float(c.level());
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      float cover = clamp01(0.5f - sdf(c.designPoint(x, y)) * level);
      if (cover > 0) c.erase(x, y, cover);
    }
}

// Paints `colourAt(p)` (straight colour with alpha) averaged over n x n samples
// per pixel: for pictures made of many touching pieces, such as gem facets,
// whose shared edges must not show seams.
template <class Fn>
void paintSupersampled(Canvas& c, Box area, int n, const Fn& colourAt) {
  int x0, y0, x1, y1;
  c.pixelRange(area.grown(1.0f), x0, y0, x1, y1);
  float step = 1.0f / (n * c.level());
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      float r = 0, g = 0, b = 0, a = 0;
      for (int sy = 0; sy < n; ++sy)
        for (int sx = 0; sx < n; ++sx) {
          Vec2 p{(x + 0.0f) / c.level() + (sx + 0.5f) * step, (y + 0.0f) / c.level() + (sy + 0.5f) * step};
          Colour s = colourAt(p);
          r += s.r * s.a;
          g += s.g * s.a;
          b += s.b * s.a;
          a += s.a;
        }
      if (a <= 0) continue;
      c.blend(x, y, {r / a, g / a, b / a, 1.0f}, a / (n * n));
    }
}

// A distance field sampled once at the pixel centres of a canvas area and
// read back with bilinear interpolation: for shapes with many edges (glyphs,
// the logo) that are filled, outlined, shadowed and lit in several passes.
// Outside the sampled area it returns the nearest sample plus the distance to
// the area, which keeps far points far.
class DistanceGrid {
 public:
  template <class Sdf>
  DistanceGrid(const Canvas& c, Box area, Sdf sdf) : level_(float(c.level())) {
    x0_ = int(std::floor(area.x0 * level_));
    y0_ = int(std::floor(area.y0 * level_));
    w_ = std::max(2, int(std::ceil(area.x1 * level_)) - x0_);
    h_ = std::max(2, int(std::ceil(area.y1 * level_)) - y0_);
    values_.resize(size_t(w_) * h_);
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x)
        values_[size_t(y) * w_ + x] = sdf(Vec2{(x0_ + x + 0.5f) / level_, (y0_ + y + 0.5f) / level_});
  }
  float operator()(Vec2 p) const;

 private:
  float level_;
  int x0_, y0_, w_, h_;
  std::vector<float> values_;
};

// Surface normal of an embossed shape at p, from the distance field: points
// outward across the edge; zero where the field is flat.
template <class Sdf>
Vec2 edgeNormal(const Sdf& sdf, Vec2 p, float eps) {
  float dx = sdf({p.x + eps, p.y}) - sdf({p.x - eps, p.y});
  float dy = sdf({p.x, p.y + eps}) - sdf({p.x, p.y - eps});
  return normalised({dx, dy});
}

}  // namespace assetgen
