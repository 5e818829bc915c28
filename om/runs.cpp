// Copies of templates kept as runs: the records a copy holds only once something needs them.
//
// A run is the serials of one copy, each at its position in the copy's plan (parents first,
// children in order), so that a record's links are known from the shape without the record.
// Of a label's forty-odd properties a handful are written; the rest stay in the shape the
// copy was made from and read the same as records would: same serial, name, kind, value,
// links, and the copy's stamp. Whatever asks for a record to write (find) gets one made from
// the shape at that moment; only readers (view) see the shape.
//
// What keeps a record that is not made exact: nothing has written it, so its value is the
// shape's; its links are the plan's, because every change of a link goes through the
// records on both sides (linking and unlinking find them, which makes them); and it lies
// inside its copy, under the copy's top, because a subtree leaving its copy is made whole
// first (makeSubtree). Its instanced and dying flags are therefore the top's (a part of a copy
// instanced apart from its top has its records made as it is instanced).
#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "om_internal.h"

namespace om {

Runs* theRuns = nullptr;
RunIndex runIndex = {nullptr, 0};

namespace {

Runs& runs() {
  if (!theRuns) theRuns = new Runs;
  return *theRuns;
}

Run* makeRun(uint16_t count, uint16_t firstCells) {
  static_assert(sizeof(Run) % alignof(Obj) == 0 && alignof(Obj) % alignof(uint8_t) == 0,
                "the cells and the table follow the run in its block");
  void* block = ::operator new(sizeof(Run) + firstCells * sizeof(Obj) + count * sizeof(uint8_t));
  Run* r = new (block) Run;
  r->count = count;
  r->firstCells = firstCells;
  r->cells = reinterpret_cast<Obj*>(r + 1);
  r->where = reinterpret_cast<uint8_t*>(r->cells + firstCells);
  std::fill(r->where, r->where + count, uint8_t{0});
  return r;
}

void destroyRun(Run* r) {
  for (uint16_t k = 0; k < r->chunkCount; ++k) delete[] r->chunks[k];
  r->~Run();
  ::operator delete(r);
}

// Frees r once its last record has gone, and clears its serials from the directory.
void dropRun(Run* r) {
  Runs& rs = runs();
  uint32_t entry = (r->first - kRunBase) >> kRunBits;
  for (uint32_t k = entry; k < rs.directory.size() && rs.directory[k] == r; ++k)
    rs.directory[k] = nullptr;
  destroyRun(r);
}

// A new cell of r, counted made.
Obj* newCell(Run& r) {
  uint16_t c = r.made;
  if (c >= r.firstCells && (c - r.firstCells) % kChunk == 0) {
    // The run outgrows its first cells: the shape's next copies start with one more.
    uint16_t& hint = r.shape->cellsHint;
    if (hint < r.count && hint <= c) hint = static_cast<uint16_t>(c + 1);
    std::unique_ptr<Obj*[]> grown(new Obj*[r.chunkCount + 1]);
    std::copy(r.chunks.get(), r.chunks.get() + r.chunkCount, grown.get());
    grown[r.chunkCount] = new Obj[kChunk];
    r.chunks = std::move(grown);
    r.chunkCount++;
  }
  r.made++;
  return runCell(r, c);
}

}  // namespace

void fillFromShape(const Run& r, uint32_t i, Obj* out) {
  const Obj& p = r.shape->records[i];
  *out = p;
  out->parent = i ? r.first + p.parent : 0;
  out->firstChild = p.firstChild ? r.first + p.firstChild : 0;
  out->nextSibling = p.nextSibling ? r.first + p.nextSibling : 0;
  out->stamp = r.stamp;
  if (const Obj* top = i ? madeCell(r, 0) : nullptr)
    out->flags |= top->flags & (kInstanced | kDying);
}

namespace {

// The run of serial (a run serial) and its position there, or false.
inline bool locate(uint32_t serial, Run** run, uint32_t* position) {
  *run = runAt(serial, position);
  return *run != nullptr;
}

// The same for a record still there in a copy whose tree is as made (the shape answers for
// its place, children and names).
inline bool locateAsMade(uint32_t serial, Run** run, uint32_t* position) {
  return locate(serial, run, position) && (*run)->asMade && (*run)->where[*position] != kGone;
}

// The records r has made (and not freed), in the order of their positions, which is the
// order of a walk of the copy's tree, parents first.
void madeInOrder(const Run& r, std::vector<uint32_t>* out) {
  for (uint32_t i = 0; i < r.count; ++i)
    if (r.where[i] && r.where[i] != kGone) out->push_back(r.first + i);
}

}  // namespace

uint32_t newRun(const std::shared_ptr<const RunShape>& shape) {
  auto n = static_cast<uint32_t>(shape->records.size());
  if (n == 0 || n >= kGone) return 0;
  Runs& rs = runs();
  uint32_t span = ((n + (1u << kRunBits) - 1) >> kRunBits) << kRunBits;
  // The last serial is never handed out (it stands for "many causes").
  if (0xffffffffu - rs.next <= span) return 0;
  auto count = static_cast<uint16_t>(n);
  Run* run = makeRun(count, std::max<uint16_t>(1, std::min<uint16_t>(shape->cellsHint, count)));
  run->shape = shape;
  run->first = rs.next;
  run->stamp = nextStamp();
  run->live = n;
  rs.next += span;
  uint32_t entry = (run->first - kRunBase) >> kRunBits;
  if (rs.directory.size() < entry + (span >> kRunBits)) {
    rs.directory.resize(entry + (span >> kRunBits), nullptr);
    runIndex = {rs.directory.data(), static_cast<uint32_t>(rs.directory.size())};
  }
  for (uint32_t k = 0; k < span >> kRunBits; ++k) rs.directory[entry + k] = run;
  store().liveObjects += n;
  return run->first;
}

Obj* runRecord(uint32_t serial) {
  Run* r = nullptr;
  uint32_t i = 0;
  if (!locate(serial, &r, &i)) return nullptr;
  uint8_t w = r->where[i];
  if (w == kGone) return nullptr;
  if (w) return runCell(*r, static_cast<uint16_t>(w - 1));
  Obj made;
  fillFromShape(*r, i, &made);
  Obj* o = newCell(*r);
  *o = made;
  r->where[i] = static_cast<uint8_t>(r->made);  // the cell's number + 1
  runs().held++;
  return o;
}

bool runMadeAsCopied(uint32_t top, std::vector<uint32_t>* preorder,
                     std::vector<uint32_t>* postorder) {
  Run* r = nullptr;
  uint32_t i = 0;
  if (!locateAsMade(top, &r, &i) || i != 0) return false;
  madeInOrder(*r, preorder);
  if (postorder)
    for (uint32_t p : r->shape->postorder)
      if (r->where[p] && r->where[p] != kGone) postorder->push_back(r->first + p);
  return true;
}

bool runNewestIn(uint32_t serial, uint32_t* newest) {
  Run* r = nullptr;
  uint32_t i = 0;
  if (!locateAsMade(serial, &r, &i)) return false;
  uint32_t best =
      r->where[i] ? runCell(*r, static_cast<uint16_t>(r->where[i] - 1))->stamp : r->stamp;
  auto newer = [](uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) > 0; };
  for (uint32_t p = i, end = r->shape->subtreeEnd[i]; p < end; ++p) {
    uint8_t w = r->where[p];
    if (w == kGone) continue;
    uint32_t stamp = r->stamp;
    if (w) {
      const Obj* o = runCell(*r, static_cast<uint16_t>(w - 1));
      if (o->has(kRef)) return false;
      stamp = o->stamp;
    }
    if (newer(stamp, best)) best = stamp;
  }
  *newest = best;
  return true;
}

uint16_t runMadeCount(uint32_t top) {
  Run* r = nullptr;
  uint32_t i = 0;
  return locate(top, &r, &i) ? r->made : 0;
}

void runMadeSince(uint32_t top, uint16_t before, std::vector<uint32_t>* out) {
  Run* r = nullptr;
  uint32_t i = 0;
  // Cells are handed out in order: no cell past `before`, no record made since.
  if (!locate(top, &r, &i) || r->made <= before) return;
  for (uint32_t p = 0; p < r->count; ++p) {
    uint8_t w = r->where[p];
    if (w && w != kGone && w - 1 >= before) out->push_back(r->first + p);
  }
}

void freeRunUnmade(uint32_t top) {
  Run* r = nullptr;
  uint32_t i = 0;
  if (!locate(top, &r, &i)) return;
  // A record never made has nothing in the side tables and no cell: it goes with its mark.
  // The positions never made are those without a cell: the records freed one by one before
  // this are made ones (freeSlotOf is given the made record). When those positions are all
  // the run still holds, the run goes whole without a look at them.
  uint32_t unmade = static_cast<uint32_t>(r->count - r->made);
  if (r->live == unmade) {
    store().liveObjects -= unmade;
    dropRun(r);
    return;
  }
  uint32_t freed = 0;
  for (uint32_t p = 0; p < r->count; ++p)
    if (!r->where[p]) r->where[p] = kGone, ++freed;
  store().liveObjects -= freed;
  r->live -= freed;
  if (!r->live) dropRun(r);
}

bool runChild(uint32_t parent, uint32_t name, uint32_t* child) {
  Run* r = nullptr;
  uint32_t i = 0;
  if (!locateAsMade(parent, &r, &i)) return false;
  const RunShape& shape = *r->shape;
  uint32_t c = shape.namedChild(i, name);
  if (c) {
    if (r->where[c] == kGone) return false;
    *child = r->first + c;
    return true;
  }
  if (shape.sharesNames[i]) return false;
  *child = 0;
  return true;
}

const Run* runAsMade(uint32_t serial, uint32_t* position) {
  Run* r = nullptr;
  return locateAsMade(serial, &r, position) ? r : nullptr;
}

bool runChildAt(uint32_t parent, int index, uint32_t* child) {
  Run* r = nullptr;
  uint32_t i = 0;
  if (!locateAsMade(parent, &r, &i)) return false;
  const RunShape& shape = *r->shape;
  uint32_t from = shape.childStart[i], to = shape.childStart[i + 1];
  *child = index >= 0 && static_cast<uint32_t>(index) < to - from
               ? r->first + shape.children[from + static_cast<uint32_t>(index)]
               : 0;
  return true;
}

bool runChildCount(uint32_t parent, int* count) {
  Run* r = nullptr;
  uint32_t i = 0;
  if (!locateAsMade(parent, &r, &i)) return false;
  *count = static_cast<int>(r->shape->childStart[i + 1] - r->shape->childStart[i]);
  return true;
}

bool runTemplateOf(uint32_t serial, uint32_t* templ) {
  Run* r = nullptr;
  uint32_t i = 0;
  if (!locate(serial, &r, &i)) return false;
  if (i == 0) {
    *templ = r->topTemplate;
    return true;
  }
  if (r->typedApart && store().templateOf.count(serial)) return false;
  *templ = r->shape->types[i];
  return true;
}

bool runSetTemplateOf(uint32_t serial, uint32_t templ) {
  Run* r = nullptr;
  uint32_t i = 0;
  if (!locate(serial, &r, &i)) return false;
  if (i == 0) {
    r->topTemplate = templ;
    return true;
  }
  if (r->shape->types[i] == templ && !store().templateOf.count(serial)) return true;
  r->typedApart = true;
  return false;
}

void runLinksChanged(uint32_t parent) {
  Run* r = nullptr;
  uint32_t i = 0;
  if (locate(parent, &r, &i)) r->asMade = false;
}

bool runTop(uint32_t serial) {
  uint32_t i = 0;
  return serial >= kRunBase && runAt(serial, &i) && i == 0;
}

void makeSubtree(uint32_t serial) {
  std::vector<uint32_t> stack{serial};
  while (!stack.empty()) {
    uint32_t at = stack.back();
    stack.pop_back();
    const Obj* o = find(at);  // made if it was not
    Obj scratch;
    for (uint32_t c = o ? o->firstChild : 0; c;) {
      stack.push_back(c);
      const Obj* co = view(c, &scratch);
      c = co ? co->nextSibling : 0;
    }
  }
}

void freeRunSlot(uint32_t serial) {
  Run* r = nullptr;
  uint32_t i = 0;
  if (!locate(serial, &r, &i) || r->where[i] == kGone) return;
  if (uint8_t w = r->where[i]) {
    *runCell(*r, static_cast<uint16_t>(w - 1)) = Obj{};
    runs().held--;
  }
  r->where[i] = kGone;
  if (!--r->live) dropRun(r);
}

size_t runRecordsHeld() {
  return runs().held;
}

void releaseRuns() {
  Runs& rs = runs();
  Run* last = nullptr;
  for (Run*& r : rs.directory) {
    if (!r) continue;
    if (r != last) {
      for (uint16_t c = 0; c < r->made; ++c)
        if (runCell(*r, c)->kind) releasePayload(runCell(*r, c));
      last = r;
    }
  }
  last = nullptr;
  for (Run*& r : rs.directory) {
    if (r && r != last) {
      last = r;
      destroyRun(r);
    }
    r = nullptr;
  }
}

}  // namespace om
