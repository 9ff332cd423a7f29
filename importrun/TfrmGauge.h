// The progress window and its bar control. Both only draw the state of a
// GaugeModel and pass clicks, keys and timer ticks back to it.
#pragma once

#include "importrun/GaugeModel.h"
#include "importrun/ProgressClock.h"

#include <QDialog>
#include <QPointer>
#include <QWidget>

#include <array>

class QFrame;
class QLabel;
class QPushButton;
class QTimer;

namespace kimport {

// The bar control: range, progress, kind, text and colours of a GaugeBar,
// painted off-screen first. It has a bar of its own until setBar() names another.
class TGauge : public QWidget {
    Q_OBJECT
public:
    explicit TGauge(QWidget* parent = nullptr);
    ~TGauge() override;

    // The bar must outlive this control or be replaced before it goes.
    void setBar(GaugeBar& bar);
    GaugeBar& bar() { return *bar_; }

    int minValue() const { return bar_->minValue(); }
    void setMinValue(int value) { bar_->setMinValue(value); }
    int maxValue() const { return bar_->maxValue(); }
    void setMaxValue(int value) { bar_->setMaxValue(value); }
    int progress() const { return bar_->progress(); }
    void setProgress(int value) { bar_->setProgress(value); }
    void addProgress(int value) { bar_->addProgress(value); }
    int percentDone() const { return bar_->percentDone(); }
    GaugeKind kind() const { return bar_->kind(); }
    void setKind(GaugeKind kind) { bar_->setKind(kind); }
    bool showText() const { return bar_->showText(); }
    void setShowText(bool show) { bar_->setShowText(show); }
    GaugeBorder borderStyle() const { return bar_->border(); }
    void setBorderStyle(GaugeBorder border) { bar_->setBorder(border); }
    QColor foreColor() const;
    void setForeColor(const QColor& color);
    QColor backColor() const;
    void setBackColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void attach(GaugeBar& bar);

    GaugeBar own_;
    GaugeBar* bar_ = nullptr;
};

// The progress window. It is a window of its own (no parent): disabling the
// wizard would otherwise disable it too.
class TfrmGauge : public QDialog {
    Q_OBJECT
public:
    // The model and the prompter must outlive the window.
    TfrmGauge(GaugeModel& model, Prompter& prompter, QWidget* parent = nullptr);
    ~TfrmGauge() override;

    // Windows disabled while the progress window is shown (when they are visible).
    void setWizardWindow(QWidget* window) { wizard_ = window; }
    void setSettingsManagerWindow(QWidget* window) { settingsManager_ = window; }

    GaugeModel& model() { return model_; }
    // Runs pending events at most once per interval; the model's pump() lands here.
    void pump();
    void setPumpInterval(int milliseconds) {
        pumpInterval_ = milliseconds;
        pumpTicker_.setInterval(std::chrono::milliseconds(milliseconds));
    }

    // Designed client area; the operations' heights include 27 pixels of title bar and frame.
    static constexpr int kClientWidth = 331;
    static constexpr int kFrameHeight = 27;

signals:
    void helpRequested(int context);

public slots:
    void btnGaugeAbbrechenClick();
    void btnHilfeClick();
    void btnFehlerlisteClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Escape must not hide the window behind the model's back.
    void reject() override {}

private:
    void buildTop();
    void buildCounters();
    void buildBottom();
    void buildPictures();
    void modelChanged(GaugeChange change);
    void scheduleSync();
    void sync();
    void syncTimers();
    void FormShow();
    void FormClose();

    GaugeModel& model_;
    Prompter& prompter_;
    QPointer<QWidget> wizard_;
    QPointer<QWidget> settingsManager_;

    QFrame* panTop = nullptr;
    QFrame* panImpLauf = nullptr;
    QFrame* panBottom = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblAnzGeles = nullptr;
    std::array<QLabel*, kCounterCount> counterLabels_{};
    QFrame* gaugeFrame_ = nullptr;
    TGauge* Gauge1 = nullptr;
    QPushButton* btnGaugeAbbrechen = nullptr;
    QPushButton* btnHilfe = nullptr;
    QPushButton* btnFehlerliste = nullptr;
    class TfrmFehlerliste* errorList_ = nullptr;  // made on first use
    std::array<QLabel*, kPictureCount> pictures_{};
    QTimer* AnimateTimer1 = nullptr;
    QTimer* AnimateTimer2 = nullptr;

    bool syncPending_ = false;
    // Redrawn by time, not per record; the first pump always draws.
    int pumpInterval_ = 30;
    ProgressTicker pumpTicker_{std::chrono::milliseconds(30)};
};

}  // namespace kimport
