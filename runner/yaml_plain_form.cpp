// The reader of the plain form: one pass over the text, no allocation but the tree's own (and a
// value's when it has escapes). It accepts only what it can read exactly as libyaml does, and
// gives up at anything else:
//
//   # comments, blank lines        key: words, and more words     key: [word, "text", 'text']
//   key:                           key: "text \"quoted\""         key: { key: word, key: [] }
//     key: word                    key:            (null)
//
// Keys are plain names (letters, digits and _-.+/=>). A value's words may hold any printable
// character but ':', UTF-8 included (a word does not start with an indicator); in a flow
// collection also not its indicators ,[]{} nor '#'. Quoted texts stay on their line; a
// double-quoted one knows the escapes \" \\ \/ \n \t \r. Tabs, line breaks other than '\n'
// (libyaml also breaks lines at '\r', U+0085, U+2028 and U+2029), block sequences, anchors, tags,
// document markers, values over several lines, and everything libyaml would refuse go to libyaml.
#include <cstddef>
#include <cstring>
#include <string>

#include "yaml_build.h"

namespace {

bool isWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}
// What a key, or a word in a flow collection, is made of.
bool isPlainChar(char c) {
  return isWordChar(c) || c == '-' || c == '.' || c == '+' || c == '/' || c == '=' || c == '>';
}
// What else a word of a block mapping's value may hold after its first character: any printable
// character but ':' (which may end a key) and '#' after a blank (a comment). A byte of a UTF-8
// character passes here; the reader checks that the character is no line break.
bool isBlockWordChar(char c) {
  auto b = static_cast<unsigned char>(c);
  return (b > ' ' && b < 0x7F && c != ':') || b >= 0x80;
}
// What a word in a flow collection may hold after its first character: the same but for the
// collection's indicators and '#'.
bool isFlowWordChar(char c) {
  return isBlockWordChar(c) && !std::strchr(",[]{}#", c);
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
      if (indent < 0) return false;
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
      if (!name(false)) return false;
      // After "key:" a value on the line, or nothing (the value is below, or null).
      skipSpaces();
      if (lineEnds()) {
        pendingValue = true;
        continue;
      }
      if (!blockValue()) return false;
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
  static constexpr int kMaxFlowDepth = 16;
  static constexpr size_t kMaxKey = 1000;  // libyaml refuses a key over 1024 characters

  UIyamlMark here() const { return markOf(at_); }
  UIyamlMark markOf(size_t pos) const {
    return {base_ + pos, line_, static_cast<int>(pos - lineStart_)};
  }
  void skipSpaces() {
    while (at_ < n_ && s_[at_] == ' ') ++at_;
  }
  // At a character libyaml takes for a line break (U+0085, U+2028, U+2029) or a byte-order mark,
  // all of which send the text to libyaml. The text is valid UTF-8.
  bool atSpecial(size_t i) const {
    auto b = [&](size_t k) { return static_cast<unsigned char>(s_[i + k]); };
    if (b(0) == 0xC2) return b(1) == 0x85;
    if (b(0) == 0xE2) return b(1) == 0x80 && (b(2) == 0xA8 || b(2) == 0xA9);
    if (b(0) == 0xEF) return b(1) == 0xBB && b(2) == 0xBF;
    return false;
  }
  // Takes a comment up to the line's end; false at a special character in it.
  bool skipComment() {
    for (; at_ < n_ && s_[at_] != '\n'; ++at_)
      if (atSpecial(at_)) return false;
    return true;
  }
  // At the end of the line or text, or at a comment after a blank (taken up to the line end).
  bool lineEnds() {
    if (at_ < n_ && s_[at_] == '#' && at_ > 0 && s_[at_ - 1] == ' ' && !skipComment()) return false;
    return at_ >= n_ || s_[at_] == '\n';
  }
  // Moves to the first character of the next line that holds more than blanks and a comment;
  // gives its indent, or -1 at a comment that holds a special character.
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
      if (s_[at_] == '#') {
        if (!skipComment()) return -1;
      } else if (s_[at_] != '\n') {
        return static_cast<int>(at_ - start);
      }
    }
    return 0;
  }
  bool plainScalar(size_t start, size_t end) {
    return b_->scalar(markOf(start), s_ + start, end - start, UIyamlStyle::Plain, false, false,
                      &error_);
  }
  // A null value for the pending key, where the next token (or the end of the text) stands.
  bool nullHere() { return b_->scalar(here(), "", 0, UIyamlStyle::Plain, false, false, &error_); }

  // A plain name and the ':' after it, which a blank follows (in a block mapping, also the line's
  // end).
  bool name(bool inFlow) {
    size_t start = at_;
    if (!startsWord()) return false;
    while (at_ < n_ && isPlainChar(s_[at_])) ++at_;
    size_t end = at_;
    if (at_ >= n_ || s_[at_] != ':' || end - start > kMaxKey) return false;
    ++at_;
    bool blankAfter = at_ < n_ && (s_[at_] == ' ' || (!inFlow && s_[at_] == '\n'));
    if (!blankAfter && !(at_ >= n_ && !inFlow)) return false;
    return plainScalar(start, end);
  }

  // A block mapping's value on the key's line. What follows a collection or a quoted text is
  // for the caller: blanks, then the line's end or a comment (which needs a blank first).
  bool blockValue() {
    char c = s_[at_];
    if (c == '{' || c == '[') return flowCollection(0);
    if (c == '"' || c == '\'') return quoted();
    return word(false);
  }

  // Plain words of one line, with single or several blanks between them, up to the line's end
  // or a comment, or in a flow collection a ',', ']' or '}'.
  bool word(bool inFlow) {
    size_t start = at_;
    if (!startsWord(true)) return false;
    size_t end = at_;
    while (at_ < n_) {
      char c = s_[at_];
      if (c == ' ') {
        ++at_;
      } else if (c == '\n' || (inFlow && (c == ',' || c == ']' || c == '}'))) {
        break;
      } else if (c == '#' && at_ > end) {
        if (inFlow) return false;
        break;  // a comment
      } else if ((inFlow ? isFlowWordChar(c) : isBlockWordChar(c)) && !atSpecial(at_)) {
        end = ++at_;
      } else {
        return false;
      }
    }
    at_ = end;
    return plainScalar(start, end);
  }

  // A word's first character: a letter, digit, '_' or '=', or one of -.+/ before one of those
  // (so that no indicator, document marker or sequence entry starts it). In a value, also any
  // other printable character that is no indicator, and UTF-8.
  bool startsWord(bool value = false) {
    if (at_ >= n_) return false;
    char c = s_[at_];
    auto b = static_cast<unsigned char>(c);
    bool other = value && ((b > ' ' && b < 0x7F && !std::strchr("-?:,[]{}#&*!|>'\"%@`", c)) ||
                           (b >= 0x80 && !atSpecial(at_)));
    if (isWordChar(c) || c == '=' || other) {
      ++at_;
      return true;
    }
    bool sign = c == '-' || c == '.' || c == '+' || c == '/';
    if (!sign || at_ + 1 >= n_ || !isWordChar(s_[at_ + 1])) return false;
    at_ += 2;
    return true;
  }

  // A text in quotes on one line.
  bool quoted() {
    const char quote = s_[at_];
    const size_t start = at_++;
    const size_t first = at_;
    std::string unescaped;  // used only when the text has escapes
    bool escaped = false;
    while (true) {
      if (at_ >= n_) return false;
      char c = s_[at_];
      auto b = static_cast<unsigned char>(c);
      if (b < ' ' || b == 0x7F || atSpecial(at_)) return false;  // a line break, a tab
      if (c == quote) {
        if (quote == '\'' && at_ + 1 < n_ && s_[at_ + 1] == '\'') {
          if (!escaped) unescaped.assign(s_ + first, at_ - first);
          escaped = true;
          unescaped += '\'';
          at_ += 2;
          continue;
        }
        break;
      }
      if (quote == '"' && c == '\\') {
        char e = at_ + 1 < n_ ? s_[at_ + 1] : 0;
        char value = e == '"' || e == '\\' || e == '/' ? e
                     : e == 'n'                        ? '\n'
                     : e == 't'                        ? '\t'
                     : e == 'r'                        ? '\r'
                                                       : 0;
        if (!value) return false;
        if (!escaped) unescaped.assign(s_ + first, at_ - first);
        escaped = true;
        unescaped += value;
        at_ += 2;
        continue;
      }
      if (escaped) unescaped += c;
      ++at_;
    }
    const size_t last = at_++;
    UIyamlStyle style = quote == '"' ? UIyamlStyle::DoubleQuoted : UIyamlStyle::SingleQuoted;
    if (escaped)
      return b_->scalar(markOf(start), unescaped.data(), unescaped.size(), style, false, false,
                        &error_);
    return b_->scalar(markOf(start), s_ + first, last - first, style, false, false, &error_);
  }

  // "[item, item]" or "{key: value, key: value}" on one line, maybe empty, no trailing comma;
  // items and values are words, quoted texts or flow collections.
  bool flowCollection(int depth) {
    const bool mapping = s_[at_] == '{';
    const char end = mapping ? '}' : ']';
    if (depth == kMaxFlowDepth || !b_->open(mapping ? UIyamlKind::Mapping : UIyamlKind::Sequence,
                                            UIyamlStyle::Flow, here(), false, &error_))
      return false;
    ++at_;
    skipSpaces();
    if (at_ < n_ && s_[at_] == end) {
      ++at_;
      b_->close();
      return true;
    }
    while (true) {
      skipSpaces();
      if (mapping && !name(true)) return false;
      skipSpaces();
      if (!flowNode(depth)) return false;
      skipSpaces();
      if (at_ >= n_) return false;
      if (s_[at_] == end) break;
      if (s_[at_] != ',') return false;
      ++at_;
      skipSpaces();
      if (at_ < n_ && s_[at_] == end) return false;  // a trailing comma
    }
    ++at_;
    b_->close();
    return true;
  }

  bool flowNode(int depth) {
    if (at_ >= n_) return false;
    char c = s_[at_];
    if (c == '{' || c == '[') return flowCollection(depth + 1);
    if (c == '"' || c == '\'') return quoted();
    return word(true);
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
