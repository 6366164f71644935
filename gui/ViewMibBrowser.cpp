#include "gui/ViewMibBrowser.h"

#include "app/Settings.h"
#include "gui/ViewMibBrowserLeft.h"
#include "gui/ViewMibBrowserRight.h"
#include "smi/SmiTree.h"

#include <QLineEdit>
#include <QListWidget>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr size_t kMatchLimit = 200;
constexpr int kNodeRole = Qt::UserRole + 1;

QString MatchText(const CSmiObject& object) {
  QString text = QString::fromStdWString(object.Name());
  if (!object.declarations.empty() && !object.declarations.front().ModuleName().empty()) {
    text = QString::fromStdWString(object.declarations.front().ModuleName()) + QStringLiteral("::") + text;
  }
  return text + QStringLiteral("  ") + QString::fromStdWString(SmiOidDotted(object.oid));
}

}  // namespace

CViewMibBrowser::CViewMibBrowser(CViewDispatcher* dispatcher, QWidget* parent)
    : CViewMibBrowser(dispatcher, SmiTree(), parent) {}

CViewMibBrowser::CViewMibBrowser(CViewDispatcher* dispatcher, CSmiTree& tree, QWidget* parent)
    : QWidget(parent),
      m_splitter(new QSplitter(Qt::Horizontal, this)),
      m_left(new CViewMibBrowserLeft(dispatcher, tree)),
      m_right(new CViewMibBrowserRight(dispatcher, *m_left, tree)),
      m_search(new QLineEdit),
      m_matches(new QListWidget) {
  setObjectName(QStringLiteral("CViewMibBrowser"));
  m_search->setPlaceholderText(QStringLiteral("Search: name, MODULE::name or OID"));
  m_search->setClearButtonEnabled(true);
  m_matches->setMaximumHeight(160);
  m_matches->hide();

  auto* column = new QWidget;
  auto* column_layout = new QVBoxLayout(column);
  column_layout->setContentsMargins(0, 0, 0, 0);
  column_layout->setSpacing(2);
  column_layout->addWidget(m_search);
  column_layout->addWidget(m_matches);
  column_layout->addWidget(m_left, 1);
  m_splitter->addWidget(column);
  m_splitter->addWidget(m_right);
  m_splitter->setStretchFactor(1, 1);
  const int width = static_cast<int>(ReadSettingDword(SETTING_VIEW_MIB_BROWSER_SPLITTER_X));
  m_splitter->setSizes({width, std::max(width, 400)});

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_splitter);
  setFocusProxy(m_left);

  connect(m_search, &QLineEdit::textChanged, this, [this](const QString& text) { Search(text); });
  connect(m_search, &QLineEdit::returnPressed, this, [this] { ChooseMatch(0); });
  connect(m_matches, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { ChooseMatch(m_matches->row(item)); });
  connect(m_matches, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { ChooseMatch(m_matches->row(item)); });
  // Matches point into the index: a new index makes them stale.
  connect(m_left, &CViewMibBrowserLeft::indexChanged, this, [this] { Search(m_search->text()); });
  // The modules loaded at the last exit are loaded again.
  QTimer::singleShot(0, m_left, [left = m_left] { left->OnReload(); });
}

CViewMibBrowser::~CViewMibBrowser() {
  const QList<int> sizes = m_splitter->sizes();
  if (!sizes.isEmpty() && sizes.front() > 0) {
    WriteSettingDword(SETTING_VIEW_MIB_BROWSER_SPLITTER_X, -1, static_cast<uint32_t>(sizes.front()));
  }
}

bool CViewMibBrowser::OnCommand(uint32_t command) { return m_left->OnCommand(command); }

bool CViewMibBrowser::IsCommandEnabled(uint32_t command) const { return m_left->IsCommandEnabled(command); }

void CViewMibBrowser::Search(const QString& text) {
  m_matches->clear();
  const CMibTreeIndex& index = m_left->Index();
  for (CMibTreeIndex::Node node : index.Search(text.toStdString(), kMatchLimit)) {
    auto* item = new QListWidgetItem(MatchText(*index.Object(node)), m_matches);
    item->setData(kNodeRole, node);
  }
  m_matches->setVisible(m_matches->count() > 0);
}

void CViewMibBrowser::ChooseMatch(int row) {
  const QListWidgetItem* item = m_matches->item(row);
  if (item == nullptr) return;
  m_left->Reveal(item->data(kNodeRole).toUInt());
  m_left->setFocus(Qt::OtherFocusReason);
}
