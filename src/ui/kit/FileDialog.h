// The desktop's file dialogs. Qt's static QFileDialog functions go through the XDG
// desktop portal where the desktop offers one, so the dialog is the one the user
// knows. Tests cannot drive a portal: the test driver answers the next dialog instead.
#pragma once

#include <QString>

class QWidget;

namespace halvern::kit {

enum class FileDialogKind { Open, Save };

struct FileDialogRequest {
    FileDialogKind kind = FileDialogKind::Open;
    QString title;
    QString folder;  // where the dialog starts
    QString filter;  // e.g. "Profile File (*.pro *.PRO)"
    // Save only: whether the dialog itself asks before replacing a file. Off when the
    // caller adds an extension after the dialog and asks for the final name itself.
    bool confirmOverwrite = true;
};

// The chosen path, or an empty string when the user cancelled.
QString ChooseFile(QWidget* parent, const FileDialogRequest& request);

// A file name as the user typed it into a save dialog, with ".`extension`" added only
// when the name has none: "x" becomes "x.macro", "x.txt" and "x.MACRO" stay. A leading
// dot (".hidden") is no extension; a trailing one ("x.") takes the extension.
QString WithExtension(const QString& path, const QString& extension);

// The next ChooseFile returns `path` (empty: cancelled) without showing anything.
void AnswerNextFileDialog(const QString& path);

// The request the last ChooseFile was made with, for tests that check the start
// folder and filter.
FileDialogRequest LastFileDialogRequest();

}  // namespace halvern::kit
