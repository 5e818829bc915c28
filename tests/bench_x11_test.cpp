// The test bench itself, on a real server: a plain Motif push button pressed through XTest.
// GoogleTest goes before the X headers: Xlib defines macros (None, Bool) it uses as names.
#include <gtest/gtest.h>

#include <Xm/PushB.h>
#include <Xm/Xm.h>

#include "x11_test.h"

namespace {

struct Clicks {
  int arm = 0;
  int activate = 0;
  int disarm = 0;
};

void count(Widget, XtPointer data, XtPointer call) {
  auto* clicks = static_cast<Clicks*>(data);
  auto* cbs = static_cast<XmPushButtonCallbackStruct*>(call);
  if (cbs->reason == XmCR_ARM) clicks->arm++;
  if (cbs->reason == XmCR_ACTIVATE) clicks->activate++;
  if (cbs->reason == XmCR_DISARM) clicks->disarm++;
}

class BenchX11 : public ::testing::Test {
 protected:
  void SetUp() override {
    shell = uitest::newShell("bench");
    button = XmCreatePushButton(shell, const_cast<char*>("press"), nullptr, 0);
    XtAddCallback(button, XmNarmCallback, count, &clicks);
    XtAddCallback(button, XmNactivateCallback, count, &clicks);
    XtAddCallback(button, XmNdisarmCallback, count, &clicks);
    XtManageChild(button);
    ASSERT_TRUE(uitest::showAndWait(shell, button));
  }
  void TearDown() override { uitest::destroyWidget(shell); }
  Widget shell = nullptr;
  Widget button = nullptr;
  Clicks clicks;
};

TEST_F(BenchX11, ClickThroughXTestActivatesOnce) {
  uitest::click(button);
  ASSERT_TRUE(uitest::pumpUntil([&] { return clicks.activate == 1; }));
  EXPECT_EQ(clicks.arm, 1);
  EXPECT_EQ(clicks.disarm, 1);
}

TEST_F(BenchX11, ReleaseOutsideTheButtonDoesNotActivate) {
  uitest::movePointer(button, 5, 5);
  uitest::pressButton();
  ASSERT_TRUE(uitest::pumpUntil([&] { return clicks.arm == 1; }));
  uitest::movePointer(shell, 400, 300);  // well outside the button's window
  uitest::releaseButton();
  ASSERT_TRUE(uitest::pumpUntil([&] { return clicks.disarm == 1; }));
  EXPECT_EQ(clicks.activate, 0);
}

}  // namespace
