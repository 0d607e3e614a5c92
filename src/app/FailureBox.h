#pragma once

#include "common/CodePage.h"

#include <QString>

#include <string>

class QWidget;

namespace app {

// Reports a failure that escaped an event handler: the message with a full stop where it needs
// one, titled with the application title, error icon and one OK button. Owned by the active
// window (else `fallbackOwner`); every other window of the tool is disabled while it is open,
// and the window that was active gets its focus back afterwards.
void showFailureBox(const std::string& message, const QString& applicationTitle, const ansi::CodePage& codePage,
                    QWidget* fallbackOwner);

} // namespace app
