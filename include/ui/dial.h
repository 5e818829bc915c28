// UIdial: a real-valued property on the library's dial widget, with a title above it and a
// text that shows, and takes, the value. Valuator (both "min" and "max" set) or accumulator
// (turning "valuePerRev" per revolution); integer or real; reals go to the dial's integers
// multiplied by 10^decimal points and truncated.
//
//   XmBulletinBoard "<name>_rowcol" (children placed by hand, one under the other)
//     XmLabel "<name>_label"     "title"
//     XmText  "<name>_value"     the value ("% .*f", or "%#6.*g" from 6 decimals), centred
//     XmForm  "<name>_form"
//       VwDial "<name>_dial"
//
//   object property          widget                                       direction
//   "value"                  the dial's value and the text                 both (drag,
//                            (a drag writes only in "immediateMode")       release, key, text)
//   "min" "max" "mode"       the dial's type, range; min >= max: insensitive  object -> widget
//   "decimalPoints"          scale (at most 8; may grow so ticks fall on    object -> widget
//                            whole dial units)
//   "valuePerRev" "numTicks" a turn of an accumulator; tick spacing        object -> widget
//   "title"                  the label                                     object -> widget
//   "style"                  knob (non-zero) or flat; a change rebuilds     object -> widget
//   "width" "height"         layout (each at least 50 at creation)         object -> widget
//   "color"                  the control's and the dial's colours          object -> widget
//   "active"                 sensitivity (with a usable range)             object -> widget
//
// Reals whose scaled form is not finite or beyond ±0x3FFFFFFF leave the dial as it was; the
// object keeps its value. Typed text without a number is refused and the value shown again.
#pragma once

#include <climits>
#include <string>

#include "ui/VwDial.h"
#include "ui/valuator.h"

class UIdial : public UIvaluator {
 public:
  explicit UIdial(OMobj_id id);
  ~UIdial() override;
  void setResources(Widget w, int seq) override;
  void setActive(const OMobj_id& id, Widget w) override;
  void setBackgroundColor(const OMobj_id& id, Widget w) override;
  void setForegroundColor(const OMobj_id& id, Widget w) override;
  bool instanceObject() override;
  void updateObject(int seq) override;
  void addLayoutEditorEventHandlers(Widget w) override;
  // The valuator's rule (0..8), 0 in integer mode; then the value per turn and the value.
  void setDecimalPoints(Widget w) override;

  // 10^decimal points.
  double scaleFactor() const;
  // The value clamped to the bounds that are set (kept), times the scale factor.
  double scaledValue();
  // The tick spacing for n ticks in dial units (may raise the decimal points, see
  // UIdialScaleInc).
  double scaleInc(int n);
  void setValue();
  // Shows the value in the text, centred; only when the text to show differs from the one
  // shown last (a pending edit stays), or when forced.
  void setValueString(bool force = false);
  void setValuePerRev(const OMobj_id& id);
  void setNumTicks(const OMobj_id& id);
  void setImmediateMode(const OMobj_id& id);
  void setTitleString(const OMobj_id& id);
  void setWidth(const OMobj_id& id, Widget w);
  void setHeight(const OMobj_id& id, Widget w);
  // Type, range, ticks, decimal points, turn and value to the dial in one call.
  void updateDialWidget();

  // The text's Return. Registered with UIaddCallback, as are the two below.
  static void valueWidgetCB(Widget w, UIdial* binding, XmAnyCallbackStruct* call);
  // The dial's drag and its release or key step; the widget argument is null, the dial is in
  // the call data. Calls from a widget other than the binding's own dial are dropped.
  static void onDialDrag(Widget w, UIdial* binding, VwDialCallbackStruct* call);
  static void onDialRelease(Widget w, UIdial* binding, VwDialCallbackStruct* call);

  Widget dialWidget() const { return dial_; }
  Widget textWidget() const { return text_; }
  Widget titleWidget() const { return title_; }
  bool usable() const { return usable_ != 0; }

 private:
  void applyGeometry();
  bool writeValue(double v);
  // The dial moved: takes its value; a drag writes it only in immediate mode.
  void dialMoved(VwDialCallbackStruct* call, bool dragging);

  int immediateMode_ = 0;
  double valuePerRev_ = 100.0;
  int numTicks_ = 10;
  int usable_ = 1;
  Widget container_ = nullptr, title_ = nullptr, text_ = nullptr, form_ = nullptr, dial_ = nullptr;
  std::string shown_;  // the number the binding showed last
  bool hasShown_ = false;
  // The update sequence of the last rebuild for "style": one rebuild per update.
  int lastRebuildSeq_ = INT_MIN;
};

int UIdialInstance(OMobj_id id);
int UIdialUpdate(OMobj_id id, unsigned int mask, int seq);
