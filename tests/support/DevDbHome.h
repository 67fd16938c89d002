#pragma once
// A throw-away Oracle home with one development database, made with the
// rowpour-devdb tool of the build, and a way to run the build's programs.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace rowpour::testing
{

struct ProcessResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// The build folder the tests belong to (ROWPOUR_BUILD_DIR).
QString buildDir();

// Runs a program with extra environment entries ("NAME=value") and standard input.
ProcessResult runProgram(const QString &program, const QStringList &args, const QStringList &environment = {},
                         const QByteArray &input = {});

class DevDbHome
{
public:
    // A home in a temporary folder with database `alias`, after
    // `systemStatements` (one per line) have run in it as SYSTEM. Homes of
    // the same kind are copied from one laid out once per process.
    explicit DevDbHome(const QString &alias = QStringLiteral("DEVDB"), const QString &version = {},
                       const QStringList &systemStatements = {});

    QString path() const { return dir_.path() + QStringLiteral("/home"); }
    QString alias() const { return alias_; }
    // "ORACLE_HOME=..." for runProgram, with clientNlsEnvironment().
    QStringList environment() const;
    // What a client of a real Oracle needs too for the tests' literals: an
    // NLS_LANG with a Unicode character set, day.month.year dates and "." as
    // the decimal character (the territory default is DD-MON-RR).
    static QStringList clientNlsEnvironment();
    // Runs statements (one per line) as `userPassword`; the session ends committing.
    ProcessResult sql(const QString &userPassword, const QStringList &statements) const;
    // Creates an account with a password, as SYSTEM.
    void createUser(const QString &user, const QString &password) const;
    // Creates one more database in the home ("--charset", "CL8MSWIN1251", ...).
    void addDatabase(const QString &alias, const QStringList &options = {}) const;
    // rowpour-batch with this home as ORACLE_HOME.
    ProcessResult batch(const QStringList &args) const;

private:
    QTemporaryDir dir_;
    QString alias_;
};

} // namespace rowpour::testing
