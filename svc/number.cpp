// Numbers as text in the C locale, whatever the process locale.
#include "svc/number.h"

#include <locale.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// The C locale, made once; never freed (it serves the whole process).
locale_t cLocale() {
  static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c;
}

// Makes the calling thread print in the C locale while it lives.
class InCLocale {
 public:
  InCLocale() : old_(uselocale(cLocale())) {}
  ~InCLocale() { uselocale(old_); }
  InCLocale(const InCLocale&) = delete;
  InCLocale& operator=(const InCLocale&) = delete;

 private:
  locale_t old_;
};

}  // namespace

double NUMstrtod(const char* text, char** end) {
  return strtod_l(text, end, cLocale());
}

int NUMsnprintf(char* buffer, size_t size, const char* format, ...) {
  InCLocale c;
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buffer, size, format, args);
  va_end(args);
  return n;
}

std::string NUMformat(const char* format, ...) {
  InCLocale c;
  char small[64];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  std::string out;
  if (n < 0) {
    va_end(again);
    return out;
  }
  if (static_cast<size_t>(n) < sizeof small) {
    out.assign(small, static_cast<size_t>(n));
  } else {
    std::vector<char> big(static_cast<size_t>(n) + 1);
    std::vsnprintf(big.data(), big.size(), format, again);
    out.assign(big.data(), static_cast<size_t>(n));
  }
  va_end(again);
  return out;
}

bool NUMparse_real(const char* text, double* value) {
  if (!text) return false;
  char* end = nullptr;
  double v = NUMstrtod(text, &end);
  if (end == text) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end || !std::isfinite(v)) return false;
  *value = v;
  return true;
}
