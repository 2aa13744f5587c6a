#include "support/fake_platform.h"

#include <gtest/gtest.h>

namespace tunex::test {

namespace {
const char* iconName(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Question:
            return "question";
        case MessageIcon::Error:
            return "error";
        case MessageIcon::Information:
            return "information";
        case MessageIcon::Warning:
            return "warning";
    }
    return "?";
}
}  // namespace

FakePlatform::~FakePlatform() {
    for (const Expected& left : expected_) {
        const UserMessage& message = left.message;
        ADD_FAILURE() << "expected message never shown [" << message.caption << "] ("
                      << iconName(message.icon) << "): " << message.text;
    }
    for (const auto& answer : fileDialogAnswers) {
        ADD_FAILURE() << "file dialog answer never asked for: "
                      << (answer ? answer->string() : std::string("(cancel)"));
    }
}

MessageAnswer FakePlatform::showMessage(const MessageRequest& request) {
    shown.push_back(request);
    const UserMessage& got = request.message;
    if (expected_.empty()) {
        ADD_FAILURE() << "unexpected message [" << got.caption << "] (" << iconName(got.icon)
                      << "): " << got.text;
        return request.buttons == MessageButtons::YesNo        ? MessageAnswer::No
               : request.buttons == MessageButtons::TwoChoices ? MessageAnswer::Cancel
                                                               : MessageAnswer::Ok;
    }
    const Expected next = expected_.front();
    expected_.pop_front();
    EXPECT_EQ(got.text, next.message.text);
    EXPECT_EQ(got.caption, next.message.caption);
    EXPECT_EQ(iconName(got.icon), std::string(iconName(next.message.icon)));
    return next.answer;
}

std::optional<std::filesystem::path> FakePlatform::nextFileDialogAnswer(
    const FileDialogRequest& request) {
    fileDialogs.push_back(request);
    if (fileDialogAnswers.empty()) {
        return std::nullopt;
    }
    auto answer = fileDialogAnswers.front();
    fileDialogAnswers.pop_front();
    return answer;
}

std::optional<std::filesystem::path> FakePlatform::openFileName(const FileDialogRequest& request) {
    return nextFileDialogAnswer(request);
}

std::optional<std::filesystem::path> FakePlatform::saveFileName(const FileDialogRequest& request) {
    return nextFileDialogAnswer(request);
}

std::optional<Volume> FakePlatform::volumeOf(const std::filesystem::path& path) {
    // The volume with the longest mount point that holds the path.
    const std::string text = path.string();
    std::optional<Volume> best;
    for (const Volume& volume : mountedVolumes) {
        const std::string mount = volume.mountPoint.string();
        if (text.compare(0, mount.size(), mount) == 0 &&
            (!best || mount.size() > best->mountPoint.string().size())) {
            best = volume;
        }
    }
    return best;
}

int FakePlatform::profileInt(const std::string& key, int fallback) {
    const auto found = profile.find(key);
    return found == profile.end() ? fallback : found->second;
}

}  // namespace tunex::test
