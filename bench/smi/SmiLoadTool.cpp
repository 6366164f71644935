// Loads MIB modules from one folder and prints what came of it.
//
//   smi_load_tool [--each] [--keep-going] [--objects] [--full] [--log] [--trace=MASK] [--list=FILE] FOLDER [MODULE...]
//
// Without modules (or a --list file of module names, one a line) every
// *.mib module of FOLDER is loaded. --each loads the
// modules one load at a time and prints "OK name" or "FAIL name: message
// (file:line)" for each; otherwise one load takes them all (--keep-going:
// failing modules are reported and skipped). --objects
// prints "oid name" for every name of every object (OID order); --full
// prints every object and type with all it holds (to compare two builds);
// --log copies the log lines to standard error.
#include "quillog/Quillog.h"
#include "smi/MibFolders.h"
#include "smi/SmiLoader.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string Narrow(const std::wstring& text) { return quillog::WideToUtf8(text); }

std::string OneLine(std::wstring text) {
  for (auto& c : text)
    if (c == L'\r' || c == L'\n') c = L' ';
  return Narrow(text);
}

void PrintRecord(const char* kind, const CSmiObject& o) {
  std::printf("%s %s status=%u access=%u type=%s complete=%d visible=%d parent=%s\n", kind,
              Narrow(SmiOidDotted(o.oid)).c_str(), o.status, o.access, OneLine(o.type.DisplayText(true)).c_str(),
              o.IsComplete() ? 1 : 0, o.visible ? 1 : 0, o.parent ? Narrow(o.parent->OidText()).c_str() : "-");
  for (const CSmiType& t : o.type.nested) std::printf("  nested %u %s\n", t.kind, OneLine(t.DisplayText(true)).c_str());
  for (const CSmiDeclaration& d : o.declarations)
    std::printf("  decl %s %s %s %d\n", Narrow(d.name.Wide()).c_str(), Narrow(d.ModuleName()).c_str(),
                Narrow(d.FilePath()).c_str(), d.line);
  std::printf("  description %s\n", Narrow(o.description.Wide()).c_str());
}

void PrintFull() {
  const CSmiTree& tree = SmiTree();
  for (size_t i = 0; i < tree.TypeCount(); ++i) PrintRecord("type", tree.TypeAt(i));
  for (size_t i = 0; i < tree.ObjectCount(); ++i) PrintRecord("object", tree.ObjectAt(i));
  for (const CSmiImport& m : tree.Imports())
    std::printf("import %s %s %s %s\n", Narrow(m.module_name).c_str(), Narrow(m.symbol.Wide()).c_str(),
                Narrow(m.source_module_name).c_str(), Narrow(m.source_file_path).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  bool each = false;
  bool objects = false;
  bool full = false;
  bool keep_going = false;
  std::string list_file;
  int i = 1;
  for (; i < argc && argv[i][0] == '-'; ++i) {
    if (!std::strcmp(argv[i], "--each"))
      each = true;
    else if (!std::strcmp(argv[i], "--objects"))
      objects = true;
    else if (!std::strcmp(argv[i], "--full"))
      full = true;
    else if (!std::strcmp(argv[i], "--keep-going"))
      keep_going = true;
    else if (!std::strncmp(argv[i], "--list=", 7))
      list_file = argv[i] + 7;
    else if (!std::strncmp(argv[i], "--trace=", 8))
      QuillogSetFeatureLevel(std::strtoul(argv[i] + 8, nullptr, 0));
    else if (!std::strcmp(argv[i], "--log")) {
      QuillogOutputEnable();
      QuillogStderrEnable(true);
    }
  }
  if (i >= argc) {
    std::fprintf(stderr, "usage: smi_load_tool [--each] [--objects] FOLDER [MODULE...]\n");
    return 2;
  }
  const std::wstring folder = quillog::Utf8ToWide(argv[i++]);
  SetMibSearchFolders({folder});
  std::vector<std::wstring> names;
  for (; i < argc; ++i) names.push_back(quillog::Utf8ToWide(argv[i]));
  if (!list_file.empty()) {
    std::ifstream list(list_file);
    for (std::string line; std::getline(list, line);)
      if (!line.empty()) names.push_back(quillog::Utf8ToWide(line));
  }
  if (names.empty()) names = ListFolderModules(folder);

  std::vector<CSmiModuleKey> keys;
  for (const auto& name : names) keys.push_back(CSmiModuleKey::FromString(name));

  CSmiLoader loader;
  loader.SetKeepGoing(keep_going);
  const auto start = std::chrono::steady_clock::now();
  int failed = 0;
  if (each) {
    for (const auto& key : keys) {
      if (loader.Load({key}, true, 1)) {
        std::printf("OK %s\n", Narrow(key.module_name).c_str());
      } else {
        ++failed;
        std::printf("FAIL %s: %s\n", Narrow(key.module_name).c_str(), OneLine(loader.ErrorText()).c_str());
      }
    }
  } else if (!loader.Load(keys, true, 1)) {
    ++failed;
    std::printf("FAIL: %s\n", OneLine(loader.ErrorText()).c_str());
  }
  for (const auto& failure : loader.Failures()) {
    ++failed;
    std::fprintf(stderr, "FAIL %s: %s\n", Narrow(failure.module.module_name).c_str(), OneLine(failure.text).c_str());
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  CSmiTreeProtected lock;
  if (full) {
    PrintFull();
  } else if (objects) {
    SmiTree().ForEachObject([](const CSmiObject& o) {
      if (!o.IsComplete()) return;
      const std::string oid = Narrow(SmiOidDotted(o.oid));
      for (const CSmiDeclaration& d : o.declarations)
        if (d.name != L"no-name") std::printf("%s %s\n", oid.c_str(), Narrow(d.name.Wide()).c_str());
    });
  }
  std::fprintf(stderr, "modules=%zu failed=%d objects=%zu types=%zu seconds=%.3f\n", SmiTree().Modules().size(), failed,
               SmiTree().ObjectCount(), SmiTree().TypeCount(), seconds);
  std::fflush(stdout);
  // The tree is not freed one object at a time: the process ends here.
  std::_Exit(failed ? 1 : 0);
}
