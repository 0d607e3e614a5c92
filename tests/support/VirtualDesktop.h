#pragma once

#include <QProcess>
#include <QStringList>

#include <functional>

// A virtual X server with a small window manager (so that focus, dialogs and minimising behave
// as on a desktop), and the xprop and xdotool calls the end-to-end tests read windows with.
class VirtualDesktop
{
public:
    // Starts Xvfb and openbox; fails the running test when Xvfb, xprop or xdotool is missing.
    void start();
    void stop();

    // The environment for programs shown on this desktop, with no session bus.
    [[nodiscard]] QProcessEnvironment environment() const;

    // Runs a program to its end and returns what it printed, trimmed.
    QString run(const QString& program, const QStringList& arguments) const;
    QString xdotool(const QStringList& arguments) const { return run(QStringLiteral("xdotool"), arguments); }

    // Visible windows found by an xdotool search (such as {"--pid", "123"}) whose window type
    // is `type` (NORMAL or DIALOG).
    [[nodiscard]] QStringList windows(const QStringList& search, const QString& type) const;
    // A property of a window as xprop prints it, the text between its quotes for a text
    // property; empty when the window has no such property.
    [[nodiscard]] QString property(const QString& window, const char* name) const;
    [[nodiscard]] QString focusedWindow() const { return xdotool({QStringLiteral("getwindowfocus")}); }

    // Polls `condition` every 20 ms until it holds; false after `milliseconds`.
    static bool waitFor(const std::function<bool()>& condition, int milliseconds);

private:
    QProcess m_xvfb;
    QProcess m_windowManager;
    QString m_display;
};
