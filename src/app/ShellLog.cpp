#include "app/ShellLog.h"

Q_LOGGING_CATEGORY(lcShell, "halvern.shell", QtWarningMsg)
