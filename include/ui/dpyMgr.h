// Display contexts: every X display the library uses is opened once and described by a
// context held in one process-wide table under its normalised name.
//
// The table: one entry per open connection, appended in order of opening, never removed. An
// entry's key is the normalised name of the display it reached; the empty name (and a null
// one) stands for the default display (a "-display" option of the command line, else
// $DISPLAY) and finds that display's entry, so the default display is opened, entered and
// closed once whatever name it was asked for by. Entries move when the table grows.
#pragma once

#include <X11/Intrinsic.h>

#include <string>

#include "om/om.h"
#include "svc/ut.h"

// One open display: the connection, its screen size, the never-mapped application shell, the
// hidden shell that parents dialogs and its container, and the window tools' context. A plain
// value: copied freely; the table holds copies.
class UIdpyContext {
 public:
  UIdpyContext() = default;
  // Opens the display of a normalised name (Xt set up on the first opening). A failure leaves
  // DisplayPtr null: the first display of the process ends the process, a later one is
  // reported through UIdisplayErrorHook.
  explicit UIdpyContext(const char* name);

  // The normalised form of a display name ("host" -> "host:0.0", "0" -> ":0.0" ...).
  static UtString cnvtDisplayName(const char* name);

  // The window tools' context of this display, made on first use; null without hidden shell.
  // Made once per display: it is stored in the table's entry of this connection (never
  // appended), so every copy of a context asks for the same one.
  void* getWtDpyContext();
  // Destroys every widget of the display (the shells of this context with them), then closes
  // the connection.
  void closeDisplay();

  UtString displayName;
  Display* DisplayPtr = nullptr;
  int _width = 0;
  int _height = 0;
  Widget _appShell = nullptr;
  Widget _managerShell = nullptr;
  Widget _hiddenShell = nullptr;
  void* _wtDpyCtx = nullptr;
  static XtAppContext _appContext;  // shared by every display

  // Steps of opening shared with UI_SetDisplayContext: shells, event loop, screen size.
  void finishOpening();
};

// The context of a display name (null or empty: the default display), opening the display on
// first use; UIdpyContextNull when it cannot be opened. The pointer is valid until the next
// insertion into the table: keep a copy across anything that may open a display.
UIdpyContext* UIgetDisplayContext(const char* name);
// The context of an open display: the entry that holds this connection, else the lookup of
// the display's own name string.
UIdpyContext* UIgetDisplayContext(Display* display);

// The value of one of the X toolkit's standard command-line options, read from the command line
// UIglobal_init was given with the toolkit's own option parsing (abbreviations as Xt takes
// them): resource is "display", "name", "geometry", "title" or "iconic" ("on" when given);
// empty when the option is absent.
std::string UIcommandLineOption(const char* resource);
// The name of the default display: the "-display" option of the command line, else $DISPLAY;
// empty when there is neither. Every part of the library that opens "the display" uses it.
std::string UIdefaultDisplayName();

// The X application name and class every display is opened with (owned here; null until
// chosen, when displays use "ui" and "Corvane").
extern char* UIappName;
extern char* UIappClass;
// Replaces both with copies of the texts given (null clears one).
void UIsetAppNameAndClass(const char* name, const char* cls);

extern UIdpyContext UIdpyContextNull;  // returned for a display that cannot be opened
extern Widget DefaultHiddenShell;      // hidden shell of the first display opened

// Creates the hidden shell "HiddenShell" (centred, 200 x 200, never mapped) and its row-column
// container "HiddenManagerShell" for a context whose application shell exists.
void UIinitHiddenShell(UIdpyContext& context);

// Dispatches one event through Xt (the event loop's handler for every display).
void UIprocessEvents(XEvent* event);

// Closes every display of the table.
extern "C" void UI_CloseDisplays();

// For the environment's other libraries. Get: stores the connection (possibly null) and the
// shared application context for name; 0, or -1 when display is null (nothing written).
// Set: registers a display opened elsewhere under name, unchanged (not normalised); 0, or -1
// when an argument is null or the connection is in the table already.
extern "C" int UI_GetDisplayContext(const char* name, Display** display, XtAppContext* app);
extern "C" int UI_SetDisplayContext(const char* name, Display* display, XtAppContext app);

// Update entry point of display objects: opens the default display if needed and writes "width",
// "height", "displayPtr" and "displayName" where the object has them.
int UIdisplayUpdate(OMobj_id id);

// Where a later display that cannot be opened is reported ("Error: Can't open display NAME").
// The default reports through ERRerror; the error dialogs replace it.
extern void (*UIdisplayErrorHook)(const char* text);

// Records a window of the library's that another client destroyed, the server having done
// requests up to goneAfter (the serial of the notice of its destruction): protocol errors
// naming it, and errors of text drawing (the rendering extension's pictures) for requests made
// after goneAfter and before this call, are not reported.
void UIwindowLost(Display* display, Window window, unsigned long goneAfter);

// Watches a display's connection for loss (its server killed or gone). Losing the first
// display of the process ends it: a message on standard error, status 1, never a hang. A
// later display is closed after the event loop's turn, which destroys its windows; the loss
// is reported through UIdisplayErrorHook and the program goes on with its other displays.
// Every display the library opens is watched.
void UIwatchDisplayLoss(Display* display, bool first);

// Number of entries in the table (for tests and diagnostics).
int UIdisplayTableSize();
