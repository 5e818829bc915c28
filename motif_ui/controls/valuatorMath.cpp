// The arithmetic of the numeric controls, without a display.
#include "ui/valuatorMath.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "svc/number.h"

namespace {

constexpr int kMaxDecimals = 400;

bool isLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Whether the prefix that strtod took holds a digit (so "inf", "nan" and "." are no number).
bool hasDigit(const char* from, const char* to) {
  for (const char* p = from; p < to; ++p)
    if (std::isdigit(static_cast<unsigned char>(*p))) return true;
  return false;
}

}  // namespace

double UIround_scaled(double x, int n) {
  double s = n > 0 ? std::pow(10.0, n) : 1.0;
  double scaled = x * s;
  if (!(scaled >= -2147483648.0 && scaled <= 2147483647.0)) return x;
  double r = scaled < 0 ? scaled - 0.5 : scaled + 0.5;
  // Within the range even after the half is added: truncation to 32 bits is safe.
  r = std::max(-2147483648.0, std::min(2147483647.0, r));
  return static_cast<int>(r) / s;
}

double UIscaleUp(double x, int decimals) {
  if (decimals > kMaxDecimals) return NAN;
  for (int i = 0; i < decimals; ++i) x *= 10;
  return x;
}

bool UIscaledRound(double scaled, int* out) {
  if (!std::isfinite(scaled) || std::fabs(scaled) > UI_SCALED_LIMIT) return false;
  *out = static_cast<int>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
  return true;
}

bool UIscaledTruncate(double scaled, int* out) {
  if (!std::isfinite(scaled) || std::fabs(scaled) > UI_SCALED_LIMIT) return false;
  *out = static_cast<int>(scaled);
  return true;
}

double UIscaleDown(int value, int decimals) {
  double v = value;
  for (int i = 0; i < decimals && i < kMaxDecimals; ++i) v *= 0.1;
  return v;
}

std::string UIfieldPrintFormat(int format, int mode, int decimals) {
  int d = std::max(0, decimals);
  if (format == UI_FORMAT_GENERAL) return "%.10g";
  if (format == UI_FORMAT_EXPONENTIAL) return NUMformat("%%0%d.%de", d + 2, d);
  if (mode != UI_MODE_INTEGER && d > 0) return NUMformat("%%0%d.%df", d + 2, d);
  return "%1.0f";
}

std::string UIfieldString(double value, int format, int mode, int decimals, double* shown) {
  bool fixed = format == UI_FORMAT_FIXED || format == 3;
  if (fixed && mode != UI_MODE_INTEGER && decimals > 0) value = UIround_scaled(value, decimals);
  std::string printFormat = UIfieldPrintFormat(format, mode, decimals);
  // The format is one of the four above, each with one conversion of a double.
  std::string text = NUMformat(printFormat.c_str(), value);
  if (shown) *shown = NUMstrtod(text.c_str(), nullptr);
  return text;
}

bool UIalphaCheck(const char* text) {
  if (!text || !*text) return false;
  if (isLetter(text[0])) return true;
  if (!text[1]) return false;
  for (const char* p = text + 1; *p; ++p)
    if (isLetter(*p) && *p != 'e' && *p != 'E') return true;
  return false;
}

bool UIparseTypedNumber(const char* text, double* value) {
  if (!text || UIalphaCheck(text)) return false;
  return UIparseDialText(text, value);
}

bool UIparseDialText(const char* text, double* value) {
  if (!text) return false;
  char* end = nullptr;
  double v = NUMstrtod(text, &end);
  if (end == text || !hasDigit(text, end) || !std::isfinite(v)) return false;
  *value = v;
  return true;
}

int setPrecision(double min, double max) {
  double r = max - min;
  double d = 2;
  if (r >= 100)
    d = 4 - std::floor(std::log10(r));
  else if (r > 0 && r < 1)
    d = 2 - std::floor(std::log10(r));
  // Worked out in reals: an infinite range must not reach an int conversion.
  if (!(d > 0)) return 0;
  return d > kMaxDecimals ? kMaxDecimals : static_cast<int>(d);
}

bool UIsliderStep(double min, double max, bool hasIncrement, double increment, int decimals,
                  int* multiple) {
  double r = max - min;
  double step = hasIncrement && increment > 0 && increment < r ? increment : r / 10;
  double scaled = UIscaleUp(step, decimals);
  int m = 0;
  if (!UIscaledTruncate(scaled, &m) || m < 1) return false;
  *multiple = m;
  return true;
}

double UIdialScaleFactor(int decimals) {
  static const double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7};
  if (decimals < 0) decimals = 0;
  if (decimals < 8) return kPowers[decimals];
  if (decimals > kMaxDecimals) return INFINITY;
  double s = kPowers[7];
  for (int i = 7; i < decimals; ++i) s *= 10;
  return s;
}

int UIdialType(int mode, bool minSet, bool maxSet) {
  bool valuator = minSet && maxSet;
  if (mode == UI_MODE_INTEGER) return valuator ? 2 : 0;
  return valuator ? 3 : 1;
}

double UIdialScaleInc(int n, bool minSet, bool maxSet, double min, double max, double perRev,
                      int mode, int* decimals) {
  int ticks = std::max(n, 1);
  double base = minSet && maxSet ? (max - min) / ticks : perRev / ticks;
  double spacing = base * UIdialScaleFactor(*decimals);
  if (mode == UI_MODE_INTEGER) return spacing < 1 ? 1 : spacing;
  // Only a positive finite spacing reaches 1 by growing; zero or less would grow forever.
  if (!(spacing > 0) || !std::isfinite(spacing)) return spacing;
  while (spacing < 1 && *decimals < kMaxDecimals) {
    spacing *= 10;
    ++*decimals;
  }
  return spacing;
}

std::string UIdialValueText(double value, int decimals) {
  int d = std::max(0, decimals);
  if (d < 6) return NUMformat("% .*f", d, value);
  return NUMformat("%#6.*g", d, value);
}

UIdialLayout UIdialGeometry(int width, int height, int titleHeight, int textHeight, int style) {
  UIdialLayout g;
  g.width = std::max(1, width);
  g.dialHeight = std::max(1, height - titleHeight - textHeight - 2);
  g.formHeight = std::max(1, height - titleHeight - textHeight);
  g.centerX = std::max(0, (g.width - 2) / 2);
  g.centerY = g.dialHeight / 2;
  g.shadowCenterX = g.centerX + 3;
  g.radius = std::max(1, static_cast<int>(0.42 * std::min(g.width, g.dialHeight)));
  g.shadowRadius = g.radius + 1;
  g.pointerLength = g.radius / 5;
  if (style) {
    g.scaleLength = std::max(1, static_cast<int>(0.2 * g.radius));
    g.scaleOffset = std::max(1, g.radius - static_cast<int>(0.2 * g.radius));
  } else {
    g.scaleLength = g.radius / 20 + 1;
    g.scaleOffset = g.radius + 5;
  }
  return g;
}
