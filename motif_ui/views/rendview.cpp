// UIrendView: an empty row column whose X window is published in the handle for drawing.
#include "ui/rendview.h"

#include <Xm/RowColumn.h>
#include <Xm/Xm.h>

#include "om/om_scope.h"
#include "ui/args.h"
#include "ui/misc.h"

#include "props.h"

namespace {
using uiprops::nameOf;
using uiprops::readInt;
}  // namespace

UIrendView::UIrendView(OMobj_id id) : UIwindow(id) {
  classType_ = "UIrendView";
}

bool UIrendView::instanceObject() {
  Widget parent = getParentWidget();
  if (!parent) return false;
  int x = 0, y = 0, width = 0, height = 0;
  autoPlacementManager(parent, &x, &y);
  if (!readInt(objId, "width", &width)) UIsetOMWindowWidth(objId, width = 200);
  if (!readInt(objId, "height", &height)) UIsetOMWindowHeight(objId, height = 200);
  UIargs args{{XmNx, x},
              {XmNy, y},
              {XmNwidth, width > 0 ? width : 1},
              {XmNheight, height > 0 ? height : 1},
              {XmNresizeHeight, False},
              {XmNresizeWidth, False},
              {XmNisAligned, True},
              {XmNpacking, XmPACK_NONE},
              {XmNmappedWhenManaged, True},
              {XmNuserData, static_cast<UIwindow*>(this)}};
  Widget w =
      XtCreateWidget(nameOf(objId), xmRowColumnWidgetClass, parent, args.list(), args.count());
  setResources(w, 0);
  XtManageChild(w);
  XtAddEventHandler(w, StructureNotifyMask, False, UIrendView_OnRealize,
                    static_cast<UIwindow*>(this));
  onObjectCreate(w);
  return true;
}

void UIrendView_OnRealize(Widget w, XtPointer data, XEvent*, Boolean*) {
  auto* binding = static_cast<UIwindow*>(data);
  if (!UIwindow::alive(binding) || UIisBeingDestroyed(w) || !XtWindow(w)) return;
  if (binding->handle.window()) return;
  OMcontext ctx(binding->handle.obj_id(), OM_CTX_QUIET, OM_CTX_EVENT);
  binding->handle.window(XtWindow(w));
}

int UIrendViewInstance(OMobj_id id) {
  return UIinstanceEntry<UIrendView>(id);
}

int UIrendViewUpdate(OMobj_id id, unsigned int mask, int seq) {
  return UIupdateEntry<UIrendView>(id, mask, seq);
}
