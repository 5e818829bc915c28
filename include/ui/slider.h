// UIslider: a real-valued property on a Motif scale. The scale works with integers and a
// count of decimal points: reals go to it multiplied by 10 once per decimal point and rounded,
// its integers come back multiplied by 0.1 once per point (314 with 2 points is
// 3.1400000000000006).
//
//   XmScale "<name>"
//     title, XmScrollBar (its trough in its own background colour)
//
//   object property        widget                                      direction
//   "value"                XmNvalue (clamped into a known range, the     both (a drag,
//                          clamp written back)                           release or key)
//   "min" "max"            XmNminimum / XmNmaximum; min >= max makes it   object -> widget
//                          insensitive; a bound linked to an object with
//                          no value yet widens the range to the value
//   "decimalPoints" "mode" XmNdecimalPoints (unset: from the range; 0 in  object -> widget
//                          integer mode)
//   "increment"            XmNscaleMultiple (unset or out of range:       object -> widget
//                          a tenth of the range)
//   "immediateMode"        the value is written while dragging too       object -> binding
//   "horizontal"           XmNorientation (a change rebuilds the widget) object -> widget
//   "processingDirection"  XmNprocessingDirection (0 max right, 1 left;   object -> widget
//                          vertical 2 max bottom, 3 top)
//   "title" "showValue"    XmNtitleString, XmNshowValue                   object -> widget
//   "active"               sensitivity (with a usable range)             object -> widget
//
// A real whose scaled form is not finite or lies beyond ±0x3FFFFFFF leaves the widget as it
// was; the object keeps its value.
#pragma once

#include <Xm/Scale.h>

#include <climits>

#include "ui/valuator.h"

class UIslider : public UIvaluator {
 public:
  explicit UIslider(OMobj_id id);
  ~UIslider() override;
  // Sensitive only when "active" (1 when unset) and the range is usable.
  void setActive(const OMobj_id& id, Widget w) override;
  bool instanceObject() override;
  void updateObject(int seq) override;
  // The window's handlers, and the layout editor's indirect ones on the scale's children.
  void addLayoutEditorEventHandlers(Widget w) override;
  // "decimalPoints" when set (not below 0), else derived from the range; 0 in integer mode.
  void setDecimalPoints(Widget w) override;

  // The slider's properties that changed after seq (see the header comment); fresh: w was
  // just made with its title and direction, which are not set again.
  void setSliderResources(Widget w, int seq, bool fresh = false);
  void setMinMax(Widget w);
  void setValue(Widget w);
  // w: the scroll bar; the multiple goes to its parent, the scale.
  void setIncrement(const OMobj_id& obj, const OMobj_id& increment, Widget w);
  void setImmediateMode(Widget w);
  void setProcessingDirection(Widget w);
  // XmNprocessingDirection from "horizontal" and "processingDirection".
  unsigned char processingDirection() const;
  // The scale's minimum, maximum and value for value in the current range and precision;
  // false when the scale cannot hold them.
  bool scaleFigures(double value, int* ilo, int* ihi, int* iv) const;
  void setOrientation(Widget w);
  void setTitleString(Widget w);
  void setShowValue(Widget w);
  void setSliderTroughColor(Widget scrollBar);

  // A drag (in immediate mode) or a change of the scale's value: writes "value". Registered
  // with UIaddCallback; nothing happens for a widget being destroyed.
  static void valueChangedCB(Widget w, UIslider* binding, XmScaleCallbackStruct* call);
  // The step is applied again once the scroll bar is mapped (an event handler, client data
  // ignored: the binding is looked up from the scroll bar's parent).
  static void onMap(Widget w, XtPointer binding, XEvent* event, Boolean* go);

  bool usable() const { return usable_ != 0; }
  bool rangePending() const { return rangePending_ != 0; }

 private:
  Widget scrollBar_ = nullptr;
  int usable_ = 1;
  int rangePending_ = 0;
  // The update sequence of the last rebuild for "horizontal": one rebuild per update.
  int lastRebuildSeq_ = INT_MIN;
  // The precision and range last given to scale_ (by this binding alone: a user's drag moves
  // only the value), so that a new value is compared and set without a pass over the
  // scale's resources for the figures that did not change. Stale for any other widget.
  struct Shown {
    Widget scale = nullptr;
    short decimalPoints = 0;
    int lo = 0, hi = 0;
  } shown_;
  void remember(Widget scale, short decimalPoints, int lo, int hi);
};

int UIsliderInstance(OMobj_id id);
int UIsliderUpdate(OMobj_id id, unsigned int mask, int seq);
