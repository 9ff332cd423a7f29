// The tab TXTFix of the text page: the character grid stgQuellDatFix, one
// character a cell, with the red break markers that a click sets, a drag moves
// and a double click deletes; and cbxRaster for the grid lines.
#pragma once

#include "wizard/WizardState.h"

#include <QTableWidget>
#include <QWidget>

class QCheckBox;

namespace kimport {

class CharacterGrid : public QTableWidget {
    Q_OBJECT
public:
    CharacterGrid(const WizardState& state, QWidget* parent = nullptr);

signals:
    void cellClicked2(int column);
    void markerPressed(int column);
    void markerDragged(int column);
    void markerDropped();
    void cellDoubleClicked2(int column);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    int columnUnder(const QPoint& p) const;
    const WizardState& state_;
    bool pressedOnMarker_ = false, dragging_ = false;
    QPoint pressAt_;
};

class TfrmTextFix : public QWidget {
    Q_OBJECT
public:
    explicit TfrmTextFix(WizardState& state, QWidget* parent = nullptr);
    void applyState();

    CharacterGrid* stgQuellDatFix = nullptr;
    QCheckBox* cbxRaster = nullptr;

private:
    WizardState& state_;
};

}  // namespace kimport
