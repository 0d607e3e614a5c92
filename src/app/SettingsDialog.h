#pragma once

#include "setup/SettingsDialog.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QPushButton;

namespace app {

class Sound;

// The modal settings dialog, placed from the design's table and scaled by the message font's
// measured text height. OK keeps it open while any field is refused, each refusal on the line
// beside its field. A reminder's field is enabled only while the reminder is on.
class SettingsDialog : public QDialog, public setup::SettingsDialogView
{
    Q_OBJECT

public:
    // Plays the sound file through `sound`, the window's own player.
    SettingsDialog(Sound& sound, QWidget* parent);

    [[nodiscard]] std::optional<setup::SettingsFields> editSettings(const setup::SettingsFields& opened) override;

    void accept() override;
    // Ends the file picker too, when the dialog is ended from outside (the tool closing).
    void done(int result) override;

private:
    void layOut();
    void showFields(const setup::SettingsFields& fields);
    [[nodiscard]] setup::SettingsFields fields() const;
    void enableReminders();
    void browse();

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
    QCheckBox* m_wait;
    QLineEdit* m_waitMinutes;
    QLabel* m_waitUnit;
    QLabel* m_waitRefusal;
    QCheckBox* m_deadline;
    QLineEdit* m_deadlineTime;
    QLabel* m_deadlineUnit;
    std::array<QCheckBox*, 7> m_days;
    QLabel* m_deadlineRefusal;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};

} // namespace app
