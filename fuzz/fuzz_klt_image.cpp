// libFuzzer target: any bytes given to the KLT image decoder give a picture whose size matches
// its header or an error, never a crash or an allocation the bytes do not pay for.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "svc/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WTrgb_image image;
  std::string error;
  if (WTdecode_klt_image(data, size, &image, &error)) {
    // A decoded image is exactly as large as its sides say, and the file held every pixel.
    size_t pixels = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
    if (image.width < 1 || image.height < 1 || image.rgb.size() != pixels * 3 ||
        size < 8 + pixels * 4)
      std::abort();
  } else if (error.empty()) {
    std::abort();  // a refusal always says why
  }
  return 0;
}
