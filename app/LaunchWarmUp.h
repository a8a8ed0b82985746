#pragma once

#include <future>
#include <string>
#include <thread>
#include <vector>

// Gets what the login dialog's first paint needs ready on threads of their own
// while the application connects to the display: the font configuration (its
// files parsed, its caches mapped), and files read from the disk in large
// pieces where they are not in memory yet, so that the dialog's thread does
// not wait for them piece by piece (Qt maps the dialog's whole font file);
// and the GBK converter, which the saved sign-in is read with, loaded.
class LaunchWarmUp final
{
public:
    // Reads `files`, loads the converter, then reads `fontFile`, where the
    // face `fontFamily` usually is, and the file the configuration names for
    // it when that is another.
    LaunchWarmUp(const char *fontFamily, std::vector<std::string> files, std::string fontFile);
    ~LaunchWarmUp();

    LaunchWarmUp(const LaunchWarmUp &) = delete;
    LaunchWarmUp &operator=(const LaunchWarmUp &) = delete;

    // Returns once the font configuration is read.
    void waitForFontConfiguration();

private:
    // Kept open while the program starts, so the converter stays loaded.
    void *m_gbk = nullptr;
    std::promise<void> m_configured;
    std::future<void> m_configuredFuture;
    std::thread m_reader;
    std::thread m_configuration;
};
