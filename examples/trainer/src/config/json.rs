//! Minimal JSON scanner: walks the top-level object, classifying each value
//! and skipping over nested structures without building them.

use super::{number_token, Value};

pub(super) fn top_level(text: &str) -> Result<Vec<(String, Value)>, String> {
    let mut s = Scanner { bytes: text.as_bytes(), pos: 0 };
    s.skip_ws();
    if !s.eat(b'{') {
        return Err("the top level of a JSON config must be an object".into());
    }
    let mut entries = Vec::new();
    s.skip_ws();
    if !s.eat(b'}') {
        loop {
            s.skip_ws();
            let key = s.string()?;
            s.skip_ws();
            s.expect(b':')?;
            s.skip_ws();
            entries.push((key, s.value()?));
            s.skip_ws();
            if !s.eat(b',') {
                s.expect(b'}')?;
                break;
            }
        }
    }
    s.skip_ws();
    match s.peek() {
        None => Ok(entries),
        Some(_) => Err(s.error("unexpected content after the top-level object")),
    }
}

struct Scanner<'a> {
    bytes: &'a [u8],
    pos: usize,
}

impl Scanner<'_> {
    fn peek(&self) -> Option<u8> {
        self.bytes.get(self.pos).copied()
    }

    fn eat(&mut self, b: u8) -> bool {
        let hit = self.peek() == Some(b);
        self.pos += usize::from(hit);
        hit
    }

    fn expect(&mut self, b: u8) -> Result<(), String> {
        if self.eat(b) {
            Ok(())
        } else {
            Err(self.error(&format!("expected '{}'", b as char)))
        }
    }

    fn error(&self, what: &str) -> String {
        format!("malformed JSON at byte {}: {what}", self.pos)
    }

    fn skip_ws(&mut self) {
        while matches!(self.peek(), Some(b' ' | b'\t' | b'\n' | b'\r')) {
            self.pos += 1;
        }
    }

    fn value(&mut self) -> Result<Value, String> {
        match self.peek() {
            Some(b'"') => self.string().map(|_| Value::Other("a string")),
            Some(b'{') => self.skip_nested().map(|_| Value::Other("an object")),
            Some(b'[') => self.skip_nested().map(|_| Value::Other("an array")),
            _ => {
                let start = self.pos;
                while matches!(self.peek(), Some(b) if b.is_ascii_alphanumeric() || b"+-.".contains(&b)) {
                    self.pos += 1;
                }
                let token = std::str::from_utf8(&self.bytes[start..self.pos]).unwrap_or("");
                match token {
                    "true" | "false" => Ok(Value::Other("a boolean")),
                    "null" => Ok(Value::Other("null")),
                    _ => number_token(token)
                        .map(Value::Number)
                        .ok_or_else(|| self.error(&format!("unexpected value '{token}'"))),
                }
            }
        }
    }

    /// Skips a nested object or array; only strings need care, since they
    /// may contain brackets.
    fn skip_nested(&mut self) -> Result<(), String> {
        let mut depth = 0usize;
        loop {
            match self.peek() {
                None => return Err(self.error("unterminated object or array")),
                Some(b'"') => {
                    self.string()?;
                    continue;
                }
                Some(b'{' | b'[') => depth += 1,
                Some(b'}' | b']') => depth -= 1,
                Some(_) => {}
            }
            self.pos += 1;
            if depth == 0 {
                return Ok(());
            }
        }
    }

    fn string(&mut self) -> Result<String, String> {
        self.expect(b'"')?;
        let mut out = Vec::new();
        loop {
            let b = self.peek().ok_or_else(|| self.error("unterminated string"))?;
            self.pos += 1;
            match b {
                b'"' => return String::from_utf8(out).map_err(|_| self.error("invalid UTF-8")),
                b'\\' => self.escape(&mut out)?,
                _ => out.push(b),
            }
        }
    }

    fn escape(&mut self, out: &mut Vec<u8>) -> Result<(), String> {
        let b = self.peek().ok_or_else(|| self.error("unterminated escape"))?;
        self.pos += 1;
        let simple = match b {
            b'"' | b'\\' | b'/' => b,
            b'b' => 0x08,
            b'f' => 0x0c,
            b'n' => b'\n',
            b'r' => b'\r',
            b't' => b'\t',
            b'u' => return self.unicode_escape(out),
            _ => return Err(self.error("unknown escape")),
        };
        out.push(simple);
        Ok(())
    }

    fn unicode_escape(&mut self, out: &mut Vec<u8>) -> Result<(), String> {
        let mut units = vec![self.hex4()?];
        if (0xD800..0xDC00).contains(&units[0]) && self.bytes[self.pos..].starts_with(b"\\u") {
            self.pos += 2;
            units.push(self.hex4()?);
        }
        for c in char::decode_utf16(units) {
            let c = c.unwrap_or(char::REPLACEMENT_CHARACTER);
            out.extend_from_slice(c.encode_utf8(&mut [0; 4]).as_bytes());
        }
        Ok(())
    }

    fn hex4(&mut self) -> Result<u16, String> {
        let hex = self.bytes.get(self.pos..self.pos + 4).and_then(|h| std::str::from_utf8(h).ok());
        let unit = hex.and_then(|h| u16::from_str_radix(h, 16).ok());
        let unit = unit.ok_or_else(|| self.error("bad \\u escape"))?;
        self.pos += 4;
        Ok(unit)
    }
}

#[cfg(test)]
mod tests {
    use super::*;

    #[test]
    fn decodes_keys_and_skips_tricky_nested_values() {
        let text = r#"{"learning\u005frate": 1, "a": {"s": "}]\"{["}, "\ud83d\ude00": -2.5E+3}"#;
        let entries = top_level(text).unwrap();
        let keys: Vec<&str> = entries.iter().map(|(k, _)| k.as_str()).collect();
        assert_eq!(keys, ["learning_rate", "a", "\u{1F600}"]);
        assert_eq!(entries[2].1, Value::Number("-2.5E+3".into()));
    }

    #[test]
    fn reports_malformed_input() {
        for text in [r#"{"a": 1"#, r#"{"a" 1}"#, r#"{"a": 01x}"#, r#"{"a": "x}"#, r#"{"a": [1}"#, "{} x"] {
            assert!(top_level(text).is_err(), "{text:?} should be rejected");
        }
    }
}
