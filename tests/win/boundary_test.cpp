// Nothing raised inside plug-in code may reach the host.
#include <gtest/gtest.h>

#include <stdexcept>

#include "win/boundary.h"

namespace {

int* volatile nowhere = nullptr;
volatile int zero = 0;

TEST(BoundaryTest, ResultPassesThrough) {
  EXPECT_EQ(AtBoundary(-1, [] { return 7; }), 7);
}

TEST(BoundaryTest, CppExceptionGivesTheFailureResult) {
  EXPECT_EQ(AtBoundary(-1, []() -> int { throw std::runtime_error("x"); }), -1);
  EXPECT_EQ(AtBoundary(0, []() -> int { throw 5; }), 0);
}

TEST(BoundaryTest, AccessViolationGivesTheFailureResult) {
  EXPECT_EQ(AtBoundary(-1, [] { return *nowhere; }), -1);
}

TEST(BoundaryTest, DivisionByZeroGivesTheFailureResult) {
  EXPECT_EQ(AtBoundary(-1, [] { return 10 / zero; }), -1);
}

TEST(BoundaryTest, InnerBoundaryCatchesFirstAndOuterGoesOn) {
  int inner = 0;
  int outer = AtBoundary(-1, [&] {
    inner = AtBoundary(-2, [] { return *nowhere; });
    return 3;
  });
  EXPECT_EQ(inner, -2);
  EXPECT_EQ(outer, 3);
}

TEST(BoundaryTest, ManyFaultsInARowLeaveTheThreadWorking) {
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(AtBoundary(-1, [] { return *nowhere; }), -1);
  EXPECT_EQ(AtBoundary(-1, [] { return 1; }), 1);
}

}  // namespace
