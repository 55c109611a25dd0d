#include "gui/about/InfoAdd.h"

const QStringList &TInfoAdds() {
  static const QStringList pages = {
      QStringLiteral("Kronolab wohnt als Mond im Infobereich der Kontrollleiste. Das Symbol zeigt "
                     "die aktuelle Mondphase und wird bei jedem Takt erneuert. Ein Doppelklick "
                     "öffnet die Aktionen, ein Rechtsklick das Menü."),
      QStringLiteral("Eine Aktion ist eine einzige Zeile: ein Programmaufruf mit Argumenten, eine "
                     "Nachricht in Anführungszeichen oder ein interner Befehl nach einem "
                     "Prozentzeichen, etwa %COPY, %MOVE oder %DELETE."),
      QStringLiteral("Nachrichten erscheinen im Nachrichtenfenster. Solange es offen ist, werden "
                     "neue Nachrichten unten angehängt, so geht keine verloren, auch wenn Sie "
                     "gerade nicht am Rechner sitzen."),
      QStringLiteral("Jede Aktion hat einen Zeitpunkt: Frequenz, Einmalig, Täglich, Wöchentlich, "
                     "Monatlich oder Jährlich, dazu eine Uhrzeit. Mit „Alle Aufrufe“ holt "
                     "Kronolab verpasste Aufrufe nach, soweit die Regel es erlaubt."),
      QStringLiteral("„Bei Start“ führt eine Aktion einmal aus, sobald Kronolab startet, zum "
                     "Beispiel eine Sicherung nach dem Anmelden oder eine Begrüßung am Morgen."),
      QStringLiteral("Platzhalter wie %TIMESTAMP% oder %FULLDAY% setzen Datum und Uhrzeit in den "
                     "Aktionstext ein. So bekommt jede Sicherungskopie einen eigenen, sprechenden "
                     "Namen."),
      QStringLiteral("Mit einem @ vor einem Dateimuster wählt Kronolab zufällig eine passende "
                     "Datei, etwa ein Bild für den Tag: %COPY @/home/anna/Bilder/*.jpg /tmp/bild."),
      QStringLiteral("Programme startet Kronolab ohne Shell. Anführungszeichen fassen Argumente "
                     "mit Leerzeichen zusammen; Umleitungen und Pipes brauchen ein eigenes "
                     "Skript, das Sie als Programm aufrufen."),
      QStringLiteral("Mit eingeschalteter Protokollierung schreibt Kronolab jede ausgeführte "
                     "Aktion als eine Zeile in die Protokolldatei neben der Konfiguration. "
                     "Ein Blick hinein zeigt, was wann lief."),
      QStringLiteral("„Programm angehalten“ im Menü hält den Zeitplan an; das Symbol zeigt dann "
                     "kein Mondbild mehr. Nach dem Fortsetzen holt Kronolab nach, was die Regeln "
                     "nachholen."),
      QStringLiteral("Ist „Stop per Umschalt bei Start ermöglichen“ gewählt, startet Kronolab "
                     "angehalten, wenn Sie beim Start die Umschalttaste gedrückt halten. Gut, "
                     "wenn eine Aktion beim Start gerade stören würde."),
      QStringLiteral("Beenden Sie Kronolab über „Beenden“ im Menü: dann wird gespeichert, wann "
                     "jede Aktion zuletzt lief, und nichts wird beim nächsten Start doppelt "
                     "ausgeführt. Auch beim Abmelden speichert Kronolab."),
      QStringLiteral("Die Konfiguration ist eine INI-Datei, die nur Sie lesen können, denn sie "
                     "enthält die Befehle, die Kronolab ausführt. „Aktionen sichern“ legt eine "
                     "Kopie an, \"Aktionen laden\" holt sie zurück."),
      QStringLiteral("Neuigkeiten, Hinweise und neue Versionen finden Sie auf "
                     "kronolab.example.org. Über Rückmeldungen per Mail freuen wir uns."),
  };
  return pages;
}
