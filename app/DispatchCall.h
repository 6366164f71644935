// A call queued on a dispatcher. A sender waits on the call itself, never on
// the dispatcher, so the dispatcher may be gone once the call has run.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>

class CDispatchCall {
 public:
  std::function<void()> call;
  bool is_send = false;

  // Runs the call; false when it threw (logged in the owner's name).
  bool Run(const wchar_t* owner);
  // Releases the sender: has_run is what its Wait() returns.
  void Finish(bool has_run);
  // Blocks until Finish(); whether the call ran.
  bool Wait();

 private:
  std::mutex m_mutex;
  std::condition_variable m_cv;
  bool m_done = false;
  bool m_ran = false;
};
