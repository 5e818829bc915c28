// The dial's geometry and value arithmetic.
#include "VwDialMath.h"

#include <cctype>
#include <cmath>
#include <cstring>

namespace vwdial {

namespace {

double wrap360(double a) {
  while (a < 0) a += 360;
  while (a >= 360) a -= 360;
  return a;
}

}  // namespace

double scaleOf(int decimals) {
  if (decimals < 0) decimals = 0;
  if (decimals > 15) decimals = 15;
  return std::pow(10.0, decimals);
}

double valueToAngle(const Params& p, double value) {
  if (isAccumulator(p.type)) {
    if (p.valuePerRev == 0 || !std::isfinite(value)) return 0;
    return std::fmod(value, p.valuePerRev) / p.valuePerRev * 360;
  }
  double range = std::fabs(p.max - p.min);
  if (range == 0) return 225;  // a range of nothing: the pointer rests at the start
  double t = p.direction == kMaxOnRight ? (value - p.min) / range : (p.max - value) / range;
  double angle = 225 + 270 * t;
  if (angle >= 360) angle -= 360;
  return angle;
}

double clampValue(const Params& p, double value) {
  bool valuator = !isAccumulator(p.type);
  if ((valuator || p.checkMax) && value > p.max) value = p.max;
  if ((valuator || p.checkMin) && value < p.min) value = p.min;
  return value;
}

void pointAt(double cx, double cy, double angle, double d, double* x, double* y) {
  double r = angle / 180 * kPi;
  *x = cx + d * std::sin(r);
  *y = cy - d * std::cos(r);
}

Drag dragTo(const Params& p, double cx, double cy, double x, double y, double angle, double value) {
  Drag out;
  out.value = value;
  out.angle = angle;
  double dx = x - cx, dy = y - cy;
  if (std::fabs(dx) < 1 && std::fabs(dy) < 1) return out;
  double a = std::atan2(dy, dx) / kPi * 180 + 90;
  a = wrap360(a);
  bool valuator = !isAccumulator(p.type);
  if (valuator) {
    // The pointer cannot pass the gap at the bottom: it parks at the nearer end.
    bool fromRight = angle > 90 && angle<180, fromLeft = angle> 180 && angle < 270;
    bool toRight = a > 90 && a<180, toLeft = a> 180 && a < 270;
    if ((fromRight && toLeft) || (fromLeft && toRight)) a = angle;
    if (a > 135 && a < 225) a = a < 180 ? 135 : 225;
  }
  double delta = a - angle;
  while (delta > 180) delta -= 360;
  while (delta < -180) delta += 360;
  if (std::fabs(delta) < 0.001) return out;
  double newAngle = a;
  if (!valuator) {
    value += delta / 360 * p.valuePerRev;
    bool clamped = false;
    if (p.checkMin && value <= p.min) value = p.min, clamped = true;
    if (p.checkMax && value >= p.max) value = p.max, clamped = true;
    if (clamped) newAngle = valueToAngle(p, value);
  } else {
    double t = a >= 225 ? (a - 225) / 270 : (a + 135) / 270;
    value = p.direction == kMaxOnRight ? p.min + t * (p.max - p.min) : p.max - t * (p.max - p.min);
  }
  if (isInteger(p.type)) {
    value = std::floor(value + 0.5);
    newAngle = valueToAngle(p, value);
  }
  out.changed = true;
  out.value = value;
  out.angle = newAngle;
  return out;
}

double keyboardStep(const Params& p, double value, int arg) {
  double s = scaleOf(p.decimals);
  double step = 1 / s;
  if (arg & 2) step = isAccumulator(p.type) ? p.valuePerRev / 10 : std::fabs(p.min - p.max) / 10;
  value += (arg & 1) ? -step : step;
  return clampValue(p, value);
}

int resourceValue(const Params& p, double value) {
  double v = isInteger(p.type) ? value : value * scaleOf(p.decimals);
  if (!(v > -2147483648.0)) return -2147483647 - 1;  // NaN lands here too
  if (v >= 2147483647.0) return 2147483647;
  return static_cast<int>(v);
}

std::vector<double> tickAngles(const Params& p, double scaleInc) {
  std::vector<double> ticks;
  double step;
  double end;
  double start;
  if (isAccumulator(p.type)) {
    if (p.valuePerRev == 0) return ticks;
    step = scaleInc * 360 / p.valuePerRev;
    start = 0;
    end = 360;
  } else {
    if (p.max == p.min) return ticks;
    step = 270 * scaleInc / (p.max - p.min);
    start = 225;
    end = 495 + step / 2;
  }
  if (!std::isfinite(step) || step <= 0 || (end - start) / step > kMaxTicks) return ticks;
  // Counting ticks rather than adding steps keeps rounding from adding or dropping one.
  for (int i = 0;; ++i) {
    double a = start + i * step;
    if (isAccumulator(p.type) ? a >= end : a > end) break;
    ticks.push_back(a);
  }
  return ticks;
}

bool nearGrabPoint(double x, double y, double gx, double gy, double pointerLength) {
  return std::fabs(x - gx) < 2 * pointerLength && std::fabs(y - gy) < 2 * pointerLength;
}

namespace {

struct Keyword {
  const char* type;
  const char* name;
  int value;
};

constexpr Keyword kKeywords[] = {
    {"DialType", "INTEGER_ACCUMULATER", 0},
    {"DialType", "REAL_ACCUMULATER", 1},
    {"DialType", "INTEGER_VALUATOR", 2},
    {"DialType", "REAL_VALUATOR", 3},
    {"ButtonType", "TRIANGLE", 0},
    {"ButtonType", "SQUARE", 1},
    {"ProcessingDirection", "MAX_ON_TOP", 0},
    {"ProcessingDirection", "MAX_ON_BOTTOM", 1},
    {"ProcessingDirection", "MAX_ON_LEFT", 2},
    {"ProcessingDirection", "MAX_ON_RIGHT", 3},
    {"ScalePosition", "SCALE_OFF", 0},
    {"ScalePosition", "SCALE_LEFT", 1},
    {"ScalePosition", "SCALE_RIGHT", 2},
    {"ScalePosition", "SCALE_TOP", 3},
    {"ScalePosition", "SCALE_BOTTOM", 4},
    {"ScalePosition", "SCALE_BOTH", 5},
    {"ScalePosition", "SCALE_ON", 6},
    {"ScaleType", "SCALE_TYPE_SIMPLE", 0},
    {"ScaleType", "SCALE_TYPE_TICK", 1},
    {"SliderType", "INTEGER", 0},
    {"SliderType", "DOUBLE", 1},
    {"SliderOrientation", "HORIZONTAL", 0},
    {"SliderOrientation", "VERTICAL", 1},
};

}  // namespace

bool keywordValue(const char* type, const char* text, int* value) {
  if (!type || !text || !value) return false;
  const char* name = text;
  if (std::strlen(text) >= 2) {
    char a = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    char b = static_cast<char>(std::tolower(static_cast<unsigned char>(text[1])));
    if ((a == 'v' && b == 'w') || (a == 'x' && b == 'm')) name = text + 2;
  }
  for (const Keyword& k : kKeywords) {
    if (std::strcmp(k.type, type) == 0 && std::strcmp(k.name, name) == 0) {
      *value = k.value;
      return true;
    }
  }
  return false;
}

}  // namespace vwdial
