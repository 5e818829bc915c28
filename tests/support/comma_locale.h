// A comma-decimal locale for tests: de_DE.UTF-8 made with localedef into a temporary folder
// that LOCPATH names, so it needs no locale installed on the machine (only the locale
// sources of the "locales" package).
#pragma once

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace uitest {

// Makes the locale once per process and points LOCPATH at it; the name to give setlocale,
// or "" when it could not be made or does not use a decimal comma.
inline std::string commaLocale() {
  static std::string name = [] {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("comma_locale_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    // The folder goes at exit (the process has its files mapped until then).
    static struct Remove {
      fs::path path;
      ~Remove() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
      }
    } remove{dir};
    std::string command =
        "localedef -i de_DE -f UTF-8 '" + (dir / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return std::string();
    setenv("LOCPATH", dir.c_str(), 1);
    std::string saved = std::setlocale(LC_ALL, nullptr);
    bool comma = std::setlocale(LC_ALL, "de_DE.UTF-8") &&
                 std::string(std::localeconv()->decimal_point) == ",";
    std::setlocale(LC_ALL, saved.c_str());
    return comma ? std::string("de_DE.UTF-8") : std::string();
  }();
  return name;
}

// Runs the process in the comma locale while it lives (LC_ALL), then back in the one before.
class InCommaLocale {
 public:
  InCommaLocale() : saved_(std::setlocale(LC_ALL, nullptr)) {
    name_ = commaLocale();
    if (!name_.empty()) ok_ = std::setlocale(LC_ALL, name_.c_str()) != nullptr;
  }
  ~InCommaLocale() { std::setlocale(LC_ALL, saved_.c_str()); }
  InCommaLocale(const InCommaLocale&) = delete;
  InCommaLocale& operator=(const InCommaLocale&) = delete;
  bool ok() const { return ok_; }

 private:
  std::string saved_;
  std::string name_;
  bool ok_ = false;
};

}  // namespace uitest
