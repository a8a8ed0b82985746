// An administrator's policy file: the bytes are one file, read beside a good
// one, resolved into the client's settings and reported. Nothing may crash,
// and the good file's policy must still apply.

#include "base/ClientSettings.h"
#include "base/PolicyFiles.h"
#include "base/PolicyReport.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::vector<policy::FoundFile> files{
        {QStringLiteral("10-fuzzed.json"), QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)),
         QString()},
        {QStringLiteral("20-good.json"), QByteArrayLiteral("{\"PrintingEnabled\": false}"), QString()}};
    const ClientSettings settings =
        ClientSettings::resolve(policy::read(files), [](const char *) -> const char * { return nullptr; });
    if (settings.printingEnabled)
        std::abort();
    (void)policyReport(settings);
    return 0;
}
