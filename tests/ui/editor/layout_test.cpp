// The layout editor on the shared server, driven by real button-2 input through XTest:
// selecting, moving and resizing on the grid, the limits, reparenting by a drop, deleting,
// switching editing off, grouping, the selection manager, and the selected object going away.
#include <gtest/gtest.h>

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <Xm/ScrolledW.h>
#include <Xm/Xm.h>

#include <string>
#include <vector>

#include "om/om_registry.h"
#include "om/om_scope.h"
#include "svc/ev.h"
#include "ui/dpyMgr.h"
#include "ui/label.h"
#include "ui/layout.h"
#include "ui/misc.h"
#include "ui/panel.h"
#include "ui/wind.h"
#include "ui_test.h"
#include "x11_test.h"

namespace {

// Stands for an option menu (not built yet): a label that sizes itself.
class UItestOptionMenu : public UIlabel {
 public:
  using UIlabel::UIlabel;
  bool fixedSizeInEditor() const override { return true; }
};
int UItestOptionMenuInstance(OMobj_id id) {
  return UIinstanceEntry<UItestOptionMenu>(id);
}
int UItestOptionMenuUpdate(OMobj_id id, unsigned mask, int seq) {
  return UIupdateEntry<UItestOptionMenu>(id, mask, seq);
}

// Stands for a radio box (not built yet): a panel that takes "UIoption" palette items into
// its "cmdList" instead of as children.
class UItestRadioBox : public UIpanel {
 public:
  using UIpanel::UIpanel;
  bool instanceObject() override {
    if (!UIpanel::instanceObject()) return false;
    XtRemoveEventHandler(widget_, EnterWindowMask, False, UIlayout::enterNotifyCB, widget_);
    XtAddEventHandler(widget_, EnterWindowMask, False, UIlayout::cmdListEnterNotifyCB, widget_);
    return true;
  }
};
int UItestRadioBoxInstance(OMobj_id id) {
  return UIinstanceEntry<UItestRadioBox>(id);
}
int UItestRadioBoxUpdate(OMobj_id id, unsigned mask, int seq) {
  return UIupdateEntry<UItestRadioBox>(id, mask, seq);
}

const char* kTemplates =
    "templates:\n"
    "  UItestOptionMenu:\n"
    "    base: UIlabel\n"
    "    methods: { instance: UItestOptionMenuInstance, update: UItestOptionMenuUpdate }\n"
    "  UIoption:\n"
    "    properties: { label: string, set: int }\n"
    "  UItestRadioBox:\n"
    "    base: UIpanel\n"
    "    methods: { instance: UItestRadioBoxInstance, update: UItestRadioBoxUpdate }\n"
    "    properties: { cmdList: { kind: \"obj[]\" } }\n";

OMobj_id sub(OMobj_id id, const char* path) {
  return OMfind_str_subobj(id, path, 0);
}

class Editor : public ::testing::Test {
 protected:
  void SetUp() override {
    OMregister_instance_method("UItestOptionMenuInstance", UItestOptionMenuInstance);
    OMregister_update_method("UItestOptionMenuUpdate", UItestOptionMenuUpdate);
    OMregister_instance_method("UItestRadioBoxInstance", UItestRadioBoxInstance);
    OMregister_update_method("UItestRadioBoxUpdate", UItestRadioBoxUpdate);
    uitest::startLibrary("layout_test", kTemplates);
    static int n = 0;
    prefix = "e" + std::to_string(++n) + "_";
    editState = uitest::makeObject("UIlayoutEditState", prefix + "edit", OMnull_obj,
                                   {{"edit", 1}, {"gridX", 4}, {"gridY", 4}});
    made.push_back(editState);
    window = make("UIshell", "win", OMnull_obj, {{"visible", 1}, {"width", 400}, {"height", 300}});
    ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(UIobjIdToWidget(window)); }));
    uitest::reports().clear();
  }
  void TearDown() override {
    OMset_int_val(sub(editState, "edit"), 0);
    for (auto it = made.rbegin(); it != made.rend(); ++it) OMdestroy_obj(*it, 0);
    uitest::pumpFor(20);
  }
  OMobj_id make(const char* type, const char* name, OMobj_id parent,
                std::vector<std::pair<const char*, int>> ints) {
    OMobj_id id = uitest::makeObject(type, prefix + name, parent, ints);
    made.push_back(id);
    return id;
  }
  // An editable object shown in parent (the window by default).
  OMobj_id item(const char* type, const char* name, int x, int y, int w, int h,
                OMobj_id parent = OMnull_obj, int edit = 1) {
    OMobj_id id = make(type, name, !parent ? window : parent,
                       {{"visible", 1}, {"x", x}, {"y", y}, {"width", w}, {"height", h}});
    if (edit >= 0) OMset_int_val(sub(id, "layout.edit"), edit);
    EXPECT_TRUE(uitest::pumpUntil([&] { return viewable(UIobjIdToWidget(id)); }));
    return id;
  }
  static bool viewable(Widget w) {
    XWindowAttributes attrs;
    return !UIisBeingDestroyed(w) && XtWindow(w) &&
           XGetWindowAttributes(XtDisplay(w), XtWindow(w), &attrs) && attrs.map_state == IsViewable;
  }
  static Widget widget(OMobj_id id) { return UIobjIdToWidget(id); }
  // A click of button 2 in the middle of the object's widget.
  void select(OMobj_id id) {
    uitest::click(widget(id), -1, -1, 2);
    uitest::pumpFor(20);
  }
  // A button-2 drag inside the object's widget, settled.
  void drag(OMobj_id id, int x1, int y1, int x2, int y2) {
    uitest::drag(widget(id), x1, y1, x2, y2, 2);
    uitest::pumpFor(40);
  }
  static int at(OMobj_id id, const char* p) { return uitest::intOf(id, p); }

  std::string prefix;
  OMobj_id editState = OMnull_obj;
  OMobj_id window = OMnull_obj;
  std::vector<OMobj_id> made;
};

TEST(EditorGrid, SnapsToTheNearestLineFromTheOrigin) {
  UIlayout::snapToGrid = 1;
  UIlayout::gridX = UIlayout::gridY = 4;
  UIlayout::state = 0;
  EXPECT_EQ(UIlayout::gridMapX(13, 0), 12);
  EXPECT_EQ(UIlayout::gridMapX(14, 0), 16);
  EXPECT_EQ(UIlayout::gridMapY(102, 100), 104);
  EXPECT_EQ(UIlayout::gridMapX(128, 1), 129) << "sizes: 1 plus a multiple";
  UIlayout::snapToGrid = 0;
  EXPECT_EQ(UIlayout::gridMapX(13, 0), 13);
  UIlayout::snapToGrid = 1;
  EXPECT_FALSE(UIlayout::setGrid(0, 4));
  EXPECT_FALSE(UIlayout::setGrid(4, -2));
  EXPECT_EQ(UIlayout::gridX, 4) << "a refused step changes nothing";
  EXPECT_TRUE(UIlayout::setGrid(8, 2));
  EXPECT_EQ(UIlayout::gridMapX(13, 0), 16);
  EXPECT_EQ(UIlayout::gridMapY(13, 0), 14);
  UIlayout::setGrid(4, 4);
}

TEST_F(Editor, AClickSelectsOnlyEditableObjectsWhileEditingIsOn) {
  OMobj_id pathA = OMcreate_obj(OMstr_to_name((prefix + "selA").c_str()), OM_KIND_STRING,
                                OMroot_obj, OMnull_obj, 0);
  OMobj_id pathB = OMcreate_obj(OMstr_to_name((prefix + "selB").c_str()), OM_KIND_STRING,
                                OMroot_obj, OMnull_obj, 0);
  made.push_back(pathA);
  made.push_back(pathB);
  OMset_str_val(sub(editState, "editObjectPath"), (prefix + "selA").c_str());
  OMset_str_val(sub(editState, "displayObjectPath"), (prefix + "selB").c_str());
  OMobj_id l = item("UIlabel", "label", 20, 20, 120, 60);
  unsigned long before = uitest::pixelAt(widget(l), 5, 5);
  select(l);
  EXPECT_EQ(UIlayout::state, 3);
  EXPECT_EQ(UIlayout::moveWidget, widget(l));
  EXPECT_NE(uitest::pixelAt(widget(l), 5, 5), before) << "a handle is drawn in the corner";
  char path[512];
  OMret_obj_path_to(l, OMroot_obj, path, sizeof path);
  OMtext a = OMget_text(pathA), b = OMget_text(pathB);
  ASSERT_TRUE(a && b);
  EXPECT_STREQ(a.get(), path);
  EXPECT_STREQ(b.get(), path);

  OMobj_id fixed = item("UIlabel", "fixed", 200, 20, 120, 60, OMnull_obj, 0);
  select(fixed);  // a press elsewhere ends the selection, the next click selects nothing
  select(fixed);
  EXPECT_EQ(UIlayout::state, 0);
  EXPECT_EQ(UIlayout::moveWidget, nullptr);

  OMset_int_val(sub(editState, "edit"), 0);
  select(l);
  EXPECT_EQ(UIlayout::state, 0) << "editing off: nothing is selected";
}

TEST_F(Editor, TheSelectedPathIsWrittenWhole) {
  OMobj_id into = OMcreate_obj(OMstr_to_name((prefix + "sel").c_str()), OM_KIND_STRING, OMroot_obj,
                               OMnull_obj, 0);
  made.push_back(into);
  OMset_str_val(sub(editState, "editObjectPath"), (prefix + "sel").c_str());
  std::string longName(600, 'n');
  OMobj_id l = item("UIlabel", longName.c_str(), 20, 20, 100, 40);
  select(l);
  OMtext got = OMget_text(into);
  ASSERT_TRUE(got);
  EXPECT_GT(std::string(got.get()).size(), 600u);
  EXPECT_NE(std::string(got.get()).find(longName), std::string::npos);
}

TEST_F(Editor, MovesSnapToTheGrid) {
  OMobj_id l = item("UIlabel", "mover", 20, 20, 120, 60);
  select(l);
  drag(l, 30, 30, 23, 30);  // the origin lands on x = 13
  EXPECT_EQ(at(l, "x"), 12);
  EXPECT_EQ(at(l, "y"), 20);
  EXPECT_EQ(UIlayout::state, 3) << "still selected";
  drag(l, 30, 30, 32, 30);  // 12 + 2 = 14
  EXPECT_EQ(at(l, "x"), 16);
  drag(l, 30, 30, 30, 51);  // y 20 + 21 = 41
  EXPECT_EQ(at(l, "y"), 40);
  Position wx = 0, wy = 0;
  XtVaGetValues(widget(l), XtNx, &wx, XtNy, &wy, nullptr);
  EXPECT_EQ(wx, 16);
  EXPECT_EQ(wy, 40) << "the widget follows its object";
}

TEST_F(Editor, CornerResizesSnapTheSize) {
  OMobj_id l = item("UIlabel", "sizer", 40, 40, 120, 60);
  select(l);
  drag(l, 117, 57, 126, 62);  // bottom-right corner: 120 + 9, 60 + 5
  EXPECT_EQ(at(l, "width"), 128);
  EXPECT_EQ(at(l, "height"), 64);
  EXPECT_EQ(at(l, "x"), 40);
  drag(l, 2, 2, -10, -6);  // top-left corner: both edges move, right and bottom stay
  EXPECT_EQ(at(l, "x"), 28);
  EXPECT_EQ(at(l, "y"), 32);
  EXPECT_EQ(at(l, "x") + at(l, "width"), 168);
  EXPECT_EQ(at(l, "y") + at(l, "height"), 104);
  drag(l, 60, 1, 60, -8);  // the top edge alone
  EXPECT_EQ(at(l, "y"), 24);
  EXPECT_EQ(at(l, "x"), 28);
  EXPECT_EQ(at(l, "width"), 140);
}

TEST_F(Editor, ScalesAndOptionMenusKeepTheirLimits) {
  OMobj_id s = make("UIslider", "vslider", window,
                    {{"visible", 1}, {"x", 20}, {"y", 20}, {"width", 60}, {"height", 200}});
  OMset_int_val(sub(s, "horizontal"), 0);
  OMset_int_val(sub(s, "layout.edit"), 1);
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(widget(s)); }));
  int width = at(s, "width"), height = at(s, "height");
  select(s);
  ASSERT_EQ(UIlayout::state, 3);
  Dimension w = 0, h = 0;
  XtVaGetValues(widget(s), XtNwidth, &w, XtNheight, &h, nullptr);
  drag(s, w / 2, h - 2, w / 2 + 20, h + 18);  // bottom edge: height only
  EXPECT_EQ(at(s, "width"), width);
  EXPECT_GT(at(s, "height"), height);
  height = at(s, "height");
  XtVaGetValues(widget(s), XtNwidth, &w, XtNheight, &h, nullptr);
  drag(s, w - 2, h / 2, w + 30, h / 2);  // right edge: refused for a vertical scale
  EXPECT_EQ(at(s, "width"), width);
  EXPECT_EQ(at(s, "height"), height);

  OMobj_id m = item("UItestOptionMenu", "menu", 200, 40, 100, 40);
  select(m);
  drag(m, 97, 37, 130, 60);
  EXPECT_EQ(at(m, "width"), 100) << "an option menu is not resized";
  EXPECT_EQ(at(m, "height"), 40);
}

TEST_F(Editor, RefusedEditsChangeNothing) {
  OMobj_id l = item("UIlabel", "still", 20, 20, 100, 50);
  select(l);
  drag(l, 50, 25, 600, 25);  // out of the window
  EXPECT_EQ(at(l, "x"), 20);
  drag(l, 97, 47, -1, -1);  // to 4 x 4 or less
  EXPECT_EQ(at(l, "width"), 100);
  EXPECT_EQ(at(l, "height"), 50);
  // A second button held during the drag: motion needs button 2 alone.
  Widget w = widget(l);
  uitest::movePointer(w, 50, 25);
  uitest::pressButton(2);
  uitest::pressButton(1);
  for (int i = 1; i <= 6; ++i) uitest::movePointer(w, 50 + 8 * i, 25);
  uitest::releaseButton(1);
  uitest::releaseButton(2);
  uitest::pumpFor(40);
  EXPECT_EQ(at(l, "x"), 20);
  EXPECT_EQ(at(l, "y"), 20);
  EXPECT_TRUE(uitest::reports().empty());

  // A shell places itself: its main window is selected but never written.
  OMset_int_val(sub(window, "layout.edit"), 1);
  UIlayout::cleanUpLayoutState();
  int sx = at(window, "x"), sw = at(window, "width");
  Widget main = widget(window);
  Dimension mw = 0;
  XtVaGetValues(main, XtNwidth, &mw, nullptr);
  uitest::click(main, 300, 250, 2);
  uitest::pumpFor(20);
  ASSERT_EQ(UIlayout::state, 3);
  uitest::drag(main, mw - 2, 150, mw + 40, 150, 2);
  uitest::pumpFor(40);
  EXPECT_EQ(at(window, "width"), sw);
  EXPECT_EQ(at(window, "x"), sx);
}

TEST_F(Editor, ASizeOf2048OrMoreIsRefused) {
  // The server is narrower than the limit, so the widget starts just under it, its left edge on
  // the screen, and the drag pulls that edge out to the left.
  OMobj_id wide = make("UIshell", "wide", OMnull_obj,
                       {{"visible", 1}, {"x", 0}, {"y", 0}, {"width", 2300}, {"height", 200}});
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(widget(wide)); }));
  OMobj_id l = item("UIlabel", "broad", 40, 40, 2036, 40, wide);
  ASSERT_EQ(at(l, "width"), 2036);
  uitest::click(widget(l), 100, 20, 2);
  uitest::pumpFor(20);
  ASSERT_EQ(UIlayout::state, 3);
  drag(l, 2, 20, -6, 20);  // a left-edge drag that stays under the limit is taken
  int x = at(l, "x"), width = at(l, "width");
  EXPECT_LT(x, 40);
  EXPECT_GT(width, 2036);
  ASSERT_LT(width, 2048);
  EXPECT_EQ(x + width, 40 + 2036) << "the right edge stays";
  drag(l, 2, 20, -30, 20);  // past 2048: refused on release, though earlier steps were not
  EXPECT_EQ(at(l, "x"), x);
  EXPECT_EQ(at(l, "width"), width);
  EXPECT_EQ(at(l, "height"), 40);
  Dimension ww = 0;
  XtVaGetValues(widget(l), XtNwidth, &ww, nullptr);
  EXPECT_EQ(ww, width) << "the widget is left as it was";
  EXPECT_EQ(UIlayout::state, 3) << "still selected";
  EXPECT_TRUE(uitest::reports().empty());
}

TEST_F(Editor, ADropIntoAnotherContainerReparents) {
  OMobj_id a = item("UIpanel", "a", 0, 0, 180, 280);
  OMobj_id b = item("UIpanel", "b", 200, 0, 180, 280);
  OMobj_id l = item("UIlabel", "traveller", 20, 20, 80, 40, a);
  select(l);
  // The label's origin moves by 210, 80: to 230, 100 in the window, 30, 100 in b.
  drag(l, 40, 20, 40 + 210, 20 + 80);
  OMobj_id parent;
  ASSERT_EQ(OMget_obj_val(sub(l, "parent"), &parent), 1);
  EXPECT_EQ(parent, b);
  EXPECT_EQ(at(l, "x"), 32);
  EXPECT_EQ(at(l, "y"), 100);
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(widget(l)); }));
  EXPECT_EQ(XtParent(widget(l)), widget(b)) << "rebuilt under b";
  EXPECT_EQ(UIlayout::state, 0);

  // A panel dropped into its own child, or onto its own parent area, stays.
  OMobj_id inner = item("UIpanel", "inner", 10, 140, 150, 120, b);
  select(b);
  drag(b, 90, 60, 90 + 5, 60 + 150);  // b's origin into inner
  ASSERT_EQ(OMget_obj_val(sub(b, "parent"), &parent), 1);
  EXPECT_EQ(parent, window);
  EXPECT_EQ(at(b, "x"), 200);
  (void)inner;
}

TEST_F(Editor, DeleteDestroysTheSelectedObject) {
  OMobj_id l = item("UIlabel", "doomed", 20, 20, 100, 40);
  select(l);
  ASSERT_EQ(UIlayout::state, 3);
  uitest::movePointer(widget(l), 50, 20);
  uitest::pressKey(XK_Delete);
  uitest::pumpFor(20);
  EXPECT_EQ(OMvalid_obj(l, OMnull_obj, 0), 0);
  EXPECT_EQ(UIlayout::state, 0);
  EXPECT_EQ(UIlayout::moveWidget, nullptr);
}

TEST_F(Editor, EditingOffWhileSelectedRestoresTheWidget) {
  OMobj_id l = item("UIlabel", "sel", 20, 20, 100, 40);
  unsigned long before = uitest::pixelAt(widget(l), 5, 5);
  select(l);
  ASSERT_EQ(UIlayout::state, 3);
  OMset_int_val(sub(editState, "edit"), 0);
  uitest::pumpFor(40);
  EXPECT_EQ(UIlayout::state, 0);
  EXPECT_EQ(UIlayout::layout_gc, nullptr);
  EXPECT_TRUE(uitest::pumpUntil([&] { return uitest::pixelAt(widget(l), 5, 5) == before; }))
      << "the frame is gone";
  drag(l, 50, 20, 80, 20);
  EXPECT_EQ(at(l, "x"), 20) << "no editing";
}

TEST_F(Editor, GroupingPassesChildEventsToTheGroup) {
  OMobj_id p = item("UIpanel", "group", 20, 20, 200, 150);
  OMobj_id l = item("UIlabel", "member", 20, 20, 100, 40, p);
  select(p);
  ASSERT_EQ(UIlayout::state, 3);
  OMset_int_val(sub(editState, "group"), 1);
  EXPECT_EQ(at(l, "groupToParent"), 1);
  UIlayout::cleanUpLayoutState();
  select(l);  // a click on the member selects the group
  EXPECT_EQ(UIlayout::moveWidget, widget(p));
  drag(l, 30, 20, 42, 20);  // a drag on the member moves the group
  EXPECT_EQ(at(p, "x"), 32);
  EXPECT_EQ(at(l, "x"), 20);
  OMset_int_val(sub(editState, "ungroup"), 1);
  EXPECT_EQ(at(l, "groupToParent"), 0);
  UIlayout::cleanUpLayoutState();
  select(l);
  EXPECT_EQ(UIlayout::moveWidget, widget(l));
  drag(l, 30, 20, 42, 20);  // the member has its own handlers back: it moves alone
  EXPECT_EQ(at(l, "x"), 32);
  EXPECT_EQ(at(p, "x"), 32);
}

// A group takes button 2 alone: a member's own actions still get a button-1 press while
// editing, where it happened in the member.
TEST_F(Editor, AGroupMemberSeesItsOwnPressesInPlace) {
  OMobj_id p = item("UIpanel", "group", 20, 20, 300, 200);
  OMobj_id l = item("UIlabel", "member", 120, 100, 100, 40, p);
  uitest::click(widget(p), 10, 10, 2);
  uitest::pumpFor(20);
  ASSERT_EQ(UIlayout::moveWidget, widget(p));
  OMset_int_val(sub(editState, "group"), 1);
  ASSERT_EQ(at(l, "groupToParent"), 1);
  UIlayout::cleanUpLayoutState();
  struct Seen {
    int presses = 0, x = -1, y = -1;
  } seen;
  auto record = [](Widget, XtPointer data, XEvent* event, Boolean*) {
    auto* s = static_cast<Seen*>(data);
    ++s->presses;
    s->x = event->xbutton.x;
    s->y = event->xbutton.y;
  };
  XtAddEventHandler(widget(l), ButtonPressMask, False, record, &seen);
  uitest::click(widget(l), 30, 10, 1);
  uitest::pumpUntil([&] { return seen.presses > 0; });
  XtRemoveEventHandler(widget(l), ButtonPressMask, False, record, &seen);
  EXPECT_EQ(seen.presses, 1);
  EXPECT_EQ(seen.x, 30);
  EXPECT_EQ(seen.y, 10);
  EXPECT_EQ(UIlayout::state, 0) << "button 1 selects nothing";
}

// A list is a scrolled window with a list inside, made in a window already on screen: a press
// on the list inside selects the whole, and a drag there moves it, as for any window.
TEST_F(Editor, AListIsSelectedAndMovedThroughTheListInside) {
  for (const char* type : {"UIlist", "UImultiList"}) {
    OMobj_id l = item(type, type, 40, 40, 120, 100);
    Widget sw = widget(l);
    ASSERT_TRUE(XmIsScrolledWindow(sw)) << type;
    select(l);
    EXPECT_EQ(UIlayout::state, 3) << type;
    EXPECT_EQ(UIlayout::moveWidget, sw) << type << ": the press landed on the list inside";
    drag(l, 60, 50, 72, 50);
    EXPECT_EQ(at(l, "x"), 52) << type;
    UIlayout::cleanUpLayoutState();
    OMdestroy_obj(l, 0);
    uitest::pumpFor(20);
  }
}

TEST_F(Editor, TheSelectionManagerRestylesTheSelectedObject) {
  OMobj_id l = item("UIlabel", "styled", 20, 20, 100, 40);
  OMobj_id manager = make("UIselectionManager", "manager", OMnull_obj, {});
  OMset_str_val(sub(manager, "backgroundColor"), "#102030");
  OMset_str_val(sub(manager, "foregroundColor"), "#a0b0c0");
  OMset_int_val(sub(manager, "setColorIndex"), 0);
  OMset_int_val(sub(manager, "trigger"), 1);
  OMtext none = OMget_text(sub(l, "color.backgroundColor"));
  EXPECT_FALSE(none) << "nothing selected: nothing changes";
  select(l);
  OMset_int_val(sub(manager, "trigger"), 2);
  OMtext bg = OMget_text(sub(l, "color.backgroundColor"));
  ASSERT_TRUE(bg);
  EXPECT_STREQ(bg.get(), "#102030");
  EXPECT_FALSE(OMget_text(sub(l, "color.foregroundColor")));
  OMset_int_val(sub(manager, "setColorIndex"), 1);
  OMset_int_val(sub(manager, "trigger"), 3);
  OMtext fg = OMget_text(sub(l, "color.foregroundColor"));
  ASSERT_TRUE(fg);
  EXPECT_STREQ(fg.get(), "#a0b0c0");
}

TEST_F(Editor, TheSelectedObjectRebuiltOrDestroyedEndsTheSelection) {
  OMobj_id a = item("UIpanel", "pa", 0, 0, 180, 200);
  OMobj_id l = item("UIlabel", "moving", 10, 10, 80, 40);
  select(l);
  ASSERT_EQ(UIlayout::state, 3);
  OMset_obj_ref(sub(l, "parent"), a, 0);  // rebuilt under a
  uitest::pumpFor(20);
  EXPECT_EQ(UIlayout::state, 0);
  EXPECT_EQ(UIlayout::moveWidget, nullptr);
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(widget(l)); }));
  select(l);
  ASSERT_EQ(UIlayout::state, 3);
  OMdestroy_obj(l, 0);
  uitest::pumpFor(20);
  EXPECT_EQ(UIlayout::state, 0);
  EXPECT_EQ(UIlayout::layout_gc, nullptr);
}

int xErrors = 0;
int countError(Display*, XErrorEvent*) {
  ++xErrors;
  return 0;
}

TEST_F(Editor, CursorsAreMadeOnTheSelectedWidgetsDisplay) {
  uitest::PrivateServer second;
  ASSERT_FALSE(second.name().empty());
  OMobj_id far = make("UIshell", "far", OMnull_obj, {{"width", 200}, {"height", 100}});
  OMset_str_val(sub(far, "display"), second.name().c_str());
  OMset_int_val(sub(far, "visible"), 1);
  OMobj_id l = item("UIlabel", "farLabel", 10, 10, 100, 40, far);
  Widget w = widget(l);
  Display* d2 = XtDisplay(w);
  ASSERT_NE(d2, uitest::display());
  int rx = 0, ry = 0;
  Window child;
  XTranslateCoordinates(d2, XtWindow(w), DefaultRootWindow(d2), 50, 20, &rx, &ry, &child);
  XTestFakeMotionEvent(d2, DefaultScreen(d2), rx, ry, CurrentTime);
  XTestFakeButtonEvent(d2, 2, True, CurrentTime);
  XTestFakeButtonEvent(d2, 2, False, CurrentTime);
  XSync(d2, False);
  ASSERT_TRUE(uitest::pumpUntil([] { return UIlayout::state == 3; }));
  EXPECT_EQ(UIlayout::moveWidget, w);
  // The editor's cursor is one of the second server's: defining it there raises no error.
  XSync(d2, False);
  xErrors = 0;
  XErrorHandler old = XSetErrorHandler(countError);
  XDefineCursor(d2, XtWindow(w), UIlayout::cursorFor(w, UIlayout::kTopLeft));
  XSync(d2, False);
  XSetErrorHandler(old);
  EXPECT_EQ(xErrors, 0);
  UIlayout::cleanUpLayoutState();
  OMdestroy_obj(l, 0);
  OMdestroy_obj(far, 0);
  EVflush_events();
  uitest::pumpFor(20);
  UIgetDisplayContext(second.name().c_str())->closeDisplay();
}

TEST_F(Editor, AGridStepBelowOneIsRefused) {
  OMset_int_val(sub(editState, "gridX"), 0);
  EXPECT_EQ(UIlayout::gridX, 4);
  ASSERT_FALSE(uitest::reports().empty());
  EXPECT_NE(uitest::reports().back().find("grid step"), std::string::npos);
  OMset_int_val(sub(editState, "gridX"), 8);
  EXPECT_EQ(UIlayout::gridX, 8);
  OMset_int_val(sub(editState, "gridX"), 4);
}

TEST_F(Editor, AnOptionDroppedOnARadioBoxIsAddedToItsList) {
  UIlayoutClearHistory();
  OMobj_id palette = item("UIpanel", "palette", 0, 0, 180, 280);
  OMobj_id box = item("UItestRadioBox", "box", 200, 0, 180, 280);
  OMobj_id option = item("UIlabel", "paletteOption", 20, 20, 80, 40, palette);
  OMset_str_val(sub(option, "label"), "UIoption");
  OMobj_id other = item("UIlabel", "paletteOther", 20, 100, 80, 40, palette);
  OMset_str_val(sub(other, "label"), "Other");
  auto size = [&] {
    int n = -1;
    OMget_array_size(sub(box, "cmdList"), &n);
    return n;
  };
  ASSERT_EQ(size(), 0);
  select(option);
  drag(option, 40, 20, 40 + 210, 20 + 80);
  EXPECT_EQ(size(), 1) << "a new option";
  OMobj_id made;
  ASSERT_EQ(OMget_array_val(sub(box, "cmdList"), 0, &made, 1), 1);
  EXPECT_TRUE(OMmatch_obj(OMfind_template("UIoption"), made, 0));
  OMobj_id parent;
  OMget_obj_val(sub(option, "parent"), &parent);
  EXPECT_EQ(parent, palette) << "the palette item stays";
  EXPECT_EQ(at(option, "x"), 20);
  EXPECT_TRUE(UIlayoutUndo());
  EXPECT_EQ(size(), 0);
  EXPECT_EQ(OMvalid_obj(made, OMnull_obj, 0), 0);
  EXPECT_TRUE(UIlayoutRedo());
  EXPECT_EQ(size(), 1);

  uitest::reports().clear();
  select(other);
  drag(other, 40, 20, 40 + 210, 20 + 80);
  EXPECT_EQ(size(), 1) << "refused";
  OMget_obj_val(sub(other, "parent"), &parent);
  EXPECT_EQ(parent, palette);
  ASSERT_FALSE(uitest::reports().empty());
  EXPECT_NE(
      uitest::reports().back().find("A UIradioBox may only accept children of type UIoption."),
      std::string::npos)
      << uitest::reports().back();
}

TEST_F(Editor, EveryKindOfEditUndoesAndRedoes) {
  UIlayoutClearHistory();
  OMobj_id a = item("UIpanel", "ua", 0, 0, 180, 280);
  OMobj_id b = item("UIpanel", "ub", 200, 0, 180, 280);
  OMobj_id l = item("UIlabel", "undone", 20, 20, 80, 40, a);
  select(l);
  drag(l, 40, 20, 50, 20);  // move: x 20 -> 32 (30 snapped)
  ASSERT_EQ(at(l, "x"), 32);
  drag(l, 77, 37, 86, 37);  // resize: width 80 -> 88
  ASSERT_EQ(at(l, "width"), 88);
  EXPECT_EQ(UIlayoutUndoDepth(), 2);
  uitest::pressKey(XK_z, ControlMask);
  EXPECT_EQ(at(l, "width"), 80);
  uitest::pressKey(XK_z, ControlMask);
  EXPECT_EQ(at(l, "x"), 20);
  EXPECT_FALSE(UIlayoutUndo()) << "nothing more to undo";
  uitest::pressKey(XK_z, ControlMask | ShiftMask);
  EXPECT_EQ(at(l, "x"), 32);
  uitest::pressKey(XK_y, ControlMask);
  EXPECT_EQ(at(l, "width"), 88);
  Dimension w = 0;
  XtVaGetValues(widget(l), XtNwidth, &w, nullptr);
  EXPECT_EQ(w, 88) << "the widget follows";

  // Reparent, undone: back under a, where it was.
  UIlayout::cleanUpLayoutState();
  select(l);
  drag(l, 40, 20, 40 + 210, 20 + 80);
  OMobj_id parent;
  OMget_obj_val(sub(l, "parent"), &parent);
  ASSERT_EQ(parent, b);
  EXPECT_TRUE(UIlayoutUndo());
  OMget_obj_val(sub(l, "parent"), &parent);
  EXPECT_EQ(parent, a);
  EXPECT_EQ(at(l, "x"), 32);
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(widget(l)); }));
  EXPECT_EQ(XtParent(widget(l)), widget(a));
  EXPECT_TRUE(UIlayoutRedo());
  OMget_obj_val(sub(l, "parent"), &parent);
  EXPECT_EQ(parent, b);
  EXPECT_TRUE(UIlayoutUndo());

  // Delete, undone: the object with its values, its links, its place and the links to it.
  OMobj_id holder = OMcreate_obj(OMstr_to_name((prefix + "holder").c_str()), OM_KIND_REF,
                                 OMroot_obj, OMnull_obj, 0);
  made.push_back(holder);
  OMset_obj_ref(holder, sub(l, "width"), 0);
  OMset_str_val(sub(l, "label"), "kept");
  OMobj_id after = item("UIlabel", "after", 100, 200, 60, 30, a);
  OMobj_id place;
  OMget_obj_parent(l, &place);
  auto indexOf = [&](OMobj_id id) {
    int count = 0;
    OMget_num_subobjs(place, &count);
    for (int i = 0; i < count; ++i)
      if (OMget_subobj_at(place, i) == id) return i;
    return -1;
  };
  int index = indexOf(l);
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(widget(l)); }));
  select(l);
  uitest::movePointer(widget(l), 40, 20);
  uitest::pressKey(XK_Delete);
  ASSERT_EQ(OMvalid_obj(l, OMnull_obj, 0), 0);
  uitest::pressKey(XK_z, ControlMask);
  OMobj_id back = OMfind_subobj(place, OMstr_to_name((prefix + "undone").c_str()), 0);
  ASSERT_FALSE(!back) << "made again";
  made.push_back(back);
  EXPECT_EQ(indexOf(back), index) << "in its place among its siblings";
  EXPECT_LT(indexOf(back), indexOf(after));
  OMtext label = OMget_text(sub(back, "label"));
  ASSERT_TRUE(label);
  EXPECT_STREQ(label.get(), "kept");
  EXPECT_EQ(at(back, "width"), 88);
  OMget_obj_val(sub(back, "parent"), &parent);
  EXPECT_EQ(parent, a) << "its own links";
  OMobj_id target;
  ASSERT_EQ(OMget_obj_pval(holder, &target, 0), 1);
  EXPECT_EQ(target, sub(back, "width")) << "the links others held";
  EXPECT_TRUE(uitest::pumpUntil([&] { return viewable(widget(back)); })) << "shown again";
  EXPECT_TRUE(UIlayoutRedo());
  EXPECT_EQ(OMvalid_obj(back, OMnull_obj, 0), 0) << "deleted again";
  EXPECT_TRUE(UIlayoutUndo());
  back = OMfind_subobj(place, OMstr_to_name((prefix + "undone").c_str()), 0);
  ASSERT_FALSE(!back);
  made.push_back(back);
  EXPECT_TRUE(UIlayoutUndo()) << "the geometry steps reach the object made again";
  EXPECT_EQ(at(back, "width"), 80);
}

TEST_F(Editor, HistoryRulesNewEditsGoneObjectsAndDrags) {
  UIlayoutClearHistory();
  OMobj_id l = item("UIlabel", "hist", 20, 20, 80, 40);
  select(l);
  Widget w = widget(l);
  // More than 100 steps are kept.
  for (int i = 0; i < 101; ++i) {
    uitest::movePointer(w, 40, 20);
    uitest::pressButton(2);
    uitest::movePointer(w, i % 2 ? 28 : 50, 20);
    uitest::movePointer(w, i % 2 ? 29 : 51, 20);
    uitest::releaseButton(2);
    ASSERT_TRUE(uitest::pumpUntil([&] { return at(l, "x") == (i % 2 ? 20 : 32); })) << i;
  }
  EXPECT_EQ(UIlayoutUndoDepth(), 101);
  int undone = 0;
  while (UIlayoutUndo()) ++undone;
  EXPECT_EQ(undone, 101);
  EXPECT_EQ(at(l, "x"), 20);
  EXPECT_TRUE(UIlayoutRedo());
  EXPECT_EQ(at(l, "x"), 32);
  drag(l, 40, 20, 40, 33);  // a new edit: nothing left to redo
  EXPECT_EQ(UIlayoutRedoDepth(), 0);

  // In the middle of a drag, undo does nothing.
  uitest::movePointer(w, 40, 20);
  uitest::pressButton(2);
  uitest::movePointer(w, 60, 30);
  EXPECT_EQ(UIlayout::state, 1);
  EXPECT_FALSE(UIlayoutUndo());
  uitest::movePointer(w, 40, 20);
  uitest::releaseButton(2);
  uitest::pumpFor(30);

  // A step whose object has gone is dropped quietly.
  int depth = UIlayoutUndoDepth();
  OMdestroy_obj(l, 0);
  uitest::pumpFor(20);
  EXPECT_FALSE(UIlayoutUndo());
  EXPECT_EQ(UIlayoutUndoDepth(), 0);
  EXPECT_GT(depth, 0);
  EXPECT_TRUE(uitest::reports().empty());
}

}  // namespace
