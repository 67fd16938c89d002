#include "oracle/Oracle.h"

#include "oracle/OracleCI.h"
#include "oracle/OracleTexts.h"
#include "platform/Registry.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <cstring>

namespace rowpour::oracle
{

using namespace oci;

namespace
{

std::mutex sessionsMutex;
std::vector<TOracleSession *> allSessions;

OraText *text(QByteArray &bytes)
{
    return reinterpret_cast<OraText *>(bytes.data());
}

class BusyScope
{
public:
    explicit BusyScope(TOracleSession &session) : session_(session) { session_.BusyCursorOn(); }
    ~BusyScope() { session_.BusyCursorOff(); }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    TOracleSession &session_;
};

ub4 sessionModeOf(TConnectAsOption connectAs)
{
    switch (connectAs) {
    case caSYSDBA:
        return OCI_SYSDBA;
    case caSYSOPER:
        return OCI_SYSOPER;
    default:
        return OCI_DEFAULT;
    }
}

[[noreturn]] void throwAllocationFailure(const char *call, sword status)
{
    throw std::runtime_error(QString::fromLatin1(texts::HandleAllocationFailed)
                                 .arg(QLatin1String(call))
                                 .arg(status)
                                 .toStdString());
}

// An OCI8 statement handle that is freed on every path.
class StatementHandle
{
public:
    explicit StatementHandle(OCIEnv *env)
    {
        const sword status =
            OCIHandleAlloc(env, reinterpret_cast<void **>(&stmt_), OCI_HTYPE_STMT, 0, nullptr);
        if (status != OCI_SUCCESS || !stmt_)
            throwAllocationFailure("OCIHandleAlloc", status);
    }
    ~StatementHandle() { oci::OCIHandleFree(stmt_, OCI_HTYPE_STMT); }
    StatementHandle(const StatementHandle &) = delete;
    StatementHandle &operator=(const StatementHandle &) = delete;
    OCIStmt *get() const { return stmt_; }

private:
    OCIStmt *stmt_ = nullptr;
};

} // namespace

// ---------------------------------------------------------------------------
// Errors

EOracleError::EOracleError(int errorNumber, const QString &message)
    : std::runtime_error(message.toStdString()), errorNumber_(errorNumber)
{
}

QString OracleMessageFromBuffer(const char *buffer, int size)
{
    const auto length = static_cast<qsizetype>(::strnlen(buffer, static_cast<size_t>(size)));
    QString message = QString::fromUtf8(buffer, length);
    if (message.size() > OracleMessageLengthLimit) {
        message.truncate(OracleMessageLengthLimit);
        if (message.back().isHighSurrogate())
            message.chop(1);
    }
    return message;
}

EOracleError EOracleError::FromErrorHandle(OCIError *errorHandle)
{
    std::array<char, OracleMessageBufferSize> buffer{};
    sb4 number = 0;
    oci::OCIErrorGet(errorHandle, 1, nullptr, &number, reinterpret_cast<OraText *>(buffer.data()),
                     static_cast<ub4>(buffer.size()), OCI_HTYPE_ERROR);
    return EOracleError(number, OracleMessageFromBuffer(buffer.data(), int(buffer.size())));
}

EOracleError EOracleError::FromReturnCode(Lda_Def *lda, ub2 returnCode)
{
    std::array<char, OracleMessageBufferSize> buffer{};
    oci::oerhms(lda, static_cast<sb2>(returnCode), reinterpret_cast<OraText *>(buffer.data()),
                static_cast<sword>(buffer.size()));
    return EOracleError(returnCode, OracleMessageFromBuffer(buffer.data(), int(buffer.size())));
}

// ---------------------------------------------------------------------------
// Logon texts

bool SplitConnectAs(QString &field, QString &modeText)
{
    QString upper = field.toUpper();
    upper.replace(QLatin1Char('\t'), QLatin1Char(' '));
    const qsizetype p = upper.indexOf(QStringLiteral(" AS "));
    if (p < 0)
        return false;
    modeText = upper.mid(p + 4).trimmed();
    field = field.left(p).trimmed();
    return true;
}

int ServerReleaseNumber(const QString &versionText)
{
    static const QRegularExpression patterns[] = {
        QRegularExpression(QStringLiteral("Release\\s+(\\d+)"), QRegularExpression::CaseInsensitiveOption),
        QRegularExpression(QStringLiteral("Oracle(\\d+)"), QRegularExpression::CaseInsensitiveOption),
        QRegularExpression(QStringLiteral("(\\d+)\\.\\d+")),
    };
    for (const QRegularExpression &pattern : patterns) {
        const QRegularExpressionMatch match = pattern.match(versionText);
        if (match.hasMatch())
            return match.captured(1).left(6).toInt();
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Preferences

void TSessionPreferences::Assign(const TSessionPreferences &other)
{
    FloatPrecision = other.FloatPrecision;
    IntegerPrecision = other.IntegerPrecision;
    SmallIntPrecision = other.SmallIntPrecision;
    SetUseOCI7(other.UseOCI7());
    ConvertCRLF = other.ConvertCRLF;
    TrimStringFields = other.TrimStringFields;
    MaxStringFieldSize = other.MaxStringFieldSize;
    ZeroDateIsNull = other.ZeroDateIsNull;
    NullLOBIsEmpty = other.NullLOBIsEmpty;
}

void TSessionPreferences::SetUseOCI7(bool value)
{
    if (value == useOCI7_)
        return;
    if (owner_ && owner_->Connected())
        throw std::runtime_error(texts::CannotChangeUseOCI7);
    useOCI7_ = value;
}

// ---------------------------------------------------------------------------
// Session: life

TOracleSession::TOracleSession()
{
    std::lock_guard lock(sessionsMutex);
    allSessions.push_back(this);
}

TOracleSession::~TOracleSession()
{
    destroying_ = true;
    try {
        LogOff();
    } catch (...) {
        // Destruction cannot report; the server ends what is left.
    }
    for (ISessionClient *client : statements_.snapshot())
        client->SessionDestroyed();
    for (ISessionClient *client : resultSets_.snapshot())
        client->SessionDestroyed();
    try {
        ForgetStaleHandles();
        FreeHandles();
    } catch (...) {
    }
    std::lock_guard lock(sessionsMutex);
    allSessions.erase(std::remove(allSessions.begin(), allSessions.end(), this), allSessions.end());
}

std::vector<TOracleSession *> TOracleSession::Sessions()
{
    std::lock_guard lock(sessionsMutex);
    return allSessions;
}

// ---------------------------------------------------------------------------
// Session: properties

void TOracleSession::SetConnected(bool value)
{
    if (value == connected_)
        return;
    if (value)
        LogOn();
    else
        LogOff();
}

void TOracleSession::SetLogonUsername(const QString &value)
{
    if (value == logonUsername_)
        return;
    logonUsername_ = value;
    UpdateBridgeMode();
}

void TOracleSession::SetLogonPassword(const QString &value)
{
    if (value == logonPassword_)
        return;
    logonPassword_ = value;
    UpdateBridgeMode();
}

void TOracleSession::SetLogonDatabase(const QString &value)
{
    if (value == logonDatabase_)
        return;
    logonDatabase_ = value;
    UpdateBridgeMode();
}

void TOracleSession::UpdateBridgeMode()
{
    const QString odbc = QStringLiteral("ODBC:");
    bridgeMode_ = logonDatabase_.toUpper().contains(odbc) || logonUsername_.toUpper().contains(odbc);
    if (bridgeMode_)
        bridgeInstalled_ =
            !platform::Registry::readString(platform::RegistryRoot::LocalMachine,
                                            QStringLiteral("SOFTWARE\\ORACLE"), QStringLiteral("OCA60"))
                 .isEmpty();
}

void TOracleSession::ApplyBridgeLibrary()
{
    ClientLibrary &library = ClientLibrary::instance();
    if (bridgeMode_ && !bridgeInstalled_ && library.OCIDLL().isEmpty())
        library.SetOCIDLL(QString::fromLatin1(texts::BridgeLibraryFile));
}

void TOracleSession::SetThreadSafe(bool value)
{
    if (value == threadSafe_)
        return;
    if (connected_)
        throw std::runtime_error(texts::CannotChangeThreadSafe);
    threadSafe_ = value;
}

void TOracleSession::SetPooling(TSessionPoolingOption value)
{
    if (value == pooling_)
        return;
    if (connected_)
        throw std::runtime_error(texts::CannotChangePooling);
    pooling_ = value;
}

void TOracleSession::SetMTSOptions(TMTSOptions value)
{
    if (value == mtsOptions_)
        return;
    if (connected_)
        throw std::runtime_error(texts::CannotChangeMTSOptions);
    mtsOptions_ = value;
}

void TOracleSession::SetAutoCommit(bool value)
{
    autoCommit_ = value;
    if (connected_ && !oci8Mode_) {
        if (value)
            oci::ocon(&lda_);
        else
            oci::ocof(&lda_);
        ErrorCheck();
    }
}

void TOracleSession::SetSQLTrace(TSQLTraceOption value)
{
    sqlTrace_ = value;
    if (connected_ && value != stUnchanged)
        RunSessionStatement(QStringLiteral("alter session set sql_trace = ") +
                            (value == stTrue ? QStringLiteral("true") : QStringLiteral("false")));
}

void TOracleSession::SetOptimizerGoal(TOptimizerGoalOption value)
{
    optimizerGoal_ = value;
    if (!connected_ || value == ogUnchanged)
        return;
    static const char *const goals[] = {"", "choose", "first_rows", "all_rows", "rule"};
    RunSessionStatement(QStringLiteral("alter session set optimizer_goal = ") + QLatin1String(goals[value]));
}

void TOracleSession::SetIsolationLevel(TIsolationLevelOption value)
{
    isolationLevel_ = value;
    if (connected_ && value != ilUnchanged)
        RunSessionStatement(
            QStringLiteral("alter session set isolation_level = ") +
            (value == ilReadCommitted ? QStringLiteral("read committed") : QStringLiteral("serializable")));
}

int TOracleSession::BytesPerCharacterCount() const
{
    switch (BytesPerCharacter) {
    case bc2Bytes:
        return 2;
    case bc3Bytes:
        return 3;
    case bc4Bytes:
        return 4;
    default:
        return 1;
    }
}

int TOracleSession::MaxStringSize() const
{
    return (oci8Mode_ ? 4000 : 2000) / BytesPerCharacterCount();
}

// ---------------------------------------------------------------------------
// Session: busy cursor and registries

void TOracleSession::BusyCursorOn()
{
    const bool show = Cursor != crDefault;
    if (show)
        InstalledDesktopServices()->showBusyCursor(Cursor);
    busyShown_.push_back(show);
}

void TOracleSession::BusyCursorOff()
{
    if (busyShown_.empty())
        return;
    const bool shown = busyShown_.back();
    busyShown_.pop_back();
    if (shown)
        InstalledDesktopServices()->restoreCursor();
}

void TOracleSession::Registry::add(ISessionClient *c)
{
    std::lock_guard lock(mutex);
    if (std::find(clients.begin(), clients.end(), c) == clients.end())
        clients.push_back(c);
}

void TOracleSession::Registry::remove(ISessionClient *c)
{
    std::lock_guard lock(mutex);
    clients.erase(std::remove(clients.begin(), clients.end(), c), clients.end());
}

std::vector<ISessionClient *> TOracleSession::Registry::snapshot()
{
    std::lock_guard lock(mutex);
    return clients;
}

void TOracleSession::RegisterStatement(ISessionClient *client)
{
    statements_.add(client);
}
void TOracleSession::UnregisterStatement(ISessionClient *client)
{
    statements_.remove(client);
}
void TOracleSession::RegisterResultSet(ISessionClient *client)
{
    resultSets_.add(client);
}
void TOracleSession::UnregisterResultSet(ISessionClient *client)
{
    resultSets_.remove(client);
}

void TOracleSession::ReleaseClients()
{
    for (ISessionClient *client : statements_.snapshot()) {
        try {
            client->SessionLoggingOff();
        } catch (...) {
            // One statement that cannot release must not keep the session open.
        }
    }
    for (ISessionClient *client : resultSets_.snapshot()) {
        try {
            client->SessionLoggingOff();
        } catch (...) {
        }
    }
}

// ---------------------------------------------------------------------------
// Session: errors

int TOracleSession::ErrorNumber()
{
    if (!oci8Mode_)
        return lda_.rc;
    if (lastStatus_ != OCI_ERROR && lastStatus_ != OCI_SUCCESS_WITH_INFO)
        return lastStatus_;
    std::array<char, OracleMessageBufferSize> buffer{};
    sb4 number = 0;
    oci::OCIErrorGet(error_, 1, nullptr, &number, reinterpret_cast<OraText *>(buffer.data()),
                     static_cast<ub4>(buffer.size()), OCI_HTYPE_ERROR);
    return number;
}

void TOracleSession::RaiseLastError()
{
    if (oci8Mode_)
        throw EOracleError::FromErrorHandle(error_);
    throw EOracleError::FromReturnCode(&lda_, lda_.rc);
}

void TOracleSession::ErrorCheck()
{
    if (ErrorNumber() != 0)
        RaiseLastError();
}

// ---------------------------------------------------------------------------
// Session: logon

QString TOracleSession::ComposeAndSplitConnectText()
{
    QString t = logonUsername_;
    if (!logonPassword_.isEmpty())
        t += QLatin1Char('/') + logonPassword_;
    if (!logonDatabase_.isEmpty())
        t += QLatin1Char('@') + logonDatabase_;
    const qsizetype s = t.indexOf(QLatin1Char('/'));
    qsizetype a = t.indexOf(QLatin1Char('@'));
    if (a < 0)
        a = t.size();
    if (s >= 0) {
        logonUsername_ = t.left(s);
        logonPassword_ = t.mid(s + 1, std::max<qsizetype>(0, a - s - 1));
    } else if (a < t.size()) {
        // "user@database" without a password: the user name ends at the "@".
        logonUsername_ = t.left(a);
    }
    logonDatabase_ = a + 1 < t.size() ? t.mid(a + 1) : QString();

    QString mode;
    if (SplitConnectAs(logonDatabase_, mode) || SplitConnectAs(logonPassword_, mode) ||
        SplitConnectAs(logonUsername_, mode)) {
        if (mode.compare(QStringLiteral("SYSOPER"), Qt::CaseInsensitive) == 0)
            connectAs_ = caSYSOPER;
        else if (mode.compare(QStringLiteral("SYSDBA"), Qt::CaseInsensitive) == 0)
            connectAs_ = caSYSDBA;
        else
            connectAs_ = caNormal;
    }
    UpdateBridgeMode();
    return t;
}

void TOracleSession::ChooseCallMode()
{
    const ClientLibrary &library = ClientLibrary::instance();
    oci8Mode_ = !(preferences_.UseOCI7() || !library.Flags().OCI8Available || library.OCI8SwitchedOff() ||
                  bridgeMode_);
}

void TOracleSession::LogOn()
{
    if (BeforeLogOn)
        BeforeLogOn(*this);
    std::exception_ptr failure;
    try {
        ApplyBridgeLibrary();
        {
            BusyScope busy(*this);
            LoadClientLibrary();
        }
        LogOff();
        ChooseCallMode();
        ldaMode_ = false;
        const QString connectText = ComposeAndSplitConnectText();
        lda_ = {};
        hda_ = {};
        logonWarning_.clear();
        logonWarningNumber_ = 0;
        {
            BusyScope busy(*this);
            if (oci8Mode_)
                LogOnOCI8();
            else
                LogOnOCI7(connectText);
        }
        FinishLogOn();
    } catch (...) {
        failure = std::current_exception();
    }
    ClientLibrary::instance().RestoreWorkingDirectory();
    if (AfterLogOn)
        AfterLogOn(*this);
    if (OnChange)
        OnChange(*this);
    if (failure)
        std::rethrow_exception(failure);
}

// The client's reason for a failed environment creation: its error record on
// the environment handle when it made one.
[[noreturn]] void TOracleSession::RaiseEnvironmentFailure(const char *call, sword status, OCIEnv *env)
{
    if (env) {
        std::array<char, OracleMessageBufferSize> buffer{};
        sb4 number = 0;
        oci::OCIErrorGet(env, 1, nullptr, &number, reinterpret_cast<OraText *>(buffer.data()),
                         static_cast<ub4>(buffer.size()), OCI_HTYPE_ENV);
        oci::OCIHandleFree(env, OCI_HTYPE_ENV);
        const QString message = OracleMessageFromBuffer(buffer.data(), int(buffer.size()));
        if (number != 0 || !message.isEmpty())
            throw EOracleError(number, message);
    }
    throwAllocationFailure(call, status);
}

void TOracleSession::CreateEnvironment()
{
    const BindingFlags &flags = ClientFlags();
    OCIEnv *env = nullptr;
    sword status;
    const char *call;
    const ub4 mode = OCI_OBJECT | (threadSafe_ ? OCI_THREADED : 0);
    // With OCIEnvNlsCreate the client's character set is AL32UTF8 whatever
    // NLS_LANG names; older clients take it from NLS_LANG.
    if (flags.EnvCreateAvailable && entryPoints().OCIEnvNlsCreate) {
        call = "OCIEnvNlsCreate";
        status = oci::OCIEnvNlsCreate(&env, mode, nullptr, nullptr, nullptr, nullptr, 0, nullptr,
                                      OCI_AL32UTF8_ID, OCI_AL32UTF8_ID);
    } else if (flags.EnvCreateAvailable) {
        call = "OCIEnvCreate";
        status = oci::OCIEnvCreate(&env, mode, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
    } else {
        call = "OCIEnvInit";
        status = oci::OCIEnvInit(&env, threadSafe_ ? OCI_DEFAULT : OCI_ENV_NO_MUTEX, 0, nullptr);
    }
    if ((status != OCI_SUCCESS && status != OCI_SUCCESS_WITH_INFO) || !env)
        RaiseEnvironmentFailure(call, status, env);
    env_ = env;
    handlesGeneration_ = ClientLibrary::instance().Generation();
    const auto allocate = [this](auto *&handle, ub4 type) {
        void *h = nullptr;
        const sword s = oci::OCIHandleAlloc(env_, &h, type, 0, nullptr);
        if (s != OCI_SUCCESS || !h)
            throwAllocationFailure("OCIHandleAlloc", s);
        handle = static_cast<std::remove_reference_t<decltype(handle)>>(h);
    };
    allocate(svcCtx_, OCI_HTYPE_SVCCTX);
    allocate(error_, OCI_HTYPE_ERROR);
    allocate(detachError_, OCI_HTYPE_ERROR);
    allocate(server_, OCI_HTYPE_SERVER);
    allocate(session_, OCI_HTYPE_SESSION);
    ub2 charset = 0;
    clientCharsetId_ = oci::OCIAttrGet(env_, OCI_HTYPE_ENV, &charset, nullptr, OCI_ATTR_ENV_CHARSET_ID,
                                       error_) == OCI_SUCCESS
                           ? charset
                           : 0;
}

void TOracleSession::Attach()
{
    ForgetStaleHandles();
    if (!env_)
        CreateEnvironment();
    if (attached_) {
        Track(oci::OCIServerDetach(server_, detachError_, OCI_DEFAULT));
        attached_ = false;
    }
    QByteArray database = logonDatabase_.toUtf8();
    Track(oci::OCIServerAttach(server_, error_, text(database), static_cast<sb4>(database.size()),
                               OCI_DEFAULT));
    ErrorCheck();
    attached_ = true;
    Track(oci::OCIAttrSet(svcCtx_, OCI_HTYPE_SVCCTX, server_, 0, OCI_ATTR_SERVER, error_));
    Track(oci::OCIAttrSet(svcCtx_, OCI_HTYPE_SVCCTX, session_, 0, OCI_ATTR_SESSION, error_));
}

void TOracleSession::LogOnOCI8()
{
    const ub4 mode = sessionModeOf(connectAs_);
    Attach();
    if (logonUsername_.isEmpty() && logonPassword_.isEmpty()) {
        Track(oci::OCISessionBegin(svcCtx_, error_, session_, OCI_CRED_EXT, mode));
    } else {
        QByteArray user = logonUsername_.toUtf8();
        QByteArray password = logonPassword_.toUtf8();
        Track(oci::OCIAttrSet(session_, OCI_HTYPE_SESSION, user.data(), static_cast<ub4>(user.size()),
                              OCI_ATTR_USERNAME, error_));
        Track(oci::OCIAttrSet(session_, OCI_HTYPE_SESSION, password.data(), static_cast<ub4>(password.size()),
                              OCI_ATTR_PASSWORD, error_));
        Track(oci::OCISessionBegin(svcCtx_, error_, session_, OCI_CRED_RDBMS, mode));
    }
    // Success with information is a session that exists: the warning (a
    // password in its grace time, an account about to expire, ...) is kept
    // and the logon goes on.
    if (lastStatus_ == OCI_SUCCESS_WITH_INFO) {
        KeepLogonWarning(EOracleError::FromErrorHandle(error_));
        lastStatus_ = OCI_SUCCESS;
    }
    if (ErrorNumber() == 0)
        CheckServerVersion();
}

void TOracleSession::KeepLogonWarning(const EOracleError &warning)
{
    logonWarningNumber_ = warning.ErrorNumber();
    logonWarning_ = warning.Message();
}

void TOracleSession::AbandonSession()
{
    try {
        oci::OCISessionEnd(svcCtx_, error_, session_, OCI_DEFAULT);
    } catch (...) {
    }
}

// Servers of release 8 and later keep the OCI8 call set; an older server is
// switched to the OCI7 call set through a converted logon data area.
void TOracleSession::CheckServerVersion()
{
    std::array<char, 501> buffer{};
    Track(oci::OCIServerVersion(server_, error_, reinterpret_cast<OraText *>(buffer.data()),
                                static_cast<ub4>(buffer.size()), static_cast<ub1>(OCI_HTYPE_SERVER)));
    if (lastStatus_ != OCI_SUCCESS) {
        const EOracleError failure = EOracleError::FromErrorHandle(error_);
        AbandonSession();
        throw failure;
    }
    serverVersion_ = QString::fromUtf8(buffer.data(), qsizetype(::strnlen(buffer.data(), buffer.size())));
    const int release = ServerReleaseNumber(serverVersion_);
    if (release == 0 || release >= 8)
        return;
    if (!ClientFlags().OCI7Available) {
        AbandonSession();
        throw std::runtime_error(QString::fromLatin1(texts::ServerNeedsOCI7)
                                     .arg(serverVersion_.section(QLatin1Char('\n'), 0, 0).trimmed(),
                                          ClientLibrary::instance().OCIDLL())
                                     .toStdString());
    }
    Track(oci::OCISvcCtxToLda(svcCtx_, error_, &lda_));
    if (ErrorNumber() != 0) {
        const EOracleError failure = EOracleError::FromErrorHandle(error_);
        AbandonSession();
        throw failure;
    }
    oci8Mode_ = false;
    ldaMode_ = true;
}

void TOracleSession::LogOnOCI7(const QString &connectText)
{
    serverVersion_.clear();
    handlesGeneration_ = ClientLibrary::instance().Generation();
    QByteArray logon = connectText.toUtf8();
    const sword result = entryPoints().olog ? oci::olog(&lda_, hda_.bytes, text(logon), -1, nullptr, -1,
                                                        nullptr, -1, OCI_LM_DEF)
                                            : oci::orlon(&lda_, hda_.bytes, text(logon), -1, nullptr, -1, 0);
    // A logon call that succeeds with a return code left in the logon data
    // area has logged on with a warning; the code is taken out of the area
    // so that the next calls on it do not read it as their own failure.
    if (lda_.rc != 0 && (result == 0 || lda_.rc == ORA_PASSWORD_WILL_EXPIRE)) {
        KeepLogonWarning(EOracleError::FromReturnCode(&lda_, lda_.rc));
        lda_.rc = 0;
    }
}

void TOracleSession::FinishLogOn()
{
    const int number = ErrorNumber();
    if (number != 0) {
        logonWarning_.clear();
        logonWarningNumber_ = 0;
        RaiseLastError();
    }
    connected_ = true;
    ReapplySessionSettings();
}

void TOracleSession::ReapplySessionSettings()
{
    if (autoCommit_) {
        autoCommit_ = false;
        SetAutoCommit(true);
    }
    if (const TSQLTraceOption trace = sqlTrace_; trace != stUnchanged) {
        sqlTrace_ = stUnchanged;
        SetSQLTrace(trace);
    }
    if (const TOptimizerGoalOption goal = optimizerGoal_; goal != ogUnchanged) {
        optimizerGoal_ = ogUnchanged;
        SetOptimizerGoal(goal);
    }
    if (const TIsolationLevelOption level = isolationLevel_; level != ilUnchanged) {
        isolationLevel_ = ilUnchanged;
        SetIsolationLevel(level);
    }
}

// ---------------------------------------------------------------------------
// Session: logoff

void TOracleSession::LogOff()
{
    ForgetStaleHandles();
    if (connected_) {
        if (RollbackOnDisconnect) {
            try {
                Rollback();
            } catch (...) {
                // Logging off goes on; the server rolls back what is left.
            }
        }
        ReleaseClients();
        connected_ = false;
        {
            BusyScope busy(*this);
            EndSession();
        }
        if (!destroying_ && OnChange)
            OnChange(*this);
    }
    Detach();
    if (oci8Mode_ && env_)
        FreeHandles();
}

void TOracleSession::EndSession()
{
    if (!oci8Mode_ && ldaMode_) {
        Track(oci::OCILdaToSvcCtx(&svcCtx_, error_, &lda_));
        oci8Mode_ = true;
        ldaMode_ = false;
    }
    if (oci8Mode_)
        Track(oci::OCISessionEnd(svcCtx_, error_, session_, OCI_DEFAULT));
    else
        oci::ologof(&lda_);
    ErrorCheck();
}

void TOracleSession::Detach()
{
    if (!attached_)
        return;
    Track(oci::OCIServerDetach(server_, error_, OCI_DEFAULT));
    attached_ = false;
    ErrorCheck();
}

void TOracleSession::FreeHandles()
{
    if (!env_)
        return;
    const auto release = [](auto *&handle, ub4 type) {
        if (handle)
            oci::OCIHandleFree(handle, type);
        handle = nullptr;
    };
    release(server_, OCI_HTYPE_SERVER);
    release(svcCtx_, OCI_HTYPE_SVCCTX);
    release(error_, OCI_HTYPE_ERROR);
    release(detachError_, OCI_HTYPE_ERROR);
    release(session_, OCI_HTYPE_SESSION);
    release(env_, OCI_HTYPE_ENV);
}

// Handles and a logon data area made by a library that has since been
// unloaded belong to nobody: they are dropped without calls.
void TOracleSession::ForgetStaleHandles()
{
    if (!env_ && !connected_ && !attached_)
        return;
    if (ClientLibraryLoaded() && handlesGeneration_ == ClientLibrary::instance().Generation())
        return;
    env_ = nullptr;
    svcCtx_ = nullptr;
    error_ = nullptr;
    detachError_ = nullptr;
    server_ = nullptr;
    session_ = nullptr;
    attached_ = false;
    connected_ = false;
    ldaMode_ = false;
}

// ---------------------------------------------------------------------------
// Session: transactions and password

void TOracleSession::Commit()
{
    if (!connected_)
        return;
    if (oci8Mode_)
        Track(oci::OCITransCommit(svcCtx_, error_, OCI_DEFAULT));
    else
        oci::ocom(&lda_);
    ErrorCheck();
}

void TOracleSession::Rollback()
{
    if (!connected_)
        return;
    if (oci8Mode_)
        Track(oci::OCITransRollback(svcCtx_, error_, OCI_DEFAULT));
    else
        oci::orol(&lda_);
    ErrorCheck();
}

void TOracleSession::ChangePassword(const QString &newPassword)
{
    ApplyBridgeLibrary();
    {
        BusyScope busy(*this);
        LoadClientLibrary();
    }
    ForgetStaleHandles();
    if (!connected_ && !attached_)
        ChooseCallMode();
    if (oci8Mode_) {
        if (!attached_) {
            ComposeAndSplitConnectText();
            Attach();
        }
        QByteArray user = logonUsername_.toUtf8();
        QByteArray oldPassword = logonPassword_.toUtf8();
        QByteArray password = newPassword.toUtf8();
        BusyScope busy(*this);
        Track(oci::OCIPasswordChange(svcCtx_, error_, text(user), static_cast<ub4>(user.size()),
                                     text(oldPassword), static_cast<ub4>(oldPassword.size()), text(password),
                                     static_cast<ub4>(password.size()), OCI_DEFAULT));
    } else {
        RunSessionStatement(QStringLiteral("alter user ") + logonUsername_ +
                            QStringLiteral(" identified by ") + newPassword);
    }
    ErrorCheck();
    logonPassword_ = newPassword;
}

// Runs one statement of the session's own (settings, password change) on the
// current connection.
void TOracleSession::RunSessionStatement(const QString &statement)
{
    if (!connected_)
        throw std::runtime_error(texts::NotLoggedOn);
    BusyScope busy(*this);
    QByteArray sql = statement.toUtf8();
    if (oci8Mode_) {
        StatementHandle stmt(env_);
        Track(oci::OCIStmtPrepare(stmt.get(), error_, text(sql), static_cast<ub4>(sql.size()), OCI_NTV_SYNTAX,
                                  OCI_DEFAULT));
        ErrorCheck();
        Track(oci::OCIStmtExecute(svcCtx_, stmt.get(), error_, 1, 0, nullptr, nullptr,
                                  autoCommit_ ? OCI_COMMIT_ON_SUCCESS : OCI_DEFAULT));
        ErrorCheck();
        return;
    }
    Cda_Def cursor{};
    if (oci::oopen(&cursor, &lda_, nullptr, -1, -1, nullptr, -1) != 0)
        throw EOracleError::FromReturnCode(&lda_, cursor.rc);
    const auto closeAndRaise = [&]() {
        const ub2 rc = cursor.rc;
        oci::oclose(&cursor);
        throw EOracleError::FromReturnCode(&lda_, rc);
    };
    if (oci::oparse(&cursor, text(sql), -1, 0, OCI7_VERSION_7) != 0)
        closeAndRaise();
    if (oci::oexec(&cursor) != 0)
        closeAndRaise();
    oci::oclose(&cursor);
}

} // namespace rowpour::oracle
