#pragma once

#include "platform/qt/qt_paths.h"
#include "platform/qt/qt_text.h"

#include <QString>

#include <filesystem>

namespace tunex {

// A path shown in an edit box. Qt shows a name that is not valid UTF-8 with U+FFFD in it, so the
// path's bytes are kept beside the text they were shown as and used for as long as the box still
// shows that text; typed text is taken for the file it names.
class ShownPath final {
public:
    // The text to put in the box.
    [[nodiscard]] QString show(const std::filesystem::path& path) {
        path_ = path;
        shown_ = pathToQString(path);
        return shown_;
    }

    [[nodiscard]] std::filesystem::path read(const QString& text) const {
        if (!shown_.isNull() && text == shown_) {
            return path_;
        }
        return pathFromText(text);
    }

private:
    std::filesystem::path path_;
    QString shown_;
};

}  // namespace tunex
