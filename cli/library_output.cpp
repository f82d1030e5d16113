#include "cli/library_output.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "cli/standard_streams.h"
#include "library/library_index.h"

namespace koron {
namespace {

// Opens the library, telling on a terminal how indexing goes once it has taken a second.
std::unique_ptr<Library> OpenLibrary(const QString& folder) {
  LibraryOptions options;
  options.workFolder = folder.toStdString();
  options.cacheFolder = DefaultCacheFolder();
  const bool terminal = isatty(STDERR_FILENO) == 1;
  const auto start = std::chrono::steady_clock::now();
  bool told = false;
  if (terminal) {
    options.progress = [&](std::size_t done, std::size_t total) {
      if (std::chrono::steady_clock::now() - start < std::chrono::seconds(1)) return;
      std::fprintf(stderr, "\rindexing the library: %zu / %zu files", done, total);
      std::fflush(stderr);
      told = true;
    };
  }
  std::unique_ptr<Library> library = Library::Open(options);
  if (told) std::fputs("\r\033[K", stderr);
  return library;
}

// A name or section on one line of its own field: tabs and line ends as their pictures.
void AppendField(std::string& out, const std::u16string& text) {
  QString shown = QString::fromStdU16String(text);
  shown.replace(u'\t', u'\u2409').replace(u'\r', u'\u240D').replace(u'\n', u'\u240A');
  out += shown.toStdString();
}

std::string EntryLines(Library& library, const std::vector<std::size_t>& indexes) {
  const std::vector<LibraryEntry>& entries = library.Entries();
  std::string out;
  for (std::size_t index : indexes) {
    const LibraryEntry& entry = entries[index];
    out += library.Files()[entry.file].path;
    out += '#';
    out += std::to_string(entry.number);
    out += '\t';
    AppendField(out, entry.section);
    out += '\t';
    AppendField(out, entry.name);
    out += '\n';
  }
  return out;
}

int WriteOut(const std::string& bytes) {
  QString error;
  if (WriteStandardOutput(bytes, &error)) return 0;
  WriteErrorLine(error);
  return 1;
}

}  // namespace

int RunLibrary(const CliOptions& options, const QString& folder) {
  std::unique_ptr<Library> library = OpenLibrary(folder);
  if (options.action == CliAction::LibraryErrors) {
    std::string out;
    for (const LibraryProblem& problem : library->Problems()) {
      out += problem.path + '\t' + problem.reason + '\n';
    }
    return WriteOut(out);
  }
  std::vector<std::size_t> indexes;
  if (options.action == CliAction::Search) {
    indexes = library->Search(options.query.toStdU16String());
    if (indexes.empty()) return 1;
  } else {
    indexes.resize(library->Entries().size());
    for (std::size_t i = 0; i < indexes.size(); ++i) indexes[i] = i;
  }
  return WriteOut(EntryLines(*library, indexes));
}

CliText LibraryEntryText(const CliOptions& options, const QString& folder) {
  CliText result;
  std::unique_ptr<Library> library = OpenLibrary(folder);
  const std::string path = options.entryFile.toStdString();
  const std::optional<std::size_t> index = library->Find(path, options.entryNumber);
  if (!index) {
    result.ok = false;
    result.error =
        QStringLiteral("the library has no entry %1.")
            .arg(Quoted(options.entryFile + u'#' + QString::number(options.entryNumber)));
    return result;
  }
  result.text = library->Text(library->Entries()[*index]);
  return result;
}

}  // namespace koron
