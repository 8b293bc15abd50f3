#include "main_window/ListingDir.h"

#include "listing/ListingDocument.h"
#include "listing/SavedListingSource.h"
#include "support/LangFunctions.h"
#include "support/SystemErrorText.h"

#include <QColor>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QLocale>
#include <QMessageBox>
#include <QStandardPaths>

#include <cstring>

namespace quillmap {

using LangFunctions::MessageText;

QString ChooseListing(QWidget* window, const QString& title)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    QFileDialog dialog(window, title, folder, QStringLiteral("JSON (*.json);;* (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

bool OpenListing(QWidget* window, ListingDocument& document, const QString& path)
{
    SavedListingSource source(QFile::encodeName(path).toStdString());
    if (document.load(source, ListingDocument::Origin::SavedListing, source.path()))
        return true;
    QMessageBox::warning(
        window, MessageText(80, "Open Listing"),
        ListingErrorText(source.result(), QDir::toNativeSeparators(path), source.systemError()));
    return false;
}

bool CompareWithListing(QWidget* window, ListingDocument& document, const QString& path)
{
    if (!SomethingToCompare(window, document))
        return false;
    SavedListingSource source(QFile::encodeName(path).toStdString());
    source.setKeepUnread(false); // only its tree is compared, and shown
    if (document.compareWith(source, QFileInfo(path).fileName())) {
        // What shows as added or removed may be so only because the filters differed.
        const ScanFilters& now = document.record().filters;
        const ScanFilters& before = document.comparedRecord().filters;
        const auto text = [](const ScanFilters& f) {
            return f.isEmpty() ? MessageText(260, "none") : f.describe(true);
        };
        if (!now.sameChoices(before))
            QMessageBox::information(
                window, MessageText(81, "Compare with Listing"),
                MessageText(278, "The listings were made with different filters: some changes "
                                 "may come from them alone.") +
                    QStringLiteral("\n\n") + MessageText(279, "This tree: %1").arg(text(now)) +
                    u'\n' + MessageText(280, "Compared with: %1").arg(text(before)));
        return true;
    }
    QMessageBox::warning(
        window, MessageText(81, "Compare with Listing"),
        ListingErrorText(source.result(), QDir::toNativeSeparators(path), source.systemError()));
    return false;
}

bool SomethingToCompare(QWidget* window, const ListingDocument& document)
{
    if (!document.isEmpty())
        return true;
    QMessageBox::information(window, MessageText(81, "Compare with Listing"),
                             MessageText(88, "There is nothing to compare yet. Search a folder "
                                             "or open a listing first."));
    return false;
}

QString ListingErrorText(ListingJsonReader::Result result, const QString& file, int systemError)
{
    using Result = ListingJsonReader::Result;
    switch (result) {
    case Result::Ok:
        break;
    case Result::CannotOpen:
        return MessageText(82, "The file %1 can't be read: %2")
            .arg(file, SystemErrorText(systemError));
    case Result::NotJson:
    case Result::NotListing:
        return MessageText(83, "The file %1 is not a saved listing. Nothing was changed.")
            .arg(file);
    case Result::Truncated:
        return MessageText(84, "The file %1 is cut short: it is not a complete listing. Nothing "
                               "was changed.")
            .arg(file);
    case Result::TooLong:
        return MessageText(94, "The listing %1 holds a text longer than 16 MB, more than this "
                               "program reads. Nothing was changed.")
            .arg(file);
    case Result::NoVersion:
        return MessageText(85, "The listing %1 was saved by an older version that wrote no format "
                               "version. Save it again with this version.")
            .arg(file);
    case Result::NewerVersion:
        return MessageText(86, "The listing %1 was saved by a newer version of the program.")
            .arg(file);
    case Result::Invalid:
        return MessageText(87, "The listing %1 is damaged. Nothing was changed.").arg(file);
    }
    return {};
}

QVariant ChangeMark(const std::vector<NodeChange>& changes, NodeStore::Id id, int role,
                    const QFont& font)
{
    if (id >= changes.size())
        return {};
    const NodeChange change = changes[id];
    if (role == Qt::ForegroundRole && change != NodeChange::Same)
        return QColor(change == NodeChange::Added     ? QColor(0x00, 0x80, 0x00)
                      : change == NodeChange::Removed ? QColor(0xC0, 0x00, 0x00)
                                                      : QColor(0x00, 0x50, 0xC0));
    if (role == Qt::FontRole && change == NodeChange::Removed) {
        QFont italic = font;
        italic.setItalic(true);
        return italic;
    }
    return {};
}

QString ListingTitle(const ListingDocument& document)
{
    if (document.isCompared())
        return QStringLiteral(" - ") +
               MessageText(89, "Compared with %1").arg(document.comparedWith());
    if (document.origin() == ListingDocument::Origin::SavedListing)
        return QStringLiteral(" - ") +
               QFileInfo(QFile::decodeName(document.listingPath().c_str())).fileName();
    return {};
}

QStringList ComparisonSummary(const TreeComparison::Summary& summary, const QString& file)
{
    const QLocale locale;
    const auto counts = [&](const std::array<std::uint64_t, 4>& n, int message,
                            const char* english) {
        return MessageText(message, english)
            .arg(locale.toString(qulonglong(n[std::size_t(NodeChange::Added)])),
                 locale.toString(qulonglong(n[std::size_t(NodeChange::Removed)])),
                 locale.toString(qulonglong(n[std::size_t(NodeChange::Changed)])),
                 locale.toString(qulonglong(n[std::size_t(NodeChange::Same)])));
    };
    return {MessageText(89, "Compared with %1").arg(file),
            QString(),
            counts(summary.files, 90, "Files: %1 added, %2 removed, %3 changed, %4 the same"),
            counts(summary.folders, 91, "Folders: %1 added, %2 removed, %3 changed, %4 the same"),
            MessageText(92, "Bytes added: %1, bytes removed: %2")
                .arg(locale.toString(qulonglong(summary.bytesAdded)),
                     locale.toString(qulonglong(summary.bytesRemoved))),
            QString(),
            MessageText(93, "Marks: + added, - removed, ~ changed, = the same")};
}

} // namespace quillmap
