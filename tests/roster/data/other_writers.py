"""Writes a roster case of xlwt_roster.py with another .xls writer.

Usage: other_writers.py <writer> <case> <path> <cache folder>

  libreoffice  LibreOffice re-saves xlwt's workbook (soffice --convert-to xls)
  gnumeric     Gnumeric re-saves xlwt's workbook (ssconvert)
  sheetjs      SheetJS 0.18.5 writes the rows as BIFF8, as web-based school
               systems do; the package comes from the npm registry once and is
               kept in the cache folder

Exit code 77, with the reason on stderr, when the writer is not on this
machine or cannot be installed.
"""
import fcntl
import json
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xlwt_roster  # noqa: E402

SKIP = 77
SHEETJS = "xlsx@0.18.5"

SHEETJS_WRITER = """
const XLSX = require(process.argv[1]);
const rows = JSON.parse(require('fs').readFileSync(process.argv[2], 'utf8'));
const book = XLSX.utils.book_new();
XLSX.utils.book_append_sheet(book, XLSX.utils.aoa_to_sheet(rows), 'Sheet1');
XLSX.writeFile(book, process.argv[3], {bookType: 'biff8'});
"""


def skip(reason):
    print("skipped:", reason, file=sys.stderr)
    return SKIP


def run(command):
    """Runs a writer; its chatter is shown only when it fails."""
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=240)
    if result.returncode != 0:
        sys.stderr.write(result.stdout.decode(errors="replace"))
        raise SystemExit(1)


def xlwt_copy(case, folder):
    source = os.path.join(folder, "xlwt.xls")
    xlwt_roster.main(case, source)
    return source


def libreoffice(case, path, folder):
    if not shutil.which("soffice"):
        return skip("soffice (LibreOffice) is not installed")
    source = xlwt_copy(case, folder)
    out = os.path.join(folder, "out")
    # A profile of its own: runs side by side would share one otherwise.
    profile = "file://" + os.path.join(folder, "profile")
    run(["soffice", "-env:UserInstallation=" + profile, "--headless",
         "--convert-to", "xls", "--outdir", out, source])
    shutil.move(os.path.join(out, "xlwt.xls"), path)
    return 0


def gnumeric(case, path, folder):
    if not shutil.which("ssconvert"):
        return skip("ssconvert (Gnumeric) is not installed")
    run(["ssconvert", xlwt_copy(case, folder), path])
    return 0


def sheetjs_module(cache):
    os.makedirs(cache, exist_ok=True)
    module = os.path.join(cache, "node_modules", "xlsx")
    with open(os.path.join(cache, ".lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)   # one install for tests run side by side
        if not os.path.exists(os.path.join(module, "package.json")):
            result = subprocess.run(["npm", "install", "--no-save", "--no-package-lock", "--no-audit",
                                     "--no-fund", "--prefix", cache, SHEETJS],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=300)
            if result.returncode != 0:
                print(result.stderr.decode(errors="replace"), file=sys.stderr)
                return None
    return module


def sheetjs(case, path, folder, cache):
    if not shutil.which("node") or not shutil.which("npm"):
        return skip("node or npm is not installed, so SheetJS cannot be")
    module = sheetjs_module(cache)
    if module is None:
        return skip("npm could not install " + SHEETJS)
    rows = os.path.join(folder, "rows.json")
    with open(rows, "w", encoding="utf-8") as out:
        json.dump(xlwt_roster.CASES[case], out, ensure_ascii=False)
    run(["node", "-e", SHEETJS_WRITER, module, rows, path])
    return 0


def main(writer, case, path, cache):
    with tempfile.TemporaryDirectory() as folder:
        if writer == "libreoffice":
            return libreoffice(case, path, folder)
        if writer == "gnumeric":
            return gnumeric(case, path, folder)
        if writer == "sheetjs":
            return sheetjs(case, path, folder, cache)
    return 2


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:5]))
