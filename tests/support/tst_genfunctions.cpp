#include "support/GenFunctions.h"

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>

using namespace quillmap::GenFunctions;

class TestGenFunctions : public QObject
{
    Q_OBJECT

private slots:
    void replaceChar_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("find");
        QTest::addColumn<QString>("with");
        QTest::addColumn<QString>("expected");
        QTest::newRow("program name") << "Quillmap_Print"
                                      << "_"
                                      << " "
                                      << "Quillmap Print";
        QTest::newRow("edges trimmed") << "_a_"
                                       << "_"
                                       << " "
                                       << "a";
        QTest::newRow("empty text") << ""
                                    << "_"
                                    << " "
                                    << "";
        QTest::newRow("empty find") << "a_b"
                                    << ""
                                    << " "
                                    << "";
        QTest::newRow("case matters") << "AbB"
                                      << "b"
                                      << "x"
                                      << "AxB";
        QTest::newRow("first char of find") << "a-b+c"
                                            << "-+"
                                            << "="
                                            << "a=b+c";
        QTest::newRow("runs kept inside") << "a__b"
                                          << "_"
                                          << " "
                                          << "a  b";
        QTest::newRow("text trimmed first") << "  a_b  "
                                            << "_"
                                            << "."
                                            << "a.b";
        QTest::newRow("tab is no space") << "\ta_b\t"
                                         << "_"
                                         << " "
                                         << "\ta b\t";
        QTest::newRow("longer replacement") << "x_y"
                                            << "_"
                                            << "--"
                                            << "x--y";
        QTest::newRow("deletion") << "x_y_"
                                  << "_"
                                  << ""
                                  << "xy";
        // Would never end if the replacement were rescanned for the character.
        QTest::newRow("replacement holds char") << "a_b"
                                                << "_"
                                                << "__"
                                                << "a__b";
        QTest::newRow("only the char") << "___"
                                       << "_"
                                       << " "
                                       << "";
    }

    void replaceChar()
    {
        QFETCH(QString, text);
        QFETCH(QString, find);
        QFETCH(QString, with);
        QFETCH(QString, expected);
        QCOMPARE(ReplaceChar(text, find, with), expected);
    }

    void properCase_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("program name") << "QUILLMAP PRINT"
                                      << "Quillmap Print";
        QTest::newRow("runs of spaces") << "ab   cD"
                                        << "Ab Cd";
        QTest::newRow("leading spaces") << "  ab "
                                        << " Ab";
        QTest::newRow("single word, trailing") << "ab  "
                                               << "Ab ";
        QTest::newRow("two words, trailing") << "ab cd  "
                                             << "Ab Cd";
        QTest::newRow("leading, two words") << "   ab cd"
                                            << " Ab Cd";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("spaces only") << "    "
                                     << "";
        QTest::newRow("inner capitals") << "mcDONALD"
                                        << "Mcdonald";
        QTest::newRow("hyphen is no separator") << "ab-cd"
                                                << "Ab-cd";
        QTest::newRow("tab is no separator") << "ab\tcd"
                                             << "Ab\tcd";
        QTest::newRow("one letter") << "q"
                                    << "Q";
        QTest::newRow("accents") << QString::fromUtf8("ÉCOLE ÜBER")
                                 << QString::fromUtf8("École Über");
    }

    void properCase()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(ProperCase(text), expected);
    }

    void getField_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("delimiter");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("expected");
        QTest::newRow("field 1") << "one|two|three"
                                 << "|" << 1 << "one";
        QTest::newRow("field 2") << "one|two|three"
                                 << "|" << 2 << "two";
        QTest::newRow("field 3") << "one|two|three"
                                 << "|" << 3 << "three";
        QTest::newRow("field 4") << "one|two|three"
                                 << "|" << 4 << "";
        QTest::newRow("field 0") << "one|two|three"
                                 << "|" << 0 << "";
        QTest::newRow("field -1") << "one|two|three"
                                  << "|" << -1 << "";
        QTest::newRow("empty middle") << "one||three"
                                      << "|" << 2 << "";
        QTest::newRow("after empty") << "one||three"
                                     << "|" << 3 << "three";
        QTest::newRow("no delimiter") << "one"
                                      << "|" << 1 << "";
        QTest::newRow("trailing delimiter") << "one|two|"
                                            << "|" << 3 << "";
        QTest::newRow("leading delimiter") << "|two"
                                           << "|" << 1 << "";
        QTest::newRow("leading delimiter 2") << "|two"
                                             << "|" << 2 << "two";
        QTest::newRow("space delimiter") << "a b c"
                                         << " " << 2 << "";
        QTest::newRow("empty delimiter") << "a|b"
                                         << "" << 1 << "";
        QTest::newRow("empty text") << ""
                                    << "|" << 1 << "";
        QTest::newRow("blank text") << "   "
                                    << "|" << 1 << "";
        QTest::newRow("spaces in fields kept") << "a | b |c"
                                               << "|" << 2 << " b ";
        QTest::newRow("eight fields") << "1|2|3|4|5|6|7|8"
                                      << "|" << 8 << "8";
        QTest::newRow("huge number") << "a|b"
                                     << "|" << 32767 << "";
    }

    void getField()
    {
        QFETCH(QString, text);
        QFETCH(QString, delimiter);
        QFETCH(int, field);
        QFETCH(QString, expected);
        QCOMPARE(GetField(text, delimiter, field), expected);
    }

    void centredPosition_data()
    {
        QTest::addColumn<QSize>("window");
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QPoint>("expected");
        // 4,800 x 3,600 twips on 15,360 x 11,520 at 15 twips a pixel.
        QTest::newRow("example") << QSize(320, 240) << QRect(0, 0, 1024, 768) << QPoint(352, 264);
        QTest::newRow("second screen")
            << QSize(100, 100) << QRect(1920, 0, 1000, 800) << QPoint(2370, 350);
        QTest::newRow("larger than screen")
            << QSize(1200, 900) << QRect(0, 0, 1000, 800) << QPoint(-100, -50);
        QTest::newRow("odd spare, half to even")
            << QSize(101, 103) << QRect(0, 0, 200, 200) << QPoint(50, 48);
    }

    void centredPosition()
    {
        QFETCH(QSize, window);
        QFETCH(QRect, screen);
        QFETCH(QPoint, expected);
        QCOMPARE(CentredPosition(window, screen), expected);
    }

    void centreForm()
    {
        QWidget form;
        form.resize(300, 200);
        QVERIFY(CentreForm(&form));
        const QRect screen = form.screen()->geometry();
        QCOMPARE(form.pos(), CentredPosition(QSize(300, 200), screen));
        QCOMPARE(form.size(), QSize(300, 200));
        QVERIFY(CentreForm(nullptr));
    }
};

QTEST_MAIN(TestGenFunctions)
#include "tst_genfunctions.moc"
