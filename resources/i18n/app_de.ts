<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>AlertWidget</name>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>BandwidthWidget</name>
    <message>
        <source>%1/s</source>
        <translation>%1/s</translation>
    </message>
</context>
<context>
    <name>ConnectionErrorDialog</name>
    <message>
        <source>Connection failed</source>
        <translation>Verbindung fehlgeschlagen</translation>
    </message>
    <message>
        <source>Unable to establish VPN connection:</source>
        <translation>VPN-Verbindung konnte nicht hergestellt werden:</translation>
    </message>
    <message>
        <source>Server-ID:</source>
        <translation>Server-ID:</translation>
    </message>
    <message>
        <source>Error Message:</source>
        <translation>Fehlermeldung:</translation>
    </message>
    <message>
        <source>Send this info to our tech staff for troubleshooting</source>
        <translation>Diese Informationen zur Fehlerbehebung an unsere Techniker senden</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>ConnectionPanel</name>
    <message>
        <source>Refresh now</source>
        <translation>Jetzt aktualisieren</translation>
    </message>
    <message>
        <source>High load on this server</source>
        <translation>Hohe Last auf diesem Server</translation>
    </message>
    <message>
        <source>This server has a high load and speed might be insufficient.</source>
        <translation>Dieser Server ist stark ausgelastet, die Geschwindigkeit reicht vielleicht nicht aus.</translation>
    </message>
    <message>
        <source>Would you like to connect to another server in &lt;b&gt;%1 (%2)&lt;/b&gt; instead?</source>
        <translation>Möchten Sie sich stattdessen mit einem anderen Server in &lt;b&gt;%1 (%2)&lt;/b&gt; verbinden?</translation>
    </message>
    <message>
        <source>Don&apos;t ask again</source>
        <translation>Nicht mehr fragen</translation>
    </message>
    <message>
        <source>Search for VPN server</source>
        <translation>VPN-Server suchen</translation>
    </message>
    <message>
        <source>Provider</source>
        <translation>Anbieter</translation>
    </message>
    <message>
        <source>Protocol</source>
        <translation>Protokoll</translation>
    </message>
    <message>
        <source>OpenVPN (TCP)</source>
        <translation>OpenVPN (TCP)</translation>
    </message>
    <message>
        <source>OpenVPN (UDP)</source>
        <translation>OpenVPN (UDP)</translation>
    </message>
    <message>
        <source>Stealth OpenVPN</source>
        <translation>Stealth OpenVPN</translation>
    </message>
    <message>
        <source>L2TP</source>
        <translation>L2TP</translation>
    </message>
    <message>
        <source>PPTP</source>
        <translation>PPTP</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Received:</source>
        <translation>Empfangen:</translation>
    </message>
    <message>
        <source>Sent:</source>
        <translation>Gesendet:</translation>
    </message>
    <message>
        <source>Duration:</source>
        <translation>Dauer:</translation>
    </message>
    <message>
        <source>Connect to best location</source>
        <translation>Mit bestem Standort verbinden</translation>
    </message>
    <message>
        <source>Connect to this location</source>
        <translation>Mit diesem Standort verbinden</translation>
    </message>
    <message>
        <source>Auto-connect to this location on startup</source>
        <translation>Beim Start automatisch mit diesem Standort verbinden</translation>
    </message>
    <message>
        <source>Last list refresh: %1</source>
        <translation>Liste zuletzt aktualisiert: %1</translation>
    </message>
    <message>
        <source>No server selected</source>
        <translation>Kein Server ausgewählt</translation>
    </message>
    <message>
        <source>Please choose a server to connect to from the list first or click &quot;Auto select&quot; if one should be selected for you.</source>
        <translation>Bitte wählen Sie zuerst einen Server aus der Liste oder klicken Sie auf &quot;Automatisch wählen&quot;, wenn einer für Sie ausgewählt werden soll.</translation>
    </message>
    <message>
        <source>Auto select</source>
        <translation>Automatisch wählen</translation>
    </message>
    <message>
        <source>Account inactive</source>
        <translation>Konto nicht aktiv</translation>
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
        <source>Connect</source>
        <translation>Verbinden</translation>
    </message>
    <message>
        <source>Connecting ...</source>
        <translation>Verbinde ...</translation>
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
        <source>Show Details</source>
        <translation>Details anzeigen</translation>
    </message>
</context>
<context>
    <name>CredentialsHelper</name>
    <message>
        <source>Login Credentials</source>
        <translation>Zugangsdaten</translation>
    </message>
    <message>
        <source>The login credentials could not be saved in the file %1: %2</source>
        <translation>Die Zugangsdaten konnten nicht in der Datei %1 gespeichert werden: %2</translation>
    </message>
    <message>
        <source>The login credentials have been saved in the file %1 on your desktop.</source>
        <translation>Die Zugangsdaten wurden in der Datei %1 auf Ihrem Schreibtisch gespeichert.</translation>
    </message>
    <message>
        <source>The login credentials have been saved in the file %1 in your home folder.</source>
        <translation>Die Zugangsdaten wurden in der Datei %1 in Ihrem persönlichen Ordner gespeichert.</translation>
    </message>
    <message>
        <source>Username:</source>
        <translation>Benutzername:</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>Passwort:</translation>
    </message>
    <message>
        <source>Website:</source>
        <translation>Webseite:</translation>
    </message>
    <message>
        <source>Your %1 Login Credentials - Please keep them save!</source>
        <translation>Ihre %1-Zugangsdaten - Bitte sicher aufbewahren!</translation>
    </message>
    <message>
        <source>%1 Login Credentials</source>
        <translation>%1-Zugangsdaten</translation>
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
        <source>Website</source>
        <translation>Webseite</translation>
    </message>
    <message>
        <source>Print Credentials</source>
        <translation>Zugangsdaten drucken</translation>
    </message>
</context>
<context>
    <name>CredentialsWizardPage</name>
    <message>
        <source>Login Credentials</source>
        <translation>Zugangsdaten</translation>
    </message>
    <message>
        <source>Username:</source>
        <translation>Benutzername:</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>Passwort:</translation>
    </message>
    <message>
        <source>Save Credentials</source>
        <translation>Zugangsdaten speichern</translation>
    </message>
    <message>
        <source>Print Credentials</source>
        <translation>Zugangsdaten drucken</translation>
    </message>
</context>
<context>
    <name>DebugPanel</name>
    <message>
        <source>General</source>
        <translation>Allgemein</translation>
    </message>
    <message>
        <source>Generic Log</source>
        <translation>Allgemeines Protokoll</translation>
    </message>
    <message>
        <source>OpenVPN Log</source>
        <translation>OpenVPN-Protokoll</translation>
    </message>
    <message>
        <source>RAS Log</source>
        <translation>RAS-Protokoll</translation>
    </message>
    <message>
        <source>App Server Communication</source>
        <translation>Kommunikation mit dem App-Server</translation>
    </message>
    <message>
        <source>Incomming:</source>
        <translation>Eingehend:</translation>
    </message>
    <message>
        <source>Outgoing:</source>
        <translation>Ausgehend:</translation>
    </message>
    <message>
        <source>Request count:</source>
        <translation>Anzahl der Anfragen:</translation>
    </message>
    <message>
        <source>Save Credentials</source>
        <translation>Zugangsdaten speichern</translation>
    </message>
    <message>
        <source>Print Credentials</source>
        <translation>Zugangsdaten drucken</translation>
    </message>
</context>
<context>
    <name>HelpPanel</name>
    <message>
        <source>In case of any problems or questions, please visit the following links for quick help. If you can&apos;t find help there, please contact us directly using the form below.</source>
        <translation>Bei Problemen oder Fragen finden Sie über die folgenden Links schnelle Hilfe. Falls Sie dort keine Hilfe finden, kontaktieren Sie uns bitte direkt über das untenstehende Formular.</translation>
    </message>
    <message>
        <source>Tutorial</source>
        <translation>Anleitung</translation>
    </message>
    <message>
        <source>Frequently Asked Questions</source>
        <translation>Häufig gestellte Fragen</translation>
    </message>
    <message>
        <source>Homepage</source>
        <translation>Homepage</translation>
    </message>
    <message>
        <source>Automatic Error Reporting</source>
        <translation>Automatische Fehlerberichte</translation>
    </message>
    <message>
        <source>In case of any errors, use this button to automatically send us your VPN log for further analysis.</source>
        <translation>Bei Fehlern können Sie uns mit dieser Schaltfläche Ihr VPN-Protokoll automatisch zur weiteren Analyse senden.</translation>
    </message>
    <message>
        <source>Send Report</source>
        <translation>Bericht senden</translation>
    </message>
    <message>
        <source>Contact</source>
        <translation>Kontakt</translation>
    </message>
    <message>
        <source>Your E-Mail:</source>
        <translation>Ihre E-Mail:</translation>
    </message>
    <message>
        <source>Subject:</source>
        <translation>Betreff:</translation>
    </message>
    <message>
        <source>Message:</source>
        <translation>Nachricht:</translation>
    </message>
    <message>
        <source>Attach Error Log (recommended)</source>
        <translation>Fehlerprotokoll anhängen (empfohlen)</translation>
    </message>
    <message>
        <source>Attach Operating System Info (recommended)</source>
        <translation>Betriebssysteminformationen anhängen (empfohlen)</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Senden</translation>
    </message>
    <message>
        <source>Report was sent</source>
        <translation>Bericht wurde gesendet</translation>
    </message>
    <message>
        <source>The report was transmitted successfully.</source>
        <translation>Der Bericht wurde erfolgreich übermittelt.</translation>
    </message>
    <message>
        <source>Report was not sent</source>
        <translation>Bericht wurde nicht gesendet</translation>
    </message>
    <message>
        <source>The report could not be transmitted. Please check your internet connection and try again.</source>
        <translation>Der Bericht konnte nicht übertragen werden. Bitte prüfen Sie Ihre Internetverbindung und versuchen Sie es erneut.</translation>
    </message>
</context>
<context>
    <name>IpChangeWidget</name>
    <message>
        <source>Not connected</source>
        <translation>Nicht verbunden</translation>
    </message>
    <message>
        <source>Please select a location</source>
        <translation>Bitte wählen Sie einen Standort</translation>
    </message>
    <message>
        <source>Connecting %1</source>
        <translation>Verbinde %1</translation>
    </message>
    <message>
        <source>Disconnecting %1</source>
        <translation>Trenne %1</translation>
    </message>
    <message>
        <source>Please wait ...</source>
        <translation>Bitte warten ...</translation>
    </message>
    <message>
        <source>Determening IP</source>
        <translation>IP wird ermittelt</translation>
    </message>
    <message>
        <source>Visible Location:</source>
        <translation>Sichtbarer Standort:</translation>
    </message>
    <message>
        <source>IP: %1</source>
        <translation>IP: %1</translation>
    </message>
    <message>
        <source>Hidden Location:</source>
        <translation>Verborgener Standort:</translation>
    </message>
</context>
<context>
    <name>LogPanel</name>
    <message>
        <source>This panel shows detailed information about your connections and connection attempts, which can be useful to solve upcoming issues together with our support staff.</source>
        <translation>Dieser Bereich zeigt detaillierte Informationen zu Ihren Verbindungen und Verbindungsversuchen, die zusammen mit unserem Support-Team beim Lösen auftretender Probleme helfen können.</translation>
    </message>
    <message>
        <source>Copy to Clipboard</source>
        <translation>In die Zwischenablage kopieren</translation>
    </message>
    <message>
        <source>Save to File</source>
        <translation>In Datei speichern</translation>
    </message>
    <message>
        <source>Save Log To</source>
        <translation>Protokoll speichern unter</translation>
    </message>
    <message>
        <source>The log could not be saved in the file %1: %2</source>
        <translation>Das Protokoll konnte nicht in der Datei %1 gespeichert werden: %2</translation>
    </message>
</context>
<context>
    <name>LoginDialog</name>
    <message>
        <source>Password:</source>
        <translation>Passwort:</translation>
    </message>
    <message>
        <source>Couldn&apos;t connect to server.
Please make sure your internet connection is working.</source>
        <translation>Keine Verbindung zum Server.
Bitte stellen Sie sicher, dass Ihre Internetverbindung funktioniert.</translation>
    </message>
    <message>
        <source>Couldn&apos;t connect</source>
        <translation>Keine Verbindung</translation>
    </message>
    <message>
        <source>Incorrect username or password</source>
        <translation>Benutzername oder Passwort falsch</translation>
    </message>
    <message>
        <source>%1 %2 Login</source>
        <translation>%1 %2 Anmeldung</translation>
    </message>
    <message>
        <source>Username:</source>
        <translation>Benutzername:</translation>
    </message>
    <message>
        <source>Remember credentials</source>
        <translation>Zugangsdaten merken</translation>
    </message>
    <message>
        <source>Lost your password?</source>
        <translation>Passwort vergessen?</translation>
    </message>
    <message>
        <source>Don&apos;t have an account yet? Sign up here!</source>
        <translation>Noch kein Konto? Hier registrieren!</translation>
    </message>
    <message>
        <source>Please wait. Checking username and password ...</source>
        <translation>Bitte warten. Benutzername und Passwort werden geprüft ...</translation>
    </message>
</context>
<context>
    <name>LoginWizardPage</name>
    <message>
        <source>Please enter a valid email address.</source>
        <translation>Bitte geben Sie eine gültige E-Mail-Adresse ein.</translation>
    </message>
    <message>
        <source>Couldn&apos;t connect to server.
Please make sure your internet connection is working.</source>
        <translation>Keine Verbindung zum Server.
Bitte stellen Sie sicher, dass Ihre Internetverbindung funktioniert.</translation>
    </message>
    <message>
        <source>Couldn&apos;t connect</source>
        <translation>Keine Verbindung</translation>
    </message>
    <message>
        <source>Incorrect username or password</source>
        <translation>Benutzername oder Passwort falsch</translation>
    </message>
    <message>
        <source>I want to try %1 for free.</source>
        <translation>Ich möchte %1 kostenlos testen.</translation>
    </message>
    <message>
        <source>Your email:</source>
        <translation>Ihre E-Mail-Adresse:</translation>
    </message>
    <message>
        <source>We only use this address for your account.</source>
        <translation>Wir verwenden diese Adresse nur für Ihr Konto.</translation>
    </message>
    <message>
        <source>I already have a %1 account.</source>
        <translation>Ich habe bereits ein %1-Konto.</translation>
    </message>
    <message>
        <source>Username:</source>
        <translation>Benutzername:</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>Passwort:</translation>
    </message>
    <message>
        <source>Lost your password?</source>
        <translation>Passwort vergessen?</translation>
    </message>
    <message>
        <source>Don&apos;t have an account yet? Sign up here!</source>
        <translation>Noch kein Konto? Hier registrieren!</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Connection</source>
        <translation>Verbindung</translation>
    </message>
    <message>
        <source>Debug</source>
        <translation>Debug</translation>
    </message>
    <message>
        <source>Updating ...</source>
        <translation>Aktualisiere ...</translation>
    </message>
    <message>
        <source>Show Main Window</source>
        <translation>Hauptfenster anzeigen</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>You&apos;re currently connected to the VPN. Closing the software will terminate the VPN connection. Do you want to proceed?</source>
        <translation>Sie sind gerade mit dem VPN verbunden. Wenn Sie die Software schließen, wird die VPN-Verbindung getrennt. Möchten Sie fortfahren?</translation>
    </message>
    <message>
        <source>Disconnecting VPN. Please wait ...</source>
        <translation>VPN wird getrennt. Bitte warten ...</translation>
    </message>
    <message>
        <source>Closing</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>%1 is not closed</source>
        <translation>%1 ist nicht beendet</translation>
    </message>
    <message>
        <source>It has only been minimized. Double-click on the icon to restore the window.</source>
        <translation>Es wurde nur minimiert. Doppelklicken Sie auf das Symbol, um das Fenster wiederherzustellen.</translation>
    </message>
    <message>
        <source>Log</source>
        <translation>Protokoll</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>My Account</source>
        <translation>Mein Konto</translation>
    </message>
</context>
<context>
    <name>MyAccountPanel</name>
    <message>
        <source>Account Status</source>
        <translation>Kontostatus</translation>
    </message>
    <message>
        <source>Offers</source>
        <translation>Angebote</translation>
    </message>
    <message>
        <source>Change Login Account</source>
        <translation>Anmeldekonto wechseln</translation>
    </message>
    <message>
        <source>My Control Panel</source>
        <translation>Mein Kundenbereich</translation>
    </message>
</context>
<context>
    <name>PaymentDialog</name>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>Please choose a payment method.</source>
        <translation>Bitte wählen Sie eine Zahlungsmethode.</translation>
    </message>
    <message>
        <source>Please choose a subscription.</source>
        <translation>Bitte wählen Sie ein Abonnement.</translation>
    </message>
    <message>
        <source>Account Expired. Renew Now!</source>
        <translation>Konto abgelaufen. Jetzt verlängern!</translation>
    </message>
    <message>
        <source>Choose a subscription:</source>
        <translation>Wählen Sie ein Abonnement:</translation>
    </message>
    <message>
        <source>Choose a payment method:</source>
        <translation>Wählen Sie eine Zahlungsmethode:</translation>
    </message>
    <message>
        <source>Renew Account</source>
        <translation>Konto verlängern</translation>
    </message>
    <message>
        <source>Remind Me Later</source>
        <translation>Später erinnern</translation>
    </message>
</context>
<context>
    <name>PreferencesPanel</name>
    <message>
        <source>Start %1 with administrator privileges</source>
        <translation>%1 mit Administratorrechten starten</translation>
    </message>
    <message>
        <source>Enable this option if you have trouble connecting to OpenVPN. With administrator privileges %1 is able to run and control it&apos;s own OpenVPN process.</source>
        <translation>Aktivieren Sie diese Option, wenn Sie Probleme beim Verbinden mit OpenVPN haben. Mit Administratorrechten kann %1 einen eigenen OpenVPN-Prozess starten und steuern.</translation>
    </message>
    <message>
        <source>Show the connection status in a corner of the screen (movable).</source>
        <translation>Verbindungsstatus in einer Bildschirmecke anzeigen (verschiebbar).</translation>
    </message>
    <message>
        <source>Minimize to system tray</source>
        <translation>In den Infobereich minimieren</translation>
    </message>
    <message>
        <source>Close to system tray</source>
        <translation>Beim Schließen in den Infobereich minimieren</translation>
    </message>
    <message>
        <source>Save login credentials</source>
        <translation>Zugangsdaten speichern</translation>
    </message>
    <message>
        <source>Start %1 when %2 starts</source>
        <translation>%1 starten, wenn %2 startet</translation>
    </message>
    <message>
        <source>the desktop</source>
        <translation>der Desktop</translation>
    </message>
    <message>
        <source>Offer alternative location if the selected has high load</source>
        <translation>Alternativen Standort anbieten, wenn der gewählte stark ausgelastet ist</translation>
    </message>
    <message>
        <source>Show network speed in Bit notation</source>
        <translation>Netzwerkgeschwindigkeit in Bit anzeigen</translation>
    </message>
    <message>
        <source>Language:</source>
        <translation>Sprache:</translation>
    </message>
    <message>
        <source>On application start, connect automatically to:</source>
        <translation>Beim Programmstart automatisch verbinden:</translation>
    </message>
    <message>
        <source>Last location</source>
        <translation>Letzter Standort</translation>
    </message>
    <message>
        <source>Location with best ping time</source>
        <translation>Standort mit der besten Ping-Zeit</translation>
    </message>
    <message>
        <source>Nearest location</source>
        <translation>Nächstgelegener Standort</translation>
    </message>
    <message>
        <source>This specific location:</source>
        <translation>Dieser bestimmte Standort:</translation>
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
    <name>ServerDetailsDialog</name>
    <message>
        <source>Your Location</source>
        <translation>Ihr Standort</translation>
    </message>
    <message>
        <source>Server Location</source>
        <translation>Serverstandort</translation>
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
        <source>Location:</source>
        <translation>Standort:</translation>
    </message>
    <message>
        <source>Distance:</source>
        <translation>Entfernung:</translation>
    </message>
    <message>
        <source>Ping: </source>
        <translation>Ping: </translation>
    </message>
    <message>
        <source>Last Connection:</source>
        <translation>Letzte Verbindung:</translation>
    </message>
    <message>
        <source>%1 km</source>
        <translation>%1 km</translation>
    </message>
    <message>
        <source>%1 ms</source>
        <translation>%1 ms</translation>
    </message>
    <message>
        <source>Never</source>
        <translation>Nie</translation>
    </message>
    <message>
        <source>VPN Location Details</source>
        <translation>Details zum VPN-Standort</translation>
    </message>
</context>
<context>
    <name>ServerWidget</name>
    <message>
        <source>Not connected</source>
        <translation>Nicht verbunden</translation>
    </message>
    <message>
        <source>Connecting ...</source>
        <translation>Verbinde ...</translation>
    </message>
    <message>
        <source>Disconnecting ...</source>
        <translation>Trenne ...</translation>
    </message>
    <message>
        <source>Please wait ...</source>
        <translation>Bitte warten ...</translation>
    </message>
    <message>
        <source>Determening IP</source>
        <translation>IP wird ermittelt</translation>
    </message>
    <message>
        <source>IP: %1</source>
        <translation>IP: %1</translation>
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
    <name>SettingsWizardPage</name>
    <message>
        <source>Sign In Completed</source>
        <translation>Anmeldung abgeschlossen</translation>
    </message>
    <message>
        <source>The sign in process has been completed. You can close this window and start using %1.</source>
        <translation>Die Anmeldung ist abgeschlossen. Sie können dieses Fenster schließen und %1 verwenden.</translation>
    </message>
</context>
<context>
    <name>StartWizardPage</name>
    <message>
        <source>Connection couldn&apos;t be established yet.&lt;br /&gt;Please check your internet connection and ensure no firewall is blocking access to the internet.</source>
        <translation>Die Verbindung konnte noch nicht hergestellt werden.&lt;br /&gt;Bitte prüfen Sie Ihre Internetverbindung und stellen Sie sicher, dass keine Firewall den Zugang zum Internet blockiert.</translation>
    </message>
    <message>
        <source>Trying to establish connection. Please wait ...</source>
        <translation>Verbindung wird hergestellt. Bitte warten ...</translation>
    </message>
</context>
<context>
    <name>StatusWindow</name>
    <message>
        <source>Disconnect</source>
        <translation>Trennen</translation>
    </message>
    <message>
        <source>Show Location</source>
        <translation>Standort anzeigen</translation>
    </message>
    <message>
        <source>Show Download Chart</source>
        <translation>Download-Diagramm anzeigen</translation>
    </message>
    <message>
        <source>Show Upload Chart</source>
        <translation>Upload-Diagramm anzeigen</translation>
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
    <name>TrialWaitingWizardPage</name>
    <message>
        <source>We have sent you an email. Please open the link in it to confirm your email address; your account is ready as soon as you have done so.</source>
        <translation>Wir haben Ihnen eine E-Mail gesendet. Bitte öffnen Sie den Link darin, um Ihre E-Mail-Adresse zu bestätigen; Ihr Konto ist bereit, sobald Sie das getan haben.</translation>
    </message>
    <message>
        <source>Waiting for email address confirmation ...</source>
        <translation>Warte auf die Bestätigung der E-Mail-Adresse ...</translation>
    </message>
    <message>
        <source>Restart sign up</source>
        <translation>Registrierung neu beginnen</translation>
    </message>
</context>
<context>
    <name>UserPanel</name>
    <message>
        <source>Sign in with your account to see its status here.</source>
        <translation>Melden Sie sich mit Ihrem Konto an, um hier seinen Status zu sehen.</translation>
    </message>
    <message>
        <source>Sign In</source>
        <translation>Anmelden</translation>
    </message>
    <message>
        <source>Fetching current account status ...</source>
        <translation>Aktueller Kontostatus wird abgerufen ...</translation>
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
    <name>VpnFailureDialog</name>
    <message>
        <source>Connection problems</source>
        <translation>Verbindungsprobleme</translation>
    </message>
    <message>
        <source>&lt;b&gt;It was not possible to establish a connection the VPN using %1 as protocol. We recommend you to try another protocol which you can choose in the &apos;Connection&apos; view on the left.&lt;/b&gt;&lt;br/&gt;&lt;br/&gt;If you&apos;re using a firewall, please also ensure that it is not blocking the connection and that there&apos;s no other VPN connection running.</source>
        <translation>&lt;b&gt;Mit %1 als Protokoll konnte keine Verbindung zum VPN hergestellt werden. Wir empfehlen, ein anderes Protokoll zu versuchen, das Sie links in der Ansicht „Verbindung“ wählen können.&lt;/b&gt;&lt;br/&gt;&lt;br/&gt;Falls Sie eine Firewall verwenden, stellen Sie bitte auch sicher, dass sie die Verbindung nicht blockiert und keine andere VPN-Verbindung aktiv ist.</translation>
    </message>
    <message>
        <source>Running %1 with administrator privileges might solve connection issues with OpenVPN. Check the box to start %1 with administrator privileges in the future (please restart the app).</source>
        <translation>Wird %1 mit Administratorrechten ausgeführt, lassen sich Verbindungsprobleme mit OpenVPN eventuell beheben. Setzen Sie das Häkchen, um %1 künftig mit Administratorrechten zu starten (bitte starten Sie die App danach neu).</translation>
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
        <source>Finish</source>
        <translation>Fertigstellen</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Weiter</translation>
    </message>
    <message>
        <source>Closing</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Do you really want to close the setup wizard?</source>
        <translation>Möchten Sie den Einrichtungsassistenten wirklich schließen?</translation>
    </message>
    <message>
        <source>Sign In</source>
        <translation>Anmelden</translation>
    </message>
    <message>
        <source>Please wait ...</source>
        <translation>Bitte warten ...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
</context>
</TS>
