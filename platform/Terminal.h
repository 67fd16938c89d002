#pragma once
// The program's standard streams: whether they are terminals (progress is
// shown only to a person watching, a password is asked only of one), reading
// a password without showing it, and writes to a reader that has gone away.

#include <QString>

#include <optional>

namespace rowpour::platform
{

bool standardErrorIsTerminal();
bool standardInputIsTerminal();

// Shows the prompt on standard error and reads one line from standard input
// (a terminal) with echo switched off; nullopt at the end of input.
std::optional<QString> readLineWithoutEcho(const QString &prompt);

// A write to a pipe whose reader has gone fails with "Broken pipe" instead of
// ending the process, so the program can say so and clean up.
void ignoreBrokenPipeSignal();

} // namespace rowpour::platform
