// Helpers for collector tests: a clean collector per test, objects that log
// their finalisation, a root the test controls and a list checker.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "runtime/gc.h"

// Tests of incremental behaviour (budgets, thresholds, lazy finalisation) do
// not apply to stress builds, whose every step completes a cycle.
#ifdef KORVANE_GC_STRESS
#define SKIP_UNDER_STRESS() GTEST_SKIP() << "stress builds finish every cycle at each step"
#else
#define SKIP_UNDER_STRESS() (void)0
#endif

namespace gctest {

// Ids of finalised Tracked objects, in finalisation order.
inline std::vector<int>& finalised() {
  static std::vector<int> log;
  return log;
}

// A collected object that records its destruction and may hold references.
class Tracked : public Object {
 public:
  int id;
  Tracked* next = nullptr;
  Array<Tracked*> children;

  explicit Tracked(int id_) : id(id_) {}
  ~Tracked() override { finalised().push_back(id); }
  void mark() override {
    gc_enqueue(next);
    gc_enqueue(children);
  }
};

// The one root of the test collector.
inline Tracked*& root() {
  static Tracked* object = nullptr;
  return object;
}

inline void mark_root() { gc_enqueue(root()); }

// Finalises every object, empties every list and zeroes the counters, with
// the test root installed and null.
inline void reset_collector() {
  root() = nullptr;
  gc_root_marker = mark_root;
  // Pass one turns the survivors white, pass two frees them. The new object in
  // each pass makes sure the sweep is not skipped for want of white objects.
  for (int pass = 0; pass < 2; ++pass) {
    new Object;
    gc_force_sweep = 1;
    gc_collect();
  }
  gc_max_alloced_bytes = gc_alloced_bytes;
  finalised().clear();
}

inline int count(const gc_object& list) {
  int n = 0;
  for (const gc_object* p = list.succ; p != &list; p = p->succ) ++n;
  return n;
}

inline bool contains(const gc_object& list, const gc_object* object) {
  for (const gc_object* p = list.succ; p != &list; p = p->succ) {
    if (p == object) return true;
  }
  return false;
}

// Every link of the list agrees with its neighbour's back link.
inline ::testing::AssertionResult consistent(const gc_object& list) {
  const gc_object* p = &list;
  int steps = 0;
  do {
    if (p->succ->pred != p) return ::testing::AssertionFailure() << "broken link after step " << steps;
    p = p->succ;
    if (++steps > 10000000) return ::testing::AssertionFailure() << "list does not close";
  } while (p != &list);
  return ::testing::AssertionSuccess();
}

class CollectorTest : public ::testing::Test {
 protected:
  void SetUp() override { reset_collector(); }
  void TearDown() override {
    EXPECT_TRUE(consistent(gc_unmarked_list));
    EXPECT_TRUE(consistent(gc_queued_list));
    EXPECT_TRUE(consistent(gc_marked_list));
    EXPECT_TRUE(consistent(gc_free_list));
    reset_collector();
  }
};

}  // namespace gctest
