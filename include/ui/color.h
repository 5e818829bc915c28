// Colours and converters without a binding: gamma correction, the pixel of an 8-bit colour
// (allocated once per process), and the resource-to-text converters UIcore registers.
#pragma once

#include <X11/Intrinsic.h>

// Gamma correction of an 8-bit (levels 256) value, from "KLT_UI_GAMMA", else "KLT_GAMMA",
// else 2.22; the exponent is computed once per process.
unsigned gamma_correct(unsigned value, unsigned levels);
// The pixel of an 8-bit colour, gamma-corrected and allocated once; a process-wide cache of
// 256 colours; 0 when it is full or the colour cannot be allocated.
unsigned long UIgetPixel(Display* display, Colormap colormap, unsigned r, unsigned g, unsigned b);

// Resource-to-text converters (registered by UIcore::installConverters): each writes its text
// into the destination's buffer; no buffer fails, a short one fails with the size it needs.
extern "C" {
Boolean CqCvtIntToString(Display*, XrmValue*, Cardinal*, XrmValue*, XrmValue*, XtPointer*);
Boolean CqCvtPositionToString(Display*, XrmValue*, Cardinal*, XrmValue*, XrmValue*, XtPointer*);
Boolean CqCvtDimensionToString(Display*, XrmValue*, Cardinal*, XrmValue*, XrmValue*, XtPointer*);
Boolean CqCvtBooleanToString(Display*, XrmValue*, Cardinal*, XrmValue*, XrmValue*, XtPointer*);
Boolean CqCvtBooleanDimensionToString(Display*, XrmValue*, Cardinal*, XrmValue*, XrmValue*,
                                      XtPointer*);
Boolean CqCvtPointerToString(Display*, XrmValue*, Cardinal*, XrmValue*, XrmValue*, XtPointer*);
Boolean CqCvtPixelToString(Display*, XrmValue*, Cardinal*, XrmValue*, XrmValue*, XtPointer*);
Boolean CqCvtXmStringToString(Display*, XrmValue*, Cardinal*, XrmValue*, XrmValue*, XtPointer*);
}
