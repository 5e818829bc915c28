// The event loop: one loop per process over every registered display, Xt timers and inputs,
// and deferred calls. The library has no loop of its own; the runner and the tests step this
// one.
#pragma once

#include <X11/Intrinsic.h>

#include <functional>

// Called with each X event read from a registered display; it dispatches the event through Xt.
typedef void (*EVXhandler)(XEvent* event);

// Serves display from now on: each of its events goes to handler; app is the Xt application
// context its widgets live in (its timers and inputs are served too). A display registered
// again gets the new handler.
void EVXadd_select(Display* display, EVXhandler handler, XtAppContext app);
// Marks display as one whose events go through Xt (nothing more is needed here).
void EVXinit_display_xt(Display* display);
// Stops serving display (before it is closed).
void EVXdel_select(Display* display);

// Deferred calls: function(argument) is called by the loop once per turn, after the events of
// that turn, until EVdel_select removes it (the function may remove itself). The first, second,
// fourth and sixth arguments are kept for the environment's callers (kind 7, 0, 0, 0). Adding
// the same function and argument twice registers it once. Returns 1.
int EVadd_select(int kind, int fd, void (*function)(void*), void* unused, void* argument,
                 int flags);
int EVdel_select(int kind, int fd, void (*function)(void*), void* unused, void* argument,
                 int flags);

// Processes everything pending now (events, due timers, deferred calls) without waiting.
void EVflush_events();

// Windows made elsewhere that the loop serves too (their widgets' events are dispatched as
// any other); deleting one stops that.
void EVadd_dynamic_window(Widget widget);
void EVdel_dynamic_window(Widget widget, int unused);
bool EVis_dynamic_window(Widget widget);

// One turn: processes what is pending; when nothing was, waits up to timeoutMs for input
// (in slices of at most 10 ms, so Xt timers are served on time). Returns true when anything
// was processed.
bool EVrun_once(int timeoutMs);
// Turns the loop until done() holds (checked after every turn) or timeoutMs passes (-1: no
// limit). Returns done().
bool EVrun_until(const std::function<bool()>& done, int timeoutMs);
