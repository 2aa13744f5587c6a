#include "platform/qt/qt_platform.h"
#include "support/modal_answers.h"
#include "support/temp_dir.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tunex {
namespace {

using test::ModalAnswers;
using test::TempDir;

// Qt's file dialog keeps its history in the user's settings; here it goes to a folder of the test.
class FileDialogTest : public ::testing::Test {
protected:
    FileDialogTest() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(settings_.path().native()));
    }
    ~FileDialogTest() override {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    }

    // Types `name` into the dialog's name field and presses Enter, after choosing the file type
    // `typeDowns` entries below the first with the keyboard.
    static ModalAnswers::Step typeName(const QString& name, int typeDowns = 0) {
        return [name, typeDowns](QWidget* window) {
            auto* dialog = qobject_cast<QFileDialog*>(window);
            ASSERT_NE(dialog, nullptr);
            auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(types, nullptr);
            ASSERT_NE(edit, nullptr);
            for (int i = 0; i < typeDowns; ++i) {
                QTest::keyClick(types, Qt::Key_Down);
            }
            edit->setFocus();
            edit->clear();
            // QTest types ASCII only; other text arrives as an input method would give it.
            bool ascii = true;
            for (const QChar c : name) {
                ascii = ascii && c.unicode() < 0x80;
            }
            if (ascii) {
                QTest::keyClicks(edit, name);
            } else {
                edit->insert(name);
            }
            QTest::keyClick(edit, Qt::Key_Return);
        };
    }
    static ModalAnswers::Step cancel() {
        return [](QWidget* window) {
            auto* dialog = qobject_cast<QFileDialog*>(window);
            ASSERT_NE(dialog, nullptr);
            dialog->reject();
        };
    }
    // Answers a message box whose text starts with `start`.
    static ModalAnswers::Step answerBox(const QString& start, QMessageBox::StandardButton button) {
        return [start, button](QWidget* window) {
            auto* box = qobject_cast<QMessageBox*>(window);
            ASSERT_NE(box, nullptr);
            EXPECT_TRUE(box->text().startsWith(start)) << box->text().toStdString();
            box->button(button)->click();
        };
    }

    TempDir folder_;
    QtPlatform platform_;

private:
    TempDir settings_;
};

FileDialogRequest exportRequest(const std::filesystem::path& folder) {
    return {"Export As",
            {{"HTML File (*.htm)", "*.htm"},
             {"CSV File (*.csv)", "*.csv"},
             {"Text File (*.txt)", "*.txt"}},
            "htm",
            folder,
            ""};
}

struct SaveCase {
    const char* typed;
    int typeDowns;  // 0 HTML, 1 CSV, 2 text
    const char* saved;
};

class SaveDialogTest : public FileDialogTest, public ::testing::WithParamInterface<SaveCase> {};

// A name without an extension takes the chosen type's; one with an extension keeps it.
TEST_P(SaveDialogTest, TheChosenTypeGivesTheExtension) {
    const ModalAnswers answers(
        {typeName(QString::fromUtf8(GetParam().typed), GetParam().typeDowns)});
    const auto saved = platform_.saveFileName(exportRequest(folder_.path()));
    ASSERT_TRUE(saved);
    EXPECT_EQ(*saved, folder_ / GetParam().saved);
}

INSTANTIATE_TEST_SUITE_P(Names, SaveDialogTest,
                         ::testing::Values(SaveCase{"mixed", 0, "mixed.htm"},
                                           SaveCase{"mixed", 1, "mixed.csv"},
                                           SaveCase{"mixed", 2, "mixed.txt"},
                                           SaveCase{"notes.htm", 2, "notes.htm"}));

// The question before replacing a file names the file that would really be replaced.
TEST_F(FileDialogTest, ReplacingIsAskedUnderTheFinalName) {
    test::writeFile(folder_ / "mixed.txt", "old");
    {
        const ModalAnswers answers(
            {typeName(QStringLiteral("mixed"), 2),
             answerBox(QStringLiteral("mixed.txt already exists"), QMessageBox::No), cancel()});
        EXPECT_EQ(platform_.saveFileName(exportRequest(folder_.path())), std::nullopt);
    }
    const ModalAnswers answers(
        {typeName(QStringLiteral("mixed"), 2),
         answerBox(QStringLiteral("mixed.txt already exists"), QMessageBox::Yes)});
    EXPECT_EQ(platform_.saveFileName(exportRequest(folder_.path())), folder_ / "mixed.txt");
}

struct OpenCase {
    std::vector<const char*> files;
    const char* typed;
    const char* opened;  // nullptr: the dialog says the file is not found
};

class OpenDialogTest : public FileDialogTest, public ::testing::WithParamInterface<OpenCase> {};

// A typed name that is not there opens the file with the default extension when that one is.
TEST_P(OpenDialogTest, TheDefaultExtensionCompletesAMissingName) {
    for (const char* file : GetParam().files) {
        test::writeFile(folder_ / file, "x");
    }
    const FileDialogRequest request{
        "Open",
        {{"Tunex Friend File (*.txf)", "*.txf"}, {"All Files (*.*)", "*.*"}},
        "txf",
        folder_.path(),
        ""};
    const QString typed = QString::fromUtf8(GetParam().typed);
    if (GetParam().opened == nullptr) {
        const ModalAnswers answers(
            {typeName(typed),
             answerBox(typed + QStringLiteral("\nFile not found."), QMessageBox::Ok), cancel()});
        EXPECT_EQ(platform_.openFileName(request), std::nullopt);
        return;
    }
    const ModalAnswers answers({typeName(typed)});
    const auto opened = platform_.openFileName(request);
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->native(), (folder_ / GetParam().opened).native());
}

INSTANTIATE_TEST_SUITE_P(
    Names, OpenDialogTest,
    ::testing::Values(OpenCase{{"Bob.txf"}, "Bob", "Bob.txf"},
                      OpenCase{{"Bob.txf"}, "Bob.txf", "Bob.txf"},
                      // A name that is there is taken as it is.
                      OpenCase{{"Bob", "Bob.txf"}, "Bob", "Bob"},
                      OpenCase{{"Bob.v2.txf"}, "Bob.v2", "Bob.v2.txf"},
                      OpenCase{{"Ann.txf"}, "Bob", nullptr},
                      // Qt shows the byte 0xFF as U+FFFD; the file is still found by its bytes.
                      OpenCase{{"bad\xff.txf"}, "bad\xef\xbf\xbd", "bad\xff.txf"}));

}  // namespace
}  // namespace tunex
