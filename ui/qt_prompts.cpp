// QtPrompts: message boxes, input boxes and file dialogs with the title "QUORVALIS".
#include "ui/qt_prompts.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace qv {

namespace {

QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr std::string_view kTitle = "QUORVALIS";

} // namespace

QStringList nameFiltersFor(const std::string& filter)
{
    // Entries come in pairs: a description, then its patterns separated by ";".
    const QStringList parts = qs(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        const qsizetype open = description.indexOf(QLatin1Char('('));
        if (open >= 0) {
            description = description.left(open).trimmed();
        }
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            for (const QString& p : {pattern.toLower(), pattern.toUpper()}) {
                if (!patterns.contains(p)) {
                    patterns.append(p);
                }
            }
        }
        if (!patterns.isEmpty()) {
            filters.append(description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                           QLatin1Char(')'));
        }
    }
    return filters;
}

void QtPrompts::message(std::string_view text, std::string_view title)
{
    QMessageBox box(QMessageBox::NoIcon, qs(title), qs(text), QMessageBox::Ok, m_parent);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

bool QtPrompts::askOkCancel(std::string_view text, DefaultButton preselected,
                            std::string_view title)
{
    QMessageBox box(QMessageBox::Question, qs(title), qs(text),
                    QMessageBox::Ok | QMessageBox::Cancel, m_parent);
    box.setDefaultButton(preselected == DefaultButton::Cancel ? QMessageBox::Cancel
                                                              : QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

bool QtPrompts::askYesNo(std::string_view text)
{
    QMessageBox box(QMessageBox::Question, qs(kTitle), qs(text), QMessageBox::Yes | QMessageBox::No,
                    m_parent);
    return box.exec() == QMessageBox::Yes;
}

std::optional<std::string> QtPrompts::inputText(std::string_view prompt, std::string_view proposed)
{
    bool ok = false;
    const QString answer = QInputDialog::getText(m_parent, qs(kTitle), qs(prompt),
                                                 QLineEdit::Normal, qs(proposed), &ok);
    if (!ok) {
        return std::nullopt;
    }
    return answer.toStdString();
}

std::string QtPrompts::openFile(const FileDialogRequest& request)
{
    return runFileDialog(request, false);
}

std::string QtPrompts::saveFile(const FileDialogRequest& request)
{
    return runFileDialog(request, true);
}

std::string QtPrompts::chooseFolder(std::string_view title, std::string_view initialFolder)
{
    const QString folder = initialFolder.empty() ? QDir::currentPath() : qs(initialFolder);
    const QString chosen = QFileDialog::getExistingDirectory(
        m_parent, qs(title), folder, QFileDialog::ShowDirsOnly | QFileDialog::ReadOnly);
    return chosen.toStdString();
}

std::string QtPrompts::runFileDialog(const FileDialogRequest& request, bool save)
{
    const QString folder =
        request.initialFolder.empty() ? QDir::currentPath() : qs(request.initialFolder);
    QFileDialog dialog(m_parent, qs(request.title), folder);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Saving asks before replacing a file (Qt's default); loading takes existing files only.
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    const QStringList filters = nameFiltersFor(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.front());
    }
    if (!request.defaultExtension.empty()) {
        dialog.setDefaultSuffix(qs(request.defaultExtension).toLower());
    }
    if (!request.proposedName.empty()) {
        dialog.selectFile(qs(request.proposedName));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return QFile::encodeName(dialog.selectedFiles().front()).toStdString();
}

} // namespace qv
