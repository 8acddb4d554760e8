// The colour scheme of velto.ini put on a window and on the controls it holds.
#pragma once

#include "songwindow/parts/window_colours.h"

class QWidget;

// Gives `window` the form colours and every control inside it of a listed kind (by its
// exact class: a subclass does not count) that kind's colours; others are left alone, and
// so are the widgets a control is made of (a spin box's line edit).
void ApplyColours(QWidget& window, const TColourScheme& scheme);
// The same with the scheme read from the settings file now.
void ApplyColours(QWidget& window);
