// The read-card pipeline: command check, configuration, driver, find, read and reply.
#include "request/read_card.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <utility>

#include "card/sdt_buffer.h"
#include "card/sdt_func.h"
#include "diagnostics/trace_log.h"
#include "platform/error_box.h"
#include "platform/module_path.h"
#include "request/config.h"
#include "request/picture_stages.h"
#include "request/picture_warm_up.h"
#include "request/reply_document.h"

namespace vorn {

namespace {

constexpr int kResultFailed = -1;
constexpr std::size_t kMessageCapacity = 129;

constexpr const wchar_t* kModulePathFailed = L"获得模块路径失败.";
constexpr const wchar_t* kDriverLoadFailed = L"加载二代证设备库失败.";
constexpr const wchar_t* kFindFailedFormat = L"寻卡失败(%d).";
constexpr const wchar_t* kReadFailedFormat = L"读卡信息失败(%d).";

// Everything one request owns, released in the reverse order of its creation.
struct ReadCardCall {
    wchar_t message[kMessageCapacity] = {};
    int result = 0;
    CSdtFunc driver;
    CIdBufferW card;
    PictureTexts pictures;

    void Fail(int code, const wchar_t* format) {
        result = code;
        std::swprintf(message, kMessageCapacity, format, code);
    }

    void SetMessage(const wchar_t* text) {
        std::wcsncpy(message, text, kMessageCapacity - 1);
        message[kMessageCapacity - 1] = L'\0';
    }

    // Runs the driver stages; a failing stage sets the result and the message.
    void ReadCard(const std::string& directory) {
        int code = driver.CreateDefault(directory.c_str());
        if (code != 0) {
            result = code;
            SetMessage(kDriverLoadFailed);
            return;
        }
        // The driver waits before it looks for the card; the pictures' set-up runs meanwhile.
        PictureWarmUp warm_up(directory);
        code = driver.FindAndSelectCard();
        if (code != 0) {
            Fail(code, kFindFailedFormat);
            return;
        }
        code = driver.ReadIDCard();
        if (code != 0) {
            Fail(code, kReadFailedFormat);
            return;
        }
        card.CopyFrom(driver.Record());
        // The picture stages follow the copy of the record and may still fail the request.
        PictureOutcome outcome = RunPictureStages(directory, card, &warm_up);
        pictures = std::move(outcome.pictures);
        if (!outcome.complete()) {
            result = outcome.code;
            SetMessage(outcome.message);
        }
    }
};

// Copies the reply with its terminator, never past the capacity. A reply that does not fit
// is replaced by a short failure reply, so the client still learns that the read failed.
void CopyReply(const std::string& text, char* reply, std::int32_t capacity,
               const ReplyTooLargeNotifier& notify) {
    auto room = static_cast<std::size_t>(capacity);
    if (text.size() < room) {
        std::memcpy(reply, text.c_str(), text.size() + 1);
        return;
    }
    if (notify) {
        notify(kReplyTooLargeText, kReplyTooLargeCaption);
    }
    CIdBufferW empty_card;
    std::wstring message(kReplyTooLargeText, kReplyTooLargeText + std::strlen(kReplyTooLargeText));
    std::string fallback =
        WriteReplyText(BuildReplyDocument(kResultFailed, message.c_str(), empty_card, {}));
    if (fallback.size() < room) {
        std::memcpy(reply, fallback.c_str(), fallback.size() + 1);
    } else {
        reply[0] = '\0';
    }
}

}  // namespace

int ExecuteCommand(const char* command, char* reply, std::int32_t capacity) {
    return ExecuteCommand(command, reply, capacity, ShowErrorBox);
}

int ExecuteCommand(const char* command, char* reply, std::int32_t capacity,
                   const ReplyTooLargeNotifier& notify) {
    if (command == nullptr || reply == nullptr || capacity <= 0) {
        return kExecuteBadArguments;
    }
    if (std::strcmp(command, kReadCardCommand) != 0) {
        return kExecuteUnknownCommand;
    }
    if (IsTraceLogConfigured(ConfigFilePath())) {
        EnableTraceLog();
    }
    std::string text;
    {
        ReadCardCall call;
        std::string directory = ModuleDirectory();
        if (directory.empty()) {
            // Without its directory the program cannot find the driver: a failed read.
            call.result = kResultFailed;
            call.SetMessage(kModulePathFailed);
        } else {
            call.ReadCard(directory);
        }
        text =
            WriteReplyText(BuildReplyDocument(call.result, call.message, call.card, call.pictures));
        CopyReply(text, reply, capacity, notify);
        // The trace ends before the driver is unbound, as the request's last traced step.
        if (ActiveTraceLog() != nullptr) {
            ReleaseTraceLog();
        }
    }
    return kExecuteReplied;
}

}  // namespace vorn
