// The choice box: a question answered by one of several buttons of its own words.
#pragma once

#include "feedback/message_box.h"

class QMessageBox;

// Names the box by its caption and its whole message, whatever its kind and lines: a
// screen reader says the name on opening (and skips a label the name holds).
void NameForScreenReaders(QMessageBox& box);

// Shows request.Text with one button per entry of request.Choices, the default one
// pressed by Enter. The index of the button pressed, or -1 when the box was closed.
int ShowChoiceBox(const TMessageBoxRequest& request);
