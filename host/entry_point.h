// The program's start, shared by the Windows and Linux entry functions.
#pragma once

#include <string>
#include <vector>

// Runs the program with its arguments (without the program name); returns the exit code.
int RunProgram(const std::vector<std::wstring>& arguments);
