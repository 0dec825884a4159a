//! Library side of `train_generic`, split out so the pieces can be unit
//! tested without spawning the binary.

pub mod checkpoint;
pub mod cli;
pub mod config;
pub mod model;
pub mod output;
mod rng;

use std::io::Write;
use std::path::{Path, PathBuf};

use checkpoint::Checkpoint;
use cli::Args;
use model::{Dataset, Schedule};
use output::Metrics;

pub const CHECKPOINT_FILE: &str = "checkpoint.txt";
pub const METRICS_FILE: &str = "metrics.json";

/// What a successful run produced.
#[derive(Debug)]
pub struct Summary {
    pub final_loss: f64,
    pub total_steps: u64,
    pub checkpoint: PathBuf,
}

/// Runs one training job end to end. Progress lines go to `log`; every
/// failure comes back as a message suitable for stderr.
pub fn run(args: &Args, log: &mut dyn Write) -> Result<Summary, String> {
    let cfg = config::load(&args.config)?;
    let start = match &args.base_ckpt {
        Some(path) => resume_point(path, cfg.features)?,
        None => Checkpoint { total_steps: 0, weights: vec![0.0; cfg.features] },
    };
    let total_steps = start
        .total_steps
        .checked_add(args.steps)
        .ok_or("total step count would overflow a 64-bit counter")?;
    // Fail on an unusable output directory before spending time training.
    output::prepare_dir(&args.output_dir)?;

    let data = Dataset::synthetic(args.seed, cfg.features);
    let mut weights = start.weights;
    let schedule = Schedule { seed: args.seed, first_step: start.total_steps, steps: args.steps };
    let losses = model::train(&data, &mut weights, &cfg, &schedule, log)?;

    let ckpt = Checkpoint { total_steps, weights };
    let checkpoint = output::write_atomic(&args.output_dir, CHECKPOINT_FILE, &ckpt.to_text())?;
    let metrics = Metrics {
        steps: args.steps,
        total_steps,
        initial_loss: losses.initial,
        final_loss: losses.last,
        config: &cfg,
        seed: args.seed,
        base_ckpt: args.base_ckpt.as_deref(),
    };
    output::write_atomic(&args.output_dir, METRICS_FILE, &metrics.to_json())?;

    // Logging is best effort: the files above are the real product.
    let _ = writeln!(
        log,
        "done: {} steps (total {}), final loss {:.6e}, checkpoint {}",
        args.steps,
        total_steps,
        losses.last,
        checkpoint.display()
    );
    Ok(Summary { final_loss: losses.last, total_steps, checkpoint })
}

fn resume_point(path: &Path, features: usize) -> Result<Checkpoint, String> {
    let ckpt = Checkpoint::load(path)?;
    if ckpt.weights.len() != features {
        return Err(format!(
            "checkpoint {} has {} features but the config asks for {features}",
            path.display(),
            ckpt.weights.len()
        ));
    }
    Ok(ckpt)
}
