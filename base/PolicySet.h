#pragma once

#include <map>
#include <string>
#include <vector>

// The values an administrator's policy files set, as plain text and lists
// (the files are JSON; the reader turns each value into one of these kinds).
struct PolicyValue
{
    enum class Kind { Boolean, Text, List, Other };
    Kind kind = Kind::Other;
    bool flag = false;
    std::string text;
    std::vector<std::string> list;
    // The file the value came from.
    std::string source;
};

// Something a policy file or value could not give: reported, then passed over.
struct PolicyProblem
{
    std::string source; // the file, or the file and the policy's name
    std::string text;   // in Chinese, as the about box and --policies show it
};

struct PolicySet
{
    // By policy name; a later file's value has replaced an earlier one's.
    std::map<std::string, PolicyValue> values;
    std::vector<PolicyProblem> problems;
};

// The policies of this machine: every "*.json" of the managed folder (fixed
// when the client is built) and, after it in weight, of a folder tests may
// name; read once, on first use. Empty where the build reads no files.
const PolicySet &machinePolicies();
