#pragma once
// The import errors window: the import run appends one entry per failed row
// and shows the window; the operator may edit the text and save it. Created
// hidden at start-up, it keeps its text until the program ends.

#include "import/ImportTexts.h"

#include <QFileDialog>
#include <QFrame>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QWidget>

class TForm2 : public QWidget
{
    Q_OBJECT
public:
    explicit TForm2(QWidget *parent = nullptr);

    // Adds text as new lines at the end of the log; a text that ends with a
    // line break is followed by an empty line.
    void AppendEntry(const QString &text);
    // Adds the entry of a failed row, then the database's message for it on
    // lines of their own (a message of several lines stays whole), then the
    // empty line that ends every entry.
    void AppendFailure(const QString &entry, const QString &databaseMessage);
    // Shows the window, not modal, in front.
    void ShowErrors();

    // The log as a list of lines, as it is saved.
    QStringList Lines() const;
    // Writes every line ended by CR LF, replacing the file; the text is written
    // in Windows-1251, or as UTF-8 with a byte order mark when it does not fit.
    // Throws std::runtime_error (kCannotCreateFile) when the file cannot be written.
    void SaveToFile(const QString &fileName) const;

    QPlainTextEdit *Memo1() const { return Memo1_; }

    void Button1Click(); // "Close": hides the window, the text stays
    void Button2Click(); // "Сохранить": asks for a file name and saves

private:
    QPlainTextEdit *Memo1_;
    QFrame *Panel1_;
    QPushButton *Button1_;
    QPushButton *Button2_;
    QFileDialog *SD_;
    QString lastFileName_;
};
