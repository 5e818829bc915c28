// The editor module's entry points: what it registers with the object manager before the kit
// is read.
#include "om/om_registry.h"
#include "ui/UIcursor.h"
#include "ui/layout.h"

void UIeditorRegister() {
  UIcursorRegisterClasses();
}
