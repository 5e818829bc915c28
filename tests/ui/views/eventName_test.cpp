// The event-name syntax of the mouse interactors, without a display.
#include <gtest/gtest.h>

#include <string>

#include "ui/interact.h"

namespace {

TEST(EventName, EveryNameWithEveryModifier) {
  const char* names[][2] = {
      {"BtnLDown", "Btn1Down"},     {"BtnMDown", "Btn2Down"},     {"BtnRDown", "Btn3Down"},
      {"BtnLMotion", "Btn1Motion"}, {"BtnMMotion", "Btn2Motion"}, {"BtnRMotion", "Btn3Motion"},
      {"BtnLUp", "Btn1Up"},         {"BtnMUp", "Btn2Up"},         {"BtnRUp", "Btn3Up"}};
  const std::pair<const char*, int> modifiers[] = {
      {"", 0}, {"Shift", 256}, {"Control", 512}, {"Alt", 1024}, {"Meta", 0}};
  for (int n = 0; n < 9; ++n) {
    for (const char* name : names[n]) {
      for (auto& [mod, bits] : modifiers) {
        std::string text = std::string(mod) + "<" + name + ">";
        EXPECT_EQ(LookupEventName(text.c_str()), n + 1 + bits) << text;
      }
    }
  }
}

TEST(EventName, MalformedTextsGiveZero) {
  EXPECT_EQ(LookupEventName("Control<Btn2Motion>"), 517);
  EXPECT_EQ(LookupEventName("Ctrl<Btn2Motion>"), 5) << "an unknown modifier counts for nothing";
  EXPECT_EQ(LookupEventName("shift<Btn1Down>"), 1) << "modifiers are matched exactly";
  EXPECT_EQ(LookupEventName("Btn1Down"), 0);
  EXPECT_EQ(LookupEventName("<btn1down>"), 0) << "names are case-sensitive";
  EXPECT_EQ(LookupEventName(">Btn1Down<"), 0);
  EXPECT_EQ(LookupEventName("<Btn1Down"), 0);
  EXPECT_EQ(LookupEventName("Btn1Down>"), 0);
  EXPECT_EQ(LookupEventName("<>"), 0);
  EXPECT_EQ(LookupEventName("< Btn1Down>"), 0);
  EXPECT_EQ(LookupEventName(""), 0);
  EXPECT_EQ(LookupEventName(nullptr), 0);
}

TEST(EventName, TextsOfAnyLengthAreReadSafely) {
  const std::string mib(1 << 20, 'x');
  EXPECT_EQ(LookupEventName((mib + "<Btn3Up>").c_str()), 9) << "a long modifier counts nothing";
  EXPECT_EQ(LookupEventName(("<" + mib + ">").c_str()), 0) << "a long name is unknown";
  EXPECT_EQ(LookupEventName(("Shift<Btn1Down>" + mib).c_str()), 257);
  EXPECT_EQ(LookupEventName(("<Btn1Down" + mib).c_str()), 0);
  EXPECT_EQ(LookupEventName(("Shift<" + mib + "Btn1Down>").c_str()), 0);
}

}  // namespace
