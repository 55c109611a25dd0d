#include "platform/Process.h"

#include "base/Errors.h"

#include <QFile>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

// Ends that nobody takes (programs started without a run journal) are kept this long.
constexpr std::size_t MaxStoredEnds = 4096;

std::int64_t MonotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// One started program not yet collected.
struct TChild {
  pid_t Pid = 0;
  std::int64_t StartMs = 0;
  int PidFd = -1; // readable once the program has ended; -1 where the system has none
};

// Every program we started, the ends collected so far and the thread that watches them.
// The thread waits on each program's pidfd, so it sees an end the moment it happens and
// never touches children that others (QProcess, tests) started.
class TChildren {
public:
  ~TChildren() {
    if (FWatcher.joinable()) {
      {
        std::lock_guard<std::mutex> lock(Lock);
        FStopping = true;
      }
      Wake();
      FWatcher.join();
    }
    for (const TChild &child : Started)
      if (child.PidFd >= 0)
        close(child.PidFd);
    if (FWake >= 0)
      close(FWake);
  }

  // Called with Lock held.
  void Add(pid_t pid, std::int64_t startMs) {
    // A process id seen again belongs to a new program: an old end under it is stale.
    std::erase_if(Ends, [pid](const TProcessEnd &end) { return end.ProcessId == pid; });
    const int pidFd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    Started.push_back({pid, startMs, pidFd});
    if (pidFd >= 0 && StartWatcher())
      Wake();
  }

  // Collects the child at index i if it has ended; called with Lock held. True when it is
  // gone from the list.
  bool Collect(std::size_t i) {
    TChild &child = Started[i];
    int status = 0;
    const pid_t got = waitpid(child.Pid, &status, WNOHANG);
    if (got == 0 || (got < 0 && errno == EINTR))
      return false;
    if (got == child.Pid) {
      TProcessEnd end;
      end.ProcessId = child.Pid;
      end.Signaled = WIFSIGNALED(status);
      end.Code = end.Signaled ? WTERMSIG(status) : WEXITSTATUS(status);
      end.RunMs = std::max<std::int64_t>(0, MonotonicMs() - child.StartMs);
      Ends.push_back(end);
      if (Ends.size() > MaxStoredEnds)
        Ends.pop_front();
    }
    // Collected now, or not our child any more (ECHILD): forget it either way.
    if (child.PidFd >= 0)
      close(child.PidFd);
    Started.erase(Started.begin() + static_cast<std::ptrdiff_t>(i));
    return true;
  }

  void CollectAll() {
    for (std::size_t i = 0; i < Started.size();)
      if (!Collect(i))
        ++i;
  }

  std::mutex Lock;
  std::vector<TChild> Started;
  std::deque<TProcessEnd> Ends;

private:
  bool StartWatcher() {
    if (FWatcher.joinable())
      return true;
    FWake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (FWake < 0)
      return false;
    FWatcher = std::thread([this] { Watch(); });
    return true;
  }

  void Wake() {
    const std::uint64_t one = 1;
    if (FWake >= 0 && write(FWake, &one, sizeof one) < 0) {
      // The counter is full only if the thread stopped reading; nothing to do then.
    }
  }

  void Watch() {
    std::vector<pollfd> fds;
    for (;;) {
      fds.assign(1, pollfd{FWake, POLLIN, 0});
      {
        std::lock_guard<std::mutex> lock(Lock);
        if (FStopping)
          return;
        for (const TChild &child : Started)
          if (child.PidFd >= 0)
            fds.push_back({child.PidFd, POLLIN, 0});
      }
      if (poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR)
        return;
      if (fds[0].revents & POLLIN) {
        std::uint64_t count = 0;
        if (read(FWake, &count, sizeof count) < 0) {
          // Nothing was pending after all.
        }
      }
      std::lock_guard<std::mutex> lock(Lock);
      for (std::size_t k = 1; k < fds.size(); ++k) {
        if (!(fds[k].revents & (POLLIN | POLLHUP | POLLERR)))
          continue;
        for (std::size_t i = 0; i < Started.size(); ++i)
          if (Started[i].PidFd == fds[k].fd) {
            Collect(i);
            break;
          }
      }
    }
  }

  std::thread FWatcher;
  int FWake = -1;
  bool FStopping = false;
};

TChildren &Children() {
  static TChildren children;
  return children;
}

bool Exists(const QByteArray &path) {
  struct stat info {};
  return stat(path.constData(), &info) == 0;
}

// Whether found(path) holds for the program's name in a folder of the search path, searched as
// the program start searches it: without PATH the C library's default folders, an empty entry
// the current folder.
template <typename Found> bool OnSearchPath(const QByteArray &program, Found found) {
  const char *path = getenv("PATH");
  const QByteArray folders = path ? QByteArray(path) : QByteArray("/bin:/usr/bin");
  for (const QByteArray &folder : folders.split(':')) {
    if (found((folder.isEmpty() ? QByteArray(".") : folder) + '/' + program))
      return true;
  }
  return false;
}

// Maps the error of a failed start onto the Windows result codes.
int ExecResult(int error, const QByteArray &program) {
  // A search that met a folder it may not enter reports that, even when the program is in
  // none of the folders: Windows calls that a missing file. A folder we may not enter hides
  // nothing from us here: what it holds cannot be started anyway.
  if (error == EACCES && !program.contains('/') && !OnSearchPath(program, Exists))
    return ExecFileNotFound;
  switch (error) {
  case ENOENT: {
    // Missing file or missing folder on the way: tell them apart as Windows does.
    qsizetype slash = program.lastIndexOf('/');
    if (slash > 0 && !Exists(program.left(slash)))
      return ExecPathNotFound;
    return ExecFileNotFound;
  }
  case ENOTDIR:
  case ENAMETOOLONG:
  case ELOOP:
    return ExecPathNotFound;
  case EACCES:
  case EPERM:
  case ENOEXEC:
  case ETXTBSY:
  case EISDIR:
  case ELIBBAD:
    return ExecBadFormat;
  default:
    // ENOMEM, EAGAIN, E2BIG, EMFILE and whatever else: reported as lack of resources, so
    // no failed start ever passes silently.
    return ExecOutOfResources;
  }
}

bool IsExecutableFile(const QByteArray &path) {
  struct stat info {};
  return stat(path.constData(), &info) == 0 && S_ISREG(info.st_mode) &&
         access(path.constData(), X_OK) == 0;
}

// The spawn attributes and file actions, released when done.
struct TSpawnSetup {
  posix_spawnattr_t Attr;
  posix_spawn_file_actions_t Actions;
  bool Ok = false;
  TSpawnSetup() {
    if (posix_spawnattr_init(&Attr) != 0)
      return;
    if (posix_spawn_file_actions_init(&Actions) != 0) {
      posix_spawnattr_destroy(&Attr);
      return;
    }
    Ok = true;
  }
  ~TSpawnSetup() {
    if (Ok) {
      posix_spawn_file_actions_destroy(&Actions);
      posix_spawnattr_destroy(&Attr);
    }
  }
};

} // namespace

bool NamesProgram(const QString &name) {
  if (name.isEmpty())
    return false;
  const QByteArray native = QFile::encodeName(name);
  return name.contains(u'/') ? IsExecutableFile(native) : OnSearchPath(native, IsExecutableFile);
}

int LaunchProcess(const QString &folder, const QStringList &words, std::int64_t *processId) {
  ReapFinishedProcesses();
  QByteArray nativeFolder;
  if (!folder.isEmpty()) {
    nativeFolder = QFile::encodeName(folder);
    struct stat info {};
    if (stat(nativeFolder.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        access(nativeFolder.constData(), X_OK) != 0)
      throw EInOutError(
          QStringLiteral("Der Arbeitsordner „%1“ kann nicht geöffnet werden.").arg(folder));
  }
  if (words.isEmpty() || words.first().isEmpty())
    return ExecFileNotFound;

  std::vector<QByteArray> args;
  for (const QString &word : words)
    args.push_back(QFile::encodeName(word));
  std::vector<char *> argv;
  for (QByteArray &arg : args)
    argv.push_back(arg.data());
  argv.push_back(nullptr);

  TSpawnSetup setup;
  if (!setup.Ok)
    return ExecOutOfResources;
  // Own session, so the program outlives us and gets no terminal signals of ours; default
  // signal handling and an empty mask, whatever we changed for ourselves.
  sigset_t all, none;
  sigfillset(&all);
  sigemptyset(&none);
  short flags = POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
  if (posix_spawnattr_setflags(&setup.Attr, flags) != 0 ||
      posix_spawnattr_setsigdefault(&setup.Attr, &all) != 0 ||
      posix_spawnattr_setsigmask(&setup.Attr, &none) != 0)
    return ExecOutOfResources;
  // Standard input from /dev/null (a started program must not read our terminal); no other
  // descriptor of ours beyond standard output and error reaches the program.
  if (posix_spawn_file_actions_addopen(&setup.Actions, 0, "/dev/null", O_RDONLY, 0) != 0 ||
      posix_spawn_file_actions_addclosefrom_np(&setup.Actions, 3) != 0)
    return ExecOutOfResources;
  if (!nativeFolder.isEmpty() &&
      posix_spawn_file_actions_addchdir_np(&setup.Actions, nativeFolder.constData()) != 0)
    return ExecOutOfResources;

  TChildren &children = Children();
  // Held across the start, so that the watcher cannot collect the program before it is
  // listed.
  std::lock_guard<std::mutex> lock(children.Lock);
  pid_t pid = 0;
  const std::int64_t startMs = MonotonicMs();
  int error = posix_spawnp(&pid, argv[0], &setup.Actions, &setup.Attr, argv.data(), environ);
  if (error != 0)
    return ExecResult(error, args.front());
  children.Add(pid, startMs);
  if (processId)
    *processId = pid;
  return ExecStartedAbove + 2;
}

void ReapFinishedProcesses() {
  TChildren &children = Children();
  std::lock_guard<std::mutex> lock(children.Lock);
  children.CollectAll();
}

int UnreapedProcessCount() {
  TChildren &children = Children();
  std::lock_guard<std::mutex> lock(children.Lock);
  return static_cast<int>(children.Started.size());
}

std::optional<TProcessEnd> TakeProcessEnd(std::int64_t processId) {
  TChildren &children = Children();
  std::lock_guard<std::mutex> lock(children.Lock);
  for (auto end = children.Ends.begin(); end != children.Ends.end(); ++end)
    if (end->ProcessId == processId) {
      const TProcessEnd found = *end;
      children.Ends.erase(end);
      return found;
    }
  return std::nullopt;
}

QString SignalName(int signal) {
  if (const char *abbreviation = sigabbrev_np(signal))
    return QStringLiteral("SIG") + QString::fromLatin1(abbreviation);
  return QString::number(signal);
}
