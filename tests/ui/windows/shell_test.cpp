// Top-level windows and containers on the shared server (no window manager).
#include <gtest/gtest.h>

#include <X11/Shell.h>
#include <Xm/Frame.h>
#include <Xm/Label.h>
#include <Xm/ScrolledW.h>
#include <Xm/Xm.h>

#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "om/om_registry.h"
#include "svc/ev.h"
#include "svc/wt.h"
#include "ui/dpyMgr.h"
#include "ui/errorHandler.h"
#include "ui/misc.h"
#include "ui/panel.h"
#include "ui/shell.h"
#include "ui_test.h"
#include "x11_test.h"

namespace {

using uitest::intOf;

class Windows : public ::testing::Test {
 protected:
  void SetUp() override {
    uitest::startLibrary("shell_test");
    uitest::reports().clear();
    static int n = 0;
    prefix = "w" + std::to_string(++n) + "_";
  }
  void TearDown() override {
    for (auto it = made.rbegin(); it != made.rend(); ++it) OMdestroy_obj(*it, 0);
    uitest::pumpFor(20);
  }
  OMobj_id make(const char* type, const char* name, OMobj_id parent,
                std::vector<std::pair<const char*, int>> ints = {{"visible", 1}}) {
    OMobj_id id = uitest::makeObject(type, prefix + name, parent, ints);
    made.push_back(id);
    return id;
  }
  OMobj_id shell(const char* name, std::vector<std::pair<const char*, int>> ints = {
                                       {"visible", 1}, {"width", 300}, {"height", 200}}) {
    OMobj_id id = make("UIshell", name, OMnull_obj, ints);
    EXPECT_TRUE(uitest::pumpUntil([&] { return viewable(id); }));
    return id;
  }
  UIshell* bindingOf(OMobj_id id) { return dynamic_cast<UIshell*>(UIobjIdToClass(id)); }
  bool viewable(OMobj_id id) {
    Widget w = UIobjIdToWidget(id);
    XWindowAttributes attrs;
    return !UIisBeingDestroyed(w) && XtWindow(w) &&
           XGetWindowAttributes(XtDisplay(w), XtWindow(w), &attrs) && attrs.map_state == IsViewable;
  }
  OMobj_id sub(OMobj_id id, const char* path) { return OMfind_str_subobj(id, path, 0); }

  std::string prefix;
  std::vector<OMobj_id> made;
};

TEST_F(Windows, AShellWithoutPositionKeepsItsDefaultSizeAndNoGeometry) {
  OMobj_id s = shell("plain", {{"visible", 1}});
  EXPECT_EQ(intOf(s, "width"), 200);
  EXPECT_EQ(intOf(s, "height"), 60);
  UIshell* b = bindingOf(s);
  ASSERT_NE(b, nullptr);
  EXPECT_TRUE(b->geometryText.empty());
  EXPECT_TRUE(b->poppedUp);
  // Work area, status label, main window named after the object.
  EXPECT_STREQ(XtName(b->mainWindow), (prefix + "plainMW").c_str());
  EXPECT_STREQ(XtName(b->workArea), (prefix + "plainWA").c_str());
  EXPECT_EQ(UIobjIdToWidget(s), b->workArea) << "children go into the work area";
  OMobj_id placed = shell("placed", {{"visible", 1}, {"x", 30}, {"y", 40}});
  EXPECT_EQ(bindingOf(placed)->geometryText, "200x60+30+40");
}

TEST_F(Windows, StatusTextChangedWithWidthAppliesOnlyTheText) {
  OMobj_id s =
      shell("status", {{"visible", 1}, {"width", 300}, {"height", 120}, {"showStatusBar", 1}});
  UIshell* b = bindingOf(s);
  ASSERT_TRUE(XtIsManaged(b->statusLabel));
  OMpush_ctx(s, 0, 0, 0);
  OMset_str_val(sub(s, "statusString"), "Ready");
  OMset_int_val(sub(s, "width"), 420);
  OMpop_ctx(s);
  XmString label = nullptr;
  XtVaGetValues(b->statusLabel, XmNlabelString, &label, nullptr);
  char* text = nullptr;
  XmStringGetLtoR(label, const_cast<char*>(XmFONTLIST_DEFAULT_TAG), &text);
  EXPECT_STREQ(text, "Ready");
  XtFree(text);
  XmStringFree(label);
  Dimension width = 0;
  XtVaGetValues(b->mainWindow, XmNwidth, &width, nullptr);
  EXPECT_EQ(width, 300) << "the width waits for the next update";
}

TEST_F(Windows, StatusBarTextFromAWidgetInside) {
  OMobj_id s =
      shell("bar", {{"visible", 1}, {"width", 300}, {"height", 120}, {"showStatusBar", 1}});
  OMset_str_val(sub(s, "statusString"), "Idle");
  OMobj_id panel = make("UIpanel", "inner", s, {{"visible", 1}, {"width", 50}, {"height", 20}});
  UIshell* b = bindingOf(s);
  Widget inner = UIobjIdToWidget(panel);
  UIwindow::drawStatBarText(inner, "Pointing at the panel");
  XmString label = nullptr;
  auto text = [&] {
    XtVaGetValues(b->statusLabel, XmNlabelString, &label, nullptr);
    char* t = nullptr;
    XmStringGetLtoR(label, const_cast<char*>(XmFONTLIST_DEFAULT_TAG), &t);
    std::string out = t ? t : "";
    XtFree(t);
    XmStringFree(label);
    return out;
  };
  EXPECT_EQ(text(), "Pointing at the panel");
  UIwindow::drawStatBarText(inner, nullptr);
  EXPECT_EQ(text(), "Idle") << "no text: the status line's own \"statusString\"";
}

TEST_F(Windows, TheWindowManagersCloseHidesAndKeepsTheWidgets) {
  OMobj_id s = shell("closing");
  UIshell* b = bindingOf(s);
  Display* dpy = XtDisplay(b->shellWidget);
  XClientMessageEvent event{};
  event.type = ClientMessage;
  event.window = XtWindow(b->shellWidget);
  event.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
  event.format = 32;
  event.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
  event.data.l[1] = CurrentTime;
  XSendEvent(dpy, event.window, False, NoEventMask, reinterpret_cast<XEvent*>(&event));
  ASSERT_TRUE(uitest::pumpUntil([&] { return intOf(s, "visible") == 0; }));
  EXPECT_EQ(intOf(s, "cancel"), 1);
  EXPECT_FALSE(UIisBeingDestroyed(b->shellWidget)) << "kept";
  EXPECT_EQ(bindingOf(s), b);
  EXPECT_FALSE(viewable(s));
  OMset_int_val(sub(s, "visible"), 1);
  EXPECT_TRUE(uitest::pumpUntil([&] { return viewable(s); })) << "shown again";
}

TEST_F(Windows, APanelWritesItsDefaultSizeAFrameAndScrolledWindowDoNot) {
  OMobj_id s = shell("host");
  OMobj_id panel = make("UIpanel", "p", s, {{"visible", 1}});
  OMobj_id frame = make("UIframe", "f", s, {{"visible", 1}});
  OMobj_id scroll = make("UIscrolledWindow", "sw", s, {{"visible", 1}});
  EXPECT_EQ(intOf(panel, "width"), 200);
  EXPECT_EQ(intOf(panel, "height"), 40);
  EXPECT_EQ(intOf(frame, "width"), -12345) << "unset";
  EXPECT_EQ(intOf(scroll, "height"), -12345);
  double client = 0;
  EXPECT_EQ(OMget_real_val(sub(frame, "clientWidth"), &client), 1);
  EXPECT_EQ(client, 200 - 2 * 3) << "the frame's client size is inside its shadow";
}

// Seen from a second connection: a window made hidden is never mapped, not even briefly,
// and is mapped once "visible" turns on.
TEST_F(Windows, HiddenPanelsAndLabelsAreNeverMappedUntilShown) {
  OMobj_id s = shell("hosthidden");
  Display* watcher = XOpenDisplay(uitest::displayName().c_str());
  ASSERT_NE(watcher, nullptr);
  Widget area = UIobjIdToWidget(s);
  ASSERT_TRUE(area && XtWindow(area));
  XSelectInput(watcher, XtWindow(area), SubstructureNotifyMask);
  XSync(watcher, False);
  std::set<Window> mapped;  // every window mapped so far
  auto collect = [&] {
    XSync(XtDisplay(area), False);
    XSync(watcher, False);
    while (XPending(watcher)) {
      XEvent e;
      XNextEvent(watcher, &e);
      if (e.type == MapNotify) mapped.insert(e.xmap.window);
    }
  };
  OMobj_id panel = make("UIpanel", "hp", s, {{"visible", 0}, {"width", 40}, {"height", 20}});
  OMobj_id label = make("UIlabel", "hl", s, {{"visible", 0}, {"y", 30}});
  Window panelWindow = XtWindow(UIobjIdToWidget(panel)),
         labelWindow = XtWindow(UIobjIdToWidget(label));
  ASSERT_TRUE(panelWindow && labelWindow);
  uitest::pumpFor(20);
  collect();
  EXPECT_EQ(mapped.count(panelWindow), 0u);
  EXPECT_EQ(mapped.count(labelWindow), 0u);
  OMset_int_val(sub(panel, "visible"), 1);
  OMset_int_val(sub(label, "visible"), 1);
  collect();
  EXPECT_EQ(mapped.count(panelWindow), 1u);
  EXPECT_EQ(mapped.count(labelWindow), 1u);
  XCloseDisplay(watcher);
}

TEST_F(Windows, ShadowThicknessAndType) {
  OMobj_id s = shell("shadow");
  OMobj_id frame = make("UIframe", "f", s, {{"visible", 1}, {"width", 100}, {"height", 60}});
  Widget w = UIobjIdToWidget(frame);
  auto thickness = [&] {
    Dimension t = 0;
    XtVaGetValues(w, XmNshadowThickness, &t, nullptr);
    return static_cast<int>(t);
  };
  EXPECT_EQ(thickness(), 3);
  OMset_int_val(sub(frame, "shadowThickness"), 1001);
  EXPECT_EQ(thickness(), 3);
  OMset_int_val(sub(frame, "shadowThickness"), -1);
  EXPECT_EQ(thickness(), 3);
  OMset_int_val(sub(frame, "shadowThickness"), 1000);
  EXPECT_EQ(thickness(), 1000);
  OMset_int_val(sub(frame, "shadowThickness"), 2);
  unsigned char type = 0;
  OMset_int_val(sub(frame, "shadowType"), 7);
  XtVaGetValues(w, XmNshadowType, &type, nullptr);
  EXPECT_EQ(type, XmSHADOW_ETCHED_OUT);
  OMset_int_val(sub(frame, "shadowType"), 0);
  XtVaGetValues(w, XmNshadowType, &type, nullptr);
  EXPECT_EQ(type, XmSHADOW_IN);
}

TEST_F(Windows, ScrollBarsAsNeededShowOneThenBoth) {
  OMobj_id s = shell("scroll", {{"visible", 1}, {"width", 400}, {"height", 300}});
  OMpush_ctx(s, 0, 0, 0);
  OMobj_id sw =
      make("UIscrolledWindow", "sw", s,
           {{"visible", 1}, {"width", 200}, {"height", 200}, {"scrollBars", 2}, {"resizeMode", 0}});
  OMset_real_val(sub(sw, "virtualWidth"), 400);
  OMset_real_val(sub(sw, "virtualHeight"), 100);
  OMpop_ctx(s);
  auto* b = dynamic_cast<UIscrolledWindow*>(UIobjIdToClass(sw));
  ASSERT_NE(b, nullptr);
  OMset_real_val(sub(sw, "virtualHeight"), 100);  // an update with the sizes
  EXPECT_EQ(b->hAllowance, 31);
  EXPECT_EQ(b->vAllowance, 0);
  EXPECT_TRUE(XtIsManaged(b->hScrollBar));
  EXPECT_FALSE(XtIsManaged(b->vScrollBar));
  OMset_real_val(sub(sw, "virtualHeight"), 190);  // above 200 - 31
  EXPECT_EQ(b->vAllowance, 31);
  EXPECT_TRUE(XtIsManaged(b->vScrollBar));
  EXPECT_TRUE(XtIsManaged(b->hScrollBar));
  // Without "scrollBars" set: mode 1, both bars.
  OMobj_id plain = make("UIscrolledWindow", "sw1", s, {{"visible", 1}});
  auto* p = dynamic_cast<UIscrolledWindow*>(UIobjIdToClass(plain));
  EXPECT_EQ(p->scrollBarMode, 1);
  EXPECT_EQ(p->hAllowance, 31);
  EXPECT_EQ(p->vAllowance, 31);
}

// Scroll bars "always" (mode 1) sit along the bottom and right edges of the view even when
// the work area is empty, not at the view's origin under the clip window.
TEST_F(Windows, AnEmptyScrolledWindowShowsItsBarsAtTheEdges) {
  OMobj_id s = shell("emptyScroll", {{"visible", 1}, {"width", 400}, {"height", 300}});
  for (int resizeMode : {0, 1, 2}) {
    OMobj_id sw = make("UIscrolledWindow", ("empty" + std::to_string(resizeMode)).c_str(), s,
                       {{"visible", 1},
                        {"x", 10},
                        {"y", 10},
                        {"width", 200},
                        {"height", 150},
                        {"scrollBars", 1},
                        {"resizeMode", resizeMode}});
    auto* b = dynamic_cast<UIscrolledWindow*>(UIobjIdToClass(sw));
    ASSERT_NE(b, nullptr);
    Widget view = b->widget();
    ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(sw); }));
    uitest::pumpFor(30);
    for (Widget bar : {b->hScrollBar, b->vScrollBar}) {
      XWindowAttributes attrs;
      ASSERT_TRUE(XtWindow(bar) && XGetWindowAttributes(XtDisplay(bar), XtWindow(bar), &attrs));
      EXPECT_EQ(attrs.map_state, IsViewable) << "mode " << resizeMode;
    }
    Position hx = 0, hy = 0, vx = 0, vy = 0;
    Dimension hh = 0, vw = 0, width = 0, height = 0;
    XtVaGetValues(view, XmNwidth, &width, XmNheight, &height, nullptr);
    XtVaGetValues(b->hScrollBar, XmNx, &hx, XmNy, &hy, XmNheight, &hh, nullptr);
    XtVaGetValues(b->vScrollBar, XmNx, &vx, XmNy, &vy, XmNwidth, &vw, nullptr);
    EXPECT_EQ(width, 200);
    EXPECT_EQ(height, 150);
    EXPECT_GT(hh, 0);
    EXPECT_GT(vw, 0);
    EXPECT_GE(hy + hh, height - 4) << "mode " << resizeMode << ": the horizontal bar at the bottom";
    EXPECT_GE(vx + vw, width - 4) << "mode " << resizeMode << ": the vertical bar at the right";
    EXPECT_GT(hy, height / 2) << "mode " << resizeMode;
    EXPECT_GT(vx, width / 2) << "mode " << resizeMode;
    // A small child later leaves them there.
    make("UIlabel", ("small" + std::to_string(resizeMode)).c_str(), sw,
         {{"visible", 1}, {"x", 2}, {"y", 2}, {"width", 20}, {"height", 10}});
    uitest::pumpFor(30);
    XtVaGetValues(b->hScrollBar, XmNy, &hy, nullptr);
    XtVaGetValues(b->vScrollBar, XmNx, &vx, nullptr);
    EXPECT_GT(hy, height / 2) << "mode " << resizeMode;
    EXPECT_GT(vx, width / 2) << "mode " << resizeMode;
  }
}

TEST_F(Windows, RebuildUnderANewParentKeepsTheChildren) {
  OMobj_id s = shell("rebuild", {{"visible", 1}, {"width", 400}, {"height", 300}});
  OMobj_id first = make("UIpanel", "first", s,
                        {{"visible", 1}, {"x", 0}, {"y", 0}, {"width", 150}, {"height", 150}});
  OMobj_id second = make("UIpanel", "second", s,
                         {{"visible", 1}, {"x", 200}, {"y", 0}, {"width", 150}, {"height", 150}});
  OMobj_id mover =
      make("UIpanel", "mover", first, {{"visible", 1}, {"width", 100}, {"height", 100}});
  OMobj_id child = make("UIpanel", "child", mover, {{"visible", 1}, {"width", 50}, {"height", 50}});
  uitest::pumpFor(30);
  Widget oldMover = UIobjIdToWidget(mover);
  UIwindow* childBinding = UIobjIdToClass(child);
  OMset_obj_ref(sub(mover, "parent"), second, 0);
  uitest::pumpFor(30);
  Widget newMover = UIobjIdToWidget(mover);
  ASSERT_NE(newMover, oldMover);
  EXPECT_EQ(XtParent(newMover), UIobjIdToWidget(second));
  Widget childWidget = UIobjIdToWidget(child);
  ASSERT_FALSE(UIisBeingDestroyed(childWidget));
  EXPECT_EQ(XtParent(childWidget), newMover) << "the child moved along";
  EXPECT_EQ(UIobjIdToClass(child), childBinding) << "same binding, new widget";
}

// ---- Lifecycles ---------------------------------------------------------------------------

bool live(Widget w) {
  return !UIisBeingDestroyed(w);
}

// Objects inside a panel go with it (those held in the panel's object, and those elsewhere
// whose "parent" is the panel): their widgets with the panel's, not one window taken away and
// destroyed at a time. One of them destroyed alone loses its widget at once.
TEST_F(Windows, ObjectsInsideAPanelGoWithItsWidget) {
  OMobj_id s = shell("holder");
  OMobj_id box = make("UIpanel", "box", s, {{"visible", 1}, {"width", 220}, {"height", 100}});
  std::vector<Widget> widgets;
  std::vector<OMobj_id> kids;
  for (int i = 0; i < 10; ++i) {
    std::string n = prefix + "kid" + std::to_string(i);
    OMobj_id kid;
    if (i < 5) {
      kid = make("UIlabel", n.c_str(), box, {{"visible", 1}, {"x", 20 * i}});
    } else {
      OMpush_ctx(box, 0, 0, 0);
      kid = OMcreate_obj_from_path("UIlabel", n.c_str(), box);
      OMset_obj_ref(sub(kid, "parent"), box, 0);
      OMset_int_val(sub(kid, "x"), 20 * i);
      OMset_int_val(sub(kid, "visible"), 1);
      OMpop_ctx(box);
    }
    kids.push_back(kid);
    widgets.push_back(UIobjIdToWidget(kid));
    ASSERT_TRUE(live(widgets.back())) << i;
  }
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(kids.back()); }));
  for (int alone : {0, 5}) {
    ASSERT_EQ(OMdestroy_obj(kids[static_cast<size_t>(alone)], 0), 1);
    EXPECT_TRUE(UIisBeingDestroyed(widgets[static_cast<size_t>(alone)]))
        << alone << ": the panel stays, the widget goes at once";
    EXPECT_TRUE(live(widgets[static_cast<size_t>(alone) + 1])) << alone;
  }
  Display* dpy = uitest::display();
  XSync(dpy, False);
  unsigned long before = XNextRequest(dpy);
  Widget panel = UIobjIdToWidget(box);
  ASSERT_EQ(OMdestroy_obj(box, 0), 1);
  unsigned long together = XNextRequest(dpy) - before;
  EXPECT_TRUE(UIisBeingDestroyed(panel));
  for (Widget w : widgets) EXPECT_TRUE(UIisBeingDestroyed(w));
  EXPECT_LT(together, 8u) << "eight children and their panel: not a request per child";
  uitest::pumpFor(20);
  EXPECT_TRUE(live(UIobjIdToWidget(s))) << "the window stays";
}

// A shell made in one go with what it holds is realized with all of it: the handle of each
// object inside (in panels and frames too) names its widget's window.
TEST_F(Windows, AShellRealizedWithItsContentsPublishesEveryWindow) {
  OMobj_id place;
  ASSERT_EQ(OMget_array_subobj(OMinst_obj, 0, &place, 0), 1);
  OMpush_ctx(place, 0, 0, 0);
  OMobj_id s =
      make("UIshell", "filled", OMnull_obj, {{"visible", 1}, {"width", 300}, {"height", 200}});
  OMobj_id box = make("UIpanel", "box", s, {{"visible", 1}, {"width", 120}, {"height", 90}});
  OMobj_id frame =
      make("UIframe", "frame", s, {{"visible", 1}, {"x", 130}, {"width", 80}, {"height", 60}});
  std::vector<OMobj_id> inside{box, frame, make("UIlabel", "direct", s),
                               make("UIlabel", "inBox", box), make("UIbutton", "inFrame", frame)};
  Widget early = UIobjIdToWidget(s);
  EXPECT_FALSE(early && XtWindow(early)) << "made inside the context, realized at its end";
  OMpop_ctx(place);
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(s); }));
  for (OMobj_id id : inside) {
    Widget w = UIobjIdToWidget(id);
    ASSERT_TRUE(w && XtWindow(w));
    EXPECT_EQ(static_cast<Window>(static_cast<unsigned>(intOf(id, "handle.window"))), XtWindow(w))
        << XtName(w);
  }
}

// Controls nested in their window, as an interface file makes them: a change in one reaches
// the window and every other control, which skip the update; what is their own is applied
// whatever else changes with it, in either order.
TEST_F(Windows, ChangesMadeTogetherInAWindowAndItsNestedControlsAreAllApplied) {
  OMobj_id place = uitest::instancePlace();
  OMpush_ctx(place, 0, 0, 0);
  OMobj_id s =
      make("UIshell", "nest", OMnull_obj, {{"visible", 1}, {"width", 300}, {"height", 200}});
  auto nested = [&](const char* name, int x) {
    OMobj_id id = OMcreate_obj_from_path("UIlabel", name, s);
    OMset_obj_ref(sub(id, "parent"), s, 0);
    for (auto [prop, v] : {std::pair{"visible", 1}, {"x", x}, {"width", 80}, {"height", 20}})
      OMset_int_val(sub(id, prop), v);
    return id;
  };
  OMobj_id one = nested("one", 0), two = nested("two", 100);
  OMpop_ctx(place);
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(s); }));
  Widget shellWidget = bindingOf(s)->shellWidget;
  auto title = [&] {
    char* t = nullptr;
    XtVaGetValues(shellWidget, XtNtitle, &t, nullptr);
    return std::string(t ? t : "");
  };
  auto xOf = [](OMobj_id id) {
    Position x = -1;
    XtVaGetValues(UIobjIdToWidget(id), XmNx, &x, nullptr);
    return static_cast<int>(x);
  };
  auto together = [&](const std::function<void()>& writes) {
    OMpush_ctx(place, 0, 0, 0);
    writes();
    OMpop_ctx(place);
    uitest::pumpFor(30);
  };
  together([&] {
    OMset_str_val(sub(one, "label"), "first");
    OMset_str_val(sub(s, "title"), "after a control");
  });
  EXPECT_EQ(uitest::xmText(UIobjIdToWidget(one), XmNlabelString), "first");
  EXPECT_EQ(title(), "after a control");
  together([&] {
    OMset_str_val(sub(s, "title"), "before a control");
    OMset_int_val(sub(two, "x"), 140);
    OMset_str_val(sub(two, "label"), "second");
  });
  EXPECT_EQ(title(), "before a control");
  EXPECT_EQ(xOf(two), 140);
  EXPECT_EQ(uitest::xmText(UIobjIdToWidget(two), XmNlabelString), "second");
  EXPECT_EQ(uitest::xmText(UIobjIdToWidget(one), XmNlabelString), "first");
  together([&] { OMset_int_val(sub(one, "x"), 20); });
  EXPECT_EQ(xOf(one), 20);
  EXPECT_EQ(xOf(two), 140) << "a sibling's change is not applied to it";
  EXPECT_EQ(title(), "before a control");
}

TEST_F(Windows, AGoneContainerLeavesItsChildrenWithoutWidgetUntilANewParent) {
  OMobj_id s = shell("keeper", {{"visible", 1}, {"width", 300}, {"height", 200}});
  // Destroyed from the object manager's side, from the user-interface side (its "parent"
  // cut), and by a direct call of its binding: the child's handle is cleared, never left
  // naming a dead widget, and a new parent brings the child back.
  for (int way : {0, 1, 2}) {
    std::string n = std::to_string(way);
    OMobj_id box = uitest::makeObject("UIpanel", prefix + "box" + n, s,
                                      {{"visible", 1}, {"width", 120}, {"height", 90}});
    OMobj_id kid = make("UIlabel", ("kid" + n).c_str(), box, {{"visible", 1}});
    Widget old = UIobjIdToWidget(kid);
    ASSERT_TRUE(live(old));
    if (way == 0)
      OMdestroy_obj(box, 0);
    else if (way == 1)
      OMset_obj_val(sub(box, "parent"), OMnull_obj, 0);
    else
      UIobjIdToClass(box)->destroyObject();
    EXPECT_TRUE(UIisBeingDestroyed(old)) << way;
    if (way == 2) {
      // The panel's object lives on: it gets a fresh binding and widget, and its child
      // follows it there.
      Widget again = UIobjIdToWidget(kid);
      ASSERT_TRUE(live(again)) << "not left naming the destroyed widget";
      EXPECT_EQ(XtParent(again), UIobjIdToWidget(box));
    } else {
      EXPECT_EQ(UIobjIdToWidget(kid), nullptr) << way << ": the handle names no widget";
      EXPECT_EQ(intOf(kid, "handle.window"), 0) << way;
    }
    OMset_obj_ref(sub(kid, "parent"), s, 0);
    Widget back = UIobjIdToWidget(kid);
    ASSERT_TRUE(live(back)) << way << ": a new parent brings the child back";
    EXPECT_EQ(XtParent(back), UIobjIdToWidget(s));
    EXPECT_TRUE(uitest::pumpUntil([&] { return viewable(kid); }));
    if (way != 0) OMdestroy_obj(box, 0);
  }
}

// The dataflow of a user action: a cutter's update removes the victim's parent.
OMobj_id victim = OMnull_obj;
int ShellTestCut(OMobj_id, unsigned, int) {
  if (victim.serial)
    OMset_obj_val(OMfind_subobj(victim, OMstr_to_name("parent"), 0), OMnull_obj, 0);
  return 1;
}

TEST_F(Windows, AWorkAreaResizeWhoseDataflowRemovesTheScrolledWindow) {
  static bool loaded = false;
  if (!loaded) {
    loaded = true;
    OMregister_update_method("ShellTestCut", ShellTestCut);
    std::vector<OMtemplate_error> errors;
    ASSERT_EQ(OMload_templates("templates:\n  ShellTestCutter:\n    methods: { update: "
                               "ShellTestCut }\n    properties: { watch: real }\n",
                               "shell_test", &errors),
              1);
  }
  OMobj_id s = shell("cutHost", {{"visible", 1}, {"width", 400}, {"height", 300}});
  OMobj_id sw = make("UIscrolledWindow", "cutView", s,
                     {{"visible", 1}, {"width", 200}, {"height", 150}, {"resizeMode", 1}});
  auto* b = dynamic_cast<UIscrolledWindow*>(UIobjIdToClass(sw));
  ASSERT_NE(b, nullptr);
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(sw); }));
  uitest::pumpFor(20);
  OMobj_id cutter = make("ShellTestCutter", "cutter", OMnull_obj, {});
  OMset_obj_ref(sub(cutter, "watch"), sub(sw, "virtualWidth"), 0);
  victim = sw;
  Widget view = b->widget();
  // The work area grows (its children would do that): the new virtual width is written,
  // and its dataflow removes the view before the height is written.
  XtVaSetValues(b->clientWidget, XmNwidth, 500, XmNheight, 400, nullptr);
  EXPECT_TRUE(uitest::pumpUntil([&] { return UIisBeingDestroyed(view); }));
  victim = OMnull_obj;
  EXPECT_EQ(UIobjIdToWidget(sw), nullptr);
  uitest::pumpFor(20);
}

// A child window is a transient shell: a popup child of its parent's work area.
TEST_F(Windows, AChildShellWritesItsMovesAndResizesBack) {
  OMobj_id s = shell("mother");
  OMobj_id child = make("UIshell", "daughter", s,
                        {{"visible", 1}, {"x", 30}, {"y", 30}, {"width", 160}, {"height", 90}});
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(child); }));
  UIshell* b = bindingOf(child);
  ASSERT_NE(b, nullptr);
  ASSERT_TRUE(XtIsTransientShell(b->shellWidget));
  // The user (or the window manager) moves and resizes it.
  XMoveResizeWindow(XtDisplay(b->shellWidget), XtWindow(b->shellWidget), 70, 80, 230, 120);
  EXPECT_TRUE(uitest::pumpUntil(
      [&] { return intOf(child, "width") == 230 && intOf(child, "height") == 120; }));
  EXPECT_EQ(intOf(child, "x"), 70);
  EXPECT_EQ(intOf(child, "y"), 80);
}

// Without a window manager nothing frames a window, and the server is not asked about a
// frame: showing one takes the requests it takes with the frame detection switched off, give
// or take the few that focus changes from other clients' windows may cause (asking about a
// frame is six requests).
TEST_F(Windows, AWindowNoManagerFramesAsksNothingAboutItsFrame) {
  auto [detectionOff,
        detectionOn] = uitest::requestsWithFrameDetectionOffAndOn([&](const std::string& name) {
    make("UIshell", name.c_str(), OMnull_obj, {{"visible", 1}, {"width", 200}, {"height", 100}});
    uitest::pumpFor(300);
  });
  EXPECT_LT(detectionOn, detectionOff + 5);
  UIshell* b = bindingOf(made.back());
  ASSERT_NE(b, nullptr);
  EXPECT_TRUE(viewable(made.back()));
  EXPECT_EQ(b->offsetsKnown, 0);
}

// Without a window manager a shown window stays a child of the root, and its frame offsets
// stay unsettled. A manager that starts later and frames the window gets it measured at the
// next move: its position is then the frame's.
TEST_F(Windows, AWindowFramedAfterItWasShownHasItsFrameMeasured) {
  OMobj_id s =
      shell("framedLater", {{"visible", 1}, {"x", 40}, {"y", 50}, {"width", 200}, {"height", 100}});
  UIshell* b = bindingOf(s);
  ASSERT_NE(b, nullptr);
  Widget shellWidget = b->shellWidget;
  Display* dpy = XtDisplay(shellWidget);
  // Moves while it is unframed: the object gets the window's own position.
  XMoveWindow(dpy, XtWindow(shellWidget), 60, 70);
  ASSERT_TRUE(uitest::pumpUntil([&] { return intOf(s, "x") == 60 && intOf(s, "y") == 70; }));
  EXPECT_EQ(b->offsetsKnown, 0);
  // A manager frames it: a frame window with the client 4 pixels in and 20 down.
  Display* manager = XOpenDisplay(XDisplayString(dpy));
  ASSERT_NE(manager, nullptr);
  Window root = DefaultRootWindow(manager);
  Window frame = XCreateSimpleWindow(manager, root, 100, 110, 208, 124, 0, 0, 0);
  XAddToSaveSet(manager, XtWindow(shellWidget));  // given back to the root when it goes
  XReparentWindow(manager, XtWindow(shellWidget), frame, 4, 20);
  XMapWindow(manager, frame);
  XSync(manager, False);
  uitest::pumpFor(50);
  // The manager moves the frame and tells the client where it now is, as managers do.
  XMoveWindow(manager, frame, 120, 130);
  XEvent notice{};
  notice.xconfigure.type = ConfigureNotify;
  notice.xconfigure.event = notice.xconfigure.window = XtWindow(shellWidget);
  notice.xconfigure.x = 124;
  notice.xconfigure.y = 150;
  notice.xconfigure.width = 200;
  notice.xconfigure.height = 100;
  XSendEvent(manager, XtWindow(shellWidget), False, StructureNotifyMask, &notice);
  XSync(manager, False);
  EXPECT_TRUE(uitest::pumpUntil([&] { return b->offsetsKnown != 0; }));
  EXPECT_EQ(b->xOffset, 4);
  EXPECT_EQ(b->yOffset, 20);
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(s, "x") == 120 && intOf(s, "y") == 130; }))
      << "object at " << intOf(s, "x") << "," << intOf(s, "y");
  XCloseDisplay(manager);  // the frame goes and the window returns to the root
  ASSERT_TRUE(uitest::pumpUntil([&] {
    Window r = None, up = None, *kids = nullptr;
    unsigned n = 0;
    if (!XQueryTree(dpy, XtWindow(shellWidget), &r, &up, &kids, &n)) return false;
    if (kids) XFree(kids);
    return up == r;
  }));
  EXPECT_EQ(intOf(s, "visible"), 1);
}

TEST_F(Windows, AChildShellGoesWithItsParentAndComesBackOnItsOwn) {
  OMobj_id s = uitest::makeObject("UIshell", prefix + "parentShell", OMnull_obj,
                                  {{"visible", 1}, {"width", 300}, {"height", 200}});
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(s); }));
  OMobj_id child = make("UIshell", "orphan", s, {{"visible", 1}, {"width", 150}, {"height", 80}});
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(child); }));
  Widget oldShell = bindingOf(child)->shellWidget;
  OMdestroy_obj(s, 0);
  EXPECT_TRUE(UIisBeingDestroyed(oldShell));
  // Without a parent a shell object is a top-level window of its own.
  Widget back = UIobjIdToWidget(child);
  ASSERT_TRUE(live(back)) << "not left naming the destroyed window";
  UIshell* b = bindingOf(child);
  ASSERT_NE(b, nullptr);
  EXPECT_TRUE(XtIsTopLevelShell(b->shellWidget));
  EXPECT_TRUE(uitest::pumpUntil([&] { return viewable(child); }));
}

TEST_F(Windows, ARebuiltShellLeavesNoPaletteCallbacksBehind) {
  OMobj_id s = shell("palette");
  UIshell* b = bindingOf(s);
  auto* wt = static_cast<WText_context*>(b->displayContext.getWtDpyContext());
  ASSERT_NE(wt, nullptr);
  Widget oldShell = b->shellWidget;
  EXPECT_EQ(WTcount_ext_context_callbacks(wt, oldShell), 2);
  b->rebuildObject(b->workArea);
  ASSERT_NE(b->shellWidget, oldShell);
  EXPECT_EQ(WTcount_ext_context_callbacks(wt, oldShell), 0) << "the old shell's are removed";
  Widget newShell = b->shellWidget;
  EXPECT_EQ(WTcount_ext_context_callbacks(wt, newShell), 2);
  OMdestroy_obj(s, 0);
  made.clear();
  EXPECT_EQ(WTcount_ext_context_callbacks(wt, newShell), 0);
}

TEST_F(Windows, ADisplayChangeMovesTheShell) {
  uitest::PrivateServer second;
  ASSERT_FALSE(second.name().empty());
  OMobj_id s = shell("travel");
  OMobj_id inside = make("UIpanel", "inside", s, {{"visible", 1}, {"width", 60}, {"height", 30}});
  OMobj_id childShell =
      make("UIshell", "childWindow", s, {{"visible", 1}, {"width", 120}, {"height", 70}});
  OMobj_id grandchild =
      make("UIpanel", "inChild", childShell, {{"visible", 1}, {"width", 40}, {"height", 20}});
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(childShell); }));
  Display* before = XtDisplay(UIobjIdToWidget(s));
  OMset_str_val(sub(s, "display"), second.name().c_str());
  uitest::pumpFor(50);
  Widget w = UIobjIdToWidget(s);
  ASSERT_FALSE(UIisBeingDestroyed(w));
  Display* after = XtDisplay(w);
  EXPECT_NE(after, before);
  EXPECT_EQ(after, UIgetDisplayContext(second.name().c_str())->DisplayPtr);
  Widget moved = UIobjIdToWidget(inside);
  ASSERT_FALSE(UIisBeingDestroyed(moved));
  EXPECT_EQ(XtDisplay(moved), after) << "children follow their shell";
  Widget childWindow = UIobjIdToWidget(childShell);
  ASSERT_FALSE(UIisBeingDestroyed(childWindow)) << "child windows follow too";
  EXPECT_EQ(XtDisplay(childWindow), after);
  EXPECT_EQ(UIobjIdToWidget(grandchild) ? XtDisplay(UIobjIdToWidget(grandchild)) : nullptr, after);
  EVrun_until(
      [&] {
        XWindowAttributes attrs;
        return XtWindow(w) && XGetWindowAttributes(after, XtWindow(w), &attrs) &&
               attrs.map_state == IsViewable;
      },
      3000);
  // Leave nothing on the second server when it goes.
  OMdestroy_obj(grandchild, 0);
  OMdestroy_obj(childShell, 0);
  OMdestroy_obj(inside, 0);
  OMdestroy_obj(s, 0);
  made.clear();
  EVflush_events();
  UIgetDisplayContext(second.name().c_str())->closeDisplay();
  // The first display's dialogs keep their fonts when the second goes.
  int dialogs = UIerrorDialogCount();
  UIerrorHandler(1, OMnull_obj, "still shown");
  uitest::pumpFor(50);
  EXPECT_EQ(UIerrorDialogCount(), dialogs + 1);
}

TEST_F(Windows, APositionedShellKeepsTheToolkitsSizeHints) {
  OMobj_id s = make("UIshell", "hinted", OMnull_obj,
                    {{"visible", 0}, {"x", 40}, {"y", 50}, {"width", 220}, {"height", 110}});
  uitest::pumpFor(50);
  // Realized hidden, then shown: the position is added to the hints already on the window.
  OMset_int_val(sub(s, "visible"), 1);
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(s); }));
  Widget shellWidget = bindingOf(s)->shellWidget;
  XSizeHints hints{};
  long supplied = 0;
  ASSERT_TRUE(XGetWMNormalHints(XtDisplay(shellWidget), XtWindow(shellWidget), &hints, &supplied));
  EXPECT_TRUE(hints.flags & USPosition);
  EXPECT_EQ(hints.x, 40);
  EXPECT_EQ(hints.y, 50);
  EXPECT_TRUE(hints.flags & (USSize | PSize)) << "the size hint is kept";
  EXPECT_TRUE(hints.flags & PWinGravity) << "the gravity hint is kept";
}

TEST_F(Windows, TitlesAlsoGoToTheUtf8Names) {
  OMobj_id s = shell("titled");
  Widget shellWidget = bindingOf(s)->shellWidget;
  Display* dpy = XtDisplay(shellWidget);
  auto utf8 = [&](const char* property) {
    Atom type = None;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    std::string out;
    if (XGetWindowProperty(dpy, XtWindow(shellWidget), XInternAtom(dpy, property, False), 0, 256,
                           False, XInternAtom(dpy, "UTF8_STRING", False), &type, &format, &n,
                           &after, &data) == Success &&
        data)
      out.assign(reinterpret_cast<char*>(data), n);
    if (data) XFree(data);
    return out;
  };
  OMset_str_val(sub(s, "title"), "Grüße ☃");
  uitest::pumpFor(50);
  EXPECT_EQ(utf8("_NET_WM_NAME"), "Grüße ☃");
  OMset_str_val(sub(s, "iconName"), "Ünïcode");
  uitest::pumpFor(50);
  EXPECT_EQ(utf8("_NET_WM_ICON_NAME"), "Ünïcode");
  EXPECT_EQ(utf8("_NET_WM_NAME"), "Grüße ☃");
}

TEST_F(Windows, AShellShrunkBelowItsStatusLineHasNoNegativeClientSize) {
  OMobj_id s = make("UIshell", "tiny", OMnull_obj,
                    {{"visible", 1}, {"width", 200}, {"height", 100}, {"showStatusBar", 1}});
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(s); }));
  OMset_int_val(sub(s, "width"), 1);
  OMset_int_val(sub(s, "height"), 1);
  uitest::pumpFor(200);
  double clientWidth = -1, clientHeight = -1;
  ASSERT_EQ(OMget_real_val(sub(s, "clientWidth"), &clientWidth), 1);
  ASSERT_EQ(OMget_real_val(sub(s, "clientHeight"), &clientHeight), 1);
  EXPECT_GE(clientWidth, 0);
  EXPECT_GE(clientHeight, 0);
  EXPECT_LT(clientHeight, 100) << "it did shrink";
}

// Motif keeps a drawing context for every window it draws text in, and never lets one go: a
// closed window takes those of its controls with it, freeing their pictures while the windows
// still exist (the server would refuse them after).
TEST_F(Windows, AClosedWindowLeavesNoTextDrawingBehind) {
  // The controls inside the shell object, as an interface file makes them: the shell's
  // windows go at once, before its controls' widgets.
  OMobj_id place = uitest::instancePlace();
  OMpush_ctx(place, 0, 0, 0);
  OMobj_id s =
      make("UIshell", "texts", OMnull_obj, {{"visible", 1}, {"width", 300}, {"height", 200}});
  std::vector<OMobj_id> controls;
  int y = 0;
  for (const char* type : {"UIlabel", "UIbutton", "UItoggle", "UIfield"}) {
    OMobj_id id = OMcreate_obj_from_path(type, type, s);
    OMset_obj_ref(sub(id, "parent"), s, 0);
    OMset_int_val(sub(id, "y"), y += 35);
    OMset_int_val(sub(id, "width"), 100);
    OMset_int_val(sub(id, "height"), 30);
    OMset_int_val(sub(id, "visible"), 1);
    controls.push_back(id);
  }
  OMpop_ctx(place);
  for (OMobj_id id : controls) ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(id); }));
  uitest::pumpFor(100);  // their text drawn
  std::vector<Window> windows;
  for (OMobj_id id : controls) windows.push_back(XtWindow(UIobjIdToWidget(id)));
  made.clear();
  OMdestroy_obj(s, 0);
  uitest::pumpFor(50);
  for (Window w : windows) EXPECT_FALSE(uitest::motifKeepsTextDrawing(w)) << w;
  for (const std::string& r : uitest::reports()) ADD_FAILURE() << r;
}

TEST_F(Windows, AWindowDestroyedByAnotherClientClosesAndComesBack) {
  OMobj_id s = shell("victim");
  OMobj_id inside = make("UIpanel", "inVictim", s, {{"visible", 1}, {"width", 60}, {"height", 30}});
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(inside); }));
  UIshell* b = bindingOf(s);
  Widget shellWidget = b->shellWidget;
  Display* other = XOpenDisplay(XDisplayString(XtDisplay(shellWidget)));
  ASSERT_NE(other, nullptr);
  XDestroyWindow(other, XtWindow(shellWidget));
  XSync(other, False);
  XCloseDisplay(other);
  ASSERT_TRUE(uitest::pumpUntil([&] { return intOf(s, "visible") == 0; }));
  // Drawing and input meanwhile reach no window, and nothing is reported.
  OMset_str_val(sub(s, "title"), "still here");
  OMset_int_val(sub(inside, "width"), 70);
  uitest::pumpFor(100);
  EXPECT_EQ(bindingOf(s), b) << "the binding and its widgets are kept";
  EXPECT_FALSE(UIisBeingDestroyed(shellWidget));
  EXPECT_EQ(XtWindow(shellWidget), 0u);
  for (const std::string& r : uitest::reports()) ADD_FAILURE() << r;
  // Shown again, the shell and what is inside it have windows once more.
  OMset_int_val(sub(s, "visible"), 1);
  EXPECT_TRUE(uitest::pumpUntil([&] { return viewable(s) && viewable(inside); }));
  EXPECT_EQ(intOf(s, "visible"), 1);
  for (const std::string& r : uitest::reports()) ADD_FAILURE() << r;
}

}  // namespace

namespace {

// X keeps shell positions and sizes in 16 bits too: beyond them nothing is applied, the
// value is reported and the object keeps it.
TEST_F(Windows, ShellGeometryBeyondSixteenBitsIsReportedAndNotApplied) {
  OMobj_id s = shell("big");
  UIshell* b = bindingOf(s);
  ASSERT_NE(b, nullptr);
  Dimension width = 0;
  XtVaGetValues(b->mainWindow, XmNwidth, &width, nullptr);
  uitest::reports().clear();
  OMset_int_val(sub(s, "width"), 70000);
  ASSERT_EQ(uitest::reports().size(), 1u);
  EXPECT_EQ(uitest::reports()[0],
            "UIshell::updateObject: The width value of 70000 is invalid. Dimension values cannot "
            "be greater than 32767. No action taken.");
  Dimension now = 0;
  XtVaGetValues(b->mainWindow, XmNwidth, &now, nullptr);
  EXPECT_EQ(now, width) << "not 4464";
  EXPECT_EQ(intOf(s, "width"), 70000);
  uitest::reports().clear();
  OMobj_id far = shell("far", {{"visible", 1}, {"x", 40000}, {"y", 10}});
  ASSERT_FALSE(uitest::reports().empty());
  EXPECT_EQ(uitest::reports()[0],
            "UIshell::instanceObject: The x value of 40000 is invalid. Position values must lie "
            "between -32768 and 32767. No action taken.");
  EXPECT_EQ(bindingOf(far)->geometryText.find("40000"), std::string::npos)
      << "X would take it as -25536: " << bindingOf(far)->geometryText;
  EXPECT_EQ(intOf(far, "x"), 40000);
}

// A virtual size too large for X is not used (70000 would make a work area 4464 wide).
TEST_F(Windows, AVirtualSizeBeyondSixteenBitsIsNotUsed) {
  OMobj_id s = shell("virtual", {{"visible", 1}, {"width", 400}, {"height", 300}});
  OMobj_id sw =
      make("UIscrolledWindow", "swv", s,
           {{"visible", 1}, {"width", 200}, {"height", 150}, {"scrollBars", 0}, {"resizeMode", 0}});
  auto* b = dynamic_cast<UIscrolledWindow*>(UIobjIdToClass(sw));
  ASSERT_NE(b, nullptr);
  OMset_real_val(sub(sw, "virtualWidth"), 70000);
  OMset_real_val(sub(sw, "virtualHeight"), 1e300);
  EXPECT_EQ(b->virtualWidth, 200) << "the window's own width stands in";
  EXPECT_EQ(b->virtualHeight, 150);
  double v = 0;
  ASSERT_EQ(OMget_real_val(sub(sw, "virtualHeight"), &v), 1);
  EXPECT_EQ(v, 1e300) << "the object keeps what it was given";
}

}  // namespace
