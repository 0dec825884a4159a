//! SplitMix64: tiny, fast and fully reproducible, which is all synthetic
//! data and batch sampling need.

pub struct SplitMix64(u64);

/// Stream tags keep the data and the batch sampler independent even though
/// both derive from the same user seed.
pub const DATA_STREAM: u64 = 0x6461_7461;
pub const BATCH_STREAM: u64 = 0x6261_7463;

impl SplitMix64 {
    /// Generator for sub-stream `index` of `tag`, derived from `seed`.
    /// Batch sampling uses the global step as `index`, so a resumed run
    /// draws exactly the batches an uninterrupted run would have drawn.
    pub fn stream(seed: u32, tag: u64, index: u64) -> Self {
        let base = SplitMix64((u64::from(seed) << 32) ^ tag).next_u64();
        SplitMix64(base ^ index.wrapping_mul(0xD1B5_4A32_D192_ED03))
    }

    pub fn next_u64(&mut self) -> u64 {
        self.0 = self.0.wrapping_add(0x9E37_79B9_7F4A_7C15);
        let mut z = self.0;
        z = (z ^ (z >> 30)).wrapping_mul(0xBF58_476D_1CE4_E5B9);
        z = (z ^ (z >> 27)).wrapping_mul(0x94D0_49BB_1331_11EB);
        z ^ (z >> 31)
    }

    /// Uniform in [0, 1) with 53 random bits.
    pub fn next_f64(&mut self) -> f64 {
        (self.next_u64() >> 11) as f64 / (1u64 << 53) as f64
    }

    pub fn uniform(&mut self, lo: f64, hi: f64) -> f64 {
        lo + (hi - lo) * self.next_f64()
    }

    /// Standard normal via Box-Muller; `1 - u` keeps the logarithm finite.
    pub fn gaussian(&mut self) -> f64 {
        let u1 = 1.0 - self.next_f64();
        let u2 = self.next_f64();
        (-2.0 * u1.ln()).sqrt() * (std::f64::consts::TAU * u2).cos()
    }

    /// Uniform index in 0..n (n > 0), by multiply-shift rather than modulo.
    pub fn below(&mut self, n: usize) -> usize {
        ((u128::from(self.next_u64()) * n as u128) >> 64) as usize
    }
}
