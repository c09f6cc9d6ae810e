// stb_image from the system's stb package, compiled into the host (with its
// warnings silenced: third-party code) instead of taken from the shared
// library, for two reasons. Its fresh blocks are zero-filled, so that the
// parts of an image that a damaged file never writes come out black every
// time instead of as leftover memory (buffers it grows are filled in order
// before they are read). And its own size limit matches the largest texture,
// so that forged headers are refused before any allocation.
#include "host/stb_image_build.h"

#include <cstdlib>
#include <cstring>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 16384
#define STBI_MALLOC(size) std::calloc(1, size)
#define STBI_REALLOC(block, size) std::realloc(block, size)
#define STBI_FREE(block) std::free(block)
#include <stb_image.h>

namespace stb_image {

int Info(const unsigned char* bytes, int length, int* width, int* height, int* channels) {
  return stbi_info_from_memory(bytes, length, width, height, channels);
}

namespace {

// Hands the file's bytes to the decoder and notes whether it ever asked for
// bytes beyond the end. Several of its readers (TGA, BMP, PNM, JPEG scans)
// take the end of the data as zeros and carry on: a file cut short would
// otherwise come back as an image with a blank remainder.
struct MemoryReader {
  const unsigned char* bytes;
  int length;
  int pos;
  bool wantedMore;
};

int readBytes(void* user, char* out, int size) {
  auto* reader = static_cast<MemoryReader*>(user);
  const int available = reader->length - reader->pos;
  const int count = size < available ? size : available;
  if (count <= 0) {
    reader->wantedMore = true;
    return 0;
  }
  std::memcpy(out, reader->bytes + reader->pos, static_cast<size_t>(count));
  reader->pos += count;
  return count;
}

// Negative counts step back over bytes already read.
void skipBytes(void* user, int count) {
  auto* reader = static_cast<MemoryReader*>(user);
  const long long pos = static_cast<long long>(reader->pos) + count;
  reader->pos = pos < 0 ? 0 : (pos > reader->length ? reader->length : static_cast<int>(pos));
}

int atEnd(void* user) {
  const auto* reader = static_cast<const MemoryReader*>(user);
  return reader->pos >= reader->length;
}

}  // namespace

unsigned char* Load(const unsigned char* bytes, int length, int* width, int* height, int* channels) {
  MemoryReader reader{bytes, length, 0, false};
  const stbi_io_callbacks callbacks{readBytes, skipBytes, atEnd};
  unsigned char* pixels = stbi_load_from_callbacks(&callbacks, &reader, width, height, channels, 0);
  if (pixels && reader.wantedMore) {
    stbi_image_free(pixels);
    return nullptr;
  }
  return pixels;
}

void Free(unsigned char* pixels) { stbi_image_free(pixels); }

}  // namespace stb_image
