// Window tools: per-display contexts, fonts, pixels, pictures, palette callbacks.
#include "svc/wt.h"

#include <X11/Xft/Xft.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "om/om.h"
#include "svc/image.h"

struct WTfontset {
  long words[WT_FONT_WORDS] = {};
  int mask = 0;
  XmRenderTable table = nullptr;
};

struct WTimage {
  WTdisplay* owner = nullptr;
  std::string path;
  int kind = 0;
  bool readOk = false;
  WTrgb_image rgb;
  Pixmap pixmap = 0;
};

struct WTdisplay {
  Display* display = nullptr;
  WText_context context{};
  bool hasContext = false;
  std::vector<std::unique_ptr<WTfontset>> fontsets;
  std::vector<std::unique_ptr<WTimage>> images;
  XftFont* textFont = nullptr;
  std::map<unsigned long, unsigned long> allocated;  // 0xRRGGBB -> pixel (non-TrueColor)
  struct Callback {
    int reason;
    WTcontext_callback callback;
    Widget shell;
  };
  std::vector<Callback> callbacks;
};

namespace {

std::vector<std::unique_ptr<WTdisplay>>& displays() {
  static auto* d = new std::vector<std::unique_ptr<WTdisplay>>;
  return *d;
}

// The first display the window tools were used on: text widths are measured there.
Display* defaultDisplay = nullptr;

WTdisplay* stateOf(Display* display) {
  if (!display) return nullptr;
  for (auto& d : displays())
    if (d->display == display) return d.get();
  displays().push_back(std::make_unique<WTdisplay>());
  WTdisplay* d = displays().back().get();
  d->display = display;
  d->context.handle = d;
  if (!defaultDisplay) defaultDisplay = display;
  return d;
}

unsigned long channelBits(unsigned long value8, unsigned long mask) {
  if (!mask) return 0;
  int shift = 0, bits = 0;
  while (!((mask >> shift) & 1)) ++shift;
  while ((mask >> (shift + bits)) & 1) ++bits;
  unsigned long v = bits >= 8 ? value8 << (bits - 8) : value8 >> (8 - bits);
  return (v << shift) & mask;
}

unsigned long pixelOf(WTdisplay* d, unsigned r, unsigned g, unsigned b) {
  Display* dpy = d->display;
  Visual* visual = DefaultVisual(dpy, DefaultScreen(dpy));
  if (visual->c_class == TrueColor || visual->c_class == DirectColor)
    return channelBits(r, visual->red_mask) | channelBits(g, visual->green_mask) |
           channelBits(b, visual->blue_mask);
  unsigned long key = (r << 16) | (g << 8) | b;
  auto it = d->allocated.find(key);
  if (it != d->allocated.end()) return it->second;
  XColor color{};
  color.red = static_cast<unsigned short>(r * 257);
  color.green = static_cast<unsigned short>(g * 257);
  color.blue = static_cast<unsigned short>(b * 257);
  color.flags = DoRed | DoGreen | DoBlue;
  unsigned long pixel = XAllocColor(dpy, DefaultColormap(dpy, DefaultScreen(dpy)), &color)
                            ? color.pixel
                            : BlackPixel(dpy, DefaultScreen(dpy));
  d->allocated[key] = pixel;
  return pixel;
}

XmRenderTable makeRenderTable(Display* display, const long* words, int mask) {
  // The toolkit keeps the name and style pointers in the rendition and compares them when later
  // renditions are made: both must live as long as the process (interned names and literals),
  // never a local string.
  const char* family = "DejaVu Sans";
  if ((mask & 1) && words[WT_FONT_FAMILY]) {
    const char* name = OMname_to_str(static_cast<OMobj_name>(words[WT_FONT_FAMILY]));
    if (name && *name) family = name;
  }
  int size = (mask & 2) && words[WT_FONT_SIZE] > 0 && words[WT_FONT_SIZE] < 1000
                 ? static_cast<int>(words[WT_FONT_SIZE])
                 : 12;
  bool bold = (mask & 4) && words[WT_FONT_WEIGHT] == 1;
  bool slanted = (mask & 8) && words[WT_FONT_SLANT] != 0;
  const char* style = bold ? (slanted ? "Bold Oblique" : "Bold") : (slanted ? "Oblique" : nullptr);
  Arg args[4];
  int n = 0;
  XtSetArg(args[n], XmNfontType, XmFONT_IS_XFT), ++n;
  XtSetArg(args[n], XmNfontName, const_cast<char*>(family)), ++n;
  XtSetArg(args[n], XmNfontSize, size), ++n;
  if (style) XtSetArg(args[n], XmNfontStyle, const_cast<char*>(style)), ++n;
  XmRendition rendition =
      XmRenditionCreate(XmGetXmDisplay(display), const_cast<char*>(XmFONTLIST_DEFAULT_TAG), args,
                        static_cast<Cardinal>(n));
  XmRenderTable table = XmRenderTableAddRenditions(nullptr, &rendition, 1, XmMERGE_REPLACE);
  XmRenditionFree(rendition);
  return table;
}

}  // namespace

WText_context* WTcreate_ext_display_context(Widget hiddenShell) {
  if (!hiddenShell) return nullptr;
  WTdisplay* d = stateOf(XtDisplay(hiddenShell));
  if (!d->hasContext) {
    d->hasContext = true;
    d->context.shell = hiddenShell;
  }
  return &d->context;
}

WTfontset* WTinstall_fontset(Display* display, const long* description, int mask) {
  WTdisplay* d = stateOf(display);
  if (!d) return nullptr;
  long words[WT_FONT_WORDS] = {};
  for (int i = 0; i < WT_FONT_WORDS; ++i)
    if (description && (mask & (1 << i))) words[i] = description[i];
  mask &= (1 << WT_FONT_WORDS) - 1;
  for (auto& f : d->fontsets)
    if (f->mask == mask && std::equal(words, words + WT_FONT_WORDS, f->words)) return f.get();
  auto f = std::make_unique<WTfontset>();
  std::copy(words, words + WT_FONT_WORDS, f->words);
  f->mask = mask;
  f->table = makeRenderTable(display, words, mask);
  d->fontsets.push_back(std::move(f));
  return d->fontsets.back().get();
}

XmFontList WTget_xmfontlist(WTfontset* fontset) {
  return fontset ? fontset->table : nullptr;
}

XmFontList UIget_xmfontlist(Widget widget, int size, int) {
  if (!widget) return nullptr;
  long words[WT_FONT_WORDS] = {};
  words[WT_FONT_SIZE] = size;
  return WTget_xmfontlist(WTinstall_fontset(XtDisplay(widget), words, size > 0 ? 2 : 0));
}

void WTdestroy_display_font_info(Display* display) {
  auto& all = displays();
  for (auto& d : all) {
    if (d->display != display) continue;
    for (auto& f : d->fontsets)
      if (f->table) XmRenderTableFree(f->table);
    d->fontsets.clear();
    for (auto& image : d->images)
      if (image->pixmap) XFreePixmap(display, image->pixmap);
    d->images.clear();
    if (d->textFont) XftFontClose(display, d->textFont);
    d->textFont = nullptr;
  }
}

void WTforget_display_font_info(Display* display) {
  for (auto& d : displays()) {
    if (d->display != display) continue;
    // Kept for the process, not freed: see the header.
    static auto* keptTables = new std::vector<XmRenderTable>;
    for (auto& f : d->fontsets)
      if (f->table) keptTables->push_back(f->table);
    d->fontsets.clear();
    d->images.clear();
    d->textFont = nullptr;  // the font library closes it with the connection
  }
}

int WTtext_width_default(const char* text) {
  if (!text || !defaultDisplay) return 0;
  WTdisplay* d = stateOf(defaultDisplay);
  if (!d->textFont)
    d->textFont = XftFontOpen(defaultDisplay, DefaultScreen(defaultDisplay), XFT_FAMILY,
                              XftTypeString, "DejaVu Sans", XFT_SIZE, XftTypeDouble, 12.0, nullptr);
  if (!d->textFont) return 0;
  XGlyphInfo extents{};
  XftTextExtentsUtf8(defaultDisplay, d->textFont, reinterpret_cast<const FcChar8*>(text),
                     static_cast<int>(std::strlen(text)), &extents);
  return extents.xOff;
}

unsigned long WTget_pixel(WThandle handle, const float* rgb, int) {
  if (!handle || !rgb) return 0;
  // Components may come left-justified ("#ff" parses as 0xff00 of 0xffff): the level is
  // the value's place among 256 equal steps, so 0xff00 and 0xffff are both 255.
  auto level = [](float v) {
    v = std::min(1.0f, std::max(0.0f, v));
    return std::min(255u, static_cast<unsigned>(v * 256.0f));
  };
  return pixelOf(handle, level(rgb[0]), level(rgb[1]), level(rgb[2]));
}

WTimage* WTinstall_pixmap(WThandle handle, const char* path, int kind) {
  if (!handle || !path) return nullptr;
  for (auto& image : handle->images)
    if (image->kind == kind && image->path == path) return image->readOk ? image.get() : nullptr;
  auto image = std::make_unique<WTimage>();
  image->owner = handle;
  image->path = path;
  image->kind = kind;
  std::string why;
  image->readOk = WTread_image_file(path, kind, &image->rgb, &why);
  handle->images.push_back(std::move(image));
  WTimage* made = handle->images.back().get();
  return made->readOk ? made : nullptr;
}

Pixmap WTget_X_pixmap(WTimage* image) {
  if (!image || !image->readOk) return 0;
  if (image->pixmap) return image->pixmap;
  Display* dpy = image->owner->display;
  int screen = DefaultScreen(dpy);
  int depth = DefaultDepth(dpy, screen);
  unsigned w = static_cast<unsigned>(image->rgb.width),
           h = static_cast<unsigned>(image->rgb.height);
  XImage* ximage = XCreateImage(dpy, DefaultVisual(dpy, screen), static_cast<unsigned>(depth),
                                ZPixmap, 0, nullptr, w, h, 32, 0);
  if (!ximage) return 0;
  ximage->data = static_cast<char*>(std::calloc(static_cast<size_t>(ximage->bytes_per_line), h));
  if (!ximage->data) {
    XDestroyImage(ximage);
    return 0;
  }
  const unsigned char* p = image->rgb.rgb.data();
  for (unsigned y = 0; y < h; ++y)
    for (unsigned x = 0; x < w; ++x, p += 3)
      XPutPixel(ximage, static_cast<int>(x), static_cast<int>(y),
                pixelOf(image->owner, p[0], p[1], p[2]));
  Pixmap pixmap = XCreatePixmap(dpy, RootWindow(dpy, screen), w, h, static_cast<unsigned>(depth));
  GC gc = XCreateGC(dpy, pixmap, 0, nullptr);
  XPutImage(dpy, pixmap, gc, ximage, 0, 0, 0, 0, w, h);
  XFreeGC(dpy, gc);
  XDestroyImage(ximage);
  image->pixmap = pixmap;
  return pixmap;
}

void WTinstall_virtpal_cmap(WText_context*, Widget) {}

void WTadd_ext_context_callback(WText_context* context, int reason, WTcontext_callback callback,
                                Widget shell) {
  if (!context || !callback) return;
  auto& list = context->handle->callbacks;
  for (const auto& c : list)
    if (c.reason == reason && c.callback == callback && c.shell == shell) return;
  list.push_back({reason, callback, shell});
}

void WTdelete_ext_context_callback(WText_context* context, int reason, WTcontext_callback callback,
                                   Widget shell) {
  if (!context) return;
  auto& list = context->handle->callbacks;
  list.erase(std::remove_if(list.begin(), list.end(),
                            [&](const WTdisplay::Callback& c) {
                              return c.reason == reason && c.callback == callback &&
                                     c.shell == shell;
                            }),
             list.end());
}

int WTcount_ext_context_callbacks(WText_context* context, Widget shell) {
  if (!context) return 0;
  int n = 0;
  for (const auto& c : context->handle->callbacks)
    if (c.shell == shell) ++n;
  return n;
}

void WTnotify_palette_change(WText_context* context, int reason) {
  if (!context) return;
  auto list = context->handle->callbacks;  // a callback may unregister itself
  for (const auto& c : list)
    if (c.reason == reason) c.callback(context, reason, c.shell);
}

namespace {

// True for a text of printable ASCII characters alone: no line break, tab or other control
// character to parse, and nothing the locale could read otherwise.
bool plainAscii(const char* text, size_t* length) {
  const char* p = text;
  for (; *p; ++p)
    if (static_cast<unsigned char>(*p) < 0x20 || static_cast<unsigned char>(*p) > 0x7e)
      return false;
  *length = static_cast<size_t>(p - text);
  return true;
}

}  // namespace

XmString CSstr_to_Xm(const char* text) {
  if (!text) text = "";
  // Plain ASCII, most texts, is the tag and the text put together: the same compound string
  // as the parse below makes of it, byte for byte, at a third of its cost (the parse reads the
  // text a character at a time through the locale).
  size_t length = 0;
  if (plainAscii(text, &length)) {
    static const size_t tagLength = std::strlen(XmFONTLIST_DEFAULT_TAG);
    XmString tag = XmStringComponentCreate(XmSTRING_COMPONENT_TAG, static_cast<unsigned>(tagLength),
                                           const_cast<char*>(XmFONTLIST_DEFAULT_TAG));
    XmString body = XmStringComponentCreate(XmSTRING_COMPONENT_TEXT, static_cast<unsigned>(length),
                                            const_cast<char*>(text));
    return XmStringConcatAndFree(tag, body);
  }
  // One parse of the whole text turns its line breaks into separators. (Built line by line
  // with separators made apart, the toolkit lost a separator's memory now and then: a few in
  // every thousand multi-line strings.)
  return XmStringGenerate(const_cast<char*>(text), const_cast<char*>(XmFONTLIST_DEFAULT_TAG),
                          XmCHARSET_TEXT, nullptr);
}
