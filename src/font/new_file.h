// Output files that appear only when complete.
//
// A writer first reserves its output (the path must not exist; a temporary file is created
// beside it, exclusively), then builds the whole content in memory, then commits it: the
// bytes go to the temporary file, which is flushed, closed and linked to the real name.
// Linking fails rather than replace a file that appeared at the path meanwhile. A writer
// told to replace an existing file renames the complete temporary file over it instead, so
// the old file stays as it was until the new one is whole. Whatever
// goes wrong, nothing is left behind: not the temporary file, not a partial output, also
// when a signal ends the program part-way (signal_cleanup.h).
// The name "-" stands for the standard output, which receives the bytes on commit.
// The content may come in pieces, written one after the other: a font writer hands over
// the tables it copies where they lie in the loaded file instead of gathering them first.
#pragma once

#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "font/fileio.h"
#include "font/signal_cleanup.h"
#include "font/types.h"

// A file's content as consecutive pieces.
using byte_pieces = std::span<const std::span<const BYTE>>;

class new_file {
  public:
    // Reserves path, reporting failures as open_file does (the mode appears only in the
    // messages). Nothing when the temporary file cannot be created, or when the path exists
    // and is to be refused, or is to be replaced but is not a regular file.
    static std::unique_ptr<new_file> create(const char* path, const char* mode,
                                            message_sink& messages,
                                            existing_file existing = existing_file::refuse);

    // Only create() makes reservations; the key keeps the constructor to it.
    class key {
        friend class new_file;
        key() = default;
    };
    new_file(key, std::string path, std::filesystem::path temp, file_handle stream,
             removal_on_signal removal, message_sink& messages,
             existing_file existing = existing_file::refuse);

    new_file(const new_file&) = delete;
    new_file& operator=(const new_file&) = delete;
    // Removes the temporary file unless the content was committed.
    ~new_file();

    // Writes bytes and puts the file in place; 0, or -1 after reporting the failure.
    // A reservation is committed at most once.
    int commit(const std::vector<BYTE>& bytes);
    // The same with the content in pieces, in order.
    int commit(byte_pieces pieces);

    const std::string& path() const { return path_; }
    bool is_standard_output() const { return temp_.empty(); }

  private:
    void discard_temp();
    int write_fallback(byte_pieces pieces);
    int put_in_place(byte_pieces pieces);
    int replace_existing();

    std::string path_;            // the name the caller asked for
    std::filesystem::path temp_;  // empty for the standard output
    file_handle stream_;          // the temporary file, or the standard output
    removal_on_signal removal_;   // the temporary file, while it exists
    message_sink* messages_;      // where failures to write are reported
    existing_file existing_ = existing_file::refuse;
    bool committed_ = false;
};

// Writes all bytes to an open stream and flushes it; false on any short write or error.
bool write_fully(std::FILE* f, const std::vector<BYTE>& bytes);
bool write_fully(std::FILE* f, byte_pieces pieces);
