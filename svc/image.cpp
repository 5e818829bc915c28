// Picture files decoded to RGB.
#include "svc/image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>

#include <stb/stb_image.h>

#include "svc/err.h"

namespace {

uint32_t be32(const unsigned char* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
uint32_t le32(const unsigned char* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
uint16_t le16(const unsigned char* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

bool fail(std::string* error, const std::string& why) {
  if (error) *error = why;
  return false;
}

bool sizeFits(long long width, long long height, std::string* error) {
  if (width < 1 || height < 1) return fail(error, "the picture has no pixels");
  if (width > kWTMaxImageSide || height > kWTMaxImageSide)
    return fail(error, "the picture is too large (" + std::to_string(width) + " x " +
                           std::to_string(height) + "; at most " + std::to_string(kWTMaxImageSide) +
                           " a side)");
  return true;
}

}  // namespace

bool WTdecode_klt_image(const unsigned char* data, size_t size, WTrgb_image* out,
                        std::string* error) {
  if (!data || size < 8) return fail(error, "the file is shorter than its 8-byte header");
  // 64-bit arithmetic: width * height * 4 of two 32-bit numbers cannot overflow it.
  uint64_t width = be32(data), height = be32(data + 4);
  if (!sizeFits(static_cast<long long>(width), static_cast<long long>(height), error)) return false;
  uint64_t need = width * height * 4;
  if (size - 8 < need) return fail(error, "the file holds fewer pixels than its size says");
  out->width = static_cast<int>(width);
  out->height = static_cast<int>(height);
  out->rgb.resize(static_cast<size_t>(width * height * 3));
  const unsigned char* in = data + 8;
  for (size_t i = 0; i < width * height; ++i) {
    out->rgb[i * 3] = in[i * 4 + 1];
    out->rgb[i * 3 + 1] = in[i * 4 + 2];
    out->rgb[i * 3 + 2] = in[i * 4 + 3];
  }
  return true;
}

bool WTdecode_bmp(const unsigned char* data, size_t size, WTrgb_image* out, std::string* error) {
  if (!data || size < 26 || data[0] != 'B' || data[1] != 'M')
    return fail(error, "not a bitmap file");
  uint32_t headerSize = le32(data + 14);
  long long width, height;
  if (headerSize == 12) {
    width = le16(data + 18);
    height = le16(data + 20);
  } else if (headerSize >= 40 && size >= 14 + 40) {
    width = static_cast<int32_t>(le32(data + 18));
    height = static_cast<int32_t>(le32(data + 22));
    if (height < 0) height = -height;  // rows stored from the top
  } else {
    return fail(error, "not a bitmap file (unknown header)");
  }
  if (!sizeFits(width, height, error)) return false;
  if (size > static_cast<size_t>(INT32_MAX)) return fail(error, "the file is too large");
  // Only uncompressed pixels (plain or by bit fields) are decoded: the decoder refuses run
  // lengths, and takes any other value of the field for no compression at all.
  uint32_t compression = headerSize >= 40 ? le32(data + 30) : 0;
  if (compression != 0 && compression != 3)
    return fail(error,
                "the bitmap's compression (" + std::to_string(compression) + ") is not supported");
  // The pixels must all be in the file: the decoder allocates for the header's size first, and
  // a 54-byte file saying 30000 x 30000 would cost gigabytes of nothing.
  uint32_t dataOffset = le32(data + 10);
  uint64_t bitsPerPixel = headerSize == 12 ? le16(data + 24) : le16(data + 28);
  uint64_t rowBytes = (bitsPerPixel * static_cast<uint64_t>(width) + 31) / 32 * 4;
  if (dataOffset > size || rowBytes * static_cast<uint64_t>(height) > size - dataOffset)
    return fail(error, "the file holds fewer pixels than its size says");
  int w = 0, h = 0, channels = 0;
  unsigned char* pixels = stbi_load_from_memory(data, static_cast<int>(size), &w, &h, &channels, 3);
  if (!pixels) {
    // The decoder's own allocation failing is memory running out like any other.
    const char* reason = stbi_failure_reason();
    if (reason && std::strcmp(reason, "outofmem") == 0) throw std::bad_alloc();
    return fail(error, std::string("cannot decode the bitmap: ") + (reason ? reason : "?"));
  }
  if (w != width || h != height) {
    stbi_image_free(pixels);
    return fail(error, "the bitmap does not match its header");
  }
  out->width = w;
  out->height = h;
  out->rgb.assign(pixels, pixels + static_cast<size_t>(w) * static_cast<size_t>(h) * 3);
  stbi_image_free(pixels);
  return true;
}

bool WTread_whole_file(const std::string& path, size_t limit, std::vector<unsigned char>* out,
                       std::string* error) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return fail(error, std::string("cannot open ") + path + ": " + std::strerror(errno));
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0;
  if (!ok)
    fail(error, "cannot read " + path);
  else if (!S_ISREG(st.st_mode))
    ok = fail(error, path + " is not a regular file");
  else if (static_cast<size_t>(st.st_size) > limit)
    ok = fail(error, path + " is too large");
  if (ok) {
    out->resize(static_cast<size_t>(st.st_size));
    size_t got = 0;
    while (got < out->size()) {
      ssize_t n = ::read(fd, out->data() + got, out->size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    out->resize(got);  // a file that shrank while read is decoded as it was read
  }
  ::close(fd);
  return ok;
}

namespace {

bool readAndDecode(const std::string& path, int kind, WTrgb_image* out, std::string* error) {
  std::vector<unsigned char> bytes;
  if (!WTread_whole_file(path, kWTMaxImageFile, &bytes, error)) return false;
  if (kind == WT_IMAGE_KLT) return WTdecode_klt_image(bytes.data(), bytes.size(), out, error);
  if (kind == WT_IMAGE_BMP) return WTdecode_bmp(bytes.data(), bytes.size(), out, error);
  return fail(error, "unknown picture kind " + std::to_string(kind));
}

}  // namespace

bool WTread_image_file(const std::string& path, int kind, WTrgb_image* out, std::string* error) {
  // Memory running out while a picture is read is the user's choice: retry (after closing
  // something) or exit; without a handler to ask, the picture is not read.
  for (;;) {
    try {
      return readAndDecode(path, kind, out, error);
    } catch (const std::bad_alloc&) {
      *out = WTrgb_image{};
      std::string message = "Not enough memory to read the picture " + path + ".";
      if (ERRout_of_memory(message.c_str()) == 1) continue;
      return fail(error, "not enough memory to read " + path);
    }
  }
}
