// Object manager: values, conversions, references, arrays, stamps, stale ids, names and paths.
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "om/om_scope.h"
#include "om/om_text.h"
#include "om_fixture.h"
#include "svc/arr.h"

using namespace omtest;

namespace {

using OMValues = OMTest;

TEST_F(OMValues, MissingAndUnsetAreDifferent) {
  OMobj_id x = make(plain, "x", OM_KIND_INT);
  EXPECT_FALSE(sub(plain, "nothere").serial) << "lookups never create";
  EXPECT_FALSE(sub(plain, "nothere").serial);
  int v = 7;
  EXPECT_EQ(OMget_int_val(x, &v), 0);
  EXPECT_EQ(v, 7) << "an unset read keeps the caller's default";
  EXPECT_EQ(OMis_set(x), 0);
  ASSERT_EQ(OMset_int_val(x, 3), 1);
  EXPECT_EQ(OMget_int_val(x, &v), 1);
  EXPECT_EQ(v, 3);
  OMset_obj_val(x, OMnull_obj, 0);
  EXPECT_EQ(OMget_int_val(x, &v), 0) << "clearing makes it unset again";
}

TEST_F(OMValues, ConversionsBetweenIntRealAndString) {
  OMobj_id i = make(plain, "i", OM_KIND_INT);
  OMobj_id r = make(plain, "r", OM_KIND_REAL);
  OMobj_id s = make(plain, "s", OM_KIND_STRING);
  OMset_real_val(r, -2.75);
  int iv = 0;
  EXPECT_EQ(OMget_int_val(r, &iv), 1);
  EXPECT_EQ(iv, -2) << "real to int truncates toward zero";
  char* text = nullptr;
  ASSERT_EQ(OMget_str_val(r, &text, 0), 1);
  EXPECT_STREQ(text, "-2.75");
  std::free(text);
  OMset_real_val(r, 1.0 / 3.0);
  ASSERT_EQ(OMget_str_val(r, &text, 0), 1);
  EXPECT_STREQ(text, "0.3333333333") << "%.10g";
  std::free(text);

  OMset_str_val(s, "12.5");
  double d = 0;
  EXPECT_EQ(OMget_real_val(s, &d), 1);
  EXPECT_DOUBLE_EQ(d, 12.5);
  OMset_str_val(s, "12abc");
  EXPECT_EQ(OMget_real_val(s, &d), 0) << "a string must parse whole";
  OMset_str_val(s, "1e300");
  EXPECT_EQ(OMget_int_val(s, &iv), 0) << "out of int range reads as unset";

  EXPECT_EQ(OMset_str_val(i, "nonsense"), 0);
  EXPECT_EQ(OMset_str_val(i, "42"), 1);
  EXPECT_EQ(OMget_int_val(i, &iv), 1);
  EXPECT_EQ(iv, 42);
}

TEST_F(OMValues, StringBufferIsCutAndTerminated) {
  OMobj_id s = make(plain, "s", OM_KIND_STRING);
  OMset_str_val(s, "abcdefgh");
  char buf[4] = {'x', 'x', 'x', 'x'};
  char* p = buf;
  ASSERT_EQ(OMget_str_val(s, &p, 4), 1);
  EXPECT_STREQ(buf, "abc");
}

TEST_F(OMValues, TextsWrittenOverEachOtherReadWhole) {
  OMobj_id s = make(plain, "over", OM_KIND_STRING);
  const std::string longer(300, 'y');
  // Shorter, empty, longer, shorter again: each reads back as written.
  for (const char* text : {"abcdefgh", "xy", "", longer.c_str(), "0123456789", "9"}) {
    ASSERT_EQ(OMset_str_val(s, text), 1);
    EXPECT_EQ(OMtextIn<8>(s).get(), std::string(text));
    EXPECT_EQ(OMget_text(s).get(), std::string(text));
  }
  // A text of exactly the buffer's room, one over it, and no text at all.
  OMset_str_val(s, "1234567");
  EXPECT_STREQ(OMtextIn<8>(s).get(), "1234567");
  OMset_str_val(s, "12345678");
  EXPECT_STREQ(OMtextIn<8>(s).get(), "12345678");
  OMset_str_val(s, nullptr);
  EXPECT_EQ(OMtextIn<8>(s).get(), nullptr);
  OMobj_id number = make(plain, "number", OM_KIND_INT);
  OMset_int_val(number, 1234567890);
  EXPECT_STREQ(OMtextIn<8>(number).get(), "1234567890") << "a number's text, read whole";
}

TEST_F(OMValues, NamesKeepTheirTokensAndTextsAsTheTableGrows) {
  const char* first = OMname_to_str(OMstr_to_name("namesTestFirst"));
  OMobj_name firstToken = OMstr_to_name("namesTestFirst");
  const std::string longName(20000, 'n');  // longer than a tenth of a block of texts
  std::vector<OMobj_name> tokens;
  for (int i = 0; i < 50000; ++i) {
    std::string name = "namesTest" + std::to_string(i) + (i % 1000 == 0 ? longName : "");
    tokens.push_back(OMstr_to_name(name.c_str()));
  }
  EXPECT_EQ(OMname_to_str(firstToken), first) << "a text handed out stays where it was";
  EXPECT_STREQ(first, "namesTestFirst");
  for (int i = 0; i < 50000; i += 997) {
    std::string name = "namesTest" + std::to_string(i) + (i % 1000 == 0 ? longName : "");
    EXPECT_EQ(OMstr_to_name(name.c_str()), tokens[i]) << name.size();
    EXPECT_EQ(OMname_to_str(tokens[i]), name);
  }
  EXPECT_EQ(OMstr_to_name("namesTest0"), OMstr_to_name(std::string("namesTest0").c_str()));
  EXPECT_NE(OMstr_to_name("namesTest1"), OMstr_to_name("namesTest10"));
  EXPECT_EQ(OMstr_to_name(""), 0u);
  EXPECT_STREQ(OMname_to_str(0), "");
  EXPECT_STREQ(OMname_to_str(0x7fffffff), "") << "an unknown token reads as no name";
  // A path through a name never interned finds nothing (and interns nothing).
  EXPECT_FALSE(OMvalid_obj(OMfind_str_subobj(plain, "namesTestNeverMade.x", 0), OMnull_obj, 0));
}

TEST_F(OMValues, ConversionsThroughLinks) {
  OMobj_id src = make(plain, "src", OM_KIND_INT);
  OMobj_id label = make(plain, "label", OM_KIND_STRING);
  OMobj_id mid = make(plain, "mid", OM_KIND_REF);
  OMset_int_val(src, 40);
  ASSERT_EQ(OMset_obj_ref(mid, src, 0), 1);
  ASSERT_EQ(OMset_obj_ref(label, mid, 0), 1);
  char* text = nullptr;
  ASSERT_EQ(OMget_str_val(label, &text, 0), 1);
  EXPECT_STREQ(text, "40");
  std::free(text);
  // A write to a linked property lands at the end of the chain.
  EXPECT_EQ(OMset_str_val(label, "41"), 1);
  int v = 0;
  OMget_int_val(src, &v);
  EXPECT_EQ(v, 41);
}

TEST_F(OMValues, GetObjValOnValuesReferencesChainsAndUnsetLinks) {
  OMobj_id a = make(plain, "a", OM_KIND_INT);
  OMobj_id b = make(plain, "b", OM_KIND_REF);
  OMobj_id c = make(plain, "c", OM_KIND_REF);
  OMobj_id out = OMnull_obj;
  EXPECT_EQ(OMget_obj_val(a, &out), 0) << "unset value";
  EXPECT_EQ(OMget_obj_val(b, &out), 0) << "reference without target";
  OMset_int_val(a, 1);
  ASSERT_EQ(OMget_obj_val(a, &out), 1);
  EXPECT_TRUE(same(out, a)) << "a value holds itself";
  OMset_obj_ref(b, a, 0);
  OMset_obj_ref(c, b, 0);
  ASSERT_EQ(OMget_obj_val(c, &out), 1);
  EXPECT_TRUE(same(out, a)) << "the end of the chain";
  ASSERT_EQ(OMget_obj_pval(c, &out, 0), 1);
  EXPECT_TRUE(same(out, b)) << "one step only";
  EXPECT_EQ(OMget_num_refs(c), 1);
  EXPECT_EQ(OMget_num_refs(a), 0);
}

TEST_F(OMValues, CyclesAreRefusedAndReported) {
  OMobj_id a = make(plain, "a", OM_KIND_REF);
  OMobj_id b = make(plain, "b", OM_KIND_REF);
  ASSERT_EQ(OMset_obj_ref(a, b, 0), 1);
  EXPECT_EQ(OMset_obj_ref(b, a, 0), 0);
  EXPECT_EQ(OMset_obj_ref(a, a, 0), 0);
  ASSERT_EQ(reports().size(), 2u);
  EXPECT_NE(reports()[0].find("reference cycle refused"), std::string::npos) << reports()[0];
  int v;
  EXPECT_EQ(OMget_int_val(a, &v), 0);
}

TEST_F(OMValues, StaleAndNeverExistingIdsAnswerFailure) {
  OMobj_id x = make(plain, "x", OM_KIND_INT);
  OMdestroy_obj(x, 0);
  OMobj_id never = {0x7ffffff0u, 1};
  OMobj_id wrongWord = {plain.serial, 9};
  for (OMobj_id id : {x, never, wrongWord, OMnull_obj}) {
    int v = 0;
    char* s = nullptr;
    OMobj_id out;
    EXPECT_EQ(OMget_int_val(id, &v), 0);
    EXPECT_EQ(OMset_int_val(id, 1), 0);
    EXPECT_EQ(OMget_str_val(id, &s, 0), 0);
    EXPECT_EQ(OMget_obj_val(id, &out), 0);
    EXPECT_EQ(OMset_obj_ref(id, plain, 0), 0);
    EXPECT_EQ(OMvalid_obj(id, OMnull_obj, 0), 0);
    EXPECT_EQ(OMget_obj_seq(id, OMnull_obj, 3), -1);
    EXPECT_EQ(OMdestroy_obj(id, 0), 0);
    EXPECT_FALSE(OMfind_subobj(id, OMstr_to_name("x"), 0).serial);
    EXPECT_FALSE(OMcreate_obj(OMstr_to_name("y"), OM_KIND_INT, id, OMnull_obj, 0).serial);
  }
  EXPECT_EQ(OMset_obj_ref(make(plain, "r", OM_KIND_REF), x, 0), 0) << "no link to the dead";
}

TEST_F(OMValues, DestroyingAnObjectUnsetsReferencesToIt) {
  OMobj_id target = make(plain, "target", OM_KIND_INT);
  OMobj_id holder = make(plain, "holder", OM_KIND_REF);
  OMset_int_val(target, 5);
  OMset_obj_ref(holder, target, 0);
  int before = OMget_obj_seq(holder, OMnull_obj, 0);
  ASSERT_EQ(OMdestroy_obj(target, 0), 1);
  OMobj_id out;
  EXPECT_EQ(OMget_obj_val(holder, &out), 0);
  EXPECT_EQ(OMget_num_refs(holder), 0);
  EXPECT_GT(OMget_obj_seq(holder, OMnull_obj, 0), before) << "the holder counts as changed";
}

TEST_F(OMValues, StampsInModes023ThroughLinksAndMembers) {
  OMobj_id color = make(plain, "color", OM_KIND_GROUP);
  OMobj_id fg = make(color, "fg", OM_KIND_STRING);
  OMobj_id link = make(plain, "link", OM_KIND_REF);
  OMset_obj_ref(link, color, 0);
  int own = OMget_obj_seq(link, OMnull_obj, 0);
  int groupOwn = OMget_obj_seq(color, OMnull_obj, 0);
  OMset_str_val(fg, "red");
  int changedAt = OMget_obj_seq(fg, OMnull_obj, 0);
  EXPECT_EQ(OMget_obj_seq(color, OMnull_obj, 0), groupOwn) << "mode 0: own stamp only";
  EXPECT_EQ(OMget_obj_seq(color, OMnull_obj, 3), changedAt) << "mode 3: members count";
  EXPECT_EQ(OMget_obj_seq(link, OMnull_obj, 2), own) << "mode 2: the link itself";
  EXPECT_EQ(OMget_obj_seq(link, OMnull_obj, 3), changedAt) << "mode 3: through the link";
  EXPECT_EQ(OMget_obj_seq(sub(plain, "nothere"), OMnull_obj, 3), -1);
  OMset_obj_seq(fg, OMnull_obj, 3);
  EXPECT_EQ(OMget_obj_seq(fg, OMnull_obj, 0), 3);
}

TEST_F(OMValues, ObjectArraysOfReferences) {
  OMobj_id list = make(plain, "cmdList", OM_KIND_OBJ_ARRAY);
  OMobj_id a = make(plain, "a", OM_KIND_INT);
  OMobj_id b = make(plain, "b", OM_KIND_INT);
  OMobj_id c = make(plain, "c", OM_KIND_INT);
  EXPECT_EQ(OMadd_obj_ref(list, a, 0), 1);
  EXPECT_EQ(OMadd_array_val(list, b, 0), 1);
  EXPECT_EQ(OMset_array_val(list, OM_ARRAY_APPEND, c, 0), 1);
  int size = 0;
  OMget_array_size(list, &size);
  EXPECT_EQ(size, 3);
  EXPECT_EQ(OMget_num_refs(list), 3);
  OMobj_id e;
  ASSERT_EQ(OMget_array_val(list, 2, &e, 1), 1);
  EXPECT_TRUE(same(e, c));
  EXPECT_EQ(OMget_array_val(list, 3, &e, 1), 0);
  EXPECT_EQ(OMget_array_val(list, -1, &e, 1), 0);
  EXPECT_EQ(OMdel_obj_ref(list, b, 0), 1);
  ASSERT_EQ(OMget_array_val(list, 1, &e, 1), 1);
  EXPECT_TRUE(same(e, c)) << "later elements move down";
  EXPECT_EQ(OMdel_array_val(list, 0, 0), 1);
  OMget_array_size(list, &size);
  EXPECT_EQ(size, 1);
  OMdestroy_obj(c, 0);
  EXPECT_EQ(OMget_array_val(list, 0, &e, 1), 0) << "element of a destroyed target is unset";
  EXPECT_EQ(OMget_array_val(list, 0, &e, 0), 1) << "the element itself remains";
}

TEST_F(OMValues, NumericAndStringArrays) {
  OMobj_id ints = make(plain, "ints", OM_KIND_INT_ARRAY);
  OMobj_id strs = make(plain, "strs", OM_KIND_STR_ARRAY);
  const int data[] = {4, 5, 6};
  ASSERT_EQ(OMset_array(ints, OM_TYPE_INT, data, 3, 0), 1);
  int size = 0, type = 0;
  int* copy = static_cast<int*>(OMret_array_ptr(ints, 0, &size, &type));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(size, 3);
  EXPECT_EQ(type, OM_TYPE_INT);
  EXPECT_EQ(copy[2], 6);
  ARRfree_f(copy, __FILE__, __LINE__);
  EXPECT_EQ(OMset_array_size(ints, 0), 1);
  EXPECT_EQ(OMret_array_ptr(ints, 0, &size, &type), nullptr) << "no elements, no block";
  EXPECT_EQ(OMset_array_size(ints, -1), 0);
  EXPECT_EQ(OMset_str_array_val(strs, 1, "b"), 1);
  char* s = nullptr;
  EXPECT_EQ(OMget_str_array_val(strs, 0, &s, 0), 0) << "element 0 was never set";
  ASSERT_EQ(OMget_str_array_val(strs, 1, &s, 0), 1);
  EXPECT_STREQ(s, "b");
  std::free(s);
}

TEST_F(OMValues, LockedObjectsRefuseWrites) {
  OMobj_id x = make(plain, "x", OM_KIND_INT);
  OMset_obj_atts(x, OM_atts_locked);
  EXPECT_EQ(OMset_int_val(x, 1), 0);
  OMclear_obj_atts(x, OM_atts_locked);
  EXPECT_EQ(OMset_int_val(x, 1), 1);
}

// A group's references to an object outside it leave that object's list of referrers all at
// once; the references from outside must stay in the list, in either place around them.
TEST_F(OMValues, DestroyingAGroupKeepsOtherReferencesToWhatItReferredTo) {
  OMobj_id target = make(plain, "target", OM_KIND_INT);
  OMobj_id text = make(plain, "text", OM_KIND_STRING);
  OMset_int_val(target, 7);
  OMset_str_val(text, "words");
  OMobj_id before = make(plain, "before", OM_KIND_REF);
  OMset_obj_ref(before, target, 0);
  OMobj_id g = make(plain, "g", OM_KIND_GROUP);
  for (int i = 0; i < 5; ++i) {
    OMobj_id r = make(g, ("r" + std::to_string(i)).c_str(), OM_KIND_REF);
    OMset_obj_ref(r, target, 0);
  }
  OMset_obj_ref(make(g, "linkedText", OM_KIND_STRING), text, 0);
  OMobj_id after = make(plain, "after", OM_KIND_REF);
  OMset_obj_ref(after, target, 0);
  OMobj_id textAfter = make(plain, "textAfter", OM_KIND_STRING);
  OMset_obj_ref(textAfter, text, 0);

  ASSERT_EQ(OMdestroy_obj(g, 0), 1);
  int v = 0;
  EXPECT_EQ(OMget_int_val(before, &v), 1);
  EXPECT_EQ(v, 7);
  EXPECT_EQ(OMget_int_val(after, &v), 1);
  OMtext t = OMget_text(textAfter);
  ASSERT_TRUE(t);
  EXPECT_STREQ(t.get(), "words");

  // Only referrers still in the list learn that their target went.
  int beforeSeq = OMget_obj_seq(before, OMnull_obj, 0);
  int afterSeq = OMget_obj_seq(after, OMnull_obj, 0);
  ASSERT_EQ(OMdestroy_obj(target, 0), 1);
  EXPECT_GT(OMget_obj_seq(before, OMnull_obj, 0), beforeSeq);
  EXPECT_GT(OMget_obj_seq(after, OMnull_obj, 0), afterSeq);
  EXPECT_EQ(OMget_num_refs(before), 0);
  EXPECT_EQ(OMget_num_refs(after), 0);
}

TEST_F(OMValues, UniqueNamesPathsAndCopies) {
  OMobj_id shell = make(plain, "UIshell", OM_KIND_GROUP);
  OMobj_id w = make(shell, "width", OM_KIND_INT);
  OMobj_id alias = make(shell, "alias", OM_KIND_REF);
  OMset_int_val(w, 300);
  OMset_obj_ref(alias, w, 0);
  char name[64];
  ASSERT_EQ(OMget_uniq_name(plain, "UIshell", name, sizeof name), 1);
  EXPECT_STREQ(name, "UIshell#1");
  ASSERT_EQ(OMget_uniq_name(plain, "fresh", name, sizeof name), 1);
  EXPECT_STREQ(name, "fresh");

  char path[128];
  ASSERT_EQ(OMret_obj_path_to(w, plain, path, sizeof path), 1);
  EXPECT_STREQ(path, "UIshell.width");
  EXPECT_TRUE(same(OMfind_str_subobj(plain, "UIshell.width", 0), w));
  EXPECT_FALSE(OMfind_str_subobj(plain, "UIshell.height", 0).serial);

  OMobj_id copy = OMcopy_obj(shell, OMstr_to_name("UIshell#1"), plain, OMnull_obj, 0);
  ASSERT_TRUE(copy.serial);
  OMobj_id copyW = sub(copy, "width");
  OMobj_id copyAlias = sub(copy, "alias");
  int v = 0;
  EXPECT_EQ(OMget_int_val(copyW, &v), 1);
  EXPECT_EQ(v, 300);
  OMobj_id end;
  ASSERT_EQ(OMget_obj_val(copyAlias, &end), 1);
  EXPECT_TRUE(same(end, copyW)) << "a link inside the copy points into the copy";
  EXPECT_FALSE(OMcopy_obj(shell, OMstr_to_name("x"), w, OMnull_obj, 0).serial)
      << "no copy into its own subtree";
}

// A long group is looked up through an index of its members' names, kept in step with every
// change to the group once made.
TEST_F(OMValues, LookupsInALongGroupFollowAppendsDestroysAndMoves) {
  OMobj_id g = make(plain, "long", OM_KIND_GROUP);
  std::vector<OMobj_id> members;
  for (int i = 0; i < 100; ++i)
    members.push_back(make(g, ("m" + std::to_string(i)).c_str(), OM_KIND_INT));
  EXPECT_TRUE(same(sub(g, "m90"), members[90]));  // found by scanning, and the index is made
  EXPECT_TRUE(same(sub(g, "m3"), members[3]));
  OMobj_id late = make(g, "late", OM_KIND_INT);
  EXPECT_TRUE(same(sub(g, "late"), late)) << "an appended member is in the index";
  OMobj_id again = make(g, "m90", OM_KIND_INT);
  EXPECT_TRUE(same(sub(g, "m90"), members[90])) << "the first member of a name wins";
  OMdestroy_obj(members[90], 0);
  EXPECT_TRUE(same(sub(g, "m90"), again));
  OMobj_id other = make(plain, "elsewhere", OM_KIND_GROUP);
  ASSERT_EQ(OMmove_obj(again, other), 1);
  EXPECT_FALSE(sub(g, "m90").serial) << "a moved member is gone from the index";
  EXPECT_TRUE(same(sub(other, "m90"), again));
  OMobj_id last = make(g, "last", OM_KIND_INT);
  EXPECT_TRUE(same(sub(g, "last"), last));
  int count = 0;
  ASSERT_EQ(OMget_num_subobjs(g, &count), 1);
  EXPECT_EQ(count, 101);
  for (int i = 0; i < 100; ++i) {
    if (i != 90) {
      EXPECT_TRUE(same(sub(g, ("m" + std::to_string(i)).c_str()), members[i])) << i;
    }
  }
}

// Member lookups are remembered; every change to the tree must still show at once.
TEST_F(OMValues, LookupsFollowDestroyMoveAndSameNamedMembers) {
  OMobj_id g = make(plain, "g", OM_KIND_GROUP);
  OMobj_id first = make(g, "x", OM_KIND_INT);
  ASSERT_TRUE(same(sub(g, "x"), first));
  ASSERT_TRUE(same(sub(g, "x"), first));  // answered from what was remembered

  OMobj_id second = make(g, "x", OM_KIND_INT);
  EXPECT_TRUE(same(sub(g, "x"), first)) << "the first member of a name wins";
  OMdestroy_obj(first, 0);
  EXPECT_TRUE(same(sub(g, "x"), second)) << "a destroyed member is not answered";

  OMobj_id other = make(plain, "other", OM_KIND_GROUP);
  ASSERT_EQ(OMmove_obj(second, other), 1);
  EXPECT_FALSE(sub(g, "x").serial) << "a moved member is gone from its old group";
  EXPECT_TRUE(same(sub(other, "x"), second));

  OMobj_id third = make(g, "x", OM_KIND_INT);
  EXPECT_TRUE(same(sub(g, "x"), third));
  EXPECT_TRUE(same(OMfind_str_subobj(plain, "g.x", 0), third));
  OMdestroy_obj(g, 0);
  EXPECT_FALSE(OMfind_str_subobj(plain, "g.x", 0).serial);
}

// A lookup by text, as bindings make them (remembered by the text's address).
OMobj_id lookup(OMobj_id parent, const char* path) {
  return OMfind_str_subobj(parent, path, 0);
}

// Lookups are remembered by the address of the name's text too: a buffer used again for another
// name, or a name looked up again after its member went, is answered for what it says now.
TEST_F(OMValues, LookupsThroughOneBufferFollowItsText) {
  OMobj_id g = make(plain, "buffered", OM_KIND_GROUP);
  OMobj_id x = make(g, "x", OM_KIND_INT);
  OMobj_id y = make(g, "y", OM_KIND_INT);
  char name[8] = "x";
  ASSERT_TRUE(same(lookup(g, name), x));
  ASSERT_TRUE(same(lookup(g, name), x));
  std::strcpy(name, "y");
  EXPECT_TRUE(same(lookup(g, name), y)) << "the same buffer, another name";
  std::strcpy(name, "z");
  EXPECT_FALSE(lookup(g, name).serial) << "a name no member has";
  std::strcpy(name, "x");
  EXPECT_TRUE(same(lookup(g, name), x));
  OMdestroy_obj(x, 0);
  EXPECT_FALSE(lookup(g, name).serial) << "a destroyed member is not answered";
  OMobj_id x2 = make(g, "x", OM_KIND_INT);
  EXPECT_TRUE(same(lookup(g, name), x2));
  OMobj_id other = make(plain, "other", OM_KIND_GROUP);
  ASSERT_EQ(OMmove_obj(x2, other), 1);
  EXPECT_FALSE(lookup(g, name).serial) << "a moved member is not answered";
  EXPECT_TRUE(same(lookup(other, name), x2));
}

TEST_F(OMValues, GroupMemberPathsThroughOneBufferFollowTheirTextAndTheTree) {
  OMobj_id w = make(plain, "pathed", OM_KIND_GROUP);
  OMobj_id color = make(w, "color", OM_KIND_GROUP);
  OMobj_id fg = make(color, "fg", OM_KIND_STRING);
  OMobj_id bg = make(color, "bg", OM_KIND_STRING);
  OMobj_id font = make(w, "font", OM_KIND_GROUP);
  OMobj_id size = make(font, "fg", OM_KIND_INT);
  char path[24] = "color.fg";
  ASSERT_TRUE(same(lookup(w, path), fg));
  ASSERT_TRUE(same(lookup(w, path), fg));
  std::strcpy(path, "color.bg");
  EXPECT_TRUE(same(lookup(w, path), bg)) << "the same buffer, another member";
  std::strcpy(path, "font.fg");
  EXPECT_TRUE(same(lookup(w, path), size)) << "the same buffer, another group";
  std::strcpy(path, "color.fg");
  ASSERT_TRUE(same(lookup(w, path), fg));
  OMdestroy_obj(color, 0);
  EXPECT_FALSE(lookup(w, path).serial) << "a destroyed group is not answered";
  OMobj_id color2 = make(w, "color", OM_KIND_GROUP);
  OMobj_id fg2 = make(color2, "fg", OM_KIND_STRING);
  EXPECT_TRUE(same(lookup(w, path), fg2)) << "a group made again under the same name";
  OMobj_id other = make(plain, "elsewhere", OM_KIND_GROUP);
  ASSERT_EQ(OMmove_obj(fg2, other), 1);
  EXPECT_FALSE(lookup(w, path).serial) << "a member moved out of its group is not answered";
  ASSERT_EQ(OMmove_obj(color2, other), 1);
  EXPECT_FALSE(lookup(w, "color").serial);
  EXPECT_FALSE(lookup(w, path).serial) << "a group moved away is not answered";
}

TEST_F(OMValues, ExpressionsAndParsedDefinitions) {
  OMobj_id obj = make(plain, "obj", OM_KIND_GROUP);
  OMobj_id x = make(obj, "x", OM_KIND_INT);
  OMobj_id width = make(obj, "width", OM_KIND_INT);
  OMobj_id shell = make(obj, "UIshell", OM_KIND_GROUP);
  OMobj_id client = make(shell, "clientWidth", OM_KIND_INT);
  OMset_int_val(x, 10);
  OMset_int_val(client, 300);
  ASSERT_EQ(OMparse_buffer(obj, "width => UIshell.clientWidth <+> (-2 * .x);", 0), 1);
  int v = 0;
  ASSERT_EQ(OMget_int_val(width, &v), 1);
  EXPECT_EQ(v, 280);
  int before = OMget_obj_seq(width, OMnull_obj, 3);
  OMset_int_val(x, 20);
  EXPECT_GT(OMget_obj_seq(width, OMnull_obj, 3), before) << "an operand's change counts";
  OMget_int_val(width, &v);
  EXPECT_EQ(v, 260);
  EXPECT_EQ(OMparse_buffer(obj, "width => nothing + 1;", 0), 0);
  EXPECT_EQ(OMparse_buffer(obj, "x => width + 1;", 0), 0) << "a cycle through an expression";
  EXPECT_EQ(OMparse_buffer(obj, "width => (1 + ;", 0), 0);
  EXPECT_EQ(reports().size(), 3u);
  OMget_int_val(width, &v);
  EXPECT_EQ(v, 260) << "failed definitions change nothing";
}

TEST_F(OMValues, CStructureFieldsAreWrittenBackByMask) {
  struct Selection {
    int index;
    double scale;
    char* text;
  };
  const OMcstruct_field fields[] = {{"index", OM_TYPE_INT, offsetof(Selection, index)},
                                    {"scale", OM_TYPE_DOUBLE, offsetof(Selection, scale)},
                                    {"text", OM_TYPE_STRING, offsetof(Selection, text)}};
  OMobj_id sel = make(plain, "sel", OM_KIND_GROUP);
  make(sel, "index", OM_KIND_INT);
  make(sel, "scale", OM_KIND_REAL);
  make(sel, "text", OM_KIND_STRING);
  char word[] = "two";
  Selection s{2, 0.5, word};
  ASSERT_EQ(OMcstruct_update_om(sel, &s, fields, 3, 0x5), 1);
  int index = 0;
  EXPECT_EQ(OMget_int_val(sub(sel, "index"), &index), 1);
  EXPECT_EQ(index, 2);
  EXPECT_EQ(OMis_set(sub(sel, "scale")), 0) << "a field without its bit is left alone";
  char* text = nullptr;
  ASSERT_EQ(OMget_str_val(sub(sel, "text"), &text, 0), 1);
  EXPECT_STREQ(text, "two");
  std::free(text);
  s.text = nullptr;
  ASSERT_EQ(OMcstruct_update_om(sel, &s, fields, 3, 0x4), 1);
  EXPECT_EQ(OMis_set(sub(sel, "text")), 0) << "a null string unsets";
}

TEST_F(OMValues, CStructureStringArraysFollowTheirCount) {
  struct Choice {
    int count;
    char** strings;
  };
  const OMcstruct_field fields[] = {
      {"count", OM_TYPE_INT, offsetof(Choice, count)},
      {"strings", OM_CSTRUCT_STRING_ARRAY, offsetof(Choice, strings), offsetof(Choice, count)}};
  OMobj_id sel = make(plain, "choice", OM_KIND_GROUP);
  make(sel, "count", OM_KIND_INT);
  make(sel, "strings", OM_KIND_STR_ARRAY);
  char a[] = "alpha", b[] = "beta", c[] = "gamma";
  char* list[] = {a, b, c, nullptr};
  auto strings = [&] {
    std::vector<std::string> out;
    int size = -1;
    OMget_array_size(sub(sel, "strings"), &size);
    for (int i = 0; i < size; ++i) {
      char* text = nullptr;
      if (OMget_str_array_val(sub(sel, "strings"), i, &text, 0) == 1) out.push_back(text);
      std::free(text);
    }
    return out;
  };
  Choice s{3, list};
  ASSERT_EQ(OMcstruct_update_om(sel, &s, fields, 2, 0x3), 1);
  EXPECT_EQ(strings(), (std::vector<std::string>{"alpha", "beta", "gamma"}));
  s.count = 2;
  ASSERT_EQ(OMcstruct_update_om(sel, &s, fields, 2, 0x2), 1);
  EXPECT_EQ(strings(), (std::vector<std::string>{"alpha", "beta"})) << "shrinks to the count";
  s.count = 9;
  ASSERT_EQ(OMcstruct_update_om(sel, &s, fields, 2, 0x2), 1);
  EXPECT_EQ(strings().size(), 3u) << "a null entry ends the array before the count";
  s.count = -4;
  ASSERT_EQ(OMcstruct_update_om(sel, &s, fields, 2, 0x2), 1);
  EXPECT_TRUE(strings().empty()) << "a negative count writes nothing";
  s.count = 2;
  s.strings = nullptr;
  ASSERT_EQ(OMcstruct_update_om(sel, &s, fields, 2, 0x2), 1);
  EXPECT_TRUE(strings().empty()) << "a null array";
}

}  // namespace

namespace {

// Links written by hand or by a hostile file: long, repetitive or deeply chained expressions
// cost their length, and what is refused is refused where it is written.
TEST_F(OMValues, LongAndRepetitiveExpressions) {
  OMobj_id obj = make(plain, "obj", OM_KIND_GROUP);
  OMobj_id a = make(obj, "a", OM_KIND_INT);
  OMobj_id sum = make(obj, "sum", OM_KIND_REAL);
  OMset_int_val(a, 1);
  std::string text = "1";
  for (int i = 1; i < 300000; ++i) text += "+1";
  std::string error;
  int offset = -1;
  EXPECT_EQ(OMset_expression(sum, obj, text.c_str(), &error, &offset), 0)
      << "a flat chain of 300000 terms is refused, not left to overflow the stack";
  EXPECT_EQ(error, "the expression is too long");
  EXPECT_GT(offset, 0);
  EXPECT_LT(offset, static_cast<int>(text.size()));
  EXPECT_EQ(OMis_set(sum), 0) << "nothing was set";

  // A long chain under the bound is read and freed without recursion.
  text = "a";
  for (int i = 1; i < 3000; ++i) text += i % 2 ? "+a" : "-(-1)";
  ASSERT_EQ(OMset_expression(sum, obj, text.c_str(), &error, nullptr), 1) << error;
  double v = 0;
  ASSERT_EQ(OMget_real_val(sum, &v), 1);
  EXPECT_EQ(v, 3000);
  int hidden = 0;
  OMget_num_subobjs(sum, &hidden);
  EXPECT_EQ(hidden, 0) << "operands stay hidden";
  OMobj_id copy = OMcopy_obj(sum, OMstr_to_name("copy"), obj, OMnull_obj, 0);
  ASSERT_TRUE(copy.serial);
  ASSERT_EQ(OMget_real_val(copy, &v), 1);
  EXPECT_EQ(v, 3000) << "a copy holds the whole expression";
  OMset_int_val(a, 2);
  OMget_real_val(sum, &v);
  EXPECT_EQ(v, 2 * 1501 + 1499);

  // Each level uses the one below twice: reading the top reads each level once, not 2^60 times.
  OMobj_id below = a;
  for (int level = 0; level < 60; ++level) {
    std::string name = "x" + std::to_string(level);
    OMobj_id x = make(obj, name.c_str(), OM_KIND_REAL);
    OMobj_name belowName = 0;
    OMget_obj_name(below, &belowName);
    std::string twice = std::string(OMname_to_str(belowName)) + " + " + OMname_to_str(belowName);
    ASSERT_EQ(OMset_expression(x, obj, twice.c_str(), &error, nullptr), 1) << error;
    below = x;
  }
  ASSERT_EQ(OMget_real_val(below, &v), 1);
  EXPECT_EQ(v, 2.0 * std::pow(2.0, 60));
  OMdestroy_obj(obj, 0);
}

}  // namespace
