// Helpers for tests that translate Braille text and look at the notes.
#pragma once

#include <string>
#include <vector>

#include "notation/note_record.h"

// One note as "KEY:NUM/DEN" (r for a rest, chord keys joined by "+"), voice by voice,
// measure by measure: result[measure - 1][voice - 1] lists the notes of that part.
using TPartNotes = std::vector<std::string>;
std::vector<std::vector<TPartNotes>> DescribeNotes(const TNoteList* list);

// "KEY:NUM/DEN" of one note.
std::string DescribeNote(const TNoteRec& note);
