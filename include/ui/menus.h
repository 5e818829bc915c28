// Menus built from command lists, and the binding of a command that may show in several
// widgets at once.
//
//   UIcmdList "<list>"  (menu bar)     XmRowColumn "menuBar_<main window>" (32 high)
//     > UIcmdList  (sub-menu)          XmCascadeButton "subMenuButton_<list>"
//                                        > XmPulldownMenu "newMenu_<sub-list>"
//     > UIcmd                          XmPushButton "<label>"
//     > UIoption (in a pull-down)      XmToggleButton "<label>"
//     > UImenuSeparator                XmSeparator "<label>"
//
//   command  "label" (mnemonic after "&"; else the object's name) "accelerator" with
//            "acceleratorText" (only as a pair) -> item; "active" -> sensitivity of every item
//            of the command; "set" <-> toggle state; choosing an item writes "do" 1 (an option
//            switched off writes "set" 0 and no "do"); "message" -> status bar while the
//            pointer is on the item; "window" <- the newest item widget
//   list     "radioBehavior" (1: at most one option on, 2: exactly one), "isHelpCmd" (the bar's
//            help entry), "label" and accelerator of its cascade button
//
// Every widget made for a command carries the command's UImenuItem as XmNuserData and is one
// record of it; a record leaves when its widget is destroyed or detached, and the binding is
// deleted with its last record.
#pragma once

#include <Xm/Xm.h>

#include <vector>

#include "ui/wind.h"

// Shows a value on a widget (value, notify callbacks, widget).
typedef void (*UIsetValFunc)(int value, char notify, Widget w);

// One widget showing a command: the widget, the message window of its nearest main window
// (may be null) and the function that shows a value on it.
struct MenuItemWidget {
  MenuItemWidget() = default;
  MenuItemWidget(Widget w, Widget message, UIsetValFunc set)
      : widget(w), messageWindow(message), setValFunc(set) {}
  // A bare widget: no message window is kept and no function set.
  MenuItemWidget& operator=(Widget w) {
    widget = w;
    setValFunc = nullptr;
    return *this;
  }
  Widget widget = nullptr;
  Widget messageWindow = nullptr;
  UIsetValFunc setValFunc = nullptr;
};

// The binding of a UIcmd or UIoption: no widget of its own, a record per widget showing it.
class UImenuItem : public UIwindow {
 public:
  explicit UImenuItem(OMobj_id id);
  ~UImenuItem() override;

  // Sensitivity comes from setActive(int), never from the window base.
  void setActive(const OMobj_id&, Widget) override {}
  bool instanceObject() override { return true; }
  // Clears the command's "window", then the base destruction (deletes this).
  void destroyObject() override;
  Widget statusWidget(Widget w) const override { return MessageWindow(w); }
  bool inheritsColoursFromXtParent() const override { return true; }

  // Calls every record's setValFunc(value, notify, widget), in order; records whose widget is
  // gone are skipped. The binding may be deleted by what this runs: callers check alive().
  void action(int value, char notify);
  // Sets every record's widget sensitive or not; remembers the value.
  void setActive(int active);
  // Appends a record; the record leaves by itself when its widget is destroyed.
  void addItem(const MenuItemWidget& item);
  // Removes the record of w (its widget is left alone). Deletes nothing.
  void removeItemFromList(Widget w);
  void removeItemFromList(MenuItemWidget& item);
  // The message window stored with w, or null.
  Widget MessageWindow(Widget w) const;
  int itemCount() const { return static_cast<int>(items_.size()); }
  const std::vector<MenuItemWidget>& items() const { return items_; }

  // setValFunc of menu toggles: shows value when it differs; push buttons have no state.
  static void setValue(int value, char notify, Widget w);
  // A menu item chosen (activate or value changed). Reached through UIaddCallback.
  static void onCommand(Widget w, UImenuItem* binding, XmAnyCallbackStruct* call);
  // Enter and leave handlers: the command's "message" in the status bar, and clearing it.
  static void onItemSelect(Widget w, XtPointer data, XEvent* event, Boolean* go);
  static void onItemDeselect(Widget w, XtPointer data, XEvent* event, Boolean* go);
  // Both as one handler: onItemSelect for an EnterNotify, onItemDeselect for a LeaveNotify.
  static void onItemCrossing(Widget w, XtPointer data, XEvent* event, Boolean* go);

  int active = 1;  // the last sensitivity applied

 private:
  static void recordDestroyed(Widget w, XtPointer binding, XtPointer call);
  std::vector<MenuItemWidget> items_;
};

// Puts the status-bar handlers (onItemSelect on entering, onItemDeselect on leaving) on w, as
// one entry of its handler list (onItemCrossing): every window has them, and each entry is a
// record of its own.
void UIaddItemStatusHandlers(Widget w);

// The binding of a command or option, made when it has none (or one of another type).
UImenuItem* UImenuItemFor(const OMobj_id& cmd);

// Fills parent (a menu bar) with the entries of cmdList (pulldown 0), or makes a pull-down
// under parent and fills it (pulldown non-zero). Returns the filled menu, or null after a
// refused connection: a list met again below itself (the entry is removed from "cmdList" and
// "Cannot connect UIcmdList to itself. Connection refused." reported; a pull-down made for it
// is destroyed), or an option directly in a menu bar (reported; entries made so far stay).
Widget UIcreateMenu(Widget parent, const OMobj_id& cmdList, int pulldown);
// Replaces the menu bar of a main window (the old one detached, then destroyed) and returns
// the new one.
Widget UIbuildMenu(Widget mainWindow, const OMobj_id& cmdList);
// Detaches every item of menu and its sub-menus from its binding; a binding left without
// records is deleted.
void UIdisconnectMenuFromCmds(Widget menu);
// Destroy callback of item widgets: clears the command's "window".
void UIcmdDestroyCB(Widget w, void* client, void* call);
// True when what a menu built from menuProp (a "menu" link) shows changed after seq: entries,
// labels, accelerators, separators, help entries, radio settings. "do", "set", "active" and
// what the build itself writes ("window", "cxxhandle") do not count.
bool UImenuTreeChanged(const OMobj_id& menuProp, int seq);

// Gives the shells their menu bars (called by UIinit).
void UImenuInit();

// Entry points of commands and options: sensitivity from "active"; unbinding on delete.
int UIcmdUpdate(OMobj_id cmd);
int UIcmdDelete(OMobj_id cmd);
// Update entry point of an option: sensitivity, then a changed "set" shown (with notification)
// by every widget showing the option. 0 when "update" or "set" is missing.
int UIoptionUpdate(OMobj_id option);
// The fallback setValFunc: shows nothing, writes "defaultSetValFunc called " and a newline.
void defaultSetValFunc(int value, char notify, Widget w);
