// The mixed set of controls that the instancing benchmark and its gates build, on both sides:
// through the object manager, and the same widgets with the same resources made directly with
// Motif. Control i is of kind i % kKinds (or onlyKind); its place and size depend on i and its kind
// only.
#pragma once

#include <X11/Intrinsic.h>
#include <Xm/DragDrop.h>
#include <Xm/Frame.h>
#include <Xm/Label.h>
#include <Xm/List.h>
#include <Xm/Scale.h>
#include <Xm/ScrollBar.h>
#include <Xm/Text.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>

#include <string>
#include <vector>

#include "om/om.h"
#include "svc/container.h"
#include "ui/Icon.h"

namespace mixed {

// A kind is listed before kKinds, with its type in kTypes, its size in boxOf and its widget in
// makeRaw.
enum Kind { kLabel, kButton, kToggle, kField, kSlider, kList, kPanel, kFrame, kKinds };

inline const char* const kTypes[kKinds] = {"UIlabel",  "UIbutton", "UItoggle", "UIfield",
                                           "UIslider", "UIlist",   "UIpanel",  "UIframe"};
inline const char* const kShortNames[kKinds] = {"label",  "button", "toggle", "field",
                                                "slider", "list",   "panel",  "frame"};

// All controls of one kind instead (for looking at one kind's figures), or -1 for the mix.
inline int onlyKind = -1;

inline int kindOf(int i) {
  return onlyKind >= 0 && onlyKind < kKinds ? onlyKind : i % kKinds;
}

struct Box {
  int x, y, width, height;
};

// Laid out in rows as an interface would be (each in a cell of its own, 40 to a row), not
// piled up: a pile makes the server's clipping work grow with the square of the count on
// both sides and hides the cost of the controls themselves.
inline Box boxOf(int i) {
  int x = (i % 40) * 24, y = (i / 40) * 30;
  switch (kindOf(i)) {
    case kField:
      return {x, y, 22, 28};
    case kSlider:
      return {x, y, 22, 28};
    case kList:
      return {x, y, 22, 28};
    case kPanel:
      return {x, y, 20, 20};
    case kFrame:
      return {x, y, 22, 28};
    default:
      return {x, y, 22, 20};
  }
}

inline bool hasText(int kind) {
  return kind == kLabel || kind == kButton || kind == kToggle;
}

inline OMobj_id prop(OMobj_id id, const char* name) {
  return OMfind_subobj(id, OMstr_to_name(name), 0);
}

// count controls as objects under group, shown in the parent object's widget. The caller
// holds a context around the calls so that they instance as one batch.
inline void makeObjects(OMobj_id group, OMobj_id parent, int count) {
  for (int i = 0; i < count; ++i) {
    int kind = kindOf(i);
    std::string name = "c" + std::to_string(i);
    OMobj_id id = OMcreate_obj_from_path(kTypes[kind], name.c_str(), group);
    OMset_obj_ref(prop(id, "parent"), parent, 0);
    Box b = boxOf(i);
    OMset_int_val(prop(id, "x"), b.x);
    OMset_int_val(prop(id, "y"), b.y);
    OMset_int_val(prop(id, "width"), b.width);
    OMset_int_val(prop(id, "height"), b.height);
    OMset_int_val(prop(id, "visible"), 1);
    if (hasText(kind)) OMset_str_val(prop(id, "label"), "text");
  }
}

// The same widgets made directly: created unmanaged, then managed as one batch (what a
// careful Motif program does).
inline void makeRaw(Widget parent, int count, std::vector<Widget>* made) {
  made->clear();
  made->reserve(static_cast<size_t>(count));
  XmString text = XmStringCreateLocalized(const_cast<char*>("text"));
  for (int i = 0; i < count; ++i) {
    int kind = kindOf(i);
    std::string name = "c" + std::to_string(i);
    Box b = boxOf(i);
    Arg args[12];
    Cardinal n = 0;
    XtSetArg(args[n], XmNx, b.x), ++n;
    XtSetArg(args[n], XmNy, b.y), ++n;
    XtSetArg(args[n], XmNwidth, b.width), ++n;
    XtSetArg(args[n], XmNheight, b.height), ++n;
    WidgetClass cls = nullptr;
    switch (kind) {
      case kLabel:
      case kButton:
      case kToggle:
        cls = kind == kLabel    ? xmLabelWidgetClass
              : kind == kButton ? xmIconWidgetClass
                                : xmToggleButtonWidgetClass;
        XtSetArg(args[n], XmNrecomputeSize, False), ++n;
        XtSetArg(args[n], XmNlabelString, text), ++n;
        break;
      case kField:
        cls = xmTextWidgetClass;
        XtSetArg(args[n], XmNeditMode, XmSINGLE_LINE_EDIT), ++n;
        XtSetArg(args[n], XmNresizeWidth, False), ++n;
        XtSetArg(args[n], XmNresizeHeight, False), ++n;
        break;
      case kSlider:
        // The kit's slider is a scale with an arrow at each end.
        cls = xmScaleWidgetClass;
        XtSetArg(args[n], XmNorientation, XmHORIZONTAL), ++n;
        XtSetArg(args[n], XmNshowArrows, XmEACH_SIDE), ++n;
        break;
      case kList: {
        // The kit's list: a scrolled list that keeps the size it is given, without drag
        // scrolling (its scroll bars are no drop sites).
        XtSetArg(args[n], XmNlistSizePolicy, XmCONSTANT), ++n;
        XtSetArg(args[n], XmNautoDragModel, XmAUTO_DRAG_DISABLED), ++n;
        Widget list = XmCreateScrolledList(parent, const_cast<char*>(name.c_str()), args, n);
        XtManageChild(list);
        made->push_back(XtParent(list));
        continue;
      }
      case kPanel:
        cls = containerWidgetClass;
        break;
      case kFrame:
        cls = xmFrameWidgetClass;
        XtSetArg(args[n], XmNshadowThickness, 3), ++n;
        XtSetArg(args[n], XmNmarginWidth, 0), ++n;
        XtSetArg(args[n], XmNmarginHeight, 0), ++n;
        break;
      default:
        continue;
    }
    Widget w = XtCreateWidget(name.c_str(), cls, parent, args, n);
    if (kind == kSlider) {
      // The kit's slider shows its trough in the background of the window around it.
      Pixel background = 0;
      XtVaGetValues(parent, XmNbackground, &background, nullptr);
      WidgetList children = nullptr;
      Cardinal count = 0;
      XtVaGetValues(w, XmNchildren, &children, XmNnumChildren, &count, nullptr);
      for (Cardinal c = 0; c < count; ++c)
        if (XmIsScrollBar(children[c]))
          XtVaSetValues(children[c], XmNtroughColor, background, nullptr);
    }
    if (kind == kFrame)
      XtVaCreateManagedWidget((name + "WA").c_str(), containerWidgetClass, w, XmNx, 3, XmNy, 3,
                              XmNwidth, b.width - 6, XmNheight, b.height - 6, nullptr);
    made->push_back(w);
  }
  XmStringFree(text);
  XtManageChildren(made->data(), static_cast<Cardinal>(made->size()));
}

// The batched raw destroy: drop-site updates held while the widgets go.
inline void destroyRaw(Widget parent, std::vector<Widget>* made) {
  XmDropSiteStartUpdate(parent);
  for (Widget w : *made) XtDestroyWidget(w);
  XmDropSiteEndUpdate(parent);
  made->clear();
}

// The pointer to the screen's far corner, away from the windows: a window under it has the
// keyboard focus (no window manager: the focus follows the pointer), and in a window with the
// focus the toolkit searches the whole window for the next widget each time the focused one
// is destroyed. Each round starts without, so that it measures the controls, on both sides.
inline void pointerAway(Display* dpy) {
  Screen* screen = DefaultScreenOfDisplay(dpy);
  XWarpPointer(dpy, None, RootWindowOfScreen(screen), 0, 0, 0, 0, WidthOfScreen(screen) - 1,
               HeightOfScreen(screen) - 1);
}

// Everything the server has sent handled, as an application's loop would.
inline void drain(Display* dpy) {
  XSync(dpy, False);
  XtAppContext app = XtDisplayToApplicationContext(dpy);
  while (XtAppPending(app)) XtAppProcessEvent(app, XtIMAll);
}

}  // namespace mixed
