#include "SessionFixture.h"

#include "oracle/OracleCI.h"
#include "platform/Environment.h"

namespace rowpour::testing
{

namespace Environment = platform::Environment;

std::unique_ptr<TestDatabase> SessionTest::database_;

void PrintTo(Mode mode, std::ostream *os)
{
    *os << (mode == Mode::OCI8 ? "OCI8" : "OCI7");
}

std::string modeName(const ::testing::TestParamInfo<Mode> &info)
{
    return info.param == Mode::OCI8 ? "OCI8" : "OCI7";
}

void SessionTest::SetUpTestSuite()
{
    database_ = TestDatabase::open();
    // The client library of this process finds the database as the programs do.
    for (const QString &entry : database_->environment())
        Environment::setVariable(entry.section(QLatin1Char('='), 0, 0).toLocal8Bit().constData(),
                                 entry.section(QLatin1Char('='), 1));
    for (const QString &argument : database_->clientArguments())
        if (argument.startsWith(QStringLiteral("OCIDLL=")))
            oracle::ClientLibrary::instance().SetOCIDLL(argument.mid(7));
}

void SessionTest::TearDownTestSuite()
{
    database_.reset();
}

void SessionTest::SetUp()
{
    session_.Preferences().SetUseOCI7(GetParam() == Mode::OCI7);
    session_.SetLogonUsername(database_->userId());
    try {
        session_.LogOn();
    } catch (const oracle::EUnboundEntryPoint &e) {
        GTEST_SKIP() << "the client library has no OCI7 call set: " << e.what();
    }
    ASSERT_EQ(session_.OCI8Mode(), GetParam() == Mode::OCI8);
    dataSet_.SetSession(&session_);
}

void SessionTest::TearDown()
{
    dataSet_.Close();
    try {
        session_.LogOff();
    } catch (...) {
    }
}

void SessionTest::execute(const QStringList &statements)
{
    oracle::TOracleQuery query;
    query.SetSession(&session_);
    for (const QString &statement : statements) {
        query.SQL() = QStringList{statement};
        query.Execute();
    }
    session_.Commit();
}

void SessionTest::open(const QString &select)
{
    if (dataSet_.Active())
        dataSet_.Close();
    dataSet_.SQL().clear();
    dataSet_.SQL().append(select);
    dataSet_.Open();
}

} // namespace rowpour::testing
