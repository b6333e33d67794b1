#pragma once

#include <QMainWindow>

#include "app/app_delegate.h"
#include "app/control_panel.h"
#include "app/qt/panel_refresh_timer.h"

class QAction;

namespace tolva {

class ButtonView;

// The main window: the panel's controls as views of the panel's models, the
// File menu, the keyboard shortcuts and the timer that keeps the views in
// step with their models. Each view's objectName is its outlet's name.
class MainWindow : public QMainWindow, public AppWindow {
  public:
    MainWindow(ControlPanel& panel, AppDelegate& delegate, QWidget* parent = nullptr);

    ControlPanel& panel() override { return panel_; }
    PanelRefreshTimer& refreshTimer() { return refreshTimer_; }

    QAction* openAction() const { return openAction_; }
    QAction* saveAction() const { return saveAction_; }
    QAction* quitAction() const { return quitAction_; }

  protected:
    // Space, M and B that no focused control took: Play/Stop, Mute, Bypass.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QWidget* buildPanel();
    void buildMenus();
    template <typename View>
    View* track(View* view, const char* outlet, const QString& tip);

    ControlPanel& panel_;
    AppDelegate& delegate_;
    PanelRefreshTimer refreshTimer_;
    ButtonView* playButton_ = nullptr;
    ButtonView* bypassButton_ = nullptr;
    ButtonView* muteButton_ = nullptr;
    QAction* openAction_ = nullptr;
    QAction* saveAction_ = nullptr;
    QAction* quitAction_ = nullptr;
};

}  // namespace tolva
