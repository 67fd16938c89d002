#pragma once
// A command of rowpour-batch. Each command file defines one static
// CommandRegistration, so adding a command touches no shared list.

#include <QStringList>

#include <functional>
#include <vector>

namespace rowpour::cli {

struct Command {
    QString name;
    QString usage;    // argument synopsis after the command name
    QString summary;  // one line for --help
    std::function<int(const QStringList &args)> run;  // args exclude the command name
};

std::vector<Command> &registeredCommands();

struct CommandRegistration {
    explicit CommandRegistration(Command command) { registeredCommands().push_back(std::move(command)); }
};

}  // namespace rowpour::cli
