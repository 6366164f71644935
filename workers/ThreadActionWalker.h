// Walks an agent's MIB from the first OID to the last: with GetNext
// requests, or over SNMPv2c with GetBulk when the parameter record asks for
// repetitions. Both walks show the same variables and end alike.
#pragma once

#include "workers/ThreadActionWalkerRequest.h"

#include <atomic>

class CAsn1Object;
class CSnmpGetBulkResponseIn;

class CThreadActionWalker final : public CThreadActionWalkerRequest {
 public:
  ~CThreadActionWalker() override { _shutdown(); }
  const wchar_t* GetClassName() const override { return L"CThreadActionWalker"; }
  void OnAction(uint32_t status, uintptr_t value1, uintptr_t value2, uintptr_t value3) override;

  // Answers handed to the view in the current run.
  uint32_t GetRowNumber() const { return m_row.load(); }

  // The OID asked first for a start OID: the last non-zero arc less one.
  static CAsn1Oid StepBack(const CAsn1Oid& oid);

 protected:
  void _reset_counters() override;
  uint32_t _started_code() const override;
  uint32_t _finished_code() const override;
  std::unique_ptr<CSnmpFrameOut> _new_request() const override;
  std::unique_ptr<CSnmpResponseIn> _new_response() const override;
  const wchar_t* _encode_error() const override;
  const wchar_t* _sent_title() const override { return L"CThreadActionWalker sent data"; }
  const wchar_t* _received_title() const override { return L"CThreadActionWalker received data"; }
  void _fill_request(CSnmpFrameOut& request) const override;

 private:
  bool _bulk() const { return m_parameter.version != 0 && m_parameter.max_repetitions != 0; }
  // One answer to a GetNext; false when the walk ends.
  bool _hand_over(CSnmpResponseIn& frame);
  // One answer to a GetBulk: its bindings in order; false when the walk ends.
  bool _hand_over_bulk(CSnmpGetBulkResponseIn& frame);
  // Whether the answer's error status ends the walk (then logged and marked).
  bool _ends_on_status(const CSnmpResponseIn& frame, const CAsn1Oid& oid);
  // One variable as if it answered a GetNext of the current OID; false when
  // the walk ends.
  bool _take(const CAsn1Object& name, const CAsn1Object& value);

  std::atomic<uint32_t> m_row{0};
};
