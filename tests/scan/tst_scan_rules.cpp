// The depth rule, the File Types pattern and the order of a folder listing.
#include "scan/FileTypesPattern.h"
#include "scan/FolderListing.h"
#include "scan/LevelsRule.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>
#include <cstdlib>
#include <string>

using namespace quillmap;

namespace {

// Makes LC_NUMERIC a locale whose decimal mark is a comma, as a German user's is: an installed
// one, else one built with localedef in `dir`. Returns false when neither can be had.
bool useCommaLocale(const QTemporaryDir& dir)
{
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"})
        if (std::setlocale(LC_NUMERIC, name))
            return true;
    if (!dir.isValid() || !QFile::exists(QStringLiteral("/usr/share/i18n/locales/de_DE")))
        return false;
    const std::string out = dir.path().toStdString() + "/de_DE.UTF-8";
    const std::string command = "localedef -i de_DE -f UTF-8 '" + out + "' >/dev/null 2>&1";
    if (!QFile::exists(QString::fromStdString(out)) && std::system(command.c_str()) != 0)
        return false;
    // glibc reads LOCPATH at each setlocale() call; the other categories stay as they are.
    qputenv("LOCPATH", dir.path().toLocal8Bit());
    const bool set = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    qunsetenv("LOCPATH");
    return set;
}

} // namespace

class TestScanRules : public QObject
{
    Q_OBJECT

private slots:
    void levels_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("unlimited");
        QTest::addColumn<double>("number");
        QTest::newRow("ALL") << "ALL" << true << 0.0;
        QTest::newRow("all") << "all" << false << 0.0;
        QTest::newRow("All ") << "All" << false << 0.0;
        QTest::newRow("ALL with blank") << "ALL " << false << 0.0;
        QTest::newRow("empty") << "" << false << 0.0;
        QTest::newRow("3") << "3" << false << 3.0;
        QTest::newRow("2.5") << "2.5" << false << 2.5;
        QTest::newRow("2abc") << "2abc" << false << 2.0;
        QTest::newRow("-1") << "-1" << false << -1.0;
        QTest::newRow(".5") << ".5" << false << 0.5;
        QTest::newRow("leading blanks") << "  4" << false << 4.0;
        QTest::newRow("exponent") << "1e3" << false << 1000.0;
        QTest::newRow("e without digits") << "7e" << false << 7.0;
        QTest::newRow("dot alone") << "." << false << 0.0;
        QTest::newRow("2. ") << "2." << false << 2.0;
        QTest::newRow("beyond the list") << "5000" << false << 5000.0;
        QTest::newRow("sign alone") << "-x" << false << 0.0;
    }
    void levels()
    {
        QFETCH(QString, text);
        QFETCH(bool, unlimited);
        QFETCH(double, number);
        const LevelsRule rule(text);
        QCOMPARE(rule.unlimited(), unlimited);
        QCOMPARE(rule.number(), number);
        QCOMPARE(rule.opens(0), unlimited || number > 0);
    }

    // The Levels number is read with "." as its decimal mark under any locale.
    void levelsUnderCommaLocale_data() { levels_data(); }
    void levelsUnderCommaLocale()
    {
        static QTemporaryDir dir;
        QFETCH(QString, text);
        QFETCH(double, number);
        const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
        if (!useCommaLocale(dir))
            QSKIP("no locale with a decimal comma is available");
        const char mark = *std::localeconv()->decimal_point;
        const double got = LevelsRule(text).number();
        std::setlocale(LC_NUMERIC, saved.c_str());
        QCOMPARE(mark, ',');
        QCOMPARE(got, number);
    }

    void pattern_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("matches");
        QTest::newRow("*.* no dot") << "*.*"
                                    << "README" << true;
        QTest::newRow("empty") << ""
                               << "anything" << true;
        QTest::newRow("*.txt") << "*.txt"
                               << "a.TXT" << true;
        QTest::newRow("*.txt not .txt2") << "*.txt"
                                         << "a.txt2" << false;
        QTest::newRow("*.txt two dots") << "*.txt"
                                        << "a.b.txt" << true;
        QTest::newRow("? one char") << "?.c"
                                    << "x.c" << true;
        QTest::newRow("? not zero") << "?.c"
                                    << ".c" << false;
        QTest::newRow("? one UTF-8 char") << "?.c" << QString::fromUtf8("é.c") << true;
        QTest::newRow("stars") << "a*b*c"
                               << "aXXbYYbZc" << true;
        QTest::newRow("stars fail") << "a*b*c"
                                    << "aXXbYY" << false;
        QTest::newRow("literal") << "Makefile"
                                 << "makefile" << true;
        QTest::newRow("trailing star") << "file_*"
                                       << "file_" << true;
        QTest::newRow("non-ASCII case kept")
            << QString::fromUtf8("É*") << QString::fromUtf8("é.txt") << false;
    }
    void pattern()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, name);
        QFETCH(bool, matches);
        QCOMPARE(FileTypesPattern(pattern).matches(name.toStdString()), matches);
    }

    void listingOrder()
    {
        FolderListing l;
        for (const char* n : {"b", "_x", "B", "a10", "A2", "Zeta", "alpha", "\xc3\xa9", "1"})
            l.append(n, FolderListing::Kind::File);
        l.sortByName();
        QStringList got;
        for (std::size_t i = 0; i < l.size(); ++i)
            got << QString::fromUtf8(l.name(i).data(), qsizetype(l.name(i).size()));
        // Letters fold to upper case, so "_" comes after them; ties go by the raw bytes.
        QCOMPARE(got, QStringList({"1", "a10", "A2", "alpha", "B", "b", "Zeta", "_x",
                                   QString::fromUtf8("é")}));
    }
};

QTEST_GUILESS_MAIN(TestScanRules)
#include "tst_scan_rules.moc"
