// UIoptionMenu and UIoptionMenu30: a choice among the options of a command list, from a
// pull-down; and the radio list's update entry point.
#include "ui/optionMenu.h"

#include <Xm/LabelG.h>
#include <Xm/PushB.h>
#include <Xm/RowColumn.h>
#include <Xm/Xm.h>

#include <string>

#include "om/om_scope.h"
#include "svc/err.h"
#include "ui/args.h"
#include "ui/menus.h"
#include "ui/misc.h"
#include "ui/xmstring.h"

#include "choiceButtons.h"
#include "props.h"

namespace {

using uiprops::nameOf;
using uiprops::newer;
using uiprops::readInt;
using uiprops::sub;

int seqOf(const OMobj_id& id) {
  return id.serial ? OMget_obj_seq(id, OMnull_obj, 3) : -1;
}

UIoptionMenu* controlOf(Widget button) {
  if (UIisBeingDestroyed(button)) return nullptr;
  auto* found = UIwidgetToClass(XtParent(button));
  return UIwindow::alive(found) ? dynamic_cast<UIoptionMenu*>(found) : nullptr;
}

}  // namespace

UIoptionMenu::UIoptionMenu(OMobj_id id) : UIwindow(id), buttons_(new std::vector<UIchoiceButton>) {
  classType_ = "UIoptionMenu";
}

UIoptionMenu::~UIoptionMenu() {
  delete buttons_;
}

void UIoptionMenu::calculateResizePorportions() {
  labelProportion = labelShown_ ? 0.4 : 0.0;
  buttonProportion = labelShown_ ? 0.6 : 1.0;
}

bool UIoptionMenu::instanceObject() {
  Widget parent = getParentWidget();
  if (!parent) return false;
  int x = 0, y = 0;
  autoPlacementManager(parent, &x, &y);
  int shown = 1;
  if (!readInt(objId, "optionLabel", &shown)) shown = 1;
  labelShown_ = shown != 0;
  calculateResizePorportions();
  UIargs args{{XmNx, x}, {XmNy, y}, {XmNuserData, static_cast<UIwindow*>(this)}};
  Widget menu =
      XmCreateOptionMenu(parent, const_cast<char*>(nameOf(objId)), args.list(), args.count());
  std::string name = std::string(nameOf(objId)) + "_options";
  UIargs pulldownArgs{{XmNuserData, static_cast<UIwindow*>(this)}};
  // Under the option menu, so that it goes with it.
  pulldown_ = XmCreatePulldownMenu(menu, const_cast<char*>(name.c_str()), pulldownArgs.list(),
                                   pulldownArgs.count());
  XtVaSetValues(menu, XmNsubMenuId, pulldown_, nullptr);
  widget_ = menu;
  createButtons();
  setOptionLabel();
  int width = 0, height = 0;
  if (UIgetOMWindowWidth(objId, &width)) {
    Widget label = XmOptionLabelGadget(menu), button = XmOptionButtonGadget(menu);
    if (label && labelShown_)
      XtVaSetValues(label, XmNrecomputeSize, False, XmNwidth,
                    static_cast<Dimension>(width * labelProportion), nullptr);
    if (button)
      XtVaSetValues(button, XmNrecomputeSize, False, XmNwidth,
                    static_cast<Dimension>(width * buttonProportion), nullptr);
  }
  if (UIgetOMWindowHeight(objId, &height)) XtVaSetValues(menu, XmNheight, height, nullptr);
  setResources(menu, -1);
  onObjectCreate(menu);
  if (!alive(this)) return true;
  int selected = 0;
  if (readInt(objId, "selectedItem", &selected)) {
    for (size_t i = 0; i < buttons_->size(); ++i) {
      if ((*buttons_)[i].index != selected) continue;
      XtVaSetValues(menu, XmNmenuHistory, (*buttons_)[i].button, nullptr);
      current_ = static_cast<int>(i);
    }
  } else {
    for (size_t i = 0; i < buttons_->size(); ++i) {
      int set = 0;
      if (readInt((*buttons_)[i].option, "set", &set) && set == 1) {
        XtVaSetValues(menu, XmNmenuHistory, (*buttons_)[i].button, nullptr);
        current_ = static_cast<int>(i);
        break;
      }
    }
  }
  return true;
}

void UIoptionMenu::createButtons() {
  UIdiscardChoiceButtons(*buttons_);
  for (Widget child : uiprops::childrenOf(pulldown_))
    if (!UIisBeingDestroyed(child)) XtDestroyWidget(child);
  current_ = -1;
  *buttons_ = UIreadOptionEntries(objId, classType());
  empty_ = buttons_->empty();
  if (empty_) {
    UIargs args{{XmNuserData, nullptr}};
    Widget button = XtCreateManagedWidget("EmptyOptionMenuButton", xmPushButtonWidgetClass,
                                          pulldown_, args.list(), args.count());
    OMtext label = OMget_text(sub(objId, "label"));
    UIxmString s = UIxmText(label ? label.get() : nameOf(objId));
    XtVaSetValues(button, XmNlabelString, s.get(), nullptr);
    return;
  }
  Widget mainWindow = UIfindNearestMainWindowAncestor(parentWidget_);
  Widget messageWindow = nullptr;
  if (mainWindow) XtVaGetValues(mainWindow, XmNmessageWindow, &messageWindow, nullptr);
  for (UIchoiceButton& b : *buttons_) {
    std::string label = UIoptionLabel(b.option);
    int active = 1;
    if (!readInt(b.option, "active", &active)) active = 1;
    UImenuItem* item = recordsOptions() ? UImenuItemFor(b.option) : nullptr;
    UIargs args{{XmNsensitive, active ? True : False}};
    args.add(XmNuserData, item ? static_cast<UIwindow*>(item) : static_cast<UIwindow*>(this));
    b.button = XtCreateWidget(label.c_str(), xmPushButtonWidgetClass, pulldown_, args.list(),
                              args.count());
    UIsetXmLabelFromString(b.button, label.c_str());
    if (item) {
      item->addItem(MenuItemWidget(b.button, messageWindow, &UIoptionMenu::setValue));
      UIaddItemStatusHandlers(b.button);
      UIaddCallback<&UIoptionMenu::onCommand>(b.button, XmNactivateCallback, this);
    } else {
      UIaddCallback<&UIoptionMenu30::onCommand30>(b.button, XmNactivateCallback,
                                                  static_cast<UIoptionMenu30*>(this));
    }
    XtManageChild(b.button);
  }
}

void UIoptionMenu::setOptionLabel() {
  if (UIisBeingDestroyed(widget_)) return;
  Widget label = XmOptionLabelGadget(widget_);
  if (!label) return;
  int shown = 1;
  if (!readInt(objId, "optionLabel", &shown)) shown = 1;
  OMtext text = OMget_text(sub(objId, "label"));
  UIxmString s = UIxmText(text ? text.get() : nameOf(objId));
  if (shown) {
    XtVaSetValues(label, XmNlabelString, s.get(), nullptr);
    if (fontSet)
      if (XmFontList fonts = WTget_xmfontlist(fontSet))
        XtVaSetValues(label, XmNfontList, fonts, nullptr);
    XtManageChild(label);
    XtVaSetValues(widget_, XmNspacing, 3, nullptr);
  } else {
    XtUnmanageChild(label);
  }
  if (empty_)
    for (Widget child : uiprops::childrenOf(pulldown_))
      if (!UIisBeingDestroyed(child)) XtVaSetValues(child, XmNlabelString, s.get(), nullptr);
}

void UIoptionMenu::setCurrentItem(int i) {
  if (i < 0 || i >= static_cast<int>(buttons_->size())) return;
  // Writes below may run updates that rebuild this control: the entries are copied.
  std::vector<UIchoiceButton> entries = *buttons_;
  OMobj_id obj = objId;
  OMobj_id selectedCmd = sub(obj, "selectedCmd");
  OMcontext ctx(obj, OM_CTX_USER, OM_CTX_PLAIN);
  for (int j = 0; j < static_cast<int>(entries.size()); ++j) {
    const UIchoiceButton& b = entries[static_cast<size_t>(j)];
    int set = 0;
    bool setReads = readInt(b.option, "set", &set);
    if (j == i) {
      int selected = -1;
      if (!readInt(obj, "selectedItem", &selected) || selected != b.index)
        OMset_int_val(sub(obj, "selectedItem"), b.index);
      if (!!selectedCmd) {
        OMobj_id current;
        if (OMget_obj_val(selectedCmd, &current) != 1 || current != b.option) {
          OMset_state_mode(OM_CTX_QUIET);
          OMset_obj_ref(selectedCmd, b.option, 0);
          OMset_state_mode(OM_CTX_USER);
        }
      }
      if (!setReads || set != 1) UIsetOptionInt(b.option, "set", 1, OM_CTX_USER, 1);
      if (alive(this)) {
        current_ = j;
        if (!UIisBeingDestroyed(widget_) && !UIisBeingDestroyed(b.button))
          XtVaSetValues(widget_, XmNmenuHistory, b.button, nullptr);
      }
    } else if (setReads && set != 0) {
      UIsetOptionInt(b.option, "set", 0, OM_CTX_USER, 1);
    }
  }
}

void UIoptionMenu::setValue(int value, char, Widget w) {
  UIoptionMenu* control = controlOf(w);
  if (!control || !value) return;
  int i = UIchoiceButtonAt(*control->buttons_, w);
  if (i >= 0 && i != control->current_) control->setCurrentItem(i);
}

void UIoptionMenu::onCommand(Widget w, UIoptionMenu* binding, XmAnyCallbackStruct*) {
  if (UIisBeingDestroyed(w)) return;
  UIwindow* found = UIwidgetToClass(w);
  auto* item = UIwindow::alive(found) ? dynamic_cast<UImenuItem*>(found) : nullptr;
  if (!item) return;
  OMobj_id option = item->objId;
  int i = UIchoiceButtonAt(*binding->buttons_, w);
  item->action(1, 1);
  // Made current here too, unless what action ran rebuilt the buttons (w is then gone).
  if (alive(binding) && i >= 0 && UIchoiceButtonAt(*binding->buttons_, w) == i &&
      i != binding->current_)
    binding->setCurrentItem(i);
  if (!option) return;
  OMcontext ctx(option, OM_CTX_USER, OM_CTX_PLAIN);
  OMset_int_val(sub(option, "set"), 1);
  OMset_state_mode(OM_CTX_QUIET);
  OMset_int_val(sub(option, "do"), 1);
  OMset_state_mode(OM_CTX_USER);
}

void UIoptionMenu::updateButtons() {
  for (UIchoiceButton& b : *buttons_) {
    if (UIisBeingDestroyed(b.button)) continue;
    std::string label = UIoptionLabel(b.option);
    UIsetXmLabelFromString(b.button, label.c_str());
    int active = 1;
    if (!readInt(b.option, "active", &active)) active = 1;
    XtSetSensitive(b.button, active ? True : False);
  }
  for (size_t i = 0; i < buttons_->size(); ++i) {
    int set = 0;
    if (readInt((*buttons_)[i].option, "set", &set) && set == 1 &&
        static_cast<int>(i) != current_) {
      current_ = static_cast<int>(i);
      XtVaSetValues(widget_, XmNmenuHistory, (*buttons_)[i].button, nullptr);
    }
  }
}

void UIoptionMenu::updateOnCmdList() {
  std::vector<UIchoiceButton> entries = UIreadOptionEntries(objId, classType());
  int dims = 0;
  readInt(objId, "dims", &dims);
  OMobj_id first;
  if (dims == 0 && OMget_array_val(sub(objId, "cmdList"), 0, &first, 0) != 1)
    return rebuildObject(widget_);
  for (const UIchoiceButton& b : entries) {
    int set = 0;
    if (readInt(b.option, "set", &set) && set == 1) {
      int selected = -1;
      if (!readInt(objId, "selectedItem", &selected) || selected != b.index) {
        OMcontext ctx(objId, OM_CTX_USER, OM_CTX_PLAIN);
        OMset_int_val(sub(objId, "selectedItem"), b.index);
      }
      break;
    }
  }
  if (!alive(this)) return;
  bool same = entries.size() == buttons_->size();
  for (size_t i = 0; same && i < entries.size(); ++i)
    same = entries[i].option == (*buttons_)[i].option && entries[i].index == (*buttons_)[i].index;
  if (!same) return rebuildObject(widget_);
  updateButtons();
}

void UIoptionMenu::updateOnSelectedItem() {
  int selected = 0;
  if (!readInt(objId, "selectedItem", &selected)) return;
  for (size_t i = 0; i < buttons_->size(); ++i)
    if ((*buttons_)[i].index == selected) return setCurrentItem(static_cast<int>(i));
  ERRerror("UIoptionMenu::updateOnSelectedItem", 0, 2, "Selected item out of range.");
}

void UIoptionMenu::updateObject(int seq) {
  if (UIisBeingDestroyed(widget_)) return;
  int listSeq = seqOf(sub(objId, "cmdList"));
  int itemSeq = seqOf(sub(objId, "selectedItem"));
  if (listSeq > seq && listSeq > itemSeq) return updateOnCmdList();
  if (itemSeq > seq && itemSeq > listSeq) return updateOnSelectedItem();
  updateButtons();
  setResources(widget_, seq);
  if (newer(objId, "label", seq)) setOptionLabel();
  if (newer(objId, "optionLabel", seq) || newer(objId, "width", seq) || newer(objId, "height", seq))
    return rebuildObject(widget_);
  UIwindow::updateObject(seq);
}

void UIoptionMenu::rebuildObject(Widget old) {
  if (UIisBeingDestroyed(old)) return;
  UIdiscardChoiceButtons(*buttons_);
  UIwindow::rebuildObject(old);
}

void UIoptionMenu::destroyObject() {
  UIdiscardChoiceButtons(*buttons_);
  UIwindow::destroyObject();
}

// ---- UIoptionMenu30 --------------------------------------------------------------------------

UIoptionMenu30::UIoptionMenu30(OMobj_id id) : UIoptionMenu(id) {
  classType_ = "UIoptionMenu30";
}

void UIoptionMenu30::updateObject(int seq) {
  if (UIisBeingDestroyed(widget_)) return;
  if (newer(objId, "update", seq) || newer(objId, "cmdList", seq) || newer(objId, "dims", seq)) {
    std::vector<UIchoiceButton> entries = UIreadOptionEntries(objId, classType());
    if (entries.size() != buttons_->size()) return rebuildObject(widget_);
    updateButtons();
  }
  if (newer(objId, "selectedItem", seq)) {
    int selected = 0;
    if (readInt(objId, "selectedItem", &selected))
      for (size_t i = 0; i < buttons_->size(); ++i)
        if ((*buttons_)[i].index == selected) {
          current_ = static_cast<int>(i);
          XtVaSetValues(widget_, XmNmenuHistory, (*buttons_)[i].button, nullptr);
        }
  }
  setResources(widget_, seq);
  if (newer(objId, "label", seq)) setOptionLabel();
  UIwindow::updateObject(seq);
}

void UIoptionMenu30::onCommand30(Widget w, UIoptionMenu30* binding, XmAnyCallbackStruct*) {
  int i = UIchoiceButtonAt(*binding->buttons_, w);
  if (i < 0) return;
  std::vector<UIchoiceButton> entries = *binding->buttons_;
  int previous = binding->current_;
  OMobj_id obj = binding->objId;
  binding->current_ = i;
  OMcontext ctx(obj, OM_CTX_USER, OM_CTX_EVENT);
  if (previous >= 0 && previous < static_cast<int>(entries.size()) && previous != i)
    UIsetOptionInt(entries[static_cast<size_t>(previous)].option, "set", 0, OM_CTX_USER,
                   OM_CTX_EVENT);
  OMset_int_val(sub(obj, "selectedItem"), entries[static_cast<size_t>(i)].index);
  UIsetOptionInt(entries[static_cast<size_t>(i)].option, "set", 1, OM_CTX_USER, OM_CTX_EVENT);
}

// ---- Entry points ----------------------------------------------------------------------------

int UIoptionMenuInstance(OMobj_id id) {
  return UIinstanceEntry<UIoptionMenu>(id);
}
int UIoptionMenuUpdate(OMobj_id id, unsigned int mask, int seq) {
  return UIupdateEntry<UIoptionMenu>(id, mask, seq);
}
int UIoptionMenu30Instance(OMobj_id id) {
  return UIinstanceEntry<UIoptionMenu30>(id);
}
int UIoptionMenu30Update(OMobj_id id, unsigned int mask, int seq) {
  return UIupdateEntry<UIoptionMenu30>(id, mask, seq);
}

int UIradioListUpdate(OMobj_id list) {
  OMobj_id entries = OMfind_subobj(list, OMstr_to_name("cmdList"), 0);
  OMobj_id update = OMfind_subobj(list, OMstr_to_name("update"), 0);
  if (!entries || !update) return 0;
  if (OMget_obj_seq(entries, OMnull_obj, 3) <= OMget_obj_seq(update, OMnull_obj, 0)) return 1;
  int size = 0;
  if (OMget_array_size(entries, &size) != 1) size = 0;
  for (int i = 0; i < size; ++i) {
    OMobj_id element, option;
    if (OMget_array_val(entries, i, &element, 0) != 1 || OMget_obj_val(element, &option) != 1)
      continue;
    int set = 0;
    if (!readInt(option, "set", &set) || !set) continue;
    OMcontext ctx(list, OM_CTX_USER, OM_CTX_PLAIN);
    OMset_int_val(sub(list, "selectedItem"), i);
    OMset_state_mode(OM_CTX_QUIET);
    OMset_obj_ref(sub(list, "selectedCmd"), option, 0);
    OMset_state_mode(OM_CTX_USER);
    return 1;
  }
  return 1;
}
