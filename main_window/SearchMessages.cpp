#include "main_window/SearchMessages.h"

#include "scan/SearchDir.h"
#include "support/LangFunctions.h"

#include <QMessageBox>

namespace quillmap {

using LangFunctions::MessageText;

namespace {

// How many unreadable entries the message names one by one.
constexpr int kProblemsNamed = 8;

} // namespace

void ReportSearch(QWidget* window, const QString& caption, const ScanReport& report,
                  const QString& failure)
{
    if (!failure.isEmpty()) {
        QMessageBox::warning(window, caption,
                             MessageText(54, "The search stopped early: %1. The tree shows what "
                                             "was found up to then.")
                                 .arg(failure));
    }
    const QStringList& problems = report.problems;
    if (!problems.isEmpty()) {
        QMessageBox box(QMessageBox::Warning, caption, ProblemsText(problems), QMessageBox::Ok,
                        window);
        // Every entry, to select and copy, behind the box's Show Details button.
        box.setDetailedText(problems.join(QLatin1Char('\n')));
        box.exec();
    }
}

QString ProblemsText(const QStringList& problems)
{
    // All are named when no more than one would be left over, so "and N more" is plural.
    const auto count = problems.size();
    const qsizetype named = count <= kProblemsNamed + 1 ? count : kProblemsNamed;
    QString text =
        count == 1
            ? MessageText(57, "One entry could not be read:")
            : (named == count ? MessageText(58, "%1 entries could not be read:")
                              : MessageText(51, "%1 entries could not be read. The first of them:"))
                  .arg(count);
    for (qsizetype i = 0; i < named; ++i)
        text += QLatin1Char('\n') + problems[i];
    if (named < count)
        text += QLatin1Char('\n') + MessageText(59, "and %1 more.").arg(count - named);
    return text;
}

} // namespace quillmap
