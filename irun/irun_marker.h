// The comment that the converter writes into every document it makes. The plug-in finds
// it by this exact text and puts its own comment in its place, so both sides share it.
#pragma once

#define IRUN_CONVERTER_MARKER_COMMENT \
  "<!-- Created by:Yarrin2Evernote irun RTF converter 1.0 https://yarrin2evernote.org/irun/ -->"
