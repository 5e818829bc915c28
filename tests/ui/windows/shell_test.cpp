// Top-level windows and containers on the shared server (no window manager).
#include <gtest/gtest.h>

#include <X11/Shell.h>
#include <Xm/Frame.h>
#include <Xm/Label.h>
#include <Xm/ScrolledW.h>
#include <Xm/Xm.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "svc/ev.h"
#include "ui/dpyMgr.h"
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

TEST_F(Windows, ADisplayChangeMovesTheShell) {
  uitest::PrivateServer second;
  ASSERT_FALSE(second.name().empty());
  OMobj_id s = shell("travel");
  OMobj_id inside = make("UIpanel", "inside", s, {{"visible", 1}, {"width", 60}, {"height", 30}});
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
  EVrun_until(
      [&] {
        XWindowAttributes attrs;
        return XtWindow(w) && XGetWindowAttributes(after, XtWindow(w), &attrs) &&
               attrs.map_state == IsViewable;
      },
      3000);
  // Leave nothing on the second server when it goes.
  OMdestroy_obj(inside, 0);
  OMdestroy_obj(s, 0);
  made.clear();
  EVflush_events();
  UIgetDisplayContext(second.name().c_str())->closeDisplay();
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
