// stb_image from the system's stb package, compiled into the host (with its
// warnings silenced: third-party code) instead of taken from the shared
// library, for two reasons. Its fresh blocks are zero-filled, so that the
// parts of an image that a damaged file never writes come out black every
// time instead of as leftover memory (buffers it grows are filled in order
// before they are read). And its own size limit matches the largest texture,
// so that forged headers are refused before any allocation.
#include "host/stb_image_build.h"

#include <cstdlib>

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

unsigned char* Load(const unsigned char* bytes, int length, int* width, int* height, int* channels) {
  return stbi_load_from_memory(bytes, length, width, height, channels, 0);
}

void Free(unsigned char* pixels) { stbi_image_free(pixels); }

}  // namespace stb_image
