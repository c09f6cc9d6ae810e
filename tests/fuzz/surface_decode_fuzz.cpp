// Fuzz target: arbitrary bytes as an image file. Decodes them both ways the
// surface loader reads (from a file stream, as LoadSurface does, and from
// memory) and premultiplies whatever decodes, as the texture upload would.
// Needs no OpenGL context. Any crash, sanitizer report, leak or output is a
// finding; refusing the input is the expected answer for nearly all of it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "host/graphics_device.h"

namespace {

// Both decodes must agree on what the bytes are.
void check(unsigned char* pixels, int width, int height, int depth) {
  if (!pixels) return;
  if (width <= 0 || height <= 0 || depth < 1 || depth > 4) std::abort();
  PremultiplyPixels(pixels, width, height, depth);
  unloadImage(pixels);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > (1u << 24)) return 0;
  int memWidth = 0, memHeight = 0, memDepth = 0;
  unsigned char* fromMemory = loadImage(data, static_cast<int>(size), &memWidth, &memHeight, &memDepth);

  int fileWidth = 0, fileHeight = 0, fileDepth = 0;
  unsigned char* fromFile = nullptr;
  if (FILE* file = fmemopen(const_cast<std::uint8_t*>(data), size, "rb")) {
    fromFile = loadImageFromFile(file, &fileWidth, &fileHeight, &fileDepth);
    std::fclose(file);
  }

  // Both ways must agree on whether and what size the image is. (Pixel values
  // are not compared: for some corrupt files the decoder leaves parts of the
  // image unwritten.)
  if ((fromMemory != nullptr) != (fromFile != nullptr)) std::abort();
  if (fromMemory && (memWidth != fileWidth || memHeight != fileHeight || memDepth != fileDepth)) {
    std::abort();
  }
  check(fromMemory, memWidth, memHeight, memDepth);
  check(fromFile, fileWidth, fileHeight, fileDepth);
  return 0;
}
