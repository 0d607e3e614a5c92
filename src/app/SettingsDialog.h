#pragma once

#include "app/Sound.h"
#include "setup/SettingsDialog.h"

#include <QDialog>

#include <array>
#include <memory>

class QCheckBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace app {

// The modal settings dialog, placed from the design's table and scaled by the message font's
// measured text height. OK keeps it open while any field is refused, each refusal on the line
// beside its field, which goes once the field holds an acceptable value. A reminder's field is
// enabled only while the reminder is on. 再生 that plays nothing says why on the sound file's line.
class SettingsDialog : public QDialog, public setup::SettingsDialogView
{
    Q_OBJECT

public:
    // Plays the sound file through `sound`, the window's own player.
    SettingsDialog(Sound& sound, QWidget* parent);

    [[nodiscard]] std::optional<setup::SettingsFields> editSettings(const setup::SettingsFields& opened) override;

    bool abandon() override;
    void accept() override;
    // Ends the file picker too, when the dialog is ended from outside (the tool closing).
    void done(int result) override;

private:
    void layOut();
    void showFields(const setup::SettingsFields& fields);
    [[nodiscard]] setup::SettingsFields fields() const;
    void enableReminders();
    [[nodiscard]] QLabel* lineOf(setup::RefusedField field) const;
    void edited(setup::RefusedField field);
    void browse();
    void play();

    Sound& m_player;
    setup::SettingsFields m_opened;
    QFileDialog* m_picker = nullptr;
    bool m_browsing = false;

    QCheckBox* m_tray;
    QCheckBox* m_popup;
    QCheckBox* m_sound;
    QLabel* m_soundFileLabel;
    QLineEdit* m_soundFile;
    QPushButton* m_browse;
    QPushButton* m_play;
    QLabel* m_soundFileRefusal;
    QCheckBox* m_startAtLogin;
    QCheckBox* m_closeToTray;
    QCheckBox* m_wait;
    QLineEdit* m_waitMinutes;
    QLabel* m_waitUnit;
    QLabel* m_waitRefusal;
    QCheckBox* m_deadline;
    QLineEdit* m_deadlineTime;
    QLabel* m_deadlineUnit;
    std::array<QCheckBox*, 7> m_days;
    QLabel* m_deadlineRefusal;
    QLabel* m_leftOutLabel;
    QLineEdit* m_leftOut;
    QLabel* m_leftOutRefusal;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    // The outcome of the last 再生, asked for until it is known.
    std::shared_ptr<const Sound::Outcome> m_played;
    QTimer* m_playPoll;
};

} // namespace app
