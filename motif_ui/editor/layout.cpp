// The layout editor's state and handlers. Editing is off until the edit-state object turns it
// on; with editing off every handler returns at once (a press also ends any editing state).
#include "ui/layout.h"

#include <Xm/Form.h>
#include <Xm/Frame.h>
#include <Xm/Scale.h>
#include <Xm/Xm.h>

#include <vector>

#include "om/om.h"
#include "om/om_scope.h"
#include "ui/misc.h"
#include "ui/wind.h"

int UIlayout::editEnable = 0;
int UIlayout::snapToGrid = 1;
int UIlayout::gridX = 4;
int UIlayout::gridY = 4;
int UIlayout::state = 0;
int UIlayout::potentialActionState = 1;
Widget UIlayout::moveWidget = nullptr;
Widget UIlayout::destParent = nullptr;
GC UIlayout::layout_gc = nullptr;

void UIlayout::cleanUpLayoutState() {
  if (layout_gc && !UIisBeingDestroyed(moveWidget)) XFreeGC(XtDisplay(moveWidget), layout_gc);
  layout_gc = nullptr;
  state = 0;
  moveWidget = nullptr;
  destParent = nullptr;
}

void UIlayout::cleanupOnObjectDestroy(Widget w) {
  if (layout_gc && !UIisBeingDestroyed(w)) XFreeGC(XtDisplay(w), layout_gc);
  layout_gc = nullptr;
  state = 0;
  moveWidget = nullptr;
}

void UIlayout::widgetRebuilt(Widget old) {
  if (moveWidget != old) return;
  moveWidget = nullptr;
  state = 0;
}

void UIlayout::keyPressCB(Widget, XtPointer, XEvent*, Boolean*) {}

void UIlayout::buttonPressCB(Widget, XtPointer, XEvent* event, Boolean*) {
  if (!event || event->xbutton.button != Button2) return;
  if (!editEnable && state >= 1 && state <= 3) cleanUpLayoutState();
}

void UIlayout::buttonReleaseCB(Widget, XtPointer, XEvent*, Boolean*) {}
void UIlayout::buttonMotionCB(Widget, XtPointer, XEvent*, Boolean*) {}
void UIlayout::pointerMotionCB(Widget, XtPointer, XEvent*, Boolean*) {}

namespace {

// The event as if it had happened on `parent`: w's position and its ancestors' below parent
// are added.
void toParent(Widget w, Widget parent, XEvent* event) {
  int dx = 0, dy = 0;
  for (Widget at = w; at && at != parent && !UIisBeingDestroyed(at); at = XtParent(at)) {
    Position x = 0, y = 0;
    XtVaGetValues(at, XtNx, &x, XtNy, &y, nullptr);
    dx += x, dy += y;
  }
  if (event->type == ButtonPress || event->type == ButtonRelease) {
    event->xbutton.x += dx;
    event->xbutton.y += dy;
  } else if (event->type == MotionNotify) {
    event->xmotion.x += dx;
    event->xmotion.y += dy;
  }
}

}  // namespace

void UIlayout::indirectButtonPressCB(Widget w, XtPointer parent, XEvent* event, Boolean* go) {
  if (!editEnable || !event) return buttonPressCB(static_cast<Widget>(parent), nullptr, event, go);
  toParent(w, static_cast<Widget>(parent), event);
  buttonPressCB(static_cast<Widget>(parent), nullptr, event, go);
}

void UIlayout::indirectButtonReleaseCB(Widget w, XtPointer parent, XEvent* event, Boolean* go) {
  if (!editEnable || !event) return;
  toParent(w, static_cast<Widget>(parent), event);
  buttonReleaseCB(static_cast<Widget>(parent), nullptr, event, go);
}

void UIlayout::indirectButtonMotionCB(Widget w, XtPointer parent, XEvent* event, Boolean* go) {
  if (!editEnable || !event) return;
  toParent(w, static_cast<Widget>(parent), event);
  buttonMotionCB(static_cast<Widget>(parent), nullptr, event, go);
}

void UIlayout::indirectPointerMotionCB(Widget w, XtPointer parent, XEvent* event, Boolean* go) {
  if (!editEnable || !event) return;
  toParent(w, static_cast<Widget>(parent), event);
  pointerMotionCB(static_cast<Widget>(parent), nullptr, event, go);
}

namespace {

bool hasChildren(Widget w) {
  return XtIsComposite(w) || XmIsFrame(w) || XmIsScale(w);
}

// A copy of w's children: the list Xt keeps is rewritten when a child comes or goes, which
// the dataflow run by a write below (storeGroup) may do.
std::vector<Widget> childrenOf(Widget w) {
  std::vector<Widget> out;
  if (UIisBeingDestroyed(w) || !XtIsComposite(w)) return out;
  WidgetList list = nullptr;
  Cardinal count = 0;
  XtVaGetValues(w, XmNchildren, &list, XmNnumChildren, &count, nullptr);
  out.assign(list, list + count);
  return out;
}

void removeDirect(Widget w) {
  XtRemoveEventHandler(w, KeyPressMask, False, UIlayout::keyPressCB, nullptr);
  XtRemoveEventHandler(w, ButtonPressMask, False, UIlayout::buttonPressCB, nullptr);
  XtRemoveEventHandler(w, ButtonReleaseMask, False, UIlayout::buttonReleaseCB, nullptr);
  XtRemoveEventHandler(w, Button1MotionMask | Button2MotionMask | PointerMotionHintMask, False,
                       UIlayout::buttonMotionCB, nullptr);
}

void removeIndirect(Widget w, Widget parent) {
  XtRemoveEventHandler(w, ButtonPressMask, False, UIlayout::indirectButtonPressCB, parent);
  XtRemoveEventHandler(w, ButtonReleaseMask, False, UIlayout::indirectButtonReleaseCB, parent);
  XtRemoveEventHandler(w, Button2MotionMask, False, UIlayout::indirectButtonMotionCB, parent);
}

// Stores a grouping flag into the object whose top widget w is.
void storeGroup(Widget w, int value) {
  UIwindow* binding = UIwidgetToClass(w);
  if (!binding || binding->widget() != w) return;
  OMcontext ctx(binding->objId, OM_CTX_USER, OM_CTX_STRUCTURE);
  OMset_int_val(OMfind_subobj(binding->objId, OMstr_to_name("groupToParent"), 0), value);
}

}  // namespace

void UIlayout::removeDirectEventHandlers(Widget w) {
  if (UIisBeingDestroyed(w)) return;
  removeDirect(w);
  if (!hasChildren(w)) return;
  for (Widget child : childrenOf(w)) {
    // Gadgets (a scale's title) have no event handlers of their own.
    if (!XtIsWidget(child)) continue;
    removeDirect(child);
    removeIndirect(child, w);
  }
}

void UIlayout::addIndirectEventHandlers(Widget w, Widget parent) {
  if (UIisBeingDestroyed(w) || !XtIsWidget(w)) return;
  XtInsertEventHandler(w, ButtonPressMask, False, indirectButtonPressCB, parent, XtListHead);
  XtInsertEventHandler(w, ButtonReleaseMask, False, indirectButtonReleaseCB, parent, XtListHead);
  XtAddEventHandler(w, Button2MotionMask, False, indirectButtonMotionCB, parent);
  XtAddEventHandler(w, PointerMotionMask, False, indirectPointerMotionCB, parent);
  storeGroup(w, 1);
  if (UIisBeingDestroyed(w) || !(hasChildren(w) || XmIsForm(w))) return;
  for (Widget child : childrenOf(w)) addIndirectEventHandlers(child, parent);
}

void UIlayout::removeIndirectEventHandlers(Widget w, Widget parent) {
  if (UIisBeingDestroyed(w) || !XtIsWidget(w)) return;
  removeIndirect(w, parent);
  if (!(hasChildren(w) || XmIsForm(w))) return;
  for (Widget child : childrenOf(w)) removeIndirectEventHandlers(child, parent);
}

void UIlayout::addDirectEventHandlers(Widget w) {
  if (UIisBeingDestroyed(w) || !(XtIsComposite(w) || XmIsFrame(w))) return;
  for (Widget child : childrenOf(w)) {
    // A child may have gone with the dataflow of an earlier child's write.
    if (UIisBeingDestroyed(child)) continue;
    if (XtIsComposite(child) || XmIsScale(child) || XmIsFrame(child)) addDirectEventHandlers(child);
    UIwindow* binding = UIwidgetToClass(child);
    if (binding && binding->widget() == child) {
      binding->addLayoutEditorEventHandlers(child);
      storeGroup(child, 0);
    }
  }
}
