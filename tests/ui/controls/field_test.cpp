// Fields and texts on the shared server, with real input: each update mode writes when it
// should and only then, typed text is refused, clamped or kept, and nothing the binding sets
// itself is written back.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <X11/keysym.h>
#include <Xm/Text.h>
#include <Xm/Xm.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "comma_locale.h"
#include "ui/field.h"
#include "ui/label.h"
#include "ui/misc.h"
#include "ui/text.h"
#include "ui_test.h"
#include "x11_test.h"

namespace {

using uitest::intOf;

std::string textOf(Widget w) {
  char* raw = XmTextGetString(w);
  std::string s = raw ? raw : "";
  XtFree(raw);
  return s;
}

class Fields : public ::testing::Test {
 protected:
  void SetUp() override {
    uitest::startLibrary("field_test");
    uitest::reports().clear();
    static int n = 0;
    prefix = "f" + std::to_string(++n) + "_";
    window = make("UIshell", "win", OMnull_obj, {{"visible", 1}, {"width", 400}, {"height", 300}});
    ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(UIobjIdToWidget(window)); }));
    // Something else to take the focus and the pointer.
    other = make("UIbutton", "other", window, {{"visible", 1}, {"x", 250}, {"y", 200}});
    ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(UIobjIdToWidget(other)); }));
  }
  void TearDown() override {
    for (auto it = made.rbegin(); it != made.rend(); ++it) OMdestroy_obj(*it, 0);
    uitest::pumpFor(20);
  }
  OMobj_id make(const char* type, const char* name, OMobj_id parent,
                std::vector<std::pair<const char*, int>> ints = {{"visible", 1}},
                std::vector<std::pair<const char*, double>> reals = {},
                std::vector<std::pair<const char*, const char*>> texts = {}) {
    OMobj_id place = uitest::instancePlace();
    OMpush_ctx(place, 0, 0, 0);
    OMobj_id id = uitest::makeObject(type, prefix + name, parent, ints);
    for (auto& [p, v] : reals) OMset_real_val(sub(id, p), v);
    for (auto& [p, v] : texts) OMset_str_val(sub(id, p), v);
    OMpop_ctx(place);
    made.push_back(id);
    return id;
  }
  // A field at (10, y) of 120 x 30, visible and shown, with more properties.
  OMobj_id field(const char* name, std::vector<std::pair<const char*, int>> ints,
                 std::vector<std::pair<const char*, double>> reals = {},
                 std::vector<std::pair<const char*, const char*>> texts = {}) {
    ints.insert(ints.begin(), {{"visible", 1}, {"x", 10}, {"y", 10}, {"width", 120}});
    OMobj_id id = make("UIfield", name, window, ints, reals, texts);
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
  static int stamp(OMobj_id id, const char* path) {
    return OMget_obj_seq(sub(id, path), OMnull_obj, 0);
  }
  // Clicks into the widget, goes to the end of its text, rubs it out and types text.
  static void retype(Widget w, const std::string& text) {
    uitest::click(w);
    uitest::pressKey(XK_End);
    for (size_t i = textOf(w).size(); i > 0; --i) uitest::pressKey(XK_BackSpace);
    for (char c : text) {
      KeySym sym = c == '.'   ? XK_period
                   : c == '-' ? XK_minus
                              : XStringToKeysym(std::string(1, c).c_str());
      uitest::pressKey(sym);
    }
    uitest::pumpFor(20);
  }
  void focusElsewhere() {
    uitest::click(UIobjIdToWidget(other));
    uitest::pumpFor(30);
  }
  UIfield* binding(OMobj_id id) { return dynamic_cast<UIfield*>(UIobjIdToClass(id)); }
  // Runs set inside a context and tells whether the updates that ran when it was popped
  // wrote the property again (an echo).
  template <class Set>
  static bool echoes(OMobj_id id, const char* path, Set set) {
    OMobj_id place = uitest::instancePlace();
    OMpush_ctx(place, 0, 0, 0);
    set();
    int written = stamp(id, path);
    OMpop_ctx(place);
    return stamp(id, path) != written;
  }

  std::string prefix;
  OMobj_id window = OMnull_obj, other = OMnull_obj;
  std::vector<OMobj_id> made;
};

// ---- From the object ----------------------------------------------------------------------

TEST_F(Fields, FormatsShowTheValueAndKeepWhatIsShown) {
  OMobj_id fixed = field("fixed", {{"format", 1}, {"decimalPoints", 2}}, {{"value", 3.14159}});
  EXPECT_EQ(textOf(UIobjIdToWidget(fixed)), "3.14");
  EXPECT_EQ(binding(fixed)->value(), 3.14) << "the value kept is the one shown";
  OMobj_id general = field("general", {{"y", 50}}, {{"value", 1e308}});
  EXPECT_EQ(textOf(UIobjIdToWidget(general)), "1e+308");
  OMobj_id wide =
      field("wide", {{"y", 90}, {"format", 1}, {"decimalPoints", 8}}, {{"value", -1e308}});
  EXPECT_EQ(textOf(UIobjIdToWidget(wide)).size(), 319u) << "no text is cut";
  EXPECT_EQ(binding(wide)->value(), -1e308);
  OMobj_id exp =
      field("exp", {{"y", 130}, {"format", 2}, {"decimalPoints", 2}}, {{"value", 1234.5}});
  EXPECT_EQ(textOf(UIobjIdToWidget(exp)), "1.23e+03");
  OMobj_id unset = field("unset", {{"y", 170}}, {}, {{"nullString", "none"}});
  EXPECT_EQ(textOf(UIobjIdToWidget(unset)), "none");
  OMset_real_val(sub(unset, "value"), 2.5);
  EXPECT_EQ(textOf(UIobjIdToWidget(unset)), "2.5");
  OMset_obj_val(sub(unset, "value"), OMnull_obj, 0);
  EXPECT_EQ(textOf(UIobjIdToWidget(unset)), "none");
  // Integer mode: fixed format, written back; a rounded value goes back to the object.
  OMobj_id integer = field("int", {{"y", 210}, {"mode", 1}}, {{"value", 2.6}});
  EXPECT_EQ(textOf(UIobjIdToWidget(integer)), "3");
  EXPECT_EQ(realOf(integer, "value"), 3);
  EXPECT_EQ(intOf(integer, "format"), 1);
  // Precision above 8 is cut and written back; "outputOnly" 2 is read-only too.
  OMset_int_val(sub(fixed, "decimalPoints"), 12);
  EXPECT_EQ(intOf(fixed, "decimalPoints"), 8);
  OMset_int_val(sub(fixed, "outputOnly"), 2);
  EXPECT_FALSE(XmTextGetEditable(UIobjIdToWidget(fixed)));
  OMset_int_val(sub(fixed, "outputOnly"), 0);
  EXPECT_TRUE(XmTextGetEditable(UIobjIdToWidget(fixed)));
  // A new width rebuilds the widget, which shows the value again.
  Widget before = UIobjIdToWidget(fixed);
  OMset_int_val(sub(fixed, "width"), 150);
  Widget after = UIobjIdToWidget(fixed);
  EXPECT_NE(after, before);
  EXPECT_TRUE(UIisBeingDestroyed(before));
  ASSERT_FALSE(UIisBeingDestroyed(after));
  EXPECT_EQ(textOf(after), "3.14159000") << "the object's value, with the 8 decimals now set";
  EXPECT_EQ(after->core.width, 150);
}

TEST_F(Fields, BoundsClampOrRefuseValuesFromTheObject) {
  OMobj_id f = field("bounds", {{"includeMin", 0}}, {{"min", 0}, {"max", 10}, {"value", 5}});
  Widget w = UIobjIdToWidget(f);
  OMset_real_val(sub(f, "value"), 0);
  EXPECT_EQ(binding(f)->value(), 5) << "an excluded min goes back to the previous value";
  OMset_int_val(sub(f, "includeMin"), 1);
  OMset_real_val(sub(f, "value"), 0);
  EXPECT_EQ(binding(f)->value(), 0) << "an included min stays";
  OMset_real_val(sub(f, "value"), -1);
  EXPECT_EQ(binding(f)->value(), 0);
  EXPECT_EQ(textOf(w), "0");
  OMset_real_val(sub(f, "value"), 11);
  EXPECT_EQ(textOf(w), "10");
}

// ---- From the user --------------------------------------------------------------------------

TEST_F(Fields, ReturnCommitsTypedNumbersAndRefusesOthers) {
  OMobj_id f = field("typed", {}, {{"value", 5}, {"max", 2000}, {"min", -100}});
  Widget w = UIobjIdToWidget(f);
  retype(w, "1e3");
  uitest::pressKey(XK_Return);
  EXPECT_TRUE(uitest::pumpUntil([&] { return realOf(f, "value") == 1000; }));
  for (const char* bad : {"12a", "e3", "-", "1e999"}) {
    int before = stamp(f, "value");
    retype(w, bad);
    uitest::pressKey(XK_Return);
    uitest::pumpFor(20);
    EXPECT_EQ(stamp(f, "value"), before) << bad << " writes nothing";
    EXPECT_EQ(realOf(f, "value"), 1000) << bad;
    EXPECT_EQ(textOf(w), "1000") << bad << ": the value shows again";
  }
  retype(w, "5000");
  uitest::pressKey(XK_Return);
  EXPECT_TRUE(uitest::pumpUntil([&] { return realOf(f, "value") == 2000; })) << "above max";
  EXPECT_EQ(textOf(w), "2000");
  retype(w, "-500");
  uitest::pressKey(XK_Return);
  EXPECT_TRUE(uitest::pumpUntil([&] { return realOf(f, "value") == -100; })) << "below min";
  EXPECT_EQ(textOf(w), "-100");
  // An empty text unsets the value and shows the null string.
  OMset_str_val(sub(f, "nullString"), "?");
  retype(w, "");
  uitest::pressKey(XK_Return);
  EXPECT_TRUE(uitest::pumpUntil([&] { return !OMis_set(sub(f, "value")); }));
  EXPECT_EQ(textOf(w), "?");
}

TEST_F(Fields, IntegerModeRoundsTypedText) {
  OMobj_id f = field("round", {{"mode", 1}}, {{"value", 1}});
  Widget w = UIobjIdToWidget(f);
  retype(w, "2.6");
  uitest::pressKey(XK_Return);
  EXPECT_TRUE(uitest::pumpUntil([&] { return realOf(f, "value") == 3; }));
  EXPECT_EQ(textOf(w), "3");
}

TEST_F(Fields, EachModeWritesWhenItShouldAndOnlyThen) {
  OMobj_id onReturn = field("m1", {{"updateMode", 1}}, {{"value", 1}});
  Widget w = UIobjIdToWidget(onReturn);
  retype(w, "7");
  focusElsewhere();
  EXPECT_EQ(realOf(onReturn, "value"), 1) << "mode 1: typing and losing focus write nothing";
  EXPECT_EQ(textOf(w), "7") << "the typed text stays";
  uitest::click(w);
  uitest::pressKey(XK_Return);
  EXPECT_TRUE(uitest::pumpUntil([&] { return realOf(onReturn, "value") == 7; }));

  OMobj_id onFocus = field("m2", {{"y", 50}, {"updateMode", 2}}, {{"value", 1}});
  w = UIobjIdToWidget(onFocus);
  retype(w, "8");
  uitest::pressKey(XK_Return);
  uitest::pumpFor(20);
  EXPECT_EQ(realOf(onFocus, "value"), 1) << "mode 2: Return writes nothing";
  focusElsewhere();
  EXPECT_TRUE(uitest::pumpUntil([&] { return realOf(onFocus, "value") == 8; }));

  OMobj_id onLeave = field("m4", {{"y", 90}, {"updateMode", 4}}, {{"value", 1}});
  w = UIobjIdToWidget(onLeave);
  retype(w, "9");
  uitest::pressKey(XK_Return);
  uitest::pumpFor(20);
  EXPECT_EQ(realOf(onLeave, "value"), 1) << "mode 4: Return writes nothing";
  uitest::movePointer(UIobjIdToWidget(window), 390, 290);
  EXPECT_TRUE(uitest::pumpUntil([&] { return realOf(onLeave, "value") == 9; }));
}

TEST_F(Fields, ImmediateModeKeepsTheUserTextAndWritesNoEcho) {
  OMobj_id f = field("m8", {{"updateMode", 8}, {"format", 1}, {"decimalPoints", 2}},
                     {{"value", 5}, {"min", 10}, {"max", 100}});
  Widget w = UIobjIdToWidget(f);
  EXPECT_EQ(textOf(w), "10.00");
  retype(w, "12.5");
  EXPECT_EQ(textOf(w), "12.5") << "the text is never rewritten while the user types";
  EXPECT_EQ(realOf(f, "value"), 12.5);
  // An update of another property leaves the text alone.
  OMset_int_val(sub(f, "active"), 1);
  EXPECT_EQ(textOf(w), "12.5");
  // A value from the object shows, and is not written back.
  EXPECT_FALSE(echoes(f, "value", [&] { OMset_real_val(sub(f, "value"), 3.14159); }));
  EXPECT_EQ(textOf(w), "10.00") << "clamped to min for display";
  EXPECT_FALSE(echoes(f, "value", [&] { OMset_real_val(sub(f, "value"), 42.123); }));
  EXPECT_EQ(textOf(w), "42.12");
  EXPECT_EQ(realOf(f, "value"), 42.123);
  // Refused text while typing writes nothing; Return shows the object's value again.
  retype(w, "4x");
  EXPECT_EQ(realOf(f, "value"), 10) << "the clamp of \"4\" was written, then nothing";
  uitest::pressKey(XK_Return);
  uitest::pumpFor(20);
  EXPECT_EQ(textOf(w), "10.00");
}

TEST_F(Fields, APendingEditSurvivesOtherUpdates) {
  OMobj_id f = field("pending", {}, {{"value", 5}});
  Widget w = UIobjIdToWidget(f);
  retype(w, "77");
  OMset_int_val(sub(f, "active"), 0);
  OMset_int_val(sub(f, "active"), 1);
  OMset_real_val(sub(f, "max"), 500);
  EXPECT_EQ(textOf(w), "77") << "an update of other properties keeps the typed text";
  OMset_real_val(sub(f, "value"), 6);
  EXPECT_EQ(textOf(w), "6") << "a new value replaces it";
}

// A change around the field (here its window's title) reaches it through its window: its
// properties stay as applied, and a size its window forced on it is put back.
TEST_F(Fields, AChangeAroundTheFieldGivesItItsSizeBackAndKeepsAnEdit) {
  OMobj_id f = field("around", {{"height", 30}}, {{"value", 5}});
  Widget w = UIobjIdToWidget(f);
  retype(w, "77");
  XtResizeWidget(w, 60, 14, w->core.border_width);
  OMset_str_val(sub(window, "title"), "around");
  uitest::pumpFor(20);
  EXPECT_EQ(w->core.width, 120);
  EXPECT_EQ(w->core.height, 30);
  EXPECT_EQ(textOf(w), "77") << "the typed text is kept";
  EXPECT_EQ(realOf(f, "value"), 5);
  // A change of its own in the same batch: the whole update runs.
  OMobj_id place = uitest::instancePlace();
  OMpush_ctx(place, 0, 0, 0);
  OMset_str_val(sub(window, "title"), "around again");
  OMset_real_val(sub(f, "value"), 7);
  OMpop_ctx(place);
  uitest::pumpFor(20);
  EXPECT_EQ(textOf(w), "7");
}

// "resizeMode" lets the field grow with its text; its "width" is then not forced on it, until
// the mode is taken back.
TEST_F(Fields, ResizeModeLetsTheFieldGrowWithItsText) {
  OMobj_id f = field("grows", {{"resizeMode", 1}}, {{"value", 5}});
  Widget w = UIobjIdToWidget(f);
  Boolean resizeWidth = False;
  XtVaGetValues(w, XmNresizeWidth, &resizeWidth, nullptr);
  EXPECT_TRUE(resizeWidth);
  Dimension before = w->core.width;
  OMset_real_val(sub(f, "value"), 1234567890123456.0);
  uitest::pumpFor(20);
  Dimension grown = w->core.width;
  EXPECT_GT(grown, before);
  OMset_str_val(sub(window, "title"), "grown");
  uitest::pumpFor(20);
  EXPECT_EQ(w->core.width, grown) << "a change around the field keeps the width its text gave it";
  OMset_int_val(sub(f, "width"), 150);  // a new width makes the widget again
  uitest::pumpFor(20);
  w = UIobjIdToWidget(f);
  XtVaGetValues(w, XmNresizeWidth, &resizeWidth, nullptr);
  EXPECT_TRUE(resizeWidth) << "the widget made again grows with its text too";
  OMset_int_val(sub(f, "resizeMode"), 0);
  uitest::pumpFor(20);
  XtVaGetValues(w, XmNresizeWidth, &resizeWidth, nullptr);
  EXPECT_FALSE(resizeWidth);
  EXPECT_EQ(w->core.width, 150) << "the object's width again";
}

TEST_F(Fields, ReturnAndFocusCommitBeforeAClickedButtonsCommand) {
  OMobj_id f = field("m3", {{"updateMode", 3}}, {{"value", 1}});
  Widget w = UIobjIdToWidget(f);
  retype(w, "42");
  OMobj_id press = other;
  int doBefore = stamp(press, "do");
  uitest::click(UIobjIdToWidget(press));
  ASSERT_TRUE(uitest::pumpUntil([&] { return stamp(press, "do") > doBefore; }));
  EXPECT_EQ(realOf(f, "value"), 42);
  EXPECT_LT(stamp(f, "value"), stamp(press, "do")) << "the value is written before the command";
}

TEST_F(Fields, CommaLocaleTakesAndShowsPoints) {
  uitest::InCommaLocale comma;
  ASSERT_TRUE(comma.ok());
  OMobj_id f = field("comma", {{"format", 1}, {"decimalPoints", 2}}, {{"value", 2.5}});
  Widget w = UIobjIdToWidget(f);
  EXPECT_EQ(textOf(w), "2.50");
  retype(w, "3.14");
  uitest::pressKey(XK_Return);
  EXPECT_TRUE(uitest::pumpUntil([&] { return realOf(f, "value") == 3.14; }));
  EXPECT_EQ(textOf(w), "3.14");
}

// ---- Texts ----------------------------------------------------------------------------------

TEST_F(Fields, TextReturnWritesEvenUnchangedFocusOnlyChanged) {
  OMobj_id t =
      make("UItext", "text", window, {{"visible", 1}, {"x", 10}, {"y", 10}, {"updateMode", 3}}, {},
           {{"text", "hello"}});
  Widget w = UIobjIdToWidget(t);
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(w); }));
  EXPECT_EQ(textOf(w), "hello");
  uitest::click(w);
  int before = stamp(t, "text");
  uitest::pressKey(XK_Return);
  EXPECT_TRUE(uitest::pumpUntil([&] { return stamp(t, "text") > before; })) << "Return writes";
  before = stamp(t, "text");
  focusElsewhere();
  EXPECT_EQ(stamp(t, "text"), before) << "losing focus with the same text writes nothing";
  uitest::click(w);
  uitest::pressKey(XK_End);
  uitest::pressKey(XK_x);
  focusElsewhere();
  EXPECT_TRUE(uitest::pumpUntil([&] { return stamp(t, "text") > before; }));
  char* s = nullptr;
  ASSERT_EQ(OMget_str_val(sub(t, "text"), &s, 0), 1);
  EXPECT_STREQ(s, "hellox");
  std::free(s);
  // From the object: shown, not written back.
  EXPECT_FALSE(echoes(t, "text", [&] { OMset_str_val(sub(t, "text"), "set"); }));
  EXPECT_EQ(textOf(w), "set");
}

// A height beyond X's 16 bits is reported and refused, never applied wrapped (70000 high is 4464
// high to X), in a field and in a text alike.
TEST_F(Fields, AHeightBeyondSixteenBitsIsReportedNotWrapped) {
  OMobj_id f = field("tall", {{"height", 30}});
  OMobj_id t = make("UItext", "tall", window,
                    {{"visible", 1}, {"x", 10}, {"y", 60}, {"width", 120}, {"height", 30}});
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(UIobjIdToWidget(t)); }));
  for (OMobj_id id : {f, t}) {
    uitest::reports().clear();
    OMset_int_val(sub(id, "height"), 70000);
    uitest::pumpFor(20);
    Widget w = UIobjIdToWidget(id);
    EXPECT_EQ(w->core.height, 30);
    ASSERT_FALSE(uitest::reports().empty());
    EXPECT_NE(uitest::reports()[0].find("The height value of 70000 is invalid"), std::string::npos)
        << uitest::reports()[0];
  }
}

TEST_F(Fields, MultiLineTextsCommitOnCtrlReturn) {
  OMobj_id t = make("UItext", "lines", window,
                    {{"visible", 1}, {"x", 10}, {"y", 10}, {"rows", 3}, {"updateMode", 1}}, {},
                    {{"text", "a"}});
  Widget w = UIobjIdToWidget(t);
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(w); }));
  int mode = 0;
  XtVaGetValues(w, XmNeditMode, &mode, nullptr);
  EXPECT_EQ(mode, XmMULTI_LINE_EDIT);
  EXPECT_GT(intOf(t, "height"), 28) << "the height of 3 rows is written";
  uitest::click(w);
  uitest::pressKey(XK_End);
  int before = stamp(t, "text");
  uitest::pressKey(XK_Return);
  uitest::pressKey(XK_b);
  uitest::pumpFor(20);
  EXPECT_EQ(textOf(w), "a\nb") << "Return makes a new line";
  EXPECT_EQ(stamp(t, "text"), before);
  uitest::pressKey(XK_Return, ControlMask);
  EXPECT_TRUE(uitest::pumpUntil([&] { return stamp(t, "text") > before; }));
  char* s = nullptr;
  ASSERT_EQ(OMget_str_val(sub(t, "text"), &s, 0), 1);
  EXPECT_STREQ(s, "a\nb");
  std::free(s);
}

}  // namespace
