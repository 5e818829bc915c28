// The dial's arithmetic without a display: angles, dragging, keyboard steps, ticks, keywords.
#include "VwDialMath.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace vwdial;

namespace {

Params valuator(double min, double max, int direction = kMaxOnRight) {
  Params p;
  p.type = kIntValuator;
  p.direction = direction;
  p.min = min;
  p.max = max;
  return p;
}

Params accumulator(double perRev) {
  Params p;
  p.type = kIntAccumulator;
  p.valuePerRev = perRev;
  return p;
}

// The pointer position at angle a, 60 pixels from a centre at (85, 85).
void at(double a, double* x, double* y) {
  pointAt(85, 85, a, 60, x, y);
}

TEST(VwDialAngles, ValuatorSweepsClockwiseFromLowerLeft) {
  Params p = valuator(0, 100);
  EXPECT_DOUBLE_EQ(valueToAngle(p, 0), 225);
  EXPECT_NEAR(valueToAngle(p, 50), 0, 1e-9);
  EXPECT_DOUBLE_EQ(valueToAngle(p, 100), 135);
  Params left = valuator(0, 100, kMaxOnLeft);
  EXPECT_DOUBLE_EQ(valueToAngle(left, 100), 225);
  EXPECT_NEAR(valueToAngle(left, 50), 0, 1e-9);
  EXPECT_DOUBLE_EQ(valueToAngle(left, 0), 135);
}

TEST(VwDialAngles, AccumulatorTurnsOncePerValuePerRev) {
  Params p = accumulator(255);
  EXPECT_DOUBLE_EQ(valueToAngle(p, 255), 0);
  EXPECT_NEAR(valueToAngle(p, 300), 63.53, 0.01);
  EXPECT_DOUBLE_EQ(valueToAngle(accumulator(0), 10), 0) << "no division by zero";
}

TEST(VwDialDrag, ValuatorParksAtTheNearerEndOfTheGap) {
  Params p = valuator(0, 100);
  double x, y;
  at(200, &x, &y);  // inside the gap, nearer the start
  Drag d = dragTo(p, 85, 85, x, y, 230, 2);
  ASSERT_TRUE(d.changed);
  EXPECT_DOUBLE_EQ(d.value, 0);
  EXPECT_DOUBLE_EQ(d.angle, 225);
  at(160, &x, &y);  // inside the gap, nearer the end
  d = dragTo(p, 85, 85, x, y, 120, 95);
  EXPECT_DOUBLE_EQ(d.value, 100);
  EXPECT_DOUBLE_EQ(d.angle, 135);
}

TEST(VwDialDrag, ValuatorDoesNotJumpAcrossTheGap) {
  Params p = valuator(0, 100);
  double x, y;
  at(250, &x, &y);  // from the lower right straight to the lower left
  Drag d = dragTo(p, 85, 85, x, y, 130, 98);
  EXPECT_FALSE(d.changed);
  EXPECT_DOUBLE_EQ(d.value, 98);
}

TEST(VwDialDrag, IntegerDialsRoundAndPointAtTheRoundedValue) {
  Params p = valuator(0, 100);
  double x, y;
  at(225 + 270 * 0.036, &x, &y);  // 3.6
  Drag d = dragTo(p, 85, 85, x, y, 225, 0);
  ASSERT_TRUE(d.changed);
  EXPECT_DOUBLE_EQ(d.value, 4);
  EXPECT_NEAR(d.angle, valueToAngle(p, 4), 1e-9);
  Params real = p;
  real.type = kRealValuator;
  d = dragTo(real, 85, 85, x, y, 225, 0);
  EXPECT_NEAR(d.value, 3.6, 1e-4) << "real dials keep the value";
}

TEST(VwDialDrag, AccumulatorAddsAndClampsAtCheckedEnds) {
  Params p = accumulator(360);
  p.type = kRealAccumulator;
  double x, y;
  at(90, &x, &y);
  Drag d = dragTo(p, 85, 85, x, y, 0, 1000);
  EXPECT_NEAR(d.value, 1090, 1e-4) << "a quarter turn adds a quarter of valuePerRev";
  p.checkMax = true;
  p.max = 1050;
  d = dragTo(p, 85, 85, x, y, 0, 1000);
  EXPECT_DOUBLE_EQ(d.value, 1050);
  EXPECT_NEAR(d.angle, valueToAngle(p, 1050), 1e-9);
  d = dragTo(p, 85, 85, 85.5, 85.5, 0, 1000);
  EXPECT_FALSE(d.changed) << "a point at the centre changes nothing";
}

TEST(VwDialKeys, StepsAreAUnitOrATenthOfTheRange) {
  Params p = valuator(0, 100);
  EXPECT_DOUBLE_EQ(keyboardStep(p, 50, 0), 51);
  EXPECT_DOUBLE_EQ(keyboardStep(p, 50, 1), 49);
  EXPECT_DOUBLE_EQ(keyboardStep(p, 50, 2), 60);
  EXPECT_DOUBLE_EQ(keyboardStep(p, 50, 3), 40);
  EXPECT_DOUBLE_EQ(keyboardStep(p, 95, 2), 100) << "valuators stop at max";
  p.decimals = 2;
  p.type = kRealValuator;
  EXPECT_NEAR(keyboardStep(p, 0.5, 0), 0.51, 1e-12);
  Params acc = accumulator(255);
  EXPECT_DOUBLE_EQ(keyboardStep(acc, 0, 3), -25.5) << "accumulators pass min unless checked";
  acc.checkMin = true;
  EXPECT_DOUBLE_EQ(keyboardStep(acc, 0, 3), 0);
}

TEST(VwDialKeys, ResourceValueScalesRealTypes) {
  Params p = valuator(0, 100);
  p.type = kRealValuator;
  p.decimals = 2;
  EXPECT_EQ(resourceValue(p, 1.234), 123);
  p.type = kIntValuator;
  EXPECT_EQ(resourceValue(p, 7.9), 7);
  EXPECT_EQ(resourceValue(p, 1e300), 2147483647);
  EXPECT_EQ(resourceValue(p, std::nan("")), -2147483647 - 1);
}

TEST(VwDialTicks, PositionsAndDegenerateSteps) {
  Params v = valuator(0, 255);
  std::vector<double> ticks = tickAngles(v, 51);
  ASSERT_EQ(ticks.size(), 6u);
  EXPECT_DOUBLE_EQ(ticks[0], 225);
  EXPECT_DOUBLE_EQ(ticks[1], 279);
  EXPECT_DOUBLE_EQ(ticks[5], 495);
  EXPECT_EQ(tickAngles(accumulator(255), 51).size(), 5u);
  EXPECT_TRUE(tickAngles(v, 0).empty()) << "a zero step must end";
  EXPECT_TRUE(tickAngles(valuator(5, 5), 1).empty());
  EXPECT_TRUE(tickAngles(accumulator(0), 1).empty());
  EXPECT_TRUE(tickAngles(v, -51).empty());
  EXPECT_TRUE(tickAngles(valuator(0, 2e9), 1).empty()) << "too many ticks to tell apart";
}

TEST(VwDialKeywords, PrefixesAnyCaseNamesExact) {
  int v = -1;
  EXPECT_TRUE(keywordValue("ProcessingDirection", "MAX_ON_LEFT", &v));
  EXPECT_EQ(v, 2);
  EXPECT_TRUE(keywordValue("ProcessingDirection", "VwMAX_ON_RIGHT", &v));
  EXPECT_EQ(v, 3);
  EXPECT_TRUE(keywordValue("ScalePosition", "xMSCALE_BOTH", &v));
  EXPECT_EQ(v, 5);
  EXPECT_TRUE(keywordValue("DialType", "vwREAL_VALUATOR", &v));
  EXPECT_EQ(v, 3);
  EXPECT_FALSE(keywordValue("ProcessingDirection", "max_on_left", &v));
  EXPECT_FALSE(keywordValue("ProcessingDirection", "VwVwMAX_ON_LEFT", &v));
  EXPECT_FALSE(keywordValue("DialType", "MAX_ON_LEFT", &v)) << "keywords belong to their type";
  EXPECT_FALSE(keywordValue("NoSuchType", "MAX_ON_LEFT", &v));
}

}  // namespace
