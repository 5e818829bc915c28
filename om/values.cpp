// Values: typed reads with conversion through references and expressions, and writes that
// stamp and notify.
#include <malloc.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_set>

#include "om_internal.h"
#include "svc/err.h"
#include "svc/number.h"

namespace om {

namespace {

// A chain longer than this is treated as broken (cycles are refused, so only a corrupted
// store could make one).
constexpr int kMaxChain = 4096;

// True when o holds a value of its own: set, neither a link nor an expression. Its value is
// then read or written in place, without the reading machinery.
bool holdsPlainValue(const Obj* o) {
  return (o->flags & (kSet | kRef | kExpr)) == kSet;
}

// What a read found: a number, a text, or nothing.
struct Read {
  enum { kNone, kNumber, kText, kPointer } what = kNone;
  double number = 0;
  bool isInt = false;
  const char* text = nullptr;
  void* pointer = nullptr;
};

bool parseNumber(const char* text, double* out) {
  if (!text) return false;
  char* end = nullptr;
  double v = NUMstrtod(text, &end);
  if (end == text) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end) return false;
  *out = v;
  return true;
}

bool toInt(double v, int* out) {
  if (std::isnan(v) || v >= 2147483648.0 || v <= -2147483649.0) return false;
  *out = static_cast<int>(v);  // truncates toward zero
  return true;
}

// Reads the value that id stands for: through references, expressions and value functions.
Read readValue(OMobj_id id) {
  Read r;
  uint32_t serial = 0;
  // A record its copy has not made holds no text or array, only a plain value.
  const Obj* o = resolveView(id.live == 1 ? id.serial : 0, &serial);
  if (!o) return r;
  if (o->has(kExpr)) {
    if (evalExpr(serial, &r.number)) r.what = Read::kNumber;
    return r;
  }
  if (!o->has(kSet)) {
    if (o->has(kValueFn)) {
      auto it = store().templates.find(templateOf(o, serial));
      if (it == store().templates.end()) return r;
      int iv = 0;
      if (it->second.methods.intGetter && it->second.methods.intGetter(idOf(serial), &iv) == 1) {
        r.what = Read::kNumber;
        r.number = iv;
        r.isInt = true;
      } else if (it->second.methods.realGetter &&
                 it->second.methods.realGetter(idOf(serial), &r.number) == 1) {
        r.what = Read::kNumber;
      }
    }
    return r;
  }
  switch (o->kind) {
    case OM_KIND_INT:
      r.what = Read::kNumber;
      r.number = o->value<int32_t>();
      r.isInt = true;
      break;
    case OM_KIND_REAL:
      r.what = Read::kNumber;
      r.number = o->value<double>();
      break;
    case OM_KIND_STRING:
      r.what = Read::kText;
      r.text = o->value<char*>();
      break;
    case OM_KIND_PTR:
    case OM_KIND_FUNC:
      r.what = Read::kPointer;
      r.pointer = o->value<void*>();
      break;
    default:
      break;
  }
  return r;
}

// The object a write lands on: the end of a reference chain, or id itself. A reference
// without an end, or an expression, is dropped and the object takes the value itself.
Obj* writeTarget(OMobj_id id, uint32_t* serialOut) {
  // An object being destroyed still takes writes (its destroy method may clear what it
  // published); nobody is notified of them.
  Obj* o = find(id);
  if (!o) return nullptr;
  uint32_t serial = id.serial;
  if (o->has(kRef)) {
    uint32_t end = resolve(serial);
    if (end && end != serial) {
      serial = end;
      o = find(end);
    } else {
      clearValue(o, serial);
    }
  }
  if (o->has(kExpr)) clearValue(o, serial);
  if (o->atts & OM_atts_locked) return nullptr;
  *serialOut = serial;
  return o;
}

std::string formatNumber(double v) {
  char buf[64];
  NUMsnprintf(buf, sizeof buf, "%.10g", v);
  return buf;
}

bool storeText(Obj* o, uint32_t serial, const char* text) {
  // A new text that fits where the old one is takes its place: a property showing a value
  // is written over and over, each time about as long as before.
  if (text && o->kind == OM_KIND_STRING && holdsPlainValue(o)) {
    char* held = o->value<char*>();
    size_t n = std::strlen(text);
    if (held && n < malloc_usable_size(held)) {
      std::memmove(held, text, n + 1);
      return true;
    }
  }
  char* copy = text ? strdup(text) : nullptr;
  if (text && !copy) return false;
  clearValue(o, serial);
  if (copy) {
    o->setValue(copy);
    o->flags |= kSet;
  }
  return true;
}

}  // namespace

uint32_t resolve(uint32_t serial) {
  return resolveView(serial, &serial) ? serial : 0;
}

const Obj* resolveView(uint32_t serial, uint32_t* end) {
  for (int i = 0; i < kMaxChain; ++i) {
    const Obj* o = valueView(serial);
    if (!o) return nullptr;
    if (!o->has(kRef)) {
      *end = serial;
      return o;
    }
    serial = o->target();
  }
  return nullptr;
}

bool dependsOn(uint32_t from, uint32_t on) {
  // Reading `from` reads what it refers to and its expression's operands; `on` is read by its
  // referrers and, for an operand, by its expression. The search runs from both ends a step
  // at a time and stops when either end has nothing left: a link added at the end of a long
  // chain (the usual order of a file) costs a step or two, not the chain's length, so a file
  // of many chained links is not quadratic.
  // The usual link (a control's "parent", a property to a value) leads to an object that
  // reads nothing else: it depends on `on` only by being it.
  if (from == on) return true;
  Obj scratch;
  const Obj* start = view(from, &scratch);
  if (start && !start->has(kRef) && !start->has(kExpr)) return false;
  struct Side {
    std::vector<uint32_t> stack;
    std::unordered_set<uint32_t> seen;
  };
  Side forward{{from}, {}}, backward{{on}, {}};
  while (!forward.stack.empty() && !backward.stack.empty()) {
    // The side that has done less goes next.
    bool ahead =
        forward.seen.size() + forward.stack.size() <= backward.seen.size() + backward.stack.size();
    Side& side = ahead ? forward : backward;
    Side& other = ahead ? backward : forward;
    uint32_t at = side.stack.back();
    side.stack.pop_back();
    if (other.seen.count(at) || at == (ahead ? on : from)) return true;
    if (!side.seen.insert(at).second) continue;
    Obj* a = find(at);
    if (!a) continue;
    if (ahead) {
      if (a->has(kRef)) side.stack.push_back(a->target());
      if (a->has(kExpr))
        for (uint32_t c = a->firstChild; c; c = find(c)->nextSibling)
          if (find(c)->has(kHidden)) side.stack.push_back(c);
    } else {
      for (uint32_t r = firstReferrer(a, at); r; r = find(r)->nextReferrer())
        side.stack.push_back(r);
      if (a->has(kHidden) && a->parent) side.stack.push_back(a->parent);
    }
  }
  return false;
}

bool makeRef(uint32_t serial, uint32_t target, const char* who) {
  // A link that would lead back to itself is refused rather than followed forever.
  if (dependsOn(target, serial)) {
    ERRerror(who, 0, 2, "reference cycle refused: %s would depend on itself",
             OMname_to_str(find(serial)->name));
    return false;
  }
  Obj* o = find(serial);
  clearValue(o, serial);
  o->slot[0] = target;
  o->flags |= kRef;
  addReferrer(target, serial);
  return true;
}

}  // namespace om

using namespace om;

int OMget_int_val(OMobj_id id, int* value) {
  // The common case (a plain int) needs no conversion machinery.
  const Obj* o = id.live == 1 ? valueView(id.serial) : nullptr;
  if (!o || !value) return 0;
  if (o->kind == OM_KIND_INT && holdsPlainValue(o)) {
    *value = o->value<int32_t>();
    return 1;
  }
  Read r = readValue(id);
  double v = 0;
  if (r.what == Read::kNumber)
    v = r.number;
  else if (r.what != Read::kText || !parseNumber(r.text, &v))
    return 0;
  return toInt(v, value) ? 1 : 0;
}

int OMget_real_val(OMobj_id id, double* value) {
  if (!value) return 0;
  Read r = readValue(id);
  if (r.what == Read::kNumber) {
    *value = r.number;
    return 1;
  }
  return r.what == Read::kText && parseNumber(r.text, value) ? 1 : 0;
}

int OMget_str_val(OMobj_id id, char** value, int size) {
  if (!value || size < 0) return 0;
  Read r = readValue(id);
  // A text is handed out from where it is held, without a copy in between; a number is
  // written out first.
  std::string number;
  const char* text = nullptr;
  if (r.what == Read::kText) {
    text = r.text;
  } else if (r.what == Read::kNumber) {
    number = r.isInt ? std::to_string(static_cast<long long>(r.number)) : formatNumber(r.number);
    text = number.c_str();
  } else {
    return 0;
  }
  if (size == 0) {  // the usual read: one copy, made for the caller
    *value = strdup(text);
    return *value ? 1 : 0;
  }
  if (!*value) return 0;  // into the caller's buffer, cut to fit
  size_t n = strnlen(text, static_cast<size_t>(size - 1));
  std::memcpy(*value, text, n);
  (*value)[n] = '\0';
  return 1;
}

int OMget_ptr_val(OMobj_id id, void** value, int) {
  if (!value) return 0;
  // The common case (a plain pointer, as bindings keep theirs) needs no reading machinery.
  const Obj* o = id.live == 1 ? valueView(id.serial) : nullptr;
  if (o && (o->kind == OM_KIND_PTR || o->kind == OM_KIND_FUNC) && holdsPlainValue(o)) {
    *value = o->value<void*>();
    return 1;
  }
  Read r = readValue(id);
  if (r.what != Read::kPointer) return 0;
  *value = r.pointer;
  return 1;
}

int OMget_func_val(OMobj_id id, OMpfi* fn) {
  void* p = nullptr;
  if (!fn || OMget_ptr_val(id, &p, 0) != 1) return 0;
  std::memcpy(fn, &p, sizeof p);
  return 1;
}

int OMis_set(OMobj_id id) {
  return readValue(id).what != Read::kNone ? 1 : 0;
}

int OMset_int_val(OMobj_id id, int value) {
  uint32_t serial = 0;
  Obj* o = writeTarget(id, &serial);
  if (!o) return 0;
  switch (o->kind) {
    case OM_KIND_INT:
      o->setValue<int32_t>(value);
      o->flags |= kSet;
      break;
    case OM_KIND_REAL:
      o->setValue<double>(value);
      o->flags |= kSet;
      break;
    case OM_KIND_STRING:
      if (!storeText(o, serial, std::to_string(value).c_str())) return 0;
      break;
    default:
      return 0;
  }
  changed(serial);
  maybeFlush();
  return 1;
}

int OMset_real_val(OMobj_id id, double value) {
  uint32_t serial = 0;
  Obj* o = writeTarget(id, &serial);
  if (!o) return 0;
  switch (o->kind) {
    case OM_KIND_INT: {
      int iv = 0;
      if (!toInt(value, &iv)) return 0;
      o->setValue<int32_t>(iv);
      o->flags |= kSet;
      break;
    }
    case OM_KIND_REAL:
      o->setValue<double>(value);
      o->flags |= kSet;
      break;
    case OM_KIND_STRING:
      if (!storeText(o, serial, formatNumber(value).c_str())) return 0;
      break;
    default:
      return 0;
  }
  changed(serial);
  maybeFlush();
  return 1;
}

int OMset_str_val(OMobj_id id, const char* value) {
  uint32_t serial = 0;
  Obj* o = writeTarget(id, &serial);
  if (!o) return 0;
  switch (o->kind) {
    case OM_KIND_STRING:
      if (!storeText(o, serial, value)) return 0;
      break;
    case OM_KIND_INT:
    case OM_KIND_REAL: {
      double v = 0;
      if (!value) {
        clearValue(o, serial);
        break;
      }
      if (!parseNumber(value, &v)) return 0;
      int iv = 0;
      if (o->kind == OM_KIND_INT) {
        if (!toInt(v, &iv)) return 0;
        o->setValue<int32_t>(iv);
      } else {
        o->setValue<double>(v);
      }
      o->flags |= kSet;
      break;
    }
    default:
      return 0;
  }
  changed(serial);
  maybeFlush();
  return 1;
}

int OMset_ptr_val(OMobj_id id, void* value, int) {
  uint32_t serial = 0;
  Obj* o = writeTarget(id, &serial);
  if (!o || (o->kind != OM_KIND_PTR && o->kind != OM_KIND_FUNC)) return 0;
  o->setValue(value);
  o->flags |= kSet;
  changed(serial);
  maybeFlush();
  return 1;
}

int OMset_func_val(OMobj_id id, OMpfi fn) {
  void* p = nullptr;
  std::memcpy(&p, &fn, sizeof p);
  return OMset_ptr_val(id, p, 0);
}

int OMget_name_int_val(OMobj_id parent, OMobj_name name, int* value) {
  return OMget_int_val(OMfind_subobj(parent, name, 0), value);
}
int OMset_name_int_val(OMobj_id parent, OMobj_name name, int value) {
  return OMset_int_val(OMfind_subobj(parent, name, 0), value);
}
int OMget_name_real_val(OMobj_id parent, OMobj_name name, double* value) {
  return OMget_real_val(OMfind_subobj(parent, name, 0), value);
}
int OMset_name_real_val(OMobj_id parent, OMobj_name name, double value) {
  return OMset_real_val(OMfind_subobj(parent, name, 0), value);
}
int OMget_name_str_val(OMobj_id parent, OMobj_name name, char** value, int size) {
  return OMget_str_val(OMfind_subobj(parent, name, 0), value, size);
}
int OMset_name_str_val(OMobj_id parent, OMobj_name name, const char* value) {
  return OMset_str_val(OMfind_subobj(parent, name, 0), value);
}

// ---- References ------------------------------------------------------------------------

int OMget_obj_val(OMobj_id id, OMobj_id* value) {
  const Obj* o = id.live == 1 ? valueView(id.serial) : nullptr;
  if (!o || !value) return 0;
  uint32_t end = 0;
  const Obj* e = resolveView(id.serial, &end);
  if (!e || !(e->has(kSet) || e->has(kExpr) || e->has(kValueFn) || e->kind == OM_KIND_GROUP ||
              e->kind == OM_KIND_OBJ_ARRAY || end != id.serial))
    return 0;
  *value = idOf(end);
  return 1;
}

int OMget_obj_pval(OMobj_id id, OMobj_id* value, int) {
  Obj scratch, targetScratch;
  const Obj* o = view(id, &scratch);
  if (!o || !value || !o->has(kRef) || !view(o->target(), &targetScratch)) return 0;
  *value = idOf(o->target());
  return 1;
}

int OMset_obj_ref(OMobj_id id, OMobj_id target, int) {
  Obj* o = find(id);
  if (!o || o->has(kDying) || (o->atts & OM_atts_locked)) return 0;
  if (!target.serial) {
    if (!(o->flags & (kSet | kRef | kExpr))) return 1;
    clearValue(o, id.serial);
  } else {
    Obj* t = find(target);
    if (!t || t->has(kDying)) return 0;
    if (o->has(kRef) && o->target() == target.serial) return 1;
    if (!makeRef(id.serial, target.serial, "OMset_obj_ref")) return 0;
  }
  changed(id.serial);
  maybeFlush();
  return 1;
}

int OMset_obj_val(OMobj_id id, OMobj_id target, int mode) {
  return OMset_obj_ref(id, target, mode);
}
int OMlink_objs(OMobj_id id, OMobj_id target) {
  return OMset_obj_ref(id, target, 0);
}

int OMget_num_refs(OMobj_id id) {
  Obj* o = find(id);
  if (!o) return 0;
  if (o->has(kRef)) return find(o->target()) ? 1 : 0;
  if (o->kind != OM_KIND_OBJ_ARRAY) return 0;
  int n = 0;
  for (uint32_t c = o->firstChild; c; c = find(c)->nextSibling)
    if (find(c)->has(kRef)) ++n;
  return n;
}

int OMcstruct_update_om(OMobj_id id, const void* data, const OMcstruct_field* fields, int count,
                        unsigned long mask) {
  if (!find(id) || !data || !fields || count < 0) return 0;
  const char* base = static_cast<const char*>(data);
  int ok = 1;
  OMpush_ctx(id, 0, 0, 0);
  for (int i = 0; i < count && i < static_cast<int>(8 * sizeof mask); ++i) {
    if (!(mask & (1ul << i))) continue;
    OMobj_id prop = OMfind_subobj(id, OMstr_to_name(fields[i].name), 0);
    const char* at = base + fields[i].offset;
    int written = 0;
    switch (fields[i].type) {
      case OM_TYPE_INT: {
        int v;
        std::memcpy(&v, at, sizeof v);
        written = OMset_int_val(prop, v);
        break;
      }
      case OM_TYPE_DOUBLE: {
        double v;
        std::memcpy(&v, at, sizeof v);
        written = OMset_real_val(prop, v);
        break;
      }
      case OM_TYPE_STRING: {
        const char* v;
        std::memcpy(&v, at, sizeof v);
        written = v ? OMset_str_val(prop, v) : OMset_obj_val(prop, OMnull_obj, 0);
        break;
      }
      case OM_CSTRUCT_STRING_ARRAY: {
        char* const* v;
        int count;
        std::memcpy(&v, at, sizeof v);
        std::memcpy(&count, base + fields[i].countOffset, sizeof count);
        int n = 0;
        while (v && n < count && v[n]) ++n;
        // Sized first: entries the structure no longer has go from the object too.
        written = OMset_array_size(prop, n);
        for (int k = 0; k < n && written == 1; ++k) written = OMset_str_array_val(prop, k, v[k]);
        break;
      }
    }
    if (written != 1) ok = 0;
  }
  OMpop_ctx(id);
  return ok;
}
