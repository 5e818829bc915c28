// Widget geometry (UIgeom) and label helpers.
#include <X11/IntrinsicP.h>
#include <Xm/Xm.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "svc/wt.h"
#include "ui/misc.h"
#include "ui/wind.h"
#include "ui/xmstring.h"

bool UIgeom::getWidgetPos(Widget w, short& x, short& y) {
  if (!UIwindow::widgetOK(w)) return false;
  if (!XtIsRectObj(w)) return false;
  // Read from the record: XtGetValues would search the resource lists and run the hooks.
  x = w->core.x, y = w->core.y;
  return true;
}

bool UIgeom::getWidgetSize(Widget w, unsigned short& width, unsigned short& height) {
  if (!UIwindow::widgetOK(w)) return false;
  if (!XtIsRectObj(w)) return false;
  width = w->core.width, height = w->core.height;
  return true;
}

bool UIgeom::getWidgetPosSize(Widget w, short& x, short& y, unsigned short& width,
                              unsigned short& height) {
  return getWidgetPos(w, x, y) && getWidgetSize(w, width, height);
}

bool UIgeom::setWidgetPos(Widget w, short x, short y) {
  if (!UIwindow::widgetOK(w)) return false;
  XtVaSetValues(w, XtNx, static_cast<Position>(x), XtNy, static_cast<Position>(y), nullptr);
  return true;
}

bool UIgeom::setWidgetSize(Widget w, unsigned short width, unsigned short height) {
  if (!UIwindow::widgetOK(w)) return false;
  XtVaSetValues(w, XtNwidth, static_cast<Dimension>(width), XtNheight,
                static_cast<Dimension>(height), nullptr);
  return true;
}

bool UIgeom::setWidgetPosSize(Widget w, short x, short y, unsigned short width,
                              unsigned short height) {
  if (!UIwindow::widgetOK(w)) return false;
  // A geometry the widget has already costs nothing: no request and no round trip.
  if (w->core.x == x && w->core.y == y && w->core.width == width && w->core.height == height)
    return true;
  XtVaSetValues(w, XtNx, static_cast<Position>(x), XtNy, static_cast<Position>(y), XtNwidth,
                static_cast<Dimension>(width), XtNheight, static_cast<Dimension>(height), nullptr);
  XSync(XtDisplay(w), False);
  return true;
}

bool UIsetXmMnemonicFromString(Widget w, const char* s) {
  if (!w || !s) return false;
  if (UIisBeingDestroyed(w)) return false;
  const char* amp = std::strchr(s, '&');
  if (amp && amp[1])
    XtVaSetValues(w, XmNmnemonic, static_cast<KeySym>(static_cast<unsigned char>(amp[1])), nullptr);
  return true;
}

bool UIsetXmLabelFromString(Widget w, const char* s) {
  if (!w || !s) return false;
  if (UIisBeingDestroyed(w)) return false;
  std::string text(s);
  size_t amp = text.find('&');
  if (amp != std::string::npos) text.erase(amp, 1);
  UIxmString label = UIxmText(text.c_str());
  XtVaSetValues(w, XmNlabelString, label.get(), nullptr);
  return true;
}

void DragAndDropDisable(Widget w) {
  if (UIisBeingDestroyed(w)) return;
  static XtTranslations noDrag = XtParseTranslationTable("#override\n<Btn2Down>:");
  XtOverrideTranslations(w, noDrag);
}
