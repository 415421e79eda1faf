#include "window/qt/QtDialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QStringList>
#include <QVBoxLayout>

namespace zelo {

int QtDialogs::MessageBox(const std::string& text, const std::string& title, int flags,
                          const std::string& detail) {
    QMessageBox box(Parent);
    box.setWindowTitle(QString::fromStdString(title));
    box.setText(QString::fromStdString(text));
    if (!detail.empty())
        box.setDetailedText(QString::fromStdString(detail));
    switch (flags & 0xF0) {
    case box::IconError:
        box.setIcon(QMessageBox::Critical);
        break;
    case box::IconQuestion:
        box.setIcon(QMessageBox::Question);
        break;
    case box::IconWarning:
        box.setIcon(QMessageBox::Warning);
        break;
    case box::IconInformation:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    switch (flags & 0x0F) {
    case box::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case box::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case box::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return box::IdYes;
    case QMessageBox::No:
        return box::IdNo;
    case QMessageBox::Cancel:
        return box::IdCancel;
    default:
        return box::IdOk;
    }
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

std::optional<std::string> QtDialogs::OpenFile(const std::string& filter) {
    QFileDialog dialog(Parent);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(QString::fromStdString(QtFileFilter(filter)));
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
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
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return field->text().toStdString();
}

} // namespace zelo
