#include "main_window/WindowSettings.h"

#include "main_window/FormMain.h"
#include "main_window/NodeColumns.h"
#include "main_window/NodeTreeView.h"
#include "main_window/WindowLayout.h"
#include "platform/controls/FolderList.h"
#include "platform/controls/OptionsList.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QSettings>

#include <memory>

namespace quillmap {

namespace {

// Longer texts than these are no typing of a user's.
constexpr qsizetype kLongestText = 4096;
constexpr int kWidestColumn = 5000;
constexpr int kNarrowestColumn = 16;

std::unique_ptr<QSettings> open()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("quillmap"),
                                       QStringLiteral("quillmap-printer"));
}

std::optional<int> intIn(const QSettings& s, const QString& key, int low, int high)
{
    bool ok = false;
    const int value = s.value(key).toInt(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<bool> boolOf(const QSettings& s, const QString& key)
{
    const QString text = s.value(key).toString();
    if (text == QLatin1String("true"))
        return true;
    if (text == QLatin1String("false"))
        return false;
    return std::nullopt;
}

std::optional<QString> textOf(const QSettings& s, const QString& key)
{
    const QVariant value = s.value(key);
    if (!value.isValid() || value.typeId() != QMetaType::QString ||
        value.toString().size() > kLongestText)
        return std::nullopt;
    return value.toString();
}

} // namespace

WindowSettings WindowSettings::load()
{
    WindowSettings state;
    const auto s = open();
    if (s->status() != QSettings::NoError)
        return state;
    const QVariant geometry = s->value(QStringLiteral("window/geometry"));
    if (geometry.typeId() == QMetaType::QByteArray)
        state.geometry = geometry.toByteArray();
    state.columnExtra = intIn(*s, QStringLiteral("window/columnExtra"), 0, 100000);
    for (int c = 0; c < NodeColumns::kCount; ++c) {
        const QString name = QString::fromLatin1(NodeColumns::key(NodeColumns::Column(c)));
        if (const auto width =
                intIn(*s, QStringLiteral("columns/") + name, kNarrowestColumn, kWidestColumn))
            state.columnWidths.insert(name, *width);
    }
    state.asPrinted = boolOf(*s, QStringLiteral("tree/asPrinted"));
    const QString sortKey = s->value(QStringLiteral("tree/sortBy")).toString();
    const auto reverse = boolOf(*s, QStringLiteral("tree/sortReverse"));
    for (int c = 0; c < NodeColumns::kCount && reverse; ++c)
        if (sortKey == QLatin1String(NodeColumns::key(NodeColumns::Column(c))))
            state.sortOrder = SortOrder{NodeColumns::sortKey(NodeColumns::Column(c)), *reverse};
    if (const auto folder = textOf(*s, QStringLiteral("search/folder"));
        folder && folder->startsWith(QLatin1Char('/')) && QFileInfo(*folder).isDir())
        state.folder = QFile::encodeName(*folder).toStdString();
    state.levels = textOf(*s, QStringLiteral("search/levels"));
    state.fileTypes = textOf(*s, QStringLiteral("search/fileTypes"));
    // Items 1 to 12; bit 0 and those above are never set.
    if (const auto bits = intIn(*s, QStringLiteral("search/ticks"), 0, 0x1FFE);
        bits && !(*bits & 1))
        state.ticks = DetailTicks{std::uint16_t(*bits)};
    return state;
}

void WindowSettings::save() const
{
    auto s = open();
    if (s->status() == QSettings::FormatError) {
        // A damaged file gives way to a sound one.
        const QString path = s->fileName();
        s.reset();
        QFile::remove(path);
        s = open();
    }
    if (s->status() != QSettings::NoError)
        return;
    s->setValue(QStringLiteral("window/geometry"), geometry);
    if (columnExtra)
        s->setValue(QStringLiteral("window/columnExtra"), *columnExtra);
    for (auto it = columnWidths.begin(); it != columnWidths.end(); ++it)
        s->setValue(QStringLiteral("columns/") + it.key(), it.value());
    if (asPrinted)
        s->setValue(QStringLiteral("tree/asPrinted"), *asPrinted);
    if (sortOrder) {
        for (int c = 0; c < NodeColumns::kCount; ++c)
            if (NodeColumns::sortKey(NodeColumns::Column(c)) == sortOrder->key)
                s->setValue(QStringLiteral("tree/sortBy"),
                            QString::fromLatin1(NodeColumns::key(NodeColumns::Column(c))));
        s->setValue(QStringLiteral("tree/sortReverse"), sortOrder->reverse);
    }
    if (folder)
        s->setValue(QStringLiteral("search/folder"),
                    QFile::decodeName(QByteArray::fromStdString(*folder)));
    if (levels)
        s->setValue(QStringLiteral("search/levels"), *levels);
    if (fileTypes)
        s->setValue(QStringLiteral("search/fileTypes"), *fileTypes);
    if (ticks)
        s->setValue(QStringLiteral("search/ticks"), int(ticks->bits));
    s->sync();
}

WindowSettings WindowSettings::of(FormMain& window)
{
    WindowSettings state;
    state.geometry = window.saveGeometry();
    state.columnExtra = window.windowLayout().columnExtra();
    state.columnWidths = window.TreeView1->columnWidths();
    state.asPrinted = window.TreeView1->asPrinted();
    state.sortOrder = window.TreeView1->sortOrder();
    state.folder = window.Dir1->path();
    state.levels = window.Combo1->currentText().left(kLongestText);
    state.fileTypes = window.Text1->text().left(kLongestText);
    DetailTicks ticks;
    for (int i = 1; i <= DetailTicks::kCount; ++i)
        ticks.set(i, window.ListView1->isChecked(i));
    state.ticks = ticks;
    return state;
}

void WindowSettings::applyTo(FormMain& window) const
{
    if (!geometry.isEmpty())
        window.restoreGeometry(geometry);
    if (columnExtra)
        window.windowLayout().setColumnExtra(*columnExtra);
    window.TreeView1->setColumnWidths(columnWidths);
    if (asPrinted) {
        window.MNU_AsPrinted->setChecked(*asPrinted);
        window.TreeView1->setAsPrinted(*asPrinted);
    }
    if (sortOrder)
        window.TreeView1->setSortOrder(*sortOrder);
    if (levels)
        window.Combo1->setEditText(*levels);
    if (fileTypes)
        window.Text1->setText(*fileTypes);
    // "ALL" first: its handler moves the others, which then take their own ticks.
    if (ticks)
        for (int i = 1; i <= DetailTicks::kCount; ++i)
            window.ListView1->setChecked(i, ticks->ticked(i));
}

} // namespace quillmap
