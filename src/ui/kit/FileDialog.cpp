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
    if (std::optional<QString>& answer = PendingAnswer(); answer) {
        return *std::exchange(answer, std::nullopt);
    }
    if (request.kind == FileDialogKind::Open)
        return QFileDialog::getOpenFileName(parent, request.title, request.folder, request.filter);
    const QFileDialog::Options options =
        request.confirmOverwrite ? QFileDialog::Options{} : QFileDialog::DontConfirmOverwrite;
    return QFileDialog::getSaveFileName(parent, request.title, request.folder, request.filter, nullptr,
                                        options);
}

void AnswerNextFileDialog(const QString& path) { PendingAnswer() = path; }

FileDialogRequest LastFileDialogRequest() { return LastRequest(); }

}  // namespace halvern::kit
