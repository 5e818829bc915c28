// Single and multiple lists on the shared server, with real input.
#include <gtest/gtest.h>

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <Xm/DropSMgr.h>
#include <Xm/List.h>
#include <Xm/ScrollBar.h>
#include <Xm/ScrolledW.h>
#include <Xm/Xm.h>

#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "svc/arr.h"
#include "ui/list.h"
#include "ui/misc.h"
#include "ui_test.h"
#include "x11_test.h"

namespace {

using uitest::intOf;

class Lists : public ::testing::Test {
 protected:
  void SetUp() override {
    uitest::startLibrary("list_test");
    uitest::reports().clear();
    // Two clicks in a row would make a double click (a list reads the time when made).
    XtSetMultiClickTime(uitest::display(), 50);
    static int n = 0;
    prefix = "t" + std::to_string(++n) + "_";
    window = track(uitest::makeObject("UIshell", prefix + "win", OMnull_obj,
                                      {{"visible", 1}, {"width", 400}, {"height", 400}}));
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
  // A list made in one context, with its strings, "stringdims" = their count unless given.
  OMobj_id makeList(const char* type, const char* name, const std::vector<std::string>& strings,
                    std::vector<std::pair<const char*, int>> ints = {}) {
    OMobj_id place = uitest::instancePlace();
    OMpush_ctx(place, 0, 0, 0);
    OMobj_id id = OMcreate_obj_from_path(type, (prefix + name).c_str(), place);
    OMset_obj_ref(sub(id, "parent"), window, 0);
    OMset_int_val(sub(id, "visible"), 1);
    setStrings(id, strings);
    OMset_int_val(sub(id, "stringdims"), static_cast<int>(strings.size()));
    for (auto& [prop, v] : ints) OMset_int_val(sub(id, prop), v);
    OMpop_ctx(place);
    return track(id);
  }
  static void setStrings(OMobj_id id, const std::vector<std::string>& strings) {
    OMobj_id s = sub(id, "strings");
    OMset_array_size(s, static_cast<int>(strings.size()));
    for (size_t i = 0; i < strings.size(); ++i)
      OMset_str_array_val(s, static_cast<int>(i), strings[i].c_str());
  }
  static bool viewable(Widget w) {
    XWindowAttributes attrs;
    return !UIisBeingDestroyed(w) && XtWindow(w) &&
           XGetWindowAttributes(XtDisplay(w), XtWindow(w), &attrs) && attrs.map_state == IsViewable;
  }
  static OMobj_id sub(OMobj_id id, const char* path) { return OMfind_str_subobj(id, path, 0); }
  static Widget listOf(OMobj_id id) {
    Widget sw = UIobjIdToWidget(id);
    WidgetList kids = nullptr;
    Cardinal n = 0;
    XtVaGetValues(sw, XmNchildren, &kids, XmNnumChildren, &n, nullptr);
    for (Cardinal i = 0; i < n; ++i)
      if (XmIsList(kids[i])) return kids[i];
    return nullptr;
  }
  static std::vector<int> selectedPositions(Widget list) {
    int* pos = nullptr;
    int n = 0;
    std::vector<int> out;
    if (XmListGetSelectedPos(list, &pos, &n))
      for (int i = 0; i < n; ++i) out.push_back(pos[i]);
    XtFree(reinterpret_cast<char*>(pos));
    return out;
  }
  static std::vector<std::string> items(Widget list) {
    XmString* xs = nullptr;
    int n = 0;
    XtVaGetValues(list, XmNitems, &xs, XmNitemCount, &n, nullptr);
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) {
      char* t = nullptr;
      XmStringGetLtoR(xs[i], const_cast<char*>(XmFONTLIST_DEFAULT_TAG), &t);
      out.push_back(t ? t : "");
      XtFree(t);
    }
    return out;
  }
  static std::string text(OMobj_id id, const char* path) {
    char* s = nullptr;
    if (OMget_str_val(sub(id, path), &s, 0) != 1) return "<unset>";
    std::string out = s;
    std::free(s);
    return out;
  }
  static std::vector<int> ints(OMobj_id id, const char* path) {
    int size = 0, type = 0;
    int* data = static_cast<int*>(OMret_array_ptr(sub(id, path), 0, &size, &type));
    std::vector<int> out(data, data + (data ? size : 0));
    ARRfree_f(data, __FILE__, __LINE__);
    return out;
  }
  static std::vector<std::string> texts(OMobj_id id, const char* path) {
    int size = 0;
    OMget_array_size(sub(id, path), &size);
    std::vector<std::string> out;
    for (int i = 0; i < size; ++i) {
      char* s = nullptr;
      OMget_str_array_val(sub(id, path), i, &s, 0);
      out.push_back(s ? s : "<unset>");
      std::free(s);
    }
    return out;
  }
  // Clicks item pos (1-based) of a list, with modifiers held.
  static void clickItem(Widget list, int pos, unsigned modifiers = 0) {
    Position x = 0, y = 0;
    Dimension w = 0, h = 0;
    ASSERT_TRUE(XmListPosToBounds(list, pos, &x, &y, &w, &h));
    Display* dpy = XtDisplay(list);
    uitest::pumpFor(80);  // past the double-click time set in SetUp
    KeyCode ctrl = XKeysymToKeycode(dpy, XK_Control_L);
    if (modifiers & ShiftMask)
      XTestFakeKeyEvent(dpy, XKeysymToKeycode(dpy, XK_Shift_L), True, CurrentTime);
    if (modifiers & ControlMask) XTestFakeKeyEvent(dpy, ctrl, True, CurrentTime);
    uitest::click(list, x + w / 2, y + h / 2);
    if (modifiers & ControlMask) XTestFakeKeyEvent(dpy, ctrl, False, CurrentTime);
    if (modifiers & ShiftMask)
      XTestFakeKeyEvent(dpy, XKeysymToKeycode(dpy, XK_Shift_L), False, CurrentTime);
    XSync(dpy, False);
    uitest::pumpFor(20);
  }

  std::string prefix;
  OMobj_id window = OMnull_obj;
  std::vector<OMobj_id> made;
};

TEST_F(Lists, DefaultSizeIsWrittenBackAndNewStringsNeverResize) {
  OMobj_id list = makeList("UIlist", "plain", {"a", "b"});
  Widget sw = UIobjIdToWidget(list);
  ASSERT_NE(sw, nullptr);
  Dimension w = 0, h = 0;
  XtVaGetValues(sw, XmNwidth, &w, XmNheight, &h, nullptr);
  EXPECT_EQ(w, 100);
  EXPECT_EQ(h, 150);
  EXPECT_EQ(intOf(list, "width"), 100);
  EXPECT_EQ(intOf(list, "height"), 150);
  OMpush_ctx(list, 0, 0, 0);
  setStrings(list, {"a much longer string than the list is wide", "b", "c", "d", "e", "f", "g", "h",
                    "i", "j", "k", "l", "m"});
  OMset_int_val(sub(list, "stringdims"), 13);
  OMpop_ctx(list);
  EXPECT_EQ(items(listOf(list)).size(), 13u);
  XtVaGetValues(sw, XmNwidth, &w, XmNheight, &h, nullptr);
  EXPECT_EQ(w, 100) << "new strings keep the size";
  EXPECT_EQ(h, 150);
}

TEST_F(Lists, AnIndexOutsideTheItemsIsClampedAndItsTextWritten) {
  OMobj_id list = makeList("UIlist", "clamp", {"one", "two", "three"}, {{"selectedItem", 1}});
  Widget l = listOf(list);
  EXPECT_EQ(selectedPositions(l), std::vector<int>{2});
  EXPECT_EQ(text(list, "selectedText"), "two");
  OMset_int_val(sub(list, "selectedItem"), -5);
  EXPECT_EQ(selectedPositions(l), std::vector<int>{1});
  EXPECT_EQ(text(list, "selectedText"), "one");
  OMset_int_val(sub(list, "selectedItem"), 3 + 3);
  EXPECT_EQ(selectedPositions(l), std::vector<int>{3});
  EXPECT_EQ(text(list, "selectedText"), "three");
}

TEST_F(Lists, TextAloneSelectsTheLastEqualItemIndexWinsWhenBothChange) {
  OMobj_id list = makeList("UIlist", "dup", {"x", "same", "y", "same"});
  Widget l = listOf(list);
  OMset_str_val(sub(list, "selectedText"), "same");
  EXPECT_EQ(intOf(list, "selectedItem"), 3) << "the later of two equal strings";
  EXPECT_EQ(selectedPositions(l), std::vector<int>{4});
  OMset_str_val(sub(list, "selectedText"), "nowhere");
  EXPECT_EQ(intOf(list, "selectedItem"), 3) << "a text matching nothing changes nothing";
  EXPECT_EQ(selectedPositions(l), std::vector<int>{4});
  OMpush_ctx(list, 0, 0, 0);
  OMset_int_val(sub(list, "selectedItem"), 0);
  OMset_str_val(sub(list, "selectedText"), "y");
  OMpop_ctx(list);
  EXPECT_EQ(selectedPositions(l), std::vector<int>{1}) << "both changed: the index decides";
  EXPECT_EQ(text(list, "selectedText"), "x");
}

TEST_F(Lists, NewUnreferencedStringsResetTheSelection) {
  OMobj_id list = makeList("UIlist", "reset", {"a", "b", "c"}, {{"selectedItem", 2}});
  ASSERT_EQ(text(list, "selectedText"), "c");
  OMpush_ctx(list, 0, 0, 0);
  setStrings(list, {"p", "q"});
  OMset_int_val(sub(list, "stringdims"), 2);
  OMpop_ctx(list);
  EXPECT_EQ(intOf(list, "selectedItem"), -12345) << "reset to no value";
  EXPECT_EQ(text(list, "selectedText"), "<unset>");
  EXPECT_TRUE(selectedPositions(listOf(list)).empty());
  EXPECT_EQ(items(listOf(list)), (std::vector<std::string>{"p", "q"}));
}

TEST_F(Lists, AnEmptyListSelectsAndWritesNothing) {
  OMobj_id list = makeList("UIlist", "empty", {}, {{"selectedItem", 3}});
  EXPECT_TRUE(items(listOf(list)).empty());
  EXPECT_EQ(intOf(list, "selectedItem"), 3) << "kept";
  EXPECT_EQ(text(list, "selectedText"), "<unset>");
  OMset_int_val(sub(list, "selectedItem"), 0);
  EXPECT_EQ(intOf(list, "selectedItem"), 0);
  EXPECT_EQ(text(list, "selectedText"), "<unset>");
}

TEST_F(Lists, AClickWritesTheIndexThenTheText) {
  OMobj_id list = makeList("UIlist", "click", {"red", "green", "blue"});
  Widget l = listOf(list);
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(l); }));
  clickItem(l, 2);
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(list, "selectedItem") == 1; }));
  EXPECT_EQ(text(list, "selectedText"), "green");
  clickItem(l, 3);
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(list, "selectedItem") == 2; }));
  EXPECT_EQ(text(list, "selectedText"), "blue");
}

TEST_F(Lists, UnreadableStringsShowEmptyOrBlankItems) {
  OMobj_id single = makeList("UIlist", "holes", {"a", "b"}, {{"stringdims", 3}});
  EXPECT_EQ(items(listOf(single)), (std::vector<std::string>{"a", "b", ""}));
  OMobj_id multi = makeList("UImultiList", "mholes", {"a", "b"}, {{"stringdims", 3}});
  EXPECT_EQ(items(listOf(multi)), (std::vector<std::string>{"a", "b", " "}));
}

TEST_F(Lists, AHostileCountStopsAtABoundPastTheStrings) {
  OMobj_id list = makeList("UIlist", "hostile", {"a", "b"});
  OMset_int_val(sub(list, "stringdims"), std::numeric_limits<int>::max());
  uitest::pumpFor(0);
  int shown = 0;
  XtVaGetValues(listOf(list), XmNitemCount, &shown, nullptr);
  EXPECT_EQ(shown, 2 + 1024) << "unreadable items past the end, bounded";
  OMset_int_val(sub(list, "stringdims"), -5);
  uitest::pumpFor(0);
  EXPECT_EQ(items(listOf(list)), std::vector<std::string>{});
}

TEST_F(Lists, ControlClicksSelectSeveralItemsOfAMultipleList) {
  OMobj_id list = makeList("UImultiList", "multi", {"zero", "one", "two", "three"});
  Widget l = listOf(list);
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(l); }));
  clickItem(l, 1);
  clickItem(l, 3, ControlMask);
  EXPECT_TRUE(uitest::pumpUntil([&] { return ints(list, "selectedItems").size() == 2; }));
  EXPECT_EQ(ints(list, "selectedItems"), (std::vector<int>{0, 2}));
  EXPECT_EQ(texts(list, "selectedText"), (std::vector<std::string>{"zero", "two"}));
  // New strings keep the items still present selected.
  OMpush_ctx(list, 0, 0, 0);
  setStrings(list, {"zero", "one", "two", "three", "four"});
  OMset_int_val(sub(list, "stringdims"), 5);
  OMpop_ctx(list);
  EXPECT_EQ(selectedPositions(l), (std::vector<int>{1, 3}));
  EXPECT_EQ(ints(list, "selectedItems"), (std::vector<int>{0, 2}));
}

TEST_F(Lists, MultipleSelectionFromTheObject) {
  OMobj_id list = makeList("UImultiList", "mset", {"a", "b", "c", "d"});
  Widget l = listOf(list);
  int picks[] = {1, 3};
  OMset_array(sub(list, "selectedItems"), OM_TYPE_INT, picks, 2, 0);
  EXPECT_EQ(selectedPositions(l), (std::vector<int>{2, 4}));
  EXPECT_EQ(texts(list, "selectedText"), (std::vector<std::string>{"b", "d"}));
  // Texts select too, and write the indices.
  OMobj_id sel = sub(list, "selectedText");
  OMpush_ctx(list, 0, 0, 0);
  OMset_array_size(sel, 2);
  OMset_str_array_val(sel, 0, "a");
  OMset_str_array_val(sel, 1, "c");
  OMpop_ctx(list);
  EXPECT_EQ(selectedPositions(l), (std::vector<int>{1, 3}));
  EXPECT_EQ(ints(list, "selectedItems"), (std::vector<int>{0, 2}));
}

TEST_F(Lists, AMultipleIndexOutOfRangeIsReportedAndChangesNothingInTheObject) {
  OMobj_id list = makeList("UImultiList", "range", {"a", "b", "c"});
  Widget l = listOf(list);
  int good[] = {0};
  OMset_array(sub(list, "selectedItems"), OM_TYPE_INT, good, 1, 0);
  ASSERT_EQ(texts(list, "selectedText"), std::vector<std::string>{"a"});
  uitest::reports().clear();
  int bad[] = {1, 7, 2};
  OMset_array(sub(list, "selectedItems"), OM_TYPE_INT, bad, 3, 0);
  ASSERT_EQ(uitest::reports().size(), 1u);
  EXPECT_EQ(uitest::reports()[0], "UImultiList::updateSelectedItems: Selected item out of range.");
  EXPECT_TRUE(selectedPositions(l).empty()) << "left deselected";
  EXPECT_EQ(texts(list, "selectedText"), std::vector<std::string>{"a"}) << "object unchanged";
  EXPECT_EQ(ints(list, "selectedItems"), (std::vector<int>{1, 7, 2}));
}

TEST_F(Lists, AMultipleListKeepsTheIndicesItWasMadeWith) {
  OMobj_id place = uitest::instancePlace();
  OMpush_ctx(place, 0, 0, 0);
  OMobj_id list = track(OMcreate_obj_from_path("UImultiList", (prefix + "made").c_str(), place));
  OMset_obj_ref(sub(list, "parent"), window, 0);
  setStrings(list, {"a", "b", "c", "d"});
  OMset_int_val(sub(list, "stringdims"), 4);
  int picks[] = {0, 3};
  OMset_array(sub(list, "selectedItems"), OM_TYPE_INT, picks, 2, 0);
  OMpop_ctx(place);
  EXPECT_EQ(selectedPositions(listOf(list)), (std::vector<int>{1, 4}));
  EXPECT_EQ(ints(list, "selectedItems"), (std::vector<int>{0, 3}));
  EXPECT_EQ(texts(list, "selectedText"), (std::vector<std::string>{"a", "d"}));
}

TEST_F(Lists, AnUnreadableSelectedTextElementIsSkipped) {
  OMobj_id list = makeList("UImultiList", "slots", {"a", "b", "c"});
  Widget l = listOf(list);
  OMobj_id sel = sub(list, "selectedText");
  OMpush_ctx(list, 0, 0, 0);
  OMset_array_size(sel, 3);
  OMset_str_array_val(sel, 0, "b");
  OMset_str_array_val(sel, 2, "c");  // element 1 never set
  OMpop_ctx(list);
  EXPECT_EQ(selectedPositions(l), (std::vector<int>{2, 3}));
  EXPECT_EQ(ints(list, "selectedItems"), (std::vector<int>{1, 2}));
}

TEST_F(Lists, DestroyedFromTheObjectLeavesNoWidget) {
  OMobj_id list = makeList("UIlist", "gone", {"a"});
  Widget sw = UIobjIdToWidget(list);
  ASSERT_FALSE(UIisBeingDestroyed(sw));
  OMdestroy_obj(list, 0);
  made.pop_back();
  uitest::pumpFor(20);
  EXPECT_TRUE(UIisBeingDestroyed(sw));
}

// The scroll bars of lists and scrolled windows are no drop sites. The kit's displays take no
// drops; as drop sites, each new scroll bar would add an entry to the display's table of drop
// targets (its "target" is its own address), which the server keeps for all its clients and
// never shrinks, at a server grab and about three round trips each.
TEST_F(Lists, ScrollBarsOfListsAndScrolledWindowsAreNoDropSites) {
  std::vector<Widget> scrollBars;
  auto collect = [&](Widget w) {
    WidgetList kids = nullptr;
    Cardinal n = 0;
    XtVaGetValues(w, XmNchildren, &kids, XmNnumChildren, &n, nullptr);
    for (Cardinal i = 0; i < n; ++i)
      if (XmIsScrollBar(kids[i])) scrollBars.push_back(kids[i]);
  };
  collect(UIobjIdToWidget(makeList("UIlist", "dropSingle", {"a", "b"})));
  collect(UIobjIdToWidget(makeList("UImultiList", "dropMulti", {"a", "b"})));
  OMobj_id scrolled = track(
      uitest::makeObject("UIscrolledWindow", prefix + "dropScrolled", window,
                         {{"visible", 1}, {"width", 100}, {"height", 100}, {"virtualWidth", 300}}));
  uitest::pumpFor(20);
  Widget sw = UIobjIdToWidget(scrolled);  // the work area, inside the scrolled window
  while (sw && !XmIsScrolledWindow(sw)) sw = XtParent(sw);
  ASSERT_TRUE(sw);
  collect(sw);
  ASSERT_GE(scrollBars.size(), 5u);  // two in each list, and the scrolled window's
  for (Widget bar : scrollBars)
    EXPECT_FALSE(XmDropSiteRegistered(bar)) << XtName(XtParent(bar)) << " " << XtName(bar);
}

// Lists among buttons in a window that has the keyboard focus: making them must not hand the
// focus to a list, or every destroy of the focused widget searches the whole window for the
// next one, with requests, and taking such a window apart grows with the square of its size.
// X requests per control of making and destroying n lists and n buttons, for two sizes.
TEST_F(Lists, ListsAmongButtonsInAFocusedWindowCostRequestsInProportion) {
  Display* dpy = uitest::display();
  XSetInputFocus(dpy, XtWindow(UIobjIdToWidget(window)), RevertToParent, CurrentTime);
  uitest::pumpFor(50);
  auto perControl = [&](int n) {
    uitest::pumpFor(20);
    XSync(dpy, False);
    unsigned long before = XNextRequest(dpy);
    OMobj_id place = uitest::instancePlace();
    OMpush_ctx(place, 0, 0, 0);
    std::vector<OMobj_id> controls;
    for (int i = 0; i < 2 * n; ++i) {
      std::string name = prefix + "mix" + std::to_string(n) + "_" + std::to_string(i);
      OMobj_id id = OMcreate_obj_from_path(i % 2 ? "UIbutton" : "UIlist", name.c_str(), place);
      OMset_obj_ref(sub(id, "parent"), window, 0);
      OMset_int_val(sub(id, "x"), (i % 20) * 20);
      OMset_int_val(sub(id, "y"), (i / 20) * 30);
      OMset_int_val(sub(id, "width"), 18);
      OMset_int_val(sub(id, "height"), 28);
      OMset_int_val(sub(id, "visible"), 1);
      controls.push_back(id);
    }
    OMpop_ctx(place);
    uitest::pumpFor(20);
    for (OMobj_id id : controls) OMdestroy_obj(id, 0);
    uitest::pumpFor(20);
    XSync(dpy, False);
    return static_cast<double>(XNextRequest(dpy) - before) / (2 * n);
  };
  double small = perControl(8), large = perControl(64);
  EXPECT_LT(large, small * 1.15) << "per control: " << small << " for 16, " << large << " for 128";
}

}  // namespace
