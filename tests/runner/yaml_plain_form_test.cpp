// The reader of the plain form against libyaml: for every text it reads, the same tree to the
// byte and place; every text it does not read goes to libyaml, errors and all.
#include <gtest/gtest.h>

#include <string>

#include "yaml_build.h"
#include "yaml_tree.h"

namespace {

std::string place(const UIyamlMark& m) {
  return std::to_string(m.line) + ":" + std::to_string(m.column) + "@" + std::to_string(m.pos);
}

// The tree as one line per node: kind, style, anchor, place and text, children indented.
void describe(const UIyamlNode& n, int depth, std::string* out) {
  *out += std::string(2 * depth, ' ') + std::to_string(static_cast<int>(n.kind())) + "/" +
          std::to_string(static_cast<int>(n.style())) + (n.anchored() ? "&" : "") + " " +
          place(n.mark()) + " '" + std::string(n.text()) + "'\n";
  for (size_t i = 0; i < n.size(); ++i) {
    if (n.isMapping()) {
      describe(n.key(i), depth + 1, out);
      describe(n.value(i), depth + 1, out);
    } else {
      describe(n.item(i), depth + 1, out);
    }
  }
}

std::string describe(const UIyamlDocument& doc) {
  std::string out;
  if (doc.root()) describe(*doc.root(), 0, &out);
  return out;
}

// The tree a parse by `reader` gives, or its error.
std::string parsed(const std::string& text, UIyamlDocument::Reader reader,
                   const UIyamlLimits& limits) {
  UIyamlDocument doc;
  UIyamlError error;
  if (!doc.parse(text, limits, &error, reader))
    return "error " + std::to_string(error.code) + " " + error.message + " at " + place(error.mark);
  return describe(doc);
}

std::string byLibrary(const std::string& text, const UIyamlLimits& limits = UIyamlLimits()) {
  return parsed(text, UIyamlDocument::Reader::LibraryOnly, limits);
}

// The plain reader's own tree, or "gave up".
std::string byPlainReader(const std::string& text) {
  UIyamlDocument doc;
  UIyamlLimits limits;
  UIyamlBuilder builder(&doc, limits);
  size_t base = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
  if (!UIreadPlainYaml(std::string_view(text).substr(base), base, &builder)) return "gave up";
  builder.finish();
  return describe(doc);
}

std::string byParse(const std::string& text, const UIyamlLimits& limits = UIyamlLimits()) {
  return parsed(text, UIyamlDocument::Reader::Fastest, limits);
}

TEST(YamlPlainForm, ReadsItsFormAsLibyamlDoes) {
  const char* texts[] = {
      // An interface file as the runner's examples write them.
      "# a window\n"
      "win:\n"
      "  type: UIshell\n"
      "  title: Hello world   \n"
      "  c0: { type: UIlabel, x: 0, y: -4, width: 22, label: two  words }  # trailing\n"
      "  c1: {type: UIbutton,x: 1}\n"
      "  inner:   # its value is below\n"
      "\n"
      "      deep: 1.5e+3\n"
      "      deeper:\n"
      "        leaf: =>..win.title\n"
      "  # between\n"
      "  after: .5\n"
      "other: /tmp/x\n",
      // Empty values: before a sibling, before a way out of several levels, before comments and
      // blank lines, at the end with and without a line end, and null words.
      "a:\nb:\n  c:\n    d:\ne: null\nf: nulls\n",
      "a:\n  b:\n    c:\n\n   # note\n\nd: NULL\nnull: Null\n",
      "k: v\nlast:",
      "k: v\nlast:\n",
      "k: v\nlast:   \n  \n",
      // Signs and odd words; keys of one character; a root mapping that is indented.
      "  -1: +2\n  .a/b: b-c\n  x: y>z\n  =: =\n",
      "a: b # c\n",
      "\xEF\xBB\xBF"
      "bom: yes\n",
      // Words of a block mapping's value with any printable character but ':'; quoted texts,
      // escapes and all; flow sequences and mappings inside each other, empty ones too.
      "status: Panels, frames [and] {more}; don't! a#b & *c | >d %e @f `g ?h (i) \\j~\n",
      "q: 'it''s: #1'\nd: \"say \\\"hi\\\" \\\\ \\/ \\n \\t \\r: #2\"  # after\ne: ''\nf: \"\"\n",
      "colour: { fg: \"#aa2200\", bg: 'x y', n: null }\n",
      "strings: [alpha, beta gamma, \"d, e\", 'f']\nnested: [[1, 2], {a: [b]}, []]\n"
      "empty: {}\nseq: []\n",
      "include: [one.yaml]\n",
      "tool: { label: Grid, message: Shows the grid (toggles) ~ \xC3\xA9, n: [(a), b c] }\n",
      "none: (no value)\nmoney: $5 ~ <a> ^b ;c \\d\ntilde: ~\nunicode: \xC3\x84rger\n",
      // UTF-8 in words, quoted texts and comments; places count bytes.
      "label: \"Labels: d\xC3\xA9"
      "but \xE2\x80\x94 Gr\xC3\xBC\xC3\x9F"
      "e\"  # \xC3\xA9\nnext: "
      "caf\xC3\xA9 "
      "ol\xC3\xA9\nlast: x\n",
  };
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    std::string expected = byLibrary(text);
    ASSERT_EQ(expected.rfind("error", 0), std::string::npos) << expected;
    EXPECT_EQ(byPlainReader(text), expected);
    EXPECT_EQ(byParse(text), expected);
  }
}

TEST(YamlPlainForm, GivesUpOnAnythingElseAndLibyamlDecides) {
  const char* texts[] = {
      // Valid YAML outside the form.
      "a:\n  - x\n",
      "a: &x 1\n",
      "a: !tag 1\n",
      "---\na: 1\n",
      "a: 1\n...\n",
      "%YAML 1.1\n---\na: 1\n",
      "? a\n: 1\n",
      "a: |\n  text\n",
      "a: >\n  text\n",
      "a: b\n  c\n",
      "a:b: 1\n",
      "a:b\n",
      "k: v\nx:y\n",
      "a: 1\r\nb: 2\r\n",
      "a:\tb\n",
      "a: { b: 1, }\n",
      "a: [1, ]\n",
      "a: \"tab\there\"\n",
      "a: \"\\x41\"\n",
      "a: \"open\n  more\"\n",
      "a: 'x' y\n",
      "a: [b: c]\n",
      "a: {b: [1, 2}\n",
      "a: x:y\n",
      "a: \"quoted\": 1\n",
      "\"key\": 1\n",
      "a: { b: 1,\n  c: 2 }\n",
      "plain\n",
      "",
      "# only a comment\n",
      "a: {b: 1}#c\n",
      "a b: 1\n",
      // Not YAML: libyaml says why, and where.
      "a: b: c\n",
      "a:\n    b: 1\n  c: 2\n",
      "a: 1\n  b: 2\n",
      "  a: 1\nb: 2\n",
      "a: - b\n",
      "a: *x\n",
  };
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    EXPECT_EQ(byPlainReader(text), "gave up");
    EXPECT_EQ(byParse(text), byLibrary(text));
  }
  // libyaml ends a line at '\r' too, in a comment as well: such texts are all its own.
  const std::string returns = "a:\n# note\r  b: 1\n";
  EXPECT_NE(byLibrary(returns).find("'b'"), std::string::npos) << byLibrary(returns);
  EXPECT_EQ(byParse(returns), byLibrary(returns));

  // libyaml also breaks lines at U+0085, U+2028 and U+2029, in words, quoted texts and
  // comments alike.
  for (const char* text : {"a: x\xC2\x85y\n", "a: 'x\xE2\x80\xA8y'\n",
                           "# note\xE2\x80\xA9"
                           "b: 1\na: 1\n",
                           "a: 1 # note\xC2\x85"
                           "b: 2\n",
                           "a: x\xEF\xBB\xBFy\n"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(byPlainReader(text), "gave up");
    EXPECT_EQ(byParse(text), byLibrary(text));
  }

  // Keys: libyaml refuses one of more than 1024 characters; the reader leaves long ones to it.
  for (size_t n : {999, 1001, 1030}) {
    std::string text = std::string(n, 'k') + ": v\n";
    SCOPED_TRACE(n);
    EXPECT_EQ(byParse(text), byLibrary(text));
  }
  EXPECT_NE(byPlainReader(std::string(999, 'k') + ": v\n"), "gave up");
}

TEST(YamlPlainForm, LimitsAreReportedAsLibyamlReports) {
  UIyamlLimits small;
  small.maxDepth = 2;
  small.maxNodes = 6;
  small.maxScalarBytes = 4;
  for (const char* text : {"a:\n b:\n  c:\n   d: 1\n", "a: 1\nb: 2\nc: 3\nd: 4\n", "a: 12345\n",
                           "a: {b: 1, c: 12345}\n"}) {
    SCOPED_TRACE(text);
    std::string expected = byLibrary(text, small);
    EXPECT_EQ(expected.rfind("error", 0), 0u) << expected;
    EXPECT_EQ(byParse(text, small), expected);
  }
}

}  // namespace
