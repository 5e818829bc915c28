// libFuzzer target: any bytes given to the Windows bitmap reader (our header checks, then the
// decoder) give a picture of consistent size or an error, never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "svc/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WTrgb_image image;
  std::string error;
  if (WTdecode_bmp(data, size, &image, &error)) {
    size_t pixels = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
    if (image.width < 1 || image.height < 1 || image.width > kWTMaxImageSide ||
        image.height > kWTMaxImageSide || image.rgb.size() != pixels * 3)
      std::abort();
  } else if (error.empty()) {
    std::abort();
  }
  return 0;
}
