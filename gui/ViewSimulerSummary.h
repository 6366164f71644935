// CViewSimulerSummary: the settings of the selected simulator. Every edit
// is checked and saved at once; a running simulator cannot be changed (the
// form shows its stored settings again, with a warning).
#pragma once

#include "app/MessageCenter.h"

#include <QWidget>

class CIpAddressEdit;
class CSimulatorEntry;
class CSimulatorLibrary;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;

class CViewSimulerSummary : public QWidget, public CViewWindow {
 public:
  CViewSimulerSummary(CViewDispatcher* dispatcher, const CSimulatorLibrary* library, QWidget* parent = nullptr);
  ~CViewSimulerSummary() override;

  intptr_t OnViewMessage(uint32_t message, uintptr_t sub_code, uintptr_t payload) override;

  // Shows the entry's settings (a folder or null empties the form).
  void Show(CSimulatorEntry* entry);
  CSimulatorEntry* Shown() const { return m_entry; }

  QLineEdit* NameEdit() const { return m_name; }
  QPlainTextEdit* DescriptionEdit() const { return m_description; }
  QLineEdit* RecvPortEdit() const { return m_recv_port; }
  QLineEdit* RecvCommunityEdit() const { return m_recv_community; }
  QCheckBox* Version1Box() const { return m_version1; }
  QCheckBox* Version2cBox() const { return m_version2c; }
  QLineEdit* SendPortEdit() const { return m_send_port; }
  QLineEdit* SendCommunityEdit() const { return m_send_community; }
  QCheckBox* LastRequesterBox() const { return m_last_requester; }
  CIpAddressEdit* AddressEdit() const { return m_address; }

 private:
  void _fill(const CSimulatorEntry* entry);
  void _on_edit();
  bool _check() const;
  void _apply();

  const CSimulatorLibrary* m_library;
  CSimulatorEntry* m_entry = nullptr;
  bool m_filling = false;
  QLineEdit* m_name;
  QPlainTextEdit* m_description;
  QLineEdit* m_recv_port;
  QLineEdit* m_recv_community;
  QCheckBox* m_version1;
  QCheckBox* m_version2c;
  QLineEdit* m_send_port;
  QLineEdit* m_send_community;
  QCheckBox* m_last_requester;
  CIpAddressEdit* m_address;
};
