// The clean-up done step by step on whole texts, each step in its own pass over UTF-16:
// bookmarks, addresses, the body, mending, then ENML. The one pass is held against it.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "text/wide_string.h"

// The converter's document as a note's content: "<p>", the cleaned-up body, "</p>".
// Bookmarks without a name of their own are named by newName.
ByteString ReferencePageContent(std::string_view document,
                                const std::function<std::string()>& newName);

// The host's HTML code as a note's content, wrapped the same way.
ByteString ReferenceHostCodeContent(WideView code);
