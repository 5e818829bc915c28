// Menu bars built from command lists, with real input through the posted menus.
#include <gtest/gtest.h>

#include <Xm/CascadeB.h>
#include <Xm/Label.h>
#include <Xm/MainW.h>
#include <Xm/PushB.h>
#include <Xm/RowColumn.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>

#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "svc/ev.h"
#include "ui/menus.h"
#include "ui/misc.h"
#include "ui/shell.h"
#include "ui_test.h"
#include "x11_test.h"

namespace {

using uitest::intOf;

class Menus : public ::testing::Test {
 protected:
  void SetUp() override {
    uitest::startLibrary("menus_test");
    uitest::reports().clear();
    XtSetMultiClickTime(uitest::display(), 50);
    static int n = 0;
    prefix = "m" + std::to_string(++n) + "_";
  }
  void TearDown() override {
    for (auto it = made.rbegin(); it != made.rend(); ++it) OMdestroy_obj(*it, 0);
    uitest::pumpFor(20);
    EVrun_once(10);
  }
  OMobj_id track(OMobj_id id) {
    made.push_back(id);
    return id;
  }
  static OMobj_id sub(OMobj_id id, const char* path) { return OMfind_str_subobj(id, path, 0); }
  OMobj_id make(const char* type, const std::string& name, const char* label = nullptr) {
    OMobj_id id = OMcreate_obj_from_path(type, (prefix + name).c_str(), uitest::instancePlace());
    if (label) OMset_str_val(sub(id, "label"), label);
    return track(id);
  }
  OMobj_id list(const std::string& name, const std::vector<OMobj_id>& entries,
                const char* label = nullptr) {
    OMobj_id l = make("UIcmdList", name, label);
    for (OMobj_id e : entries) OMset_array_val(sub(l, "cmdList"), OM_ARRAY_APPEND, e, 0);
    OMset_int_val(sub(l, "dims"), static_cast<int>(entries.size()));
    return l;
  }
  // A visible shell whose "menu" is bar.
  UIshell* shellWith(OMobj_id bar, int statusBar = 1) {
    OMobj_id place = uitest::instancePlace();
    OMpush_ctx(place, 0, 0, 0);
    window = OMcreate_obj_from_path("UIshell", (prefix + "win").c_str(), place);
    OMset_int_val(sub(window, "visible"), 1);
    OMset_int_val(sub(window, "width"), 400);
    OMset_int_val(sub(window, "height"), 300);
    OMset_int_val(sub(window, "showStatusBar"), statusBar);
    if (!!bar) OMset_obj_ref(sub(window, "menu"), bar, 0);
    OMpop_ctx(place);
    track(window);
    auto* shell = dynamic_cast<UIshell*>(UIobjIdToClass(window));
    EXPECT_TRUE(shell != nullptr);
    if (shell) {
      EXPECT_TRUE(uitest::pumpUntil([&] { return viewable(shell->mainWindow); }));
    }
    return shell;
  }
  static bool viewable(Widget w) {
    XWindowAttributes attrs;
    return !UIisBeingDestroyed(w) && XtWindow(w) &&
           XGetWindowAttributes(XtDisplay(w), XtWindow(w), &attrs) && attrs.map_state == IsViewable;
  }
  static Widget barOf(UIshell* shell) {
    Widget bar = nullptr;
    XtVaGetValues(shell->mainWindow, XmNmenuBar, &bar, nullptr);
    return bar;
  }
  static Widget windowOf(OMobj_id cmd) {
    void* p = nullptr;
    OMget_ptr_val(sub(cmd, "window"), &p, 0);
    return static_cast<Widget>(p);
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
  static std::vector<Widget> cascades(Widget menu) {
    std::vector<Widget> out;
    WidgetList kids = nullptr;
    Cardinal n = 0;
    XtVaGetValues(menu, XmNchildren, &kids, XmNnumChildren, &n, nullptr);
    for (Cardinal i = 0; i < n; ++i)
      if (XmIsCascadeButton(kids[i])) out.push_back(kids[i]);
    return out;
  }
  // Posts the pull-down of a cascade button with a click and waits until item shows.
  static void post(Widget cascade, Widget item) {
    uitest::pumpFor(80);
    uitest::click(cascade);
    ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(item); })) << "the menu posts";
    uitest::pumpFor(100);  // the menu takes its grab after it maps
  }
  static void choose(Widget cascade, Widget item) {
    post(cascade, item);
    uitest::click(item);
    uitest::pumpUntil([&] { return !viewable(item); }, 1000);
  }

  std::string prefix;
  OMobj_id window = OMnull_obj;
  std::vector<OMobj_id> made;
};

TEST_F(Menus, AnEmptyListMakesAnEmptyBar32HighWithTheWorkAreaBelow) {
  UIshell* shell = shellWith(list("bar", {}));
  ASSERT_TRUE(shell);
  Widget bar = barOf(shell);
  ASSERT_NE(bar, nullptr);
  Dimension h = 0;
  XtVaGetValues(bar, XmNheight, &h, nullptr);
  EXPECT_EQ(h, 32);
  EXPECT_TRUE(cascades(bar).empty());
  Position y = 0;
  XtVaGetValues(shell->workArea, XmNy, &y, nullptr);
  EXPECT_EQ(y, static_cast<Position>(UIshell::MENU_HEIGHT));
  EXPECT_EQ(UIshell::MENU_HEIGHT, 32);
}

TEST_F(Menus, OneCommandInTwoMenusHasOneBindingAndActiveGreysBoth) {
  OMobj_id save = make("UIcmd", "save", "&Save");
  OMobj_id file = list("file", {save}, "File");
  OMobj_id edit = list("edit", {save}, "Edit");
  UIshell* shell = shellWith(list("bar", {file, edit}));
  ASSERT_TRUE(shell);
  auto* binding = dynamic_cast<UImenuItem*>(UIobjIdToClass(save));
  ASSERT_NE(binding, nullptr);
  ASSERT_EQ(binding->itemCount(), 2);
  Widget a = binding->items()[0].widget, b = binding->items()[1].widget;
  EXPECT_NE(a, b);
  EXPECT_EQ(labelText(a), "Save");
  KeySym mnemonic = 0;
  XtVaGetValues(a, XmNmnemonic, &mnemonic, nullptr);
  EXPECT_EQ(mnemonic, static_cast<KeySym>('S'));
  OMset_int_val(sub(save, "active"), 0);
  EXPECT_FALSE(XtIsSensitive(a));
  EXPECT_FALSE(XtIsSensitive(b));
  OMset_int_val(sub(save, "active"), 1);
  EXPECT_TRUE(XtIsSensitive(a));
  EXPECT_TRUE(XtIsSensitive(b));
}

TEST_F(Menus, APushItemWritesDoEachTimeAndIsNeverAToggle) {
  OMobj_id run = make("UIcmd", "run", "Run");
  UIshell* shell = shellWith(list("bar", {list("file", {run}, "File")}));
  ASSERT_TRUE(shell);
  Widget item = windowOf(run);
  ASSERT_TRUE(item && XmIsPushButton(item));
  Widget cascade = cascades(barOf(shell)).at(0);
  choose(cascade, item);
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(run, "do") == 1; }));
  OMset_int_val(sub(run, "do"), 0);
  choose(cascade, item);
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(run, "do") == 1; })) << "chosen again";
  EXPECT_EQ(intOf(run, "set"), -12345) << "a command has no state";
}

TEST_F(Menus, AToggleItemWritesSetAndDoOnAndOnlySetOff) {
  OMobj_id grid = make("UIoption", "grid", "Grid");
  OMobj_id plain = make("UIcmd", "plain", "Plain");
  UIshell* shell = shellWith(list("bar", {list("view", {grid, plain}, "View")}));
  ASSERT_TRUE(shell);
  Widget toggle = windowOf(grid);
  ASSERT_TRUE(toggle && XmIsToggleButton(toggle));
  Widget cascade = cascades(barOf(shell)).at(0);
  choose(cascade, toggle);
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(grid, "set") == 1; }));
  EXPECT_EQ(intOf(grid, "do"), 1);
  OMset_int_val(sub(grid, "do"), 0);
  choose(cascade, toggle);
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(grid, "set") == 0; }));
  EXPECT_EQ(intOf(grid, "do"), 0) << "switching off invokes nothing";
  // From the object: the toggle follows.
  OMset_int_val(sub(grid, "set"), 1);
  EXPECT_TRUE(XmToggleButtonGetState(toggle));
  // A push item's callbacks survive the option's toggling around it.
  Widget push = windowOf(plain);
  choose(cascade, push);
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(plain, "do") == 1; }));
}

TEST_F(Menus, RadioBehaviourTwoKeepsOneOptionSet) {
  OMobj_id a = make("UIoption", "a", "A");
  OMobj_id b = make("UIoption", "b", "B");
  OMobj_id group = list("group", {a, b}, "Group");
  OMset_int_val(sub(group, "radioBehavior"), 2);
  OMset_int_val(sub(a, "set"), 1);
  UIshell* shell = shellWith(list("bar", {group}));
  ASSERT_TRUE(shell);
  Widget pulldown = XtParent(windowOf(a));
  Boolean radio = False, always = False;
  XtVaGetValues(pulldown, XmNradioBehavior, &radio, XmNradioAlwaysOne, &always, nullptr);
  EXPECT_TRUE(radio);
  EXPECT_TRUE(always);
  Widget cascade = cascades(barOf(shell)).at(0);
  choose(cascade, windowOf(a));  // the set one again: stays set
  uitest::pumpFor(50);
  EXPECT_EQ(intOf(a, "set"), 1);
  choose(cascade, windowOf(b));
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(b, "set") == 1; }));
  EXPECT_EQ(intOf(a, "set"), 0) << "the group switched a off";
}

TEST_F(Menus, TheMessageShowsInTheStatusBarWhileThePointerIsOnTheItem) {
  OMobj_id open = make("UIcmd", "open", "Open");
  OMset_str_val(sub(open, "message"), "Opens a file");
  UIshell* shell = shellWith(list("bar", {list("file", {open}, "File")}));
  ASSERT_TRUE(shell);
  OMset_str_val(sub(window, "statusString"), "Ready");
  ASSERT_EQ(labelText(shell->statusLabel), "Ready");
  Widget item = windowOf(open);
  post(cascades(barOf(shell)).at(0), item);
  uitest::movePointer(item, 5, 5);
  EXPECT_TRUE(uitest::pumpUntil([&] { return labelText(shell->statusLabel) == "Opens a file"; }));
  uitest::movePointer(item, -20, -20);
  EXPECT_TRUE(uitest::pumpUntil([&] { return labelText(shell->statusLabel) == "Ready"; }));
  uitest::pressKey(XK_Escape);
}

TEST_F(Menus, ALongNameIsCutToTheLabelBuffer) {
  std::string name(300, 'n');
  OMobj_id cmd = track(OMcreate_obj_from_path("UIcmd", name.c_str(), uitest::instancePlace()));
  UIshell* shell = shellWith(list("bar", {list("file", {cmd}, "File")}));
  ASSERT_TRUE(shell);
  EXPECT_EQ(labelText(windowOf(cmd)), std::string(255, 'n'));
}

TEST_F(Menus, AListBelowItselfIsRefusedDirectlyOrThroughAnother) {
  OMobj_id self = list("self", {}, "Self");
  OMset_array_val(sub(self, "cmdList"), OM_ARRAY_APPEND, self, 0);
  OMset_int_val(sub(self, "dims"), 1);
  OMobj_id a = list("a", {}, "A");
  OMobj_id b = list("b", {a}, "B");
  OMset_array_val(sub(a, "cmdList"), OM_ARRAY_APPEND, b, 0);
  OMset_int_val(sub(a, "dims"), 1);
  UIshell* shell = shellWith(list("bar", {self, a}));
  ASSERT_TRUE(shell);
  ASSERT_EQ(uitest::reports().size(), 2u);
  EXPECT_EQ(uitest::reports()[0],
            "UIcreateMenu: Cannot connect UIcmdList to itself. Connection refused.");
  EXPECT_EQ(uitest::reports()[1], uitest::reports()[0]);
  int size = -1;
  OMget_array_size(sub(self, "cmdList"), &size);
  EXPECT_EQ(size, 0) << "the entry is removed";
  OMget_array_size(sub(b, "cmdList"), &size);
  EXPECT_EQ(size, 0) << "the entry that closed the cycle is removed";
  // The refused lists make no cascade; A's own does, holding B's refused pull-down no more.
  std::vector<Widget> top = cascades(barOf(shell));
  ASSERT_EQ(top.size(), 1u);
  Widget sub = nullptr;
  XtVaGetValues(top[0], XmNsubMenuId, &sub, nullptr);
  EXPECT_TRUE(cascades(sub).empty());
}

TEST_F(Menus, AnOptionDirectlyInTheBarStopsTheBuild) {
  OMobj_id first = make("UIcmd", "first", "First");
  OMobj_id option = make("UIoption", "opt", "Opt");
  OMobj_id last = make("UIcmd", "last", "Last");
  UIshell* shell = shellWith(list("bar", {list("file", {first}, "File"), option, last}));
  ASSERT_TRUE(shell);
  ASSERT_EQ(uitest::reports().size(), 1u);
  EXPECT_NE(uitest::reports()[0].find("UIcreateMenu: Detected illegal menu connection."),
            std::string::npos);
  EXPECT_EQ(cascades(barOf(shell)).size(), 1u) << "entries made before it stay";
  EXPECT_EQ(windowOf(last), nullptr) << "nothing after it";
}

TEST_F(Menus, ALabelChangeRebuildsOnceAndDeletesLoneBindings) {
  OMobj_id run = make("UIcmd", "run", "Run");
  OMobj_id extra = make("UIcmd", "extra", "Extra");
  OMobj_id file = list("file", {run, extra}, "File");
  UIshell* shell = shellWith(list("bar", {file}));
  ASSERT_TRUE(shell);
  Widget bar = barOf(shell);
  ASSERT_NE(UIobjIdToClass(extra), nullptr);
  // Idle, and choices made, nothing is rebuilt.
  for (int i = 0; i < 5; ++i) EVrun_once(10);
  Widget cascade = cascades(bar).at(0);
  choose(cascade, windowOf(run));
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(run, "do") == 1; }));
  OMset_int_val(sub(run, "active"), 0);
  for (int i = 0; i < 5; ++i) EVrun_once(10);
  EXPECT_EQ(barOf(shell), bar) << "no rebuild while idle, after a choice or \"active\"";
  EXPECT_FALSE(shell->menuUpdatePending);
  OMset_int_val(sub(file, "dims"), 1);  // "extra" leaves the menu
  for (int i = 0; i < 20; ++i)
    OMset_str_val(sub(run, "label"), ("Run " + std::to_string(i)).c_str());
  EXPECT_TRUE(shell->menuUpdatePending);
  EVrun_once(10);
  Widget rebuilt = barOf(shell);
  EXPECT_NE(rebuilt, bar);
  EXPECT_EQ(UIobjIdToClass(extra), nullptr) << "its binding went with its only item";
  EXPECT_EQ(windowOf(extra), nullptr);
  EXPECT_EQ(labelText(windowOf(run)), "Run 19");
  EXPECT_FALSE(XtIsSensitive(windowOf(run))) << "made from \"active\" 0";
  for (int i = 0; i < 5; ++i) EVrun_once(10);
  EXPECT_EQ(barOf(shell), rebuilt) << "the rebuild schedules no other";
  EXPECT_FALSE(shell->menuUpdatePending);
}

TEST_F(Menus, CommandDeletedWhileShownUnbindsAndItemsStaySafe) {
  OMobj_id run = make("UIcmd", "run", "Run");
  UIshell* shell = shellWith(list("bar", {list("file", {run}, "File")}));
  ASSERT_TRUE(shell);
  auto* binding = dynamic_cast<UImenuItem*>(UIobjIdToClass(run));
  ASSERT_NE(binding, nullptr);
  Widget item = windowOf(run);
  OMdestroy_obj(run, 0);
  made.erase(std::find(made.begin(), made.end(), run));
  ASSERT_TRUE(UIwindow::alive(binding)) << "it lives while its item does";
  EXPECT_TRUE(!binding->objId);
  binding->action(1, 1);
  binding->setActive(0);
  EXPECT_FALSE(XtIsSensitive(item));
}

}  // namespace
