// Cursor objects on the shared server: names and numbers kept consistent, the cursor the
// pointer really shows (XFixes images against a reference window), windows realized later,
// switching off, recolouring, bitmap cursors good and bad, either side destroyed first, and
// no X cursor leaked by recolouring or reshaping.
#include <gtest/gtest.h>

#include <X11/cursorfont.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "om/om_scope.h"
#include "om/omx.h"
#include "svc/err.h"
#include "ui/UIcursor.h"
#include "ui/UIcursorP.h"
#include "ui/core.h"
#include "ui/layout.h"
#include "ui/misc.h"
#include "ui/picture.h"
#include "ui_test.h"
#include "x11_test.h"

int cursorCount(Display* dpy);

namespace {

struct Image {
  int width = 0, height = 0, xhot = 0, yhot = 0;
  std::vector<unsigned long> pixels;
  // The same shape: size, hot spot and the pixels drawn (the alpha channel); colours aside.
  bool operator==(const Image& o) const {
    if (width != o.width || height != o.height || xhot != o.xhot || yhot != o.yhot ||
        pixels.size() != o.pixels.size())
      return false;
    // Themed cursors may be animated: a few edge pixels change from frame to frame.
    size_t differ = 0;
    for (size_t i = 0; i < pixels.size(); ++i)
      differ += ((pixels[i] >> 24) >= 0x80) != ((o.pixels[i] >> 24) >= 0x80);
    return differ * 20 < pixels.size();
  }
};

Image grab(Display* dpy) {
  XSync(dpy, False);
  Image image;
  if (XFixesCursorImage* c = XFixesGetCursorImage(dpy)) {
    image.width = c->width;
    image.height = c->height;
    image.xhot = c->xhot;
    image.yhot = c->yhot;
    for (int i = 0; i < c->width * c->height; ++i)
      image.pixels.push_back(c->pixels[i] & 0xffffffffUL);
    XFree(c);
  }
  return image;
}

// The server moves the pointer from XTest input on a thread of its own: the picture is taken
// once it holds still.
Image currentCursor(Display* dpy) {
  Image last = grab(dpy);
  for (int i = 0; i < 20; ++i) {
    uitest::pumpFor(15);
    Image now = grab(dpy);
    if (now == last && now.pixels == last.pixels) return now;
    last = now;
  }
  return last;
}

class Cursors : public ::testing::Test {
 protected:
  void SetUp() override {
    uitest::startLibrary("cursor_test");
    dpy = uitest::display();
    static int n = 0;
    prefix = "c" + std::to_string(++n) + "_";
    window = make("UIshell", "win", OMnull_obj, {{"visible", 1}, {"width", 300}, {"height", 200}});
    ASSERT_TRUE(uitest::pumpUntil([&] { return viewable(UIobjIdToWidget(window)); }));
    uitest::reports().clear();
  }
  void TearDown() override {
    for (auto it = made.rbegin(); it != made.rend(); ++it) OMdestroy_obj(*it, 0);
    uitest::pumpFor(20);
    if (reference) XDestroyWindow(dpy, reference);
  }
  OMobj_id make(const char* type, const char* name, OMobj_id parent,
                std::vector<std::pair<const char*, int>> ints) {
    OMobj_id id = uitest::makeObject(type, prefix + name, parent, ints);
    made.push_back(id);
    return id;
  }
  OMobj_id fontCursor(const char* name, const char* shape) {
    OMobj_id place = uitest::instancePlace();
    OMpush_ctx(place, 0, 0, 0);
    OMobj_id c = make("UIfontCursor", name, OMnull_obj, {});
    if (shape) OMset_str_val(sub(c, "name"), shape);
    OMpop_ctx(place);
    return c;
  }
  OMobj_id label(const char* name, OMobj_id cursor, OMobj_id parent = OMnull_obj) {
    OMobj_id place = uitest::instancePlace();
    OMpush_ctx(place, 0, 0, 0);
    OMobj_id l = make("UIlabel", name, !parent ? window : parent,
                      {{"visible", 1}, {"x", 20}, {"y", 20}, {"width", 120}, {"height", 60}});
    if (!!cursor) OMset_obj_ref(sub(l, "cursor"), cursor, 0);
    OMpop_ctx(place);
    return l;
  }
  static bool viewable(Widget w) {
    XWindowAttributes attrs;
    return !UIisBeingDestroyed(w) && XtWindow(w) &&
           XGetWindowAttributes(XtDisplay(w), XtWindow(w), &attrs) && attrs.map_state == IsViewable;
  }
  static OMobj_id sub(OMobj_id id, const char* path) { return OMfind_str_subobj(id, path, 0); }
  static std::string text(OMobj_id id, const char* path) {
    OMtext t = OMget_text(sub(id, path));
    return t ? t.get() : "(unset)";
  }
  // What the pointer shows over the middle of the object's widget.
  Image over(OMobj_id id) {
    Widget w = UIobjIdToWidget(id);
    EXPECT_TRUE(uitest::pumpUntil([&] { return viewable(w); }));
    uitest::movePointer(w, 10, 10);
    uitest::pumpFor(30);
    return currentCursor(dpy);
  }
  // What the pointer shows over a bare window of the server with a font cursor.
  Image reference_(unsigned shape) {
    if (!reference) {
      XSetWindowAttributes a{};
      a.override_redirect = True;
      reference = XCreateWindow(dpy, DefaultRootWindow(dpy), 900, 700, 40, 40, 0, CopyFromParent,
                                InputOutput, CopyFromParent, CWOverrideRedirect, &a);
      XSelectInput(dpy, reference, StructureNotifyMask);
      XMapRaised(dpy, reference);
      XEvent e;
      do XWindowEvent(dpy, reference, StructureNotifyMask, &e);
      while (e.type != MapNotify);
    }
    Cursor c = XCreateFontCursor(dpy, shape);
    XDefineCursor(dpy, reference, c);
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), 910, 710, CurrentTime);
    uitest::pumpFor(30);
    Image image = currentCursor(dpy);
    XFreeCursor(dpy, c);
    return image;
  }

  Display* dpy = nullptr;
  Window reference = 0;
  std::string prefix;
  OMobj_id window = OMnull_obj;
  std::vector<OMobj_id> made;
};

TEST(CursorShapes, NamesAndNumbersMapBothWays) {
  EXPECT_EQ(UIcursorShapeOfName("watch"), 150);
  EXPECT_EQ(UIcursorShapeOfName("X_cursor"), 0);
  EXPECT_EQ(UIcursorShapeOfName("xterm"), 152);
  EXPECT_EQ(UIcursorShapeOfName("fleur"), 52);
  EXPECT_EQ(UIcursorShapeOfName("Watch"), -1);
  EXPECT_EQ(UIcursorShapeOfName(""), -1);
  EXPECT_EQ(UIcursorShapeOfName(nullptr), -1);
  EXPECT_EQ(UIcursorShapeOfNumber(151), 150);
  EXPECT_EQ(UIcursorShapeOfNumber(153), 152);
  EXPECT_EQ(UIcursorShapeOfNumber(154), 0);
  EXPECT_EQ(UIcursorShapeOfNumber(-1), 0);
  EXPECT_EQ(UIcursorShapeOfNumber(-2), 0);
}

TEST_F(Cursors, NameAndNumberAreKeptConsistent) {
  OMobj_id c = fontCursor("watch", "watch");
  EXPECT_EQ(uitest::intOf(c, "number"), 150);
  OMset_int_val(sub(c, "number"), 151);
  EXPECT_EQ(uitest::intOf(c, "number"), 150);
  EXPECT_EQ(text(c, "name"), "watch");
  OMset_int_val(sub(c, "number"), 52);
  EXPECT_EQ(text(c, "name"), "fleur");
  OMset_str_val(sub(c, "name"), "no_such_shape");
  EXPECT_EQ(uitest::intOf(c, "number"), 52) << "an unknown name changes nothing";
  OMset_str_val(sub(c, "name"), "xterm");
  OMset_int_val(sub(c, "number"), 500);
  EXPECT_EQ(uitest::intOf(c, "number"), 0) << "out of range: X_cursor";
  EXPECT_EQ(text(c, "name"), "xterm") << "an out-of-range number leaves the name";
  OMset_int_val(sub(c, "number"), -7);
  EXPECT_EQ(uitest::intOf(c, "number"), 0);
}

TEST_F(Cursors, TheWindowShowsTheShapeAndSwitchesWithIt) {
  Image fleur = reference_(XC_fleur), cross = reference_(XC_crosshair);
  ASSERT_GT(fleur.width, 0) << "XFixes gives cursor images";
  ASSERT_FALSE(fleur == cross);
  OMobj_id c = fontCursor("shape", "fleur");
  OMobj_id l = label("l", c);
  EXPECT_EQ(over(l), fleur);
  OMset_str_val(sub(c, "name"), "crosshair");
  EXPECT_EQ(over(l), cross);
  OMset_int_val(sub(c, "number"), 53);
  EXPECT_EQ(over(l), fleur);
}

TEST_F(Cursors, TheLayoutEditorShowsTheMoveCursorOnTheSelection) {
  Image fleur = reference_(XC_fleur), corner = reference_(XC_top_left_corner);
  ASSERT_GT(fleur.width, 0) << "XFixes gives cursor images";
  ASSERT_FALSE(fleur == corner);
  OMobj_id state = make("UIlayoutEditState", "edit", OMnull_obj, {{"edit", 1}});
  OMobj_id l = label("edited", OMnull_obj);
  OMset_int_val(sub(l, "layout.edit"), 1);
  Widget w = UIobjIdToWidget(l);
  Image before = over(l);
  ASSERT_FALSE(before == fleur) << "no move cursor before the selection";
  uitest::click(w, 60, 30, 2);
  uitest::pumpFor(20);
  ASSERT_EQ(UIlayout::state, 3);
  ASSERT_EQ(UIlayout::moveWidget, w);
  // Shown at once, before the pointer moves again.
  EXPECT_EQ(currentCursor(dpy), fleur);
  uitest::movePointer(w, 1, 1);  // the top-left handle
  uitest::pumpFor(30);
  EXPECT_EQ(currentCursor(dpy), corner);
  uitest::movePointer(w, 60, 30);  // back in the middle
  uitest::pumpFor(30);
  EXPECT_EQ(currentCursor(dpy), fleur);
  UIlayout::cleanUpLayoutState();
  EXPECT_EQ(over(l), before) << "the selection's end gives the widget its own cursor back";
  OMset_int_val(sub(state, "edit"), 0);
}

TEST_F(Cursors, OffOrUnlinkedShowsTheParentsCursor) {
  Image fleur = reference_(XC_fleur), hand = reference_(XC_hand2);
  OMobj_id panelCursor = fontCursor("pc", "hand2");
  OMobj_id place = uitest::instancePlace();
  OMpush_ctx(place, 0, 0, 0);
  OMobj_id panel = make("UIpanel", "p", window,
                        {{"visible", 1}, {"x", 0}, {"y", 0}, {"width", 280}, {"height", 180}});
  OMset_obj_ref(sub(panel, "cursor"), panelCursor, 0);
  OMpop_ctx(place);
  OMobj_id c = fontCursor("own", "fleur");
  OMobj_id l = label("l", c, panel);
  EXPECT_EQ(over(l), fleur);
  OMset_int_val(sub(c, "on"), 0);
  EXPECT_EQ(over(l), hand) << "off: the parent's cursor shows through";
  OMset_int_val(sub(c, "on"), 1);
  EXPECT_EQ(over(l), fleur);
  OMset_obj_ref(sub(l, "cursor"), OMnull_obj, 0);
  EXPECT_EQ(over(l), hand) << "a cursor link set to nothing undefines the cursor";
  OMset_int_val(sub(c, "number"), 34);
  EXPECT_EQ(over(l), hand) << "the cursor let the window go";
}

TEST_F(Cursors, AWindowMadeLaterGetsTheCursor) {
  Image fleur = reference_(XC_fleur);
  OMobj_id hidden =
      make("UIshell", "hidden", OMnull_obj, {{"visible", 0}, {"width", 200}, {"height", 120}});
  OMobj_id c = fontCursor("late", "fleur");
  OMobj_id l = label("leaf", c, hidden);
  uitest::pumpFor(50);
  Widget w = UIobjIdToWidget(l);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(XtWindow(w), 0u) << "the label has no window yet";
  OMset_int_val(sub(hidden, "visible"), 1);
  EXPECT_EQ(over(l), fleur);
}

TEST_F(Cursors, ReshapingAndRecolouringLeakNoCursor) {
  OMobj_id c = fontCursor("col", "fleur");
  OMobj_id l = label("l", c);
  over(l);
  int count = cursorCount(dpy);
  ASSERT_GE(count, 1) << "X-Resource counts cursors";
  for (int i = 0; i < 1000; ++i)
    OMset_str_val(sub(c, "color.foregroundColor"), i % 2 ? "#00ff00" : "#0000ff");
  for (int i = 0; i < 200; ++i) OMset_int_val(sub(c, "number"), (i % 70) * 2);
  EXPECT_EQ(cursorCount(dpy), count) << "a new cursor frees the one it replaces";
}

class PixmapCursors : public Cursors {
 protected:
  void SetUp() override {
    Cursors::SetUp();
    dir = std::filesystem::temp_directory_path() / ("cursor_test_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    oldPath = OMget_path(5);
    OMset_path(5, (dir.string() + ":" + oldPath).c_str());
  }
  void TearDown() override {
    Cursors::TearDown();
    OMset_path(5, oldPath.c_str());
    std::filesystem::remove_all(dir);
  }
  void write(const std::string& name, const std::string& body) {
    std::ofstream(dir / name) << body;
  }
  static std::string bitmap(const char* name, int w, int h, int xhot = -1, int yhot = -1) {
    std::string s = "#define " + std::string(name) + "_width " + std::to_string(w) + "\n" +
                    "#define " + name + "_height " + std::to_string(h) + "\n";
    if (xhot >= 0) s += "#define " + std::string(name) + "_x_hot " + std::to_string(xhot) + "\n";
    if (yhot >= 0) s += "#define " + std::string(name) + "_y_hot " + std::to_string(yhot) + "\n";
    s += "static unsigned char " + std::string(name) + "_bits[] = {";
    int n = (w + 7) / 8 * h;
    for (int i = 0; i < n; ++i) s += (i ? ", " : "") + std::string(i % 2 ? "0xff" : "0x0f");
    return s + "};\n";
  }
  OMobj_id pixmapCursor(const char* name, const char* source, const char* mask) {
    OMobj_id place = uitest::instancePlace();
    OMpush_ctx(place, 0, 0, 0);
    OMobj_id c = make("UIpixmapCursor", name, OMnull_obj, {});
    OMset_str_val(sub(c, "source.filename"), source);
    if (mask) OMset_str_val(sub(c, "mask.filename"), mask);
    OMpop_ctx(place);
    return c;
  }
  bool reported(const std::string& what) {
    for (const std::string& r : uitest::reports())
      if (r.find(what) != std::string::npos) return true;
    return false;
  }
  std::filesystem::path dir;
  std::string oldPath;
};

TEST_F(PixmapCursors, ABitmapCursorIsMadeWithItsSizeAndHotSpot) {
  write("arrow.xbm", bitmap("arrow", 16, 12, 3, 5));
  write("arrowmask.xbm", bitmap("arrowmask", 16, 12));
  OMobj_id c = pixmapCursor("pm", "arrow.xbm", "arrowmask.xbm");
  OMobj_id l = label("l", c);
  Image image = over(l);
  EXPECT_EQ(uitest::intOf(c, "width"), 16);
  EXPECT_EQ(uitest::intOf(c, "height"), 12);
  EXPECT_EQ(uitest::intOf(c, "hotX"), 3);
  EXPECT_EQ(uitest::intOf(c, "hotY"), 5);
  EXPECT_EQ(image.xhot, 3);
  EXPECT_EQ(image.yhot, 5);
  write("nohot.xbm", bitmap("nohot", 8, 8));
  OMset_str_val(sub(c, "mask.filename"), "");
  OMset_str_val(sub(c, "source.filename"), "nohot.xbm");
  uitest::pumpFor(20);
  EXPECT_EQ(uitest::intOf(c, "hotX"), 0) << "no hot spot in the file: 0, 0";
  EXPECT_EQ(uitest::intOf(c, "width"), 8);
  EXPECT_TRUE(uitest::reports().empty());
}

// Font cursors may come from a theme in full colour, which ignores recolouring; a bitmap
// cursor is drawn in the colours given.
TEST_F(PixmapCursors, RecolouringChangesTheColoursNotTheShape) {
  write("sq.xbm", bitmap("sq", 16, 16, 1, 1));
  OMobj_id c = pixmapCursor("rc", "sq.xbm", nullptr);
  OMobj_id l = label("l", c);
  Image before = over(l);
  auto has = [](const Image& image, unsigned long rgb) {
    for (unsigned long p : image.pixels)
      if ((p & 0xffffff) == rgb && (p >> 24) == 0xff) return true;
    return false;
  };
  OMset_str_val(sub(c, "color.foregroundColor"), "#ff0000");
  Image red = over(l);
  EXPECT_EQ(red, before);
  EXPECT_TRUE(has(red, 0xff0000)) << "the cursor's foreground is red";
  OMset_str_val(sub(c, "color.backgroundColor"), "#00ff00");
  EXPECT_TRUE(has(over(l), 0x00ff00)) << "and its background green";
  int count = cursorCount(dpy);
  for (int i = 0; i < 1000; ++i)
    OMset_str_val(sub(c, "color.foregroundColor"), i % 2 ? "#00ff00" : "#0000ff");
  EXPECT_EQ(cursorCount(dpy), count);
}

TEST_F(PixmapCursors, BadBitmapsLeaveTheCursorAsItWasAndSaySo) {
  write("good.xbm", bitmap("good", 16, 16, 1, 1));
  write("small.xbm", bitmap("small", 8, 8));
  write("hot.xbm", bitmap("hot", 8, 8, 8, 2));
  write("half.xbm", bitmap("half", 8, 8, 2, -1));
  write("junk.xbm", "#define junk_width 99999999\n#define junk_height -1\n{ 0xzz");
  write("short.xbm", "#define s_width 64\n#define s_height 64\nstatic char s_bits[] = {0x1};");
  OMobj_id c = pixmapCursor("bad", "good.xbm", nullptr);
  OMobj_id l = label("l", c);
  Image good = over(l);
  Cursor made = static_cast<UIpixmapCursor*>(UIcursor::of(c))->privatePart()->cursor();
  ASSERT_NE(made, 0u);
  struct Case {
    const char* source;
    const char* mask;
    const char* named;
  } const cases[] = {
      {"good.xbm", "small.xbm", "small.xbm"},   // a mask of another size
      {"hot.xbm", nullptr, "hot.xbm"},          // hot spot outside the source
      {"half.xbm", nullptr, "half.xbm"},        // only one hot-spot coordinate
      {"junk.xbm", nullptr, "junk.xbm"},        // not a bitmap
      {"short.xbm", nullptr, "short.xbm"},      // too little data
      {"missing.xbm", nullptr, "missing.xbm"},  // not there
  };
  for (const Case& k : cases) {
    uitest::reports().clear();
    {
      OMcontext ctx(c, OM_CTX_USER, OM_CTX_PLAIN);
      OMset_str_val(sub(c, "mask.filename"), k.mask ? k.mask : "");
      OMset_str_val(sub(c, "source.filename"), k.source);
    }
    uitest::pumpFor(10);
    EXPECT_TRUE(reported(k.named)) << k.source << " reported by name";
    EXPECT_EQ(static_cast<UIpixmapCursor*>(UIcursor::of(c))->privatePart()->cursor(), made)
        << k.source << ": the cursor stays";
    EXPECT_EQ(uitest::intOf(c, "width"), 16) << k.source;
    EXPECT_EQ(over(l), good) << k.source;
  }
}

TEST_F(PixmapCursors, HotSpotParsing) {
  write("a.xbm", bitmap("a", 10, 6, 9, 5));
  int w = 0, h = 0, x = -1, y = -1;
  std::string bits;
  EXPECT_EQ(UIreadXBitmap((dir / "a.xbm").c_str(), &w, &h, &bits, &x, &y), 0);
  EXPECT_EQ(x, 9);
  EXPECT_EQ(y, 5);
  write("b.xbm", bitmap("b", 10, 6, 2, 6));
  EXPECT_EQ(UIreadXBitmap((dir / "b.xbm").c_str(), &w, &h, &bits, &x, &y), 2);
  EXPECT_EQ(UIreadXBitmap((dir / "b.xbm").c_str(), &w, &h, &bits), 0)
      << "readers that do not ask for the hot spot are not refused";
}

TEST_F(Cursors, EitherSideMayGoFirst) {
  OMobj_id c1 = fontCursor("first", "watch");
  OMobj_id l1 = label("l1", c1);
  over(l1);
  OMdestroy_obj(l1, 0);  // the window first
  uitest::pumpFor(20);
  OMset_int_val(sub(c1, "number"), 52);
  OMset_str_val(sub(c1, "color.foregroundColor"), "red");
  OMdestroy_obj(c1, 0);

  OMobj_id c2 = fontCursor("second", "watch");
  OMobj_id hidden =
      make("UIshell", "h2", OMnull_obj, {{"visible", 0}, {"width", 100}, {"height", 80}});
  OMobj_id l2 = label("l2", c2, hidden);
  uitest::pumpFor(20);
  OMdestroy_obj(c2, 0);  // the cursor first, while its handler waits for the window
  OMset_int_val(sub(hidden, "visible"), 1);
  Image shown = over(l2);
  EXPECT_GT(shown.width, 0);
  OMset_int_val(sub(l2, "x"), 30);
  uitest::pumpFor(20);
}

}  // namespace
