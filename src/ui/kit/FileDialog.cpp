#include "ui/kit/FileDialog.h"

#include <QFileDialog>

#include <optional>
#include <utility>

namespace halvern::kit {

namespace {

// Only the GUI thread opens dialogs, so these need no lock.
std::optional<QString>& PendingAnswer() {
    static std::optional<QString> answer;
    return answer;
}

FileDialogRequest& LastRequest() {
    static FileDialogRequest request;
    return request;
}

}  // namespace

QString ChooseFile(QWidget* parent, const FileDialogRequest& request) {
    LastRequest() = request;
    if (std::optional<QString>& answer = PendingAnswer(); answer) { return *std::exchange(answer, std::nullopt); }
    if (request.kind == FileDialogKind::Open)
        return QFileDialog::getOpenFileName(parent, request.title, request.folder, request.filter);
    const QFileDialog::Options options =
        request.confirmOverwrite ? QFileDialog::Options{} : QFileDialog::DontConfirmOverwrite;
    return QFileDialog::getSaveFileName(parent, request.title, request.folder, request.filter, nullptr, options);
}

QString WithExtension(const QString& path, const QString& extension) {
    const qsizetype nameStart = path.lastIndexOf(u'/') + 1;
    qsizetype first = nameStart;
    while (first < path.size() && path[first] == u'.') ++first;
    const qsizetype dot = path.indexOf(u'.', first);
    if (dot >= 0 && dot + 1 < path.size()) return path;
    return path.endsWith(u'.') && path.size() > first ? path + extension : path + u'.' + extension;
}

void AnswerNextFileDialog(const QString& path) { PendingAnswer() = path; }

FileDialogRequest LastFileDialogRequest() { return LastRequest(); }

}  // namespace halvern::kit
