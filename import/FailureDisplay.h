#pragma once
// The application's default failure display: every command handler of the
// program's windows runs inside RunGuarded, so an exception that escapes it is
// shown in one message box and never crosses the Qt event loop. The window
// that ran the command stays open with whatever the command had changed.

#include <QString>

#include <exception>
#include <functional>
#include <utility>

class QWidget;

namespace rowpour
{

// Thrown to end a command without any message.
class EAbort : public std::exception
{
public:
    const char *what() const noexcept override { return "Operation aborted"; }
};

// The application's title: the executable's file name up to its first full
// stop, its first letter in upper case and the rest in lower case.
QString ApplicationTitle(const QString &executablePath);

// The message as displayed: a full stop is appended when its last character
// sorts after ".".
QString FailureText(const QString &message);

// What shows a failure. The default is a message box with the error icon, one
// OK button and the application title; tests install their own.
using FailureSink = std::function<void(const QString &title, const QString &text)>;
FailureSink SetFailureSink(FailureSink sink); // returns the previous sink

// Shows the message (UTF-8, as carried by what()) through the current sink.
void ShowFailure(const char *message);

// Runs one command; an escaping exception goes to the failure display.
template <typename Command> void RunGuarded(Command &&command) noexcept
{
    try {
        std::forward<Command>(command)();
    } catch (const EAbort &) {
    } catch (const std::exception &e) {
        ShowFailure(e.what());
    } catch (...) {
        ShowFailure("Unknown failure");
    }
}

} // namespace rowpour
