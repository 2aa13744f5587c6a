#include "gui/tags/cover_area.h"

#include "core/common/atomic_file.h"
#include "core/tags/cover_setting.h"
#include "platform/platform.h"
#include "platform/qt/qt_text.h"

#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include <utility>

namespace tunex {

namespace {

constexpr int kThumbnailSide = 96;

std::string picturesText(int pictures) {
    return std::to_string(pictures) + (pictures == 1 ? " picture" : " pictures") + " in the file";
}

}  // namespace

CoverArea::CoverArea(Platform& platform, std::filesystem::path file, QWidget* parent)
    : QFrame(parent),
      platform_(platform),
      file_(std::move(file)),
      thumbnail_(new QLabel(this)),
      description_(new QLabel(this)),
      set_(new QPushButton(QStringLiteral("Add..."), this)),
      remove_(new QPushButton(QStringLiteral("Remove"), this)),
      save_(new QPushButton(QStringLiteral("Save..."), this)) {
    setObjectName(QStringLiteral("cover"));
    setFrameShape(QFrame::StyledPanel);
    loaded_ = readCover(file_).value_or(CoverInfo{});
    thumbnail_->setFixedSize(kThumbnailSide, kThumbnailSide);
    thumbnail_->setAlignment(Qt::AlignCenter);
    thumbnail_->setFrameShape(QFrame::StyledPanel);
    description_->setWordWrap(true);
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Cover"), this), 0, 0);
    grid->addWidget(thumbnail_, 1, 0, 4, 1);
    grid->addWidget(description_, 1, 1);
    grid->addWidget(set_, 2, 1, Qt::AlignLeft);
    grid->addWidget(remove_, 3, 1, Qt::AlignLeft);
    grid->addWidget(save_, 4, 1, Qt::AlignLeft);
    grid->setColumnStretch(1, 1);
    connect(set_, &QPushButton::clicked, this, &CoverArea::onSet);
    connect(remove_, &QPushButton::clicked, this, &CoverArea::onRemove);
    connect(save_, &QPushButton::clicked, this, &CoverArea::onSave);
    showCover();
}

const std::optional<Picture>& CoverArea::shown() const {
    return edit_ ? *edit_ : loaded_.front;
}

void CoverArea::showCover() {
    const std::optional<Picture>& front = shown();
    // The count as the file will hold it once Update has written the change.
    int pictures = loaded_.pictures;
    if (edit_) {
        pictures += (edit_->has_value() ? 1 : 0) - (loaded_.front ? 1 : 0);
    }
    QPixmap image;
    if (front && image.loadFromData(reinterpret_cast<const uchar*>(front->bytes.data()),
                                    static_cast<uint>(front->bytes.size()))) {
        thumbnail_->setPixmap(image.scaled(kThumbnailSide, kThumbnailSide, Qt::KeepAspectRatio,
                                           Qt::SmoothTransformation));
    } else {
        thumbnail_->setPixmap({});
    }
    thumbnail_->setText(front ? QString() : QStringLiteral("No cover"));
    std::string text = front ? coverWords(front) : std::string("No cover");
    if (pictures > 0) {
        text += "\n" + picturesText(pictures);
    }
    description_->setText(toQString(text));
    set_->setText(front ? QStringLiteral("Replace...") : QStringLiteral("Add..."));
    remove_->setEnabled(front.has_value());
    save_->setEnabled(front.has_value());
}

void CoverArea::onSet() {
    FileDialogRequest request;
    request.title = "Choose a Cover Image";
    request.filters = {{"JPEG or PNG Image (*.jpg *.jpeg *.png)", "*.jpg *.jpeg *.png"},
                       {"All Files (*)", "*"}};
    request.initialFolder = file_.parent_path();
    const auto chosen = platform_.openFileName(request);
    if (!chosen) {
        return;
    }
    LoadedImage image = loadCoverImage(*chosen);
    if (!image.picture) {
        platform_.tell({image.problem, captionFor("Not a Cover Image"), MessageIcon::Warning});
        return;
    }
    edit_ = CoverEdit(std::move(image.picture));
    showCover();
}

void CoverArea::onRemove() {
    // Taking back a cover that was only chosen here leaves the file as it was.
    edit_ = loaded_.front ? std::optional<CoverEdit>(CoverEdit()) : std::nullopt;
    showCover();
}

void CoverArea::onSave() {
    const std::optional<Picture>& front = shown();
    if (!front) {
        return;
    }
    const auto facts = imageFacts(front->bytes);
    FileDialogRequest request;
    request.title = "Save Cover";
    const std::string suffix = facts && facts->kind == "PNG" ? "png" : "jpg";
    request.filters = {
        {std::string(facts ? facts->kind : "Image") + " Image (*." + suffix + ")", "*." + suffix},
        {"All Files (*)", "*"}};
    request.defaultSuffix = suffix;
    request.initialFolder = file_.parent_path();
    request.initialName = "cover." + suffix;
    const auto target = platform_.saveFileName(request);
    if (!target) {
        return;
    }
    AtomicFileWriter writer(*target);
    if (!writer.open() || !writer.write(front->bytes) || !writer.commit()) {
        platform_.tell(
            {"The cover could not be saved to " + target->string() + ": " + writer.error() + ".",
             captionFor("File Error"), MessageIcon::Error});
    }
}

}  // namespace tunex
