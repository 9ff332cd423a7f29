#include "wizard/TfrmImport1.h"

namespace kimport {

TfrmImport1::TfrmImport1(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmImport1"));
    setWindowTitle(QStringLiteral(KIMPORT_VERSION_TEXT));
    resize(640, 480);
}

}  // namespace kimport
