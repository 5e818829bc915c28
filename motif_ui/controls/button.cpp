// UIbutton: a push button with a tool tip and an armed picture; a press writes "do".
#include <Xm/MessageB.h>
#include <Xm/Xm.h>

#include "om/om_scope.h"
#include "ui/Icon.h"
#include "ui/IconP.h"
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
    // The tip's resources go to the widget in one set, and only those that differ from its
    // record (each set is a pass over all its resources).
    const XmIconPart* now =
        XtIsSubclass(w, xmIconWidgetClass) ? &reinterpret_cast<XmIconWidget>(w)->icon : nullptr;
    UIargs args;
    int enable = 0;
    if (OMget_int_val(sub(tip, "enable"), &enable) != 1) enable = 0;
    int delay = 0;
    if (OMget_int_val(sub(tip, "delayTime"), &delay) == 1 && (!now || now->display_delay != delay))
      args.add(XmNdisplayDelay, delay);
    // The message is the tip's own text: the button's face keeps its label.
    UIxmString s;
    Boolean show = False;
    bool setTip = !now || now->tip_string;
    if (OMtext message = OMget_text(sub(tip, "message"))) {
      s = UIxmText(message.get());
      show = True;
      setTip = true;
    }
    auto apply = [&] {
      if (!now || now->show_label != show) args.add(XmNshowLabel, show);
      if (setTip) args.add(XmNtipString, s.get());
      if (args.count()) XtSetValues(w, args.list(), args.count());
    };
    OMobj_id color = sub(tip, "color");
    OMtext colorText;
    if (!!color && newer(color, seq) &&
        (colorText = OMget_text(sub(tip, "color.foregroundColor")))) {
      XColor parsed, c;
      Colormap colormap = 0;
      XtVaGetValues(w, XtNcolormap, &colormap, nullptr);
      if (!XParseColor(XtDisplay(w), colormap, colorText.get(), &parsed) ||
          !getColorFromString(w, UtString(colorText.get()), c)) {
        apply();
        return;
      }
      if (!now || now->label_foreground != c.pixel) args.add(XmNlabelForegroundColor, c.pixel);
    }
    int placement = 1;
    if (OMget_int_val(sub(tip, "placement"), &placement) != 1) placement = 1;
    if (!now || now->display_placement != placement) args.add(XmNdisplayPlacement, placement);
    if (enable == 2) show = False;
    if (enable == 0) {
      Pixmap picture = XmUNSPECIFIED_PIXMAP;
      if (XmIsLabel(w))  // read from the record: a get would search the button's resources
        picture = reinterpret_cast<XmLabelWidget>(w)->label.pixmap;
      else
        XtVaGetValues(w, XmNlabelPixmap, &picture, nullptr);
      show = picture != XmUNSPECIFIED_PIXMAP ? True : False;
    }
    apply();
  }
  OMobj_id armed = sub(objId, "armedPixmap");
  if (!!armed && newer(armed, seq)) setArmedPixmap(armed, w, seq);
}

bool UIbutton::instanceObject() {
  Widget parent = parentWidgetNow();
  if (!parent) return false;
  UIargs extra{{XmNdisplayDelay, 300}};
  // Made with what an unset tip gives (no tip shown, placed below), so that the first pass
  // over the tip finds nothing to set.
  if (!!sub(objId, "toolTip")) extra.add(XmNshowLabel, False).add(XmNdisplayPlacement, 1);
  if (XmIsMessageBox(parent)) extra.add(XmNdefaultButtonShadowThickness, 1);
  // Managed by onObjectCreate once "visible" is known (as a label is).
  Widget w = createSized(xmIconWidgetClass, parent, false, Defaults::kStored, extra);
  UIaddCallback<&UIbutton::onCommand>(w, XmNactivateCallback, this);
  onObjectCreate(w);
  return true;
}

void UIbutton::updateObject(int seq) {
  if (UIisBeingDestroyed(widget_) || onlyItsSurroundingsChanged()) return;
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
