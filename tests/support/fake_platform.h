#pragma once

#include "platform/platform.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace tunex::test {

// Records everything a page asks of the desktop. Messages are answered from a script of
// expected messages; one that was not expected fails the running test, and so does an expected
// message or a file-dialog answer still waiting when the fake goes, so no test can forget to
// check. Declare the fake before whatever holds it, so that a page closing at the end of a test
// is still heard.
class FakePlatform final : public Platform {
public:
    struct Expected {
        UserMessage message;
        MessageAnswer answer = MessageAnswer::Ok;
    };

    FakePlatform() = default;
    ~FakePlatform() override;
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

    void expectMessage(const UserMessage& message, MessageAnswer answer = MessageAnswer::Ok) {
        expected_.push_back({message, answer});
    }
    [[nodiscard]] bool allExpectedShown() const { return expected_.empty(); }

    MessageAnswer showMessage(const MessageRequest& request) override;
    std::optional<std::filesystem::path> openFileName(const FileDialogRequest& request) override;
    std::optional<std::filesystem::path> saveFileName(const FileDialogRequest& request) override;
    void setClipboardText(const std::string& text) override { clipboard = text; }
    LaunchResult openMediaFile(const std::filesystem::path& file) override {
        launched.push_back(file);
        return launchResult;
    }
    bool openHelpPage(const std::filesystem::path& page, std::string_view section) override {
        helpPages.push_back(page);
        helpSections.emplace_back(section);
        return browserAvailable;
    }
    std::vector<Volume> volumes() override { return mountedVolumes; }
    std::optional<Volume> volumeOf(const std::filesystem::path& path) override;
    std::filesystem::path desktopFolder() override { return desktop; }
    int profileInt(const std::string& key, int fallback) override;
    void setProfileInt(const std::string& key, int value) override { profile[key] = value; }
    std::optional<std::string> profileBytes(const std::string& key) override {
        const auto found = profileData.find(key);
        return found == profileData.end() ? std::nullopt
                                          : std::optional<std::string>(found->second);
    }
    void setProfileBytes(const std::string& key, const std::string& value) override {
        profileData[key] = value;
    }

    // What was shown and done, for assertions.
    std::vector<MessageRequest> shown;
    std::vector<FileDialogRequest> fileDialogs;
    std::string clipboard;
    std::vector<std::filesystem::path> launched;
    std::vector<std::filesystem::path> helpPages;
    std::vector<std::string> helpSections;
    std::map<std::string, int> profile;
    std::map<std::string, std::string> profileData;

    // How the fake desktop answers.
    std::deque<std::optional<std::filesystem::path>> fileDialogAnswers;
    LaunchResult launchResult = LaunchResult::Started;
    bool browserAvailable = true;
    std::vector<Volume> mountedVolumes;
    std::filesystem::path desktop = "/tmp";

private:
    std::optional<std::filesystem::path> nextFileDialogAnswer(const FileDialogRequest& request);

    std::deque<Expected> expected_;
};

}  // namespace tunex::test
