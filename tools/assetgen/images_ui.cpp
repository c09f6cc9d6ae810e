// Interface pictures: the icon sheet, the difficulty buttons, the on-screen
// direction pad and the arcade-controller marks. Icons and pad pieces are
// drawn light on purpose: the game tints them with the colour it draws them in
// (blue resume, red quit, green sound), and dark parts stay dark under a tint,
// so every glyph is a dark engraving on a light disc or a light shape with a
// dark edge.
#include <functional>
#include <string>

#include "tools/assetgen/catalogue.h"
#include "tools/assetgen/gem.h"

namespace assetgen {

namespace {

using Sdf = std::function<float(Vec2)>;

const Colour kInk = rgb(24, 26, 40);  // engraved glyphs
const Colour kEdge = rgb(16, 16, 26, 0.9f);
const Colour kWhite = rgb(255, 255, 255);

// A light disc with a dark rim and a gloss, the face of every icon button.
void iconDisc(Canvas& c, Vec2 m, float r) {
  Box b = boxAround(m, r + 2);
  fillSoft(
      c, b,
      [&](Vec2 p) {
    return sdCircle(p, m + Vec2{0, 0.8f}, r);
      },
      rgb(0, 0, 0, 0.35f), 0, 1.2f);
  fillSolid(
      c, b, [&](Vec2 p) { return sdCircle(p, m, r + 0.9f); }, kEdge);
  fillShape(
      c, b, [&](Vec2 p) { return sdCircle(p, m, r); },
      [&](Vec2 p, float) { return mix(kWhite, rgb(170, 172, 182), clamp01((p.y - m.y + r) / (2 * r))); });
  // Gloss: the upper part of the disc lit a little brighter.
  fillShape(
      c, b,
      [&](Vec2 p) {
    return opIntersect(sdCircle(p, m, r - 1.2f), sdEllipse(p, m + Vec2{0, -r * 0.55f}, {r * 0.85f, r * 0.5f}));
      },
      [&](Vec2, float) { return rgb(255, 255, 255, 0.5f); });
}

// An engraved glyph: a light line under a dark shape reads as cut into the face.
void engrave(Canvas& c, Box area, const Sdf& glyph) {
  fillSolid(
      c, area,
      [&](Vec2 p) {
    return glyph(p - Vec2{0, 0.6f});
      },
      rgb(255, 255, 255, 0.7f));
  fillSolid(c, area, glyph, kInk);
}

// A light glyph with a dark edge, for marks drawn without a disc.
void outlinedGlyph(Canvas& c, Box area, const Sdf& glyph, float edge) {
  fillSoft(
      c, area,
      [&](Vec2 p) {
    return glyph(p - Vec2{0.3f, 0.7f}) - edge;
      },
      rgb(0, 0, 0, 0.4f), 0, 1.0f);
  fillSolid(
      c, area, [&](Vec2 p) { return glyph(p) - edge; }, kEdge);
  fillShape(c, area, glyph, [&](Vec2 p, float) {
    return mix(kWhite, rgb(200, 206, 220), clamp01((p.y - area.y0) / (area.y1 - area.y0)));
  });
}

float speaker(Vec2 p, Vec2 o) {
  Outline cone({o + Vec2{-6.5f, -2.6f}, o + Vec2{-3.4f, -2.6f}, o + Vec2{0.6f, -6.4f}, o + Vec2{0.6f, 6.4f},
                o + Vec2{-3.4f, 2.6f}, o + Vec2{-6.5f, 2.6f}});
  return cone.sd(p) - 0.45f;
}

float noteGlyph(Vec2 p, Vec2 o, float k) {
  float head = sdEllipse(rotated(p - (o + Vec2{-2.2f, 4.2f} * k), 25), {0, 0}, Vec2{2.6f, 1.9f} * k);
  float stem = sdCapsule(p, o + Vec2{0.2f, 4.0f} * k, o + Vec2{0.2f, -6.0f} * k, 0.7f * k);
  float flag = sdCapsule(p, o + Vec2{0.2f, -6.0f} * k, o + Vec2{3.8f, -2.8f} * k, 0.8f * k);
  return opUnion(opUnion(head, stem), flag);
}

float sparkleGlyph(Vec2 p, Vec2 o, float k) { return starShape(o, 4, 6.0f * k, 1.7f * k, -90).sd(p) - 0.3f * k; }

float arrowGlyph(Vec2 p, Vec2 m, float degrees, float k) {
  Outline tri({m + rotated({0, -5.2f}, degrees) * k, m + rotated({5.2f, 2.6f}, degrees) * k,
               m + rotated({-5.2f, 2.6f}, degrees) * k});
  return tri.sd(p) - 0.6f * k;
}

// Frames of the icon sheet (32 x 32).
void drawIcon(Canvas& c, int frame) {
  Vec2 m{16, 16};
  Box all{0, 0, 32, 32};
  const float r = 13.4f;
  switch (frame) {
    case 0:  // pause
      iconDisc(c, m, r);
      engrave(c, all, [&](Vec2 p) {
        return opUnion(sdRoundBox(p, {12.6f, 16}, {1.9f, 5.6f}, 0.8f), sdRoundBox(p, {19.4f, 16}, {1.9f, 5.6f}, 0.8f));
      });
      break;
    case 1:  // quit: a cross
      iconDisc(c, m, r);
      engrave(c, all, [&](Vec2 p) {
        return opUnion(sdCapsule(p, {11, 11}, {21, 21}, 1.9f), sdCapsule(p, {21, 11}, {11, 21}, 1.9f));
      });
      break;
    case 2:  // restart: a circular arrow
      iconDisc(c, m, r);
      engrave(c, all, [&](Vec2 p) {
        float arc = sdArc(p, m, 5.6f, 1.5f, 45, 125);
        Outline head({{16 + 1.0f, 16 - 9.6f}, {16 + 6.0f, 16 - 5.6f}, {16 + 0.4f, 16 - 2.0f}});
        return opUnion(arc, head.sd(p) - 0.3f);
      });
      break;
    case 3:  // resume: play
      iconDisc(c, m, r);
      engrave(c, all, [&](Vec2 p) {
        Outline t({{12.4f, 9.6f}, {22.2f, 16}, {12.4f, 22.4f}});
        return t.sd(p) - 0.8f;
      });
      break;
    case 4:  // sound on: speaker with two waves
    case 5:  // sound off: speaker with a cross
      iconDisc(c, m, r);
      engrave(c, all, [&](Vec2 p) {
        Vec2 o{15.2f, 16};
        float d = speaker(p, o);
        if (frame == 4)
          return opUnion(d, opUnion(sdArc(p, o + Vec2{0.4f, 0}, 3.6f, 1.0f, 0, 42),
                                    sdArc(p, o + Vec2{0.4f, 0}, 6.8f, 1.0f, 0, 42)));
        return opUnion(d, opUnion(sdCapsule(p, o + Vec2{3.2f, -2.8f}, o + Vec2{8.2f, 2.8f}, 1.1f),
                                  sdCapsule(p, o + Vec2{8.2f, -2.8f}, o + Vec2{3.2f, 2.8f}, 1.1f)));
      });
      break;
    case 6:  // highlight ring drawn round a button
      fillSoft(
          c, all, [&](Vec2 p) { return sdRing(p, m, 14.3f, 0.4f); }, rgb(255, 255, 255, 0.55f), 0, 1.6f);
      fillSolid(
          c, all, [&](Vec2 p) { return sdRing(p, m, 14.3f, 0.9f); }, kWhite);
      break;
    case 7:  // calibrate: cross hairs
      iconDisc(c, m, r);
      engrave(c, all, [&](Vec2 p) {
        float d = sdRing(p, m, 5.6f, 0.9f);
        d = opUnion(d, sdCircle(p, m, 1.4f));
        for (int i = 0; i < 4; ++i) {
          Vec2 dir = polar(90.0f * i, 1);
          d = opUnion(d, sdCapsule(p, m + dir * 7.0f, m + dir * 10.2f, 0.9f));
        }
        return d;
      });
      break;
    case 8:  // music and effects: a note with a sparkle
      outlinedGlyph(
          c, all,
          [&](Vec2 p) {
        return opUnion(noteGlyph(p, {13, 17}, 1.0f), sparkleGlyph(p, {22.5f, 10.5f}, 0.65f));
          },
          1.0f);
      break;
    case 9:  // effects only: a sparkle
      outlinedGlyph(
          c, all, [&](Vec2 p) { return sparkleGlyph(p, m, 1.3f); }, 1.0f);
      break;
    case 10:  // music only: a note
      outlinedGlyph(
          c, all,
          [&](Vec2 p) {
        return noteGlyph(p, {17, 16}, 1.25f);
          },
          1.0f);
      break;
    default: break;
  }
}

const char* const kDifficultyNames[3] = {"EASY", "NORMAL", "HARD"};
const Colour kDifficultyColours[3] = {rgb(56, 178, 86), rgb(236, 160, 32), rgb(222, 58, 64)};

// A difficulty button: a glossy tile showing the gem kinds in play and its name.
void drawDifficulty(Canvas& c, int n, const Fonts& fonts) {
  Vec2 m{32, 32};
  Vec2 half{27.5f, 27.5f};
  Box all{0, 0, 64, 64};
  Colour body = kDifficultyColours[n];
  auto tile = [&](Vec2 p) { return sdRoundBox(p, m, half, 10); };
  fillSoft(
      c, all,
      [&](Vec2 p) {
    return sdRoundBox(p, m + Vec2{0, 1.5f}, half, 10);
      },
      rgb(0, 0, 0, 0.45f), 0, 2.5f);
  fillSolid(
      c, all, [&](Vec2 p) { return tile(p) - 1.3f; }, rgb(20, 20, 30));
  fillShape(c, all, tile, [&](Vec2 p, float d) {
    Colour face = mix(tint(body, 0.35f), shade(body, 0.62f), clamp01((p.y - 4) / 56));
    // A light inner rim along the top and left, a darker one along the bottom.
    Vec2 nrm = edgeNormal(tile, p, 0.25f);
    float rim = smoothstep(-2.2f, -0.4f, d);
    float lit = -(nrm.x * -0.5f + nrm.y * -0.85f);
    return mix(face, lit > 0 ? tint(body, 0.75f) : shade(body, 0.4f), rim * std::fabs(lit));
  });
  fillShape(
      c, all,
      [&](Vec2 p) {
    return opIntersect(tile(p) + 2.5f, sdEllipse(p, {32, 6}, {34, 20}));
      },
      [&](Vec2 p, float) { return rgb(255, 255, 255, 0.35f * clamp01((26 - p.y) / 20)); });
  // One small gem per kind in play: 3, 4 or 5.
  int kinds = n + 3;
  float gap = 10.2f, r = 4.7f;
  for (int k = 0; k < kinds; ++k) drawGem(c, k + 1, {32 + (k - (kinds - 1) / 2.0f) * gap, 23}, r);
  ShapeSet label = fonts.sansBold.centredText(kDifficultyNames[n], n == 1 ? 10.5f : 12.0f, {32, 42.5f});
  Box lb = label.bounds().grown(2);
  fillSolid(
      c, lb, [&](Vec2 p) { return label.sd(p) - 1.1f; }, rgb(20, 16, 24, 0.9f));
  fillShape(
      c, lb, [&](Vec2 p) { return label.sd(p); },
      [&](Vec2 p, float) { return mix(kWhite, rgb(255, 240, 200), clamp01((p.y - 36) / 12)); });
}

// The selection mark: a bright frame with sparkling corners round a button.
void drawSelection(Canvas& c) {
  Vec2 m{32, 32};
  Box all{0, 0, 64, 64};
  auto frame = [&](Vec2 p) { return std::fabs(sdRoundBox(p, m, {30, 30}, 12)) - 1.3f; };
  fillSoft(c, all, frame, rgb(255, 236, 120, 0.8f), 0, 2.2f);
  fillSolid(c, all, frame, rgb(255, 250, 210));
  for (Vec2 corner : {Vec2{8, 8}, Vec2{56, 8}, Vec2{56, 56}, Vec2{8, 56}}) {
    Outline s = starShape(corner, 4, 6.5f, 1.3f, -90);
    fillSolid(
        c, s.bounds(), [&](Vec2 p) { return s.sd(p); }, kWhite);
  }
}

// On-screen pad pieces: translucent dark keys with light symbols.
void padKey(Canvas& c, bool pressed, const Sdf& shape, const Sdf& symbol) {
  Box all{0, 0, 32, 32};
  fillSolid(
      c, all, [&](Vec2 p) { return shape(p) - 0.8f; }, rgb(255, 255, 255, pressed ? 0.9f : 0.6f));
  fillShape(c, all, shape, [&](Vec2 p, float) {
    return mix(rgb(70, 74, 90, pressed ? 0.8f : 0.55f), rgb(24, 26, 36, pressed ? 0.8f : 0.55f), clamp01(p.y / 32));
  });
  fillSolid(c, all, symbol, rgb(255, 255, 255, pressed ? 1.0f : 0.85f));
}

void drawPad(Canvas& c, int frame, const Fonts& fonts) {
  bool pressed = frame >= 8;
  int kind = frame % 8;
  Vec2 m{16, 16};
  auto key = [&](Vec2 p) { return sdRoundBox(p, m, {13.5f, 13.5f}, 4.5f); };
  auto disc = [&](Vec2 p) { return sdCircle(p, m, 13.5f); };
  switch (kind) {
    case 0:
    case 1:
    case 2:
    case 3:  // up, right, down, left
      padKey(c, pressed, key, [&](Vec2 p) { return arrowGlyph(p, m, 90.0f * kind, 1.2f); });
      break;
    case 4:  // the cross of a direction pad
      padKey(
          c, pressed,
          [&](Vec2 p) {
        return opUnion(sdRoundBox(p, m, {14, 5.5f}, 2), sdRoundBox(p, m, {5.5f, 14}, 2));
          },
          [&](Vec2 p) { return sdCircle(p, m, 2.5f); });
      break;
    case 5:
    case 6: {  // action buttons A and B
      ShapeSet letter = fonts.sansBold.centredText(kind == 5 ? "A" : "B", 16, m);
      padKey(c, pressed, disc, [&](Vec2 p) { return letter.sd(p); });
      break;
    }
    default:  // the round base a thumb rests on
      padKey(
          c, pressed, [&](Vec2 p) { return sdRing(p, m, 12.5f, 1.6f); }, [&](Vec2 p) { return sdCircle(p, m, 3.0f); });
      break;
  }
}

// An arcade cabinet stick with two buttons; frame 1 is the same struck out.
void drawArcade(Canvas& c, bool off) {
  Box all{0, 0, 64, 64};
  Colour body = off ? rgb(120, 120, 130) : rgb(60, 110, 220);
  auto base = [](Vec2 p) { return sdRoundBox(p, {32, 45}, {25, 9}, 5); };
  fillSoft(
      c, all,
      [&](Vec2 p) {
    return base(p - Vec2{0, 2});
      },
      rgb(0, 0, 0, 0.4f), 0, 2);
  fillSolid(
      c, all, [&](Vec2 p) { return base(p) - 1.2f; }, kEdge);
  fillShape(c, all, base,
            [&](Vec2 p, float) { return mix(tint(body, 0.3f), shade(body, 0.6f), clamp01((p.y - 36) / 18)); });
  fillSolid(
      c, all,
      [](Vec2 p) {
    return sdCapsule(p, {22, 42}, {22, 18}, 2.6f) - 1.0f;
      },
      kEdge);
  fillShape(
      c, all,
      [](Vec2 p) {
    return sdCapsule(p, {22, 42}, {22, 18}, 2.6f);
      },
      [](Vec2 p, float) { return mix(rgb(230, 230, 236), rgb(140, 140, 150), clamp01((p.x - 19.4f) / 5.2f)); });
  Colour ball = off ? rgb(170, 170, 176) : rgb(236, 52, 60);
  fillSolid(
      c, all,
      [](Vec2 p) {
    return sdCircle(p, {22, 15}, 8.2f);
      },
      kEdge);
  fillShape(
      c, all,
      [](Vec2 p) {
    return sdCircle(p, {22, 15}, 7.2f);
      },
      [&](Vec2 p, float) {
    return mix(tint(ball, 0.55f), shade(ball, 0.6f), clamp01(length(p - Vec2{19, 11.5f}) / 11));
  });
  for (float x : {38.0f, 48.5f}) {
    Colour b = off ? rgb(170, 170, 176) : (x < 40 ? rgb(255, 206, 36) : rgb(46, 204, 84));
    fillSolid(
        c, all,
        [&](Vec2 p) {
      return sdEllipse(p, {x, 41.5f}, {5.4f, 3.6f});
        },
        kEdge);
    fillShape(
        c, all,
        [&](Vec2 p) {
      return sdEllipse(p, {x, 41}, {4.4f, 2.7f});
        },
        [&](Vec2 p, float) { return mix(tint(b, 0.5f), b, clamp01((p.y - 38.5f) / 5)); });
  }
  if (off) {
    auto slash = [](Vec2 p) { return sdCapsule(p, {10, 10}, {54, 54}, 3.2f); };
    fillSolid(
        c, all, [&](Vec2 p) { return slash(p) - 1.2f; }, kEdge);
    fillSolid(c, all, slash, rgb(236, 52, 60));
  }
}

}  // namespace

void drawIconFrame(Canvas& c, int frame, const Fonts&) { drawIcon(c, frame); }

void drawButtonFrame(Canvas& c, int frame, const Fonts& fonts) {
  // Frames 0..2: difficulties 1..3; frame 15: the selection mark.
  if (frame < 3) drawDifficulty(c, frame, fonts);
  if (frame == 15) drawSelection(c);
}

void drawPadFrame(Canvas& c, int frame, const Fonts& fonts) { drawPad(c, frame, fonts); }

void drawArcadeFrame(Canvas& c, int frame, const Fonts&) { drawArcade(c, frame == 1); }

}  // namespace assetgen
