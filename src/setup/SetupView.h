#pragma once

#include <string>

namespace setup {

// Kinds of message box; the kind fixes title and icon.
enum class MessageKind
{
    Warning = 0,
    Error = 1,
    Information = 2,
    Confirmation = 3,
    Custom = 4,
};

// Button bits of a message box, standing left to right in bit order.
namespace buttons {
inline constexpr unsigned yes = 0x0001;
inline constexpr unsigned no = 0x0002;
inline constexpr unsigned ok = 0x0004;
inline constexpr unsigned cancel = 0x0008;
inline constexpr unsigned abort = 0x0010;
inline constexpr unsigned retry = 0x0020;
inline constexpr unsigned ignore = 0x0040;
inline constexpr unsigned all = 0x0080;
inline constexpr unsigned noToAll = 0x0100;
inline constexpr unsigned yesToAll = 0x0200;
inline constexpr unsigned help = 0x0400;
} // namespace buttons

// Result codes of a message box.
namespace results {
inline constexpr int none = 0; // Help: answers without closing the box
inline constexpr int ok = 1;
inline constexpr int cancel = 2; // also the close button and the system menu
inline constexpr int abort = 3;
inline constexpr int retry = 4;
inline constexpr int ignore = 5;
inline constexpr int yes = 6;
inline constexpr int no = 7;
inline constexpr int all = 8;
inline constexpr int noToAll = 9;
inline constexpr int yesToAll = 10;
} // namespace results

// What the folder setup needs of the window: the entry field, the folder label and the
// modal message box.
class SetupView
{
public:
    virtual ~SetupView() = default;
    [[nodiscard]] virtual std::string entryText() = 0;
    virtual void setFolderLabel(const std::string& text) = 0;
    // Opens a modal box and returns the code of the button that closed it.
    virtual int showMessageBox(const std::string& text, MessageKind kind, unsigned buttonSet) = 0;
    // Called as soon as a new folder is stored: a check that read the old setting before this
    // moment must not be shown after it.
    virtual void folderStored() {}
};

} // namespace setup
