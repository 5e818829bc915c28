// Dialogs: the dialog base and the message, prompt, selection, multiple-selection and font
// boxes. Each dialog is a dialog shell named after the object holding one Motif box named
// "<name>MW" (the binding's widget, XmNuserData = the binding).
//
//   XmDialogShell "<name>" > XmMessageBox "<name>MW"       UImessageBox
//                          > XmSelectionBox "<name>MW"     UIpromptBox (prompt type),
//                                                          UIselectionBox, UIfontBox,
//                                                          UImultiSelBox (extended list)
//
//   shared                "okButton" "cancelButton" "okLabelString" "cancelLabelString"
//                         "isModal" "title" "autoUnmanage" "destroyOnUmanage" fonts
//                         "visible" "display" "x" "y" "width" "height"     object -> widget
//                         "ok" "cancel" "visible" 0 "x" "y" "width" "height" widget -> object
//   message box           "type" "message"
//   prompt box            "text" (both ways) "prompt" "applyButton" "applyLabelString"
//   selection box         + "strings" "stringdims", "selectedItem" (both ways)
//   multiple selection    + "selectedItems" "selectedText" (both ways) "numSelectedItems"
//   font box              writes the server's font names to "strings" and "stringdims"
//
// A dialog has widgets only while it is meant to be visible: instancing an object whose
// "visible" is 0 or unset makes none (the binding is discarded), and the next update tries
// again. OK and Cancel write "ok" / "cancel" 1 and, with "autoUnmanage" (default 1), hide the
// dialog ("visible" 0) and, with "destroyOnUmanage", destroy its widgets; the window manager's
// close writes "cancel" 1 and "visible" 0 and always destroys them.
#pragma once

#include <Xm/FileSB.h>
#include <Xm/SelectioB.h>
#include <Xm/Xm.h>

#include <string>
#include <vector>

#include "svc/wt.h"
#include "ui/args.h"
#include "ui/dpyMgr.h"
#include "ui/shell.h"
#include "ui/wind.h"
#include "ui/xmstring.h"

class UIdialog : public UIwindow {
 public:
  explicit UIdialog(OMobj_id id);
  ~UIdialog() override;

  bool instanceObject() override = 0;
  void updateObject(int seq) override;
  void rebuildObject(Widget old) override;
  void onObjectCreate(Widget w) override;
  // Destroys the children's bindings, the dialog shell and this binding.
  void destroyObject() override;
  // Dialogs have no status bar.
  Widget statusWidget(Widget) const override { return nullptr; }

  virtual void setOKButton(const OMobj_id& prop, const OMobj_id& obj, Widget w);
  virtual void setCancelButton(const OMobj_id& prop, const OMobj_id& obj, Widget w);
  // The shared resources, then the common ones; members add theirs after calling it.
  virtual void setDialogResources(const OMobj_id& obj, Widget w, int seq);
  virtual void addXtCallbacks(Widget /*w*/) {}
  // The first-map and reparenting handlers on the dialog shell.
  virtual void addXtEventHandlers(Widget w);
  // The display named by "display" (else $DISPLAY) becomes the dialog's.
  virtual void setDisplayContext();
  virtual void setDestroyOnUnmanage(const OMobj_id& prop);
  // True for the boxes whose children take the dialog's fonts too (the message box).
  virtual bool fontsReachChildren() const { return false; }

  void setOKLabelString(const OMobj_id& prop, Widget w);
  void setCancelLabelString(const OMobj_id& prop, Widget w);
  void setAutoUnmanage(const OMobj_id& prop, Widget w);
  void setDialogStyle(const OMobj_id& prop, Widget w);
  void setDialogTitle(const OMobj_id& prop, Widget w);
  void setDialogSharedResources(const OMobj_id& obj, Widget w, int seq);
  // Installs the display's palette colormap on w and follows its refreshes.
  void setWtCmap(Widget w);

  // The protocol: reached through UIaddCallback (the binding is live); each writes inside a
  // context on the object and may destroy the binding (nothing reads it afterwards).
  static void okCallback(Widget w, UIdialog* binding, XmAnyCallbackStruct* call);
  static void cancelCallback(Widget w, UIdialog* binding, XmAnyCallbackStruct* call);
  static void closeCB(Widget shell, UIdialog* binding, XmAnyCallbackStruct* call);
  // Event handlers on the dialog shell; client data = the binding (checked alive).
  static void onMap(Widget shell, XtPointer binding, XEvent* event, Boolean* go);
  static void onSize(Widget shell, XtPointer binding, XEvent* event, Boolean* go);
  // The shell's window reparented: into a manager's frame, or back to the root.
  static void onReparented(Widget shell, XtPointer binding, XEvent* event, Boolean* go);
  // Takes this binding's structure handlers (map, size, reparenting) off a shell it leaves.
  void removeShellHandlers(Widget shell);
  static void virtpal_refreshCB(WText_context* context, int reason, Widget w);
  // Settles the frame record of the dialog (the shells' measurement, kept here).
  static void detectMWMPositionIsFrame(UIdialog* binding);

  Widget shellWidget() const { return shell_; }
  bool autoUnmanage = true;
  bool destroyOnUnmanage = false;
  UIdpyContext displayContext;
  bool frameDetected = false;
  UIwmFrame frame;
  // The shell's window is a child of the root, as it is made and until a manager reparents it
  // into a frame: there is no frame to measure, and none is asked about.
  bool unframed = true;
  // The position (in the object's terms) the window was last seen at or asked to go to: an
  // object position equal to it asks for no move.
  int knownX = -32768;
  int knownY = -32768;

 protected:
  // The creation steps the boxes share. beginCreate: "visible" set (else null), the
  // auto-unmanage flag, the position and size, the parent (the parent object's widget, else
  // the display's application shell). makeShell: the dialog shell named after the object.
  // finishCreate: colormap, resources (-1), managed, the creation hooks, event 1.
  struct Placement {
    int x = 0, y = 0, width = 0, height = 0;
    bool defaultPosition = true;
  };
  Widget beginCreate(Placement* place, int defaultSize);
  Widget makeShell(Widget parent, const Placement& place);
  void finishCreate(Widget box);
  // The name "<object>MW" and the box resources every member sets, the title, the OK and
  // Cancel labels and the style among them (so the dialog shell has its title when its window
  // is made, and creation does not set them again afterwards).
  std::string boxName() const;
  UIargs boxArgs(const Placement& place);

  // Held while the binding writes to its own object during creation: the update those
  // writes cause does not try to create the dialog again.
  struct Creating {
    explicit Creating(UIdialog* d) : dialog(d) { dialog->creating_ = true; }
    ~Creating() { dialog->creating_ = false; }
    UIdialog* dialog;
  };

  // The members of the object the shared code reads, each looked up by name once per binding
  // (every update reads most of them again; an object keeps its members while it lives).
  enum Prop {
    kVisible,
    kAutoUnmanage,
    kTitle,
    kOkLabelString,
    kCancelLabelString,
    kIsModal,
    kOkButton,
    kCancelButton,
    kDestroyOnUnmanage,
    kDisplay,
    kX,
    kY,
    kWidth,
    kHeight,
    kActive,
    kCursor,
    kType,
    kMessage,
    kOk,
    kCancel,
    kPropCount
  };
  OMobj_id prop(Prop which);
  // The same member of obj: the cached one when obj is this binding's object.
  OMobj_id prop(const OMobj_id& obj, Prop which);

  Widget shell_ = nullptr;
  // The texts given at creation (boxArgs), held until the next creation.
  UIxmString title_, okLabel_, cancelLabel_;
  bool creating_ = false;
  // Set while the first resource pass runs on a box made with the object's font list (given
  // to madeWithFontList too): that pass sets no font.
  bool madeWithFonts_ = false;

 private:
  OMobj_id props_[kPropCount] = {};
  unsigned long propsKnown_ = 0;  // bit i: props_[i] was looked up
};

class UImessageBox : public UIdialog {
 public:
  explicit UImessageBox(OMobj_id id);
  bool instanceObject() override;
  bool fontsReachChildren() const override { return true; }
  void setOKButton(const OMobj_id& prop, const OMobj_id& obj, Widget w) override;
  void setCancelButton(const OMobj_id& prop, const OMobj_id& obj, Widget w) override;
  void setDialogResources(const OMobj_id& obj, Widget w, int seq) override;
  void addXtCallbacks(Widget w) override;
  // "type" 0..6 -> Motif dialog type (other values change nothing).
  static void setDialogType(const OMobj_id& prop, Widget w);
};

class UIpromptBox : public UIdialog {
 public:
  explicit UIpromptBox(OMobj_id id);
  bool instanceObject() override;
  void setOKButton(const OMobj_id& prop, const OMobj_id& obj, Widget w) override;
  void setCancelButton(const OMobj_id& prop, const OMobj_id& obj, Widget w) override;
  void setDialogResources(const OMobj_id& obj, Widget w, int seq) override;
  void addXtCallbacks(Widget w) override;
  void setApplyButton(const OMobj_id& prop, Widget w);
  void setApplyLabelString(const OMobj_id& prop, Widget w);
  void setSelectionLabelString(const OMobj_id& prop, Widget w);
  // OK and Apply: "text" and "ok" written; OK also hides and destroys the dialog.
  static void okCallback(Widget w, UIpromptBox* binding, XmSelectionBoxCallbackStruct* call);

 protected:
  // The selection box of the given type with what every member unmanages (Help).
  Widget createBox(unsigned char dialogType, const UIargs& extra);
};

class UIselectionBox : public UIpromptBox {
 public:
  explicit UIselectionBox(OMobj_id id);
  bool instanceObject() override;
  void setDialogResources(const OMobj_id& obj, Widget w, int seq) override;
  void addXtCallbacks(Widget w) override;
  // The list's items from "strings" (an unreadable element gives an empty item).
  void updateCombo(const OMobj_id& obj, Widget box);
  // Selects "selectedItem" (clamped), or the item equal to "text" when that is newer.
  void updateSelectedItem(const OMobj_id& obj, Widget box, int seq);
  static void okCallback(Widget w, UIselectionBox* binding, XmSelectionBoxCallbackStruct* call);
  static void noMatchCallback(Widget w, UIselectionBox* binding, XmAnyCallbackStruct* call);
};

class UImultiSelBox : public UIselectionBox {
 public:
  explicit UImultiSelBox(OMobj_id id);
  bool instanceObject() override;
  void setDialogResources(const OMobj_id& obj, Widget w, int seq) override;
  void addXtCallbacks(Widget w) override;
  // "selectedItems" -> the list's selection; an index outside the items is reported and
  // leaves the list deselected.
  void updateSelectedItems(const OMobj_id& obj, Widget list);
  // Selects the items whose text is one of the first "numSelectedItems" of "selectedText".
  void updateSelectedText(const OMobj_id& obj, Widget list);
  // The list's selection -> "selectedItems" and "selectedText" (context mode given).
  void setSelectedItems(const OMobj_id& obj, Widget list, int mode);
  static void okCallback(Widget w, UImultiSelBox* binding, XmSelectionBoxCallbackStruct* call);
  static void applyCallback(Widget w, UImultiSelBox* binding, XmSelectionBoxCallbackStruct* call);
  static void noMatchCallback(Widget w, UImultiSelBox* binding, XmAnyCallbackStruct* call);
};

class UIfontBox : public UIselectionBox {
 public:
  explicit UIfontBox(OMobj_id id);
  bool instanceObject() override;
};

// The instance entry of a dialog type: a dialog has widgets only while it is meant to be
// visible, so without "visible" set no binding is even made (making and discarding one would
// write the object's "cxxhandle" twice, and so notify it again, on every update).
template <class T>
int UIdialogInstanceEntry(OMobj_id id) {
  int visible = 0;
  if (OMget_int_val(OMfind_str_subobj(id, "visible", 0), &visible) != 1 || !visible) return 0;
  return UIinstanceEntry<T>(id);
}

// Entry points. Instance: a binding whose instanceObject() fails is discarded. Update (one
// argument): without a binding the instance entry point; with one, updateObject with the
// stamp of "update" (-1 when missing). All return 1 except the instance ones (0).
int UIdialogUpdate(OMobj_id id);
int UImessageBoxInstance(OMobj_id id);
int UImessageBoxUpdate(OMobj_id id);
int UIpromptBoxInstance(OMobj_id id);
int UIpromptBoxUpdate(OMobj_id id);
int UIselectionBoxInstance(OMobj_id id);
int UIselectionBoxUpdate(OMobj_id id);
int UImultiSelBoxInstance(OMobj_id id);
int UImultiSelBoxUpdate(OMobj_id id);
int UIfontBoxInstance(OMobj_id id);
int UIfontBoxUpdate(OMobj_id id);

// Sets the font list of a message box's buttons and labels, each where the box has it.
void UItemplateDialogSetChildrenFontSet(Widget box, XmRenderTable fonts);

// Registers the dialogs' entry points with the object manager (before the kit is read).
void UIdialogsRegister();

// The no-match report of the selection boxes.
extern const char* const UIselectionNoMatchText;

// ---- The file selection box -----------------------------------------------------------------
//   XmDialogShell "<name>" > XmFileSelectionBox "<name>MW"
//   "filename" (both ways, $VARIABLES expanded when shown) "searchPattern" "typeMask"
//   "filterLabelString" "confirmFileWrite" "dirMaskCache" (both ways) "ok"
// With "confirmFileWrite" a name is accepted only when it may be written: an existing file is
// accepted after the question "UIfileSBConfirmDialog", a refusal is shown in
// "UIfileSBErrorDialog" (both children of the box, modal, destroyed when closed).
class UIfileSB : public UIdialog {
 public:
  explicit UIfileSB(OMobj_id id);
  bool instanceObject() override;
  void setOKButton(const OMobj_id& prop, const OMobj_id& obj, Widget w) override;
  void setCancelButton(const OMobj_id& prop, const OMobj_id& obj, Widget w) override;
  void setDialogResources(const OMobj_id& obj, Widget w, int seq) override;
  void addXtCallbacks(Widget w) override;
  // Stores the box's directory mask in "dirMaskCache".
  void updateDirMaskCache();
  static void okCallback(Widget w, UIfileSB* binding, XmFileSelectionBoxCallbackStruct* call);

  bool fromOtherWidget = false;  // the acceptance under way came from another widget
};

// Acceptance of the selection of fsb (a file selection box whose user data is its binding),
// asked for by w: checks it when "confirmFileWrite" says so, then accepts, asks or refuses.
void UIfileSBApplyCallback(Widget w, XtPointer fsb, XtPointer call);
// Accepts: "ok" 1, "filename", "dirMaskCache"; a box that asked for it itself is hidden and
// destroyed (with auto-unmanage on).
void UIfileSBConfirm(Widget fsb);
void UIfileSBConfirmOkCallback(Widget dialog, XtPointer fsb, XtPointer call);
void UIfileSBConfirmCancelCallback(Widget dialog, XtPointer fsb, XtPointer call);
void UIfileSBErrorOkCallback(Widget dialog, XtPointer fsb, XtPointer call);
// The overwrite question about file, and the refusal format (one %s) about name.
Widget UIfileSBCreateConfirmDialog(Widget fsb, const char* file);
Widget UIfileSBCreateErrorDialog(Widget fsb, const char* format, const char* name);
// Xt warnings are ignored while fonts are set on the box.
void _UIfileWarning(char* message);
int UIfileSBInstance(OMobj_id id);
int UIfileSBUpdate(OMobj_id id);

// ---- Template dialogs -------------------------------------------------------------------------
//   XmDialogShell "<name>" > XmMessageBox "<name>MW" (template type; OK, Cancel, Help)
//        > the children's widgets: panels and frames fill the work area, buttons join the row
// Only buttons, panels and frames are taken as children (others have their "parent" link
// cut). "clientWidth" is the box's width, "clientHeight" the height above its separator (at
// least 1); panels directly inside keep their own client size on each map and resize.
class UItemplateDialog : public UIdialog {
 public:
  explicit UItemplateDialog(OMobj_id id);
  bool instanceObject() override;
  void destroyObject() override;
  void setOKButton(const OMobj_id& prop, const OMobj_id& obj, Widget w) override;
  void setCancelButton(const OMobj_id& prop, const OMobj_id& obj, Widget w) override;
  void setDialogResources(const OMobj_id& obj, Widget w, int seq) override;
  void addXtCallbacks(Widget w) override;
  void addXtEventHandlers(Widget w) override;
  bool admitsChild(const UIwindow& child) const override {
    return child.acceptsTemplateDialogParent();
  }
  bool sizesItsChildren() const override { return true; }
  virtual void setClientWidth(const OMobj_id& obj, int width);
  virtual void setClientHeight(const OMobj_id& obj, int height);

  // "type" 0..5 -> the box's Motif type (2 when unreadable; others change nothing), and
  // "message" -> its message, where the object has them.
  static void setDialogType(const OMobj_id& prop, const OMobj_id& obj, Widget box);
  static void setMessageString(const OMobj_id& prop, const OMobj_id& obj, Widget box);
  // Keeps the client size in step with the box.
  static void onResize(Widget box, XtPointer binding, XEvent* event, Boolean* go);
};

int UItemplateDialogInstance(OMobj_id id);
int UItemplateDialogUpdate(OMobj_id id);
// For the binding in w's user data: "ok" 1.
void UItemplateDialogApplyCallback(Widget w, XtPointer client, XtPointer call);
