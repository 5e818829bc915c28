// The interface-file loader: objects are built in an inert staging group, links are resolved
// once everything exists, and only a file without problems is moved to the instance place.
#include "interface_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>

#include "om/om_registry.h"
#include "om/om_text.h"
#include "svc/err.h"
#include "svc/number.h"
#include "yaml_tree.h"

const char* const kUIsourceKeys[4] = {"x", "y", "width", "height"};

std::string UIloadError::text() const {
  return file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + message;
}

namespace {

// Whether a value links its property ("=> path") instead of setting it. Asked of every value
// of a file: inline, where a string's rfind from 0 was a call and a comparison's call each.
bool isLink(std::string_view text) {
  return text.size() >= 2 && text[0] == '=' && text[1] == '>';
}

// Reads a regular file whole, through one descriptor, never blocking on a FIFO or device.
bool readFile(const std::string& path, std::string* out, std::string* why) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *why = std::string("cannot open the file: ") + std::strerror(errno);
    return false;
  }
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0;
  if (ok && !S_ISREG(st.st_mode)) {
    *why = "not a regular file";
    ok = false;
  } else if (ok && static_cast<size_t>(st.st_size) > kUIMaxFileBytes) {
    *why = "the file is too large (" + std::to_string(st.st_size) + " bytes; the limit is " +
           std::to_string(kUIMaxFileBytes) + ")";
    ok = false;
  }
  if (ok) {
    out->resize(static_cast<size_t>(st.st_size));
    size_t got = 0;
    while (got < out->size()) {
      ssize_t n = ::read(fd, &(*out)[got], out->size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    out->resize(got);
  }
  ::close(fd);
  return ok;
}

// The deepest a line may be indented, and flow collections nested, before the parser sees it.
constexpr size_t kMaxIndent = 4 * kUIMaxNesting * 2;
constexpr int kMaxBrackets = 2 * kUIMaxNesting;

// Whether '[' and '{' nest deeper than kMaxBrackets anywhere (closings count wherever they are,
// quoted or not, as the parser's own limit would be reached through them). strcspn skips the
// stretches between brackets, where a loop over every character spent most of the check's
// time; the text holds no NUL (checked before), so it ends only at the text's end.
bool bracketsTooDeep(const std::string& text) {
  int depth = 0;
  for (const char* p = text.c_str(); *(p += std::strcspn(p, "[]{}")); ++p) {
    if (*p == '[' || *p == '{') {
      if (++depth > kMaxBrackets) return true;
    } else if (depth > 0) {
      --depth;
    }
  }
  return false;
}

// Whether a line starts with more than kMaxIndent blanks.
bool indentedTooDeep(const std::string& text) {
  static const std::string deepLine = "\n" + std::string(kMaxIndent + 1, ' ');
  return text.compare(0, kMaxIndent + 1, deepLine, 1, std::string::npos) == 0 ||
         text.find(deepLine) != std::string::npos;
}

// Cheap checks that keep the YAML parser away from text it should not see.
std::string screenText(const std::string& text) {
  if (text.size() > kUIMaxFileBytes) return "the text is too large";
  if (text.find('\0') != std::string::npos) return "not a text file (it holds NUL bytes)";
  // (After the NUL check: the checks below read the text as one C string.)
  if (indentedTooDeep(text) || bracketsTooDeep(text)) return "the file nests too deeply";
  return "";
}

struct PendingLink {
  OMobj_id prop;
  OMobj_id scope;
  std::string text;  // after "=>"
  UIyamlMark mark;
  std::string file;
  bool arrayElement = false;
};

class Loader {
 public:
  Loader(UIloadResult* result, std::string origin)
      : result_(result), firstFile_(std::move(origin)), firstLive_(OMget_live_objects()) {}

  void loadText(const std::string& text, const std::string& origin, int includeDepth) {
    std::string problem = screenText(text);
    if (!problem.empty()) return fileError(origin, problem);
    UIyamlDocument doc;
    UIyamlError why;
    UIyamlLimits limits;
    limits.maxDepth = 4 * kUIMaxNesting;
    limits.maxScalarBytes = kUIMaxFileBytes;
    if (!doc.parse(text, limits, &why)) {
      std::string message;
      switch (why.code) {
        // Aliases are refused: a node reached through several of them would be walked once
        // per path to it, and a few nested levels make a small file cost hours.
        case UIyamlError::Alias:
          message = "aliases ('*name') are not accepted: write the value out";
          break;
        case UIyamlError::TooDeep:
          message = "the file nests too deeply";
          break;
        case UIyamlError::Syntax:
          message = "not valid YAML: " + why.message;
          break;
        default:
          message = why.message;
      }
      if (!why.placed) return fileError(origin, message);
      return error(origin, why.mark, message);
    }
    const UIyamlNode* root = doc.root();
    if (!root || root->isNull()) return fileError(origin, "the file is empty");
    if (!root->isMapping()) return error(origin, root->mark(), "a file is a mapping of objects");
    if (!checkKeys(*root, origin)) return;
    if (const UIyamlNode* inc = root->find("include")) includes(*inc, origin, includeDepth);
    for (size_t i = 0; i < root->size(); ++i) {
      const UIyamlNode& key = root->key(i);
      const UIyamlNode& body = root->value(i);
      std::string name(key.text());
      if (name == "include") continue;
      if (tooMany()) return;
      if (!body.isMapping() || !body.find("type")) {
        error(origin, key.mark(), "top-level '" + name + "' must be an object with a type");
        continue;
      }
      // One name, one object: the same name in a file and its includes is refused.
      auto first = topNames_.emplace(
          name, UIloadError{origin, key.mark().line + 1, key.mark().column + 1, ""});
      if (!first.second) {
        const UIloadError& was = first.first->second;
        error(origin, key.mark(),
              "'" + name + "' is defined twice: here and at " + was.file + ":" +
                  std::to_string(was.line) + ":" + std::to_string(was.column));
        continue;
      }
      OMobj_id made = makeObject(name, key, body, staging(), origin, 1);
      if (made.serial) topLevel_.push_back(made);
    }
  }

  // True (reported once) when the files have made more objects than a file may.
  bool tooMany() {
    if (OMget_live_objects() - firstLive_ <= kUIMaxObjects) return false;
    if (!tooManyReported_)
      fileError(firstFile_, "the file makes too many objects (more than " +
                                std::to_string(kUIMaxObjects) + ")");
    tooManyReported_ = true;
    return true;
  }

  void loadFile(const std::string& path, int includeDepth) {
    std::string text, why;
    result_->files.push_back(path);
    if (!readFile(path, &text, &why)) return fileError(path, why);
    // The file itself is open too: including it is a cycle, not a second reading.
    std::error_code ec;
    std::string key = std::filesystem::weakly_canonical(path, ec).string();
    open_.insert(key);
    read_.insert(key);
    bytesRead_ += text.size();
    result_->texts.emplace_back(path, text);
    loadText(text, path, includeDepth);
    open_.erase(key);
  }

  // Links are resolved once every object of every file exists.
  void resolveLinks() {
    for (const PendingLink& link : links_) {
      std::string why;
      int offset = 0;
      OMobj_id prop = link.prop;
      if (link.arrayElement) {
        OMobj_id target = OMresolve_path(link.scope, link.text.c_str());
        if (!target.serial) {
          error(link.file, link.mark, "'" + trim(link.text) + "' names nothing");
        } else if (!OMset_array_val(prop, OM_ARRAY_APPEND, target, 0)) {
          error(link.file, link.mark, "cannot refer to '" + trim(link.text) + "'");
        }
        continue;
      }
      if (!OMset_expression(prop, link.scope, link.text.c_str(), &why, &offset)) {
        UIyamlMark at = link.mark;
        at.column += 2 + offset;  // past "=>"
        error(link.file, at, "bad link: " + why);
      } else {
        result_->links[prop.serial] = trim(link.text);
      }
    }
  }

  // Moves the checked objects to their place and instances them in one context.
  void commit(OMobj_id parent) {
    for (OMobj_id id : topLevel_) {
      OMobj_name name = 0;
      OMget_obj_name(id, &name);
      if (OMfind_subobj(parent, name, 0).serial)
        return fileError(
            "", std::string("an object named '") + OMname_to_str(name) + "' exists already");
    }
    OMpush_ctx(parent, 0, 0, 0);
    for (OMobj_id id : topLevel_) OMmove_obj(id, parent);
    OMpop_ctx(parent);
    result_->objects = topLevel_;
  }

  void discard() {
    if (staging_.serial) OMdestroy_obj(staging_, 0);
    staging_ = OMnull_obj;
  }

  bool ok() const { return result_->errors.empty(); }

 private:
  static std::string trim(std::string s) {
    while (!s.empty() && s.front() == ' ') s.erase(0, 1);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
  }

  OMobj_id staging() {
    if (!staging_.serial) staging_ = OMcreate_obj(0, OM_KIND_GROUP, OMroot_obj, OMnull_obj, 0);
    return staging_;
  }

  void error(const std::string& file, const UIyamlMark& mark, const std::string& message) {
    UIloadError e;
    e.file = file;
    e.line = mark.line + 1;
    e.column = mark.column + 1;
    e.message = message;
    result_->errors.push_back(e);
  }
  void fileError(const std::string& file, const std::string& message) {
    result_->errors.push_back({file, 0, 0, message});
  }

  // The parser keeps duplicate keys; every mapping is checked here, before anything is made,
  // so that the rest of the loader can take every key for a name. The tree's depth is bounded
  // when it is read.
  bool checkKeys(const UIyamlNode& node, const std::string& file) {
    bool ok = true;
    if (node.isMapping()) {
      // An object's few keys are compared with those before them; a long mapping's (a window's
      // objects) are sorted once.
      constexpr size_t kFew = 24;
      std::vector<bool> repeated;
      if (node.size() > kFew) repeated = repeatedKeys(node);
      auto seenBefore = [&](size_t i, std::string_view text) {
        if (!repeated.empty()) return static_cast<bool>(repeated[i]);
        for (size_t j = 0; j < i; ++j)
          if (node.key(j).isScalar() && node.key(j).text() == text) return true;
        return false;
      };
      for (size_t i = 0; i < node.size(); ++i) {
        const UIyamlNode& key = node.key(i);
        if (!key.isScalar()) {
          error(file, key.mark(), "keys must be plain names");
          ok = false;
          continue;
        }
        if (seenBefore(i, key.text())) {
          error(file, key.mark(), "duplicate key '" + std::string(key.text()) + "'");
          ok = false;
        }
        const UIyamlNode& value = node.value(i);
        if (value.isMapping() || value.isSequence()) ok = checkKeys(value, file) && ok;
      }
    } else if (node.isSequence()) {
      for (size_t i = 0; i < node.size(); ++i) {
        const UIyamlNode& item = node.item(i);
        if (item.isMapping() || item.isSequence()) ok = checkKeys(item, file) && ok;
      }
    }
    return ok;
  }

  // For each key of a long mapping, whether a scalar key before it has its text: the keys sorted
  // once by text and place, each after the first of its text is a repeat.
  static std::vector<bool> repeatedKeys(const UIyamlNode& node) {
    std::vector<std::pair<std::string_view, size_t>> keys;
    keys.reserve(node.size());
    for (size_t i = 0; i < node.size(); ++i)
      if (node.key(i).isScalar()) keys.emplace_back(node.key(i).text(), i);
    std::sort(keys.begin(), keys.end());
    std::vector<bool> repeated(node.size(), false);
    for (size_t k = 1; k < keys.size(); ++k)
      if (keys[k].first == keys[k - 1].first) repeated[keys[k].second] = true;
    return repeated;
  }

  void includes(const UIyamlNode& inc, const std::string& origin, int depth) {
    if (depth >= kUIMaxIncludeDepth) return error(origin, inc.mark(), "includes nest too deeply");
    std::vector<const UIyamlNode*> items;
    if (inc.isSequence())
      for (size_t i = 0; i < inc.size(); ++i) items.push_back(&inc.item(i));
    else
      items.push_back(&inc);
    namespace fs = std::filesystem;
    fs::path base = fs::path(origin).parent_path();
    for (const UIyamlNode* node : items) {
      const UIyamlNode& n = *node;
      if (!n.isScalar()) {
        error(origin, n.mark(), "an include names a file");
        continue;
      }
      const std::string named(n.text());
      fs::path file = fs::path(named).is_absolute() ? fs::path(named) : base / named;
      std::error_code ec;
      std::string key = fs::weakly_canonical(file, ec).string();
      if (open_.count(key)) {
        error(origin, n.mark(), "'" + named + "' includes itself");
        continue;
      }
      // Each file is read once: a list naming one large file many times would otherwise
      // read it as often.
      if (!read_.insert(key).second) {
        error(origin, n.mark(), "'" + named + "' is included already");
        continue;
      }
      std::string text, why;
      result_->files.push_back(file.string());
      if (!readFile(file.string(), &text, &why)) {
        error(origin, n.mark(), "cannot include '" + named + "': " + why);
        continue;
      }
      bytesRead_ += text.size();
      if (bytesRead_ > kUIMaxTotalBytes) {
        error(origin, n.mark(),
              "the included files are too large together (more than " +
                  std::to_string(kUIMaxTotalBytes) + " bytes)");
        return;
      }
      open_.insert(key);
      result_->texts.emplace_back(file.string(), text);
      loadText(text, file.string(), depth + 1);
      open_.erase(key);
    }
  }

  // A value that describes an object of its own: a mapping with a type.
  static bool isChildObject(const UIyamlNode& v) { return v.isMapping() && v.find("type"); }

  OMobj_id makeObject(const std::string& name, const UIyamlNode& key, const UIyamlNode& body,
                      OMobj_id parent, const std::string& file, int depth) {
    if (tooMany()) return OMnull_obj;
    if (depth > kUIMaxNesting) {
      error(file, key.mark(), "objects nest too deeply");
      return OMnull_obj;
    }
    if (name.empty() || name.find_first_of(".[]# ") != std::string::npos) {
      error(file, key.mark(), "bad object name '" + name + "'");
      return OMnull_obj;
    }
    const UIyamlNode& type = *body.find("type");
    if (!type.isScalar()) {
      error(file, type.mark(), "'type' names a template");
      return OMnull_obj;
    }
    const std::string typeName(type.text());
    OMobj_id obj = OMcreate_obj_from_path(typeName.c_str(), name.c_str(), parent);
    if (!obj.serial) {
      error(file, type.mark(), "unknown type '" + typeName + "'");
      return OMnull_obj;
    }
    // Serials grow as objects are made: each goes at the end.
    result_->types.emplace_hint(result_->types.end(), obj.serial, typeName);
    // The keys whose values are child objects, each with whether it names a property of the
    // type (refused). Asked before any child is made: the new object is then as its template
    // made it and answers from the template's shape, where with children added each lookup
    // searched the grown object (about 900 instructions each in a window of 200 controls).
    std::vector<std::pair<size_t, bool>> children;
    for (size_t i = 0; i < body.size(); ++i) {
      if (!isChildObject(body.value(i)) || body.key(i).text() == "type") continue;
      const std::string member(body.key(i).text());
      children.emplace_back(i, OMfind_subobj(obj, OMstr_to_name(member.c_str()), 0).serial);
    }
    auto child = children.begin();
    bool parentSet = false;
    // Arrays given without their count ("stringdims" of "strings", "dims" of "cmdList").
    std::vector<std::pair<std::string, int>> counts;
    for (size_t i = 0; i < body.size(); ++i) {
      const UIyamlNode& keyNode = body.key(i);
      const UIyamlNode& v = body.value(i);
      const std::string_view k = keyNode.text();
      if (k == "type") continue;
      if (k == "parent") parentSet = true;
      if ((k == "strings" || k == "cmdList") && v.isSequence())
        counts.emplace_back(k == "strings" ? "stringdims" : "dims", static_cast<int>(v.size()));
      const std::string member(k);
      if (child != children.end() && child->first == i) {
        if ((child++)->second)
          error(file, keyNode.mark(),
                "'" + member + "' is a property of " + typeName + ", not a child object");
        else
          makeObject(member, keyNode, v, obj, file, depth + 1);
        continue;
      }
      setProperty(obj, obj, member, keyNode, v, typeName, file, depth);
    }
    // The count is set once, from the array as the file gives it (not linked to its size).
    for (const auto& [countKey, n] : counts) {
      OMobj_id count = OMfind_subobj(obj, OMstr_to_name(countKey.c_str()), 0);
      if (!body.find(countKey) && count.serial && OMget_obj_kind(count) == OM_KIND_INT)
        OMset_int_val(count, n);
    }
    recordSource(obj, body, file);
    // A child gets "parent" linked to the object that encloses it, unless the file says.
    OMobj_id parentProp = OMfind_subobj(obj, OMstr_to_name("parent"), 0);
    if (!parentSet && parentProp.serial && parent.serial != staging_.serial)
      OMset_obj_ref(parentProp, parent, 0);
    return obj;
  }

  // Where the object's placement keys stand, for the layout editor's save. Aliases are
  // refused, so no mapping or value is reached through one; an anchored value is shared.
  void recordSource(OMobj_id obj, const UIyamlNode& body, const std::string& file) {
    UIobjectSource& src = result_->sources.emplace_back();
    src.object = obj;
    src.file = file;
    src.flow = body.flow();
    src.bodyPos = body.mark().pos;
    for (size_t i = 0; i < body.size(); ++i) {
      const UIyamlNode& key = body.key(i);
      const UIyamlNode& v = body.value(i);
      if (i == 0) {
        src.firstKeyPos = key.mark().pos;
        src.indent = key.mark().column;
      }
      for (int k = 0; k < 4; ++k) {
        if (key.text() != kUIsourceKeys[k] || !v.isScalar()) continue;
        UIsourceKey& sk = src.keys[k];
        sk.present = true;
        sk.pos = v.mark().pos;
        sk.line = v.mark().line + 1;
        sk.column = v.mark().column + 1;
        sk.text = v.text();
        sk.link = isLink(sk.text);
        sk.shared = v.anchored();
      }
    }
  }

  void setProperty(OMobj_id owner, OMobj_id holder, const std::string& k, const UIyamlNode& key,
                   const UIyamlNode& v, const std::string& typeName, const std::string& file,
                   int depth) {
    OMobj_id prop = OMfind_subobj(holder, nameOf(k), 0);
    if (!prop.serial) {
      error(file, key.mark(), "unknown property '" + k + "' of " + typeName);
      return;
    }
    int kind = OMget_obj_kind(prop);
    if (v.isMapping()) {
      if (kind != OM_KIND_GROUP) {
        error(file, v.mark(), "'" + k + "' is not a group");
        return;
      }
      if (depth > kUIMaxNesting) return error(file, key.mark(), "groups nest too deeply");
      for (size_t i = 0; i < v.size(); ++i)
        setProperty(owner, prop, std::string(v.key(i).text()), v.key(i), v.value(i), k, file,
                    depth + 1);
      return;
    }
    if (v.isSequence()) return setArray(owner, prop, kind, k, v, file);
    if (!v.isScalar()) return error(file, v.mark(), "'" + k + "' needs a value");
    const std::string text(v.text());
    if (isLink(text)) {
      links_.push_back({prop, owner, text.substr(2), v.mark(), file, false});
      return;
    }
    if (!setScalar(prop, kind, text))
      error(file, v.mark(), "bad value '" + text + "' for '" + k + "' (" + kindName(kind) + ")");
  }

  void setArray(OMobj_id owner, OMobj_id prop, int kind, const std::string& k, const UIyamlNode& v,
                const std::string& file) {
    if (kind == OM_KIND_OBJ_ARRAY) {
      for (size_t i = 0; i < v.size(); ++i) {
        const UIyamlNode& item = v.item(i);
        std::string text = item.isScalar() ? std::string(item.text()) : "";
        if (isLink(text)) text = text.substr(2);
        if (text.empty()) {
          error(file, item.mark(), "an element of '" + k + "' is a path of an object");
          continue;
        }
        links_.push_back({prop, owner, text, item.mark(), file, true});
      }
      return;
    }
    if (kind != OM_KIND_INT_ARRAY && kind != OM_KIND_REAL_ARRAY && kind != OM_KIND_STR_ARRAY)
      return error(file, v.mark(), "'" + k + "' is not an array");
    OMset_array_size(prop, 0);
    for (size_t index = 0; index < v.size(); ++index) {
      const UIyamlNode& item = v.item(index);
      bool ok = item.isScalar();
      const std::string text(item.text());
      const int at = static_cast<int>(index);
      if (ok && kind == OM_KIND_STR_ARRAY) {
        ok = OMset_str_array_val(prop, at, text.c_str()) == 1;
      } else if (ok) {
        double d = 0;
        int i = 0;
        ok = kind == OM_KIND_INT_ARRAY ? parseInt(text, &i) : parseReal(text, &d);
        if (ok) ok = OMset_real_array_val(prop, at, kind == OM_KIND_INT_ARRAY ? i : d) == 1;
      }
      if (!ok) error(file, item.mark(), "bad element of '" + k + "' (" + kindName(kind) + ")");
    }
  }

  static bool parseInt(const std::string& text, int* out) {
    // Digits with an optional '-' (what files hold) are read without strtoll's locale and
    // errno; anything else ('+', blanks before the number) as strtoll reads it.
    long long v = 0;
    const char* last = text.data() + text.size();
    auto [end, ec] = std::from_chars(text.data(), last, v);
    if (ec == std::errc::result_out_of_range) return false;
    if (ec != std::errc() || end != last) {
      errno = 0;
      char* stop = nullptr;
      v = std::strtoll(text.c_str(), &stop, 10);
      if (text.empty() || *stop || errno) return false;
    }
    if (v < INT32_MIN || v > INT32_MAX) return false;
    *out = static_cast<int>(v);
    return true;
  }
  static bool parseReal(const std::string& text, double* out) {
    char* end = nullptr;
    double v = NUMstrtod(text.c_str(), &end);
    if (text.empty() || *end) return false;
    *out = v;
    return true;
  }

  static bool setScalar(OMobj_id prop, int kind, const std::string& text) {
    switch (kind) {
      case OM_KIND_INT: {
        int i = 0;
        return parseInt(text, &i) && OMset_int_val(prop, i) == 1;
      }
      case OM_KIND_REAL: {
        double d = 0;
        return parseReal(text, &d) && OMset_real_val(prop, d) == 1;
      }
      case OM_KIND_STRING:
        return OMset_str_val(prop, text.c_str()) == 1;
      default:
        return false;
    }
  }

  static std::string kindName(int kind) {
    switch (kind) {
      case OM_KIND_INT:
        return "an int";
      case OM_KIND_REAL:
        return "a real";
      case OM_KIND_STRING:
        return "a string";
      case OM_KIND_REF:
        return "a link: '=> path'";
      case OM_KIND_GROUP:
        return "a group";
      case OM_KIND_INT_ARRAY:
        return "ints";
      case OM_KIND_REAL_ARRAY:
        return "reals";
      case OM_KIND_STR_ARRAY:
        return "strings";
      case OM_KIND_OBJ_ARRAY:
        return "object paths";
      default:
        return "not set from a file";
    }
  }

  // The token of a property's name. A file names the same few properties over and over ("x",
  // "width", "visible"): remembered here by text, where the object manager's own memory of
  // names is by address and misses for a key read into a buffer.
  OMobj_name nameOf(const std::string& text) {
    size_t h = text.size() * 31 + (text.empty() ? 0 : text.front() * 7u + text.back());
    KnownName& known = names_[h % kKnownNames];
    if (!known.token || known.text != text) known = {text, OMstr_to_name(text.c_str())};
    return known.token;
  }
  struct KnownName {
    std::string text;
    OMobj_name token = 0;
  };
  static constexpr size_t kKnownNames = 64;
  KnownName names_[kKnownNames];

  UIloadResult* result_;
  OMobj_id staging_ = OMnull_obj;
  std::vector<OMobj_id> topLevel_;
  std::vector<PendingLink> links_;
  std::set<std::string> open_;  // files being read (include cycles)
  std::set<std::string> read_;  // files read so far
  size_t bytesRead_ = 0;
  std::map<std::string, UIloadError> topNames_;  // top-level names and where each was defined
  std::string firstFile_;                        // the file asked for (named in file errors)
  unsigned firstLive_;                           // objects alive before loading
  bool tooManyReported_ = false;
};

UIloadResult load(const std::string* text, const std::string& origin, OMobj_id parent) {
  OMinit();
  UIloadResult result;
  if (!parent.serial) OMget_array_subobj(OMinst_obj, 0, &parent, 0);
  Loader loader(&result, origin);
  // Problems are reported with their place; the object manager's own reports would repeat them.
  ++ERRerror_squashed;
  // Made in one context: the objects are not instanced yet, so what their writes would notify
  // is found once per batch of writes instead of once per property.
  OMpush_ctx(parent, 0, 0, 0);
  if (text)
    loader.loadText(*text, origin, 0);
  else
    loader.loadFile(origin, 0);
  loader.resolveLinks();
  OMpop_ctx(parent);
  --ERRerror_squashed;
  if (loader.ok()) loader.commit(parent);
  loader.discard();
  result.ok = result.errors.empty();
  if (!result.ok) {
    result.objects.clear();
    result.types.clear();
    result.links.clear();  // the files stay: they are what to watch for a mended file
  }
  return result;
}

}  // namespace

UIloadResult UIloadInterfaceFile(const std::string& path, OMobj_id parent) {
  return load(nullptr, path, parent);
}

UIloadResult UIloadInterfaceText(const std::string& text, const std::string& origin,
                                 OMobj_id parent) {
  return load(&text, origin, parent);
}
