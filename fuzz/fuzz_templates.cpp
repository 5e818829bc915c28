// libFuzzer target: any bytes given to the template reader give errors or templates, never a
// crash, a hang or a leak.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "om/om_registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<OMtemplate_error> errors;
  OMload_templates(text, "fuzz.yaml", &errors);
  return 0;
}
