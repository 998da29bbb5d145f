#include "text/text_ops.h"

#include <algorithm>
#include <new>

namespace {

constexpr size_t kSmallTable = 64;

// Knuth-Morris-Pratt failure function: border[i] is the length of the longest proper
// border of pattern[0..i].
void BuildBorders(WideView pattern, int* border) {
  border[0] = 0;
  int k = 0;
  for (size_t i = 1; i < pattern.size(); ++i) {
    while (k > 0 && pattern[i] != pattern[k]) k = border[k - 1];
    if (pattern[i] == pattern[k]) ++k;
    border[i] = k;
  }
}

// The failure function of one pattern: on the stack for short patterns, on the heap
// for long ones.
class BorderTable {
 public:
  explicit BorderTable(WideView pattern) {
    if (pattern.size() > kSmallTable) {
      large_.resize(pattern.size());
      border_ = large_.data();
    }
    BuildBorders(pattern, border_);
  }
  BorderTable(const BorderTable&) = delete;
  BorderTable& operator=(const BorderTable&) = delete;
  const int* get() const { return border_; }

 private:
  int small_[kSmallTable];
  std::vector<int> large_;
  int* border_ = small_;
};

// Linear-time search. While nothing of the pattern is matched, the scan jumps to the
// next code unit equal to the pattern's first one (a tight library loop), which keeps
// the common case fast; the failure function keeps the worst case at O(n + m).
size_t SearchFrom(WideView text, WideView pattern, size_t start, const int* border) {
  const size_t n = text.size();
  const size_t m = pattern.size();
  size_t i = start;
  size_t matched = 0;
  while (i < n) {
    if (matched == 0) {
      if (n - i < m) return WideView::npos;
      const char16_t* hit =
          std::char_traits<char16_t>::find(text.data() + i, n - i, pattern[0]);
      if (!hit) return WideView::npos;
      i = static_cast<size_t>(hit - text.data()) + 1;
      matched = 1;
    } else if (text[i] == pattern[matched]) {
      ++i;
      ++matched;
    } else {
      matched = border[matched - 1];
      continue;
    }
    if (matched == m) return i - m;
  }
  return WideView::npos;
}

// Calls onMatch(index) for each non-overlapping occurrence, left to right.
template <typename OnMatch>
void ForEachOccurrence(WideView text, WideView pattern, OnMatch onMatch) {
  BorderTable border(pattern);
  size_t at = 0;
  for (;;) {
    size_t hit = SearchFrom(text, pattern, at, border.get());
    if (hit == WideView::npos) return;
    onMatch(hit);
    at = hit + pattern.size();
  }
}

bool InSet(WideView set, char16_t unit) { return set.find(unit) != WideView::npos; }

}  // namespace

int FindText(WideView text, WideView pattern, int start) {
  if (start < 0) start = 0;
  const size_t from = static_cast<size_t>(start);
  if (from > text.size()) return -1;
  if (pattern.empty()) return start;
  if (pattern.size() == 1) {
    size_t hit = text.find(pattern[0], from);
    return hit == WideView::npos ? -1 : static_cast<int>(hit);
  }
  BorderTable border(pattern);
  size_t hit = SearchFrom(text, pattern, from, border.get());
  return hit == WideView::npos ? -1 : static_cast<int>(hit);
}

int ReplaceAll(WideString& text, WideView pattern, WideView replacement) {
  if (pattern.empty()) return 0;
  try {
    std::vector<size_t> hits;
    ForEachOccurrence(text, pattern, [&](size_t at) { hits.push_back(at); });
    if (hits.empty()) return 0;
    if (replacement.size() <= pattern.size()) {
      // The text does not grow: compact it in place, without a second buffer.
      size_t write = 0;
      size_t read = 0;
      for (size_t at : hits) {
        std::char_traits<char16_t>::move(&text[write], text.data() + read, at - read);
        write += at - read;
        std::char_traits<char16_t>::copy(&text[write], replacement.data(), replacement.size());
        write += replacement.size();
        read = at + pattern.size();
      }
      std::char_traits<char16_t>::move(&text[write], text.data() + read, text.size() - read);
      text.resize(write + text.size() - read);
      return static_cast<int>(hits.size());
    }
    WideString result;
    result.reserve(text.size() - hits.size() * pattern.size() +
                   hits.size() * replacement.size());
    size_t copied = 0;
    for (size_t at : hits) {
      result.append(text, copied, at - copied);
      result.append(replacement);
      copied = at + pattern.size();
    }
    result.append(text, copied, WideString::npos);
    text.swap(result);
    return static_cast<int>(hits.size());
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

WideString MidText(WideView text, int first, int count) {
  if (first < 0) first = 0;
  if (count < 0) count = 0;
  if (static_cast<size_t>(first) >= text.size()) return WideString();
  return WideString(text.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

WideString LeftText(WideView text, int count) {
  if (count < 0) count = 0;
  return WideString(text.substr(0, static_cast<size_t>(count)));
}

WideString RightText(WideView text, int count) {
  if (count < 0) count = 0;
  const size_t take = std::min(text.size(), static_cast<size_t>(count));
  return WideString(text.substr(text.size() - take));
}

void TrimLeadingChars(WideString& text, WideView set) {
  size_t keepFrom = 0;
  while (keepFrom < text.size() && InSet(set, text[keepFrom])) ++keepFrom;
  text.erase(0, keepFrom);
}

void TrimTrailingChars(WideString& text, WideView set) {
  size_t keep = text.size();
  while (keep > 0 && InSet(set, text[keep - 1])) --keep;
  text.erase(keep);
}
