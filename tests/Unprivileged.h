// Running a test's subject as a user whom file permissions bind: root passes every permission
// check, and the suite is run as root (the README's commands), so a test about a refused write
// would otherwise test nothing.
#pragma once

#include <QFile>
#include <QString>
#include <QStringList>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

// Exit status of RunUnprivileged when the child could not become the unprivileged user.
constexpr int NotUnprivileged = 125;

// Runs subject in a forked child (as "nobody" when we are root, else as ourselves) and returns
// the status it returned (0..124), NotUnprivileged when the child could not drop root, or -1
// when it did not end normally. When root, the paths in handOver are first given to that user,
// so that only the permissions the test sets decide. subject must not touch gtest's results.
inline int RunUnprivileged(const std::function<int()> &subject, const QStringList &handOver = {}) {
  uid_t uid = 65534;
  gid_t gid = 65534;
  if (const passwd *nobody = getpwnam("nobody")) {
    uid = nobody->pw_uid;
    gid = nobody->pw_gid;
  }
  const bool root = geteuid() == 0;
  if (root)
    for (const QString &path : handOver)
      if (lchown(QFile::encodeName(path).constData(), uid, gid) != 0)
        return NotUnprivileged;
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0)
    return -1;
  if (child == 0) {
    if (root &&
        (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0 || geteuid() == 0))
      _exit(NotUnprivileged);
    const int status = subject();
    std::fflush(nullptr);
    _exit(status < 0 || status >= NotUnprivileged ? NotUnprivileged - 1 : status);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0)
    if (errno != EINTR)
      return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
