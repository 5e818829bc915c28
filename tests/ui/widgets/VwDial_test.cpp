// The dial widget on a real server: drawing seen in the window's pixels, real pointer and key
// input through XTest, resources set as values and as strings, and destruction.
#include <gtest/gtest.h>

#include <X11/Shell.h>
#include <X11/keysym.h>
#include <Xm/Xm.h>

#include <cmath>
#include <string>
#include <vector>

#include "VwDialMath.h"
#include "ui/VwDial.h"
#include "x11_test.h"

namespace {

// Distinct colours (the test server is 24-bit TrueColor, so a pixel is its RGB value).
constexpr Pixel kBase = 0x202020, kFace = 0x404040, kPointer = 0xff0000, kScale = 0x0000ff,
                kLit = 0xffff00, kTop = 0x00ffff, kDark = 0x00ff00, kShadow = 0x101010;

struct Event {
  int reason;
  int ivalue;
  double dvalue;
  bool widgetGiven;
};

void record(Widget w, XtPointer data, XtPointer call) {
  auto* events = static_cast<std::vector<Event>*>(data);
  auto* cbs = static_cast<VwDialCallbackStruct*>(call);
  events->push_back({cbs->reason, cbs->ivalue, cbs->dvalue, w == nullptr && cbs->widget});
}

std::vector<std::string>& warnings() {
  static std::vector<std::string> w;
  return w;
}

void recordWarning(String name, String, String, String def, String* params, Cardinal* count) {
  std::string text = std::string(name) + ": " + (def ? def : "");
  for (Cardinal i = 0; params && count && i < *count; ++i) text += std::string(" | ") + params[i];
  warnings().push_back(text);
}

class VwDialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    XtAppSetWarningMsgHandler(uitest::appContext(), recordWarning);
    warnings().clear();
    shell = uitest::newShell("dialtest");
    XtVaSetValues(shell, XtNwidth, 170, XtNheight, 170, nullptr);  // the dial's own size
  }
  void TearDown() override { uitest::destroyWidget(shell); }

  // A 0..100 integer valuator at 50 with the test colours.
  Widget makeDial(int style, std::vector<Arg> extra = {}) {
    std::vector<Arg> args(11);
    XtSetArg(args[0], VwNdialType, VwINTEGER_VALUATOR);
    XtSetArg(args[1], VwNmin, 0);
    XtSetArg(args[2], VwNmax, 100);
    XtSetArg(args[3], VwNvalue, 50);
    XtSetArg(args[4], VwNscaleInc, 25);
    XtSetArg(args[5], VwNdialStyle, style);
    XtSetArg(args[6], VwNdialBaseColor, kBase);
    XtSetArg(args[7], VwNdialColor, kFace);
    XtSetArg(args[8], VwNdialPointerColor, kPointer);
    XtSetArg(args[9], VwNdialScaleColor, kScale);
    XtSetArg(args[10], VwNdialHighlightColor, kLit);
    args.push_back({});
    XtSetArg(args.back(), VwNdialTopColor, kTop);
    args.push_back({});
    XtSetArg(args.back(), VwNdialShadowColor, style == VwKNOB ? kDark : kShadow);
    args.insert(args.end(), extra.begin(), extra.end());
    Widget dial = VwCreateDial(shell, const_cast<char*>("dial"), args.data(),
                               static_cast<Cardinal>(args.size()));
    for (const char* list : {VwNarmCallback, VwNactivateCallback, VwNdisarmCallback})
      XtAddCallback(dial, list, record, &events);
    XtManageChild(dial);
    EXPECT_TRUE(uitest::showAndWait(shell, dial));
    return dial;
  }

  Pixel pixel(Widget w, int x, int y) { return uitest::pixelAt(w, x, y); }

  // The pixel at angle a and distance d from the dial's centre (85, 85).
  Pixel pixelAt(Widget w, double a, double d) {
    double x, y;
    vwdial::pointAt(85, 85, a, d, &x, &y);
    return pixel(w, static_cast<int>(x), static_cast<int>(y));  // truncated, as the dial draws
  }

  bool waitForPixel(Widget w, double a, double d, Pixel want) {
    return uitest::pumpUntil([&] { return pixelAt(w, a, d) == want; });
  }

  int value(Widget dial) {
    VwDialCallbackStruct out{};
    VwGetDialValue(dial, &out);
    return out.ivalue;
  }

  void focus(Widget dial) {
    XSetInputFocus(XtDisplay(shell), XtWindow(shell), RevertToParent, CurrentTime);
    XmProcessTraversal(dial, XmTRAVERSE_CURRENT);
    uitest::pumpFor(50);
  }

  Widget shell = nullptr;
  std::vector<Event> events;
};

TEST_F(VwDialTest, FlatStyleDrawsFacePointerAndTicks) {
  Widget dial = makeDial(VwFLAT);
  // Value 50 on 0..100 points at 12 o'clock; the pointer runs from 57 to 62 from the centre.
  ASSERT_TRUE(waitForPixel(dial, 0, 60, kPointer));
  EXPECT_EQ(pixelAt(dial, 90, 60), kFace) << "no pointer at 3 o'clock";
  EXPECT_EQ(pixelAt(dial, 0, 30), kFace);
  // Ticks every 67.5 degrees from 225, 70 to 75 from the centre; nothing between them.
  EXPECT_EQ(pixelAt(dial, 225, 72), kScale);
  EXPECT_EQ(pixelAt(dial, 225 + 67.5, 72), kScale);
  EXPECT_EQ(pixelAt(dial, 180, 72), kBase) << "no tick in the bottom gap";
  EXPECT_EQ(pixel(dial, 2, 2), kBase);
}

TEST_F(VwDialTest, KnobStyleDrawsTheKnobTowardThePointer) {
  Widget dial = makeDial(VwKNOB);
  ASSERT_TRUE(uitest::pumpUntil([&] { return pixelAt(dial, 0, 40) != kBase; }));
  Pixel face = pixelAt(dial, 0, 40);
  EXPECT_TRUE(face == kLit || face == kTop || face == kDark) << std::hex << face;
  EXPECT_EQ(pixelAt(dial, 90, 50), kBase) << "nothing at 3 o'clock beyond the knob's base";
  EXPECT_EQ(pixelAt(dial, 225, 72), kScale);
}

TEST_F(VwDialTest, DraggingThePointerArmsActivatesAndDisarms) {
  Widget dial = makeDial(VwFLAT);
  ASSERT_TRUE(waitForPixel(dial, 0, 60, kPointer));
  // The grab point: 59.5 from the centre at 12 o'clock.
  uitest::movePointer(dial, 85, 26);
  uitest::pressButton();
  ASSERT_TRUE(uitest::pumpUntil([&] { return !events.empty(); }));
  EXPECT_EQ(events[0].reason, VwCR_ARM);
  EXPECT_EQ(events[0].ivalue, 50);
  EXPECT_TRUE(events[0].widgetGiven) << "null widget argument, widget in the data";
  uitest::movePointer(dial, 115, 35);
  uitest::movePointer(dial, 145, 85);  // 3 o'clock: (90 + 135) / 270 of the range
  uitest::releaseButton();
  ASSERT_TRUE(uitest::pumpUntil([&] { return events.back().reason == VwCR_DISARM; }));
  ASSERT_GE(events.size(), 4u);
  EXPECT_EQ(events[events.size() - 2].reason, VwCR_ACTIVATE);
  EXPECT_EQ(events.back().ivalue, 83);
  EXPECT_EQ(value(dial), 83);
  int resource = 0;
  XtVaGetValues(dial, VwNvalue, &resource, nullptr);
  EXPECT_EQ(resource, 83);
  EXPECT_TRUE(
      waitForPixel(dial, vwdial::valueToAngle(vwdial::Params{2, 3, 0, 100}, 83), 60, kPointer));
  EXPECT_EQ(pixelAt(dial, 0, 60), kFace) << "the old pointer was erased";
}

TEST_F(VwDialTest, APressAwayFromThePointerGrabsNothing) {
  Widget dial = makeDial(VwFLAT);
  uitest::drag(dial, 85, 140, 145, 85);
  uitest::pumpFor(50);
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(value(dial), 50);
}

TEST_F(VwDialTest, ArrowKeysStepAndReportDisarm) {
  Widget dial = makeDial(VwFLAT);
  focus(dial);
  uitest::pressKey(XK_Up);
  ASSERT_TRUE(uitest::pumpUntil([&] { return !events.empty(); }));
  EXPECT_EQ(events.back().reason, VwCR_DISARM);
  EXPECT_EQ(events.back().ivalue, 51);
  uitest::pressKey(XK_Up, ControlMask);
  ASSERT_TRUE(uitest::pumpUntil([&] { return events.size() == 2; }));
  EXPECT_EQ(events.back().ivalue, 61);
  uitest::pressKey(XK_Left);
  ASSERT_TRUE(uitest::pumpUntil([&] { return events.size() == 3; }));
  EXPECT_EQ(value(dial), 60);
  uitest::pressKey(XK_Down, ShiftMask);  // not bound: Shift is excluded
  uitest::pumpFor(50);
  EXPECT_EQ(events.size(), 3u);
}

TEST_F(VwDialTest, SetValuesRedrawsValueRangeAndColours) {
  Widget dial = makeDial(VwFLAT);
  ASSERT_TRUE(waitForPixel(dial, 0, 60, kPointer));
  XtVaSetValues(dial, VwNvalue, 0, nullptr);
  EXPECT_TRUE(waitForPixel(dial, 225, 60, kPointer));
  XtVaSetValues(dial, VwNmin, -100, nullptr);  // 0 is now the middle
  EXPECT_TRUE(waitForPixel(dial, 0, 60, kPointer));
  XtVaSetValues(dial, VwNdialPointerColor, 0x00ff00ul, nullptr);
  EXPECT_TRUE(waitForPixel(dial, 0, 60, 0x00ff00));
  XtVaSetValues(dial, VwNvalue, 500, nullptr);
  EXPECT_EQ(value(dial), 100) << "a value beyond max is clamped";
  XtVaSetValues(dial, VwNradius, 0, nullptr);
  Dimension radius = 0;
  XtVaGetValues(dial, VwNradius, &radius, nullptr);
  EXPECT_EQ(radius, 40);
}

TEST_F(VwDialTest, StringResourcesGoThroughTheConverters) {
  Widget dial = VwCreateDial(shell, const_cast<char*>("typed"), nullptr, 0);
  XtVaSetValues(dial, XtVaTypedArg, VwNdialType, XtRString, "VwREAL_VALUATOR",
                sizeof("VwREAL_VALUATOR"), XtVaTypedArg, VwNprocessingDirection, XtRString,
                "xmMAX_ON_LEFT", sizeof("xmMAX_ON_LEFT"), nullptr);
  int type = -1, direction = -1;
  XtVaGetValues(dial, VwNdialType, &type, VwNprocessingDirection, &direction, nullptr);
  EXPECT_EQ(type, VwREAL_VALUATOR);
  EXPECT_EQ(direction, VwMAX_ON_LEFT);
  XtVaSetValues(dial, XtVaTypedArg, VwNscalePosition, XtRString, "scale_off", sizeof("scale_off"),
                nullptr);
  int position = -1;
  XtVaGetValues(dial, VwNscalePosition, &position, nullptr);
  EXPECT_EQ(position, VwSCALE_ON) << "an unknown keyword leaves the value";
  ASSERT_FALSE(warnings().empty());
  EXPECT_NE(warnings().front().find("ScalePosition"), std::string::npos) << warnings().front();
}

TEST_F(VwDialTest, AnInvalidDirectionIsWarnedAboutNotFatal) {
  Arg arg;
  XtSetArg(arg, VwNprocessingDirection, VwMAX_ON_TOP);
  Widget dial = VwCreateDial(shell, const_cast<char*>("bad"), &arg, 1);
  int direction = -1;
  XtVaGetValues(dial, VwNprocessingDirection, &direction, nullptr);
  EXPECT_EQ(direction, VwMAX_ON_RIGHT);
  ASSERT_EQ(warnings().size(), 1u);
  EXPECT_NE(warnings()[0].find("invalid processing_direction"), std::string::npos);
}

TEST_F(VwDialTest, BadEnumeratedValuesAreReplacedAtCreationAndRefusedLater) {
  Arg args[4];
  XtSetArg(args[0], VwNdialType, 7);
  XtSetArg(args[1], VwNscalePosition, -1);
  XtSetArg(args[2], VwNradius, 0);
  XtSetArg(args[3], VwNshadowRadius, 0);
  Widget dial = VwCreateDial(shell, const_cast<char*>("bad"), args, 4);
  int type = -1, position = -1, direction = -1;
  Dimension radius = 0, shadowRadius = 0;
  XtVaGetValues(dial, VwNdialType, &type, VwNscalePosition, &position, VwNradius, &radius,
                VwNshadowRadius, &shadowRadius, nullptr);
  EXPECT_EQ(type, VwINTEGER_ACCUMULATER) << "the default";
  EXPECT_EQ(position, VwSCALE_ON);
  EXPECT_EQ(radius, 40);
  EXPECT_EQ(shadowRadius, 40);
  ASSERT_EQ(warnings().size(), 2u);
  EXPECT_NE(warnings()[0].find("invalid dial_type 7"), std::string::npos) << warnings()[0];
  EXPECT_NE(warnings()[1].find("invalid scale_position -1"), std::string::npos) << warnings()[1];
  // After creation a bad value changes nothing; good ones in the same call still apply.
  XtVaSetValues(dial, VwNdialType, VwREAL_VALUATOR, VwNprocessingDirection, VwMAX_ON_LEFT,
                VwNscalePosition, VwSCALE_OFF, nullptr);
  warnings().clear();
  XtVaSetValues(dial, VwNdialType, -3, VwNprocessingDirection, VwMAX_ON_BOTTOM, VwNscalePosition,
                12, VwNvalue, 20, nullptr);
  XtVaGetValues(dial, VwNdialType, &type, VwNprocessingDirection, &direction, VwNscalePosition,
                &position, nullptr);
  EXPECT_EQ(type, VwREAL_VALUATOR);
  EXPECT_EQ(direction, VwMAX_ON_LEFT);
  EXPECT_EQ(position, VwSCALE_OFF);
  int now = 0;
  XtVaGetValues(dial, VwNvalue, &now, nullptr);
  EXPECT_EQ(now, 20);
  EXPECT_EQ(warnings().size(), 3u);
}

TEST_F(VwDialTest, DestroyingADialWithCallbacksIsClean) {
  for (int i = 0; i < 50; ++i) {
    Widget dial = makeDial(i % 2 ? VwKNOB : VwFLAT);
    XtDestroyWidget(dial);
    uitest::pumpFor(1);
  }
  EXPECT_TRUE(events.empty());
  VwDialCallbackStruct out{};
  out.reason = -1;
  VwGetDialValue(shell, &out);  // not a dial: left alone
  EXPECT_EQ(out.reason, -1);
}

}  // namespace
