#pragma once
// The Qt view of the configurator's window: creates the controls where the shared layout puts them, forwards
// the user's events to the window logic and implements its control interfaces. Nothing else.
#include "window/Layout.h"
#include "window/TwinMain.h"
#include "window/Wiring.h"
#include "window/qt/QtControls.h"

#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QButtonGroup;
class QMimeData;
class QScrollArea;

namespace zelo {

class QtMonitorWindow;

class QtMainWindow : public QWidget {
    Q_OBJECT
public:
    // settingsFileName: where the link settings are read at start and written at the end. An error of the
    // start-up (an unreadable settings file) is raised from here: the window is not created.
    // listPorts: where the device list's existing ports come from.
    QtMainWindow(Dialogs& dialogs, const std::string& settingsFileName,
                 PortLister listPorts = os::ListSerialPorts, QWidget* parent = nullptr);
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
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateControls();
    // Makes the control's logic side, bound to its widget, and registers it under its id.
    template <typename Adapter, typename Widget> void Register(layout::ControlId id, Widget* widget);
    void ConnectEvents();
    // Connects the toolkit's signal for a click, a choice or a toggle.
    void ConnectUse(const layout::ControlInfo& info, QWidget* widget);
    void Raise(layout::ControlId id, ControlEvent event);
    // A termination request (SIGTERM, SIGINT) reaches the logic from the event loop.
    void WatchTerminationRequests();
    // Files dragged over the window or one of its fields: taken by the window, not typed into a field.
    bool TakesDrop(QEvent* event);
    // The control of the layout that holds the keyboard focus, if any.
    std::optional<layout::ControlId> FocusedControl() const;
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
    ControlRegistry Registry_;
    std::vector<std::shared_ptr<void>> Adapters_; // what Registry_ points to
    std::unique_ptr<TwinMain> Logic_;
    std::unique_ptr<QtMonitorWindow> Monitor_; // made at the first click on Monitor...
};

// The program: shows the window with the settings of settingsFileName, opens the first of files, and runs
// until the window ends. Returns 0, or 1 when the window could not start (an unreadable settings file); the
// reason is shown by the standard error display.
int RunConfigurator(Dialogs& dialogs, const std::string& settingsFileName,
                    const std::vector<std::string>& files);

} // namespace zelo
