#include "base/PolicyFiles.h"

#include "base/KelumoConfig.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonParseError>

#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

namespace policy {

namespace {

// Far larger than any policy file; a bigger one is not read.
constexpr qint64 maxFileBytes = 1024 * 1024;

// Why a file or folder may not be trusted, or nothing.
QString refusalOf(const QString &path, unsigned trustedOwner, bool folder)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return QStringLiteral("无法读取");
    if (info.st_uid != 0 && info.st_uid != trustedOwner)
        return folder ? QStringLiteral("所在文件夹不属于 root，已忽略") : QStringLiteral("文件不属于 root，已忽略");
    if (info.st_mode & (S_IWGRP | S_IWOTH))
        return folder ? QStringLiteral("所在文件夹可被其他用户修改，已忽略")
                      : QStringLiteral("文件可被其他用户修改，已忽略");
    return {};
}

PolicyValue valueOf(const QJsonValue &json, const QString &source)
{
    PolicyValue value;
    value.source = source.toStdString();
    switch (json.type()) {
    case QJsonValue::Bool:
        value.kind = PolicyValue::Kind::Boolean;
        value.flag = json.toBool();
        break;
    case QJsonValue::String:
        value.kind = PolicyValue::Kind::Text;
        value.text = json.toString().toStdString();
        break;
    case QJsonValue::Array:
        value.kind = PolicyValue::Kind::List;
        for (const QJsonValue &item : json.toArray()) {
            if (!item.isString()) {
                value.kind = PolicyValue::Kind::Other;
                value.list.clear();
                break;
            }
            value.list.push_back(item.toString().toStdString());
        }
        break;
    default:
        value.kind = PolicyValue::Kind::Other;
        value.text = QString::fromUtf8(QJsonDocument(QJsonArray{json}).toJson(QJsonDocument::Compact)).toStdString();
        break;
    }
    return value;
}

} // namespace

std::vector<FoundFile> findFiles(const QString &folder, unsigned trustedOwner)
{
    std::vector<FoundFile> found;
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists())
        return found;
    const QString folderRefusal = refusalOf(dir.absolutePath(), trustedOwner, true);
    const QStringList names = dir.entryList({QStringLiteral("*.json")}, QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString &name : names) {
        FoundFile file;
        file.path = dir.filePath(name);
        file.refusal = folderRefusal.isEmpty() ? refusalOf(file.path, trustedOwner, false) : folderRefusal;
        if (file.refusal.isEmpty()) {
            QFile in(file.path);
            if (!in.open(QIODevice::ReadOnly) || in.size() > maxFileBytes)
                file.refusal = QStringLiteral("无法读取");
            else
                file.bytes = in.readAll();
        }
        found.push_back(std::move(file));
    }
    return found;
}

PolicySet read(const std::vector<FoundFile> &files)
{
    PolicySet set;
    for (const FoundFile &file : files) {
        if (!file.refusal.isEmpty()) {
            set.problems.push_back({file.path.toStdString(), file.refusal.toStdString()});
            continue;
        }
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(file.bytes, &error);
        if (error.error != QJsonParseError::NoError) {
            set.problems.push_back({file.path.toStdString(), QStringLiteral("不是有效的 JSON（第 %1 个字符处：%2），已忽略")
                                                                 .arg(error.offset)
                                                                 .arg(error.errorString())
                                                                 .toStdString()});
            continue;
        }
        if (!document.isObject()) {
            set.problems.push_back({file.path.toStdString(), "内容不是 JSON 对象，已忽略"});
            continue;
        }
        const QJsonObject object = document.object();
        for (auto it = object.begin(); it != object.end(); ++it) {
            const std::string name = it.key().toStdString();
            if (const auto earlier = set.values.find(name); earlier != set.values.end())
                set.problems.push_back({file.path.toStdString(),
                                        name + " 已在 " + earlier->second.source + " 中设置，以本文件为准"});
            set.values[name] = valueOf(it.value(), file.path);
        }
    }
    return set;
}

} // namespace policy

const PolicySet &machinePolicies()
{
    static const PolicySet policies = [] {
        // The managed folder counts root's files only; a folder tests name also
        // this user's, and comes after it, so it adds and never outweighs.
        std::vector<policy::FoundFile> files;
        const QString managed = QString::fromUtf8(kelumo::policyFolder) + QStringLiteral("/managed");
        for (policy::FoundFile &file : policy::findFiles(managed, 0))
            files.push_back(std::move(file));
        std::vector<policy::FoundFile> extra;
        if (const char *folder = std::getenv("KELUMO_TEST_POLICY_DIR"); folder && *folder)
            extra = policy::findFiles(QFile::decodeName(folder), ::getuid());
        // Managed files last: their values win.
        extra.insert(extra.end(), std::make_move_iterator(files.begin()), std::make_move_iterator(files.end()));
        return policy::read(extra);
    }();
    return policies;
}
