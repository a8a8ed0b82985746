#pragma once

// What the login call needs from the operating system, where POSIX and
// Windows differ.

// Makes the system's sockets usable by this process (Winsock's start-up on
// Windows; nothing on POSIX). Cheap after the first call, from any thread.
void startNetworking();

// Flags for every send on the call's socket: a peer that closes early must
// not end the process with SIGPIPE (Windows raises no such signal).
int quietSendFlags();

// The system's CA certificates as one PEM file, the first of the usual places
// this process may read; null when there is none.
const char *systemCaFile();
