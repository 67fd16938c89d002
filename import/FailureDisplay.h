#pragma once
// The application's failure display: every command handler of the program's
// windows runs inside RunGuarded, so an exception that escapes it is shown by
// the desktop services (one message box in the desktop program) and never
// crosses the Qt event loop. The window that ran the command stays open with
// whatever the command had changed.

#include <QString>

#include <exception>
#include <utility>

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

// Shows the message (UTF-8, as carried by what()) with the application title
// through the desktop services' failure display.
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
