#pragma once
// The monitor window's Qt view: its controls over widgets, placed by the shared monitor layout, and its
// timer, which hands the GUI thread to the logic's Tick.
#include "window/MonitorWindow.h"
#include "window/qt/QtControls.h"

#include <QPlainTextEdit>
#include <QWidget>

#include <memory>

class QTimer;

namespace zelo {

class QtLineView : public QtWidgetControl<ILineView> {
public:
    void Bind(QPlainTextEdit* edit) {
        QtWidgetControl::Bind(edit);
        Edit_ = edit;
    }
    void AppendLines(const std::vector<std::string>& lines) override;
    void RemoveFirstLines(int count) override;
    void ClearLines() override;
    int LineCount() const override { return Count_; }
    std::string LineText(int index) const override;

private:
    QPlainTextEdit* Edit() const { return Edit_; }
    QPlainTextEdit* Edit_ = nullptr;
    int Count_ = 0;
};

class QtMonitorWindow : public QWidget, private IMonitorForm {
    Q_OBJECT
public:
    explicit QtMonitorWindow(Dialogs& dialogs, QWidget* parent = nullptr);
    ~QtMonitorWindow() override;

    MonitorWindow& Logic() { return *Logic_; }
    // The widgets by their names (txtFilter, chkPause, btnClear, btnSaveLog, btnNames, lstLines, labCount,
    // labStatus), for the view's tests.
    QWidget* Widget(const char* name) const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Show() override;
    void SetCaption(const std::string& caption) override;
    void SetTicking(bool on) override;
    void ApplyLayout();

    QTimer* Timer_ = nullptr;
    QtLineView Lines_;
    QtEditField Filter_;
    QtCheckBox Pause_;
    QtControl Clear_;
    QtControl SaveLog_;
    QtControl Names_;
    QtLabel Count_;
    QtLabel Status_;
    std::unique_ptr<MonitorWindow> Logic_;
};

} // namespace zelo
