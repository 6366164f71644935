#include "gui/SignalCloser.h"

#include "quillog/Quillog.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_pipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t n = ::write(g_pipe[1], &byte, 1);
}

}  // namespace

CSignalCloser::CSignalCloser(QWidget* window) : m_window(window) {
  if (g_pipe[0] >= 0) return;  // one per program
  if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CSignalCloser() : Unable to create the signal pipe");
    return;
  }
  m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
  connect(m_notifier.get(), &QSocketNotifier::activated, this, &CSignalCloser::_on_signal);
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal_number : kSignals) sigaction(signal_number, &action, nullptr);
}

CSignalCloser::~CSignalCloser() {
  if (!m_notifier) return;
  for (int signal_number : kSignals) std::signal(signal_number, SIG_DFL);
  m_notifier.reset();
  ::close(g_pipe[0]);
  ::close(g_pipe[1]);
  g_pipe[0] = g_pipe[1] = -1;
}

void CSignalCloser::_on_signal() {
  char bytes[16];
  while (::read(g_pipe[0], bytes, sizeof bytes) > 0) {
  }
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"CSignalCloser : closing the main window on a signal");
  if (m_window) m_window->close();
}
