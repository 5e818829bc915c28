// UItemplateDialog: a dialog whose contents the application builds from its own child panels,
// frames and buttons.
#include <Xm/DialogS.h>
#include <Xm/MessageB.h>

#include <algorithm>

#include "om/om_scope.h"
#include "svc/translate.h"
#include "ui/dialog.h"
#include "ui/misc.h"
#include "ui/xmstring.h"

#include "props.h"

namespace {

using uiprops::nameOf;
using uiprops::newer;
using uiprops::readInt;
using uiprops::sub;

void manageButton(Widget box, unsigned char which, const OMobj_id& prop) {
  Widget button = XmMessageBoxGetChild(box, which);
  int on = 1;
  if (OMget_int_val(prop, &on) != 1) on = 1;
  if (button) on ? XtManageChild(button) : XtUnmanageChild(button);
  XtVaSetValues(box, XmNdefaultButton, nullptr, nullptr);
}

}  // namespace

UItemplateDialog::UItemplateDialog(OMobj_id id) : UIdialog(id) {
  classType_ = "UItemplateDialog";
}

bool UItemplateDialog::instanceObject() {
  int visible = 0;
  if (!readInt(objId, "visible", &visible) || !visible) return false;
  int flag = 1;
  autoUnmanage = readInt(objId, "autoUnmanage", &flag) ? flag != 0 : true;
  Placement place;
  bool hasX = UIgetOMWindowX(objId, &place.x);
  bool hasY = UIgetOMWindowY(objId, &place.y);
  place.defaultPosition = !hasX && !hasY;
  if (!UIgetOMWindowWidth(objId, &place.width)) place.width = 200;
  if (!UIgetOMWindowHeight(objId, &place.height)) place.height = 200;
  Widget parent = getParentWidget();
  if (!parent) {
    setDisplayContext();
    parent = displayContext._hiddenShell;
  }
  if (UIisBeingDestroyed(parent)) return false;
  shell_ =
      XtVaCreatePopupShell(nameOf(objId), xmDialogShellWidgetClass, parent, XtNallowShellResize,
                           True, XmNdeleteResponse, XmDO_NOTHING, nullptr);
  UIxmString help = UIxmText(TMget_translation("UI_HELP", 0));
  UIargs args = boxArgs(place);
  args.add(XmNdialogType, XmDIALOG_TEMPLATE)
      .add(XmNmarginWidth, 0)
      .add(XmNmarginHeight, 0)
      .add(XmNresizePolicy, XmRESIZE_NONE)
      .add(XmNhelpLabelString, help.get())
      .add(XmNdefaultButton, nullptr);
  Widget box =
      XmCreateMessageBox(shell_, const_cast<char*>(boxName().c_str()), args.list(), args.count());
  if (Widget h = XmMessageBoxGetChild(box, XmDIALOG_HELP_BUTTON)) XtUnmanageChild(h);
  setWtCmap(shell_);
  setDialogResources(objId, box, -1);
  onObjectCreate(box);
  setClientWidth(objId, place.width);
  setClientHeight(objId, place.height);
  OMsend_event(objId, 1);
  return true;
}

void UItemplateDialog::setOKButton(const OMobj_id& prop, const OMobj_id&, Widget w) {
  manageButton(w, XmDIALOG_OK_BUTTON, prop);
}
void UItemplateDialog::setCancelButton(const OMobj_id& prop, const OMobj_id&, Widget w) {
  manageButton(w, XmDIALOG_CANCEL_BUTTON, prop);
}

void UItemplateDialog::setDialogType(const OMobj_id& prop, const OMobj_id&, Widget box) {
  static const unsigned char types[] = {XmDIALOG_ERROR,    XmDIALOG_INFORMATION, XmDIALOG_MESSAGE,
                                        XmDIALOG_QUESTION, XmDIALOG_WARNING,     XmDIALOG_WORKING};
  int type = 2;
  if (OMget_int_val(prop, &type) != 1) type = 2;
  if (type >= 0 && type <= 5) XtVaSetValues(box, XmNdialogType, types[type], nullptr);
}

void UItemplateDialog::setMessageString(const OMobj_id& prop, const OMobj_id&, Widget box) {
  OMtext text = OMget_text(prop);
  UIxmString s = UIxmText(text ? text.get() : "");
  XtVaSetValues(box, XmNmessageString, s.get(), nullptr);
}

void UItemplateDialog::setDialogResources(const OMobj_id& obj, Widget w, int seq) {
  if (UIisBeingDestroyed(w)) return;
  UIdialog::setDialogResources(obj, w, seq);
  OMobj_id p;
  if (newer(p = sub(obj, "type"), seq)) setDialogType(p, obj, w);
  if (newer(p = sub(obj, "message"), seq)) setMessageString(p, obj, w);
}

void UItemplateDialog::addXtCallbacks(Widget w) {
  UIaddCallback<&UIdialog::okCallback>(w, XmNokCallback, static_cast<UIdialog*>(this));
  UIaddCallback<&UIdialog::cancelCallback>(w, XmNcancelCallback, static_cast<UIdialog*>(this));
}

void UItemplateDialog::addXtEventHandlers(Widget w) {
  UIdialog::addXtEventHandlers(w);
  XtAddEventHandler(w, StructureNotifyMask, False, onResize, static_cast<UIwindow*>(this));
}

void UItemplateDialog::onResize(Widget box, XtPointer data, XEvent* event, Boolean*) {
  if (!event || (event->type != MapNotify && event->type != ConfigureNotify)) return;
  auto* base = static_cast<UIwindow*>(data);
  if (!alive(base) || UIisBeingDestroyed(box)) return;
  auto* binding = dynamic_cast<UItemplateDialog*>(base);
  if (!binding) return;
  Dimension width = 0, height = 0;
  XtVaGetValues(box, XmNwidth, &width, XmNheight, &height, nullptr);
  binding->setClientWidth(binding->objId, width);
  if (alive(binding)) binding->setClientHeight(binding->objId, height);
}

void UItemplateDialog::setClientWidth(const OMobj_id& obj, int width) {
  OMobj_id p = sub(obj, "clientWidth", 0);
  int old = 0;
  if (!p || (OMget_int_val(p, &old) == 1 && old == width)) return;
  OMcontext ctx(obj, OM_CTX_QUIET, OM_CTX_GEOMETRY);
  OMset_int_val(p, width);
}

// The client area is what lies above the separator.
void UItemplateDialog::setClientHeight(const OMobj_id& obj, int /*height*/) {
  if (UIisBeingDestroyed(widget_)) return;
  Widget separator = XmMessageBoxGetChild(widget_, XmDIALOG_SEPARATOR);
  if (!separator) return;
  Position y = 0;
  XtVaGetValues(separator, XmNy, &y, nullptr);
  int client = std::max(1, static_cast<int>(y));
  OMobj_id p = sub(obj, "clientHeight", 0);
  int old = 0;
  if (!p || (OMget_int_val(p, &old) == 1 && old == client)) return;
  OMcontext ctx(obj, OM_CTX_QUIET, OM_CTX_GEOMETRY);
  OMset_int_val(p, client);
}

void UItemplateDialog::destroyObject() {
  if (UIisBeingDestroyed(widget_)) {
    UIwindow::destroyObject();
    return;
  }
  UIdialog::destroyObject();
}

void UItemplateDialogApplyCallback(Widget w, XtPointer, XtPointer) {
  UIwindow* binding = UIwidgetToClass(w);
  if (!binding || !binding->OK()) return;
  OMobj_id obj = binding->objId;
  OMcontext ctx(obj, OM_CTX_USER, OM_CTX_PLAIN);
  OMset_int_val(sub(obj, "ok", 0), 1);
}

int UItemplateDialogInstance(OMobj_id id) {
  if (UIwindow* binding = UIobjIdToClass(id)) {
    OMobj_id update = OMfind_subobj(id, OMstr_to_name("update"), 1);
    binding->updateObject(!update ? -1 : OMget_obj_seq(update, OMnull_obj, 3));
    return 1;
  }
  UIdialogInstanceEntry<UItemplateDialog>(id);
  return 1;
}

int UItemplateDialogUpdate(OMobj_id id) {
  return UIupdate1Entry(id, UItemplateDialogInstance);
}
