//! Runs the built `train_generic` binary the way the Python extension does.

use std::ffi::OsStr;
use std::fs;
use std::path::{Path, PathBuf};
use std::process::{Command, Output};

fn scratch(name: &str) -> PathBuf {
    let dir = Path::new(env!("CARGO_TARGET_TMPDIR")).join(name);
    let _ = fs::remove_dir_all(&dir);
    fs::create_dir_all(&dir).unwrap();
    dir
}

fn train<S: AsRef<OsStr>>(args: impl IntoIterator<Item = S>) -> Output {
    train_in(Path::new(env!("CARGO_TARGET_TMPDIR")), args)
}

fn train_in<S: AsRef<OsStr>>(cwd: &Path, args: impl IntoIterator<Item = S>) -> Output {
    let mut cmd = Command::new(env!("CARGO_BIN_EXE_train_generic"));
    cmd.current_dir(cwd).args(args).output().unwrap()
}

/// Runs with `extra` appended to the usual required options, from the
/// config's directory so stray relative writes stay visible to the test.
fn train_with(config: &Path, out: &Path, steps: &str, extra: &[&OsStr]) -> Output {
    let mut args: Vec<&OsStr> = vec![
        "--config".as_ref(), config.as_os_str(),
        "--output-dir".as_ref(), out.as_os_str(),
        "--steps".as_ref(), steps.as_ref(),
        "--seed".as_ref(), "42".as_ref(),
    ];
    args.extend_from_slice(extra);
    train_in(config.parent().unwrap(), args)
}

fn stderr(out: &Output) -> String {
    String::from_utf8_lossy(&out.stderr).into_owned()
}

fn checkpoint(dir: &Path) -> String {
    fs::read_to_string(dir.join("checkpoint.txt")).unwrap()
}

fn write_config(dir: &Path, name: &str, text: &str) -> PathBuf {
    let path = dir.join(name);
    fs::write(&path, text).unwrap();
    path
}

#[test]
fn bad_command_lines_exit_2_with_usage() {
    let dir = scratch("usage");
    let out = dir.join("out");
    let out = out.to_str().unwrap();
    let ok = ["--config", "c.json", "--output-dir", out, "--steps", "1", "--seed", "1"];
    let with = |opt: &str, value: &str| -> Vec<String> {
        let mut args: Vec<String> = ok.iter().map(|s| s.to_string()).collect();
        let i = args.iter().position(|a| a == opt).unwrap();
        args[i + 1] = value.into();
        args
    };
    let mut cases: Vec<Vec<String>> = vec![
        vec![],
        [&ok[..], &["--verbose"]].concat().iter().map(|s| s.to_string()).collect(),
        [&ok[..], &["extra"]].concat().iter().map(|s| s.to_string()).collect(),
        [&ok[..], &["--base-ckpt"]].concat().iter().map(|s| s.to_string()).collect(),
        [&ok[..], &["--seed", "2"]].concat().iter().map(|s| s.to_string()).collect(),
        ["--config=c.json", "--output-dir", out, "--steps", "1", "--seed", "1"]
            .iter().map(|s| s.to_string()).collect(),
    ];
    for missing in ["--config", "--output-dir", "--steps", "--seed"] {
        let i = ok.iter().position(|a| *a == missing).unwrap();
        cases.push(ok.iter().enumerate().filter(|(j, _)| *j != i && *j != i + 1)
            .map(|(_, s)| s.to_string()).collect());
    }
    for bad in ["", "-1", "+1", "1.5", " 1", "1e3", "x", "18446744073709551616"] {
        cases.push(with("--steps", bad));
    }
    for bad in ["4294967296", "-0", "seed"] {
        cases.push(with("--seed", bad));
    }
    for args in cases {
        let result = train(&args);
        assert_eq!(result.status.code(), Some(2), "{args:?}: {}", stderr(&result));
        assert!(stderr(&result).contains("usage: train_generic"), "{args:?}");
    }
    assert!(!Path::new(out).exists(), "nothing may be written on a usage error");
}

#[test]
fn trains_and_writes_outputs() {
    let dir = scratch("fresh");
    let config = write_config(&dir, "c.yaml", "learning_rate: 0.05\nlog_every: 25\nfeatures: 3\n");
    let out = dir.join("nested/out dir with blanks");
    let result = train_with(&config, &out, "100", &[]);
    assert_eq!(result.status.code(), Some(0), "{}", stderr(&result));

    let stdout = String::from_utf8(result.stdout).unwrap();
    let progress: Vec<&str> = stdout.lines().filter(|l| l.starts_with("step ")).collect();
    assert_eq!(progress.len(), 4, "{stdout}");
    assert!(progress[3].starts_with("step 100/100 loss "), "{stdout}");
    assert!(stdout.lines().last().unwrap().starts_with("done: "), "{stdout}");

    assert!(checkpoint(&out).starts_with("train_generic checkpoint v1\ntotal_steps 100\nfeatures 3\n"));
    let metrics = fs::read_to_string(out.join("metrics.json")).unwrap();
    for key in ["\"steps\": 100", "\"total_steps\": 100", "\"learning_rate\": 0.05",
                "\"seed\": 42", "\"base_ckpt\": null", "\"final_loss\": "] {
        assert!(metrics.contains(key), "{key} missing from {metrics}");
    }
    let leftovers: Vec<_> = fs::read_dir(&out).unwrap().map(|e| e.unwrap().file_name()).collect();
    assert_eq!(leftovers.len(), 2, "temporary files left behind: {leftovers:?}");
}

#[test]
fn resuming_continues_exactly_where_training_stopped() {
    let dir = scratch("resume");
    let config = write_config(&dir, "c.json", r#"{"batch_size": 8, "features": 5}"#);
    let (first, second, straight) = (dir.join("first"), dir.join("second"), dir.join("straight"));

    assert!(train_with(&config, &first, "20", &[]).status.success());
    let base = first.join("checkpoint.txt");
    let resumed = train_with(&config, &second, "15", &["--base-ckpt".as_ref(), base.as_os_str()]);
    assert!(resumed.status.success(), "{}", stderr(&resumed));
    assert!(train_with(&config, &straight, "35", &[]).status.success());

    // Same batches, same weights: 20 + 15 steps must equal 35 in one go.
    assert!(checkpoint(&second).contains("total_steps 35\n"));
    assert_eq!(checkpoint(&second), checkpoint(&straight));
    assert_ne!(checkpoint(&first), checkpoint(&straight));

    // Zero steps from a checkpoint (even in place) keeps it unchanged.
    let again = train_with(&config, &first, "0", &["--base-ckpt".as_ref(), base.as_os_str()]);
    assert!(again.status.success(), "{}", stderr(&again));
    assert!(checkpoint(&first).contains("total_steps 20\n"));
    assert_eq!(checkpoint(&first).lines().last(), fs::read_to_string(&base).unwrap().lines().last());
}

#[test]
fn zero_steps_writes_initial_weights() {
    let dir = scratch("zero");
    let config = write_config(&dir, "c.yml", "features: 2\n");
    let result = train_with(&config, &dir.join("out"), "0", &[]);
    assert!(result.status.success(), "{}", stderr(&result));
    assert_eq!(
        checkpoint(&dir.join("out")),
        "train_generic checkpoint v1\ntotal_steps 0\nfeatures 2\nweights 0.0 0.0\n"
    );
}

#[test]
fn runtime_failures_exit_1_with_a_message() {
    let dir = scratch("failures");
    let absent = dir.join("absent.json");
    let good = write_config(&dir, "good.json", r#"{"features": 4}"#);
    let wide = write_config(&dir, "wide.json", r#"{"features": 6}"#);
    let bad_value = write_config(&dir, "bad.yaml", "batch_size: 0\n");
    let wrong_suffix = write_config(&dir, "c.toml", "features = 4\n");
    let upper_suffix = write_config(&dir, "c.YAML", "features: 4\n");
    let typo = write_config(&dir, "typo.yaml", "learning_rat: 0.5\nfeatures: 3\n");
    let blocker = write_config(&dir, "plain-file", "");
    let garbage = write_config(&dir, "garbage.txt", "not a checkpoint\n");
    let out = dir.join("out");
    assert!(train_with(&good, &out, "3", &[]).status.success());
    let ckpt = out.join("checkpoint.txt");
    let base = |p: &Path| vec!["--base-ckpt".into(), p.as_os_str().to_owned()];

    let cases: Vec<(&Path, PathBuf, Vec<std::ffi::OsString>, &str)> = vec![
        (&absent, dir.join("o1"), vec![], "cannot read config"),
        (&bad_value, dir.join("o2"), vec![], "batch_size must be an integer >= 1"),
        (&wrong_suffix, dir.join("o3"), vec![], "must end in .json"),
        (&upper_suffix, dir.join("o3"), vec![], "c.YAML must end in .json, .yaml or .yml"),
        (&typo, dir.join("o3"), vec![], "typo.yaml: unknown key \"learning_rat\""),
        (&good, dir.join("o4"), base(&dir.join("absent.txt")), "cannot read checkpoint"),
        (&good, dir.join("o5"), base(&garbage), "malformed checkpoint"),
        (&wide, dir.join("o6"), base(&ckpt), "has 4 features but the config asks for 6"),
        (&good, blocker.join("sub"), vec![], "cannot create output directory"),
        (&good, blocker.clone(), vec![], "cannot create output directory"),
        (&good, PathBuf::new(), vec![], "output directory path is empty"),
    ];
    for (config, out_dir, extra, want) in cases {
        let extra: Vec<&OsStr> = extra.iter().map(|s| s.as_os_str()).collect();
        let result = train_with(config, &out_dir, "3", &extra);
        let err = stderr(&result);
        assert_eq!(result.status.code(), Some(1), "{want}: {err}");
        assert!(err.contains(want), "want {want:?}, got {err:?}");
        if out_dir != blocker {
            // An empty path would resolve to the working directory, `dir`.
            let written = dir.join(&out_dir).join("checkpoint.txt");
            assert!(!written.exists(), "{want}: wrote {}", written.display());
        }
    }
}

#[test]
fn the_start_line_shows_the_configured_values() {
    let dir = scratch("start-line");
    let cases = [
        ("flow.yaml", "{learning_rate: 0.5, features: 3}",
         "start: features 3 batch_size 32 learning_rate 0.5 log_every 10 "),
        ("anchored.yml", "learning_rate: &lr 0.25 # tuned\nlog_every: &n 4\nbatch_size: *n\n",
         "start: features 4 batch_size 4 learning_rate 0.25 log_every 4 "),
        ("quoted.json", r#"{"features": 2, "batch_size": 16, "learning_rate": 2e-2}"#,
         "start: features 2 batch_size 16 learning_rate 0.02 log_every 10 "),
    ];
    for (name, text, want) in cases {
        let config = write_config(&dir, name, text);
        let result = train_with(&config, &dir.join(name).with_extension("out"), "4", &[]);
        assert_eq!(result.status.code(), Some(0), "{name}: {}", stderr(&result));
        let stdout = String::from_utf8(result.stdout).unwrap();
        assert!(stdout.starts_with(want), "{name}: {stdout}");
    }
}
