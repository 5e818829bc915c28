// Cursor objects: a shape of the X cursor font (by name or number) or a cursor made from two
// bitmap files, shown on the window of every object whose "cursor" links to it.
//
//   object property             X                                      direction
//   "on"                        XDefineCursor / XUndefineCursor         object -> window
//   "color" (fg, bg strings)    XRecolorCursor (unset: the widget's)    object -> cursor
//   UIfontCursor "name"/"number" XCreateFontCursor (kept consistent)    both (each fills the other)
//   UIpixmapCursor "source" "mask"  XCreatePixmapCursor                 object -> cursor
//   UIpixmapCursor "width" "height" "hotX" "hotY"  read from the bitmap  cursor -> object
//
// The object manager makes the wrapper (UIcursor, UIfontCursor or UIpixmapCursor) when the
// cursor object is instanced and deletes it when the object goes; the wrapper owns its private
// part (UIcursorP, ui/UIcursorP.h), which holds the X cursor and the window it is shown on.
#pragma once

#include <X11/Intrinsic.h>

#include <memory>

#include "om/omx.h"

class UIcursorP;
class UIwinHandle;

class UIcursor : public OMXgroup {
 public:
  explicit UIcursor(OMobj_id id, const char* className = "UIcursor");
  ~UIcursor() override;
  // Returns 1.
  int init(unsigned int mask, int seq) override;
  // When a colour changed since seq, recolours the X cursor; then defines it on the registered
  // window (on non-zero) or undefines it. Returns 1.
  int update(unsigned int mask, int seq) override;
  // Itself for "UIcursor" and its own class name; the private part is privatePart().
  OMXgroup* ret_omx_ptr(const char* className) override;
  UIcursorP* privatePart() const { return private_.get(); }

  // True while a wrapper at this address lives (safe for any pointer: it is not read).
  static bool alive(const UIcursor* cursor);
  // The wrapper of a cursor object (instancing it first when it is pending), or null.
  static UIcursor* of(OMobj_id cursorObject);

  OMXint on;
  UIcolor colors;

 protected:
  std::unique_ptr<UIcursorP> private_;
};

// A shape of the X cursor font. A changed name wins over a changed number; a name that is not
// a shape changes nothing; a number outside 0..152 becomes 0 ("X_cursor"); an odd number is
// the shape below it.
class UIfontCursor : public UIcursor {
 public:
  explicit UIfontCursor(OMobj_id id);
  int init(unsigned int mask, int seq) override;
  int update(unsigned int mask, int seq) override;

  OMXstr name;
  OMXint number;

 private:
  void reconcile(bool nameFirst, int seq);
};

// A cursor from an X bitmap (source) and an optional mask bitmap of the same size, found on
// the data path. A file that cannot be found or read, a mask of another size or a hot spot
// outside the source leaves the cursor as it was and is reported through ERRerror naming the
// file.
class UIpixmapCursor : public UIcursor {
 public:
  explicit UIpixmapCursor(OMobj_id id);
  int update(unsigned int mask, int seq) override;

  UIpixmap source;
  UIpixmap mask;
  OMXint width, height, hotX, hotY;
};

// The 77 shapes of the X cursor font without prefix, in glyph order; glyph of entry i = 2 i.
extern const char* const cursorNames[77];
constexpr int kUIcursorNameCount = 77;
// The sequence number that applies everything (-1).
extern int forceUpdate;

// The glyph of a shape name (2 x its index), or -1 for a name that is not a shape.
int UIcursorShapeOfName(const char* name);
// The glyph a number stands for: even, 0..152 (out of range: 0).
int UIcursorShapeOfNumber(int number);

// Substructure (and structure) handler put on a widget that has no window yet: when its window
// exists, the cursor (client data) is applied once and the handler removed. Does nothing for a
// cursor that is gone.
void UIcursorOnCreate(Widget w, XtPointer cursor, XEvent* event, Boolean* go);

// The window base's side: registers the handle of the object's window with the cursor its
// "cursor" names and applies it. False (and no X request) when "cursor" names no cursor.
// A handle registered earlier with another cursor is taken from it.
bool UIattachObjectCursor(OMobj_id object, UIwinHandle& handle);
// The layout editor's side: the cursor of the object re-applies itself (after the editor used
// its own cursors on the window). Nothing when the object has none.
void UIreapplyObjectCursor(OMobj_id object);

// Registers the wrapper classes; called once by UIinit before the kit is read.
void UIcursorRegisterClasses();
