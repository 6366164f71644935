// Object identifier: an ordered list of unsigned 64-bit arcs.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class CAsn1Oid {
 public:
  CAsn1Oid() = default;
  // Parses the text; null or empty gives an empty OID.
  explicit CAsn1Oid(const wchar_t* text);
  explicit CAsn1Oid(std::wstring_view text);
  CAsn1Oid(std::initializer_list<uint64_t> arcs) : m_arcs(arcs) {}
  explicit CAsn1Oid(std::vector<uint64_t> arcs) : m_arcs(std::move(arcs)) {}

  // Validity: empty, or at least 2 arcs, first <= 2, second <= 39. Logs why not.
  bool Check() const;
  // Dotted decimal without leading or trailing dot; empty for the empty OID.
  std::wstring GetText() const;
  // Replaces the arcs with those read from the text; never fails.
  void Parse(std::wstring_view text);

  bool IsEmpty() const { return m_arcs.empty(); }
  size_t GetCount() const { return m_arcs.size(); }
  uint64_t GetAt(size_t index) const { return m_arcs[index]; }
  const std::vector<uint64_t>& GetArcs() const { return m_arcs; }
  void Add(uint64_t arc) { m_arcs.push_back(arc); }
  void Reserve(size_t count) { m_arcs.reserve(count); }
  void Clear() { m_arcs.clear(); }

  // OID order: arc by arc as unsigned numbers, a proper prefix first
  // (1.3.6 < 1.3.6.0 < 1.3.6.1 < 1.3.7). Negative, 0 or positive.
  static int Compare(std::span<const uint64_t> left, std::span<const uint64_t> right);
  bool operator==(const CAsn1Oid& other) const = default;
  std::strong_ordering operator<=>(const CAsn1Oid& other) const { return Compare(m_arcs, other.m_arcs) <=> 0; }

 private:
  std::vector<uint64_t> m_arcs;
};
