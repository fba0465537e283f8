#pragma once

#include <string>
#include <string_view>

namespace etalon::io {

// Writes `text` as the file `path` so that it never exists half-written: a
// temporary file beside it replaces it only once everything is on disk. On
// failure an existing file is left as it was. Returns an empty string or
// what went wrong, naming the file.
std::string writeTextFile(const std::string& path, std::string_view text);

// Makes the next writeTextFile fail as a full disk would; for tests.
void failNextTextFileWrite(bool fail);

}  // namespace etalon::io
