// Error reporting and blocking dialogs.
//
// Errors about a user-interface element, and X protocol errors, are shown in message dialogs
// ("message_box", under the default display's hidden shell) with the text wrapped to 60
// columns; with four counted dialogs open a fifth says "Too many errors.  Redirecting messages
// to console." and later texts go to standard output only. UIshowErrors 1 writes to standard
// error instead, 0 drops them. While an error dialog of kind 100 is open its element is
// locked: position and size updates of that widget are skipped.
//
// The blocking dialogs ask a question and return only once it is answered (or the dialog is
// closed): only the dialog's own windows get events meanwhile, others wait in the queue.
#pragma once

#include <X11/Intrinsic.h>
#include <X11/Xlib.h>

#include <string>

#include "om/om.h"

extern int UIshowErrors;          // 0 ignore, 1 standard error, else dialogs (3)
extern Widget UIerrorLockObject;  // element locked by an open error dialog, or null
extern int UIerrorState;          // 1 while an element is locked
enum { X11_ERROR = 99 };

// Reports message (null: empty) about element (OMnull_obj: none). Kinds: 2 information,
// 99 X error, 100 an error that locks its element until the dialog closes, others ordinary.
void UIerrorHandler(unsigned char kind, const OMobj_id& element, const char* message);
// The same with kind 1, for callers that cannot pass a reference.
extern "C" void UIcerrorHandler(OMobj_id element, const char* message);
// X error handler: records the error's text only (no X request may be made here); the event
// loop shows the recorded texts soon after, a slice at a time. Returns 1.
extern "C" int UIXErrorHandler(Display* display, XErrorEvent* event);
// OK, Cancel and window-manager close of an error dialog: releases the lock of the element
// (client data, its widget, may be null), lowers the count and destroys the dialog.
void UIerrorHandlerOkCallBack(Widget dialog, XtPointer element, XtPointer call);
// Where a display that cannot be opened is reported: an X error dialog.
void UIdisplayErrorReport(const char* text);

// Error dialogs counted as open now; X error texts recorded and not yet shown.
int UIerrorDialogCount();
int UIpendingXErrors();

// Wraps text to 60 columns at the break character (see the source); exposed for tests.
std::string UIwrapText(const std::string& text, char breakChar);

// Asks with a dialog titled title (null: empty) showing the formatted message (at most 1023
// characters; a null format gives the empty text) and one button per label of buttons split
// at separator (null: the translation of "UI_OK"). Returns the index of the pressed button;
// -1 when the window manager closed the dialog or it could not be made (reported through
// ERRerror with the reporter "(couldn't create msg dialog)").
extern "C" int UIsync_dialog(const char* buttons, char separator, const char* title,
                             const char* format, ...) __attribute__((format(printf, 4, 5)));
// Yes / No: 1 for yes, else 0 (closing the dialog counts as no).
extern "C" int UIsync_yesno_dialog(const char* title, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
// Out of memory: 0 exit, 1 retry. Closing the dialog asks again.
extern "C" int UIsync_outofmem_dialog(const char* message, ...)
    __attribute__((format(printf, 1, 2)));
// Installs the two blocking dialogs as the error service's yes/no and out-of-memory handlers
// (done by UIglobal_init unless "-no_dialog_wait" was given).
void UIinstallSyncDialogs();

// Called (when set) with the dialog box once the blocking dialog is up and about to wait:
// lets a test answer it from elsewhere.
extern void (*UIsyncDialogWaitHook)(Widget box);
