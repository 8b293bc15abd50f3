#include "main_window/SavedPrintSettings.h"

#include <QSettings>

namespace quillmap {

PrintSettings SavedPrintSettings::load()
{
    // Beside the window's own settings, in one file.
    const QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("quillmap"),
                             QStringLiteral("quillmap-printer"));
    PrintSettings chosen;
    const int size = settings.value(QStringLiteral("print/fontSize"), chosen.fontSize).toInt();
    if (size >= PrintSettings::kLeastFontSize && size <= PrintSettings::kLargestFontSize)
        chosen.fontSize = std::int16_t(size);
    chosen.bold = settings.value(QStringLiteral("print/bold"), chosen.bold).toBool();
    chosen.footer = settings.value(QStringLiteral("print/footer"), chosen.footer).toBool();
    if (settings.value(QStringLiteral("print/layout")).toString() == QLatin1String("columns"))
        chosen.layout = PrintLayout::Columns;
    return chosen;
}

void SavedPrintSettings::save(const PrintSettings& chosen)
{
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("quillmap"),
                       QStringLiteral("quillmap-printer"));
    settings.setValue(QStringLiteral("print/fontSize"), int(chosen.fontSize));
    settings.setValue(QStringLiteral("print/bold"), chosen.bold);
    settings.setValue(QStringLiteral("print/footer"), chosen.footer);
    settings.setValue(QStringLiteral("print/layout"), chosen.layout == PrintLayout::Columns
                                                          ? QStringLiteral("columns")
                                                          : QStringLiteral("lines"));
}

} // namespace quillmap
