// Picture files decoded to RGB: KLT image files and Windows bitmap files. Needs no X. Every
// reader is safe against hostile files: sizes are checked before anything is allocated, a
// file is read once through one descriptor, and only regular files are read.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// An image as 8-bit red, green, blue triples, rows from the top.
struct WTrgb_image {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgb;  // width * height * 3 bytes
};

// Picture kinds (as WTinstall_pixmap takes them).
enum { WT_IMAGE_KLT = 1, WT_IMAGE_BMP = 4 };

// The largest side of a picture (an X pixmap side is 16 bits) and the largest file read.
constexpr int kWTMaxImageSide = 32767;
constexpr size_t kWTMaxImageFile = 64u << 20;

// KLT image: big-endian width and height (4 bytes each), then width * height pixels of four
// bytes (unused, red, green, blue), rows from the top. Extra bytes after the pixels are
// ignored. false (with *error) for a short, empty or oversized image.
bool WTdecode_klt_image(const unsigned char* data, size_t size, WTrgb_image* out,
                        std::string* error);

// Windows bitmap ("BM"): the header is checked here, the pixels are decoded by stb_image.
// Both decoders throw std::bad_alloc when memory runs out.
bool WTdecode_bmp(const unsigned char* data, size_t size, WTrgb_image* out, std::string* error);

// Reads and decodes a file of the given kind. Memory running out on the way (the decoders throw
// std::bad_alloc) goes to ERRout_of_memory: retry reads the file again, exit ends the process,
// and without a handler to ask the picture is not read ("not enough memory to read PATH").
bool WTread_image_file(const std::string& path, int kind, WTrgb_image* out, std::string* error);

// Reads a regular file whole through one descriptor, never blocking on a FIFO or device, and
// refusing files larger than limit. false (with *error) otherwise.
bool WTread_whole_file(const std::string& path, size_t limit, std::vector<unsigned char>* out,
                       std::string* error);
