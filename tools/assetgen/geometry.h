// Plane geometry for the asset generator: points, boxes and signed distance
// functions. Every shape is described by its signed distance (negative inside,
// positive outside, in design units) so that the canvas can anti-alias its edge
// exactly at any resolution and derive outlines, glows and bevels from the same
// function. Depends only on the C++ standard library.
// Invariant: distances are true Euclidean distances near the edge (within a few
// design units), which is all the anti-aliasing and bevel lighting rely on.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

namespace assetgen {

constexpr float kPi = 3.14159265358979f;

// Angles are given in degrees throughout the generator; these convert at the
// one place a trigonometric function needs radians.
inline float toRadians(float degrees) { return degrees * kPi / 180.0f; }
inline float toDegrees(float radians) { return radians * 180.0f / kPi; }

struct Vec2 {
  float x = 0, y = 0;
};

inline Vec2 operator+(Vec2 a, Vec2 b) { return {a.x + b.x, a.y + b.y}; }
inline Vec2 operator-(Vec2 a, Vec2 b) { return {a.x - b.x, a.y - b.y}; }
inline Vec2 operator*(Vec2 a, float s) { return {a.x * s, a.y * s}; }
inline float dot(Vec2 a, Vec2 b) { return a.x * b.x + a.y * b.y; }
inline float cross(Vec2 a, Vec2 b) { return a.x * b.y - a.y * b.x; }
inline float length(Vec2 a) { return std::sqrt(dot(a, a)); }
inline Vec2 normalised(Vec2 a) {
  float l = length(a);
  return l > 0 ? a * (1.0f / l) : Vec2{0, 0};
}
inline Vec2 rotated(Vec2 a, float degrees) {
  float r = toRadians(degrees), c = std::cos(r), s = std::sin(r);
  return {a.x * c - a.y * s, a.x * s + a.y * c};
}
inline Vec2 polar(float degrees, float radius) {
  float r = toRadians(degrees);
  return {std::cos(r) * radius, std::sin(r) * radius};
}
inline float clamp01(float v) { return std::min(1.0f, std::max(0.0f, v)); }
inline float smoothstep(float e0, float e1, float v) {
  float t = clamp01((v - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}

// Axis-aligned rectangle in design units.
struct Box {
  float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  Box grown(float m) const { return {x0 - m, y0 - m, x1 + m, y1 + m}; }
};
inline Box boxAround(Vec2 c, float r) { return {c.x - r, c.y - r, c.x + r, c.y + r}; }

inline float sdCircle(Vec2 p, Vec2 c, float r) { return length(p - c) - r; }

// Exact distance to a box of half size h centred on c with corner radius r.
inline float sdRoundBox(Vec2 p, Vec2 c, Vec2 h, float r) {
  Vec2 q{std::fabs(p.x - c.x) - h.x + r, std::fabs(p.y - c.y) - h.y + r};
  Vec2 qa{std::max(q.x, 0.0f), std::max(q.y, 0.0f)};
  return length(qa) + std::min(std::max(q.x, q.y), 0.0f) - r;
}

// Distance to the segment a-b minus half the stroke width: a capsule.
inline float sdCapsule(Vec2 p, Vec2 a, Vec2 b, float halfWidth) {
  Vec2 pa = p - a, ba = b - a;
  float t = clamp01(dot(pa, ba) / std::max(dot(ba, ba), 1e-12f));
  return length(pa - ba * t) - halfWidth;
}

// Close to exact near the edge for moderately flattened ellipses.
inline float sdEllipse(Vec2 p, Vec2 c, Vec2 r) {
  Vec2 q{(p.x - c.x) / r.x, (p.y - c.y) / r.y};
  float k0 = length(q);
  Vec2 q2{q.x / r.x, q.y / r.y};
  float k1 = length(q2);
  if (k1 < 1e-6f) return -std::min(r.x, r.y);
  return k0 * (k0 - 1.0f) / k1;
}

// Ring between radii r - w/2 and r + w/2.
inline float sdRing(Vec2 p, Vec2 c, float r, float halfWidth) { return std::fabs(length(p - c) - r) - halfWidth; }

// Part of a ring: centred on angle `midDegrees`, reaching `spanDegrees` to
// each side, with rounded ends.
inline float sdArc(Vec2 p, Vec2 c, float r, float halfWidth, float midDegrees, float spanDegrees) {
  Vec2 q = rotated(p - c, -midDegrees);
  float a = toDegrees(std::atan2(q.y, q.x));
  if (std::fabs(a) <= spanDegrees) return std::fabs(length(q) - r) - halfWidth;
  Vec2 end = polar(a > 0 ? spanDegrees : -spanDegrees, r);
  return length(q - end) - halfWidth;
}

inline float opUnion(float a, float b) { return std::min(a, b); }
inline float opSubtract(float a, float b) { return std::max(a, -b); }
inline float opIntersect(float a, float b) { return std::max(a, b); }

// Closed contours with the non-zero winding rule: polygons, stars and glyphs.
class Outline {
 public:
  Outline() = default;
  explicit Outline(std::vector<Vec2> contour) { add(std::move(contour)); }
  void add(std::vector<Vec2> contour);
  // Signed distance: exact, negative inside by the non-zero winding rule.
  float sd(Vec2 p) const;
  const Box& bounds() const { return bounds_; }
  bool empty() const { return contours_.empty(); }
  // A copy moved, turned about `pivot` and scaled about it.
  Outline transformed(Vec2 pivot, float degrees, float scale, Vec2 offset) const;
  const std::vector<std::vector<Vec2>>& contours() const { return contours_; }

 private:
  std::vector<std::vector<Vec2>> contours_;
  Box bounds_{1e9f, 1e9f, -1e9f, -1e9f};
};

// Regular polygon or star: `points` tips at `outer`, and, when inner > 0,
// notches at `inner` between them. The first tip points at `startDegrees`.
Outline starShape(Vec2 centre, int points, float outer, float inner, float startDegrees);
Outline regularPolygon(Vec2 centre, int sides, float radius, float startDegrees);

// Several outlines treated as one shape; far pieces are skipped by their bounds.
class ShapeSet {
 public:
  void add(Outline o);
  float sd(Vec2 p) const;
  Box bounds() const { return bounds_; }
  bool empty() const { return parts_.empty(); }
  const std::vector<Outline>& parts() const { return parts_; }

 private:
  std::vector<Outline> parts_;
  Box bounds_{1e9f, 1e9f, -1e9f, -1e9f};
};

}  // namespace assetgen
