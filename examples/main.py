"""The main job: parse a context file, print its concepts and implications, and write the
lattice drawing as SVG and as the HTML fragment a notebook shows, and the labelled picture.

    python examples/main.py [context-file] [output-dir]
"""

import pathlib
import sys

import quorlan
import quorlan_view


def main() -> None:
    here = pathlib.Path(__file__).resolve().parent
    path = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else here / "polygons.cxt"
    out = pathlib.Path(sys.argv[2]) if len(sys.argv) > 2 else pathlib.Path("out")
    out.mkdir(parents=True, exist_ok=True)

    ctx = quorlan.parse_context(path.read_bytes(), path.name)
    print(f"{path.name}: {ctx!r}")

    lattice = quorlan.compute_lattice(ctx, "fcbo")
    print(f"\n{lattice.n_concepts} concepts:")
    for c in lattice.concepts():
        print(f"  {{{', '.join(c['extent'])}}}  <->  {{{', '.join(c['intent'])}}}")

    implications = quorlan.compute_implications(ctx)
    print(f"\n{len(implications)} implications in the canonical base:")
    for imp in implications:
        premise = ", ".join(imp["premise"]) or "(nothing)"
        added = [a for a in imp["conclusion"] if a not in imp["premise"]]
        print(f"  {premise}  ==>  {', '.join(added)}   [support {imp['support']}]")

    stem = path.stem
    (out / f"{stem}.svg").write_text(lattice.svg(), encoding="utf-8")
    (out / f"{stem}.html").write_text(
        '<!DOCTYPE html>\n<meta charset="utf-8">\n' + lattice._repr_html_() + "\n",
        encoding="utf-8",
    )
    quorlan_view.labelled(lattice).save(out / f"{stem}-labelled.svg")
    print(
        f"\nwrote {out / (stem + '.svg')}, {out / (stem + '.html')} and "
        f"{out / (stem + '-labelled.svg')} (with the names)"
    )


if __name__ == "__main__":
    main()
