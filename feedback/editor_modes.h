// The two editor modes that follow the Scroll Lock and Num Lock keys. They are the
// program's own state (the settings AdvancedEditing and PointMode, kept in velto.ini):
// the keys and the commands flip them; the keyboard's lock lights are never touched.
// UI thread only.
#pragma once

// Flip advanced editing (Scroll Lock) or dot entry (Num Lock).
void PressScrollLock();
void PressNumLock();

bool ScrollLockOn();
bool NumLockOn();

// Set a mode outright (start-up, tests).
void SetScrollLock(bool on);
void SetNumLock(bool on);
