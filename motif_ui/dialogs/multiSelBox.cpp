// UImultiSelBox: a selection box whose list takes several items; the chosen items are written
// back as indices and texts.
//
// The list logic here (filling, selecting by index or by text, writing the selection back) is
// the multiple list's, written as helpers of this file until the lists share theirs.
#include <Xm/List.h>
#include <Xm/SelectioB.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "om/om_scope.h"
#include "svc/err.h"
#include "ui/dialog.h"
#include "ui/misc.h"

#include "props.h"

char* UIdialogText(XmString s);
std::vector<std::string> UIdialogStrings(const OMobj_id& obj);
void UIdialogSetListItems(Widget list, const std::vector<std::string>& items);

namespace {

using uiprops::newer;
using uiprops::readInt;
using uiprops::sub;

Widget listOf(Widget box) {
  return UIisBeingDestroyed(box) ? nullptr : XmSelectionBoxGetChild(box, XmDIALOG_LIST);
}

int itemCount(Widget list) {
  int count = 0;
  XtVaGetValues(list, XmNitemCount, &count, nullptr);
  return count;
}

// Selects positions (1-based) of list without notification, replacing the selection.
void selectPositions(Widget list, const std::vector<int>& positions) {
  XmListDeselectAllItems(list);
  // Extended selection replaces the selection with each position selected: the positions are
  // added in multiple selection, then the policy goes back.
  unsigned char policy = XmEXTENDED_SELECT;
  XtVaGetValues(list, XmNselectionPolicy, &policy, nullptr);
  XtVaSetValues(list, XmNselectionPolicy, XmMULTIPLE_SELECT, nullptr);
  for (int p : positions)
    if (!XmListPosSelected(list, p)) XmListSelectPos(list, p, False);
  XtVaSetValues(list, XmNselectionPolicy, policy, nullptr);
}

}  // namespace

UImultiSelBox::UImultiSelBox(OMobj_id id) : UIselectionBox(id) {
  classType_ = "UImultiSelBox";
}

bool UImultiSelBox::instanceObject() {
  Widget box = createBox(XmDIALOG_SELECTION, UIargs());
  if (!box) return false;
  if (Widget list = listOf(box))
    XtVaSetValues(list, XmNselectionPolicy, XmEXTENDED_SELECT, nullptr);
  if (Widget text = XmSelectionBoxGetChild(box, XmDIALOG_TEXT)) XtUnmanageChild(text);
  if (Widget label = XmSelectionBoxGetChild(box, XmDIALOG_SELECTION_LABEL)) XtUnmanageChild(label);
  finishCreate(box);
  return true;
}

void UImultiSelBox::updateSelectedItems(const OMobj_id& obj, Widget list) {
  OMobj_id items = sub(obj, "selectedItems");
  int size = 0;
  if (!items || OMget_array_size(items, &size) != 1) size = 0;
  int count = itemCount(list);
  std::vector<int> positions;
  for (int i = 0; i < size; ++i) {
    int index = 0;
    if (OMget_int_array_val(items, i, &index) != 1) continue;
    if (index < 0 || index >= count) {
      ERRerror("UImultiSelBox::updateSelectedItems", 0, 2, "Selected item out of range.");
      XmListDeselectAllItems(list);
      return;
    }
    positions.push_back(index + 1);
  }
  selectPositions(list, positions);
}

void UImultiSelBox::updateSelectedText(const OMobj_id& obj, Widget list) {
  OMobj_id texts = sub(obj, "selectedText");
  int size = 0;
  if (!texts || OMget_array_size(texts, &size) != 1) size = 0;
  int wanted = size;
  if (readInt(obj, "numSelectedItems", &wanted) && wanted >= 0 && wanted < size) size = wanted;
  std::vector<std::string> wantedTexts;
  for (int i = 0; i < size; ++i) {
    char* s = nullptr;
    if (OMget_str_array_val(texts, i, &s, 0) == 1 && s) wantedTexts.emplace_back(s);
    std::free(s);
  }
  // Compared as text: the list's compound strings carry tags of their own.
  XmStringTable items = nullptr;
  int count = 0;
  XtVaGetValues(list, XmNitems, &items, XmNitemCount, &count, nullptr);
  std::vector<int> positions;
  for (int p = 0; p < count && items; ++p) {
    char* text = UIdialogText(items[p]);
    for (const std::string& t : wantedTexts)
      if (t == text) {
        positions.push_back(p + 1);
        break;
      }
    std::free(text);
  }
  selectPositions(list, positions);
}

void UImultiSelBox::setSelectedItems(const OMobj_id& obj, Widget list, int mode) {
  int* positions = nullptr;
  int count = 0;
  if (!XmListGetSelectedPos(list, &positions, &count)) count = 0;
  XmStringTable items = nullptr;
  XtVaGetValues(list, XmNitems, &items, nullptr);
  OMcontext ctx(obj, mode == 2 ? OM_CTX_USER : OM_CTX_WIDGET, OM_CTX_PLAIN);
  OMobj_id indices = sub(obj, "selectedItems", 0);
  OMobj_id texts = sub(obj, "selectedText", 0);
  OMset_array_size(indices, count);
  OMset_array_size(texts, count);
  for (int i = 0; i < count; ++i) {
    OMset_int_array_val(indices, i, positions[i] - 1);
    char* text = UIdialogText(items ? items[positions[i] - 1] : nullptr);
    OMset_str_array_val(texts, i, text);
    std::free(text);
  }
  OMset_int_val(sub(obj, "numSelectedItems", 0), count);
  XtFree(reinterpret_cast<char*>(positions));
}

void UImultiSelBox::setDialogResources(const OMobj_id& obj, Widget w, int seq) {
  if (UIisBeingDestroyed(w)) return;
  UIpromptBox::setDialogResources(obj, w, seq);
  Widget list = listOf(w);
  if (!list) return;
  if (newer(obj, "stringdims", seq) || newer(obj, "strings", seq))
    UIdialogSetListItems(list, UIdialogStrings(obj));
  if (newer(obj, "selectedItems", seq)) updateSelectedItems(obj, list);
  // On creation the texts apply only when there are some: the indices were applied already.
  int texts = 0;
  bool someTexts = OMget_array_size(sub(obj, "selectedText"), &texts) == 1 && texts > 0;
  if ((newer(obj, "selectedText", seq) || newer(obj, "numSelectedItems", seq)) &&
      (seq != -1 || someTexts))
    updateSelectedText(obj, list);
}

void UImultiSelBox::addXtCallbacks(Widget w) {
  UIaddCallback<&UImultiSelBox::okCallback>(w, XmNokCallback, this);
  UIaddCallback<&UImultiSelBox::applyCallback>(w, XmNapplyCallback, this);
  UIaddCallback<&UImultiSelBox::noMatchCallback>(w, XmNnoMatchCallback, this);
  UIaddCallback<&UIdialog::cancelCallback>(w, XmNcancelCallback, static_cast<UIdialog*>(this));
}

void UImultiSelBox::okCallback(Widget w, UImultiSelBox* binding,
                               XmSelectionBoxCallbackStruct* call) {
  if (Widget list = listOf(w)) binding->setSelectedItems(binding->objId, list, 2);
  if (alive(binding))
    UIdialog::okCallback(w, binding, reinterpret_cast<XmAnyCallbackStruct*>(call));
}

void UImultiSelBox::applyCallback(Widget w, UImultiSelBox* binding, XmSelectionBoxCallbackStruct*) {
  if (Widget list = listOf(w)) binding->setSelectedItems(binding->objId, list, 2);
}

void UImultiSelBox::noMatchCallback(Widget, UImultiSelBox*, XmAnyCallbackStruct*) {
  ERRerror("UImultiSelBoxNoMatchCallback", 0, 2, "%s", UIselectionNoMatchText);
}

int UImultiSelBoxInstance(OMobj_id id) {
  return UIdialogInstanceEntry<UImultiSelBox>(id);
}
int UImultiSelBoxUpdate(OMobj_id id) {
  return UIupdate1Entry(id, UImultiSelBoxInstance);
}
