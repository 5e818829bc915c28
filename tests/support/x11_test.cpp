// The x11 test bench.
#include "x11_test.h"

#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <sys/select.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace uitest {

namespace {

struct Bench {
  XtAppContext app = nullptr;
  Display* dpy = nullptr;
  std::string name;
};

Bench& benchState() {
  static Bench b;
  return b;
}

Bench& bench() {
  Bench& b = benchState();
  if (b.dpy) return b;
  b.name = fixtureDisplayName();
  waitForServer(b.name);
  XtToolkitInitialize();
  b.app = XtCreateApplicationContext();
  int argc = 1;
  char arg0[] = "uitest";
  char* argv[] = {arg0, nullptr};
  for (int attempt = 0; attempt < 40 && !b.dpy; ++attempt) {
    errno = 0;
    b.dpy = XOpenDisplay(b.name.c_str());
    if (!b.dpy && (errno == EAGAIN || errno == ECONNRESET))
      usleep(50000);  // busy or resetting
    else
      break;
  }
  if (b.dpy) XtDisplayInitialize(b.app, b.dpy, "uitest", "UItest", nullptr, 0, &argc, argv);
  if (!b.dpy) {
    std::fprintf(stderr, "cannot open the test display '%s'\n", b.name.c_str());
    std::abort();
  }
  int ev, err, major, minor;
  if (!XTestQueryExtension(b.dpy, &ev, &err, &major, &minor)) {
    std::fprintf(stderr, "the test display has no XTest\n");
    std::abort();
  }
  return b;
}

using Clock = std::chrono::steady_clock;

void dispatchPending() {
  XtAppContext app = bench().app;
  XSync(bench().dpy, False);
  while (XtAppPending(app)) XtAppProcessEvent(app, XtIMAll);
}

void center(Widget w, int* x, int* y) {
  Dimension width = 0, height = 0;
  XtVaGetValues(w, XtNwidth, &width, XtNheight, &height, nullptr);
  if (*x < 0) *x = width / 2;
  if (*y < 0) *y = height / 2;
}

}  // namespace

void adopt(Display* display, XtAppContext app) {
  Bench& b = benchState();
  b.dpy = display;
  b.app = app;
  b.name = DisplayString(display);
}

std::string fixtureDisplayName() {
  std::ifstream file(UI_TEST_DISPLAY_FILE);
  std::string number;
  if (file >> number) return ":" + number;
  const char* env = std::getenv("DISPLAY");
  return env ? env : "";
}

bool waitForServer(const std::string& name) {
  for (int i = 0; i < 100; ++i) {
    if (Display* d = XOpenDisplay(name.c_str())) {
      XCloseDisplay(d);
      return true;
    }
    usleep(100000);
  }
  return false;
}

PrivateServer::PrivateServer() {
  std::string error;
  name_ = server_.start(&error, "1024x768x24");
}

PrivateServer::~PrivateServer() = default;

Display* display() {
  return bench().dpy;
}
XtAppContext appContext() {
  return bench().app;
}
std::string displayName() {
  return bench().name;
}

bool pumpUntil(const std::function<bool()>& pred, int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    dispatchPending();
    if (pred()) return true;
    if (Clock::now() >= deadline) return pred();
    // Wait for input (or a timer) for a short while instead of spinning.
    int fd = ConnectionNumber(bench().dpy);
    fd_set fds;
    FD_ZERO(&fds);
    FD_SET(fd, &fds);
    timeval tv{0, 5000};
    select(fd + 1, &fds, nullptr, nullptr, &tv);
  }
}

void pumpFor(int ms) {
  pumpUntil([] { return false; }, ms);
}

Widget newShell(const char* name) {
  Arg args[2];
  XtSetArg(args[0], XtNwidth, 200);
  XtSetArg(args[1], XtNheight, 100);
  return XtAppCreateShell(name, "UItest", topLevelShellWidgetClass, display(), args, 2);
}

bool showAndWait(Widget shell, Widget w) {
  XtRealizeWidget(shell);
  return pumpUntil([w] {
    XWindowAttributes attrs;
    return XtWindow(w) && XGetWindowAttributes(XtDisplay(w), XtWindow(w), &attrs) &&
           attrs.map_state == IsViewable;
  });
}

void movePointer(Widget w, int x, int y) {
  Display* dpy = XtDisplayOfObject(w);
  // A gadget has no window: it lies in its parent's, at its own position there.
  if (!XtIsWidget(w)) {
    Position gx = 0, gy = 0;
    XtVaGetValues(w, XtNx, &gx, XtNy, &gy, nullptr);
    x += gx;
    y += gy;
  }
  int rootX = 0, rootY = 0;
  Window child;
  XTranslateCoordinates(dpy, XtWindowOfObject(w), DefaultRootWindow(dpy), x, y, &rootX, &rootY,
                        &child);
  XTestFakeMotionEvent(dpy, DefaultScreen(dpy), rootX, rootY, CurrentTime);
  XSync(dpy, False);
  pumpFor(10);
}

void pressButton(int button) {
  XTestFakeButtonEvent(display(), static_cast<unsigned>(button), True, CurrentTime);
  XSync(display(), False);
}

void releaseButton(int button) {
  XTestFakeButtonEvent(display(), static_cast<unsigned>(button), False, CurrentTime);
  XSync(display(), False);
}

void click(Widget w, int x, int y, int button) {
  center(w, &x, &y);
  movePointer(w, x, y);
  pressButton(button);
  pumpFor(10);
  releaseButton(button);
  pumpFor(10);
}

void drag(Widget w, int x1, int y1, int x2, int y2, int button) {
  movePointer(w, x1, y1);
  pressButton(button);
  const int steps = 8;
  for (int i = 1; i <= steps; ++i)
    movePointer(w, x1 + (x2 - x1) * i / steps, y1 + (y2 - y1) * i / steps);
  releaseButton(button);
  pumpFor(10);
}

void pressKey(unsigned long keysym, unsigned int modifiers) {
  Display* dpy = display();
  struct Mod {
    unsigned mask;
    KeySym sym;
  } const mods[] = {{ShiftMask, XK_Shift_L}, {ControlMask, XK_Control_L}, {Mod1Mask, XK_Alt_L}};
  for (const Mod& m : mods)
    if (modifiers & m.mask) XTestFakeKeyEvent(dpy, XKeysymToKeycode(dpy, m.sym), True, CurrentTime);
  KeyCode code = XKeysymToKeycode(dpy, keysym);
  XTestFakeKeyEvent(dpy, code, True, CurrentTime);
  XTestFakeKeyEvent(dpy, code, False, CurrentTime);
  for (const Mod& m : mods)
    if (modifiers & m.mask)
      XTestFakeKeyEvent(dpy, XKeysymToKeycode(dpy, m.sym), False, CurrentTime);
  XSync(dpy, False);
  pumpFor(10);
}

void typeText(Widget w, const std::string& text) {
  click(w);
  for (char c : text) {
    KeySym sym = XStringToKeysym(std::string(1, c).c_str());
    if (c == ' ') sym = XK_space;
    bool shift = (c >= 'A' && c <= 'Z');
    pressKey(sym ? sym : static_cast<KeySym>(c), shift ? ShiftMask : 0);
  }
}

unsigned long pixelAt(Widget w, int x, int y) {
  Display* dpy = XtDisplay(w);
  Window root = DefaultRootWindow(dpy);
  int rootX = 0, rootY = 0;
  Window child;
  XTranslateCoordinates(dpy, XtWindow(w), root, x, y, &rootX, &rootY, &child);
  XWindowAttributes attrs;
  XGetWindowAttributes(dpy, root, &attrs);
  if (rootX < 0 || rootY < 0 || rootX >= attrs.width || rootY >= attrs.height) return ~0ul;
  XImage* image = XGetImage(dpy, root, rootX, rootY, 1, 1, AllPlanes, ZPixmap);
  if (!image) return ~0ul;
  unsigned long p = XGetPixel(image, 0, 0) & 0xffffff;
  XDestroyImage(image);
  return p;
}

void destroyWidget(Widget w) {
  XtDestroyWidget(w);
  pumpFor(10);
}

}  // namespace uitest
