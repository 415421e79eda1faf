#include "window/qt/CommandListEdit.h"
#include "window/Layout.h"

#include <QFontDatabase>
#include <QPainter>
#include <QTextBlock>

namespace zelo {

class LineNumberGutter : public QWidget {
public:
    explicit LineNumberGutter(CommandListEdit* edit) : QWidget(edit), Edit(edit) {
        setObjectName(QStringLiteral("CommandListGutter"));
    }
    QSize sizeHint() const override { return {Edit->GutterWidth(), 0}; }

protected:
    void paintEvent(QPaintEvent* event) override { Edit->PaintGutter(event); }

private:
    CommandListEdit* Edit;
};

CommandListEdit::CommandListEdit(QWidget* parent)
    : QPlainTextEdit(parent), Gutter_(new LineNumberGutter(this)) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setWordWrapMode(QTextOption::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabChangesFocus(true);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    connect(this, &QPlainTextEdit::blockCountChanged, this, [this](int) { UpdateGutterWidth(); });
    connect(this, &QPlainTextEdit::updateRequest, this, &CommandListEdit::UpdateGutter);
    UpdateGutterWidth();
}

int CommandListEdit::GutterWidth() const {
    return layout::GutterWidth(blockCount(), fontMetrics().horizontalAdvance(QLatin1Char('9')));
}

void CommandListEdit::UpdateGutterWidth() {
    setViewportMargins(GutterWidth(), 0, 0, 0);
}

void CommandListEdit::UpdateGutter(const QRect& rect, int dy) {
    if (dy != 0)
        Gutter_->scroll(0, dy);
    else
        Gutter_->update(0, rect.y(), Gutter_->width(), rect.height());
}

void CommandListEdit::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    const QRect area = contentsRect();
    Gutter_->setGeometry(QRect(area.left(), area.top(), GutterWidth(), viewport()->height()));
}

int CommandListEdit::NumberedLines() const {
    // A line end at the very end makes no line that would be sent: its empty block gets no number.
    return document()->lastBlock().text().isEmpty() && blockCount() > 1 ? blockCount() - 1 : blockCount();
}

QList<int> CommandListEdit::ShownNumbers() const {
    QList<int> numbers;
    const int lastNumbered = NumberedLines();
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        const qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
        if (top > viewport()->height())
            break;
        if (block.isVisible() && block.blockNumber() < lastNumbered)
            numbers.push_back(block.blockNumber() + 1);
    }
    return numbers;
}

void CommandListEdit::PaintGutter(QPaintEvent* event) {
    QPainter painter(Gutter_);
    painter.fillRect(event->rect(), palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                                    QPalette::AlternateBase));
    painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    painter.setFont(font());
    const int lastNumbered = NumberedLines();
    const int height = fontMetrics().height();
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        const int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
        if (top > event->rect().bottom())
            break;
        if (block.isVisible() && block.blockNumber() < lastNumbered &&
            top + qRound(blockBoundingRect(block).height()) >= event->rect().top())
            painter.drawText(0, top, Gutter_->width() - 4, height, Qt::AlignRight,
                             QString::number(block.blockNumber() + 1));
    }
}

} // namespace zelo
