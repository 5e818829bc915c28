// UIlabel: a static text or picture, and the label resources shared by buttons and toggles.
#include "ui/label.h"

#include <Xm/Label.h>
#include <Xm/PushB.h>
#include <Xm/ToggleB.h>
#include <Xm/ToggleBG.h>
#include <Xm/Xm.h>

#include <fcntl.h>
#include <unistd.h>

#include "om/om_scope.h"
#include "svc/wt.h"
#include "ui/misc.h"

#include "props.h"
#include "ui/picture.h"
#include "ui/xmstring.h"

namespace {

using uiprops::newer;
using uiprops::sub;

}  // namespace

UIlabel::UIlabel(OMobj_id id) : UIwindow(id) {
  classType_ = "UIlabel";
}
UIlabel::~UIlabel() = default;

void UIlabel::setAlignment(const OMobj_id& id, Widget w) {
  if (UIisBeingDestroyed(w)) return;
  int value = 0;
  if (OMget_int_val(id, &value) != 1) {
    bool toggle = XmIsToggleButton(w) || XmIsToggleButtonGadget(w);
    XtVaSetValues(w, XmNalignment, toggle ? XmALIGNMENT_BEGINNING : XmALIGNMENT_CENTER, nullptr);
    return;
  }
  if (value >= 0 && value <= 2)
    XtVaSetValues(w, XmNalignment, static_cast<unsigned char>(value), nullptr);
}

void UIlabel::setPixmap(const OMobj_id& id, Widget w, int seq) {
  UIapplyPictureFromFile(id, w, seq, UI_PICTURE_LABEL, "UIlabel::setPixmap");
}

void UIlabel::setString(const OMobj_id& obj, const OMobj_id& labelSub, Widget w) {
  if (UIisBeingDestroyed(w)) return;
  OMtext text = OMget_text(labelSub);
  UIxmString s = UIxmText(text ? text.get() : uiprops::nameOf(obj));
  XtVaSetValues(w, XmNlabelString, s.get(), nullptr);
}

void UIlabel::setLabelResources(const OMobj_id& obj, Widget w, int seq) {
  if (UIisBeingDestroyed(w)) return;
  OMobj_id pixmap = sub(obj, "labelPixmap");
  if (newer(pixmap, seq) || newer(sub(obj, "color.backgroundColor"), seq) ||
      newer(sub(obj, "color.foregroundColor"), seq))
    setPixmap(pixmap, w, seq);
  OMobj_id label = sub(obj, "label");
  if (newer(label, seq)) setString(obj, label, w);
  if (newer(sub(obj, "alignment"), seq)) setAlignment(sub(obj, "alignment"), w);
  OMtext accelerator = OMget_text(sub(obj, "accelerator"));
  OMtext text = accelerator ? OMget_text(sub(obj, "acceleratorText")) : OMtext();
  if (accelerator && text) {
    XtVaSetValues(w, XmNaccelerator, accelerator.get(), nullptr);
    if (*text) XtVaSetValues(w, XmNacceleratorText, UIxmLocalized(text.get()).get(), nullptr);
  }
}

void UIlabel::setResources(Widget w, int seq) {
  UIcore::setResources(w, seq);
  setLabelResources(objId, w, seq);
}

Widget UIlabel::createSized(WidgetClass cls, Widget parent, bool managed, Defaults defaults,
                            const UIargs& extra) {
  int x = 0, y = 0, width = 100, height = 28;
  autoPlacementManager(parent, &x, &y);
  bool hasWidth = UIgetOMWindowWidth(objId, &width);
  bool hasHeight = UIgetOMWindowHeight(objId, &height);
  // A size beyond 16 bits is not used (it would wrap) nor replaced by the widget's: it is
  // reported when the object's geometry is applied, and the object keeps it.
  bool fit = !hasWidth && !hasHeight && width <= 32767 && height <= 32767;
  bool wide = width > 32767, tall = height > 32767;
  if (!hasWidth) width = 100;
  if (!hasHeight) height = 28;
  bool stored = defaults == Defaults::kStored;
  if (stored && !hasWidth && !wide) UIsetOMWindowWidth(objId, width);
  if (stored && !hasHeight && !tall) UIsetOMWindowHeight(objId, height);
  UIargs args{{XmNx, x}, {XmNy, y}, {XmNrecomputeSize, fit ? True : False}, {XmNuserData, this}};
  args.add(extra);
  Widget w = XtCreateWidget(uiprops::nameOf(objId), cls, parent, args.list(), args.count());
  if (managed) XtManageChild(w);
  DragAndDropDisable(w);
  widget_ = w;
  setResources(w, -1);
  // Without a size the widget takes its own (and the object learns it unless it holds the
  // defaults); else the object's.
  if (fit && !stored) {
    Dimension ww = 0, wh = 0;
    XtVaGetValues(w, XmNwidth, &ww, XmNheight, &wh, nullptr);
    UIsetOMWindowWidth(objId, ww);
    UIsetOMWindowHeight(objId, wh);
  } else if (!fit) {
    XtVaSetValues(w, XmNwidth, width, XmNheight, height, nullptr);
  }
  return w;
}

bool UIlabel::instanceObject() {
  Widget parent = getParentWidget();
  if (!parent) return false;
  // Managed by onObjectCreate once "visible" is known, so a hidden label never flashes up
  // and its resources are set before it has a window to redraw.
  onObjectCreate(createSized(xmLabelWidgetClass, parent, false, Defaults::kWidgetsOwn));
  return true;
}

void UIlabel::updateObject(int seq) {
  if (UIisBeingDestroyed(widget_)) return;
  // The widget sizes itself only while the object gives no size; that can change only
  // when the size properties do.
  OMobj_id width = sub(objId, "width"), height = sub(objId, "height");
  if (newer(width, seq) || newer(height, seq)) {
    int v = 0;
    bool fit = OMget_int_val(width, &v) != 1 && OMget_int_val(height, &v) != 1;
    Boolean now = False;
    XtVaGetValues(widget_, XmNrecomputeSize, &now, nullptr);
    if (static_cast<bool>(now) != fit)
      XtVaSetValues(widget_, XmNrecomputeSize, fit ? True : False, nullptr);
  }
  setResources(widget_, seq);
  UIwindow::updateObject(seq);
}

Pixmap UIKLTImageToPixmap(Widget w, const char* path) {
  // Opened without waiting: a FIFO or device must not block the interface.
  int fd = path ? open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC) : -1;
  if (fd < 0) return XmUNSPECIFIED_PIXMAP;
  FILE* file = fdopen(fd, "rb");
  if (!file) {
    close(fd);
    return XmUNSPECIFIED_PIXMAP;
  }
  Pixmap p = UIKLTImageToPixmap(file, w);
  std::fclose(file);
  return p;
}

int UIlabelInstance(OMobj_id id) {
  return UIinstanceEntry<UIlabel>(id);
}
int UIlabelUpdate(OMobj_id id, unsigned int mask, int seq) {
  return UIupdateEntry<UIlabel>(id, mask, seq);
}
