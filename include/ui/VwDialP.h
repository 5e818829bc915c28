/* VwDial for subclass writers: the class and instance records. */
#ifndef VW_DIALP_H
#define VW_DIALP_H

#include <Xm/PrimitiveP.h>

#include "ui/VwDial.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
  XtPointer extension; /* unused */
} VwDialClassPart;

typedef struct _VwDialClassRec {
  CoreClassPart core_class;
  XmPrimitiveClassPart primitive_class;
  VwDialClassPart dial_class;
} VwDialClassRec;

extern VwDialClassRec vwDialClassRec;

/* Grab states. */
enum { VwDIAL_GRABBED = 4, VwDIAL_RELEASED = 5 };

typedef struct {
  /* Resources. */
  Boolean recompute_size; /* kept for the dial binding; the dial never resizes itself */
  int center_x, center_y; /* centre of the dial face */
  int shadow_center_x, shadow_center_y; /* centre of the flat style's shadow disc */
  Dimension radius;                     /* radius of the face; 0 becomes 40 */
  Dimension shadow_radius;              /* radius of the shadow disc; 0 becomes 40 */
  Dimension scale_length;               /* length of a tick */
  Dimension scale_offset;               /* distance of the ticks from the centre */
  Dimension pointer_length;             /* length of the flat pointer; also the grab tolerance */
  Dimension frame_thickness;            /* rings drawn around the flat face */
  Pixel base_color;                     /* window background */
  Pixmap base_pixmap;                   /* window background tile, if any */
  Pixel highlight_color;                /* highlight border and the knob's lit face */
  Pixmap highlight_pixmap;
  Pixel dial_color; /* the flat face */
  Pixmap dial_pixmap;
  Pixel shadow_color; /* shadow disc and the knob's dark face */
  Pixel top_color;    /* the knob's top face */
  Pixmap shadow_pixmap;
  Pixel frame_color; /* the rings */
  Pixmap frame_pixmap;
  Pixel scale_color;        /* ticks and labels */
  Pixel pointer_color;      /* the flat pointer */
  Cursor cursor;            /* shown over the grab point */
  int dial_type;            /* VwINTEGER_ACCUMULATER ... VwREAL_VALUATOR */
  int processing_direction; /* VwMAX_ON_LEFT or VwMAX_ON_RIGHT */
  int value;                /* real types: the value times 10^decimal_points */
  int inc_value;
  int max, min;
  Boolean check_accum_min, check_accum_max; /* accumulators stop at min / max */
  int value_per_rev;                        /* accumulators: what one turn adds */
  int scale_inc;                            /* value between ticks */
  int scale_tick;
  int decimal_points;
  int scale_position; /* VwSCALE_OFF draws no scale */
  XtCallbackList enter_callback, leave_callback, arm_callback, disarm_callback, activate_callback;
  int dial_style;       /* VwKNOB or flat */
  XmFontList font_list; /* the first font draws the scale labels */

  /* Private state. */
  double dvalue, dmin, dmax, dinc, dscale_inc, dscale_tick, dvalue_per_rev; /* real types:
                                  divided by 10^decimal_points */
  double angle;   /* pointer angle, degrees clockwise from 12 o'clock */
  int grab_state; /* VwDIAL_GRABBED or VwDIAL_RELEASED */
  GC base_gc, highlight_gc, dial_gc, shadow_gc, frame_gc, scale_gc, pointer_gc, top_gc;
  XFontStruct* font;   /* scale label font */
  Boolean font_loaded; /* font was loaded here ("fixed") and is freed here */
} VwDialPart;

typedef struct _VwDialRec {
  CorePart core;
  XmPrimitivePart primitive;
  VwDialPart dial;
} VwDialRec;

#ifdef __cplusplus
}
#endif

#endif
