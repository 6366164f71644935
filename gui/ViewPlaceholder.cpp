#include "gui/ViewPlaceholder.h"

#include <QPalette>

CViewPlaceholder::CViewPlaceholder(const QString& name, QWidget* parent) : QWidget(parent) {
  setObjectName(name);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Base);
  setFocusPolicy(Qt::StrongFocus);
}

bool CViewPlaceholder::OnCommand(uint32_t command) {
  m_received.push_back(command);
  return false;
}
