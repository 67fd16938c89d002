#include "app/FilenameEdit.h"

#include "app/FailureDisplay.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>

namespace rowpour::app
{

namespace
{

const QChar kQuote = QLatin1Char('"');

} // namespace

QString QuotedPath(const QString &path)
{
    if (!path.contains(QLatin1Char(' ')) || path.startsWith(kQuote))
        return path;
    return kQuote + path + kQuote;
}

QString UnquotedPath(const QString &text)
{
    QString path = text;
    if (path.startsWith(kQuote))
        path.remove(0, 1);
    if (path.endsWith(kQuote))
        path.chop(1);
    return path;
}

TFilenameEdit::TFilenameEdit(QWidget *parent)
    : QWidget(parent), edit_(new QLineEdit(this)), browse_(new QToolButton(this))
{
    edit_->setObjectName(QStringLiteral("FilenameEdit1Edit"));
    browse_->setObjectName(QStringLiteral("FilenameEdit1Browse"));
    browse_->setText(QStringLiteral("..."));
    browse_->setFocusPolicy(Qt::NoFocus);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(edit_, 1);
    row->addWidget(browse_);
    setFocusProxy(edit_);
    connect(browse_, &QToolButton::clicked, this, [this] { RunGuarded([this] { Browse(); }); });
}

QString TFilenameEdit::startFolder() const
{
    const QString typed = UnquotedPath(edit_->text());
    if (!typed.isEmpty()) {
        const QDir folder = QFileInfo(typed).absoluteDir();
        if (folder.exists())
            return folder.absolutePath();
    }
    if (!lastPicked_.isEmpty())
        return QFileInfo(lastPicked_).absolutePath();
    return QDir::currentPath();
}

void TFilenameEdit::Browse()
{
    QFileDialog dialog(this, QStringLiteral("Browse"), startFolder());
    dialog.setNameFilters(kWorkbookFilters);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    const QString typed = UnquotedPath(edit_->text());
    if (!typed.isEmpty() && QFileInfo(typed).absoluteDir().exists())
        dialog.selectFile(typed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    lastPicked_ = dialog.selectedFiles().constFirst();
    edit_->setText(QuotedPath(QDir::toNativeSeparators(lastPicked_)));
}

} // namespace rowpour::app
