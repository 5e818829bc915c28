// The YAML tree: libyaml's event parser, or the reader of the plain form (yaml_plain_form.cpp),
// feeds a builder that keeps a flat list of nodes; the children of each collection are gathered
// on a stack and stored side by side once the collection ends.
#include "yaml_tree.h"

#include "yaml_build.h"

#include <yaml.h>

#include <cstring>

namespace {

// Private-use code points standing in for single bytes that the parser would refuse (bytes
// that are not UTF-8, control characters): U+F700 + byte. The text's own characters in this
// range are passed the same way, byte by byte, so that every such code point in a value can
// be turned back into its byte.
constexpr uint32_t kByteBase = 0xF700;

// The length of the UTF-8 character at p when the parser accepts it as it is, else 0.
size_t acceptedChar(const unsigned char* p, size_t n) {
  unsigned char b = p[0];
  if (b < 0x80) return (b >= 0x20 && b != 0x7F) || b == '\n' || b == '\t' || b == '\r' ? 1 : 0;
  size_t len = 0;
  uint32_t cp = 0;
  if (b >= 0xC2 && b <= 0xDF) {
    len = 2;
    cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    len = 3;
    cp = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    len = 4;
    cp = b & 0x07;
  } else {
    return 0;
  }
  if (n < len) return 0;
  for (size_t i = 1; i < len; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (p[i] & 0x3F);
  }
  bool shortest = (len == 3 && cp >= 0x800) || (len == 4 && cp >= 0x10000) || len == 2;
  bool allowed = cp == 0x85 || (cp >= 0xA0 && cp <= 0xD7FF) || (cp >= 0xE000 && cp <= 0xFFFD) ||
                 (cp >= 0x10000 && cp <= 0x10FFFF);
  bool ours = cp >= kByteBase && cp <= kByteBase + 0xFF;
  return shortest && allowed && !ours ? len : 0;
}

// The text with every refused byte written as its stand-in.
std::string withStandIns(const unsigned char* p, size_t n) {
  std::string out;
  out.reserve(n + n / 4);
  for (size_t i = 0; i < n;) {
    size_t len = acceptedChar(p + i, n - i);
    if (len) {
      out.append(reinterpret_cast<const char*>(p + i), len);
      i += len;
      continue;
    }
    uint32_t cp = kByteBase + p[i++];
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

// A value read from a text with stand-ins, with each stand-in turned back into its byte.
void appendRestoringBytes(std::string* out, const char* s, size_t n) {
  const auto* p = reinterpret_cast<const unsigned char*>(s);
  for (size_t i = 0; i < n;) {
    if (i + 2 < n && p[i] == 0xEF && p[i + 1] >= 0x9C && p[i + 1] <= 0x9F) {
      uint32_t cp = 0xF000 | ((p[i + 1] & 0x3Fu) << 6) | (p[i + 2] & 0x3Fu);
      *out += static_cast<char>(cp - kByteBase);
      i += 3;
    } else {
      *out += s[i++];
    }
  }
}

// Turns the parser's places (counted in characters) into byte places in the original text.
// The parser's places only move forward, so two cursors walk the text once in all.
class Places {
 public:
  Places(const unsigned char* p, size_t n, size_t base, bool ascii)
      : p_(p), n_(n), base_(base), ascii_(ascii) {}

  UIyamlMark at(const yaml_mark_t& m) {
    if (ascii_) return {base_ + m.index, static_cast<int>(m.line), static_cast<int>(m.column)};
    size_t pos = walk(&at_, m.index);
    size_t lineStart = walk(&lineStart_, m.index - m.column);
    return {base_ + pos, static_cast<int>(m.line), static_cast<int>(pos - lineStart)};
  }

  // The place of the next token from `m` on: blanks, line breaks and comments skipped.
  UIyamlMark nextToken(UIyamlMark m) const {
    size_t i = m.pos - base_;
    bool blank = false;  // a '#' after a blank starts a comment
    while (i < n_) {
      unsigned char c = p_[i];
      if (c == '\n') {
        ++m.line;
        m.column = 0;
      } else if (c == '#' && blank) {
        while (i + 1 < n_ && p_[i + 1] != '\n') {
          ++i;
          ++m.column;
        }
        ++m.column;
      } else if (c == ' ' || c == '\t' || c == '\r') {
        ++m.column;
      } else {
        break;
      }
      blank = c != '#';
      ++i;
    }
    m.pos = base_ + i;
    return m;
  }

  // A byte offset into the text the parser read, when that is the original.
  UIyamlMark atOffset(size_t offset) const {
    UIyamlMark m;
    m.pos = base_ + offset;
    for (size_t i = 0; i < offset && i < n_; ++i) {
      if (p_[i] == '\n') {
        ++m.line;
        m.column = 0;
      } else {
        ++m.column;
      }
    }
    return m;
  }

 private:
  struct Cursor {
    size_t chars = 0;
    size_t bytes = 0;
  };
  // A refused byte is one character to the parser: its stand-in.
  size_t walk(Cursor* c, size_t chars) {
    if (chars < c->chars) *c = Cursor{};
    while (c->chars < chars && c->bytes < n_) {
      size_t len = acceptedChar(p_ + c->bytes, n_ - c->bytes);
      c->bytes += len ? len : 1;
      ++c->chars;
    }
    return c->bytes;
  }
  const unsigned char* p_;
  size_t n_;
  size_t base_;
  bool ascii_;
  Cursor at_, lineStart_;
};

struct Parser {
  yaml_parser_t parser;
  bool ready = false;
  Parser() { ready = yaml_parser_initialize(&parser) != 0; }
  ~Parser() {
    if (ready) yaml_parser_delete(&parser);
  }
};

struct Event {
  yaml_event_t event;
  bool held = false;
  ~Event() { release(); }
  void release() {
    if (held) yaml_event_delete(&event);
    held = false;
  }
};

UIyamlStyle scalarStyle(yaml_scalar_style_t style) {
  switch (style) {
    case YAML_SINGLE_QUOTED_SCALAR_STYLE:
      return UIyamlStyle::SingleQuoted;
    case YAML_DOUBLE_QUOTED_SCALAR_STYLE:
      return UIyamlStyle::DoubleQuoted;
    case YAML_LITERAL_SCALAR_STYLE:
      return UIyamlStyle::Literal;
    case YAML_FOLDED_SCALAR_STYLE:
      return UIyamlStyle::Folded;
    default:
      return UIyamlStyle::Plain;
  }
}

bool isNullWord(const char* s, size_t n) {
  std::string_view v(s, n);
  return v.empty() || v == "~" || v == "null" || v == "Null" || v == "NULL";
}

}  // namespace

bool UIyamlBuilder::fits(size_t n, const UIyamlMark& mark, UIyamlError* error) const {
  if (n <= limits_.maxScalarBytes) return true;
  error->code = UIyamlError::TooLarge;
  error->message = "a value is too long (" + std::to_string(n) + " bytes; the limit is " +
                   std::to_string(limits_.maxScalarBytes) + ")";
  error->placed = true;
  error->mark = mark;
  return false;
}

bool UIyamlBuilder::scalar(const UIyamlMark& mark, const char* value, size_t n, UIyamlStyle style,
                           bool anchored, bool tagged, UIyamlError* error) {
  if (!fits(n, mark, error)) return false;
  UIyamlNode node;
  node.style_ = style;
  node.anchored_ = anchored;
  node.kind_ = style == UIyamlStyle::Plain && !tagged && isNullWord(value, n) ? UIyamlKind::Null
                                                                              : UIyamlKind::Scalar;
  node.mark_ = mark;
  node.at_ = doc_->text_.size();
  node.size_ = n;
  if (!add(node, false, error)) return false;
  doc_->text_.append(value, n);
  return true;
}

bool UIyamlBuilder::scalarRestoringBytes(const UIyamlMark& mark, const char* value, size_t n,
                                         UIyamlStyle style, bool anchored, bool tagged,
                                         UIyamlError* error) {
  if (!fits(n, mark, error)) return false;
  std::string restored;
  appendRestoringBytes(&restored, value, n);
  return scalar(mark, restored.data(), restored.size(), style, anchored, tagged, error);
}

bool UIyamlBuilder::open(UIyamlKind kind, UIyamlStyle style, const UIyamlMark& mark, bool anchored,
                         UIyamlError* error) {
  UIyamlNode node;
  node.kind_ = kind;
  node.style_ = style;
  node.anchored_ = anchored;
  node.mark_ = mark;
  return add(node, true, error);
}

bool UIyamlBuilder::add(UIyamlNode node, bool opens, UIyamlError* error) {
  auto refuse = [&](UIyamlError::Code code, std::string message) {
    error->code = code;
    error->message = std::move(message);
    error->placed = true;
    error->mark = node.mark_;
    return false;
  };
  if (doc_->nodes_.size() >= limits_.maxNodes)
    return refuse(UIyamlError::TooLarge, "the text holds too many values (more than " +
                                             std::to_string(limits_.maxNodes) + ")");
  if (open_.size() > static_cast<size_t>(limits_.maxDepth))
    return refuse(UIyamlError::TooDeep, "the text nests too deeply");
  auto index = static_cast<uint32_t>(doc_->nodes_.size());
  doc_->nodes_.push_back(node);
  if (open_.empty())
    root_ = index;
  else
    pending_.push_back(index);
  if (opens) open_.push_back({index, pending_.size()});
  return true;
}

void UIyamlBuilder::close() {
  Open o = open_.back();
  open_.pop_back();
  doc_->nodes_[o.node].at_ = links_.size();
  doc_->nodes_[o.node].size_ = pending_.size() - o.pending;
  links_.insert(links_.end(), pending_.begin() + static_cast<std::ptrdiff_t>(o.pending),
                pending_.end());
  pending_.resize(o.pending);
}

void UIyamlBuilder::finish() {
  if (root_ == kNone) return;  // no document
  auto& items = doc_->items_;
  items.reserve(links_.size());
  for (uint32_t i : links_) items.push_back(&doc_->nodes_[i]);
  for (UIyamlNode& node : doc_->nodes_) {
    size_t at = node.at_;
    if (node.kind_ == UIyamlKind::Mapping || node.kind_ == UIyamlKind::Sequence)
      node.items_ = items.data() + at;
    else
      node.text_ = doc_->text_.data() + at;
  }
  doc_->root_ = &doc_->nodes_[root_];
}

const UIyamlNode* UIyamlNode::find(std::string_view name) const {
  if (kind_ != UIyamlKind::Mapping) return nullptr;
  for (size_t i = 0; i < size(); ++i)
    if (key(i).isScalar() && key(i).text() == name) return &value(i);
  return nullptr;
}

void UIyamlDocument::clear() {
  nodes_.clear();
  items_.clear();
  text_.clear();
  root_ = nullptr;
}

bool UIyamlDocument::parse(std::string_view text, const UIyamlLimits& limits, UIyamlError* error,
                           Reader reader) {
  clear();
  *error = UIyamlError{};
  size_t base = text.size() >= 3 && std::memcmp(text.data(), "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data()) + base;
  const size_t n = text.size() - base;

  bool ascii = true, refused = false, carriageReturn = false;
  for (size_t i = 0; i < n;) {
    // Runs of printable ASCII, the bulk of any file, in a tight loop.
    while (i < n && p[i] >= 0x20 && p[i] < 0x7F) ++i;
    if (i >= n) break;
    if (p[i] < 0x80) {
      if (!acceptedChar(p + i, 1)) refused = true;
      carriageReturn |= p[i] == '\r';
      ++i;
      continue;
    }
    ascii = false;
    size_t len = acceptedChar(p + i, n - i);
    if (!len) refused = true;
    i += len ? len : 1;
  }
  // The plain reader knows one line break, '\n' (libyaml also ends a line, a comment
  // included, at '\r'), and reads valid UTF-8 only.
  if (reader == Reader::Fastest && !refused && !carriageReturn) {
    UIyamlBuilder builder(this, limits);
    if (UIreadPlainYaml(std::string_view(reinterpret_cast<const char*>(p), n), base, &builder)) {
      builder.finish();
      return true;
    }
    clear();
  }
  return parseWithLibrary(p, n, base, ascii, refused, limits, error);
}

bool UIyamlDocument::parseWithLibrary(const unsigned char* p, size_t n, size_t base, bool ascii,
                                      bool refused, const UIyamlLimits& limits,
                                      UIyamlError* error) {
  std::string standIns;
  if (refused) standIns = withStandIns(p, n);
  Places places(p, n, base, ascii);

  auto fail = [&](UIyamlError::Code code, std::string message, const UIyamlMark* at) {
    clear();
    error->code = code;
    error->message = std::move(message);
    error->placed = at != nullptr;
    if (at) error->mark = *at;
    return false;
  };

  Parser parser;
  if (!parser.ready) return fail(UIyamlError::TooLarge, "out of memory", nullptr);
  yaml_parser_set_encoding(&parser.parser, YAML_UTF8_ENCODING);
  if (refused)
    yaml_parser_set_input_string(
        &parser.parser, reinterpret_cast<const unsigned char*>(standIns.data()), standIns.size());
  else
    yaml_parser_set_input_string(&parser.parser, p, n);

  UIyamlBuilder builder(this, limits);
  Event ev;
  for (bool done = false; !done; ev.release()) {
    if (!yaml_parser_parse(&parser.parser, &ev.event)) {
      const yaml_parser_t& y = parser.parser;
      std::string problem = y.problem ? y.problem : "unreadable text";
      if (y.error == YAML_MEMORY_ERROR)
        return fail(UIyamlError::TooLarge, "out of memory", nullptr);
      if (y.error == YAML_READER_ERROR) {
        if (refused) return fail(UIyamlError::Syntax, problem, nullptr);
        UIyamlMark at = places.atOffset(y.problem_offset);
        return fail(UIyamlError::Syntax, problem, &at);
      }
      UIyamlMark at = places.at(y.problem_mark);
      return fail(UIyamlError::Syntax, problem, &at);
    }
    ev.held = true;
    const yaml_event_t& e = ev.event;
    // Only nodes and aliases are placed: the places of the others need not come in text order.
    auto mark = [&] { return places.at(e.start_mark); };
    bool added = true;
    switch (e.type) {
      case YAML_STREAM_START_EVENT:
      case YAML_DOCUMENT_START_EVENT:
        break;
      case YAML_NO_EVENT:
      case YAML_STREAM_END_EVENT:
      case YAML_DOCUMENT_END_EVENT:
        done = true;
        break;
      case YAML_ALIAS_EVENT: {
        UIyamlMark at = mark();
        return fail(UIyamlError::Alias, "aliases are not accepted", &at);
      }
      case YAML_MAPPING_END_EVENT:
      case YAML_SEQUENCE_END_EVENT:
        builder.close();
        break;
      case YAML_SCALAR_EVENT: {
        const auto& s = e.data.scalar;
        // In a block collection the parser places an empty value (nothing after "key:" or
        // "-") just after its indicator; it is placed where the next token starts, as in a
        // flow collection, so that both kinds report it alike.
        bool implied =
            s.length == 0 && !s.anchor && !s.tag && e.start_mark.index == e.end_mark.index;
        UIyamlMark at = mark();
        if (implied && !builder.inFlow()) at = places.nextToken(at);
        const char* value = reinterpret_cast<const char*>(s.value);
        UIyamlStyle style = scalarStyle(s.style);
        bool anchored = s.anchor != nullptr, tagged = s.tag != nullptr;
        added = refused ? builder.scalarRestoringBytes(at, value, s.length, style, anchored, tagged,
                                                       error)
                        : builder.scalar(at, value, s.length, style, anchored, tagged, error);
        break;
      }
      case YAML_MAPPING_START_EVENT:
        added =
            builder.open(UIyamlKind::Mapping,
                         e.data.mapping_start.style == YAML_FLOW_MAPPING_STYLE ? UIyamlStyle::Flow
                                                                               : UIyamlStyle::Block,
                         mark(), e.data.mapping_start.anchor != nullptr, error);
        break;
      case YAML_SEQUENCE_START_EVENT:
        added = builder.open(UIyamlKind::Sequence,
                             e.data.sequence_start.style == YAML_FLOW_SEQUENCE_STYLE
                                 ? UIyamlStyle::Flow
                                 : UIyamlStyle::Block,
                             mark(), e.data.sequence_start.anchor != nullptr, error);
        break;
    }
    if (!added) {
      clear();
      return false;
    }
  }
  builder.finish();
  return true;
}
