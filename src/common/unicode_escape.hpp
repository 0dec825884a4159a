// Which code points the quoted form writes as \u{hex}, from a table generated out of the UCD.
#pragma once

namespace solvarinth {

// True for Grapheme_Extend and for the general categories Cc, Cf, Cs, Co, Cn, Zl, Zp and Zs
// other than U+0020, per the Unicode version the checked-in table was generated from. Code
// points above U+10FFFF are never passed in (the UTF-8 reader refuses them) and answer false.
bool needs_unicode_escape(char32_t c) noexcept;

// The Unicode version of that table, e.g. "15.0.0".
const char* unicode_escape_version() noexcept;

}  // namespace solvarinth
