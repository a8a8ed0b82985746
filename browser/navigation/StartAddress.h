#pragma once

#include "base/KelumoConfig.h"

#include <QString>

#include <cstddef>

// The application's start-address buffer: the sign-in writes the address the
// platform returned into it as GBK text, NUL-terminated.
inline constexpr std::size_t startAddressBufferSize = kelumo::startUrlSize;

// The text in the buffer, up to its first NUL or its end; empty for no buffer.
QString startAddressText(const char *buffer);
