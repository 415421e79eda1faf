#pragma once
// The window logic's control interfaces over Qt widgets. Changes made through them raise no events the
// window forwards (signals of lists are blocked; the other widgets' forwarded signals are the user's only).
#include "window/Controls.h"

class QButtonGroup;
class QComboBox;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QTextBlock;
class QWidget;

namespace zelo {

class CheckList;

// Enabled state and focus for any widget.
template <typename Interface> class QtWidgetControl : public Interface {
public:
    void Bind(QWidget* widget) { Widget_ = widget; }
    bool Enabled() const override;
    void SetEnabled(bool enabled) override;
    bool Visible() const override;
    void SetVisible(bool visible) override;
    void SetFocus() override;

protected:
    QWidget* Widget_ = nullptr;
};

using QtControl = QtWidgetControl<IControl>;

class QtEditField : public QtWidgetControl<IEditField> {
public:
    std::string Text() const override;
    void SetText(const std::string& text) override;

private:
    QLineEdit* Edit() const;
};

class QtCheckBox : public QtWidgetControl<ICheckBox> {
public:
    bool Checked() const override;
    void SetChecked(bool checked) override;

private:
    QCheckBox* Box() const;
};

class QtRadioGroup : public QtWidgetControl<IRadioGroup> {
public:
    void BindButtons(QButtonGroup* buttons) { Buttons_ = buttons; }
    int ItemIndex() const override;
    void SetItemIndex(int index) override;

private:
    QButtonGroup* Buttons_ = nullptr;
};

class QtComboBox : public QtWidgetControl<IComboBox> {
public:
    void SetItems(const std::vector<std::string>& items) override;
    int ItemCount() const override;
    std::string ItemText(int index) const override;
    int ItemIndex() const override;
    void SetItemIndex(int index) override;
    std::string Text() const override;
    void SetText(const std::string& text) override;

private:
    QComboBox* Box() const;
};

class QtCheckList : public QtWidgetControl<ICheckList> {
public:
    void SetItems(const std::vector<std::string>& items) override;
    int Count() const override;
    bool Checked(int row) const override;
    void SetChecked(int row, bool checked) override;
    bool ItemEnabled(int row) const override;
    void SetItemEnabled(int row, bool enabled) override;
    int CurrentRow() const override;
    void SetCurrentRow(int row) override;

private:
    CheckList* List() const;
};

// Written through cursor edits at one place, never by setting the whole text, so a long list lays out only
// the line that changed.
class QtCommandList : public QtWidgetControl<ICommandList> {
public:
    int LineCount() const override;
    std::string Line(int index) const override;
    void ReplaceLine(int index, const std::string& text) override;
    void InsertLine(int index, const std::string& text) override;
    std::string Text() const override;
    void SetText(const std::string& text) override;
    void ScrollToLine(int index) override;
    void SelectLine(int index) override;

private:
    QPlainTextEdit* Edit() const;
    QTextBlock Block(int index) const;
};

class QtLabel : public ILabel {
public:
    void Bind(QLabel* label) { Label_ = label; }
    void SetText(const std::string& text) override;
    void RepaintNow() override;

private:
    QLabel* Label_ = nullptr;
};

class QtGauge : public IGauge {
public:
    void Bind(QProgressBar* bar) { Bar_ = bar; }
    void SetMinimum(int value) override;
    void SetMaximum(int value) override;
    void SetPosition(int value) override;
    void RepaintNow() override;

private:
    QProgressBar* Bar_ = nullptr;
};

class QtForm : public IForm {
public:
    void Bind(QWidget* window) { Window_ = window; }
    ~QtForm() override;
    std::string Caption() const override;
    void SetCaption(const std::string& caption) override;
    void SetWaitCursor(bool waiting) override;
    void ProcessPendingEvents() override;
    void Close() override;
    void Terminate() override;
    std::optional<layout::Placement> Placement() const override;

private:
    QWidget* Window_ = nullptr;
    bool Waiting_ = false;
};

} // namespace zelo
