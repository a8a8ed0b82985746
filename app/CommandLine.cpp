#include "app/CommandLine.h"

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
