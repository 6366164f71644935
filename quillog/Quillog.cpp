#include "quillog/Quillog.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace quillog {

std::atomic<uint32_t> g_feature_mask{0};

namespace {

// Everything but the mask lives behind one mutex; a line is formatted
// outside it and written with a single write() so lines never interleave.
struct State {
  std::mutex mutex;
  std::wstring program = L"tavelo";
  std::string folder;
  std::string file_path;
  int fd = -1;
  bool file_failed = false;
  bool output = false;
  bool to_stderr = false;
  uint64_t window = 0;
  uint32_t message = 0;
  bool post = false;
  QuillogPoster poster = nullptr;

  ~State() {
    if (fd >= 0) ::close(fd);
  }
};

State& TheState() {
  static State state;
  return state;
}

uint32_t ThreadId() {
  thread_local const uint32_t id = static_cast<uint32_t>(::gettid());
  return id;
}

std::wstring LocalDateTime(int64_t ms) {
  const time_t seconds = static_cast<time_t>(ms / 1000);
  struct tm local {};
  localtime_r(&seconds, &local);
  wchar_t text[40];
  std::swprintf(text, 40, L"%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(ms % 1000));
  return text;
}

// Opens the log file on first use; a failure is told once on stderr.
int OpenFileLocked(State& s) {
  if (s.fd >= 0 || s.file_failed || s.folder.empty()) return s.fd;
  std::error_code ec;
  std::filesystem::create_directories(s.folder, ec);
  s.file_path = s.folder + "/" + WideToUtf8(s.program) + ".log";
  s.fd = ::open(s.file_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (s.fd < 0) {
    s.file_failed = true;
    std::fprintf(stderr, "quillog: cannot open log file %s: %s\n", s.file_path.c_str(), std::strerror(errno));
  }
  return s.fd;
}

void WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

std::string FileLine(const QuillogInfo& r) {
  wchar_t head[160];
  std::swprintf(head, 160, L"%ls [%u:%u] %-7ls %08x ", r.date_time.c_str(), r.process_id, r.thread_id,
                QuillogLevelName(r.level), r.feature);
  return WideToUtf8(head) + WideToUtf8(r.message) + "\n";
}

void Emit(int level, uint32_t feature, std::wstring message) {
  State& s = TheState();
  auto record = std::make_unique<QuillogInfo>();
  record->level = level;
  record->feature = feature;
  record->time_ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
          .count();
  record->date_time = LocalDateTime(record->time_ms);
  record->process_id = static_cast<uint32_t>(::getpid());
  record->thread_id = ThreadId();
  record->message = std::move(message);

  std::lock_guard<std::mutex> lock(s.mutex);
  record->program = s.program;
  if (s.output) {
    const std::string line = FileLine(*record);
    const int fd = OpenFileLocked(s);
    if (fd >= 0) WriteAll(fd, line);
    if (s.to_stderr) WriteAll(STDERR_FILENO, line);
  }
  if (s.post && s.poster != nullptr) {
    QuillogInfo* raw = record.release();
    if (!s.poster(s.window, s.message, raw)) delete raw;
  }
}

}  // namespace

void WriteLine(int level, uint32_t feature, const wchar_t* format, const FormatArg* args, size_t count) {
  Emit(level, feature, FormatV(format, args, count));
}

}  // namespace quillog

using quillog::TheState;

const QuillogFeatureName* QuillogFeatureNames(size_t* count) {
  static const QuillogFeatureName names[] = {
      {L"Lib ODBC", QLF_LIB_ODBC},
      {L"Lib Thread low", QLF_LIB_THREAD_LOW},
      {L"Lib Thread high", QLF_LIB_THREAD_HIGH},
      {L"Lib Thread pool", QLF_LIB_THREAD_POOL},
      {L"Lib Service", QLF_LIB_SERVICE},
      {L"Lib Socket", QLF_LIB_SOCKET},
      {L"Lib Socket TCP", QLF_LIB_SOCKET_TCP},
      {L"Lib Socket SSL", QLF_LIB_SOCKET_SSL},
      {L"Lib Socket action", QLF_LIB_SOCKET_ACTION},
      {L"Program Messages", QLF_PROGRAM_MESSAGES},
      {L"Program Lex File", QLF_PROGRAM_LEX_FILE},
      {L"Program SMI", QLF_PROGRAM_SMI},
      {L"Program SNMP", QLF_PROGRAM_SNMP},
      {L"Program SNMP Decode (In)", QLF_PROGRAM_SNMP_DECODE_IN},
      {L"Program SNMP Decode (Out)", QLF_PROGRAM_SNMP_DECODE_OUT},
      {L"Program SNMP Frame (In)", QLF_PROGRAM_SNMP_FRAME_IN},
      {L"Program SNMP Frame (Out)", QLF_PROGRAM_SNMP_FRAME_OUT},
      {L"Program GUI", QLF_PROGRAM_GUI},
      {L"Program Lex", QLF_PROGRAM_LEX},
      {L"Program Yacc", QLF_PROGRAM_YACC},
      {L"Program Yacc aux", QLF_PROGRAM_YACC_AUX},
  };
  if (count != nullptr) *count = sizeof(names) / sizeof(names[0]);
  return names;
}

const wchar_t* QuillogLevelName(int level) {
  static const wchar_t* const names[] = {L"Info", L"User", L"Warning", L"Error", L"Fatal", L"Dump"};
  if (level < 0 || level > 5) return L"Unknown type";
  return names[level];
}

bool QuillogRegisterW(const wchar_t* program_name) {
  if (program_name == nullptr || *program_name == 0) return false;
  auto& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.program = program_name;
  return true;
}

void QuillogSetFeatureLevel(uint32_t mask) { quillog::g_feature_mask.store(mask, std::memory_order_relaxed); }

uint32_t QuillogGetFeatureLevel() { return quillog::g_feature_mask.load(std::memory_order_relaxed); }

void QuillogOutputEnable() {
  auto& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.output = true;
}

void QuillogOutputDisable() {
  auto& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.output = false;
}

bool QuillogFileSetFolderNameW(const wchar_t* folder) {
  auto& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.fd >= 0) ::close(s.fd);
  s.fd = -1;
  s.file_failed = false;
  s.file_path.clear();
  s.folder = (folder == nullptr) ? std::string() : quillog::WideToUtf8(folder);
  return !s.folder.empty();
}

std::wstring QuillogFilePath() {
  auto& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.folder.empty()) return {};
  return quillog::Utf8ToWide(s.folder + "/" + quillog::WideToUtf8(s.program) + ".log");
}

void QuillogStderrEnable(bool enable) {
  auto& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.to_stderr = enable;
}

void QuillogPostSendMessageSet(uint64_t window, uint32_t message, uint64_t, uint64_t) {
  auto& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.window = window;
  s.message = message;
}

void QuillogPostSendMessageEnable() {
  auto& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.post = true;
}

void QuillogPostSendMessageDisable() {
  auto& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.post = false;
}

void QuillogSetPoster(QuillogPoster poster) {
  auto& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.poster = poster;
}

void QuillogReleaseInfo(QuillogInfo* record) { delete record; }

void QuillogDumpW(uint32_t feature, const wchar_t* title, const void* data, size_t length, uint32_t) {
  if (!quillog::FeatureOn(feature)) return;
  std::wstring text = title != nullptr ? title : L"";
  text += QuillogFormat(L" (%u bytes)", static_cast<uint64_t>(length));
  const auto* bytes = static_cast<const unsigned char*>(data);
  if (bytes == nullptr) length = 0;
  for (size_t row = 0; row < length; row += 16) {
    wchar_t line[100];
    int pos = std::swprintf(line, 100, L"\n%04zx ", row);
    std::wstring ascii;
    for (size_t i = row; i < row + 16; ++i) {
      if (i < length) {
        pos += std::swprintf(line + pos, 100 - pos, L" %02x", bytes[i]);
        ascii += (bytes[i] >= 0x20 && bytes[i] < 0x7F) ? static_cast<wchar_t>(bytes[i]) : L'.';
      } else {
        pos += std::swprintf(line + pos, 100 - pos, L"   ");
      }
    }
    text += line;
    text += L"  ";
    text += ascii;
  }
  quillog::Emit(QUILLOG_DUMP, feature, std::move(text));
}
