<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>AboutDlg</name>
    <message>
        <source>About Tarnlow</source>
        <translation>À propos de Tarnlow</translation>
    </message>
    <message>
        <source>Tarnlow Version 1.02</source>
        <translation>Tarnlow version 1.02</translation>
    </message>
    <message>
        <source>Copyright © 2026 Tarnlow maintainers

This program comes with ABSOLUTELY NO WARRANTY. It is free software: you may redistribute it and/or modify it under the terms of the GNU General Public License, version 3 or (at your option) any later version (GPL-3.0-or-later). Read the licence at https://www.gnu.org/licenses/gpl-3.0.html</source>
        <translation>Copyright © 2026 Tarnlow maintainers

Ce programme est fourni SANS AUCUNE GARANTIE. C&apos;est un logiciel libre&#xa0;: vous pouvez le redistribuer et/ou le modifier selon les termes de la licence publique générale GNU, version 3 ou (à votre choix) toute version ultérieure (GPL-3.0-or-later). La licence se trouve à l&apos;adresse https://www.gnu.org/licenses/gpl-3.0.html</translation>
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
Licence GPLv3+&#xa0;: GNU GPL version 3 ou ultérieure &lt;https://gnu.org/licenses/gpl.html&gt;.
Ceci est un logiciel libre&#xa0;: vous êtes libre de le modifier et de le redistribuer.
Il n&apos;y a AUCUNE GARANTIE, dans les limites permises par la loi.
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
        <translation>Utilisation&#xa0;: tarnlow [OPTION]... [CHEMIN]...
Ouvre la fenêtre de Tarnlow. Chaque CHEMIN, un fichier ou un dossier local, est
envoyé au site 1 dès que la fenêtre s&apos;ouvre, les dossiers avec tout leur contenu.

  -h, --help     afficher ce texte et quitter
      --version  afficher la version et la licence et quitter
      --         fin des options&#xa0;: chaque argument qui suit est un CHEMIN, même
                 s&apos;il commence par «&#xa0;-&#xa0;» (ce qui peut aussi s&apos;écrire ./-nom)

Les options peuvent figurer n&apos;importe où avant --. La première option
décide&#xa0;: avec --help ou --version, l&apos;aide ou la version est affichée, les
autres arguments ne sont pas utilisés et aucune fenêtre ne s&apos;ouvre. Les options
propres à Qt (-platform NOM, -style NOM, -session ID, ...) sont transmises à Qt.

Code de sortie&#xa0;: 0 si la fenêtre a été fermée ou le texte affiché&#xa0;; 1 si aucun
affichage n&apos;a pu être atteint ou si le texte n&apos;a pas pu être écrit&#xa0;; 2 pour une
option inconnue&#xa0;; 128 plus le numéro du signal si SIGTERM, SIGINT ou SIGHUP a
fermé la fenêtre.

Les cinq profils de site sont conservés dans
$XDG_CONFIG_HOME/Tarnlow/FTPSettings.dat, le dossier de téléchargement dans le
réglage Path de $XDG_CONFIG_HOME/Halvorn/Tarnlow.conf (XDG_CONFIG_HOME vaut
~/.config s&apos;il n&apos;est pas défini).

Page d&apos;aide&#xa0;: %1
Plus d&apos;informations dans la page de manuel&#xa0;: man tarnlow
</translation>
    </message>
    <message>
        <source>tarnlow: unrecognized option &apos;%1&apos;
Try &apos;tarnlow --help&apos; for more information.
</source>
        <translation>tarnlow&#xa0;: option non reconnue «&#xa0;%1&#xa0;»
Saisissez «&#xa0;tarnlow --help&#xa0;» pour plus d&apos;informations.
</translation>
    </message>
</context>
<context>
    <name>Download</name>
    <message>
        <source>Could not transfer file to this location - File Exists!</source>
        <translation>Impossible de transférer le fichier à cet emplacement – le fichier existe déjà&#xa0;!</translation>
    </message>
    <message>
        <source>%1 cannot be a file name in the download folder.</source>
        <translation>%1 ne peut pas être un nom de fichier dans le dossier de téléchargement.</translation>
    </message>
    <message>
        <source>%1 exists already.</source>
        <translation>%1 existe déjà.</translation>
    </message>
    <message>
        <source>No free name for the part file of %1 in %2.</source>
        <translation>Aucun nom libre pour le fichier partiel de %1 dans %2.</translation>
    </message>
    <message>
        <source>%1 appeared while it was fetched; it was left as it is.</source>
        <translation>%1 est apparu pendant la réception&#xa0;; il a été laissé tel quel.</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1&#xa0;: %2</translation>
    </message>
</context>
<context>
    <name>FtpClientConnection</name>
    <message>
        <source>The username or password holds a line break or a NUL character.</source>
        <translation>Le nom d&apos;utilisateur ou le mot de passe contient un saut de ligne ou un caractère NUL.</translation>
    </message>
    <message>
        <source>The server&apos;s greeting could not be understood.</source>
        <translation>Le message d&apos;accueil du serveur est incompréhensible.</translation>
    </message>
    <message>
        <source>The server did not greet within %1 s.</source>
        <translation>Le serveur n&apos;a pas envoyé d&apos;accueil en %1&#xa0;s.</translation>
    </message>
    <message>
        <source>The operation was stopped.</source>
        <translation>L&apos;opération a été interrompue.</translation>
    </message>
    <message>
        <source>The server did not accept the connection within %1 s.</source>
        <translation>Le serveur n&apos;a pas accepté la connexion en %1&#xa0;s.</translation>
    </message>
    <message>
        <source>The directory name is empty or holds a line break.</source>
        <translation>Le nom du dossier est vide ou contient un saut de ligne.</translation>
    </message>
    <message>
        <source>No local port for the data connection: %1</source>
        <translation>Aucun port local pour la connexion de données&#xa0;: %1</translation>
    </message>
    <message>
        <source>The data connection&apos;s address cannot be given to the server.</source>
        <translation>L&apos;adresse de la connexion de données ne peut pas être communiquée au serveur.</translation>
    </message>
    <message>
        <source>The server did not open the data connection within %1 s.</source>
        <translation>Le serveur n&apos;a pas ouvert la connexion de données en %1&#xa0;s.</translation>
    </message>
    <message>
        <source>The server took no data for %1 s.</source>
        <translation>Le serveur n&apos;a accepté aucune donnée pendant %1&#xa0;s.</translation>
    </message>
    <message>
        <source>No data arrived for %1 s.</source>
        <translation>Aucune donnée n&apos;est arrivée pendant %1&#xa0;s.</translation>
    </message>
    <message numerus="yes">
        <source>The server has %1 bytes where %2 were expected.</source>
        <translation>
            <numerusform>Le serveur a %1 octet alors que %2 étaient attendus.</numerusform>
            <numerusform>Le serveur a %1 octets alors que %2 étaient attendus.</numerusform>
        </translation>
    </message>
    <message>
        <source>The name is empty or holds a line break.</source>
        <translation>Le nom est vide ou contient un saut de ligne.</translation>
    </message>
    <message>
        <source>%1 exists already.</source>
        <translation>%1 existe déjà.</translation>
    </message>
    <message>
        <source>The server refused binary transfers (TYPE I).</source>
        <translation>Le serveur a refusé les transferts binaires (TYPE I).</translation>
    </message>
    <message numerus="yes">
        <source>The file changed while it was sent: %1 of %2 bytes.</source>
        <translation>
            <numerusform>Le fichier a changé pendant l&apos;envoi&#xa0;: %1 sur %2 octet.</numerusform>
            <numerusform>Le fichier a changé pendant l&apos;envoi&#xa0;: %1 sur %2 octets.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Only %1 of %2 bytes arrived.</source>
        <translation>
            <numerusform>Seulement %1 sur %2 octet reçu.</numerusform>
            <numerusform>Seulement %1 sur %2 octets reçus.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 holds %2 bytes where %3 arrived.</source>
        <translation>
            <numerusform>%1 contient %2 octet alors que %3 sont arrivés.</numerusform>
            <numerusform>%1 contient %2 octets alors que %3 sont arrivés.</numerusform>
        </translation>
    </message>
    <message>
        <source>The directory name holds a line break.</source>
        <translation>Le nom du dossier contient un saut de ligne.</translation>
    </message>
    <message>
        <source>The listing is too large.</source>
        <translation>La liste du dossier est trop grande.</translation>
    </message>
</context>
<context>
    <name>FtpControlChannel</name>
    <message>
        <source>The operation was stopped.</source>
        <translation>L&apos;opération a été interrompue.</translation>
    </message>
    <message>
        <source>The server closed the connection.</source>
        <translation>Le serveur a fermé la connexion.</translation>
    </message>
    <message>
        <source>The connection to the server failed.</source>
        <translation>La connexion au serveur a échoué.</translation>
    </message>
    <message>
        <source>The server sent &quot;%1&quot;, which answers no command.</source>
        <translation>Le serveur a envoyé «&#xa0;%1&#xa0;», qui ne répond à aucune commande.</translation>
    </message>
    <message>
        <source>The name holds a line break or a NUL character.</source>
        <translation>Le nom contient un saut de ligne ou un caractère NUL.</translation>
    </message>
    <message>
        <source>The server took no commands for %1 s.</source>
        <translation>Le serveur n&apos;a accepté aucune commande pendant %1&#xa0;s.</translation>
    </message>
    <message>
        <source>The server did not answer within %1 s.</source>
        <translation>Le serveur n&apos;a pas répondu en %1&#xa0;s.</translation>
    </message>
    <message>
        <source>The server did not answer %1 within %2 s.</source>
        <translation>Le serveur n&apos;a pas répondu à %1 en %2&#xa0;s.</translation>
    </message>
    <message>
        <source>The server&apos;s reply could not be understood.</source>
        <translation>La réponse du serveur est incompréhensible.</translation>
    </message>
    <message>
        <source>The server&apos;s reply &quot;%1&quot; does not answer %2.</source>
        <translation>La réponse du serveur «&#xa0;%1&#xa0;» ne correspond pas à %2.</translation>
    </message>
    <message>
        <source>The server kept answering without finishing.</source>
        <translation>Le serveur a continué de répondre sans jamais terminer.</translation>
    </message>
</context>
<context>
    <name>HelpWindow</name>
    <message>
        <source>Tarnlow Help</source>
        <translation>Aide de Tarnlow</translation>
    </message>
    <message>
        <source>No program was found to open %1.</source>
        <translation>Aucun programme n&apos;a été trouvé pour ouvrir %1.</translation>
    </message>
</context>
<context>
    <name>InternetSession</name>
    <message>
        <source>The address is empty.</source>
        <translation>L&apos;adresse est vide.</translation>
    </message>
    <message>
        <source>The name has no address.</source>
        <translation>Ce nom n&apos;a pas d&apos;adresse.</translation>
    </message>
    <message>
        <source>The operation was stopped.</source>
        <translation>L&apos;opération a été interrompue.</translation>
    </message>
    <message>
        <source>The address, username or password holds a line break or a NUL character.</source>
        <translation>L&apos;adresse, le nom d&apos;utilisateur ou le mot de passe contient un saut de ligne ou un caractère NUL.</translation>
    </message>
    <message>
        <source>Only active mode is available.</source>
        <translation>Seul le mode actif est disponible.</translation>
    </message>
</context>
<context>
    <name>LocalFile</name>
    <message>
        <source>%1 is not a file.</source>
        <translation>%1 n&apos;est pas un fichier.</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1&#xa0;: %2</translation>
    </message>
    <message>
        <source>It was replaced since the upload began.</source>
        <translation>Il a été remplacé depuis le début de l&apos;envoi.</translation>
    </message>
</context>
<context>
    <name>LocalTree</name>
    <message>
        <source>It is not a file that can be read.</source>
        <translation>Ce n&apos;est pas un fichier lisible.</translation>
    </message>
</context>
<context>
    <name>RemoteDelete</name>
    <message>
        <source>The directory contains files</source>
        <translation>Le dossier contient des fichiers</translation>
    </message>
    <message>
        <source>Could not delete file</source>
        <translation>Impossible de supprimer le fichier</translation>
    </message>
</context>
<context>
    <name>RemoteListModel</name>
    <message>
        <source>Folder</source>
        <translation>Dossier</translation>
    </message>
    <message>
        <source>Link</source>
        <translation>Lien</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Fichier</translation>
    </message>
</context>
<context>
    <name>SettingsFile</name>
    <message>
        <source>%1 is not a folder</source>
        <translation>%1 n&apos;est pas un dossier</translation>
    </message>
    <message>
        <source>Cannot create the folder %1: %2</source>
        <translation>Impossible de créer le dossier %1&#xa0;: %2</translation>
    </message>
    <message>
        <source>it is a folder</source>
        <translation>c&apos;est un dossier</translation>
    </message>
    <message>
        <source>Cannot create a file in %1: %2</source>
        <translation>Impossible de créer un fichier dans %1&#xa0;: %2</translation>
    </message>
    <message>
        <source>Cannot set the permissions of %1: %2</source>
        <translation>Impossible de définir les permissions de %1&#xa0;: %2</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>Impossible d&apos;écrire %1&#xa0;: %2</translation>
    </message>
    <message>
        <source>Cannot flush %1: %2</source>
        <translation>Impossible d&apos;écrire %1 sur le disque&#xa0;: %2</translation>
    </message>
    <message>
        <source>Cannot replace %1: %2</source>
        <translation>Impossible de remplacer %1&#xa0;: %2</translation>
    </message>
    <message>
        <source>Cannot follow the link %1: %2</source>
        <translation>Impossible de suivre le lien %1&#xa0;: %2</translation>
    </message>
    <message>
        <source>another save held it for more than %1 ms</source>
        <translation>un autre enregistrement l&apos;a tenu plus de %1&#xa0;ms</translation>
    </message>
</context>
<context>
    <name>SettingsStore</name>
    <message>
        <source>tarnlow: saving the site profiles without the lock %1: %2</source>
        <translation>tarnlow&#xa0;: enregistrement des profils de site sans le verrou %1&#xa0;: %2</translation>
    </message>
    <message>
        <source>The stored site profiles in %1 could not be read (%2).

The file is left as it is and will not be replaced when Tarnlow closes.</source>
        <translation>Les profils de site enregistrés dans %1 n&apos;ont pas pu être lus (%2).

Le fichier est laissé tel quel et ne sera pas remplacé à la fermeture de Tarnlow.</translation>
    </message>
    <message>
        <source>The stored site profiles in %1 could not be read (%2).

The file was moved to %3; the profiles entered now will be saved in a new file.</source>
        <translation>Les profils de site enregistrés dans %1 n&apos;ont pas pu être lus (%2).

Le fichier a été déplacé vers %3&#xa0;; les profils saisis maintenant seront enregistrés dans un nouveau fichier.</translation>
    </message>
    <message>
        <source>The stored site profiles in %1 are damaged: only the profiles before the damage were loaded.

No copy of the file could be made, so it will not be replaced when Tarnlow closes.</source>
        <translation>Les profils de site enregistrés dans %1 sont endommagés&#xa0;: seuls les profils situés avant le dommage ont été chargés.

Aucune copie du fichier n&apos;a pu être faite&#xa0;; il ne sera donc pas remplacé à la fermeture de Tarnlow.</translation>
    </message>
    <message>
        <source>The stored site profiles in %1 are damaged: only the profiles before the damage were loaded.

The original file was kept as %2.</source>
        <translation>Les profils de site enregistrés dans %1 sont endommagés&#xa0;: seuls les profils situés avant le dommage ont été chargés.

Le fichier d&apos;origine a été conservé sous %2.</translation>
    </message>
    <message>
        <source>the file found at start-up could not be kept</source>
        <translation>le fichier trouvé au démarrage n&apos;a pas pu être conservé</translation>
    </message>
    <message>
        <source>the file could not be read (%1) nor moved aside</source>
        <translation>le fichier n&apos;a pu être ni lu (%1) ni mis de côté</translation>
    </message>
    <message>
        <source>The stored site profiles in %1 could not be read when they were to be saved (%2).

The file was moved to %3; the profiles of this window were saved in a new file.</source>
        <translation>Les profils de site enregistrés dans %1 n&apos;ont pas pu être lus au moment de l&apos;enregistrement (%2).

Le fichier a été déplacé vers %3&#xa0;; les profils de cette fenêtre ont été enregistrés dans un nouveau fichier.</translation>
    </message>
    <message>
        <source>the file is damaged and no copy of it could be made</source>
        <translation>le fichier est endommagé et aucune copie n&apos;a pu en être faite</translation>
    </message>
    <message>
        <source>The stored site profiles in %1 were found damaged when they were to be saved.

The damaged file was kept as %2; what could still be read of it was saved, completed with the profiles of this window.</source>
        <translation>Les profils de site enregistrés dans %1 étaient endommagés au moment de l&apos;enregistrement.

Le fichier endommagé a été conservé sous %2&#xa0;; ce qui pouvait encore en être lu a été enregistré, complété par les profils de cette fenêtre.</translation>
    </message>
</context>
<context>
    <name>SiteConnection</name>
    <message>
        <source>Can&apos;t connect to FTP server - check the FTP username/password</source>
        <translation>Connexion au serveur FTP impossible – vérifiez l&apos;utilisateur/le mot de passe FTP</translation>
    </message>
    <message>
        <source>Can&apos;t connect to FTP server - check the FTP address</source>
        <translation>Connexion au serveur FTP impossible – vérifiez l&apos;adresse FTP</translation>
    </message>
    <message>
        <source>Can&apos;t connect to the FTP server</source>
        <translation>Connexion au serveur FTP impossible</translation>
    </message>
    <message>
        <source>Directory is not contained on FTP server - check the Directory</source>
        <translation>Le dossier n&apos;existe pas sur le serveur FTP – vérifiez le dossier</translation>
    </message>
</context>
<context>
    <name>TabPane</name>
    <message>
        <source>FTP Address</source>
        <translation>Adresse FTP</translation>
    </message>
    <message>
        <source>Username</source>
        <translation>Utilisateur</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Mot de passe</translation>
    </message>
    <message>
        <source>Directory</source>
        <translation>Dossier</translation>
    </message>
</context>
<context>
    <name>TarnlowApp</name>
    <message>
        <source>Windows sockets initialization failed.</source>
        <translation>L&apos;initialisation des sockets Windows a échoué.</translation>
    </message>
</context>
<context>
    <name>TarnlowDlg</name>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Quitter</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>À &amp;propos</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Aide</translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation>A&amp;ctualiser</translation>
    </message>
    <message>
        <source>H&amp;ome</source>
        <translation>Acc&amp;ueil</translation>
    </message>
    <message>
        <source>&amp;Delete File(s)</source>
        <translation>&amp;Supprimer</translation>
    </message>
    <message>
        <source>Do&amp;wnload</source>
        <translation>&amp;Télécharger</translation>
    </message>
    <message>
        <source>&amp;Browse</source>
        <translation>Pa&amp;rcourir</translation>
    </message>
    <message>
        <source>Ftp Site Selection</source>
        <translation>Choix du site FTP</translation>
    </message>
    <message>
        <source>Directory Listing</source>
        <translation>Contenu du dossier</translation>
    </message>
    <message>
        <source>Download Path</source>
        <translation>Destination</translation>
    </message>
    <message>
        <source>Now Transferring:</source>
        <translation>En cours&#xa0;:</translation>
    </message>
    <message>
        <source>Files Transfered:</source>
        <translation>Progression&#xa0;:</translation>
    </message>
    <message>
        <source>Percent Transferred</source>
        <translation>Pourcentage transféré</translation>
    </message>
    <message>
        <source>FTP Site 1 (Default)</source>
        <translation>Site 1 (par défaut)</translation>
    </message>
    <message>
        <source>FTP Site %1</source>
        <translation>Site %1</translation>
    </message>
    <message>
        <source>ERROR</source>
        <translation>ERREUR</translation>
    </message>
    <message>
        <source>The site profiles could not be saved.</source>
        <translation>Les profils de site n&apos;ont pas pu être enregistrés.</translation>
    </message>
    <message>
        <source>Quit the Tarnlow program?</source>
        <translation>Quitter le programme Tarnlow&#xa0;?</translation>
    </message>
    <message>
        <source>Quit Confirm</source>
        <translation>Confirmer la fermeture</translation>
    </message>
    <message>
        <source>Unable to open the help file. It was looked for in:
%1</source>
        <translation>Impossible d&apos;ouvrir le fichier d&apos;aide. Il a été cherché dans&#xa0;:
%1</translation>
    </message>
    <message>
        <source>Tarnlow Help</source>
        <translation>Aide de Tarnlow</translation>
    </message>
    <message>
        <source>FTP Error</source>
        <translation>Erreur FTP</translation>
    </message>
    <message>
        <source>Can&apos;t display the remote directory</source>
        <translation>Impossible d&apos;afficher le dossier distant</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Erreur</translation>
    </message>
    <message>
        <source>Delete the file(s)?</source>
        <translation>Supprimer le ou les fichiers&#xa0;?</translation>
    </message>
    <message>
        <source>Delete Confirm</source>
        <translation>Confirmer la suppression</translation>
    </message>
    <message>
        <source>You must supply the FTP Internet address</source>
        <translation>Vous devez indiquer l&apos;adresse Internet FTP</translation>
    </message>
    <message>
        <source>You must supply the FTP username</source>
        <translation>Vous devez indiquer le nom d&apos;utilisateur FTP</translation>
    </message>
    <message>
        <source>You must supply the FTP password</source>
        <translation>Vous devez indiquer le mot de passe FTP</translation>
    </message>
    <message>
        <source>Choose A Directory For FTP Download</source>
        <translation>Choisissez un dossier pour le téléchargement FTP</translation>
    </message>
    <message>
        <source>No download folder is given.</source>
        <translation>Aucun dossier de téléchargement n&apos;est indiqué.</translation>
    </message>
    <message>
        <source>%1 is not a folder.</source>
        <translation>%1 n&apos;est pas un dossier.</translation>
    </message>
    <message>
        <source>%1 does not exist.</source>
        <translation>%1 n&apos;existe pas.</translation>
    </message>
    <message>
        <source>Invalid directory for download, please reselect</source>
        <translation>Dossier de téléchargement non valide, veuillez en choisir un autre</translation>
    </message>
</context>
<context>
    <name>TransferDoneDlg</name>
    <message>
        <source>Transfer Information</source>
        <translation>Transfert</translation>
    </message>
    <message>
        <source>FTP File Transfer Complete</source>
        <translation>Transfert FTP terminé</translation>
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
        <translation>Impossible de transférer le fichier</translation>
    </message>
    <message>
        <source>It is no longer a folder.</source>
        <translation>Ce n&apos;est plus un dossier.</translation>
    </message>
    <message>
        <source>The server did not name the folder, so there is no way back to it.</source>
        <translation>Le serveur n&apos;a pas donné le nom du dossier, il n&apos;y a donc aucun moyen d&apos;y revenir.</translation>
    </message>
</context>
<context>
    <name>UploadPlan</name>
    <message>
        <source>It is a link that leads nowhere.</source>
        <translation>C&apos;est un lien qui ne mène nulle part.</translation>
    </message>
    <message>
        <source>It is a link to %1, outside the dropped folder.</source>
        <translation>C&apos;est un lien vers %1, en dehors du dossier déposé.</translation>
    </message>
    <message>
        <source>It is a link back to %1, a folder that holds it: a loop.</source>
        <translation>C&apos;est un lien qui revient vers %1, un dossier qui le contient&#xa0;: une boucle.</translation>
    </message>
    <message>
        <source>It is a link to %1, a folder sent already through another link.</source>
        <translation>C&apos;est un lien vers %1, un dossier déjà envoyé par un autre lien.</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>tarnlow: cannot open the window: no X11 or Wayland display could be reached
</source>
        <translation>tarnlow&#xa0;: impossible d&apos;ouvrir la fenêtre&#xa0;: aucun affichage X11 ou Wayland n&apos;a pu être atteint
</translation>
    </message>
</context>
</TS>
