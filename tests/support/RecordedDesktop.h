#pragma once
// Desktop services for tests: for the lifetime of the object the statement
// layer's message boxes, the failure display, the import's message boxes and
// the busy cursor are recorded instead of shown; the logon window stays with
// the services installed before.

#include "oracle/DesktopServices.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace rowpour::testing
{

struct ImportMessage {
    QString caption;
    QString text;
    oracle::MessageIcon icon;
};

class RecordedDesktop
{
public:
    RecordedDesktop() : scope_(std::make_unique<Recorder>(*this)) {}

    QStringList messageBoxes;
    QStringList failureTitles;
    QStringList failures;
    std::vector<ImportMessage> importMessages;
    std::vector<oracle::TCursor> cursorsShown;
    int cursorsRestored = 0;

private:
    class Recorder : public oracle::ForwardingDesktopServices
    {
    public:
        explicit Recorder(RecordedDesktop &record) : record_(record) {}
        void showBusyCursor(oracle::TCursor cursor) override { record_.cursorsShown.push_back(cursor); }
        void restoreCursor() override { ++record_.cursorsRestored; }
        void showMessageBox(const QString &message) override { record_.messageBoxes << message; }
        void showFailure(const QString &title, const QString &text) override
        {
            record_.failureTitles << title;
            record_.failures << text;
        }
        void showImportMessage(const QString &caption, const QString &text, oracle::MessageIcon icon) override
        {
            record_.importMessages.push_back({caption, text, icon});
        }

    private:
        RecordedDesktop &record_;
    };

    oracle::DesktopServicesScope scope_;
};

} // namespace rowpour::testing
