#include "oracle/OracleLogonComponent.h"

#include "oracle/DesktopServices.h"
#include "oracle/LogonHistory.h"
#include "oracle/Oracle.h"
#include "oracle/OracleCI.h"
#include "platform/CommandLine.h"

#include <algorithm>
#include <stdexcept>

namespace rowpour::oracle
{

namespace
{

// Carries the logon fields where no window can be shown (a program without
// widgets): automatic logons work, anything that needs the operator fails
// with a message instead of passing silently.
class HeadlessLogonWindow : public ILogonWindow
{
public:
    QString Username() const override { return username_; }
    void SetUsername(const QString &text) override { username_ = text; }
    QString Password() const override { return password_; }
    void SetPassword(const QString &text) override { password_ = text; }
    QString Database() const override { return database_; }
    void SetDatabase(const QString &text) override { database_ = text; }
    int ConnectAsIndex() const override { return connectAs_; }
    void SetConnectAsIndex(int index) override { connectAs_ = index; }
    bool ShowModal() override { throw std::runtime_error(texts::NoLogonWindow); }
    bool ControlHeldOnOK() const override { return false; }

private:
    QString username_;
    QString password_;
    QString database_;
    int connectAs_ = 0;
};

class HeadlessLogonUi : public ILogonUi
{
public:
    std::unique_ptr<ILogonWindow> CreateLogonWindow(const TLogonWindowSetup &) override
    {
        return std::make_unique<HeadlessLogonWindow>();
    }
    void ShowMessage(const QString &text) override { throw std::runtime_error(text.toStdString()); }
    void ShowInformation(const QString &) override {}
    bool Confirm(const QString &) override { return false; }
};

std::shared_ptr<ILogonUi> currentUi()
{
    std::shared_ptr<ILogonUi> ui = InstalledDesktopServices()->logonUi();
    return ui ? ui : WindowlessLogonUi();
}

int connectAsIndexOf(TConnectAsOption connectAs)
{
    switch (connectAs) {
    case caSYSDBA:
        return 1;
    case caSYSOPER:
        return 2;
    default:
        return 0;
    }
}

TConnectAsOption connectAsOfIndex(int index)
{
    switch (index) {
    case 1:
        return caSYSDBA;
    case 2:
        return caSYSOPER;
    default:
        return caNormal;
    }
}

QString connectAsText(TConnectAsOption connectAs)
{
    switch (connectAs) {
    case caSYSDBA:
        return QString::fromLatin1(texts::ConnectAsSYSDBA);
    case caSYSOPER:
        return QString::fromLatin1(texts::ConnectAsSYSOPER);
    default:
        return {};
    }
}

void fillWindowFromSession(ILogonWindow &window, const TOracleSession &session)
{
    window.SetUsername(session.LogonUsername());
    window.SetPassword(session.LogonPassword());
    window.SetDatabase(session.LogonDatabase());
}

TLogonWindowSetup commonSetup()
{
    const auto &texts = LogonTexts();
    TLogonWindowSetup setup;
    setup.Title = texts[ltLogonTitle];
    setup.OKCaption = texts[ltOK];
    setup.CancelCaption = texts[ltCancel];
    setup.UsernameLabel = texts[ltUsername];
    setup.PasswordLabel = texts[ltPassword];
    setup.DatabaseLabel = texts[ltDatabase];
    setup.ConnectAsLabel = texts[ltConnectAs];
    setup.HistoryHint = texts[ltLogonHistory];
    setup.Font = LogonFont();
    return setup;
}

} // namespace

// ---------------------------------------------------------------------------
// Texts and the window seam

const std::array<QString, LogonTextCount> &DefaultLogonTexts()
{
    static_assert(std::size(texts::DefaultLogonTexts) == LogonTextCount);
    static const std::array<QString, LogonTextCount> defaults = [] {
        std::array<QString, LogonTextCount> result;
        for (std::size_t i = 0; i < result.size(); ++i)
            result[i] = QString::fromLatin1(texts::DefaultLogonTexts[i]);
        return result;
    }();
    return defaults;
}

std::array<QString, LogonTextCount> &LogonTexts()
{
    static std::array<QString, LogonTextCount> texts = DefaultLogonTexts();
    return texts;
}

TLogonFont &LogonFont()
{
    static TLogonFont font;
    return font;
}

bool &LogonUserIdParameterDisabled()
{
    static bool disabled = false;
    return disabled;
}

std::shared_ptr<ILogonUi> WindowlessLogonUi()
{
    static const auto windowless = std::make_shared<HeadlessLogonUi>();
    return windowless;
}

// ---------------------------------------------------------------------------
// TOracleLogon

TOracleSession *TOracleLogon::Session() const
{
    // Sessions leave the process-wide list when destroyed.
    const std::vector<TOracleSession *> sessions = TOracleSession::Sessions();
    return std::find(sessions.begin(), sessions.end(), session_) != sessions.end() ? session_ : nullptr;
}

bool TOracleLogon::Execute()
{
    TOracleSession *session = Session();
    if (!session)
        return false;
    THistoryItems &history = LogonHistory();
    const bool withHistory = (Options & ldLogonHistory) != 0;
    if (withHistory) {
        history.WithPassword = HistoryWithPassword;
        history.MaxItems = HistorySize;
        if (!HistoryRegSection.isEmpty()) {
            history.Clear();
            history.LoadFromRegistry(HistoryRegSection);
        }
    }
    if (!Caption.isEmpty())
        LogonTexts()[ltLogonTitle] = Caption;
    const bool result = RunDialog(*session);
    if (withHistory)
        history.SaveToRegistry(HistoryRegSection);
    return result;
}

bool TOracleLogon::ConnectAsRowAvailable(const TOracleSession &session) const
{
    const ClientLibrary &library = ClientLibrary::instance();
    return (Options & ldConnectAs) && library.Flags().OCI8Available && !session.Preferences().UseOCI7() &&
           !library.OCI8SwitchedOff();
}

TLogonWindowSetup TOracleLogon::LogonWindowSetup(const TOracleSession &session) const
{
    TLogonWindowSetup setup = commonSetup();
    setup.DatabaseList = (Options & ldDatabaseList) != 0;
    if (setup.DatabaseList) {
        setup.AliasDropDownCount = AliasDropDownCount;
        setup.Aliases = ClientLibrary::instance().DatabaseAliases();
    }
    setup.HistoryButton = (Options & ldLogonHistory) != 0;
    setup.HistoryEnabled = LogonHistory().Count() > 0;
    setup.DatabaseRow = (Options & ldDatabase) != 0;
    // Asked after the alias list, which may have loaded the client library.
    setup.ConnectAsRow = ConnectAsRowAvailable(session);
    return setup;
}

bool TOracleLogon::TakeAutomaticLogon(ILogonWindow &window, const TOracleSession &session, int attempt)
{
    if (attempt != 0 || !(Options & ldAuto))
        return false;
    Options &= ~ldAuto;
    if (!LogonUserIdParameterDisabled()) {
        const QString userId = platform::CommandLine::parameter(QString::fromLatin1(texts::UserIdParameter));
        if (!userId.isEmpty()) {
            window.SetUsername(userId);
            window.SetPassword(QString());
            window.SetDatabase(QString());
            return true;
        }
    }
    return !session.LogonUsername().isEmpty() && !session.LogonPassword().isEmpty();
}

bool TOracleLogon::RunDialog(TOracleSession &session)
{
    const std::shared_ptr<ILogonUi> ui = currentUi();
    std::unique_ptr<ILogonWindow> window = ui->CreateLogonWindow(LogonWindowSetup(session));
    fillWindowFromSession(*window, session);
    window->SetConnectAsIndex(connectAsIndexOf(session.ConnectAs()));

    bool result = false;
    int attempt = 0;
    bool ok = false;
    do {
        bool recordInHistory = true;
        ok = TakeAutomaticLogon(*window, session, attempt);
        if (!ok) {
            ok = window->ShowModal();
            recordInHistory = !(ok && window->ControlHeldOnOK());
        }
        ++attempt;
        if (ok) {
            result = true;
            Attempt(session, *window, recordInHistory, ui.get());
        }
    } while (!session.Connected() && ok && attempt <= Retries);
    return result;
}

void TOracleLogon::Attempt(TOracleSession &session, ILogonWindow &window, bool recordInHistory, ILogonUi *ui)
{
    session.SetLogonUsername(window.Username());
    session.SetLogonPassword(window.Password());
    session.SetLogonDatabase(window.Database());
    session.SetConnectAs((Options & ldConnectAs) ? connectAsOfIndex(window.ConnectAsIndex()) : caNormal);
    try {
        if (session.BridgeMode() && (Options & ldDatabaseList)) {
            session.LogOff();
            UnloadClientLibrary();
        }
        session.LogOn();
        const QString graceWarning = session.PasswordExpiryWarning();
        if (!graceWarning.isEmpty()) {
            if (ui->Confirm(graceWarning + QStringLiteral("\r\n") + LogonTexts()[ltChangeNow]))
                ShowPasswordDialog(&session, LogonTexts()[ltPasswordExpired]);
        } else if (!session.LogonWarning().isEmpty()) {
            ui->ShowInformation(session.LogonWarning());
        }
        if ((Options & ldLogonHistory) && recordInHistory)
            LogonHistory().AddLogon(session.LogonUsername(), session.LogonPassword(), true,
                                    connectAsText(session.ConnectAs()), session.LogonDatabase());
    } catch (const EOracleError &error) {
        constexpr int PasswordExpired = 28001;
        if (error.ErrorNumber() == PasswordExpired && ClientLibrary::instance().Flags().OCI8Enabled)
            ShowPasswordDialog(&session, LogonTexts()[ltPasswordExpired]);
        else
            ui->ShowMessage(error.Message());
    }
    fillWindowFromSession(window, session);
}

// ---------------------------------------------------------------------------
// Change-password window

bool ShowPasswordDialog(TOracleSession *session, const QString &title)
{
    if (!session)
        throw std::runtime_error(texts::SessionUndefined);
    const auto &texts = LogonTexts();
    TLogonWindowSetup setup = commonSetup();
    setup.Title = title;
    setup.UsernameLabel = texts[ltNewPassword];
    setup.PasswordLabel = texts[ltVerification];
    setup.PasswordForm = true;
    setup.DatabaseRow = false;
    setup.ConnectAsRow = false;
    const std::shared_ptr<ILogonUi> ui = currentUi();
    std::unique_ptr<ILogonWindow> window = ui->CreateLogonWindow(setup);
    for (;;) {
        if (!window->ShowModal())
            return false;
        // Passwords are compared exactly: a new password that differs from its
        // verification only in letter case is not what the operator meant twice.
        if (window->Username() != window->Password()) {
            ui->ShowMessage(texts[ltVerificationFailed]);
            continue;
        }
        try {
            session->ChangePassword(window->Password());
            if (!session->Connected())
                session->LogOn();
            return true;
        } catch (const EOracleError &error) {
            ui->ShowMessage(error.Message());
        }
    }
}

} // namespace rowpour::oracle
