#include "oidatlas/OidAtlas.h"

#include "oidatlas/OidSearch.h"

#include <cstddef>

namespace {

using oidatlas::FindBestKnown;
using oidatlas::kPool;

constexpr size_t kTranslateRoom = 1024;

size_t TextLength(const char16_t* text) {
  size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

}  // namespace

extern "C" {

OIDATLAS_API const char16_t* OidAtlas_BestKnown(const char16_t* oid) {
  const oidatlas::KnownPrefix m = FindBestKnown(oid);
  return m.record ? kPool + m.record->key : nullptr;
}

OIDATLAS_API const char16_t* OidAtlas_Translate(const char16_t* oid) {
  thread_local char16_t buffer[kTranslateRoom];
  const oidatlas::KnownPrefix m = FindBestKnown(oid);
  if (!m.record) return nullptr;
  const char16_t* name = kPool + m.record->name;
  const size_t nameLength = TextLength(name);
  const size_t restLength = m.length - m.matched;
  if (nameLength + restLength + 1 > kTranslateRoom) return nullptr;
  char16_t* out = buffer;
  for (size_t i = 0; i < nameLength; ++i) *out++ = name[i];
  for (size_t i = 0; i < restLength; ++i) *out++ = oid[m.matched + i];
  *out = 0;
  return buffer;
}

OIDATLAS_API const char16_t* OidAtlas_MibModule(const char16_t* oid) {
  const oidatlas::KnownPrefix m = FindBestKnown(oid);
  return m.record ? kPool + m.record->module : nullptr;
}

OIDATLAS_API uint32_t OidAtlas_MibLine(const char16_t* oid) {
  const oidatlas::KnownPrefix m = FindBestKnown(oid);
  return m.record ? m.record->line : 0;
}

}  // extern "C"
