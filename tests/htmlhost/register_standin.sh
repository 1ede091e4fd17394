#!/usr/bin/env bash
# Registers the stand-in document DLL ($2) for the HTML document class id in the test prefix,
# through Wine's own reg.exe ($1 runs it). Overwrites: running it again changes nothing.
set -euo pipefail
wine_run=$1
dll=$2
key='HKLM\Software\Classes\CLSID\{25336920-03F9-11CF-8FD0-00AA00686F13}\InprocServer32'
"$wine_run" reg add "$key" /ve /d "$dll" /f >/dev/null
"$wine_run" reg add "$key" /v ThreadingModel /d Apartment /f >/dev/null
