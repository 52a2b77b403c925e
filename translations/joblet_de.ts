<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>QObject</name>
    <message>
        <source>%1 fps</source>
        <translation>%1 B/s</translation>
    </message>
    <message>
        <source>%1 kb/s</source>
        <translation>%1 kbit/s</translation>
    </message>
    <message>
        <source>Video %1</source>
        <translation>Video %1</translation>
    </message>
    <message>
        <source>%1 kHz</source>
        <translation>%1 kHz</translation>
    </message>
    <message>
        <source>mono</source>
        <translation>Mono</translation>
    </message>
    <message>
        <source>stereo</source>
        <translation>Stereo</translation>
    </message>
    <message>
        <source>%1 channels</source>
        <translation>%1 Kanäle</translation>
    </message>
    <message>
        <source>Audio %1</source>
        <translation>Audio %1</translation>
    </message>
    <message>
        <source>up to %1×%2</source>
        <translation>bis %1×%2</translation>
    </message>
    <message>
        <source>CRF %1</source>
        <translation>CRF %1</translation>
    </message>
    <message>
        <source>lossless</source>
        <translation>verlustfrei</translation>
    </message>
    <message>
        <source>row %1 %2</source>
        <translation>Zeile %1 %2</translation>
    </message>
    <message>
        <source>%1 Done now</source>
        <translation>%1 jetzt fertig</translation>
    </message>
    <message>
        <source>%1 already Done (skipped)</source>
        <translation>%1 bereits fertig (übersprungen)</translation>
    </message>
    <message>
        <source>%1 failed (%2)</source>
        <translation>%1 fehlgeschlagen (%2)</translation>
    </message>
    <message>
        <source>%1 stopped (%2)</source>
        <translation>%1 angehalten (%2)</translation>
    </message>
    <message>
        <source>%1 not reached</source>
        <translation>%1 nicht erreicht</translation>
    </message>
    <message>
        <source>1 row: %1</source>
        <translation>1 Zeile: %1</translation>
    </message>
    <message>
        <source>%1 rows: %2</source>
        <translation>%1 Zeilen: %2</translation>
    </message>
</context>
<context>
    <name>joblet::BatchList</name>
    <message>
        <source>Input File</source>
        <translation>Eingabedatei</translation>
    </message>
    <message>
        <source>Output File</source>
        <translation>Ausgabedatei</translation>
    </message>
    <message>
        <source>Profile</source>
        <translation>Profil</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Ergebnis</translation>
    </message>
</context>
<context>
    <name>joblet::CommandLine</name>
    <message>
        <source>Usage: joblet [FILE [&apos;&lt;RUN&gt;&apos;]]
       joblet --help | --version

Opens the batch window. With FILE, adds it to the list as one job, or
loads it when it is a batch list (.jlt); with &lt;RUN&gt; after it, also
starts encoding the list at once.

One instance runs per user. Started while it runs, joblet hands FILE
to it as a job (without &lt;RUN&gt;) and ends; with no FILE, it brings the
running window to the front. Exit 1 when it cannot reach the instance.

The marker and the hand-off file are beside the program when its folder
belongs to you and no one else may write to it; otherwise they are in
~/.local/share/joblet. For this copy:
Marker of a running instance: %1
Hand-off file (append one path per line, ending CR LF): %2
</source>
        <translation>Aufruf: joblet [DATEI [&apos;&lt;RUN&gt;&apos;]]
       joblet --help | --version

Öffnet das Stapelfenster. Mit DATEI wird sie der Liste als ein Auftrag
hinzugefügt oder, wenn sie eine Stapelliste (.jlt) ist, geladen; mit &lt;RUN&gt;
dahinter beginnt außerdem sofort die Kodierung der Liste.

Je Benutzer läuft eine Instanz. Wird joblet gestartet, während sie läuft,
übergibt es ihr DATEI als Auftrag (ohne &lt;RUN&gt;) und endet; ohne DATEI holt
es das laufende Fenster in den Vordergrund. Exit-Code 1, wenn die Instanz
nicht erreichbar ist.

Markierung und Übergabedatei liegen neben dem Programm, wenn sein Ordner
Ihnen gehört und niemand sonst hineinschreiben darf; sonst liegen sie in
~/.local/share/joblet. Für diese Kopie:
Markierung einer laufenden Instanz: %1
Übergabedatei (ein Pfad je Zeile anhängen, Zeilenende CR LF): %2
</translation>
    </message>
</context>
<context>
    <name>joblet::DesktopWiring</name>
    <message>
        <source>Encoding the batch list</source>
        <translation>Die Stapelliste wird kodiert</translation>
    </message>
    <message>
        <source>Waiting for the timed session to start</source>
        <translation>Warten auf den Beginn der zeitgesteuerten Sitzung</translation>
    </message>
</context>
<context>
    <name>joblet::EngineError</name>
    <message>
        <source>The file does not exist.</source>
        <translation>Die Datei existiert nicht.</translation>
    </message>
    <message>
        <source>The output folder does not exist.</source>
        <translation>Der Ausgabeordner existiert nicht.</translation>
    </message>
    <message>
        <source>Access to the file or folder was denied.</source>
        <translation>Der Zugriff auf die Datei oder den Ordner wurde verweigert.</translation>
    </message>
    <message>
        <source>There is not enough space on the disk.</source>
        <translation>Auf dem Datenträger ist nicht genug Platz.</translation>
    </message>
    <message>
        <source>The file is not a media file that can be read, or it is damaged.</source>
        <translation>Die Datei ist keine lesbare Mediendatei oder sie ist beschädigt.</translation>
    </message>
    <message>
        <source>No encoder is available.</source>
        <translation>Es ist kein Encoder verfügbar.</translation>
    </message>
    <message>
        <source>No input file has been set for the job.</source>
        <translation>Für den Auftrag ist keine Eingabedatei festgelegt.</translation>
    </message>
    <message>
        <source>No profile has been set for the job.</source>
        <translation>Für den Auftrag ist kein Profil festgelegt.</translation>
    </message>
    <message>
        <source>No output file has been set for the job.</source>
        <translation>Für den Auftrag ist keine Ausgabedatei festgelegt.</translation>
    </message>
    <message>
        <source>The input has none of the streams the profile encodes.</source>
        <translation>Die Eingabe enthält keinen der Datenströme, die das Profil kodiert.</translation>
    </message>
    <message>
        <source>The output file is the input file.</source>
        <translation>Die Ausgabedatei ist die Eingabedatei.</translation>
    </message>
    <message>
        <source>The input file is damaged and could not be decoded.</source>
        <translation>Die Eingabedatei ist beschädigt und konnte nicht dekodiert werden.</translation>
    </message>
    <message>
        <source>The encoder could not encode the input.</source>
        <translation>Der Encoder konnte die Eingabe nicht kodieren.</translation>
    </message>
    <message>
        <source>The output file could not be written.</source>
        <translation>Die Ausgabedatei konnte nicht geschrieben werden.</translation>
    </message>
    <message>
        <source>The job was stopped before it finished.</source>
        <translation>Der Auftrag wurde vor seinem Ende angehalten.</translation>
    </message>
    <message>
        <source>The encoder is already running a job.</source>
        <translation>Der Encoder bearbeitet bereits einen Auftrag.</translation>
    </message>
    <message>
        <source>An invalid argument was passed to the encoder.</source>
        <translation>Dem Encoder wurde ein ungültiges Argument übergeben.</translation>
    </message>
    <message>
        <source>The encoder ran out of memory or failed internally.</source>
        <translation>Dem Encoder ging der Speicher aus oder er ist intern gescheitert.</translation>
    </message>
    <message>
        <source>The input yielded no audio or video that could be encoded.</source>
        <translation>Die Eingabe lieferte weder Audio noch Video, das kodiert werden konnte.</translation>
    </message>
    <message>
        <source>The input declares a sample rate, channel count, picture size or frame rate outside what the encoder accepts.</source>
        <translation>Die Eingabe gibt eine Abtastrate, Kanalzahl, Bildgröße oder Bildrate an, die der Encoder nicht annimmt.</translation>
    </message>
    <message>
        <source>The input&apos;s audio channel layout cannot be mixed down.</source>
        <translation>Die Kanalanordnung des Eingabe-Audios kann nicht heruntergemischt werden.</translation>
    </message>
    <message>
        <source>The input or the output is not a regular file.</source>
        <translation>Die Eingabe oder die Ausgabe ist keine reguläre Datei.</translation>
    </message>
    <message>
        <source>The output file&apos;s type cannot hold what the profile encodes.</source>
        <translation>Der Typ der Ausgabedatei kann nicht aufnehmen, was das Profil kodiert.</translation>
    </message>
    <message>
        <source>The picture is too small for the profile&apos;s video encoder.</source>
        <translation>Das Bild ist zu klein für den Video-Encoder des Profils.</translation>
    </message>
    <message>
        <source>Another job of the list writes the same output file.</source>
        <translation>Ein anderer Auftrag der Liste schreibt dieselbe Ausgabedatei.</translation>
    </message>
    <message>
        <source>Unknown encoder error.</source>
        <translation>Unbekannter Encoder-Fehler.</translation>
    </message>
</context>
<context>
    <name>joblet::FrmAddFiles</name>
    <message>
        <source>Video Files(*.asf,*.avi,*.bmp,*.mpg,*.wmv)|*.asf;*.avi;*.bmp;*.mpg;*.wmv|Audio Files(*.asf,*.avi,*.mp3,*.mpg,*.wav,*.wma)|*.asf;*.avi;*.mp3;*.mpg;*.wav;*.wma</source>
        <translation>Videodateien(*.asf,*.avi,*.bmp,*.mpg,*.wmv)|*.asf;*.avi;*.bmp;*.mpg;*.wmv|Audiodateien(*.asf,*.avi,*.mp3,*.mpg,*.wav,*.wma)|*.asf;*.avi;*.mp3;*.mpg;*.wav;*.wma</translation>
    </message>
    <message>
        <source>Qimto Media  files(*.wmv;*.wma)|*.wmv;*.wma|Qimto Media  video files(*.wmv)|*.wmv|Qimto Media  audio files(*.wma)|*.wma|Qimto Media (*.asf)|*.asf</source>
        <translation>Qimto Media-Dateien(*.wmv;*.wma)|*.wmv;*.wma|Qimto Media-Videodateien(*.wmv)|*.wmv|Qimto Media-Audiodateien(*.wma)|*.wma|Qimto Media (*.asf)|*.asf</translation>
    </message>
    <message>
        <source>Add Batch Items</source>
        <translation>Stapelaufträge hinzufügen</translation>
    </message>
    <message>
        <source>INPUT</source>
        <translation>EINGABE</translation>
    </message>
    <message>
        <source>&amp;Input File :</source>
        <translation>&amp;Eingabedatei:</translation>
    </message>
    <message>
        <source>Input File :</source>
        <translation>Eingabedatei:</translation>
    </message>
    <message>
        <source>Input File</source>
        <translation>Eingabedatei</translation>
    </message>
    <message>
        <source>&amp;Output File :</source>
        <translation>&amp;Ausgabedatei:</translation>
    </message>
    <message>
        <source>Output File :</source>
        <translation>Ausgabedatei:</translation>
    </message>
    <message>
        <source>Output File</source>
        <translation>Ausgabedatei</translation>
    </message>
    <message>
        <source>Browse</source>
        <translation>Durchsuchen</translation>
    </message>
    <message>
        <source>Browse for the input file</source>
        <translation>Nach der Eingabedatei suchen</translation>
    </message>
    <message>
        <source>Browse for the output file</source>
        <translation>Nach der Ausgabedatei suchen</translation>
    </message>
    <message>
        <source>&amp;Profile :</source>
        <translation>&amp;Profil:</translation>
    </message>
    <message>
        <source>Profile :</source>
        <translation>Profil:</translation>
    </message>
    <message>
        <source>Profile</source>
        <translation>Profil</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Error Getting Profiles of Encoder</source>
        <translation>Fehler beim Abrufen der Profile des Encoders</translation>
    </message>
    <message>
        <source>output file</source>
        <translation>Ausgabedatei</translation>
    </message>
    <message>
        <source>Please enter the input file</source>
        <translation>Bitte geben Sie die Eingabedatei an</translation>
    </message>
    <message>
        <source>Please enter a profile</source>
        <translation>Bitte geben Sie ein Profil an</translation>
    </message>
    <message>
        <source>The input file doesnot contain Either an audio or a video</source>
        <translation>Die Eingabedatei enthält weder Audio noch Video</translation>
    </message>
</context>
<context>
    <name>joblet::FrmJobletIn</name>
    <message>
        <source>Qimto Media Joblet</source>
        <translation>Qimto Media Joblet</translation>
    </message>
    <message>
        <source>Encoder session will start in </source>
        <translation>Kodiersitzung beginnt in </translation>
    </message>
    <message>
        <source>Encoder session in progress.</source>
        <translation>Kodiersitzung läuft.</translation>
    </message>
    <message>
        <source>Encoder Stopped</source>
        <translation>Encoder angehalten</translation>
    </message>
    <message>
        <source>No files to encode</source>
        <translation>Keine Dateien zum Kodieren</translation>
    </message>
    <message>
        <source>Error Processing Input</source>
        <translation>Fehler beim Verarbeiten der Eingabe</translation>
    </message>
    <message>
        <source>The timer is running</source>
        <translation>Der Timer läuft</translation>
    </message>
    <message>
        <source>The timer is not running</source>
        <translation>Der Timer läuft nicht</translation>
    </message>
    <message>
        <source>Remaining Time:</source>
        <translation>Verbleibende Zeit:</translation>
    </message>
    <message>
        <source>System Time:</source>
        <translation>Systemzeit:</translation>
    </message>
    <message>
        <source>Error stopping Encoder</source>
        <translation>Fehler beim Anhalten des Encoders</translation>
    </message>
    <message>
        <source>Please add some files to encode before starting the timer.</source>
        <translation>Bitte fügen Sie Dateien zum Kodieren hinzu, bevor Sie den Timer starten.</translation>
    </message>
    <message>
        <source>The encoder session is running.<byte value="xd"/>
Please press the Stop button to end this session before setting a new schedule.</source>
        <translation>Die Kodiersitzung läuft.<byte value="xd"/>
Bitte beenden Sie diese Sitzung mit der Schaltfläche „Stoppen“, bevor Sie einen neuen Zeitplan festlegen.</translation>
    </message>
    <message>
        <source>Please set the start time for a time in the future.</source>
        <translation>Bitte wählen Sie als Startzeit eine Zeit in der Zukunft.</translation>
    </message>
    <message>
        <source>Do you want to start an encoding session at %1</source>
        <translation>Möchten Sie um %1 eine Kodiersitzung starten?</translation>
    </message>
    <message>
        <source>Do you want to stop the scheduled encoding session?</source>
        <translation>Möchten Sie die geplante Kodiersitzung abbrechen?</translation>
    </message>
    <message>
        <source>Error Executing Application</source>
        <translation>Fehler beim Ausführen der Anwendung</translation>
    </message>
    <message>
        <source>Jobs</source>
        <translation>Aufträge</translation>
    </message>
    <message>
        <source>Commands</source>
        <translation>Befehle</translation>
    </message>
    <message>
        <source>List commands</source>
        <translation>Listenbefehle</translation>
    </message>
    <message>
        <source>Timed Session </source>
        <translation>Zeitgesteuerte Sitzung </translation>
    </message>
    <message>
        <source>Timed Session</source>
        <translation>Zeitgesteuerte Sitzung</translation>
    </message>
    <message>
        <source>Encoder status</source>
        <translation>Encoder-Status</translation>
    </message>
    <message>
        <source>Encoder properties</source>
        <translation>Encoder-Eigenschaften</translation>
    </message>
    <message>
        <source>Profile</source>
        <translation>Profil</translation>
    </message>
    <message>
        <source>A&amp;dd</source>
        <translation>&amp;Hinzufügen</translation>
    </message>
    <message>
        <source>Add media to the list</source>
        <translation>Medien zur Liste hinzufügen</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>&amp;Entfernen</translation>
    </message>
    <message>
        <source>Remove media from the list</source>
        <translation>Medien aus der Liste entfernen</translation>
    </message>
    <message>
        <source>Remove &amp;All</source>
        <translation>&amp;Alle entfernen</translation>
    </message>
    <message>
        <source>Remove all media from the list</source>
        <translation>Alle Medien aus der Liste entfernen</translation>
    </message>
    <message>
        <source>&amp;Clear Results</source>
        <translation>Ergebnisse
lee&amp;ren</translation>
    </message>
    <message>
        <source>Clear the results</source>
        <translation>Die Ergebnisse leeren</translation>
    </message>
    <message>
        <source>&amp;Load</source>
        <translation>&amp;Laden</translation>
    </message>
    <message>
        <source>Load a joblet file</source>
        <translation>Eine Joblet-Datei laden</translation>
    </message>
    <message>
        <source>Sa&amp;ve</source>
        <translation>S&amp;peichern</translation>
    </message>
    <message>
        <source>Save the list to a joblet file</source>
        <translation>Die Liste in einer Joblet-Datei speichern</translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <translation>&amp;Starten</translation>
    </message>
    <message>
        <source>Start encoding the list</source>
        <translation>Die Kodierung der Liste starten</translation>
    </message>
    <message>
        <source>S&amp;top</source>
        <translation>St&amp;oppen</translation>
    </message>
    <message>
        <source>Stop encoding</source>
        <translation>Die Kodierung stoppen</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>SystemTime:</source>
        <translation>Systemzeit:</translation>
    </message>
    <message>
        <source>Time of day, or the time left before a timed session</source>
        <translation>Uhrzeit oder verbleibende Zeit bis zu einer zeitgesteuerten Sitzung</translation>
    </message>
    <message>
        <source>Start Time:</source>
        <translation>Startzeit:</translation>
    </message>
    <message>
        <source>Timer status</source>
        <translation>Timer-Status</translation>
    </message>
    <message>
        <source>Select the start hour</source>
        <translation>Die Startstunde wählen</translation>
    </message>
    <message>
        <source>Select the start minute</source>
        <translation>Die Startminute wählen</translation>
    </message>
    <message>
        <source>Schedule</source>
        <translation>Planen</translation>
    </message>
    <message>
        <source>These jobs would fail as the list stands:</source>
        <translation>Diese Aufträge würden so, wie die Liste steht, fehlschlagen:</translation>
    </message>
    <message>
        <source>Row %1</source>
        <translation>Zeile %1</translation>
    </message>
    <message numerus="yes">
        <source>and %n more</source>
        <translation>
            <numerusform>und %n weiterer</numerusform>
            <numerusform>und %n weitere</numerusform>
        </translation>
    </message>
    <message>
        <source>Encode the list at the start time chosen above, or cancel that schedule</source>
        <translation>Die Liste zur oben gewählten Startzeit kodieren oder diesen Zeitplan aufheben</translation>
    </message>
    <message>
        <source>Encoder Running: %1</source>
        <translation>Encoder läuft: %1</translation>
    </message>
</context>
<context>
    <name>joblet::FrmReport</name>
    <message>
        <source>Scheduled Session Report</source>
        <translation>Bericht der geplanten Sitzung</translation>
    </message>
    <message>
        <source>The following results were recorded during the scheduled session. </source>
        <translation>Diese Ergebnisse wurden in der geplanten Sitzung erfasst.</translation>
    </message>
    <message>
        <source>Session start time:</source>
        <translation>Beginn der Sitzung:</translation>
    </message>
    <message>
        <source>Session end time:</source>
        <translation>Ende der Sitzung:</translation>
    </message>
    <message>
        <source>Session results</source>
        <translation>Ergebnisse der Sitzung</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Session start time: </source>
        <translation>Beginn der Sitzung: </translation>
    </message>
    <message>
        <source>Session end time: </source>
        <translation>Ende der Sitzung: </translation>
    </message>
</context>
<context>
    <name>joblet::HandOff</name>
    <message>
        <source>the path holds a line end</source>
        <translation>der Pfad enthält ein Zeilenende</translation>
    </message>
    <message>
        <source>the path begins or ends with a blank</source>
        <translation>der Pfad beginnt oder endet mit einem Leerzeichen</translation>
    </message>
    <message>
        <source>the path is shorter than three characters</source>
        <translation>der Pfad ist kürzer als drei Zeichen</translation>
    </message>
    <message>
        <source>the path cannot be written in the locale&apos;s encoding</source>
        <translation>der Pfad lässt sich in der Kodierung der Locale nicht schreiben</translation>
    </message>
    <message>
        <source>the hand-off file </source>
        <translation>die Übergabedatei </translation>
    </message>
    <message>
        <source>the line was written only in part</source>
        <translation>die Zeile wurde nur zum Teil geschrieben</translation>
    </message>
</context>
<context>
    <name>joblet::InstanceChannel</name>
    <message>
        <source>there is no private runtime folder to reach it through</source>
        <translation>es gibt keinen privaten Laufzeitordner, über den sie erreichbar wäre</translation>
    </message>
    <message>
        <source>its socket belongs to another user</source>
        <translation>ihr Socket gehört einem anderen Benutzer</translation>
    </message>
    <message>
        <source>it did not take the request</source>
        <translation>sie hat die Anfrage nicht angenommen</translation>
    </message>
    <message>
        <source>it did not answer</source>
        <translation>sie hat nicht geantwortet</translation>
    </message>
</context>
<context>
    <name>joblet::JobProgressPage</name>
    <message>
        <source>Job</source>
        <translation>Auftrag</translation>
    </message>
    <message>
        <source>Job progress</source>
        <translation>Auftragsfortschritt</translation>
    </message>
    <message>
        <source>Encoder state</source>
        <translation>Encoder-Zustand</translation>
    </message>
    <message>
        <source>Input file:</source>
        <translation>Eingabedatei:</translation>
    </message>
    <message>
        <source>Output file:</source>
        <translation>Ausgabedatei:</translation>
    </message>
    <message>
        <source>Profile:</source>
        <translation>Profil:</translation>
    </message>
    <message>
        <source>Streams:</source>
        <translation>Datenströme:</translation>
    </message>
    <message>
        <source>Progress:</source>
        <translation>Fortschritt:</translation>
    </message>
    <message>
        <source>Elapsed:</source>
        <translation>Vergangen:</translation>
    </message>
    <message>
        <source>Encoded:</source>
        <translation>Kodiert:</translation>
    </message>
    <message>
        <source>Frames per second:</source>
        <translation>Bilder pro Sekunde:</translation>
    </message>
    <message>
        <source>Time left:</source>
        <translation>Verbleibend:</translation>
    </message>
    <message>
        <source>No job running</source>
        <translation>Kein Auftrag läuft</translation>
    </message>
    <message>
        <source>Run ended</source>
        <translation>Lauf beendet</translation>
    </message>
    <message>
        <source> of %1</source>
        <translation> von %1</translation>
    </message>
    <message>
        <source>Starting</source>
        <translation>Startet</translation>
    </message>
    <message>
        <source>Encoding</source>
        <translation>Kodiert</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>Pausiert</translation>
    </message>
    <message>
        <source>Failed (error %1)</source>
        <translation>Fehlgeschlagen (Fehler %1)</translation>
    </message>
    <message>
        <source>Stopped</source>
        <translation>Gestoppt</translation>
    </message>
    <message>
        <source>Batch:</source>
        <translation>Stapel:</translation>
    </message>
    <message>
        <source>Batch time left:</source>
        <translation>Restzeit Stapel:</translation>
    </message>
    <message>
        <source>job %1 of %2</source>
        <translation>Auftrag %1 von %2</translation>
    </message>
</context>
<context>
    <name>joblet::ListCommands</name>
    <message>
        <source>Joblet Files (*.jlt) | *.jlt</source>
        <translation>Joblet-Dateien (*.jlt) | *.jlt</translation>
    </message>
    <message>
        <source>Error Populating the list</source>
        <translation>Fehler beim Füllen der Liste</translation>
    </message>
    <message>
        <source>Error Removing Selected Entry From List</source>
        <translation>Fehler beim Entfernen des gewählten Eintrags aus der Liste</translation>
    </message>
    <message>
        <source>Error Removing Entries from List</source>
        <translation>Fehler beim Entfernen der Einträge aus der Liste</translation>
    </message>
    <message>
        <source>Nothing to clear</source>
        <translation>Nichts zu leeren</translation>
    </message>
    <message>
        <source>Error clearing the list</source>
        <translation>Fehler beim Leeren der Liste</translation>
    </message>
    <message>
        <source>Save File</source>
        <translation>Datei speichern</translation>
    </message>
    <message>
        <source>Error Saving List Entries</source>
        <translation>Fehler beim Speichern der Listeneinträge</translation>
    </message>
    <message>
        <source>Input File</source>
        <translation>Eingabedatei</translation>
    </message>
    <message>
        <source>Error Loading Saved Configuration</source>
        <translation>Fehler beim Laden der gespeicherten Konfiguration</translation>
    </message>
</context>
<context>
    <name>joblet::PropertyPageHost</name>
    <message>
        <source>Encoder properties</source>
        <translation>Encoder-Eigenschaften</translation>
    </message>
    <message>
        <source>Property pages</source>
        <translation>Eigenschaftsseiten</translation>
    </message>
</context>
<context>
    <name>joblet::ReadableMedia</name>
    <message>
        <source>MPEG-4 and QuickTime</source>
        <translation>MPEG-4 und QuickTime</translation>
    </message>
    <message>
        <source>Matroska and WebM</source>
        <translation>Matroska und WebM</translation>
    </message>
    <message>
        <source>Ogg</source>
        <translation>Ogg</translation>
    </message>
    <message>
        <source>MPEG transport stream</source>
        <translation>MPEG-Transportstrom</translation>
    </message>
    <message>
        <source>MPEG program stream</source>
        <translation>MPEG-Programmstrom</translation>
    </message>
    <message>
        <source>AVI</source>
        <translation>AVI</translation>
    </message>
    <message>
        <source>ASF</source>
        <translation>ASF</translation>
    </message>
    <message>
        <source>Flash video</source>
        <translation>Flash-Video</translation>
    </message>
    <message>
        <source>DV</source>
        <translation>DV</translation>
    </message>
    <message>
        <source>MP3</source>
        <translation>MP3</translation>
    </message>
    <message>
        <source>AAC</source>
        <translation>AAC</translation>
    </message>
    <message>
        <source>AC-3</source>
        <translation>AC-3</translation>
    </message>
    <message>
        <source>FLAC</source>
        <translation>FLAC</translation>
    </message>
    <message>
        <source>WAV</source>
        <translation>WAV</translation>
    </message>
    <message>
        <source>AIFF</source>
        <translation>AIFF</translation>
    </message>
    <message>
        <source>Bitmap image</source>
        <translation>Bitmap-Bild</translation>
    </message>
</context>
<context>
    <name>joblet::RunNotifier</name>
    <message>
        <source>1 job</source>
        <translation>1 Auftrag</translation>
    </message>
    <message>
        <source>%1 jobs</source>
        <translation>%1 Aufträge</translation>
    </message>
    <message>
        <source>Batch Run Ended</source>
        <translation>Stapellauf beendet</translation>
    </message>
    <message>
        <source>%1 Done, %2 failed.</source>
        <translation>%1 fertig, %2 fehlgeschlagen.</translation>
    </message>
    <message>
        <source>Show Joblet</source>
        <translation>Joblet zeigen</translation>
    </message>
</context>
<context>
    <name>joblet::SessionRunner</name>
    <message>
        <source>A run is already in progress.</source>
        <translation>Es läuft bereits ein Durchlauf.</translation>
    </message>
    <message>
        <source>No installed profile is named &quot;%1&quot;.</source>
        <translation>Kein installiertes Profil heißt &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>No encoder is running.</source>
        <translation>Es läuft kein Encoder.</translation>
    </message>
</context>
<context>
    <name>joblet::Startup</name>
    <message>
        <source>joblet: already running; could not hand %1 over: %2</source>
        <translation>joblet: läuft bereits; %1 konnte nicht übergeben werden: %2</translation>
    </message>
    <message>
        <source>joblet: already running; handed %1 over as a job (&lt;RUN&gt; is not passed on)</source>
        <translation>joblet: läuft bereits; %1 als Auftrag übergeben (&lt;RUN&gt; wird nicht weitergegeben)</translation>
    </message>
    <message>
        <source>joblet: already running; handed %1 over as a job</source>
        <translation>joblet: läuft bereits; %1 als Auftrag übergeben</translation>
    </message>
    <message>
        <source>joblet: already running; its window was brought to the front</source>
        <translation>joblet: läuft bereits; sein Fenster wurde in den Vordergrund geholt</translation>
    </message>
    <message>
        <source>joblet: already running, but it could not be reached: %1</source>
        <translation>joblet: läuft bereits, ist aber nicht erreichbar: %1</translation>
    </message>
    <message>
        <source>joblet: already running; a list cannot be handed over, load %1 in its window</source>
        <translation>joblet: läuft bereits; eine Liste lässt sich nicht übergeben, laden Sie %1 in seinem Fenster</translation>
    </message>
    <message>
        <source>joblet: already running; cannot look at %1, nothing handed over</source>
        <translation>joblet: läuft bereits; %1 lässt sich nicht ansehen, nichts übergeben</translation>
    </message>
    <message>
        <source>joblet: already running; %1 names no file, nothing handed over</source>
        <translation>joblet: läuft bereits; %1 nennt keine Datei, nichts übergeben</translation>
    </message>
</context>
<context>
    <name>joblet::StartupRecovery</name>
    <message>
        <source>Recover Batch List</source>
        <translation>Stapelliste wiederherstellen</translation>
    </message>
    <message>
        <source>Joblet was not closed normally last time. Restore its batch list (%1 jobs) with their results?</source>
        <translation>Joblet wurde beim letzten Mal nicht normal beendet. Seine Stapelliste (%1 Aufträge) mit ihren Ergebnissen wiederherstellen?</translation>
    </message>
</context>
<context>
    <name>joblet::UiServices</name>
    <message>
        <source>All readable media</source>
        <translation>Alle lesbaren Medien</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Error-%1</source>
        <translation>Fehler-%1</translation>
    </message>
</context>
<context>
    <name>joblet::WindowStart</name>
    <message>
        <source>Error Executing Application</source>
        <translation>Fehler beim Ausführen der Anwendung</translation>
    </message>
</context>
</TS>
