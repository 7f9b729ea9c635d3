// The smallest host a download can have, the yardstick of bench_turnaround:
// every command of the file COMMANDS (one a line) goes out with a blocking
// write(), then a blocking read() collects the reply up to its CR LF, and
// the next command follows at once. No event loop, no buffers, no log.
//
//   minimal_host DEVICE COMMANDS
//
// Exit 0 when every command was answered without an error reply ("!..").
// POSIX only, like the pseudo-terminal it is run against.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

bool writeAll(int fd, const std::string &bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

// The reply up to and without its CR LF; false when the line failed.
bool readReply(int fd, std::string *reply)
{
    reply->clear();
    char buffer[256];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        reply->append(buffer, size_t(n));
        const size_t end = reply->find("\r\n");
        if (end != std::string::npos) {
            reply->resize(end);
            return true;
        }
    }
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: minimal_host DEVICE COMMANDS\n");
        return 2;
    }
    std::vector<std::string> commands;
    if (FILE *file = std::fopen(argv[2], "r")) {
        char line[1024];
        while (std::fgets(line, sizeof line, file)) {
            std::string text(line);
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
                text.pop_back();
            commands.push_back(text);
        }
        std::fclose(file);
    } else {
        std::fprintf(stderr, "minimal_host: %s: %s\n", argv[2], std::strerror(errno));
        return 2;
    }

    const int fd = ::open(argv[1], O_RDWR | O_NOCTTY);
    if (fd < 0) {
        std::fprintf(stderr, "minimal_host: %s: %s\n", argv[1], std::strerror(errno));
        return 4;
    }
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::cfsetspeed(&t, B38400);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    ::tcsetattr(fd, TCSANOW, &t);
    ::tcflush(fd, TCIFLUSH);

    std::string reply;
    for (const std::string &command : commands) {
        if (!writeAll(fd, command + "\r\n") || !readReply(fd, &reply)) {
            std::fprintf(stderr, "minimal_host: the line failed at %s\n", command.c_str());
            ::close(fd);
            return 4;
        }
        if (!reply.empty() && reply[0] == '!') {
            std::fprintf(stderr, "minimal_host: error reply %s to %s\n", reply.c_str(), command.c_str());
            ::close(fd);
            return 1;
        }
    }
    ::close(fd);
    return 0;
}
