// Window tools on a real server: font sets, pixels, pictures, compound strings, palette
// callbacks, text width and the container.
#include <gtest/gtest.h>

#include <X11/Shell.h>
#include <X11/Xutil.h>
#include <Xm/Label.h>
#include <Xm/Xm.h>
#include <unistd.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <vector>

#include "svc/container.h"
#include "svc/wt.h"
#include "x11_test.h"

namespace {

class WindowTools : public ::testing::Test {
 protected:
  void SetUp() override {
    std::setlocale(LC_ALL, "C.UTF-8");
    shell = uitest::newShell("wt");
    context = WTcreate_ext_display_context(shell);
    dir = std::filesystem::temp_directory_path() / ("wt_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
  }
  void TearDown() override {
    uitest::destroyWidget(shell);
    std::filesystem::remove_all(dir);
  }
  std::string writeKlt(const char* name, std::vector<unsigned char> pixels, unsigned w,
                       unsigned h) {
    std::vector<unsigned char> b{0, 0, 0, static_cast<unsigned char>(w),
                                 0, 0, 0, static_cast<unsigned char>(h)};
    b.insert(b.end(), pixels.begin(), pixels.end());
    std::string path = (dir / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<char*>(b.data()), static_cast<long>(b.size()));
    return path;
  }
  unsigned long pixmapPixel(Pixmap p, int x, int y) {
    XImage* image = XGetImage(uitest::display(), p, x, y, 1, 1, AllPlanes, ZPixmap);
    unsigned long v = XGetPixel(image, 0, 0) & 0xffffff;
    XDestroyImage(image);
    return v;
  }
  Widget shell = nullptr;
  WText_context* context = nullptr;
  std::filesystem::path dir;
};

TEST_F(WindowTools, OneContextPerDisplay) {
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(WTcreate_ext_display_context(shell), context);
  EXPECT_NE(context->handle, nullptr);
  EXPECT_EQ(WTcreate_ext_display_context(nullptr), nullptr);
}

TEST_F(WindowTools, FontSetsAreSharedAndFollowTheDescription) {
  long plain[WT_FONT_WORDS] = {};
  long bold[WT_FONT_WORDS] = {0, 12, 1, 0, 0, 0};
  WTfontset* a = WTinstall_fontset(uitest::display(), plain, 0);
  WTfontset* b = WTinstall_fontset(uitest::display(), bold, 4);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(WTinstall_fontset(uitest::display(), plain, 0), a);
  bold[WT_FONT_SIZE] = 99;  // not in the mask: ignored
  EXPECT_EQ(WTinstall_fontset(uitest::display(), bold, 4), b);
  XmString s = CSstr_to_Xm("Grüße, 世界");
  Dimension plainWidth = XmStringWidth(WTget_xmfontlist(a), s);
  Dimension boldWidth = XmStringWidth(WTget_xmfontlist(b), s);
  EXPECT_GT(plainWidth, 40);
  EXPECT_GT(boldWidth, plainWidth);
  long twelve[WT_FONT_WORDS] = {0, 12, 0, 0, 0, 0};
  EXPECT_EQ(UIget_xmfontlist(shell, 12, 0),
            WTget_xmfontlist(WTinstall_fontset(uitest::display(), twelve, 2)))
      << "the default for 12 points is the 12-point description";
  XmStringFree(s);
  EXPECT_EQ(WTget_xmfontlist(nullptr), nullptr);
}

TEST_F(WindowTools, Utf8LabelsRenderInTheDefaultFont) {
  XmString s = CSstr_to_Xm("Ärger über Öl");
  Widget label = XtVaCreateManagedWidget("label", xmLabelWidgetClass, shell, XmNlabelString, s,
                                         XmNfontList, UIget_xmfontlist(shell, 12, 0), XmNforeground,
                                         0x000000ul, XmNbackground, 0xfffffful, nullptr);
  XmStringFree(s);
  ASSERT_TRUE(uitest::showAndWait(shell, label));
  Dimension w = 0, h = 0;
  XtVaGetValues(label, XmNwidth, &w, XmNheight, &h, nullptr);
  int dark = 0;
  EXPECT_TRUE(uitest::pumpUntil([&] {
    dark = 0;
    for (int x = 0; x < w; x += 2)
      for (int y = 0; y < h; y += 2)
        if (uitest::pixelAt(label, x, y) < 0x808080) ++dark;
    return dark > 10;
  })) << "the text was drawn";
}

TEST_F(WindowTools, CompoundStringsTurnLineBreaksIntoSeparators) {
  XmString one = CSstr_to_Xm("one line");
  XmString three = CSstr_to_Xm("a\nb\n");
  XmString none = CSstr_to_Xm(nullptr);
  EXPECT_EQ(XmStringLineCount(one), 1);
  EXPECT_EQ(XmStringLineCount(three), 3);
  EXPECT_TRUE(XmStringEmpty(none));
  for (XmString s : {one, three, none}) XmStringFree(s);
}

// Every text reads as the toolkit's own parse of it makes it, byte for byte: plain ASCII (made
// without the parse), text with line breaks, tabs or other characters, none.
TEST_F(WindowTools, CompoundStringsAreThoseTheParseMakes) {
  auto bytes = [](XmString s) {
    unsigned char* stream = nullptr;
    unsigned n = XmCvtXmStringToByteStream(s, &stream);
    std::string out(reinterpret_cast<char*>(stream), n);
    XtFree(reinterpret_cast<char*>(stream));
    XmStringFree(s);
    return out;
  };
  for (const char* text : {"", "0", "19999", "hello world", " (A label, with: punctuation!) ~",
                           "tab\there", "two\nlines", "Grüße", "\x7f", "end\n"}) {
    std::string parsed =
        bytes(XmStringGenerate(const_cast<char*>(text), const_cast<char*>(XmFONTLIST_DEFAULT_TAG),
                               XmCHARSET_TEXT, nullptr));
    EXPECT_EQ(bytes(CSstr_to_Xm(text)), parsed) << text;
  }
  EXPECT_EQ(bytes(CSstr_to_Xm(nullptr)), bytes(CSstr_to_Xm("")));
}

// Thousands of multi-line texts made and freed leave nothing behind (the leak check of the
// sanitizer pass reports it at exit: made line by line, a few separators were lost).
TEST_F(WindowTools, ManyMultiLineCompoundStringsAreFreedWhole) {
  for (int i = 0; i < 5000; ++i) {
    XmString s = CSstr_to_Xm("two\nlines");
    ASSERT_EQ(XmStringLineCount(s), 2);
    XmStringFree(s);
  }
}

TEST_F(WindowTools, PixelsAndPicturesFromImageFiles) {
  const float red[3] = {1, 0, 0};
  EXPECT_EQ(WTget_pixel(context->handle, red, 0), 0xff0000ul);
  std::string path = writeKlt("two.x", {0, 255, 0, 0, 0, 0, 0, 255}, 2, 1);
  WTimage* image = WTinstall_pixmap(context->handle, path.c_str(), 1);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(WTinstall_pixmap(context->handle, path.c_str(), 1), image);
  Pixmap p = WTget_X_pixmap(image);
  ASSERT_NE(p, 0ul);
  EXPECT_EQ(WTget_X_pixmap(image), p) << "made once";
  EXPECT_EQ(pixmapPixel(p, 0, 0), 0xff0000ul);
  EXPECT_EQ(pixmapPixel(p, 1, 0), 0x0000fful);
  std::string broken = writeKlt("broken.x", {0, 1}, 4, 4);
  EXPECT_EQ(WTinstall_pixmap(context->handle, broken.c_str(), 1), nullptr);
  EXPECT_EQ(WTinstall_pixmap(context->handle, path.c_str(), 4), nullptr)
      << "a KLT file is not a bitmap";
  EXPECT_EQ(WTget_X_pixmap(nullptr), 0ul);
}

TEST_F(WindowTools, PaletteCallbacksRunUntilRemoved) {
  static int calls = 0;
  calls = 0;
  WTcontext_callback cb = [](WText_context*, int reason, Widget) { calls += reason + 1; };
  WTadd_ext_context_callback(context, 0, cb, shell);
  WTadd_ext_context_callback(context, 0, cb, shell);
  WTadd_ext_context_callback(context, 1, cb, shell);
  WTnotify_palette_change(context, 0);
  EXPECT_EQ(calls, 1) << "registered once per reason";
  WTnotify_palette_change(context, 1);
  EXPECT_EQ(calls, 3);
  WTdelete_ext_context_callback(context, 0, cb, shell);
  WTnotify_palette_change(context, 0);
  EXPECT_EQ(calls, 3);
  WTdelete_ext_context_callback(context, 1, cb, shell);
}

TEST_F(WindowTools, TextWidthGrowsWithTheText) {
  int a = WTtext_width_default("ab");
  int b = WTtext_width_default("abcdefgh");
  EXPECT_GT(a, 0);
  EXPECT_GT(b, a);
  EXPECT_EQ(WTtext_width_default(""), 0);
  EXPECT_EQ(WTtext_width_default(nullptr), 0);
}

TEST_F(WindowTools, TheContainerLeavesChildrenWhereTheyAre) {
  Widget box = XtVaCreateManagedWidget("box", containerWidgetClass, shell, XmNwidth, 180, XmNheight,
                                       90, nullptr);
  Widget child =
      XtVaCreateManagedWidget("child", xmLabelWidgetClass, box, XmNx, 30, XmNy, 40, XmNwidth, 50,
                              XmNheight, 20, XmNrecomputeSize, False, nullptr);
  ASSERT_TRUE(uitest::showAndWait(shell, child));
  Position x, y;
  Dimension w, h, bw, bh;
  XtVaGetValues(child, XmNx, &x, XmNy, &y, XmNwidth, &w, XmNheight, &h, nullptr);
  EXPECT_EQ(x, 30);
  EXPECT_EQ(y, 40);
  EXPECT_EQ(w, 50);
  EXPECT_EQ(h, 20);
  XtVaSetValues(child, XmNx, 300, XmNwidth, 400, nullptr);  // beyond the box: granted
  XtVaGetValues(child, XmNx, &x, XmNwidth, &w, nullptr);
  EXPECT_EQ(x, 300);
  EXPECT_EQ(w, 400);
  XtVaGetValues(box, XmNwidth, &bw, XmNheight, &bh, nullptr);
  EXPECT_EQ(bw, 200) << "the box has the shell's size, not its children's";
  EXPECT_EQ(bh, 100);
}

// The children's list stays in order whichever child leaves (the oldest, the newest, one in
// the middle, one in either half), children added after removals land at the end, and a
// container whose oldest children left is destroyed with its remaining children.
TEST_F(WindowTools, TheContainersChildrenListFollowsRemovalsAndAdditions) {
  Widget box = XtVaCreateManagedWidget("box", containerWidgetClass, shell, XmNwidth, 180, XmNheight,
                                       90, nullptr);
  ASSERT_TRUE(uitest::showAndWait(shell, box));
  std::vector<Widget> expected;
  int made = 0;
  auto add = [&] {
    std::string name = "c" + std::to_string(made++);
    expected.push_back(XtVaCreateManagedWidget(name.c_str(), xmLabelWidgetClass, box, XmNx,
                                               made % 9 * 20, XmNy, made / 9 * 20, nullptr));
  };
  auto listed = [&] {
    WidgetList children = nullptr;
    Cardinal count = 0;
    XtVaGetValues(box, XmNchildren, &children, XmNnumChildren, &count, nullptr);
    return std::vector<Widget>(children, children + count);
  };
  auto remove = [&](size_t at) {
    XtDestroyWidget(expected[at]);
    expected.erase(expected.begin() + static_cast<long>(at));
  };
  for (int i = 0; i < 12; ++i) add();
  ASSERT_EQ(listed(), expected);
  remove(0);  // the oldest
  remove(0);
  EXPECT_EQ(listed(), expected) << "after the two oldest left";
  remove(expected.size() - 1);  // the newest
  EXPECT_EQ(listed(), expected) << "after the newest left";
  remove(2);  // in the front half
  EXPECT_EQ(listed(), expected);
  remove(expected.size() - 3);  // in the back half
  EXPECT_EQ(listed(), expected);
  for (int i = 0; i < 20; ++i) add();  // more than the slots freed at the front
  EXPECT_EQ(listed(), expected) << "after children were added again";
  for (int i = 0; i < 5; ++i) remove(0);
  EXPECT_EQ(listed(), expected);
  // Destroyed while slots at the front of its list are free: its children go with it.
  int gone = 0;
  for (Widget w : expected)
    XtAddCallback(
        w, XmNdestroyCallback, [](Widget, XtPointer n, XtPointer) { ++*static_cast<int*>(n); },
        &gone);
  XtDestroyWidget(box);
  uitest::pumpFor(20);
  EXPECT_EQ(gone, static_cast<int>(expected.size()));
}

}  // namespace
