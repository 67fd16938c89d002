#include "TestDatabase.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>

namespace rowpour::testing
{

namespace
{

QString batchProgram()
{
    return buildDir() + QStringLiteral("/cli/rowpour-batch");
}

// The surrounding of the checking statements: nothing of the operator's.
const QStringList fixedSurrounding = {
    QStringLiteral("LC_ALL=C"),
    QStringLiteral("LANG=C"),
    QStringLiteral("NLS_LANG"),
    QStringLiteral("NLS_DATE_FORMAT"),
    QStringLiteral("NLS_NUMERIC_CHARACTERS"),
    QStringLiteral("NLS_TIMESTAMP_FORMAT"),
    QStringLiteral("NLS_TIMESTAMP_TZ_FORMAT"),
};

} // namespace

std::optional<QString> realOracleLogon()
{
    const QString logon = qEnvironmentVariable("ROWPOUR_TEST_ORACLE");
    if (logon.trimmed().isEmpty())
        return std::nullopt;
    return logon.trimmed();
}

ProcessResult runWithEnvironment(const QString &program, const QStringList &args,
                                 const QStringList &environment, const QByteArray &input)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &entry : environment) {
        if (entry.contains(QLatin1Char('=')))
            env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
        else
            env.remove(entry);
    }
    process.setProcessEnvironment(env);
    process.start(program, args);
    if (!process.waitForStarted(10000))
        return {};
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000))
        process.kill();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

std::unique_ptr<TestDatabase> TestDatabase::open()
{
    std::unique_ptr<TestDatabase> database(new TestDatabase);
    if (const std::optional<QString> logon = realOracleLogon()) {
        database->userId_ = *logon;
        return database;
    }
    database->home_ =
        std::make_unique<DevDbHome>(QStringLiteral("DEVDB"), QString(),
                                    QStringList{QStringLiteral("create user ROWPOUR identified by rowpour")});
    database->userId_ = QStringLiteral("rowpour/rowpour@") + database->home_->alias();
    return database;
}

QStringList TestDatabase::environment() const
{
    return home_ ? home_->environment() : QStringList{};
}

QStringList TestDatabase::clientArguments() const
{
    const QString library = qEnvironmentVariable("ROWPOUR_TEST_OCIDLL");
    if (home_ || library.isEmpty())
        return {};
    return {QStringLiteral("OCIDLL=") + library};
}

QString TestDatabase::oci7Library() const
{
    return home_ ? home_->path() + QStringLiteral("/variants/oci7/libclntsh.so") : QString();
}

TestDatabase::~TestDatabase()
{
    QStringList drops;
    for (const QString &table : tables_)
        drops << QStringLiteral("drop table ") + table;
    if (!drops.isEmpty())
        sql(drops);
}

QString TestDatabase::uniqueName(const QString &prefix)
{
    static int counter = 0;
    const QString name = QStringLiteral("%1_%2_%3")
                             .arg(prefix.left(12).toUpper())
                             .arg(QRandomGenerator::global()->bounded(0x1000000), 6, 16, QLatin1Char('0'))
                             .arg(++counter);
    return name.toUpper();
}

QString TestDatabase::createTable(const QString &prefix, const QString &columns)
{
    const QString name = uniqueName(prefix);
    const ProcessResult created = sql({QStringLiteral("create table %1 %2").arg(name, columns)});
    if (created.exitCode != 0)
        throw std::runtime_error(("create table failed: " + created.err).toStdString());
    tables_ << name;
    return name;
}

ProcessResult TestDatabase::batch(const QStringList &args, const QStringList &extra) const
{
    return runWithEnvironment(batchProgram(), args + clientArguments(), environment() + extra);
}

ProcessResult TestDatabase::sql(const QStringList &statements) const
{
    return runWithEnvironment(batchProgram(),
                              QStringList{QStringLiteral("sql"), QStringLiteral("--userid"), userId(),
                                          QStringLiteral("--commit"), QStringLiteral("-")} +
                                  clientArguments(),
                              environment() + fixedSurrounding,
                              statements.join(QLatin1Char('\n')).toUtf8() + '\n');
}

} // namespace rowpour::testing
