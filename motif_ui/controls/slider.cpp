// UIslider: a real on a Motif scale, scaled by its decimal points.
#include "ui/slider.h"

#include <X11/IntrinsicP.h>
#include <Xm/ScaleP.h>
#include <Xm/ScrollBarP.h>
#include <Xm/Xm.h>

#include <algorithm>

#include "om/om_scope.h"
#include "svc/wt.h"
#include "ui/layout.h"
#include "ui/misc.h"
#include "ui/xmstring.h"

#include "props.h"

namespace {

using uiprops::backgroundOf;
using uiprops::newer;
using uiprops::onlyChanged;
using uiprops::readInt;
using uiprops::sub;

Widget scrollBarOf(Widget scale) {
  for (Widget c : uiprops::childrenOf(scale))
    if (XmIsScrollBar(c)) return c;
  return nullptr;
}

// The scale's title: "title" as a compound string, or none while it has no value.
UIxmString titleOf(const OMobj_id& obj) {
  OMtext text = OMget_text(sub(obj, "title"));
  return text ? UIxmText(text.get()) : UIxmString();
}

}  // namespace

UIslider::UIslider(OMobj_id id) : UIvaluator(id) {
  classType_ = "UIslider";
}
UIslider::~UIslider() = default;

void UIslider::setActive(const OMobj_id& id, Widget w) {
  if (UIisBeingDestroyed(w)) return;
  int active = 1;
  if (OMget_int_val(id, &active) != 1) active = 1;
  XtSetSensitive(w, active && usable_ ? True : False);
}

void UIslider::setDecimalPoints(Widget) {
  int d = 0;
  if (!readInt(objId, "decimalPoints", &d)) d = setPrecision(min_, max_);
  int mode = UI_MODE_REAL;
  if (readInt(objId, "mode", &mode) && mode == UI_MODE_INTEGER) d = 0;
  decimalPoints_ = std::max(0, d);
}

void UIslider::setMinMax(Widget w) {
  rangePending_ = 0;
  OMobj_id maxProp = sub(objId, "max"), minProp = sub(objId, "min");
  OMobj_id target;
  bool maxLinked = OMget_obj_pval(maxProp, &target, 0) == 1 && !!target;
  bool minLinked = OMget_obj_pval(minProp, &target, 0) == 1 && !!target;
  maxSet_ = OMget_real_val(maxProp, &max_) == 1;
  if (!maxSet_) {
    max_ = 100.0;
    if (maxLinked) rangePending_ = 1;
  }
  minSet_ = OMget_real_val(minProp, &min_) == 1;
  if (!minSet_) {
    min_ = 0.0;
    if (minLinked) rangePending_ = 1;
  }
  if (UIisBeingDestroyed(w)) return;
  if (!(min_ < max_)) {
    usable_ = 0;
    XtSetSensitive(w, False);
    return;
  }
  if (!readInt(objId, "active", &usable_)) usable_ = 1;
  if (usable_) XtSetSensitive(w, True);
}

bool UIslider::scaleFigures(double value, int* ilo, int* ihi, int* iv) const {
  double lo = min_, hi = max_;
  if (rangePending_) {
    lo = std::min(lo, value);
    hi = std::max(hi, value);
  }
  // The reals are checked before any conversion: one the scale cannot hold leaves it as it is.
  return UIscaledRound(UIscaleUp(lo, decimalPoints_), ilo) &&
         UIscaledRound(UIscaleUp(hi, decimalPoints_), ihi) &&
         UIscaledRound(UIscaleUp(value, decimalPoints_), iv) && *ihi > *ilo && *iv >= *ilo &&
         *iv <= *ihi;
}

void UIslider::setValue(Widget w) {
  double v = min_;
  OMobj_id valueProp = sub(objId, "value");
  if (OMget_real_val(valueProp, &v) != 1) v = min_;
  Value(v);
  if (!rangePending_ && (v > max_ || v < min_)) {
    double bound = v > max_ ? max_ : min_;
    {
      OMcontext ctx(objId, OM_CTX_USER, OM_CTX_PLAIN);
      OMset_real_val(valueProp, bound);
    }
    Value(bound);
  }
  if (UIisBeingDestroyed(w)) return;
  int ilo = 0, ihi = 0, iv = 0;
  if (!scaleFigures(value_, &ilo, &ihi, &iv)) return;
  short d = 0;
  int oldLo = 0, oldHi = 0, oldValue = 0;
  if (shown_.scale == w) {
    d = shown_.decimalPoints, oldLo = shown_.lo, oldHi = shown_.hi;
    XmScaleGetValue(w, &oldValue);
  } else {
    XtVaGetValues(w, XmNdecimalPoints, &d, XmNminimum, &oldLo, XmNmaximum, &oldHi, XmNvalue,
                  &oldValue, nullptr);
  }
  // The scale redraws on every set, even of what it shows already; and each resource given
  // costs its class a comparison: only the figures that changed are set.
  Arg args[4];
  Cardinal n = 0;
  if (d != decimalPoints_)
    XtSetArg(args[n], XmNdecimalPoints, static_cast<short>(decimalPoints_)), ++n;
  if (oldLo != ilo) XtSetArg(args[n], XmNminimum, ilo), ++n;
  if (oldHi != ihi) XtSetArg(args[n], XmNmaximum, ihi), ++n;
  if (oldValue != iv) XtSetArg(args[n], XmNvalue, iv), ++n;
  if (n) XtSetValues(w, args, n);
  remember(w, static_cast<short>(decimalPoints_), ilo, ihi);
}

void UIslider::remember(Widget scale, short decimalPoints, int lo, int hi) {
  shown_.scale = scale;
  shown_.decimalPoints = decimalPoints;
  shown_.lo = lo;
  shown_.hi = hi;
}

void UIslider::setIncrement(const OMobj_id&, const OMobj_id& increment, Widget w) {
  if (UIisBeingDestroyed(w) || UIisBeingDestroyed(XtParent(w))) return;
  double step = 0;
  bool has = OMget_real_val(increment, &step) == 1;
  int multiple = 0;
  if (!UIsliderStep(min_, max_, has, step, decimalPoints_, &multiple)) return;
  // Only a change is set: any set on a scale makes Motif recompute keyboard traversal over
  // all its siblings, a round trip each, and this runs again on every map.
  Widget scale = XtParent(w);
  int now = 0;
  if (XmIsScale(scale))  // read from the record: a get would search the scale's resource lists
    now = reinterpret_cast<XmScaleWidget>(scale)->scale.scale_multiple;
  else
    XtVaGetValues(scale, XmNscaleMultiple, &now, nullptr);
  if (now != multiple) XtVaSetValues(scale, XmNscaleMultiple, multiple, nullptr);
}

void UIslider::setImmediateMode(Widget w) {
  if (UIisBeingDestroyed(w)) return;
  // Removed as UIaddCallback registered them: its trampoline, the binding as client data.
  XtCallbackProc cb = UIcallbackTrampoline<&UIslider::valueChangedCB>;
  XtPointer self = static_cast<UIwindow*>(this);
  XtRemoveCallback(w, XmNdragCallback, cb, self);
  XtRemoveCallback(w, XmNvalueChangedCallback, cb, self);
  int immediate = 0;
  if (readInt(objId, "immediateMode", &immediate) && immediate)
    UIaddCallback<&UIslider::valueChangedCB>(w, XmNdragCallback, this);
  UIaddCallback<&UIslider::valueChangedCB>(w, XmNvalueChangedCallback, this);
}

unsigned char UIslider::processingDirection() const {
  int horizontal = 1, pd = 0;
  if (!readInt(objId, "horizontal", &horizontal)) horizontal = 1;
  if (!readInt(objId, "processingDirection", &pd)) pd = horizontal ? 0 : 2;
  return horizontal ? (pd <= 0 ? XmMAX_ON_RIGHT : XmMAX_ON_LEFT)
                    : (pd <= 2 ? XmMAX_ON_BOTTOM : XmMAX_ON_TOP);
}

void UIslider::setProcessingDirection(Widget w) {
  if (UIisBeingDestroyed(w)) return;
  XtVaSetValues(w, XmNprocessingDirection, processingDirection(), nullptr);
}

void UIslider::setOrientation(Widget w) {
  if (UIisBeingDestroyed(w)) return;
  int horizontal = 1;
  if (!readInt(objId, "horizontal", &horizontal)) horizontal = 1;
  XtVaSetValues(w, XmNorientation, horizontal ? XmHORIZONTAL : XmVERTICAL, nullptr);
}

void UIslider::setTitleString(Widget w) {
  if (UIisBeingDestroyed(w)) return;
  UIxmString title = titleOf(objId);
  Dimension width = w->core.width;
  XtVaSetValues(w, XmNtitleString, title.get(), nullptr);
  if (w->core.width != width) XtVaSetValues(w, XmNwidth, width, nullptr);
}

void UIslider::setShowValue(Widget w) {
  int show = 0;
  if (UIisBeingDestroyed(w) || !readInt(objId, "showValue", &show)) return;
  XtVaSetValues(w, XmNshowValue, show ? True : False, nullptr);
}

void UIslider::setSliderTroughColor(Widget scrollBar) {
  if (UIisBeingDestroyed(scrollBar)) return;
  // Read from the record: a get would search the scroll bar's resource lists for both.
  Pixel background = backgroundOf(scrollBar), trough = 0;
  if (XmIsScrollBar(scrollBar))
    trough = reinterpret_cast<XmScrollBarWidget>(scrollBar)->scrollBar.trough_color;
  else
    XtVaGetValues(scrollBar, XmNtroughColor, &trough, nullptr);
  if (trough != background) XtVaSetValues(scrollBar, XmNtroughColor, background, nullptr);
}

void UIslider::setSliderResources(Widget w, int seq, bool fresh) {
  bool again = false;
  bool rangeChanged =
      newer(objId, "min", seq) || newer(objId, "max", seq) || newer(objId, "active", seq);
  if (rangeChanged) {
    setMinMax(w);
    again = true;
  }
  int d = 0;
  if ((rangeChanged && !readInt(objId, "decimalPoints", &d)) ||
      newer(objId, "decimalPoints", seq) || newer(objId, "mode", seq)) {
    setDecimalPoints(w);
    again = true;
  }
  if (again || newer(objId, "value", seq)) setValue(w);
  if (!alive(this) || UIisBeingDestroyed(w)) return;
  OMobj_id increment = sub(objId, "increment");
  if (newer(increment, seq)) setIncrement(objId, increment, scrollBar_);
  if (newer(objId, "immediateMode", seq)) setImmediateMode(w);
  // A fresh scale was made with its direction and title.
  if (!fresh && newer(objId, "processingDirection", seq)) setProcessingDirection(w);
  if (newer(objId, "horizontal", seq) && seq != -1 && seq != lastRebuildSeq_) {
    // Per binding: two sliders flipped in one update are each rebuilt once.
    lastRebuildSeq_ = seq;
    rebuildObject(widget_);
    return;
  }
  if (!fresh && newer(objId, "title", seq)) setTitleString(w);
  if (newer(objId, "showValue", seq)) setShowValue(w);
}

void UIslider::valueChangedCB(Widget w, UIslider* s, XmScaleCallbackStruct* call) {
  if (UIisBeingDestroyed(w) || !call) return;
  short d = 0;
  XtVaGetValues(w, XmNdecimalPoints, &d, nullptr);
  double v = UIscaleDown(call->value, d);
  if (v == s->value_) return;
  s->Value(v);
  OMobj_id obj = s->objId;
  OMcontext ctx(obj, OM_CTX_USER, OM_CTX_PLAIN);
  OMset_real_val(sub(obj, "value"), v);
}

void UIslider::onMap(Widget w, XtPointer, XEvent* event, Boolean*) {
  if (!event || event->type != MapNotify || UIisBeingDestroyed(w)) return;
  auto* s = dynamic_cast<UIslider*>(UIwidgetToClass(XtParent(w)));
  if (!s || !alive(s) || !XtWindow(XtParent(w))) return;
  s->setIncrement(s->objId, sub(s->objId, "increment"), w);
}

void UIslider::addLayoutEditorEventHandlers(Widget w) {
  UIwindow::addLayoutEditorEventHandlers(w);
  if (UIisBeingDestroyed(w)) return;
  for (Widget c : uiprops::childrenOf(w)) UIlayout::addIndirectEventHandlers(c, w);
}

bool UIslider::instanceObject() {
  Widget parent = parentWidgetNow();
  if (!parent) return false;
  int x = 0, y = 0, width = 200, height = 70;
  autoPlacementManager(parent, &x, &y);
  if (!UIgetOMWindowWidth(objId, &width)) UIsetOMWindowWidth(objId, width = 200);
  if (!UIgetOMWindowHeight(objId, &height)) UIsetOMWindowHeight(objId, height = 70);
  UIxmString title = titleOf(objId);
  Pixel parentBackground = backgroundOf(parent);
  int horizontal = 1;
  if (!readInt(objId, "horizontal", &horizontal)) horizontal = 1;
  // The range, value, precision, step and direction go to the scale as it is made: each set
  // afterwards redraws its slider (four requests) and costs a pass over its resources. The
  // pass below still reads and applies every property; it finds these in place.
  Arg args[20];
  Cardinal n = 0;
  XtSetArg(args[n], XmNx, x), ++n;
  XtSetArg(args[n], XmNy, y), ++n;
  XtSetArg(args[n], XmNwidth, width), ++n;
  XtSetArg(args[n], XmNheight, height), ++n;
  XtSetArg(args[n], XmNtitleString, title.get()), ++n;
  XtSetArg(args[n], XmNuserData, this), ++n;
  XtSetArg(args[n], XmNorientation, horizontal ? XmHORIZONTAL : XmVERTICAL), ++n;
  XtSetArg(args[n], XmNprocessingDirection, processingDirection()), ++n;
  XtSetArg(args[n], XmNmappedWhenManaged, True), ++n;
  // The arrows are asked of the scale, which makes its scroll bar with them: set on the
  // scroll bar afterwards they cost a relayout and new GCs (about ten requests a slider).
  XtSetArg(args[n], XmNshowArrows, XmEACH_SIDE), ++n;
  setMinMax(nullptr);
  setDecimalPoints(nullptr);
  double v = min_;
  if (OMget_real_val(sub(objId, "value"), &v) != 1) v = min_;
  if (!rangePending_ && (v > max_ || v < min_)) v = v > max_ ? max_ : min_;
  int ilo = 0, ihi = 0, iv = 0;
  bool figures = scaleFigures(v, &ilo, &ihi, &iv);
  if (figures) {
    XtSetArg(args[n], XmNdecimalPoints, static_cast<short>(decimalPoints_)), ++n;
    XtSetArg(args[n], XmNminimum, ilo), ++n;
    XtSetArg(args[n], XmNmaximum, ihi), ++n;
    XtSetArg(args[n], XmNvalue, iv), ++n;
    double step = 0;
    bool hasStep = OMget_real_val(sub(objId, "increment"), &step) == 1;
    int multiple = 0;
    if (UIsliderStep(min_, max_, hasStep, step, decimalPoints_, &multiple))
      XtSetArg(args[n], XmNscaleMultiple, multiple), ++n;
  }
  XmFontList fonts = chooseFontList(XtDisplay(parent), parent);
  if (fonts) XtSetArg(args[n], XmNfontList, fonts), ++n;
  Widget w = XtCreateWidget(uiprops::nameOf(objId), xmScaleWidgetClass, parent, args, n);
  madeWithFontList(w, fonts);
  widget_ = w;
  // A new scale may sit where an old one was freed: what was shown on that one is forgotten.
  shown_ = Shown();
  if (figures) remember(w, static_cast<short>(decimalPoints_), ilo, ihi);
  scrollBar_ = scrollBarOf(w);
  if (scrollBar_) XtVaSetValues(scrollBar_, XmNtroughColor, parentBackground, nullptr);
  setSliderResources(w, -1, true);
  UIcore::setResources(w, -1);
  if (scrollBar_) XtAddEventHandler(scrollBar_, StructureNotifyMask, False, onMap, this);
  onObjectCreate(w);
  return true;
}

void UIslider::updateObject(int seq) {
  if (UIisBeingDestroyed(widget_)) return;
  // The usual update, a new value, moves the slider alone: no other property is newer.
  if (onlyChanged(objId, sub(objId, "value"))) {
    setValue(widget_);
    return;
  }
  // Only what surrounds the slider changed (its window, a neighbour, the window it publishes in
  // its handle): its properties are applied already; the trough follows its scroll bar.
  if (onlyItsSurroundingsChanged()) {
    setSliderTroughColor(scrollBar_);
    return;
  }
  setSliderResources(widget_, seq);
  if (!alive(this) || UIisBeingDestroyed(widget_)) return;
  // The trough follows the scroll bar's background once the colours are applied, in the same
  // update (a new value alone, above, changes no colour).
  UIcore::setResources(widget_, seq);
  setSliderTroughColor(scrollBar_);
  UIwindow::updateObject(seq);
}

int UIsliderInstance(OMobj_id id) {
  return UIinstanceEntry<UIslider>(id);
}
int UIsliderUpdate(OMobj_id id, unsigned int mask, int seq) {
  return UIupdateEntry<UIslider>(id, mask, seq);
}
