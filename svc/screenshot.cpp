// Pictures of windows as PNG files.
#include "svc/screenshot.h"

#include <X11/Xutil.h>
#include <png.h>

#include <algorithm>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

// The shift that brings a TrueColor mask's lowest bit to bit 0, and the mask's width.
void maskShape(unsigned long mask, int* shift, int* bits) {
  *shift = 0;
  *bits = 0;
  if (!mask) return;
  while (!(mask & 1)) mask >>= 1, ++*shift;
  while (mask & 1) mask >>= 1, ++*bits;
}

unsigned char channel(unsigned long pixel, unsigned long mask) {
  int shift, bits;
  maskShape(mask, &shift, &bits);
  if (!bits) return 0;
  unsigned long v = (pixel & mask) >> shift;
  return static_cast<unsigned char>(v * 255 / ((1ul << bits) - 1));
}

}  // namespace

namespace {

// Encodes rows of RGB pixels; kept apart because libpng's error handling longjmps, and no
// object with a destructor may live in the frame it jumps through.
bool encodePng(FILE* file, const unsigned char* rows, int width, int height) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int j = 0; j < height; ++j)
    png_write_row(png, const_cast<unsigned char*>(rows) +
                           static_cast<size_t>(j) * static_cast<size_t>(width) * 3);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool WTwrite_window_png(Display* display, Window window, const std::string& path,
                        std::string* error) {
  std::string ignored;
  if (!error) error = &ignored;
  XWindowAttributes attrs;
  if (!display || !XGetWindowAttributes(display, window, &attrs)) {
    *error = "no such window";
    return false;
  }
  if (attrs.map_state != IsViewable || attrs.width <= 0 || attrs.height <= 0) {
    *error = "the window is not on screen";
    return false;
  }
  // Read from the root window: a window's own contents may lack what its children show.
  Window root = attrs.root, child;
  int x = 0, y = 0;
  XTranslateCoordinates(display, window, root, 0, 0, &x, &y, &child);
  XWindowAttributes rootAttrs;
  XGetWindowAttributes(display, root, &rootAttrs);
  int width = std::min(attrs.width, rootAttrs.width - x);
  int height = std::min(attrs.height, rootAttrs.height - y);
  if (x < 0 || y < 0 || width <= 0 || height <= 0) {
    *error = "the window is off the screen";
    return false;
  }
  auto destroyImage = [](XImage* i) { XDestroyImage(i); };
  std::unique_ptr<XImage, decltype(destroyImage)> image(
      XGetImage(display, root, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height),
                AllPlanes, ZPixmap),
      destroyImage);
  if (!image) {
    *error = "the server gave no image";
    return false;
  }
  Visual* visual = rootAttrs.visual;
  std::vector<unsigned char> rows(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  for (int j = 0; j < height; ++j)
    for (int i = 0; i < width; ++i) {
      unsigned long p = XGetPixel(image.get(), i, j);
      unsigned char* out =
          &rows[(static_cast<size_t>(j) * static_cast<size_t>(width) + static_cast<size_t>(i)) * 3];
      out[0] = channel(p, visual->red_mask);
      out[1] = channel(p, visual->green_mask);
      out[2] = channel(p, visual->blue_mask);
    }
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    *error = "cannot write " + path;
    return false;
  }
  if (!encodePng(file, rows.data(), width, height)) {
    std::fclose(file);
    *error = "cannot encode the picture";
    return false;
  }
  bool ok = std::fclose(file) == 0;
  if (!ok) *error = "cannot finish writing " + path;
  return ok;
}
