#include "oidatlas/generator/MibRecordSource.h"

#include "smi/MibFolders.h"
#include "smi/SmiLoader.h"
#include "smi/SmiTree.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <signal.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace oidatlas::gen {

namespace {

std::string Utf8(const std::wstring& text) {
  std::u16string units;
  for (const wchar_t c : text) {
    auto cp = static_cast<char32_t>(c);
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(cp));
    }
  }
  return Utf16ToUtf8(units);
}

std::wstring Wide(const std::string& text) {
  std::u16string units;
  if (!Utf8ToUtf16(text, &units)) return std::wstring(text.begin(), text.end());
  std::wstring out;
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t cp = units[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units.size()) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (units[++i] - 0xDC00);
    }
    out.push_back(static_cast<wchar_t>(cp));
  }
  return out;
}

// One line, without the loader's "\r\n\r\nFile:...\r\nLine:..." layout.
std::string OneLine(const std::wstring& text) {
  std::string out = Utf8(text);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  std::string squeezed;
  for (const char c : out) {
    if (c == ' ' && !squeezed.empty() && squeezed.back() == ' ') continue;
    squeezed.push_back(c);
  }
  return squeezed;
}

bool AllArcsValid(const CSmiArcs& oid) { return !oid.empty() && oid.Narrow(); }

// Runs in the child: loads the module and writes "OID\tname\tline" lines,
// "!skipped N" and "!error TEXT" to fd.
void LoadInChild(const std::wstring& wideName, int fd) {
  std::ostringstream out;
  CSmiTree tree;
  CSmiLoader loader(tree);
  const CSmiModuleKey key = CSmiModuleKey::FromString(wideName);
  if (!loader.Load({key}, true, 0)) {
    std::string error = OneLine(loader.ErrorText());
    out << "!error " << (error.empty() ? "the loader gave no reason" : error) << '\n';
  } else {
    size_t skipped = 0;
    CSmiTreeProtected lock(tree);
    tree.ForEachObject([&](const CSmiObject& object) {
      const bool usable = object.IsComplete() && AllArcsValid(object.oid);
      const std::string oid = usable ? Utf8(SmiOidDotted(object.oid)) : std::string();
      for (const CSmiDeclaration& d : object.declarations) {
        if (d.ModuleName() != key.module_name || d.name.empty()) continue;
        if (!usable || !CheckKey(oid).empty()) {
          ++skipped;
          continue;
        }
        out << oid << '\t' << d.name.Utf8() << '\t' << std::max<int32_t>(d.line, 0) << '\n';
      }
    });
    out << "!skipped " << skipped << '\n';
    std::set<std::string> sources;
    for (const CSmiImport& i : tree.Imports())
      if (i.module_name == key.module_name) sources.insert(Utf8(i.source_module_name));
    if (key.module_name == L"SNMPv2-SMI" || sources.count("SNMPv2-SMI") != 0) out << "!smiv2\n";
    for (const std::string& source : sources) out << "!import " << source << '\n';
  }
  const std::string text = out.str();
  for (size_t done = 0; done < text.size();) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) _exit(3);
    done += static_cast<size_t>(n);
  }
}

bool ParseChildOutput(const std::string& text, std::vector<MibRecordSource::Record>* records, MibModuleResult* result) {
  std::istringstream in(text);
  std::string line;
  bool complete = false;
  while (std::getline(in, line)) {
    if (line.rfind("!error ", 0) == 0) {
      result->error = line.substr(7);
      return true;
    }
    if (line == "!smiv2") {
      result->smiv2 = true;
      continue;
    }
    if (line.rfind("!import ", 0) == 0) {
      result->imports.push_back(line.substr(8));
      continue;
    }
    if (line.rfind("!skipped ", 0) == 0) {
      result->skipped = std::stoul(line.substr(9));
      complete = true;
      continue;
    }
    const size_t t1 = line.find('\t');
    const size_t t2 = line.rfind('\t');
    if (t1 == std::string::npos || t2 == t1) return false;
    records->push_back(
        {line.substr(0, t1), line.substr(t1 + 1, t2 - t1 - 1), static_cast<uint32_t>(std::stoul(line.substr(t2 + 1)))});
  }
  return complete;
}

}  // namespace

MibRecordSource::MibRecordSource(const std::string& folder) : m_folder(folder) { SetMibSearchFolders({Wide(folder)}); }

std::vector<std::string> MibRecordSource::FolderModules() const {
  std::vector<std::string> names;
  for (const std::wstring& name : ListFolderModules(Wide(m_folder))) names.push_back(Utf8(name));
  return names;
}

// Each module loads in a child process, so that a module that crashes or
// hangs the loader is reported and skipped instead of ending the run.
MibModuleResult MibRecordSource::Load(const std::string& module) {
  MibModuleResult result;
  result.module = module;
  const std::wstring wideName = Wide(module);
  if (!ModuleFileExists(wideName)) {
    result.error = "no file " + module + ".mib in " + m_folder;
    return result;
  }
  int fds[2];
  if (pipe(fds) != 0) {
    result.error = std::string("pipe failed: ") + std::strerror(errno);
    return result;
  }
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) {
    result.error = std::string("fork failed: ") + std::strerror(errno);
    close(fds[0]);
    close(fds[1]);
    return result;
  }
  if (child == 0) {
    close(fds[0]);
    alarm(kChildSeconds);
    LoadInChild(wideName, fds[1]);
    _exit(0);
  }
  close(fds[1]);
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  close(fds[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFSIGNALED(status)) {
    result.error = WTERMSIG(status) == SIGALRM
                       ? "the SMI loader did not finish within " + std::to_string(kChildSeconds) + " seconds"
                       : "the SMI loader crashed (signal " + std::to_string(WTERMSIG(status)) + ")";
    return result;
  }
  std::vector<Record> records;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !ParseChildOutput(text, &records, &result)) {
    if (result.error.empty()) result.error = "the SMI loader's output was cut short";
    return result;
  }
  if (!result.error.empty()) return result;
  result.records = records.size();
  m_loaded.emplace_back(module, std::move(records));
  return result;
}

bool MibRecordSource::AddTo(const std::vector<std::string>& modules, OidRecordList* list, std::string* error) const {
  for (const std::string& module : modules) {
    const auto it = std::find_if(m_loaded.begin(), m_loaded.end(), [&](const auto& m) { return m.first == module; });
    if (it == m_loaded.end()) continue;
    for (const Record& r : it->second) {
      std::string why;
      if (!list->Add(r.key, r.name, module, r.line, &why)) {
        *error = module + ": " + why;
        return false;
      }
    }
  }
  return true;
}

}  // namespace oidatlas::gen
