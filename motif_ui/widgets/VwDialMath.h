// The dial's geometry and value arithmetic, kept free of X so it can be tested without a
// display: value to angle, pointer position to value, keyboard steps, tick positions.
#pragma once

#include <vector>

namespace vwdial {

// The constant the dial uses for pi (degrees to radians and back), not full precision: the
// drawn angles depend on it.
constexpr double kPi = 3.1415926;

// The widget's public values (VwINTEGER_ACCUMULATER ..., VwMAX_ON_TOP ...); VwDial.cpp checks
// at compile time that they agree, since this header must not need X.
enum DialType { kIntAccumulator = 0, kRealAccumulator = 1, kIntValuator = 2, kRealValuator = 3 };
enum Direction { kMaxOnTop = 0, kMaxOnBottom = 1, kMaxOnLeft = 2, kMaxOnRight = 3 };

// What the arithmetic needs of a dial: the doubles (already divided by 10^decimals for the
// real types) and the flags.
struct Params {
  int type = kIntAccumulator;
  int direction = kMaxOnRight;
  double min = 0;
  double max = 255;
  double valuePerRev = 255;
  bool checkMin = false;
  bool checkMax = false;
  int decimals = 0;
};

inline bool isAccumulator(int type) {
  return type == kIntAccumulator || type == kRealAccumulator;
}
inline bool isInteger(int type) {
  return type == kIntAccumulator || type == kIntValuator;
}

// 10^decimals, as the dial scales real values (decimals is bounded to 0..15).
double scaleOf(int decimals);

// The pointer angle (degrees clockwise from 12 o'clock) for a value.
double valueToAngle(const Params& p, double value);

// Clamps a value the way creation and set-values do: valuators to [min, max]; accumulators
// at the ends whose check flag is set.
double clampValue(const Params& p, double value);

// The point at angle (degrees) and distance d from (cx, cy).
void pointAt(double cx, double cy, double angle, double d, double* x, double* y);

// The result of dragging the pointer to (x, y).
struct Drag {
  bool changed = false;  // false: the value and angle stay as they were
  double value = 0;
  double angle = 0;
};
// The value and angle after the pointer was dragged to (x, y), the dial's centre being
// (cx, cy) and its previous state (angle, value).
Drag dragTo(const Params& p, double cx, double cy, double x, double y, double angle, double value);

// The value after one keyboard step: bit 1 of arg selects the big step (a tenth of the range,
// or of a turn), bit 0 subtracts.
double keyboardStep(const Params& p, double value, int arg);

// The integer "value" resource that stands for a value: the value for the integer types, the
// value times 10^decimals for the real ones, truncated (and kept within int range).
int resourceValue(const Params& p, double value);

// The angles of the scale ticks, given the scale increment (a double, scaled like the value).
// An increment or range that gives no usable step (zero, negative, not finite, or more ticks
// than can be told apart) gives no ticks.
std::vector<double> tickAngles(const Params& p, double scaleInc);

// The most ticks a scale draws; past it the ticks would merge into a solid ring anyway.
constexpr int kMaxTicks = 3600;

// True when (x, y) is within the grab tolerance of the grab point: each coordinate less than
// 2 * pointerLength away from it.
bool nearGrabPoint(double x, double y, double gx, double gy, double pointerLength);

// The keyword tables of the converters. Returns true and sets *value when text names a
// keyword of type ("DialType", "ProcessingDirection" ...) after an optional two-letter
// prefix "Vw" or "Xm" (any case); false for an unknown type or keyword.
bool keywordValue(const char* type, const char* text, int* value);

}  // namespace vwdial
