// Pictures from image files: the shared loading algorithm, KLT images through a fixed palette,
// and X bitmaps through a checked parser of their own (never a loader that guesses formats or
// starts a decompressing program).
#include "ui/picture.h"

#include <X11/IntrinsicP.h>
#include <X11/Xutil.h>
#include <Xm/LabelP.h>
#include <Xm/PushBP.h>
#include <Xm/Xm.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "om/om_scope.h"
#include "svc/err.h"
#include "svc/file.h"
#include "svc/image.h"
#include "svc/wt.h"
#include "ui/color.h"
#include "ui/core.h"
#include "ui/dpyMgr.h"
#include "ui/misc.h"

namespace {

// The string of a picture group's member, held until the loader is done with it.
OMtext readString(OMobj_id group, const char* name) {
  return OMget_text(OMfind_subobj(group, OMstr_to_name(name), 1));
}

void applyTarget(Widget w, UIpictureTarget target, Pixmap picture) {
  switch (target) {
    case UI_PICTURE_LABEL:
      XtVaSetValues(w, XmNlabelType, XmPIXMAP, XmNlabelPixmap, picture, nullptr);
      break;
    case UI_PICTURE_ARMED:
      XtVaSetValues(w, XmNarmPixmap, picture, nullptr);
      break;
    case UI_PICTURE_BACKGROUND:
      XtVaSetValues(w, XtNbackgroundPixmap, picture, nullptr);
      break;
  }
}

// Without a picture: only a widget that shows one is set. Most never had one, and any set
// costs a pass over the widget's resources and, on some (a scale), a redraw.
void resetTarget(Widget w, UIpictureTarget target) {
  if (target == UI_PICTURE_LABEL) {
    unsigned char type = XmSTRING;
    Pixmap now = XmUNSPECIFIED_PIXMAP;
    if (XmIsLabel(w)) {  // read from the record: no resource search
      type = reinterpret_cast<XmLabelWidget>(w)->label.label_type;
      now = reinterpret_cast<XmLabelWidget>(w)->label.pixmap;
    } else {
      XtVaGetValues(w, XmNlabelType, &type, XmNlabelPixmap, &now, nullptr);
    }
    if (type != XmSTRING || now != XmUNSPECIFIED_PIXMAP)
      XtVaSetValues(w, XmNlabelType, XmSTRING, XmNlabelPixmap, XmUNSPECIFIED_PIXMAP, nullptr);
    return;
  }
  Pixmap now = XmUNSPECIFIED_PIXMAP;
  if (target == UI_PICTURE_BACKGROUND && XtIsWidget(w))
    now = w->core.background_pixmap;
  else if (target == UI_PICTURE_ARMED && XmIsPushButton(w))
    now = reinterpret_cast<XmPushButtonWidget>(w)->pushbutton.arm_pixmap;
  else
    XtVaGetValues(w, target == UI_PICTURE_ARMED ? XmNarmPixmap : XtNbackgroundPixmap, &now,
                  nullptr);
  if (now != XmUNSPECIFIED_PIXMAP) applyTarget(w, target, XmUNSPECIFIED_PIXMAP);
}

// The window tools' handle of w's display.
WThandle wtHandle(Widget w) {
  UIdpyContext ctx = *UIgetDisplayContext(XtDisplay(w));  // its connection, never a new one
  auto* wt = static_cast<WText_context*>(ctx.getWtDpyContext());
  return wt ? wt->handle : nullptr;
}

const char* assumedText(const std::string& type, UIpictureTarget target) {
  if (type == "klt_image") return "File type not specified. Assuming KLT image file type.";
  if (type == "bitmap") return "File type not specified. Assuming bitmap image file type.";
  return target == UI_PICTURE_BACKGROUND ? "File type not specified. Assuming bitmap file type."
                                         : "File type not specified. Assuming X bitmap file type.";
}

bool hasExtension(const char* path, const char* ext) {
  const char* e = FILEget_file_extension(path);
  return e && std::strcmp(e, ext) == 0;
}

// A group without "fileType": the type follows the file name's extension; it is written back
// and the assumption reported.
std::string assumeType(OMobj_id group, const char* filename, UIpictureTarget target,
                       const char* routine) {
  const char* ext = FILEget_file_extension(filename);
  std::string type = ext && !std::strcmp(ext, ".x")     ? "klt_image"
                     : ext && !std::strcmp(ext, ".bmp") ? "bitmap"
                                                        : "x_bitmap";
  OMobj_id typeProp = OMfind_subobj(group, OMstr_to_name("fileType"), 0);
  {
    OMcontext ctx(group, OM_CTX_WIDGET, OM_CTX_PLAIN);
    OMset_str_val(typeProp, type.c_str());
  }
  ERRerror(routine, 0, 2, "%s", assumedText(type, target));
  return type;
}

// Makes the picture of a found file by its type into *picture (XmUNSPECIFIED_PIXMAP when it
// cannot be read). False after an error that ends in "No action taken.": the widget keeps
// its face.
bool loadByType(Widget w, const std::string& type, const char* fullPath, const char* routine,
                Pixmap* picture) {
  *picture = XmUNSPECIFIED_PIXMAP;
  if (type == "klt_image" || type == "bitmap") {
    bool klt = type == "klt_image";
    if (!hasExtension(fullPath, klt ? ".x" : ".bmp")) {
      if (klt)
        ERRerror(routine, 0, 2,
                 "Error for file %s. KLT image files must have a .x file extension. No action "
                 "taken.",
                 fullPath);
      else
        ERRerror(routine, 0, 2,
                 "Error for file %s. bitmap image files must have a .bmp file extension. No "
                 "action taken.",
                 fullPath);
      return false;
    }
    Pixmap p =
        WTget_X_pixmap(WTinstall_pixmap(wtHandle(w), fullPath, klt ? WT_IMAGE_KLT : WT_IMAGE_BMP));
    if (p) *picture = p;
    return true;
  }
  if (type == "x_bitmap") {
    Pixel foreground = 0, background = 0;
    XtVaGetValues(w, XmNforeground, &foreground, XmNbackground, &background, nullptr);
    int width = 0, height = 0;
    std::string bits;
    int status = UIreadXBitmap(fullPath, &width, &height, &bits);
    if (status == 1) {
      ERRerror(routine, 0, 2, "Couldn't find file %s.  No action taken.", fullPath);
      return false;
    }
    if (status == 2) {
      ERRerror(routine, 0, 2, "%s is not a valid bitmap file.  No action taken.", fullPath);
      return false;
    }
    *picture = UIxBitmapToPixmap(w, fullPath, foreground, background);
    return true;
  }
  ERRerror(routine, 0, 2, "%s is not a valid file type. No action taken.", type.c_str());
  return false;
}

}  // namespace

// Every string fetched here is held (OMtext) and freed on whichever path the loader leaves by.
void UIapplyPictureFromFile(OMobj_id group, Widget w, int seq, UIpictureTarget target,
                            const char* routine) {
  if (UIisBeingDestroyed(w)) return;
  OMtext filename = readString(group, "filename");
  if (!filename) {
    resetTarget(w, target);
    return;
  }
  OMtext fileType = readString(group, "fileType");
  // FILEfind's path is malloc'ed like the object manager's text and freed the same way.
  OMtext fullPath(FILEfind(filename.get(), OMget_path(5), 32, 1, 0, 0));
  if (!fullPath) {
    if (seq != -1) ERRerror(routine, 0, 2, "Couldn't find file %s.", filename.get());
    resetTarget(w, target);
    return;
  }
  std::string type =
      fileType ? std::string(fileType.get()) : assumeType(group, filename.get(), target, routine);
  Pixmap picture = XmUNSPECIFIED_PIXMAP;
  if (!loadByType(w, type, fullPath.get(), routine, &picture)) return;
  if (picture != XmUNSPECIFIED_PIXMAP) {
    applyTarget(w, target, picture);
  } else if (seq != -1) {
    ERRerror(routine, 0, 2, "Couldn't read pixmap for file %s.", filename.get());
    resetTarget(w, target);
  }
}

// ---- KLT images ------------------------------------------------------------------------------

Pixmap UIKLTImageToPixmap(FILE* file, Widget w) {
  if (!file || UIisBeingDestroyed(w)) return XmUNSPECIFIED_PIXMAP;
  // Sizes are checked against the file before anything is allocated; only a regular file is
  // read, through the descriptor the caller opened.
  struct stat st {};
  if (fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode)) return XmUNSPECIFIED_PIXMAP;
  // The image service's limit holds here too: a sparse file costs no disk but all its memory.
  if (static_cast<uint64_t>(st.st_size) > kWTMaxImageFile) return XmUNSPECIFIED_PIXMAP;
  unsigned char header[8];
  if (std::fread(header, 1, 8, file) != 8) return XmUNSPECIFIED_PIXMAP;
  uint64_t width = (uint64_t{header[0]} << 24) | (header[1] << 16) | (header[2] << 8) | header[3];
  uint64_t height = (uint64_t{header[4]} << 24) | (header[5] << 16) | (header[6] << 8) | header[7];
  long at = std::ftell(file);
  uint64_t left = at >= 0 && st.st_size >= at ? static_cast<uint64_t>(st.st_size - at) : 0;
  if (width < 1 || height < 1 || width > kWTMaxImageSide || height > kWTMaxImageSide ||
      width * height * 4 > left)
    return XmUNSPECIFIED_PIXMAP;
  size_t count = static_cast<size_t>(width * height);
  std::vector<unsigned char> raw;
  while (true) {
    try {
      raw.assign(count * 4, 0);
      break;
    } catch (const std::bad_alloc&) {
      if (ERRout_of_memory("Can't allocate image buffer") != 1) return XmUNSPECIFIED_PIXMAP;
    }
  }
  if (std::fread(raw.data(), 1, raw.size(), file) != raw.size()) return XmUNSPECIFIED_PIXMAP;
  Display* dpy = XtDisplay(w);
  Colormap colormap = 0;
  XtVaGetValues(w, XtNcolormap, &colormap, nullptr);
  // The 72-entry palette: 64 colours of a 4x4x4 cube and 8 greys, each allocated once for the
  // process.
  static unsigned long palette[72];
  static bool filled[72];
  auto* pixels = static_cast<uint32_t*>(std::malloc(count * 4));
  if (!pixels) {
    ERRout_of_memory("Can't allocate temporary image buffer");
    return XmUNSPECIFIED_PIXMAP;
  }
  for (size_t i = 0; i < count; ++i) {
    unsigned r = raw[i * 4 + 1], g = raw[i * 4 + 2], b = raw[i * 4 + 3];
    int index;
    unsigned cr, cg, cb;
    if (r == g && g == b) {
      unsigned k = r >> 5;
      index = 64 + static_cast<int>(k);
      cr = cg = cb = k * 36;
    } else {
      index = static_cast<int>(((r >> 6) << 4) + ((g >> 6) << 2) + (b >> 6));
      cr = (r >> 6) * 85, cg = (g >> 6) * 85, cb = (b >> 6) * 85;
    }
    if (!filled[index]) {
      palette[index] = UIgetPixel(dpy, colormap, cr, cg, cb);
      filled[index] = true;
    }
    uint32_t p = static_cast<uint32_t>(palette[index]);
    // Words in most-significant-byte-first order, as the image declares.
    auto* bytes = reinterpret_cast<unsigned char*>(&pixels[i]);
    bytes[0] = static_cast<unsigned char>(p >> 24);
    bytes[1] = static_cast<unsigned char>(p >> 16);
    bytes[2] = static_cast<unsigned char>(p >> 8);
    bytes[3] = static_cast<unsigned char>(p);
  }
  Screen* screen = XtScreen(w);
  unsigned depth = static_cast<unsigned>(DefaultDepthOfScreen(screen));
  XImage* image = XCreateImage(dpy, DefaultVisualOfScreen(screen), depth, ZPixmap, 0,
                               reinterpret_cast<char*>(pixels), static_cast<unsigned>(width),
                               static_cast<unsigned>(height), 32, static_cast<int>(width * 4));
  if (!image) {
    std::free(pixels);
    return XmUNSPECIFIED_PIXMAP;
  }
  image->byte_order = MSBFirst;
  Pixmap pixmap = XCreatePixmap(dpy, RootWindowOfScreen(screen), static_cast<unsigned>(width),
                                static_cast<unsigned>(height), depth);
  XPutImage(dpy, pixmap, DefaultGCOfScreen(screen), image, 0, 0, 0, 0, static_cast<unsigned>(width),
            static_cast<unsigned>(height));
  XDestroyImage(image);  // frees the pixels too
  return pixmap;
}

// ---- X bitmaps ---------------------------------------------------------------------------------

namespace {

constexpr size_t kMaxBitmapFile = 8u << 20;

// The value of "#define <anything>_<suffix> N"; false when missing or out of 1..32767.
bool defineValue(const std::string& text, const char* suffix, int* value) {
  std::string key = std::string("_") + suffix;
  size_t at = 0;
  while ((at = text.find("#define", at)) != std::string::npos) {
    size_t line = text.find('\n', at);
    std::string def = text.substr(at, line == std::string::npos ? std::string::npos : line - at);
    at += 7;
    char name[256];
    long v = 0;
    if (std::sscanf(def.c_str(), "#define %255s %ld", name, &v) != 2) continue;
    std::string n(name);
    if (n.size() < key.size() || n.compare(n.size() - key.size(), key.size(), key) != 0) continue;
    if (v < 1 || v > kWTMaxImageSide) return false;
    *value = static_cast<int>(v);
    return true;
  }
  return false;
}

// The text with its C comments blanked out (newlines kept), so that a "{" or a "#define" in a
// comment is not taken for the data or a size.
std::string withoutComments(const std::string& text) {
  std::string out = text;
  size_t i = 0;
  while (i < out.size()) {
    if (out.compare(i, 2, "/*") == 0) {
      size_t end = out.find("*/", i + 2);
      end = end == std::string::npos ? out.size() : end + 2;
      for (size_t k = i; k < end; ++k)
        if (out[k] != '\n') out[k] = ' ';
      i = end;
    } else if (out.compare(i, 2, "//") == 0) {
      size_t end = out.find('\n', i);
      end = end == std::string::npos ? out.size() : end;
      std::fill(out.begin() + static_cast<long>(i), out.begin() + static_cast<long>(end), ' ');
      i = end;
    } else {
      ++i;
    }
  }
  return out;
}

// The hot spot "#define <anything>_x_hot N" and "_y_hot": both or neither. true with *x and *y
// when absent (0, 0) or present and inside width x height; false otherwise.
bool hotSpot(const std::string& text, int width, int height, int* x, int* y) {
  long found[2] = {-1, -1};
  const char* keys[2] = {"_x_hot", "_y_hot"};
  size_t at = 0;
  while ((at = text.find("#define", at)) != std::string::npos) {
    size_t line = text.find('\n', at);
    std::string def = text.substr(at, line == std::string::npos ? std::string::npos : line - at);
    at += 7;
    char name[256];
    long v = 0;
    if (std::sscanf(def.c_str(), "#define %255s %ld", name, &v) != 2) continue;
    std::string n(name);
    for (int k = 0; k < 2; ++k) {
      std::string key = keys[k];
      if (n.size() >= key.size() && n.compare(n.size() - key.size(), key.size(), key) == 0)
        found[k] = v;
    }
  }
  if (found[0] < 0 && found[1] < 0) {
    *x = *y = 0;
    return true;
  }
  if (found[0] < 0 || found[1] < 0 || found[0] >= width || found[1] >= height) return false;
  *x = static_cast<int>(found[0]);
  *y = static_cast<int>(found[1]);
  return true;
}

}  // namespace

int UIreadXBitmap(const char* path, int* width, int* height, std::string* bits) {
  return UIreadXBitmap(path, width, height, bits, nullptr, nullptr);
}

int UIreadXBitmap(const char* path, int* width, int* height, std::string* bits, int* xHot,
                  int* yHot) {
  std::vector<unsigned char> bytes;
  std::string why;
  if (!path || !WTread_whole_file(path, kMaxBitmapFile, &bytes, &why)) {
    // A file that exists but is not a regular file (or is too large) is not a bitmap.
    struct stat st {};
    return path && ::stat(path, &st) == 0 ? 2 : 1;
  }
  std::string text = withoutComments(std::string(bytes.begin(), bytes.end()));
  int w = 0, h = 0;
  if (!defineValue(text, "width", &w) || !defineValue(text, "height", &h)) return 2;
  int hx = 0, hy = 0;
  if ((xHot || yHot) && !hotSpot(text, w, h, &hx, &hy)) return 2;
  size_t brace = text.find('{');
  size_t decl = text.rfind("_bits", brace);
  if (brace == std::string::npos || decl == std::string::npos) return 2;
  std::string declaration = text.substr(text.rfind('\n', decl) + 1, brace);
  bool x10 = declaration.find("short") != std::string::npos;
  std::vector<unsigned> values;
  const char* p = text.c_str() + brace + 1;
  size_t wordBytes = x10 ? 2 : 1;
  size_t rowUnits = x10 ? (static_cast<size_t>(w) + 15) / 16 : (static_cast<size_t>(w) + 7) / 8;
  size_t need = rowUnits * static_cast<size_t>(h);
  while (*p && *p != '}' && values.size() < need) {
    while (*p && (std::isspace(static_cast<unsigned char>(*p)) || *p == ',')) ++p;
    if (!*p || *p == '}') break;
    char* end = nullptr;
    errno = 0;
    unsigned long v = std::strtoul(p, &end, 0);
    if (end == p || errno || v > (x10 ? 0xffffu : 0xffu)) return 2;
    values.push_back(static_cast<unsigned>(v));
    p = end;
  }
  if (values.size() < need) return 2;
  // Rows of (w + 7) / 8 bytes, least significant bit first, as X takes them.
  size_t rowBytes = (static_cast<size_t>(w) + 7) / 8;
  bits->clear();
  bits->reserve(rowBytes * static_cast<size_t>(h));
  for (size_t row = 0; row < static_cast<size_t>(h); ++row) {
    std::string rowData;
    for (size_t u = 0; u < rowUnits; ++u) {
      unsigned v = values[row * rowUnits + u];
      rowData += static_cast<char>(v & 0xff);
      if (wordBytes == 2) rowData += static_cast<char>((v >> 8) & 0xff);
    }
    bits->append(rowData, 0, rowBytes);
  }
  *width = w;
  *height = h;
  if (xHot) *xHot = hx;
  if (yHot) *yHot = hy;
  return 0;
}

Pixmap UIxBitmapToPixmap(Widget w, const char* path, Pixel foreground, Pixel background) {
  if (UIisBeingDestroyed(w) || !path) return XmUNSPECIFIED_PIXMAP;
  struct stat st {};
  if (::stat(path, &st) != 0) return XmUNSPECIFIED_PIXMAP;
  // Pixmaps stay with the widgets that show them; one per file (as it is now) and colours.
  using Key = std::tuple<Display*, std::string, Pixel, Pixel, time_t, off_t>;
  static std::map<Key, Pixmap> cache;
  Key key{XtDisplay(w), path, foreground, background, st.st_mtime, st.st_size};
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  int width = 0, height = 0;
  std::string bits;
  if (UIreadXBitmap(path, &width, &height, &bits) != 0) return XmUNSPECIFIED_PIXMAP;
  Screen* screen = XtScreen(w);
  Pixmap pixmap = XCreatePixmapFromBitmapData(
      XtDisplay(w), RootWindowOfScreen(screen), const_cast<char*>(bits.data()),
      static_cast<unsigned>(width), static_cast<unsigned>(height), foreground, background,
      static_cast<unsigned>(DefaultDepthOfScreen(screen)));
  if (!pixmap) return XmUNSPECIFIED_PIXMAP;
  cache[key] = pixmap;
  return pixmap;
}
