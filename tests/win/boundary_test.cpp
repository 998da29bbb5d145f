// Nothing thrown inside plug-in code may reach the host.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "win/boundary.h"

namespace {

TEST(BoundaryTest, ResultPassesThrough) { EXPECT_EQ(AtBoundary(-1, [] { return 7; }), 7); }

TEST(BoundaryTest, AnyCppExceptionGivesTheFailureResult) {
  EXPECT_EQ(AtBoundary(-1, []() -> int { throw std::runtime_error("x"); }), -1);
  EXPECT_EQ(AtBoundary(-2, []() -> int { throw std::bad_alloc(); }), -2);
  EXPECT_EQ(AtBoundary(0, []() -> int { throw 5; }), 0);
  bool ran = false;
  AtBoundaryVoid([&] {
    ran = true;
    throw std::bad_alloc();
  });
  EXPECT_TRUE(ran);
}

TEST(BoundaryTest, InnerBoundaryCatchesFirstAndOuterGoesOn) {
  int inner = 0;
  int outer = AtBoundary(-1, [&] {
    inner = AtBoundary(-2, []() -> int { throw std::logic_error("inner"); });
    return 3;
  });
  EXPECT_EQ(inner, -2);
  EXPECT_EQ(outer, 3);
}

}  // namespace
