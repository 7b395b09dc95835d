<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>FilterLibrary</name>
    <message>
        <source>The camera picture cannot be shown: the video filters could not be prepared.

%1</source>
        <translation>L&apos;image de la caméra ne peut pas être affichée : les filtres vidéo n&apos;ont pas pu être préparés.

%1</translation>
    </message>
</context>
<context>
    <name>PipeWireConnection</name>
    <message>
        <source>Frostwipe may not use the camera: access to it was denied.

Allow Frostwipe to use the camera in your desktop&apos;s settings (Privacy, Camera), then start Frostwipe again. Until then the demo camera plays.</source>
        <translation>Frostwipe n&apos;a pas le droit d&apos;utiliser la caméra : l&apos;accès a été refusé.

Autorisez Frostwipe à utiliser la caméra dans les paramètres de votre bureau (Confidentialité, Caméra), puis relancez Frostwipe. En attendant, la caméra de démonstration joue.</translation>
    </message>
    <message>
        <source>Frostwipe runs in a sandbox and can reach the camera only through the desktop&apos;s camera portal, which did not answer.

Install xdg-desktop-portal with the portal of your desktop, then start Frostwipe again. Until then the demo camera plays.</source>
        <translation>Frostwipe s&apos;exécute dans un bac à sable et ne peut atteindre la caméra que par le portail caméra du bureau, qui n&apos;a pas répondu.

Installez xdg-desktop-portal avec le portail de votre bureau, puis relancez Frostwipe. En attendant, la caméra de démonstration joue.</translation>
    </message>
</context>
<context>
    <name>PropertyFrame</name>
    <message>
        <source>%1 — Picture</source>
        <translation>%1 — Image</translation>
    </message>
    <message>
        <source>%1 — Video format</source>
        <translation>%1 — Format vidéo</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>Périphérique</translation>
    </message>
</context>
<context>
    <name>PropertyPage</name>
    <message>
        <source>Image controls</source>
        <translation>Réglages de l&apos;image</translation>
    </message>
    <message>
        <source>Camera controls</source>
        <translation>Réglages de la caméra</translation>
    </message>
    <message>
        <source>Video format</source>
        <translation>Format vidéo</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>Par défaut</translation>
    </message>
    <message>
        <source>%1 automatic</source>
        <translation>%1 automatique</translation>
    </message>
    <message>
        <source>Colour</source>
        <translation>Couleur</translation>
    </message>
    <message>
        <source>White balance</source>
        <translation>Balance des blancs</translation>
    </message>
    <message>
        <source>Backlight compensation</source>
        <translation>Compensation du contre-jour</translation>
    </message>
    <message>
        <source>Power line frequency</source>
        <translation>Fréquence du secteur</translation>
    </message>
    <message>
        <source>Brightness</source>
        <translation>Luminosité</translation>
    </message>
    <message>
        <source>Contrast</source>
        <translation>Contraste</translation>
    </message>
    <message>
        <source>Hue</source>
        <translation>Teinte</translation>
    </message>
    <message>
        <source>Saturation</source>
        <translation>Saturation</translation>
    </message>
    <message>
        <source>Sharpness</source>
        <translation>Netteté</translation>
    </message>
    <message>
        <source>Gamma</source>
        <translation>Gamma</translation>
    </message>
    <message>
        <source>Gain</source>
        <translation>Gain</translation>
    </message>
    <message>
        <source>Pan</source>
        <translation>Panoramique</translation>
    </message>
    <message>
        <source>Tilt</source>
        <translation>Inclinaison</translation>
    </message>
    <message>
        <source>Roll</source>
        <translation>Rotation</translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation>Zoom</translation>
    </message>
    <message>
        <source>Exposure</source>
        <translation>Exposition</translation>
    </message>
    <message>
        <source>Iris</source>
        <translation>Diaphragme</translation>
    </message>
    <message>
        <source>Focus</source>
        <translation>Mise au point</translation>
    </message>
    <message>
        <source>Video Format:</source>
        <translation>Format vidéo :</translation>
    </message>
    <message>
        <source>Output Size:</source>
        <translation>Taille de l&apos;image :</translation>
    </message>
    <message>
        <source>Frame Rate:</source>
        <translation>Fréquence d&apos;images :</translation>
    </message>
    <message>
        <source> frames per second</source>
        <translation> images par seconde</translation>
    </message>
    <message>
        <source>The device offers no such format.</source>
        <translation>Le périphérique ne propose pas ce format.</translation>
    </message>
    <message>
        <source>The device refused this format (0x%1).</source>
        <translation>Le périphérique a refusé ce format (0x%1).</translation>
    </message>
</context>
<context>
    <name>TCaptureCore</name>
    <message>
        <source>The camera sends no usable picture. Check that it works in another program, or choose another camera or video size.</source>
        <translation>La caméra n&apos;envoie aucune image utilisable. Vérifiez qu&apos;elle fonctionne dans un autre programme, ou choisissez une autre caméra ou une autre taille vidéo.</translation>
    </message>
    <message>
        <source>Your settings could not be saved as the game closed, so they will not be remembered next time. Another program may be using the settings file, or the disk may be full:</source>
        <translation>Vos réglages n’ont pas pu être enregistrés à la fermeture du jeu : ils ne seront pas retrouvés la prochaine fois. Un autre programme utilise peut-être le fichier de réglages, ou le disque est plein :</translation>
    </message>
    <message>
        <source>Your settings could not be kept:</source>
        <translation>Vos réglages n’ont pas pu être conservés :</translation>
    </message>
    <message>
        <source>The camera was unplugged. Plug it back in, then press Start again.</source>
        <translation>La caméra a été débranchée. Rebranchez-la, puis appuyez de nouveau sur Démarrer.</translation>
    </message>
    <message>
        <source>The camera is in use by another program. Close that program, then press Start again.</source>
        <translation>La caméra est utilisée par un autre programme. Fermez ce programme, puis appuyez de nouveau sur Démarrer.</translation>
    </message>
    <message>
        <source>Frostwipe may not use the camera. Ask whoever looks after this computer to give you access to the camera (the &quot;video&quot; group), then log in again.</source>
        <translation>Frostwipe n’a pas le droit d’utiliser la caméra. Demandez à la personne qui s’occupe de cet ordinateur de vous donner accès à la caméra (le groupe « video »), puis reconnectez-vous.</translation>
    </message>
    <message>
        <source>The camera could not be started. Check that it is plugged in, or choose another camera in Options, Video settings.</source>
        <translation>La caméra n’a pas pu être démarrée. Vérifiez qu’elle est branchée, ou choisissez une autre caméra dans Options, Réglages vidéo.</translation>
    </message>
</context>
<context>
    <name>TFormAbout</name>
    <message>
        <source>About</source>
        <translation>À propos</translation>
    </message>
    <message>
        <source>Frostwipe v.1.0</source>
        <translation>Frostwipe v.1.0</translation>
    </message>
    <message>
        <source>Email:</source>
        <translation>Courriel :</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Interact with your computer using no mouse and no keyboard by simple hand waving in the air before the camera.</source>
        <translation>Utilise ton ordinateur sans souris ni clavier, simplement en agitant les mains devant la caméra.</translation>
    </message>
    <message>
        <source>The goal of the game is to clean the ice from the window before the window freezes back.</source>
        <translation>Le but du jeu est d&apos;enlever la glace de la fenêtre avant qu&apos;elle ne gèle à nouveau.</translation>
    </message>
    <message>
        <source>The game is perfect for children of small age, who still don&apos;t have skills how to use keyboard or the mouse.</source>
        <translation>Le jeu est parfait pour les jeunes enfants qui ne savent pas encore utiliser le clavier ou la souris.</translation>
    </message>
    <message>
        <source>Improves physical coordination and provides a lot of fun.</source>
        <translation>Améliore la coordination des mouvements et procure beaucoup de plaisir.</translation>
    </message>
    <message>
        <source>The program requires video capture device (e.g. web camera).</source>
        <translation>Le programme nécessite un périphérique de capture vidéo (par ex. une webcam).</translation>
    </message>
    <message>
        <source>Unable to start web browser.</source>
        <translation>Impossible de lancer le navigateur web.</translation>
    </message>
    <message>
        <source>Unable to start mail client.</source>
        <translation>Impossible de lancer le client de messagerie.</translation>
    </message>
    <message>
        <source>Opens the web site in the browser</source>
        <translation>Ouvre le site web dans le navigateur</translation>
    </message>
    <message>
        <source>Writes a mail to the maker</source>
        <translation>Écrit un courriel à l&apos;auteur</translation>
    </message>
    <message>
        <source>About the game</source>
        <translation>À propos du jeu</translation>
    </message>
    <message>
        <source>Frostwipe logo</source>
        <translation>Logo de Frostwipe</translation>
    </message>
</context>
<context>
    <name>TPlayerMessage</name>
    <message>
        <source>No camera was found. Connect a webcam, then press Start.</source>
        <translation>Aucune caméra n’a été trouvée. Branchez une webcam, puis appuyez sur Démarrer.</translation>
    </message>
    <message>
        <source>Press Start, then wipe the window with your finger or the mouse.</source>
        <translation>Appuyez sur Démarrer, puis essuyez la fenêtre avec le doigt ou la souris.</translation>
    </message>
    <message>
        <source>Press Start: the demo camera&apos;s moving picture wipes the ice.</source>
        <translation>Appuyez sur Démarrer : l’image animée de la caméra de démonstration essuie le givre.</translation>
    </message>
    <message>
        <source>Press Start, then wave your hands in front of the camera.</source>
        <translation>Appuyez sur Démarrer, puis agitez les mains devant la caméra.</translation>
    </message>
    <message>
        <source>Demo camera: no real camera is in use.</source>
        <translation>Caméra de démonstration : aucune vraie caméra n’est utilisée.</translation>
    </message>
    <message>
        <source>A camera is connected, but Frostwipe may not use it. Ask whoever looks after this computer to give you access to the camera (the &quot;video&quot; group), then log in again.</source>
        <translation>Une caméra est branchée, mais Frostwipe n’a pas le droit de l’utiliser. Demandez à la personne qui s’occupe de cet ordinateur de vous donner accès à la caméra (le groupe « video »), puis reconnectez-vous.</translation>
    </message>
</context>
<context>
    <name>TTouchWipe</name>
    <message>
        <source>Wipe the window with your finger or the mouse. Keyboard: the arrow keys move the sponge, Space starts or stops wiping.</source>
        <translation>Essuyez la fenêtre avec le doigt ou la souris. Clavier : les flèches déplacent l’éponge, Espace commence ou arrête d’essuyer.</translation>
    </message>
    <message>
        <source>Wipe the window with your finger or the mouse</source>
        <translation>Essuyez la fenêtre avec le doigt ou la souris</translation>
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
        <translation>Sensibilité de la caméra</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Démarrer</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Arrêter</translation>
    </message>
    <message>
        <source>Picture</source>
        <translation>Image</translation>
    </message>
    <message>
        <source>Picture </source>
        <translation>Image </translation>
    </message>
    <message>
        <source>Freezing speed</source>
        <translation>Vitesse du gel</translation>
    </message>
    <message>
        <source>Video device</source>
        <translation>Périphérique vidéo</translation>
    </message>
    <message>
        <source>Video size</source>
        <translation>Taille vidéo</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>Périphérique</translation>
    </message>
    <message>
        <source>Stream</source>
        <translation>Flux</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Fichier</translation>
    </message>
    <message>
        <source>&amp;Options</source>
        <translation>&amp;Options</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Aide</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Quitter</translation>
    </message>
    <message>
        <source>&amp;Video settings</source>
        <translation>Réglages &amp;vidéo</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>À &amp;propos</translation>
    </message>
    <message>
        <source>Congratulations !</source>
        <translation>Bravo !</translation>
    </message>
    <message>
        <source>Window is cleaned.</source>
        <translation>La fenêtre est propre.</translation>
    </message>
    <message>
        <source>Live camera picture</source>
        <translation>Image de la caméra en direct</translation>
    </message>
    <message>
        <source>What the camera sees; movement in it wipes the ice away</source>
        <translation>Ce que voit la caméra ; les mouvements y essuient la glace</translation>
    </message>
    <message>
        <source>Iced window</source>
        <translation>Fenêtre givrée</translation>
    </message>
    <message>
        <source>How much of the window is clean, in percent</source>
        <translation>Part propre de la fenêtre, en pour cent</translation>
    </message>
    <message>
        <source>Higher: smaller movements wipe the ice</source>
        <translation>Plus haut : de petits mouvements suffisent à essuyer la glace</translation>
    </message>
    <message>
        <source>Higher: the ice grows back faster</source>
        <translation>Plus haut : la glace revient plus vite</translation>
    </message>
    <message>
        <source>Left and right arrow keys choose the picture</source>
        <translation>Les flèches gauche et droite choisissent l&apos;image</translation>
    </message>
    <message>
        <source>Previous picture</source>
        <translation>Image précédente</translation>
    </message>
    <message>
        <source>Next picture</source>
        <translation>Image suivante</translation>
    </message>
</context>
<context>
    <name>TVideoSetingsForm</name>
    <message>
        <source>Video settings</source>
        <translation>Réglages vidéo</translation>
    </message>
    <message>
        <source>Video device</source>
        <translation>Périphérique vidéo</translation>
    </message>
    <message>
        <source>Video size</source>
        <translation>Taille vidéo</translation>
    </message>
    <message>
        <source>Video size (warning: only 320 x 240 supported)</source>
        <translation>Taille vidéo (attention : seul 320 x 240 est pris en charge)</translation>
    </message>
    <message>
        <source>Stream</source>
        <translation>Flux</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>Périphérique</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Flip horizontal</source>
        <translation>Miroir horizontal</translation>
    </message>
</context>
</TS>
