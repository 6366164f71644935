// What the walk, Get and Set workers share: the parameter record, the
// client socket, sending a request, waiting for the answer with time-outs
// and retries, and receiving it.
#pragma once

#include "snmp/SnmpRequestBytes.h"
#include "workers/ThreadActionWalkerParameter.h"
#include "workers/ThreadSnmp.h"

#include <atomic>
#include <memory>

class CBerEncoder;
class CSnmpFrameOut;
class CSnmpResponseIn;

class CThreadActionWalkerRequest : public CThreadSnmp {
 public:
  // Copies the record (fresh request id) and hands the worker to the pool.
  bool Start(const CThreadActionWalkerParameter& parameter);

  // The worker's own copy (read it only while the worker is idle).
  const CThreadActionWalkerParameter& GetParameter() const { return m_parameter; }

  // How the last run ended.
  enum class End {
    None,           // not run yet, or running
    Complete,       // an answer handed over (Get, Set), the end of the walk
    TimedOut,       // "Too much timeout"
    ErrorStatus,    // an error status in the answer (for a walk: other than the v1 end)
    NotIncreasing,  // a walk's answer not beyond the OID asked
    Failed,         // send, receive or socket failure, or a stop
  };
  End GetEnd() const { return m_end.load(); }

 protected:
  bool _open_socket() override;
  void _reset_counters() override;
  uint32_t _view_message() const override;
  bool _posts() const override { return false; }

  // Runs in Start with the parameters copied, before the thread is asked.
  virtual void _on_start() {}

  // The outbound frame of this worker's request, and its answer's frame.
  virtual std::unique_ptr<CSnmpFrameOut> _new_request() const = 0;
  virtual std::unique_ptr<CSnmpResponseIn> _new_response() const = 0;
  virtual const wchar_t* _encode_error() const { return L"Unable to encode SnmpGet PDU"; }
  virtual const wchar_t* _sent_title() const = 0;
  virtual const wchar_t* _received_title() const = 0;
  // Fields of the request beyond version, community, id, OID and value.
  virtual void _fill_request(CSnmpFrameOut& /*request*/) const {}
  // The fields of a request whose value is NULL, written without the frame
  // classes while no trace or dump of it is on; false: no such request.
  virtual bool _request_fields(SnmpRequestFields& /*fields*/) const { return false; }

  // Builds, encodes and sends the request for the current OID; it becomes
  // the request in flight.
  bool SendRequest();
  // Waits for the answer to the request in flight and decodes it into the
  // frame. A datagram that is not that answer (another request id, another
  // community, not a well-formed response) is dropped with a Warning and the
  // wait goes on until the time-out; a time-out re-sends. False (logged)
  // when the worker must end.
  bool AwaitAnswer(CSnmpResponseIn& frame);

  // Get and Set: one request, its answer handed to the view.
  void _run_single(uint32_t data_code, const wchar_t* error_format);

  CThreadActionWalkerParameter m_parameter;
  std::atomic<End> m_end{End::None};

 private:
  enum class Received { Answer, Dropped, Failed };
  // Receives one datagram and decodes it into the frame.
  Received _receive(CSnmpResponseIn& frame);
  // Whether a decoded response answers the request in flight.
  bool _matches(const CSnmpResponseIn& frame) const;
  // Time-out step: counts, re-sends; false when the worker must end.
  bool _on_timeout();
  // The request in flight encoded, with the frame classes or straight from
  // its fields; false (logged) when it does not encode.
  bool _encode_request(CBerEncoder& encoder, const uint8_t** data, uint32_t* length);

  uint32_t m_in_flight_id = 0;  // request id of the last request sent
  CSnmpRequestBytes m_request_bytes;
};
