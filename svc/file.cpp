// Files: search on a path, tests, extensions and path variables.
#include "svc/file.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool isReadableFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), R_OK) == 0;
}

bool isDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Where this library was loaded from, with the installed data folder beside it
// (lib/../share/corvane-ui): that folder when it holds the kit, else empty.
std::string installedDataDir() {
#ifdef UI_DATA_FROM_LIBDIR
  Dl_info info{};
  if (!::dladdr(reinterpret_cast<void*>(&FILEdata_dir), &info) || !info.dli_fname) return {};
  std::string lib = info.dli_fname;
  size_t slash = lib.rfind('/');
  if (slash == std::string::npos) return {};
  std::string data = lib.substr(0, slash) + "/" + UI_DATA_FROM_LIBDIR;
  if (!isDirectory(data + "/kit")) return {};
  char resolved[PATH_MAX];
  return ::realpath(data.c_str(), resolved) ? std::string(resolved) : data;
#else
  return {};
#endif
}

}  // namespace

const char* FILEdata_dir() {
  // Found once: the library does not move while it is loaded.
  static const std::string dir = [] {
    std::string installed = installedDataDir();
    return installed.empty() ? std::string(UI_PROJECT_ROOT) : installed;
  }();
  return dir.c_str();
}

char* FILEfind(const char* name, const char* path, int maxLength, int, int, int) {
  if (!name || !*name) return nullptr;
  size_t limit = static_cast<size_t>(maxLength >= 32 ? maxLength : FILE_MAX_PATH);
  if (limit < FILE_MAX_PATH) limit = FILE_MAX_PATH;
  if (name[0] == '/') return isReadableFile(name) ? strdup(name) : nullptr;
  // A relative name with a folder part that exists from here is taken as given first.
  if (std::strchr(name, '/') && isReadableFile(name)) return strdup(name);
  const char* at = path ? path : "";
  while (true) {
    const char* end = std::strchr(at, ':');
    std::string folder(at, end ? static_cast<size_t>(end - at) : std::strlen(at));
    if (!folder.empty()) {
      std::string candidate = folder + (folder.back() == '/' ? "" : "/") + name;
      if (candidate.size() < limit && isReadableFile(candidate)) return strdup(candidate.c_str());
    }
    if (!end) break;
    at = end + 1;
  }
  return nullptr;
}

int FILEexists(const char* path, int mode, int) {
  if (!path || !*path) return 0;
  struct stat st {};
  if (::stat(path, &st) != 0) return 0;
  switch (mode) {
    case FILE_EXISTS:
      return 1;
    case FILE_WRITABLE_FILE:
      return S_ISREG(st.st_mode) && ::access(path, W_OK) == 0;
    case FILE_DIRECTORY:
      return S_ISDIR(st.st_mode) ? 1 : 0;
    case FILE_WRITABLE_DIR:
      return S_ISDIR(st.st_mode) && ::access(path, W_OK | X_OK) == 0;
    default:
      return 0;
  }
}

const char* FILEget_file_extension(const char* name) {
  if (!name) return nullptr;
  const char* base = std::strrchr(name, '/');
  base = base ? base + 1 : name;
  const char* dot = std::strrchr(base, '.');
  return dot && dot != base && dot[1] ? dot : nullptr;
}

const char* FILEget_variable(const char* name) {
  if (!name) return nullptr;
  const char* value = std::getenv(name);
  if (value && *value) return value;
  if (std::strcmp(name, "KLT_PATH") == 0) return FILEdata_dir();
  return value;
}

const char* FILEruntime_dir() {
  static std::string dir;
  char buffer[FILE_MAX_PATH];
  dir = std::string(FILEmap_variables("$KLT_PATH<0>", buffer)) + "/runtime";
  return dir.c_str();
}

char* FILEmap_variables(const char* text, char* buffer) {
  if (!text || !buffer) return nullptr;
  std::string out;
  for (const char* p = text; *p;) {
    if (*p != '$') {
      out += *p++;
      continue;
    }
    if (p[1] == '$') {
      out += '$';
      p += 2;
      continue;
    }
    const char* start = p + 1;
    const char* end = start;
    while (std::isalnum(static_cast<unsigned char>(*end)) || *end == '_') ++end;
    if (end == start) {
      out += *p++;  // a lone '$' stays
      continue;
    }
    std::string name(start, end);
    const char* value = FILEget_variable(name.c_str());
    std::string expansion = value ? value : "";
    p = end;
    if (*p == '<') {
      const char* close = std::strchr(p, '>');
      char* digitsEnd = nullptr;
      long index = std::strtol(p + 1, &digitsEnd, 10);
      if (close && digitsEnd == close && digitsEnd != p + 1 && index >= 0) {
        // The index-th folder of a colon-separated value.
        size_t from = 0;
        for (long i = 0; i < index && from != std::string::npos; ++i) {
          from = expansion.find(':', from);
          if (from != std::string::npos) ++from;
        }
        if (from == std::string::npos) {
          expansion.clear();
        } else {
          size_t to = expansion.find(':', from);
          expansion =
              expansion.substr(from, to == std::string::npos ? std::string::npos : to - from);
        }
        p = close + 1;
      }
    }
    out += expansion;
    if (out.size() >= FILE_MAX_PATH) break;
  }
  size_t n = std::min(out.size(), static_cast<size_t>(FILE_MAX_PATH - 1));
  std::memcpy(buffer, out.data(), n);
  buffer[n] = '\0';
  return buffer;
}
