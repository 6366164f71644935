// CSheetCreateSimulator: the "Create simulator" wizard. Page 1 names the
// simulator, page 2 sets what it answers, page 3 where its traps go. Each
// page checks its fields when left forwards; the receive and send settings
// are remembered (DlgCreateSimulator) and offered again. The caller creates
// the simulator from Settings() once the wizard is accepted.
#pragma once

#include "simulator/SimulatorLibrary.h"

#include <QWizard>
#include <QWizardPage>

#include <string>

class CIpAddressEdit;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;

class CDlgCreateSimulator_1 : public QWizardPage {
 public:
  CDlgCreateSimulator_1(const std::wstring& folder, QWidget* parent = nullptr);
  bool validatePage() override;

  QLineEdit* NameEdit() const { return m_name; }
  QPlainTextEdit* DescriptionEdit() const { return m_description; }

 private:
  std::wstring m_folder;
  QLineEdit* m_name;
  QPlainTextEdit* m_description;
};

class CDlgCreateSimulator_2 : public QWizardPage {
 public:
  explicit CDlgCreateSimulator_2(QWidget* parent = nullptr);
  bool validatePage() override;

  QLineEdit* PortEdit() const { return m_port; }
  QCheckBox* Version1Box() const { return m_version1; }
  QCheckBox* Version2cBox() const { return m_version2c; }
  QLineEdit* CommunityEdit() const { return m_community; }

 private:
  QLineEdit* m_port;
  QCheckBox* m_version1;
  QCheckBox* m_version2c;
  QLineEdit* m_community;
};

class CDlgCreateSimulator_3 : public QWizardPage {
 public:
  explicit CDlgCreateSimulator_3(QWidget* parent = nullptr);
  bool validatePage() override;

  QCheckBox* LastRequesterBox() const { return m_last_requester; }
  CIpAddressEdit* AddressEdit() const { return m_address; }
  QLineEdit* CommunityEdit() const { return m_community; }
  QLineEdit* PortEdit() const { return m_port; }

 private:
  QCheckBox* m_last_requester;
  CIpAddressEdit* m_address;
  QLineEdit* m_community;
  QLineEdit* m_port;
};

class CSheetCreateSimulator : public QWizard {
 public:
  // `folder` is the folder the simulator will be created in.
  CSheetCreateSimulator(const std::wstring& folder, QWidget* parent = nullptr);

  SimulatorSettings Settings() const;
  // The simulator files' extension (".tav").
  static std::wstring Extension();

  CDlgCreateSimulator_1* Page1() const { return m_page1; }
  CDlgCreateSimulator_2* Page2() const { return m_page2; }
  CDlgCreateSimulator_3* Page3() const { return m_page3; }

 private:
  CDlgCreateSimulator_1* m_page1;
  CDlgCreateSimulator_2* m_page2;
  CDlgCreateSimulator_3* m_page3;
};
