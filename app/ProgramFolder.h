#pragma once

#include <string>

// The folder part of a module path, with its trailing separator; a path with
// no separator past its first character comes back whole.
std::string programFolderOf(const std::string &modulePath);

// Fills theApp's program folder from the running executable's path.
void InitAppFolder();
