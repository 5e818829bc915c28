// The numeric controls' arithmetic without a display: rounding, scaling, display strings and
// typed numbers (also under a comma-decimal locale), slider precision and steps, dial ticks,
// text and layout.
#include "ui/valuatorMath.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "comma_locale.h"
#include "svc/number.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

TEST(RoundScaled, HalvesAwayFromZeroWithinThe32BitRange) {
  EXPECT_EQ(UIround_scaled(2.5, 0), 3);
  EXPECT_EQ(UIround_scaled(-2.5, 0), -3);
  EXPECT_EQ(UIround_scaled(2.5, -4), 3) << "n <= 0 scales by 1";
  EXPECT_EQ(UIround_scaled(1.005, 2), 1.0) << "1.005 x 100 is 100.4999...";
  EXPECT_DOUBLE_EQ(UIround_scaled(3.14159, 2), 3.14);
  EXPECT_DOUBLE_EQ(UIround_scaled(-3.145001, 2), -3.15);
  EXPECT_EQ(UIround_scaled(1e12, 0), 1e12) << "beyond the 32-bit range: unchanged";
  EXPECT_EQ(UIround_scaled(30.0, 8), 30.0) << "3e9 scaled: unchanged";
  EXPECT_EQ(UIround_scaled(2147483647.0, 0), 2147483647.0);
  EXPECT_EQ(UIround_scaled(-2147483648.0, 0), -2147483648.0);
  EXPECT_TRUE(std::isnan(UIround_scaled(kNaN, 2)));
  EXPECT_EQ(UIround_scaled(kInf, 2), kInf);
}

TEST(Scaling, OneTenthPerDecimalPointAndCheckedIntConversion) {
  EXPECT_EQ(UIscaleDown(314, 2), 314 * 0.1 * 0.1);
  EXPECT_EQ(UIscaleDown(314, 2), 3.1400000000000006);
  EXPECT_EQ(UIscaleDown(314, 0), 314);
  EXPECT_EQ(UIscaleUp(12.345, 2), 12.345 * 10 * 10);
  EXPECT_EQ(UIscaleUp(7, -3), 7) << "below 0 counts as 0";
  EXPECT_TRUE(std::isnan(UIscaleUp(0, 100000))) << "no endless loop, no value";
  int v = 99;
  EXPECT_TRUE(UIscaledRound(1234.5, &v));
  EXPECT_EQ(v, 1235);
  EXPECT_TRUE(UIscaledRound(-1234.5, &v));
  EXPECT_EQ(v, -1235);
  EXPECT_TRUE(UIscaledRound(0x3FFFFFFF, &v));
  EXPECT_EQ(v, 0x3FFFFFFF);
  v = 99;
  for (double bad : {1e12, -1e12, 1073741824.0, kNaN, kInf, -kInf}) {
    EXPECT_FALSE(UIscaledRound(bad, &v)) << bad;
    EXPECT_FALSE(UIscaledTruncate(bad, &v)) << bad;
  }
  EXPECT_EQ(v, 99) << "a refused conversion leaves the output alone";
  EXPECT_TRUE(UIscaledTruncate(-2.9, &v));
  EXPECT_EQ(v, -2);
}

TEST(FieldString, FormatsModesAndPrecisions) {
  double shown = 0;
  EXPECT_EQ(UIfieldString(3.14159, UI_FORMAT_FIXED, UI_MODE_REAL, 2, &shown), "3.14");
  EXPECT_EQ(shown, 3.14) << "the value kept is what is shown";
  EXPECT_EQ(UIfieldString(3.14159, 3, UI_MODE_REAL, 2, &shown), "3.14") << "3 is fixed";
  EXPECT_EQ(UIfieldString(2.6, UI_FORMAT_FIXED, UI_MODE_INTEGER, 2, &shown), "3");
  EXPECT_EQ(shown, 3);
  EXPECT_EQ(UIfieldString(3.14159, UI_FORMAT_GENERAL, UI_MODE_REAL, 2, &shown), "3.14159");
  EXPECT_EQ(UIfieldString(1e308, UI_FORMAT_GENERAL, UI_MODE_REAL, 2, &shown), "1e+308");
  EXPECT_EQ(shown, 1e308);
  EXPECT_EQ(UIfieldString(1234.5, UI_FORMAT_EXPONENTIAL, UI_MODE_REAL, 2, &shown), "1.23e+03");
  EXPECT_EQ(UIfieldString(-0.5, UI_FORMAT_FIXED, UI_MODE_REAL, 1, &shown), "-0.5");
  EXPECT_EQ(UIfieldString(5, UI_FORMAT_FIXED, UI_MODE_REAL, 0, &shown), "5");
  // Fixed -1e308 with 8 decimals is 319 characters: none may be lost, or the value read back
  // would change.
  std::string longest = UIfieldString(-1e308, UI_FORMAT_FIXED, UI_MODE_REAL, 8, &shown);
  EXPECT_EQ(longest.size(), 319u);
  EXPECT_EQ(shown, -1e308);
  EXPECT_EQ(UIfieldPrintFormat(UI_FORMAT_EXPONENTIAL, UI_MODE_REAL, 3), "%05.3e");
  EXPECT_EQ(UIfieldPrintFormat(UI_FORMAT_FIXED, UI_MODE_REAL, 3), "%05.3f");
  EXPECT_EQ(UIfieldPrintFormat(UI_FORMAT_EXPONENTIAL, UI_MODE_REAL, -4), "%02.0e")
      << "negative decimals count as 0: no malformed format";
  EXPECT_EQ(UIfieldPrintFormat(UI_FORMAT_FIXED, UI_MODE_REAL, -4), "%1.0f");
}

TEST(TypedNumbers, LettersAndTextsWithoutANumberAreRefused) {
  EXPECT_TRUE(UIalphaCheck("e3"));
  EXPECT_TRUE(UIalphaCheck("12a"));
  EXPECT_TRUE(UIalphaCheck("a"));
  EXPECT_FALSE(UIalphaCheck("1e3"));
  EXPECT_FALSE(UIalphaCheck("1E3"));
  EXPECT_FALSE(UIalphaCheck("-"));
  double v = 42;
  EXPECT_TRUE(UIparseTypedNumber("1e3", &v));
  EXPECT_EQ(v, 1000);
  EXPECT_TRUE(UIparseTypedNumber("  -12.5", &v));
  EXPECT_EQ(v, -12.5);
  EXPECT_TRUE(UIparseTypedNumber("3.5.7", &v)) << "the longest numeric prefix";
  EXPECT_EQ(v, 3.5);
  v = 42;
  for (const char* bad :
       {"", "-", "  ", "$5", ".", "1e999", "-1e999", " inf", "nan", "e3", "12a", "+"}) {
    EXPECT_FALSE(UIparseTypedNumber(bad, &v)) << '"' << bad << '"';
  }
  EXPECT_EQ(v, 42) << "refused text leaves the value alone";
}

TEST(TypedNumbers, DialTextKeepsItsPaddingAndRefusesNoNumbers) {
  double v = 42;
  EXPECT_TRUE(UIparseDialText("          3.25          ", &v));
  EXPECT_EQ(v, 3.25);
  EXPECT_TRUE(UIparseDialText(" 7x", &v)) << "what follows the number is ignored";
  EXPECT_EQ(v, 7);
  v = 42;
  for (const char* bad : {"", "   ", "nan", "inf", " -inf", "infinity", "x", "1e999", "-"})
    EXPECT_FALSE(UIparseDialText(bad, &v)) << '"' << bad << '"';
  EXPECT_EQ(v, 42);
}

TEST(CLocaleNumbers, CommaLocaleChangesNothing) {
  uitest::InCommaLocale comma;
  ASSERT_TRUE(comma.ok()) << "localedef could not make the comma locale";
  EXPECT_EQ(std::atof("3.14"), 3.0) << "the process locale is really comma-decimal";
  double v = 0;
  EXPECT_TRUE(UIparseTypedNumber("3.14", &v));
  EXPECT_EQ(v, 3.14);
  EXPECT_TRUE(UIparseDialText(" 2.5", &v));
  EXPECT_EQ(v, 2.5);
  EXPECT_TRUE(NUMparse_real(" 3.5 ", &v));
  EXPECT_EQ(v, 3.5);
  EXPECT_FALSE(NUMparse_real("3,5", &v)) << "a comma is no decimal point here";
  double shown = 0;
  EXPECT_EQ(UIfieldString(3.14159, UI_FORMAT_FIXED, UI_MODE_REAL, 2, &shown), "3.14");
  EXPECT_EQ(shown, 3.14);
  EXPECT_EQ(UIfieldString(0.5, UI_FORMAT_GENERAL, UI_MODE_REAL, 2, &shown), "0.5");
  EXPECT_EQ(UIfieldString(1234.5, UI_FORMAT_EXPONENTIAL, UI_MODE_REAL, 2, &shown), "1.23e+03");
  EXPECT_EQ(UIdialValueText(3.14159, 2), " 3.14");
  EXPECT_EQ(NUMformat("%.10g", 0.25), "0.25");
  char small[4];
  EXPECT_EQ(NUMsnprintf(small, sizeof small, "%.2f", 10.5), 5) << "the full length";
  EXPECT_STREQ(small, "10.");
}

TEST(SliderPrecision, DerivedFromTheRange) {
  EXPECT_EQ(setPrecision(0, 100), 2);
  EXPECT_EQ(setPrecision(0, 1000), 1);
  EXPECT_EQ(setPrecision(0, 10000), 0);
  EXPECT_EQ(setPrecision(0, 100000), 0);
  EXPECT_EQ(setPrecision(0, 0.5), 3);
  EXPECT_EQ(setPrecision(0, 0.05), 4);
  EXPECT_EQ(setPrecision(0, 50), 2);
  EXPECT_EQ(setPrecision(5, 5), 2) << "an empty range";
  EXPECT_EQ(setPrecision(10, 0), 2) << "an inverted range";
  EXPECT_EQ(setPrecision(0, kInf), 0) << "an infinite range reaches no int conversion";
  EXPECT_EQ(setPrecision(0, kNaN), 2);
  EXPECT_EQ(setPrecision(-1e308, 1e308), 0);
}

TEST(SliderStep, IncrementOrATenthOfTheRange) {
  int m = 0;
  ASSERT_TRUE(UIsliderStep(0, 1, true, 0, 2, &m));
  EXPECT_EQ(m, 10) << "increment 0: a tenth of the range";
  ASSERT_TRUE(UIsliderStep(0, 1, true, 5, 2, &m));
  EXPECT_EQ(m, 10) << "increment beyond the range: a tenth";
  ASSERT_TRUE(UIsliderStep(0, 1, true, 0.25, 2, &m));
  EXPECT_EQ(m, 25);
  ASSERT_TRUE(UIsliderStep(0, 100, false, 0, 0, &m));
  EXPECT_EQ(m, 10);
  m = 7;
  EXPECT_FALSE(UIsliderStep(0, 1e12, false, 0, 2, &m)) << "too large for the scale";
  EXPECT_FALSE(UIsliderStep(0, kNaN, false, 0, 2, &m));
  EXPECT_FALSE(UIsliderStep(5, 5, false, 0, 2, &m)) << "no step in an empty range";
  EXPECT_EQ(m, 7);
}

TEST(DialTicks, SpacingAndDecimalPoints) {
  int d = 2;
  EXPECT_DOUBLE_EQ(UIdialScaleInc(10, true, true, 0, 1, 100, UI_MODE_REAL, &d), 10);
  EXPECT_EQ(d, 2);
  d = 2;
  EXPECT_NEAR(UIdialScaleInc(10, true, true, 0, 0.01, 100, UI_MODE_REAL, &d), 1, 1e-9);
  EXPECT_EQ(d, 3) << "0.1 units: one more decimal point";
  d = 2;
  EXPECT_DOUBLE_EQ(UIdialScaleInc(0, false, false, 0, 0, 100, UI_MODE_REAL, &d), 10000)
      << "no bounds: the value per turn over n, n at least 1";
  for (double bad : {0.0, -5.0, kNaN}) {
    d = 2;
    UIdialScaleInc(10, false, false, 0, 0, bad, UI_MODE_REAL, &d);
    EXPECT_EQ(d, 2) << "value per turn " << bad << ": decimal points unchanged";
  }
  d = 2;
  UIdialScaleInc(10, true, true, 5, 5, 100, UI_MODE_REAL, &d);
  EXPECT_EQ(d, 2) << "min = max ends";
  d = 2;
  UIdialScaleInc(10, true, true, 5, 1, 100, UI_MODE_REAL, &d);
  EXPECT_EQ(d, 2) << "min > max ends";
  d = 0;
  EXPECT_EQ(UIdialScaleInc(10, true, true, 0, 1, 100, UI_MODE_INTEGER, &d), 1);
  EXPECT_EQ(d, 0);
  EXPECT_EQ(UIdialScaleFactor(-3), 1) << "below 0 counts as 0";
  EXPECT_EQ(UIdialScaleFactor(3), 1000);
  EXPECT_EQ(UIdialScaleFactor(10), 1e10);
}

TEST(DialType, ModeAndBounds) {
  EXPECT_EQ(UIdialType(UI_MODE_REAL, true, true), 3);
  EXPECT_EQ(UIdialType(UI_MODE_REAL, true, false), 1);
  EXPECT_EQ(UIdialType(UI_MODE_INTEGER, true, true), 2);
  EXPECT_EQ(UIdialType(UI_MODE_INTEGER, false, true), 0);
}

TEST(DialText, SignPlaceAndLongTexts) {
  EXPECT_EQ(UIdialValueText(3.14159, 2), " 3.14");
  EXPECT_EQ(UIdialValueText(-3.14159, 2), "-3.14");
  EXPECT_EQ(UIdialValueText(3.14159, 7), "3.141590");
  EXPECT_EQ(UIdialValueText(2, -1), " 2") << "negative decimals count as 0";
  std::string big = UIdialValueText(-1e308, 5);
  EXPECT_EQ(big.size(), 316u) << "never cut";
  double back = 0;
  EXPECT_TRUE(UIparseDialText(big.c_str(), &back));
  EXPECT_EQ(back, -1e308);
  EXPECT_FALSE(UIdialValueText(1, 30).empty());
}

TEST(DialGeometry, SizesFromTheObjectAndStyle) {
  UIdialLayout knob = UIdialGeometry(200, 200, 24, 31, 1);
  EXPECT_EQ(knob.dialHeight, 143);
  EXPECT_EQ(knob.formHeight, 145);
  EXPECT_EQ(knob.centerX, 99);
  EXPECT_EQ(knob.centerY, 71);
  EXPECT_EQ(knob.shadowCenterX, 102);
  EXPECT_EQ(knob.radius, 60);
  EXPECT_EQ(knob.shadowRadius, 61);
  EXPECT_EQ(knob.pointerLength, 12);
  EXPECT_EQ(knob.scaleLength, 12);
  EXPECT_EQ(knob.scaleOffset, 48);
  UIdialLayout flat = UIdialGeometry(200, 200, 24, 31, 0);
  EXPECT_EQ(flat.scaleLength, 4);
  EXPECT_EQ(flat.scaleOffset, 65);
  // At the allowed 50 x 50 the dial's own height would be 50 - 24 - 31 - 2 = -7.
  UIdialLayout tiny = UIdialGeometry(50, 50, 24, 31, 1);
  EXPECT_EQ(tiny.dialHeight, 1);
  EXPECT_GE(tiny.radius, 1);
  EXPECT_GE(tiny.scaleLength, 1);
  EXPECT_EQ(tiny.formHeight, 1);
}

}  // namespace
