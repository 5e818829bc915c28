// UIlabel: a static text or picture, and the label resources shared by buttons and toggles.
#include "ui/label.h"

#include <X11/IntrinsicP.h>
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
using uiprops::onlyChanged;
using uiprops::sub;

// The widget createSized has just made with its text and alignment: the first resource pass
// over it does not set them again (each set is a pass over the widget's resources).
Widget freshLabel = nullptr;

bool isToggleClass(WidgetClass cls) {
  for (WidgetClass c = cls; c; c = c->core_class.superclass)
    if (c == xmToggleButtonWidgetClass || c == xmToggleButtonGadgetClass) return true;
  return false;
}

// The alignment setAlignment gives: from "alignment" when it is 0 to 2, the widget's kind's
// when it is unset; false when it leaves the widget's as it is.
bool alignmentOf(const OMobj_id& id, bool toggle, unsigned char* out) {
  int value = 0;
  if (OMget_int_val(id, &value) != 1) {
    *out = toggle ? XmALIGNMENT_BEGINNING : XmALIGNMENT_CENTER;
    return true;
  }
  if (value < 0 || value > 2) return false;
  *out = static_cast<unsigned char>(value);
  return true;
}

// The text setString shows: "label", or the object's name while it has none.
UIxmString labelTextOf(const OMobj_id& obj, const OMobj_id& labelSub) {
  OMtextIn<128> text(labelSub);
  return UIxmText(text ? text.get() : uiprops::nameOf(obj));
}

}  // namespace

UIlabel::UIlabel(OMobj_id id) : UIwindow(id) {
  classType_ = "UIlabel";
}
UIlabel::~UIlabel() = default;

void UIlabel::setAlignment(const OMobj_id& id, Widget w) {
  if (UIisBeingDestroyed(w)) return;
  unsigned char alignment = XmALIGNMENT_CENTER;
  if (alignmentOf(id, XmIsToggleButton(w) || XmIsToggleButtonGadget(w), &alignment))
    XtVaSetValues(w, XmNalignment, alignment, nullptr);
}

void UIlabel::setPixmap(const OMobj_id& id, Widget w, int seq) {
  UIapplyPictureFromFile(id, w, seq, UI_PICTURE_LABEL, "UIlabel::setPixmap");
}

void UIlabel::setString(const OMobj_id& obj, const OMobj_id& labelSub, Widget w) {
  if (UIisBeingDestroyed(w)) return;
  // The most frequent set of all (a label showing a value): given as an argument list, which
  // spares the toolkit the conversion of a variable one.
  UIxmString text = labelTextOf(obj, labelSub);
  Arg arg;
  XtSetArg(arg, XmNlabelString, text.get());
  XtSetValues(w, &arg, 1);
}

void UIlabel::setLabelResources(const OMobj_id& obj, Widget w, int seq) {
  if (UIisBeingDestroyed(w)) return;
  OMobj_id pixmap = sub(obj, "labelPixmap");
  if (newer(pixmap, seq) || newer(sub(obj, "color.backgroundColor"), seq) ||
      newer(sub(obj, "color.foregroundColor"), seq))
    setPixmap(pixmap, w, seq);
  bool fresh = w == freshLabel;
  freshLabel = nullptr;
  OMobj_id label = sub(obj, "label");
  if (!fresh && newer(label, seq)) setString(obj, label, w);
  OMobj_id alignment = sub(obj, "alignment");
  if (!fresh && newer(alignment, seq)) setAlignment(alignment, w);
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
  // What the first resource pass would set at once goes to the widget as it is made: its
  // size, text, alignment and font list (each set afterwards is a pass over its resources).
  if (!fit && width >= 1 && width <= 32767 && height >= 1 && height <= 32767)
    args.add(XmNwidth, width).add(XmNheight, height);
  OMobj_id label = sub(objId, "label");
  UIxmString text;
  if (newer(label, -1)) {
    text = labelTextOf(objId, label);
    args.add(XmNlabelString, text.get());
  }
  OMobj_id alignmentProp = sub(objId, "alignment");
  unsigned char alignment = XmALIGNMENT_CENTER;
  bool aligned =
      newer(alignmentProp, -1) && alignmentOf(alignmentProp, isToggleClass(cls), &alignment);
  if (aligned) args.add(XmNalignment, alignment);
  XmFontList fonts = chooseFontList(XtDisplay(parent), parent);
  if (fonts) args.add(XmNfontList, fonts);
  args.add(extra);
  Widget w = XtCreateWidget(uiprops::nameOf(objId), cls, parent, args.list(), args.count());
  if (managed) XtManageChild(w);
  DragAndDropDisable(w);
  widget_ = w;
  madeWithFontList(w, fonts);
  // Both were passed, or neither property is there for the pass to set.
  if ((!newer(label, -1) || text) && (!newer(alignmentProp, -1) || aligned)) freshLabel = w;
  setResources(w, -1);
  freshLabel = nullptr;
  // Without a size the widget takes its own (and the object learns it unless it holds the
  // defaults); else the object's.
  if (fit && !stored) {
    Dimension ww = 0, wh = 0;
    XtVaGetValues(w, XmNwidth, &ww, XmNheight, &wh, nullptr);
    UIsetOMWindowWidth(objId, ww);
    UIsetOMWindowHeight(objId, wh);
  } else if (!fit && (w->core.width != width || w->core.height != height)) {
    XtVaSetValues(w, XmNwidth, width, XmNheight, height, nullptr);
  }
  return w;
}

bool UIlabel::instanceObject() {
  Widget parent = parentWidgetNow();
  if (!parent) return false;
  // Managed by onObjectCreate once "visible" is known, so a hidden label never flashes up
  // and its resources are set before it has a window to redraw.
  onObjectCreate(createSized(xmLabelWidgetClass, parent, false, Defaults::kWidgetsOwn));
  return true;
}

void UIlabel::updateObject(int seq) {
  if (UIisBeingDestroyed(widget_)) return;
  // The usual update, a new text, sets the text alone: no other property is newer.
  static const OMobj_name kLabel = OMstr_to_name("label");
  OMobj_id label = OMfind_subobj(objId, kLabel, 0);
  if (onlyChanged(objId, label)) {
    setString(objId, label, widget_);
    return;
  }
  if (onlyItsSurroundingsChanged()) return;
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
