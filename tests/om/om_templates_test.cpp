// Object manager: template files, inheritance, libraries, value functions and wrappers.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "om/omx.h"
#include "om_fixture.h"

using namespace omtest;

namespace {

int textLength(OMobj_id id, int* out) {
  OMobj_id text = OMfind_subobj(id, OMstr_to_name("text"), 0);
  char* s = nullptr;
  int status = OMget_str_val(text, &s, 0);
  if (status != 1) return status;
  *out = static_cast<int>(std::strlen(s)) * 7;
  std::free(s);
  return 1;
}

class OMTemplates : public OMTest {
 protected:
  static void SetUpTestSuite() {
    OMregister_int_getter("textLength", textLength);
    OMregister_real_getter("intAsReal", OMint_get_real_val);
    loadTemplates(R"(
templates:
  Base:
    properties:
      visible: { kind: int, default: 1 }
      label: string
      color: { kind: group, members: { fg: string, bg: { kind: string, default: white } } }
  Derived:
    base: Base
    library: Lib.Controls
    properties:
      visible: { kind: int, default: 0 }
      extra: { kind: real, default: 2.5 }
      items: { kind: "string[]", default: [a, b] }
      twice: { kind: int, default: => visible * 2 }
  Width:
    methods: { getter: textLength, real_getter: intAsReal }
    properties: { text: string }
)");
  }
};

TEST_F(OMTemplates, ObjectsGetDefaultsAndInheritedProperties) {
  OMobj_id d = OMcreate_obj_from_path("Derived", "d", plain);
  ASSERT_TRUE(d.serial);
  int v = -1;
  EXPECT_EQ(OMget_int_val(sub(d, "visible"), &v), 1);
  EXPECT_EQ(v, 0) << "the derived default wins";
  char* s = nullptr;
  EXPECT_EQ(OMget_str_val(sub(d, "label"), &s, 0), 0) << "declared without default: unset";
  ASSERT_EQ(OMget_str_val(OMfind_str_subobj(d, "color.bg", 0), &s, 0), 1);
  EXPECT_STREQ(s, "white");
  std::free(s);
  ASSERT_EQ(OMget_str_array_val(sub(d, "items"), 1, &s, 0), 1);
  EXPECT_STREQ(s, "b");
  std::free(s);
  OMset_int_val(sub(d, "visible"), 4);
  EXPECT_EQ(OMget_int_val(sub(d, "twice"), &v), 1);
  EXPECT_EQ(v, 8) << "a default link points into the object, not the template";
}

TEST_F(OMTemplates, MatchFollowsInheritanceAndLibrariesHoldTemplates) {
  OMobj_id d = OMcreate_obj_from_path("Derived", "d", plain);
  OMobj_id base = OMfind_str_subobj(OMtempl_obj, "Base", 0);
  OMobj_id derived = OMfind_str_subobj(OMtempl_obj, "Lib.Controls.Derived", 0);
  ASSERT_TRUE(base.serial);
  ASSERT_TRUE(derived.serial);
  EXPECT_EQ(OMmatch_obj(base, d, 1), 1);
  EXPECT_EQ(OMmatch_obj(derived, d, 1), 1);
  OMobj_id b = OMcreate_obj_from_path("Base", "b", plain);
  EXPECT_EQ(OMmatch_obj(derived, b, 1), 0);
  EXPECT_TRUE(OMcreate_obj_from_path("Lib.Controls.Derived", "d2", plain).serial);
  EXPECT_FALSE(OMcreate_obj_from_path("NoSuchType", "x", plain).serial);
}

TEST_F(OMTemplates, ValueFunctionsComputeOnEveryRead) {
  OMobj_id w = OMcreate_obj_from_path("Width", "w", plain);
  int v = 0;
  EXPECT_EQ(OMget_int_val(w, &v), 0) << "the getter's failure passes through";
  OMset_str_val(sub(w, "text"), "abc");
  ASSERT_EQ(OMget_int_val(w, &v), 1);
  EXPECT_EQ(v, 21);
  double r = 0;
  OMset_str_val(sub(w, "text"), "abcd");
  ASSERT_EQ(OMint_get_real_val(w, &r), 1);
  EXPECT_DOUBLE_EQ(r, 28.0);
}

TEST_F(OMTemplates, ABadTemplateFileAddsNothingAndSaysWhere) {
  std::vector<OMtemplate_error> errors;
  int ok = OMload_templates(R"(templates:
  Fine:
    properties: { a: int }
  Broken:
    base: Missing
    methods: { update: notRegistered }
    properties:
      b: integer
)",
                            "bad.yaml", &errors);
  EXPECT_EQ(ok, 0);
  ASSERT_EQ(errors.size(), 3u);
  EXPECT_EQ(errors[0].text(), "bad.yaml:5:11: unknown base template 'Missing'");
  EXPECT_EQ(errors[1].text(), "bad.yaml:6:24: no update method registered as 'notRegistered'");
  EXPECT_EQ(errors[2].text(), "bad.yaml:8:10: unknown kind 'integer'");
  EXPECT_FALSE(OMcreate_obj_from_path("Fine", "f", plain).serial) << "nothing was added";

  errors.clear();
  EXPECT_EQ(OMload_templates("templates: [", "syntax.yaml", &errors), 0);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].file, "syntax.yaml");
}

int noUpdate(OMobj_id, unsigned, int) {
  return 1;
}

// A file that fails after one of its templates was used by another: the object made from the
// first (which points to its template's methods) goes with the file before the template's
// description does.
TEST_F(OMTemplates, ABadFileDropsWhatItsTemplatesMadeBeforeTheirDescriptions) {
  OMregister_update_method("partUpdate", noUpdate);
  std::vector<OMtemplate_error> errors;
  EXPECT_EQ(OMload_templates(R"(templates:
  Part:
    methods: { update: partUpdate }
    properties: { n: int }
  Whole:
    properties:
      part: { type: Part }
      broken: integer
)",
                             "used.yaml", &errors),
            0);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].text(), "used.yaml:8:15: unknown kind 'integer'");
  EXPECT_FALSE(OMfind_template("Part").serial);
  EXPECT_FALSE(OMfind_template("Whole").serial);
}

int updatesSeen = 0;
int destroysSeen = 0;
int countUpdate(OMobj_id, unsigned, int) {
  ++updatesSeen;
  return 1;
}
int countDestroy(OMobj_id) {
  ++destroysSeen;
  return 1;
}

// The template is destroyed while objects made from it live on: they keep their methods,
// their value getter and their place in the inheritance chain.
TEST_F(OMTemplates, InstancesOutliveTheirTemplate) {
  OMregister_update_method("countUpdate", countUpdate);
  OMregister_instance_method("countDestroy", countDestroy);
  loadTemplates(R"(
templates:
  Mortal:
    base: Base
    methods: { update: countUpdate, destroy: countDestroy }
    properties: { n: int }
  MortalWidth:
    base: Width
)");
  OMobj_id mortal = OMfind_template("Mortal");
  OMobj_id mortalWidth = OMfind_template("MortalWidth");
  ASSERT_TRUE(mortal.serial && mortalWidth.serial);
  OMobj_id m = OMcreate_obj_from_path("Mortal", "m", top);
  OMobj_id w = OMcreate_obj_from_path("MortalWidth", "w", top);
  OMset_str_val(sub(w, "text"), "ab");
  updatesSeen = destroysSeen = 0;
  ASSERT_EQ(OMdestroy_obj(mortal, 0), 1);
  ASSERT_EQ(OMdestroy_obj(mortalWidth, 0), 1);
  EXPECT_FALSE(OMfind_template("Mortal").serial) << "the name is gone";
  EXPECT_FALSE(OMcreate_obj_from_path("Mortal", "again", top).serial);
  OMset_int_val(sub(m, "n"), 3);  // the next change runs the method the object was made with
  EXPECT_EQ(updatesSeen, 1);
  EXPECT_EQ(OMmatch_obj(OMfind_template("Base"), m, 1), 1) << "still a Base";
  int v = 0;
  ASSERT_EQ(OMget_int_val(w, &v), 1) << "the value getter still computes";
  EXPECT_EQ(v, 14);
  double r = 0;
  EXPECT_EQ(OMint_get_real_val(w, &r), 1);
  OMobj_id copy = OMcopy_obj(m, OMstr_to_name("copy"), top, OMnull_obj, 0);
  ASSERT_TRUE(copy.serial);
  int before = updatesSeen;
  OMset_int_val(sub(copy, "n"), 4);
  EXPECT_EQ(updatesSeen, before + 1) << "a copy gets the methods too";
  OMdestroy_obj(m, 0);
  EXPECT_EQ(destroysSeen, 1);
}

// Template files are user input too (a runner reads a folder of them): small texts that
// would make billions of objects, recurse without end or block are refused.
TEST_F(OMTemplates, HostileTemplateFilesAreRefused) {
  std::vector<OMtemplate_error> errors;
  // Ten copies of ten copies of ...: a few hundred bytes that stand for 10^9 objects.
  std::string copies = "templates:\n  C0:\n    properties: { a: int }\n";
  for (int level = 1; level < 10; ++level) {
    copies += "  C" + std::to_string(level) + ":\n    properties: {";
    for (int k = 0; k < 10; ++k)
      copies += std::string(k ? ", " : " ") + "p" + std::to_string(k) + ": { type: C" +
                std::to_string(level - 1) + " }";
    copies += " }\n";
  }
  EXPECT_EQ(OMload_templates(copies, "copies.yaml", &errors), 0);
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors[0].message, "the templates make too many objects (more than 262144)");
  EXPECT_EQ(errors[0].line, 15) << "at the first copy past the budget: " << errors[0].text();
  EXPECT_FALSE(OMcreate_obj_from_path("C2", "c", plain).serial) << "nothing was added";

  errors.clear();
  std::string aliases = "templates:\n  A:\n    properties: &p { a: int, b: int }\n";
  aliases += "  B:\n    properties: *p\n";
  EXPECT_EQ(OMload_templates(aliases, "alias.yaml", &errors), 0);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].text(),
            "alias.yaml:5:17: aliases ('*name') are not accepted: write the value out");

  errors.clear();
  std::string deep = "templates:\n  D:\n    properties:\n      g: ";
  for (int i = 0; i < 100; ++i) deep += "{ kind: group, members: { g: ";
  deep += "int";
  for (int i = 0; i < 100; ++i) deep += " } }";
  deep += "\n";
  EXPECT_EQ(OMload_templates(deep, "deep.yaml", &errors), 0);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].message, "groups nest too deeply");

  errors.clear();
  std::filesystem::path fifo = std::filesystem::temp_directory_path() /
                               ("tmpl_fifo_" + std::to_string(::getpid()) + ".yaml");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(OMload_templates_path(fifo.string(), &errors), 0)
      << "a FIFO is not read (or waited on)";
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].message, "not a regular file of at most 16 MiB");
  std::filesystem::remove(fifo);
}

TEST_F(OMTemplates, GroupWrappersReachMembersByPosition) {
  OMobj_id d = OMcreate_obj_from_path("Derived", "d", plain);
  UIcolor color(d, "color", 2);
  ASSERT_EQ(color.valid_obj(), 1);
  EXPECT_EQ(color.foreground.set_str_val("red"), 1);
  char* s = nullptr;
  ASSERT_EQ(OMget_str_val(OMfind_str_subobj(d, "color.fg", 0), &s, 0), 1);
  EXPECT_STREQ(s, "red");
  std::free(s);
  EXPECT_EQ(color.ret_omx_ptr("UIcolor"), &color);
  OMXint visible(d, "visible", 2);
  int v = -1;
  EXPECT_EQ(visible.get_int_val(v), 1);
  EXPECT_EQ(v, 0);
  OMXstr missing(d, "nothere", 2);
  EXPECT_EQ(missing.valid_obj(), 0);
  EXPECT_EQ(missing.get_str_val(&s), 0);
  UIpixmap noPixmap(d, "pixmap", 2);
  EXPECT_EQ(noPixmap.filename.valid_obj(), 0) << "members of a missing group are missing";
}

// The names of id's sub-objects in order, "group(member ...)" for a group's members.
std::string shapeOf(OMobj_id id) {
  std::string out;
  for (const auto& [child, name] : subobjects(id)) {
    if (!out.empty()) out += ' ';
    out += name;
    int members = 0;
    if (OMget_num_subobjs(child, &members) == 1 && members > 0) out += "(" + shapeOf(child) + ")";
  }
  return out;
}

// Objects made from a template keep following it as its tree is edited between copies, at
// any depth, while those made before keep the shape they were made with.
TEST_F(OMTemplates, CopiesFollowTheirTemplateAsItsTreeChanges) {
  loadTemplates(R"(
templates:
  Shape:
    properties:
      a: { kind: int, default: 1 }
      g: { kind: group, members: { m: int } }
      self: { kind: ref, default: => a }
)");
  OMobj_id shape = OMfind_template("Shape");
  ASSERT_TRUE(shape.serial);
  OMobj_id first = OMcreate_obj_from_path("Shape", "first", plain);
  ASSERT_EQ(shapeOf(first), "a g(m) self");
  EXPECT_EQ(shapeOf(OMcreate_obj_from_path("Shape", "again", plain)), "a g(m) self");

  make(shape, "b", OM_KIND_INT);
  EXPECT_EQ(shapeOf(OMcreate_obj_from_path("Shape", "added", plain)), "a g(m) self b");
  make(sub(shape, "g"), "n", OM_KIND_STRING);
  EXPECT_EQ(shapeOf(OMcreate_obj_from_path("Shape", "deeper", plain)), "a g(m n) self b");
  ASSERT_EQ(OMmove_obj(sub(shape, "b"), sub(shape, "g")), 1);
  EXPECT_EQ(shapeOf(OMcreate_obj_from_path("Shape", "moved", plain)), "a g(m n b) self");
  ASSERT_EQ(OMdestroy_obj(OMfind_str_subobj(shape, "g.m", 0), 0), 1);
  OMobj_id last = OMcreate_obj_from_path("Shape", "removed", plain);
  EXPECT_EQ(shapeOf(last), "a g(n b) self");
  EXPECT_EQ(shapeOf(first), "a g(m) self") << "made before: unchanged";

  // Values are read from the template at each copy, and links inside it land in the copy.
  ASSERT_EQ(OMset_int_val(sub(shape, "a"), 5), 1);
  OMobj_id valued = OMcreate_obj_from_path("Shape", "valued", plain);
  int v = 0;
  ASSERT_EQ(OMget_int_val(sub(valued, "self"), &v), 1);
  EXPECT_EQ(v, 5);
  ASSERT_EQ(OMset_int_val(sub(valued, "a"), 7), 1);
  ASSERT_EQ(OMget_int_val(sub(valued, "self"), &v), 1);
  EXPECT_EQ(v, 7) << "the copy's link points at its own member";
  ASSERT_EQ(OMget_int_val(sub(last, "self"), &v), 1);
  EXPECT_EQ(v, 1) << "and not at another copy's";

  // Made inside the template itself: one copy of the tree as it was, which the copies made
  // after it then hold (read while its own records were being made, a copy went on copying
  // itself until memory ran out).
  OMobj_id inner = OMcreate_obj_from_path("Shape", "inner", sub(shape, "g"));
  ASSERT_TRUE(inner.serial);
  EXPECT_EQ(shapeOf(inner), "a g(n b) self");
  EXPECT_EQ(shapeOf(OMcreate_obj_from_path("Shape", "holding", plain)),
            "a g(n b inner(a g(n b) self)) self");
}

}  // namespace

namespace {

int update1Calls = 0;
int countUpdate1(OMobj_id) {
  ++update1Calls;
  return 1;
}

TEST(OMSizedArrays, ElementsFollowTheirSizeAndAreReachedThroughLinks) {
  OMregister_update1_method("countUpdate1", countUpdate1);
  omtest::loadTemplates(R"(
templates:
  Display1:
    methods: { update1: countUpdate1 }
    properties: { width: int }
  Global1:
    properties:
      data:
        kind: group
        members:
          count: { kind: int, default: 0 }
          items: { kind: "obj[]", elements: Display1, size: count }
)");
  OMobj_id place = omtest::instancePlace();
  OMobj_id global = OMcreate_obj_from_path("Global1", "global1", place);
  OMobj_id link = OMcreate_obj(OMstr_to_name("link1"), OM_KIND_REF, place, OMnull_obj, 0);
  OMset_obj_ref(link, OMfind_subobj(global, OMstr_to_name("data"), 0), 0);
  int size = -1;
  OMobj_id items = OMfind_str_subobj(link, "items", 0);
  ASSERT_TRUE(items.serial) << "members are found through a link to their group";
  ASSERT_EQ(OMget_array_size(items, &size), 1);
  EXPECT_EQ(size, 0);
  update1Calls = 0;
  OMset_int_val(OMfind_str_subobj(link, "count", 0), 2);
  OMobj_id element;
  ASSERT_EQ(OMget_array_val(items, 1, &element, 0), 1) << "fetching brings elements into being";
  EXPECT_EQ(update1Calls, 2) << "each instanced element's one-argument update ran once";
  EXPECT_TRUE(OMfind_str_subobj(global, "data.items[1].width", 0).serial);
  OMset_int_val(OMfind_str_subobj(global, "data.count", 0), 1);
  OMget_array_size(items, &size);
  EXPECT_EQ(size, 1);
  EXPECT_EQ(OMset_array_size(items, 3), 1);
  int count = 0;
  OMget_int_val(OMfind_str_subobj(global, "data.count", 0), &count);
  EXPECT_EQ(count, 3) << "setting the size sets the property it follows";
  OMdestroy_obj(global, 0);
  OMdestroy_obj(link, 0);
}

}  // namespace

namespace {

int destroyCalls = 0;
int readsRunning = 0;
int countDestroyDuringReads(OMobj_id) {
  if (readsRunning) ++destroyCalls;
  return 1;
}
int noInstance(OMobj_id) {
  return 1;
}

// Reading an array's size is a read: bounded, and never the place where objects are destroyed.
TEST(OMSizedArrays, ReadsAreBoundedAndNeverDestroy) {
  OMregister_instance_method("noInstance2", noInstance);
  OMregister_instance_method("countDestroy2", countDestroyDuringReads);
  omtest::loadTemplates(R"(
templates:
  Display2:
    methods: { instance: noInstance2, destroy: countDestroy2 }
    properties: { width: int }
  Global2:
    properties:
      count: { kind: int, default: 0 }
      items: { kind: "obj[]", elements: Display2, size: count }
)");
  ERRreporter previous = ERRset_reporter(omtest::recordReport);
  omtest::reports().clear();
  OMobj_id place = omtest::instancePlace();
  OMobj_id global = OMcreate_obj_from_path("Global2", "global2", place);
  OMobj_id items = OMfind_subobj(global, OMstr_to_name("items"), 0);
  OMobj_id count = OMfind_subobj(global, OMstr_to_name("count"), 0);
  OMset_int_val(count, 3);
  int size = -1;
  ASSERT_EQ(OMget_array_size(items, &size), 1);
  EXPECT_EQ(size, 3);

  OMset_int_val(count, 1);
  destroyCalls = 0;
  ++readsRunning;
  ASSERT_EQ(OMget_array_size(items, &size), 1);
  OMobj_id element;
  EXPECT_EQ(OMget_array_val(items, 2, &element, 0), 0) << "a surplus element is hidden at once";
  EXPECT_EQ(OMget_array_subobj(items, 1, &element, 0), 0);
  EXPECT_EQ(OMget_array_val(items, 0, &element, 0), 1);
  --readsRunning;
  EXPECT_EQ(size, 1);
  EXPECT_EQ(destroyCalls, 0) << "no destroy method runs inside a read";
  OMflush_notifies();
  int children = 0;
  OMget_num_subobjs(items, &children);
  EXPECT_EQ(children, 1) << "the dispatcher removes the surplus";

  OMset_int_val(count, 50000000);
  ASSERT_EQ(OMget_array_size(items, &size), 1);
  EXPECT_EQ(size, 10000) << "a read makes a bounded number of elements";
  ASSERT_FALSE(omtest::reports().empty());
  EXPECT_NE(omtest::reports().back().find("count asks for 50000000 elements"), std::string::npos)
      << omtest::reports().back();
  EXPECT_EQ(OMset_array_size(items, 20000), 0) << "the bound holds for writes too";
  OMdestroy_obj(global, 0);
  ERRset_reporter(previous);
}

}  // namespace
