// rowpour-batch: the import engine without a window.

#include "cli/CliTexts.h"
#include "cli/Command.h"
#include "platform/Terminal.h"

#include <QCoreApplication>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <exception>

namespace rowpour::cli
{

std::vector<Command> &registeredCommands()
{
    static std::vector<Command> commands;
    return commands;
}

namespace
{

void printHelp(QTextStream &out)
{
    auto commands = registeredCommands();
    std::sort(commands.begin(), commands.end(),
              [](const Command &a, const Command &b) { return a.name < b.name; });
    out << texts::HelpUsage << "\n\n" << texts::HelpPurpose << "\n\n" << texts::HelpCommands << "\n";
    for (const Command &c : commands)
        out << "  " << c.name << (c.usage.isEmpty() ? "" : " ") << c.usage << "\n      " << c.summary << "\n";
    out << "  help\n      " << texts::HelpSummary << "\n";
}

} // namespace
} // namespace rowpour::cli

int main(int argc, char *argv[])
{
    using namespace rowpour::cli;
    // A reader of the output that goes away (| head) must not end a load
    // half-way without a word: writes then fail, and the commands say so.
    rowpour::platform::ignoreBrokenPipeSignal();
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args.first() == "--help" || args.first() == "-h" || args.first() == "help") {
        printHelp(out);
        return args.isEmpty() ? 2 : 0;
    }
    const QString name = args.takeFirst();
    for (const Command &c : registeredCommands()) {
        if (c.name != name)
            continue;
        try {
            return c.run(args);
        } catch (const std::exception &e) {
            QString message = QString::fromUtf8(e.what()).trimmed();
            message.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            err << QString::fromUtf8(texts::CommandFailed).arg(name, message) << "\n";
            return 2;
        }
    }
    err << QString::fromUtf8(texts::UnknownCommand).arg(name) << "\n";
    return 2;
}
