#pragma once

#include <QString>

// A running process, told apart from any other process that had or will have its number:
// the host, the process number, and when it started (the boot and the kernel's start time).
struct ProcessIdentity
{
    QString Host;
    qint64 Process = 0;
    QString Started;
};

// This process.
ProcessIdentity ThisProcess();

// True when the process ran on this host and runs no more (its number is free, or belongs to
// a process started since). A process of another host is never known to be gone, nor is one
// whose start this process may not read (/proc mounted with hidepid).
bool ProcessIsGone(const ProcessIdentity &process);

// The account this process runs as; its number when the account has no name.
QString AccountName();
