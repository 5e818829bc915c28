// UIlist and UImultiList: a scrolled Motif list kept in step with "strings" and the selection
// properties in both directions.
#include "ui/list.h"

#include <Xm/List.h>
#include <Xm/ScrolledWP.h>
#include <Xm/Xm.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "om/om_scope.h"
#include "svc/arr.h"
#include "svc/err.h"
#include "ui/args.h"
#include "ui/layout.h"
#include "ui/menus.h"
#include "ui/misc.h"
#include "ui/xmstring.h"

#include "props.h"

namespace {

using uiprops::newer;
using uiprops::readInt;
using uiprops::sub;

// Compound strings handed to a list in one call, freed together.
class XmStringArray {
 public:
  XmStringArray() = default;
  XmStringArray(const XmStringArray&) = delete;
  XmStringArray& operator=(const XmStringArray&) = delete;
  ~XmStringArray() {
    for (XmString s : items_) XmStringFree(s);
  }
  void add(XmString s) { items_.push_back(s); }
  // Adds the first count texts of a string array; an element that does not read shows as
  // unreadable (the single list shows "", the multiple list " "). At most kMaxItemsPastTheEnd
  // items past the array's end: a hostile count (2^31 - 1) must not make a compound string per
  // number.
  static constexpr int kMaxItemsPastTheEnd = 1024;
  void addStrings(OMobj_id strings, int count, const char* unreadable) {
    int size = 0;
    if (OMget_array_size(strings, &size) != 1 || size < 0) size = 0;
    count = std::min(count, size + kMaxItemsPastTheEnd);
    for (int i = 0; i < count; ++i) {
      char* text = nullptr;
      bool read = OMget_str_array_val(strings, i, &text, 0) == 1;
      add(CSstr_to_Xm(read ? text : unreadable));
      std::free(text);
    }
  }
  XmString* data() { return items_.empty() ? nullptr : items_.data(); }
  int count() const { return static_cast<int>(items_.size()); }

 private:
  std::vector<XmString> items_;
};

// The text of a compound string (default tag), empty when it has none.
std::string textOf(XmString s) {
  char* text = nullptr;
  if (!s || !XmStringGetLtoR(s, const_cast<char*>(XmFONTLIST_DEFAULT_TAG), &text) || !text)
    return std::string();
  std::string out = text;
  XtFree(text);
  return out;
}

// The 0-based positions the list shows selected.
std::vector<int> selectedIndices(Widget list) {
  int* positions = nullptr;
  int count = 0;
  std::vector<int> out;
  if (XmListGetSelectedPos(list, &positions, &count))
    for (int i = 0; i < count; ++i) out.push_back(positions[i] - 1);
  if (positions) XtFree(reinterpret_cast<char*>(positions));
  return out;
}

// "selectedItems" as the object holds it (empty when unset).
std::vector<int> storedIndices(const OMobj_id& obj) {
  int size = 0, type = 0;
  int* data = static_cast<int*>(OMret_array_ptr(sub(obj, "selectedItems"), 0, &size, &type));
  std::vector<int> out;
  if (data && type == OM_TYPE_INT) out.assign(data, data + size);
  ARRfree_f(data, __FILE__, __LINE__);
  return out;
}

// The texts of the items the list shows selected, in list order.
std::vector<std::string> selectedTexts(Widget list) {
  XmString* selected = nullptr;
  int count = 0;
  XtVaGetValues(list, XmNselectedItems, &selected, XmNselectedItemCount, &count, nullptr);
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) out.push_back(textOf(selected[i]));
  return out;
}

// Clears the object value of a property (a reset to "no value").
void clearValue(const OMobj_id& property, int flags) {
  OMobj_id value;
  if (OMget_obj_val(property, &value) != 1 || !value) return;
  OMcontext ctx(value, OM_CTX_USER, flags);
  OMset_obj_val(value, OMnull_obj, 0);
}

// Colours of a list: background on the scrolled window, the list and the scroll bars;
// foreground on the list only.
void applyListColours(UIcore* binding, Widget sw, Widget list, int seq) {
  if (UIisBeingDestroyed(sw) || UIisBeingDestroyed(list)) return;
  UIcolor colors = binding->color();
  OMobj_id bg = colors.background.obj_id();
  OMobj_id fg = colors.foreground.obj_id();
  bool bgNewer = newer(bg, seq), fgNewer = newer(fg, seq);
  if (bgNewer) {
    binding->setBackgroundColor(bg, sw);
    binding->setBackgroundColor(bg, list);
  }
  if (fgNewer) binding->setForegroundColor(fg, list);
  if (bgNewer) {
    Widget horizontal = nullptr, vertical = nullptr;
    if (XmIsScrolledWindow(sw)) {  // read from the record: a get would search its resources
      auto* window = reinterpret_cast<XmScrolledWindowWidget>(sw);
      horizontal = reinterpret_cast<Widget>(window->swindow.hScrollBar);
      vertical = reinterpret_cast<Widget>(window->swindow.vScrollBar);
    } else {
      XtVaGetValues(sw, XmNhorizontalScrollBar, &horizontal, XmNverticalScrollBar, &vertical,
                    nullptr);
    }
    if (!UIisBeingDestroyed(horizontal)) binding->setBackgroundColor(bg, horizontal);
    if (!UIisBeingDestroyed(vertical)) binding->setBackgroundColor(bg, vertical);
  }
}

// The window's own handlers (the layout editor's, the mouse interactors', the status line's)
// on the scrolled window as it is made. It is made managed, so under a parent on screen it
// gets its window at once, before the toolkit returns it; each handler put on afterwards would
// then cost a request of its own to select its events.
struct HandlersOnCreate {
  Widget parent = nullptr;
  Widget made = nullptr;
};

void addHandlersOnCreate(Widget, XtPointer client, XtPointer call);

// Keeps addHandlersOnCreate on the display's creation hooks for as long as it lives, so that
// no way out of the creation leaves it there with a pointer to a request gone.
class HandlersOnCreateHook {
 public:
  explicit HandlersOnCreateHook(HandlersOnCreate* request)
      : hooks_(XtHooksOfDisplay(XtDisplay(request->parent))), request_(request) {
    XtAddCallback(hooks_, XtNcreateHook, addHandlersOnCreate, request_);
  }
  ~HandlersOnCreateHook() {
    XtRemoveCallback(hooks_, XtNcreateHook, addHandlersOnCreate, request_);
  }
  HandlersOnCreateHook(const HandlersOnCreateHook&) = delete;
  HandlersOnCreateHook& operator=(const HandlersOnCreateHook&) = delete;

 private:
  Widget hooks_;
  HandlersOnCreate* request_;
};

void addHandlersOnCreate(Widget, XtPointer client, XtPointer call) {
  auto* expected = static_cast<HandlersOnCreate*>(client);
  auto* created = static_cast<XtCreateHookData>(call);
  Widget w = created ? created->widget : nullptr;
  if (!w || expected->made || XtParent(w) != expected->parent || !XmIsScrolledWindow(w)) return;
  expected->made = w;
  UIwindow::addWindowHandlers(w, true);
}

// Makes the scrolled list of a binding at its placed position, 100 x 150 unless the object
// says otherwise (the defaults are written back). *handled is the scrolled window when it got
// the window's handlers as it was made (else null); its children (the list, unmanaged, and
// the scroll bars) have none yet.
Widget createScrolledList(UIwindow* binding, const OMobj_id& obj, Widget parent, bool multi,
                          Widget* handled) {
  int x = 0, y = 0, width = 100, height = 150;
  binding->autoPlacementManager(parent, &x, &y);
  if (!UIgetOMWindowWidth(obj, &width)) {
    width = 100;
    UIsetOMWindowWidth(obj, width);
  }
  if (!UIgetOMWindowHeight(obj, &height)) {
    height = 150;
    UIsetOMWindowHeight(obj, height);
  }
  UIargs args{{XmNx, x},
              {XmNy, y},
              {XmNwidth, width},
              {XmNheight, height},
              {XmNuserData, binding},
              {XmNlistSizePolicy, XmCONSTANT},
              // No scrolling by dragging over the scroll bars: the kit's displays take no drops
              // (their drag protocols are off), so it never serves, and with it on the toolkit
              // registers each scroll bar as a drop site whose one "target" is the widget's
              // address. Each new address is a new entry in the display's table of targets,
              // which the server keeps for all its clients and which never shrinks: a server
              // grab, the whole table read and written, about three round trips, per scroll
              // bar made.
              {XmNautoDragModel, XmAUTO_DRAG_DISABLED}};
  if (multi) args.add(XmNselectionPolicy, XmEXTENDED_SELECT);
  // Everything is given at creation (the scrolled window gets the same arguments): a value set
  // afterwards on a widget that takes the keyboard makes the toolkit place the keyboard focus
  // in a window that has it, and every later destroy of the focused widget then searches the
  // whole window for the next one, with requests.
  XmFontList fonts = binding->chooseFontList(XtDisplay(parent), parent);
  if (fonts) args.add(XmNfontList, fonts);
  HandlersOnCreate handlers{parent, nullptr};
  Widget list = nullptr;
  {
    HandlersOnCreateHook hook(&handlers);
    list = XmCreateScrolledList(parent, const_cast<char*>(uiprops::nameOf(obj)), args.list(),
                                args.count());
  }
  *handled = handlers.made == XtParent(list) ? handlers.made : nullptr;
  binding->madeWithFontList(list, fonts, XtParent(list));
  return list;
}

// The editor's indirect handlers on every child of w (the list and its scroll bars).
void groupChildren(Widget w) {
  for (Widget child : uiprops::childrenOf(w)) UIlayout::addIndirectEventHandlers(child, w);
}

}  // namespace

// ---- UIlist ----------------------------------------------------------------------------------

UIlist::UIlist(OMobj_id id) : UIwindow(id) {
  classType_ = "UIlist";
}
UIlist::~UIlist() = default;

bool UIlist::instanceObject() {
  Widget parent = parentWidgetNow();
  if (!parent) return false;
  parent_ = parent;
  Widget handled = nullptr;
  list_ = createScrolledList(this, objId, parent, false, &handled);
  Widget sw = XtParent(list_);
  widget_ = sw;
  // The list's handlers go on before it has a window (see createScrolledList).
  groupChildren(sw);
  addXtEventHandlers(list_);
  handlersOn_ = handled;
  XtManageChild(list_);
  setCoreResources(-1);
  addXtCallbacks(list_);
  onObjectCreate(sw);
  setListResources(-1);
  return true;
}

void UIlist::addXtCallbacks(Widget w) {
  UIaddCallback<&UIlist::okCallback>(w, XmNbrowseSelectionCallback, this);
}

void UIlist::addXtEventHandlers(Widget w) {
  XtAddEventHandler(w, StructureNotifyMask, False, onMap, nullptr);
}

void UIlist::addLayoutEditorEventHandlers(Widget w) {
  UIwindow::addLayoutEditorEventHandlers(w);
  if (!UIisBeingDestroyed(w)) groupChildren(w);
}

void UIlist::onMap(Widget w, XtPointer, XEvent* event, Boolean*) {
  if (!event || event->type != MapNotify || UIisBeingDestroyed(w)) return;
  Widget parent = XtParent(w);
  if (!widgetOK(parent)) return;
  auto* binding = dynamic_cast<UIlist*>(UIwidgetToClass(parent));
  if (binding && binding->OK()) binding->setListResources(-1);
}

void UIlist::updateCombo() {
  if (UIisBeingDestroyed(list_)) return;
  int count = 0;
  if (!readInt(objId, "stringdims", &count)) return;
  OMobj_id strings = sub(objId, "strings");
  XmStringArray items;
  items.addStrings(strings, count, "");
  Widget sw = XtParent(list_);
  Dimension width = 0, height = 0;
  XtVaGetValues(sw, XmNwidth, &width, XmNheight, &height, nullptr);
  XtVaSetValues(list_, XmNitems, items.data(), XmNitemCount, items.count(), nullptr);
  XtVaSetValues(sw, XmNwidth, width, XmNheight, height, nullptr);
  int selected = 0;
  if (readInt(objId, "selectedItem", &selected) && selected >= 0 && selected < items.count())
    XmListSelectPos(list_, selected + 1, False);
}

void UIlist::clearSelection() {
  if (!UIisBeingDestroyed(list_)) XmListDeselectAllItems(list_);
  clearValue(sub(objId, "selectedText"), OM_CTX_PLAIN);
  clearValue(sub(objId, "selectedItem"), OM_CTX_PLAIN);
}

void UIlist::setListResources(int seq) {
  if (UIisBeingDestroyed(list_)) return;
  OMobj_id dims = sub(objId, "stringdims");
  OMobj_id strings = sub(objId, "strings");
  OMobj_id item = sub(objId, "selectedItem");
  OMobj_id text = sub(objId, "selectedText");
  if (seq != -1) {
    if (newer(dims, seq) || newer(strings, seq)) {
      // Strings that nothing refers to any more: the old selection means nothing.
      if (OMget_num_refs(strings) == 0) clearSelection();
      updateCombo();
      seq = -1;
    }
  } else {
    updateCombo();
  }
  int count = 0;
  if (!readInt(objId, "stringdims", &count)) count = 0;
  count = uiprops::countWithin(strings, count);
  bool itemNewer = newer(item, seq), textNewer = newer(text, seq);
  if (!itemNewer && !textNewer) return;
  if (seq != -1 && !itemNewer && textNewer) {
    OMtext wanted = OMget_text(text);
    if (!wanted) return clearSelection();
    int match = -1;
    for (int i = 0; i < count; ++i) {
      char* s = nullptr;
      if (OMget_str_array_val(strings, i, &s, 0) == 1 && std::strcmp(s, wanted.get()) == 0)
        match = i;
      std::free(s);
    }
    if (match < 0) return;
    int current = 0;
    if (!readInt(objId, "selectedItem", &current) || current != match) {
      OMcontext ctx(item, OM_CTX_USER, OM_CTX_PLAIN);
      OMset_int_val(item, match);
    }
    XmListSelectPos(list_, match + 1, False);
    return;
  }
  int index = 0;
  if (OMget_int_val(item, &index) != 1) return clearSelection();
  if (index < 0) index = 0;
  if (index >= count) index = count - 1;
  // An empty list has nothing to select: "selectedItem" stays as it is.
  if (index < 0) return;
  char* s = nullptr;
  std::string shown;
  if (OMget_str_array_val(strings, index, &s, 0) == 1) shown = s;
  std::free(s);
  OMtext current = OMget_text(text);
  if (!current || shown != current.get()) {
    OMcontext ctx(text, OM_CTX_USER, OM_CTX_GEOMETRY);
    OMset_str_val(text, shown.c_str());
  }
  XmListSelectPos(list_, index + 1, False);
}

void UIlist::setCoreResources(int seq) {
  if (UIisBeingDestroyed(list_)) return;
  Widget sw = XtParent(list_);
  applyListColours(this, sw, list_, seq);
  setResources(sw, seq);
  setResources(list_, seq);
}

void UIlist::updateObject(int seq) {
  if (UIisBeingDestroyed(widget_) || onlyItsSurroundingsChanged()) return;
  setListResources(seq);
  setCoreResources(seq);
  UIwindow::updateObject(seq);
}

void UIlist::okCallback(Widget, UIlist* binding, XmListCallbackStruct* call) {
  if (!call) return;
  std::string text = textOf(call->item);
  OMobj_id obj = binding->objId;
  if (call->item_position != 0) {
    OMobj_id item = sub(obj, "selectedItem");
    OMcontext ctx(item, OM_CTX_USER, OM_CTX_PLAIN);
    OMset_int_val(item, call->item_position - 1);
  } else {
    OMobj_id sel = sub(obj, "selectedText");
    OMcontext ctx(sel, OM_CTX_USER, OM_CTX_PLAIN);
    OMset_str_val(sel, text.c_str());
  }
}

// ---- UImultiList -----------------------------------------------------------------------------

UImultiList::UImultiList(OMobj_id id) : UIwindow(id) {
  classType_ = "UImultiList";
}
UImultiList::~UImultiList() = default;

bool UImultiList::instanceObject() {
  Widget parent = parentWidgetNow();
  if (!parent) return false;
  parent_ = parent;
  Widget handled = nullptr;
  list_ = createScrolledList(this, objId, parent, true, &handled);
  Widget sw = XtParent(list_);
  widget_ = sw;
  setResources(sw, -1);
  setResources(list_, -1);
  addXtCallbacks(list_);
  // The list's handlers go on before it has a window (see createScrolledList).
  groupChildren(sw);
  addXtEventHandlers(list_);
  handlersOn_ = handled;
  XtManageChild(list_);
  onObjectCreate(sw);
  // Filling the items writes the (empty) selection back: the indices the object was made
  // with are kept and applied when no text chooses.
  std::vector<int> given = storedIndices(objId);
  updateCombo();
  updateSelectedText();
  if (!given.empty() && selectedIndices(list_).empty()) {
    OMobj_id items = sub(objId, "selectedItems");
    {
      OMcontext ctx(objId, OM_CTX_WIDGET, OM_CTX_PLAIN);
      OMset_array(items, OM_TYPE_INT, given.data(), static_cast<int>(given.size()), 0);
    }
    updateSelectedItems();
  }
  return true;
}

void UImultiList::addXtCallbacks(Widget w) {
  UIaddCallback<&UImultiListOKCallback>(w, XmNextendedSelectionCallback, this);
}

void UImultiList::addXtEventHandlers(Widget w) {
  XtAddEventHandler(w, StructureNotifyMask, False, UImultiListOnMap, nullptr);
}

void UImultiList::addLayoutEditorEventHandlers(Widget w) {
  UIwindow::addLayoutEditorEventHandlers(w);
  if (!UIisBeingDestroyed(w)) groupChildren(w);
}

void UImultiListOnMap(Widget w, XtPointer, XEvent* event, Boolean*) {
  if (!event || event->type != MapNotify || UIisBeingDestroyed(w)) return;
  Widget parent = XtParent(w);
  if (!UIwindow::widgetOK(parent)) return;
  auto* binding = dynamic_cast<UImultiList*>(UIwidgetToClass(parent));
  if (binding && binding->OK()) binding->setMultiListResources(-1);
}

void UImultiList::updateCombo() {
  if (UIisBeingDestroyed(list_)) return;
  int count = 0;
  if (!readInt(objId, "stringdims", &count)) return;
  OMobj_id strings = sub(objId, "strings");
  XmStringArray items;
  items.addStrings(strings, count, " ");
  Widget sw = XtParent(list_);
  Dimension width = 0, height = 0;
  XtVaGetValues(sw, XmNwidth, &width, XmNheight, &height, nullptr);
  XmString* selected = nullptr;
  int selectedCount = 0;
  XtVaGetValues(list_, XmNselectedItems, &selected, XmNselectedItemCount, &selectedCount, nullptr);
  // The list's own selection is replaced with the items: a copy is handed back.
  XmStringArray keep;
  for (int i = 0; i < selectedCount; ++i) keep.add(XmStringCopy(selected[i]));
  if (keep.count() > 0)
    XtVaSetValues(list_, XmNitems, items.data(), XmNitemCount, items.count(), XmNselectedItems,
                  keep.data(), XmNselectedItemCount, keep.count(), nullptr);
  else
    XtVaSetValues(list_, XmNitems, items.data(), XmNitemCount, items.count(), nullptr);
  XtVaSetValues(sw, XmNwidth, width, XmNheight, height, nullptr);
  setSelectedItems(OM_CTX_PLAIN);
}

void UImultiList::setSelectedItems(int mode) {
  if (UIisBeingDestroyed(list_)) return;
  OMobj_id items = sub(objId, "selectedItems");
  std::vector<int> indices = selectedIndices(list_);
  OMcontext ctx(objId, OM_CTX_USER, mode);
  OMset_array_size(items, static_cast<int>(indices.size()));
  OMset_array(items, OM_TYPE_INT, indices.data(), static_cast<int>(indices.size()), 0);
}

void UImultiList::setSelectedText(int mode) {
  if (UIisBeingDestroyed(list_)) return;
  std::vector<std::string> texts = selectedTexts(list_);
  int count = static_cast<int>(texts.size());
  OMobj_id text = sub(objId, "selectedText");
  OMcontext ctx(objId, OM_CTX_USER, mode);
  clearValue(text, OM_CTX_PLAIN);
  OMset_array_size(text, count);
  for (int i = 0; i < count; ++i)
    OMset_str_array_val(text, i, texts[static_cast<size_t>(i)].c_str());
}

void UImultiList::updateSelectedItems() {
  if (UIisBeingDestroyed(list_)) return;
  int size = 0, type = 0;
  int* indices = static_cast<int*>(OMret_array_ptr(sub(objId, "selectedItems"), 0, &size, &type));
  if (!indices || type != OM_TYPE_INT) size = 0;
  // The selection the list shows already (the echo of a user's choice) is not set again:
  // setting it would reset the list's own extend and toggle state.
  if (std::vector<int>(indices, indices + size) == selectedIndices(list_)) {
    ARRfree_f(indices, __FILE__, __LINE__);
    return;
  }
  XmListDeselectAllItems(list_);
  XmString* items = nullptr;
  int itemCount = 0;
  XtVaGetValues(list_, XmNitems, &items, XmNitemCount, &itemCount, nullptr);
  XmStringArray chosen;
  bool outOfRange = false;
  for (int i = 0; i < size; ++i) {
    int index = indices[i];
    if (index < 0 || index >= itemCount) {
      outOfRange = true;
      break;
    }
    chosen.add(XmStringCopy(items[index]));
  }
  // The index array and the copies made so far are released on both paths.
  ARRfree_f(indices, __FILE__, __LINE__);
  if (outOfRange) {
    ERRerror("UImultiList::updateSelectedItems", 0, 2, "Selected item out of range.");
    return;
  }
  XtVaSetValues(list_, XmNselectedItems, chosen.data(), XmNselectedItemCount, chosen.count(),
                nullptr);
  setSelectedText(OM_CTX_PLAIN);
}

void UImultiList::updateSelectedText() {
  if (UIisBeingDestroyed(list_)) return;
  OMobj_id text = sub(objId, "selectedText");
  int size = 0;
  if (OMget_array_size(text, &size) != 1) size = 0;
  XmStringArray chosen;
  std::vector<std::string> wanted;
  for (int i = 0; i < size; ++i) {
    char* s = nullptr;
    // An element that does not read selects nothing.
    if (OMget_str_array_val(text, i, &s, 0) == 1) {
      chosen.add(CSstr_to_Xm(s));
      wanted.push_back(s);
    }
    std::free(s);
  }
  if (wanted == selectedTexts(list_)) return;  // the echo of a user's choice (see above)
  XmListDeselectAllItems(list_);
  XtVaSetValues(list_, XmNselectedItems, chosen.data(), XmNselectedItemCount, chosen.count(),
                nullptr);
  setSelectedItems(OM_CTX_PLAIN);
}

void UImultiList::setMultiListResources(int seq) {
  if (UIisBeingDestroyed(list_)) return;
  OMobj_id dims = sub(objId, "stringdims"), strings = sub(objId, "strings");
  // A missing property counts as newer.
  if (!dims || !strings || newer(dims, seq) || newer(strings, seq)) updateCombo();
  if (newer(objId, "selectedItems", seq)) updateSelectedItems();
  if (newer(objId, "selectedText", seq)) updateSelectedText();
  applyListColours(this, XtParent(list_), list_, seq);
}

void UImultiList::setCoreResources(int seq) {
  if (UIisBeingDestroyed(list_)) return;
  setMultiListResources(seq);
  setResources(XtParent(list_), seq);
  setResources(list_, seq);
}

void UImultiList::updateObject(int seq) {
  if (UIisBeingDestroyed(widget_) || UIisBeingDestroyed(list_)) return;
  setMultiListResources(seq);
  setResources(XtParent(list_), seq);
  setResources(list_, seq);
  UIwindow::updateObject(seq);
}

void UImultiListOKCallback(Widget, UImultiList* binding, XmListCallbackStruct* call) {
  if (!call) return;
  OMobj_id obj = binding->objId;
  OMobj_id text = sub(obj, "selectedText");
  clearValue(text, OM_CTX_STRUCTURE);
  {
    OMcontext ctx(obj, OM_CTX_USER, OM_CTX_PLAIN);
    OMset_array_size(text, call->selected_item_count);
    for (int i = 0; i < call->selected_item_count; ++i)
      OMset_str_array_val(text, i, textOf(call->selected_items[i]).c_str());
  }
  binding->setSelectedItems(OM_CTX_PLAIN);
}

int UIlistInstance(OMobj_id id) {
  return UIinstanceEntry<UIlist>(id);
}
int UIlistUpdate(OMobj_id id, unsigned int mask, int seq) {
  return UIupdateEntry<UIlist>(id, mask, seq);
}
int UImultiListInstance(OMobj_id id) {
  return UIinstanceEntry<UImultiList>(id);
}
int UImultiListUpdate(OMobj_id id, unsigned int mask, int seq) {
  return UIupdateEntry<UImultiList>(id, mask, seq);
}
