#!/usr/bin/env python3
"""Checks README.md and docs/*.md against the program they describe.

  check_docs.py examples --cli PATH/etalon-cli SOURCE-DIR
  check_docs.py links SOURCE-DIR

examples: runs every etalon-cli example the pages show and compares what it
prints where the page shows output. In a fenced block, a line starting with
"$ " is a command and the lines after it, up to the next "$ " or the block's
end, are what it prints (stdout and stderr together, as a terminal shows
them), compared exactly; a command shown without output must succeed. In a
```sh block without "$ " lines, every line starting with "etalon-cli" (or
"mpirun" and running it) is run and must succeed. The commands of one page run in order, through bash, in a
fresh folder of their own with etalon-cli first on the PATH, so an example
may use the files an earlier one wrote. A block preceded by the comment
<!-- example: not run (reason) --> is left out, and the run lists it.

Each folder also holds recording.csv, the bench recording of the worked
example in docs/cli.md, made as that page says it was made.

links: every relative link and image of the pages points to a file that
exists, and every #anchor to a heading of its page.
"""
import json
import os
import pathlib
import re
import subprocess
import sys
import tempfile

SKIP = re.compile(r"<!--\s*example:\s*not run\b")
FENCE = re.compile(r"^(\s*)```(\w*)\s*$")


def pages(root):
    return [root / "README.md"] + sorted((root / "docs").glob("*.md"))


def blocks(text):
    """Yields (first line number, language, lines, skipped) of each fenced block."""
    lines = text.split("\n")
    skip_next = False
    i = 0
    while i < len(lines):
        m = FENCE.match(lines[i])
        if not m:
            if SKIP.search(lines[i]):
                skip_next = True
            elif lines[i].strip():
                skip_next = False
            i += 1
            continue
        indent, lang = len(m.group(1)), m.group(2)
        body = []
        i += 1
        while i < len(lines) and not FENCE.match(lines[i]):
            body.append(lines[i][indent:] if lines[i][:indent].strip() == "" else lines[i])
            i += 1
        yield i - len(body), lang, body, skip_next
        skip_next = False
        i += 1


def examples(body, lang):
    """(offset, command, expected output or None) of a block's examples."""
    found = []
    if any(line.startswith("$ ") for line in body):
        k = 0
        while k < len(body):
            if not body[k].startswith("$ "):
                k += 1
                continue
            start, command = k, body[k][2:]
            while command.endswith("\\") and k + 1 < len(body):
                k += 1
                command += "\n" + body[k]
            k += 1
            shown = []
            while k < len(body) and not body[k].startswith("$ "):
                shown.append(body[k])
                k += 1
            while shown and not shown[-1].strip():
                shown.pop()
            found.append((start, command, "\n".join(shown) if shown else None))
    elif lang == "sh":
        for k, line in enumerate(body):
            if line.startswith("etalon-cli") or (line.startswith("mpirun") and "etalon-cli" in line):
                found.append((k, line, None))
    return found


def make_recording(cli, folder):
    made = subprocess.run([cli, "series", "--length", "400", "--noise", "15", "--sequence",
                           "3,5,3,7,5"], capture_output=True, text=True, check=True)
    samples = json.loads(made.stdout)["series"][0]["lpNoisyData"]
    with open(folder / "recording.csv", "w") as out:
        out.write("# bench recording, 2 kHz\ntime_s,volts\n")
        for k, value in enumerate(samples):
            out.write(f"{k / 2000:.4f},{value / 1000:.3f}\n")


def run_examples(cli, root):
    env = dict(os.environ, PATH=str(pathlib.Path(cli).parent) + os.pathsep + os.environ["PATH"])
    env.pop("ETALON_MEMORY_LIMIT", None)
    failures, ran, skipped = [], 0, []
    for page in pages(root):
        name = page.relative_to(root)
        with tempfile.TemporaryDirectory() as folder:
            make_recording(cli, pathlib.Path(folder))
            for first, lang, body, skip in blocks(page.read_text()):
                found = examples(body, lang)
                if skip:
                    if found:
                        skipped.append(f"{name}:{first}")
                    continue
                for offset, command, shown in found:
                    where = f"{name}:{first + offset + 1}"
                    done = subprocess.run(["bash", "-c", command], cwd=folder, env=env,
                                          stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                          stderr=subprocess.STDOUT, text=True, timeout=120)
                    ran += 1
                    printed = "\n".join(l.rstrip() for l in done.stdout.rstrip("\n").split("\n"))
                    if shown is not None:
                        expected = "\n".join(l.rstrip() for l in shown.split("\n"))
                        if printed != expected:
                            failures.append(f"{where}: {command}\n--- the page shows\n{expected}\n"
                                            f"--- the program prints\n{printed}")
                    elif done.returncode != 0:
                        failures.append(f"{where}: {command}\nexited with {done.returncode}:\n"
                                        f"{printed}")
    print(f"{ran} examples run; not run: {', '.join(skipped) or 'none'}")
    for failure in failures:
        print(f"\n{failure}")
    if ran == 0:
        print("no examples found")
        return 1
    return 1 if failures else 0


def prose(text):
    """The page's lines outside fenced blocks."""
    inside = False
    for line in text.split("\n"):
        if FENCE.match(line):
            inside = not inside
        elif not inside:
            yield line


def anchors(text):
    found, seen = set(), {}
    for line in prose(text):
        m = re.match(r"^#{1,6}\s+(.*?)\s*$", line)
        if m:
            slug = re.sub(r"[^\w\- ]", "", m.group(1).lower()).replace(" ", "-")
            n = seen.get(slug, 0)
            seen[slug] = n + 1
            found.add(slug if n == 0 else f"{slug}-{n}")
    return found


def check_links(root):
    failures = []
    link = re.compile(r"!?\[[^\]]*\]\(([^)\s]+)\)")
    for page in pages(root):
        for target in link.findall("\n".join(prose(page.read_text()))):
            if re.match(r"[a-z]+:", target):
                continue
            path, _, anchor = target.partition("#")
            file = (page.parent / path).resolve() if path else page
            if not file.exists():
                failures.append(f"{page.relative_to(root)}: {target}: no such file")
            elif anchor and file.suffix == ".md" and anchor not in anchors(file.read_text()):
                failures.append(f"{page.relative_to(root)}: {target}: no such heading")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


def main(argv):
    if len(argv) == 5 and argv[1] == "examples" and argv[2] == "--cli":
        return run_examples(os.path.abspath(argv[3]), pathlib.Path(argv[4]))
    if len(argv) == 3 and argv[1] == "links":
        return check_links(pathlib.Path(argv[2]))
    print(__doc__.split("\n\n")[1], file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
