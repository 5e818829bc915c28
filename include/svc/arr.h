// Arrays the object manager may take over: plain blocks of a given element type.
#pragma once

// Allocates count elements of type (1 int, 2 double, 3 char*), zeroed. The first and fourth
// arguments are unused; file and line name the caller for diagnostics. Null when count is
// negative, too large, or memory runs out.
void* ARRalloc_f(void* unused, int type, int count, void* unused2, const char* file, int line);
// Releases a block from ARRalloc_f; null is ignored.
void ARRfree_f(void* array, const char* file, int line);
