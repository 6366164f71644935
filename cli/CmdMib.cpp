// tavelo mib load: loads MIB modules with the SMI loader and prints every
// visible object, or the loader's error.
#include "app/Settings.h"
#include "cli/Cli.h"
#include "cli/CliOutput.h"
#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "quillog/Quillog.h"
#include "smi/MibFolders.h"
#include "smi/SmiLoader.h"
#include "smi/SmiTree.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string_view>

namespace cli {
namespace {

const Command& Cmd() { return *FindCommandByName("mib"); }

std::vector<std::wstring> SplitFolders(const std::string& text) {
  std::vector<std::wstring> folders;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t colon = std::min(text.find(':', start), text.size());
    if (colon > start) folders.push_back(quillog::Utf8ToWide(text.substr(start, colon - start)));
    start = colon + 1;
  }
  return folders;
}

bool IsPath(const std::string& text) {
  return text.find('/') != std::string::npos || text.find('.') != std::string::npos;
}

// Appends text as UTF-8; ASCII, nearly every MIB text, is copied as is.
void AppendUtf8(std::wstring_view text, std::string& out) {
  size_t ascii = 0;
  while (ascii < text.size() && static_cast<uint32_t>(text[ascii]) < 0x80) ++ascii;
  const size_t start = out.size();
  out.resize(start + ascii);
  for (size_t i = 0; i < ascii; ++i) out[start + i] = static_cast<char>(text[i]);
  if (ascii < text.size()) out += quillog::WideToUtf8(text.substr(ascii));
}

void AppendDotted(const CSmiArcs& oid, std::string& out) {
  char digits[24];
  bool first = true;
  for (const int64_t arc : oid) {
    if (!first) out.push_back('.');
    first = false;
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, arc);
    out.append(digits, end.ptr);
  }
}

// The UTF-8 of the last module's name: objects of one module come together.
class ModuleText {
 public:
  const std::string& Of(CSmiModuleRef module) {
    if (!(module == m_last)) {
      m_utf8.clear();
      AppendUtf8(module.ModuleName().str(), m_utf8);
      m_last = module;
    }
    return m_utf8;
  }

 private:
  CSmiModuleRef m_last;  // none at first, whose name is empty
  std::string m_utf8;
};

void AppendObjectLine(const CSmiObject& object, bool tsv, ModuleText& modules, std::string& out) {
  const CSmiDeclaration& d = object.declarations.front();
  std::wstring type = object.type.DisplayText(false);
  if (type == L"Unknown type") type.clear();  // an OBJECT IDENTIFIER value has none
  AppendDotted(object.oid, out);
  if (tsv) {
    out += '\t';
    out += d.name.Utf8();
    out += '\t';
    AppendUtf8(type, out);
    out += '\t';
    out += modules.Of(d.module);
    out += '\n';
    return;
  }
  out += " = ";
  out += d.name.Utf8();
  if (!d.ModuleName().empty()) {
    out += " (";
    out += modules.Of(d.module);
    out += ')';
  }
  if (!type.empty()) {
    out += ": ";
    AppendUtf8(type, out);
  }
  out += '\n';
}

// Lines gathered in one buffer, written out in large pieces.
class LineWriter {
 public:
  LineWriter() { m_buffer.reserve(2 * kChunk); }
  ~LineWriter() { Flush(); }
  LineWriter(const LineWriter&) = delete;
  LineWriter& operator=(const LineWriter&) = delete;

  std::string& Buffer() { return m_buffer; }
  void MaybeFlush() {
    if (m_buffer.size() >= kChunk) Flush();
  }
  void Flush() {
    if (!m_buffer.empty()) std::fwrite(m_buffer.data(), 1, m_buffer.size(), stdout);
    m_buffer.clear();
  }

 private:
  static constexpr size_t kChunk = 1 << 16;
  std::string m_buffer;
};

// "FILE:LINE: message" from the loader's error text
// ("<message>\r\n\r\nFile:<file>\r\nLine:<line>").
std::string ErrorLine(const CSmiLoader& loader) {
  const std::string text = Utf8(loader.ErrorText());
  const size_t file_at = text.find("\r\n\r\nFile:");
  const size_t line_at = text.find("\r\nLine:", file_at == std::string::npos ? 0 : file_at + 1);
  if (file_at == std::string::npos || line_at == std::string::npos) return text.empty() ? "the load failed" : text;
  const std::string message = text.substr(0, file_at);
  const std::string file = text.substr(file_at + 9, line_at - file_at - 9);
  const std::string line = text.substr(line_at + 7);
  if (file.empty()) return message;
  return file + (line == "0" ? "" : ":" + line) + ": " + message;
}

}  // namespace

int RunMib(const ParsedArgs& args) {
  if (args.positional.empty() || args.positional[0] != "load") return UsageError(Cmd(), "the only sub-command is load");
  if (args.positional.size() < 2) return UsageError(Cmd(), "no module or file given");

  std::vector<std::wstring> folders = SplitFolders(args.Get("-M"));
  const std::vector<std::string> items(args.positional.begin() + 1, args.positional.end());
  for (const std::string& item : items) {
    if (!IsPath(item)) continue;
    if (!std::filesystem::is_regular_file(item)) return Fail(item + ": no such file");
    // The modules a file imports are looked for beside it too.
    folders.push_back(quillog::Utf8ToWide(std::filesystem::path(item).parent_path().string()));
  }
  if (!folders.empty()) {
    const std::vector<std::wstring> standard = MibSearchFolders();
    folders.insert(folders.end(), standard.begin(), standard.end());
    SetMibSearchFolders(folders);
  }
  // Keys are made once the folders are set: a name is located in them.
  std::vector<CSmiModuleKey> modules;
  for (const std::string& item : items) {
    if (!IsPath(item) && !ModuleFileExists(quillog::Utf8ToWide(item))) {
      std::string searched;
      for (const std::wstring& f : MibSearchFolders()) searched += (searched.empty() ? "" : ":") + Utf8(f);
      return Fail("no module " + item + " in the MIB folders (" + searched + ")");
    }
    modules.push_back(IsPath(item) ? CSmiModuleKey::FromPath(quillog::Utf8ToWide(item))
                                   : CSmiModuleKey::FromString(quillog::Utf8ToWide(item)));
  }

  LogWatch watch;
  CSmiTreeProtected lock;
  CSmiLoader loader;
  // Visibility as the browser's module mode 1: the listed modules' objects.
  if (!loader.Load(modules, true, 1)) return Fail(ErrorLine(loader));
  const bool tsv = args.Has("--tsv");
  std::string unresolved;
  LineWriter writer;
  ModuleText module_texts;
  SmiTree().ForEachObject([&](const CSmiObject& object) {
    if (!object.visible || object.declarations.empty()) return;
    if (!object.IsComplete()) {
      const CSmiDeclaration& d = object.declarations.front();
      unresolved += (unresolved.empty() ? "" : ", ") + std::string(d.name.Utf8()) + " (" + Utf8(d.ModuleName()) + ")";
      return;
    }
    AppendObjectLine(object, tsv, module_texts, writer.Buffer());
    writer.MaybeFlush();
  });
  writer.Flush();
  if (!unresolved.empty()) return Fail("no OID could be resolved for " + unresolved);
  return kExitOk;
}

}  // namespace cli
