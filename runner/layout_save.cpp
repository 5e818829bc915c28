// Writing the layout editor's edits back into the interface files.
#include "layout_save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unordered_map>

#include "ui/layout.h"

namespace {

std::string place(const UIobjectSource& src, const UIsourceKey& k) {
  return src.file + ":" + std::to_string(k.line) + ":" + std::to_string(k.column) + ": ";
}

bool plainInt(const std::string& s, int* v) {
  if (s.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long n = std::strtol(s.c_str(), &end, 10);
  if (*end || errno || n < INT32_MIN || n > INT32_MAX) return false;
  *v = static_cast<int>(n);
  return true;
}

bool readWhole(const std::string& path, std::string* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  *out = s.str();
  return true;
}

std::string objectName(OMobj_id id) {
  char buf[1024];
  if (OMret_obj_path_to(id, OMroot_obj, buf, sizeof buf) != 1) return "?";
  return buf;
}

}  // namespace

bool UIreplaceFile(const std::string& path, const std::string& text, std::string* why) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path real = fs::canonical(path, ec);  // a symbolic link stays; its target is written
  if (ec) {
    *why = "cannot find it: " + ec.message();
    return false;
  }
  struct stat st {};
  if (::stat(real.c_str(), &st) != 0 || ::access(real.c_str(), W_OK) != 0) {
    *why = "cannot write it";
    return false;
  }
  // A file nobody may write is left alone even by a user the system would let write it.
  if ((st.st_mode & 0222) == 0) {
    *why = "is read-only";
    return false;
  }
  std::string temp = real.string() + ".XXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  int fd = ::mkstemp(name.data());
  if (fd < 0) {
    *why = std::string("cannot write beside it: ") + std::strerror(errno);
    return false;
  }
  bool ok = ::fchmod(fd, st.st_mode & 07777) == 0;
  size_t done = 0;
  while (ok && done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(name.data(), real.c_str()) == 0;
  if (!ok) {
    *why = std::string("cannot write it: ") + std::strerror(errno);
    ::unlink(name.data());
  }
  return ok;
}

std::string UIapplyFileEdits(const std::string& text, const std::vector<UIfileEdit>& edits) {
  std::vector<size_t> order(edits.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  // From the end backwards, so earlier positions stay valid; at one position the later edit
  // goes in first and the earlier one lands before it.
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return edits[a].pos != edits[b].pos ? edits[a].pos > edits[b].pos : a > b;
  });
  std::string out = text;
  for (size_t i : order) {
    const UIfileEdit& e = edits[i];
    if (e.pos > out.size() || e.pos + e.length > out.size()) continue;
    out.replace(e.pos, e.length, e.text);
  }
  return out;
}

bool UIplanKeyEdit(const std::string& text, const UIobjectSource& src, int k, int value,
                   std::vector<UIfileEdit>* edits, std::string* note) {
  const char* key = kUIsourceKeys[k];
  const UIsourceKey& sk = src.keys[k];
  std::string number = std::to_string(value);
  if (src.shared) {
    *note = src.file + ": " + key + " of an object reached through an alias; not saved";
    return false;
  }
  if (sk.present) {
    if (sk.link) {
      *note = place(src, sk) + key + " is a link; not saved";
      return false;
    }
    // An anchor before the value ("x: &a 13") shares it with its aliases.
    size_t colon = text.rfind(':', sk.pos);
    bool anchored = (sk.pos < text.size() && (text[sk.pos] == '&' || text[sk.pos] == '*')) ||
                    (colon != std::string::npos &&
                     text.substr(colon, sk.pos - colon).find('&') != std::string::npos);
    if (sk.shared || anchored) {
      *note = place(src, sk) + key + " is shared through an alias or anchor; not saved";
      return false;
    }
    int now = 0;
    if (plainInt(sk.text, &now) && now == value) return true;
    size_t pos = sk.pos, length = sk.text.size();
    if (pos < text.size() && (text[pos] == '"' || text[pos] == '\'')) {
      size_t end = text.find(text[pos], pos + 1);
      if (end == std::string::npos) {
        *note = place(src, sk) + key + " cannot be found; not saved";
        return false;
      }
      ++pos;
      length = end - pos;
    }
    if (text.compare(pos, length, sk.text) != 0) {
      *note = place(src, sk) + key + " cannot be found; not saved";
      return false;
    }
    edits->push_back({pos, length, number});
    return true;
  }
  if (src.flow) {
    if (src.bodyPos >= text.size() || text[src.bodyPos] != '{') {
      *note = src.file + ": " + key + " cannot be added; not saved";
      return false;
    }
    edits->push_back({src.bodyPos + 1, 0, std::string(key) + ": " + number + ", "});
    return true;
  }
  // A block mapping: a new line at the keys' indentation, before the first key.
  size_t lineStart = src.firstKeyPos - static_cast<size_t>(src.indent);
  if (src.firstKeyPos > text.size() || src.firstKeyPos < static_cast<size_t>(src.indent) ||
      text.find_first_not_of(' ', lineStart) != src.firstKeyPos ||
      (lineStart > 0 && text[lineStart - 1] != '\n')) {
    *note = src.file + ": " + key + " cannot be added; not saved";
    return false;
  }
  edits->push_back(
      {lineStart, 0,
       std::string(static_cast<size_t>(src.indent), ' ') + key + ": " + number + "\n"});
  return true;
}

UIlayoutSaver::UIlayoutSaver(const UIloadResult& loaded) : sources_(loaded.sources) {
  for (const auto& [path, text] : loaded.texts) files_.push_back({path, text, text});
}

std::vector<std::string> UIlayoutSaver::plan(std::string* notes) {
  std::vector<UIlayoutGeometryEdit> geometry;
  std::vector<UIlayoutStructureEdit> structure;
  UIlayoutNetEdits(&geometry, &structure);
  std::unordered_map<uint32_t, const UIobjectSource*> bySerial;
  for (const UIobjectSource& s : sources_) bySerial[s.object.serial] = &s;
  std::vector<std::vector<UIfileEdit>> edits(files_.size());
  for (const UIlayoutGeometryEdit& g : geometry) {
    auto it = bySerial.find(g.object.serial);
    if (it == bySerial.end()) {
      *notes += objectName(g.object) + ": " + g.key +
                " of an object made at run time or by a template; not saved\n";
      continue;
    }
    const UIobjectSource& src = *it->second;
    size_t f = 0;
    while (f < files_.size() && files_[f].path != src.file) ++f;
    int k = 0;
    while (k < 4 && std::strcmp(kUIsourceKeys[k], g.key) != 0) ++k;
    if (f == files_.size() || k == 4) continue;
    std::string note;
    if (!UIplanKeyEdit(files_[f].original, src, k, g.value, &edits[f], &note))
      *notes += note + "\n";
  }
  for (const UIlayoutStructureEdit& s : structure)
    *notes += (s.what == std::string("deleted") ? objectName(s.object) + "." + s.name
                                                : objectName(s.object)) +
              ": " + s.what + "; not saved\n";
  std::vector<std::string> texts;
  for (size_t f = 0; f < files_.size(); ++f)
    texts.push_back(UIapplyFileEdits(files_[f].original, edits[f]));
  return texts;
}

bool UIlayoutSaver::dirty() {
  std::string notes;
  std::vector<std::string> texts = plan(&notes);
  for (size_t f = 0; f < files_.size(); ++f)
    if (texts[f] != files_[f].current) return true;
  return false;
}

int UIlayoutSaver::save(std::string* notes) {
  std::vector<std::string> texts = plan(notes);
  int status = 0;
  for (size_t f = 0; f < files_.size(); ++f) {
    File& file = files_[f];
    if (texts[f] == file.current) continue;
    std::string onDisk, why;
    if (!readWhole(file.path, &onDisk)) {
      *notes += file.path + ": cannot be read; not saved\n";
      status = 1;
      continue;
    }
    if (onDisk != file.current) {
      *notes += file.path + ": changed on disk since it was loaded; not saved\n";
      status = 1;
      continue;
    }
    if (!UIreplaceFile(file.path, texts[f], &why)) {
      *notes += file.path + (why.rfind("is ", 0) == 0 ? " " : ": ") + why + "; not saved\n";
      status = 1;
      continue;
    }
    file.current = texts[f];
    *notes += "saved " + file.path + "\n";
  }
  return status;
}
