// Top-level windows and the application window, with the window manager's frame offsets.
#include "ui/shell.h"

#include <X11/Shell.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <Xm/BulletinB.h>
#include <Xm/CascadeB.h>
#include <Xm/DialogS.h>
#include <Xm/Label.h>
#include <Xm/MainW.h>
#include <Xm/Protocols.h>
#include <Xm/Xm.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <typeinfo>
#include <vector>

#include "om/om_scope.h"
#include "svc/container.h"
#include "svc/ev.h"
#include "svc/wt.h"
#include "ui/args.h"
#include "ui/misc.h"
#include "ui/xmstring.h"

#include "props.h"

unsigned short UIshell::MENU_HEIGHT = 30;
int UIshell::lastSeqNum = -2;
OMobj_id UIshell::UIshellRealizeCBId = {0, 0};

Widget (*UIbuildMenuBar)(const OMobj_id& menu, Widget mainWindow) = nullptr;
void (*UIdestroyMenuBar)(Widget menuBar) = nullptr;

namespace {

using uiprops::childrenOf;
using uiprops::nameOf;
using uiprops::newer;
using uiprops::readInt;
using uiprops::sub;

UIshell* shellOf(Widget w) {
  return dynamic_cast<UIshell*>(UIwidgetToClass(w));
}

int realizeTrampoline(OMobj_id obj) {
  return UIshellRealizeCB(UIshell::UIshellRealizeCBId, obj, 0);
}

// The realize notification runs later, from the object manager's dispatcher.
void queueRealize(const OMobj_id& obj) {
  OMcontext ctx(obj, OM_CTX_WIDGET, OM_CTX_GEOMETRY | OM_CTX_EVENT);
  OMqueue_notify(obj, realizeTrampoline, 0);
}

void clientMessageHandler(Widget w, XtPointer binding, XEvent* event, Boolean*) {
  if (event && event->type == ClientMessage && UIwindow::alive(static_cast<UIshell*>(binding)))
    UIshellClientMessage(w, static_cast<UIshell*>(binding), &event->xclient);
}

bool placementDetectionOff() {
  const char* v = std::getenv("CQ_WIN_PLACEMENT");
  return v && *v && std::strcmp(v, "Auto") != 0;
}

Atom atomIfExists(Display* dpy, const char* name) {
  return XInternAtom(dpy, name, True);
}

bool rootHasProperty(Display* dpy, Window root, const char* name, Atom type) {
  Atom property = atomIfExists(dpy, name);
  if (property == None || type == None) return false;
  Atom actual = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  int status = XGetWindowProperty(dpy, root, property, 0, 1, False, type, &actual, &format, &count,
                                  &after, &data);
  if (data) XFree(data);
  return status == Success && actual == type;
}

}  // namespace

// ---- Construction ------------------------------------------------------------------------------

UIshell::UIshell(OMobj_id id) : UIpanel(id) {
  classType_ = "UIshell";
}
UIshell::~UIshell() = default;

UIapp::UIapp(OMobj_id id) : UIshell(id) {
  classType_ = "UIapp";
}

void UIshell::setDisplayContext() {
  std::string chosen;
  if (OMtext name = OMget_text(sub(objId, "display"))) {
    chosen = name.get();
  } else if (const char* env = std::getenv("DISPLAY")) {
    chosen = env;
  }
  displayContext = *UIgetDisplayContext(chosen.c_str());
}

Widget UIshell::getParentWidget() {
  Widget parent = UIwindow::getParentWidget();
  if (parent) return parent;
  return displayContext._managerShell;
}

void UIshell::geometry(int x, int y, int width, int height) {
  char text[128];
  std::snprintf(text, sizeof text, "%d%s%d%s%d%s%d", width, "x", height, "+", x, "+", y);
  geometryText = text;
  if (!UIisBeingDestroyed(shellWidget))
    XtVaSetValues(shellWidget, XmNgeometry, geometryText.c_str(), nullptr);
}

int UIshell::calculateClientDecorationHeight(Widget) {
  int height = 0;
  if (!UIisBeingDestroyed(statusLabel) && XtIsManaged(statusLabel)) {
    Dimension h = 0;
    XtVaGetValues(statusLabel, XmNheight, &h, nullptr);
    height += h;
  }
  OMobj_id menu;
  if (OMget_obj_val(sub(objId, "menu"), &menu) == 1 && !!menu) height += MENU_HEIGHT;
  return height;
}

bool UIshell::instanceObject() {
  int x = 0, y = 0, width = 0, height = 0;
  bool xSet = UIgetOMWindowX(objId, &x);
  bool ySet = UIgetOMWindowY(objId, &y);
  if (!readInt(objId, "width", &width)) UIsetOMWindowWidth(objId, width = 200);
  if (!readInt(objId, "height", &height)) UIsetOMWindowHeight(objId, height = 60);
  width = std::max(width, 1);
  height = std::max(height, 1);
  Widget parent = UIwindow::getParentWidget();
  if (!parent) setDisplayContext();
  if (parent || xSet || ySet) geometry(x, y, width, height);
  if (!parent && !displayContext._appShell) return false;  // no display to put it on
  const char* name = nameOf(objId);
  UIargs args{{XmNallowShellResize, True},
              {XmNdeleteResponse, XmDO_NOTHING},
              {XmNuseAsyncGeometry, False},
              {XmNmappedWhenManaged, False}};
  if (!geometryText.empty()) args.add(XmNgeometry, geometryText.c_str());
  shellWidget = parent ? XtCreatePopupShell(name, transientShellWidgetClass, parent, args.list(),
                                            args.count())
                       : XtCreatePopupShell(name, topLevelShellWidgetClass,
                                            displayContext._appShell, args.list(), args.count());
  std::string mwName = std::string(name) + "MW", waName = std::string(name) + "WA";
  mainWindow = XtVaCreateManagedWidget(mwName.c_str(), xmMainWindowWidgetClass, shellWidget, XmNx,
                                       x, XmNy, y, XmNwidth, width, XmNheight, height, XmNspacing,
                                       0, XmNmainWindowMarginWidth, 0, XmNmainWindowMarginHeight, 0,
                                       XmNuserData, this, nullptr);
  workArea = XtVaCreateManagedWidget(waName.c_str(), containerWidgetClass, mainWindow, XmNwidth,
                                     width, XmNheight, height, XmNmappedWhenManaged, True,
                                     XmNuserData, this, nullptr);
  clientWidget = workArea;
  statusLabel = XtVaCreateWidget("commandWindow", xmLabelWidgetClass, mainWindow, XmNalignment,
                                 XmALIGNMENT_BEGINNING, XmNuserData, this, nullptr);
  int show = 0;
  if (readInt(objId, "showStatusBar", &show) && show) {
    XtManageChild(statusLabel);
    Dimension labelHeight = 0;
    XtVaGetValues(statusLabel, XmNheight, &labelHeight, nullptr);
    XtVaSetValues(workArea, XmNheight, std::max(height - labelHeight, 1), nullptr);
  }
  XtVaSetValues(mainWindow, XmNmessageWindow, statusLabel, nullptr);
  XmMainWindowSetAreas(mainWindow, nullptr, nullptr, nullptr, nullptr, workArea);
  XtAddEventHandler(shellWidget, StructureNotifyMask, False, UIshellOnMap, this);
  XtAddEventHandler(shellWidget, NoEventMask, True, clientMessageHandler, this);
  XtAddCallback(shellWidget, XmNpopupCallback, UIshellPopupCB, this);
  XtAddCallback(shellWidget, XmNpopdownCallback, UIshellPopdownCB, this);
  parentWidget_ = getParentWidget();
  setClientWidth(objId, width - calculateClientDecorationWidth(mainWindow));
  setClientHeight(objId, height - calculateClientDecorationHeight(mainWindow));
  onObjectCreate(mainWindow);
  setCoreResources(-1);
  if (!alive(this)) return true;
  showStatusText();
  addMouseInteractorHandlers(workArea);
  Atom deleteWindow = XInternAtom(XtDisplay(shellWidget), "WM_DELETE_WINDOW", False);
  XmAddWMProtocolCallback(shellWidget, deleteWindow, closeCB, this);
  if (auto* wt = static_cast<WText_context*>(displayContext.getWtDpyContext())) {
    WTadd_ext_context_callback(wt, 0, virtpal_refreshCB, shellWidget);
    WTadd_ext_context_callback(wt, 1, virtpal_refreshCB, shellWidget);
  }
  OMsend_event(objId, 1);
  return true;
}

// The handle names the work area: the shell's child objects put their widgets there.
void UIshell::onObjectCreate(Widget w) {
  UIwindow::onObjectCreate(w);
  publishInHandle(workArea, false);
}

// ---- Resources ---------------------------------------------------------------------------------

void UIsetTitle(const OMobj_id& /*obj*/, const OMobj_id& property, Widget mainWindow) {
  OMtext text = OMget_text(property);
  if (!text || UIisBeingDestroyed(mainWindow)) return;
  XtVaSetValues(XtParent(mainWindow), XmNtitle, text.get(), nullptr);
}

void UIsetIconic(const OMobj_id&, const OMobj_id& property, Widget mainWindow) {
  int iconic = 0;
  if (UIisBeingDestroyed(mainWindow)) return;
  if (OMget_int_val(property, &iconic) != 1) iconic = 0;
  XtVaSetValues(XtParent(mainWindow), XmNiconic, iconic ? True : False, nullptr);
}

void UIsetIconName(const OMobj_id&, const OMobj_id& property, Widget mainWindow) {
  if (UIisBeingDestroyed(mainWindow)) return;
  Widget shell = XtParent(mainWindow);
  if (OMtext text = OMget_text(property)) {
    XtVaSetValues(shell, XmNiconName, text.get(), nullptr);
    return;
  }
  String title = nullptr;
  XtVaGetValues(shell, XmNtitle, &title, nullptr);
  if (title) XtVaSetValues(shell, XmNiconName, title, nullptr);
}

void UIsetMenuBar(const OMobj_id& obj, const OMobj_id& menu, Widget mainWindow) {
  if (UIisBeingDestroyed(mainWindow)) return;
  UIshell* shell = shellOf(mainWindow);
  Widget message = nullptr, work = nullptr, bar = nullptr;
  Dimension width = 0, height = 0;
  XtVaGetValues(mainWindow, XmNmessageWindow, &message, XmNworkWindow, &work, XmNwidth, &width,
                XmNheight, &height, XmNmenuBar, &bar, nullptr);
  int show = 0;
  bool showBar = readInt(obj, "showStatusBar", &show) && show;
  Dimension labelHeight = 0;
  OMobj_id target;
  bool hadBar = bar != nullptr;
  if (OMget_obj_val(menu, &target) == 1 && !!target) {
    Widget built = UIbuildMenuBar ? UIbuildMenuBar(target, mainWindow) : nullptr;
    XtVaSetValues(mainWindow, XmNheight, height, nullptr);
    if (built && !hadBar) {
      Dimension menuHeight = 0;
      XtVaGetValues(built, XmNheight, &menuHeight, nullptr);
      UIshell::MENU_HEIGHT = menuHeight;
      if (showBar && message) {
        XtManageChild(message);
        XtVaGetValues(message, XmNheight, &labelHeight, nullptr);
      }
      int workHeight = std::max(height - labelHeight - UIshell::MENU_HEIGHT, 1);
      if (work) XtVaSetValues(work, XmNy, UIshell::MENU_HEIGHT, XmNheight, workHeight, nullptr);
      if (shell) shell->setClientHeight(obj, workHeight);
    }
    bar = built ? built : bar;
  } else if (bar) {
    if (UIdestroyMenuBar)
      UIdestroyMenuBar(bar);
    else
      XtDestroyWidget(bar);
    bar = nullptr;
    if (message && !showBar) XtUnmanageChild(message);
    if (showBar && message) XtVaGetValues(message, XmNheight, &labelHeight, nullptr);
    int workHeight = std::max(height - labelHeight, 1);
    if (work) XtVaSetValues(work, XmNy, 0, XmNheight, workHeight, nullptr);
    if (shell) shell->setClientHeight(obj, workHeight);
  }
  if (bar && shell && shell->coloursNewMenuBar()) UIshellSetMenuResources(shell, bar, -1);
}

void UIshellSetMenuResources(UIshell* shell, Widget w, int seq) {
  if (!shell || UIisBeingDestroyed(w)) return;
  shell->setResources(w, seq);
  for (Widget child : childrenOf(w)) {
    shell->setResources(child, seq);
    Widget submenu = nullptr;
    if (XmIsCascadeButton(child)) XtVaGetValues(child, XmNsubMenuId, &submenu, nullptr);
    if (submenu) UIshellSetMenuResources(shell, submenu, seq);
  }
}

void UIshellMenuCB(void* data) {
  auto* shell = static_cast<UIshell*>(data);
  EVdel_select(7, 0, UIshellMenuCB, nullptr, data, 0);
  if (!UIwindow::alive(shell)) return;
  shell->menuUpdatePending = false;
  if (!OMvalid_obj(shell->objId, OMnull_obj, 0)) return;
  Widget mainWindow = UIfindNearestMainWindowAncestor(shell->workArea);
  if (!mainWindow) return;
  UIsetMenuBar(shell->objId, sub(shell->objId, "menu"), mainWindow);
  EVflush_events();
}

void UIshell::setShellResources(Widget mw, int seq) {
  if (UIisBeingDestroyed(mw)) return;
  if (newer(objId, "title", seq)) UIsetTitle(objId, sub(objId, "title"), mw);
  if (newer(objId, "iconic", seq)) UIsetIconic(objId, sub(objId, "iconic"), mw);
  if (newer(objId, "iconName", seq)) UIsetIconName(objId, sub(objId, "iconName"), mw);
  if (newer(objId, "menu", seq)) {
    Widget bar = nullptr;
    XtVaGetValues(mw, XmNmenuBar, &bar, nullptr);
    if (!bar) {
      UIsetMenuBar(objId, sub(objId, "menu"), mw);
    } else if (!menuUpdatePending) {
      EVadd_select(7, 0, UIshellMenuCB, nullptr, this, 0);
      menuUpdatePending = true;
    }
  }
  if (newer(objId, "visible", seq)) setVisibility();
  if (seq != -1 && seq != lastSeqNum && newer(objId, "display", seq)) {
    lastSeqNum = seq;
    Widget parent = UIwindow::getParentWidget();
    if (!parent) setDisplayContext();
    if (parent || displayContext.DisplayPtr) rebuildObject(workArea);
  }
}

void UIshell::setCoreResources(int seq) {
  setShellResources(mainWindow, seq);
  if (!alive(this)) return;
  setResources(workArea, seq);
  if (!UIisBeingDestroyed(statusLabel)) setResources(statusLabel, seq);
  Widget bar = nullptr;
  if (!UIisBeingDestroyed(mainWindow)) XtVaGetValues(mainWindow, XmNmenuBar, &bar, nullptr);
  if (bar) UIshellSetMenuResources(this, bar, seq);
  if (resourcesChanged) {
    updateChildren();
    resourcesChanged = 0;
  }
}

void UIshell::showStatusText() {
  if (UIisBeingDestroyed(statusLabel)) return;
  char text[257] = " ";
  char* buffer = text;
  if (OMget_str_val(sub(objId, "statusString"), &buffer, sizeof text) != 1) std::strcpy(text, " ");
  UIxmString s = UIxmText(text);
  XtVaSetValues(statusLabel, XmNlabelString, s.get(), nullptr);
}

void UIshell::setVisibility() {
  int visible = 0;
  if (!readInt(objId, "visible", &visible) || UIisBeingDestroyed(shellWidget)) return;
  // Transient shells (children of other windows) are shown the same way as top-level ones.
  if (!XtIsWMShell(shellWidget)) return;
  if (!visible) {
    XtPopdown(shellWidget);
    return;
  }
  XtVaSetValues(mainWindow, XmNmappedWhenManaged, True, nullptr);
  if (!poppedUp && XtIsRealized(mainWindow)) {
    XtPopup(shellWidget, XtGrabNone);
    std::vector<Widget> children = childrenOf(workArea);
    for (auto it = children.rbegin(); it != children.rend(); ++it)
      if (XmIsDialogShell(*it)) queueRealize(objId);
  } else {
    queueRealize(objId);
  }
}

// ---- Realize, popup, map, size, close
// ------------------------------------------------------------

namespace {

void updateChildWindows(const OMobj_id& obj, int depth) {
  if (depth > 64) return;
  // Objects that hold a reference to obj: children whose "parent" names it.
  OMobj_id place;
  if (OMget_array_subobj(OMinst_obj, 0, &place, 0) != 1) return;
  std::vector<OMobj_id> stack{place};
  while (!stack.empty()) {
    OMobj_id at = stack.back();
    stack.pop_back();
    int n = 0;
    OMget_num_subobjs(at, &n);
    for (int i = 0; i < n; ++i) stack.push_back(OMget_subobj_at(at, i));
    OMobj_id target;
    if (OMget_obj_pval(sub(at, "parent", 0), &target, 0) != 1 || !(target == obj)) continue;
    Widget w = UIobjIdToWidget(at);
    UIwindow* binding = UIwidgetToClass(w);
    if (!binding || !XtWindow(w)) continue;
    if (binding->handle.window() != XtWindow(w)) {
      {
        OMcontext ctx(binding->handle.obj_id(), OM_CTX_QUIET, OM_CTX_PLAIN);
        binding->handle.window(XtWindow(w));
      }
      updateChildWindows(at, depth + 1);
    }
  }
}

}  // namespace

int UIshellRealizeCB(OMobj_id, OMobj_id obj, unsigned int) {
  Widget w = UIobjIdToWidget(obj);
  if (UIisBeingDestroyed(w)) return 1;
  Widget mainWindow = UIfindNearestMainWindowAncestor(w);
  Widget shell = mainWindow ? XtParent(mainWindow) : nullptr;
  if (shell && !XtWindow(shell)) {
    int visible = 0;
    if (readInt(obj, "visible", &visible) && visible)
      XtPopup(shell, XtGrabNone);
    else
      XtRealizeWidget(shell);
    UIdpyContext ctx = *UIgetDisplayContext(XtDisplay(shell));
    if (auto* wt = static_cast<WText_context*>(ctx.getWtDpyContext()))
      WTinstall_virtpal_cmap(wt, shell);
    if (UIwindow* binding = UIwidgetToClass(w)) {
      OMcontext ctx(binding->handle.obj_id(), OM_CTX_QUIET, OM_CTX_PLAIN);
      binding->handle.window(XtWindow(w));
    }
    updateChildWindows(obj, 0);
  }
  OMsend_event(obj, 1);
  return 1;
}

void UIshellPopupCB(Widget w, XtPointer data, XtPointer) {
  auto* shell = static_cast<UIshell*>(data);
  if (!UIwindow::alive(shell)) return;
  int x = 0, y = 0;
  if (UIgetOMWindowX(shell->objId, &x) && UIgetOMWindowY(shell->objId, &y) && XtWindow(w)) {
    XSizeHints hints{};
    hints.flags = USPosition;
    hints.x = x;
    hints.y = y;
    XSetWMNormalHints(XtDisplay(w), XtWindow(w), &hints);
  }
  {
    OMcontext ctx(shell->objId, OM_CTX_WIDGET, OM_CTX_PLAIN);
    OMset_int_val(sub(shell->objId, "visible", 0), 1);
  }
  if (UIwindow::alive(shell)) shell->poppedUp = true;
}

void UIshellPopdownCB(Widget w, XtPointer data, XtPointer) {
  auto* shell = static_cast<UIshell*>(data);
  if (!UIwindow::alive(shell)) return;
  shell->poppedUp = false;
  XtAddEventHandler(w, StructureNotifyMask, False, UIshellOnMap, shell);
  XtRemoveEventHandler(w, StructureNotifyMask, False, UIshell::onSize, shell);
  OMcontext ctx(shell->objId, OM_CTX_WIDGET, OM_CTX_PLAIN);
  OMset_int_val(sub(shell->objId, "visible", 0), 0);
}

Widget UIshellGetMainWindowChild(Widget w) {
  if (UIisBeingDestroyed(w)) return nullptr;
  if (XmIsMainWindow(w) || XmIsBulletinBoard(w)) return w;
  for (Widget child : childrenOf(w))
    if (XmIsMainWindow(child) || XmIsBulletinBoard(child)) return child;
  return nullptr;
}

void UIshellOnMap(Widget w, XtPointer data, XEvent* event, Boolean*) {
  if (!event || event->type != MapNotify) return;
  Widget mainWindow = XtIsTopLevelShell(w) ? UIshellGetMainWindowChild(w) : w;
  if (!mainWindow || !XtIsManaged(mainWindow)) return;
  UIshell* shell = shellOf(mainWindow);
  if (!shell) return;
  if (!shell->offsetsKnown) UIshell::detectMWMPositionIsFrame(mainWindow);
  Dimension width = 0, height = 0;
  XtVaGetValues(mainWindow, XmNwidth, &width, XmNheight, &height, nullptr);
  shell->setClientWidth(shell->objId, width - shell->calculateClientDecorationWidth(mainWindow));
  shell->setClientHeight(shell->objId, height - shell->calculateClientDecorationHeight(mainWindow));
  XtRemoveEventHandler(w, StructureNotifyMask, False, UIshellOnMap, data);
  XtAddEventHandler(w, StructureNotifyMask, False, UIshell::onSize, data);
}

void UIshell::onSize(Widget w, XtPointer, XEvent* event, Boolean*) {
  if (!event || event->type != ConfigureNotify || event->xconfigure.window != XtWindow(w) ||
      UIisBeingDestroyed(w))
    return;
  Widget mainWindow = UIshellGetMainWindowChild(w);
  UIshell* shell = mainWindow ? shellOf(mainWindow) : nullptr;
  if (!shell || !XtIsManaged(mainWindow) || !shell->objId) return;
  if (!shell->offsetsKnown) detectMWMPositionIsFrame(mainWindow);
  Position x = 0, y = 0;
  XtVaGetValues(w, XmNx, &x, XmNy, &y, nullptr);
  int width = event->xconfigure.width, height = event->xconfigure.height;
  int objWidth = -1, objHeight = -1;
  readInt(shell->objId, "width", &objWidth);
  readInt(shell->objId, "height", &objHeight);
  if (width != objWidth || height != objHeight) {
    OMcontext ctx(shell->handle.obj_id(), OM_CTX_QUIET, OM_CTX_EVENT);
    shell->handle.event(2);
  }
  int ox = x - shell->xOffset, oy = y - shell->yOffset;
  shell->geometry(ox, oy, width, height);
  UIupdateOMRequestedWindowPosSize(mainWindow, ox, oy, width, height, 0);
  if (!alive(shell)) return;
  shell->setClientWidth(shell->objId, width - shell->calculateClientDecorationWidth(mainWindow));
  shell->setClientHeight(shell->objId, height - shell->calculateClientDecorationHeight(mainWindow));
}

void UIshell::closeCB(Widget, XtPointer data, XtPointer) {
  auto* shell = static_cast<UIshell*>(data);
  if (!alive(shell)) return;
  Widget shellWidget = shell->shellWidget;
  {
    OMcontext ctx(shell->objId, OM_CTX_WIDGET, OM_CTX_PLAIN);
    OMset_int_val(sub(shell->objId, "cancel", 0), 1);
    OMset_int_val(sub(shell->objId, "visible", 0), 0);
  }
  if (!UIisBeingDestroyed(shellWidget)) XtPopdown(shellWidget);
}

void UIshell::virtpal_refreshCB(WText_context*, int reason, Widget shell) {
  if (UIisBeingDestroyed(shell) || !XtIsRealized(shell)) return;
  if (reason == 0) XUnmapWindow(XtDisplay(shell), XtWindow(shell));
  if (reason == 1) XMapWindow(XtDisplay(shell), XtWindow(shell));
}

// ---- Update ------------------------------------------------------------------------------------

void UIshell::updateObject(int seq) {
  if (UIisBeingDestroyed(mainWindow)) return;
  int show = 0;
  bool showBar = readInt(objId, "showStatusBar", &show) && show;
  if (showBar && newer(objId, "statusString", seq)) {
    showStatusText();
    return;
  }
  if (newer(objId, "showStatusBar", seq)) {
    Dimension mainHeight = 0, labelHeight = 0;
    Widget bar = nullptr;
    XtVaGetValues(mainWindow, XmNheight, &mainHeight, XmNmenuBar, &bar, nullptr);
    int workHeight = mainHeight - (bar ? MENU_HEIGHT : 0);
    if (showBar) {
      XtManageChild(statusLabel);
      showStatusText();
      XtVaGetValues(statusLabel, XmNheight, &labelHeight, nullptr);
      workHeight -= labelHeight;
    } else {
      XtUnmanageChild(statusLabel);
    }
    workHeight = std::max(workHeight, 1);
    XtVaSetValues(workArea, XmNheight, workHeight, nullptr);
    setClientHeight(objId, workHeight);
  }
  setCoreResources(seq);
  if (!alive(this)) return;
  int width = 0, height = 0;
  Widget mw = UIfindNearestMainWindowAncestor(workArea);
  if (!sub(objId, "width") || !sub(objId, "height")) return;
  if (newer(objId, "width", seq) && readInt(objId, "width", &width) && width >= 1 && mw) {
    XtVaSetValues(mw, XmNwidth, width, nullptr);
    setClientWidth(objId, width - calculateClientDecorationWidth(mw));
  }
  if (newer(objId, "height", seq) && readInt(objId, "height", &height) && height >= 1 && mw) {
    XtVaSetValues(mw, XmNheight, height, nullptr);
    setClientHeight(objId, height - calculateClientDecorationHeight(mw));
  }
  if (!offsetsKnown) detectMWMPositionIsFrame(mainWindow);
  int dx = positionIsFrame ? 0 : xOffset, dy = positionIsFrame ? 0 : yOffset;
  int x = 0, y = 0;
  if (poppedUp && newer(objId, "x", seq) && readInt(objId, "x", &x) && x + dx != 0)
    XtVaSetValues(shellWidget, XmNx, static_cast<Position>(x + dx), nullptr);
  if (poppedUp && newer(objId, "y", seq) && readInt(objId, "y", &y) && y + dy != 0)
    XtVaSetValues(shellWidget, XmNy, static_cast<Position>(y + dy), nullptr);
  UIwindow::updateObject(seq);
}

// ---- Rebuild and destruction
// ---------------------------------------------------------------------

void UIshell::rebuildObject(Widget) {
  Widget oldShell = shellWidget;
  std::vector<Widget> children = childrenOf(workArea);
  Widget oldMain = mainWindow;
  if (oldMain) XtVaSetValues(oldMain, XmNuserData, nullptr, nullptr);
  poppedUp = false;
  if (!instanceObject()) return;
  UIshellRealizeCB(UIshellRealizeCBId, objId, 0);
  for (Widget child : children) {
    if (child == workArea || UIisBeingDestroyed(child)) continue;
    if (XmIsDialogShell(child)) {
      for (Widget inner : childrenOf(child)) {
        if (UIwindow* b = UIwidgetToClass(inner)) {
          b->rebuildObject(child);
          break;
        }
      }
      continue;
    }
    UIwindow* binding = UIwidgetToClass(child);
    // A child of the shell's own type is a window of its own, not a part of the work area.
    if (binding && typeid(*binding) != typeid(*this)) SetParent(child, workArea);
  }
  if (!UIisBeingDestroyed(oldShell)) XtDestroyWidget(oldShell);
}

void UIshell::destroyObject() {
  if (destroying) return;
  destroying = true;
  OMflush_notifies_mask(OMnull_obj, objId, 9, 0);
  Widget shell = shellWidget;
  if (!UIisBeingDestroyed(mainWindow)) {
    Atom deleteWindow = XInternAtom(XtDisplay(shell), "WM_DELETE_WINDOW", False);
    XmRemoveWMProtocolCallback(shell, deleteWindow, closeCB, this);
    if (auto* wt = static_cast<WText_context*>(displayContext.getWtDpyContext())) {
      WTdelete_ext_context_callback(wt, 0, virtpal_refreshCB, shell);
      WTdelete_ext_context_callback(wt, 1, virtpal_refreshCB, shell);
    }
    if (menuUpdatePending) EVdel_select(7, 0, UIshellMenuCB, nullptr, this, 0);
    Widget bar = nullptr;
    XtVaGetValues(mainWindow, XmNmenuBar, &bar, nullptr);
    if (bar) {
      if (UIdestroyMenuBar)
        UIdestroyMenuBar(bar);
      else
        XtDestroyWidget(bar);
    }
    for (Widget child : childrenOf(workArea)) {
      UIwindow* binding = UIwidgetToClass(child);
      if (binding && binding->OK()) {
        binding->destroyObject();
        continue;
      }
      if (XtIsShell(child)) {
        std::string mwName = std::string(XtName(child)) + "MW";
        Widget inner = XtNameToWidget(child, mwName.c_str());
        if (UIwindow* b = UIwidgetToClass(inner)) b->destroyObject();
      }
    }
  }
  if (!UIisBeingDestroyed(shell)) XtUnrealizeWidget(shell);
  UIwindow::destroyObject();  // deletes this
  if (!UIisBeingDestroyed(shell)) XtDestroyWidget(shell);
}

// ---- The window manager's frame
// ---------------------------------------------------------------------

int UIshell::findWMType(Widget w) {
  if (UIisBeingDestroyed(w)) return 0;
  Display* dpy = XtDisplay(w);
  Window root = RootWindowOfScreen(XtScreen(w));
  if (rootHasProperty(dpy, root, "_SUN_WM_PROTOCOLS", XA_ATOM)) return 3;
  if (rootHasProperty(dpy, root, "_SGI_TELL_WM", XA_STRING)) return 2;
  if (rootHasProperty(dpy, root, "_MOTIF_WM_INFO", atomIfExists(dpy, "_MOTIF_WM_INFO"))) return 1;
  return 0;
}

bool UIshell::measureFrame(Widget top, bool sunFromRoot, UIwmFrame* out) {
  if (UIisBeingDestroyed(top) || !out) return false;
  if (placementDetectionOff()) {
    *out = UIwmFrame();
    return true;
  }
  out->wmKind = findWMType(top);
  out->positionIsFrame = out->wmKind == 1 || out->wmKind == 3;
  if (out->wmKind == 0) {
    out->xOffset = out->yOffset = 0;
    return true;
  }
  Position x = 0, y = 0;
  XtVaGetValues(top, XmNx, &x, XmNy, &y, nullptr);
  if (!XtWindow(top)) return false;
  Display* dpy = XtDisplay(top);
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(dpy, XtWindow(top), &root, &parent, &children, &count)) return false;
  if (children) XFree(children);
  Window geomRoot;
  int gx = 0, gy = 0;
  unsigned gw, gh, border, depth;
  if (!XGetGeometry(dpy, parent, &geomRoot, &gx, &gy, &gw, &gh, &border, &depth)) return false;
  int rx = 0, ry = 0;
  Window child;
  if (!XTranslateCoordinates(dpy, parent, root, gx, gy, &rx, &ry, &child)) return false;
  bool local = out->wmKind == 3 && !sunFromRoot;
  int px = local ? gx : rx, py = local ? gy : ry;
  out->xOffset = static_cast<unsigned short>(std::abs(x - px));
  out->yOffset = static_cast<unsigned short>(std::abs(y - py));
  return true;
}

void UIshell::detectMWMPositionIsFrame(Widget w) {
  if (UIisBeingDestroyed(w) || !XmIsManager(w)) return;
  Widget top = w;
  while (top && !XtIsTopLevelShell(top)) top = XtParent(top);
  UIshell* shell = shellOf(w);
  if (!top || !shell) return;
  if (!placementDetectionOff() && !shell->poppedUp) return;
  UIwmFrame frame;
  if (!measureFrame(top, false, &frame)) return;
  shell->wmKind = frame.wmKind;
  shell->positionIsFrame = frame.positionIsFrame;
  shell->xOffset = frame.xOffset;
  shell->yOffset = frame.yOffset;
  shell->offsetsKnown = 1;
}

void UIshellClientMessage(Widget w, UIshell* shell, XClientMessageEvent* event) {
  if (!shell || !event || !event->send_event || UIisBeingDestroyed(w)) return;
  if (UIshell::findWMType(w) != 1) return;
  Atom offset = atomIfExists(XtDisplay(w), "_MOTIF_WM_OFFSET");
  if (offset == None || static_cast<Atom>(event->data.l[0]) != offset) return;
  shell->wmKind = 1;
  shell->positionIsFrame = 1;
  shell->offsetsKnown = 1;
  shell->xOffset = static_cast<unsigned short>(event->data.l[1]);
  shell->yOffset = static_cast<unsigned short>(event->data.l[2]);
}

void UIconfigureEventDebug(const char* where, XConfigureEvent* e) {
  if (!e) return;
  std::printf("%s: configure window %lu x %d y %d width %d height %d border %d send %d\n",
              where ? where : "", e->window, e->x, e->y, e->width, e->height, e->border_width,
              e->send_event);
}

// ---- Entry points
// ---------------------------------------------------------------------------------

void UIshellInit() {
  if (!!UIshell::UIshellRealizeCBId) return;
  OMobj_id cb =
      OMcreate_obj(OMstr_to_name("<UIshellRealizeCB>"), OM_KIND_FUNC, OMroot_obj, OMnull_obj, 0);
  OMpfi fn = nullptr;
  int (*realize)(OMobj_id, OMobj_id, unsigned int) = UIshellRealizeCB;
  std::memcpy(&fn, &realize, sizeof fn);
  OMset_func_val(cb, fn);
  UIshell::UIshellRealizeCBId = cb;
}

int UIshellInstance(OMobj_id id) {
  return UIinstanceEntry<UIshell>(id);
}
int UIshellUpdate(OMobj_id id, unsigned int mask, int seq) {
  return UIupdateEntry<UIshell>(id, mask, seq);
}
int UIappInstance(OMobj_id id) {
  return UIinstanceEntry<UIapp>(id);
}
int UIappUpdate(OMobj_id id, unsigned int mask, int seq) {
  return UIupdateEntry<UIapp>(id, mask, seq);
}
