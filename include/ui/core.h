// The binding core: object ids compared as the library compares them, the handle through which
// a binding publishes its widget, the root class of every binding (UIcore) with the appearance
// resources common to all widgets, colour helpers, and the instance / update / destroy entry
// protocol that each user-interface type's entry points call in one line.
#pragma once

#include <X11/Intrinsic.h>

#include <iosfwd>

#include "om/om.h"
#include "om/omx.h"
#include "svc/ut.h"
#include "svc/wt.h"

// ---- Object ids ------------------------------------------------------------------------
// Equal when the first words are equal (the second word is not compared).
bool operator==(const OMobj_id& a, const OMobj_id& b);
bool operator!=(const OMobj_id& a, const OMobj_id& b);
// True for OMnull_obj (a first word of 0): how lookups are tested for absence.
bool operator!(const OMobj_id& id);
// Debugging: "name<0xSERIAL:LIVE>", and "name<0xPTR>" or "Widget is NULL".
std::ostream& operator<<(std::ostream& out, const OMobj_id& id);
std::ostream& operator<<(std::ostream& out, Widget w);

// ---- The handle --------------------------------------------------------------------------
// Wrapper of an object's "handle" group: the widget, its X window, and the last event code
// (1 after the widget was made, 2 after "width" or "height" changed from the object's side).
// Every write the library makes to it is bracketed by pushCtx and popCtx.
class UIwinHandle : public virtual OMXgroup {
 public:
  UIwinHandle(OMobj_id id, const char* name, int mode, OMXobj* owner, const char* className);
  OMXgroup* ret_omx_ptr(const char* className) override;  // itself for "UIwinHandle"

  Widget widget();  // null unless "widget" reads
  void widget(Widget w);
  unsigned long window();
  void window(unsigned long w);
  int event();
  void event(int e);
  int pushCtx(int mode, int flags, int last);
  int popCtx();

 private:
  OMXint windowMember_;
  OMXobj widgetMember_;
  OMXint eventMember_;
};

// ---- The root class of every binding ------------------------------------------------------
class UIwindow;

// Applies the appearance properties of an object to a widget: sensitivity, colours,
// background picture, font set, grouping for the layout editor. seq follows the update
// protocol: a property applies when its stamp is greater than seq; -1 applies all that is set.
class UIcore : public OMXobj {
 public:
  explicit UIcore(OMobj_id id);
  ~UIcore() override;

  virtual void setCoreResources(int seq);
  virtual void setResources(Widget w, int seq);
  virtual void setActive(const OMobj_id& id, Widget w);
  virtual void setBackgroundPixmap(const OMobj_id& id, Widget w, int seq);
  virtual void setBackgroundColor(const OMobj_id& id, Widget w);
  virtual void setForegroundColor(const OMobj_id& id, Widget w);
  virtual void setGroupToParent(const OMobj_id& id, Widget w);
  virtual void setFontList(const OMobj_id& id, Widget w);

  // Parses a colour in the widget's colormap and asks the window tools for its pixel; false
  // for a widget being destroyed, a gadget, or a colour that does not parse.
  static bool getColorFromString(Widget w, UtString text, XColor& color);
  // Installs the font set of the "fontAttributes" group (or the parent's, or the default).
  void initFontSet(Widget w, int seq);
  // Registers the resource-to-text converters once per process.
  static void installConverters();
  static bool convertersInstalled;

  UIwinHandle handle;
  UIcolor color;
  UIpixmap pixmap;
  UIfontAttributes fontAttributes;
  WTfontset* fontSet = nullptr;  // owned by the window tools
  OMXstr fontList;
  OMobj_id objId;
  int resourcesChanged = 0;
  OMXstr motif_resources;
};

// Calls setResources of the binding of w (the id is not used).
void UIsetCoreResources(const OMobj_id& id, Widget w, int seq);

// Gamma correction of an 8-bit (levels 256) value, from "KLT_UI_GAMMA", else "KLT_GAMMA",
// else 2.22; the exponent is computed once per process.
unsigned gamma_correct(unsigned value, unsigned levels);
// The pixel of an 8-bit colour, gamma-corrected and allocated once; a process-wide cache of
// 256 colours; 0 when it is full or the colour cannot be allocated.
unsigned long UIgetPixel(Display* display, Colormap colormap, unsigned r, unsigned g, unsigned b);

// Resource-to-text converters (registered by UIcore::installConverters): each writes its text
// into the destination's buffer; no buffer fails, a short one fails with the size it needs.
extern "C" {
Boolean CqCvtIntToString(Display*, XrmValue*, Cardinal*, XrmValue*, XrmValue*, XtPointer*);
Boolean CqCvtPositionToString(Display*, XrmValue*, Cardinal*, XrmValue*, XrmValue*, XtPointer*);
Boolean CqCvtDimensionToString(Display*, XrmValue*, Cardinal*, XrmValue*, XrmValue*, XtPointer*);
Boolean CqCvtBooleanToString(Display*, XrmValue*, Cardinal*, XrmValue*, XrmValue*, XtPointer*);
Boolean CqCvtBooleanDimensionToString(Display*, XrmValue*, Cardinal*, XrmValue*, XrmValue*,
                                      XtPointer*);
Boolean CqCvtPointerToString(Display*, XrmValue*, Cardinal*, XrmValue*, XrmValue*, XtPointer*);
Boolean CqCvtPixelToString(Display*, XrmValue*, Cardinal*, XrmValue*, XrmValue*, XtPointer*);
Boolean CqCvtXmStringToString(Display*, XrmValue*, Cardinal*, XrmValue*, XrmValue*, XtPointer*);
}

// ---- Lookups and the entry protocol -------------------------------------------------
// The binding of an object ("cxxhandle"), or null.
UIwindow* UIobjIdToClass(const OMobj_id& id);
// Stores the stamp of id (mode 3) as the stamp of its "update" sub-object.
void UIsyncOMUpdateSequenceNumber(const OMobj_id& id);
// Destroy entry point of every type: the binding's destroyObject(); 1.
int UIwindDestroy(OMobj_id id);

// ---- The entry protocol, for the types' entry points -------------------------------------
// Instance: a new binding; one whose instanceObject() fails is deleted at once (unless the
// dataflow it ran deleted it already). 0.
template <class T>
int UIinstanceEntry(OMobj_id id) {
  T* binding = new T(id);
  if (!binding->instanceObject() && T::alive(binding)) delete binding;
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
