// CViewMibBrowserRight: the definition of the object selected in the
// Browser's tree. The form grows its description with the window and
// scrolls when the window is smaller than the form's minimum size.
#pragma once

#include "app/MessageCenter.h"

#include <QScrollArea>

#include <string>

class CViewMibBrowserLeft;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
struct CSmiObject;
class CSmiTree;

class CViewMibBrowserRight : public QScrollArea, public CViewWindow {
  Q_OBJECT

 public:
  enum Field {
    FIELD_FILE,
    FIELD_LINE,
    FIELD_NAME,
    FIELD_OID,
    FIELD_TYPE,
    FIELD_STATUS,
    FIELD_BASIC_TYPE,
    FIELD_ACCESS,
    FIELD_SUB_TYPE,
    FIELD_COUNT
  };

  CViewMibBrowserRight(CViewDispatcher* dispatcher, const CViewMibBrowserLeft& tree_view, CSmiTree& tree,
                       QWidget* parent = nullptr);
  ~CViewMibBrowserRight() override;

  intptr_t OnViewMessage(uint32_t message, uintptr_t sub_code, uintptr_t payload) override;

  // Fills the form from an object (null empties it).
  void Show(const CSmiObject* object);
  // Opens the shown object's file in the text editor.
  bool OnEdit();

  QString FieldText(Field field) const;
  QString Description() const;
  QPushButton* EditButton() const { return m_edit; }

 private:
  const CViewMibBrowserLeft& m_tree_view;
  CSmiTree& m_tree;
  QLineEdit* m_fields[FIELD_COUNT] = {};
  QPlainTextEdit* m_description;
  QPushButton* m_edit;
  std::wstring m_file;
};
