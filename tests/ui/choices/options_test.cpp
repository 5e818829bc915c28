// Option menus, radio boxes and option boxes on the shared server, with real input; one option
// shown by several controls at once.
#include <gtest/gtest.h>

#include <Xm/PushB.h>
#include <Xm/RowColumn.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "om/om_registry.h"
#include "svc/arr.h"
#include "svc/ev.h"
#include "ui/menus.h"
#include "ui/misc.h"
#include "ui/optionBox.h"
#include "ui/optionMenu.h"
#include "ui/radioBox.h"
#include "ui/shell.h"
#include "ui_test.h"
#include "x11_test.h"

namespace {

using uitest::intOf;

OMobj_id sub(OMobj_id id, const char* path) {
  return OMfind_str_subobj(id, path, 0);
}

// An application's reaction to a choice: when "watch" becomes 1, the control named by
// "control" gets a new "cmdList" holding only "next".
int replacerUpdate(OMobj_id id) {
  int v = 0;
  OMobj_id control, next;
  if (OMget_int_val(sub(id, "watch"), &v) != 1 || v != 1) return 1;
  if (OMget_obj_val(sub(id, "control"), &control) != 1 ||
      OMget_obj_val(sub(id, "next"), &next) != 1)
    return 1;
  OMpush_ctx(control, 1, 0, 0);
  OMset_array_size(sub(control, "cmdList"), 0);
  OMset_array_val(sub(control, "cmdList"), OM_ARRAY_APPEND, next, 0);
  OMset_int_val(sub(control, "dims"), 1);
  OMpop_ctx(control);
  return 1;
}

const char* kTemplates =
    "templates:\n"
    "  TestReplacer:\n"
    "    methods: { update1: replacerUpdate }\n"
    "    properties: { watch: ref, control: ref, next: ref }\n";

class Options : public ::testing::Test {
 protected:
  void SetUp() override {
    OMregister_update1_method("replacerUpdate", replacerUpdate);
    uitest::startLibrary("options_test", kTemplates);
    uitest::reports().clear();
    XtSetMultiClickTime(uitest::display(), 50);
    static int n = 0;
    prefix = "o" + std::to_string(++n) + "_";
    OMobj_id place = uitest::instancePlace();
    OMpush_ctx(place, 0, 0, 0);
    window = track(OMcreate_obj_from_path("UIshell", (prefix + "win").c_str(), place));
    OMset_int_val(sub(window, "visible"), 1);
    OMset_int_val(sub(window, "width"), 500);
    OMset_int_val(sub(window, "height"), 400);
    OMpop_ctx(place);
    ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(UIobjIdToWidget(window)); }));
  }
  void TearDown() override {
    for (auto it = made.rbegin(); it != made.rend(); ++it) OMdestroy_obj(*it, 0);
    uitest::pumpFor(20);
  }
  OMobj_id track(OMobj_id id) {
    made.push_back(id);
    return id;
  }
  OMobj_id option(const std::string& name, int set = -1) {
    OMobj_id o =
        OMcreate_obj_from_path("UIoption", (prefix + name).c_str(), uitest::instancePlace());
    OMset_str_val(sub(o, "label"), name.c_str());
    if (set >= 0) OMset_int_val(sub(o, "set"), set);
    return track(o);
  }
  OMobj_id control(const char* type, const std::string& name, const std::vector<OMobj_id>& entries,
                   std::vector<std::pair<const char*, int>> ints = {}) {
    OMobj_id place = uitest::instancePlace();
    OMpush_ctx(place, 0, 0, 0);
    OMobj_id c = OMcreate_obj_from_path(type, (prefix + name).c_str(), place);
    OMset_obj_ref(sub(c, "parent"), window, 0);
    OMset_int_val(sub(c, "visible"), 1);
    for (OMobj_id e : entries) OMset_array_val(sub(c, "cmdList"), OM_ARRAY_APPEND, e, 0);
    OMset_int_val(sub(c, "dims"), static_cast<int>(entries.size()));
    for (auto& [prop, v] : ints) OMset_int_val(sub(c, prop), v);
    OMpop_ctx(place);
    return track(c);
  }
  static bool viewable(Widget w) {
    XWindowAttributes attrs;
    return !UIisBeingDestroyed(w) && XtWindow(w) &&
           XGetWindowAttributes(XtDisplay(w), XtWindow(w), &attrs) && attrs.map_state == IsViewable;
  }
  template <class T>
  static T* binding(OMobj_id id) {
    return dynamic_cast<T*>(UIobjIdToClass(id));
  }
  static OMobj_id refOf(OMobj_id id, const char* path) {
    OMobj_id v = OMnull_obj;
    if (OMget_obj_val(sub(id, path), &v) != 1) return OMnull_obj;
    return v;
  }
  static std::vector<int> ints(OMobj_id id, const char* path) {
    int size = 0, type = 0;
    int* data = static_cast<int*>(OMret_array_ptr(sub(id, path), 0, &size, &type));
    std::vector<int> out(data, data + (data ? size : 0));
    ARRfree_f(data, __FILE__, __LINE__);
    return out;
  }
  static std::string labelText(Widget w) {
    XmString s = nullptr;
    XtVaGetValues(w, XmNlabelString, &s, nullptr);
    char* text = nullptr;
    XmStringGetLtoR(s, const_cast<char*>(XmFONTLIST_DEFAULT_TAG), &text);
    std::string out = text ? text : "";
    XtFree(text);
    XmStringFree(s);
    return out;
  }
  // Posts an option menu and chooses the button at position i.
  static void chooseFromOptionMenu(UIoptionMenu* menu, Widget item) {
    // A click before the option menu is on screen posts nothing (seen on a loaded machine).
    ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(menu->widget()); }));
    uitest::pumpFor(80);
    Widget gadget = XmOptionButtonGadget(menu->widget());
    Position gx = 0, gy = 0;
    Dimension gw = 0, gh = 0;
    XtVaGetValues(gadget, XmNx, &gx, XmNy, &gy, XmNwidth, &gw, XmNheight, &gh, nullptr);
    uitest::click(menu->widget(), gx + gw / 2, gy + gh / 2);
    ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(item); })) << "the pull-down posts";
    uitest::pumpFor(100);  // the menu takes its grab after it maps
    uitest::click(item);
    uitest::pumpUntil([&] { return !viewable(item); }, 1000);
  }
  static void clickToggle(Widget w) {
    uitest::pumpFor(80);
    uitest::click(w, 8, -1);
    uitest::pumpFor(20);
  }
  static std::vector<Widget> pulldownButtons(UIoptionMenu* menu) {
    std::vector<Widget> out;
    WidgetList kids = nullptr;
    Cardinal n = 0;
    XtVaGetValues(menu->pulldown(), XmNchildren, &kids, XmNnumChildren, &n, nullptr);
    for (Cardinal i = 0; i < n; ++i)
      if (!UIisBeingDestroyed(kids[i])) out.push_back(kids[i]);
    return out;
  }
  static std::vector<Widget> toggles(Widget box) {
    std::vector<Widget> out;
    WidgetList kids = nullptr;
    Cardinal n = 0;
    XtVaGetValues(box, XmNchildren, &kids, XmNnumChildren, &n, nullptr);
    for (Cardinal i = 0; i < n; ++i)
      if (XmIsToggleButton(kids[i]) && !UIisBeingDestroyed(kids[i])) out.push_back(kids[i]);
    return out;
  }

  std::string prefix;
  OMobj_id window = OMnull_obj;
  std::vector<OMobj_id> made;
};

TEST_F(Options, AnEmptyOptionMenuShowsItsLabelOnItsOneButton) {
  OMobj_id menu = control("UIoptionMenu", "empty", {});
  OMset_str_val(sub(menu, "label"), "Pick one");
  auto* b = binding<UIoptionMenu>(menu);
  ASSERT_NE(b, nullptr);
  std::vector<Widget> buttons = pulldownButtons(b);
  ASSERT_EQ(buttons.size(), 1u);
  EXPECT_STREQ(XtName(buttons[0]), "EmptyOptionMenuButton");
  EXPECT_EQ(labelText(buttons[0]), "Pick one");
}

TEST_F(Options, ChoosingTheThirdEntryWritesTheControlAndEveryOption) {
  OMobj_id a = option("a", 1), b = option("b"), c = option("c");
  OMobj_id menu = control("UIoptionMenu", "menu", {a, b, c});
  auto* m = binding<UIoptionMenu>(menu);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->currentItem(), 0) << "the option that is set is current";
  std::vector<Widget> buttons = pulldownButtons(m);
  ASSERT_EQ(buttons.size(), 3u);
  chooseFromOptionMenu(m, buttons[2]);
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(menu, "selectedItem") == 2; }));
  EXPECT_EQ(refOf(menu, "selectedCmd"), c);
  EXPECT_EQ(intOf(c, "set"), 1);
  EXPECT_EQ(intOf(c, "do"), 1);
  EXPECT_EQ(intOf(a, "set"), 0);
  EXPECT_NE(intOf(b, "set"), 1);
  Widget shown = nullptr;
  XtVaGetValues(m->widget(), XmNmenuHistory, &shown, nullptr);
  EXPECT_EQ(shown, buttons[2]);
  // From the object: an index outside the entries keeps the current one and says so.
  OMset_int_val(sub(menu, "selectedItem"), 7);
  ASSERT_EQ(uitest::reports().size(), 1u);
  EXPECT_EQ(uitest::reports()[0],
            "UIoptionMenu::updateOnSelectedItem: Selected item out of range.");
  EXPECT_EQ(m->currentItem(), 2);
  OMset_int_val(sub(menu, "selectedItem"), 1);
  EXPECT_EQ(m->currentItem(), 1);
  EXPECT_EQ(intOf(b, "set"), 1);
  EXPECT_EQ(intOf(c, "set"), 0);
}

TEST_F(Options, AHostileEntryCountReadsOnlyTheEntriesThatExist) {
  OMobj_id a = option("a", 1), b = option("b");
  OMobj_id menu = control("UIoptionMenu", "counted", {a, b});
  auto* m = binding<UIoptionMenu>(menu);
  ASSERT_NE(m, nullptr);
  // A new width makes the menu again, reading its entries. Each read is bounded by the entries
  // there are: a walk over 2^31 - 1 missing ones took half a minute, so these five would run
  // past the test's time limit.
  const int hostile = std::numeric_limits<int>::max();
  int width = 100;
  for (int dims : {hostile, hostile, hostile, hostile, hostile, -3, 2}) {
    OMset_int_val(sub(menu, "dims"), dims);
    OMset_int_val(sub(menu, "width"), ++width);
    uitest::pumpFor(0);
    m = binding<UIoptionMenu>(menu);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(pulldownButtons(m).size(), dims < 0 ? 1u : 2u) << dims;
  }
}

TEST_F(Options, PressingTheCurrentRadioEntryAgainWritesOnlyDo) {
  OMobj_id a = option("a"), b = option("b");
  OMobj_id box = control("UIradioBox", "radio", {a, b}, {{"selectedItem", 0}});
  auto* r = binding<UIradioBox>(box);
  ASSERT_NE(r, nullptr);
  std::vector<Widget> t = toggles(r->widget());
  ASSERT_EQ(t.size(), 2u);
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(t[0]); }));
  EXPECT_TRUE(XmToggleButtonGetState(t[0]));
  Dimension h = 0;
  XtVaGetValues(t[0], XmNheight, &h, nullptr);
  EXPECT_EQ(h, 24) << "labels refitted at 24 high";
  int stamp = OMget_obj_seq(sub(box, "selectedItem"), OMnull_obj, 0);
  clickToggle(t[0]);
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(a, "do") == 1; }));
  EXPECT_EQ(OMget_obj_seq(sub(box, "selectedItem"), OMnull_obj, 0), stamp) << "not written";
  EXPECT_TRUE(!refOf(box, "selectedCmd"));
  EXPECT_EQ(intOf(b, "set"), -12345);
  clickToggle(t[1]);
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(box, "selectedItem") == 1; }));
  EXPECT_EQ(refOf(box, "selectedCmd"), b);
  EXPECT_EQ(intOf(b, "set"), 1);
  EXPECT_EQ(intOf(b, "do"), 1);
  EXPECT_EQ(intOf(a, "set"), 0);
  EXPECT_FALSE(XmToggleButtonGetState(t[0]));
}

TEST_F(Options, AnOptionBoxAtItsMaximumGreysTheRestUntilOneGoesOff) {
  OMobj_id a = option("a"), b = option("b"), c = option("c"), d = option("d");
  OMset_int_val(sub(d, "active"), 0);
  OMobj_id box = control("UIoptionBox", "checks", {a, b, c, d}, {{"max", 2}});
  auto* o = binding<UIoptionBox>(box);
  ASSERT_NE(o, nullptr);
  std::vector<Widget> t = toggles(o->widget());
  ASSERT_EQ(t.size(), 4u);
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(t[0]); }));
  EXPECT_FALSE(XtIsSensitive(t[3])) << "\"active\" 0";
  clickToggle(t[0]);
  clickToggle(t[1]);
  EXPECT_TRUE(uitest::pumpUntil([&] { return ints(box, "selectedItems").size() == 2; }));
  EXPECT_EQ(ints(box, "selectedItems"), (std::vector<int>{0, 1}));
  EXPECT_EQ(intOf(a, "set"), 1);
  EXPECT_EQ(intOf(a, "do"), 1);
  EXPECT_TRUE(XtIsSensitive(t[0]));
  EXPECT_FALSE(XtIsSensitive(t[2])) << "the maximum is reached";
  clickToggle(t[0]);
  EXPECT_TRUE(uitest::pumpUntil([&] { return ints(box, "selectedItems").size() == 1; }));
  EXPECT_EQ(ints(box, "selectedItems"), std::vector<int>{1});
  EXPECT_EQ(intOf(a, "set"), 0);
  EXPECT_TRUE(XtIsSensitive(t[2]));
  EXPECT_FALSE(XtIsSensitive(t[3])) << "still per its \"active\"";
}

TEST_F(Options, SelectedItemsOutOfOrderSwitchOnOnlyTheAscendingRun) {
  OMobj_id a = option("a"), b = option("b"), c = option("c");
  OMobj_id box = control("UIoptionBox", "order", {a, b, c});
  int picks[] = {2, 0};
  OMset_array(sub(box, "selectedItems"), OM_TYPE_INT, picks, 2, 0);
  std::vector<Widget> t = toggles(binding<UIoptionBox>(box)->widget());
  ASSERT_EQ(t.size(), 3u);
  EXPECT_FALSE(XmToggleButtonGetState(t[0]));
  EXPECT_FALSE(XmToggleButtonGetState(t[1]));
  EXPECT_TRUE(XmToggleButtonGetState(t[2]));
  EXPECT_EQ(intOf(c, "set"), 1);
  EXPECT_EQ(ints(box, "selectedItems"), std::vector<int>{2});
}

TEST_F(Options, OneOptionFollowedByAMenuAnOptionMenuARadioBoxAndAnOptionBox) {
  OMobj_id x = option("x", 1), y = option("y"), z = option("z");
  OMobj_id menu = control("UIoptionMenu", "menu", {x, y, z});
  OMobj_id radio = control("UIradioBox", "radio", {x, y, z}, {{"y", 60}});
  OMobj_id checks = control("UIoptionBox", "checks", {x, y, z}, {{"x", 200}, {"y", 60}});
  auto* item = dynamic_cast<UImenuItem*>(UIobjIdToClass(y));
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->itemCount(), 3) << "one binding, a record per control";
  OMset_int_val(sub(y, "set"), 1);
  EXPECT_EQ(binding<UIoptionMenu>(menu)->currentItem(), 1);
  EXPECT_EQ(intOf(menu, "selectedItem"), 1);
  EXPECT_EQ(binding<UIradioBox>(radio)->currentItem(), 1);
  EXPECT_EQ(intOf(radio, "selectedItem"), 1);
  EXPECT_EQ(refOf(radio, "selectedCmd"), y);
  EXPECT_EQ(intOf(x, "set"), 0) << "the single-choice controls switched x off";
  std::vector<Widget> t = toggles(binding<UIoptionBox>(checks)->widget());
  ASSERT_EQ(t.size(), 3u);
  EXPECT_TRUE(XmToggleButtonGetState(t[1]));
  EXPECT_FALSE(XmToggleButtonGetState(t[0]));
  EXPECT_EQ(ints(checks, "selectedItems"), std::vector<int>{1});
  OMset_int_val(sub(z, "active"), 0);
  for (const MenuItemWidget& m : dynamic_cast<UImenuItem*>(UIobjIdToClass(z))->items())
    EXPECT_FALSE(XtIsSensitive(m.widget));
}

TEST_F(Options, AControlDestroyedLeavesItsOptionsSafeToSet) {
  OMobj_id x = option("x"), y = option("y");
  OMobj_id radio = control("UIradioBox", "radio", {x, y});
  OMobj_id checks = control("UIoptionBox", "checks", {x}, {{"x", 200}});
  ASSERT_EQ(dynamic_cast<UImenuItem*>(UIobjIdToClass(x))->itemCount(), 2);
  OMdestroy_obj(radio, 0);
  made.erase(std::find(made.begin(), made.end(), radio));
  uitest::pumpFor(20);
  EXPECT_EQ(UIobjIdToClass(y), nullptr) << "y's binding went with its last record";
  auto* xi = dynamic_cast<UImenuItem*>(UIobjIdToClass(x));
  ASSERT_NE(xi, nullptr);
  EXPECT_EQ(xi->itemCount(), 1);
  OMset_int_val(sub(x, "set"), 1);
  OMset_int_val(sub(y, "set"), 1);
  OMset_int_val(sub(x, "active"), 0);
  EXPECT_EQ(ints(checks, "selectedItems"), std::vector<int>{0});
}

TEST_F(Options, AChoiceThatReplacesTheListRebuildsInItsOwnCallback) {
  OMobj_id a = option("a"), b = option("b"), c = option("c");
  OMobj_id menu = control("UIoptionMenu", "menu", {a, b});
  OMobj_id radio = control("UIradioBox", "radio", {a, b}, {{"y", 60}});
  OMobj_id place = uitest::instancePlace();
  OMpush_ctx(place, 0, 0, 0);
  OMobj_id r1 = track(OMcreate_obj_from_path("TestReplacer", (prefix + "r1").c_str(), place));
  OMset_obj_ref(sub(r1, "watch"), sub(b, "do"), 0);
  OMset_obj_ref(sub(r1, "control"), menu, 0);
  OMset_obj_ref(sub(r1, "next"), c, 0);
  OMpop_ctx(place);
  auto* m = binding<UIoptionMenu>(menu);
  std::vector<Widget> buttons = pulldownButtons(m);
  ASSERT_EQ(buttons.size(), 2u);
  chooseFromOptionMenu(m, buttons[1]);
  EXPECT_TRUE(uitest::pumpUntil([&] { return pulldownButtons(m).size() == 1; }));
  EXPECT_EQ(labelText(pulldownButtons(m)[0]), "c");
  EXPECT_EQ(intOf(b, "do"), 1);
  // The radio box follows the same kind of replacement, made in its arm callback's write.
  OMset_int_val(sub(b, "do"), 0);
  OMset_obj_ref(sub(r1, "control"), radio, 0);
  std::vector<Widget> t = toggles(binding<UIradioBox>(radio)->widget());
  ASSERT_EQ(t.size(), 2u);
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(t[1]); }));
  clickToggle(t[1]);
  EXPECT_TRUE(
      uitest::pumpUntil([&] { return toggles(binding<UIradioBox>(radio)->widget()).size() == 1; }));
  uitest::pumpFor(50);
}

}  // namespace
