#include "app/FailureBox.h"

#include "app/Fonts.h"
#include "app/TextCodec.h"
#include "common/BoxText.h"
#include "common/ByteText.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace app {

namespace {

// The platform's failure box: Ctrl+C copies it in the same form as the tool's own boxes.
class FailureMessageBox final : public QMessageBox
{
public:
    FailureMessageBox(const QString& title, const std::string& message, QWidget* owner)
        : QMessageBox(QMessageBox::Critical, title, toQString(message), QMessageBox::Ok, owner)
    {
        setObjectName(QStringLiteral("FailureBox"));
        setFont(messageFont());
        // A path in the message is text, never markup.
        setTextFormat(Qt::PlainText);
        setWindowModality(Qt::ApplicationModal);
        // Some styles put an icon on dialog buttons; the system's box has a plain OK.
        button(QMessageBox::Ok)->setIcon(QIcon());
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        const auto modifiers = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
        if (event->key() == Qt::Key_C && modifiers == Qt::ControlModifier) {
            QApplication::beep();
            QApplication::clipboard()->setText(
                toQString(ansi::boxClipboardText(toBytes(windowTitle()), toBytes(text()), {"OK"})));
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
};

} // namespace

void showFailureBox(const std::string& message, const QString& applicationTitle, const ansi::CodePage& codePage,
                    QWidget* fallbackOwner)
{
    const QPointer<QWidget> active = QApplication::activeWindow();
    const QPointer<QWidget> focused = QApplication::focusWidget();
    QWidget* owner = active ? active.data() : fallbackOwner;

    FailureMessageBox box(applicationTitle, ansi::withFullStop(message, codePage), owner);
    box.exec();

    if (active)
        active->activateWindow();
    if (focused)
        focused->setFocus(Qt::OtherFocusReason);
}

} // namespace app
