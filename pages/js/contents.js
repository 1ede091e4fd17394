// Every text of the wizard's pages in its nine languages, and the helpers that put them on a page.
var contents = {
  "en": {
    "title": "Halvard Lumenary Pro Setup",
    "minimize": "Minimize",
    "close": "Close",
    "loading": "Checking your computer\u2026",
    "env_heading": "Setup cannot continue",
    "env_installed": "Halvard Lumenary Pro is already installed on this computer.",
    "env_server": "Halvard Lumenary Pro cannot be installed on a server edition of Windows.",
    "env_os_old": "Halvard Lumenary Pro needs Windows 7 or later.",
    "env_dpi": "The screen is too small for the current text size. Lower the display scaling and start setup again.",
    "welcome_heading": "Welcome to Halvard Lumenary Pro",
    "welcome_text": "Setup will download and install Halvard Lumenary Pro on this computer. This takes a few minutes.",
    "welcome_agree": "By clicking Install you accept the",
    "license_link": "licence agreement",
    "btn_install": "Install",
    "btn_close": "Close",
    "agreement_heading": "Licence agreement",
    "btn_accept": "Accept and install",
    "btn_back": "Back",
    "installing_heading": "Installing Halvard Lumenary Pro",
    "downloading": "Downloading\u2026",
    "installing": "Installing\u2026",
    "install_note": "You can keep working while setup runs.",
    "complete_heading": "Halvard Lumenary Pro is ready",
    "complete_text": "The installation finished successfully.",
    "start_now": "Start Halvard Lumenary Pro now",
    "btn_finish": "Finish",
    "retry_install": "Another installation is running. Wait until it has finished, then click Retry.",
    "btn_retry": "Retry",
    "btn_cancel": "Cancel",
    "btn_stop": "Stop download",
    "btn_continue": "Continue",
    "progress_label": "Installation progress",
    "failure_heading": "The download did not finish",
    "cause_network": "The connection to the download server was lost. Check your internet connection, then click Retry.",
    "cause_server": "The download server is busy or refused the request. Wait a moment, then click Retry.",
    "cause_notfound": "The installation package was not found on the download server. Click Retry to try again, or try again later.",
    "cause_diskfull": "There is not enough free disk space to download Halvard Lumenary Pro. Free some space, then click Retry.",
    "cause_verification": "The downloaded package failed its integrity check and was discarded. Click Retry to download it again.",
    "cause_proxy": "Your proxy server asks for a sign-in. Check your proxy settings, then click Retry.",
    "cause_other": "The download could not be completed. Click Retry to try again.",
    "confirm_cancel": "Stop the download and close setup? Halvard Lumenary Pro will not be installed.",
    "err_setup": "Setup of Halvard Lumenary Pro failed. A report with the details goes to the vendor.",
    "decimal": ".",
    "unit_kb": "KB",
    "unit_mb": "MB",
    "unit_gb": "GB",
    "size_of": "{current} of {total}",
    "eta_few": "a few seconds left",
    "eta_seconds": "about {n} seconds left",
    "eta_minute": "about 1 minute left",
    "eta_minutes": "about {n} minutes left",
    "eta_hour": "about 1 hour left",
    "eta_hours": "about {n} hours left"
  },
  "fr": {
    "title": "Installation de Halvard Lumenary Pro",
    "minimize": "R\u00e9duire",
    "close": "Fermer",
    "loading": "V\u00e9rification de votre ordinateur\u2026",
    "env_heading": "L'installation ne peut pas continuer",
    "env_installed": "Halvard Lumenary Pro est d\u00e9j\u00e0 install\u00e9 sur cet ordinateur.",
    "env_server": "Halvard Lumenary Pro ne peut pas \u00eatre install\u00e9 sur une \u00e9dition serveur de Windows.",
    "env_os_old": "Halvard Lumenary Pro n\u00e9cessite Windows 7 ou une version ult\u00e9rieure.",
    "env_dpi": "L'\u00e9cran est trop petit pour la taille de texte actuelle. R\u00e9duisez la mise \u00e0 l'\u00e9chelle de l'affichage et relancez l'installation.",
    "welcome_heading": "Bienvenue dans Halvard Lumenary Pro",
    "welcome_text": "Le programme va t\u00e9l\u00e9charger et installer Halvard Lumenary Pro sur cet ordinateur. Cela prend quelques minutes.",
    "welcome_agree": "En cliquant sur Installer, vous acceptez le",
    "license_link": "contrat de licence",
    "btn_install": "Installer",
    "btn_close": "Fermer",
    "agreement_heading": "Contrat de licence",
    "btn_accept": "Accepter et installer",
    "btn_back": "Retour",
    "installing_heading": "Installation de Halvard Lumenary Pro",
    "downloading": "T\u00e9l\u00e9chargement\u2026",
    "installing": "Installation\u2026",
    "install_note": "Vous pouvez continuer \u00e0 travailler pendant l'installation.",
    "complete_heading": "Halvard Lumenary Pro est pr\u00eat",
    "complete_text": "L'installation s'est termin\u00e9e avec succ\u00e8s.",
    "start_now": "D\u00e9marrer Halvard Lumenary Pro maintenant",
    "btn_finish": "Terminer",
    "retry_install": "Une autre installation est en cours. Attendez qu'elle soit termin\u00e9e, puis cliquez sur R\u00e9essayer.",
    "btn_retry": "R\u00e9essayer",
    "btn_cancel": "Annuler",
    "btn_stop": "Arr\u00eater le t\u00e9l\u00e9chargement",
    "btn_continue": "Continuer",
    "progress_label": "Progression de l'installation",
    "failure_heading": "Le t\u00e9l\u00e9chargement n'a pas abouti",
    "cause_network": "La connexion au serveur de t\u00e9l\u00e9chargement a \u00e9t\u00e9 perdue. V\u00e9rifiez votre connexion Internet, puis cliquez sur R\u00e9essayer.",
    "cause_server": "Le serveur de t\u00e9l\u00e9chargement est occup\u00e9 ou a refus\u00e9 la demande. Patientez un instant, puis cliquez sur R\u00e9essayer.",
    "cause_notfound": "Le package d'installation est introuvable sur le serveur de t\u00e9l\u00e9chargement. Cliquez sur R\u00e9essayer ou r\u00e9essayez plus tard.",
    "cause_diskfull": "L'espace disque est insuffisant pour t\u00e9l\u00e9charger Halvard Lumenary Pro. Lib\u00e9rez de l'espace, puis cliquez sur R\u00e9essayer.",
    "cause_verification": "Le package t\u00e9l\u00e9charg\u00e9 n'a pas pass\u00e9 le contr\u00f4le d'int\u00e9grit\u00e9 et a \u00e9t\u00e9 supprim\u00e9. Cliquez sur R\u00e9essayer pour le t\u00e9l\u00e9charger \u00e0 nouveau.",
    "cause_proxy": "Votre serveur proxy demande une authentification. V\u00e9rifiez vos param\u00e8tres de proxy, puis cliquez sur R\u00e9essayer.",
    "cause_other": "Le t\u00e9l\u00e9chargement n'a pas pu \u00eatre termin\u00e9. Cliquez sur R\u00e9essayer.",
    "confirm_cancel": "Arr\u00eater le t\u00e9l\u00e9chargement et fermer l'installation ? Halvard Lumenary Pro ne sera pas install\u00e9.",
    "err_setup": "L'installation de Halvard Lumenary Pro a \u00e9chou\u00e9. Un rapport d\u00e9taill\u00e9 est envoy\u00e9 \u00e0 l'\u00e9diteur.",
    "decimal": ",",
    "unit_kb": "Ko",
    "unit_mb": "Mo",
    "unit_gb": "Go",
    "size_of": "{current} sur {total}",
    "eta_few": "quelques secondes restantes",
    "eta_seconds": "environ {n} secondes restantes",
    "eta_minute": "environ 1 minute restante",
    "eta_minutes": "environ {n} minutes restantes",
    "eta_hour": "environ 1 heure restante",
    "eta_hours": "environ {n} heures restantes"
  },
  "de": {
    "title": "Halvard Lumenary Pro Setup",
    "minimize": "Minimieren",
    "close": "Schlie\u00dfen",
    "loading": "Ihr Computer wird gepr\u00fcft\u2026",
    "env_heading": "Setup kann nicht fortgesetzt werden",
    "env_installed": "Halvard Lumenary Pro ist auf diesem Computer bereits installiert.",
    "env_server": "Halvard Lumenary Pro kann nicht auf einer Server-Edition von Windows installiert werden.",
    "env_os_old": "Halvard Lumenary Pro ben\u00f6tigt Windows 7 oder neuer.",
    "env_dpi": "Der Bildschirm ist f\u00fcr die aktuelle Textgr\u00f6\u00dfe zu klein. Verringern Sie die Anzeigeskalierung und starten Sie Setup erneut.",
    "welcome_heading": "Willkommen bei Halvard Lumenary Pro",
    "welcome_text": "Setup l\u00e4dt Halvard Lumenary Pro herunter und installiert es auf diesem Computer. Das dauert einige Minuten.",
    "welcome_agree": "Mit einem Klick auf Installieren akzeptieren Sie die",
    "license_link": "Lizenzvereinbarung",
    "btn_install": "Installieren",
    "btn_close": "Schlie\u00dfen",
    "agreement_heading": "Lizenzvereinbarung",
    "btn_accept": "Akzeptieren und installieren",
    "btn_back": "Zur\u00fcck",
    "installing_heading": "Halvard Lumenary Pro wird installiert",
    "downloading": "Wird heruntergeladen\u2026",
    "installing": "Wird installiert\u2026",
    "install_note": "Sie k\u00f6nnen weiterarbeiten, w\u00e4hrend Setup l\u00e4uft.",
    "complete_heading": "Halvard Lumenary Pro ist bereit",
    "complete_text": "Die Installation wurde erfolgreich abgeschlossen.",
    "start_now": "Halvard Lumenary Pro jetzt starten",
    "btn_finish": "Fertig stellen",
    "retry_install": "Eine andere Installation l\u00e4uft gerade. Warten Sie, bis sie beendet ist, und klicken Sie dann auf Wiederholen.",
    "btn_retry": "Wiederholen",
    "btn_cancel": "Abbrechen",
    "btn_stop": "Download beenden",
    "btn_continue": "Fortsetzen",
    "progress_label": "Installationsfortschritt",
    "failure_heading": "Der Download wurde nicht abgeschlossen",
    "cause_network": "Die Verbindung zum Download-Server wurde unterbrochen. Pr\u00fcfen Sie Ihre Internetverbindung und klicken Sie dann auf Wiederholen.",
    "cause_server": "Der Download-Server ist ausgelastet oder hat die Anfrage abgelehnt. Warten Sie einen Moment und klicken Sie dann auf Wiederholen.",
    "cause_notfound": "Das Installationspaket wurde auf dem Download-Server nicht gefunden. Klicken Sie auf Wiederholen oder versuchen Sie es sp\u00e4ter erneut.",
    "cause_diskfull": "Es ist nicht gen\u00fcgend Speicherplatz frei, um Halvard Lumenary Pro herunterzuladen. Geben Sie Speicherplatz frei und klicken Sie dann auf Wiederholen.",
    "cause_verification": "Das heruntergeladene Paket hat die Integrit\u00e4tspr\u00fcfung nicht bestanden und wurde verworfen. Klicken Sie auf Wiederholen, um es erneut herunterzuladen.",
    "cause_proxy": "Ihr Proxyserver verlangt eine Anmeldung. Pr\u00fcfen Sie Ihre Proxyeinstellungen und klicken Sie dann auf Wiederholen.",
    "cause_other": "Der Download konnte nicht abgeschlossen werden. Klicken Sie auf Wiederholen, um es erneut zu versuchen.",
    "confirm_cancel": "Download beenden und Setup schlie\u00dfen? Halvard Lumenary Pro wird nicht installiert.",
    "err_setup": "Das Setup von Halvard Lumenary Pro ist fehlgeschlagen. Ein Bericht mit den Einzelheiten geht an den Hersteller.",
    "decimal": ",",
    "unit_kb": "KB",
    "unit_mb": "MB",
    "unit_gb": "GB",
    "size_of": "{current} von {total}",
    "eta_few": "noch wenige Sekunden",
    "eta_seconds": "noch etwa {n} Sekunden",
    "eta_minute": "noch etwa 1 Minute",
    "eta_minutes": "noch etwa {n} Minuten",
    "eta_hour": "noch etwa 1 Stunde",
    "eta_hours": "noch etwa {n} Stunden"
  },
  "it": {
    "title": "Installazione di Halvard Lumenary Pro",
    "minimize": "Riduci a icona",
    "close": "Chiudi",
    "loading": "Verifica del computer in corso\u2026",
    "env_heading": "Impossibile proseguire con l'installazione",
    "env_installed": "Halvard Lumenary Pro \u00e8 gi\u00e0 installato su questo computer.",
    "env_server": "Halvard Lumenary Pro non pu\u00f2 essere installato su un'edizione server di Windows.",
    "env_os_old": "Halvard Lumenary Pro richiede Windows 7 o versioni successive.",
    "env_dpi": "Lo schermo \u00e8 troppo piccolo per la dimensione del testo attuale. Riduci il ridimensionamento dello schermo e riavvia l'installazione.",
    "welcome_heading": "Benvenuto in Halvard Lumenary Pro",
    "welcome_text": "Il programma scaricher\u00e0 e installer\u00e0 Halvard Lumenary Pro su questo computer. L'operazione richiede alcuni minuti.",
    "welcome_agree": "Facendo clic su Installa accetti il",
    "license_link": "contratto di licenza",
    "btn_install": "Installa",
    "btn_close": "Chiudi",
    "agreement_heading": "Contratto di licenza",
    "btn_accept": "Accetta e installa",
    "btn_back": "Indietro",
    "installing_heading": "Installazione di Halvard Lumenary Pro",
    "downloading": "Download in corso\u2026",
    "installing": "Installazione in corso\u2026",
    "install_note": "Puoi continuare a lavorare durante l'installazione.",
    "complete_heading": "Halvard Lumenary Pro \u00e8 pronto",
    "complete_text": "L'installazione \u00e8 stata completata correttamente.",
    "start_now": "Avvia subito Halvard Lumenary Pro",
    "btn_finish": "Fine",
    "retry_install": "\u00c8 in corso un'altra installazione. Attendi che sia terminata, quindi fai clic su Riprova.",
    "btn_retry": "Riprova",
    "btn_cancel": "Annulla",
    "btn_stop": "Interrompi download",
    "btn_continue": "Continua",
    "progress_label": "Avanzamento dell'installazione",
    "failure_heading": "Il download non \u00e8 stato completato",
    "cause_network": "La connessione al server di download si \u00e8 interrotta. Controlla la connessione a Internet, quindi fai clic su Riprova.",
    "cause_server": "Il server di download \u00e8 occupato o ha rifiutato la richiesta. Attendi qualche istante, quindi fai clic su Riprova.",
    "cause_notfound": "Il pacchetto di installazione non \u00e8 stato trovato sul server di download. Fai clic su Riprova oppure riprova pi\u00f9 tardi.",
    "cause_diskfull": "Lo spazio su disco non \u00e8 sufficiente per scaricare Halvard Lumenary Pro. Libera spazio, quindi fai clic su Riprova.",
    "cause_verification": "Il pacchetto scaricato non ha superato il controllo di integrit\u00e0 ed \u00e8 stato scartato. Fai clic su Riprova per scaricarlo di nuovo.",
    "cause_proxy": "Il server proxy richiede l'accesso. Controlla le impostazioni del proxy, quindi fai clic su Riprova.",
    "cause_other": "Impossibile completare il download. Fai clic su Riprova per tentare di nuovo.",
    "confirm_cancel": "Interrompere il download e chiudere l'installazione? Halvard Lumenary Pro non verr\u00e0 installato.",
    "err_setup": "L'installazione di Halvard Lumenary Pro non \u00e8 riuscita. Un rapporto con i dettagli viene inviato al produttore.",
    "decimal": ",",
    "unit_kb": "KB",
    "unit_mb": "MB",
    "unit_gb": "GB",
    "size_of": "{current} di {total}",
    "eta_few": "ancora pochi secondi",
    "eta_seconds": "circa {n} secondi rimanenti",
    "eta_minute": "circa 1 minuto rimanente",
    "eta_minutes": "circa {n} minuti rimanenti",
    "eta_hour": "circa 1 ora rimanente",
    "eta_hours": "circa {n} ore rimanenti"
  },
  "jp": {
    "title": "Halvard Lumenary Pro \u30bb\u30c3\u30c8\u30a2\u30c3\u30d7",
    "minimize": "\u6700\u5c0f\u5316",
    "close": "\u9589\u3058\u308b",
    "loading": "\u30b3\u30f3\u30d4\u30e5\u30fc\u30bf\u30fc\u3092\u78ba\u8a8d\u3057\u3066\u3044\u307e\u3059\u2026",
    "env_heading": "\u30bb\u30c3\u30c8\u30a2\u30c3\u30d7\u3092\u7d9a\u884c\u3067\u304d\u307e\u305b\u3093",
    "env_installed": "Halvard Lumenary Pro \u306f\u3053\u306e\u30b3\u30f3\u30d4\u30e5\u30fc\u30bf\u30fc\u306b\u65e2\u306b\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb\u3055\u308c\u3066\u3044\u307e\u3059\u3002",
    "env_server": "Halvard Lumenary Pro \u306f Windows \u306e\u30b5\u30fc\u30d0\u30fc \u30a8\u30c7\u30a3\u30b7\u30e7\u30f3\u306b\u306f\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb\u3067\u304d\u307e\u305b\u3093\u3002",
    "env_os_old": "Halvard Lumenary Pro \u306b\u306f Windows 7 \u4ee5\u964d\u304c\u5fc5\u8981\u3067\u3059\u3002",
    "env_dpi": "\u73fe\u5728\u306e\u6587\u5b57\u30b5\u30a4\u30ba\u306b\u5bfe\u3057\u3066\u753b\u9762\u304c\u5c0f\u3055\u3059\u304e\u307e\u3059\u3002\u8868\u793a\u306e\u62e1\u5927\u7387\u3092\u4e0b\u3052\u3066\u3001\u30bb\u30c3\u30c8\u30a2\u30c3\u30d7\u3092\u3082\u3046\u4e00\u5ea6\u958b\u59cb\u3057\u3066\u304f\u3060\u3055\u3044\u3002",
    "welcome_heading": "Halvard Lumenary Pro \u3078\u3088\u3046\u3053\u305d",
    "welcome_text": "Halvard Lumenary Pro \u3092\u30c0\u30a6\u30f3\u30ed\u30fc\u30c9\u3057\u3066\u3053\u306e\u30b3\u30f3\u30d4\u30e5\u30fc\u30bf\u30fc\u306b\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb\u3057\u307e\u3059\u3002\u6570\u5206\u304b\u304b\u308a\u307e\u3059\u3002",
    "welcome_agree": "[\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb] \u3092\u30af\u30ea\u30c3\u30af\u3059\u308b\u3068\u3001\u6b21\u306b\u540c\u610f\u3057\u305f\u3053\u3068\u306b\u306a\u308a\u307e\u3059:",
    "license_link": "\u4f7f\u7528\u8a31\u8afe\u5951\u7d04",
    "btn_install": "\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb",
    "btn_close": "\u9589\u3058\u308b",
    "agreement_heading": "\u4f7f\u7528\u8a31\u8afe\u5951\u7d04",
    "btn_accept": "\u540c\u610f\u3057\u3066\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb",
    "btn_back": "\u623b\u308b",
    "installing_heading": "Halvard Lumenary Pro \u3092\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb\u3057\u3066\u3044\u307e\u3059",
    "downloading": "\u30c0\u30a6\u30f3\u30ed\u30fc\u30c9\u4e2d\u2026",
    "installing": "\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb\u4e2d\u2026",
    "install_note": "\u30bb\u30c3\u30c8\u30a2\u30c3\u30d7\u306e\u5b9f\u884c\u4e2d\u3082\u4f5c\u696d\u3092\u7d9a\u3051\u3089\u308c\u307e\u3059\u3002",
    "complete_heading": "Halvard Lumenary Pro \u306e\u6e96\u5099\u304c\u3067\u304d\u307e\u3057\u305f",
    "complete_text": "\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb\u304c\u6b63\u5e38\u306b\u5b8c\u4e86\u3057\u307e\u3057\u305f\u3002",
    "start_now": "\u4eca\u3059\u3050 Halvard Lumenary Pro \u3092\u8d77\u52d5\u3059\u308b",
    "btn_finish": "\u5b8c\u4e86",
    "retry_install": "\u5225\u306e\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb\u304c\u5b9f\u884c\u4e2d\u3067\u3059\u3002\u7d42\u4e86\u3059\u308b\u307e\u3067\u5f85\u3063\u3066\u304b\u3089 [\u518d\u8a66\u884c] \u3092\u30af\u30ea\u30c3\u30af\u3057\u3066\u304f\u3060\u3055\u3044\u3002",
    "btn_retry": "\u518d\u8a66\u884c",
    "btn_cancel": "\u30ad\u30e3\u30f3\u30bb\u30eb",
    "btn_stop": "\u30c0\u30a6\u30f3\u30ed\u30fc\u30c9\u3092\u4e2d\u6b62",
    "btn_continue": "\u7d9a\u884c",
    "progress_label": "\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb\u306e\u9032\u884c\u72b6\u6cc1",
    "failure_heading": "\u30c0\u30a6\u30f3\u30ed\u30fc\u30c9\u304c\u5b8c\u4e86\u3057\u307e\u305b\u3093\u3067\u3057\u305f",
    "cause_network": "\u30c0\u30a6\u30f3\u30ed\u30fc\u30c9 \u30b5\u30fc\u30d0\u30fc\u3068\u306e\u63a5\u7d9a\u304c\u5207\u308c\u307e\u3057\u305f\u3002\u30a4\u30f3\u30bf\u30fc\u30cd\u30c3\u30c8\u63a5\u7d9a\u3092\u78ba\u8a8d\u3057\u3066\u304b\u3089 [\u518d\u8a66\u884c] \u3092\u30af\u30ea\u30c3\u30af\u3057\u3066\u304f\u3060\u3055\u3044\u3002",
    "cause_server": "\u30c0\u30a6\u30f3\u30ed\u30fc\u30c9 \u30b5\u30fc\u30d0\u30fc\u304c\u6df7\u96d1\u3057\u3066\u3044\u308b\u304b\u3001\u8981\u6c42\u3092\u62d2\u5426\u3057\u307e\u3057\u305f\u3002\u3057\u3070\u3089\u304f\u5f85\u3063\u3066\u304b\u3089 [\u518d\u8a66\u884c] \u3092\u30af\u30ea\u30c3\u30af\u3057\u3066\u304f\u3060\u3055\u3044\u3002",
    "cause_notfound": "\u30c0\u30a6\u30f3\u30ed\u30fc\u30c9 \u30b5\u30fc\u30d0\u30fc\u306b\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb \u30d1\u30c3\u30b1\u30fc\u30b8\u304c\u898b\u3064\u304b\u308a\u307e\u305b\u3093\u3002[\u518d\u8a66\u884c] \u3092\u30af\u30ea\u30c3\u30af\u3059\u308b\u304b\u3001\u5f8c\u3067\u3082\u3046\u4e00\u5ea6\u304a\u8a66\u3057\u304f\u3060\u3055\u3044\u3002",
    "cause_diskfull": "Halvard Lumenary Pro \u3092\u30c0\u30a6\u30f3\u30ed\u30fc\u30c9\u3059\u308b\u305f\u3081\u306e\u30c7\u30a3\u30b9\u30af\u306e\u7a7a\u304d\u9818\u57df\u304c\u4e0d\u8db3\u3057\u3066\u3044\u307e\u3059\u3002\u7a7a\u304d\u9818\u57df\u3092\u78ba\u4fdd\u3057\u3066\u304b\u3089 [\u518d\u8a66\u884c] \u3092\u30af\u30ea\u30c3\u30af\u3057\u3066\u304f\u3060\u3055\u3044\u3002",
    "cause_verification": "\u30c0\u30a6\u30f3\u30ed\u30fc\u30c9\u3057\u305f\u30d1\u30c3\u30b1\u30fc\u30b8\u304c\u6574\u5408\u6027\u30c1\u30a7\u30c3\u30af\u306b\u5408\u683c\u3057\u306a\u304b\u3063\u305f\u305f\u3081\u3001\u7834\u68c4\u3057\u307e\u3057\u305f\u3002[\u518d\u8a66\u884c] \u3092\u30af\u30ea\u30c3\u30af\u3057\u3066\u3082\u3046\u4e00\u5ea6\u30c0\u30a6\u30f3\u30ed\u30fc\u30c9\u3057\u3066\u304f\u3060\u3055\u3044\u3002",
    "cause_proxy": "\u30d7\u30ed\u30ad\u30b7 \u30b5\u30fc\u30d0\u30fc\u304c\u30b5\u30a4\u30f3\u30a4\u30f3\u3092\u6c42\u3081\u3066\u3044\u307e\u3059\u3002\u30d7\u30ed\u30ad\u30b7\u306e\u8a2d\u5b9a\u3092\u78ba\u8a8d\u3057\u3066\u304b\u3089 [\u518d\u8a66\u884c] \u3092\u30af\u30ea\u30c3\u30af\u3057\u3066\u304f\u3060\u3055\u3044\u3002",
    "cause_other": "\u30c0\u30a6\u30f3\u30ed\u30fc\u30c9\u3092\u5b8c\u4e86\u3067\u304d\u307e\u305b\u3093\u3067\u3057\u305f\u3002[\u518d\u8a66\u884c] \u3092\u30af\u30ea\u30c3\u30af\u3057\u3066\u3082\u3046\u4e00\u5ea6\u304a\u8a66\u3057\u304f\u3060\u3055\u3044\u3002",
    "confirm_cancel": "\u30c0\u30a6\u30f3\u30ed\u30fc\u30c9\u3092\u4e2d\u6b62\u3057\u3066\u30bb\u30c3\u30c8\u30a2\u30c3\u30d7\u3092\u9589\u3058\u307e\u3059\u304b? Halvard Lumenary Pro \u306f\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb\u3055\u308c\u307e\u305b\u3093\u3002",
    "err_setup": "Halvard Lumenary Pro \u306e\u30bb\u30c3\u30c8\u30a2\u30c3\u30d7\u306b\u5931\u6557\u3057\u307e\u3057\u305f\u3002\u8a73\u7d30\u3092\u8a18\u3057\u305f\u30ec\u30dd\u30fc\u30c8\u304c\u63d0\u4f9b\u5143\u306b\u9001\u4fe1\u3055\u308c\u307e\u3059\u3002",
    "decimal": ".",
    "unit_kb": "KB",
    "unit_mb": "MB",
    "unit_gb": "GB",
    "size_of": "{current} / {total}",
    "eta_few": "\u6b8b\u308a\u6570\u79d2",
    "eta_seconds": "\u6b8b\u308a\u7d04 {n} \u79d2",
    "eta_minute": "\u6b8b\u308a\u7d04 1 \u5206",
    "eta_minutes": "\u6b8b\u308a\u7d04 {n} \u5206",
    "eta_hour": "\u6b8b\u308a\u7d04 1 \u6642\u9593",
    "eta_hours": "\u6b8b\u308a\u7d04 {n} \u6642\u9593"
  },
  "es": {
    "title": "Instalaci\u00f3n de Halvard Lumenary Pro",
    "minimize": "Minimizar",
    "close": "Cerrar",
    "loading": "Comprobando el equipo\u2026",
    "env_heading": "La instalaci\u00f3n no puede continuar",
    "env_installed": "Halvard Lumenary Pro ya est\u00e1 instalado en este equipo.",
    "env_server": "Halvard Lumenary Pro no se puede instalar en una edici\u00f3n de servidor de Windows.",
    "env_os_old": "Halvard Lumenary Pro necesita Windows 7 o posterior.",
    "env_dpi": "La pantalla es demasiado peque\u00f1a para el tama\u00f1o de texto actual. Reduzca la escala de la pantalla y vuelva a iniciar la instalaci\u00f3n.",
    "welcome_heading": "Bienvenido a Halvard Lumenary Pro",
    "welcome_text": "El programa descargar\u00e1 e instalar\u00e1 Halvard Lumenary Pro en este equipo. Tardar\u00e1 unos minutos.",
    "welcome_agree": "Al hacer clic en Instalar, acepta el",
    "license_link": "contrato de licencia",
    "btn_install": "Instalar",
    "btn_close": "Cerrar",
    "agreement_heading": "Contrato de licencia",
    "btn_accept": "Aceptar e instalar",
    "btn_back": "Atr\u00e1s",
    "installing_heading": "Instalando Halvard Lumenary Pro",
    "downloading": "Descargando\u2026",
    "installing": "Instalando\u2026",
    "install_note": "Puede seguir trabajando mientras se instala.",
    "complete_heading": "Halvard Lumenary Pro est\u00e1 listo",
    "complete_text": "La instalaci\u00f3n ha finalizado correctamente.",
    "start_now": "Iniciar Halvard Lumenary Pro ahora",
    "btn_finish": "Finalizar",
    "retry_install": "Hay otra instalaci\u00f3n en curso. Espere a que termine y haga clic en Reintentar.",
    "btn_retry": "Reintentar",
    "btn_cancel": "Cancelar",
    "btn_stop": "Detener la descarga",
    "btn_continue": "Continuar",
    "progress_label": "Progreso de la instalaci\u00f3n",
    "failure_heading": "La descarga no ha finalizado",
    "cause_network": "Se perdi\u00f3 la conexi\u00f3n con el servidor de descarga. Compruebe su conexi\u00f3n a Internet y haga clic en Reintentar.",
    "cause_server": "El servidor de descarga est\u00e1 ocupado o ha rechazado la solicitud. Espere un momento y haga clic en Reintentar.",
    "cause_notfound": "No se encontr\u00f3 el paquete de instalaci\u00f3n en el servidor de descarga. Haga clic en Reintentar o vuelva a intentarlo m\u00e1s tarde.",
    "cause_diskfull": "No hay espacio libre suficiente en el disco para descargar Halvard Lumenary Pro. Libere espacio y haga clic en Reintentar.",
    "cause_verification": "El paquete descargado no super\u00f3 la comprobaci\u00f3n de integridad y se ha descartado. Haga clic en Reintentar para descargarlo de nuevo.",
    "cause_proxy": "Su servidor proxy solicita un inicio de sesi\u00f3n. Compruebe la configuraci\u00f3n del proxy y haga clic en Reintentar.",
    "cause_other": "No se pudo completar la descarga. Haga clic en Reintentar para volver a intentarlo.",
    "confirm_cancel": "\u00bfDetener la descarga y cerrar la instalaci\u00f3n? Halvard Lumenary Pro no se instalar\u00e1.",
    "err_setup": "La instalaci\u00f3n de Halvard Lumenary Pro ha fallado. Se env\u00eda un informe con los detalles al fabricante.",
    "decimal": ",",
    "unit_kb": "KB",
    "unit_mb": "MB",
    "unit_gb": "GB",
    "size_of": "{current} de {total}",
    "eta_few": "quedan unos segundos",
    "eta_seconds": "quedan unos {n} segundos",
    "eta_minute": "queda 1 minuto aproximadamente",
    "eta_minutes": "quedan unos {n} minutos",
    "eta_hour": "queda 1 hora aproximadamente",
    "eta_hours": "quedan unas {n} horas"
  },
  "nl": {
    "title": "Installatie van Halvard Lumenary Pro",
    "minimize": "Minimaliseren",
    "close": "Sluiten",
    "loading": "Uw computer wordt gecontroleerd\u2026",
    "env_heading": "De installatie kan niet doorgaan",
    "env_installed": "Halvard Lumenary Pro is al op deze computer ge\u00efnstalleerd.",
    "env_server": "Halvard Lumenary Pro kan niet op een servereditie van Windows worden ge\u00efnstalleerd.",
    "env_os_old": "Halvard Lumenary Pro vereist Windows 7 of hoger.",
    "env_dpi": "Het scherm is te klein voor de huidige tekstgrootte. Verlaag de schaal van het beeldscherm en start de installatie opnieuw.",
    "welcome_heading": "Welkom bij Halvard Lumenary Pro",
    "welcome_text": "Het programma downloadt Halvard Lumenary Pro en installeert het op deze computer. Dit duurt enkele minuten.",
    "welcome_agree": "Door op Installeren te klikken gaat u akkoord met de",
    "license_link": "licentieovereenkomst",
    "btn_install": "Installeren",
    "btn_close": "Sluiten",
    "agreement_heading": "Licentieovereenkomst",
    "btn_accept": "Accepteren en installeren",
    "btn_back": "Terug",
    "installing_heading": "Halvard Lumenary Pro wordt ge\u00efnstalleerd",
    "downloading": "Bezig met downloaden\u2026",
    "installing": "Bezig met installeren\u2026",
    "install_note": "U kunt blijven werken terwijl de installatie loopt.",
    "complete_heading": "Halvard Lumenary Pro is klaar",
    "complete_text": "De installatie is voltooid.",
    "start_now": "Halvard Lumenary Pro nu starten",
    "btn_finish": "Voltooien",
    "retry_install": "Er loopt al een andere installatie. Wacht tot deze klaar is en klik dan op Opnieuw.",
    "btn_retry": "Opnieuw",
    "btn_cancel": "Annuleren",
    "btn_stop": "Download stoppen",
    "btn_continue": "Doorgaan",
    "progress_label": "Voortgang van de installatie",
    "failure_heading": "De download is niet voltooid",
    "cause_network": "De verbinding met de downloadserver is verbroken. Controleer uw internetverbinding en klik dan op Opnieuw.",
    "cause_server": "De downloadserver is bezet of heeft het verzoek geweigerd. Wacht even en klik dan op Opnieuw.",
    "cause_notfound": "Het installatiepakket is niet gevonden op de downloadserver. Klik op Opnieuw of probeer het later opnieuw.",
    "cause_diskfull": "Er is niet genoeg vrije schijfruimte om Halvard Lumenary Pro te downloaden. Maak ruimte vrij en klik dan op Opnieuw.",
    "cause_verification": "Het gedownloade pakket heeft de integriteitscontrole niet doorstaan en is verwijderd. Klik op Opnieuw om het opnieuw te downloaden.",
    "cause_proxy": "Uw proxyserver vraagt om aanmelding. Controleer uw proxyinstellingen en klik dan op Opnieuw.",
    "cause_other": "De download kon niet worden voltooid. Klik op Opnieuw om het nog eens te proberen.",
    "confirm_cancel": "De download stoppen en de installatie sluiten? Halvard Lumenary Pro wordt niet ge\u00efnstalleerd.",
    "err_setup": "De installatie van Halvard Lumenary Pro is mislukt. Er gaat een rapport met de details naar de leverancier.",
    "decimal": ",",
    "unit_kb": "KB",
    "unit_mb": "MB",
    "unit_gb": "GB",
    "size_of": "{current} van {total}",
    "eta_few": "nog enkele seconden",
    "eta_seconds": "nog ongeveer {n} seconden",
    "eta_minute": "nog ongeveer 1 minuut",
    "eta_minutes": "nog ongeveer {n} minuten",
    "eta_hour": "nog ongeveer 1 uur",
    "eta_hours": "nog ongeveer {n} uur"
  },
  "ru": {
    "title": "\u0423\u0441\u0442\u0430\u043d\u043e\u0432\u043a\u0430 Halvard Lumenary Pro",
    "minimize": "\u0421\u0432\u0435\u0440\u043d\u0443\u0442\u044c",
    "close": "\u0417\u0430\u043a\u0440\u044b\u0442\u044c",
    "loading": "\u041f\u0440\u043e\u0432\u0435\u0440\u043a\u0430 \u043a\u043e\u043c\u043f\u044c\u044e\u0442\u0435\u0440\u0430\u2026",
    "env_heading": "\u0423\u0441\u0442\u0430\u043d\u043e\u0432\u043a\u0443 \u043d\u0435\u043b\u044c\u0437\u044f \u043f\u0440\u043e\u0434\u043e\u043b\u0436\u0438\u0442\u044c",
    "env_installed": "Halvard Lumenary Pro \u0443\u0436\u0435 \u0443\u0441\u0442\u0430\u043d\u043e\u0432\u043b\u0435\u043d \u043d\u0430 \u044d\u0442\u043e\u043c \u043a\u043e\u043c\u043f\u044c\u044e\u0442\u0435\u0440\u0435.",
    "env_server": "Halvard Lumenary Pro \u043d\u0435\u043b\u044c\u0437\u044f \u0443\u0441\u0442\u0430\u043d\u043e\u0432\u0438\u0442\u044c \u0432 \u0441\u0435\u0440\u0432\u0435\u0440\u043d\u043e\u0439 \u0432\u0435\u0440\u0441\u0438\u0438 Windows.",
    "env_os_old": "\u0414\u043b\u044f Halvard Lumenary Pro \u043d\u0443\u0436\u043d\u0430 Windows 7 \u0438\u043b\u0438 \u0431\u043e\u043b\u0435\u0435 \u043d\u043e\u0432\u0430\u044f \u0432\u0435\u0440\u0441\u0438\u044f.",
    "env_dpi": "\u042d\u043a\u0440\u0430\u043d \u0441\u043b\u0438\u0448\u043a\u043e\u043c \u043c\u0430\u043b \u0434\u043b\u044f \u0442\u0435\u043a\u0443\u0449\u0435\u0433\u043e \u0440\u0430\u0437\u043c\u0435\u0440\u0430 \u0442\u0435\u043a\u0441\u0442\u0430. \u0423\u043c\u0435\u043d\u044c\u0448\u0438\u0442\u0435 \u043c\u0430\u0441\u0448\u0442\u0430\u0431 \u044d\u043a\u0440\u0430\u043d\u0430 \u0438 \u0437\u0430\u043f\u0443\u0441\u0442\u0438\u0442\u0435 \u0443\u0441\u0442\u0430\u043d\u043e\u0432\u043a\u0443 \u0441\u043d\u043e\u0432\u0430.",
    "welcome_heading": "\u0414\u043e\u0431\u0440\u043e \u043f\u043e\u0436\u0430\u043b\u043e\u0432\u0430\u0442\u044c \u0432 Halvard Lumenary Pro",
    "welcome_text": "\u041f\u0440\u043e\u0433\u0440\u0430\u043c\u043c\u0430 \u0437\u0430\u0433\u0440\u0443\u0437\u0438\u0442 \u0438 \u0443\u0441\u0442\u0430\u043d\u043e\u0432\u0438\u0442 Halvard Lumenary Pro \u043d\u0430 \u044d\u0442\u043e\u0442 \u043a\u043e\u043c\u043f\u044c\u044e\u0442\u0435\u0440. \u042d\u0442\u043e \u0437\u0430\u0439\u043c\u0451\u0442 \u043d\u0435\u0441\u043a\u043e\u043b\u044c\u043a\u043e \u043c\u0438\u043d\u0443\u0442.",
    "welcome_agree": "\u041d\u0430\u0436\u0438\u043c\u0430\u044f \u00ab\u0423\u0441\u0442\u0430\u043d\u043e\u0432\u0438\u0442\u044c\u00bb, \u0432\u044b \u043f\u0440\u0438\u043d\u0438\u043c\u0430\u0435\u0442\u0435",
    "license_link": "\u043b\u0438\u0446\u0435\u043d\u0437\u0438\u043e\u043d\u043d\u043e\u0435 \u0441\u043e\u0433\u043b\u0430\u0448\u0435\u043d\u0438\u0435",
    "btn_install": "\u0423\u0441\u0442\u0430\u043d\u043e\u0432\u0438\u0442\u044c",
    "btn_close": "\u0417\u0430\u043a\u0440\u044b\u0442\u044c",
    "agreement_heading": "\u041b\u0438\u0446\u0435\u043d\u0437\u0438\u043e\u043d\u043d\u043e\u0435 \u0441\u043e\u0433\u043b\u0430\u0448\u0435\u043d\u0438\u0435",
    "btn_accept": "\u041f\u0440\u0438\u043d\u044f\u0442\u044c \u0438 \u0443\u0441\u0442\u0430\u043d\u043e\u0432\u0438\u0442\u044c",
    "btn_back": "\u041d\u0430\u0437\u0430\u0434",
    "installing_heading": "\u0423\u0441\u0442\u0430\u043d\u043e\u0432\u043a\u0430 Halvard Lumenary Pro",
    "downloading": "\u0417\u0430\u0433\u0440\u0443\u0437\u043a\u0430\u2026",
    "installing": "\u0423\u0441\u0442\u0430\u043d\u043e\u0432\u043a\u0430\u2026",
    "install_note": "\u041f\u043e\u043a\u0430 \u0438\u0434\u0451\u0442 \u0443\u0441\u0442\u0430\u043d\u043e\u0432\u043a\u0430, \u043c\u043e\u0436\u043d\u043e \u043f\u0440\u043e\u0434\u043e\u043b\u0436\u0430\u0442\u044c \u0440\u0430\u0431\u043e\u0442\u0443.",
    "complete_heading": "Halvard Lumenary Pro \u0433\u043e\u0442\u043e\u0432 \u043a \u0440\u0430\u0431\u043e\u0442\u0435",
    "complete_text": "\u0423\u0441\u0442\u0430\u043d\u043e\u0432\u043a\u0430 \u0443\u0441\u043f\u0435\u0448\u043d\u043e \u0437\u0430\u0432\u0435\u0440\u0448\u0435\u043d\u0430.",
    "start_now": "\u0417\u0430\u043f\u0443\u0441\u0442\u0438\u0442\u044c Halvard Lumenary Pro \u0441\u0435\u0439\u0447\u0430\u0441",
    "btn_finish": "\u0413\u043e\u0442\u043e\u0432\u043e",
    "retry_install": "\u0412\u044b\u043f\u043e\u043b\u043d\u044f\u0435\u0442\u0441\u044f \u0434\u0440\u0443\u0433\u0430\u044f \u0443\u0441\u0442\u0430\u043d\u043e\u0432\u043a\u0430. \u0414\u043e\u0436\u0434\u0438\u0442\u0435\u0441\u044c \u0435\u0451 \u043e\u043a\u043e\u043d\u0447\u0430\u043d\u0438\u044f \u0438 \u043d\u0430\u0436\u043c\u0438\u0442\u0435 \u00ab\u041f\u043e\u0432\u0442\u043e\u0440\u00bb.",
    "btn_retry": "\u041f\u043e\u0432\u0442\u043e\u0440",
    "btn_cancel": "\u041e\u0442\u043c\u0435\u043d\u0430",
    "btn_stop": "\u041e\u0441\u0442\u0430\u043d\u043e\u0432\u0438\u0442\u044c \u0437\u0430\u0433\u0440\u0443\u0437\u043a\u0443",
    "btn_continue": "\u041f\u0440\u043e\u0434\u043e\u043b\u0436\u0438\u0442\u044c",
    "progress_label": "\u0425\u043e\u0434 \u0443\u0441\u0442\u0430\u043d\u043e\u0432\u043a\u0438",
    "failure_heading": "\u0417\u0430\u0433\u0440\u0443\u0437\u043a\u0430 \u043d\u0435 \u0437\u0430\u0432\u0435\u0440\u0448\u0435\u043d\u0430",
    "cause_network": "\u0421\u043e\u0435\u0434\u0438\u043d\u0435\u043d\u0438\u0435 \u0441 \u0441\u0435\u0440\u0432\u0435\u0440\u043e\u043c \u0437\u0430\u0433\u0440\u0443\u0437\u043a\u0438 \u043f\u0440\u0435\u0440\u0432\u0430\u043d\u043e. \u041f\u0440\u043e\u0432\u0435\u0440\u044c\u0442\u0435 \u043f\u043e\u0434\u043a\u043b\u044e\u0447\u0435\u043d\u0438\u0435 \u043a \u0418\u043d\u0442\u0435\u0440\u043d\u0435\u0442\u0443 \u0438 \u043d\u0430\u0436\u043c\u0438\u0442\u0435 \u00ab\u041f\u043e\u0432\u0442\u043e\u0440\u00bb.",
    "cause_server": "\u0421\u0435\u0440\u0432\u0435\u0440 \u0437\u0430\u0433\u0440\u0443\u0437\u043a\u0438 \u0437\u0430\u043d\u044f\u0442 \u0438\u043b\u0438 \u043e\u0442\u043a\u043b\u043e\u043d\u0438\u043b \u0437\u0430\u043f\u0440\u043e\u0441. \u041f\u043e\u0434\u043e\u0436\u0434\u0438\u0442\u0435 \u043d\u0435\u043c\u043d\u043e\u0433\u043e \u0438 \u043d\u0430\u0436\u043c\u0438\u0442\u0435 \u00ab\u041f\u043e\u0432\u0442\u043e\u0440\u00bb.",
    "cause_notfound": "\u0423\u0441\u0442\u0430\u043d\u043e\u0432\u043e\u0447\u043d\u044b\u0439 \u043f\u0430\u043a\u0435\u0442 \u043d\u0435 \u043d\u0430\u0439\u0434\u0435\u043d \u043d\u0430 \u0441\u0435\u0440\u0432\u0435\u0440\u0435 \u0437\u0430\u0433\u0440\u0443\u0437\u043a\u0438. \u041d\u0430\u0436\u043c\u0438\u0442\u0435 \u00ab\u041f\u043e\u0432\u0442\u043e\u0440\u00bb \u0438\u043b\u0438 \u043f\u043e\u0432\u0442\u043e\u0440\u0438\u0442\u0435 \u043f\u043e\u043f\u044b\u0442\u043a\u0443 \u043f\u043e\u0437\u0436\u0435.",
    "cause_diskfull": "\u041d\u0430 \u0434\u0438\u0441\u043a\u0435 \u043d\u0435\u0434\u043e\u0441\u0442\u0430\u0442\u043e\u0447\u043d\u043e \u043c\u0435\u0441\u0442\u0430 \u0434\u043b\u044f \u0437\u0430\u0433\u0440\u0443\u0437\u043a\u0438 Halvard Lumenary Pro. \u041e\u0441\u0432\u043e\u0431\u043e\u0434\u0438\u0442\u0435 \u043c\u0435\u0441\u0442\u043e \u0438 \u043d\u0430\u0436\u043c\u0438\u0442\u0435 \u00ab\u041f\u043e\u0432\u0442\u043e\u0440\u00bb.",
    "cause_verification": "\u0417\u0430\u0433\u0440\u0443\u0436\u0435\u043d\u043d\u044b\u0439 \u043f\u0430\u043a\u0435\u0442 \u043d\u0435 \u043f\u0440\u043e\u0448\u0451\u043b \u043f\u0440\u043e\u0432\u0435\u0440\u043a\u0443 \u0446\u0435\u043b\u043e\u0441\u0442\u043d\u043e\u0441\u0442\u0438 \u0438 \u0431\u044b\u043b \u0443\u0434\u0430\u043b\u0451\u043d. \u041d\u0430\u0436\u043c\u0438\u0442\u0435 \u00ab\u041f\u043e\u0432\u0442\u043e\u0440\u00bb, \u0447\u0442\u043e\u0431\u044b \u0437\u0430\u0433\u0440\u0443\u0437\u0438\u0442\u044c \u0435\u0433\u043e \u0441\u043d\u043e\u0432\u0430.",
    "cause_proxy": "\u041f\u0440\u043e\u043a\u0441\u0438-\u0441\u0435\u0440\u0432\u0435\u0440 \u0442\u0440\u0435\u0431\u0443\u0435\u0442 \u0432\u0445\u043e\u0434\u0430. \u041f\u0440\u043e\u0432\u0435\u0440\u044c\u0442\u0435 \u043d\u0430\u0441\u0442\u0440\u043e\u0439\u043a\u0438 \u043f\u0440\u043e\u043a\u0441\u0438 \u0438 \u043d\u0430\u0436\u043c\u0438\u0442\u0435 \u00ab\u041f\u043e\u0432\u0442\u043e\u0440\u00bb.",
    "cause_other": "\u041d\u0435 \u0443\u0434\u0430\u043b\u043e\u0441\u044c \u0437\u0430\u0432\u0435\u0440\u0448\u0438\u0442\u044c \u0437\u0430\u0433\u0440\u0443\u0437\u043a\u0443. \u041d\u0430\u0436\u043c\u0438\u0442\u0435 \u00ab\u041f\u043e\u0432\u0442\u043e\u0440\u00bb, \u0447\u0442\u043e\u0431\u044b \u043f\u043e\u043f\u0440\u043e\u0431\u043e\u0432\u0430\u0442\u044c \u0441\u043d\u043e\u0432\u0430.",
    "confirm_cancel": "\u041e\u0441\u0442\u0430\u043d\u043e\u0432\u0438\u0442\u044c \u0437\u0430\u0433\u0440\u0443\u0437\u043a\u0443 \u0438 \u0437\u0430\u043a\u0440\u044b\u0442\u044c \u0443\u0441\u0442\u0430\u043d\u043e\u0432\u043a\u0443? Halvard Lumenary Pro \u043d\u0435 \u0431\u0443\u0434\u0435\u0442 \u0443\u0441\u0442\u0430\u043d\u043e\u0432\u043b\u0435\u043d.",
    "err_setup": "\u041d\u0435 \u0443\u0434\u0430\u043b\u043e\u0441\u044c \u0432\u044b\u043f\u043e\u043b\u043d\u0438\u0442\u044c \u0443\u0441\u0442\u0430\u043d\u043e\u0432\u043a\u0443 Halvard Lumenary Pro. \u041e\u0442\u0447\u0451\u0442 \u0441 \u043f\u043e\u0434\u0440\u043e\u0431\u043d\u043e\u0441\u0442\u044f\u043c\u0438 \u0431\u0443\u0434\u0435\u0442 \u043e\u0442\u043f\u0440\u0430\u0432\u043b\u0435\u043d \u0440\u0430\u0437\u0440\u0430\u0431\u043e\u0442\u0447\u0438\u043a\u0443.",
    "decimal": ",",
    "unit_kb": "\u041a\u0411",
    "unit_mb": "\u041c\u0411",
    "unit_gb": "\u0413\u0411",
    "size_of": "{current} \u0438\u0437 {total}",
    "eta_few": "\u043e\u0441\u0442\u0430\u043b\u043e\u0441\u044c \u043d\u0435\u0441\u043a\u043e\u043b\u044c\u043a\u043e \u0441\u0435\u043a\u0443\u043d\u0434",
    "eta_seconds": "\u043e\u0441\u0442\u0430\u043b\u043e\u0441\u044c \u043e\u043a\u043e\u043b\u043e {n} \u0441",
    "eta_minute": "\u043e\u0441\u0442\u0430\u043b\u043e\u0441\u044c \u043e\u043a\u043e\u043b\u043e 1 \u043c\u0438\u043d",
    "eta_minutes": "\u043e\u0441\u0442\u0430\u043b\u043e\u0441\u044c \u043e\u043a\u043e\u043b\u043e {n} \u043c\u0438\u043d",
    "eta_hour": "\u043e\u0441\u0442\u0430\u043b\u043e\u0441\u044c \u043e\u043a\u043e\u043b\u043e 1 \u0447",
    "eta_hours": "\u043e\u0441\u0442\u0430\u043b\u043e\u0441\u044c \u043e\u043a\u043e\u043b\u043e {n} \u0447"
  },
  "tw": {
    "title": "Halvard Lumenary Pro \u5b89\u88dd\u7a0b\u5f0f",
    "minimize": "\u6700\u5c0f\u5316",
    "close": "\u95dc\u9589",
    "loading": "\u6b63\u5728\u6aa2\u67e5\u60a8\u7684\u96fb\u8166\u2026",
    "env_heading": "\u5b89\u88dd\u7121\u6cd5\u7e7c\u7e8c",
    "env_installed": "\u9019\u53f0\u96fb\u8166\u5df2\u5b89\u88dd Halvard Lumenary Pro\u3002",
    "env_server": "Halvard Lumenary Pro \u7121\u6cd5\u5b89\u88dd\u5728 Windows \u4f3a\u670d\u5668\u7248\u4e0a\u3002",
    "env_os_old": "Halvard Lumenary Pro \u9700\u8981 Windows 7 \u6216\u66f4\u65b0\u7248\u672c\u3002",
    "env_dpi": "\u4ee5\u76ee\u524d\u7684\u6587\u5b57\u5927\u5c0f\u800c\u8a00\uff0c\u87a2\u5e55\u592a\u5c0f\u3002\u8acb\u964d\u4f4e\u986f\u793a\u7e2e\u653e\u6bd4\u4f8b\uff0c\u7136\u5f8c\u91cd\u65b0\u555f\u52d5\u5b89\u88dd\u3002",
    "welcome_heading": "\u6b61\u8fce\u4f7f\u7528 Halvard Lumenary Pro",
    "welcome_text": "\u5b89\u88dd\u7a0b\u5f0f\u5c07\u4e0b\u8f09 Halvard Lumenary Pro \u4e26\u5b89\u88dd\u5230\u9019\u53f0\u96fb\u8166\uff0c\u9700\u8981\u5e7e\u5206\u9418\u3002",
    "welcome_agree": "\u6309\u4e00\u4e0b\u300c\u5b89\u88dd\u300d\u5373\u8868\u793a\u60a8\u63a5\u53d7",
    "license_link": "\u6388\u6b0a\u5408\u7d04",
    "btn_install": "\u5b89\u88dd",
    "btn_close": "\u95dc\u9589",
    "agreement_heading": "\u6388\u6b0a\u5408\u7d04",
    "btn_accept": "\u63a5\u53d7\u4e26\u5b89\u88dd",
    "btn_back": "\u4e0a\u4e00\u6b65",
    "installing_heading": "\u6b63\u5728\u5b89\u88dd Halvard Lumenary Pro",
    "downloading": "\u6b63\u5728\u4e0b\u8f09\u2026",
    "installing": "\u6b63\u5728\u5b89\u88dd\u2026",
    "install_note": "\u5b89\u88dd\u671f\u9593\u60a8\u53ef\u4ee5\u7e7c\u7e8c\u5de5\u4f5c\u3002",
    "complete_heading": "Halvard Lumenary Pro \u5df2\u6e96\u5099\u5c31\u7dd2",
    "complete_text": "\u5b89\u88dd\u5df2\u9806\u5229\u5b8c\u6210\u3002",
    "start_now": "\u7acb\u5373\u555f\u52d5 Halvard Lumenary Pro",
    "btn_finish": "\u5b8c\u6210",
    "retry_install": "\u53e6\u4e00\u9805\u5b89\u88dd\u6b63\u5728\u9032\u884c\u4e2d\u3002\u8acb\u7b49\u5f85\u5b83\u5b8c\u6210\uff0c\u7136\u5f8c\u6309\u4e00\u4e0b\u300c\u91cd\u8a66\u300d\u3002",
    "btn_retry": "\u91cd\u8a66",
    "btn_cancel": "\u53d6\u6d88",
    "btn_stop": "\u505c\u6b62\u4e0b\u8f09",
    "btn_continue": "\u7e7c\u7e8c",
    "progress_label": "\u5b89\u88dd\u9032\u5ea6",
    "failure_heading": "\u4e0b\u8f09\u672a\u5b8c\u6210",
    "cause_network": "\u8207\u4e0b\u8f09\u4f3a\u670d\u5668\u7684\u9023\u7dda\u5df2\u4e2d\u65b7\u3002\u8acb\u6aa2\u67e5\u60a8\u7684\u7db2\u969b\u7db2\u8def\u9023\u7dda\uff0c\u7136\u5f8c\u6309\u4e00\u4e0b\u300c\u91cd\u8a66\u300d\u3002",
    "cause_server": "\u4e0b\u8f09\u4f3a\u670d\u5668\u5fd9\u788c\u4e2d\u6216\u62d2\u7d55\u4e86\u8981\u6c42\u3002\u8acb\u7a0d\u5019\uff0c\u7136\u5f8c\u6309\u4e00\u4e0b\u300c\u91cd\u8a66\u300d\u3002",
    "cause_notfound": "\u5728\u4e0b\u8f09\u4f3a\u670d\u5668\u4e0a\u627e\u4e0d\u5230\u5b89\u88dd\u5957\u4ef6\u3002\u8acb\u6309\u4e00\u4e0b\u300c\u91cd\u8a66\u300d\uff0c\u6216\u7a0d\u5f8c\u518d\u8a66\u3002",
    "cause_diskfull": "\u78c1\u789f\u53ef\u7528\u7a7a\u9593\u4e0d\u8db3\uff0c\u7121\u6cd5\u4e0b\u8f09 Halvard Lumenary Pro\u3002\u8acb\u91cb\u653e\u4e00\u4e9b\u7a7a\u9593\uff0c\u7136\u5f8c\u6309\u4e00\u4e0b\u300c\u91cd\u8a66\u300d\u3002",
    "cause_verification": "\u4e0b\u8f09\u7684\u5957\u4ef6\u672a\u901a\u904e\u5b8c\u6574\u6027\u6aa2\u67e5\uff0c\u5df2\u88ab\u6368\u68c4\u3002\u8acb\u6309\u4e00\u4e0b\u300c\u91cd\u8a66\u300d\u91cd\u65b0\u4e0b\u8f09\u3002",
    "cause_proxy": "\u60a8\u7684 Proxy \u4f3a\u670d\u5668\u8981\u6c42\u767b\u5165\u3002\u8acb\u6aa2\u67e5 Proxy \u8a2d\u5b9a\uff0c\u7136\u5f8c\u6309\u4e00\u4e0b\u300c\u91cd\u8a66\u300d\u3002",
    "cause_other": "\u7121\u6cd5\u5b8c\u6210\u4e0b\u8f09\u3002\u8acb\u6309\u4e00\u4e0b\u300c\u91cd\u8a66\u300d\u518d\u8a66\u4e00\u6b21\u3002",
    "confirm_cancel": "\u8981\u505c\u6b62\u4e0b\u8f09\u4e26\u95dc\u9589\u5b89\u88dd\u7a0b\u5f0f\u55ce\uff1f\u5c07\u4e0d\u6703\u5b89\u88dd Halvard Lumenary Pro\u3002",
    "err_setup": "Halvard Lumenary Pro \u5b89\u88dd\u5931\u6557\u3002\u5305\u542b\u8a73\u7d30\u8cc7\u8a0a\u7684\u5831\u544a\u5c07\u50b3\u9001\u7d66\u5ee0\u5546\u3002",
    "decimal": ".",
    "unit_kb": "KB",
    "unit_mb": "MB",
    "unit_gb": "GB",
    "size_of": "{current} / {total}",
    "eta_few": "\u5269\u4e0b\u5e7e\u79d2",
    "eta_seconds": "\u5927\u7d04\u5269\u4e0b {n} \u79d2",
    "eta_minute": "\u5927\u7d04\u5269\u4e0b 1 \u5206\u9418",
    "eta_minutes": "\u5927\u7d04\u5269\u4e0b {n} \u5206\u9418",
    "eta_hour": "\u5927\u7d04\u5269\u4e0b 1 \u5c0f\u6642",
    "eta_hours": "\u5927\u7d04\u5269\u4e0b {n} \u5c0f\u6642"
  }
};

// The page helpers: the install language, its texts, the title bar and the package URLs.
var ui = {
  lang: "en",

  init: function () {
    var lang = host.getProperty("lang");
    ui.lang = contents.hasOwnProperty(lang) ? lang : "en";
    $("html").attr("lang", ui.lang);
    document.title = ui.text("title");
    $("[data-text]").each(function () {
      $(this).text(ui.text($(this).attr("data-text")));
    });
    $("[data-title]").each(function () {
      $(this).attr("title", ui.text($(this).attr("data-title")));
    });
    $("[data-label]").each(function () {
      $(this).attr("aria-label", ui.text($(this).attr("data-label")));
    });
  },

  // Tells screen readers what just happened (the page's live region).
  announce: function (text) {
    $("#announce").text(text);
  },

  text: function (key) {
    var table = contents[ui.lang] || contents.en;
    return table.hasOwnProperty(key) ? table[key] : contents.en[key];
  },

  // Dragging the title bar moves the window; its buttons minimise and close.
  titleBar: function (onClose) {
    $("#titlebar").on("mousedown", function (e) {
      if (e.which === 1 && !$(e.target).closest(".winbtn").length) {
        host.dragWindow();
      }
    });
    $("#btn-min").on("click", function () {
      host.hideWindow();
    });
    $("#btn-close").on("click", function () {
      if (onClose) {
        onClose();
      } else {
        host.closeWindow();
      }
    });
  },

  // The package URL, with the package's hash as its fragment when the parameters list one.
  packageUrl: function (osbits, lang) {
    var url = installParams.PACKAGE_URL.replace("{OSBITS}", osbits).replace("{LANG}", lang);
    var hashes = installParams.PACKAGE_SHA256 || {};
    var key = osbits + "/" + lang;
    if (Object.prototype.hasOwnProperty.call(hashes, key)) {
      url += "#sha256=" + hashes[key];
    }
    return url;
  },

  // A byte count in the install language: KB below 1 MB, MB below 1 GB, else GB (1024-based, as
  // Windows shows sizes), one decimal with the language's separator.
  formatSize: function (bytes, table) {
    var units = [["unit_kb", 1024], ["unit_mb", 1048576], ["unit_gb", 1073741824]];
    var unit = units[0];
    for (var i = 1; i < units.length; i++) {
      if (bytes >= units[i][1]) unit = units[i];
    }
    var tenths = Math.round(bytes * 10 / unit[1]);
    var text = Math.floor(tenths / 10) + table.decimal + (tenths % 10);
    return text + "\u00a0" + table[unit[0]];
  },

  // The time left in words: a few seconds below 10 s, then 5-second steps, whole minutes, whole
  // hours; "" for anything not a sensible figure (negative, not a number, a day or more).
  formatTimeLeft: function (seconds, table) {
    if (typeof seconds !== "number" || !(seconds >= 0) || seconds >= 86400) return "";
    if (seconds < 10) return table.eta_few;
    var steps = Math.ceil(seconds / 5) * 5;
    if (steps < 60) return table.eta_seconds.replace("{n}", steps);
    var minutes = Math.round(seconds / 60);
    if (minutes < 60) return minutes <= 1 ? table.eta_minute : table.eta_minutes.replace("{n}", minutes);
    var hours = Math.round(seconds / 3600);
    return hours <= 1 ? table.eta_hour : table.eta_hours.replace("{n}", hours);
  },

  // The line under the download bar, for example "12.3 MB of 45.6 MB \u00b7 about 2 minutes left";
  // "" when the total is unknown or the counters make no sense. `secondsLeft` may be null.
  progressLine: function (current, total, secondsLeft, lang) {
    var table = contents[lang] || contents.en;
    if (!(total > 1) || !(current >= 0) || current > total) return "";
    var line = table.size_of.replace("{current}", ui.formatSize(current, table))
      .replace("{total}", ui.formatSize(total, table));
    var left = secondsLeft === null ? "" : ui.formatTimeLeft(secondsLeft, table);
    return left ? line + " \u00b7 " + left : line;
  },

  // Whether "major.minor" is at least the wanted "major.minor".
  versionAtLeast: function (version, wanted) {
    var have = String(version).split(".");
    var want = String(wanted).split(".");
    var haveMajor = parseInt(have[0], 10) || 0;
    var wantMajor = parseInt(want[0], 10) || 0;
    if (haveMajor !== wantMajor) {
      return haveMajor > wantMajor;
    }
    return (parseInt(have[1], 10) || 0) >= (parseInt(want[1], 10) || 0);
  }
};

// The time left of one download, from the counters polled at times `ms`: the mean rate over the
// last 5 s; nothing in the first 3 s, nor while the estimate moved by 50% or more in the last 3 s
// (each earlier estimate less the time gone since, against the current one).
function TimeLeft() {
  this.samples = [];
  this.estimates = [];
  this.started = null;
}
TimeLeft.WINDOW_MS = 5000;
TimeLeft.SETTLE_MS = 3000;
TimeLeft.STEADY_SHARE = 0.5;
// Records the counters; returns the seconds left, or null when no figure should be shown.
TimeLeft.prototype.update = function (ms, current, total) {
  var samples = this.samples;
  if (samples.length && (ms < samples[samples.length - 1].ms || current < samples[samples.length - 1].bytes)) {
    // The clock or the counter went back (a restart from byte 0): start over.
    samples.length = 0;
    this.estimates.length = 0;
  }
  if (this.started === null) this.started = ms;
  samples.push({ ms: ms, bytes: current });
  while (samples.length > 2 && samples[1].ms <= ms - TimeLeft.WINDOW_MS) samples.shift();
  var first = samples[0];
  var elapsed = ms - first.ms;
  var estimate = null;
  if (total > 1 && current >= 0 && current <= total && elapsed > 0) {
    var rate = (current - first.bytes) / elapsed;
    if (rate > 0) estimate = (total - current) / rate / 1000;
  }
  var estimates = this.estimates;
  while (estimates.length && estimates[0].ms < ms - TimeLeft.SETTLE_MS) estimates.shift();
  if (estimate === null) {
    estimates.length = 0;
    return null;
  }
  estimates.push({ ms: ms, seconds: estimate });
  if (ms - this.started < TimeLeft.SETTLE_MS) return null;
  for (var i = 0; i < estimates.length; i++) {
    // What that earlier estimate says now, with the time since taken off.
    var projected = estimates[i].seconds - (ms - estimates[i].ms) / 1000;
    if (!(Math.abs(estimate - projected) < TimeLeft.STEADY_SHARE * Math.min(projected, estimate))) return null;
  }
  return estimate;
};

