// Object manager: a template's copies hold records only for what is written; everything else
// reads as the template made it, and every way of changing a copy sees the same objects.
#include <cstdlib>
#include <string>
#include <vector>

#include "om_fixture.h"
#include "om_internal.h"

using namespace omtest;

namespace {

// A destroy method that clears a property its copy has not made yet, as a binding clears
// what it published.
int clearOnDestroy(OMobj_id id) {
  OMset_int_val(OMfind_str_subobj(id, "note", 0), 0);
  return 1;
}
int doNothing(OMobj_id) {
  return 1;
}

class OMCopies : public OMTest {
 protected:
  static void SetUpTestSuite() {
    OMregister_instance_method("copiesInstance", doNothing);
    OMregister_instance_method("copiesClearOnDestroy", clearOnDestroy);
    loadTemplates(R"(
templates:
  Publishing:
    methods: { instance: copiesInstance, destroy: copiesClearOnDestroy }
    properties: { note: int, other: { kind: int, default: 4 } }
  Style:
    properties:
      weight: { kind: int, default: 2 }
  Wide:
    properties:
      count: { kind: int, default: 3 }
      scale: { kind: real, default: 1.5 }
      title: string
      target: ref
      color: { kind: group, members: { fg: { kind: int, default: 7 }, bg: int } }
      deep: { kind: group, members: { inner: { kind: group, members: { leaf: { kind: int, default: 9 } } } } }
      text: { kind: string, default: hello }
      style: { type: Style }
  Twins:
    properties: { a: { kind: int, default: 1 }, b: int }
  Mirror:
    properties:
      color: { kind: group, members: { bg: int, fg: { kind: int, default: 8 } } }
      count: { kind: int, default: 5 }
)");
  }
};

int intAt(OMobj_id id, const char* path) {
  int v = -1;
  return OMget_int_val(OMfind_str_subobj(id, path, 0), &v) == 1 ? v : -1;
}

std::string textAt(OMobj_id id, const char* path) {
  char* s = nullptr;
  if (OMget_str_val(OMfind_str_subobj(id, path, 0), &s, 0) != 1) return "(unset)";
  std::string out = s;
  std::free(s);
  return out;
}

// Everything a reader may ask of a copy, as text: names in order, kinds, values, paths.
std::string readAll(OMobj_id id) {
  std::string out;
  for (const auto& [child, name] : subobjects(id)) {
    char path[128] = "";
    OMret_obj_path_to(child, OMroot_obj, path, sizeof path);
    OMobj_id parent = OMnull_obj;
    OMget_obj_parent(child, &parent);
    double v = 0;
    out += name + ":" + std::to_string(OMget_obj_kind(child)) +
           (OMget_real_val(child, &v) == 1 ? "=" + std::to_string(v) : "") +
           (same(parent, id) ? "" : "(wrong parent)") + " ";
    int members = 0;
    if (OMget_num_subobjs(child, &members) == 1 && members > 0) out += "[" + readAll(child) + "] ";
  }
  return out;
}

TEST_F(OMCopies, UnwrittenPropertiesReadAsTheTemplateMadeThemAndHoldNoRecord) {
  OMobj_id first = OMcreate_obj_from_path("Wide", "first", top);
  ASSERT_TRUE(first.serial);
  const std::string expected = readAll(first);
  EXPECT_EQ(expected,
            "count:2=3.000000 scale:3=1.500000 title:4 target:7 color:1 [fg:2=7.000000 bg:2 ] "
            "deep:1 [inner:1 [leaf:2=9.000000 ] ] text:4 style:1 [weight:2=2.000000 ] ");
  unsigned live = OMget_live_objects();
  size_t held = om::runRecordsHeld();
  OMobj_id copies[50];
  for (int i = 0; i < 50; ++i)
    copies[i] = OMcreate_obj_from_path("Wide", ("c" + std::to_string(i)).c_str(), top);
  EXPECT_EQ(OMget_live_objects() - live, 50u * 14) << "each copy has all fourteen objects";
  // The top and the text (a text is the copy's own) are made; the rest is read from the
  // template's shape.
  EXPECT_EQ(om::runRecordsHeld() - held, 50u * 2);

  // Reading every property, by name, position, path, kind, value or stamp, makes nothing.
  held = om::runRecordsHeld();
  for (OMobj_id c : copies) {
    EXPECT_EQ(readAll(c), expected);
    EXPECT_EQ(intAt(c, "deep.inner.leaf"), 9);
    EXPECT_EQ(OMmatch_obj(OMfind_template("Style"), sub(c, "style"), 0), 1) << "typed as made";
    EXPECT_EQ(textAt(c, "text"), "hello");
    EXPECT_EQ(textAt(c, "title"), "(unset)");
    OMobj_id target = OMnull_obj;
    EXPECT_EQ(OMget_obj_val(sub(c, "target"), &target), 0) << "an unset reference";
    EXPECT_EQ(OMis_instanced(sub(c, "count")), 1) << "instanced with its copy";
    EXPECT_FALSE(OMseq_newer(OMget_obj_seq(sub(c, "count"), OMnull_obj, 0),
                             OMget_obj_seq(c, OMnull_obj, 3)));
  }
  EXPECT_EQ(om::runRecordsHeld(), held);

  // A write makes the one record it writes, in its copy only.
  int before = OMget_obj_seq(copies[3], OMnull_obj, 3);
  ASSERT_EQ(OMset_int_val(OMfind_str_subobj(copies[3], "color.bg", 0), 4), 1);
  EXPECT_EQ(om::runRecordsHeld(), held + 1);
  EXPECT_EQ(intAt(copies[3], "color.bg"), 4);
  EXPECT_EQ(intAt(copies[4], "color.bg"), -1) << "another copy is untouched";
  EXPECT_TRUE(OMseq_newer(OMget_obj_seq(copies[3], OMnull_obj, 3), before))
      << "the copy reads as changed through its member";
  ASSERT_EQ(OMset_obj_ref(sub(copies[3], "target"), sub(copies[3], "count"), 0), 1);
  EXPECT_EQ(intAt(copies[3], "target"), 3) << "a reference to a member not written yet";
  ASSERT_EQ(OMset_int_val(sub(copies[3], "count"), 8), 1);
  EXPECT_EQ(intAt(copies[3], "target"), 8);
  EXPECT_EQ(readAll(copies[5]), expected);

  // Destroyed, copies leave nothing behind.
  for (OMobj_id c : copies) ASSERT_EQ(OMdestroy_obj(c, 0), 1);
  EXPECT_EQ(OMget_live_objects(), live);
  EXPECT_EQ(om::runRecordsHeld(), held - 50 * 2);
  EXPECT_FALSE(OMvalid_obj(sub(copies[3], "count"), OMnull_obj, 0));
}

// A copy keeps the values its template had when it was made, as when every record was
// copied: later changes to the template reach only later copies.
TEST_F(OMCopies, ACopyKeepsWhatItsTemplateHeldWhenItWasMade) {
  OMobj_id templ = OMfind_template("Wide");
  OMobj_id before = OMcreate_obj_from_path("Wide", "before", plain);
  ASSERT_EQ(OMset_int_val(OMfind_str_subobj(templ, "color.fg", 0), 11), 1);
  ASSERT_EQ(OMset_obj_atts(sub(templ, "scale"), OM_atts_nosave), 1);
  OMobj_id after = OMcreate_obj_from_path("Wide", "after", plain);
  EXPECT_EQ(intAt(before, "color.fg"), 7);
  EXPECT_EQ(intAt(after, "color.fg"), 11);
  int atts = -1;
  ASSERT_EQ(OMget_obj_atts(sub(before, "scale"), &atts), 1);
  EXPECT_EQ(atts & OM_atts_nosave, 0);
  ASSERT_EQ(OMget_obj_atts(sub(after, "scale"), &atts), 1);
  EXPECT_EQ(atts & OM_atts_nosave, OM_atts_nosave);
  // Put back for the other tests (the template is shared).
  ASSERT_EQ(OMset_int_val(OMfind_str_subobj(templ, "color.fg", 0), 7), 1);
  ASSERT_EQ(OMclear_obj_atts(sub(templ, "scale"), OM_atts_nosave), 1);
}

// Parts of a copy moved, destroyed or added to read the same afterwards, and lookups by
// name keep answering the first member of a name.
TEST_F(OMCopies, PartsOfACopyMoveAndGoAsObjectsDo) {
  OMobj_id copy = OMcreate_obj_from_path("Wide", "parts", plain);
  OMobj_id elsewhere = make(plain, "elsewhere", OM_KIND_GROUP);
  unsigned live = OMget_live_objects();

  // A group never written moves out with its members and their values.
  OMobj_id deep = sub(copy, "deep");
  ASSERT_EQ(OMmove_obj(deep, elsewhere), 1);
  EXPECT_EQ(intAt(elsewhere, "deep.inner.leaf"), 9);
  EXPECT_FALSE(sub(copy, "deep").serial);
  OMobj_id leaf = OMfind_str_subobj(elsewhere, "deep.inner.leaf", 0);
  ASSERT_EQ(OMset_int_val(leaf, 10), 1);
  EXPECT_EQ(intAt(elsewhere, "deep.inner.leaf"), 10);
  EXPECT_TRUE(same(OMfind_str_subobj(elsewhere, "deep.inner.leaf", 0), leaf));

  // Destroying a member not written yet, and adding one with the name of an earlier one.
  OMobj_id bg = OMfind_str_subobj(copy, "color.bg", 0);
  ASSERT_EQ(OMdestroy_obj(bg, 0), 1);
  EXPECT_FALSE(OMvalid_obj(bg, OMnull_obj, 0));
  EXPECT_FALSE(OMfind_str_subobj(copy, "color.bg", 0).serial);
  EXPECT_EQ(intAt(copy, "color.fg"), 7);
  OMobj_id second = make(copy, "count", OM_KIND_INT);
  ASSERT_EQ(OMset_int_val(second, 99), 1);
  EXPECT_EQ(intAt(copy, "count"), 3) << "the first member of a name answers";
  EXPECT_EQ(readAll(copy),
            "count:2=3.000000 scale:3=1.500000 title:4 target:7 color:1 [fg:2=7.000000 ] "
            "text:4 style:1 [weight:2=2.000000 ] count:2=99.000000 ");
  EXPECT_EQ(OMget_live_objects(), live);  // one gone, one added
  ASSERT_EQ(OMdestroy_obj(sub(copy, "count"), 0), 1);
  EXPECT_EQ(intAt(copy, "count"), 99) << "then the other";
  ASSERT_EQ(OMset_int_val(sub(copy, "count"), 98), 1);
  EXPECT_TRUE(same(sub(copy, "count"), second));

  ASSERT_EQ(OMdestroy_obj(copy, 0), 1);
  EXPECT_EQ(intAt(elsewhere, "deep.inner.leaf"), 10) << "what moved out stays";
  ASSERT_EQ(OMdestroy_obj(elsewhere, 0), 1);
  EXPECT_FALSE(OMvalid_obj(leaf, OMnull_obj, 0));
}

// Found once by a path through a link, a member is found again through the link's new target
// (the lookup caches must not answer the old one).
TEST_F(OMCopies, APathThroughALinkFollowsTheLinksTarget) {
  OMobj_id a = OMcreate_obj_from_path("Wide", "a", plain);
  OMobj_id b = OMcreate_obj_from_path("Wide", "b", plain);
  ASSERT_EQ(OMset_int_val(OMfind_str_subobj(b, "color.fg", 0), 5), 1);
  OMobj_id link = make(plain, "link", OM_KIND_REF);
  static const char* const kPath = "fg";
  static const char* const kDeep = "color.fg";
  OMobj_id holder = make(plain, "holder", OM_KIND_REF);
  ASSERT_EQ(OMset_obj_ref(link, sub(a, "color"), 0), 1);
  ASSERT_EQ(OMset_obj_ref(holder, a, 0), 1);
  EXPECT_TRUE(same(OMfind_str_subobj(link, kPath, 0), OMfind_str_subobj(a, "color.fg", 0)));
  EXPECT_TRUE(same(OMfind_str_subobj(holder, kDeep, 0), OMfind_str_subobj(a, "color.fg", 0)));
  ASSERT_EQ(OMset_obj_ref(link, sub(b, "color"), 0), 1);
  ASSERT_EQ(OMset_obj_ref(holder, b, 0), 1);
  EXPECT_TRUE(same(OMfind_str_subobj(link, kPath, 0), OMfind_str_subobj(b, "color.fg", 0)));
  EXPECT_TRUE(same(OMfind_str_subobj(holder, kDeep, 0), OMfind_str_subobj(b, "color.fg", 0)));
  EXPECT_EQ(intAt(link, kPath), 5);
}

// What a destroy method writes into its own copy goes with the copy; a part of a copy
// instanced apart is instanced whole.
TEST_F(OMCopies, WritesOfADestroyMethodAndPartsInstancedApartAreWhole) {
  unsigned live = OMget_live_objects();
  size_t held = om::runRecordsHeld();
  OMobj_id copy = OMcreate_obj_from_path("Publishing", "publishing", top);
  ASSERT_TRUE(copy.serial);
  OMflush_notifies();
  OMobj_id note = sub(copy, "note");
  ASSERT_EQ(OMdestroy_obj(copy, 0), 1);
  EXPECT_FALSE(OMvalid_obj(note, OMnull_obj, 0)) << "the record the method made went too";
  EXPECT_EQ(OMget_live_objects(), live);
  EXPECT_EQ(om::runRecordsHeld(), held);

  OMobj_id apart = OMcreate_obj_from_path("Wide", "apart", plain);
  ASSERT_EQ(OMis_instanced(apart), 0);
  ASSERT_EQ(OMinstance_obj(sub(apart, "deep")), 1);
  EXPECT_EQ(OMis_instanced(OMfind_str_subobj(apart, "deep.inner.leaf", 0)), 1);
  EXPECT_EQ(OMis_instanced(sub(apart, "count")), 0) << "the rest of the copy is not";

  // The same for copies whose tree has changed since they were made (a member added): they
  // are walked record by record.
  OMobj_id changed = OMcreate_obj_from_path("Publishing", "changed", plain);
  make(changed, "added", OM_KIND_INT);
  OMobj_id wide = OMcreate_obj_from_path("Wide", "wide", plain);
  make(wide, "added", OM_KIND_INT);
  ASSERT_EQ(OMmove_obj(changed, top), 1);
  ASSERT_EQ(OMmove_obj(wide, top), 1);
  OMflush_notifies();
  EXPECT_EQ(OMis_instanced(OMfind_str_subobj(wide, "deep.inner.leaf", 0)), 1);
  note = sub(changed, "note");
  ASSERT_EQ(OMdestroy_obj(changed, 0), 1);
  EXPECT_FALSE(OMvalid_obj(note, OMnull_obj, 0));
  ASSERT_EQ(OMdestroy_obj(wide, 0), 1);
  ASSERT_EQ(OMdestroy_obj(apart, 0), 1);
  EXPECT_EQ(OMget_live_objects(), live);
  EXPECT_EQ(om::runRecordsHeld(), held);
}

// A copy reads as changed when what one of its references points to changes, as made or not.
TEST_F(OMCopies, ACopyReadsAsChangedThroughItsReferences) {
  OMobj_id outside = make(plain, "outside", OM_KIND_INT);
  ASSERT_EQ(OMset_int_val(outside, 1), 1);
  OMobj_id copy = OMcreate_obj_from_path("Wide", "referring", plain);
  ASSERT_EQ(OMset_obj_ref(sub(copy, "target"), outside, 0), 1);
  int before = OMget_obj_seq(copy, OMnull_obj, 3);
  ASSERT_EQ(OMset_int_val(outside, 2), 1);
  EXPECT_TRUE(OMseq_newer(OMget_obj_seq(copy, OMnull_obj, 3), before));
  EXPECT_TRUE(OMseq_newer(OMget_obj_seq(sub(copy, "target"), OMnull_obj, 3), before));
  EXPECT_FALSE(OMseq_newer(OMget_obj_seq(sub(copy, "color"), OMnull_obj, 3), before));
}

// Lookups in a copy answer that copy's own members, whatever copies of the same template or of
// another were looked in before, and follow what is done to each copy afterwards.
TEST_F(OMCopies, LookupsInEachCopyFindItsOwnMembers) {
  auto parentOf = [](OMobj_id id) {
    OMobj_id p = OMnull_obj;
    OMget_obj_parent(id, &p);
    return p;
  };
  std::vector<OMobj_id> copies;
  for (const char* t : {"Wide", "Mirror", "Wide", "Mirror", "Wide"})
    copies.push_back(OMcreate_obj_from_path(t, "looked", plain));
  for (int round = 0; round < 2; ++round) {  // the second round finds them remembered
    for (OMobj_id c : copies) {
      OMobj_id count = OMfind_str_subobj(c, "count", 0);
      OMobj_id fg = OMfind_str_subobj(c, "color.fg", 0);
      EXPECT_TRUE(same(parentOf(count), c));
      EXPECT_TRUE(same(parentOf(fg), OMfind_str_subobj(c, "color", 0)));
      EXPECT_TRUE(same(parentOf(parentOf(fg)), c));
    }
  }
  EXPECT_EQ(intAt(copies[1], "count"), 5);
  EXPECT_EQ(intAt(copies[1], "color.fg"), 8);
  EXPECT_EQ(intAt(copies[2], "color.fg"), 7);

  // A member of one copy destroyed, another one's group destroyed, a member of a third moved
  // out: only those copies stop answering them.
  ASSERT_EQ(OMdestroy_obj(OMfind_str_subobj(copies[2], "color.fg", 0), 0), 1);
  ASSERT_EQ(OMdestroy_obj(OMfind_str_subobj(copies[3], "color", 0), 0), 1);
  OMobj_id elsewhere = make(plain, "elsewhere", OM_KIND_GROUP);
  ASSERT_EQ(OMmove_obj(OMfind_str_subobj(copies[4], "count", 0), elsewhere), 1);
  EXPECT_FALSE(OMfind_str_subobj(copies[2], "color.fg", 0).serial);
  EXPECT_FALSE(OMfind_str_subobj(copies[3], "color.fg", 0).serial);
  EXPECT_FALSE(OMfind_str_subobj(copies[4], "count", 0).serial);
  EXPECT_EQ(intAt(copies[2], "count"), 3);
  EXPECT_EQ(intAt(copies[0], "color.fg"), 7);
  EXPECT_EQ(intAt(copies[1], "color.fg"), 8);
  EXPECT_EQ(intAt(elsewhere, "count"), 3);

  // A member added under a copy's group with a name its template has: the first one answers,
  // then the added one once the first goes.
  OMobj_id color = OMfind_str_subobj(copies[0], "color", 0);
  OMobj_id added = make(color, "fg", OM_KIND_INT);
  ASSERT_EQ(OMset_int_val(added, 70), 1);
  EXPECT_EQ(intAt(copies[0], "color.fg"), 7);
  ASSERT_EQ(OMdestroy_obj(OMfind_str_subobj(copies[0], "color.fg", 0), 0), 1);
  EXPECT_TRUE(same(OMfind_str_subobj(copies[0], "color.fg", 0), added));

  // A copy made afterwards answers its own members too.
  OMobj_id late = OMcreate_obj_from_path("Mirror", "late", plain);
  EXPECT_TRUE(same(parentOf(OMfind_str_subobj(late, "count", 0)), late));
  EXPECT_EQ(intAt(late, "color.fg"), 8);
  for (OMobj_id c : copies) OMdestroy_obj(c, 0);
  OMdestroy_obj(late, 0);
  OMdestroy_obj(elsewhere, 0);
}

// A copy as made answers "none" for a name no member of it has without reading its members;
// once a member of that name is added it is found, and where two members share a name the
// first still answers.
TEST_F(OMCopies, ANameNoMemberHasIsNoneUntilOneIsAdded) {
  OMobj_id c = OMcreate_obj_from_path("Wide", "absent", plain);
  const OMobj_name nothing = OMstr_to_name("nothing");
  EXPECT_FALSE(OMfind_subobj(c, nothing, 0).serial);
  EXPECT_FALSE(OMfind_str_subobj(c, "color.nothing", 0).serial);
  EXPECT_FALSE(OMfind_str_subobj(c, "deep.inner.nothing", 0).serial);
  OMobj_id added = make(c, "nothing", OM_KIND_INT);
  EXPECT_TRUE(same(OMfind_subobj(c, nothing, 0), added));
  OMobj_id inner = make(OMfind_str_subobj(c, "deep.inner", 0), "nothing", OM_KIND_INT);
  EXPECT_TRUE(same(OMfind_str_subobj(c, "deep.inner.nothing", 0), inner));
  EXPECT_EQ(intAt(c, "deep.inner.leaf"), 9);

  // A template given a second "a": its copies answer the first, and a name neither has, none.
  OMobj_id twins = OMfind_template("Twins");
  ASSERT_TRUE(twins.serial);
  OMobj_id second = make(twins, "a", OM_KIND_INT);
  ASSERT_EQ(OMset_int_val(second, 2), 1);
  OMobj_id t = OMcreate_obj_from_path("Twins", "twins", plain);
  EXPECT_EQ(intAt(t, "a"), 1);
  EXPECT_FALSE(OMfind_subobj(t, nothing, 0).serial);
  EXPECT_TRUE(OMfind_subobj(t, OMstr_to_name("b"), 0).serial);
  OMdestroy_obj(c, 0);
  OMdestroy_obj(t, 0);
}

// Answers remembered for one template's copies are never given for another's: a thousand
// templates, each with its "count" and "color.fg" at a place of its own, looked up with the same
// texts, so that the answers for many share the memory's entries.
TEST_F(OMCopies, LookupsWithOneTextInCopiesOfManyTemplatesFindEachOnesOwn) {
  std::string yaml = "templates:\n";
  constexpr int kTemplates = 1000;
  for (int t = 0; t < kTemplates; ++t) {
    yaml += "  Counted" + std::to_string(t) + ":\n    properties:\n";
    for (int k = 0; k < t % 5; ++k) yaml += "      pad" + std::to_string(k) + ": int\n";
    yaml += "      count: { kind: int, default: " + std::to_string(t) + " }\n";
    if (t % 2) yaml += "      pad: int\n";
    yaml += "      color: { kind: group, members: { bg: int, fg: { kind: int, default: " +
            std::to_string(-t) + " } } }\n";
  }
  loadTemplates(yaml.c_str());
  std::vector<OMobj_id> copies;
  for (int round = 0; round < 2; ++round)
    for (int t = 0; t < kTemplates; ++t)
      copies.push_back(
          OMcreate_obj_from_path(("Counted" + std::to_string(t)).c_str(), "counted", plain));
  for (size_t i = 0; i < copies.size(); ++i) {
    int t = static_cast<int>(i) % kTemplates;
    ASSERT_EQ(intAt(copies[i], "count"), t) << i;
    ASSERT_EQ(intAt(copies[i], "color.fg"), -t) << i;
  }
}

}  // namespace
