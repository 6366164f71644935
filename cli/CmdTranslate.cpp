// tavelo translate OID|NAME...: best-known name, module and line of an OID
// from the OID name database; the OID of a name.
#include "cli/Cli.h"
#include "cli/CliNames.h"
#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "oidatlas/OidNames.h"
#include "quillog/Quillog.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace cli {
namespace {

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

struct Query {
  std::string oid;  // dotted, no leading dot
  bool named = false;
};

// The dotted OID of each argument; a usage error for one that is none.
std::optional<std::string> ReadQueries(const std::vector<std::string>& texts, std::vector<Query>* queries) {
  for (const std::string& text : texts) {
    if (IsOidName(text)) {
      CAsn1Oid oid;
      if (const auto error = ResolveOid(text, &oid)) return error;
      queries->push_back({Utf8(oid.GetText()), true});
      continue;
    }
    const std::string oid = (!text.empty() && text[0] == '.') ? text.substr(1) : text;
    if (!IsOidText(oid)) return "'" + text + "' is not an OID";
    queries->push_back({oid, false});
  }
  return std::nullopt;
}

}  // namespace

int RunTranslate(const ParsedArgs& args) {
  const Command& command = *FindCommandByName("translate");
  if (args.positional.empty()) return UsageError(command, "no OID given");
  std::vector<Query> queries;
  if (const auto error = ReadQueries(args.positional, &queries)) return UsageError(command, *error);
  int status = kExitOk;
  for (const Query& query : queries) {
    // A name asks for its OID.
    if (query.named) {
      std::printf("%s\n", query.oid.c_str());
      continue;
    }
    const std::u16string key(query.oid.begin(), query.oid.end());
    const oidatlas::KnownName known = oidatlas::FindBestKnownName(key.c_str());
    if (known.name == nullptr) {
      status = Fail(query.oid + ": no known name");
      continue;
    }
    const std::string translation = FromUtf16(known.name) + query.oid.substr(known.matched);
    const std::string module = FromUtf16(known.module);
    if (args.Has("--tsv"))
      std::printf("%s\t%s\t%s\t%u\n", query.oid.c_str(), translation.c_str(), module.c_str(), known.line);
    else if (module.empty())
      std::printf("%s = %s\n", query.oid.c_str(), translation.c_str());
    else
      std::printf("%s = %s (%s, line %u)\n", query.oid.c_str(), translation.c_str(), module.c_str(), known.line);
  }
  return status;
}

}  // namespace cli
