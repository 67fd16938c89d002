#include "import/MsgFrm.h"

#include <QApplication>
#include <QEventLoop>
#include <QPainter>
#include <QScreen>

#include <exception>
#include <memory>
#include <thread>

namespace
{

const QColor kWhite(0xFF, 0xFF, 0xFF);

QColor highlightColor()
{
    return QApplication::palette().color(QPalette::Highlight);
}

// Module state: the popup shown now and its animation thread.
QPointer<TMessageForm> currentForm;
QPointer<TMyThread> currentThread;

} // namespace

TGauge::TGauge(QWidget *parent) : QWidget(parent), back_(kWhite), fore_(highlightColor()) {}

void TGauge::SetRange(int min, int max)
{
    min_ = min;
    max_ = max;
    update();
}

void TGauge::SetProgress(int value)
{
    value_ = value;
    update();
}

void TGauge::SetColors(const QColor &back, const QColor &fore)
{
    back_ = back;
    fore_ = fore;
    update();
}

void TGauge::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), back_);
    const int span = max_ - min_;
    if (span <= 0)
        return;
    const int filled = int(qint64(width()) * (qBound(min_, value_, max_) - min_) / span);
    painter.fillRect(QRect(0, 0, filled, height()), fore_);
}

TMessageForm::TMessageForm()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      Panel1_(new QFrame(this)), Bevel1_(new QFrame(this)), Mess_(new QLabel(QStringLiteral("..."), this)),
      Progress_(new TGauge(this))
{
    setObjectName(QStringLiteral("MessageForm"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setFixedSize(kClientWidth, kClientHeight);
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    Panel1_->setObjectName(QStringLiteral("Panel1"));
    Panel1_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1_->setLineWidth(2);
    Panel1_->setGeometry(0, 0, kClientWidth, kClientHeight);
    Bevel1_->setObjectName(QStringLiteral("Bevel1"));
    Bevel1_->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1_->setGeometry(4, 8, 313, 35);
    Mess_->setObjectName(QStringLiteral("Mess"));
    Mess_->setAlignment(Qt::AlignCenter);
    Mess_->setGeometry(14, 12, 291, 13);
    Progress_->setObjectName(QStringLiteral("Progress"));
    Progress_->setGeometry(18, 30, 289, 6);

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TMessageForm::ResetGauge()
{
    Progress_->SetRange(0, 100);
    Progress_->SetProgress(0);
    Progress_->SetColors(kWhite, highlightColor());
}

void TMessageForm::AdvanceGauge()
{
    Progress_->SetProgress(Progress_->Progress() + 1);
    if (Progress_->Progress() == Progress_->MaxValue()) {
        Progress_->SetProgress(0);
        if (Progress_->BackColor() == kWhite)
            Progress_->SetColors(highlightColor(), kWhite);
        else
            Progress_->SetColors(kWhite, highlightColor());
    }
    // Painted at once: the caller may be about to block again.
    Progress_->repaint();
}

void TMyThread::run()
{
    emit Started();
    while (!stop_) {
        emit Tick();
        msleep(kTickMs);
    }
}

void ShowMessageForm(const QString &text, bool animate)
{
    // A popup still shown is replaced, its animation stopped.
    HideMessageForm();
    currentForm = new TMessageForm;
    currentForm->Progress()->hide();
    currentForm->Mess()->setText(text);
    if (animate) {
        currentForm->Progress()->show();
        auto *thread = new TMyThread;
        // Queued: the ticks are painted by the user-interface thread, and a
        // tick still queued when the popup is destroyed is dropped with it.
        QObject::connect(thread, &TMyThread::Started, currentForm, &TMessageForm::ResetGauge,
                         Qt::QueuedConnection);
        QObject::connect(thread, &TMyThread::Tick, currentForm, &TMessageForm::AdvanceGauge,
                         Qt::QueuedConnection);
        QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
        currentThread = thread;
        thread->start();
    }
    currentForm->show();
    QCoreApplication::processEvents();
}

void HideMessageForm()
{
    if (currentThread)
        currentThread->RequestStop();
    currentThread = nullptr;
    if (currentForm) {
        currentForm->close();
        delete currentForm.data();
    }
    currentForm = nullptr;
}

TMessageForm *CurrentMessageForm()
{
    return currentForm;
}

TPopupHiddenScope::TPopupHiddenScope()
{
    if (currentForm && currentForm->isVisible()) {
        hidden_ = currentForm;
        hidden_->hide();
    }
}

TPopupHiddenScope::~TPopupHiddenScope()
{
    if (hidden_ && hidden_ == currentForm)
        hidden_->show();
}

void RunWhileAnimating(const std::function<void()> &call)
{
    QEventLoop loop;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            call();
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
}
