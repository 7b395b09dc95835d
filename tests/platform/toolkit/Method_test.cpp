#include "platform/toolkit/Method.h"

#include <gtest/gtest.h>

namespace {
struct Target {
  int last = 0;
  void A(int v) { last = v; }
  void B(int v) { last = -v; }
};
struct Other {
  void A(int) {}
};
}  // namespace

// Catches: handler comparison by address of the wrapper instead of method and object, which the
// event queue relies on to find queued events of a handler.
TEST(MethodTest, SameMethodOfSameObjectComparesEqual) {
  Target t1, t2;
  const TMethod<int> a1(&t1, &Target::A), a1again(&t1, &Target::A);
  EXPECT_TRUE(a1 == a1again);
  EXPECT_FALSE(a1 == TMethod<int>(&t2, &Target::A));
  EXPECT_FALSE(a1 == TMethod<int>(&t1, &Target::B));
  EXPECT_FALSE(a1 == TMethod<int>(reinterpret_cast<Other*>(&t1), &Other::A));
  EXPECT_FALSE(a1 == TMethod<int>());
  EXPECT_TRUE(TMethod<int>() == TMethod<int>(nullptr));
  a1(7);
  EXPECT_EQ(t1.last, 7);
  TMethod<int>()(3);  // an empty handler is a no-op
  EXPECT_FALSE(static_cast<bool>(TMethod<int>()));
}
