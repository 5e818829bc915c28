// Top-level windows and the application window, with the window manager's frame offsets.
#include "ui/shell.h"

#include <X11/IntrinsicP.h>
#include <X11/Shell.h>
#include <X11/ShellP.h>
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
#include "ui/layout.h"
#include "ui/menus.h"
#include "ui/misc.h"
#include "ui/xmstring.h"

#include "props.h"

unsigned short UIshell::MENU_HEIGHT = 30;
int UIshell::lastSeqNum = -2;
OMobj_id UIshell::UIshellRealizeCBId = {0, 0};

Widget (*UIbuildMenuBar)(const OMobj_id& menu, Widget mainWindow) = nullptr;
void (*UIdestroyMenuBar)(Widget menuBar) = nullptr;
bool (*UImenuBarChanged)(const OMobj_id& menuProp, int seq) = nullptr;

namespace {

using uiprops::childrenOf;
using uiprops::nameOf;
using uiprops::newer;
using uiprops::popupsOf;
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

// The binding of a child window: that of the first child of the shell that has one.
UIwindow* bindingInShell(Widget shell) {
  for (Widget inner : childrenOf(shell))
    if (UIwindow* b = UIwidgetToClass(inner)) return b;
  return nullptr;
}

// Unregisters a shell's palette callbacks from the window tools' context of its display.
void removePaletteCallbacks(Widget shell, WText_context* wt) {
  if (!wt || !shell) return;
  WTdelete_ext_context_callback(wt, 0, UIshell::virtpal_refreshCB, shell);
  WTdelete_ext_context_callback(wt, 1, UIshell::virtpal_refreshCB, shell);
}

bool placementDetectionOff() {
  const char* v = std::getenv("CQ_WIN_PLACEMENT");
  return v && *v && std::strcmp(v, "Auto") != 0;
}

Atom atomIfExists(Display* dpy, const char* name) {
  return XInternAtom(dpy, name, True);
}

bool rootHasProperty(Display* dpy, Window root, Atom property, Atom type) {
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

// Runs a few requests on a window that may be gone, without their protocol errors reaching
// the process's error handler: failed() says whether one of them failed. Errors of requests
// made before the trap still go to that handler. The server is asked to catch up (a round
// trip) only when a request made under the trap may still be unanswered: after one with a
// reply, every error of the requests before it has arrived. One trap at a time (the handler
// and what it passes on are the process's).
class XErrorTrap {
 public:
  explicit XErrorTrap(Display* dpy) : dpy_(dpy) {
    failed_ = false;
    first_ = NextRequest(dpy_);
    previous_ = XSetErrorHandler(record);
  }
  ~XErrorTrap() {
    settle();
    XSetErrorHandler(previous_);
  }
  bool failed() {
    settle();
    return failed_;
  }

 private:
  void settle() {
    if (LastKnownRequestProcessed(dpy_) + 1 != NextRequest(dpy_)) XSync(dpy_, False);
  }
  static int record(Display* dpy, XErrorEvent* event) {
    if (event->serial >= first_) {
      failed_ = true;
      return 0;
    }
    return previous_ ? previous_(dpy, event) : 0;
  }
  Display* dpy_;
  static unsigned long first_;
  static int (*previous_)(Display*, XErrorEvent*);
  static bool failed_;
};
bool XErrorTrap::failed_ = false;
unsigned long XErrorTrap::first_ = 0;
int (*XErrorTrap::previous_)(Display*, XErrorEvent*) = nullptr;

// True when the window exists on the server now.
bool windowExists(Display* dpy, Window window) {
  if (window == None) return false;
  XErrorTrap trap(dpy);
  XWindowAttributes attrs;
  Status ok = XGetWindowAttributes(dpy, window, &attrs);
  return ok && !trap.failed();
}

// The Motif window manager announces itself with _MOTIF_WM_INFO on the root, naming its own
// window; a manager that has exited leaves the property behind, so the window it names must
// still exist.
bool motifManagerRunning(Display* dpy, Window root, Atom info) {
  if (info == None) return false;
  Atom actual = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  int status = XGetWindowProperty(dpy, root, info, 0, 2, False, info, &actual, &format, &count,
                                  &after, &data);
  Window named = None;
  if (status == Success && actual == info && format == 32 && count >= 2 && data)
    named = static_cast<Window>(reinterpret_cast<unsigned long*>(data)[1]);
  if (data) XFree(data);
  return windowExists(dpy, named);
}

// The frame a window manager put around window, measured from the server: the
// _NET_FRAME_EXTENTS the manager publishes, else the geometry of the window's ancestor just
// below the root. False while the window has not been reparented (nothing to measure yet).
bool measureFrameExtents(Display* dpy, Window window, int* left, int* top, bool* atRoot) {
  // Another client may destroy the window, or the manager its frame, at any moment.
  XErrorTrap trap(dpy);
  // A manager builds the frame around a window before it maps it: measured earlier, the frame
  // may still be at the corner of the screen without its decorations.
  XWindowAttributes attrs;
  if (!XGetWindowAttributes(dpy, window, &attrs) || attrs.map_state != IsViewable) return false;
  Window root = None, parent = None, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(dpy, window, &root, &parent, &children, &count)) return false;
  if (children) XFree(children);
  if (parent == root || parent == None) {
    *atRoot = parent == root && !trap.failed();
    return false;
  }
  Atom extents = atomIfExists(dpy, "_NET_FRAME_EXTENTS");
  if (extents != None) {
    Atom actual = None;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    int status = XGetWindowProperty(dpy, window, extents, 0, 4, False, XA_CARDINAL, &actual,
                                    &format, &n, &after, &data);
    bool found = status == Success && actual == XA_CARDINAL && format == 32 && n == 4 && data;
    if (found) {
      auto* values = reinterpret_cast<unsigned long*>(data);
      *left = static_cast<int>(values[0]);
      *top = static_cast<int>(values[2]);
      // All zero is also what a manager writes before it has decorated the window: the
      // frame's geometry tells.
      found = values[0] || values[1] || values[2] || values[3];
    }
    if (data) XFree(data);
    if (found) return !trap.failed();
  }
  // The ancestor just below the root is the frame: the offsets are where the window sits in it.
  Window frame = window;
  for (int depth = 0; depth < 16; ++depth) {
    Window up = None;
    children = nullptr;
    if (!XQueryTree(dpy, frame, &root, &up, &children, &count)) return false;
    if (children) XFree(children);
    if (up == root || up == None) break;
    frame = up;
  }
  // The frame's own position (a child of the root) is the outer corner of its border.
  Window geometryRoot = None, child = None;
  int fx = 0, fy = 0, wx = 0, wy = 0;
  unsigned fw = 0, fh = 0, border = 0, depth = 0;
  if (!XGetGeometry(dpy, frame, &geometryRoot, &fx, &fy, &fw, &fh, &border, &depth)) return false;
  if (!XTranslateCoordinates(dpy, window, root, 0, 0, &wx, &wy, &child)) return false;
  *left = std::max(wx - fx, 0);
  *top = std::max(wy - fy, 0);
  return !trap.failed();
}

// A client width or height: what is left of the window once the decorations are taken off,
// never below 0.
int clientSize(int size, int decorations) {
  return std::max(size - decorations, 0);
}

// The window's title and icon name also go to the properties that window managers read as
// UTF-8 (many read only those).
void writeWindowNames(Widget shell) {
  if (UIisBeingDestroyed(shell) || !XtWindow(shell)) return;
  Display* dpy = XtDisplay(shell);
  // A top-level window is the application's: its WM_CLASS is the application's name ("-name",
  // else $CQ_XAPPNAME, else the program's) and class, as an Xt program's main window has.
  if (XtIsTopLevelShell(shell) && !XtIsTransientShell(shell)) {
    XClassHint hint;
    hint.res_name = UIappName ? UIappName : const_cast<char*>("ui");
    hint.res_class = UIappClass ? UIappClass : const_cast<char*>("Corvane");
    XSetClassHint(dpy, XtWindow(shell), &hint);
  }
  Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
  String title = nullptr, iconName = nullptr;
  XtVaGetValues(shell, XmNtitle, &title, XmNiconName, &iconName, nullptr);
  struct {
    const char* property;
    const char* text;
  } const names[] = {{"_NET_WM_NAME", title}, {"_NET_WM_ICON_NAME", iconName ? iconName : title}};
  for (const auto& n : names) {
    if (!n.text) continue;
    XChangeProperty(dpy, XtWindow(shell), XInternAtom(dpy, n.property, False), utf8, 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(n.text),
                    static_cast<int>(std::strlen(n.text)));
  }
}

// The standard options -geometry, -title and -iconic are for the first top-level window the
// program makes, as in any X toolkit program. They win over the object's values and are
// written into it, so that the object says what the window is.
void applyCommandLineToFirstWindow(const OMobj_id& obj, const UIdpyContext& ctx) {
  static bool used = false;
  if (used) return;
  used = true;
  std::string geometry = UIcommandLineOption("geometry");
  if (!geometry.empty()) {
    int x = 0, y = 0;
    unsigned width = 0, height = 0;
    int flags = XParseGeometry(geometry.c_str(), &x, &y, &width, &height);
    int w = 0, h = 0;
    if (flags & WidthValue) UIsetOMWindowWidth(obj, static_cast<int>(width));
    if (flags & HeightValue) UIsetOMWindowHeight(obj, static_cast<int>(height));
    readInt(obj, "width", &w);
    readInt(obj, "height", &h);
    // A negative position counts from the right or bottom edge of the screen.
    if (flags & XValue) UIsetOMWindowX(obj, (flags & XNegative) ? ctx._width + x - w : x);
    if (flags & YValue) UIsetOMWindowY(obj, (flags & YNegative) ? ctx._height + y - h : y);
  }
  std::string title = UIcommandLineOption("title");
  if (!title.empty()) OMset_str_val(sub(obj, "title"), title.c_str());
  std::string iconic = UIcommandLineOption("iconic");
  if (!iconic.empty()) OMset_int_val(sub(obj, "iconic"), 1);
}

// The shell's and its descendants' windows were destroyed by another client: Xt is told to
// forget them, so nothing is drawn or asked of windows that are gone and the shell can be
// realized again.
void forgetWindows(Widget w, unsigned long goneAfter) {
  if (!w) return;
  for (Widget child : childrenOf(w))
    if (XtIsWidget(child)) forgetWindows(child, goneAfter);
  if (XtWindow(w)) {
    UIwindowLost(XtDisplay(w), XtWindow(w), goneAfter);
    XtUnregisterDrawable(XtDisplay(w), XtWindow(w));
    w->core.window = None;
  }
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
  // The object's own display wins; else the default one ("-display", else $DISPLAY).
  OMtext name = OMget_text(sub(objId, "display"));
  displayContext = *UIgetDisplayContext(name ? name.get() : "");
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
  Widget parent = UIwindow::getParentWidget();
  if (!parent) setDisplayContext();
  if (!parent && displayContext._appShell) {
    applyCommandLineToFirstWindow(objId, displayContext);
    xSet = UIgetOMWindowX(objId, &x);
    ySet = UIgetOMWindowY(objId, &y);
    readInt(objId, "width", &width);
    readInt(objId, "height", &height);
  }
  // Beyond 16 bits a value would wrap: reported, not applied, and the object keeps it.
  const char* who = "UIshell::instanceObject";
  if (!UIdimensionInRange(who, "width", width)) width = 200;
  if (!UIdimensionInRange(who, "height", height)) height = 60;
  if (xSet && !UIpositionInRange(who, "x", x)) x = 0, xSet = false;
  if (ySet && !UIpositionInRange(who, "y", y)) y = 0, ySet = false;
  width = std::max(width, 1);
  height = std::max(height, 1);
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
  XtAddEventHandler(shellWidget, StructureNotifyMask, False, onWindowDestroyed, this);
  XtAddEventHandler(shellWidget, StructureNotifyMask, False, onReparented, this);
  XtAddEventHandler(shellWidget, PropertyChangeMask, False, onWindowState, this);
  XtAddCallback(shellWidget, XmNpopupCallback, UIshellPopupCB, this);
  XtAddCallback(shellWidget, XmNpopdownCallback, UIshellPopdownCB, this);
  parentWidget_ = getParentWidget();
  setClientWidth(objId, clientSize(width, calculateClientDecorationWidth(mainWindow)));
  setClientHeight(objId, clientSize(height, calculateClientDecorationHeight(mainWindow)));
  onObjectCreate(mainWindow);
  setCoreResources(-1);
  if (!alive(this)) return true;
  showStatusText();
  addPointerHandlers(workArea);
  // The work area passes the editor's button events to the main window, and takes drops.
  UIlayout::addIndirectEventHandlers(workArea, mainWindow);
  UIlayout::addDropTarget(workArea);
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
  writeWindowNames(XtParent(mainWindow));
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
    writeWindowNames(shell);
    return;
  }
  String title = nullptr;
  XtVaGetValues(shell, XmNtitle, &title, nullptr);
  if (title) XtVaSetValues(shell, XmNiconName, title, nullptr);
  writeWindowNames(shell);
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
  // setClientHeight ran the dataflow, which may have deleted the binding.
  if (bar && UIwindow::alive(shell) && shell->coloursNewMenuBar())
    UIshellSetMenuResources(shell, bar, -1);
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
  // A bar's own build writes into the commands it shows: only what the bar shows counts.
  bool menuChanged =
      UImenuBarChanged ? UImenuBarChanged(sub(objId, "menu"), seq) : newer(objId, "menu", seq);
  if (menuChanged) {
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
  if (windowLost) {
    // Another client destroyed the window: the same widgets get new windows.
    windowLost = false;
    offsetsKnown = 0;
    unframed = true;
    XtRealizeWidget(shellWidget);
    writeWindowNames(shellWidget);
    XtAddEventHandler(shellWidget, StructureNotifyMask, False, UIshellOnMap, this);
    XtRemoveEventHandler(shellWidget, StructureNotifyMask, False, UIshell::onSize, this);
    OMcontext ctx(handle.obj_id(), OM_CTX_QUIET, OM_CTX_PLAIN);
    handle.window(XtWindow(workArea));
  }
  if (!poppedUp && XtIsRealized(mainWindow)) {
    XtPopup(shellWidget, XtGrabNone);
    std::vector<Widget> children = childrenOf(workArea);
    for (Widget popup : popupsOf(workArea)) children.push_back(popup);
    for (auto it = children.rbegin(); it != children.rend(); ++it)
      if (XmIsDialogShell(*it)) queueRealize(objId);
  } else {
    queueRealize(objId);
  }
}

// ---- Realize, popup, map, size, close -----------------------------------------------------------

namespace {

// Realizing a shell makes the windows of every widget inside it at once: each binding whose
// top widget is in that tree publishes its window. The widget tree is walked, not the objects
// (every object and property of every application, once per window published, with each
// sub-object reached by position from the start: a window of 200 controls took seconds).
// The windows are written inside one context on `owner`: no dataflow runs until the walk is
// over (a write may run dataflow that destroys widgets), so every widget and binding the walk
// reaches is still there when it is written, and the notifications run in the order written.
void updateChildWindows(Widget root, const OMobj_id& owner) {
  OMcontext writing(owner, OM_CTX_QUIET, OM_CTX_PLAIN);
  std::vector<Widget> stack{root};
  while (!stack.empty()) {
    Widget w = stack.back();
    stack.pop_back();
    if (UIisBeingDestroyed(w) || !XtIsWidget(w) || !XtWindow(w)) continue;
    if (XtIsComposite(w)) {  // its children, in order (read from the record: nothing runs here)
      auto* composite = reinterpret_cast<CompositeWidget>(w);
      for (Cardinal i = composite->composite.num_children; i-- > 0;)
        stack.push_back(composite->composite.children[i]);
    }
    UIwindow* binding = UIwidgetToClass(w);
    if (!binding || binding->handle.widget() != w || binding->handle.window() == XtWindow(w))
      continue;
    binding->handle.window(XtWindow(w));
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
    // Realized first, so that the names are on the window before a manager reads them.
    XtRealizeWidget(shell);
    writeWindowNames(shell);
    if (readInt(obj, "visible", &visible) && visible) XtPopup(shell, XtGrabNone);
    UIdpyContext ctx = *UIgetDisplayContext(XtDisplay(shell));
    if (auto* wt = static_cast<WText_context*>(ctx.getWtDpyContext()))
      WTinstall_virtpal_cmap(wt, shell);
    if (UIwindow* binding = UIwidgetToClass(w)) {
      OMcontext ctx(binding->handle.obj_id(), OM_CTX_QUIET, OM_CTX_PLAIN);
      binding->handle.window(XtWindow(w));
    }
    updateChildWindows(shell, obj);
  }
  OMsend_event(obj, 1);
  return 1;
}

void UIshellPopupCB(Widget w, XtPointer data, XtPointer) {
  auto* shell = static_cast<UIshell*>(data);
  if (!UIwindow::alive(shell)) return;
  int x = 0, y = 0;
  if (UIgetOMWindowX(shell->objId, &x) && UIgetOMWindowY(shell->objId, &y) && XtWindow(w)) {
    // The position joins the hints the toolkit wrote (sizes, increments, gravity).
    XSizeHints hints{};
    long supplied = 0;
    if (!XGetWMNormalHints(XtDisplay(w), XtWindow(w), &hints, &supplied)) hints = XSizeHints{};
    hints.flags |= USPosition;
    hints.x = x;
    hints.y = y;
    XSetWMNormalHints(XtDisplay(w), XtWindow(w), &hints);
  }
  writeWindowNames(w);
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
  shell->knownX = shell->knownY = -32768;  // shown again, it may be placed anew
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
  // Top-level and transient shells alike: both hand their structure events to the size
  // handler, which writes the user's and the window manager's moves and resizes back.
  Widget mainWindow = XtIsShell(w) ? UIshellGetMainWindowChild(w) : w;
  if (!mainWindow || !XtIsManaged(mainWindow)) return;
  UIshell* shell = shellOf(mainWindow);
  if (!shell) return;
  if (!shell->offsetsKnown) UIshell::detectMWMPositionIsFrame(mainWindow);
  Dimension width = 0, height = 0;
  XtVaGetValues(mainWindow, XmNwidth, &width, XmNheight, &height, nullptr);
  // Each write runs the dataflow, which may delete the binding.
  shell->setClientWidth(shell->objId,
                        clientSize(width, shell->calculateClientDecorationWidth(mainWindow)));
  if (!UIwindow::alive(shell)) return;
  shell->setClientHeight(shell->objId,
                         clientSize(height, shell->calculateClientDecorationHeight(mainWindow)));
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
  // Each write below runs the dataflow, which may delete the binding.
  if (width != objWidth || height != objHeight) {
    {
      OMcontext ctx(shell->handle.obj_id(), OM_CTX_QUIET, OM_CTX_EVENT);
      shell->handle.event(2);
    }
    if (!alive(shell)) return;
  }
  int ox = x - shell->xOffset, oy = y - shell->yOffset;
  shell->knownX = ox;
  shell->knownY = oy;
  shell->geometry(ox, oy, width, height);
  UIupdateOMRequestedWindowPosSize(mainWindow, ox, oy, width, height, 0);
  if (!alive(shell)) return;
  shell->setClientWidth(shell->objId,
                        clientSize(width, shell->calculateClientDecorationWidth(mainWindow)));
  if (!alive(shell)) return;
  shell->setClientHeight(shell->objId,
                         clientSize(height, shell->calculateClientDecorationHeight(mainWindow)));
}

void UIshell::onWindowDestroyed(Widget w, XtPointer data, XEvent* event, Boolean*) {
  if (!event || event->type != DestroyNotify || UIisBeingDestroyed(w) || !XtWindow(w) ||
      event->xdestroywindow.window != XtWindow(w))
    return;
  auto* shell = static_cast<UIshell*>(data);
  if (!alive(shell)) return;
  // Another client destroyed the window (the library's own destruction unregisters the window
  // first, so its notice never comes here). The widgets stay; their windows are forgotten and
  // the shell counts as closed until "visible" is set again.
  forgetWindows(w, event->xany.serial);
  reinterpret_cast<ShellWidget>(w)->shell.popped_up = False;
  shell->poppedUp = false;
  shell->windowLost = true;
  shell->knownX = shell->knownY = -32768;
  OMcontext ctx(shell->objId, OM_CTX_WIDGET, OM_CTX_PLAIN);
  OMset_int_val(sub(shell->objId, "visible", 0), 0);
}

bool UIshell::readReparent(Widget top, const XEvent* event, bool* unframed) {
  if (!event || event->type != ReparentNotify || UIisBeingDestroyed(top) ||
      event->xreparent.window != XtWindow(top))
    return false;
  *unframed = event->xreparent.parent == RootWindowOfScreen(XtScreen(top));
  return true;
}

void UIshell::onReparented(Widget w, XtPointer data, XEvent* event, Boolean*) {
  auto* shell = static_cast<UIshell*>(data);
  bool unframed = false;
  if (readReparent(w, event, &unframed) && alive(shell)) shell->unframed = unframed;
}

void UIshell::onWindowState(Widget w, XtPointer data, XEvent* event, Boolean*) {
  if (!event || event->type != PropertyNotify || UIisBeingDestroyed(w) ||
      event->xproperty.window != XtWindow(w))
    return;
  Display* dpy = XtDisplay(w);
  Atom wmState = XInternAtom(dpy, "WM_STATE", False);
  if (event->xproperty.atom != wmState) return;
  auto* shell = static_cast<UIshell*>(data);
  if (!alive(shell)) return;
  Atom actual = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* value = nullptr;
  long state = WithdrawnState;
  if (XGetWindowProperty(dpy, XtWindow(w), wmState, 0, 2, False, wmState, &actual, &format, &count,
                         &after, &value) == Success &&
      actual == wmState && format == 32 && count >= 1 && value)
    state = reinterpret_cast<long*>(value)[0];
  if (value) XFree(value);
  // Iconified or restored by the window manager: the object follows, as it does for moves.
  // A withdrawn window (popped down) says nothing about "iconic".
  if (state != IconicState && state != NormalState) return;
  int iconic = state == IconicState ? 1 : 0, now = -1;
  readInt(shell->objId, "iconic", &now);
  if (now == iconic) return;
  OMcontext ctx(shell->objId, OM_CTX_WIDGET, OM_CTX_PLAIN);
  OMset_int_val(sub(shell->objId, "iconic", 0), iconic);
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
  if (UIisBeingDestroyed(mainWindow) || onlyItsSurroundingsChanged()) return;
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
  const char* who = "UIshell::updateObject";
  if (newer(objId, "width", seq) && readInt(objId, "width", &width) && width >= 1 && mw &&
      UIdimensionInRange(who, "width", width)) {
    XtVaSetValues(mw, XmNwidth, width, nullptr);
    setClientWidth(objId, clientSize(width, calculateClientDecorationWidth(mw)));
  }
  if (newer(objId, "height", seq) && readInt(objId, "height", &height) && height >= 1 && mw &&
      UIdimensionInRange(who, "height", height)) {
    XtVaSetValues(mw, XmNheight, height, nullptr);
    setClientHeight(objId, clientSize(height, calculateClientDecorationHeight(mw)));
  }
  if (!offsetsKnown) detectMWMPositionIsFrame(mainWindow);
  int dx = positionIsFrame ? 0 : xOffset, dy = positionIsFrame ? 0 : yOffset;
  // A position that is where the window is (as last written back) or is going (as last asked)
  // asks for no move: a manager that does not put a frame exactly where asked would otherwise
  // be asked again for every position written back, and the window would creep.
  int x = 0, y = 0;
  bool moveX = poppedUp && newer(objId, "x", seq) && readInt(objId, "x", &x) &&
               UIpositionInRange(who, "x", x) && x + dx != 0 && x != knownX;
  bool moveY = poppedUp && newer(objId, "y", seq) && readInt(objId, "y", &y) &&
               UIpositionInRange(who, "y", y) && y + dy != 0 && y != knownY;
  // Asked of the window manager directly: the shell's x and y are the client window's, and a
  // frame position that happens to equal them would be no change to the toolkit, so no
  // request at all. The manager's notice of the move updates the shell.
  if ((moveX || moveY) && XtWindow(shellWidget)) {
    XWindowChanges changes{};
    unsigned mask = 0;
    if (moveX) {
      changes.x = x + dx;
      mask |= CWX;
      knownX = x;
    }
    if (moveY) {
      changes.y = y + dy;
      mask |= CWY;
      knownY = y;
    }
    XConfigureWindow(XtDisplay(shellWidget), XtWindow(shellWidget), mask, &changes);
  }
  UIwindow::updateObject(seq);
}

// ---- Rebuild and destruction --------------------------------------------------------------------

void UIshell::rebuildObject(Widget) {
  Widget oldShell = shellWidget;
  std::vector<Widget> children = childrenOf(workArea);
  std::vector<Widget> childShells = popupsOf(workArea);
  Widget oldMain = mainWindow;
  // The palette callbacks were registered with the context of the old shell's display (a
  // display change has replaced the binding's context already).
  WText_context* oldWt = nullptr;
  if (!UIisBeingDestroyed(oldShell)) {
    UIdpyContext old = *UIgetDisplayContext(XtDisplay(oldShell));
    oldWt = static_cast<WText_context*>(old.getWtDpyContext());
  }
  if (oldMain) XtVaSetValues(oldMain, XmNuserData, nullptr, nullptr);
  bool wasPoppedUp = poppedUp, wasUnframed = unframed;
  poppedUp = false;
  unframed = true;  // a new window: no manager has framed it yet
  if (!instanceObject()) {
    if (!UIisBeingDestroyed(oldMain)) XtVaSetValues(oldMain, XmNuserData, this, nullptr);
    poppedUp = wasPoppedUp;
    unframed = wasUnframed;  // the old window stays
    return;
  }
  removePaletteCallbacks(oldShell, oldWt);
  UIshellRealizeCB(UIshellRealizeCBId, objId, 0);
  // Child windows follow the shell: each makes its shell again under the new work area.
  for (Widget popup : childShells) {
    if (UIisBeingDestroyed(popup)) continue;
    if (UIwindow* b = bindingInShell(popup)) b->rebuildObject(popup);
  }
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
  // What the children's destruction writes reaches the dataflow once the shell has gone too.
  OMcontext whileDestroying(objId, OM_CTX_QUIET, OM_CTX_EVENT);  // holds its own copy of the id
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
    // Child windows go with the shell (their shells are popup children of the work area).
    for (Widget popup : popupsOf(workArea))
      if (UIwindow* b = bindingInShell(popup)) b->destroyObject();
  }
  if (!UIisBeingDestroyed(shell)) {
    UIreleaseTextDrawing(shell);  // while its windows exist
    XtUnrealizeWidget(shell);
  }
  UIwindow::destroyObject();  // deletes this
  if (!UIisBeingDestroyed(shell)) XtDestroyWidget(shell);
}

// ---- The window manager's frame -----------------------------------------------------------------

int UIshell::findWMType(Widget w) {
  if (UIisBeingDestroyed(w)) return 0;
  Display* dpy = XtDisplay(w);
  Window root = RootWindowOfScreen(XtScreen(w));
  // The names are looked up in one round trip (each alone is one whenever the name is not
  // known to the server, as on a display without these managers).
  char* names[] = {const_cast<char*>("_SUN_WM_PROTOCOLS"), const_cast<char*>("_SGI_TELL_WM"),
                   const_cast<char*>("_MOTIF_WM_INFO")};
  Atom atoms[3] = {None, None, None};
  XInternAtoms(dpy, names, 3, True, atoms);
  if (rootHasProperty(dpy, root, atoms[0], XA_ATOM)) return 3;
  if (rootHasProperty(dpy, root, atoms[1], XA_STRING)) return 2;
  if (motifManagerRunning(dpy, root, atoms[2])) return 1;
  return 0;
}

bool UIshell::measureFrame(Widget top, bool sunFromRoot, UIwmFrame* out) {
  if (UIisBeingDestroyed(top) || !out) return false;
  if (placementDetectionOff()) {
    *out = UIwmFrame();
    return true;
  }
  out->wmKind = findWMType(top);
  out->positionIsFrame = out->wmKind != 2;
  if (out->wmKind == 0) {
    // A manager that does not announce itself (or none): an ICCCM manager places the frame at
    // the position asked for, so the offsets are measured and the position is the frame's.
    // Until the window has been reparented there is nothing to measure and the record stays
    // unsettled (without a manager it is never reparented and the offsets stay 0).
    out->xOffset = out->yOffset = 0;
    int left = 0, topEdge = 0;
    if (!XtWindow(top) ||
        !measureFrameExtents(XtDisplay(top), XtWindow(top), &left, &topEdge, &out->unframed))
      return false;
    out->xOffset = static_cast<unsigned short>(left);
    out->yOffset = static_cast<unsigned short>(topEdge);
    return true;
  }
  Position x = 0, y = 0;
  XtVaGetValues(top, XmNx, &x, XmNy, &y, nullptr);
  if (!XtWindow(top)) return false;
  Display* dpy = XtDisplay(top);
  // The parent is the manager's frame, which the manager may take away at any moment.
  XErrorTrap trap(dpy);
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
  if (!XTranslateCoordinates(dpy, parent, root, gx, gy, &rx, &ry, &child) || trap.failed())
    return false;
  bool local = out->wmKind == 3 && !sunFromRoot;
  int px = local ? gx : rx, py = local ? gy : ry;
  out->xOffset = static_cast<unsigned short>(std::abs(x - px));
  out->yOffset = static_cast<unsigned short>(std::abs(y - py));
  return true;
}

void UIshell::detectMWMPositionIsFrame(Widget w) {
  if (UIisBeingDestroyed(w) || !XmIsManager(w)) return;
  // The window's own shell: a transient shell is measured itself, not its parent window.
  Widget top = w;
  while (top && !XtIsWMShell(top)) top = XtParent(top);
  UIshell* shell = shellOf(w);
  if (!top || !shell) return;
  // Nothing to measure before the window is up, nor before a manager has reparented it into
  // a frame: a manager reparents a window before it maps it, so the ReparentNotify is read
  // before the MapNotify, and without one the window is a child of the root (asking the server
  // would take round trips to find that out).
  if (!placementDetectionOff() && (!shell->poppedUp || shell->unframed)) return;
  UIwmFrame frame;
  if (!measureFrame(top, false, &frame)) {
    shell->unframed = frame.unframed;
    return;
  }
  shell->wmKind = frame.wmKind;
  shell->positionIsFrame = frame.positionIsFrame;
  shell->xOffset = frame.xOffset;
  shell->yOffset = frame.yOffset;
  shell->offsetsKnown = 1;
}

void UIshellClientMessage(Widget w, UIshell* shell, XClientMessageEvent* event) {
  if (!shell || !event || !event->send_event || UIisBeingDestroyed(w)) return;
  // Switched off, the record stays as detection left it: zero offsets, whatever mwm says.
  if (placementDetectionOff()) return;
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

// ---- Entry points -------------------------------------------------------------------------------

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
