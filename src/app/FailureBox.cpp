#include "app/FailureBox.h"

#include "app/TextCodec.h"
#include "common/ByteText.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

namespace app {

void showFailureBox(const std::string& message, const QString& applicationTitle, const ansi::CodePage& codePage,
                    QWidget* fallbackOwner)
{
    const QPointer<QWidget> active = QApplication::activeWindow();
    const QPointer<QWidget> focused = QApplication::focusWidget();
    QWidget* owner = active ? active.data() : fallbackOwner;

    QMessageBox box(QMessageBox::Critical, applicationTitle, toQString(ansi::withFullStop(message, codePage)),
                    QMessageBox::Ok, owner);
    box.setObjectName(QStringLiteral("FailureBox"));
    // A path in the message is text, never markup.
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();

    if (active)
        active->activateWindow();
    if (focused)
        focused->setFocus(Qt::OtherFocusReason);
}

} // namespace app
