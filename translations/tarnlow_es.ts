<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es">
<context>
    <name>AboutDlg</name>
    <message>
        <source>About Tarnlow</source>
        <translation>Acerca de Tarnlow</translation>
    </message>
    <message>
        <source>Tarnlow Version 1.02</source>
        <translation>Tarnlow versión 1.02</translation>
    </message>
    <message>
        <source>Copyright © 2026 Tarnlow maintainers

This program comes with ABSOLUTELY NO WARRANTY. It is free software: you may redistribute it and/or modify it under the terms of the GNU General Public License, version 3 or (at your option) any later version (GPL-3.0-or-later). Read the licence at https://www.gnu.org/licenses/gpl-3.0.html</source>
        <translation>Copyright © 2026 Tarnlow maintainers

Este programa se ofrece SIN NINGUNA GARANTÍA. Es software libre: puede redistribuirlo y/o modificarlo según los términos de la Licencia Pública General de GNU, versión 3 o (a su elección) cualquier versión posterior (GPL-3.0-or-later). Puede leer la licencia en https://www.gnu.org/licenses/gpl-3.0.html</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Aceptar</translation>
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
Licencia GPLv3+: GPL de GNU versión 3 o posterior &lt;https://gnu.org/licenses/gpl.html&gt;.
Esto es software libre: usted es libre de modificarlo y redistribuirlo.
No hay NINGUNA GARANTÍA, hasta donde lo permite la ley.
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
        <translation>Uso: tarnlow [OPCIÓN]... [RUTA]...
Abre la ventana de Tarnlow. Cada RUTA, un archivo o una carpeta local, se sube
al sitio 1 en cuanto se abre la ventana, las carpetas con todo su contenido.

  -h, --help     muestra este texto y termina
      --version  muestra la versión y la licencia y termina
      --         fin de las opciones: cada argumento posterior es una RUTA,
                 también si empieza por «-» (que también se puede escribir
                 ./-nombre)

Las opciones pueden ir en cualquier lugar antes de --. Decide la primera
opción: con --help o --version se muestra el uso o la versión, los demás
argumentos no se usan y no se abre ninguna ventana. Las opciones propias de Qt
(-platform NOMBRE, -style NOMBRE, -session ID, ...) se pasan a Qt.

Estado de salida: 0 si se cerró la ventana o se mostró el texto; 1 si no se
pudo acceder a ninguna pantalla o no se pudo escribir el texto; 2 si hay una
opción desconocida; 128 más el número de la señal si SIGTERM, SIGINT o SIGHUP
cerró la ventana.

Los cinco perfiles de sitio se guardan en
$XDG_CONFIG_HOME/Tarnlow/FTPSettings.dat, y la carpeta de descarga, como el
ajuste Path, en $XDG_CONFIG_HOME/Halvorn/Tarnlow.conf (XDG_CONFIG_HOME es
~/.config si no está definida).

Página de ayuda: %1
Más información en la página de manual: man tarnlow
</translation>
    </message>
    <message>
        <source>tarnlow: unrecognized option &apos;%1&apos;
Try &apos;tarnlow --help&apos; for more information.
</source>
        <translation>tarnlow: opción no reconocida «%1»
Pruebe «tarnlow --help» para más información.
</translation>
    </message>
</context>
<context>
    <name>Download</name>
    <message>
        <source>Could not transfer file to this location - File Exists!</source>
        <translation>No se pudo transferir el archivo a esta ubicación: ¡el archivo ya existe!</translation>
    </message>
    <message>
        <source>%1 cannot be a file name in the download folder.</source>
        <translation>%1 no puede ser un nombre de archivo en la carpeta de descarga.</translation>
    </message>
    <message>
        <source>%1 exists already.</source>
        <translation>%1 ya existe.</translation>
    </message>
    <message>
        <source>No free name for the part file of %1 in %2.</source>
        <translation>No hay ningún nombre libre para el archivo parcial de %1 en %2.</translation>
    </message>
    <message>
        <source>%1 appeared while it was fetched; it was left as it is.</source>
        <translation>%1 apareció mientras se descargaba; se ha dejado tal como estaba.</translation>
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
        <translation>El nombre de usuario o la contraseña contiene un salto de línea o un carácter NUL.</translation>
    </message>
    <message>
        <source>The server&apos;s greeting could not be understood.</source>
        <translation>No se pudo entender el saludo del servidor.</translation>
    </message>
    <message>
        <source>The server did not greet within %1 s.</source>
        <translation>El servidor no saludó en %1 s.</translation>
    </message>
    <message>
        <source>The operation was stopped.</source>
        <translation>Se detuvo la operación.</translation>
    </message>
    <message>
        <source>The server did not accept the connection within %1 s.</source>
        <translation>El servidor no aceptó la conexión en %1 s.</translation>
    </message>
    <message>
        <source>The directory name is empty or holds a line break.</source>
        <translation>El nombre del directorio está vacío o contiene un salto de línea.</translation>
    </message>
    <message>
        <source>No local port for the data connection: %1</source>
        <translation>No hay ningún puerto local para la conexión de datos: %1</translation>
    </message>
    <message>
        <source>The data connection&apos;s address cannot be given to the server.</source>
        <translation>No se puede comunicar al servidor la dirección de la conexión de datos.</translation>
    </message>
    <message>
        <source>The server did not open the data connection within %1 s.</source>
        <translation>El servidor no abrió la conexión de datos en %1 s.</translation>
    </message>
    <message>
        <source>The server took no data for %1 s.</source>
        <translation>El servidor no aceptó datos durante %1 s.</translation>
    </message>
    <message>
        <source>No data arrived for %1 s.</source>
        <translation>No llegaron datos durante %1 s.</translation>
    </message>
    <message numerus="yes">
        <source>The server has %1 bytes where %2 were expected.</source>
        <translation>
            <numerusform>El servidor tiene %1 byte donde se esperaban %2.</numerusform>
            <numerusform>El servidor tiene %1 bytes donde se esperaban %2.</numerusform>
        </translation>
    </message>
    <message>
        <source>The name is empty or holds a line break.</source>
        <translation>El nombre está vacío o contiene un salto de línea.</translation>
    </message>
    <message>
        <source>%1 exists already.</source>
        <translation>%1 ya existe.</translation>
    </message>
    <message>
        <source>The server refused binary transfers (TYPE I).</source>
        <translation>El servidor rechazó las transferencias binarias (TYPE I).</translation>
    </message>
    <message numerus="yes">
        <source>The file changed while it was sent: %1 of %2 bytes.</source>
        <translation>
            <numerusform>El archivo cambió mientras se enviaba: %1 de %2 byte.</numerusform>
            <numerusform>El archivo cambió mientras se enviaba: %1 de %2 bytes.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Only %1 of %2 bytes arrived.</source>
        <translation>
            <numerusform>Solo llegaron %1 de %2 byte.</numerusform>
            <numerusform>Solo llegaron %1 de %2 bytes.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 holds %2 bytes where %3 arrived.</source>
        <translation>
            <numerusform>%1 contiene %2 byte donde llegaron %3.</numerusform>
            <numerusform>%1 contiene %2 bytes donde llegaron %3.</numerusform>
        </translation>
    </message>
    <message>
        <source>The directory name holds a line break.</source>
        <translation>El nombre del directorio contiene un salto de línea.</translation>
    </message>
    <message>
        <source>The listing is too large.</source>
        <translation>El listado es demasiado grande.</translation>
    </message>
</context>
<context>
    <name>FtpControlChannel</name>
    <message>
        <source>The operation was stopped.</source>
        <translation>Se detuvo la operación.</translation>
    </message>
    <message>
        <source>The server closed the connection.</source>
        <translation>El servidor cerró la conexión.</translation>
    </message>
    <message>
        <source>The connection to the server failed.</source>
        <translation>Falló la conexión con el servidor.</translation>
    </message>
    <message>
        <source>The server sent &quot;%1&quot;, which answers no command.</source>
        <translation>El servidor envió «%1», que no responde a ninguna orden.</translation>
    </message>
    <message>
        <source>The name holds a line break or a NUL character.</source>
        <translation>El nombre contiene un salto de línea o un carácter NUL.</translation>
    </message>
    <message>
        <source>The server took no commands for %1 s.</source>
        <translation>El servidor no aceptó órdenes durante %1 s.</translation>
    </message>
    <message>
        <source>The server did not answer within %1 s.</source>
        <translation>El servidor no respondió en %1 s.</translation>
    </message>
    <message>
        <source>The server did not answer %1 within %2 s.</source>
        <translation>El servidor no respondió a %1 en %2 s.</translation>
    </message>
    <message>
        <source>The server&apos;s reply could not be understood.</source>
        <translation>No se pudo entender la respuesta del servidor.</translation>
    </message>
    <message>
        <source>The server&apos;s reply &quot;%1&quot; does not answer %2.</source>
        <translation>La respuesta del servidor «%1» no corresponde a %2.</translation>
    </message>
    <message>
        <source>The server kept answering without finishing.</source>
        <translation>El servidor siguió respondiendo sin terminar nunca.</translation>
    </message>
</context>
<context>
    <name>HelpWindow</name>
    <message>
        <source>Tarnlow Help</source>
        <translation>Ayuda de Tarnlow</translation>
    </message>
    <message>
        <source>No program was found to open %1.</source>
        <translation>No se encontró ningún programa para abrir %1.</translation>
    </message>
</context>
<context>
    <name>InternetSession</name>
    <message>
        <source>The address is empty.</source>
        <translation>La dirección está vacía.</translation>
    </message>
    <message>
        <source>The name has no address.</source>
        <translation>El nombre no tiene dirección.</translation>
    </message>
    <message>
        <source>The operation was stopped.</source>
        <translation>Se detuvo la operación.</translation>
    </message>
    <message>
        <source>The address, username or password holds a line break or a NUL character.</source>
        <translation>La dirección, el nombre de usuario o la contraseña contiene un salto de línea o un carácter NUL.</translation>
    </message>
    <message>
        <source>Only active mode is available.</source>
        <translation>Solo está disponible el modo activo.</translation>
    </message>
</context>
<context>
    <name>LocalFile</name>
    <message>
        <source>%1 is not a file.</source>
        <translation>%1 no es un archivo.</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>It was replaced since the upload began.</source>
        <translation>Se reemplazó después de empezar la subida.</translation>
    </message>
</context>
<context>
    <name>LocalTree</name>
    <message>
        <source>It is not a file that can be read.</source>
        <translation>No es un archivo que se pueda leer.</translation>
    </message>
</context>
<context>
    <name>RemoteDelete</name>
    <message>
        <source>The directory contains files</source>
        <translation>El directorio contiene archivos</translation>
    </message>
    <message>
        <source>Could not delete file</source>
        <translation>No se pudo eliminar el archivo</translation>
    </message>
</context>
<context>
    <name>RemoteListModel</name>
    <message>
        <source>Folder</source>
        <translation>Carpeta</translation>
    </message>
    <message>
        <source>Link</source>
        <translation>Enlace</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Archivo</translation>
    </message>
</context>
<context>
    <name>SettingsFile</name>
    <message>
        <source>%1 is not a folder</source>
        <translation>%1 no es una carpeta</translation>
    </message>
    <message>
        <source>Cannot create the folder %1: %2</source>
        <translation>No se puede crear la carpeta %1: %2</translation>
    </message>
    <message>
        <source>it is a folder</source>
        <translation>es una carpeta</translation>
    </message>
    <message>
        <source>Cannot create a file in %1: %2</source>
        <translation>No se puede crear un archivo en %1: %2</translation>
    </message>
    <message>
        <source>Cannot set the permissions of %1: %2</source>
        <translation>No se pueden establecer los permisos de %1: %2</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>No se puede escribir %1: %2</translation>
    </message>
    <message>
        <source>Cannot flush %1: %2</source>
        <translation>No se puede volcar %1 al disco: %2</translation>
    </message>
    <message>
        <source>Cannot replace %1: %2</source>
        <translation>No se puede reemplazar %1: %2</translation>
    </message>
    <message>
        <source>Cannot follow the link %1: %2</source>
        <translation>No se puede seguir el enlace %1: %2</translation>
    </message>
    <message>
        <source>another save held it for more than %1 ms</source>
        <translation>otro guardado lo retuvo más de %1 ms</translation>
    </message>
</context>
<context>
    <name>SettingsStore</name>
    <message>
        <source>tarnlow: saving the site profiles without the lock %1: %2</source>
        <translation>tarnlow: se guardan los perfiles de sitio sin el bloqueo %1: %2</translation>
    </message>
    <message>
        <source>The stored site profiles in %1 could not be read (%2).

The file is left as it is and will not be replaced when Tarnlow closes.</source>
        <translation>No se pudieron leer los perfiles de sitio guardados en %1 (%2).

El archivo se deja tal como está y no se reemplazará al cerrar Tarnlow.</translation>
    </message>
    <message>
        <source>The stored site profiles in %1 could not be read (%2).

The file was moved to %3; the profiles entered now will be saved in a new file.</source>
        <translation>No se pudieron leer los perfiles de sitio guardados en %1 (%2).

El archivo se movió a %3; los perfiles que se introduzcan ahora se guardarán en un archivo nuevo.</translation>
    </message>
    <message>
        <source>The stored site profiles in %1 are damaged: only the profiles before the damage were loaded.

No copy of the file could be made, so it will not be replaced when Tarnlow closes.</source>
        <translation>Los perfiles de sitio guardados en %1 están dañados: solo se cargaron los perfiles anteriores al daño.

No se pudo hacer ninguna copia del archivo, así que no se reemplazará al cerrar Tarnlow.</translation>
    </message>
    <message>
        <source>The stored site profiles in %1 are damaged: only the profiles before the damage were loaded.

The original file was kept as %2.</source>
        <translation>Los perfiles de sitio guardados en %1 están dañados: solo se cargaron los perfiles anteriores al daño.

El archivo original se conservó como %2.</translation>
    </message>
    <message>
        <source>the file found at start-up could not be kept</source>
        <translation>no se pudo conservar el archivo encontrado al inicio</translation>
    </message>
    <message>
        <source>the file could not be read (%1) nor moved aside</source>
        <translation>el archivo no se pudo leer (%1) ni apartar</translation>
    </message>
    <message>
        <source>The stored site profiles in %1 could not be read when they were to be saved (%2).

The file was moved to %3; the profiles of this window were saved in a new file.</source>
        <translation>No se pudieron leer los perfiles de sitio guardados en %1 al ir a guardarlos (%2).

El archivo se movió a %3; los perfiles de esta ventana se guardaron en un archivo nuevo.</translation>
    </message>
    <message>
        <source>the file is damaged and no copy of it could be made</source>
        <translation>el archivo está dañado y no se pudo hacer ninguna copia de él</translation>
    </message>
    <message>
        <source>The stored site profiles in %1 were found damaged when they were to be saved.

The damaged file was kept as %2; what could still be read of it was saved, completed with the profiles of this window.</source>
        <translation>Los perfiles de sitio guardados en %1 estaban dañados al ir a guardarlos.

El archivo dañado se conservó como %2; lo que aún se podía leer de él se guardó, completado con los perfiles de esta ventana.</translation>
    </message>
</context>
<context>
    <name>SiteConnection</name>
    <message>
        <source>Can&apos;t connect to FTP server - check the FTP username/password</source>
        <translation>No se puede conectar con el servidor FTP: compruebe el usuario/contraseña FTP</translation>
    </message>
    <message>
        <source>Can&apos;t connect to FTP server - check the FTP address</source>
        <translation>No se puede conectar con el servidor FTP: compruebe la dirección FTP</translation>
    </message>
    <message>
        <source>Can&apos;t connect to the FTP server</source>
        <translation>No se puede conectar con el servidor FTP</translation>
    </message>
    <message>
        <source>Directory is not contained on FTP server - check the Directory</source>
        <translation>El directorio no existe en el servidor FTP: compruebe el directorio</translation>
    </message>
</context>
<context>
    <name>TabPane</name>
    <message>
        <source>FTP Address</source>
        <translation>Dirección FTP</translation>
    </message>
    <message>
        <source>Username</source>
        <translation>Usuario</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Contraseña</translation>
    </message>
    <message>
        <source>Directory</source>
        <translation>Directorio</translation>
    </message>
</context>
<context>
    <name>TarnlowApp</name>
    <message>
        <source>Windows sockets initialization failed.</source>
        <translation>Falló la inicialización de los sockets de Windows.</translation>
    </message>
</context>
<context>
    <name>TarnlowDlg</name>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Salir</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>A&amp;cerca de</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Ayuda</translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation>Ac&amp;tualizar</translation>
    </message>
    <message>
        <source>H&amp;ome</source>
        <translation>&amp;Inicio</translation>
    </message>
    <message>
        <source>&amp;Delete File(s)</source>
        <translation>&amp;Eliminar</translation>
    </message>
    <message>
        <source>Do&amp;wnload</source>
        <translation>&amp;Descargar</translation>
    </message>
    <message>
        <source>&amp;Browse</source>
        <translation>E&amp;xaminar</translation>
    </message>
    <message>
        <source>Ftp Site Selection</source>
        <translation>Selección de sitio FTP</translation>
    </message>
    <message>
        <source>Directory Listing</source>
        <translation>Contenido del directorio</translation>
    </message>
    <message>
        <source>Download Path</source>
        <translation>Destino</translation>
    </message>
    <message>
        <source>Now Transferring:</source>
        <translation>Transfiriendo:</translation>
    </message>
    <message>
        <source>Files Transfered:</source>
        <translation>Progreso:</translation>
    </message>
    <message>
        <source>Percent Transferred</source>
        <translation>Porcentaje transferido</translation>
    </message>
    <message>
        <source>FTP Site 1 (Default)</source>
        <translation>Sitio 1 (predeterminado)</translation>
    </message>
    <message>
        <source>FTP Site %1</source>
        <translation>Sitio %1</translation>
    </message>
    <message>
        <source>ERROR</source>
        <translation>ERROR</translation>
    </message>
    <message>
        <source>The site profiles could not be saved.</source>
        <translation>No se pudieron guardar los perfiles de sitio.</translation>
    </message>
    <message>
        <source>Quit the Tarnlow program?</source>
        <translation>¿Salir del programa Tarnlow?</translation>
    </message>
    <message>
        <source>Quit Confirm</source>
        <translation>Confirmar salida</translation>
    </message>
    <message>
        <source>Unable to open the help file. It was looked for in:
%1</source>
        <translation>No se puede abrir el archivo de ayuda. Se buscó en:
%1</translation>
    </message>
    <message>
        <source>Tarnlow Help</source>
        <translation>Ayuda de Tarnlow</translation>
    </message>
    <message>
        <source>FTP Error</source>
        <translation>Error de FTP</translation>
    </message>
    <message>
        <source>Can&apos;t display the remote directory</source>
        <translation>No se puede mostrar el directorio remoto</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Delete the file(s)?</source>
        <translation>¿Eliminar los archivos seleccionados?</translation>
    </message>
    <message>
        <source>Delete Confirm</source>
        <translation>Confirmar eliminación</translation>
    </message>
    <message>
        <source>You must supply the FTP Internet address</source>
        <translation>Debe indicar la dirección de Internet del FTP</translation>
    </message>
    <message>
        <source>You must supply the FTP username</source>
        <translation>Debe indicar el nombre de usuario FTP</translation>
    </message>
    <message>
        <source>You must supply the FTP password</source>
        <translation>Debe indicar la contraseña FTP</translation>
    </message>
    <message>
        <source>Choose A Directory For FTP Download</source>
        <translation>Elija un directorio para la descarga FTP</translation>
    </message>
    <message>
        <source>No download folder is given.</source>
        <translation>No se ha indicado ninguna carpeta de descarga.</translation>
    </message>
    <message>
        <source>%1 is not a folder.</source>
        <translation>%1 no es una carpeta.</translation>
    </message>
    <message>
        <source>%1 does not exist.</source>
        <translation>%1 no existe.</translation>
    </message>
    <message>
        <source>Invalid directory for download, please reselect</source>
        <translation>Directorio de descarga no válido; elija otro</translation>
    </message>
</context>
<context>
    <name>TransferDoneDlg</name>
    <message>
        <source>Transfer Information</source>
        <translation>Transferencia</translation>
    </message>
    <message>
        <source>FTP File Transfer Complete</source>
        <translation>Transferencia FTP completada</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Aceptar</translation>
    </message>
</context>
<context>
    <name>Upload</name>
    <message>
        <source>Could not transfer file</source>
        <translation>No se pudo transferir el archivo</translation>
    </message>
    <message>
        <source>It is no longer a folder.</source>
        <translation>Ya no es una carpeta.</translation>
    </message>
    <message>
        <source>The server did not name the folder, so there is no way back to it.</source>
        <translation>El servidor no dio el nombre de la carpeta, así que no hay forma de volver a ella.</translation>
    </message>
</context>
<context>
    <name>UploadPlan</name>
    <message>
        <source>It is a link that leads nowhere.</source>
        <translation>Es un enlace que no lleva a ninguna parte.</translation>
    </message>
    <message>
        <source>It is a link to %1, outside the dropped folder.</source>
        <translation>Es un enlace a %1, fuera de la carpeta soltada.</translation>
    </message>
    <message>
        <source>It is a link back to %1, a folder that holds it: a loop.</source>
        <translation>Es un enlace de vuelta a %1, una carpeta que lo contiene: un bucle.</translation>
    </message>
    <message>
        <source>It is a link to %1, a folder sent already through another link.</source>
        <translation>Es un enlace a %1, una carpeta ya enviada a través de otro enlace.</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>tarnlow: cannot open the window: no X11 or Wayland display could be reached
</source>
        <translation>tarnlow: no se puede abrir la ventana: no se pudo acceder a ninguna pantalla X11 o Wayland
</translation>
    </message>
</context>
</TS>
