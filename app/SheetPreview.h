#pragma once
// The preview of the workbook's chosen sheet: its first rows as the import
// will read them, with row and column numbers. The rows are read on a worker
// thread, so a large workbook never freezes the window; the widget shows the
// progress and can cancel. Clicking a row number or a column number tells
// the main window, which uses it for the start row and the XLS field.

#include "app/AppTexts.h"
#include "import/SheetPreview.h"

#include <QAbstractTableModel>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QWidget>

#include <memory>

namespace rowpour::app
{

class PreviewModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void SetData(std::shared_ptr<const SheetPreviewData> data);
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::shared_ptr<const SheetPreviewData> data_;
};

struct PreviewJob;

class TSheetPreview : public QWidget
{
    Q_OBJECT
public:
    explicit TSheetPreview(QWidget *parent = nullptr);
    ~TSheetPreview() override;

    // Starts reading the sheet named `sheetName` (the first when empty or
    // absent) of `file`; a reading still going is cancelled. An empty file
    // name clears the preview.
    void Load(const QString &file, const QString &sheetName);
    void Cancel();
    bool Loading() const { return loading_; }
    // What was read last; null before the first reading has finished.
    std::shared_ptr<const SheetPreviewData> Data() const { return data_; }
    // The spreadsheet row of the preview's current cell, 0 when none.
    int CurrentRow() const;

    QTableView *Table() const { return table_; }
    QLabel *Status() const { return status_; }
    QPushButton *CancelButton() const { return cancel_; }
    QProgressBar *Progress() const { return progress_; }
    void ShowNote(const QString &text);

signals:
    void loaded();                  // a reading has finished (also with an error)
    void rowClicked(int row);       // spreadsheet row, from 1
    void columnClicked(int column); // spreadsheet column, from 1

private:
    void onProgress(int jobId, int rowsRead);
    void onFinished(int jobId, std::shared_ptr<const SheetPreviewData> data);
    void detachJob();
    void showIdle(const QString &text);

    QLabel *status_;
    QProgressBar *progress_;
    QPushButton *cancel_;
    QTableView *table_;
    PreviewModel model_;
    std::shared_ptr<PreviewJob> job_;
    std::shared_ptr<const SheetPreviewData> data_;
    int jobId_ = 0;
    bool loading_ = false;
};

} // namespace rowpour::app
