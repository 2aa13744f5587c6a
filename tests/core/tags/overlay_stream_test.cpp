#include "core/tags/overlay_stream.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <random>

#include "core/common/unique_fd.h"
#include "support/temp_dir.h"

namespace tunex {
namespace {

// The file after the splices, applied back to front so earlier offsets stay valid.
std::string applied(std::string file, const std::vector<Splice>& splices) {
    for (auto s = splices.rbegin(); s != splices.rend(); ++s) {
        file.replace(static_cast<std::size_t>(s->offset), static_cast<std::size_t>(s->length),
                     s->bytes);
    }
    return file;
}

TagLib::ByteVector bytesOf(std::string_view text) {
    return {text.data(), static_cast<unsigned int>(text.size())};
}

class OverlayStreamTest : public ::testing::Test {
protected:
    void open(const std::string& content) {
        original_ = content;
        const auto path = dir_ / "file";
        test::writeFile(path, content);
        fd_ = UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        ASSERT_TRUE(fd_);
        stream_ = std::make_unique<OverlayStream>(fd_.get(), std::ssize(content), path.string());
    }
    std::string whole() {
        stream_->seek(0);
        const TagLib::ByteVector all = stream_->readBlock(1U << 30);
        return {all.data(), all.size()};
    }

    test::TempDir dir_;
    std::string original_;
    UniqueFd fd_;
    std::unique_ptr<OverlayStream> stream_;
};

// Random writes, inserts, removals and truncations as TagLib makes them, checked against a
// plain string: reads see the edited content, and the splices turn the file into it.
TEST_F(OverlayStreamTest, RandomEditsReadBackAndSpliceIntoTheSameBytes) {
    std::mt19937 rng(20261207);
    for (int round = 0; round < 200; ++round) {
        std::string model(rng() % 300, '\0');
        for (char& c : model) {
            c = static_cast<char>('a' + rng() % 26);
        }
        open(model);
        for (int step = 0; step < 1 + static_cast<int>(rng() % 12); ++step) {
            const auto at = static_cast<long>(rng() % (model.size() + 20));
            const auto count = static_cast<unsigned long>(rng() % 40);
            std::string data(rng() % 30, '\0');
            for (char& c : data) {
                c = static_cast<char>('A' + rng() % 4);  // often equal to what it replaces
            }
            const auto start = std::min<std::size_t>(static_cast<std::size_t>(at), model.size());
            switch (rng() % 4) {
                case 0:  // a write past the end fills the gap with zeros
                    stream_->seek(at);
                    stream_->writeBlock(bytesOf(data));
                    if (static_cast<std::size_t>(at) > model.size()) {
                        model.resize(static_cast<std::size_t>(at), '\0');
                    }
                    model.replace(static_cast<std::size_t>(at), data.size(), data);
                    break;
                case 1:
                    stream_->insert(bytesOf(data), start, count);
                    model.replace(start, count, data);
                    break;
                case 2:
                    stream_->removeBlock(start, count);
                    model.erase(start, count);
                    break;
                default:
                    stream_->truncate(static_cast<long>(start));
                    model.resize(start);
                    break;
            }
            ASSERT_EQ(stream_->length(), std::ssize(model));
        }
        ASSERT_EQ(whole(), model) << "round " << round;
        stream_->seek(3);
        const TagLib::ByteVector part = stream_->readBlock(7);
        EXPECT_EQ(std::string(part.data(), part.size()),
                  model.substr(std::min<std::size_t>(3, model.size()), 7));
        std::vector<Splice> splices;
        ASSERT_TRUE(stream_->splices(splices));
        EXPECT_EQ(applied(original_, splices), model) << "round " << round;
        for (std::size_t i = 1; i < splices.size(); ++i) {
            EXPECT_GT(splices[i].offset, splices[i - 1].offset + splices[i - 1].length - 1);
        }
    }
}

// TagLib rewrites whole blocks; only what differs may reach the disk, so an unchanged tag
// writes nothing and a changed byte is one byte.
TEST_F(OverlayStreamTest, BytesWrittenBackUnchangedAreNoChange) {
    open("fLaC-header-comment-block-audio");
    stream_->insert(bytesOf("header-comment-block"), 5, 20);
    std::vector<Splice> splices;
    ASSERT_TRUE(stream_->splices(splices));
    EXPECT_TRUE(splices.empty());

    stream_->insert(bytesOf("header-Comment-block"), 5, 20);
    ASSERT_TRUE(stream_->splices(splices));
    ASSERT_EQ(splices.size(), 1U);
    EXPECT_EQ(splices[0].offset, 12);
    EXPECT_EQ(splices[0].length, 1);
    EXPECT_EQ(splices[0].bytes, "C");
}

}  // namespace
}  // namespace tunex
