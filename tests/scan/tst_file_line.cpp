// File properties and the file line built from them.
#include "listing/CsvWriter.h"
#include "scan/FileLine.h"
#include "scan/FileLineFields.h"
#include "scan/GetFileInfo.h"
#include "support/LocalClock.h"
#include "tests/common/FileInfoByPath.h"
#include "tests/common/LocaleEnvironment.h"

#include <QDateTime>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>
#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillmap;

Q_DECLARE_METATYPE(quillmap::FileInfo)

namespace {

std::int64_t local(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s)).toSecsSinceEpoch();
}

DetailTicks ticks(std::initializer_list<int> items)
{
    DetailTicks t;
    for (int i : items)
        t.set(i, true);
    return t;
}

} // namespace

class TestFileLine : public QObject
{
    Q_OBJECT

private slots:
    void line_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("tickBits");
        QTest::addColumn<FileInfo>("info");
        QTest::addColumn<QString>("expected");
        using T = DetailTicks;

        FileInfo report;
        report.setAttributes(FileInfo::kArchive);
        report.DateCreated = local(2006, 3, 5, 9, 7, 2);
        report.DateLastAccessed = local(2006, 3, 7, 12, 0, 0);
        report.DateLastModified = local(2006, 3, 6, 17, 45, 10);
        report.FileType = "Final.doc";
        report.Size = "24576";
        QTest::newRow("Report.Final.doc")
            << "Report.Final.doc"
            << int(ticks({T::Archive, T::Compressed, T::ReadOnly, T::DateCreated,
                          T::DateLastModified, T::Type, T::Size})
                       .bits)
            << report
            << "Report.Final.doc----A----------05/Mar/2006  09:07:02------06/Mar/2006  "
               "17:45:10------FINAL.DOC-----24576";

        FileInfo notes;
        notes.setAttributes(FileInfo::kArchive | FileInfo::kReadOnly);
        notes.DateCreated = local(2006, 1, 1, 8, 0, 0);
        notes.DateLastAccessed = local(2006, 3, 7, 0, 0, 0);
        notes.DateLastModified = local(2006, 2, 2, 13, 30, 5);
        notes.FileType = "txt";
        notes.Size = "1234";
        QTest::newRow("notes.txt, all twelve")
            << "notes.txt" << int(DetailTicks::all().bits) << notes
            << "notes.txt----A-------R--------01/Jan/2006  08:00:00------07/Mar/2006  "
               "00:00:00------02/Feb/2006  13:30:05------TXT-----1234";

        FileInfo empty;
        empty.setAttributes(0);
        empty.Size = "0";
        QTest::newRow("empty: nineteen dashes")
            << "empty" << int(ticks({T::Archive, T::Type, T::Size}).bits) << empty
            << "empty" + QString(19, u'-');
        QTest::newRow("nothing ticked") << "Mixed.Case" << 0 << notes << "Mixed.Case";
        QTest::newRow("only ALL") << "notes.txt" << int(ticks({T::All}).bits) << notes
                                  << "notes.txt";

        FileInfo flags;
        flags.setAttributes(FileInfo::kCompressed | FileInfo::kHidden | FileInfo::kSystem);
        flags.FileType = "tar.gz";
        flags.Size = "7";
        QTest::newRow("flags, two dots")
            << "a.tar.gz"
            << int(ticks({T::Compressed, T::Hidden, T::Normal, T::ReadOnly, T::System, T::Type})
                       .bits)
            << flags << "a.tar.gzC-H-----S------TAR.GZ";

        FileInfo noBirth;
        noBirth.DateLastModified = local(2020, 12, 31, 23, 59, 59);
        noBirth.Size = "5";
        QTest::newRow("no creation time, afternoon")
            << "x" << int(ticks({T::DateCreated, T::DateLastModified, T::Size}).bits) << noBirth
            << "x-------/---/----  --:--:--------31/Dec/2020  23:59:59------5";
    }
    void line()
    {
        QFETCH(QString, name);
        QFETCH(int, tickBits);
        QFETCH(FileInfo, info);
        QFETCH(QString, expected);
        DetailTicks t;
        t.bits = std::uint16_t(tickBits);
        // The tests run under C.UTF-8: the system locale must write English dates.
        QCOMPARE(QString::fromStdString(FileLine().build(name.toStdString(), info, t)), expected);
        QCOMPARE(QString::fromStdString(FileLine(QLocale::c()).build(name.toStdString(), info, t)),
                 expected);

        // A printout breaks the line between the fields FileLineFields finds: each one what the
        // line holds for its detail alone (the flags together).
        QStringList fields;
        DetailTicks flags;
        for (int item = DetailTicks::Archive; item <= DetailTicks::Size; ++item) {
            if (!t.ticked(item))
                continue;
            if (item <= DetailTicks::System) {
                flags.set(item, true);
                if (item < DetailTicks::System)
                    continue;
            }
            DetailTicks one = item <= DetailTicks::System ? flags : DetailTicks();
            one.set(item, true);
            const QString alone = QString::fromStdString(FileLine().build("", info, one));
            if (!alone.isEmpty())
                fields << alone;
        }
        if (flags.any() && !t.ticked(DetailTicks::System))
            fields.prepend(QString::fromStdString(FileLine().build("", info, flags)));
        const QString details = expected.mid(name.size());
        QStringList found;
        for (const FileLineField& f : FileLineFields(details, t)) {
            found << details.mid(f.start, f.end - f.start);
            if (f.timeStart >= 0)
                QVERIFY(details.mid(f.timeStart, 2).toInt() >= 0 &&
                        details.mid(f.timeStart - 2, 2) == QStringLiteral("  "));
        }
        QCOMPARE(found, fields);
    }

    void otherLocales()
    {
        FileInfo info;
        info.DateLastModified = local(2006, 3, 5, 9, 7, 2);
        DetailTicks t;
        t.set(DetailTicks::DateLastModified, true);
        const FileLine german(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(QString::fromStdString(german.build("a", info, t)),
                 QString::fromUtf8("a-----05.März.2006  09:07:02-"));
        const FileLine finnish(QLocale(QLocale::Finnish, QLocale::Finland));
        QVERIFY(QString::fromStdString(finnish.build("a", info, t)).endsWith("  09.07.02-"));
        const FileLine british(QLocale(QLocale::English, QLocale::UnitedKingdom));
        QCOMPARE(british.build("a", info, t), std::string("a-----05/Mar/2006  09:07:02-"));
    }

    // Dates under the user's locale settings: the months are the locale's own (agreeing with
    // the C library's abbreviations), separators come from the same setting, a month's own
    // closing point is never doubled, and a missing date is as wide as the widest real one.
    void localeTable_data()
    {
        QTest::addColumn<QByteArray>("lcAll");
        QTest::addColumn<QByteArray>("lcTime");
        QTest::addColumn<QByteArray>("lang");
        QTest::addColumn<QByteArray>("effective"); // the locale the C library uses for dates
        QTest::addColumn<QString>("december");     // 8 December 2026, 09:07:02
        const struct
        {
            const char* name;
            const char* december;
        } locales[] = {
            {"en_US.UTF-8", "08/Dec/2026  09:07:02"},
            {"C.UTF-8", "08/Dec/2026  09:07:02"},
            {"de_DE.UTF-8", "08.Dez.2026  09:07:02"},
            {"fr_FR.UTF-8", "08/déc/2026  09:07:02"},
            {"fr_CA.UTF-8", "08-déc-2026  09 h 07 h 02"},
            {"nl_NL.UTF-8", "08-dec-2026  09:07:02"},
            {"nb_NO.UTF-8", "08.des.2026  09:07:02"},
            {"fi_FI.UTF-8", "08.jouluk.2026  09.07.02"},
            {"es_ES.UTF-8", "08/dic/2026  09:07:02"},
            {"pt_PT.UTF-8", "08/dez/2026  09:07:02"},
            {"it_IT.UTF-8", "08/dic/2026  09:07:02"},
            {"ja_JP.UTF-8", "08/12月/2026  09:07:02"},
        };
        for (const auto& l : locales)
            QTest::addRow("%s", l.name) << QByteArray() << QByteArray() << QByteArray(l.name)
                                        << QByteArray(l.name) << QString::fromUtf8(l.december);
        // One setting for months and separators alike: LC_ALL, else LC_TIME, else LANG.
        QTest::newRow("LC_TIME C over LANG en_US")
            << QByteArray() << QByteArray("C.UTF-8") << QByteArray("en_US.UTF-8")
            << QByteArray("C.UTF-8") << QStringLiteral("08/Dec/2026  09:07:02");
        QTest::newRow("LC_TIME de_DE over LANG C")
            << QByteArray() << QByteArray("de_DE.UTF-8") << QByteArray("C")
            << QByteArray("de_DE.UTF-8") << QStringLiteral("08.Dez.2026  09:07:02");
        QTest::newRow("LC_ALL fr_FR over LC_TIME de_DE")
            << QByteArray("fr_FR.UTF-8") << QByteArray("de_DE.UTF-8") << QByteArray("C")
            << QByteArray("fr_FR.UTF-8") << QString::fromUtf8("08/déc/2026  09:07:02");
    }
    void localeTable()
    {
        QFETCH(QByteArray, lcAll);
        QFETCH(QByteArray, lcTime);
        QFETCH(QByteArray, lang);
        QFETCH(QByteArray, effective);
        QFETCH(QString, december);
        const locale_t oracle = newlocale(LC_TIME_MASK, effective.constData(), nullptr);
        if (!oracle)
            QSKIP("locale not generated here (scripts/setup generates it)");
        const auto cleanup = qScopeGuard([&] {
            freelocale(oracle);
            qputenv("LC_ALL", "C.UTF-8");
            qunsetenv("LC_TIME");
            qunsetenv("LANG");
        });
        test::SetLocaleVariable("LC_ALL", lcAll);
        test::SetLocaleVariable("LC_TIME", lcTime);
        test::SetLocaleVariable("LANG", lang);
        const FileLine line;

        std::string text;
        line.appendDate(text, local(2026, 12, 8, 9, 7, 2));
        QCOMPARE(QString::fromStdString(text), december);

        qsizetype widest = 0;
        for (int month = 1; month <= 12; ++month) {
            text.clear();
            line.appendDate(text, local(2026, month, 8, 9, 7, 2));
            const QString date = QString::fromStdString(text);
            widest = qMax(widest, date.size());
            const QString sep = QString::fromStdString(line.dateSeparator());
            const QStringList parts = date.section(QStringLiteral("  "), 0, 0).split(sep);
            QCOMPARE(parts.size(), 3);
            QCOMPARE(parts[0], QStringLiteral("08"));
            QCOMPARE(parts[2], QStringLiteral("2026"));
            const QString name = parts[1];
            QVERIFY2(!name.isEmpty() && !name.endsWith(u'.'), qPrintable(date));
            QVERIFY2(!date.contains(QStringLiteral("..")), qPrintable(date));
            // The C library may abbreviate differently ("Mär"/"März", "jun"/"juin"), but the
            // same month of the same language starts alike.
            QString own = QString::fromUtf8(nl_langinfo_l(ABMON_1 + month - 1, oracle)).trimmed();
            if (own.endsWith(u'.'))
                own.chop(1);
            const qsizetype n = qMin<qsizetype>(2, qMin(own.size(), name.size()));
            QVERIFY2(name.left(n).compare(own.left(n), Qt::CaseInsensitive) == 0,
                     qPrintable(date + QStringLiteral(" vs ") + own));
        }
        text.clear();
        line.appendDate(text, std::nullopt);
        QCOMPARE(QString::fromStdString(text).size(), widest);
        QVERIFY(QString::fromStdString(text).startsWith(QStringLiteral("--")));

        // A date and a missing one are whole fields of the line, whatever the separators.
        FileInfo info;
        info.DateLastModified = local(2026, 12, 8, 9, 7, 2);
        DetailTicks dates;
        dates.set(DetailTicks::DateCreated, true);
        dates.set(DetailTicks::DateLastModified, true);
        const QString details = QString::fromStdString(line.build("", info, dates));
        const std::vector<FileLineField> fields = FileLineFields(details, dates);
        QCOMPARE(fields.size(), std::size_t(2));
        QCOMPARE(details.mid(fields[1].start), QStringLiteral("-----") + december + u'-');
        QCOMPARE(details.mid(fields[1].timeStart, 2), QStringLiteral("09"));
    }

    // Dates in several zones, near clock changes too, as the C library writes them.
    void datesInZones_data()
    {
        QTest::addColumn<QByteArray>("zone");
        for (const char* zone :
             {"UTC", "Europe/Berlin", "America/New_York", "Australia/Lord_Howe", "Asia/Kathmandu",
              "Africa/Casablanca", "Europe/Dublin", "right/UTC"})
            QTest::newRow(zone) << QByteArray(zone);
    }
    void datesInZones()
    {
        QFETCH(QByteArray, zone);
        if (zone != "UTC" && !QFile::exists(QStringLiteral("/usr/share/zoneinfo/") + zone))
            QSKIP("zone data not installed");
        const QByteArray saved = qgetenv("TZ");
        const bool hadZone = qEnvironmentVariableIsSet("TZ");
        qputenv("TZ", zone);
        tzset();
        std::vector<std::int64_t> times;
        std::uint64_t seed = 12345;
        for (int i = 0; i < 3000; ++i) {
            seed = seed * 6364136223846793005ull + 1442695040888963407ull;
            times.push_back(std::int64_t(seed >> 33) % 6000000000ll - 2000000000ll);
        }
        // Every change of offset in 2005 to 2007, and the seconds around it.
        long before = 0;
        for (std::int64_t t = 1104537600; t < 1199145600; t += 900) {
            const std::time_t when = t;
            std::tm tm{};
            localtime_r(&when, &tm);
            if (t != 1104537600 && tm.tm_gmtoff != before)
                for (std::int64_t k = t - 902; k <= t + 2; ++k)
                    times.push_back(k);
            before = tm.tm_gmtoff;
        }
        const FileLine line(QLocale::c());
        LocalClock clock; // the spreadsheet's dates, with the zone's offset
        static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        int mismatches = 0;
        for (std::int64_t t : times) {
            const std::time_t when = t;
            std::tm tm{};
            QVERIFY(localtime_r(&when, &tm));
            char expected[64];
            std::snprintf(expected, sizeof expected, "%02d/%s/%04d  %02d:%02d:%02d", tm.tm_mday,
                          months[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
            std::string got;
            line.appendDate(got, t);
            if (got != expected && ++mismatches < 5)
                qWarning("%lld: %s, expected %s", static_cast<long long>(t), got.c_str(), expected);
            const long offset = tm.tm_gmtoff < 0 ? -tm.tm_gmtoff : tm.tm_gmtoff;
            std::snprintf(expected, sizeof expected, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld",
                          tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                          tm.tm_sec, tm.tm_gmtoff < 0 ? '-' : '+', offset / 3600, offset / 60 % 60);
            got.clear();
            CsvWriter::appendIsoDate(got, t, clock);
            if (got != expected && ++mismatches < 5)
                qWarning("%lld: %s, expected %s", static_cast<long long>(t), got.c_str(), expected);
        }
        if (hadZone)
            qputenv("TZ", saved);
        else
            qunsetenv("TZ");
        tzset();
        QCOMPARE(mismatches, 0);
    }

    void attributes_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("flags"); // C A S H R N
        QTest::newRow("0 is Normal") << 0 << "N";
        QTest::newRow("archive only") << 32 << "A";
        QTest::newRow("high bits ignored") << 2048 + 32 << "A";
        QTest::newRow("folder bit alone") << 16 << "";
        QTest::newRow("all five") << 128 + 32 + 4 + 2 + 1 << "CASHR";
    }
    void attributes()
    {
        QFETCH(int, value);
        QFETCH(QString, flags);
        FileInfo info;
        info.setAttributes(std::uint32_t(value));
        QString got;
        for (auto [on, letter] : {std::pair{info.Compressed, 'C'},
                                  {info.Archive, 'A'},
                                  {info.System, 'S'},
                                  {info.Hidden, 'H'},
                                  {info.ReadOnly, 'R'},
                                  {info.Normal, 'N'}})
            if (on)
                got += QLatin1Char(letter);
        QCOMPARE(got, flags);
    }

    void fromProperties_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("fileType");
        QTest::addColumn<int>("attributes");
        QTest::newRow("plain writable")
            << "Report.Final.doc" << int(S_IFREG | 0644) << "Final.doc" << 0;
        QTest::newRow("read-only") << "a.tar.gz" << int(S_IFREG | 0444) << "tar.gz" << 1;
        QTest::newRow("no dot") << "readme" << int(S_IFREG | 0600) << "" << 0;
        QTest::newRow("leading dot") << ".profile" << int(S_IFREG | 0644) << "profile" << 2;
        QTest::newRow("fifo") << "p" << int(S_IFIFO | 0644) << "" << 4;
        QTest::newRow("folder") << "d" << int(S_IFDIR | 0755) << "" << 16;
    }
    void fromProperties()
    {
        QFETCH(QString, name);
        QFETCH(int, mode);
        QFETCH(QString, fileType);
        QFETCH(int, attributes);
        FileStat st;
        st.mode = std::uint32_t(mode);
        st.size = 0;
        st.modified = 1141632430;
        FileInfo info;
        info.FileType = "stale";
        FillFileInfo(info, name.toStdString(), st);
        QCOMPARE(int(AttributesOf(name.toStdString(), st)), attributes);
        QCOMPARE(QString::fromStdString(info.FileType), fileType);
        QCOMPARE(info.Size, std::string("0"));
        QCOMPARE(info.Normal, attributes == 0);
        QVERIFY(!info.DateCreated.has_value());
        QCOMPARE(info.DateLastModified.value(), std::int64_t(1141632430));
    }

    // One real file through the platform: size, times in whole seconds, read-only bit.
    void realFile()
    {
        QTemporaryDir dir;
        const std::string path = dir.path().toStdString() + "/data.bin";
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0444);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, "12345", 5), ssize_t(5));
        const timespec times[2] = {{1136102400, 999999999}, {1141632430, 500000000}};
        QCOMPARE(::futimens(fd, times), 0);
        ::close(fd);
        FileInfo info;
        QCOMPARE(GetFileInfo(path, info), 0);
        QCOMPARE(info.Size, std::string("5"));
        QCOMPARE(info.FileType, std::string("bin"));
        QVERIFY(info.ReadOnly);
        QVERIFY(!info.Normal);
        QCOMPARE(info.DateLastAccessed.value(), std::int64_t(1136102400));
        QCOMPARE(info.DateLastModified.value(), std::int64_t(1141632430));
        QCOMPARE(GetFileInfo(path + ".missing", info), ENOENT);
    }
};

QTEST_GUILESS_MAIN(TestFileLine)
#include "tst_file_line.moc"
