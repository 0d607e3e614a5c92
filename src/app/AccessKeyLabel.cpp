#include "app/AccessKeyLabel.h"

#include <QEvent>
#include <QPainter>
#include <QTextLayout>

#include <cmath>

namespace app {

namespace {

// `text` without its access-key marks: a single "&" is dropped and the character after it
// underlined, "&&" stands for one "&", a final lone "&" is dropped. Line breaks become the
// layout's own line separator.
QString withoutMarks(const QString& text, QList<QTextLayout::FormatRange>& underlines)
{
    QString plain;
    QTextCharFormat underline;
    underline.setFontUnderline(true);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&') {
            if (++i == text.size())
                break;
            if (text[i] != u'&')
                underlines.append({static_cast<int>(plain.size()), 1, underline});
        }
        plain += text[i] == u'\n' ? QChar(QChar::LineSeparator) : text[i];
    }
    return plain;
}

} // namespace

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

QSize AccessKeyLabel::layOut(QTextLayout& layout) const
{
    QList<QTextLayout::FormatRange> underlines;
    layout.setText(withoutMarks(m_text, underlines));
    layout.setFont(font());
    layout.setFormats(underlines);
    QTextOption option(Qt::AlignLeft | Qt::AlignTop);
    // Lines break at word boundaries; a word wider than the line (a long path) breaks where it
    // must, so the text never grows wider than the wrap width.
    option.setWrapMode(m_wrapWidth > 0 ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    layout.setTextOption(option);

    constexpr qreal unwrapped = 1 << 20;
    qreal width = 0;
    qreal height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(m_wrapWidth > 0 ? m_wrapWidth : unwrapped);
        line.setPosition(QPointF(0, height));
        height += line.height();
        width = std::max(width, line.naturalTextWidth());
    }
    layout.endLayout();
    return {static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(height))};
}

QSize AccessKeyLabel::sizeHint() const
{
    QTextLayout layout;
    return layOut(layout);
}

void AccessKeyLabel::paintEvent(QPaintEvent* /*event*/)
{
    QTextLayout layout;
    layOut(layout);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    layout.draw(&painter, QPointF(0, 0));
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
