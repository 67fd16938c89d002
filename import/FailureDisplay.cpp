#include "import/FailureDisplay.h"

#include "import/MsgFrm.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>

namespace rowpour
{

namespace
{

void showMessageBox(const QString &title, const QString &text)
{
    TPopupHiddenScope popupHidden;
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

FailureSink &currentSink()
{
    static FailureSink sink = showMessageBox;
    return sink;
}

} // namespace

QString ApplicationTitle(const QString &executablePath)
{
    QString name = QFileInfo(executablePath).fileName();
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    if (name.isEmpty())
        return name;
    return name.left(1).toUpper() + name.mid(1).toLower();
}

QString FailureText(const QString &message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

FailureSink SetFailureSink(FailureSink sink)
{
    FailureSink previous = std::move(currentSink());
    currentSink() = sink ? std::move(sink) : FailureSink(showMessageBox);
    return previous;
}

void ShowFailure(const char *message)
{
    const QString title = ApplicationTitle(QCoreApplication::applicationFilePath());
    currentSink()(title, FailureText(QString::fromUtf8(message)));
}

} // namespace rowpour
