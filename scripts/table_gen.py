"""The command line shared by the table generators: DATA_DIR OUTPUT [--check].

A generator gives its name, its usage text and a function that renders the table from the data
folder; this writes the result to OUTPUT, or with --check compares it with the existing file
(exit 1 on a difference, so that a stale checked-in table fails the tests).
"""
import sys


def run(name, usage, render, argv=None):
    argv = sys.argv[1:] if argv is None else argv
    args = [a for a in argv if a != "--check"]
    if len(args) != 2 or "--help" in args:
        print(usage.strip())
        return 0 if "--help" in args else 1
    text = render(args[0])
    if "--check" in argv:
        try:
            with open(args[1], encoding="utf-8") as f:
                current = f.read()
        except OSError as e:
            print(f"{name}: cannot read {args[1]}: {e}", file=sys.stderr)
            return 1
        if current != text:
            print(f"{name}: {args[1]} is out of date; regenerate it", file=sys.stderr)
            return 1
        return 0
    with open(args[1], "w", encoding="utf-8") as f:
        f.write(text)
    return 0
