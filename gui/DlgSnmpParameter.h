// CDlgSnmpParameter: "SNMP parameters" of a walk, a Get or a Set. "OK"
// closes only with a community, a port of 1-65,535, a time-out of at least
// 50 ms, the four parts of the address and valid OIDs; it then stores the
// values in the DlgSnmpParameter settings.
#pragma once

#include <QDialog>

#include <array>

class QComboBox;
class QLineEdit;
class QPushButton;

class CDlgSnmpParameter : public QDialog {
 public:
  explicit CDlgSnmpParameter(QWidget* parent = nullptr);

  std::array<QLineEdit*, 4> AddressParts() const { return m_address; }
  QLineEdit* PortEdit() const { return m_port; }
  QComboBox* VersionBox() const { return m_version; }
  QLineEdit* CommunityEdit() const { return m_community; }
  QLineEdit* TimeoutEdit() const { return m_timeout; }
  QLineEdit* RetriesEdit() const { return m_retries; }
  QLineEdit* FirstOidEdit() const { return m_first_oid; }
  QLineEdit* LastOidEdit() const { return m_last_oid; }
  QPushButton* OkButton() const { return m_ok; }

  void accept() override;

 private:
  bool _valid() const;
  void _store() const;

  std::array<QLineEdit*, 4> m_address{};
  QLineEdit* m_port;
  QComboBox* m_version;
  QLineEdit* m_community;
  QLineEdit* m_timeout;
  QLineEdit* m_retries;
  QLineEdit* m_first_oid;
  QLineEdit* m_last_oid;
  QPushButton* m_ok = nullptr;
};

// CDlgSnmpSet: "Set parameters", the community and the value of a Set.
class CDlgSnmpSet : public QDialog {
 public:
  explicit CDlgSnmpSet(QWidget* parent = nullptr);

  QLineEdit* CommunityEdit() const { return m_community; }
  QLineEdit* ValueEdit() const { return m_value; }
  QPushButton* OkButton() const { return m_ok; }

  void accept() override;

 private:
  QLineEdit* m_community;
  QLineEdit* m_value;
  QPushButton* m_ok = nullptr;
};
