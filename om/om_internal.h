// Inside the object manager: the object record, the paged store that maps serials to records,
// and the side tables for the few objects that need more than a record.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "om/om.h"
#include "om/om_registry.h"

class OMXgroup;

namespace om {

enum Flag : uint16_t {
  kSet = 1 << 0,         // holds a value of its own
  kRef = 1 << 1,         // value slot holds a target serial
  kExpr = 1 << 2,        // value slot holds an Expr*; operands are hidden children
  kInstanced = 1 << 3,   // lives in an instanced tree
  kActive = 1 << 4,      // has an Active record (methods or wrapper)
  kHidden = 1 << 5,      // internal child (expression operand): not listed, not copied alone
  kTemplate = 1 << 6,    // a template (has a TemplateInfo)
  kDying = 1 << 7,       // being destroyed: no notifications, no new references
  kValueFn = 1 << 8,     // value computed by its template's getter
  kIndexed = 1 << 9,     // has a name index of its children (a long group)
  kLongTail = 1 << 10,   // its last child is remembered (a long group)
  kArrayInfo = 1 << 11,  // has an element template or a size property (an object array)
  kWalked = 1 << 12,     // reached by the notification walk under way (cleared when it ends)
  kReferred = 1 << 13,   // some object refers to it (it has an entry in Store::referrers)
  kTyped = 1 << 14,      // made from a template (see templateOf)
  kIdle = 1 << 15,       // active, and a change reaching it has nothing to queue: it is not
                         // instanced, takes no updates, or has one queued for several changes
};

// One object. 32 bytes, 4-byte aligned: objects are the bulk of the memory. What few objects
// have is in the store's side tables: the template an object was made from (most are the
// properties a template declares, made from none), and its first referrer. The objects that
// refer to an object are a list: each reference holds the next in its value slot, after its
// target (a reference has no value of its own).
struct Obj {
  uint32_t name;
  uint32_t parent;
  uint32_t firstChild;
  uint32_t nextSibling;
  uint32_t stamp;  // change counter value of its last change (see nextStamp)
  uint8_t kind;    // OMkind; 0 = free slot
  uint8_t atts;
  uint16_t flags;
  uint32_t slot[2];  // the value: int, double, pointer, or (a reference) target and next referrer

  template <typename T>
  T value() const {
    static_assert(sizeof(T) <= sizeof(slot), "value too large");
    T v;
    std::memcpy(&v, slot, sizeof(T));
    return v;
  }
  template <typename T>
  void setValue(T v) {
    static_assert(sizeof(T) <= sizeof(slot), "value too large");
    std::memcpy(slot, &v, sizeof(T));
  }
  uint32_t target() const { return slot[0]; }
  uint32_t nextReferrer() const { return slot[1]; }
  bool has(uint16_t f) const { return (flags & f) != 0; }
};

// Contents of an int, real or string array.
struct ArrayData {
  int count = 0;
  std::vector<int> ints;
  std::vector<double> reals;
  std::vector<char*> strings;  // malloc'ed, may be null
};

// A "=> a + 2 * b" link compiled to postfix steps, so that reading, copying and freeing it
// never recurse however long the text was. Operands name hidden children by index; each
// distinct target is one operand, read once per evaluation.
struct Expr {
  enum Op : uint8_t { kNum, kOperand, kAdd, kSub, kMul, kDiv, kNeg };
  struct Step {
    Op op = kNum;
    int operand = 0;  // kOperand: index among the hidden children
    double number = 0;
  };
  std::vector<Step> code;
};

// What a template gives the objects made from it.
struct Methods {
  OMinstance_fn instance = nullptr;
  OMupdate_fn update = nullptr;
  OMupdate1_fn update1 = nullptr;
  OMinstance_fn destroy = nullptr;
  OMint_getter_fn intGetter = nullptr;
  OMreal_getter_fn realGetter = nullptr;
  OMomx_factory_fn omx = nullptr;
  bool any() const { return instance || update || update1 || destroy || omx; }
};

// Kept for as long as an object made from the template may live (for ever, but for the
// templates of a file that failed to load, which nothing outside it was made from): objects
// point to its methods.
struct TemplateInfo {
  uint32_t base = 0;  // template this one derives from
  Methods methods;
  uint32_t methodsIndex = 0;  // its methods' place in Store::methodTable (0: not given one yet)
};

// The methods of an object activated by hand: none.
extern const Methods kNoMethods;

// State of an object that takes part in the dataflow. One per object with methods, so it is
// kept small: the methods are its template's, shared by every object made from it (a
// template's description outlives the template, so an instance outlives its template too).
// Every field is 32 bits wide or less, so that an entry's node is 40 bytes, not 56: the
// methods are an index, and the rare wrapper instance is in a table of its own.
struct Active {
  uint32_t methods = 0;  // index in Store::methodTable (0: none, an object activated by hand)
  uint32_t sync = 0;     // sequence number when its method last returned
  // The one object whose change queued the pending update (0: none recorded, kManyCauses:
  // more than one), so that the method can apply just that change instead of comparing every
  // property it reads: a label whose text is set from its property rereads none of its
  // twenty others.
  uint32_t cause = 0;
  // The same for the changes of the object's own state alone (0: none), leaving out those that
  // reached it only from around it: through its member referring to its parent (a control's
  // "parent": the change is its window's) or from inside a member with an update method of its
  // own (a child window, updated for its own changes). A window's method skips the rerun its
  // controls' writes and their siblings' cause: while a window loads, every control's first
  // writes reach the window and, through the window, every other control.
  uint32_t ownCause = 0;
  // The object's "update" sub-object, stamped after every run of its method (0: not looked up
  // yet). Checked before each use (a record gone, moved or renamed is looked up again): the
  // lookup by name cost a tenth of a label's text update. The entry's node keeps its size.
  uint32_t updateChild = 0;
  unsigned pending : 4;    // OM_EVENT_* bits queued and not yet run
  unsigned instanced : 1;  // instance notification has run
  unsigned wrapped : 1;    // has a wrapper instance (Store::wrappers)
  // A reference it holds may be remembered as ending the change walk at its parent (see
  // Referrers): when it stops being idle, that reference is looked at again. Set from the
  // start (an object given methods was not looked at as one) and by the walk; cleared when
  // told.
  unsigned endsKnown : 1;
  // The structure count (Store::structure, its low 24 bits; 0: none) at which the change walk
  // last climbed from this object to the root and found nothing above it to notify: no
  // object with methods, referred to or being destroyed. While the count stands, the walk
  // stops here: a property set outside a context (a label's text) climbed four or five
  // records further for nothing.
  unsigned clearAbove : 24;
  Active() : pending(0), instanced(0), wrapped(0), endsKnown(1), clearAbove(0) {}
};
constexpr uint32_t kManyCauses = UINT32_MAX;  // never a serial (serials stop below it)
using ActiveMap = std::unordered_map<uint32_t, Active>;

// ---- The store ------------------------------------------------------------------------
constexpr int kPageBits = 8;
constexpr uint32_t kPageSize = 1u << kPageBits;

struct Page {
  Obj objs[kPageSize];
  uint32_t live = 0;
};

// The objects that refer to one object: a list through their value slots, newest first, and
// what the change walk last learned of it. A window's controls all refer to it, and every
// change inside the window reaches it: the walk looked at each of them every time, though
// while the window loads and in between updates nearly all of them end the walk there (while
// a window loads, the control instanced last and the one instancing do not).
struct Referrers {
  uint32_t first = 0;  // the newest referrer; each holds the next in its value slot
  // When Store::endings read `endings`, every referrer from `knownHead` on ended the walk at
  // this object whatever method ran, but those in `notEnding` (0: nothing known). Referrers
  // added later come before it; a referrer removed makes the whole list unknown again. A
  // holder that stops being idle puts its references back among `notEnding`
  // (Active::endsKnown), in list order: the walk pushes them in that order.
  uint32_t knownHead = 0;
  uint64_t endings = 0;
  std::vector<uint32_t> notEnding;  // newest first
  // Every referrer's serial is below the one before it, as when each was added after those
  // made before it (a window's controls): a serial then tells the place in the list. When not,
  // a holder that stops being idle makes the whole list unknown.
  bool descending = true;
};

struct Store {
  std::vector<Page*> pages;  // by serial >> kPageBits; null once every object in it died
  uint32_t nextSerial = 1;
  uint32_t liveObjects = 0;  // records in use
  uint32_t seq = 0;          // the change counter: wraps, never takes 0 or the value read as -1
  // Counts the links made or broken inside templates: copies of a template follow a plan of
  // its tree made once, and a plan made before the last such edit is made again.
  uint32_t templateEdits = 0;
  // Counts the changes that can give an object's ancestors something for the change walk to
  // do: a link made or broken, an object given methods or referred to (see structureChanged).
  uint32_t structure = 1;
  ActiveMap actives;
  // The methods of the templates objects were made from, by Active::methods; 0 is none. Only
  // grows: a template's description outlives the template.
  std::vector<const Methods*> methodTable{&kNoMethods};
  // Active object -> its wrapper instance (Active::wrapped), owned.
  std::unordered_map<uint32_t, OMXgroup*> wrappers;
  // Referred object (kReferred) -> its referrers.
  std::unordered_map<uint32_t, Referrers> referrers;
  // Moves on whenever a referrer that ended the change walk at its target (see Referrers)
  // could stop doing so, but for a holder no longer idle, which tells its target alone: an
  // object newly referred to, a reference given methods, a link broken, a teardown begun.
  uint64_t endings = 1;
  // Object made from a template (kTyped) -> that template; a copy's run keeps its own.
  std::unordered_map<uint32_t, uint32_t> templateOf;
  std::unordered_map<uint32_t, TemplateInfo> templates;
  std::unordered_map<uint32_t, uint32_t> elementTemplates;  // object array -> element template
  std::unordered_map<uint32_t, uint32_t> arraySizes;  // object array -> int property of its size
  std::unordered_map<uint32_t, std::vector<uint32_t>> templateIndex;  // name -> templates
};

// ---- Copies of templates as runs -------------------------------------------------------
// A copy of a template takes its serials from kRunBase up, in a run of its own. Most of a
// control's properties are never written (a label has forty-odd, a handful are set), so a
// run holds records only for what is written, looked up by a reference or needed by the
// copy; the others are read from the shape the copy was made from until something writes
// them, and are made then, at their own serials, as they would have been. Only the store
// knows: a serial names the same object whether its record is made or not.
constexpr uint32_t kRunBase = 0x80000000u;

// What the records of a template's copies hold when nothing has written them: made with the
// template's copy plan and shared by the runs copied with it (it outlives the plan when the
// template changes).
struct RunShape {
  // Links are positions in the copy (0: none; the top is nobody's child or sibling).
  std::vector<Obj> records;
  // The positions every copy makes, in order (and the only ones its making reads). The others
  // are lazy, made when written: a plain value or group, no reference, expression, array data
  // or text, and a type only when the type has no methods.
  std::vector<uint32_t> made;
  // (parent position, name) -> child position, for each name that only one visible child of
  // that parent has; sorted. While a copy's tree is as made, a lookup by name is a search here.
  struct Named {
    uint32_t parent, name, child;
    bool operator<(const Named& o) const {
      return parent != o.parent ? parent < o.parent : name < o.name;
    }
  };
  std::vector<Named> named;
  // `named` as an open-addressed table, so that a lookup is a probe or two instead of a search:
  // slot (namedSlot(parent, name) and on) -> index + 1 into `named` (0: empty); a power of two
  // at least twice its size, so that a probe always meets an empty slot.
  std::vector<uint32_t> namedSlots;
  // 1 for a position two of whose visible children share a name (those names are not in
  // `named`, so a name missing there may still be a child's).
  std::vector<uint8_t> sharesNames;
  static uint32_t namedSlot(uint32_t parent, uint32_t name) {
    return (parent * 0x9e3779b1u) ^ (name * 0x85ebca6bu);
  }
  // The template each record's source was made from (0: none).
  std::vector<uint32_t> types;
  // The visible children of position p, in order: children[childStart[p] .. childStart[p + 1]).
  std::vector<uint32_t> childStart, children;
  // The positions children first, siblings in order (a walk's postorder).
  std::vector<uint32_t> postorder;
  // The subtree of position p is the positions p .. subtreeEnd[p] - 1 (the order is a walk's,
  // parents first).
  std::vector<uint32_t> subtreeEnd;
  // How many records a copy usually comes to make (its first cells): learnt from the copies
  // that outgrew it.
  mutable uint16_t cellsHint = 0;
  // Never the same for two shapes of one process, so that answers remembered for a shape
  // cannot be taken for those of a new one made where a freed one was.
  uint32_t id = 0;
  // The position of the visible child of position `parent` named `name` when no other visible
  // child of it has the name, else 0 (the top is nobody's child).
  uint32_t namedChild(uint32_t parent, uint32_t name) const {
    if (namedSlots.empty()) return 0;
    auto mask = static_cast<uint32_t>(namedSlots.size() - 1);
    for (uint32_t h = namedSlot(parent, name) & mask;; h = (h + 1) & mask) {
      uint32_t k = namedSlots[h];
      if (!k) return 0;
      const Named& e = named[k - 1];
      if (e.parent == parent && e.name == name) return e.child;
    }
  }
};

constexpr uint32_t kRunBits = 6;  // the directory has an entry for every 64 run serials
constexpr uint8_t kGone = 0xff;   // a run has fewer serials (and so fewer cells) than this
constexpr uint16_t kChunk = 8;    // records made past a run's first cells, a chunk at a time

// One allocation: the run, its first cells, then its `where` table. Records are made into
// cells that never move: first the run's first cells, as many as its shape's copies usually
// make, then chunks.
struct Run {
  // What every access reads comes first.
  uint32_t first = 0;
  uint16_t count = 0;  // serials
  uint16_t firstCells = 0;
  // By position: 0 when the record is not made, kGone once freed, else 1 + its cell.
  uint8_t* where = nullptr;
  Obj* cells = nullptr;            // the first cells (in the run's block)
  std::unique_ptr<Obj*[]> chunks;  // chunkCount chunks of kChunk cells
  std::shared_ptr<const RunShape> shape;
  uint32_t stamp = 0;  // the stamp of every record not made: the copy's
  uint32_t live = 0;   // serials not freed
  uint16_t made = 0;   // records made
  uint16_t chunkCount = 0;
  bool asMade = true;        // no link under a record of the run has changed since the copy
  bool typedApart = false;   // a record of the run has a template other than its shape's
  uint32_t topTemplate = 0;  // the template the top was made from
};

struct Runs {
  std::vector<Run*> directory;  // by (serial - kRunBase) >> kRunBits; null once freed
  uint32_t next = kRunBase;
  size_t held = 0;  // records made and not freed, in all runs
};
extern Runs* theRuns;  // null until the first run
// The directory as every access reads it: a plain global, kept by the runs as the directory
// grows (empty until the first run).
struct RunIndex {
  Run* const* entries;
  uint32_t size;
};
extern RunIndex runIndex;

inline Obj* runCell(const Run& r, uint16_t c) {
  if (c < r.firstCells) return &r.cells[c];
  c = static_cast<uint16_t>(c - r.firstCells);
  return &r.chunks[c / kChunk][c % kChunk];
}

// The run of a run serial and its position there, or null.
inline Run* runAt(uint32_t serial, uint32_t* position) {
  uint32_t entry = (serial - kRunBase) >> kRunBits;
  if (entry >= runIndex.size) return nullptr;
  Run* r = runIndex.entries[entry];
  if (!r) return nullptr;
  uint32_t i = serial - r->first;
  if (i >= r->count) return nullptr;
  *position = i;
  return r;
}

// A run serial's run and position, and its byte of the run's table: 0 when its record is not
// made, kGone when there is none, else 1 + its cell.
inline uint8_t runSlot(uint32_t serial, const Run** run, uint32_t* position) {
  *run = runAt(serial, position);
  return *run ? (*run)->where[*position] : kGone;
}

// The record at position i of r when r has made it, else null (not made, or freed).
inline Obj* madeCell(const Run& r, uint32_t i) {
  uint8_t w = r.where[i];
  return w && w != kGone ? runCell(r, static_cast<uint16_t>(w - 1)) : nullptr;
}

// The record of a run serial when its run has made it, else null (not made, freed or none).
inline Obj* madeInRun(uint32_t serial) {
  uint32_t i = 0;
  const Run* r = runAt(serial, &i);
  return r ? madeCell(*r, i) : nullptr;
}

// Fills out with the record at position i of r as its shape gives it (r has not made it).
void fillFromShape(const Run& r, uint32_t i, Obj* out);

// Takes the serials of a copy of shape (lazy records not made), counted live; answers the
// first, or 0 when the run's serials are used up or the shape has kGone records or more (the
// copy is then made in pages).
uint32_t newRun(const std::shared_ptr<const RunShape>& shape);
// The record of a run serial, made when it was not (so it can be written); null when none.
Obj* runRecord(uint32_t serial);
// True when serial is the top of its run (what the copy made).
bool runTop(uint32_t serial);
// The child named `name` of a run record, answered from its shape while no link inside its run
// has changed since the copy: true with the child in *child, or with 0 when it has no visible
// child of that name; false when the shape cannot tell (the run's tree changed, or visible
// children of the record share names, or the child is freed).
bool runChild(uint32_t parent, uint32_t name, uint32_t* child);
// The run and position of a run serial whose copy's tree is as made (no link under a record
// of the run changed since the copy) and whose record is not freed, or null.
const Run* runAsMade(uint32_t serial, uint32_t* position);
// The index-th visible child of a run record (0 when it has fewer) into *child, or false
// when the run's tree is no longer as made (the caller walks the list).
bool runChildAt(uint32_t parent, int index, uint32_t* child);
// The number of visible children of a run record into *count, or false as runChildAt.
bool runChildCount(uint32_t parent, int* count);
// Notes that a link under parent, a run serial, changed: its run's tree is no longer as made.
void runLinksChanged(uint32_t parent);
// When top is a copy's top and no link inside it changed since the copy: appends the records
// of its subtree that are made, parents first (and to postorder, when given, children
// first), and answers true. The records not made are the rest of the subtree.
bool runMadeAsCopied(uint32_t top, std::vector<uint32_t>* preorder,
                     std::vector<uint32_t>* postorder);
// The newest stamp in serial's subtree into *newest, from its run while the copy's tree is as
// made; false when that is not so or a record there is a reference (the caller walks).
bool runNewestIn(uint32_t serial, uint32_t* newest);
// The number of records top's run has made so far (cells are numbered in the order made).
uint16_t runMadeCount(uint32_t top);
// Appends the records of top's run made after the first `before` (still live).
void runMadeSince(uint32_t top, uint16_t before, std::vector<uint32_t>* out);
// Frees the records of top's run that were never made (with the store's count).
void freeRunUnmade(uint32_t top);
// Frees a record's slot (a page's or a run's), with what it has in the side tables, and counts
// it; its payload is released already. o is its record, made (the caller has it at hand).
void freeSlotOf(uint32_t serial, const Obj* o);
// Makes every record of serial's subtree that its run has not made: a subtree leaving its
// copy no longer reads as part of it.
void makeSubtree(uint32_t serial);
// Frees a run serial's slot (the record's payload is released already).
void freeRunSlot(uint32_t serial);
// The records runs hold (made and not freed): what the copies cost beyond their serials.
size_t runRecordsHeld();
// Releases every run (process exit).
void releaseRuns();

// The store is reached on every record access, so its address is a plain global read inline;
// it is made on first use (zero until then, whatever the order of static initialisation).
extern Store* theStore;
Store* makeStore();
inline Store& store() {
  Store* s = theStore;
  return s ? *s : *makeStore();
}

// An active object's methods.
inline const Methods& methodsOf(const Active& a) {
  return *store().methodTable[a.methods];
}
// An object's wrapper instance, or null.
inline OMXgroup* wrapperOf(uint32_t serial) {
  auto it = store().wrappers.find(serial);
  return it == store().wrappers.end() ? nullptr : it->second;
}

// The record of a run serial, made when its run has not made it (inline for the made ones).
inline Obj* runFind(uint32_t serial) {
  Obj* made = madeInRun(serial);
  return made ? made : runRecord(serial);
}

// The record of a live object, or null. A run record not made yet is made: whoever asks for
// the record may write it. Readers that only read use view.
inline Obj* find(uint32_t serial) {
  if (serial >= kRunBase) return runFind(serial);
  Store& s = store();
  uint32_t page = serial >> kPageBits;
  if (page >= s.pages.size() || !s.pages[page]) return nullptr;
  Obj* o = &s.pages[page]->objs[serial & (kPageSize - 1)];
  return o->kind ? o : nullptr;
}
// The record of an object known to be live because a live record links to it (a child, a
// sibling, a parent, a referrer, a target): read from its page without the checks of find.
inline Obj* linked(uint32_t serial) {
  if (serial >= kRunBase) return runFind(serial);
  return &theStore->pages[serial >> kPageBits]->objs[serial & (kPageSize - 1)];
}
inline Obj* find(OMobj_id id) {
  return id.live == 1 ? find(id.serial) : nullptr;
}
// The record of a live object as it reads (in scratch when its run has not made it, and only
// then: a result equal to scratch says so), or null. Nothing may be written through it.
inline const Obj* view(uint32_t serial, Obj* scratch) {
  if (serial < kRunBase) return find(serial);
  const Run* r = nullptr;
  uint32_t i = 0;
  uint8_t w = runSlot(serial, &r, &i);
  if (w == kGone) return nullptr;
  if (w) return runCell(*r, static_cast<uint16_t>(w - 1));
  fillFromShape(*r, i, scratch);
  return scratch;
}
inline const Obj* view(OMobj_id id, Obj* scratch) {
  return id.live == 1 ? view(id.serial, scratch) : nullptr;
}
// The record of a live object for reading its kind, attributes and value (flags but those a
// copy's top lends, kInstanced and kDying), with its stamp in *stamp: a record its run has
// not made is read in the shape, whose links and stamp are not its own (its stamp is the
// copy's). Null for none.
inline const Obj* stampedView(uint32_t serial, uint32_t* stamp) {
  const Obj* o = nullptr;
  if (serial < kRunBase) {
    o = find(serial);
    if (o) *stamp = o->stamp;
    return o;
  }
  const Run* r = nullptr;
  uint32_t i = 0;
  uint8_t w = runSlot(serial, &r, &i);
  if (w == kGone) return nullptr;
  o = w ? runCell(*r, static_cast<uint16_t>(w - 1)) : &r->shape->records[i];
  *stamp = w ? o->stamp : r->stamp;
  return o;
}
// The same without the stamp.
inline const Obj* valueView(uint32_t serial) {
  uint32_t stamp = 0;
  return stampedView(serial, &stamp);
}
// True when serial is a record its run has not made, in a copy whose tree is as made, and
// its parent is `parent`: its name, kind, parent and place are its shape's, as when it was
// copied. The first form takes the record's run and position, for a caller that has them.
inline bool lazyAsMadeUnder(const Run& r, uint32_t i, uint32_t parent) {
  return i && r.asMade && r.where[i] == 0 && r.first + r.shape->records[i].parent == parent;
}
inline bool lazyAsMadeUnder(uint32_t serial, uint32_t parent) {
  uint32_t i = 0;
  const Run* r = serial >= kRunBase ? runAt(serial, &i) : nullptr;
  return r && lazyAsMadeUnder(*r, i, parent);
}
inline OMobj_id idOf(uint32_t serial) {
  return serial ? OMobj_id{serial, 1} : OMnull_obj;
}

// Makes a record under parent (appended last, or unlinked when parent is 0).
uint32_t newObj(uint32_t name, int kind, uint32_t parent);
// Takes n consecutive fresh serials, their pages made and their slots counted in use, and
// returns the first (0 when n is 0 or the serials are used up). Each slot is then filled with
// startRecord before anything looks it up.
uint32_t newSerials(uint32_t n);
// Fills the slot of a serial newSerials gave: name, kind and a new stamp, nothing else set.
Obj* startRecord(uint32_t serial, uint32_t name, int kind);
// Frees what the slot owns (string, array, expression tree) without touching links.
void releasePayload(Obj* o);
// Frees the value held in the slot (strings, arrays, expressions, reference link).
void clearValue(Obj* o, uint32_t serial);
// Appends/removes child in parent's list. A fresh child (one just made, which nothing refers
// to and holds no change waiting to be walked) is linked without first walking the changes
// held back: their walks climb to parents and go to referrers, and reach nothing inside it.
void linkChild(uint32_t parent, uint32_t child, bool fresh = false);
void unlinkChild(uint32_t parent, uint32_t child);
// The template a run record was made from into *templ: the run keeps its top's, its shape
// the others'. False when the store's table has it.
bool runTemplateOf(uint32_t serial, uint32_t* templ);
// Keeps the template of a run record in its run when it can (its top's, or its shape's);
// false when the store's table must.
bool runSetTemplateOf(uint32_t serial, uint32_t templ);
// The template o (serial) was made from, or 0.
inline uint32_t templateOf(const Obj* o, uint32_t serial) {
  if (!o->has(kTyped)) return 0;
  uint32_t templ = 0;
  if (serial >= kRunBase && runTemplateOf(serial, &templ)) return templ;
  auto it = store().templateOf.find(serial);
  return it == store().templateOf.end() ? 0 : it->second;
}
// Records that o (serial) was made from templ (not 0).
void setTemplateOf(Obj* o, uint32_t serial, uint32_t templ);

// Adds/removes `referrer` (a reference to target) in target's referrer list.
void addReferrer(uint32_t target, uint32_t referrer);
void removeReferrer(uint32_t target, uint32_t referrer);
// The first object that refers to o (0: none); the others follow through nextReferrer().
inline uint32_t firstReferrer(const Obj* o, uint32_t serial) {
  if (!o->has(kReferred)) return 0;
  auto it = store().referrers.find(serial);
  return it == store().referrers.end() ? 0 : it->second.first;
}
// Visible children in order.
std::vector<uint32_t> children(uint32_t serial);
int childCount(uint32_t serial);
uint32_t childAt(uint32_t serial, int index);
uint32_t findChild(uint32_t parent, uint32_t name);
bool isAncestor(uint32_t ancestor, uint32_t serial);

// ---- Values and references --------------------------------------------------------------
// The end of o's reference chain (o itself for a value), or 0 when the chain has no end.
uint32_t resolve(uint32_t serial);
// The same, with the record at the end as its value reads (see valueView), and its serial in
// *end; null when the chain has no end.
const Obj* resolveView(uint32_t serial, uint32_t* end);
// True when reading `from` reads `on` (through references and expression operands).
bool dependsOn(uint32_t from, uint32_t on);
// Makes `serial` refer to target, refusing cycles (reported). Does not stamp.
bool makeRef(uint32_t serial, uint32_t target, const char* who);
// Evaluates an expression object. false when an operand is unset.
bool evalExpr(uint32_t serial, double* out);

// ---- Change and notification --------------------------------------------------------------
// The next value of the change counter. It counts for ever, so it wraps; stamps are compared
// with serial-number arithmetic (OMseq_newer). 0 and the value that reads as -1 through the
// int entry points are skipped: -1 means "everything" to an update.
uint32_t nextStamp();
// Stamps serial with a new sequence number and queues the notifications it causes.
void changed(uint32_t serial);
// Queues notifications for everything that depends on serial (without stamping it). Inside a
// context, outside any method, the walk waits for walkDeferredChanges.
void propagate(uint32_t serial);
// Walks the changes propagate held back. Called before anything that reads the queue or
// changes what a walk would reach: links, references, destruction, instancing, dispatch.
void walkDeferredChanges();
// Called on every change that may give an object's ancestors something for the walk to do:
// a link made or broken, an object given methods, an object referred to. What active objects
// remember of the climb above them (Active::clearAbove) no longer holds.
void structureChanged();
void instanceTree(uint32_t serial);
// Queues callback(serial) for the dispatcher without running the queue now.
void queueCall(uint32_t serial, int (*callback)(OMobj_id));
// Runs pending notifications unless inside a context or already dispatching.
void maybeFlush();
bool dispatching();
// Calls the destroy method of an active object about to be freed and drops its record.
void deinstance(uint32_t serial);

// ---- Templates ------------------------------------------------------------------------
// Finds a template by dotted path below the templates root, or by plain name anywhere.
uint32_t findTemplate(const char* path);
// Copies a template's declarations into a new object under parent. 0 on failure.
uint32_t instantiate(uint32_t templ, uint32_t name, uint32_t parent);
// Brings an object array whose size follows an int property to that size (elements are made
// or destroyed; at most a bounded number are made) and returns the count of elements a reader
// may see. A read (`reading`) makes missing elements but never destroys: the surplus is
// hidden from it and queued for the dispatcher to remove. -1 for other arrays (no bound).
int syncArraySize(uint32_t array, bool reading);
// Copies a subtree; references into it are re-aimed at the copy.
uint32_t copyTree(uint32_t src, uint32_t name, uint32_t parent);
// Drops a template from the index (it is being destroyed); its description is kept for the
// objects made from it.
void forgetTemplate(uint32_t serial);
// Gives an object made from templ its Active record when the template has methods.
void attachMethods(uint32_t serial, uint32_t templ);

}  // namespace om
