#!/usr/bin/env python3
"""Writes benchmark RTF of a given kind and size: make_rtf.py KIND MEGABYTES OUT.

Kinds: text (plain paragraphs), format (a formatting change every word or two),
table (rows of four cells), picture (paragraphs between hex-coded pictures)."""
import random
import sys

# Mostly plain words, as in prose; one word in about thirty needs an escape.
PLAIN = ("lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod tempor "
         "incididunt ut labore et dolore magna aliqua enim ad minim veniam quis nostrud "
         "exercitation ullamco laboris nisi aliquip ex ea commodo consequat").split()
SPECIAL = ("caf\\'e9 na\\'efve \\u1055?\\u1088?\\u1080? \\u26085?\\u26412? "
           "{\\{}braces{\\}} a\\\\b <tag> & \"q\"").split()
WORDS = PLAIN * 4 + SPECIAL
HEADER = ("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}"
          "{\\f1\\froman\\fcharset0 Times New Roman;}{\\f2\\fmodern Courier New;}}\n"
          "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green128\\blue0;\\red0\\green0\\blue255;}\n"
          "{\\*\\generator irun bench}\\viewkind4\\uc1\\pard\\f0\\fs20\n")


def words(rng, count):
    return " ".join(rng.choice(WORDS) for _ in range(count))


def text_block(rng):
    return "\\pard\\sa120 " + words(rng, 90) + "\\par\n"


def format_block(rng):
    parts = []
    for _ in range(40):
        w = rng.choice(WORDS)
        style = rng.randrange(6)
        if style == 0:
            parts.append("{\\b " + w + "}")
        elif style == 1:
            parts.append("\\i " + w + "\\i0")
        elif style == 2:
            parts.append("\\cf%d %s\\cf0" % (rng.randrange(1, 4), w))
        elif style == 3:
            parts.append("{\\f%d\\fs%d %s}" % (rng.randrange(3), rng.choice((16, 24, 28)), w))
        elif style == 4:
            parts.append("\\ul " + w + "\\ulnone")
        else:
            parts.append(w)
    return "\\pard\\qj " + " ".join(parts) + "\\par\n"


def table_block(rng):
    row = "\\trowd\\trgaph108\\cellx2000\\cellx4000\\cellx6000\\cellx8000\n\\pard\\intbl "
    row += "".join(words(rng, 3) + "\\cell " for _ in range(4))
    return row + "\\row\n"


def picture_block(rng):
    data = "".join("%02x" % rng.randrange(256) for _ in range(4096))
    lines = "\n".join(data[i:i + 128] for i in range(0, len(data), 128))
    return ("\\pard " + words(rng, 20) + "{\\pict\\pngblip\\picw64\\pich64\\picwgoal960"
            "\\pichgoal960\n" + lines + "\n}\\par\n")


def main():
    kind, megabytes, out = sys.argv[1], float(sys.argv[2]), sys.argv[3]
    block = {"text": text_block, "format": format_block, "table": table_block,
             "picture": picture_block}[kind]
    rng = random.Random(1)
    target = int(megabytes * 1024 * 1024)
    # A pool of blocks, repeated: fast to write, and the converter cannot tell.
    pool = [block(rng) for _ in range(200)]
    size = len(HEADER)
    with open(out, "w", encoding="ascii", newline="") as f:
        f.write(HEADER)
        i = 0
        while size < target:
            piece = pool[i % len(pool)]
            f.write(piece)
            size += len(piece)
            i += 1
        f.write("}\n")


if __name__ == "__main__":
    main()
