// The desktop services: scopes put back what they replaced, in any nesting,
// and services that change one operation pass the others on.

#include "oracle/DesktopServices.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <memory>
#include <typeinfo>

using namespace rowpour::oracle;

namespace
{

class Recorder : public DesktopServices
{
public:
    explicit Recorder(QStringList &calls) : calls_(calls) {}
    void showMessageBox(const QString &message) override { calls_ << "box " + message; }
    void showFailure(const QString &, const QString &text) override { calls_ << "failure " + text; }

private:
    QStringList &calls_;
};

class FailuresDropped : public ForwardingDesktopServices
{
public:
    void showFailure(const QString &, const QString &) override {}
};

bool headless(const std::shared_ptr<DesktopServices> &services)
{
    return typeid(*services) == typeid(DesktopServices);
}

TEST(DesktopServices, ScopesPutBackWhatTheyReplaced)
{
    ASSERT_TRUE(headless(InstalledDesktopServices()));
    QStringList calls;
    {
        const DesktopServicesScope outer(std::make_unique<Recorder>(calls));
        const std::shared_ptr<DesktopServices> recorder = InstalledDesktopServices();
        {
            const DesktopServicesScope inner(std::make_unique<FailuresDropped>());
            EXPECT_NE(InstalledDesktopServices(), recorder);
        }
        EXPECT_EQ(InstalledDesktopServices(), recorder);
        {
            const DesktopServicesScope none(nullptr);
            EXPECT_TRUE(headless(InstalledDesktopServices())) << "null installs the headless services";
        }
        EXPECT_EQ(InstalledDesktopServices(), recorder);
    }
    EXPECT_TRUE(headless(InstalledDesktopServices()));
    EXPECT_TRUE(calls.isEmpty());
}

TEST(DesktopServices, AnOverridePassesTheOtherOperationsOn)
{
    QStringList calls;
    const DesktopServicesScope recording(std::make_unique<Recorder>(calls));
    {
        const DesktopServicesScope dropping(std::make_unique<FailuresDropped>());
        InstalledDesktopServices()->showFailure("Rowpour", "dropped");
        InstalledDesktopServices()->showMessageBox("passed on");
        EXPECT_NE(InstalledDesktopServices()->logonUi(), nullptr) << "the headless logon window";
    }
    InstalledDesktopServices()->showFailure("Rowpour", "recorded");
    EXPECT_EQ(calls, QStringList({"box passed on", "failure recorded"}));
}

} // namespace
