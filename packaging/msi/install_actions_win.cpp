// The package's own setup steps that Windows Installer's tables cannot express: config.ini
// from the administrator's properties, the reader maker's libraries copied in, the browsers'
// host manifests, the service's description and recovery, and what the program left behind
// removed on a real uninstall. The steps that change the machine run deferred, as the local
// system account, with their values in CustomActionData (fields joined by "|", set by the
// package); only the upgrade mark is set in the installation's first, immediate phase.
#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include <iterator>
#include <string>
#include <vector>

#include "host/service/service_names.h"
#include "packaging/msi/install_settings.h"
#include "platform/handles_win.h"
#include "request/config.h"

using namespace vorn;

namespace {

constexpr const wchar_t* kConfigName = L"config.ini";
constexpr const wchar_t* kTraceFolderName = L"QD_LOG";
// The libraries copied from the administrator's folder, one name a line, so that a real
// uninstall removes exactly those.
constexpr const wchar_t* kCopiedListName = L"copied-libraries.txt";
// Set by a newer package before it removes the older one, so that the older package's
// removal tells an upgrade from a real uninstall even where Windows Installer does not say
// so (Wine starts that removal as a plain uninstall). The newer package clears it again.
constexpr const wchar_t* kUpgradeMarkKey = L"SOFTWARE\\VornIdReader";
constexpr const wchar_t* kUpgradeMarkValue = L"UpgradeInProgress";


std::wstring Widen(const char* text) {
    return std::wstring(text, text + std::char_traits<char>::length(text));
}

// A line in the installer's log (msiexec /l*v).
void Log(MSIHANDLE install, const std::wstring& text) {
    PMSIHANDLE record = MsiCreateRecord(1);
    std::wstring line = L"VornIdReader setup: " + text;
    MsiRecordSetStringW(record, 0, line.c_str());
    MsiProcessMessage(install, INSTALLMESSAGE_INFO, record);
}

std::wstring ActionData(MSIHANDLE install) {
    DWORD size = 0;
    wchar_t empty[1] = {};
    MsiGetPropertyW(install, L"CustomActionData", empty, &size);
    std::wstring value(size + 1, L'\0');
    DWORD room = size + 1;
    if (MsiGetPropertyW(install, L"CustomActionData", value.data(), &room) != ERROR_SUCCESS) {
        return {};
    }
    value.resize(room);
    return value;
}

bool WriteUtf8File(const std::wstring& path, const std::wstring& text) {
    int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                     nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(),
                        length, nullptr, nullptr);
    FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

std::wstring ReadUtf8File(const std::wstring& path) {
    std::string bytes;
    DWORD read = 0;
    {
        FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            return {};
        }
        bytes.assign(GetFileSize(file.get(), nullptr), '\0');
        if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
            read = 0;
        }
    }
    int length = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(read), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(read), text.data(), length);
    return text;
}

bool FileExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring WithSlash(std::wstring folder) {
    if (!folder.empty() && folder.back() != L'\\') {
        folder += L'\\';
    }
    return folder;
}

bool UpgradeMarked() {
    DWORD mark = 0;
    DWORD size = sizeof(mark);
    return RegGetValueW(HKEY_LOCAL_MACHINE, kUpgradeMarkKey, kUpgradeMarkValue, RRF_RT_REG_DWORD,
                        nullptr, &mark, &size) == ERROR_SUCCESS &&
           mark != 0;
}

void ClearUpgradeMark() {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUpgradeMarkKey, 0, KEY_SET_VALUE, &opened) ==
        ERROR_SUCCESS) {
        RegistryKey key(opened);
        RegDeleteValueW(key.get(), kUpgradeMarkValue);
    }
}

UINT Fail(MSIHANDLE install, const std::wstring& text) {
    Log(install, text);
    return ERROR_INSTALL_FAILURE;
}

}  // namespace

// Immediate, in a newer package that found an older one installed: marks the upgrade
// before the older package is removed.
extern "C" __declspec(dllexport) UINT __stdcall MarkUpgrade(MSIHANDLE install) {
    HKEY created = nullptr;
    const bool opened = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUpgradeMarkKey, 0, nullptr, 0,
                                        KEY_SET_VALUE, nullptr, &created, nullptr) == ERROR_SUCCESS;
    RegistryKey key(opened ? created : nullptr);
    DWORD mark = 1;
    if (!key || RegSetValueExW(key.get(), kUpgradeMarkValue, 0, REG_DWORD,
                               reinterpret_cast<BYTE*>(&mark), sizeof(mark)) != ERROR_SUCCESS) {
        return Fail(install, L"cannot mark the upgrade");
    }
    return ERROR_SUCCESS;
}

// Rollback of an upgrade that failed: the older package is back and owns its files again.
extern "C" __declspec(dllexport) UINT __stdcall ForgetUpgrade(MSIHANDLE) {
    ClearUpgradeMark();
    return ERROR_SUCCESS;
}

// Data: install folder | PORT | LOG | ALLOWED_ORIGINS. Only values the administrator gave are
// written, so an upgrade keeps every setting edited since; a missing key means its default.
extern "C" __declspec(dllexport) UINT __stdcall WriteSettings(MSIHANDLE install) {
    // The older package is gone by now: whatever it left stays.
    ClearUpgradeMark();
    auto fields = SplitActionData(ActionData(install), 4);
    if (!fields) {
        return Fail(install, L"a setting holds the character |");
    }
    const std::wstring path = WithSlash((*fields)[0]) + kConfigName;
    const std::wstring& port = (*fields)[1];
    const std::wstring& log = (*fields)[2];
    const std::wstring& origins = (*fields)[3];
    if (!port.empty() && !IsValidPort(port)) {
        return Fail(install, L"PORT must be a number from 1 to 65535, not \"" + port + L"\"");
    }
    if (!log.empty() && !IsValidLogSwitch(log)) {
        return Fail(install, L"LOG must be 0 or 1, not \"" + log + L"\"");
    }
    if (!IsSafeSettingValue(origins)) {
        return Fail(install, L"ALLOWED_ORIGINS must be one line");
    }
    if (!FileExists(path) && !WriteUtf8File(path, L"[" + Widen(kConfigSection) + L"]\r\n")) {
        return Fail(install, L"cannot create " + path);
    }
    const std::wstring bind = Widen(kConfigSection);
    bool ok = true;
    if (!port.empty()) {
        ok &= WritePrivateProfileStringW(bind.c_str(), Widen(kConfigKeyPort).c_str(), port.c_str(),
                                         path.c_str()) != FALSE;
    }
    if (!log.empty()) {
        ok &= WritePrivateProfileStringW(bind.c_str(), Widen(kConfigKeyLog).c_str(), log.c_str(),
                                         path.c_str()) != FALSE;
    }
    if (!origins.empty()) {
        ok &= WritePrivateProfileStringW(Widen(kSecuritySection).c_str(),
                                         Widen(kConfigKeyAllowedOrigins).c_str(), origins.c_str(),
                                         path.c_str()) != FALSE;
    }
    // The program traces only into a folder that exists; it never makes one itself.
    if (log == L"1") {
        std::wstring traces = WithSlash((*fields)[0]) + kTraceFolderName;
        if (!CreateDirectoryW(traces.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            ok = false;
        }
    }
    return ok ? ERROR_SUCCESS : Fail(install, L"cannot write " + path);
}

// Data: install folder | LIBRARYDIR. Copies every .dll of the folder beside the program.
extern "C" __declspec(dllexport) UINT __stdcall CopyLibraries(MSIHANDLE install) {
    auto fields = SplitActionData(ActionData(install), 2);
    if (!fields) {
        return Fail(install, L"LIBRARYDIR holds the character |");
    }
    const std::wstring target = WithSlash((*fields)[0]);
    const std::wstring source = WithSlash((*fields)[1]);
    WIN32_FIND_DATAW found = {};
    FileSearch search(FindFirstFileW((source + L"*.dll").c_str(), &found));
    if (!search) {
        return Fail(install, L"no .dll found in LIBRARYDIR " + source);
    }
    std::wstring copied;
    bool ok = true;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            continue;
        }
        std::wstring name = found.cFileName;
        if (CopyFileW((source + name).c_str(), (target + name).c_str(), FALSE)) {
            Log(install, L"copied " + source + name);
            copied += name + L"\r\n";
        } else {
            ok = false;
            Log(install, L"cannot copy " + source + name);
        }
    } while (FindNextFileW(search.get(), &found));
    search.reset();
    // A later package may copy again: the list keeps the names of every copy.
    std::wstring list_path = target + kCopiedListName;
    if (!WriteUtf8File(list_path, ReadUtf8File(list_path) + copied)) {
        ok = false;
    }
    return ok ? ERROR_SUCCESS : Fail(install, L"copying the libraries failed");
}

// Data: install folder | CHROME_EXTENSION_IDS | FIREFOX_ADDON_IDS.
extern "C" __declspec(dllexport) UINT __stdcall WriteBrowserManifests(MSIHANDLE install) {
    auto fields = SplitActionData(ActionData(install), 3);
    if (!fields) {
        return Fail(install, L"an extension id holds the character |");
    }
    const std::wstring folder = WithSlash((*fields)[0]);
    std::vector<std::wstring> chrome_ids = SplitList((*fields)[1]);
    std::vector<std::wstring> firefox_ids = SplitList((*fields)[2]);
    for (const auto& id : chrome_ids) {
        if (!IsValidChromeExtensionId(id)) {
            return Fail(install, L"not an extension id: \"" + id + L"\"");
        }
    }
    for (const auto& id : firefox_ids) {
        if (!IsValidFirefoxAddonId(id)) {
            return Fail(install, L"not an add-on id: \"" + id + L"\"");
        }
    }
    const std::wstring program = folder + L"VornIdReader.exe";
    if (!WriteUtf8File(folder + kChromeManifestName, ChromeManifest(program, chrome_ids)) ||
        !WriteUtf8File(folder + kFirefoxManifestName, FirefoxManifest(program, firefox_ids))) {
        return Fail(install, L"cannot write the host manifests in " + folder);
    }
    return ERROR_SUCCESS;
}

// The description and recovery that "-install" gives the service as well.
extern "C" __declspec(dllexport) UINT __stdcall ConfigureService(MSIHANDLE install) {
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        return Fail(install, L"cannot open the service manager");
    }
    ServiceHandle service(
        OpenServiceW(manager.get(), kServiceName, SERVICE_CHANGE_CONFIG | SERVICE_START));
    if (!service) {
        return Fail(install, L"the service is not installed");
    }
    SERVICE_DESCRIPTIONW description = {const_cast<LPWSTR>(kServiceDescription)};
    bool ok = ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, &description);
    SC_ACTION actions[std::size(kRestartDelaysMilliseconds)] = {};
    for (std::size_t i = 0; i < std::size(kRestartDelaysMilliseconds); ++i) {
        actions[i] = {SC_ACTION_RESTART, kRestartDelaysMilliseconds[i]};
    }
    SERVICE_FAILURE_ACTIONSW recovery = {};
    recovery.dwResetPeriod = kFailureCountResetSeconds;
    recovery.cActions = static_cast<DWORD>(std::size(actions));
    recovery.lpsaActions = actions;
    ok = ok && ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_FAILURE_ACTIONS, &recovery);
    // A start that fails without a crash counts as a failure too. Older service managers do
    // not know the setting; the restarts after a crash stay.
    SERVICE_FAILURE_ACTIONS_FLAG on_error = {TRUE};
    if (!ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &on_error)) {
        Log(install, L"recovery after failures without a crash not set");
    }
    return ok ? ERROR_SUCCESS : Fail(install, L"cannot set the service's recovery");
}

// Data: install folder. Runs on a real uninstall only, never while an upgrade removes the
// older package: config.ini, the copied libraries and the trace files go with the program.
extern "C" __declspec(dllexport) UINT __stdcall RemoveLeftovers(MSIHANDLE install) {
    const std::wstring folder = WithSlash(ActionData(install));
    if (folder.size() < 2) {
        return ERROR_SUCCESS;
    }
    if (UpgradeMarked()) {
        Log(install, L"an upgrade: the settings and libraries stay");
        return ERROR_SUCCESS;
    }
    DeleteFileW((folder + kConfigName).c_str());
    std::wstring list_path = folder + kCopiedListName;
    const std::wstring names = ReadUtf8File(list_path);
    std::size_t start = 0;
    while (start < names.size()) {
        std::size_t end = names.find(L"\r\n", start);
        if (end == std::wstring::npos) {
            end = names.size();
        }
        std::wstring name = names.substr(start, end - start);
        // Only plain names of this folder, whatever the list was made to hold.
        if (!name.empty() && name.find_first_of(L"\\/:") == std::wstring::npos && name != L"." &&
            name != L"..") {
            DeleteFileW((folder + name).c_str());
        }
        start = end + 2;
    }
    DeleteFileW(list_path.c_str());
    const std::wstring traces = folder + kTraceFolderName + L"\\";
    WIN32_FIND_DATAW found = {};
    FileSearch search(FindFirstFileW((traces + L"*").c_str(), &found));
    if (search) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                DeleteFileW((traces + found.cFileName).c_str());
            }
        } while (FindNextFileW(search.get(), &found));
    }
    search.reset();
    RemoveDirectoryW(traces.c_str());
    Log(install, L"removed the settings and files the program made in " + folder);
    return ERROR_SUCCESS;
}
