#pragma once
#include <QListWidget>

namespace zelo {

// A list of check boxes that tells a toggle by the user (mouse on the box, space key) apart from check marks
// set by the program: only the first raises CheckClicked.
class CheckList : public QListWidget {
    Q_OBJECT
public:
    explicit CheckList(QWidget* parent = nullptr);

    // Lays the items out top to bottom in the given number of columns, each column as tall as the list.
    void SetColumns(int columns);
    bool Checked(int row) const;
    void SetChecked(int row, bool checked);
    void SetItemEnabled(int row, bool enabled);
    bool ItemEnabled(int row) const;

signals:
    void CheckClicked(int row);
    // A click on an enabled row's text (not on its box); a double click counts once.
    void TextClicked(int row);

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void UpdateGrid();
    void FitFont();
    int Columns = 1;
    bool UserToggling = false;
    bool Toggled = false; // the box was toggled by the present mouse release
    int PressedRow = -1;
    bool DoubleClicked = false; // the release to come ends a double click
};

} // namespace zelo
