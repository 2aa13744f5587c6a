#pragma once

#include "core/store/store_paths.h"
#include "gui/app/app_context.h"
#include "gui/app/main_sheet.h"
#include "support/base_folder.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tunex::test {

// One record of a collection file as the catalogue stores it.
struct Song {
    explicit Song(std::string name, std::string id3 = {}, std::string folder = "/media/cd")
        : name(std::move(name)), folder(std::move(folder)), id3(std::move(id3)) {}

    std::string name;
    std::string folder;
    std::string type = "mp3";
    std::string id3;
    std::string size = "  3584.0";
    std::string date = "2003-11-16";
};

// Writes collection `index` with these songs; the settings' collection count is set separately.
inline void writeCollection(const BaseFolder& base, int index, const std::string& name,
                            const std::vector<Song>& songs) {
    std::string text = "**" + name + "\n";
    for (const Song& s : songs) {
        text += "<?>" + s.name + "<|>" + s.folder + "<:>" + s.type + "</>" + s.id3 + "<\\>" +
                s.size + "<*>" + s.date + "\n";
    }
    writeFile(StorePaths(base.path()).collectionFileName(index), text + "@*EOF");
}

// A base folder with the given collections, opened with the fake desktop, and the main sheet on
// it with every search page.
class SearchSheetTest : public ::testing::Test {
protected:
    void open(const std::vector<std::pair<std::string, std::vector<Song>>>& collections,
              const std::string& extraSettings = {}) {
        int total = 0;
        for (size_t i = 0; i < collections.size(); ++i) {
            writeCollection(base_, static_cast<int>(i), collections[i].first,
                            collections[i].second);
            total += static_cast<int>(collections[i].second.size());
        }
        base_.writeSettings("<ts>" + std::to_string(total) + "\n<tf>" +
                            std::to_string(collections.size()) + "\n<md>3000\n" + extraSettings +
                            "@*EOF\n");
        UserMessage failure;
        auto workspace = Workspace::open(base_.path(), failure);
        ASSERT_NE(workspace, nullptr) << failure.text;
        context_ = std::make_unique<AppContext>(platform_, std::move(workspace));
        sheet_ = std::make_unique<MainSheet>(*context_);
    }

    template <typename PageType>
    PageType& page(PageId tab) {
        auto* found = dynamic_cast<PageType*>(sheet_->page(tab));
        EXPECT_NE(found, nullptr);
        return *found;
    }

    void TearDown() override {
        sheet_.reset();  // writes the settings; a message there would fail the test
        EXPECT_TRUE(platform_.allExpectedShown());
    }

    BaseFolder base_;
    FakePlatform platform_;
    std::unique_ptr<AppContext> context_;
    std::unique_ptr<MainSheet> sheet_;
};

}  // namespace tunex::test
