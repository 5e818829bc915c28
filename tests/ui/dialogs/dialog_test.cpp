// The dialog base and the boxes, driven with real input: widgets only while visible, the
// OK / Cancel / Close protocol, placement write-back, and each box's write-backs.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <Xm/List.h>
#include <Xm/MessageB.h>
#include <Xm/SelectioB.h>
#include <Xm/Text.h>
#include <Xm/Xm.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "om/om_scope.h"
#include "svc/translate.h"
#include "ui/dialog.h"
#include "ui/misc.h"
#include "ui_test.h"
#include "x11_test.h"

namespace {

using uitest::intOf;

std::string xmText(Widget w, const char* resource) {
  XmString s = nullptr;
  XtVaGetValues(w, resource, &s, nullptr);
  if (!s) return "";
  char* text = static_cast<char*>(
      XmStringUnparse(s, nullptr, XmCHARSET_TEXT, XmCHARSET_TEXT, nullptr, 0, XmOUTPUT_ALL));
  XmStringFree(s);
  std::string out = text ? text : "";
  XtFree(text);
  return out;
}

bool viewable(Widget w) {
  XWindowAttributes a;
  return !UIisBeingDestroyed(w) && XtWindow(w) &&
         XGetWindowAttributes(XtDisplay(w), XtWindow(w), &a) && a.map_state == IsViewable;
}

OMobj_id sub(OMobj_id id, const char* path) {
  return OMfind_str_subobj(id, path, 0);
}

void setStrings(OMobj_id id, const char* prop, const std::vector<std::string>& items) {
  OMobj_id array = sub(id, prop);
  OMset_array_size(array, static_cast<int>(items.size()));
  for (size_t i = 0; i < items.size(); ++i)
    OMset_str_array_val(array, static_cast<int>(i), items[i].c_str());
}

std::string strOf(OMobj_id id, const char* prop) {
  OMtext t = OMget_text(sub(id, prop));
  return t ? t.get() : "<unset>";
}

// The window manager's delete request to the dialog's shell.
void closeFromWindowManager(Widget box) {
  Widget shell = XtParent(box);
  Display* d = XtDisplay(shell);
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = XtWindow(shell);
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, XtWindow(shell), False, NoEventMask, &e);
  XSync(d, False);
}

class Dialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    uitest::startLibrary("dialog_test");
    uitest::reports().clear();
    static int n = 0;
    prefix = "d" + std::to_string(++n) + "_";
  }
  void TearDown() override {
    for (auto it = made.rbegin(); it != made.rend(); ++it) OMdestroy_obj(*it, 0);
    uitest::pumpFor(20);
  }
  OMobj_id make(const char* type, const char* name,
                std::vector<std::pair<const char*, int>> ints = {{"visible", 1}}) {
    OMobj_id id = uitest::makeObject(type, prefix + name, OMnull_obj, ints);
    made.push_back(id);
    return id;
  }
  // The box once it is on the screen.
  Widget shown(OMobj_id id) {
    Widget box = nullptr;
    EXPECT_TRUE(uitest::pumpUntil([&] { return viewable(box = UIobjIdToWidget(id)); }));
    return box;
  }
  UIdialog* bindingOf(OMobj_id id) { return dynamic_cast<UIdialog*>(UIobjIdToClass(id)); }

  std::string prefix;
  std::vector<OMobj_id> made;
};

TEST_F(Dialogs, AMessageBoxHasWidgetsOnlyWhileVisible) {
  OMobj_id box = make("UImessageBox", "later", {{"visible", 0}});
  uitest::pumpFor(20);
  EXPECT_EQ(UIobjIdToWidget(box), nullptr);
  EXPECT_EQ(UIobjIdToClass(box), nullptr) << "the binding is discarded";
  OMset_str_val(sub(box, "message"), "Now you see me");
  OMset_int_val(sub(box, "visible"), 1);
  Widget w = shown(box);
  ASSERT_NE(w, nullptr);
  EXPECT_STREQ(XtName(w), (prefix + "laterMW").c_str());
  EXPECT_STREQ(XtName(XtParent(w)), (prefix + "later").c_str());
  EXPECT_EQ(xmText(w, XmNmessageString), "Now you see me");
  EXPECT_EQ(xmText(w, XmNdialogTitle), prefix + "later") << "the title defaults to the name";
  EXPECT_EQ(xmText(w, XmNokLabelString), TMget_translation("UI_OK", 0));
  EXPECT_EQ(xmText(w, XmNcancelLabelString), TMget_translation("UI_CANCEL", 0));
  EXPECT_FALSE(XtIsManaged(XmMessageBoxGetChild(w, XmDIALOG_HELP_BUTTON)));
  // "visible" 0 from the object hides it again.
  OMset_int_val(sub(box, "visible"), 0);
  EXPECT_TRUE(uitest::pumpUntil([&] { return !viewable(w); }));
}

// The window manager's name for the dialog: the shell window's WM_NAME, read from the server.
std::string windowName(Widget box) {
  XTextProperty name{};
  if (!XGetWMName(XtDisplay(box), XtWindow(XtParent(box)), &name) || !name.value) return "";
  std::string out(reinterpret_cast<char*>(name.value), name.nitems);
  XFree(name.value);
  return out;
}

// Texts given with the object are the box's from the start (they are passed when the box is
// made, not set after it), and later changes from the object still reach it.
TEST_F(Dialogs, GivenTextsAreTheBoxsFromTheStartAndChangesFollow) {
  OMobj_id box = make("UImessageBox", "texts", {{"visible", 0}});
  OMset_str_val(sub(box, "title"), "Careful");
  OMset_str_val(sub(box, "okLabelString"), "Go");
  OMset_str_val(sub(box, "cancelLabelString"), "Stop");
  OMset_str_val(sub(box, "message"), "Sure?");
  OMset_int_val(sub(box, "visible"), 1);
  Widget w = shown(box);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(windowName(w), "Careful");
  EXPECT_EQ(xmText(w, XmNokLabelString), "Go");
  EXPECT_EQ(xmText(w, XmNcancelLabelString), "Stop");
  EXPECT_EQ(xmText(w, XmNmessageString), "Sure?");
  OMset_str_val(sub(box, "title"), "Very careful");
  OMset_str_val(sub(box, "okLabelString"), "Yes");
  OMset_str_val(sub(box, "message"), "Really sure?");
  EXPECT_TRUE(uitest::pumpUntil([&] { return windowName(w) == "Very careful"; })) << windowName(w);
  EXPECT_EQ(xmText(w, XmNokLabelString), "Yes");
  EXPECT_EQ(xmText(w, XmNcancelLabelString), "Stop");
  EXPECT_EQ(xmText(w, XmNmessageString), "Really sure?");
  // A template dialog is made with them too.
  OMobj_id dialog = make("UItemplateDialog", "templ", {{"visible", 0}});
  OMset_str_val(sub(dialog, "okLabelString"), "Apply all");
  OMset_int_val(sub(dialog, "visible"), 1);
  Widget t = shown(dialog);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(xmText(t, XmNokLabelString), "Apply all");
  EXPECT_EQ(xmText(t, XmNcancelLabelString), TMget_translation("UI_CANCEL", 0));
  EXPECT_EQ(windowName(t), prefix + "templ") << "the title defaults to the name";
}

// The family and size of the font a widget draws its text with ("" and 0 for none).
std::pair<std::string, int> fontOf(Widget w, const char* resource = XmNrenderTable) {
  XmRenderTable table = nullptr;
  XtVaGetValues(w, resource, &table, nullptr);
  if (!table) return {"", 0};
  XmRendition r = XmRenderTableGetRendition(table, const_cast<char*>(XmFONTLIST_DEFAULT_TAG));
  if (!r) return {"", 0};
  char* name = nullptr;
  int size = 0;
  Arg args[2];
  XtSetArg(args[0], XmNfontName, &name);
  XtSetArg(args[1], XmNfontSize, &size);
  XmRenditionRetrieve(r, args, 2);
  std::pair<std::string, int> font{name ? name : "", size};
  XmRenditionFree(r);
  return font;
}

TEST_F(Dialogs, AMessageBoxsChildrenHaveItsFontsFromTheStartAndFollowChanges) {
  const unsigned char children[] = {XmDIALOG_OK_BUTTON, XmDIALOG_CANCEL_BUTTON,
                                    XmDIALOG_HELP_BUTTON, XmDIALOG_MESSAGE_LABEL,
                                    XmDIALOG_SYMBOL_LABEL};
  auto expectFont = [&](Widget box, const std::string& family, int size, const char* when) {
    for (const char* resource : {XmNlabelFontList, XmNbuttonFontList, XmNtextFontList})
      EXPECT_EQ(fontOf(box, resource), std::make_pair(family, size)) << resource << " " << when;
    for (unsigned char which : children) {
      Widget child = XmMessageBoxGetChild(box, which);
      ASSERT_NE(child, nullptr);
      EXPECT_EQ(fontOf(child), std::make_pair(family, size)) << XtName(child) << " " << when;
    }
  };
  // Without font attributes: the library's default font.
  OMobj_id plain = make("UImessageBox", "plainFonts");
  Widget p = shown(plain);
  ASSERT_NE(p, nullptr);
  expectFont(p, "DejaVu Sans", 12, "by default");
  // The object's font from the start, on the box and every button and label in it.
  OMobj_id box = make("UImessageBox", "fonts", {{"visible", 0}, {"destroyOnUmanage", 1}});
  OMset_str_val(sub(box, "fontAttributes.family"), "DejaVu Serif");
  OMset_int_val(sub(box, "fontAttributes.size"), 20);
  OMset_str_val(sub(box, "message"), "In serif");
  OMset_int_val(sub(box, "visible"), 1);
  Widget w = shown(box);
  ASSERT_NE(w, nullptr);
  expectFont(w, "DejaVu Serif", 20, "when made");
  // A later change reaches them all.
  OMset_int_val(sub(box, "fontAttributes.size"), 16);
  EXPECT_TRUE(uitest::pumpUntil([&] { return fontOf(w, XmNlabelFontList).second == 16; }));
  expectFont(w, "DejaVu Serif", 16, "after a change");
  // Cancelled, the box is destroyed; shown again, it is made anew with the font of the time.
  uitest::click(XmMessageBoxGetChild(w, XmDIALOG_CANCEL_BUTTON));
  EXPECT_TRUE(uitest::pumpUntil([&] { return bindingOf(box) == nullptr; }));
  OMset_int_val(sub(box, "fontAttributes.size"), 14);
  OMset_int_val(sub(box, "visible"), 1);
  w = shown(box);
  ASSERT_NE(w, nullptr);
  expectFont(w, "DejaVu Serif", 14, "shown again");
}

TEST_F(Dialogs, AnUnsetForegroundGivesTheBoxTheColoursOfItsShellsBackground) {
  // The colours Motif derives from the shell's background, and those the box holds.
  auto derived = [](Widget box) {
    Widget shell = XtParent(box);
    Pixel fg = 0, top = 0, bottom = 0, select = 0;
    XmGetColors(XtScreen(box), box->core.colormap, shell->core.background_pixel, &fg, &top, &bottom,
                &select);
    return std::vector<Pixel>{shell->core.background_pixel, fg, top, bottom, fg};
  };
  auto held = [](Widget box) {
    Pixel bg = 0, fg = 0, top = 0, bottom = 0, highlight = 0;
    XtVaGetValues(box, XmNbackground, &bg, XmNforeground, &fg, XmNtopShadowColor, &top,
                  XmNbottomShadowColor, &bottom, XmNhighlightColor, &highlight, nullptr);
    return std::vector<Pixel>{bg, fg, top, bottom, highlight};
  };
  OMobj_id plain = make("UImessageBox", "plainColours");
  Widget p = shown(plain);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(held(p), derived(p));
  OMobj_id box = make("UImessageBox", "redText", {{"visible", 0}});
  OMset_str_val(sub(box, "color.foregroundColor"), "red");
  OMset_int_val(sub(box, "visible"), 1);
  Widget w = shown(box);
  ASSERT_NE(w, nullptr);
  Pixel red = held(w)[1];
  EXPECT_NE(red, derived(w)[1]);
  // Unset, the foreground (and the colours that go with it) come from the shell again.
  OMset_str_val(sub(box, "color.foregroundColor"), nullptr);
  EXPECT_TRUE(uitest::pumpUntil([&] { return held(w)[1] != red; }));
  EXPECT_EQ(held(w), derived(w));
}

TEST_F(Dialogs, UpdatesOfAnInvisibleDialogWriteNothingBack) {
  OMobj_id box = make("UImessageBox", "quiet", {{"visible", 0}});
  uitest::pumpFor(20);
  OMobj_id cxx = sub(box, "cxxhandle");
  int before = OMget_obj_seq(cxx, OMnull_obj, 0);
  // Each update of an invisible dialog used to make and discard a binding, writing
  // "cxxhandle" twice and so notifying the dialog again, without end.
  for (int i = 0; i < 5; ++i) {
    OMset_str_val(sub(box, "message"), ("text " + std::to_string(i)).c_str());
    uitest::pumpFor(5);
  }
  EXPECT_EQ(OMget_obj_seq(cxx, OMnull_obj, 0), before);
  EXPECT_EQ(UIobjIdToClass(box), nullptr);
}

TEST_F(Dialogs, OKAndCancelWriteBackAndHide) {
  OMobj_id box = make("UImessageBox", "protocol");
  Widget w = shown(box);
  uitest::click(XmMessageBoxGetChild(w, XmDIALOG_OK_BUTTON));
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(box, "ok") == 1; }));
  EXPECT_EQ(intOf(box, "visible"), 0);
  EXPECT_TRUE(uitest::pumpUntil([&] { return !viewable(w); }));
  ASSERT_NE(bindingOf(box), nullptr) << "hidden, not destroyed";
  // Shown again by the object; Cancel writes "cancel".
  OMset_int_val(sub(box, "visible"), 1);
  w = shown(box);
  uitest::click(XmMessageBoxGetChild(w, XmDIALOG_CANCEL_BUTTON));
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(box, "cancel") == 1; }));
  EXPECT_EQ(intOf(box, "visible"), 0);
  // With autoUnmanage 0, OK only writes "ok".
  OMset_int_val(sub(box, "autoUnmanage"), 0);
  OMset_int_val(sub(box, "ok"), 0);
  OMset_int_val(sub(box, "visible"), 1);
  w = shown(box);
  uitest::click(XmMessageBoxGetChild(w, XmDIALOG_OK_BUTTON));
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(box, "ok") == 1; }));
  uitest::pumpFor(30);
  EXPECT_EQ(intOf(box, "visible"), 1);
  EXPECT_TRUE(viewable(w));
}

TEST_F(Dialogs, DestroyOnUnmanageAndTheWindowManagersClose) {
  OMobj_id box = make("UImessageBox", "closing", {{"visible", 1}, {"destroyOnUmanage", 1}});
  Widget w = shown(box);
  uitest::click(XmMessageBoxGetChild(w, XmDIALOG_CANCEL_BUTTON));
  EXPECT_TRUE(uitest::pumpUntil([&] { return bindingOf(box) == nullptr; }));
  EXPECT_EQ(intOf(box, "cancel"), 1);
  // Close from the window manager destroys even without destroyOnUmanage.
  OMset_int_val(sub(box, "destroyOnUmanage"), 0);
  OMset_int_val(sub(box, "cancel"), 0);
  OMset_int_val(sub(box, "visible"), 1);
  w = shown(box);
  closeFromWindowManager(w);
  EXPECT_TRUE(uitest::pumpUntil([&] { return bindingOf(box) == nullptr; }));
  EXPECT_EQ(intOf(box, "cancel"), 1);
  EXPECT_EQ(intOf(box, "visible"), 0);
  EXPECT_EQ(UIobjIdToWidget(box), nullptr);
}

TEST_F(Dialogs, ACallbackAfterDestructionDoesNothing) {
  OMobj_id box = make("UImessageBox", "gone");
  OMobj_id other = make("UItoggle", "bystander");
  Widget w = shown(box);
  UIwindow* binding = UIobjIdToClass(box);
  ASSERT_NE(binding, nullptr);
  // The object goes (a binding destroyed alone would come back at once for its object, maybe
  // at the same address).
  OMdestroy_obj(box, 0);
  uitest::pumpFor(20);
  EXPECT_TRUE(UIisBeingDestroyed(w));
  ASSERT_FALSE(UIwindow::alive(binding));
  OMset_int_val(sub(other, "set"), 0);
  XmAnyCallbackStruct call{XmCR_OK, nullptr};
  // What a late Xt callback would do: the binding is dead, nothing is read or written (the
  // sanitizer pass would see a read of the freed binding).
  UIcallbackTrampoline<&UIdialog::okCallback>(w, binding, &call);
  UIcallbackTrampoline<&UIdialog::closeCB>(w, binding, &call);
  EXPECT_EQ(intOf(other, "set"), 0);
}

TEST_F(Dialogs, TypesAndTheFirstMapsGeometry) {
  OMobj_id box = make("UImessageBox", "typed", {{"visible", 1}, {"type", 6}, {"x", 40}});
  Widget w = shown(box);
  unsigned char type = 0;
  XtVaGetValues(w, XmNdialogType, &type, nullptr);
  EXPECT_EQ(type, XmDIALOG_TEMPLATE);
  OMset_int_val(sub(box, "type"), 9);
  uitest::pumpFor(20);
  XtVaGetValues(w, XmNdialogType, &type, nullptr);
  EXPECT_EQ(type, XmDIALOG_TEMPLATE) << "an unknown type changes nothing";
  OMset_int_val(sub(box, "type"), 3);
  uitest::pumpFor(20);
  XtVaGetValues(w, XmNdialogType, &type, nullptr);
  EXPECT_EQ(type, XmDIALOG_QUESTION);
  // The first map filled in only what the object did not hold.
  EXPECT_EQ(intOf(box, "x"), 40);
  EXPECT_NE(intOf(box, "y"), -12345);
  EXPECT_GT(intOf(box, "width"), 0);
  EXPECT_GT(intOf(box, "height"), 0);
}

// Positions and sizes beyond X's 16 bits are reported and not applied (70000 wide would be 4464
// wide to X); a size below one is not applied either.
TEST_F(Dialogs, AGeometryBeyondSixteenBitsIsReportedNotWrapped) {
  OMobj_id box =
      make("UImessageBox", "huge", {{"visible", 1}, {"x", 40}, {"width", 300}, {"height", 200}});
  Widget w = shown(box);
  ASSERT_TRUE(w);
  Dimension width = w->core.width, height = w->core.height;
  Position x = XtParent(w)->core.x;  // a box's position is its dialog shell's
  for (auto [prop, value] : {std::pair<const char*, int>{"width", 70000},
                             {"height", 70000},
                             {"x", 70000},
                             {"width", 0}}) {
    uitest::reports().clear();
    OMset_int_val(sub(box, prop), value);
    uitest::pumpFor(20);
    EXPECT_EQ(w->core.width, width) << prop << " " << value;
    EXPECT_EQ(w->core.height, height) << prop << " " << value;
    EXPECT_EQ(XtParent(w)->core.x, x) << prop << " " << value;
    if (value > 32767) {
      ASSERT_FALSE(uitest::reports().empty()) << prop;
      EXPECT_NE(
          uitest::reports()[0].find("The " + std::string(prop) + " value of 70000 is invalid"),
          std::string::npos)
          << uitest::reports()[0];
    }
  }
}

// Without a window manager nothing frames a dialog's window, and showing and moving it asks
// the server nothing about a frame: it takes the requests it takes with the frame detection
// switched off, give or take the few that focus changes from other clients' windows may cause
// (each question about a frame is six).
TEST_F(Dialogs, ADialogNoManagerFramesAsksNothingAboutItsFrame) {
  auto [detectionOff, detectionOn] =
      uitest::requestsWithFrameDetectionOffAndOn([&](const std::string& name) {
        OMobj_id box = make("UImessageBox", name.c_str(), {{"visible", 1}, {"x", 30}, {"y", 40}});
        uitest::pumpFor(300);
        Widget w = UIobjIdToWidget(box);
        ASSERT_TRUE(w && XtWindow(XtParent(w)));
        for (int i = 1; i <= 3; ++i) {
          XMoveWindow(XtDisplay(w), XtWindow(XtParent(w)), 30 + 10 * i, 40);
          uitest::pumpFor(50);
        }
      });
  EXPECT_LT(detectionOn, detectionOff + 5);
  UIdialog* b = bindingOf(made.back());
  ASSERT_NE(b, nullptr);
  EXPECT_FALSE(b->frameDetected);
  EXPECT_EQ(intOf(made.back(), "x"), 60) << "the moves are written back";
}

TEST_F(Dialogs, TypeAndModalityAreTheBoxsFromTheStartAndChangesFollow) {
  OMobj_id box = make("UImessageBox", "modalError", {{"visible", 1}, {"type", 0}, {"isModal", 1}});
  Widget w = shown(box);
  ASSERT_NE(w, nullptr);
  unsigned char type = 0, style = 0;
  XtVaGetValues(w, XmNdialogType, &type, XmNdialogStyle, &style, nullptr);
  EXPECT_EQ(type, XmDIALOG_ERROR);
  EXPECT_EQ(style, XmDIALOG_FULL_APPLICATION_MODAL);
  OMset_int_val(sub(box, "isModal"), 0);
  EXPECT_TRUE(uitest::pumpUntil([&] {
    XtVaGetValues(w, XmNdialogStyle, &style, nullptr);
    return style == XmDIALOG_MODELESS;
  }));
  EXPECT_TRUE(viewable(w)) << "still shown";
  // A template-type box keeps its buttons and labels.
  OMobj_id templ = make("UImessageBox", "templType", {{"visible", 1}, {"type", 6}});
  Widget t = shown(templ);
  ASSERT_NE(t, nullptr);
  XtVaGetValues(t, XmNdialogType, &type, XmNdialogStyle, &style, nullptr);
  EXPECT_EQ(type, XmDIALOG_TEMPLATE);
  EXPECT_EQ(style, XmDIALOG_MODELESS);
  EXPECT_NE(XmMessageBoxGetChild(t, XmDIALOG_OK_BUTTON), nullptr);
  EXPECT_NE(XmMessageBoxGetChild(t, XmDIALOG_MESSAGE_LABEL), nullptr);
  // A modal prompt box.
  OMobj_id prompt = make("UIpromptBox", "modalPrompt", {{"visible", 1}, {"isModal", 1}});
  Widget p = shown(prompt);
  ASSERT_NE(p, nullptr);
  XtVaGetValues(p, XmNdialogStyle, &style, nullptr);
  EXPECT_EQ(style, XmDIALOG_FULL_APPLICATION_MODAL);
}

TEST_F(Dialogs, APromptBoxAppliesAndAccepts) {
  OMobj_id box = make("UIpromptBox", "prompt");
  OMset_str_val(sub(box, "prompt"), "Your name:");
  Widget w = shown(box);
  EXPECT_EQ(xmText(w, XmNselectionLabelString), "Your name:");
  Widget field = XmSelectionBoxGetChild(w, XmDIALOG_TEXT);
  uitest::typeText(field, "ada");
  uitest::click(XmSelectionBoxGetChild(w, XmDIALOG_APPLY_BUTTON));
  EXPECT_TRUE(uitest::pumpUntil([&] { return strOf(box, "text") == "ada"; }));
  EXPECT_EQ(intOf(box, "ok"), 1);
  EXPECT_TRUE(viewable(w)) << "Apply keeps the dialog up";
  // The object's text reaches the field; OK hides and destroys.
  OMset_str_val(sub(box, "text"), "grace");
  uitest::pumpFor(20);
  char* shownText = XmTextGetString(field);
  EXPECT_STREQ(shownText, "grace");
  XtFree(shownText);
  uitest::click(XmSelectionBoxGetChild(w, XmDIALOG_OK_BUTTON));
  EXPECT_TRUE(uitest::pumpUntil([&] { return bindingOf(box) == nullptr; }));
  EXPECT_EQ(intOf(box, "visible"), 0);
  EXPECT_EQ(strOf(box, "text"), "grace");
}

TEST_F(Dialogs, ASelectionBoxWritesTheChosenItem) {
  OMobj_id box = make("UIselectionBox", "choose", {{"visible", 0}});
  setStrings(box, "strings", {"alpha", "beta", "gamma", "delta"});
  OMset_int_val(sub(box, "stringdims"), 4);
  OMset_int_val(sub(box, "selectedItem"), 10);
  OMset_int_val(sub(box, "visible"), 1);
  Widget w = shown(box);
  Widget list = XmSelectionBoxGetChild(w, XmDIALOG_LIST);
  int* pos = nullptr;
  int n = 0;
  ASSERT_TRUE(XmListGetSelectedPos(list, &pos, &n));
  EXPECT_EQ(pos[0], 4) << "an index past the end is clamped to the last item";
  XtFree(reinterpret_cast<char*>(pos));
  // A user picks the third item and presses OK.
  Position x = 0, y = 0;
  Dimension iw = 0, ih = 0;
  ASSERT_TRUE(XmListPosToBounds(list, 3, &x, &y, &iw, &ih));
  uitest::click(list, x + 5, y + ih / 2);
  uitest::click(XmSelectionBoxGetChild(w, XmDIALOG_OK_BUTTON));
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(box, "ok") == 1; }));
  EXPECT_EQ(strOf(box, "text"), "gamma");
  EXPECT_EQ(intOf(box, "selectedItem"), 2);
  EXPECT_EQ(intOf(box, "visible"), 0);
}

TEST_F(Dialogs, AMultipleSelectionBoxSelectsAndWritesBack) {
  OMobj_id box = make("UImultiSelBox", "many", {{"visible", 0}});
  setStrings(box, "strings", {"red", "green", "blue"});
  OMset_int_val(sub(box, "stringdims"), 3);
  OMobj_id items = sub(box, "selectedItems");
  OMset_array_size(items, 2);
  OMset_int_array_val(items, 0, 0);
  OMset_int_array_val(items, 1, 2);
  OMset_int_val(sub(box, "visible"), 1);
  Widget w = shown(box);
  Widget list = XmSelectionBoxGetChild(w, XmDIALOG_LIST);
  EXPECT_TRUE(XmListPosSelected(list, 1));
  EXPECT_FALSE(XmListPosSelected(list, 2));
  EXPECT_TRUE(XmListPosSelected(list, 3));
  EXPECT_FALSE(XtIsManaged(XmSelectionBoxGetChild(w, XmDIALOG_TEXT)));
  // An index outside the items: reported, and nothing stays selected.
  OMset_int_array_val(items, 1, 7);
  uitest::pumpFor(20);
  ASSERT_EQ(uitest::reports().size(), 1u);
  EXPECT_EQ(uitest::reports()[0],
            "UImultiSelBox::updateSelectedItems: Selected item out of range.");
  EXPECT_FALSE(XmListPosSelected(list, 1));
  // By text: the first numSelectedItems entries.
  setStrings(box, "selectedText", {"green", "red"});
  OMset_int_val(sub(box, "numSelectedItems"), 1);
  uitest::pumpFor(20);
  EXPECT_TRUE(XmListPosSelected(list, 2));
  EXPECT_FALSE(XmListPosSelected(list, 1));
  // Ctrl-click adds blue; OK writes the selection back.
  Position x = 0, y = 0;
  Dimension iw = 0, ih = 0;
  ASSERT_TRUE(XmListPosToBounds(list, 3, &x, &y, &iw, &ih));
  uitest::movePointer(list, x + 5, y + ih / 2);
  XTestFakeKeyEvent(uitest::display(), XKeysymToKeycode(uitest::display(), XK_Control_L), True,
                    CurrentTime);
  uitest::click(list, x + 5, y + ih / 2);
  XTestFakeKeyEvent(uitest::display(), XKeysymToKeycode(uitest::display(), XK_Control_L), False,
                    CurrentTime);
  uitest::click(XmSelectionBoxGetChild(w, XmDIALOG_OK_BUTTON));
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(box, "ok") == 1; }));
  int size = 0;
  OMget_array_size(items, &size);
  ASSERT_EQ(size, 2);
  int a = -1, b = -1;
  OMget_int_array_val(items, 0, &a);
  OMget_int_array_val(items, 1, &b);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  char* text = nullptr;
  OMget_str_array_val(sub(box, "selectedText"), 1, &text, 0);
  EXPECT_STREQ(text, "blue");
  std::free(text);
}

TEST_F(Dialogs, AFontBoxListsTheServersFonts) {
  OMobj_id box = make("UIfontBox", "fonts");
  Widget w = shown(box);
  int dims = intOf(box, "stringdims");
  EXPECT_GT(dims, 0);
  int count = 0;
  XtVaGetValues(XmSelectionBoxGetChild(w, XmDIALOG_LIST), XmNitemCount, &count, nullptr);
  EXPECT_EQ(count, dims);
}

TEST_F(Dialogs, ADialogMovesToAnotherDisplay) {
  uitest::PrivateServer second;
  if (second.name().empty()) GTEST_SKIP() << "no second server";
  OMobj_id box = make("UImessageBox", "travel");
  Widget w = shown(box);
  EXPECT_EQ(XtDisplay(w), uitest::display());
  OMset_str_val(sub(box, "display"), second.name().c_str());
  ASSERT_TRUE(uitest::pumpUntil([&] {
    Widget now = UIobjIdToWidget(box);
    return now && XtDisplay(now) != uitest::display();
  }));
  Widget moved = UIobjIdToWidget(box);
  EXPECT_EQ(std::string(DisplayString(XtDisplay(moved))).find(second.name()), 0u);
  OMdestroy_obj(box, 0);
  made.pop_back();
  uitest::pumpFor(20);
  // The connection goes before its server does.
  UIgetDisplayContext(second.name().c_str())->closeDisplay();
}

}  // namespace
