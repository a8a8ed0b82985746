#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QStringList qtCatalogNames()
{
    return {QStringLiteral("qtbase"), QStringLiteral("qtwebengine")};
}

std::vector<std::string> chineseCatalogFiles()
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    std::vector<std::string> files;
    for (const QString &name : qtCatalogNames()) {
        const QString file = folder + QLatin1Char('/') + name + QStringLiteral("_zh_CN.qm");
        if (QFileInfo::exists(file))
            files.push_back(QFile::encodeName(file).toStdString());
    }
    return files;
}

QStringList installChineseTranslations(QCoreApplication *app)
{
    const QLocale chinese(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China);
    QLocale::setDefault(chinese);

    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    QStringList installed;
    for (const QString &name : qtCatalogNames()) {
        // Owned by the application: it must outlive every widget that asks it.
        auto *translator = new QTranslator(app);
        if (translator->load(chinese, name, QStringLiteral("_"), folder) && QCoreApplication::installTranslator(translator))
            installed << name;
        else
            delete translator;
    }
    return installed;
}
