// Dials on the shared server: type, range, ticks and text from the object; drags, releases,
// arrow keys and typed text writing back; sizes; a restyle from the dial's own callback.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <X11/keysym.h>
#include <Xm/Text.h>
#include <Xm/Xm.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "VwDialMath.h"
#include "ui/VwDial.h"
#include "ui/VwDialP.h"
#include "ui/dial.h"
#include "ui/misc.h"
#include "ui_test.h"
#include "x11_test.h"

namespace {

std::string trimmed(Widget w) {
  char* raw = XmTextGetString(w);
  std::string s = raw ? raw : "";
  XtFree(raw);
  size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

struct DialState {
  int type = -1, min = 0, max = 0, value = 0, scaleInc = 0, decimals = 0, perRev = 0;
};

DialState stateOf(Widget dial) {
  DialState s;
  int type = 0;
  XtVaGetValues(dial, VwNdialType, &type, VwNmin, &s.min, VwNmax, &s.max, VwNvalue, &s.value,
                VwNscaleInc, &s.scaleInc, VwNdecimalPoints, &s.decimals, VwNvaluePerRev, &s.perRev,
                nullptr);
  s.type = type;
  return s;
}

class Dials : public ::testing::Test {
 protected:
  void SetUp() override {
    uitest::startLibrary("dial_test");
    uitest::reports().clear();
    static int n = 0;
    prefix = "d" + std::to_string(++n) + "_";
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
  OMobj_id dial(const char* name, std::vector<std::pair<const char*, int>> ints,
                std::vector<std::pair<const char*, double>> reals = {}) {
    ints.insert(ints.begin(),
                {{"visible", 1}, {"x", 10}, {"y", 10}, {"width", 200}, {"height", 200}});
    OMobj_id id = make("UIdial", name, window, ints, reals);
    EXPECT_TRUE(uitest::pumpUntil([&] { return viewable(binding(id)->dialWidget()); }));
    return id;
  }
  static UIdial* binding(OMobj_id id) { return dynamic_cast<UIdial*>(UIobjIdToClass(id)); }
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
  // Where the dial's pointer can be grabbed now.
  static void grabPoint(Widget w, int* x, int* y) {
    VwDialPart& d = reinterpret_cast<VwDialWidget>(w)->dial;
    double distance =
        static_cast<double>(d.radius) - d.frame_thickness - d.pointer_length / 2.0 - 3;
    double gx = 0, gy = 0;
    vwdial::pointAt(d.center_x, d.center_y, d.angle, distance, &gx, &gy);
    *x = static_cast<int>(std::lround(gx));
    *y = static_cast<int>(std::lround(gy));
  }
  static void retype(Widget w, const std::string& text) {
    uitest::click(w);
    uitest::pressKey(XK_End);
    char* raw = XmTextGetString(w);
    size_t n = raw ? std::string(raw).size() : 0;
    XtFree(raw);
    for (size_t i = 0; i < n; ++i) uitest::pressKey(XK_BackSpace);
    for (char c : text) {
      KeySym sym = c == '.'   ? XK_period
                   : c == '-' ? XK_minus
                              : XStringToKeysym(std::string(1, c).c_str());
      uitest::pressKey(sym);
    }
    uitest::pressKey(XK_Return);
    uitest::pumpFor(20);
  }

  std::string prefix;
  OMobj_id window = OMnull_obj;
  std::vector<OMobj_id> made;
};

TEST_F(Dials, TypeRangeAndTicksFromTheObject) {
  OMobj_id real = dial("real", {{"decimalPoints", 2}, {"numTicks", 10}},
                       {{"min", 0}, {"max", 1}, {"value", 0.5}});
  DialState s = stateOf(binding(real)->dialWidget());
  EXPECT_EQ(s.type, VwREAL_VALUATOR);
  EXPECT_EQ(s.max, 100);
  EXPECT_EQ(s.scaleInc, 10);
  EXPECT_EQ(s.decimals, 2);
  EXPECT_EQ(s.value, 50);
  OMset_real_val(sub(real, "max"), 0.01);
  s = stateOf(binding(real)->dialWidget());
  EXPECT_EQ(s.decimals, 3) << "ticks on whole dial units: one more decimal point";
  EXPECT_EQ(s.scaleInc, 1);
  OMobj_id integer = dial("int", {{"x", 250}, {"mode", 1}}, {{"min", -0.4}, {"max", 9.6}});
  s = stateOf(binding(integer)->dialWidget());
  EXPECT_EQ(s.type, VwINTEGER_VALUATOR);
  EXPECT_EQ(s.min, 0);
  EXPECT_EQ(s.max, 10);
  OMobj_id acc = dial("acc", {{"y", 210}});
  s = stateOf(binding(acc)->dialWidget());
  EXPECT_EQ(s.type, VwREAL_ACCUMULATER);
  EXPECT_EQ(s.perRev, 100 * 100) << "100 per turn with 2 decimal points";
  // A real dial with an empty range and a value per turn: no endless growth of the points.
  OMobj_id empty = dial("empty", {{"x", 250}, {"y", 210}, {"decimalPoints", 2}},
                        {{"min", 1}, {"max", 1}, {"valuePerRev", 5}});
  EXPECT_FALSE(binding(empty)->usable());
  EXPECT_EQ(binding(empty)->decimalPoints(), 2);
  EXPECT_FALSE(XtIsSensitive(UIobjIdToWidget(empty)));
  OMset_real_val(sub(empty, "valuePerRev"), -3);
  EXPECT_EQ(binding(empty)->decimalPoints(), 2);
  // Values the dial cannot hold leave it as it was; the object keeps them.
  DialState before = stateOf(binding(acc)->dialWidget());
  OMset_real_val(sub(acc, "value"), 1e12);
  EXPECT_EQ(stateOf(binding(acc)->dialWidget()).value, before.value);
  EXPECT_EQ(realOf(acc, "value"), 1e12);
  OMset_int_val(sub(acc, "decimalPoints"), -2);
  EXPECT_EQ(binding(acc)->decimalPoints(), 0) << "below 0 counts as 0";
}

TEST_F(Dials, TheTextShowsTheValueAndTakesTypedOnes) {
  OMobj_id d = dial("text", {{"decimalPoints", 2}}, {{"min", 0}, {"max", 10}, {"value", 3.14159}});
  Widget text = binding(d)->textWidget();
  EXPECT_EQ(trimmed(text), "3.14");
  OMset_int_val(sub(d, "decimalPoints"), 7);
  EXPECT_EQ(trimmed(text), "3.141590") << "from 6 decimals: %#6.*g";
  OMset_int_val(sub(d, "decimalPoints"), 2);
  retype(text, "12");
  EXPECT_TRUE(uitest::pumpUntil([&] { return realOf(d, "value") == 10; })) << "above max: max";
  EXPECT_EQ(trimmed(text), "10.00");
  EXPECT_EQ(stateOf(binding(d)->dialWidget()).value, 1000);
  for (const char* bad : {"nan", "inf", "x", "-"}) {
    int before = OMget_obj_seq(sub(d, "value"), OMnull_obj, 0);
    retype(text, bad);
    EXPECT_EQ(OMget_obj_seq(sub(d, "value"), OMnull_obj, 0), before) << bad;
    EXPECT_EQ(trimmed(text), "10.00") << bad << ": the value shows again";
  }
  retype(text, "2.5");
  EXPECT_TRUE(uitest::pumpUntil([&] { return realOf(d, "value") == 2.5; }));
  // Updates of other properties leave a pending edit alone.
  uitest::click(text);
  uitest::pressKey(XK_End);
  uitest::pressKey(XK_7);
  std::string pending = trimmed(text);
  OMset_int_val(sub(d, "active"), 1);
  OMset_int_val(sub(d, "numTicks"), 5);
  EXPECT_EQ(trimmed(text), pending);
}

TEST_F(Dials, KeysDragsAndReleasesWriteTheValue) {
  OMobj_id d = dial("keys", {{"decimalPoints", 2}, {"immediateMode", 0}},
                    {{"min", 0}, {"max", 100}, {"value", 50}});
  Widget w = binding(d)->dialWidget();
  uitest::movePointer(w, 5, 5);
  XmProcessTraversal(w, XmTRAVERSE_CURRENT);
  uitest::pumpFor(30);
  uitest::pressKey(XK_Up);
  EXPECT_TRUE(uitest::pumpUntil([&] { return realOf(d, "value") != 50; }));
  EXPECT_NEAR(realOf(d, "value"), 50.01, 1e-9) << "a step of 0.01 with 2 decimal points";
  uitest::pressKey(XK_Up, ControlMask);
  EXPECT_TRUE(uitest::pumpUntil([&] { return realOf(d, "value") > 55; })) << "Ctrl: a tenth";
  for (int immediate : {0, 1}) {
    OMset_int_val(sub(d, "immediateMode"), immediate);
    OMset_real_val(sub(d, "value"), 50);
    int x = 0, y = 0;
    grabPoint(w, &x, &y);
    uitest::movePointer(w, x, y);
    uitest::pressButton(1);
    uitest::pumpFor(20);
    for (int step = 1; step <= 6; ++step) uitest::movePointer(w, x + 8 * step, y + 3 * step);
    uitest::pumpFor(30);
    double during = realOf(d, "value");
    uitest::releaseButton(1);
    EXPECT_TRUE(uitest::pumpUntil([&] { return realOf(d, "value") > 50; })) << "released";
    if (immediate)
      EXPECT_GT(during, 50) << "immediate: written while dragging";
    else
      EXPECT_EQ(during, 50) << "not immediate: written on release";
  }
}

TEST_F(Dials, SizesAreCorrectedAndNeverNegative) {
  OMobj_id narrow =
      make("UIdial", "narrow", window, {{"visible", 1}, {"width", 40}, {"height", 120}});
  EXPECT_EQ(uitest::intOf(narrow, "width"), 50);
  ASSERT_FALSE(uitest::reports().empty());
  EXPECT_EQ(uitest::reports()[0],
            "UIdial::instanceObject: UIdial width may not be less than 50. Using 50 as width.");
  OMobj_id small =
      make("UIdial", "small", window, {{"visible", 1}, {"x", 100}, {"width", 50}, {"height", 50}});
  Widget w = binding(small)->dialWidget();
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(UIobjIdToWidget(small)); }));
  EXPECT_GE(w->core.height, 1);
  EXPECT_LT(w->core.height, 100) << "no wrapped negative height";
  VwDialPart& part = reinterpret_cast<VwDialWidget>(w)->dial;
  EXPECT_GE(part.radius, 1);
  OMset_int_val(sub(small, "height"), 300);
  EXPECT_GT(w->core.height, 200);
}

TEST_F(Dials, RestyledFromItsOwnCallback) {
  OMobj_id d = dial("restyle", {{"decimalPoints", 0}, {"style", 0}},
                    {{"min", 0}, {"max", 10}, {"value", 0}});
  // "style" follows "value": the dial's own write restyles (rebuilds) it inside its callback.
  OMset_obj_ref(sub(d, "style"), sub(d, "value"), 0);
  Widget old = binding(d)->dialWidget();
  uitest::movePointer(old, 5, 5);
  XmProcessTraversal(old, XmTRAVERSE_CURRENT);
  uitest::pumpFor(30);
  uitest::pressKey(XK_Up);
  EXPECT_TRUE(uitest::pumpUntil([&] { return realOf(d, "value") == 1; }));
  uitest::pumpFor(30);
  ASSERT_NE(binding(d), nullptr);
  Widget now = binding(d)->dialWidget();
  EXPECT_FALSE(UIisBeingDestroyed(now));
  EXPECT_TRUE(UIisBeingDestroyed(old)) << "rebuilt";
  int style = 9;
  XtVaGetValues(now, VwNdialStyle, &style, nullptr);
  EXPECT_EQ(style, 1);
  EXPECT_EQ(trimmed(binding(d)->textWidget()), "1");
}

}  // namespace
