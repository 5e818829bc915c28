// Labels, buttons and toggles.
//
//   UIlabel   XmLabel "<name>"         "label" (else the object's name), "alignment",
//                                      "labelPixmap", "accelerator" -> widget
//   UIbutton  XmIcon "<name>"          the same, "toolTip" (enable, delayTime, message,
//                                      color.foregroundColor, placement), "armedPixmap";
//                                      "message" -> the tip's text (XmNtipString), never
//                                      the face; a press writes "do" 1
//   UItoggle  XmToggleButton "<name>"  the same as the label, "set" -> state (no echo);
//                                      a click writes "set" and "do" 1
#pragma once

#include <Xm/PushB.h>
#include <Xm/ToggleB.h>

#include "ui/args.h"
#include "ui/wind.h"

class UIlabel : public UIwindow {
 public:
  explicit UIlabel(OMobj_id id);
  ~UIlabel() override;
  void setResources(Widget w, int seq) override;
  bool instanceObject() override;
  void updateObject(int seq) override;

  // The label resources of any label-like widget (option menus use them too).
  static void setAlignment(const OMobj_id& id, Widget w);
  static void setPixmap(const OMobj_id& id, Widget w, int seq);
  static void setString(const OMobj_id& obj, const OMobj_id& labelSub, Widget w);
  static void setLabelResources(const OMobj_id& obj, Widget w, int seq);

 protected:
  // What a missing size becomes (100 x 28 for what is missing, in both cases).
  enum class Defaults {
    kWidgetsOwn,  // not written; with neither size the widget's own is written back
    kStored,      // written into the object; with neither size the widget keeps its own
  };
  // Makes the widget named after the object at its placed position, sized from the object,
  // with the binding as user data, extra resources after the common ones, and the resources
  // applied (setResources(w, -1)). Managed now only when asked (bindings usually leave it to
  // onObjectCreate, which knows "visible"); the caller adds callbacks and calls onObjectCreate.
  Widget createSized(WidgetClass cls, Widget parent, bool managed, Defaults defaults,
                     const UIargs& extra = UIargs());
};

class UIbutton : public UIlabel {
 public:
  explicit UIbutton(OMobj_id id);
  ~UIbutton() override;
  bool acceptsTemplateDialogParent() const override { return true; }
  void setResources(Widget w, int seq) override;
  bool instanceObject() override;
  void updateObject(int seq) override;

  static void setArmedPixmap(const OMobj_id& id, Widget w, int seq);
  // Activation: writes "do" 1. Reached through UIaddCallback, so binding is live.
  static void onCommand(Widget w, UIbutton* binding, XmPushButtonCallbackStruct* call);
};

class UItoggle : public UIlabel {
 public:
  explicit UItoggle(OMobj_id id);
  ~UItoggle() override;
  bool instanceObject() override;
  void updateObject(int seq) override;

  // A click: writes "set" from the widget and "do" 1. Reached through UIaddCallback.
  static void onCommand(Widget w, UItoggle* binding, XmToggleButtonCallbackStruct* call);
};

int UIlabelInstance(OMobj_id id);
int UIlabelUpdate(OMobj_id id, unsigned int mask, int seq);
int UIbuttonInstance(OMobj_id id);
int UIbuttonUpdate(OMobj_id id, unsigned int mask, int seq);
int UItoggleInstance(OMobj_id id);
int UItoggleUpdate(OMobj_id id, unsigned int mask, int seq);

// Opens a KLT image file and makes a pixmap of it for w; XmUNSPECIFIED_PIXMAP on failure.
Pixmap UIKLTImageToPixmap(Widget w, const char* path);
