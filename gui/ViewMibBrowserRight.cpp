#include "gui/ViewMibBrowserRight.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/TextEditor.h"
#include "gui/ViewMibBrowserLeft.h"
#include "quillog/Quillog.h"
#include "smi/SmiTree.h"

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
      tree_view_(tree_view),
      tree_(tree),
      description_(new QPlainTextEdit),
      edit_(new QPushButton(QStringLiteral("Edit"))) {
  setObjectName(QStringLiteral("CViewMibBrowserRight"));
  for (QLineEdit*& field : fields_) {
    field = new QLineEdit;
    field->setReadOnly(true);
  }
  description_->setReadOnly(true);
  description_->setMinimumHeight(80);

  auto* form = new QWidget;
  form->setMinimumSize(360, 420);
  auto* file_group = new QGroupBox(QStringLiteral("MIB File"));
  auto* file_layout = new QFormLayout(file_group);
  file_layout->addRow(QStringLiteral("File"), fields_[FIELD_FILE]);
  auto* line_row = new QHBoxLayout;
  line_row->addWidget(fields_[FIELD_LINE], 1);
  line_row->addWidget(edit_);
  file_layout->addRow(QStringLiteral("Line"), line_row);

  auto* fields = new QFormLayout;
  fields->addRow(QStringLiteral("Name"), fields_[FIELD_NAME]);
  fields->addRow(QStringLiteral("OID"), fields_[FIELD_OID]);
  fields->addRow(QStringLiteral("Type"), fields_[FIELD_TYPE]);
  fields->addRow(QStringLiteral("Status"), fields_[FIELD_STATUS]);
  fields->addRow(QStringLiteral("Description"), description_);
  fields->addRow(QStringLiteral("Basic Type"), fields_[FIELD_BASIC_TYPE]);
  fields->addRow(QStringLiteral("Access"), fields_[FIELD_ACCESS]);
  fields->addRow(QStringLiteral("Sub-Type"), fields_[FIELD_SUB_TYPE]);

  auto* layout = new QVBoxLayout(form);
  layout->addWidget(file_group);
  layout->addLayout(fields, 1);
  setWidget(form);
  setWidgetResizable(true);  // grows with the window, scrolls below its minimum
  setFrameShape(QFrame::NoFrame);

  edit_->setEnabled(false);
  connect(edit_, &QPushButton::clicked, this, [this] { OnEdit(); });
  CMessageCenter::Subscribe(kName, this, MSG_VIEW_BROWSER, MSG_VIEW_BROWSER_SELECT_CHANGE);
}

CViewMibBrowserRight::~CViewMibBrowserRight() { CMessageCenter::Unsubscribe(this); }

QString CViewMibBrowserRight::FieldText(Field field) const { return fields_[field]->text(); }

QString CViewMibBrowserRight::Description() const { return description_->toPlainText(); }

void CViewMibBrowserRight::Show(const CSmiObject* object) {
  for (QLineEdit* field : fields_) field->clear();
  description_->clear();
  file_.clear();
  edit_->setEnabled(false);
  if (object == nullptr) return;

  if (!object->declarations.empty()) {
    const CSmiDeclaration& declaration = object->declarations.front();
    file_ = declaration.file_path;
    fields_[FIELD_FILE]->setText(Wide(file_));
    fields_[FIELD_LINE]->setText(QString::number(declaration.line));
    fields_[FIELD_NAME]->setText(Wide(object->Name()));
  }
  edit_->setEnabled(!file_.empty());
  fields_[FIELD_OID]->setText(Wide(SmiOidDotted(object->oid)));
  if (object->status != 0) fields_[FIELD_STATUS]->setText(Wide(SmiStatusText(object->status)));
  if (object->access != 0) fields_[FIELD_ACCESS]->setText(Wide(SmiAccessText(object->access)));
  description_->setPlainText(Wide(object->description.Wide()));

  const CSmiType* syntax = SyntaxOf(object->type);
  const CSmiType& shown = syntax != nullptr ? *syntax : object->type;
  fields_[FIELD_TYPE]->setText(Wide(shown.DisplayText(false)));
  // The base type reads the type list: only when no load holds the tree.
  if (!tree_.Lock().TryEnter()) return;
  const CSmiType* base = &tree_.FindTypeBase(shown);
  if (const CSmiType* inner = SyntaxOf(*base)) base = &tree_.FindTypeBase(*inner);
  tree_.Lock().Leave();
  fields_[FIELD_BASIC_TYPE]->setText(Wide(base->DisplayText(false)));
  const CSmiName& constraint = !shown.constraint.empty() ? shown.constraint : base->constraint;
  fields_[FIELD_SUB_TYPE]->setText(Wide(constraint.Wide()));
}

bool CViewMibBrowserRight::OnEdit() {
  if (file_.empty()) return false;
  return StartTextEditor(file_);
}

intptr_t CViewMibBrowserRight::OnViewMessage(uint32_t message, uintptr_t sub_code, uintptr_t payload) {
  CMessageCenter::Trace(kName, L"is receiving a message", message, sub_code, payload);
  if (message != MSG_VIEW_BROWSER || sub_code != MSG_VIEW_BROWSER_SELECT_CHANGE) return 0;
  // A selection posted before the tree changed is stale: only the tree
  // view's current object may be read.
  const auto* object = reinterpret_cast<const CSmiObject*>(payload);
  Show(object != nullptr && object == tree_view_.SelectedObject() ? object : nullptr);
  return 1;
}
