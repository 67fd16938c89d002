#include "app/SheetPreview.h"

#include "import/SheetOption.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QThreadPool>
#include <QVBoxLayout>

#include <mutex>

namespace rowpour::app
{

// What the user-interface thread shares with one reading on a worker thread.
// The receiver is cleared (under the lock) when the preview moves on or goes
// away, so the worker never posts to a widget that is gone.
struct PreviewJob {
    std::atomic<bool> cancel{false};
    std::mutex mutex;
    TSheetPreview *receiver = nullptr;
    int id = 0;

    // Runs call(preview) on the user-interface thread, unless the preview has let go.
    template <typename Call> void post(Call call)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (!receiver)
            return;
        TSheetPreview *preview = receiver;
        QMetaObject::invokeMethod(
            preview, [preview, call = std::move(call)] { call(*preview); }, Qt::QueuedConnection);
    }
};

void PreviewModel::SetData(std::shared_ptr<const SheetPreviewData> data)
{
    beginResetModel();
    data_ = std::move(data);
    endResetModel();
}

int PreviewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !data_ ? 0 : int(data_->rows.size());
}

int PreviewModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || !data_ ? 0 : data_->columns;
}

QVariant PreviewModel::data(const QModelIndex &index, int role) const
{
    if (!data_ || !index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const QString text = data_->cell(index.row() + 1, index.column() + 1);
    if (role == Qt::ToolTipRole)
        return text.isEmpty() ? QVariant() : QVariant(text);
    // One line in the table; the whole text in the tool tip.
    return QString(text).replace(QLatin1Char('\n'), QChar(0x21B5));
}

QVariant PreviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (role == Qt::ToolTipRole)
        return QStringLiteral("Column %1 (%2)").arg(section + 1).arg(ColumnLetters(section + 1));
    return QStringLiteral("%1 %2").arg(section + 1).arg(ColumnLetters(section + 1));
}

TSheetPreview::TSheetPreview(QWidget *parent)
    : QWidget(parent), status_(new QLabel(this)), progress_(new QProgressBar(this)),
      cancel_(new QPushButton(preview_texts::kCancel, this)), table_(new QTableView(this))
{
    status_->setObjectName(QStringLiteral("PreviewStatus"));
    status_->setWordWrap(true);
    progress_->setObjectName(QStringLiteral("PreviewProgress"));
    progress_->setRange(0, kPreviewRows);
    progress_->setMaximumWidth(120);
    progress_->setTextVisible(false);
    cancel_->setObjectName(QStringLiteral("PreviewCancel"));
    table_->setObjectName(QStringLiteral("PreviewTable"));
    table_->setModel(&model_);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setTabKeyNavigation(false);
    table_->setWordWrap(false);
    table_->verticalHeader()->setDefaultSectionSize(18);
    table_->horizontalHeader()->setDefaultSectionSize(90);
    table_->horizontalHeader()->setHighlightSections(false);

    auto *bar = new QHBoxLayout;
    bar->addWidget(status_, 1);
    bar->addWidget(progress_);
    bar->addWidget(cancel_);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(bar);
    layout->addWidget(table_, 1);

    connect(cancel_, &QPushButton::clicked, this, &TSheetPreview::Cancel);
    connect(table_->verticalHeader(), &QHeaderView::sectionClicked, this,
            [this](int section) { emit rowClicked(section + 1); });
    connect(table_->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int section) { emit columnClicked(section + 1); });
    showIdle(preview_texts::kIdle);
}

TSheetPreview::~TSheetPreview()
{
    detachJob();
}

void TSheetPreview::detachJob()
{
    if (!job_)
        return;
    job_->cancel = true;
    const std::lock_guard<std::mutex> lock(job_->mutex);
    job_->receiver = nullptr;
}

void TSheetPreview::showIdle(const QString &text)
{
    loading_ = false;
    status_->setText(text);
    progress_->hide();
    cancel_->hide();
}

void TSheetPreview::Load(const QString &file, const QString &sheetName)
{
    detachJob();
    job_.reset();
    const int id = ++jobId_;
    if (file.trimmed().isEmpty()) {
        data_.reset();
        model_.SetData(nullptr);
        showIdle(preview_texts::kIdle);
        emit loaded();
        return;
    }
    auto job = std::make_shared<PreviewJob>();
    job->receiver = this;
    job->id = id;
    job_ = job;
    loading_ = true;
    status_->setText(preview_texts::kOpening.arg(file));
    progress_->setRange(0, 0); // busy until the first row is read
    progress_->show();
    cancel_->show();
    const platform::OperatorLocale locale = platform::OperatorLocale::system();
    QThreadPool::globalInstance()->start([job, file, sheetName, locale] {
        auto data = std::make_shared<const SheetPreviewData>(
            ReadSheetPreview(file, sheetName, kPreviewRows, locale, job->cancel, [&job](int rowsRead) {
                if (rowsRead % 10 == 0)
                    job->post([id = job->id, rowsRead](TSheetPreview &preview) {
                        preview.onProgress(id, rowsRead);
                    });
            }));
        job->post([id = job->id, data](TSheetPreview &preview) { preview.onFinished(id, data); });
    });
}

void TSheetPreview::Cancel()
{
    if (!loading_)
        return;
    detachJob();
    job_.reset();
    ++jobId_;
    showIdle(preview_texts::kCancelled);
    emit loaded();
}

void TSheetPreview::onProgress(int jobId, int rowsRead)
{
    if (jobId != jobId_)
        return;
    progress_->setRange(0, kPreviewRows);
    progress_->setValue(rowsRead);
}

void TSheetPreview::onFinished(int jobId, std::shared_ptr<const SheetPreviewData> data)
{
    if (jobId != jobId_)
        return;
    job_.reset();
    data_ = data;
    model_.SetData(data);
    if (!data->error.isEmpty())
        showIdle(data->error);
    else if (data->rows.empty())
        showIdle(preview_texts::kEmpty.arg(data->sheetName()).arg(kPreviewRows));
    else
        showIdle(preview_texts::kShown.arg(data->sheetName()).arg(data->rows.size()));
    emit loaded();
}

int TSheetPreview::CurrentRow() const
{
    const QModelIndex current = table_->currentIndex();
    return current.isValid() ? current.row() + 1 : 0;
}

void TSheetPreview::ShowNote(const QString &text)
{
    status_->setText(text);
}

} // namespace rowpour::app
