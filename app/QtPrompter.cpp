#include "app/QtPrompter.h"

#include "qtshared/QtWidgetHelpers.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontMetrics>
#include <QInputDialog>
#include <QLineEdit>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace kimport {

namespace {

QString qs(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// Windows line breaks in the program's texts become plain ones.
QString messageText(std::string_view text) { return qsLines(text); }

QString filterText(const FileDialogSpec& dialog) {
    QStringList parts;
    for (const FileFilter& f : dialog.filters) parts << qs(f.description + " (" + f.pattern + ")");
    return parts.join(QStringLiteral(";;"));
}

// Wide enough that the window manager shows the whole title: its text, the icon and the buttons.
int widthForTitle(const QString& title) {
    return QFontMetrics(QApplication::font()).horizontalAdvance(title) * 5 / 4 + 140;
}

}  // namespace

// The window the user works in, so that a box opens above it and modal to it: an open modal dialog (the
// settings manager, the summary), else a shown stay-on-top window (the progress window), else the active
// window, else the main window.
QWidget* QtPrompter::owner() const {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && (w->windowFlags() & Qt::WindowStaysOnTopHint) && w->windowType() != Qt::SplashScreen)
            return w;
    if (QWidget* active = QApplication::activeWindow()) return active;
    return parent_;
}

Answer QtPrompter::message(MsgKind kind, Buttons buttons, std::string_view text, int helpContext) {
    QMessageBox box(owner());
    // The program's title names the asking program; the icon tells the kind of box.
    box.setWindowTitle(QApplication::applicationName());
    switch (kind) {
    case MsgKind::Error: box.setIcon(QMessageBox::Critical); break;
    case MsgKind::Warning: box.setIcon(QMessageBox::Warning); break;
    case MsgKind::Information: box.setIcon(QMessageBox::Information); break;
    case MsgKind::Confirmation: box.setIcon(QMessageBox::Question); break;
    }
    box.setText(messageText(text));
    // A spacer across the box keeps it as wide as its title needs; the text still wraps as the box sizes it.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(widthForTitle(box.windowTitle()), 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                      grid->rowCount(), 0, 1, grid->columnCount());
    switch (buttons) {
    case Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case Buttons::OkHelp: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Help); break;
    case Buttons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case Buttons::YesNoCancel: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel); break;
    case Buttons::YesNoDefaultNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
        break;
    }
    box.setProperty("helpContext", helpContext);
    int pressed = box.exec();
    // "Hilfe" opens the page and asks again: the box is answered with one of its other buttons.
    while (pressed == QMessageBox::Help && helpContext > 0 && onHelp) {
        onHelp(helpContext);
        pressed = box.exec();
    }
    switch (pressed) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Cancel: return Answer::Cancel;
    case QMessageBox::Help: return Answer::Help;
    default: return buttons == Buttons::YesNoCancel ? Answer::Cancel : Answer::Ok;
    }
}

void QtPrompter::beep() { QApplication::beep(); }

std::optional<std::string> QtPrompter::inputQuery(std::string_view caption, std::string_view prompt,
                                                  std::string_view initial) {
    QInputDialog dialog(owner());
    dialog.setWindowTitle(qs(caption));
    dialog.setLabelText(qs(prompt));
    dialog.setTextValue(qs(initial));
    // The dialog's layout fixes its size to its contents: the edit is made as wide as the title needs.
    if (auto* edit = dialog.findChild<QLineEdit*>()) edit->setMinimumWidth(widthForTitle(dialog.windowTitle()) - 40);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.textValue().toStdString();
}

std::optional<std::string> QtPrompter::openFile(const FileDialogSpec& dialog) {
    QString start = qs(dialog.initialDir + (dialog.initialFile.empty() ? "" : "/" + dialog.initialFile));
    QString file = QFileDialog::getOpenFileName(owner(), qs(dialog.title), start, filterText(dialog));
    if (file.isEmpty()) return std::nullopt;
    return file.toStdString();
}

std::optional<std::string> QtPrompter::saveFile(const FileDialogSpec& dialog) {
    QString start = qs(dialog.initialDir + (dialog.initialFile.empty() ? "" : "/" + dialog.initialFile));
    QString file = QFileDialog::getSaveFileName(owner(), qs(dialog.title), start, filterText(dialog));
    if (file.isEmpty()) return std::nullopt;
    if (!dialog.defaultExtension.empty() && QFileInfo(file).suffix().isEmpty())
        file += QStringLiteral(".") + qs(dialog.defaultExtension);
    return file.toStdString();
}

}  // namespace kimport
