"""The generated table behind the quoted form: it matches a fresh run of its generator, and every
code point is escaped exactly when the Unicode data files say so."""

import subprocess
import sys
from pathlib import Path

import pytest

from solvarinth_trainer import TrainerConfig

ROOT = Path(__file__).resolve().parents[2]
UCD = Path("/usr/share/unicode")
GENERATOR = ROOT / "scripts" / "gen_unicode_table.py"
CHECKED_IN = ROOT / "src" / "common" / "escape_table.inc"
SIMPLE = {0: "\\0", 9: "\\t", 10: "\\n", 13: "\\r", 0x22: '\\"', 0x5C: "\\\\"}

needs_ucd = pytest.mark.skipif(not (UCD / "UnicodeData.txt").is_file(),
                               reason="Debian's unicode-data package is not installed")


def escaped_by_definition():
    """One flag per code point, read straight from the data files, range by range as listed."""
    category = ["Cn"] * 0x110000
    first = None
    for line in (UCD / "UnicodeData.txt").read_text(encoding="utf-8").splitlines():
        code, name, cat = line.split(";")[:3]
        code = int(code, 16)
        if name.endswith("First>"):
            first = code
            continue
        for cp in range(first if name.endswith("Last>") else code, code + 1):
            category[cp] = cat
    flags = bytearray(cat in ("Cc", "Cf", "Cs", "Co", "Cn", "Zl", "Zp", "Zs") for cat in category)
    flags[0x20] = 0
    for line in (UCD / "DerivedCoreProperties.txt").read_text(encoding="utf-8").splitlines():
        fields = line.split("#")[0].split(";")
        if len(fields) == 2 and fields[1].strip() == "Grapheme_Extend":
            lo, _, hi = fields[0].strip().partition("..")
            flags[int(lo, 16):int(hi or lo, 16) + 1] = b"\1" * (int(hi or lo, 16) - int(lo, 16) + 1)
    return flags


@needs_ucd
def test_checked_in_table_is_what_the_generator_writes():
    fresh = subprocess.run([sys.executable, str(GENERATOR), "--output", "-"],
                           check=True, capture_output=True, text=True).stdout
    assert fresh == CHECKED_IN.read_text(encoding="utf-8"), "regenerate with scripts/gen_unicode_table.py"
    assert "Unicode 15.0.0" in fresh


def quoted_by_module(text):
    shown = repr(TrainerConfig("", "", 0, 0, text))
    head = 'TrainerConfig(config_path=\'\', output_dir=\'\', steps=0, seed=0, base_ckpt=Some("'
    assert shown.startswith(head) and shown.endswith('"))')
    return shown[len(head):-3]


@needs_ucd
def test_every_code_point_is_escaped_exactly_when_the_data_says_so():
    flags = escaped_by_definition()
    # Surrogates cannot travel in UTF-8, so no text handed to the module can hold one.
    points = [cp for cp in range(0x110000) if not 0xD800 <= cp <= 0xDFFF]
    step = 4096
    for start in range(0, len(points), step):
        chunk = points[start:start + step]
        expected = "".join(SIMPLE.get(cp) or (f"\\u{{{cp:x}}}" if flags[cp] else chr(cp)) for cp in chunk)
        got = quoted_by_module("".join(map(chr, chunk)))
        if got != expected:
            bad = next(cp for cp in chunk if quoted_by_module(chr(cp)) != (
                SIMPLE.get(cp) or (f"\\u{{{cp:x}}}" if flags[cp] else chr(cp))))
            pytest.fail(f"U+{bad:04X} is quoted as {quoted_by_module(chr(bad))!r}")


@pytest.mark.parametrize("text, shown", [
    ("\u0378\U000E0001\U0010FFFF\uFFFF", r"\u{378}\u{e0001}\u{10ffff}\u{ffff}"),   # Cn, Cf, noncharacters
    ("\u3000\u1680\u0020\u00ad", r"\u{3000}\u{1680} \u{ad}"),                        # Zs, and Cf soft hyphen
    ("\u200d\U000E0100\u0903", r"\u{200d}\u{e0100}" + "\u0903"),                    # Grapheme_Extend; Mc stays
    ("\U0001F600\u4e00\U00020000~\x80", "\U0001F600\u4e00\U00020000~" + r"\u{80}"),  # printable neighbours
])
def test_edges_of_the_table(text, shown):
    assert quoted_by_module(text) == shown
