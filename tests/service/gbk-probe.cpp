// gbk-probe to-gbk|from-gbk: converts standard input with the GBK text of
// base/ (on Windows, its code-page conversion) and writes the bytes out, for
// the test that holds them against iconv's.

#include "base/GbkText.h"

#include <cstdio>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char **argv)
{
    if (argc != 2 || (std::strcmp(argv[1], "to-gbk") != 0 && std::strcmp(argv[1], "from-gbk") != 0)) {
        std::fputs("usage: gbk-probe to-gbk|from-gbk <in >out\n", stderr);
        return 2;
    }
#ifdef _WIN32
    ::_setmode(::_fileno(stdin), _O_BINARY);
    ::_setmode(::_fileno(stdout), _O_BINARY);
#endif
    std::string input;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0)
        input.append(buffer, n);
    const std::string output = std::strcmp(argv[1], "to-gbk") == 0 ? utf8ToGbk(input) : gbkToUtf8(input);
    std::fwrite(output.data(), 1, output.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
