#include "platform/win32/ToolClaim.h"

#include "common/BoundedCall.h"
#include "platform/win32/FileIdentity.h"
#include "platform/win32/WideText.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace platform::win32 {

namespace {

constexpr const wchar_t* namePrefix = L"Local\\org.kelvoran.Kelvoran-";
constexpr const wchar_t* className = L"KelvoranClaim";
// How long naming the folder may take, how long a holder may take to publish its window and to
// answer, and how long one that did not answer (hung, or ending) may take to let go.
constexpr DWORD identityWait = 2000;
constexpr DWORD publishWait = 2000;
constexpr UINT answerWait = 2000;
constexpr DWORD letGoWait = 3000;

UINT raiseMessage()
{
    static const UINT message = ::RegisterWindowMessageW(L"org.kelvoran.Kelvoran.raise");
    return message;
}

// What the holder publishes: its window, written once it holds the mutex.
struct Published
{
    volatile LONG64 window;
};

// The user `process` runs as (a TOKEN_USER); empty when it cannot be read.
std::vector<unsigned char> userOf(HANDLE process)
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(process, TOKEN_QUERY, &token))
        return {};
    const FileHandle owned(token);
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> user(size);
    if (size == 0 || !::GetTokenInformation(token, TokenUser, user.data(), size, &size))
        return {};
    return user;
}

// This process's user's SID; null when the process cannot tell.
PSID thisUser()
{
    static std::vector<unsigned char> user = userOf(::GetCurrentProcess());
    return user.empty() ? nullptr : reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
}

// The user's SID as text, in the names: a copy of another account in the same session (or one
// that squats a name) is not this user's tool. Empty when the process cannot tell.
std::wstring userText()
{
    LPWSTR text = nullptr;
    if (thisUser() == nullptr || !::ConvertSidToStringSidW(thisUser(), &text))
        return {};
    std::wstring sid = text;
    ::LocalFree(text);
    return sid;
}

// Whether this user owns the kernel object `object`: a name in the session may have been made
// first by another account, whose mapping could name any window.
bool ownedByThisUser(HANDLE object)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                          &descriptor) != ERROR_SUCCESS)
        return false;
    const bool own = owner != nullptr && thisUser() != nullptr && ::EqualSid(owner, thisUser()) != FALSE;
    ::LocalFree(descriptor);
    return own;
}

// This user alone may open an object made with it, and owns it (an elevated copy would make the
// administrators its owner by default). Null when the process cannot tell its user.
std::unique_ptr<void, decltype(&::LocalFree)> ownerOnly()
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const std::wstring user = userText();
    if (user.empty() ||
        !::ConvertStringSecurityDescriptorToSecurityDescriptorW((L"O:" + user + L"D:P(A;;GA;;;" + user + L")").c_str(),
                                                                SDDL_REVISION_1, &descriptor, nullptr))
        descriptor = nullptr;
    return {descriptor, &::LocalFree};
}

std::wstring hex(unsigned long long value)
{
    wchar_t text[17] = {};
    std::swprintf(text, 17, L"%llx", value);
    return text;
}

// The mutex's key for the folder. A mutex name takes no backslash: the full path's fallback
// goes in as its FNV-1a hash.
std::wstring folderKey(const std::wstring& folder)
{
    if (const std::optional<FileIdentity> identity = identityOf(folder))
        return hex(identity->volume) + L'-' + hex(identity->index);
    const std::wstring full = foldedFullPath(folder);
    if (full.empty())
        return {};
    unsigned long long hash = 14695981039346656037ULL;
    for (const wchar_t character : full) {
        hash ^= static_cast<unsigned long long>(character);
        hash *= 1099511628211ULL;
    }
    return L"path-" + hex(hash);
}

LRESULT CALLBACK claimProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        ::SetWindowLongPtrW(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    else if (message == raiseMessage() && message != 0) {
        // 1: handed on; the later start ends on that answer alone.
        auto* raise = reinterpret_cast<std::function<void()>*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (raise == nullptr || !*raise)
            return 0;
        (*raise)();
        return 1;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// The held claim: the mutex, owned by the thread that made it, the window on that thread, and
// the mapping that names the window. All go with the process, however it ends.
class HeldClaim : public ToolClaim
{
public:
    HeldClaim(FileHandle mutex, std::function<void()> raise) : m_mutex(std::move(mutex)), m_raise(std::move(raise)) {}
    ~HeldClaim() override
    {
        if (m_published != nullptr)
            ::UnmapViewOfFile(m_published);
        if (m_window != nullptr)
            ::DestroyWindow(m_window);
        ::ReleaseMutex(m_mutex.get());
    }
    HeldClaim(const HeldClaim&) = delete;
    HeldClaim& operator=(const HeldClaim&) = delete;

    // Makes the window and names it in the mapping `name`; without them the claim still holds,
    // but a later start cannot raise this one's window.
    void publish(const std::wstring& name)
    {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &claimProcedure;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = className;
        ::RegisterClassExW(&windowClass);
        m_window = ::CreateWindowExW(0, className, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     ::GetModuleHandleW(nullptr), &m_raise);
        if (m_window == nullptr)
            return;
        // Let through even when this copy runs elevated and the later start does not.
        ::ChangeWindowMessageFilterEx(m_window, raiseMessage(), MSGFLT_ALLOW, nullptr);
        const auto descriptor = ownerOnly();
        if (!descriptor)
            return;
        SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
        m_mapping = FileHandle(::CreateFileMappingW(INVALID_HANDLE_VALUE, &attributes, PAGE_READWRITE, 0,
                                                    sizeof(Published), name.c_str()));
        const bool existed = ::GetLastError() == ERROR_ALREADY_EXISTS;
        // One that is there already is this user's only when a copy that let go still holds it;
        // another account's names no window of ours.
        if (m_mapping.valid() && existed && !ownedByThisUser(m_mapping.get()))
            m_mapping.reset();
        if (!m_mapping.valid())
            return;
        m_published =
            static_cast<Published*>(::MapViewOfFile(m_mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(Published)));
        if (m_published != nullptr)
            ::InterlockedExchange64(&m_published->window, static_cast<LONG64>(reinterpret_cast<INT_PTR>(m_window)));
    }

private:
    FileHandle m_mutex;
    std::function<void()> m_raise;
    HWND m_window = nullptr;
    FileHandle m_mapping;
    Published* m_published = nullptr;
};

// The holder's window, once published; null while there is none yet, or when the mapping is
// another account's (one this user may not open, or may open but does not own): that publishes
// nothing.
HWND publishedWindow(const std::wstring& name)
{
    const FileHandle mapping(::OpenFileMappingW(FILE_MAP_READ | READ_CONTROL, FALSE, name.c_str()));
    if (!mapping.valid() || !ownedByThisUser(mapping.get()))
        return nullptr;
    auto* published = static_cast<Published*>(::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, sizeof(Published)));
    if (published == nullptr)
        return nullptr;
    const auto window = reinterpret_cast<HWND>(static_cast<INT_PTR>(published->window));
    ::UnmapViewOfFile(published);
    return window != nullptr && ::IsWindow(window) ? window : nullptr;
}

} // namespace

bool runsAsThisUser(DWORD process)
{
    const FileHandle handle(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process));
    if (!handle.valid())
        return false;
    std::vector<unsigned char> user = userOf(handle.get());
    return !user.empty() && thisUser() != nullptr &&
           ::EqualSid(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, thisUser()) != FALSE;
}

std::wstring claimName(const std::string& settingsFolder)
{
    // Naming the folder opens it, which on a share that stopped answering could hang: on a
    // thread of its own, waited for a while.
    const ansi::BoundedCall<std::wstring> naming([folder = toWide(settingsFolder)] { return folderKey(folder); });
    const std::optional<std::wstring> key = naming.waitFor(std::chrono::milliseconds(identityWait));
    if (!key || key->empty())
        return {};
    const std::wstring user = userText();
    return user.empty() ? std::wstring() : namePrefix + user + L'-' + *key;
}

std::unique_ptr<ToolClaim> claimFolder(const std::string& settingsFolder, std::function<void()> raise,
                                       const std::function<bool(DWORD process)>& sameUser)
{
    const std::wstring name = claimName(settingsFolder);
    if (name.empty())
        return std::make_unique<ToolClaim>();
    // A name another account made first is no claim of this user's: it refuses it
    // (ERROR_ACCESS_DENIED), or lets it open what it owns. No guard then; the start goes on.
    const auto descriptor = ownerOnly();
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
    FileHandle mutex(::CreateMutexW(descriptor ? &attributes : nullptr, FALSE, name.c_str()));
    if (!mutex.valid() || (::GetLastError() == ERROR_ALREADY_EXISTS && !ownedByThisUser(mutex.get())))
        return std::make_unique<ToolClaim>();
    const std::wstring windowName = name + L"-window";
    const auto hold = [&] {
        auto claim = std::make_unique<HeldClaim>(std::move(mutex), std::move(raise));
        claim->publish(windowName);
        return claim;
    };
    // WAIT_ABANDONED: the copy that held it ended without letting go (it crashed).
    const auto taken = [](DWORD result) { return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED; };
    for (DWORD waited = 0;; waited += 50) {
        const DWORD result = ::WaitForSingleObject(mutex.get(), 0);
        if (taken(result))
            return hold();
        if (result != WAIT_TIMEOUT)
            return std::make_unique<ToolClaim>();
        // The holder may not have published its window yet, or be letting go just now. The mutex
        // is this user's and held, so a mapping another account squats on publishes nothing: this
        // start still ends, rather than run a second copy on the same settings.
        HWND holder = publishedWindow(windowName);
        DWORD process = 0;
        // The foreground goes to this user's copy alone, never to a window another account's
        // process put in a mapping this user may read.
        if (holder != nullptr && (::GetWindowThreadProcessId(holder, &process) == 0 || !sameUser(process)))
            holder = nullptr;
        if (holder != nullptr) {
            // The holder brings its window to the foreground, which Windows grants it only so.
            ::AllowSetForegroundWindow(process);
            DWORD_PTR answer = 0;
            if (::SendMessageTimeoutW(holder, raiseMessage(), 0, 0, SMTO_ABORTIFHUNG, answerWait, &answer) != 0 &&
                answer == 1)
                return nullptr;
            // No answer: a holder that hangs keeps its claim; one that is ending lets go of it
            // soon, and this start takes its place.
            return taken(::WaitForSingleObject(mutex.get(), letGoWait)) ? hold() : nullptr;
        }
        if (waited >= publishWait)
            return nullptr;
        ::Sleep(50);
    }
}

} // namespace platform::win32
