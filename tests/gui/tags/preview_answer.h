#pragma once

#include "gui/tags/tag_preview_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tunex::test {

// What a preview dialog showed before the test answered it.
struct PreviewSeen {
    bool shown = false;
    std::string summary;
    std::vector<std::string> cells;  // row by row, left to right
    std::vector<std::string> skipped;
    int filesCounted = -1;      // the progress bar's range once the files were counted
    bool withinScreen = false;  // the whole dialog in the screen's available area
};

// Answers the next preview dialog, Apply or Cancel, once it holds its plan.
inline void answerNextPreview(bool apply, PreviewSeen& seen) {
    QTimer::singleShot(0, [apply, &seen] {
        auto* preview = qobject_cast<TagPreviewDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(preview, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([preview] { return preview->ready(); }, 10000));
        seen.shown = true;
        seen.summary = preview->summaryLabel()->text().toStdString();
        const TagPreviewModel& model = preview->model();
        for (int row = 0; row < model.rowCount(); ++row) {
            for (int column = 0; column < model.columnCount(); ++column) {
                seen.cells.push_back(model.index(row, column).data().toString().toStdString());
            }
        }
        for (int row = 0; row < preview->skippedList()->count(); ++row) {
            seen.skipped.push_back(preview->skippedList()->item(row)->text().toStdString());
        }
        seen.filesCounted = preview->progressBar()->maximum();
        seen.withinScreen =
            preview->screen()->availableGeometry().contains(preview->frameGeometry());
        (apply ? preview->applyButton() : preview->cancelButton())->click();
    });
}

}  // namespace tunex::test
