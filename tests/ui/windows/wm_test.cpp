// Window-manager frames: the Motif window manager on a server of the test's own (so no other
// test sees it), detection, measured offsets, the offset message, and detection switched off.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "svc/ev.h"
#include "ui/misc.h"
#include "ui/shell.h"
#include "ui_test.h"
#include "x11_test.h"

namespace {

using uitest::intOf;

// One server with mwm for the whole binary.
struct WmServer {
  uitest::PrivateServer server;
  pid_t wm = -1;
  WmServer() {
    if (server.name().empty()) return;
    // The window manager's own connection may be turned away by a busy server: it is started
    // again until it has announced itself.
    for (int attempt = 0; attempt < 5; ++attempt) {
      startWm();
      if (announced()) return;
      stopWm();
    }
  }
  bool announced() {
    Display* d = nullptr;
    for (int i = 0; i < 40 && !d; ++i) {
      d = XOpenDisplay(server.name().c_str());
      if (!d) usleep(50000);
    }
    if (!d) return false;
    Atom info = XInternAtom(d, "_MOTIF_WM_INFO", False);
    bool found = false;
    for (int i = 0; i < 60 && !found; ++i) {
      Atom type;
      int format;
      unsigned long n, after;
      unsigned char* data = nullptr;
      found = XGetWindowProperty(d, DefaultRootWindow(d), info, 0, 1, False, AnyPropertyType, &type,
                                 &format, &n, &after, &data) == Success &&
              type != None;
      if (data) XFree(data);
      if (!found) usleep(50000);
    }
    XCloseDisplay(d);
    return found;
  }
  void stopWm() {
    if (wm <= 0) return;
    kill(wm, SIGKILL);  // mwm may wait for its clients on TERM
    int status;
    waitpid(wm, &status, 0);
    wm = -1;
  }
  void startWm() {
    wm = fork();
    if (wm == 0) {
      // Its own output stays off the test's: CTest waits for every holder of that pipe.
      int devnull = open("/dev/null", O_RDWR);
      dup2(devnull, 0);
      dup2(devnull, 1);
      dup2(devnull, 2);
      setenv("DISPLAY", server.name().c_str(), 1);
      execlp("mwm", "mwm", static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~WmServer() { stopWm(); }
};

// Stopped at exit, so neither server nor window manager outlives the test.
WmServer& wmServer() {
  static WmServer s;
  return s;
}

class WindowManager : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(wmServer().server.name().empty());
    unsetenv("CQ_WIN_PLACEMENT");
    uitest::startLibrary("wm_test", nullptr, wmServer().server.name());
    // Wait until the window manager has announced itself.
    ASSERT_TRUE(
        uitest::pumpUntil([] { return UIshell::findWMType(DefaultHiddenShell) == 1; }, 10000));
    static int n = 0;
    prefix = "m" + std::to_string(++n) + "_";
  }
  void TearDown() override {
    for (OMobj_id id : made) OMdestroy_obj(id, 0);
    uitest::pumpFor(20);
  }
  OMobj_id shell(const char* name, std::vector<std::pair<const char*, int>> ints) {
    OMobj_id id = uitest::makeObject("UIshell", prefix + name, OMnull_obj, ints);
    made.push_back(id);
    return id;
  }
  UIshell* bindingOf(OMobj_id id) { return dynamic_cast<UIshell*>(UIobjIdToClass(id)); }
  std::string prefix;
  std::vector<OMobj_id> made;
};

TEST_F(WindowManager, TheMotifWindowManagerIsDetectedAndItsFrameMeasured) {
  OMobj_id s =
      shell("framed", {{"visible", 1}, {"x", 100}, {"y", 120}, {"width", 200}, {"height", 100}});
  UIshell* b = bindingOf(s);
  ASSERT_NE(b, nullptr);
  ASSERT_TRUE(uitest::pumpUntil([&] { return b->offsetsKnown != 0; }, 10000));
  EXPECT_EQ(b->wmKind, 1);
  EXPECT_EQ(b->positionIsFrame, 1);
  EXPECT_GT(b->xOffset + b->yOffset, 0) << "mwm puts a frame around the window";
  // The object keeps the position of the frame's corner, not of the client window.
  uitest::pumpFor(300);
  EXPECT_EQ(intOf(s, "x"), 100);
  EXPECT_EQ(intOf(s, "y"), 120);
}

TEST_F(WindowManager, PlacementSetToOtherTextGivesZeroOffsets) {
  setenv("CQ_WIN_PLACEMENT", "manual", 1);
  OMobj_id s = shell("manual", {{"visible", 1}, {"width", 150}, {"height", 80}});
  UIshell* b = bindingOf(s);
  ASSERT_TRUE(uitest::pumpUntil([&] { return b->offsetsKnown != 0; }, 5000));
  EXPECT_EQ(b->wmKind, 0);
  EXPECT_EQ(b->xOffset, 0);
  EXPECT_EQ(b->yOffset, 0);
  EXPECT_EQ(b->positionIsFrame, 0);
  unsetenv("CQ_WIN_PLACEMENT");
}

TEST_F(WindowManager, TheOffsetMessageSettlesTheRecordFirst) {
  OMobj_id s = shell("told", {{"visible", 0}, {"width", 150}, {"height", 80}});
  UIshell* b = bindingOf(s);
  ASSERT_NE(b, nullptr);
  uitest::pumpFor(50);
  ASSERT_FALSE(b->offsetsKnown);
  Display* dpy = XtDisplay(b->shellWidget);
  XtRealizeWidget(b->shellWidget);
  XClientMessageEvent e{};
  e.type = ClientMessage;
  e.window = XtWindow(b->shellWidget);
  e.message_type = XInternAtom(dpy, "_MOTIF_WM_MESSAGES", False);
  e.format = 32;
  e.data.l[0] = static_cast<long>(XInternAtom(dpy, "_MOTIF_WM_OFFSET", False));
  e.data.l[1] = 7;
  e.data.l[2] = 9;
  // Not sent by another client: ignored.
  XClientMessageEvent local = e;
  local.send_event = False;
  UIshellClientMessage(b->shellWidget, b, &local);
  EXPECT_FALSE(b->offsetsKnown);
  XClientMessageEvent other = e;
  other.data.l[0] = static_cast<long>(XA_ATOM);
  other.send_event = True;
  UIshellClientMessage(b->shellWidget, b, &other);
  EXPECT_FALSE(b->offsetsKnown) << "another first word";
  XSendEvent(dpy, e.window, False, NoEventMask, reinterpret_cast<XEvent*>(&e));
  ASSERT_TRUE(uitest::pumpUntil([&] { return b->offsetsKnown != 0; }));
  EXPECT_EQ(b->xOffset, 7);
  EXPECT_EQ(b->yOffset, 9);
  EXPECT_EQ(b->wmKind, 1);
  OMset_int_val(OMfind_subobj(s, OMstr_to_name("visible"), 0), 1);
  uitest::pumpFor(300);
  EXPECT_EQ(b->xOffset, 7) << "later detection does not run";
}

}  // namespace
