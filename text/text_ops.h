// Exact-case search, replace, cut and trim operations on wide texts.
//
// Indices and counts are signed 32-bit numbers of UTF-16 code units; a search that
// finds nothing gives -1. Nothing here folds case. FindText and ReplaceAll run in
// linear time, so they may be called on multi-megabyte HTML.
#pragma once

#include <vector>

#include "text/wide_string.h"

// An ordered list of texts, read back in the order they were appended.
using TextList = std::vector<WideString>;

// Index of the first occurrence of pattern at or after start, or -1. A start beyond
// the end gives -1 at once; an empty pattern is found at start.
int FindText(WideView text, WideView pattern, int start);

// Replaces every non-overlapping occurrence of pattern, scanning from the left, by
// replacement; the replacement itself is never searched. Returns the number replaced,
// 0 for an empty pattern, or -1 when memory runs out (the text is then unchanged).
int ReplaceAll(WideString& text, WideView pattern, WideView replacement);

// count code units from first; negative arguments count as 0, and the result stops at
// the end of the text.
WideString MidText(WideView text, int first, int count);
// The first / last count code units; a negative count gives nothing, a count beyond the
// length gives the whole text.
WideString LeftText(WideView text, int count);
WideString RightText(WideView text, int count);

// Remove code units that occur in set from the start / end of text.
void TrimLeadingChars(WideString& text, WideView set);
void TrimTrailingChars(WideString& text, WideView set);
