// UIfield: a number in a one-line text widget, with range, format and update modes.
#include "ui/field.h"

#include <X11/IntrinsicP.h>
#include <Xm/DragDrop.h>
#include <Xm/Text.h>
#include <Xm/Xm.h>

#include <cmath>

#include "om/om_scope.h"
#include "ui/misc.h"

#include "props.h"

namespace {

using uiprops::newer;
using uiprops::readInt;
using uiprops::sub;

bool same(double a, double b) {
  return a == b || (std::isnan(a) && std::isnan(b));
}

// The live field of a widget, or null.
UIfield* fieldOf(Widget w) {
  auto* f = dynamic_cast<UIfield*>(UIwidgetToClass(w));
  return f && UIwindow::alive(f) ? f : nullptr;
}

std::string widgetText(Widget w) {
  char* raw = XmTextGetString(w);
  std::string text = raw ? raw : "";
  XtFree(raw);
  return text;
}

}  // namespace

UIfield::UIfield(OMobj_id id) : UIvaluator(id) {
  classType_ = "UIfield";
}
UIfield::~UIfield() = default;

bool UIfield::alphaCheck(const char* text) {
  return UIalphaCheck(text);
}

void UIfield::setUpdateMode() {
  if (!readInt(objId, "updateMode", &updateMode_)) updateMode_ = 1;
}

const char* UIfield::makeString() {
  if (valueNull_) {
    OMtext text = OMget_text(sub(objId, "nullString"));
    made_ = text ? text.get() : "";
    return made_.c_str();
  }
  double shown = 0;
  made_ = UIfieldString(value_, format_, mode_, decimalPoints_, &shown);
  Value(shown);
  return made_.c_str();
}

void UIfield::showText(const std::string& text, bool force) {
  if (UIisBeingDestroyed(widget_)) return;
  if (!force && hasShown_ && text == shown_) return;
  // An empty text in a field that shows nothing yet (as made) is not set: setting it moves
  // and redraws the cursor.
  if (!force && !hasShown_ && text.empty() && XmTextGetLastPosition(widget_) == 0) {
    shown_.clear();
    hasShown_ = true;
    return;
  }
  // Setting the text runs the value-changed callback: that is not the user typing.
  settingText_ = true;
  XmTextSetString(widget_, const_cast<char*>(text.c_str()));
  settingText_ = false;
  shown_ = text;
  hasShown_ = true;
}

void UIfield::show(bool force) {
  if (UIisBeingDestroyed(widget_)) return;
  if (!valueNull_) {
    if (minSet_) {
      if (includeMin_ ? value_ < min_ : value_ <= min_) value_ = includeMin_ ? min_ : previous_;
    }
    if (maxSet_) {
      if (includeMax_ ? value_ > max_ : value_ >= max_) value_ = includeMax_ ? max_ : previous_;
    }
  }
  double before = value_;
  showText(makeString(), force);
  if (mode_ == UI_MODE_INTEGER && valueUpdated_ && !valueNull_ && !same(value_, before)) {
    valueUpdated_ = false;
    writeValue(value_);
  }
}

void UIfield::setValue() {
  show(false);
}

bool UIfield::writeValue(double v) {
  {
    OMobj_id obj = objId;
    OMcontext ctx(obj, OM_CTX_USER, OM_CTX_PLAIN);
    OMset_real_val(sub(obj, "value"), v);
  }  // popped here: the notifications it runs may destroy this binding
  return alive(this);
}

void UIfield::rereadBounds(bool* hasMin, bool* hasMax) {
  double v = 0;
  *hasMin = OMget_real_val(sub(objId, "min"), &v) == 1;
  if (*hasMin) min_ = v;
  *hasMax = OMget_real_val(sub(objId, "max"), &v) == 1;
  if (*hasMax) max_ = v;
}

void UIfield::commit() {
  std::string text = widgetText(widget_);
  if (text.empty()) {
    valueNull_ = true;
    OMobj_id value = sub(objId, "value");
    double v = 0;
    if (OMget_real_val(value, &v) == 1) {
      {
        OMobj_id obj = objId;
        OMcontext ctx(obj, OM_CTX_USER, OM_CTX_PLAIN);
        OMset_obj_val(value, OMnull_obj, 0);
      }
      if (!alive(this)) return;
    }
    show(true);
    return;
  }
  double v = 0;
  if (!UIparseTypedNumber(text.c_str(), &v)) {
    show(true);  // refused: the value shows again
    return;
  }
  double old = value_;
  bool oldNull = valueNull_;
  Value(v);
  valueNull_ = false;
  bool hasMin = false, hasMax = false;
  rereadBounds(&hasMin, &hasMax);
  if ((hasMax && v > max_) || (hasMin && v < min_)) {
    double bound = hasMax && v > max_ ? max_ : min_;
    if (!writeValue(bound)) return;
    value_ = bound;
    show(true);
    return;
  }
  if (!XmTextGetEditable(widget_)) return;
  if (v == old && !oldNull) return;
  showText(makeString(), true);
  writeValue(value_);
}

void UIfield::committing(int bit) {
  if (updateMode_ & bit) {
    commit();
  } else if ((updateMode_ & 8) && (bit == 1 || bit == 2)) {
    // Every change went to the object already; the user's text may be a refused or a
    // clamped one: the value is shown again.
    show(true);
  }
}

void UIfield::okCallback(Widget w, UIfield* f, XmAnyCallbackStruct* cb) {
  if (UIisBeingDestroyed(w) || f->settingText_ || !cb) return;
  if (cb->reason == XmCR_ACTIVATE) f->committing(1);
  if (cb->reason == XmCR_LOSING_FOCUS) f->committing(2);
}

void UIfield::leaveWindow(Widget w, XtPointer, XEvent* event, Boolean*) {
  UIfield* f = fieldOf(w);
  if (f && event && event->type == LeaveNotify) f->committing(4);
}

void UIfield::updateImmediate(Widget w, UIfield* f, XmAnyCallbackStruct*) {
  if (UIisBeingDestroyed(w) || f->settingText_ || !(f->updateMode_ & 8)) return;
  std::string text = widgetText(w);
  double v = 0;
  // While the user types, refused text writes nothing and the text is left as typed.
  if (!UIparseTypedNumber(text.c_str(), &v)) return;
  f->Value(v);
  f->valueNull_ = false;
  bool hasMin = false, hasMax = false;
  f->rereadBounds(&hasMin, &hasMax);
  if (hasMax && v > f->max_) {
    f->Value(f->max_);
  } else if (hasMin && v < f->min_) {
    f->Value(f->min_);
  } else if (!XmTextGetEditable(w)) {
    return;
  }
  // The text the value stands for counts as shown: the update that follows the write then
  // leaves the user's text alone.
  f->shown_ = f->makeString();
  f->hasShown_ = true;
  f->writeValue(f->value_);
}

void UIfield::setResources(Widget w, int seq) {
  if (seq != -1 && newer(objId, "width", seq)) {
    rebuildObject(widget_);
    return;
  }
  UIvaluator::setResources(w, seq);
  if (UIisBeingDestroyed(w)) return;
  int v = 0;
  // Read first: it decides whether "width" is applied.
  OMobj_id p = sub(objId, "resizeMode");
  if (newer(p, seq)) {
    if (OMget_int_val(p, &v) != 1) v = 0;
    // Only a change is set: a set is a pass over all the text's resources.
    if ((v != 0) != resizeWidth_) {
      resizeWidth_ = v != 0;
      XtVaSetValues(w, XmNresizeWidth, resizeWidth_ ? True : False, nullptr);
    }
  }
  UIapplyObjectSize(objId, w, resizeWidth_, false);
  OMobj_id format = sub(objId, "format");
  if (newer(format, seq)) format_ = OMget_int_val(format, &v) == 1 ? (v & 3) : UI_FORMAT_GENERAL;
  if (mode_ == UI_MODE_INTEGER && format_ != UI_FORMAT_FIXED) {
    format_ = UI_FORMAT_FIXED;
    OMcontext ctx(objId, OM_CTX_USER, OM_CTX_PLAIN);
    OMset_int_val(sub(objId, "format", 0), UI_FORMAT_FIXED);
  }
  p = sub(objId, "outputOnly");
  if (newer(p, seq)) UIsetEditable(p, w);
  if (newer(objId, "updateMode", seq)) setUpdateMode();
  setValue();
}

bool UIfield::instanceObject() {
  Widget parent = parentWidgetNow();
  if (!parent) return false;
  int x = 0, y = 0, width = 100, height = 28;
  autoPlacementManager(parent, &x, &y);
  if (!UIgetOMWindowWidth(objId, &width)) UIsetOMWindowWidth(objId, width = 100);
  if (!UIgetOMWindowHeight(objId, &height)) UIsetOMWindowHeight(objId, height = 28);
  // Made with its font list: set after, it changes the text's GCs (a request each).
  XmFontList fonts = chooseFontList(XtDisplay(parent), parent);
  Arg args[12];
  Cardinal n = 0;
  XtSetArg(args[n], XmNx, x), ++n;
  XtSetArg(args[n], XmNy, y), ++n;
  XtSetArg(args[n], XmNwidth, width), ++n;
  XtSetArg(args[n], XmNheight, height), ++n;
  XtSetArg(args[n], XmNeditMode, XmSINGLE_LINE_EDIT), ++n;
  XtSetArg(args[n], XmNresizeHeight, False), ++n;
  XtSetArg(args[n], XmNresizeWidth, False), ++n;
  XtSetArg(args[n], XmNuserData, this), ++n;
  if (fonts) XtSetArg(args[n], XmNfontList, fonts), ++n;
  Widget w = XtCreateWidget(uiprops::nameOf(objId), xmTextWidgetClass, parent, args, n);
  madeWithFontList(w, fonts);
  XmDropSiteUnregister(w);
  XtAddEventHandler(w, LeaveWindowMask, False, leaveWindow, this);
  UIaddCallback<&UIfield::okCallback>(w, XmNactivateCallback, this);
  UIaddCallback<&UIfield::okCallback>(w, XmNlosingFocusCallback, this);
  UIaddCallback<&UIfield::updateImmediate>(w, XmNvalueChangedCallback, this);
  widget_ = w;
  hasShown_ = false;
  resizeWidth_ = false;
  // Resources first, then managed by onObjectCreate once "visible" is known.
  setResources(w, -1);
  onObjectCreate(w);
  if (UIgetOMWindowWidth(objId, &width) && UIgetOMWindowHeight(objId, &height) &&
      (w->core.width != width || w->core.height != height))
    XtVaSetValues(w, XmNwidth, width, XmNheight, height, nullptr);
  return true;
}

void UIfield::updateObject(int seq) {
  if (UIisBeingDestroyed(widget_)) return;
  // Only what surrounds the field changed (its window, a neighbour, the window it publishes in
  // its handle): its properties are applied already, but its window may have resized it.
  if (!onlyItsSurroundingsChanged()) {
    setResources(widget_, seq);
    if (!alive(this) || UIisBeingDestroyed(widget_)) return;
    UIwindow::updateObject(seq);
    if (!alive(this) || UIisBeingDestroyed(widget_)) return;
  }
  // A field that grows with its text keeps the width its text gave it.
  UIapplyObjectSize(objId, widget_, resizeWidth_, false);
}

int UIfieldInstance(OMobj_id id) {
  return UIinstanceEntry<UIfield>(id);
}
int UIfieldUpdate(OMobj_id id, unsigned int mask, int seq) {
  return UIupdateEntry<UIfield>(id, mask, seq);
}
