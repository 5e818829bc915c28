/* XmIcon for subclass writers: the class and instance records. */
#ifndef XM_ICONP_H
#define XM_ICONP_H

#include <Xm/PushBP.h>

#include "ui/Icon.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
  XtPointer extension; /* unused */
} XmIconClassPart;

typedef struct _XmIconClassRec {
  CoreClassPart core_class;
  XmPrimitiveClassPart primitive_class;
  XmLabelClassPart label_class;
  XmPushButtonClassPart pushbutton_class;
  XmIconClassPart icon_class;
} XmIconClassRec;

extern XmIconClassRec xmIconClassRec;

typedef struct {
  int display_delay;          /* ms between entering and the tip appearing */
  int display_placement;      /* XmICON_ABOVE ... XmICON_LEFT; other values: below */
  Boolean show_label;         /* whether the tip is shown at all */
  Pixel label_foreground;     /* text colour of the tip */
  Widget label;               /* the tip's label, made on first display */
  Widget shell;               /* the tip's override-redirect shell */
  XtIntervalId display_timer; /* pending display, 0 when none */
  XtIntervalId leave_timer;   /* pending leave check, 0 when none */
  XmString tip_string;        /* the tip's own text (a copy, freed on destroy); NULL: the label's */
} XmIconPart;

typedef struct _XmIconRec {
  CorePart core;
  XmPrimitivePart primitive;
  XmLabelPart label;
  XmPushButtonPart pushbutton;
  XmIconPart icon;
} XmIconRec;

#ifdef __cplusplus
}
#endif

#endif
