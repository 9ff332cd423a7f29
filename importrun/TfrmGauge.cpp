#include "importrun/TfrmGauge.h"

#include "importrun/TfrmFehlerliste.h"
#include "qtshared/QtWidgetHelpers.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kimport {

namespace {

QColor rgb(std::uint32_t value) {
    return QColor(QRgb(value));
}
std::uint32_t rgbValue(const QColor& color) {
    return color.rgb() & 0xFFFFFFu;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, const QRect& geometry,
              Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(geometry);
    l->setAlignment(align);
    return l;
}

QFrame* panel(QWidget* parent, const char* name) {
    auto* p = new QFrame(parent);
    p->setObjectName(QLatin1String(name));
    p->setFrameStyle(QFrame::Panel | QFrame::Raised);
    p->setAutoFillBackground(true);  // the animation pictures lie underneath
    return p;
}

// --- the animation pictures, drawn rather than loaded ------------------------

QPixmap canvas(int w, int h) {
    QPixmap pixmap(w, h);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QPixmap folderPicture() {
    QPixmap pixmap = canvas(33, 33);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(120, 90, 0));
    p.setBrush(QColor(230, 190, 60));
    p.drawRect(3, 9, 26, 20);
    p.drawRect(3, 6, 11, 4);
    p.setBrush(Qt::white);  // the papers that make it full
    p.drawRect(7, 4, 18, 12);
    p.setBrush(QColor(250, 210, 80));
    QPolygon front;
    front << QPoint(1, 14) << QPoint(27, 14) << QPoint(31, 29) << QPoint(4, 29);
    p.drawPolygon(front);
    return pixmap;
}

QPixmap databasePicture(const QColor& body) {
    QPixmap pixmap = canvas(33, 33);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(body.darker(160));
    p.setBrush(body);
    p.drawRect(4, 7, 25, 20);
    p.drawEllipse(4, 22, 25, 9);
    p.setPen(Qt::NoPen);
    p.drawRect(5, 7, 24, 20);
    p.setPen(body.darker(160));
    p.setBrush(body.lighter(140));
    p.drawEllipse(4, 2, 25, 9);
    p.setBrush(Qt::NoBrush);
    p.drawArc(4, 11, 25, 9, 180 * 16, 180 * 16);
    p.drawArc(4, 17, 25, 9, 180 * 16, 180 * 16);
    return pixmap;
}

QPixmap documentPicture() {
    QPixmap pixmap = canvas(16, 20);
    QPainter p(&pixmap);
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    QPolygon page;
    page << QPoint(0, 0) << QPoint(10, 0) << QPoint(15, 5) << QPoint(15, 19) << QPoint(0, 19);
    p.drawPolygon(page);
    p.drawLine(10, 0, 10, 5);
    p.drawLine(10, 5, 15, 5);
    p.setPen(QColor(0, 0, 160));
    for (int y = 8; y <= 16; y += 3) p.drawLine(3, y, 12, y);
    return pixmap;
}

// Seven dots round a circle, one of them lit: the seven pictures make a turning wheel.
QPixmap redPicture(int lit) {
    QPixmap pixmap = canvas(33, 33);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 7; ++i) {
        const double angle = 2 * std::numbers::pi * i / 7 - std::numbers::pi / 2;
        const QPointF centre(16.5 + 11 * std::cos(angle), 16.5 + 11 * std::sin(angle));
        p.setBrush(i == lit ? QColor(230, 0, 0) : QColor(120, 40, 40));
        p.drawEllipse(centre, i == lit ? 4.5 : 3.0, i == lit ? 4.5 : 3.0);
    }
    return pixmap;
}

}  // namespace

// --- TGauge --------------------------------------------------------------------

TGauge::TGauge(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Gauge"));
    attach(own_);
}

TGauge::~TGauge() {
    if (bar_) bar_->onRepaint = nullptr;
}

void TGauge::setBar(GaugeBar& bar) {
    attach(bar);
}

void TGauge::attach(GaugeBar& bar) {
    if (bar_) bar_->onRepaint = nullptr;
    bar_ = &bar;
    bar_->onRepaint = [this] { update(); };
    update();
}

QColor TGauge::foreColor() const {
    return rgb(bar_->foreColor());
}
void TGauge::setForeColor(const QColor& color) {
    bar_->setForeColor(rgbValue(color));
}
QColor TGauge::backColor() const {
    return rgb(bar_->backColor());
}
void TGauge::setBackColor(const QColor& color) {
    bar_->setBackColor(rgbValue(color));
}

void TGauge::paintEvent(QPaintEvent*) {
    // Drawn off-screen and copied in one piece, so the bar does not flicker.
    const qreal ratio = devicePixelRatioF();
    QPixmap picture(size() * ratio);
    picture.setDevicePixelRatio(ratio);
    QPainter p(&picture);

    QRect inner = rect();
    if (bar_->border() == GaugeBorder::Single) {
        p.setPen(Qt::black);
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
        inner.adjust(1, 1, -1, -1);
    }
    const QColor back = rgb(bar_->backColor());
    const QColor fore = rgb(bar_->foreColor());
    const int percent = bar_->percentDone();
    p.fillRect(inner, back);

    switch (bar_->kind()) {
        case GaugeKind::Text:
            break;
        case GaugeKind::HorizontalBar: {
            const int width = static_cast<int>(std::int64_t{percent} * inner.width() / 100);
            if (width >= 1) p.fillRect(QRect(inner.left(), inner.top(), width, inner.height()), fore);
            break;
        }
        case GaugeKind::VerticalBar: {
            const int height = static_cast<int>(std::int64_t{percent} * inner.height() / 100);
            if (height >= 1) p.fillRect(QRect(inner.left(), inner.bottom() - height + 1, inner.width(), height), fore);
            break;
        }
        case GaugeKind::Pie: {
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(Qt::black);
            p.setBrush(back);
            const QRect circle = inner.adjusted(1, 1, -2, -2);
            p.drawEllipse(circle);
            p.setBrush(fore);
            if (percent > 0) p.drawPie(circle, 90 * 16, -percent * 360 * 16 / 100);
            break;
        }
        case GaugeKind::Needle: {
            p.setRenderHint(QPainter::Antialiasing);
            const QPointF centre(inner.center().x() + 0.5, inner.bottom());
            const double radius = std::min(inner.width() / 2.0, static_cast<double>(inner.height())) - 2;
            p.setPen(Qt::black);
            p.drawArc(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), 0, 180 * 16);
            const double angle = std::numbers::pi * (1.0 - percent / 100.0);
            p.setPen(QPen(fore, 2));
            p.drawLine(centre, centre + QPointF(radius * std::cos(angle), -radius * std::sin(angle)));
            break;
        }
    }

    if (bar_->showText()) {
        // White combined by exclusive-or stays readable over the bar and over the background.
        QFont font = p.font();
        font.setStyleStrategy(QFont::NoAntialias);
        p.setFont(font);
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.setPen(Qt::white);
        p.drawText(inner, Qt::AlignCenter, QString::asprintf("%d%%", percent));
    }
    p.end();

    QPainter screen(this);
    screen.drawPixmap(0, 0, picture);
}

// --- TfrmGauge -----------------------------------------------------------------

TfrmGauge::TfrmGauge(GaugeModel& model, Prompter& prompter, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      model_(model),
      prompter_(prompter) {
    setObjectName(QStringLiteral("frmGauge"));
    setWindowTitle(QStringLiteral(KIMPORT_VERSION_TEXT));
    setModal(false);

    // Pictures first: the counter panel lies over them while it is shown.
    buildPictures();
    buildTop();
    buildCounters();
    buildBottom();

    AnimateTimer1 = new QTimer(this);
    AnimateTimer1->setObjectName(QStringLiteral("AnimateTimer1"));
    AnimateTimer1->setInterval(175);
    connect(AnimateTimer1, &QTimer::timeout, this, [this] { model_.AnimateTimer1Timer(); });
    AnimateTimer2 = new QTimer(this);
    AnimateTimer2->setObjectName(QStringLiteral("AnimateTimer2"));
    AnimateTimer2->setInterval(100);
    connect(AnimateTimer2, &QTimer::timeout, this, [this] { model_.AnimateTimer2Timer(); });

    model_.onChange = [this](GaugeChange change) { modelChanged(change); };
    model_.onPump = [this] { pump(); };
    sync();
}

TfrmGauge::~TfrmGauge() {
    model_.onChange = nullptr;
    model_.onPump = nullptr;
}

void TfrmGauge::buildTop() {
    panTop = panel(this, "panTop");
    Label1 = label(panTop, "Label1", QString(), QRect(8, 3, 315, 35), Qt::AlignLeft | Qt::AlignTop);
    lblAnzGeles = label(panTop, "lblAnzGeles", QStringLiteral("Anzahl gelesener Zeilen"), QRect(8, 21, 200, 16));
    counterLabels_[static_cast<int>(Counter::AnzGeles2)] =
        label(panTop, "lblAnzGeles2", QString(), QRect(208, 21, 115, 16), Qt::AlignRight | Qt::AlignVCenter);
}

void TfrmGauge::buildCounters() {
    panImpLauf = panel(this, "panImpLauf");
    // The window keeps its designed width; where the desktop font is larger than
    // the designed one, the captions get a smaller font rather than being cut.
    constexpr int numberWidth = 72;
    constexpr int captionWidth = kClientWidth - 18 - numberWidth;
    QFont font = panImpLauf->font();
    auto widest = [](const QFont& f) {
        const QFontMetrics metrics(f);
        int width = 0;
        for (const CounterRow& row : counterRows())
            width = std::max(width, metrics.horizontalAdvance(QString::fromUtf8(row.caption)));
        return width;
    };
    while (font.pointSizeF() > 6.5 && widest(font) > captionWidth) font.setPointSizeF(font.pointSizeF() - 0.5);
    panImpLauf->setFont(font);

    // Five rows, the two rule lines, then the total and the errors.
    static constexpr int tops[7] = {6, 24, 42, 60, 78, 110, 130};
    constexpr int numberLeft = 10 + captionWidth;
    int i = 0;
    for (const CounterRow& row : counterRows()) {
        const std::string captionName = "Label" + std::to_string(i + 2);
        label(panImpLauf, captionName.c_str(), QString::fromUtf8(row.caption), QRect(10, tops[i], captionWidth, 16));
        counterLabels_[static_cast<int>(row.counter)] =
            label(panImpLauf, row.labelName, QString(), QRect(numberLeft, tops[i], numberWidth, 16),
                  Qt::AlignRight | Qt::AlignVCenter);
        ++i;
    }
    const QString rule = QStringLiteral("______________");
    label(panImpLauf, "lblLinie1", rule, QRect(numberLeft, 90, numberWidth, 14), Qt::AlignRight);
    label(panImpLauf, "lblLinie2", rule, QRect(numberLeft, 93, numberWidth, 14), Qt::AlignRight);
}

void TfrmGauge::buildBottom() {
    panBottom = panel(this, "panBottom");
    gaugeFrame_ = new QFrame(panBottom);
    gaugeFrame_->setObjectName(QStringLiteral("panGauge"));
    gaugeFrame_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    gaugeFrame_->setLineWidth(1);
    gaugeFrame_->setGeometry(4, 4, kClientWidth - 8, 20);
    Gauge1 = new TGauge(gaugeFrame_);
    Gauge1->setObjectName(QStringLiteral("Gauge1"));
    Gauge1->setGeometry(1, 1, kClientWidth - 10, 18);
    Gauge1->setBar(model_.bar());

    btnGaugeAbbrechen = new QPushButton(panBottom);
    btnGaugeAbbrechen->setObjectName(QStringLiteral("btnGaugeAbbrechen"));
    btnGaugeAbbrechen->setGeometry(model_.cancelButtonLeft(), 27, 75, 25);
    connect(btnGaugeAbbrechen, &QPushButton::clicked, this, &TfrmGauge::btnGaugeAbbrechenClick);

    btnHilfe = new QPushButton(QStringLiteral("&Hilfe"), panBottom);
    btnHilfe->setObjectName(QStringLiteral("btnHilfe"));
    btnHilfe->setGeometry(196, 27, 75, 25);
    btnHilfe->setProperty("helpContext", kGaugeHelpContext);
    connect(btnHilfe, &QPushButton::clicked, this, &TfrmGauge::btnHilfeClick);

    btnFehlerliste = new QPushButton(QStringLiteral("&Fehlerliste…"), panBottom);
    btnFehlerliste->setObjectName(QStringLiteral("btnFehlerliste"));
    btnFehlerliste->setToolTip(QStringLiteral("Welche Datensätze und Felder nicht wie gewünscht eingelesen wurden, "
                                              "und warum"));
    btnFehlerliste->setGeometry(8, 27, 92, 25);
    btnFehlerliste->hide();
    connect(btnFehlerliste, &QPushButton::clicked, this, &TfrmGauge::btnFehlerlisteClick);
}

void TfrmGauge::btnFehlerlisteClick() {
    if (!model_.report()) return;
    if (!errorList_) errorList_ = new TfrmFehlerliste(prompter_, this);
    errorList_->showReport(*model_.report());
}

void TfrmGauge::buildPictures() {
    auto make = [this](Picture which, const QPixmap& pixmap, int x, int y) {
        auto* l = new QLabel(this);
        l->setObjectName(QLatin1String(pictureName(which)));
        l->setPixmap(pixmap);
        l->setGeometry(x, y, pixmap.width(), pixmap.height());
        pictures_[static_cast<int>(which)] = l;
    };
    make(Picture::ImgFolderFull, folderPicture(), 14, 62);
    make(Picture::Database1, databasePicture(QColor(110, 130, 170)), 284, 62);
    make(Picture::DataBase2, databasePicture(QColor(60, 160, 80)), 284, 62);
    // The document's way from the folder to the database, an arc over the middle.
    const QPixmap document = documentPicture();
    for (int n = 3; n <= 12; ++n) {
        const int i = n - 3;
        const int x = 52 + i * 23;
        const int y = 74 - static_cast<int>(24 * std::sin(std::numbers::pi * (i + 0.5) / 10));
        make(static_cast<Picture>(static_cast<int>(Picture::Image3) + i), document, x, y);
    }
    for (int i = 0; i < 7; ++i)
        make(static_cast<Picture>(static_cast<int>(Picture::RedImage0) + i), redPicture(i), 149, 100);
}

// --- drawing the model -----------------------------------------------------------

void TfrmGauge::modelChanged(GaugeChange change) {
    switch (change) {
        case GaugeChange::Shown:
            FormShow();
            break;
        case GaugeChange::Closed:
            FormClose();
            break;
        case GaugeChange::Timers:
            syncTimers();
            break;
        default:
            scheduleSync();
            break;
    }
}

// A run changes counters for every record; the labels follow once per round of events.
void TfrmGauge::scheduleSync() {
    if (syncPending_) return;
    syncPending_ = true;
    QMetaObject::invokeMethod(this, &TfrmGauge::sync, Qt::QueuedConnection);
}

void TfrmGauge::sync() {
    syncPending_ = false;
    const int clientHeight = std::max(0, model_.height() - kFrameHeight);
    setFixedSize(kClientWidth, clientHeight);
    panTop->setGeometry(0, 0, kClientWidth, 41);
    panBottom->setGeometry(0, clientHeight - 55, kClientWidth, 55);
    panImpLauf->setGeometry(0, 41, kClientWidth, std::max(0, clientHeight - 41 - 55));
    panImpLauf->setVisible(model_.counterPanelVisible());

    Label1->setText(qsLines(model_.status()));
    lblAnzGeles->setVisible(model_.readLinesVisible());
    counterLabels_[static_cast<int>(Counter::AnzGeles2)]->setVisible(model_.readLinesVisible());
    for (int i = 0; i < kCounterCount; ++i) counterLabels_[i]->setText(qsLines(model_.counterText(static_cast<Counter>(i))));

    btnGaugeAbbrechen->setText(qsLines(model_.cancelCaption()));
    btnFehlerliste->setVisible(model_.reportButtonVisible());
    btnGaugeAbbrechen->move(model_.cancelButtonLeft(), btnGaugeAbbrechen->y());
    btnHilfe->setVisible(model_.helpVisible());

    for (int i = 0; i < kPictureCount; ++i) pictures_[i]->setVisible(model_.pictureVisible(static_cast<Picture>(i)));
    syncTimers();
}

void TfrmGauge::syncTimers() {
    if (model_.animateTimer1() != AnimateTimer1->isActive())
        model_.animateTimer1() ? AnimateTimer1->start() : AnimateTimer1->stop();
    if (model_.animateTimer2() != AnimateTimer2->isActive())
        model_.animateTimer2() ? AnimateTimer2->start() : AnimateTimer2->stop();
}

void TfrmGauge::pump() {
    if (pumpInterval_ > 0 && !pumpTicker_.due()) return;
    QCoreApplication::processEvents();
}

void TfrmGauge::FormShow() {
    sync();
    if (wizard_ && wizard_->isVisible()) wizard_->setEnabled(false);
    if (settingsManager_ && settingsManager_->isVisible()) settingsManager_->setEnabled(false);
    if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
    // Always on top already; raising is not needed.
    show();
}

void TfrmGauge::FormClose() {
    hide();
    if (wizard_) wizard_->setEnabled(true);
    if (settingsManager_ && settingsManager_->isVisible()) settingsManager_->setEnabled(true);
}

// --- the user's input ------------------------------------------------------------

void TfrmGauge::btnGaugeAbbrechenClick() {
    model_.btnGaugeAbbrechenClick(prompter_);
}

void TfrmGauge::btnHilfeClick() {
    emit helpRequested(kGaugeHelpContext);
}

void TfrmGauge::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        emit helpRequested(kGaugeHelpContext);
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmGauge::closeEvent(QCloseEvent* event) {
    // Only the model closes the window; a close from outside would skip the question.
    if (model_.visible()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

}  // namespace kimport
