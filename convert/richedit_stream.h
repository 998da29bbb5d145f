// Rich text in and out of a rich edit control ("RICHEDIT20W") as RTF bytes, through the
// control's streaming messages. Nothing is kept between calls.
#pragma once

#include <windows.h>

#include "text/wide_string.h"
#include "win/system_pieces.h"

// Which part of the control's text an operation covers.
enum class RichEditPart { kWholeText, kSelection };

// Characters in the whole text, or in the selection whichever way it was made.
LONG RichEditTextLength(HWND richEdit, RichEditPart part);

// The RTF of the whole text or of the selection, cut at the first zero byte. Empty when
// there is nothing to stream (no text, a collapsed selection, not a rich edit), when the
// control streamed nothing, or when memory ran out on the way.
ByteString CaptureRichEditRtf(HWND richEdit, RichEditPart part);

// The same RTF in blocks from the system, for a page that is converted piece by piece
// and let go as it is read. Empty as above.
SystemPieces CaptureRichEditRtfPieces(HWND richEdit, RichEditPart part);

// Replaces the control's whole content with rtf up to its first zero byte. True when the
// control read at least one character.
bool LoadRichEditRtf(HWND richEdit, const ByteString& rtf);
