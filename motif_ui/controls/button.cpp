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
    // The tip's resources go to the widget in one set (each set is a pass over them all).
    UIargs args;
    int enable = 0;
    if (OMget_int_val(sub(tip, "enable"), &enable) != 1) enable = 0;
    int delay = 0;
    if (OMget_int_val(sub(tip, "delayTime"), &delay) == 1) args.add(XmNdisplayDelay, delay);
    // The message is the tip's own text: the button's face keeps its label.
    UIxmString s;
    if (OMtext message = OMget_text(sub(tip, "message"))) {
      s = UIxmText(message.get());
      args.add(XmNshowLabel, True).add(XmNtipString, s.get());
    } else {
      args.add(XmNshowLabel, False).add(XmNtipString, static_cast<XmString>(nullptr));
    }
    OMobj_id color = sub(tip, "color");
    OMtext colorText;
    if (!!color && newer(color, seq) &&
        (colorText = OMget_text(sub(tip, "color.foregroundColor")))) {
      XColor parsed, c;
      Colormap colormap = 0;
      XtVaGetValues(w, XtNcolormap, &colormap, nullptr);
      if (!XParseColor(XtDisplay(w), colormap, colorText.get(), &parsed) ||
          !getColorFromString(w, UtString(colorText.get()), c)) {
        XtSetValues(w, args.list(), args.count());
        return;
      }
      args.add(XmNlabelForegroundColor, c.pixel);
    }
    int placement = 1;
    if (OMget_int_val(sub(tip, "placement"), &placement) != 1) placement = 1;
    args.add(XmNdisplayPlacement, placement);
    if (enable == 2) args.add(XmNshowLabel, False);
    if (enable == 0) {
      Pixmap picture = XmUNSPECIFIED_PIXMAP;
      XtVaGetValues(w, XmNlabelPixmap, &picture, nullptr);
      args.add(XmNshowLabel, picture != XmUNSPECIFIED_PIXMAP ? True : False);
    }
    XtSetValues(w, args.list(), args.count());
  }
  OMobj_id armed = sub(objId, "armedPixmap");
  if (!!armed && newer(armed, seq)) setArmedPixmap(armed, w, seq);
}

bool UIbutton::instanceObject() {
  Widget parent = parentWidgetNow();
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
