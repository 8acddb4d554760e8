// The colour scheme of velto.ini put on a window and on the controls it holds.
#pragma once

#include "songwindow/parts/window_colours.h"

class QWidget;

// Gives `window` the form colours and every widget inside it of a listed kind (by its
// exact class: a subclass does not count) that kind's colours; others are left alone.
void ApplyColours(QWidget& window, const TColourScheme& scheme);
// The same with the scheme read from the settings file now.
void ApplyColours(QWidget& window);
