//! Command-line parsing. Values are taken verbatim from the next argument
//! (they may be empty, contain blanks or even start with `--`), because the
//! caller passes paths it does not control.

use std::ffi::{OsStr, OsString};
use std::fmt::Display;
use std::path::PathBuf;
use std::str::FromStr;

pub const USAGE: &str = "usage: train_generic --config <path> --output-dir <dir> \
                         --steps <n> --seed <n> [--base-ckpt <path>]";

#[derive(Debug, Clone, PartialEq)]
pub struct Args {
    pub config: PathBuf,
    pub output_dir: PathBuf,
    pub steps: u64,
    pub seed: u32,
    pub base_ckpt: Option<PathBuf>,
}

#[derive(Default)]
struct Raw {
    config: Option<OsString>,
    output_dir: Option<OsString>,
    steps: Option<OsString>,
    seed: Option<OsString>,
    base_ckpt: Option<OsString>,
}

impl Raw {
    fn slot(&mut self, name: &str) -> Option<&mut Option<OsString>> {
        match name {
            "--config" => Some(&mut self.config),
            "--output-dir" => Some(&mut self.output_dir),
            "--steps" => Some(&mut self.steps),
            "--seed" => Some(&mut self.seed),
            "--base-ckpt" => Some(&mut self.base_ckpt),
            _ => None,
        }
    }
}

/// Parses the arguments after the program name.
pub fn parse_args<I>(args: I) -> Result<Args, String>
where
    I: IntoIterator<Item = OsString>,
{
    let mut raw = Raw::default();
    let mut it = args.into_iter();
    while let Some(arg) = it.next() {
        let name = arg.to_string_lossy().into_owned();
        let slot = raw.slot(&name).ok_or_else(|| format!("unrecognised argument '{name}'"))?;
        let value = it.next().ok_or_else(|| format!("option {name} needs a value"))?;
        if slot.replace(value).is_some() {
            return Err(format!("option {name} given more than once"));
        }
    }
    Ok(Args {
        config: required(raw.config, "--config")?.into(),
        output_dir: required(raw.output_dir, "--output-dir")?.into(),
        steps: parse_uint(&required(raw.steps, "--steps")?, "--steps", u64::MAX)?,
        seed: parse_uint(&required(raw.seed, "--seed")?, "--seed", u32::MAX)?,
        base_ckpt: raw.base_ckpt.map(PathBuf::from),
    })
}

fn required(value: Option<OsString>, name: &str) -> Result<OsString, String> {
    value.ok_or_else(|| format!("missing required option {name}"))
}

/// Plain decimal digits only: signs, blanks and exponents are rejected
/// rather than guessed at.
fn parse_uint<T: FromStr + Display>(raw: &OsStr, name: &str, max: T) -> Result<T, String> {
    raw.to_str()
        .filter(|t| !t.is_empty() && t.bytes().all(|b| b.is_ascii_digit()))
        .and_then(|t| t.parse().ok())
        .ok_or_else(|| {
            format!("{name} expects an integer from 0 to {max}, got '{}'", raw.to_string_lossy())
        })
}

#[cfg(test)]
mod tests {
    use super::*;

    fn parse(args: &[&str]) -> Result<Args, String> {
        parse_args(args.iter().map(OsString::from))
    }

    #[test]
    fn accepted_forms() {
        let cases: &[(&[&str], Args)] = &[
            (
                &["--config", "c.yaml", "--output-dir", "out", "--steps", "5", "--seed", "7"],
                Args { config: "c.yaml".into(), output_dir: "out".into(), steps: 5, seed: 7, base_ckpt: None },
            ),
            (
                // Any order; values may be empty, contain blanks or look like options.
                &["--seed", "4294967295", "--base-ckpt", "", "--steps", "18446744073709551615",
                  "--output-dir", "my out dir", "--config", "--steps"],
                Args {
                    config: "--steps".into(),
                    output_dir: "my out dir".into(),
                    steps: u64::MAX,
                    seed: u32::MAX,
                    base_ckpt: Some("".into()),
                },
            ),
            (
                &["--config", "", "--output-dir", "", "--steps", "007", "--seed", "0"],
                Args { config: "".into(), output_dir: "".into(), steps: 7, seed: 0, base_ckpt: None },
            ),
        ];
        for (args, want) in cases {
            assert_eq!(parse(args).as_ref(), Ok(want), "args {args:?}");
        }
    }
}
