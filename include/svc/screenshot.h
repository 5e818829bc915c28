// Pictures of windows: what is on screen inside a window, written as a PNG file.
#pragma once

#include <X11/Xlib.h>

#include <string>

// Writes the pixels of window (as they are on screen, children included) to a PNG file at
// path. Returns true on success; on failure returns false and says why in *error (the file
// may then be missing or incomplete). The window must be viewable.
bool WTwrite_window_png(Display* display, Window window, const std::string& path,
                        std::string* error);
