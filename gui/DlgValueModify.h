// CDlgValueModify: "Add a value" / "Modify a value" of a simulator: OID,
// type and value text. "OK" is enabled while the OID is not empty and a
// type is chosen; when modifying, the OID cannot be changed.
#pragma once

#include <QDialog>
#include <QString>

class QComboBox;
class QLineEdit;
class QPushButton;

class CDlgValueModify : public QDialog {
 public:
  // An empty type name leaves no type chosen.
  CDlgValueModify(bool modify, const QString& oid = QString(), const QString& type = QString(),
                  const QString& value = QString(), QWidget* parent = nullptr);

  // The type names offered, in list order.
  static QStringList TypeNames();

  QString Oid() const;
  QString Type() const;
  QString Value() const;
  QLineEdit* OidEdit() const { return m_oid; }
  QComboBox* TypeBox() const { return m_type; }
  QLineEdit* ValueEdit() const { return m_value; }
  QPushButton* OkButton() const { return m_ok; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void _update_ok();

  QLineEdit* m_oid;
  QComboBox* m_type;
  QLineEdit* m_value;
  QPushButton* m_ok = nullptr;
};
