#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// What a second launch hands to the client already running for the same user
// and display, and where it finds it.
struct HandOver
{
    QStringList arguments;   // the command line, program name first
    QString workingDirectory; // relative document names are meant from here
    QByteArray activationToken; // XDG_ACTIVATION_TOKEN of the launch: lets a Wayland window take the focus

    // Longer messages are refused: the command line of a launch is far shorter.
    static constexpr int maxBytes = 64 * 1024;

    QByteArray encode() const;
    // Null for anything garbled, incomplete or over maxBytes.
    static std::optional<HandOver> decode(const QByteArray &bytes);
    // The running client's answer once it has taken the message.
    static QByteArray acknowledgement();
};

// The client's rendezvous: one per user and display session, below the
// user's runtime folder (else a private folder of the user's in /tmp).
// `display` is WAYLAND_DISPLAY or DISPLAY. Empty when no such place can be
// named (a path too long for a socket).
QString handOverName(const QString &runtimeDir, const QString &fallbackDir, const QString &display);
