#!/usr/bin/env python3
"""The program's texts as one string table per language, checked.

make_texts.py DEF LANG_DIR OUT.rc   writes the resource script
make_texts.py --check DEF LANG_DIR  checks only
make_texts.py --self-test           shows that each kind of fault is refused

Every language must give every text of DEF, none empty, none unknown, with the
same placeholders ({0}, {1} ...) and as many access keys ("&") as English.
"""
import os
import re
import sys
import tempfile

FIRST_ID = 2000  # the string resource of the first text; the rest follow in order

# tag: (primary language, sublanguage) as Windows numbers them
LANGUAGES = {
    "en": (0x09, 0x01), "de": (0x07, 0x01), "es": (0x0A, 0x03), "fr": (0x0C, 0x01),
    "it": (0x10, 0x01), "ja": (0x11, 0x01), "ko": (0x12, 0x01), "pl": (0x15, 0x01),
    "pt-BR": (0x16, 0x01), "ru": (0x19, 0x01), "tr": (0x1F, 0x01), "uk": (0x22, 0x01),
    "zh-Hans": (0x04, 0x02), "zh-Hant": (0x04, 0x01),
}
PLACEHOLDER = re.compile(r"\{\d+\}")


class Fault(Exception):
    pass


def read_def(path):
    """The ids and English texts, in order."""
    texts = []
    with open(path, encoding="utf-8") as f:
        for m in re.finditer(r'^KV_TEXT\((\w+), "((?:[^"\\]|\\.)*)"\)\s*$', f.read(), re.M):
            texts.append((m.group(1), m.group(2).replace('\\"', '"').replace("\\n", "\n").replace("\\\\", "\\")))
    if not texts:
        raise Fault(f"{path}: no texts")
    return texts


def read_language(path):
    table = {}
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            key, sep, text = line.partition(" = ")
            key = key.strip()
            where = f"{os.path.basename(path)}:{number}"
            if not sep or not re.fullmatch(r"\w+", key):
                raise Fault(f"{where}: not 'Id = text'")
            if key in table:
                raise Fault(f"{where}: {key} given twice")
            if re.search(r"\\[^n\\]", text):
                raise Fault(f"{where}: {key}: only \\n and \\\\ may follow a backslash")
            table[key] = text.replace("\\n", "\n").replace("\\\\", "\\")
    return table


def access_keys(text):
    return len(re.findall(r"&(?=[^\s&])", text))


def check_language(tag, english, table):
    known = {key for key, _ in english}
    for key in table:
        if key not in known:
            raise Fault(f"{tag}: {key} is not a text of the program")
    for key, source in english:
        text = table.get(key)
        if text is None:
            raise Fault(f"{tag}: {key} is missing")
        if not text.strip():
            raise Fault(f"{tag}: {key} is empty")
        if sorted(PLACEHOLDER.findall(text)) != sorted(PLACEHOLDER.findall(source)):
            raise Fault(f"{tag}: {key} has placeholders {PLACEHOLDER.findall(text)}, English {PLACEHOLDER.findall(source)}")
        if access_keys(text) != access_keys(source) or text.count("&") != source.count("&"):
            raise Fault(f"{tag}: {key} has {text.count('&')} access keys, English {source.count('&')}")


def load_all(def_path, lang_dir):
    english = read_def(def_path)
    tables = {"en": dict(english)}
    for tag in LANGUAGES:
        if tag == "en":
            continue
        path = os.path.join(lang_dir, tag + ".txt")
        if not os.path.exists(path):
            raise Fault(f"{tag}: no table {path}")
        tables[tag] = read_language(path)
        check_language(tag, english, tables[tag])
    extra = {n[:-4] for n in os.listdir(lang_dir) if n.endswith(".txt")} - set(LANGUAGES)
    if extra:
        raise Fault(f"tables of unknown languages: {sorted(extra)}")
    return english, tables


def rc_literal(text):
    """A wide string literal in ASCII alone: windres reads the script's bytes
    one by one, so every other character goes as four hexadecimal digits of
    UTF-16 (the resource compiler takes no more than four after \\x)."""
    out = []
    for ch in text:
        if ch == "\\":
            out.append("\\\\")
        elif ch == '"':
            out.append('""')
        elif ch == "\n":
            out.append("\\n")
        elif 32 <= ord(ch) < 127:
            out.append(ch)
        else:
            units = ch.encode("utf-16-le")
            for i in range(0, len(units), 2):
                out.append(f"\\x{int.from_bytes(units[i:i + 2], 'little'):04x}")
    return 'L"' + "".join(out) + '"'


def write_rc(english, tables, out_path):
    lines = ["// Made by make_texts.py from src/app/texts.def and src/app/lang/; do not edit.",
             "#pragma code_page(65001)", ""]
    for tag, (primary, sub) in LANGUAGES.items():
        lines += [f"// {tag}", f"LANGUAGE {primary:#x}, {sub:#x}", "STRINGTABLE", "BEGIN"]
        for index, (key, _) in enumerate(english):
            lines.append(f"  {FIRST_ID + index}, {rc_literal(tables[tag][key])}")
        lines += ["END", ""]
    with open(out_path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines))


def self_test():
    """Each fault a table can have is refused."""
    source = 'KV_TEXT(A, "&Open {0}")\nKV_TEXT(B, "Two\\nlines")\n'
    good = "A = &Öffnen {0}\nB = Zwei\\nZeilen\n"
    faults = {
        "missing": "A = &Öffnen {0}\n",
        "empty": good.replace("Zwei\\nZeilen", " "),
        "placeholder": good.replace("{0}", "{1}"),
        "no access key": good.replace("&", ""),
        "two access keys": good.replace("&Ö", "&Ö&f"),
        "unknown id": good + "C = x\n",
        "twice": good + "B = y\n",
        "bad escape": good.replace("\\n", "\\t"),
    }
    failures = 0
    with tempfile.TemporaryDirectory() as d:
        def_path = os.path.join(d, "texts.def")
        with open(def_path, "w", encoding="utf-8") as f:
            f.write(source)
        english = read_def(def_path)
        lang = os.path.join(d, "de.txt")
        for name, text in [("good", good)] + list(faults.items()):
            with open(lang, "w", encoding="utf-8") as f:
                f.write(text)
            try:
                check_language("de", english, read_language(lang))
                refused = False
            except Fault:
                refused = True
            if refused != (name != "good"):
                print(f"FAIL: {name}: {'refused' if refused else 'accepted'}")
                failures += 1
    print(f"{len(faults) + 1 - failures} of {len(faults) + 1} cases right")
    return 1 if failures else 0


def main(argv):
    if argv[1:] == ["--self-test"]:
        return self_test()
    try:
        if len(argv) == 4 and argv[1] == "--check":
            load_all(argv[2], argv[3])
            return 0
        if len(argv) == 4:
            english, tables = load_all(argv[1], argv[2])
            write_rc(english, tables, argv[3])
            return 0
    except Fault as fault:
        print(f"make_texts.py: {fault}", file=sys.stderr)
        return 1
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
