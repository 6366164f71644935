// Walks an agent's MIB with GetNext requests from the first OID to the last.
#pragma once

#include "workers/ThreadActionWalkerRequest.h"

#include <atomic>

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
  const wchar_t* _encode_error() const override { return L"Unable to encode SnmpGetNext PDU"; }
  const wchar_t* _sent_title() const override { return L"CThreadActionWalker sent data"; }
  const wchar_t* _received_title() const override { return L"CThreadActionWalker received data"; }

 private:
  // One answer; false when the walk ends.
  bool _hand_over(CSnmpResponseIn& frame);

  std::atomic<uint32_t> m_row{0};
};
