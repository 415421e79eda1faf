#pragma once
#include <QComboBox>

namespace zelo {

// A drop-down list that says when it is about to open, so its entries can be read again first.
class ComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;

signals:
    void PopupAboutToShow();
};

} // namespace zelo
