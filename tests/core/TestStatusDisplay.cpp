#include "common/Texts.h"
#include "monitor/StatusDisplay.h"
#include "support/MemorySystem.h"
#include "support/RecordingView.h"

#include <QTest>

using monitor::CheckResult;
using monitor::Picture;
using monitor::Status;

namespace {

CheckResult found(std::optional<Status> status, std::string folder = "/in")
{
    CheckResult result;
    result.status = status;
    result.folder = std::move(folder);
    return result;
}

// `folder`: the folder the newest settings read found set.
CheckResult noAnswer(std::string folder = {})
{
    CheckResult result;
    result.noAnswer = true;
    result.folder = std::move(folder);
    return result;
}

const auto memory = std::make_shared<MemorySystem>(ansi::PathStyle::posix(), ansi::CodePage::utf8(), "/");

std::string marked(std::string_view text)
{
    return std::string(text) + " (応答なし)";
}

} // namespace

class TestStatusDisplay : public QObject
{
    Q_OBJECT

private slots:
    // The mark follows whatever both texts show, the picture turns to the no-answer one, and the
    // next answer replaces both; a pause in the middle of an arrival is no new arrival.
    void noAnswerMarksTheTextsUntilACheckAnswers()
    {
        RecordingView view;
        monitor::StatusDisplay display(view, "Kelvoran", "kelvoran", nullptr, memory);
        display.show(noAnswer());
        QCOMPARE(view.caption, marked("Kelvoran"));
        QCOMPARE(view.applicationTitle, marked("kelvoran"));
        QCOMPARE(view.writes.front(), "title:" + marked("kelvoran"));

        display.show(found(Status::Arrival));
        QCOMPARE(view.caption, std::string(texts::statusArrival));
        QCOMPARE(view.applicationTitle, std::string(texts::statusArrival));
        QCOMPARE(view.attentionAsked, 1);

        display.show(noAnswer());
        display.show(noAnswer());
        QCOMPARE(view.caption, marked(texts::statusArrival));
        QCOMPARE(view.applicationTitle, marked(texts::statusArrival));
        // The settings named no folder when the check came back: the texts stay, unmarked.
        display.show(found(std::nullopt));
        QCOMPARE(view.caption, std::string(texts::statusArrival));
        display.show(found(Status::Arrival));
        QCOMPARE(view.attentionAsked, 1);
        const std::vector<Picture> pictures{Picture::NoAnswer, Picture::Arrival, Picture::NoAnswer, Picture::Arrival};
        QVERIFY(view.pictures == pictures);
        // A new folder stored: its first arrival is news even though the old one was full.
        display.settingChanged();
        QCOMPARE(view.attentionWithdrawn, 1);
        display.show(found(Status::Arrival));
        QCOMPARE(view.attentionAsked, 2);
        // Emptied before the user looked: the request is taken back, once.
        display.show(found(Status::Watching));
        display.show(found(Status::NoFolder));
        QCOMPARE(view.attentionWithdrawn, 2);
    }

    // The folder named and the mark after another folder was set (by hand: the window learns it
    // from the checks): the old folder's status is no news of the new one.
    void noAnswerOfAnotherFolderDropsTheOldStatus()
    {
        RecordingView view;
        monitor::StatusDisplay display(view, "Kelvoran", "kelvoran", nullptr, memory);
        display.show(found(Status::Arrival, "/old"));
        QCOMPARE(view.folderLabel, "/old");
        display.show(noAnswer("/old"));
        QCOMPARE(view.applicationTitle, marked(texts::statusArrival));
        display.show(found(Status::Arrival, "/old"));

        display.show(noAnswer("/new"));
        QCOMPARE(view.applicationTitle, marked("kelvoran"));
        QCOMPARE(view.caption, marked("Kelvoran"));
        QCOMPARE(view.folderLabel, "/new");
        QCOMPARE(view.pictures.back(), Picture::NoAnswer);
        QCOMPARE(view.attentionWithdrawn, 1);
        // The new folder answers full: news, asked for once more.
        display.show(found(Status::Arrival, "/new"));
        QCOMPARE(view.caption, std::string(texts::statusArrival));
        QCOMPARE(view.attentionAsked, 2);

        // The window's setting moved on since: a notice's read names nothing, a check is dropped.
        CheckResult stale = noAnswer("/old");
        stale.generation = 1;
        QVERIFY(monitor::currentOnly(stale, 2)->folder.empty());
        QVERIFY(!monitor::currentOnly(found(Status::Arrival), 2));
        QCOMPARE(monitor::currentOnly(stale, 1)->folder, "/old");
    }
};

QTEST_APPLESS_MAIN(TestStatusDisplay)
#include "TestStatusDisplay.moc"
