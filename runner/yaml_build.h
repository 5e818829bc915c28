// Inside the YAML tree: the builder both of its readers feed, and the reader of the plain form.
// Not for the tree's users; yaml_tree.h is their interface.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "yaml_tree.h"

// Fills a document from a reader's events in text order: a collection opens, its children
// come, it closes. Keeps the children of each collection side by side in the document and
// holds the text to the limits. One builder per reading; the document is its owner's.
class UIyamlBuilder {
 public:
  UIyamlBuilder(UIyamlDocument* doc, const UIyamlLimits& limits) : doc_(doc), limits_(limits) {}

  // A scalar of `n` bytes at `mark`, `value` as read (no stand-ins left in it). A plain scalar
  // that is empty or one of the null words is a null node. False, with *error filled and
  // nothing added, when the value is too long or the text holds too many nodes or nests too
  // deeply.
  bool scalar(const UIyamlMark& mark, const char* value, size_t n, UIyamlStyle style, bool anchored,
              bool tagged, UIyamlError* error);
  // The same for a value whose stand-ins of refused bytes are to be turned back into them.
  bool scalarRestoringBytes(const UIyamlMark& mark, const char* value, size_t n, UIyamlStyle style,
                            bool anchored, bool tagged, UIyamlError* error);
  // A mapping or sequence opens at `mark`; false past the limits, as above.
  bool open(UIyamlKind kind, UIyamlStyle style, const UIyamlMark& mark, bool anchored,
            UIyamlError* error);
  // The innermost open collection closes; there must be one.
  void close();

  bool inFlow() const { return !open_.empty() && doc_->nodes_[open_.back().node].flow(); }
  // The whole text is read: the children of every collection are given their places and the
  // document gets its root (none when nothing was read).
  void finish();

 private:
  bool add(UIyamlNode node, bool opens, UIyamlError* error);
  bool fits(size_t n, const UIyamlMark& mark, UIyamlError* error) const;

  struct Open {
    uint32_t node;
    size_t pending;  // where its children start in `pending_`
  };
  static constexpr uint32_t kNone = UINT32_MAX;
  UIyamlDocument* doc_;
  const UIyamlLimits& limits_;
  std::vector<Open> open_;
  std::vector<uint32_t> pending_;  // children of the open collections, innermost last
  std::vector<uint32_t> links_;    // children of the closed collections, each side by side
  uint32_t root_ = kNone;
};

// Reads `text` into `builder` when it is all in the plain form (yaml_plain_form.cpp): block
// mappings of plain keys whose values are words, quoted texts on one line, one-line flow
// collections of those, or nested block mappings; blank lines and comments. Gives up (false;
// the document is then to be cleared) at anything else, including text libyaml would refuse,
// so that libyaml reads it and says why. `base` is where `text` starts in the caller's text
// (after a byte-order mark); places count from there. The text must be valid UTF-8 with no '\r'
// and no character YAML refuses.
bool UIreadPlainYaml(std::string_view text, size_t base, UIyamlBuilder* builder);
