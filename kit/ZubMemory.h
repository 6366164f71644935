// Raw memory blocks. Both functions throw a heap CZubException* on misuse
// (the catcher deletes it) and keep the memory-block counter.
#pragma once

#include <cstddef>

// Size 0 or an allocation failure throws.
void* Alloc(size_t size);
// A null block throws.
void Free(void* block);
