#pragma once

#include <string>
#include <vector>

// The settings the environment may give the client, each with its built-in
// default: the one place that reads them.
struct ClientSettings
{
    // KELUMO_LOGIN_ENDPOINT, else the built-in login service address.
    std::string loginEndpoint;
    // KELUMO_SITE, else the built-in site; without a trailing '/'.
    std::string site;
    // KELUMO_TRACE=1: moments traced on stderr.
    bool trace = false;
    // KELUMO_DOWNLOAD_DIR: downloads saved there without asking; empty asks.
    std::string downloadFolder;
    // KELUMO_PLATFORM_HOSTS: further hosts of the platform's pages, separated
    // by commas or spaces; each covers its subdomains.
    std::vector<std::string> platformHosts;

    // Reads the environment now.
    static ClientSettings fromEnvironment();
};
