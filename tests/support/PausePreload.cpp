// Loaded into a program with LD_PRELOAD by tests: the first rename or removal of the file named
// by BREVANT_PAUSE_PATH waits until the test lets it go, so the test can act between two steps of
// the program (see Hostile.h). Without the variables it does nothing.

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

bool paused = false;

void PauseBefore(const char *path)
{
    const char *target = std::getenv("BREVANT_PAUSE_PATH");
    const char *folder = std::getenv("BREVANT_PAUSE_FOLDER");
    if (paused || !target || !folder || std::strcmp(path, target) != 0)
        return;
    paused = true;
    ::close(::open((std::string(folder) + "/paused").c_str(), O_WRONLY | O_CREAT, 0644));
    const std::string go = std::string(folder) + "/go";
    // At most 30 s, so a test that fails cannot leave the program waiting for ever.
    for (int i = 0; i < 3000 && ::access(go.c_str(), F_OK) != 0; ++i)
        ::usleep(10000);
}

// The function of that name that this library stands in front of.
template <typename Function> Function *Next(Function *, const char *name)
{
    return reinterpret_cast<Function *>(::dlsym(RTLD_NEXT, name));
}

} // namespace

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
