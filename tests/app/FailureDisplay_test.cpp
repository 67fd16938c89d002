// The failure display: title, text rule, the desktop program's message box,
// guarded commands.

#include "WidgetTest.h"
#include "app/WidgetDesktopServices.h"
#include "app/mainFRm.h"
#include "import/FailureDisplay.h"
#include "tests/support/RecordedDesktop.h"

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QToolButton>

#include <memory>
#include <stdexcept>

using namespace rowpour;

namespace
{

TEST(FailureDisplay, TitleIsTheExecutableNameUpToItsFirstFullStop)
{
    struct Case {
        const char *name;
        QString path;
        QString title;
    };
    const Case cases[] = {
        {"plain name", "/usr/bin/rowpour", "Rowpour"},    {"mixed case", "/opt/RowPour", "Rowpour"},
        {"extension", "C:/Tools/ROWPOUR.EXE", "Rowpour"}, {"two full stops", "/x/row.pour.bin", "Row"},
        {"cyrillic", "/x/загрузка", "Загрузка"},          {"starts with full stop", "/x/.hidden", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ApplicationTitle(c.path), c.title) << c.name;
}

TEST(FailureDisplay, FullStopAppendedWhenTheLastCharacterSortsAfterIt)
{
    struct Case {
        const char *name;
        QString message;
        QString shown;
    };
    const Case cases[] = {
        {"letter", "Unable to write to /x", "Unable to write to /x."},
        {"digit", "ORA-00942", "ORA-00942."},
        {"slash sorts after", "a/", "a/."},
        {"full stop kept", "Done.", "Done."},
        {"hyphen sorts before", "строка 1-", "строка 1-"},
        {"blank sorts before", "D - нормализовать дату ", "D - нормализовать дату "},
        {"line break", "first\r\n", "first\r\n"},
        {"closing quote", "'x' is not a valid integer value", "'x' is not a valid integer value."},
        {"cyrillic letter", "Ошибка", "Ошибка."},
        {"empty", "", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FailureText(c.message), c.shown) << c.name;
}

TEST(FailureDisplay, GuardShowsEscapingFailuresAndSwallowsAborts)
{
    rowpour::testing::RecordedDesktop shown;
    RunGuarded([] { throw std::runtime_error("Unable to write to /ro/map.ini"); });
    RunGuarded([] { throw EAbort(); });
    RunGuarded([] { throw 42; });
    RunGuarded([] {});
    const QString title = ApplicationTitle(QCoreApplication::applicationFilePath());
    EXPECT_EQ(shown.failureTitles, QStringList({title, title}));
    EXPECT_EQ(shown.failures, QStringList({"Unable to write to /ro/map.ini.", "Unknown failure."}));
}

TEST(FailureDisplay, MessageBoxHasTheErrorIconOneButtonAndTheTitle)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title, text;
    int buttons = 0;
    rowpour::testing::WhenModal([&](QWidget *modal) {
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            icon = box->icon();
            title = box->windowTitle();
            text = box->text();
            buttons = int(box->buttons().size());
        }
        modal->close();
    });
    {
        const oracle::DesktopServicesScope desktop(std::make_unique<app::WidgetDesktopServices>());
        ShowFailure("Bad thing");
    }
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(title, ApplicationTitle(QCoreApplication::applicationFilePath()));
    EXPECT_EQ(text, "Bad thing.");
    EXPECT_EQ(buttons, 1);
}

// A window whose "..." command fails: the failure is shown and the window
// stays open with its state.
class FailingLoadForm : public TForm1
{
public:
    FailingLoadForm()
    {
        auto *load = findChild<QToolButton *>("SpeedButton1");
        disconnect(load, nullptr, this, nullptr);
        connect(load, &QToolButton::clicked, this, [this] {
            RunGuarded([this] {
                SG()->setCell(1, 0, "changed before the failure");
                throw std::runtime_error("Cannot open");
            });
        });
    }
};

TEST(FailureDisplay, WindowStaysOpenAfterAFailedCommand)
{
    rowpour::testing::RecordedDesktop shown;
    FailingLoadForm form;
    form.show();
    form.findChild<QToolButton *>("SpeedButton1")->click();
    EXPECT_EQ(shown.failures, QStringList({"Cannot open."}));
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.SG()->cell(1, 0), "changed before the failure");
}

} // namespace
