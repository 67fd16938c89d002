#include "import/FailureDisplay.h"

#include "oracle/DesktopServices.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace rowpour
{

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

void ShowFailure(const char *message)
{
    const QString title = ApplicationTitle(QCoreApplication::applicationFilePath());
    oracle::InstalledDesktopServices()->showFailure(title, FailureText(QString::fromUtf8(message)));
}

} // namespace rowpour
