// UIradioBox: one option of a command list on at a time, as toggle buttons; and the label
// refit the boxes share.
#include "ui/radioBox.h"

#include <Xm/RowColumn.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>

#include <string>

#include "om/om_scope.h"
#include "svc/err.h"
#include "ui/args.h"
#include "ui/layout.h"
#include "ui/menus.h"
#include "ui/misc.h"

#include "choiceButtons.h"
#include "props.h"

namespace {

using uiprops::nameOf;
using uiprops::newer;
using uiprops::readInt;
using uiprops::sub;

unsigned char orientationOf(const OMobj_id& obj) {
  int v = 0;
  return readInt(obj, "orientation", &v) && v == 1 ? XmHORIZONTAL : XmVERTICAL;
}

bool sameEntries(const std::vector<UIchoiceButton>& a, const std::vector<UIchoiceButton>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].option != b[i].option || a[i].index != b[i].index) return false;
  return true;
}

}  // namespace

void UI_refitButtonLabels(Widget* buttons, int n) {
  for (int i = 0; i < n; ++i) {
    Widget w = buttons[i];
    if (UIisBeingDestroyed(w)) continue;
    XmString label = nullptr;
    XtVaSetValues(w, XmNrecomputeSize, True, nullptr);
    XtVaGetValues(w, XmNlabelString, &label, nullptr);
    XtVaSetValues(w, XmNlabelString, label, nullptr);
    XmStringFree(label);
    XtVaSetValues(w, XmNrecomputeSize, False, XmNheight, 24, nullptr);
  }
}

UIradioBox::UIradioBox(OMobj_id id) : UIwindow(id), buttons_(new std::vector<UIchoiceButton>) {
  classType_ = "UIradioBox";
}

UIradioBox::~UIradioBox() {
  delete buttons_;
}

bool UIradioBox::instanceObject() {
  Widget parent = getParentWidget();
  if (!parent) return false;
  int x = 0, y = 0;
  autoPlacementManager(parent, &x, &y);
  UIargs args{{XmNx, x},
              {XmNy, y},
              {XmNuserData, static_cast<UIwindow*>(this)},
              {XmNorientation, orientationOf(objId)}};
  int width = 0, height = 0;
  if (UIgetOMWindowWidth(objId, &width)) args.add(XmNwidth, width);
  if (UIgetOMWindowHeight(objId, &height)) args.add(XmNheight, height);
  Widget box =
      XmCreateRadioBox(parent, const_cast<char*>(nameOf(objId)), args.list(), args.count());
  widget_ = box;
  createButtons();
  setResources(box, -1);
  onObjectCreate(box);
  return true;
}

void UIradioBox::createButtons() {
  UIdiscardChoiceButtons(*buttons_);
  *buttons_ = UIreadOptionEntries(objId, classType());
  current_ = -1;
  int selected = -1;
  bool haveSelected = readInt(objId, "selectedItem", &selected);
  Widget mainWindow = UIfindNearestMainWindowAncestor(parentWidget_);
  Widget messageWindow = nullptr;
  if (mainWindow) XtVaGetValues(mainWindow, XmNmessageWindow, &messageWindow, nullptr);
  std::vector<Widget> toggles;
  for (size_t i = 0; i < buttons_->size(); ++i) {
    UIchoiceButton& b = (*buttons_)[i];
    std::string label = UIoptionLabel(b.option);
    int active = 1;
    if (!readInt(b.option, "active", &active)) active = 1;
    UImenuItem* item = UImenuItemFor(b.option);
    UIargs args{{XmNsensitive, active ? True : False}, {XmNuserData, static_cast<UIwindow*>(item)}};
    b.button = XtCreateWidget(label.c_str(), xmToggleButtonWidgetClass, widget_, args.list(),
                              args.count());
    UIsetXmLabelFromString(b.button, label.c_str());
    item->addItem(MenuItemWidget(b.button, messageWindow, &UIradioBox::setValue));
    UIaddItemStatusHandlers(b.button);
    UIaddCallback<&UIradioBox::valueChangedCB>(b.button, XmNvalueChangedCallback, this);
    UIaddCallback<&UIradioBox::armCB>(b.button, XmNarmCallback, this);
    XtAddEventHandler(b.button, Button2MotionMask, False, UIlayout::indirectButtonMotionCB,
                      widget_);
    toggles.push_back(b.button);
    int set = 0;
    if ((haveSelected && b.index == selected) ||
        (!haveSelected && current_ < 0 && readInt(b.option, "set", &set) && set))
      current_ = static_cast<int>(i);
  }
  UI_refitButtonLabels(toggles.data(), static_cast<int>(toggles.size()));
  for (Widget t : toggles) XtManageChild(t);
  if (current_ >= 0)
    XmToggleButtonSetState((*buttons_)[static_cast<size_t>(current_)].button, True, False);
}

void UIradioBox::setValue(int value, char, Widget w) {
  if (UIisBeingDestroyed(w)) return;
  XmToggleButtonSetState(w, value ? True : False, True);
}

void UIradioBox::valueChangedCB(Widget w, UIradioBox* binding, XmToggleButtonCallbackStruct* call) {
  if (!call || call->reason != XmCR_VALUE_CHANGED || !call->set) return;
  int i = UIchoiceButtonAt(*binding->buttons_, w);
  if (i < 0 || i == binding->current_) return;
  std::vector<UIchoiceButton> entries = *binding->buttons_;
  int previous = binding->current_;
  binding->current_ = i;
  OMobj_id obj = binding->objId;
  const UIchoiceButton& chosen = entries[static_cast<size_t>(i)];
  OMcontext ctx(obj, OM_CTX_USER, OM_CTX_EVENT);
  int set = 0;
  if (previous >= 0 && previous < static_cast<int>(entries.size())) {
    const OMobj_id& old = entries[static_cast<size_t>(previous)].option;
    if (!readInt(old, "set", &set) || set != 0) UIsetOptionInt(old, "set", 0, OM_CTX_QUIET, 1);
  }
  if (!readInt(chosen.option, "set", &set) || set != 1)
    UIsetOptionInt(chosen.option, "set", 1, OM_CTX_QUIET, 1);
  OMset_int_val(sub(obj, "selectedItem"), chosen.index);
  OMset_state_mode(OM_CTX_QUIET);
  OMset_obj_ref(sub(obj, "selectedCmd"), chosen.option, 0);
  OMset_state_mode(OM_CTX_USER);
}

void UIradioBox::armCB(Widget w, UIradioBox* binding, XmToggleButtonCallbackStruct*) {
  int i = UIchoiceButtonAt(*binding->buttons_, w);
  if (i < 0) return;
  UIsetOptionInt((*binding->buttons_)[static_cast<size_t>(i)].option, "do", 1, OM_CTX_QUIET, 1);
}

void UIradioBox::updateButtons() {
  for (UIchoiceButton& b : *buttons_) {
    if (UIisBeingDestroyed(b.button)) continue;
    std::string label = UIoptionLabel(b.option);
    UIsetXmLabelFromString(b.button, label.c_str());
    int active = 1;
    if (!readInt(b.option, "active", &active)) active = 1;
    XtSetSensitive(b.button, active ? True : False);
  }
}

void UIradioBox::updateOnSelectedItem() {
  int selected = 0;
  if (!readInt(objId, "selectedItem", &selected)) return;
  for (size_t i = 0; i < buttons_->size(); ++i) {
    if ((*buttons_)[i].index != selected) continue;
    if (static_cast<int>(i) != current_) setValue(1, 1, (*buttons_)[i].button);
    return;
  }
  // The current entry stays on.
  ERRerror("UIradioBox::updateOnSelectedItem", 0, 2, "Selected item out of range.");
}

void UIradioBox::updateObject(int seq) {
  if (UIisBeingDestroyed(widget_)) return;
  if (newer(objId, "cmdList", seq) || newer(objId, "dims", seq)) {
    if (!sameEntries(UIreadOptionEntries(objId, classType()), *buttons_)) {
      createButtons();
    } else {
      updateButtons();
    }
  }
  if (!alive(this)) return;
  if (newer(objId, "selectedItem", seq)) updateOnSelectedItem();
  if (!alive(this)) return;
  if (newer(objId, "orientation", seq))
    XtVaSetValues(widget_, XmNorientation, orientationOf(objId), nullptr);
  setResources(widget_, seq);
  UIwindow::updateObject(seq);
}

void UIradioBox::rebuildObject(Widget old) {
  if (UIisBeingDestroyed(old)) return;
  UIdiscardChoiceButtons(*buttons_);
  UIwindow::rebuildObject(old);
}

void UIradioBox::destroyObject() {
  UIdiscardChoiceButtons(*buttons_);
  UIwindow::destroyObject();
}

int UIradioBoxInstance(OMobj_id id) {
  return UIinstanceEntry<UIradioBox>(id);
}
int UIradioBoxUpdate(OMobj_id id, unsigned int mask, int seq) {
  return UIupdateEntry<UIradioBox>(id, mask, seq);
}
