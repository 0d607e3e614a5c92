#include "app/MessageBox.h"

#include "app/AccessKeyLabel.h"
#include "app/Fonts.h"
#include "app/TextCodec.h"
#include "common/BoxLayout.h"
#include "common/BoxText.h"
#include "setup/BoxButtons.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include <vector>

namespace app {

namespace {

QString kindTitle(setup::MessageKind kind, const QString& applicationTitle)
{
    switch (kind) {
    case setup::MessageKind::Warning:
        return QStringLiteral("Warning");
    case setup::MessageKind::Error:
        return QStringLiteral("Error");
    case setup::MessageKind::Information:
        return QStringLiteral("Information");
    case setup::MessageKind::Confirmation:
        return QStringLiteral("Confirm");
    case setup::MessageKind::Custom:
        break;
    }
    return applicationTitle;
}

std::optional<QStyle::StandardPixmap> kindIcon(setup::MessageKind kind)
{
    switch (kind) {
    case setup::MessageKind::Warning:
        return QStyle::SP_MessageBoxWarning;
    case setup::MessageKind::Error:
        return QStyle::SP_MessageBoxCritical;
    case setup::MessageKind::Information:
        return QStyle::SP_MessageBoxInformation;
    case setup::MessageKind::Confirmation:
        return QStyle::SP_MessageBoxQuestion;
    case setup::MessageKind::Custom:
        break;
    }
    return std::nullopt;
}

} // namespace

MessageBox::MessageBox(const std::string& text, setup::MessageKind kind, unsigned buttonSet,
                       const QString& applicationTitle, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_title(kindTitle(kind, applicationTitle)), m_text(toQString(text))
{
    setWindowTitle(m_title);
    setFont(messageFont());

    auto* content = new QHBoxLayout;
    content->setSpacing(layout::box::iconGap);
    if (const auto icon = kindIcon(kind)) {
        auto* iconLabel = new QLabel(this);
        const int extent = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
        iconLabel->setPixmap(style()->standardIcon(*icon, nullptr, this).pixmap(extent, extent));
        iconLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        content->addWidget(iconLabel, 0, Qt::AlignTop);
    }
    auto* textLabel = new AccessKeyLabel(QString(m_text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")), this);
    textLabel->setObjectName(QStringLiteral("text"));
    textLabel->setAutoFillBackground(false);
    const QScreen* screen =
        parent != nullptr && parent->screen() != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
    // Lines break where the text breaks them and wrap at half the screen's width.
    textLabel->setWrapWidth(layout::box::wrapWidth(screen->geometry().width()));
    content->addWidget(textLabel, 1, Qt::AlignTop);

    auto* row = new QHBoxLayout;
    row->addStretch();
    int width = layout::box::minimumButtonWidth;
    const std::vector<setup::BoxButton> buttons = setup::boxButtons(buttonSet);
    for (const setup::BoxButton& info : buttons) {
        auto* button = new QPushButton(toQString(info.caption), this);
        button->setAutoDefault(false);
        button->installEventFilter(this);
        const int result = info.result;
        connect(button, &QPushButton::clicked, this, [this, result] {
            // Help answers without closing the box.
            if (result != setup::results::none)
                done(result);
        });
        m_buttons.append({button, button->text(), result});
        row->addWidget(button);
        width = std::max(width, button->sizeHint().width());
    }
    for (const Button& button : m_buttons)
        button.widget->setFixedWidth(width);
    row->addStretch();

    if (const int index = setup::defaultButtonIndex(buttons); index >= 0)
        m_buttons[index].widget->setDefault(true);
    m_cancelIndex = setup::cancelButtonIndex(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setSpacing(layout::box::textToButtons);
    layout->addLayout(content);
    layout->addLayout(row);
}

QString MessageBox::clipboardText() const
{
    std::vector<std::string> captions;
    for (const Button& button : m_buttons)
        captions.push_back(toBytes(button.caption));
    return toQString(ansi::boxClipboardText(toBytes(m_title), toBytes(m_text), captions));
}

void MessageBox::reject()
{
    // The close button and the system menu answer Cancel's code, whichever buttons are shown.
    done(setup::results::cancel);
}

void MessageBox::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    const QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
    move(screen->geometry().center() - rect().center());
    if (!m_buttons.isEmpty())
        m_buttons.front().widget->setFocus(Qt::OtherFocusReason);
}

void MessageBox::keyPressEvent(QKeyEvent* event)
{
    if (!handleKey(event))
        event->ignore();
}

bool MessageBox::eventFilter(QObject* watched, QEvent* event)
{
    // Keys reach the focused button first; the box answers them itself, by its own rules.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Space && key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab &&
            key->key() != Qt::Key_Left && key->key() != Qt::Key_Right && key->key() != Qt::Key_Up &&
            key->key() != Qt::Key_Down) {
            handleKey(key);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool MessageBox::handleKey(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const int key = event->key();

    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && modifiers == Qt::NoModifier) {
        for (const Button& button : m_buttons) {
            if (button.widget == focusWidget())
                press(button);
        }
        return true;
    }
    if (key == Qt::Key_Escape) {
        if (modifiers == Qt::NoModifier && m_cancelIndex >= 0)
            press(m_buttons[m_cancelIndex]);
        return true;
    }
    if (key == Qt::Key_C && modifiers == Qt::ControlModifier) {
        QApplication::beep();
        QApplication::clipboard()->setText(clipboardText());
        return true;
    }
    if ((modifiers == Qt::NoModifier || modifiers == Qt::AltModifier) && key >= Qt::Key_A && key <= Qt::Key_Z) {
        const QChar letter(key);
        for (const Button& button : m_buttons) {
            if (QChar::fromLatin1(setup::accessKey(toBytes(button.caption))) == letter) {
                press(button);
                return true;
            }
        }
    }
    return false;
}

void MessageBox::press(const Button& button)
{
    button.widget->click();
}

} // namespace app
