#pragma once
// Sample installation media for both programs, made from our own generated files: PE
// files with chosen version resources, plausible text and data files, and a small
// TrueType font. Nothing here is taken from a real distribution.
//
// Layout of a media folder (both programs can sit at its root):
//   Files\                     Tolvane's Firebird file set, and Install's plan file
//   Files\install_base.cfg
//   Files\Base\                Install's payload: system libraries for NT 4.0,
//   Files\Base\Firebird15\Files\   the Firebird file set again,
//   Files\Base\vbrun60.exe, wPDF200A.dll, TT0646Z_.TTF
#include <cstdint>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace media {

class MediaError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct FileVersion {
  std::uint16_t major = 0, minor = 0, release = 0, build = 0;
  std::string Text() const;
};
// "a.b.c.d" (each part 0..65535); throws MediaError naming the text otherwise.
FileVersion ParseFileVersion(const std::string& text);

struct MediaOptions {
  bool tolvane = true;
  bool install = true;
  // Version of every Firebird program and library.
  std::string version = "1.5.3.4870";
  // Per-file versions by file name (any case), for PE files of either set.
  std::map<std::string, std::string> fileVersions;
  // Written as "NextInstaller=" into the plan file when not empty.
  std::string nextInstaller;
};

// The Firebird file set of an installation source, in placement order, then the extra
// documentation files of a distribution.
const std::vector<std::string>& FirebirdFileNames();
// Whether a file of the set is an executable or a library (carries a version resource).
bool IsPeFileName(const std::string& name);

// The content of one file of the Firebird set (or of Install's payload).
std::vector<std::uint8_t> BuildMediaFile(const std::string& name, const MediaOptions& options);
// The version a PE file of the media gets under these options.
FileVersion MediaFileVersion(const std::string& name, const MediaOptions& options);

// A small valid TrueType font whose family name is "OCR-B-10 BT".
std::vector<std::uint8_t> BuildOcrFont();

// Creates (or completes) the media folder under dir. Existing files of the same names
// are replaced. Throws MediaError naming the file that could not be written.
void CreateSampleMedia(const std::filesystem::path& dir, const MediaOptions& options);

// The `media` command: returns the exit code; errors are one line on err.
int RunMediaCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace media
