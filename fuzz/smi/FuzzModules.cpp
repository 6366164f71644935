// Feeds arbitrary bytes to the loader as the module FUZZ, in a private
// folder that also holds a small module BASE for its imports to reach.
#include "quillog/Quillog.h"
#include "smi/MibFolders.h"
#include "smi/SmiLoader.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

const char* const kBase = R"(BASE DEFINITIONS ::= BEGIN
IMPORTS FUZZ-X FROM FUZZ;
base OBJECT IDENTIFIER ::= { iso 3 6 1 }
Small ::= TEXTUAL-CONVENTION STATUS current DESCRIPTION "s" SYNTAX INTEGER (0..9)
END
)";

std::string Folder() {
  static const std::string folder = [] {
    std::string path = "/tmp/tavelo-fuzz-smi-" + std::to_string(getpid());
    std::filesystem::create_directories(path);
    if (FILE* f = std::fopen((path + "/BASE.mib").c_str(), "wb")) {
      std::fputs(kBase, f);
      std::fclose(f);
    }
    SetMibSearchFolders({quillog::Utf8ToWide(path)});
    return path;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = Folder() + "/FUZZ.mib";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  static CSmiTree tree;
  CSmiLoader loader(tree);
  loader.Load({CSmiModuleKey::FromString(L"FUZZ")}, true, 1);
  return 0;
}
