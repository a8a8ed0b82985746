#pragma once

#include "base/ClientSettings.h"

#include <string>

// The policies in force with their values and files, and what the files could
// not give: the text of `kelumo --policies` and of the about box. Never a
// password. Empty when no policy file was found.
std::string policyReport(const ClientSettings &settings);

// Whether any policy is in force, or any policy file was found at all.
bool managedByPolicy(const ClientSettings &settings);
