// The object store: records in pages addressed by serial, names, the containment tree,
// lookups, paths and destruction.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>

#include "om/omx.h"
#include "om_internal.h"
#include "svc/err.h"

const OMobj_id OMnull_obj = {0, 0};
OMobj_id OMroot_obj = {0, 0};
OMobj_id OMtempl_obj = {0, 0};
OMobj_id OMinst_obj = {0, 0};

namespace om {

namespace {

// The interned names: each text kept once, in blocks that never move (names are handed out
// as const char* for the life of the process), and found through an open-addressed table of
// tokens. Every object's name is one of them, and a file's objects mostly have names of their
// own: a node-based map cost about 90 bytes a name, this about 30.
class Names {
 public:
  Names() { texts_.push_back(keep("")); }  // token 0 is the empty name

  // The token of text, or 0 when it was never interned.
  uint32_t find(std::string_view text) const {
    if (slots_.empty()) return 0;
    size_t mask = slots_.size() - 1;
    for (size_t i = hashOf(text) & mask;; i = (i + 1) & mask) {
      uint32_t token = slots_[i];
      if (!token) return 0;
      if (equal(texts_[token], text)) return token;
    }
  }
  // The token of text, interned when new.
  uint32_t intern(std::string_view text) {
    if (uint32_t token = find(text)) return token;
    if ((texts_.size() + 1) * 2 > slots_.size()) grow();
    auto token = static_cast<uint32_t>(texts_.size());
    texts_.push_back(keep(text));
    place(token);
    return token;
  }
  const char* text(uint32_t token) const { return token < texts_.size() ? texts_[token] : ""; }

 private:
  static constexpr size_t kBlock = 64 * 1024;

  static size_t hashOf(std::string_view text) { return std::hash<std::string_view>()(text); }
  // Read no further into kept than its end: strncmp stops at its terminator.
  static bool equal(const char* kept, std::string_view text) {
    return std::strncmp(kept, text.data(), text.size()) == 0 && kept[text.size()] == '\0';
  }
  // A copy of text, terminated, where it stays: in the current block, or in a block of its own
  // when it is larger than a block's tenth.
  const char* keep(std::string_view text) {
    size_t need = text.size() + 1;
    char* at;
    if (need > kBlock / 10) {
      blocks_.emplace_back(new char[need]);
      at = blocks_.back().get();
    } else {
      if (need > left_) {
        blocks_.emplace_back(new char[kBlock]);
        free_ = blocks_.back().get();
        left_ = kBlock;
      }
      at = free_;
      free_ += need;
      left_ -= need;
    }
    std::memcpy(at, text.data(), text.size());
    at[text.size()] = '\0';
    return at;
  }
  void place(uint32_t token) {
    size_t mask = slots_.size() - 1;
    size_t i = hashOf(texts_[token]) & mask;
    while (slots_[i]) i = (i + 1) & mask;
    slots_[i] = token;
  }
  void grow() {
    slots_.assign(slots_.empty() ? 256 : slots_.size() * 2, 0);
    for (uint32_t token = 1; token < texts_.size(); ++token) place(token);
  }

  std::vector<const char*> texts_;  // by token
  std::vector<uint32_t> slots_;     // tokens (0: empty), a power of two, at most half full
  std::vector<std::unique_ptr<char[]>> blocks_;
  char* free_ = nullptr;
  size_t left_ = 0;
};

Names& names() {
  static Names* n = new Names;  // lives for the process: names are handed out as const char*
  return *n;
}

// Children by name of the groups that have many: a lookup in a group of thousands (a file's
// top level, a long array) would otherwise scan it, and filling one by name is quadratic.
// Kept in step by linkChild and unlinkChild once made; children are appended only, so each
// list is in child order. Entries are checked on use (a freed child is skipped).
constexpr int kIndexAfter = 64;
std::unordered_map<uint32_t, std::unordered_map<uint32_t, std::vector<uint32_t>>>& nameIndex() {
  static auto* index =
      new std::unordered_map<uint32_t, std::unordered_map<uint32_t, std::vector<uint32_t>>>;
  return *index;
}

// The last child of each parent with a long list of children, so that filling a group or an
// array one child at a time does not walk the list each time. An entry is only a hint: it is
// trusted while that child is still its parent's and last.
std::unordered_map<uint32_t, uint32_t>& longTails() {
  static auto* tails = new std::unordered_map<uint32_t, uint32_t>;
  return *tails;
}

}  // namespace

void freeSlotOf(uint32_t serial, const Obj* o) {
  Store& s = store();
  s.liveObjects--;
  if (o && o->has(kIndexed)) nameIndex().erase(serial);
  if (o && o->has(kLongTail)) longTails().erase(serial);
  if (o && o->has(kTyped)) s.templateOf.erase(serial);
  if (serial >= kRunBase) {
    freeRunSlot(serial);
    return;
  }
  Page* page = s.pages[serial >> kPageBits];
  page->objs[serial & (kPageSize - 1)] = Obj{};
  // A page whose serials are all handed out and all dead is never used again.
  if (--page->live == 0 && (serial >> kPageBits) != ((s.nextSerial - 1) >> kPageBits)) {
    delete page;
    s.pages[serial >> kPageBits] = nullptr;
  }
}

namespace {

// Values live in records whose slots are not pointer-aligned, so a leak checker cannot see
// them; at process exit every record's value and every page is released so that what a leak
// checker reports is a real leak. No method is called and nothing is notified.
struct ReleaseAtExit {
  ~ReleaseAtExit() {
    Store& s = store();
    for (Page*& page : s.pages) {
      if (!page) continue;
      for (Obj& o : page->objs) {
        if (!o.kind) continue;
        releasePayload(&o);
        o = Obj{};
      }
      delete page;
      page = nullptr;
    }
    releaseRuns();
    for (auto& [serial, omx] : s.wrappers) delete omx;
    s.wrappers.clear();
    s.actives.clear();
  }
};

}  // namespace

Store* theStore = nullptr;

Store* makeStore() {
  if (!theStore) {
    theStore = new Store;
    static ReleaseAtExit release;  // made after the store, so it runs while the store is alive
  }
  return theStore;
}

uint32_t newSerials(uint32_t n) {
  Store& s = store();
  // Serials are never reused; those from kRunBase up are the runs'.
  if (n == 0 || s.nextSerial > kRunBase - n) return 0;
  uint32_t first = s.nextSerial;
  s.nextSerial += n;
  uint32_t lastPage = (first + n - 1) >> kPageBits;
  if (lastPage >= s.pages.size()) s.pages.resize(lastPage + 1, nullptr);
  for (uint32_t page = first >> kPageBits; page <= lastPage; ++page)
    if (!s.pages[page]) s.pages[page] = new Page();
  for (uint32_t serial = first; serial < first + n; ++serial) s.pages[serial >> kPageBits]->live++;
  s.liveObjects += n;
  return first;
}

Obj* startRecord(uint32_t serial, uint32_t name, int kind) {
  Obj* o = linked(serial);
  *o = Obj{};
  o->name = name;
  o->kind = static_cast<uint8_t>(kind);
  o->stamp = nextStamp();
  return o;
}

uint32_t newObj(uint32_t name, int kind, uint32_t parent) {
  uint32_t serial = newSerials(1);
  if (!serial) return 0;
  startRecord(serial, name, kind);
  if (parent) linkChild(parent, serial, true);
  return serial;
}

namespace {

// Recent (parent, name) -> child answers. Bindings look up the same few properties of the
// same objects on every update, and a scan of a large object's members costs more than the
// update itself. Any change to the tree starts a new generation, which empties the cache;
// a hit is also checked against the records, so it can only ever name the current child.
struct ChildCache {
  struct Entry {
    uint32_t parent = 0, name = 0, child = 0, generation = 0;
  };
  static constexpr uint32_t kSize = 1024;
  Entry entries[kSize];
  uint32_t generation = 1;
  static uint32_t slot(uint32_t parent, uint32_t name) {
    return ((parent * 0x9e3779b1u) ^ (name * 0x85ebca6bu)) >> 22;
  }
};
static_assert(ChildCache::kSize == 1u << 10, "slot() yields 10 bits");

ChildCache& childCache() {
  static ChildCache* c = new ChildCache;
  return *c;
}

// Recent (parent, name text at an address) -> child answers, in front of the name table and
// the child cache: bindings name their properties with the same literals on every update (a
// label's update looks up about twenty, two of them "group.member"), and making a name from
// its text costs more than the rest of the lookup. The address only finds the entry; the text
// is compared with the one the entry was made for, so a buffer reused for another path can
// never hit. A two-part path also remembers the group between, and both links are checked.
struct PathCache {
  struct Entry {
    const char* path = nullptr;
    const char* text = nullptr;  // the path's own text (kept for as long as the process)
    uint32_t parent = 0, name = 0, child = 0, generation = 0;
    uint32_t group = 0, groupName = 0;  // "group.member": the group; 0 for a plain name
  };
  static constexpr uint32_t kSize = 512;
  Entry entries[kSize];
  // The texts of the two-part paths remembered (a plain name's text is its name's). Bounded,
  // so that paths made up at run time cannot grow it for ever: past the bound they are
  // looked up the long way.
  std::unordered_set<std::string> groupPaths;
  static constexpr size_t kMaxGroupPaths = 4096;
  static uint32_t slot(uint32_t parent, const char* path) {
    auto p = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(path) >> 2);
    return ((parent * 0x9e3779b1u) ^ (p * 0x85ebca6bu)) >> 23;
  }
};
static_assert(PathCache::kSize == 1u << 9, "slot() yields 9 bits");

PathCache& pathCache() {
  static PathCache* c = new PathCache;
  return *c;
}

// Path answers by a copy's shape: (shape, position of the record looked in, path text at an
// address) -> the position of the answer, and of the group between for "group.member". The
// path cache above knows objects it has looked in; every new copy of a template is looked in
// by its binding with the same paths as the copies before it, and while the copy's tree is as
// made the answers are at the same positions. Only answers the shape itself gives (a name one
// visible child has) are kept, so an entry is exactly what a search would find, for any copy
// whose answer records are not freed.
struct ShapePathCache {
  struct Entry {
    const char* path = nullptr;
    const char* text = nullptr;  // the path's own text (kept for as long as the process)
    uint32_t shape = 0, parent = 0, group = 0, child = 0;  // shape id; positions (group 0: none)
  };
  // Room for every path each type's binding asks of its copies several times over: at 512
  // entries, the twenty-odd paths of each of a window's eight kinds of controls pushed each
  // other out and a sixth of the lookups searched again (a thirtieth at 4096). 128 KB, of
  // which a window touches a few.
  static constexpr uint32_t kSize = 4096;
  Entry entries[kSize];
  static uint32_t slot(uint32_t shape, uint32_t parent, const char* path) {
    auto p = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(path) >> 2);
    return ((shape * 0x9e3779b1u) ^ (parent * 0xc2b2ae35u) ^ (p * 0x85ebca6bu)) >> 20;
  }
};
static_assert(ShapePathCache::kSize == 1u << 12, "slot() yields 12 bits");

ShapePathCache& shapePathCache() {
  static ShapePathCache* c = new ShapePathCache;
  return *c;
}

void treeChanged() {
  if (++childCache().generation == 0) childCache() = ChildCache{};
}

}  // namespace

namespace {

// Counts a link made or broken under parent when parent lies in a template (it or an ancestor
// is one), so that the template's copy plan is made again. Objects in use sit a few levels
// below the root, so the climb is short; the links a copy makes inside itself do not come here.
void noteTemplateEdit(uint32_t parent) {
  for (uint32_t at = parent; at;) {
    Obj scratch;
    const Obj* o = view(at, &scratch);
    if (!o) return;
    if (o->has(kTemplate)) {
      ++store().templateEdits;
      return;
    }
    at = o->parent;
  }
}

}  // namespace

// An append never changes an answer of the child-lookup cache: a lookup answers the first
// child of a name, and a hit is checked against the records. So only unlinking starts a new
// generation, and lookups made while objects are being filled in keep hitting.
void linkChild(uint32_t parent, uint32_t child, bool fresh) {
  if (!fresh) walkDeferredChanges();
  noteTemplateEdit(parent);
  if (parent >= kRunBase) runLinksChanged(parent);
  structureChanged();
  Obj* p = find(parent);
  Obj* c = find(child);
  c->parent = parent;
  c->nextSibling = 0;
  if (!p->firstChild) {
    p->firstChild = child;
  } else {
    uint32_t last = p->firstChild;
    auto& tails = longTails();
    auto tail = p->has(kLongTail) ? tails.find(parent) : tails.end();
    if (tail != tails.end()) {
      Obj* t = find(tail->second);
      if (t && t->parent == parent && !t->nextSibling && tail->second != child) last = tail->second;
    }
    int steps = 0;
    // Only the last child is written, so only it is made if its run has not made it.
    Obj scratch;
    while (const Obj* l = view(last, &scratch)) {
      if (!l->nextSibling) {
        find(last)->nextSibling = child;
        break;
      }
      last = l->nextSibling;
      ++steps;
    }
    if (tail != tails.end()) {
      tail->second = child;
    } else if (steps > kIndexAfter) {
      tails[parent] = child;
      p->flags |= kLongTail;
    }
  }
  if (!p->has(kIndexed) || !c->name) return;
  auto indexed = nameIndex().find(parent);
  if (indexed != nameIndex().end()) indexed->second[c->name].push_back(child);
}

void unlinkChild(uint32_t parent, uint32_t child) {
  walkDeferredChanges();
  treeChanged();
  structureChanged();
  ++store().endings;  // a reference or its holder taken out of its window
  noteTemplateEdit(parent);
  if (parent >= kRunBase) runLinksChanged(parent);
  if (child >= kRunBase && !runTop(child)) makeSubtree(child);
  Obj* p = find(parent);
  Obj* c = find(child);
  if (!p || !c) return;
  if (p->firstChild == child) {
    p->firstChild = c->nextSibling;
  } else {
    for (uint32_t s = p->firstChild; s;) {
      Obj* o = find(s);
      if (o->nextSibling == child) {
        o->nextSibling = c->nextSibling;
        break;
      }
      s = o->nextSibling;
    }
  }
  c->parent = 0;
  c->nextSibling = 0;
  if (p->has(kLongTail)) {
    auto tail = longTails().find(parent);
    if (tail != longTails().end() && tail->second == child) longTails().erase(tail);
  }
  if (!p->has(kIndexed)) return;
  auto indexed = nameIndex().find(parent);
  if (indexed != nameIndex().end() && c->name) {
    auto named = indexed->second.find(c->name);
    if (named != indexed->second.end()) {
      auto& list = named->second;
      list.erase(std::remove(list.begin(), list.end(), child), list.end());
      if (list.empty()) indexed->second.erase(named);
    }
  }
}

void setTemplateOf(Obj* o, uint32_t serial, uint32_t templ) {
  if (serial < kRunBase || !runSetTemplateOf(serial, templ)) store().templateOf[serial] = templ;
  o->flags |= kTyped;
}

void addReferrer(uint32_t target, uint32_t referrer) {
  walkDeferredChanges();
  Obj* t = find(target);
  Obj* r = find(referrer);
  Referrers& list = store().referrers[target];
  list.descending = !list.first || (list.descending && referrer > list.first);
  r->slot[1] = list.first;
  list.first = referrer;
  // A reference or its holder referred to now takes the walk past its own target.
  if (!t->has(kReferred)) ++store().endings;
  t->flags |= kReferred;
  structureChanged();
}

void removeReferrer(uint32_t target, uint32_t referrer) {
  walkDeferredChanges();
  Obj* t = find(target);
  Obj* r = find(referrer);
  if (!t || !r || !t->has(kReferred)) return;
  auto& table = store().referrers;
  auto entry = table.find(target);
  if (entry == table.end()) return;
  if (entry->second.first == referrer) {
    entry->second.first = r->nextReferrer();
  } else {
    for (uint32_t s = entry->second.first; s;) {
      Obj* o = find(s);
      if (o->nextReferrer() == referrer) {
        o->slot[1] = r->nextReferrer();
        break;
      }
      s = o->nextReferrer();
    }
  }
  r->slot[1] = 0;
  entry->second.knownHead = 0;
  if (!entry->second.first) {
    table.erase(entry);
    t->flags &= static_cast<uint16_t>(~kReferred);
  }
}

std::vector<uint32_t> children(uint32_t serial) {
  std::vector<uint32_t> out;
  Obj scratch;
  const Obj* o = view(serial, &scratch);
  for (uint32_t c = o ? o->firstChild : 0; c;) {
    const Obj* co = view(c, &scratch);
    if (!co->has(kHidden)) out.push_back(c);
    c = co->nextSibling;
  }
  return out;
}

int childCount(uint32_t serial) {
  int n = 0;
  if (serial >= kRunBase && runChildCount(serial, &n)) return n;
  Obj scratch;
  const Obj* o = view(serial, &scratch);
  for (uint32_t c = o ? o->firstChild : 0; c;) {
    const Obj* co = view(c, &scratch);
    if (!co->has(kHidden)) ++n;
    c = co->nextSibling;
  }
  return n;
}

uint32_t childAt(uint32_t serial, int index) {
  if (index < 0) return 0;
  uint32_t known = 0;
  if (serial >= kRunBase && runChildAt(serial, index, &known)) return known;
  Obj scratch;
  const Obj* o = view(serial, &scratch);
  for (uint32_t c = o ? o->firstChild : 0; c;) {
    const Obj* co = view(c, &scratch);
    if (!co->has(kHidden) && index-- == 0) return c;
    c = co->nextSibling;
  }
  return 0;
}

uint32_t findChild(uint32_t parent, uint32_t name) {
  if (!parent || !name) return 0;
  // A copy's tree as made answers from its shape, as fast as the cache below would: a new copy
  // would only miss there. It answers a name none of its children has too, which the search
  // below would find only after reading every child (each made up from the shape).
  uint32_t known = 0;
  if (parent >= kRunBase && runChild(parent, name, &known)) return known;
  Obj parentScratch, scratch;
  // The parent is read only when the answer is searched for: a child remembered and found
  // still linked under it (or where its copy made it) has a live parent.
  ChildCache& cache = childCache();
  ChildCache::Entry& e = cache.entries[ChildCache::slot(parent, name)];
  if (e.generation == cache.generation && e.parent == parent && e.name == name) {
    const Obj* co = nullptr;
    if (e.child >= kRunBase) {  // the child's run is looked up once for both questions
      const Run* r = nullptr;
      uint32_t i = 0;
      uint8_t w = runSlot(e.child, &r, &i);
      if (r && lazyAsMadeUnder(*r, i, parent))
        return e.child;  // not made, so where and what it was when found
      if (w && w != kGone)
        co = runCell(*r, static_cast<uint16_t>(w - 1));
      else if (w == 0)
        co = view(e.child, &scratch);
    } else {
      co = find(e.child);
    }
    if (co && co->parent == parent && co->name == name && !co->has(kHidden)) return e.child;
  }
  const Obj* o = view(parent, &parentScratch);
  if (!o) return 0;
  auto& index = nameIndex();
  auto indexed = index.end();
  if (!o->has(kIndexed)) {
    // The children of a live object all live; they are read without making them.
    int scanned = 0;
    for (uint32_t c = o->firstChild; c && scanned <= kIndexAfter; ++scanned) {
      const Obj* co = view(c, &scratch);
      if (co->name == name && !co->has(kHidden)) {
        e = {parent, name, c, cache.generation};
        return c;
      }
      c = co->nextSibling;
    }
    // A long group: index it once and answer from the index from now on.
    if (scanned > kIndexAfter) {
      Obj* writable = find(parent);
      auto& byName = index[parent];
      for (uint32_t c = writable->firstChild; c;) {
        const Obj* co = view(c, &scratch);
        if (co->name) byName[co->name].push_back(c);
        c = co->nextSibling;
      }
      writable->flags |= kIndexed;
      o = writable;
    }
  }
  if (o->has(kIndexed)) indexed = index.find(parent);
  if (indexed != index.end()) {
    auto named = indexed->second.find(name);
    if (named != indexed->second.end()) {
      for (uint32_t c : named->second) {
        const Obj* co = view(c, &scratch);
        if (co && co->parent == parent && co->name == name && !co->has(kHidden)) {
          e = {parent, name, c, cache.generation};
          return c;
        }
      }
    }
  }
  // A link to a group stands for the group: its members are found through it.
  if (o->has(kRef)) {
    uint32_t target = resolve(parent);
    if (target && target != parent) return findChild(target, name);
  }
  return 0;
}

bool isAncestor(uint32_t ancestor, uint32_t serial) {
  Obj scratch;
  for (const Obj* o = view(serial, &scratch); o; o = view(o->parent, &scratch))
    if (o->parent == ancestor) return true;
  return false;
}

void releasePayload(Obj* o) {
  if (o->has(kExpr)) {
    delete o->value<Expr*>();
  } else if (o->has(kSet) && !o->has(kRef)) {
    switch (o->kind) {
      case OM_KIND_STRING:
        std::free(o->value<char*>());
        break;
      case OM_KIND_INT_ARRAY:
      case OM_KIND_REAL_ARRAY:
      case OM_KIND_STR_ARRAY: {
        ArrayData* a = o->value<ArrayData*>();
        for (char* p : a->strings) std::free(p);
        delete a;
        break;
      }
      default:
        break;
    }
  }
  o->slot[0] = o->slot[1] = 0;
}

void clearValue(Obj* o, uint32_t serial) {
  if (o->has(kRef)) {
    removeReferrer(o->target(), serial);
  } else if (o->has(kExpr)) {
    // Operands are hidden children; they go with the expression.
    std::vector<uint32_t> hidden;
    for (uint32_t c = o->firstChild; c; c = find(c)->nextSibling)
      if (find(c)->has(kHidden)) hidden.push_back(c);
    // The flag goes first: destroying the operands notifies, and a reader must not find an
    // expression whose tree is gone.
    releasePayload(o);
    o->flags &= static_cast<uint16_t>(~kExpr);
    for (uint32_t h : hidden) OMdestroy_obj(idOf(h), 0);
    o = find(serial);
  }
  releasePayload(o);
  o->flags &= static_cast<uint16_t>(~(kSet | kRef | kExpr));
  o->slot[0] = o->slot[1] = 0;
}

// Destruction runs in two passes over the subtree: first every destroy method, children
// before parents, while all objects still exist (a binding reads its handle as it goes);
// then the records are freed and references to them are unset.
namespace {

// The records of a copy's run that were never made (unwritten properties) hold nothing to
// release and nobody refers to them: they are not listed, and the tops of the copies reached
// go to `copies`, whose runs free them (freeRunUnmade; they all lie under their copy's top,
// the root being made whole when it is a part of a copy). A copy whose tree is as made is
// taken whole: its made records from its run, in both orders.
void collectSubtree(uint32_t root, std::vector<uint32_t>* preorder,
                    std::vector<uint32_t>* postorder, std::vector<uint32_t>* copies) {
  // One walk gives both orders: a record enters the preorder when first reached and the
  // postorder once all its children have (siblings oldest first in both).
  struct Step {
    uint32_t serial, next;  // next: the child to go down to, 0 once all are done
    bool made;              // false for a record its copy has not made (walked through only)
  };
  std::vector<Step> stack;
  Obj scratch;
  // serial's record read as co (in scratch when not made).
  auto reach = [&](uint32_t serial, const Obj* co) {
    bool made = co != &scratch;
    if (made && runTop(serial)) {
      copies->push_back(serial);
      if (runMadeAsCopied(serial, preorder, postorder)) return;
    }
    if (made) preorder->push_back(serial);
    stack.push_back({serial, co->firstChild, made});
  };
  const Obj* r = view(root, &scratch);
  if (!r) return;
  reach(root, r);
  while (!stack.empty()) {
    Step& top = stack.back();
    if (!top.next) {
      if (top.made) postorder->push_back(top.serial);
      stack.pop_back();
      continue;
    }
    uint32_t c = top.next;
    const Obj* co = view(c, &scratch);
    top.next = co->nextSibling;
    reach(c, co);
  }
}

}  // namespace

}  // namespace om

using namespace om;

void OMinit() {
  Store& s = store();
  if (s.nextSerial != 1) return;
  uint32_t root = newObj(OMstr_to_name("Root"), OM_KIND_GROUP, 0);
  uint32_t templ = newObj(OMstr_to_name("Templates"), OM_KIND_GROUP, root);
  uint32_t inst = newObj(OMstr_to_name("Applications"), OM_KIND_OBJ_ARRAY, root);
  uint32_t place = newObj(0, OM_KIND_GROUP, inst);
  OMroot_obj = idOf(root);
  OMtempl_obj = idOf(templ);
  OMinst_obj = idOf(inst);
  // Only the instance places are instanced: templates and staging areas under the root stay
  // inert until moved there.
  find(inst)->flags |= kInstanced;
  find(place)->flags |= kInstanced;
}

OMobj_name OMstr_to_name(const char* text) {
  if (!text || !*text) return 0;
  // Callers pass the same literal texts over and over: a small cache keyed by the text's
  // address spares the hashing, and a comparison guards against a reused buffer.
  struct Cached {
    const char* text = nullptr;
    const char* kept = nullptr;  // the name's own text, which lives as long as the process
    uint32_t token = 0;
  };
  static Cached cache[256];
  Cached& slot = cache[(reinterpret_cast<uintptr_t>(text) >> 3) & 255];
  if (slot.text == text && std::strcmp(slot.kept, text) == 0) return slot.token;
  Names& n = names();
  uint32_t token = n.intern(text);
  slot = {text, n.text(token), token};
  return token;
}

const char* OMname_to_str(OMobj_name name) {
  return names().text(name);
}

int OMget_obj_name(OMobj_id id, OMobj_name* name) {
  Obj scratch;
  const Obj* o = view(id, &scratch);
  if (!o || !name) return 0;
  *name = o->name;
  return 1;
}

int OMvalid_obj(OMobj_id id, OMobj_id, int) {
  Obj scratch;
  return view(id, &scratch) ? 1 : 0;
}

int OMget_obj_kind(OMobj_id id) {
  Obj scratch;
  const Obj* o = view(id, &scratch);
  return o ? o->kind : 0;
}

OMobj_id OMcreate_obj(OMobj_name name, int kind, OMobj_id parent, OMobj_id, int) {
  OMinit();
  Obj* p = find(parent);
  if (!p || p->has(kDying) || kind < OM_KIND_GROUP || kind > OM_KIND_OBJ_ARRAY) return OMnull_obj;
  uint32_t serial = newObj(name, kind, parent.serial);
  if (!serial) return OMnull_obj;
  if (find(parent)->has(kInstanced)) instanceTree(serial);
  propagate(parent.serial);
  maybeFlush();
  return idOf(serial);
}

int OMget_obj_parent(OMobj_id id, OMobj_id* parent) {
  Obj scratch;
  const Obj* o = view(id, &scratch);
  if (!o || !parent) return 0;
  *parent = idOf(o->parent);
  return o->parent ? 1 : 0;
}

OMobj_id OMfind_subobj(OMobj_id parent, OMobj_name name, int) {
  // findChild answers 0 for a parent that is not there.
  if (parent.live != 1) return OMnull_obj;
  return idOf(findChild(parent.serial, name));
}

namespace om {
namespace {

// The remembered answer for path under parent, or 0 when there is none or it may be stale.
// Serials are never reused and an unlink starts a new generation, so a child still linked
// where it was, under the same names, is the answer a search would give.
uint32_t rememberedPath(const PathCache::Entry& e, uint32_t parent, const char* path) {
  if (e.path != path || e.parent != parent || e.generation != childCache().generation) return 0;
  // A record its copy has not made, in a copy as made, under the parent it was found under,
  // is where and what it was when found (an answer found through a link is checked in full).
  Obj scratch;
  if (!lazyAsMadeUnder(e.child, e.group ? e.group : parent)) {
    const Obj* co = view(e.child, &scratch);
    if (!co || co->parent != (e.group ? e.group : parent) || co->name != e.name || co->has(kHidden))
      return 0;
  }
  if (e.group && !lazyAsMadeUnder(e.group, parent)) {
    const Obj* g = view(e.group, &scratch);
    if (!g || g->parent != parent || g->name != e.groupName || g->has(kHidden)) return 0;
  }
  return std::strcmp(path, e.text) == 0 ? e.child : 0;
}

// Remembers the answer to a "group.member" path; false when its text cannot be kept.
bool rememberGroupPath(PathCache::Entry& e, const char* path, uint32_t parent, uint32_t group,
                       uint32_t child) {
  PathCache& cache = pathCache();
  auto known = cache.groupPaths.find(path);
  if (known == cache.groupPaths.end()) {
    if (cache.groupPaths.size() >= PathCache::kMaxGroupPaths) return false;
    known = cache.groupPaths.insert(path).first;
  }
  Obj scratch;
  uint32_t childName = view(child, &scratch)->name;
  uint32_t groupName = view(group, &scratch)->name;
  e = {path, known->c_str(), parent, childName, child, childCache().generation, group, groupName};
  return true;
}

// The answer se holds for path under position `at` of run (a copy as made), or 0: its records
// must not be freed, as a search from the shape would find.
uint32_t answerByShape(const ShapePathCache::Entry& se, const Run& run, uint32_t at,
                       const char* path) {
  if (se.path != path || se.shape != run.shape->id || se.parent != at) return 0;
  if (run.where[se.child] == kGone || (se.group && run.where[se.group] == kGone)) return 0;
  return std::strcmp(path, se.text) == 0 ? run.first + se.child : 0;
}

// Keeps in se the answer a search gave for path (whose kept text is `text`) under position
// `at` of run, when the shape gives the same: child (and group, for "group.member"; else 0)
// at the positions the shape names.
void learnShapeAnswer(ShapePathCache::Entry& se, const Run& run, uint32_t at, const char* path,
                      const char* text, uint32_t group, uint32_t child) {
  const RunShape& shape = *run.shape;
  auto inRun = [&](uint32_t serial) { return serial - run.first < run.count; };
  if (!inRun(child) || (group && !inRun(group))) return;
  uint32_t from = at;
  if (group) {
    from = group - run.first;
    if (shape.namedChild(at, shape.records[from].name) != from) return;
  }
  uint32_t c = child - run.first;
  if (shape.namedChild(from, shape.records[c].name) != c) return;
  se = {path, text, shape.id, at, group ? from : 0, c};
}

}  // namespace
}  // namespace om

OMobj_id OMfind_str_subobj(OMobj_id parent, const char* path, int) {
  if (parent.live != 1 || !path) return OMnull_obj;
  // A copy whose tree is as made answers as the copies of its shape did before it (and as it
  // did itself): those answers are remembered by shape and place only.
  uint32_t position = 0;
  const Run* run = parent.serial >= kRunBase ? runAsMade(parent.serial, &position) : nullptr;
  ShapePathCache::Entry* se = nullptr;
  if (run) {
    se = &shapePathCache().entries[ShapePathCache::slot(run->shape->id, position, path)];
    if (uint32_t child = answerByShape(*se, *run, position, path)) return idOf(child);
  }
  // A remembered answer still linked where it was found has a live parent.
  PathCache::Entry& e = pathCache().entries[PathCache::slot(parent.serial, path)];
  if (uint32_t child = rememberedPath(e, parent.serial, path)) return idOf(child);
  Obj scratch;
  if (!view(parent, &scratch)) return OMnull_obj;
  // A plain name (the common case) needs no parsing.
  if (!std::strpbrk(path, ".[")) {
    if (!*path) return parent;
    OMobj_name name = OMstr_to_name(path);
    uint32_t child = findChild(parent.serial, name);
    if (child) {
      e = {path, OMname_to_str(name), parent.serial, name, child, childCache().generation};
      if (run) learnShapeAnswer(*se, *run, position, path, e.text, 0, child);
    }
    return idOf(child);
  }
  uint32_t at = parent.serial;
  uint32_t hops[2] = {0, 0};
  int count = 0;
  bool twoNames = true;  // so far a plain "group.member" path, which can be remembered
  std::string_view rest(path);
  while (!rest.empty()) {
    size_t dot = rest.find('.');
    std::string_view part = rest.substr(0, dot);
    rest = dot == std::string_view::npos ? std::string_view() : rest.substr(dot + 1);
    if (part.empty()) {
      twoNames = false;
      if (dot == std::string_view::npos) break;
      continue;  // a leading or doubled '.' stays where it is
    }
    // "name[i]" picks element i of an object array.
    int index = -1;
    size_t bracket = part.find('[');
    if (bracket != std::string_view::npos && part.back() == ']') {
      std::string digits(part.substr(bracket + 1, part.size() - bracket - 2));
      char* end = nullptr;
      long v = std::strtol(digits.c_str(), &end, 10);
      if (digits.empty() || *end || v < 0 || v > 1 << 30) return OMnull_obj;
      index = static_cast<int>(v);
      part = part.substr(0, bracket);
      twoNames = false;
    }
    std::string name(part);
    uint32_t token = names().find(name);
    if (!token) return OMnull_obj;  // a name never made cannot be a sub-object
    at = findChild(at, token);
    if (at && index >= 0) at = childAt(at, index);
    if (!at) return OMnull_obj;
    if (count < 2) hops[count] = at;
    ++count;
  }
  if (twoNames && count == 2 && rememberGroupPath(e, path, parent.serial, hops[0], hops[1]) && run)
    learnShapeAnswer(*se, *run, position, path, e.text, hops[0], hops[1]);
  return idOf(at);
}

unsigned OMget_live_objects() {
  return store().liveObjects;
}

int OMget_num_subobjs(OMobj_id id, int* count) {
  Obj scratch;
  if (!view(id, &scratch) || !count) return 0;
  *count = childCount(id.serial);
  return 1;
}

int OMget_array_subobj(OMobj_id id, int index, OMobj_id* element, int) {
  Obj scratch;
  const Obj* o = view(id, &scratch);
  if (!o || !element || o->kind != OM_KIND_OBJ_ARRAY) return 0;
  int visible = syncArraySize(id.serial, true);
  uint32_t e = index < 0 || (visible >= 0 && index >= visible) ? 0 : childAt(id.serial, index);
  *element = idOf(e);
  return e ? 1 : 0;
}

int OMget_subobj(OMobj_id id, int index, OMobj_id* child) {
  Obj scratch;
  const Obj* o = view(id, &scratch);
  if (!o || !child || index < 0) return 0;
  // A read: an array's surplus elements are hidden, never destroyed here.
  int visible = o->kind == OM_KIND_OBJ_ARRAY ? syncArraySize(id.serial, true) : -1;
  uint32_t e = visible >= 0 && index >= visible ? 0 : childAt(id.serial, index);
  *child = idOf(e);
  return e ? 1 : 0;
}

int OMget_obj_atts(OMobj_id id, int* atts) {
  Obj scratch;
  const Obj* o = view(id, &scratch);
  if (!o || !atts) return 0;
  *atts = o->atts;
  return 1;
}

int OMset_obj_atts(OMobj_id id, int atts) {
  Obj* o = find(id);
  if (!o) return 0;
  o->atts |= static_cast<uint8_t>(atts);
  return 1;
}

int OMclear_obj_atts(OMobj_id id, int atts) {
  Obj* o = find(id);
  if (!o) return 0;
  o->atts &= static_cast<uint8_t>(~atts);
  return 1;
}

int OMget_uniq_name(OMobj_id parent, const char* base, char* out, int size) {
  if (!find(parent) || !base || !*base || !out || size <= 0) return 0;
  std::string candidate = base;
  for (int i = 1; findChild(parent.serial, OMstr_to_name(candidate.c_str())); ++i)
    candidate = std::string(base) + "#" + std::to_string(i);
  if (static_cast<int>(candidate.size()) >= size) return 0;
  std::memcpy(out, candidate.c_str(), candidate.size() + 1);
  return 1;
}

int OMret_obj_path_to(OMobj_id id, OMobj_id from, char* buf, int size) {
  Obj scratch, parentScratch, step;
  if (!view(id, &scratch) || !buf || size <= 0) return 0;
  std::vector<std::string> parts;
  uint32_t at = id.serial;
  while (at && at != from.serial) {
    const Obj* o = view(at, &scratch);
    const Obj* p = view(o->parent, &parentScratch);
    if (p && p->kind == OM_KIND_OBJ_ARRAY && !o->name) {
      int index = 0;
      for (uint32_t c = p->firstChild; c && c != at; c = view(c, &step)->nextSibling) ++index;
      parts.push_back(std::string(OMname_to_str(p->name)) + "[" + std::to_string(index) + "]");
      at = p->parent;
      continue;
    }
    parts.push_back(OMname_to_str(o->name));
    at = o->parent;
  }
  if (at != from.serial && !(from.serial == 0)) return 0;  // from is not an ancestor
  std::string path;
  for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
    if (!path.empty()) path += '.';
    path += *it;
  }
  std::snprintf(buf, static_cast<size_t>(size), "%s", path.c_str());
  return 1;
}

namespace {

// The references from a dying subtree to objects outside it leave their targets' referrer
// lists in one pass per target. One by one, each removal would walk a list that may hold
// every sibling's reference (a thousand controls all refer to their parent window), and the
// oldest, destroyed first, sit at its end.
// targets: empty (its room is asked for before the destroy methods run, for the same reason
// as the teardown's lists are kept).
void dropReferencesOut(const std::vector<uint32_t>& subtree, std::vector<uint32_t>& targets) {
  for (uint32_t s : subtree) {
    Obj* o = find(s);
    if (!o || !o->has(kRef)) continue;
    Obj* t = find(o->target());
    if (t && !t->has(kDying)) targets.push_back(o->target());
  }
  std::sort(targets.begin(), targets.end());
  targets.erase(std::unique(targets.begin(), targets.end()), targets.end());
  auto& table = store().referrers;
  for (uint32_t t : targets) {
    auto entry = table.find(t);
    if (entry == table.end()) continue;
    entry->second.knownHead = 0;
    uint32_t* link = &entry->second.first;  // records and table entries never move
    while (*link) {
      Obj* r = find(*link);
      if (!r->has(kDying)) {
        link = &r->slot[1];
        continue;
      }
      *link = r->nextReferrer();
      // No longer a reference, and holding nothing to release.
      r->flags &= static_cast<uint16_t>(~(kRef | kSet));
      r->slot[0] = r->slot[1] = 0;
    }
    if (!entry->second.first) {
      table.erase(entry);
      find(t)->flags &= static_cast<uint16_t>(~kReferred);
    }
  }
}

// The lists one teardown works through. One of many controls lists many thousands of records,
// and lists of that size freed at its end make the allocator merge every small block freed
// since its last merge: here, the thousands the destroy methods' widgets have just freed. Kept
// for the next teardown instead, those blocks wait for the allocator's next large request, as
// they do when a program destroys the same widgets itself. Lists too small to cause that merge
// are freed as usual, and so are those of an exceptionally large teardown, which would hold
// megabytes. A destroy method may destroy something else while its own teardown runs, so each
// teardown takes lists of its own from a pool and gives them back when it ends.
struct TeardownLists {
  std::vector<uint32_t> subtree, postorder, copies, late, holders, targets;
  std::vector<uint16_t> madeBefore;  // by copy: the records its run had made when listed
  std::vector<Obj*> records;         // the subtree's records, by their place in subtree

  size_t bytesHeld() const {
    size_t bytes = madeBefore.capacity() * sizeof(uint16_t) + records.capacity() * sizeof(Obj*);
    for (auto* v : {&subtree, &postorder, &copies, &late, &holders, &targets})
      bytes += v->capacity() * sizeof(uint32_t);
    return bytes;
  }
  void clear() {
    for (auto* v : {&subtree, &postorder, &copies, &late, &holders, &targets}) v->clear();
    madeBefore.clear();
    records.clear();
  }
};

class TeardownScratch {
 public:
  TeardownScratch() {
    auto& spare = pool();
    if (spare.empty()) {
      lists_ = std::make_unique<TeardownLists>();
    } else {
      lists_ = std::move(spare.back());
      spare.pop_back();
    }
  }
  ~TeardownScratch() {
    size_t bytes = lists_->bytesHeld();
    if (bytes < kMergingFree || bytes > kMostKept)
      *lists_ = TeardownLists();
    else
      lists_->clear();
    pool().push_back(std::move(lists_));
  }
  TeardownScratch(const TeardownScratch&) = delete;
  TeardownScratch& operator=(const TeardownScratch&) = delete;
  TeardownLists& operator*() { return *lists_; }

 private:
  // A block freed at this size or more (with its free neighbours) makes the C library's
  // allocator merge its small free blocks. The lists' blocks are counted together: whether
  // they are freed alongside free neighbours is not known, so the test is a close guess.
  static constexpr size_t kMergingFree = 64 * 1024;
  static constexpr size_t kMostKept = 4 * 1024 * 1024;
  static std::vector<std::unique_ptr<TeardownLists>>& pool() {
    static auto* p = new std::vector<std::unique_ptr<TeardownLists>>;
    return *p;
  }
  std::unique_ptr<TeardownLists> lists_;
};

}  // namespace

int OMdestroy_obj(OMobj_id id, int) {
  Obj scratch;
  const Obj* root = view(id, &scratch);
  if (!root || root->has(kDying)) return 0;
  // A part of a copy is taken out of it whole before it goes (the records of its run that
  // are not made read as the copy's, which stays).
  if (id.serial >= kRunBase && !runTop(id.serial)) makeSubtree(id.serial);
  walkDeferredChanges();
  if (id.serial == OMroot_obj.serial || id.serial == OMtempl_obj.serial ||
      id.serial == OMinst_obj.serial)
    return 0;
  // The whole teardown is one change: what the destroy methods cause runs once all of them
  // have, so that nothing runs against a subtree half gone (and work queued by one destroy
  // method, such as a widget left for an ancestor's, waits for the ancestor's).
  OMpush_ctx(id, 0, 0, 0);
  TeardownScratch scratchLists;
  TeardownLists& lists = *scratchLists;
  std::vector<uint32_t>& subtree = lists.subtree;
  std::vector<uint32_t>& postorder = lists.postorder;
  std::vector<uint32_t>& copies = lists.copies;
  std::vector<uint32_t>& late = lists.late;
  std::vector<uint32_t>& holders = lists.holders;
  std::vector<uint16_t>& madeBefore = lists.madeBefore;
  std::vector<Obj*>& records = lists.records;
  collectSubtree(id.serial, &subtree, &postorder, &copies);
  for (uint32_t top : copies) madeBefore.push_back(runMadeCount(top));
  // Every record of the subtree stays where it is until its slot is freed at the end (a
  // destroy method cannot destroy what is already dying), so each is read as a linked one.
  Store& st = store();
  // The subtree's records stay where they are until their slots are freed at the end: pages
  // and run cells never move, and nothing dying is freed before then.
  records.reserve(subtree.size());
  auto markDying = [&](uint32_t s) {
    Obj* o = linked(s);
    o->flags |= kDying;
    records.push_back(o);
  };
  for (uint32_t s : subtree) markDying(s);
  // Room asked for before the destroy methods run, for the same reason as the lists are kept
  // (the records a destroy method makes late are few, and the lists grow for them).
  lists.targets.reserve(subtree.size());
  ++st.endings;  // a dying holder's reference no longer ends the walk at its window
  // Destroy methods, children before parents and siblings oldest first: a window taken away
  // exposes only what it covered, while newest first each would expose the windows below it
  // again, and every one of those exposures is sent and read.
  for (uint32_t s : postorder)
    if (linked(s)->has(kActive)) deinstance(s);
  // A destroy method may write a property its copy had not made (clearing what it published):
  // that record goes with the others, what it holds released.
  for (size_t k = 0; k < copies.size(); ++k) runMadeSince(copies[k], madeBefore[k], &late);
  for (uint32_t s : late) {
    markDying(s);
    subtree.push_back(s);
  }
  if (!late.empty()) ++st.endings;
  uint32_t parent = linked(id.serial)->parent;
  if (parent) unlinkChild(parent, id.serial);
  dropReferencesOut(subtree, lists.targets);
  for (size_t k = 0; k < subtree.size(); ++k) {
    uint32_t s = subtree[k];
    Obj* o = records[k];
    if (o->has(kTemplate)) forgetTemplate(s);
    if (o->flags & (kSet | kRef | kExpr)) clearValue(o, s);
    // Whoever refers to a destroyed object from outside the subtree loses the link.
    while (uint32_t r = firstReferrer(o, s)) {
      removeReferrer(s, r);
      Obj* ro = find(r);
      ro->flags &= static_cast<uint16_t>(~kRef);
      ro->slot[0] = ro->slot[1] = 0;
      if (!ro->has(kDying)) holders.push_back(r);
    }
  }
  for (size_t k = 0; k < subtree.size(); ++k) {
    uint32_t s = subtree[k];
    if (records[k]->has(kArrayInfo)) {
      st.elementTemplates.erase(s);
      st.arraySizes.erase(s);
    }
    freeSlotOf(s, records[k]);
  }
  for (uint32_t top : copies) freeRunUnmade(top);
  if (parent && find(parent)) changed(parent);
  for (uint32_t h : holders)
    if (find(h)) changed(h);
  OMpop_ctx(id);
  return 1;
}

int OMuser_destroy_obj(OMobj_id id, int mode) {
  return OMdestroy_obj(id, mode);
}

int OMmove_obj(OMobj_id id, OMobj_id newParent) {
  Obj* o = find(id);
  Obj* p = find(newParent);
  if (!o || !p || o->has(kDying) || p->has(kDying) || id.serial == newParent.serial ||
      isAncestor(id.serial, newParent.serial))
    return 0;
  uint32_t old = o->parent;
  if (old) unlinkChild(old, id.serial);
  linkChild(newParent.serial, id.serial);
  if (old && find(old)) changed(old);
  if (p->has(kInstanced)) instanceTree(id.serial);
  changed(newParent.serial);
  maybeFlush();
  return 1;
}
