// CDlgNewName: "New name", asks the name of a new or renamed folder or
// simulator; the title says which.
#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

class CDlgNewName : public QDialog {
 public:
  CDlgNewName(const QString& title, const QString& name = QString(), QWidget* parent = nullptr);

  QString Name() const;
  QLineEdit* NameEdit() const { return m_name; }
  QPushButton* OkButton() const { return m_ok; }

 private:
  QLineEdit* m_name;
  QPushButton* m_ok = nullptr;
};
