// Holds an abstract local socket name as whichever user runs it and answers "ok" to every
// caller, as a scheduler would, until its standard input ends: another user who binds our
// scheduler's name first and poses as it.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

int main(int argc, char **argv) {
  if (argc != 2)
    return 2;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::size_t n = std::min(std::strlen(argv[1]), sizeof address.sun_path - 1);
  std::memcpy(address.sun_path + 1, argv[1], n);
  const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
  if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr *>(&address), size) != 0 ||
      listen(fd, 8) != 0)
    return 1;
  if (write(STDOUT_FILENO, "bereit\n", 7) != 7)
    return 1;
  for (;;) {
    pollfd ready[2] = {{STDIN_FILENO, POLLIN, 0}, {fd, POLLIN, 0}};
    if (poll(ready, 2, -1) < 0)
      continue;
    char c = 0;
    if (ready[0].revents != 0 && read(STDIN_FILENO, &c, 1) <= 0)
      return 0;
    if ((ready[1].revents & POLLIN) != 0) {
      const int caller = accept(fd, nullptr, nullptr);
      if (caller >= 0) {
        if (write(caller, "ok\n", 3) != 3) {
          // the caller has gone; nothing to tell
        }
        close(caller);
      }
    }
  }
}
