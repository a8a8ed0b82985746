// The answer's interpretation and the stamping of the start address into
// the application's 500-byte buffer, with guard bytes on both sides.

#include "signin/SignInRules.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

constexpr std::size_t guardSize = 64;
constexpr unsigned char guardByte = 0xA5;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string answer(reinterpret_cast<const char *>(data), size);

    // An empty input also stands for a response without a result.
    const signin::AnswerOutcome outcome = signin::interpretAnswer(size ? &answer : nullptr);
    if (outcome.isAddress != (size > 0 && data[0] == 'h'))
        __builtin_trap();
    if (!outcome.isAddress && outcome.message.size() >= signin::messageSize)
        __builtin_trap();

    std::array<unsigned char, guardSize + signin::startUrlSize + guardSize> area;
    area.fill(guardByte);
    char *buffer = reinterpret_cast<char *>(area.data() + guardSize);
    const bool stamped = signin::storeStartAddress(answer, buffer, signin::startUrlSize);
    for (std::size_t i = 0; i < guardSize; ++i) {
        if (area[i] != guardByte || area[guardSize + signin::startUrlSize + i] != guardByte)
            __builtin_trap();
    }
    // Always a terminated text inside the buffer.
    const std::size_t length = strnlen(buffer, signin::startUrlSize);
    if (length >= signin::startUrlSize)
        __builtin_trap();
    // Stamped means a "ver" was found; the version itself goes in only where
    // there is a character after it and room (see the rules' tests).
    if (stamped && !std::strstr(buffer, "ver"))
        __builtin_trap();

    // The other rules on the same bytes.
    const std::string company = signin::cutCompany(answer);
    if (company.size() > signin::maxCompanyBytes)
        __builtin_trap();
    if (signin::expiryMessage(answer).size() >= signin::messageSize)
        __builtin_trap();
    signin::checkCredentials(answer, answer);
    return 0;
}
