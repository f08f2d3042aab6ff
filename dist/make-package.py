#!/usr/bin/env python3
"""The package that gives the installed korvello.exe an identity, and with it
Explorer's Windows 11 menu entry (a package with an external location: it
holds only its manifest and pictures; the program's files stay where the
installer put them).

  make-package.py build EXE ICON VERSION OUT    writes OUT (unsigned)
  make-package.py check PACKAGE EXE [FOLDER]    checks a package, signed or not
  make-package.py publisher EXE                 prints the publisher EXE's manifest names

build takes the identity (publisher, package name, application) from EXE's
own manifest, so the two always match, and the class and file kinds from the
sources. The archive is what osslsigncode signs and Windows reads: entries
stored, without extra fields or comment, the block map's hash method its last
attribute, the content types naming the signature already.
check reads the archive back: the block map against each file's bytes and
local header, the content types, the manifest against the documented
schema's rules, its identity against EXE's; with FOLDER, the files the
manifest names in its external location.
"""
import base64
import hashlib
import io
import re
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zipfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
SRC = HERE.parent / "src"
BLOCK = 65536
STAMP = (2020, 1, 1, 0, 0, 0)
BLOCKMAP_NS = "http://schemas.microsoft.com/appx/2010/blockmap"
TYPES_NS = "http://schemas.openxmlformats.org/package/2006/content-types"
NS = {
    "f": "http://schemas.microsoft.com/appx/manifest/foundation/windows10",
    "uap": "http://schemas.microsoft.com/appx/manifest/uap/windows10",
    "uap10": "http://schemas.microsoft.com/appx/manifest/uap/windows10/10",
    "rescap": "http://schemas.microsoft.com/appx/manifest/foundation/windows10/restrictedcapabilities",
    "desktop4": "http://schemas.microsoft.com/appx/manifest/desktop/windows10/4",
    "desktop5": "http://schemas.microsoft.com/appx/manifest/desktop/windows10/5",
    "com": "http://schemas.microsoft.com/appx/manifest/com/windows10",
}
SIGNATURE_TYPE = '<Override PartName="/AppxSignature.p7x" ContentType="application/vnd.ms-appx.signature"/>'
CONTENT_TYPES = (
    '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\r\n'
    f'<Types xmlns="{TYPES_NS}">'
    '<Default Extension="xml" ContentType="application/vnd.ms-appx.manifest+xml"/>'
    '<Default Extension="png" ContentType="image/png"/>'
    '<Override PartName="/AppxBlockMap.xml" ContentType="application/vnd.ms-appx.blockmap+xml"/>'
    f"{SIGNATURE_TYPE}</Types>"
)
RESERVED = {"CON", "PRN", "AUX", "NUL"} | {f"COM{i}" for i in range(1, 10)} | {f"LPT{i}" for i in range(1, 10)}
PICTURES = {"Assets/StoreLogo.png": 50, "Assets/Square150x150Logo.png": 150, "Assets/Square44x44Logo.png": 44}


def die(message):
    sys.exit(f"make-package: {message}")


def exe_identity(exe):
    """The msix element of the program's embedded manifest."""
    data = Path(exe).read_bytes()
    found = re.search(rb'<msix xmlns="urn:schemas-microsoft-com:msix.v1"([^>]*)/>', data)
    if not found:
        die(f"{exe} carries no msix element in its manifest")
    attrs = dict(re.findall(rb'(\w+)="([^"]*)"', found.group(1)))
    return {k.decode(): v.decode() for k, v in attrs.items()}


def source_facts():
    """The command's class, from the DLL's source, and the kinds the program takes."""
    header = (SRC / "shell/explorer_command_win.h").read_text()
    clsid = re.search(r"// \{([0-9A-F-]{36})\}: the class the package names", header)
    kinds_h = (SRC / "app/media_kinds.h").read_text()
    block = re.search(r"kMediaExtensions = \{(.*?)\};", kinds_h, re.S)
    if not clsid or not block:
        die("the class or the kinds were not found in the sources")
    return clsid.group(1), re.findall(r'"([a-z0-9]+)"', block.group(1))


def manifest_text(exe, version):
    if not re.fullmatch(r"[1-9]\d{0,4}\.\d{1,5}\.\d{1,5}", version):
        die(f"version '{version}' is not major.minor.build with a major above 0")
    ident = exe_identity(exe)
    clsid, kinds = source_facts()
    item = '            <desktop5:ItemType Type="{}"><desktop5:Verb Id="ConvertToMp3" Clsid="{}"/></desktop5:ItemType>'
    types = [item.format("." + k, clsid) for k in kinds] + [item.format("Directory", clsid)]
    values = {
        "PACKAGE_NAME": ident["packageName"],
        "PUBLISHER": ident["publisher"],
        "APPLICATION_ID": ident["applicationId"],
        "VERSION": version + ".0",
        "CLSID": clsid,
        "ITEM_TYPES": "\n".join(types),
    }
    text = (HERE / "package/AppxManifest.xml.in").read_text()
    for key, value in values.items():
        text = text.replace(f"@{key}@", value)
    if "@" in re.sub(r"<!--.*?-->", "", text, flags=re.S):
        die("a placeholder of the manifest was left unfilled")
    return text


def picture(icon, size):
    """A square PNG of the program's icon, the same bytes on every run."""
    with tempfile.TemporaryDirectory() as work:
        out = Path(work) / "p.png"
        subprocess.run(["convert", f"{icon}[0]", "-resize", f"{size}x{size}", "-background", "none", "-gravity",
                        "center", "-extent", f"{size}x{size}", "-strip", "-define", "png:exclude-chunks=date,time",
                        str(out)], check=True)
        return out.read_bytes()


def entry(name, method):
    info = zipfile.ZipInfo(name, STAMP)
    info.compress_type = method
    info.create_system = 0
    info.external_attr = 0
    return info


def block_map(files):
    parts = [f'<?xml version="1.0" encoding="UTF-8" standalone="no"?>\r\n<BlockMap xmlns="{BLOCKMAP_NS}" '
             'HashMethod="http://www.w3.org/2001/04/xmlenc#sha256">']
    for name, data in files:
        lfh = 30 + len(name.encode())
        parts.append(f'<File Name="{name.replace("/", chr(92))}" Size="{len(data)}" LfhSize="{lfh}">')
        for at in range(0, len(data), BLOCK):
            digest = base64.b64encode(hashlib.sha256(data[at:at + BLOCK]).digest()).decode()
            parts.append(f'<Block Hash="{digest}"/>')
        parts.append("</File>")
    parts.append("</BlockMap>")
    return "".join(parts).encode()


def build(exe, icon, version, out):
    files = [(name, picture(icon, size)) for name, size in sorted(PICTURES.items())]
    files.append(("AppxManifest.xml", manifest_text(exe, version).encode()))
    tmp = Path(str(out) + ".tmp")
    with zipfile.ZipFile(tmp, "w") as z:
        for name, data in files:
            z.writestr(entry(name, zipfile.ZIP_STORED), data)
        z.writestr(entry("AppxBlockMap.xml", zipfile.ZIP_STORED), block_map(files))
        z.writestr(entry("[Content_Types].xml", zipfile.ZIP_DEFLATED), CONTENT_TYPES.encode())
    tmp.replace(out)
    print(f"make-package: {out} ({Path(out).stat().st_size} bytes)")


class Checks:
    def __init__(self):
        self.failed = 0

    def __call__(self, ok, what):
        print(("PASS: " if ok else "FAIL: ") + what)
        self.failed += 0 if ok else 1
        return ok


def check_archive(check, raw, z):
    names = [i.filename for i in z.infolist()]
    check(all(not i.extra and i.flag_bits & 0x8 == 0 for i in z.infolist()), "no extra fields, no data descriptors")
    check(raw[-22:-18] == b"PK\x05\x06", "the archive ends with its end record: no comment")
    check({"AppxManifest.xml", "AppxBlockMap.xml", "[Content_Types].xml"} <= set(names), "the three package parts")
    blockmap = ET.fromstring(z.read("AppxBlockMap.xml"))
    head = z.read("AppxBlockMap.xml").split(b">", 2)[1]
    check(head.rstrip().endswith(b'HashMethod="http://www.w3.org/2001/04/xmlenc#sha256"'),
          "the block map's hash method is SHA-256, its root's last attribute")
    mapped = {}
    for f in blockmap.findall(f"{{{BLOCKMAP_NS}}}File"):
        mapped[f.get("Name").replace("\\", "/")] = f
    payload = [n for n in names if n not in ("AppxBlockMap.xml", "[Content_Types].xml", "AppxSignature.p7x")]
    check(sorted(mapped) == sorted(payload), "the block map lists exactly the payload files")
    for info in z.infolist():
        f = mapped.get(info.filename)
        if f is None:
            continue
        data = z.read(info.filename)
        hashes = [base64.b64encode(hashlib.sha256(data[a:a + BLOCK]).digest()).decode()
                  for a in range(0, len(data), BLOCK)]
        name_len, extra_len = struct.unpack("<HH", raw[info.header_offset + 26:info.header_offset + 30])
        ok = (int(f.get("Size")) == len(data) and [b.get("Hash") for b in f] == hashes
              and int(f.get("LfhSize")) == 30 + name_len + extra_len and info.compress_type == zipfile.ZIP_STORED)
        check(ok, f"{info.filename}: size, local header and every block's hash as the block map says")
    types = ET.fromstring(z.read("[Content_Types].xml"))
    defaults = {d.get("Extension"): d.get("ContentType") for d in types.findall(f"{{{TYPES_NS}}}Default")}
    overrides = {o.get("PartName"): o.get("ContentType") for o in types.findall(f"{{{TYPES_NS}}}Override")}
    check(defaults.get("xml") == "application/vnd.ms-appx.manifest+xml" and defaults.get("png") == "image/png"
          and overrides.get("/AppxBlockMap.xml") == "application/vnd.ms-appx.blockmap+xml"
          and overrides.get("/AppxSignature.p7x") == "application/vnd.ms-appx.signature",
          "the content types name the manifest, the pictures, the block map and the signature")
    typed = all(n.rsplit(".", 1)[-1] in defaults or "/" + n in overrides for n in names)
    check(typed, "every part has a content type")


def one(root, path):
    found = root.findall(path, NS)
    return found[0] if len(found) == 1 else None


def check_manifest(check, text, ident, folder):
    root = ET.fromstring(text)
    check(root.tag == f"{{{NS['f']}}}Package", "the root is the foundation namespace's Package")
    for part in ("f:Identity", "f:Properties", "f:Resources", "f:Dependencies", "f:Applications"):
        check(one(root, part) is not None, f"one {part[2:]} element")
    identity = one(root, "f:Identity")
    name, publisher = identity.get("Name", ""), identity.get("Publisher", "")
    check(re.fullmatch(r"[-.A-Za-z0-9]{3,50}", name) is not None and name.upper() not in RESERVED,
          "the identity's name: 3 to 50 of A-Z a-z 0-9 . -, no device name")
    check(re.fullmatch(r"[1-9]\d{0,4}(\.(0|[1-9]\d{0,4})){3}", identity.get("Version", "")) is not None
          and all(int(p) <= 65535 for p in identity.get("Version").split(".")),
          "the version: four parts to 65535, the major above 0")
    check(identity.get("ProcessorArchitecture") in ("x86", "x64", "arm", "arm64", "neutral"), "a known architecture")
    check(re.fullmatch(r"(CN|L|O|OU|E|C|S|STREET|T|G|I|SN|DC|SERIALNUMBER|OID\.[0-9.]+)=.+", publisher) is not None
          and len(publisher) <= 8192, "the publisher is a distinguished name")
    check(root.findtext("f:Properties/uap10:AllowExternalContent", namespaces=NS) == "true",
          "AllowExternalContent: the package's files live outside it")
    for prop in ("DisplayName", "PublisherDisplayName", "Logo"):
        check(bool(root.findtext(f"f:Properties/f:{prop}", namespaces=NS)), f"Properties/{prop} given")
    check(len(root.findall("f:Resources/f:Resource", NS)) >= 1, "at least one resource language")
    family = one(root, "f:Dependencies/f:TargetDeviceFamily")
    check(family is not None and family.get("Name") == "Windows.Desktop" and family.get("MinVersion") == "10.0.19041.0",
          "Windows.Desktop from 10.0.19041.0, the first that takes an external location")
    caps = {c.get("Name") for c in root.findall("f:Capabilities/rescap:Capability", NS)}
    check("runFullTrust" in caps, "the runFullTrust capability a desktop program needs")
    app = one(root, "f:Applications/f:Application")
    check(app is not None and re.fullmatch(r"[A-Za-z][A-Za-z0-9]*(\.[A-Za-z][A-Za-z0-9]*)*", app.get("Id", ""))
          is not None and len(app.get("Id")) <= 64, "one application with a valid Id")
    check(app.get(f"{{{NS['uap10']}}}TrustLevel") == "mediumIL"
          and app.get(f"{{{NS['uap10']}}}RuntimeBehavior") == "win32App", "mediumIL, as a win32App")
    visual = one(app, "uap:VisualElements")
    check(visual is not None and all(visual.get(a) for a in ("DisplayName", "Description", "BackgroundColor",
                                                              "Square150x150Logo", "Square44x44Logo")),
          "the visual elements' required attributes")
    classes = {c.get("Id"): c for c in app.findall(".//com:SurrogateServer/com:Class", NS)}
    check(len(classes) == 1, "one class served by the surrogate")
    for cls in classes.values():
        check(re.fullmatch(r"[0-9A-Fa-f]{8}(-[0-9A-Fa-f]{4}){3}-[0-9A-Fa-f]{12}", cls.get("Id", "")) is not None,
              "the class id is a GUID without braces")
        check(cls.get("ThreadingModel") in ("STA", "MTA", "Both", "Neutral", "MainSTA"), "a threading model")
        check(re.fullmatch(r'[^<>:"|?*]{1,256}', cls.get("Path", "")) is not None, "the class path's characters")
    types = app.findall(".//desktop4:FileExplorerContextMenus/desktop5:ItemType", NS)
    check(bool(types), "Explorer's menu names its item types")
    for item in types:
        kind = item.get("Type", "")
        ok = kind in ("Directory", "Directory\\Background", "*") or re.fullmatch(r'\.[^.<>:"/\\|?*\s]{1,63}', kind)
        verbs = item.findall("desktop5:Verb", NS)
        ok = ok and len(verbs) >= 1 and all(re.fullmatch(r"[A-Za-z0-9]{3,64}", v.get("Id", "")) and
                                            v.get("Clsid") in classes for v in verbs)
        check(bool(ok), f"item type {kind}: a valid type with a verb of the served class")
    check(name == ident.get("packageName") and publisher == ident.get("publisher")
          and app.get("Id") == ident.get("applicationId"), "the identity matches korvello.exe's manifest")
    if folder:
        needed = [app.get("Executable")] + [c.get("Path") for c in classes.values()]
        check(all((Path(folder) / n).is_file() for n in needed), "the program and the DLL are in the external location")


def check(package, exe, folder=None):
    checks = Checks()
    raw = Path(package).read_bytes()
    with zipfile.ZipFile(io.BytesIO(raw)) as z:
        check_archive(checks, raw, z)
        check_manifest(checks, z.read("AppxManifest.xml").decode(), exe_identity(exe), folder)
        pictures = [n for n in z.namelist() if n.endswith(".png")]
        checks(sorted(pictures) == sorted(PICTURES) and all(z.read(n)[:8] == b"\x89PNG\r\n\x1a\n" for n in pictures),
               "the pictures the manifest names, as PNG")
    print(f"make-package check: {checks.failed} failed")
    return 1 if checks.failed else 0


def main(argv):
    if len(argv) == 5 and argv[0] == "build":
        build(*argv[1:])
        return 0
    if len(argv) == 2 and argv[0] == "publisher":
        print(exe_identity(argv[1])["publisher"])
        return 0
    if len(argv) in (3, 4) and argv[0] == "check":
        return check(*argv[1:])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
