//! Output directory handling and the metrics file.

use std::fs::{self, File};
use std::io::Write;
use std::path::{Path, PathBuf};

use crate::config::Config;

pub fn prepare_dir(dir: &Path) -> Result<(), String> {
    if dir.as_os_str().is_empty() {
        return Err("the output directory path is empty".into());
    }
    fs::create_dir_all(dir)
        .map_err(|e| format!("cannot create output directory {}: {e}", dir.display()))
}

/// Writes `dir/name` via a temporary file in the same directory and a
/// rename, so readers never see a half-written checkpoint or metrics file.
pub fn write_atomic(dir: &Path, name: &str, contents: &str) -> Result<PathBuf, String> {
    let target = dir.join(name);
    let tmp = dir.join(format!(".{name}.tmp.{}", std::process::id()));
    let written = File::create(&tmp)
        .and_then(|mut f| f.write_all(contents.as_bytes()).and_then(|_| f.sync_all()))
        .and_then(|_| fs::rename(&tmp, &target));
    if let Err(e) = written {
        let _ = fs::remove_file(&tmp);
        return Err(format!("cannot write {}: {e}", target.display()));
    }
    Ok(target)
}

pub struct Metrics<'a> {
    pub steps: u64,
    pub total_steps: u64,
    pub initial_loss: f64,
    pub final_loss: f64,
    pub config: &'a Config,
    pub seed: u32,
    pub base_ckpt: Option<&'a Path>,
}

impl Metrics<'_> {
    /// Losses are finite here (training fails on divergence), so `{:?}`
    /// always yields a valid JSON number.
    pub fn to_json(&self) -> String {
        let base = match self.base_ckpt {
            Some(p) => json_string(&p.to_string_lossy()),
            None => "null".into(),
        };
        let c = self.config;
        format!(
            "{{\n  \"steps\": {},\n  \"total_steps\": {},\n  \"initial_loss\": {:?},\n  \
             \"final_loss\": {:?},\n  \"learning_rate\": {:?},\n  \"batch_size\": {},\n  \
             \"log_every\": {},\n  \"features\": {},\n  \"seed\": {},\n  \"base_ckpt\": {}\n}}\n",
            self.steps, self.total_steps, self.initial_loss, self.final_loss, c.learning_rate,
            c.batch_size, c.log_every, c.features, self.seed, base
        )
    }
}

fn json_string(s: &str) -> String {
    let mut out = String::from("\"");
    for c in s.chars() {
        match c {
            '"' => out.push_str("\\\""),
            '\\' => out.push_str("\\\\"),
            c if (c as u32) < 0x20 => out.push_str(&format!("\\u{:04x}", c as u32)),
            c => out.push(c),
        }
    }
    out.push('"');
    out
}

#[cfg(test)]
mod tests {
    use super::*;

    #[test]
    fn escapes_paths_in_metrics() {
        assert_eq!(json_string("a\"b\\c\nd"), r#""a\"b\\c\u000ad""#);
    }
}
