#include "platform/SystemError.h"

#include <cerrno>
#include <cstring>

QString SystemErrorText(int error) {
  // The C library's own texts follow the locale of the machine (often English); the user's
  // program speaks German whatever that is.
  switch (error) {
  case ENOSPC:
    return QStringLiteral("Kein Speicherplatz auf dem Gerät");
  case EDQUOT:
    return QStringLiteral("Das Speicherkontingent (Quota) ist erschöpft");
  case EFBIG:
    return QStringLiteral("Die Datei überschreitet die erlaubte Dateigröße");
  case EACCES:
    return QStringLiteral("Keine Berechtigung");
  case EPERM:
    return QStringLiteral("Die Operation ist nicht erlaubt");
  case EROFS:
    return QStringLiteral("Das Dateisystem ist nur lesbar eingehängt");
  case ENOENT:
    return QStringLiteral("Datei oder Ordner nicht gefunden");
  case ENOTDIR:
    return QStringLiteral("Ein Teil des Pfades ist kein Ordner");
  case EISDIR:
    return QStringLiteral("Das ist ein Ordner");
  case EEXIST:
    return QStringLiteral("Die Datei existiert bereits");
  case EIO:
    return QStringLiteral("Ein-/Ausgabefehler des Geräts");
  case ELOOP:
    return QStringLiteral("Zu viele symbolische Verweise");
  case ENAMETOOLONG:
    return QStringLiteral("Der Dateiname ist zu lang");
  case EMFILE:
  case ENFILE:
    return QStringLiteral("Zu viele offene Dateien");
  case ENXIO:
    return QStringLiteral("Kein Gerät oder keine Gegenstelle vorhanden");
  case ETXTBSY:
    return QStringLiteral("Die Datei wird gerade ausgeführt");
  case EBUSY:
    return QStringLiteral("Das Gerät oder die Ressource ist belegt");
  case ENOMEM:
    return QStringLiteral("Nicht genügend Speicher");
  case EAGAIN:
    return QStringLiteral("Die Ressource ist vorübergehend nicht verfügbar");
  case EXDEV:
    return QStringLiteral("Die Datei liegt auf einem anderen Dateisystem");
  case EINVAL:
    return QStringLiteral("Ungültiges Argument");
  case ESTALE:
    return QStringLiteral("Die Netzwerkdatei ist nicht mehr gültig");
  default:
    break;
  }
  const char *name = strerrorname_np(error);
  return QStringLiteral("Systemfehler %1")
      .arg(name ? QString::fromLatin1(name) : QString::number(error));
}
