// Window tools: per-display contexts, font sets, pixels, pictures from image files, palette
// callbacks and colormaps, text width, and compound strings.
#pragma once

#include <Xm/Xm.h>

// Per-display state of the window tools (opaque).
typedef struct WTdisplay* WThandle;

// The context the library keeps per display. Its first member is the handle that
// WTinstall_pixmap, WTget_X_pixmap and WTget_pixel take.
struct WText_context {
  WThandle handle;
  Widget shell;  // the hidden shell it was made for
};

// Makes the context of the display of hiddenShell, once per display: a second call for the
// same display returns the same context. Null for a null widget. Owned by the window tools.
WText_context* WTcreate_ext_display_context(Widget hiddenShell);

// ---- Fonts -----------------------------------------------------------------------------
// A font description: six words, each used when its bit (1, 2, 4, 8, 16, 32 in this order)
// is set in the mask; unused words take the default (DejaVu Sans, 12 points, medium,
// upright, normal width).
enum {
  WT_FONT_FAMILY,
  WT_FONT_SIZE,
  WT_FONT_WEIGHT,
  WT_FONT_SLANT,
  WT_FONT_WIDTH,
  WT_FONT_ENCODING,
  WT_FONT_WORDS
};
// Weight: 0 medium, 1 bold. Slant: 0 upright, 1 italic/oblique. Family and encoding are name
// tokens of the object manager (OMstr_to_name).
typedef struct WTfontset WTfontset;

// The font set for a description on display (made once and shared; owned by the window
// tools until WTdestroy_display_font_info). Null for a null display.
WTfontset* WTinstall_fontset(Display* display, const long* description, int mask);
// The font set's render table (an Xft rendition under the default tag), or null.
XmFontList WTget_xmfontlist(WTfontset* fontset);
// The default render table for widget's display at size points (flags unused).
XmFontList UIget_xmfontlist(Widget widget, int size, int flags);
// Releases every font set, font and picture of display.
void WTdestroy_display_font_info(Display* display);
// Forgets them instead, for a display about to be closed: its server resources go with the
// connection, and its render tables are left to the process (released before the font
// library's own close, they made later text on the other displays crash inside that library).
void WTforget_display_font_info(Display* display);
// Width in pixels of UTF-8 text in the default font (DejaVu Sans, 12 points) on the first
// display the window tools were used on; 0 before any.
int WTtext_width_default(const char* text);

// ---- Colours and pictures ---------------------------------------------------------------
// The pixel of a colour (red, green, blue from 0 to 1) in the display's default colormap.
unsigned long WTget_pixel(WThandle handle, const float* rgb, int flags);

// A picture read from an image file (kind 1 KLT image, kind 4 Windows bitmap); the same
// path and kind give the same handle. Null when the file cannot be read or decoded (nothing
// is reported). Owned by the window tools.
typedef struct WTimage WTimage;
WTimage* WTinstall_pixmap(WThandle handle, const char* path, int kind);
// The picture as a pixmap of the display's default depth (made on first use); 0 on failure.
Pixmap WTget_X_pixmap(WTimage* image);

// ---- Palette -----------------------------------------------------------------------------
// On a true-colour visual there is no virtual palette: the shell keeps the default colormap.
void WTinstall_virtpal_cmap(WText_context* context, Widget shell);
typedef void (*WTcontext_callback)(WText_context* context, int reason, Widget shell);
// Registers callback(context, reason, shell) for palette changes of reason (0 or 1); the same
// triple registered twice is kept once.
void WTadd_ext_context_callback(WText_context* context, int reason, WTcontext_callback callback,
                                Widget shell);
void WTdelete_ext_context_callback(WText_context* context, int reason, WTcontext_callback callback,
                                   Widget shell);
// The number of callbacks registered for shell, any reason (for tests and diagnostics).
int WTcount_ext_context_callbacks(WText_context* context, Widget shell);
// Tells the callbacks of reason that the palette changed (the colormap owner calls it).
void WTnotify_palette_change(WText_context* context, int reason);

// ---- Compound strings ---------------------------------------------------------------------
// A new compound string of UTF-8 text (in the current locale) for the default font-list tag;
// line breaks become separators. The caller frees it (XmStringFree). Null text gives an
// empty string.
XmString CSstr_to_Xm(const char* text);
