//! Training settings read from a JSON or YAML file. Only flat top-level
//! numeric settings matter here, so instead of full parsers there are two
//! small readers that list top-level keys with a rough classification of
//! their values; unknown keys are ignored.

mod json;
mod yaml;

use std::fs;
use std::path::Path;

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

#[derive(Debug, Clone, Copy, PartialEq)]
pub enum Format {
    Json,
    Yaml,
}

impl Format {
    pub fn from_path(path: &Path) -> Result<Format, String> {
        let ext = path.extension().and_then(|e| e.to_str()).map(str::to_ascii_lowercase);
        match ext.as_deref() {
            Some("json") => Ok(Format::Json),
            Some("yaml" | "yml") => Ok(Format::Yaml),
            _ => Err(format!(
                "config {} must end in .json, .yaml or .yml",
                path.display()
            )),
        }
    }
}

/// A top-level value as the readers classify it. Numbers keep their source
/// text so integer settings can reject fractions; anything else is only
/// described, for error messages.
#[derive(Debug, Clone, PartialEq)]
enum Value {
    Number(String),
    Other(&'static str),
}

pub fn load(path: &Path) -> Result<Config, String> {
    let format = Format::from_path(path)?;
    let text = fs::read_to_string(path)
        .map_err(|e| format!("cannot read config {}: {e}", path.display()))?;
    parse(&text, format).map_err(|e| format!("config {}: {e}", path.display()))
}

pub fn parse(text: &str, format: Format) -> Result<Config, String> {
    let text = text.strip_prefix('\u{feff}').unwrap_or(text);
    let entries = match format {
        Format::Json => json::top_level(text)?,
        Format::Yaml => yaml::top_level(text),
    };
    // Later duplicates win, as with the usual JSON and YAML loaders.
    let get = |key: &str| entries.iter().rev().find(|(k, _)| k == key).map(|(_, v)| v);
    let mut cfg = Config::default();
    if let Some(v) = get("learning_rate") {
        cfg.learning_rate = positive_float("learning_rate", v)?;
    }
    if let Some(v) = get("batch_size") {
        cfg.batch_size = int_in_range("batch_size", v, 1, u64::MAX)?;
    }
    if let Some(v) = get("log_every") {
        cfg.log_every = int_in_range("log_every", v, 1, u64::MAX)?;
    }
    if let Some(v) = get("features") {
        cfg.features = int_in_range("features", v, 1, MAX_FEATURES)? as usize;
    }
    Ok(cfg)
}

fn number_text<'a>(key: &str, value: &'a Value) -> Result<&'a str, String> {
    match value {
        Value::Number(text) => Ok(text),
        Value::Other(kind) => Err(format!("{key} must be a number, found {kind}")),
    }
}

fn positive_float(key: &str, value: &Value) -> Result<f64, String> {
    let text = number_text(key, value)?;
    match text.parse::<f64>() {
        Ok(x) if x.is_finite() && x > 0.0 => Ok(x),
        _ => Err(format!("{key} must be a finite number > 0, got {text}")),
    }
}

fn int_in_range(key: &str, value: &Value, min: u64, max: u64) -> Result<u64, String> {
    let text = number_text(key, value)?;
    let (negative, digits) = match text.strip_prefix('-') {
        Some(rest) => (true, rest),
        None => (false, text.strip_prefix('+').unwrap_or(text)),
    };
    if digits.is_empty() || !digits.bytes().all(|b| b.is_ascii_digit()) {
        return Err(format!("{key} must be an integer, got {text}"));
    }
    let parsed = if negative { None } else { digits.parse::<u64>().ok() };
    match parsed {
        Some(n) if (min..=max).contains(&n) => Ok(n),
        _ if max == u64::MAX => Err(format!("{key} must be an integer >= {min}, got {text}")),
        _ => Err(format!("{key} must be an integer from {min} to {max}, got {text}")),
    }
}

/// Recognises a numeric token shared by both formats: plain decimals with
/// optional sign, fraction and exponent, plus the spellings of infinity and
/// NaN that JSON and YAML loaders accept. Returns text `str::parse` handles.
fn number_token(token: &str) -> Option<String> {
    match token {
        "NaN" | ".nan" | ".NaN" | ".NAN" => return Some("NaN".into()),
        "Infinity" | ".inf" | ".Inf" | ".INF" | "+.inf" | "+.Inf" | "+.INF" => {
            return Some("inf".into())
        }
        "-Infinity" | "-.inf" | "-.Inf" | "-.INF" => return Some("-inf".into()),
        _ => {}
    }
    let digits = |t: &str| t.bytes().all(|b| b.is_ascii_digit());
    let unsigned = token.strip_prefix(['-', '+']).unwrap_or(token);
    let (mantissa, exponent) = match unsigned.split_once(['e', 'E']) {
        Some((m, e)) => (m, Some(e.strip_prefix(['-', '+']).unwrap_or(e))),
        None => (unsigned, None),
    };
    let (int, frac) = mantissa.split_once('.').unwrap_or((mantissa, ""));
    let mantissa_ok = digits(int) && digits(frac) && !(int.is_empty() && frac.is_empty());
    let exponent_ok = exponent.is_none_or(|e| !e.is_empty() && digits(e));
    (mantissa_ok && exponent_ok).then(|| token.to_owned())
}

#[cfg(test)]
mod tests {
    use super::*;

    #[test]
    fn reads_settings_and_ignores_the_rest() {
        let json = r#"{"name": "run \"a\"", "nested": {"learning_rate": "x", "l": [1, {"b": 2}]},
                       "learning_rate": 2.5e-2, "batch_size": 8, "log_every": 3, "features": 64,
                       "flag": true, "nothing": null}"#;
        let yaml = "# leading comment\n---\nname: demo # not a number\nnested:\n  learning_rate: oops\n\
                    list:\n  - 1\n\"learning_rate\": 2.5e-2   # tuned\nbatch_size: 8\nlog_every: +3\n\
                    features: 64\n";
        let want = Config { learning_rate: 0.025, batch_size: 8, log_every: 3, features: 64 };
        assert_eq!(parse(json, Format::Json), Ok(want.clone()));
        assert_eq!(parse(yaml, Format::Yaml), Ok(want));
    }

    #[test]
    fn missing_settings_take_defaults() {
        for (text, format) in [("{}", Format::Json), (" { \"other\": 1 } ", Format::Json),
                               ("", Format::Yaml), ("other: 1\n", Format::Yaml)] {
            assert_eq!(parse(text, format), Ok(Config::default()), "{text:?}");
        }
    }

    #[test]
    fn rejects_bad_values_for_known_keys() {
        use Format::{Json, Yaml};
        let cases = [
            (Json, r#"{"learning_rate": 0}"#, "learning_rate must be a finite number > 0"),
            (Json, r#"{"learning_rate": -0.5}"#, "learning_rate must be a finite number > 0"),
            (Json, r#"{"learning_rate": NaN}"#, "learning_rate must be a finite number > 0"),
            (Json, r#"{"learning_rate": 1e999}"#, "learning_rate must be a finite number > 0"),
            (Json, r#"{"learning_rate": "0.1"}"#, "learning_rate must be a number, found a string"),
            (Json, r#"{"batch_size": 1.5}"#, "batch_size must be an integer"),
            (Json, r#"{"batch_size": 0}"#, "batch_size must be an integer >= 1"),
            (Json, r#"{"batch_size": 99999999999999999999}"#, "batch_size must be an integer >= 1"),
            (Json, r#"{"log_every": [10]}"#, "log_every must be a number, found an array"),
            (Json, r#"{"features": 65}"#, "features must be an integer from 1 to 64"),
            (Json, r#"[1, 2]"#, "must be an object"),
            (Yaml, "learning_rate: .inf\n", "learning_rate must be a finite number > 0"),
            (Yaml, "learning_rate: fast\n", "learning_rate must be a number, found a string"),
            (Yaml, "batch_size: -3\n", "batch_size must be an integer >= 1"),
            (Yaml, "log_every: yes\n", "log_every must be a number, found a boolean"),
            (Yaml, "features: 0\n", "features must be an integer from 1 to 64"),
            (Yaml, "features:\n  value: 4\n", "features must be a number, found an empty"),
        ];
        for (format, text, want) in cases {
            let err = parse(text, format).expect_err(text);
            assert!(err.contains(want), "{text:?}: got {err:?}, want {want:?}");
        }
    }

    #[test]
    fn format_follows_suffix() {
        for (name, want) in [("a.json", Some(Format::Json)), ("a.YAML", Some(Format::Yaml)),
                             ("a.yml", Some(Format::Yaml)), ("a.toml", None), ("json", None)] {
            assert_eq!(Format::from_path(Path::new(name)).ok(), want, "{name}");
        }
    }
}
