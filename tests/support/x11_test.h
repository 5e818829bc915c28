// The x11 test bench: one display per test binary (the shared Xvfb), a fresh top-level shell
// per test, an event pump with deadlines, and real input through XTest.
#pragma once

#include <X11/Intrinsic.h>

#include <functional>
#include <string>

#include "private_display.h"

namespace uitest {

// The name of the shared test server (":N"), read from the fixture's file, else $DISPLAY;
// nothing is opened.
std::string fixtureDisplayName();

// Waits until the server of that name takes connections (up to 10 s): a server under load
// may refuse one for a moment. True when it does.
bool waitForServer(const std::string& name);

// An X server of the test's own (Xvfb on a free display, 1024 x 768 x 24), stopped when this
// goes. name() is empty when it could not be started.
class PrivateServer {
 public:
  PrivateServer();
  ~PrivateServer();
  PrivateServer(const PrivateServer&) = delete;
  PrivateServer& operator=(const PrivateServer&) = delete;
  const std::string& name() const { return name_; }
  // Sends the server a signal (SIGKILL: the server is gone; SIGSTOP/SIGCONT: stuck, going).
  void signal(int sig) { server_.signal(sig); }

 private:
  PrivateDisplay server_;
  std::string name_;
};

// Makes the bench use a display and application context opened elsewhere (the library's)
// instead of opening its own; call it before anything else of the bench.
void adopt(Display* display, XtAppContext app);

// The test display, opened once per process with an Xt application context. The display is
// the one the xvfb fixture started (its number is in the fixture's file), else $DISPLAY.
Display* display();
XtAppContext appContext();
std::string displayName();

// Dispatches Xt events until pred() holds or timeoutMs passes; returns pred().
bool pumpUntil(const std::function<bool()>& pred, int timeoutMs = 3000);
// Dispatches what arrives within ms milliseconds (to let the server settle).
void pumpFor(int ms);

// A new top-level shell on the test display; the caller destroys it (or Shell's destructor).
Widget newShell(const char* name = "test");
// Realizes the shell and waits until w is viewable; false on timeout.
bool showAndWait(Widget shell, Widget w);

// Real input. Coordinates are relative to w (a gadget: where it lies in its parent).
void movePointer(Widget w, int x, int y);
void pressButton(int button = 1);
void releaseButton(int button = 1);
void click(Widget w, int x = -1, int y = -1, int button = 1);  // -1: the middle
void drag(Widget w, int x1, int y1, int x2, int y2, int button = 1);
void pressKey(unsigned long keysym, unsigned int modifiers = 0);  // modifiers: ShiftMask...
void typeText(Widget w, const std::string& text);

// The colour of the screen pixel at (x, y) in w's window, as 0xRRGGBB (the test server is
// TrueColor); read from the root window, so any point on the screen is safe to ask.
unsigned long pixelAt(Widget w, int x, int y);

// Destroys a widget tree and lets Xt finish the destroy.
void destroyWidget(Widget w);

}  // namespace uitest
