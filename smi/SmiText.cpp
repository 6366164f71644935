#include "smi/SmiText.h"

#include <zstd.h>

#include <algorithm>
#include <atomic>
#include <limits>
#include <new>

// The bytes of one text (kBytes), the packed bytes of several (kPacked:
// one zstd frame of raw_size bytes), or one wide text (kWide).
struct CSmiTextBlock {
  enum Kind { kBytes, kPacked, kWide };
  Kind kind = kBytes;
  uint64_t serial = 0;  // tells packed blocks apart in the read cache
  size_t raw_size = 0;
  std::string bytes;
  std::wstring wide;
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

}  // namespace

void CSmiText::Assign(const wchar_t* text, size_t length) {
  const bool wide = !std::all_of(text, text + length, [](wchar_t c) { return static_cast<uint32_t>(c) <= 0xFF; });
  if (!wide) {
    std::string bytes(length, '\0');
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>(text[i]);
    AssignBytes(std::move(bytes));
    return;
  }
  auto block = std::make_shared<CSmiTextBlock>();
  block->kind = CSmiTextBlock::kWide;
  block->wide.assign(text, length);
  length_ = CheckedLength(length);
  offset_ = 0;
  block_ = std::move(block);
}

void CSmiText::AssignBytes(std::string&& bytes) {
  length_ = CheckedLength(bytes.size());
  offset_ = 0;
  if (bytes.empty()) {
    block_.reset();
    return;
  }
  auto block = std::make_shared<CSmiTextBlock>();
  block->raw_size = bytes.size();
  block->bytes = std::move(bytes);
  block_ = std::move(block);
}

bool CSmiText::IsWide() const { return block_ && block_->kind == CSmiTextBlock::kWide; }

std::string_view CSmiText::Bytes() const {
  if (!block_) return {};
  const std::string_view all = block_->kind == CSmiTextBlock::kPacked ? Unpacked(*block_) : block_->bytes;
  return all.substr(offset_, length_);
}

std::wstring CSmiText::Wide() const {
  if (IsWide()) return block_->wide;
  const std::string_view bytes = Bytes();
  std::wstring text(bytes.size(), L'\0');
  for (size_t i = 0; i < bytes.size(); ++i) text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
  return text;
}

bool operator==(const CSmiText& a, const std::wstring& b) {
  if (a.IsWide()) return a.block_->wide == b;
  if (a.size() != b.size()) return false;
  const std::string_view bytes = a.Bytes();
  for (size_t i = 0; i < b.size(); ++i)
    if (static_cast<wchar_t>(static_cast<unsigned char>(bytes[i])) != b[i]) return false;
  return true;
}

bool operator==(const CSmiText& a, const CSmiText& b) {
  if (a.size() != b.size()) return false;
  if (a.block_ == b.block_ && a.offset_ == b.offset_) return true;
  if (a.IsWide()) return b == a.block_->wide;
  if (b.IsWide()) return a == b.block_->wide;
  // Both may live in packed blocks: one is read into a copy first.
  const std::string first(a.Bytes());
  return first == b.Bytes();
}

struct CSmiTextPacker::Context {
  ZSTD_CCtx* context = ZSTD_createCCtx();
  ~Context() { ZSTD_freeCCtx(context); }
};

CSmiTextPacker::CSmiTextPacker() : context_(std::make_unique<Context>()) {}
CSmiTextPacker::~CSmiTextPacker() = default;

void CSmiTextPacker::Add(CSmiText& text) {
  if (!text.block_ || text.block_->kind != CSmiTextBlock::kBytes) return;
  const std::string_view bytes = text.Bytes();
  members_.push_back(Member{&text, CheckedLength(pending_.size())});
  pending_.append(bytes);
  if (pending_.size() >= kBlockBytes) Flush();
}

void CSmiTextPacker::Flush() {
  if (members_.empty()) return;
  if (!context_->context) throw std::bad_alloc();
  packed_.resize(ZSTD_compressBound(pending_.size()));
  const size_t n =
      ZSTD_compressCCtx(context_->context, packed_.data(), packed_.size(), pending_.data(), pending_.size(), kLevel);
  if (ZSTD_isError(n)) throw std::bad_alloc();
  auto block = std::make_shared<CSmiTextBlock>();
  block->kind = CSmiTextBlock::kPacked;
  block->serial = NextSerial();
  block->raw_size = pending_.size();
  block->bytes.assign(packed_.data(), n);
  const std::shared_ptr<const CSmiTextBlock> shared = std::move(block);
  for (const Member& m : members_) {
    m.text->block_ = shared;
    m.text->offset_ = m.offset;
  }
  Clear();
}

void CSmiTextPacker::Clear() {
  pending_.clear();
  members_.clear();
  // Room grown for one very long text is given back.
  if (pending_.capacity() > 4 * kBlockBytes) std::string().swap(pending_);
  if (packed_.capacity() > 4 * kBlockBytes) std::string().swap(packed_);
}
