// Collected objects, arrays and the incremental garbage collector.
//
// Every object derives from gc_object (through Object), is created with `new`
// and never deleted by hand. The collector is an incremental tri-colour
// mark-and-sweep that never scans the stack: it runs only in gc_collect(), at
// the host loop's safe points, so an object may sit in a local only within one
// call into the application and must otherwise be reachable from the roots.
//
// Invariant: a black object never refers to a white object that is not queued.
// Barrier rule that keeps it: every store of an object reference into a field,
// an array element or a global goes through gc_assign(); storing an array
// marks its representation at once. Every class's mark() gc_enqueue()s each
// object and array it references.
//
// Roots come from the hook gc_root_marker, which gc_mark() calls: the
// framework enqueues its device globals there, so the runtime includes no
// framework header. KORVANE_GC_STRESS builds finish a whole cycle and run
// every pending destructor at each step. Single-threaded, nothing locked;
// depends on the C++ library and runtime/string.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

#include "runtime/string.h"

// ---------------------------------------------------------------------------
// Object header and root classes

// The header of every collected object. `flags` holds the allocation size in
// bytes (a multiple of 8) ORed with the colour bit (bit 0) and the permanent
// bit (bit 1). Objects that were not allocated with `new` (statics, locals,
// the list sentinels) are permanent: the collector never marks, moves or
// frees them.
class gc_object {
 public:
  gc_object* succ;
  gc_object* pred;
  intptr_t flags;

  gc_object();
  gc_object(const gc_object&) = delete;
  gc_object& operator=(const gc_object&) = delete;
  virtual ~gc_object() {}
  // Enqueues every collected object this object references.
  virtual void mark() {}

  static void* operator new(size_t size);
  static void operator delete(void* p);
  // Construction in storage from gc_malloc() (arrays do this).
  static void* operator new(size_t, void* storage) { return storage; }
  static void operator delete(void*, void*) {}

  // A list sentinel: a permanent object linked to itself, set up during
  // constant initialisation so it is usable before any constructor runs.
  struct sentinel_tag {};
  constexpr explicit gc_object(sentinel_tag) : succ(this), pred(this), flags(kPermanent | 1) {}

  static constexpr intptr_t kColourBit = 1;
  static constexpr intptr_t kPermanent = 2;
  static constexpr intptr_t kFlagBits = 7;
};

// The language's root class.
class Object : public gc_object {
 public:
  // Identity.
  virtual bool Equals(Object* other);
  // Orders objects by address: negative, 0 (same object) or positive.
  virtual int Compare(Object* other);
  // "+Object\n"; shown by the debugger's stop protocol.
  virtual String debug();
};

// Objects the language throws; the program entry catches uncaught ones.
class ThrowableObject : public Object {};

// ---------------------------------------------------------------------------
// Collector state

extern gc_object gc_free_list;      // garbage waiting for its destructor
extern gc_object gc_marked_list;    // black: reached and traced
extern gc_object gc_unmarked_list;  // white: not yet reached this cycle
extern gc_object gc_queued_list;    // grey: reached, not yet traced

extern int gc_markbit;                // 0 or 1: `flags & 3` equal to it means white
extern int gc_alloced_bytes;          // allocated since the last sweep plus its survivors
extern int gc_max_alloced_bytes;      // highest value gc_alloced_bytes reached
extern int gc_marked_bytes;           // bytes moved to gc_marked_list this cycle
extern int gc_marked_objs;            // objects moved to gc_marked_list this cycle
extern int gc_free_bytes;             // bytes waiting on gc_free_list
extern int last_alloced;              // gc_alloced_bytes right after the last sweep
extern unsigned char gc_force_sweep;  // next gc_collect() sweeps and finalises all

// Small-block cache: gc_cache[size / 8] heads a LIFO list (linked through
// `succ`) of free blocks of that size; sizes 8 to kGcCacheMaxBytes are cached.
constexpr int kGcCacheClasses = 8;
constexpr int kGcCacheMaxBytes = 56;
extern gc_object* gc_cache[kGcCacheClasses];

// The newest block gc_malloc handed out whose constructor has not yet run,
// or null. gc_object's constructor takes it.
extern gc_object* gc_unconstructed;
// The constructor's slow case: an object whose header value-initialisation
// wiped, an outer object whose arguments allocated more objects, or an object
// that is not from gc_malloc at all (a static or local), which becomes
// permanent.
void gc_adopt(gc_object* p);

// Inline, since it runs at every allocation: a block straight from gc_malloc
// keeps the header gc_malloc wrote. Reading `flags` before any member is
// initialised is the point: it was written by gc_malloc, or wiped.
// (GCC warns about that read; clang has no such warning.)
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
inline gc_object::gc_object() {
  if (this == gc_unconstructed && flags != 0) {
    gc_unconstructed = nullptr;
  } else {
    gc_adopt(this);
  }
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

// Called by gc_mark() to queue the roots; null means no roots. The framework
// installs one that gc_enqueue()s vl_graphics_device, vl_input_device,
// vl_audio_device, vl_app_device, vl_graphics_context and
// vl_graphics_renderDevice, in that order; tests install their own.
extern void (*gc_root_marker)();

// Watches the collector's steps from outside (tools that time them): when
// set, gc_collect() calls before() first and after() once the step is done,
// so before() still sees a pending gc_force_sweep. Null, the default, costs a
// step one test.
struct gc_step_hooks {
  void (*before)();
  void (*after)();
};
extern const gc_step_hooks* gc_step_observer;

// ---------------------------------------------------------------------------
// Collector operations

// Allocation sizes are multiples of this many bytes, which keeps the three
// flag bits of `flags` free.
constexpr int kGcSizeGranule = 8;

// `size` rounded up to the granule; at least one granule.
constexpr int gc_rounded_size(int size) {
  return size < 1 ? kGcSizeGranule : (size + kGcSizeGranule - 1) & ~(kGcSizeGranule - 1);
}

// gc_malloc for a size gc_rounded_size() gave.
void* gc_malloc_rounded(int size);

// Storage of `size` bytes (rounded up to a multiple of 8) for a new collected
// object: first finalises about as much garbage, then takes the block from the
// cache or the system, makes it white and appends it to gc_unmarked_list.
// Construct the object in it at once. Out of memory ends the program. Inline,
// so that the rounding of a constant size costs nothing.
inline void* gc_malloc(int size) { return gc_malloc_rounded(gc_rounded_size(size)); }

// The runtime's one out-of-memory exit, for objects and strings alike: flushes
// standard output, prints `format` (an "Out of memory: ..." line with one
// %lld) with `amount`, and exits with code -1.
[[noreturn]] void gc_out_of_memory(const char* format, long long amount);
// Ends the program with the out-of-memory message for a size beyond int.
[[noreturn]] void gc_size_overflow(size_t bytes);

// `bytes` as an allocation size; a size beyond int ends the program like an
// allocation failure.
inline int gc_checked_size(size_t bytes) {
  if (bytes > static_cast<size_t>(0x7fffffff - kGcSizeGranule)) gc_size_overflow(bytes);
  return static_cast<int>(bytes);
}

inline void* gc_object::operator new(size_t size) { return gc_malloc(gc_checked_size(size)); }
// Returns a finalised object's block to the cache or the system. Does not
// unlink it: gc_flush_free() unlinks before it runs the destructor.
void gc_free(gc_object* p);
// Finalises garbage worth at least `size` bytes, oldest first.
void gc_flush_free(int size);
// One collector step; the host loop calls it after every call into the
// application. Returns 0. Reports to gc_step_observer when set.
int gc_collect();
// Queues the roots (through gc_root_marker).
void gc_mark();
// Whether `p` is a white object (never true of a permanent one).
inline bool gc_is_white(const gc_object* p) { return (p->flags & 3) == gc_markbit; }
// The collector writes the headers of blocks before any constructor has run
// and after the destructor has: the sanitizer's check that a block holds an
// object of a dynamic type does not apply to the code that does.
#if defined(__GNUC__)
#define GC_RAW_HEADER_ACCESS __attribute__((no_sanitize("vptr")))
#else
#define GC_RAW_HEADER_ACCESS
#endif

// Takes `p` off the list that holds it.
GC_RAW_HEADER_ACCESS inline void gc_unlink(gc_object* p) {
  p->pred->succ = p->succ;
  p->succ->pred = p->pred;
}

// Links `p` at the tail of `list`.
GC_RAW_HEADER_ACCESS inline void gc_append(gc_object* list, gc_object* p) {
  p->pred = list->pred;
  p->succ = list;
  list->pred->succ = p;
  list->pred = p;
}

// gc_enqueue for an object known to be white: flips its colour and moves it
// to the tail of gc_queued_list. Inline, as every barrier on a new object
// comes here.
inline void gc_enqueue_white(gc_object* p) {
  p->flags ^= gc_object::kColourBit;
  gc_unlink(p);
  gc_append(&gc_queued_list, p);
}
// gc_mark for an object known to be white.
void gc_mark_white(gc_object* p);
// Debug builds (KORVANE_GC_CHECKS) assert the invariant at the end of every
// mark phase: each black object's mark() and the roots run again while
// gc_checking is set, gc_enqueue() and gc_mark() then only look at what they
// are given, and a white object ends the program. Release builds compile the
// check out entirely.
#ifdef KORVANE_GC_CHECKS
extern bool gc_checking;
[[noreturn]] void gc_invariant_broken(const gc_object* white);
#endif
// Whether the invariant check is running (it has then looked at `p`).
inline bool gc_checked(const gc_object* p) {
#ifdef KORVANE_GC_CHECKS
  if (gc_checking) {
    if (p && gc_is_white(p)) gc_invariant_broken(p);
    return true;
  }
#endif
  (void)p;
  return false;
}
// Greys `p` if it is white: it will be traced by a later step. Inline, since
// most calls (every barrier, every mark() field) meet null, grey or black.
inline void gc_enqueue(gc_object* p) {
  if (gc_checked(p)) return;
  if (p && gc_is_white(p)) gc_enqueue_white(p);
}
// Blackens `p` at once if it is white and runs its mark().
inline void gc_mark(gc_object* p) {
  if (gc_checked(p)) return;
  if (p && gc_is_white(p)) gc_mark_white(p);
}
// gc_init1: empties the four lists. gc_init2: queues the roots.
void gc_init1();
void gc_init2();

// Objects fetched ahead while an array is marked: its elements lie anywhere
// in the heap, and their addresses are known before their turn.
constexpr int kGcMarkAhead = 8;

template <class T>
void gc_mark_array(int n, T** elements) {
  for (int i = 0; i < n; ++i) {
    if (i + kGcMarkAhead < n) __builtin_prefetch(elements[i + kGcMarkAhead], 1);
    gc_mark(elements[i]);
  }
}

// The write barrier for object-typed fields, array elements and globals.
template <class T, class U>
void gc_assign(T*& field, U* value) {
  gc_enqueue(value);
  field = value;
}

// ---------------------------------------------------------------------------
// Arrays

// A fixed-length collected array. The handle is one pointer to its
// representation; copying it shares the representation. Length 0 is always a
// shared permanent representation. New elements are zero (object pointers
// null, numbers 0); string elements are the empty string.
template <class T>
class Array {
 public:
  class Rep : public gc_object {
   public:
    int length;

    T* data() { return reinterpret_cast<T*>(this + 1); }

    // A representation of n elements (n <= 0: the shared empty one).
    static Rep* alloc(int n);
    ~Rep() override;
    void mark() override;

   private:
    friend class Array;
    explicit Rep(int n) : length(n) {}
    // The shared empty representations: permanent, and constant-initialised,
    // so that no construction of an empty array tests for first use.
    struct empty_tag {};
    constexpr explicit Rep(empty_tag) : gc_object(gc_object::sentinel_tag{}), length(0) {}
  };

  Rep* rep;

  Array() : rep(&default_empty) {}
  explicit Array(int n) : rep(Rep::alloc(n)) {}
  // A new array holding a copy of the n elements at p.
  Array(const T* p, int n) : rep(Rep::alloc(n)) {
    for (int i = 0; i < rep->length; ++i) rep->data()[i] = p[i];
  }

  int Length() const { return rep->length; }
  T& operator[](int i) const { return rep->data()[i]; }
  T* Data() const { return rep->data(); }
  T* begin() const { return rep->data(); }
  T* end() const { return rep->data() + rep->length; }

 private:
  // One empty representation for the default constructor, another for
  // Rep::alloc(0): two arrays of length 0 are the same array only when made
  // the same way.
  static Rep default_empty;
  static Rep made_empty;
};

template <class T>
typename Array<T>::Rep* Array<T>::Rep::alloc(int n) {
  static_assert(sizeof(Rep) % alignof(T) == 0, "elements follow the header unaligned");
  if (n <= 0) return &Array::made_empty;
  size_t bytes = sizeof(Rep) + sizeof(T) * static_cast<size_t>(n);
  void* block = gc_malloc(gc_checked_size(bytes));
  Rep* rep = new (block) Rep(n);
  if constexpr (std::is_same_v<T, String>) {
    t_create(n, rep->data());
  } else {
    std::memset(static_cast<void*>(rep->data()), 0, sizeof(T) * static_cast<size_t>(n));
  }
  return rep;
}

template <class T>
typename Array<T>::Rep Array<T>::default_empty{typename Rep::empty_tag{}};
template <class T>
typename Array<T>::Rep Array<T>::made_empty{typename Rep::empty_tag{}};

template <class T>
Array<T>::Rep::~Rep() {
  if constexpr (std::is_same_v<T, String>) t_destroy(length, data());
}

template <class T>
void Array<T>::Rep::mark() {
  if constexpr (std::is_pointer_v<T>) gc_mark_array(length, data());
}

// Stores an array into an array-typed field: the new representation is marked
// at once, so a black holder never points to a white array.
template <class T>
void gc_assign(Array<T>& field, const Array<T>& value) {
  gc_mark(value.rep);
  field = value;
}

template <class T>
void gc_mark(const Array<T>& array) {
  gc_mark(array.rep);
}

template <class T>
void gc_enqueue(const Array<T>& array) {
  gc_enqueue(array.rep);
}
