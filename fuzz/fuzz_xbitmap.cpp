// libFuzzer target: any file handed to the X bitmap reader is read or refused (2), never a
// crash; what it reads has the rows its sides need. The reader takes a path, so each input is
// written to a file of this process first. No display is opened.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "svc/image.h"
#include "ui/picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/fuzz_xbitmap." + std::to_string(getpid()) + ".xbm";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  int width = 0, height = 0;
  std::string bits;
  int status = UIreadXBitmap(path.c_str(), &width, &height, &bits);
  if (status == 0) {
    size_t need = static_cast<size_t>((width + 7) / 8) * static_cast<size_t>(height);
    if (width < 1 || height < 1 || width > kWTMaxImageSide || height > kWTMaxImageSide ||
        bits.size() != need)
      std::abort();
  } else if (status != 2) {
    std::abort();  // the file is there: it can only be read or refused as not a bitmap
  }
  std::remove(path.c_str());
  return 0;
}
