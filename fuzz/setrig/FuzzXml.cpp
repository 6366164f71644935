// Arbitrary file contents for the XML readers and writers. The input's
// first line (up to 64 bytes) is a tag path, the rest the file. After a
// write the file must still parse, and a refused write leaves it unchanged.
#include "quillog/Quillog.h"
#include "setrig/AtomicFile.h"
#include "setrig/ZubXmlEditor.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

std::string g_folder;

void RemoveFolder() {
  std::error_code ec;
  std::filesystem::remove_all(g_folder, ec);
}

const std::string& FilePath() {
  static const std::string path = [] {
    // tmpfs when there is one: the writer's fsync calls cost nothing there.
    const std::string base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    const std::string folder = base + "/tavelo-fuzz-setrig-" + std::to_string(getpid());
    std::filesystem::create_directories(folder);
    g_folder = folder;
    std::atexit(RemoveFolder);
    return folder + "/fuzz.xml";
  }();
  return path;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::string tag;
  std::string text = input;
  const size_t line = input.find('\n');
  if (line != std::string::npos && line <= 64) {
    tag = input.substr(0, line);
    text = input.substr(line + 1);
  }
  if (FILE* f = std::fopen(FilePath().c_str(), "wb")) {
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  } else {
    return 0;
  }
  const std::wstring path = quillog::Utf8ToWide(FilePath());
  const std::wstring wtag = quillog::Utf8ToWide(tag);

  std::wstring value;
  for (const std::wstring& each : {wtag, std::wstring(), std::wstring(L"//*[last()]")}) {
    CZubXmlEditor reader;
    if (!reader.Load(path)) return 0;
    reader.GetTagValue(each, &value);
    reader.GetAttributeValue(each, L"id", &value);
  }

  CZubXmlEditor writer;
  if (!writer.Load(path)) return 0;
  const bool changed = writer.SetTagValue(wtag, L"v<&]]>\u00e9", true) && writer.SetAttributeValue(wtag, L"a", L"\"'&");
  if (!changed) return 0;
  const bool saved = writer.Save();
  std::string after;
  Check(setrig::ReadWholeFile(FilePath(), &after));
  if (!saved) {
    Check(after == text);
    return 0;
  }
  CZubXmlEditor again;
  Check(again.Load(path));
  Check(again.GetTagValue(wtag, &value));
  return 0;
}
