// The layout editor's state and the event handlers it puts on every bound widget. With
// editing off (as it is until the edit-state object turns it on) the handlers do nothing.
#pragma once

#include <X11/Intrinsic.h>

class UIlayout {
 public:
  static int editEnable;            // editing allowed
  static int snapToGrid;            // snap positions and sizes to the grid
  static int gridX, gridY;          // grid steps in pixels
  static int state;                 // 0 idle, 1 moving, 2 resizing, 3 selected
  static int potentialActionState;  // a press in the selection: 1 move, 2 resize
  static Widget moveWidget;         // the pressed or selected widget
  static Widget destParent;         // the container under the pointer during a move
  static GC layout_gc;

  // Direct handlers (on each bound widget).
  static void keyPressCB(Widget w, XtPointer data, XEvent* event, Boolean* go);
  static void buttonPressCB(Widget w, XtPointer data, XEvent* event, Boolean* go);
  static void buttonReleaseCB(Widget w, XtPointer data, XEvent* event, Boolean* go);
  static void buttonMotionCB(Widget w, XtPointer data, XEvent* event, Boolean* go);
  static void pointerMotionCB(Widget w, XtPointer data, XEvent* event, Boolean* go);
  // Indirect handlers: a grouped widget's events act on its parent (client data).
  static void indirectButtonPressCB(Widget w, XtPointer parent, XEvent* event, Boolean* go);
  static void indirectButtonReleaseCB(Widget w, XtPointer parent, XEvent* event, Boolean* go);
  static void indirectButtonMotionCB(Widget w, XtPointer parent, XEvent* event, Boolean* go);
  static void indirectPointerMotionCB(Widget w, XtPointer parent, XEvent* event, Boolean* go);

  // Removes the direct handlers from w and, for a composite, frame or scale, from its children
  // (with their indirect handlers that point at w).
  static void removeDirectEventHandlers(Widget w);
  // Groups w with parent: w (and its children) pass their events to parent; w's object gets
  // "groupToParent" 1 when w is its top widget.
  static void addIndirectEventHandlers(Widget w, Widget parent);
  static void removeIndirectEventHandlers(Widget w, Widget parent);
  // Ungroups: every bound child of w gets its own handlers again and "groupToParent" 0.
  static void addDirectEventHandlers(Widget w);

  // The selected object is going: forget it.
  static void cleanupOnObjectDestroy(Widget w);
  // old is being replaced by a rebuild of its object: when it is the pressed or selected
  // widget, the editor forgets it and goes idle.
  static void widgetRebuilt(Widget old);
  // Ends a move, resize or selection (state 0).
  static void cleanUpLayoutState();
};

// Registers the editor's and the cursors' entry points and wrapper classes with the object
// manager; UIinit calls it once, before the kit's templates are read.
void UIeditorRegister();
