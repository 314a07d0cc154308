// The program's lines for a person at a console: usage, dispatcher failure, installer steps.
#pragma once

namespace vorn {

// True when standard output is a console or terminal. A browser reads the native-messaging
// reply from standard output as frames, so nothing else may be written there then.
bool StandardOutputIsConsole();

// Formats a wide printf-style text (%ls for wide strings) and writes it to standard output
// as UTF-8, through the same byte stream that carries native-messaging frames.
void ConsolePrint(const wchar_t* format, ...);

}  // namespace vorn
