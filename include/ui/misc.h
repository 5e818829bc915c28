// Lookups between objects, bindings and widgets; the guard against stale widget pointers;
// position and size between object and widget; reparenting; label helpers; UIgeom.
#pragma once

#include <X11/Intrinsic.h>

#include <vector>

#include "om/om.h"

class UIwindow;

// ---- Type tests: the object is made from the template of that name (or one derived). ----
bool UIisApp(const OMobj_id& id);
bool UIisShell(const OMobj_id& id);
bool UIisPanel(const OMobj_id& id);
bool UIisRowColumn(const OMobj_id& id);
bool UIisScrolledWindow(const OMobj_id& id);
bool UIisFrame(const OMobj_id& id);
bool UIisOptionBox(const OMobj_id& id);
bool UIisOptionMenu(const OMobj_id& id);
bool UIisRadioBox(const OMobj_id& id);
bool UIisSlider(const OMobj_id& id);
bool UIisDial(const OMobj_id& id);

// ---- The guard ----------------------------------------------------------------------------
// True for null, for any pointer that is not a live widget the library has seen made (stale,
// freed, garbage, or of a display the library does not serve), and for a widget being
// destroyed. Never reads through a pointer it does not know to be live.
bool UIisBeingDestroyed(Widget w);
// The live widgets of a watched display that have no parent (application shells and the
// like), except Motif's display object (which goes when the display is closed): destroying
// them destroys every widget of the display.
std::vector<Widget> UIrootWidgetsOf(Display* display);
// Records every widget made and destroyed on display from now on (done for each display the
// library opens or is given). A widget destroyed there also gives back what Motif kept for
// drawing text in its window.
void UIwatchWidgets(Display* display);
// Gives back what Motif keeps for drawing text in the windows of w and of every widget inside
// it, pop-ups too. For windows about to be destroyed other than by destroying their widgets
// (unrealizing): the server frees a window's picture with it, and Motif never lets its own go.
void UIreleaseTextDrawing(Widget w);

// ---- Lookups ------------------------------------------------------------------------------
// The binding in w's XmNuserData; null for a widget being destroyed or one named "NEcontainer"
// or "NEprimitive" (their user data belongs to another component).
UIwindow* UIwidgetToClass(Widget w);
OMobj_id UIwidgetToObjId(Widget w);
// The "handle" "widget" of an object; null for OMnull_obj (without lookup) or when unreadable.
Widget UIobjIdToWidget(const OMobj_id& id);
// The widget children of the object named by id's "parent" go under (after that parent's
// pending instancing): its widget, a frame's first child, a scrolled window's work window.
Widget UIgetParentWnd(const OMobj_id& id, char unused);
// Where the children of a container widget go: a frame's first child, a scrolled window's
// work window, else the widget itself; null for a widget being destroyed.
Widget UIclientOf(Widget w);
Widget UIfindNearestMainWindowAncestor(Widget w);
bool UIisAncestorOf(Widget w, Widget a);
bool UIisDescendentOf(Widget w, Widget d);
bool UIisWorkAreaChild(Widget w);
int UIfindContext(Widget w, char** data, int context);
int UIsaveContext(Widget w, char* data, int context);
void UIgetScaleXY(double* x, double* y);

// ---- Geometry between object and widget --------------------------------------------------
void UIsetOMWindowX(const OMobj_id& id, int v);
void UIsetOMWindowY(const OMobj_id& id, int v);
void UIsetOMWindowWidth(const OMobj_id& id, int v);
void UIsetOMWindowHeight(const OMobj_id& id, int v);
bool UIgetOMWindowX(const OMobj_id& id, int* v);
bool UIgetOMWindowY(const OMobj_id& id, int* v);
// True only when read and in 1..32767 (an X size); *v holds what was read either way.
bool UIgetOMWindowWidth(const OMobj_id& id, int* v);
bool UIgetOMWindowHeight(const OMobj_id& id, int* v);
// X keeps positions and sizes in 16 bits. These test a value an object gives before it is
// applied: a position must lie in -32768..32767, a size may not exceed 32767 (sizes below 1
// are the caller's to judge). Out of range, they report through ERRerror with `routine`
// ("The x value of 40000 is invalid. ... No action taken.") and return false; the caller
// then leaves the widget and the object as they are.
bool UIpositionInRange(const char* routine, const char* what, int v);
bool UIdimensionInRange(const char* routine, const char* what, int v);
// Applies the object's geometry to the widget (unset or non-positive sizes: the widget's).
// A position or size beyond 16 bits is reported and nothing is applied.
void UIsetOMWindowPos(const OMobj_id& id, Widget w);
// Gives w the object's "width" and "height" where its own differ, each unless kept (a widget
// that sizes itself to its text). A size out of 1..32767 is left alone: UIsetOMWindowPos
// reports it.
void UIapplyObjectSize(const OMobj_id& id, Widget w, bool keepWidth, bool keepHeight);
void UIsetWindowPos(Widget w, int x, int y, int width, int height);
// Write a geometry the user gave a widget back into its object (only what differs).
void UIupdateOMRequestedWindowPos(Widget w, int x, int y, int flags);
void UIupdateOMRequestedWindowSize(Widget w, int width, int height, int flags);
void UIupdateOMRequestedWindowPosSize(Widget w, int x, int y, int width, int height, int flags);

// ---- Reparenting --------------------------------------------------------------------------
// Moves a bound widget under parent by rebuilding it; nothing when a check fails.
void SetParent(Widget w, Widget parent);
// When obj would be its own parent: unlinks "parent", reports, and returns true.
bool UIdetectIllegalParentConnection(const OMobj_id& obj, const OMobj_id& parent);
void UIadjustWorkAreaParentGeometry(Widget w, unsigned short width, unsigned short height);
// Grows parent to hold child's right and bottom edges (plus a main window's menu bar).
void UIadjustNewParentGeometry(Widget child, Widget parent);

// ---- Labels and widgets -------------------------------------------------------------------
bool UIsetXmMnemonicFromString(Widget w, const char* s);
bool UIsetXmLabelFromString(Widget w, const char* s);
void DragAndDropDisable(Widget w);
// A new object from a template path, under a unique name in the default instance place.
OMobj_id UIcreate_obj_from_str(const char* templatePath, const char* name, int* seq);

// ---- UIgeom: widget geometry, refusing widgets being destroyed ----------------------------
class UIgeom {
 public:
  static bool getWidgetPos(Widget w, short& x, short& y);
  static bool getWidgetSize(Widget w, unsigned short& width, unsigned short& height);
  static bool getWidgetPosSize(Widget w, short& x, short& y, unsigned short& width,
                               unsigned short& height);
  static bool setWidgetPos(Widget w, short x, short y);
  static bool setWidgetSize(Widget w, unsigned short width, unsigned short height);
  // Ends with XSync.
  static bool setWidgetPosSize(Widget w, short x, short y, unsigned short width,
                               unsigned short height);
};
