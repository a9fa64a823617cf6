#include "platform/qt/QtPrompter.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include "platform/FileFilter.h"
#include "platform/qt/QSettingsStore.h"
#include "platform/qt/QtText.h"

namespace tkan {

namespace {

// Paths are the file system's bytes; message texts are Windows-1252.

}  // namespace

QWidget* QtPrompter::Parent() const
{
    QWidget* active = QApplication::activeWindow();
    return active ? active : mainWindow_;
}

void QtPrompter::Message(MessageStyle style, const std::string& text)
{
    QMessageBox box(style == MessageStyle::Tkan ? QMessageBox::Information : QMessageBox::Warning,
                    QString::fromLatin1(MessageCaption(style)), FromWindows1252(text), QMessageBox::Ok, Parent());
    box.exec();
}

Answer QtPrompter::Ask(MessageStyle style, const std::string& text, QuestionButtons buttons)
{
    QMessageBox::StandardButtons shown;
    switch (buttons) {
    case QuestionButtons::YesNo: shown = QMessageBox::Yes | QMessageBox::No; break;
    case QuestionButtons::YesNoCancel: shown = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    case QuestionButtons::OkCancel: shown = QMessageBox::Ok | QMessageBox::Cancel; break;
    }
    QMessageBox box(QMessageBox::Question, QString::fromLatin1(MessageCaption(style)), FromWindows1252(text), shown,
                    Parent());
    switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Ok: return Answer::Ok;
    default: return Answer::Cancel;  // Escape and the close button too
    }
}

std::optional<std::string> QtPrompter::ChooseSaveFile(const SaveFileRequest& request)
{
    QFileDialog dialog(Parent());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // Whoever asked decides about overwriting, with its own question.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    QString suffix = QString::fromStdString(request.defaultExtension);
    if (suffix.startsWith(QLatin1Char('.')))
        suffix.remove(0, 1);
    dialog.setDefaultSuffix(suffix);
    QStringList filters;
    for (const std::string& f : QtNameFilters(request.filter))
        filters << FromWindows1252(f);
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
    if (!request.initialFolder.empty())
        dialog.setDirectory(FromPath(request.initialFolder));
    if (!request.initialName.empty())
        dialog.selectFile(FromPath(request.initialName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return ToPath(dialog.selectedFiles().constFirst());
}

std::optional<std::string> QtPrompter::ChooseFolder(const std::string& title, const std::string& startFolder)
{
    QString folder = QFileDialog::getExistingDirectory(Parent(), FromWindows1252(title), FromPath(startFolder));
    if (folder.isEmpty())
        return std::nullopt;
    return ToPath(folder);
}

}  // namespace tkan
