// Asset loading of the game object: the resolution level chosen from the
// window size, the images, font and sound effects loaded one per update into
// numbered slots while the loading screen shows, and two decoders that read
// data back out of rendered pixels (a colour grabber and a picture-encoded
// word list; the game's screens use neither).
#include "framework/audio.h"
#include "framework/graphics.h"
#include "game/my_app.h"
#include "game/resolution_levels.h"
#include "game/slots.h"
#include "game/texts.h"
#include "runtime/errors.h"

using namespace korvane;

namespace {

constexpr int kFontCellPixels = 16;  // character cell at level 1
constexpr int kFontFrames = 128;
constexpr int kFlagHandleCentre = 1;

// Sizes of the assets (frame sizes at level 1).
constexpr int kFontAdvance = 7;
constexpr int kFontLineHeight = 10;
constexpr int kLastLoadStep = 22;

// Pixel decoders read one 64 x 64 block from the top-left of the frame buffer.
constexpr int kGrabSize = 64;
constexpr int kGrabPixels = kGrabSize * kGrabSize;
constexpr int kWordsPerSheet = 2048;

struct ImageStep {
  int slot;
  const char* name;
  int w, h, frames;
};

void chooseLevel(vl_Korvane_MyApp& g) {
  const int w = vl_graphics_DeviceWidth();
  const int h = vl_graphics_DeviceHeight();
  g.hdLevel = 1;
  g.hdDrawScale = 1;
  if (w > kLevel2Above || h > kLevel2Above) {
    g.hdLevel = 2;
    g.hdDrawScale = 0.5f;
  }
  if (w > kLevel4Above || h > kLevel4Above) {
    g.hdLevel = 4;
    g.hdDrawScale = 0.25f;
  }
}

const char* levelSuffix(int level) {
  if (level == 2) return "-hd";
  if (level == 4) return "-hd2";
  return "";
}

bool validImageSlot(const vl_Korvane_MyApp& g, int slot) { return slot >= 0 && slot < g.images.Length(); }

void storeImage(vl_Korvane_MyApp& g, int slot, String path, int w, int h, int frames, int flags) {
  gc_assign(g.images[slot], static_cast<vl_graphics_Image*>(nullptr));
  gc_assign(g.images[slot], vl_graphics_LoadImage2(path, w, h, frames, flags));
  g.imageInfo[3 * slot] = w;
  g.imageInfo[3 * slot + 1] = h;
  g.imageInfo[3 * slot + 2] = frames;
}

// Colour byte reduced to 5 bits, rounded: 0..32.
int fiveBits(int byte) { return ((byte & 0xff) + 4) >> 3; }

// Reads the 64 x 64 block at the top-left of the frame buffer as 0xAARRGGBB.
Array<int> readBlock() {
  Array<int> pixels(kGrabPixels);
  vl_graphics_ReadPixels(pixels, 0, 0, kGrabSize, kGrabSize, 0, 0);
  return pixels;
}

// Draws one frame if the image has it; frames outside the image draw nothing.
void drawFrameIfPresent(vl_graphics_Image* image, float x, float y, int frame) {
  if (image == nullptr || frame < 0 || frame >= image->frames.Length()) return;
  vl_graphics_DrawImage(image, x, y, frame);
}

}  // namespace

int vl_Korvane_MyApp::m_LoadImg(int slot, String name, int w, int h, int frames, int flags) {
  if (!validImageSlot(*this, slot)) return 0;
  storeImage(*this, slot, name + String(levelSuffix(hdLevel)) + String(".png"), w * hdLevel, h * hdLevel, frames,
             flags);
  return 0;
}

int vl_Korvane_MyApp::m_LoadImgRaw(int slot, String name, int w, int h, int frames, int flags) {
  if (!validImageSlot(*this, slot)) return 0;
  storeImage(*this, slot, name + String(".png"), w, h, frames, flags);
  return 0;
}

int vl_Korvane_MyApp::m_LoadFont(int slot, String name, int advance, int lineHeight) {
  if (!validImageSlot(*this, slot)) return 0;
  const int cell = kFontCellPixels * hdLevel;
  storeImage(*this, slot, name + String(levelSuffix(hdLevel)) + String(".png"), cell, cell, kFontFrames,
             kFlagHandleCentre);
  // The font's advance and line height are virtual pixels, whatever the level.
  imageInfo[3 * slot] = advance;
  imageInfo[3 * slot + 1] = lineHeight;
  fontSlot = slot;
  return 0;
}

int vl_Korvane_MyApp::m_LoadSFX(int number) {
  if (number < 0 || number >= kSoundSlots) return 0;
  const char* prefix = number < 10 ? "sfx/00" : "sfx/0";
  gc_assign(sounds[number], vl_audio_LoadSound(String(prefix) + String(number) + String(".wav")));
  return 0;
}

int vl_Korvane_MyApp::m_Reload() {
  clearRed = 0;
  clearGreen = 0;
  clearBlue = 0;
  clearAlpha = 1;
  chooseLevel(*this);
  // The loading screen shows the logo and text from its first frame.
  m_LoadImg(kImageTeamLogo, String("common/ZEVOLogo"), 256, 256, 1, kFlagHandleCentre);
  m_LoadFont(kImageFont, String("fonts/editundo"), kFontAdvance, kFontLineHeight);
  loadStage = 1;
  return 0;
}

int vl_Korvane_MyApp::m_Loader() {
  static const ImageStep kImageSteps[] = {
      {kImageIcons, "common/icons", 32, 32, 16},        {kImageButtons, "common/Buttons", 64, 64, 16},
      {kImageDpad, "common/dpad", 32, 32, 16},          {kImageArcade, "common/icade", 64, 64, 2},
      {kImageTeamLogo, "common/ZEVOLogo", 256, 256, 1},
  };
  static const ImageStep kLaterImageSteps[] = {
      {kImageMenuArt, "menu", 256, 256, 4},  {kImageTitleLogo, "logo", 256, 128, 1}, {kImageParts, "parts", 8, 8, 16},
      {kImageBadges, "BadgesA", 64, 64, 64}, {kImageGems, "gems", 32, 32, 16},
  };
  static const int kFirstSounds[] = {kSfxSpare, kSfxSpareBell, kSfxClick, kSfxCredits};

  chooseLevel(*this);
  const int step = loadStage;
  if (step >= 1 && step <= 5) {
    const ImageStep& s = kImageSteps[step - 1];
    m_LoadImg(s.slot, String(s.name), s.w, s.h, s.frames, kFlagHandleCentre);
  } else if (step == 6) {
    m_LoadFont(kImageFont, String("fonts/editundo"), kFontAdvance, kFontLineHeight);
  } else if (step >= 7 && step <= 10) {
    m_LoadSFX(kFirstSounds[step - 7]);
  } else if (step >= 11 && step <= 15) {
    const ImageStep& s = kLaterImageSteps[step - 11];
    m_LoadImg(s.slot, String(s.name), s.w, s.h, s.frames, kFlagHandleCentre);
  } else if (step >= 16 && step <= kLastLoadStep) {
    m_LoadSFX(step - 16 + kSfxShatter);  // kSfxShatter to kSfxTargetReached
  }
  loadStage = (step >= 1 && step <= kLastLoadStep) ? step + 1 : 0;
  m_WaitStart(1);
  return 0;
}

// Runs in the render pass: clears the top-left block to a marker colour, draws
// the frame there and reads it back as 5-bit colour cells.
int vl_Korvane_MyApp::m_GrabImageData(int slot, int frame) {
  DebugLog(String(texts::kGrabbing) + String(slot) + String(":") + String(frame));
  vl_graphics_Cls(1, 0, 0);
  vl_graphics_SetAlpha(1);
  vl_graphics_SetColor(1, 0, 0);
  vl_graphics_DrawRect(0, 0, kGrabSize, kGrabSize);
  vl_graphics_SetColor(255, 255, 255);
  if (validImageSlot(*this, slot)) drawFrameIfPresent(images[slot], 0, 0, frame - 1);
  Array<int> pixels = readBlock();
  for (int i = 0; i < kGrabPixels; ++i) {
    const int argb = pixels[i];
    colourGrid[i * 4 + 0] = fiveBits(argb >> 16);
    colourGrid[i * 4 + 1] = fiveBits(argb >> 8);
    colourGrid[i * 4 + 2] = fiveBits(argb);
  }
  vl_graphics_Cls(1, 0, 0);
  return 0;
}

// Runs in the render pass: each frame of the word-list image holds 2048 words
// of six 5-bit fields, two pixels per word.
int vl_Korvane_MyApp::m_Loader_WordList() {
  vl_graphics_Cls(0, 0, 0);
  vl_graphics_SetColor(255, 255, 255);
  if (wordSheet < 1) wordSheet = 1;  // the first sheet is frame 0 of the image
  DebugLog(String(texts::kWordList) + String(wordSheet));
  drawFrameIfPresent(images[kImageWordList], kGrabSize / 2, kGrabSize / 2, wordSheet - 1);
  wordSheet = wordSheet + 1;
  Array<int> pixels = readBlock();
  if (wordList.Length() < wordCount + kWordsPerSheet) {
    Array<int> grown(wordCount + kWordsPerSheet);
    for (int i = 0; i < wordCount; ++i) grown[i] = wordList[i];
    gc_assign(wordList, grown);
  }
  for (int i = 0; i < kGrabPixels; i += 2) {
    const int p = pixels[i], q = pixels[i + 1];
    const int word = fiveBits(p) + (fiveBits(p >> 8) << 5) + (fiveBits(p >> 16) << 10) + (fiveBits(q) << 15) +
                     (fiveBits(q >> 8) << 20) + (fiveBits(q >> 16) << 25);
    wordList[wordCount] = word;
    wordCount = wordCount + 1;
  }
  vl_graphics_Cls(0, 0, 0);
  return 0;
}
