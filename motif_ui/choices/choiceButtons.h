// What the option controls share: reading their UIoption entries, and the buttons that show
// them (one per entry, each a record of the option's UImenuItem).
#pragma once

#include <X11/Intrinsic.h>

#include <string>
#include <vector>

#include "om/om.h"
#include "ui/menus.h"

// One entry of a control: its index in "cmdList", the option, and the button showing it.
struct UIchoiceButton {
  int index = 0;
  OMobj_id option = OMnull_obj;
  Widget button = nullptr;
};

// The UIoption entries of control's "cmdList", up to "dims": unreadable entries are skipped;
// an entry of another type is skipped after "[className]: Object not UIoption.\n" on standard
// output. Buttons are left null.
std::vector<UIchoiceButton> UIreadOptionEntries(const OMobj_id& control, const char* className);

// An option's label ("label", else the object's name), cut to 256 bytes.
std::string UIoptionLabel(const OMobj_id& option);

// Detaches each button from its option's binding (a binding left without records is deleted)
// and destroys it; the list is emptied.
void UIdiscardChoiceButtons(std::vector<UIchoiceButton>& buttons);

// The position of w among buttons, or -1.
int UIchoiceButtonAt(const std::vector<UIchoiceButton>& buttons, Widget w);

// Context of an option write: a context pushed on option with mode and flags.
void UIsetOptionInt(const OMobj_id& option, const char* property, int value, int mode, int flags);
