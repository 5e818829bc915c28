// Translated texts: a built-in English table, overridable from files.
#include "svc/translate.h"

#include <cstring>
#include <deque>
#include <fstream>
#include <string>
#include <unordered_map>

namespace {

struct Text {
  const char* key;
  const char* text;
};

constexpr Text kEnglish[] = {
    {"UI_OK", "OK"},
    {"UI_CANCEL", "Cancel"},
    {"UI_HELP", "Help"},
    {"UI_YES", "Yes"},
    {"UI_NO", "No"},
    {"UI_APPLY", "Apply"},
    {"UI_PROMPT", "Enter a value:"},
    {"UI_FILTER", "Filter"},
    {"UI_FILES", "Files"},
    {"UI_SELECTION", "Selection"},
    {"UI_DIRECTORIES", "Directories"},
    {"ERR_OUT_OF_MEMORY_TITLE", "Out of Memory"},
    {"ERR_OUT_OF_MEMORY_EXIT", "Exit"},
    {"ERR_OUT_OF_MEMORY_RETRY", "Retry"},
    {"ERR_OUT_OF_MEMORY_MSG",
     "Free some memory (close other programs or windows) and press Retry, or press Exit to "
     "end the program."},
};

struct Loaded {
  std::deque<std::string> storage;  // texts handed out stay where they are
  std::unordered_map<std::string, const char*> texts;
};

Loaded& loaded() {
  static Loaded* l = new Loaded;
  return *l;
}

}  // namespace

const char* TMget_translation(const char* key, int) {
  if (!key) return "";
  auto it = loaded().texts.find(key);
  if (it != loaded().texts.end()) return it->second;
  for (const Text& t : kEnglish)
    if (std::strcmp(t.key, key) == 0) return t.text;
  return key;
}

int TMload_translations(const char* path) {
  if (!path) return -1;
  std::ifstream in(path);
  if (!in) return -1;
  int count = 0;
  std::string line;
  std::unordered_map<std::string, std::string> read;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0) continue;
    std::string text = line.substr(eq + 1);
    for (size_t at = text.find("\\n"); at != std::string::npos; at = text.find("\\n", at + 1))
      text.replace(at, 2, "\n");
    read[line.substr(0, eq)] = text;
    ++count;
  }
  Loaded& l = loaded();
  for (auto& [key, text] : read) {
    l.storage.push_back(text);
    l.texts[key] = l.storage.back().c_str();
  }
  return count;
}

void TMclear_translations() {
  loaded().texts.clear();
  loaded().storage.clear();
}
