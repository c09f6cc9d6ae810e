// The allocator, the lazy finaliser and the incremental collector step.
#include "runtime/gc.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <vector>

#include "runtime/errors.h"

#if defined(__SANITIZE_ADDRESS__)
#define KORVANE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KORVANE_ASAN 1
#endif
#endif
#ifdef KORVANE_ASAN
#include <sanitizer/asan_interface.h>
#endif

// The list heads are constant-initialised (constexpr constructor), so objects
// may be allocated from any static initialiser.
gc_object gc_free_list{gc_object::sentinel_tag{}};
gc_object gc_marked_list{gc_object::sentinel_tag{}};
gc_object gc_unmarked_list{gc_object::sentinel_tag{}};
gc_object gc_queued_list{gc_object::sentinel_tag{}};

int gc_markbit = 1;
int gc_alloced_bytes;
int gc_max_alloced_bytes;
int gc_marked_bytes;
int gc_marked_objs;
int gc_free_bytes;
int last_alloced;
unsigned char gc_force_sweep;
gc_object* gc_cache[kGcCacheClasses];
void (*gc_root_marker)();
const gc_step_hooks* gc_step_observer;

namespace {

constexpr int kMarkBudget = 2500;                 // objects traced per incremental step
constexpr int kSweepBytes = 4 * 1024 * 1024;      // allocation since the last sweep that allows one
constexpr int kFullModeBytes = 64 * 1024 * 1024;  // beyond this a step marks without budget
constexpr const char* kOutOfMemory = "Out of memory: the collector could not allocate %lld bytes\n";
constexpr const char* kLostObject = "Collector error: a new object left the list of new objects";
constexpr const char* kFreeListError = "ERROR:p=%p gc_free_bytes=%i\n";

// Ends the program with the out-of-memory message: the end of every
// allocation the collector makes, its own blocks and its records alike. The
// size is shown as an int, as the allocator counts sizes.
[[noreturn]] void outOfMemory(long long bytes) {
  gc_out_of_memory(kOutOfMemory, bytes > 0x7fffffff ? 0x7fffffff : bytes);
}

// --- list primitives -------------------------------------------------------

// gc_unlink() for `p`, the first object of `list`: its predecessor is the sentinel.
GC_RAW_HEADER_ACCESS void unlinkFirst(gc_object* list, gc_object* p) {
  gc_object* next = p->succ;
  list->succ = next;
  next->pred = list;
}

bool isEmpty(const gc_object* list) { return list->succ == list; }

void makeEmpty(gc_object* list) { list->succ = list->pred = list; }

// Moves every object of `from` to the tail of `to`; `from` becomes empty.
void spliceTail(gc_object* to, gc_object* from) {
  if (isEmpty(from)) return;
  gc_object* first = from->succ;
  gc_object* last = from->pred;
  first->pred = to->pred;
  to->pred->succ = first;
  last->succ = to;
  to->pred = last;
  makeEmpty(from);
}

GC_RAW_HEADER_ACCESS int sizeOf(const gc_object* p) { return static_cast<int>(p->flags & ~gc_object::kFlagBits); }

// --- finalisation order hints ----------------------------------------------------
//
// Lazy finalisation takes garbage from the head of gc_free_list, and each
// object's successor is known only once the object itself has been read: with
// a free list of several megabytes in no particular address order, every
// allocation would wait for one cache miss after the other. The hints record,
// in plain arrays, the order in which objects joined gc_unmarked_list and
// gc_marked_list; a sweep passes the white list's record on as the order of
// the garbage it frees, so finalisation can fetch the objects a few places
// ahead of their turn. The record may hold more objects than the lists (those
// that left a list since) but never misses an object or reorders them; the
// lists stay the only truth, and a hint that does not match costs only the
// prefetch.
namespace hint {

constexpr size_t kAhead = 32;        // objects fetched ahead of the one finalised
constexpr size_t kMarkAhead = 16;    // white objects fetched ahead of a full trace
constexpr size_t kSpareRecords = 4;  // finished records kept for their storage

// The records' storage, straight from the C library: a record that cannot
// grow ends the program with the out-of-memory message, where the standard
// allocator would throw std::bad_alloc out through the application and abort.
// It is called only when a record grows, so an append costs what a vector's
// always costs.
template <class T>
struct Storage {
  using value_type = T;
  Storage() = default;
  template <class U>
  Storage(const Storage<U>&) {}  // the containers rebind it to their own element types
  T* allocate(size_t n) {
    void* block = std::malloc(n * sizeof(T));
    if (!block) outOfMemory(static_cast<long long>(n * sizeof(T)));
    return static_cast<T*>(block);
  }
  void deallocate(T* p, size_t) { std::free(p); }
};
template <class T, class U>
bool operator==(const Storage<T>&, const Storage<U>&) {
  return true;
}
template <class T, class U>
bool operator!=(const Storage<T>&, const Storage<U>&) {
  return false;
}

using Record = std::vector<gc_object*, Storage<gc_object*>>;

Record unmarked;  // appends to gc_unmarked_list, in order
Record marked;    // appends to gc_marked_list, in order
// The white list's record at each sweep whose garbage still waits, oldest
// first. A record is never appended to once it is here, so the cursor into
// the first one stays valid until that record is finished. Each ends with
// kAhead null entries, so that neither the test at the cursor nor the fetch
// ahead of it needs a bound: a null entry matches no object, and fetching
// null is harmless.
std::deque<Record, Storage<Record>> freed;
gc_object* const kNoEntries[kAhead + 1] = {};
gc_object* const* cursor = kNoEntries;     // the free list's head in freed.front(), or past it
gc_object* const* cursorEnd = kNoEntries;  // the first null entry
// Finished records, cleared: their storage serves the next cycles, so that
// the records of a large heap are not grown again (copied, and fresh pages
// faulted in) at every cycle, nor copied at a sweep.
std::vector<Record, Storage<Record>> spare;
size_t traced = 0;  // objects a full trace has taken this cycle

Record takeSpare() {
  if (spare.empty()) return Record();
  Record record = std::move(spare.back());
  spare.pop_back();
  return record;
}

void openFirst() {
  if (freed.empty()) {
    cursor = cursorEnd = kNoEntries;
    return;
  }
  cursor = freed.front().data();
  cursorEnd = cursor + freed.front().size() - kAhead;
}

void finishFirst() {
  if (spare.size() < kSpareRecords) {
    freed.front().clear();
    spare.push_back(std::move(freed.front()));
  }
  freed.pop_front();
  openFirst();
}

// The free list ran empty: no record holds an object still waiting.
void forgetFreed() {
  while (!freed.empty()) finishFirst();
}

void clear() {
  forgetFreed();
  unmarked.clear();
  marked.clear();
  traced = 0;
}

// At a sweep: the white objects become garbage, the black ones white.
void sweep() {
  if (isEmpty(&gc_free_list)) forgetFreed();
  unmarked.insert(unmarked.end(), kAhead, nullptr);
  freed.push_back(std::move(unmarked));
  if (freed.size() == 1) openFirst();
  unmarked = std::move(marked);
  marked = takeSpare();
  traced = 0;
}

// Fetches both ends of a small object: one that straddles two cache lines
// would otherwise wait for its second line when it is traced or its block is
// reused. The address is computed as an integer, since `p` may be null
// (a record's padding), and fetching any address is harmless.
inline void fetchObject(const gc_object* p) {
  auto first = reinterpret_cast<uintptr_t>(p);
  __builtin_prefetch(reinterpret_cast<const void*>(first), 1);
  __builtin_prefetch(reinterpret_cast<const void*>(first + kGcCacheMaxBytes - 1), 1);
}

// Moves the cursor forward to `head`, through later records if need be. Each
// entry is passed over once, so this costs O(1) per finalised object over time.
__attribute__((noinline)) void seek(const gc_object* head) {
  while (cursor != cursorEnd || !freed.empty()) {
    while (cursor != cursorEnd && *cursor != head) ++cursor;
    if (cursor != cursorEnd) return;
    finishFirst();
  }
}

// Called with the free list's head before it is finalised: fetches the
// object kAhead places further on. The head is usually right at the cursor,
// since garbage leaves the free list in the order of its record.
inline void fetchAhead(const gc_object* head) {
  if (*cursor != head) {
    seek(head);
    if (*cursor != head) return;
  }
  fetchObject(cursor[kAhead]);
  ++cursor;
}

// A full trace reaches the survivors of the last cycle in about the order in
// which it reached them then, which is the white list's order: fetching that
// record ahead turns a trace through the whole heap into mostly cache hits.
void fetchWhiteAhead() {
  size_t ahead = traced++ + kMarkAhead;
  if (ahead < unmarked.size()) fetchObject(unmarked[ahead]);
}

}  // namespace hint

void turnBlack(gc_object* p) {
  gc_append(&gc_marked_list, p);
  hint::marked.push_back(p);
  gc_marked_bytes += sizeOf(p);
  ++gc_marked_objs;
}

// --- blocks ------------------------------------------------------------------

// Every block holds at least a header, whatever size the caller accounts for.
size_t blockBytes(int size) {
  return size < static_cast<int>(sizeof(gc_object)) ? sizeof(gc_object) : static_cast<size_t>(size);
}

__attribute__((noinline)) void* systemBlock(int size) {
  void* block = std::malloc(blockBytes(size));
  if (!block) outOfMemory(size);
  return block;
}

#ifdef KORVANE_ASAN
// Under AddressSanitizer every fresh block comes from the system allocator,
// which guards each one, so that an overrun into a neighbouring block is
// caught; the cache poisons the blocks it holds.
void* freshSmallBlock(int size) { return systemBlock(size); }
#else
// Fresh small blocks are cut from chunks, one chunk at a time per size class,
// so that objects of a class lie densely in few pages: lazy finalisation and
// marking visit them in list order, not address order, and a heap spread
// thinly over the system allocator's pages costs a translation miss on top of
// each cache miss. Chunks are never returned, like the blocks in the cache.
constexpr size_t kChunkBytes = 1024 * 1024;

struct Chunk {
  char* next;
  char* end;
};
Chunk chunks[kGcCacheClasses];

__attribute__((noinline)) void* freshSmallBlock(int size) {
  Chunk& chunk = chunks[size / kGcSizeGranule];
  // Spaced like the system allocator's blocks, for objects of any alignment.
  constexpr size_t kAlign = alignof(std::max_align_t);
  size_t bytes = (blockBytes(size) + kAlign - 1) & ~(kAlign - 1);
  if (static_cast<size_t>(chunk.end - chunk.next) < bytes) {
    chunk.next = static_cast<char*>(std::malloc(kChunkBytes));
    if (!chunk.next) outOfMemory(size);
    chunk.end = chunk.next + kChunkBytes;
  }
  void* block = chunk.next;
  chunk.next += bytes;
  return block;
}
#endif

GC_RAW_HEADER_ACCESS void* takeBlock(int size) {
  if (size > kGcCacheMaxBytes) return systemBlock(size);
  gc_object*& head = gc_cache[size / kGcSizeGranule];
  gc_object* block = head;
  if (!block) return freshSmallBlock(size);
#ifdef KORVANE_ASAN
  ASAN_UNPOISON_MEMORY_REGION(block, blockBytes(size));
#endif
  head = block->succ;
  return block;
}

// --- objects whose header value-initialisation wiped ---------------------------
//
// `new T()` of a class without a user-provided constructor zero-fills the whole
// object, header included, after gc_malloc has linked it and before the
// constructors run. gc_malloc therefore remembers the block it hands out, with
// its flags and predecessor, until gc_object's constructor takes it; the inline
// constructor settles the usual case (the newest block, header intact) and
// gc_adopt the others. A block still waiting when gc_malloc hands out the next
// one (an outer object whose arguments allocate) moves to a small ring.
// Objects nobody remembered (statics, locals) become permanent.

struct Pending {
  gc_object* block;
  intptr_t flags;
  gc_object* pred;  // the tail of gc_unmarked_list when the block was linked
};

intptr_t newest_flags;  // gc_unconstructed's flags and predecessor
gc_object* newest_pred;

constexpr unsigned kOlderSlots = 256;  // far beyond any nesting of new-expressions; a power of two
Pending older[kOlderSlots];
unsigned older_top;  // ring position of the next entry

__attribute__((noinline)) void keepOlder() {
  older[older_top] = Pending{gc_unconstructed, newest_flags, newest_pred};
  older_top = (older_top + 1) & (kOlderSlots - 1);
}

inline void remember(gc_object* block, intptr_t flags, gc_object* pred) {
  if (__builtin_expect(gc_unconstructed != nullptr, 0)) keepOlder();
  gc_unconstructed = block;
  newest_flags = flags;
  newest_pred = pred;
}

// The ring's entry for `block`, newest first; null when there is none.
Pending* findOlder(const gc_object* block) {
  for (unsigned i = 1; i <= kOlderSlots; ++i) {
    Pending& entry = older[(older_top - i) & (kOlderSlots - 1)];
    if (entry.block == block) return &entry;
  }
  return nullptr;
}

// Takes what was remembered of `block`; false when nothing was.
bool takeRemembered(const gc_object* block, Pending* out) {
  if (block == gc_unconstructed) {
    *out = Pending{gc_unconstructed, newest_flags, newest_pred};
    gc_unconstructed = nullptr;
    return true;
  }
  Pending* entry = findOlder(block);
  if (!entry) return false;
  *out = *entry;
  entry->block = nullptr;
  return true;
}

// The object's neighbours still point to it; only its own links are lost.
GC_RAW_HEADER_ACCESS void repairLinks(gc_object* p, const Pending& entry) {
  gc_object* after = &gc_unmarked_list;
  while (after->pred != p) {  // past the objects allocated after p
    after = after->pred;
    if (after == &gc_unmarked_list) fail(kLostObject);
  }
  p->succ = after;
  if (entry.pred->succ == p) {
    p->pred = entry.pred;
    return;
  }
  gc_object* before = &gc_unmarked_list;
  while (before->succ != p) before = before->succ;
  p->pred = before;
}

}  // namespace

// --- gc_object and Object ------------------------------------------------------

gc_object* gc_unconstructed;

GC_RAW_HEADER_ACCESS void gc_adopt(gc_object* p) {
  Pending entry;
  if (!takeRemembered(p, &entry)) {
    p->succ = p->pred = p;
    p->flags = gc_object::kPermanent | gc_object::kColourBit;
    return;
  }
  if (p->flags == entry.flags) return;
  p->flags = entry.flags;
  repairLinks(p, entry);
}

GC_RAW_HEADER_ACCESS void gc_object::operator delete(void* p) {
  gc_object* object = static_cast<gc_object*>(p);
  if (object->succ) {
    // Only a new-expression whose constructor or arguments threw deletes a
    // collected object: the block is still linked and accounted as live.
    Pending entry;
    takeRemembered(object, &entry);
    gc_unlink(object);
    gc_alloced_bytes -= sizeOf(object);
    gc_free_bytes += sizeOf(object);
  }
  gc_free(object);
}

bool Object::Equals(Object* other) { return this == other; }

int Object::Compare(Object* other) {
  auto self = reinterpret_cast<uintptr_t>(this);
  auto that = reinterpret_cast<uintptr_t>(other);
  return self < that ? -1 : (self > that ? 1 : 0);
}

String Object::debug() { return String("+Object\n"); }

// --- allocation and finalisation -------------------------------------------------

void gc_out_of_memory(const char* format, long long amount) {
  std::fflush(stdout);
  std::printf(format, amount);
  std::fflush(stdout);
  std::exit(-1);
}

void gc_size_overflow(size_t bytes) { outOfMemory(static_cast<long long>(bytes)); }

namespace {

// Takes the free list's head `p` off the list and runs its class's clean-up
// through the virtual destructor; releasing the block is left to the caller.
GC_RAW_HEADER_ACCESS inline void finaliseHead(gc_object* p) {
  hint::fetchAhead(p);
  unlinkFirst(&gc_free_list, p);
  p->~gc_object();
}

// The steady state of allocation: the oldest garbage is a single object of
// exactly the size asked for. gc_flush_free would finalise just that object
// and put its block on top of the cache, and the allocation would take it
// straight back; the block is reused here without the round trip. Null when
// the oldest garbage is anything else (the general path then applies).
GC_RAW_HEADER_ACCESS inline gc_object* reuseOldest(int size) {
  gc_object* p = gc_free_list.succ;
  if (size > kGcCacheMaxBytes || gc_free_bytes < size || !p || sizeOf(p) != size) return nullptr;
  finaliseHead(p);
  gc_free_bytes -= size;
  return p;
}

}  // namespace

GC_RAW_HEADER_ACCESS void* gc_malloc_rounded(int size) {
  gc_object* p = reuseOldest(size);
  if (!p) {
    gc_flush_free(size);
    p = static_cast<gc_object*>(takeBlock(size));
  }
  intptr_t flags = size | gc_markbit;
  p->flags = flags;
  remember(p, flags, gc_unmarked_list.pred);
  gc_append(&gc_unmarked_list, p);
  hint::unmarked.push_back(p);
  gc_alloced_bytes += size;
  if (gc_alloced_bytes > gc_max_alloced_bytes) gc_max_alloced_bytes = gc_alloced_bytes;
  return p;
}

GC_RAW_HEADER_ACCESS void gc_free(gc_object* p) {
  int size = sizeOf(p);
  gc_free_bytes -= size;
  if (size <= kGcCacheMaxBytes) {
    gc_object*& head = gc_cache[size / kGcSizeGranule];
    p->succ = head;
    head = p;
#ifdef KORVANE_ASAN
    // Everything but the link word: a stale pointer into a cached block faults.
    constexpr size_t kLinkEnd = 2 * sizeof(void*);  // the vtable pointer, then succ
    ASAN_POISON_MEMORY_REGION(reinterpret_cast<char*>(p) + kLinkEnd, blockBytes(size) - kLinkEnd);
#endif
    return;
  }
  std::free(p);
}

namespace {

// gc_free_bytes claims garbage the free list does not hold.
__attribute__((noinline, cold)) void reportEmptyFreeList(const gc_object* head) {
  std::printf(kFreeListError, static_cast<const void*>(head), gc_free_bytes);
  std::fflush(stdout);
  gc_free_bytes = 0;
  hint::forgetFreed();
}

}  // namespace

void gc_flush_free(int size) {
  int target = gc_free_bytes - size;
  if (target < 0) target = 0;
  while (gc_free_bytes > target) {
    gc_object* p = gc_free_list.succ;
    if (__builtin_expect(!p || p == &gc_free_list, 0)) {
      reportEmptyFreeList(p);
      return;
    }
    // What `delete p` does, without a second call through operator delete
    // and its test for an object still linked.
    finaliseHead(p);
    gc_free(p);
  }
}

// --- marking -------------------------------------------------------------------

void gc_mark_white(gc_object* p) {
  p->flags ^= gc_object::kColourBit;
  gc_unlink(p);
  turnBlack(p);
  p->mark();
}

void gc_mark() {
  if (gc_root_marker) gc_root_marker();
}

void gc_init1() {
  makeEmpty(&gc_free_list);
  makeEmpty(&gc_marked_list);
  makeEmpty(&gc_unmarked_list);
  makeEmpty(&gc_queued_list);
  hint::clear();
}

void gc_init2() { gc_mark(); }

// --- the collector step ----------------------------------------------------------

namespace {

// Takes the first queued object off the queue, turns it black and traces it.
inline void traceFirst(gc_object* p) {
  unlinkFirst(&gc_queued_list, p);
  turnBlack(p);
  p->mark();
}

// Traces queued objects until `budget` objects are black this cycle.
void traceIncremental(int budget) {
  while (gc_marked_objs < budget) {
    gc_object* p = gc_queued_list.succ;
    if (p == &gc_queued_list) return;
    traceFirst(p);
  }
}

// Traces until the queue is empty.
void traceFull() {
  for (gc_object* p; (p = gc_queued_list.succ) != &gc_queued_list;) {
    hint::fetchWhiteAhead();
    traceFirst(p);
  }
}

// Every white object is garbage; survivors turn white again by flipping the
// meaning of the colour bit, and the roots start the next cycle.
//
// A cycle in which no object stayed white still ends here: when every new
// object is stored (and so greyed) before the step, the white list is always
// empty, and skipping the sweep would keep every black object, garbage
// included, black for ever, so the heap would grow without bound. Only a
// collector with no objects at all has nothing to do.
void sweep() {
  if (isEmpty(&gc_unmarked_list) && isEmpty(&gc_marked_list)) return;
  hint::sweep();
  spliceTail(&gc_free_list, &gc_unmarked_list);
  gc_free_bytes += gc_alloced_bytes - gc_marked_bytes;
  gc_alloced_bytes = gc_marked_bytes;
  spliceTail(&gc_unmarked_list, &gc_marked_list);
  gc_marked_bytes = 0;
  gc_marked_objs = 0;
  gc_markbit ^= 1;
  gc_mark();
  last_alloced = gc_alloced_bytes;
}

#ifdef KORVANE_GC_CHECKS
// At the end of a mark phase nothing is grey, so every object a black object
// or a root refers to must be black: anything white now would be swept while
// still in use.
void checkTriColour() {
  gc_checking = true;
  for (gc_object* p = gc_marked_list.succ; p != &gc_marked_list; p = p->succ) p->mark();
  gc_mark();
  gc_checking = false;
}
#else
void checkTriColour() {}
#endif

void collectStep() {
#ifdef KORVANE_GC_STRESS
  // Stress builds finish a whole cycle and run every destructor at each step.
  gc_force_sweep = 1;
#endif
  int allocated = gc_alloced_bytes - last_alloced;
  bool full = gc_force_sweep || allocated > kFullModeBytes;
  if (full) {
    traceFull();
  } else {
    traceIncremental(gc_marked_objs + kMarkBudget);
  }
  if (isEmpty(&gc_queued_list) && (full || allocated > kSweepBytes)) {
    checkTriColour();
    sweep();
  }
  if (gc_force_sweep) {
    gc_flush_free(gc_free_bytes);
    if (isEmpty(&gc_free_list)) hint::forgetFreed();
    gc_force_sweep = 0;
  }
}

}  // namespace

#ifdef KORVANE_GC_CHECKS
bool gc_checking;

namespace {
constexpr const char* kInvariantBroken =
    "Collector error: a black object or a root refers to the white object %p (a store without gc_assign?)\n";
}  // namespace

void gc_invariant_broken(const gc_object* white) {
  std::fprintf(stderr, kInvariantBroken, static_cast<const void*>(white));
  std::abort();
}
#endif

int gc_collect() {
  const gc_step_hooks* observer = gc_step_observer;
  if (observer) observer->before();
  collectStep();
  if (observer) observer->after();
  return 0;
}
