// Shared set-up of the GUI tests: a temporary home with its XDG folders, a
// Qt dispatcher on the test's (GUI) thread, and bounded waits.
#pragma once

#include "app/MessageCenter.h"
#include "app/Settings.h"
#include "gui/QtDispatcher.h"
#include "tests/common/TempDir.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// Runs the event loop until done() holds; false after timeout_ms.
template <typename Pred>
bool ProcessUntil(Pred done, int timeout_ms = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeout_ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::sendPostedEvents();
  }
  return true;
}

// A stored DWORD setting, or 0xFFFFFFFF when it is missing.
inline uint32_t StoredDword(uint32_t setting) {
  uint32_t value = 0;
  return ReadSettingDword(setting, -1, &value) ? value : 0xFFFFFFFFu;
}

// Shows the window and makes it active, so that keys reach it.
inline bool ShowActive(QWidget& window) {
  window.show();
  window.activateWindow();
  return QTest::qWaitForWindowActive(&window, 5000);
}

// Acts once on the first modal Dialog that opens while this lives; a modal
// dialog still open after 10 s is rejected, so that no test hangs on it.
template <typename Dialog>
class ModalWatcher {
 public:
  explicit ModalWatcher(std::function<void(Dialog&)> act) : m_act(std::move(act)) {
    QObject::connect(&m_poll, &QTimer::timeout, [this] {
      auto* dialog = dynamic_cast<Dialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr || m_seen) return;
      m_seen = true;
      m_act(*dialog);
    });
    m_poll.start(10);
    m_guard.setSingleShot(true);
    QObject::connect(&m_guard, &QTimer::timeout, [] {
      if (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget())) open->reject();
    });
    m_guard.start(10000);
  }
  bool Seen() const { return m_seen; }

 private:
  std::function<void(Dialog&)> m_act;
  QTimer m_poll;
  QTimer m_guard;
  bool m_seen = false;
};

// Presses "OK" of the next modal Dialog once `edit` has filled it; a dialog
// whose OK stays disabled is rejected.
template <typename Dialog>
std::unique_ptr<ModalWatcher<Dialog>> AcceptNext(std::function<void(Dialog&)> edit) {
  return std::make_unique<ModalWatcher<Dialog>>([edit](Dialog& dialog) {
    edit(dialog);
    if (dialog.OkButton()->isEnabled()) {
      QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    } else {
      dialog.reject();
    }
  });
}

// The SNMP parameters a walk starts with: an agent on 127.0.0.1:port, community tumbol.
inline void StoreSnmpParameters(uint16_t port, uint32_t version, uint32_t timeout, uint32_t retries,
                                const std::string& first, const std::string& last) {
  WriteSettingString(SETTING_DLG_SNMP_PARAMETER_LAST_IP, L"127.0.0.1");
  WriteSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_PORT, -1, port);
  WriteSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_VERSION, -1, version);
  WriteSettingString(SETTING_DLG_SNMP_PARAMETER_LAST_COMMUNITY, L"tumbol");
  WriteSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_TIMEOUT, -1, timeout);
  WriteSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_RETRY, -1, retries);
  WriteSettingString(SETTING_DLG_SNMP_PARAMETER_LAST_FIRST_OID, std::wstring(first.begin(), first.end()));
  WriteSettingString(SETTING_DLG_SNMP_PARAMETER_LAST_LAST_OID, std::wstring(last.begin(), last.end()));
}

// Ends the test program with a message when a step that must not hang has
// not finished in time (a deadlock cannot be failed any other way).
class Watchdog {
 public:
  Watchdog(const char* what, int timeout_ms)
      : m_thread([this, what, timeout_ms] {
          std::unique_lock<std::mutex> lock(m_mutex);
          if (m_cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return m_done; })) return;
          std::fprintf(stderr, "Watchdog: %s did not finish within %d ms (deadlock?)\n", what, timeout_ms);
          std::abort();
        }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_done = true;
    }
    m_cv.notify_all();
    m_thread.join();
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_cv;
  bool m_done = false;
  std::thread m_thread;
};

class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_home = std::make_unique<TempHome>();
    m_dispatcher = std::make_unique<CQtDispatcher>();
  }
  void TearDown() override {
    m_dispatcher->Quit();
    // Nothing of one test may reach the next one.
    CMessageCenter::Clear();
    m_dispatcher.reset();
    m_home.reset();
  }

  std::unique_ptr<TempHome> m_home;
  std::unique_ptr<CQtDispatcher> m_dispatcher;
};
