// UIdial: a real on the library's dial widget, with a title and a value text.
#include "ui/dial.h"

#include <X11/IntrinsicP.h>
#include <Xm/BulletinB.h>
#include <Xm/DragDrop.h>
#include <Xm/Form.h>
#include <Xm/Label.h>
#include <Xm/Text.h>
#include <Xm/Xm.h>

#include <algorithm>
#include <cmath>

#include "om/om_scope.h"
#include "svc/err.h"
#include "svc/number.h"
#include "svc/wt.h"
#include "ui/VwDial.h"
#include "ui/args.h"
#include "ui/layout.h"
#include "ui/misc.h"
#include "ui/xmstring.h"

#include "props.h"

namespace {

using uiprops::backgroundOf;
using uiprops::newer;
using uiprops::readInt;
using uiprops::sub;

std::string named(const OMobj_id& id, const char* suffix) {
  return std::string(uiprops::nameOf(id)) + suffix;
}

}  // namespace

UIdial::UIdial(OMobj_id id) : UIvaluator(id) {
  classType_ = "UIdial";
}
UIdial::~UIdial() = default;

double UIdial::scaleFactor() const {
  return UIdialScaleFactor(decimalPoints_);
}

double UIdial::scaledValue() {
  double v = value_;
  if (maxSet_ && v > max_) v = max_;
  if (minSet_ && v < min_) v = min_;
  if (v != value_) Value(v);
  return value_ * scaleFactor();
}

double UIdial::scaleInc(int n) {
  return UIdialScaleInc(n, minSet_, maxSet_, min_, max_, valuePerRev_, mode_, &decimalPoints_);
}

void UIdial::setValue() {
  double v = 0;
  if (OMget_real_val(sub(objId, "value"), &v) == 1)
    Value(v);
  else if (value_ < min_)
    Value(min_);
  setValueString();
}

void UIdial::setValueString(bool force) {
  if (UIisBeingDestroyed(text_)) return;
  std::string number = UIdialValueText(value_, decimalPoints_);
  if (!force && hasShown_ && number == shown_) return;
  shown_ = number;
  hasShown_ = true;
  // Centred by hand: the number goes where the middle of the field falls in a line of blanks.
  std::string blanks(125, ' ');
  XmTextSetString(text_, const_cast<char*>(blanks.c_str()));
  XmTextPosition middle = XmTextXYToPos(text_, static_cast<Position>(text_->core.width / 2), 0);
  long at = static_cast<long>(middle) - static_cast<long>(number.size() / 2) - 1;
  XmTextInsert(text_, std::max(0L, at), const_cast<char*>(number.c_str()));
  XmTextShowPosition(text_, 0);
}

void UIdial::setValuePerRev(const OMobj_id& id) {
  double v = 0;
  if (OMget_real_val(id, &v) == 1) {
    valuePerRev_ = v;
    int d = 2;
    if (!readInt(objId, "decimalPoints", &d)) d = 2;
    decimalPoints_ = std::max(0, std::min(d, 8));
    if (mode_ == UI_MODE_INTEGER) decimalPoints_ = 0;
    scaleInc(numTicks_);  // for its effect on the decimal points
  } else {
    valuePerRev_ = 100.0;
  }
  if (!(valuePerRev_ > 0) || !std::isfinite(valuePerRev_)) valuePerRev_ = 100.0;
  setNumTicks(sub(objId, "numTicks"));
}

void UIdial::setNumTicks(const OMobj_id& id) {
  if (OMget_int_val(id, &numTicks_) != 1) numTicks_ = 10;
}

void UIdial::setImmediateMode(const OMobj_id& id) {
  if (OMget_int_val(id, &immediateMode_) != 1) immediateMode_ = 0;
}

void UIdial::setTitleString(const OMobj_id& id) {
  if (UIisBeingDestroyed(title_)) return;
  OMtext text = OMget_text(id);
  UIxmString s = UIxmText(text ? text.get() : "");
  XtVaSetValues(title_, XmNlabelString, s.get(), nullptr);
}

void UIdial::setDecimalPoints(Widget w) {
  UIvaluator::setDecimalPoints(w);
  int mode = UI_MODE_REAL;
  if (readInt(objId, "mode", &mode) && mode == UI_MODE_INTEGER) decimalPoints_ = 0;
  setValuePerRev(sub(objId, "valuePerRev"));
  setValue();
}

void UIdial::setActive(const OMobj_id& id, Widget w) {
  if (UIisBeingDestroyed(w)) return;
  int active = 1;
  if (OMget_int_val(id, &active) != 1) active = 1;
  XtSetSensitive(w, active && usable_ ? True : False);
}

void UIdial::setBackgroundColor(const OMobj_id& id, Widget w) {
  UIcore::setBackgroundColor(id, w);
  if (UIisBeingDestroyed(w) || UIisBeingDestroyed(dial_)) return;
  Pixel background = backgroundOf(w);
  for (Widget c : {title_, text_, form_, dial_})
    if (!UIisBeingDestroyed(c)) XmChangeColor(c, background);
  Colormap colormap = 0;
  XtVaGetValues(dial_, XtNcolormap, &colormap, nullptr);
  Pixel fg = 0, top = 0, bottom = 0, select = 0;
  XmGetColors(XtScreen(dial_), colormap, background, &fg, &top, &bottom, &select);
  XtVaSetValues(dial_, VwNdialBaseColor, background, VwNdialColor, background,
                VwNdialHighlightColor, select, VwNdialTopColor, top, VwNdialShadowColor, bottom,
                nullptr);
}

void UIdial::setForegroundColor(const OMobj_id& id, Widget w) {
  UIcore::setForegroundColor(id, w);
  if (UIisBeingDestroyed(w) || UIisBeingDestroyed(dial_)) return;
  Pixel foreground = 0;
  XtVaGetValues(w, XmNforeground, &foreground, nullptr);
  if (!UIisBeingDestroyed(title_)) XtVaSetValues(title_, XmNforeground, foreground, nullptr);
  XtVaSetValues(dial_, VwNdialPointerColor, foreground, VwNdialScaleColor, foreground,
                VwNdialFrameColor, foreground, nullptr);
}

void UIdial::updateDialWidget() {
  if (UIisBeingDestroyed(dial_)) return;
  int type = UIdialType(mode_, minSet_, maxSet_);
  if (mode_ == UI_MODE_INTEGER) {
    max_ = std::floor(max_ + 0.5);
    min_ = std::floor(min_ + 0.5);
    decimalPoints_ = 0;
  }
  if (!(min_ < max_)) {
    usable_ = 0;
    XtSetSensitive(widget_, False);
    return;
  }
  if (!readInt(objId, "active", &usable_)) usable_ = 1;
  if (usable_) XtSetSensitive(widget_, True);
  // The spacing first: it may raise the decimal points that every other value is scaled by.
  double spacing = scaleInc(numTicks_);
  setValueString();
  double scale = scaleFactor();
  int imin = 0, imax = 0, iinc = 0, iperRev = 0, ivalue = 0;
  // Every real is checked before its conversion: one the dial cannot hold leaves it as it is.
  if (!UIscaledTruncate(min_ * scale, &imin) || !UIscaledTruncate(max_ * scale, &imax) ||
      !UIscaledTruncate(spacing, &iinc) || !UIscaledTruncate(valuePerRev_ * scale, &iperRev) ||
      !UIscaledTruncate(scaledValue(), &ivalue))
    return;
  XtVaSetValues(dial_, VwNdialType, type, VwNcheckAccumMin, minSet_ ? True : False,
                VwNcheckAccumMax, maxSet_ ? True : False, VwNmin, imin, VwNmax, imax, VwNscaleInc,
                iinc, VwNdecimalPoints, decimalPoints_, VwNvaluePerRev, iperRev, VwNvalue, ivalue,
                nullptr);
}

bool UIdial::writeValue(double v) {
  {
    OMobj_id obj = objId;
    OMcontext ctx(obj, OM_CTX_USER, OM_CTX_PLAIN);
    OMset_real_val(sub(obj, "value"), v);
  }  // popped here: the notifications it runs may destroy this binding
  return alive(this);
}

void UIdial::onDialDrag(Widget, UIdial* binding, VwDialCallbackStruct* call) {
  binding->dialMoved(call, true);
}

void UIdial::onDialRelease(Widget, UIdial* binding, VwDialCallbackStruct* call) {
  binding->dialMoved(call, false);
}

void UIdial::dialMoved(VwDialCallbackStruct* cb, bool dragging) {
  if (!cb || UIisBeingDestroyed(cb->widget) || cb->widget != dial_) return;
  int raw = 0;
  XtVaGetValues(cb->widget, VwNvalue, &raw, nullptr);
  double v = UIscaleDown(raw, decimalPoints_);
  if (maxSet_ && v > max_) v = max_;
  if (minSet_ && v < min_) v = min_;
  double old = value_;
  Value(v);
  bool write = true;
  if (dragging) {
    double scale = scaleFactor();
    int now = 0, before = 0;
    write = immediateMode_ && UIscaledTruncate(v * scale, &now) &&
            (!UIscaledTruncate(old * scale, &before) || now != before);
  }
  // The write may change anything, the dial's style (a rebuild) included: the binding and its
  // widgets are looked at again afterwards.
  if (write && !writeValue(v)) return;
  setValueString();
}

void UIdial::valueWidgetCB(Widget w, UIdial* d, XmAnyCallbackStruct*) {
  if (UIisBeingDestroyed(w) || w != d->text_) return;
  char* raw = XmTextGetString(w);
  double v = 0;
  bool ok = UIparseDialText(raw, &v);
  XtFree(raw);
  if (!ok) {
    d->setValueString(true);  // refused: the value shows again
    return;
  }
  if (d->maxSet_ && v > d->max_)
    v = d->max_;
  else if (d->minSet_ && v < d->min_)
    v = d->min_;
  double old = d->value_;
  d->Value(v);
  d->setValueString(true);
  if (v == old) return;
  d->updateDialWidget();
  d->writeValue(v);
}

void UIdial::applyGeometry() {
  if (UIisBeingDestroyed(dial_)) return;
  int width = 50, height = 50, style = 1;
  if (!UIgetOMWindowWidth(objId, &width)) width = widget_->core.width;
  if (!UIgetOMWindowHeight(objId, &height)) height = widget_->core.height;
  if (!readInt(objId, "style", &style)) style = 1;
  UIdialLayout g = UIdialGeometry(width, height, title_->core.height, text_->core.height, style);
  auto w16 = [](int v) { return static_cast<Dimension>(std::min(v, 0x7fff)); };
  // Placed by hand, one under the other.
  int titleHeight = title_->core.height, textHeight = text_->core.height;
  XtVaSetValues(title_, XmNx, 0, XmNy, 0, XmNwidth, w16(g.width), nullptr);
  XtVaSetValues(text_, XmNx, 0, XmNy, titleHeight, XmNwidth, w16(g.width), nullptr);
  XtVaSetValues(form_, XmNx, 0, XmNy, titleHeight + textHeight, XmNwidth, w16(g.width), XmNheight,
                w16(g.formHeight), nullptr);
  XtVaSetValues(widget_, XmNwidth, w16(g.width), XmNheight, w16(height), nullptr);
  XtVaSetValues(dial_, XmNx, 1, XmNy, 1, XmNwidth, w16(std::max(1, g.width - 2)), XmNheight,
                w16(g.dialHeight), VwNcenterX, g.centerX, VwNcenterY, g.centerY, VwNshadowCenterX,
                g.shadowCenterX, VwNshadowCenterY, g.centerY + 3, VwNradius, w16(g.radius),
                VwNshadowRadius, w16(g.shadowRadius), VwNpointerLength, w16(g.pointerLength),
                VwNscaleLength, w16(g.scaleLength), VwNscaleOffset, w16(g.scaleOffset),
                VwNdialStyle, style, nullptr);
  setValueString(true);  // centred again in the new width
}

void UIdial::setWidth(const OMobj_id&, Widget) {
  applyGeometry();
}

void UIdial::setHeight(const OMobj_id&, Widget) {
  applyGeometry();
}

void UIdial::setResources(Widget w, int seq) {
  UIvaluator::setResources(w, seq);
  if (UIisBeingDestroyed(w)) return;
  if (newer(objId, "fontAttributes", seq) && fontSet) {
    if (XmFontList fonts = WTget_xmfontlist(fontSet))
      for (Widget c : {title_, text_})
        if (!UIisBeingDestroyed(c)) XtVaSetValues(c, XmNfontList, fonts, nullptr);
  }
  OMobj_id p = sub(objId, "title");
  if (newer(p, seq)) setTitleString(p);
  if (newer(objId, "value", seq)) setValue();
  p = sub(objId, "immediateMode");
  if (newer(p, seq)) setImmediateMode(p);
  p = sub(objId, "valuePerRev");
  if (newer(p, seq)) setValuePerRev(p);
  p = sub(objId, "numTicks");
  if (newer(p, seq)) setNumTicks(p);
  p = sub(objId, "color.foregroundColor");
  if (seq != -1 && newer(p, seq)) setForegroundColor(p, w);
  updateDialWidget();
}

void UIdial::addLayoutEditorEventHandlers(Widget w) {
  UIwindow::addLayoutEditorEventHandlers(w);
  if (UIisBeingDestroyed(w)) return;
  for (Widget c : uiprops::childrenOf(w)) UIlayout::addIndirectEventHandlers(c, w);
}

bool UIdial::instanceObject() {
  Widget parent = parentWidgetNow();
  if (!parent) return false;
  int x = 0, y = 0;
  autoPlacementManager(parent, &x, &y);
  int width = 150, height = 150;
  OMobj_id obj = objId;
  for (const char* which : {"width", "height"}) {
    OMobj_id p = sub(obj, which);
    int v = 0;
    bool isWidth = which[0] == 'w';
    if (OMget_int_val(p, &v) != 1) {
      v = 150;
      OMcontext ctx(obj, OM_CTX_WIDGET, OM_CTX_PLAIN);
      OMset_int_val(p, v);
    } else if (v < 50) {
      ERRerror("UIdial::instanceObject", 0, 2,
               isWidth ? "UIdial width may not be less than 50. Using 50 as width."
                       : "UIdial height may not be less than 50. Using 50 as height.");
      v = 50;
      OMcontext ctx(obj, OM_CTX_WIDGET, OM_CTX_PLAIN);
      OMset_real_val(p, 50.0);
    }
    (isWidth ? width : height) = v;
  }
  // A bulletin board that neither moves nor sizes its children: a row-column would stretch
  // them all to the natural width of the value text, which is that of its blank padding.
  container_ =
      XtVaCreateWidget(named(obj, "_rowcol").c_str(), xmBulletinBoardWidgetClass, parent, XmNx, x,
                       XmNy, y, XmNresizePolicy, XmRESIZE_NONE, XmNmarginWidth, 0, XmNmarginHeight,
                       0, XmNshadowThickness, 0, XmNuserData, this, nullptr);
  XmFontList fonts = UIget_xmfontlist(container_, 10, 0);
  title_ = XtVaCreateManagedWidget(named(obj, "_label").c_str(), xmLabelWidgetClass, container_,
                                   XmNuserData, this, XmNrecomputeSize, False, nullptr);
  if (fonts) XtVaSetValues(title_, XmNfontList, fonts, nullptr);
  text_ = XtVaCreateManagedWidget(named(obj, "_value").c_str(), xmTextWidgetClass, container_,
                                  XmNuserData, this, XmNeditMode, XmSINGLE_LINE_EDIT,
                                  XmNresizeWidth, False, nullptr);
  XmDropSiteUnregister(text_);
  DragAndDropDisable(text_);
  form_ =
      XtVaCreateManagedWidget(named(obj, "_form").c_str(), xmFormWidgetClass, container_,
                              XmNuserData, this, XmNmarginWidth, 0, XmNmarginHeight, 0, nullptr);
  int style = 1;
  if (!readInt(obj, "style", &style)) style = 1;
  int mode = UI_MODE_REAL;
  if (!readInt(obj, "mode", &mode)) mode = UI_MODE_REAL;
  double lo = 0, hi = 0;
  bool valuator =
      OMget_real_val(sub(obj, "min"), &lo) == 1 && OMget_real_val(sub(obj, "max"), &hi) == 1;
  // Made at its size: a dial made without one takes twice its default centre.
  UIdialLayout g = UIdialGeometry(width, height, title_->core.height, text_->core.height, style);
  UIargs args{{XmNwidth, std::max(1, g.width - 2)},
              {XmNheight, g.dialHeight},
              {XmNuserData, this},
              {VwNframeThickness, 2},
              {VwNdialType, valuator ? VwREAL_VALUATOR : VwREAL_ACCUMULATER},
              {VwNdialStyle, style},
              {VwNprocessingDirection, VwMAX_ON_RIGHT}};
  dial_ = VwCreateDial(form_, const_cast<char*>(named(obj, "_dial").c_str()), args.list(),
                       args.count());
  XtManageChild(dial_);
  UIaddCallback<&UIdial::valueWidgetCB>(text_, XmNactivateCallback, this);
  UIaddCallback<&UIdial::onDialDrag>(dial_, VwNactivateCallback, this);
  UIaddCallback<&UIdial::onDialRelease>(dial_, VwNdisarmCallback, this);
  widget_ = container_;
  hasShown_ = false;
  XtVaSetValues(container_, XmNwidth, width, XmNheight, height, nullptr);
  applyGeometry();
  setResources(container_, -1);
  onObjectCreate(container_);
  return true;
}

void UIdial::updateObject(int seq) {
  if (UIisBeingDestroyed(widget_)) return;
  if (newer(objId, "height", seq)) setHeight(sub(objId, "height"), widget_);
  if (newer(objId, "width", seq)) setWidth(sub(objId, "width"), widget_);
  if (newer(objId, "style", seq) && seq != lastRebuildSeq_) {
    // Per binding: two dials restyled in one update are each rebuilt once.
    lastRebuildSeq_ = seq;
    rebuildObject(widget_);
    return;
  }
  setResources(widget_, seq);
  if (!alive(this) || UIisBeingDestroyed(widget_)) return;
  UIwindow::updateObject(seq);
}

int UIdialInstance(OMobj_id id) {
  return UIinstanceEntry<UIdial>(id);
}
int UIdialUpdate(OMobj_id id, unsigned int mask, int seq) {
  return UIupdateEntry<UIdial>(id, mask, seq);
}
