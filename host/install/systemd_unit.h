// The program's systemd unit: where its file lies and the systemctl that manages it.
#pragma once

#include <string>
#include <vector>

namespace vorn {

// "VornIdReader.service".
std::string UnitName();
// The folder of unit files, and the unit's file in it.
std::string UnitDirectory();
std::string UnitPath();

// Runs systemctl with the arguments; returns its exit status (-1 when it could not be run)
// and, when asked, the first line of what it printed, and the first line of its complaint
// (standard error), which is then kept off the program's own.
int Systemctl(const std::vector<std::string>& arguments, std::string* first_line = nullptr,
              std::string* complaint = nullptr);
// Why the last Systemctl that returned -1 could not run it (an errno value).
int SystemctlSpawnError();

}  // namespace vorn
