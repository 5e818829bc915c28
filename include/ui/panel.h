// Containers: a panel is a rectangle children place their widgets in, a frame a panel with a
// shadowed border, a scrolled window a frame whose work area is larger than its view.
//
//   UIpanel           container "<name>"                 (widget and client widget)
//   UIframe           XmFrame "<name>" > container "<name>WA"  (client widget)
//   UIscrolledWindow  XmScrolledWindow "<name>" > XmBulletinBoard "<name>WA" (client widget,
//                     and the handle's widget; no drag scrolling, so its scroll bars are no
//                     drop sites)
//
//   "width" "height" -> widget size; "clientWidth" "clientHeight" <- the children's space;
//   "shadowThickness" "shadowType" -> frame; "scrollBars" (rebuilds) "resizeMode"
//   "virtualWidth" "virtualHeight" <-> work area (scrolled window).
#pragma once

#include "ui/wind.h"

class UIpanel : public UIwindow {
 public:
  explicit UIpanel(OMobj_id id);

  // "clientWidth"/"clientHeight" (reals) written when they differ.
  virtual void setClientWidth(const OMobj_id& id, int width);
  virtual void setClientHeight(const OMobj_id& id, int height);
  virtual int getClientWidth(const OMobj_id& id, int* width);
  virtual int getClientHeight(const OMobj_id& id, int* height);
  // Applies setCoreResources(-1) to every bound child of the client widget.
  virtual void updateChildren();
  virtual void geometryManager(Widget, Widget) {}

  void setCoreResources(int seq) override;
  bool instanceObject() override;
  void updateObject(int seq) override;
  void rebuildObject(Widget old) override;
  void destroyObject() override;

  // Map and resize handler of a panel under a parent that sizes its children (data): the
  // panel's client size follows its widget's. Put on only under such a parent.
  static void onMap(Widget w, XtPointer data, XEvent* event, Boolean* go);
  bool acceptsTemplateDialogParent() const override { return true; }

  Widget clientWidget = nullptr;

 protected:
  // Common to every container's rebuild: index, instancing again, moving the children.
  void rebuildKeepingChildren(Widget old, Widget oldClient);
  // Tells every bound child to destroy itself; true when there was one.
  bool destroyChildren();
};

class UIframe : public UIpanel {
 public:
  explicit UIframe(OMobj_id id);
  void setCoreResources(int seq) override;
  bool instanceObject() override;
  void updateObject(int seq) override;
  void rebuildObject(Widget old) override;
  void destroyObject() override;

  int shadowThickness = 3;
};

class UIscrolledWindow : public UIframe {
 public:
  explicit UIscrolledWindow(OMobj_id id);
  void setCoreResources(int seq) override;
  bool instanceObject() override;
  void updateObject(int seq) override;
  void rebuildObject(Widget old) override;
  void destroyObject() override;
  void addLayoutEditorEventHandlers(Widget w) override;
  // A template dialog takes frames but not scrolled windows.
  bool acceptsTemplateDialogParent() const override { return false; }

  void setScrollBars(int mode, int width, int height);
  int getVirtualWidth(int width);
  int getVirtualHeight(int height);
  void setOMVirtualWidth(int v);
  void setOMVirtualHeight(int v);
  static void handleVirtResize(Widget w, XtPointer binding, XEvent* event, Boolean* go);

  int scrollBarMode = 1;  // 0 none, 1 always, 2 as needed
  int resizeMode = 2;     // work area's resize policy: 0 none, 1 grow, 2 any
  int virtualWidth = 0;   // work area size, 0 until known
  int virtualHeight = 0;
  Widget hScrollBar = nullptr;
  Widget vScrollBar = nullptr;
  int hAllowance = 0;  // height the horizontal bar takes
  int vAllowance = 0;  // width the vertical bar takes
  int childCount = 0;

 private:
  bool hasVirtualWidth_ = false;
  bool hasVirtualHeight_ = false;
  static int lastScrollBarSeq_;
};

// Frame appearance from the object.
void UIsetShadowThickness(const OMobj_id& id, Widget frame);
void UIsetShadowType(const OMobj_id& id, Widget frame);
// Raises the X window of every child of w that has one.
void UIpanelChildRaise(Widget w, void* unused);

int UIpanelInstance(OMobj_id id);
int UIpanelUpdate(OMobj_id id, unsigned int mask, int seq);
int UIframeInstance(OMobj_id id);
int UIframeUpdate(OMobj_id id, unsigned int mask, int seq);
int UIscrolledWindowInstance(OMobj_id id);
int UIscrolledWindowUpdate(OMobj_id id, unsigned int mask, int seq);
