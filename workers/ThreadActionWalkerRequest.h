// What the walk, Get and Set workers share: the parameter record, the
// client socket, sending a request, waiting for the answer with time-outs
// and retries, and receiving it.
#pragma once

#include "workers/ThreadActionWalkerParameter.h"
#include "workers/ThreadSnmp.h"

#include <memory>

class CSnmpFrameOut;
class CSnmpResponseIn;

class CThreadActionWalkerRequest : public CThreadSnmp {
 public:
  // Copies the record (fresh request id) and hands the worker to the pool.
  bool Start(const CThreadActionWalkerParameter& parameter);

  // The worker's own copy (read it only while the worker is idle).
  const CThreadActionWalkerParameter& GetParameter() const { return m_parameter; }

 protected:
  bool _open_socket() override;
  void _reset_counters() override;
  uint32_t _view_message() const override;
  bool _posts() const override { return false; }

  // The outbound frame of this worker's request, and its answer's frame.
  virtual std::unique_ptr<CSnmpFrameOut> _new_request() const = 0;
  virtual std::unique_ptr<CSnmpResponseIn> _new_response() const = 0;
  virtual const wchar_t* _encode_error() const { return L"Unable to encode SnmpGet PDU"; }
  virtual const wchar_t* _sent_title() const = 0;
  virtual const wchar_t* _received_title() const = 0;

  // Builds, encodes and sends the request for the current OID.
  bool SendRequest();
  // Waits for the answer, re-sending on time-outs; false (logged) when the
  // worker must end.
  bool WaitAnswer();
  // Receives and decodes one datagram into the frame.
  bool ReceiveResponse(CSnmpResponseIn& frame);

  // Get and Set: one request, its answer handed to the view.
  void _run_single(uint32_t data_code, const wchar_t* error_format);

  CThreadActionWalkerParameter m_parameter;
};
