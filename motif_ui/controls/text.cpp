// UItext: a string in a text widget, on one line or several.
#include "ui/text.h"

#include <X11/IntrinsicP.h>
#include <Xm/DragDrop.h>
#include <Xm/Text.h>
#include <Xm/Xm.h>

#include "om/om_scope.h"
#include "ui/args.h"
#include "ui/misc.h"
#include "ui/valuator.h"

#include "props.h"

namespace {

using uiprops::newer;
using uiprops::readInt;
using uiprops::sub;

UItext* textOf(Widget w) {
  auto* t = dynamic_cast<UItext*>(UIwidgetToClass(w));
  return t && UIwindow::alive(t) ? t : nullptr;
}

std::string widgetText(Widget w) {
  char* raw = XmTextGetString(w);
  std::string text = raw ? raw : "";
  XtFree(raw);
  return text;
}

}  // namespace

UItext::UItext(OMobj_id id) : UIwindow(id) {
  classType_ = "UItext";
}
UItext::~UItext() = default;

void UItext::setUpdateMode() {
  if (!readInt(objId, "updateMode", &updateMode_)) updateMode_ = 1;
}

void UItext::setRows(const OMobj_id& id, Widget w) {
  int rows = 0;
  if (UIisBeingDestroyed(w) || OMget_int_val(id, &rows) != 1) return;
  if (rows > 0) XtVaSetValues(w, XmNrows, static_cast<short>(rows), nullptr);
  if (rows > 1)
    XtVaSetValues(w, XmNeditMode, XmMULTI_LINE_EDIT, XmNwordWrap, True, XmNresizeHeight, False,
                  nullptr);
  else
    XtVaSetValues(w, XmNeditMode, XmSINGLE_LINE_EDIT, nullptr);
  if (UIwindow* b = UIwidgetToClass(w)) UIsetOMWindowHeight(b->objId, w->core.height);
}

void UItext::setColumns(const OMobj_id& id, Widget w) {
  int columns = 0;
  if (UIisBeingDestroyed(w) || OMget_int_val(id, &columns) != 1) return;
  if (columns < 1) {
    short own = 0;
    XtVaGetValues(w, XmNcolumns, &own, nullptr);
    columns = own;
  }
  XtVaSetValues(w, XmNcolumns, static_cast<short>(columns), XmNresizeWidth, False, nullptr);
  if (UIwindow* b = UIwidgetToClass(w)) UIsetOMWindowWidth(b->objId, w->core.width);
}

void UItext::setValue(const OMobj_id& id, Widget w) {
  if (UIisBeingDestroyed(w)) return;
  OMtext text = OMget_text(id);
  std::string value = text ? text.get() : "";
  UItext* binding = textOf(w);
  // The text the binding wrote itself comes back as a change: the widget holds it already,
  // and setting it again would only move the cursor (and cost a copy of a growing text on
  // every key in mode 8).
  bool own = binding && binding->hasWritten_ && value == binding->written_;
  if (binding) binding->hasWritten_ = false;
  if (!own && widgetText(w) != value) {
    if (binding) binding->settingText_ = true;
    XmTextSetString(w, const_cast<char*>(value.c_str()));
    if (binding) binding->settingText_ = false;
  }
  if (binding && binding->showLastPosition_)
    XmTextSetInsertionPosition(w, XmTextGetLastPosition(w));
}

void UItext::setEditable(const OMobj_id& id, Widget w) {
  UIsetEditable(id, w);
}

void UItext::setResizeHeight(const OMobj_id& id, Widget w) {
  int v = 0;
  if (UIisBeingDestroyed(w) || OMget_int_val(id, &v) != 1) return;
  XtVaSetValues(w, XmNresizeHeight, v ? True : False, nullptr);
}

void UItext::setResizeWidth(const OMobj_id& id, Widget w) {
  int v = 0;
  if (UIisBeingDestroyed(w) || OMget_int_val(id, &v) != 1) return;
  XtVaSetValues(w, XmNresizeWidth, v ? True : False, nullptr);
}

void UItext::setEditMode(const OMobj_id& id, Widget w) {
  int v = 0;
  if (UIisBeingDestroyed(w) || OMget_int_val(id, &v) != 1) return;
  XtVaSetValues(w, XmNeditMode, v ? XmMULTI_LINE_EDIT : XmSINGLE_LINE_EDIT, nullptr);
}

void UItext::setWordWrap(const OMobj_id& id, Widget w) {
  int v = 0;
  if (UIisBeingDestroyed(w) || OMget_int_val(id, &v) != 1) return;
  XtVaSetValues(w, XmNwordWrap, v ? True : False, nullptr);
}

void UItext::setResources(Widget w, int seq) {
  if (UIisBeingDestroyed(w)) return;
  OMobj_id p = sub(objId, "showLastPosition");
  if (newer(p, seq) && !readInt(objId, "showLastPosition", &showLastPosition_))
    showLastPosition_ = 0;
  p = sub(objId, "rows");
  if (newer(p, seq)) setRows(p, w);
  p = sub(objId, "columns");
  if (newer(p, seq)) setColumns(p, w);
  p = sub(objId, "text");
  if (newer(p, seq)) setValue(p, w);
  p = sub(objId, "outputOnly");
  if (newer(p, seq)) setEditable(p, w);
  p = sub(objId, "resizeToText");
  if (newer(p, seq)) {
    setResizeWidth(p, w);
    setResizeHeight(p, w);
  }
  p = sub(objId, "multiLine");
  if (newer(p, seq)) setEditMode(p, w);
  p = sub(objId, "wordWrap");
  if (newer(p, seq)) setWordWrap(p, w);
  if (newer(objId, "updateMode", seq)) setUpdateMode();
  UIcore::setResources(w, seq);
  Boolean resizeHeight = False, resizeWidth = False;
  XtVaGetValues(w, XmNresizeHeight, &resizeHeight, XmNresizeWidth, &resizeWidth, nullptr);
  UIapplyObjectSize(objId, w, resizeWidth, resizeHeight);
}

bool UItext::writeText() {
  std::string text = widgetText(widget_);
  written_ = text;
  hasWritten_ = true;
  {
    OMobj_id obj = objId;
    OMcontext ctx(obj, OM_CTX_USER, OM_CTX_PLAIN);
    OMset_str_val(sub(obj, "text"), text.c_str());
  }  // popped here: the notifications it runs may destroy this binding
  if (!alive(this)) return false;
  hasWritten_ = false;
  return true;
}

void UItext::enterLeave(Widget w, UItext* t, XmAnyCallbackStruct* cb) {
  if (UIisBeingDestroyed(w) || t->settingText_ || !cb) return;
  if (cb->reason == XmCR_ACTIVATE && (t->updateMode_ & 1)) {
    t->writeText();  // Return writes even an unchanged text
  } else if (cb->reason == XmCR_LOSING_FOCUS && (t->updateMode_ & 2)) {
    OMtext now = OMget_text(sub(t->objId, "text"));
    if (!now || widgetText(w) != now.get()) t->writeText();
  }
}

void UItext::leaveWindow(Widget w, XtPointer, XEvent* event, Boolean*) {
  UItext* t = textOf(w);
  if (!t || !event || event->type != LeaveNotify || !(t->updateMode_ & 4)) return;
  int active = 0;
  if (readInt(t->objId, "active", &active) && active) t->writeText();
}

void UItext::updateImmediate(Widget w, UItext* t, XmAnyCallbackStruct*) {
  if (!UIisBeingDestroyed(w) && !t->settingText_ && (t->updateMode_ & 8)) t->writeText();
}

bool UItext::instanceObject() {
  Widget parent = parentWidgetNow();
  if (!parent) return false;
  int x = 0, y = 0;
  autoPlacementManager(parent, &x, &y);
  int rows = 0, columns = 0, width = 0, height = 0;
  bool hasRows = readInt(objId, "rows", &rows) && rows != 0;
  bool hasColumns = readInt(objId, "columns", &columns) && columns != 0;
  bool hasWidth = UIgetOMWindowWidth(objId, &width);
  bool hasHeight = UIgetOMWindowHeight(objId, &height);
  UIargs args{{XmNx, x},
              {XmNy, y},
              {XmNuserData, this},
              {XmNeditMode, rows > 1 ? XmMULTI_LINE_EDIT : XmSINGLE_LINE_EDIT}};
  if (hasRows)
    args.add(XmNrows, static_cast<short>(rows));
  else if (hasHeight)
    args.add(XtNheight, height);
  if (hasColumns)
    args.add(XmNcolumns, static_cast<short>(columns));
  else if (hasWidth)
    args.add(XtNwidth, width);
  // Managed by onObjectCreate once "visible" is known.
  Widget w =
      XtCreateWidget(uiprops::nameOf(objId), xmTextWidgetClass, parent, args.list(), args.count());
  XmDropSiteUnregister(w);
  widget_ = w;
  if (hasColumns)
    UIsetOMWindowWidth(objId, w->core.width);
  else if (!hasWidth)
    UIsetOMWindowWidth(objId, 100);
  if (hasRows)
    UIsetOMWindowHeight(objId, w->core.height);
  else if (!hasHeight)
    UIsetOMWindowHeight(objId, 28);
  setResources(w, -1);
  XtAddEventHandler(w, LeaveWindowMask, False, leaveWindow, this);
  UIaddCallback<&UItext::enterLeave>(w, XmNactivateCallback, this);
  UIaddCallback<&UItext::enterLeave>(w, XmNlosingFocusCallback, this);
  UIaddCallback<&UItext::updateImmediate>(w, XmNvalueChangedCallback, this);
  onObjectCreate(w);
  return true;
}

void UItext::updateObject(int seq) {
  if (UIisBeingDestroyed(widget_)) return;
  setResources(widget_, seq);
  UIwindow::updateObject(seq);
}

int UItextInstance(OMobj_id id) {
  return UIinstanceEntry<UItext>(id);
}
int UItextUpdate(OMobj_id id, unsigned int mask, int seq) {
  return UIupdateEntry<UItext>(id, mask, seq);
}
