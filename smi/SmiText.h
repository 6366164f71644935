// Texts read from MIB modules (names, constraints, object descriptions),
// kept small.
//
// A name is kept as UTF-8 (a wide text takes four bytes a character): most
// names then need no heap block, and the indexes key on the same bytes.
// Module files are read byte by byte (each byte one character), so a text
// is kept as its bytes; a text given with a character above 0xFF is kept
// wide. Texts handed to a CSmiTextPacker are then moved, a block at a time,
// into compressed blocks shared by the texts of the block: descriptions
// are most of a module's bytes, and read back rarely. A description may
// also stay in its module file, read from there when asked.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct CSmiTextBlock;

// Wide text <-> UTF-8, for every wchar_t value (one outside Unicode is
// written in the longer forms of the original UTF-8): equal texts give
// equal bytes and back.
void SmiAppendUtf8(std::wstring_view text, std::string& out);
std::wstring SmiWideFromUtf8(std::string_view bytes);

class CSmiArena;

// An owned block, or one in a CSmiArena: arena blocks are tagged in their
// lowest bit (heap blocks are aligned) and are not freed by their owner.
inline bool SmiInArena(const void* block) { return (reinterpret_cast<uintptr_t>(block) & 1) != 0; }
template <typename Byte>
Byte* SmiArenaTagged(Byte* block) {
  return reinterpret_cast<Byte*>(reinterpret_cast<uintptr_t>(block) | 1);
}
template <typename Byte>
Byte* SmiUntagged(Byte* block) {
  return reinterpret_cast<Byte*>(reinterpret_cast<uintptr_t>(block) & ~uintptr_t{1});
}
template <typename Byte>
struct CSmiBlockDeleter {
  void operator()(Byte* block) const {
    if (!SmiInArena(block)) delete[] block;
  }
};

// A short text (a declared name, an imported symbol, a constraint) kept as
// UTF-8 in a block of its exact size, behind one pointer. Read it with
// Wide() or Utf8(); compares with wide texts. A name moved into an arena
// (MoveInto) keeps its bytes there: the arena must outlive it, and a copy
// of it takes a block of its own.
class CSmiName {
 public:
  CSmiName() = default;
  CSmiName(std::wstring_view text);
  CSmiName(const std::wstring& text) : CSmiName(std::wstring_view(text)) {}
  CSmiName(const wchar_t* text) : CSmiName(std::wstring_view(text)) {}
  CSmiName(const CSmiName& other) { Set(other.Utf8()); }
  CSmiName(CSmiName&&) noexcept = default;
  CSmiName& operator=(const CSmiName& other) {
    if (this != &other) Set(other.Utf8());
    return *this;
  }
  CSmiName& operator=(CSmiName&&) noexcept = default;

  std::wstring Wide() const { return SmiWideFromUtf8(Utf8()); }
  explicit operator std::wstring() const { return Wide(); }
  std::string_view Utf8() const { return Utf8Of(Block()); }
  bool empty() const { return !m_bytes; }
  // The name's block (null when empty): it stays where it is while the name
  // lives, moves included, so an index may keep it instead of a copy.
  const char* Block() const { return SmiUntagged(m_bytes.get()); }
  static std::string_view Utf8Of(const char* block);
  CSmiName& operator+=(std::wstring_view text);
  // Moves the bytes into the arena and frees the name's own block; the
  // block changes (index the name afterwards).
  void MoveInto(CSmiArena& arena);
  bool InArena() const { return SmiInArena(m_bytes.get()); }

  friend bool operator==(const CSmiName& a, const CSmiName& b) { return a.Utf8() == b.Utf8(); }
  friend bool operator==(const CSmiName& a, std::wstring_view b);
  friend bool operator==(const CSmiName& a, const std::wstring& b) { return a == std::wstring_view(b); }
  friend bool operator==(const CSmiName& a, const wchar_t* b) { return a == std::wstring_view(b); }

 private:
  static constexpr uint8_t kLongLength = 255;
  static size_t BlockSize(size_t length);
  void Set(std::string_view utf8);
  std::unique_ptr<char[], CSmiBlockDeleter<char>> m_bytes;  // the length, then the bytes; null when empty
};

// Blocks of names and OID arcs packed in large chunks that never move,
// freed together (one heap block each costs its header and rounding on top
// of the bytes).
class CSmiArena {
 public:
  // Room for size bytes at an address that is a multiple of align (a power
  // of two, at least 2, at most 16).
  char* Allocate(size_t size, size_t align = 2);
  void Clear();
  size_t Chunks() const { return m_chunks.size(); }

 private:
  static constexpr size_t kChunk = 64 * 1024;
  std::vector<std::unique_ptr<char[]>> m_chunks;
  size_t m_used = kChunk;  // in the last chunk
};

// One counted reference to a text block (a shared_ptr takes two pointers).
class CSmiTextBlockRef {
 public:
  CSmiTextBlockRef() = default;
  explicit CSmiTextBlockRef(CSmiTextBlock* adopted) : m_block(adopted) {}
  CSmiTextBlockRef(const CSmiTextBlockRef& other) noexcept : m_block(other.m_block) { Retain(m_block); }
  CSmiTextBlockRef(CSmiTextBlockRef&& other) noexcept : m_block(other.m_block) { other.m_block = nullptr; }
  CSmiTextBlockRef& operator=(CSmiTextBlockRef other) noexcept {
    std::swap(m_block, other.m_block);
    return *this;
  }
  ~CSmiTextBlockRef() { Release(m_block); }

  const CSmiTextBlock* get() const { return m_block; }
  const CSmiTextBlock* operator->() const { return m_block; }
  const CSmiTextBlock& operator*() const { return *m_block; }
  explicit operator bool() const { return m_block != nullptr; }
  void reset() { *this = CSmiTextBlockRef(); }
  friend bool operator==(const CSmiTextBlockRef& a, const CSmiTextBlockRef& b) { return a.m_block == b.m_block; }

 private:
  static void Retain(CSmiTextBlock* block);
  static void Release(CSmiTextBlock* block);
  CSmiTextBlock* m_block = nullptr;
};

// An immutable text; copies share its block. Reads back as the wide text it
// was set to.
class CSmiText {
 public:
  CSmiText() = default;
  CSmiText(const std::wstring& text) { Assign(text.data(), text.size()); }
  CSmiText(const wchar_t* text) : CSmiText(std::wstring(text)) {}
  CSmiText& operator=(const std::wstring& text) {
    Assign(text.data(), text.size());
    return *this;
  }
  CSmiText& operator=(const wchar_t* text) { return *this = std::wstring(text); }
  void Assign(const wchar_t* text, size_t length);
  // Each byte one character.
  void AssignBytes(const char* bytes, size_t length) { AssignBytes(std::string(bytes, length)); }
  void AssignBytes(std::string&& bytes);
  // A file's texts are read from it when asked; null when the file cannot
  // be looked at. path: UTF-8.
  static CSmiTextBlockRef FileBlock(const std::string& path);
  // length bytes at offset of a file block's file, enclosed in quotes
  // there. Reads back a note instead when the file changed since. False
  // (and the text unchanged) when the range cannot be kept so.
  bool AssignFileRange(const CSmiTextBlockRef& file, uint64_t offset, size_t length);
  // What a text reads as when its file changed or went away.
  static constexpr std::string_view kFileChanged = "(not available: the MIB file changed after it was loaded)";

  std::wstring Wide() const;
  operator std::wstring() const { return Wide(); }
  bool empty() const { return m_length == 0; }
  size_t size() const { return m_length; }

  friend bool operator==(const CSmiText& a, const CSmiText& b);
  friend bool operator==(const CSmiText& a, const std::wstring& b);
  friend bool operator==(const CSmiText& a, const wchar_t* b) { return a == std::wstring(b); }

 private:
  friend class CSmiTextPacker;
  bool IsWide() const;
  // The bytes of a narrow text; valid until the next read on this thread.
  std::string_view Bytes() const;

  CSmiTextBlockRef m_block;  // null when empty
  uint32_t m_offset = 0;     // in the block's bytes
  uint32_t m_length = 0;     // characters
};

// Gathers narrow texts and packs them, once a block is full (or on Flush),
// into one compressed block. A text stays readable throughout; the texts
// handed over must stay where they are until the next Flush or Clear (a
// text set anew meanwhile keeps its new value and is not packed).
class CSmiTextPacker {
 public:
  CSmiTextPacker();
  ~CSmiTextPacker();
  CSmiTextPacker(const CSmiTextPacker&) = delete;
  CSmiTextPacker& operator=(const CSmiTextPacker&) = delete;

  void Add(CSmiText& text);
  void Flush();
  // Forgets the texts not packed yet (they keep their own bytes).
  void Clear();

 private:
  static constexpr size_t kBlockBytes = 32768;
  struct Member {
    CSmiText* text;
    uint64_t serial;  // of the text's block when it was added
    uint32_t offset;
  };
  std::string m_pending;
  std::vector<Member> m_members;
  std::string m_packed;  // room for compressing
  struct Context;
  std::unique_ptr<Context> m_context;
};
