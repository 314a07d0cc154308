// How the service is known to the service manager and to the people who see it there.
#pragma once

constexpr const wchar_t* kServiceName = L"VornIdReader";
constexpr const wchar_t* kServiceDisplayName = L"VornIdReaderService";
constexpr const wchar_t* kServiceDescription = L"此服响应来自本机网络关于二代证阅读器读卡请求";
