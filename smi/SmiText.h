// Texts read from MIB modules (object descriptions), kept small.
//
// Module files are read byte by byte (each byte one character), so a text
// is kept as its bytes; a text given with a character above 0xFF is kept
// wide. Texts handed to a CSmiTextPacker are then moved, a block at a time,
// into compressed blocks shared by the texts of the block: descriptions
// are most of a module's bytes, and read back rarely.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct CSmiTextBlock;

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

  std::wstring Wide() const;
  operator std::wstring() const { return Wide(); }
  bool empty() const { return length_ == 0; }
  size_t size() const { return length_; }

  friend bool operator==(const CSmiText& a, const CSmiText& b);
  friend bool operator==(const CSmiText& a, const std::wstring& b);
  friend bool operator==(const CSmiText& a, const wchar_t* b) { return a == std::wstring(b); }

 private:
  friend class CSmiTextPacker;
  bool IsWide() const;
  // The bytes of a narrow text; valid until the next read on this thread.
  std::string_view Bytes() const;

  std::shared_ptr<const CSmiTextBlock> block_;  // null when empty
  uint32_t offset_ = 0;                         // in the block's bytes
  uint32_t length_ = 0;                         // characters
};

// Gathers narrow texts and packs them, once a block is full (or on Flush),
// into one compressed block. A text stays readable throughout; the texts
// handed over must stay where they are until the next Flush or Clear.
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
    uint32_t offset;
  };
  std::string pending_;
  std::vector<Member> members_;
  std::string packed_;  // room for compressing
  struct Context;
  std::unique_ptr<Context> context_;
};
