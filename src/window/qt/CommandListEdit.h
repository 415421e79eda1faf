#pragma once
#include <QPlainTextEdit>

namespace zelo {

// The command list's text control: plain text without wrapping, with a gutter of line numbers on its left,
// so a line named in a message can be found at a glance.
class CommandListEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CommandListEdit(QWidget* parent = nullptr);

    QWidget* Gutter() const { return Gutter_; }
    int GutterWidth() const;
    // The line numbers the gutter shows now, top to bottom (for tests and the screenshot).
    QList<int> ShownNumbers() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class LineNumberGutter;
    int NumberedLines() const;
    void UpdateGutterWidth();
    void UpdateGutter(const QRect& rect, int dy);
    void PaintGutter(QPaintEvent* event);
    QWidget* Gutter_;
};

} // namespace zelo
