// Faults from the X server survived: a second display whose server dies takes its windows with
// it and the program goes on with the first; losing the first display ends the program with a
// message and status 1; requests on stale handles are reported and survived.
#include <gtest/gtest.h>

#include <X11/StringDefs.h>
#include <X11/Xlib.h>
#include <signal.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "om/om.h"
#include "svc/ev.h"
#include "ui/dpyMgr.h"
#include "ui/errorHandler.h"
#include "ui/misc.h"
#include "ui_test.h"
#include "x11_test.h"

namespace {

using uitest::makeObject;

std::vector<std::string>& displayErrors() {
  static std::vector<std::string> e;
  return e;
}
void recordDisplayError(const char* text) {
  displayErrors().push_back(text);
}

bool viewable(OMobj_id id) {
  Widget w = UIobjIdToWidget(id);
  XWindowAttributes attrs;
  return !UIisBeingDestroyed(w) && XtWindow(w) &&
         XGetWindowAttributes(XtDisplay(w), XtWindow(w), &attrs) && attrs.map_state == IsViewable;
}

OMobj_id sub(OMobj_id id, const char* name) {
  return OMfind_str_subobj(id, name, 0);
}

TEST(DisplayLoss, ASecondDisplayLostClosesItsWindowsAndTheProgramGoesOn) {
  uitest::startLibrary("displayLoss_test");
  UIdisplayErrorHook = recordDisplayError;
  uitest::PrivateServer second;
  ASSERT_FALSE(second.name().empty());
  OMobj_id near = makeObject("UIshell", "near", OMnull_obj, {{"visible", 1}, {"width", 150}});
  OMobj_id far = makeObject("UIshell", "far", OMnull_obj, {{"width", 120}, {"height", 80}});
  OMset_str_val(sub(far, "display"), second.name().c_str());
  OMset_int_val(sub(far, "visible"), 1);
  OMobj_id label = makeObject("UIlabel", "farLabel", far, {{"x", 4}, {"y", 4}});
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(far) && viewable(near); }, 5000));
  Display* farDisplay = XtDisplay(UIobjIdToWidget(far));
  ASSERT_NE(farDisplay, XtDisplay(UIobjIdToWidget(near)));

  second.signal(SIGKILL);
  // The loss is noticed when the connection is next read; after that turn of the library's
  // loop its windows go.
  EXPECT_TRUE(EVrun_until([&] { return UIisBeingDestroyed(UIobjIdToWidget(far)); }, 5000));
  EXPECT_TRUE(UIisBeingDestroyed(UIobjIdToWidget(label)));
  EXPECT_EQ(UIgetDisplayContext(farDisplay)->DisplayPtr, nullptr);
  ASSERT_EQ(displayErrors().size(), 1u);
  EXPECT_NE(displayErrors()[0].find("Lost the connection to display " + second.name()),
            std::string::npos)
      << displayErrors()[0];

  // The first display goes on: its window still takes changes, and the lost one's objects
  // may still be written and destroyed.
  OMset_int_val(sub(near, "width"), 222);
  EXPECT_TRUE(EVrun_until(
      [&] {
        Dimension w = 0;
        XtVaGetValues(UIobjIdToWidget(near), XtNwidth, &w, nullptr);
        return w == 222;
      },
      3000));
  OMset_str_val(sub(label, "label"), "nobody sees this");
  OMset_int_val(sub(far, "width"), 99);
  EVrun_until([] { return false; }, 50);
  OMdestroy_obj(far, 0);
  OMdestroy_obj(near, 0);
  EVrun_until([] { return false; }, 50);
  OMobj_id after = makeObject("UIshell", "after", OMnull_obj, {{"visible", 1}});
  EXPECT_TRUE(EVrun_until([&] { return viewable(after); }, 3000));
  OMdestroy_obj(after, 0);
}

// The child starts the library on a server of its own and loses it.
void loseTheOnlyDisplay() {
  uitest::PrivateServer own;
  if (own.name().empty()) _exit(3);
  uitest::startLibrary("displayLoss_test", nullptr, own.name());
  makeObject("UIshell", "alone", OMnull_obj, {{"visible", 1}});
  uitest::pumpFor(200);
  own.signal(SIGKILL);
  uitest::pumpFor(5000);
  _exit(7);  // still running: the loss went unnoticed
}

// Death tests run first (before anything starts the library in this process).
TEST(DisplayLossDeathTest, LosingTheFirstDisplayEndsTheProgramWithAMessage) {
  GTEST_FLAG_SET(death_test_style, "fast");
  EXPECT_EXIT(loseTheOnlyDisplay(), ::testing::ExitedWithCode(1),
              "displayLoss_test: lost the connection to the X display :[0-9]+(\\.0)?; the "
              "program ends");
}

TEST(ProtocolErrors, StaleHandlesAreReportedAndSurvived) {
  uitest::startLibrary("displayLoss_test");
  OMobj_id gone = makeObject("UIshell", "gone", OMnull_obj, {{"visible", 1}});
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(gone); }));
  Widget w = UIobjIdToWidget(gone);
  Display* dpy = XtDisplay(w);
  Window window = XtWindow(w);
  Pixmap pixmap = XCreatePixmap(dpy, window, 8, 8, DefaultDepth(dpy, DefaultScreen(dpy)));
  XFreePixmap(dpy, pixmap);
  OMdestroy_obj(gone, 0);
  uitest::pumpFor(50);
  int pending = UIpendingXErrors();
  int dialogs = UIerrorDialogCount();

  // Each error is recorded in the handler and shown once the loop runs.
  XMapWindow(dpy, window);  // destroyed with its widget
  XSync(dpy, False);
  EXPECT_EQ(UIpendingXErrors(), pending + 1) << "a bad window";
  XCopyArea(dpy, pixmap, DefaultRootWindow(dpy), DefaultGC(dpy, DefaultScreen(dpy)), 0, 0, 8, 8, 0,
            0);  // freed above
  XSync(dpy, False);
  EXPECT_EQ(UIpendingXErrors(), pending + 2) << "a bad drawable";
  char* name = XGetAtomName(dpy, 0x3fffffff);  // never interned
  EXPECT_EQ(name, nullptr);
  EXPECT_EQ(UIpendingXErrors(), pending + 3) << "a bad atom";
  EXPECT_TRUE(uitest::pumpUntil([&] { return UIerrorDialogCount() == dialogs + 3; }));
  EXPECT_EQ(UIpendingXErrors(), 0);

  // The connection and the library go on.
  OMobj_id next = makeObject("UIshell", "next", OMnull_obj, {{"visible", 1}});
  EXPECT_TRUE(uitest::pumpUntil([&] { return viewable(next); }));
  OMdestroy_obj(next, 0);
}

}  // namespace
