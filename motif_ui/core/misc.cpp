// Lookups between objects, bindings and widgets, the registry of live widgets, geometry
// between object and widget, reparenting, and object creation from a template path.
#include "ui/misc.h"

#include "props.h"

#include <X11/IntrinsicP.h>
#include <X11/Shell.h>
#include <X11/Xft/Xft.h>
#include <Xm/Display.h>
#include <Xm/Frame.h>
#include <Xm/GadgetP.h>
#include <Xm/MainW.h>
#include <Xm/ManagerP.h>
#include <Xm/PrimitiveP.h>
#include <Xm/RowColumn.h>
#include <Xm/ScrolledW.h>
#include <Xm/Xm.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "om/om_registry.h"
#include "om/om_scope.h"
#include "svc/err.h"
#include "ui/dpyMgr.h"
#include "ui/errorHandler.h"
#include "ui/wind.h"

// ---- The registry of live widgets -----------------------------------------------------------
// Xt frees a widget as soon as it is destroyed outside event dispatch, so a pointer a binding
// kept may point at freed memory. The registry knows every widget made on a watched display
// and forgets it in the display's destroy hook, which Xt calls for each widget it frees (the
// widgets of a closing display too), just before freeing it: a pointer is read only while the
// registry holds it. (One hook a display instead of a destroy callback a widget: a widget's
// callback list costs it about fifty bytes and a call.)

// Motif's cache of client-side text drawing contexts, one per window it has drawn text in
// with a client-side font. Motif itself never takes an entry out.
extern "C" XftDraw* _XmXftDrawCreate(Display* display, Window window);
extern "C" void _XmXftDrawDestroy(Display* display, Window window, XftDraw* draw);

namespace {

// Motif keeps the drawing context of every window it has drawn text in until the process
// ends, and searches them all, one by one, at every text drawing: each window opened and
// closed left its contexts behind (about 150 bytes each), and a window of 200 controls opened
// and closed 90 times took 14% longer to show by the end. A widget's context goes with it
// here. Xt calls the destroy hook before it destroys the window, so the context's picture is
// freed while the window still exists (freed after it, the server would refuse it). A window
// with no context gets one to give back: the context is made without a request.
void releaseTextDrawing(Widget w) {
  if (!XtIsWidget(w) || !XtWindow(w)) return;
  Display* display = XtDisplay(w);
  if (XftDraw* draw = _XmXftDrawCreate(display, XtWindow(w)))
    _XmXftDrawDestroy(display, XtWindow(w), draw);
}

std::unordered_set<Widget>& live() {
  static auto* s = new std::unordered_set<Widget>;
  return *s;
}

void forget(Widget, XtPointer, XtPointer call) {
  auto* data = static_cast<XtDestroyHookDataRec*>(call);
  if (!data) return;
  releaseTextDrawing(data->widget);
  live().erase(data->widget);
}

void remember(Widget, XtPointer, XtPointer call) {
  auto* data = static_cast<XtCreateHookData>(call);
  if (data && data->widget) live().insert(data->widget);
}

std::vector<Display*>& watched() {
  static auto* d = new std::vector<Display*>;
  return *d;
}

}  // namespace

void UIwatchWidgets(Display* display) {
  if (!display) return;
  for (Display* d : watched())
    if (d == display) return;
  watched().push_back(display);
  XtAddCallback(XtHooksOfDisplay(display), XtNcreateHook, remember, nullptr);
  XtAddCallback(XtHooksOfDisplay(display), XtNdestroyHook, forget, nullptr);
}

void UIreleaseTextDrawing(Widget w) {
  if (UIisBeingDestroyed(w) || !XtIsWidget(w)) return;  // a gadget draws in its parent's window
  for (Widget popup : uiprops::popupsOf(w)) UIreleaseTextDrawing(popup);
  for (Widget child : uiprops::childrenOf(w)) UIreleaseTextDrawing(child);
  releaseTextDrawing(w);
}

std::vector<Widget> UIrootWidgetsOf(Display* display) {
  std::vector<Widget> roots;
  for (Widget w : live())
    // Motif's own display object goes when the display is closed, not before.
    if (!w->core.being_destroyed && !XtParent(w) && XtDisplay(w) == display && !XmIsDisplay(w))
      roots.push_back(w);
  return roots;
}

bool UIisBeingDestroyed(Widget w) {
  if (!w || !live().count(w)) return true;
  return w->core.being_destroyed != False;
}

std::vector<Widget> uiprops::childrenOf(Widget w) {
  std::vector<Widget> out;
  if (UIisBeingDestroyed(w) || !XtIsComposite(w)) return out;
  // Read from the record: XtGetValues would search the resource lists for both.
  auto* composite = reinterpret_cast<CompositeWidget>(w);
  WidgetList list = composite->composite.children;
  if (list) out.assign(list, list + composite->composite.num_children);
  return out;
}

std::vector<Widget> uiprops::popupsOf(Widget w) {
  std::vector<Widget> out;
  if (UIisBeingDestroyed(w) || !XtIsWidget(w)) return out;
  out.assign(w->core.popup_list, w->core.popup_list + w->core.num_popups);
  return out;
}

// ---- Type tests -----------------------------------------------------------------------------

namespace {

// Templates may sit in sub-libraries ("UI.Controls"): a plain name finds them wherever they are.
bool isType(const OMobj_id& id, const char* name) {
  OMobj_id templ = OMfind_template(name);
  return !!templ && OMmatch_obj(templ, id, 1) == 1;
}

}  // namespace

bool UIisApp(const OMobj_id& id) {
  return isType(id, "UIapp");
}
bool UIisShell(const OMobj_id& id) {
  return isType(id, "UIshell");
}
bool UIisPanel(const OMobj_id& id) {
  return isType(id, "UIpanel");
}
bool UIisRowColumn(const OMobj_id& id) {
  return isType(id, "UIrowColumn");
}
bool UIisScrolledWindow(const OMobj_id& id) {
  return isType(id, "UIscrolledWindow");
}
bool UIisFrame(const OMobj_id& id) {
  return isType(id, "UIframe");
}
bool UIisOptionBox(const OMobj_id& id) {
  return isType(id, "UIoptionBox");
}
bool UIisOptionMenu(const OMobj_id& id) {
  return isType(id, "UIoptionMenu");
}
bool UIisRadioBox(const OMobj_id& id) {
  return isType(id, "UIradioBox");
}
bool UIisSlider(const OMobj_id& id) {
  return isType(id, "UIslider");
}
bool UIisDial(const OMobj_id& id) {
  return isType(id, "UIdial");
}

// ---- Lookups --------------------------------------------------------------------------------

UIwindow* UIwidgetToClass(Widget w) {
  if (UIisBeingDestroyed(w)) return nullptr;
  // The names compared as quarks, the form Xt keeps them in: through XtName each call would
  // take the toolkit's lock to fetch the name's text and compare it twice.
  static const XrmQuark container = XrmPermStringToQuark("NEcontainer");
  static const XrmQuark primitive = XrmPermStringToQuark("NEprimitive");
  if (w->core.xrm_name == container || w->core.xrm_name == primitive) return nullptr;
  // Read from the record where Motif keeps it: this runs several times per object and per
  // event, and XtGetValues looks the resource up by name each time.
  XtPointer data = nullptr;
  if (XmIsPrimitive(w))
    data = reinterpret_cast<XmPrimitiveWidget>(w)->primitive.user_data;
  else if (XmIsManager(w))
    data = reinterpret_cast<XmManagerWidget>(w)->manager.user_data;
  else if (XmIsGadget(w))  // the buttons and labels of the dialog boxes
    data = reinterpret_cast<XmGadget>(w)->gadget.user_data;
  else
    XtVaGetValues(w, XmNuserData, &data, nullptr);
  // User data that names no live binding (one deleted while its widget stayed, or another
  // library's data) is not a binding.
  auto* binding = static_cast<UIwindow*>(data);
  return UIwindow::alive(binding) ? binding : nullptr;
}

OMobj_id UIwidgetToObjId(Widget w) {
  UIwindow* binding = UIwidgetToClass(w);
  return binding ? binding->objId : OMnull_obj;
}

Widget UIobjIdToWidget(const OMobj_id& id) {
  if (!id) return nullptr;
  // Asked several times for every object made: the names' tokens are kept (they never change).
  static const OMobj_name kHandle = OMstr_to_name("handle"), kWidget = OMstr_to_name("widget");
  void* p = nullptr;
  OMobj_id widget = OMfind_subobj(OMfind_subobj(id, kHandle, 1), kWidget, 1);
  return OMget_ptr_val(widget, &p, 0) == 1 ? static_cast<Widget>(p) : nullptr;
}

Widget UIclientOf(Widget w) {
  if (UIisBeingDestroyed(w)) return nullptr;
  if (XmIsFrame(w)) {
    std::vector<Widget> children = uiprops::childrenOf(w);
    w = children.empty() ? nullptr : children[0];
  }
  if (w && XmIsScrolledWindow(w)) {
    Widget work = nullptr;
    XtVaGetValues(w, XmNworkWindow, &work, nullptr);
    w = work;
  }
  return w;
}

Widget UIgetParentWnd(const OMobj_id& id, char) {
  OMobj_id parent;
  if (OMget_obj_val(OMfind_subobj(id, OMstr_to_name("parent"), 1), &parent) != 1 || !parent)
    return nullptr;
  OMflush_notifies_mask(OMnull_obj, parent, 9, 0);
  return UIclientOf(UIobjIdToWidget(parent));
}

Widget UIfindNearestMainWindowAncestor(Widget w) {
  for (Widget at = w; !UIisBeingDestroyed(at); at = XtParent(at))
    if (XmIsMainWindow(at)) return at;
  return nullptr;
}

bool UIisAncestorOf(Widget w, Widget a) {
  if (UIisBeingDestroyed(w)) return false;
  for (Widget at = XtParent(w); at; at = XtParent(at)) {
    if (at == a) return true;
    if (XtParent(at) == at || UIisBeingDestroyed(at)) break;
  }
  return false;
}

bool UIisDescendentOf(Widget w, Widget d) {
  return UIisAncestorOf(d, w);
}

bool UIisWorkAreaChild(Widget w) {
  if (UIisBeingDestroyed(w) || !XmIsRowColumn(w)) return false;
  Widget parent = XtParent(w);
  return parent && (XmIsMainWindow(parent) || XmIsFrame(parent) || XmIsScrolledWindow(parent));
}

int UIfindContext(Widget w, char** data, int context) {
  if (UIisBeingDestroyed(w) || !XtWindow(w)) return XCNOENT;
  XPointer p = nullptr;
  int status = XFindContext(XtDisplay(w), XtWindow(w), context, &p);
  if (data) *data = p;
  return status;
}

int UIsaveContext(Widget w, char* data, int context) {
  if (UIisBeingDestroyed(w) || !XtWindow(w)) return XCNOENT;
  return XSaveContext(XtDisplay(w), XtWindow(w), context, data);
}

void UIgetScaleXY(double* x, double* y) {
  if (x) *x = 1.0;
  if (y) *y = 1.0;
}

// ---- Geometry between object and widget ----------------------------------------------------

namespace {

void setProperty(const OMobj_id& id, const char* name, int v) {
  OMobj_id p = OMfind_subobj(id, OMstr_to_name(name), 0);
  OMcontext ctx(id, OM_CTX_WIDGET, OM_CTX_GEOMETRY);
  OMset_int_val(p, v);
}

}  // namespace

using uiprops::readInt;

void UIsetOMWindowX(const OMobj_id& id, int v) {
  setProperty(id, "x", v);
}
void UIsetOMWindowY(const OMobj_id& id, int v) {
  setProperty(id, "y", v);
}
void UIsetOMWindowWidth(const OMobj_id& id, int v) {
  setProperty(id, "width", v);
}
void UIsetOMWindowHeight(const OMobj_id& id, int v) {
  setProperty(id, "height", v);
}
bool UIgetOMWindowX(const OMobj_id& id, int* v) {
  return readInt(id, "x", v);
}
bool UIgetOMWindowY(const OMobj_id& id, int* v) {
  return readInt(id, "y", v);
}
bool UIgetOMWindowWidth(const OMobj_id& id, int* v) {
  return readInt(id, "width", v) && *v >= 1 && *v <= 32767;
}
bool UIgetOMWindowHeight(const OMobj_id& id, int* v) {
  return readInt(id, "height", v) && *v >= 1 && *v <= 32767;
}

bool UIpositionInRange(const char* routine, const char* what, int v) {
  if (v >= -32768 && v <= 32767) return true;
  ERRerror(routine, 0, 2,
           "The %s value of %d is invalid. Position values must lie between -32768 and 32767. "
           "No action taken.",
           what, v);
  return false;
}

bool UIdimensionInRange(const char* routine, const char* what, int v) {
  if (v <= 32767) return true;
  ERRerror(routine, 0, 2,
           "The %s value of %d is invalid. Dimension values cannot be greater than 32767. No "
           "action taken.",
           what, v);
  return false;
}

void UIsetOMWindowPos(const OMobj_id& id, Widget w) {
  if (UIisBeingDestroyed(w)) return;
  if (!XtIsRectObj(w)) return;
  unsigned short curW = w->core.width, curH = w->core.height;  // read from the record
  if (UIerrorState && UIerrorLockObject == w) return;
  // An unset position keeps the widget where it is.
  short curX = 0, curY = 0;
  UIgeom::getWidgetPos(w, curX, curY);
  int x = curX, y = curY, width = 0, height = 0;
  readInt(id, "x", &x);
  readInt(id, "y", &y);
  if (!readInt(id, "width", &width) || width < 1) width = curW;
  if (!readInt(id, "height", &height) || height < 1) height = curH;
  auto valid = [](const char* what, int value) {
    if (value >= 1) return true;
    ERRerror("UIsetOMWindowPos", 0, 2,
             "The %s value of %d is invalid. Dimension values cannot be less than one. No "
             "action taken.",
             what, value);
    return false;
  };
  bool widthOK = valid("width", width);
  bool heightOK = valid("height", height);
  // Beyond 16 bits a value would wrap into another (70000 wide is 4464 wide to X).
  bool fits = UIpositionInRange("UIsetOMWindowPos", "x", x);
  fits = UIpositionInRange("UIsetOMWindowPos", "y", y) && fits;
  fits = UIdimensionInRange("UIsetOMWindowPos", "width", width) && fits;
  fits = UIdimensionInRange("UIsetOMWindowPos", "height", height) && fits;
  if (widthOK && heightOK && fits) UIsetWindowPos(w, x, y, width, height);
}

void UIapplyObjectSize(const OMobj_id& id, Widget w, bool keepWidth, bool keepHeight) {
  if (UIisBeingDestroyed(w)) return;
  int v = 0;
  if (!keepWidth && UIgetOMWindowWidth(id, &v) && v != w->core.width)
    XtVaSetValues(w, XmNwidth, v, nullptr);
  if (!keepHeight && UIgetOMWindowHeight(id, &v) && v != w->core.height)
    XtVaSetValues(w, XmNheight, v, nullptr);
}

void UIsetWindowPos(Widget w, int x, int y, int width, int height) {
  if (UIisBeingDestroyed(w)) return;
  Widget target = XtParent(w) && XmIsMainWindow(XtParent(w)) ? XtParent(w) : w;
  UIgeom::setWidgetPosSize(target, static_cast<short>(x), static_cast<short>(y),
                           static_cast<unsigned short>(width), static_cast<unsigned short>(height));
}

namespace {

void requested(Widget w, const char* who, const char* const* names, const int* values, int n,
               int flags) {
  if (UIisBeingDestroyed(w)) return;
  UIwindow* binding = UIwidgetToClass(w);
  if (!binding) {
    std::printf("Got a NULL Win pointer in %s\n", who);
    return;
  }
  OMobj_id id = binding->objId;
  OMcontext ctx(id, OM_CTX_WIDGET, flags);
  for (int i = 0; i < n; ++i) {
    int now = 0;
    if (!readInt(id, names[i], &now) || now != values[i])
      OMset_int_val(OMfind_subobj(id, OMstr_to_name(names[i]), 0), values[i]);
  }
}

}  // namespace

void UIupdateOMRequestedWindowPos(Widget w, int x, int y, int flags) {
  const char* names[] = {"x", "y"};
  const int values[] = {x, y};
  requested(w, "UIupdateOMRequestedWindowPos", names, values, 2, flags);
}

void UIupdateOMRequestedWindowSize(Widget w, int width, int height, int flags) {
  const char* names[] = {"width", "height"};
  const int values[] = {width, height};
  requested(w, "UIupdateOMRequestedWindowSize", names, values, 2, flags);
}

void UIupdateOMRequestedWindowPosSize(Widget w, int x, int y, int width, int height, int flags) {
  const char* names[] = {"x", "y", "width", "height"};
  const int values[] = {x, y, width, height};
  requested(w, "UIupdateRequestedOMWindowPosSize", names, values, 4, flags);
}

// ---- Reparenting ------------------------------------------------------------------------------

void SetParent(Widget w, Widget parent) {
  if (UIisBeingDestroyed(w) || UIisBeingDestroyed(parent) || !XtIsComposite(parent)) return;
  if (UIisWorkAreaChild(w) && XmIsMainWindow(XtParent(w))) return;
  UIwindow* binding = UIwidgetToClass(w);
  if (!binding || XtParent(w) == parent || !XtWindow(w) || !XtWindow(parent)) return;
  UIdpyContext* ctx = UIgetDisplayContext(XtDisplay(w));
  if (parent != ctx->_managerShell && XtIsComposite(w) && XtParent(parent) == w) return;
  binding->rebuildObject(w);
}

bool UIdetectIllegalParentConnection(const OMobj_id& obj, const OMobj_id& parent) {
  if (obj.serial != parent.serial || obj.live != parent.live) return false;
  OMset_obj_ref(OMfind_subobj(obj, OMstr_to_name("parent"), 0), OMnull_obj, 0);
  ERRerror("UIdetectIllegalParentConnection", 0, 2,
           "Detected illegal parent connection.  Reference to self.  Connection refused.");
  return true;
}

void UIadjustWorkAreaParentGeometry(Widget w, unsigned short width, unsigned short height) {
  if (UIisBeingDestroyed(w)) return;
  XtWidgetGeometry request{};
  request.request_mode = CWWidth | CWHeight;
  request.width = width;
  request.height = height;
  XtMakeGeometryRequest(w, &request, nullptr);
}

void UIadjustNewParentGeometry(Widget child, Widget parent) {
  if (UIisBeingDestroyed(child) || UIisBeingDestroyed(parent)) return;
  short cx = 0, cy = 0, px = 0, py = 0;
  unsigned short cw = 0, ch = 0, pw = 0, ph = 0;
  UIgeom::getWidgetPosSize(child, cx, cy, cw, ch);
  UIgeom::getWidgetPosSize(parent, px, py, pw, ph);
  int menu = 0;
  if (XmIsMainWindow(parent)) {
    Widget bar = nullptr;
    XtVaGetValues(parent, XmNmenuBar, &bar, nullptr);
    unsigned short bw = 0, bh = 0;
    if (bar && UIgeom::getWidgetSize(bar, bw, bh)) menu = bh;
  }
  // The parent grows to hold the child's right and bottom edges; it never shrinks.
  int needW = std::max<int>(pw, cx + cw);
  int needH = std::max<int>(ph, cy + ch + menu);
  if (needW == pw && needH == ph) return;
  XtWidgetGeometry request{};
  request.request_mode = CWWidth | CWHeight;
  request.width = static_cast<Dimension>(needW);
  request.height = static_cast<Dimension>(needH);
  XtMakeGeometryRequest(parent, &request, nullptr);
}

// ---- Objects from templates --------------------------------------------------------------------

OMobj_id UIcreate_obj_from_str(const char* templatePath, const char* name, int*) {
  OMobj_id templ = OMfind_template(templatePath);
  if (!templ) {
    ERRerror("OMcreate_str_obj", 2, 2, "can't find template object: %s to create: %s",
             templatePath ? templatePath : "", name ? name : "");
    return OMnull_obj;
  }
  OMobj_id destination;
  if (OMget_array_subobj(OMinst_obj, 0, &destination, 0) != 1) return OMnull_obj;
  char unique[256];
  if (!name || OMget_uniq_name(destination, name, unique, sizeof unique) != 1) return OMnull_obj;
  return OMcopy_obj(templ, OMstr_to_name(unique), destination, OMnull_obj, 0);
}
