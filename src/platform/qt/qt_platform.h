#pragma once

#include "platform/platform.h"

namespace tunex {

// The platform on Qt and a Linux desktop.
class QtPlatform final : public Platform {
public:
    MessageAnswer showMessage(const MessageRequest& request) override;
    std::optional<std::filesystem::path> openFileName(const FileDialogRequest& request) override;
    std::optional<std::filesystem::path> saveFileName(const FileDialogRequest& request) override;
    void setClipboardText(const std::string& text) override;
    LaunchResult openMediaFile(const std::filesystem::path& file) override;
    bool openHelpPage(const std::filesystem::path& page, std::string_view section) override;
    std::vector<Volume> volumes() override;
    std::optional<Volume> volumeOf(const std::filesystem::path& path) override;
    std::filesystem::path desktopFolder() override;
    int profileInt(const std::string& key, int fallback) override;
    void setProfileInt(const std::string& key, int value) override;
    std::optional<std::string> profileBytes(const std::string& key) override;
    void setProfileBytes(const std::string& key, const std::string& value) override;
};

}  // namespace tunex
