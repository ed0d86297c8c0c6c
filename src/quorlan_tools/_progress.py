"""Progress of a long search: a tqdm bar when tqdm is installed, else a line of text, or a
callable of the caller's; called at most ten times a second while the search runs (on the main
thread, where the search is asked about Ctrl-C), and once at its end."""

from __future__ import annotations

import importlib
import sys
from typing import Any, Callable, Optional, Union

Progress = Union[bool, Callable[[int, float], Any], None]


class _Text:
    """A line on stderr, rewritten in place."""

    def __init__(self) -> None:
        self.width = 0

    def __call__(self, found: int, share: float) -> None:
        line = f"{found:,} concepts, {share:.0%} of the first level"
        sys.stderr.write("\r" + line.ljust(self.width))
        sys.stderr.flush()
        self.width = len(line)

    def close(self) -> None:
        sys.stderr.write("\n")


class _Bar:
    """A tqdm bar over the first level of the search, the concepts found beside it."""

    def __init__(self, tqdm: Any) -> None:
        self.bar = tqdm(total=100, unit="%", desc="concepts", leave=True)

    def __call__(self, found: int, share: float) -> None:
        self.bar.n = round(share * 100)
        self.bar.set_postfix_str(f"{found:,} concepts", refresh=True)

    def close(self) -> None:
        self.bar.close()


def reporter(progress: Progress) -> Optional[Callable[[int, int, int], None]]:
    """What the native search calls with (found, first level done, first level total)."""
    if progress is None or progress is False:
        return None
    if progress is True:
        try:
            shown: Any = _Bar(importlib.import_module("tqdm.auto").tqdm)
        except ImportError:
            shown = _Text()
    elif callable(progress):
        shown = progress
    else:
        raise TypeError(f"progress must be a bool or a callable, not {type(progress).__name__}")

    def report(found: int, done: int, total: int) -> None:
        shown(found, done / total if total else 1.0)

    report.finish = getattr(shown, "close", None)  # type: ignore[attr-defined]
    return report


def finish(report: Optional[Callable[[int, int, int], None]], found: int) -> None:
    if report is None:
        return
    report(found, 1, 1)
    close = getattr(report, "finish", None)
    if close is not None:
        close()
