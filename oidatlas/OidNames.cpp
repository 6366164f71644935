#include "oidatlas/OidNames.h"

#include "oidatlas/OidSearch.h"

namespace oidatlas {
namespace {

// Whether the zero-terminated pool text equals the ASCII or UTF-8 text; only
// ASCII can match, as names and modules are ASCII.
bool SameText(const char16_t* pooled, std::string_view text) {
  size_t i = 0;
  for (; i < text.size(); ++i) {
    if (pooled[i] == 0 || pooled[i] != static_cast<unsigned char>(text[i])) return false;
  }
  return pooled[i] == 0;
}

std::string Narrow(const char16_t* text) {
  std::string out;
  for (; *text != 0; ++text) out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
  return out;
}

}  // namespace

KnownName FindBestKnownName(const char16_t* oid) {
  KnownName known;
  const KnownPrefix prefix = FindBestKnown(oid);
  if (prefix.record == nullptr) return known;
  known.name = kPool + prefix.record->name;
  known.module = kPool + prefix.record->module;
  known.line = prefix.record->line;
  known.matched = prefix.matched;
  return known;
}

std::vector<NamedOid> FindByName(std::string_view name, std::string_view module) {
  std::vector<NamedOid> found;
  if (name.empty()) return found;
  for (int32_t i = 0; i < kRecordCount; ++i) {
    const OidRecord& r = kRecords[i];
    const char16_t* text = kPool + r.name;
    if (text[0] != static_cast<unsigned char>(name[0]) || !SameText(text, name)) continue;
    if (!module.empty() && !SameText(kPool + r.module, module)) continue;
    found.push_back({Narrow(kPool + r.key), Narrow(kPool + r.module)});
  }
  return found;
}

}  // namespace oidatlas
