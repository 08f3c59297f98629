// Loaded into a program with LD_PRELOAD by tests (see Hostile.h), it does what the variables set
// ask, else nothing:
// - BREVANT_PAUSE_PATH, BREVANT_PAUSE_FOLDER: the first rename, link or removal of a file whose
//   path matches the shell pattern waits until the test lets it go, so the test can act between
//   two steps of the program;
// - BREVANT_CLOCK_SHIFT: the wall clock reads this many seconds later (earlier when negative),
//   as on a workstation whose clock is wrong;
// - BREVANT_FAIL_LISTING, BREVANT_FAIL_TIMES: see opendir below.

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <string>
#include <sys/time.h>
#include <unistd.h>

namespace {

bool paused = false;

void PauseBefore(const char *path)
{
    const char *target = std::getenv("BREVANT_PAUSE_PATH");
    const char *folder = std::getenv("BREVANT_PAUSE_FOLDER");
    if (paused || !target || !folder || ::fnmatch(target, path, FNM_PATHNAME) != 0)
        return;
    paused = true;
    ::close(::open((std::string(folder) + "/paused").c_str(), O_WRONLY | O_CREAT, 0644));
    const std::string go = std::string(folder) + "/go";
    // At most 180 s, so a test that fails cannot leave the program waiting for ever.
    for (int i = 0; i < 18000 && ::access(go.c_str(), F_OK) != 0; ++i)
        ::usleep(10000);
}

// The function of that name that this library stands in front of.
template <typename Function> Function *Next(Function *, const char *name)
{
    return reinterpret_cast<Function *>(::dlsym(RTLD_NEXT, name));
}

time_t ClockShift()
{
    static const time_t shift = [] {
        const char *seconds = std::getenv("BREVANT_CLOCK_SHIFT");
        return seconds ? time_t(std::atoll(seconds)) : time_t(0);
    }();
    return shift;
}

} // namespace

extern "C" int clock_gettime(clockid_t clock, struct timespec *time)
{
    const int result = Next(clock_gettime, "clock_gettime")(clock, time);
    if (result == 0 && (clock == CLOCK_REALTIME || clock == CLOCK_REALTIME_COARSE))
        time->tv_sec += ClockShift();
    return result;
}

extern "C" time_t time(time_t *result)
{
    const time_t now = Next(time, "time")(nullptr) + ClockShift();
    if (result)
        *result = now;
    return now;
}

extern "C" int gettimeofday(struct timeval *time, void *zone)
{
    const int result = Next(gettimeofday, "gettimeofday")(time, zone);
    if (result == 0 && time)
        time->tv_sec += ClockShift();
    return result;
}

extern "C" int rename(const char *from, const char *to)
{
    PauseBefore(from);
    return Next(rename, "rename")(from, to);
}

extern "C" int unlink(const char *path)
{
    PauseBefore(path);
    return Next(unlink, "unlink")(path);
}

extern "C" int unlinkat(int folder, const char *path, int flags)
{
    if (folder == AT_FDCWD)
        PauseBefore(path);
    return Next(unlinkat, "unlinkat")(folder, path, flags);
}

extern "C" int renameat(int fromFolder, const char *from, int toFolder, const char *to)
{
    if (fromFolder == AT_FDCWD)
        PauseBefore(from);
    return Next(renameat, "renameat")(fromFolder, from, toFolder, to);
}

extern "C" int linkat(int fromFolder, const char *from, int toFolder, const char *to, int flags)
{
    if (fromFolder == AT_FDCWD)
        PauseBefore(from);
    return Next(linkat, "linkat")(fromFolder, from, toFolder, to, flags);
}

extern "C" int renameat2(int fromFolder, const char *from, int toFolder, const char *to,
                         unsigned int flags)
{
    if (fromFolder == AT_FDCWD)
        PauseBefore(from);
    return Next(renameat2, "renameat2")(fromFolder, from, toFolder, to, flags);
}

// BREVANT_FAIL_LISTING, BREVANT_FAIL_TIMES: opening a folder whose path matches the pattern
// fails with EIO that many times, as a FUSE SMB client fails for a moment after it dropped its
// connection.
extern "C" DIR *opendir(const char *path)
{
    static int failed = 0;
    const char *pattern = std::getenv("BREVANT_FAIL_LISTING");
    const char *times = std::getenv("BREVANT_FAIL_TIMES");
    if (pattern && times && failed < std::atoi(times) && ::fnmatch(pattern, path, 0) == 0) {
        ++failed;
        errno = EIO;
        return nullptr;
    }
    return Next(opendir, "opendir")(path);
}
