// quillog: the program's logging library.
//
// Lines carry a level and a feature mask. A line whose feature bits are all
// clear in the current mask is dropped after one mask test; feature 0 is
// always written. Formats are printf-style wide texts with the Windows
// meaning of the conversions (%s a wide string, %S a narrow one); arguments
// are captured with their types, so a mismatch shows as a marker in the text
// instead of undefined behaviour.
#pragma once

#include "quillog/QuillogFormat.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

// Levels, with the names the log view shows (QuillogLevelName).
enum QuillogLevel : int {
  QUILLOG_INFO = 0,
  QUILLOG_USER = 1,
  QUILLOG_WARNING = 2,
  QUILLOG_ERROR = 3,
  QUILLOG_FATAL = 4,
  QUILLOG_DUMP = 5,
};

// Feature bits.
enum QuillogFeature : uint32_t {
  QLF_NONE = 0,
  QLF_LIB_ODBC = 0x00000001,
  QLF_LIB_THREAD_LOW = 0x00000002,
  QLF_LIB_THREAD_HIGH = 0x00000004,
  QLF_LIB_THREAD_POOL = 0x00000008,
  QLF_LIB_SERVICE = 0x00000010,
  QLF_LIB_SOCKET_TCP = 0x00000020,
  QLF_LIB_SOCKET = 0x00000040,
  QLF_LIB_SOCKET_SSL = 0x00000080,
  QLF_LIB_SOCKET_ACTION = 0x00000100,
  QLF_PROGRAM_SNMP_FRAME_IN = 0x00080000,
  QLF_PROGRAM_SNMP_FRAME_OUT = 0x00100000,
  QLF_PROGRAM_SNMP_DECODE_IN = 0x00200000,
  QLF_PROGRAM_SNMP_DECODE_OUT = 0x00400000,
  QLF_PROGRAM_SNMP = 0x00800000,
  QLF_PROGRAM_MESSAGES = 0x01000000,
  QLF_PROGRAM_SMI = 0x02000000,
  QLF_PROGRAM_GUI = 0x04000000,
  QLF_PROGRAM_LEX_FILE = 0x08000000,
  QLF_PROGRAM_LEX = 0x10000000,
  QLF_PROGRAM_YACC = 0x20000000,
  QLF_PROGRAM_YACC_AUX = 0x40000000,
};

// One feature bit with the name the debug dialog lists it under.
struct QuillogFeatureName {
  const wchar_t* name;
  uint32_t bit;
};
// The features in the order the debug dialog lists them; count in *count.
const QuillogFeatureName* QuillogFeatureNames(size_t* count);

// "Info", "User", "Warning", "Error", "Fatal", "Dump"; "Unknown type" otherwise.
const wchar_t* QuillogLevelName(int level);

// One log line as handed to a posted receiver. Freed with QuillogReleaseInfo.
struct QuillogInfo {
  int level = 0;
  uint32_t feature = 0;
  int64_t time_ms = 0;     // milliseconds since the Unix epoch, UTC
  std::wstring date_time;  // local time, "YYYY-MM-DD hh:mm:ss.mmm"
  uint32_t process_id = 0;
  uint32_t thread_id = 0;
  std::wstring program;
  std::wstring message;
};

// Delivers a record to the registered window. Installed by whoever owns the
// windows (the GUI, or a test). Without one, posted records are released.
// Returns false when the record could not be delivered (it is then released).
using QuillogPoster = bool (*)(uint64_t window, uint32_t message, QuillogInfo* record);

bool QuillogRegisterW(const wchar_t* program_name);
void QuillogSetFeatureLevel(uint32_t mask);
uint32_t QuillogGetFeatureLevel();
void QuillogOutputEnable();
void QuillogOutputDisable();
// Folder for the log file "<program>.log"; created when missing. A folder
// that cannot be used is reported on stderr once and lines go on to the
// posted receiver. Null or empty: no file.
bool QuillogFileSetFolderNameW(const wchar_t* folder);
// Path of the current log file, empty when none.
std::wstring QuillogFilePath();
// Also copy lines to standard error (command-line use).
void QuillogStderrEnable(bool enable);

void QuillogPostSendMessageSet(uint64_t window, uint32_t message, uint64_t reserved1, uint64_t reserved2);
void QuillogPostSendMessageEnable();
void QuillogPostSendMessageDisable();
void QuillogSetPoster(QuillogPoster poster);
void QuillogReleaseInfo(QuillogInfo* record);

// Titled hexadecimal dump, written at level Dump when the feature is on.
void QuillogDumpW(uint32_t feature, const wchar_t* title, const void* data, size_t length, uint32_t zero);

namespace quillog {
extern std::atomic<uint32_t> g_feature_mask;
void WriteLine(int level, uint32_t feature, const wchar_t* format, const FormatArg* args, size_t count);

inline bool FeatureOn(uint32_t feature) {
  return feature == 0 || (g_feature_mask.load(std::memory_order_relaxed) & feature) != 0;
}
}  // namespace quillog

template <typename... Args>
inline void QuillogW(int level, uint32_t feature, const wchar_t* format, const Args&... args) {
  if (!quillog::FeatureOn(feature)) return;
  if constexpr (sizeof...(Args) == 0) {
    quillog::WriteLine(level, feature, format, nullptr, 0);
  } else {
    const quillog::FormatArg list[] = {quillog::FormatArg(args)...};
    quillog::WriteLine(level, feature, format, list, sizeof...(Args));
  }
}
