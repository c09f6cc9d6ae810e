#include "host/vorbis_memory.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Every block carries a header linking it into the list of held blocks, so
// that a scope can free what the decoder forgot.
struct alignas(alignof(std::max_align_t)) BlockHeader {
  BlockHeader* prev;
  BlockHeader* next;
  size_t size;
};

BlockHeader heldList = {&heldList, &heldList, 0};
size_t heldBytes = 0;
// Outside a scope nothing limits the decoder; readOgg always opens one.
size_t limitBytes = SIZE_MAX;

BlockHeader* headerOf(void* block) { return static_cast<BlockHeader*>(block) - 1; }

void detach(BlockHeader* h) {
  h->prev->next = h->next;
  h->next->prev = h->prev;
  heldBytes -= h->size;
}

void attach(BlockHeader* h, size_t size) {
  h->size = size;
  h->prev = heldList.prev;
  h->next = &heldList;
  heldList.prev->next = h;
  heldList.prev = h;
  heldBytes += size;
}

bool fits(size_t size) { return size <= limitBytes && heldBytes <= limitBytes - size; }

}  // namespace

// Blocks come zeroed: on a broken stream the decoder frees entries of a table
// it never filled (the comment list), which are then null instead of garbage.
extern "C" void* korvane_vorbis_malloc(size_t size) {
  if (size == 0 || !fits(size)) return nullptr;
  auto* h = static_cast<BlockHeader*>(std::calloc(1, sizeof(BlockHeader) + size));
  if (!h) return nullptr;
  attach(h, size);
  return h + 1;
}

extern "C" void korvane_vorbis_free(void* block) {
  if (!block) return;
  BlockHeader* h = headerOf(block);
  detach(h);
  std::free(h);
}

extern "C" void* korvane_vorbis_realloc(void* block, size_t size) {
  if (!block) return korvane_vorbis_malloc(size);
  size_t old = headerOf(block)->size;
  void* grown = korvane_vorbis_malloc(size);
  if (!grown) return nullptr;  // the old block stays valid, as with realloc
  std::memcpy(grown, block, old < size ? old : size);
  korvane_vorbis_free(block);
  return grown;
}

VorbisHeapScope::VorbisHeapScope(size_t limit) { limitBytes = limit; }

VorbisHeapScope::~VorbisHeapScope() {
  while (heldList.next != &heldList) {
    BlockHeader* h = heldList.next;
    detach(h);
    std::free(h);
  }
  limitBytes = SIZE_MAX;
}

size_t VorbisHeapScope::heldBytes() { return ::heldBytes; }
