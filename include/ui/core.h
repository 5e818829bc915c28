// The binding core: object ids compared as the library compares them, the handle through which
// a binding publishes its widget, and the root class of every binding (UIcore) with the
// appearance resources common to all widgets. Colours and converters are in ui/color.h; the
// entry protocol sits beside the window base in ui/wind.h.
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
// Every write the library makes to it is made inside a context on the handle (an OMcontext on
// obj_id(), mode OM_CTX_QUIET); pushCtx and popCtx are the same pair by hand, for other callers.
// The members are found by their names' tokens at each access (every binding holds a handle).
class UIwinHandle : public OMXgroup {
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
  OMobj_id member(OMobj_name name) const;
};

// ---- The root class of every binding ------------------------------------------------------
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
  // Chooses that font set for a widget under parent (may be null) on display and returns its
  // font list (owned by the window tools), or null. A binding passes it to XtCreateWidget and
  // gives it to madeWithFontList, so that the first initFontSet does not set it again (also
  // made with it: a second widget created from the same arguments, such as a scrolled list's
  // window).
  XmFontList chooseFontList(Display* display, Widget parent);
  void madeWithFontList(Widget w, XmFontList list, Widget alsoMade = nullptr) {
    madeWidget_ = w;
    madeAlso_ = alsoMade;
    madeFontList_ = list;
  }
  // Registers the resource-to-text converters once per process.
  static void installConverters();
  static bool convertersInstalled;

  // Wrappers of the object's appearance groups ("color", "pixmap", "fontAttributes"), bound
  // when asked: a binding keeps none (a dozen wrappers in every binding, for groups read when
  // its widget is made and when they change).
  UIcolor color();
  UIpixmap pixmap();
  UIfontAttributes fontAttributes();

  UIwinHandle handle;
  WTfontset* fontSet = nullptr;  // owned by the window tools
  OMobj_id objId;
  int resourcesChanged = 0;

 private:
  // The widget just made with its font list, and that list (consumed by initFontSet).
  Widget madeWidget_ = nullptr;
  Widget madeAlso_ = nullptr;
  XmFontList madeFontList_ = nullptr;
};

// Calls setResources of the binding of w (the id is not used).
void UIsetCoreResources(const OMobj_id& id, Widget w, int seq);
