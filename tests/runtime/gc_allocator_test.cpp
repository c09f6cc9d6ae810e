// The allocator: size rounding, accounting, the size-class cache, lazy
// finalisation and the out-of-memory stop.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <malloc.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "gc_test_support.h"
#include "runtime/gc.h"

namespace {

using gctest::CollectorTest;
using gctest::finalised;
using gctest::root;
using gctest::Tracked;

// An object of exactly `Bytes` bytes.
template <size_t Bytes>
class Sized : public Object {
  char payload[Bytes - sizeof(Object)];
};

int allocated_for(int size) {
  int before = gc_alloced_bytes;
  new (gc_malloc(size)) gc_object;  // constructed, so the collector may finalise it
  return gc_alloced_bytes - before;
}

TEST_F(CollectorTest, SizesAreRoundedUpToEightBytes) {
  EXPECT_EQ(allocated_for(1), 8);
  EXPECT_EQ(allocated_for(8), 8);
  EXPECT_EQ(allocated_for(33), 40);
  EXPECT_EQ(allocated_for(56), 56);
  EXPECT_EQ(allocated_for(57), 64);
  gc_object* last = gc_unmarked_list.pred;
  EXPECT_EQ(last->flags & ~gc_object::kFlagBits, 64);
  EXPECT_EQ(last->flags & 3, gc_markbit) << "a new object must be white";
}

TEST_F(CollectorTest, MaximumFollowsThePeakOfLiveBytes) {
  int base = gc_max_alloced_bytes;
  for (int i = 0; i < 10; ++i) new Tracked(i);
  EXPECT_EQ(gc_max_alloced_bytes, base + 10 * 56);
  gc_force_sweep = 1;
  gc_collect();
  EXPECT_EQ(gc_alloced_bytes, 0);
  EXPECT_EQ(gc_max_alloced_bytes, base + 10 * 56) << "the maximum never falls";
}

TEST_F(CollectorTest, FreedSmallBlocksAreReusedLastInFirstOut) {
  static_assert(sizeof(Sized<48>) == 48, "test object must be a cached size");
  gc_object* a = new Sized<48>;
  gc_object* b = new Sized<48>;
  gc_force_sweep = 1;
  gc_collect();  // no roots: both are finalised, a first
  EXPECT_EQ(gc_cache[48 / 8], b);
  EXPECT_EQ(gc_cache[48 / 8]->succ, a);
  EXPECT_EQ(new Sized<48>, b);
  EXPECT_EQ(new Sized<48>, a);
  EXPECT_EQ(gc_cache[48 / 8], nullptr);
}

// An object whose payload is filled with its own number, to see whether any
// other object's storage overlaps it.
template <size_t Bytes>
class Stamped : public Object {
 public:
  explicit Stamped(unsigned char stamp_) : stamp(stamp_) { std::fill(payload, payload + sizeof payload, stamp); }
  bool intact() const {
    return std::all_of(payload, payload + sizeof payload, [this](unsigned char c) { return c == stamp; });
  }
  unsigned char stamp;
  unsigned char payload[Bytes - sizeof(Object) - 1];
};

template <size_t Bytes>
void expect_separate_aligned_blocks(int count) {
  std::vector<Stamped<Bytes>*> objects;
  for (int i = 0; i < count; ++i) objects.push_back(new Stamped<Bytes>(static_cast<unsigned char>(i * 7 + 1)));
  int overlapped = 0, misaligned = 0;
  for (auto* object : objects) {
    if (!object->intact()) ++overlapped;
    if (reinterpret_cast<uintptr_t>(object) % alignof(std::max_align_t) != 0) ++misaligned;
  }
  EXPECT_EQ(overlapped, 0) << Bytes << "-byte objects share storage";
  EXPECT_EQ(misaligned, 0) << Bytes << "-byte objects are not aligned for every type";
}

// Several megabytes of fresh small objects of every cached size, all alive at
// once: each has storage of its own, aligned like the system allocator's.
TEST_F(CollectorTest, FreshSmallObjectsOfEverySizeHaveSeparateAlignedStorage) {
  constexpr int kObjects = 40000;  // over a megabyte of each size
  expect_separate_aligned_blocks<40>(kObjects);
  expect_separate_aligned_blocks<48>(kObjects);
  expect_separate_aligned_blocks<56>(kObjects);
}

TEST_F(CollectorTest, BlocksAboveFiftySixBytesBypassTheCache) {
  gc_object* cached_before[kGcCacheClasses];
  std::copy(gc_cache, gc_cache + kGcCacheClasses, cached_before);
  new Sized<64>;
  new Sized<128>;
  gc_force_sweep = 1;
  gc_collect();
  EXPECT_EQ(gc_free_bytes, 0);
  for (int i = 0; i < kGcCacheClasses; ++i) EXPECT_EQ(gc_cache[i], cached_before[i]) << "class " << i;
}

// Sweeping with more than 4 MiB allocated, without forcing, leaves the
// garbage for later allocations to finalise.
void sweep_lazily() {
  Array<char> filler(5 * 1024 * 1024);
  gc_collect();
}

TEST_F(CollectorTest, GarbageIsFinalisedByLaterAllocationsOldestFirst) {
  SKIP_UNDER_STRESS();
  Tracked* oldest = new Tracked(1);
  for (int id = 2; id <= 3; ++id) new Tracked(id);
  sweep_lazily();
  EXPECT_TRUE(finalised().empty()) << "a sweep alone runs no destructor";
  EXPECT_EQ(gctest::count(gc_free_list), 4);
  gc_object* cached = gc_cache[sizeof(Tracked) / 8];
  // 56 bytes: finalises the oldest 56 bytes of garbage, whose block is then
  // the top of the cache and so the new object's.
  EXPECT_EQ(new Tracked(10), oldest);
  EXPECT_EQ(gc_cache[sizeof(Tracked) / 8], cached);
  EXPECT_EQ(finalised(), std::vector<int>({1}));
  new Tracked(11);
  new Tracked(12);
  EXPECT_EQ(finalised(), std::vector<int>({1, 2, 3}));
}

TEST_F(CollectorTest, AnAllocationFinalisesAtLeastItsOwnSizeOfGarbage) {
  SKIP_UNDER_STRESS();
  for (int id = 1; id <= 10; ++id) new Tracked(id);
  sweep_lazily();
  new Sized<200>;  // 200 bytes: four 56-byte objects
  EXPECT_EQ(finalised(), std::vector<int>({1, 2, 3, 4}));
}

// Ids of the Tracked objects on the free list, head first.
std::vector<int> free_list_ids() {
  std::vector<int> ids;
  for (gc_object* p = gc_free_list.succ; p != &gc_free_list; p = p->succ) {
    if (auto* tracked = dynamic_cast<Tracked*>(p)) ids.push_back(tracked->id);
  }
  return ids;
}

// A 5 MiB array that nothing references, so that the next step may sweep.
// Allocated before the cycle's other garbage, it is the oldest garbage of that
// sweep, and the next filler finalises it alone: younger garbage stays waiting.
void add_filler() { Array<char> filler(5 * 1024 * 1024); }

// Garbage of two sweeps waits at once, survivors left the white list between
// the objects that died, and an object whose constructor threw left it too:
// finalisation still takes exactly the free list's order, oldest first.
TEST_F(CollectorTest, LazyFinalisationFollowsTheFreeListAcrossSweepsAndSurvivors) {
  SKIP_UNDER_STRESS();
  constexpr int kObjects = 300;
  add_filler();
  root() = new Tracked(0);
  gc_init2();
  gc_assign(root()->children, Array<Tracked*>(kObjects));
  for (int i = 0; i < kObjects; ++i) {
    Tracked* t = new Tracked(i + 1);
    if (i % 3 != 0) gc_assign(root()->children[i], t);  // every third one is garbage at once
  }
  gc_collect();  // sweeps: the filler and every third object
  for (int i = 0; i < kObjects; i += 2) gc_assign(root()->children[i], static_cast<Tracked*>(nullptr));
  add_filler();  // finalises the first filler only
  for (int i = 0; i < 40; ++i) new Tracked(1000 + i);
  struct Throws : Tracked {
    Throws() : Tracked(-1) { throw 1; }
  };
  EXPECT_THROW(new Throws, int);
  gc_collect();  // sweeps: the dropped survivors, the second filler and the new objects
  const std::vector<int> expected = free_list_ids();
  ASSERT_GT(expected.size(), 150u) << "garbage of both sweeps should be waiting";
  finalised().clear();
  while (gc_free_bytes > 0) new Tracked(2000);
  EXPECT_EQ(finalised(), expected);
}

TEST_F(CollectorTest, ExhaustedFreeListPrintsTheErrorLineAndResets) {
  gc_free_bytes = 100;  // claims garbage the free list does not hold
  testing::internal::CaptureStdout();
  new Tracked(1);
  std::string out = testing::internal::GetCapturedStdout();
  char expected[128];
  std::snprintf(expected, sizeof expected, "ERROR:p=%p gc_free_bytes=%i\n", static_cast<void*>(&gc_free_list), 100);
  EXPECT_EQ(out, expected);
  EXPECT_EQ(gc_free_bytes, 0);
}

class Throws : public Object {
 public:
  Throws() { throw 7; }
};

TEST_F(CollectorTest, ObjectWhoseConstructorThrowsIsReleasedAndUnlinked) {
  int before = gc_alloced_bytes;
  int objects = gctest::count(gc_unmarked_list);
  EXPECT_THROW(new Throws, int);
  EXPECT_EQ(gc_alloced_bytes, before);
  EXPECT_EQ(gctest::count(gc_unmarked_list), objects);
}

// Classes without a user-provided constructor are zero-filled by `new T()`
// after the allocator has linked them; the header must survive that.
class Plain : public Object {
 public:
  long long value;
};

TEST_F(CollectorTest, ValueInitialisedObjectsStayLinkedAndWhite) {
  Plain* a = new Plain();
  Plain* b = new Plain{};
  EXPECT_EQ(a->value, 0);
  EXPECT_TRUE(gctest::consistent(gc_unmarked_list));
  EXPECT_EQ(gc_unmarked_list.pred, b);
  EXPECT_EQ(b->pred, a);
  EXPECT_EQ(a->flags, static_cast<intptr_t>(sizeof(Plain) | gc_markbit));
  gc_force_sweep = 1;
  gc_collect();
  EXPECT_EQ(gc_alloced_bytes, 0);
}

// An object whose constructor arguments allocate: its block waits, linked,
// while the arguments' objects are allocated and constructed after it.
class Holder : public Object {
 public:
  Object* held;
  explicit Holder(Object* object) : held(object) {}
};

// Value-initialised, and its member initialiser allocates once the header
// has been wiped and taken back.
class PlainWithMember : public Object {
 public:
  long long value;
  Plain* member = new Plain();
};

int throwing_argument() { throw 9; }

TEST_F(CollectorTest, ObjectsAllocatedWhileAnotherIsUnderConstructionKeepListOrder) {
  Holder* outer = new Holder(new Holder(new Plain()));
  Holder* middle = static_cast<Holder*>(outer->held);
  Object* inner = middle->held;
  EXPECT_TRUE(gctest::consistent(gc_unmarked_list));
  // Allocation order is the order of the new-expressions' allocations.
  EXPECT_EQ(outer->succ, middle);
  EXPECT_EQ(middle->succ, inner);
  EXPECT_EQ(gc_unmarked_list.pred, inner);
  for (gc_object* p :
       {static_cast<gc_object*>(outer), static_cast<gc_object*>(middle), static_cast<gc_object*>(inner)}) {
    EXPECT_TRUE(gc_is_white(p));
  }

  PlainWithMember* with_member = new PlainWithMember();
  EXPECT_EQ(with_member->value, 0);
  EXPECT_TRUE(gctest::consistent(gc_unmarked_list));
  EXPECT_EQ(with_member->succ, with_member->member);
  EXPECT_EQ(with_member->flags, static_cast<intptr_t>(sizeof(PlainWithMember) | gc_markbit));

  gc_force_sweep = 1;
  gc_collect();
  EXPECT_EQ(gc_alloced_bytes, 0);
}

TEST_F(CollectorTest, ObjectWhoseArgumentsThrowIsReleasedAfterTheirObjects) {
  int before = gc_alloced_bytes;
  int objects = gctest::count(gc_unmarked_list);
  EXPECT_THROW(new Holder(new Holder((new Plain(), throwing_argument(), nullptr))), int);
  // The two holders are released; the Plain was constructed and stays until swept.
  EXPECT_EQ(gc_alloced_bytes, before + static_cast<int>(sizeof(Plain)));
  EXPECT_EQ(gctest::count(gc_unmarked_list), objects + 1);
  EXPECT_TRUE(gctest::consistent(gc_unmarked_list));
  // Nothing of the released holders is left waiting for a constructor.
  Object local;
  EXPECT_EQ(local.flags & 3, 3);
  Holder* next = new Holder(nullptr);
  EXPECT_EQ(next->flags, static_cast<intptr_t>(sizeof(Holder) | gc_markbit));
}

TEST(ObjectsOutsideTheHeap, ArePermanentAndIgnoredByTheCollector) {
  Object local;
  EXPECT_EQ(local.flags & 3, 3);
  gc_enqueue(&local);
  gc_mark(&local);
  EXPECT_EQ(local.succ, &local);
  EXPECT_EQ(local.pred, &local);
}

TEST(ObjectIdentity, EqualsAndCompareFollowAddresses) {
  Object* a = new Object;
  Object* b = new Object;
  EXPECT_TRUE(a->Equals(a));
  EXPECT_FALSE(a->Equals(b));
  EXPECT_EQ(a->Compare(a), 0);
  Object* low = a < b ? a : b;
  Object* high = a < b ? b : a;
  EXPECT_LT(low->Compare(high), 0);
  EXPECT_GT(high->Compare(low), 0);
  EXPECT_EQ(a->debug(), String("+Object\n"));
}

// Runs `body` in a child process; its exit status and standard output.
std::pair<int, std::string> run_child(void (*body)()) {
  int out[2];
  EXPECT_EQ(pipe(out), 0);
  std::fflush(stdout);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    body();
    std::fflush(stdout);
    _exit(0);
  }
  close(out[1]);
  std::string text;
  char chunk[256];
  for (ssize_t n; (n = read(out[0], chunk, sizeof chunk)) > 0;) text.append(chunk, static_cast<size_t>(n));
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status), text};
}

// The process's address space in bytes (VmSize), or 0.
rlim_t AddressSpaceBytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmSize:", 0) == 0) return static_cast<rlim_t>(std::stoull(line.substr(7))) * 1024;
  }
  return 0;
}

TEST(OutOfMemory, OversizedArrayStopsWithAMessage) {
  auto [code, out] = run_child([] { Array<int> huge(INT_MAX / 2); });
  EXPECT_EQ(code, 255);
  EXPECT_EQ(out.rfind("Out of memory", 0), 0u) << out;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

TEST(OutOfMemory, SystemAllocatorFailureStopsWithAMessage) {
  if (kAddressSanitizer) GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
  auto [code, out] = run_child([] {
    rlimit limit{256u << 20, 256u << 20};  // 256 MiB of address space
    setrlimit(RLIMIT_AS, &limit);
    Array<char> big(512 << 20);
  });
  EXPECT_EQ(code, 255);
  EXPECT_EQ(out.rfind("Out of memory", 0), 0u) << out;
}

// The collector's order records grow with the heap; a record that could not
// grow once threw std::bad_alloc out through main, an abort without the
// message. Objects made and collected fill the block cache, so that new
// objects cost no memory and only the record of new objects grows; large
// blocks get mappings of their own, so that the address space limit meets
// the record's growth and nothing else.
void GrowOnlyTheRecordPastTheAddressSpace() {
  constexpr int kObjects = 1 << 18;      // a record of 2 MiB at the end
  constexpr int kMappedFrom = 64 << 10;  // blocks from this size on get a mapping of their own
  constexpr rlim_t kHeadroom = 1 << 20;  // address space left: less than the record needs
  std::fflush(stdout);
  dup2(STDERR_FILENO, STDOUT_FILENO);  // the message, where the death test reads
  gc_root_marker = nullptr;            // nothing survives the sweep below
  for (int i = 0; i < kObjects; ++i) new Object;
  gc_force_sweep = 1;
  gc_collect();
  mallopt(M_MMAP_THRESHOLD, kMappedFrom);
  const rlim_t limit = AddressSpaceBytes() + kHeadroom;
  const rlimit address = {limit, limit};
  setrlimit(RLIMIT_AS, &address);
  for (int i = 0; i < kObjects; ++i) new Object;
}

// In a fresh process (the death test's re-run), where the records start empty.
TEST(OutOfMemory, OrderRecordThatCannotGrowStopsWithAMessage) {
  if (kAddressSanitizer) GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(GrowOnlyTheRecordPastTheAddressSpace(), ::testing::ExitedWithCode(255),
              "^Out of memory: the collector could not allocate [0-9]{7,} bytes\n");
}

}  // namespace
