#pragma once

#include <string>

namespace tunex::bench {

// The bytes of a small FLAC file: STREAMINFO, a Vorbis comment block with TITLE, ARTIST, ALBUM,
// DATE and TRACKNUMBER, 1 KiB of padding and a few KiB standing in for the frames. Built by hand
// so the bench needs no encoder; `number` varies the frame bytes from file to file.
[[nodiscard]] std::string flacFile(const std::string& title, const std::string& artist,
                                   const std::string& album, int number);

}  // namespace tunex::bench
