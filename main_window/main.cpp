#include "main_window/FormMain.h"
#include "support/LangFunctions.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

// Qt's own texts (the buttons of message boxes, the file and print preview dialogs) in the
// language of the program's messages, where Qt has a translation for it.
void installQtTexts(QTranslator& translator)
{
    using quillmap::LangFunctions::LanguageName;
    quillmap::LangFunctions::DetectLanguage();
    const struct
    {
        const char* language;
        const char* files; // the names Qt's translations may have, in order of preference
    } kQtNames[] = {
        {"FRENCH", "fr"},
        {"GERMAN", "de"},
        {"ITALIAN", "it"},
        {"SPANISH", "es"},
        {"DUTCH", "nl"},
        {"NORWEGIAN", "nb no"},
        {"PORTUGUESE", "pt_PT pt pt_BR"},
    };
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const auto& entry : kQtNames) {
        if (LanguageName != QLatin1String(entry.language))
            continue;
        for (const QString& name : QString::fromLatin1(entry.files).split(QLatin1Char(' ')))
            if (translator.load(QStringLiteral("qtbase_") + name, folder)) {
                QCoreApplication::installTranslator(&translator);
                return;
            }
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTranslator qtTexts;
    installQtTexts(qtTexts);
    // Lets the desktop match the window to its menu entry and show the program's icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("quillmap-printer"));
    QIcon icon = QIcon::fromTheme(QStringLiteral("quillmap-printer"));
    if (icon.isNull()) {
        icon.addFile(QStringLiteral(":/icons/quillmap-printer-64.png"));
        icon.addFile(QStringLiteral(":/icons/quillmap-printer-256.png"));
    }
    QApplication::setWindowIcon(icon);
    quillmap::FormMain window;
    window.show();
    return app.exec();
}
