#include "browser/downloads/DownloadName.h"

#include "base/GbkText.h"

#include <QStringDecoder>

#include <algorithm>

namespace {

// The engine's own ".download" beside a name it writes.
constexpr int engineSuffixBytes = 9;

int utf8Bytes(QStringView text)
{
    int bytes = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80)
            bytes += 1;
        else if (c < 0x800)
            bytes += 2;
        else if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
            bytes += 4;
            ++i;
        } else
            bytes += 3;
    }
    return bytes;
}

// The longest start of `text` within `maxBytes` that ends between characters.
QString headWithinBytes(const QString &text, int maxBytes)
{
    int bytes = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        const qsizetype step = text[end].isHighSurrogate() && end + 1 < text.size() ? 2 : 1;
        const int size = utf8Bytes(QStringView(text).mid(end, step));
        if (bytes + size > maxBytes)
            break;
        bytes += size;
        end += step;
    }
    // A combining mark belongs with the character before it.
    while (end > 0 && end < text.size() && text[end].isMark())
        --end;
    return text.left(end);
}

// Where the extension starts ("报表.xlsx": at ".xlsx"); -1 without one.
qsizetype extensionAt(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    // A short run of letters and digits only: "a.tar.gz" keeps ".gz",
    // "第1.5版报告" has none.
    if (dot <= 0 || name.size() - dot > 16)
        return -1;
    for (qsizetype i = dot + 1; i < name.size(); ++i)
        if (name[i].unicode() >= 0x80 || !name[i].isLetterOrNumber())
            return -1;
    return dot + 1 < name.size() ? dot : -1;
}

bool isHarmful(QChar c)
{
    switch (c.category()) {
    case QChar::Other_Control: // C0, DEL, C1
    case QChar::Other_Format:  // direction overrides and invisible marks
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return c == QLatin1Char('/') || c == QLatin1Char('\\');
    }
}

} // namespace

QString serverMeantName(const QString &suggested)
{
    bool high = false;
    for (const QChar c : suggested) {
        if (c.unicode() > 0xFF)
            return suggested;
        high = high || c.unicode() >= 0x80;
    }
    if (!high)
        return suggested;
    const QByteArray bytes = suggested.toLatin1();
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString asUtf8 = utf8(bytes);
    if (!utf8.hasError())
        return asUtf8;
    const std::string converted = convertText(std::string_view(bytes.constData(), size_t(bytes.size())), "GB18030", "UTF-8");
    // Bytes that are no GB18030 come back as '?'.
    if (std::count(converted.begin(), converted.end(), '?') != bytes.count('?'))
        return suggested;
    return QString::fromStdString(converted);
}

QString fileNameWithinBytes(const QString &name, int maxBytes)
{
    if (utf8Bytes(name) <= maxBytes)
        return name;
    const qsizetype at = extensionAt(name);
    const QString extension = at < 0 ? QString() : name.mid(at);
    const int extensionBytes = utf8Bytes(extension);
    if (extensionBytes * 2 > maxBytes)
        return headWithinBytes(name, maxBytes);
    return headWithinBytes(name.left(at), maxBytes - extensionBytes) + extension;
}

QString safeFileName(const QString &name, const QString &suffix)
{
    QString safe;
    safe.reserve(name.size());
    for (const QChar c : name)
        safe += isHarmful(c) ? QChar(u'_') : c;
    // Hidden, or read as an option by a program it is handed to.
    qsizetype start = 0;
    while (start < safe.size() && (safe[start] == u'.' || safe[start] == u'-' || safe[start].isSpace()))
        ++start;
    safe = safe.mid(start).trimmed();
    if (safe.isEmpty())
        safe = QStringLiteral("下载") + (suffix.isEmpty() ? QString() : u'.' + suffix);
    return fileNameWithinBytes(safe, maxFileNameBytes);
}

QString numberedFileName(const QString &name, int n)
{
    if (n <= 0)
        return fileNameWithinBytes(name, maxFileNameBytes);
    const QString number = QStringLiteral(" (%1)").arg(n);
    const qsizetype at = extensionAt(name);
    const QString stem = at < 0 ? name : name.left(at);
    const QString extension = at < 0 ? QString() : name.mid(at);
    const QString head = headWithinBytes(stem, maxFileNameBytes - utf8Bytes(number) - utf8Bytes(extension));
    return head + number + extension;
}

QString partialFileName(const QString &name, int n)
{
    const QString tail = n <= 0 ? QStringLiteral(".part") : QStringLiteral(".%1.part").arg(n);
    return u'.' + headWithinBytes(name, maxFileNameBytes - engineSuffixBytes - 1 - utf8Bytes(tail)) + tail;
}
