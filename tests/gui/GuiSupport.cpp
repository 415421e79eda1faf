#include "GuiSupport.h"
#include "app/CheckListBox.h"
#include "app/ZeloApplication.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <gtest/gtest.h>

namespace zelo::test {

int ScriptedDialogs::MessageBox(const std::string& text, const std::string& title, int flags,
                                const std::string& detail) {
    Boxes.push_back({text, title, flags, detail});
    if ((flags & 0x0F) == box::Ok)
        return box::IdOk;
    if (Answers.empty()) {
        ADD_FAILURE() << "unscripted question: " << text;
        return box::IdNo;
    }
    const int answer = Answers.front();
    Answers.pop_front();
    return answer;
}

std::optional<std::string> ScriptedDialogs::OpenFile(const std::string& filter) {
    Filters.push_back(filter);
    if (Files.empty())
        return std::nullopt;
    auto file = Files.front();
    Files.pop_front();
    return file;
}

WindowHarness::WindowHarness(const std::optional<std::string>& settings)
    : SettingsPath(Dir.File("zelo.ini")) {
    if (settings)
        Dir.Write("zelo.ini", *settings);
    ZeloApplication::Instance()->SetDialogs(&Boxes);
    Window_ = std::make_unique<TwinMain>(Boxes, SettingsPath);
}

WindowHarness::~WindowHarness() {
    Window_.reset();
    ZeloApplication::Instance()->SetDialogs(nullptr);
}

void WindowHarness::ShowActive() {
    Window_->show();
    Window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Window_.get()));
}

std::string WindowHarness::Close() {
    Window_.reset();
    return ReadFileBytes(SettingsPath);
}

void WindowHarness::Enter(const char* field, const QString& text) {
    auto* edit = Find<QLineEdit>(*Window_, field);
    edit->setFocus(Qt::MouseFocusReason);
    edit->setText(text);
    QTest::keyClick(edit, Qt::Key_Tab);
}

void WindowHarness::ClickCheck(int row) {
    auto* list = Find<TCheckListBox>(*Window_, "EibDptList");
    QStyleOptionViewItem option;
    option.initFrom(list);
    option.rect = list->visualItemRect(list->item(row));
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.text = list->item(row)->text();
    const QRect box = list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, box.center());
}

void WindowHarness::AddRange(const QString& start, const QString& end, int type) {
    Enter("txtGrpAdrStart", start);
    Enter("txtGrpAdrEnd", end);
    auto* list = Find<TCheckListBox>(*Window_, "EibDptList");
    if (!list->Checked(type))
        ClickCheck(type);
    QTest::mouseClick(Find<QPushButton>(*Window_, "btnAdd"), Qt::LeftButton);
}

} // namespace zelo::test
