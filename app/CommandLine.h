#pragma once

#include <QString>
#include <QStringList>

// The standard command line: one file name opens that file as the document;
// options (and everything after --webEngineArgs, which is the engine's) are
// not files.
struct CommandLine
{
    QString fileToOpen;

    static CommandLine parse(const QStringList &arguments);
    // `--policies`: print the policies in force and end, with no window.
    static bool asksForPolicies(int argc, char **argv);
};
