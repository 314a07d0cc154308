// What the Windows package's setup actions make of the values an administrator passes to
// msiexec: the data handed to a deferred action, the settings checked before config.ini is
// written, and the browsers' native-messaging host manifests.
#pragma once

#include <optional>
#include <string>
#include <vector>

// The name browsers know the native-messaging host by, and its manifests beside the program.
constexpr const wchar_t* kHostName = L"com.vorn.idreader";
constexpr const wchar_t* kChromeManifestName = L"com.vorn.idreader.json";
constexpr const wchar_t* kFirefoxManifestName = L"com.vorn.idreader.firefox.json";

// Splits the data of a deferred action, fields joined by "|", into exactly `count` fields;
// nothing when the count differs (a value that itself held the separator).
std::optional<std::vector<std::wstring>> SplitActionData(const std::wstring& data,
                                                         std::size_t count);

// The entries of a comma-separated list, blanks around each removed, empty entries dropped.
std::vector<std::wstring> SplitList(const std::wstring& list);

// A value that may go into config.ini as it is: no line break or NUL, which would add lines
// of the administrator's choosing to the file.
bool IsSafeSettingValue(const std::wstring& value);
// A port the service can listen on: decimal, 1 to 65535.
bool IsValidPort(const std::wstring& value);
// The trace switch: "0" or "1".
bool IsValidLogSwitch(const std::wstring& value);

// A Chrome, Edge or Chromium extension id: 32 letters from "a" to "p".
bool IsValidChromeExtensionId(const std::wstring& id);
// A Firefox add-on id: an e-mail-like name or a GUID in braces, of the characters such ids
// use; nothing that could leave a JSON string.
bool IsValidFirefoxAddonId(const std::wstring& id);

// The manifests for the program at `program_path`, allowing the given extensions. Empty
// lists give manifests that allow no extension at all.
std::wstring ChromeManifest(const std::wstring& program_path,
                            const std::vector<std::wstring>& extension_ids);
std::wstring FirefoxManifest(const std::wstring& program_path,
                             const std::vector<std::wstring>& addon_ids);
