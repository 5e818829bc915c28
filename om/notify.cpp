// The dataflow: change stamps, contexts, the notification queue and its dispatcher,
// instancing and deinstancing, events, exit functions and search paths.
#include <algorithm>
#include <cstdlib>
#include <deque>
#include <functional>
#include <string>

#include "om/omx.h"
#include "om_internal.h"
#include "svc/err.h"

namespace om {

const Methods kNoMethods;

namespace {

struct Pending {
  uint32_t serial;
  int (*callback)(OMobj_id);  // OMqueue_notify; null for method notifications
};

struct Dispatch {
  std::deque<Pending> queue;
  int depth = 0;                  // context nesting
  bool running = false;           // the dispatcher is running
  std::vector<uint32_t> methods;  // objects whose methods are running now (innermost last)
  std::vector<uint32_t> causes;   // for each, what alone changed since it last ran (or 0)
  std::vector<uint32_t> owns;     // for each, what alone of its own state changed (Active)
  int stateMode = 0;
  int journalStyle = 0;
  int journalControl = 0;
  std::vector<std::pair<void (*)(OMobj_id, int, void*), void*>> eventHooks;
  std::vector<std::pair<void (*)(void*), void*>> exitFuncs;
  std::string paths[8];
};

Dispatch& dispatch() {
  static Dispatch* d = new Dispatch;
  return *d;
}

bool wantsUpdates(const Active& a) {
  const Methods& m = methodsOf(a);
  return a.wrapped || m.update || m.update1;
}

__attribute__((noinline)) void holderGoesOn(uint32_t serial, const Obj* holder);

// Keeps kIdle in step with the object's state: set only while a change reaching the object
// could queue nothing for it (the walk then skips it without looking up its state). Called
// wherever that state changes.
void refreshIdle(uint32_t serial, Active& a) {
  Obj* o = find(serial);
  if (!o) return;
  bool idle =
      !a.instanced || !wantsUpdates(a) || ((a.pending & OM_EVENT_VAL) && a.cause == kManyCauses);
  if (idle) {
    o->flags |= kIdle;
  } else if (o->has(kIdle)) {
    o->flags &= static_cast<uint16_t>(~kIdle);
    // As a holder, its references may take the walk past their window now.
    if (a.endsKnown) {
      a.endsKnown = 0;
      holderGoesOn(serial, o);
    }
  }
}

// Records one more cause (0: none) of a pending update in `cause`.
void addCause(uint32_t& cause, uint32_t one) {
  if (one) cause = cause == 0 || cause == one ? one : kManyCauses;
}

// ownCause: the change if it is one of the object's own state, 0 if it came from around it.
void queueFor(Active& a, uint32_t serial, unsigned mask, uint32_t cause = kManyCauses,
              uint32_t ownCause = kManyCauses) {
  if (mask & OM_EVENT_VAL) {
    addCause(a.cause, cause);
    addCause(a.ownCause, ownCause);
  }
  if ((a.pending & mask) != mask) {
    bool queued = a.pending != 0;
    a.pending |= mask;
    if (!queued) dispatch().queue.push_back({serial, nullptr});
  }
  refreshIdle(serial, a);
}

// Keeps an object's "update" sub-object stamped with its sync point.
void stampUpdateChild(uint32_t serial, Active& a, uint32_t sync) {
  static const OMobj_name kUpdate = OMstr_to_name("update");
  Obj* u = a.updateChild ? find(a.updateChild) : nullptr;
  if (!u || u->parent != serial || u->name != kUpdate || u->has(kHidden)) {
    a.updateChild = findChild(serial, kUpdate);
    u = find(a.updateChild);
  }
  if (u) u->stamp = sync;
}

// `it`: the object's entry among the actives, as its caller found it.
void runMethod(uint32_t serial, unsigned mask, ActiveMap::iterator it) {
  Store& s = store();
  OMobj_id id = idOf(serial);
  // A copy: the method may destroy the object, and its record with it.
  const Methods methods = methodsOf(it->second);
  const Methods* m = &methods;
  Dispatch& d = dispatch();
  walkDeferredChanges();  // the changes made so far are walked as the one running made them
  uint32_t cause = it->second.cause;
  // No cause recorded: the update was not queued by a change (nothing says it is not its own).
  uint32_t own = cause == 0 ? kManyCauses : it->second.ownCause;
  it->second.cause = 0;
  it->second.ownCause = 0;
  refreshIdle(serial, it->second);
  d.methods.push_back(serial);
  d.causes.push_back(mask & OM_EVENT_INST || cause == kManyCauses ? 0 : cause);
  d.owns.push_back(mask & OM_EVENT_INST ? kManyCauses : own);
  if (mask & OM_EVENT_INST) {
    it->second.instanced = true;
    refreshIdle(serial, it->second);
    int sync = static_cast<int>(it->second.sync = s.seq);
    // The record is looked up again after each call out: a wrapper's constructor or init may
    // change the tables, or destroy the object.
    if (m && m->omx) {
      OMXgroup* made = m->omx(id);
      it = s.actives.find(serial);
      if (it == s.actives.end()) {
        delete made;
      } else if (made) {
        s.wrappers[serial] = made;
        it->second.wrapped = true;
        refreshIdle(serial, it->second);
        made->init(OM_EVENT_INST, sync);
      }
    }
    // Without an instance method the update method instances: the three-argument one is
    // told so by the mask, the one-argument one simply runs a first time.
    if (m && m->instance)
      m->instance(id);
    else if (m && m->update)
      m->update(id, OM_EVENT_INST, sync);
    else if (m && m->update1)
      m->update1(id);
  } else {
    int sync = static_cast<int>(it->second.sync);
    OMXgroup* omx = it->second.wrapped ? wrapperOf(serial) : nullptr;
    if (omx) omx->update(OM_EVENT_VAL, sync);
    if (m && m->update)
      m->update(id, OM_EVENT_VAL, sync);
    else if (m && m->update1)
      m->update1(id);
  }
  walkDeferredChanges();  // the changes made so far are walked as the one running made them
  d.methods.pop_back();
  d.causes.pop_back();
  d.owns.pop_back();
  // The method may have destroyed its own object.
  it = s.actives.find(serial);
  if (it != s.actives.end()) {
    it->second.sync = s.seq;
    stampUpdateChild(serial, it->second, s.seq);
  }
}

// Runs one queued entry; returns false when there was nothing to run for it.
void runEntry(const Pending& p) {
  if (p.callback) {
    if (find(p.serial)) p.callback(idOf(p.serial));
    return;
  }
  Store& s = store();
  auto it = s.actives.find(p.serial);
  Obj* o = find(p.serial);
  if (it == s.actives.end() || !o || o->has(kDying)) return;
  unsigned mask = it->second.pending;
  it->second.pending = 0;  // kIdle follows in runMethod, or stays (nothing runs uninstanced)
  if ((mask & OM_EVENT_INST) && !it->second.instanced)
    runMethod(p.serial, OM_EVENT_INST, it);
  else if ((mask & OM_EVENT_VAL) && it->second.instanced)
    runMethod(p.serial, OM_EVENT_VAL, it);
}

bool flushQueue() {
  Dispatch& d = dispatch();
  if (d.running) return true;
  d.running = true;
  long calls = 0;
  bool ok = true;
  for (;;) {
    walkDeferredChanges();  // what the last entry changed, before the queue is read
    if (d.queue.empty()) break;
    if (++calls > OM_MAX_NOTIFY_CALLS) {
      ERRerror("OMflush_notifies", 0, 2,
               "notification loop stopped after %d calls; %zu notifications dropped",
               OM_MAX_NOTIFY_CALLS, d.queue.size());
      for (const Pending& p : d.queue) {
        auto it = store().actives.find(p.serial);
        if (it == store().actives.end()) continue;
        it->second.pending = 0, it->second.cause = 0;
        refreshIdle(p.serial, it->second);
      }
      d.queue.clear();
      ok = false;
      break;
    }
    Pending p = d.queue.front();
    d.queue.pop_front();
    runEntry(p);
  }
  d.running = false;
  return ok;
}

// The state of a walk through the objects (the notification walk, the newest stamp of a
// group), kept between walks so a walk costs no allocation. What it has reached is marked in
// the records themselves (kWalked), listed in seen, and unmarked when the walk ends: a change
// inside a window of many controls reaches every control through their "parent" links, so the
// test is made for each of them on every walk. Walks never nest: a walk calls out to nothing.
struct MarkedWalk {
  std::vector<uint32_t> stack;
  std::vector<Obj*> seen;           // records stay in place, and none is freed during a walk
  std::vector<uint32_t> notEnding;  // pushReferrersGoingOn's, kept for its storage
  bool visit(Obj* o) {
    if (o->has(kWalked)) return false;
    o->flags |= kWalked;
    seen.push_back(o);
    return true;
  }
  void reset() {
    stack.clear();
    for (Obj* o : seen) o->flags &= static_cast<uint16_t>(~kWalked);
    seen.clear();
  }
};

MarkedWalk& theWalk() {
  static auto* w = new MarkedWalk;
  return *w;
}

}  // namespace

void queueCall(uint32_t serial, int (*callback)(OMobj_id)) {
  walkDeferredChanges();
  dispatch().queue.push_back({serial, callback});
}

uint32_t nextStamp() {
  uint32_t& seq = store().seq;
  do ++seq;
  while (seq == 0 || seq == UINT32_MAX);
  return seq;
}

void structureChanged() {
  Store& s = store();
  // Only the low 24 bits are kept with an object: when they come round to 0 again, what every
  // object kept is forgotten, so that an old count never passes for the current one.
  if ((++s.structure & 0xFFFFFFu) == 0) {
    ++s.structure;
    for (auto& entry : s.actives) entry.second.clearAbove = 0;
  }
}

bool dispatching() {
  return dispatch().running;
}

namespace {

// True when the walk from r, a reference to `at` (being walked), would do nothing: r and its
// holder have no referrers, the holder is a child of `at` (so the walk would go on to `at` and
// stop there), and there is nothing to queue for the holder. Such are a window's controls,
// through their "parent" links, once each has an update queued: without the test every
// change inside a window visited every one of its controls, and loading a window grew with
// the square of its size.
//
// kEndsWhileSelfRuns: it ends only because its holder is the object whose method runs.
enum class Ending { kGoesOn, kEnds, kEndsWhileSelfRuns };
Ending endingAt(const Obj* ref, const Obj* holder, uint32_t at, uint32_t self) {
  if (ref->flags & (kReferred | kActive) || !ref->parent) return Ending::kGoesOn;
  if (holder->parent != at || holder->flags & (kReferred | kDying)) return Ending::kGoesOn;
  if (!holder->has(kActive) || holder->has(kIdle)) return Ending::kEnds;
  return ref->parent == self ? Ending::kEndsWhileSelfRuns : Ending::kGoesOn;
}

// A referrer (live) and its holder. A control's "parent" link is in its copy, whose top
// holds it: both are found with one look at the run.
const Obj* referrerOf(uint32_t r, const Obj** holder) {
  uint32_t i = 0;
  const Run* run = r >= kRunBase ? runAt(r, &i) : nullptr;
  const Obj* top = run ? madeCell(*run, 0) : nullptr;
  if (const Obj* ref = top ? madeCell(*run, i) : nullptr) {
    *holder = ref->parent == run->first ? top : (ref->parent ? linked(ref->parent) : nullptr);
    return ref;
  }
  const Obj* ref = linked(r);
  *holder = ref->parent ? linked(ref->parent) : nullptr;
  return ref;
}

// The first referrer of list's known tail (0: nothing known, or known before something moved
// Store::endings).
uint32_t knownTail(const Referrers& list) {
  return list.endings == store().endings ? list.knownHead : 0;
}

// Pushes the referrers of `at` that do not end the walk there, in list order, and remembers
// which end (Referrers): the list's tail known to end is not looked at again, but for those
// in it that did not, or whose holders stopped being idle since.
void pushReferrersGoingOn(MarkedWalk& w, uint32_t at, uint32_t self) {
  Store& s = store();
  auto entry = s.referrers.find(at);
  if (entry == s.referrers.end()) return;
  Referrers& list = entry->second;
  const uint32_t known = knownTail(list);
  if (known && known == list.first && list.notEnding.empty()) return;  // all known to end
  std::vector<uint32_t>& notEnding = w.notEnding;
  notEnding.clear();
  auto look = [&](uint32_t r) {
    const Obj* holder;
    const Obj* ref = referrerOf(r, &holder);
    Ending ending = endingAt(ref, holder, at, self);
    if (ending == Ending::kGoesOn) w.stack.push_back(r);
    if (ending != Ending::kEnds) {
      notEnding.push_back(r);
    } else if (holder && holder->has(kActive)) {
      // Ending because its holder is idle: the holder tells when it stops being so.
      auto a = s.actives.find(ref->parent);
      if (a != s.actives.end()) a->second.endsKnown = 1;
    }
    return ref->nextReferrer();
  };
  for (uint32_t r = list.first; r && r != known;) r = look(r);
  if (known)
    for (uint32_t r : list.notEnding) look(r);
  list.notEnding.swap(notEnding);
  list.knownHead = list.first;
  list.endings = s.endings;
}

// Puts reference c, in the known tail of `list` (a newer one is looked at anyway), among those
// looked at again, in list order: placed by its serial. False when serials do not tell the
// order: the whole list is then unknown.
bool lookAgainAt(Referrers& list, uint32_t c) {
  if (!list.descending) {
    list.knownHead = 0;
    return false;
  }
  std::vector<uint32_t>& v = list.notEnding;
  auto place = std::lower_bound(v.begin(), v.end(), c, std::greater<uint32_t>());
  if (c <= list.knownHead && (place == v.end() || *place != c)) v.insert(place, c);
  return true;
}

// A holder stopped being idle: its references that ended the walk at its parent, remembered
// so there, are looked at again at the next change reaching the parent.
void holderGoesOn(uint32_t serial, const Obj* holder) {
  Store& s = store();
  const uint32_t at = holder->parent;
  auto entry = at ? s.referrers.find(at) : s.referrers.end();
  if (entry == s.referrers.end()) return;
  Referrers& list = entry->second;
  if (!knownTail(list)) return;  // nothing remembered
  auto refersToParent = [at](const Obj* o) { return o->has(kRef) && o->target() == at; };
  // A copy whose links are as made holds the holder's children among the records it made
  // (one not made refers to nothing yet), after the holder: a look at them skips the rest.
  uint32_t i = 0;
  const Run* run = serial >= kRunBase ? runAt(serial, &i) : nullptr;
  if (run && run->asMade) {
    for (uint32_t k = i + 1; k < run->count; ++k) {
      const Obj* o = madeCell(*run, k);
      if (o && o->parent == serial && refersToParent(o) && !lookAgainAt(list, run->first + k))
        return;
    }
    return;
  }
  Obj scratch;
  for (uint32_t c = holder->firstChild; c;) {
    const Obj* o = view(c, &scratch);
    if (o != &scratch && refersToParent(o) && !lookAgainAt(list, c)) return;
    c = o->nextSibling;
  }
}

// Whether a change reaching `at` (read in o) from `prev` (read in prevRec: null when `at` is
// where the walk started, or prev is a record its copy has not made) is one of at's own state.
// It is not when prev is a member with an update method of its own (a child window, updated
// for its own changes), nor when prev is the reference the walk started from and it leads to
// at's parent (a control's "parent": the change is one of its window's). prevActive is prev's
// entry in the actives when prev has methods (the climb found it a step before; null: none).
bool reachesOwnState(const Obj* prevRec, const Active* prevActive, bool fromLink, const Obj* o) {
  if (!prevRec) return true;
  if (fromLink && prevRec->has(kRef) && prevRec->target() == o->parent) return false;
  if (!prevRec->has(kActive)) return true;
  return !prevActive || !wantsUpdates(*prevActive);
}

// A change (`change`) of at's own state reached `at`, which the walk had been through by
// another way: it is recorded as one of its own for the update queued for it, or for its
// nearest ancestor with an update method (further up it is a change inside a child window).
void markOwnState(uint32_t at, const Obj* o, uint32_t self, uint32_t change) {
  Store& s = store();
  Obj scratch;
  while (o) {
    if (o->has(kActive)) {
      auto it = s.actives.find(at);
      if (it != s.actives.end() && wantsUpdates(it->second)) {
        if (at != self && (it->second.pending & OM_EVENT_VAL))
          addCause(it->second.ownCause, change);
        return;  // for its parent, a change inside a child window
      }
    }
    at = o->parent;
    o = at ? view(at, &scratch) : nullptr;
  }
}

// Walks from serial to everything that depends on it (its parents, whoever refers to any of
// them, and so on), queueing an update for each instanced object with an update method other
// than self, as caused by `cause`. Objects w has seen already are not walked again.
void walkFrom(MarkedWalk& w, uint32_t serial, uint32_t self, uint32_t cause) {
  Store& s = store();
  w.stack.push_back(serial);
  bool fromLink = false;  // the first climb starts at the change; the others at references
  while (!w.stack.empty()) {
    uint32_t start = w.stack.back();
    w.stack.pop_back();
    uint32_t prev = 0;
    const Obj* prevRec = nullptr;
    const Active* prevActive = nullptr;  // prev's entry, when prev has methods
    // The nearest object with methods passed, while nothing the walk acts on lies above it: it
    // is told so if the climb reaches the root (the entries of the actives do not move).
    Active* lastActive = nullptr;
    const uint32_t structure = s.structure & 0xFFFFFFu;
    for (uint32_t at = start; at;) {
      Obj* o;
      if (at >= kRunBase) {
        const Run* run = nullptr;
        uint32_t i = 0;
        uint8_t where = runSlot(at, &run, &i);
        if (where == kGone) break;
        // A record its copy has not made has no referrers, no methods and nothing to mark:
        // the walk goes on to its parent (never the top, which is made).
        if (!where) {
          prev = at;
          prevRec = nullptr;
          prevActive = nullptr;
          at = run->first + run->shape->records[i].parent;
          continue;
        }
        o = runCell(*run, static_cast<uint16_t>(where - 1));
      } else {
        o = find(at);
      }
      if (!o) break;
      bool linkStep = fromLink && prev == start;
      if (!w.visit(o)) {
        if (reachesOwnState(prevRec, prevActive, linkStep, o)) markOwnState(at, o, self, serial);
        break;
      }
      // An object being destroyed is not walked through: what depends on it from outside the
      // subtree going is the parent of that subtree and whoever refers into it, and both are
      // notified when the teardown ends, inside the same context. Walked through, every
      // change a destroy method makes inside a window reached all of the window's controls
      // through their "parent" links, and taking a window apart grew with its square.
      if (o->has(kDying)) break;
      bool nothingAbove = false;
      Active* a = nullptr;
      if (o->has(kActive)) {
        auto it = s.actives.find(at);
        a = it != s.actives.end() ? &it->second : nullptr;
        // An update already queued for several changes needs nothing more, unless this one is
        // the first of its own state.
        if (a && at != self) {
          bool own = reachesOwnState(prevRec, prevActive, linkStep, o);
          if ((!o->has(kIdle) || own) && a->instanced && wantsUpdates(*a))
            queueFor(*a, at, OM_EVENT_VAL, cause, own ? serial : 0);
        }
        nothingAbove = a && a->clearAbove == structure;
        lastActive = a;
      } else if (o->has(kReferred)) {
        lastActive = nullptr;
      }
      if (o->has(kReferred)) pushReferrersGoingOn(w, at, self);
      // Known to have nothing above that the walk would act on: the climb ends here.
      if (nothingAbove) break;
      prev = at;
      prevRec = o;
      prevActive = a;
      at = o->parent;
      if (!at && lastActive) lastActive->clearAbove = structure;
    }
    fromLink = true;
  }
}

// Changes made while notifications cannot run (inside a context, or while the dispatcher runs)
// are walked later, all in one walk: a window's controls all refer to the window, so each
// change inside one reaches every other, and a control sets its properties one after another.
// The walk comes before anything that would read the queue or change what a walk reaches or
// whose changes are excluded (links, references, destruction, instancing, a method starting
// or returning, the dispatcher taking its next entry, the end of the context), so the same
// notifications are queued in the same order.
std::vector<uint32_t>& deferredChanges() {
  static auto* v = new std::vector<uint32_t>;
  return *v;
}

bool deferring() {
  Dispatch& d = dispatch();
  return d.depth > 0 || d.running;
}

}  // namespace

namespace {

// The walk of what list holds (not empty). Apart from the check for an empty list, which is
// what most calls find and which then costs no more than a test.
__attribute__((noinline)) void walkHeldChanges(std::vector<uint32_t>& list) {
  MarkedWalk& walk = theWalk();
  std::vector<uint32_t> changes;
  changes.swap(list);
  Dispatch& d = dispatch();
  uint32_t self = d.methods.empty() ? 0 : d.methods.back();  // the method running, if any
  // One walk covers the batch and stops where an earlier change of it has been, so an object
  // reached is known to be reached by one change only when the batch holds one.
  uint32_t cause = changes.size() == 1 ? changes[0] : kManyCauses;
  for (uint32_t serial : changes) walkFrom(walk, serial, self, cause);
  walk.reset();
  // The storage is kept for the next batch unless a large one made it grow.
  if (list.empty() && changes.capacity() <= 1024) list.swap(changes), list.clear();
}

}  // namespace

void walkDeferredChanges() {
  std::vector<uint32_t>& list = deferredChanges();
  if (!list.empty()) walkHeldChanges(list);
}

void propagate(uint32_t serial) {
  std::vector<uint32_t>& list = deferredChanges();
  if (list.empty() || list.back() != serial) list.push_back(serial);
  // Outside a context and the dispatcher, the change (with any held back) is walked at once.
  if (!deferring()) walkDeferredChanges();
}

void changed(uint32_t serial) {
  Obj* o = find(serial);
  if (!o) return;
  o->stamp = nextStamp();
  propagate(serial);
}

void maybeFlush() {
  Dispatch& d = dispatch();
  if (d.depth == 0 && !d.running && !d.queue.empty()) flushQueue();
}

void instanceTree(uint32_t root) {
  walkDeferredChanges();
  std::vector<uint32_t> stack{root};
  std::vector<uint32_t> copy;  // a copy as made: its made records, parents first
  Store& s = store();
  auto instance = [&](uint32_t serial, Obj* o) {
    o->flags |= kInstanced;
    if (o->has(kActive)) {
      auto it = s.actives.find(serial);
      if (it != s.actives.end() && !it->second.instanced)
        queueFor(it->second, serial, OM_EVENT_INST);
    }
  };
  while (!stack.empty()) {
    uint32_t serial = stack.back();
    stack.pop_back();
    // A copy whose tree is as made: the records not made are instanced with its top, and the
    // others are taken in the order the walk would reach them.
    if (serial >= kRunBase && runTop(serial)) {
      const Obj* top = find(serial);
      if (top && !top->has(kDying) && runMadeAsCopied(serial, &copy, nullptr)) {
        for (uint32_t made : copy) instance(made, find(made));
        copy.clear();
        continue;
      }
    }
    // A record its copy has not made is instanced with the copy's top (when the top is: a part
    // of a copy instanced apart has its records made); records made below it are reached
    // through it.
    Obj scratch;
    const Obj* o = view(serial, &scratch);
    if (!o) continue;
    if (o != &scratch || !o->has(kInstanced)) {
      Obj* record = find(serial);
      if (record->has(kDying)) continue;
      instance(serial, record);
      o = record;
    }
    uint32_t first = o->firstChild;  // read before scratch is reused
    size_t mark = stack.size();
    for (uint32_t c = first; c; c = view(c, &scratch)->nextSibling) stack.push_back(c);
    std::reverse(stack.begin() + static_cast<long>(mark), stack.end());  // parents first
  }
}

namespace {

// Takes an object's wrapper instance out of the store (null when it has none); the caller
// owns it.
OMXgroup* takeWrapper(uint32_t serial) {
  auto& wrappers = store().wrappers;
  auto w = wrappers.find(serial);
  if (w == wrappers.end()) return nullptr;
  OMXgroup* omx = w->second;
  wrappers.erase(w);
  return omx;
}

}  // namespace

void deinstance(uint32_t serial) {
  Store& s = store();
  auto it = s.actives.find(serial);
  if (it == s.actives.end()) return;
  bool ran = it->second.instanced;
  const Methods methods = methodsOf(it->second);
  const Methods* m = &methods;
  OMXgroup* omx = takeWrapper(serial);
  it->second.wrapped = false;
  if (ran && m && m->destroy) {
    Dispatch& d = dispatch();
    walkDeferredChanges();  // the changes made so far are walked as the one running made them
    d.methods.push_back(serial);
    d.causes.push_back(0);
    d.owns.push_back(kManyCauses);
    m->destroy(idOf(serial));
    walkDeferredChanges();  // the changes made so far are walked as the one running made them
    d.methods.pop_back();
    d.causes.pop_back();
    d.owns.pop_back();
  }
  delete omx;
  delete takeWrapper(serial);  // one the destroy method's dataflow made again
  s.actives.erase(serial);
  if (Obj* o = find(serial)) o->flags &= static_cast<uint16_t>(~(kActive | kIdle));
}

void attachMethods(uint32_t serial, uint32_t templ) {
  Store& s = store();
  auto t = s.templates.find(templ);
  if (t == s.templates.end()) return;
  Obj* o = find(serial);
  setTemplateOf(o, serial, templ);
  if (t->second.methods.intGetter || t->second.methods.realGetter) o->flags |= kValueFn;
  if (!t->second.methods.any()) return;
  if (!t->second.methodsIndex) {
    t->second.methodsIndex = static_cast<uint32_t>(s.methodTable.size());
    s.methodTable.push_back(&t->second.methods);
  }
  Active& a = s.actives[serial];
  a.methods = t->second.methodsIndex;
  a.sync = s.seq;
  o->flags |= kActive;
  if (o->has(kRef)) ++s.endings;  // a reference with methods takes the walk past its target
  structureChanged();
  refreshIdle(serial, a);
}

}  // namespace om

using namespace om;

int OMseq_newer(int stamp, int seq) {
  if (stamp == -1) return 0;
  if (seq == -1) return 1;
  // Serial-number arithmetic: the difference taken modulo 2^32, read as signed.
  return static_cast<int32_t>(static_cast<uint32_t>(stamp) - static_cast<uint32_t>(seq)) > 0;
}

int OMget_obj_seq(OMobj_id id, OMobj_id, int mode) {
  // Its stamp and whether it has members or a link (which a shape's record tells as well).
  uint32_t stamp = 0;
  const Obj* o = id.live == 1 ? stampedView(id.serial, &stamp) : nullptr;
  if (!o) return -1;
  if (mode != 3) return static_cast<int>(stamp);
  // Newest of the object, its members (recursively) and whatever any of them refers to.
  int newest = static_cast<int>(stamp);
  // Most properties are plain leaves: their own stamp is the answer, with nothing allocated.
  if (!o->firstChild && !o->has(kRef)) return newest;
  // A part of a copy as made: its run knows what was written in it.
  uint32_t inRun = 0;
  if (id.serial >= kRunBase && runNewestIn(id.serial, &inRun)) return static_cast<int>(inRun);
  // Containment alone is a tree: nothing is reached twice. Once a link is followed, members
  // may be reached both ways (or through several links), so from then on each object is
  // looked at once; without that, nested linked groups cost the square of their size.
  MarkedWalk& walk = theWalk();
  bool linked = false;
  Obj scratch;
  walk.stack.push_back(id.serial);
  while (!walk.stack.empty()) {
    uint32_t serial = walk.stack.back();
    walk.stack.pop_back();
    // A record its copy has not made (read in scratch) is reached once, through its parent
    // (nothing refers to it), so it needs no mark.
    const Obj* at = view(serial, &scratch);
    if (!at || (linked && at != &scratch && !walk.visit(find(serial)))) continue;
    if (OMseq_newer(static_cast<int>(at->stamp), newest)) newest = static_cast<int>(at->stamp);
    if (at->has(kRef)) {
      linked = true;
      walk.stack.push_back(at->target());
    }
    for (uint32_t c = at->firstChild; c; c = view(c, &scratch)->nextSibling)
      walk.stack.push_back(c);
  }
  walk.reset();
  return newest;
}

namespace {

// True when id's method is the one running.
bool runningFor(OMobj_id id) {
  Dispatch& d = dispatch();
  return !d.methods.empty() && d.methods.back() == id.serial && find(id);
}

// The cause recorded for id's update while it is the method running (0: none, or id's method
// is not the one running).
uint32_t causeWhileRunning(OMobj_id id) {
  return runningFor(id) ? dispatch().causes.back() : 0;
}

// The same for its own state (Active::ownCause): 0 when none of its own changed, kManyCauses
// when several did, the one is not known, or id's method is not the one running.
uint32_t ownCauseWhileRunning(OMobj_id id) {
  return runningFor(id) ? dispatch().owns.back() : kManyCauses;
}

// True when some object in root's subtree, outside the subtree of `except`, is a reference
// (expression operands are references too): a way for a change outside root to reach it.
bool refersOut(uint32_t root, uint32_t except) {
  std::vector<uint32_t>& stack = theWalk().stack;  // no walk runs while a method asks this
  size_t base = stack.size();
  bool found = false;
  stack.push_back(root);
  Obj scratch;
  while (stack.size() > base && !found) {
    const Obj* o = view(stack.back(), &scratch);
    stack.pop_back();
    if (o->has(kRef)) found = true;
    for (uint32_t c = o->firstChild; c; c = view(c, &scratch)->nextSibling)
      if (c != except) stack.push_back(c);
  }
  stack.resize(base);
  return found;
}

}  // namespace

OMobj_id OMget_update_cause(OMobj_id id) {
  return idOf(causeWhileRunning(id));
}

int OMupdate_came_through(OMobj_id id, OMobj_id link) {
  uint32_t cause = causeWhileRunning(id);
  const Obj* l = find(link);
  if (!cause || !l || l->parent != id.serial || !l->has(kRef)) return 0;
  if (cause == id.serial || !find(cause) || isAncestor(id.serial, cause)) return 0;
  return refersOut(id.serial, link.serial) ? 0 : 1;
}

int OMupdate_from_around(OMobj_id id) {
  return ownCauseWhileRunning(id) == 0 ? 1 : 0;
}

OMobj_id OMget_update_own_cause(OMobj_id id) {
  uint32_t own = ownCauseWhileRunning(id);
  return own == kManyCauses ? OMnull_obj : idOf(own);
}

int OMset_obj_seq(OMobj_id id, OMobj_id, int seq) {
  Obj* o = find(id);
  if (!o) return 0;
  o->stamp = static_cast<uint32_t>(seq);
  return 1;
}

int OMget_seq() {
  return static_cast<int>(store().seq);
}

int OMpush_ctx(OMobj_id, int, int, int) {
  ++dispatch().depth;
  return 1;
}

int OMpop_ctx(OMobj_id) {
  Dispatch& d = dispatch();
  if (d.depth <= 0) {
    ERRerror("OMpop_ctx", 0, 2, "context popped without a push");
    return 0;
  }
  if (--d.depth == 0) return flushQueue() ? 1 : 0;
  return 1;
}

int OMctx_depth() {
  return dispatch().depth;
}

int OMflush_notifies() {
  return flushQueue() ? 1 : 0;
}

int OMflush_notifies_mask(OMobj_id, OMobj_id obj, unsigned mask, int) {
  Obj scratch;
  if (!view(obj, &scratch)) return 0;
  walkDeferredChanges();
  // Ancestors waiting to be instanced go first: a child relies on its parent's state. Only
  // those with methods can have work waiting; every child being instanced asks this of its
  // parent, whose chain is a few records long, so it is gathered without allocating.
  constexpr size_t kFew = 16;
  uint32_t few[kFew];
  std::vector<uint32_t> many;
  size_t count = 0;
  for (uint32_t at = obj.serial; at;) {
    const Obj* o = view(at, &scratch);
    if (!o) break;
    if (o->has(kActive)) {
      if (count == kFew) many.assign(few, few + kFew);
      if (count < kFew)
        few[count] = at;
      else
        many.push_back(at);
      ++count;
    }
    at = o->parent;
  }
  const uint32_t* chain = count > kFew ? many.data() : few;
  Store& s = store();
  for (size_t k = count; k-- > 0;) {
    uint32_t serial = chain[k];
    auto a = s.actives.find(serial);
    if (a == s.actives.end() || !a->second.pending) continue;
    bool self = serial == obj.serial;
    unsigned want = self ? mask : static_cast<unsigned>(OM_EVENT_INST);
    unsigned run = a->second.pending & want;
    if (!run) continue;
    a->second.pending &= ~run;
    refreshIdle(serial, a->second);
    if ((run & OM_EVENT_INST) && !a->second.instanced) runMethod(serial, OM_EVENT_INST, a);
    a = s.actives.find(serial);
    if (a != s.actives.end() && (run & OM_EVENT_VAL) && a->second.instanced)
      runMethod(serial, OM_EVENT_VAL, a);
  }
  return 1;
}

int OMqueue_notify(OMobj_id obj, int (*callback)(OMobj_id), int) {
  if (!find(obj) || !callback) return 0;
  walkDeferredChanges();
  dispatch().queue.push_back({obj.serial, callback});
  maybeFlush();
  return 1;
}

int OMsend_event(OMobj_id obj, int event) {
  if (!find(obj)) return 0;
  auto hooks = dispatch().eventHooks;  // a hook may add hooks
  for (auto& h : hooks) h.first(obj, event, h.second);
  return 1;
}

int OMadd_event_hook(void (*hook)(OMobj_id, int, void*), void* arg) {
  if (!hook) return 0;
  dispatch().eventHooks.emplace_back(hook, arg);
  return 1;
}

int OMset_state_mode(int mode) {
  int previous = dispatch().stateMode;
  dispatch().stateMode = mode;
  return previous;
}
int OMget_state_mode() {
  return dispatch().stateMode;
}
int OMget_journal_style(int) {
  return dispatch().journalStyle;
}
int OMget_journal_control(int) {
  return dispatch().journalControl;
}
void OMset_journal(int style, int control) {
  dispatch().journalStyle = style;
  dispatch().journalControl = control;
}

int OMactivate_obj(OMobj_id id) {
  Obj* o = find(id);
  if (!o) return 0;
  if (!o->has(kActive)) {
    Active& a = store().actives[id.serial];
    a.sync = store().seq;
    o->flags |= kActive;
    if (o->has(kRef)) ++store().endings;  // as in attachMethods
    structureChanged();
    refreshIdle(id.serial, a);
  }
  return 1;
}

int OMinstance_obj(OMobj_id id) {
  if (!find(id)) return 0;
  instanceTree(id.serial);
  maybeFlush();
  return 1;
}

int OMclose_obj(OMobj_id id, int) {
  Obj* o = find(id);
  if (!o) return 0;
  Obj* p = find(o->parent);
  if (p && p->has(kInstanced)) instanceTree(id.serial);
  maybeFlush();
  return 1;
}

int OMis_instanced(OMobj_id id) {
  Obj scratch;
  const Obj* o = view(id, &scratch);
  return o && o->has(kInstanced) ? 1 : 0;
}

int OMadd_exit_func(void (*fn)(void*), void* arg) {
  if (!fn) return 0;
  dispatch().exitFuncs.emplace_back(fn, arg);
  return 1;
}

void OMrun_exit_funcs() {
  auto& funcs = dispatch().exitFuncs;
  while (!funcs.empty()) {
    auto f = funcs.back();
    funcs.pop_back();
    f.first(f.second);
  }
}

void OMexit(int status) {
  OMrun_exit_funcs();
  std::exit(status);
}

const char* OMget_path(int kind) {
  if (kind < 0 || kind >= 8) return "";
  return dispatch().paths[kind].c_str();
}

void OMset_path(int kind, const char* path) {
  if (kind >= 0 && kind < 8) dispatch().paths[kind] = path ? path : "";
}
