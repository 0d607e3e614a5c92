#pragma once

#include <QWidget>

class QTextLayout;

namespace app {

// A label that draws "&" as an access-key mark (hidden, the next character underlined; "&&"
// draws one "&") without taking a shortcut, and sizes itself to its text. With a wrap width
// it breaks lines at word boundaries, and inside a word too long for a line; otherwise it keeps
// one line however long. Line breaks in the text are kept.
class AccessKeyLabel final : public QWidget
{
    Q_OBJECT

public:
    explicit AccessKeyLabel(const QString& text, QWidget* parent = nullptr);

    [[nodiscard]] QString text() const { return m_text; }
    void setText(const QString& text);
    void setWrapWidth(int width);

    [[nodiscard]] QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Lays the text out in `layout` and returns the size it takes.
    QSize layOut(QTextLayout& layout) const;
    void fitToText();

    QString m_text;
    int m_wrapWidth = 0;
};

} // namespace app
