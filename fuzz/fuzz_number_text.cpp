// libFuzzer target: the texts the numeric controls read (typed field numbers, dial texts) and
// the texts they write back from what was read. Any text is refused or gives a finite number,
// and a number a field shows reads back to the value kept, never a crash or a cut text.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ui/valuatorMath.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first two bytes (when there) choose a format and decimal points for the way back.
  int format = size > 0 ? data[0] % 4 : 0;
  int decimals = size > 1 ? static_cast<int8_t>(data[1]) : 2;
  std::string text(reinterpret_cast<const char*>(data), size);
  double value = 0;
  if (UIparseTypedNumber(text.c_str(), &value)) {
    if (!std::isfinite(value)) std::abort();
    if (UIalphaCheck(text.c_str())) std::abort();  // refused texts are never read
    for (int mode : {UI_MODE_INTEGER, UI_MODE_REAL}) {
      double shown = NAN;
      std::string out = UIfieldString(value, format, mode, decimals, &shown);
      double again = NAN;
      if (out.empty() || !UIparseTypedNumber(out.c_str(), &again)) {
        // A value too large for fixed notation may print as "inf"-free digits only; anything
        // else must read back.
        if (!std::isfinite(shown)) continue;
        std::abort();
      }
      if (again != shown) std::abort();  // what is kept is what is shown
    }
    int scaled = 0;
    UIscaledRound(UIscaleUp(value, decimals), &scaled);
    UIscaledTruncate(UIscaleUp(value, decimals), &scaled);
  }
  if (UIparseDialText(text.c_str(), &value)) {
    if (!std::isfinite(value)) std::abort();
    std::string out = UIdialValueText(value, decimals);
    if (out.empty()) std::abort();
  }
  return 0;
}
