"""Headless Chromium for the tests, the benchmarks and the documentation: the one place that
finds the browser, holds its flags and writes the page it opens."""

import pathlib
import shutil
import subprocess


def chromium():
    """The path of a Chromium on PATH, or None."""
    names = ("chromium", "chromium-browser", "google-chrome")
    return next(filter(None, map(shutil.which, names)), None)


def flags(width=1200, height=900):
    """A window of `width` × `height` CSS pixels at scale 1, without scrollbars or a GPU."""
    return [
        "--headless",
        "--no-sandbox",
        "--disable-gpu",
        "--hide-scrollbars",
        "--force-device-scale-factor=1",
        f"--window-size={width},{height}",
    ]


def write_page(directory, body, style=""):
    """`body` as a UTF-8 page in `directory`, with `style` in its head; the page's path."""
    page = pathlib.Path(directory) / "page.html"
    page.write_text(
        f"<!DOCTYPE html><html><head><meta charset='utf-8'><style>{style}</style></head>"
        f"<body>{body}</body></html>",
        encoding="utf-8",
    )
    return page


def dump_dom(browser, page, width=1200, height=900, timeout=180):
    """The page's document after its scripts ran."""
    return subprocess.run(
        [browser, *flags(width, height), "--dump-dom", page.as_uri()],
        capture_output=True,
        text=True,
        timeout=timeout,
    ).stdout


def screenshot(browser, page, png, width=1200, height=900, timeout=120):
    """The page as a PNG file at `png`."""
    subprocess.run(
        [browser, *flags(width, height), f"--screenshot={png}", page.as_uri()],
        check=True,
        capture_output=True,
        timeout=timeout,
    )
