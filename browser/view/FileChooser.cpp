#include "browser/view/FileChooser.h"

#include <QFileDialog>

QStringList chooseWithFileDialog(const FileChoice &choice)
{
    switch (choice.mode) {
    case QWebEnginePage::FileSelectOpen:
        return {QFileDialog::getOpenFileName(choice.parent, QString(), choice.folder, choice.filter)};
    case QWebEnginePage::FileSelectOpenMultiple:
        return QFileDialog::getOpenFileNames(choice.parent, QString(), choice.folder, choice.filter);
    case QWebEnginePage::FileSelectUploadFolder:
        return {QFileDialog::getExistingDirectory(choice.parent, QString(), choice.folder)};
    case QWebEnginePage::FileSelectSave:
        return {QFileDialog::getSaveFileName(choice.parent, QString(), choice.folder, choice.filter)};
    }
    return {};
}
