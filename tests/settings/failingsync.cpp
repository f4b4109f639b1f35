// Preloaded into trevlin-ini by its tests: the first fsync() fails as it does
// on a disk that could not write the data back; the ones after it work.
#include <cerrno>
#include <dlfcn.h>

extern "C" int fsync(int fd)
{
    static int calls = 0;
    if (calls++ == 0) {
        errno = EIO;
        return -1;
    }
    using Fsync = int (*)(int);
    static const auto real = reinterpret_cast<Fsync>(::dlsym(RTLD_NEXT, "fsync"));
    return real(fd);
}
