// Start-up and displays on real servers: the command line, the application name and class,
// the resource folder, the hidden shell, the global data object, the display table, a second
// server, unreachable displays, displays registered from outside, and the event loop.
#include <gtest/gtest.h>

#include <X11/Shell.h>
#include <Xm/Label.h>
#include <Xm/RowColumn.h>
#include <Xm/Text.h>
#include <Xm/Xm.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "om/om.h"
#include "svc/err.h"
#include "svc/ev.h"
#include "svc/wt.h"
#include "ui/dpyMgr.h"
#include "ui/errorHandler.h"
#include "ui/init.h"
#include "x11_test.h"

namespace {

std::vector<std::string>& reports() {
  static std::vector<std::string> r;
  return r;
}
void record(const char* reporter, int, int, const char* text) {
  reports().push_back(std::string(reporter) + ": " + text);
}

std::vector<std::string>& displayErrors() {
  static std::vector<std::string> e;
  return e;
}
void recordDisplayError(const char* text) {
  displayErrors().push_back(text);
}

// Starts the library once per process, as the environment does, on the shared test server.
void startOnce() {
  static bool started = false;
  if (started) return;
  started = true;
  setenv("DISPLAY", uitest::fixtureDisplayName().c_str(), 1);
  uitest::waitForServer(uitest::fixtureDisplayName());
  unsetenv("XAPPLRESDIR");
  unsetenv("CQ_XAPPCLASS");
  unsetenv("CQ_DATA_PATH");
  unsetenv("KLT_PATH");
  setenv("CQ_XAPPNAME", "", 1);
  ERRset_reporter(record);
  UIdisplayErrorHook = recordDisplayError;
  UIinit();
  static char a0[] = "/usr/bin/tool", a1[] = "-no_dialog_wait", a2[] = "keep", a3[] = "-geometry",
              a4[] = "10x10", a5[] = "no_dialog_wait", a6[] = "-no_dialog_wait";
  static char* argv[] = {a0, a1, a2, a3, a4, a5, a6, nullptr};
  static int argc = 7;
  UIglobal_init(&argc, argv);
  for (const std::string& r : reports()) ADD_FAILURE() << "start-up reported: " << r;
  // What the caller got back, kept for the test that looks at it.
  static std::vector<std::string> left(argv, argv + argc);
  ASSERT_EQ(argv[argc], nullptr);
  setenv("UI_TEST_ARGS_LEFT", std::to_string(argc).c_str(), 1);
}

class Startup : public ::testing::Test {
 protected:
  void SetUp() override {
    startOnce();
    reports().clear();
    displayErrors().clear();
  }
  std::string display = uitest::fixtureDisplayName();
};

TEST_F(Startup, CommandLineNameAndClass) {
  EXPECT_TRUE(UInoDialogWait);
  // Both "-no_dialog_wait" went, the one without '-' stayed, and Xt took "-geometry 10x10".
  EXPECT_STREQ(std::getenv("UI_TEST_ARGS_LEFT"), "3");
  ASSERT_EQ(GlobalArgs::argcount, 5);
  EXPECT_STREQ(GlobalArgs::argvalues[1], "keep");
  EXPECT_STREQ(GlobalArgs::argvalues[3], "10x10");
  EXPECT_STREQ(UIappName, "tool") << "an empty CQ_XAPPNAME counts as unset";
  EXPECT_STREQ(UIappClass, "Corvane");
  String name, cls;
  XtGetApplicationNameAndClass(UIgetDisplayContext(display.c_str())->DisplayPtr, &name, &cls);
  EXPECT_STREQ(name, "tool");
  EXPECT_STREQ(cls, "Corvane");
}

TEST_F(Startup, ResourceFolderIsTheProjectsAndItsDefaultsApply) {
  const char* dir = std::getenv("XAPPLRESDIR");
  ASSERT_NE(dir, nullptr);
  EXPECT_EQ(std::string(dir), std::string(UI_PROJECT_ROOT) + "/runtime/nls");
  // A resource of the shipped app-defaults file reaches a widget of the application.
  Widget text = XmCreateText(UIgetDisplayContext(display.c_str())->_managerShell,
                             const_cast<char*>("t"), nullptr, 0);
  int rate = -1;
  XtVaGetValues(text, XmNblinkRate, &rate, nullptr);
  EXPECT_EQ(rate, 0);
  XtDestroyWidget(text);
  EXPECT_EQ(std::string(OMget_path(5)), std::string(UI_PROJECT_ROOT) + "/runtime")
      << "data files: $CQ_DATA_PATH (unset here), then the runtime folder";
  setenv("XAPPLRESDIR", "/elsewhere", 1);
  UIsetResourcePath();
  EXPECT_STREQ(std::getenv("XAPPLRESDIR"), "/elsewhere") << "a set folder is left alone";
}

TEST_F(Startup, HiddenShellAndItsContainer) {
  UIdpyContext* ctx = UIgetDisplayContext(display.c_str());
  ASSERT_NE(ctx->DisplayPtr, nullptr);
  ASSERT_NE(DefaultHiddenShell, nullptr);
  EXPECT_EQ(DefaultHiddenShell, ctx->_hiddenShell);
  EXPECT_STREQ(XtName(ctx->_hiddenShell), "HiddenShell");
  EXPECT_STREQ(XtName(ctx->_managerShell), "HiddenManagerShell");
  EXPECT_TRUE(XtIsRealized(ctx->_hiddenShell));
  XWindowAttributes attrs;
  XGetWindowAttributes(ctx->DisplayPtr, XtWindow(ctx->_hiddenShell), &attrs);
  EXPECT_EQ(attrs.map_state, IsUnmapped);
  unsigned char packing = 0;
  XtVaGetValues(ctx->_managerShell, XmNpacking, &packing, nullptr);
  EXPECT_EQ(packing, XmPACK_NONE);
  Position x = 0, y = 0;
  XtVaGetValues(ctx->_hiddenShell, XmNx, &x, XmNy, &y, nullptr);
  EXPECT_EQ(x, (1280 - 200) / 2);
  EXPECT_EQ(y, (1024 - 300) / 2);
  EXPECT_EQ(ctx->_width, 1280);
  EXPECT_EQ(ctx->_height, 1024);
}

TEST_F(Startup, GlobalDataIsAttachedOnce) {
  OMobj_id data = OMfind_subobj(OMroot_obj, OMstr_to_name("UIdata"), 0);
  ASSERT_TRUE(data.serial);
  OMobj_id display0 = OMfind_str_subobj(data, "UIdisplays[0]", 0);
  int width = 0, lineHeight = 0;
  EXPECT_EQ(OMget_int_val(OMfind_str_subobj(display0, "width", 0), &width), 1);
  EXPECT_EQ(width, 1280);
  char* name = nullptr;
  ASSERT_EQ(OMget_str_val(OMfind_str_subobj(display0, "displayName", 0), &name, 0), 1);
  EXPECT_EQ(std::string(name), display + ".0");
  std::free(name);
  void* ptr = nullptr;
  EXPECT_EQ(OMget_ptr_val(OMfind_str_subobj(display0, "displayPtr", 0), &ptr, 0), 1);
  EXPECT_EQ(ptr, UIgetDisplayContext(display.c_str())->DisplayPtr);
  EXPECT_EQ(OMget_int_val(OMfind_str_subobj(data, "UIfonts[0].lineHeight", 0), &lineHeight), 1);
  EXPECT_EQ(lineHeight, 24);
  // A second start-up reuses the display and leaves the global data as it is.
  int tableSize = UIdisplayTableSize();
  int count = 0;
  OMget_num_subobjs(OMroot_obj, &count);
  char a0[] = "again";
  char* argv[] = {a0, nullptr};
  int argc = 1;
  UIglobal_init(&argc, argv);
  EXPECT_EQ(UIdisplayTableSize(), tableSize);
  int after = 0;
  OMget_num_subobjs(OMroot_obj, &after);
  EXPECT_EQ(after, count);
  EXPECT_STREQ(UIappName, "again");
}

TEST_F(Startup, FallbackResourcesAndTextWidthValues) {
  Widget label = XmCreateLabel(UIgetDisplayContext(display.c_str())->_managerShell,
                               const_cast<char*>("l"), nullptr, 0);
  Pixel background = 0;
  XtVaGetValues(label, XmNbackground, &background, nullptr);
  EXPECT_EQ(background, 0xb7b7b7ul) << "*background from the fallback resources";
  XtDestroyWidget(label);
  // A "ui_text_width" value is the pixel width of the text of its element 0.
  OMobj_id place;
  OMget_array_subobj(OMinst_obj, 0, &place, 0);
  OMobj_id width = OMcreate_obj_from_path("ui_text_width", "w", place);
  ASSERT_TRUE(width.serial);
  int value = -1;
  EXPECT_EQ(OMget_int_val(width, &value), 0) << "no element 0 yet";
  OMobj_id text = OMcreate_obj(OMstr_to_name("text"), OM_KIND_STRING, place, OMnull_obj, 0);
  OMset_str_val(text, "some text");
  OMadd_array_val(width, text, 0);
  ASSERT_EQ(OMget_int_val(width, &value), 1);
  EXPECT_EQ(value, WTtext_width_default("some text"));
  EXPECT_GT(value, 20);
  double real = 0;
  EXPECT_EQ(OMget_real_val(width, &real), 1);
  EXPECT_DOUBLE_EQ(real, value);
  OMdestroy_obj(width, 0);
  OMdestroy_obj(text, 0);
}

TEST_F(Startup, NamesOfOneDisplayFindOneEntry) {
  int before = UIdisplayTableSize();
  UIdpyContext* a = UIgetDisplayContext(display.c_str());
  UIdpyContext* b = UIgetDisplayContext((display + ".0").c_str());
  UIdpyContext* c = UIgetDisplayContext(display.substr(1).c_str());  // "N"
  EXPECT_EQ(a, b);
  EXPECT_EQ(a, c);
  EXPECT_EQ(UIdisplayTableSize(), before);
  EXPECT_EQ(UIgetDisplayContext(a->DisplayPtr), a) << "by the display's own name";
  // The empty name is the default display ($DISPLAY here): the same entry and connection.
  EXPECT_EQ(UIgetDisplayContext(""), a);
  EXPECT_EQ(UIgetDisplayContext(static_cast<const char*>(nullptr)), a);
  EXPECT_EQ(UIdisplayTableSize(), before);
  // Every copy asks for the one window-tools context, which the entry keeps.
  UIdpyContext copy = *a;
  copy._wtDpyCtx = nullptr;
  void* wt = copy.getWtDpyContext();
  ASSERT_NE(wt, nullptr);
  EXPECT_EQ(a->getWtDpyContext(), wt);
  EXPECT_EQ(UIdisplayTableSize(), before) << "nothing appended";
}

TEST_F(Startup, AnUnreachableDisplayGivesTheNullContextEveryTime) {
  int before = UIdisplayTableSize();
  EXPECT_EQ(UIgetDisplayContext(":987"), &UIdpyContextNull);
  EXPECT_EQ(UIgetDisplayContext(":987"), &UIdpyContextNull) << "tried again, not remembered";
  EXPECT_EQ(UIdpyContextNull.DisplayPtr, nullptr);
  EXPECT_EQ(UIdisplayTableSize(), before);
  ASSERT_EQ(displayErrors().size(), 2u);
  EXPECT_EQ(displayErrors()[0], "Error: Can't open display :987.0");
}

TEST_F(Startup, ASecondServerIsOpenedUsedAndClosed) {
  uitest::PrivateServer second;
  ASSERT_FALSE(second.name().empty());
  UIdpyContext* ctx = UIgetDisplayContext(second.name().c_str());
  ASSERT_NE(ctx->DisplayPtr, nullptr);
  EXPECT_NE(ctx->DisplayPtr, UIgetDisplayContext(display.c_str())->DisplayPtr);
  EXPECT_EQ(ctx->_width, 1024);
  EXPECT_NE(ctx->_hiddenShell, DefaultHiddenShell) << "the default stays the first display's";
  Widget shell = XtVaAppCreateShell("second", "Corvane", topLevelShellWidgetClass, ctx->DisplayPtr,
                                    XmNwidth, 50, XmNheight, 40, nullptr);
  XtRealizeWidget(shell);
  bool mapped = EVrun_until(
      [&] {
        XWindowAttributes attrs;
        return XGetWindowAttributes(ctx->DisplayPtr, XtWindow(shell), &attrs) &&
               attrs.map_state == IsViewable;
      },
      3000);
  EXPECT_TRUE(mapped) << "the event loop serves the second display";
  XtDestroyWidget(shell);
  EVflush_events();
  UIdpyContext copy = *ctx;
  ctx->closeDisplay();
  EXPECT_EQ(ctx->DisplayPtr, nullptr);
  EXPECT_NE(copy.DisplayPtr, nullptr);
}

// A display closed by the dispatch of one of its own events is not read again by the loop.
bool closedFromInside = false;
void closeOwnDisplay(Widget w, XtPointer, XEvent* event, Boolean*) {
  if (event->type != MapNotify || closedFromInside) return;
  closedFromInside = true;
  UIgetDisplayContext(XtDisplay(w))->closeDisplay();
}

TEST_F(Startup, ADisplayClosedByItsOwnEventIsNotReadAgain) {
  uitest::PrivateServer second;
  ASSERT_FALSE(second.name().empty());
  UIdpyContext* ctx = UIgetDisplayContext(second.name().c_str());
  ASSERT_NE(ctx->DisplayPtr, nullptr);
  Widget shell = XtVaAppCreateShell("closer", "Corvane", topLevelShellWidgetClass, ctx->DisplayPtr,
                                    XmNwidth, 50, XmNheight, 40, nullptr);
  XtAddEventHandler(shell, StructureNotifyMask, False, closeOwnDisplay, nullptr);
  XtRealizeWidget(shell);
  EXPECT_TRUE(EVrun_until([] { return closedFromInside; }, 3000));
  EVrun_until([] { return false; }, 50);  // more turns of the loop over the rest
  EXPECT_EQ(UIgetDisplayContext(second.name().c_str())->DisplayPtr, nullptr);
}

TEST_F(Startup, DisplaysRegisteredFromOutside) {
  int argc = 0;
  Display* own = XtOpenDisplay(UIdpyContext::_appContext, display.c_str(), "other", "Other",
                               nullptr, 0, &argc, nullptr);
  ASSERT_NE(own, nullptr);
  int before = UIdisplayTableSize();
  EXPECT_EQ(UI_SetDisplayContext(nullptr, own, UIdpyContext::_appContext), -1);
  EXPECT_EQ(UI_SetDisplayContext(":55", nullptr, UIdpyContext::_appContext), -1);
  EXPECT_EQ(UI_SetDisplayContext(":55", own, nullptr), -1);
  ASSERT_EQ(UI_SetDisplayContext(":55", own, UIdpyContext::_appContext), 0);
  EXPECT_EQ(UIdisplayTableSize(), before + 1);
  EXPECT_EQ(UI_SetDisplayContext(":56", own, UIdpyContext::_appContext), -1) << "known connection";
  // Stored under ":55" as given; a lookup normalises to ":55.0" and does not find it.
  Display* got = reinterpret_cast<Display*>(1);
  XtAppContext app = nullptr;
  EXPECT_EQ(UI_GetDisplayContext(":55", &got, &app), 0);
  EXPECT_EQ(got, nullptr);
  EXPECT_EQ(app, UIdpyContext::_appContext);
  EXPECT_EQ(UI_GetDisplayContext(display.c_str(), nullptr, &app), -1);
  EXPECT_EQ(UI_GetDisplayContext(display.c_str(), &got, &app), 0);
  EXPECT_EQ(got, UIgetDisplayContext(display.c_str())->DisplayPtr);
}

TEST_F(Startup, ProtocolErrorsAndXtWarningsAreReportedNotFatal) {
  Display* dpy = UIgetDisplayContext(display.c_str())->DisplayPtr;
  XFreePixmap(dpy, 0x1234567);  // no such pixmap
  XSync(dpy, False);
  // Protocol errors are recorded for an error dialog shown by the loop, not reported here.
  EXPECT_EQ(UIpendingXErrors(), 1);
  EXPECT_TRUE(reports().empty());
  Widget text = XmCreateText(UIgetDisplayContext(display.c_str())->_managerShell,
                             const_cast<char*>("t"), nullptr, 0);
  XtVaSetValues(text, XtVaTypedArg, XmNeditMode, XtRString, "no such mode", 13, nullptr);
  EXPECT_GE(reports().size(), 1u);
  EXPECT_EQ(reports().back().rfind("Xt: ", 0), 0u) << reports().back();
  XtDestroyWidget(text);
}

TEST_F(Startup, TheLoopRunsTimersAndDeferredCalls) {
  static int fired = 0, deferred = 0;
  fired = deferred = 0;
  XtAppAddTimeOut(
      UIdpyContext::_appContext, 30, [](XtPointer, XtIntervalId*) { ++fired; }, nullptr);
  EXPECT_TRUE(EVrun_until([] { return fired == 1; }, 2000));
  auto call = [](void* arg) {
    if (++*static_cast<int*>(arg) == 3) EVdel_select(7, 0, nullptr, nullptr, arg, 0);
  };
  // The call repeats once a turn until removed (here: by itself, after three turns).
  void (*fn)(void*) = call;
  EVadd_select(7, 0, fn, nullptr, &deferred, 0);
  EVadd_select(7, 0, fn, nullptr, &deferred, 0);  // registered once
  EVrun_until([] { return deferred >= 5; }, 300);
  EXPECT_EQ(deferred, 5) << "EVdel_select with another function removes nothing";
  EXPECT_EQ(EVdel_select(7, 0, fn, nullptr, &deferred, 0), 1);
  EVrun_until([] { return false; }, 50);
  EXPECT_EQ(deferred, 5);
  Widget w = UIgetDisplayContext(display.c_str())->_managerShell;
  EVadd_dynamic_window(w);
  EXPECT_TRUE(EVis_dynamic_window(w));
  EVdel_dynamic_window(w, 0);
  EXPECT_FALSE(EVis_dynamic_window(w));
}

void startOnUnreachableDisplay() {
  setenv("DISPLAY", ":987", 1);
  char a0[] = "tool";
  char* argv[] = {a0, nullptr};
  int argc = 1;
  UIglobal_init(&argc, argv);
}

void startAndShutDown() {
  setenv("DISPLAY", uitest::fixtureDisplayName().c_str(), 1);
  char a0[] = "tool";
  char* argv[] = {a0, nullptr};
  int argc = 1;
  UIinit();
  UIglobal_init(&argc, argv);
  UIdpyContext* ctx = UIgetDisplayContext(std::getenv("DISPLAY"));
  if (!ctx->DisplayPtr) std::exit(3);
  OMrun_exit_funcs();  // UIshutdown, as the object manager runs it at exit
  std::exit(ctx->DisplayPtr == nullptr ? 0 : 4);
}

void startWithAnEmptyCommandLine() {
  setenv("DISPLAY", uitest::fixtureDisplayName().c_str(), 1);
  char* argv[] = {nullptr, nullptr};
  int argc = 0;
  UIinit();
  UIglobal_init(&argc, argv);
  bool open = UIgetDisplayContext(std::getenv("DISPLAY"))->DisplayPtr != nullptr;
  std::exit(argc == 0 && argv[0] == nullptr && argv[1] == nullptr && open ? 0 : 5);
}

// With DISPLAY unset the default display is the one "-display" names: one connection, one
// entry whatever it is asked for by, one close at shutdown (a second is fatal to Xt).
void startWithTheDisplayOptionOnly() {
  std::string name = uitest::fixtureDisplayName();
  unsetenv("DISPLAY");
  char a0[] = "tool", a1[] = "-display";
  char* argv[] = {a0, a1, name.data(), nullptr};
  int argc = 3;
  UIinit();
  UIglobal_init(&argc, argv);
  if (argc != 1) std::exit(3);
  UIdpyContext* ctx = UIgetDisplayContext(static_cast<const char*>(nullptr));
  Display* display = ctx->DisplayPtr;
  if (!display || UIdisplayTableSize() != 1) std::exit(4);
  if (ctx->getWtDpyContext() == nullptr) std::exit(5);  // on the entry itself
  if (UIgetDisplayContext(display) != UIgetDisplayContext("")) std::exit(6);
  if (UIgetDisplayContext(name.c_str())->DisplayPtr != display) std::exit(7);
  if (UIdisplayTableSize() != 1) std::exit(8);
  OMrun_exit_funcs();
  std::exit(UIgetDisplayContext("")->DisplayPtr == nullptr ? 0 : 9);
}

// "-display" wins over a $DISPLAY that names no server, and "-name" over $CQ_XAPPNAME.
void startWithTheDisplayOptionOverTheEnvironment() {
  std::string name = uitest::fixtureDisplayName();
  setenv("DISPLAY", ":97", 1);
  setenv("CQ_XAPPNAME", "fromEnvironment", 1);
  char a0[] = "tool", a1[] = "-display", a2[] = "-name", a3[] = "fromLine";
  char* argv[] = {a0, a1, name.data(), a2, a3, nullptr};
  int argc = 5;
  UIinit();
  UIglobal_init(&argc, argv);
  if (argc != 1) std::exit(3);
  Display* display = UIgetDisplayContext("")->DisplayPtr;
  if (!display || UIdisplayTableSize() != 1) std::exit(4);
  if (UIdpyContext::cnvtDisplayName(DisplayString(display)) !=
      UIdpyContext::cnvtDisplayName(name.c_str()))
    std::exit(5);
  if (!UIappName || std::string(UIappName) != "fromLine") std::exit(6);
  std::exit(0);
}

TEST(StartupDeath, TheDisplayAndNameOptionsBeatTheEnvironment) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(startWithTheDisplayOptionOverTheEnvironment(), ::testing::ExitedWithCode(0), "");
}

TEST(StartupDeath, AnEmptyCommandLineIsAccepted) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(startWithAnEmptyCommandLine(), ::testing::ExitedWithCode(0), "");
}

TEST(StartupDeath, WithDisplayUnsetTheDisplayOptionGivesOneEntryClosedOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(startWithTheDisplayOptionOnly(), ::testing::ExitedWithCode(0), "");
}

TEST(StartupDeath, ShutdownClosesEveryDisplay) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(startAndShutDown(), ::testing::ExitedWithCode(0), "");
}

TEST(StartupDeath, AFirstDisplayThatCannotOpenEndsTheProcessWithAFailure) {
  // A fresh process: in this one a display is open already.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(startOnUnreachableDisplay(), ::testing::ExitedWithCode(1), "");
}

}  // namespace
