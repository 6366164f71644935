// Closes the main window on SIGTERM, SIGINT and SIGHUP (logout, Ctrl+C in
// the terminal, kill), so that the settings are stored as on a normal
// close. The signal handler only writes one byte to a pipe; the GUI thread
// reads it and closes the window.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <memory>

class QSocketNotifier;

class CSignalCloser : public QObject {
  Q_OBJECT

 public:
  explicit CSignalCloser(QWidget* window);
  ~CSignalCloser() override;

 private:
  void _on_signal();

  QPointer<QWidget> m_window;
  std::unique_ptr<QSocketNotifier> m_notifier;
};
