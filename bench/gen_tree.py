#!/usr/bin/env python3
"""Generates deterministic source-like project trees for the speed and memory benchmark."""

import itertools
import os
import random
import shutil
import sys

# Bump when the output changes, so that trees made by an older generator are rebuilt.
VERSION = 1

# name: (project folder, file count, total bytes, folder count, smallest file, largest file)
SIZES = {
    "small": ("ProjSmall", 300, 3 * 10**6, 24, 40, 200_000),
    "medium": ("ProjMedium", 3_000, 60 * 10**6, 220, 40, 2_000_000),
    "large": ("ProjLarge", 7_000, 400 * 10**6, 480, 40, 12_000_000),
    "wide": ("ProjWide", 100_000, 40 * 10**6, 2_000, 60, 4_000),
}

# Extension mix by file count; the weights favour the project's own source types.
EXTENSIONS = [
    (".pb", 38), (".pbi", 28), (".txt", 9), (".pbp", 3),
    (".c", 3), (".h", 3), (".ini", 2), (".xml", 2), (".md", 2), (".json", 1),
    (".png", 2), (".ico", 1), (".wav", 1), (".dat", 1), ("", 1),
]
CONTENT_KIND = {
    ".pb": "basic", ".pbi": "basic", ".txt": "prose", ".md": "prose", "": "prose",
    ".pbp": "xml", ".xml": "xml", ".c": "clike", ".h": "clike", ".json": "clike",
    ".ini": "ini", ".png": "binary", ".ico": "binary", ".wav": "binary", ".dat": "binary",
}

SYLLABLES = (
    "get set load save read write open close init free draw update parse build scan "
    "find make copy move sort test check add remove clear reset show hide count"
).split()
NOUNS = (
    "window gadget buffer file folder image sprite sound list map node item entry "
    "player enemy level tile font text line char point rect color state config path "
    "timer event queue stack string value index offset size width height key mouse "
    "menu button panel layer frame table record field packet socket thread mutex"
).split()
SUFFIXES = ("", "", "", "Ex", "2", "Count", "Ptr", "Id", "Max", "Min", "List", "Data")
ENGLISH = (
    "the a an of to in for with on at by from this that it is are was be not or and "
    "when if then else each every file folder value function returns result user "
    "project version fixed added removed changed bug crash memory speed window list "
    "note todo later check must should could would may before after while since "
    "because only also first last next previous new old size count name path data "
    "first second third game level player sprite sound screen mouse keyboard"
).split()
FOLDER_NAMES = (
    "src inc lib include modules core engine gfx sound net ui tools tests docs res "
    "data levels scripts examples util common platform editor plugins shaders fonts "
    "images maps old backup build extra third_party locale help"
).split()
BASIC_TYPES = (".i", ".l", ".s", ".f", ".d", ".b", ".w", ".q", "")
C_TYPES = ("int", "long", "char *", "const char *", "double", "size_t", "void *", "uint32_t")


class Vocab:
    """Identifier and word lists drawn with a Zipf-like skew, as in real code."""

    def __init__(self, rng):
        idents = set()
        while len(idents) < 1200:
            verb = rng.choice(SYLLABLES).capitalize()
            noun = rng.choice(NOUNS).capitalize()
            extra = rng.choice(NOUNS).capitalize() if rng.random() < 0.4 else ""
            idents.add(verb + noun + extra + rng.choice(SUFFIXES))
        self.funcs = sorted(idents)
        rng.shuffle(self.funcs)
        variables = set()
        while len(variables) < 700:
            noun = rng.choice(NOUNS)
            tail = rng.choice(NOUNS).capitalize() if rng.random() < 0.5 else ""
            variables.add(noun + tail + (str(rng.randrange(10)) if rng.random() < 0.1 else ""))
        self.vars = sorted(variables)
        rng.shuffle(self.vars)
        self.consts = sorted({"#" + rng.choice(NOUNS).upper() + "_" + rng.choice(NOUNS).upper()
                              for _ in range(600)})
        self.words = ENGLISH
        self.fcum = list(itertools.accumulate(1.0 / (i + 1) ** 1.2 for i in range(len(self.funcs))))
        self.vcum = list(itertools.accumulate(1.0 / (i + 1) ** 1.05 for i in range(len(self.vars))))
        self.scope = []

    def func(self, rng, k=1):
        return rng.choices(self.funcs, cum_weights=self.fcum, k=k)

    def var(self, rng, k=1):
        # Inside a procedure most names are its own parameters and locals.
        if self.scope and rng.random() < 0.85:
            return rng.choices(self.scope, k=k)
        return rng.choices(self.vars, cum_weights=self.vcum, k=k)


def number(rng):
    r = rng.random()
    if r < 0.6:
        return rng.choice(("0", "1", "1", "2", "-1", "4", "8", "10", "16", "100", "255", "#True", "#False"))
    if r < 0.8:
        return str(rng.randrange(1000))
    if r < 0.9:
        return "$%X" % rng.randrange(1 << rng.choice((8, 16, 32)))
    return "%.1f" % (rng.random() * 10)


def sentence(rng, vocab, lo, hi):
    return " ".join(rng.choices(vocab.words, k=rng.randint(lo, hi)))


def basic_expr(rng, v, depth=0):
    r = rng.random()
    if r < 0.35 or depth > 1:
        return rng.choice((v.var(rng)[0], number(rng), v.var(rng)[0] + "\\" + rng.choice(NOUNS)))
    if r < 0.7:
        args = ", ".join(basic_expr(rng, v, depth + 1) for _ in range(rng.randint(0, 3)))
        return "%s(%s)" % (v.func(rng)[0], args)
    return "%s %s %s" % (basic_expr(rng, v, depth + 1), rng.choice("+-*/&|"), basic_expr(rng, v, depth + 1))


def basic_body(rng, v, out, indent, depth):
    pad = "    " * indent
    for _ in range(rng.randint(2, 7)):
        r = rng.random()
        if r < 0.12 and depth < 3:
            out.append("%sIf %s %s %s" % (pad, v.var(rng)[0], rng.choice(("=", "<>", "<", ">", ">=")), basic_expr(rng, v)))
            basic_body(rng, v, out, indent + 1, depth + 1)
            if rng.random() < 0.3:
                out.append(pad + "Else")
                basic_body(rng, v, out, indent + 1, depth + 1)
            out.append(pad + "EndIf")
        elif r < 0.2 and depth < 3:
            i = rng.choice(("i", "j", "k", "n"))
            out.append("%sFor %s = 0 To %s" % (pad, i, basic_expr(rng, v, 1)))
            basic_body(rng, v, out, indent + 1, depth + 1)
            out.append(pad + "Next")
        elif r < 0.25 and depth < 3:
            out.append("%sWhile %s" % (pad, basic_expr(rng, v)))
            basic_body(rng, v, out, indent + 1, depth + 1)
            out.append(pad + "Wend")
        elif r < 0.32:
            out.append("%s; %s" % (pad, sentence(rng, v, 3, 12)))
        elif r < 0.55:
            out.append("%s%s(%s)" % (pad, v.func(rng)[0], ", ".join(basic_expr(rng, v, 1) for _ in range(rng.randint(0, 4)))))
        else:
            out.append("%s%s = %s" % (pad, v.var(rng)[0], basic_expr(rng, v)))


def basic_block(rng, v):
    out = []
    r = rng.random()
    if r < 0.65:
        if rng.random() < 0.4:
            out.append(";" + "-" * 60)
        if rng.random() < 0.6:
            out.append("; " + sentence(rng, v, 4, 14))
        params = sorted(set(v.var(rng, rng.randint(0, 4))))
        locals_ = sorted(set(v.var(rng, rng.randint(1, 4))) - set(params))
        out.append("Procedure%s %s(%s)" % (rng.choice(BASIC_TYPES), v.func(rng)[0],
                                           ", ".join(p + rng.choice(BASIC_TYPES) for p in params)))
        if locals_:
            out.append("    Protected " + ", ".join(p + rng.choice(BASIC_TYPES) for p in locals_))
        v.scope = params + locals_
        basic_body(rng, v, out, 1, 0)
        out.append("    ProcedureReturn " + basic_expr(rng, v, 1))
        v.scope = []
        out.append("EndProcedure")
    elif r < 0.8:
        out.append("Structure " + rng.choice(NOUNS).capitalize() + rng.choice(NOUNS).capitalize())
        for name in v.var(rng, rng.randint(2, 8)):
            out.append("  %s%s%s" % (name, rng.choice(BASIC_TYPES), "  ; " + sentence(rng, v, 2, 6) if rng.random() < 0.3 else ""))
        out.append("EndStructure")
    elif r < 0.95:
        for c in rng.sample(v.consts, rng.randint(2, 6)):
            out.append("%s = %s" % (c, number(rng)))
    else:
        out.append("DataSection")
        out.append("  " + rng.choice(NOUNS).capitalize() + "Table:")
        for _ in range(rng.randint(1, 5)):
            out.append("  Data.l " + ", ".join(str(rng.randrange(65536)) for _ in range(8)))
        out.append("EndDataSection")
    out.append("")
    return "\n".join(out) + "\n"


def clike_block(rng, v):
    out = []
    if rng.random() < 0.5:
        out.append("/* " + sentence(rng, v, 4, 14) + " */")
    names = sorted(set(v.var(rng, rng.randint(0, 4))))
    params = ", ".join(rng.choice(C_TYPES) + " " + p for p in names)
    out.append("static %s %s(%s)" % (rng.choice(C_TYPES), v.func(rng)[0], params or "void"))
    out.append("{")
    v.scope = names + v.var(rng, 2)
    for _ in range(rng.randint(2, 9)):
        r = rng.random()
        if r < 0.2:
            out.append("    if (%s > %s) {" % (v.var(rng)[0], number(rng).lstrip("$")))
            out.append("        %s = %s(%s);" % (v.var(rng)[0], v.func(rng)[0], ", ".join(v.var(rng, 2))))
            out.append("    }")
        elif r < 0.3:
            out.append("    // " + sentence(rng, v, 3, 10))
        else:
            out.append("    %s = %s(%s);" % (v.var(rng)[0], v.func(rng)[0], ", ".join(v.var(rng, rng.randint(0, 3)))))
    out.append("    return %s;" % v.var(rng)[0])
    v.scope = []
    out.append("}")
    out.append("")
    return "\n".join(out) + "\n"


def prose_block(rng, v):
    r = rng.random()
    if r < 0.3:
        return "- %d.%d.%d: %s\n" % (rng.randrange(6), rng.randrange(20), rng.randrange(50), sentence(rng, v, 4, 16))
    lines = [sentence(rng, v, 8, 14) for _ in range(rng.randint(1, 6))]
    return "\n".join(lines).capitalize() + ".\n\n"


def xml_block(rng, v):
    out = ['  <section name="%s">' % rng.choice(NOUNS)]
    for _ in range(rng.randint(1, 6)):
        out.append('    <file name="%s/%s.pbi" load="%d" scan="%d" panel="%d"/>' % (
            rng.choice(FOLDER_NAMES), v.func(rng)[0].lower(), rng.randrange(2), rng.randrange(2), rng.randrange(4)))
    out.append('    <option key="%s" value="%s"/>' % (v.var(rng)[0], number(rng)))
    out.append("  </section>")
    return "\n".join(out) + "\n"


def ini_block(rng, v):
    out = ["[%s]" % rng.choice(NOUNS).capitalize()]
    for name in v.var(rng, rng.randint(2, 8)):
        out.append("%s=%s" % (name, number(rng) if rng.random() < 0.6 else sentence(rng, v, 1, 3)))
    return "\n".join(out) + "\n\n"


BLOCK_MAKERS = {"basic": basic_block, "clike": clike_block, "prose": prose_block,
                "xml": xml_block, "ini": ini_block}
# Pool sizes in bytes: large enough that a block seldom recurs inside deflate's 32 KiB window.
POOL_BYTES = {"basic": 6_000_000, "clike": 800_000, "prose": 1_200_000, "xml": 300_000, "ini": 200_000}


def make_pools(rng):
    vocab = Vocab(rng)
    pools = {}
    for kind, maker in BLOCK_MAKERS.items():
        blocks, total = [], 0
        while total < POOL_BYTES[kind]:
            b = maker(rng, vocab).encode()
            blocks.append(b)
            total += len(b)
        pools[kind] = blocks
    return pools


def text_content(rng, blocks, header, size):
    """About `size` bytes of blocks picked at random from the pool, cut to exactly `size`."""
    avg = max(1, sum(len(b) for b in blocks[:200]) // 200)
    parts = [header]
    total = len(header)
    while total < size:
        pick = rng.choices(blocks, k=max(1, (size - total) // avg + 1))
        parts.extend(pick)
        total += sum(len(b) for b in pick)
    return b"".join(parts)[:size]


def binary_content(rng, size):
    # A little structure at the front, then data that deflate cannot shrink, like a packed image.
    head = bytes(rng.randrange(4) for _ in range(min(size, 64)))
    return head + rng.randbytes(max(0, size - len(head)))


def make_folders(rng, count):
    """Relative folder paths forming a nested tree; the empty path is the project folder."""
    folders = [""]
    children = {"": set()}
    while len(folders) < count + 1:
        parent = rng.choice(folders[: max(1, len(folders) // 2 + 1)]) if rng.random() < 0.7 else rng.choice(folders)
        if parent.count("/") >= 5:
            continue
        name = rng.choice(FOLDER_NAMES)
        if name in children[parent] or rng.random() < 0.3:
            name = "%s%d" % (name, rng.randrange(100))
        if name in children[parent]:
            continue
        children[parent].add(name)
        path = parent + "/" + name if parent else name
        folders.append(path)
        children[path] = set()
    return folders


def file_sizes(rng, count, total, lo, hi):
    """Log-normal sizes clamped to [lo, hi], scaled so that they add up to about `total`."""
    raw = [rng.lognormvariate(0, 1.1) for _ in range(count)]
    scale = total / sum(raw)
    for _ in range(8):
        sizes = [min(hi, max(lo, int(r * scale))) for r in raw]
        got = sum(sizes)
        if abs(got - total) < total * 0.002:
            break
        scale *= total / got
    return sizes


def generate(size_name, outdir):
    folder, nfiles, total, nfolders, lo, hi = SIZES[size_name]
    root = os.path.join(outdir, folder)
    stamp = root + ".stamp"
    want = "gen_tree %d %s\n" % (VERSION, size_name)
    try:
        with open(stamp) as f:
            if f.read() == want and os.path.isdir(root):
                print("%s: already generated" % root)
                return root
    except OSError:
        pass
    if os.path.exists(stamp):
        os.remove(stamp)
    shutil.rmtree(root, ignore_errors=True)

    rng = random.Random(0x51F0 + list(SIZES).index(size_name))
    pools = make_pools(random.Random(20240611))
    folders = make_folders(rng, nfolders)
    for rel in folders:
        os.makedirs(os.path.join(root, rel), exist_ok=True)
    sizes = file_sizes(rng, nfiles, total, lo, hi)
    exts = rng.choices([e for e, _ in EXTENSIONS], [w for _, w in EXTENSIONS], k=nfiles)
    if size_name == "wide":
        # Every folder gets its share, so that no folder is left empty.
        homes = [folders[1 + i % nfolders] for i in range(nfiles)]
        rng.shuffle(homes)
    else:
        homes = [rng.choice(folders) for _ in range(nfiles)]
    taken = set()
    written = 0
    for size, ext, home in zip(sizes, exts, homes):
        kind = CONTENT_KIND[ext]
        while True:
            stem = rng.choice(("README", "Makefile", "LICENSE", "Notes")) if ext == "" else \
                rng.choice(SYLLABLES) + rng.choice(NOUNS).capitalize() + \
                (rng.choice(NOUNS).capitalize() if rng.random() < 0.5 else "") + \
                (str(rng.randrange(100)) if rng.random() < 0.2 else "")
            rel = (home + "/" if home else "") + stem + ext
            if rel.lower() not in taken:
                break
            if ext == "":
                ext, kind = ".txt", "prose"
        taken.add(rel.lower())
        if kind == "binary":
            data = binary_content(rng, size)
        else:
            header = ("; %s\n; %s\n\n" % (rel, " ".join(rng.choices(ENGLISH, k=rng.randint(5, 12))))).encode()
            data = text_content(rng, pools[kind], header, size)
        with open(os.path.join(root, rel), "wb") as f:
            f.write(data)
        written += len(data)
    with open(stamp, "w") as f:
        f.write(want)
    print("%s: %d files in %d folders, %.1f MB" % (root, nfiles, len(folders) - 1, written / 1e6))
    return root


def main(argv):
    if len(argv) != 3 or argv[1] not in SIZES:
        sys.stderr.write("usage: gen_tree.py {%s} OUTDIR\n" % "|".join(SIZES))
        return 2
    os.makedirs(argv[2], exist_ok=True)
    generate(argv[1], argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
