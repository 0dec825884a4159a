//! Strict JSON reader (RFC 8259, no extensions) that builds the document
//! tree. A repeated member name keeps the later value, as the module's JSON
//! parser does.

use super::value::Node;

/// Nesting budget: the 128th nested array or object is refused, which keeps
/// the recursion shallow on hostile input.
const DEPTH_BUDGET: usize = 128;

pub(super) fn parse(text: &str) -> Result<Node, String> {
    let mut p = Parser { text, b: text.as_bytes(), pos: 0, budget: DEPTH_BUDGET };
    let value = p.value()?;
    p.skip_ws();
    match p.peek() {
        None => Ok(value),
        Some(_) => Err(p.error("trailing characters")),
    }
}

struct Parser<'a> {
    text: &'a str,
    b: &'a [u8],
    pos: usize,
    budget: usize,
}

impl Parser<'_> {
    fn peek(&self) -> Option<u8> {
        self.b.get(self.pos).copied()
    }

    fn error(&self, what: &str) -> String {
        let before = &self.b[..self.pos];
        let line = before.iter().filter(|&&c| c == b'\n').count() + 1;
        let column = self.pos - before.iter().rposition(|&c| c == b'\n').map_or(0, |i| i + 1) + 1;
        format!("{what} at line {line} column {column}")
    }

    fn skip_ws(&mut self) {
        while matches!(self.peek(), Some(b' ' | b'\t' | b'\n' | b'\r')) {
            self.pos += 1;
        }
    }

    fn expect(&mut self, byte: u8, what: &str) -> Result<(), String> {
        self.skip_ws();
        if self.peek() == Some(byte) {
            self.pos += 1;
            Ok(())
        } else if self.peek().is_none() {
            Err(self.error(&format!("EOF while parsing {what}")))
        } else {
            Err(self.error(&format!("expected {:?}", byte as char)))
        }
    }

    fn value(&mut self) -> Result<Node, String> {
        self.skip_ws();
        match self.peek() {
            None => Err(self.error("EOF while parsing a value")),
            Some(b'{') => self.nested(Self::object),
            Some(b'[') => self.nested(Self::array),
            Some(b'"') => self.string().map(Node::Str),
            Some(b'-' | b'0'..=b'9') => self.number(),
            Some(_) => {
                for (word, node) in [("true", Node::Bool(true)), ("false", Node::Bool(false)), ("null", Node::Null)] {
                    if self.b[self.pos..].starts_with(word.as_bytes()) {
                        self.pos += word.len();
                        return Ok(node);
                    }
                }
                Err(self.error("expected value"))
            }
        }
    }

    fn nested(&mut self, body: fn(&mut Self) -> Result<Node, String>) -> Result<Node, String> {
        self.budget -= 1;
        if self.budget == 0 {
            return Err(self.error("recursion limit exceeded"));
        }
        self.pos += 1;
        let node = body(self)?;
        self.budget += 1;
        Ok(node)
    }

    fn array(&mut self) -> Result<Node, String> {
        let mut items = Vec::new();
        self.skip_ws();
        if self.peek() == Some(b']') {
            self.pos += 1;
            return Ok(Node::Seq(items));
        }
        loop {
            items.push(self.value()?);
            if self.list_ends(b']', "a list")? {
                return Ok(Node::Seq(items));
            }
        }
    }

    fn object(&mut self) -> Result<Node, String> {
        let mut entries: Vec<(Node, Node)> = Vec::new();
        self.skip_ws();
        if self.peek() == Some(b'}') {
            self.pos += 1;
            return Ok(Node::Map(entries));
        }
        loop {
            self.skip_ws();
            if self.peek() != Some(b'"') {
                return Err(self.error("key must be a string"));
            }
            let key = Node::Str(self.string()?);
            self.expect(b':', "an object")?;
            let value = self.value()?;
            match entries.iter_mut().find(|(k, _)| *k == key) {
                Some(entry) => entry.1 = value,
                None => entries.push((key, value)),
            }
            if self.list_ends(b'}', "an object")? {
                return Ok(Node::Map(entries));
            }
        }
    }

    /// After an element: true at the closing bracket, false after a comma
    /// that is followed by another element.
    fn list_ends(&mut self, close: u8, what: &str) -> Result<bool, String> {
        self.skip_ws();
        match self.peek() {
            Some(b',') => {
                self.pos += 1;
                self.skip_ws();
                match self.peek() {
                    Some(c) if c == close => Err(self.error("trailing comma")),
                    _ => Ok(false),
                }
            }
            Some(c) if c == close => {
                self.pos += 1;
                Ok(true)
            }
            None => Err(self.error(&format!("EOF while parsing {what}"))),
            Some(_) => Err(self.error(&format!("expected ',' or {:?}", close as char))),
        }
    }

    fn number(&mut self) -> Result<Node, String> {
        let start = self.pos;
        let digits = |p: &mut Self| {
            let from = p.pos;
            while matches!(p.peek(), Some(b'0'..=b'9')) {
                p.pos += 1;
            }
            p.pos - from
        };
        self.pos += usize::from(self.peek() == Some(b'-'));
        let int_start = self.pos;
        let int_digits = digits(self);
        if int_digits == 0 || (int_digits > 1 && self.b[int_start] == b'0') {
            self.pos = int_start;
            return Err(self.error("invalid number"));
        }
        let mut integer = true;
        if self.peek() == Some(b'.') {
            self.pos += 1;
            integer = false;
            if digits(self) == 0 {
                return Err(self.error("invalid number"));
            }
        }
        if matches!(self.peek(), Some(b'e' | b'E')) {
            self.pos += 1;
            integer = false;
            self.pos += usize::from(matches!(self.peek(), Some(b'+' | b'-')));
            if digits(self) == 0 {
                return Err(self.error("invalid number"));
            }
        }
        let text = &self.text[start..self.pos];
        // Integers beyond the 64-bit ranges become doubles, as with serde_json.
        let in_range = |i: &i128| (i128::from(i64::MIN)..=i128::from(u64::MAX)).contains(i);
        if let Some(i) = text.parse::<i128>().ok().filter(in_range).filter(|_| integer) {
            return Ok(Node::Int(i));
        }
        match text.parse::<f64>() {
            Ok(f) if f.is_finite() => Ok(Node::Float(f)),
            _ => Err(self.error("number out of range")),
        }
    }

    fn string(&mut self) -> Result<String, String> {
        self.pos += 1;
        let mut out = String::new();
        loop {
            let run = self.pos;
            while matches!(self.peek(), Some(c) if c != b'"' && c != b'\\' && c >= 0x20) {
                self.pos += 1;
            }
            out.push_str(&self.text[run..self.pos]);
            match self.peek() {
                None => return Err(self.error("EOF while parsing a string")),
                Some(b'"') => {
                    self.pos += 1;
                    return Ok(out);
                }
                Some(b'\\') => {
                    self.pos += 1;
                    out.push(self.escape()?);
                }
                Some(_) => return Err(self.error("control character (\\u0000-\\u001F) found while parsing a string")),
            }
        }
    }

    fn escape(&mut self) -> Result<char, String> {
        let c = self.peek().ok_or_else(|| self.error("EOF while parsing a string"))?;
        self.pos += 1;
        Ok(match c {
            b'"' => '"',
            b'\\' => '\\',
            b'/' => '/',
            b'b' => '\u{8}',
            b'f' => '\u{c}',
            b'n' => '\n',
            b'r' => '\r',
            b't' => '\t',
            b'u' => return self.unicode_escape(),
            _ => {
                self.pos -= 1;
                return Err(self.error("invalid escape"));
            }
        })
    }

    /// `\uXXXX`, where a surrogate must come as a high-low pair.
    fn unicode_escape(&mut self) -> Result<char, String> {
        let first = self.hex4()?;
        let unit = match first {
            0xD800..=0xDBFF => {
                if !self.b[self.pos..].starts_with(b"\\u") {
                    return Err(self.error("lone leading surrogate in hex escape"));
                }
                self.pos += 2;
                let low = self.hex4()?;
                if !(0xDC00..=0xDFFF).contains(&low) {
                    return Err(self.error("lone leading surrogate in hex escape"));
                }
                0x10000 + ((first - 0xD800) << 10) + (low - 0xDC00)
            }
            0xDC00..=0xDFFF => return Err(self.error("lone trailing surrogate in hex escape")),
            other => other,
        };
        char::from_u32(unit).ok_or_else(|| self.error("invalid unicode code point"))
    }

    fn hex4(&mut self) -> Result<u32, String> {
        let hex = self.b.get(self.pos..self.pos + 4).filter(|h| h.iter().all(u8::is_ascii_hexdigit));
        let unit = hex.and_then(|h| u32::from_str_radix(std::str::from_utf8(h).ok()?, 16).ok());
        let unit = unit.ok_or_else(|| self.error("invalid escape"))?;
        self.pos += 4;
        Ok(unit)
    }
}

#[cfg(test)]
mod tests {
    use super::*;

    #[test]
    fn builds_values() {
        use Node::*;
        let s = |t: &str| Str(t.to_owned());
        let cases = [
            (" 12 ", Int(12)),
            ("-0", Int(0)),
            ("18446744073709551615", Int(u64::MAX as i128)),
            ("18446744073709551616", Float(18446744073709551616.0)),
            ("2.0", Float(2.0)),
            ("1E2", Float(100.0)),
            ("-2.5e-1", Float(-0.25)),
            (r#""a\"\\\/\b\f\n\r\t\u00e9\ud83d\ude00""#, s("a\"\\/\u{8}\u{c}\n\r\t\u{e9}\u{1F600}")),
            ("[true, false, null, []]", Seq(vec![Bool(true), Bool(false), Null, Seq(vec![])])),
            (r#"{"a": 1, "b": {}, "a": 2}"#, Map(vec![(s("a"), Int(2)), (s("b"), Map(vec![]))])),
        ];
        for (text, want) in cases {
            assert_eq!(parse(text), Ok(want), "{text}");
        }
    }

    #[test]
    fn refuses_what_is_not_json() {
        let deep_ok = format!("{}{}", "[".repeat(127), "]".repeat(127));
        assert!(parse(&deep_ok).is_ok());
        let too_deep = format!("{}{}", "[".repeat(128), "]".repeat(128));
        let cases = [
            ("", "EOF while parsing a value at line 1 column 1"),
            ("\u{feff}{}", "expected value at line 1 column 1"),
            ("{} x", "trailing characters at line 1 column 4"),
            ("{\n  \"a\": 01}", "invalid number at line 2 column 8"),
            (too_deep.as_str(), "recursion limit exceeded at line 1 column 128"),
            ("{'a': 1}", "key must be a string"),
            ("{a: 1}", "key must be a string"),
            (r#"{"a": 1,}"#, "trailing comma"),
            ("[1 2]", "expected ',' or ']'"),
            ("[1,", "EOF while parsing a value"),
            (r#"{"a" 1}"#, "expected ':'"),
            (r#"{"a": 1"#, "EOF while parsing an object"),
            ("NaN", "expected value"),
            ("Infinity", "expected value"),
            ("1e999", "number out of range"),
            ("1.", "invalid number"),
            (".5", "expected value"),
            ("+1", "expected value"),
            ("\"a\tb\"", "control character"),
            (r#""\x""#, "invalid escape"),
            (r#""\ud800""#, "lone leading surrogate"),
            (r#""\udc00""#, "lone trailing surrogate"),
            ("// c\n{}", "expected value"),
            ("tru", "expected value"),
        ];
        for (text, want) in cases {
            let err = parse(text).expect_err(text);
            assert!(err.contains(want), "{text:?}: got {err:?}, want {want:?}");
        }
    }
}
