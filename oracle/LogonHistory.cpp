#include "oracle/LogonHistory.h"

#include "oracle/Oracle.h"
#include "platform/Registry.h"

#include <QRandomGenerator>

namespace rowpour::oracle
{

namespace
{

using platform::RegistryRoot;
using platform::Registry::readString;

QString valueName(int n)
{
    return QStringLiteral("Logon") + QString::number(n);
}

QString registryKey(const QString &section)
{
    return section.startsWith(QLatin1Char('\\')) ? section.mid(1) : section;
}

// The stream of key bytes that a scrambled text's random number selects.
class KeyStream
{
public:
    explicit KeyStream(quint32 seed) : state_(seed * 2654435761u + 0x9E3779B9u) {}
    quint8 next()
    {
        state_ = state_ * 1103515245u + 12345u;
        return quint8(state_ >> 16);
    }

private:
    quint32 state_;
};

constexpr int DigitsPerNumber = 3;
constexpr int SeedLimit = 1000;

QString threeDigits(int n)
{
    return QStringLiteral("%1").arg(n, DigitsPerNumber, 10, QLatin1Char('0'));
}

// What the stored value text means: user/password@database, with an optional
// " as MODE" suffix that AddLogon takes apart.
void splitLogonText(const QString &text, QString &user, QString &password, QString &database)
{
    const qsizetype s = text.indexOf(QLatin1Char('/'));
    qsizetype a = text.indexOf(QLatin1Char('@'));
    if (a < 0)
        a = text.size();
    if (a + 1 < text.size())
        database = text.mid(a + 1);
    if (s >= 0)
        password = text.mid(s + 1, std::max<qsizetype>(0, a - s - 1));
    user = text.left(s >= 0 ? s : a);
}

} // namespace

QString THistoryItem::DisplayText() const
{
    QString text = Username;
    if (!Database.isEmpty())
        text += QLatin1Char('@') + Database;
    if (!ConnectAsText.isEmpty())
        text += QStringLiteral(" as ") + ConnectAsText;
    return text;
}

QString THistoryItem::StoredText() const
{
    QString text = Username + QLatin1Char('/') + Password + QLatin1Char('@') + Database;
    if (!ConnectAsText.isEmpty())
        text += QStringLiteral(" as ") + ConnectAsText;
    return text;
}

void THistoryItems::AddLogon(const QString &text, QString password, bool moveToFront, QString connectAsText,
                             QString database)
{
    if (text.isEmpty())
        return;
    QString user;
    splitLogonText(text, user, password, database);
    if (!WithPassword)
        password.clear();

    // The mode comes from the first field that names one; every field loses its suffix.
    QString mode;
    const bool inDatabase = SplitConnectAs(database, mode);
    QString passwordMode;
    const bool inPassword = SplitConnectAs(password, passwordMode);
    QString userMode;
    const bool inUser = SplitConnectAs(user, userMode);
    if (!inDatabase)
        mode = inPassword ? passwordMode : userMode;
    if (inDatabase || inPassword || inUser)
        connectAsText = mode;

    QString key = user.toUpper();
    if (!database.isEmpty())
        key += QLatin1Char('@') + database.toUpper();
    if (!connectAsText.isEmpty())
        key += QStringLiteral(" AS ") + connectAsText;
    for (qsizetype i = items_.size() - 1; i >= 0; --i) {
        if (items_[i].DisplayText().toUpper() == key)
            items_.removeAt(i);
    }
    if (MaxItems > 0) {
        while (items_.size() >= MaxItems)
            items_.removeAt(MaxItems - 1);
    }
    THistoryItem item{user, password, database, connectAsText};
    if (moveToFront)
        items_.prepend(item);
    else
        items_.append(item);
}

void THistoryItems::LoadFromRegistry(const QString &section)
{
    if (section.isEmpty())
        return;
    const QString key = registryKey(section);
    try {
        for (int n = 0;; ++n) {
            const QString stored = readString(RegistryRoot::CurrentUser, key, valueName(n));
            const QString text = UnscrambleHistoryText(stored);
            if (text.isEmpty())
                break;
            if (MaxItems == 0 || n < MaxItems)
                AddLogon(text, QString(), false, QString(), QString());
        }
    } catch (const std::exception &) {
        // An unreadable store leaves the history as it is.
    }
}

void THistoryItems::SaveToRegistry(const QString &section) const
{
    if (section.isEmpty())
        return;
    const QString key = registryKey(section);
    try {
        // Other values of the key stay; the Logon values are replaced in one write.
        const QStringList names = platform::Registry::valueNames(RegistryRoot::CurrentUser, key);
        QStringList stale;
        for (int n = 0; names.contains(valueName(n), Qt::CaseInsensitive); ++n)
            stale << valueName(n);
        platform::RegistryValues values;
        for (const QString &name : names) {
            if (!stale.contains(name, Qt::CaseInsensitive))
                values.append({name, readString(RegistryRoot::CurrentUser, key, name)});
        }
        for (int i = 0; i < items_.size(); ++i)
            values.append({valueName(i), ScrambleHistoryText(items_[i].StoredText())});
        platform::Registry::replaceValues(key, values);
    } catch (const std::exception &) {
        // The history stays in memory; the next save tries again.
    }
}

THistoryItems &LogonHistory()
{
    static THistoryItems history;
    return history;
}

QString ScrambleHistoryText(const QString &text)
{
    const int seed = int(QRandomGenerator::global()->bounded(SeedLimit));
    KeyStream keys{quint32(seed)};
    QString digits = threeDigits(seed);
    for (const char byte : text.toUtf8())
        digits += threeDigits(quint8(byte) ^ keys.next());
    return digits;
}

QString UnscrambleHistoryText(const QString &digits)
{
    if (digits.size() < DigitsPerNumber || digits.size() % DigitsPerNumber != 0)
        return {};
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return {};
    }
    KeyStream keys{quint32(digits.left(DigitsPerNumber).toInt())};
    QByteArray bytes;
    for (qsizetype i = DigitsPerNumber; i < digits.size(); i += DigitsPerNumber) {
        const int number = digits.mid(i, DigitsPerNumber).toInt();
        if (number > 255)
            return {};
        bytes += char(quint8(number) ^ keys.next());
    }
    return QString::fromUtf8(bytes);
}

} // namespace rowpour::oracle
