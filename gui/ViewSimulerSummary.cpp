#include "gui/ViewSimulerSummary.h"

#include "app/ShowMessage.h"
#include "gui/IpAddressEdit.h"
#include "quillog/Quillog.h"
#include "simulator/SimulatorFile.h"
#include "simulator/SimulatorLibrary.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {

QLineEdit* PortEdit(QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setValidator(new QIntValidator(0, 65535, edit));
  return edit;
}

uint32_t Port(const QLineEdit* edit) { return edit->text().trimmed().toUInt(); }

}  // namespace

CViewSimulerSummary::CViewSimulerSummary(CViewDispatcher* dispatcher, const CSimulatorLibrary* library, QWidget* parent)
    : QWidget(parent),
      CViewWindow(dispatcher),
      m_library(library),
      m_name(new QLineEdit(this)),
      m_description(new QPlainTextEdit(this)),
      m_recv_port(PortEdit(this)),
      m_recv_community(new QLineEdit(this)),
      m_version1(new QCheckBox(this)),
      m_version2c(new QCheckBox(this)),
      m_send_port(PortEdit(this)),
      m_send_community(new QLineEdit(this)),
      m_last_requester(new QCheckBox(this)),
      m_address(new CIpAddressEdit(this)) {
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_GUI, L"Creating %s View", L"CViewSimulerSummary");
  m_name->setReadOnly(true);
  m_description->setTabChangesFocus(true);
  m_description->setMaximumHeight(80);
  // Ports and communities stay readable when the window is narrow.
  const int port_width = fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 16;
  const int community_width = fontMetrics().horizontalAdvance(QStringLiteral("community-0")) + 16;
  for (QLineEdit* port : {m_recv_port, m_send_port}) port->setMinimumWidth(port_width);
  for (QLineEdit* community : {m_recv_community, m_send_community}) community->setMinimumWidth(community_width);

  // Two columns: the receive side left, the send side right.
  auto* left = new QFormLayout;
  left->addRow(QStringLiteral("Name:"), m_name);
  left->addRow(QStringLiteral("Description:"), m_description);
  auto* middle = new QFormLayout;
  middle->addRow(QStringLiteral("Recv port:"), m_recv_port);
  middle->addRow(QStringLiteral("Recv community:"), m_recv_community);
  middle->addRow(QStringLiteral("Recv version 1:"), m_version1);
  middle->addRow(QStringLiteral("Recv version 2c:"), m_version2c);
  auto* right = new QFormLayout;
  right->addRow(QStringLiteral("Send port:"), m_send_port);
  right->addRow(QStringLiteral("Send community:"), m_send_community);
  right->addRow(QStringLiteral("Send to last requester:"), m_last_requester);
  right->addRow(QStringLiteral("Send address:"), m_address);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 3);
  layout->addLayout(middle, 2);
  layout->addLayout(right, 2);

  for (QLineEdit* edit : {m_recv_port, m_recv_community, m_send_port, m_send_community}) {
    connect(edit, &QLineEdit::textEdited, this, [this] { _on_edit(); });
  }
  for (QCheckBox* box : {m_version1, m_version2c, m_last_requester}) {
    connect(box, &QCheckBox::clicked, this, [this] { _on_edit(); });
  }
  connect(m_description, &QPlainTextEdit::textChanged, this, [this] { _on_edit(); });
  connect(m_address, &CIpAddressEdit::edited, this, [this] { _on_edit(); });

  Show(nullptr);
  CMessageCenter::Subscribe(L"CViewSimulerSummary", this, MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_SELECT_CHANGE);
  SendViewMessage(L"CViewSimulerSummary", MSG_VIEW_SIMULATOR, MSG_VIEW_SIMULATOR_GET_SELECTED, 0);
}

CViewSimulerSummary::~CViewSimulerSummary() { CMessageCenter::Unsubscribe(this); }

intptr_t CViewSimulerSummary::OnViewMessage(uint32_t message, uintptr_t sub_code, uintptr_t payload) {
  CMessageCenter::Trace(L"CViewSimulerSummary", L"is receiving a message", message, sub_code, payload);
  if (message != MSG_VIEW_SIMULATOR || sub_code != MSG_VIEW_SIMULATOR_SELECT_CHANGE) return 0;
  auto* entry = reinterpret_cast<CSimulatorEntry*>(payload);
  // An entry posted before a rebuild may be gone by now.
  if (entry != nullptr && (m_library == nullptr || !m_library->Contains(entry))) return 0;
  if (entry != nullptr && entry == m_entry) return 1;
  Show(entry);
  return 1;
}

void CViewSimulerSummary::Show(CSimulatorEntry* entry) {
  m_entry = entry != nullptr && entry->IsSimulator() ? entry : nullptr;
  _fill(m_entry);
  for (QWidget* field :
       std::initializer_list<QWidget*>{m_name, m_description, m_recv_port, m_recv_community, m_version1, m_version2c,
                                       m_send_port, m_send_community, m_last_requester}) {
    field->setEnabled(m_entry != nullptr);
  }
  m_address->setEnabled(m_entry != nullptr && !m_entry->send_to_last_requester);
}

void CViewSimulerSummary::_fill(const CSimulatorEntry* entry) {
  m_filling = true;
  const CSimulatorEntry empty;
  const CSimulatorEntry& shown = entry != nullptr ? *entry : empty;
  m_name->setText(QString::fromStdWString(shown.name));
  if (m_description->toPlainText().toStdWString() != shown.description) {
    m_description->setPlainText(QString::fromStdWString(shown.description));
  }
  m_recv_port->setText(entry ? QString::number(shown.recv_port) : QString());
  m_recv_community->setText(QString::fromStdWString(shown.recv_community));
  m_version1->setChecked(shown.recv_version1);
  m_version2c->setChecked(shown.recv_version2c);
  m_send_port->setText(entry ? QString::number(shown.send_port) : QString());
  m_send_community->setText(QString::fromStdWString(shown.send_community));
  m_last_requester->setChecked(shown.send_to_last_requester);
  if (entry != nullptr) {
    m_address->SetAddress(shown.send_address);
  } else {
    for (QLineEdit* part : m_address->Parts()) part->clear();
  }
  m_filling = false;
}

void CViewSimulerSummary::_on_edit() {
  if (m_filling || m_entry == nullptr) return;
  if (m_entry->running) {
    _fill(m_entry);
    ShowMessageBox(L"Simulator is running, you are not allowed to modify it, stop it first", L"Warning",
                   SHOW_MESSAGE_WARNING);
    return;  // the restored values are the stored ones: nothing to save
  }
  if (!_check()) return;
  _apply();
}

bool CViewSimulerSummary::_check() const {
  const wchar_t* refusal = nullptr;
  if (m_recv_community->text().isEmpty() || m_send_community->text().isEmpty()) {
    refusal = L"Community string cannot be empty";
  } else if (Port(m_recv_port) == 0 || Port(m_send_port) == 0) {
    refusal = L"Port number cannot be 0";
  } else if (!m_version1->isChecked() && !m_version2c->isChecked()) {
    refusal = L"At least one SNMP version must be activated";
  }
  if (refusal == nullptr) return true;
  ShowMessageBox(refusal, L"Warning", SHOW_MESSAGE_WARNING);
  return false;
}

void CViewSimulerSummary::_apply() {
  m_entry->description = m_description->toPlainText().toStdWString();
  m_entry->recv_port = Port(m_recv_port);
  m_entry->recv_community = m_recv_community->text().toStdWString();
  m_entry->recv_version1 = m_version1->isChecked();
  m_entry->recv_version2c = m_version2c->isChecked();
  m_entry->send_port = Port(m_send_port);
  m_entry->send_community = m_send_community->text().toStdWString();
  m_entry->send_to_last_requester = m_last_requester->isChecked();
  uint32_t address = 0;
  // A half-typed address keeps the stored one.
  if (m_address->Address(&address) && address != m_entry->send_address) m_entry->send_address = address;
  CSimulatorFile::Save(m_entry);
  m_address->setEnabled(!m_entry->send_to_last_requester);
}
