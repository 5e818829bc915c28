/* XmIcon: a Motif push button that shows a tool tip (a framed label beside it) when the
 * pointer rests on it, and takes it down when the pointer leaves. Driven only by its resources
 * and pointer events. */
#ifndef XM_ICON_H
#define XM_ICON_H

#include <Xm/Xm.h>

#ifdef __cplusplus
extern "C" {
#endif

extern WidgetClass xmIconWidgetClass;
typedef struct _XmIconClassRec* XmIconWidgetClass;
typedef struct _XmIconRec* XmIconWidget;

#define XmNdisplayDelay ((char*)"displayDelay") /* int, ms, default 10 */
#define XmCDisplayDelay ((char*)"DisplayDelay")
#define XmNdisplayPlacement ((char*)"displayPlacement") /* 0 above, 1 below, 2 right, 3 left */
#define XmCDisplayPlacement ((char*)"DisplayPlacement")
/* "showLabel" (class "ShowLabel"), Boolean, default True: Motif's own XmNshowLabel names it. */
#ifndef XmNshowLabel
#define XmNshowLabel ((char*)"showLabel")
#endif
#ifndef XmCShowLabel
#define XmCShowLabel ((char*)"ShowLabel")
#endif
#define XmNlabelForegroundColor ((char*)"labelForegroundColor") /* Pixel, default "black" */
/* "tipString" (class "TipString"), XmString, default NULL: the tip's text. When NULL the tip
 * shows the button's label string, so the button's face and its tip can differ only when this
 * is set. The widget keeps its own copy; XtGetValues hands back a copy the caller frees with
 * XmStringFree, as for XmNlabelString. */
#define XmNtipString ((char*)"tipString")
#define XmCTipString ((char*)"TipString")

/* Tool-tip placements. Wherever it goes, the tip never covers the button (nor its border):
 * the pointer resting on the button would otherwise take the tip down and up again. */
enum { XmICON_ABOVE = 0, XmICON_BELOW = 1, XmICON_RIGHT = 2, XmICON_LEFT = 3 };

/* An unmanaged tool-tip button. */
Widget XmCreateIcon(Widget parent, String name, ArgList args, Cardinal count);
/* Takes the tool tip down at once (and cancels one about to appear). */
void XmUndisplayLabel(Widget w);

#ifdef __cplusplus
}
#endif

#endif
