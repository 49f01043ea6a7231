#pragma once
// What the fuzz targets share: inputs cut into fields, a scratch folder with
// its own settings store set up once per process, and the stop that the
// fuzzer keeps as a finding.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kalvorin::fuzz {

// Fields of a structured input are separated by two NUL bytes, so that a
// single NUL can still stand inside a text.
inline constexpr std::string_view kFieldSeparator{"\0\0", 2};

// The pieces between the separators: n separators give n + 1 pieces.
std::vector<std::string> split(std::string_view data, std::string_view separator);
std::vector<std::string> fields(const std::uint8_t* data, std::size_t size);

// A folder of this process's own, ending in "/", removed when the process ends.
const std::string& scratch();

// Points the settings store at a hive in scratch() and the base folder at
// scratch() + "base/" (created, with its version.ini); returns the base
// folder. The first call does the work.
const std::string& base_folder();

// Writes the bytes as the file's new content: a new file each time, so that
// nothing kept about the old one can answer for it.
void replace_file(const std::string& path, std::string_view content);

// The settings store's file with this content and nothing of SQLite's beside
// it (no journal, no write-ahead log) that could carry over from a run.
void replace_hive(std::string_view content);

// The bytes with everything but printable ASCII escaped, for messages.
std::string shown(std::string_view bytes);

// Prints the finding and aborts.
[[noreturn]] void finding(const std::string& what);

}  // namespace kalvorin::fuzz
