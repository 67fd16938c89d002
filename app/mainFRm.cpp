#include "app/mainFRm.h"

#include "app/WindowImport.h"
#include "import/ArrayInsertSetting.h"
#include "import/FailureDisplay.h"
#include "import/MappingSettings.h"
#include "import/MsgFrm.h"
#include "import/OracleImportDatabase.h"
#include "oracle/OracleLogon.h"
#include "platform/ExeVersion.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMessageBox>
#include <QTimer>

#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QSplitter>
#include <QVBoxLayout>
#include <optional>
#include <utility>

using namespace rowpour::app;
using rowpour::RunGuarded;

namespace rowpour::app
{

std::array<int, 6> GridColumnWidths(int gridWidth)
{
    return WidthShares(gridWidth, mainform::kGridColumnPercent);
}

} // namespace rowpour::app

namespace
{

template <typename Widget> Widget *named(Widget *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QToolButton *flatButton(QWidget *parent, const char *name, const QString &text, const QString &hint)
{
    auto *button = named(new QToolButton(parent), name);
    button->setText(text);
    button->setToolTip(hint);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

TForm1::TForm1(QWidget *parent, const QString &executablePath) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form1"));
    // The window was designed for an 8 point font.
    QFont designFont = font();
    designFont.setPointSize(8);
    setFont(designFont);
    createControls();
    arrangeControls();
    setTabOrder();
    bindCommands();
    configureDatabaseComponents();
    // Room for the preview beside the original controls.
    resize(760, 680);
    FormCreate(executablePath.isEmpty() ? QCoreApplication::applicationFilePath() : executablePath);
}

TForm1::~TForm1() = default;

void TForm1::createControls()
{
    Button1_ = named(new QPushButton(mainform::kConnect, this), "Button1");
    Button2_ = named(new QPushButton(QStringLiteral("Process data"), this), "Button2");
    Button3_ = named(new QPushButton(QStringLiteral("Close"), this), "Button3");
    FilenameEdit1_ = named(new TFilenameEdit(this), "FilenameEdit1");

    SG_ = named(new TStringGrid(this), "SG");
    SG_->setRowCount(5);
    SG_->setToolTip(QString(mainform::kGridHint).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    SG_->resize(mainform::kGridDesignWidth, mainform::kGridDesignHeight);
    SG_->SetColumnShares(mainform::kGridColumnPercent);

    CheckBox1_ = named(new QCheckBox(QStringLiteral("Delete old data before insert"), this), "CheckBox1");
    CheckBox2_ = named(new QCheckBox(QStringLiteral("Seek old record"), this), "CheckBox2");
    CheckBox2_->setChecked(true);
    arrayInsert_ = named(new QCheckBox(QStringLiteral("Array insert"), this), "ArrayInsert");
    ComboBox1_ = named(new QComboBox(this), "ComboBox1");
    ComboBox1_->setEditable(false);
    Edit1_ = named(new QLineEdit(QStringLiteral("1"), this), "Edit1");
    Edit2_ = named(new QLineEdit(this), "Edit2");
    ProgressBar1_ = named(new QProgressBar(this), "ProgressBar1");
    ProgressBar1_->setRange(0, 100);
    ProgressBar1_->setValue(0);
    ProgressBar1_->setTextVisible(false);
    SpeedButton1_ = flatButton(this, "SpeedButton1", QStringLiteral("..."), mainform::kLoadHint);
    SpeedButton2_ = flatButton(this, "SpeedButton2", QStringLiteral("Save"), mainform::kSaveHint);

    Label1_ = named(new QLabel(QStringLiteral("source XLS file "), this), "Label1");
    Label2_ = named(new QLabel(QStringLiteral("field links"), this), "Label2");
    Label3_ = named(new QLabel(QStringLiteral("ORA table"), this), "Label3");
    Label4_ = named(new QLabel(QStringLiteral("start from cell"), this), "Label4");
    Label5_ = named(new QLabel(QStringLiteral("end to cell"), this), "Label5");
    Label6_ = named(new QLabel(QStringLiteral("0/0"), this), "Label6");
    Label7_ = named(new QLabel(mainform::kUpdatesText, this), "Label7");
    RzURLLabel1_ =
        named(new TURLLabel(mainform::kUpdatesUrl, QUrl(mainform::kUpdatesUrl), this), "RzURLLabel1");
    RzURLLabel2_ =
        named(new TURLLabel(mainform::kDonateText, QUrl(mainform::kDonateUrl), this), "RzURLLabel2");
    RzURLLabel2_->SetBlinking(true);

    SheetLabel_ = named(new QLabel(mainform::kSheet, this), "SheetLabel");
    SheetBox_ = named(new QComboBox(this), "SheetBox");
    SheetBox_->setEditable(false);
    SheetBox_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    SheetBox_->setMinimumContentsLength(8);
    SheetLabel_->setBuddy(SheetBox_);
    Preview_ = named(new TSheetPreview(this), "Preview");
    MapByHeaderButton_ =
        flatButton(this, "MapByHeaderButton", mainform::kMapByHeader, mainform::kMapByHeaderHint);
    CheckButton_ = named(new QPushButton(mainform::kCheck, this), "CheckButton");
    CheckButton_->setToolTip(mainform::kCheckHint);
    ErrorsButton_ = named(new QPushButton(mainform::kErrors, this), "ErrorsButton");
    ErrorsButton_->setToolTip(mainform::kErrorsHint);
    ProgressCaption_ = named(new QLabel(mainform::kProgressCaption, this), "ProgressCaption");
    Label6_->setToolTip(mainform::kProgressHint);
    StatusLabel_ = named(new QLabel(mainform::kNotConnected, this), "StatusLabel");
    previewTimer_ = new QTimer(this);
    previewTimer_->setSingleShot(true);
    previewTimer_->setInterval(400);

    Label1_->setBuddy(FilenameEdit1_);
    Label3_->setBuddy(ComboBox1_);
    Label4_->setBuddy(Edit1_);
    Label5_->setBuddy(Edit2_);
}

void TForm1::arrangeControls()
{
    auto *links = new QVBoxLayout;
    auto *updates = new QHBoxLayout;
    updates->addWidget(Label7_);
    updates->addWidget(RzURLLabel1_);
    updates->addStretch(1);
    links->addLayout(updates);
    links->addWidget(RzURLLabel2_);
    auto *top = new QHBoxLayout;
    top->addWidget(Button1_, 0, Qt::AlignTop);
    top->addLayout(links, 1);

    auto *source = new QHBoxLayout;
    source->addWidget(Label1_);
    source->addWidget(FilenameEdit1_, 1);
    source->addWidget(SheetLabel_);
    source->addWidget(SheetBox_);

    auto *table = new QHBoxLayout;
    table->addWidget(Label3_);
    table->addWidget(ComboBox1_, 1);

    auto *links2 = new QHBoxLayout;
    links2->addWidget(Label2_);
    links2->addStretch(1);
    links2->addWidget(MapByHeaderButton_);
    links2->addWidget(SpeedButton2_);
    links2->addWidget(SpeedButton1_);

    auto *checks = new QVBoxLayout;
    checks->addWidget(CheckBox1_);
    checks->addWidget(CheckBox2_);
    checks->addWidget(arrayInsert_);
    auto *range = new QGridLayout;
    range->addWidget(Label4_, 0, 0);
    range->addWidget(Edit1_, 0, 1);
    range->addWidget(Label5_, 1, 0);
    range->addWidget(Edit2_, 1, 1);
    Edit1_->setMaximumWidth(70);
    Edit2_->setMaximumWidth(70);
    auto *options = new QHBoxLayout;
    options->addLayout(checks);
    options->addStretch(1);
    options->addLayout(range);
    options->addStretch(1);
    auto *runs = new QVBoxLayout;
    runs->addWidget(CheckButton_);
    runs->addWidget(Button2_);
    options->addLayout(runs);

    auto *counters = new QHBoxLayout;
    counters->addWidget(ProgressCaption_);
    counters->addWidget(Label6_, 1);
    auto *progress = new QVBoxLayout;
    progress->addWidget(ProgressBar1_);
    progress->addLayout(counters);
    auto *closing = new QVBoxLayout;
    closing->addWidget(ErrorsButton_);
    closing->addWidget(Button3_);
    auto *bottom = new QHBoxLayout;
    bottom->addLayout(progress, 1);
    bottom->addLayout(closing);

    auto *grids = new QSplitter(Qt::Vertical, this);
    grids->setObjectName(QStringLiteral("GridSplitter"));
    grids->setChildrenCollapsible(false);
    grids->addWidget(SG_);
    grids->addWidget(Preview_);
    grids->setStretchFactor(0, 1);
    grids->setStretchFactor(1, 1);

    auto *window = new QVBoxLayout(this);
    window->setContentsMargins(8, 8, 8, 8);
    window->addLayout(top);
    window->addLayout(source);
    window->addLayout(table);
    window->addLayout(links2);
    window->addWidget(grids, 1);
    window->addLayout(options);
    window->addLayout(bottom);
    window->addWidget(StatusLabel_);
}

void TForm1::setTabOrder()
{
    // The original controls' order first; the operator's additions follow.
    QWidget *const order[] = {
        Button1_,          FilenameEdit1_, SG_,           CheckBox1_,    ComboBox1_, Button2_,
        Button3_,          Edit1_,         Edit2_,        ProgressBar1_, CheckBox2_, SheetBox_,
        Preview_->Table(), CheckButton_,   ErrorsButton_, arrayInsert_};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
}

void TForm1::bindCommands()
{
    const auto bind = [this](QAbstractButton *button, void (TForm1::*handler)()) {
        connect(button, &QAbstractButton::clicked, this,
                [this, handler] { RunGuarded([&] { (this->*handler)(); }); });
    };
    bind(Button1_, &TForm1::Button1Click);
    bind(Button2_, &TForm1::Button2Click);
    bind(Button3_, &TForm1::Button3Click);
    bind(SpeedButton1_, &TForm1::SpeedButton1Click);
    bind(SpeedButton2_, &TForm1::SpeedButton2Click);
    connect(ComboBox1_, &QComboBox::activated, this, [this] { RunGuarded([this] { ComboBox1Change(); }); });
    bindOperatorCommands();
}

void TForm1::FormCreate(const QString &executablePath)
{
    for (std::size_t i = 0; i < rowpour::mapping_texts::kHeaders.size(); ++i)
        SG_->setCell(0, int(i), rowpour::mapping_texts::kHeaders[i]);
    // The columns fit their headers and contents and share the width left.
    SG_->FitColumns(true);
    setWindowTitle(mainform::kCaption + mainform::kVersionSeparator +
                   rowpour::platform::ReadFileVersion(executablePath));
}

void TForm1::configureDatabaseComponents()
{
    using namespace rowpour::oracle;
    TOracleSession &session = OracleSession1_;
    session.Cursor = crHourGlass;
    session.SetConnectAs(caNormal);
    session.SetThreadSafe(false);
    session.SetPooling(spNone);
    session.SetMTSOptions(moImplicit | moUniqueServer);
    session.RollbackOnDisconnect = false;
    session.NullValue = nvUnAssigned;
    session.SetSQLTrace(stUnchanged);
    session.SetOptimizerGoal(ogUnchanged);
    session.SetIsolationLevel(ilUnchanged);
    session.BytesPerCharacter = bc1Byte;
    TSessionPreferences &preferences = session.Preferences();
    preferences.FloatPrecision = 0;
    preferences.IntegerPrecision = 0;
    preferences.SmallIntPrecision = -1;
    preferences.SetUseOCI7(false);
    preferences.ConvertCRLF = true;
    preferences.TrimStringFields = true;
    preferences.MaxStringFieldSize = 0;
    preferences.ZeroDateIsNull = true;
    preferences.NullLOBIsEmpty = false;

    TOracleLogon &logon = OracleLogon1_;
    logon.SetSession(&session);
    logon.Retries = 2;
    logon.Options = ldAuto | ldDatabase | ldDatabaseList | ldLogonHistory | ldConnectAs;
    logon.AliasDropDownCount = 8;
    logon.HistoryRegSection = QStringLiteral("rowpour");
    logon.HistorySize = 6;
    logon.HistoryWithPassword = true;

    ods1_.SetSession(&session);
    ods1_.SetSQL({mainform::kTableListSql});
    ods1_.SetReadBuffer(25);
    ods1_.SetOptimize(true);
    ods1_.QueryAllRecords = true;
    ods1_.MainQuery().Debug = false;
    ods1_.MainQuery().StringFieldsOnly = false;
}

void TForm1::openListing(const QString &statement)
{
    // A listing that failed half-way may have left the set open.
    if (ods1_.Active())
        ods1_.Close();
    ods1_.SQL().clear();
    ods1_.SQL().append(statement);
    ods1_.Open();
}

void TForm1::Button1Click()
{
    if (importRunning_)
        return;
    if (FConnected) {
        OracleSession1_.SetConnected(false);
        FConnected = false;
        Button1_->setText(mainform::kConnect);
        UpdateCommands();
        return;
    }
    if (!OracleLogon1_.Execute())
        return;
    // Execute also answers true after attempts that all failed; the logon
    // window has shown each failure, so the window just stays disconnected.
    if (!OracleSession1_.Connected())
        return;
    FConnected = true;
    Button1_->setText(mainform::kDisconnect);
    UpdateCommands();
    ComboBox1_->clear();
    openListing(mainform::kTableListSql);
    const int tables = ods1_.RecordCount();
    for (int i = 0; i < tables; ++i) {
        ComboBox1_->addItem(ods1_.FieldByName(QStringLiteral("TABLE_NAME")).AsString());
        ods1_.Next();
    }
    // Filling an empty list selects its first entry; no table is chosen yet.
    ComboBox1_->setCurrentIndex(-1);
    ods1_.Close();
}

void TForm1::ComboBox1Change()
{
    if (importRunning_) {
        // The run reads the table name for every row: the pick is undone.
        ComboBox1_->setCurrentIndex(tableIndexDuringImport_);
        return;
    }
    openListing(mainform::kColumnListSqlStart + ComboBox1_->currentText() + mainform::kColumnListSqlEnd);
    const int columns = ods1_.RecordCount();
    SG_->setRowCount(columns + 1);
    for (int row = 1; row <= columns; ++row) {
        SG_->setCell(row, 0, ods1_.FieldByName(QStringLiteral("COLUMN_NAME")).AsString());
        SG_->setCell(row, 1, ods1_.FieldByName(QStringLiteral("DATA_TYPE")).AsString());
        SG_->setCell(row, 2, QStringLiteral("1"));
        ods1_.Next();
    }
    ods1_.Close();
    SG_->FitColumns(true);
}

void TForm1::lockForImport(bool locked)
{
    QWidget *const locks[] = {
        Button1_,           Button2_,     FilenameEdit1_, SG_,           CheckBox1_,    CheckBox2_,
        ComboBox1_,         Edit1_,       Edit2_,         SpeedButton1_, SpeedButton2_, SheetBox_,
        MapByHeaderButton_, CheckButton_, arrayInsert_};
    for (QWidget *widget : locks)
        widget->setEnabled(!locked);
    if (!locked)
        UpdateCommands();
}

void TForm1::Button2Click()
{
    if (importRunning_)
        return;
    importRunning_ = true;
    tableIndexDuringImport_ = ComboBox1_->currentIndex();
    lockForImport(true);
    // Unlocks and resets the running state on every way out, then closes the
    // window if that was asked for meanwhile (after the failure display, if any).
    struct RunningState {
        TForm1 &form;
        ~RunningState()
        {
            form.importRunning_ = false;
            form.lockForImport(false);
            if (form.pendingClose_ != PendingClose::None)
                QTimer::singleShot(0, &form, [f = &form] { f->finishPendingClose(); });
        }
    } runningState{*this};

    rowpour::ImportOptions options;
    options.fileName = FilenameEdit1_->Text();
    options.startRowText = Edit1_->text();
    options.endRowText = Edit2_->text();
    options.deleteFirst = CheckBox1_->isChecked();
    options.arrayRows = arrayInsert_->isChecked() ? mainform::kArrayInsertRows : 0;
    rowpour::app::WindowImportSurroundings surroundings(*this);
    rowpour::OracleImportDatabase database(OracleSession1_, ods1_);
    rowpour::RunImport(options, surroundings, database);
}

void TForm1::finishPendingClose()
{
    const PendingClose pending = std::exchange(pendingClose_, PendingClose::None);
    if (pending == PendingClose::CloseButton)
        RunGuarded([this] { Button3Click(); });
    else if (pending == PendingClose::Frame)
        close();
}

void TForm1::askToStopImport(PendingClose how)
{
    if (askingToStop_ || pendingClose_ != PendingClose::None)
        return;
    askingToStop_ = true;
    TPopupHiddenScope popupHidden;
    QMessageBox box(QMessageBox::Question, mainform::kStopCaption, mainform::kStopQuestion,
                    QMessageBox::NoButton, this);
    QPushButton *stop = box.addButton(mainform::kStopAndClose, QMessageBox::AcceptRole);
    QPushButton *keepRunning = box.addButton(mainform::kKeepRunning, QMessageBox::RejectRole);
    box.setDefaultButton(keepRunning);
    box.setEscapeButton(keepRunning);
    box.exec();
    askingToStop_ = false;
    if (box.clickedButton() == stop)
        pendingClose_ = how;
}

void TForm1::closeEvent(QCloseEvent *event)
{
    if (checkRunning_) {
        // A check has nothing to undo: it stops after its current row, then the window closes.
        event->ignore();
        pendingClose_ = PendingClose::Frame;
        return;
    }
    if (importRunning_) {
        event->ignore();
        askToStopImport(PendingClose::Frame);
        return;
    }
    QWidget::closeEvent(event);
}

void TForm1::Button3Click()
{
    if (checkRunning_) {
        pendingClose_ = PendingClose::CloseButton;
        return;
    }
    if (importRunning_) {
        askToStopImport(PendingClose::CloseButton);
        return;
    }
    if (FConnected)
        DisconnectSession();
    close();
}

void TForm1::DisconnectSession()
{
    OracleSession1_.SetConnected(false);
}

namespace
{

// The file dialog of the mapping commands: no title or default extension of
// its own, mapping files or all files, an empty file name each time.
QString askMappingFile(QWidget *parent, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent);
    dialog.setNameFilters(mainform::kMappingFilters);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

void TForm1::SpeedButton1Click()
{
    if (importRunning_)
        return;
    const QString fileName = askMappingFile(this, QFileDialog::AcceptOpen);
    if (fileName.isEmpty())
        return;
    const QList<rowpour::TColumnMapping> rows = rowpour::LoadMapping(fileName);
    SG_->setRowCount(int(rows.size()) + 1);
    for (int i = 0; i < rows.size(); ++i) {
        for (int column = 0; column < rowpour::kMappingColumnCount; ++column)
            SG_->setCell(i + 1, column, rows[i].field(column));
    }
    SG_->FitColumns(true);
    chooseSavedSheet(rowpour::LoadMappingSheet(fileName));
    if (const std::optional<bool> arrayInsert = rowpour::LoadArrayInsertSetting(fileName))
        arrayInsert_->setChecked(*arrayInsert);
}

void TForm1::SpeedButton2Click()
{
    const QString fileName = askMappingFile(this, QFileDialog::AcceptSave);
    if (fileName.isEmpty())
        return;
    rowpour::SaveMapping(fileName, *SG_, ChosenSheet().name);
    rowpour::SaveArrayInsertSetting(fileName, arrayInsert_->isChecked());
}
