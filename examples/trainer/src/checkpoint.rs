//! Text checkpoint:
//!
//! ```text
//! train_generic checkpoint v1
//! total_steps 120
//! features 3
//! weights 0.5 -1.25 3e-7
//! ```
//!
//! Weights use Rust's shortest round-trip float formatting, so reloading a
//! checkpoint restores them bit for bit.

use std::fs;
use std::path::Path;

const HEADER: &str = "train_generic checkpoint v1";

#[derive(Debug, Clone, PartialEq)]
pub struct Checkpoint {
    pub total_steps: u64,
    pub weights: Vec<f64>,
}

impl Checkpoint {
    pub fn to_text(&self) -> String {
        let weights: Vec<String> = self.weights.iter().map(|w| format!("{w:?}")).collect();
        format!(
            "{HEADER}\ntotal_steps {}\nfeatures {}\nweights {}\n",
            self.total_steps,
            self.weights.len(),
            weights.join(" ")
        )
    }

    pub fn parse(text: &str) -> Result<Checkpoint, String> {
        let mut lines = text.lines();
        if lines.next() != Some(HEADER) {
            return Err(format!("first line is not '{HEADER}'"));
        }
        let total_steps = field(lines.next(), "total_steps")?
            .parse::<u64>()
            .map_err(|_| "total_steps is not a non-negative integer".to_string())?;
        let features = field(lines.next(), "features")?
            .parse::<usize>()
            .ok()
            .filter(|&n| n > 0)
            .ok_or("features is not a positive integer")?;
        let weights = field(lines.next(), "weights")?
            .split_ascii_whitespace()
            .map(|w| w.parse::<f64>().ok().filter(|w| w.is_finite()))
            .collect::<Option<Vec<f64>>>()
            .ok_or("weights must be finite numbers")?;
        if weights.len() != features {
            return Err(format!("expected {features} weights, found {}", weights.len()));
        }
        if lines.any(|l| !l.trim().is_empty()) {
            return Err("unexpected content after the weights line".into());
        }
        Ok(Checkpoint { total_steps, weights })
    }

    pub fn load(path: &Path) -> Result<Checkpoint, String> {
        let text = fs::read_to_string(path)
            .map_err(|e| format!("cannot read checkpoint {}: {e}", path.display()))?;
        Checkpoint::parse(&text).map_err(|e| format!("malformed checkpoint {}: {e}", path.display()))
    }
}

fn field<'a>(line: Option<&'a str>, key: &str) -> Result<&'a str, String> {
    line.and_then(|l| l.strip_prefix(key))
        .and_then(|rest| rest.strip_prefix(' '))
        .ok_or_else(|| format!("expected a '{key} ...' line"))
}

#[cfg(test)]
mod tests {
    use super::*;

    #[test]
    fn round_trips_weights_exactly() {
        let ckpt = Checkpoint {
            total_steps: u64::MAX,
            weights: vec![0.1, -1.0 / 3.0, 5e-324, 1e300, -0.0, 123456.789],
        };
        let back = Checkpoint::parse(&ckpt.to_text()).unwrap();
        let bits = |c: &Checkpoint| c.weights.iter().map(|w| w.to_bits()).collect::<Vec<_>>();
        assert_eq!(bits(&back), bits(&ckpt));
        assert_eq!(back.total_steps, u64::MAX);
    }

    #[test]
    fn rejects_malformed_text() {
        let good = "train_generic checkpoint v1\ntotal_steps 3\nfeatures 2\nweights 1 2\n";
        assert!(Checkpoint::parse(good).is_ok());
        let cases = [
            ("", "first line"),
            ("train_generic checkpoint v2\ntotal_steps 3\nfeatures 2\nweights 1 2\n", "first line"),
            ("train_generic checkpoint v1\nfeatures 2\nweights 1 2\n", "total_steps"),
            ("train_generic checkpoint v1\ntotal_steps -3\nfeatures 2\nweights 1 2\n", "total_steps"),
            ("train_generic checkpoint v1\ntotal_steps 3\nfeatures 0\nweights\n", "features"),
            ("train_generic checkpoint v1\ntotal_steps 3\nfeatures 2\nweights 1\n", "expected 2 weights"),
            ("train_generic checkpoint v1\ntotal_steps 3\nfeatures 2\nweights 1 NaN\n", "finite"),
            ("train_generic checkpoint v1\ntotal_steps 3\nfeatures 2\nweights 1 2\nextra\n", "unexpected"),
        ];
        for (text, want) in cases {
            let err = Checkpoint::parse(text).expect_err(text);
            assert!(err.contains(want), "{text:?}: got {err:?}");
        }
    }
}
