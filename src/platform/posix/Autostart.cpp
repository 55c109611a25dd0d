#include "platform/Autostart.h"

#include "base/Errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>

namespace {

QString ConfigHome() {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  // The XDG rules ignore a relative value.
  if (base.isEmpty() || QDir::isRelativePath(base))
    base = QDir::homePath() + QStringLiteral("/.config");
  return base;
}

// One word of an Exec line: quoted when it holds a reserved character, with the double quote,
// backquote, dollar sign and backslash escaped inside the quotes; a percent sign doubled in
// any case (it starts a field code).
QString ExecWord(QString word) {
  word.replace(u'%', QStringLiteral("%%"));
  static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
  bool quote = word.isEmpty();
  for (const QChar c : word)
    quote = quote || reserved.contains(c);
  if (!quote)
    return word;
  QString quoted;
  for (const QChar c : word) {
    if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
      quoted += u'\\';
    quoted += c;
  }
  return u'"' + quoted + u'"';
}

// A value as a desktop entry string: backslash and the control characters escaped.
QString EntryString(const QString &value) {
  QString escaped;
  for (const QChar c : value) {
    switch (c.unicode()) {
    case '\\':
      escaped += QStringLiteral("\\\\");
      break;
    case '\n':
      escaped += QStringLiteral("\\n");
      break;
    case '\t':
      escaped += QStringLiteral("\\t");
      break;
    case '\r':
      escaped += QStringLiteral("\\r");
      break;
    default:
      escaped += c;
    }
  }
  return escaped;
}

[[noreturn]] void Fail(const QString &what, const QString &file) {
  throw EInOutError(QStringLiteral("Der Autostart-Eintrag „%1“ kann nicht %2 werden: %3")
                        .arg(file, what, QString::fromLocal8Bit(std::strerror(errno))));
}

} // namespace

QString AutostartFilePath() {
  return ConfigHome() + QStringLiteral("/autostart/") + QString::fromLatin1(ApplicationId) +
         QStringLiteral(".desktop");
}

bool AutostartEnabled() {
  QFile file(AutostartFilePath());
  if (!file.open(QIODevice::ReadOnly))
    return false;
  bool inEntry = false;
  while (!file.atEnd()) {
    const QString line = QString::fromUtf8(file.readLine()).trimmed();
    if (line.startsWith(u'['))
      inEntry = line == u"[Desktop Entry]";
    else if (inEntry && (line == u"Hidden=true" || line == u"X-GNOME-Autostart-enabled=false"))
      return false;
  }
  return true;
}

QString DesktopExecLine(const QString &program, const QStringList &arguments) {
  QStringList words{ExecWord(program)};
  for (const QString &argument : arguments)
    words.append(ExecWord(argument));
  return EntryString(words.join(u' '));
}

void SetAutostart(bool enabled, const QString &program, const QStringList &arguments) {
  const QString path = AutostartFilePath();
  if (!enabled) {
    if (QFileInfo::exists(path) && !QFile::remove(path))
      Fail(QStringLiteral("entfernt"), path);
    return;
  }
  // A folder we create is private, as every folder of ours.
  for (const QString &folder : {ConfigHome(), QFileInfo(path).absolutePath()})
    if (!QFileInfo(folder).isDir() &&
        !QDir().mkdir(folder,
                      QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner))
      Fail(QStringLiteral("angelegt"), path);
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly))
    Fail(QStringLiteral("geschrieben"), path);
  const QString entry =
      QStringLiteral("[Desktop Entry]\n"
                     "Type=Application\n"
                     "Name=Kronolab\n"
                     "Comment=Zeitplaner im Infobereich\n"
                     "Icon=%1\n"
                     "Exec=%2\n"
                     "Terminal=false\n"
                     "X-GNOME-Autostart-enabled=true\n")
          .arg(QString::fromLatin1(ApplicationId), DesktopExecLine(program, arguments));
  file.write(entry.toUtf8());
  file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  if (!file.commit())
    Fail(QStringLiteral("geschrieben"), path);
}
