// kelvaro-import: the import wizard.
#include "wizard/TfrmImport1.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // German texts for the standard buttons of message boxes and dialogs.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    kimport::TfrmImport1 mainWindow;
    mainWindow.show();
    return QApplication::exec();
}
