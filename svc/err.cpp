// Error reporting: formatting and the replaceable reporter.
#include "svc/err.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

int ERRerror_squashed = 0;

namespace {

void defaultReporter(const char* reporter, int, int, const char* text) {
  std::fprintf(stderr, "%s: %s\n", reporter ? reporter : "", text);
}

ERRreporter currentReporter = defaultReporter;
ERRyesno_handler yesnoHandler = nullptr;
ERRoutofmem_handler outofmemHandler = nullptr;

}  // namespace

ERRreporter ERRset_reporter(ERRreporter reporter) {
  ERRreporter previous = currentReporter;
  currentReporter = reporter ? reporter : defaultReporter;
  return previous;
}

void ERRerror(const char* reporter, int flag, int severity, const char* format, ...) {
  if (ERRerror_squashed > 0 || !format) return;
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
  va_end(args);
  // A message that ends in a line end would print an empty line after it.
  while (!text.empty() && text.back() == '\n') text.pop_back();
  currentReporter(reporter, flag, severity, text.c_str());
}

ERRyesno_handler ERRset_yesno_dialog_handler(ERRyesno_handler handler) {
  ERRyesno_handler previous = yesnoHandler;
  yesnoHandler = handler;
  return previous;
}

ERRoutofmem_handler ERRset_outofmem_dialog_handler(ERRoutofmem_handler handler) {
  ERRoutofmem_handler previous = outofmemHandler;
  outofmemHandler = handler;
  return previous;
}

ERRyesno_handler ERRget_yesno_dialog_handler() {
  return yesnoHandler;
}
ERRoutofmem_handler ERRget_outofmem_dialog_handler() {
  return outofmemHandler;
}

int ERRout_of_memory(const char* message) {
  const char* text = message ? message : "";
  if (!outofmemHandler) {
    ERRerror("ERRout_of_memory", 0, 2, "out of memory: %s", text);
    return 0;
  }
  if (outofmemHandler("%s", text) == 1) return 1;
  std::exit(1);
}
