// The application shell's log category. Its info lines trace start-up, activation and
// the shutdown order; they are off unless enabled, e.g.
// QT_LOGGING_RULES="halvern.shell.info=true".
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcShell)
