#pragma once

// The phrase book and the dictionary as tab-separated text files that Anki imports as notes
// (File → Import). No Qt here.

#include "ExportSource.h"

#include <filesystem>
#include <iosfwd>
#include <string>
#include <string_view>

namespace wk::tools {

/// A field of a note as plain text on one line: each line break becomes " / " (blank lines
/// and spaces at the ends of lines go), a tab becomes a space, and a field that holds a double
/// quote or begins with # (which Anki would take for a quoted field or a comment) is quoted,
/// its quotes doubled.
std::string ankiField(std::string_view text);

/// A topic as an Anki tag: spaces (which separate tags) and slashes become underscores.
std::string ankiTag(std::string_view topic);

/// Writes `source` to `file` for Anki, after the header lines #separator:tab and #html:false:
/// the phrase book as English, Tagalog and the topic as a tag (#tags column:3), the dictionary
/// as headword, English meaning and examples. A record whose first field is empty (Anki refuses
/// such a note) is left out. The file is written beside its place as a file made anew under a
/// name of its own and then moved there: what stands at `file` or beside it (a link another user
/// put in a shared folder) is replaced, never written through. Says
/// on `messages` how many notes were written and left out. Raises std::runtime_error.
void exportAnki(const ExportSource& source, const std::filesystem::path& file,
                std::ostream& messages);

/// Reads table `table` of alias `alias` through session `session` and writes it as above.
void exportAnki(const std::string& session, const std::string& alias, const std::string& table,
                const std::filesystem::path& file, std::ostream& messages);

} // namespace wk::tools
