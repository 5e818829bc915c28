// The entries and buttons the option controls share.
#include "choiceButtons.h"

#include <Xm/Xm.h>

#include <cstdio>

#include "om/om_registry.h"
#include "om/om_scope.h"
#include "ui/misc.h"

#include "props.h"

std::vector<UIchoiceButton> UIreadOptionEntries(const OMobj_id& control, const char* className) {
  std::vector<UIchoiceButton> out;
  OMobj_id optionTemplate = OMfind_template("UIoption");
  OMobj_id entries = uiprops::sub(control, "cmdList");
  int dims = 0;
  if (!uiprops::readInt(control, "dims", &dims)) dims = 0;
  dims = uiprops::countWithin(entries, dims);
  for (int i = 0; i < dims; ++i) {
    OMobj_id element, option;
    if (OMget_array_val(entries, i, &element, 0) != 1 || OMget_obj_val(element, &option) != 1 ||
        !option)
      continue;
    if (!optionTemplate || OMmatch_obj(optionTemplate, option, 0x21) != 1) {
      std::printf("[%s]: Object not UIoption.\n", className);
      continue;
    }
    out.push_back({i, option, nullptr});
  }
  return out;
}

std::string UIoptionLabel(const OMobj_id& option) {
  char buffer[256];
  char* at = buffer;
  if (OMget_str_val(uiprops::sub(option, "label"), &at, sizeof buffer) != 1)
    std::snprintf(buffer, sizeof buffer, "%s", uiprops::nameOf(option));
  return buffer;
}

void UIdiscardChoiceButtons(std::vector<UIchoiceButton>& buttons) {
  for (UIchoiceButton& b : buttons) {
    if (UIisBeingDestroyed(b.button)) continue;
    UIwindow* found = UIwidgetToClass(b.button);
    auto* binding = UIwindow::alive(found) ? dynamic_cast<UImenuItem*>(found) : nullptr;
    XtVaSetValues(b.button, XmNuserData, nullptr, nullptr);
    if (binding) {
      binding->removeItemFromList(b.button);
      if (binding->itemCount() == 0) delete binding;
    }
    XtDestroyWidget(b.button);
  }
  buttons.clear();
}

int UIchoiceButtonAt(const std::vector<UIchoiceButton>& buttons, Widget w) {
  for (size_t i = 0; i < buttons.size(); ++i)
    if (buttons[i].button == w) return static_cast<int>(i);
  return -1;
}

void UIsetOptionInt(const OMobj_id& option, const char* property, int value, int mode, int flags) {
  OMcontext ctx(option, mode, flags);
  OMset_int_val(uiprops::sub(option, property), value);
}
