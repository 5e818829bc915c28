// Error reports: wrapping, the console modes, the dialogs and their flood rule, the element
// lock, and X protocol errors shown by the loop rather than inside Xlib's handler.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <Xm/MessageB.h>
#include <Xm/Xm.h>

#include <algorithm>
#include <string>
#include <vector>

#include "om/om_scope.h"
#include "ui/dpyMgr.h"
#include "ui/errorHandler.h"
#include "ui/misc.h"
#include "ui/wind.h"
#include "ui_test.h"
#include "x11_test.h"

namespace {

// The "message_box" dialogs now under the hidden shell (popup children's boxes).
std::vector<Widget> errorDialogs() {
  std::vector<Widget> out;
  Widget hidden = DefaultHiddenShell;
  for (Cardinal i = 0; i < hidden->core.num_popups; ++i) {
    Widget shell = hidden->core.popup_list[i];
    if (UIisBeingDestroyed(shell)) continue;
    Widget box = XtNameToWidget(shell, "message_box");
    if (box && !UIisBeingDestroyed(box)) out.push_back(box);
  }
  return out;
}

using uitest::xmText;

std::string titleOf(Widget box) {
  return xmText(box, XmNdialogTitle);
}

// Closes a dialog the way a user does: a click on its OK button.
void pressOK(Widget box) {
  Widget ok = XmMessageBoxGetChild(box, XmDIALOG_OK_BUTTON);
  ASSERT_TRUE(uitest::pumpUntil([&] {
    XWindowAttributes a;
    return XtWindow(box) && XGetWindowAttributes(XtDisplay(box), XtWindow(box), &a) &&
           a.map_state == IsViewable;
  }));
  uitest::click(ok);
}

size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class Errors : public ::testing::Test {
 protected:
  void SetUp() override {
    uitest::startLibrary("errorHandler_test");
    UIshowErrors = 3;
    closeAll();
  }
  void TearDown() override {
    closeAll();
    UIshowErrors = 3;
  }
  // Dialogs left by a test are closed through their own callback (no input needed).
  void closeAll() {
    uitest::pumpUntil([] { return UIpendingXErrors() == 0; }, 5000);
    for (Widget box : errorDialogs()) XtCallCallbacks(box, XmNokCallback, nullptr);
    uitest::pumpFor(20);
    ASSERT_EQ(UIerrorDialogCount(), 0);
  }
};

TEST(Wrapping, BreaksBeforeTheLastBreakCharacterWithin60Columns) {
  std::string path =
      "Root.Applications.someApplication.mainWindow.controlPanel.leftColumn."
      "quiteLongButtonName";
  std::string wrapped = UIwrapText(path, '.');
  EXPECT_EQ(wrapped,
            "Root.Applications.someApplication.mainWindow.controlPanel\n"
            ".leftColumn.quiteLongButtonName");
  EXPECT_EQ(UIwrapText("short text", ' '), "short text");
  std::string words;
  for (int i = 0; i < 30; ++i) words += "word" + std::to_string(i) + " ";
  for (const std::string& line : {UIwrapText(words, ' ')}) {
    size_t start = 0;
    while (start < line.size()) {
      size_t end = line.find('\n', start);
      if (end == std::string::npos) end = line.size();
      EXPECT_LT(end - start, 60u) << line.substr(start, end - start);
      start = end + 1;
    }
  }
  // Nothing is lost: removing the inserted line ends gives the text back.
  std::string back = UIwrapText(words, ' ');
  back.erase(std::remove(back.begin(), back.end(), '\n'), back.end());
  EXPECT_EQ(back, words);
  // Columns are characters, not bytes: the same words with a two-byte letter in some of them,
  // and the same long word of two-byte letters, are cut at the same places.
  std::string plain, accented;
  for (int i = 0; i < 40; ++i) {
    plain += (i % 3 ? "mere" : "word") + std::to_string(i) + " ";
    accented += (i % 3 ? "m\xc3\xa8re" : "word") + std::to_string(i) + " ";
  }
  plain += std::string(130, 'e') + " end";
  for (int i = 0; i < 130; ++i) accented += "\xc3\xa8";
  accented += " end";
  auto unaccented = [](std::string text) {
    for (size_t at; (at = text.find("\xc3\xa8")) != std::string::npos;) text.replace(at, 2, "e");
    return text;
  };
  EXPECT_EQ(unaccented(UIwrapText(accented, ' ')), UIwrapText(plain, ' '));
}

TEST(Wrapping, ALongWordNeitherStopsTheWrappingNorSplitsACharacter) {
  std::string word(10000, 'x');
  std::string wrapped = UIwrapText("before " + word + " after", ' ');
  std::string back = wrapped;
  back.erase(std::remove(back.begin(), back.end(), '\n'), back.end());
  EXPECT_EQ(back, "before " + word + " after");
  EXPECT_GT(count(wrapped, "\n"), 160u);
  // Two-byte characters: every line is whole UTF-8 and at most 59 characters.
  std::string accents;
  for (int i = 0; i < 300; ++i) accents += "\xc3\xa9";  // é
  std::string lines = UIwrapText(accents, ' ');
  size_t start = 0;
  while (start < lines.size()) {
    size_t end = lines.find('\n', start);
    if (end == std::string::npos) end = lines.size();
    std::string line = lines.substr(start, end - start);
    EXPECT_EQ(line.size() % 2, 0u);
    EXPECT_NE(static_cast<unsigned char>(line[0]) & 0xC0, 0x80u) << "starts mid-character";
    EXPECT_LE(line.size() / 2, 59u);
    start = end + 1;
  }
}

TEST_F(Errors, ShowErrorsZeroIgnoresAndOneWritesStandardError) {
  UIshowErrors = 0;
  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  UIerrorHandler(1, OMnull_obj, "dropped");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  UIshowErrors = 1;
  testing::internal::CaptureStderr();
  UIerrorHandler(1, OMnull_obj, "to the console");
  UIcerrorHandler(OMnull_obj, nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "KLT/Corvane Error: to the console\nKLT/Corvane Error: \n");
  EXPECT_EQ(UIerrorDialogCount(), 0);
  EXPECT_TRUE(errorDialogs().empty());
}

TEST_F(Errors, HeadingsTitlesAndKindsOfDialogs) {
  OMobj_id place = uitest::instancePlace();
  OMobj_id element = uitest::makeObject("UIlabel", "elementWithAName", OMnull_obj, {});
  UIerrorHandler(2, element, "for your information");
  UIerrorHandler(1, element, "a plain error");
  UIerrorHandler(X11_ERROR, OMnull_obj, "BadWindow");
  std::vector<Widget> boxes = errorDialogs();
  ASSERT_EQ(boxes.size(), 3u);
  char path[600];
  OMret_obj_path_to(element, OMnull_obj, path, sizeof path);
  std::string heading = UIwrapText(std::string("Error for element ") + path, '.');
  EXPECT_EQ(titleOf(boxes[0]), "Information Dialog");
  EXPECT_EQ(xmText(boxes[0], XmNmessageString), heading + ".\n\nfor your information");
  unsigned char type = 0;
  XtVaGetValues(boxes[0], XmNdialogType, &type, nullptr);
  EXPECT_EQ(type, XmDIALOG_INFORMATION);
  EXPECT_EQ(titleOf(boxes[1]), "Error Dialog");
  XtVaGetValues(boxes[1], XmNdialogType, &type, nullptr);
  EXPECT_EQ(type, XmDIALOG_ERROR);
  EXPECT_EQ(xmText(boxes[2], XmNmessageString), "X Error.\n\nBadWindow");
  EXPECT_EQ(UIerrorDialogCount(), 3);
  // Each closes on OK, element or not, and lowers the count (the newest lies on top).
  for (size_t left = 3; left > 0; --left) {
    ASSERT_EQ(errorDialogs().size(), left);
    pressOK(errorDialogs().back());
    ASSERT_TRUE(uitest::pumpUntil([&] { return errorDialogs().size() == left - 1; }));
  }
  EXPECT_TRUE(uitest::pumpUntil([] { return UIerrorDialogCount() == 0; }));
  EXPECT_TRUE(errorDialogs().empty());
  OMdestroy_obj(element, 0);
  (void)place;
}

TEST_F(Errors, TenThousandReportsGiveFiveDialogsAndTheRestOnTheConsole) {
  testing::internal::CaptureStdout();
  for (int i = 1; i <= 10000; ++i) {
    std::string text = "report " + std::to_string(i) + ";";
    UIerrorHandler(1, OMnull_obj, text.c_str());
  }
  std::string out = testing::internal::GetCapturedStdout();
  std::vector<Widget> boxes = errorDialogs();
  ASSERT_EQ(boxes.size(), 5u);
  EXPECT_EQ(xmText(boxes[3], XmNmessageString), "Error for element .\n\nreport 4;");
  EXPECT_EQ(xmText(boxes[4], XmNmessageString),
            "Too many errors.  Redirecting messages to console.");
  EXPECT_EQ(count(out, "report 4;"), 0u);
  EXPECT_EQ(count(out, "\nError for element .\n\nreport 5;\n\n"), 1u);
  EXPECT_EQ(count(out, "\nError for element .\n\nreport 10000;\n\n"), 1u);
  EXPECT_EQ(count(out, "\n\nreport "), 10000u - 4u);
  // Closing one of the five lets the next report through to a dialog again.
  pressOK(boxes.back());
  ASSERT_TRUE(uitest::pumpUntil([] { return UIerrorDialogCount() == 4; }));
  testing::internal::CaptureStdout();
  UIerrorHandler(1, OMnull_obj, "after closing");
  out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(count(out, "after closing"), 1u) << "the fifth still goes to the console too";
  boxes = errorDialogs();
  ASSERT_EQ(boxes.size(), 5u);
}

TEST_F(Errors, KindHundredHoldsTheElementsGeometryUntilOK) {
  OMobj_id shell =
      uitest::makeObject("UIshell", "lockShell", OMnull_obj, {{"visible", 1}, {"width", 300}});
  OMobj_id button =
      uitest::makeObject("UIbutton", "locked", shell, {{"x", 10}, {"y", 10}, {"visible", 1}});
  ASSERT_TRUE(uitest::pumpUntil([&] { return UIobjIdToWidget(button) != nullptr; }));
  Widget w = UIobjIdToWidget(button);
  UIerrorHandler(100, button, "locked until OK");
  EXPECT_EQ(UIerrorState, 1);
  EXPECT_EQ(UIerrorLockObject, w);
  OMset_int_val(OMfind_str_subobj(button, "x", 0), 80);
  uitest::pumpFor(30);
  Position x = 0;
  XtVaGetValues(w, XmNx, &x, nullptr);
  EXPECT_EQ(x, 10) << "a locked element does not move";
  std::vector<Widget> boxes = errorDialogs();
  ASSERT_EQ(boxes.size(), 1u);
  pressOK(boxes[0]);
  ASSERT_TRUE(uitest::pumpUntil([] { return UIerrorState == 0; }));
  EXPECT_EQ(UIerrorLockObject, nullptr);
  OMset_int_val(OMfind_str_subobj(button, "x", 0), 90);
  uitest::pumpFor(30);
  XtVaGetValues(w, XmNx, &x, nullptr);
  EXPECT_EQ(x, 90);
  OMdestroy_obj(shell, 0);
  uitest::pumpFor(20);
}

TEST_F(Errors, ABadRequestIsShownOnlyOnceTheLoopRuns) {
  Display* dpy = uitest::display();
  XFreePixmap(dpy, 0x1234567);  // no such pixmap
  XSync(dpy, False);
  // Inside the handler nothing was made (a request there would hang in the reply wait).
  EXPECT_EQ(UIpendingXErrors(), 1);
  EXPECT_TRUE(errorDialogs().empty());
  ASSERT_TRUE(uitest::pumpUntil([] { return !errorDialogs().empty(); }));
  std::vector<Widget> boxes = errorDialogs();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(xmText(boxes[0], XmNmessageString).rfind("X Error.\n\nBadPixmap", 0), 0u);
  EXPECT_EQ(titleOf(boxes[0]), "Error Dialog");
}

TEST_F(Errors, ABurstOfTenThousandBadRequests) {
  Display* dpy = uitest::display();
  testing::internal::CaptureStdout();
  for (int i = 0; i < 10000; ++i) XFreePixmap(dpy, 0x1234567);
  XSync(dpy, False);
  ASSERT_TRUE(uitest::pumpUntil([] { return UIpendingXErrors() == 0; }, 20000));
  uitest::pumpFor(20);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(errorDialogs().size(), 5u);
  EXPECT_EQ(count(out, "X Error.\n\nBadPixmap"), 10000u - 4u);
}

TEST_F(Errors, ADisplayThatCannotBeOpenedIsAnXErrorDialog) {
  UIdpyContext* ctx = UIgetDisplayContext(":987");
  EXPECT_EQ(ctx->DisplayPtr, nullptr);
  std::vector<Widget> boxes = errorDialogs();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(xmText(boxes[0], XmNmessageString), "X Error.\n\nError: Can't open display :987.0");
}

}  // namespace
