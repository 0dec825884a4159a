//! `train_generic`: trains a small linear-regression model and writes a
//! checkpoint plus metrics. Exit codes: 0 success, 1 runtime or config
//! failure, 2 bad command line.

use std::io;
use std::process::ExitCode;

use train_generic_example::cli::{parse_args, USAGE};

fn main() -> ExitCode {
    let args = match parse_args(std::env::args_os().skip(1)) {
        Ok(args) => args,
        Err(msg) => {
            eprintln!("train_generic: {msg}\n{USAGE}");
            return ExitCode::from(2);
        }
    };
    match train_generic_example::run(&args, &mut io::stdout().lock()) {
        Ok(_) => ExitCode::SUCCESS,
        Err(msg) => {
            eprintln!("train_generic: error: {msg}");
            ExitCode::from(1)
        }
    }
}
