// Binds an abstract socket name as whichever user runs it and answers "ok" to every caller,
// as our scheduler would, until its standard input ends: another user posing as ours.
#include <algorithm>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

int main(int argc, char **argv) {
  if (argc != 2)
    return 2;
  sockaddr_un address{AF_UNIX, {}};
  const std::size_t n = std::min(std::strlen(argv[1]), sizeof address.sun_path - 1);
  std::memcpy(address.sun_path + 1, argv[1], n);
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  if (bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(sa_family_t) + 1 + n) != 0 ||
      listen(fd, 8) != 0 || write(STDOUT_FILENO, "bereit\n", 7) != 7)
    return 1;
  for (char c = 0;;) {
    pollfd ready[2] = {{STDIN_FILENO, POLLIN, 0}, {fd, POLLIN, 0}};
    if (poll(ready, 2, -1) > 0 && ready[0].revents != 0 && read(STDIN_FILENO, &c, 1) <= 0)
      return 0;
    const int caller = (ready[1].revents & POLLIN) != 0 ? accept(fd, nullptr, nullptr) : -1;
    if (caller >= 0) {
      // Our probes hang up at once when they see who answers: no SIGPIPE for that.
      [[maybe_unused]] const ssize_t sent = send(caller, "ok\n", 3, MSG_NOSIGNAL);
      close(caller);
    }
  }
}
