<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>LoginDialog</name>
    <message>
        <source>Log in</source>
        <translation>Anmelden</translation>
    </message>
    <message>
        <source>Log in with your Noxel account.</source>
        <translation>Melden Sie sich mit Ihrem Noxel-Konto an.</translation>
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
        <source>Remember my password</source>
        <translation>Passwort speichern</translation>
    </message>
    <message>
        <source>Create an account</source>
        <translation>Konto erstellen</translation>
    </message>
    <message>
        <source>Forgot your password?</source>
        <translation>Passwort vergessen?</translation>
    </message>
    <message>
        <source>Please enter your user name and password.</source>
        <translation>Bitte geben Sie Benutzername und Passwort ein.</translation>
    </message>
    <message>
        <source>The server could not be reached. Please check your internet connection and try again.</source>
        <translation>Der Server ist nicht erreichbar. Bitte prüfen Sie Ihre Internetverbindung und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>The user name or password is wrong.</source>
        <translation>Benutzername oder Passwort ist falsch.</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Noxel</source>
        <translation>Noxel</translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation>Nicht verbunden</translation>
    </message>
    <message>
        <source>Search country or city</source>
        <translation>Land oder Stadt suchen</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>Connecting to %1 ...</source>
        <translation>Verbinde mit %1 ...</translation>
    </message>
    <message>
        <source>Connected to %1</source>
        <translation>Verbunden mit %1</translation>
    </message>
    <message>
        <source>Disconnecting ...</source>
        <translation>Trenne ...</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Trennen</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Verbinden</translation>
    </message>
    <message>
        <source>Your IP address: %1 (%2) - protected</source>
        <translation>Ihre IP-Adresse: %1 (%2) – geschützt</translation>
    </message>
    <message>
        <source>Your IP address: %1 (%2) - not protected</source>
        <translation>Ihre IP-Adresse: %1 (%2) – nicht geschützt</translation>
    </message>
    <message>
        <source>Determining your IP address ...</source>
        <translation>Ihre IP-Adresse wird ermittelt ...</translation>
    </message>
    <message>
        <source>Choose a server location first.</source>
        <translation>Bitte wählen Sie zuerst einen Serverstandort.</translation>
    </message>
    <message>
        <source>Your account cannot connect right now: please check your subscription.</source>
        <translation>Ihr Konto kann sich derzeit nicht verbinden: bitte prüfen Sie Ihr Abonnement.</translation>
    </message>
    <message>
        <source>Connecting without root rights goes through the %1 service; start the client as root when it is not installed.</source>
        <translation>Ohne Root-Rechte läuft die Verbindung über den Dienst %1; starten Sie den Client als root, wenn er nicht installiert ist.</translation>
    </message>
    <message>
        <source>Connection failed</source>
        <translation>Verbindung fehlgeschlagen</translation>
    </message>
    <message>
        <source>The VPN connection to %1 could not be made.</source>
        <translation>Die VPN-Verbindung zu %1 konnte nicht hergestellt werden.</translation>
    </message>
    <message>
        <source>Connection problems</source>
        <translation>Verbindungsprobleme</translation>
    </message>
    <message>
        <source>Connecting with %1 has failed several times. Another protocol or another server location may work better from where you are.</source>
        <translation>Die Verbindung mit %1 ist mehrmals fehlgeschlagen. Ein anderes Protokoll oder ein anderer Serverstandort funktioniert von Ihrem Ort aus vielleicht besser.</translation>
    </message>
</context>
<context>
    <name>RasDialerImpl</name>
    <message>
        <source>The program %1 is not installed; it comes with the Debian package %2.</source>
        <translation>Das Programm %1 ist nicht installiert; es gehört zum Debian-Paket %2.</translation>
    </message>
    <message>
        <source>Authentication failed: the server did not accept the user name or password.</source>
        <translation>Anmeldung fehlgeschlagen: Der Server hat Benutzername oder Passwort nicht akzeptiert.</translation>
    </message>
    <message>
        <source>The connection needs MPPE encryption, which the server or this computer&apos;s kernel does not offer.</source>
        <translation>Die Verbindung braucht MPPE-Verschlüsselung, die der Server oder der Kernel dieses Computers nicht anbietet.</translation>
    </message>
    <message>
        <source>The server stopped answering while the connection was set up (LCP timeout).</source>
        <translation>Der Server hat beim Verbindungsaufbau nicht mehr geantwortet (LCP-Zeitüberschreitung).</translation>
    </message>
    <message>
        <source>The server refused the connection.</source>
        <translation>Der Server hat die Verbindung abgelehnt.</translation>
    </message>
    <message>
        <source>The other end closed the connection (modem hangup).</source>
        <translation>Die Gegenstelle hat die Verbindung beendet (Modem aufgelegt).</translation>
    </message>
    <message>
        <source>The connection was terminated.</source>
        <translation>Die Verbindung wurde beendet.</translation>
    </message>
    <message>
        <source>The IPsec settings could not be written: %1</source>
        <translation>Die IPsec-Einstellungen konnten nicht geschrieben werden: %1</translation>
    </message>
    <message>
        <source>%1 could not be started: %2</source>
        <translation>%1 konnte nicht gestartet werden: %2</translation>
    </message>
    <message>
        <source>pppd exited with code %1</source>
        <translation>pppd wurde mit Code %1 beendet</translation>
    </message>
    <message>
        <source>pppd stopped on signal %1</source>
        <translation>pppd wurde durch Signal %1 beendet</translation>
    </message>
    <message>
        <source>The L2TP server did not answer.</source>
        <translation>Der L2TP-Server hat nicht geantwortet.</translation>
    </message>
    <message>
        <source>IPsec could not be started (ipsec start exited with code %1).</source>
        <translation>IPsec konnte nicht gestartet werden (ipsec start endete mit Code %1).</translation>
    </message>
    <message>
        <source>The IPsec negotiation with the server failed; the pre-shared key may be wrong.</source>
        <translation>Die IPsec-Aushandlung mit dem Server ist fehlgeschlagen; der vorinstallierte Schlüssel ist vielleicht falsch.</translation>
    </message>
    <message>
        <source>%1 stopped unexpectedly</source>
        <translation>%1 wurde unerwartet beendet</translation>
    </message>
    <message>
        <source>%1 exited with code %2</source>
        <translation>%1 wurde mit Code %2 beendet</translation>
    </message>
    <message>
        <source>xl2tpd did not open its control file %1.</source>
        <translation>xl2tpd hat seine Steuerdatei %1 nicht geöffnet.</translation>
    </message>
    <message>
        <source>The dial command could not be handed to xl2tpd.</source>
        <translation>Der Wählbefehl konnte nicht an xl2tpd übergeben werden.</translation>
    </message>
    <message>
        <source>%1 is not dialled with pppd.</source>
        <translation>%1 wird nicht mit pppd gewählt.</translation>
    </message>
    <message>
        <source>The connection settings could not be written: %1</source>
        <translation>Die Verbindungseinstellungen konnten nicht geschrieben werden: %1</translation>
    </message>
</context>
<context>
    <name>RasPhonebook</name>
    <message>
        <source>cannot create the folder %1</source>
        <translation>der Ordner %1 kann nicht angelegt werden</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>%1 kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>The server has no host name to dial.</source>
        <translation>Der Server hat keinen Hostnamen zum Wählen.</translation>
    </message>
    <message>
        <source>The server&apos;s host name is too long or holds characters a host name cannot have.</source>
        <translation>Der Hostname des Servers ist zu lang oder enthält Zeichen, die ein Hostname nicht haben kann.</translation>
    </message>
    <message>
        <source>The VPN account has no user name.</source>
        <translation>Das VPN-Konto hat keinen Benutzernamen.</translation>
    </message>
    <message>
        <source>The VPN user name is too long or holds line breaks, quotes or backslashes.</source>
        <translation>Der VPN-Benutzername ist zu lang oder enthält Zeilenumbrüche, Anführungszeichen oder Backslashes.</translation>
    </message>
    <message>
        <source>The VPN password is too long or holds line breaks, quotes or backslashes.</source>
        <translation>Das VPN-Passwort ist zu lang oder enthält Zeilenumbrüche, Anführungszeichen oder Backslashes.</translation>
    </message>
    <message>
        <source>The pre-shared key is too long or holds line breaks, quotes or backslashes.</source>
        <translation>Der vorinstallierte Schlüssel ist zu lang oder enthält Zeilenumbrüche, Anführungszeichen oder Backslashes.</translation>
    </message>
    <message>
        <source>the path of pptp, %1, has characters pppd cannot run</source>
        <translation>der Pfad von pptp, %1, enthält Zeichen, mit denen pppd ihn nicht starten kann</translation>
    </message>
</context>
<context>
    <name>SessionDialogs</name>
    <message>
        <source>Update available</source>
        <translation>Update verfügbar</translation>
    </message>
    <message>
        <source>A new version of this software is available. Would you like to start the auto update? The software will be closed and any VPN connection terminated during the update process.</source>
        <translation>Eine neue Version dieser Software ist verfügbar. Möchten Sie das automatische Update starten? Die Software wird dabei beendet und jede VPN-Verbindung getrennt.</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Unable to connect to server. Please check your internet connection.</source>
        <translation>Keine Verbindung zum Server. Bitte prüfen Sie Ihre Internetverbindung.</translation>
    </message>
</context>
<context>
    <name>TapInstallDialog</name>
    <message>
        <source>Set Up the Tunnel Device</source>
        <translation>Tunnelgerät einrichten</translation>
    </message>
    <message>
        <source>Set Up</source>
        <translation>Einrichten</translation>
    </message>
    <message>
        <source>&lt;b&gt;%1 needs the kernel&apos;s tunnel device (&lt;i&gt;/dev/net/tun&lt;/i&gt;) to establish an OpenVPN connection, and it is not available on this computer.&lt;br/&gt;Without it VPN connections cannot be established. This is only required once.&lt;/b&gt;&lt;br/&gt;&lt;br/&gt;Click &apos;%2&apos; to load the tun module and create the device.</source>
        <translation>&lt;b&gt;%1 braucht das Tunnelgerät des Kernels (&lt;i&gt;/dev/net/tun&lt;/i&gt;), um eine OpenVPN-Verbindung herzustellen, und es ist auf diesem Computer nicht verfügbar.&lt;br/&gt;Ohne dieses Gerät können keine VPN-Verbindungen hergestellt werden. Dies ist nur einmal nötig.&lt;/b&gt;&lt;br/&gt;&lt;br/&gt;Klicken Sie auf „%2“, um das tun-Modul zu laden und das Gerät anzulegen.</translation>
    </message>
    <message>
        <source>Setting up the tunnel device. Please wait ...</source>
        <translation>Das Tunnelgerät wird eingerichtet. Bitte warten ...</translation>
    </message>
</context>
<context>
    <name>VpnClient</name>
    <message>
        <source>Connecting to %1</source>
        <translation>Verbinde mit %1</translation>
    </message>
    <message>
        <source>Cannot connect to %1 as VPN system isn&apos;t initialized yet.</source>
        <translation>Verbindung zu %1 nicht möglich, da das VPN-System noch nicht initialisiert ist.</translation>
    </message>
    <message>
        <source>Cancelling queued connection to %1.</source>
        <translation>Wartende Verbindung zu %1 wird abgebrochen.</translation>
    </message>
    <message>
        <source>No next VPN server selected to connect to.</source>
        <translation>Kein nächster VPN-Server zum Verbinden ausgewählt.</translation>
    </message>
    <message>
        <source>Initialization required</source>
        <translation>Initialisierung erforderlich</translation>
    </message>
    <message>
        <source>Initializing connection to %1 failed. Trying again.</source>
        <translation>Initialisierung der Verbindung zu %1 fehlgeschlagen. Neuer Versuch.</translation>
    </message>
    <message>
        <source>Waiting for existing connection to be closed.</source>
        <translation>Warte, bis die bestehende Verbindung geschlossen ist.</translation>
    </message>
    <message>
        <source>Connecting</source>
        <translation>Verbinde</translation>
    </message>
    <message>
        <source>Waiting for server reply</source>
        <translation>Warte auf Antwort des Servers</translation>
    </message>
    <message>
        <source>Authenticating</source>
        <translation>Authentifiziere</translation>
    </message>
    <message>
        <source>Getting client configuration</source>
        <translation>Hole Client-Konfiguration</translation>
    </message>
    <message>
        <source>Assigning IP addresses</source>
        <translation>Weise IP-Adressen zu</translation>
    </message>
    <message>
        <source>Adding network routes</source>
        <translation>Füge Netzwerkrouten hinzu</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>Verbunden</translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation>Getrennt</translation>
    </message>
    <message>
        <source>Reconnecting</source>
        <translation>Verbinde erneut</translation>
    </message>
    <message>
        <source>Exiting</source>
        <translation>Beende</translation>
    </message>
    <message>
        <source>Resolving host names</source>
        <translation>Löse Hostnamen auf</translation>
    </message>
    <message>
        <source>Connecting (TCP)</source>
        <translation>Verbinde (TCP)</translation>
    </message>
    <message>
        <source>Unable to establish VPN connection to %1: %2</source>
        <translation>VPN-Verbindung zu %1 konnte nicht hergestellt werden: %2</translation>
    </message>
    <message>
        <source>Closing connection to VPN server %1.</source>
        <translation>Schließe Verbindung zum VPN-Server %1.</translation>
    </message>
    <message>
        <source>Auto-connecting to VPN server %1</source>
        <translation>Automatische Verbindung zum VPN-Server %1</translation>
    </message>
</context>
<context>
    <name>VpnServerModel</name>
    <message>
        <source>%1 ms</source>
        <translation>%1 ms</translation>
    </message>
    <message>
        <source>%1 km</source>
        <translation>%1 km</translation>
    </message>
    <message>
        <source>Stealth OpenVPN supported</source>
        <translation>Stealth OpenVPN wird unterstützt</translation>
    </message>
    <message>
        <source>Country</source>
        <translation>Land</translation>
    </message>
    <message>
        <source>City / Location</source>
        <translation>Stadt / Ort</translation>
    </message>
    <message>
        <source>S</source>
        <translation>S</translation>
    </message>
    <message>
        <source>Server</source>
        <translation>Server</translation>
    </message>
    <message>
        <source>Free</source>
        <translation>Frei</translation>
    </message>
    <message>
        <source>Ping</source>
        <translation>Ping</translation>
    </message>
    <message>
        <source>Distance</source>
        <translation>Entfernung</translation>
    </message>
    <message>
        <source>P</source>
        <translation>P</translation>
    </message>
    <message>
        <source>C</source>
        <translation>C</translation>
    </message>
</context>
<context>
    <name>WizardDialog</name>
    <message>
        <source>Welcome to Noxel</source>
        <translation>Willkommen bei Noxel</translation>
    </message>
    <message>
        <source>Protect your privacy in one click. Log in with your account, or try Noxel for free.</source>
        <translation>Schützen Sie Ihre Privatsphäre mit einem Klick. Melden Sie sich mit Ihrem Konto an oder testen Sie Noxel kostenlos.</translation>
    </message>
    <message>
        <source>I already have an account</source>
        <translation>Ich habe bereits ein Konto</translation>
    </message>
    <message>
        <source>Try Noxel for free</source>
        <translation>Noxel kostenlos testen</translation>
    </message>
    <message>
        <source>Asking for a trial account ...</source>
        <translation>Testkonto wird angefordert ...</translation>
    </message>
    <message>
        <source>The server could not be reached. Please check your internet connection and try again.</source>
        <translation>Der Server ist nicht erreichbar. Bitte prüfen Sie Ihre Internetverbindung und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>Your trial account is being prepared ...</source>
        <translation>Ihr Testkonto wird vorbereitet ...</translation>
    </message>
</context>
</TS>
