#include "wizard/TfrmHilfe.h"

#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace kimport {

TfrmHilfe::TfrmHilfe(const QString& helpDirectory, QWidget* parent)
    : QDialog(parent), directory_(helpDirectory), browser_(new QTextBrowser(this)) {
    setObjectName(QStringLiteral("frmHilfe"));
    setWindowTitle(QStringLiteral("Hilfe - " KIMPORT_VERSION_TEXT));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browser_);
    browser_->setOpenLinks(true);
    resize(520, 380);
}

void TfrmHilfe::showTopic(int context) {
    QString page = directory_ + QStringLiteral("/%1.html").arg(context);
    if (!QFileInfo::exists(page)) page = directory_ + QStringLiteral("/index.html");
    browser_->setSearchPaths({directory_});
    browser_->setSource(QUrl::fromLocalFile(page));
    show();
    raise();
}

}  // namespace kimport
