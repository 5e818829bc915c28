// Object manager: instancing, update notifications, contexts, sync points, loops, destroy.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "om/omx.h"
#include "om_fixture.h"
#include "om_internal.h"

using namespace omtest;

namespace {

struct Call {
  std::string what;  // "inst", "upd", "destroy"
  std::string name;
  unsigned mask;
  int seq;
  uint32_t cause = 0;      // what OMget_update_cause named while the method ran
  int throughParent = -1;  // what OMupdate_came_through said of "parent" (Linked only)
  int fromAround = -1;     // what OMupdate_from_around said
  uint32_t ownCause = 0;   // what OMget_update_own_cause named
};
std::vector<Call> calls;

std::string nameOf(OMobj_id id) {
  OMobj_name n = 0;
  OMget_obj_name(id, &n);
  return OMname_to_str(n);
}

int recInstance(OMobj_id id) {
  calls.push_back({"inst", nameOf(id), 0, 0});
  return 1;
}
int recUpdate(OMobj_id id, unsigned mask, int seq) {
  calls.push_back({"upd", nameOf(id), mask, seq, OMget_update_cause(id).serial, -1,
                   OMupdate_from_around(id), OMget_update_own_cause(id).serial});
  return 1;
}
int throughUpdate(OMobj_id id, unsigned mask, int seq) {
  OMobj_id parent = OMfind_subobj(id, OMstr_to_name("parent"), 0);
  calls.push_back({"upd", nameOf(id), mask, seq, OMget_update_cause(id).serial,
                   OMupdate_came_through(id, parent)});
  return 1;
}
int recDestroy(OMobj_id id) {
  calls.push_back({"destroy", nameOf(id), 0, 0});
  return 1;
}
// A child that needs its parent instanced first, as a binding needs its parent's widget.
int childInstance(OMobj_id id) {
  OMobj_id parent = OMfind_subobj(id, OMstr_to_name("parent"), 0);
  OMobj_id target;
  if (OMget_obj_val(parent, &target) == 1) OMflush_notifies_mask(OMnull_obj, target, 9, 0);
  return recInstance(id);
}
// Writes to its own object while it runs.
int selfWriter(OMobj_id id, unsigned mask, int seq) {
  recUpdate(id, mask, seq);
  OMset_int_val(OMfind_subobj(id, OMstr_to_name("out"), 0), seq);
  return 1;
}
// An instance method that writes into its own object, as a binding publishes its widget.
int publishInstance(OMobj_id id) {
  recInstance(id);
  OMset_int_val(OMfind_subobj(id, OMstr_to_name("out"), 0), 1);
  return 1;
}
// A destroy method that writes to its own object as it goes, as a binding clears its handle.
int scribbleDestroy(OMobj_id id) {
  recDestroy(id);
  OMset_int_val(OMfind_subobj(id, OMstr_to_name("value"), 0), 7);
  return 1;
}

// A destroy method that destroys what its "victim" refers to, as a binding takes down a window
// it opened.
int reapDestroy(OMobj_id id) {
  recDestroy(id);
  OMobj_id victim;
  if (OMget_obj_val(OMfind_subobj(id, OMstr_to_name("victim"), 0), &victim) == 1)
    OMdestroy_obj(victim, 0);
  return 1;
}

// Two objects that keep writing each other: a notification loop.
int pingPong(OMobj_id id, unsigned, int) {
  OMobj_id other = OMfind_subobj(id, OMstr_to_name("other"), 0);
  int v = 0;
  OMget_int_val(other, &v);
  OMset_int_val(other, v + 1);
  return 1;
}

struct Tracker : OMXgroup {
  explicit Tracker(OMobj_id id) : OMXgroup(id, nullptr, 3, nullptr, "Tracker") {}
  int init(unsigned, int) override {
    inits++;
    return 1;
  }
  int update(unsigned, int) override {
    updates++;
    return 1;
  }
  int inits = 0;
  int updates = 0;
};
OMXgroup* makeTracker(OMobj_id id) {
  return new Tracker(id);
}

class OMNotify : public OMTest {
 protected:
  static void SetUpTestSuite() {
    OMregister_instance_method("recInstance", recInstance);
    OMregister_instance_method("childInstance", childInstance);
    OMregister_instance_method("recDestroy", recDestroy);
    OMregister_instance_method("publishInstance", publishInstance);
    OMregister_instance_method("scribbleDestroy", scribbleDestroy);
    OMregister_instance_method("reapDestroy", reapDestroy);
    OMregister_update_method("recUpdate", recUpdate);
    OMregister_update_method("selfWriter", selfWriter);
    OMregister_update_method("throughUpdate", throughUpdate);
    OMregister_update_method("pingPong", pingPong);
    OMregister_omx_class("Tracker", makeTracker);
    loadTemplates(R"(
templates:
  Node:
    methods: { instance: recInstance, update: recUpdate, destroy: recDestroy }
    properties:
      parent: ref
      value: int
      update: int
      color: { kind: group, members: { fg: string, bg: string } }
  Child:
    base: Node
    methods: { instance: childInstance }
  Scribbler:
    base: Node
    methods: { destroy: scribbleDestroy }
  Reaper:
    base: Node
    methods: { destroy: reapDestroy }
    properties: { victim: ref }
  Linked:
    base: Node
    methods: { update: throughUpdate }
  SelfNode:
    base: Node
    methods: { update: selfWriter }
    properties: { out: int }
  Publisher:
    base: Node
    methods: { instance: publishInstance }
    properties: { out: int }
  Writer:
    methods: { update: selfWriter }
    properties: { in: int, out: int }
  Ping:
    methods: { update: pingPong }
    properties: { other: ref }
  Tracked:
    methods: { class: Tracker }
    properties: { value: int }
)");
  }
  void SetUp() override {
    OMTest::SetUp();
    calls.clear();
  }
  OMobj_id node(OMobj_id parent, const char* name, const char* type = "Node") {
    return OMcreate_obj_from_path(type, name, parent);
  }
  // The objects whose methods ran for each of two sets of `value` (1, then 2), the sets
  // apart: "a b | a b | ".
  static std::string namesAfterTwoSets(OMobj_id value) {
    std::string names;
    for (int v : {1, 2}) {
      calls.clear();
      OMset_int_val(value, v);
      for (const Call& c : calls) names += c.name + " ";
      names += "| ";
    }
    return names;
  }
  // The writes made in one context; calls then holds what they caused.
  void inOneContext(const std::function<void()>& writes) {
    calls.clear();
    OMpush_ctx(top, 1, 0, 0);
    writes();
    OMpop_ctx(top);
  }
  // What the update of `name` was told, by `field`, as "name=value " for each name (-2: not
  // updated).
  static std::string toldBy(std::initializer_list<const char*> names, int Call::*field) {
    std::string out;
    for (const char* name : names) {
      int value = -2;
      for (const Call& c : calls)
        if (c.name == name) value = c.*field;
      out += std::string(name) + "=" + std::to_string(value) + " ";
    }
    return out;
  }
};

TEST_F(OMNotify, ParentsAreInstancedBeforeChildren) {
  OMobj_id holder = make(plain, "holder", OM_KIND_GROUP);
  OMobj_id a = node(holder, "a");
  node(a, "b");
  EXPECT_TRUE(calls.empty()) << "nothing is instanced outside the instance place";
  ASSERT_EQ(OMmove_obj(holder, top), 1);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].name, "a");
  EXPECT_EQ(calls[1].name, "b");
}

TEST_F(OMNotify, FlushMaskInstancesAParentOnDemand) {
  OMobj_id holder = make(plain, "holder", OM_KIND_GROUP);
  // The child comes first in document order but needs its parent instanced.
  OMobj_id child = node(holder, "child", "Child");
  OMobj_id parent = node(holder, "parent");
  OMset_obj_ref(sub(child, "parent"), parent, 0);
  OMmove_obj(holder, top);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].name, "parent");
  EXPECT_EQ(calls[1].name, "child");
}

TEST_F(OMNotify, NotificationsWaitForTheOutermostPop) {
  OMobj_id a = node(top, "a");
  calls.clear();
  OMobj_id value = sub(a, "value");
  OMpush_ctx(a, 1, 0, 0);
  OMset_int_val(value, 1);
  OMpush_ctx(a, 1, 0, 0);
  OMset_int_val(value, 2);
  OMpop_ctx(a);
  EXPECT_TRUE(calls.empty()) << "inner pop runs nothing";
  OMset_str_val(sub(sub(a, "color"), "fg"), "red");
  OMpop_ctx(a);
  ASSERT_EQ(calls.size(), 1u) << "one update for all the writes";
  EXPECT_EQ(calls[0].mask, static_cast<unsigned>(OM_EVENT_VAL));
  // Outside any context a write runs its notification at once.
  OMset_int_val(value, 3);
  EXPECT_EQ(calls.size(), 2u);
  EXPECT_EQ(OMpop_ctx(a), 0) << "an unpaired pop is refused";
}

TEST_F(OMNotify, SeqIsTheSyncPointAndUpdateChildFollowsIt) {
  OMobj_id a = node(top, "a");
  OMobj_id value = sub(a, "value");
  OMobj_id color = sub(a, "color");
  int sync = OMget_obj_seq(sub(a, "update"), OMnull_obj, 0);
  calls.clear();
  OMpush_ctx(a, 1, 0, 0);
  OMset_int_val(value, 5);
  OMpop_ctx(a);
  ASSERT_EQ(calls.size(), 1u);
  int seq = calls[0].seq;
  EXPECT_EQ(seq, sync) << "the update stamp was the sync point";
  EXPECT_GT(OMget_obj_seq(value, OMnull_obj, 3), seq) << "the changed property is newer";
  EXPECT_LE(OMget_obj_seq(color, OMnull_obj, 3), seq) << "an untouched one is not";
  int newSync = OMget_obj_seq(sub(a, "update"), OMnull_obj, 0);
  EXPECT_GE(newSync, OMget_obj_seq(value, OMnull_obj, 0));
  OMset_str_val(sub(color, "bg"), "blue");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].seq, newSync);
}

// The stamp goes to the object's "update" member as it is when the method has run: one moved
// away is no longer stamped, and one made in place of a destroyed one is.
TEST_F(OMNotify, TheUpdateStampFollowsTheMemberReplacedOrMovedAway) {
  OMobj_id a = node(top, "a");
  OMobj_id value = sub(a, "value");
  OMset_int_val(value, 1);
  OMobj_id first = sub(a, "update");
  ASSERT_GE(OMget_obj_seq(first, OMnull_obj, 0), OMget_obj_seq(value, OMnull_obj, 0));
  OMobj_id elsewhere = make(top, "elsewhere", OM_KIND_GROUP);
  ASSERT_EQ(OMmove_obj(first, elsewhere), 1);
  int movedStamp = OMget_obj_seq(first, OMnull_obj, 0);
  OMobj_id second = make(a, "update", OM_KIND_INT);
  OMset_int_val(value, 2);
  EXPECT_EQ(OMget_obj_seq(first, OMnull_obj, 0), movedStamp) << "moved away";
  EXPECT_GE(OMget_obj_seq(second, OMnull_obj, 0), OMget_obj_seq(value, OMnull_obj, 0));
  OMdestroy_obj(second, 0);
  OMobj_id third = make(a, "update", OM_KIND_INT);
  OMset_int_val(value, 3);
  EXPECT_GE(OMget_obj_seq(third, OMnull_obj, 0), OMget_obj_seq(value, OMnull_obj, 0));
  OMdestroy_obj(elsewhere, 0);
}

TEST_F(OMNotify, AnUpdateIsToldTheOneChangeThatCausedIt) {
  OMobj_id a = node(top, "a");
  OMobj_id value = sub(a, "value");
  OMobj_id fg = sub(sub(a, "color"), "fg"), bg = sub(sub(a, "color"), "bg");
  OMobj_id source = make(top, "source", OM_KIND_INT);
  auto causeOf = [&](const std::function<void()>& writes) {
    calls.clear();
    OMpush_ctx(a, 1, 0, 0);
    writes();
    OMpop_ctx(a);
    return calls.size() == 1 ? calls[0].cause : 0xdeadu;
  };
  EXPECT_EQ(causeOf([&] { OMset_int_val(value, 1); }), value.serial);
  EXPECT_EQ(causeOf([&] { OMset_str_val(fg, "red"); }), fg.serial) << "a member of a group";
  EXPECT_EQ(causeOf([&] { OMset_int_val(value, 2), OMset_int_val(value, 3); }), value.serial)
      << "the same property twice";
  EXPECT_EQ(causeOf([&] { OMset_str_val(fg, "green"), OMset_str_val(bg, "blue"); }), 0u)
      << "two members of one group: the second change's walk stops at the group";
  EXPECT_EQ(causeOf([&] { OMset_int_val(value, 4), OMset_str_val(fg, "red"); }), 0u);
  EXPECT_EQ(
      causeOf([&] { OMset_int_val(value, 5), OMset_str_val(fg, "blue"), OMset_int_val(value, 6); }),
      0u)
      << "one property, another, the first again";
  // Through a link the cause is the object outside that changed, not the member.
  OMset_obj_ref(value, source, 0);
  EXPECT_EQ(causeOf([&] { OMset_int_val(source, 7); }), source.serial);
  // Changes queued apart before the update runs: several causes.
  calls.clear();
  OMpush_ctx(a, 1, 0, 0);
  OMset_int_val(source, 8);
  OMflush_notifies_mask(OMnull_obj, top, 0, 0);  // walks what is held back, runs nothing
  OMset_str_val(bg, "red");
  OMpop_ctx(a);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].cause, 0u);
  EXPECT_FALSE(OMget_update_cause(a).serial) << "outside the method nothing is named";
  // Instancing records no cause: an object's first update names its change.
  OMobj_id b = node(top, "b");
  calls.clear();
  OMset_int_val(sub(b, "value"), 1);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].cause, sub(b, "value").serial);
}

TEST_F(OMNotify, ChangesThroughALinkNotifyTheHolder) {
  OMobj_id source = make(top, "source", OM_KIND_INT);
  OMobj_id a = node(top, "a");
  OMset_obj_ref(sub(a, "value"), source, 0);
  calls.clear();
  OMset_int_val(source, 9);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].name, "a");
}

// Controls that refer to the window holding them: a change inside one reaches the window and,
// through it, every other, whatever each was doing when the change came (waiting with an update
// queued for one change or for several, just run, running and writing into itself).
TEST_F(OMNotify, AChangeInsideAWindowReachesEveryControlReferringToIt) {
  OMobj_id win = node(top, "win");
  std::vector<OMobj_id> ctl;
  for (const char* name : {"c0", "c1", "c2", "c3"}) {
    ctl.push_back(node(win, name, name[1] == '3' ? "SelfNode" : "Node"));
    OMset_obj_ref(sub(ctl.back(), "parent"), win, 0);
  }
  auto updated = [&] {
    std::vector<std::string> names;
    for (const Call& c : calls)
      if (c.what == "upd") names.push_back(c.name);
    std::sort(names.begin(), names.end());
    calls.clear();
    return names;
  };
  // c3 writes into itself as it runs: that reaches the others once more, but not c3.
  const std::vector<std::string> everyone{"c0", "c0", "c1", "c1", "c2", "c2", "c3", "win", "win"};
  calls.clear();
  OMset_int_val(sub(ctl[0], "value"), 1);
  EXPECT_EQ(updated(), everyone);
  OMset_int_val(sub(ctl[1], "value"), 2);
  EXPECT_EQ(updated(), everyone) << "each ran just before";
  OMpush_ctx(top, 1, 0, 0);
  OMset_int_val(sub(ctl[2], "value"), 3);
  OMflush_notifies_mask(OMnull_obj, top, 0, 0);  // every one waits for that one change
  OMset_int_val(sub(ctl[0], "value"), 4);
  OMflush_notifies_mask(OMnull_obj, top, 0, 0);  // now for several
  OMset_int_val(sub(ctl[1], "value"), 5);
  OMpop_ctx(top);
  EXPECT_EQ(updated(), everyone) << "waiting: each once, then for c3's write";
  // One of them runs on its own (its update flushed), then a change reaches it again.
  OMpush_ctx(top, 1, 0, 0);
  OMset_int_val(sub(ctl[2], "value"), 6);
  OMset_int_val(sub(ctl[0], "value"), 7);
  OMflush_notifies_mask(OMnull_obj, ctl[1], OM_EVENT_VAL, 0);
  EXPECT_EQ(updated(), std::vector<std::string>{"c1"});
  OMset_int_val(sub(win, "value"), 8);
  OMpop_ctx(top);
  EXPECT_EQ(updated(), everyone) << "c1 ran and is reached again";
}

// A reference whose holder sits in the window it refers to ends a change of the window there;
// each change is checked again once the holder has left the window or is referred to itself.
// Every step sets twice: the first may look at the window's referrers, the second at what it
// remembered of them.
TEST_F(OMNotify, AWindowsChangeFollowsItsReferrersOutOfItAndThroughReferences) {
  OMobj_id win = node(top, "win");
  OMobj_id y = node(top, "y");
  OMobj_id g = make(win, "g", OM_KIND_GROUP);
  OMobj_id link = make(g, "link", OM_KIND_INT);
  ASSERT_EQ(OMset_obj_ref(link, win, 0), 1);
  auto namesAfterSets = [&] { return namesAfterTwoSets(sub(win, "value")); };
  EXPECT_EQ(namesAfterSets(), "win | win | ");
  ASSERT_EQ(OMmove_obj(g, y), 1);
  EXPECT_EQ(namesAfterSets(), "win y | win y | ") << "the holder left the window";
  ASSERT_EQ(OMmove_obj(g, win), 1);
  EXPECT_EQ(namesAfterSets(), "win | win | ");
  ASSERT_EQ(OMset_obj_ref(sub(y, "value"), g, 0), 1);
  EXPECT_EQ(namesAfterSets(), "win y | win y | ") << "the holder is referred to";
  OMset_obj_ref(sub(y, "value"), OMnull_obj, 0);
  EXPECT_EQ(namesAfterSets(), "win | win | ");
}

// A window loaded with its controls, each publishing into itself as it is instanced: each
// write reaches the window and, through it, the controls instanced before (once each: the
// second change finds an update queued). Then changes reach controls idle or not, one run on
// its own in between. The calls come in the same order whatever order the controls' links
// were made in, and with members added to the controls after they were made.
TEST_F(OMNotify, AWindowLoadedWithItsControlsReachesThoseInstancedBefore) {
  auto load = [&](const char* name, std::vector<int> linkOrder, bool membersAdded = false) {
    OMobj_id holder = make(plain, name, OM_KIND_GROUP);
    OMobj_id win = node(holder, "win");
    std::vector<OMobj_id> ctl;
    for (int i = 0; i < 5; ++i)
      ctl.push_back(node(win, ("c" + std::to_string(i)).c_str(), "Publisher"));
    for (int i : linkOrder) OMset_obj_ref(sub(ctl[i], "parent"), win, 0);
    if (membersAdded)
      for (OMobj_id c : ctl) make(c, "extra", OM_KIND_INT);
    std::string seen;
    auto take = [&](const char* step) {
      seen += step;
      for (const Call& c : calls) seen += " " + c.what + ":" + c.name;
      seen += "\n";
      calls.clear();
    };
    calls.clear();
    OMmove_obj(holder, top);
    take("load");
    OMset_int_val(sub(win, "value"), 1);
    take("window");
    OMpush_ctx(top, 1, 0, 0);
    OMset_int_val(sub(win, "value"), 2);
    OMflush_notifies_mask(OMnull_obj, top, 0, 0);
    OMset_int_val(sub(ctl[4], "value"), 3);
    OMflush_notifies_mask(OMnull_obj, ctl[2], OM_EVENT_VAL, 0);
    take("c2 alone");
    OMset_int_val(sub(ctl[0], "value"), 4);
    OMpop_ctx(top);
    take("rest");
    OMset_int_val(sub(ctl[3], "value"), 5);
    take("c3");
    return seen;
  };
  // The controls' updates but `skip`'s, in the order their links were made.
  auto inLinkOrder = [](const std::vector<int>& order, int skip = -1) {
    std::string out;
    for (int i : order)
      if (i != skip) out += " upd:c" + std::to_string(i);
    return out;
  };
  const std::pair<std::vector<int>, bool> cases[] = {{{0, 1, 2, 3, 4}, false},
                                                     {{4, 3, 2, 1, 0}, false},
                                                     {{2, 0, 4, 1, 3}, false},
                                                     {{2, 0, 4, 1, 3}, true}};
  for (const auto& [order, membersAdded] : cases) {
    std::string name = membersAdded ? "grown" : "linked";
    for (int i : order) name += std::to_string(i);
    EXPECT_EQ(load(name.c_str(), order, membersAdded),
              "load inst:win inst:c0 inst:c1 inst:c2 inst:c3 inst:c4 upd:win upd:c0 upd:c1 "
              "upd:c2 upd:c3\n"
              "window upd:win" +
                  inLinkOrder(order) + "\n" +
                  "c2 alone upd:c2\n"
                  "rest upd:win" +
                  inLinkOrder(order) + "\n" + "c3 upd:c3 upd:win" + inLinkOrder(order, 3) + "\n")
        << name;
  }
}

TEST_F(OMNotify, AnUpdateKnowsWhenOnlyItsParentLinkBroughtTheChange) {
  OMobj_id win = node(top, "win");
  OMobj_id a = node(win, "a", "Linked"), b = node(win, "b", "Linked");
  OMobj_id source = make(top, "source", OM_KIND_INT);
  for (OMobj_id id : {a, b}) OMset_obj_ref(sub(id, "parent"), win, 0);
  // What each of a and b was told, for the writes made in one context.
  auto told = [&](const std::function<void()>& writes) {
    inOneContext(writes);
    return toldBy({"a", "b"}, &Call::throughParent);
  };
  EXPECT_EQ(told([&] { OMset_int_val(sub(b, "value"), 1); }), "a=1 b=0 ") << "a sibling's value";
  EXPECT_EQ(told([&] { OMset_int_val(sub(win, "value"), 2); }), "a=1 b=1 ")
      << "the window's own value";
  EXPECT_EQ(told([&] { OMset_str_val(sub(sub(a, "color"), "fg"), "red"); }), "a=0 b=1 ")
      << "a member of a group of a's own";
  OMobj_id other = node(top, "other");
  EXPECT_EQ(told([&] { OMset_obj_ref(sub(a, "parent"), other, 0); }), "a=0 b=1 ")
      << "a's link itself";
  OMset_obj_ref(sub(a, "parent"), win, 0);
  EXPECT_EQ(told([&] { OMset_int_val(sub(b, "value"), 3), OMset_int_val(sub(win, "value"), 4); }),
            "a=0 b=0 ")
      << "two changes: not known to come through the link alone";
  // A member referring elsewhere is another way in: a no longer knows.
  OMset_obj_ref(sub(a, "value"), source, 0);
  EXPECT_EQ(told([&] { OMset_int_val(sub(win, "value"), 5); }), "a=0 b=1 ");
  EXPECT_EQ(told([&] { OMset_int_val(source, 6); }), "a=0 b=1 ")
      << "b is told through the window, which holds a";
  EXPECT_EQ(OMupdate_came_through(a, sub(a, "parent")), 0) << "outside the method";
}

// A window and its controls, nested as an interface file nests them: a change in one control
// reaches the window (its child) and every other control (through "parent"); only the ones
// whose own state changed are told so.
TEST_F(OMNotify, AnUpdateKnowsWhenNothingOfItsOwnChanged) {
  OMobj_id win = node(top, "win");
  OMobj_id a = node(win, "a"), b = node(win, "b");
  OMobj_id source = make(top, "source", OM_KIND_INT);
  for (OMobj_id id : {a, b}) OMset_obj_ref(sub(id, "parent"), win, 0);
  auto told = [&](const std::function<void()>& writes) {
    inOneContext(writes);
    return toldBy({"win", "a", "b"}, &Call::fromAround);
  };
  EXPECT_EQ(told([&] { OMset_int_val(sub(b, "value"), 1); }), "win=1 a=1 b=0 ")
      << "a control's value: its own, the window's child's, a's window's";
  EXPECT_EQ(told([&] { OMset_int_val(sub(win, "value"), 2); }), "win=0 a=1 b=1 ");
  EXPECT_EQ(told([&] { OMset_str_val(sub(sub(win, "color"), "fg"), "red"); }), "win=0 a=1 b=1 ")
      << "a member group of the window's own";
  // Two changes in one context, the window's own reached first and last: the walk meets the
  // window again and must still tell it.
  EXPECT_EQ(told([&] { OMset_int_val(sub(b, "value"), 3), OMset_int_val(sub(win, "value"), 4); }),
            "win=0 a=1 b=0 ");
  EXPECT_EQ(told([&] { OMset_int_val(sub(win, "value"), 5), OMset_int_val(sub(b, "value"), 6); }),
            "win=0 a=1 b=0 ");
  EXPECT_EQ(told([&] {
              OMset_int_val(sub(b, "value"), 7);
              OMset_str_val(sub(sub(win, "color"), "bg"), "blue");
            }),
            "win=0 a=1 b=0 ")
      << "through a member group met for the first time";
  OMobj_id other = node(top, "other");
  EXPECT_EQ(told([&] { OMset_obj_ref(sub(a, "parent"), other, 0); }), "win=1 a=0 b=1 ")
      << "a's link itself";
  OMset_obj_ref(sub(a, "parent"), win, 0);
  // A member referring elsewhere brings changes of a's own.
  OMset_obj_ref(sub(a, "value"), source, 0);
  EXPECT_EQ(told([&] { OMset_int_val(source, 8); }), "win=1 a=0 b=1 ");
  EXPECT_EQ(told([&] { OMset_int_val(sub(win, "value"), 9); }), "win=0 a=1 b=1 ");
  EXPECT_EQ(OMupdate_from_around(a), 0) << "outside the method";
  // The one change of its own, among changes around it, is named.
  auto ownCauseOf = [&](const char* name) {
    for (const Call& c : calls)
      if (c.name == name) return c.ownCause;
    return 0u;
  };
  told([&] { OMset_int_val(sub(b, "value"), 10), OMset_int_val(sub(win, "value"), 11); });
  EXPECT_EQ(ownCauseOf("b"), sub(b, "value").serial);
  EXPECT_EQ(ownCauseOf("win"), sub(win, "value").serial) << "b's change is inside a child window";
  EXPECT_EQ(ownCauseOf("a"), 0u);
  told([&] { OMset_int_val(sub(b, "value"), 12), OMset_str_val(sub(sub(b, "color"), "fg"), "x"); });
  EXPECT_EQ(ownCauseOf("b"), 0u) << "two of its own";
}

// A change climbs from its object to the root for whatever lies above. Once a climb found
// nothing there, later changes may stop early; what is added above afterwards must still be
// reached: a reference to the group, a window it is moved into, a window further up.
TEST_F(OMNotify, ChangesReachWhatWasPutAboveSinceTheLastOne) {
  OMobj_id group = make(top, "group", OM_KIND_GROUP);
  OMobj_id inner = make(group, "inner", OM_KIND_GROUP);
  OMobj_id n = node(inner, "n");
  OMobj_id win = node(top, "win");
  OMobj_id holder = node(top, "holder");
  OMobj_id outer = make(top, "outer", OM_KIND_GROUP);
  OMobj_id frame = node(top, "frame");
  // Each step sets twice: the first climbs past what changed, the second may stop early.
  auto namesAfterSets = [&] { return namesAfterTwoSets(sub(n, "value")); };
  EXPECT_EQ(namesAfterSets(), "n | n | ");
  ASSERT_EQ(OMset_obj_ref(sub(holder, "value"), group, 0), 1);
  EXPECT_EQ(namesAfterSets(), "n holder | n holder | ");
  OMset_obj_ref(sub(holder, "value"), OMnull_obj, 0);
  EXPECT_EQ(namesAfterSets(), "n | n | ");
  ASSERT_EQ(OMmove_obj(group, win), 1);
  EXPECT_EQ(namesAfterSets(), "n win | n win | ");
  // Moved under a plain group, then under another window: one level further up each time.
  ASSERT_EQ(OMmove_obj(win, outer), 1);
  EXPECT_EQ(namesAfterSets(), "n win | n win | ");
  ASSERT_EQ(OMmove_obj(outer, frame), 1);
  EXPECT_EQ(namesAfterSets(), "n win frame | n win frame | ");
}

// Inside a context the notifications a change causes are those it caused when made, queued in
// the order the changes were made, whatever links are made or cut before the context ends.
TEST_F(OMNotify, NotificationsInAContextFollowTheOrderOfTheChanges) {
  OMobj_id group = make(top, "group", OM_KIND_GROUP);
  OMobj_id source = make(group, "source", OM_KIND_INT);
  OMobj_id a = node(top, "a");
  OMobj_id b = node(top, "b");
  OMobj_id c = node(top, "c");
  OMset_obj_ref(sub(a, "value"), source, 0);
  calls.clear();
  OMpush_ctx(top, 1, 0, 0);
  OMset_int_val(source, 1);                  // reaches a
  OMset_obj_ref(sub(b, "value"), group, 0);  // b's own change, after a's (and a path to b)
  OMset_int_val(sub(c, "value"), 2);         // then c
  OMset_int_val(source, 3);                  // reaches a and b, both waiting already
  OMpop_ctx(top);
  std::vector<std::string> order;
  for (const Call& call : calls) order.push_back(call.what + " " + call.name);
  EXPECT_EQ(order, (std::vector<std::string>{"upd a", "upd b", "upd c"}));
  // A change made just before the changed object goes still reaches its holders.
  calls.clear();
  OMobj_id box = make(top, "box", OM_KIND_GROUP);
  OMobj_id held = make(box, "held", OM_KIND_INT);
  OMset_obj_ref(sub(c, "value"), box, 0);
  calls.clear();
  OMpush_ctx(top, 1, 0, 0);
  OMset_int_val(held, 4);
  OMdestroy_obj(held, 0);
  OMpop_ctx(top);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].name, "c");
}

TEST_F(OMNotify, OwnWritesDuringUpdateDoNotRenotify) {
  OMobj_id w = node(top, "w", "Writer");
  calls.clear();
  OMset_int_val(sub(w, "in"), 1);
  EXPECT_EQ(calls.size(), 1u);
  int out = 0;
  EXPECT_EQ(OMget_int_val(sub(w, "out"), &out), 1);
}

TEST_F(OMNotify, ANotificationLoopIsStoppedAndReported) {
  OMobj_id a = node(top, "pa", "Ping");
  OMobj_id b = node(top, "pb", "Ping");
  OMobj_id counter = make(top, "counter", OM_KIND_INT);
  OMset_int_val(counter, 0);
  // Each writes the counter through its link, which notifies the other.
  OMset_obj_ref(sub(a, "other"), counter, 0);
  OMset_obj_ref(sub(b, "other"), counter, 0);
  EXPECT_GE(reports().size(), 1u);
  ASSERT_FALSE(reports().empty());
  EXPECT_NE(reports()[0].find("notification loop stopped"), std::string::npos) << reports()[0];
  // The object manager still works afterwards.
  OMobj_id x = make(top, "x", OM_KIND_INT);
  EXPECT_EQ(OMset_int_val(x, 1), 1);
}

TEST_F(OMNotify, DestroyCallsMethodsChildrenFirstAndNotifiesHolders) {
  OMobj_id a = node(top, "a");
  node(a, "b");
  OMobj_id watcher = node(top, "watcher");
  OMset_obj_ref(sub(watcher, "parent"), a, 0);
  calls.clear();
  ASSERT_EQ(OMdestroy_obj(a, 0), 1);
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls[0].what, "destroy");
  EXPECT_EQ(calls[0].name, "b");
  EXPECT_EQ(calls[1].what, "destroy");
  EXPECT_EQ(calls[1].name, "a");
  EXPECT_EQ(calls[2].what, "upd");
  EXPECT_EQ(calls[2].name, "watcher") << "the holder of a link to it is told";
  EXPECT_EQ(OMget_num_refs(sub(watcher, "parent")), 0);
}

// What a destroy method writes inside the subtree going reaches what depends on that subtree
// from outside (its parent and whoever refers into it) once, when the teardown ends.
TEST_F(OMNotify, WritesOfDestroyMethodsReachOutsideDependentsWhenTheTeardownEnds) {
  OMobj_id outer = node(top, "outer");
  OMobj_id box = node(outer, "box");
  OMobj_id inner = node(box, "inner", "Scribbler");
  node(box, "sibling", "Scribbler");
  OMobj_id holder = node(top, "holder");
  OMset_obj_ref(sub(holder, "parent"), inner, 0);
  OMobj_id watcher = node(top, "watcher");
  OMset_obj_ref(sub(watcher, "parent"), outer, 0);
  calls.clear();
  ASSERT_EQ(OMdestroy_obj(box, 0), 1);
  std::vector<std::string> destroyed, updated;
  for (const Call& c : calls) (c.what == "destroy" ? destroyed : updated).push_back(c.name);
  EXPECT_EQ(destroyed, (std::vector<std::string>{"inner", "sibling", "box"}));
  std::sort(updated.begin(), updated.end());
  EXPECT_EQ(updated, (std::vector<std::string>{"holder", "outer", "watcher"}))
      << "each outside dependent is told once";
  for (size_t i = 0; i + 1 < calls.size(); ++i) {
    if (calls[i].what == "upd") {
      EXPECT_NE(calls[i + 1].what, "destroy") << "told after the teardown";
    }
  }
}

// A teardown started by a destroy method runs inside the first one's: both end whole, each
// with its own subtree and in its own order. A large teardown first leaves its lists' storage
// for the next ones, which must start from empty lists all the same.
TEST_F(OMNotify, ADestroyMethodMayDestroyAnotherSubtree) {
  OMobj_id large = make(top, "large", OM_KIND_GROUP);
  for (int i = 0; i < 5000; ++i) make(large, ("i" + std::to_string(i)).c_str(), OM_KIND_INT);
  ASSERT_EQ(OMdestroy_obj(large, 0), 1);
  OMobj_id box = node(top, "box");
  OMobj_id reaper = node(box, "reaper", "Reaper");
  OMobj_id after = node(box, "after");
  OMobj_id victim = node(top, "victim");
  std::vector<OMobj_id> gone{
      box, reaper, after, victim, node(victim, "v1"), node(victim, "v2"), node(after, "a1")};
  OMobj_id watcher = node(top, "watcher");
  OMobj_id keeper = node(top, "keeper");
  OMset_obj_ref(sub(watcher, "parent"), after, 0);
  OMset_obj_ref(sub(reaper, "victim"), victim, 0);
  calls.clear();
  ASSERT_EQ(OMdestroy_obj(box, 0), 1);
  std::vector<std::string> destroyed, updated;
  for (const Call& c : calls) (c.what == "destroy" ? destroyed : updated).push_back(c.name);
  EXPECT_EQ(destroyed,
            (std::vector<std::string>{"reaper", "v1", "v2", "victim", "a1", "after", "box"}));
  EXPECT_NE(std::find(updated.begin(), updated.end(), "watcher"), updated.end());
  for (OMobj_id id : gone) EXPECT_EQ(OMvalid_obj(id, OMnull_obj, 0), 0) << id.serial;
  EXPECT_EQ(OMget_num_refs(sub(watcher, "parent")), 0);
  // What stays works as before, and the next teardown finds its lists empty.
  EXPECT_EQ(OMvalid_obj(keeper, OMnull_obj, 0), 1);
  node(keeper, "k1");
  calls.clear();
  ASSERT_EQ(OMdestroy_obj(keeper, 0), 1);
  destroyed.clear();
  for (const Call& c : calls)
    if (c.what == "destroy") destroyed.push_back(c.name);
  EXPECT_EQ(destroyed, (std::vector<std::string>{"k1", "keeper"}));
}

TEST_F(OMNotify, WrapperClassesAreMadeInitialisedAndUpdated) {
  OMobj_id t = node(top, "t", "Tracked");
  auto* tracker = dynamic_cast<Tracker*>(OMret_omx_ptr(t, 0));
  ASSERT_NE(tracker, nullptr);
  EXPECT_EQ(tracker->ret_omx_ptr("Tracker"), tracker);
  EXPECT_EQ(tracker->ret_omx_ptr("Other"), nullptr);
  EXPECT_EQ(tracker->inits, 1);
  OMset_int_val(sub(t, "value"), 2);
  EXPECT_EQ(tracker->updates, 1);
  OMdestroy_obj(t, 0);
  EXPECT_EQ(OMret_omx_ptr(t, 0), nullptr);
}

TEST_F(OMNotify, QueuedCallbacksAndEventsRun) {
  static int seen = 0;
  seen = 0;
  OMobj_id x = make(top, "x", OM_KIND_INT);
  OMpush_ctx(x, 0, 0, 0);
  OMqueue_notify(
      x, [](OMobj_id) { return ++seen; }, 0);
  EXPECT_EQ(seen, 0);
  OMpop_ctx(x);
  EXPECT_EQ(seen, 1);
  static int events = 0;
  OMadd_event_hook([](OMobj_id, int e, void*) { events += e; }, nullptr);
  OMsend_event(x, 1);
  EXPECT_EQ(events, 1);
}

}  // namespace

// The change counter counts for ever: past 2^31 and past 2^32 changes an update still sees
// exactly what changed after its sequence number, and no stamp reads as "everything" (-1).
TEST_F(OMNotify, StampsStayOrderedWhenTheCounterWraps) {
  const uint32_t saved = om::store().seq;
  for (uint32_t start : {0x7ffffff0u, 0xfffffff0u}) {
    om::store().seq = start;
    OMobj_id a = node(top, start < 0x80000000u ? "low" : "high");
    OMobj_id value = sub(a, "value");
    OMobj_id color = sub(a, "color");
    OMXobj fg(sub(color, "fg"));
    int previous = fg.changed_seq();
    for (int i = 0; i < 40; ++i) {
      OMset_str_val(fg.obj_id(), std::to_string(i).c_str());
      EXPECT_EQ(fg.changed(previous), 1) << i;
      previous = fg.changed_seq();
      EXPECT_NE(previous, -1) << "a stamp never reads as 'everything'";
      EXPECT_NE(previous, 0);
    }
    calls.clear();
    OMpush_ctx(a, 1, 0, 0);
    OMset_int_val(value, 5);
    OMpop_ctx(a);
    ASSERT_EQ(calls.size(), 1u);
    int seq = calls[0].seq;
    OMXobj valueWrapper(value), colorWrapper(color);
    EXPECT_EQ(valueWrapper.changed(seq), 1) << std::hex << start << ": the changed property";
    EXPECT_EQ(colorWrapper.changed(seq), 0) << std::hex << start << ": an untouched one";
    EXPECT_EQ(colorWrapper.changed(-1), 1) << "-1 still means everything";
    OMset_str_val(sub(color, "bg"), "blue");
    EXPECT_EQ(OMget_obj_seq(color, OMnull_obj, 3), OMget_obj_seq(sub(color, "bg"), OMnull_obj, 0))
        << "the newest member is the one changed last, across the wrap";
  }
  om::store().seq = saved;
}
