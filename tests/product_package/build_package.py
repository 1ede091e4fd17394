#!/usr/bin/env python3
"""Builds the test product package: Windows Installer packages (wixl) for the product codes of
the 64-bit list, the main one installing "Halvard Lumenary Pro.exe" and writing the "Directory"
value, and zip archives of several layouts around our setup.exe.

  build_package.py --setup setup.exe --program program.exe --codes codes.txt --out DIR

writes DIR/msi/*.msi and DIR/product.zip (setup.exe at the top), DIR/deep.zip (setup.exe two
folders deep), DIR/setuponly.zip (setup.exe alone), DIR/nosetup.zip (no setup.exe) and DIR/notprogram.zip (a "setup.exe" that is text).
--setup is the signed setup.exe; DIR/unsigned.zip, DIR/othersigner.zip and DIR/tampered.zip are
product.zip with --unsigned-setup, --other-setup, and the signed one with a byte of its DOS stub
changed after signing (still a working program, but its signature no longer matches).
DIR/compressible.zip is product.zip written to a stream (data descriptors, zero sizes in the local
headers) with setup.exe padded by zeros and large files of one repeated byte, each sized so that
the inflater still owes output after taking its last input; DIR/compressible.txt lists those
files' names and sizes.
With --sign-cert/--sign-key every .msi of the zips is signed by osslsigncode (the test signer);
DIR/othersignermsi.zip and DIR/unsignedmsi.zip are product.zip with the main .msi signed by
--other-cert/--other-key instead, or not signed at all.
codes.txt holds the six product codes in list order, one a line; the fourth is the main package.
"""
import argparse
import io
import os
import shutil
import subprocess
import sys
import uuid
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "zip", "native"))
from inflate_shape import owes_output_after_last_input, owing_padding, padded, stored_stream  # noqa: E402

MAIN_POSITION = 3
PRODUCT_VERSION = "7.2.1.5"
NAMESPACE = uuid.UUID("5d0c2a4e-8f0b-4a53-9a3e-6a2e6c1f7b11")
PACKAGE_NAMES = ["runtime", "framework", "components", "lumenary", "plugins", "finish"]


def guid(text):
    return "{" + str(uuid.uuid5(NAMESPACE, text)).upper() + "}"


def wxs_for(position, code, program):
    name = PACKAGE_NAMES[position]
    if position == MAIN_POSITION:
        content = f"""
              <File Id="Program" Name="Halvard Lumenary Pro.exe" Source="{program}" KeyPath="yes"/>
              <RegistryValue Root="HKLM" Key="Software\\Halvard\\Lumenary Pro\\R7" Name="Directory"
                             Type="string" Value="[INSTALLDIR]"/>"""
        version = PRODUCT_VERSION
    else:
        content = f"""
              <RegistryValue Root="HKLM" Key="Software\\Halvard\\QRX Test Packages" Name="{name}"
                             Type="string" Value="{code}" KeyPath="yes"/>"""
        version = f"1.0.{position}.0"
    return f"""<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="{code}" Name="Halvard Lumenary Pro R7 {name}" Language="1033" Version="{version}"
           Manufacturer="Halvard" UpgradeCode="{guid('upgrade ' + name)}">
    <Package InstallerVersion="200" Compressed="yes"/>
    <Media Id="1" Cabinet="{name}.cab" EmbedCab="yes"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="ProgramFiles64Folder">
        <Directory Id="HalvardFolder" Name="Halvard">
          <Directory Id="INSTALLDIR" Name="Lumenary Pro R7">
            <Component Id="{name}" Guid="{guid('component ' + name)}" Win64="yes">{content}
            </Component>
          </Directory>
        </Directory>
      </Directory>
    </Directory>
    <Feature Id="Complete" Level="1">
      <ComponentRef Id="{name}"/>
    </Feature>
  </Product>
</Wix>
"""


def build_msis(codes, program, out):
    folder = os.path.join(out, "msi")
    os.makedirs(folder, exist_ok=True)
    shutil.copyfile(program, os.path.join(folder, "Halvard Lumenary Pro.exe"))
    names = []
    for position, code in enumerate(codes):
        name = f"{position + 1}_{PACKAGE_NAMES[position]}.msi"
        wxs = os.path.join(folder, name[:-4] + ".wxs")
        with open(wxs, "w", encoding="utf-8") as f:
            f.write(wxs_for(position, code, "Halvard Lumenary Pro.exe"))
        # wixl finds file sources relative to its working folder.
        subprocess.run(["wixl", "-a", "x64", "-o", name, os.path.basename(wxs)], check=True, cwd=folder)
        names.append(name)
    return folder, names


def sign(source, target, cert, key):
    if os.path.exists(target):
        os.remove(target)
    subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-h", "sha256", "-in", source,
                    "-out", target], check=True, stdout=subprocess.DEVNULL)


def write_zip(path, entries):
    """entries: (archive name, file path or bytes)."""
    tmp = path + ".tmp"
    with zipfile.ZipFile(tmp, "w", zipfile.ZIP_DEFLATED) as z:
        for name, source in entries:
            if isinstance(source, bytes):
                z.writestr(name, source)
            else:
                z.write(source, name)
    os.replace(tmp, path)


class NoSeek(io.RawIOBase):
    """A file that cannot seek back: zipfile then writes data descriptors."""

    def __init__(self, f):
        self.f = f

    def writable(self):
        return True

    def write(self, b):
        return self.f.write(b)


# A zlib block at level 9 ends after 16384 symbols; padding longer than that many 258-byte
# matches gets a block of its own, whose short codes let the last input byte hold the end.
OWN_BLOCK = 16384 * 258 + 65536


def write_compressible_zip(out, product_entries):
    """compressible.zip: product_entries with setup.exe padded, plus large files of one byte."""
    with open(product_entries[0][1], "rb") as f:
        setup = f.read()
    large = [("setup.exe", setup, b"\0", OWN_BLOCK), ("data/blank.img", b"", b"\0", 16 * 65536),
             ("data/fill.dat", b"", b"\xff", 3 * 65536), ("docs/blank lines.txt", b"", b" \r\n", 2 * 65536)]
    contents = {}
    for name, head, fill, minimum in large:
        length = owing_padding(head, minimum, fill)
        if length is None:
            sys.exit("build_package: no size of %s leaves output owed after the last input" % name)
        contents[name] = padded(head, length, fill)
    entries = [(name, contents.get(name, source)) for name, source in product_entries]
    entries += [(name, contents[name]) for name, _, _, _ in large[1:]]

    path = os.path.join(out, "compressible.zip")
    with open(path + ".tmp", "wb") as raw:
        with zipfile.ZipFile(NoSeek(raw), "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
            for name, source in entries:
                if isinstance(source, bytes):
                    z.writestr(name, source)
                else:
                    z.write(source, name)
    # The archive really has the shape: streamed, and every large file owes output at its end.
    with zipfile.ZipFile(path + ".tmp") as z:
        for name in contents:
            info = z.getinfo(name)
            if not info.flag_bits & 8 or not owes_output_after_last_input(stored_stream(z, info)):
                sys.exit("build_package: %s in compressible.zip lacks the shape" % name)
    os.replace(path + ".tmp", path)
    with open(os.path.join(out, "compressible.txt"), "w", encoding="ascii", newline="\r\n") as f:
        for name, data in contents.items():
            f.write("%s\t%d\n" % (name, len(data)))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--setup", required=True)
    parser.add_argument("--unsigned-setup", required=True)
    parser.add_argument("--other-setup", required=True)
    parser.add_argument("--program", required=True)
    parser.add_argument("--codes", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--sign-cert", required=True)
    parser.add_argument("--sign-key", required=True)
    parser.add_argument("--other-cert", required=True)
    parser.add_argument("--other-key", required=True)
    args = parser.parse_args()

    with open(args.codes, encoding="utf-8") as f:
        codes = [line.strip() for line in f if line.strip()]
    if len(codes) != len(PACKAGE_NAMES):
        sys.exit(f"build_package: expected {len(PACKAGE_NAMES)} product codes, got {len(codes)}")

    os.makedirs(args.out, exist_ok=True)
    msi_folder, msi_names = build_msis(codes, args.program, args.out)
    package_list = ("\r\n".join(msi_names) + "\r\n").encode("ascii")
    signed_folder = os.path.join(msi_folder, "signed")
    os.makedirs(signed_folder, exist_ok=True)
    for name in msi_names:
        sign(os.path.join(msi_folder, name), os.path.join(signed_folder, name), args.sign_cert, args.sign_key)
    main_name = msi_names[MAIN_POSITION]
    other_main = os.path.join(signed_folder, "other-" + main_name)
    sign(os.path.join(msi_folder, main_name), other_main, args.other_cert, args.other_key)

    def product_files(prefix, setup=args.setup, main=None):
        files = [(prefix + "setup.exe", setup), (prefix + "packages.txt", package_list)]
        files += [(prefix + name, main if (main and name == main_name) else os.path.join(signed_folder, name))
                  for name in msi_names]
        return files

    write_zip(os.path.join(args.out, "product.zip"), product_files(""))
    write_zip(os.path.join(args.out, "deep.zip"),
              [("readme.txt", b"Halvard Lumenary Pro R7\r\n"), ("docs/licence.txt", b"licence\r\n")]
              + product_files("Halvard/Setup Files/"))
    write_zip(os.path.join(args.out, "setuponly.zip"), [("setup.exe", args.setup)])
    write_zip(os.path.join(args.out, "nosetup.zip"),
              [("readme.txt", b"no setup here\r\n"), ("bin/setup.ex", b"not quite\r\n")])
    write_zip(os.path.join(args.out, "unsigned.zip"), product_files("", args.unsigned_setup))
    write_zip(os.path.join(args.out, "othersigner.zip"), product_files("", args.other_setup))
    with open(args.setup, "rb") as f:
        tampered = bytearray(f.read())
    stub = tampered.find(b"This program cannot be run")
    if stub < 0:
        sys.exit("build_package: no DOS stub text in " + args.setup)
    tampered[stub] ^= 0x20  # "this program ..."
    write_zip(os.path.join(args.out, "tampered.zip"), product_files("", bytes(tampered)))
    write_zip(os.path.join(args.out, "othersignermsi.zip"), product_files("", main=other_main))
    write_zip(os.path.join(args.out, "unsignedmsi.zip"),
              product_files("", main=os.path.join(msi_folder, main_name)))
    write_zip(os.path.join(args.out, "notprogram.zip"),
              [("setup.exe", b"this text is not a program\r\n"), ("packages.txt", package_list)])
    write_compressible_zip(args.out, product_files(""))


if __name__ == "__main__":
    main()
