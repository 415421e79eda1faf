#pragma once
// A list box of check boxes laid out top to bottom in columns, each row with its own check mark and enabled
// state. Only the user's toggles (a click on the box, the space key) raise OnCheckClicked; a disabled row
// can be made current but not toggled.
#include "window/win32/Win32Control.h"

#include <string>
#include <vector>

namespace zelo::win32 {

class CheckList : public ControlFor<ICheckList> {
public:
    ~CheckList() override;

    void Create(HWND parent, int id, int columns);
    // All enabled, none checked, no current row.
    void SetItems(const std::vector<std::string>& items) override;
    int Count() const override { return static_cast<int>(Rows_.size()); }
    std::string ItemText(int row) const;
    bool Checked(int row) const override;
    void SetChecked(int row, bool checked) override;
    bool ItemEnabled(int row) const override;
    void SetItemEnabled(int row, bool enabled) override;
    // The current row (-1 for none).
    int CurrentRow() const override;
    void SetCurrentRow(int row) override;
    // Fits the rows and columns into the list's size; call after a move or a change of font.
    void FitRows();
    // The rectangle of a row and of its check box, in the list's client coordinates.
    RECT RowRect(int row) const;
    RECT CheckBoxRect(int row) const;
    // Where a row's text starts, from the row's left edge.
    int TextIndent() const;
    // The font the rows are drawn in: the list's own, made smaller only when the longest row would not fit
    // its column.
    HFONT RowFont() const;

    // The user toggled a row's check mark (its index); the mark is already changed.
    std::function<void(int)> OnCheckClicked;
    // The user clicked an enabled row's text, not its box (its index); the row is current already. A double
    // click counts once.
    std::function<void(int)> OnTextClicked;

    // Paints one row; public, so a row can be drawn into any device context.
    bool Draw(const DRAWITEMSTRUCT& item) override;

protected:
    LRESULT Proc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void FitFont(int columnWidth, int rowHeight);
    struct Row {
        bool Checked = false;
        bool Enabled = true;
    };
    bool ValidRow(int row) const { return row >= 0 && row < Count(); }
    // A row's check mark or enabled state, redrawn when it changes.
    void SetRowState(int row, bool Row::*state, bool value);
    void Toggle(int row);
    void Redraw(int row);
    RECT BoxIn(const RECT& row) const;
    std::vector<Row> Rows_;
    int Columns_ = 1;
    HFONT Font_ = nullptr;   // given by WM_SETFONT
    HFONT Fitted_ = nullptr; // owned; null when the given font fits
};

} // namespace zelo::win32
