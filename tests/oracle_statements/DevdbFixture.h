#pragma once
// A fresh development database per test, logged on in one of the call modes
// the statements support: OCI8, OCI7 against an Oracle7 server (an OCI8 logon
// converted for it), and OCI7 chosen by the session's preferences.

#include "TestEnvironment.h"

#include "oracle/Oracle.h"

#include <QString>

#include <string>

namespace rowpour::oracle::testing
{

enum class CallMode { OCI8, OCI7Server, OCI7Preference };

std::string callModeName(const ::testing::TestParamInfo<CallMode> &info);
// Short parameter texts keep the test names that CTest sees simple.
void PrintTo(CallMode mode, std::ostream *os);

struct ToolResult {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs a program with standard input; waits for it.
ToolResult runProgram(const QString &program, const QStringList &args, const QByteArray &input = {});
QString batchTool();

class DevdbStatementTest : public OracleLayerTest, public ::testing::WithParamInterface<CallMode>
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs statements (one per line) as scott through the development database tool.
    QString devdbSql(const QByteArray &statements);
    // A second session of scott, in the same call mode.
    void logOn(TOracleSession &session);
    QString userId() const { return QStringLiteral("scott/tiger@") + alias_; }

    TOracleSession session_;
    QString home_;
    QString alias_;
};

} // namespace rowpour::oracle::testing
