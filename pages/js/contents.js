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
    "err_general": "Setup could not install Halvard Lumenary Pro. Please try again later.",
    "err_disk_full": "There is not enough free disk space to download Halvard Lumenary Pro. Free some space and try again.",
    "retry_install": "Another installation is running. Wait until it has finished, then click Retry."
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
    "err_general": "Impossible d'installer Halvard Lumenary Pro. Veuillez r\u00e9essayer plus tard.",
    "err_disk_full": "L'espace disque est insuffisant pour t\u00e9l\u00e9charger Halvard Lumenary Pro. Lib\u00e9rez de l'espace et r\u00e9essayez.",
    "retry_install": "Une autre installation est en cours. Attendez qu'elle soit termin\u00e9e, puis cliquez sur R\u00e9essayer."
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
    "err_general": "Halvard Lumenary Pro konnte nicht installiert werden. Bitte versuchen Sie es sp\u00e4ter erneut.",
    "err_disk_full": "Es ist nicht gen\u00fcgend Speicherplatz frei, um Halvard Lumenary Pro herunterzuladen. Geben Sie Speicherplatz frei und versuchen Sie es erneut.",
    "retry_install": "Eine andere Installation l\u00e4uft gerade. Warten Sie, bis sie beendet ist, und klicken Sie dann auf Wiederholen."
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
    "err_general": "Impossibile installare Halvard Lumenary Pro. Riprova pi\u00f9 tardi.",
    "err_disk_full": "Lo spazio su disco non \u00e8 sufficiente per scaricare Halvard Lumenary Pro. Libera spazio e riprova.",
    "retry_install": "\u00c8 in corso un'altra installazione. Attendi che sia terminata, quindi fai clic su Riprova."
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
    "err_general": "Halvard Lumenary Pro \u3092\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb\u3067\u304d\u307e\u305b\u3093\u3067\u3057\u305f\u3002\u5f8c\u3067\u3082\u3046\u4e00\u5ea6\u304a\u8a66\u3057\u304f\u3060\u3055\u3044\u3002",
    "err_disk_full": "Halvard Lumenary Pro \u3092\u30c0\u30a6\u30f3\u30ed\u30fc\u30c9\u3059\u308b\u305f\u3081\u306e\u30c7\u30a3\u30b9\u30af\u306e\u7a7a\u304d\u9818\u57df\u304c\u4e0d\u8db3\u3057\u3066\u3044\u307e\u3059\u3002\u7a7a\u304d\u9818\u57df\u3092\u78ba\u4fdd\u3057\u3066\u304b\u3089\u3082\u3046\u4e00\u5ea6\u304a\u8a66\u3057\u304f\u3060\u3055\u3044\u3002",
    "retry_install": "\u5225\u306e\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb\u304c\u5b9f\u884c\u4e2d\u3067\u3059\u3002\u7d42\u4e86\u3059\u308b\u307e\u3067\u5f85\u3063\u3066\u304b\u3089 [\u518d\u8a66\u884c] \u3092\u30af\u30ea\u30c3\u30af\u3057\u3066\u304f\u3060\u3055\u3044\u3002"
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
    "err_general": "No se pudo instalar Halvard Lumenary Pro. Vuelva a intentarlo m\u00e1s tarde.",
    "err_disk_full": "No hay espacio libre suficiente en el disco para descargar Halvard Lumenary Pro. Libere espacio y vuelva a intentarlo.",
    "retry_install": "Hay otra instalaci\u00f3n en curso. Espere a que termine y haga clic en Reintentar."
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
    "err_general": "Halvard Lumenary Pro kon niet worden ge\u00efnstalleerd. Probeer het later opnieuw.",
    "err_disk_full": "Er is niet genoeg vrije schijfruimte om Halvard Lumenary Pro te downloaden. Maak ruimte vrij en probeer het opnieuw.",
    "retry_install": "Er loopt al een andere installatie. Wacht tot deze klaar is en klik dan op Opnieuw."
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
    "err_general": "\u041d\u0435 \u0443\u0434\u0430\u043b\u043e\u0441\u044c \u0443\u0441\u0442\u0430\u043d\u043e\u0432\u0438\u0442\u044c Halvard Lumenary Pro. \u041f\u043e\u0432\u0442\u043e\u0440\u0438\u0442\u0435 \u043f\u043e\u043f\u044b\u0442\u043a\u0443 \u043f\u043e\u0437\u0436\u0435.",
    "err_disk_full": "\u041d\u0430 \u0434\u0438\u0441\u043a\u0435 \u043d\u0435\u0434\u043e\u0441\u0442\u0430\u0442\u043e\u0447\u043d\u043e \u043c\u0435\u0441\u0442\u0430 \u0434\u043b\u044f \u0437\u0430\u0433\u0440\u0443\u0437\u043a\u0438 Halvard Lumenary Pro. \u041e\u0441\u0432\u043e\u0431\u043e\u0434\u0438\u0442\u0435 \u043c\u0435\u0441\u0442\u043e \u0438 \u043f\u043e\u0432\u0442\u043e\u0440\u0438\u0442\u0435 \u043f\u043e\u043f\u044b\u0442\u043a\u0443.",
    "retry_install": "\u0412\u044b\u043f\u043e\u043b\u043d\u044f\u0435\u0442\u0441\u044f \u0434\u0440\u0443\u0433\u0430\u044f \u0443\u0441\u0442\u0430\u043d\u043e\u0432\u043a\u0430. \u0414\u043e\u0436\u0434\u0438\u0442\u0435\u0441\u044c \u0435\u0451 \u043e\u043a\u043e\u043d\u0447\u0430\u043d\u0438\u044f \u0438 \u043d\u0430\u0436\u043c\u0438\u0442\u0435 \u00ab\u041f\u043e\u0432\u0442\u043e\u0440\u00bb."
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
    "err_general": "\u7121\u6cd5\u5b89\u88dd Halvard Lumenary Pro\uff0c\u8acb\u7a0d\u5f8c\u518d\u8a66\u3002",
    "err_disk_full": "\u78c1\u789f\u53ef\u7528\u7a7a\u9593\u4e0d\u8db3\uff0c\u7121\u6cd5\u4e0b\u8f09 Halvard Lumenary Pro\u3002\u8acb\u91cb\u653e\u4e00\u4e9b\u7a7a\u9593\u5f8c\u518d\u8a66\u4e00\u6b21\u3002",
    "retry_install": "\u53e6\u4e00\u9805\u5b89\u88dd\u6b63\u5728\u9032\u884c\u4e2d\u3002\u8acb\u7b49\u5f85\u5b83\u5b8c\u6210\uff0c\u7136\u5f8c\u6309\u4e00\u4e0b\u300c\u91cd\u8a66\u300d\u3002"
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
