// Top-level windows: a shell object becomes an X top-level window (transient when its
// user-interface parent has a widget) holding a Motif main window with a work area, an
// optional menu bar and an optional status line.
//
//   TopLevelShell/TransientShell "<name>" > XmMainWindow "<name>MW" (the binding's widget)
//        > container "<name>WA" (children go here)   > XmLabel "commandWindow" (status)
//
//   "title" "iconic" "iconName" "visible" "menu" -> shell and main window
//   "x" "y" "width" "height" <-> shell geometry (window-manager frame accounted for)
//   "statusString" "showStatusBar" -> status line; "display" -> rebuilt on another display
//   window manager's close -> "cancel" 1, "visible" 0 (widgets kept)
//   window manager's iconify/restore -> "iconic"; window destroyed by another client ->
//   "visible" 0 (a later "visible" 1 makes the windows again)
//   "title" and "iconName" also go to _NET_WM_NAME and _NET_WM_ICON_NAME (UTF-8)
#pragma once

#include <string>

#include "ui/dpyMgr.h"
#include "ui/panel.h"

// The window manager's frame around a top-level window, as measured: its kind (0 none
// recognised, 1 Motif, 2 "_SGI_TELL_WM", 3 "_SUN_WM_PROTOCOLS"), whether a position names the
// frame's corner, and the offsets between the shell's position and the frame's.
struct UIwmFrame {
  int wmKind = 0;
  unsigned short xOffset = 0;
  unsigned short yOffset = 0;
  unsigned char positionIsFrame = 0;
  // Set when nothing could be measured because the window is shown as a child of the root: no
  // manager has put a frame around it.
  bool unframed = false;
};

class UIshell : public UIpanel {
 public:
  explicit UIshell(OMobj_id id);
  ~UIshell() override;

  virtual void setShellResources(Widget mainWindow, int seq);
  virtual void setDisplayContext();

  void setCoreResources(int seq) override;
  bool instanceObject() override;
  void updateObject(int seq) override;
  void rebuildObject(Widget old) override;
  void onObjectCreate(Widget w) override;
  void destroyObject() override;
  Widget getParentWidget() override;
  bool positionsItself() const override { return true; }
  bool acceptsTemplateDialogParent() const override { return false; }
  // True when a menu bar built for the shell gets the shell's resources at once (the
  // application window leaves its menu bar as built).
  virtual bool coloursNewMenuBar() const { return true; }

  // The window manager: its kind on w's screen (a _MOTIF_WM_INFO counts only while the window
  // it names exists), and settling the frame record of the shell above w. Kinds 1 and 3 and an
  // unrecognised manager (0) keep the frame's position in the object (positionIsFrame). The
  // frame is measured once a manager has reparented the window (for 0 from _NET_FRAME_EXTENTS,
  // else the ancestor below the root); until then the window is a child of the root and the
  // record stays unsettled. $CQ_WIN_PLACEMENT set to anything but "Auto" switches all of it
  // off: zero offsets, positionIsFrame 0.
  static int findWMType(Widget w);
  static void detectMWMPositionIsFrame(Widget w);
  // Measures the frame around top, a shell that is up (the dialogs share this): with
  // "CQ_WIN_PLACEMENT" set to anything but "Auto" there is none. For kind 3 the offsets are
  // taken against the frame's position in its parent, or on the root with sunFromRoot. False
  // when the frame cannot be measured yet (no window, a query failed).
  static bool measureFrame(Widget top, bool sunFromRoot, UIwmFrame* out);
  // Reads a structure event of the shell top (the dialogs share this): true when it is the
  // reparenting of top's own window, with *unframed set when the new parent is the root (its
  // manager gone, or withdrawing it) and cleared when it is a manager's frame.
  static bool readReparent(Widget top, const XEvent* event, bool* unframed);

  void setVisibility();
  void showStatusText();
  void geometry(int x, int y, int width, int height);
  int calculateClientDecorationWidth(Widget) { return 0; }
  int calculateClientDecorationHeight(Widget mainWindow);

  static void closeCB(Widget w, XtPointer binding, XtPointer call);
  static void virtpal_refreshCB(WText_context* context, int reason, Widget shell);
  static void onSize(Widget w, XtPointer binding, XEvent* event, Boolean* go);
  // The window destroyed by another client: "visible" 0, the widgets kept without windows
  // until "visible" 1 realizes them again (windowLost meanwhile).
  static void onWindowDestroyed(Widget w, XtPointer binding, XEvent* event, Boolean* go);
  // The window reparented: into a manager's frame, which can then be measured, or back to the
  // root (its manager gone), which leaves it unframed.
  static void onReparented(Widget w, XtPointer binding, XEvent* event, Boolean* go);
  // WM_STATE changed by the window manager: iconified or restored writes "iconic" back.
  static void onWindowState(Widget w, XtPointer binding, XEvent* event, Boolean* go);

  Widget shellWidget = nullptr;
  Widget mainWindow = nullptr;
  Widget workArea = nullptr;
  Widget statusLabel = nullptr;
  std::string geometryText;  // empty until built
  UIdpyContext displayContext;
  bool menuUpdatePending = false;
  bool destroying = false;
  bool poppedUp = false;
  bool windowLost = false;  // destroyed by another client, not yet shown again
  // The window manager's frame: offsets between the shell's position and its frame's.
  unsigned short xOffset = 0;
  unsigned short yOffset = 0;
  unsigned char positionIsFrame = 0;
  // The position (in the object's terms) the window was last seen at or asked to go to: an
  // object position equal to it asks the window manager for nothing.
  int knownX = -32768;
  int knownY = -32768;
  unsigned char offsetsKnown = 0;
  // The window is a child of the root, as it is made and until a manager reparents it into
  // a frame (ReparentNotify): there is no frame to measure, and the offsets stay unsettled.
  bool unframed = true;
  int wmKind = 0;  // 0 none recognised, 1 Motif, 2 "_SGI_TELL_WM", 3 "_SUN_WM_PROTOCOLS"

  static unsigned short MENU_HEIGHT;
  static int lastSeqNum;
  static OMobj_id UIshellRealizeCBId;
};

class UIapp : public UIshell {
 public:
  explicit UIapp(OMobj_id id);
  bool coloursNewMenuBar() const override { return false; }
};

// Registers the realize callback object (called by UIinit).
void UIshellInit();
// Realizes and pops up (when visible) the shell of obj, records the work area's window.
int UIshellRealizeCB(OMobj_id callback, OMobj_id obj, unsigned int mask);
Widget UIshellGetMainWindowChild(Widget w);
void UIsetTitle(const OMobj_id& obj, const OMobj_id& property, Widget mainWindow);
void UIsetIconic(const OMobj_id& obj, const OMobj_id& property, Widget mainWindow);
void UIsetIconName(const OMobj_id& obj, const OMobj_id& property, Widget mainWindow);
void UIsetMenuBar(const OMobj_id& obj, const OMobj_id& menu, Widget mainWindow);
void UIshellSetMenuResources(UIshell* shell, Widget w, int seq);
void UIshellClientMessage(Widget w, UIshell* shell, XClientMessageEvent* event);
void UIshellOnMap(Widget w, XtPointer data, XEvent* event, Boolean* go);
void UIshellPopupCB(Widget w, XtPointer binding, XtPointer call);
void UIshellPopdownCB(Widget w, XtPointer binding, XtPointer call);
void UIshellMenuCB(void* binding);
void UIconfigureEventDebug(const char* where, XConfigureEvent* event);

// Builds a menu bar for a main window from a menu object and returns it (null when none is
// built). The menus of the library provide it; until then no menu bar is made.
extern Widget (*UIbuildMenuBar)(const OMobj_id& menu, Widget mainWindow);
// Disconnects a menu bar from its commands and destroys it.
extern void (*UIdestroyMenuBar)(Widget menuBar);
// True when the menu bar built from menuProp (the "menu" link) must be built again after seq;
// null: any change of "menu" or of what it refers to counts.
extern bool (*UImenuBarChanged)(const OMobj_id& menuProp, int seq);

int UIshellInstance(OMobj_id id);
int UIshellUpdate(OMobj_id id, unsigned int mask, int seq);
int UIappInstance(OMobj_id id);
int UIappUpdate(OMobj_id id, unsigned int mask, int seq);
