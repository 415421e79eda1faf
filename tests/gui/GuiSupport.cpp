#include "GuiSupport.h"
#include "window/qt/CheckList.h"
#include "window/qt/ZeloApplication.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <gtest/gtest.h>

namespace zelo::test {

ViewHarness::ViewHarness(const std::optional<std::string>& settings) : SettingsPath(Dir.File("zelo.ini")) {
    if (settings)
        Dir.Write("zelo.ini", *settings);
    ZeloApplication::Instance()->SetDialogs(&Boxes);
    Window_ = std::make_unique<QtMainWindow>(Boxes, SettingsPath, [this] { return Ports; });
}

ViewHarness::~ViewHarness() {
    Window_.reset();
    ZeloApplication::Instance()->SetDialogs(nullptr);
}

void ViewHarness::ShowActive() {
    Window_->show();
    Window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Window_.get()));
}

std::string ViewHarness::Close() {
    Window_.reset();
    return ReadFileBytes(SettingsPath);
}

void ViewHarness::Enter(const char* field, const QString& text) {
    auto* edit = Find<QLineEdit>(field);
    edit->setFocus(Qt::MouseFocusReason);
    edit->setText(text);
    QTest::keyClick(edit, Qt::Key_Tab);
}

void ViewHarness::ClickCheck(int row) {
    auto* list = Find<CheckList>("EibDptList");
    QStyleOptionViewItem option;
    option.initFrom(list);
    option.rect = list->visualItemRect(list->item(row));
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.text = list->item(row)->text();
    const QRect box = list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, box.center());
}

void ViewHarness::Click(const char* button) {
    QTest::mouseClick(Find<QAbstractButton>(button), Qt::LeftButton);
}

} // namespace zelo::test
