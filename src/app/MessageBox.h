#pragma once

#include "setup/SetupView.h"

#include <QDialog>
#include <QList>

#include <string>

class QPushButton;

namespace app {

class AccessKeyLabel;

// The tool's modal message box: the kind's title and icon, the text wrapped at half the
// screen's width, and one button per set bit in bit order, all of one width. exec() returns the
// closing button's code, 2 when closed by the title bar. Keys: Enter presses the focused
// button, Escape the cancel button, an access-key letter (with or without Alt) its button,
// Ctrl+C beeps and copies the box as text.
class MessageBox : public QDialog
{
    Q_OBJECT

public:
    MessageBox(const std::string& text, setup::MessageKind kind, unsigned buttonSet, const QString& applicationTitle,
               QWidget* parent = nullptr);

    // The box as plain text, as Ctrl+C puts it on the clipboard.
    [[nodiscard]] QString clipboardText() const;

    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct Button
    {
        QPushButton* widget;
        QString caption;
        int result;
    };

    bool handleKey(QKeyEvent* event);
    void press(const Button& button);

    QString m_title;
    QString m_text;
    QList<Button> m_buttons;
    int m_cancelIndex = -1;
};

} // namespace app
