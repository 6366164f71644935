#include "gui/ViewSimuler.h"

#include "app/Settings.h"
#include "gui/ViewSimulerLeft.h"
#include "gui/ViewSimulerSummary.h"
#include "gui/ViewSimulerValue.h"

#include <QScrollArea>

namespace {

int Stored(uint32_t setting, uint32_t fallback) {
  uint32_t value = ReadSettingDword(setting);
  if (value == 0 || value > 10000) value = fallback;
  return static_cast<int>(value);
}

}  // namespace

CFrameSimuler::CFrameSimuler(CViewDispatcher* dispatcher, QWidget* parent)
    : QSplitter(Qt::Horizontal, parent),
      // The tree first: it owns the library and answers the others' first question.
      m_left(new CViewSimulerLeft(dispatcher, this)),
      m_right(new QSplitter(Qt::Vertical, this)),
      m_summary(new CViewSimulerSummary(dispatcher, &m_left->Library(), m_right)),
      m_values(new CViewSimulerValue(dispatcher, &m_left->Library(), m_right)) {
  setObjectName(QStringLiteral("CFrameSimuler"));
  setChildrenCollapsible(false);
  m_right->setChildrenCollapsible(false);
  addWidget(m_left);
  addWidget(m_right);
  // The form scrolls rather than widen the main window.
  auto* form = new QScrollArea(m_right);
  form->setWidget(m_summary);
  form->setWidgetResizable(true);
  form->setFrameShape(QFrame::NoFrame);
  form->setMinimumHeight(m_summary->sizeHint().height());
  m_right->addWidget(form);
  m_right->addWidget(m_values);
  setStretchFactor(1, 1);
  m_right->setStretchFactor(1, 1);
  setSizes({Stored(SETTING_VIEW_SIMULER_SPLITTER_X, 200), 600});
  m_right->setSizes({Stored(SETTING_VIEW_SIMULER_SPLITTER_Y1, 50), Stored(SETTING_VIEW_SIMULER_SPLITTER_Y2, 150)});
  setFocusProxy(m_left);
}

CFrameSimuler::~CFrameSimuler() {
  _store_splitters();
  // The form and the list point into the tree's library: they go first.
  delete m_right;
}

void CFrameSimuler::_store_splitters() const {
  const QList<int> columns = sizes();
  const QList<int> rows = m_right->sizes();
  // A frame never laid out has no sizes worth keeping.
  if (columns.size() == 2 && columns[0] > 0) WriteSettingDword(SETTING_VIEW_SIMULER_SPLITTER_X, -1, columns[0]);
  if (rows.size() == 2 && rows[0] > 0 && rows[1] > 0) {
    WriteSettingDword(SETTING_VIEW_SIMULER_SPLITTER_Y1, -1, rows[0]);
    WriteSettingDword(SETTING_VIEW_SIMULER_SPLITTER_Y2, -1, rows[1]);
  }
}

bool CFrameSimuler::OnCommand(uint32_t command) {
  if (m_left->IsCommandEnabled(command)) return m_left->OnCommand(command);
  return m_values->OnCommand(command);
}

bool CFrameSimuler::IsCommandEnabled(uint32_t command) const {
  return m_left->IsCommandEnabled(command) || m_values->IsCommandEnabled(command);
}
