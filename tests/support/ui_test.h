// Starting the library for a test binary on the shared test server, and reading what it
// reported.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "om/om.h"

namespace uitest {

// UIinit and UIglobal_init on a display (once per process; by default the fixture's), the
// bench adopted onto the library's display, ERRerror recorded; templates (YAML text) loaded
// when given.
void startLibrary(const char* programName, const char* templates = nullptr,
                  const std::string& display = "");

// What ERRerror received since the last clear, as "reporter: text".
std::vector<std::string>& reports();

// The default instance place.
OMobj_id instancePlace();

// Creates an object from a template under the instance place inside one context (so it is
// instanced once, with every property set), with int properties and a "parent" link.
OMobj_id makeObject(const char* type, const std::string& name, OMobj_id parent,
                    const std::vector<std::pair<const char*, int>>& ints);

// An int property by dotted path; fallback when it does not read.
int intOf(OMobj_id id, const char* path, int fallback = -12345);

// A compound-string resource of a widget as text, its separators as line ends ("" when unset).
// (The widget type is spelled out so that this header stays free of the X headers.)
std::string xmText(struct _WidgetRec* w, const char* resource);  // w: a Widget

// Whether Motif still holds its drawing context for client-side text in window `window` of the
// test display. (Asked to give back a context it does not have, Motif warns; the probe
// handed to it in its place is freed either way.)
bool motifKeepsTextDrawing(unsigned long window);  // window: a Window

// The requests the test display's connection makes while show(name) runs, with the window
// manager's frame detection switched off ($CQ_WIN_PLACEMENT "manual"), then on: {off, on}.
// show is run once before, unmeasured, so that both measured runs find what is made once made.
// Each run gets a name of its own.
std::pair<unsigned long, unsigned long> requestsWithFrameDetectionOffAndOn(
    const std::function<void(const std::string& name)>& show);

}  // namespace uitest
