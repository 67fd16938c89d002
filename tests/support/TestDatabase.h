#pragma once
// The database a test runs against: a throw-away development database, or a
// real Oracle client and server when ROWPOUR_TEST_ORACLE names a logon
// (user/password@connect). Tests make their own tables with unique names
// and drop them again, so a shared schema on a real server is left as found.
//
// On the real lane the client is the one the environment names
// (ORACLE_HOME, LD_LIBRARY_PATH); ROWPOUR_TEST_OCIDLL, when set, is handed to
// the programs as OCIDLL=.

#include "DevDbHome.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace rowpour::testing
{

// The logon ROWPOUR_TEST_ORACLE names, if any.
std::optional<QString> realOracleLogon();

// Environment entries for runProgram: "NAME=value" sets, "NAME" alone removes.
ProcessResult runWithEnvironment(const QString &program, const QStringList &args,
                                 const QStringList &environment, const QByteArray &input = {});

class TestDatabase
{
public:
    // The real Oracle when ROWPOUR_TEST_ORACLE is set, else a new development database.
    static std::unique_ptr<TestDatabase> open();
    ~TestDatabase();
    TestDatabase(const TestDatabase &) = delete;
    TestDatabase &operator=(const TestDatabase &) = delete;

    bool real() const { return !home_; }
    // user/password@database of the test account.
    QString userId() const { return userId_; }
    // What the programs need in their environment to find the client.
    QStringList environment() const;
    // Extra arguments of the programs (OCIDLL= on the real lane).
    QStringList clientArguments() const;
    // The client library with only the OCI7 call set; empty when there is none.
    QString oci7Library() const;
    // The development database's home; null on the real lane.
    const DevDbHome *devdbHome() const { return home_.get(); }

    // A table name no other test and no earlier run uses (at most 30 characters).
    static QString uniqueName(const QString &prefix);
    // Creates a table from the text after its name ("(A number, B date)"),
    // dropped when the database object goes; returns its name.
    QString createTable(const QString &prefix, const QString &columns);

    // rowpour-batch with the client's environment plus `environment`.
    ProcessResult batch(const QStringList &args, const QStringList &environment = {}) const;
    // Statements, one per line, through rowpour-batch sql --commit in a fixed
    // surrounding (C locale, NLS_LANG unset): the output of each select.
    ProcessResult sql(const QStringList &statements) const;

private:
    TestDatabase() = default;

    std::unique_ptr<DevDbHome> home_; // none on the real lane
    QString userId_;
    QStringList tables_;
};

} // namespace rowpour::testing
