#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace standin {

struct Options {
    int port = 8080;          // 0: any free port
    std::string accountsPath; // empty: accounts.txt next to the program, else the built-in list
    bool help = false;
    std::string error;        // set when the command line is wrong
};

// Arguments without the program name.
Options parseCommandLine(const std::vector<std::string_view> &args);

std::string usageText();

} // namespace standin
