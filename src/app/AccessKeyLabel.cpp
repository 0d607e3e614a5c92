#include "app/AccessKeyLabel.h"

#include <QEvent>
#include <QPainter>

#include <climits>

namespace app {

AccessKeyLabel::AccessKeyLabel(const QString& text, QWidget* parent) : QWidget(parent), m_text(text)
{
    // Opaque, in the parent's background colour.
    setAutoFillBackground(true);
    fitToText();
}

void AccessKeyLabel::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    fitToText();
    update();
}

void AccessKeyLabel::setWrapWidth(int width)
{
    m_wrapWidth = width;
    fitToText();
}

int AccessKeyLabel::textFlags() const
{
    return Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic | Qt::TextExpandTabs |
           (m_wrapWidth > 0 ? Qt::TextWordWrap : Qt::TextSingleLine);
}

QSize AccessKeyLabel::sizeHint() const
{
    const int width = m_wrapWidth > 0 ? m_wrapWidth : INT_MAX / 4;
    return fontMetrics().boundingRect(QRect(0, 0, width, INT_MAX / 4), textFlags(), m_text).size();
}

void AccessKeyLabel::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect(), textFlags(), m_text);
}

void AccessKeyLabel::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fitToText();
}

void AccessKeyLabel::fitToText()
{
    // The left edge and top stay; the label grows or shrinks with its text.
    updateGeometry();
    resize(sizeHint());
}

} // namespace app
