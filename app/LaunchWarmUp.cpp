#include "app/LaunchWarmUp.h"

#include <fontconfig/fontconfig.h>

#include <string>
#include <vector>

#include <fcntl.h>
#include <iconv.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Pieces small enough that the dialog's own reads are not queued long behind
// one of them.
constexpr off_t piece = 128 * 1024;

// Reads what of the file is not in memory yet, in pieces; the data itself is
// dropped, the page cache keeps it.
void readIntoMemory(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || info.st_size <= 0) {
        ::close(fd);
        return;
    }
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    const auto size = static_cast<std::size_t>(info.st_size);
    std::vector<unsigned char> resident((size + pageSize - 1) / pageSize, 0);
    if (void *map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0); map != MAP_FAILED) {
        ::mincore(map, size, resident.data());
        ::munmap(map, size);
    }
    std::vector<char> buffer(piece);
    for (off_t at = 0; at < info.st_size; at += piece) {
        bool inMemory = true;
        for (off_t page = at / pageSize; page < (at + piece) / pageSize && page < off_t(resident.size()); ++page)
            inMemory = inMemory && (resident[page] & 1);
        if (!inMemory && ::pread(fd, buffer.data(), buffer.size(), at) <= 0)
            break;
    }
    ::close(fd);
}

std::string fileOf(const char *family)
{
    std::string file;
    FcPattern *pattern = FcNameParse(reinterpret_cast<const FcChar8 *>(family));
    if (!pattern)
        return file;
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    if (FcPattern *match = FcFontMatch(nullptr, pattern, &result)) {
        FcChar8 *name = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &name) == FcResultMatch)
            file = reinterpret_cast<const char *>(name);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return file;
}

} // namespace

LaunchWarmUp::LaunchWarmUp(const char *fontFamily, std::vector<std::string> files, std::string fontFile)
    : m_configuredFuture(m_configured.get_future())
{
    m_reader = std::thread([this, files, fontFile] {
        for (const std::string &file : files)
            readIntoMemory(file);
        if (const iconv_t gbk = ::iconv_open("UTF-8", "GBK"); gbk != reinterpret_cast<iconv_t>(-1))
            m_gbk = gbk;
        if (!fontFile.empty())
            readIntoMemory(fontFile);
    });
    m_configuration = std::thread([this, fontFamily, fontFile] {
        const bool configured = FcInit();
        m_configured.set_value();
        if (!configured)
            return;
        const std::string file = fileOf(fontFamily);
        if (!file.empty() && file != fontFile)
            readIntoMemory(file);
    });
}

LaunchWarmUp::~LaunchWarmUp()
{
    m_reader.join();
    m_configuration.join();
    if (m_gbk)
        ::iconv_close(static_cast<iconv_t>(m_gbk));
}

void LaunchWarmUp::waitForFontConfiguration()
{
    m_configuredFuture.wait();
}
