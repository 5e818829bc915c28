/* VwDial: a round dial with a pointer and an optional tick scale, turned with the mouse or
 * the arrow keys. Two families: an accumulator turns without end (each turn adds
 * "valuePerRev"), a valuator sweeps 270 degrees from "min" (lower left) over the top to
 * "max" (lower right). Driven by resources and callbacks only. */
#ifndef VW_DIAL_H
#define VW_DIAL_H

#include <Xm/Xm.h>

#ifdef __cplusplus
extern "C" {
#endif

extern WidgetClass vwDialWidgetClass;
typedef struct _VwDialClassRec* VwDialWidgetClass;
typedef struct _VwDialRec* VwDialWidget;

/* Resource names (classes are the names with a capital first letter). */
#define VwNrecomputeSize ((char*)"recomputeSize")
#define VwNcenterX ((char*)"centerX")
#define VwNcenterY ((char*)"centerY")
#define VwNshadowCenterX ((char*)"shadowCenterX")
#define VwNshadowCenterY ((char*)"shadowCenterY")
#define VwNradius ((char*)"radius")
#define VwNshadowRadius ((char*)"shadowRadius")
#define VwNscaleLength ((char*)"scaleLength")
#define VwNscaleOffset ((char*)"scaleOffset")
#define VwNpointerLength ((char*)"pointerLength")
#define VwNhighlightThickness ((char*)"highlightThickness")
#define VwNframeThickness ((char*)"frameThickness")
#define VwNdialBaseColor ((char*)"dialBaseColor")
#define VwNdialBasePixmap ((char*)"dialBasePixmap")
#define VwNdialHighlightColor ((char*)"dialHighlightColor")
#define VwNdialHighlightPixmap ((char*)"dialHighlightPixmap")
#define VwNdialColor ((char*)"dialColor")
#define VwNdialPixmap ((char*)"dialPixmap")
#define VwNdialShadowColor ((char*)"dialShadowColor")
#define VwNdialTopColor ((char*)"dialTopColor")
#define VwNdialShadowPixmap ((char*)"dialShadowPixmap")
#define VwNdialFrameColor ((char*)"dialFrameColor")
#define VwNdialFramePixmap ((char*)"dialFramePixmap")
#define VwNdialScaleColor ((char*)"dialScaleColor")
#define VwNdialPointerColor ((char*)"dialPointerColor")
#define VwNcursor ((char*)"cursor")
#define VwNhighlightOnEnter ((char*)"highlightOnEnter")
#define VwNdialType ((char*)"dialType")
#define VwNprocessingDirection ((char*)"processingDirection")
#define VwNvalue ((char*)"value")
#define VwNincValue ((char*)"incValue")
#define VwNmax ((char*)"max")
#define VwNmin ((char*)"min")
#define VwNcheckAccumMin ((char*)"checkAccumMin")
#define VwNcheckAccumMax ((char*)"checkAccumMax")
#define VwNvaluePerRev ((char*)"valuePerRev")
#define VwNscaleInc ((char*)"scaleInc")
#define VwNscaleTick ((char*)"scaleTick")
#define VwNdecimalPoints ((char*)"decimalPoints")
#define VwNscalePosition ((char*)"scalePosition")
#define VwNenterCallback ((char*)"enterCallback")
#define VwNleaveCallback ((char*)"leaveCallback")
#define VwNarmCallback ((char*)"armCallback")
#define VwNdisarmCallback ((char*)"disarmCallback")
#define VwNactivateCallback ((char*)"activateCallback")
#define VwNdialStyle ((char*)"dialStyle")

/* Representation types of the enumerated and pixmap resources. */
#define VwRDialType ((char*)"DialType")
#define VwRButtonType ((char*)"ButtonType")
#define VwRProcessingDirection ((char*)"ProcessingDirection")
#define VwRScalePosition ((char*)"ScalePosition")
#define VwRScaleType ((char*)"ScaleType")
#define VwRSliderType ((char*)"SliderType")
#define VwRSliderOrientation ((char*)"SliderOrientation")
#define VwRDialStyle ((char*)"DialStyle")
#define VwRDouble ((char*)"Double")
#define VwRDialBasePixmap ((char*)"DialBasePixmap")
#define VwRDialHighlightPixmap ((char*)"DialHighlightPixmap")
#define VwRDialPixmap ((char*)"DialPixmap")
#define VwRDialShadowPixmap ((char*)"DialShadowPixmap")
#define VwRDialFramePixmap ((char*)"DialFramePixmap")

/* "dialType" */
enum {
  VwINTEGER_ACCUMULATER = 0,
  VwREAL_ACCUMULATER = 1,
  VwINTEGER_VALUATOR = 2,
  VwREAL_VALUATOR = 3
};
/* "processingDirection": the dial takes VwMAX_ON_LEFT and VwMAX_ON_RIGHT only. */
enum { VwMAX_ON_TOP = 0, VwMAX_ON_BOTTOM = 1, VwMAX_ON_LEFT = 2, VwMAX_ON_RIGHT = 3 };
/* "scalePosition": the scale is drawn unless it is VwSCALE_OFF. */
enum {
  VwSCALE_OFF = 0,
  VwSCALE_LEFT = 1,
  VwSCALE_RIGHT = 2,
  VwSCALE_TOP = 3,
  VwSCALE_BOTTOM = 4,
  VwSCALE_BOTH = 5,
  VwSCALE_ON = 6
};
/* "dialStyle": VwKNOB a shaded knob; any other value a flat dial with a line pointer. */
enum { VwFLAT = 0, VwKNOB = 1 };

/* Callback reasons. */
enum { VwCR_ACTIVATE = 9, VwCR_ARM = 11, VwCR_DISARM = 12, VwCR_ENTER = 43, VwCR_LEAVE = 44 };

/* What every dial callback receives. The callback procedures get a null widget as their
 * first argument; the widget is here. ivalue is filled for the integer dial types, dvalue
 * for the real ones. */
typedef struct {
  int reason;
  XEvent* event;
  Widget widget;
  int dialType;
  int ivalue;
  double dvalue;
} VwDialCallbackStruct;

/* An unmanaged dial. */
Widget VwCreateDial(Widget parent, String name, ArgList args, Cardinal n);

/* Flushes the display and fills out with reason 0, no event, the widget, the dial type and
 * the value (integer types: truncated; real types: the double). */
void VwGetDialValue(Widget w, VwDialCallbackStruct* out);

/* Registers, once per process, the string converters of the dial family's enumerated types,
 * "Double", and its pixmap types. The dial's class initialisation calls it. */
void VwRegisterConverters(void);

#ifdef __cplusplus
}
#endif

#endif
