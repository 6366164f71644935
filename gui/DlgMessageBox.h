// The program's message box: an icon, a rich text and an "OK" button.
#pragma once

#include "app/ShowMessage.h"

#include <QDialog>
#include <QString>

class QTextBrowser;

class CDlgMessageBox : public QDialog {
  Q_OBJECT

 public:
  CDlgMessageBox(const QString& caption, const QString& text, ShowMessageIcon icon, QWidget* parent = nullptr);

  // The text as the box shows it (plain text, for tests and copying).
  QString ShownText() const;

 protected:
  QTextBrowser* m_text_view = nullptr;
};

// The box the MIB loader shows its parse errors in: error icon, the text in
// a fixed-width font so that positions in a line stay aligned.
class CDlgMessageBoxError : public CDlgMessageBox {
  Q_OBJECT

 public:
  CDlgMessageBoxError(const QString& caption, const QString& text, QWidget* parent = nullptr);
};
