// Play-field pictures: the gem sheet, the particle sprites and the badge sheet.
#include "tools/assetgen/catalogue.h"
#include "tools/assetgen/gem.h"

#include <cmath>

namespace assetgen {

namespace {

// Gem frames fill their 32-unit cell with half a unit to spare for filtering.
constexpr float kGemRadius = 14.6f;

}  // namespace

void drawGemFrame(Canvas& c, int frame, const Fonts&) {
  // Frames 0..4 are gem kinds 1..5; the rest of the sheet stays empty.
  if (frame >= kGemKinds) return;
  drawGem(c, frame + 1, {16, 16}, kGemRadius);
}

namespace {

// One white particle sprite of shape `kind` (0..7) centred in the 8-unit cell,
// scaled by k; sprites are tinted by the colour they are drawn with.
void drawSprite(Canvas& c, int kind, float k) {
  Vec2 m{4, 4};
  Colour white = rgb(255, 255, 255);
  Box all{0, 0, 8, 8};
  switch (kind) {
    case 0:  // soft round dot
      fillSoft(
          c, all, [&](Vec2 p) { return sdCircle(p, m, 1.2f * k); }, white, 0.8f, 2.4f * k);
      break;
    case 1: {  // four-pointed sparkle
      Outline s = starShape(m, 4, 3.8f * k, 0.8f * k, -90);
      fillSoft(
          c, all, [&](Vec2 p) { return s.sd(p); }, white, 0.2f, 0.5f);
      break;
    }
    case 2:  // ring
      fillSolid(
          c, all, [&](Vec2 p) { return sdRing(p, m, 2.6f * k, 0.6f * k); }, white);
      break;
    case 3: {  // five-pointed star
      Outline s = starShape(m, 5, 3.7f * k, 1.6f * k, -90);
      fillSolid(
          c, all, [&](Vec2 p) { return s.sd(p); }, white);
      break;
    }
    case 4: {  // diamond shard
      Outline s({m + (Vec2{0, -3.6f} * k), m + (Vec2{2.4f, 0} * k), m + (Vec2{0, 3.6f} * k), m + (Vec2{-2.4f, 0} * k)});
      fillSolid(
          c, all, [&](Vec2 p) { return s.sd(p); }, white);
      break;
    }
    case 5: {  // triangle shard
      Outline s({m + Vec2{0, -3.2f} * k, m + Vec2{3.3f, 2.8f} * k, m + Vec2{-3.3f, 2.8f} * k});
      fillSolid(
          c, all, [&](Vec2 p) { return s.sd(p); }, white);
      break;
    }
    case 6:  // plus
      fillSolid(
          c, all,
          [&](Vec2 p) {
        return opUnion(sdRoundBox(p, m, Vec2{3.4f, 0.9f} * k, 0.5f * k),
                       sdRoundBox(p, m, Vec2{0.9f, 3.4f} * k, 0.5f * k));
          },
          white);
      break;
    default:  // disc with a bright core
      fillSolid(
          c, all, [&](Vec2 p) { return sdCircle(p, m, 3.2f * k); }, withAlpha(white, 0.6f));
      fillSolid(
          c, all, [&](Vec2 p) { return sdCircle(p, m, 1.7f * k); }, white);
      break;
  }
}

}  // namespace

void drawPartFrame(Canvas& c, int frame, const Fonts&) {
  // Frames 0..7: eight sprite shapes; 8..15: the same shapes smaller, for trails.
  drawSprite(c, frame % 8, frame < 8 ? 1.0f : 0.6f);
}

namespace {

// The disc colours of the badge sheet, one per column of eight.
const Colour kBadgeColours[8] = {rgb(40, 96, 210),  rgb(200, 40, 60),  rgb(30, 150, 80), rgb(130, 60, 190),
                                 rgb(230, 120, 20), rgb(20, 150, 170), rgb(90, 90, 110), rgb(200, 50, 150)};

// The raised emblem of a badge: shape `kind` (0..7) centred on m, size r.
float badgeEmblem(int kind, Vec2 p, Vec2 m, float r) {
  switch (kind) {
    case 0: return starShape(m, 5, r, r * 0.45f, -90).sd(p);
    case 1: return gemSilhouette(3, m, r * 1.05f).sd(p);
    case 2: {  // crown
      Outline crown({m + Vec2{-r, r * 0.6f}, m + Vec2{-r, -r * 0.5f}, m + Vec2{-r * 0.5f, 0}, m + Vec2{0, -r * 0.8f},
                     m + Vec2{r * 0.5f, 0}, m + Vec2{r, -r * 0.5f}, m + Vec2{r, r * 0.6f}});
      return crown.sd(p);
    }
    case 3: {  // lightning bolt
      Outline bolt({m + Vec2{0.25f * r, -r}, m + Vec2{-0.55f * r, 0.15f * r}, m + Vec2{-0.05f * r, 0.15f * r},
                    m + Vec2{-0.3f * r, r}, m + Vec2{0.6f * r, -0.2f * r}, m + Vec2{0.08f * r, -0.2f * r}});
      return bolt.sd(p);
    }
    case 4: {  // heart
      Outline tip({m + Vec2{-0.93f * r, -0.05f * r}, m + Vec2{0.93f * r, -0.05f * r}, m + Vec2{0, r}});
      float lobes = opUnion(sdCircle(p, m + Vec2{-0.45f * r, -0.3f * r}, 0.52f * r),
                            sdCircle(p, m + Vec2{0.45f * r, -0.3f * r}, 0.52f * r));
      return opUnion(lobes, tip.sd(p));
    }
    case 5:  // tick
      return opUnion(sdCapsule(p, m + Vec2{-0.7f * r, 0}, m + Vec2{-0.2f * r, 0.55f * r}, 0.2f * r),
                     sdCapsule(p, m + Vec2{-0.2f * r, 0.55f * r}, m + Vec2{0.75f * r, -0.6f * r}, 0.2f * r));
    case 6: {  // three rank chevrons
      float d = 1e9f;
      for (int i = 0; i < 3; ++i) {
        Vec2 o = m + Vec2{0, (i - 1) * 0.55f * r};
        d = opUnion(d, opUnion(sdCapsule(p, o + Vec2{-0.75f * r, 0}, o + Vec2{0, -0.45f * r}, 0.14f * r),
                               sdCapsule(p, o + Vec2{0, -0.45f * r}, o + Vec2{0.75f * r, 0}, 0.14f * r)));
      }
      return d;
    }
    default:  // ring with a dot
      return opUnion(sdRing(p, m, 0.75f * r, 0.16f * r), sdCircle(p, m, 0.3f * r));
  }
}

}  // namespace

void drawBadgeFrame(Canvas& c, int frame, const Fonts&) {
  // A medal: two ribbon tails, a gold rim and a coloured disc with a raised
  // emblem. Colours change along a row, emblems from row to row.
  Colour disc = kBadgeColours[frame % 8];
  int emblem = (frame / 8) % 8;
  Vec2 m{32, 27};
  Box all{0, 0, 64, 64};
  Colour gold = rgb(246, 196, 64), goldDark = rgb(150, 96, 20);

  for (int side = -1; side <= 1; side += 2) {
    float s = float(side);
    Outline tail({{32 + s * 4, 34}, {32 + s * 17, 36}, {32 + s * 19, 61}, {32 + s * 13, 56}, {32 + s * 8, 60}});
    Colour ribbon = side < 0 ? shade(disc, 0.85f) : shade(disc, 0.65f);
    fillShape(
        c, tail.bounds(), [&](Vec2 p) { return tail.sd(p); },
        [&](Vec2 p, float) { return mix(ribbon, shade(ribbon, 0.7f), clamp01((p.y - 36) / 25)); });
  }
  fillSoft(
      c, all,
      [&](Vec2 p) {
    return sdCircle(p, m + Vec2{1, 2}, 23);
      },
      rgb(0, 0, 0, 0.35f), 0, 2.5f);
  fillShape(
      c, all, [&](Vec2 p) { return sdCircle(p, m, 23); },
      [&](Vec2 p, float) {
    return mix(tint(gold, 0.35f), goldDark, clamp01((p.y - m.y + 23) / 46 + (p.x - m.x) / 120));
      });
  fillShape(
      c, all, [&](Vec2 p) { return sdCircle(p, m, 18.5f); },
      [&](Vec2 p, float) { return mix(tint(disc, 0.25f), shade(disc, 0.6f), clamp01((p.y - m.y + 18) / 36)); });
  // Emblem: light face with a bevel lit from the upper left and a soft shadow.
  DistanceGrid emblemSd(c, boxAround(m, 21), [&](Vec2 p) { return badgeEmblem(emblem, p, m, 11.5f); });
  fillSoft(
      c, boxAround(m, 20),
      [&](Vec2 p) {
    return emblemSd(p - Vec2{0.8f, 1.2f});
      },
      rgb(0, 0, 0, 0.45f), 0, 1.5f);
  fillShape(c, boxAround(m, 20), emblemSd, [&](Vec2 p, float d) {
    Vec2 n = edgeNormal(emblemSd, p, 0.25f);
    float bevel = smoothstep(-1.6f, 0.0f, d);
    float lit = -(n.x * -0.6f + n.y * -0.8f);
    return mix(rgb(255, 236, 160), lit > 0 ? rgb(255, 252, 230) : rgb(196, 140, 40), bevel * std::fabs(lit));
  });
  // Gloss across the top half of the medal.
  fillShape(
      c, all,
      [&](Vec2 p) {
    return opIntersect(sdCircle(p, m, 21.5f), sdCircle(p, m + Vec2{-6, -30}, 30));
      },
      [&](Vec2 p, float) { return rgb(255, 255, 255, 0.22f * clamp01((m.y - p.y) / 18)); });
}

}  // namespace assetgen
