// Radio boxes: the options of a command list as a column (or row) of toggle buttons, one on
// at a time.
//
//   UIradioBox   XmRowColumn radio box "<name>" > XmToggleButton "<option label>" per entry
//
//   "cmdList" "dims" -> toggles (rebuilt when their entries change, else updated in place:
//                       each option's "label", "active", "set"); "orientation" 0 column, 1 row
//   radio box:  "selectedItem" <-> the toggle on; "selectedCmd" <- its option; choosing
//               writes the old option's "set" 0 and the new one's 1; pressing any entry
//               (the current one too) writes its "do" 1; an index outside the entries keeps
//               the current one and reports "Selected item out of range."
//
// Each toggle is a record of its option's UImenuItem, so every control and menu showing the
// option follows it. The label refit below is shared with the option box (ui/optionBox.h).
#pragma once

#include <Xm/ToggleB.h>
#include <Xm/Xm.h>

#include <vector>

#include "ui/wind.h"

struct UIchoiceButton;

// Fits each non-null button to its label again, then fixes it at 24 pixels high.
void UI_refitButtonLabels(Widget* buttons, int n);

class UIradioBox : public UIwindow {
 public:
  explicit UIradioBox(OMobj_id id);
  ~UIradioBox() override;

  bool instanceObject() override;
  void updateObject(int seq) override;
  void rebuildObject(Widget old) override;
  void destroyObject() override;

  void createButtons();
  void updateButtons();
  void updateOnSelectedItem();
  int currentItem() const { return current_; }
  const std::vector<UIchoiceButton>& buttons() const { return *buttons_; }

  // setValFunc of the toggles: shows value, with the toggle's callbacks.
  static void setValue(int value, char notify, Widget w);
  static void valueChangedCB(Widget w, UIradioBox* binding, XmToggleButtonCallbackStruct* call);
  static void armCB(Widget w, UIradioBox* binding, XmToggleButtonCallbackStruct* call);

 private:
  std::vector<UIchoiceButton>* buttons_;
  int current_ = -1;
};

int UIradioBoxInstance(OMobj_id id);
int UIradioBoxUpdate(OMobj_id id, unsigned int mask, int seq);
