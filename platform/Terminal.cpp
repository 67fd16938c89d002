#include "platform/Terminal.h"

#include <QByteArray>

#include <cerrno>
#include <csignal>
#include <termios.h>
#include <unistd.h>

namespace rowpour::platform
{

namespace
{

// Switches the terminal's echo off for its lifetime.
class EchoOff
{
public:
    EchoOff()
    {
        if (tcgetattr(STDIN_FILENO, &saved_) != 0)
            return;
        termios quiet = saved_;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        changed_ = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    }
    ~EchoOff()
    {
        if (changed_)
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
    }
    EchoOff(const EchoOff &) = delete;
    EchoOff &operator=(const EchoOff &) = delete;

private:
    termios saved_{};
    bool changed_ = false;
};

void writeToStandardError(const QByteArray &bytes)
{
    const ssize_t written = write(STDERR_FILENO, bytes.constData(), static_cast<size_t>(bytes.size()));
    static_cast<void>(written);
}

} // namespace

bool standardErrorIsTerminal()
{
    return isatty(STDERR_FILENO) == 1;
}

bool standardInputIsTerminal()
{
    return isatty(STDIN_FILENO) == 1;
}

std::optional<QString> readLineWithoutEcho(const QString &prompt)
{
    QByteArray line;
    bool ended = false;
    {
        // Echo goes off before the prompt shows, so nothing typed after it is echoed.
        EchoOff echoOff;
        writeToStandardError(prompt.toLocal8Bit());
        char c = 0;
        for (;;) {
            const ssize_t n = read(STDIN_FILENO, &c, 1);
            if (n < 0 && errno == EINTR)
                continue;
            if (n == 1 && c != '\n') {
                line.append(c);
                continue;
            }
            ended = n == 1;
            break;
        }
    }
    // The operator's Enter was not echoed either.
    writeToStandardError("\n");
    if (!ended && line.isEmpty())
        return std::nullopt;
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromLocal8Bit(line);
}

void ignoreBrokenPipeSignal()
{
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace rowpour::platform
