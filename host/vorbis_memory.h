/* The Ogg Vorbis decoder's heap.

   stb_vorbis sizes its set-up allocations from fields of the file, some of
   them computed in 32-bit ints that a damaged file can overflow, and it does
   not release everything when a stream turns out to be broken. The decoder
   is therefore compiled into the host (host/vorbis_build.c) with its malloc,
   realloc and free routed here. Inside a VorbisHeapScope every block it holds
   counts against a byte limit (an allocation beyond it fails, which the
   decoder reports as a failed open), blocks come zeroed, and whatever is
   still held when the scope ends is freed. One scope at a time, on the main
   thread. */
#pragma once

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

void* korvane_vorbis_malloc(size_t size);
void* korvane_vorbis_realloc(void* block, size_t size);
void korvane_vorbis_free(void* block);

#ifdef __cplusplus
}

class VorbisHeapScope {
 public:
  explicit VorbisHeapScope(size_t limitBytes);
  ~VorbisHeapScope();
  VorbisHeapScope(const VorbisHeapScope&) = delete;
  VorbisHeapScope& operator=(const VorbisHeapScope&) = delete;

  // Bytes the decoder holds right now.
  static size_t heldBytes();
};
#endif
