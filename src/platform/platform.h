#pragma once

#include "core/common/user_message.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tunex {

// TwoChoices: two buttons captioned by the request's `choices`, answered Yes for the first and No
// for the second, and Cancel.
enum class MessageButtons { Ok, OkCancel, YesNo, TwoChoices };
enum class MessageAnswer { Ok, Cancel, Yes, No };

struct MessageRequest {
    UserMessage message;
    MessageButtons buttons = MessageButtons::Ok;
    std::array<std::string, 2> choices{};
};

// One entry of a file picker's type list: what the user reads ("Text File (*.txt)") and the
// patterns it stands for ("*.txt").
struct FileFilter {
    std::string description;
    std::string patterns;

    friend bool operator==(const FileFilter&, const FileFilter&) = default;
};

struct FileDialogRequest {
    std::string title;
    std::vector<FileFilter> filters;
    std::string defaultSuffix;
    std::filesystem::path initialFolder;
    std::string initialName;
};

enum class VolumeKind { Fixed, Removable, Optical, Network };

struct Volume {
    std::filesystem::path mountPoint;  // with a trailing "/"
    std::string label;
    VolumeKind kind = VolumeKind::Fixed;
};

// The result of handing a file to an application: started, no application for the file, or the
// application could not be started.
enum class LaunchResult { Started, NoAssociatedApplication, CouldNotStart };

// Everything the desktop provides. Pages get it through their constructor; tests hand them a
// recording fake.
class Platform {
public:
    Platform() = default;
    virtual ~Platform();
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;
    Platform(Platform&&) = delete;
    Platform& operator=(Platform&&) = delete;

    virtual MessageAnswer showMessage(const MessageRequest& request) = 0;
    virtual std::optional<std::filesystem::path> openFileName(const FileDialogRequest& request) = 0;
    virtual std::optional<std::filesystem::path> saveFileName(const FileDialogRequest& request) = 0;
    virtual void setClipboardText(const std::string& text) = 0;
    // Opens a file with the desktop's default application, then with a media player on the PATH.
    virtual LaunchResult openMediaFile(const std::filesystem::path& file) = 0;
    // Shows a local page in the desktop's browser, at `section` (an anchor of the page) when
    // given; false when no browser could be started.
    virtual bool openHelpPage(const std::filesystem::path& page, std::string_view section) = 0;
    virtual std::vector<Volume> volumes() = 0;
    virtual std::optional<Volume> volumeOf(const std::filesystem::path& path) = 0;
    virtual std::filesystem::path desktopFolder() = 0;
    // Integers of the application's profile, group "Settings" ("X", "Y" of the progress window).
    virtual int profileInt(const std::string& key, int fallback) = 0;
    virtual void setProfileInt(const std::string& key, int value) = 0;
    // Byte strings of the same profile (a window's geometry, a folder's path bytes); nothing when
    // the key was never set.
    virtual std::optional<std::string> profileBytes(const std::string& key) = 0;
    virtual void setProfileBytes(const std::string& key, const std::string& value) = 0;

    // Shorthand for the usual single-button message.
    void tell(const UserMessage& message) { showMessage({message, MessageButtons::Ok}); }
};

}  // namespace tunex
