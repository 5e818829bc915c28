// Mouse interactors: UIonePoint, UItwoPoint and UImouseEvents listen to the pointer over the
// window of their "view" and write what happens into their own object.
//
//   object property                      record / dispatch
//   "local_ptr"       <- the record's address (the object owns the record)
//   "view"            -> the binding the record hangs on (its "handle" "widget")
//   "startEvent" "runEvent" "stopEvent" -> event keys (LookupEventName); unset: 0
//   "onButtonDown" "buttonRequestMask"  -> mouse-events filter (default 1 each)
//   "x" "y" "time" "state"              <- written by the window's dispatch
//   "buttonType" "buttonMask" "modMask" "modType" <- mouse events only
//
// None of the three makes a widget. A record is detached (no widget, no binding) until "view"
// names an object whose handle holds a live widget of a binding; it is re-attached whenever
// "view" changes, and follows its binding's widget when that is rebuilt.
#pragma once

#include <cstddef>

#include "om/om.h"

// The key of an event description: modifier "<" name ">", the modifier "Shift" (256),
// "Control" (512), "Alt" (1024) or anything else (nothing); the name one of Btn1Down ...
// Btn3Up or BtnLDown ... BtnRUp (1 to 9). 0 for a text without "<" or a ">" after it, for an
// unknown name and for null. Any length is read safely; nothing is copied.
int LookupEventName(const char* text);

// Instance entries: make the record, store it in "local_ptr", read the events and attach it
// to the view. 0 without "local_ptr" or when the record cannot be made (the message is
// printed on standard output). The two-point and mouse-events entries return 1 once the
// record exists; the one-point entry returns 0 (the object manager ignores it).
int UIonePointInstance(OMobj_id id);
int UItwoPointInstance(OMobj_id id);
int UImouseEventsInstance(OMobj_id id);

// Update entries: with OM_EVENT_INST in mask, the instance entry. Otherwise refresh the record
// from what changed since seq: events re-read; a changed "view" (or a record still detached
// whose view now has a window) moves the record to the head of the new window's list. 0 when
// the object has no record, else 1.
int UIonePointUpdate(OMobj_id id, unsigned int mask, int seq);
int UItwoPointUpdate(OMobj_id id, unsigned int mask, int seq);
int UImouseEventsUpdate(OMobj_id id, unsigned int mask, int seq);

// The destroy entry of all three: clears "local_ptr", unlinks the record from the binding it
// hangs on when that binding still lives (whatever became of its widget), frees it. 0 when
// there is no record.
int UIinteractDestroy(OMobj_id id, unsigned int mask, int seq);
// The same with the object manager's one-argument destroy signature.
int UIinteractDestroy1(OMobj_id id);
