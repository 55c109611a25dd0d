#include "platform/Process.h"

#include "base/Errors.h"

#include <QFile>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

std::mutex StartedLock;
std::vector<pid_t> Started; // children not yet reaped

bool Exists(const QByteArray &path) {
  struct stat info {};
  return stat(path.constData(), &info) == 0;
}

// Whether a file of the program's name lies in a folder of the search path. A folder we may
// not enter hides nothing from us: what it holds cannot be started anyway.
bool OnSearchPath(const QByteArray &program) {
  const char *path = getenv("PATH");
  // Without PATH the C library searches its default folders.
  const QByteArray folders = path ? QByteArray(path) : QByteArray("/bin:/usr/bin");
  for (const QByteArray &folder : folders.split(':')) {
    // An empty entry is the current folder.
    if (Exists((folder.isEmpty() ? QByteArray(".") : folder) + '/' + program))
      return true;
  }
  return false;
}

// Maps the error of a failed start onto the Windows result codes.
int ExecResult(int error, const QByteArray &program) {
  // A search that met a folder it may not enter reports that, even when the program is in
  // none of the folders: Windows calls that a missing file.
  if (error == EACCES && !program.contains('/') && !OnSearchPath(program))
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

// True when name is an executable regular file: a name with a slash as a path, one without
// on the folders of PATH, as the program start itself searches.
bool NamesProgram(const QString &name) {
  auto executable = [](const QByteArray &path) {
    struct stat info {};
    return stat(path.constData(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.constData(), X_OK) == 0;
  };
  if (name.isEmpty())
    return false;
  if (name.contains(u'/'))
    return executable(QFile::encodeName(name));
  const QByteArray path = qEnvironmentVariableIsSet("PATH") ? qgetenv("PATH") : "/bin:/usr/bin";
  for (const QByteArray &folder : path.split(':')) {
    const QByteArray dir = folder.isEmpty() ? QByteArray(".") : folder;
    if (executable(dir + '/' + QFile::encodeName(name)))
      return true;
  }
  return false;
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

bool TCommandLineReader::Next(QChar &c, bool &groupingQuote) {
  groupingQuote = false;
  if (FPendingBackslashes > 0) {
    --FPendingBackslashes;
    c = u'\\';
    return true;
  }
  if (FPendingQuote) {
    FPendingQuote = false;
    c = u'"';
    return true;
  }
  if (FPos >= FText.size())
    return false;
  if (FText[FPos] == u'\\') {
    qsizetype run = 0;
    while (FPos + run < FText.size() && FText[FPos + run] == u'\\')
      ++run;
    FPos += run;
    const bool beforeQuote = FPos < FText.size() && FText[FPos] == u'"';
    FPendingBackslashes = static_cast<int>(beforeQuote ? run / 2 : run);
    if (beforeQuote && run % 2 == 1) {
      FPendingQuote = true;
      ++FPos;
    }
    return Next(c, groupingQuote);
  }
  c = FText[FPos++];
  groupingQuote = c == u'"';
  return true;
}

QStringList SplitCommandLine(const QString &commandLine) {
  QStringList words;
  QString word;
  bool inWord = false, quoted = false;
  TCommandLineReader reader(commandLine);
  QChar c;
  bool groupingQuote = false;
  while (reader.Next(c, groupingQuote)) {
    if (groupingQuote) {
      quoted = !quoted;
      inWord = true;
    } else if (!quoted && (c == u' ' || c == u'\t')) {
      if (inWord)
        words.append(word);
      word.clear();
      inWord = false;
    } else {
      word.append(c);
      inWord = true;
    }
  }
  if (inWord)
    words.append(word);
  return words;
}

QString QuoteCommandWord(const QString &word) {
  if (!word.isEmpty() && !word.contains(u' ') && !word.contains(u'\t') && !word.contains(u'"'))
    return word;
  QString quoted = QStringLiteral("\"");
  qsizetype backslashes = 0;
  for (QChar c : word) {
    if (c == u'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are doubled, and the quote gets one of its own.
    quoted += QString(c == u'"' ? 2 * backslashes + 1 : backslashes, u'\\');
    quoted += c;
    backslashes = 0;
  }
  // Before the closing quote they are doubled too, so that it still closes.
  quoted += QString(2 * backslashes, u'\\');
  quoted += u'"';
  return quoted;
}

QStringList ProgramAndArguments(const QString &commandLine) {
  QStringList words = SplitCommandLine(commandLine);
  if (words.isEmpty() || NamesProgram(words.first()))
    return words;
  // Only an unquoted start can hold a path with blanks: quotes group by themselves.
  const QString line = commandLine.trimmed();
  for (qsizetype end = line.lastIndexOf(u' '); end > 0; end = line.lastIndexOf(u' ', end - 1)) {
    const QString program = line.left(end);
    if (program.contains(u'"'))
      continue;
    if (NamesProgram(program))
      return QStringList{program} + SplitCommandLine(line.mid(end + 1));
  }
  return words;
}

int LaunchProcess(const QString &folder, const QString &commandLine) {
  ReapFinishedProcesses();
  QByteArray nativeFolder;
  if (!folder.isEmpty()) {
    nativeFolder = QFile::encodeName(folder);
    struct stat info {};
    if (stat(nativeFolder.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        access(nativeFolder.constData(), X_OK) != 0)
      throw EInOutError(
          QStringLiteral("Der Arbeitsordner \"%1\" kann nicht geöffnet werden.").arg(folder));
  }
  const QStringList words = ProgramAndArguments(commandLine);
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

  pid_t pid = 0;
  int error = posix_spawnp(&pid, argv[0], &setup.Actions, &setup.Attr, argv.data(), environ);
  if (error != 0)
    return ExecResult(error, args.front());
  std::lock_guard<std::mutex> lock(StartedLock);
  Started.push_back(pid);
  return ExecStartedAbove + 2;
}

void ReapFinishedProcesses() {
  std::lock_guard<std::mutex> lock(StartedLock);
  std::erase_if(Started, [](pid_t pid) {
    int status = 0;
    pid_t got = waitpid(pid, &status, WNOHANG);
    return got == pid || (got < 0 && errno == ECHILD);
  });
}

int UnreapedProcessCount() {
  std::lock_guard<std::mutex> lock(StartedLock);
  return static_cast<int>(Started.size());
}
