#include "platform/Process.h"

#include "base/Errors.h"

#include <QFile>
#include <algorithm>
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
#include <utility>
#include <vector>

extern char **environ;

namespace {

// Ends that nobody takes (programs started without a run journal) are kept this long, and
// their output only up to a total, so that a scheduler without a journal cannot gather
// gigabytes of tails.
constexpr std::size_t MaxStoredEnds = 4096;
constexpr qsizetype MaxStoredOutputBytes = 32 * 1024 * 1024;
// What one look at a pipe reads at most before the others get their turn: a program that
// writes without end must not keep the lock from the scheduler.
constexpr int ReadsPerLook = 16;

std::int64_t MonotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void CloseIfOpen(int &fd) {
  if (fd >= 0)
    close(fd);
  fd = -1;
}

// Reads what fd holds now without waiting, keeping the last KeptOutputBytes in tail (null:
// read and dropped, which keeps the writer from blocking). True once every writer has closed
// it (or it failed for good): the caller closes it then.
bool ReadAvailable(int fd, QByteArray *tail) {
  char buffer[16384];
  for (int reads = 0; reads < ReadsPerLook; ++reads) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got > 0) {
      if (tail) {
        tail->append(buffer, static_cast<qsizetype>(got));
        // Trimmed once a second tail's worth has gathered: one move per 64 KiB read.
        if (tail->size() >= 2 * KeptOutputBytes)
          tail->remove(0, tail->size() - KeptOutputBytes);
      }
      continue;
    }
    if (got < 0 && errno == EINTR)
      continue;
    return got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
  }
  return false;
}

QByteArray Tail(const QByteArray &text) {
  return text.size() > KeptOutputBytes ? text.right(KeptOutputBytes) : text;
}

// One started program not yet collected.
struct TChild {
  pid_t Pid = 0;
  std::int64_t StartMs = 0;
  int PidFd = -1; // readable once the program has ended; -1 where the system has none
  // The read ends of its standard output and error (-1: not captured, or closed by all
  // writers) and what they gave so far.
  int OutFd = -1;
  int ErrFd = -1;
  QByteArray Out, Err;
};

// Every program we started, the ends collected so far and the thread that watches them.
// The thread waits on each program's pidfd, so it sees an end the moment it happens and
// never touches children that others (QProcess, tests) started; it also reads the programs'
// output as it comes, so that no program ever blocks on a full pipe.
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
    for (TChild &child : Started) {
      CloseIfOpen(child.PidFd);
      CloseIfOpen(child.OutFd);
      CloseIfOpen(child.ErrFd);
    }
    for (int &fd : Draining)
      CloseIfOpen(fd);
    CloseIfOpen(FWake);
    CloseIfOpen(FEndEvents);
  }

  // Called with Lock held.
  void Add(TChild child) {
    // A process id seen again belongs to a new program: an old end under it is stale.
    std::erase_if(Ends, [&child](const TProcessEnd &end) { return end.ProcessId == child.Pid; });
    child.PidFd = static_cast<int>(syscall(SYS_pidfd_open, child.Pid, 0));
    Started.push_back(std::move(child));
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
    // What it wrote before it ended is in the pipes now; what its leftovers write later
    // is drained and dropped, so that they never block (nor die of a closed pipe).
    for (auto [fd, tail] : {std::pair{&child.OutFd, &child.Out}, {&child.ErrFd, &child.Err}}) {
      if (*fd < 0)
        continue;
      if (ReadAvailable(*fd, tail))
        CloseIfOpen(*fd);
      else
        Draining.push_back(std::exchange(*fd, -1));
    }
    if (got == child.Pid) {
      TProcessEnd end;
      end.ProcessId = child.Pid;
      end.Signaled = WIFSIGNALED(status);
      end.Code = end.Signaled ? WTERMSIG(status) : WEXITSTATUS(status);
      end.RunMs = std::max<std::int64_t>(0, MonotonicMs() - child.StartMs);
      end.Output = Tail(child.Out);
      end.Errors = Tail(child.Err);
      Store(std::move(end));
    }
    // Collected now, or not our child any more (ECHILD): forget it either way.
    CloseIfOpen(child.PidFd);
    Started.erase(Started.begin() + static_cast<std::ptrdiff_t>(i));
    return true;
  }

  void CollectAll() {
    for (std::size_t i = 0; i < Started.size();)
      if (!Collect(i))
        ++i;
  }

  // Starts the thread that watches ends and reads output; called with Lock held. False when
  // the system gives no way to wake it (output then stays inherited).
  bool EnsureWatcher() {
    if (FWatcher.joinable())
      return true;
    FWake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (FWake < 0)
      return false;
    EndEvents();
    FWatcher = std::thread([this] { Watch(); });
    return true;
  }

  // Called with Lock held, before the ends are looked at: an end stored later signals anew.
  void ResetEndEvents() {
    std::uint64_t count = 0;
    if (FEndEvents >= 0 && read(FEndEvents, &count, sizeof count) < 0) {
      // Nothing was signalled.
    }
  }

  // Called with Lock held. Ends stored before anyone asked are signalled at once, so that
  // a program that ended while its watch was being set up is not missed.
  int EndEvents() {
    if (FEndEvents < 0) {
      FEndEvents = eventfd(Ends.empty() ? 0 : 1, EFD_CLOEXEC | EFD_NONBLOCK);
    }
    return FEndEvents;
  }

  std::mutex Lock;
  std::vector<TChild> Started;
  std::deque<TProcessEnd> Ends;
  // Pipes whose program has ended but whose leftovers still hold them open.
  std::vector<int> Draining;

private:
  void Store(TProcessEnd end) {
    FStoredOutput += end.Output.size() + end.Errors.size();
    Ends.push_back(std::move(end));
    if (Ends.size() > MaxStoredEnds) {
      FStoredOutput -= Ends.front().Output.size() + Ends.front().Errors.size();
      Ends.pop_front();
    }
    for (TProcessEnd &old : Ends) {
      if (FStoredOutput <= MaxStoredOutputBytes)
        break;
      FStoredOutput -= old.Output.size() + old.Errors.size();
      old.Output.clear();
      old.Errors.clear();
    }
    const std::uint64_t one = 1;
    if (FEndEvents >= 0 && write(FEndEvents, &one, sizeof one) < 0) {
      // Full only if nobody reads it; the ends are in the store all the same.
    }
  }

  void Wake() {
    const std::uint64_t one = 1;
    if (FWake >= 0 && write(FWake, &one, sizeof one) < 0) {
      // The counter is full only if the thread stopped reading; nothing to do then.
    }
  }

  // What a descriptor the watcher polls stands for.
  struct TWatched {
    enum { End, Output, Errors, Drain } What = End;
    pid_t Pid = 0;
  };

  TChild *Find(pid_t pid) {
    for (TChild &child : Started)
      if (child.Pid == pid)
        return &child;
    return nullptr;
  }

  // Handles one descriptor that poll found ready; called with Lock held. The lock was let go
  // during the poll, so the descriptor is checked to still be the one polled.
  void Handle(int fd, const TWatched &watched) {
    if (watched.What == TWatched::Drain) {
      const auto at = std::find(Draining.begin(), Draining.end(), fd);
      if (at != Draining.end() && ReadAvailable(fd, nullptr)) {
        close(fd);
        Draining.erase(at);
      }
      return;
    }
    TChild *child = Find(watched.Pid);
    if (!child)
      return;
    if (watched.What == TWatched::End) {
      if (child->PidFd == fd)
        Collect(static_cast<std::size_t>(child - Started.data()));
      return;
    }
    const bool output = watched.What == TWatched::Output;
    int &own = output ? child->OutFd : child->ErrFd;
    if (own == fd && ReadAvailable(fd, output ? &child->Out : &child->Err))
      CloseIfOpen(own);
  }

  void Watch() {
    std::vector<pollfd> fds;
    std::vector<TWatched> watched;
    for (;;) {
      fds.assign(1, pollfd{FWake, POLLIN, 0});
      watched.assign(1, TWatched{});
      {
        std::lock_guard<std::mutex> lock(Lock);
        if (FStopping)
          return;
        // Output before the end, so that a round that sees both reads first.
        for (const TChild &child : Started) {
          for (const auto &[fd, what] : {std::pair{child.OutFd, TWatched::Output},
                                         {child.ErrFd, TWatched::Errors},
                                         {child.PidFd, TWatched::End}}) {
            if (fd < 0)
              continue;
            fds.push_back({fd, POLLIN, 0});
            watched.push_back({what, child.Pid});
          }
        }
        for (const int fd : Draining) {
          fds.push_back({fd, POLLIN, 0});
          watched.push_back({TWatched::Drain, 0});
        }
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
      for (std::size_t k = 1; k < fds.size(); ++k)
        if (fds[k].revents & (POLLIN | POLLHUP | POLLERR))
          Handle(fds[k].fd, watched[k]);
    }
  }

  std::thread FWatcher;
  int FWake = -1;
  int FEndEvents = -1;
  bool FStopping = false;
  qsizetype FStoredOutput = 0;
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

// A pipe for one output of a program: the write end for the program only (close-on-exec, so
// that no other program started meanwhile holds it open), the read end non-blocking for us.
// Both ends that are not taken are closed with it.
struct TPipe {
  int Read = -1;
  int Write = -1;
  bool Open() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
      return false;
    Read = ends[0];
    Write = ends[1];
    return fcntl(Read, F_SETFL, O_NONBLOCK) == 0;
  }
  int TakeRead() { return std::exchange(Read, -1); }
  ~TPipe() {
    CloseIfOpen(Read);
    CloseIfOpen(Write);
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
  // descriptor of ours beyond standard output and error reaches the program (closed below,
  // after the pipes are in place).
  if (posix_spawn_file_actions_addopen(&setup.Actions, 0, "/dev/null", O_RDONLY, 0) != 0)
    return ExecOutOfResources;
  if (!nativeFolder.isEmpty() &&
      posix_spawn_file_actions_addchdir_np(&setup.Actions, nativeFolder.constData()) != 0)
    return ExecOutOfResources;

  TChildren &children = Children();
  // Held across the start, so that the watcher cannot collect the program before it is
  // listed.
  std::lock_guard<std::mutex> lock(children.Lock);
  // Output and errors go into pipes that the watcher reads; without a watcher they stay
  // ours, as a pipe nobody reads would block the program.
  TPipe out, err;
  const bool capture = children.EnsureWatcher() && out.Open() && err.Open();
  if (capture && (posix_spawn_file_actions_adddup2(&setup.Actions, out.Write, 1) != 0 ||
                  posix_spawn_file_actions_adddup2(&setup.Actions, err.Write, 2) != 0))
    return ExecOutOfResources;
  if (posix_spawn_file_actions_addclosefrom_np(&setup.Actions, 3) != 0)
    return ExecOutOfResources;
  TChild child;
  child.StartMs = MonotonicMs();
  int error = posix_spawnp(&child.Pid, argv[0], &setup.Actions, &setup.Attr, argv.data(), environ);
  if (error != 0)
    return ExecResult(error, args.front());
  if (capture) {
    child.OutFd = out.TakeRead();
    child.ErrFd = err.TakeRead();
  }
  const pid_t pid = child.Pid;
  children.Add(std::move(child));
  if (processId)
    *processId = pid;
  return ExecStartedAbove + 2;
}

void ReapFinishedProcesses() {
  TChildren &children = Children();
  std::lock_guard<std::mutex> lock(children.Lock);
  children.ResetEndEvents();
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

bool StopProcessGroup(std::int64_t processId, bool force) {
  if (processId <= 1)
    return false; // never all our processes, nor every process of the system
  return kill(-static_cast<pid_t>(processId), force ? SIGKILL : SIGTERM) == 0;
}

int ProcessEndEvents() {
  TChildren &children = Children();
  std::lock_guard<std::mutex> lock(children.Lock);
  return children.EndEvents();
}

QString SignalName(int signal) {
  if (const char *abbreviation = sigabbrev_np(signal))
    return QStringLiteral("SIG") + QString::fromLatin1(abbreviation);
  return QString::number(signal);
}
