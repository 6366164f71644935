#include "smi/SmiScanner.h"

#include "quillog/Quillog.h"
#include "smi/SmiScannerRules.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <sys/stat.h>

// From the generated scanner (prefix smi_yy).
int smi_yylex_init_extra(CSmiScanner* extra, void** scanner);
int smi_yylex_destroy(void* scanner);
int smi_yyget_lineno(void* scanner);
void smi_yyset_lineno(int line, void* scanner);

CSmiScanner::InputFile::~InputFile() {
  if (fp) std::fclose(fp);
}

CSmiScanner::CSmiScanner() { CreateScanner(); }

CSmiScanner::~CSmiScanner() { DestroyScanner(); }

void CSmiScanner::CreateScanner() {
  if (smi_yylex_init_extra(this, &m_scanner) != 0) throw std::bad_alloc();
}

void CSmiScanner::DestroyScanner() {
  if (!m_scanner) return;
  // Detach the current buffer first: flex must not touch it while everything is freed.
  SmiScanSwitchBuffer(nullptr, m_scanner);
  SmiScanDeleteBuffer(m_buffer, m_scanner);
  m_buffer = nullptr;
  m_file.reset();
  for (int i = m_depth - 1; i >= 0; --i) {
    SmiScanDeleteBuffer(m_stack[i].buffer, m_scanner);
    m_stack[i] = StackEntry();
  }
  m_depth = 0;
  m_file_name = L"stdin";
  m_ended_file_name.clear();
  m_ended_line = 0;
  m_accumulator.clear();
  smi_yylex_destroy(m_scanner);
  m_scanner = nullptr;
}

void CSmiScanner::Restart() {
  DestroyScanner();
  CreateScanner();
}

int32_t CSmiScanner::Line() const {
  if (!m_buffer) return m_depth == 0 ? m_stack[0].line : 0;
  return smi_yyget_lineno(m_scanner);
}

void CSmiScanner::Fatal(const char* message) { throw CSmiScannerFatal(message); }

void CSmiScanner::ErrorReport(const std::wstring& message) {
  m_last_error.message = message;
  m_last_error.file_name = m_file_name;
  m_last_error.line = Line();
  if (!m_buffer && !m_ended_file_name.empty()) {
    m_last_error.file_name = m_ended_file_name;
    m_last_error.line = m_ended_line;
  }
  QuillogW(QUILLOG_ERROR, QLF_NONE, L"Erreur dans le fichier MIB %s, ligne %d\n\t%s", m_last_error.file_name,
           m_last_error.line, message);
}

int CSmiScanner::OpenFile(const std::wstring& path) {
  if (path.size() > kMaxFileName) {
    ErrorReport(QuillogFormat(L"MIB file name longer than %d characters", static_cast<int>(kMaxFileName)));
    return 1;
  }
  const std::string native = quillog::WideToUtf8(path);
  struct stat st;
  if (path.empty() || stat(native.c_str(), &st) != 0) {
    ErrorReport(L"Unable to open SMI file");
    return 1;
  }
  if (m_depth >= kFileStackSize) {
    ErrorReport(QuillogFormat(L"Too many nested MIB files (at most %d)", kFileStackSize));
    return 1;
  }
  FILE* fp = S_ISDIR(st.st_mode) ? nullptr : std::fopen(native.c_str(), "rb");
  if (!fp) {
    QuillogW(QUILLOG_INFO, QLF_PROGRAM_LEX_FILE, L"Unable to open MIB file %s", path);
    ErrorReport(QuillogFormat(L"Unable to open MIB file %s", path));
    return 1;
  }
  auto file = std::make_unique<InputFile>();
  file->fp = fp;
  static uint64_t serial = 0;
  file->serial = ++serial;
  void* buffer = SmiScanCreateBuffer(fp, m_scanner);

  StackEntry& entry = m_stack[m_depth];
  entry.buffer = m_buffer;
  entry.line = Line();
  entry.file_name = m_file_name;
  entry.file = std::move(m_file);
  entry.start_condition = SmiScanStartCondition(m_scanner);
  ++m_depth;

  m_file = std::move(file);
  m_file_name = path;
  m_buffer = buffer;
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_LEX_FILE, L"Opening file %d", fileno(fp));
  SmiScanSwitchBuffer(m_buffer, m_scanner);
  SmiScanSetStartCondition(0, m_scanner);
  smi_yyset_lineno(1, m_scanner);
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_LEX_FILE, L"Beginning of MIB file %s", path);
  return 0;
}

int CSmiScanner::CloseFile() {
  if (m_depth == 0) return 1;
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_LEX_FILE, L"Closing file %d", m_file && m_file->fp ? fileno(m_file->fp) : -1);
  m_file.reset();
  --m_depth;
  SmiScanDeleteBuffer(m_buffer, m_scanner);
  m_buffer = nullptr;

  StackEntry& entry = m_stack[m_depth];
  m_buffer = entry.buffer;
  m_file_name = std::move(entry.file_name);
  m_file = std::move(entry.file);
  SmiScanSwitchBuffer(m_buffer, m_scanner);
  if (m_buffer) smi_yyset_lineno(entry.line, m_scanner);
  SmiScanSetStartCondition(entry.start_condition, m_scanner);
  m_stack[m_depth] = StackEntry();
  if (!m_buffer) m_stack[m_depth].line = entry.line;
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_LEX_FILE, L"Returning to file %s", m_file_name);
  return 0;
}

void CSmiScanner::CloseFilesTo(int depth) {
  while (m_depth > depth && CloseFile() == 0) {
  }
}

int CSmiScanner::AtEndOfFile() {
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_LEX_FILE, L"End of MIB file %s", m_file_name);
  m_ended_file_name = m_file_name;
  m_ended_line = Line();
  if (CloseFile() == 1) return 1;
  // Nothing left to read once the outermost file is closed.
  return m_buffer ? 0 : 1;
}

int CSmiScanner::NextToken(const CSmiToken** value) {
  *value = nullptr;
  if (!m_buffer) return 0;
  return SmiScan(value, m_scanner);
}

void CSmiScanner::FreeTokenStrings() {
  m_pool.clear();
  m_pool.shrink_to_fit();
  m_pool_used = 0;
}

void CSmiScanner::FreeTokenStringsFrom(size_t mark) {
  // A kept slot's room saves an allocation for most tokens of the next module.
  for (size_t i = mark; i < m_pool_used; ++i) {
    CSmiToken& token = PoolAt(i);
    if (i < kKeptChunks * kPoolChunk && token.capacity() <= kKeptRoom) {
      token.clear();
    } else {
      std::wstring().swap(token);
    }
    std::string().swap(token.quoted);
  }
  m_pool_used = std::min(mark, m_pool_used);
  const size_t in_use = (m_pool_used + kPoolChunk - 1) / kPoolChunk;
  m_pool.resize(std::max(in_use, std::min(m_pool.size(), kKeptChunks)));
}

CSmiToken& CSmiScanner::NextPoolSlot() {
  if (m_pool_used == m_pool.size() * kPoolChunk) m_pool.push_back(std::make_unique<CSmiToken[]>(kPoolChunk));
  return PoolAt(m_pool_used++);
}

CSmiToken& CSmiScanner::QuotedSlot(const char* bytes, size_t length) {
  CSmiToken& slot = NextPoolSlot();
  slot.clear();
  slot.quoted.assign(bytes, length);
  slot.file_offset = -1;
  return slot;
}

const CSmiToken* CSmiScanner::PoolQuoted(const char* bytes, size_t length) { return &QuotedSlot(bytes, length); }

const CSmiToken* CSmiScanner::PoolQuotedAt(const char* bytes, size_t length, size_t buffer_index, size_t buffered) {
  CSmiToken& slot = QuotedSlot(bytes, length);
  if (!m_file || buffered > m_file->delivered) return &slot;
  const uint64_t offset = m_file->delivered - buffered + buffer_index;
  // The closing quote too must be where it was read.
  if (offset + length >= m_file->exact_until) return &slot;
  slot.file_offset = static_cast<int64_t>(offset);
  slot.file_serial = m_file->serial;
  return &slot;
}

const CSmiToken* CSmiScanner::PoolQuoted() {
  const CSmiToken* token = PoolQuoted(m_accumulator.data(), m_accumulator.size());
  m_accumulator.clear();  // it keeps its room for the next one
  return token;
}

std::string CSmiScanner::TakeQuoted(const CSmiToken* token) {
  // Every pool token is the scanner's own and not const.
  return std::move(const_cast<CSmiToken*>(token)->quoted);
}

const CSmiToken* CSmiScanner::PoolBytes(const char* text, size_t length) {
  CSmiToken& slot = NextPoolSlot();
  slot.resize(length);
  wchar_t* out = slot.data();
  for (size_t i = 0; i < length; ++i) out[i] = static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
  slot.quoted.clear();
  return &slot;
}

size_t CSmiScanner::ReadInput(char* buffer, size_t max) {
  if (!m_file || !m_file->fp || max == 0) return 0;
  FILE* fp = m_file->fp;
  const size_t n = std::fread(buffer, 1, max, fp);
  if (n == 0) {
    if (std::ferror(fp)) Fatal("input in flex scanner failed");
    return 0;
  }
  // CR LF becomes LF; a CR followed by anything else stays.
  const char* first_cr = static_cast<const char*>(std::memchr(buffer, '\r', n));
  if (!first_cr) {
    m_file->delivered += n;
    return n;
  }
  size_t out = static_cast<size_t>(first_cr - buffer);
  for (size_t i = out; i < n; ++i) {
    char c = buffer[i];
    if (c == '\r') {
      if (i + 1 < n) {
        if (buffer[i + 1] == '\n') {
          m_file->exact_until = std::min(m_file->exact_until, m_file->delivered + out);
          continue;
        }
      } else {
        const int next = std::getc(fp);
        if (next == '\n') {
          c = '\n';
          m_file->exact_until = std::min(m_file->exact_until, m_file->delivered + out);
        } else if (next != EOF) {
          std::ungetc(next, fp);
        }
      }
    }
    buffer[out++] = c;
  }
  m_file->delivered += out;
  return out;
}
