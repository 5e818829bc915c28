// UIselectionBox: a list of strings and a text entry; UIfontBox: the same listing the server's
// fonts.
#include <Xm/List.h>
#include <Xm/SelectioB.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "om/om_scope.h"
#include "svc/err.h"
#include "ui/dialog.h"
#include "ui/misc.h"
#include "ui/xmstring.h"

#include "props.h"

char* UIdialogText(XmString s);
// The items of "strings" ("stringdims" of them at most when it reads), an unreadable one
// empty: shared with the multiple-selection box.
std::vector<std::string> UIdialogStrings(const OMobj_id& obj);
void UIdialogSetListItems(Widget list, const std::vector<std::string>& items);

const char* const UIselectionNoMatchText =
    "The selection text must match one of the list items.  Please select from the list.";

namespace {

using uiprops::newer;
using uiprops::readInt;
using uiprops::sub;

}  // namespace

std::vector<std::string> UIdialogStrings(const OMobj_id& obj) {
  std::vector<std::string> items;
  OMobj_id strings = sub(obj, "strings");
  int size = 0;
  if (!strings || OMget_array_size(strings, &size) != 1 || size < 0) size = 0;
  int dims = 0;
  if (readInt(obj, "stringdims", &dims) && dims >= 0 && dims < size) size = dims;
  items.reserve(static_cast<size_t>(size));
  for (int i = 0; i < size; ++i) {
    char* s = nullptr;
    if (OMget_str_array_val(strings, i, &s, 0) == 1 && s)
      items.emplace_back(s);
    else
      items.emplace_back();
    std::free(s);
  }
  return items;
}

void UIdialogSetListItems(Widget list, const std::vector<std::string>& items) {
  if (UIisBeingDestroyed(list)) return;
  std::vector<XmString> xm;
  xm.reserve(items.size());
  for (const std::string& s : items)
    xm.push_back(XmStringCreateLocalized(const_cast<char*>(s.c_str())));
  XmListDeleteAllItems(list);
  if (!xm.empty()) XmListAddItems(list, xm.data(), static_cast<int>(xm.size()), 0);
  for (XmString s : xm) XmStringFree(s);
}

UIselectionBox::UIselectionBox(OMobj_id id) : UIpromptBox(id) {
  classType_ = "UIselectionBox";
}

bool UIselectionBox::instanceObject() {
  Widget box = createBox(XmDIALOG_SELECTION, UIargs());
  if (!box) return false;
  finishCreate(box);
  return true;
}

void UIselectionBox::updateCombo(const OMobj_id& obj, Widget box) {
  std::vector<std::string> items = UIdialogStrings(obj);
  std::vector<XmString> xm;
  for (const std::string& s : items)
    xm.push_back(XmStringCreateLocalized(const_cast<char*>(s.c_str())));
  XtVaSetValues(box, XmNlistItems, xm.empty() ? nullptr : xm.data(), XmNlistItemCount,
                static_cast<int>(xm.size()), nullptr);
  for (XmString s : xm) XmStringFree(s);
}

void UIselectionBox::updateSelectedItem(const OMobj_id& obj, Widget box, int seq) {
  Widget list = XmSelectionBoxGetChild(box, XmDIALOG_LIST);
  if (!list) return;
  int count = 0;
  XtVaGetValues(list, XmNitemCount, &count, nullptr);
  int dims = 0;
  if (readInt(obj, "stringdims", &dims) && dims >= 0 && dims < count) count = dims;
  if (count <= 0) return;
  int index = 0;
  if (!readInt(obj, "selectedItem", &index)) index = 0;
  if (index < 0) index = 0;
  if (index > count - 1) index = count - 1;
  OMobj_id textProp = sub(obj, "text");
  if (newer(textProp, seq))
    if (OMtext text = OMget_text(textProp)) {
      XmString wanted = XmStringCreateLocalized(text.get());
      int at = XmListItemPos(list, wanted);
      XmStringFree(wanted);
      // A text that names no item leaves the selection to "selectedItem".
      if (at > 0) index = at - 1;
    }
  XmListSelectPos(list, index + 1, True);
}

void UIselectionBox::setDialogResources(const OMobj_id& obj, Widget w, int seq) {
  if (UIisBeingDestroyed(w)) return;
  UIpromptBox::setDialogResources(obj, w, seq);
  if (newer(obj, "stringdims", seq) || newer(obj, "strings", seq)) updateCombo(obj, w);
  if (newer(obj, "selectedItem", seq) || newer(obj, "text", seq)) updateSelectedItem(obj, w, seq);
  if (newer(fontAttributes().obj_id(), seq) && fontSet)
    if (XmFontList fonts = WTget_xmfontlist(fontSet)) {
      XtVaSetValues(w, XmNlabelFontList, fonts, XmNtextFontList, fonts, XmNbuttonFontList, fonts,
                    nullptr);
      for (Widget child : uiprops::childrenOf(w)) XtVaSetValues(child, XmNfontList, fonts, nullptr);
    }
}

void UIselectionBox::addXtCallbacks(Widget w) {
  UIaddCallback<&UIselectionBox::okCallback>(w, XmNokCallback, this);
  UIaddCallback<&UIselectionBox::okCallback>(w, XmNapplyCallback, this);
  UIaddCallback<&UIselectionBox::noMatchCallback>(w, XmNnoMatchCallback, this);
  UIaddCallback<&UIdialog::cancelCallback>(w, XmNcancelCallback, static_cast<UIdialog*>(this));
}

void UIselectionBox::okCallback(Widget w, UIselectionBox* binding,
                                XmSelectionBoxCallbackStruct* call) {
  OMobj_id obj = binding->objId;
  char* text = UIdialogText(call ? call->value : nullptr);
  {
    OMcontext ctx(obj, OM_CTX_USER, OM_CTX_PLAIN);
    OMset_str_val(sub(obj, "text", 0), text);
    Widget list = XmSelectionBoxGetChild(w, XmDIALOG_LIST);
    int* positions = nullptr;
    int count = 0;
    if (list && XmListGetSelectedPos(list, &positions, &count) && count > 0)
      OMset_int_val(sub(obj, "selectedItem", 0), positions[0] - 1);
    XtFree(reinterpret_cast<char*>(positions));
  }
  std::free(text);
  if (call && call->reason == XmCR_OK && alive(binding))
    UIdialog::okCallback(w, binding, reinterpret_cast<XmAnyCallbackStruct*>(call));
}

void UIselectionBox::noMatchCallback(Widget, UIselectionBox*, XmAnyCallbackStruct*) {
  ERRerror("UIselectionBoxNoMatchCallback", 0, 2, "%s", UIselectionNoMatchText);
}

int UIselectionBoxInstance(OMobj_id id) {
  return UIdialogInstanceEntry<UIselectionBox>(id);
}
int UIselectionBoxUpdate(OMobj_id id) {
  return UIupdate1Entry(id, UIselectionBoxInstance);
}

// ---- The font box ------------------------------------------------------------------------------

UIfontBox::UIfontBox(OMobj_id id) : UIselectionBox(id) {
  classType_ = "UIfontBox";
}

bool UIfontBox::instanceObject() {
  int visible = 0;
  if (!readInt(objId, "visible", &visible) || !visible) return false;
  Widget parent = getParentWidget();
  if (!parent) setDisplayContext();
  Display* display = parent ? XtDisplay(parent) : displayContext.DisplayPtr;
  if (display) {
    int count = 0;
    char** names = XListFonts(display, "*", 1024, &count);
    if (!names || count == 0) {
      std::printf("No font on server.\n");
      std::fflush(stdout);
    } else {
      OMobj_id strings = sub(objId, "strings");
      // The writes come back as an update of this object: it is being made, so that waits.
      Creating creating(this);
      OMcontext ctx(objId, OM_CTX_WIDGET, OM_CTX_PLAIN);
      OMset_array_size(strings, count);
      for (int i = 0; i < count; ++i) OMset_str_array_val(strings, i, names[i]);
      OMset_int_val(sub(objId, "stringdims"), count);
    }
    if (names) XFreeFontNames(names);
  }
  return UIselectionBox::instanceObject();
}

int UIfontBoxInstance(OMobj_id id) {
  return UIdialogInstanceEntry<UIfontBox>(id);
}
int UIfontBoxUpdate(OMobj_id id) {
  return UIupdate1Entry(id, UIfontBoxInstance);
}
