#include "window/qt/QtDialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <QVBoxLayout>

#include <utility>

namespace zelo {

namespace {

// The boxes' answers and Qt's buttons, one for one.
constexpr std::pair<int, QMessageBox::StandardButton> Buttons[] = {
    {box::IdOk, QMessageBox::Ok},   {box::IdCancel, QMessageBox::Cancel},
    {box::IdYes, QMessageBox::Yes}, {box::IdYesToAll, QMessageBox::YesToAll},
    {box::IdNo, QMessageBox::No},   {box::IdNoToAll, QMessageBox::NoToAll},
};

QMessageBox::StandardButton ButtonOf(int answer) {
    for (const auto& [id, button] : Buttons)
        if (id == answer)
            return button;
    return QMessageBox::Ok;
}

QMessageBox::Icon IconOf(int flags) {
    switch (flags & 0xF0) {
    case box::IconError:
        return QMessageBox::Critical;
    case box::IconQuestion:
        return QMessageBox::Question;
    case box::IconWarning:
        return QMessageBox::Warning;
    case box::IconInformation:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

QMessageBox::StandardButtons ButtonsOf(int flags) {
    switch (flags & 0x0F) {
    case box::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case box::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case box::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case box::YesNoToAll:
        return QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No | QMessageBox::NoToAll;
    default:
        return QMessageBox::Ok;
    }
}

} // namespace

std::unique_ptr<QMessageBox> QtDialogs::MakeBox(const std::string& text, const std::string& title, int flags,
                                                const std::string& detail) const {
    auto box = std::make_unique<QMessageBox>(Parent);
    box->setWindowTitle(QString::fromStdString(title));
    // Answers of the gateway and names from files show as they are: never read as rich text.
    box->setTextFormat(Qt::PlainText);
    box->setText(QString::fromStdString(text));
    if (!detail.empty())
        box->setDetailedText(QString::fromStdString(detail));
    box->setIcon(IconOf(flags));
    box->setStandardButtons(ButtonsOf(flags));
    // What Return presses: No for a question whose Yes cannot be undone.
    box->setDefaultButton(ButtonOf(box::DefaultAnswer(flags)));
    return box;
}

int QtDialogs::Answer(int button) {
    for (const auto& [answer, standard] : Buttons)
        if (standard == button)
            return answer;
    return box::IdOk;
}

int QtDialogs::Run(QDialog& dialog) {
    if (Ended_)
        return QDialog::Rejected;
    const QPointer<QDialog> outer = Open_;
    Open_ = &dialog;
    const int result = dialog.exec();
    Open_ = outer;
    return result;
}

void QtDialogs::EndQuestions() {
    Ended_ = true;
    if (Open_ == nullptr)
        return;
    if (auto* box = qobject_cast<QMessageBox*>(Open_.data())) {
        const int flags = box->property("flags").toInt();
        const QMessageBox::StandardButton button = box::EndingAnswer(flags) == box::IdCancel
                                                       ? QMessageBox::Cancel
                                                   : box::EndingAnswer(flags) == box::IdNo ? QMessageBox::No
                                                                                           : QMessageBox::Ok;
        box->done(button);
    } else {
        Open_->reject();
    }
}

int QtDialogs::MessageBox(const std::string& text, const std::string& title, int flags,
                          const std::string& detail) {
    if (Ended_)
        return box::EndingAnswer(flags);
    const std::unique_ptr<QMessageBox> box = MakeBox(text, title, flags, detail);
    box->setProperty("flags", flags);
    const int result = Run(*box);
    return Ended_ ? box::EndingAnswer(flags) : Answer(result);
}

std::string QtFileFilter(const std::string& filter) {
    // Pairs of description and pattern; Qt reads the patterns out of the description's parentheses.
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        if (!description.contains(QLatin1Char('(')))
            description += QStringLiteral(" (") +
                           QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')) +
                           QLatin1Char(')');
        filters << description;
    }
    if (filters.isEmpty() && !parts.isEmpty())
        filters << parts.front();
    return filters.join(QStringLiteral(";;")).toStdString();
}

std::string FirstExtension(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    if (parts.size() < 2)
        return {};
    const QString pattern = parts[1].split(QLatin1Char(';')).front().trimmed();
    const qsizetype dot = pattern.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : pattern.mid(dot + 1);
    return extension == QStringLiteral("*") ? std::string() : extension.toStdString();
}

std::optional<std::string> QtDialogs::OpenFile(const std::string& filter, const std::string& folder) {
    QFileDialog dialog(Parent);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(QString::fromStdString(QtFileFilter(filter)));
    if (!folder.empty())
        dialog.setDirectory(QString::fromStdString(folder));
    dialog.setSizeGripEnabled(true);
    if (Run(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

std::optional<std::string> QtDialogs::SaveFile(const std::string& filter, const std::string& folder,
                                               const std::string& name) {
    QFileDialog dialog(Parent);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QString::fromStdString(QtFileFilter(filter)));
    // A name typed without an extension gets the filter's; replacing a file is confirmed (Qt's default).
    dialog.setDefaultSuffix(QString::fromStdString(FirstExtension(filter)));
    if (!folder.empty())
        dialog.setDirectory(QString::fromStdString(folder));
    dialog.selectFile(QString::fromStdString(name));
    dialog.setSizeGripEnabled(true);
    if (Run(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

std::optional<std::string> QtDialogs::AskPassword(const std::string& prompt, const std::string& title) {
    QDialog dialog(Parent);
    dialog.setWindowTitle(QString::fromStdString(title));
    auto* layout = new QVBoxLayout(&dialog);
    // The prompt may name a file: shown as it is, never as rich text.
    auto* label = new QLabel(QString::fromStdString(prompt), &dialog);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    layout->addWidget(label);
    auto* field = new QLineEdit(&dialog);
    field->setObjectName(QLatin1String(PasswordFieldName));
    field->setEchoMode(QLineEdit::Password);
    field->setMinimumWidth(dialog.fontMetrics().averageCharWidth() * 40);
    label->setBuddy(field);
    layout->addWidget(field);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    field->setFocus();
    if (Run(dialog) != QDialog::Accepted)
        return std::nullopt;
    return field->text().toStdString();
}

} // namespace zelo
