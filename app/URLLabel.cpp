#include "app/URLLabel.h"

#include <QDesktopServices>
#include <QMouseEvent>

namespace rowpour::app
{

namespace
{

const QColor kNavy(0x00, 0x00, 0x80);

QColor highlightColor(const QWidget &widget)
{
    return widget.palette().color(QPalette::Highlight);
}

} // namespace

TURLLabel::TURLLabel(const QString &text, const QUrl &url, QWidget *parent) : QLabel(text, parent), url_(url)
{
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    setCursor(Qt::PointingHandCursor);
    setTextColor(highlightColor(*this));
    blinkTimer_.setInterval(kBlinkIntervalMs);
    connect(&blinkTimer_, &QTimer::timeout, this, &TURLLabel::blink);
}

void TURLLabel::SetBlinking(bool on)
{
    if (on) {
        blinkTimer_.start();
    } else {
        blinkTimer_.stop();
        setTextColor(highlightColor(*this));
    }
}

QColor TURLLabel::TextColor() const
{
    return palette().color(QPalette::WindowText);
}

void TURLLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        QDesktopServices::openUrl(url_);
    QLabel::mouseReleaseEvent(event);
}

void TURLLabel::setTextColor(const QColor &color)
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color);
    setPalette(p);
}

void TURLLabel::blink()
{
    setTextColor(TextColor() == kNavy ? highlightColor(*this) : kNavy);
}

} // namespace rowpour::app
