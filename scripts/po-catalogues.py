#!/usr/bin/env python3
"""The build's and the tests' reader of translations/*.po.

  embed OUT.cpp PO...   writes the catalogues as C++ tables; refuses an entry whose placeholders
                        (%1 ... %9) differ from its English text's, naming file:line
  check POT PO...       reports every text of the template a catalogue lacks, leaves empty or marks
                        fuzzy (the program shows those in English); fails when there is any
"""
import os
import re
import sys

PLACEHOLDER = re.compile(r"%([1-9])")
# The entry whose translation is the language's own name, for the Language command and listings.
NAME_MSGID = "English"


class Entry:
    def __init__(self):
        self.msgctxt = None
        self.msgid = None
        self.msgstr = None
        self.line = 0
        self.fuzzy = False


def unquote(text, where):
    if len(text) < 2 or text[0] != '"' or text[-1] != '"':
        raise SyntaxError(f"{where}: expected a quoted string")
    body = text[1:-1]
    out = bytearray()
    i = 0
    escapes = {"n": b"\n", "t": b"\t", '"': b'"', "\\": b"\\", "r": b"\r"}
    while i < len(body):
        c = body[i]
        if c == "\\":
            if i + 1 >= len(body) or body[i + 1] not in escapes:
                raise SyntaxError(f"{where}: unknown escape")
            out += escapes[body[i + 1]]
            i += 2
        else:
            out += c.encode("utf-8")
            i += 1
    return out.decode("utf-8")


def read_po(path):
    """The file's entries, the header's (msgid "") included, each with the line its msgid is on."""
    entries = []
    entry = Entry()
    field = None

    def finish():
        nonlocal entry, field
        if entry.msgid is not None:
            if entry.msgstr is None:
                raise SyntaxError(f"{path}:{entry.line}: msgid without msgstr")
            entries.append(entry)
        entry = Entry()
        field = None

    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.strip()
            where = f"{path}:{number}"
            if not line:
                finish()
                continue
            if line.startswith("#~"):
                continue  # obsolete entries are not the program's
            if line.startswith("#,"):
                if entry.msgid is not None:
                    finish()
                entry.fuzzy = "fuzzy" in [flag.strip() for flag in line[2:].split(",")]
                continue
            if line.startswith("#"):
                if entry.msgid is not None:
                    finish()
                continue
            keyword, _, rest = line.partition(" ")
            if keyword in ("msgctxt", "msgid", "msgstr"):
                # A new entry without a blank line before it; its flags, if any, came after the last.
                if keyword in ("msgctxt", "msgid") and entry.msgid is not None:
                    finish()
                if keyword == "msgid":
                    entry.line = number
                setattr(entry, keyword, unquote(rest.strip(), where))
                field = keyword
            elif keyword.startswith("msgid_plural") or keyword.startswith("msgstr["):
                raise SyntaxError(f"{where}: plural forms are not used by this program")
            elif line.startswith('"'):
                if field is None:
                    raise SyntaxError(f"{where}: a string outside an entry")
                setattr(entry, field, getattr(entry, field) + unquote(line, where))
            else:
                raise SyntaxError(f"{where}: not a PO line")
        finish()
    return entries


def placeholders(text):
    return sorted(PLACEHOLDER.findall(text))


def broken_placeholders(path, entries):
    problems = []
    for e in entries:
        if e.msgid and e.msgstr and placeholders(e.msgid) != placeholders(e.msgstr):
            want = " ".join("%" + p for p in placeholders(e.msgid)) or "none"
            got = " ".join("%" + p for p in placeholders(e.msgstr)) or "none"
            problems.append(f"{path}:{e.line}: placeholders of the translation ({got}) differ from the English text's ({want})")
    return problems


def c_literal(text):
    out = ['"']
    for byte in text.encode("utf-8"):
        c = chr(byte)
        if c in '"\\':
            out.append("\\" + c)
        elif 0x20 <= byte < 0x7F and c != "?":
            out.append(c)
        else:
            out.append("\\%03o" % byte)  # octal stops after three digits, whatever follows
    out.append('"')
    return "".join(out)


def embed(out_path, po_paths):
    catalogues = []
    problems = []
    for path in po_paths:
        entries = read_po(path)
        problems += broken_placeholders(path, entries)
        code = os.path.splitext(os.path.basename(path))[0]
        table = {}
        for e in entries:
            # The header and fuzzy guesses are not translations; msgfmt leaves them out as well.
            if e.msgid and not e.fuzzy and e.msgctxt is None:
                table[e.msgid] = e.msgstr
        name = table.get(NAME_MSGID) or code
        catalogues.append((code, name, sorted(table.items(), key=lambda kv: kv[0].encode("utf-8"))))
    if problems:
        for p in problems:
            print(p, file=sys.stderr)
        return 1
    catalogues.sort(key=lambda c: c[0])
    lines = ['// Made by scripts/po-catalogues.py from translations/*.po; edit those instead.',
             '#include "i18n/Catalogue.h"', "", "namespace kpx::i18n {", "", "namespace {"]
    for index, (code, _, table) in enumerate(catalogues):
        lines.append(f"const CatalogueEntry Entries{index}[] = {{")
        for msgid, msgstr in table:
            lines.append(f"    {{{c_literal(msgid)}, {c_literal(msgstr)}}},")
        if not table:
            lines.append('    {"", ""},')
        lines.append("};")
    lines += ["} // namespace", "", "const EmbeddedCatalogue EmbeddedCatalogues[] = {"]
    for index, (code, name, table) in enumerate(catalogues):
        lines.append(f"    {{{c_literal(code)}, {c_literal(name)}, Entries{index}, {len(table)}}},")
    if not catalogues:
        lines.append('    {"", "", nullptr, 0},')
    lines += ["};", f"const std::size_t EmbeddedCatalogueCount = {len(catalogues)};", "", "} // namespace kpx::i18n", ""]
    text = "\n".join(lines)
    os.makedirs(os.path.dirname(os.path.abspath(out_path)), exist_ok=True)
    temporary = out_path + ".tmp"
    with open(temporary, "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(temporary, out_path)
    return 0


def check(pot_path, po_paths):
    wanted = [e.msgid for e in read_po(pot_path) if e.msgid]
    problems = []
    for path in po_paths:
        entries = {e.msgid: e for e in read_po(path) if e.msgid}
        problems += broken_placeholders(path, entries.values())
        for msgid in wanted:
            e = entries.get(msgid)
            if e is None:
                problems.append(f"{path}: no entry for {msgid!r}; it is shown in English")
            elif not e.msgstr:
                problems.append(f"{path}:{e.line}: empty entry for {msgid!r}; it is shown in English")
            elif e.fuzzy:
                problems.append(f"{path}:{e.line}: fuzzy entry for {msgid!r}; it is shown in English")
    for p in problems:
        print(p)
    return 1 if problems else 0


def main(argv):
    try:
        if len(argv) >= 2 and argv[0] == "embed":
            return embed(argv[1], argv[2:])
        if len(argv) >= 2 and argv[0] == "check":
            return check(argv[1], argv[2:])
    except SyntaxError as error:
        print(error.msg if hasattr(error, "msg") else error, file=sys.stderr)
        return 1
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
