// Colour helpers (gamma correction, the process-wide pixel cache) and the resource-to-text
// converters: plain functions that need no binding, no display table and, but for allocating
// a pixel or querying one, no display.
#include "ui/color.h"

#include <Xm/Xm.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "svc/number.h"

// ---- Colour helpers --------------------------------------------------------------------------

unsigned gamma_correct(unsigned value, unsigned levels) {
  static double exponent = [] {
    double gamma = 2.22;
    // Read in the C locale: "2.2" means the same under any locale.
    auto read = [&gamma](const char* g) {
      char* end = nullptr;
      double parsed = g ? NUMstrtod(g, &end) : 0;
      if (g && end != g) gamma = parsed;
    };
    read(std::getenv("KLT_GAMMA"));
    read(std::getenv("KLT_UI_GAMMA"));
    // A gamma of 0 (or less) has no meaning: it would divide by zero; the default stands.
    if (!(gamma > 0)) gamma = 2.22;
    return 1.0 / gamma;
  }();
  if (exponent == 1.0) return value;
  if (levels < 2) return 0;
  if (value == 0) return 0;
  if (value >= levels - 1) return levels - 1;
  double v = std::pow(static_cast<double>(value) / (levels - 1), exponent) * levels;
  unsigned out = static_cast<unsigned>(v);
  return out > levels - 1 ? levels - 1 : out;
}

unsigned long UIgetPixel(Display* display, Colormap colormap, unsigned r, unsigned g, unsigned b) {
  struct Entry {
    unsigned r, g, b;
    unsigned long pixel;
  };
  static std::vector<Entry> cache;
  for (const Entry& e : cache)
    if (e.r == r && e.g == g && e.b == b) return e.pixel;
  if (cache.size() >= 256 || !display) return 0;
  XColor c{};
  c.red = static_cast<unsigned short>(gamma_correct(r & 0xff, 256) * 257);
  c.green = static_cast<unsigned short>(gamma_correct(g & 0xff, 256) * 257);
  c.blue = static_cast<unsigned short>(gamma_correct(b & 0xff, 256) * 257);
  c.flags = DoRed | DoGreen | DoBlue;
  if (!XAllocColor(display, colormap, &c)) return 0;
  cache.push_back({r, g, b, c.pixel});
  return c.pixel;
}

// ---- Converters -----------------------------------------------------------------------------

namespace {

// Writes text into the caller's buffer: none fails; too small fails with the needed size.
Boolean answerText(XrmValue* to, const char* text) {
  size_t need = std::strlen(text) + 1;
  if (!to->addr) return False;
  if (to->size < need) {
    to->size = static_cast<unsigned>(need);
    return False;
  }
  std::memcpy(to->addr, text, need);
  to->size = static_cast<unsigned>(need);
  return True;
}

template <typename T>
T valueOf(const XrmValue* from) {
  T v{};
  std::memcpy(&v, from->addr, std::min<size_t>(sizeof v, from->size));
  return v;
}

}  // namespace

extern "C" {

Boolean CqCvtIntToString(Display*, XrmValue*, Cardinal*, XrmValue* from, XrmValue* to, XtPointer*) {
  char text[32];
  std::snprintf(text, sizeof text, "%d", valueOf<int>(from));
  return answerText(to, text);
}

Boolean CqCvtPositionToString(Display*, XrmValue*, Cardinal*, XrmValue* from, XrmValue* to,
                              XtPointer*) {
  char text[32];
  std::snprintf(text, sizeof text, "%hd", valueOf<short>(from));
  return answerText(to, text);
}

Boolean CqCvtDimensionToString(Display*, XrmValue*, Cardinal*, XrmValue* from, XrmValue* to,
                               XtPointer*) {
  char text[32];
  std::snprintf(text, sizeof text, "%d", valueOf<unsigned short>(from));
  return answerText(to, text);
}

Boolean CqCvtBooleanToString(Display*, XrmValue*, Cardinal*, XrmValue* from, XrmValue* to,
                             XtPointer*) {
  return answerText(to, valueOf<signed char>(from) == 1 ? "True" : "False");
}

Boolean CqCvtBooleanDimensionToString(Display*, XrmValue*, Cardinal*, XrmValue* from, XrmValue* to,
                                      XtPointer*) {
  unsigned short v = valueOf<unsigned short>(from);
  if (v == 1) return answerText(to, "True");
  if (v == 0) return answerText(to, "False");
  char text[32];
  std::snprintf(text, sizeof text, "%d", v);
  return answerText(to, text);
}

Boolean CqCvtPointerToString(Display*, XrmValue*, Cardinal*, XrmValue* from, XrmValue* to,
                             XtPointer*) {
  char text[32];
  std::snprintf(text, sizeof text, "%#lx", static_cast<unsigned long>(valueOf<uintptr_t>(from)));
  return answerText(to, text);
}

Boolean CqCvtPixelToString(Display* display, XrmValue*, Cardinal*, XrmValue* from, XrmValue* to,
                           XtPointer*) {
  XColor c{};
  c.pixel = valueOf<Pixel>(from);
  XQueryColor(display, DefaultColormap(display, DefaultScreen(display)), &c);
  // Four hex digits a channel: unpadded, "#ffff00" could be red or several other colours.
  char text[32];
  std::snprintf(text, sizeof text, "#%04x%04x%04x", c.red, c.green, c.blue);
  return answerText(to, text);
}

Boolean CqCvtXmStringToString(Display*, XrmValue*, Cardinal*, XrmValue* from, XrmValue* to,
                              XtPointer*) {
  XmString s = valueOf<XmString>(from);
  char* text = nullptr;
  if (!s || !XmStringGetLtoR(s, const_cast<char*>(XmFONTLIST_DEFAULT_TAG), &text) || !text)
    return answerText(to, "");
  Boolean ok = answerText(to, text);
  XtFree(text);
  return ok;
}

}  // extern "C"
