// The shared tree: a model over the derived view's own nodes.
#include "gui/MyTreeView.h"

#include "tests/common/LogCapture.h"

#include <QAbstractItemModelTester>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// Nodes in a vector; a node's handle is its position plus one.
class CTestTree : public CMyTreeView {
 public:
  CTestTree() : CMyTreeView(L"CTestTree") { TreeReady(); }

  TreeNode Add(TreeNode parent, const QString& text, int image = -1) {
    BeginAppendChildren(parent, 1);
    const TreeNode node = _append(parent, text, image);
    EndAppendChildren();
    return node;
  }
  // Replaces the whole tree in one reset.
  void Rebuild(const std::vector<QString>& tops) {
    BeginResetTree();
    m_nodes.clear();
    m_roots.clear();
    for (const QString& text : tops) _append(kTreeRoot, text, -1);
    EndResetTree();
  }
  bool UseImages(const QStringList& paths) { return SetImages(paths); }

  int NodeChildCount(TreeNode node) const override { return static_cast<int>(Children(node).size()); }
  TreeNode NodeChild(TreeNode node, int row) const override { return Children(node)[static_cast<size_t>(row)]; }
  TreeNode NodeParent(TreeNode node) const override { return At(node).parent; }
  int NodeRow(TreeNode node) const override {
    const std::vector<TreeNode>& siblings = Children(At(node).parent);
    return static_cast<int>(std::find(siblings.begin(), siblings.end(), node) - siblings.begin());
  }
  QString NodeText(TreeNode node) const override { return At(node).text; }
  int NodeImage(TreeNode node) const override { return At(node).image; }

 private:
  struct Node {
    QString text;
    TreeNode parent;
    int image;
    std::vector<TreeNode> children;
  };
  TreeNode _append(TreeNode parent, const QString& text, int image) {
    m_nodes.push_back(std::make_unique<Node>(Node{text, parent, image, {}}));
    const TreeNode node = m_nodes.size();
    (parent == kTreeRoot ? m_roots : m_nodes[parent - 1]->children).push_back(node);
    return node;
  }
  const Node& At(TreeNode node) const { return *m_nodes[node - 1]; }
  const std::vector<TreeNode>& Children(TreeNode node) const {
    return node == kTreeRoot ? m_roots : m_nodes[node - 1]->children;
  }
  std::vector<std::unique_ptr<Node>> m_nodes;
  std::vector<TreeNode> m_roots;
};

QString Text(const QModelIndex& index) { return index.data().toString(); }

}  // namespace

TEST(MyTreeViewTest, ModelFollowsTheViewsNodesThroughAppendsAndRebuilds) {
  CTestTree tree;
  QAbstractItemModelTester tester(tree.TreeModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
  const TreeNode iso = tree.Add(kTreeRoot, "iso");
  const TreeNode org = tree.Add(iso, "org");
  tree.expandAll();
  const TreeNode dod = tree.Add(org, "dod");
  tree.Add(kTreeRoot, "joint-iso-ccitt");
  tree.Add(org, "other");

  QAbstractItemModel* model = tree.TreeModel();
  ASSERT_EQ(model->rowCount(), 2);
  const QModelIndex org_index = model->index(0, 0, model->index(0, 0));
  EXPECT_EQ(Text(org_index), "org");
  EXPECT_EQ(model->rowCount(org_index), 2);
  EXPECT_EQ(Text(model->index(1, 0, org_index)), "other");
  EXPECT_EQ(Text(model->parent(model->index(0, 0, org_index))), "org");
  EXPECT_EQ(CMyTreeView::NodeOf(tree.IndexOf(dod)), dod);

  tree.Rebuild({"a", "b", "c"});
  EXPECT_EQ(model->rowCount(), 3);
  EXPECT_EQ(Text(model->index(2, 0)), "c");
}

TEST(MyTreeViewTest, SelectionIsKeptAndShownWithoutFocus) {
  CTestTree tree;
  const TreeNode iso = tree.Add(kTreeRoot, "iso");
  const TreeNode org = tree.Add(iso, "org");
  EXPECT_EQ(tree.SelectedNode(), kTreeRoot);
  tree.SelectNode(org);
  EXPECT_EQ(tree.SelectedNode(), org);
  EXPECT_TRUE(tree.isExpanded(tree.IndexOf(iso))) << "a selected node's parents open";
  const QPalette colours = tree.palette();
  EXPECT_EQ(colours.color(QPalette::Inactive, QPalette::Highlight),
            colours.color(QPalette::Active, QPalette::Highlight));
  EXPECT_EQ(colours.color(QPalette::Inactive, QPalette::HighlightedText),
            colours.color(QPalette::Active, QPalette::HighlightedText));
}

TEST(MyTreeViewTest, ImagesComeFromTheViewAndAMissingOneIsLogged) {
  CTestTree tree;
  LogCapture log;
  EXPECT_FALSE(tree.UseImages({":/images/tavelo.svg", ":/images/no-such-image.svg"}));
  EXPECT_TRUE(log.HasContaining(L"Unable to create the image list", QUILLOG_ERROR));
  ASSERT_TRUE(tree.UseImages({":/images/tavelo.svg"}));
  tree.Add(kTreeRoot, "with", 0);
  tree.Add(kTreeRoot, "without", -1);
  EXPECT_FALSE(tree.TreeModel()->index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
  EXPECT_FALSE(tree.TreeModel()->index(1, 0).data(Qt::DecorationRole).isValid());
}
