// The reader of the plain form: one pass over the text, no allocation but the tree's own. It
// accepts only what it can read exactly as libyaml does, and gives up at anything else:
//
//   # comments, blank lines          key: word words      key: { key: word, key: word }
//   key:                             key:                 (keys and words: letters, digits
//     key: word                      (empty: null)         and _-.+/=>, not starting a
//                                                          YAML indicator)
//
// Tabs, line feeds other than '\n', quotes, sequences, anchors, tags, documents markers,
// words running over lines, and everything libyaml would refuse go to libyaml.
#include <cstddef>

#include "yaml_build.h"

namespace {

bool isWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}
bool isPlainChar(char c) {
  return isWordChar(c) || c == '-' || c == '.' || c == '+' || c == '/' || c == '=' || c == '>';
}

class PlainReader {
 public:
  PlainReader(std::string_view text, size_t base, UIyamlBuilder* b)
      : s_(text.data()), n_(text.size()), base_(base), b_(b) {}

  bool read() {
    int indents[kMaxDepth];
    int depth = 0;
    bool pendingValue = false;  // a key whose value is on the lines below it, or null
    while (true) {
      int indent = skipBlankLinesAndComments();
      if (at_ >= n_) break;
      if (pendingValue) {
        pendingValue = false;
        if (depth > 0 && indent <= indents[depth - 1]) {
          if (!nullHere()) return false;
        } else {
          if (depth == kMaxDepth ||
              !b_->open(UIyamlKind::Mapping, UIyamlStyle::Block, here(), false, &error_))
            return false;
          indents[depth++] = indent;
        }
      } else if (depth == 0) {
        if (!b_->open(UIyamlKind::Mapping, UIyamlStyle::Block, here(), false, &error_))
          return false;
        indents[depth++] = indent;
      }
      while (indent < indents[depth - 1]) {
        b_->close();
        if (--depth == 0) return false;  // below the first key: not one mapping
      }
      if (indent != indents[depth - 1]) return false;
      if (!key()) return false;
      // After "key:" a word, a flow mapping, or nothing (the value is below, or null).
      skipSpaces();
      if (lineEnds()) {
        pendingValue = true;
        continue;
      }
      if (s_[at_] == '{' ? !flowMapping() : !word(false)) return false;
      skipSpaces();
      if (!lineEnds()) return false;
    }
    if (depth == 0) return false;  // nothing but comments: not a document
    if (pendingValue && !nullHere()) return false;
    while (depth-- > 0) b_->close();
    return true;
  }

 private:
  static constexpr int kMaxDepth = 64;
  static constexpr size_t kMaxKey = 1000;  // libyaml refuses a key over 1024 characters

  UIyamlMark here() const { return {base_ + at_, line_, static_cast<int>(at_ - lineStart_)}; }
  void skipSpaces() {
    while (at_ < n_ && s_[at_] == ' ') ++at_;
  }
  // At the end of the line or text, or at a comment after a blank (taken up to the line end).
  bool lineEnds() {
    if (at_ < n_ && s_[at_] == '#' && at_ > 0 && s_[at_ - 1] == ' ')
      while (at_ < n_ && s_[at_] != '\n') ++at_;
    return at_ >= n_ || s_[at_] == '\n';
  }
  // Moves to the first character of the next line that holds more than blanks and a comment;
  // gives its indent.
  int skipBlankLinesAndComments() {
    while (at_ < n_) {
      if (s_[at_] == '\n') {
        ++at_;
        ++line_;
        lineStart_ = at_;
      }
      size_t start = at_;
      skipSpaces();
      if (at_ >= n_) break;
      if (s_[at_] == '#')
        while (at_ < n_ && s_[at_] != '\n') ++at_;
      else if (s_[at_] != '\n')
        return static_cast<int>(at_ - start);
    }
    return 0;
  }
  // A null value for the pending key, where the next token (or the end of the text) stands.
  bool nullHere() { return b_->scalar(here(), "", 0, UIyamlStyle::Plain, false, false, &error_); }

  // A plain key and its ':', which a blank or the line's end follows.
  bool key() {
    size_t start = at_;
    if (!startsWord()) return false;
    while (at_ < n_ && isPlainChar(s_[at_])) ++at_;
    size_t end = at_;
    if (at_ >= n_ || s_[at_] != ':' || end - start > kMaxKey) return false;
    UIyamlMark mark = markOf(start);
    ++at_;
    if (at_ < n_ && s_[at_] != ' ' && s_[at_] != '\n') return false;
    return b_->scalar(mark, s_ + start, end - start, UIyamlStyle::Plain, false, false, &error_);
  }

  // A plain word of one line: words with single or several blanks between them, up to the
  // line's end, a comment, or in a flow mapping a ',' or '}'.
  bool word(bool inFlow) {
    size_t start = at_;
    if (!startsWord()) return false;
    size_t end = at_;
    while (at_ < n_) {
      char c = s_[at_];
      if (isPlainChar(c)) {
        end = ++at_;
      } else if (c == ' ') {
        ++at_;
      } else if (c == '\n' || (inFlow && (c == ',' || c == '}')) || (c == '#' && at_ > end)) {
        break;
      } else {
        return false;
      }
    }
    at_ = end;
    return b_->scalar(markOf(start), s_ + start, end - start, UIyamlStyle::Plain, false, false,
                      &error_);
  }

  // A word's first character: a letter, digit, '_' or '=', or one of -.+/ before one of those
  // (so that no indicator, document marker or sequence entry starts it).
  bool startsWord() {
    if (at_ >= n_) return false;
    char c = s_[at_];
    if (isWordChar(c) || c == '=') {
      ++at_;
      return true;
    }
    bool sign = c == '-' || c == '.' || c == '+' || c == '/';
    if (!sign || at_ + 1 >= n_ || !isWordChar(s_[at_ + 1])) return false;
    at_ += 2;
    return true;
  }

  // "{ key: word, key: word }" on one line, at least one entry and no trailing comma.
  bool flowMapping() {
    if (!b_->open(UIyamlKind::Mapping, UIyamlStyle::Flow, here(), false, &error_)) return false;
    ++at_;
    while (true) {
      skipSpaces();
      size_t start = at_;
      if (!startsWord()) return false;
      while (at_ < n_ && isPlainChar(s_[at_])) ++at_;
      if (at_ + 1 >= n_ || s_[at_] != ':' || s_[at_ + 1] != ' ' || at_ - start > kMaxKey)
        return false;
      if (!b_->scalar(markOf(start), s_ + start, at_ - start, UIyamlStyle::Plain, false, false,
                      &error_))
        return false;
      at_ += 2;
      skipSpaces();
      if (!word(true)) return false;
      skipSpaces();
      if (at_ >= n_) return false;
      if (s_[at_] == '}') break;
      if (s_[at_] != ',') return false;
      ++at_;
    }
    ++at_;
    b_->close();
    // What follows the mapping on its line is for the caller; a comment needs a blank first.
    return at_ >= n_ || s_[at_] == ' ' || s_[at_] == '\n';
  }

  UIyamlMark markOf(size_t pos) const {
    return {base_ + pos, line_, static_cast<int>(pos - lineStart_)};
  }

  const char* s_;
  size_t n_;
  size_t base_;
  UIyamlBuilder* b_;
  size_t at_ = 0;
  int line_ = 0;
  size_t lineStart_ = 0;
  UIyamlError error_;  // a limit passed: libyaml reads the text again and reports it
};

}  // namespace

bool UIreadPlainYaml(std::string_view text, size_t base, UIyamlBuilder* builder) {
  return PlainReader(text, base, builder).read();
}
