#include "app/AccessKeyLabel.h"
#include "app/FailureBox.h"
#include "app/MessageBox.h"
#include "app/QtTranslations.h"
#include "common/CodePage.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QRawFont>
#include <QTest>
#include <QTextLayout>
#include <QTimer>

using app::MessageBox;
using setup::MessageKind;
namespace buttons = setup::buttons;

namespace {

struct Key
{
    Qt::Key key;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};

// Opens the box and types the keys into it from its own event loop; -1 when the box is still
// open after the last key (it is then closed by hand).
int answer(MessageBox& box, const QList<Key>& keys)
{
    QTimer::singleShot(0, &box, [&box, keys] {
        for (const Key& key : keys) {
            if (!box.isVisible())
                return;
            QWidget* target = box.focusWidget() != nullptr ? box.focusWidget() : &box;
            QTest::keyClick(target, key.key, key.modifiers);
        }
        if (box.isVisible())
            box.done(-1);
    });
    return box.exec();
}

} // namespace

Q_DECLARE_METATYPE(Key)

class TestMessageBox : public QObject
{
    Q_OBJECT

private slots:
    void keys_data()
    {
        QTest::addColumn<unsigned>("buttonSet");
        QTest::addColumn<QList<Key>>("keys");
        QTest::addColumn<int>("result");

        const unsigned yesNo = buttons::yes | buttons::no;
        QTest::newRow("yes/no: Escape answers No") << yesNo << QList<Key>{{Qt::Key_Escape}} << 7;
        QTest::newRow("yes/no: Enter at opening answers Yes") << yesNo << QList<Key>{{Qt::Key_Return}} << 6;
        QTest::newRow("yes/no: N answers No") << yesNo << QList<Key>{{Qt::Key_N}} << 7;
        QTest::newRow("yes/no: Alt+Y answers Yes") << yesNo << QList<Key>{{Qt::Key_Y, Qt::AltModifier}} << 6;
        QTest::newRow("yes/no: Shift+Enter does nothing")
            << yesNo << QList<Key>{{Qt::Key_Return, Qt::ShiftModifier}} << -1;
        QTest::newRow("yes/no: Tab then Enter answers No") << yesNo << QList<Key>{{Qt::Key_Tab}, {Qt::Key_Return}} << 7;
        QTest::newRow("yes: Escape does nothing") << buttons::yes << QList<Key>{{Qt::Key_Escape}} << -1;
        QTest::newRow("yes: Escape, then Enter answers Yes")
            << buttons::yes << QList<Key>{{Qt::Key_Escape}, {Qt::Key_Return}} << 6;
        QTest::newRow("yes: Y answers Yes") << buttons::yes << QList<Key>{{Qt::Key_Y}} << 6;
        QTest::newRow("yes: other letters do nothing") << buttons::yes << QList<Key>{{Qt::Key_N}} << -1;
    }
    void keys()
    {
        QFETCH(unsigned, buttonSet);
        QFETCH(QList<Key>, keys);
        QFETCH(int, result);
        MessageBox box("text", MessageKind::Warning, buttonSet, QStringLiteral("kelvoran"));
        QCOMPARE(answer(box, keys), result);
    }

    void closeButtonAnswersCancel_data()
    {
        QTest::addColumn<unsigned>("buttonSet");
        QTest::newRow("yes") << buttons::yes;
        QTest::newRow("yes/no") << (buttons::yes | buttons::no);
    }
    void closeButtonAnswersCancel()
    {
        QFETCH(unsigned, buttonSet);
        MessageBox box("text", MessageKind::Warning, buttonSet, QStringLiteral("kelvoran"));
        QTimer::singleShot(0, &box, [&box] { box.close(); });
        QCOMPARE(box.exec(), 2);
    }

    void ctrlCCopiesTheBox()
    {
        MessageBox box("入力されたフォルダは存在しません！\r\n作成しますか？", MessageKind::Warning,
                       buttons::yes | buttons::no, QStringLiteral("kelvoran"));
        QApplication::clipboard()->clear();
        QCOMPARE(answer(box, {{Qt::Key_C, Qt::ControlModifier}}), -1);
        const QString divider = QStringLiteral("---------------------------\r\n");
        QCOMPARE(QApplication::clipboard()->text(),
                 divider + QStringLiteral("Warning\r\n") + divider +
                     QStringLiteral("入力されたフォルダは存在しません！\r\n作成しますか？\r\n") + divider +
                     QStringLiteral("Yes   No   \r\n") + divider);
    }

    void titlesAndButtons()
    {
        QCOMPARE(MessageBox("t", MessageKind::Error, buttons::yes, {}).windowTitle(), QStringLiteral("Error"));
        QCOMPARE(MessageBox("t", MessageKind::Information, buttons::yes, {}).windowTitle(),
                 QStringLiteral("Information"));
        QCOMPARE(MessageBox("t", MessageKind::Confirmation, buttons::yes, {}).windowTitle(), QStringLiteral("Confirm"));
        QCOMPARE(MessageBox("t", MessageKind::Custom, buttons::yes, QStringLiteral("app")).windowTitle(),
                 QStringLiteral("app"));

        MessageBox box("t", MessageKind::Warning, 0x07FF, QStringLiteral("kelvoran"));
        const QList<QPushButton*> all = box.findChildren<QPushButton*>();
        const auto captionsOf = [](const QWidget& owner) {
            QStringList captions;
            for (const QPushButton* button : owner.findChildren<QPushButton*>())
                captions << button->text();
            return captions;
        };
        for (const QPushButton* button : all)
            QCOMPARE(button->width(), all.front()->width());
        // For a Japanese user Qt's own buttons are Japanese, the box's stay as they are.
        const QLocale user;
        QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
        const std::unique_ptr<QTranslator> japanese = app::installQtTranslations();
        QLocale::setDefault(user);
        QCOMPARE(captionsOf(QDialogButtonBox(QDialogButtonBox::Cancel)), QStringList{QStringLiteral("キャンセル")});
        QCOMPARE(captionsOf(MessageBox("t", MessageKind::Warning, 0x07FF, {})), captionsOf(box));
        QCOMPARE(captionsOf(box),
                 (QStringList{QStringLiteral("&Yes"), QStringLiteral("&No"), QStringLiteral("OK"),
                              QStringLiteral("Cancel"), QStringLiteral("&Abort"), QStringLiteral("&Retry"),
                              QStringLiteral("&Ignore"), QStringLiteral("&All"), QStringLiteral("N&o to All"),
                              QStringLiteral("Yes to &All"), QStringLiteral("&Help")}));
        // OK is the default button; Cancel answers Escape.
        QVERIFY(all[2]->isDefault());
        MessageBox again("t", MessageKind::Warning, 0x07FF, QStringLiteral("kelvoran"));
        QCOMPARE(answer(again, {{Qt::Key_Escape}}), 2);
    }

    void longLinesWrapAtHalfTheScreen()
    {
        MessageBox shortBox("short", MessageKind::Information, buttons::yes, {});
        QString longLine;
        for (int i = 0; i < 60; ++i)
            longLine += QStringLiteral("word%1 ").arg(i);
        MessageBox longBox(longLine.toStdString(), MessageKind::Information, buttons::yes, {});
        const auto* shortText = shortBox.findChild<app::AccessKeyLabel*>(QStringLiteral("text"));
        const auto* longText = longBox.findChild<app::AccessKeyLabel*>(QStringLiteral("text"));
        const int halfScreen = QGuiApplication::primaryScreen()->geometry().width() / 2;
        QVERIFY(longText->sizeHint().width() <= halfScreen);
        QVERIFY(longText->sizeHint().height() >= 3 * shortText->sizeHint().height());
        longBox.adjustSize();
        QVERIFY(longBox.width() < halfScreen + 200);
    }

    void wordLongerThanALineBreaksInside()
    {
        const std::string path = "/srv/" + std::string(250, 'x');
        MessageBox box("フォルダの作成に失敗しました！\r\n\r\n" + path, MessageKind::Error, buttons::yes, {});
        box.adjustSize();
        const auto* text = box.findChild<app::AccessKeyLabel*>(QStringLiteral("text"));
        const int halfScreen = QGuiApplication::primaryScreen()->geometry().width() / 2;
        QVERIFY(text->width() <= halfScreen);
        QVERIFY(text->height() >= 4 * text->fontMetrics().height());
        QVERIFY(box.width() <= halfScreen + 100);
    }

    void japaneseTextTakesOneGothicFace()
    {
        MessageBox box("入力されたフォルダは存在しません！\r\n作成しますか？", MessageKind::Warning,
                       buttons::yes | buttons::no, {});
        const auto* text = box.findChild<app::AccessKeyLabel*>(QStringLiteral("text"));
        QTextLayout layout(text->text(), text->font());
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        QStringList faces;
        for (const QGlyphRun& run : layout.glyphRuns())
            faces << run.rawFont().familyName();
        faces.removeDuplicates();
        QCOMPARE(faces, QStringList{QStringLiteral("Noto Sans CJK JP")});
    }

    void failureBoxCopiesItselfAndHasAPlainButton()
    {
        QApplication::clipboard()->clear();
        QTimer::singleShot(0, [] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            QVERIFY(box->button(QMessageBox::Ok)->icon().isNull());
            QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
            QVERIFY(box->isVisible());
            box->accept();
        });
        app::showFailureBox("Stream write error", QStringLiteral("kelvoran"), ansi::CodePage::utf8(), nullptr);
        const QString divider = QStringLiteral("---------------------------\r\n");
        QCOMPARE(QApplication::clipboard()->text(), divider + QStringLiteral("kelvoran\r\n") + divider +
                                                        QStringLiteral("Stream write error.\r\n") + divider +
                                                        QStringLiteral("OK   \r\n") + divider);
    }

    void lineBreaksAreKept()
    {
        MessageBox one("監視フォルダとして", MessageKind::Information, buttons::yes, {});
        MessageBox five("監視フォルダとして\r\n\r\n  /srv/in\r\n\r\nをKelvoran.iniにセットしました！",
                        MessageKind::Information, buttons::yes, {});
        const auto* oneText = one.findChild<app::AccessKeyLabel*>(QStringLiteral("text"));
        const auto* fiveText = five.findChild<app::AccessKeyLabel*>(QStringLiteral("text"));
        QVERIFY(fiveText->sizeHint().height() > 3 * oneText->sizeHint().height());
    }

    void ampersandIsAnAccessKeyMark()
    {
        MessageBox box("/srv/R&D && more", MessageKind::Information, buttons::yes, {});
        const auto* text = box.findChild<app::AccessKeyLabel*>(QStringLiteral("text"));
        QCOMPARE(text->sizeHint().width(), text->fontMetrics().horizontalAdvance(QStringLiteral("/srv/RD & more")));
    }
};

QTEST_MAIN(TestMessageBox)
#include "TestMessageBox.moc"
