// UItext: a string edited in a text widget, on one line or several.
//
//   XmText "<name>"
//
//   object property      widget                                    direction
//   "text"               the text (with "showLastPosition", the     both
//                        cursor goes to its end)
//   "rows" "columns"     XmNrows / XmNcolumns; the resulting size   object -> widget,
//                        is written to "height" / "width"           size back
//   "multiLine"          XmNeditMode                                object -> widget
//   "wordWrap"           XmNwordWrap                                object -> widget
//   "resizeToText"       XmNresizeWidth and XmNresizeHeight         object -> widget
//   "outputOnly"         XmNeditable (non-zero: read-only)          object -> widget
//   "updateMode"         when the text is written back (bits): 1 Return (Ctrl+Return in a
//                        multi-line text; Return writes even an unchanged text), 2 losing
//                        focus (only a changed text), 4 pointer leaving (with "active"
//                        set and non-zero), 8 every change          object -> binding
//   "width" "height"     size where the widget does not resize     object -> widget
//
// Text the binding sets itself is not typing: it writes nothing back.
#pragma once

#include <string>

#include "ui/wind.h"

class UItext : public UIwindow {
 public:
  explicit UItext(OMobj_id id);
  ~UItext() override;
  void setResources(Widget w, int seq) override;
  bool instanceObject() override;
  void updateObject(int seq) override;

  // Appliers of single properties: each takes the property's id and the widget.
  static void setRows(const OMobj_id& id, Widget w);
  static void setColumns(const OMobj_id& id, Widget w);
  static void setValue(const OMobj_id& id, Widget w);
  static void setEditable(const OMobj_id& id, Widget w);
  static void setResizeHeight(const OMobj_id& id, Widget w);
  static void setResizeWidth(const OMobj_id& id, Widget w);
  static void setEditMode(const OMobj_id& id, Widget w);
  static void setWordWrap(const OMobj_id& id, Widget w);
  // Reads "updateMode" (1 when unset).
  void setUpdateMode();

  // Pointer leaving (an event handler, client data ignored: the binding is looked up from w).
  static void leaveWindow(Widget w, XtPointer binding, XEvent* event, Boolean* go);
  // Return and losing the focus, and every change of the text (by update mode). Registered
  // with UIaddCallback; nothing happens for a widget being destroyed.
  static void enterLeave(Widget w, UItext* binding, XmAnyCallbackStruct* call);
  static void updateImmediate(Widget w, UItext* binding, XmAnyCallbackStruct* call);

 private:
  // Writes the widget's text to "text" (context mode 1); false when that destroyed the
  // binding.
  bool writeText();

  int showLastPosition_ = 0;
  int updateMode_ = 1;
  bool settingText_ = false;
  std::string written_;  // the text being written back, until its update has come
  bool hasWritten_ = false;
};

int UItextInstance(OMobj_id id);
int UItextUpdate(OMobj_id id, unsigned int mask, int seq);
