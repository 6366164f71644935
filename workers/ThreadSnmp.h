// Common frame of the SNMP workers: the UDP socket, the running flag, the
// start, stop, begin and end steps, the trace line and the delivery of the
// started / data / finished codes to the views.
#pragma once

#include "kit/ZubThreadAction.h"
#include "kit/ZubUdpSocket.h"
#include "quillog/Quillog.h"
#include "workers/RowOutbox.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// A worker is owned by its view. Destroying it stops it if it runs and
// waits until its pooled thread has let it go.
class CThreadSnmp : public CZubThreadAction {
 public:
  ~CThreadSnmp() override;

  virtual const wchar_t* GetClassName() const = 0;

  // Ends a running worker: closes its socket (a blocked receive or wait
  // returns at once) and tells its pooled thread to leave afterwards.
  bool Stop();
  bool IsRunning() const { return m_running.load(); }

  void OnBegin() override;
  void OnEnd() override;
  void OnTimeout() override {}
  void OnException() override {}

  // "<class> <separator> <text>" at level Info, feature "Program SNMP".
  template <typename... Args>
  void Trace(const wchar_t* separator, const wchar_t* format, const Args&... args) const {
    if (!quillog::FeatureOn(QLF_PROGRAM_SNMP)) return;
    _trace(separator, QuillogFormat(format, args...));
  }

 protected:
  CThreadSnmp() = default;

  // Start steps 1, 2 and 4 around the copy of the parameters (step 3).
  template <typename CopyParameters>
  bool _start(CopyParameters&& copy) {
    if (!_start_check()) return false;
    copy();
    return _start_run();
  }

  // What each worker opens in its begin step; false after its own log line.
  virtual bool _open_socket() = 0;
  // Counters reset by the begin step.
  virtual void _reset_counters() {}
  virtual uint32_t _view_message() const = 0;
  virtual uint32_t _started_code() const = 0;
  virtual uint32_t _finished_code() const = 0;
  // True: deliver with the asynchronous post; false: with the send.
  virtual bool _posts() const = 0;

  // Stops a running worker and waits until its thread has let it go. Each
  // concrete worker calls it first thing in its destructor, while the whole
  // object still exists.
  void _shutdown();

  // Delivers a code with its payload; returns how many windows took it
  // (handled by a send, queued by a post).
  size_t _deliver(uint32_t code, uintptr_t payload);
  // Posts a code whatever _posts says; returns how many windows queued it.
  size_t _post(uint32_t code, uintptr_t payload);

  // Puts a row in an outbox; when the outbox was empty, posts the code with
  // the run's number. Rows no window will take are freed.
  template <typename Row>
  void _hand_row(CRowOutbox<Row>& outbox, uint32_t code, std::unique_ptr<Row> row) {
    if (!outbox.Put(std::move(row))) return;
    if (_post(code, outbox.Run()) == 0) outbox.Drop();
  }

  CZubUdpSocket m_socket;
  std::atomic<bool> m_running{false};

 private:
  bool _start_check();
  bool _start_run();
  void _trace(const wchar_t* separator, const std::wstring& text) const;

  std::atomic<uint32_t> m_thread_id{0xFFFFFFFFu};
};

// Trace separators.
inline constexpr const wchar_t* TRACE_LIFE = L":";
inline constexpr const wchar_t* TRACE_IN = L"<<";
inline constexpr const wchar_t* TRACE_OUT = L">>";
