#!/usr/bin/env python3
"""quillmap_list's spreadsheet and web page, read back as their users' tools read them.

usage: check_export.py csv|html QUILLMAP_LIST

csv:  Python's csv module reads the spreadsheet; it matches the TSV listing node for node, the
      sizes are the files' own, every folder's totals add up, formula cells are inert and the
      unreadable folder has its row.
html: headless Chromium loads the page with no console message, shows the tree, a #search=
      link filters it, and a hostile name stays text.
"""
import csv, io, os, shutil, subprocess, sys, tempfile

HOSTILE = "<img src=x onerror=alert(1)>.txt"
INERT = {"=SUM(A1).csv", "-rm.txt", "@cmd", "2005", "0012", "2024-01-01", "1e5", "TRUE", "12:30 PM"}


def make_tree(root):
    os.makedirs(os.path.join(root, "Data", "Old", "2005"))
    os.makedirs(os.path.join(root, "Data", "Letters"))
    os.makedirs(os.path.join(root, "Data", "locked"))
    files = {
        "a.txt": 3, "b.doc": 0, "Letters/Note.txt": 1200, "Old/2005/x.txt": 7,
        HOSTILE: 5, "=SUM(A1).csv": 2, "-rm.txt": 1, "@cmd": 1, 'quote" and, comma': 4,
        "0012": 1, "2024-01-01": 1, "1e5": 1, "TRUE": 1, "12:30 PM": 1, "2024-01-01 trip.txt": 1,
        "two\nlines.txt": 6, "\ufeffbom.txt": 1, "locked/hidden.txt": 9,
    }
    for name, size in files.items():
        with open(os.path.join(root, "Data", name), "wb") as f:
            f.write(b"x" * size)
    with open(os.path.join(root, "Data").encode() + b"/bad\xff.txt", "wb") as f:
        f.write(b"12345678")
    os.chmod(os.path.join(root, "Data", "locked"), 0)
    os.chmod(root, 0o755)


def run(program, *args):
    cmd = [program, *args]
    if os.getuid() == 0:  # root reads everything: run as nobody so "locked" stays unreadable
        cmd = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", *cmd]
    p = subprocess.run(cmd, capture_output=True)
    assert p.returncode == 1, (p.returncode, p.stderr)  # 1: an entry could not be read
    return p.stdout


def unescape_tsv(field):
    out, i = bytearray(), 0
    while i < len(field):
        if field[i:i + 1] == b"\\":
            c = field[i + 1:i + 2]
            if c == b"x":
                out.append(int(field[i + 2:i + 4], 16))
                i += 4
                continue
            out += {b"\\": b"\\", b"t": b"\t", b"n": b"\n", b"r": b"\r"}[c]
            i += 2
            continue
        out += field[i:i + 1]
        i += 1
    return out.decode("utf-8", "replace")


def check_csv(program, root):
    data = os.path.join(root, "Data")
    rows = list(csv.reader(io.StringIO(run(program, "--format", "csv", data).decode("utf-8"),
                                       newline="")))
    head, body = rows[0], rows[1:]
    assert head[:13] == ["level", "kind", "path", "name", "size", "created", "last accessed",
                         "last modified", "attributes", "type", "total size", "files",
                         "folders"], head
    nodes = [r for r in body if r[1] != "unreadable"]
    unreadable = [r for r in body if r[1] == "unreadable"]
    tsv = [l.split(b"\t") for l in run(program, "--format", "tsv", data).split(b"\n") if l]
    assert len(nodes) == len(tsv), (len(nodes), len(tsv))
    kinds = {b"R": "root", b"D": "folder", b"F": "file"}
    for r, t in zip(nodes, tsv):
        assert all(len(r) == len(head) for r in rows), r
        path = unescape_tsv(t[2])
        assert r[0] == t[0].decode() and r[1] == kinds[t[1]], (r, t)
        assert r[2] == (path[:-1] if path.endswith("/") and len(path) > 1 else path), (r, t)
        name = r[3][1:] if r[3][:1] == "'" else r[3]
        assert r[1] == "root" or r[2].endswith("/" + name), r
        # Made inert just where a spreadsheet would see a formula or a value, not text.
        assert (r[3][:1] == "'") == (name in INERT), r
        for cell in r:
            assert cell[:1] not in ("=", "+", "-", "@", "\t", "\r"), r
    by_path = {r[2]: r for r in nodes}
    # File sizes are the files' own; every folder's totals add up over what lies below it.
    assert by_path[data + "/Letters/Note.txt"][4] == "1200"
    assert by_path[data + "/" + HOSTILE][4] == "5"
    assert by_path[data + "/bad\ufffd.txt"][4] == "8"
    assert by_path[data + "/a.txt"][7][:2] == "20" and by_path[data + "/a.txt"][7][-6] in "+-"
    for r in nodes:
        if r[1] == "file":
            continue
        below = [n for n in nodes if n[2].startswith(r[2].rstrip("/") + "/")]
        files = [n for n in below if n[1] == "file"]
        assert int(r[10]) == sum(int(n[4] or 0) for n in files), r
        assert int(r[11]) == len(files) and int(r[12]) == len(below) - len(files), r
    assert [u[2] for u in unreadable] == [data + "/locked"], unreadable
    assert unreadable[0][13], unreadable  # says why


def chromium(page, fragment, profile):
    p = subprocess.run(
        ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
         "--user-data-dir=" + profile, "--enable-logging=stderr", "--v=0",
         "--virtual-time-budget=5000", "--dump-dom", "file://" + page + fragment],
        capture_output=True, timeout=120)
    console = [l for l in p.stderr.decode("utf-8", "replace").splitlines() if ":CONSOLE" in l]
    assert not console, console
    return p.stdout.decode("utf-8")


def check_html(program, root):
    page = os.path.join(root, "page.html")
    with open(page, "wb") as f:
        f.write(run(program, "--format", "html", "--details", "size", os.path.join(root, "Data")))
    with open(page, "rb") as f:
        assert "\ufeffbom.txt".encode() in f.read()  # a leading U+FEFF is part of the name
    profile = os.path.join(root, "profile")
    dom = chromium(page, "", profile)
    assert 'data-ready="1"' in dom, dom[-2000:]
    # The root open, its children shown: 3 folders and 16 files.
    assert 'data-shown="20"' in dom, dom[-3000:]
    view = dom.split('id="view"')[1].split("<script")[0]  # the rows drawn, not the data
    assert "Letters" in view and "Note.txt" not in view, view
    assert "1 entry could not be read" in dom and "/Data/locked" in dom
    dom = chromium(page, "#search=note", profile)
    assert 'data-matches="1"' in dom and 'data-shown="3"' in dom, dom[-3000:]
    view = dom.split('id="view"')[1].split("<script")[0]
    assert "Note.txt" in view and "1.2 KiB" in view, view
    dom = chromium(page, "#search=%3Cimg", profile)
    assert 'data-matches="1"' in dom, dom[-3000:]
    view = dom.split('id="view"')[1].split("<script")[0]
    assert "&lt;img src=x onerror=alert(1)&gt;.txt" in view, view
    assert "<img" not in dom


def main():
    what, program = sys.argv[1], sys.argv[2]
    root = tempfile.mkdtemp()
    try:
        make_tree(root)
        {"csv": check_csv, "html": check_html}[what](program, root)
    finally:
        os.chmod(os.path.join(root, "Data", "locked"), 0o755)
        shutil.rmtree(root)
    print(what, "ok")


if __name__ == "__main__":
    main()
