#pragma once

#include <QString>
#include <QStringList>
#include <QWebEnginePage>

#include <functional>

class QWidget;

// What a page's file dialog asks for: the kind of choice, the folder it
// starts in (FileDialogFolders.h) and the page's name filter.
struct FileChoice
{
    QWidget *parent = nullptr;
    QWebEnginePage::FileSelectionMode mode = QWebEnginePage::FileSelectOpen;
    QString folder;
    QString filter;
};

// Answers a page's file dialog: the files or the folder chosen, empty when
// the user cancelled. Replaceable, so a test can answer in a widget it drives.
using FileChooser = std::function<QStringList(const FileChoice &)>;

// The application's own: QFileDialog's static functions, which show the
// desktop's dialog where it has one.
QStringList chooseWithFileDialog(const FileChoice &choice);
