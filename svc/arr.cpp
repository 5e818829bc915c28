// Arrays the object manager may take over.
#include "svc/arr.h"

#include <cstdint>
#include <cstdlib>

void* ARRalloc_f(void*, int type, int count, void*, const char*, int) {
  size_t size = type == 1   ? sizeof(int)
                : type == 2 ? sizeof(double)
                : type == 3 ? sizeof(char*)
                            : 0;
  if (size == 0 || count < 0 || static_cast<uint64_t>(count) > SIZE_MAX / size / 2) return nullptr;
  return std::calloc(count > 0 ? static_cast<size_t>(count) : 1, size);
}

void ARRfree_f(void* array, const char*, int) {
  std::free(array);
}
