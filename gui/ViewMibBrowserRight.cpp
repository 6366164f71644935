#include "gui/ViewMibBrowserRight.h"

#include "gui/TextEditor.h"
#include "gui/ViewMibBrowserLeft.h"
#include "quillog/Quillog.h"
#include "smi/SmiTree.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const wchar_t* const kName = L"CViewMibBrowserRight";

QString Wide(const std::wstring& text) { return QString::fromStdWString(text); }

// The SYNTAX of an object's definition, null for a kind that has none.
const CSmiType* SyntaxOf(const CSmiType& type) {
  if (type.kind != SMI_TYPE_MACRO || type.nested.empty()) return nullptr;
  if (type.name == L"OBJECT-TYPE" || type.name == L"TEXTUAL-CONVENTION") return &type.nested.front();
  return nullptr;
}

}  // namespace

CViewMibBrowserRight::CViewMibBrowserRight(CViewDispatcher* dispatcher, const CViewMibBrowserLeft& tree_view,
                                           CSmiTree& tree, QWidget* parent)
    : QScrollArea(parent),
      CViewWindow(dispatcher),
      m_tree_view(tree_view),
      m_tree(tree),
      m_description(new QPlainTextEdit),
      m_edit(new QPushButton(QStringLiteral("Edit"))) {
  setObjectName(QStringLiteral("CViewMibBrowserRight"));
  for (QLineEdit*& field : m_fields) {
    field = new QLineEdit;
    field->setReadOnly(true);
  }
  m_description->setReadOnly(true);
  m_description->setMinimumHeight(80);

  auto* form = new QWidget;
  form->setMinimumSize(360, 420);
  auto* file_group = new QGroupBox(QStringLiteral("MIB File"));
  auto* file_layout = new QFormLayout(file_group);
  file_layout->addRow(QStringLiteral("File"), m_fields[FIELD_FILE]);
  auto* line_row = new QHBoxLayout;
  line_row->addWidget(m_fields[FIELD_LINE], 1);
  line_row->addWidget(m_edit);
  file_layout->addRow(QStringLiteral("Line"), line_row);

  auto* fields = new QFormLayout;
  fields->addRow(QStringLiteral("Name"), m_fields[FIELD_NAME]);
  fields->addRow(QStringLiteral("OID"), m_fields[FIELD_OID]);
  fields->addRow(QStringLiteral("Type"), m_fields[FIELD_TYPE]);
  fields->addRow(QStringLiteral("Status"), m_fields[FIELD_STATUS]);
  fields->addRow(QStringLiteral("Description"), m_description);
  fields->addRow(QStringLiteral("Basic Type"), m_fields[FIELD_BASIC_TYPE]);
  fields->addRow(QStringLiteral("Access"), m_fields[FIELD_ACCESS]);
  fields->addRow(QStringLiteral("Sub-Type"), m_fields[FIELD_SUB_TYPE]);

  auto* layout = new QVBoxLayout(form);
  layout->addWidget(file_group);
  layout->addLayout(fields, 1);
  setWidget(form);
  setWidgetResizable(true);  // grows with the window, scrolls below its minimum
  setFrameShape(QFrame::NoFrame);

  m_edit->setEnabled(false);
  connect(m_edit, &QPushButton::clicked, this, [this] { OnEdit(); });
  CMessageCenter::Subscribe(kName, this, MSG_VIEW_BROWSER, MSG_VIEW_BROWSER_SELECT_CHANGE);
}

CViewMibBrowserRight::~CViewMibBrowserRight() { CMessageCenter::Unsubscribe(this); }

QString CViewMibBrowserRight::FieldText(Field field) const { return m_fields[field]->text(); }

QString CViewMibBrowserRight::Description() const { return m_description->toPlainText(); }

void CViewMibBrowserRight::Show(const CSmiObject* object) {
  for (QLineEdit* field : m_fields) field->clear();
  m_description->clear();
  m_file.clear();
  m_edit->setEnabled(false);
  if (object == nullptr) return;

  if (!object->declarations.empty()) {
    const CSmiDeclaration& declaration = object->declarations.front();
    m_file = declaration.FilePath();
    m_fields[FIELD_FILE]->setText(Wide(m_file));
    m_fields[FIELD_LINE]->setText(QString::number(declaration.line));
    m_fields[FIELD_NAME]->setText(Wide(object->Name()));
  }
  m_edit->setEnabled(!m_file.empty());
  m_fields[FIELD_OID]->setText(Wide(SmiOidDotted(object->oid)));
  if (object->status != 0) m_fields[FIELD_STATUS]->setText(Wide(SmiStatusText(object->status)));
  if (object->access != 0) m_fields[FIELD_ACCESS]->setText(Wide(SmiAccessText(object->access)));
  m_description->setPlainText(Wide(object->description.Wide()));

  const CSmiType* syntax = SyntaxOf(object->type);
  const CSmiType& shown = syntax != nullptr ? *syntax : object->type;
  m_fields[FIELD_TYPE]->setText(Wide(shown.DisplayText(false)));
  // The base type reads the type list: only when no load holds the tree.
  if (!m_tree.Lock().TryEnter()) return;
  const CSmiType* base = &m_tree.FindTypeBase(shown);
  if (const CSmiType* inner = SyntaxOf(*base)) base = &m_tree.FindTypeBase(*inner);
  m_tree.Lock().Leave();
  m_fields[FIELD_BASIC_TYPE]->setText(Wide(base->DisplayText(false)));
  const CSmiName& constraint = !shown.constraint.empty() ? shown.constraint : base->constraint;
  m_fields[FIELD_SUB_TYPE]->setText(Wide(constraint.Wide()));
}

bool CViewMibBrowserRight::OnEdit() {
  if (m_file.empty()) return false;
  return StartTextEditor(m_file);
}

intptr_t CViewMibBrowserRight::OnViewMessage(uint32_t message, uintptr_t sub_code, uintptr_t payload) {
  CMessageCenter::Trace(kName, L"is receiving a message", message, sub_code, payload);
  if (message != MSG_VIEW_BROWSER || sub_code != MSG_VIEW_BROWSER_SELECT_CHANGE) return 0;
  // A selection posted before the tree changed is stale: only the tree
  // view's current object may be read.
  const auto* object = reinterpret_cast<const CSmiObject*>(payload);
  Show(object != nullptr && object == m_tree_view.SelectedObject() ? object : nullptr);
  return 1;
}
