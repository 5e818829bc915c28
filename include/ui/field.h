// UIfield: a number edited in a one-line text widget, kept within a range, formatted for
// display and parsed from what the user types (in the C locale, whatever the process locale).
//
//   XmText "<name>"
//
//   object property      widget                                   direction
//   "value"              the text (format, mode, decimal points)  both
//   "min" "max" "includeMin" "includeMax"  range: clamped or refused  object -> binding
//   "decimalPoints" "mode"  see UIvaluator                        object -> binding
//   "format"             0 general "%.10g", 1 fixed, 2 exponential (integer mode: fixed,
//                        written back)                            object -> binding
//   "nullString"         the text while "value" is unset           object -> widget
//   "outputOnly"         XmNeditable (non-zero: read-only)         object -> widget
//   "resizeMode"         XmNresizeWidth                            object -> widget
//   "updateMode"         when typed text is written (bits):        object -> binding
//                        1 Return, 2 losing focus, 4 pointer leaving, 8 every change
//   "width" "height"     size (a width change rebuilds the widget) object -> widget
//
// Typed text is never lost silently: the widget's text is rewritten only when the text to
// show differs from the text the binding showed last (or after a refused entry), so an
// update of another property leaves a pending edit alone. In mode 8 the text is never
// rewritten while the user types; Return or losing the focus shows the object's value again.
// Text the binding sets itself is not typing: it writes nothing back.
#pragma once

#include <string>

#include "ui/valuator.h"

class UIfield : public UIvaluator {
 public:
  explicit UIfield(OMobj_id id);
  ~UIfield() override;
  void setResources(Widget w, int seq) override;
  bool instanceObject() override;
  void updateObject(int seq) override;

  // The text to show for the value (the null string while it is unset); the value becomes
  // the number read back from it. The text lives in the binding until the next call.
  const char* makeString();
  // Clamps (or, with an excluded bound, refuses) the value, shows it, and in integer mode
  // writes a value that printing rounded back to the object.
  void setValue();
  // True to refuse typed text (a letter, see UIalphaCheck).
  bool alphaCheck(const char* text);
  // Reads "updateMode" (1 when unset).
  void setUpdateMode();

  // Return and losing the focus (by update mode): commits the typed text. Registered with
  // UIaddCallback; nothing happens for a widget being destroyed.
  static void okCallback(Widget w, UIfield* binding, XmAnyCallbackStruct* call);
  // Every change of the text, in update mode 8.
  static void updateImmediate(Widget w, UIfield* binding, XmAnyCallbackStruct* call);
  // Pointer leaving (an event handler, client data ignored: the binding is looked up from w).
  static void leaveWindow(Widget w, XtPointer binding, XEvent* event, Boolean* go);

 private:
  // Puts text into the widget unless the binding showed that text last (force: always),
  // without taking it for typing.
  void showText(const std::string& text, bool force);
  void show(bool force);
  void commit();
  // Return (bit 1), losing focus (2) or leaving (4): commits when the update mode says so.
  void committing(int bit);
  // Writes "value" (context mode 1); false when the write destroyed the binding.
  bool writeValue(double v);
  // Re-reads "min" and "max"; true for each that has a value.
  void rereadBounds(bool* hasMin, bool* hasMax);

  int updateMode_ = 1;
  int format_ = UI_FORMAT_GENERAL;
  std::string made_;   // makeString's text
  std::string shown_;  // the text the binding put into the widget last
  bool hasShown_ = false;
  bool settingText_ = false;  // the binding is setting the widget's text
  // The widget's XmNresizeWidth, which only the binding sets: made False, then "resizeMode".
  bool resizeWidth_ = false;
};

int UIfieldInstance(OMobj_id id);
int UIfieldUpdate(OMobj_id id, unsigned int mask, int seq);
