// The log view's document commands: Save, Save As, the question about saving
// at close, and Find / Next.

#include "app/common/application_name.h"
#include "app/common/message_box.h"
#include "app/log_view/ferry_edit_file.h"
#include "app/log_view/ferry_find_dlg.h"

#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTextBlock>
#include <QTextDocument>

namespace {

bool useNativeDialogs = true;

// "All Files (*.*)|*.*|" becomes "All Files (*.*)": a label with its
// patterns in brackets, as Qt's dialogs expect.
QStringList QtNameFilters(const QString& filter)
{
    QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString label = parts.at(i);
        QString pattern = parts.at(i + 1);
        if (label.isEmpty())
            continue;
        filters << (pattern == QLatin1String("*.*")
                        ? label
                        : label + QLatin1String(" (") + pattern + QLatin1Char(')'));
    }
    return filters;
}

} // namespace

void ferryEditFile::setUseNativeDialogs(bool on)
{
    useNativeDialogs = on;
}

QString ferryEditFile::caption() const
{
    return ApplicationName();
}

bool ferryEditFile::writeTo(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    // Written a line at a time: the whole log can be large, and a second
    // copy of it in memory would double the program's size for a moment.
    flushPendingEntries();
    QByteArray chunk;
    bool ok = true;
    for (QTextBlock block = document()->begin(); ok && block.isValid(); block = block.next()) {
        if (block != document()->begin())
            chunk += "\r\n";
        chunk += block.text().toUtf8();
        if (chunk.size() >= 64 * 1024) {
            ok = file.write(chunk) == chunk.size();
            chunk.clear();
        }
    }
    if (ok && !chunk.isEmpty())
        ok = file.write(chunk) == chunk.size();
    file.close();
    return ok && file.error() == QFileDevice::NoError;
}

bool ferryEditFile::save()
{
    if (!modified)
        return true;
    if (documentName.isEmpty())
        return saveAs();
    if (!writeTo(documentName)) {
        ShowMessageBox(this, tr("Unable to write file %1 to disk.").arg(documentName), caption(),
                       BoxIcon::Exclamation, BoxButtons::Ok);
        return false;
    }
    setModified(false);
    return true;
}

bool ferryEditFile::saveAs()
{
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // A save that may only replace an existing file could never create a
    // new log file, so the must-exist flag is not applied to saving; the
    // question before replacing a file is.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite,
                     (fileDialogData.flags & kOfnOverwritePrompt) == 0);
    dialog.setOption(QFileDialog::DontUseNativeDialog, !useNativeDialogs);
    const QStringList filters = QtNameFilters(fileDialogData.filter);
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
    // "*.*" means every file where the filter comes from; Qt's own dialog
    // would take it literally and hide names without a dot, so its list is
    // given "*" while the label stays as written.
    auto matchEveryFile = [&dialog] {
        if (auto* model = dialog.findChild<QFileSystemModel*>())
            if (model->nameFilters() == QStringList{QStringLiteral("*.*")})
                model->setNameFilters({QStringLiteral("*")});
    };
    matchEveryFile();
    connect(&dialog, &QFileDialog::filterSelected, &dialog, matchEveryFile);
    if (!documentName.isEmpty())
        dialog.selectFile(documentName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    const QString path = dialog.selectedFiles().constFirst();
    if (!writeTo(path)) {
        ShowMessageBox(this, tr("Unable to write file %1 to disk.").arg(path), caption(),
                       BoxIcon::Exclamation, BoxButtons::Ok);
        return false;
    }
    setFileName(path);
    setModified(false);
    return true;
}

bool ferryEditFile::canClose()
{
    if (!modified)
        return true;
    // Without a display the log already went to standard output, so the
    // unattended answer is No.
    BoxAnswer answer = ShowMessageBox(
        this,
        tr("The text in the %1 file has changed.\n\nDo you want to save the changes?")
            .arg(documentName),
        caption(), BoxIcon::Question, BoxButtons::YesNoCancel, BoxAnswer::No);
    switch (answer) {
    case BoxAnswer::Yes:
        return save();
    case BoxAnswer::No:
        return true;
    default:
        return false;
    }
}

void ferryEditFile::openFind()
{
    if (findDialog) {
        findDialog->raise();
        findDialog->activateWindow();
        return;
    }
    findDialog = new ferryFindDlg(window(), search);
    connect(findDialog, &ferryFindDlg::findRequested, this, [this](const SearchSettings& s) {
        search = s;
        if (!searchEntered) {
            searchEntered = true;
            emit commandStateChanged();
        }
        findNext();
    });
    // A widget announces its destruction before its guarded pointers are
    // cleared, so clear this one first: Find is enabled again right away.
    connect(findDialog, &QObject::destroyed, this, [this] {
        findDialog.clear();
        emit commandStateChanged();
    });
    findDialog->show();
    emit commandStateChanged();
}

bool ferryEditFile::findNext()
{
    if (!searchEntered)
        return false;
    flushPendingEntries();
    QTextCursor match = FindText(*document(), textCursor(), search);
    if (match.isNull()) {
        // Owned by no window and modal for the whole program, so it shows
        // above the Find dialog as well.
        ShowMessageBox(nullptr, tr("Cannot find \"%1\".").arg(search.text), caption(),
                       BoxIcon::Exclamation, BoxButtons::Ok);
        return false;
    }
    setTextCursor(match);
    return true;
}
