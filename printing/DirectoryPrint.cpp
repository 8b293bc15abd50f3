#include "printing/DirectoryPrint.h"

#include "printing/CPrintTvw.h"
#include "tree/NodeStore.h"

namespace quillmap {

std::shared_ptr<CPrintTvw> NewDirectoryPrint(NodeStore& tree, const QString& secondTitle)
{
    auto print = std::make_shared<CPrintTvw>();
    print->setFontBold(true);
    print->setFontSize(8);
    print->setPrintFooter(true);
    print->setPrintStyle(1);
    print->setSecondTitle(secondTitle);
    print->setSecondTitleFontBold(false);
    print->setSecondTitleFontSize(8);
    const NodeStore::Id root = tree.item1();
    const QString path =
        root == NodeStore::npos ? QString() : NodeStore::displayString(tree.fullPath(root));
    print->setTitle(QStringLiteral("View of ") + path);
    print->setTitleFontBold(true);
    print->setTitleFontSize(14);
    print->setConnectorStyle(1);
    print->setTvwToPrint(&tree);
    return print;
}

std::shared_ptr<CPrintTvw> NewBranchPrint(NodeStore& tree, std::uint32_t branch,
                                          const QString& secondTitle)
{
    auto print = NewDirectoryPrint(tree, secondTitle);
    tree.setSelected(branch);
    print->setPrintStyle(2);
    if (tree.contains(branch))
        print->setTitle(QStringLiteral("View of ") + NodeStore::displayString(tree.key(branch)));
    return print;
}

} // namespace quillmap
