// The progress popup: layout, animation during a blocking call, hiding.

#include "import/MsgFrm.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace
{

const QColor kWhite(Qt::white);

void pumpFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

TEST(ProgressPopup, ShowsTheTextInABorderlessWindowAndHides)
{
    ShowMessageForm("delete old data from table T", false);
    TMessageForm *form = CurrentMessageForm();
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(form->size(), QSize(322, 47));
    EXPECT_EQ(form->Mess()->text(), "delete old data from table T");
    EXPECT_FALSE(form->Progress()->isVisible()) << "no bar without animation";
    HideMessageForm();
    EXPECT_EQ(CurrentMessageForm(), nullptr);
    HideMessageForm(); // without a popup: nothing
}

TEST(ProgressPopup, GaugeKeepsMovingWhileABlockingCallRuns)
{
    ShowMessageForm("delete old data from table T", true);
    QPointer<TMessageForm> form = CurrentMessageForm();
    ASSERT_TRUE(form->Progress()->isVisible());
    int before = form->Progress()->Progress();
    RunWhileAnimating([] { std::this_thread::sleep_for(std::chrono::milliseconds(600)); });
    const int after = form->Progress()->Progress();
    EXPECT_GE(after - before, 3) << "ticks reached the gauge during the call";
    EXPECT_EQ(form->Progress()->BackColor(), kWhite);
    HideMessageForm();
    EXPECT_TRUE(form.isNull());
    pumpFor(150); // later ticks find no popup to touch
}

TEST(ProgressPopup, FailureOfTheBlockingCallReachesTheCaller)
{
    ShowMessageForm("x", true);
    EXPECT_THROW(
        RunWhileAnimating([] { throw std::runtime_error("ORA-00942: table or view does not exist"); }),
        std::runtime_error);
    HideMessageForm();
    int value = 0;
    RunWhileAnimating([&] { value = 7; });
    EXPECT_EQ(value, 7);
}

TEST(ProgressPopup, EachSweepSwapsTheColours)
{
    TMessageForm form;
    form.ResetGauge();
    TGauge *gauge = form.Progress();
    const QColor highlight = QApplication::palette().color(QPalette::Highlight);
    EXPECT_EQ(gauge->BackColor(), kWhite);
    EXPECT_EQ(gauge->ForeColor(), highlight);
    for (int i = 0; i < 99; ++i)
        form.AdvanceGauge();
    EXPECT_EQ(gauge->Progress(), 99);
    EXPECT_EQ(gauge->BackColor(), kWhite);
    form.AdvanceGauge();
    EXPECT_EQ(gauge->Progress(), 0);
    EXPECT_EQ(gauge->BackColor(), highlight);
    EXPECT_EQ(gauge->ForeColor(), kWhite);
    for (int i = 0; i < 100; ++i)
        form.AdvanceGauge();
    EXPECT_EQ(gauge->BackColor(), kWhite);
    EXPECT_EQ(gauge->ForeColor(), highlight);
}

TEST(ProgressPopup, ShowingAgainReplacesThePopup)
{
    ShowMessageForm("first", true);
    QPointer<TMessageForm> first = CurrentMessageForm();
    ShowMessageForm("second", true);
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(CurrentMessageForm()->Mess()->text(), "second");
    HideMessageForm();
    pumpFor(120);
}

} // namespace
