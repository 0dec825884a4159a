//! Training settings read from a JSON or YAML file. Both readers build the
//! whole document first; every top-level key must be one of the settings
//! and carry a number of the right kind, so a typo or a misread value stops
//! the run instead of silently training on defaults.

mod json;
mod value;
mod yaml;

use std::fs;
use std::path::Path;

use value::Node;

#[derive(Debug, Clone, PartialEq)]
pub struct Config {
    pub learning_rate: f64,
    pub batch_size: u64,
    pub log_every: u64,
    pub features: usize,
}

impl Default for Config {
    fn default() -> Self {
        Config { learning_rate: 0.1, batch_size: 32, log_every: 10, features: 4 }
    }
}

pub const MAX_FEATURES: u64 = 64;
const KEYS: &str = "learning_rate, batch_size, log_every, features";

#[derive(Debug, Clone, Copy, PartialEq)]
pub enum Format {
    Json,
    Yaml,
}

impl Format {
    /// The same test the Python module applies before it starts us: the end
    /// of the whole path text, byte for byte and case-sensitive.
    pub fn from_path(path: &Path) -> Result<Format, String> {
        use std::os::unix::ffi::OsStrExt;
        let bytes = path.as_os_str().as_bytes();
        if bytes.ends_with(b".json") {
            Ok(Format::Json)
        } else if bytes.ends_with(b".yaml") || bytes.ends_with(b".yml") {
            Ok(Format::Yaml)
        } else {
            Err(format!("config {} must end in .json, .yaml or .yml", path.display()))
        }
    }
}

pub fn load(path: &Path) -> Result<Config, String> {
    let format = Format::from_path(path)?;
    let text = fs::read_to_string(path)
        .map_err(|e| format!("cannot read config {}: {e}", path.display()))?;
    parse(&text, format).map_err(|e| format!("config {}: {e}", path.display()))
}

pub fn parse(text: &str, format: Format) -> Result<Config, String> {
    let doc = match format {
        Format::Json => json::parse(text)?,
        Format::Yaml => yaml::parse(text)?,
    };
    let json = format == Format::Json;
    let entries = match doc {
        Node::Map(entries) => entries,
        // An empty YAML document (or one of comments only) sets nothing.
        Node::Null if !json => Vec::new(),
        other => {
            let want = if json { "an object" } else { "a mapping" };
            return Err(format!("the top level must be {want} of settings, found {}", other.kind(json)));
        }
    };
    let mut cfg = Config::default();
    for (key, value) in &entries {
        let name = match key {
            Node::Str(name) => name.as_str(),
            _ => "",
        };
        match name {
            "learning_rate" => cfg.learning_rate = positive_float(name, value, json)?,
            "batch_size" => cfg.batch_size = int_in_range(name, value, json, 1, u64::MAX)?,
            "log_every" => cfg.log_every = int_in_range(name, value, json, 1, u64::MAX)?,
            "features" => cfg.features = int_in_range(name, value, json, 1, MAX_FEATURES)? as usize,
            "<<" => return Err(format!("unknown key \"<<\": merge keys are not applied (known keys: {KEYS})")),
            _ => return Err(format!("unknown key {} (known keys: {KEYS})", key.key_text())),
        }
    }
    Ok(cfg)
}

fn positive_float(key: &str, value: &Node, json: bool) -> Result<f64, String> {
    let x = match value {
        Node::Int(i) => *i as f64,
        Node::Float(f) => *f,
        other => return Err(format!("{key} must be a number, found {}", other.kind(json))),
    };
    if x.is_finite() && x > 0.0 {
        Ok(x)
    } else {
        Err(format!("{key} must be a finite number > 0, got {x}"))
    }
}

fn int_in_range(key: &str, value: &Node, json: bool, min: u64, max: u64) -> Result<u64, String> {
    let n = match value {
        Node::Int(i) => *i,
        // JSON integers past the 64-bit range arrive as doubles.
        Node::Float(f) if f.fract() == 0.0 && f.abs() > u64::MAX as f64 => {
            return Err(range_error(key, min, max, f))
        }
        Node::Float(f) => return Err(format!("{key} must be an integer, got {f}")),
        other => return Err(format!("{key} must be a number, found {}", other.kind(json))),
    };
    match u64::try_from(n) {
        Ok(n) if (min..=max).contains(&n) => Ok(n),
        _ => Err(range_error(key, min, max, n)),
    }
}

fn range_error(key: &str, min: u64, max: u64, got: impl std::fmt::Display) -> String {
    if max == u64::MAX {
        format!("{key} must be an integer >= {min}, got {got}")
    } else {
        format!("{key} must be an integer from {min} to {max}, got {got}")
    }
}

#[cfg(test)]
mod tests {
    use super::*;

    fn cfg(learning_rate: f64, batch_size: u64, log_every: u64, features: usize) -> Config {
        Config { learning_rate, batch_size, log_every, features }
    }

    #[test]
    fn every_way_of_writing_the_settings_reads_the_same() {
        use Format::{Json, Yaml};
        let want = cfg(0.5, 8, 3, 3);
        let cases = [
            (Yaml, "learning_rate: 0.5\nbatch_size: 8\nlog_every: 3\nfeatures: 3\n"),
            (Yaml, "{learning_rate: 0.5, batch_size: 8, log_every: 3, features: 3}"),
            (Yaml, "{\n  learning_rate: 0.5,  # tuned\n  batch_size: 8,\n  log_every: 3, features: 3,\n}\n"),
            (Yaml, r#"{"learning_rate":0.5,"batch_size":8,"log_every":3,"features":3}"#),
            (Yaml, "--- {learning_rate: 0.5, batch_size: 8, log_every: 3, features: 3}\n...\n"),
            (Yaml, "'learning_rate': 0.5\n\"batch_size\": 8\n\"log_\\x65very\": 3\nfeatures: 3"),
            (Yaml, "%YAML 1.2\n# c\n--- # start\nlearning_rate: 0.5 # c\n\n  # indented\nbatch_size: 8\n\
                    log_every: 3\nfeatures: 3\n...\n# after\n"),
            (Yaml, "learning_rate: &lr 0.5\nbatch_size: &n 8\nlog_every: &three 3\nfeatures: *three\n"),
            (Yaml, "&all {learning_rate: &lr 0.5, batch_size: 8, log_every: 3, features: 3}"),
            (Yaml, "learning_rate: !!float 0.5\nbatch_size: !!int 0x8\nlog_every: !!int 3\nfeatures: 3\n"),
            (Yaml, "learning_rate: !!float\n  0.5\nbatch_size:\n  8\nlog_every: 3\nfeatures: 3\n"),
            (Yaml, "learning_rate: 5e-1\nbatch_size: 0b1000\nlog_every: +3\nfeatures: 0o3\n"),
            (Yaml, "\u{feff}learning_rate: 0.5\r\nbatch_size: 8\r\nlog_every: 3\r\nfeatures: 3\r\n"),
            (Json, r#"{"learning_rate": 0.5, "batch_size": 8, "log_every": 3, "features": 3}"#),
            (Json, r#"{"batch_size": 0, "learning\u005frate": 5e-1, "log_every": 3, "features": 3, "batch_size": 8}"#),
        ];
        for (format, text) in cases {
            assert_eq!(parse(text, format), Ok(want.clone()), "{text:?}");
        }
        // An integer learning rate is a number like any other.
        assert_eq!(parse("learning_rate: 1", Yaml), Ok(cfg(1.0, 32, 10, 4)));
    }

    #[test]
    fn absent_settings_take_defaults() {
        use Format::{Json, Yaml};
        for (format, text) in [(Json, " {} "), (Yaml, ""), (Yaml, "# nothing yet\n"), (Yaml, "---\n"),
                               (Yaml, "{}"), (Yaml, "features: 3\n")] {
            let want = if text.contains("features") { cfg(0.1, 32, 10, 3) } else { Config::default() };
            assert_eq!(parse(text, format), Ok(want), "{text:?}");
        }
    }

    #[test]
    fn refuses_naming_the_key_or_construct() {
        use Format::{Json, Yaml};
        let cases = [
            (Yaml, "learning_rat: 0.5\nfeatures: 3\n", "unknown key \"learning_rat\" (known keys: learning_rate,"),
            (Yaml, "{learning_rate: 0.5, Features: 3}", "unknown key \"Features\""),
            (Json, r#"{"features": 3, "learning_rat": 0.5}"#, "unknown key \"learning_rat\""),
            (Yaml, "1: 2\n", "unknown key 1 "),
            (Yaml, "<<: {learning_rate: 0.5}\n", "unknown key \"<<\": merge keys are not applied"),
            (Yaml, "learning_rate: '0.5'\n", "learning_rate must be a number, found a string"),
            (Json, r#"{"learning_rate": "0.1"}"#, "learning_rate must be a number, found a string"),
            (Yaml, "learning_rate: ~\n", "learning_rate must be a number, found null"),
            (Yaml, "learning_rate: !lr 0.5\n", "learning_rate must be a number, found a value tagged !lr"),
            (Yaml, "learning_rate: [0.5]\n", "learning_rate must be a number, found a sequence"),
            (Json, r#"{"learning_rate": [0.5]}"#, "learning_rate must be a number, found an array"),
            (Yaml, "learning_rate: |\n  0.5\n", "learning_rate must be a number, found a string"),
            (Yaml, "learning_rate: .inf\n", "learning_rate must be a finite number > 0, got inf"),
            (Yaml, "learning_rate: .nan\n", "learning_rate must be a finite number > 0"),
            (Yaml, "learning_rate: -0.5\n", "learning_rate must be a finite number > 0, got -0.5"),
            (Json, r#"{"learning_rate": 0}"#, "learning_rate must be a finite number > 0, got 0"),
            (Yaml, "log_every: yes\n", "log_every must be a number, found a string"),
            (Yaml, "log_every: True\n", "log_every must be a number, found a boolean"),
            (Yaml, "batch_size: 010\n", "batch_size must be a number, found a string"),
            (Yaml, "log_every: !!float 3\n", "log_every must be an integer, got 3"),
            (Yaml, "batch_size: 1.5\n", "batch_size must be an integer, got 1.5"),
            (Json, r#"{"batch_size": 8.0}"#, "batch_size must be an integer, got 8"),
            (Yaml, "batch_size: 0\n", "batch_size must be an integer >= 1, got 0"),
            (Yaml, "batch_size: -3\n", "batch_size must be an integer >= 1, got -3"),
            (Json, r#"{"batch_size": 99999999999999999999}"#, "batch_size must be an integer >= 1"),
            (Yaml, "features: 65\n", "features must be an integer from 1 to 64, got 65"),
            (Yaml, "features:\n  value: 4\n", "features must be a number, found a mapping"),
            (Yaml, "features: 3\nfeatures: 4\n", "line 2 column 1: duplicate key \"features\""),
            (Yaml, "- features: 3\n", "the top level must be a mapping of settings, found a sequence"),
            (Json, "null", "the top level must be an object of settings, found null"),
            (Yaml, "? features\n: 3\n", "explicit keys"),
            (Yaml, "features: *n\n", "line 1 column 11: unknown anchor *n"),
            (Yaml, "features: 3\n---\nlog_every: 2\n", "line 2 column 1: a second document"),
            (Yaml, "features: 3\n\tlog_every: 2\n", "tabs are not allowed as indentation"),
            (Yaml, "{features: 3\n", "not closed"),
            (Yaml, "features: ! 3\n", "empty YAML tag is not allowed"),
            (Yaml, "features: !!int 3.5\n", "invalid value \"3.5\""),
            (Yaml, "%TAG !e! tag:example.com,2024:\n---\nfeatures: 3\n", "the %TAG directive is not supported"),
            (Json, r#"{"features": 3,}"#, "trailing comma"),
            (Json, "\u{feff}{}", "expected value at line 1 column 1"),
        ];
        for (format, text, want) in cases {
            let err = parse(text, format).expect_err(text);
            assert!(err.contains(want), "{text:?}: got {err:?}, want {want:?}");
        }
    }

    #[test]
    fn format_follows_the_whole_path_case_sensitively() {
        use Format::{Json, Yaml};
        let cases = [
            ("a.json", Some(Json)), ("a.yaml", Some(Yaml)), ("dir/a.yml", Some(Yaml)), (".json", Some(Json)),
            ("a.JSON", None), ("a.YAML", None), ("a.Yml", None), ("a.json.bak", None), ("a.json ", None),
            ("a.toml", None), ("json", None), ("a.yaml/", None),
        ];
        for (name, want) in cases {
            assert_eq!(Format::from_path(Path::new(name)).ok(), want, "{name:?}");
        }
    }
}
