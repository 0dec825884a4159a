//! Line-based reader for flat YAML mappings: every unindented `key: value`
//! line is a top-level entry; indented lines belong to nested blocks and are
//! skipped, and a key with nothing after the colon is reported as empty.

use super::{number_token, Value};

pub(super) fn top_level(text: &str) -> Vec<(String, Value)> {
    text.lines().filter_map(entry).collect()
}

fn entry(line: &str) -> Option<(String, Value)> {
    let line = strip_comment(line).trim_end();
    let structural = line.starts_with([' ', '\t', '-', '%', '[', '{', '?']) || line == "...";
    if line.is_empty() || structural {
        return None;
    }
    let bytes = line.as_bytes();
    let colon = (0..bytes.len())
        .find(|&i| bytes[i] == b':' && matches!(bytes.get(i + 1), None | Some(b' ' | b'\t')))?;
    let key = unquote(line[..colon].trim());
    Some((key.to_owned(), scalar(line[colon + 1..].trim())))
}

/// Cuts a `#` comment, which YAML only recognises at the start of a line or
/// after a blank, and never inside a quoted scalar.
fn strip_comment(line: &str) -> &str {
    let mut quote = None;
    let mut after_blank = true;
    for (i, c) in line.char_indices() {
        match quote {
            Some(q) if c == q => quote = None,
            Some(_) => {}
            None if c == '#' && after_blank => return &line[..i],
            None if c == '"' || c == '\'' => quote = Some(c),
            None => {}
        }
        after_blank = c == ' ' || c == '\t';
    }
    line
}

fn unquote(key: &str) -> &str {
    for q in ['"', '\''] {
        if let Some(inner) = key.strip_prefix(q).and_then(|k| k.strip_suffix(q)) {
            return inner;
        }
    }
    key
}

fn scalar(text: &str) -> Value {
    if let Some(number) = number_token(text) {
        return Value::Number(number);
    }
    Value::Other(match text {
        "" => "an empty value or nested block",
        "~" | "null" | "Null" | "NULL" => "null",
        _ if is_bool(text) => "a boolean",
        _ if text.starts_with('[') => "a sequence",
        _ if text.starts_with('{') => "a mapping",
        _ => "a string",
    })
}

fn is_bool(text: &str) -> bool {
    let lower = text.to_ascii_lowercase();
    ["true", "false", "yes", "no", "on", "off"].contains(&lower.as_str())
}

#[cfg(test)]
mod tests {
    use super::*;

    #[test]
    fn classifies_top_level_lines() {
        let text = "a: 1\n  b: 2\n- c: 3\n'd': '5' # q\ne: x#y\nf:\nurl: http://h:80\n";
        let got = top_level(text);
        let want = [
            ("a", Value::Number("1".into())),
            ("d", Value::Other("a string")),
            ("e", Value::Other("a string")),
            ("f", Value::Other("an empty value or nested block")),
            ("url", Value::Other("a string")),
        ];
        assert_eq!(got.len(), want.len(), "{got:?}");
        for ((k, v), (wk, wv)) in got.iter().zip(want) {
            assert_eq!((k.as_str(), v), (wk, &wv));
        }
    }
}
