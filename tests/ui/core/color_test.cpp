// Colours and converters without a display: gamma correction and the converters' answers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "ui/color.h"

namespace {

// The exponent is read from the environment once a process: each setting runs in a child.
void exitWithCurveAt128(const char* uiGamma, const char* gamma) {
  if (uiGamma) setenv("KLT_UI_GAMMA", uiGamma, 1);
  if (gamma) setenv("KLT_GAMMA", gamma, 1);
  std::exit(static_cast<int>(gamma_correct(128, 256)));
}

int curveAt128(double gamma) {
  return static_cast<int>(std::pow(128.0 / 255, 1 / gamma) * 256);
}

class Gamma : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    unsetenv("KLT_UI_GAMMA");
    unsetenv("KLT_GAMMA");
  }
};

TEST_F(Gamma, TheDefaultCurveBrightensMidtonesAndKeepsTheEnds) {
  EXPECT_EQ(gamma_correct(0, 256), 0u);
  EXPECT_EQ(gamma_correct(255, 256), 255u);
  EXPECT_EQ(gamma_correct(128, 256), static_cast<unsigned>(curveAt128(2.22)));
  unsigned previous = 0;
  for (unsigned v = 0; v < 256; ++v) {
    unsigned out = gamma_correct(v, 256);
    EXPECT_LE(out, 255u) << v;
    EXPECT_GE(out, v) << "a gamma above 1 never darkens: " << v;
    EXPECT_GE(out, previous) << "the curve rises: " << v;
    previous = out;
  }
}

TEST_F(Gamma, OtherLevelsClampAndTooFewLevelsGiveNought) {
  EXPECT_EQ(gamma_correct(15, 16), 15u);
  EXPECT_EQ(gamma_correct(200, 16), 15u) << "a value past the top is the top";
  EXPECT_EQ(gamma_correct(1, 1), 0u);
  EXPECT_EQ(gamma_correct(5, 0), 0u);
}

TEST_F(Gamma, TheEnvironmentChoosesTheExponent) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(exitWithCurveAt128(nullptr, "1"), ::testing::ExitedWithCode(128), "")
      << "KLT_GAMMA 1 passes values unchanged";
  EXPECT_EXIT(exitWithCurveAt128("1", "3"), ::testing::ExitedWithCode(128), "")
      << "KLT_UI_GAMMA wins over KLT_GAMMA";
  EXPECT_EXIT(exitWithCurveAt128(nullptr, "3"), ::testing::ExitedWithCode(curveAt128(3)), "");
  EXPECT_EXIT(exitWithCurveAt128("0", nullptr), ::testing::ExitedWithCode(curveAt128(2.22)), "")
      << "a gamma of 0 has no meaning: the default stands";
  EXPECT_EXIT(exitWithCurveAt128("bright", nullptr), ::testing::ExitedWithCode(curveAt128(2.22)),
              "")
      << "text that is no number is passed over";
}

TEST(PixelCache, NothingIsAllocatedWithoutADisplay) {
  EXPECT_EQ(UIgetPixel(nullptr, 0, 10, 20, 30), 0ul);
  EXPECT_EQ(UIgetPixel(nullptr, 0, 10, 20, 30), 0ul) << "and nothing was cached";
}

// Calls a converter as Xt would, into a buffer of the given capacity.
struct Answer {
  bool ok;
  unsigned size;
  std::string text;
};
template <class T>
Answer convert(XtTypeConverter converter, T value, unsigned capacity) {
  char buffer[64] = {};
  XrmValue from{sizeof value, reinterpret_cast<XPointer>(&value)};
  XrmValue to{capacity, capacity ? buffer : nullptr};
  Cardinal none = 0;
  bool ok = converter(nullptr, nullptr, &none, &from, &to, nullptr) == True;
  return {ok, to.size, ok ? std::string(buffer) : std::string()};
}

TEST(Converters, WriteTheTextIntoTheCallersBufferOrSayWhatItNeeds) {
  Answer a = convert(CqCvtIntToString, -12345, 64);
  EXPECT_TRUE(a.ok);
  EXPECT_EQ(a.text, "-12345");
  EXPECT_EQ(a.size, 7u) << "length plus one";
  a = convert(CqCvtIntToString, -12345, 3);
  EXPECT_FALSE(a.ok) << "a short buffer";
  EXPECT_EQ(a.size, 7u) << "reports the size it needs";
  EXPECT_FALSE(convert(CqCvtIntToString, 1, 0).ok) << "no buffer";
  EXPECT_EQ(convert(CqCvtPositionToString, static_cast<short>(-7), 64).text, "-7");
  EXPECT_EQ(convert(CqCvtDimensionToString, static_cast<unsigned short>(65535), 64).text, "65535");
  EXPECT_EQ(convert(CqCvtBooleanToString, static_cast<Boolean>(True), 64).text, "True");
  EXPECT_EQ(convert(CqCvtBooleanToString, static_cast<Boolean>(False), 64).text, "False");
  EXPECT_EQ(convert(CqCvtBooleanDimensionToString, static_cast<unsigned short>(1), 64).text,
            "True");
  EXPECT_EQ(convert(CqCvtBooleanDimensionToString, static_cast<unsigned short>(0), 64).text,
            "False");
  EXPECT_EQ(convert(CqCvtBooleanDimensionToString, static_cast<unsigned short>(9), 64).text, "9");
  EXPECT_EQ(convert(CqCvtPointerToString, reinterpret_cast<void*>(0x1234), 64).text, "0x1234");
}

}  // namespace
