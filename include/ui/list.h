// Lists of strings: UIlist (one selected item) and UImultiList (any number selected).
//
//   UIlist / UImultiList   XmScrolledWindow "<name>SW" > XmList "<name>"  (XmCreateScrolledList;
//                          the scrolled window is the binding's widget, both carry the binding
//                          as XmNuserData; no drag scrolling, so its scroll bars are no drop
//                          sites)
//
//   "strings" "stringdims" -> items (a new item list never resizes the control)
//   UIlist:      "selectedItem" <-> selected position (clamped into the items);
//                "selectedText" <-> selected text (when only the text changed, it wins)
//   UImultiList: "selectedItems" <-> selected positions (ascending);
//                "selectedText" <-> their texts (when both changed, the texts win)
//   colour properties -> the scrolled window, the list and its scroll bars
//
// A user's selection is written back in a user context: UIlist writes "selectedItem" (its
// update then writes the matching "selectedText"); UImultiList writes "selectedText" and
// "selectedItems". An object without size gets a 100 x 150 list, written back.
#pragma once

#include <Xm/List.h>

#include "ui/wind.h"

class UIlist : public UIwindow {
 public:
  explicit UIlist(OMobj_id id);
  ~UIlist() override;

  virtual void addXtCallbacks(Widget w);
  virtual void addXtEventHandlers(Widget w);
  // Fills the items from "strings"/"stringdims" ("stringdims" unreadable: nothing changes)
  // and selects "selectedItem" when it is inside them, without notification.
  virtual void updateCombo();

  // Colours on the scrolled window, the list and its scroll bars; then the common resources.
  void setCoreResources(int seq) override;
  // Makes the widgets; false without a parent widget.
  bool instanceObject() override;
  void updateObject(int seq) override;
  // The base handlers, and the editor's indirect ones on the list and its scroll bars.
  void addLayoutEditorEventHandlers(Widget w) override;

  // Items and selection from the object, in the order the header describes (seq -1: all).
  void setListResources(int seq);

  // A browse selection: writes "selectedItem" (or, without a position, "selectedText").
  static void okCallback(Widget w, UIlist* binding, XmListCallbackStruct* call);
  // Structure handler on the list: after a map the whole state is applied again.
  static void onMap(Widget w, XtPointer data, XEvent* event, Boolean* go);

  Widget list() const { return list_; }

 private:
  void clearSelection();
  Widget parent_ = nullptr;
  Widget list_ = nullptr;
};

class UImultiList : public UIwindow {
 public:
  explicit UImultiList(OMobj_id id);
  ~UImultiList() override;

  void setCoreResources(int seq) override;
  bool instanceObject() override;
  void updateObject(int seq) override;
  void addLayoutEditorEventHandlers(Widget w) override;

  void addXtCallbacks(Widget w);
  void addXtEventHandlers(Widget w);
  // Fills the items; items still present stay selected; "selectedItems" is written back.
  void updateCombo();
  void setMultiListResources(int seq);
  // Write the list's selection into "selectedItems" / "selectedText" (context flags mode).
  void setSelectedItems(int mode);
  void setSelectedText(int mode);
  // Select from "selectedItems": an index outside the items reports "Selected item out of
  // range.", leaves the list deselected and the object unchanged.
  void updateSelectedItems();
  // Select the items whose texts "selectedText" holds (unreadable elements are skipped).
  void updateSelectedText();

  Widget list() const { return list_; }

 private:
  Widget parent_ = nullptr;
  Widget list_ = nullptr;
};

// An extended selection: writes "selectedText" and "selectedItems".
void UImultiListOKCallback(Widget w, UImultiList* binding, XmListCallbackStruct* call);
// Structure handler of the multiple list (as UIlist::onMap).
void UImultiListOnMap(Widget w, XtPointer data, XEvent* event, Boolean* go);

int UIlistInstance(OMobj_id id);
int UIlistUpdate(OMobj_id id, unsigned int mask, int seq);
int UImultiListInstance(OMobj_id id);
int UImultiListUpdate(OMobj_id id, unsigned int mask, int seq);
