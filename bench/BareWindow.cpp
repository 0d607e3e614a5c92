// The reference for the whole-process figures: a plain Qt window with the same controls, texts
// and fonts as Kelvoran's, and a 1000 ms timer that does nothing.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

int main(int argc, char* argv[])
{
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    (void)argc;

    QWidget window;
    window.setWindowTitle(QStringLiteral("Kelvoran"));
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")});
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
    const QStringList tahoma{QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")};
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
    QObject::connect(&timer, &QTimer::timeout, [] {});
    timer.start(1000);

    window.show();
    return QApplication::exec();
}
