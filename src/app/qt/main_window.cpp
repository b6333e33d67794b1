#include "app/qt/main_window.h"

#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QVBoxLayout>

#include "app/qt/button_view.h"
#include "app/qt/level_meter_view.h"
#include "app/qt/popup_button_view.h"
#include "app/qt/segmented_control_view.h"
#include "app/qt/slider_view.h"
#include "app/qt/stepper_view.h"
#include "app/qt/text_field_view.h"
#include "frequency/pitch_scales.h"

namespace tolva {
namespace {

QLabel* labelFor(const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

// A titled frame around a group of controls. QGroupBox takes Space for its
// check box even when it has none; here it passes keys on to the window.
class Section : public QGroupBox {
  public:
    explicit Section(const QString& title) : QGroupBox(title) {}

  protected:
    bool event(QEvent* event) override {
        if (!isCheckable() &&
            (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
            event->ignore();
            return false;
        }
        return QGroupBox::event(event);
    }
};

void nameSegments(SegmentedControlView* view, const QStringList& names) {
    for (int i = 0; i < names.size(); ++i) {
        if (QAbstractButton* segment = view->segment(i)) {
            segment->setAccessibleName(names[i]);
            segment->setToolTip(names[i]);
        }
    }
}

}  // namespace

MainWindow::MainWindow(ControlPanel& panel, AppDelegate& delegate, QWidget* parent)
    : QMainWindow(parent), panel_(panel), delegate_(delegate), refreshTimer_(this) {
    setWindowTitle(QStringLiteral("Tolva"));
    setCentralWidget(buildPanel());
    buildMenus();
    refreshTimer_.start();
}

template <typename View>
View* MainWindow::track(View* view, const char* outlet, const QString& tip) {
    view->setObjectName(QString::fromLatin1(outlet));
    view->setToolTip(tip);
    refreshTimer_.addView(view);
    return view;
}

QWidget* MainWindow::buildPanel() {
    auto* frequencySlider = track(new SliderView(panel_.frequencySlider, Qt::Horizontal),
                                  "frequencySlider", tr("Carrier frequency"));
    frequencySlider->setAccessibleName(tr("Frequency"));
    // The slider's reading in Hz (for A = 440, before the octave), on either scale.
    const auto logScale = [this] { return panel_.linlogButton.state() == 1; };
    frequencySlider->setUnit({[this, logScale](double s) {
                                  const SliderModel& m = panel_.frequencySlider;
                                  return logScale() ? logfreq(s, m.minValue(), m.maxValue()) : s;
                              },
                              [this, logScale](double hz) {
                                  const SliderModel& m = panel_.frequencySlider;
                                  return logScale() ? logval(hz, m.minValue(), m.maxValue()) : hz;
                              },
                              QStringLiteral(" Hz"), 1});
    // No accessible name: a screen reader reads the frequency itself, and
    // hears it change (the tool tip tells what it is).
    auto* frequencyText = track(new TextFieldView(panel_.frequencyTextField), "frequencyTextField",
                                tr("Carrier frequency in Hz"));
    frequencyText->setMinimumWidth(frequencyText->fontMetrics().horizontalAdvance("00000.0 Hz") +
                                   12);
    auto* segCtrlMult = track(
        new SegmentedControlView(panel_.segCtrlMult,
                                 {QStringLiteral("×¼"), QStringLiteral("×½"), QStringLiteral("×1"),
                                  QStringLiteral("×2"), QStringLiteral("×4")}),
        "segCtrlMult", tr("Octave multiplier of the carrier"));
    segCtrlMult->setAccessibleName(tr("Octave"));
    nameSegments(segCtrlMult, {tr("Times one quarter"), tr("Times one half"), tr("Times one"),
                               tr("Times two"), tr("Times four")});
    auto* linlogButton =
        track(new ButtonView(panel_.linlogButton, tr("Scale")), "linlogButton",
              tr("Switch the frequency slider between a linear and a logarithmic scale"));
    auto* centerButton = track(new ButtonView(panel_.centerButton, tr("Center")), "centerButton",
                               tr("Return the carrier to the reference A"));
    auto* tuningStepper = track(new StepperView(panel_.tuningStepper, 1), "tuningStepper",
                                tr("Reference pitch of A4, 435 to 445 Hz"));
    tuningStepper->setSuffix(QStringLiteral(" Hz"));
    tuningStepper->setAccessibleName(tr("Tuning"));
    tuningStepper->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* sourceButton = track(new ButtonView(panel_.sourceButton), "sourceButton",
                               tr("Let MIDI notes drive the carrier frequency"));
    auto* midiPopupButton = track(new PopUpButtonView(panel_.midiPopupButton), "midiPopupButton",
                                  tr("MIDI channel to listen to"));
    midiPopupButton->setAccessibleName(tr("MIDI channel"));

    auto* depthSlider = track(new SliderView(panel_.depthSlider, Qt::Horizontal), "depthSlider",
                              tr("Modulation depth: dry input at the left, fully modulated at "
                                 "the right"));
    depthSlider->setAccessibleName(tr("Depth"));
    depthSlider->setUnit({[](double d) { return d * 100.0; },
                          [](double percent) { return percent / 100.0; }, QStringLiteral(" %"), 1});
    auto* segCtrlCarrWave =
        track(new SegmentedControlView(panel_.segCtrlCarrWave,
                                       {tr("Self"), tr("Sine"), tr("Triangle"), tr("Ramp")}),
              "segCtrlCarrWave", tr("Carrier waveform: the input itself, sine, triangle or ramp"));
    segCtrlCarrWave->setAccessibleName(tr("Carrier"));
    nameSegments(segCtrlCarrWave, {tr("Self"), tr("Sine"), tr("Triangle"), tr("Ramp")});
    auto* diodeButton = track(new ButtonView(panel_.diodeButton, tr("Diode")), "diodeButton",
                              tr("Bend the carrier through the diode curve"));
    auto* nonlSlider = track(new SliderView(panel_.nonlSlider, Qt::Horizontal), "nonlSlider",
                             tr("Exponent of the diode curve, 1 (straight) to 4"));
    nonlSlider->setAccessibleName(tr("Nonlinearity"));

    playButton_ = track(new ButtonView(panel_.playButton), "playButton",
                        tr("Start or stop the modulator (Space)"));
    bypassButton_ = track(new ButtonView(panel_.bypassButton), "bypassButton",
                          tr("Pass the input through untouched (B)"));
    muteButton_ = track(new ButtonView(panel_.muteButton), "muteButton",
                        tr("Fade the modulated signal out (M)"));
    auto* levelIndicator =
        track(new LevelMeterView(panel_.levelIndicator), "levelIndicator", tr("Output level"));
    levelIndicator->setAccessibleName(tr("Level"));
    auto* testButton = track(new ButtonView(panel_.testButton), "testButton",
                             tr("Write the tuning and frequency state to the system log"));

    auto* frequencyBox = new Section(tr("Carrier frequency"));
    auto* fg = new QGridLayout(frequencyBox);
    fg->addWidget(labelFor(tr("F&requency"), frequencySlider), 0, 0);
    fg->addWidget(frequencySlider, 0, 1, 1, 4);
    fg->addWidget(frequencyText, 0, 5);
    fg->addWidget(labelFor(tr("&Octave"), segCtrlMult), 1, 0);
    fg->addWidget(segCtrlMult, 1, 1, 1, 3);
    fg->addWidget(linlogButton, 1, 4);
    fg->addWidget(centerButton, 1, 5);
    fg->addWidget(labelFor(tr("&Tuning"), tuningStepper), 2, 0);
    fg->addWidget(tuningStepper, 2, 1);
    fg->addWidget(sourceButton, 2, 2);
    fg->addWidget(labelFor(tr("C&hannel"), midiPopupButton), 2, 3);
    fg->addWidget(midiPopupButton, 2, 4, 1, 2);
    fg->setColumnStretch(1, 1);

    auto* modulationBox = new Section(tr("Modulation"));
    auto* mg = new QGridLayout(modulationBox);
    mg->addWidget(labelFor(tr("&Depth"), depthSlider), 0, 0);
    mg->addWidget(depthSlider, 0, 1, 1, 2);
    mg->addWidget(labelFor(tr("C&arrier"), segCtrlCarrWave), 1, 0);
    mg->addWidget(segCtrlCarrWave, 1, 1, 1, 2);
    mg->addWidget(labelFor(tr("&Nonlinearity"), nonlSlider), 2, 0);
    mg->addWidget(nonlSlider, 2, 1);
    mg->addWidget(diodeButton, 2, 2);
    mg->setColumnStretch(1, 1);

    auto* transport = new QHBoxLayout;
    transport->addWidget(playButton_);
    transport->addWidget(bypassButton_);
    transport->addWidget(muteButton_);
    transport->addSpacing(12);
    transport->addWidget(labelFor(tr("Level"), levelIndicator));
    transport->addWidget(levelIndicator, 1);
    transport->addSpacing(12);
    transport->addWidget(testButton);

    auto* central = new QWidget;
    auto* column = new QVBoxLayout(central);
    column->addWidget(frequencyBox);
    column->addWidget(modulationBox);
    column->addLayout(transport);
    return central;
}

void MainWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    openAction_ = file->addAction(tr("&Open…"));
    openAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(openAction_, &QAction::triggered, this, [this] { delegate_.openDocument(); });
    saveAction_ = file->addAction(tr("&Save"));
    saveAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(saveAction_, &QAction::triggered, this, [this] { delegate_.saveDocument(); });
    file->addSeparator();
    quitAction_ = file->addAction(tr("&Quit"));
    quitAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quitAction_->setMenuRole(QAction::QuitRole);
    // Closing the window is what quits.
    connect(quitAction_, &QAction::triggered, this, &QWidget::close);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    // A key reaches the window only when the focused control did not take
    // it: Space still presses a focused button, and letters typed into the
    // tuning box stay there. Each acts as a click on its button: the model
    // flips and the action is sent once; a held key does not repeat it.
    ButtonView* button = nullptr;
    if ((event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        switch (event->key()) {
            case Qt::Key_Space:
                button = playButton_;
                break;
            case Qt::Key_M:
                button = muteButton_;
                break;
            case Qt::Key_B:
                button = bypassButton_;
                break;
            default:
                break;
        }
    }
    if (button == nullptr) {
        QMainWindow::keyPressEvent(event);
        return;
    }
    event->accept();
    if (!event->isAutoRepeat()) {
        button->click();
    }
}

}  // namespace tolva
