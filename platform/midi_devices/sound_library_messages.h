// The messages that the sound and MIDI libraries (ALSA, JACK, FluidSynth, RtMidi) print on
// their own. They stay quiet unless asked for, and no library starts a JACK server.
#pragma once

// Installs the libraries' message handlers and keeps JACK from starting a server (for
// FluidSynth's audio driver and RtMidi alike). The device backends call it before they
// first use a library; calling it again does nothing.
void QuietSoundLibraries();

// Whether the libraries' messages reach stderr (velto --verbose); off by default.
void ShowSoundLibraryMessages(bool shown);
bool SoundLibraryMessagesShown();
