// libFuzzer target: any bytes given to the interface-file loader give errors or objects,
// never a crash, a hang or a leak.
#include <cstddef>
#include <cstdint>
#include <string>

#include "interface_file.h"
#include "om/om_registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = [] {
    OMload_templates(
        "templates:\n  Panel:\n    properties:\n      parent: ref\n      width: int\n"
        "      title: string\n      color: { kind: group, members: { fg: string } }\n"
        "      items: obj[]\n",
        "fuzz", nullptr);
    return true;
  }();
  (void)ready;
  std::string text(reinterpret_cast<const char*>(data), size);
  UIloadResult r = UIloadInterfaceText(text, "fuzz.yaml");
  for (OMobj_id id : r.objects) OMdestroy_obj(id, 0);
  return 0;
}
