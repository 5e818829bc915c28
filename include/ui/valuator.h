// UIvaluator: the common base of the numeric controls (fields, sliders, dials). It holds the
// value, its range, its precision and its mode, read from the object:
//
//   object property          valuator state                direction
//   "min" "max"              bounds (unset: 0, 100; "set" flags cleared)   object -> binding
//   "includeMin" "includeMax" whether a bound itself is allowed           object -> binding
//   "decimalPoints"          digits after the point, at most 8 (a larger   object -> binding,
//                            value is cut to 8 and written back; below 0    capped value back
//                            counts as 0)
//   "value"                  the value, or "null" while unset              object -> binding
//   "mode"                   1 integer, 2 real (0, 3 or unset: real)       object -> binding
//
// The subclasses show the value and write what the user did back into "value".
#pragma once

#include "ui/valuatorMath.h"
#include "ui/wind.h"

class UIvaluator : public UIwindow {
 public:
  explicit UIvaluator(OMobj_id id);
  ~UIvaluator() override;

  // The common resources, then the valuator's properties that changed after seq (above).
  void setResources(Widget w, int seq) override;
  bool instanceObject() override = 0;
  // Reads "decimalPoints" (above); subclasses add their own rules.
  virtual void setDecimalPoints(Widget w);
  // previous value <- value; value <- v.
  void Value(double v) {
    previous_ = value_;
    value_ = v;
  }

  double value() const { return value_; }
  bool valueNull() const { return valueNull_; }
  int decimalPoints() const { return decimalPoints_; }
  int mode() const { return mode_; }

 protected:
  double min_ = 0.0;
  double max_ = 100.0;
  double previous_ = 0.0;
  double value_ = 0.0;
  int decimalPoints_ = 2;
  bool minSet_ = false;
  bool maxSet_ = false;
  bool valueUpdated_ = false;  // "value" was read in the current resource pass
  bool includeMin_ = true;
  bool includeMax_ = true;
  bool valueNull_ = true;
  int mode_ = UI_MODE_REAL;
};

// XmNeditable of a text widget from "outputOnly": read-only for any non-zero value, editable
// for 0 or unset.
void UIsetEditable(const OMobj_id& outputOnly, Widget w);
