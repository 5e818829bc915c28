// UIwindow: the base class of every binding. It owns the object's top widget and does what is
// the same for all types: the parent widget, automatic placement, publishing the widget in the
// handle, showing and hiding, reparenting and rebuilding on a "parent" change, position and
// size, sensitivity, cursor, destruction, the layout editor's handlers, mouse interactors and
// the status-bar text.
//
//   object property        widget                         direction
//   "parent"               Xt parent (rebuilt or moved)   object -> widget
//   "visible"              mapped / managed / popped up   object -> widget
//   "x" "y" "width" "height"  geometry                    both (user moves write back)
//   "active"               sensitivity                    object -> widget
//   "cursor"               window cursor                  object -> widget
//   "handle"               widget, window, event          widget -> object
//
// Writing a binding (UIbutton, motif_ui/controls/button.cpp, shows each of these):
// - instanceObject: getParentWidget (none: false), autoPlacementManager, the top widget made
//   with a UIargs list (ui/args.h) holding XmNuserData = this, setResources(w, -1), callbacks,
//   onObjectCreate(w); label-like types get all but the callbacks from UIlabel::createSized.
// - Callbacks: UIaddCallback<&T::onSomething>(w, XmNsomethingCallback, this) with a static
//   handler (Widget, T*, CallStruct*); the trampoline drops calls for a binding that is gone.
// - Writes to the object for a user action: inside an OMcontext (om/om_scope.h) with the
//   named codes; text read from the object: an OMtext; compound strings: a UIxmString
//   (ui/xmstring.h). Nothing is freed or popped by hand.
// - Where a type behaves differently from the base, it overrides a hook below (positions
//   itself, accepts a template-dialog parent ...); the base never tests a type's name.
#pragma once

#include <X11/Intrinsic.h>

#include "ui/core.h"

// One mouse interactor whose view is a binding's widget (made by the interactors; the window
// base only reads it). Kind 1: slot1 = run key. Kind 2: slots = start, run, stop keys.
// Kind 3: slot1 = mask of buttons now pressed, slot2 = "onButtonDown", slot3 =
// "buttonRequestMask". binding: the window whose list holds the record (null while detached);
// the record is unlinked through it, so a rebuilt or dying widget never decides that.
class UIwindow;
struct MouseInteractorRecord {
  OMobj_id id;
  MouseInteractorRecord* next = nullptr;
  int kind = 0;
  Widget view = nullptr;
  int slot1 = 0;
  int slot2 = 0;
  int slot3 = 0;
  UIwindow* binding = nullptr;
};

// Event keys: a button code plus modifier bits.
enum {
  UI_KEY_SHIFT = 0x100,
  UI_KEY_CONTROL = 0x200,
  UI_KEY_MOD1 = 0x400,
};
// The key of a button event: press of button 1..3 gives 1..3, motion with the lowest held
// button 1..3 gives 4..6, release 7..9, anything else 0; plus the modifier bits of its state.
int UIeventKey(const XEvent* event);

class UIwindow : public UIcore {
 public:
  explicit UIwindow(OMobj_id id);
  ~UIwindow() override;

  // Creates the widgets (a subclass's work): getParentWidget, autoPlacementManager, the top
  // widget named after the object with the binding as XmNuserData, setResources(w, -1),
  // callbacks, onObjectCreate(w). false when there is no parent widget.
  virtual bool instanceObject() = 0;
  // Applies what changed since seq. It may destroy the binding (a "parent" set to nothing):
  // an override that goes on after calling it checks alive(this) first.
  virtual void updateObject(int seq);
  // True while an update runs that only what surrounds the object caused: changes that reached
  // it through "parent" (its window) or from inside its child windows (each updated for its
  // own changes), none in its own state but one in its handle. Every control depends on its window
  // through that link, so every change inside a window updates every control in it, and the window
  // itself; a type whose update applies only what is newer than seq, and reads "parent" as the
  // link's own stamp, returns at once when this is true (labels, buttons, toggles, lists, frames,
  // shells). Fields, sliders and panels then apply only what follows their surroundings (a
  // field and a panel read their widget's size, a slider's trough takes its scroll bar's
  // background).
  bool onlyItsSurroundingsChanged();
  // Makes the widget again under the parent "parent" names, at the old one's index.
  virtual void rebuildObject(Widget old);
  // Records a newly made top widget: visibility, handle, geometry, handlers, cursor, status.
  virtual void onObjectCreate(Widget w);
  // Clears the handle, destroys the widgets and deletes this binding.
  virtual void destroyObject();
  virtual void addLayoutEditorEventHandlers(Widget w);
  virtual void autoPlacementManager(Widget parent, int* x, int* y);
  virtual const char* classType() const { return classType_; }
  // The widget the object's widget goes under (null when there is none; see the source).
  virtual Widget getParentWidget();
  // The same, asked once per instancing: while instanceFresh runs, the first answer is kept
  // (the parent's pending work has run by then) and later calls return it while its widget
  // lives. Elsewhere it is getParentWidget.
  Widget parentWidgetNow();
  // instanceObject for a new binding. false when it made no widget.
  bool instanceFresh();

  // ---- Hooks: what a type does differently. The base class asks these and never tests a
  // type's name; a new type overrides only those whose answer differs for it.
  // True for a type that places and sizes its own window (the shells): updateObject does not
  // apply "x" "y" "width" "height" to its widget.
  virtual bool positionsItself() const { return false; }
  // True for a type whose size the layout editor may not change (option menus size
  // themselves from their items).
  virtual bool fixedSizeInEditor() const { return false; }
  // True for the types a template dialog may hold (buttons, panels, frames).
  virtual bool acceptsTemplateDialogParent() const { return false; }
  // Whether this binding, as a parent, takes child (any, by default). A template dialog takes
  // only children that acceptTemplateDialogParent(); getParentWidget unlinks a refused child.
  virtual bool admitsChild(const UIwindow& /*child*/) const { return true; }
  // True for a parent that sizes its children itself (a template dialog): a panel in it
  // learns its client size from its widget when mapped or resized.
  virtual bool sizesItsChildren() const { return false; }
  // True when unset colours come from the widget's Xt parent rather than from the parent
  // object's widget (menu items, whose widgets sit in menus).
  virtual bool inheritsColoursFromXtParent() const { return false; }
  // The widget that shows the status text of w, one of this binding's widgets: the message
  // window of the nearest main window by default (looked up when asked: it is needed only
  // when the pointer enters, and most windows never show a status); null for none (message
  // boxes).
  virtual Widget statusWidget(Widget w) const;

  // True when this is a live binding (a pointer taken from a widget is checked with it).
  bool OK() const { return self_ == this; }
  // True while the binding at this address lives; safe for any pointer (it is not read).
  static bool alive(const UIwindow* binding);
  static bool widgetOK(Widget w);
  bool widgetOK() const { return widgetOK(widget_); }
  Widget widget() const { return widget_; }

  // Shows text (or, for null, the status widget's "statusString" or a blank) in the status
  // bar of w's main window.
  static void drawStatBarText(Widget w, const char* text);

  // Event handlers (client data ignored) and the map handler of hidden objects.
  static void onButDown(Widget w, XtPointer data, XEvent* event, Boolean* go);
  static void onButUp(Widget w, XtPointer data, XEvent* event, Boolean* go);
  static void onMouseMove(Widget w, XtPointer data, XEvent* event, Boolean* go);
  // onButUp for a ButtonRelease, onMouseMove for a MotionNotify.
  static void onButUpOrMove(Widget w, XtPointer data, XEvent* event, Boolean* go);
  static void onMap(Widget w, XtPointer data, XEvent* event, Boolean* go);
  // Puts onButDown (first in the list), onButUp and onMouseMove on w; the last two as one
  // entry (onButUpOrMove): every window has them, and each entry is a record of its own.
  static void addMouseInteractorHandlers(Widget w);
  // The same with the status line's handlers (UIaddItemStatusHandlers) in the one entry after
  // the toolkit's (onPointerAfter), for a window that has both.
  static void addPointerHandlers(Widget w);
  // onButUpOrMove, or the status line's crossing handler for an EnterNotify or LeaveNotify.
  static void onPointerAfter(Widget w, XtPointer data, XEvent* event, Boolean* go);
  // A binding's own widget takes the layout editor's direct handlers and the pointer's: they
  // go on as one pair of entries, not four (a control's widget has little else of its own):
  // onOwnPress first in the list (onButDown, then the editor's buttonPressCB while w's direct
  // handlers are on), onOwnEvent after the toolkit's (the editor's directEventCB, then, unless
  // it stopped the event, onPointerAfter, or onButUpOrMove without `crossing`). The editor
  // switches its part off and on (UIlayout::ownHandlersOn); the entries stay for the widget's
  // life. Adding them again with the same `crossing` adds nothing.
  static void addWindowHandlers(Widget w, bool crossing);
  static void onOwnPress(Widget w, XtPointer crossing, XEvent* event, Boolean* go);
  static void onOwnEvent(Widget w, XtPointer crossing, XEvent* event, Boolean* go);

  MouseInteractorRecord* interactors = nullptr;  // owned by the interactors

 protected:
  // Publishes w and its window in the handle; with announce, also the handle's event 1.
  void publishInHandle(Widget w, bool announce);

  const char* classType_ = "";  // the type's name, a literal
  Widget widget_ = nullptr;
  Widget parentWidget_ = nullptr;
  // A widget that has its pair of handler entries already (addWindowHandlers, put on before it
  // was managed): onObjectCreate does not add them again.
  Widget handlersOn_ = nullptr;

 private:
  bool instancing_ = false;   // inside instanceFresh
  bool parentKnown_ = false;  // knownParent_ holds this instancing's answer
  // The serial of the object's "cxxhandle", which names this binding: the destructor clears
  // it without looking it up again (serials are never reused; a record gone reads as missing).
  uint32_t cxxSerial_ = 0;
  Widget knownParent_ = nullptr;

  void applyVisibilityOnCreate(Widget w);
  void applyVisibilityChange();
  void applyCursor(int seq);
  const UIwindow* self_ = nullptr;
};

// ---- The one callback form ---------------------------------------------------------------
// An Xt callback reaches its binding one way: the binding is the client data; a trampoline of
// the exact Xt signature checks that the binding still lives (a widget may outlive it) and is
// of the handler's class, then calls the binding's static handler with the exact types:
//
//   static void onCommand(Widget w, UIbutton* binding, XmPushButtonCallbackStruct* call);
//   UIaddCallback<&UIbutton::onCommand>(w, XmNactivateCallback, this);
template <class T, class Call>
struct UIcallbackTypes {
  using Binding = T;
  using CallData = Call;
};
template <class T, class Call>
UIcallbackTypes<T, Call> UIcallbackTypesOf(void (*)(Widget, T*, Call*));

template <auto Handler>
void UIcallbackTrampoline(Widget w, XtPointer client, XtPointer call) {
  using Types = decltype(UIcallbackTypesOf(Handler));
  auto* base = static_cast<UIwindow*>(client);
  if (!UIwindow::alive(base)) return;
  // A new binding may live at a dead one's address: only one of the handler's class is called.
  auto* binding = dynamic_cast<typename Types::Binding*>(base);
  if (binding) Handler(w, binding, static_cast<typename Types::CallData*>(call));
}

template <auto Handler, class T>
void UIaddCallback(Widget w, const char* name, T* binding) {
  XtAddCallback(w, name, UIcallbackTrampoline<Handler>, static_cast<UIwindow*>(binding));
}

// 1 while a two-point interaction is running.
extern int MouseState;

// Sends a button event (phase 1 press, 2 motion, 3 release) to the mouse-events interactors
// (kind 3) of a binding.
void UIprocessMouseInteractor(UIwindow* window, XButtonEvent* event, int phase);

// Destroys w; callbacks run during the destruction find no binding through UIwidgetToClass.
void UIdestroyWidget(Widget w);

// ---- Lookups and the entry protocol ------------------------------------------------------
// The binding of an object ("cxxhandle"), or null.
UIwindow* UIobjIdToClass(const OMobj_id& id);
// Stores the stamp of id (mode 3) as the stamp of its "update" sub-object.
void UIsyncOMUpdateSequenceNumber(const OMobj_id& id);
// Destroy entry point of every type: the binding's destroyObject(); 1.
int UIwindDestroy(OMobj_id id);

// ---- The entry protocol, for the types' entry points -------------------------------------
// Each type's instance and update entry points are one line: UIinstanceEntry<UIbutton>(id),
// UIupdateEntry<UIbutton>(id, mask, seq); UIwindDestroy is every type's destroy entry point.
// Instance: a new binding; one whose instanceObject() fails is deleted at once (unless the
// dataflow it ran deleted it already). 0.
template <class T>
int UIinstanceEntry(OMobj_id id) {
  T* binding = new T(id);
  if (!binding->instanceFresh() && T::alive(binding)) delete binding;
  return 0;
}

int UIupdateEntryWith(OMobj_id id, unsigned int mask, int seq, UIwindow* (*make)(OMobj_id));
int UIupdate1EntryWith(OMobj_id id, int (*instance)(OMobj_id));

// Update with mask and sequence number: mask bit 8 makes a fresh binding and instances it;
// otherwise the existing (or a new) binding is updated when it has a widget, else instanced. 1.
template <class T>
int UIupdateEntry(OMobj_id id, unsigned int mask, int seq) {
  return UIupdateEntryWith(id, mask, seq, [](OMobj_id o) -> UIwindow* { return new T(o); });
}

// One-argument update: without binding, instance (or, with a null instance, nothing); else
// update with the stamp of "update" (-1 when it is missing). 1.
inline int UIupdate1Entry(OMobj_id id, int (*instance)(OMobj_id)) {
  return UIupdate1EntryWith(id, instance);
}
