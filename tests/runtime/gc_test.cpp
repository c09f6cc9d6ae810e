#include <gtest/gtest.h>

#include "runtime/errors.h"
#include "runtime/gc.h"

namespace {
struct Plain : Object {
  int x;
};
TEST(GcSmoke, ValueInitialisedObjectStaysLinked) {
  gc_init1();
  Plain* p = new Plain();
  EXPECT_EQ(p->succ, &gc_unmarked_list);
  EXPECT_EQ(gc_unmarked_list.pred, p);
  Array<String> a(3);
  EXPECT_EQ(a.Length(), 3);
  EXPECT_EQ(String(3.0f), String("3.0"));
}
}  // namespace
