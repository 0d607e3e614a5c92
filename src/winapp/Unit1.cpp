#include "winapp/Unit1.h"

#include "common/FormLayout.h"
#include "common/Texts.h"
#include "monitor/ArrivalPoll.h"
#include "setup/ChannelSwitch.h"
#include "setup/FolderSetup.h"
#include "setup/LoginSwitch.h"
#include "setup/SettingsDialog.h"
#include "setup/WaitingSystem.h"
#include "winapp/ApplicationWindow.h"
#include "winapp/Dpi.h"
#include "winapp/FailureBox.h"
#include "winapp/MessageBox.h"
#include "winapp/Resources.h"
#include "winapp/SettingsDialog.h"

#include <windowsx.h>

#include <exception>
#include <stdexcept>
#include <utility>

namespace winapp {

namespace {

constexpr const char* className = "TForm1";
constexpr UINT_PTR timer1Id = 1;
// Carries a finished check's result (a heap CheckResult in lParam) to the window's thread.
constexpr UINT checkDoneMessage = WM_APP + 1;
// Shows the window after a restore from the taskbar, from the window's own message loop.
constexpr UINT showRestoredMessage = WM_APP + 2;
// The notification-area icon's events.
constexpr UINT trayMessage = WM_APP + 3;
// Runs the change command from the window's own message loop.
constexpr UINT changeCommandMessage = WM_APP + 4;
// A folder the shell could not open (a heap std::string in lParam).
constexpr UINT folderNotOpenedMessage = WM_APP + 5;
constexpr int button1Id = 1001;
constexpr int edit1Id = 1002;
constexpr DWORD formStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD formExStyle = WS_EX_CONTROLPARENT;

constexpr const char* tahoma = "Tahoma";
constexpr const char* mincho = "ＭＳ Ｐ明朝";
constexpr COLORREF folderColour = RGB(0, 0, 255);

// The payloads of messages of `message` still queued for `window`: its end would leak them.
template <typename Payload> void dropQueued(HWND window, UINT message)
{
    MSG queued{};
    while (::PeekMessageA(&queued, window, message, message, PM_REMOVE)) {
        // PeekMessage takes a WM_QUIT whatever the filter: the loop still needs it to end.
        if (queued.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(queued.wParam));
            return;
        }
        delete reinterpret_cast<Payload*>(queued.lParam);
    }
}

bool keyDown(int key)
{
    return (::GetKeyState(key) & 0x8000) != 0;
}

int iconOf(monitor::Picture picture)
{
    return picture == monitor::Picture::Arrival      ? KV_ICON_ARRIVAL
           : picture == monitor::Picture::NoFolder   ? KV_ICON_NO_FOLDER
           : picture == monitor::Picture::NoAnswer   ? KV_ICON_NO_ANSWER
           : picture == monitor::Picture::NotArrived ? KV_ICON_NOT_ARRIVED
                                                     : KV_ICON_WATCHING;
}

// Broadcast to the top-level windows when the taskbar is made (again, after Explorer restarted).
UINT taskbarCreatedMessage()
{
    static const UINT message = ::RegisterWindowMessageA("TaskbarCreated");
    return message;
}

void flashWindow(HWND hwnd, DWORD flags)
{
    FLASHWINFO flash{};
    flash.cbSize = sizeof flash;
    flash.hwnd = hwnd;
    flash.dwFlags = flags;
    ::FlashWindowEx(&flash);
}

} // namespace

TForm1::TForm1(std::shared_ptr<platform::System> system, ApplicationWindow& application)
    : m_system(std::move(system)), m_commandWait([this](MSG& message) { dispatch(message); }),
      m_commandSystem(m_system, m_commandWait), m_application(application), m_caption(texts::windowCaption),
      m_tray(*this, trayMessage, m_system->codePage()), m_opener(*this, folderNotOpenedMessage)
{
    registerClass(className, ::GetSysColorBrush(COLOR_ACTIVEBORDER),
                  ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(KV_ICON_APPLICATION)));
    create(formExStyle, className, m_caption.c_str(), formStyle, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
           CW_USEDEFAULT, application.hwnd());

    // In creation order, which is also the tab order: Button1, then Edit1.
    Label1 = createControl("STATIC", std::string(texts::label1).c_str(), SS_LEFTNOWORDWRAP, 0, hwnd(), 0);
    Label2 = createControl("STATIC", std::string(texts::label2).c_str(), SS_LEFTNOWORDWRAP, 0, hwnd(), 0);
    Label3 = createControl("STATIC", std::string(texts::label3).c_str(), SS_LEFTNOWORDWRAP, 0, hwnd(), 0);
    Label4 = createControl("STATIC", std::string(texts::label4).c_str(), SS_LEFTNOWORDWRAP, 0, hwnd(), 0);
    Button1 =
        createControl("BUTTON", std::string(texts::button1).c_str(), BS_PUSHBUTTON | WS_TABSTOP, 0, hwnd(), button1Id);
    Edit1 = createControl("EDIT", "", ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, hwnd(), edit1Id);
    m_commandWait.attach(hwnd(), Button1, Edit1);
    chooseFolder = [this](HWND owner, const std::string& start) { return m_folderPicker.pick(owner, start); };
    const SIZE size = layOut(dpi::ofWindow(hwnd()));
    ::SetWindowPos(hwnd(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // Let through even when the tool runs elevated and Explorer does not.
    if (taskbarCreatedMessage() != 0)
        ::ChangeWindowMessageFilterEx(hwnd(), taskbarCreatedMessage(), MSGFLT_ALLOW, nullptr);

    // Each result is posted to this window's thread; one the window can no longer take is freed.
    m_display = std::make_unique<monitor::StatusDisplay>(*this, m_caption, application.title(), this, m_system);
    m_check = std::make_unique<monitor::BackgroundCheck>(m_system, [window = hwnd()](monitor::CheckResult result) {
        auto* posted = new monitor::CheckResult(std::move(result));
        if (!::PostMessageA(window, checkDoneMessage, 0, reinterpret_cast<LPARAM>(posted)))
            delete posted;
    });

    // Armed from the window's creation on; the first tick comes a second later.
    if (::SetTimer(hwnd(), timer1Id, 1000, nullptr) == 0)
        throw std::runtime_error("SetTimer failed");
    application.setMainWindow(this);
}

layout::Scale TForm1::scaleAt(int dpi) const
{
    // Only the window font is sized for the screen's resolution; every position, size and font
    // is then scaled once, by how far the window font's measured text height is from the design's.
    const Font resolutionFont =
        createFont(tahoma, layout::fontHeightAt(layout::windowFontHeight, dpi), DEFAULT_CHARSET);
    TEXTMETRICA metrics{};
    const WindowDC dc(hwnd());
    const Selection selected(dc.get(), resolutionFont.get());
    ::GetTextMetricsA(dc.get(), &metrics);
    return layout::Scale(metrics.tmHeight);
}

SIZE TForm1::frameSize(const layout::Scale& scale, int dpi)
{
    // The design gives the client area; the frame is the system's.
    const layout::Rect client = scale(layout::client);
    const RECT frame = dpi::frameAround({0, 0, client.width, client.height}, formStyle, formExStyle, dpi);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

SIZE TForm1::layOut(int dpi)
{
    const layout::Scale scale = scaleAt(dpi);
    // The fonts the controls had go once the controls have the new ones.
    Font windowFont = createFont(tahoma, scale.font(layout::windowFontHeight), DEFAULT_CHARSET);
    Font label1Font = createFont(mincho, scale.font(layout::label1FontHeight), SHIFTJIS_CHARSET);
    Font label2Font = createFont(tahoma, scale.font(layout::label2FontHeight), DEFAULT_CHARSET);
    Font label4Font = createFont(tahoma, scale.font(layout::label4FontHeight), DEFAULT_CHARSET);
    std::swap(m_windowFont, windowFont);
    std::swap(m_label1Font, label1Font);
    std::swap(m_label2Font, label2Font);
    std::swap(m_label4Font, label4Font);

    const auto place = [&](HWND control, const layout::Rect& design, HFONT font) {
        const layout::Rect rect = scale(design);
        ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        ::MoveWindow(control, rect.left, rect.top, rect.width, rect.height, FALSE);
    };
    place(Label1, layout::label1, m_label1Font.get());
    place(Label2, layout::label2, m_label2Font.get());
    place(Label3, layout::label3, m_windowFont.get());
    place(Label4, layout::label4, m_label4Font.get());
    place(Button1, layout::button1, m_windowFont.get());
    place(Edit1, layout::edit1, m_windowFont.get());
    for (const auto& [label, font] : {std::pair{Label1, m_label1Font.get()}, std::pair{Label2, m_label2Font.get()},
                                      std::pair{Label3, m_windowFont.get()}, std::pair{Label4, m_label4Font.get()}})
        sizeLabel(label, font);
    return frameSize(scale, dpi);
}

void TForm1::sizeLabel(HWND label, HFONT font)
{
    // Labels fit their text on one line; a long one runs past the window's edge and is cut there.
    const SIZE extent = singleLineExtent(label, font, windowText(label));
    ::SetWindowPos(label, nullptr, 0, 0, extent.cx, extent.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(hwnd(), nullptr, TRUE);
}

void TForm1::setCaption(const std::string& text)
{
    if (text == m_caption)
        return;
    m_caption = text;
    ::SetWindowTextA(hwnd(), m_caption.c_str());
}

void TForm1::setApplicationTitle(const std::string& text)
{
    m_application.setTitle(text);
}

void TForm1::showPicture(monitor::Picture picture)
{
    // The taskbar button's icon shows the status too, for task bars that show icons only; the
    // title bar's icon follows it, and the taskbar's overlay with the text shown.
    const int icon = iconOf(picture);
    m_application.setIcon(icon);
    setIcon(icon);
    m_application.overlay().show(icon, m_caption);
}

void TForm1::showTrayIcon(monitor::Picture picture, bool paused, const std::string& tooltip)
{
    m_tray.show(iconOf(picture), tooltip, paused);
}

void TForm1::hideTrayIcon()
{
    m_tray.hide();
    // Hidden behind the icon, nothing but a second start would bring the window back.
    if (m_inTray)
        bringForward();
}

void TForm1::showNotice(const monitor::Notice& notice)
{
    // The balloon of the icon. Windows shows each balloon given as a new popup (a toast from
    // Windows 10 on), even in place of the one shown: a count that changes is left to the tooltip.
    if (!notice.fresh)
        return;
    const int picture = notice.kind == monitor::NoticeKind::Lost         ? KV_ICON_NO_FOLDER
                        : notice.kind == monitor::NoticeKind::NoAnswer   ? KV_ICON_NO_ANSWER
                        : notice.kind == monitor::NoticeKind::NotArrived ? KV_ICON_NOT_ARRIVED
                                                                         : KV_ICON_ARRIVAL;
    m_tray.showBalloon(picture, notice.title, notice.text);
}

void TForm1::withdrawNotice()
{
    m_tray.withdrawBalloon();
}

void TForm1::showFailureNotice(const std::string& title, const std::string& text, const std::string& boxText)
{
    // The icon's one balloon: it takes the arrival's place until the next news. With no taskbar
    // to show it, the box tells.
    if (!m_tray.showBalloon(KV_ICON_APPLICATION, title, text, true))
        showErrorBox(boxText);
}

void TForm1::showErrorBox(const std::string& text)
{
    showMessageBox(text, setup::MessageKind::Error, setup::buttons::yes);
}

void TForm1::playSound(const std::string& file)
{
    m_sound.play(file);
}

bool TForm1::windowActive() const
{
    return ::GetForegroundWindow() == hwnd();
}

void TForm1::askForAttention()
{
    // Only when the user is looking elsewhere; a window hidden in the tray has no button to flash.
    if (::GetForegroundWindow() != hwnd() && !m_inTray)
        flashTaskbarButton(m_application.hwnd());
}

void TForm1::withdrawAttention()
{
    stopFlashing(m_application.hwnd());
}

void TForm1::showFolder(const std::string& folder)
{
    // The window names the folder the status is of, also after the file was edited by hand.
    if (windowText(Label2) != folder)
        setFolderLabel(folder);
}

void TForm1::flashUntilActivated(HWND taskbarWindow)
{
    // FLASHW_TIMERNOFG alone would flash for ever: the taskbar button's window never stays in
    // the foreground, activation goes on to the main window, whose activation stops it.
    flashWindow(taskbarWindow, FLASHW_TRAY | FLASHW_TIMERNOFG);
}

void TForm1::stopFlashingNow(HWND taskbarWindow)
{
    flashWindow(taskbarWindow, FLASHW_STOP);
}

std::string TForm1::entryText()
{
    return windowText(Edit1);
}

void TForm1::setFolderLabel(const std::string& text)
{
    ::SetWindowTextA(Label2, text.c_str());
    sizeLabel(Label2, m_label2Font.get());
}

int TForm1::showMessageBox(const std::string& text, setup::MessageKind kind, unsigned buttonSet)
{
    auto box = std::make_unique<MessageBoxWindow>(text, kind, buttonSet, m_application.title());
    // The box answered before goes once this one has the keyboard.
    const int result = box->run(hwnd(), [this] { m_commandWait.dropAnswered(); });
    const bool quitting = box->endedByQuitting();
    // Kept only for a command's next box; one shown outside a command goes now.
    if (m_commands.running())
        m_commandWait.keepAnswered(std::move(box));
    box.reset();
    // A box ended by the tool's quitting is no answer: the command ends with no change. A close
    // request sent to every window (taskkill without /F, the end of the session) reaches the box
    // too, which tells it from the user's close; the one waiting for the main window tells it too.
    MSG pending{};
    const bool closeWaiting =
        ::IsWindow(hwnd()) && (::PeekMessageA(&pending, hwnd(), WM_CLOSE, WM_CLOSE, PM_NOREMOVE) ||
                               ::PeekMessageA(&pending, m_application.hwnd(), WM_CLOSE, WM_CLOSE, PM_NOREMOVE));
    if (quitting || closeWaiting || !::IsWindow(hwnd()))
        throw setup::CommandAbandoned();
    return result;
}

void TForm1::folderStored()
{
    // From here on a check may have read the old setting: it is not shown.
    ++m_generation;
    m_display->settingChanged();
}

void TForm1::FormShow()
{
    runGuarded([this] { setup::displayRoutine(m_commandSystem, *this); });
}

template <typename Command> bool TForm1::runCommand(Command&& command)
{
    // While one waits for the disk, no other starts.
    const bool ran = m_commands.run([&] { runGuarded(command); });
    m_commandWait.dropAnswered();
    return ran;
}

TForm1::~TForm1()
{
    // A store the closed window stopped waiting for is let finish: cut off by the process's end,
    // it could leave the settings file half replaced.
    m_commandSystem.finishWrites(10000);
}

void TForm1::Button1Click()
{
    // One command at a time: a click or key while one waits for the disk is let go.
    if (m_commands.running() || m_changePosted)
        return;
    m_changePosted = ::PostMessageA(hwnd(), changeCommandMessage, 0, 0) != FALSE;
}

void TForm1::runChangeCommand()
{
    m_changePosted = false;
    runCommand([this] { setup::changeCommand(m_commandSystem, *this); });
}

void TForm1::Timer1Timer()
{
    // The settings read and the listing run off this thread, so that a folder that stops
    // answering never freezes the window; the status keeps its last text meanwhile.
    if (m_sessionEnded)
        return;
    m_check->request(m_generation);
    runGuarded([this] { m_display->tick(); });
    // The taskbar's monitor may change its resolution while this window, on another one or
    // hidden, is told nothing.
    m_tray.resolutionChanged();
}

void TForm1::checkDone(const monitor::CheckResult& result)
{
    // A check started before the last store may have read the old setting. None is shown once
    // the session ends: a modal left open keeps the window a while, and the icon is gone.
    if (m_sessionEnded)
        return;
    const std::optional<monitor::CheckResult> current = monitor::currentOnly(result, m_generation);
    if (!current)
        return;
    // The menu's switches and the folder it opens are those of the newest settings read (a
    // notice names none when no read has answered yet).
    if (!current->failure && !(current->noAnswer && current->folder.empty())) {
        m_folder = current->folder;
        m_switches = current->channels;
    }
    runGuarded([&] { m_display->show(*current); });
}

void TForm1::dispatch(MSG& message)
{
    if (preTranslate(message) || ::IsDialogMessageW(hwnd(), &message))
        return;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
}

template <typename Handler> void TForm1::runGuarded(Handler&& handler)
{
    // An exception must not cross the system's window procedure: the handler ends, the user is
    // told, the tool runs on.
    try {
        handler();
    } catch (const setup::CommandAbandoned&) {
        // The window closed while the command waited: nothing to tell.
    } catch (const std::exception& failure) {
        winapp::showFailureBox(failure.what(), m_application.title(), m_system->codePage(), m_application.hwnd());
    }
}

void TForm1::runDisplayRoutineOnce()
{
    // Restoring after a minimise shows the window again; the routine must not run again.
    if (m_displayRoutineRan)
        return;
    m_displayRoutineRan = true;
    runCommand([this] { setup::displayRoutine(m_commandSystem, *this); });
}

void TForm1::showFirst(int showCommand)
{
    if (showCommand == platform::showCommands::minimisedNoActivate) {
        ::ShowWindow(m_application.hwnd(), SW_SHOWMINNOACTIVE);
        return;
    }
    // The taskbar button first, then the display routine, and only then the window itself, so
    // that a warning comes up before the window. SetWindowPos, not ShowWindow: the first
    // ShowWindow of a process takes the start-up show command, which is the main window's.
    ::SetWindowPos(m_application.hwnd(), nullptr, 0, 0, 0, 0,
                   SWP_SHOWWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    runDisplayRoutineOnce();
    ::ShowWindow(hwnd(), showCommand == platform::showCommands::maximised ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    ::SetForegroundWindow(hwnd());
}

void TForm1::restoreFromApplication()
{
    // Posted, not shown here: the restore is handled inside the taskbar's request, which under
    // Wine is part of the X event it came with, and a warning box's loop run inside it would get
    // no key and no click until that handling ended.
    ::PostMessageA(hwnd(), showRestoredMessage, 0, 0);
}

void TForm1::showRestored()
{
    // Minimised again while the restore waited: only the taskbar button stays.
    if (::IsWindowVisible(hwnd()) || ::IsIconic(m_application.hwnd()))
        return;
    // The display routine waits for the command under way (a menu switch of a tool started
    // minimised): the restore is taken up again, from the window's own loop, once it has ended.
    if (!m_displayRoutineRan && m_commands.running()) {
        m_commands.runWhenFree([this] { ::PostMessageA(hwnd(), showRestoredMessage, 0, 0); });
        return;
    }
    runDisplayRoutineOnce();
    // Back from the notification area: the taskbar button first, as at the start.
    if (std::exchange(m_inTray, false))
        ::SetWindowPos(m_application.hwnd(), nullptr, 0, 0, 0, 0,
                       SWP_SHOWWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(hwnd(), SW_SHOW);
    activate();
}

void TForm1::activate()
{
    // While a dialog or a box has the window disabled, that one comes forward: a disabled window
    // must not be activated. Asked of the owner at the root, which every popup of the tool has
    // (the failure box is the application window's own).
    const HWND popup = ::GetLastActivePopup(m_application.hwnd());
    ::SetForegroundWindow(::IsWindowEnabled(hwnd()) || popup == nullptr || !::IsWindowEnabled(popup) ? hwnd() : popup);
}

void TForm1::trayEvent(UINT event, WPARAM anchor)
{
    switch (event) {
    case NIN_SELECT:
    case NIN_KEYSELECT:
    case WM_LBUTTONUP:
        bringForward();
        break;
    case NIN_BALLOONUSERCLICK:
        m_tray.balloonDismissed();
        bringForward();
        break;
    case NIN_BALLOONTIMEOUT:
        m_tray.balloonDismissed();
        break;
    case WM_CONTEXTMENU:
        // Version 4 gives the point the menu belongs at in wParam.
        showMenu({GET_X_LPARAM(anchor), GET_Y_LPARAM(anchor)});
        break;
    default:
        break;
    }
}

void TForm1::bringForward()
{
    // Minimised, the application is restored as from its taskbar button, and the window follows.
    if (::IsIconic(m_application.hwnd()))
        ::SendMessageA(m_application.hwnd(), WM_SYSCOMMAND, SC_RESTORE, 0);
    else if (!::IsWindowVisible(hwnd()))
        restoreFromApplication();
    else
        activate();
}

void TForm1::showMenu(POINT at)
{
    // One command at a time: while the change command waits, the menu does not open. The
    // Startup folder is read as the menu opens, through the waiting system like every disk call.
    m_menuArrivals = m_display->todaysArrivals();
    m_menuArrivalsFolder = m_display->todaysFolder();
    if (!m_changePosted)
        runCommand([&] {
            carryOut(chooseFromMenu(hwnd(), at, m_switches, setup::startsAtLogin(m_commandSystem), m_menuArrivals,
                                    m_display->paused()));
        });
    // The picked folder goes the button's way, now that the menu's command has let the gate go.
    if (std::exchange(m_folderPicked, false))
        Button1Click();
}

void TForm1::carryOut(MenuChoice choice)
{
    if (const std::optional<std::size_t> index = todaysArrivalIndex(choice); index && *index < m_menuArrivals.size()) {
        m_opener.showEntry(m_menuArrivalsFolder, m_menuArrivals[*index].name);
        return;
    }
    switch (choice) {
    case MenuChoice::OpenFolder:
        // A folder that is not there is what the window already says.
        if (!m_folder.empty())
            m_opener.open(m_folder);
        break;
    case MenuChoice::Popup:
    case MenuChoice::Sound: {
        const settings::Switch which = choice == MenuChoice::Popup ? settings::Switch::Popup : settings::Switch::Sound;
        if (const std::optional<bool> on = setup::toggleSwitch(m_commandSystem, *this, which)) {
            settings::switchIn(m_switches, which) = *on;
            // A check that read the switches before the store must not put the old one back.
            ++m_generation;
        }
        break;
    }
    case MenuChoice::StartAtLogin:
        // Read again as the menu next opens: nothing to keep here.
        static_cast<void>(setup::toggleStartAtLogin(m_commandSystem, *this));
        break;
    case MenuChoice::Settings: {
        SettingsDialog dialog(hwnd(), m_sound);
        if (settingsDialogShown)
            dialog.shown = settingsDialogShown;
        // A close asked for while the file picker was open comes back once the picker is gone.
        const auto ended = [&] {
            if (m_settings.closeWaits())
                ::PostMessageA(hwnd(), WM_CLOSE, 0, 0);
        };
        std::optional<setup::StoredSettings> stored;
        try {
            stored = m_settings.run(m_commandSystem, *this, dialog);
        } catch (...) {
            ended();
            throw;
        }
        ended();
        if (stored)
            m_switches = stored->switches;
        break;
    }
    case MenuChoice::PickFolder: {
        // Started in the folder now set when it answers as one; the shell wants a full path.
        const std::string start = setup::pickerStartFolder(m_system, m_folder, m_commandWait);
        const std::string chosen = chooseFolder(hwnd(), start.empty() ? start : m_system->fullPathName(start));
        // A close asked for while the picker was open comes back once the picker is gone.
        if (m_closeAfterFolderPicker) {
            m_closeAfterFolderPicker = false;
            ::PostMessageA(hwnd(), WM_CLOSE, 0, 0);
        } else if (!chosen.empty() && ::IsWindow(hwnd())) {
            ::SetWindowTextA(Edit1, chosen.c_str());
            m_folderPicked = true;
        }
        break;
    }
    case MenuChoice::PauseHour:
    case MenuChoice::PauseToDayEnd:
        m_display->pause(choice == MenuChoice::PauseHour ? monitor::PauseLength::Hour : monitor::PauseLength::ToDayEnd);
        break;
    case MenuChoice::Resume:
        m_display->resume();
        break;
    case MenuChoice::Exit:
        m_ending = true;
        ::PostMessageA(hwnd(), WM_CLOSE, 0, 0);
        break;
    case MenuChoice::None:
    case MenuChoice::TodaysArrival:
        break;
    }
}

void TForm1::closeAfterPicker()
{
    // The shell's file picker owns windows inside its own loop: it is closed, and this window goes
    // once the loop has returned and the command has ended, from the request posted again then.
    if (m_folderPicker.close())
        m_closeAfterFolderPicker = true;
    else if (!m_settings.close())
        ::DestroyWindow(hwnd());
}

void TForm1::closeAsked()
{
    const setup::CloseAction action =
        m_closeRule.close({m_switches.closeToTray, m_tray.wanted(), m_tray.added(), m_ending});
    if (action == setup::CloseAction::End) {
        // Ending from here on: the close posted again after the file picker ends it too.
        m_ending = true;
        closeAfterPicker();
        return;
    }
    // The window and its taskbar button go; the watch goes on, and the icon brings it back.
    m_inTray = true;
    ::ShowWindow(hwnd(), SW_HIDE);
    ::ShowWindow(m_application.hwnd(), SW_HIDE);
    if (action == setup::CloseAction::HideAndTell)
        m_tray.showBalloon(KV_ICON_WATCHING, m_application.title(), std::string(texts::closedToTray), true);
}

bool TForm1::preTranslate(const MSG& message)
{
    if (message.message != WM_KEYDOWN || (message.hwnd != hwnd() && !::IsChild(hwnd(), message.hwnd)))
        return false;
    if (message.wParam == VK_ESCAPE)
        return true;
    if (message.wParam != VK_RETURN)
        return false;
    if (::GetFocus() == Button1 && !keyDown(VK_SHIFT) && !keyDown(VK_CONTROL) && !keyDown(VK_MENU))
        Button1Click();
    return true;
}

LRESULT TForm1::onMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == taskbarCreatedMessage() && message != 0) {
        m_tray.taskbarCreated();
        // An icon the new taskbar did not take can bring nothing back.
        if (m_inTray && !m_tray.added())
            bringForward();
        return 0;
    }
    switch (message) {
    case trayMessage:
        trayEvent(LOWORD(lParam), wParam);
        return 0;
    case WM_CONTEXTMENU: {
        // In the client area, or from the keyboard (-1, -1): the menu at the window's corner.
        POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (at.x == -1 && at.y == -1) {
            at = {0, 0};
            ::ClientToScreen(hwnd(), &at);
        } else {
            POINT client = at;
            RECT area{};
            ::ScreenToClient(hwnd(), &client);
            ::GetClientRect(hwnd(), &area);
            if (!::PtInRect(&area, client))
                break;
        }
        showMenu(at);
        return 0;
    }
    case checkDoneMessage: {
        const std::unique_ptr<monitor::CheckResult> result(reinterpret_cast<monitor::CheckResult*>(lParam));
        checkDone(*result);
        return 0;
    }
    case showRestoredMessage:
        showRestored();
        return 0;
    case changeCommandMessage:
        runChangeCommand();
        return 0;
    case folderNotOpenedMessage: {
        // Why, on a line after the folder, when the system says.
        const std::unique_ptr<std::string> folder(reinterpret_cast<std::string*>(lParam));
        // After the session's end the icon is gone, and a balloon would bring it back.
        if (m_sessionEnded)
            return 0;
        const std::string reason = wParam == 0 ? std::string() : m_system->errorText(static_cast<int>(wParam));
        runGuarded([&] {
            monitor::tellFolderNotOpened(*this, reason.empty() ? *folder : *folder + "\r\n" + reason, m_switches.popup);
        });
        return 0;
    }
    case dpi::scaledSizeMessage:
        return dpi::answerScaledSize(wParam, lParam,
                                     [&](int resolution) { return frameSize(scaleAt(resolution), resolution); });
    case WM_DPICHANGED:
        runGuarded([&] {
            // On a monitor of another resolution: laid out anew from the same table.
            dpi::moveToSuggested(hwnd(), wParam, lParam, [&](int resolution) { return layOut(resolution); });
            // The taskbar's monitor may have changed its resolution too.
            m_tray.resolutionChanged();
        });
        return 0;
    case WM_TIMER:
        if (wParam == timer1Id) {
            Timer1Timer();
            return 0;
        }
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == button1Id && HIWORD(wParam) == BN_CLICKED)
            Button1Click();
        return 0;
    case WM_CTLCOLORSTATIC: {
        // Labels are opaque in the window's colour; Label2 is blue, Label4 the menu highlight.
        const auto dc = reinterpret_cast<HDC>(wParam);
        const auto label = reinterpret_cast<HWND>(lParam);
        ::SetBkColor(dc, ::GetSysColor(COLOR_ACTIVEBORDER));
        ::SetTextColor(dc, label == Label2   ? folderColour
                           : label == Label4 ? ::GetSysColor(COLOR_MENUHILIGHT)
                                             : ::GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_ACTIVEBORDER));
    }
    case WM_ACTIVATE:
        m_commandWait.activated(LOWORD(wParam) != WA_INACTIVE);
        // The user is looking: an arrival's flashing ends.
        if (LOWORD(wParam) != WA_INACTIVE)
            stopFlashing(m_application.hwnd());
        return 0;
    case WM_SYSCOMMAND:
        // Minimising the main window minimises the application: only the taskbar button stays.
        if ((wParam & 0xFFF0) == SC_MINIMIZE) {
            m_application.minimise();
            return 0;
        }
        break;
    case WM_CLOSE:
        closeAsked();
        return 0;
    case WM_ENDSESSION:
        // The process may be cut off as soon as this returns: the tool ends here as 終了 ends it.
        // The icon and its balloon go first and no tick or check brings them back, the claim is let go, a
        // settings store under way is let finish within the time Windows gives, and the command
        // waiting for it starts no other.
        if (wParam != FALSE) {
            m_ending = true;
            m_sessionEnded = true;
            ::KillTimer(hwnd(), timer1Id);
            m_tray.remove();
            if (sessionEnding)
                sessionEnding();
            m_commandSystem.finishWrites(4000);
            closeAfterPicker();
        }
        return 0;
    case WM_DESTROY:
        ::KillTimer(hwnd(), timer1Id);
        m_tray.remove();
        ::PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        dropQueued<monitor::CheckResult>(hwnd(), checkDoneMessage);
        dropQueued<std::string>(hwnd(), folderNotOpenedMessage);
        break;
    default:
        break;
    }
    return defaultProcedure(message, wParam, lParam);
}

} // namespace winapp
