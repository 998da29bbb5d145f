// The clean-up algorithms done plainly, step by step: each bookmark and each address
// rebuilds the whole text and the searches start again. Quadratic, but obviously what
// the steps say; the tests and the benchmark compare the real operations against them.
// ExtractBodyContent is such a plain step already.
#pragma once

#include "convert/html_cleanup.h"

void PlainConvertBookmarks(WideString& html, const AnchorNameSource& newName);
void PlainLinkifyUrls(WideString& html);
