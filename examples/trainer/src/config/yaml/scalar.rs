//! Scalar text of the YAML reader: plain scalars with line folding, single-
//! and double-quoted scalars with their escapes, and literal and folded
//! block scalars.

use super::{Ctx, Node, Parser, Props};

fn flow_indicator(c: Option<u8>) -> bool {
    matches!(c, Some(b',' | b'[' | b']' | b'{' | b'}'))
}

/// Line breaks inside a scalar: one becomes a space, each further one a newline.
fn fold(out: &mut String, breaks: usize) {
    if breaks == 1 {
        out.push(' ');
    } else {
        out.push_str(&"\n".repeat(breaks.saturating_sub(1)));
    }
}

impl Parser<'_> {
    /// Indicator characters cannot start a plain scalar, except "-", "?" and
    /// ":" directly followed by text ("-5", ":x").
    pub(super) fn plain_starts(&self, ctx: Ctx) -> bool {
        match self.peek() {
            None => false,
            Some(b'-' | b'?' | b':') => !(self.blank_at(1) || (ctx == Ctx::Flow && flow_indicator(self.peek_at(1)))),
            Some(c) => !b",[]{}#&*!|>'\"%@`".contains(&c),
        }
    }

    /// A plain scalar; it goes on over following lines that stand deeper
    /// than its parent (any line, inside a flow collection).
    pub(super) fn plain(&mut self, ctx: Ctx) -> Result<String, String> {
        let mut text = self.plain_line(ctx).to_owned();
        loop {
            let save = self.pos;
            self.skip_inline();
            if !matches!(self.peek(), Some(b'\n' | b'\r')) {
                self.pos = save;
                return Ok(text);
            }
            let mut breaks = 0;
            while matches!(self.peek(), Some(b'\n' | b'\r' | b' ' | b'\t')) {
                breaks += usize::from(self.peek() == Some(b'\n'));
                self.pos += 1;
            }
            let ends = match ctx {
                _ if self.peek().is_none() || self.at_comment() => true,
                _ if self.at_marker("---") || self.at_marker("...") => true,
                Ctx::Block(parent) => self.col() as isize <= parent,
                Ctx::Flow => flow_indicator(self.peek()) || (self.peek() == Some(b':') && self.blank_at(1)),
            };
            if ends {
                self.pos = save;
                return Ok(text);
            }
            if let Ctx::Block(parent) = ctx {
                // Tabs may separate, but not stand where the indentation is.
                let start = self.line_start(self.pos);
                let indent = &self.b[start..(start + (parent + 1).max(0) as usize).min(self.pos)];
                if let Some(i) = indent.iter().position(|&c| c == b'\t') {
                    return Err(self.error_at(start + i, "tabs are not allowed as indentation"));
                }
            }
            fold(&mut text, breaks);
            text.push_str(self.plain_line(ctx));
        }
    }

    /// One line of a plain scalar, without trailing blanks; stops before
    /// ": ", " #", a line break, and in flow context a flow indicator.
    fn plain_line(&mut self, ctx: Ctx) -> &'_ str {
        let text = self.text;
        let (start, mut end) = (self.pos, self.pos);
        while let Some(c) = self.peek() {
            let stop = match c {
                b'\n' | b'\r' => true,
                b':' => self.blank_at(1) || (ctx == Ctx::Flow && flow_indicator(self.peek_at(1))),
                b'#' => self.pos > start && matches!(self.b[self.pos - 1], b' ' | b'\t'),
                _ => ctx == Ctx::Flow && flow_indicator(Some(c)),
            };
            if stop {
                break;
            }
            self.pos += 1;
            if !matches!(c, b' ' | b'\t') {
                end = self.pos;
            }
        }
        &text[start..end]
    }

    pub(super) fn single_quoted(&mut self) -> Result<String, String> {
        let at = self.pos;
        self.pos += 1;
        let mut out = String::new();
        loop {
            match self.peek() {
                None => return Err(self.error_at(at, "unterminated quoted scalar")),
                Some(b'\'') if self.peek_at(1) == Some(b'\'') => {
                    out.push('\'');
                    self.pos += 2;
                }
                Some(b'\'') => break,
                Some(b' ' | b'\t' | b'\n' | b'\r') => self.quoted_space(&mut out),
                Some(_) => self.push_char(&mut out),
            }
        }
        self.pos += 1;
        self.adjacent_colon = self.pos;
        Ok(out)
    }

    pub(super) fn double_quoted(&mut self) -> Result<String, String> {
        let at = self.pos;
        self.pos += 1;
        let mut out = String::new();
        loop {
            match self.peek() {
                None => return Err(self.error_at(at, "unterminated quoted scalar")),
                Some(b'"') => break,
                Some(b'\\') if matches!(self.peek_at(1), Some(b'\n' | b'\r')) => {
                    // An escaped line break joins the lines without a space.
                    self.pos += 1;
                    while matches!(self.peek(), Some(b'\n' | b'\r' | b' ' | b'\t')) {
                        self.pos += 1;
                    }
                }
                Some(b'\\') => {
                    self.pos += 1;
                    let c = self.escape()?;
                    out.push(c);
                }
                Some(b' ' | b'\t' | b'\n' | b'\r') => self.quoted_space(&mut out),
                Some(_) => self.push_char(&mut out),
            }
        }
        self.pos += 1;
        self.adjacent_colon = self.pos;
        Ok(out)
    }

    fn push_char(&mut self, out: &mut String) {
        let c = self.text[self.pos..].chars().next().unwrap_or('\u{fffd}');
        out.push(c);
        self.pos += c.len_utf8();
    }

    /// Blanks inside quotes stay within a line; across line breaks the
    /// trailing and leading blanks go and the breaks are folded.
    fn quoted_space(&mut self, out: &mut String) {
        let start = self.pos;
        self.skip_inline();
        if !matches!(self.peek(), Some(b'\n' | b'\r')) {
            out.push_str(&self.text[start..self.pos]);
            return;
        }
        let mut breaks = 0;
        while matches!(self.peek(), Some(b'\n' | b'\r' | b' ' | b'\t')) {
            breaks += usize::from(self.peek() == Some(b'\n'));
            self.pos += 1;
        }
        fold(out, breaks);
    }

    /// The character after a backslash, which has been consumed.
    fn escape(&mut self) -> Result<char, String> {
        let at = self.pos - 1;
        let c = self.peek().ok_or_else(|| self.error_at(at, "unterminated escape"))?;
        self.pos += 1;
        let simple = match c {
            b'0' => '\0',
            b'a' => '\u{7}',
            b'b' => '\u{8}',
            b't' | b'\t' => '\t',
            b'n' => '\n',
            b'v' => '\u{b}',
            b'f' => '\u{c}',
            b'r' => '\r',
            b'e' => '\u{1b}',
            b' ' => ' ',
            b'"' => '"',
            b'/' => '/',
            b'\\' => '\\',
            b'N' => '\u{85}',
            b'_' => '\u{a0}',
            b'L' => '\u{2028}',
            b'P' => '\u{2029}',
            b'x' => return self.hex_escape(2, at),
            b'u' => return self.hex_escape(4, at),
            b'U' => return self.hex_escape(8, at),
            _ => return Err(self.error_at(at, "unknown escape in a double-quoted scalar")),
        };
        Ok(simple)
    }

    fn hex_escape(&mut self, digits: usize, at: usize) -> Result<char, String> {
        let hex = self.b.get(self.pos..self.pos + digits).filter(|h| h.iter().all(u8::is_ascii_hexdigit));
        let code = hex.and_then(|h| u32::from_str_radix(std::str::from_utf8(h).ok()?, 16).ok());
        let c = code.and_then(char::from_u32).ok_or_else(|| self.error_at(at, "invalid escape"))?;
        self.pos += digits;
        Ok(c)
    }

    /// A literal (`|`) or folded (`>`) block scalar under a parent at column
    /// `parent`; always a string unless tagged.
    pub(super) fn block_scalar(&mut self, parent: isize, props: Props) -> Result<Node, String> {
        let at = self.pos;
        let folded = self.peek() == Some(b'>');
        self.pos += 1;
        let (mut chomp, mut explicit) = (None, None);
        for _ in 0..2 {
            match self.peek() {
                Some(c @ (b'+' | b'-')) if chomp.is_none() => chomp = Some(c),
                Some(c @ b'1'..=b'9') if explicit.is_none() => explicit = Some(usize::from(c - b'0')),
                _ => break,
            }
            self.pos += 1;
        }
        if !self.blank_at(0) {
            return Err(self.error("unexpected text in a block scalar header"));
        }
        self.end_of_line()?;
        let indent = explicit.map(|d| (parent.max(0) as usize) + d);
        let (lines, trailing) = self.block_lines(parent, indent);
        let body = if folded { fold_lines(&lines) } else { lines.join("\n") };
        // The last line's break counts only if the text has one.
        let last_break = usize::from(!lines.is_empty() && self.pos < self.b.len());
        let text = match chomp {
            Some(b'-') => body,
            Some(_) => body + &"\n".repeat(trailing + last_break),
            None => body + &"\n".repeat(last_break),
        };
        self.scalar(text, false, props, at)
    }

    /// Content lines of a block scalar with the indentation cut, and the
    /// number of blank lines after the last one. Leaves the position at the
    /// end of the last content line.
    fn block_lines(&mut self, parent: isize, mut indent: Option<usize>) -> (Vec<&'_ str>, usize) {
        let text = self.text;
        let (mut lines, mut blanks) = (Vec::new(), 0);
        let mut p = self.pos;
        while p < self.b.len() {
            if self.b[p] == b'\r' {
                p += 1;
                continue;
            }
            let start = p + 1;
            if start == self.b.len() {
                break;
            }
            let end = self.b[start..].iter().position(|&c| c == b'\n').map_or(self.b.len(), |i| start + i);
            let line = text[start..end].trim_end_matches('\r');
            let spaces = line.len() - line.trim_start_matches(' ').len();
            let marker = (line.starts_with("---") || line.starts_with("...")) && line[3..].trim().is_empty();
            if line.trim().is_empty() && !marker {
                blanks += 1;
                p = end;
                continue;
            }
            let cut = *indent.get_or_insert(spaces);
            if marker || spaces as isize <= parent.max(0) || spaces < cut {
                break;
            }
            lines.resize(lines.len() + blanks, "");
            lines.push(&line[cut..]);
            blanks = 0;
            p = end;
            self.pos = end;
        }
        (lines, blanks)
    }
}

/// Folding: a single break between two ordinary lines becomes a space;
/// around blank or more-indented lines the breaks are kept.
fn fold_lines(lines: &[&str]) -> String {
    let mut out = String::new();
    let (mut blanks, mut prev_more) = (0, None);
    for line in lines {
        if line.is_empty() {
            blanks += 1;
            continue;
        }
        let more = line.starts_with([' ', '\t']);
        match prev_more {
            None => out.push_str(&"\n".repeat(blanks)),
            Some(false) if !more && blanks == 0 => out.push(' '),
            Some(false) if !more => out.push_str(&"\n".repeat(blanks)),
            Some(_) => out.push_str(&"\n".repeat(blanks + 1)),
        }
        out.push_str(line);
        blanks = 0;
        prev_more = Some(more);
    }
    out
}

#[cfg(test)]
mod tests {
    use super::super::parse;
    use super::Node;

    /// The string a document `v: ...` gives for its one value.
    fn value_text(doc: &str) -> String {
        match parse(doc) {
            Ok(Node::Map(mut entries)) if entries.len() == 1 => match entries.remove(0).1 {
                Node::Str(s) => s,
                other => panic!("{doc:?}: not a string: {other:?}"),
            },
            other => panic!("{doc:?}: {other:?}"),
        }
    }

    #[test]
    fn scalar_text_is_unescaped_and_folded() {
        let cases = [
            ("v: \"\\x41\\u00e9\\U0001F600\\N\\_\\0\\e\\/\"", "A\u{e9}\u{1F600}\u{85}\u{a0}\0\u{1b}/"),
            ("v: \"a \\\n   b\"", "a b"),
            ("v: \"a\\\n   b\"", "ab"),
            ("v: \"a  \n\n\n   b\"", "a\n\nb"),
            ("v: 'a '' b\n  c'", "a ' b c"),
            ("v: a\n  b\n\n  c", "a b\nc"),
            ("v: |\n  a\n   b\n\n", "a\n b\n"),
            ("v: |-\n  a\n\n", "a"),
            ("v: |+\n  a\n\n", "a\n\n"),
            ("v: |1\n   a\n", "  a\n"),
            ("v: >\n  a\n  b\n\n  c\n   d\n  e\n", "a b\nc\n d\ne\n"),
            ("v: >2-\n   a\n   b\n", " a\n b"),
            ("v: |\n  a\n# a comment ends it\n", "a\n"),
            ("v: |\n  no final break", "no final break"),
            ("v: >\n\n  a\n", "\na\n"),
        ];
        for (doc, want) in cases {
            assert_eq!(value_text(doc), want, "{doc:?}");
        }
    }
}
