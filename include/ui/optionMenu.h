// Option menus: one of the options of a command list, chosen from a pull-down.
//
//   UIoptionMenu  XmOptionMenu "<name>" (the binding's widget)
//                   > label gadget (shown per "optionLabel", text "label")
//                   > XmPulldownMenu "<name>_options" > XmPushButton "<option label>" per entry
//                 (no entries: one push button "EmptyOptionMenuButton" showing "label")
//
//   "cmdList" "dims" -> buttons (rebuilt when their number changes, else updated in place:
//                       each option's "label", "active", "set")
//   "selectedItem" <-> current entry; "selectedCmd" <- the chosen option (when the object
//                       has it); an index outside the entries keeps the current one and
//                       reports "Selected item out of range."
//   choosing an entry: option "set" 1 and "do" 1, every other option "set" 0
//   "optionLabel" "width" "height" -> rebuilt
//
// Each button is a record of its option's UImenuItem, so every control and menu showing the
// option follows it.
#pragma once

#include <Xm/Xm.h>

#include <vector>

#include "ui/wind.h"

struct UIchoiceButton;

class UIoptionMenu : public UIwindow {
 public:
  explicit UIoptionMenu(OMobj_id id);
  ~UIoptionMenu() override;

  bool instanceObject() override;
  void updateObject(int seq) override;
  // Detaches the buttons from their options first.
  void rebuildObject(Widget old) override;
  void destroyObject() override;

  // Makes the entry at position i (among the buttons) current; writes the control and the
  // options as the header says.
  void setCurrentItem(int i);
  // Label and button proportions of the width: 0.4 / 0.6 with the label shown, else 0 / 1.
  void calculateResizePorportions();
  void setOptionLabel();
  void updateOnCmdList();
  void updateOnSelectedItem();
  void updateButtons();
  int currentItem() const { return current_; }
  Widget pulldown() const { return pulldown_; }

  // setValFunc of the buttons: a non-zero value makes w's entry current.
  static void setValue(int value, char notify, Widget w);
  // A button chosen: the option's binding acts (every control follows), then "set" and "do".
  static void onCommand(Widget w, UIoptionMenu* binding, XmAnyCallbackStruct* call);

  double labelProportion = 0.4;
  double buttonProportion = 0.6;

 protected:
  // Makes the buttons from "cmdList" (the old ones discarded first).
  void createButtons();
  // False for the older variant, which keeps no option records and writes no "do".
  virtual bool recordsOptions() const { return true; }

  std::vector<UIchoiceButton>* buttons_;
  Widget pulldown_ = nullptr;
  int current_ = -1;
  bool empty_ = false;
  bool labelShown_ = true;
};

// The older option menu: the same widgets; its buttons carry no option records; a choice
// writes the previous option's "set" 0, "selectedItem" and the new option's "set" 1, nothing
// else. It re-reads its entries when "update" changes.
class UIoptionMenu30 : public UIoptionMenu {
 public:
  explicit UIoptionMenu30(OMobj_id id);
  void updateObject(int seq) override;
  static void onCommand30(Widget w, UIoptionMenu30* binding, XmAnyCallbackStruct* call);

 protected:
  bool recordsOptions() const override { return false; }
};

int UIoptionMenuInstance(OMobj_id id);
int UIoptionMenuUpdate(OMobj_id id, unsigned int mask, int seq);
int UIoptionMenu30Instance(OMobj_id id);
int UIoptionMenu30Update(OMobj_id id, unsigned int mask, int seq);
// A radio list object (no widgets): when "cmdList" changed after "update", the first option
// that is set becomes "selectedItem" and "selectedCmd". 1, or 0 when a property is missing.
int UIradioListUpdate(OMobj_id list);
