#include "oracle/OracleLogon.h"

#include "oracle/LogonHistory.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>

namespace rowpour::oracle
{

namespace
{

// Design geometry of the window, in pixels.
constexpr int ClientWidth = 358;
constexpr int ClientHeight = 215;
constexpr int ButtonPanelHeight = 47;
constexpr int GroupLeft = 8;
constexpr int GroupTop = 8;
constexpr int GroupWidth = 343;
constexpr int GroupHeight = 153;
constexpr int GroupBevel = 2;
constexpr int DBPanelHeight = 32;
constexpr int CAPanelHeight = 35;
constexpr int DesignFontPixels = 13;
const char DesignFontName[] = "MS Sans Serif";

// Masks password edits with "*" whatever the desktop style uses.
class AsteriskPasswordStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QLabel *rightAlignedLabel(QWidget *parent, int x, int y, int width)
{
    auto *label = new QLabel(parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setGeometry(x, y, width, 16);
    return label;
}

QFrame *plainPanel(QWidget *parent)
{
    auto *panel = new QFrame(parent);
    panel->setFrameShape(QFrame::NoFrame);
    return panel;
}

int connectAsIndexOfText(const QString &text)
{
    if (text.compare(QLatin1String(texts::ConnectAsSYSDBA), Qt::CaseInsensitive) == 0)
        return 1;
    if (text.compare(QLatin1String(texts::ConnectAsSYSOPER), Qt::CaseInsensitive) == 0)
        return 2;
    return 0;
}

class WidgetLogonUi : public ILogonUi
{
public:
    std::unique_ptr<ILogonWindow> CreateLogonWindow(const TLogonWindowSetup &setup) override
    {
        return std::make_unique<TLogOnForm>(setup);
    }

    void ShowMessage(const QString &text) override
    {
        QMessageBox box(QMessageBox::NoIcon, LogonMessageTitle(), text, QMessageBox::Ok);
        box.exec();
    }

    void ShowInformation(const QString &text) override
    {
        QMessageBox box(QMessageBox::Warning, LogonMessageTitle(), text, QMessageBox::Ok);
        box.exec();
    }

    bool Confirm(const QString &text) override
    {
        QMessageBox box(QMessageBox::Question, LogonMessageTitle(), text, QMessageBox::Yes | QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    }
};

} // namespace

TLogOnForm::TLogOnForm(const TLogonWindowSetup &setup, QWidget *parent) : QDialog(parent)
{
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    QFont font(QString::fromLatin1(DesignFontName));
    font.setPixelSize(DesignFontPixels);
    setFont(font);
    CreateControls();
    ApplySetup(setup);
    Arrange();
    // The window sees every key before its controls do.
    installEventFilter(this);
    for (QWidget *child : findChildren<QWidget *>())
        child->installEventFilter(this);
}

void TLogOnForm::CreateControls()
{
    ButtonPanel = plainPanel(this);
    OKBtn = new QPushButton(ButtonPanel);
    OKBtn->setGeometry(12, 6, 97, 33);
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    CancelBtn = new QPushButton(ButtonPanel);
    CancelBtn->setGeometry(120, 6, 97, 33);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    GroupBox = new QFrame(this);
    GroupBox->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    GroupBox->setLineWidth(GroupBevel);

    auto *asterisks = new AsteriskPasswordStyle;
    asterisks->setParent(this);

    Label1 = rightAlignedLabel(GroupBox, 8, 24, 115);
    UsernameEdit = new QLineEdit(GroupBox);
    UsernameEdit->setGeometry(128, 20, 185, 24);
    UsernameEdit->setStyle(asterisks);
    HistoryBtn = new QToolButton(GroupBox);
    HistoryBtn->setGeometry(316, 20, 20, 25);
    HistoryBtn->setAutoRaise(true);
    HistoryBtn->setArrowType(Qt::DownArrow);
    HistoryBtn->setFocusPolicy(Qt::NoFocus);
    HistoryBtn->hide();
    connect(HistoryBtn, &QToolButton::clicked, this, &TLogOnForm::HistoryBtnClick);

    Label2 = rightAlignedLabel(GroupBox, 8, 56, 115);
    PasswordEdit = new QLineEdit(GroupBox);
    PasswordEdit->setGeometry(128, 52, 185, 24);
    PasswordEdit->setEchoMode(QLineEdit::Password);
    PasswordEdit->setStyle(asterisks);

    DBPanel = plainPanel(GroupBox);
    Label3 = rightAlignedLabel(DBPanel, 8, 4, 113);
    DatabaseEdit = new QLineEdit(DBPanel);
    DatabaseEdit->setGeometry(126, 0, 185, 24);
    AliasList = new QComboBox(DBPanel);
    AliasList->setEditable(true);
    AliasList->setInsertPolicy(QComboBox::NoInsert);
    AliasList->setGeometry(224, 0, 89, 24);
    AliasList->hide();

    CAPanel = plainPanel(GroupBox);
    Label4 = rightAlignedLabel(CAPanel, 8, 4, 113);
    ConnectAsList = new QComboBox(CAPanel);
    ConnectAsList->setGeometry(126, 0, 95, 24);
    ConnectAsList->addItems({QString::fromLatin1(texts::ConnectAsNormal),
                             QString::fromLatin1(texts::ConnectAsSYSDBA),
                             QString::fromLatin1(texts::ConnectAsSYSOPER)});

    HistoryPopup = new QMenu(this);

    setTabOrder(UsernameEdit, PasswordEdit);
    setTabOrder(PasswordEdit, DatabaseEdit);
    setTabOrder(DatabaseEdit, AliasList);
    setTabOrder(AliasList, ConnectAsList);
    setTabOrder(ConnectAsList, OKBtn);
    setTabOrder(OKBtn, CancelBtn);
}

void TLogOnForm::ApplySetup(const TLogonWindowSetup &setup)
{
    if (!setup.Font.Name.isEmpty()) {
        QFont font(setup.Font.Name);
        if (setup.Font.PixelHeight > 0)
            font.setPixelSize(setup.Font.PixelHeight);
        font.setBold(setup.Font.Bold);
        font.setItalic(setup.Font.Italic);
        setFont(font);
    }
    setWindowTitle(setup.Title);
    OKBtn->setText(setup.OKCaption);
    CancelBtn->setText(setup.CancelCaption);
    Label1->setText(setup.UsernameLabel);
    Label2->setText(setup.PasswordLabel);
    Label3->setText(setup.DatabaseLabel);
    Label4->setText(setup.ConnectAsLabel);

    if (setup.PasswordForm)
        UsernameEdit->setEchoMode(QLineEdit::Password);
    if (setup.DatabaseList) {
        AliasList->setMaxVisibleItems(std::max(1, setup.AliasDropDownCount));
        AliasList->setGeometry(DatabaseEdit->geometry());
        AliasList->addItems(setup.Aliases);
        AliasList->show();
        DatabaseEdit->hide();
    }
    if (setup.HistoryButton) {
        HistoryBtn->show();
        HistoryBtn->setEnabled(setup.HistoryEnabled);
        HistoryBtn->setToolTip(setup.HistoryHint);
    }
    DBPanel->setVisible(setup.DatabaseRow && !setup.PasswordForm);
    CAPanel->setVisible(setup.ConnectAsRow && !setup.PasswordForm);
}

// Bottom-aligned rows: the connect-as row lowest, the database row above it;
// a hidden row takes its height from the group and the window.
void TLogOnForm::Arrange()
{
    const bool dbRow = !DBPanel->isHidden();
    const bool caRow = !CAPanel->isHidden();
    const int groupHeight = GroupHeight - (dbRow ? 0 : DBPanelHeight) - (caRow ? 0 : CAPanelHeight);
    const int clientHeight = ClientHeight - (GroupHeight - groupHeight);
    GroupBox->setGeometry(GroupLeft, GroupTop, GroupWidth, groupHeight);
    const int rowWidth = GroupWidth - 2 * GroupBevel;
    int bottom = groupHeight - GroupBevel;
    if (caRow) {
        bottom -= CAPanelHeight;
        CAPanel->setGeometry(GroupBevel, bottom, rowWidth, CAPanelHeight);
    }
    if (dbRow) {
        bottom -= DBPanelHeight;
        DBPanel->setGeometry(GroupBevel, bottom, rowWidth, DBPanelHeight);
    }
    ButtonPanel->setGeometry(0, clientHeight - ButtonPanelHeight, ClientWidth, ButtonPanelHeight);
    setFixedSize(ClientWidth, clientHeight);
}

bool TLogOnForm::DatabaseListInUse() const
{
    return !AliasList->isHidden();
}

QString TLogOnForm::Username() const
{
    return UsernameEdit->text();
}
void TLogOnForm::SetUsername(const QString &text)
{
    UsernameEdit->setText(text);
}
QString TLogOnForm::Password() const
{
    return PasswordEdit->text();
}
void TLogOnForm::SetPassword(const QString &text)
{
    PasswordEdit->setText(text);
}

QString TLogOnForm::Database() const
{
    return DatabaseListInUse() ? AliasList->currentText() : DatabaseEdit->text();
}

void TLogOnForm::SetDatabase(const QString &text)
{
    if (DatabaseListInUse())
        AliasList->setEditText(text);
    else
        DatabaseEdit->setText(text);
}

int TLogOnForm::ConnectAsIndex() const
{
    return ConnectAsList->currentIndex();
}
void TLogOnForm::SetConnectAsIndex(int index)
{
    ConnectAsList->setCurrentIndex(index);
}

bool TLogOnForm::ShowModal()
{
    controlHeldOnOK_ = false;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    return exec() == QDialog::Accepted;
}

void TLogOnForm::done(int result)
{
    if (result == QDialog::Accepted && !controlHeldOnOK_)
        controlHeldOnOK_ = QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
    QDialog::done(result);
}

void TLogOnForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TLogOnForm::FormShow()
{
    if (UsernameEdit->text().isEmpty())
        UsernameEdit->setFocus();
    else
        PasswordEdit->setFocus();
}

bool TLogOnForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (FormKeyDown(key->key(), key->modifiers()))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

bool TLogOnForm::FormKeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (!enter || !modifiers.testFlag(Qt::ControlModifier))
        return false;
    controlHeldOnOK_ = true;
    accept();
    return true;
}

void TLogOnForm::HistoryBtnClick()
{
    HistoryPopup->clear();
    const THistoryItems &history = LogonHistory();
    for (int i = 0; i < history.Count(); ++i) {
        const QString caption = history.Item(i).DisplayText();
        // A lone "-" would read as a separator at the top of the menu.
        if (HistoryPopup->actions().isEmpty() && caption == QLatin1String("-"))
            continue;
        QAction *action = HistoryPopup->addAction(caption);
        action->setData(i);
        connect(action, &QAction::triggered, this, [this, i] { HistoryClick(i); });
    }
    HistoryPopup->popup(HistoryBtn->mapToGlobal(HistoryBtn->rect().bottomLeft()));
}

void TLogOnForm::HistoryClick(int index)
{
    const THistoryItems &history = LogonHistory();
    if (index < 0 || index >= history.Count())
        return;
    const THistoryItem &item = history.Item(index);
    UsernameEdit->setText(item.Username);
    PasswordEdit->setText(history.WithPassword ? item.Password : QString());
    if (DatabaseEdit->isVisibleTo(this))
        DatabaseEdit->setText(item.Database);
    if (AliasList->isVisibleTo(this))
        AliasList->setEditText(item.Database);
    ConnectAsList->setCurrentIndex(connectAsIndexOfText(item.ConnectAsText));
}

std::shared_ptr<ILogonUi> LogonDialogs()
{
    return std::make_shared<WidgetLogonUi>();
}

QString LogonMessageTitle()
{
    QString name = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    return name.left(1).toUpper() + name.mid(1).toLower();
}

} // namespace rowpour::oracle
