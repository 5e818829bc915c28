// libFuzzer target: any text given as link definitions ("name => expression;") or as one
// expression makes links or is refused with nothing changed, never a crash, a hang (deep
// nesting, cycles) or a leak. Each input gets a fresh object tree, destroyed after it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "om/om.h"
#include "om/om_text.h"
#include "svc/err.h"

namespace {

void quiet(const char*, int, int, const char*) {}

OMobj_id make(OMobj_id parent, const char* name, int kind) {
  return OMcreate_obj(OMstr_to_name(name), kind, parent, OMnull_obj, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = [] {
    ERRset_reporter(quiet);
    return true;
  }();
  (void)ready;
  std::string text(reinterpret_cast<const char*>(data), size);
  // The tree every input sees: a group with numbers, a text, a nested group and an array.
  OMobj_id obj = make(OMroot_obj, "fuzz", OM_KIND_GROUP);
  OMobj_id x = make(obj, "x", OM_KIND_INT);
  OMobj_id width = make(obj, "width", OM_KIND_INT);
  OMobj_id scale = make(obj, "scale", OM_KIND_REAL);
  make(obj, "title", OM_KIND_STRING);
  make(obj, "values", OM_KIND_REAL_ARRAY);
  OMobj_id shell = make(obj, "UIshell", OM_KIND_GROUP);
  OMobj_id client = make(shell, "clientWidth", OM_KIND_INT);
  OMset_int_val(x, 10);
  OMset_int_val(client, 300);
  OMset_real_val(scale, 1.5);

  // The first byte chooses: definitions through the parser, or one expression on "width".
  if (!text.empty() && text[0] == '=') {
    std::string error;
    int offset = -1;
    if (!OMset_expression(width, obj, text.c_str() + 1, &error, &offset)) {
      if (error.empty() || offset < 0 || static_cast<size_t>(offset) > text.size()) std::abort();
    }
  } else {
    OMparse_buffer(obj, text.c_str(), 0);
  }
  // Changing the operands must settle (no endless notification), then everything goes.
  OMset_int_val(x, 11);
  OMset_int_val(client, 7);
  int v = 0;
  OMget_int_val(width, &v);
  OMflush_notifies();
  OMdestroy_obj(obj, 0);
  return 0;
}
