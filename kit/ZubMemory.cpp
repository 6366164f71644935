#include "kit/ZubMemory.h"

#include "kit/ZubCounter.h"
#include "kit/ZubException.h"

#include <cstdlib>

void* Alloc(size_t size) {
  if (size == 0) throw new CZubException(L"Try to allocate a 0 size pointer");
  void* block = std::malloc(size);
  if (block == nullptr) throw new CZubException(L"Memory allocation error");
  ZubCounterMemoryBlocks().Raise();
  return block;
}

void Free(void* block) {
  if (ZubCounterMemoryBlocks().GetCurrent() == 0) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"freeing a memory bloc but 0 bloc allocated");
  }
  if (block == nullptr) throw new CZubException(L"Try to free a NULL pointer");
  ZubCounterMemoryBlocks().Lower();
  std::free(block);
}
