#include "import/Unit2.h"

#include "app/FailureDisplay.h"
#include "platform/CodePage.h"
#include "platform/FileWriting.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

#include <stdexcept>

using namespace rowpour;

namespace
{

const QString kLineBreak = QStringLiteral("\r\n");

[[noreturn]] void failToCreate(const QString &fileName, const QString &reason)
{
    throw std::runtime_error(errorlog_texts::kCannotCreateFile.arg(fileName, reason).toStdString());
}

} // namespace

TForm2::TForm2(QWidget *parent)
    : QWidget(parent, Qt::Window), Memo1_(new QPlainTextEdit(this)), Panel1_(new QFrame(this)),
      Button1_(new QPushButton(QStringLiteral("Close"), Panel1_)),
      Button2_(new QPushButton(QStringLiteral("Сохранить"), Panel1_)), SD_(new QFileDialog(this))
{
    setObjectName(QStringLiteral("Form2"));
    // The window was designed for an 8 point font.
    QFont designFont = font();
    designFont.setPointSize(8);
    setFont(designFont);
    setWindowTitle(errorlog_texts::kCaption);
    // Closing the main window ends the program even while this one is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    setGeometry(606, 108, 598, 415);

    Memo1_->setObjectName(QStringLiteral("Memo1"));
    Memo1_->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Panel1_->setObjectName(QStringLiteral("Panel1"));
    Panel1_->setFixedHeight(38);
    Button1_->setObjectName(QStringLiteral("Button1"));
    Button1_->setGeometry(4, 6, 75, 25);
    Button2_->setObjectName(QStringLiteral("Button2"));
    Button2_->setGeometry(84, 6, 75, 25);

    SD_->setObjectName(QStringLiteral("SD"));
    SD_->setAcceptMode(QFileDialog::AcceptSave);
    SD_->setFileMode(QFileDialog::AnyFile);
    SD_->setOption(QFileDialog::DontConfirmOverwrite);
    SD_->setDefaultSuffix(errorlog_texts::kDefaultSuffix);
    SD_->setNameFilters(errorlog_texts::kFilters);
    lastFileName_ = errorlog_texts::kDefaultFileName;

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Memo1_, 1);
    layout->addWidget(Panel1_);

    connect(Button1_, &QPushButton::clicked, this, [this] { app::RunGuarded([this] { Button1Click(); }); });
    connect(Button2_, &QPushButton::clicked, this, [this] { app::RunGuarded([this] { Button2Click(); }); });
}

void TForm2::AppendEntry(const QString &text)
{
    QString lines = text;
    lines.replace(kLineBreak, QStringLiteral("\n"));
    QTextCursor cursor(Memo1_->document());
    cursor.movePosition(QTextCursor::End);
    // Like a line list: the new lines start at the beginning of the line after
    // the last one, and each of them is ended by a line break.
    if (cursor.block().text().isEmpty())
        cursor.insertText(lines + QLatin1Char('\n'));
    else
        cursor.insertText(QLatin1Char('\n') + lines);
}

void TForm2::AppendFailure(const QString &entry, const QString &databaseMessage)
{
    QString text = entry;
    if (text.endsWith(kLineBreak))
        text.chop(kLineBreak.size());
    QString message = databaseMessage;
    message.replace(kLineBreak, QStringLiteral("\n"));
    message.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    while (message.endsWith(QLatin1Char('\n')))
        message.chop(1);
    if (!message.isEmpty())
        text += kLineBreak + message;
    AppendEntry(text + kLineBreak);
}

void TForm2::ShowErrors()
{
    show();
    raise();
    activateWindow();
}

QStringList TForm2::Lines() const
{
    QStringList lines;
    for (QTextBlock block = Memo1_->document()->begin(); block.isValid(); block = block.next())
        lines.append(block.text());
    // The empty line after the last line break is no line of its own.
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

void TForm2::SaveToFile(const QString &fileName) const
{
    QString text;
    for (const QString &line : Lines())
        text += line + kLineBreak;
    try {
        platform::WriteFileAtomically(fileName, platform::encodeFileText(text));
    } catch (const platform::EFileWriteError &e) {
        failToCreate(fileName, e.reason());
    }
}

void TForm2::Button1Click()
{
    close();
}

void TForm2::Button2Click()
{
    SD_->selectFile(lastFileName_);
    if (SD_->exec() != QDialog::Accepted || SD_->selectedFiles().isEmpty())
        return;
    lastFileName_ = SD_->selectedFiles().constFirst();
    SaveToFile(lastFileName_);
}
