// Panels, frames and scrolled windows.
#include "ui/panel.h"

#include <X11/IntrinsicP.h>
#include <Xm/BulletinB.h>
#include <Xm/FrameP.h>
#include <Xm/ManagerP.h>
#include <Xm/ScrollBar.h>
#include <Xm/ScrolledW.h>
#include <Xm/Xm.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "om/om_scope.h"
#include "svc/container.h"
#include "ui/layout.h"
#include "ui/misc.h"

#include "props.h"

namespace {

using uiprops::backgroundOf;
using uiprops::childrenOf;
using uiprops::nameOf;
using uiprops::newer;
using uiprops::readInt;
using uiprops::sub;

// The size of the object, else the widget's, else the default.
int sizeOf(const OMobj_id& id, const char* name, Widget w, int fallback) {
  int v = 0;
  if (readInt(id, name, &v) && v >= 1 && v <= 32767) return v;  // X sizes have 16 bits
  Dimension d = 0;
  if (!UIisBeingDestroyed(w)) XtVaGetValues(w, name[0] == 'w' ? XmNwidth : XmNheight, &d, nullptr);
  return d >= 1 ? d : fallback;
}

}  // namespace

// ---- UIpanel ---------------------------------------------------------------------------------

UIpanel::UIpanel(OMobj_id id) : UIwindow(id) {
  classType_ = "UIpanel";
}

void UIpanel::setClientWidth(const OMobj_id& id, int width) {
  double sx = 1, sy = 1;
  UIgetScaleXY(&sx, &sy);
  double value = width / sx, now = 0;
  OMobj_id p = sub(id, "clientWidth");
  if (OMget_real_val(p, &now) == 1 && now == value) return;
  OMcontext ctx(id, OM_CTX_QUIET, OM_CTX_GEOMETRY);
  OMset_real_val(p, value);
}

void UIpanel::setClientHeight(const OMobj_id& id, int height) {
  double sx = 1, sy = 1;
  UIgetScaleXY(&sx, &sy);
  double value = height / sy, now = 0;
  OMobj_id p = sub(id, "clientHeight");
  if (OMget_real_val(p, &now) == 1 && now == value) return;
  OMcontext ctx(id, OM_CTX_QUIET, OM_CTX_GEOMETRY);
  OMset_real_val(p, value);
}

int UIpanel::getClientWidth(const OMobj_id& id, int* width) {
  double sx = 1, sy = 1, v = 0;
  UIgetScaleXY(&sx, &sy);
  // A value beyond int (or not a number) reads as unset: its cast would be undefined.
  if (OMget_real_val(sub(id, "clientWidth"), &v) != 1 || !(std::fabs(v * sx) < 2147483647.0))
    return 0;
  *width = static_cast<int>(v * sx);
  return 1;
}

int UIpanel::getClientHeight(const OMobj_id& id, int* height) {
  double sx = 1, sy = 1, v = 0;
  UIgetScaleXY(&sx, &sy);
  if (OMget_real_val(sub(id, "clientHeight"), &v) != 1 || !(std::fabs(v * sy) < 2147483647.0))
    return 0;
  *height = static_cast<int>(v * sy);
  return 1;
}

void UIpanel::updateChildren() {
  for (Widget child : childrenOf(clientWidget)) {
    UIwindow* binding = UIwidgetToClass(child);
    if (binding && binding->OK() && !!binding->objId) binding->setCoreResources(-1);
  }
}

void UIpanel::setCoreResources(int seq) {
  if (UIisBeingDestroyed(widget_)) return;
  setResources(widget_, seq);
  if (resourcesChanged) {
    updateChildren();
    resourcesChanged = 0;
  }
}

bool UIpanel::instanceObject() {
  Widget parent = parentWidgetNow();
  if (!parent) return false;
  int x = 0, y = 0, width = 0, height = 0;
  autoPlacementManager(parent, &x, &y);
  if (!readInt(objId, "width", &width)) UIsetOMWindowWidth(objId, width = 200);
  if (!readInt(objId, "height", &height)) UIsetOMWindowHeight(objId, height = 40);
  // Beyond 16 bits a size would wrap: reported when the geometry is applied, not used here.
  if (width > 32767) width = 200;
  if (height > 32767) height = 40;
  setClientWidth(objId, width);
  setClientHeight(objId, height);
  // An argument list, not a variable one: the toolkit counts and copies a variable list first.
  Arg args[] = {{XmNx, x},
                {XmNy, y},
                {XmNwidth, std::max(width, 1)},
                {XmNheight, std::max(height, 1)},
                {XmNmappedWhenManaged, True},
                {XmNuserData, reinterpret_cast<XtArgVal>(this)}};
  Widget w = XtCreateWidget(nameOf(objId), containerWidgetClass, parent, args, XtNumber(args));
  widget_ = clientWidget = w;
  // As a frame's: applied, with nothing inside yet to pass them to (left marked, the panel's
  // first update of its own would apply every child's resources again).
  setCoreResources(-1);
  // Only a parent that sizes its children (a template dialog) has the panel learn its size.
  UIwindow* parentBinding = UIwidgetToClass(parent);
  if (parentBinding && parentBinding->sizesItsChildren())
    XtAddEventHandler(w, StructureNotifyMask, False, UIpanel::onMap, parent);
  UIlayout::addDropTarget(w);
  // Managed by onObjectCreate, after "visible" has chosen whether it maps: a hidden panel
  // is never mapped only to be unmapped again.
  onObjectCreate(w);
  OMsend_event(objId, 1);
  return true;
}

void UIpanel::onMap(Widget w, XtPointer parent, XEvent* event, Boolean*) {
  if (!event || (event->type != MapNotify && event->type != ConfigureNotify)) return;
  UIwindow* parentBinding = UIwidgetToClass(static_cast<Widget>(parent));
  UIpanel* self = dynamic_cast<UIpanel*>(UIwidgetToClass(w));
  if (!parentBinding || !self || !parentBinding->sizesItsChildren()) return;
  Dimension width = 0, height = 0;
  XtVaGetValues(w, XmNwidth, &width, XmNheight, &height, nullptr);
  self->setClientHeight(self->objId, height);
  if (!alive(self)) return;  // the write ran the dataflow, which may have deleted the binding
  self->setClientWidth(self->objId, width);
}

void UIpanel::updateObject(int seq) {
  if (UIisBeingDestroyed(widget_)) return;
  // Only what surrounds the panel changed (its window, a neighbour, a control inside it, the
  // window it publishes in its handle): its properties are applied already, but without a
  // "width" or "height" its client size follows its widget's, which its window may have moved.
  bool own = !onlyItsSurroundingsChanged();
  if (own) setCoreResources(seq);
  setClientWidth(objId, sizeOf(objId, "width", widget_, 200));
  setClientHeight(objId, sizeOf(objId, "height", widget_, 40));
  if (own) UIwindow::updateObject(seq);
}

void UIpanel::rebuildKeepingChildren(Widget old, Widget oldClient) {
  if (UIisBeingDestroyed(old) || UIisBeingDestroyed(XtParent(old))) return;
  std::vector<Widget> siblings = childrenOf(XtParent(old));
  for (size_t i = 0; i < siblings.size(); ++i) {
    if (siblings[i] != old) continue;
    OMcontext ctx(objId, OM_CTX_WIDGET, OM_CTX_PLAIN);
    OMset_int_val(sub(objId, "insertPosition", 0), static_cast<int>(i));
    break;
  }
  std::vector<Widget> children = childrenOf(oldClient);
  if (!instanceObject()) return;
  for (Widget child : children)
    if (child != clientWidget && !UIisBeingDestroyed(child)) SetParent(child, clientWidget);
  updateChildren();  // the children moved into the new widget take their resources again
  XSync(XtDisplay(old), False);
  UIdestroyWidget(old);
}

void UIpanel::rebuildObject(Widget old) {
  rebuildKeepingChildren(old, clientWidget);
}

bool UIpanel::destroyChildren() {
  bool any = false;
  // The panel's widget goes next, and theirs with it.
  Widget outer = uiprops::widgetsGoWith;
  uiprops::widgetsGoWith = widget_;
  for (Widget child : childrenOf(clientWidget)) {
    UIwindow* binding = UIwidgetToClass(child);
    if (binding && binding->OK()) {
      binding->destroyObject();
      any = true;
    }
  }
  uiprops::widgetsGoWith = outer;
  return any;
}

void UIpanel::destroyObject() {
  // What the children's destruction writes reaches the dataflow once the panel has gone too:
  // earlier, a child would instance itself again under the panel's widget.
  OMcontext whileDestroying(objId, OM_CTX_QUIET, OM_CTX_EVENT);  // holds its own copy of the id
  // The bindings of the widgets inside go first; their widgets go with the panel's.
  if (!UIisBeingDestroyed(widget_)) destroyChildren();
  UIwindow::destroyObject();  // deletes this
}

// ---- UIframe ---------------------------------------------------------------------------------

UIframe::UIframe(OMobj_id id) : UIpanel(id) {
  classType_ = "UIframe";
}

void UIsetShadowThickness(const OMobj_id& id, Widget frame) {
  if (UIisBeingDestroyed(frame)) return;
  auto* binding = dynamic_cast<UIframe*>(UIwidgetToClass(frame));
  int value = 3;
  if (!readInt(id, "shadowThickness", &value)) value = 3;
  // Compared unsigned: negative values are out of range as well.
  if (binding && static_cast<unsigned>(value) <= 1000) binding->shadowThickness = value;
  int thickness = binding ? binding->shadowThickness : value;
  // Read from the record, and set only on a change: each set is a pass over the frame's
  // resources (a frame is a manager, which keeps its shadow thickness in its record).
  Dimension width = frame->core.width, height = frame->core.height;
  Dimension now = XmIsManager(frame)
                      ? reinterpret_cast<XmManagerWidget>(frame)->manager.shadow_thickness
                      : static_cast<Dimension>(thickness + 1);
  if (now != thickness) {
    XtVaSetValues(frame, XmNshadowThickness, thickness, nullptr);
    if (frame->core.width != width || frame->core.height != height)
      XtVaSetValues(frame, XmNwidth, width, XmNheight, height, nullptr);
  }
  if (binding) {
    binding->setClientWidth(id, width - 2 * thickness);
    binding->setClientHeight(id, height - 2 * thickness);
  }
}

void UIsetShadowType(const OMobj_id& id, Widget frame) {
  if (UIisBeingDestroyed(frame)) return;
  int value = 2;
  if (!readInt(id, "shadowType", &value)) value = 2;
  // 0 in, 1 out, 2 etched in, anything else etched out.
  static const unsigned char types[] = {XmSHADOW_IN, XmSHADOW_OUT, XmSHADOW_ETCHED_IN};
  unsigned char type = XmSHADOW_ETCHED_OUT;
  if (value >= 0 && value <= 2) type = types[value];
  if (XmIsFrame(frame) && reinterpret_cast<XmFrameWidget>(frame)->frame.shadow_type == type) return;
  XtVaSetValues(frame, XmNshadowType, type, nullptr);
}

void UIframe::setCoreResources(int seq) {
  if (UIisBeingDestroyed(widget_)) return;
  setResources(widget_, seq);
  if (!UIisBeingDestroyed(clientWidget)) setResources(clientWidget, seq);
  if (newer(objId, "shadowType", seq)) UIsetShadowType(objId, widget_);
  if (newer(objId, "shadowThickness", seq)) UIsetShadowThickness(objId, widget_);
  if (resourcesChanged) {
    updateChildren();
    resourcesChanged = 0;
  }
}

bool UIframe::instanceObject() {
  Widget parent = parentWidgetNow();
  if (!parent) return false;
  int x = 0, y = 0, width = 0, height = 0, t = shadowThickness;
  autoPlacementManager(parent, &x, &y);
  if (!readInt(objId, "width", &width) || width < 1 || width > 32767) width = 200;
  if (!readInt(objId, "height", &height) || height < 1 || height > 32767) height = 40;
  int value = 3;
  if (readInt(objId, "shadowThickness", &value) && static_cast<unsigned>(value) <= 1000)
    t = shadowThickness = value;
  setClientWidth(objId, width - 2 * t);
  setClientHeight(objId, height - 2 * t);
  // Argument lists, not variable ones: the toolkit counts and copies a variable list first.
  const auto self = reinterpret_cast<XtArgVal>(this);
  Arg frameArgs[] = {{XmNx, x},
                     {XmNy, y},
                     {XmNwidth, width},
                     {XmNheight, height},
                     {XmNshadowThickness, t},
                     {XmNmarginWidth, 0},
                     {XmNmarginHeight, 0},
                     {XmNmappedWhenManaged, True},
                     {XmNuserData, self}};
  Widget frame =
      XtCreateWidget(nameOf(objId), xmFrameWidgetClass, parent, frameArgs, XtNumber(frameArgs));
  std::string inner = std::string(nameOf(objId)) + "WA";
  Arg innerArgs[] = {{XmNx, t},
                     {XmNy, t},
                     {XmNwidth, std::max(width - 2 * t, 1)},
                     {XmNheight, std::max(height - 2 * t, 1)},
                     {XmNmappedWhenManaged, True},
                     {XmNuserData, self}};
  clientWidget = XtCreateManagedWidget(inner.c_str(), containerWidgetClass, frame, innerArgs,
                                       XtNumber(innerArgs));
  widget_ = frame;
  setCoreResources(-1);
  UIsetShadowType(objId, frame);
  addWindowHandlers(clientWidget, false);
  UIlayout::addDropTarget(clientWidget);
  // Managed (and so given its window) by onObjectCreate, after its handlers are on: added to a
  // window that exists already they each cost a request.
  onObjectCreate(frame);
  OMsend_event(objId, 1);
  return true;
}

void UIframe::updateObject(int seq) {
  if (UIisBeingDestroyed(widget_) || onlyItsSurroundingsChanged()) return;
  if (newer(objId, "width", seq) || newer(objId, "height", seq)) {
    int width = sizeOf(objId, "width", widget_, 200);
    int height = sizeOf(objId, "height", widget_, 40);
    setClientWidth(objId, width - 2 * shadowThickness);
    setClientHeight(objId, height - 2 * shadowThickness);
  }
  setCoreResources(seq);
  UIwindow::updateObject(seq);
}

void UIframe::rebuildObject(Widget old) {
  rebuildKeepingChildren(old, clientWidget);
}

void UIframe::destroyObject() {
  UIpanel::destroyObject();
}

// ---- UIscrolledWindow --------------------------------------------------------------------------

int UIscrolledWindow::lastScrollBarSeq_ = -2;

UIscrolledWindow::UIscrolledWindow(OMobj_id id) : UIframe(id) {
  classType_ = "UIscrolledWindow";
}

void UIscrolledWindow::setCoreResources(int seq) {
  if (UIisBeingDestroyed(widget_)) return;
  setResources(widget_, seq);
  if (!UIisBeingDestroyed(clientWidget)) {
    setResources(clientWidget, seq);
    Pixel background = backgroundOf(clientWidget);
    for (Widget bar : {hScrollBar, vScrollBar})
      if (!UIisBeingDestroyed(bar)) XmChangeColor(bar, background);
  }
  if (resourcesChanged) {
    updateChildren();
    resourcesChanged = 0;
  }
}

int UIscrolledWindow::getVirtualWidth(int width) {
  if (resizeMode == 0) {
    double v = 0;
    // Only a value X can take as a size is used (a cast of a larger one is undefined).
    if (OMget_real_val(sub(objId, "virtualWidth"), &v) == 1 && v > -32769 && v < 32768)
      return static_cast<int>(v);
    return width > 0 ? width : 0;
  }
  if (UIisBeingDestroyed(clientWidget)) return 0;
  Dimension d = 0;
  XtVaGetValues(clientWidget, XmNwidth, &d, nullptr);
  return d;
}

int UIscrolledWindow::getVirtualHeight(int height) {
  if (resizeMode == 0) {
    double v = 0;
    if (OMget_real_val(sub(objId, "virtualHeight"), &v) == 1 && v > -32769 && v < 32768)
      return static_cast<int>(v);
    return height > 0 ? height : 0;
  }
  if (UIisBeingDestroyed(clientWidget)) return 0;
  Dimension d = 0;
  XtVaGetValues(clientWidget, XmNheight, &d, nullptr);
  return d;
}

void UIscrolledWindow::setOMVirtualWidth(int v) {
  double now = -1;
  if (OMget_real_val(sub(objId, "virtualWidth"), &now) != 1) now = -1;
  if (now == v) return;
  OMcontext ctx(objId, OM_CTX_QUIET, OM_CTX_GEOMETRY);
  OMset_real_val(sub(objId, "virtualWidth"), v);
}

void UIscrolledWindow::setOMVirtualHeight(int v) {
  double now = -1;
  if (OMget_real_val(sub(objId, "virtualHeight"), &now) != 1) now = -1;
  if (now == v) return;
  OMcontext ctx(objId, OM_CTX_QUIET, OM_CTX_GEOMETRY);
  OMset_real_val(sub(objId, "virtualHeight"), v);
}

void UIscrolledWindow::setScrollBars(int mode, int width, int height) {
  auto show = [](Widget bar, bool on) {
    if (UIisBeingDestroyed(bar)) return;
    if (on)
      XtManageChild(bar);
    else
      XtUnmanageChild(bar);
  };
  if (mode == 0) {
    hAllowance = vAllowance = 0;
    return;
  }
  if (mode == 1) {
    hAllowance = vAllowance = 31;
    return;
  }
  bool verticalShown = false;
  if (virtualWidth > 0 && virtualWidth > width) {
    hAllowance = 31;
    show(hScrollBar, true);
    if (virtualHeight > height - 31) {
      vAllowance = 31;
      show(vScrollBar, true);
      verticalShown = true;
    }
  } else {
    hAllowance = 8;
    show(hScrollBar, false);
  }
  if (virtualHeight > 0 && virtualHeight > height) {
    vAllowance = 31;
    show(vScrollBar, true);
    if (virtualWidth > width - 31) {
      hAllowance = 31;
      show(hScrollBar, true);
    }
  } else if (!verticalShown) {
    vAllowance = 0;
    show(vScrollBar, false);
  }
}

bool UIscrolledWindow::instanceObject() {
  Widget parent = parentWidgetNow();
  if (!parent) return false;
  int x = 0, y = 0, width = 0, height = 0;
  autoPlacementManager(parent, &x, &y);
  if (!readInt(objId, "width", &width) || width < 1 || width > 32767) width = 200;
  if (!readInt(objId, "height", &height) || height < 1 || height > 32767) height = 200;
  virtualWidth = virtualHeight = 0;
  if (!readInt(objId, "scrollBars", &scrollBarMode)) scrollBarMode = 1;
  unsigned char policy = scrollBarMode == 0 ? XmAPPLICATION_DEFINED : XmAUTOMATIC;
  unsigned char display = XmSTATIC, visual = XmVARIABLE;
  if (scrollBarMode == 2) display = XmAS_NEEDED, visual = XmCONSTANT;
  Widget sw = XtVaCreateWidget(nameOf(objId), xmScrolledWindowWidgetClass, parent, XmNx, x, XmNy, y,
                               XmNwidth, width, XmNheight, height, XmNscrollingPolicy, policy,
                               XmNscrollBarDisplayPolicy, display, XmNvisualPolicy, visual,
                               XmNscrollBarPlacement, XmBOTTOM_RIGHT, XmNmappedWhenManaged, True,
                               XmNuserData, this,
                               // as a list's: no drop sites on the scroll bars, which would
                               // grow the display's table of drop targets (list.cpp)
                               XmNautoDragModel, XmAUTO_DRAG_DISABLED, nullptr);
  widget_ = sw;
  if (!readInt(objId, "resizeMode", &resizeMode)) resizeMode = 2;
  std::string inner = std::string(nameOf(objId)) + "WA";
  // The work area starts at the view's origin: at the scrolled window's own x and y it would
  // lie outside the view.
  clientWidget = XtVaCreateWidget(
      inner.c_str(), xmBulletinBoardWidgetClass, sw, XmNx, 0, XmNy, 0, XmNmappedWhenManaged, True,
      XmNuserData, this, XmNautoUnmanage, False, XmNdialogStyle, XmDIALOG_WORK_AREA, XmNmarginWidth,
      0, XmNmarginHeight, 0, XmNresizePolicy, static_cast<unsigned char>(resizeMode), nullptr);
  int vw = getVirtualWidth(width), vh = getVirtualHeight(height);
  virtualWidth = vw > 0 ? vw : width;
  virtualHeight = vh > 0 ? vh : height;
  if (scrollBarMode == 0) {
    hAllowance = vAllowance = 0;
  } else if (scrollBarMode == 1) {
    hAllowance = vAllowance = 31;
  } else {
    hAllowance = virtualWidth > width ? 31 : 0;
    vAllowance = virtualHeight > height ? 31 : 0;
  }
  int clientWidth = width - vAllowance;
  int clientHeight = height - hAllowance - (scrollBarMode == 2 ? 8 : 0);
  setClientWidth(objId, clientWidth);
  setClientHeight(objId, clientHeight);
  if (resizeMode == 0) {
    XtVaSetValues(clientWidget, XmNwidth, virtualWidth > 0 ? virtualWidth : width, XmNheight,
                  virtualHeight > 0 ? virtualHeight : height, nullptr);
  } else {
    // An empty work area is 1 by 1, and a view first laid out around one leaves its bars at
    // its origin, under the clip window. The work area starts as large as the client area
    // and follows its children from there.
    XtVaSetValues(clientWidget, XmNwidth, std::max(clientWidth, 1), XmNheight,
                  std::max(clientHeight, 1), nullptr);
  }
  XtManageChild(clientWidget);
  XtVaGetValues(sw, XmNhorizontalScrollBar, &hScrollBar, XmNverticalScrollBar, &vScrollBar,
                nullptr);
  setCoreResources(-1);
  if (hAllowance == 0 && !UIisBeingDestroyed(hScrollBar)) XtUnmanageChild(hScrollBar);
  if (vAllowance == 0 && !UIisBeingDestroyed(vScrollBar)) XtUnmanageChild(vScrollBar);
  XtAddEventHandler(clientWidget, StructureNotifyMask, False, handleVirtResize, this);
  addMouseInteractorHandlers(clientWidget);
  UIlayout::addDropTarget(clientWidget);
  XtManageChild(sw);
  onObjectCreate(sw);
  // Children find their parent widget through the handle: it names the work area.
  publishInHandle(clientWidget, true);
  OMsend_event(objId, 1);
  return true;
}

void UIscrolledWindow::addLayoutEditorEventHandlers(Widget w) {
  UIwindow::addLayoutEditorEventHandlers(w);
  for (Widget child : childrenOf(w))
    if (child != clientWidget) UIwindow::addLayoutEditorEventHandlers(child);
}

void UIscrolledWindow::updateObject(int seq) {
  UIwindow::updateObject(seq);
  if (!alive(this) || UIisBeingDestroyed(widget_)) return;
  if (newer(objId, "scrollBars", seq) && seq != -1 && seq != lastScrollBarSeq_) {
    lastScrollBarSeq_ = seq;
    rebuildObject(widget_);
    return;
  }
  if (newer(objId, "resizeMode", seq)) {
    if (!readInt(objId, "resizeMode", &resizeMode)) resizeMode = 2;
    XtVaSetValues(clientWidget, XmNresizePolicy, static_cast<unsigned char>(resizeMode), nullptr);
  }
  if (newer(objId, "width", seq) || newer(objId, "height", seq) ||
      newer(objId, "virtualWidth", seq) || newer(objId, "virtualHeight", seq)) {
    int width = sizeOf(objId, "width", widget_, 200);
    int height = sizeOf(objId, "height", widget_, 200);
    int vw = getVirtualWidth(width), vh = getVirtualHeight(height);
    if (vw <= 0) setOMVirtualWidth(vw = width);
    if (vh <= 0) setOMVirtualHeight(vh = height);
    virtualWidth = vw;
    virtualHeight = vh;
    setScrollBars(scrollBarMode, width, height);
    setClientWidth(objId, width - vAllowance);
    setClientHeight(objId, height - hAllowance);
    if (resizeMode == 0)
      XtVaSetValues(clientWidget, XmNwidth, vw > 0 ? vw : width, XmNheight, vh > 0 ? vh : height,
                    nullptr);
    short x = 0, y = 0;
    UIgeom::getWidgetPos(widget_, x, y);
    UIgeom::setWidgetPosSize(widget_, x, y, static_cast<unsigned short>(width),
                             static_cast<unsigned short>(height));
  }
  setCoreResources(seq);
}

void UIscrolledWindow::handleVirtResize(Widget w, XtPointer data, XEvent* event, Boolean*) {
  if (!event || (event->type != ConfigureNotify && event->type != MapNotify)) return;
  auto* self = static_cast<UIscrolledWindow*>(data);
  if (!alive(self) || UIisBeingDestroyed(w)) return;
  self->childCount = static_cast<int>(childrenOf(w).size());
  int vw = self->getVirtualWidth(0), vh = self->getVirtualHeight(0);
  if (vw > 0) self->setOMVirtualWidth(vw);
  if (!alive(self)) return;  // the write ran the dataflow, which may have deleted the binding
  if (vh > 0) self->setOMVirtualHeight(vh);
}

void UIscrolledWindow::rebuildObject(Widget old) {
  if (UIisBeingDestroyed(old)) return;
  if (!XmIsScrolledWindow(old)) {
    std::printf("[UIscrolledWindow::rebuildObject] widget is not ScrolledWindow\n");
    return;
  }
  rebuildKeepingChildren(old, clientWidget);
}

// The work area's destroy callbacks stay: the registry of live widgets forgets the widget
// through one of them.
void UIscrolledWindow::destroyObject() {
  UIpanel::destroyObject();
}

void UIpanelChildRaise(Widget w, void*) {
  for (Widget child : childrenOf(w))
    if (XtWindow(child)) XRaiseWindow(XtDisplay(child), XtWindow(child));
}

int UIpanelInstance(OMobj_id id) {
  return UIinstanceEntry<UIpanel>(id);
}
int UIpanelUpdate(OMobj_id id, unsigned int mask, int seq) {
  return UIupdateEntry<UIpanel>(id, mask, seq);
}
int UIframeInstance(OMobj_id id) {
  return UIinstanceEntry<UIframe>(id);
}
int UIframeUpdate(OMobj_id id, unsigned int mask, int seq) {
  return UIupdateEntry<UIframe>(id, mask, seq);
}
int UIscrolledWindowInstance(OMobj_id id) {
  return UIinstanceEntry<UIscrolledWindow>(id);
}
int UIscrolledWindowUpdate(OMobj_id id, unsigned int mask, int seq) {
  return UIupdateEntry<UIscrolledWindow>(id, mask, seq);
}
