// UIbutton: a push button with a tool tip and an armed picture; a press writes "do".
#include <Xm/MessageB.h>
#include <Xm/Xm.h>

#include <cstdlib>

#include "ui/Icon.h"
#include "ui/core.h"
#include "ui/label.h"
#include "ui/misc.h"

#include "props.h"
#include "ui/picture.h"

namespace {

using uiprops::newer;
using uiprops::sub;

}  // namespace

UIbutton::UIbutton(OMobj_id id) : UIlabel(id) {
  classType_ = "UIbutton";
}
UIbutton::~UIbutton() = default;

void UIbutton::setArmedPixmap(const OMobj_id& id, Widget w, int seq) {
  UIapplyPictureFromFile(id, w, seq, UI_PICTURE_ARMED, "UIbutton::setArmedPixmap");
}

void UIbutton::setResources(Widget w, int seq) {
  if (!objId || UIisBeingDestroyed(w)) return;
  UIlabel::setResources(w, seq);
  OMobj_id tip = sub(objId, "toolTip");
  if (!tip) return;
  if (newer(tip, seq)) {
    int enable = 0;
    if (OMget_int_val(sub(tip, "enable"), &enable) != 1) enable = 0;
    int delay = 0;
    if (OMget_int_val(sub(tip, "delayTime"), &delay) == 1)
      XtVaSetValues(w, XmNdisplayDelay, delay, nullptr);
    char* message = nullptr;
    if (OMget_str_val(sub(tip, "message"), &message, 0) == 1) {
      XmString s = CSstr_to_Xm(message);
      XtVaSetValues(w, XmNshowLabel, True, XmNlabelString, s, nullptr);
      XmStringFree(s);
      std::free(message);
    } else {
      XtVaSetValues(w, XmNshowLabel, False, nullptr);
    }
    OMobj_id color = sub(tip, "color");
    char* colorText = nullptr;
    if (!!color && newer(color, seq) &&
        OMget_str_val(sub(tip, "color.foregroundColor"), &colorText, 0) == 1) {
      XColor parsed, c;
      Colormap colormap = 0;
      XtVaGetValues(w, XtNcolormap, &colormap, nullptr);
      bool ok = XParseColor(XtDisplay(w), colormap, colorText, &parsed) &&
                getColorFromString(w, UtString(colorText), c);
      std::free(colorText);
      if (!ok) return;
      XtVaSetValues(w, XmNlabelForegroundColor, c.pixel, nullptr);
    }
    int placement = 1;
    if (OMget_int_val(sub(tip, "placement"), &placement) != 1) placement = 1;
    XtVaSetValues(w, XmNdisplayPlacement, placement, nullptr);
    if (enable == 2) XtVaSetValues(w, XmNshowLabel, False, nullptr);
    if (enable == 0) {
      Pixmap picture = XmUNSPECIFIED_PIXMAP;
      XtVaGetValues(w, XmNlabelPixmap, &picture, nullptr);
      XtVaSetValues(w, XmNshowLabel, picture != XmUNSPECIFIED_PIXMAP ? True : False, nullptr);
    }
  }
  OMobj_id armed = sub(objId, "armedPixmap");
  if (!!armed && newer(armed, seq)) setArmedPixmap(armed, w, seq);
}

bool UIbutton::instanceObject() {
  Widget parent = getParentWidget();
  if (!parent) return false;
  int x = 0, y = 0, width = 100, height = 28;
  autoPlacementManager(parent, &x, &y);
  bool hasWidth = UIgetOMWindowWidth(objId, &width);
  bool hasHeight = UIgetOMWindowHeight(objId, &height);
  // A size beyond 16 bits is reported when the geometry is applied; the object keeps it.
  bool wide = width > 32767, tall = height > 32767;
  if (!hasWidth) width = 100;
  if (!hasHeight) height = 28;
  if (!hasWidth && !wide) UIsetOMWindowWidth(objId, width);
  if (!hasHeight && !tall) UIsetOMWindowHeight(objId, height);
  OMobj_name name = 0;
  OMget_obj_name(objId, &name);
  bool fit = !hasWidth && !hasHeight;
  // Managed by onObjectCreate once "visible" is known (as a label is).
  Widget w = XtVaCreateWidget(OMname_to_str(name), xmIconWidgetClass, parent, XmNx, x, XmNy, y,
                              XmNrecomputeSize, fit ? True : False, XmNuserData, this,
                              XmNdisplayDelay, 300, nullptr);
  if (XmIsMessageBox(parent)) XtVaSetValues(w, XmNdefaultButtonShadowThickness, 1, nullptr);
  DragAndDropDisable(w);
  widget_ = w;
  setResources(w, -1);
  if (!fit) XtVaSetValues(w, XmNwidth, width, XmNheight, height, nullptr);
  XtAddCallback(w, XmNactivateCallback, reinterpret_cast<XtCallbackProc>(onCommand), this);
  onObjectCreate(w);
  return true;
}

void UIbutton::updateObject(int seq) {
  if (UIisBeingDestroyed(widget_)) return;
  setResources(widget_, seq);
  UIwindow::updateObject(seq);
}

void UIbutton::onCommand(Widget, UIbutton* binding, XmPushButtonCallbackStruct*) {
  if (!alive(binding)) return;
  OMobj_id obj = binding->objId;
  int mode = OMget_journal_style(0) > 0 || OMget_journal_control(0) > 0 ? 1 : 4;
  OMpush_ctx(obj, mode, 0, 0);
  OMset_int_val(sub(obj, "do"), 1);
  OMpop_ctx(obj);
}

int UIbuttonInstance(OMobj_id id) {
  return UIinstanceEntry<UIbutton>(id);
}
int UIbuttonUpdate(OMobj_id id, unsigned int mask, int seq) {
  return UIupdateEntry<UIbutton>(id, mask, seq);
}
