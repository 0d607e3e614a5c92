// The reference for the whole-process figures: a plain Qt window with the same controls, texts
// and fonts as Kelvoran's, and a 1000 ms timer that does nothing. With --raw-tick its timer
// does the least a tick needs instead (read Kelvoran.ini, open the folder, getdents64 to the end),
// which shows what the work itself costs in a process that sleeps between ticks.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

void rawTick()
{
    static std::array<char, 256 * 1024> buffer;
    char text[4096];
    const int settings = ::open("Kelvoran.ini", O_RDONLY | O_CLOEXEC);
    const ssize_t got = ::read(settings, text, sizeof text - 1);
    ::close(settings);
    if (got <= 0)
        return;
    text[got] = '\0';
    const char* value = std::strstr(text, "fullpath=");
    if (value == nullptr)
        return;
    const std::string folder(value + 9, std::strcspn(value + 9, "\r\n"));
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    bool arrived = false;
    while (true) {
        const long size = ::syscall(SYS_getdents64, dir, buffer.data(), buffer.size());
        if (size <= 0)
            break;
        for (long offset = 0; offset < size;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer.data() + offset);
            arrived |= std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0;
            offset += entry->d_reclen;
        }
    }
    ::close(dir);
    [[maybe_unused]] static volatile bool sink;
    sink = arrived;
}

} // namespace

int main(int argc, char* argv[])
{
    const bool withRawTick = argc > 1 && std::strcmp(argv[1], "--raw-tick") == 0;
    int qtArgc = 1;
    QApplication application(qtArgc, argv);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Kelvoran"));
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans CJK JP")});
    font.setPixelSize(11);
    window.setFont(font);
    window.resize(372, 142);

    const auto label = [&](const QString& text, int x, int y, const QStringList& families, int pixels) {
        auto* widget = new QLabel(text, &window);
        QFont labelFont;
        labelFont.setFamilies(families);
        labelFont.setPixelSize(pixels);
        widget->setFont(labelFont);
        widget->move(x, y);
        widget->adjustSize();
    };
    const QStringList tahoma{QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans"),
                             QStringLiteral("Noto Sans CJK JP")};
    label(QStringLiteral("監視フォルダへのデータ着信を監視します。"), 16, 16,
          {QStringLiteral("ＭＳ Ｐ明朝"), QStringLiteral("IPAPMincho"), QStringLiteral("Noto Serif CJK JP")}, 16);
    label(QStringLiteral("未設定"), 88, 40, tahoma, 13);
    label(QStringLiteral("監視フォルダ"), 16, 43, tahoma, 11);
    label(QStringLiteral("（最小化して使用して下さい）"), 16, 75, tahoma, 11);
    auto* button = new QPushButton(QStringLiteral("監視フォルダの変更"), &window);
    button->setGeometry(224, 64, 129, 33);
    auto* edit = new QLineEdit(&window);
    edit->setGeometry(8, 104, 353, 21);

    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [withRawTick] {
        if (withRawTick)
            rawTick();
    });
    timer.start(1000);

    window.show();
    return QApplication::exec();
}
