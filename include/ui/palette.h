// Toolbars laid out from command lists, arrays of labels, texts and commands made from string
// arrays, and the palette's two logic objects. Methods the object manager calls; none makes a
// widget itself (the buttons, labels and texts they create do).
//
//   toolbar                         buttons ("buttons" group, copies of "templ.button")
//   "cmdList" (tools and groups) -> one button per tool, in "tool_order"; a group's tools are
//                                    set apart by "list_pad"; a tool with "tool_space" 1 too
//   "tool_dir" "pad" "tip_placement" -> direction, gaps, "toolTip" "placement"
//   tool "set" (not "option_tool") or "do" <- button "do"; "pixmap" "label" "message" shown
//   "width" "height"             <- the extent of the buttons
#pragma once

#include "om/om.h"

// Most tools a toolbar shows; later ones are ignored.
enum { KU_MAX_TOOLS = 64 };

// Collects the tools of list's "cmdList" into tools (room for KU_MAX_TOOLS) from *count on,
// with kinds: 1 first tool of a group, 2 last tool of a group or a tool with "tool_space" 1, 0
// else. A group is an entry with a "cmdList" of its own; a group already being collected (a
// list that holds itself, directly or not) is skipped. 1 when this level added a tool.
int KU_tool_get_list(OMobj_id list, int* count, OMobj_id* tools, int* kinds);
// Stable sort of tools (and kinds with them) by ascending "tool_order".
void KU_sort_tool_list(int n, OMobj_id* tools, int* kinds);
// The tool's int property name, 0 when it does not read.
int KU_get_tool_pos(OMobj_id tool, const char* name);
// Lays out the toolbar's buttons as the header says, making copies of the template for new
// tools and destroying those beyond the last tool; writes only what differs. 1.
int KUtoolbar_update(OMobj_id toolbar);
// The toolbar type's update entry: KUtoolbar_update, then the panel's update.
int UItoolbarUpdate(OMobj_id id, unsigned int mask, int seq);

// Keeps the array "UIlabel" one label per entry of "labels", at "xStart" + i * "xInc",
// "yStart" + i * "yInc", with the shared "width" "height" "alignment" and "parent". 1; 0 with
// an error reported from "label_label" when a property it needs does not read.
int label_label(OMobj_id obj);
// The same for "UItext" from "texts" ("text" per element, "outputOnly" shared).
int label_text(OMobj_id obj);
// Sizes the command array "cmd" to "labels", labels each command and (with "doSet", default 1)
// sets "set" of the commands selected by "inItem" ("outItem" refers to it). 1; 0 with an error
// from "label_cmd".
int label_cmd(OMobj_id obj);

// "output" = 1 - "input" (0 when unset). 0.
int UIwidgetPaletteNOR(OMobj_id obj);
// "output" = the value of the highest-numbered "input_0" ... "input_5" newer than "update";
// nothing is written when no input is newer, or without "update". 0.
int UIwidgetPaletteMUX(OMobj_id obj);
