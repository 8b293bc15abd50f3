#include "support/FileFunctions.h"
#include "support/GenFunctions.h"
#include "support/LangFunctions.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace quillmap;
namespace LF = quillmap::LangFunctions;

namespace {

const char kFrenchEmpty[] = "MES3=Close||Zu|Chiudi|Fechar|Cerrar|Sluiten|Lukk\n";
const char kYes[] = "MES14=Yes|Oui|Ja|Si|Sim|Si|Ja|Ja\n";

} // namespace

class TestLangFunctions : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString folder() const { return m_dir.path() + QLatin1Char('/'); }

    void writeLangIni(const QByteArray& content)
    {
        QFile f(m_dir.filePath(QStringLiteral("lang.ini")));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(content) < 0)
            qFatal("cannot write lang.ini");
    }

    void removeLangIni() { QFile::remove(m_dir.filePath(QStringLiteral("lang.ini"))); }

private slots:
    void cleanup()
    {
        removeLangIni();
        LF::ResetMessages();
        qputenv("LC_ALL", "C.UTF-8");
    }

    // The table as the user's setting meets it: all 61 codes, then the near misses.
    void languageTable_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("language");
        const struct
        {
            const char* language;
            QStringList codes;
        } rows[] = {
            {"ENGLISH",
             {"australian",
              "ena",
              "english-aus",
              "canadian",
              "enc",
              "english-can",
              "english",
              "english-nz",
              "enz",
              "eng",
              "english-uk",
              "uk",
              "american",
              "american english",
              "american-english",
              "english-american",
              "english-us",
              "english-usa",
              "enu",
              "us",
              "usa"}},
            {"FRENCH",
             {"frb", "french-belgian", "frc", "french-canadian", "fra", "french", "french-swiss",
              "frs"}},
            {"GERMAN", {"dea", "german-austrian", "deu", "german", "des", "german-swiss", "swiss"}},
            {"ITALIAN", {"it"}},
            {"SPANISH",
             {"es", "es-cr", "es-do", "es-co", "es-ar", "es-cl", "es-py", "es-sv", "es-ni", "es-mx",
              "es-gt", "es-pa", "es-pe", "es-ve", "es-ec", "es-uy", "es-bo", "es-hn", "es-pr"}},
            {"DUTCH", {"nl", "nl-be"}},
            {"PORTUGUESE", {"pt", "pt-br"}},
            {"NORWEGIAN", {"no"}},
        };
        int count = 0;
        for (const auto& row : rows) {
            for (const QString& code : row.codes) {
                ++count;
                QTest::addRow("%s", qPrintable(code)) << code << row.language;
                QTest::addRow("%s upper", qPrintable(code)) << code.toUpper() << row.language;
                QTest::addRow("%s spaced", qPrintable(code))
                    << QStringLiteral("  ") + code + QStringLiteral("   ") << row.language;
            }
        }
        QCOMPARE(count, 61);
        QTest::newRow("Enu mixed") << " Enu "
                                   << "ENGLISH";
        QTest::newRow("FRA") << "FRA"
                             << "FRENCH";
        QTest::newRow("DES") << "DES"
                             << "GERMAN";
        QTest::newRow("ES-MX") << "ES-MX"
                               << "SPANISH";
        QTest::newRow("NL-BE") << "NL-BE"
                               << "DUTCH";
        QTest::newRow("PT-BR") << "PT-BR"
                               << "PORTUGUESE";
        // Near misses: no prefixes, no partial matches, inner spaces and hyphens count.
        for (const char* miss : {"ITA", "es-es", "de", "fr", "en", "french canadian",
                                 "german swiss", "americanenglish", "american  english", "nor",
                                 "pt-pt", "nl-nl", "it-ch", "e s", "NO FILE", "", "-", "\tenu"})
            QTest::addRow("miss '%s'", miss) << QString::fromLatin1(miss) << "ENGLISH";
    }

    void languageTable()
    {
        QFETCH(QString, code);
        QFETCH(QString, language);
        QCOMPARE(LF::LanguageForCode(code), language);
    }

    void detectFromLocale_data()
    {
        QTest::addColumn<QByteArray>("locale");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("language");
        QTest::newRow("German Swiss") << QByteArray("de_CH.UTF-8") << "DES"
                                      << "GERMAN";
        QTest::newRow("Brazilian") << QByteArray("pt_BR.UTF-8") << "PT-BR"
                                   << "PORTUGUESE";
        QTest::newRow("Spain") << QByteArray("es_ES.UTF-8") << "ES"
                               << "SPANISH";
        QTest::newRow("Bokmal") << QByteArray("nb_NO.UTF-8") << "NO"
                                << "NORWEGIAN";
        QTest::newRow("Japanese") << QByteArray("ja_JP.UTF-8") << "JA-JP"
                                  << "ENGLISH";
        QTest::newRow("no locale") << QByteArray("C.UTF-8") << "NO FILE"
                                   << "ENGLISH";
    }

    void detectFromLocale()
    {
        QFETCH(QByteArray, locale);
        QFETCH(QString, code);
        QFETCH(QString, language);
        qputenv("LC_ALL", locale);
        LF::DetectLanguage();
        QCOMPARE(LF::LanguageCode, code);
        QCOMPARE(LF::LanguageName, language);
    }

    void catalogue_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("languageName");
        QTest::addColumn<double>("number");
        QTest::addColumn<QString>("expected");

        const QByteArray yes = QByteArray("[Messages]\nnumber=45\n") + kYes;
        QTest::newRow("German") << yes << "GERMAN" << 14.0 << "Ja";
        QTest::newRow("Portuguese is column 5") << yes << "PORTUGUESE" << 14.0 << "Sim";
        QTest::newRow("Spanish is column 6")
            << QByteArray("[Messages]\nnumber=45\nMES14=Yes|Oui|Ja|Si|Sim|Sí|Ja|Ja\n") << "SPANISH"
            << 14.0 << QString::fromUtf8("Sí");
        QTest::newRow("Norwegian") << yes << "NORWEGIAN" << 14.0 << "Ja";
        QTest::newRow("English") << yes << "ENGLISH" << 14.0 << "Yes";
        QTest::newRow("lower-case name") << yes << "english" << 14.0 << "Yes";
        QTest::newRow("name with space") << yes << "ENGLISH " << 14.0 << "Yes";
        QTest::newRow("spaced German") << yes << " german " << 14.0 << "Ja";
        QTest::newRow("unknown name") << yes << "KLINGON" << 14.0 << "Yes";

        const QByteArray fr = QByteArray("[Messages]\nnumber=45\n") + kFrenchEmpty;
        QTest::newRow("empty French field") << fr << "FRENCH" << 3.0 << "Close";
        QTest::newRow("blank French field")
            << QByteArray("[Messages]\nnumber=45\nMES3=Close|   |Zu\n") << "FRENCH" << 3.0
            << "Close";
        QTest::newRow("missing trailing field")
            << QByteArray("[Messages]\nnumber=45\nMES3=Close|Fermer\n") << "NORWEGIAN" << 3.0
            << "Close";
        QTest::newRow("no delimiter")
            << QByteArray("[Messages]\nnumber=45\nMES3=Close\n") << "ENGLISH" << 3.0 << "";
        QTest::newRow("no delimiter, French")
            << QByteArray("[Messages]\nnumber=45\nMES3=Close\n") << "FRENCH" << 3.0 << "";
        QTest::newRow("text kept untrimmed")
            << QByteArray("[Messages]\nnumber=45\nMES3=Close|  Fermer |\n") << "FRENCH" << 3.0
            << "  Fermer ";
        QTest::newRow("absent message") << yes << "GERMAN" << 15.0 << "";
        QTest::newRow("index 0 loaded")
            << QByteArray("[Messages]\nnumber=0\nMES0=Zero|Zéro\n") << "ENGLISH" << 0.0 << "Zero";
        QTest::newRow("index 999 loaded")
            << QByteArray("[Messages]\nnumber=999\nMES999=Last|Dernier\n") << "FRENCH" << 999.0
            << "Dernier";
        QTest::newRow("past number not loaded")
            << QByteArray("[Messages]\nnumber=13\nMES3=A|B\nMES14=Yes|Oui\n") << "ENGLISH" << 14.0
            << "";
        QTest::newRow("fractional number")
            << QByteArray("[Messages]\nnumber=14.9\nMES14=Yes|Oui\n") << "ENGLISH" << 14.0 << "Yes";
        QTest::newRow("quoted number") << QByteArray("[Messages]\nnumber=\"14\"\nMES14=Yes|Oui\n")
                                       << "ENGLISH" << 14.0 << "Yes";

        const QByteArray round =
            "[Messages]\nnumber=999\nMES2=two|\nMES3=three|\nMES4=four|\nMES0=zero|\n"
            "MES999=last|\n";
        QTest::newRow("2.5 reads 2") << round << "ENGLISH" << 2.5 << "two";
        QTest::newRow("3.5 reads 4") << round << "ENGLISH" << 3.5 << "four";
        QTest::newRow("2.6 reads 3") << round << "ENGLISH" << 2.6 << "three";
        QTest::newRow("-0.4 reads 0") << round << "ENGLISH" << -0.4 << "zero";
        QTest::newRow("-1") << round << "ENGLISH" << -1.0 << "";
        QTest::newRow("-0.5 reads 0") << round << "ENGLISH" << -0.5 << "zero";
        QTest::newRow("1000") << round << "ENGLISH" << 1000.0 << "";
        QTest::newRow("999.4 reads 999") << round << "ENGLISH" << 999.4 << "last";
        QTest::newRow("999.5 reads 1000") << round << "ENGLISH" << 999.5 << "";
        QTest::newRow("999.6") << round << "ENGLISH" << 999.6 << "";
        QTest::newRow("huge") << round << "ENGLISH" << 1e300 << "";
        QTest::newRow("NaN") << round << "ENGLISH" << qQNaN() << "";

        QTest::newRow("number 1200")
            << QByteArray("[Messages]\nnumber=1200\nMES3=Close|Fermer\n") << "ENGLISH" << 3.0 << "";
        QTest::newRow("number 1000")
            << QByteArray("[Messages]\nnumber=1000\nMES3=Close|Fermer\n") << "ENGLISH" << 3.0 << "";
        QTest::newRow("number 999.5") << QByteArray("[Messages]\nnumber=999.5\nMES3=Close|Fermer\n")
                                      << "ENGLISH" << 3.0 << "Close";
        QTest::newRow("number missing")
            << QByteArray("[Messages]\nMES3=Close|Fermer\n") << "ENGLISH" << 3.0 << "";
        QTest::newRow("number not numeric")
            << QByteArray("[Messages]\nnumber=many\nMES3=Close|Fermer\n") << "ENGLISH" << 3.0 << "";
        QTest::newRow("number NaN")
            << QByteArray("[Messages]\nnumber=nan\nMES3=Close|Fermer\n") << "ENGLISH" << 3.0 << "";
        QTest::newRow("wrong section")
            << QByteArray("[Message]\nnumber=45\nMES3=Close|Fermer\n") << "ENGLISH" << 3.0 << "";
        QTest::newRow("Windows-1252 file")
            << QByteArray("[Messages]\r\nnumber=45\r\nMES13=About|\xC0 propos de|\xDC\x62\x65r\r\n")
            << "GERMAN" << 13.0 << QString::fromUtf8("Über");
    }

    void catalogue()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, languageName);
        QFETCH(double, number);
        QFETCH(QString, expected);
        writeLangIni(file);
        LF::ResetMessages(folder());
        LF::LanguageName = languageName;
        QCOMPARE(LF::GetMessageText(number), expected);
    }

    void loadedOnceThenKept()
    {
        writeLangIni(QByteArray("[Messages]\nnumber=45\n") + kYes);
        LF::ResetMessages(folder());
        LF::LanguageName = QStringLiteral("FRENCH");
        QCOMPARE(LF::GetMessageText(14), QStringLiteral("Oui"));
        writeLangIni("[Messages]\nnumber=45\nMES14=No|Non\n");
        QCOMPARE(LF::GetMessageText(14), QStringLiteral("Oui"));
    }

    void fileCreatedLaterIsPickedUp()
    {
        LF::ResetMessages(folder());
        LF::LanguageName = QStringLiteral("DUTCH");
        QCOMPARE(LF::GetMessageText(3), QString());
        QCOMPARE(LF::GetMessageText(3), QString());
        writeLangIni(QByteArray("[Messages]\nnumber=3\n") + kFrenchEmpty);
        QCOMPARE(LF::GetMessageText(3), QStringLiteral("Sluiten"));
    }

    void badNumberRetriedEveryCall()
    {
        writeLangIni("[Messages]\nnumber=1200\nMES3=Close|Fermer\n");
        LF::ResetMessages(folder());
        LF::LanguageName = QStringLiteral("ENGLISH");
        QCOMPARE(LF::GetMessageText(3), QString());
        writeLangIni("[Messages]\nnumber=100\nMES3=Close|Fermer\n");
        QCOMPARE(LF::GetMessageText(3), QStringLiteral("Close"));
    }

    void outOfRangeKeepsTables()
    {
        writeLangIni(QByteArray("[Messages]\nnumber=45\n") + kYes);
        LF::ResetMessages(folder());
        LF::LanguageName = QStringLiteral("GERMAN");
        QCOMPARE(LF::GetMessageText(-1), QString());
        QCOMPARE(LF::GetMessageText(1000), QString());
        QCOMPARE(LF::GetMessageText(14), QStringLiteral("Ja"));
    }

    void detectsLanguageOnFirstCall()
    {
        writeLangIni(QByteArray("[Messages]\nnumber=45\n") + kYes);
        qputenv("LC_ALL", "pt_BR.UTF-8");
        LF::ResetMessages(folder());
        QCOMPARE(LF::GetMessageText(14), QStringLiteral("Sim"));
        QCOMPARE(LF::LanguageName, QStringLiteral("PORTUGUESE"));
        // Detected once per run: a later change of the locale changes nothing.
        qputenv("LC_ALL", "de_DE.UTF-8");
        QCOMPARE(LF::GetMessageText(14), QStringLiteral("Sim"));
    }

    void programFolderByDefault()
    {
        // Without a test folder the catalogue reads lang.ini beside the executable.
        LF::ResetMessages();
        LF::LanguageName = QStringLiteral("ENGLISH");
        QVERIFY(!LF::GetMessageText(13).isEmpty());
        QCOMPARE(FileFunctions::App_Path, FileFunctions::GetAppPath());
    }

    // The message file that ships with the program.
    void shippedMessageFile_data()
    {
        QTest::addColumn<int>("message");
        QList<int> numbers = {3, 13, 14, 15, 19, 23};
        for (int n = 45; n <= 63; ++n)
            numbers.append(n);
        numbers << 66 << 67;
        for (int n = 100; n <= 161; ++n) // the main window's
            numbers.append(n);
        for (int n = 200; n <= 227; ++n) // the print dialog's
            numbers.append(n);
        for (int n = 250; n <= 282; ++n) // the filters'
            numbers.append(n);
        for (int n : numbers)
            QTest::addRow("MES%d", n) << n;
    }

    void shippedMessageFile()
    {
        QFETCH(int, message);
        const QString file = QStringLiteral(QUILLMAP_SOURCE_DIR "/resources/lang.ini");
        QVERIFY(QFile::exists(file));
        bool ok = false;
        const double number =
            FileFunctions::ReadIniString("Messages", "number", file).toDouble(&ok);
        QVERIFY(ok);
        QVERIFY(number >= message && number <= 999);

        const QString line =
            FileFunctions::ReadIniString("Messages", QStringLiteral("MES%1").arg(message), file);
        QCOMPARE(line.count(QLatin1Char('|')), 7);
        // Well inside what the reader takes (999 characters), so a longer translation can't
        // lose the last languages.
        QVERIFY2(line.size() <= 800, qPrintable(QString::number(line.size())));
        for (int field = 1; field <= 8; ++field) {
            const QString text = GenFunctions::GetField(line, QStringLiteral("|"), field);
            QVERIFY2(!text.trimmed().isEmpty(), qPrintable(QStringLiteral("field %1").arg(field)));
            QVERIFY(!text.contains(QChar::ReplacementCharacter));
            // Placeholders must agree across languages.
            const QRegularExpression arg(QStringLiteral("%\\d"));
            QCOMPARE(text.count(arg),
                     GenFunctions::GetField(line, QStringLiteral("|"), 1).count(arg));
        }
    }

    void shippedFileIsUtf8()
    {
        QFile f(QStringLiteral(QUILLMAP_SOURCE_DIR "/resources/lang.ini"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(FileFunctions::detail::IsValidUtf8(f.readAll()));
    }
};

QTEST_GUILESS_MAIN(TestLangFunctions)
#include "tst_langfunctions.moc"
