<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Brevant</name>
    <message>
        <source>Checked Out By</source>
        <translation>Ausgecheckt von</translation>
    </message>
    <message>
        <source>Checked Out Time</source>
        <translation>Ausgecheckt seit</translation>
    </message>
    <message>
        <source>File Name</source>
        <translation>Dateiname</translation>
    </message>
    <message>
        <source>File Path</source>
        <translation>Dateipfad</translation>
    </message>
    <message>
        <source>Browser Name</source>
        <translation>Anzeigename</translation>
    </message>
    <message>
        <source>Checked Out Version</source>
        <translation>Ausgecheckte Version</translation>
    </message>
    <message>
        <source>it is empty</source>
        <translation>er ist leer</translation>
    </message>
    <message>
        <source>it is not valid UTF-8 text</source>
        <translation>er ist kein gültiger UTF-8-Text</translation>
    </message>
    <message>
        <source>it holds a control or format character</source>
        <translation>er enthält ein Steuer- oder Formatzeichen</translation>
    </message>
    <message>
        <source>it is longer than %1 characters</source>
        <translation>er ist länger als %1 Zeichen</translation>
    </message>
    <message>
        <source>the section name is empty</source>
        <translation>der Abschnittsname ist leer</translation>
    </message>
    <message>
        <source>the section name &quot;%1&quot; cannot be stored</source>
        <translation>der Abschnittsname „%1“ kann nicht gespeichert werden</translation>
    </message>
    <message>
        <source>the key name is empty</source>
        <translation>der Schlüsselname ist leer</translation>
    </message>
    <message>
        <source>the key name &quot;%1&quot; cannot be stored</source>
        <translation>der Schlüsselname „%1“ kann nicht gespeichert werden</translation>
    </message>
    <message>
        <source>the value of &quot;%1&quot; holds a line break</source>
        <translation>der Wert von „%1“ enthält einen Zeilenumbruch</translation>
    </message>
    <message>
        <source>it cannot be copied onto itself as the working project</source>
        <translation>sie kann nicht als Arbeitsprojekt auf sich selbst kopiert werden</translation>
    </message>
    <message>
        <source>the project file does not exist</source>
        <translation>die Projektdatei existiert nicht</translation>
    </message>
    <message>
        <source>Do you want to override excisting file ?</source>
        <translation>Möchten Sie die vorhandene Datei überschreiben?</translation>
    </message>
    <message>
        <source>The report could not be saved:<byte value="xd"/>%1<byte value="xd"/>%2</source>
        <translation>Der Bericht konnte nicht gespeichert werden:<byte value="xd"/>%1<byte value="xd"/>%2</translation>
    </message>
    <message>
        <source>the list has more rows than a worksheet can hold</source>
        <translation>die Liste hat mehr Zeilen, als ein Arbeitsblatt fassen kann</translation>
    </message>
    <message>
        <source>the workbook could not be created</source>
        <translation>die Arbeitsmappe konnte nicht angelegt werden</translation>
    </message>
    <message>
        <source>the worksheet could not be created</source>
        <translation>das Arbeitsblatt konnte nicht angelegt werden</translation>
    </message>
    <message>
        <source>The report was saved, but %1 cell(s) held more than %2 characters, the most a spreadsheet cell can hold, and were cut to that length.</source>
        <translation>Der Bericht wurde gespeichert, aber %1 Zelle(n) enthielten mehr als %2 Zeichen, so viel wie eine Tabellenzelle höchstens fasst, und wurden auf diese Länge gekürzt.</translation>
    </message>
    <message>
        <source>Include file missing for semi-isolated mode.</source>
        <translation>Die Include-Datei für den Semi-Isolated-Modus fehlt.</translation>
    </message>
    <message>
        <source>Please choose a user with &apos;Check Out for User...&apos; before you check out files.</source>
        <translation>Bitte wählen Sie mit „Auschecken für Benutzer...“ einen Benutzer, bevor Sie Dateien auschecken.</translation>
    </message>
    <message>
        <source>The document %1 could not be opened.</source>
        <translation>Das Dokument %1 konnte nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>checked out by %1 since the list was read</source>
        <translation>seit dem Lesen der Liste von %1 ausgecheckt</translation>
    </message>
    <message>
        <source>%1 document(s) could not be checked out:</source>
        <translation>%1 Dokument(e) konnten nicht ausgecheckt werden:</translation>
    </message>
    <message>
        <source>%1 document(s) could not be checked in:</source>
        <translation>%1 Dokument(e) konnten nicht eingecheckt werden:</translation>
    </message>
    <message>
        <source>... and %1 more</source>
        <translation>... und %1 weitere</translation>
    </message>
    <message>
        <source>%1 document(s) could not be read and %2 folder(s) could not be listed</source>
        <translation>%1 Dokument(e) konnten nicht gelesen und %2 Ordner nicht aufgelistet werden</translation>
    </message>
    <message>
        <source>%1 document(s) could not be read</source>
        <translation>%1 Dokument(e) konnten nicht gelesen werden</translation>
    </message>
    <message>
        <source>%1, see %2</source>
        <translation>%1, siehe %2</translation>
    </message>
    <message>
        <source>%1; the error log could not be written: %2</source>
        <translation>%1; das Fehlerprotokoll konnte nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>The document could not be opened: </source>
        <translation>Das Dokument konnte nicht geöffnet werden: </translation>
    </message>
    <message>
        <source>The reservation of %1 could not be changed: %2</source>
        <translation>Die Reservierung von %1 konnte nicht geändert werden: %2</translation>
    </message>
    <message>
        <source>The reservation of %1 is being changed by another process at the moment; it was not changed.</source>
        <translation>Die Reservierung von %1 wird gerade von einem anderen Prozess geändert; sie wurde nicht geändert.</translation>
    </message>
    <message>
        <source>The reservation record %1 could not be read: %2</source>
        <translation>Der Reservierungseintrag %1 konnte nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>it is a link, not a file</source>
        <translation>er ist ein Verweis, keine Datei</translation>
    </message>
    <message>
        <source>it is not a regular file</source>
        <translation>es ist keine reguläre Datei</translation>
    </message>
    <message>
        <source>it cannot be read: </source>
        <translation>er kann nicht gelesen werden: </translation>
    </message>
    <message>
        <source>it is too large</source>
        <translation>er ist zu groß</translation>
    </message>
    <message>
        <source>it holds no reservation</source>
        <translation>er enthält keine Reservierung</translation>
    </message>
    <message>
        <source>it names no valid holder</source>
        <translation>er nennt keinen gültigen Inhaber</translation>
    </message>
    <message>
        <source>its time &quot;%1&quot; is not a date and time with UTC offset</source>
        <translation>seine Zeit „%1“ ist kein Datum mit Uhrzeit und UTC-Abstand</translation>
    </message>
    <message>
        <source>its version &quot;%1&quot; is not a whole number</source>
        <translation>seine Version „%1“ ist keine ganze Zahl</translation>
    </message>
    <message>
        <source>The reservation record %1 is damaged: %2.</source>
        <translation>Der Reservierungseintrag %1 ist beschädigt: %2.</translation>
    </message>
    <message>
        <source>The reservation of %1 could not be written: %2</source>
        <translation>Die Reservierung von %1 konnte nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>%1 is already reserved by %2.</source>
        <translation>%1 ist bereits von %2 reserviert.</translation>
    </message>
    <message>
        <source>another user</source>
        <translation>einem anderen Benutzer</translation>
    </message>
    <message>
        <source>: This folder&apos;s file system cannot make hard links; Scrivo reserves by exclusive creation here</source>
        <translation>: Das Dateisystem dieses Ordners kann keine harten Verweise anlegen; Scrivo reserviert hier durch exklusives Anlegen</translation>
    </message>
    <message>
        <source>%1 is being reserved by another user right now; its reservation was not released.</source>
        <translation>%1 wird gerade von einem anderen Benutzer reserviert; die Reservierung wurde nicht freigegeben.</translation>
    </message>
    <message>
        <source>%1 is reserved by %2, not by %3.</source>
        <translation>%1 ist von %2 reserviert, nicht von %3.</translation>
    </message>
    <message>
        <source>The reservation record %1 could not be put back in its place: %2</source>
        <translation>Der Reservierungseintrag %1 konnte nicht an seinen Platz zurückgelegt werden: %2</translation>
    </message>
    <message>
        <source>The reservation record %1 could not be removed: %2</source>
        <translation>Der Reservierungseintrag %1 konnte nicht entfernt werden: %2</translation>
    </message>
    <message>
        <source>The document %1 does not exist.</source>
        <translation>Das Dokument %1 existiert nicht.</translation>
    </message>
    <message>
        <source>The folder of the document %1 does not exist.</source>
        <translation>Der Ordner des Dokuments %1 existiert nicht.</translation>
    </message>
    <message>
        <source>The document %1 could not be read: %2</source>
        <translation>Das Dokument %1 konnte nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>No document path was given.</source>
        <translation>Es wurde kein Dokumentpfad angegeben.</translation>
    </message>
    <message>
        <source>%1 is a folder, not a document.</source>
        <translation>%1 ist ein Ordner, kein Dokument.</translation>
    </message>
    <message>
        <source>%1 is not a regular file.</source>
        <translation>%1 ist keine reguläre Datei.</translation>
    </message>
    <message>
        <source>The reservation of %1 was not changed: the user name cannot be used, %2.</source>
        <translation>Die Reservierung von %1 wurde nicht geändert: der Benutzername kann nicht verwendet werden, %2.</translation>
    </message>
    <message>
        <source>The reservation of %1 was not changed: &quot;%2&quot; marks free documents and cannot be a user name.</source>
        <translation>Die Reservierung von %1 wurde nicht geändert: „%2“ kennzeichnet freie Dokumente und kann kein Benutzername sein.</translation>
    </message>
    <message>
        <source>The reservation of %1 was not changed: the active project %2 is not a Shared project.</source>
        <translation>Die Reservierung von %1 wurde nicht geändert: das aktive Projekt %2 ist kein Shared-Projekt.</translation>
    </message>
    <message>
        <source>%1 is no longer a document.</source>
        <translation>%1 ist kein Dokument mehr.</translation>
    </message>
    <message>
        <source>%1 has %2 hard links, so it cannot be tied to one reservation; it was not reserved.</source>
        <translation>%1 hat %2 harte Verweise und kann daher nicht an eine Reservierung gebunden werden; es wurde nicht reserviert.</translation>
    </message>
    <message>
        <source>The project file %1 does not exist.</source>
        <translation>Die Projektdatei %1 existiert nicht.</translation>
    </message>
    <message>
        <source>The project file %1 cannot be used: %2</source>
        <translation>Die Projektdatei %1 kann nicht verwendet werden: %2</translation>
    </message>
    <message>
        <source>%1 is a folder, not a project file.</source>
        <translation>%1 ist ein Ordner, keine Projektdatei.</translation>
    </message>
    <message>
        <source>%1 is not a regular file, so it cannot be a project file.</source>
        <translation>%1 ist keine reguläre Datei und kann daher keine Projektdatei sein.</translation>
    </message>
    <message>
        <source>The Scrivo home folder %1 could not be created.</source>
        <translation>Der Scrivo-Ordner %1 konnte nicht angelegt werden.</translation>
    </message>
    <message>
        <source>The Scrivo settings file %1 cannot be read: %2</source>
        <translation>Die Scrivo-Einstellungsdatei %1 kann nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>The project file %1 cannot be read: %2</source>
        <translation>Die Projektdatei %1 kann nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>%1 could not be written: %2</source>
        <translation>%1 konnte nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>No project file given.</source>
        <translation>Keine Projektdatei angegeben.</translation>
    </message>
    <message>
        <source>The project file %1 is not registered.</source>
        <translation>Die Projektdatei %1 ist nicht registriert.</translation>
    </message>
    <message>
        <source>%1 could not be used: %2</source>
        <translation>%1 konnte nicht verwendet werden: %2</translation>
    </message>
    <message>
        <source>A check-out or check-in run of another program is working in the Scrivo home %1; the active project can be changed when it has ended.</source>
        <translation>Ein Aus- oder Eincheck-Lauf eines anderen Programms arbeitet im Scrivo-Ordner %1; das aktive Projekt kann geändert werden, wenn er beendet ist.</translation>
    </message>
    <message>
        <source>The folder of %1 could not be created.</source>
        <translation>Der Ordner von %1 konnte nicht angelegt werden.</translation>
    </message>
    <message>
        <source>%1 is not a folder.</source>
        <translation>%1 ist kein Ordner.</translation>
    </message>
    <message>
        <source>The sample folder %1 is not empty.</source>
        <translation>Der Beispielordner %1 ist nicht leer.</translation>
    </message>
    <message>
        <source>The user name &quot;%1&quot; cannot be used: %2.</source>
        <translation>Der Benutzername „%1“ kann nicht verwendet werden: %2.</translation>
    </message>
    <message>
        <source>Please check if there is a new Brevant Version available,<byte value="xd"/>this version only supports Korvex R6 to R9.</source>
        <translation>Bitte prüfen Sie, ob eine neue Brevant-Version verfügbar ist,<byte value="xd"/>diese Version unterstützt nur Korvex R6 bis R9.</translation>
    </message>
    <message>
        <source>It is highly recommended to make a backup copy of your files before you use this tool.<byte value="xd"/></source>
        <translation>Es wird dringend empfohlen, eine Sicherungskopie Ihrer Dateien anzulegen, bevor Sie dieses Programm verwenden.<byte value="xd"/></translation>
    </message>
    <message>
        <source>Trelune Korvex Application is running !
Please close Korvex and restart the Korvex Brevant tool.</source>
        <translation>Die Trelune-Korvex-Anwendung läuft!
Bitte schließen Sie Korvex und starten Sie Korvex Brevant neu.</translation>
    </message>
    <message>
        <source>Can&apos;t start the Korvex Scrivo Server.</source>
        <translation>Der Korvex-Scrivo-Server kann nicht gestartet werden.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;New</source>
        <translation>&amp;Neu</translation>
    </message>
    <message>
        <source>&amp;Open...</source>
        <translation>Ö&amp;ffnen...</translation>
    </message>
    <message>
        <source>Check Out for &amp;User...</source>
        <translation>&amp;Auschecken für Benutzer...</translation>
    </message>
    <message>
        <source>Check &amp;In selected files</source>
        <translation>Markierte Dateien ein&amp;checken</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Speichern</translation>
    </message>
    <message>
        <source>Save &amp;As...</source>
        <translation>Speichern &amp;unter...</translation>
    </message>
    <message>
        <source>&amp;Exit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>&amp;Find Korvex Documents...</source>
        <translation>Korvex-Dokumente &amp;suchen...</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>&amp;Entfernen</translation>
    </message>
    <message>
        <source>St&amp;op Documents Search</source>
        <translation>Dokumentsuche &amp;anhalten</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation>A&amp;ktualisieren</translation>
    </message>
    <message>
        <source>&amp;On</source>
        <translation>&amp;Ein</translation>
    </message>
    <message>
        <source>O&amp;ff</source>
        <translation>A&amp;us</translation>
    </message>
    <message>
        <source>&amp;Info...</source>
        <translation>&amp;Info...</translation>
    </message>
    <message>
        <source>&amp;Select all</source>
        <translation>&amp;Alles auswählen</translation>
    </message>
    <message>
        <source>Check &amp;Out</source>
        <translation>A&amp;uschecken</translation>
    </message>
    <message>
        <source>Check &amp;In</source>
        <translation>Ein&amp;checken</translation>
    </message>
    <message>
        <source>The last check-out or check-in run did not finish. %1 is active again.</source>
        <translation>Der letzte Aus- oder Eincheck-Lauf wurde nicht beendet. %1 ist wieder aktiv.</translation>
    </message>
    <message>
        <source>The active project file does not exist:<byte value="xd"/>%1<byte value="xd"/>The default project is used instead.</source>
        <translation>Die aktive Projektdatei existiert nicht:<byte value="xd"/>%1<byte value="xd"/>Stattdessen wird das Standardprojekt verwendet.</translation>
    </message>
    <message>
        <source>User name: </source>
        <translation>Benutzername: </translation>
    </message>
    <message>
        <source>Multi-User mode: </source>
        <translation>Mehrbenutzermodus: </translation>
    </message>
    <message>
        <source>Depona projects should be handled via Depona Explorer regarding check in/out operations.</source>
        <translation>Depona-Projekte sollten zum Aus- und Einchecken über den Depona Explorer bearbeitet werden.</translation>
    </message>
    <message>
        <source>You are running in Semi-Isolated mode.</source>
        <translation>Sie arbeiten im Semi-Isolated-Modus.</translation>
    </message>
    <message>
        <source>Please select the files from your server directory for check in/out operation.</source>
        <translation>Bitte wählen Sie die Dateien zum Aus- und Einchecken aus Ihrem Serververzeichnis.</translation>
    </message>
    <message>
        <source>Hint:</source>
        <translation>Hinweis:</translation>
    </message>
    <message>
        <source>If you run Brevant from a users client machine, please backup and remove</source>
        <translation>Wenn Sie Brevant auf dem Arbeitsplatzrechner eines Benutzers ausführen, sichern und entfernen Sie bitte</translation>
    </message>
    <message>
        <source>the local workspace data first, before you execute Brevant. This step allows</source>
        <translation>zuerst die Daten des lokalen Arbeitsbereichs, bevor Sie Brevant ausführen. So greifen Sie</translation>
    </message>
    <message>
        <source>you to access the server data only, without referencing the local stored files.</source>
        <translation>nur auf die Serverdaten zu, ohne Bezug auf lokal gespeicherte Dateien.</translation>
    </message>
    <message>
        <source>The project could not be selected:<byte value="xd"/>%1<byte value="xd"/>%2</source>
        <translation>Das Projekt konnte nicht ausgewählt werden:<byte value="xd"/>%1<byte value="xd"/>%2</translation>
    </message>
    <message>
        <source>Korvex File Selection</source>
        <translation>Korvex-Dateiauswahl</translation>
    </message>
    <message>
        <source>Part File</source>
        <translation>Bauteildatei</translation>
    </message>
    <message>
        <source>Assembly File</source>
        <translation>Baugruppendatei</translation>
    </message>
    <message>
        <source>Presentation File</source>
        <translation>Präsentationsdatei</translation>
    </message>
    <message>
        <source>Drawing File</source>
        <translation>Zeichnungsdatei</translation>
    </message>
    <message>
        <source>Not all documents could be read:<byte value="xd"/>%1<byte value="xd"/>%2</source>
        <translation>Nicht alle Dokumente konnten gelesen werden:<byte value="xd"/>%1<byte value="xd"/>%2</translation>
    </message>
    <message>
        <source>Check Out files for User:</source>
        <translation>Dateien auschecken für Benutzer:</translation>
    </message>
    <message>
        <source>Waiting for another check-out run…</source>
        <translation>Warten auf einen anderen Auscheck-Lauf…</translation>
    </message>
    <message>
        <source>Checking out</source>
        <translation>Auschecken</translation>
    </message>
    <message>
        <source>Checking in</source>
        <translation>Einchecken</translation>
    </message>
    <message>
        <source>Refreshing</source>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <source>The user name &apos;available&apos; is a internal name and can not be used.</source>
        <translation>Der Benutzername „available“ ist ein interner Name und kann nicht verwendet werden.</translation>
    </message>
    <message>
        <source>Refreshed %1</source>
        <translation>Aktualisiert %1</translation>
    </message>
    <message>
        <source>; %1 row(s) could not be read</source>
        <translation>; %1 Zeile(n) konnten nicht gelesen werden</translation>
    </message>
    <message>
        <source>%1: %2 of %3</source>
        <translation>%1: %2 von %3</translation>
    </message>
    <message>
        <source>The user name can not be used: %1.</source>
        <translation>Der Benutzername kann nicht verwendet werden: %1.</translation>
    </message>
    <message>
        <source>The search of Korvex files should be done in the scope of your active project file.</source>
        <translation>Die Suche nach Korvex-Dateien sollte im Bereich Ihrer aktiven Projektdatei erfolgen.</translation>
    </message>
    <message>
        <source>Select Directory for search Korvex Files:</source>
        <translation>Verzeichnis für die Suche nach Korvex-Dateien wählen:</translation>
    </message>
    <message>
        <source>Searching . . . </source>
        <translation>Suche . . . </translation>
    </message>
    <message>
        <source>Search path: </source>
        <translation>Suchpfad: </translation>
    </message>
    <message>
        <source>Do you want to save the display content ?</source>
        <translation>Möchten Sie den angezeigten Inhalt speichern?</translation>
    </message>
    <message>
        <source>Korvex Brevant Version 1.03<byte value="xd"/>Build: 9.00.096e</source>
        <translation>Korvex Brevant Version 1.03<byte value="xd"/>Build: 9.00.096e</translation>
    </message>
    <message>
        <source>No folder given</source>
        <translation>Kein Ordner angegeben</translation>
    </message>
    <message>
        <source>it is locked by another process</source>
        <translation>sie ist von einem anderen Prozess gesperrt</translation>
    </message>
    <message>
        <source>it is a folder</source>
        <translation>es ist ein Ordner</translation>
    </message>
    <message>
        <source>it is larger than %1 MiB</source>
        <translation>sie ist größer als %1 MiB</translation>
    </message>
    <message>
        <source>the file name is too long to write the new file beside the old one first; choose a shorter name</source>
        <translation>der Dateiname ist zu lang, um die neue Datei zuerst neben die alte zu schreiben; wählen Sie einen kürzeren Namen</translation>
    </message>
    <message>
        <source>something else is already there</source>
        <translation>dort liegt bereits etwas anderes</translation>
    </message>
    <message>
        <source>The report could not be saved: </source>
        <translation>Der Bericht konnte nicht gespeichert werden: </translation>
    </message>
    <message>
        <source>list: --json and --report exclude each other</source>
        <translation>list: --json und --report schließen einander aus</translation>
    </message>
    <message>
        <source>list: --older-than takes a number of days or hours, such as 14d or 36h, not %1</source>
        <translation>list: --older-than nimmt eine Zahl von Tagen oder Stunden, etwa 14d oder 36h, nicht %1</translation>
    </message>
    <message>
        <source>%1 cannot be listed: %2</source>
        <translation>%1 kann nicht aufgelistet werden: %2</translation>
    </message>
    <message>
        <source>Show the commands.</source>
        <translation>Die Befehle zeigen.</translation>
    </message>
    <message>
        <source>Show the version.</source>
        <translation>Die Version zeigen.</translation>
    </message>
    <message>
        <source>no command given</source>
        <translation>kein Befehl angegeben</translation>
    </message>
    <message>
        <source>unknown command %1</source>
        <translation>unbekannter Befehl %1</translation>
    </message>
    <message>
        <source>%1: no folder given</source>
        <translation>%1: kein Ordner angegeben</translation>
    </message>
    <message>
        <source>%1: no document given</source>
        <translation>%1: kein Dokument angegeben</translation>
    </message>
    <message>
        <source>%1: wrong number of arguments</source>
        <translation>%1: falsche Anzahl von Argumenten</translation>
    </message>
    <message>
        <source>standard output could not be written: </source>
        <translation>die Standardausgabe konnte nicht geschrieben werden: </translation>
    </message>
    <message>
        <source>Run &quot;scrivo help&quot; for the commands.
</source>
        <translation>„scrivo help“ zeigt die Befehle.
</translation>
    </message>
    <message>
        <source>listing... %1 folders, %2 documents</source>
        <translation>Auflisten... %1 Ordner, %2 Dokumente</translation>
    </message>
    <message>
        <source>Unnamed</source>
        <translation>Unbenannt</translation>
    </message>
    <message>
        <source>%1 of %2 row(s) shown</source>
        <translation>%1 von %2 Zeile(n) angezeigt</translation>
    </message>
    <message>
        <source>%1 row(s)</source>
        <translation>%1 Zeile(n)</translation>
    </message>
    <message>
        <source>, %1 selected, %2 checked out, %3 mine</source>
        <translation>, %1 markiert, %2 ausgecheckt, %3 meine</translation>
    </message>
    <message>
        <source> (Save writes the rows shown)</source>
        <translation> (Speichern schreibt die angezeigten Zeilen)</translation>
    </message>
    <message>
        <source>&amp;Project file:</source>
        <translation>&amp;Projektdatei:</translation>
    </message>
    <message>
        <source>Chec&amp;k Out selected files</source>
        <translation>&amp;Markierte Dateien auschecken</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>Kop&amp;ieren</translation>
    </message>
    <message>
        <source>Select &amp;All</source>
        <translation>Alles aus&amp;wählen</translation>
    </message>
    <message>
        <source>&amp;Gridlines</source>
        <translation>&amp;Gitterlinien</translation>
    </message>
    <message>
        <source>Copy &amp;Paths</source>
        <translation>&amp;Pfade kopieren</translation>
    </message>
    <message>
        <source>Open Containing &amp;Folder</source>
        <translation>&amp;Ordner öffnen</translation>
    </message>
    <message>
        <source>Fi&amp;lter:</source>
        <translation>&amp;Filter:</translation>
    </message>
    <message>
        <source>File name, path, holder or display name</source>
        <translation>Dateiname, Pfad, Inhaber oder Anzeigename</translation>
    </message>
    <message>
        <source>S&amp;how:</source>
        <translation>&amp;Zeigen:</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Alle</translation>
    </message>
    <message>
        <source>Mine</source>
        <translation>Meine</translation>
    </message>
    <message>
        <source>Checked out</source>
        <translation>Ausgecheckt</translation>
    </message>
    <message>
        <source>Available</source>
        <translation>Verfügbar</translation>
    </message>
    <message>
        <source>The folder could not be opened:<byte value="xd"/>%1</source>
        <translation>Der Ordner konnte nicht geöffnet werden:<byte value="xd"/>%1</translation>
    </message>
    <message>
        <source>it begins or ends with a blank</source>
        <translation>er beginnt oder endet mit einem Leerzeichen</translation>
    </message>
    <message>
        <source>It had checked out %1 document(s) for %2.</source>
        <translation>Er hatte %1 Dokument(e) für %2 ausgecheckt.</translation>
    </message>
    <message>
        <source>Find Korvex Documents in the project&apos;s folders lists them.</source>
        <translation>„Korvex-Dokumente suchen“ in den Ordnern des Projekts listet sie auf.</translation>
    </message>
    <message>
        <source>Refresh every &amp;minute</source>
        <translation>Jede &amp;Minute aktualisieren</translation>
    </message>
    <message>
        <source>%1 was not reserved: the share still reports a reservation record that the file server no longer holds. Try again in a moment.</source>
        <translation>%1 wurde nicht reserviert: Die Freigabe meldet noch eine Reservierungsdatei, die der Dateiserver nicht mehr hat. Versuchen Sie es gleich noch einmal.</translation>
    </message>
    <message>
        <source>the share is not reachable (%1)</source>
        <translation>die Freigabe ist nicht erreichbar (%1)</translation>
    </message>
    <message>
        <source>it is no longer mounted at %1</source>
        <translation>sie ist nicht mehr unter %1 eingehängt</translation>
    </message>
    <message>
        <source>%1 was stopped by a failure:<byte value="xd"/>%2</source>
        <translation>%1 wurde durch einen Fehler abgebrochen:<byte value="xd"/>%2</translation>
    </message>
    <message>
        <source>an unexpected failure</source>
        <translation>ein unerwarteter Fehler</translation>
    </message>
    <message>
        <source>, %1 held longer than %2 day(s)</source>
        <translation>, %1 länger als %2 Tag(e) ausgecheckt</translation>
    </message>
    <message>
        <source>Held longer than...</source>
        <translation>Länger ausgecheckt als...</translation>
    </message>
    <message>
        <source>Show the documents checked out for at least this many days:</source>
        <translation>Die Dokumente zeigen, die seit mindestens so vielen Tagen ausgecheckt sind:</translation>
    </message>
    <message>
        <source>The number of days must be a whole number from 1 to %1.</source>
        <translation>Die Zahl der Tage muss eine ganze Zahl von 1 bis %1 sein.</translation>
    </message>
    <message>
        <source>Comment: %1</source>
        <translation>Kommentar: %1</translation>
    </message>
    <message>
        <source>Comment</source>
        <translation>Kommentar</translation>
    </message>
    <message>
        <source>This document server keeps no comments with its reservations.</source>
        <translation>Dieser Dokumentserver speichert keine Kommentare zu seinen Reservierungen.</translation>
    </message>
    <message>
        <source>The comment &quot;%1&quot; cannot be used: %2.</source>
        <translation>Der Kommentar &quot;%1&quot; kann nicht verwendet werden: %2.</translation>
    </message>
    <message>
        <source>Check Out with Co&amp;mment...</source>
        <translation>Auschecken mit Ko&amp;mmentar...</translation>
    </message>
    <message>
        <source>Comment for the check-out (for example why, and until when):</source>
        <translation>Kommentar zum Auschecken (zum Beispiel warum und bis wann):</translation>
    </message>
    <message>
        <source>The comment cannot be used: %1.</source>
        <translation>Der Kommentar kann nicht verwendet werden: %1.</translation>
    </message>
    <message>
        <source>Uses</source>
        <translation>Verwendet</translation>
    </message>
    <message>
        <source>&amp;Where Used...</source>
        <translation>&amp;Wo verwendet...</translation>
    </message>
    <message>
        <source>Select the documents whose uses you want to see.</source>
        <translation>Wählen Sie die Dokumente, deren Verwendungen Sie sehen möchten.</translation>
    </message>
    <message>
        <source>There is no folder to look in: search a folder first, or give the active project a workspace.</source>
        <translation>Es gibt keinen Ordner zum Durchsuchen: Durchsuchen Sie zuerst einen Ordner, oder geben Sie dem aktiven Projekt einen Arbeitsbereich.</translation>
    </message>
    <message>
        <source>Where used in: </source>
        <translation>Verwendungen in: </translation>
    </message>
    <message>
        <source>No document below %1 uses the selected documents.</source>
        <translation>Kein Dokument unter %1 verwendet die ausgewählten Dokumente.</translation>
    </message>
    <message>
        <source>where-used: --json and --report exclude each other</source>
        <translation>where-used: --json und --report schließen einander aus</translation>
    </message>
    <message>
        <source>where-used: the active project names no workspace; give the folder with --in DIR</source>
        <translation>where-used: das aktive Projekt nennt keinen Arbeitsbereich; geben Sie den Ordner mit --in ORDNER an</translation>
    </message>
    <message>
        <source>Metadata &amp;Cache on Shares</source>
        <translation>Metadaten-&amp;Cache auf Freigaben</translation>
    </message>
    <message>
        <source>Usage: scrivo [-h|--help] [-V|--version] COMMAND [ARGUMENTS]
Manages the Scrivo document server: its home folder (server.ini, Default.kpj) and the
reservations of documents. Options take their value as &quot;--user NAME&quot; or
&quot;--user=NAME&quot;; &quot;--&quot; ends the options.

Commands:
  projects                      list the registered project files, one a line: &quot;* PATH&quot;
                                for the active project, &quot;  PATH&quot; (two blanks) otherwise
  register FILE                 add a project file to the list
  unregister FILE               remove a project file from the list
  activate FILE                 make FILE the active project (&quot;&quot; makes Default.kpj active)
  user [NAME]                   show or set the default user name
  status DOC...                 one line a document, fields separated by a tab: the path,
                                then &quot;available&quot;, or the holder, the time (ISO 8601) and
                                the version, and the comment where there is one
  reserve [--user NAME] [-m TEXT] DOC...
                                reserve documents for NAME (default: the default user),
                                with the comment TEXT (-m, --comment: why, until when);
                                works only while a Shared project is active
  release [--user NAME] DOC...  release documents that NAME holds; same rule
  list [OPTIONS] FOLDER...      every document below the folders, found as the window&apos;s
                                search finds them, one a line, fields separated by a tab:
                                the path, &quot;available&quot; or the holder, the time (ISO 8601),
                                the version, the display name and the comment where
                                there is one (tab, line break and backslash inside a
                                field as \t, \n, \r, \\)
      --user NAME               only the documents NAME holds (also --holder NAME)
      --older-than DURATION     only the documents held for DURATION or longer: days or
                                hours, such as 14d or 36h
      --mine                    only the documents the default user holds
      --reserved                only the documents someone holds
      --json                    one JSON array of objects instead (path, holder, time,
                                version, displayName; time and version null when free;
                                comment where there is one)
      --report FILE             write the window&apos;s report of the documents instead: a
                                spreadsheet for FILE ending in .xlsx or .xls, else text
                                Documents that cannot be read and folders that cannot be
                                listed go to the error log and make the exit status 1.
      --no-cache                open and read every document; by default a document
                                on a network share that has not changed since a walk
                                read it is taken from the metadata cache (its
                                reservation is always looked up)
  where-used [OPTIONS] DOC...   every document below a folder whose references reach
                                one of the DOCs, at any level, each once, printed as
                                list prints it, then the comment (always a field, maybe
                                empty) and one field for each DOC it uses
      --in DIR                  the folder (default: the active project&apos;s workspace)
      --json, --report FILE     as for list; JSON objects have a &quot;uses&quot; array
      --no-cache                as for list
  sample DIR                    write a small Shared sample project into DIR (missing or
                                empty), register it, make it active and reserve some of
                                its documents for &quot;anna&quot; and &quot;ben&quot;
  help                          show this text (also -h, --help)
  version                       show the version (also -V, --version)

The home folder is $KORVEX_SCRIVO_HOME, else $XDG_CONFIG_HOME/korvex-scrivo, else
~/.config/korvex-scrivo. Exit status: 0 on success, 1 on failure (one line on standard
error for each failure), 2 on a usage error.
</source>
        <translation>Aufruf: scrivo [-h|--help] [-V|--version] BEFEHL [ARGUMENTE]
Verwaltet den Dokumentserver Scrivo: seinen Ordner (server.ini, Default.kpj) und die
Reservierungen von Dokumenten. Optionen nehmen ihren Wert als &quot;--user NAME&quot; oder
&quot;--user=NAME&quot;; &quot;--&quot; beendet die Optionen.

Befehle:
  projects                      die registrierten Projektdateien, eine je Zeile: &quot;* PFAD&quot;
                                für das aktive Projekt, sonst &quot;  PFAD&quot; (zwei Leerzeichen)
  register DATEI                eine Projektdatei in die Liste aufnehmen
  unregister DATEI              eine Projektdatei aus der Liste entfernen
  activate DATEI                DATEI zum aktiven Projekt machen (&quot;&quot; macht Default.kpj aktiv)
  user [NAME]                   den Standardbenutzernamen zeigen oder setzen
  status DOK...                 eine Zeile je Dokument, Felder durch Tabulator getrennt: der
                                Pfad, dann &quot;available&quot; oder der Inhaber, die Zeit (ISO 8601)
                                und die Version, und der Kommentar, wo es einen gibt
  reserve [--user NAME] [-m TEXT] DOK...
                                Dokumente für NAME reservieren (sonst: der Standardbenutzer),
                                mit dem Kommentar TEXT (-m, --comment: warum, bis wann);
                                nur solange ein Shared-Projekt aktiv ist
  release [--user NAME] DOK...  Dokumente freigeben, die NAME hält; dieselbe Regel
  list [OPTIONEN] ORDNER...     jedes Dokument unter den Ordnern, gefunden wie die Suche des
                                Fensters sie findet, eines je Zeile, Felder durch Tabulator
                                getrennt: der Pfad, &quot;available&quot; oder der Inhaber, die Zeit
                                (ISO 8601), die Version, der Anzeigename und der Kommentar,
                                wo es einen gibt (Tabulator, Zeilenumbruch und Backslash in
                                einem Feld als \t, \n, \r, \\)
      --user NAME               nur die Dokumente, die NAME hält (auch --holder NAME)
      --older-than DAUER        nur die Dokumente, die seit DAUER oder länger gehalten
                                werden: Tage oder Stunden, etwa 14d oder 36h
      --mine                    nur die Dokumente, die der Standardbenutzer hält
      --reserved                nur die Dokumente, die jemand hält
      --json                    stattdessen ein JSON-Array von Objekten (path, holder, time,
                                version, displayName; time und version null, wenn frei;
                                comment, wo es einen gibt)
      --report DATEI            stattdessen den Bericht des Fensters über die Dokumente
                                schreiben: eine Tabelle für DATEI mit Endung .xlsx oder .xls,
                                sonst Text
                                Dokumente, die nicht gelesen, und Ordner, die nicht
                                aufgelistet werden können, kommen ins Fehlerprotokoll und
                                machen den Rückgabewert 1.
      --no-cache                jedes Dokument öffnen und lesen; sonst wird ein Dokument
                                auf einer Netzwerkfreigabe, das sich seit einem Durchlauf
                                nicht geändert hat, aus dem Metadaten-Cache genommen
                                (seine Reservierung wird immer nachgesehen)
  where-used [OPTIONEN] DOK...  jedes Dokument unter einem Ordner, dessen Verweise eines
                                der DOKs erreichen, auf jeder Ebene, jedes einmal, so
                                ausgegeben, wie list es ausgibt, dann der Kommentar (immer
                                ein Feld, womöglich leer) und ein Feld für jedes DOK, das
                                es verwendet
      --in ORDNER               der Ordner (Standard: der Arbeitsbereich des aktiven
                                Projekts)
      --json, --report DATEI    wie bei list; JSON-Objekte haben ein Array &quot;uses&quot;
      --no-cache                wie bei list
  sample ORDNER                 ein kleines Shared-Beispielprojekt in ORDNER (fehlend oder
                                leer) schreiben, registrieren, aktivieren und einige seiner
                                Dokumente für &quot;anna&quot; und &quot;ben&quot; reservieren
  help                          diesen Text zeigen (auch -h, --help)
  version                       die Version zeigen (auch -V, --version)

Der Ordner ist $KORVEX_SCRIVO_HOME, sonst $XDG_CONFIG_HOME/korvex-scrivo, sonst
~/.config/korvex-scrivo. Rückgabewert: 0 bei Erfolg, 1 bei einem Fehler (eine Zeile auf der
Standardfehlerausgabe je Fehler), 2 bei einem Aufruffehler.
</translation>
    </message>
</context>
</TS>
