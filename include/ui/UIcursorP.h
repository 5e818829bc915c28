// The private part of a cursor object: the X cursor, its colours, and the one window it is
// defined on. For the cursor wrappers (ui/UIcursor.h) and the tests.
#pragma once

#include <X11/Intrinsic.h>

#include "om/om.h"
#include "ui/UIcursor.h"

class UIwinHandle;

class UIcursorP {
 public:
  virtual ~UIcursorP();

  // Makes handle the registered one (nothing when it already is). Its window gets the cursor
  // at once (cursor updated with mask 0 and forceUpdate); a widget without a window gets
  // UIcursorOnCreate, which does it when the window is made. Only the handle's object id is
  // kept: a handle whose binding is gone is never read.
  void reg_handle(UIwinHandle* handle, UIcursor* cursor);
  // Forgets the registered handle when it is this one (the window took another cursor).
  void drop_handle(OMobj_id handleObject);
  // Defines the X cursor on the registered window (on non-zero) or undefines it. Nothing
  // without a handle, with a widget being destroyed, or without a window.
  void attachCursor(int on);
  // Foreground and background from the colour strings, else from the widget's own colours.
  void setCursorColors(UIcolor& colors);
  // With a cursor: setCursorColors and XRecolorCursor.
  virtual void recolorCursor(UIcolor& colors);

  // The registered window's widget: null when none, gone, or being destroyed.
  Widget widget() const;
  OMobj_id handleObject() const { return handle_; }
  Cursor cursor() const { return cursor_; }
  const XColor& foreground() const { return fg_; }
  const XColor& background() const { return bg_; }

 protected:
  // Takes a new X cursor made on display, freeing the one it replaces (the server keeps that
  // one as long as a window still shows it).
  void replaceCursor(Display* display, Cursor cursor);

  OMobj_id handle_ = OMnull_obj;      // the registered handle's object
  void* registeredWidget_ = nullptr;  // its widget when registered (compared, never read)
  Display* display_ = nullptr;        // where cursor_ was made
  Cursor cursor_ = 0;
  XColor fg_{};
  XColor bg_{};
};

class UIfontCursorP : public UIcursorP {
 public:
  // With a registered window: the font cursor of that shape on the window's display (kept
  // when it is already the one made), then recolorCursor.
  void createCursor(int shape, UIcolor& colors);

 private:
  int shape_ = -1;
};

class UIpixmapCursorP : public UIcursorP {
 public:
  // With a registered window: reads the source (and the mask when its group is an object and
  // names a file) from the data path through the checked bitmap reader and makes the cursor.
  // True with the size and hot spot on success; on any failure the cursor stays as it was,
  // the failure is reported through ERRerror naming the file, and false is returned.
  bool createCursor(UIpixmap& source, UIpixmap& mask, UIcolor& colors);
  int width = 0, height = 0, xHot = 0, yHot = 0;
};
