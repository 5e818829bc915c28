// libFuzzer target: any display name is turned into a "host:display.screen" key, never a crash
// or a read past its end; the key always ends in a screen number. Nothing is opened.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ui/dpyMgr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string name(reinterpret_cast<const char*>(data), size);
  UtString key = UIdpyContext::cnvtDisplayName(name.c_str());
  std::string k = key.c_str() ? key.c_str() : "";
  if (name.c_str()[0] == '\0') {
    if (!k.empty()) std::abort();
    return 0;
  }
  size_t dot = k.rfind('.');
  size_t colon = k.rfind(':');
  if (colon == std::string::npos || dot == std::string::npos || dot < colon || dot + 1 >= k.size())
    std::abort();
  for (size_t i = dot + 1; i < k.size(); ++i)
    if (!std::isdigit(static_cast<unsigned char>(k[i]))) std::abort();
  return 0;
}
