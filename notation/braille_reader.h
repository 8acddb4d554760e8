// The Braille token reader: takes the next group of signs off a measure's text and
// classifies it, leaving per-voice notation state and pending signs in the context.
#pragma once

#include <cstdint>
#include <string>

#include "base/errors.h"
#include "notation/measure_text.h"
#include "notation/notation_state.h"

// Reads one sign group for the voice. The signs read are removed from text and appended
// to token (which is cleared first). step and octave are the voice's variables; value
// receives a cell value or an interval number; accidental the written (or remembered)
// accidental; tupletCounter and tupletNumber are set by tuplet signs. Modifier signs read
// on the way are left in ctx.PendingSigns. Errors set a code in errors and return None.
TSignKind ReadBrailleToken(TReaderContext& ctx, TMeasureText& text, std::string& token, int32_t& step,
                           int32_t& value, int32_t& octave, TKeySign& accidental, uint8_t& tupletCounter,
                           uint8_t& tupletNumber, TErrorRecord& errors, uint8_t voice);

// The clef signs, each read as a whole group.
bool IsClefSign(std::string_view sign);
