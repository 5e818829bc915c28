// Labels, buttons, toggles and the tool-tip button on the shared server, with real input.
#include <gtest/gtest.h>

#include <X11/Shell.h>
#include <Xm/Label.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "svc/container.h"
#include "ui/Icon.h"
#include "ui/IconP.h"
#include "ui/label.h"
#include "ui/misc.h"
#include "ui/shell.h"
#include "ui_test.h"
#include "x11_test.h"

namespace {

using uitest::intOf;
namespace fs = std::filesystem;

std::string textOf(Widget w) {
  XmString s = nullptr;
  XtVaGetValues(w, XmNlabelString, &s, nullptr);
  char* text = nullptr;
  XmStringGetLtoR(s, const_cast<char*>(XmFONTLIST_DEFAULT_TAG), &text);
  std::string out = text ? text : "";
  XtFree(text);
  XmStringFree(s);
  return out;
}

class Controls : public ::testing::Test {
 protected:
  void SetUp() override {
    uitest::startLibrary("label_test");
    uitest::reports().clear();
    static int n = 0;
    prefix = "l" + std::to_string(++n) + "_";
    dir = fs::temp_directory_path() / ("label_test_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    oldPath = OMget_path(5);
    OMset_path(5, dir.c_str());
    window = make("UIshell", "win", OMnull_obj, {{"visible", 1}, {"width", 400}, {"height", 300}});
    ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(UIobjIdToWidget(window)); }));
  }
  void TearDown() override {
    for (auto it = made.rbegin(); it != made.rend(); ++it) OMdestroy_obj(*it, 0);
    uitest::pumpFor(20);
    OMset_path(5, oldPath.c_str());
    fs::remove_all(dir);
  }
  OMobj_id make(const char* type, const char* name, OMobj_id parent,
                std::vector<std::pair<const char*, int>> ints = {{"visible", 1}}) {
    OMobj_id id = uitest::makeObject(type, prefix + name, parent, ints);
    made.push_back(id);
    return id;
  }
  static bool viewable(Widget w) {
    XWindowAttributes attrs;
    return !UIisBeingDestroyed(w) && XtWindow(w) &&
           XGetWindowAttributes(XtDisplay(w), XtWindow(w), &attrs) && attrs.map_state == IsViewable;
  }
  OMobj_id sub(OMobj_id id, const char* path) { return OMfind_str_subobj(id, path, 0); }
  void writeBmp(const char* name) {
    std::vector<unsigned char> b{'B', 'M'};
    auto le32 = [&](uint32_t v) {
      for (int s = 0; s < 32; s += 8) b.push_back(static_cast<unsigned char>(v >> s));
    };
    le32(54 + 16), le32(0), le32(54), le32(40), le32(2), le32(2);
    b.push_back(1), b.push_back(0), b.push_back(24), b.push_back(0);
    for (int i = 0; i < 6; ++i) le32(0);
    for (int i = 0; i < 2; ++i) {
      for (int j = 0; j < 6; ++j) b.push_back(200);
      b.push_back(0), b.push_back(0);
    }
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<char*>(b.data()), static_cast<long>(b.size()));
  }

  std::string prefix;
  fs::path dir;
  std::string oldPath;
  OMobj_id window = OMnull_obj;
  std::vector<OMobj_id> made;
};

// The size of the font a widget draws its text with (0 for none).
int fontSizeOf(Widget w) {
  XmRenderTable table = nullptr;
  XtVaGetValues(w, XmNrenderTable, &table, nullptr);
  XmRendition r =
      table ? XmRenderTableGetRendition(table, const_cast<char*>(XmFONTLIST_DEFAULT_TAG)) : nullptr;
  if (!r) return 0;
  int size = 0;
  Arg args[1];
  XtSetArg(args[0], XmNfontSize, &size);
  XmRenditionRetrieve(r, args, 1);
  XmRenditionFree(r);
  return size;
}

// Fonts: a label made in a panel takes the panel's (a container has no font of its own to
// set), and a change of a label's own reaches its widget.
TEST_F(Controls, FontsComeFromThePanelAndFollowChanges) {
  OMobj_id place;
  ASSERT_EQ(OMget_array_subobj(OMinst_obj, 0, &place, 0), 1);
  OMobj_id panel = make("UIpanel", "fontPanel", window, {{"visible", 0}});
  OMset_int_val(sub(panel, "fontAttributes.size"), 18);
  OMset_int_val(sub(panel, "visible"), 1);
  OMobj_id inside = make("UIlabel", "fontInside", panel);
  Widget w = UIobjIdToWidget(inside);
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(w); }));
  EXPECT_EQ(fontSizeOf(w), 18) << "from its panel";
  OMset_int_val(sub(inside, "fontAttributes.size"), 9);
  EXPECT_TRUE(uitest::pumpUntil([&] { return fontSizeOf(w) == 9; })) << fontSizeOf(w);
  OMobj_id field = make("UIfield", "fontField", window);
  Widget f = UIobjIdToWidget(field);
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(f); }));
  OMset_int_val(sub(field, "fontAttributes.size"), 15);
  EXPECT_TRUE(uitest::pumpUntil([&] { return fontSizeOf(f) == 15; })) << fontSizeOf(f);
}

TEST_F(Controls, NamesAndAlignmentDefaults) {
  OMobj_id label = make("UIlabel", "nameless", window);
  OMobj_id button = make("UIbutton", "press", window, {{"visible", 1}, {"y", 40}});
  OMobj_id toggle = make("UItoggle", "flip", window, {{"visible", 1}, {"y", 80}});
  unsigned char a = 9;
  EXPECT_EQ(textOf(UIobjIdToWidget(label)), prefix + "nameless") << "no label: the name";
  XtVaGetValues(UIobjIdToWidget(label), XmNalignment, &a, nullptr);
  EXPECT_EQ(a, XmALIGNMENT_CENTER);
  XtVaGetValues(UIobjIdToWidget(button), XmNalignment, &a, nullptr);
  EXPECT_EQ(a, XmALIGNMENT_CENTER);
  XtVaGetValues(UIobjIdToWidget(toggle), XmNalignment, &a, nullptr);
  EXPECT_EQ(a, XmALIGNMENT_BEGINNING);
  OMset_str_val(sub(label, "label"), "Hello");
  EXPECT_EQ(textOf(UIobjIdToWidget(label)), "Hello");
  OMset_int_val(sub(label, "alignment"), 2);
  XtVaGetValues(UIobjIdToWidget(label), XmNalignment, &a, nullptr);
  EXPECT_EQ(a, XmALIGNMENT_END);
  EXPECT_EQ(intOf(button, "width"), 100) << "a button writes its default size";
  EXPECT_EQ(intOf(button, "height"), 28);
}

// A text set on its own is applied alone; with other changes every one of them applies.
TEST_F(Controls, TextSetAloneOrWithOtherChangesAppliesWhatChanged) {
  OMobj_id label = make("UIlabel", "texts", window);
  OMobj_id toggle = make("UItoggle", "textsToggle", window, {{"visible", 1}, {"y", 40}});
  Widget lw = UIobjIdToWidget(label), tw = UIobjIdToWidget(toggle);
  for (OMobj_id id : {label, toggle}) OMset_str_val(sub(id, "label"), "alone");
  EXPECT_EQ(textOf(lw), "alone");
  EXPECT_EQ(textOf(tw), "alone");
  for (OMobj_id id : {label, toggle}) {
    OMpush_ctx(id, OM_CTX_USER, 0, 0);
    OMset_str_val(sub(id, "label"), "together");
    OMset_int_val(sub(id, "alignment"), 2);
    OMset_int_val(sub(id, "x"), 150);
    OMset_str_val(sub(id, "color.foregroundColor"), "#00ff00");
    OMpop_ctx(id);
  }
  for (Widget w : {lw, tw}) {
    unsigned char a = 9;
    Position x = 0;
    Pixel fg = 0;
    XtVaGetValues(w, XmNalignment, &a, XmNx, &x, XmNforeground, &fg, nullptr);
    EXPECT_EQ(textOf(w), "together") << XtName(w);
    EXPECT_EQ(a, XmALIGNMENT_END) << XtName(w);
    EXPECT_EQ(x, 150) << XtName(w);
    EXPECT_EQ(fg, 0x00ff00ul) << XtName(w);
  }
  // Twice the same property in one context is still that property alone.
  OMpush_ctx(label, OM_CTX_USER, 0, 0);
  OMset_str_val(sub(label, "label"), "first");
  OMset_str_val(sub(label, "label"), "second");
  OMpop_ctx(label);
  EXPECT_EQ(textOf(lw), "second");
  OMset_obj_val(sub(label, "label"), OMnull_obj, 0);
  EXPECT_EQ(textOf(lw), prefix + "texts") << "unset: the name again";
}

// A change inside a window reaches every control in it; the controls it does not concern keep
// what they show, and one that refers to the changed object follows it.
TEST_F(Controls, AChangeInsideAWindowReachesWhoReadsItAndLeavesTheRest) {
  OMobj_id source = make("UIlabel", "source", window);
  OMobj_id plain = make("UIlabel", "plain", window, {{"visible", 1}, {"y", 40}});
  OMobj_id follower = make("UIbutton", "follower", window, {{"visible", 1}, {"y", 80}});
  OMobj_id toggle = make("UItoggle", "still", window, {{"visible", 1}, {"y", 120}});
  OMset_str_val(sub(plain, "label"), "mine");
  OMset_str_val(sub(toggle, "label"), "toggle's");
  ASSERT_EQ(OMset_obj_ref(sub(follower, "label"), sub(source, "label"), 0), 1);
  OMset_str_val(sub(source, "label"), "first");
  EXPECT_EQ(textOf(UIobjIdToWidget(follower)), "first");
  OMset_str_val(sub(source, "label"), "second");
  EXPECT_EQ(textOf(UIobjIdToWidget(follower)), "second") << "through the link, in the window";
  EXPECT_EQ(textOf(UIobjIdToWidget(source)), "second");
  EXPECT_EQ(textOf(UIobjIdToWidget(plain)), "mine");
  EXPECT_EQ(textOf(UIobjIdToWidget(toggle)), "toggle's");
  // The window's own change, then a control's move to another window: each still applied.
  OMset_int_val(sub(window, "width"), 420);
  OMobj_id other = make("UIshell", "other", OMnull_obj, {{"visible", 1}, {"width", 200}});
  ASSERT_EQ(OMset_obj_ref(sub(plain, "parent"), other, 0), 1);
  uitest::pumpFor(50);
  Widget moved = UIobjIdToWidget(plain);
  ASSERT_TRUE(moved);
  EXPECT_EQ(textOf(moved), "mine");
  Widget shellOfMoved = moved;
  while (shellOfMoved && !XtIsShell(shellOfMoved)) shellOfMoved = XtParent(shellOfMoved);
  Widget shellOfOther = UIobjIdToWidget(other);
  while (shellOfOther && !XtIsShell(shellOfOther)) shellOfOther = XtParent(shellOfOther);
  EXPECT_EQ(shellOfMoved, shellOfOther) << "the link's own change is applied";
}

TEST_F(Controls, PictureTypesAreDerivedOrRefused) {
  writeBmp("square.bmp");
  OMobj_id label = make("UIlabel", "pic", window, {{"visible", 1}, {"width", 40}, {"height", 40}});
  Widget w = UIobjIdToWidget(label);
  OMset_str_val(sub(label, "labelPixmap.filename"), "square.bmp");
  ASSERT_EQ(uitest::reports().size(), 1u);
  EXPECT_EQ(uitest::reports()[0],
            "UIlabel::setPixmap: File type not specified. Assuming bitmap image file type.");
  char* type = nullptr;
  ASSERT_EQ(OMget_str_val(sub(label, "labelPixmap.fileType"), &type, 0), 1);
  EXPECT_STREQ(type, "bitmap");
  std::free(type);
  unsigned char labelType = 0;
  Pixmap face = 0;
  XtVaGetValues(w, XmNlabelType, &labelType, XmNlabelPixmap, &face, nullptr);
  EXPECT_EQ(labelType, XmPIXMAP);
  uitest::reports().clear();
  OMset_str_val(sub(label, "labelPixmap.fileType"), "klt_image");
  ASSERT_EQ(uitest::reports().size(), 1u);
  EXPECT_EQ(uitest::reports()[0],
            "UIlabel::setPixmap: Error for file " + (dir / "square.bmp").string() +
                ". KLT image files must have a .x file extension. No action taken.");
  Pixmap after = 0;
  XtVaGetValues(w, XmNlabelPixmap, &after, nullptr);
  EXPECT_EQ(after, face) << "the label keeps its face";
}

// A button's armed picture follows its file: shown once there is one, taken away (and the
// missing file reported) when the file named is not there.
TEST_F(Controls, AnArmedPictureComesWithItsFileAndGoesWithIt) {
  writeBmp("armed.bmp");
  OMobj_id button =
      make("UIbutton", "armedb", window, {{"visible", 1}, {"width", 40}, {"height", 40}});
  Widget w = UIobjIdToWidget(button);
  auto armed = [&] {
    Pixmap p = 0;
    XtVaGetValues(w, XmNarmPixmap, &p, nullptr);
    return p;
  };
  EXPECT_EQ(armed(), XmUNSPECIFIED_PIXMAP);
  OMset_str_val(sub(button, "armedPixmap.fileType"), "bitmap");
  OMset_str_val(sub(button, "armedPixmap.filename"), "armed.bmp");
  EXPECT_NE(armed(), XmUNSPECIFIED_PIXMAP);
  EXPECT_TRUE(uitest::reports().empty());
  OMset_str_val(sub(button, "armedPixmap.filename"), "gone.bmp");
  EXPECT_EQ(armed(), XmUNSPECIFIED_PIXMAP);
  ASSERT_EQ(uitest::reports().size(), 1u);
  EXPECT_EQ(uitest::reports()[0], "UIbutton::setArmedPixmap: Couldn't find file gone.bmp.");
}

TEST_F(Controls, ToolTipsFollowEnableAndPictures) {
  writeBmp("square.bmp");
  OMobj_id picture =
      make("UIbutton", "picb", window, {{"visible", 1}, {"width", 40}, {"height", 40}});
  OMset_str_val(sub(picture, "labelPixmap.filename"), "square.bmp");
  OMset_str_val(sub(picture, "labelPixmap.fileType"), "bitmap");
  OMset_int_val(sub(picture, "toolTip.placement"), 1);  // a tool-tip change: enable unset
  Boolean show = False;
  XtVaGetValues(UIobjIdToWidget(picture), XmNshowLabel, &show, nullptr);
  EXPECT_TRUE(show) << "a picture button without \"enable\" shows its tip";
  OMset_int_val(sub(picture, "toolTip.enable"), 2);
  XtVaGetValues(UIobjIdToWidget(picture), XmNshowLabel, &show, nullptr);
  EXPECT_FALSE(show) << "enable 2: never";
  OMobj_id text = make("UIbutton", "textb", window, {{"visible", 1}, {"y", 60}});
  OMset_int_val(sub(text, "toolTip.enable"), 0);
  XtVaGetValues(UIobjIdToWidget(text), XmNshowLabel, &show, nullptr);
  EXPECT_FALSE(show) << "a text button with enable 0 shows none";
}

TEST_F(Controls, ATipMessageIsTheTipsTextNotTheButtonsFace) {
  OMobj_id text = make("UIbutton", "textb", window, {{"visible", 1}, {"x", 150}, {"y", 120}});
  OMset_str_val(sub(text, "label"), "Go");
  OMset_int_val(sub(text, "toolTip.delayTime"), 20);
  OMset_int_val(sub(text, "toolTip.enable"), 1);
  OMset_str_val(sub(text, "toolTip.message"), "Starts it");
  Widget w = UIobjIdToWidget(text);
  EXPECT_EQ(textOf(w), "Go") << "the face keeps the label";
  XmIconPart& icon = reinterpret_cast<XmIconWidget>(w)->icon;
  auto tipUp = [&] { return icon.shell && viewable(icon.shell); };
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(w); }));
  uitest::movePointer(w, 5, 5);
  ASSERT_TRUE(uitest::pumpUntil(tipUp));
  EXPECT_EQ(textOf(icon.label), "Starts it");
  OMset_str_val(sub(text, "toolTip.message"), "Starts it now");
  EXPECT_EQ(textOf(icon.label), "Starts it now") << "a new message reaches the tip";
  OMset_str_val(sub(text, "label"), "Run");
  EXPECT_EQ(textOf(w), "Run");
  EXPECT_EQ(textOf(icon.label), "Starts it now") << "a new label leaves the message alone";
  uitest::movePointer(UIobjIdToWidget(window), 390, 290);
  EXPECT_TRUE(uitest::pumpUntil([&] { return !tipUp(); }, 2000));

  // A picture button shows its message in the tip, as before.
  writeBmp("square.bmp");
  OMobj_id picture = make("UIbutton", "picb", window,
                          {{"visible", 1}, {"x", 20}, {"y", 20}, {"width", 40}, {"height", 40}});
  OMset_str_val(sub(picture, "labelPixmap.filename"), "square.bmp");
  OMset_str_val(sub(picture, "labelPixmap.fileType"), "bitmap");
  OMset_int_val(sub(picture, "toolTip.delayTime"), 20);
  OMset_str_val(sub(picture, "toolTip.message"), "A square");
  Widget pw = UIobjIdToWidget(picture);
  XmIconPart& picon = reinterpret_cast<XmIconWidget>(pw)->icon;
  unsigned char labelType = 0;
  XtVaGetValues(pw, XmNlabelType, &labelType, nullptr);
  EXPECT_EQ(labelType, XmPIXMAP);
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(pw); }));
  uitest::movePointer(pw, 5, 5);
  ASSERT_TRUE(uitest::pumpUntil([&] { return picon.shell && viewable(picon.shell); }));
  EXPECT_EQ(textOf(picon.label), "A square");
  uitest::movePointer(UIobjIdToWidget(window), 390, 290);
  EXPECT_TRUE(uitest::pumpUntil([&] { return !viewable(picon.shell); }, 2000));
}

TEST_F(Controls, ClicksWriteDoAndTogglesSetWithoutEcho) {
  OMobj_id button = make("UIbutton", "go", window, {{"visible", 1}, {"x", 10}, {"y", 10}});
  OMobj_id toggle = make("UItoggle", "opt", window, {{"visible", 1}, {"x", 10}, {"y", 60}});
  Widget b = UIobjIdToWidget(button), t = UIobjIdToWidget(toggle);
  ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(b) && viewable(t); }));
  uitest::click(b);
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(button, "do") == 1; }));
  uitest::click(t, 8, 14);
  EXPECT_TRUE(uitest::pumpUntil([&] { return intOf(toggle, "do") == 1; }));
  EXPECT_EQ(intOf(toggle, "set"), 1);
  EXPECT_TRUE(XmToggleButtonGetState(t));
  // From the object: the widget follows, nothing is written back.
  OMset_int_val(sub(toggle, "do"), 0);
  int doStamp = OMget_obj_seq(sub(toggle, "do"), OMnull_obj, 0);
  OMset_int_val(sub(toggle, "set"), 0);
  EXPECT_FALSE(XmToggleButtonGetState(t));
  EXPECT_EQ(OMget_obj_seq(sub(toggle, "do"), OMnull_obj, 0), doStamp) << "no echo";
  EXPECT_EQ(intOf(toggle, "set"), 0);
}

void kltPalette() {
  setenv("KLT_UI_GAMMA", "1", 1);  // gamma 1: the palette's colours arrive unchanged
  uitest::startLibrary("label_test_palette");
  std::string path =
      (fs::temp_directory_path() / ("palette_" + std::to_string(::getpid()) + ".x")).string();
  const unsigned char bytes[] = {0, 0, 0, 2, 0, 0, 0, 1, 0, 200, 200, 200, 0, 255, 0, 128};
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes), sizeof bytes);
  Widget shell = uitest::newShell("palette");
  Pixmap p = UIKLTImageToPixmap(shell, path.c_str());
  std::remove(path.c_str());
  if (p == XmUNSPECIFIED_PIXMAP) std::exit(3);
  XImage* image = XGetImage(uitest::display(), p, 0, 0, 2, 1, AllPlanes, ZPixmap);
  unsigned long grey = XGetPixel(image, 0, 0) & 0xffffff, pink = XGetPixel(image, 1, 0) & 0xffffff;
  std::exit(grey == 0xd8d8d8 && pink == 0xff00aa ? 0 : 4);
}

TEST(KltPalette, GreyAndColourEntries) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // the gamma is fixed once a process
  EXPECT_EXIT(kltPalette(), ::testing::ExitedWithCode(0), "");
}

// ---- The tool-tip button -------------------------------------------------------------------

class ToolTip : public Controls {
 protected:
  Widget icon(std::vector<Arg> args) {
    Widget area = UIobjIdToWidget(window);
    Widget w = XmCreateIcon(area, const_cast<char*>("tipped"), args.data(),
                            static_cast<Cardinal>(args.size()));
    XtVaSetValues(w, XmNx, 50, XmNy, 50, nullptr);
    XtManageChild(w);
    uitest::pumpUntil([&] { return viewable(w); });
    return w;
  }
  XmIconPart& part(Widget w) { return reinterpret_cast<XmIconWidget>(w)->icon; }
  bool tipShown(Widget w) { return part(w).shell && viewable(part(w).shell); }
};

TEST_F(ToolTip, NoTipWhenShowLabelIsOff) {
  Arg a[1];
  XtSetArg(a[0], XmNshowLabel, False);
  Widget w = icon({a[0]});
  uitest::movePointer(w, 5, 5);
  uitest::pumpFor(30);
  EXPECT_EQ(part(w).display_timer, 0ul) << "no timer started";
  uitest::pumpFor(100);
  EXPECT_FALSE(tipShown(w));
  uitest::movePointer(UIobjIdToWidget(window), 300, 250);
  XtDestroyWidget(w);
}

TEST_F(ToolTip, EnterAndLeaveWithinTheDelayShowsNothing) {
  Arg a[1];
  XtSetArg(a[0], XmNdisplayDelay, 300);
  Widget w = icon({a[0]});
  uitest::movePointer(w, 5, 5);
  uitest::movePointer(UIobjIdToWidget(window), 300, 250);
  uitest::pumpFor(450);
  EXPECT_FALSE(tipShown(w));
  EXPECT_EQ(part(w).display_timer, 0ul);
  XtDestroyWidget(w);
}

TEST_F(ToolTip, ShownBelowFollowsTheLabelAndGoesAfterLeaving) {
  Arg a[2];
  XtSetArg(a[0], XmNdisplayDelay, 20);
  XtSetArg(a[1], XmNdisplayPlacement, 7);  // any other value: below
  Widget w = icon({a[0], a[1]});
  XmString s = XmStringCreateLocalized(const_cast<char*>("first"));
  XtVaSetValues(w, XmNlabelString, s, nullptr);
  XmStringFree(s);
  uitest::movePointer(w, 5, 5);
  ASSERT_TRUE(uitest::pumpUntil([&] { return tipShown(w); }));
  Position tipY = 0;
  XtVaGetValues(part(w).shell, XmNy, &tipY, nullptr);
  int rootX = 0, rootY = 0;
  Window child;
  XTranslateCoordinates(XtDisplay(w), XtWindow(w), DefaultRootWindow(XtDisplay(w)), 0, 0, &rootX,
                        &rootY, &child);
  EXPECT_GE(tipY, rootY + w->core.height) << "below the button";
  EXPECT_EQ(textOf(part(w).label), "first");
  s = XmStringCreateLocalized(const_cast<char*>("second"));
  XtVaSetValues(w, XmNlabelString, s, nullptr);
  XmStringFree(s);
  EXPECT_EQ(textOf(part(w).label), "second") << "the tip follows the label";
  uitest::movePointer(UIobjIdToWidget(window), 300, 250);
  EXPECT_TRUE(uitest::pumpUntil([&] { return !tipShown(w); }, 2000));
  XtDestroyWidget(w);
}

TEST_F(ToolTip, ItsOwnTextLeavesTheFaceAndFallsBackToTheLabel) {
  Arg a[2];
  XmString own = XmStringCreateLocalized(const_cast<char*>("own text"));
  XtSetArg(a[0], XmNdisplayDelay, 20);
  XtSetArg(a[1], XmNtipString, own);
  Widget w = icon({a[0], a[1]});
  XmStringFree(own);  // the widget keeps a copy
  XmString s = XmStringCreateLocalized(const_cast<char*>("face"));
  XtVaSetValues(w, XmNlabelString, s, nullptr);
  XmStringFree(s);
  uitest::movePointer(w, 5, 5);
  ASSERT_TRUE(uitest::pumpUntil([&] { return tipShown(w); }));
  EXPECT_EQ(textOf(part(w).label), "own text");
  EXPECT_EQ(textOf(w), "face");
  XmString got = nullptr;
  XtVaGetValues(w, XmNtipString, &got, nullptr);
  ASSERT_NE(got, nullptr);
  XmStringFree(got);  // a copy of the caller's own
  XtVaSetValues(w, XmNtipString, nullptr, nullptr);
  EXPECT_EQ(textOf(part(w).label), "face") << "unset: the label string, as before";
  s = XmStringCreateLocalized(const_cast<char*>("face two"));
  XtVaSetValues(w, XmNlabelString, s, nullptr);
  XmStringFree(s);
  EXPECT_EQ(textOf(part(w).label), "face two");
  uitest::movePointer(UIobjIdToWidget(window), 390, 290);
  EXPECT_TRUE(uitest::pumpUntil([&] { return !tipShown(w); }, 2000));
  XtDestroyWidget(w);
}

// The tip's outer rectangle against the button's (border included), in root coordinates.
TEST_F(ToolTip, NoPlacementCoversTheButton) {
  for (int placement :
       {int{XmICON_ABOVE}, int{XmICON_BELOW}, int{XmICON_RIGHT}, int{XmICON_LEFT}, 7}) {
    SCOPED_TRACE(placement);
    Arg a[3];
    XtSetArg(a[0], XmNdisplayDelay, 20);
    XtSetArg(a[1], XmNdisplayPlacement, placement);
    XtSetArg(a[2], XmNborderWidth, 2);
    Widget w = icon({a[0], a[1], a[2]});
    XtVaSetValues(w, XmNx, 150, XmNy, 120, XmNwidth, 90, XmNheight, 28, nullptr);
    XmString s = XmStringCreateLocalized(const_cast<char*>("a tip of some length"));
    XtVaSetValues(w, XmNlabelString, s, nullptr);
    XmStringFree(s);
    uitest::pumpFor(20);
    uitest::movePointer(w, 45, 2);  // the top rows, where a covering tip would sit
    ASSERT_TRUE(uitest::pumpUntil([&] { return tipShown(w); }));
    Widget tip = part(w).shell;
    XWindowAttributes at;
    XGetWindowAttributes(XtDisplay(tip), XtWindow(tip), &at);
    int tx = 0, ty = 0, wx = 0, wy = 0;
    Window child;
    Window root = DefaultRootWindow(XtDisplay(w));
    XTranslateCoordinates(XtDisplay(w), XtWindow(tip), root, 0, 0, &tx, &ty, &child);
    XTranslateCoordinates(XtDisplay(w), XtWindow(w), root, 0, 0, &wx, &wy, &child);
    int b = w->core.border_width;
    int left = wx - b, top = wy - b, right = wx + w->core.width + b,
        bottom = wy + w->core.height + b;
    int tLeft = tx - at.border_width, tTop = ty - at.border_width,
        tRight = tx + at.width + at.border_width, tBottom = ty + at.height + at.border_width;
    bool overlaps = tLeft < right && tRight > left && tTop < bottom && tBottom > top;
    EXPECT_FALSE(overlaps) << "tip " << tLeft << "," << tTop << " to " << tRight << "," << tBottom
                           << "; button " << left << "," << top << " to " << right << "," << bottom;
    switch (placement) {
      case XmICON_ABOVE:
        EXPECT_LE(tBottom, top) << "above";
        break;
      case XmICON_RIGHT:
        EXPECT_GE(tLeft, right) << "right";
        break;
      case XmICON_LEFT:
        EXPECT_LE(tRight, left) << "left";
        break;
      default:
        EXPECT_GE(tTop, bottom) << "below";
        break;
    }
    uitest::pumpFor(300);  // a leave check or two: the tip stays while the pointer does
    EXPECT_TRUE(tipShown(w));
    uitest::movePointer(UIobjIdToWidget(window), 390, 290);
    EXPECT_TRUE(uitest::pumpUntil([&] { return !tipShown(w); }, 2000));
    XtDestroyWidget(w);
    uitest::pumpFor(20);
  }
}

TEST_F(ToolTip, DestroyingWithATipPendingFiresNoTimer) {
  Arg a[1];
  XtSetArg(a[0], XmNdisplayDelay, 100);
  Widget w = icon({a[0]});
  uitest::movePointer(w, 5, 5);
  ASSERT_TRUE(uitest::pumpUntil([&] { return part(w).display_timer != 0; }));
  XtDestroyWidget(w);
  uitest::pumpFor(250);  // the timer would have fired on the freed widget by now
  uitest::movePointer(UIobjIdToWidget(window), 300, 250);
  SUCCEED();
}

}  // namespace
