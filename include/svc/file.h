// Files: search on a path, tests, extensions and path variables. Needs no X.
#pragma once

// Size of the buffers FILEmap_variables fills.
enum { FILE_MAX_PATH = 1024 };

// Test modes of FILEexists.
enum {
  FILE_EXISTS = 0,         // anything at the path
  FILE_WRITABLE_FILE = 2,  // a regular file the process may write
  FILE_DIRECTORY = 8,      // a folder
  FILE_WRITABLE_DIR = 15,  // a folder the process may write in
};

// Finds a readable regular file: an absolute name (or one with a folder part that exists as
// given) is taken as it is; otherwise each folder of `path` (colon-separated, empty entries
// skipped) is tried in order. `maxLength` bounds the length of a candidate path (at least 32:
// smaller values are taken as FILE_MAX_PATH); the last three arguments are unused. Returns a
// malloc'ed full path the caller frees, or null.
char* FILEfind(const char* name, const char* path, int maxLength, int mode, int unused1,
               int unused2);

// 1 when the test of `mode` (see above) holds for path, else 0.
int FILEexists(const char* path, int mode, int unused);

// The extension of the last component of name, with its dot (a pointer into name), or null
// when it has none. A leading dot (".profile") is not an extension.
const char* FILEget_file_extension(const char* name);

// Expands "$NAME" (the variable's value) and "$NAME<i>" (the i-th folder, from 0, of a
// colon-separated value) in text into buffer (FILE_MAX_PATH bytes, always terminated; longer
// results are cut). NAME is letters, digits and '_'. An unset variable expands to nothing,
// except KLT_PATH, which falls back to FILEdata_dir(). "$$" gives one '$'. Returns
// buffer, or null for null arguments.
char* FILEmap_variables(const char* text, char* buffer);

// The value FILEmap_variables uses for a variable (KLT_PATH falls back to FILEdata_dir());
// null when unset. The pointer is valid until the environment changes.
const char* FILEget_variable(const char* name);

// The kit's data folder (its kit/ templates, runtime/ files and examples/) when $KLT_PATH is
// unset: the installed one (share/corvane-ui beside the library's folder) when the library
// runs from an installation, else the source tree the library was built from.
const char* FILEdata_dir();

// The project's runtime folder: "$KLT_PATH<0>/runtime".
const char* FILEruntime_dir();
