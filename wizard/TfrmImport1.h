// The main window of the wizard.
#pragma once

#include <QMainWindow>

namespace kimport {

class TfrmImport1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmImport1(QWidget* parent = nullptr);
};

}  // namespace kimport
