// One entry of the simulator library: a folder or a simulator with its
// receive and send settings and its list of OID values.
#pragma once

#include "asn1/Asn1Oid.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// One stored value of a simulator.
struct CSimulatorValue {
  CAsn1Oid oid;
  uint8_t type = 0;
  std::wstring value;

  // The agent engine's encoded answer for this value (its variable-binding
  // list), valid while OID, type and text are those it was made from.
  // Guarded by the simulator's value lock like the rest.
  std::vector<uint8_t> encoded;
  CAsn1Oid encoded_oid;
  std::wstring encoded_text;
  uint8_t encoded_type = 0;
  bool encoded_valid = false;
  bool encodable = false;
};

class CSimulatorEntry {
 public:
  enum Kind : uint32_t { KindNone = 0, KindFolder = 1, KindSimulator = 2 };

  static constexpr uint32_t kDefaultMaxValues = 100;
  // What an SNMP OID may hold: arcs of 32 bits, at most 128 of them.
  static constexpr uint64_t kMaxArc = 0xFFFFFFFF;
  static constexpr size_t kMaxArcs = 128;

  CSimulatorEntry() = default;
  CSimulatorEntry(const CSimulatorEntry&) = delete;
  CSimulatorEntry& operator=(const CSimulatorEntry&) = delete;

  // Back to a fresh entry: empty texts, zero numbers, false flags, no values.
  void Reset();

  // Appends one value; refused (false, with a Warning line) for an OID that
  // is not a valid SNMP OID, a type that a simulator does not accept, a text
  // that does not parse for its type, an OID already in the list, or a full
  // list.
  bool AddValue(const std::wstring& oid_text, const std::wstring& type_name, const std::wstring& value_text);
  // The same checks but the limit: a stored file keeps every value it holds.
  bool AddStoredValue(const std::wstring& oid_text, const std::wstring& type_name, const std::wstring& value_text);

  // True when a simulator may hold values of this type.
  static bool IsAcceptedType(uint8_t type);
  // Why the text is not an OID a value can have (dotted decimal, 2 to 128
  // arcs of at most 4294967295, first at most 2, second at most 39); empty
  // when it is. Empty dot-separated fields are skipped, as CAsn1Oid reads them.
  static std::wstring CheckOidText(const std::wstring& text);
  // Why the text does not parse for the type; empty when it does. Octet
  // String and Opaque texts hold one octet per character (U+0000 to U+00FF).
  static std::wstring CheckValueText(uint8_t type, const std::wstring& text);

  // The value list is shared with the agent engine's thread: hold this lock
  // while reading or changing `values` when the simulator may be running.
  std::unique_lock<std::mutex> LockValues() const { return std::unique_lock<std::mutex>(m_values_lock); }

  // Stable sort of the values into ascending OID order (takes the lock).
  void SortValues();
  size_t GetValueCount() const;

  bool IsFolder() const { return kind == KindFolder; }
  bool IsSimulator() const { return kind == KindSimulator; }

  std::vector<CSimulatorValue> values;
  std::wstring path;
  std::wstring name;
  std::wstring description;
  uint32_t kind = KindNone;
  bool running = false;
  bool root = false;
  uintptr_t tree_item = 0;
  bool loaded = false;
  uint32_t recv_port = 0;
  std::wstring recv_community;
  bool recv_version1 = false;
  bool recv_version2c = false;
  uint32_t send_port = 0;
  std::wstring send_community;
  bool send_to_last_requester = false;
  uint32_t send_address = 0;

  // Library tree links (not owned): the parent folder and the children in
  // the order the scan found them.
  CSimulatorEntry* parent = nullptr;
  std::vector<CSimulatorEntry*> children;

  // Maximum number of values; the library sets it from its settings.
  uint32_t max_values = kDefaultMaxValues;

 private:
  bool _add_value(const std::wstring& oid_text, const std::wstring& type_name, const std::wstring& value_text,
                  bool within_limit);

  mutable std::mutex m_values_lock;
};
