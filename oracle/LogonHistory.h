#pragma once
// The logon history: the last successful logons, most recent first, kept in
// memory for the whole run and stored scrambled in the user's registry as the
// values Logon0, Logon1, ... of one key.

#include <QList>
#include <QString>

namespace rowpour::oracle
{

struct THistoryItem {
    QString Username;
    QString Password; // empty unless the history keeps passwords
    QString Database;
    QString ConnectAsText; // "SYSDBA", "SYSOPER" or empty

    // user[@database][ as MODE]: what the history menu shows.
    QString DisplayText() const;
    // user/password@database[ as MODE]: the stored text before scrambling.
    QString StoredText() const;
};

class THistoryItems
{
public:
    bool WithPassword = false;
    int MaxItems = 0; // 0: no limit

    int Count() const { return int(items_.size()); }
    const THistoryItem &Item(int index) const { return items_.at(index); }
    const QList<THistoryItem> &Items() const { return items_; }
    void Clear() { items_.clear(); }

    // Records a logon. The text may carry user/password@database and an
    // " AS <mode>" suffix; entries naming the same user, database and mode
    // (in any letter case) are replaced, and the oldest entries make room
    // when MaxItems is reached.
    void AddLogon(const QString &text, QString password, bool moveToFront, QString connectAsText,
                  QString database);

    // The registry section is a key under HKEY_CURRENT_USER ("rowpour"); one
    // leading backslash is dropped. Registry failures leave the history as it
    // was and are not reported.
    void LoadFromRegistry(const QString &section);
    void SaveToRegistry(const QString &section) const;

private:
    QList<THistoryItem> items_;
};

// The process-wide history the logon component and its dialog share.
THistoryItems &LogonHistory();

// The reversible scrambling of stored history texts: decimal digits only, with
// a random number drawn at each call mixed in. Unscramble returns an empty
// text for anything Scramble cannot have produced.
QString ScrambleHistoryText(const QString &text);
QString UnscrambleHistoryText(const QString &digits);

} // namespace rowpour::oracle
