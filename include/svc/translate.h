// Translated texts of the user interface, by key. Needs no X.
#pragma once

// The text for key ("UI_OK", "UI_CANCEL" ...): from a loaded translation when there is one,
// else the built-in English text, else the key itself. Never null for a non-null key; the
// caller does not own it (it stays valid for the life of the process).
const char* TMget_translation(const char* key, int unused);

// Reads translations from a file of "KEY=text" lines ('#' starts a comment line; "\n" in a
// text is a line break). Later loads override earlier ones. Returns the number of texts
// read, or -1 when the file cannot be read (nothing changes then).
int TMload_translations(const char* path);

// Forgets every loaded text (the built-in ones stay). Texts handed out before are no longer
// valid, so only a test or a fuzz target that holds none calls this.
void TMclear_translations();
