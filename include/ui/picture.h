// Pictures from image files for labels, armed buttons and window backgrounds: KLT images
// (".x"), Windows bitmaps (".bmp") and X bitmaps (any other name). Every file is checked before
// anything is allocated, read once through one descriptor, and never handed to a program.
#pragma once

#include <X11/Intrinsic.h>
#include <stdio.h>

#include <string>

#include "om/om.h"

// Where a picture goes.
enum UIpictureTarget {
  UI_PICTURE_LABEL,       // XmNlabelPixmap (XmNlabelType XmPIXMAP / XmSTRING)
  UI_PICTURE_ARMED,       // XmNarmPixmap
  UI_PICTURE_BACKGROUND,  // the widget's background pixmap
};

// Loads the picture of a group ("filename", "fileType") for w and applies it to the target, or
// resets the target; reports through ERRerror with routine as the source. seq -1 is the first
// application: a missing or unreadable file is silent then.
void UIapplyPictureFromFile(OMobj_id group, Widget w, int seq, UIpictureTarget target,
                            const char* routine);

// Reads a KLT image from an open file and makes a pixmap of it on w's screen, with colours
// from a fixed 72-entry palette; XmUNSPECIFIED_PIXMAP for a short, oversized or unreadable
// file (or anything but a regular file).
Pixmap UIKLTImageToPixmap(FILE* file, Widget w);

// X bitmap files, read by the library's own checked parser: 1 = the file cannot be opened,
// 2 = not a valid bitmap (bad header, a side outside 1..32767, too little data), 0 = read.
int UIreadXBitmap(const char* path, int* width, int* height, std::string* bits);
// The same, with the hot spot ("_x_hot" and "_y_hot" defines): 0, 0 when the file has none;
// a file with only one of them, or a hot spot outside the bitmap, is not valid (2).
int UIreadXBitmap(const char* path, int* width, int* height, std::string* bits, int* xHot,
                  int* yHot);
// A pixmap of the widget's depth from an X bitmap file in the given colours, cached per
// display, file and colours; XmUNSPECIFIED_PIXMAP on failure.
Pixmap UIxBitmapToPixmap(Widget w, const char* path, Pixel foreground, Pixel background);
