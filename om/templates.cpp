// Templates: the method registry, reading template files, making objects from templates,
// copying subtrees and matching types.
#include <yaml-cpp/eventhandler.h>
#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <sstream>
#include <unordered_map>

#include "om/om_text.h"
#include "om_internal.h"
#include "svc/err.h"
#include "svc/number.h"

namespace om {

namespace {

struct Registry {
  std::unordered_map<std::string, OMinstance_fn> instance;
  std::unordered_map<std::string, OMupdate_fn> update;
  std::unordered_map<std::string, OMupdate1_fn> update1;
  std::unordered_map<std::string, OMint_getter_fn> intGetter;
  std::unordered_map<std::string, OMreal_getter_fn> realGetter;
  std::unordered_map<std::string, OMomx_factory_fn> omx;
};

Registry& registry() {
  static Registry* r = new Registry;
  return *r;
}

// What one template text may make, in objects: a template made of ten copies of one made of
// ten copies of ... is a few lines long and would otherwise make billions.
constexpr uint32_t kMaxTemplateObjects = 1u << 18;
constexpr int kMaxTemplateNesting = 64;
constexpr uintmax_t kMaxTemplateFileBytes = 16u << 20;

// The number of objects in serial's subtree, counted up to cap.
uint32_t subtreeSize(uint32_t serial, uint32_t cap) {
  std::vector<uint32_t> stack{serial};
  uint32_t n = 0;
  while (!stack.empty() && n <= cap) {
    Obj* o = find(stack.back());
    stack.pop_back();
    if (!o) continue;
    ++n;
    for (uint32_t c = o->firstChild; c; c = find(c)->nextSibling) stack.push_back(c);
  }
  return n;
}

// Finds the first alias of a document from the parser's events, without building nodes.
class AliasFinder : public YAML::EventHandler {
 public:
  struct Found {
    YAML::Mark mark;
  };
  void OnDocumentStart(const YAML::Mark&) override {}
  void OnDocumentEnd() override {}
  void OnNull(const YAML::Mark&, YAML::anchor_t) override {}
  void OnAlias(const YAML::Mark& mark, YAML::anchor_t) override { throw Found{mark}; }
  void OnScalar(const YAML::Mark&, const std::string&, YAML::anchor_t,
                const std::string&) override {}
  void OnSequenceStart(const YAML::Mark&, const std::string&, YAML::anchor_t,
                       YAML::EmitterStyle::value) override {}
  void OnSequenceEnd() override {}
  void OnMapStart(const YAML::Mark&, const std::string&, YAML::anchor_t,
                  YAML::EmitterStyle::value) override {}
  void OnMapEnd() override {}
};

template <typename Map>
auto lookup(const Map& map, const std::string& name) -> typename Map::mapped_type {
  auto it = map.find(name);
  return it == map.end() ? nullptr : it->second;
}

// Copies what the value slot holds (deep for strings, arrays and expressions).
void copyValue(const Obj* src, Obj* dst) {
  dst->slot[0] = dst->slot[1] = 0;
  if (src->has(kExpr)) {
    dst->setValue(new Expr(*src->value<Expr*>()));
    return;
  }
  if (!src->has(kSet) || src->has(kRef)) return;
  switch (src->kind) {
    case OM_KIND_STRING:
      dst->setValue(strdup(src->value<char*>()));
      break;
    case OM_KIND_INT_ARRAY:
    case OM_KIND_REAL_ARRAY:
    case OM_KIND_STR_ARRAY: {
      const ArrayData* a = src->value<ArrayData*>();
      ArrayData* c = new ArrayData(*a);
      for (char*& s : c->strings)
        if (s) s = strdup(s);
      dst->setValue(c);
      break;
    }
    default:
      std::memcpy(dst->slot, src->slot, sizeof dst->slot);
  }
}

// The shape of a subtree to copy: its records in the order they are made (parents first,
// children in order), each with the positions of its parent, first child and next sibling in
// that order. A copy takes one run of fresh serials, so that position i is serial base + i and
// every link is known before any record is written: the records are filled in one pass, with
// no list walked and no record looked up twice. The plan of a template is made once and kept
// until some template's tree changes (Store::templateEdits). A template's plan also has the
// shape its copies' runs read their unwritten records from, which holds the template's values
// as they were: it is made again when a record of the template has changed since (its stamp,
// attributes, kind or flags differ), and the copies made before keep the shape they were made
// with. The source records are only read (a template's typed member is itself a copy, whose
// unwritten records stay unmade).
struct CopyPlan {
  struct Entry {
    uint32_t source;
    uint32_t parent;       // position; unused for the top
    uint32_t firstChild;   // position, 0 for none (the top is nobody's child)
    uint32_t nextSibling;  // position, 0 for none
  };
  std::vector<Entry> entries;
  // (source, position) sorted by source: where references and array sizes pointing inside the
  // subtree go in the copy. Made on the first copy that needs it.
  std::vector<std::pair<uint32_t, uint32_t>> bySource;
  uint32_t edits = 0;  // Store::templateEdits when made
  // A template's plan only: the shape of its copies, and each source record as the shape was
  // made from it (its stamp, attributes, kind and flags).
  std::shared_ptr<const RunShape> shape;
  struct Seen {
    // The flags that say what a record is (the others come and go as it is used).
    static constexpr uint16_t kWhat =
        kSet | kRef | kExpr | kHidden | kValueFn | kTyped | kArrayInfo | kTemplate;
    uint32_t stamp;
    uint8_t atts, kind;
    uint16_t flags;
    bool same(const Obj* o) const {
      return o->stamp == stamp && o->atts == atts && o->kind == kind && (o->flags & kWhat) == flags;
    }
  };
  std::vector<Seen> seen;
  // Each source record that lives in a page (not in a run), as read when the shape was made:
  // it stays where it is while it lives, and it lives while no link inside a template has
  // changed (edits), so the check before a copy reads it without looking it up. Null for a
  // source in a run (a template's typed member), which is looked up each time.
  std::vector<const Obj*> paged;
};

// The plans of the templates copied so far, by template.
std::unordered_map<uint32_t, CopyPlan>& templatePlans() {
  static auto* plans = new std::unordered_map<uint32_t, CopyPlan>;
  return *plans;
}

}  // namespace

void forgetTemplate(uint32_t serial) {
  Store& s = store();
  Obj* o = find(serial);
  if (!o) return;
  auto& list = s.templateIndex[o->name];
  list.erase(std::remove(list.begin(), list.end(), serial), list.end());
  templatePlans().erase(serial);
  // The template's description stays (serials are never reused): objects made from it keep
  // their methods, value getters and base chain after it is gone.
}

namespace {

// Fills plan with src's subtree. stack is working space.
void makePlan(uint32_t src, CopyPlan* plan, std::vector<std::pair<uint32_t, uint32_t>>* stack) {
  plan->entries.clear();
  plan->bySource.clear();
  plan->shape.reset();
  plan->seen.clear();
  plan->paged.clear();
  plan->edits = store().templateEdits;
  std::vector<uint32_t> lastChild;  // by position: its last child so far
  stack->assign(1, {src, 0});
  while (!stack->empty()) {
    auto [from, up] = stack->back();
    stack->pop_back();
    auto self = static_cast<uint32_t>(plan->entries.size());
    plan->entries.push_back({from, up, 0, 0});
    lastChild.push_back(0);
    if (self) {
      if (uint32_t last = lastChild[up])
        plan->entries[last].nextSibling = self;
      else
        plan->entries[up].firstChild = self;
      lastChild[up] = self;
    }
    size_t mark = stack->size();
    Obj scratch;
    for (uint32_t c = view(from, &scratch)->firstChild; c; c = view(c, &scratch)->nextSibling)
      stack->emplace_back(c, self);
    std::reverse(stack->begin() + static_cast<long>(mark), stack->end());
  }
}

// What a template's plan needs before a copy, in one pass over its records: kHolds, kShape
// when a record has been written (a write stamps it) or had its attributes, kind or flags
// changed since the shape was made, kPlan when a record is gone. A plan is made again
// whenever a link inside a template changes, so none is gone; that is checked all the same,
// as a record gone would be read from a page that may be gone too.
enum class PlanNeeds { kHolds, kShape, kPlan };
PlanNeeds planNeeds(const CopyPlan& plan) {
  PlanNeeds needs = plan.shape ? PlanNeeds::kHolds : PlanNeeds::kShape;
  Obj scratch;
  for (size_t i = 0; i < plan.entries.size(); ++i) {
    const Obj* known = i < plan.paged.size() ? plan.paged[i] : nullptr;  // none before a shape
    const Obj* so = known ? known : view(plan.entries[i].source, &scratch);
    if (!so || !so->kind) return PlanNeeds::kPlan;
    if (needs == PlanNeeds::kHolds && !plan.seen[i].same(so)) needs = PlanNeeds::kShape;
  }
  return needs;
}

// A record a copy need not make until something writes it: a plain value (number, pointer,
// or none) or a group, that is no reference or expression, computes no value, has no array
// description or operands of its own, holds no text or array, and whose type, if it has one,
// gives it no methods (its run's shape keeps the type).
bool lazyRecord(const Obj* so, uint32_t serial) {
  if (so->flags & (kRef | kExpr | kHidden | kValueFn | kArrayInfo | kTemplate)) return false;
  if (so->has(kTyped)) {
    auto t = store().templates.find(templateOf(so, serial));
    if (t == store().templates.end() || t->second.methods.any() || t->second.methods.intGetter ||
        t->second.methods.realGetter)
      return false;
  }
  if (!so->has(kSet)) return true;
  switch (so->kind) {
    case OM_KIND_STRING:
    case OM_KIND_INT_ARRAY:
    case OM_KIND_REAL_ARRAY:
    case OM_KIND_STR_ARRAY:
      return false;
    default:
      return true;
  }
}

// Makes the shape of a template's copies from its plan.
void makeShape(CopyPlan* plan) {
  auto shape = std::make_shared<RunShape>();
  static uint32_t shapesMade = 0;
  shape->id = ++shapesMade;
  size_t n = plan->entries.size();
  shape->records.resize(n);
  shape->types.assign(n, 0);
  plan->seen.resize(n);
  plan->paged.assign(n, nullptr);
  Obj scratch;
  for (size_t i = 0; i < n; ++i) {
    const CopyPlan::Entry& e = plan->entries[i];
    const Obj* so = view(e.source, &scratch);
    Obj& r = shape->records[i];
    r = Obj{};
    r.name = so->name;
    r.kind = so->kind;
    r.atts = so->atts;
    r.flags = so->flags & (kSet | kExpr | kHidden | kValueFn);
    r.parent = e.parent;
    r.firstChild = e.firstChild;
    r.nextSibling = e.nextSibling;
    if (i && lazyRecord(so, e.source)) {
      r.flags |= so->flags & kTyped;
      if (so->has(kSet)) std::memcpy(r.slot, so->slot, sizeof r.slot);
    } else {
      shape->cellsHint++;  // made by every copy
      shape->made.push_back(static_cast<uint32_t>(i));
    }
    plan->seen[i] = {so->stamp, so->atts, so->kind,
                     static_cast<uint16_t>(so->flags & CopyPlan::Seen::kWhat)};
    if (e.source < kRunBase) plan->paged[i] = so;
    shape->types[i] = templateOf(so, e.source);
    if (i && !(so->flags & kHidden) && so->name)
      shape->named.push_back({e.parent, so->name, static_cast<uint32_t>(i)});
  }
  // Names two visible children of one parent share are left to the search, which answers the
  // first.
  auto& named = shape->named;
  std::stable_sort(named.begin(), named.end());
  std::vector<RunShape::Named> unique;
  shape->sharesNames.assign(n, 0);
  for (size_t k = 0; k < named.size(); ++k) {
    bool shared =
        (k && named[k - 1].parent == named[k].parent && named[k - 1].name == named[k].name) ||
        (k + 1 < named.size() && named[k + 1].parent == named[k].parent &&
         named[k + 1].name == named[k].name);
    if (!shared)
      unique.push_back(named[k]);
    else
      shape->sharesNames[named[k].parent] = 1;
  }
  named.swap(unique);
  size_t slots = 1;
  while (slots < 2 * named.size()) slots <<= 1;
  shape->namedSlots.assign(slots, 0);
  for (size_t k = 0; k < named.size(); ++k) {
    size_t h = RunShape::namedSlot(named[k].parent, named[k].name) & (slots - 1);
    while (shape->namedSlots[h]) h = (h + 1) & (slots - 1);
    shape->namedSlots[h] = static_cast<uint32_t>(k + 1);
  }
  shape->childStart.assign(n + 1, 0);
  for (size_t i = 0; i < n; ++i) {
    shape->childStart[i] = static_cast<uint32_t>(shape->children.size());
    for (uint32_t c = plan->entries[i].firstChild; c; c = plan->entries[c].nextSibling)
      if (!(shape->records[c].flags & kHidden)) shape->children.push_back(c);
  }
  shape->childStart[n] = static_cast<uint32_t>(shape->children.size());
  shape->subtreeEnd.assign(n, 0);
  for (size_t i = n; i-- > 0;) {
    uint32_t end = static_cast<uint32_t>(i + 1);
    for (uint32_t c = plan->entries[i].firstChild; c; c = plan->entries[c].nextSibling)
      end = std::max(end, shape->subtreeEnd[c]);
    shape->subtreeEnd[i] = end;
  }
  // Children first, siblings in order: each record after the subtrees of its children.
  std::vector<std::pair<uint32_t, bool>> walk{{0, false}};
  while (!walk.empty()) {
    auto [at, expanded] = walk.back();
    walk.pop_back();
    if (expanded) {
      shape->postorder.push_back(at);
      continue;
    }
    walk.push_back({at, true});
    size_t mark = walk.size();
    for (uint32_t c = plan->entries[at].firstChild; c; c = plan->entries[c].nextSibling)
      walk.push_back({c, false});
    std::reverse(walk.begin() + static_cast<long>(mark), walk.end());
  }
  plan->shape = std::move(shape);
}

// Copies the subtree plan describes under parent (unlinked when 0), naming its top `name`.
// The copy's records take the serials base .. base + n - 1. 0 when the serials are used up.
uint32_t copyByPlan(CopyPlan& plan, uint32_t name, uint32_t parent) {
  Store& s = store();
  auto n = static_cast<uint32_t>(plan.entries.size());
  // A template's copy is a run, whose plain records are made when written; another subtree's
  // (or a template's once run serials are used up) is made whole in pages.
  const RunShape* shape = plan.shape.get();
  uint32_t base = shape ? newRun(plan.shape) : 0;
  if (!base) shape = nullptr, base = newSerials(n);
  if (!base) return 0;
  // The positions the copy makes: a template's copy, only those its shape does not leave
  // lazy (most of a control's properties are); a subtree made whole, all of them.
  std::vector<uint32_t> all;
  if (!shape) {
    all.resize(n);
    std::iota(all.begin(), all.end(), 0u);
  }
  const std::vector<uint32_t>& positions = shape ? shape->made : all;
  bool remap = false;  // references or array sizes to point into the copy
  Obj scratch;         // a source its own copy has not made is read from its shape
  for (uint32_t i : positions) {
    const CopyPlan::Entry& e = plan.entries[i];
    const Obj* so = view(e.source, &scratch);
    uint32_t copy = base + i;
    Obj* co;
    if (shape) {
      co = runRecord(copy);  // name, kind, flags and links from the shape
      co->stamp = nextStamp();
      if (!i) co->name = name;
    } else {
      co = startRecord(copy, i ? so->name : name, so->kind);
      co->atts = so->atts;
      co->flags = so->flags & (kSet | kExpr | kHidden | kValueFn);
      co->parent = i ? base + e.parent : 0;
      co->firstChild = e.firstChild ? base + e.firstChild : 0;
      co->nextSibling = e.nextSibling ? base + e.nextSibling : 0;
    }
    if (uint32_t t = templateOf(so, e.source)) setTemplateOf(co, copy, t);
    copyValue(so, co);
    if (so->has(kRef) || so->has(kArrayInfo)) remap = true;
    if (so->has(kArrayInfo)) {
      auto et = s.elementTemplates.find(e.source);
      if (et != s.elementTemplates.end()) {
        s.elementTemplates[copy] = et->second;
        co->flags |= kArrayInfo;
      }
    }
  }
  if (parent) linkChild(parent, base, true);
  if (remap && plan.bySource.empty()) {
    for (uint32_t i = 0; i < n; ++i) plan.bySource.emplace_back(plan.entries[i].source, i);
    std::sort(plan.bySource.begin(), plan.bySource.end());
  }
  // The copy of a source inside the tree, or 0.
  auto copyOf = [&](uint32_t from) -> uint32_t {
    auto it =
        std::lower_bound(plan.bySource.begin(), plan.bySource.end(), std::make_pair(from, 0u));
    return it != plan.bySource.end() && it->first == from ? base + it->second : 0;
  };
  for (uint32_t i : positions) {
    uint32_t from = plan.entries[i].source, copy = base + i;
    const Obj* so = view(from, &scratch);
    if (so->has(kArrayInfo)) {
      auto sized = s.arraySizes.find(from);
      if (sized != s.arraySizes.end()) {
        uint32_t hit = copyOf(sized->second);
        s.arraySizes[copy] = hit ? hit : sized->second;
        linked(copy)->flags |= kArrayInfo;
      }
    }
    if (so->has(kRef)) {
      uint32_t hit = copyOf(so->target());
      makeRef(copy, hit ? hit : so->target(), "OMcopy_obj");
    }
    if (!so->has(kTemplate))
      if (uint32_t t = templateOf(so, from)) attachMethods(copy, t);
  }
  return base;
}

}  // namespace

uint32_t copyTree(uint32_t src, uint32_t name, uint32_t parent) {
  Obj scratch;
  const Obj* o = view(src, &scratch);
  if (!o) return 0;
  // A plan made for a subtree that is not a template is used once. The working space is kept
  // between copies (a control's template is about forty-five records), unless a copy runs
  // inside another (nothing a copy calls copies today).
  static auto* scratchPlan = new CopyPlan;
  static auto* stack = new std::vector<std::pair<uint32_t, uint32_t>>;
  static bool busy = false;
  if (busy) {
    CopyPlan own;
    std::vector<std::pair<uint32_t, uint32_t>> ownStack;
    makePlan(src, &own, &ownStack);
    return copyByPlan(own, name, parent);
  }
  busy = true;
  CopyPlan* plan = scratchPlan;
  if (o->has(kTemplate)) {
    auto [it, made] = templatePlans().try_emplace(src);
    plan = &it->second;
    PlanNeeds needs =
        made || plan->edits != store().templateEdits ? PlanNeeds::kPlan : planNeeds(*plan);
    if (needs == PlanNeeds::kPlan) makePlan(src, plan, stack);
    if (needs != PlanNeeds::kHolds) makeShape(plan);
  } else {
    makePlan(src, plan, stack);
  }
  uint32_t copy = copyByPlan(*plan, name, parent);
  busy = false;
  // Working space grown by a large copy (a whole interface) is not kept.
  if (scratchPlan->entries.capacity() > 4096) *scratchPlan = CopyPlan{};
  if (stack->capacity() > 4096) *stack = {};
  return copy;
}

uint32_t instantiate(uint32_t templ, uint32_t name, uint32_t parent) {
  uint32_t copy = copyTree(templ, name, parent);
  if (!copy) return 0;
  attachMethods(copy, templ);
  return copy;
}

uint32_t findTemplate(const char* path) {
  if (!path || !*path) return 0;
  OMinit();
  if (std::strchr(path, '.')) {
    OMobj_id t = OMfind_str_subobj(OMtempl_obj, path, 0);
    Obj* o = find(t);
    return o && o->has(kTemplate) ? t.serial : 0;
  }
  Store& s = store();
  auto it = s.templateIndex.find(OMstr_to_name(path));
  if (it == s.templateIndex.end() || it->second.empty()) return 0;
  return it->second.back();  // the newest definition of a name wins
}

// ---- Reading template files ------------------------------------------------------------

namespace {

struct KindName {
  const char* name;
  int kind;
};
constexpr KindName kKinds[] = {
    {"int", OM_KIND_INT},           {"real", OM_KIND_REAL},
    {"string", OM_KIND_STRING},     {"ptr", OM_KIND_PTR},
    {"func", OM_KIND_FUNC},         {"ref", OM_KIND_REF},
    {"group", OM_KIND_GROUP},       {"int[]", OM_KIND_INT_ARRAY},
    {"real[]", OM_KIND_REAL_ARRAY}, {"string[]", OM_KIND_STR_ARRAY},
    {"obj[]", OM_KIND_OBJ_ARRAY},
};

int kindOf(const std::string& name) {
  for (const KindName& k : kKinds)
    if (name == k.name) return k.kind;
  return 0;
}

class TemplateReader {
 public:
  TemplateReader(std::string origin, std::vector<OMtemplate_error>* errors)
      : origin_(std::move(origin)), errors_(errors) {}

  bool read(const YAML::Node& doc, uint32_t staging) {
    staging_ = staging;
    firstSerial_ = store().nextSerial;
    if (!doc.IsMap() || !doc["templates"] || !doc["templates"].IsMap()) {
      error(doc, "a template file is a mapping with a 'templates' mapping");
      return false;
    }
    for (auto it = doc["templates"].begin(); it != doc["templates"].end(); ++it)
      readTemplate(it->first, it->second);
    return ok_;
  }

  const std::vector<std::pair<uint32_t, std::string>>& made() const { return made_; }

 private:
  void error(const YAML::Node& at, const std::string& message) {
    ok_ = false;
    if (!errors_) return;
    OMtemplate_error e;
    e.file = origin_;
    YAML::Mark m = at.Mark();
    e.line = m.line >= 0 ? m.line + 1 : 0;
    e.column = m.column >= 0 ? m.column + 1 : 0;
    e.message = message;
    errors_->push_back(e);
  }

  void readTemplate(const YAML::Node& key, const YAML::Node& body) {
    std::string name = key.Scalar();
    if (name.empty() || name.find('.') != std::string::npos) {
      error(key, "bad template name '" + name + "'");
      return;
    }
    if (!body.IsMap() && !body.IsNull()) {
      error(body, "template '" + name + "' must be a mapping");
      return;
    }
    uint32_t t = newObj(OMstr_to_name(name.c_str()), OM_KIND_GROUP, staging_);
    find(t)->flags |= kTemplate;
    TemplateInfo& info = store().templates[t];
    std::string library;
    if (body.IsMap()) {
      for (auto it = body.begin(); it != body.end(); ++it) {
        std::string k = it->first.Scalar();
        if (k != "base" && k != "methods" && k != "properties" && k != "library" && k != "kind")
          error(it->first, "unknown key '" + k + "' in template '" + name + "'");
      }
      if (const YAML::Node base = body["base"]) {
        uint32_t b = findTemplate(base.Scalar().c_str());
        if (!b) {
          error(base, "unknown base template '" + base.Scalar() + "'");
        } else {
          info.base = b;
          info.methods = store().templates[b].methods;
          if (withinBudget(base, b))
            for (uint32_t c : children(b)) copyTree(c, find(c)->name, t);
        }
      }
      if (const YAML::Node lib = body["library"]) library = lib.Scalar();
      if (const YAML::Node kind = body["kind"]) {
        int k = kindOf(kind.Scalar());
        if (!k)
          error(kind, "unknown kind '" + kind.Scalar() + "'");
        else
          find(t)->kind = static_cast<uint8_t>(k);
      }
      if (const YAML::Node methods = body["methods"]) readMethods(methods, &store().templates[t]);
      if (const YAML::Node props = body["properties"]) {
        if (!props.IsMap())
          error(props, "'properties' must be a mapping");
        else
          for (auto it = props.begin(); it != props.end(); ++it)
            readProperty(t, it->first, it->second);
      }
    }
    store().templateIndex[OMstr_to_name(name.c_str())].push_back(t);
    made_.emplace_back(t, library);
  }

  void readMethods(const YAML::Node& methods, TemplateInfo* info) {
    if (!methods.IsMap()) {
      error(methods, "'methods' must be a mapping");
      return;
    }
    Registry& r = registry();
    for (auto it = methods.begin(); it != methods.end(); ++it) {
      std::string role = it->first.Scalar();
      std::string fn = it->second.Scalar();
      bool found = true;
      Methods& m = info->methods;
      if (role == "instance")
        found = (m.instance = lookup(r.instance, fn)) != nullptr;
      else if (role == "destroy")
        found = (m.destroy = lookup(r.instance, fn)) != nullptr;
      else if (role == "update")
        found = (m.update = lookup(r.update, fn)) != nullptr;
      else if (role == "update1")
        found = (m.update1 = lookup(r.update1, fn)) != nullptr;
      else if (role == "getter")
        found = (m.intGetter = lookup(r.intGetter, fn)) != nullptr;
      else if (role == "real_getter")
        found = (m.realGetter = lookup(r.realGetter, fn)) != nullptr;
      else if (role == "class")
        found = (m.omx = lookup(r.omx, fn)) != nullptr;
      else {
        error(it->first, "unknown method role '" + role + "'");
        continue;
      }
      if (!found) error(it->second, "no " + role + " method registered as '" + fn + "'");
    }
  }

  // False (reported at `at`) when copying template t would pass the file's object budget.
  bool withinBudget(const YAML::Node& at, uint32_t t) {
    uint32_t made = store().nextSerial - firstSerial_;
    uint32_t left = made < kMaxTemplateObjects ? kMaxTemplateObjects - made : 0;
    if (subtreeSize(t, left) <= left) return true;
    error(at, "the templates make too many objects (more than " +
                  std::to_string(kMaxTemplateObjects) + ")");
    return false;
  }

  void readProperty(uint32_t parent, const YAML::Node& key, const YAML::Node& decl) {
    std::string name = key.Scalar();
    if (name.empty() || name.find('.') != std::string::npos) {
      error(key, "bad property name '" + name + "'");
      return;
    }
    OMobj_name token = OMstr_to_name(name.c_str());
    // A redeclared (inherited) property is replaced.
    if (uint32_t old = findChild(parent, token)) OMdestroy_obj(idOf(old), 0);
    if (decl.IsScalar()) {
      int kind = kindOf(decl.Scalar());
      if (!kind)
        error(decl, "unknown kind '" + decl.Scalar() + "'");
      else
        newObj(token, kind, parent);
      return;
    }
    if (!decl.IsMap()) {
      error(decl, "property '" + name + "' must be a kind or a mapping");
      return;
    }
    if (const YAML::Node type = decl["type"]) {
      uint32_t t = findTemplate(type.Scalar().c_str());
      if (!t)
        error(type, "unknown template '" + type.Scalar() + "'");
      else if (withinBudget(type, t))
        instantiate(t, token, parent);
      return;
    }
    const YAML::Node kindNode = decl["kind"];
    int kind = kindNode ? kindOf(kindNode.Scalar()) : 0;
    if (!kind) {
      error(kindNode ? kindNode : decl, "property '" + name + "' needs a known 'kind' or 'type'");
      return;
    }
    uint32_t p = newObj(token, kind, parent);
    if (const YAML::Node members = decl["members"]) {
      if (kind != OM_KIND_GROUP || !members.IsMap()) {
        error(members, "'members' needs a group");
      } else if (depth_ >= kMaxTemplateNesting) {
        error(members, "groups nest too deeply");
      } else {
        ++depth_;
        for (auto it = members.begin(); it != members.end(); ++it)
          readProperty(p, it->first, it->second);
        --depth_;
      }
    }
    if (const YAML::Node elements = decl["elements"]) {
      uint32_t t = findTemplate(elements.Scalar().c_str());
      if (kind != OM_KIND_OBJ_ARRAY || !t) {
        error(elements, "'elements' needs obj[] and a template");
      } else {
        store().elementTemplates[p] = t;
        find(p)->flags |= kArrayInfo;
      }
    }
    if (const YAML::Node size = decl["size"]) {
      uint32_t from = findChild(parent, OMstr_to_name(size.Scalar().c_str()));
      if (kind != OM_KIND_OBJ_ARRAY || !from || find(from)->kind != OM_KIND_INT) {
        error(size, "'size' names an int property declared before the obj[]");
      } else {
        store().arraySizes[p] = from;
        find(p)->flags |= kArrayInfo;
      }
    }
    if (const YAML::Node def = decl["default"]) setDefault(p, parent, def);
  }

  void setDefault(uint32_t p, uint32_t scope, const YAML::Node& def) {
    OMobj_id id = idOf(p);
    int kind = find(p)->kind;
    if (def.IsSequence()) {
      bool ok =
          kind == OM_KIND_INT_ARRAY || kind == OM_KIND_REAL_ARRAY || kind == OM_KIND_STR_ARRAY;
      for (size_t i = 0; ok && i < def.size(); ++i) {
        int idx = static_cast<int>(i);
        const std::string& text = def[i].Scalar();
        ok = kind == OM_KIND_STR_ARRAY ? OMset_str_array_val(id, idx, text.c_str()) == 1
                                       : setNumberAt(id, idx, text);
      }
      if (!ok) error(def, "bad default for an array");
      return;
    }
    const std::string& text = def.Scalar();
    if (text.rfind("=>", 0) == 0) {
      std::string why;
      if (!OMset_expression(id, idOf(scope), text.c_str() + 2, &why, nullptr))
        error(def, "bad link: " + why);
      return;
    }
    bool ok = false;
    if (kind == OM_KIND_INT || kind == OM_KIND_REAL || kind == OM_KIND_STRING)
      ok = OMset_str_val(id, text.c_str()) == 1;
    if (!ok) error(def, "bad default '" + text + "'");
  }

  static bool setNumberAt(OMobj_id id, int index, const std::string& text) {
    char* end = nullptr;
    double v = NUMstrtod(text.c_str(), &end);
    return !text.empty() && !*end && OMset_real_array_val(id, index, v) == 1;
  }

  std::string origin_;
  std::vector<OMtemplate_error>* errors_;
  uint32_t staging_ = 0;
  uint32_t firstSerial_ = 0;  // serials from here on were made by this text
  int depth_ = 0;             // groups inside groups at the property being read
  bool ok_ = true;
  std::vector<std::pair<uint32_t, std::string>> made_;  // template, library path
};

// The group that holds a library's templates ("UI.Controls"), made on demand.
uint32_t libraryGroup(const std::string& path) {
  uint32_t at = OMtempl_obj.serial;
  std::stringstream parts(path);
  std::string part;
  while (std::getline(parts, part, '.')) {
    if (part.empty()) continue;
    OMobj_name token = OMstr_to_name(part.c_str());
    uint32_t next = findChild(at, token);
    at = next ? next : newObj(token, OM_KIND_GROUP, at);
  }
  return at;
}

}  // namespace

}  // namespace om

using namespace om;

void OMregister_instance_method(const char* name, OMinstance_fn fn) {
  if (name) registry().instance[name] = fn;
}
void OMregister_update_method(const char* name, OMupdate_fn fn) {
  if (name) registry().update[name] = fn;
}
void OMregister_update1_method(const char* name, OMupdate1_fn fn) {
  if (name) registry().update1[name] = fn;
}
void OMregister_int_getter(const char* name, OMint_getter_fn fn) {
  if (name) registry().intGetter[name] = fn;
}
void OMregister_real_getter(const char* name, OMreal_getter_fn fn) {
  if (name) registry().realGetter[name] = fn;
}
void OMregister_omx_class(const char* name, OMomx_factory_fn fn) {
  if (name) registry().omx[name] = fn;
}

OMobj_id OMfind_template(const char* pathOrName) {
  return idOf(findTemplate(pathOrName));
}

int OMint_get_real_val(OMobj_id id, double* value) {
  Obj* o = find(id);
  if (!o || !value) return 0;
  auto it = store().templates.find(templateOf(o, id.serial));
  if (it == store().templates.end() || !it->second.methods.intGetter) return 0;
  int v = 0;
  int status = it->second.methods.intGetter(id, &v);
  if (status == 1) *value = v;
  return status;
}

std::string OMtemplate_error::text() const {
  return file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + message;
}

bool OMfind_yaml_alias(const std::string& text, int* line, int* column) {
  // An alias is written "*name": a text without a star has none, and is not parsed for it
  // (the parse costs as much as reading the text).
  if (text.find('*') == std::string::npos) return false;
  std::istringstream in(text);
  YAML::Parser parser(in);
  AliasFinder finder;
  try {
    parser.HandleNextDocument(finder);
  } catch (const AliasFinder::Found& found) {
    if (line) *line = found.mark.line;
    if (column) *column = found.mark.column;
    return true;
  } catch (const YAML::Exception&) {
  }
  return false;
}

int OMload_templates(const std::string& yamlText, const std::string& origin,
                     std::vector<OMtemplate_error>* errors) {
  OMinit();
  int aliasLine = 0, aliasColumn = 0;
  if (OMfind_yaml_alias(yamlText, &aliasLine, &aliasColumn)) {
    if (errors)
      errors->push_back({origin, aliasLine + 1, aliasColumn + 1,
                         "aliases ('*name') are not accepted: write the value out"});
    return 0;
  }
  YAML::Node doc;
  try {
    doc = YAML::Load(yamlText);
  } catch (const YAML::Exception& e) {
    if (errors) errors->push_back({origin, e.mark.line + 1, e.mark.column + 1, e.msg});
    return 0;
  }
  // Templates are made in a staging group first, so a file with a problem adds nothing.
  uint32_t staging = newObj(0, OM_KIND_GROUP, 0);
  TemplateReader reader(origin, errors);
  ++ERRerror_squashed;  // problems are reported with their place instead
  bool ok = reader.read(doc, staging);
  --ERRerror_squashed;
  if (!ok) {
    // Nothing outside the staging group was made from these templates; what was made inside
    // it goes first, as its records point to their templates' methods.
    std::vector<uint32_t> made;
    for (auto& [t, lib] : reader.made()) {
      forgetTemplate(t);
      made.push_back(t);
    }
    OMdestroy_obj(idOf(staging), 0);
    for (uint32_t t : made) store().templates.erase(t);
    return 0;
  }
  for (auto& [t, lib] : reader.made()) {
    unlinkChild(staging, t);
    linkChild(libraryGroup(lib), t);
  }
  OMdestroy_obj(idOf(staging), 0);
  return 1;
}

int OMload_templates_path(const std::string& path, std::vector<OMtemplate_error>* errors) {
  namespace fs = std::filesystem;
  std::error_code ec;
  std::vector<fs::path> files;
  if (fs::is_directory(path, ec)) {
    for (const auto& entry : fs::directory_iterator(path, ec))
      if (entry.path().extension() == ".yaml") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
  } else {
    files.emplace_back(path);
  }
  int ok = 1;
  for (const fs::path& file : files) {
    // Only a regular file of a sane size is read (a FIFO would block, a device never end).
    if (!fs::is_regular_file(file, ec) || fs::file_size(file, ec) > kMaxTemplateFileBytes) {
      if (errors) errors->push_back({file.string(), 0, 0, "not a regular file of at most 16 MiB"});
      ok = 0;
      continue;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
      if (errors) errors->push_back({file.string(), 0, 0, "cannot read the file"});
      ok = 0;
      continue;
    }
    std::stringstream text;
    text << in.rdbuf();
    if (!OMload_templates(text.str(), file.string(), errors)) ok = 0;
  }
  return ok;
}

OMobj_id OMcreate_obj_from_path(const char* templatePath, const char* name, OMobj_id parent) {
  uint32_t t = findTemplate(templatePath);
  Obj* p = find(parent);
  if (!t || !p || p->has(kDying) || !name || !*name) return OMnull_obj;
  uint32_t copy = instantiate(t, OMstr_to_name(name), parent.serial);
  if (!copy) return OMnull_obj;
  if (find(parent)->has(kInstanced)) instanceTree(copy);
  propagate(parent.serial);
  maybeFlush();
  return idOf(copy);
}

OMobj_id OMcopy_obj(OMobj_id src, OMobj_name name, OMobj_id parent, OMobj_id, int) {
  Obj* s = find(src);
  Obj* p = find(parent);
  if (!s || !p || p->has(kDying) || isAncestor(src.serial, parent.serial) ||
      src.serial == parent.serial)
    return OMnull_obj;
  uint32_t copy = s->has(kTemplate) ? instantiate(src.serial, name, parent.serial)
                                    : copyTree(src.serial, name, parent.serial);
  if (!copy) return OMnull_obj;
  if (find(parent)->has(kInstanced)) instanceTree(copy);
  propagate(parent.serial);
  maybeFlush();
  return idOf(copy);
}

int OMmatch_obj(OMobj_id templ, OMobj_id id, int) {
  Obj scratch, templScratch;
  const Obj* o = view(id, &scratch);
  if (!o || !view(templ, &templScratch)) return 0;
  Store& s = store();
  for (uint32_t t = templateOf(o, id.serial); t;) {
    if (t == templ.serial) return 1;
    auto it = s.templates.find(t);
    if (it == s.templates.end()) break;
    t = it->second.base;
  }
  return 0;
}
