#include "window/qt/QtControls.h"
#include "window/MonitorWindow.h"
#include "window/qt/CheckList.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace zelo {

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

template <typename Interface> bool QtWidgetControl<Interface>::Enabled() const {
    // The widget's own state: a disabled parent leaves it alone.
    return !Widget_->testAttribute(Qt::WA_ForceDisabled);
}

template <typename Interface> void QtWidgetControl<Interface>::SetEnabled(bool enabled) {
    Widget_->setEnabled(enabled);
}

template <typename Interface> bool QtWidgetControl<Interface>::Visible() const {
    // Its own state: a window not shown yet leaves it alone.
    return !Widget_->isHidden();
}

template <typename Interface> void QtWidgetControl<Interface>::SetVisible(bool visible) {
    Widget_->setVisible(visible);
}

template <typename Interface> void QtWidgetControl<Interface>::SetFocus() {
    Widget_->setFocus(Qt::OtherFocusReason);
}

template class QtWidgetControl<IControl>;
template class QtWidgetControl<IEditField>;
template class QtWidgetControl<ICheckBox>;
template class QtWidgetControl<IRadioGroup>;
template class QtWidgetControl<IComboBox>;
template class QtWidgetControl<ICheckList>;
template class QtWidgetControl<ICommandList>;
template class QtWidgetControl<ILineView>;

// ---- Edit field, check box, radio group ----

QLineEdit* QtEditField::Edit() const {
    return static_cast<QLineEdit*>(Widget_);
}

std::string QtEditField::Text() const {
    return Edit()->text().toStdString();
}

void QtEditField::SetText(const std::string& text) {
    Edit()->setText(Q(text));
}

QCheckBox* QtCheckBox::Box() const {
    return static_cast<QCheckBox*>(Widget_);
}

bool QtCheckBox::Checked() const {
    return Box()->isChecked();
}

void QtCheckBox::SetChecked(bool checked) {
    Box()->setChecked(checked);
}

int QtRadioGroup::ItemIndex() const {
    return Buttons_->checkedId();
}

void QtRadioGroup::SetItemIndex(int index) {
    if (QAbstractButton* button = Buttons_->button(index)) {
        button->setChecked(true);
        return;
    }
    // None chosen: an exclusive group cannot uncheck its last button.
    Buttons_->setExclusive(false);
    for (QAbstractButton* button : Buttons_->buttons())
        button->setChecked(false);
    Buttons_->setExclusive(true);
}

// ---- Drop-down list ----

QComboBox* QtComboBox::Box() const {
    return static_cast<QComboBox*>(Widget_);
}

void QtComboBox::SetItems(const std::vector<std::string>& items) {
    const QSignalBlocker block(Box());
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(items.size()));
    for (const std::string& item : items)
        texts << Q(item);
    Box()->clear();
    Box()->addItems(texts);
    Box()->setCurrentIndex(-1);
}

int QtComboBox::ItemCount() const {
    return Box()->count();
}

std::string QtComboBox::ItemText(int index) const {
    return Box()->itemText(index).toStdString();
}

int QtComboBox::ItemIndex() const {
    return Box()->currentIndex();
}

void QtComboBox::SetItemIndex(int index) {
    const QSignalBlocker block(Box());
    Box()->setCurrentIndex(index);
}

std::string QtComboBox::Text() const {
    return Box()->currentText().toStdString();
}

void QtComboBox::SetText(const std::string& text) {
    const QSignalBlocker block(Box());
    if (Box()->isEditable())
        Box()->setEditText(Q(text));
}

// ---- Check list ----

CheckList* QtCheckList::List() const {
    return static_cast<CheckList*>(Widget_);
}

void QtCheckList::SetItems(const std::vector<std::string>& items) {
    List()->clear();
    for (const std::string& text : items) {
        auto* item = new QListWidgetItem(Q(text), List());
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    List()->SetColumns(2);
    List()->setCurrentRow(-1);
}

int QtCheckList::Count() const {
    return List()->count();
}

bool QtCheckList::Checked(int row) const {
    return List()->Checked(row);
}

void QtCheckList::SetChecked(int row, bool checked) {
    List()->SetChecked(row, checked);
}

bool QtCheckList::ItemEnabled(int row) const {
    return List()->ItemEnabled(row);
}

void QtCheckList::SetItemEnabled(int row, bool enabled) {
    List()->SetItemEnabled(row, enabled);
}

int QtCheckList::CurrentRow() const {
    return List()->currentRow();
}

void QtCheckList::SetCurrentRow(int row) {
    List()->setCurrentRow(row);
}

// ---- Command list ----

QPlainTextEdit* QtCommandList::Edit() const {
    return static_cast<QPlainTextEdit*>(Widget_);
}

int QtCommandList::LineCount() const {
    return Edit()->document()->blockCount();
}

QTextBlock QtCommandList::Block(int index) const {
    // The window writes at the end nearly always: the last block without a search.
    const QTextDocument* document = Edit()->document();
    return index == document->blockCount() - 1 ? document->lastBlock() : document->findBlockByNumber(index);
}

std::string QtCommandList::Line(int index) const {
    return Block(index).text().toStdString();
}

void QtCommandList::ReplaceLine(int index, const std::string& text) {
    const QTextBlock block = Block(index);
    if (!block.isValid())
        return;
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(Q(text));
}

void QtCommandList::InsertLine(int index, const std::string& text) {
    QTextDocument* document = Edit()->document();
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    if (index < document->blockCount()) {
        cursor.setPosition(Block(index).position());
        cursor.insertText(Q(text));
        cursor.insertBlock();
    } else {
        cursor.movePosition(QTextCursor::End);
        cursor.insertBlock();
        cursor.insertText(Q(text));
    }
    cursor.endEditBlock();
}

std::string QtCommandList::Text() const {
    // The raw text keeps every character as typed (no-break spaces too); blocks end in paragraph separators.
    QString text = Edit()->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text.toStdString();
}

void QtCommandList::SetText(const std::string& text) {
    Edit()->setPlainText(Q(text));
}

void QtCommandList::ScrollToLine(int index) {
    const QTextBlock block = Block(index);
    if (!block.isValid())
        return;
    Edit()->setTextCursor(QTextCursor(block));
    Edit()->ensureCursorVisible();
}

void QtCommandList::SelectLine(int index) {
    const QTextBlock block = Block(index);
    if (!block.isValid())
        return;
    // Anchored at the line's end, the cursor at its start: the start is what scrolls into view.
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock);
    cursor.setPosition(block.position(), QTextCursor::KeepAnchor);
    Edit()->setTextCursor(cursor);
    Edit()->ensureCursorVisible();
}

// ---- Label, gauge, form ----

void QtLabel::SetText(const std::string& text) {
    Label_->setText(Q(text));
}

void QtLabel::RepaintNow() {
    Label_->repaint();
}

void QtGauge::SetMinimum(int value) {
    Bar_->setMinimum(value);
}

void QtGauge::SetMaximum(int value) {
    Bar_->setMaximum(value);
}

void QtGauge::SetPosition(int value) {
    Bar_->setValue(value);
}

void QtGauge::RepaintNow() {
    Bar_->repaint();
}

QtForm::~QtForm() {
    if (Waiting_)
        QApplication::restoreOverrideCursor();
}

std::string QtForm::Caption() const {
    return Window_->windowTitle().toStdString();
}

void QtForm::SetCaption(const std::string& caption) {
    Window_->setWindowTitle(Q(caption));
}

void QtForm::SetWaitCursor(bool waiting) {
    if (waiting == Waiting_)
        return;
    Waiting_ = waiting;
    if (waiting)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void QtForm::ProcessPendingEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtForm::Close() {
    Window_->close();
}

std::optional<layout::Placement> QtForm::Placement() const {
    if (Window_ == nullptr || !Window_->isVisible())
        return std::nullopt;
    const QPoint corner = Window_->frameGeometry().topLeft();
    return layout::Placement{corner.x(), corner.y(), {Window_->width(), Window_->height()}};
}

void QtForm::Terminate() {
    // Queued: also heard when asked before the message loop runs (at start) or from inside a box's loop.
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

} // namespace zelo
