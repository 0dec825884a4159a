//! The document tree both readers build, and the YAML core-schema rules that
//! decide what a scalar's text means (the same rules the Python module's
//! YAML loader applies, so both sides see the same value in the same text).

/// One parsed value. Integers keep 128 bits so every 64-bit signed and
/// unsigned value fits; mapping entries keep their order.
#[derive(Debug, Clone, PartialEq)]
pub(crate) enum Node {
    Null,
    Bool(bool),
    Int(i128),
    Float(f64),
    Str(String),
    Seq(Vec<Node>),
    Map(Vec<(Node, Node)>),
    /// A YAML node with a local tag (`!name`), which no setting accepts.
    Tagged(String, Box<Node>),
}

impl Node {
    /// What the value is, for "found ..." messages; JSON and YAML name
    /// their collections differently.
    pub(crate) fn kind(&self, json: bool) -> String {
        match self {
            Node::Null => "null".into(),
            Node::Bool(_) => "a boolean".into(),
            Node::Int(_) => "an integer".into(),
            Node::Float(_) => "a number with a fraction".into(),
            Node::Str(_) => "a string".into(),
            Node::Seq(_) if json => "an array".into(),
            Node::Seq(_) => "a sequence".into(),
            Node::Map(_) if json => "an object".into(),
            Node::Map(_) => "a mapping".into(),
            Node::Tagged(tag, _) => format!("a value tagged {tag}"),
        }
    }

    /// The value as it is named in a message about a key.
    pub(crate) fn key_text(&self) -> String {
        match self {
            Node::Null => "null".into(),
            Node::Bool(b) => b.to_string(),
            Node::Int(i) => i.to_string(),
            Node::Float(f) => f.to_string(),
            Node::Str(s) => format!("{s:?}"),
            other => other.kind(false),
        }
    }

    /// Levels of collections, 0 for a scalar.
    pub(crate) fn depth(&self) -> usize {
        match self {
            Node::Seq(items) => 1 + items.iter().map(Node::depth).max().unwrap_or(0),
            Node::Map(entries) => 1 + entries.iter().map(|(k, v)| k.depth().max(v.depth())).max().unwrap_or(0),
            Node::Tagged(_, inner) => inner.depth(),
            _ => 0,
        }
    }

    /// Number of nodes in the tree, for bounding alias expansion.
    pub(crate) fn size(&self) -> usize {
        match self {
            Node::Seq(items) => 1 + items.iter().map(Node::size).sum::<usize>(),
            Node::Map(entries) => 1 + entries.iter().map(|(k, v)| k.size() + v.size()).sum::<usize>(),
            Node::Tagged(_, inner) => 1 + inner.size(),
            _ => 1,
        }
    }
}

/// Prefix of the standard tags, written `!!int` and so on in a document.
pub(crate) const CORE_TAG: &str = "tag:yaml.org,2002:";

/// A plain (unquoted, untagged) scalar: null, boolean, integer, float or
/// string, tried in that order. "yes", "on", "010" and "inf" are strings.
pub(crate) fn resolve_plain(text: &str) -> Node {
    if is_null(text) {
        Node::Null
    } else if let Some(b) = bool_of(text) {
        Node::Bool(b)
    } else if let Some(i) = int_of(text) {
        Node::Int(i)
    } else if let Some(f) = float_of(text) {
        Node::Float(f)
    } else {
        Node::Str(text.to_owned())
    }
}

/// A scalar with a tag. A standard scalar tag demands a valid value of its
/// kind; a local tag wraps the value; any other tag makes a string.
pub(crate) fn resolve_tagged(text: &str, plain: bool, tag: &str) -> Result<Node, String> {
    let invalid = |what: &str| format!("invalid value {text:?} for {tag}: expected {what}");
    match tag.strip_prefix(CORE_TAG) {
        Some("null") if is_null(text) => Ok(Node::Null),
        Some("null") => Err(invalid("null")),
        Some("bool") => bool_of(text).map(Node::Bool).ok_or_else(|| invalid("a boolean")),
        Some("int") => int_of(text).map(Node::Int).ok_or_else(|| invalid("an integer")),
        Some("float") => float_of(text)
            .or_else(|| int_of(text).map(|i| i as f64))
            .map(Node::Float)
            .ok_or_else(|| invalid("a floating-point number")),
        None if tag.starts_with('!') => {
            let inner = if plain { resolve_plain(text) } else { Node::Str(text.to_owned()) };
            Ok(Node::Tagged(tag.to_owned(), Box::new(inner)))
        }
        _ => Ok(Node::Str(text.to_owned())),
    }
}

fn is_null(text: &str) -> bool {
    matches!(text, "" | "~" | "null" | "Null" | "NULL")
}

fn bool_of(text: &str) -> Option<bool> {
    match text {
        "true" | "True" | "TRUE" => Some(true),
        "false" | "False" | "FALSE" => Some(false),
        _ => None,
    }
}

/// "0" followed by more digits is a string, not an octal or decimal number.
fn leading_zero_digits(text: &str) -> bool {
    let t = text.strip_prefix(['+', '-']).unwrap_or(text);
    t.len() > 1 && t.starts_with('0') && t.bytes().all(|b| b.is_ascii_digit())
}

/// Decimal, `0x`, `0o` or `0b` digits with an optional sign, within the
/// 64-bit signed or unsigned range.
fn int_of(text: &str) -> Option<i128> {
    if leading_zero_digits(text) {
        return None;
    }
    let (negative, rest) = match text.strip_prefix('-') {
        Some(rest) => (true, rest),
        None => (false, text.strip_prefix('+').unwrap_or(text)),
    };
    let (radix, digits) = [("0x", 16), ("0o", 8), ("0b", 2)]
        .iter()
        .find_map(|&(prefix, radix)| rest.strip_prefix(prefix).map(|d| (radix, d)))
        .unwrap_or((10, rest));
    // from_str_radix would also take a sign here, which the schema does not.
    if digits.is_empty() || !digits.chars().all(|c| c.is_digit(radix)) {
        return None;
    }
    let magnitude = i128::try_from(u128::from_str_radix(digits, radix).ok()?).ok()?;
    let value = if negative { -magnitude } else { magnitude };
    (i128::from(i64::MIN)..=i128::from(u64::MAX)).contains(&value).then_some(value)
}

/// `.inf`/`.nan` spellings, or a finite decimal float with an optional sign.
fn float_of(text: &str) -> Option<f64> {
    if leading_zero_digits(text) {
        return None;
    }
    let unsigned = match text.strip_prefix('+') {
        Some(rest) if rest.starts_with(['+', '-']) => return None,
        Some(rest) => rest,
        None => text,
    };
    match (unsigned, text) {
        (".inf" | ".Inf" | ".INF", _) => return Some(f64::INFINITY),
        (_, "-.inf" | "-.Inf" | "-.INF") => return Some(f64::NEG_INFINITY),
        (_, ".nan" | ".NaN" | ".NAN") => return Some(f64::NAN),
        _ => {}
    }
    // Rust also parses "inf", "nan" and "infinity"; none of them is finite.
    unsigned.parse::<f64>().ok().filter(|f| f.is_finite())
}

#[cfg(test)]
mod tests {
    use super::*;

    #[test]
    fn plain_scalars_resolve_like_the_core_schema() {
        use Node::*;
        let s = |t: &str| Str(t.to_owned());
        let cases = [
            ("", Null), ("~", Null), ("NULL", Null), ("nUll", s("nUll")),
            ("True", Bool(true)), ("FALSE", Bool(false)), ("yes", s("yes")), ("off", s("off")),
            ("12", Int(12)), ("-7", Int(-7)), ("+3", Int(3)), ("0", Int(0)), ("-0", Int(0)),
            ("0x1F", Int(31)), ("-0x10", Int(-16)), ("0o17", Int(15)), ("0b101", Int(5)),
            ("0x", s("0x")), ("0x+1", s("0x+1")), ("0o8", s("0o8")), ("1_000", s("1_000")),
            ("010", s("010")), ("-00", s("-00")), ("0.5", Float(0.5)), ("00.5", Float(0.5)),
            ("18446744073709551615", Int(u64::MAX as i128)),
            ("18446744073709551616", Float(18446744073709551616.0)),
            ("-9223372036854775809", Float(-9223372036854775809.0)),
            ("1e3", Float(1000.0)), ("+.5", Float(0.5)), ("5.", Float(5.0)), ("-2.5E-1", Float(-0.25)),
            ("+-1", s("+-1")), ("1e999", s("1e999")), ("inf", s("inf")), ("nan", s("nan")),
            (".inf", Float(f64::INFINITY)), ("+.Inf", Float(f64::INFINITY)),
            ("-.INF", Float(f64::NEG_INFINITY)), ("-.nan", s("-.nan")),
            ("0.5x", s("0.5x")), ("1,5", s("1,5")),
        ];
        for (text, want) in cases {
            assert_eq!(resolve_plain(text), want, "{text:?}");
        }
        assert!(matches!(resolve_plain(".NaN"), Float(f) if f.is_nan()));
    }

    #[test]
    fn tags_decide_the_kind_or_fail() {
        let core = |t: &str| format!("{CORE_TAG}{t}");
        let ok = [
            ("5", true, core("int"), Node::Int(5)),
            ("0x10", false, core("int"), Node::Int(16)),
            ("5", true, core("float"), Node::Float(5.0)),
            ("2.5", true, core("str"), Node::Str("2.5".into())),
            ("2.5", true, core("binary"), Node::Str("2.5".into())),
            ("~", true, core("null"), Node::Null),
            ("2.5", true, "!lr".into(), Node::Tagged("!lr".into(), Box::new(Node::Float(2.5)))),
            ("2.5", false, "!lr".into(), Node::Tagged("!lr".into(), Box::new(Node::Str("2.5".into())))),
            ("2.5", true, "tag:example.com,2024:x".into(), Node::Str("2.5".into())),
        ];
        for (text, plain, tag, want) in ok {
            assert_eq!(resolve_tagged(text, plain, &tag), Ok(want), "{tag} {text:?}");
        }
        for (text, tag) in [("2.5", "int"), ("010", "int"), ("x", "float"), ("yes", "bool"), ("0", "null")] {
            let err = resolve_tagged(text, true, &core(tag)).expect_err(text);
            assert!(err.starts_with("invalid value"), "{err}");
        }
    }
}
