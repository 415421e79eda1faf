#include "window/qt/QtDialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

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

} // namespace zelo
