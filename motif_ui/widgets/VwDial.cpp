// VwDial: the dial widget class. Resources, actions and translations, the class record, the
// class methods in lifecycle order, the actions, drawing helpers and the create function.
#include <X11/IntrinsicP.h>
#include <X11/StringDefs.h>
#include <Xm/XmP.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "VwDialMath.h"
#include "ui/VwDialP.h"

namespace {

// ---- Declarations ----------------------------------------------------------------------

void classInitialize();
void initialize(Widget request, Widget w, ArgList args, Cardinal* n);
void realize(Widget w, XtValueMask* mask, XSetWindowAttributes* attrs);
void redisplay(Widget w, XEvent* event, Region region);
Boolean setValues(Widget old, Widget request, Widget w, ArgList args, Cardinal* n);
void destroy(Widget w);

void armAction(Widget w, XEvent* event, String* params, Cardinal* n);
void activateAction(Widget w, XEvent* event, String* params, Cardinal* n);
void disarmAction(Widget w, XEvent* event, String* params, Cardinal* n);
void enterAction(Widget w, XEvent* event, String* params, Cardinal* n);
void leaveAction(Widget w, XEvent* event, String* params, Cardinal* n);
void indicateAction(Widget w, XEvent* event, String* params, Cardinal* n);
void moveDialAction(Widget w, XEvent* event, String* params, Cardinal* n);

void defaultBackground(Widget w, int offset, XrmValue* value);
void defaultForeground(Widget w, int offset, XrmValue* value);
void defaultTopShadow(Widget w, int offset, XrmValue* value);
void defaultBottomShadow(Widget w, int offset, XrmValue* value);
void defaultSelect(Widget w, int offset, XrmValue* value);

VwDialPart& part(Widget w) {
  return reinterpret_cast<VwDialWidget>(w)->dial;
}

// ---- Resources -------------------------------------------------------------------------

#define OFFSET(field) XtOffsetOf(VwDialRec, dial.field)
#define PRIM(field) XtOffsetOf(VwDialRec, primitive.field)
#define S(text) const_cast<char*>(text)
#define UNSPECIFIED reinterpret_cast<XtPointer>(XmUNSPECIFIED_PIXMAP)
#define INT_DEFAULT(v) reinterpret_cast<XtPointer>(static_cast<long>(v))
#define PROC(fn) reinterpret_cast<XtPointer>(fn)

XtResource resources[] = {
    {S(VwNrecomputeSize), S("RecomputeSize"), S(XtRBoolean), sizeof(Boolean),
     OFFSET(recompute_size), S(XtRImmediate), INT_DEFAULT(True)},
    {S(VwNcenterX), S("CenterX"), S(XtRInt), sizeof(int), OFFSET(center_x), S(XtRImmediate),
     INT_DEFAULT(85)},
    {S(VwNcenterY), S("CenterY"), S(XtRInt), sizeof(int), OFFSET(center_y), S(XtRImmediate),
     INT_DEFAULT(85)},
    {S(VwNshadowCenterX), S("ShadowCenterX"), S(XtRInt), sizeof(int), OFFSET(shadow_center_x),
     S(XtRImmediate), INT_DEFAULT(85)},
    {S(VwNshadowCenterY), S("ShadowCenterY"), S(XtRInt), sizeof(int), OFFSET(shadow_center_y),
     S(XtRImmediate), INT_DEFAULT(85)},
    {S(VwNradius), S("Radius"), S(XtRDimension), sizeof(Dimension), OFFSET(radius), S(XtRImmediate),
     INT_DEFAULT(65)},
    {S(VwNshadowRadius), S("ShadowRadius"), S(XtRDimension), sizeof(Dimension),
     OFFSET(shadow_radius), S(XtRImmediate), INT_DEFAULT(65)},
    {S(VwNscaleLength), S("ScaleLength"), S(XtRDimension), sizeof(Dimension), OFFSET(scale_length),
     S(XtRImmediate), INT_DEFAULT(5)},
    {S(VwNscaleOffset), S("ScaleOffset"), S(XtRDimension), sizeof(Dimension), OFFSET(scale_offset),
     S(XtRImmediate), INT_DEFAULT(70)},
    {S(VwNpointerLength), S("PointerLength"), S(XtRDimension), sizeof(Dimension),
     OFFSET(pointer_length), S(XtRImmediate), INT_DEFAULT(5)},
    // The primitive's own highlight fields, with the dial's defaults.
    {S(VwNhighlightThickness), S("HighlightThickness"), S(XtRDimension), sizeof(Dimension),
     PRIM(highlight_thickness), S(XtRImmediate), INT_DEFAULT(0)},
    {S(VwNframeThickness), S("FrameThickness"), S(XtRDimension), sizeof(Dimension),
     OFFSET(frame_thickness), S(XtRImmediate), INT_DEFAULT(0)},
    {S(VwNdialBaseColor), S("DialBaseColor"), S(XtRPixel), sizeof(Pixel), OFFSET(base_color),
     S(XtRCallProc), PROC(defaultBackground)},
    {S(VwNdialBasePixmap), S("DialBasePixmap"), S(VwRDialBasePixmap), sizeof(Pixmap),
     OFFSET(base_pixmap), S(XtRImmediate), UNSPECIFIED},
    {S(VwNdialHighlightColor), S("DialHighlightColor"), S(XtRPixel), sizeof(Pixel),
     OFFSET(highlight_color), S(XtRCallProc), PROC(defaultSelect)},
    {S(VwNdialHighlightPixmap), S("DialHighlightPixmap"), S(VwRDialHighlightPixmap), sizeof(Pixmap),
     OFFSET(highlight_pixmap), S(XtRImmediate), UNSPECIFIED},
    {S(VwNdialColor), S("DialColor"), S(XtRPixel), sizeof(Pixel), OFFSET(dial_color),
     S(XtRCallProc), PROC(defaultBackground)},
    {S(VwNdialPixmap), S("DialPixmap"), S(VwRDialPixmap), sizeof(Pixmap), OFFSET(dial_pixmap),
     S(XtRImmediate), UNSPECIFIED},
    {S(VwNdialShadowColor), S("DialShadowColor"), S(XtRPixel), sizeof(Pixel), OFFSET(shadow_color),
     S(XtRCallProc), PROC(defaultBottomShadow)},
    {S(VwNdialTopColor), S("DialTopColor"), S(XtRPixel), sizeof(Pixel), OFFSET(top_color),
     S(XtRCallProc), PROC(defaultTopShadow)},
    {S(VwNdialShadowPixmap), S("DialShadowPixmap"), S(VwRDialShadowPixmap), sizeof(Pixmap),
     OFFSET(shadow_pixmap), S(XtRImmediate), UNSPECIFIED},
    {S(VwNdialFrameColor), S("DialFrameColor"), S(XtRPixel), sizeof(Pixel), OFFSET(frame_color),
     S(XtRCallProc), PROC(defaultForeground)},
    {S(VwNdialFramePixmap), S("DialFramePixmap"), S(VwRDialFramePixmap), sizeof(Pixmap),
     OFFSET(frame_pixmap), S(XtRImmediate), UNSPECIFIED},
    {S(VwNdialScaleColor), S("DialScaleColor"), S(XtRPixel), sizeof(Pixel), OFFSET(scale_color),
     S(XtRCallProc), PROC(defaultForeground)},
    {S(VwNdialPointerColor), S("DialPointerColor"), S(XtRPixel), sizeof(Pixel),
     OFFSET(pointer_color), S(XtRCallProc), PROC(defaultForeground)},
    {S(VwNcursor), S("Cursor"), S(XtRCursor), sizeof(Cursor), OFFSET(cursor), S(XtRString),
     S("exchange")},
    {S(VwNhighlightOnEnter), S("HighlightOnEnter"), S(XtRBoolean), sizeof(Boolean),
     PRIM(highlight_on_enter), S(XtRImmediate), INT_DEFAULT(False)},
    {S(VwNdialType), S("DialType"), S(VwRDialType), sizeof(int), OFFSET(dial_type), S(XtRImmediate),
     INT_DEFAULT(VwINTEGER_ACCUMULATER)},
    {S(VwNprocessingDirection), S("ProcessingDirection"), S(VwRProcessingDirection), sizeof(int),
     OFFSET(processing_direction), S(XtRImmediate), INT_DEFAULT(VwMAX_ON_RIGHT)},
    {S(VwNvalue), S("Value"), S(XtRInt), sizeof(int), OFFSET(value), S(XtRImmediate),
     INT_DEFAULT(0)},
    {S(VwNincValue), S("IncValue"), S(XtRInt), sizeof(int), OFFSET(inc_value), S(XtRImmediate),
     INT_DEFAULT(1)},
    {S(VwNmax), S("Max"), S(XtRInt), sizeof(int), OFFSET(max), S(XtRImmediate), INT_DEFAULT(255)},
    {S(VwNmin), S("Min"), S(XtRInt), sizeof(int), OFFSET(min), S(XtRImmediate), INT_DEFAULT(0)},
    {S(VwNcheckAccumMin), S("CheckAccumMin"), S(XtRBoolean), sizeof(Boolean),
     OFFSET(check_accum_min), S(XtRImmediate), INT_DEFAULT(False)},
    {S(VwNcheckAccumMax), S("CheckAccumMax"), S(XtRBoolean), sizeof(Boolean),
     OFFSET(check_accum_max), S(XtRImmediate), INT_DEFAULT(False)},
    {S(VwNvaluePerRev), S("ValuePerRev"), S(XtRInt), sizeof(int), OFFSET(value_per_rev),
     S(XtRImmediate), INT_DEFAULT(255)},
    {S(VwNscaleInc), S("ScaleInc"), S(XtRInt), sizeof(int), OFFSET(scale_inc), S(XtRImmediate),
     INT_DEFAULT(51)},
    {S(VwNscaleTick), S("ScaleTick"), S(XtRInt), sizeof(int), OFFSET(scale_tick), S(XtRImmediate),
     INT_DEFAULT(128)},
    {S(VwNdecimalPoints), S("DecimalPoints"), S(XtRInt), sizeof(int), OFFSET(decimal_points),
     S(XtRImmediate), INT_DEFAULT(0)},
    {S(VwNscalePosition), S("ScalePosition"), S(VwRScalePosition), sizeof(int),
     OFFSET(scale_position), S(XtRImmediate), INT_DEFAULT(VwSCALE_ON)},
    {S(VwNenterCallback), S(XtCCallback), S(XtRCallback), sizeof(XtCallbackList),
     OFFSET(enter_callback), S(XtRCallback), nullptr},
    {S(VwNleaveCallback), S(XtCCallback), S(XtRCallback), sizeof(XtCallbackList),
     OFFSET(leave_callback), S(XtRCallback), nullptr},
    {S(VwNarmCallback), S(XtCCallback), S(XtRCallback), sizeof(XtCallbackList),
     OFFSET(arm_callback), S(XtRCallback), nullptr},
    {S(VwNdisarmCallback), S(XtCCallback), S(XtRCallback), sizeof(XtCallbackList),
     OFFSET(disarm_callback), S(XtRCallback), nullptr},
    {S(VwNactivateCallback), S(XtCCallback), S(XtRCallback), sizeof(XtCallbackList),
     OFFSET(activate_callback), S(XtRCallback), nullptr},
    {S(VwNdialStyle), S("DialStyle"), S(VwRDialStyle), sizeof(int), OFFSET(dial_style),
     S(XtRImmediate), INT_DEFAULT(VwKNOB)},
    {S(XmNfontList), S(XmCFontList), S(XmRFontList), sizeof(XmFontList), OFFSET(font_list),
     S(XtRImmediate), nullptr},
};

// ---- Actions and translations ----------------------------------------------------------

XtActionsRec actions[] = {
    {S("Activate"), activateAction}, {S("Arm"), armAction},     {S("Disarm"), disarmAction},
    {S("Enter"), enterAction},       {S("Leave"), leaveAction}, {S("Indicate"), indicateAction},
    {S("MoveDial"), moveDialAction},
};

// <Btn1Motion> comes before <Motion>: the first matching line wins.
char defaultTranslations[] =
    "<Btn1Motion>: Activate()\n"
    "<Btn1Down>: Arm()\n"
    "<Btn1Up>: Disarm()\n"
    "<EnterWindow>: Enter()\n"
    "<LeaveWindow>: Leave()\n"
    "<Motion>: Indicate()\n"
    "~Shift ~Ctrl <Key>osfUp: MoveDial(0)\n"
    "~Shift ~Ctrl <Key>osfRight: MoveDial(0)\n"
    "~Shift ~Ctrl <Key>osfDown: MoveDial(1)\n"
    "~Shift ~Ctrl <Key>osfLeft: MoveDial(1)\n"
    "~Shift Ctrl <Key>osfUp: MoveDial(2)\n"
    "~Shift Ctrl <Key>osfRight: MoveDial(2)\n"
    "~Shift Ctrl <Key>osfDown: MoveDial(3)\n"
    "~Shift Ctrl <Key>osfLeft: MoveDial(3)";

}  // namespace

// ---- Class record ------------------------------------------------------------------------

extern "C" {

VwDialClassRec vwDialClassRec = {
    {
        // core_class
        reinterpret_cast<WidgetClass>(&xmPrimitiveClassRec),  // superclass
        S("VwDial"),                                          // class_name
        sizeof(VwDialRec),                                    // widget_size
        classInitialize,                                      // class_initialize
        nullptr,                                              // class_part_initialize
        False,                                                // class_inited
        initialize,                                           // initialize
        nullptr,                                              // initialize_hook
        realize,                                              // realize
        actions,                                              // actions
        XtNumber(actions),                                    // num_actions
        resources,                                            // resources
        XtNumber(resources),                                  // num_resources
        NULLQUARK,                                            // xrm_class
        True,                                                 // compress_motion
        XtExposeCompressMaximal,                              // compress_exposure
        True,                                                 // compress_enterleave
        False,                                                // visible_interest
        destroy,                                              // destroy
        nullptr,                                              // resize: the dial keeps its geometry
        redisplay,                                            // expose
        setValues,                                            // set_values
        nullptr,                                              // set_values_hook
        XtInheritSetValuesAlmost,                             // set_values_almost
        nullptr,                                              // get_values_hook
        nullptr,                                              // accept_focus
        XtVersion,                                            // version
        nullptr,                                              // callback_private
        defaultTranslations,                                  // tm_table
        XtInheritQueryGeometry,                               // query_geometry
        nullptr,                                              // display_accelerator
        nullptr,                                              // extension
    },
    {
        // primitive_class
        XmInheritBorderHighlight,    // border_highlight
        XmInheritBorderUnhighlight,  // border_unhighlight
        nullptr,                     // translations: the dial's own table only
        nullptr,                     // arm_and_activate
        nullptr,                     // syn_resources
        0,                           // num_syn_resources
        nullptr,                     // extension
    },
    {
        // dial_class
        nullptr,  // extension
    },
};

WidgetClass vwDialWidgetClass = reinterpret_cast<WidgetClass>(&vwDialClassRec);

}  // extern "C"

namespace {

using vwdial::Params;

// ---- Helpers -----------------------------------------------------------------------------

Params paramsOf(const VwDialPart& d) {
  Params p;
  p.type = d.dial_type;
  p.direction = d.processing_direction;
  p.min = d.dmin;
  p.max = d.dmax;
  p.valuePerRev = d.dvalue_per_rev;
  p.checkMin = d.check_accum_min;
  p.checkMax = d.check_accum_max;
  p.decimals = d.decimal_points;
  return p;
}

bool isRealType(int type) {
  return type == VwREAL_ACCUMULATER || type == VwREAL_VALUATOR;
}

// Derives the doubles from the integer resources, clamps the value and sets the angle.
void computeValues(Widget w) {
  VwDialPart& d = part(w);
  Params p;
  p.type = d.dial_type;
  p.checkMin = d.check_accum_min;
  p.checkMax = d.check_accum_max;
  p.min = d.min;
  p.max = d.max;
  d.value = static_cast<int>(vwdial::clampValue(p, d.value));
  double s = isRealType(d.dial_type) ? vwdial::scaleOf(d.decimal_points) : 1;
  d.dvalue = d.value / s;
  d.dinc = d.inc_value / s;
  d.dmax = d.max / s;
  d.dmin = d.min / s;
  d.dscale_inc = d.scale_inc / s;
  d.dscale_tick = d.scale_tick / s;
  d.dvalue_per_rev = d.value_per_rev / s;
  d.angle = vwdial::valueToAngle(paramsOf(d), d.dvalue);
}

// The arithmetic's own names for the dial types and directions are the public values.
constexpr bool same(int mathValue, int publicValue) {
  return mathValue == publicValue;
}
static_assert(same(vwdial::kIntAccumulator, VwINTEGER_ACCUMULATER) &&
                  same(vwdial::kRealAccumulator, VwREAL_ACCUMULATER) &&
                  same(vwdial::kIntValuator, VwINTEGER_VALUATOR) &&
                  same(vwdial::kRealValuator, VwREAL_VALUATOR),
              "dial types differ between the widget and its arithmetic");
static_assert(same(vwdial::kMaxOnTop, VwMAX_ON_TOP) &&
                  same(vwdial::kMaxOnBottom, VwMAX_ON_BOTTOM) &&
                  same(vwdial::kMaxOnLeft, VwMAX_ON_LEFT) &&
                  same(vwdial::kMaxOnRight, VwMAX_ON_RIGHT),
              "directions differ between the widget and its arithmetic");

// One enumerated resource: where it is, what it may be, and what stands in at creation.
struct Enumerated {
  const char* name;
  int VwDialPart::*field;
  bool (*valid)(int);
  int fallback;
  const char* fallbackName;
};

const Enumerated kEnumerated[] = {
    {"dial_type", &VwDialPart::dial_type,
     [](int v) { return v >= VwINTEGER_ACCUMULATER && v <= VwREAL_VALUATOR; },
     VwINTEGER_ACCUMULATER, "INTEGER_ACCUMULATER"},
    // The dial sweeps left to right only.
    {"processing_direction", &VwDialPart::processing_direction,
     [](int v) { return v == VwMAX_ON_LEFT || v == VwMAX_ON_RIGHT; }, VwMAX_ON_RIGHT,
     "MAX_ON_RIGHT"},
    {"scale_position", &VwDialPart::scale_position,
     [](int v) { return v >= VwSCALE_OFF && v <= VwSCALE_ON; }, VwSCALE_ON, "SCALE_ON"},
    // "dialStyle" needs none: any value but VwKNOB is the flat dial.
};

// Brings the enumerated resources and the radii to values the dial can draw and compute with,
// at creation (old null) and after set-values. A widget library must not end its host: a bad
// value is warned about and replaced, at creation by the default, after set-values by the
// value the dial had, so that a bad change changes nothing. A radius of 0 means the default.
void normalise(Widget w, const VwDialPart* old) {
  VwDialPart& d = part(w);
  for (const Enumerated& e : kEnumerated) {
    if (e.valid(d.*e.field)) continue;
    char text[128];
    std::snprintf(text, sizeof text, "VwDial: invalid %s %d; using %s", e.name, d.*e.field,
                  old ? "the previous value" : e.fallbackName);
    XtAppWarningMsg(XtWidgetToApplicationContext(w), "invalidValue", "VwDial", "VwDial", text,
                    nullptr, nullptr);
    d.*e.field = old ? old->*e.field : e.fallback;
  }
  if (d.radius == 0) d.radius = 40;
  if (d.shadow_radius == 0) d.shadow_radius = 40;
}

GC makeGC(Widget w, Pixel color, Pixmap tile, int lineWidth, Font font) {
  XGCValues v;
  XtGCMask mask = GCForeground | GCBackground | GCLineWidth;
  v.foreground = color;
  v.background = w->core.background_pixel;
  v.line_width = lineWidth;
  if (tile != XmUNSPECIFIED_PIXMAP && tile != None) {
    v.fill_style = FillTiled;
    v.tile = tile;
    mask |= GCFillStyle | GCTile;
  }
  if (font) {
    v.font = font;
    mask |= GCFont;
  }
  return XtGetGC(w, mask, &v);
}

void releaseGC(Widget w, GC* gc) {
  if (*gc) XtReleaseGC(w, *gc);
  *gc = nullptr;
}

// Makes every GC that is missing (all at creation; the replaced ones after set-values).
void makeGCs(Widget w) {
  VwDialPart& d = part(w);
  if (!d.base_gc) d.base_gc = makeGC(w, d.base_color, d.base_pixmap, 0, 0);
  if (!d.highlight_gc) d.highlight_gc = makeGC(w, d.highlight_color, d.highlight_pixmap, 0, 0);
  if (!d.dial_gc) d.dial_gc = makeGC(w, d.dial_color, d.dial_pixmap, 3, 0);
  if (!d.shadow_gc) d.shadow_gc = makeGC(w, d.shadow_color, d.shadow_pixmap, 0, 0);
  if (!d.frame_gc) d.frame_gc = makeGC(w, d.frame_color, d.frame_pixmap, 0, 0);
  if (!d.scale_gc) d.scale_gc = makeGC(w, d.scale_color, None, 0, d.font ? d.font->fid : 0);
  if (!d.pointer_gc) d.pointer_gc = makeGC(w, d.pointer_color, None, 3, 0);
  if (!d.top_gc) d.top_gc = makeGC(w, d.top_color, None, 0, 0);
}

void releaseGCs(Widget w) {
  VwDialPart& d = part(w);
  for (GC* gc : {&d.base_gc, &d.highlight_gc, &d.dial_gc, &d.shadow_gc, &d.frame_gc, &d.scale_gc,
                 &d.pointer_gc, &d.top_gc})
    releaseGC(w, gc);
}

// The label font: the first font of the font list, else "fixed".
void loadFont(Widget w) {
  VwDialPart& d = part(w);
  d.font = nullptr;
  d.font_loaded = False;
  XmFontContext context;
  if (d.font_list && XmFontListInitFontContext(&context, d.font_list)) {
    XmFontListEntry entry = XmFontListNextEntry(context);
    XmFontType type;
    if (entry) {
      XtPointer font = XmFontListEntryGetFont(entry, &type);
      if (font && type == XmFONT_IS_FONT) d.font = static_cast<XFontStruct*>(font);
    }
    XmFontListFreeFontContext(context);
  }
  if (!d.font) {
    d.font = XLoadQueryFont(XtDisplay(w), "fixed");
    d.font_loaded = d.font != nullptr;
  }
}

bool drawable(Widget w) {
  return XtIsRealized(w) && XtWindow(w);
}

void point(const VwDialPart& d, double angle, double distance, int* x, int* y) {
  double px, py;
  vwdial::pointAt(d.center_x, d.center_y, angle, distance, &px, &py);
  *x = static_cast<int>(px);
  *y = static_cast<int>(py);
}

void drawScale(Widget w) {
  VwDialPart& d = part(w);
  if (d.scale_position == VwSCALE_OFF) return;
  Display* dpy = XtDisplay(w);
  Window win = XtWindow(w);
  Params p = paramsOf(d);
  for (double a : vwdial::tickAngles(p, d.dscale_inc)) {
    int x1, y1, x2, y2;
    point(d, a, d.scale_offset, &x1, &y1);
    point(d, a, d.scale_offset + d.scale_length, &x2, &y2);
    XDrawLine(dpy, win, d.scale_gc, x1, y1, x2, y2);
  }
  if (vwdial::isAccumulator(d.dial_type) || !d.font) return;
  // The label at each end of the sweep shows the value the pointer has there.
  bool maxOnRight = d.processing_direction == VwMAX_ON_RIGHT;
  struct {
    double angle;
    double value;
  } const labels[] = {{225, maxOnRight ? d.dmin : d.dmax}, {135, maxOnRight ? d.dmax : d.dmin}};
  int decimals = d.decimal_points < 0 ? 0 : d.decimal_points > 15 ? 15 : d.decimal_points;
  for (const auto& label : labels) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, label.value);
    int len = static_cast<int>(std::strlen(text));
    int x, y;
    point(d, label.angle, d.scale_offset + d.scale_length, &x, &y);
    int push = d.font->ascent + d.font->descent;
    if (d.dial_style == VwFLAT) push *= 2;
    XDrawString(dpy, win, d.scale_gc, x - XTextWidth(d.font, text, len) / 2, y + push, text, len);
  }
}

// The knob's three faces for an angle: two sides meeting at the tip, and the back.
void knobFaces(const VwDialPart& d, double angle, XPoint faces[3][3]) {
  int tx, ty, rx, ry, bx, by, lx, ly;
  double quarter = d.radius / 4.0;
  point(d, angle, d.radius, &tx, &ty);
  point(d, angle + 90, quarter, &rx, &ry);
  point(d, angle + 180, quarter, &bx, &by);
  point(d, angle + 270, quarter, &lx, &ly);
  auto p = [](int x, int y) { return XPoint{static_cast<short>(x), static_cast<short>(y)}; };
  XPoint left[3] = {p(tx, ty), p(lx, ly), p(bx, by)};
  XPoint right[3] = {p(tx, ty), p(rx, ry), p(bx, by)};
  XPoint back[3] = {p(lx, ly), p(bx, by), p(rx, ry)};
  std::memcpy(faces[0], left, sizeof left);
  std::memcpy(faces[1], right, sizeof right);
  std::memcpy(faces[2], back, sizeof back);
}

void drawPointer(Widget w, bool erase) {
  VwDialPart& d = part(w);
  Display* dpy = XtDisplay(w);
  Window win = XtWindow(w);
  if (d.dial_style != VwKNOB) {
    int x1, y1, x2, y2;
    double inner = static_cast<double>(d.radius) - d.frame_thickness - d.pointer_length - 3;
    double outer = static_cast<double>(d.radius) - d.frame_thickness - 3;
    point(d, d.angle, inner, &x1, &y1);
    point(d, d.angle, outer, &x2, &y2);
    XDrawLine(dpy, win, erase ? d.dial_gc : d.pointer_gc, x1, y1, x2, y2);
    return;
  }
  XPoint faces[3][3];
  knobFaces(d, d.angle, faces);
  if (erase) {
    for (auto& face : faces) XFillPolygon(dpy, win, d.base_gc, face, 3, Convex, CoordModeOrigin);
    drawScale(w);
    return;
  }
  // Lit from above: the side facing up is highlighted, the one facing down shaded; which side
  // that is depends on the 90-degree sector the pointer is in.
  double a = std::fmod(std::fmod(d.angle, 360) + 360, 360);
  GC left, right, back;
  if (a >= 315 || a < 45) {
    left = d.highlight_gc, right = d.top_gc, back = d.shadow_gc;
  } else if (a < 135) {
    left = d.highlight_gc, right = d.shadow_gc, back = d.top_gc;
  } else if (a < 225) {
    left = d.shadow_gc, right = d.top_gc, back = d.highlight_gc;
  } else {
    left = d.shadow_gc, right = d.highlight_gc, back = d.top_gc;
  }
  XFillPolygon(dpy, win, back, faces[2], 3, Convex, CoordModeOrigin);
  XFillPolygon(dpy, win, left, faces[0], 3, Convex, CoordModeOrigin);
  XFillPolygon(dpy, win, right, faces[1], 3, Convex, CoordModeOrigin);
}

void drawHighlight(Widget w, bool on) {
  VwDialPart& d = part(w);
  Dimension t = reinterpret_cast<VwDialWidget>(w)->primitive.highlight_thickness;
  Boolean onEnter = reinterpret_cast<VwDialWidget>(w)->primitive.highlight_on_enter;
  if (!drawable(w) || (!onEnter && t == 0)) return;
  int width = w->core.width, height = w->core.height;
  XRectangle edges[4] = {
      {0, 0, static_cast<unsigned short>(width), t},
      {0, static_cast<short>(height - t), static_cast<unsigned short>(width), t},
      {0, 0, t, static_cast<unsigned short>(height)},
      {static_cast<short>(width - t), 0, t, static_cast<unsigned short>(height)}};
  XFillRectangles(XtDisplay(w), XtWindow(w), on ? d.highlight_gc : d.base_gc, edges, 4);
}

void drawAll(Widget w) {
  if (!drawable(w)) {
    std::fprintf(stderr, "%s : %s \n", "VwDial", "not realized");
    return;
  }
  VwDialPart& d = part(w);
  Display* dpy = XtDisplay(w);
  Window win = XtWindow(w);
  XFillRectangle(dpy, win, d.base_gc, 0, 0, w->core.width, w->core.height);
  if (d.dial_style != VwKNOB) {
    int sr = d.shadow_radius, r = d.radius;
    XFillArc(dpy, win, d.shadow_gc, d.shadow_center_x - sr, d.shadow_center_y - sr,
             static_cast<unsigned>(2 * sr), static_cast<unsigned>(2 * sr), 0, 360 * 64);
    XFillArc(dpy, win, d.dial_gc, d.center_x - r, d.center_y - r, static_cast<unsigned>(2 * r),
             static_cast<unsigned>(2 * r), 0, 360 * 64);
    for (int i = 0; i < d.frame_thickness; ++i) {
      int fr = r + 2 - i;
      if (fr <= 0) break;
      XDrawArc(dpy, win, d.frame_gc, d.center_x - fr, d.center_y - fr,
               static_cast<unsigned>(2 * fr), static_cast<unsigned>(2 * fr), 0, 360 * 64);
    }
  }
  drawScale(w);
  drawPointer(w, false);
}

// Calls a callback list with a null widget, as the dial's receivers expect; the widget is in
// the data.
void callList(Widget w, const char* list, int reason, XEvent* event, bool onlyIfAny) {
  if (onlyIfAny) {
    if (XtHasCallbacks(w, const_cast<char*>(list)) != XtCallbackHasSome) return;
    XFlush(XtDisplay(w));
  }
  VwDialPart& d = part(w);
  VwDialCallbackStruct data{};
  data.reason = reason;
  data.event = event;
  data.widget = w;
  data.dialType = d.dial_type;
  if (isRealType(d.dial_type))
    data.dvalue = d.dvalue;
  else
    data.ivalue = static_cast<int>(d.dvalue);
  XtCallbackList callbacks = nullptr;
  XtVaGetValues(w, list, &callbacks, nullptr);
  // Copy the list first: a callback may change or destroy it.
  int n = 0;
  while (callbacks && callbacks[n].callback) ++n;
  std::vector<XtCallbackRec> copy(callbacks, callbacks + n);
  for (const XtCallbackRec& cb : copy) cb.callback(nullptr, cb.closure, &data);
}

void grabPoint(const VwDialPart& d, double* x, double* y) {
  double distance = static_cast<double>(d.radius) - d.frame_thickness - d.pointer_length / 2.0 - 3;
  vwdial::pointAt(d.center_x, d.center_y, d.angle, distance, x, y);
}

bool eventPoint(XEvent* event, int* x, int* y) {
  if (!event) return false;
  switch (event->type) {
    case ButtonPress:
    case ButtonRelease:
      *x = event->xbutton.x, *y = event->xbutton.y;
      return true;
    case MotionNotify:
      *x = event->xmotion.x, *y = event->xmotion.y;
      return true;
    case EnterNotify:
    case LeaveNotify:
      *x = event->xcrossing.x, *y = event->xcrossing.y;
      return true;
    default:
      return false;
  }
}

// Moves the pointer to a new value and angle, redrawing it.
void moveTo(Widget w, double value, double angle) {
  VwDialPart& d = part(w);
  if (drawable(w)) drawPointer(w, true);
  d.dvalue = value;
  d.angle = angle;
  d.value = vwdial::resourceValue(paramsOf(d), value);
  if (drawable(w)) {
    if (d.dial_style == VwKNOB) drawScale(w);
    drawPointer(w, false);
  }
}

// ---- Class methods -------------------------------------------------------------------------

void classInitialize() {
  VwRegisterConverters();
}

void initialize(Widget request, Widget w, ArgList, Cardinal*) {
  VwDialPart& d = part(w);
  normalise(w, nullptr);
  if (d.scale_position == VwSCALE_ON && d.scale_length == 0) d.scale_length = 5;
  // The request, not the widget: the primitive's initialise has already given it a size.
  if (request->core.width == 0) w->core.width = static_cast<Dimension>(std::max(1, 2 * d.center_x));
  if (request->core.height == 0)
    w->core.height = static_cast<Dimension>(std::max(1, 2 * d.center_y));
  d.base_gc = d.highlight_gc = d.dial_gc = d.shadow_gc = nullptr;
  d.frame_gc = d.scale_gc = d.pointer_gc = d.top_gc = nullptr;
  d.grab_state = VwDIAL_RELEASED;
  loadFont(w);
  makeGCs(w);
  computeValues(w);
}

void realize(Widget w, XtValueMask* mask, XSetWindowAttributes* attrs) {
  VwDialPart& d = part(w);
  makeGCs(w);
  // Key, button and motion events stay with the dial.
  attrs->do_not_propagate_mask =
      KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
  *mask |= CWDontPropagate;
  if (d.cursor) {
    attrs->cursor = d.cursor;
    *mask |= CWCursor;
  }
  if (d.base_pixmap != XmUNSPECIFIED_PIXMAP && d.base_pixmap != None) {
    attrs->background_pixmap = d.base_pixmap;
    *mask = (*mask & ~CWBackPixel) | CWBackPixmap;
  } else {
    attrs->background_pixel = d.base_color;
    *mask = (*mask & ~CWBackPixmap) | CWBackPixel;
  }
  XtCreateWindow(w, InputOutput, CopyFromParent, *mask, attrs);
}

void redisplay(Widget w, XEvent*, Region) {
  drawAll(w);
}

Boolean setValues(Widget oldW, Widget, Widget w, ArgList, Cardinal*) {
  VwDialPart& o = part(oldW);
  VwDialPart& d = part(w);
  Boolean redraw = False;
  normalise(w, &o);
  if (d.center_x != o.center_x || d.center_y != o.center_y ||
      d.shadow_center_x != o.shadow_center_x || d.shadow_center_y != o.shadow_center_y ||
      d.radius != o.radius || d.shadow_radius != o.shadow_radius ||
      d.scale_length != o.scale_length || d.scale_offset != o.scale_offset ||
      d.pointer_length != o.pointer_length || d.frame_thickness != o.frame_thickness ||
      d.dial_style != o.dial_style || d.scale_position != o.scale_position ||
      d.processing_direction != o.processing_direction)
    redraw = True;
  // A changed colour or pixmap replaces its GC.
  struct Pair {
    bool changed;
    GC* gc;
  } const gcs[] = {
      {d.base_color != o.base_color || d.base_pixmap != o.base_pixmap, &d.base_gc},
      {d.highlight_color != o.highlight_color || d.highlight_pixmap != o.highlight_pixmap,
       &d.highlight_gc},
      {d.dial_color != o.dial_color || d.dial_pixmap != o.dial_pixmap, &d.dial_gc},
      {d.shadow_color != o.shadow_color || d.shadow_pixmap != o.shadow_pixmap, &d.shadow_gc},
      {d.frame_color != o.frame_color || d.frame_pixmap != o.frame_pixmap, &d.frame_gc},
      {d.scale_color != o.scale_color || d.font_list != o.font_list, &d.scale_gc},
      {d.pointer_color != o.pointer_color, &d.pointer_gc},
      {d.top_color != o.top_color, &d.top_gc},
  };
  if (d.font_list != o.font_list) {
    if (o.font_loaded && o.font) XFreeFont(XtDisplay(w), o.font);
    loadFont(w);
  }
  for (const Pair& p : gcs) {
    if (!p.changed) continue;
    releaseGC(w, p.gc);
    redraw = True;
  }
  makeGCs(w);
  if (drawable(w) && (d.base_color != o.base_color || d.base_pixmap != o.base_pixmap)) {
    if (d.base_pixmap != XmUNSPECIFIED_PIXMAP && d.base_pixmap != None)
      XSetWindowBackgroundPixmap(XtDisplay(w), XtWindow(w), d.base_pixmap);
    else
      XSetWindowBackground(XtDisplay(w), XtWindow(w), d.base_color);
  }
  if (d.value != o.value || d.min != o.min || d.max != o.max || d.inc_value != o.inc_value ||
      d.scale_inc != o.scale_inc || d.scale_tick != o.scale_tick ||
      d.value_per_rev != o.value_per_rev || d.decimal_points != o.decimal_points ||
      d.dial_type != o.dial_type || d.check_accum_min != o.check_accum_min ||
      d.check_accum_max != o.check_accum_max || d.processing_direction != o.processing_direction) {
    computeValues(w);
    redraw = True;
  }
  return redraw;
}

void destroy(Widget w) {
  VwDialPart& d = part(w);
  for (const char* list :
       {VwNenterCallback, VwNleaveCallback, VwNarmCallback, VwNdisarmCallback, VwNactivateCallback})
    XtRemoveAllCallbacks(w, const_cast<char*>(list));
  releaseGCs(w);
  if (d.font_loaded && d.font) XFreeFont(XtDisplay(w), d.font);
  d.font = nullptr;
}

// ---- Actions -------------------------------------------------------------------------------

void armAction(Widget w, XEvent* event, String*, Cardinal*) {
  VwDialPart& d = part(w);
  int x, y;
  double gx, gy;
  grabPoint(d, &gx, &gy);
  if (eventPoint(event, &x, &y) && vwdial::nearGrabPoint(x, y, gx, gy, d.pointer_length)) {
    d.grab_state = VwDIAL_GRABBED;
    callList(w, VwNarmCallback, VwCR_ARM, event, true);
  } else {
    d.grab_state = VwDIAL_RELEASED;
  }
}

void activateAction(Widget w, XEvent* event, String*, Cardinal*) {
  VwDialPart& d = part(w);
  int x, y;
  if (d.grab_state != VwDIAL_GRABBED || !eventPoint(event, &x, &y)) return;
  vwdial::Drag drag = vwdial::dragTo(paramsOf(d), d.center_x, d.center_y, x, y, d.angle, d.dvalue);
  moveTo(w, drag.value, drag.angle);
  callList(w, VwNactivateCallback, VwCR_ACTIVATE, event, true);
}

void disarmAction(Widget w, XEvent* event, String*, Cardinal*) {
  VwDialPart& d = part(w);
  if (d.grab_state != VwDIAL_GRABBED) return;
  d.grab_state = VwDIAL_RELEASED;
  callList(w, VwNdisarmCallback, VwCR_DISARM, event, true);
}

void enterAction(Widget w, XEvent* event, String*, Cardinal*) {
  drawHighlight(w, true);
  callList(w, VwNenterCallback, VwCR_ENTER, event, true);
}

void leaveAction(Widget w, XEvent* event, String*, Cardinal*) {
  drawHighlight(w, false);
  callList(w, VwNleaveCallback, VwCR_LEAVE, event, true);
}

void indicateAction(Widget w, XEvent* event, String*, Cardinal*) {
  VwDialPart& d = part(w);
  int x, y;
  double gx, gy;
  if (!drawable(w) || !eventPoint(event, &x, &y)) return;
  grabPoint(d, &gx, &gy);
  if (vwdial::nearGrabPoint(x, y, gx, gy, d.pointer_length))
    XDefineCursor(XtDisplay(w), XtWindow(w), d.cursor);
  else
    XUndefineCursor(XtDisplay(w), XtWindow(w));
}

void moveDialAction(Widget w, XEvent* event, String* params, Cardinal* n) {
  VwDialPart& d = part(w);
  int arg = (*n >= 1 && params[0]) ? std::atoi(params[0]) : 0;
  Params p = paramsOf(d);
  double value = vwdial::keyboardStep(p, d.dvalue, arg);
  moveTo(w, value, vwdial::valueToAngle(p, value));
  callList(w, VwNdisarmCallback, VwCR_DISARM, event, false);
}

// ---- Default procedures --------------------------------------------------------------------

void answer(XrmValue* value, Pixel pixel) {
  static Pixel stored;
  stored = pixel;
  value->addr = reinterpret_cast<XPointer>(&stored);
  value->size = sizeof stored;
}

void motifColors(Widget w, Pixel* fg, Pixel* top, Pixel* bottom, Pixel* select) {
  XmGetColors(XtScreen(w), w->core.colormap, w->core.background_pixel, fg, top, bottom, select);
}

void defaultBackground(Widget w, int, XrmValue* value) {
  answer(value, w->core.background_pixel);
}

void defaultForeground(Widget w, int, XrmValue* value) {
  Pixel fg, top, bottom, select;
  motifColors(w, &fg, &top, &bottom, &select);
  answer(value, fg);
}

void defaultTopShadow(Widget w, int, XrmValue* value) {
  Pixel fg, top, bottom, select;
  motifColors(w, &fg, &top, &bottom, &select);
  answer(value, top);
}

void defaultBottomShadow(Widget w, int, XrmValue* value) {
  Pixel fg, top, bottom, select;
  motifColors(w, &fg, &top, &bottom, &select);
  answer(value, bottom);
}

void defaultSelect(Widget w, int, XrmValue* value) {
  Pixel fg, top, bottom, select;
  motifColors(w, &fg, &top, &bottom, &select);
  answer(value, select);
}

}  // namespace

// ---- Create function -------------------------------------------------------------------------

extern "C" Widget VwCreateDial(Widget parent, String name, ArgList args, Cardinal n) {
  return XtCreateWidget(name, vwDialWidgetClass, parent, args, n);
}

extern "C" void VwGetDialValue(Widget w, VwDialCallbackStruct* out) {
  if (!w || !out || !XtIsSubclass(w, vwDialWidgetClass)) return;
  XFlush(XtDisplay(w));
  VwDialPart& d = part(w);
  *out = VwDialCallbackStruct{};
  out->reason = 0;
  out->event = nullptr;
  out->widget = w;
  out->dialType = d.dial_type;
  if (isRealType(d.dial_type))
    out->dvalue = d.dvalue;
  else
    out->ivalue = static_cast<int>(d.dvalue);
}
