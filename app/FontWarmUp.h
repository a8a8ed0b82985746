#pragma once

#include <future>
#include <string>
#include <thread>

// Gets the fonts ready on threads of their own while the application connects
// to the display: the font configuration (its files parsed, its caches
// mapped), and the file of the dialog's face read from the disk in large
// pieces, where it is not in memory yet. Qt maps that whole file and would
// otherwise wait for it piece by piece in front of the first text.
class FontWarmUp final
{
public:
    // `likelyFile`: where the face `family` usually is, read at once; the
    // file the configuration names is read after it, when it is another.
    FontWarmUp(const char *family, std::string likelyFile);
    ~FontWarmUp();

    FontWarmUp(const FontWarmUp &) = delete;
    FontWarmUp &operator=(const FontWarmUp &) = delete;

    // Returns once the font configuration is read.
    void waitForConfiguration();

private:
    std::promise<void> m_configured;
    std::future<void> m_configuredFuture;
    std::thread m_reader;
    std::thread m_configuration;
};
