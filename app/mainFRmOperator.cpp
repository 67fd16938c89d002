// The main window's commands beside the original ones: the sheet list and
// the preview that follow the workbook, picking the start row and XLS fields
// in the preview, mapping by a header row, the check before any change, the
// errors window on demand, and which commands are enabled.

#include "app/WindowImport.h"
#include "app/mainFRm.h"
#include "import/FailureDisplay.h"
#include "import/ImportCheck.h"
#include "import/IntegerText.h"
#include "import/MapByHeader.h"
#include "import/OracleImportDatabase.h"
#include "import/SheetOption.h"
#include "import/Unit2.h"
#include "import/workbook/Workbook.h"

#include <QTimer>

#include <optional>

using namespace rowpour::app;
using rowpour::RunGuarded;

namespace
{

// The check's report in the errors window: the heading, an entry per row the
// table would refuse with its reasons under it, and the summary.
class ErrorsWindowReport : public rowpour::ICheckReport
{
public:
    explicit ErrorsWindowReport(TForm2 *errors) : errors_(errors) {}
    void heading(const QString &text) override
    {
        if (errors_)
            errors_->AppendEntry(text);
    }
    void rowFaults(const QString &entry, const QString &faults) override
    {
        if (errors_)
            errors_->AppendFailure(entry, faults);
    }
    void summary(const QString &text) override
    {
        if (errors_)
            errors_->AppendEntry(text + rowpour::import_texts::kLineEnd);
    }

private:
    TForm2 *errors_;
};

} // namespace

QString rowpour::app::ConnectedUserText(const QString &username, const QString &database)
{
    // The user name may hold a whole connect string, "user/password@alias":
    // the password never reaches the window.
    const qsizetype at = username.indexOf(QLatin1Char('@'));
    QString user = username.left(at < 0 ? username.size() : at);
    QString alias = database.isEmpty() && at >= 0 ? username.mid(at + 1) : database;
    user = user.section(QLatin1Char('/'), 0, 0).trimmed();
    alias = alias.section(QLatin1Char(' '), 0, 0).trimmed();
    if (user.isEmpty())
        user = QStringLiteral("/");
    return alias.isEmpty() ? user : user + QLatin1Char('@') + alias;
}

void TForm1::bindOperatorCommands()
{
    connect(CheckButton_, &QPushButton::clicked, this, [this] { RunGuarded([this] { CheckClick(); }); });
    connect(ErrorsButton_, &QPushButton::clicked, this, [this] { RunGuarded([this] { ErrorsClick(); }); });
    connect(MapByHeaderButton_, &QToolButton::clicked, this,
            [this] { RunGuarded([this] { MapByHeaderClick(); }); });
    connect(ComboBox1_, &QComboBox::currentIndexChanged, this, [this] { UpdateCommands(); });
    connect(FilenameEdit1_->Edit(), &QLineEdit::textChanged, previewTimer_, qOverload<>(&QTimer::start));
    connect(previewTimer_, &QTimer::timeout, this, &TForm1::RefreshPreview);
    connect(SheetBox_, &QComboBox::activated, this, &TForm1::RefreshPreview);
    connect(Preview_, &TSheetPreview::loaded, this, &TForm1::previewLoaded);
    connect(Preview_, &TSheetPreview::rowClicked, this, &TForm1::previewRowClicked);
    connect(Preview_, &TSheetPreview::columnClicked, this, &TForm1::previewColumnClicked);
    UpdateCommands();
}

void TForm1::UpdateCommands()
{
    const bool connected = OracleSession1_.Connected();
    const bool ready = connected && ComboBox1_->currentIndex() >= 0 && !importRunning_;
    Button2_->setEnabled(ready);
    CheckButton_->setEnabled(ready);
    if (!connected) {
        StatusLabel_->setText(mainform::kNotConnected);
        return;
    }
    StatusLabel_->setText(mainform::kConnectedAs.arg(
        ConnectedUserText(OracleSession1_.LogonUsername(), OracleSession1_.LogonDatabase())));
}

rowpour::workbook::SheetChoice TForm1::ChosenSheet() const
{
    if (SheetBox_->currentIndex() < 0 || sheetsFile_ != FilenameEdit1_->Text())
        return {};
    return {1, SheetBox_->currentData().toString()};
}

void TForm1::RefreshPreview()
{
    previewTimer_->stop();
    Preview_->Load(FilenameEdit1_->Text(), SheetBox_->currentData().toString());
}

void TForm1::previewLoaded()
{
    const std::shared_ptr<const rowpour::SheetPreviewData> data = Preview_->Data();
    if (Preview_->Loading() || (data && data->cancelled))
        return;
    if (!data || data->file != FilenameEdit1_->Text()) {
        // Cleared, or read for a name the edit no longer holds: the list is stale.
        if (!data || FilenameEdit1_->Text().trimmed().isEmpty()) {
            SheetBox_->clear();
            sheetsFile_.clear();
        }
        return;
    }
    const QSignalBlocker quiet(SheetBox_);
    SheetBox_->clear();
    for (const rowpour::workbook::SheetInfo &sheet : data->sheets)
        SheetBox_->addItem(rowpour::SheetLabel(sheet), sheet.name);
    SheetBox_->setCurrentIndex(data->sheetIndex);
    sheetsFile_ = data->sheets.empty() ? QString() : data->file;
}

void TForm1::chooseSavedSheet(const QString &name)
{
    const int index = name.isEmpty() ? -1 : SheetBox_->findData(name);
    if (index < 0 || index == SheetBox_->currentIndex())
        return;
    SheetBox_->setCurrentIndex(index);
    RefreshPreview();
}

void TForm1::previewRowClicked(int row)
{
    if (!importRunning_)
        Edit1_->setText(QString::number(row));
}

void TForm1::previewColumnClicked(int column)
{
    if (importRunning_)
        return;
    const QModelIndex current = SG_->currentIndex();
    if (!current.isValid()) {
        Preview_->ShowNote(preview_texts::kSelectMappingRow);
        return;
    }
    SG_->setCell(current.row() + 1, rowpour::ColXlsField, QString::number(column));
}

int TForm1::headerRow() const
{
    if (const int selected = Preview_->CurrentRow(); selected > 0)
        return selected;
    try {
        return std::max(rowpour::parseInteger(Edit1_->text()) - 1, 1);
    } catch (const std::exception &) {
        return 1;
    }
}

QStringList TForm1::headerCells(int row) const
{
    const std::shared_ptr<const rowpour::SheetPreviewData> data = Preview_->Data();
    const rowpour::workbook::SheetChoice sheet = ChosenSheet();
    const bool previewIsOfTheSheet =
        data && data->error.isEmpty() && data->file == FilenameEdit1_->Text() &&
        (sheet.name.isEmpty() ? data->sheetIndex == 0 : data->sheetName() == sheet.name);
    if (previewIsOfTheSheet && std::size_t(row) <= data->rows.size())
        return data->rows[std::size_t(row - 1)];
    if (previewIsOfTheSheet && data->rows.size() < std::size_t(rowpour::kPreviewRows))
        return {}; // the sheet has no values below the rows shown
    const auto book = rowpour::workbook::openWorkbook(FilenameEdit1_->Text(),
                                                      rowpour::platform::OperatorLocale::system(), sheet);
    QStringList cells;
    for (int column = 1, last = book->lastColumnOfRow(row); column <= last; ++column)
        cells.append(book->cellText(row, column));
    return cells;
}

void TForm1::MapByHeaderClick()
{
    if (importRunning_)
        return;
    const int row = headerRow();
    const rowpour::HeaderMapping result =
        rowpour::MatchHeader(*SG_, headerCells(row), row, rowpour::HeaderTargets::EveryRow);
    for (const rowpour::HeaderMatch &match : result.matched)
        SG_->setCell(match.mappingRow, rowpour::ColXlsField, QString::number(match.column));
    SG_->FitColumns(false);
    rowpour::oracle::InstalledDesktopServices()->showImportMessage(mainform::kMapByHeaderCaption,
                                                                   rowpour::DescribeHeaderMapping(result),
                                                                   rowpour::MessageIcon::Information);
}

void TForm1::ErrorsClick()
{
    if (errorsWindow_)
        errorsWindow_->ShowErrors();
}

void TForm1::CheckClick()
{
    if (importRunning_)
        return;
    importRunning_ = true;
    checkRunning_ = true;
    tableIndexDuringImport_ = ComboBox1_->currentIndex();
    lockForImport(true);
    // Unlocks on every way out, then closes the window if that was asked for meanwhile.
    struct CheckingState {
        TForm1 &form;
        ~CheckingState()
        {
            form.importRunning_ = false;
            form.checkRunning_ = false;
            form.lockForImport(false);
            if (form.pendingClose_ != PendingClose::None)
                QTimer::singleShot(0, &form, [f = &form] { f->finishPendingClose(); });
        }
    } checkingState{*this};

    rowpour::ImportOptions options;
    options.fileName = FilenameEdit1_->Text();
    options.startRowText = Edit1_->text();
    options.endRowText = Edit2_->text();
    options.deleteFirst = CheckBox1_->isChecked();
    WindowImportSurroundings surroundings(*this);
    rowpour::OracleImportDatabase database(OracleSession1_, ods1_);
    ErrorsWindowReport report(errorsWindow_);
    const rowpour::CheckResult result = rowpour::RunCheck(options, surroundings, database, database, report);
    if (result.validated && !result.stopped && errorsWindow_)
        errorsWindow_->ShowErrors();
}
