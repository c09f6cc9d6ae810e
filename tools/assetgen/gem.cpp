#include "tools/assetgen/gem.h"

#include <cstdio>
#include <vector>

namespace assetgen {

namespace {

// Light falls from the upper left and slightly toward the viewer.
constexpr float kLightX = -0.55f, kLightY = -0.70f, kLightZ = 0.55f;
// Facets lean outward by this much: 0 would be flat, 1 steep.
constexpr float kFacetTilt = 0.75f;

struct Cut {
  std::vector<Vec2> rim;    // silhouette, clockwise on screen
  std::vector<Vec2> table;  // the flat top, one point per rim point
  float tableScale;
};

std::vector<Vec2> subdivided(const std::vector<Vec2>& v) {
  std::vector<Vec2> out;
  for (size_t i = 0; i < v.size(); ++i) {
    out.push_back(v[i]);
    out.push_back((v[i] + v[(i + 1) % v.size()]) * 0.5f);
  }
  return out;
}

std::vector<Vec2> rimPoints(int kind, float r) {
  std::vector<Vec2> v;
  switch (kind) {
    case 1:  // round brilliant
      for (int i = 0; i < 16; ++i) v.push_back(polar(-90.0f + 22.5f * i, r * 0.97f));
      break;
    case 2: {  // square step cut with clipped corners
      float s = r * 0.90f, k = s * 0.14f;
      v = {{-s + k, -s}, {s - k, -s}, {s, -s + k}, {s, s - k}, {s - k, s}, {-s + k, s}, {-s, s - k}, {-s, -s + k}};
      v = subdivided(v);
      break;
    }
    case 3:  // tall diamond
      v = subdivided(subdivided({{0, -r}, {r * 0.74f, 0}, {0, r}, {-r * 0.74f, 0}}));
      break;
    case 4: {  // triangle pointing up, centred on its middle height
      float rr = r * 1.10f, shift = r * 0.16f;
      v = subdivided(subdivided({polar(-90, rr), polar(30, rr), polar(150, rr)}));
      for (Vec2& p : v) p.y += shift;
      break;
    }
    case 5:  // five-pointed star
      for (int i = 0; i < 10; ++i) v.push_back(polar(-90.0f + 36.0f * i, (i % 2) ? r * 0.50f : r * 1.04f));
      break;
    default: break;
  }
  return v;
}

float tableScaleFor(int kind) {
  switch (kind) {
    case 1: return 0.56f;
    case 2: return 0.56f;
    case 3: return 0.46f;
    case 4: return 0.44f;
    default: return 0.30f;
  }
}

Cut makeCut(int kind, Vec2 centre, float radius, float degrees) {
  Cut cut;
  cut.tableScale = tableScaleFor(kind);
  for (Vec2 p : rimPoints(kind, radius)) {
    Vec2 q = rotated(p, degrees);
    cut.rim.push_back(centre + q);
    // The table sits a little toward the light, as seen on a tilted stone.
    Vec2 t = rotated(p * cut.tableScale, degrees) + Vec2{-0.04f * radius, -0.05f * radius};
    cut.table.push_back(centre + t);
  }
  return cut;
}

bool inTriangle(Vec2 p, Vec2 a, Vec2 b, Vec2 c) {
  float d1 = cross(b - a, p - a), d2 = cross(c - b, p - b), d3 = cross(a - c, p - c);
  bool neg = d1 < 0 || d2 < 0 || d3<0, pos = d1> 0 || d2 > 0 || d3 > 0;
  return !(neg && pos);
}

// Brightness of a facet whose outward direction on screen is `out`.
float facetLight(Vec2 out, float extra) {
  Vec2 o = normalised(out);
  float nx = o.x * kFacetTilt, ny = o.y * kFacetTilt, nz = 1.0f;
  float len = std::sqrt(nx * nx + ny * ny + nz * nz);
  float l = (nx * kLightX + ny * kLightY + nz * kLightZ) / len;
  return clamp01(0.22f + 0.95f * l + extra);
}

Colour facetColour(Colour base, float light) {
  Colour dark = shade(base, 0.38f), bright = tint(base, 0.55f);
  return light < 0.6f ? mix(dark, base, light / 0.6f) : mix(base, bright, (light - 0.6f) / 0.4f);
}

// Where the glare and the sparkle sit, shared by the raster and the vector
// drawing.
Vec2 lightDirection() { return normalised({kLightX, kLightY}); }
Vec2 tableCentreOf(Vec2 centre, float radius) { return centre + Vec2{-0.04f * radius, -0.05f * radius}; }
Vec2 glareCentre(const Cut& cut, Vec2 centre, float radius) {
  return tableCentreOf(centre, radius) + lightDirection() * (radius * cut.tableScale * 0.45f);
}
constexpr float kGlareDegrees = 35;  // the glare ellipse is turned against the light
Vec2 glareRadii(float radius) { return {radius * 0.20f, radius * 0.12f}; }
// The sparkle sits on the lit shoulder, moved inward until it is well inside
// the silhouette (stars and triangles have no shoulder where circles do).
Outline sparkleShape(const Outline& rim, Vec2 centre, float radius) {
  Vec2 lightDir = lightDirection();
  Vec2 spark = centre + lightDir * (radius * 0.62f);
  for (int i = 0; i < 20 && rim.sd(spark) > -radius * 0.16f; ++i) spark = spark - lightDir * (radius * 0.04f);
  return starShape(spark, 4, radius * 0.24f, radius * 0.05f, -90);
}

// --- SVG text ---------------------------------------------------------------

std::string svgNumber(float v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", v);
  return text;
}

std::string svgColour(Colour c) {
  char text[64];
  std::snprintf(text, sizeof text, "fill=\"#%02x%02x%02x\"", int(clamp01(c.r) * 255 + 0.5f),
                int(clamp01(c.g) * 255 + 0.5f), int(clamp01(c.b) * 255 + 0.5f));
  return text;
}

std::string svgHex(Colour c) {
  return svgColour(c).substr(6, 7);  // "#rrggbb" out of fill="#rrggbb"
}

std::string svgPoints(const std::vector<Vec2>& points) {
  std::string text;
  for (Vec2 p : points) text += svgNumber(p.x) + "," + svgNumber(p.y) + " ";
  text.pop_back();
  return text;
}

// A facet is stroked in its own colour as well, so that neighbouring facets
// meet without the hairline gaps that anti-aliasing leaves between them.
std::string facetPaint(Colour c) {
  return svgColour(c) + " stroke=\"" + svgHex(c) + "\" stroke-width=\"0.4\" stroke-linejoin=\"round\"";
}

std::string svgPolygon(const std::vector<Vec2>& points, const std::string& paint) {
  return "  <polygon points=\"" + svgPoints(points) + "\" " + paint + "/>\n";
}

}  // namespace

Colour gemColour(int kind) {
  switch (kind) {
    case 1: return rgb(232, 36, 52);
    case 2: return rgb(46, 204, 84);
    case 3: return rgb(40, 116, 250);
    case 4: return rgb(255, 206, 36);
    case 5: return rgb(176, 72, 232);
    default: return rgb(200, 200, 200);
  }
}

Outline gemSilhouette(int kind, Vec2 centre, float radius, float degrees) {
  return Outline(makeCut(kind, centre, radius, degrees).rim);
}

void drawGem(Canvas& c, int kind, Vec2 centre, float radius, float degrees) {
  if (kind < 1 || kind > kGemKinds) return;
  Cut cut = makeCut(kind, centre, radius, degrees);
  Outline rim(cut.rim), table(cut.table);
  Colour base = gemColour(kind);
  Colour edge = shade(base, 0.30f);
  edge.a = 0.95f;
  float edgeHalf = std::max(0.45f, radius * 0.035f);
  size_t n = cut.rim.size();
  Vec2 lightDir = lightDirection();
  Vec2 tableCentre = tableCentreOf(centre, radius);
  int samples = c.level() == 1 ? 5 : 3;

  paintSupersampled(c, rim.bounds().grown(edgeHalf + 1), samples, [&](Vec2 p) -> Colour {
    float d = rim.sd(p);
    if (d > edgeHalf) return {0, 0, 0, 0};
    if (d > -edgeHalf) return edge;
    if (table.sd(p) < 0) {
      // Table: lit across from the light side, brighter near the light.
      float t = clamp01(0.5f - dot(p - tableCentre, lightDir) / (radius * cut.tableScale * 2));
      return mix(base, tint(base, 0.42f), t);
    }
    for (size_t i = 0; i < n; ++i) {
      size_t j = (i + 1) % n;
      Vec2 mid = (cut.rim[i] + cut.rim[j]) * 0.5f;
      Vec2 out = mid - centre;
      if (inTriangle(p, cut.rim[i], cut.rim[j], cut.table[i])) return facetColour(base, facetLight(out, 0.06f));
      if (inTriangle(p, cut.rim[j], cut.table[j], cut.table[i])) return facetColour(base, facetLight(out, -0.08f));
    }
    return base;
  });

  // Thin light line round the table: the crisp edge that makes it read as cut.
  fillShape(
      c, table.bounds().grown(1), [&](Vec2 p) { return std::fabs(table.sd(p)) - edgeHalf * 0.45f; },
      [&](Vec2, float) { return withAlpha(tint(base, 0.7f), 0.55f); });

  // Soft glare on the table and a small four-pointed sparkle near the rim.
  Vec2 glare = glareCentre(cut, centre, radius);
  Vec2 glareR = glareRadii(radius);
  fillSoft(
      c, boxAround(glare, radius * 0.4f),
      [&](Vec2 p) {
    Vec2 q = rotated(p - glare, kGlareDegrees);
    return sdEllipse(q, {0, 0}, glareR);
      },
      withAlpha(rgb(255, 255, 255), 0.75f), 0.0f, radius * 0.12f);
  // Below about six pixels across the sparkle would read as a plus sign: left out.
  float sparkleRadius = radius * 0.24f;
  if (sparkleRadius * c.level() < 6.0f) return;
  Outline sparkle = sparkleShape(rim, centre, radius);
  fillSoft(
      c, sparkle.bounds(), [&](Vec2 p) { return sparkle.sd(p); }, withAlpha(rgb(255, 255, 255), 0.95f), 0.0f,
      std::max(0.35f, radius * 0.03f));
}

std::string gemSvg(int kind, float size, float radius) {
  const Vec2 centre{size / 2, size / 2};
  const Cut cut = makeCut(kind, centre, radius, 0);
  const Outline rim(cut.rim);
  const Colour base = gemColour(kind);
  const float edgeWidth = 2 * std::max(0.45f, radius * 0.035f);
  const Vec2 lightDir = lightDirection(), tableCentre = tableCentreOf(centre, radius);
  const Vec2 litEnd = tableCentre + lightDir * (radius * cut.tableScale);
  const Vec2 farEnd = tableCentre - lightDir * (radius * cut.tableScale);
  const Vec2 glare = glareCentre(cut, centre, radius), glareR = glareRadii(radius);

  std::string svg =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
      svgNumber(size) + "\" height=\"" + svgNumber(size) + "\" viewBox=\"0 0 " + svgNumber(size) + " " +
      svgNumber(size) + "\">\n";
  // The table is lit across from the side of the light; the glare fades out
  // toward its rim.
  svg +=
      "  <defs>\n"
      "    <linearGradient id=\"table\" gradientUnits=\"userSpaceOnUse\" x1=\"" +
      svgNumber(litEnd.x) + "\" y1=\"" + svgNumber(litEnd.y) + "\" x2=\"" + svgNumber(farEnd.x) + "\" y2=\"" +
      svgNumber(farEnd.y) + "\">\n      <stop offset=\"0\" stop-color=\"" + svgHex(base) +
      "\"/>\n"
      "      <stop offset=\"1\" stop-color=\"" +
      svgHex(tint(base, 0.42f)) +
      "\"/>\n    </linearGradient>\n"
      "    <radialGradient id=\"glare\">\n"
      "      <stop offset=\"0.4\" stop-color=\"#ffffff\" stop-opacity=\"0.75\"/>\n"
      "      <stop offset=\"1\" stop-color=\"#ffffff\" stop-opacity=\"0\"/>\n    </radialGradient>\n"
      "  </defs>\n";
  const size_t n = cut.rim.size();
  for (size_t i = 0; i < n; ++i) {
    const size_t j = (i + 1) % n;
    const Vec2 out = (cut.rim[i] + cut.rim[j]) * 0.5f - centre;
    svg += svgPolygon({cut.rim[i], cut.rim[j], cut.table[i]}, facetPaint(facetColour(base, facetLight(out, 0.06f))));
    svg += svgPolygon({cut.rim[j], cut.table[j], cut.table[i]}, facetPaint(facetColour(base, facetLight(out, -0.08f))));
  }
  svg += svgPolygon(cut.table, "fill=\"url(#table)\" stroke=\"" + svgHex(tint(base, 0.7f)) +
                                   "\" stroke-opacity=\"0.55\" stroke-width=\"" + svgNumber(edgeWidth * 0.45f) + "\"");
  Colour edge = shade(base, 0.30f);
  svg += svgPolygon(cut.rim, "fill=\"none\" stroke=\"" + svgHex(edge) + "\" stroke-opacity=\"0.95\" stroke-width=\"" +
                                 svgNumber(edgeWidth) + "\" stroke-linejoin=\"round\"");
  // Soft edges reach radius * 0.12 beyond the ellipse in the raster drawing.
  const float soft = radius * 0.12f;
  svg += "  <ellipse cx=\"0\" cy=\"0\" rx=\"" + svgNumber(glareR.x + soft) + "\" ry=\"" + svgNumber(glareR.y + soft) +
         "\" fill=\"url(#glare)\" transform=\"translate(" + svgNumber(glare.x) + " " + svgNumber(glare.y) +
         ") rotate(" + svgNumber(-kGlareDegrees) + ")\"/>\n";
  const Outline sparkle = sparkleShape(rim, centre, radius);
  svg += svgPolygon(sparkle.contours().front(), "fill=\"#ffffff\" fill-opacity=\"0.95\"");
  svg += "</svg>\n";
  return svg;
}

}  // namespace assetgen
