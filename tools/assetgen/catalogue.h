// The list of everything the generator writes: each image sheet with its file
// name, frame size at level 1, frame count and the function that draws one
// frame, and each sound effect with its synthesiser. The game's loader fixes
// the names, frame sizes and counts; the pictures and sounds are ours.
// Sheets are written in three resolutions: "name.png" (level 1), "name-hd.png"
// (level 2) and "name-hd2.png" (level 4), each drawn natively at its level.
// Frames run left to right and wrap into rows; the column count is the same at
// every level and chosen so that no level-4 sheet is wider than 4096 pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/assetgen/canvas.h"
#include "tools/assetgen/font.h"

namespace assetgen {

// The fonts whose outlines the pictures use, loaded once.
struct Fonts {
  explicit Fonts(const std::string& dir);
  bool ok() const { return sansBold.ok() && monoBold.ok(); }
  Font sansBold;  // bold sans serif: logo, labels
  Font monoBold;  // bold monospaced: both bitmap fonts
};

// Draws frame `frame` into `c`, whose design size is the frame size.
using FrameDrawer = void (*)(Canvas& c, int frame, const Fonts& fonts);

// One image file the generator writes, in every resolution.
struct ImageSheet {
  std::string name;  // file name without resolution suffix and ".png"
  int frameWidth, frameHeight, frames;
  FrameDrawer draw;
};

constexpr int kLevels[] = {1, 2, 4};
constexpr int kMaxSheetPixels = 4096;  // common OpenGL texture size limit

const std::vector<ImageSheet>& imageSheets();
int sheetColumns(const ImageSheet& s);
int sheetRows(const ImageSheet& s);
// "name.png", "name-hd.png" or "name-hd2.png".
std::string sheetFileName(const ImageSheet& s, int level);
Canvas renderSheet(const ImageSheet& s, int level, const Fonts& fonts);

// The host's default font "kiri_font.png": 96 characters from code 32 in one
// strip, each frame with a one-pixel transparent gutter on both sides.
constexpr int kDefaultFontGlyphWidth = 8, kDefaultFontHeight = 13, kDefaultFontFrames = 96;
Canvas renderDefaultFont(const Fonts& fonts);

// Sound effects.
constexpr int kSampleRate = 44100;
// One WAV file the generator synthesises: a sound effect or an instrument
// sample of the song.
struct SynthesisedSound {
  std::string file;         // "sfx/002.wav"
  std::string description;  // one line, for the developer notes
  std::vector<float> (*synth)();
};
const std::vector<SynthesisedSound>& soundEffects();
// 16-bit mono PCM RIFF/WAVE bytes of samples in -1..1.
std::vector<uint8_t> encodeWav(const std::vector<float>& samples);
// PNG bytes of a canvas, or of 8-bit RGBA pixels.
std::vector<uint8_t> encodePng(const Canvas& c);
std::vector<uint8_t> encodeRgbaPng(int width, int height, const std::vector<uint8_t>& rgba);

// Frame drawers, by sheet.
void drawGemFrame(Canvas& c, int frame, const Fonts& fonts);
void drawPartFrame(Canvas& c, int frame, const Fonts& fonts);
void drawBadgeFrame(Canvas& c, int frame, const Fonts& fonts);
void drawIconFrame(Canvas& c, int frame, const Fonts& fonts);
void drawButtonFrame(Canvas& c, int frame, const Fonts& fonts);
void drawPadFrame(Canvas& c, int frame, const Fonts& fonts);
void drawArcadeFrame(Canvas& c, int frame, const Fonts& fonts);
void drawStudioFrame(Canvas& c, int frame, const Fonts& fonts);
void drawMenuFrame(Canvas& c, int frame, const Fonts& fonts);
void drawLogoFrame(Canvas& c, int frame, const Fonts& fonts);
void drawGameFontFrame(Canvas& c, int frame, const Fonts& fonts);

}  // namespace assetgen
