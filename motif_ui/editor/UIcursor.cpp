// Cursor objects: the wrappers the object manager makes for font and pixmap cursors, and the
// private part that makes the X cursor and defines it on the window that registered with it.
#include "ui/UIcursor.h"

#include <X11/Xlib.h>
#include <Xm/Xm.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "om/om_registry.h"
#include "om/om_scope.h"
#include "svc/err.h"
#include "svc/file.h"
#include "ui/UIcursorP.h"
#include "ui/core.h"
#include "ui/misc.h"
#include "ui/picture.h"

const char* const cursorNames[77] = {"X_cursor",
                                     "arrow",
                                     "based_arrow_down",
                                     "based_arrow_up",
                                     "boat",
                                     "bogosity",
                                     "bottom_left_corner",
                                     "bottom_right_corner",
                                     "bottom_side",
                                     "bottom_tee",
                                     "box_spiral",
                                     "center_ptr",
                                     "circle",
                                     "clock",
                                     "coffee_mug",
                                     "cross",
                                     "cross_reverse",
                                     "crosshair",
                                     "diamond_cross",
                                     "dot",
                                     "dotbox",
                                     "double_arrow",
                                     "draft_large",
                                     "draft_small",
                                     "draped_box",
                                     "exchange",
                                     "fleur",
                                     "gobbler",
                                     "gumby",
                                     "hand1",
                                     "hand2",
                                     "heart",
                                     "icon",
                                     "iron_cross",
                                     "left_ptr",
                                     "left_side",
                                     "left_tee",
                                     "leftbutton",
                                     "ll_angle",
                                     "lr_angle",
                                     "man",
                                     "middlebutton",
                                     "mouse",
                                     "pencil",
                                     "pirate",
                                     "plus",
                                     "question_arrow",
                                     "right_ptr",
                                     "right_side",
                                     "right_tee",
                                     "rightbutton",
                                     "rtl_logo",
                                     "sailboat",
                                     "sb_down_arrow",
                                     "sb_h_double_arrow",
                                     "sb_left_arrow",
                                     "sb_right_arrow",
                                     "sb_up_arrow",
                                     "sb_v_double_arrow",
                                     "shuttle",
                                     "sizing",
                                     "spider",
                                     "spraycan",
                                     "star",
                                     "target",
                                     "tcross",
                                     "top_left_arrow",
                                     "top_left_corner",
                                     "top_right_corner",
                                     "top_side",
                                     "top_tee",
                                     "trek",
                                     "ul_angle",
                                     "umbrella",
                                     "ur_angle",
                                     "watch",
                                     "xterm"};

int forceUpdate = -1;

namespace {

constexpr EventMask kCreateMask = SubstructureNotifyMask | StructureNotifyMask;

std::unordered_set<const UIcursor*>& liveCursors() {
  static auto* s = new std::unordered_set<const UIcursor*>;
  return *s;
}

// Which cursor each registered handle (by its object's serial) took last.
std::unordered_map<uint32_t, UIcursor*>& handleOwners() {
  static auto* m = new std::unordered_map<uint32_t, UIcursor*>;
  return *m;
}

OMobj_id member(OMobj_id group, const char* name) {
  return OMfind_subobj(group, OMstr_to_name(name), 0);
}

bool readInt(const OMXobj& o, int* v) {
  return OMget_int_val(o.obj_id(), v) == 1;
}

void writeIntIfDiffers(const OMXobj& o, int v) {
  int now = 0;
  if (!o.valid_obj() || (readInt(o, &now) && now == v)) return;
  OMset_int_val(o.obj_id(), v);
}

}  // namespace

// ---- Shapes ----------------------------------------------------------------------------------

int UIcursorShapeOfName(const char* name) {
  if (!name) return -1;
  for (int i = 0; i < kUIcursorNameCount; ++i)
    if (std::strcmp(cursorNames[i], name) == 0) return 2 * i;
  return -1;
}

int UIcursorShapeOfNumber(int number) {
  int i = number / 2;
  return number >= 0 && i < kUIcursorNameCount ? 2 * i : 0;
}

// ---- The private part ------------------------------------------------------------------------

namespace {

// The colour of a pixel, asked of the server once per display, colormap and pixel: windows
// that share colours (most do) share the answer.
XColor queryColor(Display* dpy, Colormap colormap, Pixel pixel) {
  struct Key {
    Display* dpy;
    Colormap colormap;
    Pixel pixel;
    bool operator==(const Key& o) const {
      return dpy == o.dpy && colormap == o.colormap && pixel == o.pixel;
    }
  };
  struct Hash {
    size_t operator()(const Key& k) const {
      return std::hash<void*>()(k.dpy) ^ (k.colormap * 31) ^ (k.pixel * 1000003);
    }
  };
  static std::unordered_map<Key, XColor, Hash> known;
  auto it = known.find({dpy, colormap, pixel});
  if (it != known.end()) return it->second;
  XColor c{};
  c.pixel = pixel;
  XQueryColor(dpy, colormap, &c);
  known[{dpy, colormap, pixel}] = c;
  return c;
}

}  // namespace

UIcursorP::~UIcursorP() {
  // Freed only on a display known to be open: the one of a live registered widget.
  Widget w = widget();
  if (cursor_ && w && XtDisplay(w) == display_) XFreeCursor(display_, cursor_);
}

Widget UIcursorP::widget() const {
  if (!handle_) return nullptr;
  void* p = nullptr;
  if (OMget_ptr_val(member(handle_, "widget"), &p, 0) != 1) return nullptr;
  Widget w = static_cast<Widget>(p);
  return UIisBeingDestroyed(w) ? nullptr : w;
}

void UIcursorP::reg_handle(UIwinHandle* handle, UIcursor* cursor) {
  if (!handle || !cursor) return;
  OMobj_id id = handle->obj_id();
  if (!id) return;
  // The same handle with the same widget is registered already; a rebuilt object publishes a
  // new widget in the same handle, which needs the cursor again.
  void* p = nullptr;
  OMget_ptr_val(member(id, "widget"), &p, 0);
  if (id == handle_ && p == registeredWidget_) return;
  registeredWidget_ = p;
  auto& owners = handleOwners();
  auto it = owners.find(id.serial);
  if (it != owners.end() && it->second != cursor && UIcursor::alive(it->second))
    it->second->privatePart()->drop_handle(id);
  if (!!handle_) {
    auto mine = owners.find(handle_.serial);
    if (mine != owners.end() && mine->second == cursor) owners.erase(mine);
  }
  handle_ = id;
  owners[id.serial] = cursor;
  Widget w = widget();
  if (!w) return;
  if (!XtWindow(w)) {
    XtAddEventHandler(w, kCreateMask, False, UIcursorOnCreate, cursor);
    return;
  }
  cursor->update(0, forceUpdate);
}

void UIcursorP::drop_handle(OMobj_id handleObject) {
  if (handleObject != handle_) return;
  handle_ = OMnull_obj;
  registeredWidget_ = nullptr;
}

void UIcursorP::attachCursor(int on) {
  Widget w = widget();
  if (!w || !XtWindow(w)) return;
  if (cursor_ && on && display_ == XtDisplay(w))
    XDefineCursor(display_, XtWindow(w), cursor_);
  else
    XUndefineCursor(XtDisplay(w), XtWindow(w));
}

void UIcursorP::setCursorColors(UIcolor& colors) {
  Widget w = widget();
  if (!w) return;
  Pixel fgPixel = BlackPixelOfScreen(XtScreen(w)), bgPixel = WhitePixelOfScreen(XtScreen(w));
  Colormap colormap = DefaultColormapOfScreen(XtScreen(w));
  XtVaGetValues(w, XtNforeground, &fgPixel, XtNbackground, &bgPixel, XtNcolormap, &colormap,
                nullptr);
  OMtext fg = OMget_text(colors.foreground.obj_id());
  if (!fg || !UIcore::getColorFromString(w, UtString(fg.get()), fg_))
    fg_ = queryColor(XtDisplay(w), colormap, fgPixel);
  OMtext bg = OMget_text(colors.background.obj_id());
  if (!bg || !UIcore::getColorFromString(w, UtString(bg.get()), bg_))
    bg_ = queryColor(XtDisplay(w), colormap, bgPixel);
}

void UIcursorP::recolorCursor(UIcolor& colors) {
  Widget w = widget();
  if (!cursor_ || !w || XtDisplay(w) != display_) return;
  setCursorColors(colors);
  XRecolorCursor(display_, cursor_, &fg_, &bg_);
}

void UIcursorP::replaceCursor(Display* display, Cursor cursor) {
  // The old cursor can be freed at once: a window that shows it keeps it on the server until
  // it is replaced there. One made on another display stays (that display may be closed).
  if (cursor_ && display_ == display) XFreeCursor(display_, cursor_);
  display_ = display;
  cursor_ = cursor;
}

namespace {

// The cursor font of each display, opened once.
Font cursorFont(Display* display) {
  static std::unordered_map<Display*, Font> fonts;
  Font& f = fonts[display];
  if (!f) f = XLoadFont(display, "cursor");
  return f;
}

}  // namespace

void UIfontCursorP::createCursor(int shape, UIcolor& colors) {
  Widget w = widget();
  if (!w) return;
  if (!cursor_ || shape != shape_ || display_ != XtDisplay(w)) {
    // The glyph and its mask from the cursor font, made in its colours at once: one request
    // where a font cursor and a recolouring would be two.
    setCursorColors(colors);
    Display* dpy = XtDisplay(w);
    Font font = cursorFont(dpy);
    auto glyph = static_cast<unsigned>(shape);
    replaceCursor(dpy, XCreateGlyphCursor(dpy, font, font, glyph, glyph + 1, &fg_, &bg_));
    shape_ = shape;
    return;
  }
  recolorCursor(colors);
}

namespace {

struct Bitmap {
  int width = 0, height = 0, xHot = 0, yHot = 0;
  std::string bits;
};

// Finds and reads one bitmap file; false with a report naming it.
bool readBitmap(const char* name, Bitmap* out) {
  const char* who = "UIpixmapCursorP::createCursor";
  OMtext path(FILEfind(name, OMget_path(5), 32, 1, 0, 0));
  if (!path) {
    ERRerror(who, 0, 2, "cannot find cursor bitmap %s", name);
    return false;
  }
  int status =
      UIreadXBitmap(path.get(), &out->width, &out->height, &out->bits, &out->xHot, &out->yHot);
  if (status == 1) ERRerror(who, 0, 2, "cannot read cursor bitmap %s", path.get());
  if (status == 2)
    ERRerror(who, 0, 2, "%s is not a valid X bitmap (header, data or hot spot)", path.get());
  return status == 0;
}

}  // namespace

bool UIpixmapCursorP::createCursor(UIpixmap& source, UIpixmap& mask, UIcolor& colors) {
  const char* who = "UIpixmapCursorP::createCursor";
  Widget w = widget();
  if (!w) return false;
  setCursorColors(colors);
  OMtext sourceName = OMget_text(source.filename.obj_id());
  if (!sourceName) {
    ERRerror(who, 0, 2, "the cursor has no source bitmap file");
    return false;
  }
  Bitmap src, msk;
  if (!readBitmap(sourceName.get(), &src)) return false;
  OMtext maskName = mask.valid_obj() ? OMget_text(mask.filename.obj_id()) : OMtext();
  bool masked = maskName && *maskName;
  if (masked) {
    if (!readBitmap(maskName.get(), &msk)) return false;
    if (msk.width != src.width || msk.height != src.height) {
      ERRerror(who, 0, 2, "mask %s is %dx%d, the source %s is %dx%d", maskName.get(), msk.width,
               msk.height, sourceName.get(), src.width, src.height);
      return false;
    }
  }
  Display* dpy = XtDisplay(w);
  Window root = RootWindowOfScreen(XtScreen(w));
  Pixmap s = XCreateBitmapFromData(dpy, root, src.bits.data(), static_cast<unsigned>(src.width),
                                   static_cast<unsigned>(src.height));
  Pixmap m =
      masked ? XCreateBitmapFromData(dpy, root, msk.bits.data(), static_cast<unsigned>(msk.width),
                                     static_cast<unsigned>(msk.height))
             : None;
  Cursor made = XCreatePixmapCursor(dpy, s, m, &fg_, &bg_, static_cast<unsigned>(src.xHot),
                                    static_cast<unsigned>(src.yHot));
  XFreePixmap(dpy, s);
  if (m) XFreePixmap(dpy, m);
  replaceCursor(dpy, made);
  width = src.width;
  height = src.height;
  xHot = src.xHot;
  yHot = src.yHot;
  return true;
}

// ---- The wrappers ------------------------------------------------------------------------------

UIcursor::UIcursor(OMobj_id id, const char* className)
    : OMXgroup(id, nullptr, 0, nullptr, className),
      on(member(id, "on"), nullptr, 0, this, "int"),
      colors(member(id, "color"), nullptr, 0, this, "UIcolor") {
  liveCursors().insert(this);
}

UIcursor::~UIcursor() {
  if (private_) {
    if (Widget w = private_->widget())
      XtRemoveEventHandler(w, kCreateMask, False, UIcursorOnCreate, this);
    auto& owners = handleOwners();
    auto it = owners.find(private_->handleObject().serial);
    if (it != owners.end() && it->second == this) owners.erase(it);
  }
  liveCursors().erase(this);
}

bool UIcursor::alive(const UIcursor* cursor) {
  return liveCursors().count(cursor) != 0;
}

UIcursor* UIcursor::of(OMobj_id cursorObject) {
  if (!cursorObject) return nullptr;
  // A cursor object made after the window is instanced when the window asks for it.
  if (!OMret_omx_ptr(cursorObject, 0)) OMflush_notifies_mask(OMnull_obj, cursorObject, 8, 0);
  OMXgroup* omx = OMret_omx_ptr(cursorObject, 0);
  return dynamic_cast<UIcursor*>(omx);
}

OMXgroup* UIcursor::ret_omx_ptr(const char* className) {
  if (className && std::strcmp(className, "UIcursor") == 0) return this;
  return OMXgroup::ret_omx_ptr(className);
}

int UIcursor::init(unsigned int, int) {
  if (!private_) private_ = std::make_unique<UIcursorP>();
  return 1;
}

int UIcursor::update(unsigned int, int seq) {
  if (!private_) return 1;
  if (colors.changed(seq)) private_->recolorCursor(colors);
  int value = 1;
  if (!readInt(on, &value)) value = 1;
  private_->attachCursor(value);
  return 1;
}

UIfontCursor::UIfontCursor(OMobj_id id)
    : UIcursor(id, "UIfontCursor"),
      name(member(id, "name"), nullptr, 0, this, "string"),
      number(member(id, "number"), nullptr, 0, this, "int") {
  private_ = std::make_unique<UIfontCursorP>();
}

void UIfontCursor::reconcile(bool nameFirst, int seq) {
  OMtext text = OMget_text(name.obj_id());
  int n = 0;
  bool numberSet = readInt(number, &n);
  if (text && (nameFirst || name.changed(seq))) {
    int shape = UIcursorShapeOfName(text.get());
    if (shape >= 0) writeIntIfDiffers(number, shape);
    return;
  }
  if (!numberSet || (!nameFirst && !number.changed(seq))) return;
  int shape = UIcursorShapeOfNumber(n);
  // Only a number in range names a shape; one outside is 0 and leaves the name as it is.
  if (n >= 0 && n / 2 < kUIcursorNameCount &&
      (!text || std::strcmp(text.get(), cursorNames[shape / 2])))
    OMset_str_val(name.obj_id(), cursorNames[shape / 2]);
  writeIntIfDiffers(number, shape);
}

int UIfontCursor::init(unsigned int, int) {
  reconcile(true, -1);
  return 1;
}

int UIfontCursor::update(unsigned int mask, int seq) {
  reconcile(false, seq);
  int shape = 0;
  if (readInt(number, &shape))
    static_cast<UIfontCursorP*>(private_.get())->createCursor(UIcursorShapeOfNumber(shape), colors);
  return UIcursor::update(mask, seq);
}

UIpixmapCursor::UIpixmapCursor(OMobj_id id)
    : UIcursor(id, "UIpixmapCursor"),
      source(member(id, "source"), nullptr, 0, this, "UIpixmap"),
      mask(member(id, "mask"), nullptr, 0, this, "UIpixmap"),
      width(member(id, "width"), nullptr, 0, this, "int"),
      height(member(id, "height"), nullptr, 0, this, "int"),
      hotX(member(id, "hotX"), nullptr, 0, this, "int"),
      hotY(member(id, "hotY"), nullptr, 0, this, "int") {
  private_ = std::make_unique<UIpixmapCursorP>();
}

int UIpixmapCursor::update(unsigned int mask_, int seq) {
  if (source.changed(seq) || mask.changed(seq)) {
    OMtext type = OMget_text(source.fileType.obj_id());
    std::string fileType = type ? type.get() : "";
    if (!type) {
      // No type given: the file name's extension says it.
      OMtext file = OMget_text(source.filename.obj_id());
      const char* ext = file ? FILEget_file_extension(file.get()) : nullptr;
      if (ext)
        fileType = std::strcmp(ext, ".xbm") == 0 || std::strcmp(ext, ".bm") == 0 ? "x_bitmap" : ext;
    }
    if (fileType == "x_bitmap") {
      auto* p = static_cast<UIpixmapCursorP*>(private_.get());
      if (p->createCursor(source, mask, colors)) {
        writeIntIfDiffers(width, p->width);
        writeIntIfDiffers(height, p->height);
        writeIntIfDiffers(hotX, p->xHot);
        writeIntIfDiffers(hotY, p->yHot);
      }
    } else if (!fileType.empty()) {
      std::printf("UIpixmapCursor::update, Error in fileType\n");
    }
  }
  return UIcursor::update(mask_, seq);
}

// ---- Windows -----------------------------------------------------------------------------------

void UIcursorOnCreate(Widget w, XtPointer data, XEvent* event, Boolean*) {
  auto* cursor = static_cast<UIcursor*>(data);
  if (!UIcursor::alive(cursor) || cursor->privatePart()->widget() != w) {
    XtRemoveEventHandler(w, kCreateMask, False, UIcursorOnCreate, data);
    return;
  }
  // A window's own creation is not reported to it: a child's creation or the window's first
  // mapping says it exists (a leaf widget has no children).
  if (!event || (event->type != CreateNotify && event->type != MapNotify) || !XtWindow(w)) return;
  XtRemoveEventHandler(w, kCreateMask, False, UIcursorOnCreate, data);
  cursor->update(0, forceUpdate);
}

bool UIattachObjectCursor(OMobj_id object, UIwinHandle& handle) {
  OMobj_id cursorObject;
  if (OMget_obj_val(member(object, "cursor"), &cursorObject) != 1 || !cursorObject) {
    // No cursor now: a cursor that had this window lets it go.
    auto& owners = handleOwners();
    auto it = owners.find(handle.obj_id().serial);
    if (it != owners.end()) {
      if (UIcursor::alive(it->second)) it->second->privatePart()->drop_handle(handle.obj_id());
      owners.erase(it);
    }
    return false;
  }
  UIcursor* cursor = UIcursor::of(cursorObject);
  if (!cursor || !cursor->privatePart()) return false;
  cursor->privatePart()->reg_handle(&handle, cursor);
  return true;
}

void UIreapplyObjectCursor(OMobj_id object) {
  OMobj_id cursorObject;
  if (OMget_obj_val(member(object, "cursor"), &cursorObject) != 1) return;
  if (UIcursor* cursor = UIcursor::of(cursorObject)) cursor->update(0, forceUpdate);
}

void UIcursorRegisterClasses() {
  OMregister_omx_class("UIcursor", [](OMobj_id id) -> OMXgroup* { return new UIcursor(id); });
  OMregister_omx_class("UIfontCursor",
                       [](OMobj_id id) -> OMXgroup* { return new UIfontCursor(id); });
  OMregister_omx_class("UIpixmapCursor",
                       [](OMobj_id id) -> OMXgroup* { return new UIpixmapCursor(id); });
}
