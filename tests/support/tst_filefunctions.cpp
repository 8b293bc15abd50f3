#include "support/FileFunctions.h"
#include "support/LocaleProfile.h"
#include "tests/common/LocaleEnvironment.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace quillmap;
namespace FF = quillmap::FileFunctions;

class TestFileFunctions : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_files = 0;

    QString writeFile(const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(QStringLiteral("f%1.ini").arg(m_files++));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private slots:
    void appPath()
    {
        const QString path = FF::GetAppPath();
        QCOMPARE(path, QCoreApplication::applicationDirPath() + QLatin1Char('/'));
        QCOMPARE(FF::App_Path, path);
        QVERIFY(!path.endsWith(QLatin1String("//")));
    }

    void readIni_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");

        const QByteArray basic = "[Messages]\nnumber=45\nMES3=Close|Fermer\n";
        QTest::newRow("plain") << basic << "Messages"
                               << "MES3"
                               << "Close|Fermer";
        QTest::newRow("section case") << basic << "MESSAGES"
                                      << "MES3"
                                      << "Close|Fermer";
        QTest::newRow("key case") << basic << "Messages"
                                  << "mes3"
                                  << "Close|Fermer";
        QTest::newRow("missing key") << basic << "Messages"
                                     << "MES4"
                                     << "";
        QTest::newRow("missing section") << basic << "Other"
                                         << "MES3"
                                         << "";
        QTest::newRow("key of another section") << QByteArray("[A]\nx=1\n[B]\ny=2\n") << "A"
                                                << "y"
                                                << "";
        QTest::newRow("empty value") << QByteArray("[S]\nk=\n") << "S"
                                     << "k"
                                     << "";
        QTest::newRow("line without equals") << QByteArray("[S]\nk\n") << "S"
                                             << "k"
                                             << "";
        QTest::newRow("first key wins") << QByteArray("[S]\nk=one\nK=two\n") << "S"
                                        << "k"
                                        << "one";
        QTest::newRow("first section wins") << QByteArray("[S]\na=1\n[s]\nk=two\n") << "S"
                                            << "k"
                                            << "";
        QTest::newRow("blanks around names and value")
            << QByteArray("  [ S ]  \n \t k \t=  v a l \t \n") << "S"
            << "k"
            << "v a l";
        QTest::newRow("double quotes") << QByteArray("[S]\nk=\" padded \"\n") << "S"
                                       << "k"
                                       << " padded ";
        QTest::newRow("single quotes") << QByteArray("[S]\nk='x'\n") << "S"
                                       << "k"
                                       << "x";
        QTest::newRow("one pair only") << QByteArray("[S]\nk=\"\"x\"\"\n") << "S"
                                       << "k"
                                       << "\"x\"";
        QTest::newRow("unmatched quotes") << QByteArray("[S]\nk=\"x'\n") << "S"
                                          << "k"
                                          << "\"x'";
        QTest::newRow("lone quote") << QByteArray("[S]\nk=\"\n") << "S"
                                    << "k"
                                    << "\"";
        QTest::newRow("comment line") << QByteArray("[S]\n;k=hidden\nk=shown\n") << "S"
                                      << "k"
                                      << "shown";
        QTest::newRow("indented comment") << QByteArray("[S]\n  ;k=hidden\n") << "S"
                                          << "k"
                                          << "";
        QTest::newRow("semicolon inside value") << QByteArray("[S]\nk=a ; b\n") << "S"
                                                << "k"
                                                << "a ; b";
        QTest::newRow("CRLF") << QByteArray("[S]\r\nk=v\r\nj=w\r\n") << "S"
                              << "j"
                              << "w";
        QTest::newRow("CR only") << QByteArray("[S]\rk=v\r") << "S"
                                 << "k"
                                 << "v";
        QTest::newRow("no final newline") << QByteArray("[S]\nk=v") << "S"
                                          << "k"
                                          << "v";
        QTest::newRow("equals in value") << QByteArray("[S]\nk=a=b\n") << "S"
                                         << "k"
                                         << "a=b";
        QTest::newRow("text after bracket") << QByteArray("[S] trailing\nk=v\n") << "S"
                                            << "k"
                                            << "v";
        QTest::newRow("key before any section") << QByteArray("k=v\n[S]\n") << "S"
                                                << "k"
                                                << "";
        QTest::newRow("UTF-8") << QByteArray("[S]\nk=Über Größe €\n") << "S"
                               << "k" << QString::fromUtf8("Über Größe €");
        QTest::newRow("UTF-8 BOM") << QByteArray("\xEF\xBB\xBF[S]\nk=v\n") << "S"
                                   << "k"
                                   << "v";
        QTest::newRow("Windows-1252") << QByteArray("[S]\nk=\xDC\x62\x65r \x80 \x93q\x94\n") << "S"
                                      << "k" << QString::fromUtf8("Über € “q”");
        QTest::newRow("Windows-1252 unassigned byte") << QByteArray("[S]\nk=a\x81z\n") << "S"
                                                      << "k" << QStringLiteral("a\u0081z");
        QTest::newRow("non-ASCII section")
            << QByteArray("[Größe]\nk=v\n") << QString::fromUtf8("GRÖSSE") << "k"
            << "";
        QTest::newRow("non-ASCII section case")
            << QByteArray("[größe]\nk=v\n") << QString::fromUtf8("GRÖßE") << "k"
            << "v";
    }

    void readIni()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        const QString file = writeFile(content);
        QCOMPARE(FF::ReadIniString(section, key, file), expected);
        // The message catalogue reads a whole section in one pass: it must find the same.
        const QHash<QString, QString> values = FF::detail::ReadIniSection(
            *FF::ReadIniFile(file), section, FF::detail::kDefaultIniBuffer);
        QCOMPARE(FF::detail::IniSectionValue(values, key), expected);
    }

    void readIniMissingFile()
    {
        QCOMPARE(FF::ReadIniString("S", "k", m_dir.filePath("absent.ini")), QString());
        QCOMPARE(FF::ReadIniString("S", "k", QString()), QString());
        QCOMPARE(FF::ReadIniString("S", "k", m_dir.path()), QString()); // a folder
        // A FIFO would block a reader that opened it.
        const QByteArray fifo = m_dir.filePath("fifo.ini").toLocal8Bit();
        QCOMPARE(mkfifo(fifo.constData(), 0600), 0);
        QCOMPARE(FF::ReadIniString("S", "k", QString::fromLocal8Bit(fifo)), QString());
    }

    void longValues_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("bufferSize"); // empty: the default buffer
        QTest::addColumn<int>("expected");
        QTest::newRow("999 kept") << 999 << QString() << 999;
        QTest::newRow("1000 cut") << 1000 << QString() << 999;
        QTest::newRow("5000 cut") << 5000 << QString() << 999;
        QTest::newRow("buffer 10") << 50 << "10" << 9;
        QTest::newRow("buffer 1") << 50 << "1" << 0;
        QTest::newRow("buffer 0") << 50 << "0" << 0;
        QTest::newRow("buffer 32767") << 40000 << "32767" << 32766;
        QTest::newRow("buffer with blanks") << 50 << " 20 " << 19;
    }

    void longValues()
    {
        QFETCH(int, length);
        QFETCH(QString, bufferSize);
        QFETCH(int, expected);
        const QByteArray value(length, 'x');
        const QString file = writeFile("[S]\nk=" + value + "\n");
        QString result;
        if (bufferSize.isEmpty()) {
            result = FF::ReadIniString("S", "k", file);
        } else {
            const std::optional<QString> r = FF::ReadIniString("S", "k", file, bufferSize);
            QVERIFY(r.has_value());
            result = *r;
        }
        QCOMPARE(result, QString(expected, QLatin1Char('x')));
    }

    void cutKeepsSurrogatePairsWhole()
    {
        // 998 letters then U+1F600: the cut at 999 units would split the pair.
        const QByteArray value = QByteArray(998, 'a') + "\xF0\x9F\x98\x80";
        const QString result = FF::ReadIniString("S", "k", writeFile("[S]\nk=" + value + "\n"));
        QCOMPARE(result, QString(998, QLatin1Char('a')));
    }

    void badBufferSize_data()
    {
        QTest::addColumn<QString>("bufferSize");
        QTest::newRow("letters") << "abc";
        QTest::newRow("empty") << "";
        QTest::newRow("fraction") << "10.5";
        QTest::newRow("negative") << "-1";
        QTest::newRow("past 16 bits") << "32768";
    }

    void badBufferSize()
    {
        QFETCH(QString, bufferSize);
        const QString file = writeFile("[S]\nk=v\n");
        QVERIFY(!FF::ReadIniString("S", "k", file, bufferSize).has_value());
    }

    void utf8Validity_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::newRow("ascii") << QByteArray("abc") << true;
        QTest::newRow("two bytes") << QByteArray("\xC3\xBC") << true;
        QTest::newRow("four bytes") << QByteArray("\xF0\x9F\x98\x80") << true;
        QTest::newRow("max") << QByteArray("\xF4\x8F\xBF\xBF") << true;
        QTest::newRow("lone continuation") << QByteArray("\x80") << false;
        QTest::newRow("truncated") << QByteArray("\xE2\x82") << false;
        QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << false;
        QTest::newRow("overlong three") << QByteArray("\xE0\x80\xAF") << false;
        QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << false;
        QTest::newRow("past U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false;
        QTest::newRow("latin-1 letter") << QByteArray("\xFC") << false;
    }

    void utf8Validity()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QCOMPARE(FF::detail::IsValidUtf8(bytes), valid);
    }

    void languageSetting_data()
    {
        QTest::addColumn<QByteArray>("locale");
        QTest::addColumn<QString>("expected"); // "NO FILE" when the key is absent
        QTest::newRow("en_US") << QByteArray("en_US.UTF-8") << "enu";
        QTest::newRow("en_GB") << QByteArray("en_GB") << "eng";
        QTest::newRow("en_AU") << QByteArray("en_AU.UTF-8") << "ena";
        QTest::newRow("en_CA") << QByteArray("en_CA") << "enc";
        QTest::newRow("en_NZ") << QByteArray("en_NZ") << "enz";
        QTest::newRow("en_IE") << QByteArray("en_IE.UTF-8") << "english";
        QTest::newRow("fr_FR") << QByteArray("fr_FR.UTF-8") << "fra";
        QTest::newRow("fr_BE") << QByteArray("fr_BE@euro") << "frb";
        QTest::newRow("fr_CA") << QByteArray("fr_CA") << "frc";
        QTest::newRow("fr_CH") << QByteArray("fr_CH") << "frs";
        QTest::newRow("fr_LU") << QByteArray("fr_LU") << "french";
        QTest::newRow("de_DE") << QByteArray("de_DE.UTF-8") << "deu";
        QTest::newRow("de_AT") << QByteArray("de_AT") << "dea";
        QTest::newRow("de_CH") << QByteArray("de_CH") << "des";
        QTest::newRow("de_LU") << QByteArray("de_LU") << "german";
        QTest::newRow("it_CH") << QByteArray("it_CH") << "it";
        QTest::newRow("es_MX") << QByteArray("es_MX.UTF-8") << "es-mx";
        QTest::newRow("es_PR") << QByteArray("es_PR") << "es-pr";
        QTest::newRow("es_ES") << QByteArray("es_ES.UTF-8") << "es";
        QTest::newRow("es_US") << QByteArray("es_US") << "es";
        QTest::newRow("nl_BE") << QByteArray("nl_BE") << "nl-be";
        QTest::newRow("nl_NL") << QByteArray("nl_NL") << "nl";
        QTest::newRow("pt_BR") << QByteArray("pt_BR.UTF-8") << "pt-br";
        QTest::newRow("pt_PT") << QByteArray("pt_PT") << "pt";
        QTest::newRow("nb_NO") << QByteArray("nb_NO.UTF-8") << "no";
        QTest::newRow("nn_NO") << QByteArray("nn_NO") << "no";
        QTest::newRow("no_NO") << QByteArray("no_NO") << "no";
        QTest::newRow("ja_JP") << QByteArray("ja_JP.UTF-8") << "ja-jp";
        QTest::newRow("language only") << QByteArray("de") << "german";
        QTest::newRow("C") << QByteArray("C") << "NO FILE";
        QTest::newRow("C.UTF-8") << QByteArray("C.UTF-8") << "NO FILE";
        QTest::newRow("POSIX") << QByteArray("POSIX") << "NO FILE";
    }

    void languageSetting()
    {
        QFETCH(QByteArray, locale);
        QFETCH(QString, expected);
        qputenv("LC_ALL", locale);
        QCOMPARE(FF::ReadProfileString("intl", "slanguage"), expected);
        QCOMPARE(FF::ReadProfileString("INTL", "sLanguage"), expected);
    }

    void localePrecedence_data()
    {
        QTest::addColumn<QByteArray>("lcAll");
        QTest::addColumn<QByteArray>("lcMessages");
        QTest::addColumn<QByteArray>("lang");
        QTest::addColumn<QString>("expected");
        QTest::newRow("LC_ALL first")
            << QByteArray("fr_FR") << QByteArray("de_DE") << QByteArray("nl_NL") << "fra";
        QTest::newRow("then LC_MESSAGES")
            << QByteArray() << QByteArray("de_DE") << QByteArray("nl_NL") << "deu";
        QTest::newRow("then LANG") << QByteArray() << QByteArray() << QByteArray("nl_NL") << "nl";
        QTest::newRow("none") << QByteArray() << QByteArray() << QByteArray() << "NO FILE";
        QTest::newRow("C wins over LANG")
            << QByteArray("C") << QByteArray() << QByteArray("de_DE") << "NO FILE";
    }

    void localePrecedence()
    {
        QFETCH(QByteArray, lcAll);
        QFETCH(QByteArray, lcMessages);
        QFETCH(QByteArray, lang);
        QFETCH(QString, expected);
        test::SetLocaleVariable("LC_ALL", lcAll);
        test::SetLocaleVariable("LC_MESSAGES", lcMessages);
        test::SetLocaleVariable("LANG", lang);
        QCOMPARE(FF::ReadProfileString("intl", "slanguage"), expected);
    }

    void profileOtherKeys()
    {
        qputenv("LC_ALL", "de_DE.UTF-8");
        QCOMPARE(FF::ReadProfileString("intl", "sCountry"), QStringLiteral("NO FILE"));
        QCOMPARE(FF::ReadProfileString("windows", "slanguage"), QStringLiteral("NO FILE"));
    }

    void profileValueCut()
    {
        qputenv("LC_ALL", "x_" + QByteArray(400, 'y'));
        const QString value = FF::ReadProfileString("intl", "slanguage");
        QCOMPARE(value.size(), 254);
        QVERIFY(value.startsWith(QLatin1String("x-yyy")));
    }

    void cleanupTestCase() { qputenv("LC_ALL", "C.UTF-8"); }
};

QTEST_GUILESS_MAIN(TestFileFunctions)
#include "tst_filefunctions.moc"
