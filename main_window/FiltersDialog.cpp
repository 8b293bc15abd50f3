#include "main_window/FiltersDialog.h"

#include "listing/ListingDocument.h"
#include "scan/IgnoreRules.h"
#include "support/LangFunctions.h"

#include <QAction>
#include <QCheckBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillmap {

using LangFunctions::MessageText;

namespace {

QString patternProblem(const QString& pattern)
{
    switch (IgnoreRules::check(pattern.toStdString())) {
    case IgnoreRules::Problem::None:
        return {};
    case IgnoreRules::Problem::Empty:
    case IgnoreRules::Problem::LineBreak:
        return MessageText(271, "The pattern %1 is empty or a comment. Write \\# for a name "
                                "that starts with #.")
            .arg(pattern);
    case IgnoreRules::Problem::UnclosedSet:
        return MessageText(272, "The pattern %1 has a \"[\" that is not closed, or an unknown "
                                "class.")
            .arg(pattern);
    case IgnoreRules::Problem::TrailingBackslash:
        return MessageText(273, "The pattern %1 ends with a lone \"\\\".").arg(pattern);
    }
    return {};
}

QString noneOr(const ScanFilters& filters)
{
    return filters.isEmpty() ? MessageText(260, "none") : filters.describe(true);
}

} // namespace

FiltersDialog::FiltersDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FiltersDialog"));
    setWindowTitle(MessageText(251, "Filters"));
    auto* layout = new QVBoxLayout(this);

    auto* excludeLabel = new QLabel(MessageText(261, "Leave out (one pattern a line, as in "
                                                     ".gitignore: node_modules, *.tmp, /build, "
                                                     "logs/):"),
                                    this);
    excludeLabel->setWordWrap(true);
    layout->addWidget(excludeLabel);
    m_exclude = new QPlainTextEdit(this);
    m_exclude->setObjectName(QStringLiteral("exclude"));
    m_exclude->setTabChangesFocus(true);
    excludeLabel->setBuddy(m_exclude);
    layout->addWidget(m_exclude);
    auto* fromFile = new QPushButton(MessageText(262, "Read from a file..."), this);
    connect(fromFile, &QPushButton::clicked, this, &FiltersDialog::readPatternFile);
    layout->addWidget(fromFile, 0, Qt::AlignLeft);

    m_hidden =
        new QCheckBox(MessageText(263, "List hidden entries (names that start with \".\")"), this);
    m_gitignore = new QCheckBox(
        MessageText(264, "Leave out what .gitignore, .ignore and .git/info/exclude leave out"),
        this);
    m_foldersOnly = new QCheckBox(MessageText(265, "Folders only, no files"), this);
    for (QCheckBox* box : {m_hidden, m_gitignore, m_foldersOnly})
        layout->addWidget(box);

    auto* form = new QFormLayout;
    const auto field = [&](QLineEdit*& edit, const char* name, int message, const char* english) {
        edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        form->addRow(MessageText(message, english), edit);
    };
    field(m_minSize, "minSize", 266, "Files of at least (bytes, or with K, M, G: 10K):");
    field(m_maxSize, "maxSize", 267, "Files of at most:");
    field(m_newer, "newer", 268, "Modified since (a date, 2024-01-31, or an age: 30d, 12h, 2w):");
    field(m_older, "older", 269, "Modified before:");
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* clear = buttons->addButton(MessageText(270, "Clear"), QDialogButtonBox::ResetRole);
    connect(clear, &QPushButton::clicked, this, [this] { showChoices(ScanFilters()); });
    connect(buttons, &QDialogButtonBox::accepted, this, &FiltersDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &FiltersDialog::reject);
    layout->addWidget(buttons);
}

QAction* FiltersDialog::addMenuItem(QMenu& menu, QAction* before)
{
    auto* action = new QAction(MessageText(250, "Filters..."), &menu);
    action->setObjectName(QStringLiteral("MNU_Filters"));
    menu.insertAction(before, action);
    connect(action, &QAction::triggered, this, &FiltersDialog::edit);
    return action;
}

void FiltersDialog::showOn(QWidget& bar, const ListingDocument& document)
{
    m_bar = &bar;
    m_document = &document;
    connect(&document, &ListingDocument::changed, this, &FiltersDialog::updateToolTip);
    connect(this, &FiltersDialog::choicesChanged, this, &FiltersDialog::updateToolTip);
    updateToolTip();
}

void FiltersDialog::updateToolTip()
{
    if (!m_bar)
        return;
    QString tip = MessageText(281, "Filters for the next search: %1").arg(noneOr(m_choices));
    if (m_document && !m_document->isEmpty() &&
        !m_document->record().filters.sameChoices(m_choices))
        tip += u'\n' + MessageText(282, "Filters of the tree shown: %1")
                           .arg(noneOr(m_document->record().filters));
    m_bar->setToolTip(tip);
}

void FiltersDialog::setChoices(const ScanFilters& choices)
{
    m_choices = choices;
    showChoices(m_choices);
    emit choicesChanged();
}

void FiltersDialog::showChoices(const ScanFilters& f)
{
    m_exclude->setPlainText(f.exclude.join(u'\n'));
    m_hidden->setChecked(f.hidden);
    m_gitignore->setChecked(f.gitignore);
    m_foldersOnly->setChecked(f.foldersOnly);
    m_minSize->setText(f.minSize ? ScanFilters::sizeText(*f.minSize) : QString());
    m_maxSize->setText(f.maxSize ? ScanFilters::sizeText(*f.maxSize) : QString());
    m_newer->setText(f.newerText);
    m_older->setText(f.olderText);
}

bool FiltersDialog::edit()
{
    showChoices(m_choices);
    return exec() == QDialog::Accepted;
}

ScanFilters FiltersDialog::forSearch() const
{
    ScanFilters filters = m_choices;
    filters.resolve(QDateTime::currentSecsSinceEpoch());
    return filters;
}

QString FiltersDialog::read(ScanFilters& out, std::int64_t now) const
{
    ScanFilters f;
    for (const QString& line : m_exclude->toPlainText().split(u'\n')) {
        if (line.trimmed().isEmpty() || line.startsWith(u'#'))
            continue; // blank lines and comments, as in a .gitignore
        if (const QString why = patternProblem(line); !why.isEmpty())
            return why;
        f.exclude << line;
    }
    f.hidden = m_hidden->isChecked();
    f.gitignore = m_gitignore->isChecked();
    f.foldersOnly = m_foldersOnly->isChecked();
    for (auto [edit, bound] :
         {std::pair{m_minSize, &f.minSize}, std::pair{m_maxSize, &f.maxSize}}) {
        const QString text = edit->text().trimmed();
        std::uint64_t bytes = 0;
        if (text.isEmpty())
            continue;
        if (!ScanFilters::parseSize(text, bytes))
            return MessageText(274, "%1 is not a size. Write a number of bytes, or one followed "
                                    "by K, M, G or T.")
                .arg(text);
        *bound = bytes;
    }
    f.newerText = m_newer->text().trimmed();
    f.olderText = m_older->text().trimmed();
    for (const QString& text : {f.newerText, f.olderText}) {
        std::int64_t at = 0;
        if (!text.isEmpty() && !ScanFilters::parseTime(text, now, at))
            return MessageText(275, "%1 is neither a date nor an age. Write 2024-01-31, or an "
                                    "age: 30d, 12h, 2w.")
                .arg(text);
    }
    f.resolve(now);
    if (f.minSize && f.maxSize && *f.minSize > *f.maxSize)
        return MessageText(276, "The smallest size is larger than the largest: no file could be "
                                "listed.");
    if (f.newer && f.older && *f.newer >= *f.older)
        return MessageText(277, "No date is both since %1 and before %2: no file could be "
                                "listed.")
            .arg(f.newerText, f.olderText);
    // The ages are reckoned again when a search starts.
    f.newer.reset();
    f.older.reset();
    out = f;
    return {};
}

void FiltersDialog::accept()
{
    ScanFilters f;
    const QString problem = read(f, QDateTime::currentSecsSinceEpoch());
    if (!problem.isEmpty()) {
        QMessageBox::warning(this, windowTitle(), problem);
        return;
    }
    m_choices = f;
    QDialog::accept();
    emit choicesChanged();
}

void FiltersDialog::readPatternFile()
{
    const QString path =
        QFileDialog::getOpenFileName(this, MessageText(262, "Read from a file..."));
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        QMessageBox::warning(this, windowTitle(),
                             MessageText(82, "The file %1 can't be read: %2")
                                 .arg(QDir::toNativeSeparators(path), file.errorString()));
        return;
    }
    const QStringList patterns = ScanFilters::patternsOfFile(file.readAll());
    QString text = m_exclude->toPlainText();
    if (!text.isEmpty() && !text.endsWith(u'\n'))
        text += u'\n';
    m_exclude->setPlainText(text + patterns.join(u'\n'));
}

} // namespace quillmap
