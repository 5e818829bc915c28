// The YAML tree the loader reads files into: places in bytes, file order, kinds and styles,
// the bounds on hostile texts, and errors with their places.
#include "yaml_tree.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Parsed {
  UIyamlDocument doc;
  UIyamlError error;
  bool ok = false;
  Parsed(const std::string& text, const UIyamlLimits& limits = UIyamlLimits()) {
    ok = doc.parse(text, limits, &error);
  }
};

std::string place(const UIyamlMark& m) {
  return std::to_string(m.line) + ":" + std::to_string(m.column) + "@" + std::to_string(m.pos);
}

TEST(YamlTree, KeepsOrderNestingStylesAndPlaces) {
  const std::string text =
      "zeta:\n"
      "  type: Panel\n"
      "  list: [1, 'two', \"three\"]\n"
      "alpha: {b: 1, a: 2}\n"
      "mid:\n"
      "  - x\n"
      "  - &anchor y\n";
  Parsed p(text);
  ASSERT_TRUE(p.ok) << p.error.message;
  const UIyamlNode& root = *p.doc.root();
  ASSERT_TRUE(root.isMapping());
  EXPECT_FALSE(root.flow());
  ASSERT_EQ(root.size(), 3u);
  EXPECT_EQ(root.key(0).text(), "zeta") << "keys stay in file order, not sorted";
  EXPECT_EQ(root.key(1).text(), "alpha");
  EXPECT_EQ(root.key(2).text(), "mid");

  const UIyamlNode& zeta = root.value(0);
  EXPECT_EQ(place(zeta.mark()), "1:2@8") << "a block mapping starts at its first key";
  const UIyamlNode& list = *zeta.find("list");
  ASSERT_TRUE(list.isSequence());
  EXPECT_TRUE(list.flow());
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list.item(0).style(), UIyamlStyle::Plain);
  EXPECT_EQ(list.item(1).style(), UIyamlStyle::SingleQuoted);
  EXPECT_EQ(list.item(2).style(), UIyamlStyle::DoubleQuoted);
  EXPECT_EQ(list.item(2).text(), "three");
  EXPECT_EQ(place(list.item(2).mark()), "2:19@39") << "a quoted scalar starts at its quote";
  EXPECT_EQ(text.substr(list.mark().pos, 1), "[");

  const UIyamlNode& alpha = root.value(1);
  EXPECT_TRUE(alpha.flow());
  EXPECT_EQ(text.substr(alpha.mark().pos, 1), "{");
  EXPECT_EQ(alpha.key(0).text(), "b");
  EXPECT_EQ(alpha.find("a")->text(), "2");
  EXPECT_EQ(alpha.find("c"), nullptr);
  EXPECT_EQ(list.find("a"), nullptr) << "only mappings have keys";

  const UIyamlNode& mid = root.value(2);
  ASSERT_TRUE(mid.isSequence());
  EXPECT_FALSE(mid.flow());
  EXPECT_FALSE(mid.item(0).anchored());
  EXPECT_TRUE(mid.item(1).anchored());
  EXPECT_EQ(text.substr(mid.item(1).mark().pos, 7), "&anchor") << "a node starts at its anchor";
}

// Null is what a plain, untagged ~, null or nothing reads as; anything quoted or tagged is text.
TEST(YamlTree, NullsAndEmptyValuesAreToldFromText) {
  const std::string text =
      "a:\n"
      "b: ~\n"
      "c: \"~\"\n"
      "d: !!str null\n"
      "e: NULL\n"
      "f: ''\n"
      "g: nulls\n"
      "i: {j: , k: 1}\n"
      "l:\n"
      "  -   # nothing\n"
      "  - y\n"
      "h:\n";
  Parsed p(text);
  ASSERT_TRUE(p.ok) << p.error.message;
  const UIyamlNode& root = *p.doc.root();
  const char* nulls = "abeh";
  for (size_t i : {0, 1, 2, 3, 4, 5, 6, 9}) {
    bool null = std::string(nulls).find(root.key(i).text()) != std::string::npos;
    EXPECT_EQ(root.value(i).isNull(), null) << root.key(i).text();
    EXPECT_EQ(root.value(i).isScalar(), !null) << root.key(i).text();
  }
  EXPECT_EQ(place(root.value(0).mark()), "1:0@3")
      << "an empty value stands where the next key does";
  // Empty values stand where the next token starts, in block and flow collections alike.
  EXPECT_EQ(text.substr(root.value(7).find("j")->mark().pos, 4), ", k:");
  const UIyamlNode& l = root.value(8);
  EXPECT_TRUE(l.item(0).isNull());
  EXPECT_EQ(place(l.item(0).mark()), "10:2@" + std::to_string(text.find("- y")))
      << "past blanks and comments";
  EXPECT_EQ(place(root.value(9).mark()), "12:0@" + std::to_string(text.size()))
      << "at the end of the text, at its end";
  EXPECT_EQ(place(root.value(1).mark()), "1:3@6");

  Parsed empty("");
  EXPECT_TRUE(empty.ok);
  EXPECT_EQ(empty.doc.root(), nullptr);
  Parsed comments("# nothing here\n\n");
  EXPECT_TRUE(comments.ok);
  EXPECT_EQ(comments.doc.root(), nullptr);
  Parsed bare("---\n");
  ASSERT_TRUE(bare.ok);
  EXPECT_TRUE(bare.doc.root()->isNull());
}

// Places are bytes of the text as given, whatever characters stand before them, so that a
// place can be used to edit the text; bytes that are not UTF-8 are kept as they are.
TEST(YamlTree, PlacesCountBytesAndBadBytesAreKept) {
  const std::string text = "a: {t: \"\xC3\xA9\xC3\xA9\", w: 5}\nb: x\xFF\xFEy\nc: 7\n";
  Parsed p(text);
  ASSERT_TRUE(p.ok) << p.error.message;
  const UIyamlNode& root = *p.doc.root();
  const UIyamlNode& w = *root.value(0).find("w");
  EXPECT_EQ(text.substr(w.mark().pos, 1), "5");
  EXPECT_EQ(w.mark().column, static_cast<int>(w.mark().pos));
  EXPECT_EQ(root.value(0).find("t")->text(), "\xC3\xA9\xC3\xA9");
  EXPECT_EQ(root.value(1).text(), "x\xFF\xFEy") << "bad bytes pass through byte for byte";
  EXPECT_EQ(place(root.value(2).mark()), "2:3@" + std::to_string(text.find('7')));

  // A leading byte-order mark is skipped but counted in positions, not in columns.
  Parsed bom("\xEF\xBB\xBFk: v\n");
  ASSERT_TRUE(bom.ok) << bom.error.message;
  EXPECT_EQ(place(bom.doc.root()->value(0).mark()), "0:3@6");

  // The text's own private-use characters near the stand-ins for bad bytes, and control
  // characters, survive as well.
  const std::string mixed = "k: \xEF\x9C\x81\x01\x80z\n";
  Parsed m(mixed);
  ASSERT_TRUE(m.ok) << m.error.message;
  EXPECT_EQ(m.doc.root()->value(0).text(), "\xEF\x9C\x81\x01\x80z");
}

TEST(YamlTree, BoundsStopHostileTexts) {
  UIyamlLimits small;
  small.maxDepth = 3;
  EXPECT_TRUE(Parsed("[[[[x]]]]", small).ok == false);
  EXPECT_TRUE(Parsed("[[[[]]]]", small).ok) << "collections at depths 0 to 3 are allowed";
  Parsed deep("a:\n b:\n  c:\n   d:\n    e: 1\n", small);
  EXPECT_FALSE(deep.ok);
  EXPECT_EQ(deep.error.code, UIyamlError::TooDeep);
  EXPECT_EQ(place(deep.error.mark), "3:3@15") << "the first node too deep: the key d";

  // Far deeper than any stack would bear, with the default bounds: refused, not a crash.
  Parsed flood(std::string(200000, '['));
  EXPECT_FALSE(flood.ok);
  EXPECT_EQ(flood.error.code, UIyamlError::TooDeep);

  UIyamlLimits shortValues;
  shortValues.maxScalarBytes = 10;
  EXPECT_TRUE(Parsed("k: '0123456789'\n", shortValues).ok);
  Parsed longValue("k: '0123456789a'\n", shortValues);
  EXPECT_FALSE(longValue.ok);
  EXPECT_EQ(longValue.error.code, UIyamlError::TooLarge);
  EXPECT_EQ(place(longValue.error.mark), "0:3@3");

  UIyamlLimits fewNodes;
  fewNodes.maxNodes = 5;
  EXPECT_TRUE(Parsed("[1, 2, 3, 4]", fewNodes).ok);
  Parsed many("[1, 2, 3, 4, 5]", fewNodes);
  EXPECT_FALSE(many.ok);
  EXPECT_EQ(many.error.code, UIyamlError::TooLarge);
}

TEST(YamlTree, ErrorsComeWithTheirPlaceAndLeaveNoTree) {
  UIyamlDocument doc;
  UIyamlError error;
  ASSERT_TRUE(doc.parse("a: 1\n", UIyamlLimits(), &error));
  ASSERT_NE(doc.root(), nullptr);

  EXPECT_FALSE(doc.parse("a: 1\nb: [1, 2\nc: 3\n", UIyamlLimits(), &error));
  EXPECT_EQ(error.code, UIyamlError::Syntax);
  EXPECT_TRUE(error.placed);
  EXPECT_FALSE(error.message.empty());
  EXPECT_EQ(error.mark.line, 2) << error.message;
  EXPECT_EQ(doc.root(), nullptr) << "a failed parse leaves no tree";

  EXPECT_FALSE(doc.parse("a: &x 1\nb: [2, *x]\n", UIyamlLimits(), &error));
  EXPECT_EQ(error.code, UIyamlError::Alias);
  EXPECT_EQ(place(error.mark), "1:7@15");

  EXPECT_FALSE(doc.parse("a:\n\tb: 1\n", UIyamlLimits(), &error)) << "tabs do not indent";
  EXPECT_EQ(error.code, UIyamlError::Syntax);
  EXPECT_EQ(error.mark.line, 1);

  EXPECT_FALSE(doc.parse("a: \"open\n", UIyamlLimits(), &error)) << "a quote left open";
  EXPECT_EQ(error.code, UIyamlError::Syntax);

  // Only the first document is read: what follows it is not looked at.
  ASSERT_TRUE(doc.parse("a: 1\n---\nb: [\n", UIyamlLimits(), &error)) << error.message;
  EXPECT_EQ(doc.root()->size(), 1u);
}

}  // namespace
