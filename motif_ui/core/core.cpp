// The binding core: id operators, the handle, UIcore and its appearance appliers, colour
// helpers, resource-to-text converters and the entry protocol.
#include "ui/core.h"

#include <X11/IntrinsicP.h>
#include <Xm/Xm.h>
#include <Xm/XmP.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <vector>

#include "svc/err.h"
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
    : OMXgroup(id, name, mode, owner, className),
      windowMember_(obj_id(), "window", 3, this, "int"),
      widgetMember_(obj_id(), "widget", 3, this, nullptr),
      eventMember_(obj_id(), "event", 3, this, "int") {}

OMXgroup* UIwinHandle::ret_omx_ptr(const char* className) {
  if (!className || std::strcmp(className, "UIwinHandle") != 0) return nullptr;
  return this;
}

Widget UIwinHandle::widget() {
  void* p = nullptr;
  if (OMget_ptr_val(widgetMember_.obj_id(), &p, 0) != 1) return nullptr;
  return static_cast<Widget>(p);
}
void UIwinHandle::widget(Widget w) {
  OMset_ptr_val(widgetMember_.obj_id(), w, 0);
}
unsigned long UIwinHandle::window() {
  int v = 0;
  if (windowMember_.get_int_val(v) != 1) return 0;
  return static_cast<unsigned>(v);
}
void UIwinHandle::window(unsigned long w) {
  windowMember_.set_int_val(static_cast<int>(w));
}
int UIwinHandle::event() {
  int v = 0;
  return eventMember_.get_int_val(v) == 1 ? v : 0;
}
void UIwinHandle::event(int e) {
  eventMember_.set_int_val(e);
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
      color(id, "color", 2, this),
      pixmap(id, "pixmap", 2, this),
      fontAttributes(id, "fontAttributes", 2, this),
      fontList(id, "fontList", 2, this, "string"),
      objId(id),
      motif_resources(id, "motif_resources", 2, this, "string") {
  if (!convertersInstalled) installConverters();
}

UIcore::~UIcore() = default;

namespace {

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
  OMobj_id fg = color.foreground.obj_id();
  OMobj_id bg = color.background.obj_id();
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
  if (fgChanged || bgChanged || newer(pixmap.obj_id(), seq)) {
    setBackgroundPixmap(pixmap.obj_id(), w, seq);
    resourcesChanged = 1;
  }
  if (w && newer(fontAttributes.obj_id(), seq)) {
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

// The widget an unset colour is inherited from: what the binding reports as its parent, else
// the Xt parent.
Widget inheritFrom(Widget w, bool xtParentOnly) {
  UIwindow* binding = UIwidgetToClass(w);
  Widget parent = nullptr;
  if (binding && !xtParentOnly) parent = binding->getParentWidget();
  if (!parent) parent = XtParent(w);
  return UIisBeingDestroyed(parent) ? nullptr : parent;
}

}  // namespace

void UIcore::setBackgroundColor(const OMobj_id& id, Widget w) {
  if (UIisBeingDestroyed(w) || isGadget(w)) return;
  char* text = nullptr;
  if (OMget_str_val(id, &text, 0) == 1) {
    XColor c;
    bool ok = getColorFromString(w, UtString(text), c);
    std::free(text);
    if (!ok) return;
    XmChangeColor(w, c.pixel);
    // A new background derives a new foreground: the object's own is put back.
    if (OMvalid_obj(color.foreground.obj_id(), OMnull_obj, 0))
      setForegroundColor(color.foreground.obj_id(), w);
    return;
  }
  Widget parent = inheritFrom(w, false);
  if (!parent) return;
  Pixel background = 0, own = 0;
  XtVaGetValues(parent, XtNbackground, &background, nullptr);
  XtVaGetValues(w, XtNbackground, &own, nullptr);
  // Already the parent's: changing it again would only cost requests.
  if (own != background) XmChangeColor(w, background);
}

void UIcore::setForegroundColor(const OMobj_id& id, Widget w) {
  if (UIisBeingDestroyed(w) || isGadget(w)) return;
  char* text = nullptr;
  if (OMget_str_val(id, &text, 0) == 1) {
    UtString value(text);
    std::free(text);
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
  bool menuItem = binding && std::strcmp(binding->classType(), "UImenuItem") == 0;
  Widget parent = inheritFrom(w, menuItem || !binding);
  if (!parent) return;
  if (!XmIsManager(parent) && !XmIsPrimitive(parent)) {
    Pixel background = 0;
    XtVaGetValues(parent, XtNbackground, &background, nullptr);
    XmChangeColor(w, background);
  } else {
    Pixel foreground = 0;
    XtVaGetValues(parent, XtNforeground, &foreground, nullptr);
    XtVaSetValues(w, XtNforeground, foreground, nullptr);
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

void UIcore::initFontSet(Widget w, int /*seq*/) {
  long description[WT_FONT_WORDS] = {};
  int mask = 0;
  char* text = nullptr;
  if (OMget_str_val(fontAttributes.family.obj_id(), &text, 0) == 1) {
    description[0] = OMstr_to_name(text);
    std::free(text);
    mask |= 1;
  }
  int v = 0;
  if (fontAttributes.size.get_int_val(v) == 1) description[1] = v, mask |= 2;
  if (fontAttributes.weight.get_int_val(v) == 1) description[2] = v, mask |= 4;
  if (fontAttributes.slant.get_int_val(v) == 1) description[3] = v, mask |= 8;
  if (fontAttributes.width.get_int_val(v) == 1) description[4] = v, mask |= 16;
  if (OMget_str_val(fontAttributes.encoding.obj_id(), &text, 0) == 1) {
    description[5] = OMstr_to_name(text);
    std::free(text);
    mask |= 32;
  }
  if (mask) {
    fontSet = WTinstall_fontset(XtDisplay(w), description, mask);
  } else {
    UIwindow* self = UIwidgetToClass(w);
    Widget parent = self ? self->getParentWidget() : nullptr;
    UIwindow* parentBinding = parent ? UIwidgetToClass(parent) : nullptr;
    if (parentBinding && parentBinding->fontSet)
      fontSet = parentBinding->fontSet;
    else  // every sequence number qualifies: the counter wraps into negative ones
      fontSet = WTinstall_fontset(XtDisplay(w), description, 0);
  }
  if (fontSet)
    if (XmFontList list = WTget_xmfontlist(fontSet)) XtVaSetValues(w, XmNfontList, list, nullptr);
}

// ---- Colour helpers --------------------------------------------------------------------------

unsigned gamma_correct(unsigned value, unsigned levels) {
  static double exponent = [] {
    double gamma = 2.22, parsed = 0;
    if (const char* g = std::getenv("KLT_GAMMA"))
      if (std::sscanf(g, "%lf", &parsed) == 1) gamma = parsed;
    if (const char* g = std::getenv("KLT_UI_GAMMA"))
      if (std::sscanf(g, "%lf", &parsed) == 1) gamma = parsed;
    // A gamma of 0 (or less) has no meaning: it would divide by zero; the default stands.
    if (!(gamma > 0)) gamma = 2.22;
    return 1.0 / gamma;
  }();
  if (exponent == 1.0) return value;
  if (levels < 2) return 0;
  if (value == 0) return 0;
  if (value >= levels - 1) return levels - 1;
  double v = std::pow(static_cast<double>(value) / (levels - 1), exponent) * levels;
  unsigned out = static_cast<unsigned>(v);
  return out > levels - 1 ? levels - 1 : out;
}

unsigned long UIgetPixel(Display* display, Colormap colormap, unsigned r, unsigned g, unsigned b) {
  struct Entry {
    unsigned r, g, b;
    unsigned long pixel;
  };
  static std::vector<Entry> cache;
  for (const Entry& e : cache)
    if (e.r == r && e.g == g && e.b == b) return e.pixel;
  if (cache.size() >= 256 || !display) return 0;
  XColor c{};
  c.red = static_cast<unsigned short>(gamma_correct(r & 0xff, 256) * 257);
  c.green = static_cast<unsigned short>(gamma_correct(g & 0xff, 256) * 257);
  c.blue = static_cast<unsigned short>(gamma_correct(b & 0xff, 256) * 257);
  c.flags = DoRed | DoGreen | DoBlue;
  if (!XAllocColor(display, colormap, &c)) return 0;
  cache.push_back({r, g, b, c.pixel});
  return c.pixel;
}

// ---- Converters -----------------------------------------------------------------------------

namespace {

// Writes text into the caller's buffer: none fails; too small fails with the needed size.
Boolean answerText(XrmValue* to, const char* text) {
  size_t need = std::strlen(text) + 1;
  if (!to->addr) return False;
  if (to->size < need) {
    to->size = static_cast<unsigned>(need);
    return False;
  }
  std::memcpy(to->addr, text, need);
  to->size = static_cast<unsigned>(need);
  return True;
}

template <typename T>
T valueOf(const XrmValue* from) {
  T v{};
  std::memcpy(&v, from->addr, std::min<size_t>(sizeof v, from->size));
  return v;
}

}  // namespace

extern "C" {

Boolean CqCvtIntToString(Display*, XrmValue*, Cardinal*, XrmValue* from, XrmValue* to, XtPointer*) {
  char text[32];
  std::snprintf(text, sizeof text, "%d", valueOf<int>(from));
  return answerText(to, text);
}

Boolean CqCvtPositionToString(Display*, XrmValue*, Cardinal*, XrmValue* from, XrmValue* to,
                              XtPointer*) {
  char text[32];
  std::snprintf(text, sizeof text, "%hd", valueOf<short>(from));
  return answerText(to, text);
}

Boolean CqCvtDimensionToString(Display*, XrmValue*, Cardinal*, XrmValue* from, XrmValue* to,
                               XtPointer*) {
  char text[32];
  std::snprintf(text, sizeof text, "%d", valueOf<unsigned short>(from));
  return answerText(to, text);
}

Boolean CqCvtBooleanToString(Display*, XrmValue*, Cardinal*, XrmValue* from, XrmValue* to,
                             XtPointer*) {
  return answerText(to, valueOf<signed char>(from) == 1 ? "True" : "False");
}

Boolean CqCvtBooleanDimensionToString(Display*, XrmValue*, Cardinal*, XrmValue* from, XrmValue* to,
                                      XtPointer*) {
  unsigned short v = valueOf<unsigned short>(from);
  if (v == 1) return answerText(to, "True");
  if (v == 0) return answerText(to, "False");
  char text[32];
  std::snprintf(text, sizeof text, "%d", v);
  return answerText(to, text);
}

Boolean CqCvtPointerToString(Display*, XrmValue*, Cardinal*, XrmValue* from, XrmValue* to,
                             XtPointer*) {
  char text[32];
  std::snprintf(text, sizeof text, "%#lx", static_cast<unsigned long>(valueOf<uintptr_t>(from)));
  return answerText(to, text);
}

Boolean CqCvtPixelToString(Display* display, XrmValue*, Cardinal*, XrmValue* from, XrmValue* to,
                           XtPointer*) {
  XColor c{};
  c.pixel = valueOf<Pixel>(from);
  XQueryColor(display, DefaultColormap(display, DefaultScreen(display)), &c);
  char text[32];
  std::snprintf(text, sizeof text, "#%x%x%x", c.red, c.green, c.blue);
  return answerText(to, text);
}

Boolean CqCvtXmStringToString(Display*, XrmValue*, Cardinal*, XrmValue* from, XrmValue* to,
                              XtPointer*) {
  XmString s = valueOf<XmString>(from);
  char* text = nullptr;
  if (!s || !XmStringGetLtoR(s, const_cast<char*>(XmFONTLIST_DEFAULT_TAG), &text) || !text)
    return answerText(to, "");
  Boolean ok = answerText(to, text);
  XtFree(text);
  return ok;
}

}  // extern "C"

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

// ---- The entry protocol -----------------------------------------------------------------------

UIwindow* UIobjIdToClass(const OMobj_id& id) {
  OMobj_id cxx = OMfind_subobj(id, OMstr_to_name("cxxhandle"), 1);
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
  if (UIwindow* binding = UIobjIdToClass(id)) binding->destroyObject();
  return 1;
}

int UIupdateEntryWith(OMobj_id id, unsigned int mask, int seq, UIwindow* (*make)(OMobj_id)) {
  if (mask & OM_EVENT_INST) {
    make(id)->instanceObject();
    return 1;
  }
  UIwindow* binding = UIobjIdToClass(id);
  if (!binding) binding = make(id);
  if (binding->handle.widget())
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
