#pragma once
// The Qt view of the configurator's window: creates the controls where the shared layout puts them, forwards
// the user's events to the window logic and implements its control interfaces. Nothing else.
#include "window/Layout.h"
#include "window/TwinMain.h"
#include "window/qt/QtControls.h"

#include <QWidget>
#include <array>
#include <memory>
#include <string>

class QButtonGroup;
class QScrollArea;

namespace zelo {

class QtMainWindow : public QWidget {
    Q_OBJECT
public:
    // settingsFileName: where the link settings are read at start and written at the end. An error of the
    // start-up (an unreadable settings file) is raised from here: the window is not created.
    QtMainWindow(Dialogs& dialogs, const std::string& settingsFileName, QWidget* parent = nullptr);
    ~QtMainWindow() override;

    TwinMain& Logic() { return *Logic_; }
    QWidget* Control(layout::ControlId id) const { return Widgets_[static_cast<std::size_t>(id)]; }
    QButtonGroup* AccessTypeButtons() const { return AccessTypeButtons_; }
    // The scrolled area that holds every control.
    QScrollArea* ClientArea() const { return Scroll_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void CreateControls();
    void ConnectEvents();
    WindowControls Interfaces();
    layout::LayoutMetrics Measure() const;
    // Puts every control at its rectangle for the current size of the scrolled area.
    void ApplyLayout();
    // Centres the window in the screen's free area, shrunk to fit it when it is larger.
    void FitToScreen();

    std::array<QWidget*, layout::ControlCount> Widgets_{};
    QScrollArea* Scroll_ = nullptr;
    QWidget* Content_ = nullptr;
    QButtonGroup* AccessTypeButtons_ = nullptr;
    layout::LayoutMetrics Metrics_;
    bool Fitted_ = false;

    QtForm Form_;
    std::array<QtControl, 4> Containers_; // the four areas a download disables
    std::array<QtControl, 7> Buttons_;
    QtComboBox Device_;
    QtComboBox Baudrate_;
    QtEditField PhysicalAddress_;
    std::array<QtCheckBox, 3> Options_;
    QtEditField Start_;
    QtEditField End_;
    QtRadioGroup Access_;
    QtCheckList Types_;
    QtCommandList Commands_;
    QtLabel Status_;
    QtGauge Gauge_;
    std::unique_ptr<TwinMain> Logic_;
};

} // namespace zelo
