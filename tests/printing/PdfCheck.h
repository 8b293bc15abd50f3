#pragma once

// Reads a printed PDF back with poppler's tools, the way a person would check the paper.

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace pdfcheck {

inline QString run(const QString& program, const QStringList& args)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(120000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Number of pages, 0 when the file is not a readable PDF.
inline int pages(const QString& path)
{
    const QString info = run(QStringLiteral("pdfinfo"), {path});
    const auto match =
        QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)"), QRegularExpression::MultilineOption)
            .match(info);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

// The non-empty text lines of one page, in layout order, with runs of blanks made one (the
// layout mode can't tell one blank from two).
inline QStringList pageLines(const QString& path, int page)
{
    const QString text =
        run(QStringLiteral("pdftotext"),
            {QStringLiteral("-layout"), QStringLiteral("-f"), QString::number(page),
             QStringLiteral("-l"), QString::number(page), path, QStringLiteral("-")});
    QStringList lines;
    // pdftotext puts right-to-left words between embedding marks of its own.
    static const QRegularExpression marks(QStringLiteral("[\u202A-\u202E\u2066-\u2069]"));
    for (QString line : text.split(QLatin1Char('\n'))) {
        const QString trimmed = line.remove(marks).simplified();
        if (!trimmed.isEmpty())
            lines << trimmed;
    }
    return lines;
}

// Every line of the document but the footers (whose date and time differ from print to print).
inline QStringList linesWithoutFooters(const QString& path)
{
    QStringList all;
    const int count = pages(path);
    for (int page = 1; page <= count; ++page)
        for (const QString& line : pageLines(path, page))
            if (!line.contains(QStringLiteral("-Page %1-").arg(page)))
                all << line;
    return all;
}

// Checks a printed tree: the title first, the tree lines in order, and "-Page N-" on every page.
// Returns what is wrong, or an empty text.
inline QString checkPrintedTree(const QString& path, const QString& title,
                                const QStringList& treeLines, int* pageCount = nullptr)
{
    const int count = pages(path);
    if (pageCount)
        *pageCount = count;
    if (count == 0)
        return QStringLiteral("not a readable PDF: ") + path;
    // The file's structure, as qpdf checks it (scripts/setup installs it).
    QProcess qpdf;
    qpdf.start(QStringLiteral("qpdf"), {QStringLiteral("--check"), path});
    if (qpdf.waitForFinished(120000) && qpdf.exitCode() != 0)
        return QStringLiteral("qpdf --check: ") +
               QString::fromUtf8(qpdf.readAllStandardOutput() + qpdf.readAllStandardError());
    QStringList all;
    for (int page = 1; page <= count; ++page) {
        const QStringList lines = pageLines(path, page);
        const QString label = QStringLiteral("-Page %1-").arg(page);
        bool labelled = false;
        for (const QString& line : lines) {
            if (line.contains(label))
                labelled = true;
            else
                all << line;
        }
        if (!labelled)
            return QStringLiteral("page %1 has no label %2").arg(page).arg(label);
    }
    if (all.isEmpty() || all.first() != title)
        return QStringLiteral("the first line is '%1', not the title '%2'")
            .arg(all.value(0), title);
    qsizetype at = 1;
    for (const QString& line : treeLines) {
        const QString expected = line.simplified();
        while (at < all.size() && all[at] != expected)
            ++at;
        if (at == all.size())
            return QStringLiteral("the tree line '%1' is missing or out of order").arg(expected);
        ++at;
    }
    return QString();
}

} // namespace pdfcheck
