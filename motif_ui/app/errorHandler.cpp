// The state of error reporting that the rest of the library honours.
#include "ui/errorHandler.h"

int UIshowErrors = 3;
Widget UIerrorLockObject = nullptr;
int UIerrorState = 0;
