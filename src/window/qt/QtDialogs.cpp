#include "window/qt/QtDialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <QVBoxLayout>

namespace zelo {

std::unique_ptr<QMessageBox> QtDialogs::MakeBox(const std::string& text, const std::string& title, int flags,
                                                const std::string& detail) const {
    auto box = std::make_unique<QMessageBox>(Parent);
    box->setWindowTitle(QString::fromStdString(title));
    // Answers of the gateway and names from files show as they are: never read as rich text.
    box->setTextFormat(Qt::PlainText);
    box->setText(QString::fromStdString(text));
    if (!detail.empty())
        box->setDetailedText(QString::fromStdString(detail));
    switch (flags & 0xF0) {
    case box::IconError:
        box->setIcon(QMessageBox::Critical);
        break;
    case box::IconQuestion:
        box->setIcon(QMessageBox::Question);
        break;
    case box::IconWarning:
        box->setIcon(QMessageBox::Warning);
        break;
    case box::IconInformation:
        box->setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    switch (flags & 0x0F) {
    case box::OkCancel:
        box->setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case box::YesNoCancel:
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case box::YesNo:
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case box::YesNoToAll:
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No |
                                QMessageBox::NoToAll);
        break;
    default:
        box->setStandardButtons(QMessageBox::Ok);
        break;
    }
    // What Return presses: No for a question whose Yes cannot be undone.
    switch (box::DefaultAnswer(flags)) {
    case box::IdNo:
        box->setDefaultButton(QMessageBox::No);
        break;
    case box::IdYes:
        box->setDefaultButton(QMessageBox::Yes);
        break;
    default:
        box->setDefaultButton(QMessageBox::Ok);
        break;
    }
    return box;
}

int QtDialogs::Answer(int button) {
    switch (button) {
    case QMessageBox::Yes:
        return box::IdYes;
    case QMessageBox::YesToAll:
        return box::IdYesToAll;
    case QMessageBox::No:
        return box::IdNo;
    case QMessageBox::NoToAll:
        return box::IdNoToAll;
    case QMessageBox::Cancel:
        return box::IdCancel;
    default:
        return box::IdOk;
    }
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
