#include "cli/cover_command.h"

#include "cli/cli_output.h"
#include "core/common/atomic_file.h"
#include "core/journal/write_journal.h"
#include "core/tags/cover_setting.h"
#include "core/tags/tag_editor_rules.h"

namespace tunex {

namespace {

using cli::kDone;
using cli::kFileError;

int exportCover(const std::string& file, const std::string& target, std::ostream& err) {
    const auto cover = readCover(file);
    if (!cover) {
        cli::printMessage(err, {file + " could not be read as a music file.",
                                captionFor("File Error"), MessageIcon::Error});
        return kFileError;
    }
    if (!cover->front) {
        return cli::printRefusal(err, file + " holds no front cover.");
    }
    AtomicFileWriter writer(target);
    if (!writer.open() || !writer.write(cover->front->bytes) || !writer.commit()) {
        cli::printMessage(
            err, {"The cover could not be saved to " + target + ": " + writer.error() + ".",
                  captionFor("File Error"), MessageIcon::Error});
        return kFileError;
    }
    cli::printMessage(err, {"The front cover of " + file + " (" + coverWords(cover->front) +
                                ") was saved to " + target + ".",
                            captionFor("Cover Saved"), MessageIcon::Information});
    return kDone;
}

int changeCover(WriteJournal& journal, const std::string& file, const CoverEdit& edit,
                std::ostream& err) {
    bool changed = false;
    const TagWriteResult result = writeCover(journal, file, edit, changed);
    if (result.outcome != TagWriteOutcome::Written) {
        cli::printMessage(
            err, withJournalProblem(tagUpdateFailedMessage(file, result.outcome, result.reason),
                                    journal));
        return kFileError;
    }
    std::string text;
    if (!changed) {
        text = edit ? file + " holds that front cover already." : file + " holds no front cover.";
    } else {
        text = edit ? "The front cover of " + file + " is now " + coverWords(edit) + "."
                    : "The front cover of " + file + " was removed.";
    }
    cli::printMessage(err, {text, captionFor("Cover"), MessageIcon::Information});
    return kDone;
}

// Every music file under a folder, each from the one image or its own folder's image.
int coverFolder(WriteJournal& journal, const std::string& folder, CoverSource source,
                std::ostream& err) {
    const CoverBatchResult result = setCoversUnder(journal, {folder, true, std::nullopt}, source);
    cli::printMessage(err, withJournalProblem(coverBatchResultMessage(folder, result), journal));
    return result.failed.count + result.wrongContent.count > 0 || !result.unreadable.empty()
               ? kFileError
               : kDone;
}

}  // namespace

int runCoverCommand(WriteJournal& journal, const std::string& file,
                    std::span<const std::string> options, std::ostream& err) {
    if (options.size() == 1 && options[0] == "--remove") {
        return changeCover(journal, file, std::nullopt, err);
    }
    if (options.size() == 2 && options[0] == "--export") {
        return exportCover(file, options[1], err);
    }
    std::error_code error;
    const bool folder = std::filesystem::is_directory(file, error);
    if (folder && options.size() == 1 && options[0] == "--folder-images") {
        return coverFolder(journal, file, CoverSource::besideEachFile(), err);
    }
    if (options.size() == 2 && options[0] == "--set") {
        LoadedImage image = loadCoverImage(options[1]);
        if (!image.picture) {
            return cli::printRefusal(err, image.problem);
        }
        if (folder) {
            return coverFolder(journal, file, CoverSource::oneImage(std::move(*image.picture)),
                               err);
        }
        return changeCover(journal, file, image.picture, err);
    }
    return cli::printRefusal(
        err,
        "Usage: tags cover FILE --set IMAGE | --remove | --export OUT, or tags cover "
        "FOLDER --set IMAGE | --folder-images");
}

void printCoverLines(const std::string& file, std::ostream& out) {
    if (const auto cover = readCover(file); cover && cover->pictures > 0) {
        out << "cover=" << coverWords(cover->front) << " (" << cover->pictures
            << (cover->pictures == 1 ? " picture" : " pictures") << " in all)\n";
    }
}

}  // namespace tunex
