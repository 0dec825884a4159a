"""JSON config validation: accepted documents and each error with its description and position."""

import pytest

from conftest import raises_exactly
from solvarinth_trainer import train_from_config

PREFIX = "Invalid JSON config: "
CONTROL = "control character (\\u0000-\\u001F) found while parsing a string"


def nested(depth):
    return "[" * depth + "]" * depth


# The tables are module constants: tests/cli/test_check_command.py runs their cases through
# solvarinth-check as well.
ACCEPTED = [
    "{}", "[]", "0", "-0.5e-3", "null", "true", '"text"', '  {"a": [1, 2, {"b": null}]}  \n\r\t',
    '{"a": 1, "a": 2}',                          # a repeated member name is not an error
    "123456789012345678901234567890",            # too big for 64 bits: becomes a double
    "-123456789012345678901234567890",
    "1.7976931348623157e308", "5e-324", "1e-400",
    # RapidJSON alone refuses these by their digit or exponent count; their values fit.
    "0e400", "[-0E309, 0.0e999]", "1" + "0" * 400 + "e-300", "17976931348623157" + "0" * 292,
    '{"big": 1' + "0" * 400 + 'e-300, "s": "-1e999 inside a string", "n": [0e400]}',
    "10", "-0", "0.5", "1e01",
    '"\\ud83d\\ude00 \\u00e9 \\n \\/ \\\\"',     # escapes, a surrogate pair
    '"\u00e9\U0001F600"',
    '["\\ud7ff\\uD000", "\ud7a3\ud000", {"\ud7a3\\u00ed": "\\\\udc00"}]',  # U+D000-D7FF, raw and escaped
    nested(127),
    "[" * 63 + "{" + '"k":' + "[" * 63 + "]" * 63 + "}" + "]" * 63,  # 127 mixed levels
    # every kind of white space, alone and in runs, between every kind of token
    '{\t"a"\r:\n[\t1\r,\r\n2 ,"s"\t,{ }\n,[\r]\t]\r\n,\t"b" : true\n}',
    "[" + " \t\r\n" * 20 + "1" + "\n" * 33 + "]",
]


@pytest.mark.parametrize("text", ACCEPTED)
def test_accepted(write_config, fake_cargo, text):
    assert train_from_config(write_config("c.json", text), "out", 1, 1) is None
    assert fake_cargo.argv() is not None


REJECTED = [
    ("", "EOF while parsing a value at line 1 column 0"),
    ("   \n  ", "EOF while parsing a value at line 2 column 2"),
    ("\ufeff{}", "expected value at line 1 column 1"),
    ("{} x", "trailing characters at line 1 column 4"),
    ("{}\n\n   x", "trailing characters at line 3 column 4"),
    ("1 2", "trailing characters at line 1 column 3"),
    ("{}\0", "trailing characters at line 1 column 3"),
    ("\0", "expected value at line 1 column 1"),
    (nested(128), "recursion limit exceeded at line 1 column 128"),
    ("[\n" * 130, "recursion limit exceeded at line 128 column 1"),
    ('{"a":' * 128, "recursion limit exceeded at line 1 column 636"),
    ("1e400", "number out of range at line 1 column 5"),
    ("[-1e999]", "number out of range at line 1 column 7"),
    ("1.8e308", "number out of range at line 1 column 7"),
    ("17977" + "0" * 304, "number out of range at line 1 column 309"),
    ("[0e400, 1e400]", "number out of range at line 1 column 13"),
    ("01", "invalid number at line 1 column 2"),
    ("-01", "invalid number at line 1 column 3"),
    ("[01]", "invalid number at line 1 column 3"),
    ('{"a": 00}', "invalid number at line 1 column 8"),
    ("[0e400 1]", "expected `,` or `]` at line 1 column 8"),
    ("[", "EOF while parsing a list at line 1 column 1"),
    ("[1", "EOF while parsing a list at line 1 column 2"),
    ("[1,", "EOF while parsing a value at line 1 column 3"),
    ("[1,]", "trailing comma at line 1 column 4"),
    ("[1 2]", "expected `,` or `]` at line 1 column 4"),
    ("{", "EOF while parsing an object at line 1 column 1"),
    ('{"a"', "EOF while parsing an object at line 1 column 4"),
    ('{"a":', "EOF while parsing a value at line 1 column 5"),
    ('{"a":1', "EOF while parsing an object at line 1 column 6"),
    ('{"a":1,', "EOF while parsing a value at line 1 column 7"),
    ('{"a":1,}', "trailing comma at line 1 column 8"),
    ('{"a" 1}', "expected `:` at line 1 column 6"),
    ('{"a":1 "b":2}', "expected `,` or `}` at line 1 column 8"),
    ("{1:2}", "key must be a string at line 1 column 2"),
    ("tru", "EOF while parsing a value at line 1 column 3"),
    ("trux", "expected ident at line 1 column 4"),
    ("nul", "EOF while parsing a value at line 1 column 3"),
    ("[nan]", "expected ident at line 1 column 3"),
    ("NaN", "expected value at line 1 column 1"),
    ("Infinity", "expected value at line 1 column 1"),
    ("'a'", "expected value at line 1 column 1"),
    ("// c\n{}", "expected value at line 1 column 1"),
    ("]", "expected value at line 1 column 1"),
    ("-", "EOF while parsing a value at line 1 column 1"),
    ("-a", "invalid number at line 1 column 2"),
    ("1.", "EOF while parsing a value at line 1 column 2"),
    ("1.x", "invalid number at line 1 column 3"),
    ("1e+", "EOF while parsing a value at line 1 column 3"),
    ('"abc', "EOF while parsing a string at line 1 column 4"),
    ('"a\\', "EOF while parsing a string at line 1 column 3"),
    ('"a\\x"', "invalid escape at line 1 column 4"),
    ('"\\u12"', "invalid escape at line 1 column 6"),
    ('"\\u12x4"', "invalid escape at line 1 column 6"),
    ('"\\u12', "EOF while parsing a string at line 1 column 5"),
    ('"\\udc00"', "lone leading surrogate in hex escape at line 1 column 8"),
    ('"\\ud800"', "lone leading surrogate in hex escape at line 1 column 8"),
    ('"\\ud800\\u0041"', "lone leading surrogate in hex escape at line 1 column 13"),
    ('"\\ud800\\uzz"', "invalid escape at line 1 column 10"),
    ('{"\\udfff": 1}', "lone leading surrogate in hex escape at line 1 column 9"),
    # after strings that close before the text's first \u, an escaped backslash before u, a valid \u
    ('["plain", "a\\udc00"]', "lone leading surrogate in hex escape at line 1 column 19"),
    ('["\\\\u", "b\\ud800"]', "lone leading surrogate in hex escape at line 1 column 17"),
    ('{"k": "\\u00e9", "v": ["x\\udfff"]}', "lone leading surrogate in hex escape at line 1 column 31"),
    ('["\ud7a3\\uDCfF"]', "lone leading surrogate in hex escape at line 1 column 12"),
    ('{"a": "\\ud7ff\\uDE00x"}', "lone leading surrogate in hex escape at line 1 column 21"),
    ('"a\nb"', CONTROL + " at line 1 column 3"),
    # positions after runs of white space of each kind, short and longer than 16 bytes
    ("[1,\t\r\n\t]", "trailing comma at line 2 column 2"),
    ("[" + " " * 40 + "x]", "expected value at line 1 column 42"),
    ('{"a":' + "\t" * 17 + "}", "expected value at line 1 column 23"),
    ("[1" + "\r" * 20 + " 2]", "expected `,` or `]` at line 1 column 24"),
    ("{" + "\n" * 18 + "1:2}", "key must be a string at line 19 column 1"),
    ("[1, " + " " * 30, "EOF while parsing a value at line 1 column 34"),
    ('"a\tb"', CONTROL + " at line 1 column 3"),
    ('"a\0b"', CONTROL + " at line 1 column 3"),
]


@pytest.mark.parametrize("text, message", REJECTED)
def test_rejected(write_config, fake_cargo, text, message):
    path = write_config("c.json", text)
    raises_exactly(ValueError, PREFIX + message, train_from_config, path, "out", 1, 1)
    assert fake_cargo.argv() is None


def test_hostile_nesting_stops_at_the_budget(write_config, fake_cargo):
    path = write_config("deep.json", "[" * 10_000_000)
    with pytest.raises(ValueError, match=r"^Invalid JSON config: recursion limit exceeded at line 1 column 128$"):
        train_from_config(path, "out", 1, 1)


def test_huge_string_is_accepted(write_config, fake_cargo):
    path = write_config("big.json", '{"blob": "' + "x" * 20_000_000 + '"}')
    assert train_from_config(path, "out", 1, 1) is None


def _decimal(n, sign=""):
    """n written as d.ddd...e308, the same value as the integer n (which has 309 digits)."""
    digits = str(n)
    return f"{sign}{digits[0]}.{digits[1:]}e{len(digits) - 1}"


MAX = int(float.fromhex("0x1.fffffffffffffp+1023"))  # the largest double, exactly
HALFWAY = 2 ** 1024 - 2 ** 970  # between the largest double and 2**1024: rounds to even, i.e. up


@pytest.mark.parametrize(
    "token",
    [
        str(MAX), "-" + str(MAX), _decimal(MAX), _decimal(MAX, "-"),
        str(HALFWAY - 1), "-" + str(HALFWAY - 1), _decimal(HALFWAY - 1),
        "1.7976931348623158e308",  # below the halfway point
        "17976931348623157" + "0" * 292, "17976931348623157" + "7" * 292,
        "1" + "0" * 308 + ".5e0", "0." + "0" * 400 + "17976931348623157e709",
    ],
)
def test_largest_doubles_are_accepted(write_config, fake_cargo, token):
    assert train_from_config(write_config("c.json", f"[{token}]"), "out", 1, 1) is None


@pytest.mark.parametrize(
    "token",
    [
        str(HALFWAY), "-" + str(HALFWAY), _decimal(HALFWAY), _decimal(HALFWAY, "-"),
        str(HALFWAY + 1), _decimal(HALFWAY + 1), str(2 ** 1024), "-" + str(2 ** 1024), _decimal(2 ** 1024),
        "17976931348623159" + "0" * 292, "-17976931348623159" + "0" * 292, "1.7976931348623159e308",
        "1.797693134862315807937289714053034150799341327100378269361737789804449682927647509466490179775872070963302864166928879109465555478519404026306574886715058206819089020007083836762738548458177115317644757302700698555713669596228429148198608349364752927190741684443655107043427115596995080930428801779041744977920000001e308",
        "17976931348623158" + "9" * 292,
    ],
)
def test_values_rounding_past_the_largest_double_are_out_of_range(write_config, fake_cargo, token):
    # Reported at the number's last byte, wherever it stands.
    path = write_config("c.json", f'{{"k": [0, {token}]}}')
    column = len('{"k": [0, ') + len(token)
    raises_exactly(ValueError, f"{PREFIX}number out of range at line 1 column {column}", train_from_config, path, "out", 1, 1)
    assert fake_cargo.argv() is None


# RapidJSON counts fraction digits and adds a negative exponent in ints it never checks; past
# 2^27 of the two together the number is decided from its digits instead. The verdict must be
# the one a short number of the same shape gets, at the same place: checked at the room less
# one, the room, and one more.
ROOM = 1 << 27


def verdict(write_config, text):
    try:
        train_from_config(write_config("c.json", text), "out", 1, 1)
    except ValueError as e:
        return str(e)
    return None


def shifted(message, by):
    """The message of a short form, its column moved by the longer form's extra bytes."""
    if message is None:
        return None
    head, column = message.rsplit(" ", 1)
    return f"{head} {int(column) + by}"


@pytest.mark.parametrize("text, short", [
    ("[1.23456789012345678e-2147483639]", "[1.2e-9]"),   # the sum passes INT_MIN: was undefined
    ("[0.0000000001e-2147483648, 1]", "[0.1e-9, 1]"),
    ("-1.5e-99999999999999999999999", "-1.5e-9"),
    ("[0.5e-2147483639 x]", "[0.5e-9 x]"),
    *[(f"[0.1e-{ROOM - 2 + d}, 1e400]", f"[0.1e-9, 1e400]") for d in (0, 1, 2)],
])
def test_numbers_past_the_readers_counters(write_config, fake_cargo, text, short):
    assert verdict(write_config, text) == shifted(verdict(write_config, short), len(text) - len(short))


# A leading zero is the whole integer part: read as 07..., such a number was refused, written as
# 0 and refused again, without end. The error is the short form's, at the same place.
@pytest.mark.parametrize("text, short", [
    ("07096330286410.0669288791094655547e-19404026306574", "07.5e-9"),
    ("[-00.1e-2147483639]", "[-00.1e-9]"),
])
def test_a_leading_zero_ends_the_number(write_config, fake_cargo, text, short):
    assert verdict(write_config, text) == verdict(write_config, short)


@pytest.mark.parametrize("zeros", [ROOM - 1, ROOM, ROOM + 1])
@pytest.mark.parametrize("tail, short", [
    ("1]", "[0.0001]"), ("e+]", "[0.000e+]"), ("1.5]", "[0.0001.5]"),
    ("1e134217999]", "[0.0001e270]"),         # about 1e270: fits
    ("1e999999999]", "[0.0001e999999999]"),   # far over: out of range at its last digit
])
def test_long_fractions_past_the_readers_counters(write_config, fake_cargo, zeros, tail, short):
    text = "[0." + "0" * zeros + tail
    assert verdict(write_config, text) == shifted(verdict(write_config, short), len(text) - len(short))
