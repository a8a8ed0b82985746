#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// What a second launch hands to the client already running for the same user
// and display, and where it finds it.
//
// On the wire: the tag "kelumo-handover 2\n", the length of the rest (4 bytes,
// big-endian), then named fields, each its name's length (1 byte), the name,
// its value's length (4 bytes, big-endian) and the value. Fields are found by
// name, so their order does not matter (the arguments keep theirs), and a
// field of a later version is skipped.
struct HandOver
{
    QStringList arguments;   // the command line, program name first ("arg", once each)
    QString workingDirectory; // relative document names are meant from here ("cwd")
    QByteArray activationToken; // XDG_ACTIVATION_TOKEN of the launch: lets a Wayland window take the focus ("token")

    // Longer messages are refused: the command line of a launch is far shorter.
    static constexpr int maxBytes = 64 * 1024;

    QByteArray encode() const;
    // Null for anything garbled, incomplete or over maxBytes.
    static std::optional<HandOver> decode(const QByteArray &bytes);
    // How long the message that `received` begins is: 0 while its head is
    // not all in, -1 when it is no message (another tag, or over maxBytes).
    static qsizetype expectedSize(const QByteArray &received);
    // The running client's answer once it has taken the message.
    static QByteArray acknowledgement();
};

// The client's rendezvous: one per user and display session, below the
// user's runtime folder (else a private folder of the user's in /tmp).
// `display` is WAYLAND_DISPLAY or DISPLAY. Empty when no such place can be
// named (a path too long for a socket, or no private folder).
QString handOverName(const QString &runtimeDir, const QString &fallbackDir, const QString &display);
// The same for this process's session, from its environment.
QString sessionHandOverName();
