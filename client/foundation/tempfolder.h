#pragma once

#include <QString>

// Where a run keeps its temporary files (zip spools, archives and files being written): a
// folder of its own inside the program folder's "temp" folder, held by a lock file while the
// process lives and removed when it ends. skyvane and vanelet may share the program folder, so
// a run clears only the folders whose lock nobody holds: what a crash left behind goes at the
// next start of any program that makes temporary files.
namespace TempFolder {

// Removes the folders of runs that have ended; called once at start.
void clearLeftovers();

// This run's folder, made on first use; empty when it cannot be made.
QString path();

// The folder for the temporary files of a file being written at target: this run's folder when
// target lies inside the program folder (the files there share its permissions), otherwise the
// folder of target itself.
QString forTarget(const QString& target);

// Removes this run's folder now (a test changes the program folder; the process ends).
void release();

} // namespace TempFolder
