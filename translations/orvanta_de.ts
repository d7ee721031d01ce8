<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>MprisService</name>
    <message>
        <source>Recording</source>
        <translation>Aufnahme läuft</translation>
    </message>
</context>
<context>
    <name>Orvanta</name>
    <message>
        <source>No proxy set</source>
        <translation>Kein Proxy eingestellt</translation>
    </message>
    <message>
        <source>Radio Example</source>
        <translation>Beispielradio</translation>
    </message>
    <message>
        <source>Jazz</source>
        <translation>Jazz</translation>
    </message>
    <message>
        <source>Morning Show</source>
        <translation>Morgenshow</translation>
    </message>
    <message>
        <source>Artist</source>
        <translation>Interpret</translation>
    </message>
    <message>
        <source>Album</source>
        <translation>Album</translation>
    </message>
    <message>
        <source>The station directory sent an answer that cannot be read</source>
        <translation>Das Senderverzeichnis hat eine Antwort geschickt, die nicht gelesen werden kann</translation>
    </message>
    <message>
        <source>Saved changes take effect the next time a stream is recorded</source>
        <translation>Gespeicherte Änderungen gelten ab der nächsten Aufnahme eines Streams</translation>
    </message>
    <message>
        <source>Save Preset As:</source>
        <translation>Vorlage speichern unter:</translation>
    </message>
    <message>
        <source>Rename Preset To:</source>
        <translation>Vorlage umbenennen in:</translation>
    </message>
    <message>
        <source>Please choose a different name.</source>
        <translation>Bitte wählen Sie einen anderen Namen.</translation>
    </message>
    <message>
        <source>No station directory server could be found</source>
        <translation>Es wurde kein Server des Senderverzeichnisses gefunden</translation>
    </message>
    <message>
        <source>The station directory does not know this station</source>
        <translation>Dieser Sender ist dem Senderverzeichnis nicht bekannt</translation>
    </message>
    <message>
        <source>Cannot save recordings to disc - please check the download path and space available</source>
        <translation>Aufnahmen können nicht gespeichert werden - bitte prüfen Sie den Zielordner und den freien Speicherplatz</translation>
    </message>
    <message>
        <source>M3U file may be invalid</source>
        <translation>Die M3U-Datei ist möglicherweise ungültig</translation>
    </message>
    <message>
        <source>Unknown Scheduled Recording</source>
        <translation>Unbekannte geplante Aufnahme</translation>
    </message>
    <message>
        <source>Unknown Source</source>
        <translation>Unbekannte Quelle</translation>
    </message>
    <message>
        <source>M3U Recordings</source>
        <translation>M3U-Aufnahmen</translation>
    </message>
    <message>
        <source>It is too large to be a playlist</source>
        <translation>Die Datei ist zu groß für eine Wiedergabeliste</translation>
    </message>
    <message>
        <source>Stream</source>
        <translation>Stream</translation>
    </message>
    <message>
        <source>URL</source>
        <translation>URL</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>Ordner</translation>
    </message>
    <message>
        <source>Standard</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>Duplicate recording - ignored</source>
        <translation>Doppelte Aufnahme - ignoriert</translation>
    </message>
    <message>
        <source>Recording too small - ignored</source>
        <translation>Aufnahme zu klein - ignoriert</translation>
    </message>
    <message>
        <source>Incomplete - %1</source>
        <translation>Unvollständig - %1</translation>
    </message>
    <message>
        <source>Skipped - ignored</source>
        <translation>Übersprungen - ignoriert</translation>
    </message>
    <message>
        <source>History</source>
        <translation>Verlauf</translation>
    </message>
    <message>
        <source>Song Name</source>
        <translation>Titel</translation>
    </message>
    <message>
        <source>Track</source>
        <translation>Nr.</translation>
    </message>
    <message>
        <source>Location</source>
        <translation>Speicherort</translation>
    </message>
    <message>
        <source>Untitled</source>
        <translation>Unbenannt</translation>
    </message>
    <message>
        <source>Failed to open radio stream data</source>
        <translation>Die Senderdaten konnten nicht geöffnet werden</translation>
    </message>
    <message>
        <source>Unknown Artist</source>
        <translation>Unbekannter Interpret</translation>
    </message>
    <message>
        <source>Unknown Album</source>
        <translation>Unbekanntes Album</translation>
    </message>
    <message>
        <source>Unknown Track</source>
        <translation>Unbekannter Titel</translation>
    </message>
    <message>
        <source>Unknown Genre</source>
        <translation>Unbekanntes Genre</translation>
    </message>
    <message>
        <source>Unknown Stream</source>
        <translation>Unbekannter Stream</translation>
    </message>
    <message>
        <source>session</source>
        <translation>Sitzung</translation>
    </message>
    <message>
        <source>secs</source>
        <translation>s</translation>
    </message>
    <message>
        <source>Could not create the folder &quot;%1&quot;</source>
        <translation>Der Ordner &quot;%1&quot; konnte nicht angelegt werden</translation>
    </message>
    <message>
        <source>Could not create the recording file &quot;%1&quot;: %2</source>
        <translation>Die Aufnahmedatei &quot;%1&quot; konnte nicht angelegt werden: %2</translation>
    </message>
    <message>
        <source>Out of disk space!</source>
        <translation>Kein Speicherplatz mehr frei!</translation>
    </message>
    <message>
        <source>%1 - Out of disk space, reached safety limit</source>
        <translation>%1 - Kein Speicherplatz mehr frei, Sicherheitsgrenze erreicht</translation>
    </message>
    <message>
        <source>Nothing learned yet</source>
        <translation>Noch nichts gelernt</translation>
    </message>
    <message>
        <source>Still learning (%1 songs so far)</source>
        <translation>Lernt noch (bisher %1 Songs)</translation>
    </message>
    <message>
        <source>Titles change in the gap between songs</source>
        <translation>Die Titel wechseln in der Pause zwischen den Songs</translation>
    </message>
    <message>
        <source>Titles change %1 s after the gap between songs</source>
        <translation>Die Titel wechseln %1 s nach der Pause zwischen den Songs</translation>
    </message>
    <message>
        <source>Titles change %1 s before the gap between songs</source>
        <translation>Die Titel wechseln %1 s vor der Pause zwischen den Songs</translation>
    </message>
    <message>
        <source>(learned from %1 songs)</source>
        <translation>(aus %1 Songs gelernt)</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>Abgebrochen</translation>
    </message>
    <message>
        <source>The server&apos;s answer is too large</source>
        <translation>Die Antwort des Servers ist zu groß</translation>
    </message>
    <message>
        <source>(Skipping)</source>
        <translation>(Wird übersprungen)</translation>
    </message>
    <message>
        <source>Orvanta cannot record this stream: its format (%1) is not MP3, AAC or Ogg</source>
        <translation>Orvanta kann diesen Stream nicht aufnehmen: Sein Format (%1) ist weder MP3 noch AAC oder Ogg</translation>
    </message>
    <message>
        <source>The Ogg stream holds neither Vorbis nor Opus audio</source>
        <translation>Der Ogg-Stream enthält weder Vorbis- noch Opus-Audio</translation>
    </message>
    <message>
        <source>No %1 audio in the stream</source>
        <translation>Kein %1-Audio im Stream</translation>
    </message>
    <message>
        <source>Radio station is busy and not accepting incoming connections</source>
        <translation>Der Radiosender ist ausgelastet und nimmt keine Verbindungen an</translation>
    </message>
    <message>
        <source>Proxy not responding on specified port number</source>
        <translation>Der Proxy antwortet nicht am angegebenen Port</translation>
    </message>
    <message>
        <source>unknown stream %1</source>
        <translation>unbekannter Stream %1</translation>
    </message>
    <message>
        <source>The server answered %1</source>
        <translation>Der Server antwortete mit %1</translation>
    </message>
    <message>
        <source>Daily</source>
        <translation>Täglich</translation>
    </message>
    <message>
        <source>Every %1</source>
        <translation>Jeden %1</translation>
    </message>
    <message>
        <source>Weekdays</source>
        <translation>Wochentags</translation>
    </message>
    <message>
        <source>Weekends</source>
        <translation>Am Wochenende</translation>
    </message>
    <message>
        <source>(next day)</source>
        <translation>(am Folgetag)</translation>
    </message>
    <message>
        <source>Failed to create new schedule</source>
        <translation>Der neue Zeitplan konnte nicht angelegt werden</translation>
    </message>
    <message>
        <source>Failed to modify schedule</source>
        <translation>Der Zeitplan konnte nicht geändert werden</translation>
    </message>
    <message>
        <source>The schedule already exists.  Please try again with different values.</source>
        <translation>Diesen Zeitplan gibt es bereits. Bitte versuchen Sie es mit anderen Werten.</translation>
    </message>
    <message>
        <source>No name</source>
        <translation>Ohne Namen</translation>
    </message>
    <message>
        <source>Your home folder is on a file system that does not allow set-user-id programs. Would you like to use a temporary copy of the helper?</source>
        <translation>Ihr persönlicher Ordner liegt auf einem Dateisystem, das keine Set-User-ID-Programme erlaubt. Möchten Sie eine temporäre Kopie des Helfers verwenden?</translation>
    </message>
    <message>
        <source>Your home folder is mounted &quot;nosuid&quot; (or keeps no file owners), so Orvanta cannot keep its wake-up helper there. A temporary copy lives in the temporary folder and may be removed at any time; Orvanta then sets it up again. Alternatively, install Orvanta&apos;s Debian package, whose system copy of the helper needs no set-up. </source>
        <translation>Ihr persönlicher Ordner ist mit &quot;nosuid&quot; eingehängt (oder speichert keine Dateieigentümer), daher kann Orvanta seinen Weckhelfer dort nicht ablegen. Eine temporäre Kopie liegt im temporären Ordner und kann jederzeit entfernt werden; Orvanta richtet sie dann erneut ein. Alternativ können Sie das Debian-Paket von Orvanta installieren, dessen Systemkopie des Helfers keine Einrichtung benötigt. </translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>The wake-up helper was started the wrong way.</source>
        <translation>Der Weckhelfer wurde auf falsche Weise gestartet.</translation>
    </message>
    <message>
        <source>The administrator&apos;s permission was refused, or the helper refused to serve this user.</source>
        <translation>Die Berechtigung des Administrators wurde verweigert, oder der Helfer hat den Dienst für diesen Benutzer verweigert.</translation>
    </message>
    <message>
        <source>The wake-up helper failed. The system log (journalctl -t PowerEventTool) tells why.</source>
        <translation>Der Weckhelfer ist fehlgeschlagen. Das Systemprotokoll (journalctl -t PowerEventTool) nennt den Grund.</translation>
    </message>
    <message>
        <source>No temporary copy of the helper was wanted.</source>
        <translation>Es wurde keine temporäre Kopie des Helfers gewünscht.</translation>
    </message>
    <message>
        <source>No such wake-up time was set.</source>
        <translation>Eine solche Weckzeit wurde nicht gestellt.</translation>
    </message>
    <message>
        <source>The computer&apos;s clock refused the wake-up time.</source>
        <translation>Die Uhr des Computers hat die Weckzeit abgelehnt.</translation>
    </message>
    <message>
        <source>The wake-up helper is not installed with Orvanta.</source>
        <translation>Der Weckhelfer wurde nicht mit Orvanta installiert.</translation>
    </message>
    <message>
        <source>A folder on the way to the wake-up helper&apos;s belongs to another user or may be changed by others, so the helper cannot be kept there:</source>
        <translation>Ein Ordner auf dem Weg zum Weckhelfer gehört einem anderen Benutzer oder kann von anderen geändert werden, daher kann der Helfer dort nicht abgelegt werden:</translation>
    </message>
    <message>
        <source>The wake-up helper Orvanta came with is not the administrator&apos;s alone (it is not root&apos;s, or others may change it), so it cannot be given rights. Install Orvanta as the administrator, or from its package.</source>
        <translation>Der mit Orvanta gelieferte Weckhelfer gehört nicht allein dem Administrator (er gehört nicht root, oder andere können ihn ändern), daher können ihm keine Rechte gegeben werden. Installieren Sie Orvanta als Administrator oder aus seinem Paket.</translation>
    </message>
    <message>
        <source>Wake From Sleep Error</source>
        <translation>Fehler beim Aufwecken aus dem Ruhezustand</translation>
    </message>
    <message>
        <source>No folder is chosen for the recordings</source>
        <translation>Es ist kein Ordner für die Aufnahmen gewählt</translation>
    </message>
    <message>
        <source>The folder for the recordings, &quot;%1&quot;, does not exist</source>
        <translation>Der Ordner für die Aufnahmen, &quot;%1&quot;, existiert nicht</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a folder, so no recordings can go there</source>
        <translation>&quot;%1&quot; ist kein Ordner, daher können dort keine Aufnahmen abgelegt werden</translation>
    </message>
    <message>
        <source>The folder for the recordings, &quot;%1&quot;, cannot be written to</source>
        <translation>In den Ordner für die Aufnahmen, &quot;%1&quot;, kann nicht geschrieben werden</translation>
    </message>
    <message>
        <source>Alert</source>
        <translation>Hinweis</translation>
    </message>
    <message>
        <source>Can&apos;t find application support folder</source>
        <translation>Der Ordner für Anwendungsdaten wurde nicht gefunden</translation>
    </message>
    <message>
        <source>Quit Orvanta</source>
        <translation>Orvanta beenden</translation>
    </message>
    <message>
        <source>A scheduled recording will occur within the next 24 hours.

Are you sure you want to quit?</source>
        <translation>Innerhalb der nächsten 24 Stunden steht eine geplante Aufnahme an.

Möchten Sie Orvanta wirklich beenden?</translation>
    </message>
    <message>
        <source>Computer went to sleep</source>
        <translation>Der Computer wurde in den Ruhezustand versetzt</translation>
    </message>
    <message>
        <source>Recording %1 streams...</source>
        <translation>%1 Streams werden aufgenommen...</translation>
    </message>
    <message>
        <source>Recording 1 stream...</source>
        <translation>1 Stream wird aufgenommen...</translation>
    </message>
    <message>
        <source>Cancelling...</source>
        <translation>Wird abgebrochen...</translation>
    </message>
    <message>
        <source>Connecting...</source>
        <translation>Verbindung wird hergestellt...</translation>
    </message>
    <message>
        <source>Launching...</source>
        <translation>Wird gestartet...</translation>
    </message>
    <message>
        <source>Connection Failure - The playlist refers to itself</source>
        <translation>Verbindungsfehler - Die Wiedergabeliste verweist auf sich selbst</translation>
    </message>
    <message>
        <source>Connection Failure - Playlist is empty</source>
        <translation>Verbindungsfehler - Die Wiedergabeliste ist leer</translation>
    </message>
    <message>
        <source>Connection Failure - Playlist is invalid</source>
        <translation>Verbindungsfehler - Die Wiedergabeliste ist ungültig</translation>
    </message>
    <message>
        <source>Rhythmbox Radio - %1</source>
        <translation>Rhythmbox-Radio - %1</translation>
    </message>
    <message>
        <source>Orvanta cannot set up waking the computer: pkexec, which asks for the administrator&apos;s permission, is not installed.

Install it (sudo apt-get install pkexec) and turn the feature on again in the Preferences.</source>
        <translation>Orvanta kann das Aufwecken des Computers nicht einrichten: pkexec, das nach der Berechtigung des Administrators fragt, ist nicht installiert.

Installieren Sie es (sudo apt-get install pkexec) und schalten Sie die Funktion in den Einstellungen wieder ein.</translation>
    </message>
    <message>
        <source>Wake Computer From Sleep Feature</source>
        <translation>Aufwecken aus dem Ruhezustand</translation>
    </message>
    <message>
        <source>Orvanta is set to wake the computer from sleep to perform scheduled recordings when necessary.

To accomplish this, Orvanta requires permission to set up a helper tool.

If you decide to give permission later, this feature will be turned off and you can enable it again in the Preferences.</source>
        <translation>Orvanta ist so eingestellt, dass es den Computer bei Bedarf aus dem Ruhezustand weckt, um geplante Aufnahmen auszuführen.

Dazu benötigt Orvanta die Erlaubnis, ein Hilfsprogramm einzurichten.

Wenn Sie die Erlaubnis erst später erteilen möchten, wird diese Funktion ausgeschaltet; Sie können sie in den Einstellungen wieder einschalten.</translation>
    </message>
    <message>
        <source>Later</source>
        <translation>Später</translation>
    </message>
    <message>
        <source>Orvanta</source>
        <translation>Orvanta</translation>
    </message>
    <message>
        <source>Listen Error</source>
        <translation>Fehler beim Anhören</translation>
    </message>
    <message>
        <source>Nothing to Save</source>
        <translation>Nichts zu speichern</translation>
    </message>
    <message>
        <source>Nothing of this station has been heard yet.</source>
        <translation>Von diesem Sender wurde noch nichts gehört.</translation>
    </message>
    <message>
        <source>Could Not Save</source>
        <translation>Speichern nicht möglich</translation>
    </message>
    <message>
        <source>last %1 minutes</source>
        <translation>letzte %1 Minuten</translation>
    </message>
    <message>
        <source>Compilation</source>
        <translation>Kompilation</translation>
    </message>
    <message>
        <source>Connection Failure - Busy station or invalid web address</source>
        <translation>Verbindungsfehler - Sender ausgelastet oder ungültige Webadresse</translation>
    </message>
    <message>
        <source>usage: orvanta [--record STATION]... [ADDRESS|PLAYLIST]...
  ADDRESS            add a station by its web address (http, https)
  PLAYLIST           add the stations of a .pls or .m3u file
  --record STATION   start recording a station of the library (&quot;Group/Name&quot;)
  --version          print the version
  --help             print this text
A second start hands its addresses and playlists to the Orvanta already running.
</source>
        <translation>Aufruf: orvanta [--record STATION]... [ADDRESS|PLAYLIST]...
  ADDRESS            einen Sender über seine Webadresse hinzufügen (http, https)
  PLAYLIST           die Sender einer .pls- oder .m3u-Datei hinzufügen
  --record STATION   die Aufnahme eines Senders der Bibliothek starten (&quot;Gruppe/Name&quot;)
  --version          die Version ausgeben
  --help             diesen Text ausgeben
Ein zweiter Start übergibt seine Adressen und Wiedergabelisten an das bereits laufende Orvanta.
</translation>
    </message>
    <message>
        <source>unknown argument &quot;%1&quot; (try --help)</source>
        <translation>unbekanntes Argument &quot;%1&quot; (siehe --help)</translation>
    </message>
    <message>
        <source>%1 needs a value</source>
        <translation>%1 erwartet einen Wert</translation>
    </message>
    <message>
        <source>unknown option %1</source>
        <translation>unbekannte Option %1</translation>
    </message>
    <message>
        <source>cannot read %1</source>
        <translation>%1 kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>empty station path</source>
        <translation>leerer Senderpfad</translation>
    </message>
    <message>
        <source>no station or group &quot;%1&quot; in the library</source>
        <translation>kein Sender und keine Gruppe &quot;%1&quot; in der Bibliothek</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is a station, not a group</source>
        <translation>&quot;%1&quot; ist ein Sender, keine Gruppe</translation>
    </message>
    <message>
        <source>could not save the library to %1</source>
        <translation>die Bibliothek konnte nicht in %1 gespeichert werden</translation>
    </message>
    <message>
        <source>%1 needs exactly one path</source>
        <translation>%1 erwartet genau einen Pfad</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is a group; only stations have cuts</source>
        <translation>&quot;%1&quot; ist eine Gruppe; nur Sender haben Schnitte</translation>
    </message>
    <message>
        <source>recut needs one file and --by SECONDS</source>
        <translation>recut erwartet eine Datei und --by SECONDS</translation>
    </message>
    <message>
        <source>--by takes seconds, such as 1.5 or -0.8</source>
        <translation>--by erwartet Sekunden, etwa 1.5 oder -0.8</translation>
    </message>
    <message>
        <source>Moved the cut by %1 s: &quot;%2&quot; and &quot;%3&quot; are written anew.</source>
        <translation>Schnitt um %1 s verschoben: &quot;%2&quot; und &quot;%3&quot; wurden neu geschrieben.</translation>
    </message>
    <message>
        <source>preferences in %1</source>
        <translation>Einstellungen in %1</translation>
    </message>
    <message>
        <source>(initial)</source>
        <extracomment>After the value of a preference that was never set.</extracomment>
        <translation>(Anfangswert)</translation>
    </message>
    <message>
        <source>no preference &quot;%1&quot;</source>
        <translation>keine Einstellung &quot;%1&quot;</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a valid %2 for preference &quot;%3&quot;</source>
        <translation>&quot;%1&quot; ist kein gültiger Wert vom Typ %2 für die Einstellung &quot;%3&quot;</translation>
    </message>
    <message>
        <source>could not save the preferences to %1</source>
        <translation>die Einstellungen konnten nicht in %1 gespeichert werden</translation>
    </message>
    <message>
        <source>defaults --delete needs exactly one key</source>
        <translation>defaults --delete erwartet genau einen Schlüssel</translation>
    </message>
    <message>
        <source>defaults takes at most a key and a value</source>
        <translation>defaults erwartet höchstens einen Schlüssel und einen Wert</translation>
    </message>
    <message>
        <source>%1 takes no arguments</source>
        <extracomment>%1 is a command, such as &quot;stations&quot; or &quot;schedule list&quot;.</extracomment>
        <translation>%1 erwartet keine Argumente</translation>
    </message>
    <message>
        <source>library</source>
        <translation>Bibliothek</translation>
    </message>
    <message>
        <source>presets</source>
        <translation>Vorlagen</translation>
    </message>
    <message>
        <source>preferences</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>recordings</source>
        <translation>Aufnahmen</translation>
    </message>
    <message>
        <source>music</source>
        <translation>Musik</translation>
    </message>
    <message>
        <source>resources</source>
        <translation>Ressourcen</translation>
    </message>
    <message>
        <source>scripts</source>
        <translation>Skripte</translation>
    </message>
    <message>
        <source>own scripts</source>
        <translation>eigene Skripte</translation>
    </message>
    <message>
        <source>wake helper</source>
        <translation>Weckhelfer</translation>
    </message>
    <message>
        <source>(not set up)</source>
        <translation>(nicht eingerichtet)</translation>
    </message>
    <message>
        <source>%1 takes a number from 1 to %2</source>
        <translation>%1 erwartet eine Zahl von 1 bis %2</translation>
    </message>
    <message>
        <source>yes</source>
        <translation>ja</translation>
    </message>
    <message>
        <source>no (%1)</source>
        <translation>nein (%1)</translation>
    </message>
    <message>
        <source>NAME</source>
        <translation>NAME</translation>
    </message>
    <message>
        <source>CC</source>
        <extracomment>Column heading: the station&apos;s two-letter country code.</extracomment>
        <translation>LAND</translation>
    </message>
    <message>
        <source>CODEC</source>
        <translation>CODEC</translation>
    </message>
    <message>
        <source>KBIT/S</source>
        <translation>KBIT/S</translation>
    </message>
    <message>
        <source>VOTES</source>
        <translation>STIMMEN</translation>
    </message>
    <message>
        <source>RECORD</source>
        <extracomment>Column heading: whether Orvanta can record the station (&quot;yes&quot;, or &quot;no&quot; and its codec).</extracomment>
        <translation>AUFNEHMBAR</translation>
    </message>
    <message>
        <source>TAGS</source>
        <translation>SCHLAGWÖRTER</translation>
    </message>
    <message>
        <source>search needs one text to look for (&quot;&quot; for any name)</source>
        <translation>search erwartet einen Suchtext (&quot;&quot; für beliebige Namen)</translation>
    </message>
    <message>
        <source>No stations found.</source>
        <translation>Keine Sender gefunden.</translation>
    </message>
    <message>
        <source>(more stations match: raise --limit or narrow the search)</source>
        <translation>(weitere Sender passen: --limit erhöhen oder die Suche eingrenzen)</translation>
    </message>
    <message>
        <source>add-from-directory needs exactly one station identifier</source>
        <translation>add-from-directory erwartet genau eine Senderkennung</translation>
    </message>
    <message>
        <source>&quot;%1&quot; sends %2, which Orvanta cannot record</source>
        <translation>&quot;%1&quot; sendet %2, das Orvanta nicht aufnehmen kann</translation>
    </message>
    <message>
        <source>&quot;%1&quot; already exists in that group</source>
        <translation>&quot;%1&quot; gibt es in dieser Gruppe bereits</translation>
    </message>
    <message>
        <source>Added &quot;%1&quot; (%2)</source>
        <translation>&quot;%1&quot; hinzugefügt (%2)</translation>
    </message>
    <message>
        <source>recording</source>
        <translation>nimmt auf</translation>
    </message>
    <message>
        <source>scheduled</source>
        <translation>geplant</translation>
    </message>
    <message>
        <source>idle</source>
        <translation>inaktiv</translation>
    </message>
    <message>
        <source>group %1</source>
        <extracomment>A line of the library tree: a group and its name.</extracomment>
        <translation>Gruppe %1</translation>
    </message>
    <message>
        <source>stream %1</source>
        <extracomment>A line of the library tree: a station and its name.</extracomment>
        <translation>Sender %1</translation>
    </message>
    <message>
        <source>address: %1</source>
        <translation>Adresse: %1</translation>
    </message>
    <message>
        <source>preset: %1</source>
        <translation>Vorlage: %1</translation>
    </message>
    <message>
        <source>schedule: %1</source>
        <translation>Zeitplan: %1</translation>
    </message>
    <message>
        <source>cut timing: %1</source>
        <translation>Schnittzeitpunkt: %1</translation>
    </message>
    <message>
        <source>status: %1</source>
        <translation>Status: %1</translation>
    </message>
    <message>
        <source>a name must not be empty or contain &quot;/&quot;</source>
        <translation>ein Name darf nicht leer sein und kein &quot;/&quot; enthalten</translation>
    </message>
    <message>
        <source>add-stream needs a name and at least one address</source>
        <translation>add-stream erwartet einen Namen und mindestens eine Adresse</translation>
    </message>
    <message>
        <source>--user and --password go together</source>
        <translation>--user und --password gehören zusammen</translation>
    </message>
    <message>
        <source>%1 needs exactly one name</source>
        <translation>%1 erwartet genau einen Namen</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is a group, not a station</source>
        <translation>&quot;%1&quot; ist eine Gruppe, kein Sender</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is a group; only stations have a history</source>
        <translation>&quot;%1&quot; ist eine Gruppe; nur Sender haben einen Verlauf</translation>
    </message>
    <message>
        <source>could not write the presets to %1</source>
        <translation>die Vorlagen konnten nicht in %1 geschrieben werden</translation>
    </message>
    <message>
        <source>no preset key &quot;%1&quot;</source>
        <translation>kein Vorlagenschlüssel &quot;%1&quot;</translation>
    </message>
    <message>
        <source>preset key &quot;%1&quot; takes one value</source>
        <translation>Vorlagenschlüssel &quot;%1&quot; erwartet einen Wert</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a valid %2 for preset key &quot;%3&quot;</source>
        <translation>&quot;%1&quot; ist kein gültiger Wert vom Typ %2 für den Vorlagenschlüssel &quot;%3&quot;</translation>
    </message>
    <message>
        <source>preset key &quot;%1&quot; must be at least 1</source>
        <translation>Vorlagenschlüssel &quot;%1&quot; muss mindestens 1 sein</translation>
    </message>
    <message>
        <source>no preset named &quot;%1&quot;</source>
        <translation>keine Vorlage namens &quot;%1&quot;</translation>
    </message>
    <message>
        <source>preset needs a name or identifier, then optionally a key and value</source>
        <translation>preset erwartet einen Namen oder eine Kennung, danach wahlweise einen Schlüssel und einen Wert</translation>
    </message>
    <message>
        <source>the built-in preset &quot;Standard&quot; cannot be changed</source>
        <translation>die eingebaute Vorlage &quot;Standard&quot; kann nicht geändert werden</translation>
    </message>
    <message>
        <source>a preset named &quot;%1&quot; already exists</source>
        <translation>eine Vorlage namens &quot;%1&quot; gibt es bereits</translation>
    </message>
    <message>
        <source>preset-rename needs the preset and its new name</source>
        <translation>preset-rename erwartet die Vorlage und ihren neuen Namen</translation>
    </message>
    <message>
        <source>the built-in preset &quot;Standard&quot; cannot be renamed</source>
        <translation>die eingebaute Vorlage &quot;Standard&quot; kann nicht umbenannt werden</translation>
    </message>
    <message>
        <source>preset-delete needs exactly one preset</source>
        <translation>preset-delete erwartet genau eine Vorlage</translation>
    </message>
    <message>
        <source>the built-in preset &quot;Standard&quot; cannot be deleted</source>
        <translation>die eingebaute Vorlage &quot;Standard&quot; kann nicht gelöscht werden</translation>
    </message>
    <message>
        <source>--for needs a positive number of seconds, not &quot;%1&quot;</source>
        <translation>--for erwartet eine positive Anzahl Sekunden, nicht &quot;%1&quot;</translation>
    </message>
    <message>
        <source>record needs at least one station path or address</source>
        <translation>record erwartet mindestens einen Senderpfad oder eine Adresse</translation>
    </message>
    <message>
        <source>no station to record in the groups given</source>
        <translation>in den angegebenen Gruppen ist kein Sender zum Aufnehmen</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is recording already</source>
        <translation>&quot;%1&quot; wird bereits aufgenommen</translation>
    </message>
    <message>
        <source>Listen at %1</source>
        <translation>Anhören unter %1</translation>
    </message>
    <message>
        <source>the relay is off (relayport is 0)</source>
        <translation>die Weiterleitung ist aus (relayport ist 0)</translation>
    </message>
    <message>
        <source>the recording did not start</source>
        <translation>die Aufnahme hat nicht begonnen</translation>
    </message>
    <message>
        <source>running; stop with Ctrl-C or SIGTERM</source>
        <translation>läuft; beenden mit Ctrl-C oder SIGTERM</translation>
    </message>
    <message>
        <source>%1 needs %2 values</source>
        <translation>%1 erwartet %2 Werte</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a time (HH:MM, 00:00 to 23:59)</source>
        <translation>&quot;%1&quot; ist keine Uhrzeit (HH:MM, 00:00 bis 23:59)</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a date (YYYY-MM-DD)</source>
        <translation>&quot;%1&quot; ist kein Datum (YYYY-MM-DD)</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a day of the week</source>
        <translation>&quot;%1&quot; ist kein Wochentag</translation>
    </message>
    <message>
        <source>give exactly one of --once, --daily, --weekly, --weekdays, --weekends</source>
        <translation>genau eine der Optionen --once, --daily, --weekly, --weekdays, --weekends angeben</translation>
    </message>
    <message>
        <source>give one of --once, --daily, --weekly, --weekdays, --weekends</source>
        <translation>eine der Optionen --once, --daily, --weekly, --weekdays, --weekends angeben</translation>
    </message>
    <message>
        <source>no schedule named &quot;%1&quot;</source>
        <translation>kein Zeitplan namens &quot;%1&quot;</translation>
    </message>
    <message>
        <source>schedule add needs --name</source>
        <translation>schedule add erwartet --name</translation>
    </message>
    <message>
        <source>unexpected argument &quot;%1&quot;</source>
        <translation>unerwartetes Argument &quot;%1&quot;</translation>
    </message>
    <message>
        <source>a schedule named &quot;%1&quot; already exists</source>
        <translation>einen Zeitplan namens &quot;%1&quot; gibt es bereits</translation>
    </message>
    <message>
        <source>schedule needs a station and an action</source>
        <translation>schedule erwartet einen Sender und eine Aktion</translation>
    </message>
    <message>
        <source>unknown schedule action &quot;%1&quot;</source>
        <translation>unbekannte Zeitplan-Aktion &quot;%1&quot;</translation>
    </message>
    <message>
        <source>%1 needs one entry name</source>
        <translation>%1 erwartet einen Eintragsnamen</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is a group; only stations have schedules</source>
        <translation>&quot;%1&quot; ist eine Gruppe; nur Sender haben Zeitpläne</translation>
    </message>
    <message>
        <source>%1: %2 (going ahead)</source>
        <extracomment>A question&apos;s title and message; it takes its default answer, as nobody is there to ask.</extracomment>
        <translation>%1: %2 (wird fortgesetzt)</translation>
    </message>
    <message>
        <source>cannot read the library %1</source>
        <translation>die Bibliothek %1 kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>list the library as a tree</source>
        <translation>die Bibliothek als Baum auflisten</translation>
    </message>
    <message>
        <source>add a station with its addresses</source>
        <translation>einen Sender mit seinen Adressen hinzufügen</translation>
    </message>
    <message>
        <source>add a group</source>
        <translation>eine Gruppe hinzufügen</translation>
    </message>
    <message>
        <source>search the public station directory (&quot;&quot; for any name); only stations Orvanta can record unless --codec or --all is given</source>
        <translation>das öffentliche Senderverzeichnis durchsuchen (&quot;&quot; für beliebige Namen); nur Sender, die Orvanta aufnehmen kann, außer mit --codec oder --all</translation>
    </message>
    <message>
        <source>add a station of the directory to the library</source>
        <translation>einen Sender aus dem Verzeichnis zur Bibliothek hinzufügen</translation>
    </message>
    <message>
        <source>remove a station or group (&quot;Group/Name&quot;)</source>
        <translation>einen Sender oder eine Gruppe entfernen (&quot;Gruppe/Name&quot;)</translation>
    </message>
    <message>
        <source>list a station&apos;s recording history</source>
        <translation>den Aufnahmeverlauf eines Senders auflisten</translation>
    </message>
    <message>
        <source>forget what the station&apos;s splits learned of when its titles change</source>
        <translation>vergessen, was die Schnitte des Senders über den Zeitpunkt seiner Titelwechsel gelernt haben</translation>
    </message>
    <message>
        <source>list the recent cuts of a station: time, distance from the title change, the gap found, and the file that starts there</source>
        <translation>die letzten Schnitte eines Senders auflisten: Zeit, Abstand zum Titelwechsel, die gefundene Pause und die Datei, die dort beginnt</translation>
    </message>
    <message>
        <source>move the cut at the start of a recorded file (later when positive), writing it and the song before anew from the session journal</source>
        <translation>den Schnitt am Anfang einer aufgenommenen Datei verschieben (positiv: später) und sie sowie den Song davor aus dem Sitzungsjournal neu schreiben</translation>
    </message>
    <message>
        <source>list, read or write the preferences; --delete brings back a preference&apos;s initial value</source>
        <translation>die Einstellungen auflisten, lesen oder schreiben; --delete stellt den Anfangswert einer Einstellung wieder her</translation>
    </message>
    <message>
        <source>print where the library, settings, recordings and the program&apos;s own files are</source>
        <translation>ausgeben, wo die Bibliothek, die Einstellungen, die Aufnahmen und die Dateien des Programms liegen</translation>
    </message>
    <message>
        <source>list the presets</source>
        <translation>die Vorlagen auflisten</translation>
    </message>
    <message>
        <source>show or change a preset; a list key takes its items as values (&quot;&quot; for none)</source>
        <translation>eine Vorlage anzeigen oder ändern; ein Listenschlüssel nimmt seine Einträge als Werte (&quot;&quot; für keine)</translation>
    </message>
    <message>
        <source>add a preset</source>
        <translation>eine Vorlage hinzufügen</translation>
    </message>
    <message>
        <source>rename a preset</source>
        <translation>eine Vorlage umbenennen</translation>
    </message>
    <message>
        <source>delete a preset (its stations record in the standard style)</source>
        <translation>eine Vorlage löschen (ihre Sender nehmen dann im Standardstil auf)</translation>
    </message>
    <message>
        <source>list or change a station&apos;s schedules: add --name N (--once DATE START STOP | --daily START STOP | --weekly DAY START STOP | --weekdays START STOP | --weekends START STOP) [--active]; remove, activate or deactivate ENTRY-NAME (times HH:MM, DATE YYYY-MM-DD)</source>
        <translation>die Zeitpläne eines Senders auflisten oder ändern: add --name N (--once DATE START STOP | --daily START STOP | --weekly DAY START STOP | --weekdays START STOP | --weekends START STOP) [--active]; remove, activate oder deactivate ENTRY-NAME (Zeiten HH:MM, DATE YYYY-MM-DD)</translation>
    </message>
    <message>
        <source>print the next scheduled start, or &quot;none&quot;</source>
        <translation>den nächsten geplanten Start ausgeben, oder &quot;none&quot;</translation>
    </message>
    <message>
        <source>record stations now; stop with Ctrl-C or after SECONDS, then list the files recorded; --listen serves the first one to a player on this computer</source>
        <translation>Sender jetzt aufnehmen; mit Ctrl-C oder nach SECONDS beenden, dann die aufgenommenen Dateien auflisten; --listen stellt die erste einem Player auf diesem Computer bereit</translation>
    </message>
    <message>
        <source>run like the application: record on schedules</source>
        <translation>wie die Anwendung laufen: nach Zeitplänen aufnehmen</translation>
    </message>
    <message>
        <source>print the version</source>
        <translation>die Version ausgeben</translation>
    </message>
    <message>
        <source>print this text, or a command&apos;s own</source>
        <translation>diesen Text ausgeben oder den eines Befehls</translation>
    </message>
    <message>
        <source>usage: orvanta-cli COMMAND [ARGUMENTS]</source>
        <translation>Aufruf: orvanta-cli BEFEHL [ARGUMENTE]</translation>
    </message>
    <message>
        <source>commands:</source>
        <translation>Befehle:</translation>
    </message>
    <message>
        <source>no command &quot;%1&quot;</source>
        <translation>kein Befehl &quot;%1&quot;</translation>
    </message>
    <message>
        <source>usage: orvanta-cli %1</source>
        <translation>Aufruf: orvanta-cli %1</translation>
    </message>
    <message>
        <source>unknown command &quot;%1&quot;</source>
        <translation>unbekannter Befehl &quot;%1&quot;</translation>
    </message>
    <message>
        <source>Elapsed Time: %1  [%2 Kb/s]</source>
        <translation>Verstrichene Zeit: %1  [%2 Kb/s]</translation>
    </message>
    <message>
        <source>Ending recordings before the system sleeps</source>
        <translation>Aufnahmen werden vor dem Ruhezustand beendet</translation>
    </message>
    <message>
        <source>Connection Failure - %1</source>
        <translation>Verbindungsfehler - %1</translation>
    </message>
    <message>
        <source>Cannot write beside &quot;%1&quot;: %2</source>
        <translation>Neben &quot;%1&quot; kann keine Datei angelegt werden: %2</translation>
    </message>
    <message>
        <source>Cannot write the new &quot;%1&quot;: %2</source>
        <translation>Das neue &quot;%1&quot; kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>the journal is cut short</source>
        <translation>das Journal ist abgeschnitten</translation>
    </message>
    <message>
        <source>&quot;%1&quot; cannot be read.</source>
        <translation>&quot;%1&quot; kann nicht gelesen werden.</translation>
    </message>
    <message>
        <source>The journal no longer holds the audio of &quot;%1&quot; as it is now.</source>
        <translation>Das Journal enthält den Ton von &quot;%1&quot; in seinem jetzigen Zustand nicht mehr.</translation>
    </message>
    <message>
        <source>Only MP3 and AAC cuts can be moved; Ogg files are cut where the station starts each song.</source>
        <translation>Nur Schnitte in MP3 und AAC lassen sich verschieben; Ogg-Dateien werden dort geschnitten, wo der Sender jeden Song beginnt.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is the first song of its recording: no cut lies before it.</source>
        <translation>&quot;%1&quot; ist der erste Song seiner Aufnahme: Davor liegt kein Schnitt.</translation>
    </message>
    <message>
        <source>The song before, &quot;%1&quot;, is no longer there as it was recorded.</source>
        <translation>Der vorherige Song, &quot;%1&quot;, ist nicht mehr so vorhanden, wie er aufgenommen wurde.</translation>
    </message>
    <message>
        <source>The song before &quot;%1&quot; was not kept, so there is no cut to move.</source>
        <translation>Der Song vor &quot;%1&quot; wurde nicht behalten, daher gibt es keinen Schnitt zum Verschieben.</translation>
    </message>
    <message>
        <source>No journal holds the recording of &quot;%1&quot; (it is kept for a few days, while the preferences allow).</source>
        <translation>Kein Journal enthält die Aufnahme von &quot;%1&quot; (es wird einige Tage aufbewahrt, soweit die Einstellungen es erlauben).</translation>
    </message>
    <message>
        <source>The journal is cut short.</source>
        <translation>Das Journal ist abgeschnitten.</translation>
    </message>
    <message>
        <source>The audio around the cut holds no frames.</source>
        <translation>Der Ton rund um den Schnitt enthält keine Frames.</translation>
    </message>
    <message>
        <source>The cut can move from %1 s earlier to %2 s later, not %3 s.</source>
        <translation>Der Schnitt lässt sich von %1 s früher bis %2 s später verschieben, nicht um %3 s.</translation>
    </message>
    <message>
        <source>The two files cannot be read.</source>
        <translation>Die beiden Dateien können nicht gelesen werden.</translation>
    </message>
    <message>
        <source>Cannot replace the files: %1</source>
        <translation>Die Dateien können nicht ersetzt werden: %1</translation>
    </message>
    <message>
        <source>Could not reach the server (%1)</source>
        <translation>Der Server ist nicht erreichbar (%1)</translation>
    </message>
    <message>
        <source>The server gave an unexpected answer (%1)</source>
        <translation>Der Server hat unerwartet geantwortet (%1)</translation>
    </message>
    <message>
        <source>Could not set up the connection (curl_easy_init failed)</source>
        <translation>Die Verbindung konnte nicht eingerichtet werden (curl_easy_init ist fehlgeschlagen)</translation>
    </message>
    <message>
        <source>Could not set up the connection: %1: %2</source>
        <translation>Die Verbindung konnte nicht eingerichtet werden: %1: %2</translation>
    </message>
    <message>
        <source>Connecting to: %1</source>
        <translation>Verbindung zu: %1</translation>
    </message>
    <message>
        <source>(No track data) %1</source>
        <translation>(Keine Titeldaten) %1</translation>
    </message>
    <message>
        <source>The media playlist names no target duration</source>
        <translation>Die Medien-Wiedergabeliste nennt keine Zieldauer</translation>
    </message>
    <message>
        <source>The address does not answer with an HLS playlist</source>
        <translation>Die Adresse antwortet nicht mit einer HLS-Wiedergabeliste</translation>
    </message>
    <message>
        <source>The master playlist names no variant</source>
        <translation>Die Master-Wiedergabeliste nennt keine Variante</translation>
    </message>
    <message>
        <source>The station&apos;s variants hold video only, no audio</source>
        <translation>Die Varianten des Senders enthalten nur Video, keinen Ton</translation>
    </message>
    <message>
        <source>The station&apos;s server sent less than the playlist&apos;s byte range</source>
        <translation>Der Server des Senders hat weniger gesendet als der Bytebereich der Wiedergabeliste</translation>
    </message>
    <message>
        <source>The variant&apos;s address answers with another master playlist</source>
        <translation>Die Adresse der Variante antwortet mit einer weiteren Master-Wiedergabeliste</translation>
    </message>
    <message>
        <source>The station&apos;s playlist lists no segment</source>
        <translation>Die Wiedergabeliste des Senders nennt kein Segment</translation>
    </message>
    <message>
        <source>The station&apos;s playlist has stopped changing</source>
        <translation>Die Wiedergabeliste des Senders ändert sich nicht mehr</translation>
    </message>
    <message>
        <source>The station&apos;s key is no AES-128 key</source>
        <translation>Der Schlüssel des Senders ist kein AES-128-Schlüssel</translation>
    </message>
    <message>
        <source>The station&apos;s encrypted initialisation section comes without its IV</source>
        <translation>Der verschlüsselte Initialisierungsabschnitt des Senders kommt ohne seinen IV</translation>
    </message>
    <message>
        <source>The station encrypts its segments with %1, which Orvanta cannot decrypt</source>
        <translation>Der Sender verschlüsselt seine Segmente mit %1, was Orvanta nicht entschlüsseln kann</translation>
    </message>
    <message>
        <source>The station sends %1 audio, which Orvanta does not record (only AAC and MP3)</source>
        <translation>Der Sender sendet %1-Audio, das Orvanta nicht aufnimmt (nur AAC und MP3)</translation>
    </message>
    <message>
        <source>The segment holds no audio</source>
        <translation>Das Segment enthält keinen Ton</translation>
    </message>
    <message>
        <source>The station&apos;s AAC cannot be written as ADTS frames</source>
        <translation>Das AAC des Senders kann nicht als ADTS-Frames geschrieben werden</translation>
    </message>
    <message>
        <source>History - %1</source>
        <translation>Verlauf - %1</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; may be corrupt.  Please remove this file, rename the backup file, and then restart Orvanta.</source>
        <translation>Die Datei &quot;%1&quot; ist möglicherweise beschädigt. Bitte entfernen Sie diese Datei, benennen Sie die Sicherungsdatei um und starten Sie Orvanta dann neu.</translation>
    </message>
    <message>
        <source>Custom %1</source>
        <translation>Eigene Vorlage %1</translation>
    </message>
    <message>
        <source>The preset name &quot;%1&quot; is already taken.</source>
        <translation>Der Vorlagenname &quot;%1&quot; ist bereits vergeben.</translation>
    </message>
    <message>
        <source>Could not establish connection with the player on any port number within the range 1024-65535.</source>
        <translation>Es konnte auf keinem Port im Bereich 1024-65535 eine Verbindung mit dem Player hergestellt werden.</translation>
    </message>
    <message>
        <source>Could not establish connection with the player.</source>
        <translation>Es konnte keine Verbindung mit dem Player hergestellt werden.</translation>
    </message>
    <message>
        <source>Could not establish connection with the player on port number %1.  This port may already be in use.</source>
        <translation>Auf Port %1 konnte keine Verbindung mit dem Player hergestellt werden. Dieser Port wird möglicherweise bereits verwendet.</translation>
    </message>
    <message>
        <source>%1 kbps</source>
        <translation>%1 kbit/s</translation>
    </message>
    <message>
        <source>Orvanta failed to enable the feature due to error (%1)</source>
        <translation>Orvanta konnte die Funktion wegen eines Fehlers nicht aktivieren (%1)</translation>
    </message>
</context>
<context>
    <name>TextEncodings</name>
    <message>
        <source>Western (ASCII)</source>
        <translation>Westeuropäisch (ASCII)</translation>
    </message>
    <message>
        <source>Unicode (UTF-8)</source>
        <translation>Unicode (UTF-8)</translation>
    </message>
    <message>
        <source>Unicode (UTF-16)</source>
        <translation>Unicode (UTF-16)</translation>
    </message>
    <message>
        <source>Western (ISO Latin 1)</source>
        <translation>Westeuropäisch (ISO Latin 1)</translation>
    </message>
    <message>
        <source>Western (Windows Latin 1)</source>
        <translation>Westeuropäisch (Windows Latin 1)</translation>
    </message>
    <message>
        <source>Western (Mac OS Roman)</source>
        <translation>Westeuropäisch (Mac OS Roman)</translation>
    </message>
    <message>
        <source>Western (NextStep)</source>
        <translation>Westeuropäisch (NextStep)</translation>
    </message>
    <message>
        <source>Central European (ISO Latin 2)</source>
        <translation>Mitteleuropäisch (ISO Latin 2)</translation>
    </message>
    <message>
        <source>Central European (Windows Latin 2)</source>
        <translation>Mitteleuropäisch (Windows Latin 2)</translation>
    </message>
    <message>
        <source>Cyrillic (Windows)</source>
        <translation>Kyrillisch (Windows)</translation>
    </message>
    <message>
        <source>Cyrillic (KOI8-R)</source>
        <translation>Kyrillisch (KOI8-R)</translation>
    </message>
    <message>
        <source>Greek (Windows)</source>
        <translation>Griechisch (Windows)</translation>
    </message>
    <message>
        <source>Turkish (Windows Latin 5)</source>
        <translation>Türkisch (Windows Latin 5)</translation>
    </message>
    <message>
        <source>Japanese (Shift JIS)</source>
        <translation>Japanisch (Shift JIS)</translation>
    </message>
    <message>
        <source>Japanese (EUC)</source>
        <translation>Japanisch (EUC)</translation>
    </message>
    <message>
        <source>Japanese (ISO 2022-JP)</source>
        <translation>Japanisch (ISO 2022-JP)</translation>
    </message>
    <message>
        <source>Simplified Chinese (GB 18030)</source>
        <translation>Chinesisch vereinfacht (GB 18030)</translation>
    </message>
    <message>
        <source>Traditional Chinese (Big 5)</source>
        <translation>Chinesisch traditionell (Big 5)</translation>
    </message>
    <message>
        <source>Automatic</source>
        <translation>Automatisch</translation>
    </message>
</context>
<context>
    <name>orvanta::app::DesktopApplication</name>
    <message>
        <source>&quot;%1&quot; is neither a web address nor a file.</source>
        <translation>&quot;%1&quot; ist weder eine Webadresse noch eine Datei.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a station playlist (.pls or .m3u).</source>
        <translation>&quot;%1&quot; ist keine Sender-Wiedergabeliste (.pls oder .m3u).</translation>
    </message>
    <message>
        <source>Cannot Add Station</source>
        <translation>Sender kann nicht hinzugefügt werden</translation>
    </message>
    <message>
        <source>&quot;%1&quot; holds no web address.</source>
        <translation>&quot;%1&quot; enthält keine Webadresse.</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::BuiltInPlayer</name>
    <message>
        <source>The station&apos;s playlist names no stream</source>
        <translation>Die Wiedergabeliste des Senders nennt keinen Stream</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::CalendarWidget</name>
    <message>
        <source>Calendar</source>
        <translation>Kalender</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::CutEditor</name>
    <message>
        <source>Adjust Cut</source>
        <translation>Schnitt anpassen</translation>
    </message>
    <message>
        <source>The cut between “%1” and “%2”. Drag it (or use the arrow keys) to where the songs should part; the shaded stretches are quiet.</source>
        <translation>Der Schnitt zwischen „%1“ und „%2“. Ziehen Sie ihn (oder verwenden Sie die Pfeiltasten) dorthin, wo sich die Songs trennen sollen; die schattierten Abschnitte sind leise.</translation>
    </message>
    <message>
        <source>Zoom In</source>
        <translation>Vergrößern</translation>
    </message>
    <message>
        <source>Zoom Out</source>
        <translation>Verkleinern</translation>
    </message>
    <message>
        <source>Play from Here</source>
        <translation>Ab hier abspielen</translation>
    </message>
    <message>
        <source>The cut as recorded</source>
        <translation>Schnitt wie aufgenommen</translation>
    </message>
    <message>
        <source>Cannot Move the Cut</source>
        <translation>Schnitt kann nicht verschoben werden</translation>
    </message>
    <message>
        <source>Move the cut %1 s later</source>
        <translation>Den Schnitt %1 s später setzen</translation>
    </message>
    <message>
        <source>Move the cut %1 s earlier</source>
        <translation>Den Schnitt %1 s früher setzen</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::CutWaveform</name>
    <message>
        <source>The audio around the cut</source>
        <translation>Der Ton rund um den Schnitt</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::DirectoryResultsModel</name>
    <message>
        <source>Orvanta cannot record this station: it sends %1</source>
        <translation>Orvanta kann diesen Sender nicht aufnehmen: Er sendet %1</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Country</source>
        <translation>Land</translation>
    </message>
    <message>
        <source>Tags</source>
        <translation>Schlagwörter</translation>
    </message>
    <message>
        <source>Codec</source>
        <translation>Codec</translation>
    </message>
    <message>
        <source>kbit/s</source>
        <translation>kbit/s</translation>
    </message>
    <message>
        <source>Votes</source>
        <translation>Stimmen</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::DirectorySearchWindow</name>
    <message>
        <source>1 station</source>
        <translation>1 Sender</translation>
    </message>
    <message>
        <source>%1 stations</source>
        <translation>%1 Sender</translation>
    </message>
    <message>
        <source>Only stations Orvanta can record</source>
        <translation>Nur Sender, die Orvanta aufnehmen kann</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>More Results</source>
        <translation>Weitere Ergebnisse</translation>
    </message>
    <message>
        <source>Listen</source>
        <translation>Anhören</translation>
    </message>
    <message>
        <source>Add to Library</source>
        <translation>Zur Bibliothek hinzufügen</translation>
    </message>
    <message>
        <source>Find Stations</source>
        <translation>Sender suchen</translation>
    </message>
    <message>
        <source>Station name</source>
        <translation>Sendername</translation>
    </message>
    <message>
        <source>jazz, news, rock...</source>
        <translation>jazz, nachrichten, rock...</translation>
    </message>
    <message>
        <source>Tag</source>
        <translation>Schlagwort</translation>
    </message>
    <message>
        <source>DE, FR, US...</source>
        <translation>DE, AT, CH...</translation>
    </message>
    <message>
        <source>Country code</source>
        <translation>Ländercode</translation>
    </message>
    <message>
        <source>Codec</source>
        <translation>Codec</translation>
    </message>
    <message>
        <source>Any</source>
        <translation>Beliebig</translation>
    </message>
    <message>
        <source> kbit/s</source>
        <translation> kbit/s</translation>
    </message>
    <message>
        <source>Lowest bitrate</source>
        <translation>Mindestbitrate</translation>
    </message>
    <message>
        <source>Most voted</source>
        <translation>Meiste Stimmen</translation>
    </message>
    <message>
        <source>Most played</source>
        <translation>Meistgespielt</translation>
    </message>
    <message>
        <source>Order</source>
        <translation>Reihenfolge</translation>
    </message>
    <message>
        <source>Leave out stations in formats Orvanta cannot record</source>
        <translation>Sender in Formaten auslassen, die Orvanta nicht aufnehmen kann</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>Name:</translation>
    </message>
    <message>
        <source>Country:</source>
        <translation>Land:</translation>
    </message>
    <message>
        <source>Codec:</source>
        <translation>Codec:</translation>
    </message>
    <message>
        <source>At least:</source>
        <translation>Mindestens:</translation>
    </message>
    <message>
        <source>Tag:</source>
        <translation>Schlagwort:</translation>
    </message>
    <message>
        <source>Show:</source>
        <translation>Anzeigen:</translation>
    </message>
    <message>
        <source>Stations found</source>
        <translation>Gefundene Sender</translation>
    </message>
    <message>
        <source>Add to group</source>
        <translation>Zur Gruppe hinzufügen</translation>
    </message>
    <message>
        <source>Add to:</source>
        <translation>Hinzufügen zu:</translation>
    </message>
    <message>
        <source>Search the public station directory by name, tag or country.</source>
        <translation>Das öffentliche Senderverzeichnis nach Name, Schlagwort oder Land durchsuchen.</translation>
    </message>
    <message>
        <source>Searching...</source>
        <translation>Suche läuft...</translation>
    </message>
    <message>
        <source>The search was stopped.</source>
        <translation>Die Suche wurde abgebrochen.</translation>
    </message>
    <message>
        <source>The search failed: %1</source>
        <translation>Die Suche ist fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>No stations found.</source>
        <translation>Keine Sender gefunden.</translation>
    </message>
    <message>
        <source>%1 shown; more match.</source>
        <translation>%1 angezeigt; es gibt weitere Treffer.</translation>
    </message>
    <message>
        <source>%1 found.</source>
        <translation>%1 gefunden.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; has no address that can be played.</source>
        <translation>&quot;%1&quot; hat keine abspielbare Adresse.</translation>
    </message>
    <message>
        <source>Listening to &quot;%1&quot;.</source>
        <translation>&quot;%1&quot; wird angehört.</translation>
    </message>
    <message>
        <source>Library</source>
        <translation>Bibliothek</translation>
    </message>
    <message>
        <source>That group is gone; choose another.</source>
        <translation>Diese Gruppe gibt es nicht mehr; bitte eine andere wählen.</translation>
    </message>
    <message>
        <source>%1 added to %2.</source>
        <translation>%1 zu %2 hinzugefügt.</translation>
    </message>
    <message>
        <source>%1 already there.</source>
        <translation>%1 bereits vorhanden.</translation>
    </message>
    <message>
        <source>%1 left out: Orvanta cannot record them.</source>
        <translation>%1 ausgelassen: Orvanta kann sie nicht aufnehmen.</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::EditURLView</name>
    <message>
        <source>Previous address</source>
        <translation>Vorherige Adresse</translation>
    </message>
    <message>
        <source>Next address</source>
        <translation>Nächste Adresse</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>Adresse</translation>
    </message>
    <message>
        <source>User name</source>
        <translation>Benutzername</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Passwort</translation>
    </message>
    <message>
        <source>Address:</source>
        <translation>Adresse:</translation>
    </message>
    <message>
        <source>User name:</source>
        <translation>Benutzername:</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>Passwort:</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 von %2</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::HistoryDisplayModel</name>
    <message>
        <source>The file is no longer there</source>
        <translation>Die Datei ist nicht mehr vorhanden</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::HistoryWindow</name>
    <message>
        <source>History</source>
        <translation>Verlauf</translation>
    </message>
    <message>
        <source>Remove Selected Entries</source>
        <translation>Ausgewählte Einträge entfernen</translation>
    </message>
    <message>
        <source>Remove the selected entries from the history (the files stay)</source>
        <translation>Die ausgewählten Einträge aus dem Verlauf entfernen (die Dateien bleiben erhalten)</translation>
    </message>
    <message>
        <source>Cannot Adjust Cut</source>
        <translation>Schnitt kann nicht angepasst werden</translation>
    </message>
    <message>
        <source>The file is no longer there.</source>
        <translation>Die Datei ist nicht mehr vorhanden.</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Abspielen</translation>
    </message>
    <message>
        <source>Show in Folder</source>
        <translation>Im Ordner anzeigen</translation>
    </message>
    <message>
        <source>Copy Location</source>
        <translation>Speicherort kopieren</translation>
    </message>
    <message>
        <source>Adjust Cut…</source>
        <translation>Schnitt anpassen…</translation>
    </message>
    <message>
        <source>Remove from History</source>
        <translation>Aus dem Verlauf entfernen</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::MainToolbar</name>
    <message>
        <source>Toolbar</source>
        <translation>Werkzeugleiste</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>Lautstärke</translation>
    </message>
    <message>
        <source>Volume of the built-in player</source>
        <translation>Lautstärke des eingebauten Players</translation>
    </message>
    <message>
        <source>Tuner...</source>
        <translation>Tuner...</translation>
    </message>
    <message>
        <source>Tuner</source>
        <translation>Tuner</translation>
    </message>
    <message>
        <source>Importing</source>
        <translation>Import läuft</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>Aufnehmen</translation>
    </message>
    <message>
        <source>Skip Track</source>
        <translation>Song überspringen</translation>
    </message>
    <message>
        <source>Stop Listening</source>
        <translation>Anhören beenden</translation>
    </message>
    <message>
        <source>Listen</source>
        <translation>Anhören</translation>
    </message>
    <message>
        <source>Show Music</source>
        <translation>Musik anzeigen</translation>
    </message>
    <message>
        <source>Show Labels</source>
        <translation>Beschriftungen anzeigen</translation>
    </message>
    <message>
        <source>Customize Toolbar...</source>
        <translation>Werkzeugleiste anpassen...</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::MainWindow</name>
    <message>
        <source>Cannot Add Station</source>
        <translation>Sender kann nicht hinzugefügt werden</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>Add Stream</source>
        <translation>Stream hinzufügen</translation>
    </message>
    <message>
        <source>Add Folder</source>
        <translation>Ordner hinzufügen</translation>
    </message>
    <message>
        <source>Find Stations...</source>
        <translation>Sender suchen...</translation>
    </message>
    <message>
        <source>Import Stations from Rhythmbox</source>
        <translation>Sender aus Rhythmbox importieren</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>Rename</source>
        <translation>Umbenennen</translation>
    </message>
    <message>
        <source>Delete...</source>
        <translation>Löschen...</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>&amp;Controls</source>
        <translation>&amp;Steuerung</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>Aufnehmen</translation>
    </message>
    <message>
        <source>Skip Track</source>
        <translation>Song überspringen</translation>
    </message>
    <message>
        <source>Listen</source>
        <translation>Anhören</translation>
    </message>
    <message>
        <source>Save the Last Minutes</source>
        <translation>Die letzten Minuten speichern</translation>
    </message>
    <message>
        <source>Show Music</source>
        <translation>Musik anzeigen</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>Scheduler</source>
        <translation>Zeitplaner</translation>
    </message>
    <message>
        <source>Recording Style</source>
        <translation>Aufnahmestil</translation>
    </message>
    <message>
        <source>Edit URLs</source>
        <translation>URLs bearbeiten</translation>
    </message>
    <message>
        <source>History</source>
        <translation>Verlauf</translation>
    </message>
    <message>
        <source>Adjust Last Cut…</source>
        <translation>Letzten Schnitt anpassen…</translation>
    </message>
    <message>
        <source>Presets...</source>
        <translation>Vorlagen...</translation>
    </message>
    <message>
        <source>Expand All</source>
        <translation>Alle ausklappen</translation>
    </message>
    <message>
        <source>Collapse All</source>
        <translation>Alle einklappen</translation>
    </message>
    <message>
        <source>Customize Toolbar...</source>
        <translation>Werkzeugleiste anpassen...</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>Orvanta Help</source>
        <translation>Orvanta-Hilfe</translation>
    </message>
    <message>
        <source>Orvanta Home Page</source>
        <translation>Orvanta-Webseite</translation>
    </message>
    <message>
        <source>Orvanta News</source>
        <translation>Orvanta-Neuigkeiten</translation>
    </message>
    <message>
        <source>Acknowledgments</source>
        <translation>Danksagungen</translation>
    </message>
    <message>
        <source>About Orvanta</source>
        <translation>Über Orvanta</translation>
    </message>
    <message>
        <source>&lt;b&gt;Orvanta&lt;/b&gt;&lt;p&gt;Records internet radio, one file per song.&lt;/p&gt;</source>
        <translation>&lt;b&gt;Orvanta&lt;/b&gt;&lt;p&gt;Nimmt Internetradio auf, eine Datei pro Song.&lt;/p&gt;</translation>
    </message>
    <message numerus="yes">
        <source>Save the Last %n Minutes</source>
        <translation>
            <numerusform>Die letzte Minute speichern</numerusform>
            <numerusform>Die letzten %n Minuten speichern</numerusform>
        </translation>
    </message>
    <message>
        <source>Orvanta</source>
        <translation>Orvanta</translation>
    </message>
    <message>
        <source>No web browser could be opened for %1.</source>
        <translation>Für %1 konnte kein Webbrowser geöffnet werden.</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::PreferencesWindow</name>
    <message>
        <source>Orvanta Preferences</source>
        <translation>Orvanta-Einstellungen</translation>
    </message>
    <message>
        <source>Recording</source>
        <translation>Aufnahme</translation>
    </message>
    <message>
        <source>Folders</source>
        <translation>Ordner</translation>
    </message>
    <message>
        <source>Network</source>
        <translation>Netzwerk</translation>
    </message>
    <message>
        <source>Listening</source>
        <translation>Anhören</translation>
    </message>
    <message>
        <source>Schedules</source>
        <translation>Zeitpläne</translation>
    </message>
    <message>
        <source>Tag files with ID3v1 instead of ID3v2</source>
        <translation>Dateien mit ID3v1- statt ID3v2-Tags versehen</translation>
    </message>
    <message>
        <source>Name stations as their streams announce themselves</source>
        <translation>Sender so benennen, wie sich ihre Streams selbst nennen</translation>
    </message>
    <message>
        <source>Drop songs already recorded from a station</source>
        <translation>Songs verwerfen, die von einem Sender bereits aufgenommen wurden</translation>
    </message>
    <message>
        <source>Drop files smaller than</source>
        <translation>Dateien verwerfen, die kleiner sind als</translation>
    </message>
    <message>
        <source> KB</source>
        <translation> KB</translation>
    </message>
    <message>
        <source>Stop recording before the disc is full</source>
        <translation>Aufnahme beenden, bevor der Datenträger voll ist</translation>
    </message>
    <message>
        <source>24-hour times in file names</source>
        <translation>24-Stunden-Zeit in Dateinamen</translation>
    </message>
    <message>
        <source>Move files into the music library when adding them to a playlist</source>
        <translation>Dateien beim Hinzufügen zu einer Wiedergabeliste in die Musiksammlung verschieben</translation>
    </message>
    <message>
        <source>Keep the streams as received for</source>
        <translation>Streams wie empfangen aufbewahren für</translation>
    </message>
    <message>
        <source> days</source>
        <translation> Tage</translation>
    </message>
    <message>
        <source>Days the streams are kept</source>
        <translation>Tage, die die Streams aufbewahrt werden</translation>
    </message>
    <message>
        <source>within</source>
        <translation>in höchstens</translation>
    </message>
    <message>
        <source> MiB</source>
        <translation> MiB</translation>
    </message>
    <message>
        <source>Disc space for the kept streams</source>
        <translation>Speicherplatz für die aufbewahrten Streams</translation>
    </message>
    <message>
        <source>A cut a moment off can then be moved afterwards; the oldest go first, and 0 keeps none.</source>
        <translation>Ein leicht danebenliegender Schnitt lässt sich dann nachträglich verschieben; die ältesten werden zuerst gelöscht, und 0 bewahrt nichts auf.</translation>
    </message>
    <message>
        <source>Keep recording in the tray when the window is closed</source>
        <translation>Beim Schließen des Fensters in der Systemleiste weiter aufnehmen</translation>
    </message>
    <message>
        <source>This desktop shows no tray, so closing the window quits Orvanta.</source>
        <translation>Diese Arbeitsumgebung zeigt keine Systemleiste an, daher beendet das Schließen des Fensters Orvanta.</translation>
    </message>
    <message>
        <source>Folder for the recordings</source>
        <translation>Ordner für die Aufnahmen</translation>
    </message>
    <message>
        <source>Choose...</source>
        <translation>Auswählen...</translation>
    </message>
    <message>
        <source>Recordings go to:</source>
        <translation>Aufnahmen speichern in:</translation>
    </message>
    <message>
        <source>Folders of scheduled recordings</source>
        <translation>Ordnerstruktur geplanter Aufnahmen</translation>
    </message>
    <message>
        <source>Folders of recordings</source>
        <translation>Ordnerstruktur der Aufnahmen</translation>
    </message>
    <message>
        <source>Use this proxy:</source>
        <translation>Diesen Proxy verwenden:</translation>
    </message>
    <message>
        <source>host name or address</source>
        <translation>Hostname oder Adresse</translation>
    </message>
    <message>
        <source>Proxy host</source>
        <translation>Proxy-Host</translation>
    </message>
    <message>
        <source>Proxy port</source>
        <translation>Proxy-Port</translation>
    </message>
    <message>
        <source>port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Give up on a station that sends nothing for</source>
        <translation>Aufgeben, wenn ein Sender länger nichts sendet als</translation>
    </message>
    <message>
        <source> s</source>
        <translation> s</translation>
    </message>
    <message>
        <source>Reconnect after a failure, waiting</source>
        <translation>Nach einem Fehler neu verbinden, mit einer Wartezeit von</translation>
    </message>
    <message>
        <source>the public station directory</source>
        <translation>das öffentliche Senderverzeichnis</translation>
    </message>
    <message>
        <source>Station directory</source>
        <translation>Senderverzeichnis</translation>
    </message>
    <message>
        <source>Station directory:</source>
        <translation>Senderverzeichnis:</translation>
    </message>
    <message>
        <source>Orvanta&apos;s own player</source>
        <translation>Orvantas eigener Player</translation>
    </message>
    <message>
        <source>My music player</source>
        <translation>Mein Musikplayer</translation>
    </message>
    <message>
        <source>Listen with:</source>
        <translation>Anhören mit:</translation>
    </message>
    <message>
        <source>Relay port</source>
        <translation>Port der Weiterleitung</translation>
    </message>
    <message>
        <source>Relay port on this computer:</source>
        <translation>Port der Weiterleitung auf diesem Computer:</translation>
    </message>
    <message>
        <source> minutes</source>
        <translation> Minuten</translation>
    </message>
    <message>
        <source>Minutes kept of what is heard</source>
        <translation>Aufbewahrte Minuten des Gehörten</translation>
    </message>
    <message>
        <source>Record then starts at the beginning of the song playing, and the last minutes can be saved; 0 keeps nothing.</source>
        <translation>„Aufnehmen“ beginnt dann am Anfang des laufenden Songs, und die letzten Minuten können gespeichert werden; 0 bewahrt nichts auf.</translation>
    </message>
    <message>
        <source>Keep what was heard for:</source>
        <translation>Gehörtes aufbewahren für:</translation>
    </message>
    <message>
        <source>When the port is busy, take the next free one</source>
        <translation>Wenn der Port belegt ist, den nächsten freien nehmen</translation>
    </message>
    <message>
        <source>Network Settings...</source>
        <translation>Netzwerkeinstellungen...</translation>
    </message>
    <message>
        <source>Players on this computer reach the relay directly; a firewall only matters for others</source>
        <translation>Player auf diesem Computer erreichen die Weiterleitung direkt; eine Firewall betrifft nur andere Geräte</translation>
    </message>
    <message>
        <source>Wake the computer for scheduled recordings</source>
        <translation>Computer für geplante Aufnahmen aufwecken</translation>
    </message>
    <message>
        <source>Ask before quitting when a recording is due within a day</source>
        <translation>Vor dem Beenden nachfragen, wenn innerhalb eines Tages eine Aufnahme ansteht</translation>
    </message>
    <message>
        <source>Artist</source>
        <translation>Interpret</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Titel</translation>
    </message>
    <message>
        <source>For example: %1</source>
        <translation>Zum Beispiel: %1</translation>
    </message>
    <message>
        <source>Choose the Folder for Recordings</source>
        <translation>Ordner für die Aufnahmen wählen</translation>
    </message>
    <message>
        <source>Enter the proxy&apos;s host name to use it.</source>
        <translation>Geben Sie den Hostnamen des Proxys ein, um ihn zu verwenden.</translation>
    </message>
    <message>
        <source>Genre</source>
        <translation>Genre</translation>
    </message>
    <message>
        <source>Station name and bitrate</source>
        <translation>Sendername und Bitrate</translation>
    </message>
    <message>
        <source>Scheduled recording&apos;s name</source>
        <translation>Name der geplanten Aufnahme</translation>
    </message>
    <message>
        <source>Album</source>
        <translation>Album</translation>
    </message>
    <message>
        <source>Day</source>
        <translation>Tag</translation>
    </message>
    <message>
        <source>Time of the recording</source>
        <translation>Uhrzeit der Aufnahme</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::PresetsWindow</name>
    <message>
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
    <message>
        <source>Presets</source>
        <translation>Vorlagen</translation>
    </message>
    <message>
        <source>Save As...</source>
        <translation>Speichern unter...</translation>
    </message>
    <message>
        <source>Rename...</source>
        <translation>Umbenennen...</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Preset</source>
        <translation>Vorlage</translation>
    </message>
    <message>
        <source>Preset commands</source>
        <translation>Vorlagenbefehle</translation>
    </message>
    <message>
        <source>&amp;Preset:</source>
        <translation>&amp;Vorlage:</translation>
    </message>
    <message>
        <source>&amp;Options:</source>
        <translation>&amp;Optionen:</translation>
    </message>
    <message>
        <source>Playlist</source>
        <translation>Wiedergabeliste</translation>
    </message>
    <message>
        <source>Splitting</source>
        <translation>Aufteilung</translation>
    </message>
    <message>
        <source>Stream Title</source>
        <translation>Streamtitel</translation>
    </message>
    <message>
        <source>Tagging</source>
        <translation>Tags</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::RecordingStyleView</name>
    <message>
        <source>Open Preset...</source>
        <translation>Vorlage öffnen...</translation>
    </message>
    <message>
        <source>Forget</source>
        <translation>Vergessen</translation>
    </message>
    <message>
        <source>Recording style</source>
        <translation>Aufnahmestil</translation>
    </message>
    <message>
        <source>Forget when this station&apos;s titles change: its next songs are searched around the title change again</source>
        <translation>Vergessen, wann die Titel dieses Senders wechseln: Bei den nächsten Songs wird wieder rund um den Titelwechsel gesucht</translation>
    </message>
    <message>
        <source>Recording style:</source>
        <translation>Aufnahmestil:</translation>
    </message>
    <message>
        <source>Cut timing:</source>
        <translation>Schnittzeitpunkt:</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::StationDisplayModel</name>
    <message>
        <source>Recording</source>
        <translation>Aufnahme</translation>
    </message>
    <message>
        <source>Listening</source>
        <translation>Anhören</translation>
    </message>
    <message>
        <source>Scheduled</source>
        <translation>Geplant</translation>
    </message>
    <message>
        <source>Stream</source>
        <translation>Stream</translation>
    </message>
    <message>
        <source>Bitrate</source>
        <translation>Bitrate</translation>
    </message>
    <message>
        <source>Stereo</source>
        <translation>Stereo</translation>
    </message>
    <message>
        <source>Comment</source>
        <translation>Kommentar</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::StationTreeView</name>
    <message>
        <source>Stations</source>
        <translation>Sender</translation>
    </message>
    <message>
        <source>The playlist at %1 could not be fetched.

%2</source>
        <translation>Die Wiedergabeliste unter %1 konnte nicht abgerufen werden.

%2</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::StatusArea</name>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Song</source>
        <translation>Song</translation>
    </message>
    <message>
        <source>Busy</source>
        <translation>Beschäftigt</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::TimerController</name>
    <message>
        <source>Recurring</source>
        <translation>Wiederkehrend</translation>
    </message>
    <message>
        <source>Specific date</source>
        <translation>Bestimmtes Datum</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Modify</source>
        <translation>Ändern</translation>
    </message>
    <message>
        <source>Schedules</source>
        <translation>Zeitpläne</translation>
    </message>
    <message>
        <source>Active</source>
        <translation>Aktiv</translation>
    </message>
    <message>
        <source>Schedule</source>
        <translation>Zeitplan</translation>
    </message>
    <message>
        <source>Schedule name</source>
        <translation>Name des Zeitplans</translation>
    </message>
    <message>
        <source>Once, on the next</source>
        <translation>Einmalig, am nächsten</translation>
    </message>
    <message>
        <source>Daily</source>
        <translation>Täglich</translation>
    </message>
    <message>
        <source>Weekly, every</source>
        <translation>Wöchentlich, jeden</translation>
    </message>
    <message>
        <source>Weekdays</source>
        <translation>Wochentags</translation>
    </message>
    <message>
        <source>Weekends</source>
        <translation>Am Wochenende</translation>
    </message>
    <message>
        <source>Frequency</source>
        <translation>Häufigkeit</translation>
    </message>
    <message>
        <source>Weekday</source>
        <translation>Wochentag</translation>
    </message>
    <message>
        <source>Month</source>
        <translation>Monat</translation>
    </message>
    <message>
        <source>Year</source>
        <translation>Jahr</translation>
    </message>
    <message>
        <source>Start time</source>
        <translation>Startzeit</translation>
    </message>
    <message>
        <source>Stop time</source>
        <translation>Endzeit</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>Name:</translation>
    </message>
    <message>
        <source>Start:</source>
        <translation>Start:</translation>
    </message>
    <message>
        <source>Stop:</source>
        <translation>Ende:</translation>
    </message>
    <message>
        <source>No name</source>
        <translation>Ohne Namen</translation>
    </message>
    <message>
        <source>Next recording: none</source>
        <translation>Nächste Aufnahme: keine</translation>
    </message>
    <message>
        <source>Next recording: %1 %2</source>
        <translation>Nächste Aufnahme: %1 %2</translation>
    </message>
    <message>
        <source>Orvanta</source>
        <translation>Orvanta</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::ToolbarCustomizeDialog</name>
    <message>
        <source>Customize Toolbar</source>
        <translation>Werkzeugleiste anpassen</translation>
    </message>
    <message>
        <source>Toolbar items</source>
        <translation>Elemente der Werkzeugleiste</translation>
    </message>
    <message>
        <source>Move Up</source>
        <translation>Nach oben</translation>
    </message>
    <message>
        <source>Move Down</source>
        <translation>Nach unten</translation>
    </message>
    <message>
        <source>Add Separator</source>
        <translation>Trennlinie hinzufügen</translation>
    </message>
    <message>
        <source>Restore Defaults</source>
        <translation>Standard wiederherstellen</translation>
    </message>
    <message>
        <source>Controls</source>
        <translation>Steuerung</translation>
    </message>
    <message>
        <source>Add Stream</source>
        <translation>Stream hinzufügen</translation>
    </message>
    <message>
        <source>Add Folder</source>
        <translation>Ordner hinzufügen</translation>
    </message>
    <message>
        <source>Delete...</source>
        <translation>Löschen...</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Separator</source>
        <translation>Trennlinie</translation>
    </message>
    <message>
        <source>Flexible Space</source>
        <translation>Flexibler Abstand</translation>
    </message>
    <message>
        <source>Tuner...</source>
        <translation>Tuner...</translation>
    </message>
    <message>
        <source>Scheduler</source>
        <translation>Zeitplaner</translation>
    </message>
    <message>
        <source>Recording Style</source>
        <translation>Aufnahmestil</translation>
    </message>
    <message>
        <source>Edit URLs</source>
        <translation>URLs bearbeiten</translation>
    </message>
    <message>
        <source>History</source>
        <translation>Verlauf</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::TrayIcon</name>
    <message numerus="yes">
        <source>Orvanta: recording %n station(s)</source>
        <translation>
            <numerusform>Orvanta: %n Sender wird aufgenommen</numerusform>
            <numerusform>Orvanta: %n Sender werden aufgenommen</numerusform>
        </translation>
    </message>
    <message>
        <source>Orvanta</source>
        <translation>Orvanta</translation>
    </message>
    <message>
        <source>Nothing is recording</source>
        <translation>Es läuft keine Aufnahme</translation>
    </message>
    <message>
        <source>Stop All</source>
        <translation>Alle stoppen</translation>
    </message>
    <message>
        <source>Show Orvanta</source>
        <translation>Orvanta anzeigen</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::WindowFrontEnd</name>
    <message>
        <source>Scheduled recording of %1 could not start</source>
        <translation>Die geplante Aufnahme von %1 konnte nicht gestartet werden</translation>
    </message>
    <message>
        <source>Saved what was heard</source>
        <translation>Gehörtes gespeichert</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Recording of %1 ended</source>
        <translation>Aufnahme von %1 beendet</translation>
    </message>
</context>
<context>
    <name>panes::PlaylistPresetPane</name>
    <message>
        <source>Add finished files to a playlist</source>
        <translation>Fertige Dateien zu einer Wiedergabeliste hinzufügen</translation>
    </message>
    <message>
        <source>Playlist name</source>
        <translation>Name der Wiedergabeliste</translation>
    </message>
    <message>
        <source>Orvanta</source>
        <translation>Orvanta</translation>
    </message>
    <message>
        <source>The station&apos;s name</source>
        <translation>Der Name des Senders</translation>
    </message>
    <message>
        <source>The song&apos;s genre</source>
        <translation>Das Genre des Songs</translation>
    </message>
    <message>
        <source>This name:</source>
        <translation>Dieser Name:</translation>
    </message>
    <message>
        <source>Custom playlist name</source>
        <translation>Eigener Name der Wiedergabeliste</translation>
    </message>
    <message>
        <source>Name the playlist of a scheduled recording after its schedule</source>
        <translation>Wiedergabeliste einer geplanten Aufnahme nach ihrem Zeitplan benennen</translation>
    </message>
    <message>
        <source>Mark the files as a compilation</source>
        <translation>Dateien als Kompilation kennzeichnen</translation>
    </message>
</context>
<context>
    <name>panes::SplittingPresetPane</name>
    <message>
        <source>Don&apos;t split on title changes</source>
        <translation>Bei Titelwechseln nicht teilen</translation>
    </message>
    <message>
        <source>The station is not asked for its titles; files are split by the rule below only</source>
        <translation>Der Sender wird nicht nach seinen Titeln gefragt; Dateien werden nur nach der Regel unten geteilt</translation>
    </message>
    <message>
        <source>earlier</source>
        <translation>früher</translation>
    </message>
    <message>
        <source>later</source>
        <translation>später</translation>
    </message>
    <message>
        <source>Split</source>
        <translation>Schnitt</translation>
    </message>
    <message>
        <source>seconds</source>
        <translation>Sekunden</translation>
    </message>
    <message>
        <source>than the title change</source>
        <translation>als der Titelwechsel</translation>
    </message>
    <message>
        <source>Stations often change their titles seconds before or after the song does: the cut goes into the quietest gap this far around the change, and each station&apos;s own timing is learned. 0 looks only right at the title change.</source>
        <translation>Sender wechseln ihre Titel oft Sekunden vor oder nach dem Song: Der Schnitt kommt in die leiseste Pause in diesem Umkreis um den Wechsel, und das Timing jedes Senders wird gelernt. 0 sucht nur direkt am Titelwechsel.</translation>
    </message>
    <message>
        <source>Look for the gap between songs within</source>
        <translation>Pause zwischen Songs suchen im Umkreis von</translation>
    </message>
    <message>
        <source>seconds of the title change</source>
        <translation>Sekunden um den Titelwechsel</translation>
    </message>
    <message>
        <source>Also start a new file</source>
        <translation>Außerdem eine neue Datei beginnen</translation>
    </message>
    <message>
        <source>when the file reaches</source>
        <translation>bei einer Dateigröße von</translation>
    </message>
    <message>
        <source>when the file lasts</source>
        <translation>bei einer Dateidauer von</translation>
    </message>
    <message>
        <source>never</source>
        <translation>nie</translation>
    </message>
    <message>
        <source>MB</source>
        <translation>MB</translation>
    </message>
    <message>
        <source>minutes</source>
        <translation>Minuten</translation>
    </message>
    <message>
        <source>HLS stations offer their programme at several rates: the one nearest this rate is recorded. 0 records the best there is.</source>
        <translation>HLS-Sender bieten ihr Programm in mehreren Bitraten an: Aufgenommen wird die, die dieser Rate am nächsten liegt. 0 nimmt die beste verfügbare auf.</translation>
    </message>
    <message>
        <source>Record HLS stations at the rate nearest</source>
        <translation>HLS-Sender in der Bitrate aufnehmen, die am nächsten liegt bei</translation>
    </message>
    <message>
        <source>kbit/s (0: the best)</source>
        <translation>kbit/s (0: die beste)</translation>
    </message>
</context>
<context>
    <name>panes::StreamTitlePresetPane</name>
    <message>
        <source>Title</source>
        <translation>Titel</translation>
    </message>
    <message>
        <source>Title - Artist</source>
        <translation>Titel - Interpret</translation>
    </message>
    <message>
        <source>Artist - Title</source>
        <translation>Interpret - Titel</translation>
    </message>
    <message>
        <source>Title - Artist - Album</source>
        <translation>Titel - Interpret - Album</translation>
    </message>
    <message>
        <source>Title - Album - Artist</source>
        <translation>Titel - Album - Interpret</translation>
    </message>
    <message>
        <source>Artist - Album - Title</source>
        <translation>Interpret - Album - Titel</translation>
    </message>
    <message>
        <source>Artist - Title - Album</source>
        <translation>Interpret - Titel - Album</translation>
    </message>
    <message>
        <source>Album - Title - Artist</source>
        <translation>Album - Titel - Interpret</translation>
    </message>
    <message>
        <source>Album - Artist - Title</source>
        <translation>Album - Interpret - Titel</translation>
    </message>
    <message>
        <source>Title pattern:</source>
        <translation>Titelmuster:</translation>
    </message>
    <message>
        <source>Separator:</source>
        <translation>Trennzeichen:</translation>
    </message>
    <message>
        <source>Text encoding:</source>
        <translation>Textkodierung:</translation>
    </message>
    <message>
        <source>Remove these words from titles</source>
        <translation>Diese Wörter aus Titeln entfernen</translation>
    </message>
    <message>
        <source>Ignore these titles</source>
        <translation>Diese Titel ignorieren</translation>
    </message>
    <message>
        <source>Words to remove</source>
        <translation>Zu entfernende Wörter</translation>
    </message>
    <message>
        <source>Titles to ignore</source>
        <translation>Zu ignorierende Titel</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>&lt;&lt; Edit me &gt;&gt;</source>
        <translation>&lt;&lt; Bitte bearbeiten &gt;&gt;</translation>
    </message>
</context>
<context>
    <name>panes::TaggingPresetPane</name>
    <message>
        <source>Number the files in recording order</source>
        <translation>Dateien in Aufnahmereihenfolge nummerieren</translation>
    </message>
    <message>
        <source>Write the number as the track number</source>
        <translation>Die Nummer als Tracknummer schreiben</translation>
    </message>
    <message>
        <source>Use the station&apos;s name as album when a song has none</source>
        <translation>Den Sendernamen als Album verwenden, wenn ein Song keines hat</translation>
    </message>
    <message>
        <source>Genre</source>
        <translation>Genre</translation>
    </message>
    <message>
        <source>The station&apos;s genre</source>
        <translation>Das Genre des Senders</translation>
    </message>
    <message>
        <source>&quot;Orvanta - &quot; and the station&apos;s genre</source>
        <translation>&quot;Orvanta - &quot; und das Genre des Senders</translation>
    </message>
    <message>
        <source>This genre:</source>
        <translation>Dieses Genre:</translation>
    </message>
    <message>
        <source>Custom genre</source>
        <translation>Eigenes Genre</translation>
    </message>
</context>
</TS>
