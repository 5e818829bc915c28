// Arrays: object arrays (elements are sub-objects, usually references) and int, real and
// string arrays held in one block.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unordered_set>

#include "om_internal.h"
#include "svc/arr.h"
#include "svc/err.h"

namespace om {

namespace {

bool isNumericArray(const Obj* o) {
  return o->kind == OM_KIND_INT_ARRAY || o->kind == OM_KIND_REAL_ARRAY ||
         o->kind == OM_KIND_STR_ARRAY;
}

// The array record of a numeric or string array, made on first write.
ArrayData* arrayForWrite(Obj* o, uint32_t serial) {
  if (o->has(kRef) || o->has(kExpr)) clearValue(o, serial);
  if (!o->has(kSet)) {
    o->setValue(new ArrayData);
    o->flags |= kSet;
  }
  return o->value<ArrayData*>();
}

const ArrayData* arrayForRead(OMobj_id id) {
  Obj* o = find(resolve(id.live == 1 ? id.serial : 0));
  if (!o || !isNumericArray(o) || !o->has(kSet)) return nullptr;
  return o->value<ArrayData*>();
}

void resizeArray(Obj* o, ArrayData* a, int size) {
  if (o->kind == OM_KIND_INT_ARRAY) a->ints.resize(static_cast<size_t>(size), 0);
  if (o->kind == OM_KIND_REAL_ARRAY) a->reals.resize(static_cast<size_t>(size), 0.0);
  if (o->kind == OM_KIND_STR_ARRAY) {
    for (size_t i = static_cast<size_t>(size); i < a->strings.size(); ++i) std::free(a->strings[i]);
    a->strings.resize(static_cast<size_t>(size), nullptr);
  }
  a->count = size;
}

// The array a write to id lands on (through references), or null.
Obj* arrayTarget(OMobj_id id, uint32_t* serial) {
  Obj* o = find(id);
  if (!o || o->has(kDying)) return nullptr;
  *serial = id.serial;
  if (o->has(kRef)) {
    uint32_t end = resolve(id.serial);
    if (!end) return nullptr;
    *serial = end;
    o = find(end);
  }
  if (o->atts & OM_atts_locked) return nullptr;
  return o;
}

// A new element of an object array: from its element template, else a reference.
uint32_t newElement(uint32_t array) {
  auto it = store().elementTemplates.find(array);
  uint32_t e = 0;
  if (it != store().elementTemplates.end() && find(it->second))
    e = instantiate(it->second, 0, array);
  else
    e = newObj(0, OM_KIND_REF, array);
  if (e && find(array)->has(kInstanced)) instanceTree(e);
  return e;
}

constexpr int kMaxArraySize = 1 << 26;

// Elements that an array whose size follows a property may hold: each is a whole object made
// from a template (a display, a font), brought into being by whoever reads the array.
constexpr int kMaxSizedElements = 10000;

// Arrays with a removal queued, so that repeated reads queue it once.
std::unordered_set<uint32_t>& shrinking() {
  static auto* s = new std::unordered_set<uint32_t>;
  return *s;
}

int shrinkLater(OMobj_id array) {
  shrinking().erase(array.serial);
  syncArraySize(array.serial, false);
  return 1;
}

}  // namespace

int syncArraySize(uint32_t array, bool reading) {
  auto it = store().arraySizes.find(array);
  if (it == store().arraySizes.end()) return -1;
  int want = 0;
  if (OMget_int_val(idOf(it->second), &want) != 1 || want < 0) want = 0;
  int have = childCount(array);
  if (want > kMaxSizedElements) {
    if (have < kMaxSizedElements)
      ERRerror("OMget_array_size", 0, 2, "%s asks for %d elements; %d are made at most",
               OMname_to_str(find(it->second)->name), want, kMaxSizedElements);
    want = kMaxSizedElements;
  }
  if (want < have && reading) {
    // A read never destroys (destroy methods would run inside a getter): the surplus is
    // hidden from this read and removed by the dispatcher.
    if (shrinking().insert(array).second) queueCall(array, shrinkLater);
    return want;
  }
  for (int i = have; i < want; ++i)
    if (!newElement(array)) break;
  for (int i = have - 1; i >= want; --i) OMdestroy_obj(idOf(childAt(array, i)), 0);
  // New elements of an instanced array are instanced now, as any new object is.
  if (want != have) maybeFlush();
  return std::min(want, childCount(array));
}

}  // namespace om

using namespace om;

int OMget_array_size(OMobj_id id, int* size) {
  Obj scratch;
  const Obj* o = view(resolve(id.live == 1 ? id.serial : 0), &scratch);
  if (!o || !size) return 0;
  if (o->kind == OM_KIND_OBJ_ARRAY) {
    int visible = syncArraySize(resolve(id.serial), true);
    *size = visible >= 0 ? visible : childCount(resolve(id.serial));
    return 1;
  }
  if (!isNumericArray(o)) return 0;
  *size = o->has(kSet) ? o->value<ArrayData*>()->count : 0;
  return 1;
}

int OMset_array_size(OMobj_id id, int size) {
  uint32_t serial = 0;
  Obj* o = arrayTarget(id, &serial);
  if (!o || size < 0 || size > kMaxArraySize) return 0;
  if (o->kind == OM_KIND_OBJ_ARRAY) {
    auto sized = store().arraySizes.find(serial);
    if (sized != store().arraySizes.end()) {
      // The size lives in its own property: set that, then follow it.
      if (size > kMaxSizedElements || OMset_int_val(idOf(sized->second), size) != 1) return 0;
      syncArraySize(serial, false);
      return 1;
    }
    int have = childCount(serial);
    if (have == size) return 1;
    for (int i = have; i < size; ++i)
      if (!newElement(serial)) return 0;
    for (int i = have - 1; i >= size; --i) OMdestroy_obj(idOf(childAt(serial, i)), 0);
  } else if (isNumericArray(o)) {
    resizeArray(o, arrayForWrite(o, serial), size);
  } else {
    return 0;
  }
  changed(serial);
  maybeFlush();
  return 1;
}

int OMget_array_val(OMobj_id id, int index, OMobj_id* element, int mode) {
  uint32_t array = resolve(id.live == 1 ? id.serial : 0);
  Obj* o = find(array);
  if (!o || !element || o->kind != OM_KIND_OBJ_ARRAY) return 0;
  int visible = syncArraySize(array, true);
  if (index < 0 || (visible >= 0 && index >= visible)) return 0;
  uint32_t e = childAt(array, index);
  if (!e) return 0;
  if (mode == 1) {
    OMobj_id value;
    if (OMget_obj_val(idOf(e), &value) != 1) return 0;  // an element without target
    e = value.serial;
  }
  *element = idOf(e);
  return 1;
}

int OMset_array_val(OMobj_id id, int index, OMobj_id target, int) {
  uint32_t serial = 0;
  Obj* o = arrayTarget(id, &serial);
  if (!o || o->kind != OM_KIND_OBJ_ARRAY) return 0;
  if (target.serial && !find(target)) return 0;
  uint32_t e = 0;
  if (index == OM_ARRAY_APPEND) {
    e = newObj(0, OM_KIND_REF, serial);
    if (e && o->has(kInstanced)) find(e)->flags |= kInstanced;
  } else {
    e = childAt(serial, index);
  }
  if (!e) return 0;
  if (target.serial) {
    if (!makeRef(e, target.serial, "OMset_array_val")) {
      if (index == OM_ARRAY_APPEND) OMdestroy_obj(idOf(e), 0);
      return 0;
    }
  } else {
    clearValue(find(e), e);
  }
  changed(e);
  maybeFlush();
  return 1;
}

int OMadd_array_val(OMobj_id id, OMobj_id target, int mode) {
  return OMset_array_val(id, OM_ARRAY_APPEND, target, mode);
}

int OMadd_obj_ref(OMobj_id id, OMobj_id target, int mode) {
  if (!target.serial) return 0;
  return OMset_array_val(id, OM_ARRAY_APPEND, target, mode);
}

int OMdel_array_val(OMobj_id id, int index, int) {
  uint32_t serial = 0;
  Obj* o = arrayTarget(id, &serial);
  if (!o || o->kind != OM_KIND_OBJ_ARRAY) return 0;
  uint32_t e = childAt(serial, index);
  return e ? OMdestroy_obj(idOf(e), 0) : 0;
}

int OMdel_obj_ref(OMobj_id id, OMobj_id target, int) {
  uint32_t serial = 0;
  Obj* o = arrayTarget(id, &serial);
  if (!o || !target.serial) return 0;
  if (o->kind != OM_KIND_OBJ_ARRAY) {
    // A plain reference to target is cleared.
    if (!o->has(kRef) || o->target() != target.serial) return 0;
    return OMset_obj_ref(idOf(serial), OMnull_obj, 0);
  }
  for (uint32_t c = o->firstChild; c; c = find(c)->nextSibling) {
    Obj* co = find(c);
    if (co->has(kRef) && co->target() == target.serial) return OMdestroy_obj(idOf(c), 0);
  }
  return 0;
}

int OMget_str_array_val(OMobj_id id, int index, char** value, int size) {
  const ArrayData* a = arrayForRead(id);
  if (!a || !value || index < 0 || index >= a->count || size < 0) return 0;
  if (a->strings.empty()) return 0;
  const char* text = a->strings[static_cast<size_t>(index)];
  if (!text) return 0;
  if (size == 0) {
    *value = strdup(text);
    return *value ? 1 : 0;
  }
  if (!*value) return 0;
  size_t n = std::min(std::strlen(text), static_cast<size_t>(size - 1));
  std::memcpy(*value, text, n);
  (*value)[n] = '\0';
  return 1;
}

int OMset_str_array_val(OMobj_id id, int index, const char* value) {
  uint32_t serial = 0;
  Obj* o = arrayTarget(id, &serial);
  if (!o || o->kind != OM_KIND_STR_ARRAY || index < 0 || index >= kMaxArraySize) return 0;
  ArrayData* a = arrayForWrite(o, serial);
  if (index >= a->count) resizeArray(o, a, index + 1);
  char* copy = value ? strdup(value) : nullptr;
  std::free(a->strings[static_cast<size_t>(index)]);
  a->strings[static_cast<size_t>(index)] = copy;
  changed(serial);
  maybeFlush();
  return 1;
}

int OMget_int_array_val(OMobj_id id, int index, int* value) {
  const ArrayData* a = arrayForRead(id);
  if (!a || !value || index < 0 || index >= a->count) return 0;
  if (!a->ints.empty()) {
    *value = a->ints[static_cast<size_t>(index)];
    return 1;
  }
  if (!a->reals.empty()) {
    double v = a->reals[static_cast<size_t>(index)];
    if (!(v > -2147483649.0 && v < 2147483648.0)) return 0;
    *value = static_cast<int>(v);
    return 1;
  }
  return 0;
}

int OMget_real_array_val(OMobj_id id, int index, double* value) {
  const ArrayData* a = arrayForRead(id);
  if (!a || !value || index < 0 || index >= a->count) return 0;
  if (!a->reals.empty())
    *value = a->reals[static_cast<size_t>(index)];
  else if (!a->ints.empty())
    *value = a->ints[static_cast<size_t>(index)];
  else
    return 0;
  return 1;
}

int OMset_int_array_val(OMobj_id id, int index, int value) {
  return OMset_real_array_val(id, index, value);
}

int OMset_real_array_val(OMobj_id id, int index, double value) {
  uint32_t serial = 0;
  Obj* o = arrayTarget(id, &serial);
  if (!o || index < 0 || index >= kMaxArraySize) return 0;
  if (o->kind != OM_KIND_INT_ARRAY && o->kind != OM_KIND_REAL_ARRAY) return 0;
  ArrayData* a = arrayForWrite(o, serial);
  if (index >= a->count) resizeArray(o, a, index + 1);
  if (o->kind == OM_KIND_INT_ARRAY) {
    if (!(value > -2147483649.0 && value < 2147483648.0)) return 0;
    a->ints[static_cast<size_t>(index)] = static_cast<int>(value);
  } else {
    a->reals[static_cast<size_t>(index)] = value;
  }
  changed(serial);
  maybeFlush();
  return 1;
}

void* OMret_array_ptr(OMobj_id id, int, int* size, int* type) {
  const ArrayData* a = arrayForRead(id);
  if (!a || a->count == 0) return nullptr;
  int t = a->ints.empty() ? OM_TYPE_DOUBLE : OM_TYPE_INT;
  if (a->ints.empty() && a->reals.empty()) return nullptr;
  void* data = ARRalloc_f(nullptr, t, a->count, nullptr, __FILE__, __LINE__);
  if (!data) return nullptr;
  if (t == OM_TYPE_INT)
    std::memcpy(data, a->ints.data(), sizeof(int) * static_cast<size_t>(a->count));
  else
    std::memcpy(data, a->reals.data(), sizeof(double) * static_cast<size_t>(a->count));
  if (size) *size = a->count;
  if (type) *type = t;
  return data;
}

int OMset_array(OMobj_id id, int type, const void* data, int count, int) {
  uint32_t serial = 0;
  Obj* o = arrayTarget(id, &serial);
  if (!o || count < 0 || count > kMaxArraySize || (count > 0 && !data)) return 0;
  if (o->kind != OM_KIND_INT_ARRAY && o->kind != OM_KIND_REAL_ARRAY) return 0;
  if (type != OM_TYPE_INT && type != OM_TYPE_DOUBLE) return 0;
  ArrayData* a = arrayForWrite(o, serial);
  resizeArray(o, a, count);
  for (int i = 0; i < count; ++i) {
    double v = type == OM_TYPE_INT ? static_cast<const int*>(data)[i]
                                   : static_cast<const double*>(data)[i];
    if (o->kind == OM_KIND_INT_ARRAY) {
      if (!(v > -2147483649.0 && v < 2147483648.0)) v = 0;
      a->ints[static_cast<size_t>(i)] = static_cast<int>(v);
    } else {
      a->reals[static_cast<size_t>(i)] = v;
    }
  }
  changed(serial);
  maybeFlush();
  return 1;
}
