#include "common/ByteText.h"

#include <QTest>

using ansi::CodePage;
using ansi::PathStyle;

// Shift-JIS bytes whose trail byte is "\": 表 (0x95 0x5C) and ソ (0x83 0x5C).
static const std::string hyou = "\x95\x5C";
static const std::string so = "\x83\x5C";

class TestByteText : public QObject
{
    Q_OBJECT

private slots:
    void trailingSeparator_data()
    {
        QTest::addColumn<std::string>("path");
        QTest::addColumn<bool>("shiftJis");
        QTest::addColumn<std::string>("expected");

        QTest::newRow("separator added") << std::string("D:\\in") << false << std::string("D:\\in\\");
        QTest::newRow("separator kept") << std::string("D:\\in\\") << false << std::string("D:\\in\\");
        QTest::newRow("trail byte 0x5C is no separator") << "D:\\" + hyou << true << "D:\\" + hyou + "\\";
        QTest::newRow("trail byte after trail byte") << "D:\\" + so + hyou << true << "D:\\" + so + hyou + "\\";
        QTest::newRow("real separator after double-byte") << "D:\\" + so + "\\" << true << "D:\\" + so + "\\";
        QTest::newRow("same bytes without double-byte support") << "D:\\" + hyou << false << "D:\\" + hyou;
        QTest::newRow("empty path") << std::string() << false << std::string("\\");
    }
    void trailingSeparator()
    {
        QFETCH(std::string, path);
        QFETCH(bool, shiftJis);
        QFETCH(std::string, expected);
        const CodePage& codePage = shiftJis ? CodePage::shiftJis() : CodePage::utf8();
        QCOMPARE(ansi::withTrailingSeparator(path, PathStyle::windows(), codePage), expected);
    }

    void parentPartNeverSplitsDoubleByte()
    {
        const CodePage& sjis = CodePage::shiftJis();
        QCOMPARE(ansi::parentPart("D:\\a\\" + hyou, PathStyle::windows(), sjis), std::string_view("D:\\a\\"));
        QCOMPARE(ansi::parentPart("D:" + hyou, PathStyle::windows(), sjis), std::string_view("D:"));
        QCOMPARE(ansi::parentPart("data", PathStyle::windows(), sjis), std::string_view());
        QCOMPARE(ansi::parentPart("/tmp/a/b", PathStyle::posix(), CodePage::utf8()), std::string_view("/tmp/a/"));
        // A ":" is a drive mark only in the Windows style.
        QCOMPARE(ansi::parentPart("a:b", PathStyle::posix(), CodePage::utf8()), std::string_view());
        QCOMPARE(ansi::withoutTrailingSeparator("D:\\" + hyou, PathStyle::windows(), sjis),
                 std::string_view("D:\\" + hyou));
    }

    void trimControls()
    {
        QCOMPARE(ansi::trimControls(" \t\r\nD:\\in \x01"), std::string_view("D:\\in"));
        // The full-width blank is text, not a blank.
        QCOMPARE(ansi::trimControls("\xE3\x80\x80x\xE3\x80\x80"), std::string_view("\xE3\x80\x80x\xE3\x80\x80"));
        QCOMPARE(ansi::trimControls("   "), std::string_view());
    }

    void fullStop_data()
    {
        QTest::addColumn<std::string>("message");
        QTest::addColumn<bool>("shiftJis");
        QTest::addColumn<std::string>("expected");

        QTest::newRow("letter") << std::string("Stream write error") << false << std::string("Stream write error.");
        QTest::newRow("full stop") << std::string("Done.") << false << std::string("Done.");
        QTest::newRow("exclamation") << std::string("Done!") << false << std::string("Done!");
        QTest::newRow("dash") << std::string("a-") << false << std::string("a-");
        QTest::newRow("slash") << std::string("a/") << false << std::string("a/.");
        QTest::newRow("empty") << std::string() << false << std::string();
        QTest::newRow("japanese utf-8") << std::string("失敗") << false << std::string("失敗.");
        QTest::newRow("japanese shift-jis") << "x" + hyou << true << "x" + hyou + ".";
    }
    void fullStop()
    {
        QFETCH(std::string, message);
        QFETCH(bool, shiftJis);
        QFETCH(std::string, expected);
        QCOMPARE(ansi::withFullStop(message, shiftJis ? CodePage::shiftJis() : CodePage::utf8()), expected);
    }

    void defaultTitle_data()
    {
        QTest::addColumn<std::string>("path");
        QTest::addColumn<bool>("windows");
        QTest::addColumn<std::string>("expected");

        QTest::newRow("several dots") << std::string("C:\\Tools\\AbcDef.Old.EXE") << true << std::string("Abcdef");
        QTest::newRow("posix") << std::string("/usr/local/bin/kelvoran") << false << std::string("kelvoran");
        QTest::newRow("first letter kept") << std::string("/opt/KELVORAN") << false << std::string("Kelvoran");
        QTest::newRow("dot in folder") << std::string("/opt/v1.2/Tool") << false << std::string("Tool");
    }
    void defaultTitle()
    {
        QFETCH(std::string, path);
        QFETCH(bool, windows);
        QFETCH(std::string, expected);
        QCOMPARE(
            ansi::defaultApplicationTitle(path, windows ? PathStyle::windows() : PathStyle::posix(), CodePage::utf8()),
            expected);
    }

    void defaultTitleKeepsDoubleByteName()
    {
        // 表A.exe in a folder: the trail byte "\" does not cut the name, the double byte stays.
        QCOMPARE(ansi::defaultApplicationTitle("C:\\" + hyou + "AB.exe", PathStyle::windows(), CodePage::shiftJis()),
                 hyou + "ab");
    }
};

QTEST_APPLESS_MAIN(TestByteText)
#include "TestByteText.moc"
