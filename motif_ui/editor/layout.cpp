// The layout editor's state and handlers. Editing is off until the edit-state object turns it
// on; with editing off every handler returns at once (a press also ends any editing state).
#include "ui/layout.h"

#include <X11/keysym.h>
#include <Xm/Form.h>
#include <Xm/Frame.h>
#include <Xm/Scale.h>
#include <Xm/Xm.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <unordered_set>
#include <vector>

#include "om/om.h"
#include "om/om_scope.h"
#include "svc/err.h"
#include "ui/UIcursor.h"
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
Window UIlayout::root = 0;
GC UIlayout::layout_gc = nullptr;
GC UIlayout::expose_gc = nullptr;
bool UIlayout::changeX = false;
bool UIlayout::changeY = false;
bool UIlayout::resizeWidth = false;
bool UIlayout::resizeHeight = false;
short UIlayout::select_x = 0;
short UIlayout::select_y = 0;
short UIlayout::last_motion_x = 0;
short UIlayout::last_motion_y = 0;
unsigned short UIlayout::last_motion_width = 0;
unsigned short UIlayout::last_motion_height = 0;
Time UIlayout::moveReleaseTime = 0;
bool UIlayout::rubberBandDrawn = false;
bool UIlayout::resizeBlocked = false;
bool UIlayout::sizeValid = false;
std::string UIlayout::editObjectPath;
std::string UIlayout::displayObjectPath;
void (*UIlayoutSaveHook)() = nullptr;

namespace {

constexpr int kHandle = 7;        // side of a handle, and the width of the resize border
constexpr long kDropWindow = 50;  // ms between a move's release and the drop's enter event
constexpr EventMask kExposeMask = ExposureMask | StructureNotifyMask;
// What a grouped widget passes on to its group.
constexpr EventMask kIndirectMask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;

// The figure last drawn with state 1, and whether it is on screen now (XOR: every drawing
// toggles it).
struct Figure {
  Widget widget = nullptr;
  Drawable drawable = 0;
  int x = 0, y = 0, width = 0, height = 0;
  UIlayoutObjectType type = UI_LAYOUT_OUTLINE;
  bool onScreen = false;
};
Figure remembered;
// Root origins taken when a drag starts: the moved widget's parent and the widget itself.
short dragZeroX = 0, dragZeroY = 0;
int dragWidgetX = 0, dragWidgetY = 0;
Display* gcDisplay = nullptr;  // where layout_gc and expose_gc were made

OMobj_id sub(OMobj_id id, const char* path) {
  return OMfind_str_subobj(id, path, 0);
}

bool readInt(OMobj_id id, const char* path, int* v) {
  return OMget_int_val(sub(id, path), v) == 1;
}

Dimension widthOf(Widget w) {
  Dimension d = 0;
  XtVaGetValues(w, XtNwidth, &d, nullptr);
  return d;
}

Dimension heightOf(Widget w) {
  Dimension d = 0;
  XtVaGetValues(w, XtNheight, &d, nullptr);
  return d;
}

void drawFigure(Display* dpy, Drawable d, GC gc, int x, int y, int w, int h,
                UIlayoutObjectType type) {
  if (w < 1 || h < 1) return;
  XDrawRectangle(dpy, d, gc, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h));
  int cx = x + w / 2, cy = y + h / 2;
  XDrawLine(dpy, d, gc, cx - 7, cy, cx + 7, cy);
  XDrawLine(dpy, d, gc, cx, cy - 7, cx, cy + 7);
  if (type != UI_LAYOUT_HANDLES) return;
  const int left = x + 1, top = y + 1, right = x + w - kHandle, bottom = y + h - kHandle;
  const int mx = cx - kHandle / 2, my = cy - kHandle / 2;
  const int spots[8][2] = {{left, top}, {right, top}, {left, bottom}, {right, bottom},
                           {mx, top},   {mx, bottom}, {left, my},     {right, my}};
  for (const auto& s : spots) XFillRectangle(dpy, d, gc, s[0], s[1], kHandle, kHandle);
}

// Erases the remembered figure when it is on screen.
void eraseFigure() {
  if (remembered.onScreen && !UIisBeingDestroyed(remembered.widget))
    UIlayout::drawLayoutObject(remembered.widget, remembered.drawable, UIlayout::layout_gc, 0, 0, 0,
                               0, remembered.type, UI_LAYOUT_REDRAW);
  remembered.onScreen = false;
}

void freeGCs() {
  if (gcDisplay) {
    if (UIlayout::layout_gc) XFreeGC(gcDisplay, UIlayout::layout_gc);
    if (UIlayout::expose_gc) XFreeGC(gcDisplay, UIlayout::expose_gc);
  }
  UIlayout::layout_gc = UIlayout::expose_gc = nullptr;
  gcDisplay = nullptr;
  remembered = Figure();
}

void makeGCs(Widget w) {
  freeGCs();
  Pixel fg = BlackPixelOfScreen(XtScreen(w)), bg = WhitePixelOfScreen(XtScreen(w));
  XtVaGetValues(w, XmNforeground, &fg, XtNbackground, &bg, nullptr);
  XGCValues v{};
  v.function = GXxor;
  v.foreground = fg ^ bg;
  v.line_width = 1;
  v.subwindow_mode = IncludeInferiors;
  Display* dpy = XtDisplay(w);
  UIlayout::layout_gc =
      XCreateGC(dpy, UIlayout::root, GCFunction | GCForeground | GCLineWidth | GCSubwindowMode, &v);
  v.function = GXcopy;
  v.foreground = fg;
  UIlayout::expose_gc =
      XCreateGC(dpy, UIlayout::root, GCFunction | GCForeground | GCLineWidth | GCSubwindowMode, &v);
  gcDisplay = dpy;
}

// The path of id below the root, whole (the object manager cuts what does not fit).
std::string pathOf(OMobj_id id) {
  for (size_t size = 512; size <= (1u << 22); size *= 4) {
    std::vector<char> buf(size);
    if (OMret_obj_path_to(id, OMroot_obj, buf.data(), static_cast<int>(size)) != 1) return "";
    if (std::strlen(buf.data()) + 1 < size) return buf.data();
  }
  return "";
}

void writeSelectedPath(OMobj_id id) {
  std::string path = pathOf(id);
  for (const std::string* target : {&UIlayout::editObjectPath, &UIlayout::displayObjectPath}) {
    if (target->empty()) continue;
    OMobj_id into = OMfind_str_subobj(OMroot_obj, target->c_str(), 0);
    if (!!into) OMset_str_val(into, path.c_str());
  }
}

// The widget's window origin in root coordinates.
void rootOrigin(Widget w, int* x, int* y) {
  Window child;
  *x = *y = 0;
  if (XtWindow(w))
    XTranslateCoordinates(XtDisplay(w), XtWindow(w), UIlayout::root, 0, 0, x, y, &child);
}

// Root coordinates into w's window coordinates.
void fromRoot(Widget w, int rx, int ry, int* x, int* y) {
  Window child;
  *x = rx, *y = ry;
  if (XtWindow(w))
    XTranslateCoordinates(XtDisplay(w), UIlayout::root, XtWindow(w), rx, ry, x, y, &child);
}

// Ends a selection without erasing: the widget's own cursor comes back, the GCs go, and the
// widget repaints (unmanaged and managed again) when it stays.
void dropSelection(bool repaint) {
  Widget w = UIlayout::moveWidget;
  if (!UIisBeingDestroyed(w)) {
    XtRemoveEventHandler(w, kExposeMask, False, UIlayout::overlayWindowExposeHandler, nullptr);
    if (XtWindow(w)) XUndefineCursor(XtDisplay(w), XtWindow(w));
    if (UIwindow* binding = UIwidgetToClass(w)) UIreapplyObjectCursor(binding->objId);
    freeGCs();
    // Under a shell the widget fills it: unmanaging it would resize the window.
    if (repaint && XtIsManaged(w) && !XtIsShell(XtParent(w))) {
      XtUnmanageChild(w);
      XtManageChild(w);
    } else if (repaint && XtWindow(w)) {
      XClearArea(XtDisplay(w), XtWindow(w), 0, 0, 0, 0, True);
    }
  } else {
    freeGCs();
  }
  UIlayout::layout_gc = nullptr;
  UIlayout::potentialActionState = 1;
  UIlayout::moveWidget = nullptr;
  UIlayout::destParent = nullptr;
  UIlayout::last_motion_x = UIlayout::last_motion_y = 0;
  UIlayout::last_motion_width = UIlayout::last_motion_height = 0;
  UIlayout::select_x = UIlayout::select_y = 0;
  UIlayout::rubberBandDrawn = false;
  UIlayout::state = 0;
}

// The edge zone of a point in a w x h widget: the cursor and the action a press starts.
UIlayout::CursorKind zoneOf(int x, int y, int w, int h, int* action) {
  bool left = x <= kHandle, right = x >= w - kHandle, top = y <= kHandle, bottom = y >= h - kHandle;
  *action = 2;
  if (top && left) return UIlayout::kTopLeft;
  if (top && right) return UIlayout::kTopRight;
  if (bottom && left) return UIlayout::kBottomLeft;
  if (bottom && right) return UIlayout::kBottomRight;
  if (left) return UIlayout::kLeft;
  if (right) return UIlayout::kRight;
  if (top) return UIlayout::kTop;
  if (bottom) return UIlayout::kBottom;
  *action = 1;
  return UIlayout::kMove;
}

}  // namespace

// ---- Undo and redo ------------------------------------------------------------------------------

namespace {

constexpr size_t kMaxSteps = 1000;
const char* const kGeometryKeys[4] = {"x", "y", "width", "height"};
constexpr int kUnset = -2147483647 - 1;

struct Geometry {
  int v[4] = {kUnset, kUnset, kUnset, kUnset};
};

Geometry readGeometry(OMobj_id id) {
  Geometry g;
  for (int i = 0; i < 4; ++i) readInt(id, kGeometryKeys[i], &g.v[i]);
  return g;
}

void writeGeometry(OMobj_id id, const Geometry& g) {
  OMcontext ctx(id, OM_CTX_USER, OM_CTX_GEOMETRY);
  for (int i = 0; i < 4; ++i) {
    int now = kUnset;
    if (g.v[i] == kUnset || (readInt(id, kGeometryKeys[i], &now) && now == g.v[i])) continue;
    OMset_int_val(sub(id, kGeometryKeys[i]), g.v[i]);
  }
}

// A link some other object held to the deleted object (or into it).
struct Referrer {
  OMobj_id holder;
  std::string target;  // path below the deleted object; empty for the object itself
};

struct Step {
  enum Kind { kGeometry, kReparent, kOption, kDelete } kind = kGeometry;
  OMobj_id object = OMnull_obj;  // the edited object; for an option: the option made
  Geometry before, after;
  OMobj_id oldParent = OMnull_obj, newParent = OMnull_obj;  // reparent
  OMobj_id list = OMnull_obj;                               // option: the cmdList
  // Delete: the container, the name, the siblings that followed it, the copy kept aside and
  // the links others held.
  OMobj_id place = OMnull_obj;
  std::string name;
  std::vector<OMobj_id> later;
  OMobj_id aside = OMnull_obj;
  std::vector<Referrer> referrers;
};

std::vector<Step> undoSteps, redoSteps;
bool replaying = false;  // undo and redo write through the same paths without recording

void push(Step step) {
  if (replaying) return;
  undoSteps.push_back(std::move(step));
  if (undoSteps.size() > kMaxSteps) undoSteps.erase(undoSteps.begin());
  redoSteps.clear();
}

bool valid(OMobj_id id) {
  return OMvalid_obj(id, OMnull_obj, 0) == 1;
}

// Where deleted objects wait for an undo: a group under the root that is never instanced.
OMobj_id asidePlace() {
  static OMobj_id place = OMnull_obj;
  if (!valid(place))
    place =
        OMcreate_obj(OMstr_to_name("UIlayoutDeleted"), OM_KIND_GROUP, OMroot_obj, OMnull_obj, 0);
  return place;
}

bool within(OMobj_id id, OMobj_id top) {
  for (int depth = 0; depth < 4096 && !!id; ++depth) {
    if (id == top) return true;
    OMobj_id parent;
    if (OMget_obj_parent(id, &parent) != 1) return false;
    id = parent;
  }
  return false;
}

std::string pathBelow(OMobj_id id, OMobj_id top) {
  if (id == top) return "";
  char buf[4096];
  if (OMret_obj_path_to(id, top, buf, sizeof buf) != 1) return "";
  return buf;
}

// Every link from outside `top` into it. The templates are not looked at.
void collectReferrers(OMobj_id at, OMobj_id top, std::vector<Referrer>* out, int depth = 0) {
  if (depth > 256 || at == top || at == OMtempl_obj) return;
  OMobj_id target;
  if (OMget_obj_pval(at, &target, 0) == 1 && within(target, top))
    out->push_back({at, pathBelow(target, top)});
  int count = 0;
  OMget_num_subobjs(at, &count);
  for (int i = 0; i < count; ++i) collectReferrers(OMget_subobj_at(at, i), top, out, depth + 1);
}

// A copy holds the bindings' pointers of the original: cleared so no update finds them.
void clearBindings(OMobj_id at, int depth = 0) {
  if (depth > 256) return;
  static const OMobj_name cxx = OMstr_to_name("cxxhandle"), handle = OMstr_to_name("handle");
  int count = 0;
  OMget_num_subobjs(at, &count);
  for (int i = 0; i < count; ++i) {
    OMobj_id child = OMget_subobj_at(at, i);
    OMobj_name name = 0;
    OMget_obj_name(child, &name);
    if (name == cxx) {
      OMset_ptr_val(child, nullptr, 0);
    } else if (name == handle) {
      OMset_ptr_val(OMfind_subobj(child, OMstr_to_name("widget"), 0), nullptr, 0);
      OMset_int_val(OMfind_subobj(child, OMstr_to_name("window"), 0), 0);
    } else {
      clearBindings(child, depth + 1);
    }
  }
}

// Destroys id, keeping what an undo needs in step (kind kDelete).
void deleteKeepingAside(OMobj_id id, Step* step) {
  step->kind = Step::kDelete;
  step->object = id;
  OMobj_name name = 0;
  OMget_obj_name(id, &name);
  step->name = OMname_to_str(name);
  OMget_obj_parent(id, &step->place);
  step->later.clear();
  int count = 0;
  OMget_num_subobjs(step->place, &count);
  bool after = false;
  for (int i = 0; i < count; ++i) {
    OMobj_id sibling = OMget_subobj_at(step->place, i);
    if (after) step->later.push_back(sibling);
    if (sibling == id) after = true;
  }
  step->referrers.clear();
  collectReferrers(OMroot_obj, id, &step->referrers);
  step->aside = OMcopy_obj(id, name, asidePlace(), OMnull_obj, 0);
  clearBindings(step->aside);
  OMdestroy_obj(id, 0);
}

void remap(OMobj_id from, OMobj_id to) {
  for (auto* steps : {&undoSteps, &redoSteps})
    for (Step& s : *steps) {
      for (OMobj_id* id : {&s.object, &s.oldParent, &s.newParent, &s.place, &s.list})
        if (*id == from) *id = to;
      for (OMobj_id& l : s.later)
        if (l == from) l = to;
    }
}

// Makes the deleted object again from its copy; false when its container has gone.
bool restore(Step* step) {
  if (!valid(step->place) || !valid(step->aside)) return false;
  OMobj_id made;
  {
    OMcontext ctx(step->place, OM_CTX_USER, OM_CTX_STRUCTURE);
    made = OMcopy_obj(step->aside, OMstr_to_name(step->name.c_str()), step->place, OMnull_obj, 0);
    if (!made) return false;
    // Back in its place among its siblings.
    for (OMobj_id sibling : step->later)
      if (valid(sibling)) OMmove_obj(sibling, step->place);
    for (const Referrer& r : step->referrers) {
      OMobj_id target = r.target.empty() ? made : OMfind_str_subobj(made, r.target.c_str(), 0);
      if (valid(r.holder) && !!target) OMset_obj_ref(r.holder, target, 0);
    }
    OMclose_obj(made, 0);
  }
  OMdestroy_obj(step->aside, 0);
  step->aside = OMnull_obj;
  remap(step->object, made);
  step->object = made;
  return true;
}

OMobj_id addOption(OMobj_id list) {
  OMobj_id option = UIcreate_obj_from_str("UIoption", "UIoption", nullptr);
  if (!option) return OMnull_obj;
  if (OMset_array_val(list, OM_ARRAY_APPEND, option, 0) != 1) {
    std::printf("Error appending to array.\n");
    OMdestroy_obj(option, 0);
    return OMnull_obj;
  }
  OMcontext ctx(option, OM_CTX_WIDGET, OM_CTX_EVENT);
  OMclose_obj(option, 0);
  return option;
}

bool removeOption(OMobj_id list, OMobj_id option) {
  int size = 0;
  if (!valid(list) || !valid(option) || OMget_array_size(list, &size) != 1) return false;
  for (int i = 0; i < size; ++i) {
    OMobj_id element;
    if (OMget_array_val(list, i, &element, 1) == 1 && element == option) {
      OMdel_array_val(list, i, 0);
      OMdestroy_obj(option, 0);
      return true;
    }
  }
  return false;
}

void reparentTo(OMobj_id id, OMobj_id parent, const Geometry& g) {
  OMcontext ctx(id, OM_CTX_USER, OM_CTX_STRUCTURE);
  writeGeometry(id, g);
  OMset_obj_ref(sub(id, "parent"), parent, 0);
}

// Applies a step backwards (undo) or forwards; false when its objects have gone.
bool apply(Step* s, bool forward) {
  switch (s->kind) {
    case Step::kGeometry:
      if (!valid(s->object)) return false;
      writeGeometry(s->object, forward ? s->after : s->before);
      return true;
    case Step::kReparent: {
      OMobj_id parent = forward ? s->newParent : s->oldParent;
      if (!valid(s->object) || !valid(parent)) return false;
      reparentTo(s->object, parent, forward ? s->after : s->before);
      return true;
    }
    case Step::kOption:
      if (!forward) return removeOption(s->list, s->object);
      if (!valid(s->list)) return false;
      s->object = addOption(s->list);
      return !!s->object;
    case Step::kDelete:
      if (!forward) return restore(s);
      if (!valid(s->object)) return false;
      deleteKeepingAside(s->object, s);
      return true;
  }
  return false;
}

bool replay(std::vector<Step>& from, std::vector<Step>& to, bool forward) {
  // In the middle of a drag the rubber band and the written geometry would disagree.
  if (UIlayout::state == 1 || UIlayout::state == 2) return false;
  while (!from.empty()) {
    Step step = std::move(from.back());
    from.pop_back();
    replaying = true;
    bool done = apply(&step, forward);
    replaying = false;
    if (!done) continue;  // its object has gone: dropped
    to.push_back(std::move(step));
    return true;
  }
  return false;
}

void recordGeometry(OMobj_id id, Geometry before, const bool* only = nullptr) {
  Geometry after = readGeometry(id);
  for (int i = 0; only && i < 4; ++i)
    if (!only[i]) before.v[i] = after.v[i] = kUnset;
  if (std::memcmp(before.v, after.v, sizeof before.v) == 0) return;
  Step s;
  s.kind = Step::kGeometry;
  s.object = id;
  s.before = before;
  s.after = after;
  push(std::move(s));
}

}  // namespace

// ---- Settings ------------------------------------------------------------------------------

bool UIlayout::setGrid(int x, int y) {
  if (x < 1 || y < 1) {
    ERRerror("UIlayoutEditState::update", 0, 2,
             "grid step %d x %d refused: a grid step is at least 1 pixel", x, y);
    return false;
  }
  gridX = x;
  gridY = y;
  return true;
}

Cursor UIlayout::cursorFor(Widget w, CursorKind kind) {
  static std::map<Display*, std::array<Cursor, kCursorCount>> made;
  static const unsigned shapes[kCursorCount] = {52, 138, 16, 96, 70, 134, 136, 12, 14};
  if (UIisBeingDestroyed(w)) return 0;
  auto& set = made[XtDisplay(w)];
  if (!set[kind]) set[kind] = XCreateFontCursor(XtDisplay(w), shapes[kind]);
  return set[kind];
}

short UIlayout::gridMapX(short v, short origin) {
  int r = v;
  if (snapToGrid && gridX >= 1) r = origin + ((v - origin + gridX / 2) / gridX) * gridX;
  if (r < origin && state == 2 && moveWidget && !UIisBeingDestroyed(moveWidget) &&
      !UIisWorkAreaChild(XtParent(moveWidget)))
    return origin;
  return static_cast<short>(r);
}

short UIlayout::gridMapY(short v, short origin) {
  int r = v;
  if (snapToGrid && gridY >= 1) r = origin + ((v - origin + gridY / 2) / gridY) * gridY;
  if (r < origin && state == 2 && moveWidget && !UIisBeingDestroyed(moveWidget) &&
      !UIisWorkAreaChild(XtParent(moveWidget)))
    return origin;
  return static_cast<short>(r);
}

void UIlayout::drawLayoutObject(Widget w, Drawable d, GC gc, int x, int y, int width, int height,
                                UIlayoutObjectType type, UIlayoutObjectState st) {
  if (UIisBeingDestroyed(w)) return;
  if (st == UI_LAYOUT_REDRAW) {
    if (!layout_gc || UIisBeingDestroyed(remembered.widget) || !remembered.drawable) return;
    drawFigure(XtDisplay(remembered.widget), remembered.drawable, layout_gc, remembered.x,
               remembered.y, remembered.width, remembered.height, remembered.type);
    remembered.onScreen = !remembered.onScreen;
    return;
  }
  if (!gc || !d) return;
  drawFigure(XtDisplay(w), d, gc, x + 2, y + 2, width - 5, height - 5, type);
  if (st == UI_LAYOUT_DRAW)
    remembered = Figure{w, d, x + 2, y + 2, width - 5, height - 5, type, true};
}

short UIlayout::findParentZeroX(Widget w) {
  int x = 0, y = 0;
  if (!UIisBeingDestroyed(w) && XtParent(w)) rootOrigin(XtParent(w), &x, &y);
  return static_cast<short>(x);
}

short UIlayout::findParentZeroY(Widget w) {
  int x = 0, y = 0;
  if (UIisBeingDestroyed(w) || !XtParent(w)) return 0;
  rootOrigin(XtParent(w), &x, &y);
  // The deepest window under the pointer names the container a drop would go into.
  Display* dpy = XtDisplay(w);
  Window at = root, rootReturn, child = 0;
  int rx, ry, wx, wy;
  unsigned mask;
  Widget under = nullptr;
  for (int depth = 0; depth < 64; ++depth) {
    if (!XQueryPointer(dpy, at, &rootReturn, &child, &rx, &ry, &wx, &wy, &mask) || !child) break;
    at = child;
    if (Widget found = XtWindowToWidget(dpy, at)) under = found;
  }
  if (under && !UIisBeingDestroyed(under)) destParent = under;
  return static_cast<short>(y);
}

// ---- Handlers ---------------------------------------------------------------------------------

namespace {

// Widgets whose direct handlers are off (grouped, or being rebuilt). A widget whose direct
// handlers are entries of their own loses those but directEventCB's preview bits; one whose
// handlers share its pair of entries with the pointer's (UIwindow::addWindowHandlers) keeps
// them, and this set alone turns them off. A widget leaves the set when it gets its handlers
// back or is destroyed (its address may be reused).
std::unordered_set<Widget>& withoutOwnHandlers() {
  static auto* s = new std::unordered_set<Widget>;
  return *s;
}

void forgetWidget(Widget w, XtPointer, XtPointer) {
  withoutOwnHandlers().erase(w);
}

void setOwnHandlers(Widget w, bool on) {
  auto& without = withoutOwnHandlers();
  if (!on) {
    if (without.insert(w).second) XtAddCallback(w, XmNdestroyCallback, forgetWidget, nullptr);
  } else if (without.erase(w)) {
    XtRemoveCallback(w, XmNdestroyCallback, forgetWidget, nullptr);
  }
}

}  // namespace

bool UIlayout::ownHandlersOn(Widget w) {
  auto& without = withoutOwnHandlers();
  return without.empty() || !without.count(w);
}

void UIlayout::switchOwnHandlersOn(Widget w) {
  setOwnHandlers(w, true);
}

void UIlayout::addOwnHandlers(Widget w) {
  setOwnHandlers(w, true);
  XtInsertEventHandler(w, ButtonPressMask, False, buttonPressCB, nullptr, XtListHead);
  XtAddEventHandler(w, kDirectEvents, False, directEventCB, nullptr);
}

void UIlayout::directEventCB(Widget w, XtPointer data, XEvent* event, Boolean* go) {
  if (!event) return;
  switch (event->type) {
    case KeyPress:
      if (ownHandlersOn(w)) keyPressCB(w, data, event, go);
      break;
    case ButtonRelease:
      if (ownHandlersOn(w)) buttonReleaseCB(w, data, event, go);
      break;
    case MotionNotify:
      // Xt gives a motion to a handler of button motions only while such a button is held.
      if ((event->xmotion.state & (Button1Mask | Button2Mask)) && ownHandlersOn(w)) {
        buttonMotionCB(w, data, event, go);
        if (go && !*go) return;
      }
      pointerMotionCB(w, data, event, go);
      break;
    default:
      break;
  }
}

void UIlayout::pointerMotionCB(Widget w, XtPointer, XEvent*, Boolean*) {
  if (!editEnable || state != 3 || w != moveWidget || UIisBeingDestroyed(w) || !XtWindow(w)) return;
  Window r, c;
  int rx, ry, x, y;
  unsigned mask;
  if (!XQueryPointer(XtDisplay(w), XtWindow(w), &r, &c, &rx, &ry, &x, &y, &mask)) return;
  int width = widthOf(w), height = heightOf(w);
  if (x < 0 || y < 0 || x >= width || y >= height) return;
  CursorKind kind = zoneOf(x, y, width, height, &potentialActionState);
  XDefineCursor(XtDisplay(w), XtWindow(w), cursorFor(w, kind));
}

void UIlayout::buttonPressCB(Widget w, XtPointer, XEvent* event, Boolean* go) {
  if (!event || event->type != ButtonPress || event->xbutton.button != Button2) return;
  if (!editEnable) {
    if (state >= 1 && state <= 3) cleanUpLayoutState();
    return;
  }
  if (UIisBeingDestroyed(w) || !UIwidgetToClass(w)) return;
  // A press on another widget ends the selection and starts selecting that one, so that one
  // click moves the selection.
  if (state == 3 && w != moveWidget) cleanUpLayoutState();
  if (state == 0) {
    moveWidget = w;
    destParent = XtParent(w);
    if (go) *go = False;
    return;
  }
  if (state != 3) return;
  int x = event->xbutton.x, y = event->xbutton.y;
  int width = widthOf(w), height = heightOf(w);
  // Neither the parent nor the widget moves during a drag: their root origins are asked of
  // the server once, here, not at every motion step.
  dragZeroX = findParentZeroX(w);
  dragZeroY = findParentZeroY(w);
  rootOrigin(w, &dragWidgetX, &dragWidgetY);
  // The zone of the press itself decides (the pointer preview may not have run yet).
  zoneOf(x, y, width, height, &potentialActionState);
  select_x = static_cast<short>(x);
  select_y = static_cast<short>(y);
  rubberBandDrawn = false;
  sizeValid = false;
  if (go) *go = False;
  if (potentialActionState == 1) {
    state = 1;
    return;
  }
  changeX = x <= kHandle;
  changeY = y <= kHandle;
  resizeWidth = x >= width - kHandle || x <= kHandle;
  resizeHeight = y >= height - kHandle || y <= kHandle;
  resizeBlocked = false;
  auto clear = [](bool& flag) {
    if (flag) resizeBlocked = true;
    flag = false;
  };
  if (XmIsScale(w)) {
    unsigned char orientation = XmVERTICAL;
    XtVaGetValues(w, XmNorientation, &orientation, nullptr);
    if (orientation == XmHORIZONTAL) {
      clear(resizeHeight);
      clear(changeY);
    } else {
      clear(resizeWidth);
      clear(changeX);
    }
  }
  UIwindow* binding = UIwidgetToClass(w);
  if (binding && binding->fixedSizeInEditor()) {
    clear(resizeWidth);
    clear(resizeHeight);
    clear(changeX);
    clear(changeY);
  }
  state = 2;
}

void UIlayout::buttonMotionCB(Widget, XtPointer, XEvent*, Boolean*) {
  if (!editEnable || (state != 1 && state != 2)) return;
  Widget w = moveWidget;
  if (UIisBeingDestroyed(w) || !XtWindow(w) || !layout_gc) return;
  Display* dpy = XtDisplay(w);
  Window r, c;
  int rootX, rootY, wx, wy;
  unsigned mask;
  if (!XQueryPointer(dpy, XtWindow(w), &r, &c, &rootX, &rootY, &wx, &wy, &mask)) return;
  const unsigned buttons = Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask;
  if ((mask & buttons) != Button2Mask) return;
  int width = widthOf(w), height = heightOf(w);
  int x, y;
  if (state == 1) {
    x = gridMapX(static_cast<short>(rootX - select_x), dragZeroX);
    y = gridMapY(static_cast<short>(rootY - select_y), dragZeroY);
  } else {
    if (resizeBlocked) return;
    x = changeX ? rootX - select_x : dragWidgetX;
    y = changeY ? rootY - select_y : dragWidgetY;
    if (resizeWidth) width += changeX ? select_x - wx : wx - select_x;
    if (resizeHeight) height += changeY ? select_y - wy : wy - select_y;
    if (width <= 0 || height <= 0) return;
    // Positions snap to the parent's grid, as a move does; sizes to 1 plus a multiple.
    x = gridMapX(static_cast<short>(x), dragZeroX);
    y = gridMapY(static_cast<short>(y), dragZeroY);
    width = gridMapX(static_cast<short>(width - 1), 1);
    height = gridMapY(static_cast<short>(height - 1), 1);
    sizeValid = width > 4 && width < 2048 && height > 4 && height < 2048;
    if (!sizeValid) return;
  }
  if (rubberBandDrawn) eraseFigure();
  drawLayoutObject(w, root, layout_gc, x, y, width, height, UI_LAYOUT_OUTLINE, UI_LAYOUT_DRAW);
  rubberBandDrawn = true;
  last_motion_x = static_cast<short>(x);
  last_motion_y = static_cast<short>(y);
  last_motion_width = static_cast<unsigned short>(width);
  last_motion_height = static_cast<unsigned short>(height);
}

void UIlayout::buttonReleaseCB(Widget w, XtPointer, XEvent* event, Boolean* go) {
  if (!editEnable || !event || event->type != ButtonRelease || event->xbutton.button != Button2)
    return;
  if (state == 0) {
    if (w != moveWidget || UIisBeingDestroyed(w)) return;
    UIwindow* binding = UIwidgetToClass(w);
    int edit = 0;
    if (!binding || !readInt(binding->objId, "layout.edit", &edit) || edit != 1 || !XtWindow(w)) {
      moveWidget = nullptr;
      return;
    }
    writeSelectedPath(binding->objId);
    if (UIisBeingDestroyed(w)) return;  // a dependent of the path removed it
    XtAddEventHandler(w, kExposeMask, False, overlayWindowExposeHandler, nullptr);
    root = RootWindowOfScreen(XtScreen(w));
    makeGCs(w);
    int rx, ry;
    rootOrigin(w, &rx, &ry);
    last_motion_x = static_cast<short>(rx);
    last_motion_y = static_cast<short>(ry);
    last_motion_width = widthOf(w);
    last_motion_height = heightOf(w);
    XRaiseWindow(XtDisplay(w), XtWindow(w));
    drawLayoutObject(w, XtWindow(w), layout_gc, 0, 0, last_motion_width, last_motion_height,
                     UI_LAYOUT_HANDLES, UI_LAYOUT_DRAW);
    XDefineCursor(XtDisplay(w), XtWindow(w), cursorFor(w, kMove));
    state = 3;
    if (go) *go = False;
    return;
  }
  if (state == 3) {
    if (w != moveWidget) cleanUpLayoutState();
    return;
  }
  Widget moved = moveWidget;
  if (UIisBeingDestroyed(moved)) {
    cleanUpLayoutState();
    return;
  }
  if (go) *go = False;
  bool drawn = rubberBandDrawn;
  if (drawn) eraseFigure();
  rubberBandDrawn = false;
  UIwindow* binding = UIwidgetToClass(moved);
  Widget parent = XtParent(moved);
  int x = 0, y = 0;
  fromRoot(parent, last_motion_x, last_motion_y, &x, &y);
  Position cx = 0, cy = 0;
  XtVaGetValues(moved, XtNx, &cx, XtNy, &cy, nullptr);
  if (state == 1) {
    moveReleaseTime = event->xbutton.time;
    state = 3;
    bool inside = x >= 0 && y >= 0 && x + last_motion_width <= widthOf(parent) &&
                  y + last_motion_height <= heightOf(parent);
    if (!drawn || !inside || (x == cx && y == cy) || !binding || binding->positionsItself()) return;
    x = gridMapX(static_cast<short>(x), 0);
    y = gridMapY(static_cast<short>(y), 0);
    Geometry before = readGeometry(binding->objId);
    OMobj_id id = binding->objId;
    UIupdateOMRequestedWindowPos(moved, x, y, 2);
    recordGeometry(id, before);
    return;
  }
  // Resizing.
  state = 3;
  if (!drawn || !sizeValid || !binding || binding->positionsItself()) return;
  int width = last_motion_width, height = last_motion_height;
  if (x == cx && y == cy && width - 1 == widthOf(moved) && height - 1 == heightOf(moved)) return;
  OMobj_id id = binding->objId;
  Geometry before = readGeometry(id);
  UIupdateOMRequestedWindowPosSize(moved, x, y, width - 1, height - 1, 2);
  // Only the edges dragged are the user's edit; the rest is written back as it stood.
  const bool dragged[4] = {changeX, changeY, resizeWidth, resizeHeight};
  recordGeometry(id, before, dragged);
}

void UIlayout::keyPressCB(Widget, XtPointer, XEvent* event, Boolean* go) {
  if (!editEnable || !event || event->type != KeyPress) return;
  KeySym sym = XLookupKeysym(&event->xkey, 0);
  if (event->xkey.state & ControlMask) {
    bool shift = event->xkey.state & ShiftMask;
    if (sym == XK_s && UIlayoutSaveHook) {
      if (go) *go = False;
      UIlayoutSaveHook();
      return;
    }
    if ((sym == XK_z && !shift) || sym == XK_y || (sym == XK_z && shift)) {
      if (go) *go = False;
      if (sym == XK_z && !shift)
        UIlayoutUndo();
      else
        UIlayoutRedo();
    }
    return;
  }
  if (state == 0 || UIisBeingDestroyed(moveWidget)) return;
  if (sym != XK_BackSpace && sym != XK_Delete) return;
  UIwindow* binding = UIwidgetToClass(moveWidget);
  if (!binding) return;
  OMobj_id id = binding->objId;
  eraseFigure();
  if (go) *go = False;
  // The widget goes with its object: nothing to repaint.
  dropSelection(false);
  Step step;
  deleteKeepingAside(id, &step);
  push(std::move(step));
}

void UIlayout::overlayWindowExposeHandler(Widget w, XtPointer, XEvent* event, Boolean*) {
  if (!event || w != moveWidget || UIisBeingDestroyed(w) || state < 0 || state > 3) return;
  if (event->type != Expose && event->type != ConfigureNotify) return;
  if (event->type == Expose && event->xexpose.count != 0) return;
  if (!expose_gc || !XtWindow(w)) return;
  drawLayoutObject(w, XtWindow(w), expose_gc, 0, 0, widthOf(w), heightOf(w), UI_LAYOUT_HANDLES,
                   UI_LAYOUT_DRAW_ONLY);
}

// ---- Reparenting --------------------------------------------------------------------------------

void UIlayout::addDropTarget(Widget w) {
  if (UIisBeingDestroyed(w)) return;
  XtAddEventHandler(w, EnterWindowMask, False, enterNotifyCB, w);
}

bool UIlayout::checkForReparent(Widget container, UIwindow** containerBinding,
                                UIwindow** movedBinding, int* x, int* y) {
  Widget moved = moveWidget;
  if (UIisBeingDestroyed(container) || UIisBeingDestroyed(moved)) return false;
  if (container == moved || container == XtParent(moved) || UIisAncestorOf(container, moved))
    return false;
  *containerBinding = UIwidgetToClass(container);
  *movedBinding = UIwidgetToClass(moved);
  if (!*containerBinding || !*movedBinding) return false;
  fromRoot(container, last_motion_x, last_motion_y, x, y);
  destParent = container;
  return true;
}

namespace {

// A drop comes as the enter event that the release of a move causes.
bool isDrop(Widget container, XEvent* event) {
  if (!UIlayout::editEnable || !event || event->type != EnterNotify) return false;
  if (!UIlayout::moveWidget || container == UIlayout::moveWidget) return false;
  if (UIisBeingDestroyed(container) || !XtWindow(container)) return false;
  Window r, child = 0;
  int rx, ry, x, y;
  unsigned mask;
  XQueryPointer(XtDisplay(container), XtWindow(container), &r, &child, &rx, &ry, &x, &y, &mask);
  if (child) return false;
  Time t = event->xcrossing.time;
  return t >= UIlayout::moveReleaseTime &&
         static_cast<long>(t - UIlayout::moveReleaseTime) < kDropWindow;
}

void reparent(Widget container, int flags) {
  UIwindow *into = nullptr, *moved = nullptr;
  int x = 0, y = 0;
  if (!UIlayout::checkForReparent(container, &into, &moved, &x, &y)) return;
  x = UIlayout::gridMapX(static_cast<short>(x), 0);
  y = UIlayout::gridMapY(static_cast<short>(y), 0);
  OMobj_id id = moved->objId, parent = into->objId;
  Widget w = UIlayout::moveWidget;
  Step step;
  step.kind = Step::kReparent;
  step.object = id;
  step.before = readGeometry(id);
  OMget_obj_val(sub(id, "parent"), &step.oldParent);
  step.newParent = parent;
  // The widget is rebuilt under its new parent: the selection ends here.
  dropSelection(false);
  {
    OMcontext ctx(id, OM_CTX_USER, OM_CTX_STRUCTURE);
    UIupdateOMRequestedWindowPos(w, x, y, flags);
    OMset_obj_ref(OMfind_subobj(id, OMstr_to_name("parent"), 0), parent, 0);
  }
  if (!valid(id)) return;
  step.after = readGeometry(id);
  push(std::move(step));
}

}  // namespace

void UIlayout::enterNotifyCB(Widget, XtPointer container, XEvent* event, Boolean*) {
  Widget target = static_cast<Widget>(container);
  if (!isDrop(target, event)) return;
  reparent(target, 4);
}

void UIlayout::cmdListEnterNotifyCB(Widget, XtPointer container, XEvent* event, Boolean*) {
  Widget target = static_cast<Widget>(container);
  if (!isDrop(target, event)) return;
  UIwindow *into = nullptr, *moved = nullptr;
  int x = 0, y = 0;
  if (!checkForReparent(target, &into, &moved, &x, &y)) return;
  OMtext label = OMget_text(sub(moved->objId, "label"));
  if (!label) {
    reparent(target, 2);
    return;
  }
  if (std::strcmp(label.get(), "UIoption") != 0) {
    // The library's error dialogs are not here yet: the refusal goes through ERRerror.
    ERRerror("UIlayout::cmdListEnterNotifyCB", 0, 2, "%s: %s", pathOf(moved->objId).c_str(),
             UIisOptionBox(into->objId)
                 ? "A UIoptionBox may only accept children of type UIoption."
                 : "A UIradioBox may only accept children of type UIoption.");
    return;
  }
  // A palette item: the box gets a new option; the item stays where it was.
  OMobj_id cmdList = sub(into->objId, "cmdList");
  if (!cmdList) {
    std::printf("Error searching for cmdList\n");
    return;
  }
  OMobj_id option = addOption(cmdList);
  if (!option) return;
  Step step;
  step.kind = Step::kOption;
  step.object = option;
  step.list = cmdList;
  push(std::move(step));
}

// ---- Ending and forgetting ----------------------------------------------------------------------

void UIlayout::cleanUpLayoutState() {
  dropSelection(true);
}

void UIlayout::cleanupOnObjectDestroy(Widget w) {
  if (w != moveWidget) return;
  dropSelection(false);
}

void UIlayout::widgetRebuilt(Widget old) {
  if (moveWidget != old) return;
  dropSelection(false);
}

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

void UIlayout::indirectButtonMotionCB(Widget w, XtPointer parent, XEvent* event, Boolean* go) {
  if (!editEnable || !event) return;
  XEvent atParent = *event;
  toParent(w, static_cast<Widget>(parent), &atParent);
  buttonMotionCB(static_cast<Widget>(parent), nullptr, &atParent, go);
}

void UIlayout::indirectEventCB(Widget w, XtPointer data, XEvent* event, Boolean* go) {
  if (!event) return;
  auto parent = static_cast<Widget>(data);
  if (!editEnable) {
    // A press outside editing still ends a selection left from it.
    if (event->type == ButtonPress) buttonPressCB(parent, nullptr, event, go);
    return;
  }
  // The widget's own actions, after this entry, see the event where it happened.
  XEvent atParent = *event;
  toParent(w, parent, &atParent);
  switch (event->type) {
    case ButtonPress:
      buttonPressCB(parent, nullptr, &atParent, go);
      break;
    case ButtonRelease:
      buttonReleaseCB(parent, nullptr, &atParent, go);
      break;
    case MotionNotify:
      if (event->xmotion.state & Button2Mask) buttonMotionCB(parent, nullptr, &atParent, go);
      pointerMotionCB(parent, nullptr, &atParent, go);
      break;
    default:
      break;
  }
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

// Takes the direct handlers off w but the pointer's preview (pointerMotionCB).
void removeDirect(Widget w) {
  XtRemoveEventHandler(w, ButtonPressMask, False, UIlayout::buttonPressCB, nullptr);
  XtRemoveEventHandler(w, KeyPressMask | ButtonReleaseMask | Button1MotionMask | Button2MotionMask,
                       False, UIlayout::directEventCB, nullptr);
  setOwnHandlers(w, false);
}

void removeIndirect(Widget w, Widget parent) {
  XtRemoveEventHandler(w, kIndirectMask, False, UIlayout::indirectEventCB, parent);
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
  XtInsertEventHandler(w, kIndirectMask, False, indirectEventCB, parent, XtListHead);
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

namespace {

// The selected widget's children (a frame's come with it), for grouping.
std::vector<Widget> groupChildren(Widget w) {
  std::vector<Widget> out;
  WidgetList children = nullptr;
  Cardinal count = 0;
  if (XtIsComposite(w)) XtVaGetValues(w, XmNchildren, &children, XmNnumChildren, &count, nullptr);
  for (Cardinal i = 0; i < count; ++i)
    if (XtIsWidget(children[i]) && !UIisBeingDestroyed(children[i])) out.push_back(children[i]);
  return out;
}

bool groupable() {
  Widget w = UIlayout::moveWidget;
  return UIlayout::editEnable && UIlayout::state != 0 && !UIisBeingDestroyed(w) &&
         (XtIsComposite(w) || XmIsFrame(w));
}

}  // namespace

void UIlayout::groupObjects() {
  if (!groupable()) return;
  for (Widget child : groupChildren(moveWidget)) {
    removeDirectEventHandlers(child);
    addIndirectEventHandlers(child, moveWidget);
  }
}

void UIlayout::ungroupObjects() {
  if (!groupable()) return;
  for (Widget child : groupChildren(moveWidget)) removeIndirectEventHandlers(child, moveWidget);
  addDirectEventHandlers(moveWidget);
}

// ---- Undo and redo: the entry points ---------------------------------------------------------

bool UIlayoutUndo() {
  return replay(undoSteps, redoSteps, false);
}

bool UIlayoutRedo() {
  return replay(redoSteps, undoSteps, true);
}

int UIlayoutUndoDepth() {
  return static_cast<int>(undoSteps.size());
}

int UIlayoutRedoDepth() {
  return static_cast<int>(redoSteps.size());
}

void UIlayoutClearHistory() {
  for (auto* steps : {&undoSteps, &redoSteps})
    for (Step& s : *steps)
      if (valid(s.aside)) OMdestroy_obj(s.aside, 0);
  undoSteps.clear();
  redoSteps.clear();
}

void UIlayoutNetEdits(std::vector<UIlayoutGeometryEdit>* geometry,
                      std::vector<UIlayoutStructureEdit>* structure) {
  std::vector<OMobj_id> order, reparented;
  std::vector<std::array<int, 4>> values;
  for (const Step& s : undoSteps) {
    if (s.kind == Step::kReparent) reparented.push_back(s.object);
    if (s.kind != Step::kGeometry && s.kind != Step::kReparent) {
      if (structure) {
        OMobj_name name = 0;
        OMget_obj_name(s.object, &name);
        if (s.kind == Step::kDelete)
          structure->push_back({s.place, s.name, "deleted"});
        else
          structure->push_back({s.list, OMname_to_str(name), "option added"});
      }
      continue;
    }
    size_t i = 0;
    while (i < order.size() && order[i] != s.object) ++i;
    if (i == order.size()) {
      order.push_back(s.object);
      values.push_back({kUnset, kUnset, kUnset, kUnset});
    }
    for (int k = 0; k < 4; ++k)
      if (s.after.v[k] != kUnset && s.after.v[k] != s.before.v[k]) values[i][k] = s.after.v[k];
  }
  for (size_t i = 0; i < order.size(); ++i) {
    if (!valid(order[i])) continue;
    bool moved = false;
    for (OMobj_id r : reparented) moved |= r == order[i];
    if (moved) {
      if (structure) {
        OMobj_name name = 0;
        OMget_obj_name(order[i], &name);
        structure->push_back({order[i], OMname_to_str(name), "reparented"});
      }
      continue;
    }
    for (int k = 0; k < 4; ++k)
      if (values[i][k] != kUnset && geometry)
        geometry->push_back({order[i], kGeometryKeys[k], values[i][k]});
  }
}
