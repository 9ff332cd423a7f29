#include "wizard/TfrmTextFix.h"

#include "qtshared/QtWidgetHelpers.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

namespace kimport {

CharacterGrid::CharacterGrid(const WizardState& state, QWidget* parent) : QTableWidget(parent), state_(state) {
    setObjectName(QStringLiteral("stgQuellDatFix"));
    setToolTip(QStringLiteral("Vorschau auf die ersten 20 Zeilen der zu importierenden Textdatei"));
    setFont(fixedPitchFont());
    horizontalHeader()->hide();
    verticalHeader()->hide();
    // One character per cell: narrower than the headers' usual minimum.
    horizontalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setDefaultSectionSize(11);
    verticalHeader()->setDefaultSectionSize(16);
    setShowGrid(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(false);
}

int CharacterGrid::columnUnder(const QPoint& p) const { return columnAt(p.x()); }

void CharacterGrid::paintEvent(QPaintEvent* event) {
    QTableWidget::paintEvent(event);
    // A marker stands at the left edge of the cell of its position, from the top row to the bottom.
    QPainter painter(viewport());
    painter.setPen(QPen(QColor(255, 0, 0), 2));
    for (int p : state_.textLayout.breaks) {
        if (p <= 0 || p >= columnCount()) continue;
        int x = columnViewportPosition(p) - 1;
        painter.drawLine(x, 0, x, viewport()->height());
    }
}

void CharacterGrid::mousePressEvent(QMouseEvent* event) {
    const int c = columnUnder(event->position().toPoint());
    pressAt_ = event->position().toPoint();
    pressedOnMarker_ = false;
    dragging_ = false;
    for (int p : state_.textLayout.breaks) pressedOnMarker_ = pressedOnMarker_ || (p > 0 && p == c);
    if (pressedOnMarker_) emit markerPressed(c);
}

void CharacterGrid::mouseMoveEvent(QMouseEvent* event) {
    if (!pressedOnMarker_ || !(event->buttons() & Qt::LeftButton)) return;
    // The drag begins when the mouse has moved a few pixels.
    if (!dragging_ && (event->position().toPoint() - pressAt_).manhattanLength() < QApplication::startDragDistance())
        return;
    dragging_ = true;
    const int c = columnUnder(event->position().toPoint());
    if (c >= 1) emit markerDragged(c);
    viewport()->update();
}

void CharacterGrid::mouseReleaseEvent(QMouseEvent* event) {
    if (dragging_) {
        emit markerDropped();
    } else {
        const int c = columnUnder(event->position().toPoint());
        if (c >= 0) emit cellClicked2(c);
    }
    pressedOnMarker_ = dragging_ = false;
    viewport()->update();
}

void CharacterGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    const int c = columnUnder(event->position().toPoint());
    if (c >= 0) emit cellDoubleClicked2(c);
    viewport()->update();
}

TfrmTextFix::TfrmTextFix(WizardState& state, QWidget* parent) : QWidget(parent), state_(state) {
    setObjectName(QStringLiteral("TXTFix"));
    auto* v = new QVBoxLayout(this);
    auto* lblVorschau = new QLabel(QStringLiteral("&Vorschau"));
    v->addWidget(lblVorschau);
    stgQuellDatFix = new CharacterGrid(state, this);
    lblVorschau->setBuddy(stgQuellDatFix);
    v->addWidget(stgQuellDatFix, 1);
    cbxRaster = new QCheckBox(QStringLiteral("&Raster einblenden"));
    cbxRaster->setObjectName(QStringLiteral("cbxRaster"));
    v->addWidget(cbxRaster);
    auto* gbxFix = new QGroupBox;
    gbxFix->setObjectName(QStringLiteral("gbxFix"));
    auto* g = new QVBoxLayout(gbxFix);
    const QString verb = QStringLiteral("<b><font color=\"maroon\">%1</font></b> ");
    g->addWidget(new QLabel(QStringLiteral("<b>Wählen Sie die mit der Maus die Feldbreite</b>")));
    // The instructions with their own line breaks, as the page words them.
    g->addWidget(new QLabel(verb.arg(QStringLiteral("Setzen")) +
                            QStringLiteral("Sie eine Feldbreiten-Markierung, indem Sie mit der<br>linken Maustaste "
                                           "einmal auf den gewünschten Punkt klicken.")));
    g->addWidget(new QLabel(verb.arg(QStringLiteral("Verschieben")) +
                            QStringLiteral("Sie eine Feldbreiten-Markierung, indem Sie mit der<br>linken Maustaste die "
                                           "Markierung anklicken und mit festgehaltener<br>Maustaste an den gewünschten "
                                           "Punkt schieben.")));
    g->addWidget(new QLabel(verb.arg(QStringLiteral("Löschen")) +
                            QStringLiteral("Sie eine Feldbreiten-Markierung, indem Sie mit der<br>linken Maustaste doppelt "
                                           "auf die Markierung klicken.")));
    v->addWidget(gbxFix);
    connect(cbxRaster, &QCheckBox::toggled, this, [this](bool on) {
        state_.cbxRaster = on;
        applyState();
    });
}

void TfrmTextFix::applyState() {
    const auto& rows = state_.fixGrid;
    const int columns = state_.fixGridColumns;
    if (stgQuellDatFix->rowCount() != static_cast<int>(rows.size()) || stgQuellDatFix->columnCount() != columns) {
        stgQuellDatFix->clear();
        stgQuellDatFix->setRowCount(static_cast<int>(rows.size()));
        stgQuellDatFix->setColumnCount(columns);
        for (std::size_t r = 0; r < rows.size(); ++r)
            for (std::size_t c = 0; c < rows[r].size(); ++c)
                stgQuellDatFix->setItem(static_cast<int>(r), static_cast<int>(c),
                                        new QTableWidgetItem(QString::fromStdString(rows[r][c])));
    }
    stgQuellDatFix->setShowGrid(state_.cbxRaster);
    cbxRaster->setText(state_.cbxRaster ? QStringLiteral("&Raster ausblenden") : QStringLiteral("&Raster einblenden"));
    stgQuellDatFix->viewport()->update();
}

}  // namespace kimport
