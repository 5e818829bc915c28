// The arithmetic of the numeric controls (fields, sliders, dials), kept free of X so it is
// tested without a display: rounding, scaling reals to the widgets' integers and back,
// display strings and the parsing of typed numbers (both in the C locale), the slider's
// precision and step, the dial's type, ticks, text and layout.
#pragma once

#include <string>

// ---- Rounding and scaling ------------------------------------------------------------------
// x rounded to n decimals, halves away from zero, when x × 10^n (10^0 for n <= 0) lies within
// the 32-bit range; otherwise (NaN included) x unchanged. UIround_scaled(1.005, 2) is 1.0:
// 1.005 × 100 is 100.4999...
double UIround_scaled(double x, int n);

// The largest magnitude a scaled value may have on its way to a widget's int resource.
constexpr double UI_SCALED_LIMIT = 0x3FFFFFFF;
// x multiplied by 10 once per decimal point, as the widgets count (the way back multiplies by
// 0.1 once per point). Decimals below 0 count as 0; NaN for more than 400 (nothing finite
// and non-zero survives that many).
double UIscaleUp(double x, int decimals);
// The int of a scaled real, rounded half away from zero; false (and *out untouched) for a
// real that is not finite or lies beyond ±UI_SCALED_LIMIT.
bool UIscaledRound(double scaled, int* out);
// The same, truncated towards zero (how the dial converts).
bool UIscaledTruncate(double scaled, int* out);
// A widget's int back to a real: multiplied by 0.1 once per decimal point, so 314 with 2
// points is 3.1400000000000006 (what the object receives).
double UIscaleDown(int value, int decimals);

// ---- Fields --------------------------------------------------------------------------------
enum { UI_FORMAT_GENERAL = 0, UI_FORMAT_FIXED = 1, UI_FORMAT_EXPONENTIAL = 2 };
enum { UI_MODE_INTEGER = 1, UI_MODE_REAL = 2 };
// The printf format of a field: "%.10g" (general), "%0<d+2>.<d>e" (exponential), fixed
// "%0<d+2>.<d>f" in real mode with d > 0, else "%1.0f". Format 3 is fixed; decimals below 0
// count as 0.
std::string UIfieldPrintFormat(int format, int mode, int decimals);
// The text a field shows for a value (in fixed real format the value is first rounded with
// UIround_scaled), never cut; *shown gets the number read back from that text, so that the
// value kept equals what is shown.
std::string UIfieldString(double value, int format, int mode, int decimals, double* shown);
// True to refuse typed text: a letter first, or (for texts of 2 or more) a letter other
// than "E"/"e" after it.
bool UIalphaCheck(const char* text);
// Typed text to a number: refused (false) when UIalphaCheck refuses it, when no number
// follows its leading blanks ("-", "  ", "$5"), or when the number is not finite ("1e999").
// Otherwise the longest numeric prefix, read in the C locale.
bool UIparseTypedNumber(const char* text, double* value);
// A dial's text to a number (the dial pads its text with blanks): leading blanks, then a
// finite number; what follows it is ignored. "nan", "inf", "" and "x" are refused.
bool UIparseDialText(const char* text, double* value);

// ---- Sliders -------------------------------------------------------------------------------
// The precision a slider derives from its range r = max - min: 4 - floor(log10 r), not
// below 0, for r >= 100; 2 - floor(log10 r) for 0 < r < 1; 2 otherwise (and for a range
// that is not finite and positive below 100).
int setPrecision(double min, double max);
// The scale multiple of a slider: "increment" when given with 0 < increment < range, else a
// tenth of the range, scaled by the decimal points and truncated; false when that is not a
// positive int the scale can take.
bool UIsliderStep(double min, double max, bool hasIncrement, double increment, int decimals,
                  int* multiple);

// ---- Dials ---------------------------------------------------------------------------------
// 10^decimals (decimals below 0 count as 0; inf beyond 400).
double UIdialScaleFactor(int decimals);
// The dial type: real mode 3 (real valuator) with both bounds, else 1; integer mode 2 with
// both bounds, else 0.
int UIdialType(int mode, bool minSet, bool maxSet);
// The tick spacing in dial units for n ticks (at least 1): the range (both bounds set) or
// the value per turn, over n, scaled. In real mode a spacing below 1 is multiplied by 10 and
// *decimals raised by one until it is not; only a positive finite spacing is so treated (any
// other leaves *decimals alone). In integer mode a spacing below 1 is 1.
double UIdialScaleInc(int n, bool minSet, bool maxSet, double min, double max, double perRev,
                      int mode, int* decimals);
// The dial's value text: "% .*f" below 6 decimals, else "%#6.*g"; never cut.
std::string UIdialValueText(double value, int decimals);

// The dial's layout from the object's width and height, the title's and the value text's
// heights and "style" (non-zero: knob). Every size is at least 1.
struct UIdialLayout {
  int width = 1;       // of the container, title, text, form and dial
  int dialHeight = 1;  // H - title - text - 2
  int formHeight = 1;  // H - title
  int centerX = 0;     // (W - 2) / 2
  int centerY = 0;     // dialHeight / 2
  int shadowCenterX = 0;
  int radius = 1;  // 0.42 × the smaller of the dial's sides
  int shadowRadius = 2;
  int pointerLength = 0;
  int scaleLength = 1;
  int scaleOffset = 1;
};
UIdialLayout UIdialGeometry(int width, int height, int titleHeight, int textHeight, int style);
