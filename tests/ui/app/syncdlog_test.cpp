// Blocking dialogs, answered by a second connection with real input (XTest) while the call
// waits: indices and labels, the default button, other windows' input held back, the window
// manager's close, calls inside a context, long messages, translations with '%', and the
// handlers' installation.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <X11/Xatom.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <Xm/MessageB.h>
#include <Xm/Xm.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "om/om_scope.h"
#include "svc/err.h"
#include "svc/translate.h"
#include "ui/dpyMgr.h"
#include "ui/errorHandler.h"
#include "ui/init.h"
#include "ui/misc.h"
#include "ui/wind.h"
#include "ui_test.h"
#include "x11_test.h"

namespace {

using uitest::xmText;

// What the test sees of a dialog while it waits (filled on the waiting thread by the hook).
struct Seen {
  Widget box = nullptr;
  Window shellWindow = 0;
  std::vector<std::string> labels;
  std::vector<XPoint> centres;  // root coordinates of the buttons
  std::string message;
  std::string title;
  Widget defaultButton = nullptr;
  int defaultIndex = -1;
};
Seen seen;
std::atomic<bool> up{false};

// The buttons the blocking dialog made: the box's children that are bindings' widgets.
void onWait(Widget box) {
  seen = Seen();
  seen.box = box;
  seen.shellWindow = XtWindow(XtParent(box));
  seen.message = xmText(box, XmNmessageString);
  seen.title = xmText(box, XmNdialogTitle);
  XtVaGetValues(box, XmNdefaultButton, &seen.defaultButton, nullptr);
  WidgetList children = nullptr;
  Cardinal n = 0;
  XtVaGetValues(box, XmNchildren, &children, XmNnumChildren, &n, nullptr);
  for (Cardinal i = 0; i < n; ++i) {
    if (!UIwidgetToClass(children[i]) || !XtIsManaged(children[i])) continue;
    if (children[i] == seen.defaultButton) seen.defaultIndex = static_cast<int>(seen.labels.size());
    seen.labels.push_back(xmText(children[i], XmNlabelString));
    Dimension w = 0, h = 0;
    XtVaGetValues(children[i], XmNwidth, &w, XmNheight, &h, nullptr);
    int rx = 0, ry = 0;
    Window child;
    XTranslateCoordinates(XtDisplay(box), XtWindow(children[i]), DefaultRootWindow(XtDisplay(box)),
                          w / 2, h / 2, &rx, &ry, &child);
    seen.centres.push_back({static_cast<short>(rx), static_cast<short>(ry)});
  }
  up = true;
}

// A user at a second connection: waits for the dialog, then acts.
class User {
 public:
  explicit User(std::function<void(Display*)> act) {
    up = false;
    thread_ = std::thread([act] {
      Display* d = XOpenDisplay(uitest::displayName().c_str());
      if (!d) return;
      for (int i = 0; i < 500 && !up; ++i) usleep(10000);
      usleep(100000);  // let the dialog settle on the screen
      if (up) act(d);
      XCloseDisplay(d);
    });
  }
  ~User() { thread_.join(); }

  static void click(Display* d, XPoint at) {
    XTestFakeMotionEvent(d, DefaultScreen(d), at.x, at.y, CurrentTime);
    XSync(d, False);
    usleep(30000);
    XTestFakeButtonEvent(d, 1, True, CurrentTime);
    XSync(d, False);
    usleep(30000);
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
    XSync(d, False);
  }
  static void key(Display* d, KeySym sym) {
    KeyCode code = XKeysymToKeycode(d, sym);
    XTestFakeKeyEvent(d, code, True, CurrentTime);
    XTestFakeKeyEvent(d, code, False, CurrentTime);
    XSync(d, False);
  }
  static void closeFromWindowManager(Display* d) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = seen.shellWindow;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, seen.shellWindow, False, NoEventMask, &e);
    XSync(d, False);
  }

 private:
  std::thread thread_;
};

bool leftovers() {
  OMobj_id place = uitest::instancePlace();
  int n = 0;
  OMget_num_subobjs(place, &n);
  for (int i = 0; i < n; ++i) {
    OMobj_id child;
    if (OMget_array_subobj(place, i, &child, 0) != 1) continue;
    OMobj_name name = 0;
    OMget_obj_name(child, &name);
    if (std::string(OMname_to_str(name)).rfind("msg_dialog_macro", 0) == 0) return true;
  }
  return false;
}

class SyncDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    uitest::startLibrary("syncdlog_test");
    uitest::reports().clear();
    UIsyncDialogWaitHook = onWait;
  }
  void TearDown() override {
    UIsyncDialogWaitHook = nullptr;
    EXPECT_FALSE(leftovers()) << "the dialog's objects are destroyed before the call returns";
    uitest::pumpFor(20);
  }
};

TEST_F(SyncDialog, ButtonsGiveTheirIndicesAndLabelsAreTrimmed) {
  int result = -5;
  {
    User user([](Display* d) { User::click(d, seen.centres.at(1)); });
    result = UIsync_dialog("  Yes !\tNo  ", '!', "Question", "Proceed with %d items?", 3);
  }
  EXPECT_EQ(result, 1);
  EXPECT_EQ(seen.labels, (std::vector<std::string>{"Yes", "No"}));
  EXPECT_EQ(seen.message, "Proceed with 3 items?");
  EXPECT_EQ(seen.title, "Question");
  {
    User user([](Display* d) { User::click(d, seen.centres.at(0)); });
    result = UIsync_dialog("A!B!C", '!', nullptr, nullptr);
  }
  EXPECT_EQ(result, 0);
  EXPECT_EQ(seen.labels.size(), 3u);
  EXPECT_EQ(seen.message, "");
  EXPECT_EQ(seen.title, "");
}

TEST_F(SyncDialog, OKIsTheDefaultAndReturnPressesIt) {
  int result = -5;
  {
    User user([](Display* d) {
      // The pointer rests in the dialog (the keyboard follows it without a window manager).
      XPoint inside = seen.centres.at(1);
      XTestFakeMotionEvent(d, DefaultScreen(d), inside.x, inside.y - 30, CurrentTime);
      XSync(d, False);
      usleep(50000);
      User::key(d, XK_Return);
    });
    result = UIsync_dialog("Cancel!OK", '!', "t", "Return presses the default");
  }
  EXPECT_EQ(seen.defaultIndex, 1);
  EXPECT_EQ(result, 1);
  {
    User user([](Display* d) { User::click(d, seen.centres.at(0)); });
    result = UIsync_dialog("Okay!No", '!', "t", "no default");
  }
  EXPECT_EQ(seen.defaultIndex, -1) << "only ok, OK and Ok are the default";
  EXPECT_EQ(result, 0);
  {
    User user([](Display* d) { User::click(d, seen.centres.at(0)); });
    result = UIsync_dialog(nullptr, '!', "t", "the translation of UI_OK");
  }
  EXPECT_EQ(seen.labels, (std::vector<std::string>{TMget_translation("UI_OK", 0)}));
  EXPECT_EQ(result, 0);
}

TEST_F(SyncDialog, OtherWindowsInputWaitsUntilTheAnswer) {
  OMobj_id shell =
      uitest::makeObject("UIshell", "behind", OMnull_obj,
                         {{"visible", 1}, {"x", 600}, {"y", 450}, {"width", 300}, {"height", 200}});
  OMobj_id button = uitest::makeObject("UIbutton", "other", shell,
                                       {{"x", 20}, {"y", 20}, {"width", 120}, {"height", 40}});
  ASSERT_TRUE(uitest::pumpUntil([&] {
    Widget w = UIobjIdToWidget(button);
    XWindowAttributes a;
    return w && XtWindow(w) && XGetWindowAttributes(XtDisplay(w), XtWindow(w), &a) &&
           a.map_state == IsViewable;
  }));
  Widget other = UIobjIdToWidget(button);
  int rx = 0, ry = 0;
  Window child;
  XTranslateCoordinates(XtDisplay(other), XtWindow(other), DefaultRootWindow(XtDisplay(other)), 60,
                        20, &rx, &ry, &child);
  XPoint otherCentre{static_cast<short>(rx), static_cast<short>(ry)};
  int doDuring = -1;
  int result = -5;
  {
    User user([otherCentre](Display* d) {
      User::click(d, otherCentre);
      usleep(100000);
      User::click(d, seen.centres.at(0));
    });
    result = UIsync_dialog("Yes!No", '!', "t", "the other button waits");
    doDuring = uitest::intOf(button, "do", 0);
  }
  EXPECT_EQ(result, 0);
  EXPECT_EQ(doDuring, 0) << "no other window's input reached the objects meanwhile";
  EXPECT_TRUE(uitest::pumpUntil([&] { return uitest::intOf(button, "do", 0) == 1; }))
      << "the held press is dispatched once the dialog has returned";

  OMdestroy_obj(shell, 0);
  uitest::pumpFor(20);
}

TEST_F(SyncDialog, TheWindowManagersCloseReturnsMinusOne) {
  int result = -5;
  {
    User user([](Display* d) { User::closeFromWindowManager(d); });
    result = UIsync_dialog("Yes!No", '!', "t", "closed unanswered");
  }
  EXPECT_EQ(result, -1);
  {
    User user([](Display* d) { User::closeFromWindowManager(d); });
    result = UIsync_yesno_dialog("t", "closed means %s", "no");
  }
  EXPECT_EQ(result, 0);
  EXPECT_EQ(seen.message, "closed means no");
}

TEST_F(SyncDialog, ACallInsideAnOpenContextStillShowsTheDialog) {
  int result = -5;
  {
    User user([](Display* d) { User::click(d, seen.centres.at(0)); });
    OMcontext outer(OMroot_obj, OM_CTX_USER, OM_CTX_PLAIN);
    result = UIsync_yesno_dialog("t", "inside a context");
  }
  EXPECT_EQ(result, 1);
  EXPECT_TRUE(uitest::reports().empty()) << uitest::reports()[0];
}

TEST_F(SyncDialog, LongMessagesAndLabelsWithoutLettersAreServed) {
  std::string longText(2000, 'm');
  int result = -5;
  {
    User user([](Display* d) { User::click(d, seen.centres.at(1)); });
    // Translated labels with no ASCII letter: the object names must still be made.
    result = UIsync_dialog("\xd0\x94\xd0\xb0!\xd0\x9d\xd0\xb5\xd1\x82!!", '!', "t", "%s",
                           longText.c_str());
  }
  EXPECT_EQ(result, 1);
  // "!!" at the end gives two empty labels: their objects get names of their own.
  ASSERT_EQ(seen.labels.size(), 4u);
  EXPECT_EQ(seen.labels[0], "\xd0\x94\xd0\xb0");
  EXPECT_EQ(seen.labels[3], "");
  // Formatted into at most 1023 characters, wrapped so that the buttons stay on the screen.
  std::string shown = seen.message;
  shown.erase(std::remove(shown.begin(), shown.end(), '\n'), shown.end());
  EXPECT_EQ(shown, std::string(1023, 'm'));
  EXPECT_NE(seen.message.find('\n'), std::string::npos);
}

TEST_F(SyncDialog, OutOfMemoryKeepsAPercentOfItsTranslation) {
  char path[] = "/tmp/syncdlog_tr_XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  std::string lines =
      "ERR_OUT_OF_MEMORY_MSG=Memory is 100% used.\n"
      "ERR_OUT_OF_MEMORY_EXIT=Quit\nERR_OUT_OF_MEMORY_RETRY=Try again\n";
  ASSERT_EQ(write(fd, lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
  close(fd);
  ASSERT_EQ(TMload_translations(path), 3);
  unlink(path);
  int result = -5;
  {
    User user([](Display* d) {
      // Closing asks again; the second dialog is answered with "Try again".
      User::closeFromWindowManager(d);
      up = false;
      for (int i = 0; i < 500 && !up; ++i) usleep(10000);
      usleep(100000);
      User::click(d, seen.centres.at(1));
    });
    result = UIsync_outofmem_dialog("Needed %d bytes.", 4096);
  }
  EXPECT_EQ(result, 1);
  EXPECT_EQ(seen.message, "Needed 4096 bytes.\n\nMemory is 100% used.");
  EXPECT_EQ(seen.labels, (std::vector<std::string>{"Quit", "Try again"}));
}

TEST_F(SyncDialog, NoDialogWaitLeavesTheHandlersUninstalled) {
  ERRset_yesno_dialog_handler(nullptr);
  ERRset_outofmem_dialog_handler(nullptr);
  std::string name = "syncdlog_test", flag = "-no_dialog_wait";
  char* argv[] = {name.data(), flag.data(), nullptr};
  int argc = 2;
  UIglobal_init(&argc, argv);
  EXPECT_EQ(argc, 1);
  EXPECT_EQ(ERRget_yesno_dialog_handler(), nullptr);
  EXPECT_EQ(ERRget_outofmem_dialog_handler(), nullptr);
  char* plain[] = {name.data(), nullptr};
  argc = 1;
  UIglobal_init(&argc, plain);
  EXPECT_EQ(ERRget_yesno_dialog_handler(), &UIsync_yesno_dialog);
  EXPECT_EQ(ERRget_outofmem_dialog_handler(), &UIsync_outofmem_dialog);
}

// A dialog that cannot be made (its display cannot be opened) is reported with its message
// and answered at once: -1 from the plain call, "no" from the question, "exit" from the out of
// memory one; nothing is left behind and nothing waits for an answer.
TEST_F(SyncDialog, ADialogThatCannotBeMadeIsReportedAndAnsweredAtOnce) {
  UIsyncDialogWaitHook = nullptr;
  const char* was = std::getenv("DISPLAY");
  std::string saved = was ? was : "";
  // The library's own display is open already: only the dialog's is missing.
  ASSERT_NE(UIgetDisplayContext(saved.c_str())->DisplayPtr, nullptr);
  setenv("DISPLAY", ":9999", 1);
  int plain = UIsync_dialog("OK!Cancel", '!', "Question", "Unseen %d", 7);
  int yesno = UIsync_yesno_dialog("Question", "Unseen too");
  int outOfMemory = UIsync_outofmem_dialog("No room");
  if (was)
    setenv("DISPLAY", saved.c_str(), 1);
  else
    unsetenv("DISPLAY");
  EXPECT_EQ(plain, -1);
  EXPECT_EQ(yesno, 0);
  EXPECT_EQ(outOfMemory, 0);
  int failures = 0;
  bool messageKept = false;
  for (const std::string& r : uitest::reports()) {
    if (r.find("couldn't create msg dialog") != std::string::npos) ++failures;
    if (r.find("Unseen 7") != std::string::npos) messageKept = true;
  }
  EXPECT_EQ(failures, 3);
  EXPECT_TRUE(messageKept);
  EXPECT_FALSE(leftovers());
}

}  // namespace
