// Lost displays: a connection that breaks (the server killed or gone) is noticed by Xlib, which
// calls the I/O error handler and then the display's exit handler. The first display of the
// process ends it, with a message and status 1. A later one is only noted there (Xlib is in
// the middle of a call): after the event loop's turn its windows are destroyed and the
// program goes on with its other displays.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "svc/ev.h"
#include "ui/dpyMgr.h"
#include "ui/misc.h"

namespace {

struct Watched {
  Display* display;
  bool first;
};

std::vector<Watched>& watched() {
  static auto* w = new std::vector<Watched>;
  return *w;
}

std::vector<Display*>& lost() {
  static auto* l = new std::vector<Display*>;
  return *l;
}

const Watched* find(Display* display) {
  for (const Watched& w : watched())
    if (w.display == display) return &w;
  return nullptr;
}

// Lost connections already dealt with. They are never closed: closing one makes Xlib run the
// other libraries' close hooks, which talk to the server (the font library's crashes on a
// dead connection), so each keeps its memory for the rest of the process. They stay watched,
// so that the I/O error handler keeps letting them be.
std::vector<Display*>& dead() {
  static auto* d = new std::vector<Display*>;
  return *d;
}

// After the turn in which displays were lost: the widgets of each are destroyed (X requests to
// a lost display are dropped by Xlib) and its context forgets the connection.
void closeLost(void*) {
  EVdel_select(7, 0, closeLost, nullptr, nullptr, 0);
  std::vector<Display*> gone;
  gone.swap(lost());
  for (Display* display : gone) {
    std::string name = DisplayString(display);
    for (Widget root : UIrootWidgetsOf(display))
      if (!UIisBeingDestroyed(root)) XtDestroyWidget(root);  // an earlier one may have taken it
    UIdpyContext* ctx = UIgetDisplayContext(display);
    if (ctx->DisplayPtr == display) {
      if (DefaultHiddenShell == ctx->_hiddenShell) DefaultHiddenShell = nullptr;
      ctx->_appShell = ctx->_hiddenShell = ctx->_managerShell = nullptr;
      ctx->DisplayPtr = nullptr;
    }
    std::string text = "Lost the connection to display " + name + "; its windows are closed";
    UIdisplayErrorHook(text.c_str());
  }
}

// The first display (or one the library does not watch) ends the process here: nothing of it
// can be shown any more. _exit: exit handlers would talk to the lost server.
int onIOError(Display* display) {
  const Watched* w = find(display);
  if (w && !w->first) return 0;  // the exit handler below takes it
  std::fprintf(stderr, "%s: lost the connection to the X display %s; the program ends\n",
               UIappName ? UIappName : "ui", display ? DisplayString(display) : "");
  std::fflush(stderr);
  _exit(1);
}

void onLost(Display* display, void*) {
  // Xlib calls this again whenever the toolkit looks at the connection: once is enough.
  if (std::find(dead().begin(), dead().end(), display) != dead().end()) return;
  dead().push_back(display);
  // Its events are no longer read; the rest waits for the end of the loop's turn.
  EVXdel_select(display);
  if (std::find(lost().begin(), lost().end(), display) == lost().end()) lost().push_back(display);
  EVadd_select(7, 0, closeLost, nullptr, nullptr, 0);
}

}  // namespace

void UIwatchDisplayLoss(Display* display, bool first) {
  if (!display) return;
  XSetIOErrorHandler(onIOError);
  // A connection closed earlier may have left its address to this one.
  auto& w = watched();
  w.erase(
      std::remove_if(w.begin(), w.end(), [&](const Watched& x) { return x.display == display; }),
      w.end());
  w.push_back({display, first});
  XSetIOErrorExitHandler(display, onLost, nullptr);
}
