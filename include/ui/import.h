// Imported windows and their glue: UIimport, the base of windows that code outside the
// library builds itself; dynamic windows registered with the event service; the selection
// structure that keeps a chosen index and a chosen string in step.
//
//   UIimport  (no widget of its own: a subclass makes one and calls onObjectCreate)
//   "update"  -> updateObject(OMobj_id) applies what changed since its stamp
//   "width" "height" -> GetWindowSize / GetWindowWidth / GetWindowHeight (defaults given)
//
//   dynamic window object:
//   "in_handle" "widget" -> registered with the event service; "old_widget" <- the one registered
#pragma once

#include <X11/Intrinsic.h>

#include "ui/wind.h"

class UIimport : public UIwindow {
 public:
  explicit UIimport(OMobj_id id);

  // Not meant to run: a subclass makes its window. Both print that the subclass must supply
  // them (on standard output) and fail (false, 0).
  bool instanceObject() override;
  virtual int instanceObject(OMobj_id id);
  // Applies the common resources (all of them) to w, turns off button-2 dragging on it, then
  // records it as the window base does.
  void onObjectCreate(Widget w) override;
  virtual void onObjectCreate(Widget w, OMobj_id id);
  // The window base's update, with the stamp of the object's "update" (-1 without one).
  void updateObject(int seq) override;
  virtual void updateObject(OMobj_id id);
  void destroyObject() override;
  virtual void destroyObject(OMobj_id id);

  // The widget the object's window goes under (null when there is none).
  static Widget GetParentWindow(OMobj_id id);
  // Copies the object's name into buf: at most len - 1 characters and a terminating null, so
  // buf is always terminated within len. The number of characters copied; 0 (buf untouched)
  // for a null buf or len below 1.
  static int GetWindowName(OMobj_id id, char* buf, int len);
  // "width" and "height", 200 each when unset.
  static void GetWindowSize(OMobj_id id, int& w, int& h);
  // "width" (or "height"), else def.
  static void GetWindowWidth(OMobj_id id, int& w, int def);
  static void GetWindowHeight(OMobj_id id, int& h, int def);
};

// Dynamic windows: when the widget of "in_handle" differs from "old_widget", the old one leaves
// the event service, the new one joins it, and "old_widget" records it; an unchanged widget
// makes no call. 1.
int UIdyn_wind_update(OMobj_id id);
// Takes the widget in "old_widget" out of the event service. 1.
int UIdyn_wind_destroy(OMobj_id id);

// ---- Selections ---------------------------------------------------------------------------
// A list of strings with a chosen index and a chosen string, mirrored by an object with the
// properties "count", "strings", "selectedItem" and "selectedString". The strings belong to the
// caller; selectedString belongs to the structure (malloc'ed, replaced by the copy routine).
struct UIselection {
  OMobj_id id;           // the object written back to
  int count;             // entries in strings
  char** strings;        // count texts; a null entry ends the list early
  int selectedIndex;     // chosen entry
  char* selectedString;  // chosen text (owned)
};
// Change-mask bits, one per field.
enum {
  UI_SEL_COUNT = 0x1,
  UI_SEL_STRINGS = 0x2,
  UI_SEL_INDEX = 0x4,
  UI_SEL_STRING = 0x8,
};

// Writes every field of the structure to its object. 1; 0 for a null structure.
int UIinstance_selection(void* s);
// Makes index and string agree after the fields in mask changed: a changed index picks its
// string; a changed string, count or list picks the index of the first equal entry (none: the
// first entry). The count is cut at the first null entry; an index out of range becomes 0.
// What changed is written back. 1; 0 (nothing changed) for a null structure, a negative count,
// no strings, or a null first string. A count of 0 is done at once (1).
int UIupdate_selection(void* s, unsigned long mask);
// The string-choice copy: *dst becomes a copy of src (reallocated; null src gives "").
// Running out of memory is reported through ERRout_of_memory and retried while that says so.
// 1 when copied; 0 for a null dst (reported on standard error) or memory not had.
int UIstring_choice_copy(char** dst, const char* src);
