#pragma once

#include "scan/ScanFilters.h"

#include <QDialog>

#include <cstdint>

class QAction;
class QCheckBox;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QWidget;

namespace quillmap {

class ListingDocument;

// File > Filters...: what the next searches leave out or let in besides the Levels and File
// Types boxes (ScanFilters): patterns to leave out, hidden entries, the .gitignore files,
// folders only, a size range and a range of dates. The status bar's tool tip shows them beside
// the counts, with those of the tree shown where they differ.
//
// Contract: edit() shows the dialog with the choices last accepted; OK takes the fields only
// when every one of them can be used, else it says which can't and stays open; Cancel keeps
// the choices as they were.
class FiltersDialog : public QDialog
{
    Q_OBJECT
public:
    explicit FiltersDialog(QWidget* parent = nullptr);

    // Adds File > Filters... before `before` in `menu`.
    QAction* addMenuItem(QMenu& menu, QAction* before);
    // Keeps the tool tip of `bar` (the status bar) on the choices and on the filters of the
    // tree `document` holds.
    void showOn(QWidget& bar, const ListingDocument& document);

    // Shows the dialog with the choices; true when new ones were accepted.
    bool edit();
    const ScanFilters& choices() const { return m_choices; }
    void setChoices(const ScanFilters& choices);
    // The choices for a search starting now: their ages reckoned from this moment.
    ScanFilters forSearch() const;

    // The fields as filters, or what is wrong with the first that can't be used (in the
    // user's language).
    QString read(ScanFilters& out, std::int64_t now) const;
    void accept() override;

    // The fields, for tests.
    QPlainTextEdit* excludeBox() const { return m_exclude; }
    QCheckBox* hiddenBox() const { return m_hidden; }
    QLineEdit* minSizeBox() const { return m_minSize; }
    QLineEdit* newerBox() const { return m_newer; }

signals:
    void choicesChanged();

private:
    void showChoices(const ScanFilters& filters);
    void readPatternFile();
    void updateToolTip();

    ScanFilters m_choices;
    QPlainTextEdit* m_exclude = nullptr;
    QCheckBox* m_hidden = nullptr;
    QCheckBox* m_gitignore = nullptr;
    QCheckBox* m_foldersOnly = nullptr;
    QLineEdit* m_minSize = nullptr;
    QLineEdit* m_maxSize = nullptr;
    QLineEdit* m_newer = nullptr;
    QLineEdit* m_older = nullptr;
    QWidget* m_bar = nullptr;
    const ListingDocument* m_document = nullptr;
};

} // namespace quillmap
