#include "smi/SmiText.h"

#include <zstd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

// The bytes of one text (kBytes), the packed bytes of several (kPacked:
// one zstd frame of raw_size bytes), or one wide text (kWide).
struct CSmiTextBlock {
  enum Kind { kBytes, kPacked, kWide, kFile };
  std::atomic<uint32_t> copies{1};
  Kind kind = kBytes;
  uint64_t serial = 0;  // tells blocks apart (a freed block's address may come back)
  size_t raw_size = 0;
  std::string bytes;  // kFile: the file's path
  std::wstring wide;
  int64_t modified_ns = 0;  // kFile: the file's time, with its size in raw_size
};

namespace {

constexpr int kLevel = 1;  // packing stays a small part of a load

uint32_t CheckedLength(size_t length) {
  if (length > std::numeric_limits<uint32_t>::max()) throw std::bad_alloc();
  return static_cast<uint32_t>(length);
}

uint64_t NextSerial() {
  static std::atomic<uint64_t> serial{0};
  return ++serial;
}

// The packed block read last on this thread, unpacked: texts are mostly
// read in the order they were packed.
struct ReadCache {
  uint64_t serial = 0;
  std::string raw;
  ZSTD_DCtx* context = nullptr;
  ~ReadCache() { ZSTD_freeDCtx(context); }
};

std::string_view Unpacked(const CSmiTextBlock& block) {
  thread_local ReadCache cache;
  if (cache.serial == block.serial) return cache.raw;
  if (!cache.context) cache.context = ZSTD_createDCtx();
  if (!cache.context) throw std::bad_alloc();
  cache.serial = 0;
  cache.raw.resize(block.raw_size);
  const size_t n =
      ZSTD_decompressDCtx(cache.context, cache.raw.data(), cache.raw.size(), block.bytes.data(), block.bytes.size());
  // Blocks are written by this process only: a failure is a memory fault.
  if (ZSTD_isError(n) || n != block.raw_size) throw std::bad_alloc();
  cache.serial = block.serial;
  return cache.raw;
}

int64_t ModifiedNs(const struct stat& st) { return int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec; }

// The file of the text read last on this thread stays open.
struct FileCache {
  uint64_t serial = 0;
  int fd = -1;
  std::string raw;
  ~FileCache() {
    if (fd >= 0) close(fd);
  }
  bool Open(const CSmiTextBlock& block) {
    if (serial == block.serial) return fd >= 0;
    if (fd >= 0) close(fd);
    serial = block.serial;
    fd = open(block.bytes.c_str(), O_RDONLY | O_CLOEXEC);
    return fd >= 0;
  }
};

// length bytes at offset, read from the block's file: they must still sit
// between quotes in a file of the size and time it had when loaded.
std::string_view FileRange(const CSmiTextBlock& block, uint64_t offset, size_t length) {
  thread_local FileCache cache;
  struct stat st;
  if (!cache.Open(block) || fstat(cache.fd, &st) != 0) return CSmiText::kFileChanged;
  if (static_cast<uint64_t>(st.st_size) != block.raw_size || ModifiedNs(st) != block.modified_ns || offset == 0)
    return CSmiText::kFileChanged;
  cache.raw.resize(length + 2);
  const ssize_t n = pread(cache.fd, cache.raw.data(), cache.raw.size(), static_cast<off_t>(offset - 1));
  if (n != static_cast<ssize_t>(cache.raw.size()) || cache.raw.front() != '"' || cache.raw.back() != '"')
    return CSmiText::kFileChanged;
  return std::string_view(cache.raw).substr(1, length);
}

}  // namespace

void CSmiTextBlockRef::Retain(CSmiTextBlock* block) {
  if (block) block->copies.fetch_add(1, std::memory_order_relaxed);
}

void CSmiTextBlockRef::Release(CSmiTextBlock* block) {
  if (block && block->copies.fetch_sub(1, std::memory_order_acq_rel) == 1) delete block;
}

void SmiAppendUtf8(std::wstring_view text, std::string& out) {
  // Names are ASCII but for a rare one: written in one pass.
  const size_t start = out.size();
  out.resize(start + text.size());
  char* at = out.data() + start;
  size_t ascii = 0;
  for (; ascii < text.size() && static_cast<uint32_t>(text[ascii]) < 0x80; ++ascii)
    at[ascii] = static_cast<char>(text[ascii]);
  out.resize(start + ascii);
  for (const wchar_t c : text.substr(ascii)) {
    const uint32_t v = static_cast<uint32_t>(c);
    if (v < 0x80) {
      out.push_back(static_cast<char>(v));
      continue;
    }
    // Lead byte, then 6 bits per continuation byte; 0xFE leads the 32-bit form.
    int extra = v < 0x800 ? 1 : v < 0x10000 ? 2 : v < 0x200000 ? 3 : v < 0x4000000 ? 4 : v < 0x80000000u ? 5 : 6;
    static const unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC, 0xFE};
    out.push_back(static_cast<char>(kLead[extra] | (extra < 6 ? v >> (6 * extra) : 0)));
    while (extra-- > 0) out.push_back(static_cast<char>(0x80 | ((v >> (6 * extra)) & 0x3F)));
  }
}

std::wstring SmiWideFromUtf8(std::string_view bytes) {
  std::wstring text;
  text.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    const unsigned char lead = static_cast<unsigned char>(bytes[i++]);
    if (lead < 0x80) {
      text.push_back(static_cast<wchar_t>(lead));
      continue;
    }
    const int extra = lead >= 0xFE ? 6 : lead >= 0xFC ? 5 : lead >= 0xF8 ? 4 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
    uint32_t v = extra == 6 ? 0 : lead & (0x3F >> extra);
    for (int k = 0; k < extra && i < bytes.size(); ++k) v = (v << 6) | (static_cast<unsigned char>(bytes[i++]) & 0x3F);
    text.push_back(static_cast<wchar_t>(v));
  }
  return text;
}

namespace {

// Room for encoding a name, re-used.
std::string& NameRoom() {
  thread_local std::string room;
  room.clear();
  return room;
}

}  // namespace

CSmiName::CSmiName(std::wstring_view text) {
  std::string& room = NameRoom();
  SmiAppendUtf8(text, room);
  Set(room);
}

// A name block: its length in one byte (below 255), or 255 and then four
// bytes; then the UTF-8 bytes.
size_t CSmiName::BlockSize(size_t length) { return length < kLongLength ? 1 + length : 1 + 4 + length; }

std::string_view CSmiName::Utf8Of(const char* block) {
  if (!block) return {};
  const uint8_t first = static_cast<uint8_t>(block[0]);
  if (first < kLongLength) return std::string_view(block + 1, first);
  uint32_t length = 0;
  std::memcpy(&length, block + 1, sizeof length);
  return std::string_view(block + 1 + sizeof length, length);
}

void CSmiName::Set(std::string_view utf8) {
  if (utf8.empty()) {
    m_bytes.reset();
    return;
  }
  const uint32_t length = CheckedLength(utf8.size());
  auto bytes = std::make_unique_for_overwrite<char[]>(BlockSize(length));
  char* at = bytes.get();
  if (length < kLongLength) {
    *at++ = static_cast<char>(length);
  } else {
    *at++ = static_cast<char>(kLongLength);
    std::memcpy(at, &length, sizeof length);
    at += sizeof length;
  }
  std::memcpy(at, utf8.data(), utf8.size());
  m_bytes.reset(bytes.release());
}

void CSmiName::MoveInto(CSmiArena& arena) {
  if (!m_bytes || InArena()) return;
  const size_t size = BlockSize(Utf8().size());
  char* at = arena.Allocate(size);
  std::memcpy(at, Block(), size);
  m_bytes.reset(SmiArenaTagged(at));
}

char* CSmiArena::Allocate(size_t size, size_t align) {
  if (size > kChunk / 4) {
    // A long one gets a chunk of its own, kept before the partly used one.
    auto own = std::make_unique_for_overwrite<char[]>(size);
    char* at = own.get();
    m_chunks.insert(m_chunks.empty() ? m_chunks.end() : m_chunks.end() - 1, std::move(own));
    return at;
  }
  size_t start = (m_used + align - 1) & ~(align - 1);
  if (start + size > kChunk) {
    m_chunks.push_back(std::make_unique_for_overwrite<char[]>(kChunk));
    start = 0;
  }
  m_used = start + size;
  return m_chunks.back().get() + start;
}

void CSmiArena::Clear() {
  m_chunks.clear();
  m_used = kChunk;
}

CSmiName& CSmiName::operator+=(std::wstring_view text) {
  std::string& room = NameRoom();
  room.append(Utf8());
  SmiAppendUtf8(text, room);
  Set(room);
  return *this;
}

bool operator==(const CSmiName& a, std::wstring_view b) {
  // Mostly ASCII on both sides: compared without building a copy.
  const std::string_view bytes = a.Utf8();
  size_t i = 0;
  for (; i < b.size() && i < bytes.size(); ++i) {
    const uint32_t c = static_cast<uint32_t>(b[i]);
    if (c >= 0x80 || static_cast<unsigned char>(bytes[i]) >= 0x80) break;
    if (static_cast<char>(c) != bytes[i]) return false;
  }
  if (i == b.size() && i == bytes.size()) return true;
  std::string rest;
  SmiAppendUtf8(b.substr(i), rest);
  return bytes.substr(i) == rest;
}

void CSmiText::Assign(const wchar_t* text, size_t length) {
  const bool wide = !std::all_of(text, text + length, [](wchar_t c) { return static_cast<uint32_t>(c) <= 0xFF; });
  if (!wide) {
    std::string bytes(length, '\0');
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>(text[i]);
    AssignBytes(std::move(bytes));
    return;
  }
  auto block = std::make_unique<CSmiTextBlock>();
  block->kind = CSmiTextBlock::kWide;
  block->serial = NextSerial();
  block->wide.assign(text, length);
  m_length = CheckedLength(length);
  m_offset = 0;
  m_block = CSmiTextBlockRef(block.release());
}

void CSmiText::AssignBytes(std::string&& bytes) {
  m_length = CheckedLength(bytes.size());
  m_offset = 0;
  if (bytes.empty()) {
    m_block.reset();
    return;
  }
  auto block = std::make_unique<CSmiTextBlock>();
  block->serial = NextSerial();
  block->raw_size = bytes.size();
  block->bytes = std::move(bytes);
  m_block = CSmiTextBlockRef(block.release());
}

CSmiTextBlockRef CSmiText::FileBlock(const std::string& path) {
  struct stat st;
  if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  auto block = std::make_unique<CSmiTextBlock>();
  block->kind = CSmiTextBlock::kFile;
  block->serial = NextSerial();
  block->raw_size = static_cast<size_t>(st.st_size);
  block->modified_ns = ModifiedNs(st);
  block->bytes = path;
  return CSmiTextBlockRef(block.release());
}

bool CSmiText::AssignFileRange(const CSmiTextBlockRef& file, uint64_t offset, size_t length) {
  if (!file || file->kind != CSmiTextBlock::kFile || offset == 0 || offset > UINT32_MAX || length == 0 ||
      length > UINT32_MAX)
    return false;
  m_length = static_cast<uint32_t>(length);
  m_offset = static_cast<uint32_t>(offset);
  m_block = file;
  return true;
}

bool CSmiText::IsWide() const { return m_block && m_block->kind == CSmiTextBlock::kWide; }

std::string_view CSmiText::Bytes() const {
  if (!m_block) return {};
  if (m_block->kind == CSmiTextBlock::kFile) return FileRange(*m_block, m_offset, m_length);
  const std::string_view all = m_block->kind == CSmiTextBlock::kPacked ? Unpacked(*m_block) : m_block->bytes;
  return all.substr(m_offset, m_length);
}

std::wstring CSmiText::Wide() const {
  if (IsWide()) return m_block->wide;
  const std::string_view bytes = Bytes();
  std::wstring text(bytes.size(), L'\0');
  for (size_t i = 0; i < bytes.size(); ++i) text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
  return text;
}

bool operator==(const CSmiText& a, const std::wstring& b) {
  if (a.IsWide()) return a.m_block->wide == b;
  if (a.size() != b.size()) return false;
  const std::string_view bytes = a.Bytes();
  if (bytes.size() != b.size()) return false;  // a file changed since
  for (size_t i = 0; i < b.size(); ++i)
    if (static_cast<wchar_t>(static_cast<unsigned char>(bytes[i])) != b[i]) return false;
  return true;
}

bool operator==(const CSmiText& a, const CSmiText& b) {
  if (a.size() != b.size()) return false;
  if (a.m_block == b.m_block && a.m_offset == b.m_offset) return true;
  if (a.IsWide()) return b == a.m_block->wide;
  if (b.IsWide()) return a == b.m_block->wide;
  // Both may live in packed blocks: one is read into a copy first.
  const std::string first(a.Bytes());
  return first == b.Bytes();
}

struct CSmiTextPacker::Context {
  ZSTD_CCtx* context = ZSTD_createCCtx();
  ~Context() { ZSTD_freeCCtx(context); }
};

CSmiTextPacker::CSmiTextPacker() : m_context(std::make_unique<Context>()) {}
CSmiTextPacker::~CSmiTextPacker() = default;

void CSmiTextPacker::Add(CSmiText& text) {
  if (!text.m_block || text.m_block->kind != CSmiTextBlock::kBytes) return;
  const std::string_view bytes = text.Bytes();
  m_members.push_back(Member{&text, text.m_block->serial, CheckedLength(m_pending.size())});
  m_pending.append(bytes);
  if (m_pending.size() >= kBlockBytes) Flush();
}

void CSmiTextPacker::Flush() {
  if (m_members.empty()) return;
  if (!m_context->context) throw std::bad_alloc();
  m_packed.resize(ZSTD_compressBound(m_pending.size()));
  const size_t n = ZSTD_compressCCtx(m_context->context, m_packed.data(), m_packed.size(), m_pending.data(),
                                     m_pending.size(), kLevel);
  if (ZSTD_isError(n)) throw std::bad_alloc();
  auto block = std::make_unique<CSmiTextBlock>();
  block->kind = CSmiTextBlock::kPacked;
  block->serial = NextSerial();
  block->raw_size = m_pending.size();
  block->bytes.assign(m_packed.data(), n);
  const CSmiTextBlockRef shared(block.release());
  for (const Member& m : m_members) {
    if (!m.text->m_block || m.text->m_block->serial != m.serial) continue;  // set anew since
    m.text->m_block = shared;
    m.text->m_offset = m.offset;
  }
  Clear();
}

void CSmiTextPacker::Clear() {
  m_pending.clear();
  m_members.clear();
  // Room grown for one very long text is given back.
  if (m_pending.capacity() > 4 * kBlockBytes) std::string().swap(m_pending);
  if (m_packed.capacity() > 4 * kBlockBytes) std::string().swap(m_packed);
}
