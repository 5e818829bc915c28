// UIoptionBox: any number of the options of a command list on, up to "max", as check boxes.
#include "ui/optionBox.h"

#include <Xm/RowColumn.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>

#include <string>

#include "om/om_scope.h"
#include "svc/arr.h"
#include "svc/err.h"
#include "ui/args.h"
#include "ui/layout.h"
#include "ui/menus.h"
#include "ui/misc.h"
#include "ui/radioBox.h"

#include "choiceButtons.h"
#include "props.h"

namespace {

using uiprops::nameOf;
using uiprops::newer;
using uiprops::readInt;
using uiprops::sub;

UIoptionBox* controlOf(Widget toggle) {
  if (UIisBeingDestroyed(toggle)) return nullptr;
  auto* found = UIwidgetToClass(XtParent(toggle));
  return UIwindow::alive(found) ? dynamic_cast<UIoptionBox*>(found) : nullptr;
}

UImenuItem* itemOf(const OMobj_id& option) {
  UIwindow* found = UIobjIdToClass(option);
  return UIwindow::alive(found) ? dynamic_cast<UImenuItem*>(found) : nullptr;
}

// "selectedItems" as read, reports suppressed (an unset array is no fault here).
std::vector<int> storedSelection(const OMobj_id& obj) {
  ++ERRerror_squashed;
  int size = 0, type = 0;
  int* data = static_cast<int*>(OMret_array_ptr(sub(obj, "selectedItems"), 0, &size, &type));
  --ERRerror_squashed;
  std::vector<int> out;
  if (data && type == OM_TYPE_INT) out.assign(data, data + size);
  ARRfree_f(data, __FILE__, __LINE__);
  return out;
}

}  // namespace

UIoptionBox::UIoptionBox(OMobj_id id) : UIwindow(id), buttons_(new std::vector<UIchoiceButton>) {
  classType_ = "UIoptionBox";
}

UIoptionBox::~UIoptionBox() {
  delete buttons_;
}

bool UIoptionBox::instanceObject() {
  Widget parent = getParentWidget();
  if (!parent) return false;
  int x = 0, y = 0, orientation = 0;
  autoPlacementManager(parent, &x, &y);
  UIargs args{{XmNx, x},
              {XmNy, y},
              {XmNuserData, static_cast<UIwindow*>(this)},
              {XmNorientation, readInt(objId, "orientation", &orientation) && orientation == 1
                                   ? XmHORIZONTAL
                                   : XmVERTICAL}};
  int width = 0, height = 0;
  if (UIgetOMWindowWidth(objId, &width)) args.add(XmNwidth, width);
  if (UIgetOMWindowHeight(objId, &height)) args.add(XmNheight, height);
  Widget box =
      XmCreateRowColumn(parent, const_cast<char*>(nameOf(objId)), args.list(), args.count());
  widget_ = box;
  createButtons();
  setResources(box, -1);
  onObjectCreate(box);
  return true;
}

void UIoptionBox::createButtons() {
  UIdiscardChoiceButtons(*buttons_);
  *buttons_ = UIreadOptionEntries(objId, classType());
  Widget mainWindow = UIfindNearestMainWindowAncestor(parentWidget_);
  Widget messageWindow = nullptr;
  if (mainWindow) XtVaGetValues(mainWindow, XmNmessageWindow, &messageWindow, nullptr);
  std::vector<Widget> toggles;
  for (UIchoiceButton& b : *buttons_) {
    std::string label = UIoptionLabel(b.option);
    int active = 1;
    if (!readInt(b.option, "active", &active)) active = 1;
    UImenuItem* item = UImenuItemFor(b.option);
    UIargs args{{XmNsensitive, active ? True : False},
                {XmNuserData, static_cast<UIwindow*>(item)},
                {XmNindicatorType, XmN_OF_MANY}};
    b.button = XtCreateWidget(label.c_str(), xmToggleButtonWidgetClass, widget_, args.list(),
                              args.count());
    UIsetXmLabelFromString(b.button, label.c_str());
    item->addItem(MenuItemWidget(b.button, messageWindow, &UIoptionBox::setValue));
    UIaddItemStatusHandlers(b.button);
    UIaddCallback<&UIoptionBox::valueChangedCB>(b.button, XmNvalueChangedCallback, this);
    XtAddEventHandler(b.button, Button2MotionMask, False, UIlayout::indirectButtonMotionCB,
                      widget_);
    toggles.push_back(b.button);
  }
  UI_refitButtonLabels(toggles.data(), static_cast<int>(toggles.size()));
  for (Widget t : toggles) XtManageChild(t);
  updateFromSelItems();
  if (alive(this)) updateSelItems();
}

void UIoptionBox::setValue(int value, char notify, Widget w) {
  if (!controlOf(w)) return;
  if ((XmToggleButtonGetState(w) ? 1 : 0) != (value ? 1 : 0))
    XmToggleButtonSetState(w, value ? True : False, notify ? True : False);
}

void UIoptionBox::valueChangedCB(Widget w, UIoptionBox* binding,
                                 XmToggleButtonCallbackStruct* call) {
  int i = UIchoiceButtonAt(*binding->buttons_, w);
  if (i < 0 || !call) return;
  OMobj_id option = (*binding->buttons_)[static_cast<size_t>(i)].option;
  int state = call->set ? 1 : 0, set = -1;
  if (!readInt(option, "set", &set) || set != state) {
    OMcontext ctx(option, OM_CTX_USER, 1);
    OMset_int_val(sub(option, "set"), state);
    OMset_state_mode(OM_CTX_QUIET);
    OMset_int_val(sub(option, "do"), 1);
    OMset_state_mode(OM_CTX_USER);
  }
  if (alive(binding)) binding->updateSelItems();
}

void UIoptionBox::setMaxItems() {
  int n = static_cast<int>(buttons_->size()), on = 0;
  for (const UIchoiceButton& b : *buttons_)
    if (!UIisBeingDestroyed(b.button) && XmToggleButtonGetState(b.button)) ++on;
  int max = n;
  if (!readInt(objId, "max", &max)) max = n;
  bool more = max == n || on < max;
  for (const UIchoiceButton& b : *buttons_) {
    if (UIisBeingDestroyed(b.button)) continue;
    int active = 1;
    if (!readInt(b.option, "active", &active)) active = 1;
    bool isOn = XmToggleButtonGetState(b.button);
    XtSetSensitive(b.button, (isOn ? active != 0 : active != 0 && more) ? True : False);
  }
}

void UIoptionBox::updateSelItems() {
  std::vector<UIchoiceButton> entries = *buttons_;
  std::vector<int> chosen;
  for (const UIchoiceButton& b : entries) {
    if (UIisBeingDestroyed(b.button)) continue;
    int state = XmToggleButtonGetState(b.button) ? 1 : 0;
    if (state) chosen.push_back(b.index);
    if (UImenuItem* item = itemOf(b.option)) item->action(state, 0);
    if (!alive(this)) return;
  }
  setMaxItems();
  if (chosen == storedSelection(objId) && !chosen.empty()) return;
  OMobj_id items = sub(objId, "selectedItems");
  OMcontext ctx(objId, OM_CTX_USER, 1);
  if (chosen.empty()) {
    int size = -1;
    if (OMget_array_size(items, &size) == 1 && size == 0) return;
    OMset_array_size(items, 0);
    return;
  }
  OMset_array_size(items, static_cast<int>(chosen.size()));
  OMset_array(items, OM_TYPE_INT, chosen.data(), static_cast<int>(chosen.size()), 0);
}

void UIoptionBox::updateFromSelItems() {
  std::vector<int> listed = storedSelection(objId);
  std::vector<UIchoiceButton> entries = *buttons_;
  size_t next = 0;
  for (const UIchoiceButton& b : entries) {
    bool on = next < listed.size() && listed[next] == b.index;
    if (on) ++next;
    if (!UIisBeingDestroyed(b.button)) XmToggleButtonSetState(b.button, on, False);
    int set = -1;
    if (readInt(b.option, "set", &set) && (set != 0) == on) continue;
    if (UImenuItem* item = itemOf(b.option)) item->action(on ? 1 : 0, 0);
    if (!alive(this)) return;
    UIsetOptionInt(b.option, "set", on ? 1 : 0, OM_CTX_QUIET, 1);
    if (!alive(this)) return;
  }
}

void UIoptionBox::updateButtons() {
  for (UIchoiceButton& b : *buttons_) {
    if (UIisBeingDestroyed(b.button)) continue;
    std::string label = UIoptionLabel(b.option);
    UIsetXmLabelFromString(b.button, label.c_str());
  }
  setMaxItems();
}

void UIoptionBox::updateObject(int seq) {
  if (UIisBeingDestroyed(widget_)) return;
  if (newer(objId, "cmdList", seq) || newer(objId, "dims", seq)) {
    std::vector<UIchoiceButton> entries = UIreadOptionEntries(objId, classType());
    bool same = entries.size() == buttons_->size();
    for (size_t i = 0; same && i < entries.size(); ++i)
      same = entries[i].option == (*buttons_)[i].option;
    if (same)
      updateButtons();
    else
      createButtons();
  }
  if (!alive(this)) return;
  if (newer(objId, "selectedItems", seq)) {
    updateFromSelItems();
    if (alive(this)) updateSelItems();
  }
  if (!alive(this)) return;
  if (newer(objId, "max", seq)) setMaxItems();
  setResources(widget_, seq);
  UIwindow::updateObject(seq);
}

void UIoptionBox::rebuildObject(Widget old) {
  if (UIisBeingDestroyed(old)) return;
  UIdiscardChoiceButtons(*buttons_);
  UIwindow::rebuildObject(old);
}

void UIoptionBox::destroyObject() {
  UIdiscardChoiceButtons(*buttons_);
  UIwindow::destroyObject();
}

int UIoptionBoxInstance(OMobj_id id) {
  return UIinstanceEntry<UIoptionBox>(id);
}
int UIoptionBoxUpdate(OMobj_id id, unsigned int mask, int seq) {
  return UIupdateEntry<UIoptionBox>(id, mask, seq);
}
