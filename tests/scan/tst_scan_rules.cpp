// The depth rule, the File Types pattern and the order of a folder listing.
#include "scan/FileTypesPattern.h"
#include "scan/FolderListing.h"
#include "scan/IgnoreRules.h"
#include "scan/LevelsRule.h"
#include "scan/ScanFilters.h"

#include <QDateTime>
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

    // The sizes and moments the filters take, at their edges; -1: not taken.
    void filterValues_data()
    {
        constexpr qint64 now = 1'700'000'000;
        const auto local = [](int y, int m, int d, int h = 0, int min = 0, int sec = 0) {
            return QDateTime(QDate(y, m, d), QTime(h, min, sec)).toSecsSinceEpoch();
        };
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("size");
        QTest::addColumn<qint64>("value");
        QTest::newRow("bytes") << "0" << true << qint64(0);
        QTest::newRow("K") << "10K" << true << qint64(10240);
        QTest::newRow("KiB, blanks") << " 10 KiB " << true << qint64(10240);
        QTest::newRow("fraction rounds up") << "1.5k" << true << qint64(1536);
        QTest::newRow("fraction of a byte") << "0.1" << true << qint64(1);
        QTest::newRow("G") << "2G" << true << (qint64(2) << 30);
        QTest::newRow("too large") << "16777216T" << true << qint64(-1);
        QTest::newRow("negative") << "-1" << true << qint64(-1);
        QTest::newRow("unknown unit") << "3Q" << true << qint64(-1);
        QTest::newRow("empty size") << "" << true << qint64(-1);
        QTest::newRow("age in days") << "30d" << false << now - 30 * 86400;
        QTest::newRow("age in minutes") << "90m" << false << now - 90 * 60;
        QTest::newRow("age in years") << "1y" << false << now - 365 * 86400;
        QTest::newRow("date") << "2024-01-31" << false << local(2024, 1, 31);
        QTest::newRow("date and time") << "2024-01-31 13:45" << false << local(2024, 1, 31, 13, 45);
        QTest::newRow("with T and seconds")
            << "2024-01-31T13:45:10" << false << local(2024, 1, 31, 13, 45, 10);
        QTest::newRow("no such day") << "2024-02-30" << false << qint64(-1);
        QTest::newRow("negative age") << "-5d" << false << qint64(-1);
        QTest::newRow("a word") << "yesterday" << false << qint64(-1);
    }
    void filterValues()
    {
        QFETCH(QString, text);
        QFETCH(bool, size);
        QFETCH(qint64, value);
        std::uint64_t bytes = 0;
        std::int64_t at = 0;
        const bool taken = size ? ScanFilters::parseSize(text, bytes)
                                : ScanFilters::parseTime(text, 1'700'000'000, at);
        QCOMPARE(taken, value >= 0);
        if (taken)
            QCOMPARE(size ? qint64(bytes) : qint64(at), value);
        if (taken && size) // written as it is read back
            QVERIFY(ScanFilters::parseSize(ScanFilters::sizeText(bytes), bytes) &&
                    qint64(bytes) == value);
    }

    // Patterns a user types that git would take and never match: the user is told instead.
    void patternProblems_data()
    {
        using P = IgnoreRules::Problem;
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("problem");
        QTest::newRow("plain") << "node_modules" << int(P::None);
        QTest::newRow("set with ] first") << "[]a]x" << int(P::None);
        QTest::newRow("class") << "[[:alpha:]]*" << int(P::None);
        QTest::newRow("quoted #") << "\\#x" << int(P::None);
        QTest::newRow("unclosed set") << "a[bc" << int(P::UnclosedSet);
        QTest::newRow("only ]") << "[]" << int(P::UnclosedSet);
        QTest::newRow("unknown class") << "[[:colour:]]" << int(P::UnclosedSet);
        QTest::newRow("lone backslash") << "foo\\" << int(P::TrailingBackslash);
        QTest::newRow("comment") << "#x" << int(P::Empty);
        QTest::newRow("only !") << "!" << int(P::Empty);
        QTest::newRow("blanks") << "   " << int(P::Empty);
        QTest::newRow("line break") << "a\nb" << int(P::LineBreak);
    }
    void patternProblems()
    {
        QFETCH(QString, pattern);
        QFETCH(int, problem);
        QCOMPARE(int(IgnoreRules::check(pattern.toStdString())), problem);
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
