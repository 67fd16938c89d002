#include "DevDbHome.h"

#include "HomeTemplate.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <stdexcept>

namespace rowpour::testing
{

QString buildDir()
{
    return qEnvironmentVariable("ROWPOUR_BUILD_DIR");
}

namespace
{

void require(const ProcessResult &result, const QString &what)
{
    if (result.exitCode != 0)
        throw std::runtime_error(
            (what + QStringLiteral(" failed: ") + QString::fromUtf8(result.err)).toStdString());
}

} // namespace

ProcessResult runProgram(const QString &program, const QStringList &args, const QStringList &environment,
                         const QByteArray &input)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &entry : environment)
        env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
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

DevDbHome::DevDbHome(const QString &alias, const QString &version, const QStringList &systemStatements)
    : alias_(alias)
{
    const QString key = QStringList{alias, version, systemStatements.join(QLatin1Char('\n'))}.join(QChar(0));
    copyHomeTemplate(key, path(), [&](const QString &home) {
        require(runProgram(devdbTool(), {QStringLiteral("home"), home}),
                QStringLiteral("rowpour-devdb home"));
        QStringList args{QStringLiteral("database"), home, alias};
        if (!version.isEmpty())
            args << QStringLiteral("--version") << version;
        require(runProgram(devdbTool(), args), QStringLiteral("rowpour-devdb database"));
        if (!systemStatements.isEmpty())
            require(runProgram(
                        devdbTool(), {QStringLiteral("sql"), home, alias, QStringLiteral("system/manager")},
                        clientNlsEnvironment(), systemStatements.join(QLatin1Char('\n')).toUtf8() + '\n'),
                    QStringLiteral("rowpour-devdb sql"));
    });
}

QStringList DevDbHome::clientNlsEnvironment()
{
    return {QStringLiteral("NLS_LANG=AMERICAN_AMERICA.AL32UTF8"), QStringLiteral("NLS_DATE_FORMAT=DD.MM.RR"),
            QStringLiteral("NLS_NUMERIC_CHARACTERS=.,")};
}

QStringList DevDbHome::environment() const
{
    return QStringList{QStringLiteral("ORACLE_HOME=") + path(),
                       QStringLiteral("TNS_ADMIN=") + path() + "/network/admin"} +
           clientNlsEnvironment();
}

ProcessResult DevDbHome::sql(const QString &userPassword, const QStringList &statements) const
{
    return runProgram(devdbTool(), {QStringLiteral("sql"), path(), alias_, userPassword},
                      clientNlsEnvironment(), statements.join(QLatin1Char('\n')).toUtf8() + '\n');
}

void DevDbHome::createUser(const QString &user, const QString &password) const
{
    require(sql(QStringLiteral("system/manager"),
                {QStringLiteral("create user %1 identified by %2").arg(user, password)}),
            QStringLiteral("create user"));
}

void DevDbHome::addDatabase(const QString &alias, const QStringList &options) const
{
    require(runProgram(devdbTool(), QStringList{QStringLiteral("database"), path(), alias} + options),
            QStringLiteral("rowpour-devdb database"));
}

ProcessResult DevDbHome::batch(const QStringList &args) const
{
    return runProgram(buildDir() + QStringLiteral("/cli/rowpour-batch"), args, environment());
}

} // namespace rowpour::testing
