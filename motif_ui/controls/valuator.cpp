// UIvaluator: value, range, precision and mode of the numeric controls.
#include "ui/valuator.h"

#include <Xm/Text.h>
#include <Xm/Xm.h>

#include "om/om_scope.h"
#include "ui/misc.h"

#include "props.h"

namespace {

using uiprops::newer;
using uiprops::sub;

}  // namespace

UIvaluator::UIvaluator(OMobj_id id) : UIwindow(id) {}
UIvaluator::~UIvaluator() = default;

void UIvaluator::setResources(Widget w, int seq) {
  UIcore::setResources(w, seq);
  OMobj_id p = sub(objId, "min");
  if (newer(p, seq)) {
    minSet_ = OMget_real_val(p, &min_) == 1;
    if (!minSet_) min_ = 0.0;
  }
  p = sub(objId, "max");
  if (newer(p, seq)) {
    maxSet_ = OMget_real_val(p, &max_) == 1;
    if (!maxSet_) max_ = 100.0;
  }
  int v = 0;
  p = sub(objId, "includeMin");
  if (newer(p, seq)) includeMin_ = OMget_int_val(p, &v) == 1 && (v & 1);
  p = sub(objId, "includeMax");
  if (newer(p, seq)) includeMax_ = OMget_int_val(p, &v) == 1 && (v & 1);
  if (newer(objId, "decimalPoints", seq)) setDecimalPoints(w);
  valueUpdated_ = false;
  p = sub(objId, "value");
  if (newer(p, seq)) {
    double d = 0;
    if (OMget_real_val(p, &d) == 1) {
      valueUpdated_ = true;
      valueNull_ = false;
      Value(d);
    } else {
      previous_ = value_;
      valueNull_ = true;
    }
  }
  p = sub(objId, "mode");
  if (newer(p, seq)) {
    mode_ = OMget_int_val(p, &v) == 1 ? (v & 3) : 0;
    if (mode_ == 0) mode_ = UI_MODE_REAL;
  }
}

void UIvaluator::setDecimalPoints(Widget) {
  OMobj_id p = sub(objId, "decimalPoints");
  int d = 0;
  if (OMget_int_val(p, &d) != 1) return;
  if (d > 8) {
    d = 8;
    OMcontext ctx(objId, OM_CTX_USER, OM_CTX_PLAIN);
    OMset_int_val(p, d);
  }
  // A negative count would build malformed formats; it means no decimals.
  decimalPoints_ = d < 0 ? 0 : d;
}

void UIsetEditable(const OMobj_id& outputOnly, Widget w) {
  if (UIisBeingDestroyed(w)) return;
  int v = 0;
  bool readOnly = OMget_int_val(outputOnly, &v) == 1 && v != 0;
  XmTextSetEditable(w, readOnly ? False : True);
}
