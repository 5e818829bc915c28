// The interface-file loader: objects are built in an inert staging group, links are resolved
// once everything exists, and only a file without problems is moved to the instance place.
#include "interface_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <yaml-cpp/yaml.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>

#include "om/om_registry.h"
#include "om/om_text.h"
#include "svc/err.h"
#include "svc/number.h"

const char* const kUIsourceKeys[4] = {"x", "y", "width", "height"};

std::string UIloadError::text() const {
  return file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + message;
}

namespace {

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

// Cheap checks that keep the YAML parser away from text it should not see.
std::string screenText(const std::string& text) {
  if (text.size() > kUIMaxFileBytes) return "the text is too large";
  if (text.find('\0') != std::string::npos) return "not a text file (it holds NUL bytes)";
  int depth = 0;
  size_t indent = 0;
  bool lineStart = true;
  for (char c : text) {
    if (c == '\n') {
      lineStart = true;
      indent = 0;
      continue;
    }
    if (lineStart && c == ' ') {
      if (++indent > 4 * kUIMaxNesting * 2) return "the file nests too deeply";
      continue;
    }
    lineStart = false;
    if (c == '[' || c == '{') {
      if (++depth > 2 * kUIMaxNesting) return "the file nests too deeply";
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return "";
}

struct PendingLink {
  OMobj_id prop;
  OMobj_id scope;
  std::string text;  // after "=>"
  YAML::Mark mark;
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
    // Aliases are refused: a node reached through several of them would be walked once per
    // path to it, and a few nested levels make a small file cost hours.
    YAML::Mark alias;
    if (OMfind_yaml_alias(text, &alias.line, &alias.column))
      return error(origin, alias, "aliases ('*name') are not accepted: write the value out");
    YAML::Node doc;
    try {
      doc = YAML::Load(text);
    } catch (const YAML::Exception& e) {
      // yaml-cpp reports some failures (too deep, for one) without a place.
      return error(origin, e.mark, e.msg.empty() ? "not valid YAML" : "not valid YAML: " + e.msg);
    }
    if (!doc || doc.IsNull()) return fileError(origin, "the file is empty");
    if (!doc.IsMap()) return error(origin, doc.Mark(), "a file is a mapping of objects");
    if (!checkDuplicates(doc, origin, 0)) return;
    if (const YAML::Node inc = doc["include"]) includes(inc, origin, includeDepth);
    for (auto it = doc.begin(); it != doc.end(); ++it) {
      const std::string& name = it->first.Scalar();
      if (name == "include") continue;
      if (tooMany()) return;
      if (!it->second.IsMap() || !it->second["type"]) {
        error(origin, it->first.Mark(), "top-level '" + name + "' must be an object with a type");
        continue;
      }
      // One name, one object: the same name in a file and its includes is refused.
      auto first = topNames_.emplace(
          name, UIloadError{origin, it->first.Mark().line + 1, it->first.Mark().column + 1, ""});
      if (!first.second) {
        const UIloadError& was = first.first->second;
        error(origin, it->first.Mark(),
              "'" + name + "' is defined twice: here and at " + was.file + ":" +
                  std::to_string(was.line) + ":" + std::to_string(was.column));
        continue;
      }
      OMobj_id made = makeObject(name, it->first, it->second, staging(), origin, 1);
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
        YAML::Mark at = link.mark;
        if (at.column >= 0) at.column += 2 + offset;  // past "=>"
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

  void error(const std::string& file, const YAML::Mark& mark, const std::string& message) {
    UIloadError e;
    e.file = file;
    e.line = mark.line >= 0 ? mark.line + 1 : 0;
    e.column = mark.column >= 0 ? mark.column + 1 : 0;
    e.message = message;
    result_->errors.push_back(e);
  }
  void fileError(const std::string& file, const std::string& message) {
    result_->errors.push_back({file, 0, 0, message});
  }

  // yaml-cpp keeps duplicate keys silently; every mapping is checked here.
  bool checkDuplicates(const YAML::Node& node, const std::string& file, int depth) {
    if (depth > 4 * kUIMaxNesting) {
      error(file, node.Mark(), "the file nests too deeply");
      return false;
    }
    bool ok = true;
    if (node.IsMap()) {
      std::set<std::string> seen;
      for (auto it = node.begin(); it != node.end(); ++it) {
        if (!it->first.IsScalar()) {
          error(file, it->first.Mark(), "keys must be plain names");
          ok = false;
          continue;
        }
        if (!seen.insert(it->first.Scalar()).second) {
          error(file, it->first.Mark(), "duplicate key '" + it->first.Scalar() + "'");
          ok = false;
        }
        ok = checkDuplicates(it->second, file, depth + 1) && ok;
      }
    } else if (node.IsSequence()) {
      for (const YAML::Node& item : node) ok = checkDuplicates(item, file, depth + 1) && ok;
    }
    return ok;
  }

  void includes(const YAML::Node& inc, const std::string& origin, int depth) {
    if (depth >= kUIMaxIncludeDepth) return error(origin, inc.Mark(), "includes nest too deeply");
    std::vector<YAML::Node> items;
    if (inc.IsSequence())
      for (const YAML::Node& n : inc) items.push_back(n);
    else
      items.push_back(inc);
    namespace fs = std::filesystem;
    fs::path base = fs::path(origin).parent_path();
    for (const YAML::Node& n : items) {
      if (!n.IsScalar()) {
        error(origin, n.Mark(), "an include names a file");
        continue;
      }
      fs::path file = fs::path(n.Scalar()).is_absolute() ? fs::path(n.Scalar()) : base / n.Scalar();
      std::error_code ec;
      std::string key = fs::weakly_canonical(file, ec).string();
      if (open_.count(key)) {
        error(origin, n.Mark(), "'" + n.Scalar() + "' includes itself");
        continue;
      }
      // Each file is read once: a list naming one large file many times would otherwise
      // read it as often.
      if (!read_.insert(key).second) {
        error(origin, n.Mark(), "'" + n.Scalar() + "' is included already");
        continue;
      }
      std::string text, why;
      result_->files.push_back(file.string());
      if (!readFile(file.string(), &text, &why)) {
        error(origin, n.Mark(), "cannot include '" + n.Scalar() + "': " + why);
        continue;
      }
      bytesRead_ += text.size();
      if (bytesRead_ > kUIMaxTotalBytes) {
        error(origin, n.Mark(),
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

  OMobj_id makeObject(const std::string& name, const YAML::Node& key, const YAML::Node& body,
                      OMobj_id parent, const std::string& file, int depth) {
    if (tooMany()) return OMnull_obj;
    if (depth > kUIMaxNesting) {
      error(file, key.Mark(), "objects nest too deeply");
      return OMnull_obj;
    }
    if (name.empty() || name.find_first_of(".[]# ") != std::string::npos) {
      error(file, key.Mark(), "bad object name '" + name + "'");
      return OMnull_obj;
    }
    const YAML::Node type = body["type"];
    if (!type.IsScalar()) {
      error(file, type.Mark(), "'type' names a template");
      return OMnull_obj;
    }
    OMobj_id obj = OMcreate_obj_from_path(type.Scalar().c_str(), name.c_str(), parent);
    if (!obj.serial) {
      error(file, type.Mark(), "unknown type '" + type.Scalar() + "'");
      return OMnull_obj;
    }
    result_->types[obj.serial] = type.Scalar();
    bool parentSet = false;
    // Arrays given without their count ("stringdims" of "strings", "dims" of "cmdList").
    std::set<std::string> keys;
    std::vector<std::pair<std::string, int>> counts;
    for (auto it = body.begin(); it != body.end(); ++it) {
      const std::string& k = it->first.Scalar();
      if (k == "type") continue;
      if (k == "parent") parentSet = true;
      keys.insert(k);
      if ((k == "strings" || k == "cmdList") && it->second.IsSequence())
        counts.emplace_back(k == "strings" ? "stringdims" : "dims",
                            static_cast<int>(it->second.size()));
      YAML::Node v = it->second;  // a copy: the iterator hands out a temporary
      if (v.IsMap() && v["type"]) {
        if (OMfind_subobj(obj, OMstr_to_name(k.c_str()), 0).serial)
          error(file, it->first.Mark(),
                "'" + k + "' is a property of " + type.Scalar() + ", not a child object");
        else
          makeObject(k, it->first, v, obj, file, depth + 1);
        continue;
      }
      setProperty(obj, obj, k, it->first, v, type.Scalar(), file, depth);
    }
    // The count is set once, from the array as the file gives it (not linked to its size).
    for (const auto& [countKey, n] : counts) {
      OMobj_id count = OMfind_subobj(obj, OMstr_to_name(countKey.c_str()), 0);
      if (!keys.count(countKey) && count.serial && OMget_obj_kind(count) == OM_KIND_INT)
        OMset_int_val(count, n);
    }
    recordSource(obj, key, body, file);
    // A child gets "parent" linked to the object that encloses it, unless the file says.
    OMobj_id parentProp = OMfind_subobj(obj, OMstr_to_name("parent"), 0);
    if (!parentSet && parentProp.serial && parent.serial != staging_.serial)
      OMset_obj_ref(parentProp, parent, 0);
    return obj;
  }

  // Where the object's placement keys stand, for the layout editor's save.
  void recordSource(OMobj_id obj, const YAML::Node& key, const YAML::Node& body,
                    const std::string& file) {
    UIobjectSource src;
    src.object = obj;
    src.file = file;
    src.flow = body.Style() == YAML::EmitterStyle::Flow;
    // An alias hands out the anchored node, whose mark lies before the key that names it.
    src.shared = body.Mark().pos < key.Mark().pos;
    src.bodyPos = static_cast<size_t>(body.Mark().pos);
    bool first = true;
    for (auto it = body.begin(); it != body.end(); ++it) {
      if (first) {
        src.firstKeyPos = static_cast<size_t>(it->first.Mark().pos);
        src.indent = it->first.Mark().column;
        first = false;
      }
      for (int k = 0; k < 4; ++k) {
        if (it->first.Scalar() != kUIsourceKeys[k] || !it->second.IsScalar()) continue;
        UIsourceKey& sk = src.keys[k];
        const YAML::Mark m = it->second.Mark();
        sk.present = true;
        sk.pos = static_cast<size_t>(m.pos);
        sk.line = m.line + 1;
        sk.column = m.column + 1;
        if (m.pos < it->first.Mark().pos) {
          // An alias: its own place, just after the key, rather than the anchor's.
          sk.line = it->first.Mark().line + 1;
          sk.column = it->first.Mark().column + static_cast<int>(it->first.Scalar().size()) + 3;
        }
        sk.text = it->second.Scalar();
        sk.link = sk.text.rfind("=>", 0) == 0;
        sk.shared = m.pos < it->first.Mark().pos || src.shared;
      }
    }
    result_->sources.push_back(src);
  }

  void setProperty(OMobj_id owner, OMobj_id holder, const std::string& k, const YAML::Node& key,
                   const YAML::Node& v, const std::string& typeName, const std::string& file,
                   int depth) {
    OMobj_id prop = OMfind_subobj(holder, OMstr_to_name(k.c_str()), 0);
    if (!prop.serial) {
      error(file, key.Mark(), "unknown property '" + k + "' of " + typeName);
      return;
    }
    int kind = OMget_obj_kind(prop);
    if (v.IsMap()) {
      if (kind != OM_KIND_GROUP) {
        error(file, v.Mark(), "'" + k + "' is not a group");
        return;
      }
      if (depth > kUIMaxNesting) return error(file, key.Mark(), "groups nest too deeply");
      for (auto it = v.begin(); it != v.end(); ++it)
        setProperty(owner, prop, it->first.Scalar(), it->first, it->second, k, file, depth + 1);
      return;
    }
    if (v.IsSequence()) return setArray(owner, prop, kind, k, v, file);
    if (!v.IsScalar()) return error(file, v.Mark(), "'" + k + "' needs a value");
    const std::string& text = v.Scalar();
    if (text.rfind("=>", 0) == 0) {
      links_.push_back({prop, owner, text.substr(2), v.Mark(), file, false});
      return;
    }
    if (!setScalar(prop, kind, text))
      error(file, v.Mark(), "bad value '" + text + "' for '" + k + "' (" + kindName(kind) + ")");
  }

  void setArray(OMobj_id owner, OMobj_id prop, int kind, const std::string& k, const YAML::Node& v,
                const std::string& file) {
    if (kind == OM_KIND_OBJ_ARRAY) {
      for (const YAML::Node& item : v) {
        std::string text = item.IsScalar() ? item.Scalar() : "";
        if (text.rfind("=>", 0) == 0) text = text.substr(2);
        if (text.empty()) {
          error(file, item.Mark(), "an element of '" + k + "' is a path of an object");
          continue;
        }
        links_.push_back({prop, owner, text, item.Mark(), file, true});
      }
      return;
    }
    if (kind != OM_KIND_INT_ARRAY && kind != OM_KIND_REAL_ARRAY && kind != OM_KIND_STR_ARRAY)
      return error(file, v.Mark(), "'" + k + "' is not an array");
    OMset_array_size(prop, 0);
    int index = 0;
    for (const YAML::Node& item : v) {
      bool ok = item.IsScalar();
      if (ok && kind == OM_KIND_STR_ARRAY) {
        ok = OMset_str_array_val(prop, index, item.Scalar().c_str()) == 1;
      } else if (ok) {
        double d = 0;
        int i = 0;
        ok = kind == OM_KIND_INT_ARRAY ? parseInt(item.Scalar(), &i) : parseReal(item.Scalar(), &d);
        if (ok) ok = OMset_real_array_val(prop, index, kind == OM_KIND_INT_ARRAY ? i : d) == 1;
      }
      if (!ok) error(file, item.Mark(), "bad element of '" + k + "' (" + kindName(kind) + ")");
      ++index;
    }
  }

  static bool parseInt(const std::string& text, int* out) {
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end || errno || v < INT32_MIN || v > INT32_MAX) return false;
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
