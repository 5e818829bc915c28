// UIwindow: the window base class of every binding, and the entry protocol that makes, updates
// and destroys bindings for the object manager.
#include "ui/wind.h"

#include <X11/IntrinsicP.h>
#include <X11/Shell.h>
#include <X11/ShellP.h>
#include <Xm/BulletinB.h>
#include <Xm/Frame.h>
#include <Xm/MainW.h>
#include <Xm/ScrolledW.h>
#include <Xm/Xm.h>

#include <algorithm>
#include <cstdio>
#include <unordered_set>

#include "om/om_registry.h"
#include "om/om_scope.h"
#include "svc/wt.h"
#include "ui/UIcursor.h"
#include "ui/errorHandler.h"
#include "ui/layout.h"
#include "ui/menus.h"
#include "ui/misc.h"
#include "ui/xmstring.h"

#include "props.h"

int MouseState = 0;

namespace {

using uiprops::newer;
using uiprops::readInt;
using uiprops::sub;

bool frameParent(Widget w) {
  return XtParent(w) && XmIsFrame(XtParent(w));
}

// Every live binding: a binding may delete itself in the middle of an update, and its caller
// must be able to tell without reading through the pointer.
std::unordered_set<const UIwindow*>& liveBindings() {
  static auto* s = new std::unordered_set<const UIwindow*>;
  return *s;
}

// The binding's member, looked up on every update and teardown: by its name's token.
OMobj_name cxxHandleName() {
  static const OMobj_name n = OMstr_to_name("cxxhandle");
  return n;
}

}  // namespace

bool UIwindow::alive(const UIwindow* binding) {
  return liveBindings().count(binding) != 0;
}

// ---- Life ------------------------------------------------------------------------------

UIwindow::UIwindow(OMobj_id id) : UIcore(id), self_(this) {
  liveBindings().insert(this);
  OMobj_id cxx = sub(id, "cxxhandle");
  cxxSerial_ = cxx.serial;
  if (OMset_ptr_val(cxx, this, 0) != 1)
    std::printf("[UIwindow::UIwindow]:Failure to cache this pointer%p\n", static_cast<void*>(this));
}

UIwindow::~UIwindow() {
  if (!!objId && cxxSerial_) {
    OMobj_id cxx{cxxSerial_, 1};
    // Only a "cxxhandle" that still names this binding is cleared: a newer binding may have
    // taken the object over (an update with the instance bit makes a fresh one).
    void* current = nullptr;
    if (!!cxx && OMget_ptr_val(cxx, &current, 0) == 1 && current == this &&
        OMset_ptr_val(cxx, nullptr, 0) != 1)
      std::printf("[UIwindow::~UIwindow]:Failure to cache this pointer\n");
  }
  widget_ = nullptr;
  self_ = nullptr;
  liveBindings().erase(this);
}

bool UIwindow::widgetOK(Widget w) {
  return !UIisBeingDestroyed(w);
}

// ---- The parent and the place --------------------------------------------------------------

Widget UIwindow::getParentWidget() {
  parentWidget_ = nullptr;
  OMobj_id parent;
  if (OMget_obj_val(sub(objId, "parent"), &parent) != 1 || !parent) return nullptr;
  OMflush_notifies_mask(OMnull_obj, parent, 9, 0);
  // The parent's pending work may have destroyed it, and this binding with it.
  if (!alive(this)) return nullptr;
  Widget w = UIclientOf(UIobjIdToWidget(parent));
  if (!w) return nullptr;
  // A parent may refuse a child (a template dialog holds only buttons, panels and frames).
  UIwindow* parentBinding = UIwidgetToClass(w);
  if (parentBinding && !parentBinding->admitsChild(*this)) {
    OMset_obj_ref(sub(objId, "parent"), OMnull_obj, 0);
    return nullptr;
  }
  parentWidget_ = w;
  return w;
}

Widget UIwindow::parentWidgetNow() {
  if (instancing_ && parentKnown_ && (!knownParent_ || !UIisBeingDestroyed(knownParent_)))
    return knownParent_;
  Widget w = getParentWidget();
  if (instancing_ && alive(this)) {
    parentKnown_ = true;
    knownParent_ = w;
  }
  return w;
}

bool UIwindow::instanceFresh() {
  instancing_ = true;
  parentKnown_ = false;
  bool made = instanceObject();
  // The dataflow it ran may have deleted this binding.
  if (alive(this)) {
    instancing_ = parentKnown_ = false;
    madeWithFontList(nullptr, nullptr);  // a widget made with fonts was handled by now
  }
  return made;
}

void UIwindow::autoPlacementManager(Widget parent, int* x, int* y) {
  if (!parent) return;
  *x = *y = 0;
  OMobj_id xProp = sub(objId, "x");
  if (!xProp) return;
  if (OMget_int_val(xProp, x) != 1) {
    *x = 0;
    UIsetOMWindowX(objId, 0);
  }
  // A position beyond 16 bits is not used to create the widget (it would wrap); it is
  // reported when the object's geometry is applied.
  if (*x < -32768 || *x > 32767) *x = 0;
  OMobj_id yProp = sub(objId, "y");
  if (!yProp) return;
  if (OMget_int_val(yProp, y) == 1) {
    if (*y < -32768 || *y > 32767) *y = 0;
    return;
  }
  // Below the lowest bound sibling. A sibling whose "y" or "height" cannot be read counts 0.
  int lowest = 0;
  WidgetList children = nullptr;
  Cardinal count = 0;
  XtVaGetValues(parent, XmNchildren, &children, XmNnumChildren, &count, nullptr);
  for (Cardinal i = 0; i < count; ++i) {
    UIwindow* sibling = UIwidgetToClass(children[i]);
    if (!sibling || sibling == this || !sibling->OK()) continue;
    int sy = 0, sh = 0;
    if (!readInt(sibling->objId, "y", &sy)) sy = 0;
    if (!readInt(sibling->objId, "height", &sh)) sh = 0;
    // In 64 bits: two ints from objects may sum past the int range.
    lowest = static_cast<int>(
        std::min<long long>(32767, std::max<long long>(lowest, static_cast<long long>(sy) + sh)));
  }
  *y = lowest;
  UIsetOMWindowY(objId, lowest);
}

// ---- Creation ------------------------------------------------------------------------------

void UIwindow::applyVisibilityOnCreate(Widget w) {
  int visible = 0;
  bool set = readInt(objId, "visible", &visible);
  Widget parent = XtParent(w);
  if (XtWindow(w)) {
    if (set && visible) {
      // A shell up already (a dialog shell pops up when its box is managed) is not raised
      // again, nor waited for.
      if (XtIsShell(parent) && !reinterpret_cast<ShellWidget>(parent)->shell.popped_up) {
        XtPopup(parent, XtGrabNone);
        XSync(XtDisplay(w), False);  // the pop-up must reach the server before the map
      }
      if (frameParent(w) && XtWindow(parent)) XMapWindow(XtDisplay(w), XtWindow(parent));
      // A managed widget that maps when managed is mapped by Xt already.
      if (!(XtIsManaged(w) && w->core.mapped_when_managed)) XMapWindow(XtDisplay(w), XtWindow(w));
    } else {
      XUnmapWindow(XtDisplay(w), XtWindow(w));
      if (XtIsShell(parent)) XtPopdown(parent);
      if (frameParent(w) && XtWindow(parent)) XUnmapWindow(XtDisplay(w), XtWindow(parent));
    }
    return;
  }
  if (set) XtSetMappedWhenManaged(w, visible ? True : False);
  if (!XtIsManaged(w)) XtManageChild(w);
}

void UIwindow::onObjectCreate(Widget w) {
  if (UIisBeingDestroyed(w)) return;
  widget_ = w;
  // A rebuilt window keeps its interactors: they now watch the new widget.
  for (MouseInteractorRecord* r = interactors; r; r = r->next) r->view = w;
  // The handlers go on before the widget is shown: while it has no window, Xt folds their
  // events into the window it creates instead of sending a request for each afterwards.
  if (handlersOn_ != w) {
    addWindowHandlers(w, true);
    addLayoutEditorEventHandlers(w);  // a type's own, on the widgets inside
  }
  handlersOn_ = nullptr;
  applyVisibilityOnCreate(w);
  publishInHandle(w, true);
  if (!XtIsShell(XtParent(w))) UIsetOMWindowPos(objId, w);
  // A new window has no cursor of its own, so there is nothing to undo (and no request made);
  // a linked cursor object attaches itself through the handle.
  UIattachObjectCursor(objId, handle);
  OMobj_id active = sub(objId, "active");
  if (!!active) setActive(active, w);
}

namespace {

// What the mouse interactors take after the toolkit (onButUpOrMove), and the status line's
// crossings beside them (onPointerAfter).
constexpr EventMask kInteractorEvents =
    ButtonReleaseMask | ButtonMotionMask | PointerMotionHintMask;
constexpr EventMask kCrossingEvents = EnterWindowMask | LeaveWindowMask;

}  // namespace

void UIwindow::addMouseInteractorHandlers(Widget w) {
  XtInsertEventHandler(w, ButtonPressMask, False, onButDown, nullptr, XtListHead);
  XtAddEventHandler(w, kInteractorEvents, False, onButUpOrMove, nullptr);
}

void UIwindow::addPointerHandlers(Widget w) {
  XtInsertEventHandler(w, ButtonPressMask, False, onButDown, nullptr, XtListHead);
  XtAddEventHandler(w, kInteractorEvents | kCrossingEvents, False, onPointerAfter, nullptr);
}

void UIwindow::addWindowHandlers(Widget w, bool crossing) {
  XtPointer data = crossing ? reinterpret_cast<XtPointer>(1) : nullptr;
  UIlayout::switchOwnHandlersOn(w);
  XtInsertEventHandler(w, ButtonPressMask, False, onOwnPress, data, XtListHead);
  EventMask pointer = kInteractorEvents | (crossing ? kCrossingEvents : 0);
  XtAddEventHandler(w, UIlayout::kDirectEvents | pointer, False, onOwnEvent, data);
}

void UIwindow::onOwnPress(Widget w, XtPointer, XEvent* event, Boolean* go) {
  if (!event) return;
  onButDown(w, nullptr, event, go);
  if ((go && !*go) || !UIlayout::ownHandlersOn(w)) return;
  UIlayout::buttonPressCB(w, nullptr, event, go);
}

void UIwindow::onOwnEvent(Widget w, XtPointer crossing, XEvent* event, Boolean* go) {
  if (!event) return;
  UIlayout::directEventCB(w, nullptr, event, go);
  if (go && !*go) return;
  // The pointer's part takes the motions with a button held alone (it passes keys over).
  constexpr unsigned kButtons = Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask;
  if (event->type == MotionNotify && !(event->xmotion.state & kButtons)) return;
  if (crossing)
    onPointerAfter(w, nullptr, event, go);
  else
    onButUpOrMove(w, nullptr, event, go);
}

void UIwindow::onPointerAfter(Widget w, XtPointer data, XEvent* event, Boolean* go) {
  if (!event) return;
  if (event->type == EnterNotify || event->type == LeaveNotify)
    UImenuItem::onItemCrossing(w, data, event, go);
  else
    onButUpOrMove(w, data, event, go);
}

void UIwindow::onButUpOrMove(Widget w, XtPointer data, XEvent* event, Boolean* go) {
  if (!event) return;
  if (event->type == ButtonRelease)
    onButUp(w, data, event, go);
  else if (event->type == MotionNotify)
    onMouseMove(w, data, event, go);
}

void UIwindow::publishInHandle(Widget w, bool announce) {
  OMcontext ctx(handle.obj_id(), OM_CTX_QUIET, OM_CTX_PLAIN);
  handle.widget(w);
  handle.window(XtWindow(w));
  if (announce) handle.event(1);
}

// The cursor objects attach themselves to a handle; without one the window has no cursor of
// its own.
void UIwindow::applyCursor(int) {
  if (UIattachObjectCursor(objId, handle)) return;
  if (!UIisBeingDestroyed(widget_) && XtWindow(widget_))
    XUndefineCursor(XtDisplay(widget_), XtWindow(widget_));
}

void UIwindow::addLayoutEditorEventHandlers(Widget w) {
  if (UIisBeingDestroyed(w)) return;
  // The binding's own widget has them in its pair of entries from onObjectCreate on.
  if (w == widget_)
    UIlayout::switchOwnHandlersOn(w);
  else
    UIlayout::addOwnHandlers(w);
}

// ---- Updates ---------------------------------------------------------------------------------

void UIwindow::applyVisibilityChange() {
  Widget w = widget_;
  Widget parent = XtParent(w);
  int visible = 0;
  bool show = readInt(objId, "visible", &visible) && visible;
  if (XtIsTopLevelShell(parent)) {
    if (show) XtPopup(parent, XtGrabNone);
    return;  // hiding a top-level window is the shell types' business
  }
  if (show) {
    if (XtWindow(w)) {
      if (frameParent(w) && XtWindow(parent)) XMapWindow(XtDisplay(w), XtWindow(parent));
      XtManageChild(w);
      XMapWindow(XtDisplay(w), XtWindow(w));
    } else {
      XtSetMappedWhenManaged(w, True);
    }
  } else if (XtWindow(w)) {
    XUnmapWindow(XtDisplay(w), XtWindow(w));
    if (XmIsBulletinBoard(w)) XtUnmanageChild(w);
    if (frameParent(w) && XtWindow(parent)) XUnmapWindow(XtDisplay(w), XtWindow(parent));
  } else {
    XtSetMappedWhenManaged(w, False);
  }
}

void UIwindow::updateObject(int seq) {
  if (UIisBeingDestroyed(widget_)) return;
  if (UIerrorState && UIerrorLockObject == widget_) return;
  if (newer(objId, "parent", seq, 2)) {
    OMobj_id parentObj;
    if (OMget_obj_val(sub(objId, "parent"), &parentObj) == 1 &&
        UIdetectIllegalParentConnection(objId, parentObj))
      return;
    Widget newParent = UIgetParentWnd(objId, 1);
    if (XtIsShell(widget_) || XtIsShell(XtParent(widget_))) {
      rebuildObject(widget_);
    } else if (!newParent || newParent == widget_) {
      UIwindDestroy(objId);
      return;
    } else {
      SetParent(widget_, newParent);
    }
    // Instancing flushed the new parent's pending work, which may have deleted this binding.
    if (!alive(this) || UIisBeingDestroyed(widget_)) return;
  }
  if (newer(objId, "groupToParent", seq)) setGroupToParent(sub(objId, "groupToParent"), widget_);
  bool sized = newer(objId, "width", seq) || newer(objId, "height", seq);
  if (sized || newer(objId, "x", seq) || newer(objId, "y", seq)) {
    if (!positionsItself()) UIsetOMWindowPos(objId, widget_);
    if (UIerrorState) return;
  }
  if (sized) {
    {
      OMcontext ctx(handle.obj_id(), OM_CTX_QUIET, OM_CTX_EVENT);
      handle.event(2);
    }
    if (!alive(this)) return;  // outside a method the pop runs the dataflow
  }
  if (newer(objId, "active", seq)) setActive(sub(objId, "active"), widget_);
  if (newer(objId, "visible", seq)) applyVisibilityChange();
  if (newer(objId, "cursor", seq)) applyCursor(seq);
}

bool UIwindow::onlyItsSurroundingsChanged() {
  if (OMupdate_from_around(objId) == 1) return true;
  // The handle is what the binding publishes (its widget, window and events), never what it
  // applies: a shell writes each of its controls' windows when it is realized.
  OMobj_id own = OMget_update_own_cause(objId), holder;
  if (!!own && OMget_obj_parent(own, &holder) == 1 && holder == handle.obj_id()) return true;
  // A window that is not the object's parent in the tree is found by the one change's way in.
  static const OMobj_name kParent = OMstr_to_name("parent");
  return OMupdate_came_through(objId, OMfind_subobj(objId, kParent, 0)) == 1;
}

void UIwindow::rebuildObject(Widget old) {
  if (UIisBeingDestroyed(old)) return;
  UIlayout::widgetRebuilt(old);
  XtRemoveEventHandler(old, StructureNotifyMask, False, onMap, nullptr);
  UIlayout::removeDirectEventHandlers(old);
  Widget parent = XtParent(old);
  WidgetList children = nullptr;
  Cardinal count = 0;
  if (parent) XtVaGetValues(parent, XmNchildren, &children, XmNnumChildren, &count, nullptr);
  for (Cardinal i = 0; i < count; ++i) {
    if (children[i] != old) continue;
    OMcontext ctx(objId, OM_CTX_WIDGET, OM_CTX_STRUCTURE);
    OMset_int_val(sub(objId, "insertPosition", 0), static_cast<int>(i));
    break;
  }
  bool made = instanceObject();
  XSync(XtDisplay(old), False);
  UIdestroyWidget(old);
  if (made || !alive(this)) return;
  // No new widget (the new parent refused the object): nothing may keep naming the old one.
  // The next parent that takes the object instances it afresh.
  widget_ = nullptr;
  OMcontext ctx(handle.obj_id(), OM_CTX_QUIET, OM_CTX_EVENT);
  handle.widget(nullptr);
  handle.window(0);
}

// Callbacks run during the destruction find no binding: Xt marks the widget and its
// descendants as being destroyed before any destroy callback runs, and UIwidgetToClass answers
// null for such widgets. (Clearing XmNuserData through XtSetValues would do the same at the
// price of Motif recomputing keyboard traversal over all siblings, a round trip each.)
void UIdestroyWidget(Widget w) {
  if (UIisBeingDestroyed(w)) return;
  XtDestroyWidget(w);
}

Widget uiprops::widgetsGoWith = nullptr;

namespace {

// Widgets of destroyed bindings left for an ancestor's widget: when an object inside a panel
// or window goes with it, its widget goes with the ancestor's (children first, each would
// otherwise be taken off the screen and destroyed on its own, a request and a redraw of the
// window each). Whatever is still alive at the end of the teardown (the ancestor stayed) is
// destroyed then, in the order the bindings went.
std::vector<Widget>& leftWidgets() {
  static auto* v = new std::vector<Widget>;
  return *v;
}
bool leftWidgetsQueued = false;

// A left widget destroyed some other way first is forgotten (its address may be reused).
void forgetLeftWidget(Widget w, XtPointer, XtPointer) {
  auto& left = leftWidgets();
  left.erase(std::remove(left.begin(), left.end(), w), left.end());
}

int destroyLeftWidgets(OMobj_id) {
  leftWidgetsQueued = false;
  std::vector<Widget> left;
  left.swap(leftWidgets());
  for (Widget w : left) {
    if (UIisBeingDestroyed(w)) continue;
    XtRemoveCallback(w, XmNdestroyCallback, forgetLeftWidget, nullptr);
    XtDestroyWidget(w);
  }
  return 1;
}

bool holds(Widget outer, Widget w) {
  for (Widget p = XtParent(w); p; p = XtParent(p))
    if (p == outer) return true;
  return false;
}

// True when an object containing id has a live binding whose widget holds w.
bool heldByAncestor(OMobj_id id, Widget w) {
  // Only an object of a window type has a binding: the groups controls sit in (an instance
  // place, a group of the application's, holding thousands of them) are passed over without
  // looking among their members for a "cxxhandle".
  OMobj_id windowType = OMfind_template("UIwindow");
  OMobj_id at = id;
  for (int depth = 0; depth < 64 && OMget_obj_parent(at, &at) == 1; ++depth) {
    // The root and the group of instance places are never bound: the climb ends below them.
    if (at.serial == OMinst_obj.serial || at.serial == OMroot_obj.serial) break;
    if (!!windowType && OMmatch_obj(windowType, at, 0) != 1) continue;
    UIwindow* binding = UIobjIdToClass(at);
    if (!binding || !UIwindow::alive(binding)) continue;
    Widget top = binding->widget();
    return !UIisBeingDestroyed(top) && holds(top, w);
  }
  return false;
}

// Leaves w for the widget of a binding above id when there is one (true), to be destroyed
// with it, or at the end of the teardown if it is still there.
bool leaveForAncestor(OMobj_id id, Widget w) {
  if (!heldByAncestor(id, w)) return false;
  if (!leftWidgetsQueued) {
    if (OMqueue_notify(OMroot_obj, destroyLeftWidgets, 0) != 1) return false;
    leftWidgetsQueued = true;
  }
  XtAddCallback(w, XmNdestroyCallback, forgetLeftWidget, nullptr);
  leftWidgets().push_back(w);
  return true;
}

}  // namespace

void UIwindow::destroyObject() {
  // The changes made here (the handle cleared) reach the dataflow only once the binding is
  // gone: run at once, the object's own update would find this binding without widget and
  // instance a new one on it. Containers get the same from UIwindDestroy, around the
  // destruction of their children. (The guard is popped after `delete this`: it holds its own
  // copy of the id.)
  OMcontext whileDestroying(objId, OM_CTX_QUIET, OM_CTX_EVENT);
  {
    OMcontext ctx(handle.obj_id(), OM_CTX_QUIET, OM_CTX_EVENT);
    handle.widget(nullptr);
    handle.window(0);
  }
  for (MouseInteractorRecord* r = interactors; r;) {
    MouseInteractorRecord* next = r->next;
    r->next = nullptr;
    r->view = nullptr;
    r->binding = nullptr;
    r = next;
  }
  interactors = nullptr;
  if (!UIisBeingDestroyed(widget_)) {
    if (UIlayout::moveWidget == widget_) UIlayout::cleanupOnObjectDestroy(widget_);
    bool goesWithContainer = uiprops::widgetsGoWith && holds(uiprops::widgetsGoWith, widget_);
    if (!goesWithContainer && !leaveForAncestor(objId, widget_)) UIdestroyWidget(widget_);
  }
  delete this;
}

// ---- Mouse interactors ----------------------------------------------------------------------

int UIeventKey(const XEvent* event) {
  if (!event) return 0;
  unsigned state = 0;
  int code = 0;
  switch (event->type) {
    case ButtonPress:
      state = event->xbutton.state;
      if (event->xbutton.button >= 1 && event->xbutton.button <= 3)
        code = static_cast<int>(event->xbutton.button);
      break;
    case ButtonRelease:
      state = event->xbutton.state;
      if (event->xbutton.button >= 1 && event->xbutton.button <= 3)
        code = static_cast<int>(event->xbutton.button) + 6;
      break;
    case MotionNotify:
      state = event->xmotion.state;
      if (state & Button1Mask)
        code = 4;
      else if (state & Button2Mask)
        code = 5;
      else if (state & Button3Mask)
        code = 6;
      break;
    default:
      return 0;
  }
  if (state & ShiftMask) code |= UI_KEY_SHIFT;
  if (state & ControlMask) code |= UI_KEY_CONTROL;
  if (state & Mod1Mask) code |= UI_KEY_MOD1;
  return code;
}

namespace {

UIwindow* interactorBinding(Widget w) {
  if (UIisBeingDestroyed(w)) return nullptr;
  UIwindow* binding = UIwidgetToClass(w);
  return binding && UIwindow::alive(binding) && binding->interactors ? binding : nullptr;
}

void writePoint(MouseInteractorRecord* r, int x, int y, Time time, int state) {
  OMcontext ctx(r->id, OM_CTX_USER, OM_CTX_EVENT);
  OMset_int_val(sub(r->id, "x", 0), x);
  OMset_int_val(sub(r->id, "y", 0), y);
  OMset_int_val(sub(r->id, "time", 0), static_cast<int>(time));
  OMset_int_val(sub(r->id, "state", 0), state);
}

int modifierMask(unsigned state) {
  return ((state & ShiftMask) ? 1 : 0) | ((state & ControlMask) ? 2 : 0) |
         ((state & Mod1Mask) ? 4 : 0);
}

int modifierType(unsigned state) {
  if (state & ShiftMask) return 1;
  if (state & ControlMask) return 2;
  if (state & Mod1Mask) return 3;
  return 0;
}

}  // namespace

namespace {

// Writes one pointer event into a mouse-events record, as one user action.
void writeMouseEvent(MouseInteractorRecord* r, XButtonEvent* event, int phase, int button) {
  OMcontext ctx(r->id, OM_CTX_USER, OM_CTX_EVENT);
  OMset_int_val(sub(r->id, "x", 0), event->x);
  OMset_int_val(sub(r->id, "y", 0), event->y);
  OMset_int_val(sub(r->id, "time", 0), static_cast<int>(event->time));
  int buttonType = -1;
  bool typed = readInt(r->id, "buttonType", &buttonType);
  if (!(phase == 3 && typed && buttonType != button)) OMset_int_val(sub(r->id, "state", 0), phase);
  if (phase == 1) {
    OMset_int_val(sub(r->id, "buttonType", 0), button);
    OMset_int_val(sub(r->id, "buttonMask", 0), r->slot1);
  } else if (phase == 3) {
    OMset_int_val(sub(r->id, "buttonMask", 0), r->slot1);
  }
  OMset_int_val(sub(r->id, "modMask", 0), modifierMask(event->state));
  OMset_int_val(sub(r->id, "modType", 0), modifierType(event->state));
}

}  // namespace

void UIprocessMouseInteractor(UIwindow* window, XButtonEvent* event, int phase) {
  if (!window || !event) return;
  int button = static_cast<int>(event->button) - 1;  // 0, 1, 2 for buttons 1 to 3
  // Buttons beyond 3 (wheels) are not mouse-events buttons: presses and releases of them are
  // passed over.
  bool buttonEvent = phase == 1 || phase == 3;
  if (buttonEvent && (button < 0 || button > 2)) return;
  for (MouseInteractorRecord* r = window->interactors; r; r = r->next) {
    if (r->kind != 3) continue;
    bool onButtonDown = r->slot2 != 0;
    unsigned held = event->state & (Button1Mask | Button2Mask | Button3Mask);
    if (onButtonDown && phase == 2 && !(r->slot1 && held)) continue;
    if (phase == 1) r->slot1 |= 1 << button;
    if (phase == 3) r->slot1 &= ~(1 << button);
    if (onButtonDown && !(r->slot3 & r->slot1) && !(phase == 3 && (r->slot3 & (1 << button))))
      continue;
    writeMouseEvent(r, event, phase, button);
    // The dataflow the write ran may have deleted the binding (and unlinked its records).
    if (!UIwindow::alive(window)) return;
  }
}

void UIwindow::onButDown(Widget w, XtPointer, XEvent* event, Boolean*) {
  UIwindow* binding = interactorBinding(w);
  if (!binding) return;
  UIprocessMouseInteractor(binding, &event->xbutton, 1);
  // Each write runs the dataflow, which may delete the binding (a click that removes the
  // view's parent): it is looked at again only while it lives.
  if (!alive(binding)) return;
  int key = UIeventKey(event);
  for (MouseInteractorRecord* r = binding->interactors; r; r = r->next) {
    if ((r->kind == 1 || r->kind == 2) && r->slot1 == key) {
      if (r->kind == 2) MouseState = 1;
      writePoint(r, event->xbutton.x, event->xbutton.y, event->xbutton.time, 1);
      break;
    }
  }
}

void UIwindow::onMouseMove(Widget w, XtPointer, XEvent* event, Boolean*) {
  UIwindow* binding = interactorBinding(w);
  if (!binding) return;
  // Motion hints: the pointer's position now, not the hint's. Querying it also asks the
  // server for the next hint, so it is done even when the event goes nowhere.
  Window root, child;
  int rx, ry, x, y;
  unsigned mask;
  if (XQueryPointer(XtDisplay(w), XtWindow(w), &root, &child, &rx, &ry, &x, &y, &mask)) {
    event->xmotion.x = x;
    event->xmotion.y = y;
    event->xmotion.state = mask;
  }
  if (UIlayout::state != 0) return;
  XButtonEvent asButton{};
  asButton.type = MotionNotify;
  asButton.x = event->xmotion.x;
  asButton.y = event->xmotion.y;
  asButton.time = event->xmotion.time;
  asButton.state = event->xmotion.state;
  UIprocessMouseInteractor(binding, &asButton, 2);
  if (!alive(binding)) return;
  int key = UIeventKey(event);
  for (MouseInteractorRecord* r = binding->interactors; r; r = r->next) {
    if (r->kind != 2 || r->slot2 != key) continue;
    int state = 0;
    if (readInt(r->id, "state", &state) && state >= 3) continue;
    if (MouseState == 1) writePoint(r, event->xmotion.x, event->xmotion.y, event->xmotion.time, 2);
    break;
  }
}

void UIwindow::onButUp(Widget w, XtPointer, XEvent* event, Boolean*) {
  UIwindow* binding = interactorBinding(w);
  if (!binding) return;
  UIprocessMouseInteractor(binding, &event->xbutton, 3);
  if (!alive(binding)) return;
  int key = UIeventKey(event);
  for (MouseInteractorRecord* r = binding->interactors; r; r = r->next) {
    if (r->kind == 2 && r->slot3 == key) {
      bool running = MouseState == 1;
      MouseState = 0;
      if (running) writePoint(r, event->xbutton.x, event->xbutton.y, event->xbutton.time, 3);
      break;
    }
  }
}

void UIwindow::onMap(Widget w, XtPointer, XEvent* event, Boolean*) {
  if (!event || event->type != MapNotify || UIisBeingDestroyed(w)) return;
  UIwindow* binding = UIwidgetToClass(w);
  if (!binding) return;
  int visible = 0;
  if (readInt(binding->objId, "visible", &visible) && visible) return;
  if (XtWindow(w)) XUnmapWindow(XtDisplay(w), XtWindow(w));
  Widget parent = XtParent(w);
  if (XtIsShell(parent)) XtPopdown(parent);
  if (frameParent(w) && XtWindow(parent)) XUnmapWindow(XtDisplay(w), XtWindow(parent));
}

// ---- Status bar -------------------------------------------------------------------------------

Widget UIwindow::statusWidget(Widget) const {
  Widget mainWindow = UIfindNearestMainWindowAncestor(widget_);
  Widget message = nullptr;
  if (mainWindow) XtVaGetValues(mainWindow, XmNmessageWindow, &message, nullptr);
  return message;
}

void UIwindow::drawStatBarText(Widget w, const char* text) {
  if (UIisBeingDestroyed(w)) return;
  UIwindow* binding = UIwidgetToClass(w);
  if (!binding) return;
  Dimension width = 0;
  XtVaGetValues(w, XtNwidth, &width, nullptr);
  Widget status = binding->statusWidget(w);
  if (UIisBeingDestroyed(status)) return;
  OMtext own;
  if (!text) {
    UIwindow* statusBinding = UIwidgetToClass(status);
    if (statusBinding) own = OMget_text(sub(statusBinding->objId, "statusString"));
  }
  UIxmString s = UIxmText(text ? text : own ? own.get() : " ");
  XmFontList fonts = binding->fontSet ? WTget_xmfontlist(binding->fontSet) : nullptr;
  if (fonts && XmStringWidth(fonts, s.get()) > width)
    XtVaSetValues(status, XmNrecomputeSize, False, XmNlabelString, s.get(), nullptr);
  else
    XtVaSetValues(status, XmNlabelString, s.get(), nullptr);
}

// ---- The entry protocol -----------------------------------------------------------------------

UIwindow* UIobjIdToClass(const OMobj_id& id) {
  OMobj_id cxx = OMfind_subobj(id, cxxHandleName(), 1);
  void* p = nullptr;
  if (OMget_ptr_val(cxx, &p, 0) != 1) return nullptr;
  return static_cast<UIwindow*>(p);
}

void UIsyncOMUpdateSequenceNumber(const OMobj_id& id) {
  int stamp = OMget_obj_seq(id, OMnull_obj, 3);
  OMobj_id update = OMfind_subobj(id, OMstr_to_name("update"), 1);
  if (!!update) OMset_obj_seq(update, OMnull_obj, stamp);
}

int UIwindDestroy(OMobj_id id) {
  UIwindow* binding = UIobjIdToClass(id);
  if (!binding) return 1;
  // A container destroys its children's bindings first; what they write into their objects
  // is announced after the container has gone too, so no child instances itself again under
  // the widget about to go.
  OMcontext whileDestroying(id, OM_CTX_QUIET, OM_CTX_EVENT);
  binding->destroyObject();
  return 1;
}

int UIupdateEntryWith(OMobj_id id, unsigned int mask, int seq, UIwindow* (*make)(OMobj_id)) {
  if (mask & OM_EVENT_INST) {
    make(id)->instanceFresh();
    return 1;
  }
  UIwindow* binding = UIobjIdToClass(id);
  if (!binding) binding = make(id);
  // Only a live widget is updated. The binding's own widget answers first: what it published
  // is it or a widget inside it, and the binding clears both together. A handle may still
  // name a widget that went with its parent.
  Widget own = binding->widget();
  if (own && !UIisBeingDestroyed(own)) {
    binding->updateObject(seq);
    return 1;
  }
  Widget published = binding->handle.widget();
  if (published && !UIisBeingDestroyed(published))
    binding->updateObject(seq);
  else
    binding->instanceObject();
  return 1;
}

int UIupdate1EntryWith(OMobj_id id, int (*instance)(OMobj_id)) {
  UIwindow* binding = UIobjIdToClass(id);
  if (!binding) {
    if (instance) instance(id);
    return 1;
  }
  OMobj_id update = OMfind_subobj(id, OMstr_to_name("update"), 1);
  int seq = !update ? -1 : OMget_obj_seq(update, OMnull_obj, 3);
  binding->updateObject(seq);
  return 1;
}
