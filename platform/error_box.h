// The one message box of the program: a reply too large for its buffer.
#pragma once

namespace vorn {

// Shows an error box with an OK button and waits until it is dismissed, where the process
// has a console or desktop of its own; elsewhere the text goes to standard error.
void ShowErrorBox(const char* text, const char* caption);

}  // namespace vorn
