#!/usr/bin/env python3
"""Writes benchmark RTF made by real programs: make_real_rtf.py OUTDIR [MEGABYTES]

A generated HTML document of about MEGABYTES (default 2) of prose, in several scripts,
with headings, bold, italic, links, lists and tables, is converted to RTF by pandoc
(pandoc.rtf) and by LibreOffice's Writer, headless (libreoffice.rtf). Their RTF differs
from the synthetic files of make_rtf.py the way real documents do: long font, colour
and style tables, many control words per run, \\u and \\'hh characters. A program that
is not installed is skipped with a note."""
import os
import random
import shutil
import subprocess
import sys
import tempfile

WORDS = ("the of and to in is was for on that with as by at from his her which are this "
         "be or had not but what all were when we there can an your one said each she do "
         "how their if will up other about out many then them these so some would make "
         "like into time has look two more write go see number no way could people than "
         "first water been call who oil its now find long down day did get come made may "
         "part over new sound take only little work know place year live me back give most "
         "very after thing our just name good sentence man think say great where help "
         "through much before line right too mean old any same tell boy follow came want "
         "show also around form three small set put end does another well large must big "
         "even such because turn here why ask went men read need land different home us "
         "move try kind hand picture again change off play spell air away animal house").split()
# Words that a Western code page cannot hold, and some it can: real notes mix them.
FOREIGN = ("café naïve façade Übermaß smørrebrød Привет мир текст Ελληνικά κείμενο "
           "日本語 中文 한국어 emoji€ “quoted” — – …").split()


def sentence(rng):
    words = [rng.choice(WORDS) for _ in range(rng.randrange(6, 18))]
    if rng.random() < 0.3:
        words[rng.randrange(len(words))] = rng.choice(FOREIGN)
    words[0] = words[0].capitalize()
    return " ".join(words) + "."


def inline(rng):
    parts = []
    for _ in range(rng.randrange(2, 6)):
        s = sentence(rng)
        kind = rng.randrange(10)
        if kind == 0:
            s = "<b>" + s + "</b>"
        elif kind == 1:
            s = "<i>" + s + "</i>"
        elif kind == 2:
            s = '<a href="https://example.org/page%d?x=1&amp;y=2">%s</a>' % (rng.randrange(1000), s)
        elif kind == 3:
            w = s.split(" ")
            i = rng.randrange(len(w))
            w[i] = "<b><i>" + w[i] + "</i></b>"
            s = " ".join(w)
        elif kind == 4:
            s = s.replace(" a ", " &lt;a&gt; &amp; ")
        parts.append(s)
    return " ".join(parts)


def block(rng):
    kind = rng.randrange(20)
    if kind == 0:
        return "<h2>%s</h2>\n" % sentence(rng)[:-1]
    if kind == 1:
        tag = rng.choice(("ul", "ol"))
        items = "".join("<li>%s</li>\n" % inline(rng) for _ in range(rng.randrange(2, 6)))
        return "<%s>\n%s</%s>\n" % (tag, items, tag)
    if kind == 2:
        rows = ""
        for _ in range(rng.randrange(2, 6)):
            rows += "<tr>" + "".join("<td>%s</td>" % sentence(rng) for _ in range(3)) + "</tr>\n"
        return "<table border=\"1\">\n%s</table>\n" % rows
    return "<p>%s</p>\n" % inline(rng)


def write_html(path, megabytes):
    rng = random.Random(7)
    target = int(megabytes * 1024 * 1024)
    size = 0
    with open(path, "w", encoding="utf-8") as f:
        f.write("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Notes</title>"
                "</head><body>\n")
        while size < target:
            piece = block(rng)
            f.write(piece)
            size += len(piece.encode("utf-8"))
        f.write("</body></html>\n")


def main():
    out = os.path.abspath(sys.argv[1])
    megabytes = float(sys.argv[2]) if len(sys.argv) > 2 else 2
    os.makedirs(out, exist_ok=True)
    source = os.path.join(out, "source.html")
    write_html(source, megabytes)
    if shutil.which("pandoc"):
        subprocess.run(["pandoc", "-s", "-f", "html", "-t", "rtf", "-o",
                        os.path.join(out, "pandoc.rtf"), source], check=True)
    else:
        print("make_real_rtf: no pandoc (tools/setup.sh --bench)", file=sys.stderr)
    office = shutil.which("libreoffice") or shutil.which("soffice")
    if office:
        # A profile of its own: a running office or a first start elsewhere cannot interfere.
        with tempfile.TemporaryDirectory() as profile:
            subprocess.run([office, "-env:UserInstallation=file://" + profile, "--headless",
                            "--infilter=HTML (StarWriter)", "--convert-to", "rtf",
                            "--outdir", out, source], check=True, stdout=subprocess.DEVNULL)
        os.replace(os.path.join(out, "source.rtf"), os.path.join(out, "libreoffice.rtf"))
    else:
        print("make_real_rtf: no libreoffice (tools/setup.sh --bench)", file=sys.stderr)


if __name__ == "__main__":
    main()
