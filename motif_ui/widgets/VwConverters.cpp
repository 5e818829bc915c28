// String converters of the dial family's resources: keyword tables for the enumerated types,
// "Double", and pixmap types loaded through Motif's pixmap cache.
#include <X11/IntrinsicP.h>
#include <Xm/PrimitiveP.h>
#include <Xm/XmP.h>

#include <cstdlib>
#include <cstring>

#include "VwDialMath.h"
#include "svc/number.h"
#include "ui/VwDial.h"

namespace {

// Hands a converted value back the way Xt expects: into the caller's storage when it gave
// some (and it is large enough), else into static storage.
template <typename T>
Boolean done(XrmValue* to, T value) {
  static T stored;
  if (to->addr) {
    if (to->size < sizeof(T)) {
      to->size = sizeof(T);
      return False;
    }
    std::memcpy(to->addr, &value, sizeof(T));
  } else {
    stored = value;
    to->addr = reinterpret_cast<XPointer>(&stored);
  }
  to->size = sizeof(T);
  return True;
}

// The target type reaches the shared keyword converter as its one conversion argument.
Boolean cvtKeyword(Display* dpy, XrmValue* args, Cardinal* numArgs, XrmValue* from, XrmValue* to,
                   XtPointer*) {
  const char* type = *numArgs == 1 ? reinterpret_cast<const char*>(args[0].addr) : "";
  const char* text = reinterpret_cast<const char*>(from->addr);
  int value = 0;
  if (!vwdial::keywordValue(type, text, &value)) {
    XtDisplayStringConversionWarning(dpy, text, const_cast<char*>(type));
    return False;
  }
  return done(to, value);
}

Boolean cvtDouble(Display*, XrmValue*, Cardinal*, XrmValue* from, XrmValue* to, XtPointer*) {
  // In the C locale: resource files write "0.5" whatever the process locale.
  return done(to, NUMstrtod(reinterpret_cast<const char*>(from->addr), nullptr));
}

bool endsWith(const char* text, const char* tail) {
  size_t n = std::strlen(text), m = std::strlen(tail);
  return n >= m && std::strcmp(text + n - m, tail) == 0;
}

Boolean cvtPixmap(Display* dpy, XrmValue* args, Cardinal* numArgs, XrmValue* from, XrmValue* to,
                  XtPointer*) {
  const char* text = reinterpret_cast<const char*>(from->addr);
  if (*numArgs != 3) return False;
  const char* name = text;
  if (std::strlen(text) >= 2 && (!strncasecmp(text, "vw", 2) || !strncasecmp(text, "xm", 2)))
    name = text + 2;
  if (std::strcmp(name, "UNSPECIFIED_PIXMAP") == 0) return done<Pixmap>(to, XmUNSPECIFIED_PIXMAP);
  // Motif's loader hands names of compressed files to a decompressing program found on the
  // search path; a resource value must never start a program.
  if (endsWith(text, ".gz") || endsWith(text, ".Z")) {
    XtDisplayStringConversionWarning(dpy, text, const_cast<char*>("Pixmap"));
    return False;
  }
  Screen* screen = *reinterpret_cast<Screen**>(args[0].addr);
  Pixel fg = *reinterpret_cast<Pixel*>(args[1].addr);
  Pixel bg = *reinterpret_cast<Pixel*>(args[2].addr);
  return done<Pixmap>(to, XmGetPixmap(screen, const_cast<char*>(text), fg, bg));
}

const char* const kKeywordTypes[] = {VwRButtonType, VwRProcessingDirection, VwRScalePosition,
                                     "ScaleType",   VwRSliderType,          VwRSliderOrientation,
                                     VwRDialType};

const char* const kPixmapTypes[] = {
    "BasePixmap",   "SliderBorderPixmap", "BottomShadowPixmap", "ButtonBottomPixmap",
    "ButtonPixmap", "ButtonTopPixmap",    "HighlightPixmap",    "RangePixmap",
    "RailPixmap",   "TopShadowPixmap",    VwRDialBasePixmap,    VwRDialHighlightPixmap,
    VwRDialPixmap,  VwRDialShadowPixmap,  VwRDialFramePixmap,   "GaugeBasePixmap",
    "GaugePixmap",  "MeterPixmap"};

// Screen, foreground and background of the widget being converted for.
XtConvertArgRec pixmapArgs[] = {
    {XtWidgetBaseOffset, reinterpret_cast<XtPointer>(XtOffsetOf(WidgetRec, core.screen)),
     sizeof(Screen*)},
    {XtWidgetBaseOffset,
     reinterpret_cast<XtPointer>(XtOffsetOf(XmPrimitiveRec, primitive.foreground)), sizeof(Pixel)},
    {XtWidgetBaseOffset, reinterpret_cast<XtPointer>(XtOffsetOf(WidgetRec, core.background_pixel)),
     sizeof(Pixel)},
};

}  // namespace

extern "C" void VwRegisterConverters(void) {
  static bool registered = false;
  if (registered) return;
  registered = true;
  static XtConvertArgRec keywordArgs[sizeof kKeywordTypes / sizeof *kKeywordTypes];
  for (size_t i = 0; i < sizeof kKeywordTypes / sizeof *kKeywordTypes; ++i) {
    keywordArgs[i].address_mode = XtAddress;
    keywordArgs[i].address_id = const_cast<char*>(kKeywordTypes[i]);
    keywordArgs[i].size = static_cast<Cardinal>(std::strlen(kKeywordTypes[i]) + 1);
    XtSetTypeConverter(XtRString, kKeywordTypes[i], cvtKeyword, &keywordArgs[i], 1, XtCacheAll,
                       nullptr);
  }
  XtSetTypeConverter(XtRString, VwRDouble, cvtDouble, nullptr, 0, XtCacheAll, nullptr);
  for (const char* type : kPixmapTypes)
    XtSetTypeConverter(XtRString, type, cvtPixmap, pixmapArgs, XtNumber(pixmapArgs),
                       XtCacheByDisplay, nullptr);
}
