#include "app/SettingsDialog.h"

#include "app/Fonts.h"
#include "app/Sound.h"
#include "app/TextCodec.h"
#include "common/BoundedCall.h"
#include "common/DialogLayout.h"
#include "common/Texts.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace app {

namespace {

QCheckBox* checkBox(std::string_view text, const char* name, QWidget* parent)
{
    auto* box = new QCheckBox(toQString(text), parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QLabel* label(std::string_view text, const char* name, QWidget* parent)
{
    auto* shown = new QLabel(toQString(text), parent);
    shown->setObjectName(QString::fromLatin1(name));
    shown->setTextFormat(Qt::PlainText);
    return shown;
}

// A refusal's line: empty until OK refuses its field (or 再生 fails), then in red so that it is seen.
QLabel* refusal(const char* name, QWidget* parent)
{
    QLabel* line = label({}, name, parent);
    QPalette palette = line->palette();
    palette.setColor(QPalette::WindowText, Qt::red);
    line->setPalette(palette);
    return line;
}

// The "not arrived" reminder's days, Sunday first.
std::array<QCheckBox*, 7> dayBoxes(QWidget* parent)
{
    std::array<QCheckBox*, 7> days{};
    for (std::size_t day = 0; day < days.size(); ++day) {
        days[day] = new QCheckBox(toQString(texts::weekdays[day]), parent);
        days[day]->setObjectName(QStringLiteral("day%1").arg(day));
    }
    return days;
}

QLineEdit* lineEdit(const char* name, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

QPushButton* button(std::string_view text, const char* name, QWidget* parent)
{
    auto* pushed = new QPushButton(toQString(text), parent);
    pushed->setObjectName(QString::fromLatin1(name));
    return pushed;
}

// The folder of `file` when it answers within a second as one that exists, else the home folder.
// Asked on a thread of its own that owns all it uses, so that a share that stopped answering
// leaves the window answering and the thread to finish whenever it can.
QString startFolder(const QString& file)
{
    const ansi::BoundedCall<QString> folder([file] {
        const QFileInfo info(QFileInfo(file).absolutePath());
        return info.isDir() ? info.absoluteFilePath() : QString();
    });
    QEventLoop wait;
    QTimer poll;
    QElapsedTimer waited;
    waited.start();
    QObject::connect(&poll, &QTimer::timeout, &wait, [&] {
        if (folder.answer() || waited.hasExpired(1000))
            wait.quit();
    });
    poll.start(10);
    wait.exec();
    const QString answered = folder.answer().value_or(QString());
    return answered.isEmpty() ? QDir::homePath() : answered;
}

} // namespace

// Created in the table's order, which is the Tab order.
SettingsDialog::SettingsDialog(Sound& sound, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_player(sound), m_tray(checkBox(texts::settingsTray, "tray", this)),
      m_popup(checkBox(texts::settingsPopup, "popup", this)), m_sound(checkBox(texts::settingsSound, "sound", this)),
      m_soundFileLabel(label(texts::settingsSoundFile, "soundFileLabel", this)),
      m_soundFile(lineEdit("soundFile", this)), m_browse(button(texts::settingsBrowse, "browse", this)),
      m_play(button(texts::settingsPlay, "play", this)), m_soundFileRefusal(refusal("soundFileRefusal", this)),
      m_startAtLogin(checkBox(texts::settingsStartAtLogin, "startAtLogin", this)),
      m_closeToTray(checkBox(texts::settingsCloseToTray, "closeToTray", this)),
      m_wait(checkBox(texts::settingsWait, "wait", this)), m_waitMinutes(lineEdit("waitMinutes", this)),
      m_waitUnit(label(texts::settingsWaitUnit, "waitUnit", this)), m_waitRefusal(refusal("waitRefusal", this)),
      m_deadline(checkBox(texts::settingsDeadline, "deadline", this)), m_deadlineTime(lineEdit("deadlineTime", this)),
      m_deadlineUnit(label(texts::settingsDeadlineUnit, "deadlineUnit", this)), m_days(dayBoxes(this)),
      m_deadlineRefusal(refusal("deadlineRefusal", this)),
      m_leftOutLabel(label(texts::settingsLeftOut, "leftOutLabel", this)), m_leftOut(lineEdit("leftOut", this)),
      m_leftOutRefusal(refusal("leftOutRefusal", this)), m_ok(button(texts::settingsOk, "ok", this)),
      m_cancel(button(texts::settingsCancel, "cancel", this)), m_playPoll(new QTimer(this))
{
    setWindowTitle(toQString(texts::settingsTitle));
    setFont(messageFont());
    // The label's access key focuses the field.
    m_soundFileLabel->setBuddy(m_soundFile);
    m_leftOutLabel->setBuddy(m_leftOut);
    // Enter is OK, except on another button, which it presses; Esc (QDialog's own) is Cancel.
    m_ok->setDefault(true);

    connect(m_browse, &QPushButton::clicked, this, &SettingsDialog::browse);
    connect(m_play, &QPushButton::clicked, this, &SettingsDialog::play);
    connect(m_playPoll, &QTimer::timeout, this, [this] {
        if (!m_played->known())
            return;
        m_playPoll->stop();
        if (const std::optional<setup::PlayFailure> failure = m_played->failure())
            m_soundFileRefusal->setText(toQString(setup::playFailureText(*failure)));
    });
    connect(m_wait, &QCheckBox::toggled, this, &SettingsDialog::enableReminders);
    connect(m_deadline, &QCheckBox::toggled, this, &SettingsDialog::enableReminders);
    // A refusal's line goes as soon as its field is mended.
    const auto editing = [this](setup::RefusedField field) { return [this, field] { edited(field); }; };
    connect(m_soundFile, &QLineEdit::textChanged, this, editing(setup::RefusedField::SoundFile));
    connect(m_wait, &QCheckBox::toggled, this, editing(setup::RefusedField::WaitMinutes));
    connect(m_waitMinutes, &QLineEdit::textChanged, this, editing(setup::RefusedField::WaitMinutes));
    connect(m_deadline, &QCheckBox::toggled, this, editing(setup::RefusedField::Deadline));
    connect(m_deadlineTime, &QLineEdit::textChanged, this, editing(setup::RefusedField::Deadline));
    for (QCheckBox* day : m_days)
        connect(day, &QCheckBox::toggled, this, editing(setup::RefusedField::Deadline));
    connect(m_leftOut, &QLineEdit::textChanged, this, editing(setup::RefusedField::LeftOut));
    connect(m_ok, &QPushButton::clicked, this, &SettingsDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &SettingsDialog::reject);

    layOut();
}

void SettingsDialog::layOut()
{
    // As the main window: every rectangle scaled by the dialog font's measured text height over
    // the design's. The font is the system's, sized for the screen already; measured on a line of
    // the dialog's own, as the Japanese face that draws it may stand taller than the font's own.
    const layout::Scale scale(QFontMetrics(font()).size(Qt::TextShowMnemonic, m_tray->text()).height());
    const auto place = [&](QWidget* widget, const layout::Rect& design) {
        const layout::Rect rect = scale(design);
        widget->setGeometry(rect.left, rect.top, rect.width, rect.height);
    };
    namespace table = layout::dialog;
    place(m_tray, table::tray);
    place(m_popup, table::popup);
    place(m_sound, table::sound);
    place(m_soundFileLabel, table::soundFileLabel);
    place(m_soundFile, table::soundFile);
    place(m_browse, table::browse);
    place(m_play, table::play);
    place(m_soundFileRefusal, table::soundFileRefusal);
    place(m_startAtLogin, table::startAtLogin);
    place(m_closeToTray, table::closeToTray);
    place(m_wait, table::wait);
    place(m_waitMinutes, table::waitMinutes);
    place(m_waitUnit, table::waitUnit);
    place(m_waitRefusal, table::waitRefusal);
    place(m_deadline, table::deadline);
    place(m_deadlineTime, table::deadlineTime);
    place(m_deadlineUnit, table::deadlineUnit);
    for (std::size_t day = 0; day < m_days.size(); ++day)
        place(m_days[day], table::days[day]);
    place(m_deadlineRefusal, table::deadlineRefusal);
    place(m_leftOutLabel, table::leftOutLabel);
    place(m_leftOut, table::leftOut);
    place(m_leftOutRefusal, table::leftOutRefusal);
    place(m_ok, table::ok);
    place(m_cancel, table::cancel);
    const layout::Rect client = scale(table::client);
    setFixedSize(client.width, client.height);
}

std::optional<setup::SettingsFields> SettingsDialog::editSettings(const setup::SettingsFields& opened)
{
    m_opened = opened;
    showFields(opened);
    for (QLabel* line : {m_soundFileRefusal, m_waitRefusal, m_deadlineRefusal, m_leftOutRefusal})
        line->clear();
    m_tray->setFocus(Qt::OtherFocusReason);
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return fields();
}

void SettingsDialog::accept()
{
    for (QLabel* line : {m_soundFileRefusal, m_waitRefusal, m_deadlineRefusal, m_leftOutRefusal})
        line->clear();
    const std::vector<setup::FieldRefusal> refused = setup::checkFields(fields(), m_opened);
    if (refused.empty()) {
        QDialog::accept();
        return;
    }
    for (const setup::FieldRefusal& refusal : refused)
        lineOf(refusal.field)->setText(toQString(refusal.text));
    // The first refused field takes the focus, to be typed over; no day chosen, the first day.
    if (refused.front().text == texts::daysRefused) {
        m_days.front()->setFocus(Qt::OtherFocusReason);
        return;
    }
    QLineEdit* const first = refused.front().field == setup::RefusedField::SoundFile     ? m_soundFile
                             : refused.front().field == setup::RefusedField::WaitMinutes ? m_waitMinutes
                             : refused.front().field == setup::RefusedField::LeftOut     ? m_leftOut
                                                                                         : m_deadlineTime;
    first->setFocus(Qt::OtherFocusReason);
    first->selectAll();
}

bool SettingsDialog::abandon()
{
    done(QDialog::Rejected);
    return false;
}

QLabel* SettingsDialog::lineOf(setup::RefusedField field) const
{
    switch (field) {
    case setup::RefusedField::SoundFile:
        return m_soundFileRefusal;
    case setup::RefusedField::WaitMinutes:
        return m_waitRefusal;
    case setup::RefusedField::LeftOut:
        return m_leftOutRefusal;
    case setup::RefusedField::Deadline:
        break;
    }
    return m_deadlineRefusal;
}

void SettingsDialog::edited(setup::RefusedField field)
{
    QLabel* const line = lineOf(field);
    line->setText(toQString(setup::lineAfterEdit(field, toBytes(line->text()), fields(), m_opened)));
    // What 再生 found no longer holds for another file.
    if (field == setup::RefusedField::SoundFile)
        m_playPoll->stop();
}

void SettingsDialog::play()
{
    // Whatever the sound switch says: the user wants to hear the file. What an earlier 再生 found
    // goes; a refusal of the name stays.
    edited(setup::RefusedField::SoundFile);
    m_played = m_player.play(setup::soundFileOf(toBytes(m_soundFile->text())));
    m_playPoll->start(50);
}

void SettingsDialog::done(int result)
{
    if (m_picker != nullptr)
        m_picker->reject();
    QDialog::done(result);
}

void SettingsDialog::showFields(const setup::SettingsFields& fields)
{
    m_tray->setChecked(fields.tray);
    m_popup->setChecked(fields.popup);
    m_sound->setChecked(fields.sound);
    m_soundFile->setText(toQString(fields.soundFile));
    m_startAtLogin->setChecked(fields.startAtLogin);
    m_closeToTray->setChecked(fields.closeToTray);
    m_wait->setChecked(fields.waitOn);
    m_waitMinutes->setText(toQString(fields.waitMinutes));
    m_deadline->setChecked(fields.deadlineOn);
    m_deadlineTime->setText(toQString(fields.deadline));
    m_leftOut->setText(toQString(fields.leftOut));
    for (std::size_t day = 0; day < m_days.size(); ++day)
        m_days[day]->setChecked((fields.deadlineDays & (1U << day)) != 0);
    enableReminders();
}

setup::SettingsFields SettingsDialog::fields() const
{
    setup::SettingsFields fields;
    fields.tray = m_tray->isChecked();
    fields.popup = m_popup->isChecked();
    fields.sound = m_sound->isChecked();
    fields.soundFile = toBytes(m_soundFile->text());
    fields.startAtLogin = m_startAtLogin->isChecked();
    fields.closeToTray = m_closeToTray->isChecked();
    fields.waitOn = m_wait->isChecked();
    fields.waitMinutes = toBytes(m_waitMinutes->text());
    fields.deadlineOn = m_deadline->isChecked();
    fields.deadline = toBytes(m_deadlineTime->text());
    fields.leftOut = toBytes(m_leftOut->text());
    fields.codePage = m_opened.codePage;
    fields.deadlineDays = 0;
    for (std::size_t day = 0; day < m_days.size(); ++day) {
        if (m_days[day]->isChecked())
            fields.deadlineDays |= 1U << day;
    }
    return fields;
}

void SettingsDialog::enableReminders()
{
    // Switched off, the fields keep their texts for when the reminder is switched on again.
    m_waitMinutes->setEnabled(m_wait->isChecked());
    m_waitUnit->setEnabled(m_wait->isChecked());
    m_deadlineTime->setEnabled(m_deadline->isChecked());
    m_deadlineUnit->setEnabled(m_deadline->isChecked());
    for (QCheckBox* day : m_days)
        day->setEnabled(m_deadline->isChecked());
}

void SettingsDialog::browse()
{
    // The start folder is asked for first, with the dialog answering meanwhile: a second press
    // meanwhile does nothing, and a dialog ended meanwhile opens no picker.
    if (m_browsing)
        return;
    m_browsing = true;
    const QString current = toQString(setup::soundFileOf(toBytes(m_soundFile->text())));
    const QString folder = current.isEmpty() ? QDir::homePath() : startFolder(current);
    m_browsing = false;
    if (!isVisible())
        return;
    // Qt's own dialog, not the desktop's, opened on the folder that answered rather than on one
    // Qt remembers; a share the user then browses into is Qt's to answer.
    QFileDialog picker(this, toQString(texts::soundPickerTitle), folder);
    picker.setOption(QFileDialog::DontUseNativeDialog);
    picker.setFileMode(QFileDialog::ExistingFile);
    picker.setNameFilter(toQString(texts::soundPickerFilter) + QStringLiteral(" (*.wav *.ogg *.oga)"));
    m_picker = &picker;
    const bool chosen = picker.exec() == QDialog::Accepted && !picker.selectedFiles().isEmpty();
    m_picker = nullptr;
    if (chosen)
        m_soundFile->setText(picker.selectedFiles().front());
}

} // namespace app
