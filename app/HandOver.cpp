#include "app/HandOver.h"

#include "app/LocalEndpoint.h"

#include <QtEndian>

#include <utility>

namespace {

constexpr char magic[] = "kelumo-handover 2\n";
constexpr qsizetype magicSize = sizeof magic - 1;
constexpr qsizetype lengthSize = 4;
constexpr qsizetype headSize = magicSize + lengthSize;

void appendLength(QByteArray &out, qsizetype length)
{
    const quint32 be = qToBigEndian(static_cast<quint32>(length));
    out.append(reinterpret_cast<const char *>(&be), lengthSize);
}

quint32 lengthAt(const QByteArray &bytes, qsizetype at)
{
    return qFromBigEndian<quint32>(bytes.constData() + at);
}

void appendField(QByteArray &out, const char *key, const QByteArray &value)
{
    const QByteArray name(key);
    out.append(static_cast<char>(name.size()));
    out.append(name);
    appendLength(out, value.size());
    out.append(value);
}

// Leaves room for "/" and the name in a socket address (sun_path holds 108 bytes).
constexpr int maxSocketPath = 100;

QString sanitized(QString display)
{
    // ":0" and ":0.0" are the same X display (the screen does not matter).
    const qsizetype colon = display.lastIndexOf(QLatin1Char(':'));
    const qsizetype dot = display.indexOf(QLatin1Char('.'), colon + 1);
    if (colon >= 0 && dot > colon)
        display.truncate(dot);
    QString out;
    for (const QChar c : display)
        out += (c.isLetterOrNumber() && c.unicode() < 128) || c == QLatin1Char('.') ? c : QLatin1Char('_');
    return out.left(40);
}

} // namespace

QByteArray HandOver::encode() const
{
    QByteArray fields;
    appendField(fields, "cwd", workingDirectory.toUtf8());
    appendField(fields, "token", activationToken);
    for (const QString &arg : arguments)
        appendField(fields, "arg", arg.toUtf8());
    QByteArray out(magic, magicSize);
    appendLength(out, fields.size());
    return out + fields;
}

qsizetype HandOver::expectedSize(const QByteArray &received)
{
    const QByteArrayView tag(received.constData(), qMin(received.size(), magicSize));
    if (!QByteArrayView(magic, magicSize).startsWith(tag))
        return -1;
    if (received.size() < headSize)
        return 0;
    const qint64 size = qint64(headSize) + lengthAt(received, magicSize);
    return size > maxBytes ? -1 : qsizetype(size);
}

std::optional<HandOver> HandOver::decode(const QByteArray &bytes)
{
    const qsizetype size = expectedSize(bytes);
    if (bytes.size() > maxBytes || size <= 0 || size != bytes.size())
        return std::nullopt;
    HandOver handOver;
    bool cwd = false;
    bool token = false;
    for (qsizetype at = headSize; at < bytes.size();) {
        const qsizetype keySize = static_cast<unsigned char>(bytes.at(at++));
        if (keySize == 0 || bytes.size() - at < keySize + lengthSize)
            return std::nullopt;
        const QByteArrayView key(bytes.constData() + at, keySize);
        at += keySize;
        const quint32 valueSize = lengthAt(bytes, at);
        at += lengthSize;
        if (valueSize > quint32(bytes.size() - at))
            return std::nullopt;
        const QByteArray value = bytes.mid(at, valueSize);
        at += valueSize;
        if (key == "cwd") {
            if (std::exchange(cwd, true))
                return std::nullopt;
            handOver.workingDirectory = QString::fromUtf8(value);
        } else if (key == "token") {
            if (std::exchange(token, true))
                return std::nullopt;
            handOver.activationToken = value;
        } else if (key == "arg") {
            handOver.arguments << QString::fromUtf8(value);
        }
        // Any other field is a later version's: skipped.
    }
    if (!cwd || !token || handOver.arguments.isEmpty())
        return std::nullopt;
    return handOver;
}

QByteArray HandOver::acknowledgement()
{
    return QByteArrayLiteral("ok\n");
}

QString handOverName(const QString &runtimeDir, const QString &fallbackDir, const QString &display)
{
    const QString folder = runtimeDir.isEmpty() ? fallbackDir : runtimeDir;
    if (folder.isEmpty())
        return {};
    QString name = folder;
    if (!name.endsWith(QLatin1Char('/')))
        name += QLatin1Char('/');
    name += QStringLiteral("kelumo-") + (display.isEmpty() ? QStringLiteral("nodisplay") : sanitized(display));
    if (name.toLocal8Bit().size() > maxSocketPath)
        return {};
    return name;
}

QString sessionHandOverName()
{
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("DISPLAY");
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    // The fallback folder is made only when it is needed.
    return handOverName(runtime, runtime.isEmpty() ? LocalEndpoint::privateFolder() : QString(), display);
}
