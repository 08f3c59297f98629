#pragma once

#include <sys/types.h>

// The process's umask, read once (from /proc/self/status: asking umask(2) means setting it,
// which other threads creating files at that moment would see).
mode_t ProcessUmask();
