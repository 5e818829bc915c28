// UIimport, the base of windows built outside the library; dynamic windows; selections.
#include "ui/import.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "om/om_scope.h"
#include "svc/err.h"
#include "svc/ev.h"
#include "ui/misc.h"

#include "props.h"

namespace {
using uiprops::nameOf;
using uiprops::readInt;
using uiprops::sub;
}  // namespace

// ---- UIimport -----------------------------------------------------------------------------

UIimport::UIimport(OMobj_id id) : UIwindow(id) {
  classType_ = "UIimport";
}

bool UIimport::instanceObject() {
  std::printf("UIimport::instanceObject() must be implemented by user in derived class\n");
  return false;
}

int UIimport::instanceObject(OMobj_id) {
  std::printf("UIimport::instanceObject(OMobj_id) must be implemented by user in derived class\n");
  return 0;
}

void UIimport::onObjectCreate(Widget w) {
  if (UIisBeingDestroyed(w)) return;
  setResources(w, -1);
  DragAndDropDisable(w);
  UIwindow::onObjectCreate(w);
}

void UIimport::onObjectCreate(Widget w, OMobj_id) {
  UIimport::onObjectCreate(w);
}

void UIimport::updateObject(int seq) {
  UIwindow::updateObject(seq);
}

void UIimport::updateObject(OMobj_id id) {
  OMobj_id update = OMfind_subobj(id, OMstr_to_name("update"), 1);
  UIwindow::updateObject(update.serial ? OMget_obj_seq(update, OMnull_obj, 0) : -1);
}

void UIimport::destroyObject() {
  UIwindow::destroyObject();
}

void UIimport::destroyObject(OMobj_id) {
  UIwindow::destroyObject();
}

Widget UIimport::GetParentWindow(OMobj_id id) {
  return UIgetParentWnd(id, 1);
}

int UIimport::GetWindowName(OMobj_id id, char* buf, int len) {
  if (!buf || len < 1) return 0;
  const char* name = nameOf(id);
  size_t n = std::strlen(name);
  if (n > static_cast<size_t>(len - 1)) n = static_cast<size_t>(len - 1);
  std::memcpy(buf, name, n);
  buf[n] = '\0';
  return static_cast<int>(n);
}

void UIimport::GetWindowSize(OMobj_id id, int& w, int& h) {
  GetWindowWidth(id, w, 200);
  GetWindowHeight(id, h, 200);
}

void UIimport::GetWindowWidth(OMobj_id id, int& w, int def) {
  if (!readInt(id, "width", &w)) w = def;
}

void UIimport::GetWindowHeight(OMobj_id id, int& h, int def) {
  if (!readInt(id, "height", &h)) h = def;
}

// ---- Dynamic windows ----------------------------------------------------------------------

namespace {

Widget widgetAt(const OMobj_id& id) {
  void* p = nullptr;
  return OMget_ptr_val(id, &p, 0) == 1 ? static_cast<Widget>(p) : nullptr;
}

// "in_handle" is the handle itself or a reference to one.
OMobj_id inHandleWidget(const OMobj_id& id) {
  OMobj_id handle = sub(id, "in_handle");
  OMobj_id target;
  if (!!handle && OMget_obj_val(handle, &target) == 1 && !!target) handle = target;
  return sub(handle, "widget");
}

}  // namespace

int UIdyn_wind_update(OMobj_id id) {
  Widget now = widgetAt(inHandleWidget(id));
  Widget old = widgetAt(sub(id, "old_widget"));
  if (now == old) return 1;
  if (old) EVdel_dynamic_window(old, 0);
  if (now) EVadd_dynamic_window(now);
  OMset_ptr_val(sub(id, "old_widget"), now, 0);
  return 1;
}

int UIdyn_wind_destroy(OMobj_id id) {
  if (Widget old = widgetAt(sub(id, "old_widget"))) EVdel_dynamic_window(old, 0);
  return 1;
}

// ---- Selections ---------------------------------------------------------------------------

namespace {

const OMcstruct_field kSelectionFields[] = {
    {"count", OM_TYPE_INT, offsetof(UIselection, count)},
    {"strings", OM_CSTRUCT_STRING_ARRAY, offsetof(UIselection, strings),
     offsetof(UIselection, count)},
    {"selectedItem", OM_TYPE_INT, offsetof(UIselection, selectedIndex)},
    {"selectedString", OM_TYPE_STRING, offsetof(UIselection, selectedString)},
};

}  // namespace

int UIstring_choice_copy(char** dst, const char* src) {
  if (!dst) {
    std::fprintf(stderr, "err in string_choice: dst is NULL!\n");
    return 0;
  }
  if (!src) src = "";
  size_t size = std::strlen(src) + 1;
  char* grown;
  while (!(grown = static_cast<char*>(std::realloc(*dst, size)))) {
    if (!ERRout_of_memory("Out of memory in string_choice, sorry!\n")) return 0;
  }
  std::memcpy(grown, src, size);
  *dst = grown;
  return 1;
}

int UIinstance_selection(void* data) {
  auto* s = static_cast<UIselection*>(data);
  if (!s) return 0;
  OMcstruct_update_om(s->id, s, kSelectionFields, 4,
                      UI_SEL_COUNT | UI_SEL_STRINGS | UI_SEL_INDEX | UI_SEL_STRING);
  return 1;
}

int UIupdate_selection(void* data, unsigned long mask) {
  auto* s = static_cast<UIselection*>(data);
  if (!s || s->count < 0) return 0;
  if (s->count == 0) return 1;
  if (!s->strings || !s->strings[0]) return 0;
  unsigned long flags = 0;
  for (int i = 1; i < s->count; ++i) {
    if (!s->strings[i]) {
      s->count = i;
      flags |= UI_SEL_COUNT;
      break;
    }
  }
  int index = s->selectedIndex;
  bool outOfRange = index < 0 || index >= s->count;
  if (outOfRange) {
    index = 0;
    flags |= UI_SEL_INDEX;
  }
  if (!s->selectedString) {
    UIstring_choice_copy(&s->selectedString, s->strings[index]);
    flags |= UI_SEL_STRING;
  }
  if ((mask & UI_SEL_INDEX) || outOfRange) {
    UIstring_choice_copy(&s->selectedString, s->strings[index]);
    flags |= UI_SEL_STRING;
  } else if (mask & (UI_SEL_STRING | UI_SEL_COUNT | UI_SEL_STRINGS)) {
    int found = -1;
    for (int i = 0; i < s->count && found < 0; ++i)
      if (s->selectedString && std::strcmp(s->strings[i], s->selectedString) == 0) found = i;
    if (found < 0) {
      UIstring_choice_copy(&s->selectedString, s->strings[0]);
      flags |= UI_SEL_STRING;
      found = 0;
    }
    index = found;
  }
  if (index != s->selectedIndex) {
    s->selectedIndex = index;
    flags |= UI_SEL_INDEX;
  }
  if (flags & (UI_SEL_INDEX | UI_SEL_STRING))
    OMcstruct_update_om(s->id, s, kSelectionFields, 4, flags);
  return 1;
}
