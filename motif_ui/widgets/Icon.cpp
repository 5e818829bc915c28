// XmIcon: the tool-tip push button. Resources, actions and translations, the class record,
// the class methods, the actions, the tip's display and leave check, and the create function.
#include <X11/IntrinsicP.h>
#include <X11/Shell.h>
#include <Xm/Frame.h>
#include <Xm/Label.h>
#include <Xm/XmP.h>

#include "ui/IconP.h"

namespace {

// ---- Declarations ------------------------------------------------------------------------

void initialize(Widget request, Widget w, ArgList args, Cardinal* n);
Boolean setValues(Widget old, Widget request, Widget w, ArgList args, Cardinal* n);
void destroy(Widget w);
void displayLabelAction(Widget w, XEvent* event, String* params, Cardinal* n);
void undisplayLabelAction(Widget w, XEvent* event, String* params, Cardinal* n);
void displayTimeout(XtPointer data, XtIntervalId* id);
void leaveCheck(XtPointer data, XtIntervalId* id);
void exportTipString(Widget w, int offset, XtArgVal* value);

XmIconPart& part(Widget w) {
  return reinterpret_cast<XmIconWidget>(w)->icon;
}

#define S(text) const_cast<char*>(text)
#define OFFSET(field) XtOffsetOf(XmIconRec, icon.field)

// ---- Resources ---------------------------------------------------------------------------

XtResource resources[] = {
    {XmNdisplayDelay, XmCDisplayDelay, S(XtRInt), sizeof(int), OFFSET(display_delay),
     S(XtRImmediate), reinterpret_cast<XtPointer>(10)},
    {XmNdisplayPlacement, XmCDisplayPlacement, S(XtRInt), sizeof(int), OFFSET(display_placement),
     S(XtRImmediate), reinterpret_cast<XtPointer>(10)},
    {XmNshowLabel, XmCShowLabel, S(XtRBoolean), sizeof(Boolean), OFFSET(show_label),
     S(XtRImmediate), reinterpret_cast<XtPointer>(True)},
    {XmNlabelForegroundColor, S(XtCForeground), S(XtRPixel), sizeof(Pixel),
     OFFSET(label_foreground), S(XtRString), S("black")},
    {XmNtipString, XmCTipString, S(XmRXmString), sizeof(XmString), OFFSET(tip_string),
     S(XtRImmediate), nullptr},
};

// XtGetValues of the tip's text hands back a copy, as the label string does.
XmSyntheticResource synResources[] = {
    {XmNtipString, sizeof(XmString), OFFSET(tip_string), exportTipString, nullptr},
};

// ---- Actions and translations ----------------------------------------------------------------

XtActionsRec actions[] = {
    {S("DisplayLabel"), displayLabelAction},
    {S("UndisplayLabel"), undisplayLabelAction},
};

// Replaces the push button's own handling of these three events.
const char kTranslations[] =
    "#override    <EnterWindow>: DisplayLabel() Enter() \n"
    "   <LeaveWindow>: UndisplayLabel() Leave() \n"
    "   <Btn2Down>:    UndisplayLabel() ProcessDrag() \n";

}  // namespace

// ---- Class record -------------------------------------------------------------------------------

extern "C" {

XmIconClassRec xmIconClassRec = {
    {
        // core_class
        reinterpret_cast<WidgetClass>(&xmPushButtonClassRec),  // superclass
        S("XmIcon"),                                           // class_name
        sizeof(XmIconRec),                                     // widget_size
        nullptr,                                               // class_initialize
        nullptr,                                               // class_part_initialize
        False,                                                 // class_inited
        initialize,                                            // initialize
        nullptr,                                               // initialize_hook
        XtInheritRealize,                                      // realize
        actions,                                               // actions
        XtNumber(actions),                                     // num_actions
        resources,                                             // resources
        XtNumber(resources),                                   // num_resources
        NULLQUARK,                                             // xrm_class
        True,                                                  // compress_motion
        XtExposeCompressMaximal,                               // compress_exposure
        True,                                                  // compress_enterleave
        False,                                                 // visible_interest
        destroy,                                               // destroy: pending timers go
        XtInheritResize,                                       // resize
        XtInheritExpose,                                       // expose
        setValues,                                             // set_values
        nullptr,                                               // set_values_hook
        XtInheritSetValuesAlmost,                              // set_values_almost
        nullptr,                                               // get_values_hook
        XtInheritAcceptFocus,                                  // accept_focus
        XtVersion,                                             // version
        nullptr,                                               // callback_private
        XtInheritTranslations,                                 // tm_table: the push button's
        XtInheritQueryGeometry,                                // query_geometry
        XtInheritDisplayAccelerator,                           // display_accelerator
        nullptr,                                               // extension
    },
    {
        // primitive_class
        XmInheritBorderHighlight,    // border_highlight
        XmInheritBorderUnhighlight,  // border_unhighlight
        XtInheritTranslations,       // translations
        XmInheritArmAndActivate,     // arm_and_activate
        synResources,                // syn_resources: the tip string's copy
        XtNumber(synResources),      // num_syn_resources
        nullptr,                     // extension
    },
    {
        // label_class
        XmInheritSetOverrideCallback,  // setOverrideCallback
        XmInheritMenuProc,             // menuProcs
        XtInheritTranslations,         // translations
        nullptr,                       // extension
    },
    {
        // pushbutton_class
        nullptr,  // extension
    },
    {
        // icon_class
        nullptr,  // extension
    },
};

WidgetClass xmIconWidgetClass = reinterpret_cast<WidgetClass>(&xmIconClassRec);

}  // extern "C"

namespace {

// ---- Class methods ---------------------------------------------------------------------------

void initialize(Widget, Widget w, ArgList, Cardinal*) {
  XmIconPart& p = part(w);
  p.label = nullptr;
  p.shell = nullptr;
  p.display_timer = 0;
  p.leave_timer = 0;
  // The caller's string (or a converter's) is not ours to keep.
  if (p.tip_string) p.tip_string = XmStringCopy(p.tip_string);
  static XtTranslations table = XtParseTranslationTable(kTranslations);
  XtOverrideTranslations(w, table);
}

// The text the tip shows: its own string when it has one, else the button's label (a copy the
// caller frees).
XmString tipText(Widget w) {
  XmIconPart& p = part(w);
  if (p.tip_string) return XmStringCopy(p.tip_string);
  XmString text = nullptr;
  XtVaGetValues(w, XmNlabelString, &text, nullptr);
  return text;
}

void showTipText(Widget w) {
  XmIconPart& p = part(w);
  if (!p.label) return;
  XmString text = tipText(w);
  XtVaSetValues(p.label, XmNlabelString, text, XmNrecomputeSize, True, nullptr);
  if (text) XmStringFree(text);
}

Boolean setValues(Widget oldW, Widget, Widget w, ArgList, Cardinal*) {
  XmIconPart& p = part(w);
  XmIconPart& o = part(oldW);
  Boolean redisplay = False;
  if (p.label_foreground != o.label_foreground && p.label)
    XtVaSetValues(p.label, XmNforeground, p.label_foreground, nullptr);
  bool tipChanged = false;
  if (p.tip_string != o.tip_string) {
    // Xt has already stored the caller's pointer over the copy we own.
    if (o.tip_string) XmStringFree(o.tip_string);
    if (p.tip_string) p.tip_string = XmStringCopy(p.tip_string);
    tipChanged = true;
  }
  auto* now = reinterpret_cast<XmIconWidget>(w);
  auto* was = reinterpret_cast<XmIconWidget>(oldW);
  bool labelChanged = now->label._label != was->label._label;
  if (tipChanged || (labelChanged && !p.tip_string)) showTipText(w);
  if (labelChanged) redisplay = True;
  return redisplay;
}

void removeTimer(XtIntervalId* id) {
  if (*id) XtRemoveTimeOut(*id);
  *id = 0;
}

// A timer must not fire on a freed widget.
void destroy(Widget w) {
  XmIconPart& p = part(w);
  removeTimer(&p.display_timer);
  removeTimer(&p.leave_timer);
  if (p.tip_string) XmStringFree(p.tip_string);
  p.tip_string = nullptr;
}

void exportTipString(Widget w, int offset, XtArgVal* value) {
  XmString s = *reinterpret_cast<XmString*>(reinterpret_cast<char*>(w) + offset);
  *value = reinterpret_cast<XtArgVal>(s ? XmStringCopy(s) : nullptr);
}

// ---- Actions -------------------------------------------------------------------------------

void displayLabelAction(Widget w, XEvent*, String*, Cardinal*) {
  XmIconPart& p = part(w);
  if (!p.show_label) return;
  removeTimer(&p.display_timer);
  p.display_timer = XtAppAddTimeOut(
      XtWidgetToApplicationContext(w),
      static_cast<unsigned long>(p.display_delay > 0 ? p.display_delay : 0), displayTimeout, w);
}

void undisplay(Widget w) {
  XmIconPart& p = part(w);
  if (p.display_timer) {
    removeTimer(&p.display_timer);  // the tip was never shown
  } else if (p.shell) {
    XtPopdown(p.shell);
  }
  removeTimer(&p.leave_timer);
}

void undisplayLabelAction(Widget w, XEvent*, String*, Cardinal*) {
  undisplay(w);
}

// ---- The tip -----------------------------------------------------------------------------------

void makeTip(Widget w) {
  XmIconPart& p = part(w);
  Dimension shadow = 0;
  XmFontList fonts = nullptr;
  XtVaGetValues(w, XmNshadowThickness, &shadow, XmNfontList, &fonts, nullptr);
  XmString text = tipText(w);
  Pixel white = WhitePixelOfScreen(XtScreen(w));
  p.shell = XtVaCreatePopupShell("shell", overrideShellWidgetClass, w, XmNborderWidth, 0, nullptr);
  Widget frame = XtVaCreateManagedWidget("label_frame", xmFrameWidgetClass, p.shell,
                                         XmNshadowThickness, shadow, XmNshadowType,
                                         XmSHADOW_ETCHED_OUT, XmNbackground, white, nullptr);
  p.label = XtVaCreateManagedWidget(XtName(w), xmLabelWidgetClass, frame, XmNlabelString, text,
                                    XmNfontList, fonts, XmNbackground, white, XmNforeground,
                                    p.label_foreground, nullptr);
  if (text) XmStringFree(text);
}

// The placement rules (in displayTimeout) put a tip placed above over the button's top rows
// (it is pushed down by half its own height), and a tip to the left or right over the border. A tip
// over the button takes the pointer off it: the tip goes, the pointer is back on the button, the
// tip comes back. So a tip that would meet the button's outer edge (border included) is moved away
// from it in its placement's direction, just far enough.
void keepOffTheButton(Widget w, int placement, int* x, int* y) {
  XmIconPart& p = part(w);
  Dimension tipWidth = 0, tipHeight = 0, tipBorder = 0;
  XtVaGetValues(p.shell, XmNwidth, &tipWidth, XmNheight, &tipHeight, XmNborderWidth, &tipBorder,
                nullptr);
  int tw = tipWidth + 2 * tipBorder, th = tipHeight + 2 * tipBorder;
  int wx = 0, wy = 0;
  Window child;
  XTranslateCoordinates(XtDisplay(w), XtWindow(w), RootWindowOfScreen(XtScreen(w)), 0, 0, &wx, &wy,
                        &child);
  int b = w->core.border_width;
  int left = wx - b, top = wy - b, right = wx + w->core.width + b, bottom = wy + w->core.height + b;
  bool meets = *x<right&& * x + tw> left && *y<bottom&& * y + th> top;
  if (!meets) return;
  switch (placement) {
    case XmICON_ABOVE:
      *y = top - th;
      break;
    case XmICON_RIGHT:
      *x = right;
      break;
    case XmICON_LEFT:
      *x = left - tw;
      break;
    default:
      *y = bottom;
      break;
  }
}

void displayTimeout(XtPointer data, XtIntervalId*) {
  Widget w = static_cast<Widget>(data);
  XmIconPart& p = part(w);
  p.display_timer = 0;
  if (!p.shell) makeTip(w);
  XtRealizeWidget(p.shell);
  Dimension W = 0, H = 0, shadow = 0, width = 0, height = 0, border = 0;
  XtVaGetValues(p.label, XmNwidth, &W, XmNheight, &H, nullptr);
  XtVaGetValues(w, XmNshadowThickness, &shadow, XmNwidth, &width, XmNheight, &height,
                XmNborderWidth, &border, nullptr);
  int t = shadow, wi = width, hi = height, b = border;
  int refX, refY;
  switch (p.display_placement) {
    case XmICON_ABOVE:
      refX = wi / 2, refY = -(hi + b);
      break;
    case XmICON_RIGHT:
      refX = wi, refY = -(hi + b) / 2;
      break;
    case XmICON_LEFT:
      refX = 0, refY = -(hi + b) / 2;
      break;
    default:
      refX = wi / 2, refY = hi + b;
      break;
  }
  int rx = 0, ry = 0;
  Window child;
  XTranslateCoordinates(XtDisplay(w), XtWindow(w), RootWindowOfScreen(XtScreen(w)), refX, refY, &rx,
                        &ry, &child);
  int x, y;
  switch (p.display_placement) {
    case XmICON_ABOVE:
      x = rx - (W / 2 + t), y = ry + (H / 2 - 2 * t);
      break;
    case XmICON_RIGHT:
      x = rx, y = ry + (H - t);
      break;
    case XmICON_LEFT:
      x = rx - (2 * t + W), y = ry + (H - t);
      break;
    default:
      x = rx - (W / 2 + t), y = ry;
      break;
  }
  keepOffTheButton(w, p.display_placement, &x, &y);
  XtVaSetValues(p.shell, XmNx, static_cast<Position>(x), XmNy, static_cast<Position>(y), nullptr);
  XtPopup(p.shell, XtGrabNone);
  removeTimer(&p.leave_timer);
  p.leave_timer = XtAppAddTimeOut(XtWidgetToApplicationContext(w), 250, leaveCheck, w);
}

// While the tip is up, the pointer is looked for every 250 ms: a leave event can be missed
// (the pointer leaving through the tip, or a window manager in between).
void leaveCheck(XtPointer data, XtIntervalId*) {
  Widget w = static_cast<Widget>(data);
  XmIconPart& p = part(w);
  p.leave_timer = 0;
  Window root, child;
  int rx, ry, px, py;
  unsigned mask;
  if (!XQueryPointer(XtDisplay(w), XtWindow(w), &root, &child, &rx, &ry, &px, &py, &mask)) return;
  if (px >= 0 && py >= 0 && px < w->core.width && py < w->core.height) {
    p.leave_timer = XtAppAddTimeOut(XtWidgetToApplicationContext(w), 250, leaveCheck, w);
    return;
  }
  undisplay(w);
}

}  // namespace

// ---- Create function -------------------------------------------------------------------------

extern "C" Widget XmCreateIcon(Widget parent, String name, ArgList args, Cardinal count) {
  return XtCreateWidget(name, xmIconWidgetClass, parent, args, count);
}

extern "C" void XmUndisplayLabel(Widget w) {
  if (w && XtIsSubclass(w, xmIconWidgetClass)) undisplay(w);
}
