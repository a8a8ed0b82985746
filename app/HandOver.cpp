#include "app/HandOver.h"

#include <QList>

namespace {

constexpr char magic[] = "kelumo-handover 1";
constexpr char endLine[] = "end";

// Every byte that could end a line or field is escaped.
QByteArray field(const char *key, const QByteArray &value)
{
    return QByteArray(key) + ' ' + value.toPercentEncoding() + '\n';
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
    QByteArray out = QByteArray(magic) + '\n';
    out += field("cwd", workingDirectory.toUtf8());
    out += field("token", activationToken);
    for (const QString &arg : arguments)
        out += field("arg", arg.toUtf8());
    out += QByteArray(endLine) + '\n';
    return out;
}

std::optional<HandOver> HandOver::decode(const QByteArray &bytes)
{
    if (bytes.size() > maxBytes || !bytes.endsWith('\n'))
        return std::nullopt;
    QList<QByteArray> lines = bytes.left(bytes.size() - 1).split('\n');
    if (lines.size() < 4 || lines.first() != magic || lines.last() != endLine)
        return std::nullopt;
    HandOver handOver;
    bool cwd = false;
    bool token = false;
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        const QByteArray &line = lines.at(i);
        const qsizetype space = line.indexOf(' ');
        if (space < 0)
            return std::nullopt;
        const QByteArray key = line.left(space);
        const QByteArray value = QByteArray::fromPercentEncoding(line.mid(space + 1));
        if (key == "cwd" && !cwd && i == 1) {
            handOver.workingDirectory = QString::fromUtf8(value);
            cwd = true;
        } else if (key == "token" && !token && i == 2) {
            handOver.activationToken = value;
            token = true;
        } else if (key == "arg" && token) {
            handOver.arguments << QString::fromUtf8(value);
        } else {
            return std::nullopt;
        }
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
