#include "app/CommandLine.h"

#include <cstring>

CommandLine CommandLine::parse(const QStringList &arguments)
{
    CommandLine command;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (arg == QLatin1String("--webEngineArgs"))
            break;
        if (arg.startsWith(QLatin1Char('-')) || (arg.startsWith(QLatin1Char('/')) && arg.size() <= 3))
            continue;
        if (command.fileToOpen.isEmpty())
            command.fileToOpen = arg;
    }
    return command;
}

bool CommandLine::asksForPolicies(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--webEngineArgs") == 0)
            return false;
        if (std::strcmp(argv[i], "--policies") == 0)
            return true;
    }
    return false;
}
