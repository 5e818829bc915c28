// libFuzzer target: any translations file is read into "KEY=text" entries or refused, never a
// crash; every key read gives back a text. Each input starts from the built-in table. The
// reader takes a path, so each input is written to a file of this process first.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "svc/translate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/fuzz_translations." + std::to_string(getpid());
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  TMclear_translations();
  int count = TMload_translations(path.c_str());
  if (count < 0) std::abort();  // the file is there and readable
  // Every line's key looks up to something that is not null.
  std::string text(reinterpret_cast<const char*>(data), size);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? end : end - start);
    size_t eq = line.find('=');
    if (eq != std::string::npos && eq > 0 &&
        TMget_translation(line.substr(0, eq).c_str(), 0) == nullptr)
      std::abort();
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (std::string(TMget_translation("UI_OK", 0)).empty() &&
      text.find("UI_OK=") == std::string::npos)
    std::abort();  // a built-in text survives a load that does not replace it
  std::remove(path.c_str());
  return 0;
}
