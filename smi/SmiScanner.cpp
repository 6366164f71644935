#include "smi/SmiScanner.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "quillog/Quillog.h"
#include "smi/SmiScannerRules.h"

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
  if (smi_yylex_init_extra(this, &scanner_) != 0) throw std::bad_alloc();
}

void CSmiScanner::DestroyScanner() {
  if (!scanner_) return;
  // Detach the current buffer first: flex must not touch it while everything is freed.
  SmiScanSwitchBuffer(nullptr, scanner_);
  SmiScanDeleteBuffer(buffer_, scanner_);
  buffer_ = nullptr;
  file_.reset();
  for (int i = depth_ - 1; i >= 0; --i) {
    SmiScanDeleteBuffer(stack_[i].buffer, scanner_);
    stack_[i] = StackEntry();
  }
  depth_ = 0;
  file_name_ = L"stdin";
  ended_file_name_.clear();
  ended_line_ = 0;
  accumulator_.clear();
  smi_yylex_destroy(scanner_);
  scanner_ = nullptr;
}

void CSmiScanner::Restart() {
  DestroyScanner();
  CreateScanner();
}

int32_t CSmiScanner::Line() const {
  if (!buffer_) return depth_ == 0 ? stack_[0].line : 0;
  return smi_yyget_lineno(scanner_);
}

void CSmiScanner::Fatal(const char* message) { throw CSmiScannerFatal(message); }

void CSmiScanner::ErrorReport(const std::wstring& message) {
  last_error_.message = message;
  last_error_.file_name = file_name_;
  last_error_.line = Line();
  if (!buffer_ && !ended_file_name_.empty()) {
    last_error_.file_name = ended_file_name_;
    last_error_.line = ended_line_;
  }
  QuillogW(QUILLOG_ERROR, QLF_NONE, L"Erreur dans le fichier MIB %s, ligne %d\n\t%s", last_error_.file_name,
           last_error_.line, message);
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
  if (depth_ >= kFileStackSize) {
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
  void* buffer = SmiScanCreateBuffer(fp, scanner_);

  StackEntry& entry = stack_[depth_];
  entry.buffer = buffer_;
  entry.line = Line();
  entry.file_name = file_name_;
  entry.file = std::move(file_);
  entry.start_condition = SmiScanStartCondition(scanner_);
  ++depth_;

  file_ = std::move(file);
  file_name_ = path;
  buffer_ = buffer;
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_LEX_FILE, L"Opening file %d", fileno(fp));
  SmiScanSwitchBuffer(buffer_, scanner_);
  SmiScanSetStartCondition(0, scanner_);
  smi_yyset_lineno(1, scanner_);
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_LEX_FILE, L"Beginning of MIB file %s", path);
  return 0;
}

int CSmiScanner::CloseFile() {
  if (depth_ == 0) return 1;
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_LEX_FILE, L"Closing file %d", file_ && file_->fp ? fileno(file_->fp) : -1);
  file_.reset();
  --depth_;
  SmiScanDeleteBuffer(buffer_, scanner_);
  buffer_ = nullptr;

  StackEntry& entry = stack_[depth_];
  buffer_ = entry.buffer;
  file_name_ = std::move(entry.file_name);
  file_ = std::move(entry.file);
  SmiScanSwitchBuffer(buffer_, scanner_);
  if (buffer_) smi_yyset_lineno(entry.line, scanner_);
  SmiScanSetStartCondition(entry.start_condition, scanner_);
  stack_[depth_] = StackEntry();
  if (!buffer_) stack_[depth_].line = entry.line;
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_LEX_FILE, L"Returning to file %s", file_name_);
  return 0;
}

void CSmiScanner::CloseFilesTo(int depth) {
  while (depth_ > depth && CloseFile() == 0) {
  }
}

int CSmiScanner::AtEndOfFile() {
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_LEX_FILE, L"End of MIB file %s", file_name_);
  ended_file_name_ = file_name_;
  ended_line_ = Line();
  if (CloseFile() == 1) return 1;
  // Nothing left to read once the outermost file is closed.
  return buffer_ ? 0 : 1;
}

int CSmiScanner::NextToken(const CSmiToken** value) {
  *value = nullptr;
  if (!buffer_) return 0;
  return SmiScan(value, scanner_);
}

void CSmiScanner::FreeTokenStrings() {
  pool_.clear();
  pool_.shrink_to_fit();
  pool_used_ = 0;
}

void CSmiScanner::FreeTokenStringsFrom(size_t mark) {
  for (size_t i = mark; i < pool_used_; ++i) {
    CSmiToken& token = PoolAt(i);
    std::wstring().swap(token);
    std::string().swap(token.quoted);
  }
  pool_used_ = std::min(mark, pool_used_);
  pool_.resize((pool_used_ + kPoolChunk - 1) / kPoolChunk);
}

CSmiToken& CSmiScanner::NextPoolSlot() {
  if (pool_used_ == pool_.size() * kPoolChunk) pool_.push_back(std::make_unique<CSmiToken[]>(kPoolChunk));
  return PoolAt(pool_used_++);
}

const CSmiToken* CSmiScanner::PoolQuoted(const char* bytes, size_t length) {
  CSmiToken& slot = NextPoolSlot();
  slot.clear();
  slot.quoted.assign(bytes, length);
  return &slot;
}

const CSmiToken* CSmiScanner::PoolQuoted() {
  const CSmiToken* token = PoolQuoted(accumulator_.data(), accumulator_.size());
  accumulator_.clear();  // it keeps its room for the next one
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
  if (!file_ || !file_->fp || max == 0) return 0;
  FILE* fp = file_->fp;
  const size_t n = std::fread(buffer, 1, max, fp);
  if (n == 0) {
    if (std::ferror(fp)) Fatal("input in flex scanner failed");
    return 0;
  }
  // CR LF becomes LF; a CR followed by anything else stays.
  const char* first_cr = static_cast<const char*>(std::memchr(buffer, '\r', n));
  if (!first_cr) return n;
  size_t out = static_cast<size_t>(first_cr - buffer);
  for (size_t i = out; i < n; ++i) {
    char c = buffer[i];
    if (c == '\r') {
      if (i + 1 < n) {
        if (buffer[i + 1] == '\n') continue;
      } else {
        const int next = std::getc(fp);
        if (next == '\n') {
          c = '\n';
        } else if (next != EOF) {
          std::ungetc(next, fp);
        }
      }
    }
    buffer[out++] = c;
  }
  return out;
}
