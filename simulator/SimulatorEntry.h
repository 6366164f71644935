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

// CAsn1Oid::Compare under the names the simulator code has used.
int CompareOid(const std::vector<uint64_t>& left, const std::vector<uint64_t>& right);
int CompareOid(const CAsn1Oid& left, const CAsn1Oid& right);

class CSimulatorEntry {
 public:
  enum Kind : uint32_t { KindNone = 0, KindFolder = 1, KindSimulator = 2 };

  static constexpr uint32_t kDefaultMaxValues = 100;

  CSimulatorEntry() = default;
  CSimulatorEntry(const CSimulatorEntry&) = delete;
  CSimulatorEntry& operator=(const CSimulatorEntry&) = delete;

  // Back to a fresh entry: empty texts, zero numbers, false flags, no values.
  void Reset();

  // Appends one value; refused (false, with a Warning line) for a type that
  // a simulator does not accept, an OID already in the list, or a full list.
  bool AddValue(const std::wstring& oid_text, const std::wstring& type_name, const std::wstring& value_text);

  // True when a simulator may hold values of this type.
  static bool IsAcceptedType(uint8_t type);

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
  mutable std::mutex m_values_lock;
};
