#pragma once

#include <sys/types.h>

// Some shares make no hard links: link(2) is refused there (SMB through FUSE clients, with
// EPERM). What writes files by linking them into place then creates them in place instead;
// the refusal is remembered for the file system, so each process tries once.

// Whether link(2) failed with this error because the file system makes no hard links.
bool RefusesHardLinks(int error);

// Whether a link on this file system was refused so before, in this process.
bool KnownToRefuseHardLinks(dev_t device);

// Remembers the refusal; true the first time for the file system.
bool RememberRefusedHardLinks(dev_t device);
