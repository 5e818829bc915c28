// The layout editor: with editing on, mouse button 2 selects a bound widget (a frame with
// eight handles), drags it (move), drags its border (resize), drops it into another container
// (reparent); Backspace or Delete destroys the selected object. Positions and sizes snap to a
// grid. Every change is written into the object manager, whose updates then move, resize or
// rebuild the widget; the editor itself only draws rubber-band outlines.
//
//   edit-state object (UIlayoutEditState)    editor state                   direction
//   edit, snap, group, ungroup, gridX, gridY  editEnable, snapToGrid ...     object -> editor
//   editObjectPath, displayObjectPath         named string objects get the   editor -> object
//                                             selected object's path
//   the selected object's x y width height    a move or resize              editor -> object
//   its "parent"                              a drop into another container  editor -> object
//
// All state is static (one editor for every display); editing is off until the edit-state
// object turns it on, and with editing off every handler returns at once.
#pragma once

#include <X11/Intrinsic.h>

#include <string>
#include <vector>

#include "om/omx.h"

enum UIlayoutObjectType { UI_LAYOUT_OUTLINE = 1, UI_LAYOUT_HANDLES = 2 };
// 0 redraws the figure last drawn with state 1 (which, with the XOR GC, erases it); 1 draws
// and remembers; 2 draws without remembering.
enum UIlayoutObjectState { UI_LAYOUT_REDRAW = 0, UI_LAYOUT_DRAW = 1, UI_LAYOUT_DRAW_ONLY = 2 };

class UIlayout {
 public:
  // The editor's nine cursors, made on each display the first time a widget of that display
  // is selected (never on a display the selected widget does not belong to).
  enum CursorKind {
    kMove,
    kTop,
    kBottom,
    kRight,
    kLeft,
    kTopLeft,
    kTopRight,
    kBottomLeft,
    kBottomRight,
    kCursorCount
  };

  static int editEnable;            // editing allowed
  static int snapToGrid;            // snap positions and sizes to the grid
  static int gridX, gridY;          // grid steps in pixels (at least 1)
  static int state;                 // 0 idle, 1 moving, 2 resizing, 3 selected
  static int potentialActionState;  // a press in the selection: 1 move, 2 resize
  static Widget moveWidget;         // the pressed or selected widget
  static Widget destParent;         // the container under the pointer during a move
  static Window root;               // the root window of the selected widget
  static GC layout_gc;              // XOR: draws and erases rubber bands
  static GC expose_gc;              // copy: repaints the selection frame
  static bool changeX, changeY, resizeWidth, resizeHeight;  // edges a resize drags
  static short select_x, select_y;                          // press position in the widget
  static short last_motion_x, last_motion_y;                // rubber band origin (root)
  static unsigned short last_motion_width, last_motion_height;
  static Time moveReleaseTime;  // the release that ended the last move
  static bool rubberBandDrawn;  // a rubber band is on screen
  static bool resizeBlocked;    // the pressed edges may not be dragged
  static bool sizeValid;        // the last resize motion gave a size the editor may write
  static std::string editObjectPath, displayObjectPath;

  // Direct handlers (on each bound widget).
  static void keyPressCB(Widget w, XtPointer data, XEvent* event, Boolean* go);
  static void buttonPressCB(Widget w, XtPointer data, XEvent* event, Boolean* go);
  static void buttonReleaseCB(Widget w, XtPointer data, XEvent* event, Boolean* go);
  static void buttonMotionCB(Widget w, XtPointer data, XEvent* event, Boolean* go);
  static void pointerMotionCB(Widget w, XtPointer data, XEvent* event, Boolean* go);
  // All but buttonPressCB as one entry of the widget's handler list: keyPressCB for a key,
  // buttonReleaseCB for a release, buttonMotionCB (button 1 or 2 held) then pointerMotionCB
  // for a motion. The key, release and button motion parts run only while the widget's direct
  // handlers are on (ownHandlersOn); the pointer's preview always.
  static void directEventCB(Widget w, XtPointer data, XEvent* event, Boolean* go);
  // The events directEventCB takes.
  static constexpr EventMask kDirectEvents = KeyPressMask | ButtonReleaseMask | Button1MotionMask |
                                             Button2MotionMask | PointerMotionMask |
                                             PointerMotionHintMask;
  // Puts the direct handlers on w as entries of their own, buttonPressCB first in its list,
  // directEventCB after the toolkit's, and switches them on. For a widget without a binding
  // of its own (a scrolled window's scroll bars); a binding's own widget has them in the pair
  // of entries it shares with the pointer's handlers (UIwindow::addWindowHandlers).
  static void addOwnHandlers(Widget w);
  // False while w's direct handlers are off (grouped: removeDirectEventHandlers).
  static bool ownHandlersOn(Widget w);
  // Switches w's direct handlers back on, where they were put on before and kept.
  static void switchOwnHandlersOn(Widget w);
  // Indirect handler: a grouped widget's presses, releases and motions act on its parent
  // (client data), at the place they would have had there. One entry, first in the widget's
  // list, so that a press the group takes never reaches the widget's own actions; those see
  // the event unchanged. Each grouped widget (a list's scroll bars and clip window too) has it.
  static void indirectEventCB(Widget w, XtPointer parent, XEvent* event, Boolean* go);
  // A button 2 motion alone, for an option's button: it moves the whole box while editing.
  static void indirectButtonMotionCB(Widget w, XtPointer parent, XEvent* event, Boolean* go);
  // Drop targets: a container (client data) entered right after a move's release takes the
  // moved object as its child; a radio box's row-column takes a "UIoption" palette item as a
  // new option of its "cmdList".
  static void enterNotifyCB(Widget w, XtPointer container, XEvent* event, Boolean* go);
  static void cmdListEnterNotifyCB(Widget w, XtPointer container, XEvent* event, Boolean* go);
  // Makes w a drop target (enterNotifyCB with w as client data).
  static void addDropTarget(Widget w);
  // Repaints the selection frame on exposure of the selected widget.
  static void overlayWindowExposeHandler(Widget w, XtPointer data, XEvent* event, Boolean* go);

  // Switches the direct handlers off on w and, for a composite, frame or scale, on its
  // children (and removes their indirect handlers that point at w); entries of their own
  // (addOwnHandlers) are removed but directEventCB's preview.
  static void removeDirectEventHandlers(Widget w);
  // Groups w with parent: w (and its children) pass their events to parent; w's object gets
  // "groupToParent" 1 when w is its top widget.
  static void addIndirectEventHandlers(Widget w, Widget parent);
  static void removeIndirectEventHandlers(Widget w, Widget parent);
  // Ungroups: every bound child of w gets its own handlers again and "groupToParent" 0.
  static void addDirectEventHandlers(Widget w);
  // With editing on and a composite or frame selected: its children pass their events to it
  // (group), or get their own handlers back (ungroup).
  static void groupObjects();
  static void ungroupObjects();

  // The selected object is going: forget it.
  static void cleanupOnObjectDestroy(Widget w);
  // old is being replaced by a rebuild of its object: when it is the pressed or selected
  // widget, the editor forgets it and goes idle.
  static void widgetRebuilt(Widget old);
  // Ends a move, resize or selection (state 0): the widget gets its own cursor back and
  // repaints.
  static void cleanUpLayoutState();

  // Snaps v to the nearest grid line counted from origin (with snapping on); while resizing a
  // widget whose parent is not a work-area child, never below origin.
  static short gridMapX(short v, short origin);
  static short gridMapY(short v, short origin);
  // Draws the outline (type 1) or the frame with handles (type 2) of a rectangle; see
  // UIlayoutObjectState. Nothing for a widget being destroyed.
  static void drawLayoutObject(Widget w, Drawable d, GC gc, int x, int y, int width, int height,
                               UIlayoutObjectType type, UIlayoutObjectState state);
  // The origin, in root coordinates, that a move's rubber band snaps against: the moved
  // widget's Xt parent's origin. findParentZeroY also sets destParent to the widget under the
  // pointer.
  static short findParentZeroX(Widget w);
  static short findParentZeroY(Widget w);
  // Whether the moved widget may go into container: not itself, not its current parent, not
  // one of its descendants. On success the two bindings and the rubber band's origin in the
  // container's coordinates; destParent = container.
  static bool checkForReparent(Widget container, class UIwindow** containerBinding,
                               UIwindow** movedBinding, int* x, int* y);
  // A pure form of the grid step: refused (false, reported) below 1.
  static bool setGrid(int x, int y);
  // The cursor of a kind on w's display.
  static Cursor cursorFor(Widget w, CursorKind kind);
};

// ---- Undo and redo ---------------------------------------------------------------------------
// Each edit the editor writes (a move, a resize, a reparent, an option added by a drop, a
// delete) is one step; Ctrl+Z undoes, Ctrl+Shift+Z or Ctrl+Y redoes while editing is on, as do
// the edit-state object's undo and redo triggers. A new edit clears what could be redone; the
// last 1000 steps are kept. Undoing a delete makes the object again from a copy kept aside,
// with its values, links, place among its siblings and the links other objects held to it. A
// step whose object has gone since is dropped quietly. Nothing happens in the middle of a drag.
// Each returns true when a step was undone or redone.
bool UIlayoutUndo();
bool UIlayoutRedo();
int UIlayoutUndoDepth();
int UIlayoutRedoDepth();
void UIlayoutClearHistory();

// Called on Ctrl+S while editing is on (the runner saves the edits into the file); null for
// nothing.
extern void (*UIlayoutSaveHook)();

// What the editor changed, net of undo: for each object, the x, y, width and height it set last
// (in the order first edited) ...
struct UIlayoutGeometryEdit {
  OMobj_id object;
  const char* key;  // "x", "y", "width" or "height"
  int value;
};
// ... and the edits a file cannot take: reparents ("reparented"), deletions ("deleted"; object
// is the deleted one's container, name its name) and options added by a drop ("option added").
// An object reparented has none of its geometry among the first list.
struct UIlayoutStructureEdit {
  OMobj_id object;
  std::string name;
  const char* what;
};
void UIlayoutNetEdits(std::vector<UIlayoutGeometryEdit>* geometry,
                      std::vector<UIlayoutStructureEdit>* structure);

// The edit-state object's wrapper: in order, the edit-enable int, the snap-to-grid int, the
// group trigger, the ungroup trigger, grid step x, grid step y, the edit-object path and the
// display-object path; then the undo and redo triggers.
class UIlayoutEditState : public OMXgroup {
 public:
  explicit UIlayoutEditState(OMobj_id id);
  // Calls update with everything counted as changed. Returns 1.
  int init(unsigned int mask, int seq) override;
  // Applies the members changed since seq to the editor. Returns 1.
  int update(unsigned int mask, int seq) override;

  OMXint editEnable, snapToGrid, group, ungroup, gridX, gridY;
  OMXstr editObjectPath, displayObjectPath;
  OMXint undo, redo;
};

// The selection manager's update entry point: when "trigger" is newer than "update" and a
// widget is selected, its object takes "font" and, as "setColorIndex" says (0 background,
// 1 foreground), a colour.
int UIselectionManagerUpdate(OMobj_id id);

// The editor module's initialisation entry points: LEobjInit returns 0, LEeditInit does
// nothing.
int LEobjInit(OMobj_id id);
void LEeditInit();

// Registers the editor's and the cursors' entry points and wrapper classes with the object
// manager; UIinit calls it once, before the kit's templates are read.
void UIeditorRegister();
