#pragma once

#include <QByteArray>

#include <string>
#include <vector>

// The hosts an administrator allows to use the desktop's own sign-on
// (Negotiate through Kerberos, NTLM) without a prompt, as the engine takes
// them: its --auth-server-allowlist, after the flags `flags` holds already.
// A host with anything but letters, digits and . - _ * : (which could bring in
// another flag) is left out; without any host the flags stay as they are.
// Credentials are never delegated to the servers.
QByteArray withSignOnFlags(const QByteArray &flags, const std::vector<std::string> &allowlist);

// The same on this process's QTWEBENGINE_CHROMIUM_FLAGS, before the engine
// starts (it reads them once).
void applySignOnFlags(const std::vector<std::string> &allowlist);
