#include "app/LaunchWarmUp.h"

// Without fontconfig there is nothing to ready ahead: Qt finds its fonts
// otherwise.

LaunchWarmUp::LaunchWarmUp(const char *, std::vector<std::string>, std::string)
{
}

LaunchWarmUp::~LaunchWarmUp() = default;

void LaunchWarmUp::waitForFontConfiguration()
{
}
