// Title pictures: the three layers of the title menu art, the game's logo and
// the studio mark. The menu draws frame 0 three times enlarged over the whole
// screen at three-quarter strength (a background), frame 2 twice enlarged left
// of centre (a glow behind the logo and buttons) and frame 1 three times
// enlarged on top (a frame round the screen that leaves the middle open); on a
// 640 x 480 screen the visible part of frames 0 and 1 is the middle 213 x 160.
// The logo is drawn at one and a half times near the top; the studio mark at
// full size on the loading screen and at half size, its lower part off screen,
// as the credits button in the bottom-right corner.
#include <cmath>
#include <cstdint>

#include "tools/assetgen/catalogue.h"
#include "tools/assetgen/gem.h"

namespace assetgen {

namespace {

const Colour kWhite = rgb(255, 255, 255);
const Colour kNight = rgb(16, 12, 44);

// Deterministic pseudo-random numbers for scattering decoration.
class Scatter {
 public:
  explicit Scatter(uint32_t seed) : state_(seed) {}
  float next() {
    state_ = state_ * 1664525u + 1013904223u;
    return float(state_ >> 8) / 16777216.0f;
  }

 private:
  uint32_t state_;
};

void sparkle(Canvas& c, Vec2 at, float size, float alpha) {
  Outline s = starShape(at, 4, size, size * 0.22f, -90);
  fillSoft(
      c, s.bounds().grown(size), [&](Vec2 p) { return sdCircle(p, at, size * 0.25f); },
      rgb(255, 255, 255, alpha * 0.5f), 0, size * 0.6f);
  fillSolid(
      c, s.bounds(), [&](Vec2 p) { return s.sd(p); }, rgb(255, 255, 255, alpha));
}

// Frame 0: a deep night-blue field with a soft light in the middle, faint
// diamond lattice, light rays and scattered sparkles.
void menuBackground(Canvas& c) {
  Box all{0, 0, 256, 256};
  Vec2 m{128, 120};
  fillShape(
      c, all, [](Vec2) { return -10.0f; },
      [&](Vec2 p, float) {
    float r = length(p - m) / 150.0f;
    Colour inner = rgb(86, 64, 170), outer = rgb(14, 10, 40);
    Colour base = mix(inner, outer, clamp01(r));
    // Diamond lattice: thin lines along both diagonals every 16 units.
    float u = std::fabs(std::fmod(p.x + p.y + 1024.0f, 16.0f) - 8.0f);
    float v = std::fabs(std::fmod(p.x - p.y + 1024.0f, 16.0f) - 8.0f);
    float line = std::max(smoothstep(7.2f, 8.0f, u), smoothstep(7.2f, 8.0f, v));
    base = mix(base, tint(base, 0.25f), line * 0.35f * (1 - clamp01(r)));
    // Twelve broad rays turning slowly out from the light.
    float a = std::atan2(p.y - m.y, p.x - m.x) * 6.0f;
    float ray = 0.5f + 0.5f * std::cos(a);
    return mix(base, tint(base, 0.3f), ray * 0.18f * (1 - clamp01(r * 1.1f)));
      });
  Scatter s(7);
  for (int i = 0; i < 60; ++i) {
    Vec2 at{s.next() * 256, s.next() * 256};
    sparkle(c, at, 1.2f + 2.2f * s.next(), 0.25f + 0.45f * s.next());
  }
}

// One crystal standing on `root`, leaning by `degrees`: a six-sided prism seen
// from the side, its left face lit and its right face in shade.
void crystal(Canvas& c, Vec2 root, float height, float width, float degrees, Colour colour) {
  auto at = [&](float x, float y) { return root + rotated({x, -y}, degrees); };
  float w = width / 2, shoulder = height - width * 0.9f;
  Outline left({at(-w, -4), at(0, -4), at(0, height), at(-w, shoulder)});
  Outline right({at(0, -4), at(w, -4), at(w, shoulder), at(0, height)});
  Outline whole({at(-w, -4), at(w, -4), at(w, shoulder), at(0, height), at(-w, shoulder)});
  Box b = whole.bounds().grown(3);
  fillSoft(
      c, b, [&](Vec2 p) { return whole.sd(p); }, withAlpha(tint(colour, 0.3f), 0.35f), 0, 4);
  fillSolid(
      c, b, [&](Vec2 p) { return whole.sd(p) - 0.9f; }, rgb(10, 8, 30, 0.9f));
  Vec2 tip = at(0, height);
  fillShape(
      c, b, [&](Vec2 p) { return left.sd(p) - 0.05f; },
      [&](Vec2 p, float) { return mix(tint(colour, 0.45f), colour, clamp01(length(p - tip) / height)); });
  fillShape(
      c, b, [&](Vec2 p) { return right.sd(p) - 0.05f; },
      [&](Vec2 p, float) { return mix(colour, shade(colour, 0.45f), clamp01(length(p - tip) / height)); });
  fillSolid(
      c, b, [&](Vec2 p) { return sdCapsule(p, at(-w * 0.55f, 2), at(-w * 0.55f, shoulder - 1), width * 0.06f); },
      rgb(255, 255, 255, 0.45f));
}

// Frame 1: a vignette and crystal clusters growing in from the corners.
void menuForeground(Canvas& c) {
  Box all{0, 0, 256, 256};
  // Darken toward the edges of the visible screen; the middle stays clear.
  fillShape(
      c, all, [](Vec2) { return -10.0f; },
      [&](Vec2 p, float) {
    float e = length({(p.x - 128) / 118, (p.y - 128) / 92});
    return withAlpha(kNight, 0.75f * smoothstep(0.62f, 1.15f, e));
      });
  struct Spire {
    Vec2 root;
    float height, width, lean;
    int kind;
  };
  const Spire spires[] = {
      // bottom-left cluster
      {{18, 214}, 40, 12, -24, 5},
      {{30, 216}, 52, 15, -8, 3},
      {{44, 214}, 30, 11, 14, 5},
      {{56, 214}, 18, 8, 30, 1},
      {{10, 212}, 24, 9, -40, 3},
      // bottom-right cluster, kept low beside the credits button
      {{206, 214}, 20, 9, -26, 2},
      {{222, 216}, 34, 12, 6, 3},
      {{236, 214}, 26, 10, 28, 5},
      // top-left, hanging from the ceiling
      {{16, 40}, 34, 11, 196, 3},
      {{30, 42}, 22, 9, 172, 5},
      // top-right
      {{238, 42}, 30, 11, 166, 5},
      {{226, 40}, 18, 8, 188, 2},
  };
  for (const Spire& s : spires) crystal(c, s.root, s.height, s.width, s.lean, shade(gemColour(s.kind), 0.95f));
  for (Vec2 at : {Vec2{36, 170}, Vec2{224, 186}, Vec2{24, 78}}) sparkle(c, at, 4, 0.9f);
}

// Frame 2: light bursting from behind the title with the five gems circling it.
void menuGlow(Canvas& c) {
  Box all{0, 0, 256, 256};
  Vec2 m{128, 128};
  fillShape(
      c, all, [](Vec2) { return -10.0f; },
      [&](Vec2 p, float) {
    float r = length(p - m);
    float a = std::atan2(p.y - m.y, p.x - m.x);
    float ray = std::pow(0.5f + 0.5f * std::cos(a * 8.0f), 3.0f);
    float rays = ray * 0.30f * (1 - smoothstep(20, 125, r));
    float glow = 0.55f * (1 - smoothstep(0, 80, r));
    return withAlpha(rgb(255, 236, 170), clamp01(rays + glow));
      });
  const float tilt = -8, rx = 104, ry = 32;
  auto orbitPoint = [&](float deg) {
    float r = toRadians(deg);
    return m + rotated({std::cos(r) * rx, std::sin(r) * ry}, tilt);
  };
  fillShape(
      c, all,
      [&](Vec2 p) {
    return std::fabs(sdEllipse(rotated(p - m, -tilt), {0, 0}, {rx, ry})) - 0.9f;
      },
      [&](Vec2 p, float) { return rgb(255, 240, 200, 0.25f + 0.5f * clamp01((p.y - m.y + ry) / (2 * ry))); });
  const float angles[kGemKinds] = {200, 250, 300, 30, 120};
  for (int k = 0; k < kGemKinds; ++k) {
    Vec2 at = orbitPoint(angles[k]);
    float r = 9.0f + 3.0f * std::sin(toRadians(angles[k]));  // nearer gems look bigger
    fillSoft(
        c, boxAround(at, r * 2), [&](Vec2 p) { return sdCircle(p, at, r); }, rgb(255, 250, 220, 0.35f), 0, r);
    drawGem(c, k + 1, at, r, (k - 2) * 12.0f);
  }
  sparkle(c, m + Vec2{-30, -26}, 7, 1.0f);
  sparkle(c, m + Vec2{40, 18}, 5, 0.9f);
}

// Frame 3: a lone star flare, spare title art.
void menuFlare(Canvas& c) {
  Vec2 m{128, 128};
  fillSoft(
      c, {0, 0, 256, 256}, [&](Vec2 p) { return sdCircle(p, m, 10); }, rgb(255, 240, 200, 0.6f), 0, 60);
  Outline s = starShape(m, 4, 110, 9, -90);
  fillSoft(
      c, s.bounds(), [&](Vec2 p) { return s.sd(p); }, rgb(255, 255, 255, 0.9f), 0, 3);
  Outline d = starShape(m, 4, 50, 5, -45);
  fillSoft(
      c, d.bounds(), [&](Vec2 p) { return d.sd(p); }, rgb(255, 255, 255, 0.6f), 0, 2);
}

// The word "Korvane" on a gentle arch: gold letters with a deep outline, a
// bevel, a gloss and a red gem set in the "o".
void drawLogo(Canvas& c, const Fonts& fonts) {
  const std::string word = "Korvane";
  const float em = 58, tracking = -1.5f, archRadius = 520, maxWidth = 226;
  const Font& f = fonts.sansBold;
  float scale = std::min(1.0f, maxWidth / f.textWidth(word, em, tracking));
  float size = em * scale;
  float width = f.textWidth(word, size, tracking);
  Vec2 centre{128, 66};
  float baseline = centre.y + f.capHeight() * size / 2;
  ShapeSet letters;
  float x = centre.x - width / 2;
  Vec2 gemAt;
  for (size_t i = 0; i < word.size(); ++i) {
    int cp = (unsigned char)word[i];
    float adv = f.advance(cp, size);
    float mid = x + adv / 2 - centre.x;
    float angle = toDegrees(mid / archRadius);
    float lift = mid * mid / (2 * archRadius);
    Outline g = f.glyph(cp, size, {x, baseline}).transformed({x + adv / 2, baseline}, angle, 1, {0, lift});
    if (word[i] == 'o') {
      const Box& b = g.bounds();
      gemAt = {(b.x0 + b.x1) / 2, (b.y0 + b.y1) / 2};
    }
    letters.add(g);
    x += adv + tracking;
  }
  Box area = letters.bounds().grown(16);
  DistanceGrid sd(c, area, [&](Vec2 p) { return letters.sd(p); });
  float top = letters.bounds().y0, bottom = letters.bounds().y1;
  fillSoft(
      c, area,
      [&](Vec2 p) {
    return sd(p - Vec2{0, 4}) - 5;
      },
      rgb(0, 0, 0, 0.55f), 0, 5);
  fillSolid(
      c, area, [&](Vec2 p) { return sd(p) - 5.0f; }, rgb(28, 16, 64));
  fillSolid(
      c, area, [&](Vec2 p) { return sd(p) - 2.6f; }, rgb(255, 250, 230));
  fillShape(c, area, sd, [&](Vec2 p, float d) {
    float t = clamp01((p.y - top) / (bottom - top));
    Colour face = t < 0.5f ? mix(rgb(255, 246, 170), rgb(255, 196, 48), t / 0.5f)
                           : mix(rgb(255, 196, 48), rgb(228, 92, 24), (t - 0.5f) / 0.5f);
    Vec2 n = edgeNormal(sd, p, 0.3f);
    float rim = smoothstep(-3.0f, -0.3f, d);
    float lit = -(n.x * -0.45f + n.y * -0.9f);
    return mix(face, lit > 0 ? rgb(255, 255, 235) : rgb(150, 50, 10), rim * std::fabs(lit) * 0.85f);
  });
  // Gloss over the upper half of each letter.
  float glossLine = top + (bottom - top) * 0.42f;
  fillShape(
      c, area, [&](Vec2 p) { return opIntersect(sd(p) + 1.2f, p.y - glossLine); },
      [&](Vec2 p, float) { return rgb(255, 255, 255, 0.35f * clamp01((glossLine - p.y) / (glossLine - top))); });
  drawGem(c, 1, gemAt, size * 0.17f);
  sparkle(c, {letters.bounds().x0 + 6, top + 3}, 7, 1.0f);
  sparkle(c, {letters.bounds().x1 - 4, top + 12}, 5, 0.9f);
}

// The studio mark: a hexagonal badge with a bevelled monogram and the team name.
void drawStudio(Canvas& c, const Fonts& fonts) {
  Box all{0, 0, 256, 256};
  Vec2 m{128, 104};
  Outline hex = regularPolygon(m, 6, 92, -90);
  auto body = [&](Vec2 p) { return hex.sd(p) + 10; };  // rounded corners
  fillSoft(
      c, all,
      [&](Vec2 p) {
    return body(p - Vec2{0, 5});
      },
      rgb(0, 0, 0, 0.5f), 0, 8);
  fillSolid(
      c, all, [&](Vec2 p) { return body(p) - 4; }, rgb(12, 14, 30));
  fillShape(c, all, body, [&](Vec2 p, float d) {
    Colour face = mix(rgb(40, 150, 170), rgb(14, 40, 84), clamp01((p.y - 12) / 180));
    float ring = smoothstep(-7, -5.5f, d) * (1 - smoothstep(-3.5f, -2, d));
    return mix(face, rgb(250, 210, 110), ring);
  });
  // Monogram: a bold K, a stem and two arms meeting right of it.
  Vec2 k{128, 80};
  Outline mono({k + Vec2{-30, -30}, k + Vec2{-15, -30}, k + Vec2{-15, -8}, k + Vec2{12, -30}, k + Vec2{31, -30},
                k + Vec2{3, 0}, k + Vec2{31, 30}, k + Vec2{12, 30}, k + Vec2{-15, 8}, k + Vec2{-15, 30},
                k + Vec2{-30, 30}});
  auto monoSd = [&](Vec2 p) { return mono.sd(p) - 1.5f; };
  Box mb = mono.bounds().grown(10);
  fillSoft(
      c, mb,
      [&](Vec2 p) {
    return monoSd(p - Vec2{2, 4});
      },
      rgb(0, 0, 0, 0.5f), 0, 4);
  fillShape(c, mb, monoSd, [&](Vec2 p, float d) {
    Colour face = mix(rgb(255, 236, 150), rgb(236, 150, 40), clamp01((p.y - 50) / 60));
    Vec2 n = edgeNormal(monoSd, p, 0.3f);
    float rim = smoothstep(-3.5f, -0.3f, d);
    float lit = -(n.x * -0.5f + n.y * -0.85f);
    return mix(face, lit > 0 ? rgb(255, 255, 240) : rgb(140, 70, 10), rim * std::fabs(lit));
  });
  ShapeSet name = fonts.sansBold.centredText("KORVANE", 22, {128, 138}, 1.5f);
  fillSolid(
      c, name.bounds().grown(3), [&](Vec2 p) { return name.sd(p) - 2; }, rgb(8, 12, 28));
  fillShape(
      c, name.bounds(), [&](Vec2 p) { return name.sd(p); },
      [&](Vec2 p, float) { return mix(kWhite, rgb(190, 220, 240), clamp01((p.y - 126) / 28)); });
  ShapeSet studio = fonts.sansBold.centredText("TEAM", 11, {128, 165}, 3.5f);
  fillSolid(
      c, studio.bounds().grown(1), [&](Vec2 p) { return studio.sd(p); }, rgb(250, 210, 110));
}

}  // namespace

void drawMenuFrame(Canvas& c, int frame, const Fonts&) {
  switch (frame) {
    case 0: menuBackground(c); break;
    case 1: menuForeground(c); break;
    case 2: menuGlow(c); break;
    default: menuFlare(c); break;
  }
}

void drawLogoFrame(Canvas& c, int, const Fonts& fonts) { drawLogo(c, fonts); }

void drawStudioFrame(Canvas& c, int, const Fonts& fonts) { drawStudio(c, fonts); }

}  // namespace assetgen
