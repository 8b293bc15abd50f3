#include "printing/DirectoryPrint.h"

#include "platform/NodeStore.h"
#include "platform/PainterPrinterDevice.h"
#include "printing/CPrintTvw.h"

#include <QFile>
#include <QPdfWriter>

namespace quillmap {

std::shared_ptr<CPrintTvw> NewDirectoryPrint(NodeStore& tree)
{
    auto print = std::make_shared<CPrintTvw>();
    print->setFontBold(true);
    print->setFontSize(8);
    print->setPrintFooter(true);
    print->setPrintStyle(1);
    print->setSecondTitle(QString());
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

bool PrintToPdfFile(CPrintTvw& print, const QString& path, QString* error)
{
    bool ok = false;
    QString message;
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            if (error)
                *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
            return false;
        }
        QPdfWriter writer(&file);
        writer.setTitle(print.Title());
        writer.setCreator(QStringLiteral("Quillmap Print"));
        writer.setPageLayout(
            PainterPrinterDevice::standardLayout(PainterPrinterDevice::localePageSize()));
        PainterPrinterDevice device(writer);
        ok = print.PrintTvw(device);
        message = print.errorString();
        file.close();
        if (ok && file.error() != QFileDevice::NoError) {
            ok = false;
            message = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        }
    }
    if (!ok) {
        QFile::remove(path);
        if (error)
            *error = message;
    }
    return ok;
}

} // namespace quillmap
