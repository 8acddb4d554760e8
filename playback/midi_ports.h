// The MIDI output ports: port 0 is the device chosen in the settings, ports 1..16 the
// additional outputs. Every send and every change of the channel books goes through
// one lock, so the player thread and auditions on the UI thread may send at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/midi_devices/midi_device.h"
#include "playback/player_state.h"

inline constexpr int kMidiPortCount = 17;

// The lock of all sends, of the port table and of GPlayer.Channels.
std::mutex& MidiSendLock();

// The clock for the retry waits here and for the player (borrowed; nullptr restores
// the steady clock). Changed only while nothing plays.
void SetPlaybackClock(TClock* clock);
TClock& PlaybackClock();

// The device list made by EnumMidiOutDevices: item i is the device that index i opens.
extern std::vector<TMidiOutDeviceItem> GMidiOutDeviceList;

// Lists the output devices into GMidiOutDeviceList and returns their names in the same
// order (the caller fills its combo box with them and selects item 0).
std::vector<std::string> EnumMidiOutDevices();

// Error 18 for `port` in GErrors, with the device's text.
void ReportMidiOutError(int port, const char* text);

// (Re)opens ports 0..GLastMidiOut: port 0 on item `device` of the device list, port p
// on item GMidiOutDevices[p] (a negative item is 0). The list is made first when
// empty. When a port fails, GErrors gets code 18 with the port in Extra and the ports
// after it stay closed; false then.
bool OpenMidiOuts(int32_t device);

// Resets the port's channels and the device and closes it, retrying a refused close
// 10 times 200 ms apart; the port is closed (its handle dropped) afterwards.
void CloseMidiOut(int port);

// True when the port is open.
bool MidiOutIsOpen(int port);

// Clears the channel's key books; sends controllers 120, 121 and 123 when the port is open.
void ResetChannel(int port, int channel);
// ResetChannel for channels 0..15.
void ResetPort(int port);
// Clears the channel's key books; sends controllers 120 and 123 (controllers keep their values).
void SilenceChannel(int port, int channel);
// SilenceChannel for every channel of ports 0..GLastMidiOut.
void SilenceAll();
// Turns every note of the device off (the device's own reset).
void ResetMidiDevice(int port);

// One note on or off with the channel's books: velocity offset, transposition (not on
// the drum channel nor a drum kit), mute, and the drum redirection of XG. A key that
// transposition takes outside 0..127 is dropped. A note off reaches the key that the
// note on actually sounded, whatever the transposition is now.
void SendNote(int port, bool on, int key, int channel, int velocity);
// Program change; a channel above 15 or a program above 127 is refused.
void SendProgramChange(int port, int channel, int program);
// Control change; keeps the channel's last controller and bank select.
void SendControlChange(int port, int channel, int controller, int value);
// Any other short message (pressure, pitch bend, system), sent as given.
void SendShortMessage(int port, uint8_t status, uint8_t data1, uint8_t data2);
// One System Exclusive message; `data` are the bytes after F0 (normally ending in F7).
void SendSysEx(int port, const uint8_t* data, size_t length);
// Mutes or unmutes a channel. Muting resets it; unmuting a channel other than the
// drum channel sounds the keys pressed while it was muted.
void MuteChannel(int port, int channel, bool mute);

// Byte order of the MIDI file reader.
uint16_t SwapBytes16(uint16_t value);
uint32_t SwapBytes32(uint32_t value);
