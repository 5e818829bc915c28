// libFuzzer target: any script text is taken apart line by line into known commands or
// refused with a message, never a crash; nothing is run and no display is opened.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  std::string text;
  while (std::getline(in, text)) {
    Session::Line line;
    std::string error;
    if (Session::parseLine(text, &line, &error)) {
      if (line.verb.empty() || !error.empty()) std::abort();
      // A verb the table knows is listed in the help.
      if (Session::commandHelp().find("  " + line.verb) == std::string::npos) std::abort();
    } else if (error.empty()) {
      std::abort();  // a refusal always says why
    }
  }
  return 0;
}
