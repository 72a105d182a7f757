#pragma once

#include <QString>

// The machine the tests run on, as a helper program of the build machine sees it. A Windows test
// program under wine starts Debian's programs (python3 for the FTP server) and hands them paths:
// those must be the Linux names. Elsewhere both are unchanged.
namespace HostSystem {

// Debian's python3, in a form this program can start.
QString python();

// A path of this program's file system as the build machine's programs name it.
QString hostPath(const QString& path);

// True when this Windows program runs under wine.
bool underWine();

// Why this program cannot move files over TLS with a server that wants each data connection
// to resume the login's TLS session (vsftpd); empty when it can.
QString tlsResumptionProblem();

// The peak resident memory of a running process in KiB; 0 when it cannot be read.
qint64 peakMemoryKb(qint64 pid);

// Why a bound on a program's peak memory means nothing in this build or here; empty when it
// does.
QString memoryBoundSkipReason();

} // namespace HostSystem
