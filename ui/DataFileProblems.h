// The program's own files (layouts, language texts, the resource list) that are missing or
// damaged: each is written to the log with its path and kept until the window tells the user.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace nk7x {

// `path`: the file as the program looked for it; `what`: "missing" or what is wrong with it.
// Each path is recorded once per run.
void ReportDataFileProblem(const QString& path, const QString& what);

// The files recorded since the last call, as "path (what)", oldest first.
QStringList TakeDataFileProblems();

// Called (on the reporting thread) when a problem is recorded; the window sets it.
void SetDataFileProblemListener(std::function<void()> listener);

} // namespace nk7x
