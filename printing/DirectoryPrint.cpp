#include "printing/DirectoryPrint.h"

#include "printing/CPrintTvw.h"
#include "support/LangFunctions.h"
#include "tree/NodeStore.h"

namespace quillmap {

std::shared_ptr<CPrintTvw> NewDirectoryPrint(NodeStore& tree, const PrintSettings& settings,
                                             DetailTicks details, const QString& secondTitle)
{
    using LangFunctions::MessageText;
    auto print = std::make_shared<CPrintTvw>();
    print->setFontBold(settings.bold);
    print->setFontSize(settings.fontSize);
    print->setPrintFooter(settings.footer);
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
    print->setLayout(settings.layout);
    print->setDetailTicks(details);
    print->setContinuedText(MessageText(200, "%1 (continued)"));
    print->setColumnLabels({MessageText(201, "Name"), MessageText(202, "Size"),
                            MessageText(203, "Modified"), MessageText(204, "Created"),
                            MessageText(205, "Accessed"), MessageText(206, "Attributes"),
                            MessageText(207, "Type")});
    return print;
}

std::shared_ptr<CPrintTvw> NewBranchPrint(NodeStore& tree, std::uint32_t branch,
                                          const PrintSettings& settings, DetailTicks details,
                                          const QString& secondTitle)
{
    auto print = NewDirectoryPrint(tree, settings, details, secondTitle);
    tree.setSelected(branch);
    print->setPrintStyle(2);
    if (tree.contains(branch))
        print->setTitle(QStringLiteral("View of ") + NodeStore::displayString(tree.key(branch)));
    return print;
}

} // namespace quillmap
