// Start-up of the library: what it registers with the object manager, the command line, the
// X application name and class, the default display and the global data object.
#pragma once

#include <vector>

#include "om/om.h"

#include <X11/Intrinsic.h>

// The process's arguments, held twice: a pristine copy kept by the class (the arguments as
// last given to a constructor) and a working copy that Xt's option parsing consumes when a
// display is opened. reset() rebuilds the working copy from the pristine one, so Xt always
// sees the whole command line.
class GlobalArgs {
 public:
  GlobalArgs(int argc, char** argv);
  ~GlobalArgs();
  GlobalArgs(const GlobalArgs&) = delete;
  GlobalArgs& operator=(const GlobalArgs&) = delete;

  void reset();

  int count = 0;              // the working count; Xt lowers it
  std::vector<char*> values;  // the working vector (count entries, then a null); Xt reorders it

  static int argcount;  // the pristine copy
  static char** argvalues;

 private:
  std::vector<char*> owned_;  // the working copy's strings, whatever order Xt leaves them in
};

extern GlobalArgs* globalArgs;  // null until UIglobal_init
// The X application name and class are the display manager's (ui/dpyMgr.h); UIglobal_init
// chooses them.

// True when the command line asked for no blocking dialogs ("-no_dialog_wait").
extern bool UInoDialogWait;

// Registers the library with the object manager: its entry points by name, the kit's
// templates (from "$KLT_PATH<0>/kit"), the value type "ui_text_width", the data search path
// (OMget_path(5): the folders of $CQ_DATA_PATH, then "$KLT_PATH<0>/runtime") unless one is
// set, and UIshutdown as an exit function. Safe to call more than once (later calls do nothing).
void UIinit();

// Takes the command line (removing "-no_dialog_wait" and what Xt recognises), fixes the X
// application name ("-name", else $CQ_XAPPNAME, else the program's) and class, opens the
// default display ("-display", else $DISPLAY) and attaches "UIdata" of
// the template "UI_GLOBAL" to the root. When the default display cannot be opened the process
// ends with status 1 after "Error: Can't open display NAME" on standard output. An empty
// command line (*argc 0) is accepted and left as it is.
void UIglobal_init(int* argc, char** argv);

// Closes every display (the object manager's exit function).
void UIshutdown(void* unused);

// Sets XAPPLRESDIR to "$KLT_PATH<0>/runtime/nls" unless it is set already.
void UIsetResourcePath();

// Xt language procedure: falls back to the "C" locale when Xlib cannot use the current one,
// clears the locale modifiers, and returns the locale name.
String UILanguageProc(Display* display, String language, XtPointer data);

// Registers and defines the value type "ui_text_width": an object array whose value is the
// pixel width of the text of its element 0.
void UIfunc_init();
int text_width_get_int_val(OMobj_id id, int* value);

// Update entry point of font objects: "height" 12 and "lineHeight" 24 where they exist.
int UIfontUpdate(OMobj_id id);
