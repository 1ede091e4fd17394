// Install parameters of Halvard Lumenary Pro. The host reads the language list (the first key);
// the pages read the rest.
var installParams = {
  "LANG": ["en", "fr", "de", "it", "jp", "es", "nl", "ru", "tw"],
  // {OSBITS} becomes "32" or "64", {LANG} the install language code.
  "PACKAGE_URL": "http://download.lumenary-qrx.com/lumenary-pro/win{OSBITS}/{LANG}/HalvardLumenaryPro.zip",
  // The package every server has: used once when the language- or bits-specific one is missing.
  "DEFAULT_OSBITS": "32",
  "DEFAULT_LANG": "en",
  // SHA-256 (64 hex digits) of each package, keyed "{OSBITS}/{LANG}" as the URL is, the default
  // package included (e.g. "32/en"). A listed package is downloaded with "#sha256=<hash>" and
  // installed only when its bytes match; an unlisted one is not checked.
  "PACKAGE_SHA256": {},
  // Name=value settings for the product's setup, separated by blanks.
  "SETUP_PARAMS": "ACCEPT_EULA=1 CREATE_DESKTOP_SHORTCUT=1 LAUNCH_AFTER_SETUP=0",
  // Oldest Windows version the product runs on (major.minor).
  "MIN_OS_VERSION": "6.1",
  "THANK_YOU_URL": "http://www.lumenary-qrx.com/thank-you?lang={LANG}&channel={CHANNEL}",
  "WINDOW_WIDTH": 600,
  "WINDOW_HEIGHT": 400
};
