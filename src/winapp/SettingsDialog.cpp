#include "winapp/SettingsDialog.h"

#include "common/DialogLayout.h"
#include "common/Texts.h"
#include "platform/win32/ComScope.h"
#include "platform/win32/WideText.h"
#include "winapp/ComPointer.h"
#include "winapp/Dpi.h"
#include "winapp/ModalScope.h"

#include <objbase.h>
#include <shobjidl.h>

#include <algorithm>
#include <exception>
#include <string_view>
#include <utility>

namespace winapp {

namespace {

constexpr const char* className = "KelvoranSettings";
constexpr DWORD dialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DWORD dialogExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
constexpr DWORD checkBox = BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD entry = ES_AUTOHSCROLL | WS_TABSTOP;
constexpr DWORD label = SS_LEFTNOWORDWRAP;
constexpr DWORD line = SS_LEFTNOWORDWRAP | SS_NOPREFIX;
constexpr COLORREF refusalColour = RGB(192, 0, 0);

struct Control
{
    int id;
    const char* className;
    std::string_view text;
    DWORD style;
    const layout::Rect& rect;
};

// Created in this order, which is the Tab order.
const std::array<Control, 21> controls{{
    {settingsIds::tray, "BUTTON", texts::settingsTray, checkBox | WS_GROUP, layout::dialog::tray},
    {settingsIds::popup, "BUTTON", texts::settingsPopup, checkBox, layout::dialog::popup},
    {settingsIds::sound, "BUTTON", texts::settingsSound, checkBox, layout::dialog::sound},
    {settingsIds::soundFileLabel, "STATIC", texts::settingsSoundFile, label | WS_GROUP, layout::dialog::soundFileLabel},
    {settingsIds::soundFile, "EDIT", {}, entry, layout::dialog::soundFile},
    {settingsIds::browse, "BUTTON", texts::settingsBrowse, BS_PUSHBUTTON | WS_TABSTOP, layout::dialog::browse},
    {settingsIds::play, "BUTTON", texts::settingsPlay, BS_PUSHBUTTON | WS_TABSTOP, layout::dialog::play},
    {settingsIds::soundFileRefusal, "STATIC", {}, line, layout::dialog::soundFileRefusal},
    {settingsIds::startAtLogin, "BUTTON", texts::settingsStartAtLogin, checkBox | WS_GROUP,
     layout::dialog::startAtLogin},
    {settingsIds::closeToTray, "BUTTON", texts::settingsCloseToTray, checkBox, layout::dialog::closeToTray},
    {settingsIds::wait, "BUTTON", texts::settingsWait, checkBox | WS_GROUP, layout::dialog::wait},
    // Digits only; the check still refuses 0 and what is over a day.
    {settingsIds::waitMinutes, "EDIT", {}, entry | ES_NUMBER, layout::dialog::waitMinutes},
    {settingsIds::waitUnit, "STATIC", texts::settingsWaitUnit, line, layout::dialog::waitUnit},
    {settingsIds::waitRefusal, "STATIC", {}, line, layout::dialog::waitRefusal},
    {settingsIds::deadline, "BUTTON", texts::settingsDeadline, checkBox | WS_GROUP, layout::dialog::deadline},
    {settingsIds::deadlineTime, "EDIT", {}, entry, layout::dialog::deadlineTime},
    {settingsIds::deadlineUnit, "STATIC", texts::settingsDeadlineUnit, line, layout::dialog::deadlineUnit},
    {settingsIds::deadlineRefusal, "STATIC", {}, line, layout::dialog::deadlineRefusal},
    {settingsIds::leftOutLabel, "STATIC", texts::settingsLeftOut, label | WS_GROUP, layout::dialog::leftOutLabel},
    {settingsIds::leftOut, "EDIT", {}, entry, layout::dialog::leftOut},
    {settingsIds::leftOutRefusal, "STATIC", {}, line, layout::dialog::leftOutRefusal},
}};

int refusalLine(setup::RefusedField field)
{
    switch (field) {
    case setup::RefusedField::SoundFile:
        return settingsIds::soundFileRefusal;
    case setup::RefusedField::WaitMinutes:
        return settingsIds::waitRefusal;
    case setup::RefusedField::LeftOut:
        return settingsIds::leftOutRefusal;
    case setup::RefusedField::Deadline:
        break;
    }
    return settingsIds::deadlineRefusal;
}

// The field a refusal's line stands beside, which takes the focus.
int refusedField(setup::RefusedField field)
{
    switch (field) {
    case setup::RefusedField::SoundFile:
        return settingsIds::soundFile;
    case setup::RefusedField::WaitMinutes:
        return settingsIds::waitMinutes;
    case setup::RefusedField::LeftOut:
        return settingsIds::leftOut;
    case setup::RefusedField::Deadline:
        break;
    }
    return settingsIds::deadlineTime;
}

} // namespace

SettingsDialog::SettingsDialog(HWND owner, const Sound& sound) : m_owner(owner), m_sound(sound) {}

void SettingsDialog::build()
{
    registerClass(className, nullptr, nullptr, "#32770");
    create(dialogExStyle, className, std::string(texts::settingsTitle).c_str(), dialogStyle, 0, 0, 0, 0, m_owner);
    const auto place = [&](const char* kind, std::string_view text, DWORD style, DWORD exStyle, int id) {
        createControl(kind, std::string(text).c_str(), style, exStyle, hwnd(), id);
    };
    for (const Control& control : controls) {
        place(control.className, control.text, control.style,
              std::string_view(control.className) == "EDIT" ? WS_EX_CLIENTEDGE : 0, control.id);
        // The days follow the time, before the reminder's refusal line.
        if (control.id == settingsIds::deadlineUnit) {
            for (std::size_t day = 0; day < texts::weekdays.size(); ++day)
                place("BUTTON", texts::weekdays[day], day == 0 ? checkBox | WS_GROUP : checkBox, 0,
                      settingsIds::firstDay + static_cast<int>(day));
        }
    }
    place("BUTTON", texts::settingsOk, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 0, IDOK);
    place("BUTTON", texts::settingsCancel, BS_PUSHBUTTON | WS_TABSTOP, 0, IDCANCEL);
    ::SendMessageA(hwnd(), DM_SETDEFID, IDOK, 0);
    ::SendMessageA(item(settingsIds::waitMinutes), EM_LIMITTEXT, 4, 0);
    ::SendMessageA(item(settingsIds::deadlineTime), EM_LIMITTEXT, 5, 0);

    // Centred in the work area of the owner's monitor, and kept inside it: its top left stays
    // reachable when the dialog is the larger.
    const SIZE frame = layOut(dpi::ofWindow(m_owner != nullptr ? m_owner : hwnd()), true);
    const int width = frame.cx;
    const int height = frame.cy;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!::GetMonitorInfoA(::MonitorFromWindow(m_owner, MONITOR_DEFAULTTOPRIMARY), &monitor))
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &monitor.rcWork, 0);
    const RECT& area = monitor.rcWork;
    const auto within = [](LONG low, LONG high, int size) {
        return std::max<int>(low, std::min<int>(high - size, (low + high - size) / 2));
    };
    ::SetWindowPos(hwnd(), nullptr, within(area.left, area.right, width), within(area.top, area.bottom, height), width,
                   height, SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE SettingsDialog::layOut(int dpi, bool apply)
{
    Font font = messageFont(dpi);
    // Positions and sizes follow the message font, so that the dialog grows with the system's
    // text size and resolution as the main window grows with its own font.
    TEXTMETRICA metrics{};
    {
        const WindowDC dc(hwnd());
        const Selection selected(dc.get(), font.get());
        ::GetTextMetricsA(dc.get(), &metrics);
    }
    const layout::Scale scale(metrics.tmHeight);
    const layout::Rect client = scale(layout::dialog::client);
    const RECT frame = dpi::frameAround({0, 0, client.width, client.height}, dialogStyle, dialogExStyle, dpi);
    if (!apply)
        return {frame.right - frame.left, frame.bottom - frame.top};

    const auto place = [&](int id, const layout::Rect& design) {
        ::SendMessageA(item(id), WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
        const layout::Rect rect = scale(design);
        ::MoveWindow(item(id), rect.left, rect.top, rect.width, rect.height, FALSE);
    };
    for (const Control& control : controls)
        place(control.id, control.rect);
    for (std::size_t day = 0; day < layout::dialog::days.size(); ++day)
        place(settingsIds::firstDay + static_cast<int>(day), layout::dialog::days[day]);
    place(IDOK, layout::dialog::ok);
    place(IDCANCEL, layout::dialog::cancel);
    // The font the controls had goes once they have the new one.
    std::swap(m_font, font);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

void SettingsDialog::show(const setup::SettingsFields& fields)
{
    const auto check = [&](int id, bool on) {
        ::SendMessageA(item(id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    };
    check(settingsIds::tray, fields.tray);
    check(settingsIds::popup, fields.popup);
    check(settingsIds::sound, fields.sound);
    ::SetWindowTextA(item(settingsIds::soundFile), fields.soundFile.c_str());
    check(settingsIds::startAtLogin, fields.startAtLogin);
    check(settingsIds::closeToTray, fields.closeToTray);
    check(settingsIds::wait, fields.waitOn);
    ::SetWindowTextA(item(settingsIds::waitMinutes), fields.waitMinutes.c_str());
    check(settingsIds::deadline, fields.deadlineOn);
    ::SetWindowTextA(item(settingsIds::deadlineTime), fields.deadline.c_str());
    ::SetWindowTextA(item(settingsIds::leftOut), fields.leftOut.c_str());
    for (int day = 0; day < 7; ++day)
        check(settingsIds::firstDay + day, (fields.deadlineDays & (1U << day)) != 0);
    enableReminders();
}

bool SettingsDialog::checked(int id) const
{
    return ::SendMessageA(item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

setup::SettingsFields SettingsDialog::chosen() const
{
    setup::SettingsFields fields;
    fields.tray = checked(settingsIds::tray);
    fields.popup = checked(settingsIds::popup);
    fields.sound = checked(settingsIds::sound);
    fields.soundFile = windowText(item(settingsIds::soundFile));
    fields.startAtLogin = checked(settingsIds::startAtLogin);
    fields.closeToTray = checked(settingsIds::closeToTray);
    fields.waitOn = checked(settingsIds::wait);
    fields.waitMinutes = windowText(item(settingsIds::waitMinutes));
    fields.deadlineOn = checked(settingsIds::deadline);
    fields.deadline = windowText(item(settingsIds::deadlineTime));
    fields.leftOut = windowText(item(settingsIds::leftOut));
    fields.codePage = m_opened.codePage;
    fields.deadlineDays = 0;
    for (int day = 0; day < 7; ++day) {
        if (checked(settingsIds::firstDay + day))
            fields.deadlineDays |= 1U << day;
    }
    return fields;
}

void SettingsDialog::enableReminders()
{
    // A reminder switched off keeps its values, greyed, for when it is switched on again.
    ::EnableWindow(item(settingsIds::waitMinutes), checked(settingsIds::wait));
    const bool deadline = checked(settingsIds::deadline);
    ::EnableWindow(item(settingsIds::deadlineTime), deadline);
    for (int day = 0; day < 7; ++day)
        ::EnableWindow(item(settingsIds::firstDay + day), deadline);
}

void SettingsDialog::accept()
{
    const setup::SettingsFields fields = chosen();
    const std::vector<setup::FieldRefusal> refused = setup::checkFields(fields, m_opened);
    for (const auto field : {setup::RefusedField::SoundFile, setup::RefusedField::WaitMinutes,
                             setup::RefusedField::Deadline, setup::RefusedField::LeftOut})
        ::SetWindowTextA(item(refusalLine(field)), "");
    for (const setup::FieldRefusal& refusal : refused)
        ::SetWindowTextA(item(refusalLine(refusal.field)), std::string(refusal.text).c_str());
    if (!refused.empty()) {
        ::MessageBeep(MB_ICONEXCLAMATION);
        ::SendMessageA(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item(refusedField(refused.front().field))),
                       TRUE);
        return;
    }
    m_result = fields;
    m_closed = true;
}

void SettingsDialog::browse()
{
    // The shell's own picker through COM (ole32), which the tool links already; the common dialog
    // library would be one more DLL. It keeps the working directory, which holds the settings.
    const platform::win32::ComScope com;
    {
        ComPointer<IFileOpenDialog> picker;
        if (SUCCEEDED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                         picker.putVoid()))) {
            const std::wstring title = platform::win32::toWide(texts::soundPickerTitle);
            const std::wstring filterName = platform::win32::toWide(std::string(texts::soundPickerFilter) + " (*.wav)");
            const COMDLG_FILTERSPEC filter{filterName.c_str(), L"*.wav"};
            FILEOPENDIALOGOPTIONS options = 0;
            picker->GetOptions(&options);
            picker->SetOptions(options | FOS_FORCEFILESYSTEM | FOS_FILEMUSTEXIST | FOS_NOCHANGEDIR);
            picker->SetTitle(title.c_str());
            picker->SetFileTypes(1, &filter);
            ComPointer<IShellItem> picked;
            wchar_t* path = nullptr;
            // Kept while it runs its own loop, so that the dialog's end closes it before any window goes.
            m_picker = picker.get();
            const HRESULT answered = picker->Show(hwnd());
            m_picker = nullptr;
            if (SUCCEEDED(answered) && !m_closed && SUCCEEDED(picker->GetResult(picked.put())) &&
                SUCCEEDED(picked->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
                if (const std::string chosenFile = narrow(path); !chosenFile.empty())
                    ::SetWindowTextA(item(settingsIds::soundFile), chosenFile.c_str());
                else
                    ::MessageBeep(MB_ICONEXCLAMATION);
                ::CoTaskMemFree(path);
            }
        }
    }
}

void SettingsDialog::edited(setup::RefusedField field)
{
    const HWND line = item(refusalLine(field));
    if (line == nullptr)
        return;
    const std::string was = windowText(line);
    const std::string_view now = setup::lineAfterEdit(field, was, chosen(), m_opened);
    if (now != was)
        ::SetWindowTextA(line, std::string(now).c_str());
    // What 再生 finds no longer holds for another file.
    if (field == setup::RefusedField::SoundFile)
        m_playing = false;
}

std::optional<setup::SettingsFields> SettingsDialog::editSettings(const setup::SettingsFields& opened)
{
    m_opened = opened;
    m_result.reset();
    m_closed = false;
    ModalScope modal;
    try {
        build();
    } catch (...) {
        // The controls still use the font, which goes with this object: the window goes first.
        modal.release();
        if (::IsWindow(hwnd()))
            ::DestroyWindow(hwnd());
        throw;
    }
    show(opened);
    ::ShowWindow(hwnd(), SW_SHOWNORMAL);
    ::SetForegroundWindow(hwnd());
    ::SendMessageA(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item(settingsIds::tray)), TRUE);
    if (shown)
        shown(hwnd());

    // The main window's ticks are dispatched here too, so the status goes on. Taken as Unicode,
    // as in the main loop: a typed double-byte character then reaches a field as one WM_CHAR.
    MSG message{};
    while (!m_closed) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            // The application is quitting: the outer loop must see the request too.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            m_result.reset();
            break;
        }
        if (got < 0)
            break;
        if (::IsDialogMessageW(hwnd(), &message))
            continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    // The other windows take input again before this one goes, or the activation would pass to
    // another program.
    modal.release();
    if (::IsWindow(hwnd()))
        ::DestroyWindow(hwnd());
    return m_result;
}

bool SettingsDialog::abandon()
{
    m_result.reset();
    m_closed = true;
    if (m_picker == nullptr)
        return false;
    // ERROR_CANCELLED as an HRESULT; 7 is the facility of the system's error codes.
    m_picker->Close(MAKE_HRESULT(SEVERITY_ERROR, 7, ERROR_CANCELLED));
    return true;
}

LRESULT SettingsDialog::onMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        // A refusal's line goes as soon as its field is mended.
        if (HIWORD(wParam) == EN_CHANGE) {
            if (LOWORD(wParam) == settingsIds::soundFile)
                edited(setup::RefusedField::SoundFile);
            else if (LOWORD(wParam) == settingsIds::leftOut)
                edited(setup::RefusedField::LeftOut);
            else
                edited(LOWORD(wParam) == settingsIds::waitMinutes ? setup::RefusedField::WaitMinutes
                                                                  : setup::RefusedField::Deadline);
            return 0;
        }
        if (HIWORD(wParam) != BN_CLICKED)
            return 0;
        if (LOWORD(wParam) >= settingsIds::firstDay && LOWORD(wParam) < settingsIds::firstDay + 7)
            edited(setup::RefusedField::Deadline);
        switch (LOWORD(wParam)) {
        case IDOK:
            accept();
            break;
        case IDCANCEL:
            // Cancel, and Escape through the dialog manager.
            m_closed = true;
            break;
        case settingsIds::browse:
            browse();
            break;
        case settingsIds::play:
            // Once, whatever the sound switch says: the user wants to hear the file. What an earlier
            // 再生 found goes; a refusal of the name stays.
            edited(setup::RefusedField::SoundFile);
            m_sound.play(setup::soundFileOf(windowText(item(settingsIds::soundFile))), hwnd());
            m_playing = true;
            break;
        case settingsIds::wait:
            enableReminders();
            edited(setup::RefusedField::WaitMinutes);
            break;
        case settingsIds::deadline:
            enableReminders();
            edited(setup::RefusedField::Deadline);
            break;
        default:
            break;
        }
        return 0;
    case Sound::playedMessage:
        if (std::exchange(m_playing, false) && wParam != 0)
            ::SetWindowTextA(item(settingsIds::soundFileRefusal),
                             std::string(setup::playFailureText(static_cast<setup::PlayFailure>(wParam - 1))).c_str());
        return 0;
    case WM_CTLCOLORSTATIC: {
        const LRESULT brush = defaultProcedure(message, wParam, lParam);
        const int id = ::GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
        if (id == settingsIds::soundFileRefusal || id == settingsIds::waitRefusal ||
            id == settingsIds::deadlineRefusal || id == settingsIds::leftOutRefusal)
            ::SetTextColor(reinterpret_cast<HDC>(wParam), refusalColour);
        return brush;
    }
    case dpi::scaledSizeMessage:
        return dpi::answerScaledSize(wParam, lParam, [&](int resolution) { return layOut(resolution, false); });
    case WM_DPICHANGED:
        try {
            // On a monitor of another resolution: laid out anew from the same table.
            dpi::moveToSuggested(hwnd(), wParam, lParam, [&](int resolution) { return layOut(resolution, true); });
        } catch (const std::exception&) {
            // Kept as it was: still readable, only at the size of the other monitor.
        }
        return 0;
    case WM_CLOSE:
        // The close button (SC_CLOSE, made WM_CLOSE by the default procedure) and a close request
        // from outside (taskkill, the end of the session): no answer.
        abandon();
        return 0;
    case WM_DESTROY:
        // Destroyed with its owner as the tool quits: no answer.
        if (!m_closed)
            m_result.reset();
        m_closed = true;
        return defaultProcedure(message, wParam, lParam);
    default:
        return defaultProcedure(message, wParam, lParam);
    }
}

} // namespace winapp
