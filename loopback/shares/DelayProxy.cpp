// A TCP proxy on loopback that delays every chunk it passes on by a fixed time each way, so a
// share served on this machine answers like one across a network:
//
//   share_delay_proxy LISTEN_PORT TARGET_PORT DELAY_MS
//
// Each connection gets a connection to 127.0.0.1:TARGET_PORT; in each direction one thread
// reads chunks and another writes each one once DELAY_MS have passed since it arrived. Runs
// until it is killed.

#include <arpa/inet.h>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Chunk
{
    Clock::time_point due;
    std::vector<char> bytes;
};

// One direction of a connection: from one socket to the other, each chunk late by delay.
class Direction
{
public:
    Direction(int fromFd, int toFd, std::chrono::milliseconds wait)
        : from(fromFd), to(toFd), delay(wait)
    {
    }

    void Run()
    {
        std::thread writer([this] { Write(); });
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(from, buffer, sizeof buffer);
            const std::lock_guard<std::mutex> locked(lock);
            if (n <= 0) {
                ended = true;
                ready.notify_one();
                break;
            }
            queue.push_back({Clock::now() + delay, std::vector<char>(buffer, buffer + n)});
            ready.notify_one();
        }
        writer.join();
        ::shutdown(to, SHUT_WR);
    }

private:
    void Write()
    {
        for (;;) {
            std::unique_lock<std::mutex> locked(lock);
            ready.wait(locked, [this] { return ended || !queue.empty(); });
            if (queue.empty())
                return;
            Chunk chunk = std::move(queue.front());
            queue.pop_front();
            locked.unlock();
            std::this_thread::sleep_until(chunk.due);
            size_t done = 0;
            while (done < chunk.bytes.size()) {
                const ssize_t n = ::write(to, chunk.bytes.data() + done, chunk.bytes.size() - done);
                if (n <= 0)
                    return;
                done += size_t(n);
            }
        }
    }

    int from;
    int to;
    std::chrono::milliseconds delay;
    std::mutex lock;
    std::condition_variable ready;
    std::deque<Chunk> queue;
    bool ended = false;
};

int Connect(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void NoDelay(int fd)
{
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 4) {
        std::fputs("usage: share_delay_proxy LISTEN_PORT TARGET_PORT DELAY_MS\n", stderr);
        return 2;
    }
    const int listenPort = std::atoi(argv[1]);
    const int targetPort = std::atoi(argv[2]);
    const std::chrono::milliseconds delay(std::atoi(argv[3]));

    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    ::setsockopt(server, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(listenPort));
    if (::bind(server, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(server, 64) != 0) {
        std::perror("share_delay_proxy");
        return 1;
    }
    for (;;) {
        const int client = ::accept(server, nullptr, nullptr);
        if (client < 0)
            continue;
        const int target = Connect(targetPort);
        if (target < 0) {
            ::close(client);
            continue;
        }
        NoDelay(client);
        NoDelay(target);
        std::thread([client, target, delay] {
            Direction up(client, target, delay);
            Direction down(target, client, delay);
            std::thread upstream([&] { up.Run(); });
            down.Run();
            upstream.join();
            ::close(client);
            ::close(target);
        }).detach();
    }
}
