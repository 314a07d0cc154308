#include "host/version_message.h"

#include <json/value.h>
#include <json/writer.h>

#include <cstring>

#include "host/program_version.h"
#include "request/read_card.h"
#include "request/reply_document.h"
#include "websocket/card_watch.h"

namespace vorn {

std::string VersionDocumentText() {
    Json::Value document(Json::objectValue);
    document[version_reply::kName] = ProgramName();
    document[version_reply::kVersion] = ProgramVersion();
    document[version_reply::kReplyFormat] = kReplyFormatVersion;
    Json::Value& messages = document[version_reply::kMessages] = Json::Value(Json::arrayValue);
    messages.append(kReadCardCommand);
    messages.append(kUnwatchMessage);
    messages.append(kVersionCommand);
    messages.append(kWatchMessage);
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    return Json::writeString(writer, document);
}

bool AnswerVersionMessage(const char* command, char* reply, std::int32_t capacity, int& result) {
    if (command == nullptr || std::strcmp(command, kVersionCommand) != 0) {
        return false;
    }
    const std::string text = VersionDocumentText();
    if (reply == nullptr || capacity <= 0 || text.size() >= static_cast<std::size_t>(capacity)) {
        result = kExecuteBadArguments;
        return true;
    }
    std::memcpy(reply, text.c_str(), text.size() + 1);
    result = kExecuteReplied;
    return true;
}

}  // namespace vorn
