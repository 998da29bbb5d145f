// Rich text in and out of a rich edit control ("RICHEDIT20W") as RTF bytes, through the
// control's streaming messages. Nothing is kept between calls.
#pragma once

#include <windows.h>

#include "win/system_pieces.h"

// Which part of the control's text an operation covers.
enum class RichEditPart { kWholeText, kSelection };

// Characters in the whole text, or in the selection whichever way it was made.
LONG RichEditTextLength(HWND richEdit, RichEditPart part);

// The RTF of the whole text or of the selection, cut at the first zero byte, in blocks from
// the system as the control streams it out (nothing is reserved ahead, nothing copied to
// grow). Empty when there is nothing to stream (no text, a collapsed selection, not a
// rich edit), when the control streamed nothing, or when memory ran out on the way.
SystemPieces CaptureRichEditRtfPieces(HWND richEdit, RichEditPart part);

// Replaces the control's whole content with rtf up to its first zero byte, giving each
// block back as soon as the control has read it. True when the control read at least one
// character.
bool LoadRichEditRtf(HWND richEdit, SystemPieces rtf);
