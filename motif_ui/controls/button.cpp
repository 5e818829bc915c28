// UIbutton: a push button with a tool tip and an armed picture; a press writes "do".
#include <Xm/MessageB.h>
#include <Xm/Xm.h>

#include "om/om_scope.h"
#include "ui/Icon.h"
#include "ui/core.h"
#include "ui/label.h"
#include "ui/misc.h"

#include "props.h"
#include "ui/picture.h"
#include "ui/xmstring.h"

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
    // The message is the tip's own text: the button's face keeps its label.
    if (OMtext message = OMget_text(sub(tip, "message"))) {
      UIxmString s = UIxmText(message.get());
      XtVaSetValues(w, XmNshowLabel, True, XmNtipString, s.get(), nullptr);
    } else {
      XtVaSetValues(w, XmNshowLabel, False, XmNtipString, nullptr, nullptr);
    }
    OMobj_id color = sub(tip, "color");
    OMtext colorText;
    if (!!color && newer(color, seq) &&
        (colorText = OMget_text(sub(tip, "color.foregroundColor")))) {
      XColor parsed, c;
      Colormap colormap = 0;
      XtVaGetValues(w, XtNcolormap, &colormap, nullptr);
      if (!XParseColor(XtDisplay(w), colormap, colorText.get(), &parsed) ||
          !getColorFromString(w, UtString(colorText.get()), c))
        return;
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
  UIargs extra{{XmNdisplayDelay, 300}};
  if (XmIsMessageBox(parent)) extra.add(XmNdefaultButtonShadowThickness, 1);
  // Managed by onObjectCreate once "visible" is known (as a label is).
  Widget w = createSized(xmIconWidgetClass, parent, false, Defaults::kStored, extra);
  UIaddCallback<&UIbutton::onCommand>(w, XmNactivateCallback, this);
  onObjectCreate(w);
  return true;
}

void UIbutton::updateObject(int seq) {
  if (UIisBeingDestroyed(widget_)) return;
  setResources(widget_, seq);
  UIwindow::updateObject(seq);
}

void UIbutton::onCommand(Widget, UIbutton* binding, XmPushButtonCallbackStruct*) {
  OMobj_id obj = binding->objId;
  bool journalled = OMget_journal_style(0) > 0 || OMget_journal_control(0) > 0;
  OMcontext ctx(obj, journalled ? OM_CTX_USER : OM_CTX_QUIET, OM_CTX_PLAIN);
  OMset_int_val(sub(obj, "do"), 1);
}

int UIbuttonInstance(OMobj_id id) {
  return UIinstanceEntry<UIbutton>(id);
}
int UIbuttonUpdate(OMobj_id id, unsigned int mask, int seq) {
  return UIupdateEntry<UIbutton>(id, mask, seq);
}
