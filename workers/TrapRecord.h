// One received trap, posted by the trap receiver to the trapper view
// (MSG_VIEW_TRAPPER_DATA). The record owns its decoded frame; the view that
// receives the record owns it.
#pragma once

#include "snmp/SnmpTrapIn.h"

#include <cstdint>
#include <ctime>
#include <memory>

class CTrapRecord {
 public:
  // Takes the next number of the process-wide counter and the current time.
  CTrapRecord();
  ~CTrapRecord();
  CTrapRecord(const CTrapRecord&) = delete;
  CTrapRecord& operator=(const CTrapRecord&) = delete;

  uint64_t GetNumber() const { return m_number; }
  int64_t GetTime() const { return m_time; }  // seconds since 1970
  bool IsExpanded() const { return m_expanded; }
  void SetExpanded(bool expanded) { m_expanded = expanded; }
  CSnmpTrapIn& GetFrame() { return *m_frame; }
  const CSnmpTrapIn& GetFrame() const { return *m_frame; }

 private:
  uint64_t m_number;
  int64_t m_time;
  bool m_expanded = false;
  std::unique_ptr<CSnmpTrapIn> m_frame;
};
