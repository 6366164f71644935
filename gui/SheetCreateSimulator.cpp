#include "gui/SheetCreateSimulator.h"

#include "app/Settings.h"
#include "app/ShowMessage.h"
#include "asn1/IpAddress.h"
#include "gui/IpAddressEdit.h"
#include "quillog/Quillog.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include <sys/stat.h>

namespace {

QLineEdit* NewPortEdit(QWidget* parent, uint32_t setting) {
  auto* edit = new QLineEdit(QString::number(ReadSettingDword(setting)), parent);
  edit->setValidator(new QIntValidator(0, 65535, edit));
  return edit;
}

uint32_t Port(const QLineEdit* edit) { return edit->text().trimmed().toUInt(); }

bool Refuse(const wchar_t* text) {
  ShowMessageBox(text, L"Warning", SHOW_MESSAGE_WARNING);
  return false;
}

bool FileExists(const std::wstring& path) {
  struct stat info {};
  return ::lstat(quillog::WideToUtf8(path).c_str(), &info) == 0;
}

QGroupBox* Group(const QString& title, QFormLayout* form, QWidget* parent) {
  auto* group = new QGroupBox(title, parent);
  group->setLayout(form);
  return group;
}

}  // namespace

// ---------------------------------------------------------------- page 1

CDlgCreateSimulator_1::CDlgCreateSimulator_1(const std::wstring& folder, QWidget* parent)
    : QWizardPage(parent), m_folder(folder), m_name(new QLineEdit(this)), m_description(new QPlainTextEdit(this)) {
  auto* form = new QFormLayout(this);
  form->addRow(QStringLiteral("Name"), m_name);
  form->addRow(QStringLiteral("Description"), m_description);
}

bool CDlgCreateSimulator_1::validatePage() {
  const std::wstring name = m_name->text().toStdWString();
  if (name.empty()) return Refuse(L"Simulator name must not be empty");
  if (FileExists(m_folder + L"/" + name + CSheetCreateSimulator::Extension())) {
    return Refuse(L"A simulator with that name is already existing");
  }
  return true;
}

// ---------------------------------------------------------------- page 2

CDlgCreateSimulator_2::CDlgCreateSimulator_2(QWidget* parent)
    : QWizardPage(parent),
      m_port(NewPortEdit(this, SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_PORT)),
      m_version1(new QCheckBox(QStringLiteral("V1"), this)),
      m_version2c(new QCheckBox(QStringLiteral("V2c"), this)),
      m_community(new QLineEdit(
          QString::fromStdWString(ReadSettingString(SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_COMMUNITY)), this)) {
  m_version1->setChecked(ReadSettingDword(SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_VERSION1) != 0);
  m_version2c->setChecked(ReadSettingDword(SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_VERSION2C) != 0);
  auto* versions = new QHBoxLayout;
  versions->addWidget(m_version1);
  versions->addWidget(m_version2c);
  versions->addStretch(1);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Port"), m_port);
  form->addRow(QStringLiteral("Version"), versions);
  form->addRow(QStringLiteral("Community string"), m_community);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Group(QStringLiteral("SNMP GET/GET-NEXT"), form, this));
}

bool CDlgCreateSimulator_2::validatePage() {
  if (m_community->text().isEmpty()) return Refuse(L"Community name must not be empty");
  if (Port(m_port) == 0) return Refuse(L"Receive port must not be 0");
  if (!m_version1->isChecked() && !m_version2c->isChecked())
    return Refuse(L"At least one SNMP version must be allowed");
  WriteSettingDword(SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_PORT, -1, Port(m_port));
  WriteSettingDword(SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_VERSION1, -1, m_version1->isChecked() ? 1 : 0);
  WriteSettingDword(SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_VERSION2C, -1, m_version2c->isChecked() ? 1 : 0);
  WriteSettingString(SETTING_DLG_CREATE_SIMULATOR_LAST_RECV_COMMUNITY, m_community->text().toStdWString());
  return true;
}

// ---------------------------------------------------------------- page 3

CDlgCreateSimulator_3::CDlgCreateSimulator_3(QWidget* parent)
    : QWizardPage(parent),
      m_last_requester(new QCheckBox(QStringLiteral("Send to last requester"), this)),
      m_address(new CIpAddressEdit(this)),
      m_community(new QLineEdit(
          QString::fromStdWString(ReadSettingString(SETTING_DLG_CREATE_SIMULATOR_LAST_SEND_COMMUNITY)), this)),
      m_port(NewPortEdit(this, SETTING_DLG_CREATE_SIMULATOR_LAST_SEND_PORT)) {
  m_last_requester->setChecked(ReadSettingDword(SETTING_DLG_CREATE_SIMULATOR_LAST_SEND_REMEMBER_IP_ADDRESS) != 0);
  const uint32_t address = IpAddress(ReadSettingString(SETTING_DLG_CREATE_SIMULATOR_LAST_SEND_IP_ADDRESS));
  if (address != 0xFFFFFFFFu) m_address->SetAddress(address);
  auto* form = new QFormLayout;
  form->addRow(m_last_requester);
  form->addRow(QStringLiteral("IP address"), m_address);
  form->addRow(QStringLiteral("Community string"), m_community);
  form->addRow(QStringLiteral("Port"), m_port);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Group(QStringLiteral("SNMP TRAP"), form, this));
}

bool CDlgCreateSimulator_3::validatePage() {
  if (m_community->text().isEmpty()) return Refuse(L"Community name must not be empty");
  if (Port(m_port) == 0) return Refuse(L"Send port must not be 0");
  uint32_t address = 0;
  if (!m_address->Address(&address)) return Refuse(L"IP address is not valid");
  WriteSettingString(SETTING_DLG_CREATE_SIMULATOR_LAST_SEND_COMMUNITY, m_community->text().toStdWString());
  WriteSettingDword(SETTING_DLG_CREATE_SIMULATOR_LAST_SEND_PORT, -1, Port(m_port));
  WriteSettingDword(SETTING_DLG_CREATE_SIMULATOR_LAST_SEND_REMEMBER_IP_ADDRESS, -1,
                    m_last_requester->isChecked() ? 1 : 0);
  WriteSettingString(SETTING_DLG_CREATE_SIMULATOR_LAST_SEND_IP_ADDRESS, FormatIpAddress(address));
  return true;
}

// ---------------------------------------------------------------- sheet

CSheetCreateSimulator::CSheetCreateSimulator(const std::wstring& folder, QWidget* parent)
    : QWizard(parent),
      m_page1(new CDlgCreateSimulator_1(folder, this)),
      m_page2(new CDlgCreateSimulator_2(this)),
      m_page3(new CDlgCreateSimulator_3(this)) {
  setWindowTitle(QStringLiteral("Create simulator"));
  setWizardStyle(QWizard::ClassicStyle);
  setOption(QWizard::NoBackButtonOnStartPage, true);
  addPage(m_page1);
  addPage(m_page2);
  addPage(m_page3);
  setButtonText(QWizard::CancelButton, QStringLiteral("Annuler"));
  setMinimumWidth(460);
}

std::wstring CSheetCreateSimulator::Extension() {
  const std::wstring extension = ReadSettingString(SETTING_SIMULATOR_EXTENSION);
  return extension.empty() ? L".tav" : extension;
}

SimulatorSettings CSheetCreateSimulator::Settings() const {
  SimulatorSettings settings;
  settings.name = m_page1->NameEdit()->text().toStdWString();
  settings.description = m_page1->DescriptionEdit()->toPlainText().toStdWString();
  settings.recv_port = Port(m_page2->PortEdit());
  settings.recv_community = m_page2->CommunityEdit()->text().toStdWString();
  settings.recv_version1 = m_page2->Version1Box()->isChecked();
  settings.recv_version2c = m_page2->Version2cBox()->isChecked();
  settings.send_community = m_page3->CommunityEdit()->text().toStdWString();
  settings.send_port = Port(m_page3->PortEdit());
  settings.send_to_last_requester = m_page3->LastRequesterBox()->isChecked();
  m_page3->AddressEdit()->Address(&settings.send_address);
  return settings;
}
