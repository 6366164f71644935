#include "gui/TextEditor.h"

#include "app/Settings.h"
#include "quillog/Quillog.h"

#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

int StartDetached(const std::string& program, const std::string& argument) {
  std::string name = program;
  std::string arg = argument;
  std::vector<char*> argv = {name.data(), arg.data(), nullptr};
  pid_t pid = -1;
  if (name.empty()) return EINVAL;
  const int code = ::posix_spawnp(&pid, name.c_str(), nullptr, nullptr, argv.data(), environ);
  if (code != 0) return code;
  // Reap the program when it ends so it never stays a zombie.
  std::thread([pid] {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return 0;
}

bool StartTextEditor(const std::wstring& file_path) {
  const std::wstring editor = ReadSettingString(SETTING_VIEW_MIB_BROWSER_TEXT_EDITOR);
  if (StartDetached(quillog::WideToUtf8(editor), quillog::WideToUtf8(file_path)) != 0) {
    const std::wstring command_line = L"\"" + editor + L"\" \"" + file_path + L"\"";
    QuillogW(QUILLOG_ERROR, 0, L"StartTextEditor() : Unable to start editor '%s'", command_line);
    return false;
  }
  return true;
}
