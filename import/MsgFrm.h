#pragma once
// The progress popup: a small borderless window that names the long operation
// under way, with an optional bar that keeps moving on its own. One popup
// exists at a time; every ShowMessageForm is followed by one HideMessageForm.
//
// The bar is driven by an animation thread (TMyThread) whose ticks reach the
// popup as queued signals, so they are painted by the user-interface thread.
// A long call therefore has to leave that thread free to paint: run it through
// RunWhileAnimating, which runs it on a worker and keeps painting meanwhile.

#include <QColor>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QThread>
#include <QWidget>

#include <atomic>
#include <functional>

// The horizontal bar: a background and a foreground colour, the foreground
// filling the share value / maximum from the left; no percentage text.
class TGauge : public QWidget
{
    Q_OBJECT
public:
    explicit TGauge(QWidget *parent = nullptr);

    int MinValue() const { return min_; }
    int MaxValue() const { return max_; }
    int Progress() const { return value_; }
    QColor BackColor() const { return back_; }
    QColor ForeColor() const { return fore_; }
    void SetRange(int min, int max);
    void SetProgress(int value);
    void SetColors(const QColor &back, const QColor &fore);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int min_ = 0;
    int max_ = 100;
    int value_ = 0;
    QColor back_;
    QColor fore_;
};

class TMessageForm : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kClientWidth = 322;
    static constexpr int kClientHeight = 47;

    TMessageForm();

    QLabel *Mess() const { return Mess_; }
    TGauge *Progress() const { return Progress_; }

public slots:
    // Starts a sweep: 0 to 100, white background, highlight foreground.
    void ResetGauge();
    // One animation tick: the value goes up by one; at the maximum it starts
    // again at 0 and the two colours swap.
    void AdvanceGauge();

private:
    QFrame *Panel1_;
    QFrame *Bevel1_;
    QLabel *Mess_;
    TGauge *Progress_;
};

// The animation thread: one tick every 50 ms until asked to stop. It frees
// itself when it ends; nobody waits for it.
class TMyThread : public QThread
{
    Q_OBJECT
public:
    static constexpr int kTickMs = 50;

    void RequestStop() { stop_ = true; }

signals:
    void Started();
    void Tick();

protected:
    void run() override;

private:
    std::atomic<bool> stop_{false};
};

// Shows the popup with text; with animate, the bar is shown and animated.
// Events pending at the moment are handled, so the popup is painted before
// the caller goes on.
void ShowMessageForm(const QString &text, bool animate);
// Stops the animation (without waiting for the thread) and destroys the
// popup; without a popup it does nothing.
void HideMessageForm();
// The popup currently shown, or null.
TMessageForm *CurrentMessageForm();

// Keeps the popup (which stays on top of other windows) out of sight while a
// message box is shown, so it never covers the box; the popup comes back
// afterwards if it still exists. Every message box of the program is shown
// inside one.
class TPopupHiddenScope
{
public:
    TPopupHiddenScope();
    ~TPopupHiddenScope();
    TPopupHiddenScope(const TPopupHiddenScope &) = delete;
    TPopupHiddenScope &operator=(const TPopupHiddenScope &) = delete;

private:
    QPointer<TMessageForm> hidden_;
};

// Runs call on a worker thread while the user-interface thread keeps handling
// paint, timer and queued events (user input is held back until it returns).
// An exception of call is rethrown here, on the calling thread. call must not
// touch widgets; the database layer it uses sees its calls one after another,
// never two at once.
void RunWhileAnimating(const std::function<void()> &call);
