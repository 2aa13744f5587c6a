#include "support/base_folder.h"

#include "core/store/store_paths.h"

namespace tunex::test {

BaseFolder::BaseFolder(std::string settingsText) {
    std::filesystem::create_directories(dir_.path() / "system");
    std::filesystem::create_directories(dir_.path() / "hlp");
    writeSettings(settingsText);
}

std::filesystem::path BaseFolder::addCollection(int index, const std::string& name, int records) {
    std::string text = "**" + name + "\n";
    for (int i = 0; i < records; ++i) {
        text += "<?>Song " + std::to_string(i) + "<|>/media/cd<:>mp3</><\\>  3584.0<*>2003-11-16\n";
    }
    text += "@*EOF";
    const std::filesystem::path file = StorePaths(dir_.path()).collectionFileName(index);
    writeFile(file, text);
    return file;
}

void BaseFolder::writeSettings(const std::string& text) const {
    writeFile(dir_.path() / "system" / "system.ifo", text);
}

std::string BaseFolder::settingsText() const {
    return readFile(dir_.path() / "system" / "system.ifo");
}

}  // namespace tunex::test
