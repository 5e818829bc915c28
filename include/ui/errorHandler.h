// The state of error reporting that the rest of the library honours: while an error dialog
// locks an element, its position and size updates are skipped.
#pragma once

#include <X11/Intrinsic.h>

extern int UIshowErrors;          // 0 ignore, 1 standard error, else dialogs (3)
extern Widget UIerrorLockObject;  // element locked by an open error dialog, or null
extern int UIerrorState;          // 1 while an element is locked
enum { X11_ERROR = 99 };
