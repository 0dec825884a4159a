"""The generated table behind the quoted form: it matches a fresh run of its generator, and every
code point is escaped exactly when the Unicode data files say so."""

import importlib.util
import re
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


def table_version():
    """The Unicode version the checked-in table was generated from, as it records it."""
    return re.search(r'UNICODE_VERSION "([^"]+)"', CHECKED_IN.read_text(encoding="utf-8"))[1]


def data_version():
    """The version of the system's data files, or None without them."""
    derived = UCD / "DerivedCoreProperties.txt"
    if not (UCD / "UnicodeData.txt").is_file() or not derived.is_file():
        return None
    with derived.open(encoding="utf-8") as f:
        match = re.match(r"# DerivedCoreProperties-(\d+\.\d+\.\d+)\.txt", f.readline())
    return match[1] if match else "unknown"


# The table is compared with the data it was made from: other data (a newer Debian's, say) would
# mark the new characters of its version as differences, not faults.
TABLE_VERSION, DATA_VERSION = table_version(), data_version()
needs_ucd = pytest.mark.skipif(
    DATA_VERSION != TABLE_VERSION,
    reason=f"the table is of Unicode {TABLE_VERSION}, the system's unicode-data is "
           + (f"of Unicode {DATA_VERSION}" if DATA_VERSION else "not installed"))


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


def test_generator_reads_grapheme_extend_among_properties_with_values():
    # Data files from Unicode 15.1 on list enumerated properties with a third field.
    found = importlib.util.spec_from_file_location("gen_unicode_table", GENERATOR)
    generator = importlib.util.module_from_spec(found)
    found.loader.exec_module(generator)
    derived = ("094D          ; InCB; Linker # Mn       DEVANAGARI SIGN VIRAMA\n"
               "0300..036F    ; Grapheme_Extend # Mn [112] COMBINING GRAVE ACCENT..\n"
               "0903          ; InCB; Extend\n")
    assert generator.grapheme_extend(derived) == [(0x300, 0x36F)]


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
