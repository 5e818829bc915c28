// UIrendView: an empty window whose X window is published for a renderer to draw into.
//
//   UIrendView  XmRowColumn "<name>" (packing none, no resizing of its own; the binding's
//               widget; user data = the binding)
//
//   "x" "y" "width" "height" -> geometry (width and height set to 200 when missing)
//   "handle" "window"        <- the widget's X window, once it has one (UIrendView_OnRealize)
//
// Mouse interactors (ui/interact.h) whose "view" is a render view get its pointer events.
#pragma once

#include "ui/wind.h"

class UIrendView : public UIwindow {
 public:
  explicit UIrendView(OMobj_id id);
  // Makes the row column as above under the parent widget; false without a parent widget.
  bool instanceObject() override;
};

// Structure-event handler with the binding as client data: the first time the widget has an X
// window while the handle holds none, the window goes into the handle.
void UIrendView_OnRealize(Widget w, XtPointer binding, XEvent* event, Boolean* go);

int UIrendViewInstance(OMobj_id id);
int UIrendViewUpdate(OMobj_id id, unsigned int mask, int seq);
