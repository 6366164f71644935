// tavelo translate OID...: best-known name, module and line from the OID
// name database.
#include "cli/Cli.h"
#include "cli/Commands.h"

#include "oidatlas/OidAtlas.h"
#include "quillog/Quillog.h"

#include <cstdint>
#include <string>

namespace cli {
namespace {

std::u16string ToUtf16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::string FromUtf16(const char16_t* text) {
  std::wstring wide;
  for (const char16_t* p = text; p != nullptr && *p != 0; ++p) wide += static_cast<wchar_t>(*p);
  return quillog::WideToUtf8(wide);
}

// Digits and single dots, every arc within 64 bits.
bool IsOidText(const std::string& text) {
  if (text.empty() || text.front() == '.' || text.back() == '.') return false;
  size_t arc_start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] >= '0' && text[i] <= '9') continue;
    if (i < text.size() && text[i] != '.') return false;
    const std::string arc = text.substr(arc_start, i - arc_start);
    if (arc.empty() || !ParseNumber(arc, 0, UINT64_MAX)) return false;
    arc_start = i + 1;
  }
  return true;
}

}  // namespace

int RunTranslate(const ParsedArgs& args) {
  if (args.positional.empty()) return UsageError(*FindCommandByName("translate"), "no OID given");
  for (const std::string& text : args.positional) {
    const std::string oid = (!text.empty() && text[0] == '.') ? text.substr(1) : text;
    if (!IsOidText(oid)) return UsageError(*FindCommandByName("translate"), "'" + text + "' is not an OID");
  }
  int status = kExitOk;
  for (std::string oid : args.positional) {
    if (!oid.empty() && oid[0] == '.') oid.erase(0, 1);
    const std::u16string key = ToUtf16(oid);
    const char16_t* name = OidAtlas_Translate(key.c_str());
    if (name == nullptr) {
      status = Fail(oid + ": no known name");
      continue;
    }
    const std::string translation = FromUtf16(name);  // copied before the next call reuses the buffer
    const std::string module = FromUtf16(OidAtlas_MibModule(key.c_str()));
    const unsigned line = OidAtlas_MibLine(key.c_str());
    if (args.Has("--tsv"))
      std::printf("%s\t%s\t%s\t%u\n", oid.c_str(), translation.c_str(), module.c_str(), line);
    else if (module.empty())
      std::printf("%s = %s\n", oid.c_str(), translation.c_str());
    else
      std::printf("%s = %s (%s, line %u)\n", oid.c_str(), translation.c_str(), module.c_str(), line);
  }
  return status;
}

}  // namespace cli
