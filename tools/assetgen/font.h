// Glyph outlines from a TrueType font file, turned into Outline shapes in
// design units, and simple single-line text layout. The font file comes from a
// freely licensed system font package; only its outlines are used, the
// generator fills them itself so that text can be outlined, bevelled and lit
// like every other shape. Depends on stb_truetype (libstb) and geometry.h.
// Invariant: outlines are copied out of the font, so shapes made from a Font
// stay valid after it is gone.
#pragma once

#include <string>
#include <vector>

#include "tools/assetgen/geometry.h"

namespace assetgen {

class Font {
 public:
  // Reads the font file; ok() tells whether it could be used.
  explicit Font(const std::string& path);
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  ~Font();
  bool ok() const { return ok_; }

  // The outline of `codepoint` at `emSize` design units per em with its
  // baseline origin at `origin` (y grows downwards). Empty for blank glyphs.
  Outline glyph(int codepoint, float emSize, Vec2 origin) const;
  float advance(int codepoint, float emSize) const;
  // Height of capital letters as a fraction of the em size.
  float capHeight() const { return capHeight_; }

  // A single line of text laid out with kerning, its baseline at y, starting
  // at x, each glyph moved right by `tracking` extra units.
  ShapeSet text(const std::string& s, float emSize, Vec2 origin, float tracking = 0) const;
  float textWidth(const std::string& s, float emSize, float tracking = 0) const;
  // The same line centred on `centre`: horizontally on its advance width and
  // vertically on the capital height.
  ShapeSet centredText(const std::string& s, float emSize, Vec2 centre, float tracking = 0) const;

 private:
  struct Impl;
  Impl* impl_ = nullptr;
  bool ok_ = false;
  float capHeight_ = 0.73f;
};

}  // namespace assetgen
