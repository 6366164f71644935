// The SMI scanner: turns MIB module text into tokens for the SMI parser and
// keeps the stack of open MIB files (an IMPORTS clause opens the imported
// module's file in the middle of the importing one; at its end the scanner
// returns to the importing file where it left it).
//
// Files are read in binary; a CR LF pair reaches the rules as one LF.
// One scanner serves one load at a time (it is not thread-safe); nested
// parses for imports share it.
//
// Failures that cannot go on (a token longer than the 16 384-byte input
// buffer, a line of a quoted string or comment longer than 16 MB, a full
// file stack, an internal scanner failure) throw CSmiScannerFatal from
// NextToken/OpenFile; the parser turns it into an SMI error and the loader
// closes every file and starts a fresh scanner.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// What the scanner reports: message, file and line of the last SMI error.
struct SmiError {
  std::wstring message;
  std::wstring file_name;
  int32_t line = 0;
};

// A token's value: its text, each byte of the file one character. A quoted
// string keeps its bytes instead and its text stays empty: the parser only
// ever stores it as bytes (a description), and widening every description
// only to narrow it again was most of the cost of reading one.
struct CSmiToken : std::wstring {
  std::string quoted;
  // Where a quoted string's bytes are in its file, read as they are (no
  // CR dropped before them); -1 when not known.
  int64_t file_offset = -1;
  uint64_t file_serial = 0;  // of the scanner's file it was read from
  // The quoted string as text, each byte one character.
  std::wstring QuotedText() const {
    std::wstring text(quoted.size(), L'\0');
    for (size_t i = 0; i < quoted.size(); ++i) text[i] = static_cast<unsigned char>(quoted[i]);
    return text;
  }
};

class CSmiScannerFatal : public std::runtime_error {
 public:
  explicit CSmiScannerFatal(const std::string& what) : std::runtime_error(what) {}
};

class CSmiScanner {
 public:
  static constexpr size_t kBufferSize = 16384;
  // A line of a quoted string or a comment may grow the buffer up to this.
  static constexpr size_t kMaxLineSize = size_t{16} << 20;
  // Deeper than the 10 files of old: real import chains reach 11.
  static constexpr int kFileStackSize = 32;
  static constexpr size_t kMaxFileName = 1023;

  CSmiScanner();
  ~CSmiScanner();  // closes every open file
  CSmiScanner(const CSmiScanner&) = delete;
  CSmiScanner& operator=(const CSmiScanner&) = delete;

  // 0 on success, 1 on failure (the file stack is then as before the call).
  int OpenFile(const std::wstring& path);
  // Next token code (0 = end of input); value is a pool string or null.
  int NextToken(const CSmiToken** value);
  // 1 when no file is open, 0 after the current file was closed.
  int CloseFile();
  // Closes files until the depth is back to depth.
  void CloseFilesTo(int depth);
  // Drops the flex state after a failure and starts clean (closes files).
  void Restart();
  // Frees every token string.
  void FreeTokenStrings();
  // Ends the token strings handed out since TokenStringCount() was mark
  // (the tokens of a module whose parse has ended). The first slots keep
  // their room for the next module's tokens; the others are freed.
  void FreeTokenStringsFrom(size_t mark);
  size_t TokenStringCount() const { return m_pool_used; }

  // Stores message, current file and line as the last error and logs it.
  void ErrorReport(const std::wstring& message);
  const SmiError& LastError() const { return m_last_error; }
  void ClearLastError() { m_last_error = SmiError(); }

  const std::wstring& FileName() const { return m_file_name; }
  int32_t Line() const;
  int Depth() const { return m_depth; }
  void ClearAccumulator() { m_accumulator.clear(); }

  // Used by the generated rules.
  size_t ReadInput(char* buffer, size_t max);
  // Each byte one character.
  const CSmiToken* PoolBytes(const char* text, size_t length);
  // The accumulated quoted string, copied into the pool.
  const CSmiToken* PoolQuoted();
  // A quoted string's bytes, copied into the pool.
  const CSmiToken* PoolQuoted(const char* bytes, size_t length);
  // The same, read at buffer_index of the buffered bytes last read from
  // the current file: its place in the file is noted.
  const CSmiToken* PoolQuotedAt(const char* bytes, size_t length, size_t buffer_index, size_t buffered);
  // The file being read, told apart from every other file opened (0: none).
  uint64_t FileSerial() const { return m_file ? m_file->serial : 0; }
  // Moves a quoted string's bytes out of its pool token (read once, by the
  // parser that stores it).
  std::string TakeQuoted(const CSmiToken* token);
  std::string& Accumulator() { return m_accumulator; }
  // End of the current file: 1 when scanning is to stop (nothing to return to).
  int AtEndOfFile();
  [[noreturn]] static void Fatal(const char* message);

 private:
  struct InputFile {
    FILE* fp = nullptr;
    uint64_t serial = 0;
    uint64_t delivered = 0;             // bytes handed to the scanner
    uint64_t exact_until = UINT64_MAX;  // those before it are the file's own (no CR dropped)
    ~InputFile();
  };
  struct StackEntry {
    void* buffer = nullptr;  // YY_BUFFER_STATE
    int32_t line = 0;
    std::wstring file_name;
    std::unique_ptr<InputFile> file;
    int start_condition = 0;
  };

  void CreateScanner();
  void DestroyScanner();

  void* m_scanner = nullptr;  // yyscan_t
  StackEntry m_stack[kFileStackSize];
  int m_depth = 0;
  std::unique_ptr<InputFile> m_file;
  void* m_buffer = nullptr;
  std::wstring m_file_name = L"stdin";
  // The file whose end was read last, and its last line: an error found
  // after the outermost file has ended ("unexpected $end") names it.
  std::wstring m_ended_file_name;
  int32_t m_ended_line = 0;
  std::string m_accumulator;  // bytes of the quoted string being read
  CSmiToken& NextPoolSlot();
  // A pool slot holding a copy of a quoted string's bytes, its place unknown.
  CSmiToken& QuotedSlot(const char* bytes, size_t length);

  // Tokens in chunks that never move (values point to them), side by side
  // in the order they are handed out; the first m_pool_used are in use.
  static constexpr size_t kPoolChunk = 512;
  // Chunks whose slots keep their room between modules, and the most a kept
  // slot holds on to.
  static constexpr size_t kKeptChunks = 4;
  static constexpr size_t kKeptRoom = 64;
  CSmiToken& PoolAt(size_t i) { return m_pool[i / kPoolChunk][i % kPoolChunk]; }
  std::vector<std::unique_ptr<CSmiToken[]>> m_pool;
  size_t m_pool_used = 0;
  SmiError m_last_error;
};
