#pragma once

#include <QStringList>

#include <string>
#include <vector>

class QCoreApplication;

// The client speaks Simplified Chinese whatever the system locale says: Qt's
// own texts (standard buttons, file and print dialogs, the page's context
// menu) come from Qt's zh_CN catalogs, and the default locale is zh_CN so
// that the web engine, started later, picks its Chinese resources too.
// Returns the catalogs that were installed; a missing one leaves its texts
// in English and is no reason to stop.
QStringList installChineseTranslations(QCoreApplication *app);

// The catalogs, in the order they are tried.
QStringList qtCatalogNames();

// The catalogs' files as installChineseTranslations() finds them first, where
// they exist: read ahead while the application starts.
std::vector<std::string> chineseCatalogFiles();
