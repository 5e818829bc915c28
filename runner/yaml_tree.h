// A small read-only YAML tree for the interface-file loader: one document read with an event
// parser into mappings, sequences and scalars that keep their place and their order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A place in the text, all counts from 0. `pos` is a byte offset into the text given to
// UIyamlDocument::parse, `column` counts bytes from the start of the line, so that a place
// can be used to edit the text in place.
struct UIyamlMark {
  size_t pos = 0;
  int line = 0;
  int column = 0;
};

enum class UIyamlKind : uint8_t {
  Null,  // no value: an empty value, or a plain ~, null, Null or NULL without a tag
  Scalar,
  Mapping,
  Sequence,
};

// How a scalar was written, or (Block/Flow) how a collection was.
enum class UIyamlStyle : uint8_t {
  Plain,
  SingleQuoted,
  DoubleQuoted,
  Literal,
  Folded,
  Block,
  Flow
};

// One node. Nodes belong to their document and live as long as it; they are never changed.
class UIyamlNode {
 public:
  UIyamlKind kind() const { return kind_; }
  bool isNull() const { return kind_ == UIyamlKind::Null; }
  bool isScalar() const { return kind_ == UIyamlKind::Scalar; }
  bool isMapping() const { return kind_ == UIyamlKind::Mapping; }
  bool isSequence() const { return kind_ == UIyamlKind::Sequence; }
  UIyamlStyle style() const { return style_; }
  bool flow() const { return style_ == UIyamlStyle::Flow; }
  bool anchored() const { return anchored_; }  // carries an anchor ("&name")
  // Where the node starts: its anchor or tag if it has one, else its first character. An
  // empty value stands where the next thing in the text starts.
  const UIyamlMark& mark() const { return mark_; }
  // A scalar's value as read (escapes and folding done); empty for other kinds.
  std::string_view text() const {
    return kind_ == UIyamlKind::Mapping || kind_ == UIyamlKind::Sequence
               ? std::string_view()
               : std::string_view(text_, size_);
  }

  // Entries of a mapping or items of a sequence, in file order; 0 for scalars.
  size_t size() const {
    return kind_ == UIyamlKind::Mapping ? size_ / 2 : kind_ == UIyamlKind::Sequence ? size_ : 0;
  }
  const UIyamlNode& key(size_t i) const { return *items_[2 * i]; }  // mapping, i < size()
  const UIyamlNode& value(size_t i) const { return *items_[2 * i + 1]; }
  const UIyamlNode& item(size_t i) const { return *items_[i]; }  // sequence, i < size()
  // The value of the first entry whose key is a scalar equal to `name`; null when there is
  // none or this is not a mapping.
  const UIyamlNode* find(std::string_view name) const;

 private:
  friend class UIyamlDocument;
  friend class UIyamlBuilder;
  UIyamlKind kind_ = UIyamlKind::Null;
  UIyamlStyle style_ = UIyamlStyle::Plain;
  bool anchored_ = false;
  UIyamlMark mark_;
  size_t size_ = 0;  // a scalar's bytes, or a collection's children (keys and values both)
  // While the text is read, where the value or the children start in the document's lists;
  // once it is read, a pointer to them.
  union {
    size_t at_ = 0;
    const char* text_;
    const UIyamlNode* const* items_;
  };
};

// Bounds on what parse accepts, so that a hostile text cannot exhaust memory. The parser
// itself keeps its own stacks on the heap; nothing here recurses.
struct UIyamlLimits {
  int maxDepth = 256;                // collections inside each other (the top node is depth 0)
  size_t maxNodes = 1u << 21;        // nodes of all kinds
  size_t maxScalarBytes = 1u << 24;  // one scalar's value
};

struct UIyamlError {
  enum Code {
    None,
    Syntax,    // the text is not YAML; `message` is the parser's own description
    Alias,     // an alias ("*name"): refused, since a node reached through several would be
               // walked once per path to it
    TooDeep,   // maxDepth passed
    TooLarge,  // maxNodes or maxScalarBytes passed
  };
  Code code = None;
  std::string message;  // what is wrong, in a few words
  bool placed = false;  // false: the problem concerns the whole text
  UIyamlMark mark;
};

// One document: the first of the text (any after it are not read). Not copyable: nodes point
// into it.
class UIyamlDocument {
 public:
  UIyamlDocument() = default;
  UIyamlDocument(const UIyamlDocument&) = delete;
  UIyamlDocument& operator=(const UIyamlDocument&) = delete;

  // Which reader reads a text. Texts in the form interface files take (indented mappings of
  // plain names; values that are words, quoted texts on one line, or one-line flow sequences and
  // mappings of them) are read by a reader of that form alone, about five times faster than
  // libyaml; anything else, or any doubt, goes to libyaml. Both give the same tree and the same
  // errors; LibraryOnly is for comparing them.
  enum class Reader { Fastest, LibraryOnly };

  // Reads `text` (UTF-8; a leading byte-order mark is skipped). Returns false and fills
  // `error` (the first problem met, with its place when there is one) when the text is not a
  // YAML document within `limits`; the tree is then empty. The text need not outlive the
  // document. Bytes that are not valid UTF-8, and control characters YAML forbids, are kept
  // in scalars byte for byte (as a byte-oriented reader would) and count one column each.
  bool parse(std::string_view text, const UIyamlLimits& limits, UIyamlError* error,
             Reader reader = Reader::Fastest);

  // The document's top node; null for a text with no document (empty, or only comments).
  const UIyamlNode* root() const { return root_; }

 private:
  friend class UIyamlBuilder;
  bool parseWithLibrary(const unsigned char* p, size_t n, size_t base, bool ascii, bool refused,
                        const UIyamlLimits& limits, UIyamlError* error);
  void clear();
  std::vector<UIyamlNode> nodes_;
  std::vector<const UIyamlNode*> items_;
  std::string text_;  // every scalar's value, one after the other
  const UIyamlNode* root_ = nullptr;
};
