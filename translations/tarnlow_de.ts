<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>AboutDlg</name>
    <message>
        <source>About Tarnlow</source>
        <translation>Über Tarnlow</translation>
    </message>
    <message>
        <source>Tarnlow Version 1.02</source>
        <translation>Tarnlow Version 1.02</translation>
    </message>
    <message>
        <source>Copyright © 2026 Tarnlow maintainers

This program comes with ABSOLUTELY NO WARRANTY. It is free software: you may redistribute it and/or modify it under the terms of the GNU General Public License, version 3 or (at your option) any later version (GPL-3.0-or-later). Read the licence at https://www.gnu.org/licenses/gpl-3.0.html</source>
        <translation>Copyright © 2026 Tarnlow maintainers

Dieses Programm kommt OHNE JEDE GARANTIE. Es ist freie Software: Sie dürfen es unter den Bedingungen der GNU General Public License, Version 3 oder (nach Ihrer Wahl) jeder späteren Version (GPL-3.0-or-later), weitergeben und/oder ändern. Die Lizenz steht unter https://www.gnu.org/licenses/gpl-3.0.html</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>tarnlow %1
Copyright (C) 2026 Tarnlow maintainers.
License GPLv3+: GNU GPL version 3 or later &lt;https://gnu.org/licenses/gpl.html&gt;.
This is free software: you are free to change and redistribute it.
There is NO WARRANTY, to the extent permitted by law.
</source>
        <translation>tarnlow %1
Copyright (C) 2026 Tarnlow maintainers.
Lizenz GPLv3+: GNU GPL Version 3 oder neuer &lt;https://gnu.org/licenses/gpl.html&gt;.
Dies ist freie Software: Sie dürfen sie verändern und weitergeben.
Es gibt KEINE GARANTIE, soweit gesetzlich zulässig.
</translation>
    </message>
    <message>
        <source>Usage: tarnlow [OPTION]... [PATH]...
Opens the Tarnlow window. Each PATH, a local file or folder, is uploaded to
site 1 as soon as the window opens, folders with everything in them.

  -h, --help     print this text and end
      --version  print the version and the licence and end
      --         end the options: every argument after it is a PATH, also one
                 that begins with &apos;-&apos; (which can also be written ./-name)

Options may stand anywhere before --. The first option decides: with --help
or --version the usage or version is printed, the other arguments are not
used and no window opens. Qt&apos;s own options (-platform NAME, -style NAME,
-session ID, ...) are passed on to Qt.

Exit status: 0 when the window was closed or the text printed; 1 when no
display could be reached or the text not written; 2 for an unknown option;
128 plus the signal&apos;s number when SIGTERM, SIGINT or SIGHUP closed the window.

The five site profiles are kept in $XDG_CONFIG_HOME/Tarnlow/FTPSettings.dat,
the download folder as the setting Path in $XDG_CONFIG_HOME/Halvorn/Tarnlow.conf
(XDG_CONFIG_HOME is ~/.config when it is not set).

Help page: %1
More in the manual page: man tarnlow
</source>
        <translation>Aufruf: tarnlow [OPTION]... [PFAD]...
Öffnet das Fenster von Tarnlow. Jeder PFAD, eine lokale Datei oder ein lokaler
Ordner mit seinem ganzen Inhalt, wird auf Site 1 hochgeladen, sobald sich das
Fenster öffnet.

  -h, --help     diesen Text ausgeben und beenden
      --version  Version und Lizenz ausgeben und beenden
      --         Ende der Optionen: Jedes folgende Argument ist ein PFAD, auch
                 eines, das mit „-“ beginnt (auch als ./-name zu schreiben)

Optionen dürfen überall vor -- stehen. Die erste Option entscheidet: Mit --help
oder --version wird die Hilfe oder die Version ausgegeben, die übrigen
Argumente werden nicht verwendet, und kein Fenster öffnet sich. Qts eigene
Optionen (-platform NAME, -style NAME, -session ID, ...) gehen an Qt weiter.

Rückgabewert: 0, wenn das Fenster geschlossen oder der Text ausgegeben wurde;
1, wenn keine Anzeige erreichbar war oder der Text nicht geschrieben werden
konnte; 2 bei einer unbekannten Option; 128 plus die Nummer des Signals, wenn
SIGTERM, SIGINT oder SIGHUP das Fenster geschlossen hat.

Die fünf Site-Profile liegen in $XDG_CONFIG_HOME/Tarnlow/FTPSettings.dat, der
Download-Ordner als Einstellung Path in $XDG_CONFIG_HOME/Halvorn/Tarnlow.conf
(XDG_CONFIG_HOME ist ~/.config, wenn es nicht gesetzt ist).

Hilfeseite: %1
Mehr in der Handbuchseite: man tarnlow
</translation>
    </message>
    <message>
        <source>tarnlow: unrecognized option &apos;%1&apos;
Try &apos;tarnlow --help&apos; for more information.
</source>
        <translation>tarnlow: Unbekannte Option „%1“
„tarnlow --help“ gibt weitere Informationen.
</translation>
    </message>
</context>
<context>
    <name>Download</name>
    <message>
        <source>Could not transfer file to this location - File Exists!</source>
        <translation>Die Datei konnte nicht an diesen Ort übertragen werden – Datei existiert bereits!</translation>
    </message>
    <message>
        <source>%1 cannot be a file name in the download folder.</source>
        <translation>%1 kann im Download-Ordner kein Dateiname sein.</translation>
    </message>
    <message>
        <source>%1 exists already.</source>
        <translation>%1 existiert bereits.</translation>
    </message>
    <message>
        <source>No free name for the part file of %1 in %2.</source>
        <translation>Kein freier Name für die Teildatei von %1 in %2.</translation>
    </message>
    <message>
        <source>%1 appeared while it was fetched; it was left as it is.</source>
        <translation>%1 ist während des Herunterladens aufgetaucht und wurde gelassen, wie es ist.</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
</context>
<context>
    <name>FtpClientConnection</name>
    <message>
        <source>The username or password holds a line break or a NUL character.</source>
        <translation>Benutzername oder Passwort enthält einen Zeilenumbruch oder ein NUL-Zeichen.</translation>
    </message>
    <message>
        <source>The server&apos;s greeting could not be understood.</source>
        <translation>Die Begrüßung des Servers war unverständlich.</translation>
    </message>
    <message>
        <source>The server did not greet within %1 s.</source>
        <translation>Der Server hat sich nicht innerhalb von %1 s gemeldet.</translation>
    </message>
    <message>
        <source>The operation was stopped.</source>
        <translation>Der Vorgang wurde abgebrochen.</translation>
    </message>
    <message>
        <source>The server did not accept the connection within %1 s.</source>
        <translation>Der Server hat die Verbindung nicht innerhalb von %1 s angenommen.</translation>
    </message>
    <message>
        <source>The directory name is empty or holds a line break.</source>
        <translation>Der Verzeichnisname ist leer oder enthält einen Zeilenumbruch.</translation>
    </message>
    <message>
        <source>No local port for the data connection: %1</source>
        <translation>Kein lokaler Port für die Datenverbindung: %1</translation>
    </message>
    <message>
        <source>The data connection&apos;s address cannot be given to the server.</source>
        <translation>Die Adresse der Datenverbindung lässt sich dem Server nicht mitteilen.</translation>
    </message>
    <message>
        <source>The server did not open the data connection within %1 s.</source>
        <translation>Der Server hat die Datenverbindung nicht innerhalb von %1 s geöffnet.</translation>
    </message>
    <message>
        <source>The server took no data for %1 s.</source>
        <translation>Der Server hat %1 s lang keine Daten angenommen.</translation>
    </message>
    <message>
        <source>No data arrived for %1 s.</source>
        <translation>%1 s lang sind keine Daten angekommen.</translation>
    </message>
    <message numerus="yes">
        <source>The server has %1 bytes where %2 were expected.</source>
        <translation>
            <numerusform>Der Server hat %1 Byte, erwartet wurden %2.</numerusform>
            <numerusform>Der Server hat %1 Bytes, erwartet wurden %2.</numerusform>
        </translation>
    </message>
    <message>
        <source>The name is empty or holds a line break.</source>
        <translation>Der Name ist leer oder enthält einen Zeilenumbruch.</translation>
    </message>
    <message>
        <source>%1 exists already.</source>
        <translation>%1 existiert bereits.</translation>
    </message>
    <message>
        <source>The server refused binary transfers (TYPE I).</source>
        <translation>Der Server hat binäre Übertragungen abgelehnt (TYPE I).</translation>
    </message>
    <message numerus="yes">
        <source>The file changed while it was sent: %1 of %2 bytes.</source>
        <translation>
            <numerusform>Die Datei hat sich beim Senden geändert: %1 von %2 Byte.</numerusform>
            <numerusform>Die Datei hat sich beim Senden geändert: %1 von %2 Bytes.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Only %1 of %2 bytes arrived.</source>
        <translation>
            <numerusform>Nur %1 von %2 Byte sind angekommen.</numerusform>
            <numerusform>Nur %1 von %2 Bytes sind angekommen.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 holds %2 bytes where %3 arrived.</source>
        <translation>
            <numerusform>%1 enthält %2 Byte, angekommen sind %3.</numerusform>
            <numerusform>%1 enthält %2 Bytes, angekommen sind %3.</numerusform>
        </translation>
    </message>
    <message>
        <source>The directory name holds a line break.</source>
        <translation>Der Verzeichnisname enthält einen Zeilenumbruch.</translation>
    </message>
    <message>
        <source>The listing is too large.</source>
        <translation>Die Verzeichnisliste ist zu groß.</translation>
    </message>
</context>
<context>
    <name>FtpControlChannel</name>
    <message>
        <source>The operation was stopped.</source>
        <translation>Der Vorgang wurde abgebrochen.</translation>
    </message>
    <message>
        <source>The server closed the connection.</source>
        <translation>Der Server hat die Verbindung geschlossen.</translation>
    </message>
    <message>
        <source>The connection to the server failed.</source>
        <translation>Die Verbindung zum Server ist fehlgeschlagen.</translation>
    </message>
    <message>
        <source>The server sent &quot;%1&quot;, which answers no command.</source>
        <translation>Der Server hat „%1“ gesendet, was auf keinen Befehl antwortet.</translation>
    </message>
    <message>
        <source>The name holds a line break or a NUL character.</source>
        <translation>Der Name enthält einen Zeilenumbruch oder ein NUL-Zeichen.</translation>
    </message>
    <message>
        <source>The server took no commands for %1 s.</source>
        <translation>Der Server hat %1 s lang keine Befehle angenommen.</translation>
    </message>
    <message>
        <source>The server did not answer within %1 s.</source>
        <translation>Der Server hat nicht innerhalb von %1 s geantwortet.</translation>
    </message>
    <message>
        <source>The server did not answer %1 within %2 s.</source>
        <translation>Der Server hat auf %1 nicht innerhalb von %2 s geantwortet.</translation>
    </message>
    <message>
        <source>The server&apos;s reply could not be understood.</source>
        <translation>Die Antwort des Servers war unverständlich.</translation>
    </message>
    <message>
        <source>The server&apos;s reply &quot;%1&quot; does not answer %2.</source>
        <translation>Die Antwort „%1“ des Servers passt nicht zu %2.</translation>
    </message>
    <message>
        <source>The server kept answering without finishing.</source>
        <translation>Der Server hat immer weiter geantwortet, ohne fertig zu werden.</translation>
    </message>
</context>
<context>
    <name>HelpWindow</name>
    <message>
        <source>Tarnlow Help</source>
        <translation>Tarnlow-Hilfe</translation>
    </message>
    <message>
        <source>No program was found to open %1.</source>
        <translation>Es wurde kein Programm gefunden, das %1 öffnen kann.</translation>
    </message>
</context>
<context>
    <name>InternetSession</name>
    <message>
        <source>The address is empty.</source>
        <translation>Die Adresse ist leer.</translation>
    </message>
    <message>
        <source>The name has no address.</source>
        <translation>Zu dem Namen gibt es keine Adresse.</translation>
    </message>
    <message>
        <source>The operation was stopped.</source>
        <translation>Der Vorgang wurde abgebrochen.</translation>
    </message>
    <message>
        <source>The address, username or password holds a line break or a NUL character.</source>
        <translation>Adresse, Benutzername oder Passwort enthält einen Zeilenumbruch oder ein NUL-Zeichen.</translation>
    </message>
    <message>
        <source>Only active mode is available.</source>
        <translation>Nur der aktive Modus ist verfügbar.</translation>
    </message>
</context>
<context>
    <name>LocalFile</name>
    <message>
        <source>%1 is not a file.</source>
        <translation>%1 ist keine Datei.</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>It was replaced since the upload began.</source>
        <translation>Es wurde ersetzt, seit das Hochladen begann.</translation>
    </message>
</context>
<context>
    <name>LocalTree</name>
    <message>
        <source>It is not a file that can be read.</source>
        <translation>Es ist keine lesbare Datei.</translation>
    </message>
</context>
<context>
    <name>RemoteDelete</name>
    <message>
        <source>The directory contains files</source>
        <translation>Das Verzeichnis enthält Dateien</translation>
    </message>
    <message>
        <source>Could not delete file</source>
        <translation>Die Datei konnte nicht gelöscht werden</translation>
    </message>
</context>
<context>
    <name>RemoteListModel</name>
    <message>
        <source>Folder</source>
        <translation>Ordner</translation>
    </message>
    <message>
        <source>Link</source>
        <translation>Verknüpfung</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
</context>
<context>
    <name>SettingsFile</name>
    <message>
        <source>%1 is not a folder</source>
        <translation>%1 ist kein Ordner</translation>
    </message>
    <message>
        <source>Cannot create the folder %1: %2</source>
        <translation>Der Ordner %1 lässt sich nicht anlegen: %2</translation>
    </message>
    <message>
        <source>it is a folder</source>
        <translation>es ist ein Ordner</translation>
    </message>
    <message>
        <source>Cannot create a file in %1: %2</source>
        <translation>In %1 lässt sich keine Datei anlegen: %2</translation>
    </message>
    <message>
        <source>Cannot set the permissions of %1: %2</source>
        <translation>Die Zugriffsrechte von %1 lassen sich nicht setzen: %2</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>%1 lässt sich nicht schreiben: %2</translation>
    </message>
    <message>
        <source>Cannot flush %1: %2</source>
        <translation>%1 lässt sich nicht auf den Datenträger schreiben: %2</translation>
    </message>
    <message>
        <source>Cannot replace %1: %2</source>
        <translation>%1 lässt sich nicht ersetzen: %2</translation>
    </message>
    <message>
        <source>Cannot follow the link %1: %2</source>
        <translation>Der Verknüpfung %1 lässt sich nicht folgen: %2</translation>
    </message>
    <message>
        <source>another save held it for more than %1 ms</source>
        <translation>ein anderes Speichern hielt sie länger als %1 ms</translation>
    </message>
</context>
<context>
    <name>SettingsStore</name>
    <message>
        <source>tarnlow: saving the site profiles without the lock %1: %2</source>
        <translation>tarnlow: Die Site-Profile werden ohne die Sperre %1 gespeichert: %2</translation>
    </message>
    <message>
        <source>The stored site profiles in %1 could not be read (%2).

The file is left as it is and will not be replaced when Tarnlow closes.</source>
        <translation>Die gespeicherten Site-Profile in %1 ließen sich nicht lesen (%2).

Die Datei bleibt, wie sie ist, und wird beim Beenden von Tarnlow nicht ersetzt.</translation>
    </message>
    <message>
        <source>The stored site profiles in %1 could not be read (%2).

The file was moved to %3; the profiles entered now will be saved in a new file.</source>
        <translation>Die gespeicherten Site-Profile in %1 ließen sich nicht lesen (%2).

Die Datei wurde nach %3 verschoben; die jetzt eingegebenen Profile werden in einer neuen Datei gespeichert.</translation>
    </message>
    <message>
        <source>The stored site profiles in %1 are damaged: only the profiles before the damage were loaded.

No copy of the file could be made, so it will not be replaced when Tarnlow closes.</source>
        <translation>Die gespeicherten Site-Profile in %1 sind beschädigt: Nur die Profile vor der beschädigten Stelle wurden geladen.

Von der Datei ließ sich keine Kopie anlegen, daher wird sie beim Beenden von Tarnlow nicht ersetzt.</translation>
    </message>
    <message>
        <source>The stored site profiles in %1 are damaged: only the profiles before the damage were loaded.

The original file was kept as %2.</source>
        <translation>Die gespeicherten Site-Profile in %1 sind beschädigt: Nur die Profile vor der beschädigten Stelle wurden geladen.

Die ursprüngliche Datei wurde als %2 aufbewahrt.</translation>
    </message>
    <message>
        <source>the file found at start-up could not be kept</source>
        <translation>die beim Start vorgefundene Datei ließ sich nicht sichern</translation>
    </message>
    <message>
        <source>the file could not be read (%1) nor moved aside</source>
        <translation>die Datei ließ sich weder lesen (%1) noch beiseitelegen</translation>
    </message>
    <message>
        <source>The stored site profiles in %1 could not be read when they were to be saved (%2).

The file was moved to %3; the profiles of this window were saved in a new file.</source>
        <translation>Die gespeicherten Site-Profile in %1 ließen sich beim Speichern nicht lesen (%2).

Die Datei wurde nach %3 verschoben; die Profile dieses Fensters wurden in einer neuen Datei gespeichert.</translation>
    </message>
    <message>
        <source>the file is damaged and no copy of it could be made</source>
        <translation>die Datei ist beschädigt, und von ihr ließ sich keine Kopie anlegen</translation>
    </message>
    <message>
        <source>The stored site profiles in %1 were found damaged when they were to be saved.

The damaged file was kept as %2; what could still be read of it was saved, completed with the profiles of this window.</source>
        <translation>Die gespeicherten Site-Profile in %1 waren beim Speichern beschädigt.

Die beschädigte Datei wurde als %2 aufbewahrt; was sich noch aus ihr lesen ließ, wurde gespeichert, ergänzt um die Profile dieses Fensters.</translation>
    </message>
</context>
<context>
    <name>SiteConnection</name>
    <message>
        <source>Can&apos;t connect to FTP server - check the FTP username/password</source>
        <translation>Keine Verbindung zum FTP-Server – FTP-Benutzername/-Passwort prüfen</translation>
    </message>
    <message>
        <source>Can&apos;t connect to FTP server - check the FTP address</source>
        <translation>Keine Verbindung zum FTP-Server – FTP-Adresse prüfen</translation>
    </message>
    <message>
        <source>Can&apos;t connect to the FTP server</source>
        <translation>Keine Verbindung zum FTP-Server möglich</translation>
    </message>
    <message>
        <source>Directory is not contained on FTP server - check the Directory</source>
        <translation>Das Verzeichnis gibt es auf dem FTP-Server nicht – Verzeichnis prüfen</translation>
    </message>
</context>
<context>
    <name>TabPane</name>
    <message>
        <source>FTP Address</source>
        <translation>FTP-Adresse</translation>
    </message>
    <message>
        <source>Username</source>
        <translation>Benutzername</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Passwort</translation>
    </message>
    <message>
        <source>Directory</source>
        <translation>Verzeichnis</translation>
    </message>
</context>
<context>
    <name>TarnlowApp</name>
    <message>
        <source>Windows sockets initialization failed.</source>
        <translation>Die Initialisierung der Windows-Sockets ist fehlgeschlagen.</translation>
    </message>
</context>
<context>
    <name>TarnlowDlg</name>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>&amp;Über</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation>&amp;Aktualisieren</translation>
    </message>
    <message>
        <source>H&amp;ome</source>
        <translation>&amp;Startordner</translation>
    </message>
    <message>
        <source>&amp;Delete File(s)</source>
        <translation>&amp;Löschen</translation>
    </message>
    <message>
        <source>Do&amp;wnload</source>
        <translation>Do&amp;wnload</translation>
    </message>
    <message>
        <source>&amp;Browse</source>
        <translation>&amp;Durchsuchen</translation>
    </message>
    <message>
        <source>Ftp Site Selection</source>
        <translation>FTP-Site-Auswahl</translation>
    </message>
    <message>
        <source>Directory Listing</source>
        <translation>Verzeichnisinhalt</translation>
    </message>
    <message>
        <source>Download Path</source>
        <translation>Zielordner</translation>
    </message>
    <message>
        <source>Now Transferring:</source>
        <translation>Wird übertragen:</translation>
    </message>
    <message>
        <source>Files Transfered:</source>
        <translation>Übertragen:</translation>
    </message>
    <message>
        <source>Percent Transferred</source>
        <translation>Prozent übertragen</translation>
    </message>
    <message>
        <source>FTP Site 1 (Default)</source>
        <translation>Site 1 (Standard)</translation>
    </message>
    <message>
        <source>FTP Site %1</source>
        <translation>Site %1</translation>
    </message>
    <message>
        <source>ERROR</source>
        <translation>FEHLER</translation>
    </message>
    <message>
        <source>The site profiles could not be saved.</source>
        <translation>Die Site-Profile ließen sich nicht speichern.</translation>
    </message>
    <message>
        <source>Quit the Tarnlow program?</source>
        <translation>Das Programm Tarnlow beenden?</translation>
    </message>
    <message>
        <source>Quit Confirm</source>
        <translation>Beenden bestätigen</translation>
    </message>
    <message>
        <source>Unable to open the help file. It was looked for in:
%1</source>
        <translation>Die Hilfedatei lässt sich nicht öffnen. Gesucht wurde in:
%1</translation>
    </message>
    <message>
        <source>Tarnlow Help</source>
        <translation>Tarnlow-Hilfe</translation>
    </message>
    <message>
        <source>FTP Error</source>
        <translation>FTP-Fehler</translation>
    </message>
    <message>
        <source>Can&apos;t display the remote directory</source>
        <translation>Das entfernte Verzeichnis lässt sich nicht anzeigen</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Delete the file(s)?</source>
        <translation>Datei(en) löschen?</translation>
    </message>
    <message>
        <source>Delete Confirm</source>
        <translation>Löschen bestätigen</translation>
    </message>
    <message>
        <source>You must supply the FTP Internet address</source>
        <translation>Bitte die FTP-Internetadresse angeben</translation>
    </message>
    <message>
        <source>You must supply the FTP username</source>
        <translation>Bitte den FTP-Benutzernamen angeben</translation>
    </message>
    <message>
        <source>You must supply the FTP password</source>
        <translation>Bitte das FTP-Passwort angeben</translation>
    </message>
    <message>
        <source>Choose A Directory For FTP Download</source>
        <translation>Verzeichnis für den FTP-Download wählen</translation>
    </message>
    <message>
        <source>No download folder is given.</source>
        <translation>Es ist kein Download-Ordner angegeben.</translation>
    </message>
    <message>
        <source>%1 is not a folder.</source>
        <translation>%1 ist kein Ordner.</translation>
    </message>
    <message>
        <source>%1 does not exist.</source>
        <translation>%1 existiert nicht.</translation>
    </message>
    <message>
        <source>Invalid directory for download, please reselect</source>
        <translation>Ungültiges Download-Verzeichnis, bitte neu wählen</translation>
    </message>
</context>
<context>
    <name>TransferDoneDlg</name>
    <message>
        <source>Transfer Information</source>
        <translation>Übertragung</translation>
    </message>
    <message>
        <source>FTP File Transfer Complete</source>
        <translation>FTP-Übertragung abgeschlossen</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>Upload</name>
    <message>
        <source>Could not transfer file</source>
        <translation>Die Datei konnte nicht übertragen werden</translation>
    </message>
    <message>
        <source>It is no longer a folder.</source>
        <translation>Es ist kein Ordner mehr.</translation>
    </message>
    <message>
        <source>The server did not name the folder, so there is no way back to it.</source>
        <translation>Der Server hat den Ordner nicht benannt, daher gibt es keinen Weg zurück zu ihm.</translation>
    </message>
</context>
<context>
    <name>UploadPlan</name>
    <message>
        <source>It is a link that leads nowhere.</source>
        <translation>Es ist eine Verknüpfung, die ins Leere führt.</translation>
    </message>
    <message>
        <source>It is a link to %1, outside the dropped folder.</source>
        <translation>Es ist eine Verknüpfung auf %1, außerhalb des abgelegten Ordners.</translation>
    </message>
    <message>
        <source>It is a link back to %1, a folder that holds it: a loop.</source>
        <translation>Es ist eine Verknüpfung zurück auf %1, einen Ordner, der sie enthält: eine Schleife.</translation>
    </message>
    <message>
        <source>It is a link to %1, a folder sent already through another link.</source>
        <translation>Es ist eine Verknüpfung auf %1, einen Ordner, der schon über eine andere Verknüpfung gesendet wurde.</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>tarnlow: cannot open the window: no X11 or Wayland display could be reached
</source>
        <translation>tarnlow: Das Fenster lässt sich nicht öffnen: keine X11- oder Wayland-Anzeige erreichbar
</translation>
    </message>
</context>
</TS>
