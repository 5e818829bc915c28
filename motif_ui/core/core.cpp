// The binding core: id operators, the handle, UIcore and its appearance appliers and the
// converters' registration.
#include "ui/core.h"

#include <X11/IntrinsicP.h>
#include <Xm/BulletinB.h>
#include <Xm/ManagerP.h>
#include <Xm/PrimitiveP.h>
#include <Xm/Xm.h>
#include <Xm/XmP.h>

#include <cstring>
#include <ostream>
#include <utility>
#include <vector>

#include "om/om_scope.h"
#include "svc/err.h"
#include "ui/color.h"
#include "ui/dpyMgr.h"
#include "ui/layout.h"
#include "ui/misc.h"
#include "ui/picture.h"
#include "ui/wind.h"

#include "props.h"

// ---- Object ids ------------------------------------------------------------------------

bool operator==(const OMobj_id& a, const OMobj_id& b) {
  return a.serial == b.serial;
}
bool operator!=(const OMobj_id& a, const OMobj_id& b) {
  return !(a == b);
}
bool operator!(const OMobj_id& id) {
  return id.serial == OMnull_obj.serial;
}

std::ostream& operator<<(std::ostream& out, const OMobj_id& id) {
  OMobj_name name = 0;
  OMget_obj_name(id, &name);
  return out << OMname_to_str(name) << "<" << reinterpret_cast<void*>(uintptr_t{id.serial}) << ":"
             << id.live << ">";
}

std::ostream& operator<<(std::ostream& out, Widget w) {
  if (!w) return out << "Widget is NULL";
  if (UIisBeingDestroyed(w)) return out << "<" << static_cast<void*>(w) << ">";
  return out << XtName(w) << "<" << static_cast<void*>(w) << ">";
}

// ---- The handle --------------------------------------------------------------------------

UIwinHandle::UIwinHandle(OMobj_id id, const char* name, int mode, OMXobj* owner,
                         const char* className)
    : OMXgroup(id, name, mode, owner, className) {}

OMobj_id UIwinHandle::member(OMobj_name name) const {
  return OMfind_subobj(obj_id(), name, 0);
}

OMXgroup* UIwinHandle::ret_omx_ptr(const char* className) {
  if (!className || std::strcmp(className, "UIwinHandle") != 0) return nullptr;
  return this;
}

// The members are read and written on every update and teardown of every window: found by
// their names' tokens, without their texts.
namespace {
struct HandleNames {
  OMobj_name widget = OMstr_to_name("widget");
  OMobj_name window = OMstr_to_name("window");
  OMobj_name event = OMstr_to_name("event");
};
const HandleNames& names() {
  static const HandleNames n;
  return n;
}
}  // namespace

Widget UIwinHandle::widget() {
  void* p = nullptr;
  if (OMget_ptr_val(member(names().widget), &p, 0) != 1) return nullptr;
  return static_cast<Widget>(p);
}
void UIwinHandle::widget(Widget w) {
  OMset_ptr_val(member(names().widget), w, 0);
}
unsigned long UIwinHandle::window() {
  int v = 0;
  if (OMget_int_val(member(names().window), &v) != 1) return 0;
  return static_cast<unsigned>(v);
}
void UIwinHandle::window(unsigned long w) {
  OMset_int_val(member(names().window), static_cast<int>(w));
}
int UIwinHandle::event() {
  int v = 0;
  return OMget_int_val(member(names().event), &v) == 1 ? v : 0;
}
void UIwinHandle::event(int e) {
  OMset_int_val(member(names().event), e);
}
int UIwinHandle::pushCtx(int mode, int flags, int last) {
  return OMpush_ctx(obj_id(), mode, flags, last);
}
int UIwinHandle::popCtx() {
  return OMpop_ctx(obj_id());
}

// ---- UIcore --------------------------------------------------------------------------------

bool UIcore::convertersInstalled = false;

UIcore::UIcore(OMobj_id id)
    : OMXobj(id, nullptr, 3, nullptr, "UIcore"),
      handle(id, "handle", 3, this, "UIwinHandle"),
      objId(id) {
  if (!convertersInstalled) installConverters();
}

UIcolor UIcore::color() {
  return UIcolor(objId, "color", 2, this);
}

UIpixmap UIcore::pixmap() {
  return UIpixmap(objId, "pixmap", 2, this);
}

UIfontAttributes UIcore::fontAttributes() {
  return UIfontAttributes(objId, "fontAttributes", 2, this);
}

UIcore::~UIcore() = default;

namespace {

using uiprops::backgroundOf;
using uiprops::newer;

bool isGadget(Widget w) {
  return XmIsGadget(w);
}

}  // namespace

void UIcore::setCoreResources(int seq) {
  Widget w = handle.widget();
  if (!w) {
    ERRerror("UIcore::setCoreResources", 0, 2, "hWnd is 0");
    return;
  }
  setResources(w, seq);
}

void UIsetCoreResources(const OMobj_id&, Widget w, int seq) {
  if (UIwindow* binding = UIwidgetToClass(w)) binding->setResources(w, seq);
}

void UIcore::setResources(Widget w, int seq) {
  UIcolor colors = color();
  OMobj_id fg = colors.foreground.obj_id();
  OMobj_id bg = colors.background.obj_id();
  bool bgChanged = newer(bg, seq);
  bool fgChanged = newer(fg, seq);
  if (bgChanged) {
    setBackgroundColor(bg, w);
    resourcesChanged = 1;
  }
  // With seq 0 the foreground is never applied. The counter wraps, so any other sequence
  // number (negative ones too) is an ordinary one.
  if ((seq == -1 && OMvalid_obj(fg, OMnull_obj, 0)) || (seq != 0 && seq != -1 && fgChanged)) {
    setForegroundColor(fg, w);
    resourcesChanged = 1;
  }
  OMobj_id picture = uiprops::sub(objId, "pixmap");
  if (fgChanged || bgChanged || newer(picture, seq)) {
    setBackgroundPixmap(picture, w, seq);
    resourcesChanged = 1;
  }
  if (w && newer(uiprops::sub(objId, "fontAttributes"), seq)) {
    initFontSet(w, seq);
    resourcesChanged = 1;
  }
}

void UIcore::setActive(const OMobj_id& id, Widget w) {
  if (UIisBeingDestroyed(w)) return;
  int active = 1;
  if (OMget_int_val(id, &active) != 1) active = 1;
  XtSetSensitive(w, active ? True : False);
}

void UIcore::setBackgroundPixmap(const OMobj_id& id, Widget w, int seq) {
  if (UIisBeingDestroyed(w) || isGadget(w)) return;
  UIapplyPictureFromFile(id, w, seq, UI_PICTURE_BACKGROUND, "UIcore::setBackgroundPixmap");
}

namespace {

// A widget's foreground read from its record: XtGetValues would search the resource lists
// and run the class's get-values hooks.
Pixel foregroundOf(Widget w) {
  if (XmIsPrimitive(w)) return reinterpret_cast<XmPrimitiveWidget>(w)->primitive.foreground;
  if (XmIsManager(w)) return reinterpret_cast<XmManagerWidget>(w)->manager.foreground;
  Pixel p = 0;
  XtVaGetValues(w, XtNforeground, &p, nullptr);
  return p;
}

// True when w, a bulletin board (a dialog's box, a form), holds every colour XmChangeColor
// would give it for this background, as one made under a shell of that background does:
// changing them would set the same values again, in a pass over all its resources.
bool holdsColoursFor(Widget w, Pixel background) {
  if (!XmIsBulletinBoard(w) || w->core.background_pixel != background) return false;
  Pixel foreground = 0, top = 0, bottom = 0, select = 0;
  XmGetColors(XtScreen(w), w->core.colormap, background, &foreground, &top, &bottom, &select);
  auto* m = reinterpret_cast<XmManagerWidget>(w);
  return m->manager.foreground == foreground && m->manager.top_shadow_color == top &&
         m->manager.bottom_shadow_color == bottom && m->manager.highlight_color == foreground;
}

// The widget an unset colour is inherited from: what the binding reports as its parent, else
// the Xt parent.
Widget inheritFrom(Widget w, bool xtParentOnly) {
  UIwindow* binding = UIwidgetToClass(w);
  Widget parent = nullptr;
  if (binding && !xtParentOnly) parent = binding->parentWidgetNow();
  if (!parent) parent = XtParent(w);
  return UIisBeingDestroyed(parent) ? nullptr : parent;
}

}  // namespace

void UIcore::setBackgroundColor(const OMobj_id& id, Widget w) {
  if (UIisBeingDestroyed(w) || isGadget(w)) return;
  if (OMtext text = OMget_text(id)) {
    XColor c;
    if (!getColorFromString(w, UtString(text.get()), c)) return;
    XmChangeColor(w, c.pixel);
    // A new background derives a new foreground: the object's own is put back.
    OMobj_id fg = color().foreground.obj_id();
    if (OMvalid_obj(fg, OMnull_obj, 0)) setForegroundColor(fg, w);
    return;
  }
  Widget parent = inheritFrom(w, false);
  if (!parent) return;
  Pixel background = backgroundOf(parent);
  // Already the parent's: changing it again would only cost requests.
  if (backgroundOf(w) != background) XmChangeColor(w, background);
}

void UIcore::setForegroundColor(const OMobj_id& id, Widget w) {
  if (UIisBeingDestroyed(w) || isGadget(w)) return;
  if (OMtext text = OMget_text(id)) {
    UtString value(text.get());
    XColor parsed;
    Colormap colormap = 0;
    XtVaGetValues(w, XtNcolormap, &colormap, nullptr);
    XColor c;
    if (XParseColor(XtDisplay(w), colormap, value.c_str(), &parsed) &&
        getColorFromString(w, value, c))
      XtVaSetValues(w, XtNforeground, c.pixel, nullptr);
    return;
  }
  UIwindow* binding = UIwidgetToClass(w);
  Widget parent = inheritFrom(w, !binding || binding->inheritsColoursFromXtParent());
  if (!parent) return;
  if (!XmIsManager(parent) && !XmIsPrimitive(parent)) {
    Pixel background = backgroundOf(parent);
    if (!holdsColoursFor(w, background)) XmChangeColor(w, background);
  } else {
    Pixel foreground = foregroundOf(parent);
    // Already the parent's (as a new widget's is): setting it again would only cost GCs,
    // traversal work and a redraw.
    if (foregroundOf(w) != foreground) XtVaSetValues(w, XtNforeground, foreground, nullptr);
  }
}

void UIcore::setGroupToParent(const OMobj_id& id, Widget w) {
  if (UIisBeingDestroyed(w)) return;
  int value = 0;
  if (OMget_int_val(id, &value) != 1) value = 0;
  Widget parent = XtParent(w);
  if (value == 0) {
    UIlayout::removeIndirectEventHandlers(w, parent);
    if (UIwindow* binding = UIwidgetToClass(w)) binding->addLayoutEditorEventHandlers(w);
  } else if (value == 1 || value == 2) {
    UIlayout::removeDirectEventHandlers(w);
    UIlayout::addIndirectEventHandlers(w, parent);
  }
}

void UIcore::setFontList(const OMobj_id&, Widget w) {
  if (UIisBeingDestroyed(w) || !fontSet) return;
  if (XmFontList list = WTget_xmfontlist(fontSet)) XtVaSetValues(w, XmNfontList, list, nullptr);
}

bool UIcore::getColorFromString(Widget w, UtString text, XColor& c) {
  if (UIisBeingDestroyed(w) || isGadget(w)) return false;
  Colormap colormap = 0;
  XtVaGetValues(w, XtNcolormap, &colormap, nullptr);
  if (!XParseColor(XtDisplay(w), colormap, text.c_str(), &c)) return false;
  // Every form of colour gives 16-bit components (including the 12-digit "#" form).
  float rgb[3] = {static_cast<float>(c.red / 65535.0), static_cast<float>(c.green / 65535.0),
                  static_cast<float>(c.blue / 65535.0)};
  UIdpyContext* ctx = UIgetDisplayContext(XtDisplay(w));
  auto* wt = static_cast<WText_context*>(ctx->getWtDpyContext());
  c.pixel = WTget_pixel(wt ? wt->handle : nullptr, rgb, 0);
  if (!wt) {
    // A display without context (not opened through the table): allocate directly.
    c.pixel = UIgetPixel(XtDisplay(w), colormap, c.red >> 8, c.green >> 8, c.blue >> 8);
  }
  return true;
}

namespace {

// Whether widgets of w's class have a font list to set: containers and frames have none, and
// setting one they ignore still costs a pass over all their resources. Known per class. Only
// a manager is judged by its resource list: a text widget takes its fonts as resources of a
// part of its own, which the list does not show.
bool takesFontList(Widget w) {
  static std::vector<std::pair<WidgetClass, bool>> known;
  WidgetClass c = XtClass(w);
  for (const auto& k : known)
    if (k.first == c) return k.second;
  bool takes = !XtIsSubclass(w, xmManagerWidgetClass);
  if (!takes) {
    XtResourceList list = nullptr;
    Cardinal count = 0;
    XtGetResourceList(c, &list, &count);
    for (Cardinal i = 0; i < count && !takes; ++i)
      takes = list[i].resource_name && std::strcmp(list[i].resource_name, XmNfontList) == 0;
    XtFree(reinterpret_cast<char*>(list));
  }
  known.emplace_back(c, takes);
  return takes;
}

}  // namespace

void UIcore::initFontSet(Widget w, int seq) {
  bool madeWith = w && (w == madeWidget_ || w == madeAlso_);
  // The first full pass over a widget just made with its font list: the list chosen then is
  // the one a new choice would give (an update, with its own seq, chooses again).
  XmFontList list = madeFontList_;
  if (seq != -1 || !madeWith || !madeFontList_) {
    UIwindow* self = UIwidgetToClass(w);
    list = chooseFontList(XtDisplay(w), self ? self->parentWidgetNow() : nullptr);
  }
  bool made = madeWith && list == madeFontList_;
  if (made && w == madeWidget_)
    madeWidget_ = nullptr;
  else if (made)
    madeAlso_ = nullptr;
  else
    madeWidget_ = madeAlso_ = nullptr;
  if (!madeWidget_ && !madeAlso_) madeFontList_ = nullptr;
  if (list && !made && takesFontList(w)) XtVaSetValues(w, XmNfontList, list, nullptr);
}

XmFontList UIcore::chooseFontList(Display* display, Widget parent) {
  long description[WT_FONT_WORDS] = {};
  int mask = 0;
  UIfontAttributes fonts = fontAttributes();
  if (OMtext family = OMget_text(fonts.family.obj_id())) {
    description[0] = OMstr_to_name(family.get());
    mask |= 1;
  }
  int v = 0;
  if (fonts.size.get_int_val(v) == 1) description[1] = v, mask |= 2;
  if (fonts.weight.get_int_val(v) == 1) description[2] = v, mask |= 4;
  if (fonts.slant.get_int_val(v) == 1) description[3] = v, mask |= 8;
  if (fonts.width.get_int_val(v) == 1) description[4] = v, mask |= 16;
  if (OMtext encoding = OMget_text(fonts.encoding.obj_id())) {
    description[5] = OMstr_to_name(encoding.get());
    mask |= 32;
  }
  if (mask) {
    fontSet = WTinstall_fontset(display, description, mask);
  } else {
    UIwindow* parentBinding = parent ? UIwidgetToClass(parent) : nullptr;
    if (parentBinding && parentBinding->fontSet)
      fontSet = parentBinding->fontSet;
    else  // every sequence number qualifies: the counter wraps into negative ones
      fontSet = WTinstall_fontset(display, description, 0);
  }
  return fontSet ? WTget_xmfontlist(fontSet) : nullptr;
}

void UIcore::installConverters() {
  if (convertersInstalled) return;
  struct Pair {
    const char* type;
    XtTypeConverter converter;
  } const pairs[] = {
      {XtRInt, CqCvtIntToString},
      {XtRCardinal, CqCvtIntToString},
      {XmRHorizontalInt, CqCvtIntToString},
      {XmRVerticalInt, CqCvtIntToString},
      {XtRPosition, CqCvtPositionToString},
      {XmRHorizontalPosition, CqCvtPositionToString},
      {XmRVerticalPosition, CqCvtPositionToString},
      {XtRShort, CqCvtPositionToString},
      {XtRDimension, CqCvtDimensionToString},
      {XmRHorizontalDimension, CqCvtDimensionToString},
      {XmRVerticalDimension, CqCvtDimensionToString},
      {XmRShellHorizDim, CqCvtDimensionToString},
      {XmRShellVertDim, CqCvtDimensionToString},
      {XtRBoolean, CqCvtBooleanToString},
      {XmRBooleanDimension, CqCvtBooleanDimensionToString},
      {XtRPointer, CqCvtPointerToString},
      {XtRWidget, CqCvtPointerToString},
      {XtRWindow, CqCvtPointerToString},
      {XtRPixmap, CqCvtPointerToString},
      {XtRCallback, CqCvtPointerToString},
      {XtRPixel, CqCvtPixelToString},
      {XmRXmString, CqCvtXmStringToString},
  };
  for (const Pair& p : pairs)
    XtSetTypeConverter(p.type, XtRString, p.converter, nullptr, 0, XtCacheNone, nullptr);
  convertersInstalled = true;
}
