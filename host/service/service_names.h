// How the service is known to the service manager and to the people who see it there.
#pragma once

namespace vorn {

constexpr const wchar_t* kServiceName = L"VornIdReader";
constexpr const wchar_t* kServiceDisplayName = L"VornIdReaderService";
constexpr const wchar_t* kServiceDescription = L"此服响应来自本机网络关于二代证阅读器读卡请求";

// After a failure the service manager starts the service again: soon after the first two
// failures, a minute after each further one, and the count starts afresh after a day
// without a failure. "-install" and the installer package set the same.
constexpr unsigned long kRestartDelaysMilliseconds[] = {5000, 10000, 60000};
constexpr unsigned long kFailureCountResetSeconds = 24 * 60 * 60;

}  // namespace vorn
