// Menus from command lists, the bindings of commands and options, and the status-bar help of
// menu items.
#include "ui/menus.h"

#include <Xm/CascadeB.h>
#include <Xm/MainW.h>
#include <Xm/PushB.h>
#include <Xm/PushBG.h>
#include <Xm/RowColumn.h>
#include <Xm/Separator.h>
#include <Xm/ToggleB.h>
#include <Xm/ToggleBG.h>
#include <Xm/Xm.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "om/om_registry.h"
#include "om/om_scope.h"
#include "svc/err.h"
#include "svc/wt.h"
#include "ui/args.h"
#include "ui/misc.h"
#include "ui/shell.h"

#include "props.h"

namespace {

using uiprops::nameOf;
using uiprops::readInt;
using uiprops::sub;

// The four type templates, found once all exist and kept for the process.
struct MenuTemplates {
  OMobj_id cmdList = OMnull_obj;
  OMobj_id cmd = OMnull_obj;
  OMobj_id option = OMnull_obj;
  OMobj_id separator = OMnull_obj;
};

const MenuTemplates& templates() {
  static MenuTemplates t;
  if (!t.cmdList || !t.cmd || !t.option || !t.separator) {
    t.cmdList = OMfind_template("UIcmdList");
    t.cmd = OMfind_template("UIcmd");
    t.option = OMfind_template("UIoption");
    t.separator = OMfind_template("UImenuSeparator");
  }
  return t;
}

enum class Entry { kList, kOption, kCommand, kSeparator, kOther };

// An option is never taken for a plain command: the more special templates come first.
Entry classify(const OMobj_id& entry) {
  const MenuTemplates& t = templates();
  if (!!t.cmdList && OMmatch_obj(t.cmdList, entry, 0x21) == 1) return Entry::kList;
  if (!!t.option && OMmatch_obj(t.option, entry, 0x21) == 1) return Entry::kOption;
  if (!!t.cmd && OMmatch_obj(t.cmd, entry, 0x21) == 1) return Entry::kCommand;
  if (!!t.separator && OMmatch_obj(t.separator, entry, 0x21) == 1) return Entry::kSeparator;
  return Entry::kOther;
}

// The label of an entry: "label", else the object's name, cut to the 256-byte buffer either way.
std::string labelOf(const OMobj_id& entry) {
  char buffer[256];
  char* at = buffer;
  if (OMget_str_val(sub(entry, "label"), &at, sizeof buffer) != 1)
    std::snprintf(buffer, sizeof buffer, "%s", nameOf(entry));
  return buffer;
}

// The entry's accelerator and its text, applied only as a pair.
void applyAccelerator(Widget w, const OMobj_id& entry) {
  OMtext accelerator = OMget_text(sub(entry, "accelerator"));
  OMtext text = accelerator ? OMget_text(sub(entry, "acceleratorText")) : OMtext();
  if (!accelerator || !text) return;
  XtVaSetValues(w, XmNaccelerator, accelerator.get(), nullptr);
  XmString shown = XmStringCreateLocalized(text.get());
  XtVaSetValues(w, XmNacceleratorText, shown, nullptr);
  XmStringFree(shown);
}

bool isToggle(Widget w) {
  return XmIsToggleButton(w) || XmIsToggleButtonGadget(w);
}

void setPointer(const OMobj_id& property, void* value) {
  if (!property) return;
  OMcontext ctx(property, OM_CTX_USER, OM_CTX_EVENT);
  OMset_ptr_val(property, value, 0);
}

Widget createMenu(Widget parent, const OMobj_id& cmdList, int pulldown,
                  std::vector<OMobj_id>& above);

// Detaches and destroys a menu made for a list that was then refused.
void discardMenu(Widget menu) {
  UIdisconnectMenuFromCmds(menu);
  UIdestroyWidget(menu);
}

Widget createMenu(Widget parent, const OMobj_id& cmdList, int pulldown,
                  std::vector<OMobj_id>& above) {
  templates();
  XmFontList fonts = UIget_xmfontlist(parent, 12, 0);
  Widget menu = parent;
  if (pulldown) {
    std::string name = std::string("newMenu_") + nameOf(cmdList);
    UIargs args{{XmNuserData, nullptr}};
    menu = XmCreatePulldownMenu(parent, const_cast<char*>(name.c_str()), args.list(), args.count());
    int radio = 0;
    if (readInt(cmdList, "radioBehavior", &radio) && radio)
      XtVaSetValues(menu, XmNradioBehavior, True, XmNradioAlwaysOne, radio > 1 ? True : False,
                    nullptr);
  }
  Widget mainWindow = UIfindNearestMainWindowAncestor(parent);
  Widget messageWindow = nullptr;
  if (mainWindow) XtVaGetValues(mainWindow, XmNmessageWindow, &messageWindow, nullptr);
  OMobj_id entries = sub(cmdList, "cmdList");
  int dims = 0;
  if (!readInt(cmdList, "dims", &dims)) dims = 0;
  dims = uiprops::countWithin(entries, dims);
  above.push_back(cmdList);
  // The items are managed together at the end: the menu lays itself out once.
  std::vector<Widget> made;
  auto manageMade = [&] {
    if (!made.empty()) XtManageChildren(made.data(), static_cast<Cardinal>(made.size()));
  };
  for (int i = 0; i < dims; ++i) {
    OMobj_id element, entry;
    if (OMget_array_val(entries, i, &element, 0) != 1 || OMget_obj_val(element, &entry) != 1 ||
        !entry)
      continue;
    std::string label = labelOf(entry);
    switch (classify(entry)) {
      case Entry::kList: {
        // A list met again below itself would nest for ever.
        bool cycle =
            std::any_of(above.begin(), above.end(), [&](const OMobj_id& a) { return a == entry; });
        if (cycle) {
          ERRerror("UIcreateMenu", 0, 2, "Cannot connect UIcmdList to itself. Connection refused.");
          OMdel_array_val(entries, i, 0);
          above.pop_back();
          if (pulldown) {
            discardMenu(menu);
          } else {
            manageMade();
          }
          return nullptr;
        }
        Widget sub = createMenu(menu, entry, 1, above);
        if (!sub) continue;
        std::string name = std::string("subMenuButton_") + nameOf(cmdList);
        UIargs args{{XmNsubMenuId, sub}, {XmNmappingDelay, 0}, {XmNuserData, nullptr}};
        if (fonts) args.add(XmNfontList, fonts);
        Widget button = XtCreateWidget(name.c_str(), xmCascadeButtonWidgetClass, menu, args.list(),
                                       args.count());
        int help = 0;
        if (readInt(entry, "isHelpCmd", &help) && help)
          XtVaSetValues(menu, XmNmenuHelpWidget, button, nullptr);
        UIsetXmMnemonicFromString(button, label.c_str());
        UIsetXmLabelFromString(button, label.c_str());
        applyAccelerator(button, entry);
        made.push_back(button);
        break;
      }
      case Entry::kOption:
        if (!pulldown) {
          ERRerror("UIcreateMenu", 0, 2,
                   "Detected illegal menu connection.  Unable to build menu. A UIoption may not "
                   "be an immediate child of a Menu Bar (the first UIcmdList connected to a "
                   "UIshell or UIapp). A UIoption may be the child of a Pulldown Menu (a second "
                   "UIcmdList, connected to the first one).");
          above.pop_back();
          manageMade();  // entries made so far stay
          return nullptr;
        }
        [[fallthrough]];
      case Entry::kCommand: {
        bool option = classify(entry) == Entry::kOption;
        int active = 1;
        if (!readInt(entry, "active", &active)) active = 1;
        UImenuItem* binding = UImenuItemFor(entry);
        UIargs args{{XmNuserData, static_cast<UIwindow*>(binding)},
                    {XmNsensitive, active ? True : False}};
        if (fonts) args.add(XmNfontList, fonts);
        if (option) args.add(XmNvisibleWhenOff, True);
        Widget item = XtCreateWidget(label.c_str(),
                                     option ? xmToggleButtonWidgetClass : xmPushButtonWidgetClass,
                                     menu, args.list(), args.count());
        binding->addItem(MenuItemWidget(item, messageWindow, &UImenuItem::setValue));
        UIsetXmMnemonicFromString(item, label.c_str());
        UIsetXmLabelFromString(item, label.c_str());
        applyAccelerator(item, entry);
        UIaddItemStatusHandlers(item);
        UIaddCallback<&UImenuItem::onCommand>(
            item, option ? XmNvalueChangedCallback : XmNactivateCallback, binding);
        XtAddCallback(item, XmNdestroyCallback, UIcmdDestroyCB, nullptr);
        if (option) {
          int set = 0;
          if (!readInt(entry, "set", &set)) set = 0;
          XmToggleButtonSetState(item, set ? True : False, False);
        }
        made.push_back(item);
        setPointer(sub(entry, "window"), item);
        break;
      }
      case Entry::kSeparator: {
        UIargs args{{XmNuserData, nullptr}};
        made.push_back(
            XtCreateWidget(label.c_str(), xmSeparatorWidgetClass, menu, args.list(), args.count()));
        break;
      }
      case Entry::kOther:
        std::printf("[UIcreateMenu]: Menu object not UIcmdList,\n");
        std::printf("                UIcmd, UImenuSeparator, nor UIoption.\n");
        break;
    }
  }
  above.pop_back();
  manageMade();
  return menu;
}

// The newest stamp of what a menu built from list shows (see UImenuTreeChanged).
int structureStamp(const OMobj_id& list, std::vector<OMobj_id>& seen) {
  if (std::any_of(seen.begin(), seen.end(), [&](const OMobj_id& s) { return s == list; }))
    return -1;
  seen.push_back(list);
  auto leaf = [&](const OMobj_id& obj, const char* name) {
    return OMget_obj_seq(sub(obj, name), OMnull_obj, 3);
  };
  int newest = -1;
  for (const char* name :
       {"dims", "label", "accelerator", "acceleratorText", "isHelpCmd", "radioBehavior"})
    newest = std::max(newest, leaf(list, name));
  OMobj_id entries = sub(list, "cmdList");
  newest = std::max(newest, OMget_obj_seq(entries, OMnull_obj, 0));
  int size = 0;
  if (OMget_array_size(entries, &size) != 1) size = 0;
  for (int i = 0; i < size; ++i) {
    OMobj_id element, entry;
    if (OMget_array_val(entries, i, &element, 0) != 1) continue;
    newest = std::max(newest, OMget_obj_seq(element, OMnull_obj, 0));
    if (OMget_obj_val(element, &entry) != 1 || !entry) continue;
    switch (classify(entry)) {
      case Entry::kList:
        newest = std::max(newest, structureStamp(entry, seen));
        break;
      case Entry::kOption:
      case Entry::kCommand:
        for (const char* name : {"label", "accelerator", "acceleratorText"})
          newest = std::max(newest, leaf(entry, name));
        break;
      case Entry::kSeparator:
        newest = std::max(newest, leaf(entry, "label"));
        break;
      case Entry::kOther:
        break;
    }
  }
  return newest;
}

// The shell's menu bar hooks.
Widget buildMenuBar(const OMobj_id& menu, Widget mainWindow) {
  return UIbuildMenu(mainWindow, menu);
}
void destroyMenuBar(Widget bar) {
  UIdisconnectMenuFromCmds(bar);
  UIdestroyWidget(bar);
}

}  // namespace

void UImenuInit() {
  UIbuildMenuBar = buildMenuBar;
  UIdestroyMenuBar = destroyMenuBar;
  UImenuBarChanged = UImenuTreeChanged;
}

// ---- UImenuItem ------------------------------------------------------------------------------

UImenuItem::UImenuItem(OMobj_id id) : UIwindow(id) {
  classType_ = "UImenuItem";
  items_.reserve(1);
}

UImenuItem::~UImenuItem() {
  // Widgets that outlive the binding must not find it through their destroy callbacks.
  for (const MenuItemWidget& item : items_)
    if (!UIisBeingDestroyed(item.widget))
      XtRemoveCallback(item.widget, XmNdestroyCallback, recordDestroyed, this);
}

void UImenuItem::destroyObject() {
  setPointer(sub(objId, "window"), nullptr);
  UIwindow::destroyObject();
}

void UImenuItem::addItem(const MenuItemWidget& item) {
  items_.push_back(item);
  if (!UIisBeingDestroyed(item.widget))
    XtAddCallback(item.widget, XmNdestroyCallback, recordDestroyed, this);
}

void UImenuItem::recordDestroyed(Widget w, XtPointer data, XtPointer) {
  auto* binding = static_cast<UImenuItem*>(data);
  if (!alive(binding)) return;
  auto it = std::find_if(binding->items_.begin(), binding->items_.end(),
                         [w](const MenuItemWidget& m) { return m.widget == w; });
  if (it == binding->items_.end()) return;
  binding->items_.erase(it);
  if (binding->items_.empty()) delete binding;
}

void UImenuItem::removeItemFromList(Widget w) {
  auto it = std::find_if(items_.begin(), items_.end(),
                         [w](const MenuItemWidget& m) { return m.widget == w; });
  if (it == items_.end()) return;
  if (!UIisBeingDestroyed(w)) XtRemoveCallback(w, XmNdestroyCallback, recordDestroyed, this);
  items_.erase(it);
}

void UImenuItem::removeItemFromList(MenuItemWidget& item) {
  removeItemFromList(item.widget);
}

Widget UImenuItem::MessageWindow(Widget w) const {
  for (const MenuItemWidget& item : items_)
    if (item.widget == w) return item.messageWindow;
  return nullptr;
}

void UImenuItem::action(int value, char notify) {
  // What a record's function runs may add or remove records, or delete this binding.
  std::vector<MenuItemWidget> records = items_;
  for (const MenuItemWidget& item : records) {
    if (!alive(this)) return;
    if (UIisBeingDestroyed(item.widget) || !item.setValFunc) continue;
    bool present = std::any_of(items_.begin(), items_.end(),
                               [&](const MenuItemWidget& m) { return m.widget == item.widget; });
    if (present) item.setValFunc(value, notify, item.widget);
  }
}

void UImenuItem::setActive(int value) {
  for (const MenuItemWidget& item : items_)
    if (!UIisBeingDestroyed(item.widget)) XtSetSensitive(item.widget, value ? True : False);
  active = value;
}

void UImenuItem::setValue(int value, char notify, Widget w) {
  // Only a toggle has a state: a push button's callback list must stay as it is.
  if (UIisBeingDestroyed(w) || !isToggle(w)) return;
  if ((XmToggleButtonGetState(w) ? 1 : 0) != (value ? 1 : 0))
    XmToggleButtonSetState(w, value ? True : False, notify ? True : False);
}

void UImenuItem::onCommand(Widget w, UImenuItem* binding, XmAnyCallbackStruct* call) {
  if (UIisBeingDestroyed(w)) return;
  bool toggle = isToggle(w);
  int state = toggle && XmToggleButtonGetState(w) ? 1 : 0;
  binding->action(state, 0);
  if (!alive(binding)) return;
  OMobj_id cmd = binding->objId;
  if (!cmd) return;
  if (toggle) {
    int set = -1;
    if (!readInt(cmd, "set", &set)) set = -1;
    if (set != state) {
      OMcontext ctx(cmd, OM_CTX_USER, OM_CTX_PLAIN);
      OMset_int_val(sub(cmd, "set"), state);
    }
  }
  if (call && call->reason != XmCR_ACTIVATE && toggle && !state) return;
  bool quiet = OMget_journal_style(0) < 1 && OMget_journal_control(0) <= 0;
  OMcontext ctx(cmd, OM_CTX_USER, OM_CTX_PLAIN);
  OMset_state_mode(quiet ? OM_CTX_QUIET : OM_CTX_USER);
  OMset_int_val(sub(cmd, "do"), 1);
  OMset_state_mode(OM_CTX_USER);
}

void UImenuItem::onItemSelect(Widget w, XtPointer, XEvent*, Boolean*) {
  UIwindow* binding = UIwidgetToClass(w);
  if (!binding || !binding->OK()) return;
  if (OMtext message = OMget_text(sub(binding->objId, "message")))
    UIwindow::drawStatBarText(w, message.get());
}

void UImenuItem::onItemDeselect(Widget w, XtPointer, XEvent*, Boolean*) {
  UIwindow* binding = UIwidgetToClass(w);
  if (!binding || !binding->OK()) return;
  if (OMtext message = OMget_text(sub(binding->objId, "message")))
    UIwindow::drawStatBarText(w, nullptr);
}

void UImenuItem::onItemCrossing(Widget w, XtPointer data, XEvent* event, Boolean* go) {
  if (!event) return;
  if (event->type == EnterNotify)
    onItemSelect(w, data, event, go);
  else if (event->type == LeaveNotify)
    onItemDeselect(w, data, event, go);
}

void UIaddItemStatusHandlers(Widget w) {
  if (UIisBeingDestroyed(w)) return;
  XtAddEventHandler(w, EnterWindowMask | LeaveWindowMask, False, UImenuItem::onItemCrossing,
                    nullptr);
}

UImenuItem* UImenuItemFor(const OMobj_id& cmd) {
  UIwindow* existing = UIobjIdToClass(cmd);
  if (existing && UIwindow::alive(existing))
    if (auto* item = dynamic_cast<UImenuItem*>(existing)) return item;
  return new UImenuItem(cmd);
}

// ---- Menus -----------------------------------------------------------------------------------

Widget UIcreateMenu(Widget parent, const OMobj_id& cmdList, int pulldown) {
  if (UIisBeingDestroyed(parent)) return nullptr;
  std::vector<OMobj_id> above;
  // The build's own writes ("window" of every item) notify once, when it is done.
  OMcontext ctx(cmdList, OM_CTX_USER, OM_CTX_EVENT);
  return createMenu(parent, cmdList, pulldown, above);
}

Widget UIbuildMenu(Widget mainWindow, const OMobj_id& cmdList) {
  if (UIisBeingDestroyed(mainWindow)) return nullptr;
  Widget old = nullptr;
  XtVaGetValues(mainWindow, XmNmenuBar, &old, nullptr);
  if (old) destroyMenuBar(old);
  std::string name = std::string("menuBar_") + XtName(mainWindow);
  UIargs args{{XmNheight, 32}, {XmNresizeHeight, False}, {XmNsensitive, False}};
  Widget bar =
      XmCreateMenuBar(mainWindow, const_cast<char*>(name.c_str()), args.list(), args.count());
  UIcreateMenu(bar, cmdList, 0);
  XtManageChild(bar);
  XtSetSensitive(bar, True);
  XtVaSetValues(mainWindow, XmNmenuBar, bar, nullptr);
  return bar;
}

namespace {

void disconnect(Widget menu) {
  if (UIisBeingDestroyed(menu)) return;
  for (Widget child : uiprops::childrenOf(menu)) {
    if (UIisBeingDestroyed(child)) continue;
    if (XmIsCascadeButton(child)) {
      Widget submenu = nullptr;
      XtVaGetValues(child, XmNsubMenuId, &submenu, nullptr);
      disconnect(submenu);
      continue;
    }
    UIwindow* found = UIwidgetToClass(child);
    if (!found) continue;
    // A "window" naming the item would outlive it: cleared while the item still says whose
    // it is (its destroy callback will find no binding).
    UIcmdDestroyCB(child, nullptr, nullptr);
    XtVaSetValues(child, XmNuserData, nullptr, nullptr);
    auto* binding = dynamic_cast<UImenuItem*>(found);
    if (!binding || !UIwindow::alive(binding) || !binding->OK()) continue;
    binding->removeItemFromList(child);
    if (binding->itemCount() == 0) delete binding;
  }
}

}  // namespace

void UIdisconnectMenuFromCmds(Widget menu) {
  // The commands' "window" writes notify once, when every item is detached.
  OMcontext ctx(OMroot_obj, OM_CTX_USER, OM_CTX_EVENT);
  disconnect(menu);
}

void UIcmdDestroyCB(Widget w, void*, void*) {
  // w is being destroyed (so the registry no longer vouches for it) but is valid here, in its
  // own destroy callback; its user data is checked against the live bindings.
  XtPointer data = nullptr;
  XtVaGetValues(w, XmNuserData, &data, nullptr);
  auto* binding = static_cast<UIwindow*>(data);
  if (!binding || !UIwindow::alive(binding) || !binding->objId) return;
  OMobj_id window = sub(binding->objId, "window");
  if (!window) return;
  void* current = nullptr;
  // Only a "window" that still names this widget is cleared (a newer item may hold it).
  if (OMget_ptr_val(window, &current, 0) == 1 && current != w) return;
  OMcontext ctx(window, OM_CTX_USER, OM_CTX_EVENT);
  OMset_ptr_val(window, nullptr, 0);
}

bool UImenuTreeChanged(const OMobj_id& menuProp, int seq) {
  if (!menuProp) return false;
  if (OMget_obj_seq(menuProp, OMnull_obj, 0) > seq) return true;
  OMobj_id list;
  if (OMget_obj_val(menuProp, &list) != 1 || !list) return false;
  std::vector<OMobj_id> seen;
  return structureStamp(list, seen) > seq;
}

// ---- Entry points ----------------------------------------------------------------------------

int UIcmdUpdate(OMobj_id cmd) {
  OMobj_id update = OMfind_subobj(cmd, OMstr_to_name("update"), 0);
  OMobj_id activeProp = OMfind_subobj(cmd, OMstr_to_name("active"), 0);
  if (!update || !activeProp) return 0;
  if (OMget_obj_seq(activeProp, OMnull_obj, 3) <= OMget_obj_seq(update, OMnull_obj, 0)) return 1;
  int active = 1;
  if (OMget_int_val(activeProp, &active) != 1) active = 1;
  UIwindow* found = UIobjIdToClass(cmd);
  auto* binding = UIwindow::alive(found) ? dynamic_cast<UImenuItem*>(found) : nullptr;
  if (binding && binding->OK()) binding->setActive(active);
  return 1;
}

int UIoptionUpdate(OMobj_id option) {
  UIcmdUpdate(option);
  OMobj_id update = OMfind_subobj(option, OMstr_to_name("update"), 0);
  OMobj_id setProp = OMfind_subobj(option, OMstr_to_name("set"), 0);
  if (!update || !setProp) return 0;
  int since = OMget_obj_seq(update, OMnull_obj, 0);
  if (OMget_obj_seq(setProp, OMnull_obj, 3) <= since &&
      OMget_obj_seq(sub(option, "active"), OMnull_obj, 3) <= since)
    return 1;
  int set = 0;
  if (OMget_int_val(setProp, &set) != 1) set = 0;
  UIwindow* found = UIobjIdToClass(option);
  auto* binding = UIwindow::alive(found) ? dynamic_cast<UImenuItem*>(found) : nullptr;
  // Every control showing the option takes the value and runs its own callback.
  if (binding && binding->OK()) binding->action(set, 1);
  return 1;
}

int UIcmdDelete(OMobj_id cmd) {
  if (!cmd) return 0;
  UIwindow* binding = UIobjIdToClass(cmd);
  if (OMset_ptr_val(sub(cmd, "cxxhandle"), nullptr, 0) != 1)
    std::printf("[UIcmdDelete]:Failure to cache this pointer \n");
  // The binding lives on while widgets show it; it no longer speaks for an object.
  if (binding && UIwindow::alive(binding)) binding->objId = OMnull_obj;
  return 1;
}

void defaultSetValFunc(int, char, Widget) {
  std::printf("defaultSetValFunc called \n");
}
