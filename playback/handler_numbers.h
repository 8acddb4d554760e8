// Number conversions of the handler run-time: MIDI data bytes from handler values and
// numbers as the handler language prints them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The value brought into 0..128 by whole turns of 128 (exact for any finite value,
// whatever its size), keeping its fraction; nothing for NaN and the infinities.
std::optional<long double> WrapToMidiRange(long double value);

// A wrapped value rounded (halves to even) to a data byte 0..127: 127.5 gives 127.
uint8_t RoundedDataByte(long double wrapped);

// A number as the handler language prints it: at most 15 significant digits, "," as the
// decimal sign, an exponent only for very large or very small values ("1,5E20").
std::string FloatToStr(long double value);
