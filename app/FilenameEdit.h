#pragma once
// A file-name edit with a browse button. The operator may type any text; the
// browse button picks an existing file and writes its path, wrapped in double
// quotes when it contains a blank.

#include "app/AppTexts.h"

#include <QLineEdit>
#include <QString>
#include <QStringList>
#include <QToolButton>
#include <QWidget>

namespace rowpour::app
{

// The path as the edit shows it: quoted when it contains a blank and does not
// already start with a double quote.
QString QuotedPath(const QString &path);

// The path without the pair of double quotes QuotedPath may have added.
QString UnquotedPath(const QString &text);

class TFilenameEdit : public QWidget
{
    Q_OBJECT
public:
    explicit TFilenameEdit(QWidget *parent = nullptr);

    QString Text() const { return edit_->text(); }
    void SetText(const QString &text) { edit_->setText(text); }
    QLineEdit *Edit() const { return edit_; }
    QToolButton *BrowseButton() const { return browse_; }

    // Runs the browse dialog (a modal QFileDialog titled "Browse").
    void Browse();

private:
    QString startFolder() const;

    QLineEdit *edit_;
    QToolButton *browse_;
    QString lastPicked_;
};

} // namespace rowpour::app
