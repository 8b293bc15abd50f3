#include "printing/DirectoryPrint.h"

#include "platform/NodeStore.h"
#include "platform/PainterPrinterDevice.h"
#include "platform/PdfStreamPrinterDevice.h"
#include "platform/PrintFont.h"
#include "printing/CPrintTvw.h"
#include "support/SafeFile.h"

#include <QDate>
#include <QLocale>
#include <QPdfWriter>
#include <QTime>

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

namespace {

// Whether every text of the document is in the print font, so the PDF stream device can
// print it; otherwise Qt's PDF writer prints it, with its font fallback.
bool printFontCovers(const PrintFont& font, const CPrintTvw& print)
{
    if (!font.isValid() || font.trueTypeFile(false).isEmpty() || font.trueTypeFile(true).isEmpty())
        return false;
    const QLocale locale = QLocale::system();
    const QString furniture = locale.toString(QDate::currentDate(), QLocale::ShortFormat) +
                              locale.toString(QTime::currentTime(), QLocale::LongFormat) +
                              QStringLiteral("-Page 0123456789");
    if (!font.supports(print.Title(), print.TitleFontBold()) ||
        !font.supports(print.SecondTitle(), print.SecondTitleFontBold()) ||
        !font.supports(furniture, false) || !font.supports(furniture, true))
        return false;
    for (const QString& line : print.ClosingPage())
        if (!font.supports(line, true))
            return false;
    const NodeStore* tree = print.tvwToPrint();
    if (!tree)
        return true;
    for (NodeStore::Id id = 0; id < tree->size(); ++id)
        if (!font.supports(tree->displayText(id), print.FontBold()))
            return false;
    return true;
}

} // namespace

bool PrintToPdfFile(CPrintTvw& print, const QString& path, QString* error)
{
    // Written beside the target and put in place when complete: a failed or interrupted print
    // leaves whatever was there before.
    SafeFile file(path);
    if (!file.open()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const QPageLayout layout =
        PainterPrinterDevice::standardLayout(PainterPrinterDevice::localePageSize());
    const QString creator = QStringLiteral("Quillmap Print");
    const PrintFont font;
    bool ok = false;
    if (printFontCovers(font, print)) {
        // Long listings: write the PDF directly, many times faster than through QPainter.
        PdfStreamPrinterDevice device(file.device(), font, layout, print.Title(), creator);
        device.setOutputName(path);
        ok = print.PrintTvw(device);
    } else {
        QPdfWriter writer(&file.device());
        writer.setTitle(print.Title());
        writer.setCreator(creator);
        writer.setPageLayout(layout);
        PainterPrinterDevice device(writer);
        ok = print.PrintTvw(device);
    }
    QString message = print.errorString();
    if (file.device().error() != QFileDevice::NoError) {
        ok = false;
        message = QStringLiteral("Cannot write %1: %2").arg(path, file.device().errorString());
    }
    if (ok && !file.commit()) {
        ok = false;
        message = file.errorString();
    }
    if (!ok) {
        file.abort();
        if (error)
            *error = message;
    }
    return ok;
}

} // namespace quillmap
