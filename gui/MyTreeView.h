// CMyTreeView: the tree shared by the MIB tree and the simulator library.
//
// Nodes are not copied into the widget: the derived view names each node by
// a handle of its own (0 is the invisible root) and answers, through a small
// Qt model, how many children a node has, which they are, its parent, its
// text and its image. A rebuild (a MIB load) brackets its changes with
// BeginResetTree / EndResetTree.
#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <QStringList>
#include <QTreeView>

#include <cstdint>
#include <string>
#include <vector>

using TreeNode = quintptr;
constexpr TreeNode kTreeRoot = 0;

class CMyTreeView;

// The model behind a CMyTreeView: every answer comes from the view.
class CMyTreeModel : public QAbstractItemModel {
 public:
  explicit CMyTreeModel(CMyTreeView* view);

  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 private:
  friend class CMyTreeView;
  CMyTreeView* m_view;
  bool m_ready = false;  // false until the derived view is built
};

class CMyTreeView : public QTreeView {
 public:
  CMyTreeView(const wchar_t* class_name, QWidget* parent = nullptr);
  ~CMyTreeView() override;

  const std::wstring& ClassName() const { return m_class_name; }
  CMyTreeModel* TreeModel() const { return m_model; }

  // What the derived view answers.
  virtual int NodeChildCount(TreeNode node) const = 0;
  virtual TreeNode NodeChild(TreeNode node, int row) const = 0;
  virtual TreeNode NodeParent(TreeNode node) const = 0;
  // The node's position among its parent's children.
  virtual int NodeRow(TreeNode node) const = 0;
  virtual QString NodeText(TreeNode node) const = 0;
  // Index into the images, -1 for none.
  virtual int NodeImage(TreeNode node) const;
  // Drawn in bold (a running simulator, say).
  virtual bool NodeBold(TreeNode) const { return false; }

  // The node of an index (kTreeRoot for an invalid one) and back.
  static TreeNode NodeOf(const QModelIndex& index);
  QModelIndex IndexOf(TreeNode node) const;
  // The selected node, kTreeRoot when none.
  TreeNode SelectedNode() const;
  void SelectNode(TreeNode node);

  const QIcon& Image(int index) const;

 protected:
  // Call once the derived view can answer: the tree shows its nodes.
  void TreeReady();
  // The images, one resource path per index; false (logged) when one
  // cannot be loaded.
  bool SetImages(const QStringList& paths);
  void BeginResetTree();
  void EndResetTree();
  // Children appended under a node: call before the derived view adds them.
  void BeginAppendChildren(TreeNode parent, int count);
  void EndAppendChildren();

  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  std::wstring m_class_name;
  CMyTreeModel* m_model;
  std::vector<QIcon> m_images;
};
