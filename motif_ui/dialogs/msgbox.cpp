// UImessageBox: a message with OK and Cancel in a dialog shell.
#include <Xm/DialogS.h>
#include <Xm/MessageB.h>

#include "om/om_scope.h"
#include "ui/dialog.h"
#include "ui/misc.h"
#include "ui/xmstring.h"

#include "props.h"

namespace {

using uiprops::newer;
using uiprops::sub;

// The Motif dialog type for "type" 0..6 (unset: the message type); false for other values.
bool dialogTypeOf(const OMobj_id& prop, unsigned char* type) {
  static const unsigned char types[] = {XmDIALOG_ERROR,    XmDIALOG_INFORMATION, XmDIALOG_MESSAGE,
                                        XmDIALOG_QUESTION, XmDIALOG_WARNING,     XmDIALOG_WORKING,
                                        XmDIALOG_TEMPLATE};
  int value = 2;
  if (OMget_int_val(prop, &value) != 1) value = 2;
  if (value < 0 || value > 6) return false;
  *type = types[value];
  return true;
}

// The type a box is made with: the object's, except the template type, which is set once the
// box is made (made as a template, the box would have none of its buttons and labels).
unsigned char creationTypeOf(const OMobj_id& prop) {
  unsigned char type = XmDIALOG_MESSAGE;
  if (!newer(prop, -1) || !dialogTypeOf(prop, &type) || type == XmDIALOG_TEMPLATE)
    return XmDIALOG_MESSAGE;
  return type;
}

}  // namespace

UImessageBox::UImessageBox(OMobj_id id) : UIdialog(id) {
  classType_ = "UImessageBox";
}

bool UImessageBox::instanceObject() {
  Placement place;
  Widget parent = beginCreate(&place, 0);
  if (!parent) return false;
  // The message is given with the box (setDialogResources sets later changes). Without one
  // the box is 200 x 100, and so is its shell from the start (made at another size, the shell
  // would be resized once shown: a request and a wait for the window manager).
  OMtext text = OMget_text(prop(kMessage));
  UIxmString message = UIxmText(text ? text.get() : "");
  if (!text) place.width = 200, place.height = 100;
  makeShell(parent, place);
  UIargs args = boxArgs(place);
  args.add(XmNdialogType, creationTypeOf(prop(kType))).add(XmNmessageString, message.get());
  // The buttons and labels take the box's fonts as they are made: given with the box, the
  // fonts need not be set afterwards on the box and on each of its six children (each a pass
  // over that widget's resources).
  XmFontList fonts = nullptr;
  if (newer(fontAttributes().obj_id(), -1))
    fonts = chooseFontList(XtDisplay(parent), parentWidgetNow());
  if (fonts)
    args.add(XmNlabelFontList, fonts).add(XmNbuttonFontList, fonts).add(XmNtextFontList, fonts);
  Widget box =
      XmCreateMessageBox(shell_, const_cast<char*>(boxName().c_str()), args.list(), args.count());
  if (Widget help = XmMessageBoxGetChild(box, XmDIALOG_HELP_BUTTON)) XtUnmanageChild(help);
  madeWithFontList(box, fonts);
  madeWithFonts_ = fonts != nullptr;
  finishCreate(box);
  madeWithFonts_ = false;
  return true;
}

void UImessageBox::setOKButton(const OMobj_id& prop, const OMobj_id& obj, Widget w) {
  UIdialog::setOKButton(prop, obj, w);
}

void UImessageBox::setCancelButton(const OMobj_id& prop, const OMobj_id& obj, Widget w) {
  UIdialog::setCancelButton(prop, obj, w);
}

void UImessageBox::setDialogType(const OMobj_id& prop, Widget w) {
  unsigned char type = XmDIALOG_MESSAGE;
  if (dialogTypeOf(prop, &type)) XtVaSetValues(w, XmNdialogType, type, nullptr);
}

void UImessageBox::setDialogResources(const OMobj_id& obj, Widget w, int seq) {
  if (UIisBeingDestroyed(w)) return;
  UIdialog::setDialogResources(obj, w, seq);
  OMobj_id p;
  // Made with its type, unless that is the template type.
  if (newer(p = prop(obj, kType), seq)) {
    unsigned char type = XmDIALOG_MESSAGE;
    if (seq != -1 || (dialogTypeOf(p, &type) && type == XmDIALOG_TEMPLATE)) setDialogType(p, w);
  }
  if (seq != -1 && newer(p = prop(obj, kMessage), seq)) {
    if (OMtext text = OMget_text(p)) {
      UIxmString s = UIxmText(text.get());
      XtVaSetValues(w, XmNmessageString, s.get(), nullptr);
    } else {
      UIxmString s = UIxmText("");
      XtVaSetValues(w, XmNmessageString, s.get(), XmNwidth, 200, XmNheight, 100, nullptr);
    }
  }
}

void UImessageBox::addXtCallbacks(Widget w) {
  UIaddCallback<&UIdialog::okCallback>(w, XmNokCallback, static_cast<UIdialog*>(this));
  UIaddCallback<&UIdialog::cancelCallback>(w, XmNcancelCallback, static_cast<UIdialog*>(this));
}

int UImessageBoxInstance(OMobj_id id) {
  return UIdialogInstanceEntry<UImessageBox>(id);
}
int UImessageBoxUpdate(OMobj_id id) {
  return UIupdate1Entry(id, UImessageBoxInstance);
}
