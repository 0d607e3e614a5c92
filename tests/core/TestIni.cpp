#include "settings/Ini.h"

#include <QFile>
#include <QTest>

using ansi::CodePage;

namespace {

std::string dataFile(const char* name)
{
    QFile file(QStringLiteral(KV_TEST_DATA "/") + QString::fromLatin1(name));
    if (!file.open(QIODevice::ReadOnly))
        return "<missing " + std::string(name) + ">";
    return file.readAll().toStdString();
}

std::string readValue(const std::string& content, const CodePage& codePage = CodePage::utf8())
{
    return settings::readIniValue(content, "KansiDir", "fullpath", codePage);
}

std::optional<std::string> updateValue(const std::string& content, const std::string& value,
                                       const CodePage& codePage = CodePage::utf8())
{
    return settings::updateIniValue(content, "KansiDir", "fullpath", value, codePage);
}

} // namespace

class TestIni : public QObject
{
    Q_OBJECT

private slots:
    void read_data()
    {
        QTest::addColumn<std::string>("content");
        QTest::addColumn<std::string>("expected");

        QTest::newRow("names in other case, blanks around")
            << std::string("[kansidir]\r\nFULLPATH = D:\\in  \r\n") << std::string("D:\\in");
        QTest::newRow("double quotes") << std::string("[KansiDir]\r\nfullpath=\" D:\\in \"\r\n")
                                       << std::string(" D:\\in ");
        QTest::newRow("single quotes") << std::string("[KansiDir]\r\nfullpath='D:\\in'") << std::string("D:\\in");
        QTest::newRow("unmatched quotes stay")
            << std::string("[KansiDir]\r\nfullpath=\"D:\\in'") << std::string("\"D:\\in'");
        QTest::newRow("lone quote stays") << std::string("[KansiDir]\r\nfullpath=\"") << std::string("\"");
        QTest::newRow("first matching key")
            << std::string("[KansiDir]\r\nfullpath=a\r\nfullpath=b\r\n") << std::string("a");
        QTest::newRow("only the first matching section")
            << std::string("[KansiDir]\r\nother=1\r\n[KANSIDIR]\r\nfullpath=b\r\n") << std::string();
        QTest::newRow("key of another section")
            << std::string("[Other]\r\nfullpath=x\r\n[KansiDir]\r\n") << std::string();
        QTest::newRow("key before any section") << std::string("fullpath=x\r\n[KansiDir]\r\n") << std::string();
        QTest::newRow("section name trimmed, text after bracket ignored")
            << std::string("  [ KansiDir ] note\nfullpath=x") << std::string("x");
        QTest::newRow("bracket without close is no section")
            << std::string("[Other]\n[KansiDir\nfullpath=x") << std::string();
        QTest::newRow("comment line never matches") << std::string("[KansiDir]\n;fullpath=x\n") << std::string();
        QTest::newRow("line without equals") << std::string("[KansiDir]\nfullpath\nfullpath=y") << std::string("y");
        QTest::newRow("lone CR line ends") << std::string("[KansiDir]\rfullpath=x\rnext=1") << std::string("x");
        QTest::newRow("NUL ends the value") << std::string("[KansiDir]\nfullpath=ab\0cd\n", 24) << std::string("ab");
        QTest::newRow("UTF-8 byte-order mark") << std::string("\xEF\xBB\xBF[KansiDir]\nfullpath=x") << std::string("x");
        QTest::newRow("UTF-16 holds no setting") << std::string("\xFF\xFE[\0K\0", 6) << std::string();
        QTest::newRow("value cut at 2047 bytes")
            << "[KansiDir]\nfullpath=" + std::string(3000, 'a') << std::string(2047, 'a');
        QTest::newRow("empty value") << std::string("[KansiDir]\nfullpath=  \n") << std::string();
    }
    void read()
    {
        QFETCH(std::string, content);
        QFETCH(std::string, expected);
        QCOMPARE(readValue(content), expected);
    }

    void readWithShiftJis()
    {
        const CodePage& sjis = CodePage::shiftJis();
        // "]" as a trail byte (0x83 0x5D) does not close a section name.
        QCOMPARE(readValue("[KansiDir\x83]\nfullpath=x\n[KansiDir]\nfullpath=y", sjis), std::string("y"));
        QCOMPARE(readValue("[KansiDir]\nfullpath=\x95\x5C", sjis), std::string("\x95\x5C"));
        // The cut at 2047 bytes never splits a double-byte character.
        const std::string value = std::string(2046, 'a') + "\x95\x5C";
        QCOMPARE(readValue("[KansiDir]\nfullpath=" + value, sjis), std::string(2046, 'a'));
        QCOMPARE(readValue("[KansiDir]\nfullpath=" + value), value.substr(0, 2047));
    }

    void updateGolden_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("other sections kept byte for byte") << QStringLiteral("hand-written");
        QTest::newRow("missing key added after the section's last line") << QStringLiteral("missing-key");
        QTest::newRow("missing section added at the end") << QStringLiteral("missing-section");
    }
    void updateGolden()
    {
        QFETCH(QString, name);
        const std::string before = dataFile((name + QStringLiteral(".ini")).toLatin1().constData());
        const std::string after = dataFile((name + QStringLiteral(".updated.ini")).toLatin1().constData());
        const std::optional<std::string> updated = updateValue(before, "/srv/new", CodePage::shiftJis());
        QVERIFY(updated);
        QCOMPARE(*updated, after);
        QCOMPARE(readValue(*updated, CodePage::shiftJis()), std::string("/srv/new"));
    }

    void updateRows_data()
    {
        QTest::addColumn<std::string>("before");
        QTest::addColumn<std::string>("after");

        QTest::newRow("blanks before an old value kept")
            << std::string("[KansiDir]\r\nfullpath =  old  \r\n") << std::string("[KansiDir]\r\nfullpath =  new\r\n");
        QTest::newRow("blanks without an old value dropped")
            << std::string("[KansiDir]\nfullpath=   \n") << std::string("[KansiDir]\nfullpath=new\n");
        QTest::newRow("section line without line end")
            << std::string("[KansiDir]") << std::string("[KansiDir]\r\nfullpath=new\r\n");
        QTest::newRow("empty file") << std::string() << std::string("[KansiDir]\r\nfullpath=new\r\n");
        QTest::newRow("byte-order mark kept")
            << std::string("\xEF\xBB\xBF") << std::string("\xEF\xBB\xBF[KansiDir]\r\nfullpath=new\r\n");
        QTest::newRow("odd line ends and NUL elsewhere kept")
            << std::string("[A]\rx=\0\n[KansiDir]\nfullpath=old\r\r\n", 31)
            << std::string("[A]\rx=\0\n[KansiDir]\nfullpath=new\r\r\n", 31);
    }
    void updateRows()
    {
        QFETCH(std::string, before);
        QFETCH(std::string, after);
        const std::optional<std::string> updated = updateValue(before, "new");
        QVERIFY(updated);
        QCOMPARE(*updated, after);
    }

    void utf16IsNotUpdated() { QVERIFY(!updateValue(std::string("\xFE\xFF\0[", 4), "new")); }
};

QTEST_APPLESS_MAIN(TestIni)
#include "TestIni.moc"
