<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>FilterLibrary</name>
    <message>
        <source>The camera picture cannot be shown: the video filters could not be prepared.

%1</source>
        <translation>Das Kamerabild kann nicht angezeigt werden: Die Videofilter konnten nicht vorbereitet werden.

%1</translation>
    </message>
</context>
<context>
    <name>PipeWireConnection</name>
    <message>
        <source>Frostwipe may not use the camera: access to it was denied.

Allow Frostwipe to use the camera in your desktop&apos;s settings (Privacy, Camera), then start Frostwipe again. Until then the demo camera plays.</source>
        <translation>Frostwipe darf die Kamera nicht benutzen: Der Zugriff wurde verweigert.

Erlauben Sie Frostwipe die Kamera in den Einstellungen Ihres Desktops (Datenschutz, Kamera) und starten Sie Frostwipe dann neu. Bis dahin spielt die Demo-Kamera.</translation>
    </message>
    <message>
        <source>Frostwipe runs in a sandbox and can reach the camera only through the desktop&apos;s camera portal, which did not answer.

Install xdg-desktop-portal with the portal of your desktop, then start Frostwipe again. Until then the demo camera plays.</source>
        <translation>Frostwipe läuft in einer Sandbox und erreicht die Kamera nur über das Kamera-Portal des Desktops, das nicht geantwortet hat.

Installieren Sie xdg-desktop-portal mit dem Portal Ihres Desktops und starten Sie Frostwipe dann neu. Bis dahin spielt die Demo-Kamera.</translation>
    </message>
</context>
<context>
    <name>PropertyFrame</name>
    <message>
        <source>%1 — Picture</source>
        <translation>%1 — Bild</translation>
    </message>
    <message>
        <source>%1 — Video format</source>
        <translation>%1 — Videoformat</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>Gerät</translation>
    </message>
</context>
<context>
    <name>PropertyPage</name>
    <message>
        <source>Image controls</source>
        <translation>Bildeinstellungen</translation>
    </message>
    <message>
        <source>Camera controls</source>
        <translation>Kameraeinstellungen</translation>
    </message>
    <message>
        <source>Video format</source>
        <translation>Videoformat</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Automatisch</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>%1 automatic</source>
        <translation>%1 automatisch</translation>
    </message>
    <message>
        <source>Colour</source>
        <translation>Farbe</translation>
    </message>
    <message>
        <source>White balance</source>
        <translation>Weißabgleich</translation>
    </message>
    <message>
        <source>Backlight compensation</source>
        <translation>Gegenlichtausgleich</translation>
    </message>
    <message>
        <source>Power line frequency</source>
        <translation>Netzfrequenz</translation>
    </message>
    <message>
        <source>Brightness</source>
        <translation>Helligkeit</translation>
    </message>
    <message>
        <source>Contrast</source>
        <translation>Kontrast</translation>
    </message>
    <message>
        <source>Hue</source>
        <translation>Farbton</translation>
    </message>
    <message>
        <source>Saturation</source>
        <translation>Sättigung</translation>
    </message>
    <message>
        <source>Sharpness</source>
        <translation>Schärfe</translation>
    </message>
    <message>
        <source>Gamma</source>
        <translation>Gamma</translation>
    </message>
    <message>
        <source>Gain</source>
        <translation>Verstärkung</translation>
    </message>
    <message>
        <source>Pan</source>
        <translation>Schwenken</translation>
    </message>
    <message>
        <source>Tilt</source>
        <translation>Neigen</translation>
    </message>
    <message>
        <source>Roll</source>
        <translation>Drehen</translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation>Zoom</translation>
    </message>
    <message>
        <source>Exposure</source>
        <translation>Belichtung</translation>
    </message>
    <message>
        <source>Iris</source>
        <translation>Blende</translation>
    </message>
    <message>
        <source>Focus</source>
        <translation>Fokus</translation>
    </message>
    <message>
        <source>Video Format:</source>
        <translation>Videoformat:</translation>
    </message>
    <message>
        <source>Output Size:</source>
        <translation>Bildgröße:</translation>
    </message>
    <message>
        <source>Frame Rate:</source>
        <translation>Bildrate:</translation>
    </message>
    <message>
        <source> frames per second</source>
        <translation> Bilder pro Sekunde</translation>
    </message>
    <message>
        <source>The device offers no such format.</source>
        <translation>Das Gerät bietet dieses Format nicht an.</translation>
    </message>
    <message>
        <source>The device refused this format (0x%1).</source>
        <translation>Das Gerät hat dieses Format abgelehnt (0x%1).</translation>
    </message>
</context>
<context>
    <name>TCaptureCore</name>
    <message>
        <source>The camera sends no usable picture. Check that it works in another program, or choose another camera or video size.</source>
        <translation>Die Kamera liefert kein brauchbares Bild. Prüfen Sie, ob sie in einem anderen Programm funktioniert, oder wählen Sie eine andere Kamera oder Videogröße.</translation>
    </message>
    <message>
        <source>Your settings could not be saved as the game closed, so they will not be remembered next time. Another program may be using the settings file, or the disk may be full:</source>
        <translation>Ihre Einstellungen konnten beim Beenden des Spiels nicht gespeichert werden, daher sind sie beim nächsten Mal nicht mehr da. Vielleicht benutzt ein anderes Programm die Einstellungsdatei, oder der Datenträger ist voll:</translation>
    </message>
    <message>
        <source>Your settings could not be kept:</source>
        <translation>Ihre Einstellungen konnten nicht gespeichert werden:</translation>
    </message>
    <message>
        <source>The camera was unplugged. Plug it back in, then press Start again.</source>
        <translation>Die Kamera wurde abgezogen. Stecken Sie sie wieder ein und drücken Sie dann erneut auf Start.</translation>
    </message>
    <message>
        <source>The camera is in use by another program. Close that program, then press Start again.</source>
        <translation>Die Kamera wird von einem anderen Programm benutzt. Schließen Sie dieses Programm und drücken Sie dann erneut auf Start.</translation>
    </message>
    <message>
        <source>Frostwipe may not use the camera. Ask whoever looks after this computer to give you access to the camera (the &quot;video&quot; group), then log in again.</source>
        <translation>Frostwipe darf die Kamera nicht benutzen. Bitten Sie die Person, die diesen Computer betreut, Ihnen Zugriff auf die Kamera zu geben (die Gruppe „video“), und melden Sie sich dann erneut an.</translation>
    </message>
    <message>
        <source>The camera could not be started. Check that it is plugged in, or choose another camera in Options, Video settings.</source>
        <translation>Die Kamera konnte nicht gestartet werden. Prüfen Sie, ob sie eingesteckt ist, oder wählen Sie unter Optionen, Videoeinstellungen eine andere Kamera.</translation>
    </message>
</context>
<context>
    <name>TFormAbout</name>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <source>Frostwipe v.1.0</source>
        <translation>Frostwipe v.1.0</translation>
    </message>
    <message>
        <source>Email:</source>
        <translation>E-Mail:</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Interact with your computer using no mouse and no keyboard by simple hand waving in the air before the camera.</source>
        <translation>Bediene deinen Computer ohne Maus und ohne Tastatur, einfach indem du vor der Kamera mit den Händen winkst.</translation>
    </message>
    <message>
        <source>The goal of the game is to clean the ice from the window before the window freezes back.</source>
        <translation>Ziel des Spiels ist es, das Eis vom Fenster zu wischen, bevor es wieder zufriert.</translation>
    </message>
    <message>
        <source>The game is perfect for children of small age, who still don&apos;t have skills how to use keyboard or the mouse.</source>
        <translation>Das Spiel ist ideal für kleine Kinder, die Tastatur und Maus noch nicht bedienen können.</translation>
    </message>
    <message>
        <source>Improves physical coordination and provides a lot of fun.</source>
        <translation>Fördert die Körperkoordination und macht viel Spaß.</translation>
    </message>
    <message>
        <source>The program requires video capture device (e.g. web camera).</source>
        <translation>Das Programm braucht ein Videoaufnahmegerät (z. B. eine Webcam).</translation>
    </message>
    <message>
        <source>Unable to start web browser.</source>
        <translation>Der Webbrowser konnte nicht gestartet werden.</translation>
    </message>
    <message>
        <source>Unable to start mail client.</source>
        <translation>Das E-Mail-Programm konnte nicht gestartet werden.</translation>
    </message>
    <message>
        <source>Opens the web site in the browser</source>
        <translation>Öffnet die Webseite im Browser</translation>
    </message>
    <message>
        <source>Writes a mail to the maker</source>
        <translation>Schreibt dem Hersteller eine E-Mail</translation>
    </message>
    <message>
        <source>About the game</source>
        <translation>Über das Spiel</translation>
    </message>
    <message>
        <source>Frostwipe logo</source>
        <translation>Frostwipe-Logo</translation>
    </message>
</context>
<context>
    <name>TPlayerMessage</name>
    <message>
        <source>No camera was found. Connect a webcam, then press Start.</source>
        <translation>Es wurde keine Kamera gefunden. Schließen Sie eine Webcam an und drücken Sie dann auf Start.</translation>
    </message>
    <message>
        <source>Press Start, then wipe the window with your finger or the mouse.</source>
        <translation>Drücken Sie auf Start und wischen Sie dann mit dem Finger oder der Maus über das Fenster.</translation>
    </message>
    <message>
        <source>Press Start: the demo camera&apos;s moving picture wipes the ice.</source>
        <translation>Drücken Sie auf Start: Das bewegte Bild der Demo-Kamera wischt das Eis weg.</translation>
    </message>
    <message>
        <source>Press Start, then wave your hands in front of the camera.</source>
        <translation>Drücken Sie auf Start und winken Sie dann mit den Händen vor der Kamera.</translation>
    </message>
    <message>
        <source>Demo camera: no real camera is in use.</source>
        <translation>Demo-Kamera: Es wird keine echte Kamera benutzt.</translation>
    </message>
    <message>
        <source>A camera is connected, but Frostwipe may not use it. Ask whoever looks after this computer to give you access to the camera (the &quot;video&quot; group), then log in again.</source>
        <translation>Eine Kamera ist angeschlossen, aber Frostwipe darf sie nicht benutzen. Bitten Sie die Person, die diesen Computer betreut, Ihnen Zugriff auf die Kamera zu geben (die Gruppe „video“), und melden Sie sich dann erneut an.</translation>
    </message>
</context>
<context>
    <name>TTouchWipe</name>
    <message>
        <source>Wipe the window with your finger or the mouse. Keyboard: the arrow keys move the sponge, Space starts or stops wiping.</source>
        <translation>Wischen Sie mit dem Finger oder der Maus über das Fenster. Tastatur: Die Pfeiltasten bewegen den Schwamm, die Leertaste beginnt oder beendet das Wischen.</translation>
    </message>
    <message>
        <source>Wipe the window with your finger or the mouse</source>
        <translation>Wischen Sie mit dem Finger oder der Maus über das Fenster</translation>
    </message>
</context>
<context>
    <name>TVideoCaptureForm</name>
    <message>
        <source>Frostwipe</source>
        <translation>Frostwipe</translation>
    </message>
    <message>
        <source>Camera sensitivity</source>
        <translation>Kamera-Empfindlichkeit</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Picture</source>
        <translation>Bild</translation>
    </message>
    <message>
        <source>Picture </source>
        <translation>Bild </translation>
    </message>
    <message>
        <source>Freezing speed</source>
        <translation>Gefriertempo</translation>
    </message>
    <message>
        <source>Video device</source>
        <translation>Videogerät</translation>
    </message>
    <message>
        <source>Video size</source>
        <translation>Videogröße</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>Gerät</translation>
    </message>
    <message>
        <source>Stream</source>
        <translation>Datenstrom</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Options</source>
        <translation>&amp;Optionen</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;Video settings</source>
        <translation>&amp;Videoeinstellungen</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>Ü&amp;ber</translation>
    </message>
    <message>
        <source>Congratulations !</source>
        <translation>Glückwunsch!</translation>
    </message>
    <message>
        <source>Window is cleaned.</source>
        <translation>Das Fenster ist sauber.</translation>
    </message>
    <message>
        <source>Live camera picture</source>
        <translation>Live-Kamerabild</translation>
    </message>
    <message>
        <source>What the camera sees; movement in it wipes the ice away</source>
        <translation>Was die Kamera sieht; Bewegung darin wischt das Eis weg</translation>
    </message>
    <message>
        <source>Iced window</source>
        <translation>Vereistes Fenster</translation>
    </message>
    <message>
        <source>How much of the window is clean, in percent</source>
        <translation>Wie viel des Fensters sauber ist, in Prozent</translation>
    </message>
    <message>
        <source>Higher: smaller movements wipe the ice</source>
        <translation>Höher: schon kleine Bewegungen wischen das Eis weg</translation>
    </message>
    <message>
        <source>Higher: the ice grows back faster</source>
        <translation>Höher: das Eis wächst schneller nach</translation>
    </message>
    <message>
        <source>Left and right arrow keys choose the picture</source>
        <translation>Die Pfeiltasten links und rechts wählen das Bild</translation>
    </message>
    <message>
        <source>Previous picture</source>
        <translation>Vorheriges Bild</translation>
    </message>
    <message>
        <source>Next picture</source>
        <translation>Nächstes Bild</translation>
    </message>
</context>
<context>
    <name>TVideoSetingsForm</name>
    <message>
        <source>Video settings</source>
        <translation>Videoeinstellungen</translation>
    </message>
    <message>
        <source>Video device</source>
        <translation>Videogerät</translation>
    </message>
    <message>
        <source>Video size</source>
        <translation>Videogröße</translation>
    </message>
    <message>
        <source>Video size (warning: only 320 x 240 supported)</source>
        <translation>Videogröße (Achtung: nur 320 x 240 unterstützt)</translation>
    </message>
    <message>
        <source>Stream</source>
        <translation>Datenstrom</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>Gerät</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Flip horizontal</source>
        <translation>Horizontal spiegeln</translation>
    </message>
</context>
</TS>
