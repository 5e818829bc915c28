// Sliders on the shared server: scaling and precision, range and step, a value the scale
// cannot hold, pending ranges, rebuilds, and real drags and keys writing the value back.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <X11/keysym.h>
#include <Xm/Scale.h>
#include <Xm/ScrollBar.h>
#include <Xm/Xm.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "ui/misc.h"
#include "ui/slider.h"
#include "ui_test.h"
#include "x11_test.h"

namespace {

struct ScaleState {
  short decimals = -1;
  int min = 0, max = 0, value = 0, multiple = 0;
  unsigned char direction = 0, orientation = 0;
};

ScaleState stateOf(Widget w) {
  ScaleState s;
  XtVaGetValues(w, XmNdecimalPoints, &s.decimals, XmNminimum, &s.min, XmNmaximum, &s.max, XmNvalue,
                &s.value, XmNscaleMultiple, &s.multiple, XmNprocessingDirection, &s.direction,
                XmNorientation, &s.orientation, nullptr);
  return s;
}

class Sliders : public ::testing::Test {
 protected:
  void SetUp() override {
    uitest::startLibrary("slider_test");
    static int n = 0;
    prefix = "s" + std::to_string(++n) + "_";
    window = make("UIshell", "win", OMnull_obj, {{"visible", 1}, {"width", 500}, {"height", 400}});
    ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(UIobjIdToWidget(window)); }));
  }
  void TearDown() override {
    for (auto it = made.rbegin(); it != made.rend(); ++it) OMdestroy_obj(*it, 0);
    uitest::pumpFor(20);
  }
  OMobj_id make(const char* type, const char* name, OMobj_id parent,
                std::vector<std::pair<const char*, int>> ints,
                std::vector<std::pair<const char*, double>> reals = {}) {
    OMobj_id place = uitest::instancePlace();
    OMpush_ctx(place, 0, 0, 0);
    OMobj_id id = uitest::makeObject(type, prefix + name, parent, ints);
    for (auto& [p, v] : reals) OMset_real_val(sub(id, p), v);
    OMpop_ctx(place);
    made.push_back(id);
    return id;
  }
  OMobj_id slider(const char* name, std::vector<std::pair<const char*, int>> ints,
                  std::vector<std::pair<const char*, double>> reals = {}) {
    ints.insert(ints.begin(), {{"visible", 1}, {"x", 10}, {"y", 10}});
    OMobj_id id = make("UIslider", name, window, ints, reals);
    EXPECT_TRUE(uitest::pumpUntil([&] { return viewable(UIobjIdToWidget(id)); }));
    return id;
  }
  static bool viewable(Widget w) {
    XWindowAttributes attrs;
    return !UIisBeingDestroyed(w) && XtWindow(w) &&
           XGetWindowAttributes(XtDisplay(w), XtWindow(w), &attrs) && attrs.map_state == IsViewable;
  }
  static OMobj_id sub(OMobj_id id, const char* path) { return OMfind_str_subobj(id, path, 0); }
  static double realOf(OMobj_id id, const char* path) {
    double v = NAN;
    OMget_real_val(sub(id, path), &v);
    return v;
  }
  static Widget bar(Widget scale) {
    WidgetList children = nullptr;
    Cardinal count = 0;
    XtVaGetValues(scale, XmNchildren, &children, XmNnumChildren, &count, nullptr);
    for (Cardinal i = 0; i < count; ++i)
      if (XmIsScrollBar(children[i])) return children[i];
    return nullptr;
  }

  // Presses button 1 on the middle of a scroll bar and moves the pointer 60 pixels right,
  // the button still held.
  static void dragRight(Widget sb) {
    int cx = sb->core.width / 2, cy = sb->core.height / 2;
    uitest::movePointer(sb, cx, cy);
    uitest::pressButton(1);
    uitest::pumpFor(20);
    for (int dx = 10; dx <= 60; dx += 10) uitest::movePointer(sb, cx + dx, cy);
  }

  std::string prefix;
  OMobj_id window = OMnull_obj;
  std::vector<OMobj_id> made;
};

TEST_F(Sliders, PrecisionAndScalingFromTheRange) {
  OMobj_id s = slider("hundred", {}, {{"min", 0}, {"max", 100}, {"value", 12.345}});
  ScaleState st = stateOf(UIobjIdToWidget(s));
  EXPECT_EQ(st.decimals, 2);
  EXPECT_EQ(st.value, 1235) << "12.345 rounds half away to 12.35";
  EXPECT_EQ(st.max, 10000);
  OMset_real_val(sub(s, "max"), 0.5);
  OMset_real_val(sub(s, "value"), 0.25);
  EXPECT_EQ(stateOf(UIobjIdToWidget(s)).decimals, 3);
  OMset_real_val(sub(s, "max"), 100000);
  EXPECT_EQ(stateOf(UIobjIdToWidget(s)).decimals, 0);
  OMset_int_val(sub(s, "decimalPoints"), 1);
  EXPECT_EQ(stateOf(UIobjIdToWidget(s)).decimals, 1) << "given decimal points win";
  OMset_int_val(sub(s, "mode"), 1);
  EXPECT_EQ(stateOf(UIobjIdToWidget(s)).decimals, 0) << "integer mode: always 0";
  OMset_int_val(sub(s, "decimalPoints"), -3);
  OMset_int_val(sub(s, "mode"), 2);
  EXPECT_EQ(stateOf(UIobjIdToWidget(s)).decimals, 0) << "below 0 counts as 0";
}

TEST_F(Sliders, ValuesOutsideTheRangeAreClampedInTheObject) {
  OMobj_id s = slider("clamp", {}, {{"min", 0}, {"max", 100}, {"value", 150}});
  EXPECT_EQ(realOf(s, "value"), 100);
  OMset_real_val(sub(s, "value"), -5);
  EXPECT_EQ(realOf(s, "value"), 0);
  EXPECT_EQ(stateOf(UIobjIdToWidget(s)).value, 0);
}

TEST_F(Sliders, RealsTheScaleCannotHoldLeaveItAsItWas) {
  OMobj_id s = slider("huge", {{"decimalPoints", 2}}, {{"min", 0}, {"max", 100}, {"value", 50}});
  Widget w = UIobjIdToWidget(s);
  ScaleState before = stateOf(w);
  OMset_real_val(sub(s, "max"), 1e12);
  OMset_real_val(sub(s, "value"), 1e11);
  ScaleState after = stateOf(w);
  EXPECT_EQ(after.max, before.max) << "1e12 x 100 is beyond the scale";
  EXPECT_EQ(after.value, before.value);
  EXPECT_EQ(realOf(s, "value"), 1e11) << "the object keeps its value";
  OMset_real_val(sub(s, "max"), 100);
  before = stateOf(w);
  OMset_real_val(sub(s, "value"), std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(stateOf(w).value, before.value) << "NaN reaches no int conversion";
  OMset_real_val(sub(s, "value"), 25);
  EXPECT_EQ(stateOf(w).value, 2500);
}

TEST_F(Sliders, EmptyRangesAreInsensitiveAndPendingRangesWiden) {
  OMobj_id s = slider("empty", {}, {{"min", 5}, {"max", 5}});
  EXPECT_FALSE(XtIsSensitive(UIobjIdToWidget(s)));
  OMset_real_val(sub(s, "max"), 6);
  EXPECT_TRUE(XtIsSensitive(UIobjIdToWidget(s)));
  // "max" linked to a property that has no value yet: nothing is clamped until it comes.
  OMobj_id source = slider("source", {{"y", 100}});
  OMobj_id p = slider("pending", {{"y", 200}}, {{"value", 150}});
  OMset_obj_ref(sub(p, "max"), sub(source, "increment"), 0);
  auto* binding = dynamic_cast<UIslider*>(UIobjIdToClass(p));
  ASSERT_NE(binding, nullptr);
  OMset_real_val(sub(p, "value"), 150);
  EXPECT_TRUE(binding->rangePending());
  EXPECT_EQ(realOf(p, "value"), 150) << "not clamped while the range is pending";
  EXPECT_EQ(stateOf(UIobjIdToWidget(p)).max, 15000) << "the range widens to the value";
  OMset_real_val(sub(source, "increment"), 120);
  EXPECT_FALSE(binding->rangePending());
  EXPECT_EQ(realOf(p, "value"), 120) << "clamped once the bound has come";
}

TEST_F(Sliders, StepDirectionAndTitle) {
  OMobj_id s = slider("step", {{"decimalPoints", 2}}, {{"min", 0}, {"max", 1}, {"increment", 0}});
  Widget w = UIobjIdToWidget(s);
  EXPECT_EQ(stateOf(w).multiple, 10) << "increment 0: a tenth of the range";
  OMset_real_val(sub(s, "increment"), 0.25);
  EXPECT_EQ(stateOf(w).multiple, 25);
  OMset_real_val(sub(s, "increment"), 7);
  EXPECT_EQ(stateOf(w).multiple, 10) << "larger than the range: a tenth";
  EXPECT_EQ(stateOf(w).direction, XmMAX_ON_RIGHT);
  unsigned char arrows = XmNONE;
  XtVaGetValues(bar(w), XmNshowArrows, &arrows, nullptr);
  EXPECT_EQ(arrows, XmEACH_SIDE) << "the scroll bar has its arrows at both ends";
  OMobj_id v = slider("vertical", {{"y", 100}, {"horizontal", 0}});
  EXPECT_EQ(stateOf(UIobjIdToWidget(v)).direction, XmMAX_ON_BOTTOM);
  EXPECT_EQ(stateOf(UIobjIdToWidget(v)).orientation, XmVERTICAL);
  OMset_int_val(sub(v, "processingDirection"), 3);
  EXPECT_EQ(stateOf(UIobjIdToWidget(v)).direction, XmMAX_ON_TOP);
}

TEST_F(Sliders, TwoFlippedInOneUpdateAreEachRebuiltOnce) {
  OMobj_id a = slider("a", {});
  OMobj_id b = slider("b", {{"y", 100}});
  Widget oldA = UIobjIdToWidget(a), oldB = UIobjIdToWidget(b);
  // Counted by a destroy callback: once freed, an old widget's address may be a new widget's.
  static int gone = 0;
  gone = 0;
  for (Widget old : {oldA, oldB})
    XtAddCallback(
        old, XmNdestroyCallback, [](Widget, XtPointer, XtPointer) { ++gone; }, nullptr);
  OMobj_id place = uitest::instancePlace();
  OMpush_ctx(place, 0, 0, 0);
  OMset_int_val(sub(a, "horizontal"), 0);
  OMset_int_val(sub(b, "horizontal"), 0);
  OMpop_ctx(place);
  uitest::pumpFor(30);
  for (OMobj_id id : {a, b}) {
    Widget w = UIobjIdToWidget(id);
    ASSERT_FALSE(UIisBeingDestroyed(w));
    EXPECT_EQ(stateOf(w).orientation, XmVERTICAL);
  }
  EXPECT_NE(UIobjIdToWidget(a), oldA);
  EXPECT_NE(UIobjIdToWidget(b), oldB);
  EXPECT_EQ(gone, 2) << "the old ones are gone";
}

TEST_F(Sliders, AKeyStepWritesTheScaledValue) {
  OMobj_id s = slider("key", {{"decimalPoints", 2}}, {{"min", 0}, {"max", 10}, {"value", 3.13}});
  Widget w = UIobjIdToWidget(s);
  uitest::movePointer(w, 5, 5);
  XmProcessTraversal(bar(w), XmTRAVERSE_CURRENT);
  uitest::pumpFor(30);
  uitest::pressKey(XK_Right);
  ASSERT_TRUE(uitest::pumpUntil([&] { return realOf(s, "value") != 3.13; }));
  EXPECT_EQ(realOf(s, "value"), 314 * 0.1 * 0.1);
  EXPECT_EQ(realOf(s, "value"), 3.1400000000000006);
}

TEST_F(Sliders, DragsWriteWhileDraggingOnlyInImmediateMode) {
  for (int immediate : {0, 1}) {
    std::string name = "drag" + std::to_string(immediate);
    OMobj_id s = slider(name.c_str(),
                        {{"y", 10 + 100 * immediate}, {"width", 300}, {"immediateMode", immediate}},
                        {{"min", 0}, {"max", 100}, {"value", 50}});
    Widget sb = bar(UIobjIdToWidget(s));
    ASSERT_NE(sb, nullptr);
    dragRight(sb);
    uitest::pumpFor(30);
    double during = realOf(s, "value");
    uitest::releaseButton(1);
    ASSERT_TRUE(uitest::pumpUntil([&] { return realOf(s, "value") > 50; })) << name;
    if (immediate)
      EXPECT_GT(during, 50) << "immediate: written while dragging";
    else
      EXPECT_EQ(during, 50) << "not immediate: written on release only";
  }
}

TEST_F(Sliders, ChangesAfterADragAndARebuildReachTheScale) {
  OMobj_id s = slider("after", {{"width", 300}}, {{"min", 0}, {"max", 100}, {"value", 50}});
  Widget sb = bar(UIobjIdToWidget(s));
  ASSERT_NE(sb, nullptr);
  dragRight(sb);
  uitest::releaseButton(1);
  ASSERT_TRUE(uitest::pumpUntil([&] { return realOf(s, "value") > 50; }));
  // The scale moved under the binding: the value it showed before is set again.
  OMset_real_val(sub(s, "value"), 50);
  ScaleState st = stateOf(UIobjIdToWidget(s));
  int scale = static_cast<int>(std::lround(std::pow(10, st.decimals)));
  EXPECT_EQ(st.value, 50 * scale);
  OMset_real_val(sub(s, "max"), 1000);
  st = stateOf(UIobjIdToWidget(s));
  scale = static_cast<int>(std::lround(std::pow(10, st.decimals)));
  EXPECT_EQ(st.max, 1000 * scale);
  EXPECT_EQ(st.value, 50 * scale);
  // A new scale (made again for its orientation) takes every later change.
  OMset_int_val(sub(s, "horizontal"), 0);
  uitest::pumpFor(20);
  OMset_real_val(sub(s, "min"), 10);
  OMset_real_val(sub(s, "value"), 20);
  OMset_int_val(sub(s, "decimalPoints"), 1);
  st = stateOf(UIobjIdToWidget(s));
  EXPECT_EQ(st.orientation, XmVERTICAL);
  EXPECT_EQ(st.decimals, 1);
  EXPECT_EQ(st.min, 100);
  EXPECT_EQ(st.max, 10000);
  EXPECT_EQ(st.value, 200);
}

TEST_F(Sliders, TheTroughKeepsTheBackgroundOfItsScrollBar) {
  OMobj_id s = slider("trough", {}, {{"min", 0}, {"max", 100}, {"value", 10}});
  auto troughMatches = [&] {
    Widget sb = bar(UIobjIdToWidget(s));
    Pixel background = 0, trough = 1;
    XtVaGetValues(sb, XmNbackground, &background, XmNtroughColor, &trough, nullptr);
    return background == trough;
  };
  EXPECT_TRUE(troughMatches());
  for (const char* colour : {"red", "#2040a0"}) {
    OMset_str_val(sub(s, "color.backgroundColor"), colour);
    EXPECT_TRUE(troughMatches()) << colour << ": in the update that changed it";
    OMset_real_val(sub(s, "value"), 20);
    EXPECT_TRUE(troughMatches()) << colour << ": after a value alone";
  }
}

}  // namespace
