#!/usr/bin/env python3
"""Builds a small Windows Installer package with wixl, for tests.

The package registers one product code and version. Optionally it writes a string registry value
(for example the product's "Directory") into the 32-bit or the 64-bit registry view, and installs
files into its own folder under Program Files.

  make_msi.py --out x.msi --product-code {GUID} --version 1.2.3.4
              [--name NAME] [--registry-key KEY --value-name NAME --value TEXT --view 32|64]
              [--file NAME=SOURCE ...]
"""
import argparse
import os
import subprocess
import sys
import tempfile
import uuid
from xml.sax.saxutils import quoteattr

NAMESPACE = uuid.UUID("3b4e4a4e-5152-5854-6573-74506b676573")


def derived_guid(product_code, purpose):
    return "{" + str(uuid.uuid5(NAMESPACE, product_code.upper() + "/" + purpose)).upper() + "}"


def build_wxs(args):
    code = args.product_code.upper()
    win64 = ' Win64="yes"' if args.view == "64" else ""
    folder = "QRXTest-" + code.strip("{}")
    parts = []
    # Key path: a marker value in the package's own view, so every package has one.
    parts.append(
        '<RegistryValue Root="HKLM" Key=%s Name=%s Type="string" Value="1" KeyPath="yes"/>'
        % (quoteattr("Software\\QRXTests\\Packages"), quoteattr(code)))
    if args.registry_key:
        parts.append('<RegistryValue Root="HKLM" Key=%s Name=%s Type="string" Value=%s/>'
                     % (quoteattr(args.registry_key), quoteattr(args.value_name), quoteattr(args.value)))
    for i, spec in enumerate(args.file or []):
        name, source = spec.split("=", 1)
        parts.append('<File Id="f%d" Name=%s Source=%s/>' % (i, quoteattr(name), quoteattr(os.path.abspath(source))))
    return """<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="{code}" Name={name} Language="1033" Version="{version}" Manufacturer="QRX Tests"
           UpgradeCode="{upgrade}">
    <Package InstallerVersion="200" Compressed="yes" InstallScope="perMachine"/>
    <Media Id="1" Cabinet="product.cab" EmbedCab="yes"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="ProgramFiles64Folder">
        <Directory Id="INSTALLDIR" Name={folder}>
          <Component Id="Main" Guid="{component}"{win64}>
            {parts}
          </Component>
        </Directory>
      </Directory>
    </Directory>
    <Feature Id="Complete" Level="1"><ComponentRef Id="Main"/></Feature>
  </Product>
</Wix>
""".format(code=code, name=quoteattr(args.name or ("QRX test " + code)), version=args.version,
           upgrade=derived_guid(code, "upgrade"), folder=quoteattr(folder), component=derived_guid(code, "main"),
           win64=win64, parts="\n            ".join(parts))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True)
    parser.add_argument("--product-code", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--name")
    parser.add_argument("--registry-key")
    parser.add_argument("--value-name", default="Directory")
    parser.add_argument("--value", default="")
    parser.add_argument("--view", choices=["32", "64"], default="64")
    parser.add_argument("--file", action="append")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as work:
        wxs = os.path.join(work, "package.wxs")
        with open(wxs, "w", encoding="utf-8") as f:
            f.write(build_wxs(args))
        out = os.path.abspath(args.out)
        os.makedirs(os.path.dirname(out), exist_ok=True)
        result = subprocess.run(["wixl", "-a", "x64", "-o", out + ".tmp", wxs], capture_output=True, text=True)
        if result.returncode != 0:
            sys.stderr.write(result.stderr)
            return result.returncode
        os.replace(out + ".tmp", out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
