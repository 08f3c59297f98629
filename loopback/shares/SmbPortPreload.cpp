// Loaded into the FUSE SMB client with LD_PRELOAD by the share fixture: its connections to
// port 445 go to the port in BREVANT_SMB_PORT, where the fixture's own Samba server listens
// (the client cannot be told another port, and 445 may be taken or need privileges).

#include <cstdlib>
#include <dlfcn.h>
#include <netinet/in.h>
#include <sys/socket.h>

extern "C" int connect(int fd, const struct sockaddr *address, socklen_t length)
{
    static const auto next = reinterpret_cast<int (*)(int, const struct sockaddr *, socklen_t)>(
        ::dlsym(RTLD_NEXT, "connect"));
    const char *port = std::getenv("BREVANT_SMB_PORT");
    if (port && address && address->sa_family == AF_INET && length >= sizeof(sockaddr_in)) {
        sockaddr_in redirected = *reinterpret_cast<const sockaddr_in *>(address);
        if (ntohs(redirected.sin_port) == 445) {
            redirected.sin_port = htons(static_cast<uint16_t>(std::atoi(port)));
            return next(fd, reinterpret_cast<sockaddr *>(&redirected), sizeof redirected);
        }
    }
    return next(fd, address, length);
}
