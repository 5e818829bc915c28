// The interface-file loader: sound files make and instance objects; every broken file is
// reported with its place and makes nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "comma_locale.h"
#include "interface_file.h"
#include "om/om_registry.h"

namespace {

std::vector<std::string> instanced;
int recordInstance(OMobj_id id) {
  OMobj_name n = 0;
  OMget_obj_name(id, &n);
  instanced.push_back(OMname_to_str(n));
  return 1;
}

class InterfaceFile : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    OMregister_instance_method("recordInstance", recordInstance);
    std::vector<OMtemplate_error> errors;
    ASSERT_EQ(OMload_templates(R"(
templates:
  Panel:
    methods: { instance: recordInstance }
    properties:
      parent: ref
      width: int
      scale: real
      title: string
      color: { kind: group, members: { fg: string, bg: string } }
      strings: string[]
      values: int[]
      cmdList: obj[]
      stringdims: int
      dims: int
)",
                               "kit.yaml", &errors),
              1);
  }
  void SetUp() override {
    instanced.clear();
    static int n = 0;
    dir = std::filesystem::temp_directory_path() /
          ("ifile_test_" + std::to_string(::getpid()) + "_" + std::to_string(++n));
    std::filesystem::create_directories(dir);
    place = OMcreate_obj(OMstr_to_name(dir.filename().c_str()), OM_KIND_GROUP, placeRoot(),
                         OMnull_obj, 0);
  }
  void TearDown() override {
    OMdestroy_obj(place, 0);
    std::filesystem::remove_all(dir);
  }
  static OMobj_id placeRoot() {
    OMinit();
    OMobj_id p = OMnull_obj;
    OMget_array_subobj(OMinst_obj, 0, &p, 0);
    return p;
  }
  std::string write(const std::string& name, const std::string& text) {
    std::ofstream(dir / name, std::ios::binary) << text;
    return (dir / name).string();
  }
  UIloadResult load(const std::string& text) {
    return UIloadInterfaceFile(write("f.yaml", text), place);
  }
  std::string errors(const UIloadResult& r) {
    std::string all;
    for (const auto& e : r.errors) all += e.text().substr(e.file.size()) + "\n";
    return all;
  }
  int countChildren() {
    int n = 0;
    OMget_num_subobjs(place, &n);
    return n;
  }
  std::filesystem::path dir;
  OMobj_id place = OMnull_obj;
};

TEST_F(InterfaceFile, ASoundFileMakesLinksAndInstancesParentsFirst) {
  UIloadResult r = load(R"(
main:
  type: Panel
  width: 320
  scale: 0.5
  title: yes
  color: { bg: "#ffeecc" }
  strings: [a, b]
  values: [1, 2, 3]
  inner:
    type: Panel
    width: => main.width / 2 - 10
    title: => width
  other:
    type: Panel
    parent: => ..
    cmdList: [inner, ..inner]
)");
  ASSERT_TRUE(r.ok) << errors(r);
  ASSERT_EQ(r.objects.size(), 1u);
  EXPECT_EQ(instanced, (std::vector<std::string>{"main", "inner", "other"}));
  OMobj_id main = r.objects[0];
  char* s = nullptr;
  ASSERT_EQ(OMget_str_val(OMfind_str_subobj(main, "title", 0), &s, 0), 1);
  EXPECT_STREQ(s, "yes") << "no YAML boolean guessing";
  std::free(s);
  int v = 0;
  ASSERT_EQ(OMget_int_val(OMfind_str_subobj(main, "inner.width", 0), &v), 1);
  EXPECT_EQ(v, 150);
  ASSERT_EQ(OMget_str_val(OMfind_str_subobj(main, "inner.title", 0), &s, 0), 1);
  EXPECT_STREQ(s, "150") << "a path is looked up in the object first";
  std::free(s);
  OMobj_id parentTarget;
  ASSERT_EQ(OMget_obj_val(OMfind_str_subobj(main, "inner.parent", 0), &parentTarget), 1);
  EXPECT_EQ(parentTarget.serial, main.serial) << "children get parent linked automatically";
  EXPECT_EQ(OMget_num_refs(OMfind_str_subobj(main, "other.cmdList", 0)), 2);
  ASSERT_EQ(OMget_str_val(OMfind_str_subobj(main, "color.bg", 0), &s, 0), 1);
  EXPECT_STREQ(s, "#ffeecc");
  std::free(s);
}

TEST_F(InterfaceFile, ArraysWithoutTheirCountGetItOnceAtLoad) {
  UIloadResult r = load(R"(
main:
  type: Panel
  strings: [a, b, c]
  cmdList: [one, two]
  one: { type: Panel }
  two: { type: Panel }
  kept:
    type: Panel
    strings: [x, y]
    stringdims: 1
    dims: 5
)");
  ASSERT_TRUE(r.ok) << errors(r);
  OMobj_id main = r.objects[0];
  int v = 0;
  ASSERT_EQ(OMget_int_val(OMfind_str_subobj(main, "stringdims", 0), &v), 1);
  EXPECT_EQ(v, 3);
  ASSERT_EQ(OMget_int_val(OMfind_str_subobj(main, "dims", 0), &v), 1);
  EXPECT_EQ(v, 2);
  ASSERT_EQ(OMget_int_val(OMfind_str_subobj(main, "kept.stringdims", 0), &v), 1);
  EXPECT_EQ(v, 1) << "a count the file gives stays";
  ASSERT_EQ(OMget_int_val(OMfind_str_subobj(main, "kept.dims", 0), &v), 1);
  EXPECT_EQ(v, 5);
  OMset_str_array_val(OMfind_str_subobj(main, "strings", 0), 3, "d");
  ASSERT_EQ(OMget_int_val(OMfind_str_subobj(main, "stringdims", 0), &v), 1);
  EXPECT_EQ(v, 3) << "set once, not linked to the array";
}

// Reals in a file, in expressions and in the object manager's text conversions are read and
// written in the C locale, whatever locale the process runs in.
TEST_F(InterfaceFile, NumbersReadTheSameInACommaLocale) {
  uitest::InCommaLocale comma;
  ASSERT_TRUE(comma.ok()) << "localedef could not make the comma locale";
  ASSERT_EQ(std::atof("3.5"), 3.0) << "the process locale is really comma-decimal";
  UIloadResult r = load(R"(
main:
  type: Panel
  scale: 3.5
  inner:
    type: Panel
    scale: => main.scale * 1.5
    title: => main.scale
)");
  ASSERT_TRUE(r.ok) << errors(r);
  OMobj_id main = r.objects[0];
  double v = 0;
  ASSERT_EQ(OMget_real_val(OMfind_str_subobj(main, "scale", 0), &v), 1);
  EXPECT_EQ(v, 3.5);
  ASSERT_EQ(OMget_real_val(OMfind_str_subobj(main, "inner.scale", 0), &v), 1);
  EXPECT_EQ(v, 5.25);
  char* s = nullptr;
  ASSERT_EQ(OMget_str_val(OMfind_str_subobj(main, "inner.title", 0), &s, 0), 1);
  EXPECT_STREQ(s, "3.5") << "a real printed as text";
  std::free(s);
  OMset_str_val(OMfind_str_subobj(main, "scale", 0), "0.25");
  ASSERT_EQ(OMget_real_val(OMfind_str_subobj(main, "scale", 0), &v), 1);
  EXPECT_EQ(v, 0.25) << "a text stored into a real";
}

// Whole numbers: a sign, blanks before (in a quoted value) and the ends of the int range are
// read; anything after the digits, or a number out of range, is refused.
TEST_F(InterfaceFile, WholeNumbersAreReadToTheEndsOfTheirRange) {
  const std::pair<const char*, int> good[] = {{"12", 12},
                                              {"-3", -3},
                                              {"+5", 5},
                                              {"007", 7},
                                              {"\" 9\"", 9},
                                              {"2147483647", 2147483647},
                                              {"-2147483648", -2147483647 - 1}};
  for (const auto& [text, want] : good) {
    UIloadResult r = load(std::string("p:\n  type: Panel\n  width: ") + text + "\n");
    ASSERT_TRUE(r.ok) << text << ": " << errors(r);
    int v = 0;
    ASSERT_EQ(OMget_int_val(OMfind_str_subobj(r.objects[0], "width", 0), &v), 1);
    EXPECT_EQ(v, want) << text;
    OMdestroy_obj(r.objects[0], 0);
  }
  for (const char* text : {"5x", "2147483648", "-2147483649", "99999999999999999999", "0x10",
                           "\"9 \"", "''", "-", "1e3"}) {
    UIloadResult r = load(std::string("p:\n  type: Panel\n  width: ") + text + "\n");
    EXPECT_FALSE(r.ok) << text;
  }
  EXPECT_EQ(countChildren(), 0);
}

TEST_F(InterfaceFile, IncludesAreReadFirst) {
  write("other.yaml", "shared:\n  type: Panel\n  width: 7\n");
  UIloadResult r = load("include: [other.yaml]\nmine:\n  type: Panel\n  width: => shared.width\n");
  ASSERT_TRUE(r.ok) << errors(r);
  ASSERT_EQ(r.objects.size(), 2u);
  int v = 0;
  OMget_int_val(OMfind_str_subobj(r.objects[1], "width", 0), &v);
  EXPECT_EQ(v, 7);
}

// A duplicate key is found in a long mapping (a file of many objects) as in a short one.
TEST_F(InterfaceFile, DuplicateKeysAreFoundInLongMappingsToo) {
  std::string text;
  for (int i = 0; i < 30; ++i) text += "o" + std::to_string(i) + ":\n  type: Panel\n";
  text += "o7:\n  type: Panel\n  width: 1\n  height: 2\n  width: 3\n";
  UIloadResult r = load(text);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(errors(r), ":61:1: duplicate key 'o7'\n:65:3: duplicate key 'width'\n");
}

TEST_F(InterfaceFile, EveryProblemIsReportedWithItsPlaceAndNothingIsMade) {
  UIloadResult r = load(R"(a:
  type: Panel
  width: wide
  height: 3
  color: { fg: red, fg: blue }
b:
  type: NoSuchPanel
c:
  type: Panel
  title: => nowhere.title
  width: => c.width + 1
)");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(errors(r), ":5:21: duplicate key 'fg'\n");
  // Duplicate keys stop the file before objects are looked at; without them, all the rest:
  r = load(R"(a:
  type: Panel
  width: wide
  height: 3
b:
  type: NoSuchPanel
c:
  type: Panel
  title: => nowhere.title
  width: => c.width + 1
)");
  EXPECT_EQ(errors(r),
            ":3:10: bad value 'wide' for 'width' (an int)\n"
            ":4:3: unknown property 'height' of Panel\n"
            ":6:9: unknown type 'NoSuchPanel'\n"
            ":9:13: bad link: 'nowhere.title' names nothing\n"
            ":10:12: bad link: reference cycle\n");
  EXPECT_EQ(countChildren(), 0);
  EXPECT_TRUE(instanced.empty());
}

// A child object may not take a property's name, before or after other children.
TEST_F(InterfaceFile, AChildNamedAfterAPropertyIsRefused) {
  UIloadResult r = load(
      "w:\n  type: Panel\n  a: { type: Panel }\n  scale: { type: Panel }\n  b: { type: Panel "
      "}\n  width: { type: Panel }\n  title: t\n");
  EXPECT_EQ(errors(r),
            ":4:3: 'scale' is a property of Panel, not a child object\n"
            ":6:3: 'width' is a property of Panel, not a child object\n");
  r = load("w:\n  type: Panel\n  color: { type: Panel }\n  c: { type: Panel, width: 2 }\n");
  EXPECT_EQ(errors(r), ":3:3: 'color' is a property of Panel, not a child object\n");
  EXPECT_EQ(countChildren(), 0);
  r = load("w:\n  type: Panel\n  a: { type: Panel }\n  b: { type: Panel, width: 2 }\n");
  EXPECT_TRUE(r.ok) << errors(r);
  EXPECT_EQ(instanced, (std::vector<std::string>{"w", "a", "b"}));
}

TEST_F(InterfaceFile, HostileFilesGetOneClearMessage) {
  struct Case {
    std::string text;
    std::string message;
  };
  std::string deep;
  for (int i = 0; i < 10000; ++i) deep += "[";
  std::string deepBlock = "a:\n  type: Panel\n";
  for (int i = 0; i < 300; ++i)
    deepBlock += std::string(i + 2, ' ') + "k" + std::to_string(i) + ":\n";
  const std::string panel = "a:\n  type: Panel\n";
  const std::string deepLine = std::string(513, ' ') + "b: 1\n";
  std::string nestedInComment = "# " + std::string(129, '[') + "\n" + panel;
  std::string binary(
      "\x7f"
      "ELF\x02\x01\x01\0\0\0",
      10);
  const Case cases[] = {
      {"", "the file is empty"},
      {"# only a comment\n", "the file is empty"},
      {binary, "not a text file (it holds NUL bytes)"},
      {deep, "the file nests too deeply"},
      {deepBlock, "the file nests too deeply"},
      {panel + deepLine, "the file nests too deeply"},
      {deepLine + panel, "the file nests too deeply"},
      {nestedInComment, "the file nests too deeply"},
      {"just a scalar", "a file is a mapping of objects"},
      {"a: [1, 2", "not valid YAML"},
  };
  for (const Case& c : cases) {
    UIloadResult r = load(c.text);
    ASSERT_FALSE(r.ok);
    ASSERT_EQ(r.errors.size(), 1u) << c.message;
    EXPECT_EQ(r.errors[0].message.substr(0, c.message.size()), c.message);
  }
  // Many brackets that do not nest, and lines indented up to the limit, are not refused.
  std::string shallow = "# ";
  for (int i = 0; i < 300; ++i) shallow += "[]{}";
  UIloadResult wide = load(shallow + "\n" + panel + std::string(512, ' ') + "# x\n");
  EXPECT_TRUE(wide.ok) << (wide.errors.empty() ? "" : wide.errors[0].text());
  for (OMobj_id id : wide.objects) OMdestroy_obj(id, 0);
  UIloadResult missing = UIloadInterfaceFile((dir / "absent.yaml").string(), place);
  ASSERT_EQ(missing.errors.size(), 1u);
  EXPECT_NE(missing.errors[0].message.find("cannot open"), std::string::npos);
  UIloadResult folder = UIloadInterfaceFile(dir.string(), place);
  ASSERT_EQ(folder.errors.size(), 1u);
  EXPECT_EQ(folder.errors[0].message, "not a regular file");
  EXPECT_EQ(countChildren(), 0);
}

TEST_F(InterfaceFile, IncludeCyclesAndMissingIncludesAreErrors) {
  write("self.yaml", "include: [self.yaml]\nx:\n  type: Panel\n");
  UIloadResult r = UIloadInterfaceFile((dir / "self.yaml").string(), place);
  ASSERT_EQ(r.errors.size(), 1u);
  EXPECT_EQ(r.errors[0].message, "'self.yaml' includes itself");
  r = load("include: [gone.yaml]\n");
  ASSERT_EQ(r.errors.size(), 1u);
  EXPECT_EQ(r.errors[0].line, 1);
  EXPECT_EQ(r.errors[0].column, 11);
  // One large file named many times is read once; the rest is refused, and the text read
  // for one file is bounded in all.
  auto big = [](const std::string& name) {
    return name + ":\n  type: Panel\n# " + std::string(kUIMaxFileBytes - 40, 'x') + "\n";
  };
  write("big.yaml", big("b"));
  r = load("include: [big.yaml, big.yaml, big.yaml]\n");
  ASSERT_EQ(r.errors.size(), 2u) << errors(r).substr(0, 400);
  EXPECT_EQ(r.errors[0].message, "'big.yaml' is included already");
  EXPECT_EQ(r.errors[0].column, 21);
  for (int i = 0; i < 4; ++i)
    write("big" + std::to_string(i) + ".yaml",
          "# " + std::string(kUIMaxFileBytes - 10, 'x') + "\n");
  r = load("include: [big0.yaml, big1.yaml, big2.yaml, big3.yaml, big.yaml]\n");
  ASSERT_FALSE(r.errors.empty());
  EXPECT_EQ(r.errors.back().message, "the included files are too large together (more than " +
                                         std::to_string(kUIMaxTotalBytes) + " bytes)");
  EXPECT_EQ(countChildren(), 0);
}

TEST_F(InterfaceFile, ANameThatExistsAlreadyIsRefused) {
  ASSERT_TRUE(load("p:\n  type: Panel\n").ok);
  UIloadResult again = load("p:\n  type: Panel\n");
  EXPECT_FALSE(again.ok);
  EXPECT_EQ(countChildren(), 1);
}

// Hostile files of another kind: small texts that would cost hours or the stack, and names
// that would end up made twice.
TEST_F(InterfaceFile, AliasesAreRefusedAtOnce) {
  // Each level names the one before nine times: walked node by node, the last stands for
  // 9^9 nodes in a file of a few hundred bytes.
  std::string bomb = "l0: &l0 [x, x, x, x, x, x, x, x, x]\n";
  for (int i = 1; i < 10; ++i) {
    std::string prev = "*l" + std::to_string(i - 1);
    bomb += "l" + std::to_string(i) + ": &l" + std::to_string(i) + " [";
    for (int k = 0; k < 9; ++k) bomb += (k ? ", " : "") + prev;
    bomb += "]\n";
  }
  UIloadResult r = load(bomb);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(errors(r), ":2:10: aliases ('*name') are not accepted: write the value out\n");
  // One alias is refused as well: an anchor alone is harmless.
  r = load("a: &base\n  type: Panel\n  width: 3\nb: *base\n");
  EXPECT_EQ(errors(r), ":4:4: aliases ('*name') are not accepted: write the value out\n");
  r = load("a: &base\n  type: Panel\n  width: 3\n");
  EXPECT_TRUE(r.ok) << errors(r);
  EXPECT_EQ(countChildren(), 1);
}

TEST_F(InterfaceFile, LongLinkExpressionsAreRefusedWithTheirPlace) {
  std::string chain = "1";
  for (int i = 0; i < 300000; ++i) chain += "+1";
  UIloadResult r = load("a:\n  type: Panel\n  scale: => " + chain + "\n");
  ASSERT_EQ(r.errors.size(), 1u);
  EXPECT_EQ(r.errors[0].line, 3);
  EXPECT_GT(r.errors[0].column, 12) << "the column points into the expression";
  EXPECT_EQ(r.errors[0].message, "bad link: the expression is too long");
  EXPECT_EQ(countChildren(), 0);
  chain = "1";
  for (int i = 0; i < 2000; ++i) chain += "+1";
  r = load("a:\n  type: Panel\n  scale: => " + chain + "\n");
  ASSERT_TRUE(r.ok) << errors(r);
  double v = 0;
  ASSERT_EQ(OMget_real_val(OMfind_str_subobj(r.objects[0], "scale", 0), &v), 1);
  EXPECT_EQ(v, 2001);
}

// Each link is checked for a cycle when it is made. A file of many chained links, written in
// the natural order, is loaded in about its length (each check used to walk the whole chain
// behind it: 20000 links took minutes).
TEST_F(InterfaceFile, ALongChainOfLinksLoads) {
  std::string text = "a0:\n  type: Panel\n  width: 1\n";
  for (int i = 1; i < 20000; ++i)
    text += "a" + std::to_string(i) + ":\n  type: Panel\n  width: => a" + std::to_string(i - 1) +
            ".width\n";
  text += "a0b:\n  type: Panel\n  width: => a19999.width\n";
  UIloadResult r = load(text);
  ASSERT_TRUE(r.ok) << errors(r);
  ASSERT_EQ(r.objects.size(), 20001u);
  int v = 0;
  EXPECT_EQ(OMget_int_val(OMfind_str_subobj(r.objects[4000], "width", 0), &v), 1);
  EXPECT_EQ(v, 1);
  // Closing the chain into a ring is still found, from either end.
  r = load(
      "x:\n  type: Panel\n  width: => z.width\ny:\n  type: Panel\n  width: => x.width\n"
      "z:\n  type: Panel\n  width: => y.width\n");
  EXPECT_EQ(errors(r), ":9:12: bad link: reference cycle\n");
}

// A file under the size limit may still ask for millions of objects; the loader stops at
// its bound with one message and makes nothing.
TEST_F(InterfaceFile, AFileThatMakesTooManyObjectsIsRefused) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "p" + std::to_string(i) + ": {type: Panel}\n";
  unsigned before = OMget_live_objects();
  UIloadResult r = load(text);
  EXPECT_FALSE(r.ok);
  ASSERT_EQ(r.errors.size(), 1u) << errors(r).substr(0, 400);
  EXPECT_EQ(r.errors[0].message, "the file makes too many objects (more than 1048576)");
  EXPECT_EQ(countChildren(), 0);
  EXPECT_EQ(OMget_live_objects(), before) << "everything made was removed";
}

TEST_F(InterfaceFile, ATopLevelNameDefinedTwiceAcrossIncludesIsRefused) {
  write("other.yaml", "# shared panels\nshared:\n  type: Panel\n  width: 7\n");
  UIloadResult r =
      load("include: [other.yaml]\nmine:\n  type: Panel\nshared:\n  type: Panel\n  width: 8\n");
  EXPECT_FALSE(r.ok);
  ASSERT_EQ(r.errors.size(), 1u) << errors(r);
  EXPECT_EQ(r.errors[0].file, (dir / "f.yaml").string());
  EXPECT_EQ(r.errors[0].line, 4);
  EXPECT_EQ(r.errors[0].message,
            "'shared' is defined twice: here and at " + (dir / "other.yaml").string() + ":2:1");
  EXPECT_EQ(countChildren(), 0) << "nothing is made";
  EXPECT_TRUE(instanced.empty());
  // Two includes that define the same name are refused alike.
  write("again.yaml", "shared:\n  type: Panel\n");
  r = load("include: [other.yaml, again.yaml]\n");
  ASSERT_EQ(r.errors.size(), 1u) << errors(r);
  EXPECT_EQ(r.errors[0].file, (dir / "again.yaml").string());
  EXPECT_EQ(countChildren(), 0);
}

}  // namespace
