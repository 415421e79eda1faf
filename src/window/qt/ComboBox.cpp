#include "window/qt/ComboBox.h"

#include <QAbstractItemView>
#include <algorithm>

namespace zelo {

void ComboBox::showPopup() {
    emit PopupAboutToShow();
    // Entries wider than the field (a by-id name with its description) show whole in the open list.
    int widest = 0;
    for (int i = 0; i < count(); ++i)
        widest = std::max(widest, fontMetrics().horizontalAdvance(itemText(i)));
    view()->setMinimumWidth(std::max(width(), widest + 32));
    QComboBox::showPopup();
}

} // namespace zelo
