// Walks an agent's MIB from the first OID to the last: with GetNext
// requests, or over SNMPv2c with GetBulk when the parameter record asks for
// repetitions. Both walks show the same variables and end alike.
//
// The variables found wait in the worker's outbox, in order, until the view
// takes them. The worker posts MSG_VIEW_WALKER_DATA, with the walk's number
// as payload, each time the outbox stops being empty; it never waits for
// the view. The view calls TakeRows with that number.
#pragma once

#include "workers/ThreadActionWalkerRequest.h"
#include "workers/WalkerResult.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

class CAsn1Object;
class CSnmpGetBulkResponseIn;

class CThreadActionWalker final : public CThreadActionWalkerRequest {
 public:
  ~CThreadActionWalker() override { _shutdown(); }
  const wchar_t* GetClassName() const override { return L"CThreadActionWalker"; }
  void OnAction(uint32_t status, uintptr_t value1, uintptr_t value2, uintptr_t value3) override;

  // Answers handed to the view in the current run.
  uint32_t GetRowNumber() const { return m_row.load(); }

  // The number of the walk the last Start began (unique in the process;
  // 0 before the first).
  uint64_t GetWalk() const { return m_outbox.Run(); }
  // The rows of that walk not taken yet, in order; none for another number.
  std::vector<std::unique_ptr<CWalkerResult>> TakeRows(uint64_t walk) { return m_outbox.Take(walk); }

  // The OID asked first for a start OID: the last non-zero arc less one.
  static CAsn1Oid StepBack(const CAsn1Oid& oid);

 protected:
  void _on_start() override;
  void _reset_counters() override;
  uint32_t _started_code() const override;
  uint32_t _finished_code() const override;
  std::unique_ptr<CSnmpFrameOut> _new_request() const override;
  std::unique_ptr<CSnmpResponseIn> _new_response() const override;
  const wchar_t* _encode_error() const override;
  const wchar_t* _sent_title() const override { return L"CThreadActionWalker sent data"; }
  const wchar_t* _received_title() const override { return L"CThreadActionWalker received data"; }
  void _fill_request(CSnmpFrameOut& request) const override;
  bool _request_fields(SnmpRequestFields& fields) const override;

 private:
  // What one variable of an answer does to the walk.
  enum class Step {
    Skip,      // before the first OID: asked past, not shown
    Show,      // shown, the walk goes on
    ShowLast,  // shown, the walk ends with it (the last OID)
    End,       // the walk ends without it (end of view, not increasing, past the last OID)
  };

  bool _bulk() const { return m_parameter.version != 0 && m_parameter.max_repetitions != 0; }
  int64_t _repetitions() const;
  // The loops after the first request: GetBulk, or GetNext.
  void _walk_bulk();
  void _walk_next();
  // One answer to a GetBulk: its bindings in order; false when the walk ends.
  bool _hand_over_bulk(CSnmpGetBulkResponseIn& frame);
  // Whether the answer's error status ends the walk (then logged and marked).
  bool _ends_on_status(const CSnmpResponseIn& frame, const CAsn1Oid& oid);
  // One variable as if it answered a GetNext of the current OID; false when
  // the walk ends.
  bool _take(const CAsn1Object& name, const CAsn1Object& value);
  // Judges a variable answered to a GetNext of the current OID; it becomes
  // the current OID unless the walk ends. Marks how the walk ends.
  Step _judge(const CAsn1Oid& oid, const CAsn1Object& value);
  // Puts a shown variable in the outbox.
  void _hand(const CAsn1Oid& oid, const CAsn1Object& value);

  std::atomic<uint32_t> m_row{0};
  CRowOutbox<CWalkerResult> m_outbox;
};
