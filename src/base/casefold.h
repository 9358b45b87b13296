// Unicode simple case folding, as names compare in any case: each character folds to one
// character ("Ά" and "ά" to "ά", "Ж" to "ж", "K" to "k"). Full folding, which may give several
// characters ("ß" to "ss"), is not used: a FAT long name compares character by character.
#pragma once

namespace dulvex {

char32_t FoldCase(char32_t c);

}  // namespace dulvex
