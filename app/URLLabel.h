#pragma once
// A hyperlink label: underlined text in the highlight colour and a hand
// pointer; a click opens its address with the desktop's default handler.
// Optionally it blinks, alternating its text colour with navy.

#include <QColor>
#include <QLabel>
#include <QTimer>
#include <QUrl>

namespace rowpour::app
{

class TURLLabel : public QLabel
{
    Q_OBJECT
public:
    static constexpr int kBlinkIntervalMs = 500;

    TURLLabel(const QString &text, const QUrl &url, QWidget *parent = nullptr);

    QUrl Url() const { return url_; }
    void SetBlinking(bool on);
    bool Blinking() const { return blinkTimer_.isActive(); }
    QColor TextColor() const;

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void setTextColor(const QColor &color);
    void blink();

    QUrl url_;
    QTimer blinkTimer_;
};

} // namespace rowpour::app
