// Option boxes: the options of a command list as a column (or row) of check boxes, any
// number on, up to "max".
//
//   UIoptionBox  XmRowColumn "<name>" > XmToggleButton (check box) "<option label>" per entry
//
//   "cmdList" "dims" -> toggles (rebuilt when their entries change, else updated in place);
//                       "orientation" 0 column, 1 row
//   "selectedItems" <-> toggles on (ascending; a list out of order switches on only its
//                       ascending run); "max" (default: all) greys the entries that are off
//                       once that many are on; switching an entry writes its option's "set"
//                       and "do" 1
//
// Each toggle is a record of its option's UImenuItem, so every control and menu showing the
// option follows it.
#pragma once

#include <Xm/ToggleB.h>
#include <Xm/Xm.h>

#include <vector>

#include "ui/wind.h"

struct UIchoiceButton;

class UIoptionBox : public UIwindow {
 public:
  explicit UIoptionBox(OMobj_id id);
  ~UIoptionBox() override;

  bool instanceObject() override;
  void updateObject(int seq) override;
  void rebuildObject(Widget old) override;
  void destroyObject() override;

  void createButtons();
  void updateButtons();
  // Options and "selectedItems" from the toggles; sensitivity per "max" and "active".
  void updateSelItems();
  // Toggles and options from "selectedItems" (ascending; others are skipped).
  void updateFromSelItems();
  void setMaxItems();
  const std::vector<UIchoiceButton>& buttons() const { return *buttons_; }

  static void setValue(int value, char notify, Widget w);
  static void valueChangedCB(Widget w, UIoptionBox* binding, XmToggleButtonCallbackStruct* call);

 private:
  std::vector<UIchoiceButton>* buttons_;
};

int UIoptionBoxInstance(OMobj_id id);
int UIoptionBoxUpdate(OMobj_id id, unsigned int mask, int seq);
