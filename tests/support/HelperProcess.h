#pragma once

#include <QProcess>
#include <QStringList>

// Starts the test helper program (tests/support/HelperProgram.cpp) in the working directory.
// `asNobody` drops root to the user nobody first, so that permission bits bind as they do for
// an ordinary user; a test run by an ordinary user runs it as that user.
void startHelper(QProcess& process, const QStringList& arguments, bool asNobody = false);

// Runs the helper to completion and returns what it printed, trimmed.
[[nodiscard]] QString runHelper(const QStringList& arguments, bool asNobody = false);
