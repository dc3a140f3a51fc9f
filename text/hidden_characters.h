#pragma once

namespace vantrel {

// C0, DEL and C1 controls (U+0000 to U+001F, U+007F to U+009F).
bool IsControlCharacter(char32_t character);

// Unicode's format characters and line and paragraph separators (the
// categories Cf, Zl and Zp): bidi controls, zero-width and other invisible
// characters. In a label they make two names look alike, or one read in
// reverse ("SN-" U+202E "XYZ" shows as "SN-ZYX").
bool IsInvisibleFormatCharacter(char32_t character);

}  // namespace vantrel
