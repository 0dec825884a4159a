//! YAML reader for one-document configs: block and flow collections, plain,
//! quoted and block scalars, comments, anchors, aliases and tags, built into
//! the document tree. What it does not read (explicit `? ` keys, `%TAG`
//! directives, tab indentation, multi-line implicit keys) is refused with
//! its line and column instead of being guessed at.

mod scalar;

use std::collections::HashMap;
use std::fmt::Display;

use super::value::{self, Node};

/// Collections nested deeper than this are refused; the reader recurses
/// once per level, so this also bounds its stack.
const MAX_DEPTH: usize = 128;
/// Each alias copies its anchored tree; a few lines of nested aliases could
/// otherwise ask for billions of nodes.
const MAX_ALIAS_NODES: usize = 1_000_000;

pub(super) fn parse(text: &str) -> Result<Node, String> {
    let text = text.strip_prefix('\u{feff}').unwrap_or(text);
    // The reader treats "\r" only as the first half of "\r\n".
    if let Some(i) = text.as_bytes().windows(2).position(|w| w[0] == b'\r' && w[1] != b'\n') {
        let line = text.as_bytes()[..i].iter().filter(|&&c| c == b'\n').count() + 1;
        return Err(format!("line {line}: a line break of a lone carriage return is not supported"));
    }
    if text.ends_with('\r') {
        return Err("a line break of a lone carriage return is not supported".into());
    }
    let mut p = Parser {
        text,
        b: text.as_bytes(),
        pos: 0,
        anchors: HashMap::new(),
        depth: 0,
        alias_nodes: 0,
        adjacent_colon: usize::MAX,
    };
    p.document()
}

/// Where a node stands: block nodes end by indentation (the column of the
/// enclosing collection), flow nodes by indicators.
#[derive(Clone, Copy, PartialEq)]
enum Ctx {
    Block(isize),
    Flow,
}

/// Anchor and tag written before a node.
#[derive(Default)]
struct Props {
    anchor: Option<String>,
    tag: Option<String>,
}

impl Props {
    fn is_empty(&self) -> bool {
        self.anchor.is_none() && self.tag.is_none()
    }
}

struct Parser<'a> {
    text: &'a str,
    b: &'a [u8],
    pos: usize,
    /// Each anchored node with its nesting depth.
    anchors: HashMap<String, (Node, usize)>,
    depth: usize,
    alias_nodes: usize,
    /// Just after a quoted scalar or flow collection in flow context, where
    /// a ':' needs no blank after it (JSON-style `{"a":1}`).
    adjacent_colon: usize,
}

impl<'a> Parser<'a> {
    fn peek(&self) -> Option<u8> {
        self.b.get(self.pos).copied()
    }

    fn peek_at(&self, k: usize) -> Option<u8> {
        self.b.get(self.pos + k).copied()
    }

    fn blank_at(&self, k: usize) -> bool {
        matches!(self.peek_at(k), None | Some(b' ' | b'\t' | b'\n' | b'\r'))
    }

    fn line_start(&self, pos: usize) -> usize {
        self.b[..pos].iter().rposition(|&c| c == b'\n').map_or(0, |i| i + 1)
    }

    fn col(&self) -> usize {
        self.pos - self.line_start(self.pos)
    }

    fn error(&self, what: impl Display) -> String {
        self.error_at(self.pos, what)
    }

    fn error_at(&self, at: usize, what: impl Display) -> String {
        let line = self.b[..at].iter().filter(|&&c| c == b'\n').count() + 1;
        // Characters, not bytes: count every byte that does not continue a UTF-8 sequence.
        let column = self.b[self.line_start(at)..at].iter().filter(|&&c| c & 0xC0 != 0x80).count() + 1;
        format!("line {line} column {column}: {what}")
    }

    fn skip_inline(&mut self) {
        while matches!(self.peek(), Some(b' ' | b'\t')) {
            self.pos += 1;
        }
    }

    /// Called only between tokens, where a '#' always starts a comment (even
    /// right after a closing quote); inside a plain scalar only " #" does.
    fn at_comment(&self) -> bool {
        self.peek() == Some(b'#')
    }

    fn skip_to_eol(&mut self) {
        while !matches!(self.peek(), None | Some(b'\n')) {
            self.pos += 1;
        }
    }

    /// Skips blanks, comments and line breaks; true if a line break was crossed.
    fn skip_blank(&mut self) -> bool {
        let mut crossed = false;
        loop {
            self.skip_inline();
            if self.at_comment() {
                self.skip_to_eol();
            }
            match self.peek() {
                Some(b'\n') => crossed = true,
                Some(b'\r') => {}
                _ => return crossed,
            }
            self.pos += 1;
        }
    }

    /// After a node in block context only a comment may follow on its line.
    fn end_of_line(&mut self) -> Result<(), String> {
        self.skip_inline();
        if self.at_comment() {
            self.skip_to_eol();
        }
        match self.peek() {
            None | Some(b'\n' | b'\r') => Ok(()),
            Some(_) => Err(self.error("unexpected text after the value")),
        }
    }

    fn at_marker(&self, marker: &str) -> bool {
        self.col() == 0 && self.b[self.pos..].starts_with(marker.as_bytes()) && self.blank_at(3)
    }

    fn at_dash(&self) -> bool {
        self.dash_at(self.pos)
    }

    fn dash_at(&self, p: usize) -> bool {
        self.b.get(p) == Some(&b'-') && matches!(self.b.get(p + 1), None | Some(b' ' | b'\t' | b'\n' | b'\r'))
    }

    fn check_indent(&self) -> Result<(), String> {
        let start = self.line_start(self.pos);
        match self.b[start..self.pos].iter().position(|&c| c == b'\t') {
            Some(i) => Err(self.error_at(start + i, "tabs are not allowed as indentation")),
            None => Ok(()),
        }
    }

    /// Column and position of the next content on a later line, without
    /// moving; None at the end of the document.
    fn peek_line(&mut self) -> Result<Option<(usize, usize)>, String> {
        let save = self.pos;
        self.skip_blank();
        let found = if self.peek().is_none() || self.at_marker("---") || self.at_marker("...") {
            None
        } else {
            self.check_indent()?;
            Some((self.col(), self.pos))
        };
        self.pos = save;
        Ok(found)
    }

    fn document(&mut self) -> Result<Node, String> {
        self.directives()?;
        if self.at_marker("---") {
            self.pos += 3;
        }
        let node = self.block_node(-1, false)?;
        self.end_of_line()?;
        self.skip_blank();
        while self.at_marker("...") {
            self.pos += 3;
            self.end_of_line()?;
            self.skip_blank();
        }
        if self.peek().is_none() {
            Ok(node)
        } else if self.at_marker("---") || self.peek() == Some(b'%') {
            Err(self.error("a second document; a config holds exactly one"))
        } else {
            Err(self.error("unexpected text after the document"))
        }
    }

    /// `%YAML` is harmless; `%TAG` would change what tags mean, so it is refused.
    fn directives(&mut self) -> Result<(), String> {
        loop {
            self.skip_blank();
            if self.peek() != Some(b'%') {
                return Ok(());
            }
            if !self.b[self.pos..].starts_with(b"%YAML") {
                let end = self.b[self.pos..].iter().position(|c| c.is_ascii_whitespace());
                let name = &self.text[self.pos..self.pos + end.unwrap_or(self.b.len() - self.pos)];
                return Err(self.error(format!("the {name} directive is not supported")));
            }
            self.skip_to_eol();
        }
    }

    fn enter(&mut self, at: usize) -> Result<(), String> {
        self.depth += 1;
        if self.depth > MAX_DEPTH {
            return Err(self.error_at(at, format!("collections nested deeper than {MAX_DEPTH} levels")));
        }
        Ok(())
    }

    /// A node in block context whose parent collection stands at column
    /// `parent`; a mapping value may be a sequence at the parent's column.
    fn block_node(&mut self, parent: isize, seq_at_parent: bool) -> Result<Node, String> {
        let newline = match self.next_content(parent, seq_at_parent)? {
            Some(newline) => newline,
            None => return Ok(Node::Null),
        };
        // A block collection may follow a sequence dash on its line, but not
        // the ':' of a mapping entry.
        let nested = newline || !seq_at_parent;
        let (at, col) = (self.pos, self.col());
        let props = self.properties()?;
        if props.is_empty() {
            return self.block_body(parent, col, Props::default(), false, nested);
        }
        match self.next_content(parent, seq_at_parent)? {
            // On the same line the properties belong to the first node, maybe a key.
            Some(false) => self.block_body(parent, col, props, true, nested),
            Some(true) => self.block_body(parent, self.col(), props, false, true),
            None => self.scalar(String::new(), true, props, at),
        }
    }

    /// Moves to the next content if it belongs to a node under `parent`;
    /// Some(true) if that content starts a later line.
    fn next_content(&mut self, parent: isize, seq_at_parent: bool) -> Result<Option<bool>, String> {
        let save = self.pos;
        let newline = self.skip_blank();
        let ended = self.peek().is_none() || self.at_marker("---") || self.at_marker("...");
        let col = self.col() as isize;
        let inside = !newline || col > parent || (col == parent && seq_at_parent && self.at_dash());
        if ended || !inside {
            self.pos = save;
            return Ok(None);
        }
        if newline {
            self.check_indent()?;
        }
        Ok(Some(newline))
    }

    /// The node at the current position, which may turn out to be the first
    /// key of a block mapping standing at column `col`. `props_inline` says
    /// the properties stand on the same line, so they belong to such a key;
    /// `nested` says a block collection may start here.
    fn block_body(
        &mut self,
        parent: isize,
        col: usize,
        props: Props,
        props_inline: bool,
        nested: bool,
    ) -> Result<Node, String> {
        let misplaced = "a block collection cannot start on the line of its key";
        if self.at_dash() && (!nested || props_inline) {
            return Err(self.error(misplaced));
        }
        if self.at_dash() {
            let seq = self.block_seq(col)?;
            return self.collection(seq, props);
        }
        if self.peek() == Some(b'?') && self.blank_at(1) {
            return Err(self.error("explicit keys ('? ') are not supported; write `key: value`"));
        }
        if matches!(self.peek(), Some(b'|' | b'>')) {
            return self.block_scalar(parent, props);
        }
        let (key_props, node_props) = if props_inline {
            (props, Props::default())
        } else {
            (self.properties()?, props)
        };
        let start = self.pos;
        let has_key_props = !key_props.is_empty();
        let first = self.inline_node(key_props, Ctx::Block(parent))?;
        self.skip_inline();
        if self.peek() == Some(b':') && self.blank_at(1) {
            if self.line_start(start) != self.line_start(self.pos) {
                return Err(self.error_at(start, "a key must be on one line"));
            }
            if !nested {
                return Err(self.error_at(start, misplaced));
            }
            let map = self.block_map(col, first, start)?;
            return self.collection(map, node_props);
        }
        if node_props.is_empty() {
            return Ok(first);
        }
        if has_key_props {
            return Err(self.error_at(start, "a node has properties on two lines"));
        }
        // Properties on an earlier line belong to this scalar: read it again with them.
        self.pos = start;
        self.inline_node(node_props, Ctx::Block(parent))
    }

    /// A block mapping at column `m`, positioned at the ':' after its first key.
    fn block_map(&mut self, m: usize, first: Node, first_at: usize) -> Result<Node, String> {
        self.enter(first_at)?;
        let mut entries = Vec::new();
        let (mut key, mut at) = (first, first_at);
        loop {
            self.pos += 1;
            let value = self.block_node(m as isize, true)?;
            self.end_of_line()?;
            self.insert(&mut entries, key, value, at)?;
            match self.peek_line()? {
                Some((c, p)) if c == m => self.pos = p,
                Some((c, p)) if c > m => return Err(self.error_at(p, "wrong indentation for a mapping entry")),
                _ => break,
            }
            at = self.pos;
            if self.at_dash() {
                return Err(self.error("a sequence entry where a mapping key belongs"));
            }
            if self.peek() == Some(b'?') && self.blank_at(1) {
                return Err(self.error("explicit keys ('? ') are not supported; write `key: value`"));
            }
            let props = self.properties()?;
            key = self.inline_node(props, Ctx::Block(m as isize))?;
            self.skip_inline();
            if !(self.peek() == Some(b':') && self.blank_at(1)) {
                return Err(self.error("expected ': ' after a mapping key"));
            }
            if self.line_start(at) != self.line_start(self.pos) {
                return Err(self.error_at(at, "a key must be on one line"));
            }
        }
        self.depth -= 1;
        Ok(Node::Map(entries))
    }

    /// A block sequence whose dashes stand at column `m`.
    fn block_seq(&mut self, m: usize) -> Result<Node, String> {
        self.enter(self.pos)?;
        let mut items = Vec::new();
        loop {
            self.pos += 1;
            items.push(self.block_node(m as isize, false)?);
            self.end_of_line()?;
            match self.peek_line()? {
                Some((c, p)) if c > m => return Err(self.error_at(p, "wrong indentation for a sequence entry")),
                Some((c, p)) if c == m && self.dash_at(p) => self.pos = p,
                _ => break,
            }
        }
        self.depth -= 1;
        Ok(Node::Seq(items))
    }

    fn insert(&self, entries: &mut Vec<(Node, Node)>, key: Node, value: Node, at: usize) -> Result<(), String> {
        if entries.iter().any(|(k, _)| *k == key) {
            return Err(self.error_at(at, format!("duplicate key {}", key.key_text())));
        }
        entries.push((key, value));
        Ok(())
    }

    /// A node that is not a block collection: alias, flow collection, or a
    /// quoted or plain scalar.
    fn inline_node(&mut self, props: Props, ctx: Ctx) -> Result<Node, String> {
        let at = self.pos;
        match self.peek() {
            Some(b'*') if props.is_empty() => self.alias(),
            Some(b'*') => Err(self.error("an alias cannot carry an anchor or tag")),
            Some(b'[') => {
                let seq = self.flow_seq()?;
                self.collection(seq, props)
            }
            Some(b'{') => {
                let map = self.flow_map()?;
                self.collection(map, props)
            }
            Some(b'"') => {
                let text = self.double_quoted()?;
                self.scalar(text, false, props, at)
            }
            Some(b'\'') => {
                let text = self.single_quoted()?;
                self.scalar(text, false, props, at)
            }
            None => self.scalar(String::new(), true, props, at),
            Some(_) if self.plain_starts(ctx) => {
                let text = self.plain(ctx)?;
                self.scalar(text, true, props, at)
            }
            Some(c) => Err(self.error(format!("unexpected {:?}", c as char))),
        }
    }

    fn scalar(&mut self, text: String, plain: bool, props: Props, at: usize) -> Result<Node, String> {
        let node = match &props.tag {
            Some(tag) => value::resolve_tagged(&text, plain, tag).map_err(|e| self.error_at(at, e))?,
            None if plain => value::resolve_plain(&text),
            None => Node::Str(text),
        };
        self.bind(props.anchor, &node);
        Ok(node)
    }

    /// Standard and global tags leave a collection as it is; a local tag wraps it.
    fn collection(&mut self, node: Node, props: Props) -> Result<Node, String> {
        let node = match props.tag {
            Some(tag) if tag.starts_with('!') => Node::Tagged(tag, Box::new(node)),
            _ => node,
        };
        self.bind(props.anchor, &node);
        Ok(node)
    }

    /// A later anchor of the same name rebinds it for the aliases after it.
    fn bind(&mut self, anchor: Option<String>, node: &Node) {
        if let Some(name) = anchor {
            self.anchors.insert(name, (node.clone(), node.depth()));
        }
    }

    fn alias(&mut self) -> Result<Node, String> {
        let at = self.pos;
        self.pos += 1;
        let name = self.name("alias")?;
        let (node, depth) = match self.anchors.get(&name) {
            Some((node, depth)) => (node.clone(), *depth),
            None => return Err(self.error_at(at, format!("unknown anchor *{name}"))),
        };
        // A copied tree nests where the alias stands; chained anchors could
        // otherwise build a tree deep enough to overflow the stack.
        if self.depth + depth > MAX_DEPTH {
            return Err(self.error_at(at, format!("collections nested deeper than {MAX_DEPTH} levels")));
        }
        self.alias_nodes += node.size();
        if self.alias_nodes > MAX_ALIAS_NODES {
            return Err(self.error_at(at, format!("aliases expand to more than {MAX_ALIAS_NODES} values")));
        }
        self.adjacent_colon = self.pos;
        Ok(node)
    }

    /// Anchor and alias names: letters, digits, '-' and '_', as libyaml
    /// reads them.
    fn name(&mut self, what: &str) -> Result<String, String> {
        let start = self.pos;
        while matches!(self.peek(), Some(c) if c.is_ascii_alphanumeric() || c == b'-' || c == b'_') {
            self.pos += 1;
        }
        if start == self.pos {
            return Err(self.error(format!("{what} without a name")));
        }
        if !self.blank_at(0) && !matches!(self.peek(), Some(b'?' | b':' | b',' | b']' | b'}' | b'%' | b'@' | b'`')) {
            return Err(self.error(format!("unexpected character in an {what} name")));
        }
        Ok(self.text[start..self.pos].to_owned())
    }

    /// Tag text: the characters of a URI, up to a blank or a flow separator.
    fn tag_text(&mut self) -> Result<&'a str, String> {
        let text = self.text;
        let start = self.pos;
        while matches!(self.peek(), Some(c) if c.is_ascii_alphanumeric() || b"-;/?:@&=+$_.~*'()!%#".contains(&c)) {
            self.pos += 1;
        }
        if !self.blank_at(0) && !matches!(self.peek(), Some(b',' | b']' | b'}')) {
            return Err(self.error("unexpected character in a tag"));
        }
        Ok(&text[start..self.pos])
    }

    fn properties(&mut self) -> Result<Props, String> {
        let mut props = Props::default();
        loop {
            match self.peek() {
                Some(b'&') if props.anchor.is_none() => {
                    self.pos += 1;
                    props.anchor = Some(self.name("anchor")?);
                }
                Some(b'!') if props.tag.is_none() => props.tag = Some(self.tag()?),
                _ => return Ok(props),
            }
            self.skip_inline();
        }
    }

    /// `!!name` is a standard tag, `!name` a local one, `!<uri>` verbatim.
    fn tag(&mut self) -> Result<String, String> {
        let at = self.pos;
        if self.b[self.pos..].starts_with(b"!<") {
            let end = self.b[self.pos..].iter().position(|&c| c == b'>' || c == b'\n');
            return match end.map(|e| self.pos + e).filter(|&e| self.b[e] == b'>') {
                Some(e) if e > self.pos + 2 => {
                    let tag = self.text[self.pos + 2..e].to_owned();
                    self.pos = e + 1;
                    Ok(tag)
                }
                _ => Err(self.error("malformed verbatim tag")),
            };
        }
        let text = self.tag_text()?;
        if text == "!" || text == "!!" {
            return Err(self.error_at(at, "empty YAML tag is not allowed"));
        }
        if let Some(suffix) = text.strip_prefix("!!") {
            return Ok(format!("{}{suffix}", value::CORE_TAG));
        }
        if text[1..].contains('!') {
            return Err(self.error_at(at, format!("tag handle in {text} is not defined")));
        }
        Ok(text.to_owned())
    }

    fn flow_blank(&mut self) {
        loop {
            self.skip_inline();
            if self.at_comment() {
                self.skip_to_eol();
            }
            if !matches!(self.peek(), Some(b'\n' | b'\r')) {
                return;
            }
            self.pos += 1;
        }
    }

    fn at_flow_colon(&self) -> bool {
        self.peek() == Some(b':')
            && (self.blank_at(1)
                || matches!(self.peek_at(1), Some(b',' | b'[' | b']' | b'{' | b'}'))
                || self.pos == self.adjacent_colon)
    }

    fn flow_seq(&mut self) -> Result<Node, String> {
        let at = self.pos;
        self.enter(at)?;
        self.pos += 1;
        let mut items = Vec::new();
        while !self.flow_closed(b']', at)? {
            let key_at = self.pos;
            let node = self.flow_node()?;
            self.flow_blank();
            // `[a: 1]` holds a one-entry mapping.
            if self.at_flow_colon() {
                self.pos += 1;
                let value = self.flow_value()?;
                let mut entry = Vec::new();
                self.insert(&mut entry, node, value, key_at)?;
                items.push(Node::Map(entry));
            } else {
                items.push(node);
            }
            self.flow_separator(b']')?;
        }
        self.depth -= 1;
        Ok(Node::Seq(items))
    }

    fn flow_map(&mut self) -> Result<Node, String> {
        let at = self.pos;
        self.enter(at)?;
        self.pos += 1;
        let mut entries = Vec::new();
        while !self.flow_closed(b'}', at)? {
            let key_at = self.pos;
            let key = self.flow_node()?;
            self.flow_blank();
            let value = if self.at_flow_colon() {
                self.pos += 1;
                self.flow_value()?
            } else {
                Node::Null
            };
            self.insert(&mut entries, key, value, key_at)?;
            self.flow_separator(b'}')?;
        }
        self.depth -= 1;
        Ok(Node::Map(entries))
    }

    /// Skips to the next entry; true (and past it) at the closing bracket.
    fn flow_closed(&mut self, close: u8, open_at: usize) -> Result<bool, String> {
        self.flow_blank();
        match self.peek() {
            Some(c) if c == close => {
                self.pos += 1;
                self.adjacent_colon = self.pos;
                Ok(true)
            }
            None => Err(self.error_at(open_at, format!("this flow collection is not closed with {:?}", close as char))),
            Some(_) => Ok(false),
        }
    }

    fn flow_separator(&mut self, close: u8) -> Result<(), String> {
        self.flow_blank();
        match self.peek() {
            Some(b',') => {
                self.pos += 1;
                Ok(())
            }
            Some(c) if c == close => Ok(()),
            None => Ok(()),
            Some(_) => Err(self.error(format!("expected ',' or {:?}", close as char))),
        }
    }

    fn flow_value(&mut self) -> Result<Node, String> {
        self.flow_blank();
        match self.peek() {
            Some(b',' | b']' | b'}') => Ok(Node::Null),
            _ => self.flow_node(),
        }
    }

    fn flow_node(&mut self) -> Result<Node, String> {
        let at = self.pos;
        // Inside brackets a '?' always marks an explicit key.
        if self.peek() == Some(b'?') {
            return Err(self.error("explicit keys ('? ') are not supported; write `key: value`"));
        }
        let props = self.properties()?;
        self.flow_blank();
        let empty = matches!(self.peek(), None | Some(b',' | b']' | b'}')) || self.at_flow_colon();
        if empty && !props.is_empty() {
            return self.scalar(String::new(), true, props, at);
        }
        self.inline_node(props, Ctx::Flow)
    }
}

#[cfg(test)]
mod tests {
    use super::*;
    use Node::*;

    fn s(text: &str) -> Node {
        Str(text.to_owned())
    }

    fn map(entries: &[(Node, Node)]) -> Node {
        Map(entries.to_vec())
    }

    #[test]
    fn builds_the_document_tree() {
        let cases = [
            ("a:\n  b: 1\n  c:\n    - x\n    - y: 2\n      z: ~\nd: e",
             map(&[(s("a"), map(&[(s("b"), Int(1)), (s("c"), Seq(vec![s("x"), map(&[(s("y"), Int(2)), (s("z"), Null)])]))])),
                   (s("d"), s("e"))])),
            ("a:\n- 1\n- - 2\n  - 3\nb:\n", map(&[(s("a"), Seq(vec![Int(1), Seq(vec![Int(2), Int(3)])])), (s("b"), Null)])),
            ("a: x  y\n  z\n\n  w # c\nb: -1", map(&[(s("a"), s("x  y z\nw")), (s("b"), Int(-1))])),
            ("a: 'it''s\n  folded'\nb: \"\\t\\u00e9\\\n   x\"", map(&[(s("a"), s("it's folded")), (s("b"), s("\téx"))])),
            ("a: |\n  one\n   two\n\nb: >-\n  one\n  two\n\n  three\n", map(&[(s("a"), s("one\n two\n")), (s("b"), s("one two\nthree"))])),
            ("a: |+\n  x\n\n", map(&[(s("a"), s("x\n\n"))])),
            ("[a, 'b', [c], {d: e}, f: g, {h}, ]", Seq(vec![s("a"), s("b"), Seq(vec![s("c")]), map(&[(s("d"), s("e"))]),
                                                      map(&[(s("f"), s("g"))]), map(&[(s("h"), Null)])])),
            ("{a:1, b: c d, \"e\":2, 'f' : [ ], g: }", map(&[(s("a:1"), Null), (s("b"), s("c d")), (s("e"), Int(2)),
                                                           (s("f"), Seq(vec![])), (s("g"), Null)])),
            ("a: &x [1, 2]\nb: *x\nc: &x 3\nd: *x", map(&[(s("a"), Seq(vec![Int(1), Int(2)])), (s("b"), Seq(vec![Int(1), Int(2)])),
                                                    (s("c"), Int(3)), (s("d"), Int(3))])),
            ("base: &b {x: 1}\n<<: *b", map(&[(s("base"), map(&[(s("x"), Int(1))])), (s("<<"), map(&[(s("x"), Int(1))]))])),
            ("1: a\n'1': b\n~: c\n", map(&[(Int(1), s("a")), (s("1"), s("b")), (Null, s("c"))])),
            ("&k a: &v b\nc: *k\n*v : d", map(&[(s("a"), s("b")), (s("c"), s("a")), (s("b"), s("d"))])),
            ("!local {a: 1}", Tagged("!local".into(), Box::new(map(&[(s("a"), Int(1))])))),
            ("--- !!str 12\n", s("12")),
            ("url: http://h:80/x#y\nk: a#b", map(&[(s("url"), s("http://h:80/x#y")), (s("k"), s("a#b"))])),
            ("- \"a\" # c\n-\n  b\n-   - c", Seq(vec![s("a"), s("b"), Seq(vec![s("c")])])),
            ("plain\n text\n", s("plain text")),
        ];
        for (text, want) in cases {
            assert_eq!(parse(text), Ok(want), "{text:?}");
        }
    }

    #[test]
    fn refuses_with_line_and_column() {
        let deep_ok = format!("{}{}", "[".repeat(128), "]".repeat(128));
        assert!(parse(&deep_ok).is_ok());
        let too_deep = format!("{}{}", "[".repeat(129), "]".repeat(129));
        let block_deep: String = (0..129).map(|i| format!("{}k:\n", " ".repeat(i))).collect();
        let mut chain = String::from("a: &a0 [x]\n");
        for i in 1..129 {
            chain += &format!("a{i}: &a{i} [*a{}]\n", i - 1);
        }
        let mut bomb = String::from("a: &a0 [x, x]\n");
        for i in 1..21 {
            bomb += &format!("a{i}: &a{i} [*a{}, *a{}]\n", i - 1, i - 1);
        }
        let cases = [
            (too_deep.as_str(), "line 1 column 129: collections nested deeper than 128 levels"),
            (block_deep.as_str(), "line 129 column 129: collections nested deeper than 128 levels"),
            (bomb.as_str(), "aliases expand to more than"),
            (chain.as_str(), "line 128 column 14: collections nested deeper than 128 levels"),
            ("a: *b\nb: &b 1", "line 1 column 4: unknown anchor *b"),
            ("a: &a [*a]", "unknown anchor *a"),
            ("a: 1\n---\n", "line 2 column 1: a second document"),
            ("a: 1\n--- [\n", "a second document"),
            ("a: 1\n...\n%YAML 1.2\n---\nb: 2", "a second document"),
            ("a:\n\tb: 1", "line 2 column 1: tabs are not allowed as indentation"),
            ("a: 1\n  b: 2", "line 1 column 4: a key must be on one line"),
            ("a:\n    b: 1\n  c: 2", "line 3 column 3: wrong indentation for a mapping entry"),
            ("a:\n  - x\n - y", "line 3 column 2: wrong indentation for a mapping entry"),
            ("- a\n  # c\n   - b", "line 3 column 4: wrong indentation for a sequence entry"),
            ("a: b: c", "line 1 column 4: a block collection cannot start on the line of its key"),
            ("a: - b", "line 1 column 4: a block collection cannot start on the line of its key"),
            ("a: 1\n- b", "line 2 column 1: a sequence entry where a mapping key belongs"),
            ("a: 1\nb", "line 2 column 2: expected ': ' after a mapping key"),
            ("\"a\n b\": 1", "line 1 column 1: a key must be on one line"),
            ("a: 'x", "line 1 column 4: unterminated quoted scalar"),
            ("a: \"\\q\"", "line 1 column 5: unknown escape"),
            ("a: \"\\x4\"", "invalid escape"),
            ("[a, b", "line 1 column 1: this flow collection is not closed with ']'"),
            ("{a: 1 b: 2}", "expected ',' or '}'"),
            ("{? a: 1}", "explicit keys"),
            ("[a, , b]", "line 1 column 5: unexpected ','"),
            ("a: @x", "unexpected '@'"),
            ("a: !e!x 1", "tag handle in !e!x is not defined"),
            ("{a: 1, a: 2}", "line 1 column 8: duplicate key \"a\""),
            ("~: 1\nnull: 2", "duplicate key null"),
            ("a: |x\n  b", "unexpected text in a block scalar header"),
            ("a: &\n", "anchor without a name"),
        ];
        for (text, want) in cases {
            let err = parse(text).expect_err(text);
            assert!(err.contains(want), "{text:?}: got {err:?}, want {want:?}");
        }
    }
}
