// The mouse interactors: records hung on a view's window binding, the event-name syntax, and
// the entry points that make, refresh and free the records.
#include "ui/interact.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string_view>

#include "om/om_scope.h"
#include "ui/misc.h"
#include "ui/wind.h"

#include "props.h"

namespace {

using uiprops::newer;
using uiprops::readInt;
using uiprops::sub;

struct EventName {
  const char* name;
  int code;
};
constexpr EventName kEventNames[] = {
    {"BtnLDown", 1},   {"Btn1Down", 1},   {"BtnMDown", 2},   {"Btn2Down", 2},   {"BtnRDown", 3},
    {"Btn3Down", 3},   {"BtnLMotion", 4}, {"Btn1Motion", 4}, {"BtnMMotion", 5}, {"Btn2Motion", 5},
    {"BtnRMotion", 6}, {"Btn3Motion", 6}, {"BtnLUp", 7},     {"Btn1Up", 7},     {"BtnMUp", 8},
    {"Btn2Up", 8},     {"BtnRUp", 9},     {"Btn3Up", 9},
};

enum Kind { kOnePoint = 1, kTwoPoint = 2, kMouseEvents = 3 };

const char* kindName(int kind) {
  switch (kind) {
    case kOnePoint:
      return "UIonePoint";
    case kTwoPoint:
      return "UItwoPoint";
    default:
      return "UImouseEvents";
  }
}

// The record stored in the object's "local_ptr", or null (also for a record copied from
// another object: it belongs to that one).
MouseInteractorRecord* recordOf(const OMobj_id& id) {
  void* p = nullptr;
  if (OMget_ptr_val(sub(id, "local_ptr"), &p, 0) != 1 || !p) return nullptr;
  auto* r = static_cast<MouseInteractorRecord*>(p);
  return r->id == id ? r : nullptr;
}

int eventOf(const OMobj_id& id, const char* prop) {
  OMtext text = OMget_text(sub(id, prop));
  return text ? LookupEventName(text.get()) : 0;
}

void readEvents(MouseInteractorRecord* r, int seq) {
  const OMobj_id& id = r->id;
  switch (r->kind) {
    case kOnePoint:
      if (newer(id, "runEvent", seq)) r->slot1 = eventOf(id, "runEvent");
      break;
    case kTwoPoint:
      if (newer(id, "startEvent", seq)) r->slot1 = eventOf(id, "startEvent");
      if (newer(id, "runEvent", seq)) r->slot2 = eventOf(id, "runEvent");
      if (newer(id, "stopEvent", seq)) r->slot3 = eventOf(id, "stopEvent");
      break;
    default:
      if (!readInt(id, "onButtonDown", &r->slot2)) r->slot2 = 1;
      if (!readInt(id, "buttonRequestMask", &r->slot3)) r->slot3 = 1;
      break;
  }
}

// Takes the record off the list of the binding it hangs on, when that binding still lives;
// the record is detached afterwards either way.
void detach(MouseInteractorRecord* r) {
  UIwindow* binding = r->binding;
  if (binding && UIwindow::alive(binding)) {
    for (MouseInteractorRecord** at = &binding->interactors; *at; at = &(*at)->next) {
      if (*at == r) {
        *at = r->next;
        break;
      }
    }
  }
  r->next = nullptr;
  r->view = nullptr;
  r->binding = nullptr;
}

// Hangs the record on the head of the list of its view's binding. A view without a handle
// widget, or whose widget is stale or not a binding's, leaves it detached.
void attach(MouseInteractorRecord* r) {
  OMobj_id view;
  if (OMget_obj_val(sub(r->id, "view"), &view) != 1 || !view) return;
  Widget w = UIobjIdToWidget(view);
  if (UIisBeingDestroyed(w)) return;
  UIwindow* binding = UIwidgetToClass(w);
  if (!UIwindow::alive(binding) || binding->widget() != w) return;
  r->view = w;
  r->binding = binding;
  r->next = binding->interactors;
  binding->interactors = r;
}

void freeRecord(MouseInteractorRecord* r) {
  detach(r);
  delete r;
}

int instance(const OMobj_id& id, int kind) {
  // The property is looked for first: an object without it never gets a record to lose.
  OMobj_id slot = sub(id, "local_ptr");
  if (!slot) return 0;
  // A record this object already has (instanced again) is let go of first.
  if (MouseInteractorRecord* old = recordOf(id)) freeRecord(old);
  auto* r = new (std::nothrow) MouseInteractorRecord;
  if (!r) {
    std::printf("[%s]: Couldn't create %s.\n", kindName(kind), kindName(kind));
    return 0;
  }
  r->id = id;
  r->kind = kind;
  if (OMset_ptr_val(slot, r, 0) != 1) {
    delete r;
    return 0;
  }
  readEvents(r, -1);
  attach(r);
  return kind == kOnePoint ? 0 : 1;
}

int update(const OMobj_id& id, unsigned int mask, int seq, int kind) {
  if (mask & OM_EVENT_INST) return instance(id, kind);
  MouseInteractorRecord* r = recordOf(id);
  if (!r) return 0;
  readEvents(r, seq);
  // The link's own stamp: a change inside the view object is not a change of view. A
  // record whose window went (or never came) tries again on any update.
  bool moved = newer(id, "view", seq, 2);
  bool lost = !r->binding || !UIwindow::alive(r->binding);
  if (moved || lost) {
    detach(r);
    attach(r);
  }
  return 1;
}

}  // namespace

int LookupEventName(const char* text) {
  if (!text) return 0;
  std::string_view all(text);
  size_t open = all.find('<');
  if (open == std::string_view::npos) return 0;
  size_t close = all.find('>', open + 1);
  if (close == std::string_view::npos) return 0;
  std::string_view modifier = all.substr(0, open);
  std::string_view name = all.substr(open + 1, close - open - 1);
  int code = 0;
  for (const EventName& e : kEventNames) {
    if (name == e.name) {
      code = e.code;
      break;
    }
  }
  if (!code) return 0;
  if (modifier == "Shift") code |= UI_KEY_SHIFT;
  if (modifier == "Control") code |= UI_KEY_CONTROL;
  if (modifier == "Alt") code |= UI_KEY_MOD1;
  return code;
}

int UIonePointInstance(OMobj_id id) {
  return instance(id, kOnePoint);
}
int UItwoPointInstance(OMobj_id id) {
  return instance(id, kTwoPoint);
}
int UImouseEventsInstance(OMobj_id id) {
  return instance(id, kMouseEvents);
}

int UIonePointUpdate(OMobj_id id, unsigned int mask, int seq) {
  return update(id, mask, seq, kOnePoint);
}
int UItwoPointUpdate(OMobj_id id, unsigned int mask, int seq) {
  return update(id, mask, seq, kTwoPoint);
}
int UImouseEventsUpdate(OMobj_id id, unsigned int mask, int seq) {
  return update(id, mask, seq, kMouseEvents);
}

int UIinteractDestroy(OMobj_id id, unsigned int, int) {
  MouseInteractorRecord* r = recordOf(id);
  if (!r) return 0;
  OMset_ptr_val(sub(id, "local_ptr"), nullptr, 0);
  freeRecord(r);
  return 1;
}

int UIinteractDestroy1(OMobj_id id) {
  return UIinteractDestroy(id, 0, 0);
}
