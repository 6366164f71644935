// The agent simulator engine: listens on a UDP port and answers SNMPv1 and
// SNMPv2c Get, GetNext and Set requests, and SNMPv2c GetBulk, every binding
// of them, from one simulator's value list.
#pragma once

#include "snmp/SnmpFrameOut.h"
#include "snmp/SnmpGenericFrameIn.h"
#include "workers/ThreadSnmp.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CBerDecoder;
class CBerEncoder;
class CSimulatorEntry;
struct CSimulatorValue;

// A request frame whose elements are kept for the next datagram instead of
// being freed, so that serving a request allocates nothing once warm.
class CSimulerFrameIn : public CSnmpGenericFrameIn {
 public:
  // Moves the elements aside and empties the frame.
  void Recycle();
  // A fresh element, re-used when one is kept.
  std::unique_ptr<CAsn1Object> NewElement();

 private:
  std::vector<std::unique_ptr<CAsn1Object>> m_spare;
};

// A response whose elements are put back to their constructed state before
// each answer (copy-assignment keeps the texts' storage).
class CSimulerResponseOut : public CSnmpResponseOut {
 public:
  void Reset(const CSnmpResponseOut& fresh);
};

class CThreadActionSimuler : public CThreadSnmp {
 public:
  CThreadActionSimuler();
  ~CThreadActionSimuler() override;

  // Copies the receive settings and hands the worker to the pool. The
  // simulator is not owned and must outlive the run.
  bool Start(uint32_t recv_port, bool accept_version1, bool accept_version2c, const std::wstring& community,
             CSimulatorEntry* simulator);

  // The local IPv4 address (dotted) the next Start listens on; empty for
  // every address, as by default.
  void SetLocalAddress(const std::wstring& address) { m_local_address = address; }

  // Sets the answering parameters without starting (Start does it too).
  void Configure(bool accept_version1, bool accept_version2c, const std::wstring& community,
                 CSimulatorEntry* simulator);

  const wchar_t* GetClassName() const override { return L"CThreadActionSimuler"; }

  void OnBegin() override;
  void OnAction(uint32_t status, uintptr_t value1, uintptr_t value2, uintptr_t value3) override;
  void OnEnd() override;

  // Handles one received datagram (decoder already sized). True with the
  // encoded answer in `answer` (a fresh encoder); false when the request is
  // dropped. An answer larger than the encoder holds becomes tooBig, and a
  // Set answered so changes nothing.
  bool HandleDatagram(CBerDecoder& decoder, CBerEncoder& answer);

  // The same answer as HandleDatagram for the common requests (a Get or
  // GetNext with one binding, an accepted version and the right community,
  // no trace feature on), built without the element lists. False when the
  // request is not one of those; nothing has happened then, and the
  // datagram goes through HandleDatagram.
  bool AnswerFast(const uint8_t* data, uint32_t length, std::vector<uint8_t>* answer);

  // From Start until the end step has run (or Start failed).
  bool IsBusy() const;
  // Waits until the begin step has run (true), or the run ended, or time-out.
  bool WaitBegun(uint32_t timeout_ms);
  // Waits until the worker is idle again; false on time-out.
  bool WaitIdle(uint32_t timeout_ms);

  CSimulatorEntry* GetSimulator() const { return m_simulator; }
  uint32_t GetRecvPort() const { return m_recv_port; }

 protected:
  bool _open_socket() override;
  uint32_t _view_message() const override;
  uint32_t _started_code() const override;
  uint32_t _finished_code() const override;
  bool _posts() const override { return true; }

 private:
  // One binding of the request being answered: its name, its value element,
  // and the value's whole encoding and content as received.
  struct Binding {
    const CAsn1Oid* name = nullptr;
    const CAsn1Object* value = nullptr;
    const uint8_t* encoding = nullptr;
    size_t encoding_size = 0;
    const uint8_t* content = nullptr;
    size_t content_size = 0;
  };
  // A Set's change, made once its answer is encoded (not when it is tooBig).
  struct PendingSet {
    CSimulatorValue* value = nullptr;
    std::wstring text;
  };
  enum class Outcome { Dropped, Answered, TooBig };

  bool _decode(CBerDecoder& decoder, CSimulerFrameIn& frame);
  bool _accept(CSnmpGenericFrameIn& frame);
  bool _read_bindings(const CSnmpGenericFrameIn& frame);
  bool _split_bindings(const CSnmpGenericFrameIn& frame);
  bool _answer(CSimulerFrameIn& frame, CBerEncoder& encoder);
  bool _answer_too_big(CBerEncoder& encoder);
  size_t _answer_size(size_t list_content) const;
  void _dump_answer(const CBerEncoder& encoder) const;
  // The handlers add the answer's bindings to m_out (value lock held).
  Outcome _handle_get();
  Outcome _handle_get_next(const CSnmpGenericFrameIn& frame);
  Outcome _handle_get_bulk(const CSnmpGenericFrameIn& frame);
  Outcome _handle_set(const CSnmpGenericFrameIn& frame);
  Outcome _refuse(uint32_t status, size_t binding);
  Outcome _append_value(CSimulatorValue& value);
  Outcome _append_next(const CAsn1Oid& oid, bool version1, size_t binding, const CAsn1Oid** found);
  Outcome _append_echo(const Binding& binding);
  Outcome _append_list(CSnmpResponseOut& scratch);
  bool _commit_set();
  void _set_state(bool busy, bool begun);

  uint32_t m_recv_port = 0;
  std::wstring m_local_address;
  bool m_accept_version1 = false;
  bool m_accept_version2c = false;
  std::wstring m_community;
  CSimulatorEntry* m_simulator = nullptr;

  // Used by one request at a time (the worker thread, or a direct caller).
  CSimulerFrameIn m_frame;
  CSimulerResponseOut m_answer;
  const CSnmpResponseOut m_fresh_answer;
  std::vector<uint8_t> m_fast_answer;
  std::vector<uint8_t> m_fast_binding;
  std::vector<uint8_t> m_fast_scratch;
  std::vector<uint8_t> m_fast_head;

  // The datagram being handled and what its answer is made of.
  const uint8_t* m_request_data = nullptr;
  size_t m_request_size = 0;
  std::vector<Binding> m_bindings;
  bool m_name_refused = false;
  int64_t m_version = 0;
  int64_t m_request_id = 0;
  uint32_t m_status = 0;
  uint32_t m_index = 0;
  std::vector<uint8_t> m_out;
  std::vector<uint8_t> m_list;
  std::vector<const CAsn1Oid*> m_cursors;
  std::vector<PendingSet> m_pending_sets;

  mutable std::mutex m_state_lock;
  std::condition_variable m_state_changed;
  bool m_busy = false;
  bool m_begun = false;
};
