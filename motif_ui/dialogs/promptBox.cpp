// UIpromptBox: a text entry with a prompt, in a selection box of the prompt type.
#include <Xm/DialogS.h>
#include <Xm/SelectioB.h>
#include <Xm/Text.h>

#include <cstdlib>
#include <cstring>

#include "om/om_scope.h"
#include "svc/translate.h"
#include "ui/dialog.h"
#include "ui/misc.h"
#include "ui/xmstring.h"

#include "props.h"

namespace {

using uiprops::newer;
using uiprops::sub;

void manageChild(Widget box, unsigned char which, const OMobj_id& prop) {
  Widget child = XmSelectionBoxGetChild(box, which);
  int on = 1;
  if (OMget_int_val(prop, &on) != 1) on = 1;
  if (child) on ? XtManageChild(child) : XtUnmanageChild(child);
}

}  // namespace

// The text of a compound string a callback hands over (malloc'ed; empty for none).
char* UIdialogText(XmString s) {
  if (!s) return strdup("");
  char* text = static_cast<char*>(
      XmStringUnparse(s, nullptr, XmCHARSET_TEXT, XmCHARSET_TEXT, nullptr, 0, XmOUTPUT_ALL));
  return text ? text : strdup("");
}

UIpromptBox::UIpromptBox(OMobj_id id) : UIdialog(id) {
  classType_ = "UIpromptBox";
}

Widget UIpromptBox::createBox(unsigned char dialogType, const UIargs& extra) {
  Placement place;
  Widget parent = beginCreate(&place, 0);
  if (!parent) return nullptr;
  makeShell(parent, place);
  UIargs args = boxArgs(place);
  args.add(XmNdialogType, dialogType);
  args.add(extra);
  Widget box =
      XmCreateSelectionBox(shell_, const_cast<char*>(boxName().c_str()), args.list(), args.count());
  if (Widget help = XmSelectionBoxGetChild(box, XmDIALOG_HELP_BUTTON)) XtUnmanageChild(help);
  if (Widget text = XmSelectionBoxGetChild(box, XmDIALOG_TEXT)) DragAndDropDisable(text);
  return box;
}

bool UIpromptBox::instanceObject() {
  Widget box = createBox(XmDIALOG_PROMPT, UIargs());
  if (!box) return false;
  finishCreate(box);
  return true;
}

void UIpromptBox::setOKButton(const OMobj_id& prop, const OMobj_id&, Widget w) {
  manageChild(w, XmDIALOG_OK_BUTTON, prop);
}
void UIpromptBox::setCancelButton(const OMobj_id& prop, const OMobj_id&, Widget w) {
  manageChild(w, XmDIALOG_CANCEL_BUTTON, prop);
}
void UIpromptBox::setApplyButton(const OMobj_id& prop, Widget w) {
  manageChild(w, XmDIALOG_APPLY_BUTTON, prop);
}

void UIpromptBox::setApplyLabelString(const OMobj_id& prop, Widget w) {
  OMtext text = OMget_text(prop);
  UIxmString s = UIxmText(text ? text.get() : TMget_translation("UI_APPLY", 0));
  XtVaSetValues(w, XmNapplyLabelString, s.get(), nullptr);
}

void UIpromptBox::setSelectionLabelString(const OMobj_id& prop, Widget w) {
  OMtext text = OMget_text(prop);
  UIxmString s = UIxmText(text ? text.get() : TMget_translation("UI_PROMPT", 0));
  XtVaSetValues(w, XmNselectionLabelString, s.get(), nullptr);
}

void UIpromptBox::setDialogResources(const OMobj_id& obj, Widget w, int seq) {
  if (UIisBeingDestroyed(w)) return;
  UIdialog::setDialogResources(obj, w, seq);
  OMobj_id p;
  if (newer(p = sub(obj, "text"), seq)) {
    Widget field = XmSelectionBoxGetChild(w, XmDIALOG_TEXT);
    OMtext text = OMget_text(p);
    if (field && text) {
      char* shown = XmTextGetString(field);
      if (!shown || std::strcmp(shown, text.get()) != 0) XmTextSetString(field, text.get());
      XtFree(shown);
    }
  }
  if (newer(p = sub(obj, "applyButton"), seq)) setApplyButton(p, w);
  if (newer(p = sub(obj, "applyLabelString"), seq)) setApplyLabelString(p, w);
  if (newer(p = sub(obj, "prompt"), seq)) setSelectionLabelString(p, w);
}

void UIpromptBox::addXtCallbacks(Widget w) {
  UIaddCallback<&UIpromptBox::okCallback>(w, XmNokCallback, this);
  UIaddCallback<&UIpromptBox::okCallback>(w, XmNapplyCallback, this);
  UIaddCallback<&UIdialog::cancelCallback>(w, XmNcancelCallback, static_cast<UIdialog*>(this));
}

void UIpromptBox::okCallback(Widget w, UIpromptBox* binding, XmSelectionBoxCallbackStruct* call) {
  OMobj_id obj = binding->objId;
  char* text = UIdialogText(call ? call->value : nullptr);
  bool ok = call && call->reason == XmCR_OK;
  OMcontext ctx(obj, OM_CTX_USER, OM_CTX_PLAIN);
  OMobj_id textProp = sub(obj, "text", 0);
  OMtext held = OMget_text(textProp);
  if (!held || std::strcmp(held.get(), text) != 0) OMset_str_val(textProp, text);
  std::free(text);
  OMset_int_val(sub(obj, "ok", 0), 1);
  if (!ok || !alive(binding) || !binding->autoUnmanage) return;
  OMset_int_val(sub(obj, "visible", 0), 0);
  if (!UIisBeingDestroyed(XtParent(w))) XtPopdown(XtParent(w));
  binding->destroyObject();
}

int UIpromptBoxInstance(OMobj_id id) {
  return UIdialogInstanceEntry<UIpromptBox>(id);
}
int UIpromptBoxUpdate(OMobj_id id) {
  return UIupdate1Entry(id, UIpromptBoxInstance);
}
