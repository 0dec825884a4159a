//! Linear regression without bias on synthetic data, trained by mini-batch
//! SGD on mean squared error.

use std::io::Write;

use crate::config::Config;
use crate::rng::{SplitMix64, BATCH_STREAM, DATA_STREAM};

/// Big enough for a meaningful loss, small enough that a full pass to
/// report the loss is negligible next to the training itself.
pub const SAMPLES: usize = 256;
const NOISE_STD: f64 = 0.1;

pub struct Dataset {
    features: usize,
    inputs: Vec<f64>,
    targets: Vec<f64>,
    true_weights: Vec<f64>,
}

impl Dataset {
    /// `y = x . w_true + noise`, with standard normal inputs and hidden
    /// weights drawn uniformly from [-2, 2]; fully determined by the seed.
    pub fn synthetic(seed: u32, features: usize) -> Dataset {
        let mut rng = SplitMix64::stream(seed, DATA_STREAM, 0);
        let true_weights: Vec<f64> = (0..features).map(|_| rng.uniform(-2.0, 2.0)).collect();
        let mut inputs = Vec::with_capacity(SAMPLES * features);
        let mut targets = Vec::with_capacity(SAMPLES);
        for _ in 0..SAMPLES {
            let row: Vec<f64> = (0..features).map(|_| rng.gaussian()).collect();
            targets.push(dot(&row, &true_weights) + NOISE_STD * rng.gaussian());
            inputs.extend(row);
        }
        Dataset { features, inputs, targets, true_weights }
    }

    /// The weights the data was generated from, for judging a trained model.
    pub fn true_weights(&self) -> &[f64] {
        &self.true_weights
    }

    fn row(&self, i: usize) -> &[f64] {
        &self.inputs[i * self.features..(i + 1) * self.features]
    }

    /// Mean squared error over the whole dataset.
    pub fn mse(&self, weights: &[f64]) -> f64 {
        let total: f64 = (0..SAMPLES)
            .map(|i| (dot(self.row(i), weights) - self.targets[i]).powi(2))
            .sum();
        total / SAMPLES as f64
    }
}

/// Which steps to run: `first_step` is the global step count already done.
pub struct Schedule {
    pub seed: u32,
    pub first_step: u64,
    pub steps: u64,
}

/// Full-dataset loss before the first and after the last step.
#[derive(Debug, Clone, Copy)]
pub struct Losses {
    pub initial: f64,
    pub last: f64,
}

pub fn train(
    data: &Dataset,
    weights: &mut [f64],
    cfg: &Config,
    schedule: &Schedule,
    log: &mut dyn Write,
) -> Result<Losses, String> {
    let initial = finite_loss(data, weights)
        .ok_or("the starting weights give a non-finite loss on this data")?;
    let _ = writeln!(
        log,
        "start: features {} batch_size {} learning_rate {} log_every {} total steps so far {} loss {initial:.6e}",
        cfg.features, cfg.batch_size, cfg.learning_rate, cfg.log_every, schedule.first_step
    );
    let mut last = initial;
    for n in 1..=schedule.steps {
        let global_step = schedule.first_step.wrapping_add(n - 1);
        let batch = batch_indices(schedule.seed, global_step, cfg.batch_size);
        sgd_step(data, weights, &batch, cfg.learning_rate);
        let report = n % cfg.log_every == 0;
        // The loss overflows before the weights do, so both need checking.
        let diverged = if report || n == schedule.steps {
            finite_loss(data, weights).map(|loss| last = loss).is_none()
        } else {
            !weights.iter().all(|w| w.is_finite())
        };
        if diverged {
            return Err(format!(
                "training diverged at step {n} (loss or weights no longer finite); \
                 try a smaller learning_rate than {}",
                cfg.learning_rate
            ));
        }
        if report {
            let _ = writeln!(log, "step {n}/{} loss {last:.6e}", schedule.steps);
        }
    }
    Ok(Losses { initial, last })
}

/// Samples with replacement; a batch at least as large as the dataset means
/// plain full-batch gradient descent.
fn batch_indices(seed: u32, global_step: u64, batch_size: u64) -> Vec<usize> {
    if batch_size >= SAMPLES as u64 {
        return (0..SAMPLES).collect();
    }
    let mut rng = SplitMix64::stream(seed, BATCH_STREAM, global_step);
    (0..batch_size).map(|_| rng.below(SAMPLES)).collect()
}

/// One step on the batch MSE, whose gradient is `2/B * sum(err * x)`.
fn sgd_step(data: &Dataset, weights: &mut [f64], batch: &[usize], learning_rate: f64) {
    let mut grad = vec![0.0; weights.len()];
    for &i in batch {
        let x = data.row(i);
        let err = dot(x, weights) - data.targets[i];
        for (g, xj) in grad.iter_mut().zip(x) {
            *g += err * xj;
        }
    }
    let scale = 2.0 * learning_rate / batch.len() as f64;
    for (w, g) in weights.iter_mut().zip(&grad) {
        *w -= scale * g;
    }
}

/// Full-dataset loss, or `None` once it has overflowed; a non-finite loss
/// must never reach the checkpoint or the metrics file.
fn finite_loss(data: &Dataset, weights: &[f64]) -> Option<f64> {
    Some(data.mse(weights)).filter(|loss| loss.is_finite())
}

fn dot(a: &[f64], b: &[f64]) -> f64 {
    a.iter().zip(b).map(|(x, y)| x * y).sum()
}

#[cfg(test)]
mod tests {
    use super::*;

    fn run(cfg: &Config, steps: u64) -> (Dataset, Vec<f64>, Result<Losses, String>) {
        let data = Dataset::synthetic(11, cfg.features);
        let mut weights = vec![0.0; cfg.features];
        let schedule = Schedule { seed: 11, first_step: 0, steps };
        let result = train(&data, &mut weights, cfg, &schedule, &mut Vec::new());
        (data, weights, result)
    }

    #[test]
    fn training_recovers_the_hidden_weights() {
        for (batch_size, features) in [(32, 4), (1, 3), (1000, 64)] {
            let cfg = Config { batch_size, features, learning_rate: 0.05, ..Config::default() };
            let (data, weights, result) = run(&cfg, 400);
            let losses = result.unwrap();
            assert!(losses.last < losses.initial / 50.0, "batch {batch_size}: {losses:?}");
            for (w, t) in weights.iter().zip(&data.true_weights) {
                assert!((w - t).abs() < 0.1, "batch {batch_size}: {w} vs {t}");
            }
        }
    }

    #[test]
    fn divergence_is_an_error_not_a_non_finite_result() {
        let cfg = Config { learning_rate: 100.0, features: 3, ..Config::default() };
        // Whatever step the run stops at, it either fails or reports a
        // finite loss; the loss overflows a few steps before the weights do.
        let results: Vec<_> = (1..300).map(|steps| run(&cfg, steps).2).collect();
        for (steps, result) in (1..).zip(&results) {
            match result {
                Ok(losses) => assert!(losses.last.is_finite(), "{steps} steps: {losses:?}"),
                Err(err) => assert!(err.contains("diverged"), "{err}"),
            }
        }
        assert!(results.iter().any(Result::is_err));
        let (data, _, _) = run(&cfg, 0);
        let schedule = Schedule { seed: 11, first_step: 0, steps: 0 };
        let huge = &mut [1e200; 3];
        assert!(train(&data, huge, &cfg, &schedule, &mut Vec::new()).is_err());
    }

    #[test]
    fn logs_every_n_steps() {
        let cfg = Config { log_every: 4, ..Config::default() };
        let data = Dataset::synthetic(1, cfg.features);
        let mut log = Vec::new();
        let schedule = Schedule { seed: 1, first_step: 0, steps: 10 };
        train(&data, &mut [0.0; 4], &cfg, &schedule, &mut log).unwrap();
        let steps: Vec<String> = String::from_utf8(log).unwrap().lines()
            .filter(|l| l.starts_with("step ")).map(|l| l.split(' ').nth(1).unwrap().to_owned())
            .collect();
        assert_eq!(steps, ["4/10", "8/10"]);
    }
}
