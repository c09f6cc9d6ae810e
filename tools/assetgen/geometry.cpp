#include "tools/assetgen/geometry.h"

namespace assetgen {

void Outline::add(std::vector<Vec2> contour) {
  if (contour.size() < 3) return;
  for (const Vec2& v : contour) {
    bounds_.x0 = std::min(bounds_.x0, v.x);
    bounds_.y0 = std::min(bounds_.y0, v.y);
    bounds_.x1 = std::max(bounds_.x1, v.x);
    bounds_.y1 = std::max(bounds_.y1, v.y);
  }
  contours_.push_back(std::move(contour));
}

float Outline::sd(Vec2 p) const {
  float best = 1e30f;
  int winding = 0;
  for (const auto& c : contours_) {
    size_t n = c.size();
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
      Vec2 a = c[j], b = c[i];
      Vec2 e = b - a, w = p - a;
      float t = clamp01(dot(w, e) / std::max(dot(e, e), 1e-12f));
      Vec2 d = w - e * t;
      best = std::min(best, dot(d, d));
      // Winding number by upward and downward crossings of the ray to +x.
      if (a.y <= p.y) {
        if (b.y > p.y && cross(e, w) > 0) ++winding;
      } else if (b.y <= p.y && cross(e, w) < 0) {
        --winding;
      }
    }
  }
  float dist = std::sqrt(best);
  return winding != 0 ? -dist : dist;
}

Outline Outline::transformed(Vec2 pivot, float degrees, float scale, Vec2 offset) const {
  Outline out;
  for (const auto& c : contours_) {
    std::vector<Vec2> moved;
    moved.reserve(c.size());
    for (const Vec2& v : c) moved.push_back(pivot + rotated(v - pivot, degrees) * scale + offset);
    out.add(std::move(moved));
  }
  return out;
}

Outline starShape(Vec2 centre, int points, float outer, float inner, float startDegrees) {
  std::vector<Vec2> v;
  bool notched = inner > 0;
  int steps = notched ? points * 2 : points;
  for (int i = 0; i < steps; ++i) {
    float r = (notched && (i % 2)) ? inner : outer;
    v.push_back(centre + polar(startDegrees + 360.0f * i / steps, r));
  }
  return Outline(std::move(v));
}

Outline regularPolygon(Vec2 centre, int sides, float radius, float startDegrees) {
  return starShape(centre, sides, radius, 0, startDegrees);
}

void ShapeSet::add(Outline o) {
  if (o.empty()) return;
  const Box& b = o.bounds();
  bounds_.x0 = std::min(bounds_.x0, b.x0);
  bounds_.y0 = std::min(bounds_.y0, b.y0);
  bounds_.x1 = std::max(bounds_.x1, b.x1);
  bounds_.y1 = std::max(bounds_.y1, b.y1);
  parts_.push_back(std::move(o));
}

float ShapeSet::sd(Vec2 p) const {
  float best = 1e30f;
  for (const Outline& o : parts_) {
    const Box& b = o.bounds();
    // Distance to the bounds is a lower bound of the distance to the piece.
    float dx = std::max({b.x0 - p.x, 0.0f, p.x - b.x1});
    float dy = std::max({b.y0 - p.y, 0.0f, p.y - b.y1});
    float boundsDist2 = dx * dx + dy * dy;
    if (best <= 0 ? boundsDist2 > 0 : boundsDist2 >= best * best) continue;
    best = std::min(best, o.sd(p));
  }
  return best;
}

}  // namespace assetgen
