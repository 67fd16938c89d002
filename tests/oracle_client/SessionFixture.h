#pragma once
// A session of this process on the test database (development database or
// real Oracle), in the OCI8 call mode or with the OCI7 call set chosen by
// the session's preferences, and the result set the main window uses.

#include "TestDatabase.h"

#include "oracle/Oracle.h"
#include "oracle/OracleData.h"
#include "oracle/OracleTypes.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <memory>
#include <ostream>

namespace rowpour::testing
{

enum class Mode { OCI8, OCI7 };
void PrintTo(Mode mode, std::ostream *os);
std::string modeName(const ::testing::TestParamInfo<Mode> &info);

class SessionTest : public ::testing::TestWithParam<Mode>
{
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Runs statements one by one on the session and commits.
    void execute(const QStringList &statements);
    // The pattern of the main window and the import: close, replace the text, open.
    void open(const QString &select);
    // The text of a field of the current record.
    QString text(const QString &field) { return dataSet_.FieldByName(field).AsString(); }

    static std::unique_ptr<TestDatabase> database_;
    oracle::TOracleSession session_;
    oracle::TOracleDataSet dataSet_;
};

} // namespace rowpour::testing
