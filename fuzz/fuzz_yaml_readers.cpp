// libFuzzer target: for any bytes, the YAML tree read the fastest way (the reader of the plain
// form when it takes the text) is the tree libyaml alone gives, node for node and place for
// place, or the same error.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "yaml_tree.h"

namespace {

void describe(const UIyamlNode& n, std::string* out) {
  const UIyamlMark& m = n.mark();
  *out += std::to_string(static_cast<int>(n.kind())) + "/" +
          std::to_string(static_cast<int>(n.style())) + (n.anchored() ? "&" : "") + " " +
          std::to_string(m.line) + ":" + std::to_string(m.column) + "@" + std::to_string(m.pos) +
          " '" + std::string(n.text()) + "' " + std::to_string(n.size()) + "(";
  for (size_t i = 0; i < n.size(); ++i) {
    if (n.isMapping()) {
      describe(n.key(i), out);
      describe(n.value(i), out);
    } else {
      describe(n.item(i), out);
    }
  }
  *out += ")";
}

std::string read(const std::string& text, UIyamlDocument::Reader reader) {
  UIyamlDocument doc;
  UIyamlError error;
  UIyamlLimits limits;
  limits.maxDepth = 32;  // both readers meet the limits too
  limits.maxNodes = 400;
  if (!doc.parse(text, limits, &error, reader))
    return "error " + std::to_string(error.code) + " " + error.message + " " +
           std::to_string(error.placed) + " " + std::to_string(error.mark.pos);
  std::string out;
  if (doc.root()) describe(*doc.root(), &out);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  if (read(text, UIyamlDocument::Reader::Fastest) !=
      read(text, UIyamlDocument::Reader::LibraryOnly))
    std::abort();
  return 0;
}
