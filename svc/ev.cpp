// The event loop.
#include "svc/ev.h"

#include <sys/select.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

struct Served {
  Display* display;
  EVXhandler handler;
  XtAppContext app;
};

struct Deferred {
  void (*function)(void*);
  void* argument;
};

struct Loop {
  std::vector<Served> displays;
  std::vector<Deferred> deferred;
  std::vector<Widget> dynamicWindows;
};

Loop& loop() {
  static Loop* l = new Loop;
  return *l;
}

bool registered(Display* display) {
  for (const Served& s : loop().displays)
    if (s.display == display) return true;
  return false;
}

bool processX() {
  bool any = false;
  // A handler may register or remove displays: walk a copy, and read a display only while it
  // is registered (a handler that closes its own display frees it when the dispatch returns).
  std::vector<Served> served = loop().displays;
  for (const Served& s : served) {
    while (registered(s.display) && XPending(s.display)) {
      XEvent event;
      XNextEvent(s.display, &event);
      if (s.handler)
        s.handler(&event);
      else
        XtDispatchEvent(&event);
      any = true;
    }
  }
  return any;
}

bool processXt() {
  bool any = false;
  std::vector<XtAppContext> apps;
  for (const Served& s : loop().displays)
    if (s.app && std::find(apps.begin(), apps.end(), s.app) == apps.end()) apps.push_back(s.app);
  for (XtAppContext app : apps) {
    // X events are read above, through the handlers; here only timers, inputs and signals.
    for (int guard = 0; guard < 1000; ++guard) {
      XtInputMask mask = XtAppPending(app) & ~static_cast<XtInputMask>(XtIMXEvent);
      if (!mask) break;
      XtAppProcessEvent(app, mask);
      any = true;
    }
  }
  return any;
}

bool processDeferred() {
  std::vector<Deferred> calls = loop().deferred;
  for (const Deferred& d : calls) {
    // Only calls still registered run: an earlier one may have removed it.
    auto& now = loop().deferred;
    auto it = std::find_if(now.begin(), now.end(), [&](const Deferred& x) {
      return x.function == d.function && x.argument == d.argument;
    });
    if (it != now.end()) d.function(d.argument);
  }
  return !calls.empty();
}

void waitForInput(int timeoutMs) {
  fd_set fds;
  FD_ZERO(&fds);
  int maxFd = -1;
  for (const Served& s : loop().displays) {
    XFlush(s.display);
    int fd = ConnectionNumber(s.display);
    FD_SET(fd, &fds);
    maxFd = std::max(maxFd, fd);
  }
  int slice = std::min(timeoutMs, 10);
  timeval tv{0, slice * 1000};
  select(maxFd + 1, maxFd >= 0 ? &fds : nullptr, nullptr, nullptr, &tv);
}

}  // namespace

void EVXadd_select(Display* display, EVXhandler handler, XtAppContext app) {
  if (!display) return;
  for (Served& s : loop().displays) {
    if (s.display == display) {
      s.handler = handler;
      s.app = app;
      return;
    }
  }
  loop().displays.push_back({display, handler, app});
}

void EVXinit_display_xt(Display*) {}

void EVXdel_select(Display* display) {
  auto& d = loop().displays;
  d.erase(std::remove_if(d.begin(), d.end(), [&](const Served& s) { return s.display == display; }),
          d.end());
}

int EVadd_select(int, int, void (*function)(void*), void*, void* argument, int) {
  if (!function) return 0;
  for (const Deferred& d : loop().deferred)
    if (d.function == function && d.argument == argument) return 1;
  loop().deferred.push_back({function, argument});
  return 1;
}

int EVdel_select(int, int, void (*function)(void*), void*, void* argument, int) {
  auto& d = loop().deferred;
  auto it = std::find_if(d.begin(), d.end(), [&](const Deferred& x) {
    return x.function == function && x.argument == argument;
  });
  if (it == d.end()) return 0;
  d.erase(it);
  return 1;
}

void EVflush_events() {
  for (const Served& s : loop().displays) XSync(s.display, False);
  for (int guard = 0; guard < 100; ++guard) {
    bool any = processX();
    any = processXt() || any;
    if (!any) break;
  }
}

void EVadd_dynamic_window(Widget widget) {
  if (widget && !EVis_dynamic_window(widget)) loop().dynamicWindows.push_back(widget);
}

void EVdel_dynamic_window(Widget widget, int) {
  auto& w = loop().dynamicWindows;
  w.erase(std::remove(w.begin(), w.end(), widget), w.end());
}

bool EVis_dynamic_window(Widget widget) {
  const auto& w = loop().dynamicWindows;
  return std::find(w.begin(), w.end(), widget) != w.end();
}

bool EVrun_once(int timeoutMs) {
  bool any = processX();
  any = processXt() || any;
  any = processDeferred() || any;
  if (!any && timeoutMs > 0) {
    waitForInput(timeoutMs);
    any = processX();
    any = processXt() || any;
  }
  return any;
}

bool EVrun_until(const std::function<bool()>& done, int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  while (!done()) {
    int left = 10;
    if (timeoutMs >= 0) {
      auto remaining =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (remaining <= 0) return done();
      left = static_cast<int>(std::min<long long>(remaining, 10));
    }
    EVrun_once(left);
  }
  return true;
}
