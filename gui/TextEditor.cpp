#include "gui/TextEditor.h"

#include <spawn.h>
#include <sys/wait.h>

#include <thread>
#include <vector>

#include "app/Settings.h"
#include "quillog/Quillog.h"

extern char** environ;

bool StartTextEditor(const std::wstring& file_path) {
  const std::wstring editor = ReadSettingString(SETTING_VIEW_MIB_BROWSER_TEXT_EDITOR);
  const std::wstring command_line = L"\"" + editor + L"\" \"" + file_path + L"\"";
  std::string program = quillog::WideToUtf8(editor);
  std::string file = quillog::WideToUtf8(file_path);
  std::vector<char*> argv = {program.data(), file.data(), nullptr};
  pid_t pid = -1;
  if (program.empty() || ::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
    QuillogW(QUILLOG_ERROR, 0, L"StartTextEditor() : Unable to start editor '%s'", command_line);
    return false;
  }
  // Reap the editor when it ends so it never stays a zombie.
  std::thread([pid] {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return true;
}
